// The fleet runner: the jobs file read and refused, the results table, and jobs run over
// lines as fast as memory (the simulator's panel in-process): one device's jobs in turn,
// at most N at once, a verify that counts the words, and a stop that cancels what runs.

#include "app/Fleet.h"
#include "history/HistoryStore.h"

#include "comm/ConfigImage.h"
#include "files/ConfigFile.h"
#include "support/FakeLink.h"
#include "support/SentImages.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace dnp;

namespace {

constexpr int kPatienceMs = 60000;
const QString kHeader = QStringLiteral("name,device,address,action,config\n");

ConfigState sampleState(int firstAin)
{
    return test::analogInputs(firstAin, 4);
}

struct FleetFiles : test::FleetFolder {};

// --- the jobs file ---

struct Refusal {
    const char* what;
    const char* lines;    // after the header (the header itself when `header` is set)
    const char* message;  // "DIR/" stands for the test's folder
    bool header = false;
};

// The link columns, read by the fleet; the rest of the jobs file's refusals are those
// of files/JobsFile, which its own test lists.
const Refusal kRefusals[] = {
    {"an address too high", "p1,/dev/a,256,send,good.dnp\n",
     "line 2: address takes a whole number from 0 to 255"},
    {"an address that is no number", "p1,/dev/a,-1,send,good.dnp\n",
     "line 2: address takes a whole number from 0 to 255"},
    {"several bad lines", "p1,/dev/a,,reboot,good.dnp\np2,/dev/b,,send,good.dnp\np3,,x,send,good.dnp\n",
     "line 2: unknown action 'reboot'\nline 4: the device is empty\n"
     "line 4: address takes a whole number from 0 to 255"},
    {"a bad baud rate and parity",
     "name,device,address,action,config,baud,parity\np1,/dev/a,,send,good.dnp,1200,\np2,/dev/b,,send,good.dnp,,odd\n",
     "line 2: baud takes 19200, 9600 or 4800\n"
     "line 3: parity takes none or even",
     true},
};

TEST_F(FleetFiles, AJobsFileThatCannotBeRunIsRefusedWithEveryBadLine)
{
    writeConfig("good.dnp", sampleState(0));
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.what);
        const QString text = (r.header ? QString() : kHeader) + QString::fromUtf8(r.lines);
        const Result<std::vector<FleetJob>> jobs = loadJobs(write("jobs.csv", text.toUtf8()));
        ASSERT_FALSE(jobs);
        EXPECT_EQ(jobs.error().message, QString::fromUtf8(r.message).replace("DIR/", dir.path() + "/"));
    }
}

TEST_F(FleetFiles, ColumnsAreFoundByNameAndFilesFromTheJobsFolder)
{
    const QByteArray text = "\xEF\xBB\xBF"
                            "Config,Action,note,Address,Device,Name,Baud,Parity\r\n"
                            "a.dnp,send+verify,\"first, with a comma\",0x07,tcp://127.0.0.1:4001,\"panel \"\"A\"\"\",4800,Even\r\n"
                            "\r\n"
                            "/abs/out.dnp,Retrieve,,,/dev/ttyS0,panel B,,\r\n";
    const Result<std::vector<FleetJob>> jobs = readJobs(QString::fromUtf8(text), "jobs");
    ASSERT_TRUE(jobs) << jobs.error().message.toStdString();
    ASSERT_EQ(jobs->size(), 2u);
    const FleetJob& a = jobs->at(0);
    EXPECT_EQ(a.line, 2);
    EXPECT_EQ(a.name, "panel \"A\"");
    EXPECT_EQ(a.device, "tcp://127.0.0.1:4001");
    EXPECT_EQ(a.address, "0x07");  // the address as --address and DNP.ini take it
    EXPECT_EQ(a.action, FleetAction::SendVerify);
    EXPECT_EQ(a.config, "a.dnp");
    EXPECT_EQ(a.configPath, "jobs/a.dnp");
    EXPECT_EQ(a.link.device, "tcp://127.0.0.1:4001");
    EXPECT_EQ(a.link.address, 7);
    EXPECT_EQ(a.link.baud, 4800);
    EXPECT_EQ(a.link.evenParity, true);
    const FleetJob& b = jobs->at(1);
    EXPECT_EQ(b.line, 4);
    EXPECT_EQ(b.action, FleetAction::Retrieve);
    EXPECT_EQ(b.configPath, "/abs/out.dnp");
    EXPECT_FALSE(b.link.address);
    EXPECT_FALSE(b.link.baud);
    EXPECT_FALSE(b.link.evenParity);
}

// --- results ---

TEST(FleetResults, OneRowPerJobInFileOrder)
{
    std::vector<FleetJob> jobs(3);
    jobs[0] = {2, "p1", "tcp://127.0.0.1:4001", "", FleetAction::SendVerify, "a.dnp", "a.dnp", {}};
    jobs[1] = {3, "p2, east", "/dev/ttyS0", "3", FleetAction::Verify, "b.dnp", "b.dnp", {}};
    jobs[2] = {4, "=HYPERLINK(\"http://x\")", "/dev/ttyS1", "", FleetAction::Retrieve, "c.dnp", "c.dnp", {}};
    const std::vector<JobResult> results = {
        {PanelResult::Ok, "The panel holds the configuration that was sent.", 1.66},
        {PanelResult::Failed, "The panel does not hold \"b.dnp\": 2 words differ.", 0.84},
        {},
    };
    EXPECT_EQ(fleetResultsCsv(jobs, results),
              "name,device,address,action,outcome,message,seconds\r\n"
              "p1,tcp://127.0.0.1:4001,,send+verify,ok,The panel holds the configuration that was sent.,1.7\r\n"
              "\"p2, east\",/dev/ttyS0,3,verify,failed,\"The panel does not hold \"\"b.dnp\"\": 2 words differ.\",0.8\r\n"
              "\"'=HYPERLINK(\"\"http://x\"\")\",/dev/ttyS1,,retrieve,cancelled,Not started: the fleet was stopped.,0.0\r\n");
    EXPECT_EQ(finishedJobLine(12, 64, jobs[0], results[0]), "[12/64] p1 send+verify ok 1.7 s");
    EXPECT_EQ(finishedJobLine(13, 64, jobs[1], results[1]),
              "[13/64] p2, east verify failed 0.8 s: The panel does not hold \"b.dnp\": 2 words differ.");
}

// --- running ---

// Lines as fast as memory, one per device, each with the simulator's panel; the links
// the fleet makes are counted as they open.
struct FleetRun : FleetFiles {
    struct Device {
        test::FakeLine line;
        sim::Panel panel{std::nullopt, {}};
        bool silent = false;
    };

    FleetRun() { write("DNP.ini", "[Comm]\r\nBaud=1\r\n"); }

    Device& device(const QString& name)
    {
        auto& d = devices[name];
        if (!d) {
            d = std::make_unique<Device>();
            Device& made = *d;
            d->line.panel = [&made](const QByteArray& frame) {
                return made.silent ? test::FakeReply{{}, true} : test::simulatedPanel(made.panel)(frame);
            };
        }
        return *d;
    }

    LinkFactory links()
    {
        return [this](const LinkTarget& target) -> std::unique_ptr<Link> {
            Device& d = device(target.device);
            // A device's jobs never overlap.
            EXPECT_FALSE(d.line.opened) << target.device.toStdString();
            if (fleet)
                mostRunning = std::max(mostRunning, fleet->runningCount());
            linksMade << target.device;
            return std::make_unique<test::FakeLink>(target, d.line);
        };
    }

    std::vector<FleetJob> jobs(const QString& lines)
    {
        const Result<std::vector<FleetJob>> read = readJobs(kHeader + lines, dir.path());
        EXPECT_TRUE(read) << read.error().message.toStdString();
        return read ? *read : std::vector<FleetJob>{};
    }

    // Runs the fleet to its end; `onFinished` hears each job's end.
    void run(const QString& lines, int parallel, LineTiming timing = test::kFakeLineTiming,
             const std::function<void(int)>& onFinished = {})
    {
        fleet = std::make_unique<Fleet>(jobs(lines), FleetSetup{path("DNP.ini"), parallel, links(), timing});
        QEventLoop loop;
        bool ended = false;
        QObject::connect(fleet.get(), &Fleet::jobFinished, &loop, [&](int index) {
            finishedOrder.push_back(index);
            if (onFinished)
                onFinished(index);
        });
        QObject::connect(fleet.get(), &Fleet::finished, &loop, [&] {
            ended = true;
            loop.quit();
        });
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        const Result<void> started = fleet->start();
        ASSERT_TRUE(started) << started.error().message.toStdString();
        loop.exec();
        EXPECT_TRUE(ended) << "the fleet did not end";
        // The workspaces of the last jobs go.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    const JobResult& result(int index) const { return fleet->results().at(static_cast<std::size_t>(index)); }

    std::map<QString, std::unique_ptr<Device>> devices;
    std::unique_ptr<Fleet> fleet;
    std::vector<int> finishedOrder;
    QStringList linksMade;
    int mostRunning = 0;
};

TEST_F(FleetRun, OneDevicesJobsRunInTurnAndAtMostNAtOnce)
{
    writeConfig("a.dnp", sampleState(0));
    run("a1,/dev/a,,send,a.dnp\n"
        "a2,/dev/a,,send+verify,a.dnp\n"
        "b1,/dev/b,,send,a.dnp\n"
        "c1,/dev/c,,send,a.dnp\n"
        "d1,/dev/d,,send,a.dnp\n"
        "a3,/dev/a,,verify,a.dnp\n",
        2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(result(i).outcome, PanelResult::Ok) << i << " " << result(i).message.toStdString();
    EXPECT_TRUE(fleet->allSucceeded());
    EXPECT_EQ(fleet->finishedCount(), 6);
    EXPECT_EQ(mostRunning, 2);
    // Eleven links: each send is read back.
    EXPECT_EQ(linksMade.size(), 11);
    // The first two jobs that may run start first; a's jobs end in file order.
    EXPECT_EQ(linksMade.mid(0, 2), (QStringList{"/dev/a", "/dev/b"}));
    std::vector<int> onA;
    for (int index : finishedOrder)
        if (fleet->jobs()[static_cast<std::size_t>(index)].device == "/dev/a")
            onA.push_back(index);
    EXPECT_EQ(onA, (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(result(0).message, "Sending communication status: OK.. The panel holds the configuration that was sent.");
    EXPECT_EQ(result(1).message, result(0).message);
    EXPECT_EQ(result(5).message, "The panel holds a.dnp.");
}

// A send job reads the panel back as the settings say; a send+verify job always does.
TEST_F(FleetRun, ASendJobFollowsVerifyAfterSend)
{
    writeConfig("a.dnp", sampleState(0));
    write("DNP.ini", "[Comm]\nBaud=1\n[Options]\nVerifyAfterSend=0\n");
    run("s1,/dev/a,,send,a.dnp\nv1,/dev/b,,send+verify,a.dnp\n", 2);
    EXPECT_TRUE(fleet->allSucceeded());
    EXPECT_EQ(device("/dev/a").line.sent.size(), kMessageCount);
    EXPECT_GT(device("/dev/b").line.sent.size(), 2 * kMessageCount);
}

TEST_F(FleetRun, AVerifyCountsTheWordsThatDiffer)
{
    const ConfigState state = sampleState(0);
    writeConfig("a.dnp", state);
    ConfigImage held = test::sentImageOf(state);
    held[200] ^= 0x0001;
    held[201] ^= 0x0100;
    device("/dev/a").panel.image = held;
    run("v1,/dev/a,,verify,a.dnp\n", 1);
    EXPECT_EQ(result(0).outcome, PanelResult::Differs);
    EXPECT_EQ(result(0).message, "The panel does not hold a.dnp: 2 words differ. The panel holds an incomplete "
                                 "configuration. Word 200 holds 0x0001; an image of the points it lists holds 0x0000 there.");
}

TEST_F(FleetRun, AStopCancelsTheRunningJobsAndStartsNoMore)
{
    writeConfig("a.dnp", sampleState(0));
    device("/dev/b").silent = true;
    // The silent panel is waited for as long as the test may take.
    const LineTiming patient{kPatienceMs, kPatienceMs, 0, 10};
    run("a1,/dev/a,,send,a.dnp\n"
        "b1,/dev/b,,send,a.dnp\n"
        "a2,/dev/a,,send,a.dnp\n"
        "c1,/dev/c,,send,a.dnp\n",
        2, patient, [this](int index) {
            // a1 has ended: a2 has taken its place and sent its first frame.
            if (index == 0)
                fleet->stop();
        });
    EXPECT_EQ(result(0).outcome, PanelResult::Ok);
    // Its first request had left: the panel may hold it.
    EXPECT_EQ(result(1).outcome, PanelResult::Incomplete);
    EXPECT_EQ(result(1).message,
              "The send was cancelled. The panel may hold a partly written configuration: message 1 of 18 may have been written.");
    EXPECT_EQ(result(2).outcome, PanelResult::Incomplete);
    EXPECT_EQ(result(2).message,
              "The send was cancelled. The panel may hold a partly written configuration: message 1 of 18 was written.");
    EXPECT_EQ(result(3).outcome, PanelResult::Cancelled);
    EXPECT_EQ(result(3).message, "Not started: the fleet was stopped.");
    EXPECT_EQ(result(3).seconds, 0.0);
    EXPECT_EQ(finishedOrder, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(linksMade, (QStringList{"/dev/a", "/dev/b", "/dev/a", "/dev/a"}));  // a1 is read back
}

// Every job is recorded in the one history the settings name, none lost; a history that
// cannot take a record leaves each job's outcome as it is and says why once it answers.
TEST_F(FleetRun, EveryJobIsRecordedInOneHistory)
{
    constexpr int kPanels = 64;
    writeConfig("a.dnp", sampleState(0));
    write("DNP.ini", "[Comm]\r\nBaud=1\r\n[History]\r\nDatabase=history.sqlite\r\n");
    QString lines;
    for (int i = 0; i < kPanels; ++i)
        lines += QStringLiteral("p%1,/dev/p%1,,send+verify,a.dnp\n").arg(i);
    run(lines, kPanels);
    EXPECT_TRUE(fleet->allSucceeded());
    EXPECT_TRUE(fleet->finishHistory());
    EXPECT_EQ(result(0).historyWarning, "");
    const Result<std::vector<HistoryRecord>> records = History(historyPlace(path("history.sqlite"), {})).records({});
    ASSERT_TRUE(records) << records.error().message.toStdString();
    std::set<QString> devices;
    for (const HistoryRecord& r : *records) {
        EXPECT_EQ(r.program, "fleet");
        EXPECT_EQ(r.action, "send");
        EXPECT_EQ(r.outcome, "ok");
        EXPECT_EQ(r.config, path("a.dnp"));
        devices.insert(r.device);
    }
    EXPECT_EQ(records->size(), std::size_t(kPanels));
    EXPECT_EQ(devices.size(), std::size_t(kPanels));

    fleet.reset();  // its history closed
    write("history.sqlite", QByteArray(4096, 'x'));
    run("p1,/dev/p1,,verify,a.dnp\n", 1);
    EXPECT_EQ(result(0).outcome, PanelResult::Ok);
    EXPECT_TRUE(fleet->finishHistory());
    EXPECT_EQ(result(0).historyWarning,
              "The transfer was not recorded in the history: " + path("history.sqlite") + ": file is not a database");
}

TEST_F(FleetRun, SettingsThatDoNotReadStartNothing)
{
    writeConfig("a.dnp", sampleState(0));
    Fleet fleet(jobs("a1,/dev/a,,send,a.dnp\n"), FleetSetup{path("missing.ini"), 1, links(), {}});
    const Result<void> started = fleet.start();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().message, path("missing.ini") + ": No such file or directory");
    EXPECT_TRUE(linksMade.isEmpty());
}

}  // namespace
