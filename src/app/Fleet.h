#pragma once
// A fleet of panels configured or audited from one machine. A jobs file names, per
// panel, its device (a serial port, or a terminal server as tcp://HOST:PORT), its address
// on a shared line, what to do with it and the configuration file. One process runs every
// job, each with a document and a panel session of its own (its own configuration and
// exchange; the settings and the history are the run's), all on one thread through the
// event loop: jobs on one device one after another in file order (they
// share a line), jobs on different devices at the same time, at most `parallel` at once.
// A job that fails never stops the others; stop() (Ctrl+C) starts no more jobs and
// cancels the running ones as Cancel does.

#include "app/PanelHistory.h"
#include "app/PanelSession.h"
#include "app/Settings.h"
#include "files/JobsFile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QStringView>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace dnp {

inline const QString kResultsHeader = QStringLiteral("name,device,address,action,outcome,message,seconds");

// A line of the jobs file (files/JobsFile.h) with the link its columns give: its device,
// and the address, baud rate and parity it names.
struct FleetJob : JobLine {
    LinkOverride link = {};
};

// The jobs of a jobs file's text (readJobsFile), whose relative file names are taken
// from `folder`, with their links read: a bad address (0-255), baud rate or parity is a
// problem of its line. Every problem of every line is named, one a line ("line 3:
// unknown action 'reboot'"), and then no job is given.
Result<std::vector<FleetJob>> readJobs(QStringView text, const QString& folder);
// The jobs file read and its files checked as loadJobsFile does (a configuration to send
// or verify must read, a retrieve's file must be writable, no output replaces another
// file of the run, `resultsPath` included), the links as readJobs reads them.
Result<std::vector<FleetJob>> loadJobs(const QString& path, const QString& resultsPath = {});

inline const QString kNotStartedText = QStringLiteral("Not started: the fleet was stopped.");

// A job's end: how its panel command ended (ok, failed, cancelled, differs, incomplete).
struct JobResult {
    PanelResult outcome = PanelResult::Cancelled;
    QString message = kNotStartedText;  // the job's outcome in one line
    double seconds = 0;                 // from its start to its end
    QString historyWarning = {};        // why its record is not in the history; "" when it is (or not told yet)
};

// The results as CSV (csvLine: a name a spreadsheet would run as a formula gets its
// apostrophe): the header kResultsHeader, then one row per job in file order; UTF-8, CR
// LF after every line.
QByteArray fleetResultsCsv(const std::vector<FleetJob>& jobs, const std::vector<JobResult>& results);
// "[12/64] panel12 send+verify ok 1.7 s": the `finished`-th job of `total` to end; a
// failed job's message follows (": ZE-P(L) is not responding! ...").
QString finishedJobLine(int finished, int total, const FleetJob& job, const JobResult& result);

constexpr int kDefaultParallel = 8;
constexpr int kMostParallel = 4096;
// The files the fleet holds open besides one per running job (its standard streams, the
// event loop's, the history's, a file being read or written).
constexpr int kFleetSpareFiles = 64;

struct FleetSetup {
    QString iniPath = {};             // empty: DNP.ini where the program keeps it
    int parallel = kDefaultParallel;  // devices served at the same time
    LinkFactory linkFactory = {};     // empty: the machine's links
    LineTiming timing = {};
    QString resultsPath = {};         // where the results are written at the end; empty: nowhere
    // The history the jobs are recorded in (dnpcfg --history); empty: the settings'.
    std::optional<QString> history = {};
};

class Fleet : public QObject {
    Q_OBJECT
public:
    Fleet(std::vector<FleetJob> jobs, FleetSetup setup, QObject* parent = nullptr);
    ~Fleet() override;

    // Starts the first jobs; `finished` follows once every job has ended. Settings named
    // by the setup must read, the results file must be writable and the process must be
    // able to hold a line open for each job it runs at once (allowOpenFiles), else
    // nothing starts and the reason is given. Every job is recorded in one history,
    // opened once.
    Result<void> start();
    // Starts no more jobs and cancels the running ones; those never started end as
    // cancelled. `finished` follows.
    void stop();

    const std::vector<FleetJob>& jobs() const { return jobs_; }
    // Every job's result: a job that has not ended counts as cancelled, not started.
    const std::vector<JobResult>& results() const { return results_; }
    int finishedCount() const { return finished_; }
    int runningCount() const { return running_; }
    // Whether every job has ended well.
    bool allSucceeded() const;
    // The results as CSV (fleetResultsCsv).
    QByteArray resultsCsv() const { return fleetResultsCsv(jobs_, results_); }
    // Once finished: how writing the results to the setup's results file went (written
    // safely; nothing to write passes).
    const Result<void>& resultsWritten() const { return resultsWritten_; }
    // At the end of the run: waits at most the store's time-out for the jobs' records not
    // written yet and fails saying how many were not recorded.
    Result<void> finishHistory();

signals:
    // Job `index` (in file order) has ended; its result is in results().
    void jobFinished(int index);
    // Every job has ended (told from the event loop).
    void finished();
    // Job `index`'s record could not be written: its result's historyWarning says why
    // (told when the history answers, after the job's end).
    void jobNotRecorded(int index);

private:
    struct Run;
    enum class JobState { Waiting, Running, Done };

    const Result<ConfigFileData>& configuration(const QString& path);
    void startWaiting();
    void deviceFreed(std::size_t index);
    void startJob(std::size_t index);
    void jobEnded(std::size_t index, const JobResult& result);
    void finishIfDone();

    std::vector<FleetJob> jobs_;
    FleetSetup setup_;
    std::vector<JobResult> results_;
    std::vector<JobState> states_;
    std::vector<std::unique_ptr<Run>> runs_;
    // Scheduling, in time linear in the jobs: after each job the next on its device (in
    // file order), and the jobs that may start now (the next of each free device), by
    // their place in the file.
    static constexpr std::size_t kNoJob = static_cast<std::size_t>(-1);
    std::vector<std::size_t> nextOnDevice_;
    std::set<std::size_t> ready_;
    int devices_ = 0;  // the lines the jobs name
    // Each configuration the jobs send or verify, read at the first job that needs it.
    std::map<QString, Result<ConfigFileData>> configurations_;
    QSet<QString> messages_;  // the results' messages
    int running_ = 0;
    int finished_ = 0;
    bool started_ = false;
    bool stopping_ = false;
    bool scheduling_ = false;
    bool finishTold_ = false;
    Result<void> resultsWritten_;
    Settings settings_;
    UnattendedQuestions questions_;
    std::unique_ptr<PanelHistory> history_;
};

}  // namespace dnp
