// Mapping a retrieved image back: the words as the 18 replies collect them, and the
// configuration the mapping finds in them, image in, retrieved configuration out.

#include "comm/RetrieveMapping.h"

#include <gtest/gtest.h>

namespace dnp {
namespace {

constexpr std::uint16_t X = 0xFFFF;

// --- the words as the replies collect them --------------------------------------

TEST(RetrieveBuffersTest, AnImageArrivesAsEighteenReplies)
{
    ConfigImage image{};
    image[0] = 8;
    for (int i = 1; i <= 20; ++i)
        image[i] = static_cast<std::uint16_t>(100 + i);
    for (int i = 241; i <= 246; ++i)
        image[i] = static_cast<std::uint16_t>(i);
    for (int i = 248; i <= 255; ++i)
        image[i] = static_cast<std::uint16_t>(0x1000 + i);

    const RetrieveBuffers b = retrieveBuffersFromImage(image);
    EXPECT_EQ(b.RetrievedMappingCode, 8);
    // The 20 list words, then words 240 (0) and 241-246 appended after them; the
    // zero word 240 makes the count fall short of the last of them (20 + 5).
    EXPECT_EQ(b.RetrievedCount, 25);
    for (int p = 0; p < 20; ++p)
        EXPECT_EQ(b.RetrievedWords[p], 101 + p);
    EXPECT_EQ(b.RetrievedWords[20], 0);
    EXPECT_EQ(b.RetrievedWords[21], 241);
    EXPECT_EQ(b.RetrievedWords[26], 246);
    EXPECT_EQ(b.TrailerFill, 8);
    EXPECT_EQ(b.RetrievedTrailer[0], 0x1000 + 248);
    EXPECT_EQ(b.RetrievedTrailer[7], 0x1000 + 255);
    EXPECT_EQ(b.RetrievedUnsolicited, (UnsolicitedWords{241, 242, 243, 244, 245, 246}));
}

TEST(RetrieveBuffersTest, CountIsTheNonzeroWordsAfterEachReply)
{
    RetrieveBuffers b;
    const std::array<std::uint16_t, 15> first = {8, 5, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b.appendReplyWords(0, first);
    EXPECT_EQ(b.RetrievedCount, 2);
    const std::array<std::uint16_t, 15> second = {9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    b.appendReplyWords(15, second);
    // Appended at position 2, over the 7 that the zero before it pushed out of the count.
    EXPECT_EQ(b.RetrievedCount, 3);
    EXPECT_EQ(b.RetrievedWords[0], 5);
    EXPECT_EQ(b.RetrievedWords[1], 0);
    EXPECT_EQ(b.RetrievedWords[2], 9);
    EXPECT_EQ(b.RetrievedWords[3], 9);
}

TEST(RetrieveBuffersTest, ADeadBandAbove100PercentBecomesTheDefault)
{
    RetrieveBuffers b;
    const std::array<std::uint16_t, 15> words = {0, 1001, 300, 1000, 5, 0xFFFF, 9, 0, 0, 0, 0, 0, 0, 0, 0};
    b.appendReplyWords(240, words);
    EXPECT_EQ(b.RetrievedUnsolicited, (UnsolicitedWords{20, 300, 1000, 5, 20, 9}));
}

// --- the mapping ------------------------------------------------------------------

// An image of a point list and trailer (words 248-255).
ConfigImage imageFor(std::vector<std::uint16_t> list, std::array<std::uint16_t, 8> trailer, std::uint16_t mapping = 8)
{
    ConfigImage image{};
    image[0] = mapping;
    for (std::size_t i = 0; i < list.size(); ++i)
        image[1 + i] = list[i];
    for (int i = 0; i < 6; ++i)
        image[241 + i] = kDefaultUnsolicited[i];
    for (int i = 0; i < 8; ++i)
        image[248 + i] = trailer[i];
    return image;
}

std::array<std::uint8_t, 4> classesOf(const RetrievedConfig& r, int selection)
{
    return {r.ClassSelection[0][selection], r.ClassSelection[1][selection], r.ClassSelection[2][selection],
            r.ClassSelection[3][selection]};
}

using Classes = std::array<std::uint8_t, 4>;

// One word in its block: the point found and its classes.
struct OneWord {
    const char* name;
    std::uint16_t word;
    std::array<std::uint16_t, 8> trailer;
    PointType type;
    int typeIndex;
    Classes classes;
};

const OneWord kOneWord[] = {
    {"a Class 1 binary input", 0x1000 + 2607, {1, X, X, X, X, X, 0, 1}, PointType::Bin, 3, {1, 1, 0, 0}},
    {"a Class 0 word", 2607, {1, X, X, X, X, X, 0, 1}, PointType::Bin, 3, {1, 0, 0, 0}},
    {"a Class 2 word", 0x2000 | 2607, {1, X, X, X, X, X, 0, 1}, PointType::Bin, 3, {1, 0, 1, 0}},
    {"a Class 3 word marked 0x4000", 0x4000 | 258, {X, X, 1, X, X, X, 0, 1}, PointType::Ain, 0, {1, 0, 0, 1}},
    {"a Class 3 word marked 0x3000", 0x3000 | 260, {X, X, 1, X, X, X, 0, 1}, PointType::Ain, 1, {1, 0, 0, 1}},
    {"a flagged counter word", 0x8000 | 2228, {X, X, X, X, X, 1, 0, 2}, PointType::Counters, 0, {1, 0, 0, 0}},
};

TEST(MapRetrievedImageTest, OneWordInItsBlock)
{
    for (const OneWord& c : kOneWord) {
        SCOPED_TRACE(c.name);
        const RetrievedConfig r = mapRetrievedImage(imageFor({c.word}, c.trailer));
        EXPECT_EQ(r.order.of(c.type), std::vector<int>{c.typeIndex});
        EXPECT_EQ(classesOf(r, selectionIndexOf(c.type, c.typeIndex)), c.classes);
        EXPECT_TRUE(r.found[typeNumber(c.type)][c.typeIndex]);
        EXPECT_EQ(r.Class0Order[typeNumber(c.type)][c.typeIndex], c.typeIndex);
        EXPECT_EQ(r.mappingCode, 8);
    }
}

TEST(MapRetrievedImageTest, MultiWordPointsAndCountersTakeTheirFurtherWords)
{
    // The second word of a counter equals the code of counter 1: it is not a point.
    RetrievedConfig r = mapRetrievedImage(imageFor({0x8000 | 2228, 2232}, {X, X, X, X, X, 1, 0, 2}));
    EXPECT_EQ(r.order.of(PointType::Counters), std::vector<int>{0});
    // Aout 72 (five words) then counter 6, whose code 2307 is also Aout 52's.
    r = mapRetrievedImage(imageFor({2590, 2591, 2592, 2593, 2594, 0x8000 | 2307, 1}, {X, X, X, 1, X, 6, 0, 7}));
    EXPECT_EQ(r.order.of(PointType::Aout), std::vector<int>{72});
    EXPECT_EQ(r.order.of(PointType::Counters), std::vector<int>{6});
    EXPECT_EQ(r.ClassSelection[0][388 + 52], 0);
    // Ain 329 (two words) then Aout 64, whose code 2357 is also Ain 342's.
    r = mapRetrievedImage(imageFor({2360, 2361, 2357}, {X, X, 1, 3, X, X, 0, 3}));
    EXPECT_EQ(r.order.of(PointType::Ain), std::vector<int>{329});
    EXPECT_EQ(r.order.of(PointType::Aout), std::vector<int>{64});
    EXPECT_EQ(r.ClassSelection[0][342], 0);
}

TEST(MapRetrievedImageTest, SecondBinaryOutputBlock)
{
    const RetrievedConfig r = mapRetrievedImage(imageFor({0x1000 | 2693, 0x1000 | 554}, {X, 1, X, X, 2, X, 0, 2}));
    EXPECT_EQ(r.order.of(PointType::Bout), std::vector<int>{2});
    EXPECT_EQ(classesOf(r, 382), (Classes{1, 1, 0, 0}));
    EXPECT_EQ(classesOf(r, 386), (Classes{1, 1, 0, 0}));
    EXPECT_EQ(r.found[1], (std::vector<bool>{false, false, true, false, false, false, true, false}));
}

TEST(MapRetrievedImageTest, WordsOutsideEveryBlockAndUnknownWordsAreIgnored)
{
    // The Bin block is word 1 only; word 2 (the code of Bin 0) lies in no block.
    RetrievedConfig r = mapRetrievedImage(imageFor({2610, 2306}, {1, X, X, X, X, X, 0, 1}));
    EXPECT_EQ(r.order.of(PointType::Bin), std::vector<int>{5});
    r = mapRetrievedImage(imageFor({4095}, {1, X, X, X, X, X, 0, 1}));
    EXPECT_TRUE(r.order.of(PointType::Bin).empty());
    // A mapping code without a point list: nothing found.
    r = mapRetrievedImage(imageFor({}, {X, X, X, X, X, X, 0, X}, 1));
    EXPECT_EQ(r.mappingCode, 1);
    for (PointType t : kAllPointTypes)
        EXPECT_EQ(r.order.count(t), 0);
}

TEST(MapRetrievedImageTest, TheOrderFoundIsAdoptedEachPointOnce)
{
    // Ain 3 before Ain 1 on the panel; Ain 3 listed twice.
    const RetrievedConfig r = mapRetrievedImage(imageFor({257, 260, 257}, {X, X, 1, X, X, X, 0, 3}));
    EXPECT_EQ(r.order.of(PointType::Ain), (std::vector<int>{3, 1, 3}));
    std::vector<std::int32_t> expected(364, -1);
    expected[1] = 3;
    expected[3] = 1;
    EXPECT_EQ(r.Class0Order[typeNumber(PointType::Ain)], expected);
}

TEST(MapRetrievedImageTest, TheUnsolicitedWordsAreTheImagesWithDeadBandsInRange)
{
    ConfigImage image = imageFor({2306}, {1, X, X, X, X, X, 0, 1});
    const UnsolicitedWords words = {125, 778, 1001, 1, 1000, 0xFFFF};
    for (int i = 0; i < 6; ++i)
        image[241 + i] = words[i];
    EXPECT_EQ(mapRetrievedImage(image).UnsolicitedSettings, (UnsolicitedWords{125, 778, 20, 1, 1000, 0xFFFF}));
}

}  // namespace
}  // namespace dnp
