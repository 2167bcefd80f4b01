#include "files/JobsFile.h"

#include "files/ConfigFile.h"
#include "files/Csv.h"
#include "files/FileAccess.h"
#include "files/FileText.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <optional>

namespace dnp {
namespace {

enum class JobColumn { Name, Device, Address, Action, Config, Baud, Parity };

constexpr CsvColumn kJobColumns[] = {
    {"name", true}, {"device", true}, {"address", true}, {"action", true},
    {"config", true}, {"baud", false}, {"parity", false},
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

std::optional<FleetAction> actionNamed(const QString& text)
{
    for (const ActionName& a : kActionNames)
        if (text == QLatin1String(a.name))
            return a.action;
    return std::nullopt;
}

// One line's job as far as it reads, its problems told.
JobLine readJob(const CsvRecord& record, const std::vector<int>& columns, const QString& folder, LineProblems& problems)
{
    const auto field = [&](JobColumn column) {
        const int at = columns[static_cast<std::size_t>(column)];
        return at >= 0 && at < record.fields.size() ? record.fields[at].trimmed() : QString();
    };
    const auto problem = [&](const QString& message) { problems.add(record.line, message); };

    JobLine job;
    job.line = record.line;
    job.name = field(JobColumn::Name);
    job.device = field(JobColumn::Device);
    job.address = field(JobColumn::Address);
    job.config = field(JobColumn::Config);
    job.baud = field(JobColumn::Baud);
    job.parity = field(JobColumn::Parity);

    const QString actionText = field(JobColumn::Action);
    if (const std::optional<FleetAction> action = actionNamed(actionText.toLower()))
        job.action = *action;
    else
        problem(actionText.isEmpty() ? QStringLiteral("no action (send, verify, retrieve or send+verify)")
                                     : QStringLiteral("unknown action %1").arg(quotedField(actionText)));
    if (job.device.isEmpty())
        problem(QStringLiteral("the device is empty"));
    if (job.config.isEmpty())
        problem(job.readsConfig() ? QStringLiteral("no configuration file") : QStringLiteral("no file to retrieve into"));
    else
        job.configPath = QDir::isAbsolutePath(job.config) || folder.isEmpty() || folder == QLatin1String(".")
                             ? job.config
                             : QDir(folder).filePath(job.config);
    return job;
}

// A job's file as the run needs it, a configuration that reads or an output that may be
// written, and what it names. Each file is looked at once, however many jobs name it.
class FileUse {
public:
    Result<FileIdentity> check(const JobLine& job)
    {
        auto known = checked_.find(job.configPath);
        if (known == checked_.end())
            known = checked_.insert(job.configPath, identityOfUsable(job));
        return *known;
    }

private:
    static Result<FileIdentity> identityOfUsable(const JobLine& job)
    {
        const Result<FileIdentity> identity = fileIdentity(job.configPath);
        if (!job.readsConfig()) {
            if (const Result<void> writable = checkWritable(job.configPath); !writable)
                return writable.error();
        } else if (const Result<ConfigFileData> data = loadConfigFile(job.configPath); !data) {
            return data.error();
        }
        return identity;
    }

    QHash<QString, Result<FileIdentity>> checked_;
};

// Every file of a run by what it names (fileIdentity); nothing for one that cannot be
// resolved.
struct RunFiles {
    std::optional<FileIdentity> jobsFile;
    // Results that cannot be resolved are told when the fleet starts: they must be writable.
    std::optional<FileIdentity> results;
    std::vector<std::pair<const JobLine*, FileIdentity>> jobs;  // each job's file, of the lines that read
};

// An output that would replace another file of the run (the jobs file, a configuration
// read, another retrieve's file) told at the lines concerned.
void checkIdentities(const RunFiles& files, const QString& resultsPath, LineProblems& problems)
{
    QHash<FileIdentity, int> readers;  // a configuration read, and the first line that reads it
    for (const auto& [job, identity] : files.jobs)
        if (job->readsConfig() && !readers.contains(identity))
            readers.insert(identity, job->line);
    const auto isJobsFile = [&files](const FileIdentity& identity) { return files.jobsFile == identity; };

    QHash<FileIdentity, int> written;  // a retrieve's file, and its line
    for (const auto& [job, identity] : files.jobs) {
        if (job->readsConfig())
            continue;
        const QString file = quotedField(job->config);
        if (isJobsFile(identity))
            problems.add(job->line, QStringLiteral("the retrieve would replace the jobs file %1").arg(file));
        else if (const auto reader = readers.constFind(identity); reader != readers.cend())
            problems.add(job->line,
                         QStringLiteral("the retrieve would replace %1, the configuration line %2 reads").arg(file).arg(*reader));
        else if (const auto first = written.constFind(identity); first != written.cend())
            problems.add(job->line, QStringLiteral("line %1 retrieves into the same file %2").arg(*first).arg(file));
        else
            written.insert(identity, job->line);
    }

    const std::optional<FileIdentity>& results = files.results;
    if (!results)
        return;
    const QString file = quotedField(resultsPath);
    if (isJobsFile(*results))
        problems.add(0, QStringLiteral("the results file %1 would replace the jobs file").arg(file));
    if (const auto reader = readers.constFind(*results); reader != readers.cend())
        problems.add(*reader, QStringLiteral("the results file %1 would replace the configuration this line reads").arg(file));
    if (const auto retrieve = written.constFind(*results); retrieve != written.cend())
        problems.add(*retrieve, QStringLiteral("the results file %1 would replace the file this line retrieves into").arg(file));
}

}  // namespace

QString fleetActionName(FleetAction action)
{
    const auto named = std::find_if(std::begin(kActionNames), std::end(kActionNames),
                                    [action](const ActionName& a) { return a.action == action; });
    return QLatin1String(named->name);
}

JobsFileLines readJobsFile(QStringView text, const QString& folder)
{
    JobsFileLines read;
    const Result<std::vector<CsvRecord>> records = csvRecords(text);
    if (!records) {
        read.problems.add(records.error().line(), records.error().message);
        return read;
    }
    if (records->empty()) {
        read.problems.add(1, QStringLiteral("the jobs file is empty; its first line is the header %1").arg(kJobsHeader));
        return read;
    }
    const CsvRecord& header = records->front();
    const Result<std::vector<int>> columns = csvColumns(header, kJobColumns, QStringLiteral("a jobs file"));
    if (!columns) {
        read.problems.add(columns.error().line(), columns.error().message);
        return read;
    }
    if (records->size() == 1) {
        read.problems.add(header.line, QStringLiteral("the jobs file holds no jobs"));
        return read;
    }
    for (auto record = records->begin() + 1; record != records->end(); ++record) {
        if (record->fields.size() != header.fields.size()) {
            read.problems.add(record->line, QStringLiteral("%1 fields, but the header has %2")
                                                .arg(record->fields.size())
                                                .arg(header.fields.size()));
            continue;
        }
        read.jobs.push_back(readJob(*record, *columns, folder, read.problems));
    }
    return read;
}

JobsFileLines loadJobsFile(const QString& path, const QString& resultsPath)
{
    const Result<QByteArray> bytes = readInputFile(path, kMaxJobsFileBytes, QStringLiteral("a jobs file"));
    if (!bytes) {
        JobsFileLines none;
        none.problems.add(0, bytes.error().message);
        return none;
    }
    RunFiles files;
    if (const Result<FileIdentity> jobsFile = fileIdentity(path))
        files.jobsFile = *jobsFile;
    if (!resultsPath.isEmpty())
        if (const Result<FileIdentity> results = fileIdentity(resultsPath))
            files.results = *results;
    JobsFileLines read = readJobsFile(utf8FileText(*bytes), QFileInfo(path).path());
    FileUse use;
    for (const JobLine& job : read.jobs) {
        if (read.problems.has(job.line))
            continue;  // its files are looked at once the line reads
        Result<FileIdentity> identity = use.check(job);
        if (identity)
            files.jobs.emplace_back(&job, std::move(identity).value());
        else
            read.problems.add(job.line, identity.error().message);
    }
    checkIdentities(files, resultsPath, read.problems);
    return read;
}

}  // namespace dnp
