#include "cli/Args.h"
#include "cli/Commands.h"

#include <QTextStream>
#include <stdexcept>

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

TEST(Args, AnInlineValueKeepsEveryEqualsSign)
{
    EXPECT_EQ(parseArgs({"--description=a=b"}, {"--description"}).value("--description"), "a=b");
    EXPECT_EQ(parseArgs({"--description="}, {"--description"}).value("--description", "x"), "");
}

TEST(Args, UnknownOptionAndMissingValueAreErrors)
{
    EXPECT_EQ(parseArgs({"--frob"}, {"-o"}).error, "unknown option --frob");
    EXPECT_EQ(parseArgs({"x", "-o"}, {"-o"}).error, "option -o needs a value");
    EXPECT_EQ(parseArgs({"--csv=1"}, {}, {"--csv"}).error, "unknown option --csv");
}

TEST(Guard, AnUnexpectedFailureIsPrintedAndGivesStatusOne)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const dnp::cli::Io io{outStream, errStream};
    const int status = dnp::cli::runGuarded(
        [] {
            throw std::out_of_range("no catalogue group for this point");
            return 0;
        },
        io);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "dnpcfg: no catalogue group for this point\n");
    EXPECT_EQ(dnp::cli::runGuarded([] { return 2; }, io), 2);
}
