#include "files/PointListImport.h"

#include "files/Csv.h"
#include "files/FileAccess.h"
#include "files/FileText.h"
#include "files/LineProblems.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace dnp {
namespace {

constexpr int kTenthsPerPercent = 10;
// How far from a whole tenth of a per cent a spreadsheet's decimal may lie (binary fractions).
constexpr double kTenthTolerance = 1e-6;
// Longest element name quoted in a message.
constexpr qsizetype kQuotedNameMax = 80;

// --- the fields of a row ---

// One CSV row or Device Profile point element: its fields read, its name not yet looked
// up. A field that did not read is absent; its problem is already told.
struct ListedRow {
    int line = 0;
    std::optional<PointType> type;
    std::optional<int> number;
    QString name;
    std::optional<int> eventClass;
    std::optional<std::uint16_t> deadband;  // tenths of a per cent, where the row gives one
};

// An unsolicited setting the list gives, and its line.
struct GivenSetting {
    int value;
    int line;
};
// Per event class (1-3; 0 has none) and setting, in the order of kUnsolicitedSettings.
using GivenSettings =
    std::array<std::array<std::optional<GivenSetting>, kUnsolicitedSettingCount>, kEventClassCount + 1>;

struct ListedRows {
    std::vector<ListedRow> rows;
    GivenSettings given;  // a Device Profile document's; a CSV list's dead bands come with its rows
    LineProblems problems;
};

QString wordsText(int words)
{
    return words == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(words);
}

// A DNP point number: a whole number from 0 up.
Result<int> pointNumber(const QString& text)
{
    if (text.trimmed().isEmpty())
        return failure(QStringLiteral("the point has no DNP point number"));
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok || number < 0)
        return failure(QStringLiteral("the DNP point number %1 is not a whole number from 0 up").arg(quotedField(text)));
    return number;
}

// --- CSV ---

// The header names of the export's columns that the reading uses.
enum class Column { Type, Index, Name, EventClass, Class0, Deadband };

constexpr CsvColumn kColumns[] = {
    {"type", true}, {"index", true}, {"name", true}, {"event_class", true}, {"class0", false}, {"deadband_percent", false},
};

const QString kCsvInClass0 = QStringLiteral("yes");

// A byte no text holds: a control character other than tab, CR and LF. The refusal names
// its line.
Result<void> checkIsText(QByteArrayView bytes)
{
    int line = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            ++line;
        else if (c < 0x20 && c != '\t' && c != '\r')
            return failure(QStringLiteral("this is not a point list: the file holds binary data"), line);
    }
    return {};
}

Error emptyList()
{
    return failure(QStringLiteral("the file is empty, not a point list"), 1);
}

Result<PointType> csvPointType(const QString& text)
{
    for (PointType type : kAllPointTypes)
        if (text == pointListTypeName(type))
            return type;
    if (text.trimmed().isEmpty())
        return failure(QStringLiteral("the point has no type"));
    return failure(QStringLiteral("unknown point type %1").arg(quotedField(text)));
}

Result<int> csvEventClass(const QString& text)
{
    if (text.trimmed().isEmpty())
        return failure(QStringLiteral("the point has no event class"));
    bool ok = false;
    const int cls = text.trimmed().toInt(&ok, 10);
    if (!ok || cls < 0 || cls > kEventClassCount)
        return failure(QStringLiteral("the event class %1 is not 0, 1, 2 or 3").arg(quotedField(text)));
    return cls;
}

// A dead band in per cent, as tenths of a per cent.
Result<std::uint16_t> deadbandTenths(const QString& text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double percent = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(percent))
        return failure(QStringLiteral("the dead band %1 is not a number").arg(quotedField(text)));
    const double tenths = percent * kTenthsPerPercent;
    if (tenths < -kTenthTolerance || tenths > kMaxDeadband + kTenthTolerance)
        return failure(QStringLiteral("the dead band %1 lies outside 0 to 100").arg(quotedField(text)));
    const double whole = std::nearbyint(tenths);
    if (std::fabs(tenths - whole) > kTenthTolerance)
        return failure(QStringLiteral("the dead band %1 is finer than a tenth of a per cent").arg(quotedField(text)));
    return static_cast<std::uint16_t>(whole);
}

Result<void> csvInClass0(const QString& text)
{
    if (text.trimmed().compare(kCsvInClass0, Qt::CaseInsensitive) == 0)
        return {};
    return failure(QStringLiteral("the class0 field %1 is not 'yes': every point of a list is in Class 0 "
                                  "(delete the row to leave the point out)")
                       .arg(quotedField(text)));
}

Result<ListedRows> readCsvRows(QByteArrayView bytes)
{
    if (const Result<void> text = checkIsText(bytes); !text)
        return text.error();
    const Result<std::vector<CsvRecord>> records = csvRecords(utf8FileText(bytes));
    if (!records)
        return records.error();
    if (records->empty())
        return emptyList();
    const Result<std::vector<int>> columns = csvColumns(records->front(), kColumns, QStringLiteral("a point list"));
    if (!columns)
        return columns.error();

    const auto field = [&columns](const CsvRecord& record, Column column) {
        const int position = (*columns)[static_cast<int>(column)];
        return position >= 0 && position < record.fields.size() ? record.fields[position] : QString();
    };
    const auto has = [&columns](Column column) { return (*columns)[static_cast<int>(column)] >= 0; };
    ListedRows listed;
    LineProblems& problems = listed.problems;
    for (auto record = records->begin() + 1; record != records->end(); ++record) {
        const int line = record->line;
        ListedRow row;
        row.line = line;
        row.type = problems.keep(csvPointType(field(*record, Column::Type)), line);
        row.number = problems.keep(pointNumber(field(*record, Column::Index)), line);
        row.name = field(*record, Column::Name);
        row.eventClass = problems.keep(csvEventClass(field(*record, Column::EventClass)), line);
        if (has(Column::Class0))
            problems.check(csvInClass0(field(*record, Column::Class0)), line);
        if (const QString deadband = field(*record, Column::Deadband); !deadband.trimmed().isEmpty())
            row.deadband = problems.keep(deadbandTenths(deadband), line);
        listed.rows.push_back(row);
    }
    return listed;
}

// --- Device Profile document ---

// Per point type the element of a point and the names of its children that the reading uses.
struct PointElement {
    PointType type;
    const char* point;
    const char* eventClass;
    const char* inClass0;
};

constexpr PointElement kPointElements[] = {
    {PointType::Bin, "binaryInput", "changeEventClass", "includedInClass0Response"},
    {PointType::Bout, "binaryOutput", "changeEventClass", "includedInClass0Response"},
    {PointType::Ain, "analogInput", "changeEventClass", "includedInClass0Response"},
    {PointType::Aout, "analogOutput", "changeEventClass", "includedInClass0Response"},
    {PointType::Counters, "counter", "counterEventClass", "countersIncludedInClass0"},
};

// A whole number of minimum events or notification delay.
Result<int> eventsByte(UnsolicitedSetting setting, const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0 || value > kMaxEventsByte)
        return failure(QStringLiteral("the %1 %2 is not a whole number from 0 to %3")
                           .arg(QLatin1String(kUnsolicitedSettings[static_cast<int>(setting)].words), quotedField(text))
                           .arg(kMaxEventsByte));
    return value;
}

Result<int> settingValue(UnsolicitedSetting setting, const QString& text)
{
    if (setting != UnsolicitedSetting::Deadband)
        return eventsByte(setting, text);
    const Result<std::uint16_t> tenths = deadbandTenths(text);
    if (!tenths)
        return tenths.error();
    return int(*tenths);
}

Result<int> extensionEventClass(QStringView text)
{
    for (int cls = 1; cls <= kEventClassCount; ++cls)
        if (text.trimmed() == QString::number(cls))
            return cls;
    return failure(QStringLiteral("the <%1> %2 %3 is not 1, 2 or 3")
                       .arg(kProfileExtensionClass, kProfileExtensionClassNumber, quotedField(text.toString())));
}

const QString kProfileInClass0 = QStringLiteral("always");
const QString kProfileDocument = QStringLiteral("DNP3DeviceProfileDocument");
const QString kPointsList = QStringLiteral("dataPointsList");

const PointElement* pointElement(QStringView name)
{
    for (const PointElement& e : kPointElements)
        if (name == QLatin1String(e.point))
            return &e;
    return nullptr;
}

Result<int> profileEventClass(const QString& text)
{
    if (text.trimmed().isEmpty())
        return failure(QStringLiteral("the point has no event class"));
    for (int cls = 0; cls <= kEventClassCount; ++cls)
        if (text.trimmed() == QLatin1String(kProfileEventClassNames[static_cast<std::size_t>(cls)]))
            return cls;
    return failure(QStringLiteral("the event class %1 is not none, one, two or three").arg(quotedField(text)));
}

class ProfileReader {
public:
    explicit ProfileReader(QByteArrayView bytes) : xml_(bytes.toByteArray()) {}

    Result<ListedRows> read()
    {
        if (!xml_.readNextStartElement())
            return notWellFormed();
        const int documentLine = line();
        if (xml_.name() != kProfileDocument)
            return failure(QStringLiteral("this is not a point list: the document is a <%1>, not a <%2>")
                               .arg(xml_.name().left(kQuotedNameMax).toString(), kProfileDocument),
                           documentLine);
        bool hasPointsList = false;
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement() && xml_.name() == kPointsList) {
                hasPointsList = true;
                readDataPointsList();
            } else if (isExtension(kProfileExtensionSettings)) {
                readUnsolicitedSettings();
            }
        }
        if (xml_.hasError())
            return notWellFormed();
        if (!hasPointsList)
            return failure(QStringLiteral("this is not a point list: the document has no <%1>").arg(kPointsList),
                           documentLine);
        return std::move(listed_);
    }

private:
    int line() const { return static_cast<int>(xml_.lineNumber()); }

    Error notWellFormed() const
    {
        return failure(QStringLiteral("the document is not well-formed XML: %1").arg(xml_.errorString()), line());
    }

    // dataPointsList: a group per type (binaryInputPoints ...), each with its dataPoints.
    void readDataPointsList()
    {
        while (xml_.readNextStartElement()) {
            while (xml_.readNextStartElement()) {
                if (xml_.name() != QLatin1String("dataPoints")) {
                    xml_.skipCurrentElement();
                    continue;
                }
                while (xml_.readNextStartElement())
                    readPoint();
            }
        }
    }

    bool isExtension(const QString& name) const
    {
        return xml_.isStartElement() && xml_.namespaceUri() == kProfileExtensionNamespace && xml_.name() == name;
    }

    // The tool's own elements: per event class the settings it gives; others passed over.
    void readUnsolicitedSettings()
    {
        LineProblems& problems = listed_.problems;
        while (xml_.readNextStartElement()) {
            if (!isExtension(kProfileExtensionClass)) {
                xml_.skipCurrentElement();
                continue;
            }
            const std::optional<int> cls = problems.keep(
                extensionEventClass(xml_.attributes().value(kProfileExtensionClassNumber)), line());
            while (xml_.readNextStartElement()) {
                const auto named = std::find_if(
                    std::begin(kUnsolicitedSettings), std::end(kUnsolicitedSettings),
                    [this](const UnsolicitedSettingNames& s) { return isExtension(QLatin1String(s.element)); });
                if (!cls || named == std::end(kUnsolicitedSettings)) {
                    xml_.skipCurrentElement();
                    continue;
                }
                const int line = this->line();
                const std::optional<int> value = problems.keep(settingValue(named->setting, xml_.readElementText()), line);
                std::optional<GivenSetting>& given = listed_.given[*cls][named - std::begin(kUnsolicitedSettings)];
                if (given)
                    problems.add(line, QStringLiteral("the %1 of Class %2 is given twice (first on line %3)")
                                           .arg(QLatin1String(named->words))
                                           .arg(*cls)
                                           .arg(given->line));
                else if (value)
                    given = GivenSetting{*value, line};
            }
        }
    }

    void readPoint()
    {
        const int line = this->line();
        const QString elementName = xml_.name().toString();
        LineProblems& problems = listed_.problems;
        const PointElement* element = pointElement(elementName);
        if (!element) {
            problems.add(line, QStringLiteral("unknown point type %1").arg(quotedField(elementName)));
            xml_.skipCurrentElement();
            return;
        }
        std::optional<QString> index, name, eventClass, inClass0;
        while (xml_.readNextStartElement()) {
            const QStringView child = xml_.name();
            if (child == QLatin1String("index"))
                index = xml_.readElementText();
            else if (child == QLatin1String("name"))
                name = xml_.readElementText();
            else if (child == QLatin1String(element->eventClass))
                eventClass = xml_.readElementText();
            else if (child == QLatin1String(element->inClass0))
                inClass0 = xml_.readElementText();
            else
                xml_.skipCurrentElement();
        }
        ListedRow row;
        row.line = line;
        row.type = element->type;
        row.number = problems.keep(pointNumber(index.value_or(QString())), line);
        row.name = name.value_or(QString());
        row.eventClass = problems.keep(profileEventClass(eventClass.value_or(QString())), line);
        if (inClass0 && inClass0->trimmed() != kProfileInClass0)
            problems.add(line, QStringLiteral("the <%1> %2 is not 'always': every point of a list is in Class 0 "
                                              "(delete the element to leave the point out)")
                                   .arg(QLatin1String(element->inClass0), quotedField(*inClass0)));
        listed_.rows.push_back(row);
    }

    QXmlStreamReader xml_;
    ListedRows listed_;
};

// --- what the rows mean ---

// A word of a catalogue point: which point, and which of its words (from 1).
struct NamedWord {
    int typeIndex;
    int word;
};

// Per type, each point's short name to its TypeIndex.
const std::array<QHash<QString, int>, kPointTypeCount>& pointsByName()
{
    static const auto names = [] {
        std::array<QHash<QString, int>, kPointTypeCount> table;
        for (PointType type : kAllPointTypes)
            for (const CatalogPoint& p : PointCatalog::instance().points(type))
                table[typeNumber(type)].insert(p.shortName, p.typeIndex);
        return table;
    }();
    return names;
}

// The point and word a listed name means: a point's short name, with " (word k of m)"
// after it when the point has m words.
Result<NamedWord> namedWord(PointType type, const QString& name)
{
    const PointCatalog& catalog = PointCatalog::instance();
    const QHash<QString, int>& names = pointsByName()[typeNumber(type)];
    if (name.isEmpty())
        return failure(QStringLiteral("the point has no name"));
    if (const auto found = names.find(name); found != names.end()) {
        const int words = catalog.point(type, *found).wordCount;
        if (words == 1)
            return NamedWord{*found, 1};
        return failure(QStringLiteral("'%1' has %2: list it once per word, as '%1 (word 1 of %3)' and so on")
                           .arg(name, wordsText(words))
                           .arg(words));
    }
    static const QRegularExpression wordSuffix(QStringLiteral("^(.*) \\(word (\\d+) of (\\d+)\\)$"));
    const QRegularExpressionMatch match = wordSuffix.match(name);
    const QString pointName = match.hasMatch() ? match.captured(1) : QString();
    const auto found = names.find(pointName);
    if (found == names.end())
        return failure(QStringLiteral("there is no %1 named %2").arg(pointListTypeName(type), quotedField(name)));
    const int words = catalog.point(type, *found).wordCount;
    const int word = match.captured(2).toInt();
    if (words == 1 || match.captured(3).toInt() != words || word < 1 || word > words)
        return failure(QStringLiteral("%1 names no word of '%2', a point of %3")
                           .arg(quotedField(name), pointName, wordsText(words)));
    return NamedWord{*found, word};
}

// A listed point: its rows by word, nullptr for a word not listed.
struct ListedPoint {
    PointType type;
    int typeIndex;
    int firstLine;  // of the first of its rows in the list
    std::vector<const ListedRow*> words;

    const ListedRow* first() const { return words.front(); }
    bool complete() const { return std::find(words.begin(), words.end(), nullptr) == words.end(); }
};

// The highest DNP point number a type can have: every word of every point of it listed.
int highestPointNumber(PointType type)
{
    int words = 0;
    for (const CatalogPoint& p : PointCatalog::instance().points(type))
        words += p.wordCount;
    return words - 1;
}

QString wordName(PointType type, int typeIndex, int word)
{
    const CatalogPoint& p = PointCatalog::instance().point(type, typeIndex);
    return pointWordName(p.shortName, word, p.wordCount);
}

class ListInterpreter {
public:
    ListInterpreter(ListedRows listed, const ConfigFileData& base)
        : rows_(std::move(listed.rows)), given_(listed.given), problems_(std::move(listed.problems)), base_(base)
    {
    }

    // The configuration, or every problem found (the file named by `path`, when there is one).
    Result<ImportedPointList> interpret(const QString& path)
    {
        checkNumbering();
        collectPoints();
        checkWords();
        checkDeadbands();
        if (!problems_.empty())
            return problems_.error(path, kMaxListedProblems);
        return ImportedPointList{configuration(), notGivenWarning()};
    }

private:
    // Per type the numbers run 0, 1, 2, ... without a gap or a repeat; a number no list
    // of the type can reach is told as such, not as a gap below it.
    void checkNumbering()
    {
        for (PointType type : kAllPointTypes) {
            std::vector<std::pair<int, int>> numbers;  // number, line
            for (const ListedRow& row : rows_)
                if (row.type == type && row.number)
                    numbers.push_back({*row.number, row.line});
            std::sort(numbers.begin(), numbers.end());
            const QString typeName = pointListTypeName(type);
            const int highest = highestPointNumber(type);
            // n rows of a type are numbered 0 to n - 1.
            const int last = std::min(static_cast<int>(numbers.size()) - 1, highest);
            int expected = 0;
            for (std::size_t k = 0; k < numbers.size(); ++k) {
                const auto [number, line] = numbers[k];
                if (number > highest) {
                    problems_.add(line,
                                  QStringLiteral("%1 %2 does not exist: the last is %3").arg(typeName).arg(number).arg(last));
                    continue;
                }
                if (k > 0 && number == numbers[k - 1].first) {
                    problems_.add(line, QStringLiteral("%1 number %2 is already used on line %3")
                                            .arg(typeName).arg(number).arg(numbers[k - 1].second));
                    continue;
                }
                if (number == expected + 1)
                    problems_.add(line, QStringLiteral("%1 number %2 is missing").arg(typeName).arg(expected));
                else if (number > expected)
                    problems_.add(line, QStringLiteral("%1 numbers %2 to %3 are missing")
                                            .arg(typeName).arg(expected).arg(number - 1));
                expected = number + 1;
            }
        }
    }

    // Every row that names a word of a catalogue point, gathered by point.
    void collectPoints()
    {
        const PointCatalog& catalog = PointCatalog::instance();
        for (const ListedRow& row : rows_) {
            if (!row.type)
                continue;
            const std::optional<NamedWord> named = problems_.keep(namedWord(*row.type, row.name), row.line);
            if (!named)
                continue;
            const auto key = std::make_pair(typeNumber(*row.type), named->typeIndex);
            auto point = points_.find(key);
            if (point == points_.end()) {
                const int words = catalog.point(*row.type, named->typeIndex).wordCount;
                point = points_.insert({key, ListedPoint{*row.type, named->typeIndex, row.line, {}}}).first;
                point->second.words.assign(static_cast<std::size_t>(words), nullptr);
            }
            const ListedRow*& slot = point->second.words[named->word - 1];
            if (slot) {
                problems_.add(row.line,
                              QStringLiteral("'%1' is listed twice (first on line %2)").arg(row.name).arg(slot->line));
                continue;
            }
            slot = &row;
        }
    }

    // The words of a point: all listed, numbered one after the other in word order, in one event class.
    void checkWords()
    {
        for (const auto& [key, point] : points_) {
            if (!point.complete()) {
                for (std::size_t k = 0; k < point.words.size(); ++k)
                    if (!point.words[k])
                        problems_.add(point.firstLine, QStringLiteral("'%1' is missing")
                                                             .arg(wordName(point.type, point.typeIndex, int(k) + 1)));
                continue;
            }
            const ListedRow& first = *point.first();
            for (std::size_t k = 1; k < point.words.size(); ++k) {
                const ListedRow& row = *point.words[k];
                const int expected = first.number ? *first.number + int(k) : -1;
                if (row.number && first.number && *row.number != expected)
                    problems_.add(row.line, QStringLiteral("'%1' is numbered %2 but must be %3: the words of a point "
                                                           "take consecutive numbers in word order")
                                                .arg(row.name)
                                                .arg(*row.number)
                                                .arg(expected));
                if (row.eventClass && first.eventClass && *row.eventClass != *first.eventClass)
                    problems_.add(row.line, QStringLiteral("'%1' is in event class %2 but its word 1 is in %3: the "
                                                           "words of a point share one event class")
                                                .arg(row.name)
                                                .arg(*row.eventClass)
                                                .arg(*first.eventClass));
            }
        }
    }

    // Only an analog input in an event class has a dead band, and the rows of a class agree.
    void checkDeadbands()
    {
        for (const ListedRow& row : rows_) {
            if (!row.deadband || !row.type || !row.eventClass)
                continue;
            const int cls = *row.eventClass;
            if (*row.type != PointType::Ain || cls == 0) {
                problems_.add(row.line, QStringLiteral("only an analog input in an event class has a dead band: leave "
                                                       "the field empty"));
                continue;
            }
            std::optional<GivenSetting>& given = given_[cls][static_cast<int>(UnsolicitedSetting::Deadband)];
            if (!given)
                given = GivenSetting{*row.deadband, row.line};
            else if (given->value != *row.deadband)
                problems_.add(row.line, QStringLiteral("the dead band %1 differs from the dead band %2 of Class %3 on "
                                                       "line %4: the analog inputs of a class share one dead band")
                                            .arg(unsolicitedSettingText(UnsolicitedSetting::Deadband, *row.deadband),
                                                 unsolicitedSettingText(UnsolicitedSetting::Deadband, given->value))
                                            .arg(cls)
                                            .arg(given->line));
        }
    }

    // The points of a type in Class 0 order: those whose word 1 has its number.
    std::vector<const ListedPoint*> class0Order(PointType type) const
    {
        std::vector<const ListedPoint*> order;
        for (const auto& [key, point] : points_)
            if (point.type == type && point.first() && point.first()->number)
                order.push_back(&point);
        std::stable_sort(order.begin(), order.end(), [](const ListedPoint* a, const ListedPoint* b) {
            return *a->first()->number < *b->first()->number;
        });
        return order;
    }

    ConfigFileData configuration() const
    {
        ConfigState state;
        state.UnsolicitedSettings = base_.UnsolicitedSettings;
        for (int cls = 1; cls <= kEventClassCount; ++cls)
            for (const UnsolicitedSettingNames& s : kUnsolicitedSettings)
                if (const std::optional<GivenSetting>& given = given_[cls][static_cast<int>(s.setting)])
                    setUnsolicitedSetting(state.UnsolicitedSettings, cls, s.setting, given->value);
        for (PointType type : kAllPointTypes) {
            std::vector<int> sequence;
            for (const ListedPoint* point : class0Order(type)) {
                state.setSelected(0, type, point->typeIndex, true);
                if (const int cls = *point->first()->eventClass; cls > 0)
                    state.setSelected(cls, type, point->typeIndex, true);
                sequence.push_back(point->typeIndex);
            }
            state.setClass0Sequence(type, sequence);
        }
        return configFileDataOf(state);
    }

    // The settings the list does not give, with the values the base gave them.
    QString notGivenWarning() const
    {
        QStringList classes;
        for (int cls = 1; cls <= kEventClassCount; ++cls) {
            QStringList kept;
            for (const UnsolicitedSettingNames& s : kUnsolicitedSettings)
                if (!given_[cls][static_cast<int>(s.setting)])
                    kept << QStringLiteral("%1 %2%3").arg(
                        QLatin1String(s.words),
                        unsolicitedSettingText(s.setting, unsolicitedSetting(base_.UnsolicitedSettings, cls, s.setting)),
                        QLatin1String(s.unit));
            if (!kept.empty())
                classes << QStringLiteral("Class %1: %2").arg(cls).arg(kept.join(QStringLiteral(", ")));
        }
        if (classes.empty())
            return {};
        return QStringLiteral("The point list does not give these unsolicited settings, so they keep the values of the "
                              "configuration it was read into (the defaults for a new one): %1.")
            .arg(classes.join(QStringLiteral("; ")));
    }

    const std::vector<ListedRow> rows_;
    GivenSettings given_;  // a CSV list's dead bands added as its rows are checked
    LineProblems problems_;
    const ConfigFileData& base_;
    std::map<std::pair<int, int>, ListedPoint> points_;  // by type number and TypeIndex
};

Result<ListedRows> readRows(QByteArrayView bytes, PointListFormat format)
{
    if (bytes.size() > kMaxPointListBytes)
        return failure(
            QStringLiteral("the file is too large to be a point list (more than %1 bytes)").arg(kMaxPointListBytes));
    if (withoutByteOrderMark(bytes).trimmed().isEmpty())
        return emptyList();
    if (format == PointListFormat::Csv)
        return readCsvRows(bytes);
    return ProfileReader(bytes).read();
}

Result<ImportedPointList> readPointList(QByteArrayView bytes, PointListFormat format, const ConfigFileData& base,
                                     const QString& path)
{
    Result<ListedRows> rows = readRows(bytes, format);
    if (!rows) {
        LineProblems problem;
        problem.add(rows.error().line(), rows.error().message);
        return problem.error(path, kMaxListedProblems);
    }
    return ListInterpreter(std::move(rows).value(), base).interpret(path);
}

}  // namespace

Result<ImportedPointList> importPointList(QByteArrayView bytes, PointListFormat format, const ConfigFileData& base)
{
    return readPointList(bytes, format, base, QString());
}

Result<ImportedPointList> loadPointList(const QString& path, PointListFormat format, const ConfigFileData& base)
{
    const Result<QByteArray> bytes = readInputFile(path, kMaxPointListBytes, QStringLiteral("a point list"));
    if (!bytes)
        return bytes.error();
    return readPointList(*bytes, format, base, path);
}

}  // namespace dnp
