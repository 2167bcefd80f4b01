#pragma once
// dnpcfg: the program's logic for scripts and batch work. Each command takes its
// arguments (without the command word) and returns the exit status.

#include <QStringList>
#include <QTextStream>
#include <span>

namespace dnp::cli {

struct Io {
    QTextStream& out;
    QTextStream& err;
    bool errIsTerminal = false;  // standard error is a terminal: transfers show their progress
};

// Exit statuses: 0 success, 1 failure of the work, 2 wrong usage (diff: 0 equal, 1
// different, 2 wrong usage or a file that does not read).
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int runCatalog(const QStringList& args, Io io);
int runCheck(const QStringList& args, Io io);
int runReport(const QStringList& args, Io io);
int runResave(const QStringList& args, Io io);
int runImage(const QStringList& args, Io io);
int runDecode(const QStringList& args, Io io);
int runExport(const QStringList& args, Io io);
int runDiff(const QStringList& args, Io io);
int runSend(const QStringList& args, Io io);
int runRetrieve(const QStringList& args, Io io);
int runVerify(const QStringList& args, Io io);
int runPorts(const QStringList& args, Io io);
int runTest(const QStringList& args, Io io);
int runFleet(const QStringList& args, Io io);
int runSettings(const QStringList& args, Io io);
int runImport(const QStringList& args, Io io);
int runHistory(const QStringList& args, Io io);

// A command: its word, its synopsis (the usage line and the help's line), what it does.
struct Command {
    const char* name;
    const char* synopsis;
    const char* summary;
    int (*run)(const QStringList& args, Io io);
};
// Every command, in the order --help lists them.
std::span<const Command> commands();
// "dnpcfg send CONFIG.dnp [--verify] ...": the synopsis of a command.
QString usageOf(const QString& command);

// Every line of `text` on standard error, each beginning "dnpcfg: ".
void printError(Io io, const QString& text);

// Prints "dnpcfg: usage: <synopsis of command> (<problem>)" on stderr and returns kExitUsage.
int usageError(Io io, const QString& command, const QString& problem);

}  // namespace dnp::cli
