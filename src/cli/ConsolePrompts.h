#pragma once
// The command line's UserPrompts: information goes to standard output, errors to
// standard error (each line beginning "dnpcfg: "); nothing is asked.

#include "cli/Commands.h"
#include "model/UserPrompts.h"

namespace dnp::cli {

class ConsolePrompts : public UserPrompts {
public:
    explicit ConsolePrompts(Io io) : io_(io) {}

    void information(const QString& text) override { io_.out << text << "\n" << Qt::flush; }
    void error(const QString& text) override { printError(io_, text); }
    bool confirm(const QString&, const QString&) override { return true; }
    SaveChoice askSaveChanges(const QString&) override { return SaveChoice::Discard; }
    std::optional<QString> openFileName(const FileDialogSettings&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogSettings&) override { return std::nullopt; }
    std::optional<int> selectPort(const QList<int>&, const QMap<int, QString>&) override { return std::nullopt; }
    void showHelp(int) override {}
    // The heading is the failure; the differences go to standard output, one a line.
    void showDifferences(const QString& heading, const ConfigDifferences& differences) override
    {
        printError(io_, heading);
        for (const QString& line : differenceLines(differences))
            io_.out << line << "\n";
        io_.out.flush();
    }
    void withdrawQuestion() override {}

private:
    Io io_;
};

}  // namespace dnp::cli
