// Panel > History...: the records newest first in a table that sorts, the filters the
// window asks the history with, the trace of the selected record, Copy and Export CSV;
// opened from the Panel menu and from the overview's "Last transfer", read again after
// every panel command.

#include "app/gui/HistoryWindow.h"
#include "app/gui/MainWindow.h"
#include "app/gui/OverviewPanel.h"
#include "files/FileTestHelpers.h"
#include "model/HelpTopics.h"
#include "support/FakeLink.h"
#include "support/ScriptedPrompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

HistoryRecord record(const char* time, const char* device, const char* outcome, double seconds)
{
    return {time, "ann", "desk7", "dnp-configure", device, "", "send", outcome, "/srv/a.dnp", "", "", 0, seconds,
            QStringLiteral("%1 on %2").arg(outcome, device), QStringLiteral("Line trace of the send on %1:").arg(device)};
}

struct HistoryWindowTest : ::testing::Test {
    std::vector<HistoryRecord> held = {record("2025-01-31T10:00:02Z", "/dev/ttyS1", "failed", 0.4),
                                       record("2025-01-31T10:00:01Z", "/dev/ttyS0", "ok", 12.5),
                                       record("2025-01-31T10:00:00Z", "/dev/ttyS0", "differs", 3.0)};
    std::vector<HistoryFilter> asked;
    std::vector<std::vector<HistoryRecord>> exported;
    std::optional<QString> failure;
    ChainCheck chain{3, {}};
    HistoryWindow window{{[this](const HistoryFilter& filter) -> Result<std::vector<HistoryRecord>> {
                              asked.push_back(filter);
                              if (failure)
                                  return dnp::failure(*failure);
                              return held;
                          },
                          [this]() -> Result<ChainCheck> { return chain; },
                          [this](const std::vector<HistoryRecord>& records) { exported.push_back(records); },
                          {}}};

    QString cell(int row, int column) const { return window.table->item(row, column)->text(); }
};

TEST_F(HistoryWindowTest, ShowsTheRecordsSortsThemAndShowsTheTraceOfTheSelected)
{
    ASSERT_EQ(window.table->rowCount(), 3);
    EXPECT_EQ(window.summary->text(), "3 records.");
    EXPECT_EQ(window.chainState->text(), "The history's chain is whole: 3 records.");
    chain.broken = "The history was changed: a record before record 3 (2025-01-31T10:00:02Z, send on /dev/ttyS1) was removed.";
    window.RefreshBtn->click();
    EXPECT_EQ(window.chainState->text(), chain.broken);
    EXPECT_EQ(window.windowTitle(), "History");
    QStringList headings;
    for (int c = 0; c < window.table->columnCount(); ++c)
        headings << window.table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings, (QStringList{"Time (UTC)", "Device", "Address", "Action", "Outcome", "Seconds", "Message", "User",
                                     "Host", "Program", "Configuration"}));
    EXPECT_EQ((QStringList{cell(0, 0), cell(0, 1), cell(0, 4), cell(0, 5), cell(0, 6), cell(0, 10)}),
              (QStringList{"2025-01-31T10:00:02Z", "/dev/ttyS1", "failed", "0.4", "failed on /dev/ttyS1", "/srv/a.dnp"}));
    EXPECT_EQ((QStringList{cell(1, 5), cell(2, 5)}), (QStringList{"12.5", "3.0"}));
    // The seconds sort as numbers: 0.4, 3, 12.5.
    window.table->sortItems(5, Qt::AscendingOrder);
    EXPECT_EQ((QStringList{cell(0, 1), cell(1, 4), cell(2, 4)}), (QStringList{"/dev/ttyS1", "differs", "ok"}));
    window.table->selectRow(2);
    EXPECT_EQ(window.traceView->toPlainText(), "Line trace of the send on /dev/ttyS0:");
    window.CopyBtn->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(historyCsv({held[1]})));
    window.ExportBtn->click();
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0], held);
}

TEST_F(HistoryWindowTest, TheFiltersAreAskedOfTheHistory)
{
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].limit, HistoryWindow::kShownRecords);
    // The devices seen are offered.
    EXPECT_NE(window.DeviceFilter->findText("/dev/ttyS0"), -1);
    window.DeviceFilter->setEditText("/dev/ttyS0");
    window.OutcomeFilter->setCurrentIndex(window.OutcomeFilter->findText("differs"));
    window.RefreshBtn->click();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].device, "/dev/ttyS0");
    EXPECT_EQ(asked[1].outcome, "differs");

    held.clear();
    window.refresh();
    EXPECT_EQ(window.summary->text(), "No panel command is recorded that the filter takes.");
    EXPECT_FALSE(window.ExportBtn->isEnabled());
    failure = "/srv/history.sqlite: file is not a database";
    window.refresh();
    EXPECT_EQ(window.summary->text(), "The history cannot be read: /srv/history.sqlite: file is not a database");
}

// --- from the main window ---

struct DeskHistory : ::testing::Test {
    DeskHistory()
    {
        test::writeFileBytes(dir.filePath("DNP.ini"), "[Comm]\nComPort=1\n[History]\nDatabase=history.sqlite\n");
        line.panel = test::simulatedPanel(panel);
        window.runModal = [](QDialog*) { return 0; };
    }
    // A test of the line, run to its end.
    void testPanel()
    {
        bool ended = false;
        const auto c = QObject::connect(&window.desk(), &DeskCommands::panelCommandEnded, [&] { ended = true; });
        window.desk().testPanel();
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }));
        QObject::disconnect(c);
    }

    QTemporaryDir dir;
    test::ScriptedPrompts prompts;
    test::FakeLine line;
    sim::Panel panel{std::nullopt, {}};
    TDNPCfgMain window{&prompts, dir.filePath("DNP.ini"), dir.filePath("desk.ini"), test::fakeLinks(line)};
};

TEST_F(DeskHistory, PanelHistoryAndLastTransferOpenItAndItFollowsEachCommand)
{
    testPanel();
    QAction* menuEntry = window.action("PanelHistory");
    ASSERT_NE(menuEntry, nullptr);
    EXPECT_EQ(menuEntry->text(), "&History...");
    menuEntry->trigger();
    HistoryWindow* history = window.historyWindow();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([history] { return history->table->rowCount() == 1; }));
    EXPECT_EQ(history->table->item(0, 3)->text(), "test");
    EXPECT_EQ(history->table->item(0, 9)->text(), "dnp-configure");
    testPanel();
    EXPECT_TRUE(QTest::qWaitFor([history] { return history->table->rowCount() == 2; }));

    history->close();
    auto* link = window.overview()->findChild<QLabel*>("OverviewHistoryLink");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), "<a href=\"history\">Last transfer</a>");
    emit link->linkActivated("history");
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(window.historyWindow(), history);

    // F1 opens its page.
    history->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([history] { return QApplication::activeWindow() == history; }));
    prompts.shown.clear();
    QTest::keyClick(history, Qt::Key_F1);
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].topic, kHistoryHelpTopic);

    const QString shots = qEnvironmentVariable("DNP_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        window.show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return window.overview()->isVisible(); }));
        history->table->selectRow(0);
        window.grab().save(shots + "/main-window-last-transfer.png");
        history->grab().save(shots + "/history-window.png");
    }
}

}  // namespace
