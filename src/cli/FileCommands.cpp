#include "cli/Commands.h"

namespace dnp::cli {

int runCheck(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

int runReport(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

int runResave(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

}  // namespace dnp::cli
