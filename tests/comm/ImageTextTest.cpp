// The image as text: the form dnpcfg image prints and the simulator keeps.

#include "comm/ImageText.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace dnp {
namespace {

// --- the image as text -------------------------------------------------------------

TEST(ImageTextTest, SixteenLinesOfSixteenUpperCaseWords)
{
    ConfigImage image{};
    image[0] = 8;
    image[1] = 0xa32;
    image[15] = 0xFFFF;
    image[16] = 0x8903;
    image[255] = 2;
    const QString text = formatImageText(image);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[16], "");
    EXPECT_EQ(lines[0], "0008 0A32 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 FFFF");
    EXPECT_EQ(lines[1], "8903 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000");
    EXPECT_EQ(lines[15], "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0002");
    EXPECT_EQ(text.size(), 16 * (16 * 5));

    const Result<ConfigImage> back = parseImageText(text.toLatin1());
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, image);
}

TEST(ImageTextTest, AnyWhiteSpaceShortWordsAndHexPrefixes)
{
    QByteArray text = "0x8 a32\t\r\n  ffff";
    for (int i = 3; i < 256; ++i)
        text += " 0";
    const Result<ConfigImage> result = parseImageText(text);
    ASSERT_TRUE(result.ok());
    const ConfigImage& image = *result;
    EXPECT_EQ(image[0], 8);
    EXPECT_EQ(image[1], 0x0A32);
    EXPECT_EQ(image[2], 0xFFFF);
}

TEST(ImageTextTest, BadInputIsAnsweredWithItsPlace)
{
    const auto errorOf = [](const QByteArray& text) {
        const Result<ConfigImage> result = parseImageText(text);
        return result.ok() ? QString() : result.error().message;
    };
    EXPECT_EQ(errorOf("0001 0002\n0003 00G4"), "line 2, column 6: '00G4' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("10000"), "line 1, column 1: '10000' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("0x"), "line 1, column 1: '0x' is not a 16-bit hexadecimal word");
    EXPECT_EQ(errorOf("1 2 3"), "the image has 3 words; 256 are needed");
    EXPECT_EQ(errorOf(""), "the image has 0 words; 256 are needed");
    QByteArray tooLong;
    for (int i = 0; i < 257; ++i)
        tooLong += "1 ";
    EXPECT_EQ(errorOf(tooLong), "line 1, column 513: more than 256 words");
}

}  // namespace
}  // namespace dnp
