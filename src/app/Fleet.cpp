#include "app/Fleet.h"

#include "comm/ImageLayout.h"
#include "files/Csv.h"
#include "files/LineProblems.h"
#include "files/FileAccess.h"
#include "files/PointList.h"
#include "files/SafeWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <array>
#include <optional>

namespace dnp {
namespace {

// --- the jobs file ---

enum class JobColumn { Name, Device, Address, Action, Config, Baud, Parity };
constexpr int kJobColumnCount = 7;

struct JobColumnHeader {
    JobColumn column;
    const char* header;
    bool required;
};

constexpr JobColumnHeader kJobColumns[kJobColumnCount] = {
    {JobColumn::Name, "name", true},     {JobColumn::Device, "device", true}, {JobColumn::Address, "address", true},
    {JobColumn::Action, "action", true}, {JobColumn::Config, "config", true}, {JobColumn::Baud, "baud", false},
    {JobColumn::Parity, "parity", false},
};

struct ActionName {
    FleetAction action;
    const char* name;
};

constexpr ActionName kActionNames[] = {
    {FleetAction::Send, "send"},
    {FleetAction::Verify, "verify"},
    {FleetAction::Retrieve, "retrieve"},
    {FleetAction::SendVerify, "send+verify"},
};



struct JobLines {
    std::vector<FleetJob> jobs;  // the lines that read
    LineProblems problems;
};

// Where each column is (kJobColumns lists them in JobColumn's order); -1 when absent.
using ColumnPositions = std::vector<int>;

std::optional<ColumnPositions> findColumns(const CsvRecord& header, LineProblems& problems)
{
    std::array<const char*, kJobColumnCount> names{};
    std::transform(std::begin(kJobColumns), std::end(kJobColumns), names.begin(),
                   [](const JobColumnHeader& c) { return c.header; });
    const Result<ColumnPositions> positions = csvColumnPositions(header, names);
    if (!positions) {
        problems.add(header.line, positions.error().message);
        return std::nullopt;
    }
    bool good = true;
    for (const JobColumnHeader& c : kJobColumns)
        if (c.required && (*positions)[static_cast<int>(c.column)] < 0) {
            problems.add(header.line, QStringLiteral("the header has no column '%1' (it needs %2)")
                                          .arg(QLatin1String(c.header), kJobsHeader));
            good = false;
        }
    if (!good)
        return std::nullopt;
    return *positions;
}

std::optional<FleetAction> actionNamed(const QString& text)
{
    for (const ActionName& a : kActionNames)
        if (text == QLatin1String(a.name))
            return a.action;
    return std::nullopt;
}

// A whole decimal number, or nothing.
std::optional<int> wholeNumber(const QString& text)
{
    bool ok = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const int value = ok ? text.toInt(&ok, 10) : 0;
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The path a retrieve writes, as one file whatever way it is written.
QString sameFileKey(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// One line's job, its problems told.
std::optional<FleetJob> readJob(const CsvRecord& record, const ColumnPositions& columns, const QString& folder,
                                LineProblems& problems)
{
    const int line = record.line;
    const auto field = [&](JobColumn column) {
        const int at = columns[static_cast<int>(column)];
        return at >= 0 && at < record.fields.size() ? record.fields[at].trimmed() : QString();
    };
    bool good = true;
    const auto problem = [&](const QString& message) {
        problems.add(line, message);
        good = false;
    };

    FleetJob job;
    job.line = line;
    job.name = field(JobColumn::Name);
    job.device = field(JobColumn::Device);
    job.address = field(JobColumn::Address);
    job.config = field(JobColumn::Config);

    const QString actionText = field(JobColumn::Action);
    if (const std::optional<FleetAction> action = actionNamed(actionText.toLower()))
        job.action = *action;
    else
        problem(actionText.isEmpty() ? QStringLiteral("no action (send, verify, retrieve or send+verify)")
                                     : QStringLiteral("unknown action %1").arg(quotedField(actionText)));

    if (job.device.isEmpty())
        problem(QStringLiteral("the device is empty"));
    job.link.device = job.device;

    if (!job.address.isEmpty()) {
        const std::optional<int> address = wholeNumber(job.address);
        if (address && isAddress(*address))
            job.link.address = *address;
        else
            problem(QStringLiteral("bad address %1: a number from 0 to %2, or empty for the settings' addressing")
                        .arg(quotedField(job.address))
                        .arg(kHighestAddress));
    }
    if (const QString baud = field(JobColumn::Baud); !baud.isEmpty()) {
        if (baudItemOf(baud))
            job.link.baud = baud.toInt();
        else
            problem(QStringLiteral("bad baud rate %1: 19200, 9600 or 4800, or empty for the settings").arg(quotedField(baud)));
    }
    if (const QString parity = field(JobColumn::Parity).toLower(); !parity.isEmpty()) {
        job.link.evenParity = evenParityOf(parity);
        if (!job.link.evenParity)
            problem(QStringLiteral("bad parity %1: none or even, or empty for the settings")
                        .arg(quotedField(field(JobColumn::Parity))));
    }

    if (job.config.isEmpty())
        problem(job.action == FleetAction::Retrieve ? QStringLiteral("no file to retrieve into")
                                                    : QStringLiteral("no configuration file"));
    else
        job.configPath = QDir::isAbsolutePath(job.config) || folder.isEmpty() || folder == QLatin1String(".")
                             ? job.config
                             : QDir(folder).filePath(job.config);

    if (!good)
        return std::nullopt;
    return job;
}

JobLines readJobLines(QStringView text, const QString& folder)
{
    JobLines read;
    const Result<std::vector<CsvRecord>> records = csvRecords(text);
    if (!records) {
        read.problems.add(records.error().line, records.error().message);
        return read;
    }
    if (records->empty()) {
        read.problems.add(1, QStringLiteral("the jobs file is empty; its first line is the header %1").arg(kJobsHeader));
        return read;
    }
    const CsvRecord& header = records->front();
    const std::optional<ColumnPositions> columns = findColumns(header, read.problems);
    if (!columns)
        return read;
    if (records->size() == 1) {
        read.problems.add(header.line, QStringLiteral("the jobs file holds no jobs"));
        return read;
    }
    QHash<QString, int> retrieved;  // the file each retrieve writes, and the first line that does
    for (auto record = records->begin() + 1; record != records->end(); ++record) {
        if (record->fields.size() != header.fields.size()) {
            read.problems.add(record->line, QStringLiteral("%1 fields, but the header has %2")
                                                .arg(record->fields.size())
                                                .arg(header.fields.size()));
            continue;
        }
        std::optional<FleetJob> job = readJob(*record, *columns, folder, read.problems);
        if (!job)
            continue;
        if (job->action == FleetAction::Retrieve) {
            const QString key = sameFileKey(job->configPath);
            if (const auto first = retrieved.constFind(key); first != retrieved.cend()) {
                read.problems.add(job->line, QStringLiteral("line %1 retrieves into the same file %2")
                                                 .arg(*first)
                                                 .arg(quotedField(job->config)));
                continue;
            }
            retrieved.insert(key, job->line);
        }
        read.jobs.push_back(std::move(*job));
    }
    return read;
}

// A configuration to send or verify reads; the file of a retrieve may be written.
Result<void> checkJobFile(const FleetJob& job)
{
    if (job.action == FleetAction::Retrieve)
        return checkWritable(job.configPath);
    if (const Result<ConfigFileData> data = loadConfigFile(job.configPath); !data)
        return data.error();
    return {};
}

// --- running a job ---

// A job's workspace tells nothing: its outcome is the job's result.
class SilentPrompts : public UnattendedPrompts {
public:
    void information(const QString&) override {}
    void error(const QString&) override {}
    void showDifferences(const QString&, const ConfigDifferences&) override {}
};

// A message of several lines as one.
QString oneLine(const QString& text)
{
    QStringList parts;
    for (const QString& part : text.split(QLatin1Char('\n')))
        if (!part.trimmed().isEmpty())
            parts << part.trimmed();
    return parts.join(QLatin1Char(' '));
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 1);
}

}  // namespace

QString fleetActionName(FleetAction action)
{
    for (const ActionName& a : kActionNames)
        if (a.action == action)
            return QLatin1String(a.name);
    return {};
}

Result<std::vector<FleetJob>> readJobs(QStringView text, const QString& folder)
{
    JobLines read = readJobLines(text, folder);
    if (!read.problems.empty())
        return read.problems.error();
    return std::move(read.jobs);
}

Result<std::vector<FleetJob>> loadJobs(const QString& path)
{
    const Result<QByteArray> bytes = readInputFile(path, kMaxJobsFileBytes, QStringLiteral("a jobs file"));
    if (!bytes)
        return bytes.error();
    JobLines read = readJobLines(QString::fromUtf8(*bytes), QFileInfo(path).path());
    for (const FleetJob& job : read.jobs)
        if (const Result<void> usable = checkJobFile(job); !usable)
            read.problems.add(job.line, usable.error().message);
    if (!read.problems.empty())
        return read.problems.error();
    return std::move(read.jobs);
}

QByteArray fleetResultsCsv(const std::vector<FleetJob>& jobs, const std::vector<JobResult>& results)
{
    QByteArray bytes = kResultsHeader.toUtf8() + "\r\n";
    for (std::size_t i = 0; i < jobs.size() && i < results.size(); ++i) {
        const FleetJob& job = jobs[i];
        const JobResult& result = results[i];
        const QStringList fields = {job.name,
                                    job.device,
                                    job.address,
                                    fleetActionName(job.action),
                                    panelResultName(result.outcome),
                                    result.message,
                                    secondsText(result.seconds)};
        QStringList row;
        for (const QString& f : fields)
            row << csvField(f);
        bytes += row.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return bytes;
}

QString finishedJobLine(int finished, int total, const FleetJob& job, const JobResult& result)
{
    QString line = QStringLiteral("[%1/%2] %3 %4 %5 %6 s")
                       .arg(finished)
                       .arg(total)
                       .arg(job.name, fleetActionName(job.action), panelResultName(result.outcome),
                            secondsText(result.seconds));
    if (result.outcome != PanelResult::Ok && result.outcome != PanelResult::Cancelled)
        line += QStringLiteral(": ") + result.message;
    return line;
}

// --- the fleet ---

struct Fleet::Run {
    SilentPrompts prompts;
    std::unique_ptr<Workspace> workspace;
    QElapsedTimer clock;
};

Fleet::Fleet(std::vector<FleetJob> jobs, FleetSetup setup, QObject* parent)
    : QObject(parent),
      jobs_(std::move(jobs)),
      setup_(std::move(setup)),
      results_(jobs_.size()),
      states_(jobs_.size(), JobState::Waiting),
      runs_(jobs_.size())
{
    setup_.parallel = std::clamp(setup_.parallel, 1, kMostParallel);
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
        if (const Result<void> read = TcomSetIni(setup_.iniPath).Load(); !read)
            return read;
    started_ = true;
    startWaiting();
    finishIfDone();
    return {};
}

// The jobs that may start, in file order: their device free, fewer than `parallel` running.
void Fleet::startWaiting()
{
    if (scheduling_) {
        rescan_ = true;
        return;
    }
    scheduling_ = true;
    do {
        rescan_ = false;
        QSet<QString> busy;
        for (std::size_t i = 0; i < jobs_.size(); ++i)
            if (states_[i] == JobState::Running)
                busy.insert(jobs_[i].device);
        for (std::size_t i = 0; i < jobs_.size() && !stopping_ && running_ < setup_.parallel; ++i) {
            if (states_[i] != JobState::Waiting || busy.contains(jobs_[i].device))
                continue;
            // A device's later jobs wait for this one, even when it ends at once.
            busy.insert(jobs_[i].device);
            startJob(i);
        }
    } while (rescan_ && !stopping_);
    scheduling_ = false;
}

void Fleet::startJob(std::size_t index)
{
    const FleetJob& job = jobs_[index];
    states_[index] = JobState::Running;
    ++running_;
    runs_[index] = std::make_unique<Run>();
    Run& run = *runs_[index];
    run.clock.start();
    run.workspace = std::make_unique<Workspace>(
        run.prompts, WorkspaceSetup{setup_.iniPath, setup_.linkFactory, nullptr, setup_.timing});
    Workspace& ws = *run.workspace;
    connect(&ws, &Workspace::panelCommandEnded, this, [this, index](const PanelOutcome& outcome) {
        jobEnded(index, {outcome.result, oneLine(outcome.message), outcome.seconds});
    });

    const auto failNow = [&](const QString& message) {
        jobEnded(index, {PanelResult::Failed, oneLine(message), run.clock.elapsed() / 1000.0});
    };
    if (const Result<void> link = ws.overrideLink(job.link); !link)
        return failNow(link.error().message);
    if (job.action != FleetAction::Retrieve)
        if (const Result<void> opened = ws.open(job.configPath); !opened)
            return failNow(opened.error().message);
    switch (job.action) {
    case FleetAction::Send:
        ws.send(kIndividualMappingItem, ws.settings().VerifyAfterSend);
        break;
    case FleetAction::SendVerify:
        ws.send(kIndividualMappingItem, true);
        break;
    case FleetAction::Verify:
        ws.verify(kIndividualMappingItem, job.config);
        break;
    case FleetAction::Retrieve:
        ws.retrieveInto(job.configPath);
        break;
    }
}

void Fleet::jobEnded(std::size_t index, const JobResult& result)
{
    if (states_[index] != JobState::Running)
        return;
    results_[index] = result;
    states_[index] = JobState::Done;
    --running_;
    ++finished_;
    // The workspace may be telling its end from deep inside: it goes once that is over.
    QTimer::singleShot(0, this, [this, index] { runs_[index].reset(); });
    // The next jobs start before this one's end is told, so that whoever hears of it
    // finds them under way.
    startWaiting();
    emit jobFinished(static_cast<int>(index));
    finishIfDone();
}

void Fleet::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (states_[i] == JobState::Running)
            runs_[i]->workspace->cancelTransfer();
    }
    finishIfDone();
}

void Fleet::finishIfDone()
{
    if (!started_ || finishTold_ || running_ > 0)
        return;
    const bool allEnded = std::none_of(states_.begin(), states_.end(), [](JobState s) { return s == JobState::Waiting; });
    if (!allEnded && !stopping_)
        return;
    finishTold_ = true;
    QMetaObject::invokeMethod(this, &Fleet::finished, Qt::QueuedConnection);
}

}  // namespace dnp
