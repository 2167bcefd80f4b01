#pragma once
// The UserPrompts of the desktop program: message boxes, file dialogs and the help layer.

#include "model/UserPrompts.h"

#include <QString>
#include <functional>

class QWidget;

namespace dnp {

class WidgetPrompts : public UserPrompts {
public:
    // parent(): the window over which boxes and dialogs appear (the active modal window).
    explicit WidgetPrompts(std::function<QWidget*()> parent, QString helpFile);

    void information(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    SaveChoice askSaveChanges(const QString& text) override;
    std::optional<QString> openFileName(const FileDialogSettings& settings) override;
    std::optional<QString> saveFileName(const FileDialogSettings& settings) override;
    void showHelp(int topic) override;

private:
    std::function<QWidget*()> parent_;
    QString helpFile_;
};

}  // namespace dnp
