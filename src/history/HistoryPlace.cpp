#include "history/HistoryPlace.h"

#include "comm/CommSettings.h"
#include "files/FileAccess.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

namespace dnp {
namespace {

constexpr int kDefaultPostgresPort = 5432;
const QString kUrlForm = QStringLiteral("postgresql://USER@HOST:PORT/DBNAME");
const QStringList kUrlSchemes = {QStringLiteral("postgresql"), QStringLiteral("postgres")};
const QStringList kSslModes = {QStringLiteral("disable"), QStringLiteral("allow"),     QStringLiteral("prefer"),
                               QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

// KEY=VALUE words, as the PostgreSQL client takes them ("host=db user=dnp"), or any text
// naming a password: never a file name.
bool isConnectionString(const QString& text)
{
    static const QRegularExpression keyValueAndBlank(QStringLiteral("=.*\\s|\\s.*="));
    return text.contains(QStringLiteral("password="), Qt::CaseInsensitive) || keyValueAndBlank.match(text).hasMatch();
}

// postgresql://USER@HOST:PORT/DBNAME[?sslmode=MODE&sslrootcert=FILE]; `text` is never
// repeated, for it may hold a password.
Result<HistoryPlace> postgresPlace(const QString& text, const QString& folder)
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
        if (key == QLatin1String("sslmode")) {
            if (!kSslModes.contains(value))
                return refuse(QStringLiteral("sslmode takes %1").arg(kSslModes.join(QStringLiteral(", "))));
            place.sslMode = value;
        } else if (key == QLatin1String("sslrootcert")) {
            if (value.isEmpty())
                return refuse(QStringLiteral("sslrootcert takes a file"));
            place.sslRootCert = QDir(folder).absoluteFilePath(value);
        } else {
            return refuse(QStringLiteral("it takes no '%1'").arg(key));
        }
    }
    place.name = url.toString(QUrl::RemovePassword);
    return place;
}

}  // namespace

HistoryPlace defaultHistoryPlace()
{
    const Result<QString> data = userFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
    if (!data)
        return {.kind = HistoryKind::Nowhere, .name = QStringLiteral("there is no folder for the history: ") + data.error().message};
    HistoryPlace place{.kind = HistoryKind::Sqlite,
                       .path = *data + QLatin1Char('/') + kUserSettingsFolderName + QLatin1Char('/') + kHistoryFileName,
                       .made = true};
    place.name = QDir::toNativeSeparators(place.path);
    return place;
}

Result<HistoryPlace> historyPlace(const QString& text, const QString& folder)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return defaultHistoryPlace();
    if (trimmed.compare(kHistoryOff, Qt::CaseInsensitive) == 0)
        return HistoryPlace{.kind = HistoryKind::Off, .name = kHistoryOff};
    const qsizetype scheme = trimmed.indexOf(QStringLiteral("://"));
    if (scheme > 0 && kUrlSchemes.contains(trimmed.left(scheme), Qt::CaseInsensitive))
        return postgresPlace(trimmed, folder);
    if (isConnectionString(trimmed))
        return failure(QStringLiteral("the history is named by a connection string (KEY=VALUE ...), which is not "
                                      "taken: name an SQLite file, %1 or off")
                           .arg(kUrlForm));
    if (scheme > 0 && !trimmed.left(scheme).contains(QLatin1Char('/')))
        return failure(QStringLiteral("the history %1:// is none the program knows: an SQLite file, %2 or off")
                           .arg(trimmed.left(scheme), kUrlForm));
    HistoryPlace place{.kind = HistoryKind::Sqlite, .path = QDir(folder).absoluteFilePath(trimmed)};
    place.name = QDir::toNativeSeparators(place.path);
    return place;
}

}  // namespace dnp
