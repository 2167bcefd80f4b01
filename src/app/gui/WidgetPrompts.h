#pragma once
// The prompts of the desktop program: message boxes, file dialogs, the help window, Select
// Port and the trust of a certificate.

#include "app/gui/DeskPrompts.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace dnp {

class THelpWindow;

class WidgetPrompts : public DeskPrompts {
public:
    // parent(): the window over which boxes and dialogs appear (the active modal window).
    explicit WidgetPrompts(std::function<QWidget*()> parent);
    ~WidgetPrompts() override;

    void information(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    bool confirmDiscard(const QString& caption, const QString& text, const QString& action) override;
    SaveChoice askSaveChanges(const QString& text) override;
    std::optional<QString> openFileName(const FileDialogSettings& settings) override;
    std::optional<QString> saveFileName(const FileDialogSettings& settings) override;
    std::optional<PortChoice> selectPort(const QList<int>& ports, const QMap<int, QString>& devices) override;
    // The problems in a window that can be made larger, their lines copyable.
    void showProblems(const QString& heading, const QStringList& problems) override;
    void showDifferences(const QString& heading, const ConfigDifferences& differences) override;
    void withdrawQuestion() override;
    // The help window at the topic's page; one window for the run, built when first asked for.
    void showHelp(int topic) override;
    // "Certificate Not Trusted": the refusal, the certificate, "Trust this certificate"
    // and Cancel (the default).
    bool trustCertificate(const QString& refusal, const QString& facts) override;

private:
    std::function<QWidget*()> parent_;
    std::unique_ptr<THelpWindow> help_;
    QPointer<QMessageBox> question_;  // the confirm box shown
};

}  // namespace dnp
