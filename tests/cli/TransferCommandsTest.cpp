#include "comm/ConfigImage.h"
#include "comm/Frames.h"
#include "comm/ReadPlan.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "support/PanelSim.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include "support/RunDnpcfg.h"

#include <QProcess>
#include <fcntl.h>
#include "model/Version.h"
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

using namespace dnp;

namespace {

struct TransferCommandsTest : ::testing::Test {
    QTemporaryDir dir;

    QString writeConfig(const ConfigState& state)
    {
        const QString path = dir.filePath("config.dnp");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(composeConfigFile(state, QDateTime::currentDateTime()));
        return path;
    }
    // Bin 5 and 0 in that order, Aout 72, one counter in Class 1, a Class 2 dead band.
    ConfigState sampleConfig()
    {
        ConfigState s;
        auto choose = [&](PointType type, int t, int slotValue) {
            s.setSelected(0, type, t, true);
            s.Class0Order[typeNumber(type)][t] = slotValue;
        };
        choose(PointType::Bin, 0, 5);
        choose(PointType::Bin, 5, 0);
        choose(PointType::Aout, 72, 72);
        choose(PointType::Counters, 2, 2);
        s.setSelected(1, PointType::Counters, 2, true);
        s.UnsolicitedSettings[deadbandWordIndex(2)] = 125;
        return s;
    }
};

TEST_F(TransferCommandsTest, SendThenRetrieveGivesTheSameConfiguration)
{
    test::PanelSim sim({"--image-out", dir.filePath("panel.txt")});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const QString config = writeConfig(sampleConfig());
    const test::ProgramRun sent = test::runDnpcfg({"send", config, "--device", sim.device()});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(sent.out, "Sending communication status: OK..\nThe panel holds the configuration that was sent.\n");

    const test::ProgramRun image = test::runDnpcfg({"image", config});
    if (image.status == 0) {
        sim.stop();  // writes the image out
        QFile panel(dir.filePath("panel.txt"));
        ASSERT_TRUE(panel.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromLatin1(panel.readAll()).simplified(), image.out.simplified());
        sim.start({"--image-in", dir.filePath("panel.txt")});
    }

    const QString out = dir.filePath("back.dnp");
    const test::ProgramRun back = test::runDnpcfg({"retrieve", "-o", out, "--device", sim.device()});
    EXPECT_EQ(back.status, 0) << back.err.toStdString();
    EXPECT_TRUE(back.out.startsWith("Retrieving communication status: OK..\n"));
    EXPECT_TRUE(back.out.contains("\nmapping 8: Individual Mapping (per this document)\n"
                                  "Bin: 2\n    0 Remote Control\n    1 Tap Position Known\nBout: 0\n"))
        << back.out.toStdString();

    QFile sentFile(config), backFile(out);
    ASSERT_TRUE(sentFile.open(QIODevice::ReadOnly));
    ASSERT_TRUE(backFile.open(QIODevice::ReadOnly));
    // Apart from the date line the files are the same.
    const QList<QByteArray> a = sentFile.readAll().split('\n');
    const QList<QByteArray> b = backFile.readAll().split('\n');
    ASSERT_EQ(a.size(), b.size());
    for (int i = 1; i < a.size(); ++i)
        EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
}

TEST_F(TransferCommandsTest, ASilentPanelFailsWithTheMessage)
{
    test::PanelSim sim({"--silent-at", "1"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const test::ProgramRun r = test::runDnpcfg({"send", writeConfig(sampleConfig()), "--device", sim.device()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dnpcfg: ZE-P(L) is not responding!\ndnpcfg: Message 1 of 18 was not answered.\ndnpcfg: The panel "
                     "may hold a partly written configuration: message 1 of 18 may have been written.\ndnpcfg: No "
                     "answer on " + sim.device() + " at 9600 baud.\n");
}

TEST_F(TransferCommandsTest, PortsListsTheMachinesPortsAndTheComNumbersOfDnpIni)
{
    const QString ini = dir.filePath("DNP.ini");
    ASSERT_TRUE(test::writeFileBytes(ini, "[Ports]\nCOM3=/dev/pts/77\n[Comm]\nComPort=3\n"));
    const test::ProgramRun r = test::runDnpcfg({"ports", "--ini", ini});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Serial ports of this machine:\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("COM numbers (" + ini + "):\n  COM 1  /dev/ttyS0\n  COM 2  /dev/ttyS1\n"
                               "  COM 3  /dev/pts/77  [Ports]\n  COM 4  /dev/ttyS3\nChosen: COM 3\n"))
        << r.out.toStdString();
}

TEST_F(TransferCommandsTest, RefusedSendAndMissingDevice)
{
    const test::ProgramRun empty = test::runDnpcfg({"send", writeConfig(ConfigState()), "--device", dir.filePath("nothing")});
    EXPECT_EQ(empty.status, 1);
    // A send that cannot be built is refused before the port is touched.
    EXPECT_EQ(empty.err, "dnpcfg: No configurations chosen, please return to class menu.\n");
    const test::ProgramRun missing = test::runDnpcfg({"send", writeConfig(sampleConfig()), "--device", dir.filePath("nothing")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "dnpcfg: ie_BadId - Specified comport doesn't exist\ndnpcfg: The device " + dir.filePath("nothing") +
                               " does not exist. Check the cable or type another device.\n");

    test::PanelSim sim;
    ASSERT_TRUE(sim.started());
    const test::ProgramRun refused = test::runDnpcfg({"send", writeConfig(ConfigState()), "--device", sim.device()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "dnpcfg: No configurations chosen, please return to class menu.\n");
}

TEST_F(TransferCommandsTest, AddressingAndOptions)
{
    test::PanelSim sim({"--address", "44"});
    ASSERT_TRUE(sim.started());
    const QString config = writeConfig(sampleConfig());
    EXPECT_EQ(test::runDnpcfg({"send", config, "--device", sim.device(), "--address", "44"}).status, 0);
    // An address outside 0-255 is refused, not wrapped onto another panel.
    const test::ProgramRun wrapped = test::runDnpcfg({"send", config, "--device", sim.device(), "--address", "300"});
    EXPECT_EQ(wrapped.status, 2);
    EXPECT_TRUE(wrapped.err.endsWith(" (--address takes a whole number from 0 to 255)\n")) << wrapped.err.toStdString();
    const test::ProgramRun other = test::runDnpcfg({"send", config, "--device", sim.device(), "--address", "45"});
    EXPECT_EQ(other.status, 1);
    EXPECT_TRUE(other.err.startsWith("dnpcfg: ZE-P(L) is not responding!\ndnpcfg: Message 1 of 18")) << other.err.toStdString();
    EXPECT_EQ(test::runDnpcfg({"send", config, "--device", sim.device(), "--mapping", "frob"}).status, 2);
    EXPECT_EQ(test::runDnpcfg({"send", config, "--baud", "1200"}).status, 2);
    EXPECT_EQ(test::runDnpcfg({"retrieve", "--device", sim.device()}).status, 2);
}

// An output that cannot be written is refused before the panel is asked anything.
TEST_F(TransferCommandsTest, ARetrieveIntoAFileThatCannotBeWrittenAsksNothing)
{
    test::PanelSim sim({"--trace"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const QString readOnly = dir.filePath("ro.dnp");
    test::writeFileBytes(readOnly, "earlier");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
    const struct {
        QString file;
        QString why;
    } cases[] = {
        {dir.filePath("none/out.dnp"), "Cannot write " + dir.filePath("none/out.dnp") + ": No such file or directory"},
        {readOnly, readOnly + " is read-only"},
    };
    for (const auto& c : cases) {
        const test::ProgramRun refused = test::runDnpcfg({"retrieve", "-o", c.file, "--device", sim.device()});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err, test::errorText(c.why));
    }
    EXPECT_EQ(test::readFileBytes(readOnly), "earlier");
    sim.stop();
    EXPECT_FALSE(sim.process().readAllStandardError().contains("  request ")) << "the panel was asked nothing";
}

// DNP.ini as users write it, comments after values: the send goes to the panel the file
// names among two on one line. A value that does not read refuses the command before the
// panel is asked anything.
TEST_F(TransferCommandsTest, SettingsReadAsWrittenOrTheCommandIsRefused)
{
    test::PanelSim sim({"--address", "1,5", "--trace"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const QString config = writeConfig(sampleConfig());
    const QString ini = dir.filePath("DNP.ini");
    const auto settings = [&](const QByteArray& address) {
        test::writeFileBytes(ini, "[Ports]\nCOM1=" + sim.device().toUtf8() +
                                      "   ; the simulator\n[Comm]\nComPort=1\nAddressing=yes ; two panels\n" + address +
                                      "\n");
    };
    for (const char* address : {"Address=5x", "Address=", "Address=five", "Address=5.0"}) {
        settings(address);
        const test::ProgramRun refused = test::runDnpcfg({"send", config, "--ini", ini});
        EXPECT_EQ(refused.status, 1) << address;
        EXPECT_EQ(refused.err, test::errorText(ini + " line 6: " + address + ": takes a whole number")) << address;
    }
    sim.stop();
    EXPECT_FALSE(sim.process().readAllStandardError().contains("  request ")) << "the panel was asked nothing";

    sim.start({"--address", "1,5"});
    ASSERT_TRUE(sim.started());
    settings("Address=5 ; feeder 5");
    const test::ProgramRun sent = test::runDnpcfg({"send", config, "--ini", ini});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(test::runDnpcfg({"verify", config, "--ini", ini}).status, 0);
    EXPECT_EQ(test::runDnpcfg({"verify", config, "--device", sim.device(), "--address", "1"}).status, 1)
        << "panel 1 was not written";
}

}  // namespace

namespace {

// dnpcfg with standard error on a pseudo-terminal: its status and what the terminal got.
struct TerminalRun {
    int status = -1;
    QByteArray terminal;
};

TerminalRun runDnpcfgOnATerminal(const QStringList& args)
{
    TerminalRun run;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return run;
    }
    QProcess process;
    process.setStandardErrorFile(QString::fromLocal8Bit(ptsname(master)));
    process.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args);
    const auto drain = [&] {
        char buffer[4096];
        for (pollfd fd{master, POLLIN, 0}; ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN);) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            run.terminal.append(buffer, n);
        }
    };
    while (!process.waitForFinished(20))
        drain();
    drain();
    ::close(master);
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

}  // namespace

TEST_F(TransferCommandsTest, TestReadsMessageOneAndSaysWhetherThePanelAnswered)
{
    test::PanelSim sim({"--trace"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    test::ProgramRun r = test::runDnpcfg({"test", "--device", sim.device()});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "The panel answered.\n");
    sim.stop();
    EXPECT_EQ(QString::fromLocal8Bit(sim.process().readAllStandardError()).count("  request "), 1);

    ASSERT_TRUE(sim.start({"--silent-at", "1"}));
    r = test::runDnpcfg({"test", "--device", sim.device(), "--baud", "19200"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, test::errorText("ZE-P(L) is not responding!\nMessage 1 of 18 was not answered.\nNo answer on " +
                                     sim.device() + " at 19200 baud."));
    EXPECT_EQ(test::runDnpcfg({"test", "x"}).status, 2);
}

TEST_F(TransferCommandsTest, TraceShowsEveryFrameAndWhatWasWrong)
{
    test::PanelSim sim({"--bad-status-at", "3"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const test::ProgramRun r = test::runDnpcfg({"retrieve", "-o", dir.filePath("out.dnp"), "--trace", "--device", sim.device()});
    EXPECT_EQ(r.status, 1);
    const QStringList lines = r.err.split('\n');
    const qsizetype heading = lines.indexOf("Line trace of the retrieve on " + sim.device() + " at 9600 baud:");
    ASSERT_GE(heading, 0) << r.err.toStdString();
    EXPECT_EQ(lines.mid(0, heading), (QStringList{"dnpcfg: System or data error has occurred.",
                                                  "dnpcfg: Reply to message 3 of 18 carried status 0x10."}));
    // The heading the desk's saved trace has too: program, device, line, start, outcome.
    const QStringList head = lines.mid(heading + 1, 8);
    ASSERT_EQ(head.size(), 8);
    EXPECT_EQ(head.mid(0, 5), (QStringList{"Program: dnpcfg " + QString::fromLatin1(kVersion), "Device: " + sim.device(),
                                           "Baud: 9600", "Parity: none", "Address: none (addressing off)"}));
    EXPECT_TRUE(QDateTime::fromString(head[5].section(": ", 1), "yyyy-MM-dd HH:mm:ss").isValid()) << head[5].toStdString();
    EXPECT_EQ(head.mid(6), (QStringList{"Outcome: failed (status error)", ""}));
    const QStringList trace = lines.mid(heading + 9);
    ASSERT_EQ(trace.size(), 36 + 1 + 1);  // the frames, the problem, the empty end
    EXPECT_TRUE(trace[0].endsWith(" ms  to panel     1  " + frames::composeReadFrame(1, {}).toHex(' ').toUpper()))
        << trace[0].toStdString();
    EXPECT_TRUE(trace[5].contains(" ms  from panel   3  ")) << trace[5].toStdString();
    EXPECT_EQ(trace[6], "  ! Reply to message 3 of 18 carried status 0x10.");
    EXPECT_TRUE(trace[36].contains(" ms  from panel  18  ")) << trace[36].toStdString();
}

TEST_F(TransferCommandsTest, OnATerminalTheMessageUnderWayShows)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const TerminalRun sent = runDnpcfgOnATerminal({"send", writeConfig(sampleConfig()), "--verify", "--device", sim.device()});
    EXPECT_EQ(sent.status, 0);
    QByteArray expected;
    const ConfigImage image = buildSendImage(sampleConfig(), Mapping::Individual).value().image;
    for (const auto& [verb, plan] : {std::pair{"Sending", everyMessage()}, {"Verifying", readPlan(image, MessageSet().set())}}) {
        for (const int m : plan)
            expected += QStringLiteral("\r%1 message %2 of 18\x1b[K").arg(verb).arg(m).toLatin1();
        expected += "\r\x1b[K";
    }
    EXPECT_EQ(sent.terminal, expected);
}
