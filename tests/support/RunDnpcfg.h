#pragma once
// Runs the built dnpcfg and gives its exit status and output.

#include <QProcess>
#include <QStringList>

namespace dnp::test {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

inline ProgramRun runDnpcfg(const QStringList& args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace dnp::test
