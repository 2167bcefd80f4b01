#include "app/DeskSettings.h"

#include <QFileInfo>
#include <QSettings>

namespace dnp {
namespace {

const QString kRecentKey = QStringLiteral("RecentFiles");
const QString kFolderKey = QStringLiteral("LastFolder");
const QString kWindowSizeKey = QStringLiteral("WindowSize");

}  // namespace

DeskSettings::DeskSettings(const QString& file)
    : settings_(file.isEmpty() ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                             QStringLiteral("dnp-configure"),
                                                             QStringLiteral("dnp-configure"))
                               : std::make_unique<QSettings>(file, QSettings::IniFormat))
{
}

DeskSettings::~DeskSettings() = default;

QStringList DeskSettings::recentFiles() const
{
    QStringList files = settings_->value(kRecentKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, kRecentFileCount);
}

void DeskSettings::addRecentFile(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    storeRecent(files.mid(0, kRecentFileCount));
}

void DeskSettings::removeRecentFile(const QString& path)
{
    QStringList files = recentFiles();
    files.removeAll(QFileInfo(path).absoluteFilePath());
    storeRecent(files);
}

void DeskSettings::storeRecent(const QStringList& files)
{
    settings_->setValue(kRecentKey, files);
    settings_->sync();
}

QString DeskSettings::lastFolder() const
{
    return settings_->value(kFolderKey).toString();
}

void DeskSettings::rememberFolderOf(const QString& path)
{
    settings_->setValue(kFolderKey, QFileInfo(path).absolutePath());
    settings_->sync();
}

QSize DeskSettings::windowSize() const
{
    return settings_->value(kWindowSizeKey).toSize();
}

void DeskSettings::rememberWindowSize(const QSize& size)
{
    settings_->setValue(kWindowSizeKey, size);
    settings_->sync();
}

}  // namespace dnp
