// The committed fuzzing inputs and regression inputs of the DNP.ini, reply and image fuzz targets,
// replayed through the same invariant checks (fuzz/corpus/<target>, fuzz/regressions/<target>).
#include "support/FuzzChecks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(FuzzReplayTest, IniInputsKeepTheInvariants)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList inputs = fuzz::committedInputs("ini");
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& path : inputs)
        EXPECT_EQ(fuzz::checkIniInput(fuzz::readInput(path), folder.path()), "") << path.toStdString();
}

TEST(FuzzReplayTest, ReplyInputsKeepTheInvariants)
{
    const QStringList inputs = fuzz::committedInputs("reply");
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& path : inputs)
        EXPECT_EQ(fuzz::checkReplyInput(fuzz::readInput(path)), "") << path.toStdString();
}

TEST(FuzzReplayTest, ImageInputsKeepTheInvariants)
{
    const QStringList inputs = fuzz::committedInputs("image");
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& path : inputs)
        EXPECT_EQ(fuzz::checkImageInput(fuzz::readInput(path)), "") << path.toStdString();
}

// The reply plan reads the input as the fuzz target documents it.
TEST(FuzzReplayTest, ReplyPlanLayout)
{
    QByteArray input = QByteArray::fromHex("0307");  // retrieve, addressing, address 7
    input += '\x02' + QByteArray(41 + 2, '\x00');      // message 1: two extra bytes
    input += '\xFF';                                    // message 2: silent
    const fuzz::ReplyPlan plan = fuzz::planReplies(input);
    EXPECT_TRUE(plan.retrieve);
    EXPECT_TRUE(plan.addressing);
    EXPECT_EQ(plan.address, 7);
    ASSERT_EQ(plan.replies.size(), 2u);
    EXPECT_EQ(plan.replies[0].bytes.size(), 43);
    EXPECT_FALSE(plan.replies[0].silent);
    EXPECT_TRUE(plan.replies[1].silent);
    EXPECT_EQ(fuzz::checkReplyInput(input), "");
}

// The checks catch what they are for: a broken Class 0 order.
TEST(FuzzReplayTest, TheInvariantChecksSeeBreakage)
{
    ConfigState state;
    state.setSelected(0, PointType::Bin, 3, true);
    state.Class0Order[0][3] = 3;
    EXPECT_EQ(fuzz::detail::checkClass0Invariant(state.ClassSelection, state.Class0Order), "");
    state.Class0Order[0][3] = 4;
    EXPECT_EQ(fuzz::detail::checkClass0Invariant(state.ClassSelection, state.Class0Order),
              "the Class0Order values of Bin are no permutation of its Class 0 points");
    state.Class0Order[0][3] = -1;
    EXPECT_EQ(fuzz::detail::checkClass0Invariant(state.ClassSelection, state.Class0Order),
              "Bin slot 3 holds -1 for a point in Class 0");
}

}  // namespace
