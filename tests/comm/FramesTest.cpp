#include "comm/Frames.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace dnp::frames;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

// Word i of the image is 0xA000 + i, so that every word tells where it comes from.
std::array<std::uint16_t, kImageWordCount> countingImage()
{
    std::array<std::uint16_t, kImageWordCount> image{};
    for (int i = 0; i < kImageWordCount; ++i)
        image[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0xA000 + i);
    return image;
}

std::vector<std::uint16_t> dataWords(const QByteArray& frame, int dataAt)
{
    std::vector<std::uint16_t> words;
    for (int i = dataAt; i + 1 < frame.size() - 1; i += 2)
        words.push_back(static_cast<std::uint16_t>(static_cast<std::uint8_t>(frame[i]) << 8 | static_cast<std::uint8_t>(frame[i + 1])));
    return words;
}

constexpr Addressing kNoAddress{false, 1};
constexpr Addressing kAddress1{true, 1};

}  // namespace

TEST(FramesChecksum, IsTheTwosComplementOfTheLowByteOfTheSum)
{
    EXPECT_EQ(checksum(bytes({0x05, 0xD0, 0x0F, 0x0F})), 0x0D);
    EXPECT_EQ(checksum(bytes({0x01, 0x05, 0xD0, 0x0F, 0x0F})), 0x0C);
    EXPECT_EQ(checksum(bytes({})), 0x00);
    EXPECT_EQ(checksum(bytes({0x80, 0x80})), 0x00);
    EXPECT_EQ(checksum(bytes({0xFF})), 0x01);
    EXPECT_TRUE(sumsToZero(bytes({0x05, 0xD0, 0x0F, 0x0F, 0x0D})));
    EXPECT_FALSE(sumsToZero(bytes({0x05, 0xD0, 0x0F, 0x0F, 0x0E})));
}

TEST(FramesReadFrame, Message2WithoutAddressing)
{
    EXPECT_EQ(composeReadFrame(2, kNoAddress), bytes({0x05, 0xD0, 0x0F, 0x0F, 0x0D}));
}

TEST(FramesReadFrame, Message2WithAddress1)
{
    EXPECT_EQ(composeReadFrame(2, kAddress1), bytes({0x01, 0x05, 0xD0, 0x0F, 0x0F, 0x0C}));
}

TEST(FramesReadFrame, Message18AsksForWord255Alone)
{
    EXPECT_EQ(composeReadFrame(18, kNoAddress), bytes({0x05, 0xD0, 0xFF, 0x01, 0x2B}));
    EXPECT_EQ(composeReadFrame(1, kNoAddress), bytes({0x05, 0xD0, 0x00, 0x0F, 0x1C}));
}

TEST(FramesReadFrame, AddressByteIsTheLowByteOfTheAddress)
{
    EXPECT_EQ(static_cast<std::uint8_t>(composeReadFrame(1, {true, 300})[0]), 44);
    EXPECT_EQ(static_cast<std::uint8_t>(composeReadFrame(1, {true, -1})[0]), 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(composeReadFrame(1, {true, 256})[0]), 0x00);
    // Without addressing the address has no part in the frame.
    EXPECT_EQ(composeReadFrame(1, {false, 300}), composeReadFrame(1, {false, 1}));
}

TEST(FramesWriteFrame, FifteenWordsHaveLength35WithAndWithoutAddress)
{
    const auto image = countingImage();
    const QByteArray plain = composeWriteFrame(1, image, kNoAddress);
    ASSERT_EQ(plain.size(), 35);
    EXPECT_EQ(plain.left(4), bytes({0x23, 0xD1, 0x00, 0x0F}));
    EXPECT_EQ(static_cast<std::uint8_t>(plain[4]), 0xA0);  // word 0, high byte first
    EXPECT_EQ(static_cast<std::uint8_t>(plain[5]), 0x00);

    const QByteArray addressed = composeWriteFrame(1, image, {true, 7});
    ASSERT_EQ(addressed.size(), 36);
    EXPECT_EQ(addressed.left(5), bytes({0x07, 0x23, 0xD1, 0x00, 0x0F}));
    EXPECT_EQ(addressed.mid(1, 34), plain.left(34));
    // The address byte is counted in the checksum.
    EXPECT_EQ(static_cast<std::uint8_t>(addressed.back()), static_cast<std::uint8_t>(plain.back() - 7));
}

TEST(FramesWriteFrame, Message18CarriesWord255WithLength7)
{
    auto image = countingImage();
    image[255] = 0x1234;
    EXPECT_EQ(composeWriteFrame(18, image, kNoAddress), bytes({0x07, 0xD1, 0xFF, 0x01, 0x12, 0x34, 0xE2}));
    EXPECT_EQ(composeWriteFrame(18, image, kAddress1), bytes({0x01, 0x07, 0xD1, 0xFF, 0x01, 0x12, 0x34, 0xE1}));
}

TEST(FramesWriteFrame, EveryMessageCarriesItsWordsInOrder)
{
    const auto image = countingImage();
    for (int m = 1; m <= 17; ++m) {
        const QByteArray frame = composeWriteFrame(m, image, kNoAddress);
        ASSERT_EQ(frame.size(), 35) << "message " << m;
        EXPECT_EQ(static_cast<std::uint8_t>(frame[2]), (m - 1) * 15) << "message " << m;
        EXPECT_EQ(static_cast<std::uint8_t>(frame[3]), 15);
        std::vector<std::uint16_t> expected;
        for (int w = (m - 1) * 15; w < m * 15; ++w)
            expected.push_back(static_cast<std::uint16_t>(0xA000 + w));
        EXPECT_EQ(dataWords(frame, 4), expected) << "message " << m;
    }
}

TEST(FramesMessagePlan, OffsetsCountsAndSendWordOffsets)
{
    for (int m = 1; m <= 17; ++m) {
        EXPECT_EQ(messageOffset(m), (m - 1) * 15);
        EXPECT_EQ(messageWordCount(m), 15);
    }
    EXPECT_EQ(messageOffset(18), 255);
    EXPECT_EQ(messageWordCount(18), 1);
    EXPECT_EQ(sendWordOffset(1), 14);
    EXPECT_EQ(sendWordOffset(2), 14);
    EXPECT_EQ(sendWordOffset(3), 29);
    EXPECT_EQ(sendWordOffset(4), 44);
    EXPECT_EQ(sendWordOffset(17), 239);
}

TEST(FramesMessagePlan, Message17IsWords240To247Then248To254)
{
    std::vector<int> expected(15);
    std::iota(expected.begin(), expected.end(), 240);
    EXPECT_EQ(messageImageWords(17), expected);
    EXPECT_EQ(messageImageWords(18), std::vector<int>{255});
    std::vector<int> first(15);
    std::iota(first.begin(), first.end(), 0);
    EXPECT_EQ(messageImageWords(1), first);
    std::vector<int> second(15);
    std::iota(second.begin(), second.end(), 15);
    EXPECT_EQ(messageImageWords(2), second);
}

TEST(FramesMessagePlan, EveryImageWordTravelsExactlyOnce)
{
    std::vector<int> seen(kImageWordCount, 0);
    for (int m = 1; m <= kMessageCount; ++m)
        for (int w : messageImageWords(m))
            ++seen[static_cast<std::size_t>(w)];
    for (int w = 0; w < kImageWordCount; ++w)
        EXPECT_EQ(seen[static_cast<std::size_t>(w)], 1) << "word " << w;
}

TEST(FramesMessagePlan, InvalidMessagesGiveNoFrame)
{
    const auto image = countingImage();
    EXPECT_TRUE(composeWriteFrame(0, image, kNoAddress).isEmpty());
    EXPECT_TRUE(composeWriteFrame(19, image, kNoAddress).isEmpty());
    EXPECT_TRUE(composeReadFrame(0, kNoAddress).isEmpty());
    EXPECT_TRUE(composeReadFrame(19, kNoAddress).isEmpty());
    EXPECT_TRUE(messageImageWords(19).empty());
}

TEST(FramesAllFrames, EveryFrameSumsToZero)
{
    const auto image = countingImage();
    for (const Addressing addressing : {Addressing{false, 1}, Addressing{true, 1}, Addressing{true, 300}, Addressing{true, 255}}) {
        for (int m = 1; m <= kMessageCount; ++m) {
            const QByteArray write = composeWriteFrame(m, image, addressing);
            const QByteArray read = composeReadFrame(m, addressing);
            EXPECT_TRUE(sumsToZero(write)) << "write " << m;
            EXPECT_TRUE(sumsToZero(read)) << "read " << m;
            const int lengthAt = addressing.enabled ? 1 : 0;
            // The length byte counts from itself through the checksum.
            EXPECT_EQ(static_cast<std::uint8_t>(write[lengthAt]), write.size() - lengthAt);
            EXPECT_EQ(static_cast<std::uint8_t>(read[lengthAt]), 5);
            EXPECT_EQ(read.size(), 5 + lengthAt);
        }
    }
}

TEST(FramesReplies, SizesOfTheReplyTable)
{
    for (int m = 1; m <= 17; ++m) {
        EXPECT_EQ(replySize(Command::Write, m, false), 10);
        EXPECT_EQ(replySize(Command::Write, m, true), 11);
        EXPECT_EQ(replySize(Command::Read, m, false), 40);
        EXPECT_EQ(replySize(Command::Read, m, true), 41);
        EXPECT_EQ(replyPayloadSize(Command::Write, m), 8);
        EXPECT_EQ(replyPayloadSize(Command::Read, m), kLongestReplyPayload);
    }
    EXPECT_EQ(replySize(Command::Write, 18, false), 3);
    EXPECT_EQ(replySize(Command::Write, 18, true), 4);
    EXPECT_EQ(replySize(Command::Read, 18, false), 5);
    EXPECT_EQ(replySize(Command::Read, 18, true), 6);
}

TEST(FramesReplies, WriteReplies)
{
    EXPECT_EQ(composeWriteReply(15, kNoAddress), bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xF6}));
    EXPECT_EQ(composeWriteReply(15, {true, 300}), bytes({0x2C, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xCA}));
    EXPECT_EQ(composeWriteReply(1, kNoAddress), bytes({0x03, 0x00, 0xFD}));
    EXPECT_EQ(composeWriteReply(1, kAddress1), bytes({0x01, 0x03, 0x00, 0xFC}));
    EXPECT_EQ(composeWriteReply(15, kNoAddress, 0x10), bytes({0x0A, 0x10, 0, 0, 0, 0, 0, 0, 0, 0xE6}));
}

TEST(FramesReplies, ReadReplyInterleavesStatusBytesAndWords)
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

TEST(FramesParseRequest, ReadsComposedFrames)
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
            for (int w : messageImageWords(m))
                expected.push_back(image[static_cast<std::size_t>(w)]);
            EXPECT_EQ(request->words, expected);

            const auto read = parseRequest(composeReadFrame(m, addressing), addressing.enabled);
            ASSERT_TRUE(std::holds_alternative<Request>(read));
            EXPECT_EQ(std::get<Request>(read).command, Command::Read);
            EXPECT_EQ(std::get<Request>(read).size, 5 + (addressing.enabled ? 1 : 0));
        }
    }
}

TEST(FramesParseRequest, WaitsForTheWholeFrame)
{
    const QByteArray frame = composeReadFrame(2, kNoAddress);
    for (int n = 0; n < frame.size(); ++n)
        EXPECT_TRUE(std::holds_alternative<Incomplete>(parseRequest(frame.left(n), false))) << n;
    // What follows the frame is left for the next one.
    const auto parsed = parseRequest(frame + frame, false);
    ASSERT_TRUE(std::holds_alternative<Request>(parsed));
    EXPECT_EQ(std::get<Request>(parsed).size, 5);
}

TEST(FramesParseRequest, RejectsBadFrames)
{
    const auto bad = [](const QByteArray& stream, bool addressing = false) {
        const auto parsed = parseRequest(stream, addressing);
        return std::get_if<BadFrame>(&parsed) ? std::get<BadFrame>(parsed) : BadFrame{-1, -1, "not bad"};
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
