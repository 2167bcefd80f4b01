#include "cli/Args.h"

#include <gtest/gtest.h>

using dnp::cli::parseArgs;

TEST(Args, PositionalValuesAndFlags)
{
    const auto p = parseArgs({"in.dnp", "-o", "out.dnp", "--mapping=subset", "--csv"}, {"-o", "--mapping"}, {"--csv"});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->positional, QStringList{"in.dnp"});
    EXPECT_EQ(p->value("-o"), "out.dnp");
    EXPECT_EQ(p->value("--mapping"), "subset");
    EXPECT_TRUE(p->has("--csv"));
    EXPECT_FALSE(p->has("--comment"));
}

TEST(Args, AnInlineValueKeepsEveryEqualsSign)
{
    EXPECT_EQ(parseArgs({"--description=a=b"}, {"--description"})->value("--description"), "a=b");
    EXPECT_EQ(parseArgs({"--description="}, {"--description"})->value("--description", "x"), "");
}

// "--" ends the options: a file named like an option can follow it.
TEST(Args, DoubleDashEndsTheOptions)
{
    const auto p = parseArgs({"-o", "out.dnp", "--", "-x.dnp", "--csv"}, {"-o"}, {"--csv"});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->positional, (QStringList{"-x.dnp", "--csv"}));
    EXPECT_FALSE(p->has("--csv"));
}

TEST(Args, RefusalsTellTheProblem)
{
    const struct {
        QStringList args;
        const char* problem;
    } cases[] = {
        {{"--frob"}, "unknown option --frob"},
        {{"x", "-o"}, "option -o needs a value"},
        {{"--csv=1"}, "unknown option --csv"},
        // An empty file or device name, as an unset shell variable gives it.
        {{"-o", ""}, "option -o needs a file name"},
        {{"--ini="}, "option --ini needs a file name"},
        {{"--device", ""}, "option --device needs a device name"},
    };
    for (const auto& c : cases) {
        const auto p = parseArgs(c.args, {"-o", "--ini", "--device"}, {"--csv"});
        ASSERT_FALSE(p) << c.args.join(' ').toStdString();
        EXPECT_EQ(p.error().message, c.problem);
    }
    EXPECT_TRUE(parseArgs({"--description", ""}, {"--description"}));  // an empty text is a text
}
