#include "app/Guard.h"
#include "app/HelpFile.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace dnp;

TEST(HelpFile, PathIsTheStartDirectoryAndTheFileName)
{
    EXPECT_EQ(helpFilePath("/home/user/dnp"), "/home/user/dnp/DNP_COMMCONFIG.hlp");
    // A root directory already ends in a separator.
    EXPECT_EQ(helpFilePath("/"), "//DNP_COMMCONFIG.hlp");
}

TEST(HelpFile, UnavailableTextNamesThePath)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("DNP_COMMCONFIG.hlp");
    EXPECT_EQ(helpUnavailableText(missing, 0),
              QString("The help file %1 was not found, so its contents cannot be shown.").arg(missing));
    QFile f(missing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(helpUnavailableText(missing, 42),
              QString("The help file %1 cannot be shown on this system (asked for topic 42).").arg(missing));
}

TEST(Guard, AFailureEndsTheActionAndShowsItsText)
{
    test::ScriptedPrompts prompts;
    bool after = false;
    EXPECT_FALSE(guarded(prompts, [&] {
        throw std::runtime_error("File I/O error.");
        after = true;
    }));
    EXPECT_FALSE(after);
    EXPECT_EQ(prompts.texts(test::Shown::Error), QStringList{"File I/O error."});
    EXPECT_TRUE(guarded(prompts, [] {}));
}
