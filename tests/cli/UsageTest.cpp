#include "support/RunDnpcfg.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(DnpcfgUsage, HelpListsTheCommands)
{
    const test::ProgramRun r = test::runDnpcfg({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"catalog", "check", "report", "resave", "image", "decode", "export", "diff", "send", "retrieve"})
        EXPECT_TRUE(r.out.contains(QString("\n  %1 ").arg(command))) << command;
}

TEST(DnpcfgUsage, UnknownCommandOrNoneIsAUsageError)
{
    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{}}) {
        const test::ProgramRun r = test::runDnpcfg(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.err.startsWith("dnpcfg: usage: ")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

}  // namespace
