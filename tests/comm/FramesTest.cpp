#include "comm/Frames.h"
#include "support/FrameBytes.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;
using namespace dnp::frames;

namespace {

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

TEST(FramesMessagePlan, OffsetsCountsAndInvalidMessages)
{
    for (int m = 1; m <= 17; ++m) {
        EXPECT_EQ(messageOffset(m), (m - 1) * 15);
        EXPECT_EQ(messageWordCount(m), 15);
    }
    EXPECT_EQ(messageOffset(18), 255);
    EXPECT_EQ(messageWordCount(18), 1);
    const auto image = countingImage();
    EXPECT_TRUE(composeWriteFrame(0, image, kNoAddress).isEmpty());
    EXPECT_TRUE(composeWriteFrame(19, image, kNoAddress).isEmpty());
    EXPECT_TRUE(composeReadFrame(0, kNoAddress).isEmpty());
    EXPECT_TRUE(composeReadFrame(19, kNoAddress).isEmpty());
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

// Replies written out byte for byte, as a panel sends them.
TEST(FramesParseReply, ReadsStatusBytesAndWords)
{
    const auto parsed = [](const QByteArray& reply, Command command, int message, Addressing a = kNoAddress) {
        const std::variant<Reply, FrameProblem> r = parseReply(reply, {command, message, a});
        EXPECT_TRUE(std::holds_alternative<Reply>(r));
        return std::holds_alternative<Reply>(r) ? std::get<Reply>(r) : Reply{};
    };
    // Write reply to messages 1-17: length 0A, eight status bytes, checksum F6.
    Reply write = parsed(bytes({0x0A, 0, 0, 0, 0, 0, 0, 0x01, 0, 0xF5}), Command::Write, 1);
    EXPECT_EQ(write.statuses, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x01, 0}));
    EXPECT_TRUE(write.words.empty());
    // Read reply to message 18 with address 1: 01 05 status word checksum.
    Reply last = parsed(bytes({0x01, 0x05, 0x00, 0x12, 0x34, 0xB4}), Command::Read, 18, kAddress1);
    EXPECT_EQ(last.statuses, std::vector<std::uint8_t>{0});
    EXPECT_EQ(last.words, std::vector<std::uint16_t>{0x1234});
    // A 15-word read reply: status, word; then seven times status, word, word.
    QByteArray fifteen = bytes({0x28, 0x10, 0xA0, 0x0F});
    for (int pair = 0; pair < 7; ++pair)
        fifteen += bytes({0x00, 0xA0, 0x10 + 2 * pair, 0xA0, 0x11 + 2 * pair});
    fifteen += static_cast<char>(checksum(fifteen));
    Reply read = parsed(fifteen, Command::Read, 2);
    EXPECT_EQ(read.statuses.size(), 8u);
    EXPECT_EQ(read.statuses[0], 0x10);
    ASSERT_EQ(read.words.size(), 15u);
    for (int j = 0; j < 15; ++j)
        EXPECT_EQ(read.words[j], 0xA00F + j);
}

TEST(FramesParseReply, StatusIsGoodOnlyWhenBothHalvesAreZero)
{
    EXPECT_TRUE(goodStatus(0x00));
    for (int status : {0x01, 0x07, 0x08, 0x0F, 0x10, 0x80, 0xFF})
        EXPECT_FALSE(goodStatus(static_cast<std::uint8_t>(status))) << status;
}


// A reply is used only when its frame checks out; the refusal says what was wrong
// (comm/TransferText.h tells it).
TEST(FramesParseReply, RefusesRepliesWhoseFrameDoesNotCheckOut)
{
    using Part = FrameProblem::Part;
    struct Case {
        const char* name;
        QByteArray bytes;
        Command command;
        int message;
        Addressing addressing;
        bool checkChecksum;
        std::optional<FrameProblem> refusal;  // nothing when the reply is taken
    };
    const Case cases[] = {
        {"good write reply", bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xF6}), Command::Write, 1, kNoAddress, true, {}},
        {"stray zeros first", bytes({0, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0}), Command::Write, 2, kNoAddress, true,
         FrameProblem{Part::Length, 0, 10}},
        {"length of a read reply", bytes({0x0A, 0x00, 0x12, 0x34, 0xB8}), Command::Read, 18, kNoAddress, true,
         FrameProblem{Part::Length, 10, 5}},
        {"other address", bytes({0x07, 0x03, 0x00, 0xF6}), Command::Write, 18, kAddress1, true,
         FrameProblem{Part::Address, 7, 1}},
        {"checksum one off", bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xF5}), Command::Write, 1, kNoAddress, true,
         FrameProblem{Part::Checksum, 0xF5, 0xF6}},
        {"address counts in the checksum", bytes({0x01, 0x03, 0x00, 0xFD}), Command::Write, 18, kAddress1, true,
         FrameProblem{Part::Checksum, 0xFD, 0xFC}},
        {"checksum not checked", bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0xF5}), Command::Write, 1, kNoAddress, false, {}},
        {"length checked all the same", bytes({0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0xF5}), Command::Write, 1, kNoAddress,
         false, FrameProblem{Part::Length, 11, 10}},
        {"a byte short", bytes({0x0A, 0, 0, 0, 0, 0, 0, 0, 0xF6}), Command::Write, 1, kNoAddress, true,
         FrameProblem{Part::Size, 9, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::variant<Reply, FrameProblem> r = parseReply(c.bytes, {c.command, c.message, c.addressing, c.checkChecksum});
        const auto* refused = std::get_if<FrameProblem>(&r);
        EXPECT_EQ(refused ? std::optional<FrameProblem>(*refused) : std::nullopt, c.refusal);
    }
}
