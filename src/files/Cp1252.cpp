#include "files/Cp1252.h"

#include <array>
#include <cstdint>

namespace dnp {
namespace {

// The characters of bytes 0x80-0x9F; the unassigned bytes map to themselves.
constexpr std::array<char16_t, 32> kHighControlRow = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};
constexpr char kUnmappable = '?';
constexpr std::uint8_t kHighRowFirst = 0x80;
constexpr std::uint8_t kHighRowLast = 0x9F;

char encodeOne(char32_t c)
{
    if (c < kHighRowFirst || (c > kHighRowLast && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControlRow.size(); ++i)
        if (kHighControlRow[i] == c)
            return static_cast<char>(kHighRowFirst + i);
    return kUnmappable;
}

}  // namespace

QByteArray toCp1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes.append(kUnmappable);  // one character outside the basic plane
            ++i;
            continue;
        }
        bytes.append(c.isSurrogate() ? kUnmappable : encodeOne(c.unicode()));
    }
    return bytes;
}

QString fromCp1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b >= kHighRowFirst && b <= kHighRowLast)
            text.append(QChar(kHighControlRow[b - kHighRowFirst]));
        else
            text.append(QChar(b));
    }
    return text;
}

}  // namespace dnp
