// The exchange over a line as fast as memory: the frames of each message, the words
// read, how each fault ends a transfer and what it tells. The drills over a real
// pseudo-terminal with the simulator are in tests/cli/FaultDrillTest.cpp.

#include "comm/Exchange.h"
#include "comm/ReadPlan.h"
#include "comm/TransferText.h"

#include "support/FakeLink.h"
#include "support/PanelSim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

const LinkTarget kFakeTarget{"/dev/fake", 1};

class ExchangeTest : public ::testing::Test {
public:
    ExchangeTest()
    {
        line.panel = simulatedPanel(panel);
        QObject::connect(&exchange, &Exchange::finished, [this](const TransferResult& r) { ended << r; });
    }
    // Runs a transfer to its end.
    TransferResult run(const std::function<void()>& start)
    {
        const qsizetype before = ended.size();
        start();
        QElapsedTimer patience;
        patience.start();
        while (ended.size() == before && patience.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(ended.size(), before + 1) << "the transfer did not end";
        return ended.isEmpty() ? TransferResult{} : ended.last();
    }
    TransferResult send(const ConfigImage& image = testImage(), TransferLink settings = fastLink())
    {
        link = std::make_unique<FakeLink>(kFakeTarget, line);
        return run([&] { exchange.startSend(*link, settings, image); });
    }
    TransferResult retrieve(TransferLink settings = fastLink())
    {
        link = std::make_unique<FakeLink>(kFakeTarget, line);
        return run([&] { exchange.startRead(*link, settings, everyMessage()); });
    }
    static TransferLink fastLink() { return {9600, false, {}, true, kFakeLineTiming}; }
    static ConfigImage testImage()
    {
        ConfigImage image{};
        for (int i = 0; i < kImageWords; ++i)
            image[i] = static_cast<std::uint16_t>(0x0100 * i + 7);
        return image;
    }

    FakeLine line;
    sim::Panel panel{std::nullopt, {}};
    std::unique_ptr<FakeLink> link;
    Exchange exchange;
    QList<TransferResult> ended;
};

// A write the link refuses ends the transfer at once, with the link's reason, however
// long the panel would be given to answer.
TEST_F(ExchangeTest, AWriteTheLinkRefusesEndsTheTransferAtOnce)
{
    line.failWriteAt = 3;
    line.writeError = QStringLiteral("Input/output error");
    const LineTiming patient{600000, 600000, 0, 0};
    const TransferResult r = send(testImage(), {9600, false, {}, true, patient});
    EXPECT_EQ(r.outcome(), TransferOutcome::PortError);
    EXPECT_EQ(r.message, 3);
    EXPECT_EQ(r.reason, TransferEnd(LinkFailure{LinkFault::WriteRefused, kFakeTarget, "Input/output error"}));
    EXPECT_EQ(r.acknowledged(), 2);
    EXPECT_EQ(line.sent.size(), 3);
}

TEST_F(ExchangeTest, SendWritesTheImageInEighteenFrames)
{
    const ConfigImage image = testImage();
    const TransferResult r = send(image);
    EXPECT_EQ(r.outcome(), TransferOutcome::Success);
    EXPECT_EQ(r.message, 19);
    EXPECT_EQ(r.acknowledged(), 18);
    ASSERT_EQ(line.sent.size(), 18);
    for (int m = 1; m <= 18; ++m)
        EXPECT_EQ(line.sent[m - 1], frames::composeWriteFrame(m, image, {})) << m;
    EXPECT_EQ(panel.image, image);
    EXPECT_EQ(exchange.sentImage(), image);
    EXPECT_FALSE(line.opened);  // the port is left as soon as the transfer is over
    // Every frame and reply went into the trace, in order.
    ASSERT_EQ(r.trace.size(), 36u);
    EXPECT_TRUE(r.trace[0].sent);
    EXPECT_FALSE(r.trace[1].sent);
    EXPECT_EQ(r.trace[35].message, 18);
    EXPECT_EQ(r.trace[1].bytes, QByteArray::fromHex("0a0000000000000000f6"));
}

TEST_F(ExchangeTest, RetrieveReadsTheWordsWithAndWithoutAddressing)
{
    panel.image = testImage();
    TransferResult r = retrieve();
    EXPECT_EQ(r.outcome(), TransferOutcome::Success);
    EXPECT_EQ(r.image, testImage());
    EXPECT_EQ(line.sent[0], QByteArray::fromHex("05d0000f1c"));
    EXPECT_EQ(line.sent[17], frames::composeReadFrame(18, {}));

    line.sent.clear();
    panel = sim::Panel(300, {});  // answers the low byte of the address, 44
    panel.image = testImage();
    TransferLink addressed = fastLink();
    addressed.addressing = {true, 300};
    r = retrieve(addressed);
    EXPECT_EQ(r.outcome(), TransferOutcome::Success);
    EXPECT_EQ(r.image, testImage());
    EXPECT_EQ(line.sent[0], frames::composeReadFrame(1, {true, 300}));
    EXPECT_EQ(static_cast<std::uint8_t>(line.sent[0][0]), 44);
}

// A retrieve that ends early reports the words it read and zeros for the rest, never
// the words of an earlier retrieve.
TEST_F(ExchangeTest, ARetrieveThatStopsEarlyHasOnlyItsOwnWords)
{
    panel.image = testImage();
    ASSERT_EQ(retrieve().outcome(), TransferOutcome::Success);
    panel = silentPanelAt({3});
    panel.image = testImage();
    const TransferResult r = retrieve();
    EXPECT_EQ(r.outcome(), TransferOutcome::NotResponding);
    EXPECT_EQ(r.message, 3);
    EXPECT_EQ(r.acknowledged(), 2);
    for (int w = 0; w < kImageWords; ++w)
        ASSERT_EQ(r.image[w], w < 30 ? testImage()[w] : 0) << w;
}

// Each way a transfer ends: its outcome, where, and why.
TEST_F(ExchangeTest, FaultsEndTheTransferAtTheirMessage)
{
    using Part = frames::FrameProblem::Part;
    struct Case {
        const char* name;
        sim::Faults faults;
        bool send;
        TransferOutcome outcome;
        int message;
        TransferEnd reason;
    };
    sim::Faults silent, badStatus, badChecksum, badLength, extra, shortReply;
    silent.silentAt = {7};
    badStatus.badStatusAt = {5, 2};
    badChecksum.badChecksumAt = {3};
    badLength.badLengthAt = {18};
    extra.extraBytes = 20;
    extra.extraAt = {6};
    shortReply.shortReplyAt = {9};
    const Case cases[] = {
        {"silent", silent, true, TransferOutcome::NotResponding, 7, NoReply{7, 0, 10}},
        {"short", shortReply, false, TransferOutcome::NotResponding, 9, NoReply{9, 38, 40}},
        // The first bad status is the one told.
        {"bad status", badStatus, true, TransferOutcome::StatusError, 19, BadStatus{2, 0x10}},
        {"bad checksum", badChecksum, true, TransferOutcome::DataError, 3, BadReply{3, {Part::Checksum, 0xF7, 0xF6}}},
        {"bad length", badLength, false, TransferOutcome::DataError, 18, BadReply{18, {Part::Length, 6, 5}}},
        {"extra bytes", extra, true, TransferOutcome::DataError, 6, UnexpectedBytes{6, false, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel = sim::Panel(std::nullopt, c.faults);
        line.sent.clear();
        const TransferResult r = c.send ? send() : retrieve();
        EXPECT_EQ(r.outcome(), c.outcome);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.reason, c.reason);
        // No frame follows one that ended the transfer.
        EXPECT_EQ(line.sent.size(), std::min(c.message, 18));
        EXPECT_FALSE(line.opened);
    }
}

// Bytes before any reply (a line that talks as it opens, an echo of the request) end the
// transfer at message 1; a line that closes once every reply is in ends nothing.
TEST_F(ExchangeTest, BytesBeforeTheFirstReplyAndAHangUpAfterTheLast)
{
    line.greeting = "NO CARRIER\r\n";
    TransferResult r = send();
    EXPECT_EQ(r.message, 1);
    EXPECT_EQ(r.reason, TransferEnd(UnexpectedBytes{1, true, 12}));

    line.greeting.clear();
    line.panel = [this](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        reply.bytes.prepend(frame);  // an echo, as a half-duplex adapter gives
        return reply;
    };
    r = retrieve();
    EXPECT_EQ(r.message, 1);
    EXPECT_EQ(r.reason, TransferEnd(BadReply{1, {frames::FrameProblem::Part::Length, 5, 40}}));

    line.panel = [this](const QByteArray& frame) {
        if (line.sent.size() == kMessageCount)
            QMetaObject::invokeMethod(
                link.get(), [this] { emit link->failed({LinkFault::HungUp, kFakeTarget}); }, Qt::QueuedConnection);
        return simulatedPanel(panel)(frame);
    };
    line.sent.clear();
    r = send();
    EXPECT_EQ(r.reason, TransferEnd(AllAnswered{}));
    EXPECT_EQ(r.acknowledged(), kMessageCount);
}

// A transfer cancelled just after a reply, and one started at once after it: the panel
// gets each request of the new transfer once, in order.
TEST_F(ExchangeTest, ATransferStartedRightAfterACancelIsNotDisturbedByTheOneBefore)
{
    link = std::make_unique<FakeLink>(kFakeTarget, line);
    exchange.startSend(*link, fastLink(), testImage());
    ASSERT_EQ(line.sent.size(), 1);  // its reply is in, the next request is on its way
    exchange.cancel();
    line.sent.clear();
    const TransferResult r = send();
    EXPECT_EQ(r.outcome(), TransferOutcome::Success);
    ASSERT_EQ(line.sent.size(), kMessageCount);
    for (int m = 1; m <= kMessageCount; ++m)
        EXPECT_EQ(line.sent[m - 1], frames::composeWriteFrame(m, testImage(), {})) << m;
}

TEST_F(ExchangeTest, ChecksumsAreCheckedUnlessTheLinkSaysOtherwise)
{
    sim::Faults faults;
    faults.badChecksumAt = {3};
    panel = sim::Panel(std::nullopt, faults);
    TransferLink lenient = fastLink();
    lenient.checkReplyChecksum = false;
    EXPECT_EQ(send(testImage(), lenient).outcome(), TransferOutcome::Success);
}

TEST_F(ExchangeTest, CancelStopsARunningTransferAndIsNothingWhenNoneRuns)
{
    exchange.cancel();
    EXPECT_TRUE(ended.isEmpty());  // no transfer, no end told

    line.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    link = std::make_unique<FakeLink>(kFakeTarget, line);
    TransferLink patient = fastLink();
    patient.timing = {};  // the real allowances: the silent panel is waited for
    exchange.startRead(*link, patient, everyMessage());
    ASSERT_TRUE(exchange.running());
    exchange.cancel();
    EXPECT_FALSE(exchange.running());
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0].outcome(), TransferOutcome::Cancelled);
    EXPECT_EQ(line.sent.size(), 1);
    EXPECT_FALSE(line.opened);
    exchange.cancel();
    EXPECT_EQ(ended.size(), 1);
}

TEST_F(ExchangeTest, ALineThatDoesNotOpenOrBreaksIsAPortError)
{
    line.openFails = true;
    TransferResult r = send();
    EXPECT_EQ(r.reason, TransferEnd(LinkFailure{LinkFault::DeviceMissing, kFakeTarget}));
    EXPECT_TRUE(line.sent.isEmpty());

    line.openFails = false;
    line.panel = [this](const QByteArray& frame) {
        if (line.sent.size() == 4)
            QMetaObject::invokeMethod(link.get(), [this] { emit link->failed({LinkFault::HungUp, kFakeTarget}); });
        return simulatedPanel(panel)(frame);
    };
    r = send();
    EXPECT_EQ(r.outcome(), TransferOutcome::PortError);
    EXPECT_EQ(r.reason, TransferEnd(LinkFailure{LinkFault::HungUp, kFakeTarget}));
}

}  // namespace

// --- over a real pseudo-terminal -------------------------------------------------------

class ExchangeOnALine : public ::testing::Test {
protected:
    TransferResult run(const QString& device, std::int32_t baud, LineTiming timing,
                       const std::function<void(Link&, const TransferLink&)>& start)
    {
        std::optional<TransferResult> ended;
        const auto c = QObject::connect(&exchange, &Exchange::finished, [&](const TransferResult& r) { ended = r; });
        const std::unique_ptr<Link> link = machineLink({device, 0});
        start(*link, {baud, false, {}, true, timing});
        QElapsedTimer patience;
        patience.start();
        while (!ended && patience.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QObject::disconnect(c);
        EXPECT_TRUE(ended) << "the transfer did not end";
        return ended.value_or(TransferResult{});
    }

    Exchange exchange;
};

// A panel that answers the moment a request is complete (a USB serial device, an
// emulator) and one that keeps the line's pace are the same to the exchange.
TEST_F(ExchangeOnALine, PanelsThatAnswerAtOnceOrAtLineSpeedBothSucceed)
{
    const ConfigImage image = ExchangeTest::testImage();
    for (const QStringList& pace : {QStringList{"--no-pacing"}, QStringList{}}) {
        SCOPED_TRACE(pace.join(' ').toStdString());
        test::PanelSim sim(pace);
        ASSERT_TRUE(sim.started()) << sim.error().toStdString();
        const TransferResult sent = run(sim.device(), 19200, {}, [&](Link& link, const TransferLink& settings) {
            exchange.startSend(link, settings, image);
        });
        EXPECT_EQ(sent.outcome(), TransferOutcome::Success) << outcomeText(sent).toStdString();
        const TransferResult read = run(sim.device(), 19200, {}, [&](Link& link, const TransferLink& settings) {
            exchange.startRead(link, settings, everyMessage());
        });
        EXPECT_EQ(read.outcome(), TransferOutcome::Success) << outcomeText(read).toStdString();
        EXPECT_EQ(read.image, image);
    }
}

// A reply that begins at once but takes its wire time on a slow line is waited for to
// its last byte: 40 bytes at 1200 baud take 333 ms, far beyond the allowances here.
TEST_F(ExchangeOnALine, AReplyIsGivenItsOwnWireTime)
{
    test::PanelSim sim;
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    const TransferResult read = run(sim.device(), 1200, {100, 100, 100, 10}, [&](Link& link, const TransferLink& settings) {
        exchange.startRead(link, settings, {1});
    });
    EXPECT_EQ(read.outcome(), TransferOutcome::Success) << outcomeText(read).toStdString();
}
