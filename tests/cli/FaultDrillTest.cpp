// Fault drills: `dnpcfg send` and `dnpcfg retrieve` against a panel on a
// pseudo-terminal that goes silent, answers with a bad status, cuts a reply short,
// repeats it, pads it, answers with another message's words, echoes the requests,
// talks garbage or dies in the middle of a transfer. Every drill must end with its
// message and exit status 1 (the process must finish; a drill that hangs fails), and a
// retrieve that does not complete must not write its output file. The line runs at
// 19200 baud, the simulator's replies at the speed the program set.

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
#include <csignal>
#include <chrono>
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
const QStringList kLine = {"--baud", "19200"};
// The two kinds of panel every drill meets: one that answers the moment a request is
// complete (a USB serial device, an emulator) and one that keeps the line's pace.
const QStringList kPaces[] = {{"--no-pacing"}, {}};
std::string paceName(const QStringList& pace)
{
    return pace.isEmpty() ? "at line speed" : "at once";
}

// What a send that stopped after messages 1 to n left in the panel: message n + 1 had
// left, so it may have been written.
QString written(int n)
{
    if (n == 0)
        return QStringLiteral("The panel may hold a partly written configuration: message 1 of 18 may have been written.\n");
    return QStringLiteral("The panel may hold a partly written configuration: %1 written.\n")
        .arg(n == 1 ? QStringLiteral("message 1 of 18 was") : QStringLiteral("messages 1 to %1 of 18 were").arg(n));
}
// A send or a retrieve that ended unanswered at a message.
QString notAnswered(bool send, int message, const QString& device)
{
    return kNotResponding + QStringLiteral("Message %1 of 18 was not answered.\n").arg(message) +
           (send ? written(message - 1) : QString()) + QStringLiteral("No answer on %1 at 19200 baud.\n").arg(device);
}
// A transfer that ended on a reply whose frame did not check out.
QString dataError(bool send, int message, const QString& what)
{
    return (send ? QStringLiteral("System error or data error has occurred.\n")
                 : QStringLiteral("System or data error has occurred.\n")) +
           QStringLiteral("Reply to message %1 of 18: %2\n").arg(message).arg(what) + (send ? written(message - 1) : QString());
}
const QString kSendError = QStringLiteral("System error or data error has occurred.\n");
const QString kRetrieveError = QStringLiteral("System or data error has occurred.\n");
const QString kSendOk =
    QStringLiteral("Sending communication status: OK..\nThe panel holds the configuration that was sent.\n");
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

// A panel on a line at 19200 baud that answers every complete request with the same
// bytes, none of them a reply frame.
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
                    // As a real panel: not before the request has crossed the line.
                    std::this_thread::sleep_for(std::chrono::microseconds(request->size * 10 * 1'000'000 / 19200));
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
    // A configuration with points in every message, so that a message missed or words
    // from the wrong message show.
    void writeFullConfig()
    {
        ConfigState full;
        for (int t = 0; t < 200; ++t) {
            full.setSelected(0, PointType::Ain, t, true);
            full.Class0Order[typeNumber(PointType::Ain)][t] = 199 - t;
        }
        QFile f(config());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(composeConfigFile(full, QDateTime::currentDateTime()));
    }
    QString output() const { return dir.filePath("retrieved.dnp"); }

    Ended send(const QString& device, const QStringList& more = {})
    {
        return runDnpcfg(QStringList{"send", config(), "--device", device} + kLine + more);
    }
    Ended retrieve(const QString& device, const QStringList& more = {})
    {
        return runDnpcfg(QStringList{"retrieve", "-o", output(), "--device", device} + kLine + more);
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

// --- silence ----------------------------------------------------------------------------

class SilenceDrill : public FaultDrillTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(SilenceDrill, EndsWithNotRespondingAtThatMessage)
{
    const int message = std::get<0>(GetParam());
    const QStringList options =
        kPaces[std::get<1>(GetParam())] + QStringList{"--trace", "--silent-at", QString::number(message)};
    {
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), notAnswered(true, message, sim.device()));
        EXPECT_EQ(requestsSeen(sim), message) << "no frame follows the silent one";
    }
    {
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(message % 2 == 0);
        expectRetrieveFails(retrieve(sim.device()), notAnswered(false, message, sim.device()), before);
        EXPECT_EQ(requestsSeen(sim), message);
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, SilenceDrill, ::testing::Combine(::testing::Values(1, 2, 9, 17, 18), ::testing::Values(0, 1)),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
                             return "Message" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) == 0 ? "AtOnce" : "AtLineSpeed");
                         });

// --- bad status ---------------------------------------------------------------------

TEST_F(FaultDrillTest, BadStatusInTheFirstOrTheLastReplyFailsAfterAllMessages)
{
    const struct {
        int message;
        const char* written;
    } cases[] = {{1, "messages 2 to 18 of 18 were"}, {kMessageCount, "messages 1 to 17 of 18 were"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const QStringList options = {"--trace", "--bad-status-at", QString::number(c.message)};
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const QString status = QStringLiteral("Reply to message %1 of 18 carried status 0x10.\n").arg(c.message);
        expectSendFails(send(sim.device()),
                        kSendError + status +
                            QStringLiteral("The panel may hold a partly written configuration: %1 written.\n").arg(c.written));
        EXPECT_EQ(requestsSeen(sim), kMessageCount);

        sim.start(options);
        ASSERT_TRUE(sim.started());
        const auto before = prepareOutput(c.message == 1);
        expectRetrieveFails(retrieve(sim.device()), kRetrieveError + status, before);
        EXPECT_EQ(requestsSeen(sim), kMessageCount);
    }
}

// --- short, padded and garbage replies ------------------------------------------------

TEST_F(FaultDrillTest, AShortReplyEndsTheTransferAsNotResponding)
{
    for (const int message : {1, kMessageCount}) {
        for (const QStringList& pace : kPaces) {
            SCOPED_TRACE(message);
            SCOPED_TRACE(paceName(pace));
            const QStringList options = pace + QStringList{"--trace", "--short-reply-at", QString::number(message)};
            test::PanelSim sim(options);
            ASSERT_TRUE(sim.started()) << sim.error().toStdString();
            expectSendFails(send(sim.device()), notAnswered(true, message, sim.device()));
            EXPECT_EQ(requestsSeen(sim), message);

            sim.start(options);
            ASSERT_TRUE(sim.started());
            const auto before = prepareOutput(message == 1);
            expectRetrieveFails(retrieve(sim.device()), notAnswered(false, message, sim.device()), before);
            EXPECT_EQ(requestsSeen(sim), message);
        }
    }
}

// A strict line: every byte on it must be a reply that is due. A reply repeated a few
// milliseconds late (a firmware retry, a radio repeat), every reply repeated, a valid
// reply carrying the previous message's words, bytes after a reply in the same write or
// a little later, an echo of every request: on a line at its pace each retrieve ends with
// exit 1 and writes no file, on every run. A panel that answers at once may be done
// before a late byte comes, and a send is read back (the read-back decides once all 18
// writes were answered): whatever a drill ends with is true: a send that exits 0 left the
// panel holding the image, a retrieve that exits 0 wrote the configuration sent.
TEST_F(FaultDrillTest, EveryByteOnTheLineIsAccountedFor)
{
    // The panel holds a configuration with points in every message, so that words from
    // the wrong message show.
    const QString imageText = dir.filePath("panel.txt");
    const QString imageOut = dir.filePath("panel-out.txt");
    writeFullConfig();
    const Ended image = runDnpcfg({"image", config()});
    ASSERT_EQ(image.status, 0) << image.err.toStdString();
    QFile text(imageText);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(image.out.toLatin1());
    text.close();

    const QStringList drills[] = {
        {"--repeat-reply-at", "5"},
        {"--repeat-reply-at", "18"},
        {"--repeat-every-reply"},
        {"--repeat-every-reply", "--repeat-delay-ms", "40"},
        {"--previous-words-at", "4"},
        {"--previous-words-every-read"},
        {"--extra-bytes", "20", "--extra-at", "6"},
        {"--stray-bytes", "20", "--stray-after", "6", "--stray-delay-ms", "3"},
        {"--stray-bytes", "20", "--stray-after", "6", "--stray-delay-ms", "60"},
        {"--echo"},
    };
    for (const QStringList& pace : kPaces) {
        const bool paced = pace.isEmpty();
        for (const QStringList& drill : drills) {
            SCOPED_TRACE(paceName(pace) + " " + drill.join(' ').toStdString());
            const QStringList options = pace + drill + QStringList{"--image-in", imageText, "--image-out", imageOut};
            const bool readsOnly = drill.first().startsWith("--previous-words");
            for (int run = 0; run < 2; ++run) {
                SCOPED_TRACE(run);
                test::PanelSim sim(options);
                ASSERT_TRUE(sim.started()) << sim.error().toStdString();
                if (!readsOnly) {
                    // A send is read back: one that ends well left the panel holding the image.
                    const Ended sent = send(sim.device());
                    ASSERT_TRUE(sent.finished);
                    if (sent.status == 0) {
                        sim.stop();
                        EXPECT_EQ(QString::fromLatin1(fileBytes(imageOut)).simplified(), image.out.simplified());
                    } else {
                        EXPECT_EQ(sent.status, 1) << sent.out.toStdString();
                    }
                    sim.start(options);
                    ASSERT_TRUE(sim.started());
                }
                QFile::remove(output());
                const Ended back = retrieve(sim.device());
                ASSERT_TRUE(back.finished);
                if (back.status == 0 && !paced) {
                    expectRetrievedSameAsSent();
                } else {
                    EXPECT_EQ(back.status, 1) << back.out.toStdString();
                    EXPECT_TRUE(back.err.startsWith(test::errorText(kRetrieveError))) << back.err.toStdString();
                    EXPECT_FALSE(QFileInfo::exists(output()));
                }
            }
        }
    }
}

// Where the bytes name the message, the drills above do: the reply that bytes follow
// (or, when they came after the next request had gone, the reply they then began), the
// reply that a copy put out of step, the request the line echoed.
TEST_F(FaultDrillTest, UnexpectedBytesNameTheReplyTheyFollow)
{
    const struct {
        QStringList options;
        QStringList second;  // what the second line may be: each is what the bytes show
    } drills[] = {
        {{"--extra-bytes", "20", "--extra-at", "6"},
         {"Reply to message 6 of 18 was followed by 20 unexpected bytes.\n",
          "Reply to message 7 of 18: length byte 170, expected 10.\n"}},
        // Every write reply is the same: the copy of reply 2 passes for reply 3, and the
        // replies stay one behind until the 18th, which is shorter.
        {{"--delay-ms", "100", "--repeat-reply-at", "2", "--repeat-delay-ms", "20"},
         {"Reply to message 18 of 18: length byte 10, expected 3.\n"}},
        {{"--echo"}, {"Reply to message 1 of 18: length byte 35, expected 10.\n"}},
    };
    for (const QStringList& pace : kPaces) {
        for (const auto& d : drills) {
            SCOPED_TRACE(paceName(pace) + " " + d.options.join(' ').toStdString());
            test::PanelSim sim(pace + d.options);
            ASSERT_TRUE(sim.started()) << sim.error().toStdString();
            const Ended r = send(sim.device(), {"--no-verify"});
            ASSERT_TRUE(r.finished);
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(std::any_of(d.second.begin(), d.second.end(), [&](const QString& second) {
                return r.err.startsWith(test::errorText(kSendError) + "dnpcfg: " + second);
            })) << r.err.toStdString();
        }
    }
}

// Two faults that put the replies out of step and back in step again: a late copy of
// reply 2 taken as the answer to request 3, then a request the panel missed. Every
// write reply is the same eight bytes, so the line cannot tell; the read-back can, and
// the send fails on every run.
TEST_F(FaultDrillTest, ALateCopyAndAMissedRequestAreCaughtByTheReadBack)
{
    writeFullConfig();
    for (const QStringList& pace : kPaces) {
        for (int run = 0; run < 3; ++run) {
            SCOPED_TRACE(paceName(pace) + " run " + std::to_string(run));
            test::PanelSim sim(pace + QStringList{"--delay-ms", "30", "--repeat-reply-at", "2", "--repeat-delay-ms", "20",
                                                  "--silent-at", "6"});
            ASSERT_TRUE(sim.started()) << sim.error().toStdString();
            const Ended r = send(sim.device());
            ASSERT_TRUE(r.finished);
            EXPECT_EQ(r.status, 1) << r.out.toStdString() << r.err.toStdString();
            EXPECT_TRUE(r.err.contains("The panel does not hold the configuration that was sent: ")) << r.err.toStdString();
        }
    }
}

// The same pair where it used to pass unseen: in the write pass and again in the
// read-back, among blocks that hold the same words (a sparse configuration over a panel
// that held a full one), and in a verify. The read-back reads no two such blocks in a
// row and reads again what differs: it tells what the panel holds, on every run.
TEST_F(FaultDrillTest, TheLateCopyPairInBothPassesIsToldTruly)
{
    writeFullConfig();
    const QString full = dir.filePath("full.txt");
    const QString sparse = dir.filePath("sparse.txt");
    const Ended fullImage = runDnpcfg({"image", config()});
    ASSERT_EQ(fullImage.status, 0);
    QFile(full).remove();
    QFile fullFile(full);
    ASSERT_TRUE(fullFile.open(QIODevice::WriteOnly));
    fullFile.write(fullImage.out.toLatin1());
    fullFile.close();
    SetUp();  // the sparse sample configuration again
    const Ended sparseImage = runDnpcfg({"image", config()});
    ASSERT_EQ(sparseImage.status, 0);
    QFile sparseFile(sparse);
    ASSERT_TRUE(sparseFile.open(QIODevice::WriteOnly));
    sparseFile.write(sparseImage.out.toLatin1());
    sparseFile.close();
    const QStringList pair = {"--repeat-reply-at", "9", "--silent-at", "10", "--repeat-reply-at", "27", "--silent-at", "28"};
    for (const QStringList& pace : kPaces) {
        SCOPED_TRACE(paceName(pace));
        test::PanelSim sim(pace + pair + QStringList{"--image-in", full});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const Ended sent = send(sim.device());
        ASSERT_TRUE(sent.finished);
        EXPECT_EQ(sent.status, 1);
        EXPECT_TRUE(sent.err.contains("The panel does not hold the configuration that was sent: ")) << sent.err.toStdString();

        sim.start(pace + QStringList{"--repeat-reply-at", "9", "--silent-at", "10", "--image-in", sparse});
        ASSERT_TRUE(sim.started());
        const Ended verified = runDnpcfg({"verify", config(), "--device", sim.device(), "--baud", "19200"});
        EXPECT_EQ(verified.status, 0) << verified.err.toStdString();
        EXPECT_EQ(verified.out, "The panel holds " + config() + ".\n");
    }
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
        expectSendFails(send(panel.device()), notAnswered(true, 1, panel.device()));
        EXPECT_EQ(panel.requests(), 1);
    }
    {
        GarbagePanel panel(noise);
        ASSERT_TRUE(panel.started());
        expectRetrieveFails(retrieve(panel.device()), notAnswered(false, 1, panel.device()), std::nullopt);
        EXPECT_EQ(panel.requests(), 1);
    }
}

// --- replies that fall out of step ----------------------------------------------------

// Stray bytes after a reply, a line that floods, a bad status hidden behind stray bytes:
// each ends the transfer as a data error and a retrieve writes nothing. A reply whose
// checksum or length byte is off names its message and what was wrong.
TEST_F(FaultDrillTest, RepliesOutOfStepAreDataErrors)
{
    const QStringList strays[] = {
        {"--stray-after", "1", "--stray-delay-ms", "50"},
        {"--flood-after", "1"},
        {"--stray-after", "1", "--stray-bytes", "10", "--stray-delay-ms", "40", "--bad-status-at", "2"},
    };
    for (const QStringList& options : strays) {
        SCOPED_TRACE(options.join(' ').toStdString());
        test::PanelSim sim(options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const Ended sent = send(sim.device());
        ASSERT_TRUE(sent.finished);
        EXPECT_EQ(sent.status, 1);
        EXPECT_TRUE(sent.err.startsWith(test::errorText(kSendError))) << sent.err.toStdString();
        sim.start(options);
        ASSERT_TRUE(sim.started());
        const auto before = prepareOutput(true);
        const Ended back = retrieve(sim.device());
        ASSERT_TRUE(back.finished);
        EXPECT_EQ(back.status, 1);
        EXPECT_TRUE(back.err.startsWith(test::errorText(kRetrieveError))) << back.err.toStdString();
        EXPECT_EQ(fileBytes(output()), *before);
    }
    struct Drill {
        QStringList options;
        int message;
        QString sendWhat;
        QString retrieveWhat;
    };
    const Drill drills[] = {
        {{"--bad-checksum-at", "3"}, 3, "checksum byte 0xF7, expected 0xF6.", ""},
        {{"--bad-length-at", "18"}, 18, "length byte 4, expected 3.", "length byte 6, expected 5."},
    };
    for (const Drill& d : drills) {
        SCOPED_TRACE(d.options.join(' ').toStdString());
        test::PanelSim sim(d.options);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), dataError(true, d.message, d.sendWhat));
        sim.start(d.options);
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

// --- signals -------------------------------------------------------------------------

// Ctrl+C, a kill or a hung-up terminal in the middle of a transfer cancel it as Cancel
// does: what the panel may hold is told, the command is recorded, the status says which
// signal, and a retrieve leaves its file as it was. The panel stops answering at the
// third request, so that the signal falls while its reply is awaited.
TEST_F(FaultDrillTest, ASignalCancelsTheTransferAndIsTold)
{
    const struct {
        bool sending;
        int signal;
        int status;
        QString err;
        const char* outcome;
    } cases[] = {
        {true, SIGINT, 130,
         "The send was cancelled.\nThe panel may hold a partly written configuration: messages 1 to 2 of 18 were written.\n",
         "incomplete"},
        {true, SIGHUP, 143,
         "The send was cancelled.\nThe panel may hold a partly written configuration: messages 1 to 2 of 18 were written.\n",
         "incomplete"},
        {false, SIGTERM, 143, "", "cancelled"},
    };
    const QString history = dir.filePath("history.sqlite");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        test::PanelSim sim({"--trace", "--silent-at", "3"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(true);
        QProcess dnpcfg;
        dnpcfg.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                     (c.sending ? QStringList{"send", config()} : QStringList{"retrieve", "-o", output()}) +
                         QStringList{"--device", sim.device(), "--history", history} + kLine);
        QByteArray trace;
        QElapsedTimer patience;
        patience.start();
        while (trace.count("  request ") < 3 && patience.elapsed() < kHangBoundMs) {
            sim.process().waitForReadyRead(20);
            trace += sim.process().readAllStandardError();
        }
        ASSERT_EQ(trace.count("  request "), 3);
        ASSERT_EQ(::kill(static_cast<pid_t>(dnpcfg.processId()), c.signal), 0);
        ASSERT_TRUE(dnpcfg.waitForFinished(kHangBoundMs));
        EXPECT_EQ(dnpcfg.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(dnpcfg.exitCode(), c.status);
        EXPECT_EQ(QString::fromUtf8(dnpcfg.readAllStandardError()), c.err.isEmpty() ? QString() : test::errorText(c.err));
        EXPECT_EQ(fileBytes(output()), *before);
        const Ended recorded = runDnpcfg({"history", "--history", history, "--limit", "1", "--format", "csv"});
        EXPECT_TRUE(recorded.out.contains(QStringLiteral(",%1,%2,").arg(c.sending ? "send" : "retrieve", c.outcome)))
            << recorded.out.toStdString();
    }
}

// --- the panel goes away ----------------------------------------------------------------

// A panel that ends in the middle of a transfer hangs the line up: the transfer ends
// with the port's message, and a retrieve writes nothing.
QString hungUp(const QString& device)
{
    return device + QStringLiteral(" was hung up.\n");
}

TEST_F(FaultDrillTest, APanelThatExitsMidTransferHangsTheLineUp)
{
    {
        test::PanelSim sim({"--exit-after", "9"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        expectSendFails(send(sim.device()), hungUp(sim.device()) + written(9));
    }
    {
        test::PanelSim sim({"--exit-after", "9"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(true);
        expectRetrieveFails(retrieve(sim.device()), hungUp(sim.device()), before);
    }
}

TEST_F(FaultDrillTest, APanelKilledMidTransferHangsTheLineUp)
{
    for (const bool sending : {true, false}) {
        SCOPED_TRACE(sending ? "send" : "retrieve");
        // Each reply comes 100 ms late, so that the kill falls inside the transfer.
        test::PanelSim sim({"--trace", "--delay-ms", "100"});
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const auto before = prepareOutput(!sending);
        QProcess dnpcfg;
        dnpcfg.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                     (sending ? QStringList{"send", config(), "--device", sim.device()}
                              : QStringList{"retrieve", "-o", output(), "--device", sim.device()}) + kLine);
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
        EXPECT_EQ(QString::fromUtf8(dnpcfg.readAllStandardError()),
                  test::errorText(hungUp(sim.device()) + (sending ? written(2) : QString())));
        EXPECT_EQ(dnpcfg.readAllStandardOutput(), "");
        if (before) {
            EXPECT_EQ(fileBytes(output()), *before);
        }
    }
}

}  // namespace
