// The main window's menus and tool bar, as tables of its commands.

#include "app/gui/MainWindow.h"
#include "app/gui/ToolBarIcons.h"

#include <QAction>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <span>

namespace dnp {

void TDNPCfgMain::buildMenu()
{
    // A class item is told apart by its tag, as the class buttons are (class = tag - 100).
    struct Command {
        const char* name;
        const char* caption;
        const char* shortcut;
        const char* hint;
        const char* status;
        void (TDNPCfgMain::*handler)();
        int tag = 0;
    };
    // A row without a caption is a separator.
    static const Command kFile[] = {
        {"FileNew1", "&New", "Ctrl+N", "New", "Create a new file", &TDNPCfgMain::FileNew1Execute},
        {"FileOpen1", "&Open", "Ctrl+O", "Open", "Open a file", &TDNPCfgMain::FileOpen1Execute},
        {"FileSave1", "&Save", "Ctrl+S", "Save", "Save current file", &TDNPCfgMain::FileSave1Execute},
        {"FileSaveAs1", "Save &As...", "Ctrl+Shift+S", "Save As", "Save current file with different name",
         &TDNPCfgMain::FileSaveAs1Execute},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"FileExport1", "&Export Point List...", "", "Export Point List",
         "Export the point list for the SCADA master (CSV or XML)", &TDNPCfgMain::FileExport1Execute},
        {"FileImport1", "&Import Point List...", "", "Import Point List",
         "Read a point list (CSV or XML) into the configuration", &TDNPCfgMain::FileImport1Execute},
        {"FileCompare1", "Co&mpare With File...", "", "Compare With File",
         "Compare the configuration with a configuration file", &TDNPCfgMain::FileCompare1Execute},
        {"RecentListStart", nullptr, nullptr, nullptr, nullptr, nullptr},  // two separators in a row show as one
        {"RecentListEnd", nullptr, nullptr, nullptr, nullptr, nullptr},
        {"FileExit1", "E&xit", "", "Exit", "Exit application", &TDNPCfgMain::FileExit1Execute},
    };
    static const Command kConfiguration[] = {
        {"ConfigClass0", "Class &0...", "Ctrl+0", "Class 0", "Configure Class 0", nullptr, 100},
        {"ConfigClass1", "Class &1...", "Ctrl+1", "Class 1", "Configure Class 1", nullptr, 101},
        {"ConfigClass2", "Class &2...", "Ctrl+2", "Class 2", "Configure Class 2", nullptr, 102},
        {"ConfigClass3", "Class &3...", "Ctrl+3", "Class 3", "Configure Class 3", nullptr, 103},
        {"ConfigOrder", "Class 0 &Order...", "", "Class 0 Order", "Put the Class 0 points in the order the panel reports them",
         &TDNPCfgMain::OrderClick},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"ConfigReport", "&Report...", "", "Report", "Report file", &TDNPCfgMain::ReportBtnClick},
    };
    static const Command kPanel[] = {
        {"PanelSettings", "&Communication Settings...", "", "Communication Settings", "Communication settings",
         &TDNPCfgMain::SettingBtnClick},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"PanelSend", "&Send...", "F5", "Send", "Send to panel", &TDNPCfgMain::SendBtnClick},
        {"PanelRetrieve", "&Retrieve...", "F6", "Retrieve", "Retrieve from panel", &TDNPCfgMain::retrieveBtnClick},
        {"PanelVerify", "&Verify Panel Against File", "F7", "Verify Panel Against File",
         "Read the panel's configuration and compare it with the open configuration", &TDNPCfgMain::PanelVerifyClick},
        {"PanelTest", "&Test Connection", "", "Test Connection",
         "Read message 1 from the panel to check the line (a read changes nothing in it)", &TDNPCfgMain::PanelTestClick},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"PanelTrace", "&Line Trace", "", "Line Trace", "The frames of the last transfer with the panel",
         &TDNPCfgMain::LineTraceClick},
        {"PanelHistory", "&History...", "", "History", "Every recorded transfer: what was sent to which panel, when and by whom",
         &TDNPCfgMain::HistoryClick},
    };
    static const Command kHelp[] = {
        {"HelpContents1", "&Help Contents", "F1", "Help Contents", "Help Contents", &TDNPCfgMain::HelpContents1Click},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {"About1", "&About...", "", "About", "About", &TDNPCfgMain::About1Click},
    };
    const auto fill = [this](const char* name, const char* title, const char* status, std::span<const Command> commands) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(title));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setStatusTip(QString::fromLatin1(status));
        for (const Command& c : commands) {
            if (!c.caption) {
                menu->addSeparator()->setObjectName(QString::fromLatin1(c.name));
                continue;
            }
            auto* a = menu->addAction(QString::fromLatin1(c.caption));
            a->setObjectName(QString::fromLatin1(c.name));
            a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
            a->setToolTip(QString::fromLatin1(c.hint));
            a->setStatusTip(QString::fromLatin1(c.status));
            const auto handler = c.handler;
            if (c.tag != 0)
                a->setProperty("tag", c.tag);
            connect(a, &QAction::triggered, this, [this, a, handler] {
                handler ? (this->*handler)() : ClassSpBtnClick(a);
            });
        }
    };
    fill("File1", "&File", "File related commands", kFile);
    // The recent files go in before the separator above Exit, rebuilt each time the
    // menu opens.
    fileMenu_ = findChild<QMenu*>("File1");
    recentSeparator_ = findChild<QAction*>("RecentListEnd");
    connect(fileMenu_, &QMenu::aboutToShow, this, [this] { refreshRecentFiles(); });
    fill("Configuration1", "&Configuration", "Class selections and the report", kConfiguration);
    fill("Panel1", "&Panel", "Communication with the panel", kPanel);
    fill("Help1", "&Help", "Help topics", kHelp);
    action("FileNew1")->setIcon(toolBarIcon(ToolBarImage::New));
    action("FileOpen1")->setIcon(toolBarIcon(ToolBarImage::Open));
    action("FileSave1")->setIcon(toolBarIcon(ToolBarImage::Save));
}

void TDNPCfgMain::buildToolBar()
{
    QToolBar* bar = addToolBar("SpeedPanel");
    bar->setObjectName("SpeedPanel");
    bar->setMovable(false);
    bar->setFixedHeight(33);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const auto gap = [bar] {
        auto* spacer = new QWidget(bar);
        spacer->setFixedWidth(8);
        bar->addWidget(spacer);
    };
    const char* imageButtons[][2] = {{"FileNew1", "NewSBtn"}, {"FileOpen1", "OpenFileSBtn"}, {"FileSave1", "SaveSBtn"}};
    for (const auto& [actionName, buttonName] : imageButtons) {
        bar->addAction(action(actionName));
        bar->widgetForAction(action(actionName))->setObjectName(buttonName);
    }
    gap();

    // The text buttons, in the window's font, bold and 8-point (a family the machine
    // lacks would cost a font search at start-up), each the button of its menu command:
    // a click triggers the command's action, and the button is enabled as the action is.
    // The class buttons are told apart by their tag (class = tag - 100).
    struct TextButton {
        const char* name;
        const char* action;
        const char* caption;
        const char* hint;
        bool gapAfter;
    };
    static const TextButton kButtons[] = {
        {"Class0SpBtn", "ConfigClass0", "Class 0", "Configure Class 0", false},
        {"Class1SpBtn", "ConfigClass1", "Class 1", "Configure Class 1", false},
        {"Class2SpBtn", "ConfigClass2", "Class 2", "Configure Class 2", false},
        {"Class3SpBtn", "ConfigClass3", "Class 3", "Configure Class 3", true},
        {"SettingBtn", "PanelSettings", "Setting", "Communication settings", true},
        {"sendBtn", "PanelSend", "Send", "Send to panel", true},
        {"retrieveBtn", "PanelRetrieve", "Retrieve", "Retrieve from panel", true},
        {"verifyBtn", "PanelVerify", "Verify", "Compare the panel with the open configuration", false},
        {"testBtn", "PanelTest", "Test", "Test the connection to the panel", true},
        {"ReportBtn", "ConfigReport", "Report", "Report file", true},
    };
    QFont font = this->font();
    font.setPointSize(8);
    font.setBold(true);
    for (const TextButton& t : kButtons) {
        QAction* command = action(QString::fromLatin1(t.action));
        auto* b = new QToolButton(this);
        b->setObjectName(t.name);
        b->setText(t.caption);
        b->setToolTip(t.hint);
        b->setStatusTip(t.hint);
        b->setFont(font);
        if (const QVariant tag = command->property("tag"); tag.isValid())
            b->setProperty("tag", tag);
        connect(b, &QToolButton::clicked, command, &QAction::trigger);
        connect(command, &QAction::enabledChanged, b, &QWidget::setEnabled);
        bar->addWidget(b);
        if (t.gapAfter)
            gap();
    }
}

}  // namespace dnp
