#pragma once
// The main window: menu, tool bar and status bar, and the commands that open every
// other window. It owns the run's configuration and the windows created at start-up.

#include "classes/ClassEditor.h"
#include "model/ConfigState.h"
#include "model/UserPrompts.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QToolButton;
class QDialog;

namespace dnp {

class TClassForm;

class TDNPCfgMain : public QMainWindow {
    Q_OBJECT
public:
    // prompts: nullptr for the real message boxes and dialogs.
    explicit TDNPCfgMain(UserPrompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TDNPCfgMain() override;

    // Shows a modal window and returns its result; tests replace it so nothing blocks.
    std::function<int(QDialog*)> runModal;

    ConfigState& state() { return state_; }
    ClassEditor& editor() { return *editor_; }
    UserPrompts& prompts() { return *prompts_; }
    TClassForm* classForm() const { return classForm_; }
    const QString& helpFile() const { return helpFile_; }
    QAction* action(const QString& objectName) const;
    QToolButton* toolButton(const QString& objectName) const;

    void FormCreate();
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileExit1Execute();
    void HelpContents1Click();
    void About1Click();
    void ClassSpBtnClick(QObject* sender);
    void SettingBtnClick();
    void SendBtnClick();
    void retrieveBtnClick();
    void ReportBtnClick();

private:
    void buildMenu();
    void buildToolBar();
    QAction* makeAction(const QString& name, const QString& caption, const QString& hint, const QString& status);
    QToolButton* makeTextButton(const QString& name, const QString& caption, const QString& hint);
    // Runs a handler under the top-level error handling.
    void handle(const std::function<void()>& handler);

    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_ = nullptr;
    ConfigState state_;
    std::unique_ptr<ClassEditor> editor_;
    QString helpFile_;
    TClassForm* classForm_ = nullptr;
};

}  // namespace dnp
