#pragma once
// What the commands share: the program's workspace over the console, as it is right
// after start-up, and the ways a command tells its outcome.

#include "app/Workspace.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"

namespace dnp::cli {

struct Program {
    explicit Program(Io io, const QString& iniPath = {})
        : io(io), prompts(io), workspace(prompts, {.iniPath = iniPath, .program = QStringLiteral("dnpcfg")})
    {
    }
    // The command's records written before it ends (at most the store's time-out), what
    // was not recorded told.
    ~Program()
    {
        if (const Result<void> recorded = workspace.finishHistory(); !recorded)
            printError(io, recorded.error().message);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // A failure on standard error, "dnpcfg: <message>"; the exit status 1.
    int fail(const QString& message);
    // The exit status of a step: 0, or 1 after telling why.
    int status(const Result<void>& result);
    // Runs the panel command `start` begins (a send with its verify, a retrieve, a
    // verify, a test) until it has ended; 0 when it succeeded, else 1 (its failure is
    // told). On a terminal the message under way shows on standard error; `trace`: the
    // line trace of each transfer follows on standard error as it ends.
    int panelCommand(const std::function<void()>& start, bool trace = false);

    Io io;
    ConsolePrompts prompts;
    Workspace workspace;
};

// A command's arguments: `words` words besides the options, the options with a value,
// the flags, and the value options it cannot do without. Fails with the problem
// ("a file name is needed", "-o is needed", "unknown option --x").
Result<ParsedArgs> commandArgs(const QStringList& args, int words, QStringList valueOptions = {},
                               const QStringList& flags = {}, const QStringList& required = {});

// "uninitialized", "subset", "individual": the items of the "DNP Mapping" group
// (--mapping; individual when absent).
Result<Mapping> mappingOption(const ParsedArgs& args);

// The points a retrieve found, per type in the panel's order under their DNP point
// numbers, after the mapping line. `state`: the configuration the retrieve gave.
void printRetrieved(const ConfigState& state, const RetrievedConfig& retrieved, Io io);

}  // namespace dnp::cli
