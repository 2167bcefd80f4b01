#pragma once
// What the commands share: the program's workspace over the console and a serial port,
// as it is right after start-up, and the ways a command tells its outcome.

#include "app/Workspace.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "comm/SerialPort.h"

#include <optional>

namespace dnp::cli {

struct Program {
    explicit Program(Io io, const QString& iniPath = {}) : io(io), prompts(io), workspace(prompts, port, iniPath) {}

    // A failure on standard error, "dnpcfg: <message>"; the exit status 1.
    int fail(const QString& message);
    // Open, telling a file that does not read on standard error. False when it does not.
    bool open(const QString& path);
    // The exit status of a written file: 0, or 1 after telling why.
    int written(const Result<void>& result);
    // Runs the transfer `start` begins until it ends; true when it succeeded.
    bool transfer(const std::function<void()>& start);
    // Reads the panel's image back and compares it with `expected`; true when they agree.
    bool verify(const ConfigImage& expected, const QString& what);

    Io io;
    ConsolePrompts prompts;
    TApdComPort port;
    Workspace workspace;
};

// A command's arguments: `words` words besides the options, the options with a value,
// the flags, and the value options it cannot do without. Otherwise "dnpcfg: usage:
// <synopsis> (<problem>)" is printed and nothing is given: the command ends with
// kExitUsage.
std::optional<ParsedArgs> commandArgs(const QStringList& args, Io io, const QString& synopsis, int words,
                                      QStringList valueOptions = {}, const QStringList& flags = {},
                                      const QStringList& required = {});

// "uninitialized", "subset", "individual": the items of the "DNP Mapping" group.
std::optional<int> mappingItemByName(const QString& name);

// The points a retrieve found, per type in the panel's order under their DNP point
// numbers, after the mapping line. `state`: the configuration the retrieve gave.
void printRetrieved(const ConfigState& state, const RetrievedConfig& retrieved, Io io);

}  // namespace dnp::cli
