// dnpcfg export and diff: the point list for the SCADA master and the comparison of two
// configuration files, through the workspace the window uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"

namespace dnp::cli {

int runExport(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg export CONFIG.dnp --format csv|xml [-o OUT]");
    const std::optional<ParsedArgs> parsed = commandArgs(args, io, synopsis, 1, {"--format", "-o"}, {}, {"--format"});
    if (!parsed)
        return kExitUsage;
    const std::optional<PointListFormat> format = pointListFormatByName(parsed->value("--format"));
    if (!format)
        return usageError(io, synopsis + " (unknown format '" + parsed->value("--format") + "')");
    const QString output = parsed->value("-o");

    Program program(io);
    if (!program.open(parsed->positional.front()))
        return kExitFailure;
    const Result<PointListExport> exported = output.isEmpty() ? program.workspace.exportPointList(*format)
                                                              : program.workspace.exportPointList(*format, output);
    if (!exported)
        return program.fail(exported.error().message);
    if (output.isEmpty())
        io.out << QString::fromUtf8(exported->bytes) << Qt::flush;
    if (!exported->warning.isEmpty())
        printError(io, "warning: " + exported->warning);
    return kExitOk;
}

int runDiff(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg diff A.dnp B.dnp");
    const std::optional<ParsedArgs> parsed = commandArgs(args, io, synopsis, 2);
    if (!parsed)
        return kExitUsage;

    // A file that does not read ends the comparison as wrong usage does.
    Program program(io);
    if (!program.open(parsed->positional[0]))
        return kExitUsage;
    const Result<ConfigDifferences> differences = program.workspace.compareWithFile(parsed->positional[1]);
    if (!differences) {
        program.fail(differences.error().message);
        return kExitUsage;
    }
    for (const QString& line : differenceLines(*differences))
        io.out << line << "\n";
    return differences->empty() ? kExitOk : kExitFailure;
}

}  // namespace dnp::cli
