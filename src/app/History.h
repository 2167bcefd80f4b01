#pragma once
// The history of panel commands: one record per send (with its read-back), retrieve,
// verify and test, written when the command ends, whatever its outcome, so that the
// history can say what was sent to which panel, by whom and when, and what each panel
// holds now. The store is an SQLite file on this machine (by default in the user's data
// folder) or a PostgreSQL database a team shares; both through Qt SQL, every text of a
// record bound as a parameter. The schema carries its version: a store of a newer
// version is refused and left as it is, an older one is brought up to date in one
// transaction.

#include "app/PanelOutcome.h"
#include "comm/CommSettings.h"

#include <QDate>
#include <QString>
#include <QElapsedTimer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dnp {

// Follows the outcome of a command whose record could not be written, with the reason.
inline const QString kNotRecordedText = QStringLiteral("The transfer was not recorded in the history: ");
// The folder of the default store under the user's data folder, and its name.
inline const QString kHistoryFileName = QStringLiteral("history.sqlite");
// [History] Database=off, and dnpcfg --history off.
inline const QString kHistoryOff = QStringLiteral("off");
// The columns of dnpcfg history's CSV and of Export CSV.
inline const QStringList kHistoryColumns = {
    QStringLiteral("time"),         QStringLiteral("user"),         QStringLiteral("host"),
    QStringLiteral("program"),      QStringLiteral("device"),       QStringLiteral("address"),
    QStringLiteral("action"),       QStringLiteral("outcome"),      QStringLiteral("config"),
    QStringLiteral("image_sha256"), QStringLiteral("panel_sha256"), QStringLiteral("differing_words"),
    QStringLiteral("seconds"),      QStringLiteral("message")};
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

    bool operator==(const HistoryRecord&) const = default;
};

// The SHA-256 of an image: over its 512 bytes, each word high byte first, as 64
// lowercase hex digits.
QString imageSha256(const ConfigImage& image);
// The record of a command's outcome, made by `program` for the user logged in here.
HistoryRecord historyRecord(const PanelOutcome& outcome, const QString& program);
// A record's fields in the order of kHistoryColumns.
QStringList historyFields(const HistoryRecord& record);
// The records as CSV (csvLine: spreadsheet-safe): the header, then one row each;
// `withTrace` adds the column "trace".
QByteArray historyCsv(const std::vector<HistoryRecord>& records, bool withTrace = false);

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
    QString state;           // "matches", "differs" or "unknown" (one of them is missing)
    QString config;          // the file last sent

    bool operator==(const PanelHolding&) const = default;
};
inline const QString kHoldingDiffers = QStringLiteral("differs");
// Each holding's fields in the order of kPanelColumns.
QByteArray panelsCsv(const std::vector<PanelHolding>& holdings);

// --- where the history lives ---

enum class HistoryKind { Off, Sqlite, Postgres };

struct HistoryPlace {
    HistoryKind kind = HistoryKind::Off;
    QString name = {};  // as the store is named in messages: the file, the URL (never a password), "off"
    QString path = {};  // SQLite: the file
    // PostgreSQL: postgresql://USER@HOST:PORT/DBNAME[?sslmode=MODE]
    QString user = {};
    QString host = {};
    int port = 5432;
    QString database = {};
    QString sslMode = {};  // "" for the client library's default
};

// The default store: history.sqlite in "DNP Configure" under the user's data folder
// ($XDG_DATA_HOME, ~/.local/share).
QString defaultHistoryPath();
// A store as DNP.ini's [History] Database= or dnpcfg's --history names it: "off", a
// postgresql:// URL, or an SQLite file (relative to `folder`); "" is the default store.
// A URL that does not parse, or that holds a password, is refused with why.
Result<HistoryPlace> historyPlace(const QString& text, const QString& folder);
// The store the settings name (a relative file from the settings file's folder).
Result<HistoryPlace> historyPlace(const TcomSetIni& settings);

// One store, opened at its first use and kept open. Every failure is one line that
// begins with the store's name ("/home/ann/.local/share/DNP Configure/history.sqlite:
// file is not a database"). A store that could not be opened is not tried again for a
// few seconds (a fleet's jobs do not each wait for a server that does not answer).
class History {
public:
    explicit History(Result<HistoryPlace> place);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    // Whether commands are recorded at all (not off; a place that does not parse counts
    // as recording, and fails).
    bool recording() const { return !place_ || place_->kind != HistoryKind::Off; }
    // Whether a record could be written now: the store opens, is of this program's
    // version (made or brought up to date) and may be written. Off fails.
    Result<void> check();
    // Written in one transaction (nothing when off).
    Result<void> record(std::span<const HistoryRecord> records);
    Result<void> record(const HistoryRecord& one) { return record(std::span(&one, 1)); }
    // The records the filter takes, newest first (none from an SQLite file not made yet,
    // which a listing does not make).
    Result<std::vector<HistoryRecord>> records(const HistoryFilter& filter);
    // Every panel (device and address) the history has seen, by device and address.
    Result<std::vector<PanelHolding>> panels();

    // The version of the records' schema this program writes.
    static constexpr int kSchemaVersion = 1;

private:
    struct Store;
    Result<Store*> open();
    // An SQLite file not made yet: a listing finds nothing and makes none.
    bool nothingRecordedYet() const;
    // `work` on the open store; when it fails the store is closed (to be opened again
    // next time) and the failure names the store.
    Result<void> use(const std::function<Result<void>(Store&)>& work);

    Result<HistoryPlace> place_;
    std::unique_ptr<Store> store_;
    std::optional<Error> openFailure_;  // why the last open failed, and when
    QElapsedTimer openFailed_;
};

}  // namespace dnp
