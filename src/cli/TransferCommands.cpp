#include "cli/Commands.h"

namespace dnp::cli {

int runSend(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

int runRetrieve(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

}  // namespace dnp::cli
