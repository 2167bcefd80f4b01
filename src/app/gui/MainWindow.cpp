#include "app/gui/MainWindow.h"

#include "app/DeskSettings.h"
#include "app/Guard.h"
#include "app/gui/AboutBox.h"
#include "app/gui/DifferencesDialog.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/WidgetPrompts.h"
#include "classes/gui/ClassForm.h"
#include "comm/gui/ComSelectForm.h"
#include "comm/gui/CommForm.h"
#include "comm/gui/SortForm.h"
#include "files/gui/ReportForm.h"
#include "widgets/DialogKit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace dnp {
namespace {

// After this long the window has been painted: the configuration is set up then.
constexpr int kDeferredSetUpMs = 100;

// The first local .dnp file among dropped URLs.
QString droppedConfigFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".dnp"), Qt::CaseInsensitive))
            return url.toLocalFile();
    return {};
}

}  // namespace

TDNPCfgMain::TDNPCfgMain(UserPrompts* prompts, const QString& iniPath, const QString& deskFile, QWidget* parent)
    : QMainWindow(parent), deskFile_(deskFile)
{
    setObjectName("DNPCfgMain");
    runModal = [](QDialog* d) { return d->exec(); };
    if (!prompts) {
        ownPrompts_ = std::make_unique<WidgetPrompts>([this] { return dialogParent(); });
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
    setAcceptDrops(true);
    buildMenu();
    buildToolBar();
    addHelpKey(this, [this] { handle([this] { HelpContents1Click(); }); });  // F1: the contents
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
    desk_ = std::make_unique<DeskSettings>(deskFile_);
    workspace_->setDeskSettings(desk_.get());
    port_.setPortDevices(workspace_->settings().portDevices());
    port_.setSelectPortStep(comSelectStep([this] { return dialogParent(); },
                                          [this] { return workspace_->settings().portDevices(); }));
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
        refreshCaption();
    });
    return *workspace_;
}

TDNPCfgMain::~TDNPCfgMain() = default;

QWidget* TDNPCfgMain::dialogParent()
{
    QWidget* dialog = activeDialog();
    return dialog ? dialog : this;
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
        sortForm_->sendHook = [this] {
            handle([this] { workspace().startSend(workspace().settings().VerifyAfterSend); });
        };
        // The check box is kept in DNP.ini as soon as it changes.
        connect(sortForm_->VerifyAfterSendBox, &QCheckBox::toggled, this, [this](bool on) {
            handle([this, on] {
                TcomSetIni& settings = workspace().settings();
                if (settings.VerifyAfterSend == on)
                    return;
                settings.VerifyAfterSend = on;
                if (const Result<void> saved = settings.Save(); !saved)
                    prompts_->error(saved.error().message);
            });
        });
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
    refreshCaption();
}

void TDNPCfgMain::refreshCaption()
{
    setWindowTitle(workspace_ ? workspace_->windowCaption() : kProgramCaption);
}

void TDNPCfgMain::openAtStart(const QString& path)
{
    handle([this, path] { workspace().openFromDesk(path); });
}

QList<QAction*> TDNPCfgMain::recentFileActions() const
{
    QList<QAction*> actions;
    for (QAction* a : fileMenu_->actions())
        if (a->objectName().startsWith(QStringLiteral("RecentFile")))
            actions << a;
    return actions;
}

// The recent files sit between Save As and Exit, each under its number.
void TDNPCfgMain::refreshRecentFiles()
{
    for (QAction* a : recentFileActions()) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    workspace();  // which sets up the remembered files
    const QStringList files = desk_->recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), fileMenu_);
        a->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        a->setStatusTip(path);
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path] {
            handle([this, path] {
                if (!workspace().refuseWhileRunning())
                    workspace().openRecent(path);
            });
        });
        fileMenu_->insertAction(recentSeparator_, a);
    }
}

void TDNPCfgMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedConfigFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TDNPCfgMain::dropEvent(QDropEvent* event)
{
    const QString path = droppedConfigFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    handle([this, path] {
        if (!workspace().refuseWhileRunning())
            workspace().openFromDesk(path);
    });
}

void TDNPCfgMain::FileNew1Execute()
{
    if (workspace().refuseWhileRunning() || !workspace().maySetAside())
        return;
    workspace().newConfiguration();
    refreshCaption();
}

void TDNPCfgMain::FileOpen1Execute()
{
    if (workspace().refuseWhileRunning())
        return;
    workspace().openWithDialog();
    refreshCaption();
}

void TDNPCfgMain::FileSave1Execute()
{
    workspace().saveWithDialog();
    refreshCaption();
}

void TDNPCfgMain::FileExport1Execute()
{
    workspace().exportWithDialog();
}

void TDNPCfgMain::FileCompare1Execute()
{
    if (const std::optional<ComparedFile> compared = workspace().compareWithDialog()) {
        DifferencesDialog dialog(QFileInfo(compared->path).fileName(), compared->differences, this);
        runModal(&dialog);
    }
}

void TDNPCfgMain::FileExit1Execute()
{
    close();
}

void TDNPCfgMain::closeEvent(QCloseEvent* event)
{
    bool mayClose = false;
    guarded(*prompts_, [&] { mayClose = !workspace_ || workspace_->maySetAside(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
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
    refreshCaption();
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
    sortForm()->VerifyAfterSendBox->setChecked(workspace().settings().VerifyAfterSend);
    sortForm()->refresh();
    runModal(sortForm());
    refreshCaption();
}

void TDNPCfgMain::ReportBtnClick()
{
    workspace().reportWithHeader([this] { runModal(reportForm()); });
}

}  // namespace dnp
