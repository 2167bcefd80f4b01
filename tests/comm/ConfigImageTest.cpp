#include "comm/SortTestSupport.h"
#include "model/Marks.h"

#include <gtest/gtest.h>

namespace dnp {
namespace {

using test::chooseClass0;
using test::imageOf;
using test::SortRig;

constexpr std::uint16_t X = 0xFFFF;

// Words 241-255 of an image.
std::vector<std::uint16_t> tail(const ConfigImage& image)
{
    return {image.begin() + 241, image.end()};
}

std::vector<std::uint16_t> words(const ConfigImage& image, int first, int last)
{
    return {image.begin() + first, image.begin() + last + 1};
}

Result<BuiltImage> sendWith(SortRig& rig, Mapping mapping = Mapping::Individual)
{
    return test::sendImage(rig, mapping);
}

bool allZero(const ConfigImage& image, int first, int last)
{
    for (int i = first; i <= last; ++i)
        if (image[i] != 0)
            return false;
    return true;
}

// --- building -------------------------------------------------------------------

TEST(ConfigImageBuild, TwoBinaryInputsInTheOrderFiveZero)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {5, 0});
    const BuiltImage built = imageOf(sendWith(rig));
    const ConfigImage& image = built.image;
    EXPECT_EQ(image[0], 8);
    EXPECT_EQ(image[1], 2610);
    EXPECT_EQ(image[2], 2306);
    EXPECT_TRUE(allZero(image, 3, 240));
    EXPECT_EQ(tail(image), (std::vector<std::uint16_t>{20, 256, 20, 256, 20, 256, 0, 1, X, X, X, X, X, 0, 2}));
    EXPECT_EQ(built.wordCount, 2);
}

TEST(ConfigImageBuild, OneBinaryOutputSendsBothCodes)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bout, {2});
    const ConfigImage image = imageOf(sendWith(rig)).image;
    EXPECT_EQ(words(image, 1, 3), (std::vector<std::uint16_t>{2693, 554, 0}));
    EXPECT_EQ(words(image, 247, 255), (std::vector<std::uint16_t>{0, X, 1, X, X, 2, X, 0, 2}));
}

TEST(ConfigImageBuild, MemoFieldTakesFiveWords)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Aout, {72});
    const BuiltImage built = imageOf(sendWith(rig));
    EXPECT_EQ(words(built.image, 1, 6), (std::vector<std::uint16_t>{2590, 2591, 2592, 2593, 2594, 0}));
    EXPECT_EQ(words(built.image, 248, 255), (std::vector<std::uint16_t>{X, X, X, 1, X, X, 0, 5}));
    EXPECT_EQ(built.wordCount, 5);
}

TEST(ConfigImageBuild, OneCounterTakesItsFlaggedCodeAndTheWordOne)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Counters, {6});
    const ConfigImage image = imageOf(sendWith(rig)).image;
    EXPECT_EQ(words(image, 1, 3), (std::vector<std::uint16_t>{0x8000 | 2307, 1, 0}));
    EXPECT_EQ(words(image, 248, 255), (std::vector<std::uint16_t>{X, X, X, X, X, 1, 0, 2}));
}

TEST(ConfigImageBuild, SerialNumberShiftsTheAnalogOutputStart)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {1});
    chooseClass0(rig.state, PointType::Bout, {0});
    chooseClass0(rig.state, PointType::Ain, {329, 0});
    chooseClass0(rig.state, PointType::Aout, {57, 3});
    chooseClass0(rig.state, PointType::Counters, {9});
    const ConfigImage image = imageOf(sendWith(rig)).image;
    // Bin 283 | Bout 1027 | Bout 1027 | Ain 2360 2361 258 | Aout 2640 2641 543 | counter 2327
    EXPECT_EQ(words(image, 1, 13), (std::vector<std::uint16_t>{283, 1027, 1027, 2360, 2361, 258, 2640, 2641, 543,
                                                                0x8000 | 2327, 1, 0, 0}));
    // B + 2 x O + A + 1 = 6 for Aout; one more for the serial number's second word.
    EXPECT_EQ(words(image, 248, 255), (std::vector<std::uint16_t>{1, 2, 4, 7, 3, 10, 0, 11}));
}

TEST(ConfigImageBuild, EventClassMarksTravelWithTheCodes)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {0, 1, 2});
    chooseClass0(rig.state, PointType::Bout, {2});
    chooseClass0(rig.state, PointType::Aout, {92});
    rig.state.setSelected(1, PointType::Bin, 0, true);
    rig.state.setSelected(2, PointType::Bin, 1, true);
    rig.state.setSelected(3, PointType::Bin, 2, true);
    rig.state.setSelected(3, PointType::Bout, 2, true);
    rig.state.setSelected(2, PointType::Aout, 92, true);
    const ConfigImage image = imageOf(sendWith(rig)).image;
    EXPECT_EQ(words(image, 1, 8), (std::vector<std::uint16_t>{0x1000 | 2306, 0x2000 | 283, 0x4000 | 2603,
                                                               0x4000 | 2693, 0x4000 | 554, 0x2000 | 3040,
                                                               0x2000 | 3041, 0}));
}

TEST(ConfigImageBuild, AMarkFollowsTheClassAPointIsInAtEachSend)
{
    // Bin 3 goes into Class 3, then back out: each image carries what the selection says.
    SortRig rig;
    rig.editor.open(0);
    (void)rig.editor.clickItem(ListTag::BinCLB, 3);
    ASSERT_TRUE(rig.editor.apply(0));
    rig.editor.open(3);
    (void)rig.editor.clickItem(ListTag::BinCLB, 3);
    ASSERT_TRUE(rig.editor.apply(3));
    EXPECT_EQ(imageOf(sendWith(rig)).image[1], 0x4000 | 2607);
    rig.editor.open(3);
    (void)rig.editor.clickItem(ListTag::BinCLB, 3);
    ASSERT_TRUE(rig.editor.apply(3));
    EXPECT_EQ(imageOf(sendWith(rig)).image[1], 2607);
}

TEST(ConfigImageBuild, ParameterWordsPerMapping)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {0});
    rig.state.UnsolicitedSettings = {125, 778, 0, 0xFFFF, 1000, 256};

    const ConfigImage individual = imageOf(sendWith(rig, Mapping::Individual)).image;
    EXPECT_EQ(words(individual, 241, 247), (std::vector<std::uint16_t>{125, 778, 0, 0xFFFF, 1000, 256, 0}));

    for (const Mapping mapping : {Mapping::Uninitialized, Mapping::Subset}) {
        const ConfigImage image = imageOf(sendWith(rig, mapping)).image;
        EXPECT_EQ(image[0], mapping == Mapping::Uninitialized ? 1 : 4);
        EXPECT_TRUE(allZero(image, 1, 255));
    }
}

TEST(ConfigImageBuild, NonIndividualMappingsNeedNoPoints)
{
    SortRig rig;
    const ConfigImage image = imageOf(sendWith(rig, Mapping::Uninitialized)).image;
    EXPECT_EQ(image[0], 1);
    EXPECT_TRUE(allZero(image, 1, 255));
}

// --- count checks -----------------------------------------------------------------

TEST(ConfigImageCount, NothingChosenIsRefused)
{
    SortRig rig;
    const Result<BuiltImage> result = sendWith(rig);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, "No configurations chosen, please return to class menu.");
}

TEST(ConfigImageCount, MoreThan240CountedWordsAreRefused)
{
    SortRig rig;
    std::vector<int> ain(237);
    for (int i = 0; i < 237; ++i)
        ain[i] = i;
    chooseClass0(rig.state, PointType::Ain, ain);
    chooseClass0(rig.state, PointType::Counters, {0, 1});  // 237 + 4 = 241
    const Result<BuiltImage> result = sendWith(rig);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message,
              "There are more than 240 data points chosen, please return to class meu.");
}

// The limit is 240 words: exactly 240 single-word points are sent, 241 are not.
TEST(ConfigImageCount, TwoHundredFortyFitTwoHundredFortyOneDoNot)
{
    for (const int points : {240, 241}) {
        SortRig rig;
        std::vector<int> ain(points);
        for (int i = 0; i < points; ++i)
            ain[i] = i < 329 ? i : i + 1;  // single-word points only
        chooseClass0(rig.state, PointType::Ain, ain);
        const Result<BuiltImage> result = sendWith(rig);
        EXPECT_EQ(result.ok(), points == 240) << points;
        if (result.ok()) {
            EXPECT_EQ(result->wordCount, 240);
            EXPECT_EQ(result->image[255], 240);
        }
    }
}

TEST(ConfigImageCount, MultiWordPointsThatOverrunTheListAreRefused)
{
    // 232 + 2 counted words, 242 with the memo fields' further words.
    SortRig rig;
    std::vector<int> ain(232);
    for (int i = 0; i < 232; ++i)
        ain[i] = i;
    chooseClass0(rig.state, PointType::Ain, ain);
    chooseClass0(rig.state, PointType::Aout, {72, 73});
    const Result<BuiltImage> result = sendWith(rig);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, tooManyPointsMessage());
}

TEST(ConfigImageCount, ExactlyFullListEndsAtWord240)
{
    SortRig rig;
    std::vector<int> ain(230);
    for (int i = 0; i < 230; ++i)
        ain[i] = i;
    chooseClass0(rig.state, PointType::Ain, ain);
    chooseClass0(rig.state, PointType::Aout, {72, 73});
    const BuiltImage built = imageOf(sendWith(rig));
    EXPECT_EQ(built.wordCount, 240);
    EXPECT_EQ(built.image[240], 2599);
    EXPECT_EQ(words(built.image, 241, 247), (std::vector<std::uint16_t>{20, 256, 20, 256, 20, 256, 0}));
    EXPECT_EQ(built.image[255], 240);
    EXPECT_EQ(built.image[251], 231);
}

// What the image must list: the order lists' points, block by block.
std::vector<std::uint16_t> expectedList(const ConfigState& state, const SortModel& sort)
{
    std::vector<std::uint16_t> list;
    const auto code = [&state](PointType t, int k) { return markedCode(state, t, k); };
    for (int t : test::listIndices(sort, PointType::Bin))
        list.push_back(code(PointType::Bin, t));
    for (int t : test::listIndices(sort, PointType::Bout))
        list.push_back(code(PointType::Bout, t));
    for (int t : test::listIndices(sort, PointType::Bout))
        list.push_back(markedCode(state, PointType::Bout, t, true));
    for (PointType type : {PointType::Ain, PointType::Aout})
        for (int t : test::listIndices(sort, type))
            for (int w = 0; w < PointCatalog::instance().point(type, t).wordCount; ++w)
                list.push_back(static_cast<std::uint16_t>(code(type, t) + w));
    for (int t : test::listIndices(sort, PointType::Counters)) {
        list.push_back(code(PointType::Counters, t) | 0x8000);
        list.push_back(1);
    }
    return list;
}

TEST(ConfigImageProperty, ImageListsExactlyThePointsOfTheOrderLists)
{
    std::mt19937 rng(20240501);
    int built = 0;
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        SortRig rig;
        test::randomConfiguration(rig.state, rng, round % 4 == 0 ? 300 : 150, round % 4 == 0 ? 80 : 40);
        test::randomDrags(rig.sort, rng, 5);
        const Result<BuiltImage> result = buildSendImage(rig.state, Mapping::Individual);
        if (!result) {
            ++refused;
            ASSERT_GT(expectedList(rig.state, rig.sort).size(), 0u);
            continue;
        }
        ++built;
        const ConfigImage& image = result->image;
        const std::vector<std::uint16_t> list = expectedList(rig.state, rig.sort);
        ASSERT_LE(list.size(), 240u);
        ASSERT_EQ(words(image, 1, static_cast<int>(list.size())), list);
        ASSERT_TRUE(allZero(image, static_cast<int>(list.size()) + 1, 240));
        ASSERT_EQ(image[255], list.size());
        ASSERT_EQ(words(image, 241, 246), std::vector<std::uint16_t>(rig.state.UnsolicitedSettings.begin(),
                                                                         rig.state.UnsolicitedSettings.end()));

        // Every present start points at the first word of its block, in block order.
        int next = 1;
        const auto items = [&rig](PointType t) { return static_cast<int>(rig.sort.orderList(t).size()); };
        const std::array<std::pair<int, int>, 6> blocks = {{{248, items(PointType::Bin)},
                                                            {249, items(PointType::Bout)},
                                                            {252, items(PointType::Bout)},
                                                            {250, -1},
                                                            {251, -2},
                                                            {253, items(PointType::Counters)}}};
        for (auto [word, items] : blocks) {
            int blockWords = items;
            if (items == -1 || items == -2) {
                const PointType type = items == -1 ? PointType::Ain : PointType::Aout;
                blockWords = 0;
                for (int t : test::listIndices(rig.sort, type))
                    blockWords += PointCatalog::instance().point(type, t).wordCount;
            } else if (word == 253) {
                blockWords = 2 * items;
            }
            if (blockWords == 0) {
                ASSERT_EQ(image[word], 0xFFFF);
            } else {
                ASSERT_EQ(image[word], next);
                next += blockWords;
            }
        }
        ASSERT_EQ(next - 1, static_cast<int>(list.size()));
        // The marks agree with the selections: Class 3 over 2 over 1 over none.
        const std::vector<int> bins = test::listIndices(rig.sort, PointType::Bin);
        for (std::size_t i = 0; i < bins.size(); ++i) {
            std::uint16_t mark = 0;
            for (int cls = 1; cls <= 3; ++cls)
                if (rig.state.selected(cls, PointType::Bin, bins[i]))
                    mark = classMark(cls);
            ASSERT_EQ(image[1 + i] & 0xF000, mark);
        }
    }
    EXPECT_GT(built, 200);
    EXPECT_GT(refused, 10);
}

}  // namespace
}  // namespace dnp
