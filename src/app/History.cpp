#include "app/History.h"

#include "comm/LineTrace.h"
#include "files/Csv.h"
#include "files/FileAccess.h"
#include "files/SafeWrite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <functional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace dnp {
namespace {

// A store that could not be opened is tried again after this long.
constexpr qint64 kReopenAfterMs = 10'000;
// Writers of one SQLite file wait for each other this long before giving up.
constexpr int kBusyTimeoutMs = 5'000;
// A PostgreSQL server that does not answer is given up after this many seconds.
constexpr int kConnectTimeoutSeconds = 5;
constexpr int kDefaultPostgresPort = 5432;

const QString kUrlScheme = QStringLiteral("postgresql");
const QStringList kUrlSchemes = {kUrlScheme, QStringLiteral("postgres")};
const QStringList kSslModes = {QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
                               QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

// What differs between the two kinds of store.
struct Dialect {
    const char* driver;
    const char* driverName;  // in the message when the driver is missing
    const char* idType;
    const char* timeType;    // compared and ordered byte for byte
    const char* realType;
    const char* schemaExists;  // one row: how many schema tables there are (0 or 1)
    const char* beginWrite;    // a transaction that holds the right to write from its start
    const char* lockSchema;    // taken inside the transaction that changes the schema; "" for none
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

// The statements that bring a store from version N to N + 1, at index N.
QStringList migrationTo1(const Dialect& d)
{
    return {QStringLiteral("CREATE TABLE dnp_history_schema (version INTEGER NOT NULL)"),
            QStringLiteral("CREATE TABLE dnp_history (id %1, ended %2 NOT NULL, user_name TEXT NOT NULL, "
                           "host TEXT NOT NULL, program TEXT NOT NULL, device TEXT NOT NULL, address TEXT NOT NULL, "
                           "action TEXT NOT NULL, outcome TEXT NOT NULL, config TEXT NOT NULL, "
                           "image_sha256 TEXT NOT NULL, panel_sha256 TEXT NOT NULL, differing_words INTEGER NOT NULL, "
                           "seconds %3 NOT NULL, message TEXT NOT NULL, trace TEXT NOT NULL)")
                .arg(QLatin1String(d.idType), QLatin1String(d.timeType), QLatin1String(d.realType)),
            QStringLiteral("CREATE INDEX dnp_history_time ON dnp_history (ended, id)"),
            QStringLiteral("CREATE INDEX dnp_history_device ON dnp_history (device, ended, id)")};
}
using Migration = QStringList (*)(const Dialect&);
constexpr Migration kMigrations[] = {migrationTo1};
static_assert(std::size(kMigrations) == History::kSchemaVersion);

// The columns of a record, in the order of kHistoryColumns, then the trace.
const QString kRecordColumns = QStringLiteral(
    "ended, user_name, host, program, device, address, action, outcome, config, image_sha256, panel_sha256, "
    "differing_words, seconds, message, trace");

QString sqlReason(const QSqlError& error)
{
    const QString text = oneLine(error.databaseText());
    return text.isEmpty() ? oneLine(error.driverText()) : text;
}

// A text as a bound value: an empty one is an empty text, never NULL.
QVariant boundText(const QString& text)
{
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

QString loginName()
{
#ifdef Q_OS_UNIX
    if (const passwd* user = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"})
        if (!qEnvironmentVariableIsEmpty(variable))
            return qEnvironmentVariable(variable);
    return {};
}

// The file of an SQLite store, made with only its owner's rights when it is not there.
Result<void> makeStoreFile(const QString& path)
{
    if (const Result<void> folder = makeFolders(QFileInfo(path).absolutePath(), NewFileOwner::Writer); !folder)
        return folder;
    if (!isRegularFileOrAbsent(path))
        return failure(QStringLiteral("it is not a regular file"));
#ifdef Q_OS_UNIX
    const int fd = ::open(encodeFileName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST)
        return failure(QStringLiteral("it cannot be made: %1").arg(systemReason(errno)));
    if (fd >= 0)
        ::close(fd);
#endif
    return {};
}

}  // namespace

QString imageSha256(const ConfigImage& image)
{
    QByteArray bytes;
    bytes.reserve(2 * kImageWords);
    for (const std::uint16_t word : image) {
        bytes.append(static_cast<char>(word >> 8));
        bytes.append(static_cast<char>(word & 0xFF));
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

HistoryRecord historyRecord(const PanelOutcome& outcome, const QString& program)
{
    HistoryRecord record;
    record.time = outcome.ended.toUTC().toString(Qt::ISODate);
    record.user = loginName();
    record.host = QSysInfo::machineHostName();
    record.program = program;
    record.device = outcome.device;
    record.address = outcome.address ? QString::number(*outcome.address) : QString();
    record.action = panelActionName(outcome.action);
    record.outcome = panelResultName(outcome.result);
    record.config = outcome.config;
    record.imageSha256 = outcome.image ? imageSha256(*outcome.image) : QString();
    record.panelSha256 = outcome.panelImage ? imageSha256(*outcome.panelImage) : QString();
    record.differingWords = outcome.differingWords;
    record.seconds = std::round(outcome.seconds * 10) / 10;
    record.message = oneLine(outcome.message);
    record.trace = traceText(outcome, program).join(QLatin1Char('\n'));
    return record;
}

QStringList historyFields(const HistoryRecord& r)
{
    return {r.time,   r.user,        r.host,        r.program,                       r.device,
            r.address, r.action,     r.outcome,     r.config,                        r.imageSha256,
            r.panelSha256, QString::number(r.differingWords), secondsText(r.seconds), r.message};
}

QByteArray historyCsv(const std::vector<HistoryRecord>& records, bool withTrace)
{
    const QStringList trace = withTrace ? QStringList{QStringLiteral("trace")} : QStringList{};
    QString text = csvLine(kHistoryColumns + trace);
    for (const HistoryRecord& record : records)
        text += csvLine(historyFields(record) + (withTrace ? QStringList{record.trace} : QStringList{}));
    return text.toUtf8();
}

QByteArray panelsCsv(const std::vector<PanelHolding>& holdings)
{
    QString text = csvLine(kPanelColumns);
    for (const PanelHolding& h : holdings)
        text += csvLine({h.device, h.address, h.lastSent, h.lastSentSha256, h.lastRead, h.lastReadSha256, h.state,
                         h.config});
    return text.toUtf8();
}

// --- where the history lives ---

QString defaultHistoryPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(kUserSettingsFolderName + QLatin1Char('/') + kHistoryFileName);
}

namespace {

const QString kUrlForm = QStringLiteral("postgresql://USER@HOST:PORT/DBNAME");

// postgresql://USER@HOST:PORT/DBNAME[?sslmode=MODE]; `text` is never repeated, for it
// may hold a password.
Result<HistoryPlace> postgresPlace(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString shown = url.isValid() ? url.toString(QUrl::RemovePassword | QUrl::RemoveQuery) : QString();
    const auto refuse = [&shown](const QString& why) {
        return failure(QStringLiteral("the history %1 does not parse: %2 (%3)")
                           .arg(shown.isEmpty() ? QStringLiteral("URL") : shown, why, kUrlForm));
    };
    if (!url.isValid())
        return refuse(QStringLiteral("it is no URL"));
    if (!url.password().isEmpty())
        return refuse(QStringLiteral("a password is never written in it; put it in ~/.pgpass or PGPASSFILE"));
    if (url.userName().isEmpty())
        return refuse(QStringLiteral("it names no user"));
    if (url.host().isEmpty())
        return refuse(QStringLiteral("it names no host"));
    const QString database = url.path().mid(1);
    if (!url.path().startsWith(QLatin1Char('/')) || database.isEmpty() || database.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("it names no database"));
    HistoryPlace place;
    place.kind = HistoryKind::Postgres;
    place.user = url.userName();
    place.host = url.host();
    place.port = url.port(kDefaultPostgresPort);
    place.database = database;
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key != QLatin1String("sslmode"))
            return refuse(QStringLiteral("it takes no '%1'").arg(key));
        if (!kSslModes.contains(value))
            return refuse(QStringLiteral("sslmode takes %1").arg(kSslModes.join(QStringLiteral(", "))));
        place.sslMode = value;
    }
    place.name = url.toString(QUrl::RemovePassword);
    return place;
}

}  // namespace

Result<HistoryPlace> historyPlace(const QString& text, const QString& folder)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(kHistoryOff, Qt::CaseInsensitive) == 0)
        return HistoryPlace{.kind = HistoryKind::Off, .name = kHistoryOff};
    const qsizetype scheme = trimmed.indexOf(QStringLiteral("://"));
    if (scheme > 0) {
        if (kUrlSchemes.contains(trimmed.left(scheme), Qt::CaseInsensitive))
            return postgresPlace(trimmed);
        return failure(QStringLiteral("the history %1:// is none the program knows: an SQLite file, %2 or off")
                           .arg(trimmed.left(scheme), kUrlForm));
    }
    HistoryPlace place;
    place.kind = HistoryKind::Sqlite;
    place.path = trimmed.isEmpty() ? defaultHistoryPath() : QDir(folder).absoluteFilePath(trimmed);
    place.name = QDir::toNativeSeparators(place.path);
    return place;
}

Result<HistoryPlace> historyPlace(const TcomSetIni& settings)
{
    return historyPlace(settings.HistoryDatabase, QFileInfo(settings.location().readPath).absolutePath());
}

// --- the store ---

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

namespace {

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

// `work` inside a transaction that may write from its start: committed when it
// succeeds, rolled back when not.
Result<void> inWriteTransaction(const QSqlDatabase& db, const Dialect& dialect, const std::function<Result<void>()>& work)
{
    if (const Result<void> begun = run(db, QLatin1String(dialect.beginWrite)); !begun)
        return begun;
    Result<void> done = work();
    if (done)
        done = run(db, QStringLiteral("COMMIT"));
    if (!done)
        (void)run(db, QStringLiteral("ROLLBACK"));
    return done;
}

Result<void> newerRefused(int version)
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
        if (*dialect.lockSchema)
            if (const Result<void> locked = run(db, QLatin1String(dialect.lockSchema)); !locked)
                return locked;
        const Result<int> version = schemaVersion(db, dialect);
        if (!version)
            return version.error();
        if (*version > History::kSchemaVersion)
            return newerRefused(*version);
        for (int v = *version; v < History::kSchemaVersion; ++v)
            for (const QString& statement : kMigrations[v](dialect))
                if (const Result<void> done = run(db, statement); !done)
                    return done;
        if (*version == History::kSchemaVersion)
            return {};
        QSqlQuery set(db);
        if (const Result<void> cleared = run(set, QStringLiteral("DELETE FROM dnp_history_schema")); !cleared)
            return cleared;
        set.prepare(QStringLiteral("INSERT INTO dnp_history_schema (version) VALUES (?)"));
        set.addBindValue(History::kSchemaVersion);
        if (!set.exec())
            return failure(sqlReason(set.lastError()));
        return {};
    });
}

std::atomic<int> gConnections{0};

}  // namespace

History::History(Result<HistoryPlace> place) : place_(std::move(place)) {}

History::~History() = default;

Result<History::Store*> History::open()
{
    if (!place_)
        return place_.error();
    const HistoryPlace& place = *place_;
    if (place.kind == HistoryKind::Off)
        return failure(QStringLiteral("the history is off"));
    if (store_)
        return store_.get();
    if (openFailure_ && openFailed_.isValid() && openFailed_.elapsed() < kReopenAfterMs)
        return *openFailure_;
    const auto named = [&place](const QString& why) { return failure(place.name + QStringLiteral(": ") + why); };
    const auto failed = [&](const QString& why) {
        openFailure_ = named(why);
        openFailed_.start();
        return *openFailure_;
    };

    const Dialect& dialect = place.kind == HistoryKind::Sqlite ? kSqlite : kPostgres;
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(dialect.driver)))
        return failed(QStringLiteral("the %1 is not installed").arg(QLatin1String(dialect.driverName)));
    if (place.kind == HistoryKind::Sqlite)
        if (const Result<void> made = makeStoreFile(place.path); !made)
            return failed(made.error().message);

    auto store = std::make_unique<Store>();
    store->connection = QStringLiteral("dnp-history-%1").arg(++gConnections);
    store->dialect = &dialect;
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(dialect.driver), store->connection);
    if (place.kind == HistoryKind::Sqlite) {
        db.setDatabaseName(place.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    } else {
        db.setHostName(place.host);
        db.setPort(place.port);
        db.setDatabaseName(place.database);
        db.setUserName(place.user);
        QString options = QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds);
        if (!place.sslMode.isEmpty())
            options += QStringLiteral(";sslmode=") + place.sslMode;
        db.setConnectOptions(options);
    }
    if (!db.open())
        return failed(sqlReason(db.lastError()));
    if (place.kind == HistoryKind::Sqlite) {
        // Read first: a file that is not a database says so here, and is left as it is.
        if (const Result<void> read = run(db, QStringLiteral("SELECT count(*) FROM sqlite_master")); !read)
            return failed(read.error().message);
        // Writers append to the log and readers go on meanwhile; a store that cannot
        // change its mode (read-only) is still read.
        (void)run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        (void)run(db, QStringLiteral("PRAGMA synchronous=FULL"));
    }
    if (const Result<void> current = migrate(db, dialect); !current)
        return failed(current.error().message);
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
            if (!query.exec(QStringLiteral("SELECT has_table_privilege('dnp_history', 'INSERT')")) || !query.next())
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
    const auto write = [records](Store& store) {
        const QSqlDatabase db = store.db();
        return inWriteTransaction(db, *store.dialect, [&]() -> Result<void> {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO dnp_history (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(kRecordColumns));
            for (const HistoryRecord& r : records) {
                for (const QString* text : {&r.time, &r.user, &r.host, &r.program, &r.device, &r.address, &r.action,
                                            &r.outcome, &r.config, &r.imageSha256, &r.panelSha256})
                    insert.addBindValue(boundText(*text));
                insert.addBindValue(r.differingWords);
                insert.addBindValue(r.seconds);
                insert.addBindValue(boundText(r.message));
                insert.addBindValue(boundText(r.trace));
                if (!insert.exec())
                    return failure(sqlReason(insert.lastError()));
            }
            insert.finish();
            return {};
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
        where("address = ?", *filter.address);
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
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
            return failure(sqlReason(query.lastError()));
        while (query.next()) {
            const auto text = [&query](int column) { return query.value(column).toString(); };
            records.push_back({text(0), text(1), text(2), text(3), text(4), text(5), text(6), text(7), text(8),
                               text(9), text(10), query.value(11).toInt(), query.value(12).toDouble(), text(13),
                               text(14)});
        }
        return {};
    });
    if (!read)
        return read.error();
    return records;
}

namespace {

// The newest record of each panel that the condition takes: device, address, then the
// columns asked for.
QString newestOfEachPanel(const char* columns, const char* condition)
{
    return QStringLiteral("SELECT device, address, %1 FROM (SELECT device, address, %1, ROW_NUMBER() OVER "
                          "(PARTITION BY device, address ORDER BY ended DESC, id DESC) AS n FROM dnp_history "
                          "WHERE %2) AS newest WHERE n = 1")
        .arg(QLatin1String(columns), QLatin1String(condition));
}

}  // namespace

Result<std::vector<PanelHolding>> History::panels()
{
    std::vector<PanelHolding> holdings;
    if (nothingRecordedYet())
        return holdings;
    const Result<void> read = use([&holdings](Store& store) -> Result<void> {
        QSqlQuery query(store.db());
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT device, address FROM dnp_history GROUP BY device, address "
                                       "ORDER BY device, address")))
            return failure(sqlReason(query.lastError()));
        QHash<QPair<QString, QString>, std::size_t> panel;
        while (query.next()) {
            panel.insert({query.value(0).toString(), query.value(1).toString()}, holdings.size());
            holdings.push_back({query.value(0).toString(), query.value(1).toString(), {}, {}, {}, {}, {}, {}});
        }
        const auto holding = [&](const QSqlQuery& row) -> PanelHolding* {
            const auto found = panel.constFind({row.value(0).toString(), row.value(1).toString()});
            return found == panel.cend() ? nullptr : &holdings[*found];
        };
        query.prepare(newestOfEachPanel("ended, image_sha256, config", "action = ? AND outcome = ?"));
        query.addBindValue(panelActionName(PanelAction::Send));
        query.addBindValue(panelResultName(PanelResult::Ok));
        if (!query.exec())
            return failure(sqlReason(query.lastError()));
        while (query.next())
            if (PanelHolding* h = holding(query)) {
                h->lastSent = query.value(2).toString();
                h->lastSentSha256 = query.value(3).toString();
                h->config = query.value(4).toString();
            }
        if (!query.exec(newestOfEachPanel("ended, panel_sha256", "panel_sha256 <> ''")))
            return failure(sqlReason(query.lastError()));
        while (query.next())
            if (PanelHolding* h = holding(query)) {
                h->lastRead = query.value(2).toString();
                h->lastReadSha256 = query.value(3).toString();
            }
        return {};
    });
    if (!read)
        return read.error();
    for (PanelHolding& h : holdings) {
        if (h.lastSentSha256.isEmpty() || h.lastReadSha256.isEmpty())
            h.state = QStringLiteral("unknown");
        else
            h.state = h.lastSentSha256 == h.lastReadSha256 ? QStringLiteral("matches") : kHoldingDiffers;
    }
    return holdings;
}

}  // namespace dnp
