// dnpcfg fleet: the jobs of a jobs file run against many panels at once by one process,
// one line on standard error per finished job, the results as CSV at the end. Ctrl+C
// starts no more jobs, cancels the running ones and still writes the results.

#include "app/Fleet.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "model/TerminalText.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace dnp::cli {
namespace {

// The signals that stop a fleet: Ctrl+C, and a polite kill.
constexpr std::array kStopSignals = {SIGINT, SIGTERM};

// The one way from a signal handler into the event loop: the handler writes a byte to a
// pipe, whose other end a socket notifier watches. The first signal calls `onStop`, and
// the signals take their usual effect again (a second Ctrl+C ends the program at once).
class StopSignals {
public:
    explicit StopSignals(std::function<void()> onStop) : onStop_(std::move(onStop))
    {
        if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        writeEnd_ = pipe_[1];
        notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
            char byte = 0;
            while (::read(pipe_[0], &byte, 1) > 0) {
            }
            notifier_->setEnabled(false);
            restore();
            onStop_();
        });
        struct sigaction action {};
        action.sa_handler = handle;
        sigemptyset(&action.sa_mask);
        for (std::size_t k = 0; k < kStopSignals.size(); ++k)
            ::sigaction(kStopSignals[k], &action, &previous_[k]);
        installed_ = true;
    }
    ~StopSignals()
    {
        restore();
        notifier_.reset();
        writeEnd_ = -1;
        for (const int fd : pipe_)
            if (fd >= 0)
                ::close(fd);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    static void handle(int)
    {
        const int saved = errno;
        if (writeEnd_ >= 0)
            (void)!::write(writeEnd_, "!", 1);
        errno = saved;
    }
    void restore()
    {
        if (!installed_)
            return;
        installed_ = false;
        for (std::size_t k = 0; k < kStopSignals.size(); ++k)
            ::sigaction(kStopSignals[k], &previous_[k], nullptr);
    }

    static inline volatile sig_atomic_t writeEnd_ = -1;
    std::function<void()> onStop_;
    std::array<int, 2> pipe_ = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, kStopSignals.size()> previous_ = {};
    bool installed_ = false;
};

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
    const StopSignals stopSignals([&fleet] { fleet.stop(); });
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
