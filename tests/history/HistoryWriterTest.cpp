// The history's writer: a record handed over is answered later through the event loop;
// a store that never answers holds up nothing, and the end of the run says how many
// records it did not take.

#include "history/HistoryWriter.h"

#include "support/SilentServer.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

HistoryRecord record(const QString& device)
{
    return {"2025-01-31T10:41:07Z", "ann", "desk7", "dnpcfg", device, "", "test", "ok", "", "", "", 0, 0.1,
            "The panel answered.", "Line trace of the test:"};
}

TEST(HistoryWriter, AnswersComeThroughTheEventLoop)
{
    QTemporaryDir dir;
    HistoryWriter writer(historyPlace(dir.filePath("history.sqlite"), {}));
    std::vector<bool> answers;
    writer.record(record("/dev/ttyS0"), [&](const Result<void>& recorded) { answers.push_back(recorded.ok()); });
    while (answers.empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(answers, std::vector<bool>{true});
    EXPECT_EQ(writer.records({})->size(), 1u);
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(answers.size(), 1u);
}

// A server that accepts and never says a word (one that hangs): the record is handed over
// and nothing waits for it; the end of the run tells it was not recorded; once the server
// lets go, the answer says why.
TEST(HistoryWriter, AStoreThatNeverAnswersHoldsNothingUp)
{
    test::SilentServer silent(test::SilentServer::Mode::Silent);
    HistoryWriter writer(historyPlace(silent.url(), {}));
    std::vector<QString> answers;
    writer.record(record("/dev/ttyS0"), [&](const Result<void>& recorded) {
        answers.push_back(recorded ? QStringLiteral("ok") : recorded.error().message);
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(answers.empty());
    const Result<void> now = writer.finish(std::chrono::milliseconds(0));
    ASSERT_FALSE(now);
    EXPECT_EQ(now.error().message,
              "1 transfer was not recorded in the history: " + silent.url() + " did not answer within 0 s.");
    silent.stop();
    EXPECT_TRUE(writer.finish());
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].startsWith(silent.url() + ": ")) << answers[0].toStdString();
}

}  // namespace
