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
    const std::optional<ParsedArgs> parsed =
        commandArgs(args, io, synopsis, 1, {"-o", "--description", "--comment"}, {}, {"-o"});
    if (!parsed)
        return kExitUsage;
    const QString output = parsed->value("-o");

    Program program(io);
    if (!program.open(parsed->positional.front()))
        return kExitFailure;
    Workspace& ws = program.workspace;
    if (report) {
        // The Report Header dialog's first texts, unless given.
        ReportHeader& header = ws.reportHeader();
        header.DescEdit = parsed->value("--description", header.DescEdit);
        header.CommentEdit = parsed->value("--comment", header.CommentEdit);
        header.OKBtnClick();
        return program.written(ws.writeReport(output));
    }
    // Empty texts, as after opening the file in a new run.
    ws.state().ReportDescription = parsed->value("--description");
    ws.state().ReportComment = parsed->value("--comment");
    return program.written(ws.save(output));
}

}  // namespace

int runCheck(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg check CONFIG.dnp");
    const std::optional<ParsedArgs> parsed = commandArgs(args, io, synopsis, 1);
    if (!parsed)
        return kExitUsage;
    const QString path = parsed->positional.front();
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
