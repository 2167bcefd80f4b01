#pragma once
// dnpcfg: the program's logic for scripts and batch work. Each command takes its
// arguments (without the command word) and returns the exit status.

#include <QStringList>
#include <QTextStream>
#include <exception>
#include <functional>

namespace dnp::cli {

struct Io {
    QTextStream& out;
    QTextStream& err;
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

// Every line of `text` on standard error, each beginning "dnpcfg: ".
void printError(Io io, const QString& text);

// Prints "dnpcfg: usage: ..." for the command on stderr and returns kExitUsage.
int usageError(Io io, const QString& message);

// Runs a command; an unexpected failure it throws is printed as "dnpcfg: <text>" and
// gives kExitFailure.
int runGuarded(const std::function<int()>& command, Io io);
// The text of a caught failure.
QString failureText(std::exception_ptr failure);

}  // namespace dnp::cli
