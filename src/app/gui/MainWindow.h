#pragma once
// The main window: menus, tool bar, the overview of the configuration and the status
// bar, and the commands that open every other window. It shows the run's parts and hands
// every command to the desk's commands; the class editor and the order window are built
// when first needed. One QAction per command serves the menu and the tool bar.

#include "app/gui/DeskCommands.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QMenu;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace dnp {

class DeskSettings;
class HistoryWindow;
class LineTraceWindow;
class OverviewPanel;
class TClassForm;
class TReportForm;
class TSortForm;

class TDNPCfgMain : public QMainWindow {
    Q_OBJECT
public:
    // prompts: nullptr for the real message boxes and dialogs; iniPath: empty for
    // "DNP.ini" where the program keeps it; deskFile: empty for the user's settings.
    // linkFactory: empty for the machine's serial ports.
    explicit TDNPCfgMain(DeskPrompts* prompts = nullptr, const QString& iniPath = {}, const QString& deskFile = {},
                         LinkFactory linkFactory = {}, QWidget* parent = nullptr);
    ~TDNPCfgMain() override;

    // Shows a modal window and returns its result; tests replace it so nothing blocks.
    std::function<int(QDialog*)> runModal;

    // Built at the first command, or right after the window has been shown.
    DeskCommands& desk();
    UserPrompts& prompts() { return *prompts_; }
    // The windows, built on first use.
    TClassForm* classForm();
    TSortForm* sortForm();
    TReportForm* reportForm();
    QLabel* transferProgress() const { return transferProgress_; }
    // In the status bar while a transfer runs.
    QPushButton* CancelTransferBtn = nullptr;
    // The body, built once the window has been painted (or when first asked for).
    OverviewPanel* overview();
    QAction* action(const QString& objectName) const;
    QToolButton* toolButton(const QString& objectName) const;

    // A file named on the command line, opened once the window is shown.
    void openAtStart(const QString& path);
    // The File menu's recent files, newest first ("RecentFile1" ...).
    QList<QAction*> recentFileActions() const;

    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FileExport1Execute();
    void FileCompare1Execute();
    void FileImport1Execute();
    void FileExit1Execute();
    void HelpContents1Click();
    void About1Click();
    void ClassSpBtnClick(QObject* sender);
    void SettingBtnClick();
    void SendBtnClick();
    void retrieveBtnClick();
    void ReportBtnClick();
    // Panel > "Verify Panel Against File...": the panel read back and compared with the
    // open configuration. Panel > "Line Trace": the frames of the last transfer.
    void PanelVerifyClick();
    void LineTraceClick();
    // Panel > "Test Connection": message 1 read from the panel, "The panel answered." or
    // what went wrong.
    void PanelTestClick();
    // Configuration > "Class 0 Order...": the order window alone, OK keeps the order.
    void OrderClick();
    LineTraceWindow* lineTrace() const { return lineTrace_; }
    // Panel > "History...", and the overview's "Last transfer": the recorded panel commands.
    void HistoryClick();
    HistoryWindow* historyWindow() const { return history_; }

protected:
    // Once the window has been painted the first time: the overview shown and the
    // run set up.
    bool event(QEvent* event) override;
    // Closing the window (Exit, the close box) asks first while a transfer runs.
    void closeEvent(QCloseEvent* event) override;
    // A .dnp file dropped on the window is opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate(const QString& iniPath);
    // What waits until the window is on the screen: the overview and the run.
    void finishSetUp();
    void buildMenu();
    void buildToolBar();
    void refreshRecentFiles();
    // The caption, the overview and the commands a running transfer holds back, whenever
    // the run has changed.
    void refresh();
    // Send and Retrieve: the order window in its mode.
    void showOrderWindow(SortMode mode);
    // Shows the class editor modally.
    void showClassEditor();
    QWidget* dialogParent();
    void showTransfer(int message, const QString& text);

    std::unique_ptr<DeskPrompts> ownPrompts_;
    DeskPrompts* prompts_ = nullptr;
    bool setUp_ = false;  // finishSetUp has run
    QString iniPath_;
    QString deskFile_;
    LinkFactory linkFactory_;
    std::unique_ptr<DeskSettings> deskFiles_;
    std::unique_ptr<DeskCommands> desk_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    TClassForm* classForm_ = nullptr;
    TSortForm* sortForm_ = nullptr;
    TReportForm* reportForm_ = nullptr;
    QLabel* transferProgress_ = nullptr;
    QProgressBar* transferBar_ = nullptr;
    OverviewPanel* overview_ = nullptr;
    LineTraceWindow* lineTrace_ = nullptr;
    HistoryWindow* history_ = nullptr;
};

}  // namespace dnp
