#include "files/PointList.h"

#include "files/Cp1252.h"
#include "files/FileAccess.h"
#include "files/FileTestHelpers.h"
#include "files/Report.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

const DeviceProfileHeader kHeader{QStringLiteral("rich.dnp"), QStringLiteral("Substation 7, \"north\" feeder"), fixedNow(),
                                  QStringLiteral("Individual Mapping (per this document)")};

QByteArray expectedFile(const char* name)
{
    return readFileBytes(QStringLiteral(DNP_TEST_DATA "/") + QLatin1String(name));
}

// The Class 0 points of a type as the report lists them: name and numbers.
std::vector<std::pair<QString, std::vector<int>>> reportClass0(const ConfigState& state, PointType type)
{
    const QList<QByteArray> lines = crlfLines(composeReport(state, fixedNow()));
    const qsizetype banner = lines.indexOf("================= CLASS 0 =================");
    qsizetype n = lines.indexOf("*** " + blockHeading(type).toLatin1() + " ***", banner) + 1;
    std::vector<std::pair<QString, std::vector<int>>> points;
    for (; n + 1 < lines.size() && lines[n].startsWith("  * "); n += 3) {
        std::vector<int> numbers;
        const QString text = fromCp1252(lines[n + 1]).section(QStringLiteral("Point #: "), 1);
        for (const QString& number : text.split(QRegularExpression(QStringLiteral(", | and "))))
            numbers.push_back(number.toInt());
        points.push_back({fromCp1252(lines[n].mid(4)), numbers});
    }
    return points;
}

TEST(PointList, NumbersAndNamesAreTheReportsClass0Section)
{
    const ConfigState state = richConfiguration();
    const PointList list = pointList(state);
    auto entry = list.entries.begin();
    for (PointType type : kAllPointTypes)
        for (const auto& [name, numbers] : reportClass0(state, type))
            for (std::size_t k = 0; k < numbers.size(); ++k, ++entry) {
                ASSERT_NE(entry, list.entries.end());
                EXPECT_EQ(entry->type, type);
                EXPECT_EQ(entry->number, numbers[k]);
                EXPECT_EQ(entry->name, numbers.size() == 1 ? name
                                                           : QStringLiteral("%1 (word %2 of %3)").arg(name).arg(k + 1).arg(numbers.size()));
            }
    EXPECT_EQ(entry, list.entries.end());
}

TEST(PointList, CsvAndDeviceProfileOfEveryMultiWordKindAndTheCounters)
{
    const PointList list = pointList(richConfiguration());
    EXPECT_EQ(pointListCsv(list), expectedFile("pointlist.csv"));
    EXPECT_EQ(pointListXml(list, kHeader).value(), expectedFile("pointlist.xml"));
}

TEST(PointList, DeviceProfileReadsBackWithEveryNumberOnce)
{
    const PointList list = pointList(richConfiguration());
    QXmlStreamReader xml(pointListXml(list, kHeader).value());
    const std::map<QString, PointType> elements = {{"binaryInput", PointType::Bin},   {"binaryOutput", PointType::Bout},
                                                   {"analogInput", PointType::Ain},   {"analogOutput", PointType::Aout},
                                                   {"counter", PointType::Counters}};
    std::map<PointType, std::multiset<int>> found;
    PointType current = PointType::Bin;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("DNP3DeviceProfileDocument")) {
            EXPECT_EQ(xml.namespaceUri(), kProfileNamespace);
            EXPECT_EQ(xml.attributes().value(QLatin1String("schemaVersion")), QLatin1String("2.12.00"));
        } else if (const auto e = elements.find(xml.name().toString()); e != elements.end()) {
            current = e->second;
        } else if (xml.name() == QLatin1String("index")) {
            found[current].insert(xml.readElementText().toInt());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    for (PointType type : kAllPointTypes) {
        std::multiset<int> expected;
        for (const PointListEntry& e : list.entries)
            if (e.type == type)
                expected.insert(static_cast<int>(expected.size()));
        EXPECT_EQ(found[type], expected) << pointTypeName(type).toStdString();
    }
}

// A name or a description with characters XML cannot hold (bytes that are not UTF-8,
// control characters): they become U+FFFD, a changed name's bytes follow in a comment,
// and every other byte of the document is as for any name.
TEST(PointList, DeviceProfileOfAnyNameIsWholeAndWellFormed)
{
    const PointList list = pointList(richConfiguration());
    const QByteArray golden = expectedFile("pointlist.xml");
    const QByteArray goldenName = "<documentName>rich.dnp</documentName>";
    const QByteArray goldenDescription = "Substation 7, &quot;north&quot; feeder;";
    struct Case {
        QByteArray nameBytes;
        QString description;
        QByteArray nameXml;         // the document's name element, and the comment that follows it
        QByteArray descriptionXml;  // the start of the description element's text
    };
    const Case cases[] = {
        {"caf\xe9.dnp", kHeader.description,
         "<documentName>caf\xef\xbf\xbd.dnp</documentName>\n        <!-- documentName as bytes: caf\\xe9.dnp -->",
         goldenDescription},
        {"a\x01--\xff\\b-.dnp", QStringLiteral("North\x07 feeder"),
         "<documentName>a\xef\xbf\xbd--\xef\xbf\xbd\\b-.dnp</documentName>\n"
         "        <!-- documentName as bytes: a\\x01-\\x2d\\xff\\x5cb-.dnp -->",
         "North\xef\xbf\xbd feeder;"},
        {"plain--\\name.dnp", kHeader.description, "<documentName>plain--\\name.dnp</documentName>",
         goldenDescription},
    };
    for (const Case& c : cases) {
        const DeviceProfileHeader header{decodeFileName(c.nameBytes), c.description, kHeader.when, kHeader.mapping};
        const Result<QByteArray> xml = pointListXml(list, header);
        ASSERT_TRUE(xml.ok()) << xml.error().message.toStdString();
        EXPECT_EQ(*xml, QByteArray(golden).replace(goldenName, c.nameXml).replace(goldenDescription, c.descriptionXml));
        QXmlStreamReader reader(*xml);
        while (!reader.atEnd())
            reader.readNext();
        EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    }
}

TEST(PointList, EventClassPointsOutsideClass0AreLeftOutWithAWarning)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {1});
    state.setSelected(1, PointType::Bin, 1, true);
    state.setSelected(2, PointType::Bin, 4, true);
    state.setSelected(3, PointType::Ain, 0, true);
    const PointList list = pointList(state);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].typeIndex, 1);
    EXPECT_EQ(unnumberedWarning(list.unnumbered),
              "2 points are in an event class but not in Class 0, so without a DNP point number, and not exported: "
              "Bin 'Lower Motor Control Signal', Ain 'Meter: Inst: Vld'");
    EXPECT_EQ(unnumberedWarning({list.unnumbered[1]}),
              "1 point is in an event class but not in Class 0, so without a DNP point number, and not exported: "
              "Ain 'Meter: Inst: Vld'");
    EXPECT_EQ(unnumberedWarning({}), QString());
}

TEST(PointList, FormatByNameAndBySuffix)
{
    EXPECT_EQ(pointListFormatByName("csv"), PointListFormat::Csv);
    EXPECT_EQ(pointListFormatByName("xml"), PointListFormat::Xml);
    EXPECT_EQ(pointListFormatByName("CSV"), std::nullopt);
    EXPECT_EQ(pointListFormatForPath("lists/points.CSV"), PointListFormat::Csv);
    EXPECT_EQ(pointListFormatForPath("points.xml"), PointListFormat::Xml);
    EXPECT_EQ(pointListFormatForPath("points.txt"), std::nullopt);
}

}  // namespace
