#pragma once
// What the commands share: the program's parts over the console (the settings, the
// document, the panel session and the history that listens to it), as they are right
// after start-up, and the one way a command tells its outcome: a line and the exit status.

#include "app/ConfigDocument.h"
#include "app/PanelHistory.h"
#include "app/PanelSession.h"
#include "app/Settings.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ConsoleQuestions.h"

namespace dnp::cli {

struct Program {
    explicit Program(Io io, const QString& iniPath = {});
    // The command's records written before it ends (at most the store's time-out), what
    // was not recorded told.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // A failure on standard error, "dnpcfg: <message>"; the exit status 1.
    int fail(const QString& message);
    // The exit status of a step: 0, or 1 after telling why.
    int status(const Result<void>& result);
    // Runs the panel command `start` begins (a send with its verify, a retrieve, a
    // verify, a test) until it has ended; 0 when it succeeded, else 1 (its failure is
    // told). On a terminal the message under way shows on standard error; `trace`: the
    // line trace of the command follows on standard error as it ends. A signal cancels
    // it: 130 or 143.
    int panelCommand(const std::function<Result<void>()>& start, bool trace = false);
    // What a panel command tells: its message on standard output when it went well, on
    // standard error otherwise (the points that differ on standard output); a retrieve,
    // verify or test cancelled tells nothing.
    void tell(const PanelOutcome& outcome);

    Io io;
    ConsoleQuestions questions;
    Settings settings;
    ConfigDocument document;
    PanelSession session;
    PanelHistory history;
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
