// Text for a terminal: every control character shown as \xHH, everything else kept.

#include "model/TerminalText.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(TerminalText, ControlCharactersAreShownEscaped)
{
    struct Case {
        QString text;
        QString shown;
    };
    const Case cases[] = {
        {"/dev/ttyS0", "/dev/ttyS0"},
        {"tcp://\x1b]52;c;ZWNobw==\x07x:1", "tcp://\\x1b]52;c;ZWNobw==\\x07x:1"},
        {"a\r\nb\tc", "a\\x0d\\x0ab\\x09c"},
        {QString(QChar(0)) + "\x7f", "\\x00\\x7f"},
        {QString::fromUtf8("\xc2\x9b" "2J \xc2\xa0\xc3\xbc\xe2\x9c\x93 C:\\dnp"), QString::fromUtf8("\\x9b" "2J \xc2\xa0\xc3\xbc\xe2\x9c\x93 C:\\dnp")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(terminalText(c.text), c.shown);
}

}  // namespace
