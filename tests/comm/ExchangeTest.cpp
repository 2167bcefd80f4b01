#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/Exchange.h"
#include "comm/SortModel.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

// A port whose panel is a function of the frame: it records every frame sent and
// puts the panel's answer into the receive buffer at once.
class ScriptedPort : public SerialLink {
public:
    std::function<QByteArray(const QByteArray&)> panel = [](const QByteArray&) { return QByteArray(); };
    QList<QByteArray> sent;
    QByteArray received;
    bool openFails = false;
    bool opened = false;

    PortResult open() override
    {
        if (openFails)
            return {QStringLiteral("ie_BadId - Specified comport doesn't exist")};
        opened = true;
        received.clear();
        return {};
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    PortResult SendBytes(QByteArrayView bytes) override
    {
        sent << bytes.toByteArray();
        received += panel(bytes.toByteArray());
        return {};
    }
    std::uint16_t TransmitPending() override { return 0; }
    std::uint16_t ReceivedCount() override { return static_cast<std::uint16_t>(received.size()); }
    ReadResult ReadByte() override
    {
        if (received.isEmpty())
            return {0, QStringLiteral("No received byte is waiting")};
        const auto b = static_cast<std::uint8_t>(received[0]);
        received.remove(0, 1);
        return {b, {}};
    }
    void FlushReceive() override { received.clear(); }
};

// The panel's good answer to any frame, with an image it keeps.
struct FakePanel {
    std::array<std::uint16_t, 256> image{};
    bool addressing = false;
    QByteArray operator()(const QByteArray& frame)
    {
        const auto parsed = frames::parseRequest(frame, addressing);
        const auto* request = std::get_if<frames::Request>(&parsed);
        if (!request)
            return {};
        const frames::Addressing a{addressing, request->address};
        if (request->command == frames::Command::Write) {
            for (std::size_t i = 0; i < request->words.size(); ++i)
                image[request->offset + i] = request->words[i];
            return frames::composeWriteReply(request->count, a);
        }
        return frames::composeReadReply(request->offset, request->count, image, a);
    }
};

struct ExchangeTest : ::testing::Test {
    QTemporaryDir dir;
    ConfigState state;
    test::ScriptedPrompts prompts;
    ClassEditor editor{state, prompts};
    SortModel sort{state};
    TcomSetIni settings{dir.filePath("DNP.ini")};
    ScriptedPort port;
    Exchange exchange{state, editor, sort, settings, port, prompts};
    QList<TransferOutcome> outcomes;

    ExchangeTest()
    {
        settings.ComPort = 1;
        QObject::connect(&exchange, &Exchange::finished, [this](TransferOutcome o) { outcomes << o; });
    }

    void chooseClass0(PointType type, std::initializer_list<int> typeIndices)
    {
        for (int t : typeIndices) {
            state.setSelected(0, type, t, true);
            state.Class0Order[typeNumber(type)][t] = t;
        }
        state.Class0Rebuild.fill(true);
        sort.InitSort();
    }
};

TEST_F(ExchangeTest, FramesOfARetrieveWithAndWithoutAddressing)
{
    exchange.OKtoRetrieveButtonClick();  // no answer: stops after the first frame
    ASSERT_EQ(port.sent.size(), 1);
    EXPECT_EQ(port.sent[0], QByteArray::fromHex("05D0000F1C"));
    EXPECT_TRUE(exchange.running());
    for (int i = 0; i <= kPollsBeforeTimeOut; ++i)
        exchange.RetrvTimerTimer();
    EXPECT_FALSE(exchange.running());

    settings.Addressing = true;
    settings.Address = 1;
    FakePanel panel;
    panel.addressing = true;
    port.panel = std::ref(panel);
    port.sent.clear();
    exchange.OKtoRetrieveButtonClick();
    ASSERT_EQ(port.sent.size(), 18);
    EXPECT_EQ(port.sent[1], QByteArray::fromHex("0105D00F0F0C"));
    EXPECT_EQ(port.sent[17], QByteArray::fromHex("0105D0FF012A"));
}

TEST_F(ExchangeTest, FullSendWritesTheImageAndTellsTheOutcome)
{
    chooseClass0(PointType::Bin, {0, 5});
    chooseClass0(PointType::Counters, {3});
    FakePanel panel;
    port.panel = std::ref(panel);
    QStringList progress;
    exchange.progress = [&](const QString& text) { progress << text; };
    exchange.OKtoSendButtonClick();
    ASSERT_EQ(port.sent.size(), 18);
    for (const QByteArray& frame : port.sent)
        EXPECT_TRUE(frames::sumsToZero(frame));
    EXPECT_EQ(static_cast<std::uint8_t>(port.sent[0][0]), 35);
    EXPECT_EQ(port.sent[17].size(), 7);
    EXPECT_EQ(panel.image, exchange.sentImage());
    EXPECT_EQ(panel.image[0], 8);
    EXPECT_EQ(panel.image[1], 2306);
    EXPECT_EQ(panel.image[3], 2240 | 0x8000);
    EXPECT_EQ(panel.image[255], 4);
    EXPECT_EQ(prompts.texts(), QStringList{"Sending communication status: OK.."});
    EXPECT_EQ(prompts.shown[0].kind, test::Shown::Information);
    EXPECT_EQ(outcomes, QList<TransferOutcome>{TransferOutcome::Success});
    EXPECT_EQ(progress.first(), "Sending message 1 of 18");
    EXPECT_EQ(progress[17], "Sending message 18 of 18");
    EXPECT_EQ(progress.last(), "");
    EXPECT_EQ(exchange.MessageNumber, 19);
    EXPECT_EQ(exchange.SendWordOffset, 14 + 17 * 15);  // raised after every message from the second on
}

TEST_F(ExchangeTest, UninitializedSendsZerosButWordZeroWithoutACountCheck)
{
    FakePanel panel;
    panel.image.fill(0x5555);
    port.panel = std::ref(panel);
    sort.MappingRG = 0;
    exchange.OKtoSendButtonClick();
    ASSERT_EQ(port.sent.size(), 18);
    EXPECT_EQ(panel.image[0], 1);
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ(panel.image[i], 0) << i;
}

TEST_F(ExchangeTest, RefusedCountsSendNothing)
{
    exchange.OKtoSendButtonClick();
    EXPECT_TRUE(port.sent.isEmpty());
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"No configurations chosen, please return to class menu."});
    EXPECT_EQ(outcomes, QList<TransferOutcome>{TransferOutcome::Refused});
}

TEST_F(ExchangeTest, NoReplyEndsOnTheTwentyFirstTickWithOneBox)
{
    chooseClass0(PointType::Bin, {1});
    exchange.OKtoSendButtonClick();
    ASSERT_EQ(port.sent.size(), 1);
    for (int tick = 1; tick <= kPollsBeforeTimeOut; ++tick) {
        exchange.SendTimerTimer();
        ASSERT_TRUE(prompts.shown.isEmpty()) << tick;
    }
    exchange.SendTimerTimer();  // the 21st
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"ZE-P(L) is not responding!"});
    EXPECT_FALSE(exchange.SendTimer.isActive());
    for (int tick = 0; tick < 30; ++tick)
        exchange.SendTimerTimer();
    EXPECT_EQ(port.sent.size(), 1);
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(outcomes, QList<TransferOutcome>{TransferOutcome::NotResponding});
    EXPECT_TRUE(exchange.AwaitingReply);

    // A new click starts over from message 1.
    FakePanel panel;
    port.panel = std::ref(panel);
    exchange.OKtoSendButtonClick();
    EXPECT_EQ(port.sent.size(), 19);
    EXPECT_EQ(static_cast<std::uint8_t>(port.sent[1][2]), 0);  // offset of message 1
    EXPECT_EQ(outcomes.last(), TransferOutcome::Success);
}

TEST_F(ExchangeTest, BadFirstStatusFailsTheSendButTheRetrieveStillFillsItsLists)
{
    chooseClass0(PointType::Bin, {2});
    FakePanel panel;
    int frame = 0;
    port.panel = [&](const QByteArray& f) {
        QByteArray reply = panel(f);
        if (frame++ == 0) {
            reply[1] = 0x10;
            reply[reply.size() - 1] = static_cast<char>(reply[reply.size() - 1] - 0x10);
        }
        return reply;
    };
    exchange.OKtoSendButtonClick();
    EXPECT_EQ(prompts.texts(), QStringList{"System error or data error has occurred."});
    EXPECT_EQ(outcomes.last(), TransferOutcome::StatusError);

    prompts.shown.clear();
    frame = 0;
    state.resetToNew();
    exchange.OKtoRetrieveButtonClick();
    EXPECT_EQ(prompts.texts(), QStringList{"System or data error has occurred."});
    EXPECT_EQ(outcomes.last(), TransferOutcome::StatusError);
    ASSERT_EQ(sort.retrieveList(PointType::Bin).size(), 1u);
    EXPECT_EQ(sort.retrieveList(PointType::Bin)[0].TypeIndex, 2);
    EXPECT_EQ(state.ClassSelection[0][364 + 2], 1);
}

TEST_F(ExchangeTest, RetrieveMapsThePanelImageBack)
{
    chooseClass0(PointType::Ain, {3, 1, 329});
    state.UnsolicitedSettings = {25, 0x0305, 1000, 0, 0, 0xFFFF};
    FakePanel panel;
    port.panel = std::ref(panel);
    exchange.OKtoSendButtonClick();
    ASSERT_EQ(outcomes.last(), TransferOutcome::Success);

    // Ain 3 before Ain 1 on the panel.
    std::swap(panel.image[1], panel.image[2]);
    ConfigState fresh;
    state = fresh;
    prompts.shown.clear();
    exchange.OKtoRetrieveButtonClick();
    EXPECT_EQ(prompts.texts(), QStringList{"Retrieving communication status: OK.."});
    EXPECT_EQ(outcomes.last(), TransferOutcome::Success);
    const auto& list = sort.retrieveList(PointType::Ain);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].TypeIndex, 3);
    EXPECT_EQ(list[1].TypeIndex, 1);
    EXPECT_EQ(list[2].TypeIndex, 329);
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Ain)][1], 3);
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Ain)][3], 1);
    EXPECT_EQ(state.UnsolicitedSettings, (UnsolicitedWords{25, 0x0305, 1000, 0, 0, 0xFFFF}));
    EXPECT_EQ(sort.RMappingRG, 2);
}

TEST_F(ExchangeTest, ARetrieveThatStopsEarlyChangesNothing)
{
    FakePanel panel;
    panel.image[241] = 99;  // a dead band the panel holds
    int frames = 0;
    port.panel = [&](const QByteArray& f) { return ++frames == 18 ? QByteArray() : panel(f); };
    state.setSelected(0, PointType::Bin, 4, true);
    state.Class0Order[0][4] = 4;
    const ConfigState before = state;
    exchange.OKtoRetrieveButtonClick();
    for (int i = 0; i <= kPollsBeforeTimeOut; ++i)
        exchange.RetrvTimerTimer();
    EXPECT_EQ(outcomes.last(), TransferOutcome::NotResponding);
    EXPECT_EQ(state.UnsolicitedSettings, before.UnsolicitedSettings);
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(state.Class0Order, before.Class0Order);
}

TEST_F(ExchangeTest, ShortAndLongRepliesAreHandledSafely)
{
    chooseClass0(PointType::Bin, {0});
    FakePanel panel;
    // 20 extra bytes after every reply: read as exactly the reply, the rest flushed.
    port.panel = [&](const QByteArray& f) { return panel(f) + QByteArray(20, '\x77'); };
    exchange.OKtoSendButtonClick();
    EXPECT_EQ(outcomes.last(), TransferOutcome::Success);
    EXPECT_EQ(exchange.ReplyLength, 1);

    // A reply one byte short: the wait for the rest is bounded.
    port.panel = [&](const QByteArray& f) { return panel(f).chopped(1); };
    exchange.OKtoSendButtonClick();
    EXPECT_EQ(outcomes.last(), TransferOutcome::NotResponding);
    EXPECT_EQ(prompts.texts().last(), "ZE-P(L) is not responding!");
}

TEST_F(ExchangeTest, OneTransferAtATime)
{
    chooseClass0(PointType::Bin, {0});
    exchange.OKtoSendButtonClick();  // no answer: waiting for message 1
    ASSERT_TRUE(exchange.running());
    exchange.OKtoRetrieveButtonClick();
    exchange.OKtoSendButtonClick();
    EXPECT_EQ(port.sent.size(), 1);
    EXPECT_EQ(prompts.texts(), (QStringList{kTransferUnderWayText, kTransferUnderWayText}));
}

TEST_F(ExchangeTest, APortThatCannotBeOpenedSendsNothing)
{
    chooseClass0(PointType::Bin, {0});
    port.openFails = true;
    exchange.OKtoSendButtonClick();
    EXPECT_TRUE(port.sent.isEmpty());
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"ie_BadId - Specified comport doesn't exist"});
    EXPECT_EQ(outcomes.last(), TransferOutcome::PortError);
}

}  // namespace
