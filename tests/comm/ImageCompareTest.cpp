#include "comm/ImageCompare.h"

#include "comm/ConfigImage.h"
#include "files/FileTestHelpers.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

ConfigImage imageOf(const ConfigState& state)
{
    const Result<BuiltImage> built = buildSendImage(state, Mapping::Individual);
    EXPECT_TRUE(built.ok());
    return built ? built->image : ConfigImage{};
}

ConfigState withBin(const std::vector<int>& order)
{
    ConfigState state;
    setClass0(state, PointType::Bin, order);
    setClass0(state, PointType::Counters, {3});
    state.setSelected(2, PointType::Counters, 3, true);
    return state;
}

TEST(ImageCompare, EqualImagesHaveNoDifferences)
{
    EXPECT_TRUE(describeImageDifferences(imageOf(withBin({2, 5})), imageOf(withBin({2, 5}))).empty());
}

TEST(ImageCompare, DifferingPointsAreNamedAsDiffNamesThem)
{
    ConfigState found = withBin({5, 2});
    found.setSelected(2, PointType::Counters, 3, false);
    found.UnsolicitedSettings[deadbandWordIndex(1)] = 25;
    EXPECT_EQ(differenceLines(describeImageDifferences(imageOf(withBin({2, 5})), imageOf(found))).join('\n'),
              "Class 0 Bin: renumbered: 'Auto Inhibit Status' 0 \u2192 1\n"
              "Class 0 Bin: renumbered: 'Remote Control' 1 \u2192 0\n"
              "Class 1: dead band: 2 % \u2192 2.5 %\n"
              "Class 2 Counters: only in A: 'KWatt-hr (Reverse) -- 32bit'");
}

TEST(ImageCompare, MappingAndOtherWords)
{
    const ConfigImage expected = imageOf(withBin({2, 5}));
    ConfigImage found = expected;
    found[kMappingWord] = 4;
    EXPECT_EQ(differenceLines(describeImageDifferences(expected, found)).join('\n'), "mapping: 8 \u2192 4");
    found = expected;
    found[254] = 0xAB1;
    EXPECT_EQ(differenceLines(describeImageDifferences(expected, found)).join('\n'), "image word 254: 0000 \u2192 0AB1");
}

}  // namespace
