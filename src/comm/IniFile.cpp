#include "comm/IniFile.h"

#include "files/FileText.h"

#include <QSet>

#include <limits>

namespace dnp {
namespace {

// One line of the file, a view into it: its text without the line end, and the line
// end itself ("\r\n", "\n", or nothing on a last line without one).
struct IniLine {
    QByteArrayView text;
    QByteArrayView end;
};

std::vector<IniLine> splitLines(QByteArrayView file)
{
    std::vector<IniLine> lines;
    qsizetype start = 0;
    while (start < file.size()) {
        const qsizetype newline = file.indexOf('\n', start);
        if (newline < 0) {
            lines.push_back({file.sliced(start), {}});
            break;
        }
        qsizetype textEnd = newline;
        if (textEnd > start && file[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({file.sliced(start, textEnd - start), file.sliced(textEnd, newline + 1 - textEnd)});
        start = newline + 1;
    }
    return lines;
}

// The name of a section header "[name]", or nothing for other lines; `line` is trimmed.
std::optional<QByteArrayView> headerName(QByteArrayView line)
{
    if (!line.startsWith('['))
        return std::nullopt;
    qsizetype close = line.indexOf(']');
    if (close < 0)
        close = line.size();
    return line.sliced(1, close - 1).trimmed();
}

// The key and the value of a "key=value" line; nothing for a blank line, a comment or
// any other line. `line` is trimmed.
struct KeyLine {
    QByteArrayView key;
    QByteArrayView value;
};

// A value without the comment after it: from the first ';' or '#' that follows a blank.
QByteArrayView withoutComment(QByteArrayView value)
{
    for (qsizetype i = 1; i < value.size(); ++i)
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t'))
            return value.first(i);
    return value;
}

std::optional<KeyLine> keyLine(QByteArrayView line)
{
    if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
        return std::nullopt;
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0)
        return std::nullopt;
    return KeyLine{line.first(equals).trimmed(), withoutComment(line.sliced(equals + 1)).trimmed()};
}

// Section and key names match regardless of case.
bool sameName(QByteArrayView utf8, QStringView name)
{
    return QAnyStringView::compare(QUtf8StringView(utf8), name, Qt::CaseInsensitive) == 0;
}

// The lines of the first section with this name: [first, last) past its header, or
// nothing when the file has no such section.
struct SectionRange {
    std::size_t header;
    std::size_t first;
    std::size_t last;
};

std::optional<SectionRange> findSection(const std::vector<IniLine>& lines, QStringView section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = headerName(lines[i].text.trimmed());
        if (!name || !sameName(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !headerName(lines[end].text.trimmed()))
            ++end;
        return SectionRange{i, i + 1, end};
    }
    return std::nullopt;
}

}  // namespace

Result<std::int32_t> parseIniInteger(QStringView text)
{
    const Error notAnInteger = failure(QStringLiteral("'%1' is not an integer").arg(text));
    QStringView s = text.trimmed();
    bool negative = false;
    if (s.startsWith(u'-') || s.startsWith(u'+')) {
        negative = s.front() == u'-';
        s = s.sliced(1);
    }
    int base = 10;
    if (s.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        s = s.sliced(2);
    } else if (s.startsWith(u'$')) {
        base = 16;
        s = s.sliced(1);
    }
    if (s.isEmpty() || (base == 16 && s.size() > 8))
        return notAnInteger;
    for (QChar c : s) {
        const bool digit = c >= u'0' && c <= u'9';
        const bool hexLetter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!digit && !(base == 16 && hexLetter))
            return notAnInteger;
    }
    bool ok = false;
    const qulonglong magnitude = s.toULongLong(&ok, base);
    if (!ok)
        return notAnInteger;
    if (base == 16) {
        // Eight hex digits are a 32-bit pattern: $FFFFFFFF is -1.
        const auto bits = static_cast<std::uint32_t>(magnitude);
        const auto value = static_cast<std::int32_t>(bits);
        return negative ? static_cast<std::int32_t>(0u - bits) : value;
    }
    if (magnitude > 1ull << 32)  // before the sign is applied: no overflow
        return notAnInteger;
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return notAnInteger;
    return static_cast<std::int32_t>(value);
}

namespace {

// Calls `take(key, value, line)` with the views of each key=value line of the first
// section with this name, in file order, and its line number; one pass, nothing copied.
template <typename Take>
void scanSection(QByteArrayView wholeFile, QStringView section, Take take)
{
    const QByteArrayView file = withoutByteOrderMark(wholeFile);
    bool inSection = false;
    bool sectionSeen = false;
    qsizetype start = 0;
    int lineNumber = 0;
    while (start < file.size()) {
        ++lineNumber;
        qsizetype end = file.indexOf('\n', start);
        if (end < 0)
            end = file.size();
        const QByteArrayView line = file.sliced(start, end - start).trimmed();
        start = end + 1;
        if (const auto name = headerName(line)) {
            if (sectionSeen)
                return;  // only the first section of the name counts
            inSection = sameName(*name, section);
            sectionSeen = inSection;
            continue;
        }
        if (!inSection)
            continue;
        if (const auto pair = keyLine(line))
            take(pair->key, pair->value, lineNumber);
    }
}

}  // namespace

std::vector<IniEntry> iniSection(QByteArrayView file, QStringView section)
{
    std::vector<IniEntry> keys;
    QSet<QString> seen;  // folded names: the first of each key wins
    scanSection(file, section, [&](QByteArrayView key, QByteArrayView value, int line) {
        QString name = QString::fromUtf8(key);
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded))
            return;
        seen.insert(folded);
        keys.push_back({std::move(name), QString::fromUtf8(value), line});
    });
    return keys;
}

std::optional<QString> iniValue(QByteArrayView file, QStringView section, QStringView key)
{
    std::optional<QString> value;
    scanSection(file, section, [&](QByteArrayView k, QByteArrayView v, int) {
        if (!value && sameName(k, key))
            value = QString::fromUtf8(v);
    });
    return value;
}

QByteArray writeIniSection(QByteArrayView wholeFile, QStringView section,
                           const std::vector<std::pair<QString, QString>>& keys, OtherKeys others)
{
    const QByteArrayView file = withoutByteOrderMark(wholeFile);
    const std::vector<IniLine> lines = splitLines(file);
    QByteArrayView lineEnd = kIniLineEnd;
    for (const IniLine& line : lines)
        if (!line.end.isEmpty()) {
            lineEnd = line.end;
            break;
        }

    const QByteArrayView mark = wholeFile.first(wholeFile.size() - file.size());
    QByteArray bytes = mark.toByteArray();
    bytes.reserve(wholeFile.size() + 64 * static_cast<qsizetype>(keys.size()));
    const auto append = [&](const IniLine& line) {
        bytes += line.text;
        bytes += line.end;
    };
    // The keys, after a new section's header: the line before them gets a line end if
    // it had none (only the file's last line can lack one).
    const auto appendKeys = [&](QByteArrayView header) {
        if (bytes.size() > mark.size() && !bytes.endsWith('\n'))
            bytes += lineEnd;
        if (!header.isEmpty()) {
            bytes += header;
            bytes += lineEnd;
        }
        for (const auto& [key, value] : keys) {
            bytes += (key + u'=' + value).toUtf8();
            bytes += lineEnd;
        }
    };

    const std::optional<SectionRange> range = findSection(lines, section);
    if (!range) {
        for (const IniLine& line : lines)
            append(line);
        if (!keys.empty())
            appendKeys('[' + section.toUtf8() + ']');
        return bytes;
    }
    for (std::size_t i = 0; i < range->first; ++i)
        append(lines[i]);
    appendKeys({});
    QSet<QString> written;  // folded names, as sameName compares them
    written.reserve(static_cast<qsizetype>(keys.size()));
    for (const auto& k : keys)
        written.insert(k.first.toCaseFolded());
    for (std::size_t i = range->first; i < lines.size(); ++i) {
        const auto pair = i < range->last ? keyLine(lines[i].text.trimmed()) : std::nullopt;
        const bool dropped = pair && (others == OtherKeys::Dropped || written.contains(QString::fromUtf8(pair->key).toCaseFolded()));
        if (!dropped)
            append(lines[i]);
    }
    return bytes;
}

}  // namespace dnp
