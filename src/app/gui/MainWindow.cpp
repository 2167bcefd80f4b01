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
#include <QApplication>
#include <QDir>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace dnp {

TDNPCfgMain::TDNPCfgMain(UserPrompts* prompts, const QString& iniPath, QWidget* parent)
    : QMainWindow(parent), iniPath_(iniPath)
{
    setObjectName("DNPCfgMain");
    runModal = [](QDialog* d) { return d->exec(); };
    if (!prompts) {
        ownPrompts_ = std::make_unique<WidgetPrompts>(
            [this]() -> QWidget* {
                QWidget* modal = QApplication::activeModalWidget();
                return modal ? modal : this;
            },
            helpFilePath(QDir::currentPath()));
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    FormCreate();

    // The windows kept for the whole run, in start-up order: the class editor, the
    // Class 0 data order window (which carries the transfer), the Report Header dialog.
    editor_ = std::make_unique<ClassEditor>(state_, *prompts_);
    classForm_ = new TClassForm(*editor_, *prompts_, this);
    sort_ = std::make_unique<SortModel>(state_);
    sortForm_ = new TSortForm(state_, *editor_, *sort_, *prompts_, this);
    reportHeader_ = std::make_unique<ReportHeader>(state_, *prompts_, QDate::currentDate());
    reportForm_ = new TReportForm(*reportHeader_, this);

    files_ = std::make_unique<FileCommands>(
        state_, *editor_, *prompts_, [] { return QDateTime::currentDateTime(); },
        [this](const QString& caption) { setWindowTitle(caption); });
    port_.setPortDevices(settings_->portDevices());
    port_.setSelectPortStep(comSelectStep([this]() -> QWidget* {
        QWidget* modal = QApplication::activeModalWidget();
        return modal ? modal : this;
    }));
    exchange_ = std::make_unique<Exchange>(state_, *editor_, *sort_, *settings_, port_, *prompts_);
    exchange_->progress = [this](const QString& text) { transferProgress_->setText(text); };
    connect(exchange_.get(), &Exchange::finished, this, [this] { sortForm_->refresh(); });

    classForm_->saveConfiguration = [this] { handle([this] { files_->saveFromClassEditor(); }); };
    sortForm_->sendHook = [this] { handle([this] { exchange_->OKtoSendButtonClick(); }); };
    sortForm_->retrieveHook = [this] { handle([this] { exchange_->OKtoRetrieveButtonClick(); }); };
    sortForm_->classEditorHook = [this] {
        handle([this] {
            editor_->prepareRetrievedView();
            classForm_->refresh();
            runModal(classForm_);
        });
    };
}

TDNPCfgMain::~TDNPCfgMain() = default;

void TDNPCfgMain::FormCreate()
{
    helpFile_ = helpFilePath(QDir::currentPath());
    settings_ = iniPath_.isEmpty() ? std::make_unique<TcomSetIni>() : std::make_unique<TcomSetIni>(iniPath_);
    // ConfigState's construction builds the code tables from the catalogue and
    // gives the start-up values: no Class 0 order, default parameters, every
    // Class 0 list to be rebuilt, no Send recompute asked for.
    setWindowTitle("DNP Configure");
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
}

QAction* TDNPCfgMain::makeAction(const QString& name, const QString& caption, const QString& hint,
                                 const QString& status)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setStatusTip(status);
    return a;
}

QAction* TDNPCfgMain::action(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

QToolButton* TDNPCfgMain::toolButton(const QString& objectName) const
{
    return findChild<QToolButton*>(objectName);
}

void TDNPCfgMain::buildMenu()
{
    QAction* fileNew = makeAction("FileNew1", "&New", "New", "Create a new file");
    fileNew->setShortcut(QKeySequence("Ctrl+N"));
    fileNew->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    QAction* fileOpen = makeAction("FileOpen1", "&Open", "Open", "Open a file");
    fileOpen->setShortcut(QKeySequence("Ctrl+O"));
    fileOpen->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    QAction* fileSave = makeAction("FileSave1", "&Save", "Save", "Save current file");
    fileSave->setShortcut(QKeySequence("Ctrl+S"));
    fileSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    QAction* fileSaveAs = makeAction("FileSaveAs1", "Save &As...", "Save As", "Save current file with different name");
    fileSaveAs->setVisible(false);
    QAction* fileExit = makeAction("FileExit1", "E&xit", "Exit", "Exit application");

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    file->menuAction()->setStatusTip("File related commands");
    file->addActions({fileNew, fileOpen, fileSave, fileSaveAs});
    file->addSeparator();
    file->addAction(fileExit);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    help->menuAction()->setStatusTip("Help topics");
    QAction* contents = makeAction("HelpContents1", "&Help Contents", "Help Contents", "Help Contents");
    QAction* about = makeAction("About1", "&About...", "About", "About");
    help->addAction(contents);
    help->addSeparator();
    help->addAction(about);

    connect(fileNew, &QAction::triggered, this, [this] { handle([this] { FileNew1Execute(); }); });
    connect(fileOpen, &QAction::triggered, this, [this] { handle([this] { FileOpen1Execute(); }); });
    connect(fileSave, &QAction::triggered, this, [this] { handle([this] { FileSave1Execute(); }); });
    connect(fileSaveAs, &QAction::triggered, this, [this] { handle([this] { FileSave1Execute(); }); });
    connect(fileExit, &QAction::triggered, this, [this] { handle([this] { FileExit1Execute(); }); });
    connect(contents, &QAction::triggered, this, [this] { handle([this] { HelpContents1Click(); }); });
    connect(about, &QAction::triggered, this, [this] { handle([this] { About1Click(); }); });
}

QToolButton* TDNPCfgMain::makeTextButton(const QString& name, const QString& caption, const QString& hint)
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAutoRaise(false);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    f.setBold(true);
    b->setFont(f);
    return b;
}

void TDNPCfgMain::buildToolBar()
{
    QToolBar* bar = addToolBar("SpeedPanel");
    bar->setObjectName("SpeedPanel");
    bar->setMovable(false);
    bar->setFixedHeight(33);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const char* imageButtons[][2] = {{"FileNew1", "NewSBtn"}, {"FileOpen1", "OpenFileSBtn"}, {"FileSave1", "SaveSBtn"}};
    for (const auto& [actionName, buttonName] : imageButtons) {
        bar->addAction(action(actionName));
        if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(action(actionName))))
            b->setObjectName(buttonName);
    }

    auto gap = [bar] {
        auto* spacer = new QWidget(bar);
        spacer->setFixedWidth(8);
        bar->addWidget(spacer);
    };
    gap();
    for (int cls = 0; cls < 4; ++cls) {
        QToolButton* b = makeTextButton(QStringLiteral("Class%1SpBtn").arg(cls), QStringLiteral("Class %1").arg(cls),
                                        QStringLiteral("Configure Class %1").arg(cls));
        b->setProperty("tag", 100 + cls);
        connect(b, &QToolButton::clicked, this, [this, b] { handle([this, b] { ClassSpBtnClick(b); }); });
        bar->addWidget(b);
    }
    gap();
    struct TextButton {
        const char* name;
        const char* caption;
        const char* hint;
        void (TDNPCfgMain::*handler)();
    };
    const TextButton rest[] = {
        {"SettingBtn", "Setting", "Communication settings", &TDNPCfgMain::SettingBtnClick},
        {"sendBtn", "Send", "Send to panel", &TDNPCfgMain::SendBtnClick},
        {"retrieveBtn", "Retrieve", "Retrieve from panel", &TDNPCfgMain::retrieveBtnClick},
        {"ReportBtn", "Report", "Report file", &TDNPCfgMain::ReportBtnClick},
    };
    for (const TextButton& t : rest) {
        QToolButton* b = makeTextButton(t.name, t.caption, t.hint);
        const auto handler = t.handler;
        connect(b, &QToolButton::clicked, this, [this, handler] { handle([this, handler] { (this->*handler)(); }); });
        bar->addWidget(b);
        gap();
    }
}

void TDNPCfgMain::handle(const std::function<void()>& handler)
{
    guarded(*prompts_, handler);
}

void TDNPCfgMain::FileNew1Execute()
{
    state_.ConfigFileName = QStringLiteral("new.dnp");
    setWindowTitle("DNP Configure");
    state_.resetToNew();
}

void TDNPCfgMain::FileOpen1Execute()
{
    files_->FileOpen1Execute();
}

void TDNPCfgMain::FileSave1Execute()
{
    files_->FileSave1Execute();
}

void TDNPCfgMain::FileExit1Execute()
{
    // Make sure the configuration file is closed; a file that cannot be opened is no error.
    if (!state_.ConfigFileName.isEmpty()) {
        QFile f(state_.ConfigFileName);
        if (f.open(QIODevice::ReadOnly))
            f.close();
    }
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
    editor_->ClassSpBtnClick(cls);
    classForm_->refresh();
    runModal(classForm_);
}

void TDNPCfgMain::SettingBtnClick()
{
    TcommForm form(*prompts_, this);
    form.fill(*settings_);
    form.finish(runModal(&form), *settings_);
    port_.setPortDevices(settings_->portDevices());
}

bool TDNPCfgMain::transferUnderWay()
{
    if (!exchange_->running())
        return false;
    prompts_->information(kTransferUnderWayText);
    return true;
}

void TDNPCfgMain::SendBtnClick()
{
    if (transferUnderWay())
        return;
    sortForm_->prepareSend();
    runModal(sortForm_);
}

void TDNPCfgMain::retrieveBtnClick()
{
    if (transferUnderWay())
        return;
    sortForm_->prepareRetrieve();
    runModal(sortForm_);
}

void TDNPCfgMain::ReportBtnClick()
{
    files_->ReportBtnClick([this] { runModal(reportForm_); });
}

}  // namespace dnp
