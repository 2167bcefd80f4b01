#include "app/Fleet.h"

#include "comm/ImageLayout.h"
#include "files/Csv.h"
#include "files/FileAccess.h"
#include "files/OpenFilesLimit.h"

#include <QDir>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace dnp {
namespace {

// --- the jobs file's link columns ---

// The device and the columns a line gives, read as the settings read their values; an
// empty column leaves the settings' value. A refusal names each column that does not read.
Result<LinkOverride> jobLink(const JobLine& job)
{
    LinkOverride link;
    link.device = job.device;
    QStringList problems;
    const auto read = [&](const char* column, const QString& text, const auto& parse, auto& into, const auto& as) {
        if (text.isEmpty())
            return;
        if (const auto value = parse(text); value)
            into = as(*value);
        else
            problems << QLatin1String(column) + QLatin1Char(' ') + value.error().message;
    };
    const auto same = [](auto value) { return value; };
    read("address", job.address, parseAddress, link.address, same);
    read("baud", job.baud, parseBaudItem, link.baud, baudRateOf);
    read("parity", job.parity, parseEvenParity, link.evenParity, same);
    if (!problems.isEmpty())
        return failure(problems.join(QStringLiteral("; ")), job.line);
    return link;
}

Result<std::vector<FleetJob>> fleetJobs(JobsFileLines lines)
{
    std::vector<FleetJob> jobs;
    jobs.reserve(lines.jobs.size());
    for (JobLine& line : lines.jobs) {
        FleetJob job{std::move(line)};
        if (const Result<LinkOverride> link = jobLink(job); link)
            job.link = *link;
        else
            lines.problems.add(job.line, link.error().message);
        jobs.push_back(std::move(job));
    }
    if (!lines.problems.empty())
        return lines.problems.error();
    return jobs;
}

// --- running a job ---

}  // namespace


Result<std::vector<FleetJob>> readJobs(QStringView text, const QString& folder)
{
    return fleetJobs(readJobsFile(text, folder));
}

Result<std::vector<FleetJob>> loadJobs(const QString& path, const QString& resultsPath)
{
    return fleetJobs(loadJobsFile(path, resultsPath));
}

QByteArray fleetResultsCsv(const std::vector<FleetJob>& jobs, const std::vector<JobResult>& results)
{
    QString text = csvLine(kResultsHeader.split(QLatin1Char(',')));
    for (std::size_t i = 0; i < jobs.size() && i < results.size(); ++i) {
        const FleetJob& job = jobs[i];
        const JobResult& result = results[i];
        text += csvLine({job.name, job.device, job.address, fleetActionName(job.action), panelResultName(result.outcome),
                         result.message, secondsText(result.seconds)});
    }
    return text.toUtf8();
}

QString finishedJobLine(int finished, int total, const FleetJob& job, const JobResult& result)
{
    QString line = QStringLiteral("[%1/%2] %3 %4 %5 %6 s")
                       .arg(finished)
                       .arg(total)
                       .arg(job.name, fleetActionName(job.action), panelResultName(result.outcome),
                            secondsText(result.seconds));
    if (wentWrong(result.outcome))
        line += QStringLiteral(": ") + result.message;
    return line;
}

// --- the fleet ---

struct Fleet::Run {
    Run(Settings& settings, PanelQuestions& questions, SessionSetup setup) : session(settings, questions, std::move(setup)) {}
    ConfigDocument document;
    PanelSession session;
    QElapsedTimer clock;
};

Fleet::Fleet(std::vector<FleetJob> jobs, FleetSetup setup, QObject* parent)
    : QObject(parent),
      jobs_(std::move(jobs)),
      setup_(std::move(setup)),
      results_(jobs_.size()),
      states_(jobs_.size(), JobState::Waiting),
      runs_(jobs_.size()),
      nextOnDevice_(jobs_.size(), kNoJob),
      settings_(setup_.iniPath)
{
    setup_.parallel = std::clamp(setup_.parallel, 1, kMostParallel);
    QHash<QString, std::size_t> lastOnDevice;  // jobs whose devices are written alike share a line
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        const auto last = lastOnDevice.constFind(jobs_[i].device);
        if (last == lastOnDevice.cend())
            ready_.insert(i);
        else
            nextOnDevice_[*last] = i;
        lastOnDevice.insert(jobs_[i].device, i);
    }
    devices_ = static_cast<int>(lastOnDevice.size());
}

Fleet::~Fleet() = default;

bool Fleet::allSucceeded() const
{
    return std::all_of(results_.begin(), results_.end(), [](const JobResult& r) { return r.outcome == PanelResult::Ok; });
}

Result<void> Fleet::start()
{
    if (started_)
        return {};
    if (!setup_.iniPath.isEmpty())
        if (const Result<void> read = settings_.reload(); !read)
            return read;
    if (const Result<void> readable = settings_.current().readable(); !readable)
        return readable;
    history_ = std::make_unique<PanelHistory>(settings_);
    if (setup_.history)
        history_->overrideStore(*setup_.history);
    // The results must have a place before the first panel is asked anything.
    if (!setup_.resultsPath.isEmpty())
        if (const Result<void> writable = checkWritable(setup_.resultsPath); !writable)
            return writable;
    const int atOnce = std::min(setup_.parallel, devices_);
    if (const Result<void> room = allowOpenFiles(atOnce + kFleetSpareFiles, QStringLiteral("%1 jobs at once").arg(atOnce));
        !room)
        return room;
    started_ = true;
    startWaiting();
    finishIfDone();
    return {};
}

// The jobs that may start, in file order: their device free, fewer than `parallel`
// running. A job that ends while it starts frees its device for the loop under way.
void Fleet::startWaiting()
{
    if (scheduling_)
        return;
    scheduling_ = true;
    while (!stopping_ && running_ < setup_.parallel && !ready_.empty()) {
        const std::size_t next = *ready_.begin();
        ready_.erase(ready_.begin());
        startJob(next);
    }
    scheduling_ = false;
}

// A device's job has ended: its next job may start.
void Fleet::deviceFreed(std::size_t index)
{
    if (nextOnDevice_[index] != kNoJob)
        ready_.insert(nextOnDevice_[index]);
}

const Result<ConfigFileData>& Fleet::configuration(const QString& path)
{
    auto known = configurations_.find(path);
    if (known == configurations_.end())
        known = configurations_.emplace(path, loadConfigFile(path)).first;
    return known->second;
}

void Fleet::startJob(std::size_t index)
{
    const FleetJob& job = jobs_[index];
    states_[index] = JobState::Running;
    ++running_;
    runs_[index] = std::make_unique<Run>(settings_, questions_, SessionSetup{ProgramKind::Fleet, setup_.linkFactory, setup_.timing});
    Run& run = *runs_[index];
    run.clock.start();
    PanelSession& session = run.session;
    session.admit = [this] { return history_->admit(); };
    // Each job is recorded; its warning follows the job's line when the history answers.
    connect(&session, &PanelSession::commandEnded, this, [this, index](const PanelOutcome& outcome) {
        history_->record(outcome, [self = QPointer<Fleet>(this), index](const QString& notRecorded) {
            if (!self || notRecorded.isEmpty())
                return;
            self->results_[index].historyWarning = notRecorded;
            emit self->jobNotRecorded(static_cast<int>(index));
        });
        jobEnded(index, {outcome.result, oneLine(outcome.message), outcome.seconds});
    });

    const auto failNow = [&](const QString& message) {
        jobEnded(index, {PanelResult::Failed, oneLine(message), run.clock.elapsed() / 1000.0});
    };
    session.overrideLink(job.link);
    if (job.action != FleetAction::Retrieve) {
        const Result<ConfigFileData>& config = configuration(job.configPath);
        if (!config)
            return failNow(config.error().message);
        run.document.open(job.configPath, *config);
    }
    const Result<void> started = [&] {
        switch (job.action) {
        case FleetAction::Send:
            return session.send(run.document, Mapping::Individual, settings_.current().VerifyAfterSend);
        case FleetAction::SendVerify:
            return session.send(run.document, Mapping::Individual, true);
        case FleetAction::Verify:
            return session.verify(run.document, Mapping::Individual, job.config);
        case FleetAction::Retrieve:
            break;
        }
        return session.retrieveInto(run.document, job.configPath);
    }();
    if (!started)
        failNow(started.error().message);
}

void Fleet::jobEnded(std::size_t index, const JobResult& result)
{
    if (states_[index] != JobState::Running)
        return;
    results_[index] = result;
    // Most jobs end with one of a few messages: each text is kept once.
    results_[index].message = *messages_.insert(result.message);
    states_[index] = JobState::Done;
    --running_;
    ++finished_;
    // The session may be telling its end from deep inside: it goes once that is over.
    QTimer::singleShot(0, this, [this, index] { runs_[index].reset(); });
    deviceFreed(index);
    // The next jobs start before this one's end is told, so that whoever hears of it
    // finds them under way.
    startWaiting();
    emit jobFinished(static_cast<int>(index));
    finishIfDone();
}

Result<void> Fleet::finishHistory()
{
    return history_ ? history_->finish() : Result<void>();
}

void Fleet::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (states_[i] == JobState::Running)
            runs_[i]->session.cancel();
    }
    finishIfDone();
}

void Fleet::finishIfDone()
{
    if (!started_ || finishTold_ || running_ > 0 || (static_cast<std::size_t>(finished_) < jobs_.size() && !stopping_))
        return;
    finishTold_ = true;
    if (!setup_.resultsPath.isEmpty())
        resultsWritten_ = writeFileSafely(setup_.resultsPath, resultsCsv());
    QMetaObject::invokeMethod(this, &Fleet::finished, Qt::QueuedConnection);
}

}  // namespace dnp
