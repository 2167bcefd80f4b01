#include "app/gui/MainWindow.h"
#include "classes/gui/ClassForm.h"
#include "support/ScriptedPrompts.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

struct MainWindowTest : ::testing::Test {
    test::ScriptedPrompts prompts;
    TDNPCfgMain window{&prompts};
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
};

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
        {"FileSaveAs1", "Save &As...", "", "Save As", "Save current file with different name"},
        {"FileExit1", "E&xit", "", "Exit", "Exit application"},
    };
    for (const Row& r : rows) {
        QAction* a = window.action(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption);
        EXPECT_EQ(a->shortcut().toString(), r.shortcut);
        EXPECT_EQ(a->toolTip(), r.tip);
        EXPECT_EQ(a->statusTip(), r.status);
    }
    EXPECT_FALSE(window.action("FileSaveAs1")->isVisible());

    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[0]->statusTip(), "File related commands");
    EXPECT_EQ(menus[1]->text(), "&Help");
    EXPECT_EQ(menus[1]->statusTip(), "Help topics");
    QStringList fileItems;
    for (QAction* a : menus[0]->menu()->actions())
        fileItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(fileItems, (QStringList{"&New", "&Open", "&Save", "Save &As...", "-", "E&xit"}));
    QStringList helpItems;
    for (QAction* a : menus[1]->menu()->actions())
        helpItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(helpItems, (QStringList{"&Help Contents", "-", "&About..."}));
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
    ConfigState& s = window.state();
    s.ClassSelection[0][5] = 1;
    s.ClassSelection[2][5] = 1;
    s.Class0Order[typeNumber(PointType::Ain)][5] = 5;
    s.UnsolicitedSettings[0] = 99;
    s.NoListWriteBack = true;
    s.LoadedFromFile = true;
    s.Class0Rebuild.fill(false);
    window.setWindowTitle("x.dnp");
    window.FileNew1Execute();
    EXPECT_EQ(window.windowTitle(), "DNP Configure");
    EXPECT_EQ(s.ClassSelection[0][5], 0);
    EXPECT_EQ(s.ClassSelection[2][5], 0);
    EXPECT_EQ(s.Class0Order[typeNumber(PointType::Ain)][5], -1);
    EXPECT_EQ(s.UnsolicitedSettings, kDefaultUnsolicited);
    EXPECT_EQ(s.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_FALSE(s.NoListWriteBack);
    EXPECT_TRUE(s.LoadedFromFile);  // New leaves it
    EXPECT_EQ(s.ConfigFileName, "new.dnp");
    EXPECT_FALSE(QFile::exists("new.dnp"));
}

TEST_F(MainWindowTest, ClassButtonOpensTheEditorForItsClass)
{
    window.state().ClassSelection[0][0] = 1;
    window.state().UnsolicitedSettings[deadbandWordIndex(2)] = 125;
    window.ClassSpBtnClick(window.toolButton("Class2SpBtn"));
    ASSERT_EQ(shownModal.size(), 1);
    EXPECT_EQ(shownModal[0], window.classForm());
    EXPECT_EQ(window.classForm()->windowTitle(), "Class 2 Selection");
    EXPECT_EQ(window.state().EditedClass, 2);
    EXPECT_EQ(window.state().OpenedForClass, (std::array<std::uint8_t, 4>{0, 0, 1, 0}));
    EXPECT_EQ(window.classForm()->DeadbandEdit->text(), "12.5");
    EXPECT_FALSE(window.classForm()->button("InstSetBtn")->isEnabled());
    EXPECT_FALSE(window.classForm()->button("C0HelpBtn")->isVisibleTo(window.classForm()));
    EXPECT_TRUE(window.classForm()->button("C2HelpBtn")->isVisibleTo(window.classForm()));
}

TEST_F(MainWindowTest, HelpContentsNamesTheHelpFile)
{
    window.HelpContents1Click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, test::Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 0);
    EXPECT_TRUE(window.helpFile().endsWith("/DNP_COMMCONFIG.hlp"));
}

TEST_F(MainWindowTest, AboutBoxIsShownModally)
{
    window.About1Click();
    EXPECT_EQ(shownTitles, QStringList{"About"});
}

}  // namespace
