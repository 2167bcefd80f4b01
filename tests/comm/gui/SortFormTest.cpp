#include "comm/SortTestSupport.h"
#include "comm/gui/SortForm.h"
#include "comm/ReadPlan.h"
#include "support/DeskRig.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QDragMoveEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace dnp {
namespace {

using test::chooseClass0;
using test::Shown;

QStringList rowsOf(const QListWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QRadioButton* radio(QGroupBox* group, int item)
{
    return group->findChild<QRadioButton*>(group->objectName() + QString::number(item));
}

int checkedItem(QGroupBox* group)
{
    for (int item = 0; item < 3; ++item)
        if (radio(group, item)->isChecked())
            return item;
    return -1;
}

// Saves a picture of the window when DNP_SCREENSHOT_DIR names a folder.
void screenshot(QWidget& w, const QString& name)
{
    const QString dir = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    w.adjustSize();
    QApplication::processEvents();
    w.grab().save(QDir(dir).filePath(name));
}

class SortFormTest : public ::testing::Test, public test::DeskRig {
protected:
    // As the main window does: the end of a send the window started closes it.
    SortFormTest() { QObject::connect(&ws, &DeskCommands::panelCommandEnded, &form, &TSortForm::panelCommandEnded); }

    // The main window's Send and Retrieve up to showing the window.
    void prepareSend()
    {
        ws.showOrderWindow(SortMode::Send, [this] { form.refresh(); });
    }
    void prepareRetrieve()
    {
        ws.showOrderWindow(SortMode::Retrieve, [this] { form.refresh(); });
    }
    // A transfer the window started, run to its end (a send with its verify).
    void settle()
    {
        QElapsedTimer patience;
        patience.start();
        do
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        while (ws.transferRunning() && patience.elapsed() < 10000);
        QApplication::processEvents();
    }

    void chooseSome()
    {
        ConfigState s;
        chooseClass0(s, PointType::Bin, {2, 5, 7});
        chooseClass0(s, PointType::Bout, {0, 2});
        chooseClass0(s, PointType::Ain, {0, 3, 329, 156, 290});
        chooseClass0(s, PointType::Aout, {72, 57, 92, 1});
        chooseClass0(s, PointType::Counters, {0, 6});
        use(s);
    }

    void pressRow(OrderListBox* list, int row)
    {
        const QPoint at = row >= 0 ? list->visualItemRect(list->item(row)).center()
                                   : QPoint(10, list->viewport()->height() - 3);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }

    TSortForm form{ws, prompts};
    const ConfigState& state = ws.document().state();
};

TEST_F(SortFormTest, ControlsCaptionsAndNames)
{
    EXPECT_EQ(form.findChild<QGroupBox*>("Class0GB")->title(), "Data Order for Class 0");
    EXPECT_EQ(form.listLabel(PointType::Bin)->text(), "Binary Inputs - Selected Data");
    EXPECT_EQ(form.listLabel(PointType::Bout)->text(), "Binary Output State - Selected Data");
    EXPECT_EQ(form.listLabel(PointType::Ain)->text(), "Analog Inputs - Selected Data");
    EXPECT_EQ(form.listLabel(PointType::Aout)->text(), "Analog Outputs - Selected Data");
    EXPECT_EQ(form.listLabel(PointType::Counters)->text(), "Counters - Selected Data");
    for (const char* name : {"Class0Bin", "Class0Bout", "Class0Ain", "Class0Aout", "Class0Counters", "BinRetrieve",
                             "BoutRetrieve", "AinRetrieve", "AoutRetrieve", "CountersRetrieve"})
        EXPECT_NE(form.findChild<QListWidget*>(name), nullptr) << name;
    for (QGroupBox* group : {form.MappingRG, form.RMappingRG}) {
        EXPECT_EQ(group->title(), "DNP Mapping");
        EXPECT_EQ(radio(group, 0)->text(), "Uninitialized");
        EXPECT_EQ(radio(group, 1)->text(), "CM version 2.04+ Subset Mapping");
        EXPECT_EQ(radio(group, 2)->text(), "Individual Mapping (per this document)");
    }
    EXPECT_EQ(form.MappingRG->objectName(), "MappingRG");
    EXPECT_EQ(form.RMappingRG->objectName(), "RMappingRG");
    EXPECT_EQ(form.OKtoSendButton->text(), "&Send");
    EXPECT_EQ(form.ScancelBtn->text(), "&Cancel");
    EXPECT_EQ(form.OKtoRetrieveButton->text(), "&Retrieve");
    EXPECT_EQ(form.RokBtn->text(), "&OK");
    EXPECT_EQ(form.RcancelBtn->text(), "&Cancel");
    EXPECT_EQ(form.windowTitle(), "Send/Retrieve");
}

TEST_F(SortFormTest, SendModeShowsTheOrderListsAndTheSendControls)
{
    chooseSome();
    prepareSend();
    form.show();
    EXPECT_EQ(form.windowTitle(), "Send Configuration");
    EXPECT_EQ(rowsOf(form.class0List(PointType::Bin)),
              (QStringList{"0  Auto Inhibit Status", "1  Remote Control", "2  Neutral Signal"}));
    EXPECT_EQ(rowsOf(form.class0List(PointType::Counters)),
              (QStringList{"0\u20131  KWatt-hr (Forward) -- 32bit", "2\u20133  Total Operations -- 32bit"}));
    EXPECT_EQ(form.class0List(PointType::Ain)->count(), 5);
    for (QWidget* w : std::initializer_list<QWidget*>{form.OKtoSendButton, form.ScancelBtn, form.SendHelpBtn,
                                                      form.MappingRG, form.class0List(PointType::Aout)})
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form.OKtoRetrieveButton, form.RokBtn, form.RcancelBtn,
                                                      form.RetrieveHelpBtn, form.RMappingRG,
                                                      form.retrieveList(PointType::Aout)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_EQ(checkedItem(form.MappingRG), 2);
    screenshot(form, "sortform-send.png");
    form.reject();
}

TEST_F(SortFormTest, DraggingWithinAListReordersClass0Order)
{
    chooseSome();
    prepareSend();
    form.show();
    OrderListBox* bin = form.class0List(PointType::Bin);
    pressRow(bin, 0);
    EXPECT_TRUE(bin->acceptsDragFrom(bin));
    bin->dropAt(0, bin->rowAt(bin->visualItemRect(bin->item(2)).center()));
    EXPECT_EQ(rowsOf(bin), (QStringList{"0  Remote Control", "1  Neutral Signal", "2  Auto Inhibit Status"}));
    EXPECT_EQ(state.Class0Order[0][2], 5);
    EXPECT_EQ(state.Class0Order[0][5], 7);
    EXPECT_EQ(state.Class0Order[0][7], 2);
    EXPECT_EQ(bin->currentRow(), 2);

    // Below the last item: to the end.
    pressRow(bin, 0);
    bin->dropAt(0, bin->rowAt(QPoint(10, bin->viewport()->height() - 3)));
    EXPECT_EQ(rowsOf(bin), (QStringList{"0  Neutral Signal", "1  Auto Inhibit Status", "2  Remote Control"}));
    EXPECT_EQ(test::sequenceOf(state, PointType::Bin), (std::vector<int>{7, 2, 5}));

    // Begun below the last item: nothing moves.
    pressRow(bin, -1);
    bin->dropAt(bin->rowAt(QPoint(10, bin->viewport()->height() - 3)), 0);
    EXPECT_EQ(rowsOf(bin), (QStringList{"0  Neutral Signal", "1  Auto Inhibit Status", "2  Remote Control"}));
    EXPECT_EQ(test::sequenceOf(state, PointType::Bin), (std::vector<int>{7, 2, 5}));
    form.reject();
}

TEST_F(SortFormTest, DropsFromAnotherListAreRefused)
{
    chooseSome();
    prepareSend();
    form.show();
    OrderListBox* ain = form.class0List(PointType::Ain);
    OrderListBox* aout = form.class0List(PointType::Aout);
    pressRow(ain, 0);
    EXPECT_FALSE(aout->acceptsDragFrom(ain));
    EXPECT_FALSE(aout->acceptsDragFrom(nullptr));

    QMimeData mime;
    mime.setData("application/x-dnp-class0-order", "2");
    const QPoint at = aout->visualItemRect(aout->item(1)).center();
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(aout->viewport(), &move);
    EXPECT_FALSE(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(aout->viewport(), &drop);
    EXPECT_EQ(test::sequenceOf(state, PointType::Aout), (std::vector<int>{72, 57, 92, 1}));
    EXPECT_EQ(test::sequenceOf(state, PointType::Ain), (std::vector<int>{0, 3, 329, 156, 290}));
    form.reject();
}

TEST_F(SortFormTest, SendBuildsTheImageInTheChosenMappingAndCloses)
{
    ConfigState s;
    chooseClass0(s, PointType::Bin, {5, 0});
    use(s);
    prepareSend();
    form.show();
    radio(form.MappingRG, 1)->click();
    EXPECT_EQ(ws.document().order().mapping(), Mapping::Subset);
    form.OKtoSendButton->click();
    settle();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    // Written, then read back.
    EXPECT_EQ(link.sent.size(), 18 + qsizetype(readPlan(ws.document().image(Mapping::Subset).value(), MessageSet().set()).size()));
    EXPECT_EQ(panel.image[0], 4);  // the mapping read before the window set it back
    EXPECT_EQ(panel.image[1], 0);

    // Closing set the mapping back: the next showing starts from individual mapping.
    EXPECT_EQ(ws.document().order().mapping(), Mapping::Individual);
    prepareSend();
    form.show();
    EXPECT_EQ(checkedItem(form.MappingRG), 2);
    form.OKtoSendButton->click();
    settle();
    EXPECT_EQ(panel.image[0], 8);
    EXPECT_EQ(panel.image[1], 2610);
    EXPECT_EQ(panel.image[2], 2306);
}

TEST_F(SortFormTest, CancelAfterChoosingUninitializedResetsTheMapping)
{
    prepareSend();
    form.show();
    radio(form.MappingRG, 0)->click();
    form.ScancelBtn->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(checkedItem(form.MappingRG), 2);
    EXPECT_EQ(ws.document().order().mapping(), Mapping::Individual);
}

TEST_F(SortFormTest, ARefusedSendShowsItsMessageAndStillCloses)
{
    prepareSend();
    form.show();
    form.OKtoSendButton->click();
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"No configurations chosen, please return to class menu."});
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_FALSE(form.isVisible());
}

// The box is ticked unless the settings say otherwise, and kept there as soon as it
// changes.
TEST_F(SortFormTest, VerifyAfterSendingIsKeptInTheSettings)
{
    prepareSend();
    form.show();
    EXPECT_TRUE(form.VerifyAfterSendBox->isChecked());
    form.VerifyAfterSendBox->click();
    EXPECT_FALSE(ws.settings().current().VerifyAfterSend);
    EXPECT_TRUE(test::readFileBytes(path("DNP.ini")).contains("[Options]\nVerifyAfterSend=0"));
    form.reject();
}

TEST_F(SortFormTest, RetrieveModeAndTheRetrievedMapping)
{
    chooseSome();
    prepareSend();
    prepareRetrieve();
    form.show();
    EXPECT_EQ(form.windowTitle(), "Retrieve Configuration");
    for (QWidget* w : std::initializer_list<QWidget*>{form.OKtoRetrieveButton, form.RokBtn, form.RcancelBtn,
                                                      form.RetrieveHelpBtn, form.RMappingRG,
                                                      form.retrieveList(PointType::Bin)})
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form.OKtoSendButton, form.ScancelBtn, form.SendHelpBtn,
                                                      form.MappingRG, form.class0List(PointType::Bin)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_EQ(checkedItem(form.RMappingRG), -1);
    EXPECT_EQ(form.retrieveList(PointType::Bin)->count(), 0);

    // A retrieve of a panel image in subset mapping, then one in individual mapping
    // that lists Ain 3 before Ain 1.
    panel.image[0] = 4;
    form.OKtoRetrieveButton->click();
    settle();
    form.refresh();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(checkedItem(form.RMappingRG), 1);
    radio(form.RMappingRG, 0)->click();
    EXPECT_EQ(checkedItem(form.RMappingRG), 1);

    test::SortRig source;
    chooseClass0(source.state, PointType::Ain, {3, 1});
    chooseClass0(source.state, PointType::Bin, {4});
    chooseClass0(source.state, PointType::Counters, {7});
    panel.image = test::imageOf(test::sendImage(source)).image;
    form.OKtoRetrieveButton->click();
    settle();
    form.refresh();
    EXPECT_EQ(checkedItem(form.RMappingRG), 2);
    EXPECT_EQ(rowsOf(form.retrieveList(PointType::Ain)), (QStringList{"0  Meter: Inst: Ild", "1  Meter: Inst: Vs"}));
    EXPECT_EQ(rowsOf(form.retrieveList(PointType::Bin)), QStringList{"0  Lower Motor Control Signal"});
    EXPECT_EQ(rowsOf(form.retrieveList(PointType::Counters)), QStringList{"0\u20131  Elapsed Operations -- 32bit"});
    screenshot(form, "sortform-retrieve.png");

    int editorShown = 0;
    form.classEditorHook = [&] { ++editorShown; };
    form.RokBtn->click();
    EXPECT_EQ(editorShown, 1);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());

    // The next Send shows the retrieved order.
    prepareSend();
    EXPECT_EQ(rowsOf(form.class0List(PointType::Ain)), (QStringList{"0  Meter: Inst: Ild", "1  Meter: Inst: Vs"}));
}

// Cancel, Esc and the close box put back the order the window was shown with; Send
// keeps the order dragged.
TEST_F(SortFormTest, ClosedWithoutSendTheOrderIsRestored)
{
    chooseSome();
    ASSERT_TRUE(ws.document().save(path("order.dnp")));
    const auto shown = state.Class0Order;
    const struct {
        const char* how;
        std::function<void()> close;
        bool kept;
    } cases[] = {
        {"Cancel", [this] { form.ScancelBtn->click(); }, false},
        {"Esc", [this] { QTest::keyClick(&form, Qt::Key_Escape); }, false},
        {"close box", [this] { form.close(); }, false},
        {"Send", [this] { form.OKtoSendButton->click(); }, true},
    };
    for (const auto& c : cases) {
        prepareSend();
        form.show();
        OrderListBox* bin = form.class0List(PointType::Bin);
        pressRow(bin, 0);
        bin->dropAt(0, 2);
        ASSERT_EQ(ws.document().windowCaption(), "order.dnp *") << c.how;
        c.close();
        settle();
        EXPECT_FALSE(form.isVisible()) << c.how;
        EXPECT_EQ(state.Class0Order == shown, !c.kept) << c.how;
        EXPECT_EQ(ws.document().windowCaption(), c.kept ? "order.dnp *" : "order.dnp") << c.how;
    }
}

// Configuration > Class 0 Order: the order lists alone; Move Up and Move Down (and their
// keys) move the chosen point, OK keeps the order, Cancel puts it back.
TEST_F(SortFormTest, TheOrderWindowKeepsTheOrderWithOkAndPutsItBackWithCancel)
{
    chooseSome();
    ASSERT_TRUE(ws.document().save(path("order.dnp")));
    const auto shown = state.Class0Order;
    const auto prepareOrder = [this] { ws.showOrderWindow(SortMode::Order, [this] { form.refresh(); }); };
    prepareOrder();
    form.show();
    EXPECT_EQ(form.windowTitle(), "Class 0 Order");
    for (QWidget* w : std::initializer_list<QWidget*>{form.OrderOkBtn, form.ScancelBtn, form.MoveUpBtn, form.MoveDownBtn,
                                                      form.WordCountLabel, form.class0List(PointType::Bin)})
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form.OKtoSendButton, form.MappingRG, form.VerifyAfterSendBox,
                                                      form.RetrieveProgress, form.RokBtn, form.retrieveList(PointType::Bin)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(form.OrderOkBtn->isDefault());
    EXPECT_EQ(form.MoveUpBtn->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Up));
    EXPECT_EQ(form.MoveDownBtn->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Down));

    OrderListBox* bin = form.class0List(PointType::Bin);
    pressRow(bin, 0);
    form.MoveDownBtn->click();
    form.MoveDownBtn->click();
    form.MoveDownBtn->click();  // at the end already: stays
    EXPECT_EQ(rowsOf(bin), (QStringList{"0  Remote Control", "1  Neutral Signal", "2  Auto Inhibit Status"}));
    EXPECT_EQ(bin->currentRow(), 2);
    form.MoveUpBtn->click();
    EXPECT_EQ(test::sequenceOf(state, PointType::Bin), (std::vector<int>{5, 2, 7}));
    screenshot(form, "sortform-order.png");
    form.ScancelBtn->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(state.Class0Order, shown);
    EXPECT_EQ(ws.document().windowCaption(), "order.dnp");

    prepareOrder();
    form.show();
    pressRow(bin, 1);
    form.MoveUpBtn->click();
    form.OrderOkBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(test::sequenceOf(state, PointType::Bin), (std::vector<int>{5, 2, 7}));
    EXPECT_EQ(ws.document().windowCaption(), "order.dnp *");
}

// The words the configuration's Class 0 points take, marked when the panel cannot take them.
TEST_F(SortFormTest, SendModeShowsTheWordCount)
{
    chooseSome();
    prepareSend();
    form.show();
    // Bin 3, Bout 2 x 2, Ain 5 of which 329 takes 2, Aout 72 (5), 57 (2), 92 (2), 1, Counters 2 x 2.
    EXPECT_EQ(form.WordCountLabel->text(), "27 of 240 words");
    EXPECT_FALSE(form.WordCountLabel->font().bold());
    EXPECT_TRUE(form.WordCountLabel->isVisible());
    form.reject();

    ConfigState s;
    std::vector<int> ain(245);
    for (int i = 0; i < 245; ++i)
        ain[static_cast<std::size_t>(i)] = i;
    chooseClass0(s, PointType::Ain, ain);
    use(s);
    prepareSend();
    form.show();
    EXPECT_EQ(form.WordCountLabel->text(), "245 of 240 words");
    EXPECT_TRUE(form.WordCountLabel->font().bold());
    EXPECT_EQ(form.WordCountLabel->toolTip(), "The Class 0 points take 245 words; the panel takes 240.");
    form.OKtoSendButton->click();
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"There are more than 240 data points chosen, please return to class meu.\n"
                                                       "Class 0 takes 245 of the panel's 240 words; remove points in the Class 0 editor."});
    prepareRetrieve();
    form.show();
    EXPECT_FALSE(form.WordCountLabel->isVisible());
    form.reject();
}

TEST_F(SortFormTest, HelpButtonsOpenTheirTopics)
{
    prepareSend();
    form.show();
    form.SendHelpBtn->click();
    prepareRetrieve();
    form.RetrieveHelpBtn->click();
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].kind, Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 39);
    EXPECT_EQ(prompts.shown[1].topic, 40);
    form.RcancelBtn->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace dnp
