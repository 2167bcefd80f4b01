#pragma once
// A PostgreSQL server of the test's own: a cluster made with initdb in the test's folder,
// listening on 127.0.0.1 on a free port, its user "dnp" signing in with a password that only PGPASSFILE holds, stopped when the test
// is done; addUser adds another user with the rights the test grants. The server refuses
// to run as the superuser: a test run as root runs it as the plain user 65534, to whom the
// cluster's folder is given. Only a machine without the server's programs is a reason to
// skip.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dnp::test {

class PostgresServer {
public:
    static constexpr uid_t kServerUser = 65534;  // nobody
    static constexpr gid_t kServerGroup = 65534;
    inline static const QString kUser = QStringLiteral("dnp");
    inline static const QString kPassword = QStringLiteral("history-test-secret");

    PostgresServer() = default;
    ~PostgresServer() { stop(); }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // The folder of initdb and pg_ctl: the one the build found (DNP_POSTGRES_BIN), else
    // the one on PATH; "" when the server is not installed.
    static QString programFolder()
    {
        const QString found = qEnvironmentVariable("DNP_POSTGRES_BIN");
        if (!found.isEmpty() && QFileInfo(found + QStringLiteral("/pg_ctl")).isExecutable())
            return found;
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
    }

    // Makes the cluster in `folder` and starts the server; "" when it runs, else why
    // not. PGPASSFILE names the password file from then on.
    QString start(const QString& folder)
    {
        bin_ = programFolder();
        if (bin_.isEmpty())
            return QStringLiteral("the PostgreSQL server is not installed");
        const bool root = ::geteuid() == 0;
        const QString home = QDir(folder).filePath(QStringLiteral("postgres"));
        data_ = QDir(home).filePath(QStringLiteral("data"));
        const QString passwordFile = QDir(home).filePath(QStringLiteral("password"));
        if (!QDir().mkpath(home) || !writeFile(passwordFile, kPassword.toUtf8() + "\n"))
            return QStringLiteral("cannot make ") + home;
        // The plain user passes through the test's folder into a folder of its own.
        if (root && (::chmod(QFile::encodeName(folder).constData(), 0711) != 0 ||
                     ::chown(QFile::encodeName(home).constData(), kServerUser, kServerGroup) != 0 ||
                     ::chown(QFile::encodeName(passwordFile).constData(), kServerUser, kServerGroup) != 0))
            return QStringLiteral("cannot give %1 to user %2").arg(home).arg(kServerUser);
        if (const QString why = runAsServer(QStringLiteral("initdb"),
                                            {QStringLiteral("-D"), data_, QStringLiteral("-U"), kUser,
                                             QStringLiteral("--pwfile=") + passwordFile, QStringLiteral("--auth-host=scram-sha-256"),
                                             QStringLiteral("--auth-local=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                                             QStringLiteral("--locale=C"), QStringLiteral("-N")},
                                            home);
            !why.isEmpty())
            return why;
        port_ = freePort();
        const QByteArray settings = QStringLiteral("listen_addresses = '127.0.0.1'\nport = %1\nunix_socket_directories = ''\n"
                                                   "fsync = off\nmax_connections = 150\n")
                                        .arg(port_)
                                        .toUtf8();
        QFile conf(QDir(data_).filePath(QStringLiteral("postgresql.conf")));
        if (!conf.open(QIODevice::Append) || conf.write(settings) != settings.size())
            return QStringLiteral("cannot write ") + conf.fileName();
        conf.close();
        if (const QString why = runAsServer(QStringLiteral("pg_ctl"),
                                            {QStringLiteral("-D"), data_, QStringLiteral("-l"), QDir(home).filePath(QStringLiteral("server.log")),
                                             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                                            home);
            !why.isEmpty())
            return why + QStringLiteral("\n") + QString::fromUtf8(readFile(QDir(home).filePath(QStringLiteral("server.log"))));
        running_ = true;
        // The client's password, in a file only this user may read (the client ignores others).
        passFile_ = QDir(folder).filePath(QStringLiteral("pgpass"));
        if (!writeFile(passFile_, QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(port_).arg(kUser, kPassword).toUtf8()) ||
            ::chmod(QFile::encodeName(passFile_).constData(), 0600) != 0)
            return QStringLiteral("cannot write ") + passFile_;
        qputenv("PGPASSFILE", QFile::encodeName(passFile_));
        return {};
    }

    void stop()
    {
        if (!running_)
            return;
        running_ = false;
        (void)runAsServer(QStringLiteral("pg_ctl"),
                          {QStringLiteral("-D"), data_, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                           QStringLiteral("stop")},
                          QFileInfo(data_).absolutePath());
        qunsetenv("PGPASSFILE");
    }

    // The server stopped at once and started again: every connection it had is broken.
    QString restart()
    {
        const QString home = QFileInfo(data_).absolutePath();
        return runAsServer(QStringLiteral("pg_ctl"),
                           {QStringLiteral("-D"), data_, QStringLiteral("-l"), QDir(home).filePath(QStringLiteral("server.log")),
                            QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("-t"),
                            QStringLiteral("60"), QStringLiteral("restart")},
                           home);
    }

    // Statements run as "dnp" in the database "postgres"; "" when all ran, else why not.
    QString run(const QStringList& statements) const
    {
        QString why;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("server-own"));
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port_);
            db.setDatabaseName(QStringLiteral("postgres"));
            db.setUserName(kUser);
            QSqlQuery query(db);
            if (!db.open())
                why = db.lastError().text();
            for (const QString& statement : statements)
                if (why.isEmpty() && !query.exec(statement))
                    why = query.lastError().text();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server-own"));
        return why;
    }

    // A user `name` signing in with a password PGPASSFILE holds, given what `grants`
    // grant to NAME; "" when done, else why not.
    QString addUser(const QString& name, const QStringList& grants)
    {
        QStringList statements = {QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(name, kPassword)};
        for (const QString& grant : grants)
            statements << QString(grant).replace(QStringLiteral("NAME"), name);
        QFile pass(passFile_);
        if (const QString why = run(statements); !why.isEmpty())
            return why;
        const QByteArray line = QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(port_).arg(name, kPassword).toUtf8();
        return pass.open(QIODevice::Append) && pass.write(line) == line.size() ? QString() : QStringLiteral("cannot write ") + passFile_;
    }

    int port() const { return port_; }
    const QString& passFile() const { return passFile_; }
    // The history's URL for a database of this server, as `user`.
    QString url(const QString& database = QStringLiteral("postgres"), const QString& user = kUser) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(user).arg(port_).arg(database);
    }

    // A port of 127.0.0.1 that nothing listens on (at this moment).
    static int freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    static bool writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }
    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // One of the server's programs, as the plain user when this is the superuser; "" when
    // it succeeded, else its output.
    QString runAsServer(const QString& program, const QStringList& args, const QString& workingFolder) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(workingFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("PGPASSFILE"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        process.setProcessEnvironment(env);
        if (::geteuid() == 0)
            process.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setresgid(kServerGroup, kServerGroup, kServerGroup) != 0 ||
                    ::setresuid(kServerUser, kServerUser, kServerUser) != 0)
                    ::_exit(126);
            });
        process.start(QDir(bin_).filePath(program), args);
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return program + QStringLiteral(" did not finish");
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return QStringLiteral("%1 failed (%2): %3")
                .arg(program)
                .arg(process.exitCode())
                .arg(QString::fromLocal8Bit(process.readAll()));
        return {};
    }

    QString bin_;
    QString data_;
    QString passFile_;
    int port_ = 0;
    bool running_ = false;
};

}  // namespace dnp::test
