// The .dnp reader and point list import fuzz targets' seed corpus and regression inputs,
// replayed through the same invariant checks (fuzz/corpus/<target>, fuzz/regressions/<target>).
#include "support/FuzzChecks.h"

#include <gtest/gtest.h>

namespace {

TEST(FuzzReplayTest, ConfigFileInputsKeepTheInvariants)
{
    const QStringList inputs = dnp::fuzz::committedInputs("config_file");
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& path : inputs)
        EXPECT_EQ(dnp::fuzz::checkConfigFileInput(dnp::fuzz::readInput(path)), "") << path.toStdString();
}

// The committed inputs are files the writer wrote: each of them reads.
TEST(FuzzReplayTest, ConfigFileSeedsAreReadableFiles)
{
    int files = 0;
    for (const QString& path : dnp::fuzz::committedInputs("config_file")) {
        if (!path.contains("/corpus/"))
            continue;
        ++files;
        EXPECT_TRUE(dnp::readConfigFile(dnp::fuzz::readInput(path)).ok())
            << path.toStdString();
    }
    EXPECT_GE(files, 3);
}

TEST(FuzzReplayTest, PointListInputsKeepTheInvariants)
{
    const QStringList inputs = dnp::fuzz::committedInputs("point_list");
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString& path : inputs)
        EXPECT_EQ(dnp::fuzz::checkPointListInput(dnp::fuzz::readInput(path)), "") << path.toStdString();
}

// Every starting input of the point list fuzzer is a CSV or XML point list and reads as one.
TEST(FuzzReplayTest, PointListSeedsAreLists)
{
    int lists = 0;
    for (const QString& path : dnp::fuzz::committedInputs("point_list")) {
        if (!path.contains("/corpus/") || path.contains("refused"))
            continue;
        ++lists;
        const std::optional<dnp::PointListFormat> format = dnp::pointListFormatForPath(path);
        ASSERT_TRUE(format.has_value()) << path.toStdString();
        EXPECT_TRUE(dnp::importPointList(dnp::fuzz::readInput(path), *format, {}).ok()) << path.toStdString();
    }
    EXPECT_GE(lists, 4);
}

}  // namespace
