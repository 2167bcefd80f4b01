// The transfer over a link whose panel is the simulator's (or a reply written out in
// the test): the frames sent, the words moved, how each transfer ends and at which
// message.

#include "comm/Exchange.h"
#include "support/FakeLink.h"
#include "support/FrameBytes.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

struct ExchangeTest : ::testing::Test {
    FakeLink link;
    sim::Panel panel{std::nullopt, {}};
    Exchange exchange{link};
    QList<TransferResult> results;
    QStringList progress;

    ExchangeTest()
    {
        link.panel = simulatedPanel(panel);
        QObject::connect(&exchange, &Exchange::finished, [this](const TransferResult& r) { results << r; });
        exchange.progress = [this](TransferKind kind, int message) { progress << progressText(kind, message); };
    }

    void open(frames::Addressing addressing = {})
    {
        ASSERT_TRUE(exchange.openPort({1, 9600, false, addressing}).ok());
    }
    TransferOutcome lastOutcome() const { return results.isEmpty() ? TransferOutcome::Running : results.last().outcome; }
};

TEST_F(ExchangeTest, SendWritesTheImageInEighteenFrames)
{
    open();
    exchange.startSend(countingImage(0xB000));
    ASSERT_EQ(link.sent.size(), 18);
    EXPECT_EQ(link.sent[0].left(4), QByteArray::fromHex("23D1000F"));
    EXPECT_EQ(link.sent[17], QByteArray::fromHex("07D1FF01B0FF79"));
    EXPECT_EQ(panel.image, countingImage(0xB000));
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].kind, TransferKind::Send);
    EXPECT_EQ(results[0].outcome, TransferOutcome::Success);
    EXPECT_EQ(results[0].message, 19);
    EXPECT_EQ(progress.first(), "Sending message 1 of 18");
    EXPECT_EQ(progress[17], "Sending message 18 of 18");
    EXPECT_EQ(progress.last(), "");
}

TEST_F(ExchangeTest, RetrieveFramesWithAndWithoutAddressingAndTheWordsRead)
{
    panel.image = countingImage(0xB000);
    open();
    exchange.startRetrieve();
    ASSERT_EQ(link.sent.size(), 18);
    EXPECT_EQ(link.sent[0], QByteArray::fromHex("05D0000F1C"));
    EXPECT_EQ(link.sent[1], QByteArray::fromHex("05D00F0F0D"));
    EXPECT_EQ(results.last().outcome, TransferOutcome::Success);
    EXPECT_EQ(results.last().image, countingImage(0xB000));

    sim::Panel addressed{1, {}};
    addressed.image = countingImage(0xB000);
    link.panel = simulatedPanel(addressed);
    link.sent.clear();
    open({true, 1});
    exchange.startRetrieve();
    ASSERT_EQ(link.sent.size(), 18);
    EXPECT_EQ(link.sent[1], QByteArray::fromHex("0105D00F0F0C"));
    EXPECT_EQ(link.sent[17], QByteArray::fromHex("0105D0FF012A"));
    EXPECT_EQ(results.last().image, countingImage(0xB000));
}

// A panel written out byte for byte: word 0x1234 everywhere, the replies as the panel
// sends them, with nothing of the program's own frame code.
TEST_F(ExchangeTest, RetrieveReadsRepliesWrittenOutByHand)
{
    link.panel = [](const QByteArray& frame) {
        const bool last = frame[2] == char(0xFF);  // the offset byte of message 18
        QByteArray reply = QByteArray::fromHex(last ? "05001234" : "28001234");
        for (int pair = 0; !last && pair < 7; ++pair)
            reply += QByteArray::fromHex("0012341234");
        unsigned sum = 0;
        for (char c : reply)
            sum += static_cast<std::uint8_t>(c);
        reply += static_cast<char>(-sum & 0xFF);
        return FakeReply{reply};
    };
    open();
    exchange.startRetrieve();
    ASSERT_EQ(lastOutcome(), TransferOutcome::Success);
    for (int w = 0; w < kImageWords; ++w)
        ASSERT_EQ(results.last().image[w], 0x1234) << w;
}

TEST_F(ExchangeTest, NoReplyEndsOnTheTwentyFirstTickAtThatMessage)
{
    panel = silentPanelAt({3});
    open();
    exchange.startSend(countingImage(0xB000));
    ASSERT_EQ(link.sent.size(), 3);
    for (int tick = 1; tick <= kPollsBeforeTimeOut; ++tick) {
        exchange.SendTimerTimer();
        ASSERT_TRUE(results.isEmpty()) << tick;
    }
    exchange.SendTimerTimer();  // the 21st
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].outcome, TransferOutcome::NotResponding);
    EXPECT_EQ(results[0].message, 3);
    EXPECT_FALSE(exchange.SendTimer.isActive());
    for (int tick = 0; tick < 30; ++tick)
        exchange.SendTimerTimer();
    EXPECT_EQ(link.sent.size(), 3);
    EXPECT_EQ(results.size(), 1);

    // A new start goes from message 1 again.
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(link.sent.size(), 3 + 18);
    EXPECT_EQ(static_cast<std::uint8_t>(link.sent[3][2]), 0);
    EXPECT_EQ(lastOutcome(), TransferOutcome::Success);
}

// Any nonzero half of any status byte fails the transfer; it goes on to message 18,
// and the next transfer starts without the error.
TEST_F(ExchangeTest, ABadStatusHalfFailsTheTransferAndIsForgottenByTheNext)
{
    for (std::uint8_t status : {0x01, 0x08, 0x10, 0x80}) {
        link.panel = [&, status](const QByteArray& frame) {
            FakeReply reply = simulatedPanel(panel)(frame);
            if (link.sent.size() == 9) {  // the last status byte of reply 9
                reply.bytes[reply.bytes.size() - 2] = static_cast<char>(status);
                reply.bytes[reply.bytes.size() - 1] = static_cast<char>(reply.bytes.back() - status);
            }
            return reply;
        };
        link.sent.clear();
        open();
        exchange.startSend(countingImage(0xB000));
        EXPECT_EQ(link.sent.size(), 18) << int(status);
        EXPECT_EQ(lastOutcome(), TransferOutcome::StatusError) << int(status);
    }
    link.panel = simulatedPanel(panel);
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(lastOutcome(), TransferOutcome::Success);
}

TEST_F(ExchangeTest, ShortLongAndTrailingRepliesAreHandledSafely)
{
    open();
    // Twenty bytes trail every reply: dropped, and never read as the next reply.
    link.panel = simulatedPanel(panel, 20);
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(lastOutcome(), TransferOutcome::Success);
    EXPECT_EQ(link.droppedTrailing, 18 * 20);
    EXPECT_EQ(panel.image, countingImage(0xB000));

    // A line that never goes quiet after reply 1: the wait for quiet is bounded.
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        reply.trailing = link.sent.size() == 1 ? FakeReply::kEndless : 0;
        return reply;
    };
    link.sent.clear();
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(link.sent.size(), 18);

    // A reply one byte short: the wait for the rest is bounded.
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        reply.bytes.chop(1);
        return reply;
    };
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(lastOutcome(), TransferOutcome::NotResponding);
    EXPECT_EQ(results.last().message, 1);
}

TEST_F(ExchangeTest, ALateReplyIsTakenWhenItIsAnnounced)
{
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        reply.lateTicks = 3;
        reply.announce = true;
        return reply;
    };
    open();
    exchange.startSend(countingImage(0xB000));
    tickUntilEnded(exchange, link);
    EXPECT_EQ(lastOutcome(), TransferOutcome::Success);
    EXPECT_EQ(panel.image, countingImage(0xB000));
}

// Bytes that come late after a reply are read as the start of the next one: its frame
// does not check out, and the transfer ends there as a data error.
TEST_F(ExchangeTest, AReplyThatFallsOutOfStepEndsTheTransfer)
{
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        if (link.sent.size() == 2)
            reply.bytes.prepend(QByteArray(5, '\0'));
        return reply;
    };
    open();
    exchange.startRetrieve();
    EXPECT_EQ(link.sent.size(), 2);  // no frame after the bad reply
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].outcome, TransferOutcome::DataError);
    EXPECT_EQ(results[0].message, 2);
    EXPECT_EQ(results[0].error, "length byte 0, expected 40.");
    EXPECT_FALSE(link.isOpen());  // closed when a transfer ends
}

TEST_F(ExchangeTest, ChecksumsAreCheckedUnlessTheLinkSaysOtherwise)
{
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        reply.bytes[reply.bytes.size() - 1] = static_cast<char>(reply.bytes.back() + 1);
        return reply;
    };
    open();
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(lastOutcome(), TransferOutcome::DataError);
    EXPECT_EQ(results.last().error, "checksum byte 0xF7, expected 0xF6.");
    TransferLink unchecked{1, 9600, false, {}};
    unchecked.checkReplyChecksum = false;
    ASSERT_TRUE(exchange.openPort(unchecked).ok());
    exchange.startSend(countingImage(0xB000));
    EXPECT_EQ(lastOutcome(), TransferOutcome::Success);
}

TEST_F(ExchangeTest, ACancelledTransferSendsNoFurtherFrame)
{
    link.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    open();
    exchange.startRetrieve();
    ASSERT_TRUE(exchange.running());
    exchange.cancel();
    EXPECT_FALSE(exchange.running());
    EXPECT_EQ(lastOutcome(), TransferOutcome::Cancelled);
    for (int tick = 0; tick < 30; ++tick)
        exchange.RetrvTimerTimer();
    EXPECT_EQ(link.sent.size(), 1);
    EXPECT_EQ(results.size(), 1);
}

TEST_F(ExchangeTest, APortThatCannotBeOpenedIsTold)
{
    link.openFails = true;
    const Result<void> opened = exchange.openPort({1, 9600, false, {}});
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().message, kBadIdText);
}

}  // namespace
