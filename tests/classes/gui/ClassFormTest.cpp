#include "classes/gui/CheckListBox.h"
#include "classes/gui/ClassForm.h"
#include "support/DeskRig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace dnp;
using dnp::test::Shown;
using dnp::test::setClass0;

namespace {

// The editor window over the desk's commands; `start` is the configuration the next opening finds.
struct ClassFormTest : ::testing::Test, test::DeskRig {
    TClassForm form{ws, prompts};
    ConfigState start;
    const ConfigState& state = ws.document().state();

    void open(int cls)
    {
        use(start);
        ws.editClass(cls, [this] {
            form.refresh();
            form.show();
        });
    }
    QCheckBox* box(int tag, int row) const { return form.list(static_cast<ListTag>(tag))->box(row); }
    void click(int tag, int row) const
    {
        QTest::mouseClick(box(tag, row), Qt::LeftButton, {}, QPoint(6, box(tag, row)->height() / 2));
    }
};

// A greyed item looks disabled: unticked, its text and box in the disabled colours.
bool looksGreyed(const QCheckBox* box)
{
    const QPalette& p = box->palette();
    return box->checkState() == Qt::Unchecked &&
           p.color(QPalette::Active, QPalette::WindowText) == p.color(QPalette::Disabled, QPalette::WindowText) &&
           p.color(QPalette::Active, QPalette::Base) == p.color(QPalette::Disabled, QPalette::Base);
}

// The Set and Clear buttons of the meter and demand lists and the seven harmonic buttons.
const QStringList kGroupAndHarmonicButtons = {
    "InstSetBtn",  "InstClrBtn",  "IFmmSetBtn",  "IFmmClrBtn",   "IFmmTSetBtn",  "IFmmTClrBtn",
    "IRmmSetBtn",  "IRmmClrBtn",  "IRmmTSetBtn", "IRmmTClrBtn",  "ImmSetBoxBtn", "ImmClrBoxBtn",
    "DmdSetBtn",   "DmdClrBtn",   "DFmmSetBtn",  "DFmmClrBtn",   "DFmmTSetBtn",  "DFmmTClrBtn",
    "DRmmSetBtn",  "DRmmClrBtn",  "DRmmTSetBtn", "DRmmTClrBtn",  "HVldoBtn",     "HVldeBtn",
    "HVsoBtn",     "HVseBtn",     "HIldoBtn",    "HIldeBtn",     "HPercentFBtn"};

QStringList tabTexts(QTabWidget* tabs)
{
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}

TEST_F(ClassFormTest, PagesInOrderWithTheirCaptions)
{
    EXPECT_EQ(tabTexts(form.pages()), (QStringList{"Binary Inputs", "Binary Outputs", "Analog Inputs", "Analog Outputs",
                                                   "Counters", "Unsolicited Responses"}));
    EXPECT_EQ(tabTexts(form.findChild<QTabWidget*>("AnalogInputsPC")),
              (QStringList{"Meter ", "Demand", "Harmonics", "Energy", "Counters", "Status", "Miscellaneous"}));
    EXPECT_EQ(tabTexts(form.findChild<QTabWidget*>("AnalogOutputsPC")),
              (QStringList{"Operating Settings", "Regulator", "Communications", "Passwords", "Active Set Points"}));
    for (const char* name : {"class0okBtn", "class0canceBtn", "SaveCfgBtn", "ResetClassBtn"})
        EXPECT_NE(form.button(name), nullptr) << name;
    EXPECT_EQ(form.button("class0okBtn")->text(), "&OK");
    EXPECT_EQ(form.button("class0canceBtn")->text(), "&Cancel");
    EXPECT_EQ(form.button("SaveCfgBtn")->text(), "&Save");
    EXPECT_EQ(form.button("ResetClassBtn")->text(), "Cl&ear");
    for (const QString& name : kGroupAndHarmonicButtons)
        EXPECT_NE(form.button(name), nullptr) << name.toStdString();
}

TEST_F(ClassFormTest, ListsShowTheEditorTexts)
{
    for (const PointGroup& g : kPointGroups) {
        CheckListBox* list = form.list(g.tag);
        ASSERT_EQ(list->count(), g.count) << g.listName;
        EXPECT_EQ(list->objectName(), g.listName);
    }
    EXPECT_EQ(box(7, 28)->text(), "22st");
    EXPECT_EQ(box(4, 14)->text(), "Vld F min ");
    EXPECT_EQ(box(13, 57 - 27)->text(), "Alert Status/ACK (words 1&&&&2)");  // shown as "1&&2"
}

TEST_F(ClassFormTest, ClickOnAPointOutsideClass0InClass1GreysAndTells)
{
    open(1);
    QTest::mouseClick(box(1, 3), Qt::LeftButton, {}, QPoint(6, box(1, 3)->height() / 2));
    EXPECT_EQ(prompts.texts(), QStringList{"Data Object not included in Class 0 selections."});
    EXPECT_TRUE(looksGreyed(box(1, 3)));
    EXPECT_EQ(ws.document().classEditor().item(ListTag::BinCLB, 3), ItemState::Greyed);
}

// A double click in the Instantaneous and Min/Max lists runs the click rule too.
TEST_F(ClassFormTest, ADoubleClickRunsTheClickRule)
{
    for (const int tag : {3, 4}) {
        prompts.shown.clear();
        open(1);
        QTest::mouseDClick(box(tag, 2), Qt::LeftButton, {}, QPoint(6, box(tag, 2)->height() / 2));
        EXPECT_EQ(prompts.texts(), QStringList{"Data Object not included in Class 0 selections."}) << tag;
        EXPECT_TRUE(looksGreyed(box(tag, 2))) << tag;
    }
}

TEST_F(ClassFormTest, ClickOnAnAvailablePointChecksIt)
{
    start.ClassSelection[0][364 + 3] = 1;
    open(1);
    EXPECT_EQ(box(1, 3)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(looksGreyed(box(1, 3)));
    EXPECT_TRUE(looksGreyed(box(1, 2)));
    QTest::mouseClick(box(1, 3), Qt::LeftButton, {}, QPoint(6, box(1, 3)->height() / 2));
    EXPECT_EQ(box(1, 3)->checkState(), Qt::Checked);
    EXPECT_TRUE(prompts.shown.isEmpty());
    form.button("class0okBtn")->click();
    EXPECT_EQ(state.ClassSelection[1][364 + 3], 1);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ClassFormTest, UnsolicitedPageAndHelpButtonFollowTheClass)
{
    open(0);
    EXPECT_FALSE(form.pages()->isTabVisible(5));
    EXPECT_TRUE(form.button("C0HelpBtn")->isVisible());
    EXPECT_FALSE(form.button("C1HelpBtn")->isVisible());
    EXPECT_TRUE(form.button("InstSetBtn")->isEnabled());
    open(3);
    EXPECT_TRUE(form.pages()->isTabVisible(5));
    EXPECT_EQ(form.DeadbandEdit->text(), "2");
    EXPECT_EQ(form.MinEventEdit->text(), "1");
    EXPECT_EQ(form.NotDelayEdit->text(), "0");
    EXPECT_TRUE(form.button("C3HelpBtn")->isVisible());
    EXPECT_FALSE(form.button("HVldoBtn")->isEnabled());
    form.button("C3HelpBtn")->click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].topic, 38);
}

TEST_F(ClassFormTest, TypedFieldsAreAppliedByOk)
{
    start.ClassSelection[0][0] = 1;
    open(2);
    form.DeadbandEdit->clear();
    QTest::keyClicks(form.DeadbandEdit, "12.75");
    form.button("class0okBtn")->click();
    EXPECT_EQ(state.deadband(2), 128);
}

TEST_F(ClassFormTest, SaveAppliesThenSavesAndStaysOpen)
{
    start.ClassSelection[0][364 + 3] = 1;
    open(1);
    QTest::mouseClick(box(1, 3), Qt::LeftButton, {}, QPoint(6, box(1, 3)->height() / 2));
    prompts.fileAnswers = {path("a.dnp")};
    form.button("SaveCfgBtn")->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(state.ClassSelection[1][364 + 3], 1);
    EXPECT_EQ(test::readFileBytes(path("a.dnp")), composeConfigFile(state, test::fixedNow()));
    form.DeadbandEdit->setText("x");
    QTest::keyClicks(form.DeadbandEdit, "y");
    prompts.shown.clear();
    form.button("SaveCfgBtn")->click();
    // A field that is not a number: nothing applied, no file dialog.
    EXPECT_EQ(prompts.texts(), QStringList{"'xy' is not a valid floating point value"});
}

TEST_F(ClassFormTest, ClearAsksFirstAndGreysEverythingAfterAnEventClassOpening)
{
    start.ClassSelection[0][364] = 1;
    start.ClassSelection[2][364] = 1;
    open(2);
    prompts.confirmAnswers = {false, true};
    form.button("ResetClassBtn")->click();
    EXPECT_EQ(prompts.texts(test::Shown::Confirm),
              QStringList{"Clear the selections of all four classes and the unsolicited settings?"});
    EXPECT_EQ(state.ClassSelection[2][364], 1);  // Cancel: nothing cleared
    EXPECT_EQ(box(1, 0)->checkState(), Qt::Checked);
    form.button("ResetClassBtn")->click();
    EXPECT_TRUE(looksGreyed(box(1, 0)));
    EXPECT_EQ(state.ClassSelection[0][364], 0);
}

// A refused value keeps the window open, selects the field and keeps the ticks.
TEST_F(ClassFormTest, ABadFieldKeepsTheEditOpenWithTheFieldSelected)
{
    start.ClassSelection[0][364 + 3] = 1;
    open(1);
    form.pages()->setCurrentIndex(0);
    QTest::mouseClick(box(1, 3), Qt::LeftButton, {}, QPoint(6, box(1, 3)->height() / 2));
    const struct {
        const char* deadband;
        const char* minEvents;
        QLineEdit* selected;
    } cases[] = {{"abc", "1", form.DeadbandEdit}, {"150", "300", form.DeadbandEdit}, {"5", "300", form.MinEventEdit}};
    for (const auto& c : cases) {
        form.DeadbandEdit->setText(c.deadband);
        form.MinEventEdit->setText(c.minEvents);
        emit form.NotDelayEdit->textEdited({});  // typed fields reach the editor as they are edited
        form.button("class0okBtn")->click();
        EXPECT_TRUE(form.isVisible()) << c.deadband;
        EXPECT_EQ(form.pages()->currentIndex(), 5);
        EXPECT_EQ(form.focusWidget(), c.selected) << c.deadband;
        EXPECT_EQ(c.selected->selectedText(), c.selected->text());
        EXPECT_EQ(box(1, 3)->checkState(), Qt::Checked);
        EXPECT_EQ(state.ClassSelection[1][364 + 3], 0);
    }
    EXPECT_EQ(prompts.texts(test::Shown::Error).size(), 3);
    form.DeadbandEdit->setText("5");
    form.MinEventEdit->setText("3");
    emit form.NotDelayEdit->textEdited({});
    form.button("class0okBtn")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(state.ClassSelection[1][364 + 3], 1);
    EXPECT_EQ(state.eventsWord(1), 3 * 256);
}

TEST_F(ClassFormTest, GreyedItemsSayWhyAndTheFieldsShowTheirRanges)
{
    start.ClassSelection[0][364 + 1] = 1;
    start.ClassSelection[2][364 + 1] = 1;
    start.ClassSelection[0][364 + 2] = 1;
    open(1);
    EXPECT_EQ(box(1, 0)->toolTip(), "Not in Class 0: select it in Class 0 first.");
    EXPECT_EQ(box(1, 1)->toolTip(), "Already reported in Class 2.");
    EXPECT_EQ(box(1, 2)->toolTip(), "");
    const std::pair<const char*, const char*> ranges[] = {
        {"DeadbandRange", "(0\u2013100 %)"}, {"MinEventRange", "(0\u2013255)"}, {"NotDelayRange", "(0\u2013255)"}};
    for (const auto& [name, text] : ranges)
        EXPECT_EQ(form.findChild<QLabel*>(name)->text(), QString::fromUtf8(text)) << name;
}

// The Class 0 editor counts the words of what its lists show, live, and marks a count
// over what the panel takes; an event-class editor shows none.
TEST_F(ClassFormTest, TheClass0EditorShowsItsWordCountLive)
{
    std::vector<int> ain(239);
    for (int i = 0; i < 239; ++i)
        ain[static_cast<std::size_t>(i)] = i;
    setClass0(start, PointType::Ain, ain);
    open(0);
    const struct {
        int binRow;  // clicked, or -1 for none
        const char* text;
        bool over;
    } steps[] = {{-1, "239 of 240 words", false}, {0, "240 of 240 words", false}, {1, "241 of 240 words", true},
                 {1, "240 of 240 words", false}};
    for (const auto& step : steps) {
        if (step.binRow >= 0)
            click(1, step.binRow);
        EXPECT_EQ(form.WordCountLabel->text(), step.text);
        EXPECT_EQ(form.WordCountLabel->font().bold(), step.over) << step.text;
        EXPECT_EQ(form.WordCountLabel->toolTip(),
                  step.over ? "The Class 0 points take 241 words; the panel takes 240." : "") << step.text;
    }
    EXPECT_TRUE(form.WordCountLabel->isVisible());
    open(2);
    EXPECT_FALSE(form.WordCountLabel->isVisible());
}

TEST_F(ClassFormTest, OkOverTheBudgetWarnsWithTheCountAndKeepsTheSelection)
{
    std::vector<int> ain(240);
    for (int i = 0; i < 240; ++i)
        ain[static_cast<std::size_t>(i)] = i;
    setClass0(start, PointType::Ain, ain);
    open(0);
    click(1, 4);
    form.button("class0okBtn")->click();
    EXPECT_EQ(prompts.texts(Shown::Information),
              QStringList{"The Class 0 points take 241 words; the panel takes 240.\n"
                          "The selection is kept; Send refuses it until it takes 240 words or fewer."});
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(state.selected(0, PointType::Bin, 4));
    EXPECT_EQ(ws.document().order().words().used, 241);
}

// With DNP_SCREENSHOT_DIR set, saves a picture of each page for a look by eye.
TEST_F(ClassFormTest, Screenshots)
{
    const QString dir = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "DNP_SCREENSHOT_DIR not set";
    start.ClassSelection[0][364] = 1;
    start.ClassSelection[0][160] = 1;
    open(1);
    auto* inputs = form.findChild<QTabWidget*>("AnalogInputsPC");
    const std::pair<int, int> shots[] = {{0, -1}, {2, 0}, {2, 1}, {2, 2}, {2, 5}, {2, 6}, {3, -1}, {5, -1}};
    for (const auto& [page, sub] : shots) {
        form.pages()->setCurrentIndex(page);
        if (sub >= 0)
            inputs->setCurrentIndex(sub);
        form.adjustSize();
        form.grab().save(QString("%1/class-form-%2-%3.png").arg(dir).arg(page).arg(sub));
    }
    // The Class 0 editor with more words chosen than the panel takes.
    std::vector<int> ain(241);
    for (int i = 0; i < 241; ++i)
        ain[static_cast<std::size_t>(i)] = i;
    setClass0(start, PointType::Ain, ain);
    open(0);
    form.pages()->setCurrentIndex(0);
    form.grab().save(QString("%1/class-form-class0-words.png").arg(dir));
}

}  // namespace
