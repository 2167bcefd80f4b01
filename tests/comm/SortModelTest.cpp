#include "comm/SortTestSupport.h"

#include <gtest/gtest.h>

namespace dnp {
namespace {

using test::chooseClass0;
using test::listIndices;
using test::SortRig;

std::vector<std::int32_t> slotsOf(const ConfigState& state, PointType type, std::vector<int> chosenSlots)
{
    std::vector<std::int32_t> values;
    for (int k : chosenSlots)
        values.push_back(state.Class0Order[typeNumber(type)][k]);
    return values;
}

// --- the order lists ------------------------------------------------------------

TEST(SortModelLists, ShowTheClass0SequenceWithItsDnpNumbers)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {9, 2, 5});
    chooseClass0(rig.state, PointType::Ain, {329, 0});
    chooseClass0(rig.state, PointType::Counters, {6});
    rig.sort.showSendMode();

    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{9, 2, 5}));
    EXPECT_EQ(rig.sort.orderTexts(PointType::Bin),
              (QStringList{"0  Auto Inhibit Terminal Block Input", "1  Auto Inhibit Status", "2  Remote Control"}));
    EXPECT_EQ(rig.sort.orderTexts(PointType::Counters), QStringList{QStringLiteral("0\u20131  Total Operations -- 32bit")});
    // A point of two words takes two numbers.
    EXPECT_TRUE(rig.sort.orderTexts(PointType::Ain)[0].startsWith(QStringLiteral("0\u20131  "))) << rig.sort.orderTexts(PointType::Ain)[0].toStdString();
    EXPECT_TRUE(rig.sort.orderTexts(PointType::Ain)[1].startsWith("2  "));
    EXPECT_TRUE(rig.sort.orderTexts(PointType::Aout).isEmpty());
}

TEST(SortModelLists, SkipAChosenPointWhoseSlotIsEmptyAndASlotOfAPointOutsideClass0)
{
    SortRig rig;
    rig.state.setSelected(0, PointType::Bin, 4, true);  // chosen, slot -1
    rig.state.Class0Order[0][7] = 7;                    // slot filled, point not chosen
    chooseClass0(rig.state, PointType::Bin, {1});
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{1}));
}

TEST(SortModelSend, AClass0EditAfterADragKeepsTheDraggedOrder)
{
    SortRig rig;
    rig.editor.open(0);
    (void)rig.editor.clickItem(ListTag::BinCLB, 2);
    (void)rig.editor.clickItem(ListTag::BinCLB, 5);
    ASSERT_TRUE(rig.editor.apply(0));
    rig.sort.showSendMode();
    rig.sort.move(PointType::Bin, 1, 0);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2}));

    rig.editor.open(0);  // unchanged
    ASSERT_TRUE(rig.editor.apply(0));
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2}));

    rig.editor.open(0);
    (void)rig.editor.clickItem(ListTag::BinCLB, 9);
    (void)rig.editor.clickItem(ListTag::BinCLB, 1);
    ASSERT_TRUE(rig.editor.apply(0));
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2, 1, 9}));
}

TEST(SortModelModes, CaptionsHelpAndMapping)
{
    SortRig rig;
    rig.sort.chooseMapping(Mapping::Uninitialized);
    rig.sort.showSendMode();
    EXPECT_EQ(rig.sort.mode(), SortMode::Send);
    EXPECT_EQ(rig.sort.caption(), "Send Configuration");
    EXPECT_EQ(rig.sort.helpTopic(), kSendHelpTopic);
    EXPECT_EQ(rig.sort.mapping(), Mapping::Individual);

    RetrievedConfig found;
    found.order.append(PointType::Bin, 3);
    found.mappingCode = 4;
    rig.sort.showRetrieved(found);
    const auto orderBefore = rig.state.Class0Order;
    rig.sort.showRetrieveMode();
    EXPECT_EQ(rig.sort.mode(), SortMode::Retrieve);
    EXPECT_EQ(rig.sort.caption(), "Retrieve Configuration");
    EXPECT_EQ(rig.sort.helpTopic(), kRetrieveHelpTopic);
    EXPECT_EQ(rig.sort.retrievedMapping(), std::nullopt);
    for (PointType t : kAllPointTypes)
        EXPECT_TRUE(rig.sort.retrievedTexts(t).isEmpty());
    EXPECT_EQ(rig.state.Class0Order, orderBefore);
}

TEST(SortModelMapping, ClosingSetsMappingBackToIndividual)
{
    SortRig rig;
    rig.sort.chooseMapping(Mapping::Uninitialized);
    EXPECT_EQ(rig.sort.mapping(), Mapping::Uninitialized);
    rig.sort.resetMapping();
    EXPECT_EQ(rig.sort.mapping(), Mapping::Individual);
    EXPECT_EQ(mappingText(rig.sort.mapping()), "Individual Mapping (per this document)");
}

TEST(SortModelMapping, RetrievedMappingGroupWorksAsADisplay)
{
    SortRig rig;
    RetrievedConfig subset;
    subset.mappingCode = 4;
    rig.sort.showRetrieved(subset);
    EXPECT_EQ(rig.sort.retrievedMapping(), Mapping::Subset);
    rig.sort.chooseRetrievedMapping(Mapping::Uninitialized);
    EXPECT_EQ(rig.sort.retrievedMapping(), Mapping::Subset);

    rig.sort.retrieveStarted();  // nothing retrieved yet
    rig.sort.chooseRetrievedMapping(Mapping::Uninitialized);
    EXPECT_EQ(rig.sort.retrievedMapping(), Mapping::Uninitialized);
    RetrievedConfig unknown;
    unknown.mappingCode = 5;
    rig.sort.showRetrieved(unknown);
    EXPECT_EQ(rig.sort.retrievedMapping(), Mapping::Uninitialized);
}

TEST(SortModelMapping, MappingTextsAndCodes)
{
    EXPECT_EQ(mappingText(Mapping::Uninitialized), "Uninitialized");
    EXPECT_EQ(mappingText(Mapping::Subset), "CM version 2.04+ Subset Mapping");
    EXPECT_EQ(mappingText(Mapping::Individual), "Individual Mapping (per this document)");
    EXPECT_EQ(mappingForCode(1), Mapping::Uninitialized);
    EXPECT_EQ(mappingForCode(4), Mapping::Subset);
    EXPECT_EQ(mappingForCode(8), Mapping::Individual);
    EXPECT_EQ(mappingForCode(0), std::nullopt);
    EXPECT_EQ(mappingForCode(2), std::nullopt);
    EXPECT_EQ(mappingOfItem(3), std::nullopt);
    EXPECT_EQ(orderListLabel(PointType::Bin), "Binary Inputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Bout), "Binary Output State - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Ain), "Analog Inputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Aout), "Analog Outputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Counters), "Counters - Selected Data");
}

// --- moving items -------------------------------------------------------------

// Moves in the list of binary inputs 2, 5, 7 (slots 2, 5, 7): the list and the values
// of the slots after the move; the slots themselves never change.
TEST(SortModelMove, MovesPermuteTheValuesOfTheChosenSlots)
{
    struct Case {
        int from;
        int to;
        std::vector<int> after;
    };
    const Case cases[] = {
        {0, 2, {5, 7, 2}},   // first onto third
        {2, 0, {7, 2, 5}},   // last onto first
        {1, 1, {2, 5, 7}},   // onto itself
        {0, -1, {5, 7, 2}},  // below the last item: to the end
        {-1, 0, {2, 5, 7}},  // a drag begun below the last item moves nothing
        {3, 0, {2, 5, 7}},   // a row past the end counts as below the last item
    };
    for (const Case& c : cases) {
        SortRig rig;
        chooseClass0(rig.state, PointType::Bin, {2, 5, 7});
        rig.sort.move(PointType::Bin, c.from, c.to);
        EXPECT_EQ(listIndices(rig.sort, PointType::Bin), c.after) << c.from << " -> " << c.to;
        EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), std::vector<std::int32_t>(c.after.begin(), c.after.end()));
        EXPECT_EQ(rig.state.Class0Order[0][0], -1);
    }
}

TEST(SortModelMove, TheFirstItemMovedToTheEndIsLastInTheListAndTheOrder)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Counters, {0, 4, 9});
    rig.sort.move(PointType::Counters, 0, -1);
    EXPECT_EQ(listIndices(rig.sort, PointType::Counters), (std::vector<int>{4, 9, 0}));
    EXPECT_EQ(rig.state.class0Sequence(PointType::Counters), (std::vector<int>{4, 9, 0}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Counters, {0, 4, 9}), (std::vector<std::int32_t>{4, 9, 0}));
    EXPECT_TRUE(rig.sort.orderTexts(PointType::Counters).last().endsWith(
        PointCatalog::instance().point(PointType::Counters, 0).shortName));
}

TEST(SortModelMoveProperty, ListAndClass0OrderAlwaysDescribeTheSameOrder)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        SortRig rig;
        test::randomConfiguration(rig.state, rng, 120);
        const ConfigContent before = rig.state.content();
        test::randomDrags(rig.sort, rng, 12);
        for (PointType t : kAllPointTypes) {
            // The moves permute values among the filled slots only.
            std::vector<int> values = test::sequenceOf(rig.state, t);
            std::vector<int> chosenSlots;
            for (int k = 0; k < pointCount(t); ++k)
                if (rig.state.Class0Order[typeNumber(t)][k] != -1)
                    chosenSlots.push_back(k);
            std::sort(values.begin(), values.end());
            ASSERT_EQ(values, chosenSlots);
        }
        EXPECT_EQ(rig.state.ClassSelection, before.selections);
    }
}

// --- showing a retrieved order ---------------------------------------------------

TEST(SortModelRetrieve, TheRetrieveListsShowThePanelsOrderAndItsRepeats)
{
    SortRig rig;
    RetrievedConfig found;
    for (int t : {3, 329, 3, 1})
        found.order.append(PointType::Ain, t);
    found.order.append(PointType::Bout, 2);
    rig.sort.showRetrieved(found);
    // Under the DNP point numbers the panel gives them, as the Send window shows them.
    EXPECT_EQ(rig.sort.retrievedTexts(PointType::Ain),
              (QStringList{"0  Meter: Inst: Ild", "1\u20132  Misc: Serial Number -- 2 words", "3  Meter: Inst: Ild",
                           "4  Meter: Inst: Vs"}));
    EXPECT_EQ(rig.sort.retrievedTexts(PointType::Bout), QStringList{"0  Auto Inhibit"});
    EXPECT_TRUE(rig.sort.retrievedTexts(PointType::Bin).isEmpty());
}

}  // namespace
}  // namespace dnp
