// Fault drills: `dnpcfg send` and `dnpcfg retrieve` against a panel on a
// pseudo-terminal that goes silent, answers with a bad status, cuts a reply short,
// pads it, talks garbage or dies in the middle of a transfer. Every drill must end with
// its message and exit status (the process must finish; a drill that hangs fails),
// and a retrieve that does not complete must not write its output file.

#include "Panel.h"
#include "comm/Frames.h"
#include "files/ConfigFile.h"
#include "model/ConfigState.h"
#include "support/FuzzChecks.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace dnp;

namespace {

// Far beyond any drill's own bounded waits: a dnpcfg still running then has hung.
constexpr int kHangBoundMs = 30000;

const QString kNotResponding = QStringLiteral("ZE-P(L) is not responding!\n");
const QString kPartlyWritten =
    QStringLiteral(" of 18 was not answered. The panel may hold a partly written configuration: send it again.\n");
// A send that ended unanswered at a message.
QString notAnswered(int message)
{
    return kNotResponding + QStringLiteral("Message %1").arg(message) + kPartlyWritten;
}
// A transfer that ended on a reply whose frame did not check out.
QString dataError(bool send, int message, const QString& what)
{
    return (send ? QStringLiteral("System error or data error has occurred.\n")
                 : QStringLiteral("System or data error has occurred.\n")) +
           QStringLiteral("Reply to message %1 of 18: %2\n").arg(message).arg(what);
}
const QString kSendError = QStringLiteral("System error or data error has occurred.\n");
const QString kRetrieveError = QStringLiteral("System or data error has occurred.\n");
const QString kSendOk = QStringLiteral("Sending communication status: OK..\n");
const QString kRetrieveOk = QStringLiteral("Retrieving communication status: OK..\n");
const QByteArray kEarlierOutput = QByteArrayLiteral("the output of an earlier retrieve\r\n");

struct Ended {
    bool finished = false;
    int status = -1;
    QString out;
    QString err;
};

// Runs dnpcfg to its end; a run that does not end within the hang bound is killed and
// reported as not finished.
Ended runDnpcfg(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), args);
    Ended ended;
    ended.finished = process.waitForFinished(kHangBoundMs);
    if (!ended.finished) {
        process.kill();
        process.waitForFinished();
    }
    ended.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    ended.out = QString::fromUtf8(process.readAllStandardOutput());
    ended.err = QString::fromUtf8(process.readAllStandardError());
    return ended;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The requests the simulator answered or ignored, from its trace.
int requestsSeen(test::PanelSim& sim)
{
    sim.stop();
    return static_cast<int>(sim.process().readAllStandardError().count("  request "));
}

// A panel that answers every complete request with the same bytes, none of them a
// reply frame.
class GarbagePanel {
public:
    explicit GarbagePanel(QByteArray answer) : answer_(std::move(answer))
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        device_ = QString::fromLocal8Bit(::ptsname(master_));
        // Kept open (raw, never read) so that the pair does not hang up between users.
        slave_ = ::open(QFile::encodeName(device_).constData(), O_RDWR | O_NOCTTY);
        termios raw{};
        if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0)
            return;
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
        thread_ = std::thread([this] { serve(); });
    }
    ~GarbagePanel()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }
    GarbagePanel(const GarbagePanel&) = delete;
    GarbagePanel& operator=(const GarbagePanel&) = delete;

    bool started() const { return thread_.joinable(); }
    const QString& device() const { return device_; }
    int requests() const { return requests_; }

private:
    void serve()
    {
        QByteArray pending;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            pending.append(buffer, n);
            for (;;) {
                const sim::RequestParse parsed = sim::parseRequest(pending, false);
                if (const auto* request = std::get_if<sim::Request>(&parsed)) {
                    pending.remove(0, request->size);
                    ++requests_;
                    if (::write(master_, answer_.constData(), answer_.size()) != answer_.size())
                        return;
                } else if (const auto* bad = std::get_if<sim::BadFrame>(&parsed)) {
                    pending.remove(0, bad->discard);
                } else {
                    break;
                }
            }
        }
    }

    QByteArray answer_;
    int master_ = -1;
    int slave_ = -1;
    QString device_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
};

class FaultDrillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile f(config());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(composeConfigFile(fuzz::detail::sampleState(), QDateTime::currentDateTime()));
    }

    QString config() const { return dir.filePath("config.dnp"); }
    QString output() const { return dir.filePath("retrieved.dnp"); }

    Ended send(const QString& device, const QStringList& more = {})
    {
        return runDnpcfg(QStringList{"send", config(), "--device", device} + more);
    }
    Ended retrieve(const QString& device, const QStringList& more = {})
    {
        return runDnpcfg(QStringList{"retrieve", "-o", output(), "--device", device} + more);
    }

    // A send that fails with `err` and nothing on standard output.
    void expectSendFails(const Ended& r, const QString& err)
    {
        ASSERT_TRUE(r.finished) << "dnpcfg send did not end";
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, test::errorText(err));
        EXPECT_EQ(r.out, "");
    }
    // A retrieve that fails with `err` and leaves the output file as it was
    // (absent, or holding `before`).
    void expectRetrieveFails(const Ended& r, const QString& err, const std::optional<QByteArray>& before)
    {
        ASSERT_TRUE(r.finished) << "dnpcfg retrieve did not end";
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, test::errorText(err));
        EXPECT_EQ(r.out, "");
        if (before) {
            EXPECT_EQ(fileBytes(output()), *before);
        } else {
            EXPECT_FALSE(QFileInfo::exists(output()));
        }
    }
    // Half of the drills retrieve over an existing output file.
    std::optional<QByteArray> prepareOutput(bool existing)
    {
        QFile::remove(output());
        if (!existing)
            return std::nullopt;
        QFile f(output());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kEarlierOutput);
        return kEarlierOutput;
    }
    // After a send and a retrieve from the same panel, the retrieved file is the sent
    // one apart from its date line.
    void expectRetrievedSameAsSent()
    {
        const QList<QByteArray> sent = fileBytes(config()).split('\n');
        const QList<QByteArray> back = fileBytes(output()).split('\n');
        ASSERT_EQ(sent.size(), back.size());
        for (int i = 1; i < sent.size(); ++i)
            EXPECT_EQ(sent[i], back[i]) << "line " << i + 1;
    }

    QTemporaryDir dir;
};

// --- silence at every message -----------------------------------------------------

class SilenceDrill : public FaultDrillTest, public ::testing::WithParamInterface<int> {};

TEST_P(SilenceDrill, EndsWithNotRespondingAtThatMessage)
{
    const int message = GetParam();
    const QStringList options = {"--trace", "--silent-at", QString::number(message)};
    {
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), notAnswered(message));
        EXPECT_EQ(requestsSeen(sim), message) << "no frame follows the silent one";
    }
    {
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(message % 2 == 0);
        expectRetrieveFails(retrieve(sim.device()), kNotResponding, before);
        EXPECT_EQ(requestsSeen(sim), message);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMessage, SilenceDrill, ::testing::Range(1, kMessageCount + 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Message" + std::to_string(info.param);
                         });

// --- bad status ---------------------------------------------------------------------

TEST_F(FaultDrillTest, BadStatusInTheFirstOrTheLastReplyFailsAfterAllMessages)
{
    for (const int message : {1, kMessageCount}) {
        SCOPED_TRACE(message);
        const QStringList options = {"--trace", "--bad-status-at", QString::number(message)};
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), kSendError);
        EXPECT_EQ(requestsSeen(sim), kMessageCount);

        sim.start(options);
        ASSERT_TRUE(sim.started());
        const auto before = prepareOutput(message == 1);
        expectRetrieveFails(retrieve(sim.device()), kRetrieveError, before);
        EXPECT_EQ(requestsSeen(sim), kMessageCount);
    }
}

// --- short, padded and garbage replies ------------------------------------------------

TEST_F(FaultDrillTest, AShortReplyEndsTheTransferAsNotResponding)
{
    for (const int message : {1, 9, kMessageCount}) {
        SCOPED_TRACE(message);
        const QStringList options = {"--trace", "--short-reply-at", QString::number(message)};
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), notAnswered(message));
        EXPECT_EQ(requestsSeen(sim), message);

        sim.start(options);
        ASSERT_TRUE(sim.started());
        const auto before = prepareOutput(message == 9);
        expectRetrieveFails(retrieve(sim.device()), kNotResponding, before);
        EXPECT_EQ(requestsSeen(sim), message);
    }
}

TEST_F(FaultDrillTest, TwentyExtraBytesAfterEveryReplyAreDropped)
{
    test::PanelSim sim({"--extra-bytes", "20"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const Ended sent = send(sim.device());
    ASSERT_TRUE(sent.finished);
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(sent.out, kSendOk);
    const Ended back = retrieve(sim.device());
    ASSERT_TRUE(back.finished);
    EXPECT_EQ(back.status, 0) << back.err.toStdString();
    EXPECT_TRUE(back.out.startsWith(kRetrieveOk)) << back.out.toStdString();
    expectRetrievedSameAsSent();
}

// At line speed the extra bytes are still arriving when the reply itself is complete:
// they must not be taken for the start of the next reply, in none of fifty transfers.
TEST_F(FaultDrillTest, TwentyExtraBytesAtLineSpeedAreDroppedInFiftyTransfers)
{
    test::PanelSim sim({"--extra-bytes", "20", "--baud", "19200"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        const Ended sent = send(sim.device(), {"--baud", "19200"});
        ASSERT_TRUE(sent.finished);
        ASSERT_EQ(sent.status, 0) << sent.err.toStdString();
        ASSERT_EQ(sent.out, kSendOk);
        const Ended back = retrieve(sim.device(), {"--baud", "19200"});
        ASSERT_TRUE(back.finished);
        ASSERT_EQ(back.status, 0) << back.err.toStdString();
        ASSERT_TRUE(back.out.startsWith(kRetrieveOk)) << back.out.toStdString();
    }
    expectRetrievedSameAsSent();
}

TEST_F(FaultDrillTest, AGarbageReplyIsADataErrorAtOnce)
{
    // Longer than every reply; its first byte ('A') stands where the length byte is.
    const QByteArray noise = QByteArrayLiteral("ATZ\r\nNO CARRIER\r\n+++ line noise, not a reply frame\r\n");
    {
        GarbagePanel panel(noise);
        ASSERT_TRUE(panel.started());
        expectSendFails(send(panel.device()), dataError(true, 1, "length byte 65, expected 10."));
        EXPECT_EQ(panel.requests(), 1);
    }
    {
        GarbagePanel panel(noise);
        ASSERT_TRUE(panel.started());
        const auto before = prepareOutput(true);
        expectRetrieveFails(retrieve(panel.device()), dataError(false, 1, "length byte 65, expected 40."), before);
        EXPECT_EQ(panel.requests(), 1);
    }
}

TEST_F(FaultDrillTest, GarbageShorterThanAReplyIsNotResponding)
{
    const QByteArray noise = QByteArrayLiteral("?\r\n");
    {
        GarbagePanel panel(noise);
        ASSERT_TRUE(panel.started());
        expectSendFails(send(panel.device()), notAnswered(1));
        EXPECT_EQ(panel.requests(), 1);
    }
    {
        GarbagePanel panel(noise);
        ASSERT_TRUE(panel.started());
        expectRetrieveFails(retrieve(panel.device()), kNotResponding, std::nullopt);
        EXPECT_EQ(panel.requests(), 1);
    }
}

// --- replies that fall out of step ----------------------------------------------------

// Stray bytes after a reply, a line that floods, a bad status hidden behind stray bytes,
// a reply whose checksum or length byte is off: every one ends the transfer as a data
// error naming the message, and a retrieve writes nothing.
TEST_F(FaultDrillTest, RepliesOutOfStepAreDataErrors)
{
    struct Drill {
        QStringList options;
        int message;  // where the transfer ends
        QString sendWhat;
        QString retrieveWhat;
    };
    const Drill drills[] = {
        {{"--stray-after", "1", "--stray-delay-ms", "50"}, 2, "length byte 0, expected 10.", "length byte 0, expected 40."},
        {{"--flood-after", "1"}, 2, "length byte 0, expected 10.", "length byte 0, expected 40."},
        {{"--stray-after", "1", "--stray-bytes", "10", "--stray-delay-ms", "40", "--bad-status-at", "2"}, 2,
         "length byte 0, expected 10.", "length byte 0, expected 40."},
        {{"--bad-checksum-at", "3"}, 3, "checksum byte 0xF7, expected 0xF6.", ""},
        {{"--bad-length-at", "18"}, 18, "length byte 4, expected 3.", "length byte 6, expected 5."},
    };
    for (const Drill& d : drills) {
        SCOPED_TRACE(d.options.join(' ').toStdString());
        test::PanelSim sim(d.options + QStringList{"--baud", "9600"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), dataError(true, d.message, d.sendWhat));
        sim.start(d.options + QStringList{"--baud", "9600"});
        ASSERT_TRUE(sim.started());
        const auto before = prepareOutput(d.message == 2);
        const Ended r = retrieve(sim.device());
        if (d.retrieveWhat.isEmpty()) {  // the checksum of a read reply depends on the image
            ASSERT_TRUE(r.finished);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.err.startsWith(test::errorText(dataError(false, d.message, "checksum byte ")).chopped(1))) << r.err.toStdString();
        } else {
            expectRetrieveFails(r, dataError(false, d.message, d.retrieveWhat), before);
        }
    }
}

// DNP.ini can turn the checksum check off, for a panel that sums its replies another
// way; the length is checked all the same.
TEST_F(FaultDrillTest, CheckReplyChecksumZeroAcceptsOtherChecksums)
{
    const QString ini = dir.filePath("DNP.ini");
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Comm]\nCheckReplyChecksum=0\n");
    f.close();
    test::PanelSim sim({"--bad-checksum-at", "3"});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const Ended r = send(sim.device(), {"--ini", ini});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, kSendOk);
    sim.start({"--bad-length-at", "3"});
    expectSendFails(send(sim.device(), {"--ini", ini}), dataError(true, 3, "length byte 11, expected 10."));
}

// --- the panel goes away ----------------------------------------------------------------

TEST_F(FaultDrillTest, APanelThatExitsMidTransferIsNotResponding)
{
    {
        test::PanelSim sim({"--exit-after", "9"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const Ended r = send(sim.device());
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.startsWith(test::errorText(kNotResponding) + "dnpcfg: Message ") && r.err.endsWith(kPartlyWritten)) << r.err.toStdString();
    }
    {
        test::PanelSim sim({"--exit-after", "9"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(true);
        expectRetrieveFails(retrieve(sim.device()), kNotResponding, before);
    }
}

TEST_F(FaultDrillTest, APanelKilledMidTransferIsNotResponding)
{
    for (const bool sending : {true, false}) {
        SCOPED_TRACE(sending ? "send" : "retrieve");
        // Each reply comes 100 ms late, so that the kill falls inside the transfer.
        test::PanelSim sim({"--trace", "--delay-ms", "100"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(!sending);
        QProcess dnpcfg;
        dnpcfg.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                     sending ? QStringList{"send", config(), "--device", sim.device()}
                             : QStringList{"retrieve", "-o", output(), "--device", sim.device()});
        // Kill the panel once it has seen its third request.
        QByteArray trace;
        QElapsedTimer patience;
        patience.start();
        while (trace.count("  request ") < 3 && patience.elapsed() < kHangBoundMs) {
            sim.process().waitForReadyRead(50);
            trace += sim.process().readAllStandardError();
        }
        ASSERT_GE(trace.count("  request "), 3);
        sim.kill();

        ASSERT_TRUE(dnpcfg.waitForFinished(kHangBoundMs)) << "dnpcfg did not end";
        EXPECT_EQ(dnpcfg.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(dnpcfg.exitCode(), 1);
        const QString err = QString::fromUtf8(dnpcfg.readAllStandardError());
        EXPECT_TRUE(sending ? err.startsWith(test::errorText(kNotResponding) + "dnpcfg: Message ") &&
                                  err.endsWith(kPartlyWritten)
                            : err == test::errorText(kNotResponding))
            << err.toStdString();
        EXPECT_EQ(dnpcfg.readAllStandardOutput(), "");
        if (before) {
            EXPECT_EQ(fileBytes(output()), *before);
        }
    }
}

}  // namespace
