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

QStringList namesOf(const std::vector<OrderItem>& items)
{
    QStringList names;
    for (const OrderItem& item : items)
        names << item.ShortName;
    return names;
}

// --- InitSort and the main window's Send and Retrieve ------------------------

TEST(SortModelInitSort, FillsTheOrderListsFromClass0OrderAndClearsTheFlags)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {9, 2, 5});
    chooseClass0(rig.state, PointType::Counters, {6});
    rig.sort.InitSort();

    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{9, 2, 5}));
    EXPECT_EQ(namesOf(rig.sort.class0List(PointType::Bin)),
              (QStringList{"Auto Inhibit Terminal Block Input", "Auto Inhibit Status", "Remote Control"}));
    EXPECT_EQ(namesOf(rig.sort.class0List(PointType::Counters)), QStringList{"Total Operations -- 32bit"});
    EXPECT_TRUE(rig.sort.class0List(PointType::Ain).empty());
    for (bool flag : rig.state.Class0Rebuild)
        EXPECT_FALSE(flag);
}

TEST(SortModelInitSort, SkipsAChosenPointWhoseSlotIsEmptyAndASlotOfAPointOutsideClass0)
{
    SortRig rig;
    rig.state.setSelected(0, PointType::Bin, 4, true);  // chosen, slot -1
    rig.state.Class0Order[0][7] = 7;                    // slot filled, point not chosen
    chooseClass0(rig.state, PointType::Bin, {1});
    rig.sort.InitSort();
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{1}));
}

TEST(SortModelInitSort, RebuildsOnlyTheFlaggedTypes)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {2, 5, 7});
    chooseClass0(rig.state, PointType::Aout, {3, 4});
    rig.sort.InitSort();
    rig.sort.Class0MouseDown(PointType::Bin, 0);
    rig.sort.Class0DragDrop(PointType::Bin, 2);
    rig.sort.Class0MouseDown(PointType::Aout, 1);
    rig.sort.Class0DragDrop(PointType::Aout, 0);

    rig.state.Class0Rebuild[typeNumber(PointType::Aout)] = true;
    rig.state.Class0Order[typeNumber(PointType::Aout)][3] = 3;
    rig.state.Class0Order[typeNumber(PointType::Aout)][4] = 4;
    rig.sort.InitSort();
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 7, 2}));
    EXPECT_EQ(listIndices(rig.sort, PointType::Aout), (std::vector<int>{3, 4}));
}

TEST(SortModelSend, SecondSendKeepsTheDraggedOrder)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Ain, {0, 1, 2, 3});
    rig.workspace.prepareSend();
    rig.sort.Class0MouseDown(PointType::Ain, 3);
    rig.sort.Class0DragDrop(PointType::Ain, 0);
    rig.sort.FormClose();

    rig.workspace.prepareSend();
    EXPECT_EQ(listIndices(rig.sort, PointType::Ain), (std::vector<int>{3, 0, 1, 2}));
    EXPECT_EQ(test::sequenceOf(rig.state, PointType::Ain), (std::vector<int>{3, 0, 1, 2}));
}

TEST(SortModelSend, AClass0EditAfterADragKeepsTheDraggedOrder)
{
    SortRig rig;
    rig.editor.ClassSpBtnClick(0);
    rig.editor.clickItem(ListTag::BinCLB, 2);
    rig.editor.clickItem(ListTag::BinCLB, 5);
    rig.editor.class0okBtnClick();
    rig.workspace.prepareSend();
    rig.sort.Class0MouseDown(PointType::Bin, 1);
    rig.sort.Class0DragDrop(PointType::Bin, 0);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2}));

    rig.editor.ClassSpBtnClick(0);  // unchanged
    rig.editor.class0okBtnClick();
    rig.workspace.prepareSend();
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2}));

    rig.editor.ClassSpBtnClick(0);
    rig.editor.clickItem(ListTag::BinCLB, 9);
    rig.editor.clickItem(ListTag::BinCLB, 1);
    rig.editor.class0okBtnClick();
    rig.workspace.prepareSend();
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 2, 1, 9}));
    EXPECT_EQ(test::sequenceOf(rig.state, PointType::Bin), (std::vector<int>{5, 2, 1, 9}));
}

TEST(SortModelSend, SendAfterAFileLoadRecomputesTheMarks)
{
    SortRig rig;
    chooseClass0(rig.state, PointType::Bin, {3, 4});
    rig.state.setSelected(1, PointType::Bin, 3, true);
    rig.state.PanelCode[0][4] |= 0x2000;  // stale
    rig.state.LoadedFromFile = true;

    rig.workspace.prepareSend();
    EXPECT_TRUE(rig.state.SendRecompute);
    EXPECT_EQ(rig.state.EditedClass, -1);
    EXPECT_EQ(rig.state.PanelCode[0][3], 0x1000 | 2607);
    EXPECT_EQ(rig.state.PanelCode[0][4], 2608);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{3, 4}));
}

TEST(SortModelSend, SendModeCaptionVisibilitiesAndMapping)
{
    SortRig rig;
    EXPECT_EQ(rig.sort.caption, "Send/Retrieve");
    rig.sort.MappingRGClick(0);
    rig.workspace.prepareSend();
    EXPECT_EQ(rig.sort.mode, SortMode::Send);
    EXPECT_EQ(rig.sort.caption, "Send Configuration");
    EXPECT_EQ(rig.sort.MappingRG, 2);
    const SortVisibility& v = rig.sort.visibility;
    EXPECT_TRUE(v.OKtoSendButton && v.MappingRG && v.SendHelpBtn && v.ScancelBtn && v.Class0Lists);
    EXPECT_FALSE(v.RMappingRG || v.OKtoRetrieveButton || v.RetrieveHelpBtn || v.RokBtn || v.RcancelBtn ||
                 v.RetrieveLists);
}

TEST(SortModelRetrieve, RetrieveModeCaptionVisibilitiesAndEmptyLists)
{
    SortRig rig;
    RetrievedOrder found;
    found.append(PointType::Bin, 3);
    rig.sort.InitSortRetrieve(found);
    rig.sort.RMappingRG = 1;
    const auto orderBefore = rig.state.Class0Order;

    rig.sort.retrieveBtnClick();
    EXPECT_EQ(rig.sort.mode, SortMode::Retrieve);
    EXPECT_EQ(rig.sort.caption, "Retrieve Configuration");
    EXPECT_EQ(rig.sort.RMappingRG, -1);
    for (PointType t : kAllPointTypes)
        EXPECT_TRUE(rig.sort.retrieveList(t).empty());
    const SortVisibility& v = rig.sort.visibility;
    EXPECT_FALSE(v.OKtoSendButton || v.MappingRG || v.SendHelpBtn || v.ScancelBtn || v.Class0Lists);
    EXPECT_TRUE(v.RMappingRG && v.OKtoRetrieveButton && v.RetrieveHelpBtn && v.RokBtn && v.RcancelBtn &&
                v.RetrieveLists);
    EXPECT_EQ(rig.state.Class0Order, orderBefore);
}

TEST(SortModelMapping, FormCloseSetsMappingBackToIndividual)
{
    SortRig rig;
    rig.sort.MappingRGClick(0);
    EXPECT_EQ(rig.sort.MappingRG, 0);
    rig.sort.FormClose();
    EXPECT_EQ(rig.sort.MappingRG, 2);
    EXPECT_EQ(mappingText(rig.sort.MappingRG), "Individual Mapping (per this document)");
}

TEST(SortModelMapping, RetrievedMappingGroupWorksAsADisplay)
{
    SortRig rig;
    rig.sort.showRetrievedMapping(4);
    EXPECT_EQ(rig.sort.RMappingRG, 1);
    rig.sort.RMappingRGClick(0);
    EXPECT_EQ(rig.sort.RMappingRG, 1);

    rig.sort.retrieveStarted();  // nothing retrieved yet
    rig.sort.showRetrievedMapping(0);
    EXPECT_EQ(rig.sort.RMappingRG, 1);
    rig.sort.RMappingRGClick(0);
    EXPECT_EQ(rig.sort.RMappingRG, 0);
}

TEST(SortModelMapping, MappingTextsAndCodes)
{
    EXPECT_EQ(mappingText(0), "Uninitialized");
    EXPECT_EQ(mappingText(1), "CM version 2.04+ Subset Mapping");
    EXPECT_EQ(mappingText(2), "Individual Mapping (per this document)");
    EXPECT_EQ(mappingItemForCode(1), 0);
    EXPECT_EQ(mappingItemForCode(4), 1);
    EXPECT_EQ(mappingItemForCode(8), 2);
    EXPECT_EQ(mappingItemForCode(0), -1);
    EXPECT_EQ(mappingItemForCode(2), -1);
    EXPECT_EQ(orderListLabel(PointType::Bin), "Binary Inputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Bout), "Binary Output State - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Ain), "Analog Inputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Aout), "Analog Outputs - Selected Data");
    EXPECT_EQ(orderListLabel(PointType::Counters), "Counters - Selected Data");
}

// --- dragging -----------------------------------------------------------------

class SortModelDrag : public ::testing::Test {
protected:
    void SetUp() override
    {
        chooseClass0(rig.state, PointType::Bin, {2, 5, 7});
        rig.sort.InitSort();
    }
    void drag(int from, int to)
    {
        rig.sort.Class0MouseDown(PointType::Bin, from);
        rig.sort.Class0DragDrop(PointType::Bin, to);
    }
    SortRig rig;
};

TEST_F(SortModelDrag, FirstOntoThirdGivesFiveSevenTwo)
{
    drag(0, 2);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 7, 2}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{5, 7, 2}));
    EXPECT_EQ(rig.state.Class0Order[0][0], -1);
    EXPECT_EQ(rig.sort.dragSource(), 0);
    EXPECT_EQ(rig.sort.dragTarget(), 2);
}

TEST_F(SortModelDrag, LastOntoFirstMovesItToTheFront)
{
    drag(2, 0);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{7, 2, 5}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{7, 2, 5}));
}

TEST_F(SortModelDrag, OntoItselfChangesNothing)
{
    drag(1, 1);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{2, 5, 7}));
}

TEST_F(SortModelDrag, DropBelowTheLastItemMovesToTheEnd)
{
    drag(0, -1);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{5, 7, 2}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{5, 7, 2}));
    EXPECT_EQ(rig.sort.dragTarget(), -1);
}

TEST_F(SortModelDrag, DragBegunBelowTheLastItemMovesNothing)
{
    drag(-1, 0);
    EXPECT_EQ(rig.sort.dragSource(), -1);
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{2, 5, 7}));
    drag(3, 0);  // a row past the end counts as below the last item
    EXPECT_EQ(listIndices(rig.sort, PointType::Bin), (std::vector<int>{2, 5, 7}));
}

TEST_F(SortModelDrag, DropsFromAnotherListAreRefused)
{
    chooseClass0(rig.state, PointType::Ain, {1, 2});
    chooseClass0(rig.state, PointType::Aout, {1, 2});
    rig.state.Class0Rebuild.fill(true);
    rig.sort.InitSort();
    EXPECT_FALSE(rig.sort.Class0DragOver(PointType::Aout, PointType::Ain));
    EXPECT_FALSE(rig.sort.Class0DragOver(PointType::Aout, std::nullopt));
    EXPECT_TRUE(rig.sort.Class0DragOver(PointType::Aout, PointType::Aout));

    rig.sort.Class0MouseDown(PointType::Ain, 0);
    rig.sort.Class0DragDrop(PointType::Aout, 1);
    EXPECT_EQ(listIndices(rig.sort, PointType::Aout), (std::vector<int>{1, 2}));
    EXPECT_EQ(listIndices(rig.sort, PointType::Ain), (std::vector<int>{1, 2}));
    EXPECT_EQ(test::sequenceOf(rig.state, PointType::Aout), (std::vector<int>{1, 2}));
    EXPECT_EQ(test::sequenceOf(rig.state, PointType::Ain), (std::vector<int>{1, 2}));
}

TEST_F(SortModelDrag, SwapRoutinesPermuteTheFilledSlots)
{
    chooseClass0(rig.state, PointType::Counters, {0, 4, 9});
    chooseClass0(rig.state, PointType::Bout, {1, 3});
    rig.state.Class0Rebuild.fill(true);
    rig.sort.InitSort();
    rig.sort.CountersSwapTypePointIndex(0, -1);
    EXPECT_EQ(slotsOf(rig.state, PointType::Counters, {0, 4, 9}), (std::vector<std::int32_t>{4, 9, 0}));
    rig.sort.BoutSwapTypePointIndex(1, 0);
    EXPECT_EQ(slotsOf(rig.state, PointType::Bout, {1, 3}), (std::vector<std::int32_t>{3, 1}));
    rig.sort.BinSwapTypePointIndex(-1, 0);  // nothing
    EXPECT_EQ(slotsOf(rig.state, PointType::Bin, {2, 5, 7}), (std::vector<std::int32_t>{2, 5, 7}));
}

TEST(SortModelDragProperty, ListAndClass0OrderAlwaysDescribeTheSameOrder)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        SortRig rig;
        test::randomConfiguration(rig.state, rng, 120);
        rig.sort.InitSort();
        test::randomDrags(rig.sort, rng, 12);
        for (PointType t : kAllPointTypes) {
            ASSERT_EQ(listIndices(rig.sort, t), test::sequenceOf(rig.state, t)) << pointTypeName(t).toStdString();
            // The drags permute values among the filled chosenSlots only.
            std::vector<int> values = test::sequenceOf(rig.state, t);
            std::vector<int> chosenSlots;
            for (int k = 0; k < pointCount(t); ++k)
                if (rig.state.Class0Order[typeNumber(t)][k] != -1)
                    chosenSlots.push_back(k);
            std::sort(values.begin(), values.end());
            ASSERT_EQ(values, chosenSlots);
        }
    }
}

// --- showing a retrieved order ---------------------------------------------------

TEST(SortModelRetrieve, TheRetrieveListsShowThePanelsOrderAndItsRepeats)
{
    SortRig rig;
    RetrievedOrder order;
    for (int t : {3, 3, 1})
        order.append(PointType::Ain, t);
    order.append(PointType::Bout, 2);
    rig.sort.InitSortRetrieve(order);
    EXPECT_EQ(namesOf(rig.sort.retrieveList(PointType::Ain)),
              (QStringList{"Meter: Inst: Ild", "Meter: Inst: Ild", "Meter: Inst: Vs"}));
    EXPECT_EQ(namesOf(rig.sort.retrieveList(PointType::Bout)), QStringList{"Auto Inhibit"});
    EXPECT_TRUE(rig.sort.retrieveList(PointType::Bin).empty());
}

}  // namespace
}  // namespace dnp
