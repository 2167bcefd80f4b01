#include "classes/ClassEditor.h"
#include "model/Marks.h"
#include "support/ScriptedPrompts.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

constexpr ListTag kBinTag = ListTag::BinCLB;
constexpr ListTag kBoutTag = ListTag::BoutCLB;
constexpr ListTag kHarmTag = ListTag::HarmCLB;
constexpr ListTag kStatusTag = ListTag::CtlStatCLB;
constexpr int kBinBase = 364;
constexpr int kBoutBase = 380;

struct ClassEditorTest : ::testing::Test {
    ConfigState state;
    test::ScriptedPrompts prompts;
    ClassEditor editor{state, prompts};

    void select(int cls, int selection) { state.ClassSelection[cls][selection] = 1; }
    ItemState binItem(int row) const { return editor.item(kBinTag, row); }
    std::uint16_t binCode(int t) const { return state.PanelCode[typeNumber(PointType::Bin)][t]; }
    std::uint16_t catalogueBinCode(int t) const { return PointCatalog::instance().point(PointType::Bin, t).panelCode; }
    void openFor(int cls) { editor.ClassSpBtnClick(cls); }
    void setFields(const QString& deadband, const QString& minEvents, const QString& delay)
    {
        editor.view().DeadbandEdit = deadband;
        editor.view().MinEventEdit = minEvents;
        editor.view().NotDelayEdit = delay;
    }
};

TEST_F(ClassEditorTest, OpeningStatesForClass0CheckTheClass0Points)
{
    select(0, kBinBase + 2);
    select(1, kBinBase + 3);
    openFor(0);
    EXPECT_EQ(binItem(2), ItemState::Checked);
    EXPECT_EQ(binItem(3), ItemState::Unchecked);
    EXPECT_EQ(editor.view().caption, "Class 0 Selection");
    EXPECT_FALSE(editor.view().unsolicitedPageVisible);
    EXPECT_TRUE(editor.view().groupButtonsEnabled);
    EXPECT_EQ(state.EditedClass, 0);
    EXPECT_EQ(state.OpenedForClass, (std::array<std::uint8_t, 4>{1, 0, 0, 0}));
}

TEST_F(ClassEditorTest, OpeningStatesForAnEventClassGreyWhatIsNotAvailable)
{
    select(0, kBinBase + 0);                      // available, not in class 1
    select(0, kBinBase + 1), select(1, kBinBase + 1);  // in class 1
    select(0, kBinBase + 2), select(3, kBinBase + 2);  // in Classes 0 and 3
    select(1, kBinBase + 3);                      // not in Class 0
    state.UnsolicitedSettings = {125, 0x0305, 20, 256, 1000, 0};
    openFor(1);
    EXPECT_EQ(binItem(0), ItemState::Unchecked);
    EXPECT_EQ(binItem(1), ItemState::Checked);
    EXPECT_EQ(binItem(2), ItemState::Greyed);
    EXPECT_EQ(binItem(3), ItemState::Greyed);
    EXPECT_EQ(binItem(4), ItemState::Greyed);
    EXPECT_EQ(editor.view().caption, "Class 1 Selection");
    EXPECT_TRUE(editor.view().unsolicitedPageVisible);
    EXPECT_FALSE(editor.view().groupButtonsEnabled);
    EXPECT_EQ(editor.view().visibleHelpClass, 1);
    EXPECT_EQ(editor.view().DeadbandEdit, "12.5");
    EXPECT_EQ(editor.view().MinEventEdit, "3");
    EXPECT_EQ(editor.view().NotDelayEdit, "5");
    openFor(3);
    EXPECT_EQ(editor.view().DeadbandEdit, "100");
    EXPECT_EQ(editor.view().MinEventEdit, "0");
    EXPECT_EQ(editor.view().NotDelayEdit, "0");
    openFor(2);
    EXPECT_EQ(editor.view().DeadbandEdit, "2");
}

TEST_F(ClassEditorTest, ClickRuleInClass0NeverGreysButSetsTheFlags)
{
    openFor(0);
    state.LoadedFromFile = true;
    state.NoListWriteBack = true;
    state.Class0Rebuild.fill(false);
    editor.clickItem(kBinTag, 4);
    EXPECT_EQ(binItem(4), ItemState::Checked);
    editor.clickItem(kBinTag, 4);
    EXPECT_EQ(binItem(4), ItemState::Unchecked);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_FALSE(state.LoadedFromFile);
    EXPECT_FALSE(state.NoListWriteBack);
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
}

TEST_F(ClassEditorTest, ClickRuleMessagesForEachEventClass)
{
    struct Case {
        int edited;
        int other;
        const char* message;
    };
    const Case cases[] = {
        {1, 2, "Data Object included in Class 0 and 2 selections."},
        {1, 3, "Data Object included in Class 0 and 3 selections."},
        {2, 1, "Data Object included in Class 0 and 1 selections."},
        {2, 3, "Data Object included in Class 0 and 3 selections."},
        {3, 1, "Data Object included in Class 0 and 1 selections."},
        {3, 2, "Data Object included in Class 0 and 2 selections."},
    };
    for (const Case& c : cases) {
        ConfigState s;
        test::ScriptedPrompts p;
        ClassEditor e(s, p);
        s.ClassSelection[0][kBinBase + 6] = 1;
        s.ClassSelection[c.other][kBinBase + 6] = 1;
        e.ClassSpBtnClick(c.edited);
        e.clickItem(kBinTag, 6);
        EXPECT_EQ(e.item(kBinTag, 6), ItemState::Greyed) << c.edited << "/" << c.other;
        ASSERT_EQ(p.shown.size(), 1);
        EXPECT_EQ(p.shown[0].kind, test::Shown::Information);
        EXPECT_EQ(p.shown[0].text, c.message);
    }
}

TEST_F(ClassEditorTest, ClickRuleNamesTheLowerConflictingClassOnly)
{
    select(0, kBinBase + 7);
    select(2, kBinBase + 7);
    select(3, kBinBase + 7);
    openFor(1);
    editor.clickItem(kBinTag, 7);
    EXPECT_EQ(prompts.texts(), QStringList{"Data Object included in Class 0 and 2 selections."});
}

TEST_F(ClassEditorTest, ClickOnAPointOutsideClass0AlwaysGreysAndTells)
{
    select(1, kBinBase + 8);
    openFor(1);
    editor.setItem(kBinTag, 8, ItemState::Checked);  // a Set button checked it
    editor.clickItem(kBinTag, 8);                     // the click unchecks it
    EXPECT_EQ(binItem(8), ItemState::Greyed);
    EXPECT_EQ(prompts.texts(), QStringList{"Data Object not included in Class 0 selections."});
    // Greyed goes to checked with the next click, and the rule greys it again.
    editor.clickItem(kBinTag, 8);
    EXPECT_EQ(binItem(8), ItemState::Greyed);
    EXPECT_EQ(prompts.shown.size(), 2);
}

TEST_F(ClassEditorTest, AvailablePointKeepsTheStateTheClickGaveIt)
{
    select(0, kBinBase + 9);
    openFor(2);
    editor.clickItem(kBinTag, 9);
    EXPECT_EQ(binItem(9), ItemState::Checked);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(ClassEditorTest, StatusListRuleRunsOnSelectionWithoutAChange)
{
    openFor(3);
    editor.CLBClickChek(kStatusTag, 0);
    EXPECT_EQ(editor.item(kStatusTag, 0), ItemState::Greyed);
    EXPECT_EQ(prompts.texts(), QStringList{"Data Object not included in Class 0 selections."});
}

TEST_F(ClassEditorTest, FlagsStaySetEvenWhenTheWindowIsCancelled)
{
    select(0, kBinBase + 1);
    openFor(1);
    state.Class0Rebuild.fill(false);
    editor.clickItem(kBinTag, 1);
    // Cancel applies nothing: the selection stays, the flags stay set.
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 1], 0);
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
}

TEST_F(ClassEditorTest, GroupSetChecksGreyedItemsAndClearKeepsThem)
{
    openFor(1);  // nothing in Class 0: every item greyed
    editor.groupSet(1);  // IFmmSetBtn: ImmCLB rows 0-13
    for (int row = 0; row < 14; ++row)
        EXPECT_EQ(editor.item(ListTag::ImmCLB, row), ItemState::Checked);
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 14), ItemState::Greyed);
    editor.groupClear(2);  // IFmmTClrBtn: rows 14-27 are greyed and stay so
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 14), ItemState::Greyed);
    editor.groupClear(1);
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 0), ItemState::Unchecked);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(kGroupButtons[1].setName, std::string("IFmmSetBtn"));
}

TEST_F(ClassEditorTest, HarmonicToggleOutlivesAnOpening)
{
    openFor(0);
    editor.harmonicClick(0);  // HVldoBtn: rows 1-16
    EXPECT_EQ(editor.item(kHarmTag, 0), ItemState::Unchecked);  // THD belongs to no button
    for (int row = 1; row <= 16; ++row)
        EXPECT_EQ(editor.item(kHarmTag, row), ItemState::Checked);
    editor.class0okBtnClick();
    openFor(0);
    editor.harmonicClick(0);
    for (int row = 1; row <= 16; ++row)
        EXPECT_EQ(editor.item(kHarmTag, row), ItemState::Unchecked);
    editor.harmonicClick(6);  // "% F": 102 to the last item
    EXPECT_EQ(editor.item(kHarmTag, 101), ItemState::Unchecked);
    EXPECT_EQ(editor.item(kHarmTag, 102), ItemState::Checked);
    EXPECT_EQ(editor.item(kHarmTag, 111), ItemState::Checked);
    // Clear leaves the toggles as they are.
    editor.ResetClassBtnClick();
    EXPECT_TRUE(editor.view().HarmonicToggle[6]);
    EXPECT_FALSE(editor.view().HarmonicToggle[0]);
}

TEST_F(ClassEditorTest, DeadbandRoundingAndRanges)
{
    struct Case {
        const char* text;
        std::uint16_t stored;
        bool message;  // refused: the stored value stays
    };
    const Case cases[] = {
        {"12.25", 122, false}, {"12.75", 128, false}, {"-0.04", 0, false}, {"-0.06", 77, true},
        {"100", 1000, false},  {"100.1", 77, true},   {"0", 0, false},     {"2.5", 25, false},
    };
    for (const Case& c : cases) {
        ConfigState s;
        test::ScriptedPrompts p;
        ClassEditor e(s, p);
        e.ClassSpBtnClick(2);
        s.UnsolicitedSettings[deadbandWordIndex(2)] = 77;
        e.view().DeadbandEdit = c.text;
        EXPECT_EQ(e.class0okBtnClick(), !c.message);
        EXPECT_EQ(s.deadband(2), c.stored) << c.text;
        if (c.message) {
            EXPECT_EQ(p.texts(test::Shown::Error), QStringList{"The value of Dead Band must be in the range of 0 to 100%."});
            EXPECT_EQ(e.badField(), UnsolicitedField::Deadband);
        }
        else
            EXPECT_TRUE(p.shown.isEmpty()) << c.text;
    }
}

TEST_F(ClassEditorTest, EventsWordRanges)
{
    // Minimum events in the high byte, the delay in the low one: 3 and 10 give 778.
    openFor(2);
    setFields("2", "3", "10");
    editor.class0okBtnClick();
    EXPECT_EQ(state.eventsWord(2), 778);
    openFor(3);
    setFields("2", "255", "255");
    editor.class0okBtnClick();
    EXPECT_EQ(state.eventsWord(3), 0xFFFF);
    const struct {
        const char* minEvents;
        const char* delay;
        UnsolicitedField bad;
    } refused[] = {{"256", "0", UnsolicitedField::MinEvents}, {"1", "-1", UnsolicitedField::NotDelay}};
    for (const auto& c : refused) {
        prompts.shown.clear();
        setFields("7", c.minEvents, c.delay);
        EXPECT_FALSE(editor.class0okBtnClick());
        EXPECT_EQ(state.eventsWord(3), 0xFFFF);
        EXPECT_EQ(state.deadband(3), 20);  // nothing of the OK is stored
        EXPECT_EQ(editor.badField(), c.bad);
        EXPECT_EQ(prompts.texts(test::Shown::Error),
                  QStringList{"The value of Minimum Events and Notification Delay must be in the range of 0 to 255."});
    }
    // Two bad fields: the first on the page is told, nothing is stored.
    prompts.shown.clear();
    setFields("150", "300", "9");
    EXPECT_FALSE(editor.class0okBtnClick());
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"The value of Dead Band must be in the range of 0 to 100%."});
    EXPECT_EQ(editor.badField(), UnsolicitedField::Deadband);
    EXPECT_EQ(state.deadband(3), 20);
    EXPECT_EQ(state.eventsWord(3), 0xFFFF);
}

TEST_F(ClassEditorTest, AFieldThatIsNotANumberEndsTheStepAndStoresNothing)
{
    select(0, kBinBase + 1);
    openFor(1);
    editor.clickItem(kBinTag, 1);
    const struct {
        const char* deadband;
        const char* minEvents;
        const char* delay;
        const char* message;
    } cases[] = {
        {"abc", "1", "0", "'abc' is not a valid floating point value"},
        {"", "1", "0", "'' is not a valid floating point value"},
        {"50", "x", "0", "'x' is not a valid integer value"},
        {"50", "1", "2.5", "'2.5' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        setFields(c.deadband, c.minEvents, c.delay);
        EXPECT_FALSE(editor.class0okBtnClick());
        EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{c.message});
        EXPECT_EQ(state.deadband(1), 20);  // nothing of the failed step stored
        EXPECT_EQ(state.eventsWord(1), 256);
        EXPECT_EQ(state.ClassSelection[1][kBinBase + 1], 0);
        EXPECT_EQ(binCode(1), catalogueBinCode(1));
    }
}

TEST_F(ClassEditorTest, RegionalDecimalSeparatorIsReadAndWritten)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ConfigState s;
    test::ScriptedPrompts p;
    ClassEditor e(s, p);
    s.UnsolicitedSettings[deadbandWordIndex(1)] = 125;
    e.ClassSpBtnClick(1);
    EXPECT_EQ(e.view().DeadbandEdit, "12,5");
    e.view().DeadbandEdit = "7,25";
    EXPECT_TRUE(e.class0okBtnClick());
    EXPECT_EQ(s.deadband(1), 72);
    QLocale::setDefault(saved);
}

TEST_F(ClassEditorTest, OkInClass0KeepsTheOrderOfThePointsThatStay)
{
    select(0, kBinBase + 2);
    select(0, kBinBase + 5);
    select(0, kBinBase + 7);
    auto& binOrder = state.Class0Order[typeNumber(PointType::Bin)];
    binOrder[2] = 7;
    binOrder[5] = 2;
    binOrder[7] = 5;  // a dragged order: 7, 2, 5
    openFor(0);
    state.Class0Rebuild.fill(false);
    editor.class0okBtnClick();
    EXPECT_EQ(state.class0Sequence(PointType::Bin), (std::vector<int>{7, 2, 5}));
    EXPECT_EQ(binOrder[0], -1);
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{false, false, false, false, false}));
    // New points go to the end in catalogue order, removed ones drop out; a change sets
    // its type's flag only.
    openFor(0);
    editor.clickItem(kBinTag, 9);
    editor.clickItem(kBinTag, 0);
    editor.clickItem(kBinTag, 2);
    state.Class0Rebuild.fill(false);
    editor.class0okBtnClick();
    EXPECT_EQ(state.class0Sequence(PointType::Bin), (std::vector<int>{7, 5, 0, 9}));
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, false, false, false, false}));
    editor.clickItem(kBoutTag, 0);
    editor.class0okBtnClick();
    EXPECT_EQ(state.class0Sequence(PointType::Bout), std::vector<int>{0});
}

TEST_F(ClassEditorTest, MarksOfAnEventClassAndTheStaleMarkAfterUnchecking)
{
    select(0, kBinBase + 3);
    select(0, kBoutBase + 2);
    openFor(1);
    editor.clickItem(kBinTag, 3);
    editor.clickItem(kBoutTag, 2);
    editor.class0okBtnClick();
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 3], 1);
    EXPECT_EQ(binCode(3), catalogueBinCode(3) | 0x1000);
    EXPECT_EQ(state.PanelCode[typeNumber(PointType::Bout)][2], 2693 | 0x1000);
    EXPECT_EQ(state.SecondCode[2], 554 | 0x1000);
    // Unchecked later: the selection goes, the mark stays until a Class 0 pass.
    openFor(1);
    editor.clickItem(kBinTag, 3);
    editor.class0okBtnClick();
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 3], 0);
    EXPECT_EQ(binCode(3), catalogueBinCode(3) | 0x1000);
    openFor(0);
    editor.class0okBtnClick();
    EXPECT_EQ(binCode(3), catalogueBinCode(3));
    // Class 3 marks with bit 14 and clears the other event bits.
    openFor(3);
    editor.clickItem(kBinTag, 3);
    editor.class0okBtnClick();
    EXPECT_EQ(binCode(3), catalogueBinCode(3) | 0x4000);
    EXPECT_EQ(classMark(2), 0x2000);
}

TEST_F(ClassEditorTest, AfterAFileLoadOkStoresNothingUntilSendAskedForARecompute)
{
    select(0, kBinBase + 1);
    select(2, kBinBase + 1);
    state.LoadedFromFile = true;
    openFor(0);
    state.LoadedFromFile = true;  // opening does not clear it; only clicks do
    editor.groupSet(0);
    editor.class0okBtnClick();
    EXPECT_EQ(state.ClassSelection[0][0], 0);  // the Set button's items were not stored
    EXPECT_EQ(binCode(1), catalogueBinCode(1));

    // Send asked once: OK then recomputes from EditedClass up and leaves -1.
    state.SendRecompute = true;
    state.EditedClass = 0;
    editor.class0okBtnClick();
    EXPECT_EQ(state.EditedClass, -1);
    EXPECT_EQ(binCode(1), catalogueBinCode(1) | 0x2000);
    EXPECT_EQ(state.ClassSelection[0][0], 0);
    // With -1 on entry no pass runs.
    state.PanelCode[typeNumber(PointType::Bin)][1] = catalogueBinCode(1);
    editor.class0okBtnClick();
    EXPECT_EQ(binCode(1), catalogueBinCode(1));
}

TEST_F(ClassEditorTest, RetrievedSelectionsAreNotOverwrittenByTheLists)
{
    select(0, kBinBase + 4);
    state.NoListWriteBack = true;
    editor.InitCLBs(1);  // all unchecked
    state.EditedClass = 0;
    editor.class0okBtnClick();
    EXPECT_EQ(state.ClassSelection[0][kBinBase + 4], 1);
}

TEST_F(ClassEditorTest, ClearEmptiesAllClassesAndKeepsTheFieldsAndOrder)
{
    select(0, kBinBase + 1), select(1, kBinBase + 1), select(3, kBinBase + 2), select(0, 363);
    state.Class0Order[typeNumber(PointType::Bin)][1] = 1;
    state.PanelCode[typeNumber(PointType::Bin)][1] |= 0x1000;
    state.RetrievedMark[typeNumber(PointType::Bout)][1] = 1;
    state.RetrievedMark[typeNumber(PointType::Bout)][5] = 1;
    state.UnsolicitedSettings = {1, 2, 3, 4, 5, 6};
    openFor(1);
    editor.view().DeadbandEdit = "7";
    state.Class0Rebuild.fill(false);
    editor.ResetClassBtnClick();
    for (int cls = 0; cls < 4; ++cls)
        for (int s = 0; s < 511; ++s)
            ASSERT_EQ(state.ClassSelection[cls][s], 0);
    EXPECT_EQ(state.UnsolicitedSettings, kDefaultUnsolicited);
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Bin)][1], 1);  // order tables stay
    EXPECT_EQ(binCode(1), catalogueBinCode(1));  // the Class 0 pass cleared its mark
    EXPECT_EQ(state.RetrievedMark[typeNumber(PointType::Bout)][1], 0);
    EXPECT_EQ(state.RetrievedMark[typeNumber(PointType::Bout)][5], 1);  // second-code marks stay
    EXPECT_EQ(editor.view().DeadbandEdit, "7");
    EXPECT_EQ(state.EditedClass, 0);
    EXPECT_FALSE(state.NoListWriteBack);
    EXPECT_FALSE(state.LoadedFromFile);
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
    // Opened for an event class: every item greyed.
    EXPECT_EQ(editor.item(kHarmTag, 50), ItemState::Greyed);
    EXPECT_EQ(binItem(0), ItemState::Greyed);
}

// The window's Clear in an event-class editor leaves it the editor of that class: a click
// on a greyed item is refused as before, and OK stores the default settings.
TEST_F(ClassEditorTest, ClearInAnEventClassEditorStaysOnItsClass)
{
    select(0, kBinBase + 1);
    select(1, kBinBase + 1);
    openFor(1);
    editor.view().DeadbandEdit = "7";
    editor.clearAll();
    EXPECT_EQ(state.EditedClass, 1);
    EXPECT_EQ(editor.view().DeadbandEdit, "2");
    editor.clickItem(kBinTag, 1);
    EXPECT_EQ(prompts.texts(), QStringList{"Data Object not included in Class 0 selections."});
    EXPECT_EQ(binItem(1), ItemState::Greyed);
    EXPECT_TRUE(editor.class0okBtnClick());
    EXPECT_EQ(state.ClassSelection[0][kBinBase + 1], 0);
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 1], 0);
    EXPECT_EQ(state.UnsolicitedSettings, kDefaultUnsolicited);
}

TEST_F(ClassEditorTest, ClearAfterAClass0OpeningUnchecks)
{
    select(0, kBinBase + 1);
    openFor(0);
    editor.ResetClassBtnClick();
    EXPECT_EQ(binItem(1), ItemState::Unchecked);
}

TEST_F(ClassEditorTest, RetrievedViewShowsClass0WithoutTheUnsolicitedPage)
{
    select(0, kBinBase + 1);
    openFor(2);
    editor.prepareRetrievedView();
    EXPECT_EQ(binItem(1), ItemState::Checked);
    EXPECT_EQ(binItem(0), ItemState::Unchecked);
    EXPECT_EQ(editor.view().caption, "Class 0 Selection");
    EXPECT_FALSE(editor.view().unsolicitedPageVisible);
    EXPECT_EQ(state.EditedClass, 2);
    EXPECT_EQ(editor.view().visibleHelpClass, 2);
}

}  // namespace
