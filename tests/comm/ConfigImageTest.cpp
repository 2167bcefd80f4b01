#include "comm/SortTestSupport.h"

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

ImageBuildResult sendWith(SortRig& rig, int mapping = 2)
{
    SendBtnClick(rig.state, rig.editor, rig.sort);
    return buildSendImage(rig.state, rig.sort, mapping);
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

TEST(ConfigImageBuild, StaleEventMarksNeverReachThePanel)
{
    // Bin 3 was in Class 1 and has been taken out again; its code still carries bit 12.
    SortRig rig;
    rig.editor.ClassSpBtnClick(0);
    rig.editor.clickItem(1, 3);
    rig.editor.class0okBtnClick();
    rig.editor.ClassSpBtnClick(1);
    rig.editor.clickItem(1, 3);
    rig.editor.class0okBtnClick();
    EXPECT_EQ(rig.state.PanelCode[0][3], 0x1000 | 2607);
    rig.editor.ClassSpBtnClick(1);
    rig.editor.clickItem(1, 3);
    rig.editor.class0okBtnClick();
    EXPECT_EQ(rig.state.PanelCode[0][3], 0x1000 | 2607);

    const ConfigImage image = imageOf(sendWith(rig)).image;
    EXPECT_EQ(image[1], 2607);
    EXPECT_EQ(rig.state.PanelCode[0][3], 2607);
}

TEST(ConfigImageBuild, ParameterWordsPerMapping)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {0});
    rig.state.UnsolicitedSettings = {125, 778, 0, 0xFFFF, 1000, 256};

    const ConfigImage individual = imageOf(sendWith(rig, 2)).image;
    EXPECT_EQ(words(individual, 241, 247), (std::vector<std::uint16_t>{125, 778, 0, 0xFFFF, 1000, 256, 0}));

    for (int item : {0, 1}) {
        const ConfigImage image = imageOf(sendWith(rig, item)).image;
        EXPECT_EQ(image[0], item == 0 ? 1 : 4);
        EXPECT_TRUE(allZero(image, 1, 255));
    }
}

TEST(ConfigImageBuild, MappingFromTheWindow)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {0});
    SendBtnClick(rig.state, rig.editor, rig.sort);
    rig.sort.MappingRGClick(1);
    EXPECT_EQ(imageOf(buildSendImage(rig.state, rig.sort)).image[0], 4);
    rig.sort.FormClose();
    EXPECT_EQ(imageOf(buildSendImage(rig.state, rig.sort)).image[0], 8);
}

TEST(ConfigImageBuild, NonIndividualMappingsNeedNoPoints)
{
    SortRig rig;
    const ConfigImage image = imageOf(sendWith(rig, 0)).image;
    EXPECT_EQ(image[0], 1);
    EXPECT_TRUE(allZero(image, 1, 255));
}

// --- count checks -----------------------------------------------------------------

TEST(ConfigImageCount, NothingChosenIsRefused)
{
    SortRig rig;
    const ImageBuildResult result = sendWith(rig);
    ASSERT_TRUE(std::holds_alternative<ImageRefusal>(result));
    EXPECT_EQ(std::get<ImageRefusal>(result).message, "No configurations chosen, please return to class menu.");
}

TEST(ConfigImageCount, MoreThan240CountedWordsAreRefused)
{
    SortRig rig;
    std::vector<int> ain(237);
    for (int i = 0; i < 237; ++i)
        ain[i] = i;
    chooseClass0(rig.state, PointType::Ain, ain);
    chooseClass0(rig.state, PointType::Counters, {0, 1});  // 237 + 4 = 241
    const ImageBuildResult result = sendWith(rig);
    ASSERT_TRUE(std::holds_alternative<ImageRefusal>(result));
    EXPECT_EQ(std::get<ImageRefusal>(result).message,
              "There are more than 240 data points chosen, please return to class meu.");
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
    const ImageBuildResult result = sendWith(rig);
    ASSERT_TRUE(std::holds_alternative<ImageRefusal>(result));
    EXPECT_EQ(std::get<ImageRefusal>(result).message, tooManyPointsMessage());
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

// --- retrieve buffers -----------------------------------------------------------

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
    EXPECT_TRUE(b.unsolicitedReceived);
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

// --- mapping back -------------------------------------------------------------------

// Buffers for a point list and trailer (words 248-255).
RetrieveBuffers buffersFor(std::vector<std::uint16_t> list, std::array<std::uint16_t, 8> trailer,
                           std::uint16_t mapping = 8)
{
    ConfigImage image{};
    image[0] = mapping;
    for (std::size_t i = 0; i < list.size(); ++i)
        image[1 + i] = list[i];
    for (int i = 0; i < 6; ++i)
        image[241 + i] = kDefaultUnsolicited[i];
    for (int i = 0; i < 8; ++i)
        image[248 + i] = trailer[i];
    return retrieveBuffersFromImage(image);
}

TEST(MapRetrievedConfigTest, AClassOneBinaryInputWord)
{
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({0x1000 + 2607}, {1, X, X, X, X, X, 0, 1}), order);
    const int s = 364 + 3;
    EXPECT_EQ(rig.state.ClassSelection[0][s], 1);
    EXPECT_EQ(rig.state.ClassSelection[1][s], 1);
    EXPECT_EQ(rig.state.ClassSelection[2][s], 0);
    EXPECT_EQ(rig.state.PanelCode[0][3], 0x1000 | 2607);
    EXPECT_EQ(rig.state.RetrievedMark[0][3], 1);
    EXPECT_EQ(rig.editor.view().items[s], ItemState::Checked);
    EXPECT_EQ(order.of(PointType::Bin), std::vector<int>{3});
    EXPECT_TRUE(rig.state.NoListWriteBack);
}

TEST(MapRetrievedConfigTest, ACounterWordAndTheWordAfterItIsSkipped)
{
    // The second word equals the code of counter 1; it must not be read as a point.
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({0x8000 | 2228, 2232}, {X, X, X, X, X, 1, 0, 2}), order);
    EXPECT_EQ(order.of(PointType::Counters), std::vector<int>{0});
    EXPECT_EQ(rig.state.ClassSelection[0][501], 1);
    EXPECT_EQ(rig.state.ClassSelection[0][502], 0);
    EXPECT_EQ(rig.state.PanelCode[typeNumber(PointType::Counters)][0], 2228);
}

TEST(MapRetrievedConfigTest, ClassZeroWordClearsTheEventClassesAndTheMark)
{
    SortRig rig;
    rig.state.PanelCode[0][3] = 0x2000 | 2607;  // a mark left on a point outside Class 0
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({2607}, {1, X, X, X, X, X, 0, 1}), order);
    EXPECT_EQ(order.of(PointType::Bin), std::vector<int>{3});
    EXPECT_EQ(rig.state.PanelCode[0][3], 2607);
    EXPECT_EQ(rig.state.ClassSelection[0][367], 1);
}

TEST(MapRetrievedConfigTest, AStaleMarkDoesNotHideARetrievedPoint)
{
    SortRig rig;
    rig.state.PanelCode[0][3] = 0x1000 | 2607;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({0x2000 | 2607}, {1, X, X, X, X, X, 0, 1}), order);
    EXPECT_EQ(order.of(PointType::Bin), std::vector<int>{3});
    EXPECT_EQ(rig.state.PanelCode[0][3], 0x2000 | 2607);
    EXPECT_EQ(rig.state.ClassSelection[2][367], 1);
    EXPECT_EQ(rig.state.ClassSelection[1][367], 0);
}

TEST(MapRetrievedConfigTest, ClassThreeIsMarkedWithBit14)
{
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({0x4000 | 258, 0x3000 | 260}, {X, X, 1, X, X, X, 0, 2}),
                       order);
    EXPECT_EQ(order.of(PointType::Ain), (std::vector<int>{0, 1}));
    EXPECT_EQ(rig.state.PanelCode[2][0], 0x4000 | 258);
    EXPECT_EQ(rig.state.PanelCode[2][1], 0x4000 | 260);
    EXPECT_EQ(rig.state.ClassSelection[3][0], 1);
    EXPECT_EQ(rig.state.ClassSelection[3][1], 1);
}

TEST(MapRetrievedConfigTest, SecondBinaryOutputBlock)
{
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({0x1000 | 2693, 0x1000 | 554}, {X, 1, X, X, 2, X, 0, 2}),
                       order);
    EXPECT_EQ(order.of(PointType::Bout), std::vector<int>{2});
    EXPECT_EQ(rig.state.ClassSelection[0][382], 1);
    EXPECT_EQ(rig.state.ClassSelection[0][386], 1);
    EXPECT_EQ(rig.state.ClassSelection[1][386], 1);
    EXPECT_EQ(rig.state.RetrievedMark[1], (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(rig.state.SecondCode[2], 0x1000 | 554);
    EXPECT_EQ(rig.state.PanelCode[1][2], 0x1000 | 2693);
}

TEST(MapRetrievedConfigTest, ACounterAfterAMemoFieldIsACounter)
{
    // Aout 72 (five words) then counter 6, whose code 2307 is also Aout 52's.
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor,
                       buffersFor({2590, 2591, 2592, 2593, 2594, 0x8000 | 2307, 1}, {X, X, X, 1, X, 6, 0, 7}), order);
    EXPECT_EQ(order.of(PointType::Aout), std::vector<int>{72});
    EXPECT_EQ(order.of(PointType::Counters), std::vector<int>{6});
    EXPECT_EQ(rig.state.ClassSelection[0][388 + 52], 0);
}

TEST(MapRetrievedConfigTest, AnalogOutputsAfterTheSerialNumberStayAnalogOutputs)
{
    // Ain 329 (two words) then Aout 64, whose code 2357 is also Ain 342's.
    SortRig rig;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({2360, 2361, 2357}, {X, X, 1, 3, X, X, 0, 3}), order);
    EXPECT_EQ(order.of(PointType::Ain), std::vector<int>{329});
    EXPECT_EQ(order.of(PointType::Aout), std::vector<int>{64});
    EXPECT_EQ(rig.state.ClassSelection[0][342], 0);
}

TEST(MapRetrievedConfigTest, RetrievedUnsolicitedWordsOutliveTheClearStep)
{
    SortRig rig;
    ConfigImage image{};
    image[0] = 8;
    image[1] = 2306;
    const UnsolicitedWords retrieved = {125, 778, 0, 1, 1000, 0xFFFF};
    for (int i = 0; i < 6; ++i)
        image[241 + i] = retrieved[i];
    image[248] = 1;
    for (int i = 249; i <= 253; ++i)
        image[i] = X;
    image[255] = 1;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, retrieveBuffersFromImage(image), order);
    EXPECT_EQ(rig.state.UnsolicitedSettings, retrieved);
}

TEST(RetrieveBuffersTest, ADeadBandAbove100PercentBecomesTheDefault)
{
    RetrieveBuffers b;
    const std::array<std::uint16_t, 15> words = {0, 1001, 300, 1000, 5, 0xFFFF, 9, 0, 0, 0, 0, 0, 0, 0, 0};
    b.appendReplyWords(240, words);
    EXPECT_EQ(b.RetrievedUnsolicited, (UnsolicitedWords{20, 300, 1000, 5, 20, 9}));
}

TEST(MapRetrievedConfigTest, ClearsThePreviousConfigurationFirst)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Ain, {5, 6});
    rig.state.setSelected(1, PointType::Ain, 5, true);
    rig.state.RetrievedMark[2][6] = 1;
    rig.state.LoadedFromFile = true;
    RetrievedOrder order;
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({}, {X, X, X, X, X, X, 0, X}, 1), order);
    for (const auto& selection : rig.state.ClassSelection)
        for (std::uint8_t byte : selection)
            EXPECT_EQ(byte, 0);
    EXPECT_EQ(rig.state.RetrievedMark[2][6], 0);
    EXPECT_FALSE(rig.state.LoadedFromFile);
    EXPECT_TRUE(rig.state.NoListWriteBack);
    for (PointType t : kAllPointTypes)
        EXPECT_EQ(order.count(t), 0);
}

TEST(MapRetrievedConfigTest, WordsOutsideEveryBlockAreIgnored)
{
    SortRig rig;
    RetrievedOrder order;
    // Bin block is word 1 only; word 2 (the code of Bin 0) lies in no block.
    MapRetrievedConfig(rig.state, rig.editor, buffersFor({2610, 2306}, {1, X, X, X, X, X, 0, 1}), order);
    EXPECT_EQ(order.of(PointType::Bin), std::vector<int>{5});
}

TEST(CompleteRetrieveTest, ShowsTheMappingAndAdoptsTheOrder)
{
    SortRig rig;
    retrieveBtnClick(rig.sort);
    rig.sort.resetRetrieve();
    rig.sort.Retrieved = buffersFor({257, 260}, {X, X, 1, X, X, X, 0, 2});
    completeRetrieve(rig.state, rig.editor, rig.sort);
    EXPECT_EQ(rig.sort.RMappingRG, 2);
    EXPECT_EQ(rig.sort.retrieveList(PointType::Ain).size(), 2u);
    EXPECT_EQ(rig.sort.retrieveList(PointType::Ain)[0].ShortName, "Meter: Inst: Ild");
    EXPECT_EQ(rig.state.Class0Order[2][1], 3);
    EXPECT_EQ(rig.state.Class0Order[2][3], 1);
    for (bool flag : rig.state.Class0Rebuild)
        EXPECT_TRUE(flag);

    SendBtnClick(rig.state, rig.editor, rig.sort);
    EXPECT_EQ(test::listIndices(rig.sort, PointType::Ain), (std::vector<int>{3, 1}));
}

TEST(CompleteRetrieveTest, AnUnknownMappingCodeLeavesTheGroupAsItWas)
{
    SortRig rig;
    retrieveBtnClick(rig.sort);
    rig.sort.Retrieved = buffersFor({}, {X, X, X, X, X, X, 0, X}, 0);
    completeRetrieve(rig.state, rig.editor, rig.sort);
    EXPECT_EQ(rig.sort.RMappingRG, -1);
}

// --- the image as text -------------------------------------------------------------

TEST(ImageTextTest, SixteenLinesOfSixteenUpperCaseWords)
{
    ConfigImage image{};
    image[0] = 8;
    image[1] = 0xa32;
    image[15] = 0xFFFF;
    image[16] = 0x8903;
    image[255] = 2;
    const QString text = formatImageText(image);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[16], "");
    EXPECT_EQ(lines[0], "0008 0A32 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 FFFF");
    EXPECT_EQ(lines[1], "8903 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(lines[15], "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0002");
    EXPECT_EQ(text.size(), 16 * (16 * 5));

    const ImageTextResult back = parseImageText(text.toLatin1());
    ASSERT_TRUE(std::holds_alternative<ConfigImage>(back));
    EXPECT_EQ(std::get<ConfigImage>(back), image);
}

TEST(ImageTextTest, AnyWhiteSpaceShortWordsAndHexPrefixes)
{
    QByteArray text = "0x8 a32\t\r\n  ffff";
    for (int i = 3; i < 256; ++i)
        text += " 0";
    const ImageTextResult result = parseImageText(text);
    ASSERT_TRUE(std::holds_alternative<ConfigImage>(result));
    const ConfigImage& image = std::get<ConfigImage>(result);
    EXPECT_EQ(image[0], 8);
    EXPECT_EQ(image[1], 0x0A32);
    EXPECT_EQ(image[2], 0xFFFF);
}

TEST(ImageTextTest, BadInputIsAnsweredWithItsPlace)
{
    const auto errorOf = [](const QByteArray& text) {
        const ImageTextResult result = parseImageText(text);
        return std::holds_alternative<ImageTextError>(result) ? std::get<ImageTextError>(result).text() : QString();
    };
    EXPECT_EQ(errorOf("0001 0002\n0003 00G4"), "line 2, column 6: '00G4' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("10000"), "line 1, column 1: '10000' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("0x"), "line 1, column 1: '0x' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("1 2 3"), "the image has 3 words; 256 are needed");
    EXPECT_EQ(errorOf(""), "the image has 0 words; 256 are needed");
    QByteArray tooLong;
    for (int i = 0; i < 257; ++i)
        tooLong += "1 ";
    EXPECT_EQ(errorOf(tooLong), "line 1, column 513: more than 256 words");
}

// --- properties over random configurations ----------------------------------------

// What the image must list: the order lists' points, block by block.
std::vector<std::uint16_t> expectedList(const ConfigState& state, const SortModel& sort)
{
    std::vector<std::uint16_t> list;
    const auto code = [&state](PointType t, int k) { return state.PanelCode[typeNumber(t)][k]; };
    for (int t : test::listIndices(sort, PointType::Bin))
        list.push_back(code(PointType::Bin, t));
    for (int t : test::listIndices(sort, PointType::Bout))
        list.push_back(code(PointType::Bout, t));
    for (int t : test::listIndices(sort, PointType::Bout))
        list.push_back(state.SecondCode[t]);
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
        rig.state.LoadedFromFile = round % 2 == 0;
        SendBtnClick(rig.state, rig.editor, rig.sort);
        test::randomDrags(rig.sort, rng, 5);
        const ImageBuildResult result = buildSendImage(rig.state, rig.sort, 2);
        if (std::holds_alternative<ImageRefusal>(result)) {
            ++refused;
            ASSERT_GT(expectedList(rig.state, rig.sort).size(), 0u);
            continue;
        }
        ++built;
        const ConfigImage& image = std::get<BuiltImage>(result).image;
        const std::vector<std::uint16_t> list = expectedList(rig.state, rig.sort);
        ASSERT_LE(list.size(), 240u);
        ASSERT_EQ(words(image, 1, static_cast<int>(list.size())), list);
        ASSERT_TRUE(allZero(image, static_cast<int>(list.size()) + 1, 240));
        ASSERT_EQ(image[255], list.size());
        ASSERT_EQ(words(image, 241, 246), std::vector<std::uint16_t>(rig.state.UnsolicitedSettings.begin(),
                                                                         rig.state.UnsolicitedSettings.end()));

        // Every present start points at the first word of its block, in block order.
        int next = 1;
        const std::array<std::pair<int, int>, 6> blocks = {{{248, rig.sort.itemCount(PointType::Bin)},
                                                            {249, rig.sort.itemCount(PointType::Bout)},
                                                            {252, rig.sort.itemCount(PointType::Bout)},
                                                            {250, -1},
                                                            {251, -2},
                                                            {253, rig.sort.itemCount(PointType::Counters)}}};
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
        for (PointType t : {PointType::Bin, PointType::Ain}) {
            for (int k : test::listIndices(rig.sort, t)) {
                std::uint16_t mark = 0;
                for (int cls = 1; cls <= 3; ++cls)
                    if (rig.state.selected(cls, t, k))
                        mark = classMark(cls);
                ASSERT_EQ(rig.state.PanelCode[typeNumber(t)][k] & 0xF000, mark);
            }
        }
    }
    EXPECT_GT(built, 200);
    EXPECT_GT(refused, 10);
}

TEST(ConfigImageProperty, SendMapBackSendIsTheIdentity)
{
    std::mt19937 rng(99);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        SortRig sender;
        test::randomConfiguration(sender.state, rng, 140);
        SendBtnClick(sender.state, sender.editor, sender.sort);
        test::randomDrags(sender.sort, rng, 5);
        const ImageBuildResult first = buildSendImage(sender.state, sender.sort, 2);
        if (!std::holds_alternative<BuiltImage>(first))
            continue;
        const ConfigImage image = std::get<BuiltImage>(first).image;

        // Into a freshly started program, and back into the sender itself.
        for (int into = 0; into < 2; ++into) {
            auto fresh = std::make_unique<SortRig>();
            SortRig& rig = into == 0 ? *fresh : sender;
            retrieveBtnClick(rig.sort);
            rig.sort.resetRetrieve();
            rig.sort.Retrieved = retrieveBuffersFromImage(image);
            applyRetrievedUnsolicited(rig.state, rig.sort.Retrieved);
            completeRetrieve(rig.state, rig.editor, rig.sort);

            for (PointType t : kAllPointTypes) {
                std::vector<int> shown;
                for (const OrderItem& item : rig.sort.retrieveList(t))
                    shown.push_back(item.TypeIndex);
                ASSERT_EQ(shown, rig.sort.Order.of(t));
                ASSERT_EQ(test::sequenceOf(rig.state, t), rig.sort.Order.of(t));
            }
            SendBtnClick(rig.state, rig.editor, rig.sort);
            const ImageBuildResult second = buildSendImage(rig.state, rig.sort, 2);
            ASSERT_TRUE(std::holds_alternative<BuiltImage>(second));
            ASSERT_EQ(std::get<BuiltImage>(second).image, image) << "round " << round << " into " << into;
        }
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(ConfigImageProperty, ArbitraryRetrievedWordsNeverBreakTheMapping)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> word(0, 0xFFFF);
    std::uniform_int_distribution<int> small(0, 300);
    for (int round = 0; round < 300; ++round) {
        SortRig rig;
        ConfigImage image{};
        for (auto& w : image)
            w = static_cast<std::uint16_t>(round % 3 == 0 ? small(rng) : word(rng));
        rig.sort.Retrieved = retrieveBuffersFromImage(image);
        completeRetrieve(rig.state, rig.editor, rig.sort);
        for (PointType t : kAllPointTypes) {
            std::vector<int> values = test::sequenceOf(rig.state, t);
            std::sort(values.begin(), values.end());
            ASSERT_TRUE(std::adjacent_find(values.begin(), values.end()) == values.end());
        }
        SendBtnClick(rig.state, rig.editor, rig.sort);
        (void)buildSendImage(rig.state, rig.sort, 2);
    }
}

}  // namespace
}  // namespace dnp
