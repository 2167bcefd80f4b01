#pragma once
// What the command line commands share: the program's configuration, class editor
// and order window logic as they are right after start-up, and the steps that read
// and write files as the program does.

#include "classes/ClassEditor.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "comm/SortModel.h"
#include "model/ConfigState.h"

#include <QByteArray>
#include <optional>

namespace dnp::cli {

struct Program {
    explicit Program(Io io) : prompts(io) {}
    ConfigState state;
    ConsolePrompts prompts;
    ClassEditor editor{state, prompts};
    SortModel sort{state};

    // Open: reads and checks the file, then the clear step and the file's data, as
    // the main window does. False (the error told on stderr) when it does not read.
    bool open(const QString& path, Io io);
};

// Writes a file safely; the exit status.
int writeOut(const QString& path, const QByteArray& bytes, Io io);

// "uninitialized", "subset", "individual": the items of the "DNP Mapping" group.
std::optional<int> mappingItemByName(const QString& name);

// The points a retrieve found, per type in the panel's order, after the mapping line.
void printRetrieved(const SortModel& sort, Io io);

}  // namespace dnp::cli
