#include "files/ConfigFile.h"

#include "files/LineProblems.h"

#include "files/Cp1252.h"
#include "files/FileAccess.h"
#include "model/Regional.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace dnp {
namespace {

constexpr int kPointsPerLine = 5;
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
// Longest field text quoted in a message.
constexpr qsizetype kQuotedFieldMax = 40;
// The bytes a file may take up to the end of its last line: the layout's lines with room
// for long header texts (a description and a comment of tens of thousands of characters
// fit). A longer start is no configuration file.
constexpr qint64 kMaxBytesBeforeLastLine = 1024 * 1024;

enum class LineKind {
    Date,
    Description,
    Comment,
    Empty,
    ClassTitle,
    UnsolicitedTitle,
    DeadbandLabel,
    DeadbandValue,
    DelayNotLabel,
    DelayNotValue,
    BlockHeading,
    Names,
    Values,
};

struct LayoutLine {
    LineKind kind;
    int cls = -1;  // -1 in the header
    PointType type = PointType::Bin;
    int firstIndex = 0;
    int count = 0;
};

std::vector<LayoutLine> buildLayout()
{
    std::vector<LayoutLine> lines;
    lines.push_back({LineKind::Date});
    lines.push_back({LineKind::Description});
    lines.push_back({LineKind::Comment});
    for (int cls = 0; cls <= kEventClassCount; ++cls) {
        lines.push_back({LineKind::Empty, cls});
        lines.push_back({LineKind::ClassTitle, cls});
        if (cls > 0) {
            lines.push_back({LineKind::UnsolicitedTitle, cls});
            lines.push_back({LineKind::DeadbandLabel, cls});
            lines.push_back({LineKind::DeadbandValue, cls});
            lines.push_back({LineKind::DelayNotLabel, cls});
            lines.push_back({LineKind::DelayNotValue, cls});
        }
        for (PointType type : kAllPointTypes) {
            lines.push_back({LineKind::Empty, cls, type});
            lines.push_back({LineKind::BlockHeading, cls, type});
            for (int first = 0; first < pointCount(type); first += kPointsPerLine) {
                const int n = std::min(kPointsPerLine, pointCount(type) - first);
                lines.push_back({LineKind::Names, cls, type, first, n});
                lines.push_back({LineKind::Values, cls, type, first, n});
            }
        }
    }
    return lines;
}

// The 890 lines of every configuration file, in file order.
const std::vector<LayoutLine>& layout()
{
    static const std::vector<LayoutLine> lines = buildLayout();
    return lines;
}

QString namesLine(const LayoutLine& l)
{
    const PointCatalog& catalog = PointCatalog::instance();
    QStringList names;
    for (int i = l.firstIndex; i < l.firstIndex + l.count; ++i)
        names << catalog.point(l.type, i).shortName;
    return names.join(QLatin1Char(','));
}

QString valuesLine(const ConfigState& state, const LayoutLine& l)
{
    QStringList values;
    for (int i = l.firstIndex; i < l.firstIndex + l.count; ++i)
        values << QString::number(classPointValue(state, l.cls, l.type, i));
    return values.join(QLatin1Char(','));
}

QString lineText(const ConfigState& state, const QDateTime& now, const LayoutLine& l)
{
    switch (l.kind) {
    case LineKind::Date: return dateTimeLine(now);
    case LineKind::Description: return QStringLiteral("Description: ") + headerText(state.ReportDescription);
    case LineKind::Comment: return QStringLiteral("Comment:     ") + headerText(state.ReportComment);
    case LineKind::Empty: return {};
    case LineKind::ClassTitle: return QStringLiteral("CLASS %1").arg(l.cls);
    case LineKind::UnsolicitedTitle: return QStringLiteral("*** Unsolicited Responses ***");
    case LineKind::DeadbandLabel: return QStringLiteral("Deadband");
    case LineKind::DeadbandValue: return deadbandPercentText(state.deadband(l.cls));
    case LineKind::DelayNotLabel: return QStringLiteral("DelayNot");
    case LineKind::DelayNotValue: return QString::number(state.eventsWord(l.cls));
    case LineKind::BlockHeading: return blockHeading(l.type);
    case LineKind::Names: return namesLine(l);
    case LineKind::Values: return valuesLine(state, l);
    }
    return {};
}

// --- reading ---

// The first `maxLines` lines; a line ends at CR LF, LF or CR.
std::vector<QByteArrayView> splitLines(QByteArrayView bytes, int maxLines)
{
    std::vector<QByteArrayView> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n && static_cast<int>(lines.size()) < maxLines) {
        qsizetype end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.push_back(bytes.sliced(start, end - start));
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

bool isSeparatorBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// A kept line's fields: split at ","; double quotes dropped; blanks and control
// characters separate fields too, and a blank next to a comma adds no field.
std::vector<QByteArray> splitFields(QByteArrayView line)
{
    QByteArray s;
    s.reserve(line.size());
    for (char c : line)
        if (c != '"')
            s.append(c);

    std::vector<QByteArray> fields;
    const qsizetype n = s.size();
    qsizetype p = 0;
    while (p < n && isSeparatorBlank(s[p]))
        ++p;
    while (p < n) {
        const qsizetype start = p;
        while (p < n && !isSeparatorBlank(s[p]) && s[p] != ',')
            ++p;
        fields.push_back(s.mid(start, p - start));
        while (p < n && isSeparatorBlank(s[p]))
            ++p;
        if (p < n && s[p] == ',') {
            if (p + 1 == n)
                fields.push_back(QByteArray());  // a comma that ends the line
            ++p;
            while (p < n && isSeparatorBlank(s[p]))
                ++p;
        }
    }
    return fields;
}

QByteArray trimmedWithoutQuotes(QByteArrayView line)
{
    QByteArray s;
    for (char c : line)
        if (c != '"')
            s.append(c);
    qsizetype first = 0;
    qsizetype last = s.size();
    while (first < last && isSeparatorBlank(s[first]))
        ++first;
    while (last > first && isSeparatorBlank(s[last - 1]))
        --last;
    return s.mid(first, last - first);
}

QString valueCount(int n)
{
    return n == 1 ? QStringLiteral("1 value") : QStringLiteral("%1 values").arg(n);
}

// A field as a message shows it: decoded, "?" for what cannot be shown, cut when it is long.
QString quoted(const QByteArray& field)
{
    return quotedField(fromCp1252(field), kQuotedFieldMax);  // one character a byte
}

class Reader {
public:
    explicit Reader(QByteArrayView bytes) : bytes_(bytes)
    {
        for (PointType t : kAllPointTypes) {
            data_.Class0Order[typeNumber(t)].assign(pointCount(t), -1);
            for (auto& values : values_)
                values[typeNumber(t)].assign(pointCount(t), -1);
            valueLine_[typeNumber(t)].assign(pointCount(t), 0);
        }
    }

    Result<ConfigFileData> read()
    {
        const std::vector<QByteArrayView> lines = splitLines(bytes_, kConfigFileLineCount);
        if (static_cast<int>(lines.size()) < kConfigFileLineCount)
            return failure(QStringLiteral("the file ends here, a configuration file has %1 lines").arg(kConfigFileLineCount),
                           static_cast<int>(lines.size()) + 1);

        int section = -1;
        for (int n = 0; n < kConfigFileLineCount; ++n) {
            const LayoutLine& l = layout()[n];
            if (l.cls != section) {
                if (section == 0)
                    if (const Result<void> order = checkClass0Order(); !order)
                        return order.error();
                section = l.cls;
            }
            const int lineNumber = n + 1;
            Result<void> read;
            switch (l.kind) {
            case LineKind::DeadbandValue: read = readDeadband(l.cls, lines[n], lineNumber); break;
            case LineKind::DelayNotValue: read = readDelayNot(l.cls, lines[n], lineNumber); break;
            case LineKind::Values: read = readValues(l, lines[n], lineNumber); break;
            default: break;  // label lines are known by their place, not their text
            }
            if (!read)
                return read.error();
        }
        return data_;
    }

private:
    // The single field of a dead band or DelayNot line.
    static Result<QByteArray> singleField(QByteArrayView line, int lineNumber)
    {
        const std::vector<QByteArray> fields = splitFields(line);
        if (fields.size() != 1)
            return failure(QStringLiteral("expected 1 value, found %1").arg(fields.size()), lineNumber);
        return fields.front();
    }

    Result<void> readDeadband(int cls, QByteArrayView line, int lineNumber)
    {
        // With a regional decimal comma the value itself holds a ",": read the line whole first.
        QByteArray field = trimmedWithoutQuotes(line);
        Result<double> value = parseDecimal(fromCp1252(field));
        if (!value) {
            const Result<QByteArray> single = singleField(line, lineNumber);
            if (!single)
                return single.error();
            field = *single;
            value = parseDecimal(fromCp1252(field));
        }
        if (!value)
            return failure(QStringLiteral("%1 is not a valid floating point value").arg(quoted(field)), lineNumber);
        const Result<std::uint16_t> tenths = deadbandFromPercent(*value);
        if (!tenths)
            return failure(QStringLiteral("the dead band %1 lies outside 0 to 100").arg(quoted(field)), lineNumber);
        data_.UnsolicitedSettings[deadbandWordIndex(cls)] = *tenths;
        return {};
    }

    Result<void> readDelayNot(int cls, QByteArrayView line, int lineNumber)
    {
        const Result<QByteArray> field = singleField(line, lineNumber);
        if (!field)
            return field.error();
        const Result<double> value = parseDecimal(fromCp1252(*field));
        if (!value)
            return failure(QStringLiteral("%1 is not a valid floating point value").arg(quoted(*field)), lineNumber);
        constexpr double kMaxEventsWord = 0xFFFF;
        const double word = *value >= -1 && *value <= kMaxEventsWord + 1 ? static_cast<double>(roundHalfEven(*value)) : -1;
        if (word < 0 || word > kMaxEventsWord)
            return failure(QStringLiteral("the DelayNot value %1 lies outside 0 to 65535").arg(quoted(*field)), lineNumber);
        data_.UnsolicitedSettings[eventsWordIndex(cls)] = static_cast<std::uint16_t>(word);
        return {};
    }

    Result<void> readValues(const LayoutLine& l, QByteArrayView line, int lineNumber)
    {
        const PointCatalog& catalog = PointCatalog::instance();
        const std::vector<QByteArray> fields = splitFields(line);
        std::vector<long long> numbers;
        for (const QByteArray& field : fields) {
            const Result<long long> v = parseInteger(fromCp1252(field));
            if (!v)
                return failure(QStringLiteral("%1 is not a valid integer value").arg(quoted(field)), lineNumber);
            numbers.push_back(*v);
        }
        if (static_cast<int>(fields.size()) != l.count)
            return failure(QStringLiteral("expected %1, found %2").arg(valueCount(l.count)).arg(fields.size()), lineNumber);
        const int t = typeNumber(l.type);
        for (int k = 0; k < l.count; ++k) {
            const int i = l.firstIndex + k;
            const QString& name = catalog.point(l.type, i).shortName;
            const long long v = numbers[k];
            if (v < -1 || v >= pointCount(l.type))
                return failure(QStringLiteral("the value %1 of '%2' lies outside -1 to %3")
                                   .arg(v).arg(name).arg(pointCount(l.type) - 1),
                               lineNumber);
            const auto value = static_cast<std::int32_t>(v);
            values_[l.cls][t][i] = value;
            if (l.cls == 0) {
                valueLine_[t][i] = lineNumber;
            } else if (value >= 0 && value != values_[0][t][i]) {
                return failure(QStringLiteral("the CLASS %1 value %2 of '%3' differs from its CLASS 0 value %4")
                                   .arg(l.cls).arg(value).arg(name).arg(values_[0][t][i]),
                               lineNumber);
            }
            if (value >= 0) {
                data_.ClassSelection[l.cls][selectionIndexOf(l.type, i)] = 1;
                if (l.cls == 0)
                    data_.Class0Order[t][i] = value;
            }
        }
        return {};
    }

    // The Class 0 values of each type must be an order of the type's Class 0 points.
    Result<void> checkClass0Order() const
    {
        const PointCatalog& catalog = PointCatalog::instance();
        for (PointType type : kAllPointTypes) {
            const int t = typeNumber(type);
            const std::vector<std::int32_t>& values = values_[0][t];
            std::vector<int> takenBy(values.size(), -1);
            for (int i = 0; i < pointCount(type); ++i) {
                const std::int32_t v = values[i];
                if (v < 0)
                    continue;
                const QString& name = catalog.point(type, i).shortName;
                if (values[v] < 0)
                    return failure(QStringLiteral("the CLASS 0 value %1 of '%2' names '%3', which is not in CLASS 0")
                                       .arg(v).arg(name, catalog.point(type, v).shortName),
                                   valueLine_[t][i]);
                if (takenBy[v] >= 0)
                    return failure(QStringLiteral("the CLASS 0 value %1 of '%2' is already the value of '%3'")
                                       .arg(v).arg(name, catalog.point(type, takenBy[v]).shortName),
                                   valueLine_[t][i]);
                takenBy[v] = i;
            }
        }
        return {};
    }

    QByteArrayView bytes_;
    ConfigFileData data_;
    std::array<PerType<std::int32_t>, 4> values_;  // by class, type, TypeIndex
    PerType<int> valueLine_;                       // line of each Class 0 value
};

}  // namespace

std::int32_t classPointValue(const ConfigState& state, int cls, PointType type, int typeIndex)
{
    if (!state.selected(cls, type, typeIndex))
        return -1;
    return state.Class0Order[typeNumber(type)][typeIndex];
}

QString dateTimeLine(const QDateTime& now)
{
    return QStringLiteral("Date/Time:   ") + dateTimeStamp(now);
}

QString headerText(const QString& text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

QString blockHeading(PointType type)
{
    static const char* const headings[] = {"BINARY INPUT", "BINARY OUTPUT", "ANALOG INPUT", "ANALOG OUTPUT", "COUNTERS"};
    return QString::fromLatin1(headings[typeNumber(type)]);
}

QByteArray composeConfigFile(const ConfigState& state, const QDateTime& now)
{
    QByteArray bytes;
    bytes.reserve(40 * 1024);
    for (const LayoutLine& l : layout()) {
        bytes += toCp1252(lineText(state, now, l));
        bytes += kLineEnd;
    }
    return bytes;
}

Result<ConfigFileData> readConfigFile(QByteArrayView bytes)
{
    return Reader(bytes).read();
}

ConfigFileData configFileDataOf(const ConfigState& state)
{
    ConfigFileData data;
    for (int cls = 0; cls <= kEventClassCount; ++cls)
        for (const PointGroup& g : kPointGroups)
            for (int k = 0; k < g.count; ++k)
                data.ClassSelection[cls][g.base + k] = state.ClassSelection[cls][g.base + k];
    data.Class0Order = state.Class0Order;
    data.UnsolicitedSettings = state.UnsolicitedSettings;
    return data;
}

void applyConfigFileData(ConfigState& state, const ConfigFileData& data)
{
    for (int cls = 0; cls <= kEventClassCount; ++cls)
        for (const PointGroup& g : kPointGroups)
            for (int k = 0; k < g.count; ++k)
                state.ClassSelection[cls][g.base + k] = data.ClassSelection[cls][g.base + k];
    for (PointType t : kAllPointTypes) {
        const auto& order = data.Class0Order[typeNumber(t)];
        if (static_cast<int>(order.size()) == pointCount(t))
            state.Class0Order[typeNumber(t)] = order;
        else
            state.Class0Order[typeNumber(t)].assign(pointCount(t), -1);
    }
    state.UnsolicitedSettings = data.UnsolicitedSettings;
}

namespace {

// Whether the bytes hold the end of the layout's last line (a line ends at CR LF, LF or CR).
bool holdsAllLines(QByteArrayView bytes)
{
    int lineEnds = 0;
    for (qsizetype i = 0; i < bytes.size() && lineEnds < kConfigFileLineCount; ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            ++lineEnds;
    }
    return lineEnds >= kConfigFileLineCount;
}

}  // namespace

Result<ConfigFileData> loadConfigFile(const QString& path)
{
    // Only the first 890 lines count: read until they are all in, the file ends, or the
    // bound is reached.
    const Result<QByteArray> bytes = readInputStart(path, kMaxBytesBeforeLastLine + 1, holdsAllLines);
    if (!bytes)
        return bytes.error();
    if (bytes->size() > kMaxBytesBeforeLastLine && !holdsAllLines(*bytes))
        return failure(describeFileError(path, failure(QStringLiteral("the file is too large to be a configuration file"))));
    Result<ConfigFileData> data = readConfigFile(*bytes);
    if (!data)
        return failure(describeFileError(path, data.error()), data.error().line());
    return data;
}

QString describeFileError(const QString& path, const Error& error)
{
    if (error.line() > 0)
        return QStringLiteral("%1, line %2: %3").arg(path).arg(error.line()).arg(error.message);
    return QStringLiteral("%1: %2").arg(path, error.message);
}

}  // namespace dnp
