// Every panel command of the workspace recorded as it ends, never waited for; a record
// that cannot be written told after the outcome, which stands (not at all as the program
// closes); [History] Required=1 refusing a command before its first request; a history
// that is off; Export History's file.

#include "app/gui/DeskCommands.h"

#include "support/PostgresServer.h"
#include "support/SentImages.h"
#include "support/DeskRig.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

class DeskRecords : public ::testing::Test, public DeskRig {
protected:
    DeskRecords()
    {
        QObject::connect(&ws.history(), &PanelHistory::recorded, [this](const PanelOutcome&, const QString& notRecorded) {
            historyWarning = notRecorded;
            ++answers;
        });
    }
    // DNP.ini with COM 1 chosen and the history as given.
    void historySettings(const QByteArray& history)
    {
        writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\n[History]\n" + history);
    }
    QString store() const { return path("history.sqlite"); }
    void corruptStore() const { writeFileBytes(store(), QByteArray(4096, 'x')); }
    std::vector<HistoryRecord> recorded()
    {
        EXPECT_TRUE(ws.history().finish());
        const Result<std::vector<HistoryRecord>> records = History(historyPlace(store(), {})).records({});
        EXPECT_TRUE(records) << records.error().message.toStdString();
        return records ? *records : std::vector<HistoryRecord>{};
    }
    QString notRecorded() const { return kNotRecordedText + store() + ": file is not a database"; }

    QString historyWarning;  // what the history's last answer said
    int answers = 0;
};

TEST_F(DeskRecords, EveryPanelCommandIsRecordedAsItEnds)
{
    historySettings("Database=history.sqlite\n");
    use(richConfiguration());
    ASSERT_TRUE(ws.document().save(path("feeder.dnp")));
    ASSERT_TRUE(send(true));
    ASSERT_TRUE(run([&] { ws.verifyPanel(); }));
    ASSERT_TRUE(retrieve());
    ASSERT_TRUE(run([&] { ws.testPanel(); }));

    const std::vector<HistoryRecord> records = recorded();
    ASSERT_EQ(records.size(), 4u);
    const QString sent = imageSha256(test::sentImageOf(richConfiguration()));
    struct Expected {
        const char* action;
        QString config;
        QString image;
        QString panel;
        const char* message;
    };
    // Newest first: all ended at the rig's fixed moment, so in the order written, last first.
    const Expected expected[] = {
        {"test", "", "", "", "The panel answered."},
        {"retrieve", "", "", sent, "Retrieving communication status: OK.."},
        {"verify", path("feeder.dnp"), sent, sent, "The panel holds feeder.dnp."},
        {"send", path("feeder.dnp"), sent, sent,
         "Sending communication status: OK.. The panel holds the configuration that was sent."},
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(expected[i].action);
        const HistoryRecord& r = records[i];
        EXPECT_EQ(r.time, fixedNow().toUTC().toString(Qt::ISODate));
        EXPECT_EQ(r.program, "dnp-configure");
        EXPECT_EQ(r.device, "/dev/ttyS0");
        EXPECT_EQ(r.address, "");
        EXPECT_EQ(r.action, expected[i].action);
        EXPECT_EQ(r.outcome, "ok");
        EXPECT_EQ(r.config, expected[i].config);
        EXPECT_EQ(r.imageSha256, expected[i].image);
        EXPECT_EQ(r.panelSha256, expected[i].panel);
        EXPECT_EQ(r.message, expected[i].message);
        EXPECT_EQ(r.readBack, r.action == "send" ? "yes" : "");
        EXPECT_TRUE(r.trace.startsWith(QStringLiteral("Line trace of the %1 on /dev/ttyS0 at 9600 baud:\n").arg(r.action)));
    }
    EXPECT_EQ(historyWarning, "");
    for (const Shown& s : prompts.shown)
        EXPECT_NE(s.kind, Shown::Error) << s.text.toStdString();
}

TEST_F(DeskRecords, AnUnrecordedCommandKeepsItsOutcomeAndTellsWhyAfterIt)
{
    historySettings("Database=history.sqlite\n");
    corruptStore();
    ASSERT_TRUE(run([&] { ws.testPanel(); }));
    EXPECT_TRUE(ws.session().lastOutcome()->ok());
    EXPECT_TRUE(ws.history().finish());
    EXPECT_EQ(historyWarning, notRecorded());
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].kind, Shown::Information);
    EXPECT_EQ(prompts.shown[0].text, kPanelAnsweredText);
    EXPECT_EQ(prompts.shown[1].kind, Shown::Error);
    EXPECT_EQ(prompts.shown[1].text, notRecorded());
    EXPECT_EQ(readFileBytes(store()), QByteArray(4096, 'x'));
}

TEST_F(DeskRecords, RequiredRefusesACommandTheHistoryCannotRecordBeforeItsFirstRequest)
{
    struct Case {
        const char* what;
        QString store;  // as --history names it
        QString why;
    };
    const Case cases[] = {
        {"a corrupt store", store(), store() + ": file is not a database"},
        {"a history that is off", "off", "the history is off"},
        {"a URL that does not parse", "postgresql://db.example/h",
         "the history postgresql://db.example/h does not parse: it names no user (postgresql://USER@HOST:PORT/DBNAME)"},
    };
    corruptStore();
    historySettings("Required=1\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ws.history().overrideStore(c.store);
        prompts.shown.clear();
        EXPECT_FALSE(run([&] { ws.testPanel(); }));
        const QString refusal =
            "The transfer was not started: the history, which the settings require, cannot record it.\n" + c.why;
        EXPECT_EQ(ws.session().lastOutcome()->message, refusal);
        EXPECT_TRUE(ws.session().lastOutcome()->trace.empty());
        EXPECT_TRUE(link.sent.isEmpty());
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, refusal);
    }
    // A store that takes the record: the command runs.
    ws.history().overrideStore(path("good.sqlite"));
    EXPECT_TRUE(run([&] { ws.testPanel(); }));
    EXPECT_TRUE(ws.history().finish());
    EXPECT_EQ(History(historyPlace(path("good.sqlite"), {})).records({})->size(), 1u);
}

// A command that ends as the program closes tells nothing, its warning kept.
TEST_F(DeskRecords, ACommandEndingAsTheProgramClosesShowsNoWarning)
{
    historySettings("Database=history.sqlite\n");
    corruptStore();
    ws.testPanel();
    ASSERT_TRUE(ws.transferRunning());
    prompts.whileConfirming = [&] {
        while (ws.transferRunning())
            QCoreApplication::processEvents();
    };
    EXPECT_TRUE(ws.mayExit());
    EXPECT_TRUE(ws.history().finish());
    EXPECT_EQ(historyWarning, notRecorded());
    EXPECT_EQ(prompts.texts(), (QStringList{kExitDuringTransferText, {}}));
}

// A store that accepts and never answers (a server that hangs): the command ends and
// tells its outcome while its record waits; the end of the run says it was not recorded;
// once the server lets go, the answer says why.
TEST_F(DeskRecords, AStoreThatNeverAnswersCostsTheCommandNothing)
{
    auto silent = std::make_unique<QTcpServer>();
    ASSERT_TRUE(silent->listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("postgresql://dnp@127.0.0.1:%1/history").arg(silent->serverPort());
    historySettings("Database=" + url.toUtf8() + "\n");
    ASSERT_TRUE(run([&] { ws.testPanel(); }));
    EXPECT_EQ(prompts.texts(), QStringList{kPanelAnsweredText});
    EXPECT_EQ(answers, 0);
    EXPECT_EQ(ws.history().finish(std::chrono::milliseconds(0)).error().message,
              "1 transfer was not recorded in the history: " + url + " did not answer within 0 s.");
    silent.reset();  // its connections closed
    EXPECT_TRUE(ws.history().finish());
    EXPECT_EQ(answers, 1);
    EXPECT_TRUE(historyWarning.startsWith(kNotRecordedText + url + ": ")) << historyWarning.toStdString();
}

// A PostgreSQL user who may only read: refused before the first request.
TEST_F(DeskRecords, RequiredRefusesAUserWhoMayOnlyRead)
{
    test::PostgresServer server;
    if (test::PostgresServer::programFolder().isEmpty())
        GTEST_SKIP() << "the PostgreSQL server's programs are not installed";
    ASSERT_EQ(server.start(dir.path()), "");
    ASSERT_TRUE(History(historyPlace(server.url(), {})).check());
    ASSERT_EQ(server.addUser("reader", {"GRANT SELECT ON dnp_history, dnp_panels, dnp_history_schema TO NAME"}), "");
    historySettings("Database=" + server.url("postgres", "reader").toUtf8() + "\nRequired=1\n");
    EXPECT_FALSE(run([&] { ws.testPanel(); }));
    EXPECT_EQ(ws.session().lastOutcome()->message, "The transfer was not started: the history, which the settings require, cannot "
                                         "record it.\n" + server.url("postgres", "reader") + ": the user may not add records");
    EXPECT_TRUE(link.sent.isEmpty());
}

// Export History: the records shown, one row each, no trace, offered as history.csv.
TEST_F(DeskRecords, ExportHistoryWritesTheRecordsShown)
{
    const HistoryRecord shown{"2025-01-31T10:41:07Z", "ann", "desk7", "dnp-configure", "/dev/ttyS0", "", "send", "ok",
                              "", "", "", 0, 1.7, "Sent.", "Line trace of the send:\n  frames", "no"};
    prompts.fileAnswers = {path("out.csv")};
    ASSERT_TRUE(ws.exportHistoryWithDialog({shown, shown}));
    EXPECT_EQ(prompts.shown.value(0).text, "history.csv");
    EXPECT_EQ(readFileBytes(path("out.csv")), historyCsv({shown, shown}));
    EXPECT_EQ(historyCsv({shown}).count("\r\n"), 2);
    EXPECT_FALSE(historyCsv({shown}).contains("trace"));
}

TEST_F(DeskRecords, AHistoryThatIsOffRecordsNothingAndSaysNothing)
{
    historySettings("Database=off\n");
    ASSERT_TRUE(run([&] { ws.testPanel(); }));
    EXPECT_EQ(historyWarning, "");
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"DNP.ini"});
}

}  // namespace
