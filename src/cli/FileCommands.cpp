// dnpcfg check, report and resave: the configuration file and the report without
// the windows, through the document's reader and writers.

#include "app/DeskOverview.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "files/ConfigFile.h"

namespace dnp::cli {
namespace {

// report and resave: IN, -o OUT and the header texts.
int writeWithHeader(const QStringList& argv, Io io, const QString& command, bool report)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"-o", "--description", "--comment"}, {}, {"-o"});
    if (!args)
        return usageError(io, command, args.error().message);
    Program program(io);
    ConfigDocument& document = program.document;
    if (const int failed = program.status(document.open(args->positional.front())))
        return failed;
    // A report takes the Report Header dialog's first texts unless others are given; a
    // file written again the texts given (none, as after opening it in a new run).
    const ReportHeaderTexts first = report ? document.firstReportHeaderTexts() : ReportHeaderTexts{};
    const ReportHeaderTexts header{args->value("--description", first.description),
                                   args->value("--comment", first.comment)};
    const QString output = args->value("-o");
    return program.status(report ? document.writeReport(output, header) : document.resave(output, header));
}

}  // namespace

int runCheck(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1);
    if (!args)
        return usageError(io, "check", args.error().message);
    const QString path = args->positional.front();
    Program program(io);
    if (const int failed = program.status(program.document.open(path)))
        return failed;
    const DeskOverview overview = deskOverview(program.document, program.settings.current(), std::nullopt);

    io.out << path << ": configuration file read\n";
    io.out << "points per class  ";
    for (PointType type : kAllPointTypes)
        io.out << QStringLiteral(" %1").arg(pointTypeName(type), 8);
    io.out << "\n";
    for (int cls = 0; cls <= 3; ++cls) {
        io.out << QStringLiteral("  Class %1         ").arg(cls);
        for (PointType type : kAllPointTypes)
            io.out << QStringLiteral(" %1").arg(overview.points[typeNumber(type)][cls], 8);
        io.out << "\n";
    }
    io.out << "unsolicited responses\n";
    for (int cls = 1; cls <= 3; ++cls) {
        const auto& u = overview.unsolicited;
        const std::size_t at = static_cast<std::size_t>(cls - 1);
        io.out << QStringLiteral("  Class %1: dead band %2, minimum events %3, notification delay %4\n")
                      .arg(cls)
                      .arg(u[0][at], u[1][at], u[2][at]);
    }
    return kExitOk;
}

int runReport(const QStringList& args, Io io)
{
    return writeWithHeader(args, io, QStringLiteral("report"), true);
}

int runResave(const QStringList& args, Io io)
{
    return writeWithHeader(args, io, QStringLiteral("resave"), false);
}

}  // namespace dnp::cli
