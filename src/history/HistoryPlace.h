#pragma once
// Where the history lives, as DNP.ini's [History] Database= or dnpcfg's --history names
// it. There are two kinds of store name: a path (an SQLite file) and a postgresql:// URL;
// besides them "off", and "" for the default file in the user's data folder. Nothing
// else is guessed at: a connection string is refused, never taken as a file name.

#include "model/Result.h"

#include <QString>
#include <chrono>

namespace dnp {

// [History] Database=off, and dnpcfg --history off.
inline const QString kHistoryOff = QStringLiteral("off");
// The default store's name in the program's folder under the user's data folder.
inline const QString kHistoryFileName = QStringLiteral("history.sqlite");
// How long the store may take: a PostgreSQL server to answer, SQLite writers to wait for
// each other, the program at its end for the records not written yet.
inline constexpr std::chrono::seconds kStoreTimeout{5};

// Nowhere: the default store, and neither XDG_DATA_HOME nor HOME names a folder for it.
enum class HistoryKind { Off, Sqlite, Postgres, Nowhere };

struct HistoryPlace {
    HistoryKind kind = HistoryKind::Off;
    // As the store is named in messages: the file, the URL (never a password), "off"; for
    // Nowhere why there is no store.
    QString name = {};
    // SQLite: the file; `made` for the default one, whose missing folders are made (a
    // named file's folder must be there).
    QString path = {};
    bool made = false;
    // PostgreSQL: postgresql://USER@HOST:PORT/DBNAME[?sslmode=MODE&sslrootcert=FILE]
    QString user = {};
    QString host = {};
    int port = 5432;
    QString database = {};
    QString sslMode = {};      // "" for the client library's default
    QString sslRootCert = {};  // the authorities the server's certificate is checked against; "" for the default
};

// The default store: history.sqlite in "DNP Configure" under the user's data folder
// ($XDG_DATA_HOME when absolute, else ~/.local/share); Nowhere without either.
HistoryPlace defaultHistoryPlace();
// A store as named: "off", a postgresql:// URL (its sslrootcert, like a relative file,
// from `folder`: the settings file's), an SQLite file, "" for the default store. A URL
// that does not parse or holds a password, and a connection string, are refused with why,
// never repeating a password.
Result<HistoryPlace> historyPlace(const QString& text, const QString& folder);

}  // namespace dnp
