// dnpcfg catalog [--csv]: the point catalogue, one line per point in the order
// Bin, Bout, Ain, Aout, Counters and TypeIndex order within a type. Tab-separated
// by default, CSV with --csv (files/Csv.h). Texts are written as the catalogue holds
// them (UTF-8, trailing blanks kept).

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "files/Csv.h"
#include "model/Catalog.h"

#include <QStringConverter>

namespace dnp::cli {
namespace {

const QStringList kColumns = {"type",      "type_index", "selection_index", "panel_code", "second_code",
                              "word_count", "group",      "short_name",      "description", "editor_text"};

QStringList pointFields(const CatalogPoint& p)
{
    return {pointTypeName(p.type),
            QString::number(p.typeIndex),
            QString::number(p.selectionIndex),
            QString::number(p.panelCode),
            p.type == PointType::Bout ? QString::number(p.secondCode) : QString(),
            QString::number(p.wordCount),
            QString::fromUtf8(p.group->name),
            p.shortName,
            p.description,
            p.editorText};
}

void writeLine(QTextStream& out, const QStringList& fields, bool csv)
{
    if (csv) {
        out << csvLine(fields);
    } else {
        out << fields.join(QChar('\t')) << "\n";
    }
}

}  // namespace

int runCatalog(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, {}, {"--csv"});
    if (!args)
        return usageError(io, "catalog", args.error().message);
    const bool csv = args->has("--csv");

    io.out.setEncoding(QStringConverter::Utf8);
    writeLine(io.out, kColumns, csv);
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : catalog.points(t))
            writeLine(io.out, pointFields(p), csv);
    io.out.flush();
    return kExitOk;
}

}  // namespace dnp::cli
