// dnpcfg check, report and resave: the configuration file and the report without
// the windows, through the workspace's reader and writers.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "files/ConfigFile.h"

namespace dnp::cli {
namespace {

int countSelected(const ConfigState& state, int cls, PointType type)
{
    int count = 0;
    for (int i = 0; i < pointCount(type); ++i)
        if (state.selected(cls, type, i))
            ++count;
    return count;
}

// report and resave: IN, -o OUT and the header texts. Without --description and
// --comment the texts are those given.
int writeWithHeader(const QStringList& args, Io io, const QString& synopsis, bool report)
{
    const ParsedArgs parsed = parseArgs(args, {"-o", "--output", "--description", "--comment"});
    QString problem = parsed.error;
    if (problem.isEmpty() && parsed.positional.size() != 1)
        problem = parsed.positional.isEmpty() ? QStringLiteral("a configuration file is needed")
                                              : QStringLiteral("one configuration file only");
    const QString output = parsed.value("-o", parsed.value("--output"));
    if (problem.isEmpty() && output.isEmpty())
        problem = QStringLiteral("-o FILE is needed");
    if (!problem.isEmpty())
        return usageError(io, synopsis + " (" + problem + ")");

    Program program(io);
    if (!program.open(parsed.positional.front()))
        return kExitFailure;
    Workspace& ws = program.workspace;
    if (report) {
        // The Report Header dialog's first texts, unless given.
        ReportHeader& header = ws.reportHeader();
        header.DescEdit = parsed.value("--description", header.DescEdit);
        header.CommentEdit = parsed.value("--comment", header.CommentEdit);
        header.OKBtnClick();
        return program.written(ws.writeReport(output));
    }
    // Empty texts, as after opening the file in a new run.
    ws.state().ReportDescription = parsed.value("--description");
    ws.state().ReportComment = parsed.value("--comment");
    return program.written(ws.save(output));
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
    Program program(io);
    if (!program.open(path))
        return kExitFailure;
    const ConfigState& state = program.workspace.state();

    io.out << path << ": configuration file read\n";
    io.out << "points per class  ";
    for (PointType type : kAllPointTypes)
        io.out << QStringLiteral(" %1").arg(pointTypeName(type), 8);
    io.out << "\n";
    for (int cls = 0; cls <= 3; ++cls) {
        io.out << QStringLiteral("  Class %1         ").arg(cls);
        for (PointType type : kAllPointTypes)
            io.out << QStringLiteral(" %1").arg(countSelected(state, cls, type), 8);
        io.out << "\n";
    }
    io.out << "unsolicited responses\n";
    for (int cls = 1; cls <= 3; ++cls) {
        const std::uint16_t events = state.eventsWord(cls);
        io.out << QStringLiteral("  Class %1: dead band %2 %, minimum events %3, notification delay %4\n")
                      .arg(cls)
                      .arg(deadbandText(state.deadband(cls)))
                      .arg(ConfigState::minimumEvents(events))
                      .arg(ConfigState::notificationDelay(events));
    }
    return kExitOk;
}

int runReport(const QStringList& args, Io io)
{
    return writeWithHeader(
        args, io, QStringLiteral("dnpcfg report CONFIG.dnp -o REPORT.txt [--description TEXT] [--comment TEXT]"), true);
}

int runResave(const QStringList& args, Io io)
{
    return writeWithHeader(
        args, io, QStringLiteral("dnpcfg resave IN.dnp -o OUT.dnp [--description TEXT] [--comment TEXT]"), false);
}

}  // namespace dnp::cli
