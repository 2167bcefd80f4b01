// The program's own boxes and file dialogs, answered as a user answers them: the
// export dialog's type gives the file its extension and its format, and the questions
// that throw work away name their buttons and default to Cancel.

#include "support/DocumentProbe.h"
#include "app/gui/MainWindow.h"
#include "app/gui/ProblemsDialog.h"
#include "app/gui/WidgetPrompts.h"
#include "files/FileTestHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

// Runs `answer` on the modal window the program opens next, once it is open.
void answerNextModal(const std::function<void(QWidget*)>& answer)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(modal);
    });
    poll->start(5);
}

// The save dialog answered: the type of file chosen (by its row), then a name typed.
struct TypedName {
    int type;
    QString name;
    QString suggestedAfterType;  // what the dialog's name field shows once the type is chosen
};

void chooseTypeAndName(QWidget* modal, const TypedName& typed)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(types, nullptr);
    ASSERT_NE(name, nullptr);
    types->setFocus();
    while (types->currentIndex() < typed.type)
        QTest::keyClick(types, Qt::Key_Down);  // as a user steps through the types
    EXPECT_EQ(name->text(), typed.suggestedAfterType);
    name->setText(typed.name);
    QMetaObject::invokeMethod(dialog, "accept");  // the Save button
}

struct WidgetPromptsTest : ::testing::Test {
    QTemporaryDir dir;
    WidgetPrompts prompts{[] { return nullptr; }};
};

// The window's File > Export Point List with each type, through the real dialog.
TEST_F(WidgetPromptsTest, TheWindowExportsTheChosenType)
{
    TDNPCfgMain window(nullptr, dir.filePath("DNP.ini"), dir.filePath("desk.ini"));
    ConfigState s;
    test::setClass0(s, PointType::Bin, {3, 1});
    inspect(window.desk().document()).adopt(configFileDataOf(s));
    window.desk().document().clock = [] { return test::fixedNow(); };
    const struct {
        TypedName typed;
        const char* file;
        PointListFormat format;
    } cases[] = {
        {{1, "profile", "new.xml"}, "profile.xml", PointListFormat::Xml},
        {{0, "points", "new.csv"}, "points.csv", PointListFormat::Csv},
        {{0, "points.txt", "new.csv"}, "points.txt", PointListFormat::Csv},
        {{1, "list.csv", "new.xml"}, "list.csv", PointListFormat::Csv},  // a name's own extension stays
    };
    for (const auto& c : cases) {
        answerNextModal([&](QWidget* modal) {
            const QString folder = dir.path();
            qobject_cast<QFileDialog*>(modal)->setDirectory(folder);
            chooseTypeAndName(modal, c.typed);
        });
        window.action("FileExport1")->trigger();
        EXPECT_EQ(test::readFileBytes(dir.filePath(c.file)), window.desk().document().exportPointList(c.format)->bytes) << c.file;
    }
}

// What a message box showed: its buttons (Cancel as "Cancel"), the default one, its icon.
struct BoxSeen {
    QStringList buttons;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

BoxSeen seen(QMessageBox* box)
{
    // With DNP_SCREENSHOT_DIR set, a picture of the box for a look by eye.
    if (const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR"); !shots.isEmpty())
        box->grab().save(shots + "/question-" + box->windowTitle().replace(' ', '-') + ".png");
    const auto name = [box](QAbstractButton* b) {
        return b == box->button(QMessageBox::Cancel) ? QString("Cancel") : b->text();
    };
    BoxSeen s;
    for (QAbstractButton* b : box->buttons())
        s.buttons << name(b);
    s.buttons.sort();
    s.defaultButton = box->defaultButton() ? name(box->defaultButton()) : QString();
    s.icon = box->icon();
    return s;
}

// The next message box seen and answered: a button pressed (one of two), or "" for Enter.
void answerWith(const char* press, BoxSeen& box)
{
    answerNextModal([press, &box](QWidget* modal) {
        auto* message = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(message, nullptr);
        box = seen(message);
        if (!*press) {
            QTest::keyClick(message, Qt::Key_Return);
            return;
        }
        for (QAbstractButton* b : message->buttons())
            if ((QString(press) == "Cancel") == (b == message->button(QMessageBox::Cancel)))
                b->click();
    });
}

// A question that throws work away: its button says what it does, Cancel is the default.
TEST_F(WidgetPromptsTest, QuestionsThatThrowWorkAwayNameTheirButtonsAndDefaultToCancel)
{
    const struct {
        const char* press;  // the button, or "" for Enter
        bool answer;
    } cases[] = {{"Clear", true}, {"Cancel", false}, {"", false}};
    for (const auto& c : cases) {
        BoxSeen box;
        answerWith(c.press, box);
        EXPECT_EQ(prompts.confirmDiscard("Clear", kClearAllText, "Clear"), c.answer) << c.press;
        EXPECT_EQ(box.buttons, (QStringList{"Cancel", "Clear"}));
        EXPECT_EQ(box.defaultButton, "Cancel");
        EXPECT_EQ(box.icon, QMessageBox::Question);
    }

    BoxSeen box;
    answerNextModal([&](QWidget* modal) {
        auto* message = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(message, nullptr);
        box = seen(message);
        QTest::keyClick(message, Qt::Key_Return);
    });
    EXPECT_EQ(prompts.askSaveChanges("Save changes to new.dnp?"), SaveChoice::Cancel);
    EXPECT_EQ(box.defaultButton, "Cancel");
    EXPECT_EQ(box.icon, QMessageBox::Question);
    EXPECT_EQ(box.buttons.size(), 3);
}

// A server's certificate trusted only by a choice: Cancel is the default.
TEST_F(WidgetPromptsTest, ACertificateIsTrustedOnlyByItsButton)
{
    const struct {
        const char* press;
        bool answer;
    } cases[] = {{"Trust this certificate", true}, {"Cancel", false}, {"", false}};
    for (const auto& c : cases) {
        BoxSeen box;
        answerWith(c.press, box);
        EXPECT_EQ(prompts.trustCertificate("tls://127.0.0.1:4001: why", "Subject: CN=127.0.0.1"), c.answer) << c.press;
        EXPECT_EQ(box.buttons, (QStringList{"Cancel", "Trust this certificate"}));
        EXPECT_EQ(box.defaultButton, "Cancel");
        EXPECT_EQ(box.icon, QMessageBox::Warning);
    }
}

}  // namespace

// "Stop it and exit?" withdrawn while it is shown closes as Cancel does.
TEST_F(WidgetPromptsTest, AWithdrawnQuestionClosesAsCancel)
{
    std::optional<QString> shown;
    answerNextModal([&](QWidget* modal) {
        shown = qobject_cast<QMessageBox*>(modal) ? qobject_cast<QMessageBox*>(modal)->text() : QString();
        prompts.withdrawQuestion();
    });
    EXPECT_FALSE(prompts.confirm("Exit", "A transfer with the panel is under way. Stop it and exit?"));
    EXPECT_EQ(shown, "A transfer with the panel is under way. Stop it and exit?");
    prompts.withdrawQuestion();  // nothing shown: nothing happens
}

// A verify's differences come up as a table under the verify's heading.
TEST_F(WidgetPromptsTest, TheDifferencesOfAVerifyAreATable)
{
    ConfigState file;
    test::setClass0(file, PointType::Bin, {3});
    QStringList seen;
    answerNextModal([&](QWidget* modal) {
        seen << modal->windowTitle() << modal->findChild<QLabel*>()->text();
        auto* table = modal->findChild<QTableWidget*>("DifferencesTable");
        seen << QString::number(table->rowCount()) << table->item(0, 0)->text() << table->item(0, 1)->text()
             << modal->findChild<QLabel*>("DifferenceCount")->text();
        qobject_cast<QDialog*>(modal)->accept();
    });
    prompts.showDifferences("The panel does not hold a.dnp. Differences (A: a.dnp, B: the panel):",
                            compareConfigurations(file, ConfigState()));
    // The type spelled out, the differences counted.
    EXPECT_EQ(seen, (QStringList{"Verify Panel", "The panel does not hold a.dnp. Differences (A: a.dnp, B: the panel):",
                                 "1", differenceCells(compareConfigurations(file, ConfigState())[0])[0], "Binary Input",
                                 "1 difference"}));
}

// A file's problems come up in a window that can be made larger, one a line, to copy.
TEST_F(WidgetPromptsTest, ProblemsAreAListToCopy)
{
    QStringList seen;
    answerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<ProblemsDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen << dialog->heading->text() << QString::number(dialog->list->count());
        EXPECT_TRUE(dialog->isSizeGripEnabled());
        dialog->list->item(1)->setSelected(true);
        seen << dialog->text(true);
        dialog->CopyAllBtn->click();
        dialog->CloseBtn->click();
    });
    prompts.showProblems("The point list cannot be read.\n/home/eng/points.csv:", {"line 3: unknown point type 'X'", "line 9: no index"});
    EXPECT_EQ(seen, (QStringList{"The point list cannot be read.\n/home/eng/points.csv:", "2", "line 9: no index\n"}));
    EXPECT_EQ(QApplication::clipboard()->text(),
              "The point list cannot be read.\n/home/eng/points.csv:\nline 3: unknown point type 'X'\nline 9: no index\n");
}
