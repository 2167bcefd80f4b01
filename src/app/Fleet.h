#pragma once
// A fleet of panels configured or audited from one machine. A jobs file names, per
// panel, its device (a serial port, or a terminal server as tcp://HOST:PORT), its address
// on a shared line, what to do with it and the configuration file. One process runs every
// job, each in a workspace of its own (its own configuration and exchange), all on one
// thread through the event loop: jobs on one device one after another in file order (they
// share a line), jobs on different devices at the same time, at most `parallel` at once.
// A job that fails never stops the others; stop() (Ctrl+C) starts no more jobs and
// cancels the running ones as Cancel does.

#include "app/Workspace.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringView>
#include <memory>
#include <vector>

namespace dnp {

enum class FleetAction { Send, Verify, Retrieve, SendVerify };

// "send", "verify", "retrieve", "send+verify": the action column's words.
QString fleetActionName(FleetAction action);

// The columns a jobs file must have; "baud" and "parity" may follow, others are ignored.
inline const QString kJobsHeader = QStringLiteral("name,device,address,action,config");
inline const QString kResultsHeader = QStringLiteral("name,device,address,action,outcome,message,seconds");
// No jobs file approaches this size (a job is a line of some hundred bytes).
constexpr qint64 kMaxJobsFileBytes = 16 * 1024 * 1024;

// One line of a jobs file, read and checked.
struct FleetJob {
    int line = 0;      // its line in the jobs file
    QString name;
    QString device;    // as written; jobs whose devices are written alike share a line
    QString address;   // as written; empty: addressing as the settings say
    FleetAction action = FleetAction::Send;
    QString config;    // as written: the configuration to send or verify, or the file a retrieve writes
    QString configPath;  // the same, a relative name taken from the jobs file's folder
    LinkOverride link = {};  // the device, and the address, baud rate and parity the line gives
};

// The jobs of a jobs file's text, whose relative file names are taken from `folder`.
// Every problem of every line is named, one a line ("line 3: unknown action 'reboot'"),
// and then no job is given: a missing column, a line whose fields do not match the
// header, an unknown action, an empty device or file, a bad address (0-255), baud rate
// or parity, two retrieves writing the same file. The files themselves are not looked at.
Result<std::vector<FleetJob>> readJobs(QStringView text, const QString& folder);
// The jobs file read and its jobs checked as readJobs does, and also their files: a
// configuration to send or verify must read, a retrieve's file must be writable.
Result<std::vector<FleetJob>> loadJobs(const QString& path);

inline const QString kNotStartedText = QStringLiteral("Not started: the fleet was stopped.");

// A job's end: how its panel command ended (ok, failed, cancelled, differs, incomplete).
struct JobResult {
    PanelResult outcome = PanelResult::Cancelled;
    QString message = kNotStartedText;  // the job's outcome in one line
    double seconds = 0;                 // from its start to its end
};

// The results as CSV: the header kResultsHeader, then one row per job in file order;
// UTF-8, CR LF after every line.
QByteArray fleetResultsCsv(const std::vector<FleetJob>& jobs, const std::vector<JobResult>& results);
// "[12/64] panel12 send+verify ok 1.7 s": the `finished`-th job of `total` to end; a
// failed job's message follows (": ZE-P(L) is not responding! ...").
QString finishedJobLine(int finished, int total, const FleetJob& job, const JobResult& result);

constexpr int kDefaultParallel = 8;
constexpr int kMostParallel = 512;

struct FleetSetup {
    QString iniPath = {};             // empty: DNP.ini where the program keeps it
    int parallel = kDefaultParallel;  // devices served at the same time
    LinkFactory linkFactory = {};     // empty: the machine's links
    LineTiming timing = {};
};

class Fleet : public QObject {
    Q_OBJECT
public:
    Fleet(std::vector<FleetJob> jobs, FleetSetup setup, QObject* parent = nullptr);
    ~Fleet() override;

    // Starts the first jobs; `finished` follows once every job has ended. Settings named
    // by the setup must read, else nothing starts and the reason is given.
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

signals:
    // Job `index` (in file order) has ended; its result is in results().
    void jobFinished(int index);
    // Every job has ended (told from the event loop).
    void finished();

private:
    struct Run;
    enum class JobState { Waiting, Running, Done };

    void startWaiting();
    void startJob(std::size_t index);
    void jobEnded(std::size_t index, const JobResult& result);
    void finishIfDone();

    std::vector<FleetJob> jobs_;
    FleetSetup setup_;
    std::vector<JobResult> results_;
    std::vector<JobState> states_;
    std::vector<std::unique_ptr<Run>> runs_;
    int running_ = 0;
    int finished_ = 0;
    bool started_ = false;
    bool stopping_ = false;
    bool scheduling_ = false;
    bool rescan_ = false;
    bool finishTold_ = false;
};

}  // namespace dnp
