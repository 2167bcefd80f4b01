#include "history/HistoryStore.h"

#include "files/FileAccess.h"
#include "model/TerminalText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <cstdio>
#include <limits>
#include <utility>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace dnp {
namespace {

// Records read at a time when every record is walked (the chain, a store brought up to date).
constexpr int kWalkBatch = 10'000;

// What differs between the two kinds of store.
struct Dialect {
    const char* driver;
    const char* driverName;  // in the message when the driver is missing
    const char* idType;
    const char* byteText;    // compared and ordered byte for byte
    const char* realType;
    const char* schemaExists;  // one row: how many schema tables there are (0 or 1)
    const char* beginWrite;    // a transaction that holds the right to write from its start
    const char* lockWriters;   // taken first in a transaction that writes; "" when beginWrite holds it
};

constexpr Dialect kSqlite = {
    "QSQLITE",
    "SQLite driver of Qt SQL (QSQLITE)",
    "INTEGER PRIMARY KEY",
    "TEXT",
    "REAL",
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'dnp_history_schema'",
    "BEGIN IMMEDIATE",
    "",
};
constexpr Dialect kPostgres = {
    "QPSQL",
    "PostgreSQL driver of Qt SQL (QPSQL)",
    "BIGSERIAL PRIMARY KEY",
    "TEXT COLLATE \"C\"",
    "DOUBLE PRECISION",
    "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() "
    "AND table_name = 'dnp_history_schema'",
    "BEGIN",
    "SELECT pg_advisory_xact_lock(4242032)",
};

// The columns of a record, in the order of HistoryRecord.
const QString kRecordColumns = QStringLiteral(
    "ended, user_name, host, program, device, address, action, outcome, config, image_sha256, panel_sha256, "
    "differing_words, seconds, message, trace, read_back");
const QString kPanelColumnsSql = QStringLiteral(
    "device, address, sent_time, sent_id, sent_sha256, config, read_time, read_id, read_sha256, incomplete_time, "
    "incomplete_id");

QString sqlReason(const QSqlError& error)
{
    const QString text = error.databaseText().simplified();
    return text.isEmpty() ? error.driverText().simplified() : text;
}

// A text as a bound value: an empty one is an empty text, never NULL.
QVariant boundText(const QString& text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

// A statement run, or why it failed.
Result<void> run(QSqlQuery& query, const QString& statement)
{
    if (!query.exec(statement))
        return failure(sqlReason(query.lastError()));
    return {};
}

Result<void> run(const QSqlDatabase& db, const QString& statement)
{
    QSqlQuery query(db);
    return run(query, statement);
}

// A prepared statement run with its values.
Result<void> runWith(QSqlQuery& query, const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(static_cast<int>(i), values[i]);
    if (!query.exec())
        return failure(sqlReason(query.lastError()));
    return {};
}

// `work` inside a transaction that may write from its start, writers taking turns:
// committed when it succeeds, rolled back when not.
Result<void> inWriteTransaction(const QSqlDatabase& db, const Dialect& dialect, const std::function<Result<void>()>& work)
{
    if (const Result<void> begun = run(db, QLatin1String(dialect.beginWrite)); !begun)
        return begun;
    Result<void> done = *dialect.lockWriters ? run(db, QLatin1String(dialect.lockWriters)) : Result<void>();
    if (done)
        done = work();
    if (done)
        done = run(db, QStringLiteral("COMMIT"));
    if (!done)
        (void)run(db, QStringLiteral("ROLLBACK"));
    return done;
}

// --- what each panel holds, kept per panel ---

// The newest record of a kind for a panel: when it ended, its place in the store, its image.
struct Mark {
    QString time;
    qint64 id = 0;
    QString sha256;
};
bool later(const Mark& a, const Mark& b)
{
    return std::pair(a.time, a.id) > std::pair(b.time, b.id);
}

struct PanelMarks {
    Mark sent;  // the last send that ended well, with its file
    QString config;
    Mark read;        // the last read of all 18 messages
    Mark incomplete;  // the last send that stopped after the panel took messages
};
using PanelKey = std::pair<QString, QString>;  // device, address
using PanelTable = QHash<PanelKey, PanelMarks>;

// A record written after every other (`id` is the newest) taken into its panel's marks.
void fold(PanelMarks& marks, const HistoryRecord& r, qint64 id)
{
    const Mark mark{r.time, id, {}};
    const bool send = r.action == kSendAction;
    if (send && r.outcome == kOkOutcome && later(mark, marks.sent)) {
        marks.sent = {r.time, id, r.imageSha256};
        marks.config = r.config;
    }
    if (!r.panelSha256.isEmpty() && later(mark, marks.read))
        marks.read = {r.time, id, r.panelSha256};
    if (send && r.outcome == kIncompleteOutcome && later(mark, marks.incomplete))
        marks.incomplete = mark;
}

PanelHolding holding(const PanelKey& key, const PanelMarks& m)
{
    PanelHolding h{key.first, key.second, m.sent.time, m.sent.sha256, m.read.time, m.read.sha256, {}, m.config};
    if (m.sent.sha256.isEmpty() || m.read.sha256.isEmpty())
        h.state = kHoldingUnknown;
    else
        h.state = m.sent.sha256 == m.read.sha256 ? kHoldingMatches : kHoldingDiffers;
    // A send that stopped short after the last good one: the panel may hold part of it
    // until a full read finds what was last sent.
    const bool stoppedShort = m.incomplete.id != 0 && later(m.incomplete, m.sent);
    if (stoppedShort && !(later(m.read, m.incomplete) && h.state == kHoldingMatches))
        h.state = kHoldingIncomplete;
    return h;
}

PanelMarks marksFrom(const QSqlQuery& q, int at)
{
    const auto text = [&q, at](int i) { return q.value(at + i).toString(); };
    const auto id = [&q, at](int i) { return q.value(at + i).toLongLong(); };
    return {{text(0), id(1), text(2)}, text(3), {text(4), id(5), text(6)}, {text(7), id(8), {}}};
}

// The marks of the panels, read where not taken yet.
Result<void> loadPanel(const QSqlDatabase& db, const PanelKey& key, PanelTable& table)
{
    if (table.contains(key))
        return {};
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM dnp_panels WHERE device = ? AND address = ?").arg(kPanelColumnsSql));
    if (const Result<void> read = runWith(q, {boundText(key.first), boundText(key.second)}); !read)
        return read;
    table.insert(key, q.next() ? marksFrom(q, 2) : PanelMarks{});
    return {};
}

Result<void> savePanels(const QSqlDatabase& db, const PanelTable& table)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO dnp_panels (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (device, "
                             "address) DO UPDATE SET sent_time = excluded.sent_time, sent_id = excluded.sent_id, "
                             "sent_sha256 = excluded.sent_sha256, config = excluded.config, read_time = "
                             "excluded.read_time, read_id = excluded.read_id, read_sha256 = excluded.read_sha256, "
                             "incomplete_time = excluded.incomplete_time, incomplete_id = excluded.incomplete_id")
                  .arg(kPanelColumnsSql));
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const PanelMarks& m = it.value();
        const QVariantList values = {boundText(it.key().first), boundText(it.key().second), boundText(m.sent.time),
                                     m.sent.id,            boundText(m.sent.sha256),   boundText(m.config),
                                     boundText(m.read.time), m.read.id,                boundText(m.read.sha256),
                                     boundText(m.incomplete.time), m.incomplete.id};
        if (const Result<void> saved = runWith(q, values); !saved)
            return saved;
    }
    return {};
}

// --- records as stored ---

HistoryRecord recordFrom(const QSqlQuery& q, int at)
{
    const auto text = [&q, at](int i) { return q.value(at + i).toString(); };
    return {text(0), text(1), text(2), text(3), text(4), text(5),  text(6),
            text(7), text(8), text(9), text(10), q.value(at + 11).toInt(), q.value(at + 12).toDouble(),
            text(13), text(14), text(15)};
}

QVariantList recordValues(const HistoryRecord& r)
{
    QVariantList values;
    for (const QString* text : {&r.time, &r.user, &r.host, &r.program, &r.device, &r.address, &r.action, &r.outcome,
                                &r.config, &r.imageSha256, &r.panelSha256})
        values << boundText(*text);
    values << r.differingWords << r.seconds << boundText(r.message) << boundText(r.trace) << boundText(r.readBack);
    return values;
}

// A record with its place in the store and its chain.
struct StoredRecord {
    qint64 id = 0;
    QString previous;
    QString sha256;
    HistoryRecord record;
};

// Every record in the order written, a batch at a time (each read whole before `take`
// sees it, so that `take` may write).
Result<void> eachRecord(const QSqlDatabase& db, const std::function<Result<void>(const StoredRecord&)>& take)
{
    qint64 after = std::numeric_limits<qint64>::min();
    while (true) {
        std::vector<StoredRecord> batch;
        {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT id, previous_sha256, record_sha256, %1 FROM dnp_history WHERE id > ? "
                                     "ORDER BY id LIMIT %2")
                          .arg(kRecordColumns)
                          .arg(kWalkBatch));
            if (const Result<void> read = runWith(q, {after}); !read)
                return read;
            while (q.next())
                batch.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), recordFrom(q, 3)});
        }
        for (const StoredRecord& stored : batch)
            if (const Result<void> taken = take(stored); !taken)
                return taken;
        if (batch.size() < static_cast<std::size_t>(kWalkBatch))
            return {};
        after = batch.back().id;
    }
}

// --- the schema, version by version ---

Result<void> runAll(const QSqlDatabase& db, const QStringList& statements)
{
    for (const QString& statement : statements)
        if (const Result<void> done = run(db, statement); !done)
            return done;
    return {};
}

Result<void> migrationTo1(const QSqlDatabase& db, const Dialect& d)
{
    return runAll(db, {QStringLiteral("CREATE TABLE dnp_history_schema (version INTEGER NOT NULL)"),
                       QStringLiteral("CREATE TABLE dnp_history (id %1, ended %2 NOT NULL, user_name TEXT NOT NULL, "
                                      "host TEXT NOT NULL, program TEXT NOT NULL, device TEXT NOT NULL, address TEXT NOT "
                                      "NULL, action TEXT NOT NULL, outcome TEXT NOT NULL, config TEXT NOT NULL, "
                                      "image_sha256 TEXT NOT NULL, panel_sha256 TEXT NOT NULL, differing_words INTEGER "
                                      "NOT NULL, seconds %3 NOT NULL, message TEXT NOT NULL, trace TEXT NOT NULL)")
                           .arg(QLatin1String(d.idType), QLatin1String(d.byteText), QLatin1String(d.realType)),
                       QStringLiteral("CREATE INDEX dnp_history_time ON dnp_history (ended, id)"),
                       QStringLiteral("CREATE INDEX dnp_history_device ON dnp_history (device, ended, id)")});
}

// Whether a send was read back; the chain of every record, from the first; what each
// panel holds, kept beside the records.
Result<void> migrationTo2(const QSqlDatabase& db, const Dialect& d)
{
    const QString text = QLatin1String(d.byteText);
    const Result<void> altered = runAll(
        db, {QStringLiteral("ALTER TABLE dnp_history ADD COLUMN read_back TEXT NOT NULL DEFAULT ''"),
             QStringLiteral("UPDATE dnp_history SET read_back = CASE WHEN action <> 'send' THEN '' WHEN panel_sha256 <> "
                            "'' THEN 'yes' ELSE 'no' END"),
             QStringLiteral("ALTER TABLE dnp_history ADD COLUMN previous_sha256 TEXT NOT NULL DEFAULT ''"),
             QStringLiteral("ALTER TABLE dnp_history ADD COLUMN record_sha256 TEXT NOT NULL DEFAULT ''"),
             QStringLiteral("CREATE TABLE dnp_panels (device %1 NOT NULL, address %1 NOT NULL, sent_time %1 NOT NULL, "
                            "sent_id BIGINT NOT NULL, sent_sha256 TEXT NOT NULL, config TEXT NOT NULL, read_time %1 NOT "
                            "NULL, read_id BIGINT NOT NULL, read_sha256 TEXT NOT NULL, incomplete_time %1 NOT NULL, "
                            "incomplete_id BIGINT NOT NULL, PRIMARY KEY (device, address))")
                 .arg(text)});
    if (!altered)
        return altered;
    QSqlQuery chain(db);
    chain.prepare(QStringLiteral("UPDATE dnp_history SET previous_sha256 = ?, record_sha256 = ? WHERE id = ?"));
    QString previous = kChainStart;
    PanelTable panels;
    const Result<void> walked = eachRecord(db, [&](const StoredRecord& s) -> Result<void> {
        const QString sha = recordSha256(previous, s.record);
        if (const Result<void> set = runWith(chain, {previous, sha, s.id}); !set)
            return set;
        fold(panels[{s.record.device, s.record.address}], s.record, s.id);
        previous = sha;
        return {};
    });
    if (!walked)
        return walked;
    return savePanels(db, panels);
}

using Migration = Result<void> (*)(const QSqlDatabase&, const Dialect&);
constexpr Migration kMigrations[] = {migrationTo1, migrationTo2};
static_assert(std::size(kMigrations) == History::kSchemaVersion);

// The schema's version: 0 for a store that has none yet.
Result<int> schemaVersion(const QSqlDatabase& db, const Dialect& dialect)
{
    QSqlQuery query(db);
    if (!query.exec(QLatin1String(dialect.schemaExists)) || !query.next())
        return failure(sqlReason(query.lastError()));
    if (query.value(0).toInt() == 0)
        return 0;
    if (!query.exec(QStringLiteral("SELECT max(version) FROM dnp_history_schema")) || !query.next())
        return failure(sqlReason(query.lastError()));
    return query.value(0).toInt();
}

Error newerRefused(int version)
{
    return failure(QStringLiteral("its records are of version %1, newer than this program's (%2); it was left as it is")
                       .arg(version)
                       .arg(History::kSchemaVersion));
}

// A store of an older version (or a new one) brought up to this program's, in one
// transaction; others doing the same at the same moment wait for it.
Result<void> migrate(const QSqlDatabase& db, const Dialect& dialect)
{
    const Result<int> seen = schemaVersion(db, dialect);
    if (!seen)
        return seen.error();
    if (*seen > History::kSchemaVersion)
        return newerRefused(*seen);
    if (*seen == History::kSchemaVersion)
        return {};
    return inWriteTransaction(db, dialect, [&]() -> Result<void> {
        const Result<int> version = schemaVersion(db, dialect);
        if (!version)
            return version.error();
        if (*version > History::kSchemaVersion)
            return newerRefused(*version);
        if (*version == History::kSchemaVersion)
            return {};
        for (int v = *version; v < History::kSchemaVersion; ++v)
            if (const Result<void> done = kMigrations[v](db, dialect); !done)
                return done;
        QSqlQuery set(db);
        if (const Result<void> cleared = run(set, QStringLiteral("DELETE FROM dnp_history_schema")); !cleared)
            return cleared;
        set.prepare(QStringLiteral("INSERT INTO dnp_history_schema (version) VALUES (?)"));
        return runWith(set, {History::kSchemaVersion});
    });
}

// --- PostgreSQL's client library ---

// The password file the PostgreSQL client reads (PGPASSFILE, else ~/.pgpass): one it
// would pass over with a warning of its own on standard error is refused here, saying why.
Result<void> checkPasswordFile()
{
#ifdef Q_OS_UNIX
    QString file = decodeFileName(qgetenv("PGPASSFILE"));
    if (file.isEmpty()) {
        const QString home = decodeFileName(qgetenv("HOME"));
        if (home.isEmpty())
            return {};
        file = home + QStringLiteral("/.pgpass");
    }
    struct stat st {};
    if (::stat(encodeFileName(file).constData(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode))
        return failure(QStringLiteral("the password file %1 is not a regular file").arg(file));
    constexpr mode_t kOthersBits = S_IRWXG | S_IRWXO;
    if ((st.st_mode & kOthersBits) != 0)
        return failure(QStringLiteral("the password file %1 may be read by others (mode %2); the PostgreSQL client "
                                      "would not use it: make it 0600")
                           .arg(file)
                           .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
#endif
    return {};
}

// A notice of the server ("WARNING:  ..."), on standard error after the program's name as
// every line the program writes there, its control characters shown escaped.
void printNotice(void*, const char* message)
{
    const QString program = QCoreApplication::instance()
                                ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
                                : QStringLiteral("dnp");
    for (const QString& line : QString::fromUtf8(message).trimmed().split(QLatin1Char('\n')))
        std::fprintf(stderr, "%s: %s\n", program.toLocal8Bit().constData(), terminalText(line).toUtf8().constData());
    std::fflush(stderr);
}

// The server's notices of this connection told through printNotice, not printed bare
// by the client library (Qt's driver leaves it its default).
void prefixNotices(const QSqlDatabase& db)
{
#ifdef Q_OS_UNIX
    using NoticeProcessor = void (*)(void*, const char*);
    using SetNoticeProcessor = NoticeProcessor (*)(void*, NoticeProcessor, void*);
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return;
    void* connection = *static_cast<void* const*>(handle.constData());
    void* library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
    if (!connection || !library)
        return;
    if (const auto set = reinterpret_cast<SetNoticeProcessor>(::dlsym(library, "PQsetNoticeProcessor")))
        set(connection, printNotice, nullptr);
    ::dlclose(library);
#else
    (void)db;
#endif
}

// A value of the client's connection options, quoted as it takes them.
QString optionValue(QString value)
{
    return QLatin1Char('\'') + value.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'")) +
           QLatin1Char('\'');
}

QString describe(const StoredRecord& s)
{
    return QStringLiteral("record %1 (%2, %3 on %4)").arg(s.id).arg(s.record.time, s.record.action, s.record.device);
}

std::atomic<int> gConnections{0};

}  // namespace

qint64 steadyMilliseconds()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

QString chainCheckText(const ChainCheck& check)
{
    if (!check.broken.isEmpty())
        return check.broken;
    return check.records == 1 ? QStringLiteral("The history's chain is whole: 1 record.")
                              : QStringLiteral("The history's chain is whole: %1 records.").arg(check.records);
}

struct History::Store {
    QString connection;
    const Dialect* dialect = nullptr;

    ~Store()
    {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
};

History::History(Result<HistoryPlace> place, HistoryClock clock) : place_(std::move(place)), clock_(std::move(clock)) {}

History::~History() = default;

Result<History::Store*> History::open()
{
    if (!place_)
        return place_.error();
    const HistoryPlace& place = *place_;
    if (place.kind == HistoryKind::Off)
        return failure(QStringLiteral("the history is off"));
    if (place.kind == HistoryKind::Nowhere)
        return failure(place.name);
    if (store_)
        return store_.get();
    if (openFailure_ && clock_() - openFailedAt_ < kReopenAfterMs)
        return *openFailure_;
    const auto failed = [&](const Error& why) {
        openFailure_ = why;
        openFailedAt_ = clock_();
        return why;
    };
    const auto named = [&place](const QString& why) { return failure(place.name + QStringLiteral(": ") + why); };

    const Dialect& dialect = place.kind == HistoryKind::Sqlite ? kSqlite : kPostgres;
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(dialect.driver)))
        return failed(named(QStringLiteral("the %1 is not installed").arg(QLatin1String(dialect.driverName))));
    if (place.kind == HistoryKind::Sqlite) {
        const MissingFolders folders = place.made ? MissingFolders::Made : MissingFolders::Refused;
        if (const Result<void> made = makeKeptFile(place.path, NewFileOwner::FolderOwner, folders); !made)
            return failed(made.error());
    } else if (const Result<void> passwords = checkPasswordFile(); !passwords) {
        return failed(named(passwords.error().message));
    }

    auto store = std::make_unique<Store>();
    store->connection = QStringLiteral("dnp-history-%1").arg(++gConnections);
    store->dialect = &dialect;
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(dialect.driver), store->connection);
    const qint64 timeoutSeconds = std::chrono::seconds(kStoreTimeout).count();
    if (place.kind == HistoryKind::Sqlite) {
        db.setDatabaseName(place.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(timeoutSeconds * 1000));
    } else {
        db.setHostName(place.host);
        db.setPort(place.port);
        db.setDatabaseName(place.database);
        db.setUserName(place.user);
        QStringList options = {QStringLiteral("connect_timeout=%1").arg(timeoutSeconds)};
        if (!place.sslMode.isEmpty())
            options << QStringLiteral("sslmode=") + place.sslMode;
        if (!place.sslRootCert.isEmpty())
            options << QStringLiteral("sslrootcert=") + optionValue(place.sslRootCert);
        db.setConnectOptions(options.join(QLatin1Char(';')));
    }
    if (!db.open())
        return failed(named(sqlReason(db.lastError())));
    if (place.kind == HistoryKind::Sqlite) {
        // Read first: a file that is not a database says so here, and is left as it is.
        if (const Result<void> read = run(db, QStringLiteral("SELECT count(*) FROM sqlite_master")); !read)
            return failed(named(read.error().message));
        // Writers append to the log and readers go on meanwhile; a store that cannot
        // change its mode (read-only) is still read.
        (void)run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        (void)run(db, QStringLiteral("PRAGMA synchronous=FULL"));
    } else {
        prefixNotices(db);
    }
    if (const Result<void> current = migrate(db, dialect); !current)
        return failed(named(current.error().message));
    openFailure_.reset();
    store_ = std::move(store);
    return store_.get();
}

Result<void> History::use(const std::function<Result<void>(Store&)>& work)
{
    const Result<Store*> store = open();
    if (!store)
        return store.error();
    if (const Result<void> done = work(**store); !done) {
        // Opened again next time: the connection may be what broke.
        store_.reset();
        return failure(place_->name + QStringLiteral(": ") + done.error().message);
    }
    return {};
}

bool History::nothingRecordedYet() const
{
    return place_ && place_->kind == HistoryKind::Sqlite && !QFileInfo::exists(place_->path) &&
           !QFileInfo(place_->path).isSymLink();
}

Result<void> History::check()
{
    return use([](Store& store) {
        const QSqlDatabase db = store.db();
        // The right to write, taken and given back.
        return inWriteTransaction(db, *store.dialect, [&]() -> Result<void> {
            if (store.dialect != &kPostgres)
                return {};
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral(
                    "SELECT has_table_privilege('dnp_history', 'INSERT') AND has_table_privilege('dnp_panels', "
                    "'INSERT') AND has_table_privilege('dnp_panels', 'UPDATE') AND "
                    "has_sequence_privilege('dnp_history_id_seq', 'USAGE')")) ||
                !query.next())
                return failure(sqlReason(query.lastError()));
            if (!query.value(0).toBool())
                return failure(QStringLiteral("the user may not add records"));
            return {};
        });
    });
}

Result<void> History::record(std::span<const HistoryRecord> records)
{
    if (!recording())
        return {};
    if (place_ && place_->kind == HistoryKind::Nowhere && std::exchange(nowhereTold_, true))
        return {};
    const auto write = [records](Store& store) {
        const QSqlDatabase db = store.db();
        return inWriteTransaction(db, *store.dialect, [&]() -> Result<void> {
            QSqlQuery last(db);
            if (const Result<void> read =
                    run(last, QStringLiteral("SELECT record_sha256 FROM dnp_history ORDER BY id DESC LIMIT 1"));
                !read)
                return read;
            QString previous = last.next() ? last.value(0).toString() : kChainStart;
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO dnp_history (%1, previous_sha256, record_sha256) VALUES (?, ?, ?, "
                                          "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id")
                               .arg(kRecordColumns));
            PanelTable panels;
            for (const HistoryRecord& r : records) {
                const QString sha = recordSha256(previous, r);
                if (const Result<void> added = runWith(insert, recordValues(r) << previous << sha); !added)
                    return added;
                if (!insert.next())
                    return failure(sqlReason(insert.lastError()));
                const qint64 id = insert.value(0).toLongLong();
                const PanelKey key{r.device, r.address};
                if (const Result<void> loaded = loadPanel(db, key, panels); !loaded)
                    return loaded;
                fold(panels[key], r, id);
                previous = sha;
            }
            insert.finish();
            return savePanels(db, panels);
        });
    };
    // A connection that broke since it was opened (a server restarted) is opened again once.
    const bool wasOpen = store_ != nullptr;
    const Result<void> written = use(write);
    if (written || !wasOpen)
        return written;
    return use(write);
}

Result<std::vector<HistoryRecord>> History::records(const HistoryFilter& filter)
{
    QStringList conditions;
    QVariantList values;
    const auto where = [&](const char* condition, const QVariant& value) {
        conditions << QLatin1String(condition);
        values << value;
    };
    if (!filter.device.isEmpty())
        where("device = ?", filter.device);
    if (filter.address)
        where("address = ?", boundText(*filter.address));
    if (!filter.action.isEmpty())
        where("action = ?", filter.action);
    if (!filter.outcome.isEmpty())
        where("outcome = ?", filter.outcome);
    if (filter.since.isValid())
        where("ended >= ?", filter.since.startOfDay(Qt::UTC).toString(Qt::ISODate));
    QString statement = QStringLiteral("SELECT %1 FROM dnp_history").arg(kRecordColumns);
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement += QStringLiteral(" ORDER BY ended DESC, id DESC");
    if (filter.limit > 0) {
        statement += QStringLiteral(" LIMIT ?");
        values << filter.limit;
    }
    std::vector<HistoryRecord> records;
    if (nothingRecordedYet())
        return records;
    const Result<void> read = use([&](Store& store) -> Result<void> {
        QSqlQuery query(store.db());
        query.setForwardOnly(true);
        query.prepare(statement);
        if (const Result<void> ran = runWith(query, values); !ran)
            return ran;
        while (query.next())
            records.push_back(recordFrom(query, 0));
        return {};
    });
    if (!read)
        return read.error();
    return records;
}

Result<std::vector<PanelHolding>> History::panels()
{
    std::vector<PanelHolding> holdings;
    if (nothingRecordedYet())
        return holdings;
    const Result<void> read = use([&holdings](Store& store) -> Result<void> {
        QSqlQuery query(store.db());
        query.setForwardOnly(true);
        if (const Result<void> ran =
                run(query, QStringLiteral("SELECT %1 FROM dnp_panels ORDER BY device, address").arg(kPanelColumnsSql));
            !ran)
            return ran;
        while (query.next())
            holdings.push_back(holding({query.value(0).toString(), query.value(1).toString()}, marksFrom(query, 2)));
        return {};
    });
    if (!read)
        return read.error();
    return holdings;
}

Result<ChainCheck> History::checkChain()
{
    ChainCheck check;
    if (nothingRecordedYet())
        return check;
    const Result<void> walked = use([&check](Store& store) -> Result<void> {
        const QSqlDatabase db = store.db();
        std::optional<StoredRecord> before;  // the record before, as the walk found it
        std::optional<StoredRecord> broken;  // the first whose link to the one before does not hold
        const Result<void> each = eachRecord(db, [&](const StoredRecord& s) -> Result<void> {
            ++check.records;
            if (!check.broken.isEmpty() || broken)
                return {};
            if (recordSha256(s.previous, s.record) != s.sha256)
                check.broken = QStringLiteral("The history was changed: %1 is not as it was written.").arg(describe(s));
            else if (s.previous != (before ? before->sha256 : kChainStart) && before && s.previous == before->previous)
                check.broken = QStringLiteral("The history was changed: %1 was inserted out of turn.").arg(describe(*before));
            else if (s.previous != (before ? before->sha256 : kChainStart))
                broken = s;
            before = s;
            return {};
        });
        if (!each || !broken)
            return each;
        // The record it follows is there, earlier: those after that one came out of turn.
        // It is not: a record before it was removed.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT id, previous_sha256, record_sha256, %1 FROM dnp_history WHERE id > (SELECT "
                                 "min(id) FROM dnp_history WHERE record_sha256 = ?) ORDER BY id LIMIT 1")
                      .arg(kRecordColumns));
        if (const Result<void> found = runWith(q, {broken->previous}); !found)
            return found;
        if (q.next())
            check.broken = QStringLiteral("The history was changed: %1 was inserted out of turn.")
                               .arg(describe({q.value(0).toLongLong(), {}, {}, recordFrom(q, 3)}));
        else
            check.broken = QStringLiteral("The history was changed: a record before %1 was removed.").arg(describe(*broken));
        return {};
    });
    if (!walked)
        return walked.error();
    return check;
}

}  // namespace dnp
