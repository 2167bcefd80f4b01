#include "files/Csv.h"

#include <algorithm>

namespace dnp {
namespace {

bool hasText(const CsvRecord& record)
{
    return std::any_of(record.fields.begin(), record.fields.end(),
                       [](const QString& f) { return !f.trimmed().isEmpty(); });
}

}  // namespace

Result<std::vector<int>> csvColumnPositions(const CsvRecord& header, std::span<const char* const> names)
{
    std::vector<int> positions(names.size(), -1);
    for (int k = 0; k < header.fields.size(); ++k) {
        const QString name = header.fields[k].trimmed().toLower();
        for (std::size_t c = 0; c < names.size(); ++c) {
            if (name != QLatin1String(names[c]))
                continue;
            if (positions[c] >= 0)
                return failure(QStringLiteral("the header row has the column '%1' twice").arg(name), header.line);
            positions[c] = k;
        }
    }
    return positions;
}

Result<std::vector<CsvRecord>> csvRecords(QStringView text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text = text.sliced(1);
    std::vector<CsvRecord> records;
    const qsizetype n = text.size();
    const auto isLineEnd = [&](qsizetype at) { return at < n && (text[at] == u'\r' || text[at] == u'\n'); };
    // The length of the line end at `at` (CR LF: 2).
    const auto lineEndLength = [&](qsizetype at) {
        return text[at] == u'\r' && at + 1 < n && text[at + 1] == u'\n' ? 2 : 1;
    };
    int line = 1;
    qsizetype i = 0;
    while (i < n) {
        CsvRecord record{line, {}};
        for (;;) {  // a field, then a comma and the next, up to the line's end
            QString field;
            if (i < n && text[i] == u'"') {
                const int opened = line;
                ++i;
                for (;;) {
                    if (i >= n)
                        return failure(QStringLiteral("the quoted field that begins on this line is not closed"),
                                       opened);
                    if (text[i] == u'"' && i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                    } else if (text[i] == u'"') {
                        ++i;
                        break;
                    } else if (isLineEnd(i)) {
                        const qsizetype length = lineEndLength(i);
                        field += text.sliced(i, length);
                        i += length;
                        ++line;
                    } else {
                        field += text[i++];
                    }
                }
                if (i < n && text[i] != u',' && !isLineEnd(i))
                    return failure(QStringLiteral("text follows the closing quote of a field"), line);
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != u',' && !isLineEnd(i))
                    ++i;
                field = text.sliced(start, i - start).toString();
            }
            record.fields << field;
            if (i >= n || text[i] != u',')
                break;
            ++i;
        }
        if (i < n) {
            i += lineEndLength(i);
            ++line;
        }
        if (hasText(record))
            records.push_back(std::move(record));
    }
    return records;
}

}  // namespace dnp
