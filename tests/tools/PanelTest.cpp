// The panel's side of the frames, as the simulator reads requests and writes replies.

#include "Line.h"
#include "support/FrameBytes.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;
using namespace dnp::frames;
using namespace dnp::sim;

namespace {

constexpr Addressing kNoAddress{false, 1};
constexpr Addressing kAddress1{true, 1};

}  // namespace

TEST(PanelReplies, WriteReplies)
{
    EXPECT_EQ(composeWriteReply(15, kNoAddress), bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xF6}));
    EXPECT_EQ(composeWriteReply(15, {true, 300}), bytes({0x2C, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xCA}));
    EXPECT_EQ(composeWriteReply(1, kNoAddress), bytes({0x03, 0x00, 0xFD}));
    EXPECT_EQ(composeWriteReply(1, kAddress1), bytes({0x01, 0x03, 0x00, 0xFC}));
    EXPECT_EQ(composeWriteReply(15, kNoAddress, 0x10), bytes({0x0A, 0x10, 0, 0, 0, 0, 0, 0, 0, 0xE6}));
}

TEST(PanelReplies, ReadReplyInterleavesStatusBytesAndWords)
{
    const auto image = countingImage();
    const QByteArray reply = composeReadReply(15, 15, image, kNoAddress);
    ASSERT_EQ(reply.size(), 40);
    QByteArray expected = bytes({0x28, 0x00, 0xA0, 0x0F});  // length, status, word 15
    for (int pair = 0; pair < 7; ++pair) {
        const int w = 16 + 2 * pair;
        expected += bytes({0x00, 0xA0, w, 0xA0, w + 1});
    }
    expected += static_cast<char>(checksum(expected));
    EXPECT_EQ(reply, expected);

    EXPECT_EQ(composeReadReply(255, 1, image, kAddress1), bytes({0x01, 0x05, 0x00, 0xA0, 0xFF, 0x5B}));
    EXPECT_TRUE(sumsToZero(composeReadReply(0, 15, image, {true, 300}, 0x10)));
    EXPECT_EQ(static_cast<std::uint8_t>(composeReadReply(0, 15, image, kNoAddress, 0x10)[1]), 0x10);
}

TEST(PanelParseRequest, ReadsComposedFrames)
{
    const auto image = countingImage();
    for (const Addressing addressing : {Addressing{false, 1}, Addressing{true, 300}}) {
        for (int m = 1; m <= kMessageCount; ++m) {
            const auto parsed = parseRequest(composeWriteFrame(m, image, addressing), addressing.enabled);
            const auto* request = std::get_if<Request>(&parsed);
            ASSERT_NE(request, nullptr) << "message " << m;
            EXPECT_EQ(request->command, Command::Write);
            EXPECT_EQ(request->offset, messageOffset(m));
            EXPECT_EQ(request->count, messageWordCount(m));
            EXPECT_EQ(request->address, addressing.enabled ? 44 : 0);
            std::vector<std::uint16_t> expected;
            for (int w = messageFirstWord(m); w < messageFirstWord(m) + messageWordCount(m); ++w)
                expected.push_back(image[static_cast<std::size_t>(w)]);
            EXPECT_EQ(request->words, expected);

            const auto read = parseRequest(composeReadFrame(m, addressing), addressing.enabled);
            ASSERT_TRUE(std::holds_alternative<Request>(read));
            EXPECT_EQ(std::get<Request>(read).command, Command::Read);
            EXPECT_EQ(std::get<Request>(read).size, 5 + (addressing.enabled ? 1 : 0));
        }
    }
}

TEST(PanelParseRequest, WaitsForTheWholeFrame)
{
    const QByteArray frame = composeReadFrame(2, kNoAddress);
    for (int n = 0; n < frame.size(); ++n)
        EXPECT_TRUE(std::holds_alternative<Incomplete>(parseRequest(frame.left(n), false))) << n;
    // What follows the frame is left for the next one.
    const auto parsed = parseRequest(frame + frame, false);
    ASSERT_TRUE(std::holds_alternative<Request>(parsed));
    EXPECT_EQ(std::get<Request>(parsed).size, 5);
}

TEST(PanelParseRequest, RejectsBadFrames)
{
    const auto bad = [](const QByteArray& stream, bool addressing = false) {
        const auto parsed = parseRequest(stream, addressing);
        return std::get_if<BadFrame>(&parsed) ? std::get<BadFrame>(parsed) : BadFrame{-1, "not bad"};
    };
    // Checksum off by one: the whole frame goes.
    EXPECT_EQ(bad(bytes({0x05, 0xD0, 0x0F, 0x0F, 0x0E})).discard, 5);
    EXPECT_EQ(bad(bytes({0x01, 0x05, 0xD0, 0x0F, 0x0F, 0x0D}), true).discard, 6);
    // No frame starts here: one byte goes.
    EXPECT_EQ(bad(bytes({0x05, 0xD2, 0x0F, 0x0F, 0x0B})).discard, 1);
    EXPECT_EQ(bad(bytes({0x04, 0xD0, 0x0F, 0x0F, 0x0E})).discard, 1);
    EXPECT_EQ(bad(bytes({0x24, 0xD1, 0x00, 0x0F})).discard, 1);       // longer than 15 words
    EXPECT_EQ(bad(bytes({0x23, 0xD1, 0x00, 0x0E})).discard, 1);       // 14 words need length 33
    EXPECT_EQ(bad(bytes({0x05, 0xD0, 0x00, 0x00, 0x2B})).discard, 1); // no words
    EXPECT_EQ(bad(bytes({0x05, 0xD0, 0xFF, 0x02, 0x2A})).discard, 1); // past word 255
    EXPECT_EQ(bad(bytes({0x06, 0xD0, 0x0F, 0x0F, 0x0C})).discard, 1); // read frames are 5 bytes
}

// --- Faults that change what a reply carries ---

namespace {

QByteArray readRequest(int offset, int count, Addressing addressing = kNoAddress)
{
    return envelope(addressing, bytes({kReadCommand, offset, count}));
}

Faults faultsWith(void (*set)(Faults&))
{
    Faults faults;
    set(faults);
    return faults;
}

struct ReplyCase {
    const char* name;
    Faults faults;
    std::vector<QByteArray> requests;
    std::vector<QByteArray> replies;  // in the order of the requests; empty: none
    std::vector<bool> repeats;
};

const ConfigImage kImage = countingImage();

QByteArray readReply(int offset, int count) { return composeReadReply(offset, count, kImage, kNoAddress); }

}  // namespace

TEST(PanelFaults, RepliesCarryTheFaultsOfTheirRequest)
{
    const QByteArray extra2(2, kExtraByte);
    const QByteArray extra3(3, kExtraByte);
    const ReplyCase cases[] = {
        {"previous words at the second read", faultsWith([](Faults& f) { f.previousWordsAt = {2}; }),
         {readRequest(0, 15), readRequest(15, 15), readRequest(30, 15)},
         {readReply(0, 15), readReply(0, 15), readReply(30, 15)},
         {false, false, false}},
        {"previous words at the first read: from word 0", faultsWith([](Faults& f) { f.previousWordsAt = {1}; }),
         {readRequest(30, 15)},
         {readReply(0, 15)},
         {false}},
        {"previous words of a fifteen-word read in a one-word reply",
         faultsWith([](Faults& f) { f.previousWordsAt = {2}; }),
         {readRequest(240, 15), readRequest(255, 1)},
         {readReply(240, 15), bytes({0x05, 0x00, 0xA0, 0xF0, 0x6B})},
         {false, false}},
        {"previous words every read", faultsWith([](Faults& f) { f.previousWordsEveryRead = true; }),
         {readRequest(0, 15), readRequest(15, 15), readRequest(255, 1)},
         {readReply(0, 15), readReply(0, 15), readReply(15, 1)},
         {false, false, false}},
        {"a silent read is still the previous read",
         faultsWith([](Faults& f) {
             f.silentAt = {1};
             f.previousWordsAt = {2};
         }),
         {readRequest(45, 15), readRequest(60, 15)},
         {QByteArray(), readReply(45, 15)},
         {false, false}},
        {"a write is no read", faultsWith([](Faults& f) { f.previousWordsAt = {2}; }),
         {composeWriteFrame(2, kImage, kNoAddress), readRequest(15, 15)},
         {composeWriteReply(15, kNoAddress), readReply(0, 15)},
         {false, false}},
        {"extra bytes after every reply", faultsWith([](Faults& f) { f.extraBytes = 2; }),
         {readRequest(0, 1), readRequest(1, 1)},
         {readReply(0, 1) + extra2, readReply(1, 1) + extra2},
         {false, false}},
        {"extra bytes after the second reply only",
         faultsWith([](Faults& f) {
             f.extraBytes = 3;
             f.extraAt = {2};
         }),
         {readRequest(0, 1), readRequest(1, 1), readRequest(2, 1)},
         {readReply(0, 1), readReply(1, 1) + extra3, readReply(2, 1)},
         {false, false, false}},
        {"no extra bytes after a short reply",
         faultsWith([](Faults& f) {
             f.extraBytes = 3;
             f.shortReplyAt = {1};
         }),
         {readRequest(0, 1)},
         {readReply(0, 1).chopped(kShortReplyMissing)},
         {false}},
        {"the second reply repeated", faultsWith([](Faults& f) { f.repeatReplyAt = {2}; }),
         {readRequest(0, 1), composeWriteFrame(18, kImage, kNoAddress), readRequest(2, 1)},
         {readReply(0, 1), bytes({0x03, 0x00, 0xFD}), readReply(2, 1)},
         {false, true, false}},
        {"every reply repeated", faultsWith([](Faults& f) { f.repeatEveryReply = true; }),
         {readRequest(0, 1), readRequest(1, 1)},
         {readReply(0, 1), readReply(1, 1)},
         {true, true}},
        {"a silent request is not repeated",
         faultsWith([](Faults& f) {
             f.repeatEveryReply = true;
             f.silentAt = {1};
         }),
         {readRequest(0, 1)},
         {QByteArray()},
         {false}},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        Line line({}, c.faults);
        line.stations().front().panel.image = kImage;
        for (std::size_t r = 0; r < c.requests.size(); ++r) {
            const std::vector<Heard> heard = line.receive(c.requests[r]);
            ASSERT_EQ(heard.size(), 1u) << "request " << r + 1;
            const Answer& answer = heard[0].answer;
            EXPECT_EQ(answer.request, static_cast<int>(r + 1));
            EXPECT_EQ(answer.frame, c.requests[r]);
            EXPECT_EQ(answer.reply, c.replies[r]) << "request " << r + 1;
            EXPECT_EQ(answer.repeat, c.repeats[r]) << "request " << r + 1;
        }
    }
}

TEST(PanelFaults, AFrameForAnotherAddressIsNotOurs)
{
    Line line({1}, {});
    EXPECT_TRUE(line.receive(readRequest(0, 1, {true, 2})).empty());
    const std::vector<Dropped> dropped = line.takeDropped();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].bytes, 6);
    EXPECT_EQ(dropped[0].reason, QStringLiteral("for address 2, not ours"));
}

// Whatever comes, the reader keeps no more than a frame's start, and tells a run of
// bytes dropped for one reason once.
TEST(PanelFaults, NoiseIsDroppedInRunsAndFramesAfterItAreAnswered)
{
    Line line({}, {});
    const QByteArray noise(50000, '\xFF');  // no command
    EXPECT_TRUE(line.receive(noise).empty());
    EXPECT_EQ(line.receive(readRequest(0, 1)).size(), 1u);
    const std::vector<Dropped> dropped = line.takeDropped();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].bytes, 50000);
    EXPECT_EQ(dropped[0].reason, QStringLiteral("unknown command"));
    EXPECT_FALSE(line.hasPartial());
}
