#include "cli/Commands.h"

namespace dnp::cli {

int runImage(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

int runDecode(const QStringList&, Io io)
{
    io.err << "dnpcfg: this command is not available yet\n";
    return kExitFailure;
}

}  // namespace dnp::cli
