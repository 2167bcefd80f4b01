#include "files/Cp1252.h"

#include <gtest/gtest.h>

using namespace dnp;

TEST(Cp1252, AsciiAndLatin1RowsAreTheirOwnBytes)
{
    EXPECT_EQ(toCp1252(u"Tap Position, \"12\" ~"), QByteArray("Tap Position, \"12\" ~"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("º°±µ×ÿ\u00A0")), QByteArray("\xBA\xB0\xB1\xB5\xD7\xFF\xA0"));
}

TEST(Cp1252, HighControlRowHoldsTypographicCharacters)
{
    EXPECT_EQ(toCp1252(QString::fromUtf8("€‚ƒ„…†‡ˆ‰Š‹ŒŽ")), QByteArray("\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("‘’“”•–—˜™š›œžŸ")),
              QByteArray("\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F"));
}

TEST(Cp1252, CharactersItCannotHoldBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1252(QString::fromUtf8("Ω≤中")), QByteArray("???"));
    EXPECT_EQ(toCp1252(QString::fromUtf8("a😀b")), QByteArray("a?b"));  // one character, one "?"
    EXPECT_EQ(toCp1252(QString(QChar(0xD800))), QByteArray("?"));      // a lone surrogate
    EXPECT_EQ(toCp1252(QString(QChar(0x0080))), QByteArray("?"));      // a C1 control with no byte of its own
}

TEST(Cp1252, DecodesEveryByte)
{
    EXPECT_EQ(fromCp1252("Deadband 2.5 \xBA"), QString::fromUtf8("Deadband 2.5 º"));
    EXPECT_EQ(fromCp1252("\x80\x99\x9F"), QString::fromUtf8("€™Ÿ"));
    EXPECT_EQ(fromCp1252("\x81\x8D\x8F\x90\x9D"), QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = fromCp1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1252(text), all);  // every byte comes back
}
