#pragma once
// The jobs file of a fleet: CSV (files/Csv.h) with the header
// name,device,address,action,config (columns by name, others ignored; "baud" and
// "parity" may follow), one panel's job a line. `action` is send, verify, retrieve or
// send+verify; `config` the configuration to send or verify, or the file a retrieve
// writes, a relative name taken from the jobs file's folder. The link columns (device,
// address, baud, parity) are kept as written: the fleet reads them as the settings do.

#include "files/LineProblems.h"
#include "model/Result.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace dnp {

enum class FleetAction { Send, Verify, Retrieve, SendVerify };

// "send", "verify", "retrieve", "send+verify": the action column's words.
QString fleetActionName(FleetAction action);

// The columns a jobs file must have; "baud" and "parity" may follow, others are ignored.
inline const QString kJobsHeader = QStringLiteral("name,device,address,action,config");
// No jobs file approaches this size (a job is a line of some hundred bytes).
constexpr qint64 kMaxJobsFileBytes = 16 * 1024 * 1024;

// One line of a jobs file, read and checked.
struct JobLine {
    int line = 0;      // its line in the jobs file
    QString name;
    QString device;    // as written; jobs whose devices are written alike share a line
    QString address;   // as written; empty: addressing as the settings say
    FleetAction action = FleetAction::Send;
    QString config;    // as written: the configuration to send or verify, or the file a retrieve writes
    QString configPath;  // the same, a relative name taken from the jobs file's folder
    QString baud = {};    // as written; empty: the settings' baud rate
    QString parity = {};  // as written; empty: the settings' parity

    // Whether the job reads its configuration (a retrieve writes it).
    bool readsConfig() const { return action != FleetAction::Retrieve; }
};

// The lines of a jobs file as far as they read, and their problems, each at its line:
// the jobs are good when there is none.
struct JobsFileLines {
    std::vector<JobLine> jobs;
    LineProblems problems;
};

// The jobs of a jobs file's text, whose relative file names are taken from `folder`:
// every problem of every line is told ("line 3: unknown action 'reboot'"): a missing
// column, a line with fewer or more fields than the header, an unknown action, an
// empty device or file. The files themselves are not looked at.
JobsFileLines readJobsFile(QStringView text, const QString& folder);

// The jobs file read as readJobsFile does, and every file of the run checked before the
// first job (the files of a line without problems): a configuration to send or verify must read, a retrieve's file must be
// writable, and each file is resolved to what it names (fileIdentity: through links,
// also to files not there yet). Refused, at the lines concerned: a retrieve into the
// jobs file, into a configuration a job reads, or into the file of another retrieve;
// results (`resultsPath`, "" for none) that would replace the jobs file, a
// configuration read or a retrieve's file.
JobsFileLines loadJobsFile(const QString& path, const QString& resultsPath);

}  // namespace dnp
