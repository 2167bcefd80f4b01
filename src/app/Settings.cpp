#include "app/Settings.h"

namespace dnp {

Settings::Settings(QString iniPath, QObject* parent) : QObject(parent), iniPath_(std::move(iniPath)) {}

Settings::~Settings() = default;

const TcomSetIni& Settings::current() const
{
    if (!current_)
        current_ = iniPath_.isEmpty() ? std::make_unique<TcomSetIni>() : std::make_unique<TcomSetIni>(iniPath_);
    return *current_;
}

PortsView Settings::ports() const
{
    return portsView(current().portDevices());
}

Result<void> Settings::reload()
{
    current();
    const Result<void> read = current_->Load();
    emit changed();
    return read;
}

Result<void> Settings::update(const std::function<Result<void>(TcomSetIni&)>& edit)
{
    current();
    const Result<void> saved = current_->update(edit);
    emit changed();
    return saved;
}

Result<void> Settings::change(const CommChoice& choice)
{
    if (const Result<void> checked = checkChoice(choice); !checked)
        return checked;
    return update([&choice](TcomSetIni& s) { return s.store(choice); });
}

Result<void> Settings::change(const SettingsChange& change)
{
    return update([&change](TcomSetIni& s) { return s.change(change); });
}

Result<void> Settings::setVerifyAfterSend(bool on)
{
    if (current().VerifyAfterSend == on)
        return {};
    return change(parseSettingsChange({QStringLiteral("verify-after-send=") + (on ? "on" : "off")}).value());
}

Result<void> Settings::trust(const QString& device, const QByteArray& fingerprint)
{
    const Result<void> saved = update([&](TcomSetIni& s) {
        s.trustCertificate(device, fingerprint);
        return Result<void>();
    });
    // A trust that could not be kept is not held either: the settings are their file's.
    if (!saved)
        (void)current_->Load();
    return saved;
}

}  // namespace dnp
