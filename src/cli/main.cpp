// dnpcfg: the command is run from the event loop, so that a failure nobody expected,
// wherever it is thrown (also inside a transfer), reaches the one handler at the top.

#include "cli/Commands.h"
#include "comm/CommSettings.h"
#include "files/FileAccess.h"
#include "model/Failure.h"
#include "model/Version.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <unistd.h>
#include <cstdlib>

namespace dnp::cli {
namespace {

void printHelp(QTextStream& out)
{
    out << "dnpcfg - DNP Configure from the command line\n\nusage: dnpcfg COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& c : commands()) {
        out << "  " << c.synopsis << "\n      " << c.summary << "\n";
        if (c.run == runSettings)
            for (const QString& line : settingsHelp())
                out << "      " << line << "\n";
    }
    out << "\nexit status:\n"
           "  0  success (diff: the configurations are equal; verify: the panel holds the file)\n"
           "  1  the work failed: a file that does not read or cannot be written, a panel that does\n"
           "     not answer or reports an error (diff, verify: they differ)\n"
           "  2  wrong usage: an unknown command or option, a missing argument (diff: also a file\n"
           "     that does not read)\n"
           "\n\"--\" ends the options: a file whose name begins with \"-\" can follow it.\n"
           "Errors go to standard error, each line beginning \"dnpcfg: \".\n";
}

int run(QStringList args, Io io)
{
    if (args.isEmpty())
        return usageError(io, {}, "dnpcfg --help lists the commands");
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(io.out);
        return kExitOk;
    }
    if (name == "--version") {
        io.out << "dnpcfg " << kVersion << "\n";
        return kExitOk;
    }
    for (const Command& c : commands())
        if (name == QLatin1String(c.name))
            return c.run(args, io);
    return usageError(io, {}, QString("unknown command '%1'; dnpcfg --help lists the commands").arg(name));
}

// The streams of the run and the end of every run: standard output flushed and its
// write checked (a full disk is a failure, not a cut file reported as success).
struct Streams {
    Streams()
    {
        outFile.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        errFile.open(stderr, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    }
    [[noreturn]] void end(int status)
    {
        out.flush();
        if ((out.status() != QTextStream::Ok || !outFile.flush() || outFile.error() != QFileDevice::NoError) &&
            status == kExitOk) {
            printError(io, QStringLiteral("cannot write standard output: %1").arg(outFile.errorString()));
            status = kExitFailure;
        }
        err.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }

    QFile outFile;
    QFile errFile;
    QTextStream out{&outFile};
    QTextStream err{&errFile};
    Io io{out, err, isatty(STDERR_FILENO) == 1};
};

Streams* gStreams = nullptr;

class Application : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (...) {
            printError(gStreams->io, unexpectedFailureText(std::current_exception()));
            gStreams->end(kExitFailure);
        }
    }
};

}  // namespace
}  // namespace dnp::cli

int main(int argc, char** argv)
{
    using namespace dnp::cli;
    Application app(argc, argv);
    Streams streams;
    gStreams = &streams;
    // The arguments as the system passed them: a file name keeps its bytes, UTF-8 or not.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << dnp::decodeFileName(argv[i]);
    QTimer::singleShot(0, &app, [&] { streams.end(run(args, streams.io)); });
    return app.exec();
}
