#include "classes/ClassEditor.h"

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
    ClassEditor editor{state};

    void select(int cls, int selection) { state.ClassSelection[cls][selection] = 1; }
    ItemState binItem(int row) const { return editor.item(kBinTag, row); }
    void openFor(int cls) { editor.open(cls); }
    void setFields(const QString& deadband, const QString& minEvents, const QString& delay)
    {
        editor.editUnsolicited({deadband, minEvents, delay});
    }
    Result<QString> apply() { return editor.apply(editor.view().shownClass); }
    // What a click or an apply step refused with; "" for none.
    template <typename T>
    static QString refusal(const Result<T>& result)
    {
        return result ? QString() : result.error().message;
    }
    // The field a refused apply step names.
    template <typename T>
    static UnsolicitedField fieldOf(const Result<T>& applied)
    {
        return applied ? UnsolicitedField::None : static_cast<UnsolicitedField>(applied.error().field().value_or(0));
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
    EXPECT_EQ(editor.view().shownClass, 0);
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
    EXPECT_EQ(editor.view().fields.deadband, "12.5");
    EXPECT_EQ(editor.view().fields.minEvents, "3");
    EXPECT_EQ(editor.view().fields.notificationDelay, "5");
    openFor(3);
    EXPECT_EQ(editor.view().fields.deadband, "100");
    EXPECT_EQ(editor.view().fields.minEvents, "0");
    EXPECT_EQ(editor.view().fields.notificationDelay, "0");
    openFor(2);
    EXPECT_EQ(editor.view().fields.deadband, "2");
}

TEST_F(ClassEditorTest, ClickRuleInClass0NeverGreys)
{
    openFor(0);
    EXPECT_TRUE(editor.clickItem(kBinTag, 4));
    EXPECT_EQ(binItem(4), ItemState::Checked);
    EXPECT_TRUE(editor.clickItem(kBinTag, 4));
    EXPECT_EQ(binItem(4), ItemState::Unchecked);
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
        ClassEditor e(s);
        s.ClassSelection[0][kBinBase + 6] = 1;
        s.ClassSelection[c.other][kBinBase + 6] = 1;
        e.open(c.edited);
        EXPECT_EQ(refusal(e.clickItem(kBinTag, 6)), c.message);
        EXPECT_EQ(e.item(kBinTag, 6), ItemState::Greyed) << c.edited << "/" << c.other;
    }
}

TEST_F(ClassEditorTest, ClickRuleNamesTheLowerConflictingClassOnly)
{
    select(0, kBinBase + 7);
    select(2, kBinBase + 7);
    select(3, kBinBase + 7);
    openFor(1);
    EXPECT_EQ(refusal(editor.clickItem(kBinTag, 7)), "Data Object included in Class 0 and 2 selections.");
}

TEST_F(ClassEditorTest, ClickOnAPointOutsideClass0AlwaysGreysAndTells)
{
    select(1, kBinBase + 8);
    openFor(1);
    // Greyed goes to checked, and the rule greys it, each time.
    EXPECT_EQ(refusal(editor.clickItem(kBinTag, 8)), "Data Object not included in Class 0 selections.");
    EXPECT_EQ(binItem(8), ItemState::Greyed);
    EXPECT_EQ(refusal(editor.clickItem(kBinTag, 8)), "Data Object not included in Class 0 selections.");
    EXPECT_EQ(binItem(8), ItemState::Greyed);
    // A greyed item leaves its point's byte as it is.
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 8], 1);
}

TEST_F(ClassEditorTest, AvailablePointKeepsTheStateTheClickGaveIt)
{
    select(0, kBinBase + 9);
    openFor(2);
    EXPECT_TRUE(editor.clickItem(kBinTag, 9));
    EXPECT_EQ(binItem(9), ItemState::Checked);
}

TEST_F(ClassEditorTest, StatusListRuleRunsOnSelectionWithoutAChange)
{
    openFor(3);
    EXPECT_EQ(refusal(editor.checkItem(kStatusTag, 0)), "Data Object not included in Class 0 selections.");
    EXPECT_EQ(editor.item(kStatusTag, 0), ItemState::Greyed);
}

TEST_F(ClassEditorTest, CancelStoresNothing)
{
    select(0, kBinBase + 1);
    openFor(1);
    (void)editor.clickItem(kBinTag, 1);
    // Cancel runs no apply step: the selection stays as it was.
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 1], 0);
}

TEST_F(ClassEditorTest, GroupSetChecksGreyedItemsAndClearKeepsThem)
{
    openFor(1);  // nothing in Class 0: every item greyed
    editor.setGroup(1);  // the second Min/Max column: ImmCLB rows 0-13
    for (int row = 0; row < 14; ++row)
        EXPECT_EQ(editor.item(ListTag::ImmCLB, row), ItemState::Checked);
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 14), ItemState::Greyed);
    editor.clearGroup(2);  // rows 14-27 are greyed and stay so
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 14), ItemState::Greyed);
    editor.clearGroup(1);
    EXPECT_EQ(editor.item(ListTag::ImmCLB, 0), ItemState::Unchecked);
    }

// OK keeps what the window shows, whichever button made it so.
TEST_F(ClassEditorTest, SetClearAndHarmonicButtonsAreKeptByOk)
{
    select(0, kBinBase + 1);
    openFor(0);
    editor.setGroup(0);          // InstCLB rows 0-13
    editor.toggleHarmonics(1);   // load volts, even harmonics: HarmCLB rows 18-33
    ASSERT_TRUE(apply());
    const PointGroup& inst = groupOf(ListTag::InstCLB);
    const PointGroup& harm = groupOf(ListTag::HarmCLB);
    for (int row = 0; row <= 13; ++row)
        EXPECT_EQ(state.ClassSelection[0][inst.base + row], 1) << row;
    for (int row = 18; row <= 33; ++row)
        EXPECT_EQ(state.ClassSelection[0][harm.base + row], 1) << row;
    EXPECT_EQ(state.ClassSelection[0][harm.base + 17], 0);
    EXPECT_EQ(state.ClassSelection[0][kBinBase + 1], 1);
    // The new points follow the kept one in their type's order.
    EXPECT_EQ(state.class0Sequence(PointType::Bin), std::vector<int>{1});
    EXPECT_EQ(state.class0Sequence(PointType::Ain).size(), 14u + 16u);

    openFor(0);
    editor.clearGroup(0);
    ASSERT_TRUE(apply());
    for (int row = 0; row <= 13; ++row)
        EXPECT_EQ(state.ClassSelection[0][inst.base + row], 0) << row;
}

TEST_F(ClassEditorTest, HarmonicToggleOutlivesAnOpening)
{
    openFor(0);
    editor.toggleHarmonics(0);  // load volts, odd harmonics: rows 1-16
    EXPECT_EQ(editor.item(kHarmTag, 0), ItemState::Unchecked);  // THD belongs to no button
    for (int row = 1; row <= 16; ++row)
        EXPECT_EQ(editor.item(kHarmTag, row), ItemState::Checked);
    ASSERT_TRUE(apply());
    openFor(0);
    editor.toggleHarmonics(0);
    for (int row = 1; row <= 16; ++row)
        EXPECT_EQ(editor.item(kHarmTag, row), ItemState::Unchecked);
    editor.toggleHarmonics(6);  // "% F": 102 to the last item
    EXPECT_EQ(editor.item(kHarmTag, 101), ItemState::Unchecked);
    EXPECT_EQ(editor.item(kHarmTag, 102), ItemState::Checked);
    EXPECT_EQ(editor.item(kHarmTag, 111), ItemState::Checked);
    // Clear leaves the toggles as they are.
    editor.clear();
    EXPECT_TRUE(editor.view().harmonicToggle[6]);
    EXPECT_FALSE(editor.view().harmonicToggle[0]);
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
        ClassEditor e(s);
        e.open(2);
        s.UnsolicitedSettings[deadbandWordIndex(2)] = 77;
        e.editUnsolicited({c.text, "1", "0"});
        const Result<QString> applied = e.apply(2);
        EXPECT_EQ(applied.ok(), !c.message);
        EXPECT_EQ(s.deadband(2), c.stored) << c.text;
        if (c.message) {
            EXPECT_EQ(refusal(applied), "The value of Dead Band must be in the range of 0 to 100%.");
            EXPECT_EQ(fieldOf(applied), UnsolicitedField::Deadband);
        }
    }
}

TEST_F(ClassEditorTest, EventsWordRanges)
{
    // Minimum events in the high byte, the delay in the low one: 3 and 10 give 778.
    openFor(2);
    setFields("2", "3", "10");
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.eventsWord(2), 778);
    openFor(3);
    setFields("2", "255", "255");
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.eventsWord(3), 0xFFFF);
    const struct {
        const char* minEvents;
        const char* delay;
        UnsolicitedField bad;
    } refused[] = {{"256", "0", UnsolicitedField::MinEvents}, {"1", "-1", UnsolicitedField::NotDelay}};
    for (const auto& c : refused) {
        setFields("7", c.minEvents, c.delay);
        const Result<QString> applied = apply();
        EXPECT_EQ(state.eventsWord(3), 0xFFFF);
        EXPECT_EQ(state.deadband(3), 20);  // nothing of the OK is stored
        EXPECT_EQ(fieldOf(applied), c.bad);
        EXPECT_EQ(refusal(applied), "The value of Minimum Events and Notification Delay must be in the range of 0 to 255.");
    }
    // Two bad fields: the first on the page refuses, nothing is stored.
    setFields("150", "300", "9");
    const Result<QString> twoBad = apply();
    EXPECT_EQ(fieldOf(twoBad), UnsolicitedField::Deadband);
    EXPECT_EQ(refusal(twoBad), "The value of Dead Band must be in the range of 0 to 100%.");
    EXPECT_EQ(state.deadband(3), 20);
    EXPECT_EQ(state.eventsWord(3), 0xFFFF);
}

TEST_F(ClassEditorTest, AFieldThatIsNotANumberEndsTheStepAndStoresNothing)
{
    select(0, kBinBase + 1);
    openFor(1);
    (void)editor.clickItem(kBinTag, 1);
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
        setFields(c.deadband, c.minEvents, c.delay);
        EXPECT_EQ(refusal(apply()), c.message);
        EXPECT_EQ(state.deadband(1), 20);  // nothing of the failed step stored
        EXPECT_EQ(state.eventsWord(1), 256);
        EXPECT_EQ(state.ClassSelection[1][kBinBase + 1], 0);
    }
}

TEST_F(ClassEditorTest, RegionalDecimalSeparatorIsReadAndWritten)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ConfigState s;
    ClassEditor e(s);
    s.UnsolicitedSettings[deadbandWordIndex(1)] = 125;
    e.open(1);
    EXPECT_EQ(e.view().fields.deadband, "12,5");
    e.editUnsolicited({"7,25", "1", "0"});
    EXPECT_TRUE(e.apply(1));
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
    const PerType<std::int32_t> before = state.Class0Order;
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.Class0Order, before);  // an unchanged OK changes nothing
    // New points go to the end in catalogue order, removed ones drop out.
    openFor(0);
    (void)editor.clickItem(kBinTag, 9);
    (void)editor.clickItem(kBinTag, 0);
    (void)editor.clickItem(kBinTag, 2);
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.class0Sequence(PointType::Bin), (std::vector<int>{7, 5, 0, 9}));
    (void)editor.clickItem(kBoutTag, 0);
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.class0Sequence(PointType::Bout), std::vector<int>{0});
}

TEST_F(ClassEditorTest, AnEventClassOkStoresItsListsOnly)
{
    select(0, kBinBase + 3);
    select(0, kBoutBase + 2);
    select(2, kBinBase + 3);
    openFor(1);
    EXPECT_EQ(binItem(3), ItemState::Greyed);  // in Class 2
    (void)editor.clickItem(kBoutTag, 2);
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.ClassSelection[1][kBoutBase + 2], 1);
    EXPECT_EQ(state.ClassSelection[2][kBinBase + 3], 1);
    EXPECT_EQ(state.ClassSelection[1][kBinBase + 3], 0);
    EXPECT_EQ(state.ClassSelection[0][kBoutBase + 2], 1);
    openFor(1);
    (void)editor.clickItem(kBoutTag, 2);
    ASSERT_TRUE(apply());
    EXPECT_EQ(state.ClassSelection[1][kBoutBase + 2], 0);
}

// Only the Class 0 editor's OK speaks of the panel's words: a Class 0 already over them
// is no concern of an event-class edit.
TEST_F(ClassEditorTest, OnlyAClass0OkTellsOfTheWordBudget)
{
    for (int ain = 0; ain < 241; ++ain) {
        state.setSelected(0, PointType::Ain, ain, true);
        state.Class0Order[typeNumber(PointType::Ain)][ain] = ain;
    }
    ASSERT_TRUE(wordBudget(state).over());
    for (int cls : {1, 2, 3, 0}) {
        openFor(cls);
        const Result<QString> applied = apply();
        ASSERT_TRUE(applied) << cls;
        EXPECT_EQ(*applied, cls == 0 ? overBudgetText(wordBudget(state)) : QString()) << cls;
    }
}

TEST_F(ClassEditorTest, ClearEmptiesAllClassesAndKeepsTheOrder)
{
    select(0, kBinBase + 1), select(1, kBinBase + 1), select(3, kBinBase + 2), select(0, 363);
    state.Class0Order[typeNumber(PointType::Bin)][1] = 1;
    state.UnsolicitedSettings = {1, 2, 3, 4, 5, 6};
    openFor(0);
    editor.clear();
    for (int cls = 0; cls < 4; ++cls)
        for (int s = 0; s < 511; ++s)
            ASSERT_EQ(state.ClassSelection[cls][s], 0);
    EXPECT_EQ(state.UnsolicitedSettings, kDefaultUnsolicited);
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Bin)][1], 1);  // order tables stay
    EXPECT_EQ(binItem(1), ItemState::Unchecked);
}

// Clear in an event-class editor leaves it the editor of that class, every item greyed
// (nothing is in Class 0 any more) and the default settings shown: alike in Classes 1-3.
TEST_F(ClassEditorTest, ClearInAnEventClassEditorStaysOnItsClass)
{
    for (int cls = 1; cls <= 3; ++cls) {
        ConfigState s;
        ClassEditor e(s);
        s.ClassSelection[0][kBinBase + 1] = 1;
        s.ClassSelection[cls][kBinBase + 1] = 1;
        s.UnsolicitedSettings = {1, 2, 3, 4, 5, 6};
        e.open(cls);
        e.editUnsolicited({"7", "1", "0"});
        e.clear();
        EXPECT_EQ(e.view().shownClass, cls);
        EXPECT_EQ(e.view().fields.deadband, "2") << cls;
        for (const PointGroup& g : kPointGroups)
            for (int row = 0; row < g.count; ++row)
                ASSERT_EQ(e.item(g.tag, row), ItemState::Greyed) << cls << " " << g.listName << " " << row;
        EXPECT_EQ(refusal(e.clickItem(kBinTag, 1)), "Data Object not included in Class 0 selections.");
        EXPECT_TRUE(e.apply(cls));
        EXPECT_EQ(s.ClassSelection[0][kBinBase + 1], 0);
        EXPECT_EQ(s.ClassSelection[cls][kBinBase + 1], 0);
        EXPECT_EQ(s.UnsolicitedSettings, kDefaultUnsolicited);
    }
}

TEST_F(ClassEditorTest, RetrievedViewShowsClass0WithoutTheUnsolicitedPage)
{
    select(0, kBinBase + 1);
    openFor(2);
    editor.openRetrieved();
    EXPECT_EQ(binItem(1), ItemState::Checked);
    EXPECT_EQ(binItem(0), ItemState::Unchecked);
    EXPECT_EQ(editor.view().caption, "Class 0 Selection");
    EXPECT_FALSE(editor.view().unsolicitedPageVisible);
    EXPECT_EQ(editor.view().shownClass, 0);
    EXPECT_EQ(editor.view().visibleHelpClass, 2);
}

}  // namespace
