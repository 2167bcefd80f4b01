// The INI file as the settings read and write it.

#include "comm/IniFile.h"

#include <gtest/gtest.h>

#include <limits>

using namespace dnp;

namespace {

QByteArray lines(std::initializer_list<const char*> list, const QByteArray& eol = kIniLineEnd)
{
    QByteArray text;
    for (const char* line : list)
        text += QByteArray(line) + eol;
    return text;
}

}  // namespace

TEST(IniText, Integers)
{
    EXPECT_EQ(*parseIniInteger(u"0"), 0);
    EXPECT_EQ(*parseIniInteger(u"+7"), 7);
    EXPECT_EQ(*parseIniInteger(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(parseIniInteger(u"2147483648"));
    EXPECT_EQ(*parseIniInteger(u"$FFFFFFFF"), -1);
    EXPECT_EQ(*parseIniInteger(u"-$10"), -16);
    EXPECT_FALSE(parseIniInteger(u"$123456789"));
    EXPECT_FALSE(parseIniInteger(u"0x-1"));
    EXPECT_FALSE(parseIniInteger(u"1 2"));
    EXPECT_FALSE(parseIniInteger(u"$"));
    EXPECT_FALSE(parseIniInteger(u"-"));
}

TEST(IniText, ValuesAndSections)
{
    const QByteArray file = lines({"[A]", "k=1", "[B]", " k = two words ", "k=3", "x"}, "\r\n");
    EXPECT_EQ(iniValue(file, u"a", u"K"), QStringLiteral("1"));
    EXPECT_EQ(iniValue(file, u"B", u"k"), QStringLiteral("two words"));
    EXPECT_EQ(iniValue(file, u"B", u"x"), std::nullopt);
    EXPECT_EQ(iniValue(file, u"C", u"k"), std::nullopt);
    EXPECT_EQ(iniSection(file, u"B").size(), 1u);
}

TEST(IniText, WritingIntoAnEmptyFile)
{
    EXPECT_EQ(writeIniSection({}, u"Comm", {{"Baud", "1"}, {"ComPort", "0"}}), lines({"[Comm]", "Baud=1", "ComPort=0"}));
}
