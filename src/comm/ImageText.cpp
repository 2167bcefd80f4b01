#include "comm/ImageText.h"

#include <algorithm>

namespace dnp {

QString hexWord(std::uint16_t word)
{
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

QString hexByte(std::uint8_t byte)
{
    return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

QString formatImageText(const ConfigImage& image)
{
    constexpr int kWordsPerLine = 16;
    QString text;
    text.reserve(kImageWords * 5);
    for (int i = 0; i < kImageWords; ++i) {
        text += hexWord(image[i]);
        text += (i % kWordsPerLine == kWordsPerLine - 1) ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return text;
}

Result<ConfigImage> parseImageText(QByteArrayView text)
{
    constexpr int kMaxDigits = 4;
    ConfigImage image{};
    int words = 0;
    int line = 1;
    qsizetype lineStart = 0;
    qsizetype i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    const auto at = [&line](qsizetype column, const QString& message) {
        return failure(QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message), line);
    };
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            if (c == '\n') {
                ++line;
                lineStart = i + 1;
            }
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        QByteArrayView token = text.sliced(start, i - start);
        const qsizetype column = start - lineStart + 1;
        const QString shown = QString::fromLatin1(token.first(std::min<qsizetype>(token.size(), 20)));
        const QString notAWord = QStringLiteral("'%1' is not a 16-bit hexadecimal word").arg(shown);
        if (words == kImageWords)
            return at(column, QStringLiteral("more than 256 words"));
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
            token = token.sliced(2);
        if (token.isEmpty() || token.size() > kMaxDigits)
            return at(column, notAWord);
        std::uint16_t value = 0;
        for (char d : token) {
            int digit = -1;
            if (d >= '0' && d <= '9')
                digit = d - '0';
            else if (d >= 'a' && d <= 'f')
                digit = d - 'a' + 10;
            else if (d >= 'A' && d <= 'F')
                digit = d - 'A' + 10;
            if (digit < 0)
                return at(column, notAWord);
            value = static_cast<std::uint16_t>(value * 16 + digit);
        }
        image[words++] = value;
    }
    if (words < kImageWords)
        return failure(QStringLiteral("the image has %1 words; 256 are needed").arg(words));
    return image;
}

}  // namespace dnp
