#include "cli/Args.h"

namespace dnp::cli {

ParsedArgs parseArgs(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions)
{
    ParsedArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (!arg.startsWith('-') || arg == "-") {
            parsed.positional << arg;
            continue;
        }
        QString inlineValue;
        bool hasInline = false;
        if (arg.startsWith("--") && arg.contains('=')) {
            const qsizetype equals = arg.indexOf('=');
            inlineValue = arg.mid(equals + 1);  // all of it: --description=a=b gives "a=b"
            arg = arg.left(equals);
            hasInline = true;
        }
        if (valueOptions.contains(arg)) {
            if (hasInline) {
                parsed.values[arg] = inlineValue;
            } else if (i + 1 < args.size()) {
                parsed.values[arg] = args[++i];
            } else {
                parsed.error = QString("option %1 needs a value").arg(arg);
                return parsed;
            }
        } else if (flagOptions.contains(arg) && !hasInline) {
            parsed.flags.insert(arg);
        } else {
            parsed.error = QString("unknown option %1").arg(arg);
            return parsed;
        }
    }
    return parsed;
}

}  // namespace dnp::cli
