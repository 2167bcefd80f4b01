#pragma once
// The settings of a run: DNP.ini as TcomSetIni reads it, loaded when first asked for, and
// every change a user makes to it (the Communication Settings dialog, dnpcfg settings
// --set, "Verify after sending", a certificate trusted) made and saved as one step under
// the file's lock. Each returns Result; nothing is shown.

#include "comm/CommSettings.h"
#include "comm/PortList.h"
#include "model/Result.h"

#include <QObject>
#include <memory>

namespace dnp {

class Settings : public QObject {
    Q_OBJECT
public:
    // iniPath: empty for DNP.ini where the program keeps it.
    explicit Settings(QString iniPath = {}, QObject* parent = nullptr);
    ~Settings() override;

    // The settings, loaded from their file when first asked for.
    const TcomSetIni& current() const;
    // The machine's ports and the COM numbers the settings offer (dnpcfg ports, Select Port).
    PortsView ports() const;

    // Read again from the file; one that is not there or does not read fails with why
    // (dnpcfg --ini).
    Result<void> reload();
    // The dialog's choice stored and saved; a choice checkChoice refuses changes nothing.
    Result<void> change(const CommChoice& choice);
    // dnpcfg settings --set: the settings the change names replaced, then saved.
    Result<void> change(const SettingsChange& change);
    // "Verify after sending", kept at once.
    Result<void> setVerifyAfterSend(bool on);
    // The certificate with this fingerprint trusted for the device from now on, saved.
    Result<void> trust(const QString& device, const QByteArray& fingerprint);

signals:
    // What the settings hold changed.
    void changed();

private:
    Result<void> update(const std::function<Result<void>(TcomSetIni&)>& edit);

    QString iniPath_;
    mutable std::unique_ptr<TcomSetIni> current_;
};

}  // namespace dnp
