#include "app/Guard.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace dnp;

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
