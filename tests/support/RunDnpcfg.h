#pragma once
// Runs the built dnpcfg and gives its exit status and output; small file helpers
// for the command line tests.


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

// A program started with `args`, its environment the test's with `environment`
// ("NAME=value") put over it.
inline ProgramRun runProgram(const QString& program, const QStringList& args, const QStringList& environment = {},
                             int timeoutMs = 60000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProgramRun run;
    if (!process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << program.toStdString() << " did not finish: " << process.errorString().toStdString();
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

inline ProgramRun runDnpcfg(const QStringList& args, int timeoutMs = 60000)
{
    return runProgram(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args, {}, timeoutMs);
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
