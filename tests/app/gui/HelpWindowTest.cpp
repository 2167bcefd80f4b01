#include "app/gui/HelpWindow.h"
#include "comm/gui/CommForm.h"
#include "files/ReportHeader.h"
#include "model/HelpTopics.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

QString pageText(const QString& file)
{
    QFile f(QStringLiteral(":/help/") + file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Whether a key typed through the window system reaches the help window: a window
// blocked by a modal dialog gets none.
bool takesKeys(THelpWindow& help)
{
    help.findField()->clear();
    help.findField()->setFocus();
    QTest::keyClick(help.windowHandle(), Qt::Key_Z);
    return help.findField()->text() == QLatin1String("z");
}

void showActive(QWidget& w)
{
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&w] { return QApplication::activeWindow() == &w; }));
}

TEST(HelpPages, EveryTopicAWindowOpensHasAPageOfItsOwn)
{
    const int topics[] = {kHelpContents,       classHelpTopic(0),      classHelpTopic(1),
                          classHelpTopic(2),   classHelpTopic(3),      kSendHelpTopic,
                          kRetrieveHelpTopic,  kReportHeaderHelpTopic, TcommForm::kHelpTopic};
    EXPECT_EQ(QList<int>(std::begin(topics), std::end(topics)), (QList<int>{0, 19, 36, 37, 38, 39, 40, 42, 108}));
    QStringList files;
    for (int topic : topics) {
        const HelpPage& page = helpPageForTopic(topic);
        EXPECT_EQ(page.topic, topic);
        EXPECT_FALSE(pageText(QString::fromLatin1(page.file)).isEmpty()) << page.file;
        files << QString::fromLatin1(page.file);
    }
    files.removeDuplicates();
    EXPECT_EQ(files.size(), static_cast<qsizetype>(std::size(topics)));
}

// Every page of the resources is in the table under its own <title>, and every link of
// every page (anchors included) leads to a page and a place that exist.
TEST(HelpPages, EveryPageIsListedAndEveryLinkResolves)
{
    QStringList listed;
    for (const HelpPage& page : kHelpPages)
        listed << QString::fromLatin1(page.file);
    QStringList present = QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
    listed.sort();
    present.sort();
    EXPECT_EQ(present, listed);

    static const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    int links = 0;
    for (const HelpPage& page : kHelpPages) {
        const QString file = QString::fromLatin1(page.file);
        const QString text = pageText(file);
        EXPECT_TRUE(text.contains(QStringLiteral("<title>%1</title>").arg(QString::fromUtf8(page.title)))) << page.file;
        for (auto it = href.globalMatch(text); it.hasNext();) {
            const QUrl target = helpPageUrl(file).resolved(QUrl(it.next().captured(1)));
            const QString targetText = pageText(target.fileName());
            ++links;
            EXPECT_FALSE(targetText.isEmpty()) << page.file << " links to " << target.toString().toStdString();
            if (target.hasFragment()) {
                EXPECT_TRUE(targetText.contains(QStringLiteral("name=\"%1\"").arg(target.fragment())))
                    << page.file << " links to " << target.toString().toStdString();
            }
        }
    }
    EXPECT_GT(links, 100);
}

TEST(HelpWindow, ShowsATopicsPageAndGoesBackAndForward)
{
    THelpWindow help;
    help.showTopic(kSendHelpTopic);
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.currentPage(), "send.html");
    EXPECT_EQ(help.contentsList()->currentItem()->text(0), "Send Configuration");
    EXPECT_EQ(help.windowTitle(), "Send Configuration - DNP Configure Help");
    EXPECT_TRUE(help.browser()->toPlainText().contains("There are more than 240 data points chosen"));

    help.showTopic(kCommSettingsHelpTopic);
    QTreeWidget* contents = help.contentsList();
    QTreeWidgetItem* simulator =
        contents->findItems("Use the panel simulator", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    ASSERT_NE(simulator, nullptr);
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, contents->visualItemRect(simulator).center());
    EXPECT_EQ(help.currentPage(), "task-simulator.html");

    const auto press = [](QToolButton* b) { QTest::mouseClick(b, Qt::LeftButton); };
    EXPECT_FALSE(help.forwardButton()->isEnabled());
    press(help.backButton());
    EXPECT_EQ(help.currentPage(), "communication-settings.html");
    EXPECT_EQ(contents->currentItem()->text(0), "Communication Settings");
    press(help.backButton());
    EXPECT_EQ(help.currentPage(), "send.html");
    press(help.forwardButton());
    EXPECT_EQ(help.currentPage(), "communication-settings.html");
    EXPECT_TRUE(help.forwardButton()->isEnabled());
    help.showTopic(kHelpContents);
    EXPECT_EQ(help.currentPage(), "index.html");
    EXPECT_EQ(help.windowTitle(), "DNP Configure Help");
}

TEST(HelpWindow, CtrlFFindsInThePageAndGoesRound)
{
    THelpWindow help;
    help.showPage("class1.html");
    showActive(help);
    QTest::keyClick(&help, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(help.findField()->hasFocus());

    // "Data Object" stands in three messages of the page.
    QTest::keyClicks(help.findField(), "data object");
    const int first = help.browser()->textCursor().selectionStart();
    EXPECT_EQ(help.browser()->textCursor().selectedText(), "Data Object");
    QList<int> places{first};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(help.findField(), Qt::Key_Return);
        places << help.browser()->textCursor().selectionStart();
    }
    EXPECT_LT(places[0], places[1]);
    EXPECT_LT(places[1], places[2]);
    EXPECT_EQ(places[3], first);  // round to the first place again
    EXPECT_TRUE(help.findPrevious());
    EXPECT_EQ(help.browser()->textCursor().selectionStart(), places[2]);
    EXPECT_TRUE(help.findStatus()->text().isEmpty());

    help.findField()->setText("no such words here");
    EXPECT_FALSE(help.findNext());
    EXPECT_EQ(help.findStatus()->text(), "Not found");
}

// Esc and Ctrl+W close the window, from the page or from the find field.
TEST(HelpWindow, EscAndCtrlWCloseTheWindow)
{
    const struct {
        const char* key;
        QKeyCombination press;
        bool fromFindField;
    } cases[] = {{"Esc", QKeyCombination(Qt::Key_Escape), false},
                 {"Ctrl+W", Qt::CTRL | Qt::Key_W, false},
                 {"Esc in the find field", QKeyCombination(Qt::Key_Escape), true}};
    THelpWindow help;
    for (const auto& c : cases) {
        showActive(help);
        ASSERT_TRUE(help.isVisible());
        QWidget* target = c.fromFindField ? static_cast<QWidget*>(help.findField()) : help.browser();
        target->setFocus();
        QTest::keyClick(target, c.press.key(), c.press.keyboardModifiers());
        EXPECT_FALSE(help.isVisible()) << c.key;
    }
}

TEST(HelpWindow, StaysUsableWhileModalDialogsAreOpen)
{
    QWidget main;
    main.show();
    QDialog editor(&main);
    editor.setModal(true);
    editor.show();

    // Asked for from a modal dialog: it comes up in front of it and takes input, while
    // the program's own boxes still appear over the dialog.
    THelpWindow help;
    help.showTopic(kClass1HelpTopic);
    EXPECT_TRUE(takesKeys(help));
    EXPECT_EQ(activeDialog(), &editor);

    // A dialog opened while help is open does not take it away.
    QDialog settings(&main);
    settings.setModal(true);
    settings.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return takesKeys(help); }));
    EXPECT_EQ(activeDialog(), &settings);
    settings.hide();
    EXPECT_EQ(activeDialog(), &editor);
    EXPECT_TRUE(takesKeys(help));
    EXPECT_EQ(help.currentPage(), "class1.html");
}

}  // namespace

namespace {

// With DNP_SCREENSHOT_DIR set, saves pictures of the help window for a look by eye.
TEST(HelpWindow, Screenshots)
{
    const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "DNP_SCREENSHOT_DIR not set";
    THelpWindow help;
    help.showTopic(kHelpContents);
    QTest::qWait(200);
    help.grab().save(shots + "/help-contents.png");
    help.showTopic(kClass1HelpTopic);
    help.findField()->setText("Dead Band");
    help.findNext();
    QTest::qWait(200);
    help.grab().save(shots + "/help-class1.png");
    help.showTopic(kSendHelpTopic);
    help.browser()->scrollToAnchor("messages");
    QTest::qWait(200);
    help.grab().save(shots + "/help-send-messages.png");
}

}  // namespace
