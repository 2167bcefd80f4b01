#pragma once
// What the desktop program remembers for its user between runs: the files last opened
// or saved, the folder of the last file dialog and the main window's size. They live in the user's own settings
// (the configuration folder), apart from DNP.ini, which holds the line settings.

#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

namespace dnp {

constexpr int kRecentFileCount = 5;

class DeskSettings {
public:
    // `file`: the settings file; empty for the user's configuration folder.
    explicit DeskSettings(const QString& file = {});
    ~DeskSettings();

    // Newest first, at most kRecentFileCount.
    QStringList recentFiles() const;
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);

    QString lastFolder() const;
    // The folder of a file just chosen in a dialog.
    void rememberFolderOf(const QString& path);

    // The main window's size when it was last closed; empty before.
    QSize windowSize() const;
    void rememberWindowSize(const QSize& size);

private:
    void storeRecent(const QStringList& files);
    std::unique_ptr<QSettings> settings_;
};

}  // namespace dnp
