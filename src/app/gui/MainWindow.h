#pragma once
// The main window: menu, tool bar and status bar, and the commands that open every
// other window. It owns the run's configuration and the windows created at start-up.

#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/Exchange.h"
#include "comm/SerialPort.h"
#include "comm/SortModel.h"
#include "files/FileCommands.h"
#include "model/ConfigState.h"
#include "model/UserPrompts.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QToolButton;

namespace dnp {

class TClassForm;
class TReportForm;
class TSortForm;

class TDNPCfgMain : public QMainWindow {
    Q_OBJECT
public:
    // prompts: nullptr for the real message boxes and dialogs; iniPath: empty for
    // "DNP.ini" where the program keeps it.
    explicit TDNPCfgMain(UserPrompts* prompts = nullptr, const QString& iniPath = {}, QWidget* parent = nullptr);
    ~TDNPCfgMain() override;

    // Shows a modal window and returns its result; tests replace it so nothing blocks.
    std::function<int(QDialog*)> runModal;

    ConfigState& state() { return state_; }
    ClassEditor& editor() { return *editor_; }
    UserPrompts& prompts() { return *prompts_; }
    TClassForm* classForm() const { return classForm_; }
    TSortForm* sortForm() const { return sortForm_; }
    TReportForm* reportForm() const { return reportForm_; }
    SortModel& sort() { return *sort_; }
    TcomSetIni& CommSettings() { return *settings_; }
    TApdComPort& port() { return port_; }
    Exchange& exchange() { return *exchange_; }
    FileCommands& files() { return *files_; }
    ReportHeader& reportHeader() { return *reportHeader_; }
    QLabel* transferProgress() const { return transferProgress_; }
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
    // Send and Retrieve are refused while a transfer runs.
    bool transferUnderWay();

    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_ = nullptr;
    ConfigState state_;
    QString iniPath_;
    std::unique_ptr<TcomSetIni> settings_;
    std::unique_ptr<ClassEditor> editor_;
    std::unique_ptr<SortModel> sort_;
    std::unique_ptr<ReportHeader> reportHeader_;
    std::unique_ptr<FileCommands> files_;
    TApdComPort port_;
    std::unique_ptr<Exchange> exchange_;
    QString helpFile_;
    TClassForm* classForm_ = nullptr;
    TSortForm* sortForm_ = nullptr;
    TReportForm* reportForm_ = nullptr;
    QLabel* transferProgress_ = nullptr;
};

}  // namespace dnp
