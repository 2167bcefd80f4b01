// dnpcfg import: a point list (the CSV or DNP3 Device Profile document the export writes,
// as edited in a spreadsheet) read back into a configuration file, through the document
// the window's File > Import Point List uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"

namespace dnp::cli {

int runImport(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"-o", "--base", "--format"}, {}, {"-o"});
    if (!args)
        return usageError(io, "import", args.error().message);
    const QString list = args->positional.front();
    // The format as --format names it, else by the list's suffix.
    const std::optional<PointListFormat> format =
        args->has("--format") ? pointListFormatByName(args->value("--format")) : pointListFormatForPath(list);
    if (!format)
        return usageError(io, "import",
                          args->has("--format") ? "unknown format '" + args->value("--format") + "'"
                                                : "the format of " + list + " is not known by its name; give --format");

    // What the list does not carry comes from --base, else from a new configuration.
    Program program(io);
    ConfigDocument& document = program.document;
    if (args->has("--base"))
        if (const int failed = program.status(document.open(args->value("--base"))))
            return failed;
    const Result<QString> imported = document.importInto(list, *format, args->value("-o"));
    if (!imported)
        return program.fail(imported.error().message);
    if (!imported->isEmpty())
        printError(io, "warning: " + *imported);
    return kExitOk;
}

}  // namespace dnp::cli
