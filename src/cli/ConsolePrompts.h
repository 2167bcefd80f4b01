#pragma once
// The command line's UserPrompts: information goes to standard output, errors to
// standard error (each line beginning "dnpcfg: "); nothing is asked.

#include "cli/Commands.h"
#include "model/UserPrompts.h"

namespace dnp::cli {

class ConsolePrompts : public UnattendedPrompts {
public:
    explicit ConsolePrompts(Io io) : io_(io) {}

    void information(const QString& text) override { io_.out << text << "\n" << Qt::flush; }
    void error(const QString& text) override { printError(io_, text); }
    // The heading is the failure; the differences go to standard output, one a line.
    void showDifferences(const QString& heading, const ConfigDifferences& differences) override
    {
        printError(io_, heading);
        for (const QString& line : differenceLines(differences))
            io_.out << line << "\n";
        io_.out.flush();
    }

private:
    Io io_;
};

}  // namespace dnp::cli
