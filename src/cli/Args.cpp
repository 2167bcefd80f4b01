#include "cli/Args.h"

namespace dnp::cli {

Result<ParsedArgs> parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions)
{
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (optionsEnded || !arg.startsWith('-') || arg == "-") {
            parsed.positional << arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        QString value;
        bool hasInline = false;
        if (arg.startsWith("--") && arg.contains('=')) {
            const qsizetype equals = arg.indexOf('=');
            value = arg.mid(equals + 1);  // all of it: --description=a=b gives "a=b"
            arg = arg.left(equals);
            hasInline = true;
        }
        if (valueOptions.contains(arg)) {
            if (!hasInline) {
                if (i + 1 >= args.size())
                    return failure(QStringLiteral("option %1 needs a value").arg(arg));
                value = args[++i];
            }
            if (value.isEmpty() && kPathOptions.contains(arg))
                return failure(QStringLiteral("option %1 needs a %2").arg(arg, arg == "--device" ? "device name" : "file name"));
            parsed.values[arg] = value;
            parsed.repeated[arg] << value;
        } else if (flagOptions.contains(arg) && !hasInline) {
            parsed.flags.insert(arg);
        } else {
            return failure(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    return parsed;
}

}  // namespace dnp::cli
