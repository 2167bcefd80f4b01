#include "cli/Commands.h"
#include "files/FileAccess.h"
#include "model/Version.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

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
    {"export", "export CONFIG.dnp --format csv|xml [-o OUT]  the point list for the SCADA master", runExport},
    {"diff", "diff A.dnp B.dnp                     compare two configurations (exit 0 equal, 1 different)", runDiff},
    {"send", "send CONFIG.dnp [--verify] [--device PATH | --ini PATH] [--baud B] [--parity none|even] [--address N] [--mapping M]", runSend},
    {"retrieve", "retrieve -o OUT.dnp [--device PATH | --ini PATH] [--baud B] [--parity none|even] [--address N]", runRetrieve},
    {"ports", "ports [--ini PATH]                   the machine's serial ports and the COM numbers DNP.ini maps", runPorts},
    {"verify", "verify CONFIG.dnp [--device PATH | --ini PATH] [--baud B] [--parity none|even] [--address N] [--mapping M]", runVerify},
};

void printHelp(QTextStream& out)
{
    out << "dnpcfg - DNP Configure from the command line\n\nusage: dnpcfg COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : kCommands)
        out << "  " << c.synopsis << "\n";
    out << "\nexit status:\n"
           "  0  success (diff: the configurations are equal; verify: the panel holds the file)\n"
           "  1  the work failed: a file that does not read or cannot be written, a panel that does\n"
           "     not answer or reports an error (diff, verify: they differ)\n"
           "  2  wrong usage: an unknown command or option, a missing argument (diff: also a file\n"
           "     that does not read)\n"
           "\nErrors go to standard error, each line beginning \"dnpcfg: \".\n";
}

// The streams of the run, flushed before an unexpected failure ends it.
Io* gIo = nullptr;

// An unexpected failure inside the event loop (a transfer) ends the command as one
// outside it does (runGuarded): "dnpcfg: <text>" and status 1, never an abort.
[[noreturn]] void unexpectedFailure(const QString& text)
{
    if (gIo) {
        gIo->out.flush();
        printError(*gIo, text);
    }
    std::fflush(nullptr);
    std::_Exit(kExitFailure);
}

class Application : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (...) {
            unexpectedFailure(failureText(std::current_exception()));
        }
    }
};

int run(const QStringList& arguments, Io io)
{
    QStringList args = arguments;
    if (args.isEmpty())
        return usageError(io, "dnpcfg COMMAND [ARGS] (dnpcfg --help lists the commands)");
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(io.out);
        return kExitOk;
    }
    if (name == "--version") {
        io.out << "dnpcfg " << kVersion << "\n";
        return kExitOk;
    }
    for (const auto& c : kCommands)
        if (name == QLatin1String(c.name))
            return c.run(args, io);
    return usageError(io, QString("dnpcfg COMMAND [ARGS]: unknown command '%1' (dnpcfg --help lists the commands)").arg(name));
}

}  // namespace

}  // namespace dnp::cli

int main(int argc, char** argv)
{
    using namespace dnp::cli;
    Application app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    Io io{out, err};
    gIo = &io;
    // The arguments as the system passed them: a file name keeps its bytes, UTF-8 or not.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << dnp::decodeFileName(argv[i]);
    const int status = runGuarded([&] { return run(args, io); }, io);
    out.flush();
    err.flush();
    return status;
}
