#include "cli/Args.h"

#include <gtest/gtest.h>

using dnp::cli::parseArgs;

TEST(Args, PositionalValuesAndFlags)
{
    const auto p = parseArgs({"in.dnp", "-o", "out.dnp", "--mapping=subset", "--csv"}, {"-o", "--mapping"}, {"--csv"});
    EXPECT_TRUE(p.error.isEmpty());
    EXPECT_EQ(p.positional, QStringList{"in.dnp"});
    EXPECT_EQ(p.value("-o"), "out.dnp");
    EXPECT_EQ(p.value("--mapping"), "subset");
    EXPECT_TRUE(p.has("--csv"));
    EXPECT_FALSE(p.has("--comment"));
}

TEST(Args, UnknownOptionAndMissingValueAreErrors)
{
    EXPECT_EQ(parseArgs({"--frob"}, {"-o"}).error, "unknown option --frob");
    EXPECT_EQ(parseArgs({"x", "-o"}, {"-o"}).error, "option -o needs a value");
    EXPECT_EQ(parseArgs({"--csv=1"}, {}, {"--csv"}).error, "unknown option --csv");
}
