// dnpcfg fleet against simulated panels on TCP over loopback: good panels, a failing
// one and three panels on one line in one run, the results table and the lines on
// standard error; three dozen panels of one simulator at once, with room made for their
// lines or refused naming the limit; a jobs file refused whole; Ctrl+C while a job runs.

#include "history/HistoryRecord.h"
#include "comm/ConfigImage.h"
#include "comm/ImageText.h"
#include "files/ConfigFile.h"
#include "support/LoopbackPort.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"
#include "support/SentImages.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace dnp;

namespace {

constexpr int kPatienceMs = 60000;
// What "at once" may take on a busy machine: a bound against hanging only.
constexpr int kAtOnceMs = 10000;

ConfigState sampleState(int firstAin)
{
    return test::analogInputs(firstAin, 3);
}

// The results with each job's seconds as "S".
QString withoutSeconds(const QByteArray& results)
{
    return QString::fromUtf8(results).replace(QRegularExpression(QStringLiteral(",[0-9]+\\.[0-9]\r\n")), ",S\r\n");
}

// The lines on standard error, sorted, their order number and seconds as "N" and "S".
QStringList finishedLines(const QString& err)
{
    QStringList lines = err.split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line.replace(QRegularExpression(QStringLiteral("^\\[[0-9]+/")), "[N/")
            .replace(QRegularExpression(QStringLiteral(" [0-9]+\\.[0-9] s")), " S s");
    lines.sort();
    return lines;
}

const QString kSentAndReadBack =
    QStringLiteral("Sending communication status: OK.. The panel holds the configuration that was sent.");
const QString kPartlyWritten =
    QStringLiteral("System error or data error has occurred. Reply to message 2 of 18 carried status 0x10. The panel "
                   "may hold a partly written configuration: messages 1 and 3 to 18 of 18 were written.");

struct FleetCommand : test::FleetFolder {
    static void expectListening(const test::PanelSim& sim)
    {
        EXPECT_TRUE(sim.device().startsWith("tcp://127.0.0.1:")) << sim.device().toStdString();
    }
};

TEST_F(FleetCommand, GoodPanelsAFailingOneAndThreeOnOneLine)
{
    writeConfig("a.dnp", sampleState(0));
    writeConfig("b.dnp", sampleState(10));
    test::PanelSim good({"--tcp", "127.0.0.1:0"});
    test::PanelSim failing({"--tcp", "127.0.0.1:0", "--bad-status-at", "2"});
    test::PanelSim shared({"--tcp", "127.0.0.1:0", "--address", "1,2,3", "--image-out", path("line.txt")});
    for (const test::PanelSim* sim : {&good, &failing, &shared})
        expectListening(*sim);
    const QString jobs = QStringLiteral("name,device,address,action,config\n"
                                        "p1,%1,,send+verify,a.dnp\n"
                                        "p2,%2,,send,a.dnp\n"
                                        "m1,%3,1,send+verify,a.dnp\n"
                                        "m2,%3,2,send+verify,b.dnp\n"
                                        "m3,%3,3,verify,a.dnp\n"
                                        "p1r,%1,,retrieve,back.dnp\n")
                             .arg(good.device(), failing.device(), shared.device());
    write("jobs.csv", jobs.toUtf8());

    const test::ProgramRun run = test::runDnpcfg(
        {"fleet", path("jobs.csv"), "--parallel", "4", "-o", path("results.csv"), "--history", path("history.sqlite")},
        kPatienceMs);
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(run.out, "");

    // The panel at address 3 holds an image of zeros: every word a.dnp sets differs.
    int differing = 0;
    for (const std::uint16_t word : test::sentImageOf(sampleState(0)))
        differing += word != 0 ? 1 : 0;
    const QString differ = QStringLiteral("The panel does not hold a.dnp: %1 words differ.").arg(differing);
    EXPECT_EQ(withoutSeconds(test::fileBytes(path("results.csv"))),
              QStringLiteral("name,device,address,action,outcome,message,seconds\r\n"
                             "p1,%1,,send+verify,ok,%5,S\r\n"
                             "p2,%2,,send,incomplete,%6,S\r\n"
                             "m1,%3,1,send+verify,ok,%5,S\r\n"
                             "m2,%3,2,send+verify,ok,%5,S\r\n"
                             "m3,%3,3,verify,differs,%4,S\r\n"
                             "p1r,%1,,retrieve,ok,Retrieving communication status: OK..,S\r\n")
                  .arg(good.device(), failing.device(), shared.device(), differ, kSentAndReadBack, kPartlyWritten));
    EXPECT_EQ(finishedLines(run.err),
              (QStringList{"[N/6] m1 send+verify ok S s", "[N/6] m2 send+verify ok S s",
                           "[N/6] m3 verify differs S s: " + differ, "[N/6] p1 send+verify ok S s",
                           "[N/6] p1r retrieve ok S s", "[N/6] p2 send incomplete S s: " + kPartlyWritten}));

    // Each panel of the shared line holds what was sent to its address.
    shared.stop();
    EXPECT_EQ(test::fileBytes(path("line.txt")), formatImageText(test::sentImageOf(sampleState(0))).toLatin1());
    EXPECT_EQ(test::fileBytes(path("line.txt.2")), formatImageText(test::sentImageOf(sampleState(10))).toLatin1());
    EXPECT_EQ(test::fileBytes(path("line.txt.3")), formatImageText(ConfigImage{}).toLatin1());
    // The retrieve after the send read back what was sent.
    const Result<ConfigFileData> back = loadConfigFile(path("back.dnp"));
    ASSERT_TRUE(back) << back.error().message.toStdString();
    ConfigState read;
    applyConfigFileData(read, *back);
    EXPECT_EQ(test::sentImageOf(read), test::sentImageOf(sampleState(0)));

    // Every send of the run is in the history, recorded by the fleet.
    const test::ProgramRun listed =
        test::runDnpcfg({"history", "--format", "csv", "--action", "send", "--history", path("history.sqlite")});
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out.count(",fleet,"), 4);
}

// dnpcfg fleet run with a limit of open files of its own.
test::ProgramRun runFleetWithOpenFiles(const QStringList& args, rlim_t soft, rlim_t hard)
{
    QProcess process;
    process.setChildProcessModifier([soft, hard] {
        const rlimit limit{soft, hard};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    process.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), QStringList{"fleet"} + args);
    test::ProgramRun run;
    if (!process.waitForFinished(kPatienceMs))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Three dozen panels of one simulator, one job each, all at once: the fleet raises its
// limit of open files to a line per job and some to spare, or refuses before any job
// when the hard limit is lower, naming it.
TEST_F(FleetCommand, ThreeDozenPanelsOfOneSimulatorAtOnce)
{
    constexpr int kPanels = 36;
    constexpr int kFaulty = 7;  // its second request gets a bad status
    writeConfig("a.dnp", sampleState(0));
    test::PanelSim sim({"--panels", QString::number(kPanels), "--tcp", "127.0.0.1:0", "--no-pacing", "--image-out",
                        path("panel.txt"), "--on", QStringLiteral("%1:bad-status-at=2").arg(kFaulty)},
                       kPanels);
    ASSERT_EQ(sim.devices().size(), kPanels) << sim.error().toStdString();
    QString jobs = QStringLiteral("name,device,address,action,config\n");
    QString expected = QStringLiteral("name,device,address,action,outcome,message,seconds\r\n");
    for (int p = 1; p <= kPanels; ++p) {
        const QString& device = sim.devices()[p - 1];
        jobs += QStringLiteral("p%1,%2,,send+verify,a.dnp\n").arg(p).arg(device);
        expected += QStringLiteral("p%1,%2,,send+verify,%3,S\r\n")
                        .arg(p)
                        .arg(device, p == kFaulty ? "incomplete," + kPartlyWritten : "ok," + kSentAndReadBack);
    }
    write("jobs.csv", jobs.toUtf8());
    const QStringList args = {path("jobs.csv"), "--parallel", QString::number(kPanels), "-o", path("results.csv")};

    const test::ProgramRun refused = runFleetWithOpenFiles(args, 32, 64);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, test::errorText("36 jobs at once need 100 open files, but this process may open at most 64 "
                                           "(its hard limit, ulimit -Hn)."));
    EXPECT_FALSE(QFile::exists(path("results.csv")));

    // The refused run asked no panel anything: the faulty panel's second request is the
    // second message of this run's send.
    const test::ProgramRun run = runFleetWithOpenFiles(args, 32, 4096);
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(withoutSeconds(test::fileBytes(path("results.csv"))), expected);
    sim.stop();
    const QByteArray sent = formatImageText(test::sentImageOf(sampleState(0))).toLatin1();
    for (int p = 1; p <= kPanels; ++p) {
        if (p != kFaulty) {
            EXPECT_EQ(test::fileBytes(path(QStringLiteral("panel.txt.%1").arg(p))), sent) << p;
        }
    }
}

TEST_F(FleetCommand, AJobsFileWithBadLinesRunsNothing)
{
    writeConfig("a.dnp", sampleState(0));
    write("jobs.csv", "name,device,address,action,config\n"
                      "p1,tcp://127.0.0.1:1,,reboot,a.dnp\n"
                      "p2,,,send,a.dnp\n"
                      "p3,tcp://127.0.0.1:1,,send,a.dnp\n");
    const test::ProgramRun run = test::runDnpcfg({"fleet", path("jobs.csv"), "-o", path("results.csv")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "dnpcfg: line 2: unknown action 'reboot'\ndnpcfg: line 3: the device is empty\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(QFile::exists(path("results.csv")));
}

// Results that would replace a file of the run are a jobs-file error, results that
// cannot be written a failure: either way no panel is asked anything.
TEST_F(FleetCommand, ResultsThatCannotBeWrittenAskNoPanel)
{
    writeConfig("a.dnp", sampleState(0));
    test::PanelSim sim({"--tcp", "127.0.0.1:0", "--trace"});
    expectListening(sim);
    const QByteArray jobs = QStringLiteral("name,device,address,action,config\np1,%1,,send,a.dnp\n").arg(sim.device()).toUtf8();
    write("jobs.csv", jobs);
    struct Case {
        QString results;
        int status;
        QString told;
    };
    const Case cases[] = {
        {path("jobs.csv"), 2, "the results file '" + path("jobs.csv") + "' would replace the jobs file"},
        {path("none/results.csv"), 1, "Cannot write " + path("none/results.csv") + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        const test::ProgramRun run = test::runDnpcfg({"fleet", path("jobs.csv"), "-o", c.results});
        EXPECT_EQ(run.status, c.status) << c.results.toStdString();
        EXPECT_EQ(run.err, test::errorText(c.told));
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(test::fileBytes(path("jobs.csv")), jobs);
    sim.stop();
    EXPECT_FALSE(sim.process().readAllStandardError().contains("connection taken"));
}

struct UsageCase {
    QStringList args;
    const char* problem;
};

TEST_F(FleetCommand, WrongUsageIsTold)
{
    write("jobs.csv", "name,device,address,action,config\n");
    const UsageCase cases[] = {
        {{"fleet"}, "a file name is needed"},
        {{"fleet", path("jobs.csv"), "--parallel", "0"}, "--parallel takes a number from 1 to 4096"},
        {{"fleet", path("jobs.csv"), "--parallel", "many"}, "--parallel takes a number from 1 to 4096"},
        {{"fleet", path("jobs.csv"), "--verify"}, "unknown option --verify"},
    };
    for (const UsageCase& c : cases) {
        const test::ProgramRun run = test::runDnpcfg(c.args);
        EXPECT_EQ(run.status, 2) << c.problem;
        EXPECT_EQ(run.err, QStringLiteral("dnpcfg: usage: dnpcfg fleet JOBS.csv [--parallel N] [-o RESULTS.csv] "
                                          "[--ini PATH] [--history URL|PATH|off] (%1)\n")
                               .arg(QLatin1String(c.problem)));
    }
}

// A fleet with --parallel 1 whose second job runs until it is cancelled: on a terminal
// server that never takes the connection (the connect limit is far beyond a test's
// steps). Standard error is read as it comes.
struct HungFleet {
    HungFleet(const test::FleetFolder& folder, const QString& hungName, const QString& moreLines,
              QProcess* resultsReader = nullptr)
    {
        EXPECT_TRUE(good.device().startsWith("tcp://127.0.0.1:")) << good.device().toStdString();
        EXPECT_TRUE(hung.ready());
        folder.write("jobs.csv", (QStringLiteral("name,device,address,action,config\n"
                                                 "first,%1,,send,a.dnp\n"
                                                 "%3,%2,,send,a.dnp\n")
                                      .arg(good.device(), hung.device(), hungName) +
                                  QString(moreLines).replace("%1", good.device()))
                                     .toUtf8());
        if (resultsReader)
            fleet.setStandardOutputProcess(resultsReader);
        fleet.setReadChannel(QProcess::StandardError);
        fleet.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), {"fleet", folder.path("jobs.csv"), "--parallel", "1"});
        EXPECT_TRUE(fleet.waitForStarted());
    }
    // Standard error read until it holds `text`; whether it does.
    bool errUntil(const QByteArray& text)
    {
        while (!err.contains(text) && fleet.waitForReadyRead(kPatienceMs))
            err += fleet.readAllStandardError();
        return err.contains(text);
    }
    void interrupt() { ::kill(static_cast<pid_t>(fleet.processId()), SIGINT); }

    test::PanelSim good{{"--tcp", "127.0.0.1:0"}};
    const test::LoopbackPort hung{test::LoopbackPort::Mode::Unanswered};
    QProcess fleet;
    QByteArray err;
};

TEST_F(FleetCommand, CtrlCCancelsTheRunningJobAndStillWritesTheResults)
{
    writeConfig("a.dnp", sampleState(0));
    HungFleet run(*this, "hung", "later,%1,,send,a.dnp\n");
    // Once the first job is told as ended, the second has begun to connect.
    ASSERT_TRUE(run.errUntil("\n"));
    ASSERT_TRUE(run.err.startsWith("[1/3] first send ok ")) << run.err.constData();
    run.interrupt();
    ASSERT_TRUE(run.fleet.waitForFinished(kPatienceMs));
    run.err += run.fleet.readAllStandardError();

    EXPECT_EQ(run.fleet.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.fleet.exitCode(), 1);
    EXPECT_EQ(withoutSeconds(run.fleet.readAllStandardOutput()),
              QStringLiteral("name,device,address,action,outcome,message,seconds\r\n"
                             "first,%1,,send,ok,%3,S\r\n"
                             "hung,%2,,send,cancelled,The send was cancelled. Nothing was written to the panel.,S\r\n"
                             "later,%1,,send,cancelled,Not started: the fleet was stopped.,S\r\n")
                  .arg(run.good.device(), run.hung.device(), kSentAndReadBack));
    EXPECT_EQ(finishedLines(QString::fromUtf8(run.err)),
              (QStringList{"[N/3] first send ok S s", "[N/3] hung send cancelled S s"}));
}

// The first Ctrl+C stops the fleet and gives the signal back its usual effect: while
// the results are still being written (to a reader that takes nothing), a second one
// ends the program at once.
TEST_F(FleetCommand, ASecondCtrlCEndsTheProgramAtOnce)
{
    writeConfig("a.dnp", sampleState(0));
    QProcess reader;
    // A name longer than a pipe holds: its results row does not fit into the pipe.
    HungFleet run(*this, QString(256 * 1024, 'n'), {}, &reader);
    reader.start(QStringLiteral("sleep"), {"600"});
    ASSERT_TRUE(run.errUntil("\n"));
    ASSERT_TRUE(run.err.startsWith("[1/2] first send ok ")) << run.err.constData();
    run.interrupt();
    // The hung job is told as cancelled: the fleet has stopped and writes its results.
    ASSERT_TRUE(run.errUntil(" send cancelled ")) << run.err.right(200).constData();
    run.interrupt();
    EXPECT_TRUE(run.fleet.waitForFinished(kAtOnceMs));
    EXPECT_EQ(run.fleet.exitStatus(), QProcess::CrashExit);
    reader.kill();
    reader.waitForFinished();
}

}  // namespace
