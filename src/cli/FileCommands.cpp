// dnpcfg check, report and resave: the configuration file and the report
// without the windows, through the same reader and writers.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "files/ConfigFile.h"
#include "files/FileCommands.h"
#include "files/Report.h"
#include "model/Regional.h"

#include <functional>
#include <optional>

namespace dnp::cli {
namespace {

// Reads a configuration file into a fresh state, as the program holds it after Open.
std::optional<ConfigState> readConfiguration(const QString& path, Io io)
{
    Program program(io);
    if (!program.open(path, io))
        return std::nullopt;
    return program.state;
}

int countSelected(const ConfigState& state, int cls, PointType type)
{
    int count = 0;
    for (int i = 0; i < pointCount(type); ++i)
        if (state.selected(cls, type, i))
            ++count;
    return count;
}

// The file, the output path and the header texts of report and resave.
struct OutputCommand {
    QString input;
    QString output;
    QString description;
    QString comment;
};

std::optional<OutputCommand> parseOutputCommand(const QStringList& args, Io io, const QString& synopsis,
                                                const QString& defaultDescription, const QString& defaultComment,
                                                int& status)
{
    const ParsedArgs parsed = parseArgs(args, {"-o", "--output", "--description", "--comment"});
    QString problem = parsed.error;
    if (problem.isEmpty() && parsed.positional.size() != 1)
        problem = parsed.positional.isEmpty() ? QStringLiteral("a configuration file is needed")
                                              : QStringLiteral("one configuration file only");
    const QString output = parsed.value("-o", parsed.value("--output"));
    if (problem.isEmpty() && output.isEmpty())
        problem = QStringLiteral("-o FILE is needed");
    if (!problem.isEmpty()) {
        status = usageError(io, synopsis + " (" + problem + ")");
        return std::nullopt;
    }
    return OutputCommand{parsed.positional.front(), output, parsed.value("--description", defaultDescription),
                         parsed.value("--comment", defaultComment)};
}

}  // namespace

int runCheck(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg check CONFIG.dnp");
    const ParsedArgs parsed = parseArgs(args, {});
    if (!parsed.error.isEmpty())
        return usageError(io, synopsis + " (" + parsed.error + ")");
    if (parsed.positional.size() != 1)
        return usageError(io, synopsis);
    const QString path = parsed.positional.front();
    const std::optional<ConfigState> state = readConfiguration(path, io);
    if (!state)
        return kExitFailure;

    io.out << path << ": configuration file read\n";
    io.out << "points per class  ";
    for (PointType type : kAllPointTypes)
        io.out << QStringLiteral(" %1").arg(pointTypeName(type), 8);
    io.out << "\n";
    for (int cls = 0; cls <= 3; ++cls) {
        io.out << QStringLiteral("  Class %1         ").arg(cls);
        for (PointType type : kAllPointTypes)
            io.out << QStringLiteral(" %1").arg(countSelected(*state, cls, type), 8);
        io.out << "\n";
    }
    io.out << "unsolicited responses\n";
    for (int cls = 1; cls <= 3; ++cls) {
        const std::uint16_t events = state->eventsWord(cls);
        io.out << QStringLiteral("  Class %1: dead band %2 %, minimum events %3, notification delay %4\n")
                      .arg(cls)
                      .arg(deadbandText(state->deadband(cls)))
                      .arg(ConfigState::minimumEvents(events))
                      .arg(ConfigState::notificationDelay(events));
    }
    return kExitOk;
}

namespace {

// report and resave: read IN, give it the header texts, write what `compose` makes of it.
int writeWithHeader(const QStringList& args, Io io, const QString& synopsis, const QString& description,
                    const QString& comment, const std::function<QByteArray(const ConfigState&)>& compose)
{
    int status = kExitOk;
    const auto command = parseOutputCommand(args, io, synopsis, description, comment, status);
    if (!command)
        return status;
    std::optional<ConfigState> state = readConfiguration(command->input, io);
    if (!state)
        return kExitFailure;
    state->ReportDescription = command->description;
    state->ReportComment = command->comment;
    return writeOut(command->output, compose(*state), io);
}

}  // namespace

int runReport(const QStringList& args, Io io)
{
    const QDateTime now = QDateTime::currentDateTime();
    // The Report Header dialog's first texts.
    return writeWithHeader(args, io,
                           QStringLiteral("dnpcfg report CONFIG.dnp -o REPORT.txt [--description TEXT] [--comment TEXT]"),
                           shortDate(now.date()) + QStringLiteral(" Report"), QStringLiteral("None"),
                           [&now](const ConfigState& state) { return composeReport(state, now); });
}

int runResave(const QStringList& args, Io io)
{
    // Without the options the header texts are empty, as after opening the file in a new run.
    return writeWithHeader(args, io,
                           QStringLiteral("dnpcfg resave IN.dnp -o OUT.dnp [--description TEXT] [--comment TEXT]"),
                           QString(), QString(), [](const ConfigState& state) {
                               return composeConfigFile(state, QDateTime::currentDateTime());
                           });
}

}  // namespace dnp::cli
