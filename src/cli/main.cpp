#include "cli/Commands.h"

#include <QCoreApplication>
#include <cstdio>

namespace dnp::cli {
namespace {

struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const QStringList&, Io);
};

const Command kCommands[] = {
    {"catalog", "catalog [--csv]                      print the point catalogue (tab-separated, or CSV)", runCatalog},
    {"check", "check CONFIG.dnp                     read a configuration file and summarise it", runCheck},
    {"report", "report CONFIG.dnp -o REPORT.txt [--description TEXT] [--comment TEXT]", runReport},
    {"resave", "resave IN.dnp -o OUT.dnp [--description TEXT] [--comment TEXT]", runResave},
    {"image", "image CONFIG.dnp [--mapping uninitialized|subset|individual]", runImage},
    {"decode", "decode IMAGE.txt -o OUT.dnp             map a 256-word image back to a configuration", runDecode},
    {"send", "send CONFIG.dnp [--device PATH | --ini PATH] [--baud B] [--parity none|even] [--address N] [--mapping M]", runSend},
    {"retrieve", "retrieve -o OUT.dnp [--device PATH | --ini PATH] [--baud B] [--parity none|even] [--address N]", runRetrieve},
};

void printHelp(QTextStream& out)
{
    out << "dnpcfg - DNP Configure from the command line\n\nusage: dnpcfg COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : kCommands)
        out << "  " << c.synopsis << "\n";
}

}  // namespace

int usageError(Io io, const QString& message)
{
    io.err << "usage: " << message << "\n";
    io.err.flush();
    return kExitUsage;
}

}  // namespace dnp::cli

int main(int argc, char** argv)
{
    using namespace dnp::cli;
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    Io io{out, err};
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(io, "dnpcfg COMMAND [ARGS] (dnpcfg --help lists the commands)");
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(out);
        return kExitOk;
    }
    for (const auto& c : kCommands) {
        if (name == QLatin1String(c.name)) {
            const int status = c.run(args, io);
            out.flush();
            err.flush();
            return status;
        }
    }
    return usageError(io, QString("dnpcfg COMMAND [ARGS]: unknown command '%1' (dnpcfg --help lists the commands)").arg(name));
}
