#include "app/gui/MainWindow.h"

#include "app/Guard.h"
#include "app/HelpFile.h"
#include "app/gui/AboutBox.h"
#include "app/gui/WidgetPrompts.h"
#include "classes/gui/ClassForm.h"
#include "comm/gui/ComSelectForm.h"
#include "comm/gui/CommForm.h"
#include "comm/gui/SortForm.h"
#include "files/gui/ReportForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace dnp {
namespace {

// After this long the window has been painted: the configuration is set up then.
constexpr int kDeferredSetUpMs = 100;

}  // namespace

TDNPCfgMain::TDNPCfgMain(UserPrompts* prompts, const QString& iniPath, QWidget* parent)
    : QMainWindow(parent), helpFile_(helpFilePath(QDir::currentPath()))
{
    setObjectName("DNPCfgMain");
    runModal = [](QDialog* d) { return d->exec(); };
    if (!prompts) {
        ownPrompts_ = std::make_unique<WidgetPrompts>([this] { return dialogParent(); }, helpFile_);
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    FormCreate(iniPath);
}

void TDNPCfgMain::FormCreate(const QString& iniPath)
{
    iniPath_ = iniPath;
    setWindowTitle(kProgramCaption);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    buildMenu();
    buildToolBar();
    statusBar()->setObjectName("StatusBar");
    transferProgress_ = new QLabel(this);
    transferProgress_->setObjectName("TransferProgress");
    transferProgress_->setMinimumWidth(fontMetrics().horizontalAdvance("Retrieving message 18 of 18") + 8);
    statusBar()->addPermanentWidget(transferProgress_);
    resize(678, 237 - 30);  // outer size 678 x 237 with the frame
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(678 / 2, 237 / 2));

    // The configuration and the settings are set up once the window is on the screen
    // (or at the first command that needs them, whichever comes first).
    QTimer::singleShot(kDeferredSetUpMs, this, [this] { workspace(); });
}

Workspace& TDNPCfgMain::workspace()
{
    if (workspace_)
        return *workspace_;
    // The workspace loads the communication settings and gives the configuration its
    // start-up values.
    workspace_ = std::make_unique<Workspace>(*prompts_, port_, iniPath_);
    port_.setPortDevices(workspace_->settings().portDevices());
    port_.setSelectPortStep(comSelectStep([this] { return dialogParent(); }));
    connect(workspace_.get(), &Workspace::transferProgress, this, [this](TransferKind kind, int message) {
        transferProgress_->setText(progressText(kind, message));
        const bool running = workspace_->transferRunning();
        for (const char* name : {"FileNew1", "FileOpen1"})
            action(name)->setEnabled(!running);
        for (const char* name : {"Class0SpBtn", "Class1SpBtn", "Class2SpBtn", "Class3SpBtn", "SettingBtn", "sendBtn",
                                 "retrieveBtn"})
            toolButton(name)->setEnabled(!running);
        if (sortForm_)
            sortForm_->showProgress(kind, message, running);
    });
    connect(workspace_.get(), &Workspace::transferEnded, this, [this](const TransferResult& result) {
        if (result.kind == TransferKind::Retrieve && result.outcome == TransferOutcome::Cancelled)
            transferProgress_->setText(QStringLiteral("Retrieve cancelled."));
        if (sortForm_)
            sortForm_->refresh();
    });
    return *workspace_;
}

TDNPCfgMain::~TDNPCfgMain() = default;

QWidget* TDNPCfgMain::dialogParent()
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : this;
}

TClassForm* TDNPCfgMain::classForm()
{
    if (!classForm_) {
        classForm_ = new TClassForm(workspace().editor(), *prompts_, this);
        classForm_->saveConfiguration = [this] { handle([this] { workspace().saveFromClassEditor(); }); };
    }
    return classForm_;
}

TSortForm* TDNPCfgMain::sortForm()
{
    if (!sortForm_) {
        sortForm_ = new TSortForm(workspace().order(), *prompts_, this);
        sortForm_->sendHook = [this] { handle([this] { workspace().startSend(); }); };
        sortForm_->retrieveHook = [this] { handle([this] { workspace().startRetrieve(); }); };
        sortForm_->closeHook = [this] { workspace().cancelRetrieve(); };
        sortForm_->classEditorHook = [this] {
            handle([this] {
                workspace().editor().prepareRetrievedView();
                classForm()->refresh();
                runModal(classForm());
            });
        };
    }
    return sortForm_;
}

TReportForm* TDNPCfgMain::reportForm()
{
    if (!reportForm_)
        reportForm_ = new TReportForm(workspace().reportHeader(), this);
    return reportForm_;
}

QAction* TDNPCfgMain::action(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

QToolButton* TDNPCfgMain::toolButton(const QString& objectName) const
{
    return findChild<QToolButton*>(objectName);
}

void TDNPCfgMain::handle(const std::function<void()>& handler)
{
    guarded(*prompts_, handler);
}

void TDNPCfgMain::FileNew1Execute()
{
    if (workspace().refuseWhileRunning())
        return;
    workspace().newConfiguration();
    setWindowTitle(workspace().caption());
}

void TDNPCfgMain::FileOpen1Execute()
{
    if (workspace().refuseWhileRunning())
        return;
    workspace().openWithDialog();
    setWindowTitle(workspace().caption());
}

void TDNPCfgMain::FileSave1Execute()
{
    workspace().saveWithDialog();
}

void TDNPCfgMain::FileExit1Execute()
{
    close();
}

void TDNPCfgMain::closeEvent(QCloseEvent* event)
{
    // A transfer under way is stopped only when the user says so.
    if (workspace_ && workspace_->transferRunning()) {
        if (!prompts_->confirm(QStringLiteral("Exit"), kExitDuringTransferText)) {
            event->ignore();
            return;
        }
        workspace_->cancelTransfer();
    }
    QMainWindow::closeEvent(event);
}

void TDNPCfgMain::HelpContents1Click()
{
    prompts_->showHelp(kHelpContents);
}

void TDNPCfgMain::About1Click()
{
    TAboutBox about(this);
    runModal(&about);
}

void TDNPCfgMain::ClassSpBtnClick(QObject* sender)
{
    const int cls = sender->property("tag").toInt() - 100;
    if (cls < 0 || cls > 3 || workspace().refuseWhileRunning())
        return;
    workspace().editor().ClassSpBtnClick(cls);
    classForm()->refresh();
    runModal(classForm());
}

void TDNPCfgMain::SettingBtnClick()
{
    if (workspace().refuseWhileRunning())
        return;
    TcommForm form(*prompts_, this);
    form.fill(workspace().settings());
    form.finish(runModal(&form), workspace().settings());
    port_.setPortDevices(workspace().settings().portDevices());
}

void TDNPCfgMain::SendBtnClick()
{
    showOrderWindow(&Workspace::prepareSend);
}

void TDNPCfgMain::retrieveBtnClick()
{
    showOrderWindow(&Workspace::prepareRetrieve);
}

void TDNPCfgMain::showOrderWindow(void (Workspace::*prepare)())
{
    if (workspace().refuseWhileRunning())
        return;
    (workspace().*prepare)();
    sortForm()->refresh();
    runModal(sortForm());
}

void TDNPCfgMain::ReportBtnClick()
{
    workspace().reportWithHeader([this] { runModal(reportForm()); });
}

}  // namespace dnp
