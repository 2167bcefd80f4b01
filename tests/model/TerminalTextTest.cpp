// Text for a terminal: every control character shown as \xHH, everything else kept.

#include "model/TerminalText.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(TerminalText, ControlCharactersAreShownEscaped)
{
    EXPECT_EQ(terminalText(u"tcp://\x1b]52;c;ZWNobw==\x07x:1"), "tcp://\\x1b]52;c;ZWNobw==\\x07x:1");
    EXPECT_EQ(terminalText(QString(QChar(0)) + "a\r\nb\tc\x7f"), "\\x00a\\x0d\\x0ab\\x09c\\x7f");
    // C1 controls too (U+009B starts a sequence on some terminals); the rest is kept.
    EXPECT_EQ(terminalText(QString::fromUtf8("\xc2\x9b" "2J \xc2\xa0\xc3\xbc\xe2\x9c\x93 C:\\dnp")),
              QString::fromUtf8("\\x9b" "2J \xc2\xa0\xc3\xbc\xe2\x9c\x93 C:\\dnp"));
}

}  // namespace
