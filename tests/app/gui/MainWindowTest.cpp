#include "support/DocumentProbe.h"
#include "app/gui/Application.h"
#include "app/gui/DifferencesDialog.h"
#include "app/gui/LineTraceWindow.h"
#include "comm/LineTrace.h"
#include "comm/ImageText.h"
#include "app/gui/MainWindow.h"
#include "app/gui/OverviewPanel.h"
#include "app/gui/ProblemsDialog.h"
#include "classes/gui/CheckListBox.h"
#include "classes/gui/ClassForm.h"
#include "comm/gui/CommForm.h"
#include "comm/gui/SortForm.h"
#include "files/gui/ReportForm.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "support/PanelSim.h"
#include "support/ScriptedPrompts.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QDropEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// The toolkit's widget library is built without exceptions: a failure thrown from a
// handler unwinds through its frames without running their destructors, so what their
// locals held (the event, a guard's count, a string's reference) stays behind. That is
// the toolkit's, not ours: a program that ran AFailingHandler... skips the leak check at its end
// (CTest runs each test as a program of its own).
static bool toolkitLocalsLeftBehind = false;
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __lsan_is_turned_off()
{
    return toolkitLocalsLeftBehind ? 1 : 0;
}
#endif

using namespace dnp;

namespace {

struct MainWindowTest : ::testing::Test {
    QTemporaryDir dir;
    test::ScriptedPrompts prompts;
    TDNPCfgMain window{&prompts, dir.filePath("DNP.ini"), dir.filePath("desk.ini")};
    QList<QDialog*> shownModal;
    QStringList shownTitles;
    MainWindowTest()
    {
        window.runModal = [this](QDialog* d) {
            shownModal << d;
            shownTitles << d->windowTitle();
            return 0;
        };
    }
    const ConfigState& state() { return window.desk().document().state(); }
    // The configuration the window holds from now on (unsaved).
    void use(const ConfigState& s) { inspect(window.desk().document()).adopt(configFileDataOf(s)); }
    // One point chosen in Class 0, the configuration otherwise empty.
    void useBin3()
    {
        ConfigState s;
        s.setSelected(0, PointType::Bin, 3, true);
        s.Class0Order[0][3] = 3;
        use(s);
    }
};

// One more Class 0 point, as the editor's OK stores it: the window driven as a user does.
void editClass0(TDNPCfgMain& window, int binRow)
{
    const auto before = window.runModal;
    window.runModal = [&window, binRow](QDialog*) {
        TClassForm* form = window.classForm();
        QCheckBox* box = form->list(ListTag::BinCLB)->box(binRow);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        form->button("class0okBtn")->click();
        return int(QDialog::Accepted);
    };
    window.toolButton("Class0SpBtn")->click();
    window.runModal = before;
}

// The items of a menu, "-" for a separator.
QStringList itemsOf(const QMenu* menu)
{
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? "-" : a->text());
    return items;
}

TEST_F(MainWindowTest, CaptionMenusAndShortcuts)
{
    EXPECT_EQ(window.windowTitle(), "DNP Configure");
    struct Row {
        const char* name;
        const char* caption;
        const char* shortcut;
        const char* tip;
        const char* status;
    };
    const Row rows[] = {
        {"FileNew1", "&New", "Ctrl+N", "New", "Create a new file"},
        {"FileOpen1", "&Open", "Ctrl+O", "Open", "Open a file"},
        {"FileSave1", "&Save", "Ctrl+S", "Save", "Save current file"},
        {"FileSaveAs1", "Save &As...", "Ctrl+Shift+S", "Save As", "Save current file with different name"},
        {"FileExport1", "&Export Point List...", "", "Export Point List",
         "Export the point list for the SCADA master (CSV or XML)"},
        {"FileImport1", "&Import Point List...", "", "Import Point List",
         "Read a point list (CSV or XML) into the configuration"},
        {"FileCompare1", "Co&mpare With File...", "", "Compare With File",
         "Compare the configuration with a configuration file"},
        {"FileExit1", "E&xit", "", "Exit", "Exit application"},
        {"ConfigClass0", "Class &0...", "Ctrl+0", "Class 0", "Configure Class 0"},
        {"ConfigClass1", "Class &1...", "Ctrl+1", "Class 1", "Configure Class 1"},
        {"ConfigClass2", "Class &2...", "Ctrl+2", "Class 2", "Configure Class 2"},
        {"ConfigClass3", "Class &3...", "Ctrl+3", "Class 3", "Configure Class 3"},
        {"ConfigOrder", "Class 0 &Order...", "", "Class 0 Order", "Put the Class 0 points in the order the panel reports them"},
        {"ConfigReport", "&Report...", "", "Report", "Report file"},
        {"PanelSettings", "&Communication Settings...", "", "Communication Settings", "Communication settings"},
        {"PanelSend", "&Send...", "F5", "Send", "Send to panel"},
        {"PanelRetrieve", "&Retrieve...", "F6", "Retrieve", "Retrieve from panel"},
        {"PanelVerify", "&Verify Panel Against File", "F7", "Verify Panel Against File",
         "Read the panel's configuration and compare it with the open configuration"},
        {"PanelTest", "&Test Connection", "", "Test Connection",
         "Read message 1 from the panel to check the line (a read changes nothing in it)"},
        {"PanelTrace", "&Line Trace", "", "Line Trace", "The frames of the last transfer with the panel"},
        {"PanelHistory", "&History...", "", "History",
         "Every recorded transfer: what was sent to which panel, when and by whom"},
        {"HelpContents1", "&Help Contents", "F1", "Help Contents", "Help Contents"},
        {"About1", "&About...", "", "About", "About"},
    };
    for (const Row& r : rows) {
        QAction* a = window.action(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption);
        EXPECT_EQ(a->shortcut().toString(), r.shortcut) << r.name;
        EXPECT_EQ(a->toolTip(), r.tip);
        EXPECT_EQ(a->statusTip(), r.status);
        EXPECT_TRUE(a->isVisible()) << r.name;
    }

    struct Menu {
        const char* title;
        const char* status;
        QStringList items;
    };
    // The recent files go between the two separators of File; with none they show as one.
    const Menu menus[] = {
        {"&File", "File related commands",
         {"&New", "&Open", "&Save", "Save &As...", "-", "&Export Point List...", "&Import Point List...",
           "Co&mpare With File...", "-", "-",
          "E&xit"}},
        {"&Configuration", "Class selections and the report",
         {"Class &0...", "Class &1...", "Class &2...", "Class &3...", "Class 0 &Order...", "-", "&Report..."}},
        {"&Panel", "Communication with the panel", {"&Communication Settings...", "-", "&Send...", "&Retrieve...",
                                                     "&Verify Panel Against File", "&Test Connection", "-", "&Line Trace",
                                                     "&History..."}},
        {"&Help", "Help topics", {"&Help Contents", "-", "&About..."}},
    };
    const QList<QAction*> bar = window.menuBar()->actions();
    ASSERT_EQ(bar.size(), std::size(menus));
    for (std::size_t i = 0; i < std::size(menus); ++i) {
        EXPECT_EQ(bar[i]->text(), menus[i].title);
        EXPECT_EQ(bar[i]->statusTip(), menus[i].status);
        EXPECT_EQ(itemsOf(bar[i]->menu()), menus[i].items) << menus[i].title;
    }
}

// Every command has its key in the window: each runs what its menu item and its button run.
TEST_F(MainWindowTest, MenuKeysRunTheirCommands)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &window; }));
    struct Row {
        QKeyCombination key;
        const char* shown;  // the window's title, or what the prompts showed
    };
    const Row rows[] = {
        {Qt::CTRL | Qt::Key_0, "Class 0 Selection"}, {Qt::CTRL | Qt::Key_1, "Class 1 Selection"},
        {Qt::CTRL | Qt::Key_2, "Class 2 Selection"}, {Qt::CTRL | Qt::Key_3, "Class 3 Selection"},
        {Qt::CTRL | Qt::Key_S, "save dialog"},       {Qt::CTRL | Qt::SHIFT | Qt::Key_S, "save dialog"},
        {Qt::CTRL | Qt::Key_O, "open dialog"},       {Qt::Key_F1, "help 0"},
        {Qt::Key_F5, "Send Configuration"},          {Qt::Key_F6, "Retrieve Configuration"},
    };
    for (const Row& row : rows) {
        shownTitles.clear();
        prompts.shown.clear();
        QTest::keyClick(&window, row.key.key(), row.key.keyboardModifiers());
        QStringList shown = shownTitles;
        for (const test::Shown& p : prompts.shown)
            shown << (p.kind == test::Shown::SaveDialog ? QString("save dialog")
                      : p.kind == test::Shown::OpenDialog ? QString("open dialog")
                      : p.kind == test::Shown::Help       ? QString("help %1").arg(p.topic)
                                                          : p.text);
        EXPECT_EQ(shown, QStringList{row.shown}) << QKeySequence(row.key).toString().toStdString();
    }
    // The menu items and the tool buttons run the same commands.
    shownTitles.clear();
    window.action("ConfigClass2")->trigger();
    window.action("PanelSend")->trigger();
    window.action("PanelRetrieve")->trigger();
    window.action("PanelSettings")->trigger();
    window.action("ConfigReport")->trigger();
    window.action("ConfigOrder")->trigger();
    EXPECT_EQ(shownTitles, (QStringList{"Class 2 Selection", "Send Configuration", "Retrieve Configuration",
                                        "Communication Settings", "Report Header", "Class 0 Order"}));
    // No two commands share a key.
    QStringList keys;
    for (QAction* a : window.findChildren<QAction*>())
        if (!a->shortcut().isEmpty())
            keys << a->shortcut().toString();
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size()) << keys.join(' ').toStdString();
}

// Save writes the file the configuration came from at once; Save As asks for a name.
TEST_F(MainWindowTest, SavingTwiceWritesTheSameFileWithoutADialog)
{
    window.desk().document().clock = [] { return test::fixedNow(); };
    prompts.fileAnswers = {dir.filePath("feeder.dnp")};
    window.FileSave1Execute();
    EXPECT_EQ(window.windowTitle(), "feeder.dnp");
    editClass0(window, 4);
    EXPECT_EQ(window.windowTitle(), "feeder.dnp *");
    prompts.shown.clear();
    window.action("FileSave1")->trigger();
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(window.windowTitle(), "feeder.dnp");
    EXPECT_EQ(window.statusBar()->currentMessage(), "Saved " + dir.filePath("feeder.dnp"));
    EXPECT_EQ(test::readFileBytes(dir.filePath("feeder.dnp")), composeConfigFile(state(), test::fixedNow()));
    EXPECT_TRUE(state().selected(0, PointType::Bin, 4));

    // Save As to the file last saved asks first; another name is the file from then on.
    prompts.fileAnswers = {dir.filePath("feeder.dnp"), dir.filePath("copy.dnp")};
    prompts.confirmAnswers = {false};
    window.action("FileSaveAs1")->trigger();
    window.action("FileSaveAs1")->trigger();
    EXPECT_EQ(prompts.texts(test::Shown::Confirm), QStringList{"Overwrite previously saved configuration?"});
    EXPECT_EQ(window.windowTitle(), "copy.dnp");
    EXPECT_EQ(window.desk().document().filePath(), dir.filePath("copy.dnp"));
}

// The overview is laid out once the window has been painted, in the room the window
// kept for it: the window does not change its size.
TEST_F(MainWindowTest, TheOverviewAppearsAfterTheFirstPaintWithoutResizingTheWindow)
{
    const QSize before = window.size();
    EXPECT_TRUE(window.overview()->isHidden());
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window.overview()->isVisible(); }));
    QApplication::processEvents();
    EXPECT_EQ(window.size(), before);
    EXPECT_GE(window.overview()->height(), window.overview()->minimumSizeHint().height());
    EXPECT_GE(window.width(), 900);
    EXPECT_GE(window.height(), 560);
}

// Settings whose values do not all read are told once when the desk starts, and a
// panel command refuses them.
TEST(MainWindowSettings, SettingsThatDoNotReadAreToldOnceAtStartAndRefuseCommands)
{
    QTemporaryDir dir;
    test::writeFileBytes(dir.filePath("DNP.ini"), "[Comm]\nComPort=1\nAddress=5x\n");
    test::ScriptedPrompts prompts;
    TDNPCfgMain window{&prompts, dir.filePath("DNP.ini"), dir.filePath("desk.ini")};
    window.show();
    const QString problem = dir.filePath("DNP.ini") + " line 3: Address=5x: takes a whole number";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.texts(test::Shown::Error).isEmpty(); }));
    QTest::qWait(50);
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{problem});
    window.desk().testPanel();
    EXPECT_EQ(prompts.texts(test::Shown::Error), (QStringList{problem, problem}));
}

// The window opens as large as it was left, never below 900 x 560.
TEST_F(MainWindowTest, TheWindowOpensAsItWasLeft)
{
    window.resize(1000, 700);
    window.show();
    EXPECT_TRUE(window.close());
    TDNPCfgMain again{&prompts, dir.filePath("DNP.ini"), dir.filePath("desk.ini")};
    EXPECT_EQ(again.size(), QSize(1000, 700));
}

// The body of the window sums up the configuration and follows every change.
TEST_F(MainWindowTest, TheOverviewFollowsEveryChange)
{
    OverviewPanel* overview = window.overview();
    ASSERT_EQ(window.centralWidget(), overview);
    window.desk();
    EXPECT_EQ(overview->pointCount(PointType::Bin, 0)->text(), "0");
    EXPECT_EQ(overview->words()->text(), "0 of 240 words");
    EXPECT_EQ(overview->mapping()->text(), "Individual Mapping (per this document)");
    EXPECT_EQ(overview->port()->text(), "None chosen");
    EXPECT_EQ(overview->lastTransfer()->text(), "None in this run");

    editClass0(window, 4);
    editClass0(window, 7);
    EXPECT_EQ(overview->pointCount(PointType::Bin, 0)->text(), "2");
    EXPECT_EQ(overview->words()->text(), "2 of 240 words");
    // Class 1: Bin 4 ticked and OK.
    window.runModal = [this](QDialog*) {
        TClassForm* form = window.classForm();
        QCheckBox* box = form->list(ListTag::BinCLB)->box(4);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        form->button("class0okBtn")->click();
        return int(QDialog::Accepted);
    };
    window.action("ConfigClass1")->trigger();
    EXPECT_EQ(overview->pointCount(PointType::Bin, 1)->text(), "1");
    EXPECT_EQ(overview->pointCount(PointType::Bin, 2)->text(), "0");

    // Over the budget: marked.
    ConfigState many;
    for (int i = 0; i < 241; ++i)
        many.setSelected(0, PointType::Ain, i, true);
    for (int i = 0; i < 241; ++i)
        many.Class0Order[typeNumber(PointType::Ain)][i] = i;
    use(many);
    window.action("FileCompare1")->trigger();  // cancelled; every command shows the state after it
    EXPECT_EQ(overview->pointCount(PointType::Ain, 0)->text(), "241");
    EXPECT_EQ(overview->words()->text(), "241 of 240 words");
    EXPECT_TRUE(overview->words()->font().bold());

    // The settings dialog's OK.
    window.runModal = [this](QDialog* d) {
        if (auto* form = qobject_cast<TcommForm*>(d))
            form->showChoice({.baudItem = 2, .connectorItem = 3, .addressingItem = 0, .parityItem = 0,
                              .addressText = "1", .portDevices = {{3, "/dev/ttyUSB0"}}});
        return int(QDialog::Accepted);
    };
    window.action("PanelSettings")->trigger();
    EXPECT_EQ(overview->port()->text(), "COM 3 (/dev/ttyUSB0), 4800 baud");
}

TEST_F(MainWindowTest, ToolBarButtonsHintsAndTags)
{
    struct Row {
        const char* name;
        const char* caption;
        const char* hint;
        int tag;
    };
    const Row rows[] = {
        {"Class0SpBtn", "Class 0", "Configure Class 0", 100}, {"Class1SpBtn", "Class 1", "Configure Class 1", 101},
        {"Class2SpBtn", "Class 2", "Configure Class 2", 102}, {"Class3SpBtn", "Class 3", "Configure Class 3", 103},
        {"SettingBtn", "Setting", "Communication settings", 0}, {"sendBtn", "Send", "Send to panel", 0},
        {"retrieveBtn", "Retrieve", "Retrieve from panel", 0},  {"ReportBtn", "Report", "Report file", 0},
        {"verifyBtn", "Verify", "Compare the panel with the open configuration", 0},
        {"testBtn", "Test", "Test the connection to the panel", 0},
    };
    for (const Row& r : rows) {
        QToolButton* b = window.toolButton(r.name);
        ASSERT_NE(b, nullptr) << r.name;
        EXPECT_EQ(b->text(), r.caption);
        EXPECT_EQ(b->toolTip(), r.hint);
        EXPECT_EQ(b->statusTip(), r.hint);
        EXPECT_TRUE(b->font().bold());
        EXPECT_EQ(b->font().pointSize(), 8);
        if (r.tag) {
            EXPECT_EQ(b->property("tag").toInt(), r.tag);
        }
    }
    for (const char* name : {"NewSBtn", "OpenFileSBtn", "SaveSBtn"})
        EXPECT_NE(window.toolButton(name), nullptr) << name;
    EXPECT_EQ(window.findChild<QToolBar*>("SpeedPanel")->height(), 33);
}

TEST_F(MainWindowTest, NewResetsTheConfigurationAndCaption)
{
    ConfigState s;
    s.ClassSelection[0][5] = 1;
    s.ClassSelection[2][5] = 1;
    s.Class0Order[typeNumber(PointType::Ain)][5] = 5;
    s.UnsolicitedSettings[0] = 99;
    use(s);
    prompts.saveChoices = {SaveChoice::Discard};
    window.FileNew1Execute();
    EXPECT_EQ(window.windowTitle(), "DNP Configure");
    EXPECT_EQ(state().ClassSelection[0][5], 0);
    EXPECT_EQ(state().ClassSelection[2][5], 0);
    EXPECT_EQ(state().Class0Order[typeNumber(PointType::Ain)][5], -1);
    EXPECT_EQ(state().UnsolicitedSettings, kDefaultUnsolicited);
    EXPECT_EQ(window.desk().document().fileName(), "new.dnp");
    EXPECT_FALSE(QFile::exists("new.dnp"));
}

TEST_F(MainWindowTest, ClassButtonsOpenTheEditorForTheirClass)
{
    ConfigState s;
    s.ClassSelection[0][0] = 1;
    s.UnsolicitedSettings[deadbandWordIndex(2)] = 125;
    use(s);
    for (int cls : {0, 1, 3, 2}) {
        window.ClassSpBtnClick(window.toolButton(QStringLiteral("Class%1SpBtn").arg(cls)));
        EXPECT_EQ(shownTitles.last(), QStringLiteral("Class %1 Selection").arg(cls));
        EXPECT_EQ(window.desk().document().classEditor().view().shownClass, cls);
    }
    ASSERT_EQ(shownModal.size(), 4);
    EXPECT_EQ(shownModal.last(), window.classForm());
    EXPECT_EQ(window.classForm()->DeadbandEdit->text(), "12.5");
    EXPECT_FALSE(window.classForm()->button("InstSetBtn")->isEnabled());
    EXPECT_FALSE(window.classForm()->button("C0HelpBtn")->isVisibleTo(window.classForm()));
    EXPECT_TRUE(window.classForm()->button("C2HelpBtn")->isVisibleTo(window.classForm()));
}

// F1 opens the help topic of the window that has the focus: each window is shown as
// the program shows it, made active, and given the key.
TEST_F(MainWindowTest, F1OpensTheTopicOfTheWindowWithTheFocus)
{
    const auto pressF1 = [](QWidget* w) {
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([w] { return QApplication::activeWindow() == w; })) << w->windowTitle().toStdString();
        QTest::keyClick(w, Qt::Key_F1);
    };
    window.runModal = [&](QDialog* d) {
        pressF1(d);
        d->hide();
        window.activateWindow();  // as when a dialog closes
        EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &window; }));
        return 0;
    };
    struct Row {
        const char* window;
        std::function<void()> open;
        int topic;
    };
    const Row rows[] = {
        {"main window", [&] { pressF1(&window); }, kHelpContents},
        {"Class 0", [&] { window.ClassSpBtnClick(window.toolButton("Class0SpBtn")); }, 19},
        {"Class 1", [&] { window.ClassSpBtnClick(window.toolButton("Class1SpBtn")); }, 36},
        {"Class 2", [&] { window.ClassSpBtnClick(window.toolButton("Class2SpBtn")); }, 37},
        {"Class 3", [&] { window.ClassSpBtnClick(window.toolButton("Class3SpBtn")); }, 38},
        // After Class 3: the retrieved Class 0 selection, shown from the Retrieve window.
        {"retrieved Class 0", [&] { window.sortForm()->classEditorHook(); }, 19},
        {"Send", [&] { window.SendBtnClick(); }, 39},
        {"Retrieve", [&] { window.retrieveBtnClick(); }, 40},
        {"Report Header", [&] { window.ReportBtnClick(); }, 42},
        {"Communication Settings", [&] { window.SettingBtnClick(); }, 108},
    };
    for (const Row& row : rows) {
        prompts.shown.clear();
        row.open();
        ASSERT_EQ(prompts.shown.size(), 1) << row.window;
        EXPECT_EQ(prompts.shown[0].kind, test::Shown::Help) << row.window;
        EXPECT_EQ(prompts.shown[0].topic, row.topic) << row.window;
    }
}

TEST_F(MainWindowTest, HelpContentsOpensTopicZero)
{
    window.HelpContents1Click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, test::Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 0);
}

TEST_F(MainWindowTest, AboutBoxIsShownModally)
{
    window.About1Click();
    EXPECT_EQ(shownTitles, QStringList{"About"});
}

}  // namespace

namespace {

TEST_F(MainWindowTest, SendOpensTheOrderWindowInSendMode)
{
    useBin3();
    window.SendBtnClick();
    ASSERT_EQ(shownModal.size(), 1);
    EXPECT_EQ(shownModal[0], window.sortForm());
    EXPECT_EQ(shownTitles[0], "Send Configuration");
    EXPECT_EQ(window.desk().document().order().orderTexts(PointType::Bin), QStringList{"0  Raise Motor Control Signal"});
    window.retrieveBtnClick();
    EXPECT_EQ(shownTitles[1], "Retrieve Configuration");
}

TEST_F(MainWindowTest, SettingShowsTheDialogAndCancelChangesNothing)
{
    window.SettingBtnClick();
    ASSERT_EQ(shownTitles, QStringList{"Communication Settings"});
    EXPECT_FALSE(QFile::exists(dir.filePath("DNP.ini")));
    window.runModal = [](QDialog*) { return int(QDialog::Accepted); };
    window.SettingBtnClick();
    EXPECT_TRUE(QFile::exists(dir.filePath("DNP.ini")));
}

TEST_F(MainWindowTest, ReportIsWrittenAfterTheHeaderDialogsOk)
{
    window.runModal = [this](QDialog* d) {
        shownTitles << d->windowTitle();
        window.reportForm()->DescEdit->setText("Feeder 3");
        return int(QDialog::Accepted);
    };
    prompts.fileAnswers.push_back(dir.filePath("r.txt"));
    window.ReportBtnClick();
    EXPECT_EQ(shownTitles, QStringList{"Report Header"});
    EXPECT_TRUE(QFile::exists(dir.filePath("r.txt")));
    EXPECT_EQ(window.desk().document().lastSavedPath(), dir.filePath("r.txt"));
    EXPECT_EQ(state().ReportDescription, "Feeder 3");
}

TEST_F(MainWindowTest, OpenSetsTheCaptionToTheFileName)
{
    prompts.fileAnswers.push_back(dir.filePath("saved.dnp"));
    window.FileSave1Execute();
    ASSERT_TRUE(QFile::exists(dir.filePath("saved.dnp")));
    prompts.fileAnswers.push_back(dir.filePath("saved.dnp"));
    window.FileOpen1Execute();
    EXPECT_EQ(window.windowTitle(), "saved.dnp");
}

// OK keeps what the window shows: the Set button of a column after an Open.
TEST_F(MainWindowTest, SetUnderAColumnAfterAnOpenIsKeptByOk)
{
    editClass0(window, 1);
    prompts.fileAnswers = {dir.filePath("f.dnp"), dir.filePath("f.dnp")};
    window.FileSave1Execute();
    window.FileOpen1Execute();
    ASSERT_EQ(window.windowTitle(), "f.dnp");
    window.runModal = [this](QDialog*) {
        window.classForm()->pages()->setCurrentIndex(2);
        window.classForm()->button("InstSetBtn")->click();
        window.classForm()->button("class0okBtn")->click();
        return int(QDialog::Accepted);
    };
    window.toolButton("Class0SpBtn")->click();
    EXPECT_EQ(window.windowTitle(), "f.dnp *");
    QStringList ticked;
    window.runModal = [&](QDialog*) {
        for (int row = 0; row < 14; ++row)
            if (window.classForm()->list(ListTag::InstCLB)->box(row)->checkState() == Qt::Checked)
                ticked << QString::number(row);
        return int(QDialog::Rejected);
    };
    window.toolButton("Class0SpBtn")->click();
    EXPECT_EQ(ticked.size(), 14);
}

TEST_F(MainWindowTest, NewAndExitAskAboutUnsavedWork)
{
    window.show();
    editClass0(window, 4);
    window.ClassSpBtnClick(window.toolButton("Class0SpBtn"));  // the caption follows each command
    EXPECT_EQ(window.windowTitle(), "DNP Configure *");

    prompts.saveChoices = {SaveChoice::Cancel, SaveChoice::Cancel};
    window.FileNew1Execute();
    EXPECT_TRUE(state().selected(0, PointType::Bin, 4));
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(prompts.texts(test::Shown::SaveChanges),
              (QStringList{"Save changes to new.dnp?", "Save changes to new.dnp?"}));

    prompts.saveChoices = {SaveChoice::Discard};
    window.FileNew1Execute();
    EXPECT_FALSE(state().selected(0, PointType::Bin, 4));
    EXPECT_EQ(window.windowTitle(), "DNP Configure");

    // Save runs the save; the window closes once the file is written.
    editClass0(window, 6);
    prompts.saveChoices = {SaveChoice::Save, SaveChoice::Save};
    prompts.fileAnswers = {std::nullopt, dir.filePath("kept.dnp")};
    EXPECT_FALSE(window.close());  // the save dialog was cancelled
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(QFile::exists(dir.filePath("kept.dnp")));
}

TEST_F(MainWindowTest, FilesOpenFromTheRecentListADropAndTheCommandLine)
{
    for (const char* name : {"a.dnp", "b.dnp"}) {
        prompts.fileAnswers = {dir.filePath(name)};
        window.FileSaveAs1Execute();
    }
    QMenu* file = window.findChild<QMenu*>("File1");
    emit file->aboutToShow();
    QStringList texts;
    for (QAction* a : window.recentFileActions())
        texts << a->text();
    // Each under its name, then its folder.
    const QString folder = "  (" + QDir::toNativeSeparators(dir.path()) + ")";
    EXPECT_EQ(texts, (QStringList{"&1 b.dnp" + folder, "&2 a.dnp" + folder}));
    QStringList items;
    for (QAction* a : file->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"&New", "&Open", "&Save", "Save &As...", "-", "&Export Point List...",
                                  "&Import Point List...", "Co&mpare With File...", "-", "&1 b.dnp" + folder,
                                  "&2 a.dnp" + folder, "-", "E&xit"}));
    window.recentFileActions()[1]->trigger();
    EXPECT_EQ(window.windowTitle(), "a.dnp");

    // A dropped .dnp file is opened; other files are not taken.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.filePath("notes.txt"))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &refused);
    EXPECT_FALSE(refused.isAccepted());
    data.setUrls({QUrl::fromLocalFile(dir.filePath("b.dnp"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &drop);
    EXPECT_EQ(window.windowTitle(), "b.dnp");

    // From the command line: a file that does not read is told, the configuration stays new.
    TDNPCfgMain second{&prompts, dir.filePath("DNP.ini"), dir.filePath("desk.ini")};
    QFile(dir.filePath("bad.dnp")).open(QIODevice::WriteOnly);
    second.openAtStart(dir.filePath("bad.dnp"));
    EXPECT_EQ(second.windowTitle(), "DNP Configure");
    EXPECT_TRUE(prompts.texts(test::Shown::Error).last().startsWith("The configuration file cannot be read.\n"));
    second.openAtStart(dir.filePath("a.dnp"));
    EXPECT_EQ(second.windowTitle(), "a.dnp");
}

TEST_F(MainWindowTest, CompareWithFileShowsTheDifferencesAsATable)
{
    prompts.fileAnswers = {dir.filePath("same.dnp")};
    window.FileSave1Execute();
    prompts.fileAnswers = {dir.filePath("same.dnp")};
    window.FileCompare1Execute();
    EXPECT_EQ(prompts.shown.last().text, "The configuration and same.dnp are the same.");
    EXPECT_EQ(prompts.shown.last().dialog.title, "");
    EXPECT_TRUE(shownModal.isEmpty());

    editClass0(window, 4);
    prompts.fileAnswers = {dir.filePath("same.dnp")};
    std::optional<QString> copied;
    window.runModal = [&](QDialog* d) {
        auto* table = qobject_cast<DifferencesDialog*>(d);
        EXPECT_NE(table, nullptr);
        if (table) {
            table->CopyAllBtn->click();
            copied = QApplication::clipboard()->text();
        }
        return 0;
    };
    window.FileCompare1Execute();
    ASSERT_TRUE(copied);
    EXPECT_EQ(*copied, "Class\tType\tPoint or setting\tDifference\tA\tB\n"
                       "0\tBinary Input\tLower Motor Control Signal\tonly in A\t0\t\n");
}

TEST_F(MainWindowTest, ExportPointListWritesTheTypeOfTheChosenFile)
{
    editClass0(window, 4);
    prompts.fileAnswers = {dir.filePath("points.xml"), dir.filePath("points.csv")};
    window.FileExport1Execute();
    window.FileExport1Execute();
    EXPECT_EQ(prompts.shown[0].dialog.title, "Export Point List");
    EXPECT_TRUE(test::readFileBytes(dir.filePath("points.xml")).startsWith("<?xml"));
    EXPECT_EQ(test::readFileBytes(dir.filePath("points.csv")), window.desk().document().exportPointList(PointListFormat::Csv)->bytes);
    EXPECT_TRUE(prompts.texts(test::Shown::Error).isEmpty());
}

// File > Import Point List: the list read into the configuration, which is unsaved.
TEST_F(MainWindowTest, ImportPointListReadsTheListIntoTheConfiguration)
{
    ConfigState listed;
    test::setClass0(listed, PointType::Bin, {2, 0});
    listed.setSelected(1, PointType::Bin, 0, true);
    ASSERT_TRUE(test::writeFileBytes(dir.filePath("points.csv"), pointListCsv(pointList(listed))));
    prompts.fileAnswers = {dir.filePath("points.csv")};
    window.action("FileImport1")->trigger();
    EXPECT_EQ(prompts.shown[0].dialog.title, "Import Point List");
    EXPECT_EQ(state().ClassSelection, listed.ClassSelection);
    EXPECT_EQ(state().Class0Order, listed.Class0Order);
    EXPECT_EQ(window.windowTitle(), "DNP Configure *");
    EXPECT_TRUE(prompts.texts(test::Shown::Error).isEmpty());
}

// A failure nobody expected, thrown inside a handler, ends that action at the one
// handler at the top: its text is told, and the program goes on.
TEST_F(MainWindowTest, AFailingHandlerShowsItsTextAndTheProgramGoesOn)
{
    auto* app = dynamic_cast<Application*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QStringList told;
    const auto tell = app->tellFailure;
    app->tellFailure = [&](const QString& text) { told << text; };
    window.runModal = [](QDialog*) -> int { throw std::runtime_error("the dialog broke"); };
    window.show();
    toolkitLocalsLeftBehind = true;
    QTest::mouseClick(window.toolButton("Class0SpBtn"), Qt::LeftButton);
    app->tellFailure = tell;
    EXPECT_EQ(told, QStringList{"An unexpected error has occurred: the dialog broke"});
    window.runModal = [this](QDialog* d) {
        shownTitles << d->windowTitle();
        return 0;
    };
    QTest::mouseClick(window.toolButton("Class1SpBtn"), Qt::LeftButton);
    EXPECT_EQ(shownTitles, QStringList{"Class 1 Selection"});
}

// A slow panel on a pseudo-terminal, and the window while a transfer with it runs.
class MainWindowTransferTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        ASSERT_TRUE(test::writeFileBytes(dir.filePath("DNP.ini"),
                                         "[Comm]\nComPort=1\n[Ports]\nCOM1=" + sim.device().toUtf8() + "\n"));
    }
    void waitForTheEnd()
    {
        QElapsedTimer patience;
        patience.start();
        while (window.desk().transferRunning() && patience.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // The simulator started again with other options, the settings pointing at it.
    void restartSim(const QStringList& options)
    {
        sim.stop();
        ASSERT_TRUE(sim.start(options)) << sim.error().toStdString();
        ASSERT_TRUE(test::writeFileBytes(dir.filePath("DNP.ini"),
                                         "[Comm]\nComPort=1\n[Ports]\nCOM1=" + sim.device().toUtf8() + "\n"));
        ASSERT_TRUE(window.desk().settings().reload());
    }
    // A panel command the test started, run until the workspace says it has ended.
    bool runToTheEnd(const std::function<void()>& start)
    {
        std::optional<bool> ended;
        const auto c = QObject::connect(&window.desk(), &DeskCommands::panelCommandEnded, [&](const PanelOutcome& o) { ended = o.ok(); });
        start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended.has_value(); }, 20000)) << "the panel command did not end";
        QObject::disconnect(c);
        return ended.value_or(false);
    }
    test::PanelSim sim{{"--delay-ms", "100"}};
};

TEST_F(MainWindowTransferTest, CommandsThatChangeTheConfigurationWaitForTheSend)
{
    useBin3();
    window.SendBtnClick();
    window.sortForm()->OKtoSendButton->click();
    ASSERT_TRUE(window.desk().transferRunning());
    EXPECT_FALSE(window.toolButton("Class0SpBtn")->isEnabled());
    EXPECT_FALSE(window.action("FileNew1")->isEnabled());

    prompts.shown.clear();
    window.FileNew1Execute();
    window.ClassSpBtnClick(window.toolButton("Class1SpBtn"));
    EXPECT_EQ(prompts.texts(), (QStringList{kTransferUnderWayText, kTransferUnderWayText}));
    EXPECT_TRUE(state().selected(0, PointType::Bin, 3));

    // Exit asks first; Cancel keeps the window and the transfer.
    prompts.confirmAnswers = {false};
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_EQ(prompts.shown.last().text, kExitDuringTransferText);
    EXPECT_TRUE(window.desk().transferRunning());

    waitForTheEnd();
    EXPECT_EQ(prompts.texts().last(), "Sending communication status: OK..\nThe panel holds the configuration that was sent.");
    EXPECT_TRUE(window.toolButton("Class0SpBtn")->isEnabled());
}

// "Verify after sending" reads the panel back after the send: one summary at the end.
TEST_F(MainWindowTransferTest, VerifyAfterSendingReadsThePanelBack)
{
    useBin3();
    window.SendBtnClick();
    EXPECT_TRUE(window.sortForm()->VerifyAfterSendBox->isChecked());
    EXPECT_TRUE(runToTheEnd([&] { window.sortForm()->OKtoSendButton->click(); }));
    EXPECT_EQ(prompts.texts(), (QStringList{"Sending communication status: OK..\n"
                                            "The panel holds the configuration that was sent."}));
}

TEST_F(MainWindowTransferTest, CancelStopsARetrieveAndChangesNothing)
{
    useBin3();
    const ConfigState before = state();
    window.retrieveBtnClick();
    TSortForm* form = window.sortForm();
    form->show();
    form->OKtoRetrieveButton->click();
    ASSERT_TRUE(window.desk().transferRunning());
    EXPECT_EQ(form->RetrieveProgressLabel->text(), "Retrieving message 1 of 18");
    EXPECT_FALSE(form->RokBtn->isEnabled());
    form->RcancelBtn->click();
    EXPECT_FALSE(window.desk().transferRunning());
    EXPECT_EQ(window.transferProgress()->text(), "Retrieve: cancelled at " + QTime::currentTime().toString("HH:mm"));
    EXPECT_EQ(state().ClassSelection, before.ClassSelection);
    EXPECT_EQ(state().Class0Order, before.Class0Order);
    EXPECT_TRUE(form->RokBtn->isEnabled());
}

// The Retrieve window's lists show what was read before its box is told; Cancel then
// drops it: the configuration and its caption stay as they were.
TEST_F(MainWindowTransferTest, CancelAfterARetrieveLeavesTheConfigurationAndItsCaption)
{
    const QString image = dir.filePath("panel.txt");
    ASSERT_TRUE(test::writeFileBytes(image, formatImageText(buildSendImage(test::richConfiguration(), Mapping::Individual)->image).toUtf8()));
    restartSim({"--image-in", image});
    useBin3();
    prompts.fileAnswers = {dir.filePath("feeder.dnp")};
    window.FileSaveAs1Execute();
    const ConfigState before = state();
    window.retrieveBtnClick();
    TSortForm* form = window.sortForm();
    QList<int> listedWhenTold;
    prompts.whileTelling = [&] { listedWhenTold << form->retrieveList(PointType::Bin)->count(); };
    EXPECT_TRUE(runToTheEnd([&] { form->OKtoRetrieveButton->click(); }));
    EXPECT_EQ(listedWhenTold, QList<int>{3});
    form->RcancelBtn->click();
    EXPECT_EQ(state().ClassSelection, before.ClassSelection);
    EXPECT_EQ(state().Class0Order, before.Class0Order);
    EXPECT_EQ(window.windowTitle(), "feeder.dnp");
}

// With DNP_SCREENSHOT_DIR set, saves pictures of the main window for a look by eye.
TEST_F(MainWindowTest, Screenshots)
{
    const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "DNP_SCREENSHOT_DIR not set";
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window.overview()->isVisible(); }));
    window.grab().save(shots + "/main-window.png");
    for (const char* name : {"feeder-12.dnp", "substation north.dnp"}) {
        prompts.fileAnswers = {dir.filePath(name)};
        window.FileSaveAs1Execute();
    }
    for (const char* name : {"File1", "Configuration1", "Panel1", "Help1"}) {
        QMenu* menu = window.findChild<QMenu*>(name);
        menu->popup(window.mapToGlobal(QPoint(0, 0)));
        menu->grab().save(shots + "/main-window-menu-" + name + ".png");
        menu->hide();
    }
    // A configuration with points in every class, one over the budget, after a send.
    ConfigState many = test::richConfiguration();
    for (int i = 0; i < 240; ++i)
        many.setSelected(0, PointType::Ain, i, true);
    std::vector<int> ain(240);
    for (int i = 0; i < 240; ++i)
        ain[static_cast<std::size_t>(i)] = i;
    test::setClass0(many, PointType::Ain, ain);
    use(many);
    window.action("FileCompare1")->trigger();  // cancelled: the overview shows the state
    window.transferProgress()->setText("Sending message 7 of 18");
    window.grab().save(shots + "/main-window-overview.png");

    use(test::richConfiguration());
    ConfigState other;
    test::setClass0(other, PointType::Bin, {2, 7});
    other.UnsolicitedSettings[deadbandWordIndex(2)] = 55;
    QList<QStringList> rows;
    for (const ConfigDifference& d : compareConfigurations(state(), other))
        rows << differenceTableRow(d, state(), other);
    DifferencesDialog differences("feeder-12.dnp", rows, &window);
    differences.show();
    differences.grab().save(shots + "/differences.png");
    ProblemsDialog problems("The point list cannot be read.\n/home/eng/feeder-12.csv:",
                            {"line 3: unknown point type 'Binary Inptu'", "line 13: Analog Input number 7 is already used on line 12",
                             "line 14: the event class must be 0, 1, 2 or 3, not '4'"},
                            &window);
    problems.show();
    problems.grab().save(shots + "/problems.png");
}

}  // namespace

// Send keeps its window open with the progress and a Cancel that stops it; the status bar
// has both as well.
TEST_F(MainWindowTransferTest, ASendShowsItsProgressAndCancelStopsIt)
{
    useBin3();
    window.SendBtnClick();
    TSortForm* form = window.sortForm();
    runToTheEnd([&] {
        form->OKtoSendButton->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->RetrieveProgressLabel->text() == "Sending message 3 of 18"; }, 20000));
        EXPECT_EQ(form->RetrieveProgress->value(), 2);
        EXPECT_FALSE(form->OKtoSendButton->isEnabled());
        EXPECT_FALSE(form->class0List(PointType::Bin)->isEnabled());
        EXPECT_EQ(window.transferProgress()->text(), "Sending message 3 of 18");
        EXPECT_FALSE(window.CancelTransferBtn->isHidden());
        if (const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR"); !shots.isEmpty()) {
            window.show();
            form->show();
            QApplication::processEvents();
            form->grab().save(shots + "/send-progress.png");
            window.grab().save(shots + "/main-window-sending.png");
        }
        form->ScancelBtn->click();
    });
    EXPECT_EQ(prompts.texts().last(), "The send was cancelled.\n"
                                      "The panel may hold a partly written configuration: messages 1 to 2 of 18 were written.");
    EXPECT_EQ(form->result(), QDialog::Accepted);  // closed, the order that was sent kept
    EXPECT_TRUE(window.CancelTransferBtn->isHidden());
    EXPECT_TRUE(window.toolButton("sendBtn")->isEnabled());
}

// The verify after a send says so, message by message; Select Port is asked once for both.
TEST_F(MainWindowTransferTest, TheVerifyAfterASendSaysSoAndSelectPortIsAskedOnce)
{
    ASSERT_TRUE(test::writeFileBytes(dir.filePath("DNP.ini"), "[Comm]\nComPort=0\n[Ports]\nCOM1=" + sim.device().toUtf8() +
                                                                  "\n[Options]\nVerifyAfterSend=1\n"));
    ASSERT_TRUE(window.desk().settings().reload());
    useBin3();
    prompts.portAnswers = {1};
    QStringList shown;
    QObject::connect(&window.desk().session(), &PanelSession::transferProgress, &window,
            [&] { shown << window.sortForm()->RetrieveProgressLabel->text(); });
    window.SendBtnClick();
    EXPECT_TRUE(runToTheEnd([&] { window.sortForm()->OKtoSendButton->click(); }));
    EXPECT_EQ(prompts.texts(test::Shown::SelectPort).size(), 1);
    EXPECT_EQ(shown.mid(0, 2), (QStringList{"Sending message 1 of 18", "Sending message 2 of 18"}));
    EXPECT_TRUE(shown.contains("Verifying message 1 of 18"));
    EXPECT_EQ(shown.mid(shown.size() - 2), (QStringList{"Verifying message 18 of 18", ""}));
    EXPECT_EQ(prompts.texts(test::Shown::Information),
              (QStringList{"Sending communication status: OK..\nThe panel holds the configuration that was sent."}));
}

// What a send that the panel stops answering tells: whether any of it was written.
TEST_F(MainWindowTransferTest, AStoppedSendSaysWhetherAnythingWasWritten)
{
    useBin3();
    const struct {
        const char* silentAt;
        const char* message;
        const char* written;
    } cases[] = {
        {"1", "Message 1 of 18 was not answered.",
         "The panel may hold a partly written configuration: message 1 of 18 may have been written."},
        {"5", "Message 5 of 18 was not answered.",
         "The panel may hold a partly written configuration: messages 1 to 4 of 18 were written."},
    };
    for (const auto& c : cases) {
        restartSim({"--silent-at", c.silentAt});
        prompts.shown.clear();
        window.SendBtnClick();
        EXPECT_FALSE(runToTheEnd([&] { window.sortForm()->OKtoSendButton->click(); }));
        EXPECT_EQ(prompts.texts(test::Shown::Error),
                  QStringList{QStringLiteral("ZE-P(L) is not responding!\n%1\n%2\nNo answer on COM 1 (%3) at 9600 baud.")
                                  .arg(c.message, c.written, sim.device())});
    }
}

// Panel > Verify Panel Against File reads the panel and shows how it differs.
TEST_F(MainWindowTransferTest, VerifyPanelShowsTheDifferencesFromTheOpenConfiguration)
{
    restartSim({});
    useBin3();
    EXPECT_FALSE(runToTheEnd([&] { window.action("PanelVerify")->trigger(); }));
    const QStringList shown = prompts.texts(test::Shown::Differences);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("The panel does not hold new.dnp: 15 words differ.\n"
                                    "Differences (A: the configuration, B: the panel):\n"))
        << shown[0].toStdString();
    // The overview and the status bar tell what the verify found, never "OK".
    const QString differs = "Verify: panel differs (15 words) at " + QTime::currentTime().toString("HH:mm");
    EXPECT_EQ(window.overview()->lastTransfer()->text(), differs);
    EXPECT_EQ(window.transferProgress()->text(), differs);

    EXPECT_TRUE(runToTheEnd([&] { window.SendBtnClick(); window.sortForm()->OKtoSendButton->click(); }));
    prompts.shown.clear();
    EXPECT_TRUE(runToTheEnd([&] { window.action("PanelVerify")->trigger(); }));
    EXPECT_EQ(prompts.texts(), QStringList{"The panel holds new.dnp."});
}

// Panel > Line Trace lists the frames of the last transfer and what was wrong with a
// reply; Copy and Save give the same text.
TEST_F(MainWindowTransferTest, TheLineTraceShowsABadReply)
{
    restartSim({"--bad-status-at", "3"});
    window.retrieveBtnClick();
    EXPECT_FALSE(runToTheEnd([&] { window.sortForm()->OKtoRetrieveButton->click(); }));
    window.action("PanelTrace")->trigger();
    LineTraceWindow* trace = window.lineTrace();
    ASSERT_NE(trace, nullptr);
    ASSERT_EQ(trace->table->rowCount(), 36);
    EXPECT_EQ(trace->table->item(5, 1)->text(), "from panel");
    EXPECT_EQ(trace->table->item(5, 2)->text(), "3");
    EXPECT_EQ(trace->table->item(5, 3)->text(), "Reply to message 3 of 18 carried status 0x10.");
    EXPECT_EQ(trace->table->item(4, 3)->text(), "");
    EXPECT_EQ(trace->table->item(4, 4)->text(), QString::fromLatin1(window.desk().session().lastTrace()[4].bytes.toHex(' ').toUpper()));
    // Copied and saved under the retrieve's heading.
    const QString text = window.desk().session().lastTraceText().join('\n') + '\n';
    EXPECT_TRUE(text.startsWith("Line trace of the retrieve on " + sim.device() + " at 9600 baud:\nProgram: DNP Configure "));
    EXPECT_TRUE(text.endsWith(traceLines(window.desk().session().lastTrace()).join('\n') + '\n'));
    trace->CopyBtn->click();
    EXPECT_EQ(QApplication::clipboard()->text(), text);
    prompts.fileAnswers = {dir.filePath("trace.txt")};
    trace->SaveBtn->click();
    EXPECT_EQ(test::readFileBytes(dir.filePath("trace.txt")), text.toUtf8());
    if (const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR"); !shots.isEmpty()) {
        trace->show();
        QApplication::processEvents();
        trace->grab().save(shots + "/line-trace.png");
    }
}
