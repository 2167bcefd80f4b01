// dnpcfg fleet: the jobs of a jobs file run against many panels at once by one process,
// one line on standard error per finished job, the results as CSV at the end. Ctrl+C (or
// SIGTERM, SIGHUP) starts no more jobs, cancels the running ones and still writes the
// results.

#include "app/Fleet.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "cli/StopSignals.h"
#include "model/TerminalText.h"

#include <QEventLoop>

namespace dnp::cli {
namespace {

// What standard error shows while the fleet runs: a line per finished job, and on a
// terminal a count line below them that is written over as it changes.
class FleetProgress {
public:
    FleetProgress(Io io, const Fleet& fleet) : io_(io), fleet_(fleet), terminal_(io.errIsTerminal) {}

    void jobFinished(int index)
    {
        clearCount();
        const auto i = static_cast<std::size_t>(index);
        io_.err << terminalText(finishedJobLine(fleet_.finishedCount(), static_cast<int>(fleet_.jobs().size()),
                                                fleet_.jobs()[i], fleet_.results()[i]))
                << "\n";
        showCount();
    }
    // Told when the history answers, after the job's line.
    void jobNotRecorded(int index)
    {
        clearCount();
        printError(io_, fleet_.results()[static_cast<std::size_t>(index)].historyWarning);
        showCount();
    }
    void showCount()
    {
        if (terminal_) {
            const int total = static_cast<int>(fleet_.jobs().size());
            const int running = fleet_.runningCount();
            io_.err << QStringLiteral("%1 of %2 ended, %3 running, %4 waiting")
                           .arg(fleet_.finishedCount())
                           .arg(total)
                           .arg(running)
                           .arg(total - fleet_.finishedCount() - running);
        }
        io_.err.flush();
    }
    void clearCount()
    {
        if (terminal_)
            io_.err << "\r\x1b[K";
    }

private:
    Io io_;
    const Fleet& fleet_;
    bool terminal_;
};

// A whole number from 1 to kMostParallel, or nothing.
std::optional<int> parallelOption(const ParsedArgs& args)
{
    if (!args.has("--parallel"))
        return kDefaultParallel;
    bool ok = false;
    const int n = args.value("--parallel").toInt(&ok, 10);
    return ok && n >= 1 && n <= kMostParallel ? std::optional<int>(n) : std::nullopt;
}

}  // namespace

int runFleet(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"--parallel", "-o", "--ini", "--history"});
    if (!args)
        return usageError(io, "fleet", args.error().message);
    const std::optional<int> parallel = parallelOption(*args);
    if (!parallel)
        return usageError(io, "fleet", QStringLiteral("--parallel takes a number from 1 to %1").arg(kMostParallel));
    // A jobs file that cannot be run is refused whole, every bad line named.
    const QString output = args->value("-o");
    Result<std::vector<FleetJob>> jobs = loadJobs(args->positional[0], output);
    if (!jobs) {
        printError(io, jobs.error().message);
        return kExitUsage;
    }

    FleetSetup setup{.iniPath = args->value("--ini"), .parallel = *parallel, .resultsPath = output};
    if (args->has("--history"))
        setup.history = args->value("--history");
    Fleet fleet(std::move(jobs).value(), std::move(setup));
    FleetProgress progress(io, fleet);
    QEventLoop loop;
    QObject::connect(&fleet, &Fleet::jobFinished, &loop, [&progress](int index) { progress.jobFinished(index); });
    QObject::connect(&fleet, &Fleet::jobNotRecorded, &loop, [&progress](int index) { progress.jobNotRecorded(index); });
    QObject::connect(&fleet, &Fleet::finished, &loop, &QEventLoop::quit);
    const StopSignals stopSignals([&fleet](int) { fleet.stop(); });
    if (const Result<void> started = fleet.start(); !started) {
        printError(io, started.error().message);
        return kExitFailure;
    }
    progress.showCount();
    loop.exec();
    const Result<void> recorded = fleet.finishHistory();
    progress.clearCount();
    if (!recorded)
        printError(io, recorded.error().message);
    io.err.flush();

    if (output.isEmpty())
        io.out << QString::fromUtf8(fleet.resultsCsv());
    else if (const Result<void>& written = fleet.resultsWritten(); !written) {
        printError(io, written.error().message);
        return kExitFailure;
    }
    return fleet.allSucceeded() ? kExitOk : kExitFailure;
}

}  // namespace dnp::cli
