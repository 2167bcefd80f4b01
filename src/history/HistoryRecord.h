#pragma once
// A record of the history: one panel command (a send with its read-back, a retrieve, a
// verify, a test) as the history keeps it, which records a listing takes, what the
// records say each panel holds, and how they are shown: CSV (spreadsheet-safe, UTC)
// and, for a terminal, local time with its offset. The making of a record from a
// command's outcome is the workspace's (app/PanelRecord.h).

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace dnp {

// Follows the outcome of a command whose record could not be written, with the reason.
inline const QString kNotRecordedText = QStringLiteral("The transfer was not recorded in the history: ");

// The names the history keeps for what a panel holds: the action of a send, the outcomes
// of one done and of one that stopped after the panel took messages; a send's read_back.
inline const QString kSendAction = QStringLiteral("send");
inline const QString kOkOutcome = QStringLiteral("ok");
inline const QString kIncompleteOutcome = QStringLiteral("incomplete");
inline const QString kReadBack = QStringLiteral("yes");
inline const QString kNotReadBack = QStringLiteral("no");

// The columns of dnpcfg history's CSV and of Export CSV.
inline const QStringList kHistoryColumns = {
    QStringLiteral("time"),         QStringLiteral("user"),         QStringLiteral("host"),
    QStringLiteral("program"),      QStringLiteral("device"),       QStringLiteral("address"),
    QStringLiteral("action"),       QStringLiteral("outcome"),      QStringLiteral("read_back"),
    QStringLiteral("config"),       QStringLiteral("image_sha256"), QStringLiteral("panel_sha256"),
    QStringLiteral("differing_words"), QStringLiteral("seconds"),   QStringLiteral("message")};
// The columns of dnpcfg history --panels.
inline const QStringList kPanelColumns = {QStringLiteral("device"),    QStringLiteral("address"),
                                          QStringLiteral("last_sent"), QStringLiteral("last_sent_sha256"),
                                          QStringLiteral("last_read"), QStringLiteral("last_read_sha256"),
                                          QStringLiteral("state"),     QStringLiteral("config")};

// One panel command as the history keeps it; the texts as the CSV shows them.
struct HistoryRecord {
    QString time;     // when it ended, UTC: "2025-01-31T10:41:07Z"
    QString user;     // the login name
    QString host;
    QString program;  // "dnp-configure", "dnpcfg", "fleet"
    QString device;
    QString address;  // "" without addressing
    QString action;   // panelActionName
    QString outcome;  // panelResultName
    QString config;   // the configuration file's absolute path; "" for none
    QString imageSha256;  // the image sent or compared against; "" for none
    QString panelSha256;  // the image read from the panel; "" when none was read whole
    int differingWords = 0;
    double seconds = 0;  // to 0.1 s
    QString message;     // the outcome's one line
    QString trace;       // the line trace as dnpcfg --trace prints it, heading first
    QString readBack = {};  // a send: "yes" when the panel was read back whole after it, else "no"; "" otherwise

    bool operator==(const HistoryRecord&) const = default;
};

// A record's fields in the order of kHistoryColumns.
QStringList historyFields(const HistoryRecord& record);
// The records as CSV (csvLine: spreadsheet-safe): the header, then one row each;
// `withTrace` adds the column "trace".
QByteArray historyCsv(const std::vector<HistoryRecord>& records, bool withTrace = false);
// A record's time ("2025-01-31T10:41:07Z") in this machine's local time with its offset,
// "2025-01-31T11:41:07+01:00", as a table shows it; a time that does not read as it is.
QString localTimeText(const QString& utc);

// A record's SHA-256 in the history's chain, as 64 lowercase hex digits: over the SHA-256
// of the record before it (64 zeros for the first) and each field of the record in the
// order of kHistoryColumns, then the trace, each field after a line break and its length
// in UTF-8 bytes ("\n12:"), so that no two records give the same bytes. The seconds go in
// to the last bit, as the store gives them back.
QString recordSha256(const QString& previous, const HistoryRecord& record);
// The SHA-256 of the bytes as 64 lowercase hex digits.
QString sha256Text(const QByteArray& bytes);
// The SHA-256 the first record of a store follows.
inline const QString kChainStart = QString(64, QLatin1Char('0'));

// Which records a listing takes; every condition given must hold.
struct HistoryFilter {
    QString device = {};                   // "": every device
    std::optional<QString> address = {};  // "" for the records without addressing
    QString action = {};                   // "send", ...; "": every action
    QString outcome = {};                  // "ok", ...; "": every outcome
    QDate since = {};                      // records of that day (UTC) and later
    int limit = 0;                         // the newest N; 0: all
};

// What a panel holds, by the history: the last successful send, the last read of all 18
// messages (a retrieve, a verify, a send's read-back), and whether they are alike.
struct PanelHolding {
    QString device;
    QString address;
    QString lastSent;        // time; "" when none
    QString lastSentSha256;
    QString lastRead;        // time; "" when none
    QString lastReadSha256;
    // "matches", "differs", "unknown" (one of them is missing) or "incomplete" (a send
    // stopped after the panel took messages, and no full read since found the panel
    // holding what was last sent).
    QString state;
    QString config;          // the file last sent

    bool operator==(const PanelHolding&) const = default;
};
inline const QString kHoldingMatches = QStringLiteral("matches");
inline const QString kHoldingDiffers = QStringLiteral("differs");
inline const QString kHoldingUnknown = QStringLiteral("unknown");
inline const QString kHoldingIncomplete = QStringLiteral("incomplete");
// Whether a panel's state calls for a look (differs, incomplete): dnpcfg history
// --panels then ends with status 1.
bool holdingDrifted(const PanelHolding& holding);
// A holding's fields in the order of kPanelColumns.
QStringList panelFields(const PanelHolding& holding);
QByteArray panelsCsv(const std::vector<PanelHolding>& holdings);

}  // namespace dnp
