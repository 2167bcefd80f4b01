#include "app/gui/MainWindow.h"

#include "app/DeskSettings.h"
#include "app/gui/AboutBox.h"
#include "app/gui/DifferencesDialog.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/HistoryWindow.h"
#include "app/gui/LineTraceWindow.h"
#include "app/gui/OverviewPanel.h"
#include "app/gui/WidgetPrompts.h"
#include "classes/gui/ClassForm.h"
#include "comm/gui/CommForm.h"
#include "comm/gui/SortForm.h"
#include "files/gui/ReportForm.h"
#include "model/HelpTopics.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <utility>
#include <QToolButton>

namespace dnp {
namespace {

// After this long the window has been painted: the configuration is set up then.
constexpr int kDeferredSetUpMs = 100;
// The smallest size the window opens at; it opens as large as it was last left.
constexpr QSize kSmallestWindow(900, 560);

// The commands a running transfer holds back (menu items and tool buttons).
// The commands a running transfer holds back; their tool buttons follow them.
const char* const kHeldDuringTransfer[] = {"FileNew1",      "FileOpen1",   "ConfigClass0", "ConfigClass1",
                                           "ConfigClass2",  "ConfigClass3", "ConfigOrder",  "PanelSettings",
                                           "PanelSend",     "PanelRetrieve", "FileImport1", "PanelVerify",
                                           "PanelTest"};

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

TDNPCfgMain::TDNPCfgMain(DeskPrompts* prompts, const QString& iniPath, const QString& deskFile, LinkFactory linkFactory,
                         QWidget* parent)
    : QMainWindow(parent), deskFile_(deskFile), linkFactory_(std::move(linkFactory))
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
    buildMenu();  // F1 is Help Contents' key
    buildToolBar();
    // The overview is built and painted once the window is on the screen.
    statusBar()->setObjectName("StatusBar");
    transferProgress_ = new QLabel(this);
    transferProgress_->setObjectName("TransferProgress");
    transferProgress_->setMinimumWidth(fontMetrics().horizontalAdvance("Retrieving message 18 of 18") + 8);
    statusBar()->addPermanentWidget(transferProgress_);
    // Every transfer shows its progress here, and can be stopped here.
    transferBar_ = new QProgressBar(this);
    transferBar_->setObjectName("TransferBar");
    transferBar_->setRange(0, kMessageCount);
    transferBar_->setMaximumWidth(120);
    transferBar_->setTextVisible(false);
    CancelTransferBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelTransferBtn->setObjectName("CancelTransferBtn");
    CancelTransferBtn->setToolTip(QStringLiteral("Stop the transfer with the panel"));
    connect(CancelTransferBtn, &QPushButton::clicked, this, [this] { desk().cancelTransfer(); });
    statusBar()->addPermanentWidget(transferBar_);
    statusBar()->addPermanentWidget(CancelTransferBtn);
    transferBar_->hide();
    CancelTransferBtn->hide();
    // As the user left it, at least as large as the bars and the overview need.
    deskFiles_ = std::make_unique<DeskSettings>(deskFile_);
    const QSize size = kSmallestWindow.expandedTo(QSize(0, sizeHint().height() + OverviewPanel::plannedHeight(fontMetrics())))
                           .expandedTo(deskFiles_->windowSize());
    resize(size);
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));

    // The configuration and the settings are set up once the window is on the screen
    // (or at the first command that needs them, whichever comes first).
    QTimer::singleShot(kDeferredSetUpMs, this, [this] { finishSetUp(); });
}

bool TDNPCfgMain::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && (!overview_ || overview_->isHidden()))
        QTimer::singleShot(0, this, [this] { finishSetUp(); });
    return handled;
}

// Settings whose values do not all read are told once, when the desk starts; every panel
// command refuses them until they are mended.
void TDNPCfgMain::finishSetUp()
{
    overview()->show();
    if (std::exchange(setUp_, true))
        return;
    if (const Result<void> readable = desk().settings().current().readable(); !readable)
        QTimer::singleShot(0, this, [this, why = readable.error().message] { prompts().error(why); });
}

OverviewPanel* TDNPCfgMain::overview()
{
    if (!overview_) {
        overview_ = new OverviewPanel(this);
        connect(overview_, &OverviewPanel::historyRequested, this, &TDNPCfgMain::HistoryClick);
        overview_->hide();
        setCentralWidget(overview_);
        if (desk_)
            overview_->showOverview(desk_->overview());
    }
    return overview_;
}

DeskCommands& TDNPCfgMain::desk()
{
    if (desk_)
        return *desk_;
    desk_ = std::make_unique<DeskCommands>(*prompts_, DeskSetup{iniPath_, linkFactory_, deskFiles_.get()});
    PanelSession& session = desk_->session();
    connect(&session, &PanelSession::transferProgress, this,
            [this](TransferKind, int message, const QString& text) { showTransfer(message, text); });
    // The status bar tells how the command ended, as the overview does.
    connect(desk_.get(), &DeskCommands::panelCommandEnded, this, [this](const PanelOutcome& outcome) {
        showTransfer(0, lastTransferText(outcome));
        if (lineTrace_)
            lineTrace_->showTrace(desk_->session().lastTrace(), desk_->session().lastTraceText());
        if (sortForm_)
            sortForm_->panelCommandEnded();
    });
    connect(&desk_->history(), &PanelHistory::recorded, this, [this] {
        if (history_)
            history_->refresh();
    });
    connect(&session, &PanelSession::transferEnded, this, [this] {
        if (lineTrace_)
            lineTrace_->showTrace(desk_->session().lastTrace(), desk_->session().lastTraceText());
    });
    connect(desk_.get(), &DeskCommands::changed, this, &TDNPCfgMain::refresh);
    connect(desk_.get(), &DeskCommands::noted, this, [this](const QString& text) { statusBar()->showMessage(text); });
    refresh();
    return *desk_;
}

TDNPCfgMain::~TDNPCfgMain() = default;

QWidget* TDNPCfgMain::dialogParent()
{
    QWidget* dialog = activeDialog();
    return dialog ? dialog : this;
}

// The message under way (0: none) and the status bar's text; the commands a panel
// command holds back stay held until it has ended.
void TDNPCfgMain::showTransfer(int message, const QString& text)
{
    transferProgress_->setText(text);
    const bool running = desk_->transferRunning();
    transferBar_->setValue(message > 0 ? message - 1 : 0);
    if (sortForm_)
        sortForm_->showProgress(message, running ? text : QString(), running);
}

TClassForm* TDNPCfgMain::classForm()
{
    if (!classForm_)
        classForm_ = new TClassForm(desk(), *prompts_, this);
    return classForm_;
}

void TDNPCfgMain::showClassEditor()
{
    classForm()->refresh();
    runModal(classForm());
}

TSortForm* TDNPCfgMain::sortForm()
{
    if (!sortForm_) {
        sortForm_ = new TSortForm(desk(), *prompts_, this);
        sortForm_->classEditorHook = [this] { desk().showClass0Selection([this] { showClassEditor(); }); };
    }
    return sortForm_;
}

TReportForm* TDNPCfgMain::reportForm()
{
    if (!reportForm_)
        reportForm_ = new TReportForm(desk().document().firstReportHeaderTexts(), *prompts_, this);
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

void TDNPCfgMain::refresh()
{
    setWindowTitle(desk_->document().windowCaption());
    if (overview_)
        overview_->showOverview(desk_->overview());
    const bool running = desk_->transferRunning();
    for (const char* name : kHeldDuringTransfer)
        action(name)->setEnabled(!running);
    transferBar_->setVisible(running);
    CancelTransferBtn->setVisible(running);
    // The order window shows what a retrieve read before the retrieve's outcome is told.
    if (sortForm_)
        sortForm_->refresh();
}

void TDNPCfgMain::openAtStart(const QString& path)
{
    desk().openFile(path);
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
    const QStringList files = deskFiles_->recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        // The name, then its folder.
        const QFileInfo file(path);
        auto* a = new QAction(QStringLiteral("&%1 %2  (%3)").arg(i + 1).arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())),
                              fileMenu_);
        a->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        a->setStatusTip(path);
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path] {
            desk().openFile(path);
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
    desk().openFile(path);
}

void TDNPCfgMain::FileNew1Execute()
{
    desk().newConfiguration();
}

void TDNPCfgMain::FileOpen1Execute()
{
    desk().openWithDialog();
}

void TDNPCfgMain::FileSave1Execute()
{
    desk().saveInPlace();
}

void TDNPCfgMain::FileSaveAs1Execute()
{
    desk().saveWithDialog();
}

void TDNPCfgMain::FileExport1Execute()
{
    desk().exportWithDialog();
}

void TDNPCfgMain::FileCompare1Execute()
{
    if (const std::optional<ComparedFile> compared = desk().compareWithDialog()) {
        DifferencesDialog dialog(QFileInfo(compared->path).fileName(), compared->rows, this);
        runModal(&dialog);
    }
}

void TDNPCfgMain::FileImport1Execute()
{
    desk().importWithDialog();
}

void TDNPCfgMain::PanelVerifyClick()
{
    desk().verifyPanel();
}

// Not modal: it stays beside the window and follows each transfer.
void TDNPCfgMain::LineTraceClick()
{
    if (!lineTrace_) {
        lineTrace_ = new LineTraceWindow([this] { desk().saveTraceWithDialog(); }, this);
        lineTrace_->showTrace(desk().session().lastTrace(), desk().session().lastTraceText());
    }
    lineTrace_->show();
    lineTrace_->raise();
    lineTrace_->activateWindow();
}

// Not modal, as the line trace.
void TDNPCfgMain::HistoryClick()
{
    if (!history_) {
        DeskCommands& desk = this->desk();
        history_ = new HistoryWindow({[&desk](const HistoryFilter& filter) { return desk.history().records(filter); },
                                      [&desk] { return desk.history().chain(); },
                                      [&desk](const std::vector<HistoryRecord>& records) { desk.exportHistoryWithDialog(records); },
                                      [this] { prompts_->showHelp(kHistoryHelpTopic); }},
                                     this);
    } else {
        history_->recheck();
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void TDNPCfgMain::FileExit1Execute()
{
    close();
}

void TDNPCfgMain::closeEvent(QCloseEvent* event)
{
    if (desk_ && !desk_->mayExit()) {
        event->ignore();
        return;
    }
    deskFiles_->rememberWindowSize(size());
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
    desk().editClass(sender->property("tag").toInt() - 100, [this] { showClassEditor(); });
}

void TDNPCfgMain::SettingBtnClick()
{
    desk().editSettings([this](const CommChoice& current) -> std::optional<CommChoice> {
        TcommForm form(*prompts_, this);
        form.testPanel = [this](const CommChoice& choice) { desk().testPanel(choice); };
        connect(&desk(), &DeskCommands::panelCommandEnded, &form, &TcommForm::testEnded);
        form.showChoice(current);
        if (runModal(&form) != QDialog::Accepted)
            return std::nullopt;
        return form.choice();
    });
}

void TDNPCfgMain::SendBtnClick()
{
    showOrderWindow(SortMode::Send);
}

void TDNPCfgMain::retrieveBtnClick()
{
    showOrderWindow(SortMode::Retrieve);
}

void TDNPCfgMain::OrderClick()
{
    showOrderWindow(SortMode::Order);
}

void TDNPCfgMain::PanelTestClick()
{
    desk().testPanel();
}

void TDNPCfgMain::showOrderWindow(SortMode mode)
{
    desk().showOrderWindow(mode, [this] {
        sortForm()->refresh();
        runModal(sortForm());
    });
}

void TDNPCfgMain::ReportBtnClick()
{
    desk().reportWithDialog([this]() -> std::optional<ReportHeaderTexts> {
        if (runModal(reportForm()) != QDialog::Accepted)
            return std::nullopt;
        return reportForm()->texts();
    });
}

}  // namespace dnp
