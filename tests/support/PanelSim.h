#pragma once
// dnp-panel-sim run by a test: started with its options, its devices read from its
// first lines (one a panel, --panels), stopped (so that it writes its images out) when
// the test is done.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

namespace dnp::test {

class PanelSim {
public:
    explicit PanelSim(const QStringList& options = {}, int panels = 1) { start(options, panels); }
    ~PanelSim() { stop(); }
    PanelSim(const PanelSim&) = delete;
    PanelSim& operator=(const PanelSim&) = delete;

    bool start(const QStringList& options = {}, int panels = 1)
    {
        stop();
        devices_.clear();
        process_.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"), options);
        QElapsedTimer patience;
        patience.start();
        while (devices_.size() < panels && patience.elapsed() < 10000) {
            if (process_.canReadLine())
                devices_ << QString::fromLocal8Bit(process_.readLine()).trimmed();
            else if (process_.state() == QProcess::NotRunning)
                break;
            else
                process_.waitForReadyRead(100);
        }
        device_ = devices_.value(0);
        return started();
    }
    // Ends the simulator as a user would (it writes its image out first).
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void kill()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

    bool started() const { return process_.state() == QProcess::Running && device_.startsWith('/'); }
    const QString& device() const { return device_; }
    const QStringList& devices() const { return devices_; }
    QString error() { return process_.errorString() + " " + QString::fromLocal8Bit(process_.readAllStandardError()); }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QString device_;
    QStringList devices_;
};

}  // namespace dnp::test
