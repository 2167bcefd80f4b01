// Bytes that trail a reply on the line and arrive only after the reply has been read:
// the exchange waits for the line to go quiet and drops them, so that they are not
// taken for the start of the next reply.

#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/Exchange.h"
#include "comm/SortModel.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <limits>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

// A panel that answers every frame correctly and then sends `trailing` bytes 0xAA,
// which reach the port one at a time, only once the reply has been taken from it.
class TrailingPort : public SerialLink {
public:
    int trailing = 20;
    int babblingFrame = 0;  // after the reply to this frame the bytes never stop
    std::array<std::uint16_t, 256> image{};
    QByteArray received;
    int pending = 0;
    int dropped = 0;  // trailing bytes that reached the port and were flushed
    int frames = 0;

    PortResult open() override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }
    PortResult SendBytes(QByteArrayView bytes) override
    {
        ++frames;
        const auto parsed = frames::parseRequest(bytes, false);
        const auto* request = std::get_if<frames::Request>(&parsed);
        if (!request)
            return {};
        if (request->command == frames::Command::Write) {
            for (std::size_t i = 0; i < request->words.size(); ++i)
                image[request->offset + i] = request->words[i];
            received += frames::composeWriteReply(request->count, {});
        } else {
            received += frames::composeReadReply(request->offset, request->count, image, {});
        }
        pending = frames == babblingFrame ? std::numeric_limits<int>::max() : trailing;
        return {};
    }
    std::uint16_t TransmitPending() override { return 0; }
    std::uint16_t ReceivedCount() override
    {
        if (received.isEmpty() && pending > 0) {
            received += '\xAA';
            --pending;
        }
        return static_cast<std::uint16_t>(received.size());
    }
    ReadResult ReadByte() override
    {
        if (received.isEmpty())
            return {0, kNothingReceivedText};
        const auto b = static_cast<std::uint8_t>(received[0]);
        received.remove(0, 1);
        return {b, {}};
    }
    void FlushReceive() override
    {
        if (received.size() == 1 && static_cast<std::uint8_t>(received[0]) == 0xAA)
            ++dropped;
        received.clear();
    }
};

struct ExchangeTrailingBytesTest : ::testing::Test {
    QTemporaryDir dir;
    ConfigState state;
    test::ScriptedPrompts prompts;
    ClassEditor editor{state, prompts};
    SortModel sort{state};
    TcomSetIni settings{dir.filePath("DNP.ini")};
    TrailingPort port;
    Exchange exchange{state, editor, sort, settings, port, prompts};

    ExchangeTrailingBytesTest()
    {
        settings.ComPort = 1;
        settings.Baud = 0;  // 19200
        state.setSelected(0, PointType::Bin, 3, true);
        state.Class0Order[0][3] = 3;
        state.setSelected(0, PointType::Counters, 1, true);
        state.Class0Order[typeNumber(PointType::Counters)][1] = 1;
        sort.InitSort();
    }
};

TEST_F(ExchangeTrailingBytesTest, ASendSucceedsAndDropsThemAll)
{
    exchange.OKtoSendButtonClick();
    EXPECT_FALSE(exchange.running());
    EXPECT_EQ(exchange.outcome(), TransferOutcome::Success);
    EXPECT_EQ(prompts.texts(), QStringList{"Sending communication status: OK.."});
    EXPECT_EQ(port.frames, 18);
    EXPECT_EQ(port.dropped, 18 * 20);
    EXPECT_EQ(port.image, exchange.sentImage());
}

TEST_F(ExchangeTrailingBytesTest, ARetrieveSucceedsAndMapsThePanelsImage)
{
    exchange.OKtoSendButtonClick();
    ASSERT_EQ(exchange.outcome(), TransferOutcome::Success);
    state.resetToNew();
    prompts.shown.clear();
    exchange.OKtoRetrieveButtonClick();
    EXPECT_EQ(exchange.outcome(), TransferOutcome::Success);
    EXPECT_EQ(prompts.texts(), QStringList{"Retrieving communication status: OK.."});
    EXPECT_EQ(state.Class0Order[0][3], 3);
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Counters)][1], 1);
    EXPECT_EQ(port.dropped, 2 * 18 * 20);
}

// A line that never goes quiet does not hold the exchange: the wait for quiet is
// bounded, and the next request is sent after it.
TEST_F(ExchangeTrailingBytesTest, ALineThatNeverGoesQuietEndsTheWait)
{
    port.babblingFrame = 1;
    exchange.OKtoSendButtonClick();
    EXPECT_FALSE(exchange.running());
    EXPECT_EQ(exchange.outcome(), TransferOutcome::Success);
    EXPECT_EQ(port.frames, 18);
    EXPECT_GT(port.dropped, 17 * 20 + 256);
}

}  // namespace
