#include "files/Csv.h"

#include <algorithm>

namespace dnp {
namespace {

// What a cell begins with that a spreadsheet takes as a formula.
constexpr QLatin1String kFormulaStarts("=+-@\t\r");
constexpr QChar kTextMark = u'\'';

bool hasText(const CsvRecord& record)
{
    return std::any_of(record.fields.begin(), record.fields.end(),
                       [](const QString& f) { return !f.trimmed().isEmpty(); });
}

bool startsFormula(QStringView field)
{
    return !field.isEmpty() && kFormulaStarts.contains(field.front());
}

// A field as read: the apostrophe a writer put before a formula's first character dropped.
QString readField(QString field)
{
    if (field.startsWith(kTextMark) && startsFormula(QStringView(field).sliced(1)))
        field.remove(0, 1);
    return field;
}

QString joined(const std::vector<const char*>& names)
{
    QStringList list;
    for (const char* name : names)
        list << QLatin1String(name);
    return list.join(QStringLiteral(", "));
}

}  // namespace

Result<std::vector<int>> csvColumns(const CsvRecord& header, std::span<const CsvColumn> columns, const QString& what)
{
    std::vector<int> positions(columns.size(), -1);
    for (int k = 0; k < header.fields.size(); ++k) {
        const QString name = header.fields[k].trimmed().toLower();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (name != QLatin1String(columns[c].name))
                continue;
            if (positions[c] >= 0)
                return failure(QStringLiteral("the header row has the column '%1' twice").arg(name), header.line);
            positions[c] = k;
        }
    }
    std::vector<const char*> required;
    QStringList missing;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].required)
            continue;
        required.push_back(columns[c].name);
        if (positions[c] < 0)
            missing << QLatin1Char('\'') + QLatin1String(columns[c].name) + QLatin1Char('\'');
    }
    if (!missing.isEmpty() && missing.size() == static_cast<qsizetype>(required.size()))
        return failure(QStringLiteral("this is not %1: its first row names none of the columns %2").arg(what, joined(required)),
                       header.line);
    if (!missing.isEmpty())
        return failure(QStringLiteral("the header row has no column %1 (it needs %2)")
                           .arg(missing.join(QStringLiteral(", ")), joined(required)),
                       header.line);
    return positions;
}

QString csvLine(const QStringList& fields)
{
    QStringList written;
    for (const QString& field : fields) {
        QString cell = startsFormula(field) ? kTextMark + field : field;
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\r')) ||
            cell.contains(QLatin1Char('\n')))
            cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        written << cell;
    }
    return written.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

Result<std::vector<CsvRecord>> csvRecords(QStringView text)
{
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
            record.fields << readField(std::move(field));
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
