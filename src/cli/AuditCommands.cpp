// dnpcfg export and diff: the point list for the SCADA master and the comparison of two
// configuration files, through the document the window uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"

namespace dnp::cli {

int runExport(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"--format", "-o"});
    if (!args)
        return usageError(io, "export", args.error().message);
    const QString output = args->value("-o");
    const QString named = args->value("--format");
    // Without --format the output file's extension says it (CSV but for ".xml"); the
    // standard output needs it said.
    if (named.isEmpty() && output.isEmpty())
        return usageError(io, "export", "--format is needed to write to standard output");
    const std::optional<PointListFormat> format = named.isEmpty() ? exportFormatOf(output) : pointListFormatByName(named);
    if (!format)
        return usageError(io, "export", "unknown format '" + named + "'");

    Program program(io);
    ConfigDocument& document = program.document;
    if (const int failed = program.status(document.open(args->positional.front())))
        return failed;
    const Result<PointListExport> exported = output.isEmpty() ? document.exportPointList(*format) : document.exportPointList(*format, output);
    if (!exported)
        return program.fail(exported.error().message);
    if (output.isEmpty())
        io.out << QString::fromUtf8(exported->bytes);
    if (!exported->warning.isEmpty())
        printError(io, "warning: " + exported->warning);
    return kExitOk;
}

int runDiff(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 2);
    if (!args)
        return usageError(io, "diff", args.error().message);

    // A file that does not read ends the comparison as wrong usage does.
    Program program(io);
    if (program.status(program.document.open(args->positional[0])))
        return kExitUsage;
    const Result<ComparedFile> compared = program.document.compareWithFile(args->positional[1]);
    if (!compared) {
        program.fail(compared.error().message);
        return kExitUsage;
    }
    if (compared->differences.empty()) {
        io.out << kSameConfigurationsText << "\n";
        return kExitOk;
    }
    for (const QString& line : differenceLines(compared->differences))
        io.out << line << "\n";
    return kExitFailure;
}

}  // namespace dnp::cli
