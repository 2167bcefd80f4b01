// The .dnp reader fuzz target's seed corpus and regression inputs, replayed through
// the same invariant check (fuzz/corpus/config_file, fuzz/regressions/config_file).
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

}  // namespace
