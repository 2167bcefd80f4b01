#include "files/Report.h"

#include "files/Cp1252.h"
#include "files/FileTestHelpers.h"
#include "model/Regional.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

const char* const kHeadings[] = {"*** BINARY INPUT ***", "*** BINARY OUTPUT ***", "*** ANALOG INPUT ***",
                                 "*** ANALOG OUTPUT ***", "*** COUNTERS ***"};

QList<QByteArray> reportLines(const ConfigState& state)
{
    return crlfLines(composeReport(state, fixedNow()));
}

// The lines of one block of one class: from its heading up to the next empty line.
QList<QByteArray> block(const QList<QByteArray>& lines, int cls, PointType type)
{
    const int banner = lines.indexOf("================= CLASS " + QByteArray::number(cls) + " =================");
    const int heading = lines.indexOf(kHeadings[typeNumber(type)], banner);
    int end = heading + 1;
    while (end < lines.size() && !lines[end].isEmpty())
        ++end;
    return lines.mid(heading + 1, end - heading - 1);
}

QList<QByteArray> entry(const QString& name, const QString& numbers, const QString& description)
{
    return {toCp1252(QString("  * " + name)), toCp1252(QString("       - DNP 3.0 Point #: " + numbers)),
            toCp1252(QString("       - Description: " + description))};
}

QList<QByteArray> class0Entry(PointType type, int typeIndex, const QString& numbers)
{
    const CatalogPoint& p = PointCatalog::instance().point(type, typeIndex);
    return entry(p.shortName, numbers, p.description);
}

}  // namespace

TEST(Report, EmptyConfiguration)
{
    ConfigState state;
    state.ReportDescription = QStringLiteral("5/3/24 Report");
    state.ReportComment = QStringLiteral("None");
    QList<QByteArray> expected = {("Date/Time:   " + dateTimeStamp(fixedNow())).toLatin1(), "Description: 5/3/24 Report",
                                  "Comment:     None"};
    for (int cls = 0; cls <= 3; ++cls) {
        expected << "" << "================= CLASS " + QByteArray::number(cls) + " =================";
        if (cls > 0)
            expected << "*** Unsolicited Responses ***" << "  * Deadband           : 2 %"
                     << "  * Minimum Events     : 1" << "  * Notification Delay : 0";
        for (const char* heading : kHeadings)
            expected << "" << heading << " There is no data point selected.";
    }
    const QByteArray bytes = composeReport(state, fixedNow());
    EXPECT_EQ(bytes, joinCrlf(expected));
    EXPECT_EQ(bytes.count(" There is no data point selected.\r\n"), 20);
}

TEST(Report, BinaryInputExample)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {0, 1});
    const QList<QByteArray> lines = reportLines(state);
    const QList<QByteArray> expected = {
        "",
        "*** BINARY INPUT ***",
        "  * Tap Position Known",
        "       - DNP 3.0 Point #: 0",
        "       - Description: Tap Position Known (0 = No; 1 = Yes)",
        "  * Control Power Direction",
        "       - DNP 3.0 Point #: 1",
        "       - Description: Control Power Direction Status (0 = Forward Current Flow; 1 = Reverse Current Flow)",
        "",
        "*** BINARY OUTPUT ***",
        " There is no data point selected.",
    };
    EXPECT_EQ(lines.mid(5, expected.size()), expected);
}

TEST(Report, Class0SectionFollowsTheClass0Order)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {9, 2, 5});
    QList<QByteArray> expected = class0Entry(PointType::Bin, 9, "0");
    expected << class0Entry(PointType::Bin, 2, "1") << class0Entry(PointType::Bin, 5, "2");
    EXPECT_EQ(block(reportLines(state), 0, PointType::Bin), expected);
}

TEST(Report, MultiWordPointNumbers)
{
    ConfigState state;
    setClass0(state, PointType::Ain, {329, 0});
    setClass0(state, PointType::Aout, {0, 57, 72, 73, 92, 104, 1});
    setClass0(state, PointType::Counters, {0, 1, 9});
    const QList<QByteArray> lines = reportLines(state);

    QList<QByteArray> ain = class0Entry(PointType::Ain, 329, "0 and 1");
    ain << class0Entry(PointType::Ain, 0, "2");
    EXPECT_EQ(block(lines, 0, PointType::Ain), ain);

    QList<QByteArray> aout = class0Entry(PointType::Aout, 0, "0");
    aout << class0Entry(PointType::Aout, 57, "1, 2") << class0Entry(PointType::Aout, 72, "3, 4, 5, 6 and 7")
         << class0Entry(PointType::Aout, 73, "8, 9, 10, 11 and 12") << class0Entry(PointType::Aout, 92, "13, 14")
         << class0Entry(PointType::Aout, 104, "15, 16") << class0Entry(PointType::Aout, 1, "17");
    EXPECT_EQ(block(lines, 0, PointType::Aout), aout);

    QList<QByteArray> counters = class0Entry(PointType::Counters, 0, "0 and 1");
    counters << class0Entry(PointType::Counters, 1, "2 and 3") << class0Entry(PointType::Counters, 9, "4 and 5");
    EXPECT_EQ(block(lines, 0, PointType::Counters), counters);
}

TEST(Report, NumbersTexts)
{
    EXPECT_EQ(dnpNumbersText(PointType::Bin, 4, 1), "4");
    EXPECT_EQ(dnpNumbersText(PointType::Ain, 4, 2), "4 and 5");
    EXPECT_EQ(dnpNumbersText(PointType::Aout, 4, 2), "4, 5");
    EXPECT_EQ(dnpNumbersText(PointType::Aout, 4, 5), "4, 5, 6, 7 and 8");
    EXPECT_EQ(dnpNumbersText(PointType::Counters, 0, 2), "0 and 1");
}

TEST(Report, EventClassesLookUpInClass0AndSkipPointsOutsideIt)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {3, 1});
    state.setSelected(1, PointType::Bin, 3, true);
    state.setSelected(1, PointType::Bin, 7, true);  // not in Class 0: slot -1, no entry
    state.setSelected(2, PointType::Bin, 8, true);
    const QList<QByteArray> lines = reportLines(state);
    const CatalogPoint& p = PointCatalog::instance().point(PointType::Bin, 3);
    EXPECT_EQ(block(lines, 1, PointType::Bin), entry(p.shortName, "Look up in Class 0", p.description));
    EXPECT_EQ(block(lines, 2, PointType::Bin), QList<QByteArray>{" There is no data point selected."});
    EXPECT_EQ(block(lines, 3, PointType::Bin), QList<QByteArray>{" There is no data point selected."});
}

TEST(Report, UnsolicitedLinesPerEventClass)
{
    ConfigState state;
    state.UnsolicitedSettings = {25, 778, 1000, 0, 0, 0xFFFF};
    const QList<QByteArray> lines = reportLines(state);
    const int class1 = lines.indexOf("================= CLASS 1 =================");
    EXPECT_EQ(lines.mid(class1 + 1, 4),
              (QList<QByteArray>{"*** Unsolicited Responses ***", "  * Deadband           : 2.5 %",
                                 "  * Minimum Events     : 3", "  * Notification Delay : 10"}));
    const int class2 = lines.indexOf("================= CLASS 2 =================");
    EXPECT_EQ(lines.mid(class2 + 2, 3), (QList<QByteArray>{"  * Deadband           : 100 %",
                                                           "  * Minimum Events     : 0", "  * Notification Delay : 0"}));
    const int class3 = lines.indexOf("================= CLASS 3 =================");
    EXPECT_EQ(lines.mid(class3 + 2, 3), (QList<QByteArray>{"  * Deadband           : 0 %",
                                                           "  * Minimum Events     : 255", "  * Notification Delay : 255"}));
}

TEST(Report, HeaderTextsWrittenUnchanged)
{
    ConfigState state;
    state.ReportDescription = QString::fromUtf8("Feeder 3, \"north\" 5º");
    state.ReportComment = QStringLiteral("a,b \"c\"");
    const QList<QByteArray> lines = reportLines(state);
    EXPECT_EQ(lines[1], QByteArray("Description: Feeder 3, \"north\" 5\xBA"));
    EXPECT_EQ(lines[2], "Comment:     a,b \"c\"");
}
