#include "files/PointListImport.h"

#include "comm/ConfigImage.h"
#include "files/FileTestHelpers.h"
#include "model/WordBudget.h"

#include <QTemporaryDir>
#include <cctype>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

const DeviceProfileHeader kHeader{QStringLiteral("import.dnp"), QStringLiteral("Feeder 4"), fixedNow(),
                                  QStringLiteral("Individual Mapping (per this document)")};
const QByteArray kCsvHeader = "type,index,name,description,event_class,class0,deadband_percent\r\n";

ConfigState stateOf(const ConfigFileData& data)
{
    ConfigState state;
    applyConfigFileData(state, data);
    return state;
}

// A point chosen in a class (or not), in the selections alone.
void choose(ConfigState& state, int cls, PointType type, int typeIndex, bool on)
{
    state.ClassSelection[cls][selectionIndexOf(type, typeIndex)] = on ? 1 : 0;
}

ConfigFileData dataOf(const ConfigState& state)
{
    return ConfigFileData{state.ClassSelection, state.Class0Order, state.UnsolicitedSettings};
}

ImportedPointList imported(const QByteArray& bytes, PointListFormat format, const ConfigFileData& base = {})
{
    const Result<ImportedPointList> data = importPointList(bytes, format, base);
    if (!data) {
        ADD_FAILURE() << data.error().message.toStdString();
        return {};
    }
    return *data;
}

ConfigFileData importOk(const QByteArray& bytes, PointListFormat format, const ConfigFileData& base = {})
{
    return imported(bytes, format, base).data;
}

Error importFails(const QByteArray& bytes, PointListFormat format)
{
    const Result<ImportedPointList> data = importPointList(bytes, format, {});
    if (data) {
        ADD_FAILURE() << "the list was taken";
        return {};
    }
    return data.error();
}

void expectSameConfiguration(const ConfigFileData& actual, const ConfigFileData& expected)
{
    EXPECT_EQ(actual.ClassSelection, expected.ClassSelection);
    EXPECT_EQ(actual.Class0Order, expected.Class0Order);
    EXPECT_EQ(actual.UnsolicitedSettings, expected.UnsolicitedSettings);
}

// A configuration as the editor makes them: Class 0 points of every type in a random
// order, each in at most one event class, within the image's 240 words.
ConfigState generatedConfiguration(std::mt19937& random)
{
    std::vector<std::pair<PointType, int>> candidates;
    for (PointType type : kAllPointTypes)
        for (int i = 0; i < pointCount(type); ++i)
            candidates.push_back({type, i});
    std::shuffle(candidates.begin(), candidates.end(), random);
    const int budget = std::uniform_int_distribution<int>(0, kMaxListWords)(random);
    const int keepOneIn = std::uniform_int_distribution<int>(1, 4)(random);

    ConfigState state;
    std::array<std::vector<int>, kPointTypeCount> orders;
    int words = 0;
    for (const auto& [type, typeIndex] : candidates) {
        if (random() % keepOneIn != 0 || words + imageWordsOf(type, typeIndex) > budget)
            continue;
        words += imageWordsOf(type, typeIndex);
        orders[typeNumber(type)].push_back(typeIndex);
    }
    for (PointType type : kAllPointTypes) {
        setClass0(state, type, orders[typeNumber(type)]);
        for (int typeIndex : orders[typeNumber(type)])
            if (const int cls = static_cast<int>(random() % 4); cls > 0)
                choose(state, cls, type, typeIndex, true);
    }
    for (int cls = 1; cls <= 3; ++cls) {
        state.UnsolicitedSettings[deadbandWordIndex(cls)] = static_cast<std::uint16_t>(random() % (kMaxDeadband + 1));
        state.UnsolicitedSettings[eventsWordIndex(cls)] = static_cast<std::uint16_t>(random());
    }
    return state;
}

// --- round trip ---

constexpr int kGeneratedConfigurations = 300;

TEST(PointListImportRoundTrip, CsvOfGeneratedConfigurationsReadsBackToTheSameList)
{
    std::mt19937 random(20240305);
    for (int n = 0; n < kGeneratedConfigurations; ++n) {
        const ConfigState original = generatedConfiguration(random);
        const QByteArray csv = pointListCsv(pointList(original));
        const ConfigFileData imported = importOk(csv, PointListFormat::Csv, dataOf(original));
        ASSERT_EQ(pointListCsv(pointList(stateOf(imported))), csv) << "configuration " << n;
        expectSameConfiguration(imported, dataOf(original));
    }
}

// The document carries the unsolicited settings too: read over the defaults, the same configuration.
TEST(PointListImportRoundTrip, DeviceProfileOfGeneratedConfigurationsReadsBackToTheSameConfiguration)
{
    std::mt19937 random(7);
    for (int n = 0; n < kGeneratedConfigurations; ++n) {
        const ConfigState original = generatedConfiguration(random);
        const PointList list = pointList(original);
        const QByteArray xml = *pointListXml(list, kHeader);
        const ConfigFileData imported = importOk(xml, PointListFormat::Xml);
        const PointList back = pointList(stateOf(imported));
        ASSERT_EQ(pointListCsv(back), pointListCsv(list)) << "configuration " << n;
        ASSERT_EQ(*pointListXml(back, kHeader), xml) << "configuration " << n;
        expectSameConfiguration(imported, dataOf(original));
    }
}

TEST(PointListImportRoundTrip, AListWithoutPointsIsTheEmptyConfiguration)
{
    const ConfigState empty;
    expectSameConfiguration(importOk(kCsvHeader, PointListFormat::Csv), dataOf(empty));
    expectSameConfiguration(importOk(*pointListXml(pointList(empty), kHeader), PointListFormat::Xml), dataOf(empty));
}

// --- edited lists ---

TEST(PointListImportEdits, SwappedNumbersReorderAndAChangedClassMovesThePoint)
{
    QByteArray csv = pointListCsv(pointList(richConfiguration()));
    // Binary inputs 0 and 2 trade their numbers where they stand; Vld goes from Class 2 to 1.
    csv.replace("Binary Input,0,Auto Inhibit Terminal Block Input,", "Binary Input,2,Auto Inhibit Terminal Block Input,");
    csv.replace("Binary Input,2,Remote Control,", "Binary Input,0,Remote Control,");
    csv.replace("Meter: Inst: Vld,Load Voltage (Secondary) (Volts),2,yes,100",
                "Meter: Inst: Vld,Load Voltage (Secondary) (Volts),1,yes,100");

    ConfigState expected = richConfiguration();
    setClass0(expected, PointType::Bin, {5, 2, 9});
    choose(expected, 2, PointType::Ain, 0, false);
    choose(expected, 1, PointType::Ain, 0, true);
    expected.UnsolicitedSettings = {1000, 256, 1000, 256, 0, 256};

    const ConfigFileData data = importOk(csv, PointListFormat::Csv);
    expectSameConfiguration(data, dataOf(expected));
    EXPECT_EQ(stateOf(data).class0Sequence(PointType::Bin), (std::vector<int>{5, 2, 9}));
}

TEST(PointListImportEdits, ADeletedRowWithTheNumbersClosedUpLeavesThePointOut)
{
    QByteArray csv = pointListCsv(pointList(richConfiguration()));
    csv.replace("Binary Output,0,Active Auto Inhibit,Active Auto Inhibit (Command),0,yes,\r\n", "");
    csv.replace("Binary Output,1,Tap Lower,", "Binary Output,0,Tap Lower,");

    ConfigState expected = richConfiguration();
    choose(expected, 0, PointType::Bout, 3, false);
    expected.Class0Order[typeNumber(PointType::Bout)] = {-1, 1, -1, -1};
    expectSameConfiguration(importOk(csv, PointListFormat::Csv, dataOf(richConfiguration())), dataOf(expected));
}

// --- what spreadsheets write ---

QByteArray quotedField(const QString& field)
{
    QString text = field;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + text.toUtf8() + '"';
}

// The rich configuration's list as a spreadsheet saves it: a byte-order mark, every
// field quoted, the columns in another order with one of its own, a note with a comma,
// a quote and a line break, a blank row, and an empty line at the end.
QByteArray spreadsheetCsv(const QByteArray& lineEnd)
{
    QByteArray csv = "\xEF\xBB\xBF\"Name\",\"event_class\",\"Notes\",\"TYPE\",\"deadband_percent\",\"description\","
                     "\"index\",\"class0\"" + lineEnd;
    for (const PointListEntry& e : pointList(richConfiguration()).entries) {
        const QStringList fields = {e.name,
                                    QString::number(e.eventClass),
                                    QStringLiteral("checked, \"ok\"") + QString::fromUtf8(lineEnd) + QStringLiteral("by J."),
                                    pointListTypeName(e.type),
                                    e.deadband ? QString::number(*e.deadband / 10.0) : QString(),
                                    e.description,
                                    QString::number(e.number),
                                    QStringLiteral("Yes")};
        QByteArrayList quoted;
        for (const QString& f : fields)
            quoted << quotedField(f);
        csv += quoted.join(',') + lineEnd;
        if (e.number == 0 && e.type == PointType::Ain)
            csv += ",,,,,,," + lineEnd;
    }
    return csv + lineEnd;
}

TEST(PointListImportSpreadsheet, QuotedReorderedColumnsWithAByteOrderMarkAndEitherLineEnd)
{
    const ConfigFileData rich = dataOf(richConfiguration());
    for (const QByteArray& lineEnd : {QByteArray("\r\n"), QByteArray("\n")}) {
        SCOPED_TRACE(lineEnd.size());
        expectSameConfiguration(importOk(spreadsheetCsv(lineEnd), PointListFormat::Csv, rich), rich);
    }
}

TEST(PointListImportSpreadsheet, LinesCountTheLineBreaksInsideQuotedFields)
{
    // Row 2 takes lines 2 and 3; the row after it is line 4.
    const QByteArray csv = kCsvHeader + "Binary Input,0,Tap Position Known,\"first\r\nsecond\",0,yes,\r\n"
                                        "Binary Input,1,Tap Raise,,0,yes,\r\n";
    const Error error = importFails(csv, PointListFormat::Csv);
    EXPECT_EQ(error.message, "line 4: there is no Binary Input named 'Tap Raise'");
    EXPECT_EQ(error.line(), 4);
}

TEST(PointListImportSpreadsheet, WithoutTheOptionalColumnsTheDeadBandsComeFromTheBase)
{
    const QByteArray csv = "index,name,type,event_class\n"
                           "0,Meter: Inst: Vs,Analog Input,3\n";
    ConfigState expected;
    setClass0(expected, PointType::Ain, {1});
    choose(expected, 3, PointType::Ain, 1, true);
    expectSameConfiguration(importOk(csv, PointListFormat::Csv), dataOf(expected));
}

// --- refusals ---

QByteArray csvRows(const QByteArray& rows)
{
    return kCsvHeader + rows;
}

// A document with one point group whose dataPoints hold the given elements, one per
// line from line 5 on, and then `after` (on the line after the last point's).
QByteArray profileDocument(const QByteArrayList& points, const QByteArray& after = {})
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<DNP3DeviceProfileDocument xmlns=\"http://www.dnp.org/DNP3/DeviceProfile\">\n"
                     "<referenceDevice><dataPointsList>\n"
                     "<binaryInputPoints><dataPoints>\n";
    for (const QByteArray& p : points)
        xml += p + "\n";
    return xml + "</dataPoints></binaryInputPoints>\n</dataPointsList></referenceDevice>\n" + after +
           "</DNP3DeviceProfileDocument>\n";
}

QByteArray binaryInput(const char* index, const char* name, const char* eventClass = "none",
                       const char* inClass0 = "always")
{
    return QByteArray("<binaryInput><index>") + index + "</index><name>" + name + "</name><changeEventClass>" +
           eventClass + "</changeEventClass><includedInClass0Response>" + inClass0 +
           "</includedInClass0Response></binaryInput>";
}

// One point in a document, then on line 8 the tool's elements giving `settings` of a class.
QByteArray documentWithSettings(const QByteArray& number, const QByteArray& settings)
{
    return profileDocument({binaryInput("0", "Tap Position Known")},
                           "<cfg:unsolicitedResponses xmlns:cfg=\"urn:dnp-configure:profile-extensions:1\">"
                           "<cfg:eventClass number=\"" + number + "\">" + settings +
                               "</cfg:eventClass></cfg:unsolicitedResponses>\n");
}

struct Refusal {
    const char* what;
    PointListFormat format;
    QByteArray bytes;
    const char* message;
    int line;
};

void PrintTo(const Refusal& refusal, std::ostream* os)
{
    *os << refusal.what;
}

constexpr PointListFormat kCsv = PointListFormat::Csv;
constexpr PointListFormat kXml = PointListFormat::Xml;
const QByteArray kCounterWord1 = "Counter,0,KWatt-hr (Forward) -- 32bit (word 1 of 2),,";
const QByteArray kCounterWord2 = "Counter,1,KWatt-hr (Forward) -- 32bit (word 2 of 2),,";

const Refusal kRefusals[] = {
    {"unknown type", kCsv, csvRows("Binary Inptu,0,Tap Position Known,,0,yes,\r\n"),
     "line 2: unknown point type 'Binary Inptu'", 2},
    {"unknown name", kCsv, csvRows("Binary Input,0,Tap Position Knwon,,0,yes,\r\n"),
     "line 2: there is no Binary Input named 'Tap Position Knwon'", 2},
    {"a long name cut", kCsv, csvRows("Binary Input,0,\t" + QByteArray(100, 'x') + ",,0,yes,\r\n"),
     "line 2: there is no Binary Input named '?xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'",
     2},
    {"no type", kCsv, csvRows(",0,Tap Position Known,,0,yes,\r\n"), "line 2: the point has no type", 2},
    {"no name", kCsv, csvRows("Binary Input,0,,,0,yes,\r\n"), "line 2: the point has no name", 2},
    {"number used twice", kCsv,
     csvRows("Binary Input,0,Tap Position Known,,0,yes,\r\nBinary Input,0,Auto Inhibit Status,,0,yes,\r\n"),
     "line 3: Binary Input number 0 is already used on line 2", 3},
    {"a gap", kCsv, csvRows("Binary Input,0,Tap Position Known,,0,yes,\r\nBinary Input,2,Auto Inhibit Status,,0,yes,\r\n"),
     "line 3: Binary Input number 1 is missing", 3},
    {"not from 0", kCsv, csvRows("Binary Input,3,Tap Position Known,,0,yes,\r\n"),
     "line 2: Binary Input numbers 0 to 2 are missing", 2},
    {"no number", kCsv, csvRows("Binary Input,,Tap Position Known,,0,yes,\r\n"),
     "line 2: the point has no DNP point number", 2},
    {"negative number", kCsv, csvRows("Binary Input,-1,Tap Position Known,,0,yes,\r\n"),
     "line 2: the DNP point number '-1' is not a whole number from 0 up", 2},
    {"point twice", kCsv,
     csvRows("Binary Input,0,Tap Position Known,,0,yes,\r\nBinary Input,1,Tap Position Known,,0,yes,\r\n"),
     "line 3: 'Tap Position Known' is listed twice (first on line 2)", 3},
    {"missing word", kCsv, csvRows(kCounterWord1 + "0,yes,\r\n"),
     "line 2: 'KWatt-hr (Forward) -- 32bit (word 2 of 2)' is missing", 2},
    {"words in the wrong order", kCsv,
     csvRows("Counter,0,KWatt-hr (Forward) -- 32bit (word 2 of 2),,0,yes,\r\n"
             "Counter,1,KWatt-hr (Forward) -- 32bit (word 1 of 2),,0,yes,\r\n"),
     "line 2: 'KWatt-hr (Forward) -- 32bit (word 2 of 2)' is numbered 0 but must be 2: the words of a point take "
     "consecutive numbers in word order",
     2},
    {"a multi-word point listed once", kCsv, csvRows("Counter,0,KWatt-hr (Forward) -- 32bit,,0,yes,\r\n"),
     "line 2: 'KWatt-hr (Forward) -- 32bit' has 2 words: list it once per word, as 'KWatt-hr (Forward) -- 32bit (word 1 "
     "of 2)' and so on",
     2},
    {"a word the point does not have", kCsv, csvRows("Counter,0,KWatt-hr (Forward) -- 32bit (word 1 of 3),,0,yes,\r\n"),
     "line 2: 'KWatt-hr (Forward) -- 32bit (word 1 of 3)' names no word of 'KWatt-hr (Forward) -- 32bit', a point of 2 "
     "words",
     2},
    {"a word of a single-word point", kCsv, csvRows("Binary Input,0,Tap Position Known (word 1 of 1),,0,yes,\r\n"),
     "line 2: 'Tap Position Known (word 1 of 1)' names no word of 'Tap Position Known', a point of 1 word", 2},
    {"event class 4", kCsv, csvRows("Binary Input,0,Tap Position Known,,4,yes,\r\n"),
     "line 2: the event class '4' is not 0, 1, 2 or 3", 2},
    {"no event class", kCsv, csvRows("Binary Input,0,Tap Position Known,,,yes,\r\n"),
     "line 2: the point has no event class", 2},
    {"words in two classes", kCsv, csvRows(kCounterWord1 + "1,yes,\r\n" + kCounterWord2 + "2,yes,\r\n"),
     "line 3: 'KWatt-hr (Forward) -- 32bit (word 2 of 2)' is in event class 2 but its word 1 is in 1: the words of a "
     "point share one event class",
     3},
    {"dead bands of a class differ", kCsv,
     csvRows("Analog Input,0,Meter: Inst: Vld,,1,yes,2\r\nAnalog Input,1,Meter: Inst: Vs,,1,yes,2.5\r\n"),
     "line 3: the dead band 2.5 differs from the dead band 2 of Class 1 on line 2: the analog inputs of a class share "
     "one dead band",
     3},
    {"a dead band off an analog input", kCsv, csvRows("Binary Input,0,Tap Position Known,,1,yes,2\r\n"),
     "line 2: only an analog input in an event class has a dead band: leave the field empty", 2},
    {"a dead band outside an event class", kCsv, csvRows("Analog Input,0,Meter: Inst: Vld,,0,yes,2\r\n"),
     "line 2: only an analog input in an event class has a dead band: leave the field empty", 2},
    {"dead band above 100", kCsv, csvRows("Analog Input,0,Meter: Inst: Vld,,1,yes,100.1\r\n"),
     "line 2: the dead band '100.1' lies outside 0 to 100", 2},
    {"dead band finer than a tenth", kCsv, csvRows("Analog Input,0,Meter: Inst: Vld,,1,yes,2.55\r\n"),
     "line 2: the dead band '2.55' is finer than a tenth of a per cent", 2},
    {"dead band with a decimal comma", kCsv, csvRows("Analog Input,0,Meter: Inst: Vld,,1,yes,\"2,5\"\r\n"),
     "line 2: the dead band '2,5' is not a number", 2},
    {"not in Class 0", kCsv, csvRows("Binary Input,0,Tap Position Known,,0,no,\r\n"),
     "line 2: the class0 field 'no' is not 'yes': every point of a list is in Class 0 (delete the row to leave the "
     "point out)",
     2},
    {"a number beyond its type", kCsv,
     csvRows("Analog Input,0,Meter: Inst: Vld,,0,yes,\r\nAnalog Input,999,Meter: Inst: Vs,,0,yes,\r\n"
             "Analog Input,2,Meter: Inst: Ild,,0,yes,\r\n"),
     "line 3: Analog Input 999 does not exist: the last is 2\nline 4: Analog Input number 1 is missing", 3},
    {"several problems of a row and of the list", kCsv,
     csvRows("Binary Input,0,Tap Position Known,,7,yes,\r\nBinary Input,x,Tap Raise,,0,yes,\r\n"
             "Analog Input,1,Meter: Inst: Vs,,0,yes,\r\n"),
     "line 2: the event class '7' is not 0, 1, 2 or 3\n"
     "line 3: the DNP point number 'x' is not a whole number from 0 up\n"
     "line 3: there is no Binary Input named 'Tap Raise'\n"
     "line 4: Analog Input number 0 is missing",
     2},
    {"unclosed quote", kCsv, csvRows("Binary Input,0,Tap Position Known,\"first\r\nsecond,0,yes,\r\n"),
     "line 2: the quoted field that begins on this line is not closed", 2},
    {"text after a closing quote", kCsv, csvRows("Binary Input,0,Tap Position Known,\"first\" second,0,yes,\r\n"),
     "line 2: text follows the closing quote of a field", 2},
    {"a missing column", kCsv, "type,index,name,class0\r\nBinary Input,0,Tap Position Known,yes\r\n",
     "line 1: the header row has no column 'event_class' (it needs type, index, name, event_class)", 1},
    {"a column twice", kCsv, "type,index,name,event_class,Index\r\n", "line 1: the header row has the column 'index' twice",
     1},
    {"not a list", kCsv, "\r\nDear engineer,\r\nhere is the list.\r\n",
     "line 2: this is not a point list: its first row names none of the columns type, index, name, event_class", 2},
    {"binary", kCsv, QByteArray("type,index\r\n\x7F" "ELF\x02\x01\x01\x00\x00", 21),
     "line 2: this is not a point list: the file holds binary data", 2},
    {"empty", kCsv, "", "line 1: the file is empty, not a point list", 1},
    {"a mark and blank rows", kCsv, "\xEF\xBB\xBF\r\n,,,\r\n , ,\r\n", "line 1: the file is empty, not a point list", 1},

    {"unknown element", kXml, profileDocument({"<doubleBitInput><index>0</index></doubleBitInput>"}),
     "line 5: unknown point type 'doubleBitInput'", 5},
    {"a gap in a document", kXml,
     profileDocument({binaryInput("0", "Tap Position Known"), binaryInput("2", "Auto Inhibit Status")}),
     "line 6: Binary Input number 1 is missing", 6},
    {"no index", kXml,
     profileDocument({"<binaryInput><name>Tap Position Known</name><changeEventClass>none</changeEventClass>"
                      "</binaryInput>"}),
     "line 5: the point has no DNP point number", 5},
    {"no event class element", kXml,
     profileDocument({"<binaryInput><index>0</index><name>Tap Position Known</name></binaryInput>"}),
     "line 5: the point has no event class", 5},
    {"event class four", kXml, profileDocument({binaryInput("0", "Tap Position Known", "four")}),
     "line 5: the event class 'four' is not none, one, two or three", 5},
    {"never in Class 0", kXml, profileDocument({binaryInput("0", "Tap Position Known", "one", "never")}),
     "line 5: the <includedInClass0Response> 'never' is not 'always': every point of a list is in Class 0 (delete the "
     "element to leave the point out)",
     5},
    {"not a profile", kXml, "<?xml version=\"1.0\"?>\n<html><body/></html>\n",
     "line 2: this is not a point list: the document is a <html>, not a <DNP3DeviceProfileDocument>", 2},
    {"no point list", kXml,
     "<?xml version=\"1.0\"?>\n<DNP3DeviceProfileDocument>\n<documentHeader/>\n</DNP3DeviceProfileDocument>\n",
     "line 2: this is not a point list: the document has no <dataPointsList>", 2},
    {"cut short", kXml, profileDocument({binaryInput("0", "Tap Position Known")}).left(300),
     "line 5: the document is not well-formed XML: Premature end of document.", 5},
    {"an empty document", kXml, "  \n", "line 1: the file is empty, not a point list", 1},
    {"a mark and blanks in a document", kXml, "\xEF\xBB\xBF\r\n \t\r\n\n", "line 1: the file is empty, not a point list", 1},
    {"a dead band of the settings", kXml, documentWithSettings("1", "<cfg:deadbandPercent>2,5</cfg:deadbandPercent>"),
     "line 8: the dead band '2,5' is not a number", 8},
    {"minimum events above 255", kXml, documentWithSettings("3", "<cfg:minimumEvents>256</cfg:minimumEvents>"),
     "line 8: the minimum events '256' is not a whole number from 0 to 255", 8},
    {"settings of event class 4", kXml, documentWithSettings("4", "<cfg:minimumEvents>1</cfg:minimumEvents>"),
     "line 8: the <eventClass> number '4' is not 1, 2 or 3", 8},
    {"a setting given twice", kXml,
     documentWithSettings("2", "<cfg:minimumEvents>1</cfg:minimumEvents>\n<cfg:minimumEvents>2</cfg:minimumEvents>"),
     "line 9: the minimum events of Class 2 is given twice (first on line 8)", 9},
};

class PointListImportRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(PointListImportRefusal, NamesEachProblemWithItsLine)
{
    const Refusal& r = GetParam();
    const Error error = importFails(r.bytes, r.format);
    EXPECT_EQ(error.message, QString::fromUtf8(r.message));
    EXPECT_EQ(error.line(), r.line);
}

INSTANTIATE_TEST_SUITE_P(Table, PointListImportRefusal, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(PointListImportLimits, MoreThan240ImageWordsAreTakenAsTheEditorTakesThem)
{
    // Four binary outputs take 8 words, 233 analog inputs the other 233: one word over.
    const PointCatalog& catalog = PointCatalog::instance();
    QByteArray csv = kCsvHeader;
    for (int i = 0; i < pointCount(PointType::Bout); ++i)
        csv += "Binary Output," + QByteArray::number(i) + "," + catalog.point(PointType::Bout, i).shortName.toUtf8() +
               ",,0,yes,\r\n";
    int number = 0;
    for (const CatalogPoint& p : catalog.points(PointType::Ain))
        if (p.wordCount == 1 && number < 233)
            csv += "Analog Input," + QByteArray::number(number++) + "," + p.shortName.toUtf8() + ",,0,yes,\r\n";
    ConfigState state;
    applyConfigFileData(state, importOk(csv, PointListFormat::Csv));
    EXPECT_EQ(wordBudget(state).used, 241);
    // Exported, it reads back the same.
    expectSameConfiguration(importOk(pointListCsv(pointList(state)), PointListFormat::Csv), dataOf(state));
}

// Every word of a type listed is taken, numbered 0 to W - 1 (W the type's words); the
// number W is one past the last.
TEST(PointListImportLimits, EveryWordOfATypeIsTakenAndTheNumberAfterTheLastIsNot)
{
    for (PointType type : kAllPointTypes) {
        SCOPED_TRACE(pointTypeName(type).toStdString());
        ConfigState every;
        std::vector<int> points(static_cast<std::size_t>(pointCount(type)));
        std::iota(points.begin(), points.end(), 0);
        setClass0(every, type, points);
        PointList list = pointList(every);  // an entry per word, numbered 0 to W - 1
        const int words = static_cast<int>(list.entries.size());
        expectSameConfiguration(importOk(pointListCsv(list), PointListFormat::Csv), dataOf(every));
        list.entries.back().number = words;  // on line W + 1, after the header
        const QString refused = QStringLiteral("line %1: %2 %3 does not exist: the last is %4")
                                    .arg(words + 1).arg(pointListTypeName(type)).arg(words).arg(words - 1);
        EXPECT_TRUE(importFails(pointListCsv(list), PointListFormat::Csv).message.split('\n').contains(refused));
    }
}

TEST(PointListImportLimits, TwentyProblemsAtMostInLineOrder)
{
    QByteArray csv = kCsvHeader;
    for (int i = 0; i < 25; ++i)
        csv += "Binary Input," + QByteArray::number(i) + ",Tap Position Known,,9,yes,\r\n";
    const Error error = importFails(csv, PointListFormat::Csv);
    const QStringList lines = error.message.split('\n');
    ASSERT_EQ(lines.size(), kMaxListedProblems);
    EXPECT_EQ(lines[0], "line 2: the event class '9' is not 0, 1, 2 or 3");
    EXPECT_EQ(lines[1], "line 3: the event class '9' is not 0, 1, 2 or 3");
    EXPECT_EQ(lines[2], "line 3: 'Tap Position Known' is listed twice (first on line 2)");
    EXPECT_EQ(lines[18], "line 11: 'Tap Position Known' is listed twice (first on line 2)");
    EXPECT_EQ(lines[19], "line 12: the event class '9' is not 0, 1, 2 or 3");
    EXPECT_EQ(error.line(), 2);
}

TEST(PointListImportLimits, TooLargeToBeAList)
{
    const QByteArray bytes = kCsvHeader + QByteArray(kMaxPointListBytes, '\n');
    const Error error = importFails(bytes, PointListFormat::Csv);
    EXPECT_EQ(error.message, "the file is too large to be a point list (more than 4194304 bytes)");
    EXPECT_EQ(error.line(), 0);
}

// --- the unsolicited settings a list does not give ---

TEST(PointListImportSettings, WhatTheListDoesNotGiveIsKeptFromTheBaseAndNamed)
{
    const ConfigFileData base{{}, {}, {31, 0x0102, 32, 0x0304, 33, 0x0506}};
    const struct {
        QByteArray bytes;
        PointListFormat format;
        UnsolicitedWords words;
        QString kept;  // the settings the warning names
    } cases[] = {
        // Class 2 (Ain 0 and 363) and Class 3 (Ain 100) of the list have analog inputs, Class 1 none.
        {pointListCsv(pointList(richConfiguration())), kCsv, {31, 0x0102, 1000, 0x0304, 0, 0x0506},
         "Class 1: dead band 3.1 %, minimum events 1, notification delay 2; Class 2: minimum events 3, notification "
         "delay 4; Class 3: minimum events 5, notification delay 6"},
        {*pointListXml(pointList(richConfiguration()), kHeader), kXml, richConfiguration().UnsolicitedSettings, ""},
        // An element of another namespace is not the tool's.
        {documentWithSettings("2", "<cfg:deadbandPercent>0</cfg:deadbandPercent><x:minimumEvents xmlns:x=\"urn:x\">7"
                                   "</x:minimumEvents><cfg:notificationDelay>9</cfg:notificationDelay>"),
         kXml, {31, 0x0102, 0, 0x0309, 33, 0x0506},
         "Class 1: dead band 3.1 %, minimum events 1, notification delay 2; Class 2: minimum events 3; Class 3: dead "
         "band 3.3 %, minimum events 5, notification delay 6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept.toStdString());
        const auto [data, warning] = imported(c.bytes, c.format, base);
        EXPECT_EQ(data.UnsolicitedSettings, c.words);
        EXPECT_EQ(warning, c.kept.isEmpty() ? QString()
                                            : "The point list does not give these unsolicited settings, so they keep "
                                              "the values of the configuration it was read into (the defaults for a "
                                              "new one): " + c.kept + ".");
    }
}

// --- from a file ---

TEST(PointListImportFile, ReadsAListAndNamesTheFileOnceAboveItsProblems)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("list.xml"));
    ASSERT_TRUE(writeFileBytes(good, *pointListXml(pointList(richConfiguration()), kHeader)));
    const Result<ImportedPointList> data = loadPointList(good, PointListFormat::Xml, {});
    ASSERT_TRUE(data) << data.error().message.toStdString();
    expectSameConfiguration(data->data, dataOf(richConfiguration()));

    const QString bad = dir.filePath(QStringLiteral("list.csv"));
    ASSERT_TRUE(writeFileBytes(bad, kCsvHeader + "Binary Input,1,Tap Position Known,,5,yes,\r\n"));
    const Result<ImportedPointList> refused = loadPointList(bad, PointListFormat::Csv, {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, bad + ":\nline 2: the event class '5' is not 0, 1, 2 or 3\n"
                                             "line 2: Binary Input number 0 is missing");
    EXPECT_EQ(refused.error().line(), 2);
}

TEST(PointListImportFile, AMissingFileCannotBeOpenedAndALargeOneIsRefusedUnread)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.csv"));
    const Result<ImportedPointList> absent = loadPointList(missing, PointListFormat::Csv, {});
    ASSERT_FALSE(absent);
    EXPECT_TRUE(absent.error().unopened());
    EXPECT_EQ(absent.error().message, missing + ": No such file or directory");

    const QString large = dir.filePath(QStringLiteral("large.csv"));
    ASSERT_TRUE(writeFileBytes(large, kCsvHeader + QByteArray(kMaxPointListBytes, '\n')));
    const Result<ImportedPointList> tooLarge = loadPointList(large, PointListFormat::Csv, {});
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().message, large + " is too large for a point list (more than 4194304 bytes)");
}

}  // namespace
