#pragma once
// Runs the built dnpcfg and gives its exit status and output; small file helpers
// for the command line tests.

#include "support/QtPrint.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace dnp::test {

struct ProgramRun {
    int status = -1;  // -1: crashed or did not finish
    QString out;
    QString err;
    QByteArray outBytes;
};

// What dnpcfg prints on standard error for a message: each line after "dnpcfg: ".
inline QString errorText(QString message)
{
    if (message.endsWith(QLatin1Char('\n')))
        message.chop(1);
    QString text;
    for (const QString& line : message.split(QLatin1Char('\n')))
        text += QStringLiteral("dnpcfg: ") + line + QLatin1Char('\n');
    return text;
}

inline ProgramRun runDnpcfg(const QStringList& args, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args);
    ProgramRun run;
    if (!process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "dnpcfg did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.outBytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Everything after the date line.
inline QByteArray afterFirstLine(const QByteArray& bytes)
{
    return bytes.mid(bytes.indexOf("\r\n") + 2);
}

}  // namespace dnp::test
