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

// A comment after a value starts at a ';' or '#' after a blank; one without a blank
// before it is part of the value.
TEST(IniText, ACommentAfterAValueIsNotPartOfIt)
{
    const QByteArray file = lines({"[A]", "a=5 ; five", "b = x#y", "c=\t# nothing", "d=;z", "e=p ;q ;r"});
    const std::vector<IniEntry> expected = {{"a", "5", 2}, {"b", "x#y", 3}, {"c", "", 4}, {"d", ";z", 5}, {"e", "p", 6}};
    EXPECT_EQ(iniSection(file, u"A"), expected);
}

TEST(IniText, ASectionWrittenWholeLosesTheKeysNotWritten)
{
    const QByteArray file = lines({"[Ports]", "; adapters", "COM1=a", "COM2=b", "[Comm]", "Baud=1"});
    EXPECT_EQ(writeIniSection(file, u"Ports", {{"COM2", "c"}}, OtherKeys::Dropped),
              lines({"[Ports]", "COM2=c", "; adapters", "[Comm]", "Baud=1"}));
    EXPECT_EQ(writeIniSection(file, u"Ports", {}, OtherKeys::Dropped), lines({"[Ports]", "; adapters", "[Comm]", "Baud=1"}));
    EXPECT_EQ(writeIniSection(lines({"[Comm]"}), u"Ports", {}, OtherKeys::Dropped), lines({"[Comm]"}));
}

TEST(IniText, WritingIntoAnEmptyFile)
{
    EXPECT_EQ(writeIniSection({}, u"Comm", {{"Baud", "1"}, {"ComPort", "0"}}), lines({"[Comm]", "Baud=1", "ComPort=0"}));
}

TEST(IniText, ALineWithoutANameBeforeTheEqualsSignIsNoKey)
{
    const QByteArray file = lines({"[A]", "=x", "  = y", "k=1"});
    EXPECT_EQ(iniSection(file, u"A"), (std::vector<IniEntry>{{"k", "1", 4}}));
    EXPECT_EQ(iniValue(file, u"A", u""), std::nullopt);
    EXPECT_EQ(iniValue(file, u"A", u"k"), QStringLiteral("1"));
}

// The first section of a name is read, and written into; the second stays as it is.
TEST(IniText, OfTwoSectionsOfTheSameNameOnlyTheFirstCounts)
{
    const QByteArray file = lines({"[Comm]", "Baud=1", "[comm]", "Baud=2", "Parity=1"});
    EXPECT_EQ(iniValue(file, u"Comm", u"Baud"), QStringLiteral("1"));
    EXPECT_EQ(iniValue(file, u"Comm", u"Parity"), std::nullopt);
    EXPECT_EQ(iniSection(file, u"Comm"), (std::vector<IniEntry>{{"Baud", "1", 2}}));
    const QByteArray written = writeIniSection(file, u"Comm", {{"Baud", "0"}, {"Parity", "0"}});
    EXPECT_EQ(written, lines({"[Comm]", "Baud=0", "Parity=0", "[comm]", "Baud=2", "Parity=1"}));
}

TEST(IniText, KeysWrittenReplaceTheirLinesInAnyCaseAndTheOthersFollow)
{
    const QByteArray file = lines({"; settings", "[Comm]", "BAUD = 7", "; the port", "Own=1", "parity=1", "[Ports]",
                                   "COM1=/dev/ttyUSB0"});
    EXPECT_EQ(writeIniSection(file, u"comm", {{"Baud", "1"}, {"Parity", "0"}}),
              lines({"; settings", "[Comm]", "Baud=1", "Parity=0", "; the port", "Own=1", "[Ports]",
                     "COM1=/dev/ttyUSB0"}));
}

// Some editors start a UTF-8 file with a byte-order mark: it hides no section, and it
// stays at the start of the file written back.
TEST(IniText, AByteOrderMarkIsPassedOverAndKept)
{
    const QByteArray mark = "\xEF\xBB\xBF";
    struct Case {
        QByteArray file;
        QByteArray written;  // with Baud=0 written into [Comm]
    };
    const Case cases[] = {
        {mark + lines({"[Comm]", "Baud=1", "[Ports]", "COM1=/dev/ttyS0"}, "\r\n"),
         mark + lines({"[Comm]", "Baud=0", "[Ports]", "COM1=/dev/ttyS0"}, "\r\n")},
        {mark + lines({"[Ports]", "COM1=/dev/ttyS0"}), mark + lines({"[Ports]", "COM1=/dev/ttyS0", "[Comm]", "Baud=0"})},
        {mark, mark + lines({"[Comm]", "Baud=0"})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(iniValue(c.file, u"Ports", u"COM1"), c.file.size() > mark.size() ? std::optional<QString>("/dev/ttyS0")
                                                                                    : std::nullopt);
        const QByteArray written = writeIniSection(c.file, u"Comm", {{"Baud", "0"}});
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(iniValue(written, u"Comm", u"Baud"), QStringLiteral("0"));
        EXPECT_EQ(writeIniSection(written, u"Comm", {{"Baud", "0"}}), written);  // saved again: the same
    }
    EXPECT_EQ(iniValue(cases[0].file, u"Comm", u"Baud"), QStringLiteral("1"));
    EXPECT_EQ(iniSection(cases[0].file, u"Comm"), (std::vector<IniEntry>{{"Baud", "1", 2}}));
}
