#include "app/gui/MainWindow.h"

#include "app/Guard.h"
#include "app/gui/AboutBox.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/WidgetPrompts.h"
#include "classes/gui/ClassForm.h"
#include "comm/gui/ComSelectForm.h"
#include "comm/gui/CommForm.h"
#include "comm/gui/SortForm.h"
#include "files/gui/ReportForm.h"
#include "widgets/DialogKit.h"

#include <QAction>
#include <QApplication>
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
    : QMainWindow(parent)
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
    port_.setPortDevices(workspace_->settings().portDevices());
    port_.setSelectPortStep(comSelectStep([this] { return dialogParent(); }));
    workspace_->progress = [this](const QString& text) { transferProgress_->setText(text); };
    connect(workspace_.get(), &Workspace::transferEnded, this, [this] {
        if (sortForm_)
            sortForm_->refresh();
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
        sortForm_->sendHook = [this] { handle([this] { workspace().startSend(); }); };
        sortForm_->retrieveHook = [this] { handle([this] { workspace().startRetrieve(); }); };
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
    workspace().newConfiguration();
    setWindowTitle(workspace().caption());
}

void TDNPCfgMain::FileOpen1Execute()
{
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
    if (cls < 0 || cls > 3)
        return;
    workspace().editor().ClassSpBtnClick(cls);
    classForm()->refresh();
    runModal(classForm());
}

void TDNPCfgMain::SettingBtnClick()
{
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
