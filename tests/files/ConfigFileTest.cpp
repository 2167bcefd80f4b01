#include "files/ConfigFile.h"

#include "files/FileTestHelpers.h"
#include "model/Regional.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

struct BlockLayout {
    const char* heading;
    PointType type;
};
constexpr BlockLayout kBlocks[] = {{"BINARY INPUT", PointType::Bin},
                                   {"BINARY OUTPUT", PointType::Bout},
                                   {"ANALOG INPUT", PointType::Ain},
                                   {"ANALOG OUTPUT", PointType::Aout},
                                   {"COUNTERS", PointType::Counters}};

// The file of an empty configuration with the start-up unsolicited settings, line by line.
QList<QByteArray> expectedEmptyFile(const QDateTime& now)
{
    QList<QByteArray> lines;
    lines << ("Date/Time:   " + dateTimeStamp(now)).toLatin1() << "Description: " << "Comment:     ";
    for (int cls = 0; cls <= 3; ++cls) {
        lines << "" << "CLASS " + QByteArray::number(cls);
        if (cls > 0)
            lines << "*** Unsolicited Responses ***" << "Deadband" << "2" << "DelayNot" << "256";
        for (const BlockLayout& b : kBlocks) {
            lines << "" << b.heading;
            for (int first = 0; first < pointCount(b.type); first += 5) {
                const int n = std::min(5, pointCount(b.type) - first);
                lines << shortNamesLine(b.type, first, n);
                QByteArrayList values;
                for (int k = 0; k < n; ++k)
                    values << "-1";
                lines << values.join(',');
            }
        }
    }
    return lines;
}

void expectSameConfiguration(const ConfigState& state, const ConfigFileData& data)
{
    for (int cls = 0; cls <= 3; ++cls)
        for (PointType t : kAllPointTypes)
            for (int i = 0; i < pointCount(t); ++i) {
                const int s = selectionIndexOf(t, i);
                EXPECT_EQ(data.ClassSelection[cls][s], state.ClassSelection[cls][s])
                    << "class " << cls << " type " << typeNumber(t) << " point " << i;
            }
    for (PointType t : kAllPointTypes)
        EXPECT_EQ(data.Class0Order[typeNumber(t)], state.Class0Order[typeNumber(t)]) << typeNumber(t);
    EXPECT_EQ(data.UnsolicitedSettings, state.UnsolicitedSettings);
}

}  // namespace

// --- writing ---

TEST(ConfigFileWriting, EmptyConfigurationIsTheFullLayoutWithMinusOnes)
{
    const ConfigState state;
    const QByteArray bytes = composeConfigFile(state, fixedNow());
    EXPECT_EQ(bytes, joinCrlf(expectedEmptyFile(fixedNow())));

    const QList<QByteArray> lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 890);
    EXPECT_EQ(bytes.count("\r\n"), 890);
    EXPECT_EQ(bytes.count('\r'), 890);
    EXPECT_EQ(bytes.count('\n'), 890);
    EXPECT_TRUE(lines[0].startsWith("Date/Time:   "));
    EXPECT_EQ(lines[1], "Description: ");
    EXPECT_EQ(lines[2], "Comment:     ");
    EXPECT_EQ(lines[4], "CLASS 0");
    EXPECT_EQ(lines[6], "BINARY INPUT");
    EXPECT_EQ(lines[7], "Tap Position Known,Control Power Direction,Auto Inhibit Status,Raise Motor Control Signal,"
                        "Lower Motor Control Signal");
    EXPECT_EQ(lines[8], "-1,-1,-1,-1,-1");
    EXPECT_EQ(lines[14], "-1");  // binary input 15 alone on the fourth pair
    EXPECT_EQ(lines[16], "BINARY OUTPUT");
    EXPECT_EQ(lines[18], "-1,-1,-1,-1");
    EXPECT_EQ(lines[20], "ANALOG INPUT");
    EXPECT_EQ(lines[166], "-1,-1,-1,-1");  // the last analog input pair holds four
    EXPECT_EQ(lines[168], "ANALOG OUTPUT");
    EXPECT_EQ(lines[214], "-1,-1");  // the last analog output pair holds two
    EXPECT_EQ(lines[216], "COUNTERS");
    EXPECT_EQ(lines[221], "");
    EXPECT_EQ(lines[222], "CLASS 1");
    EXPECT_EQ(lines[444], "");
    EXPECT_EQ(lines[445], "CLASS 2");
    EXPECT_EQ(lines[668], "CLASS 3");
    EXPECT_EQ(lines[669], "*** Unsolicited Responses ***");
    EXPECT_EQ(lines[671], "2");
    EXPECT_EQ(lines[673], "256");
    EXPECT_EQ(lines[889], "-1,-1,-1,-1,-1");
}

TEST(ConfigFileWriting, DateLineUsesShortDateAndLongTime)
{
    const QByteArray bytes = composeConfigFile(ConfigState(), fixedNow());
    const QByteArray expected = "Date/Time:   " + (shortDate(fixedNow().date()) + "   ").toLatin1();
    EXPECT_TRUE(bytes.startsWith(expected)) << bytes.left(40).constData();
    EXPECT_EQ(crlfLines(bytes)[0], ("Date/Time:   " + dateTimeStamp(fixedNow())).toLatin1());
}

TEST(ConfigFileWriting, Class1SectionExample)
{
    ConfigState state;
    state.setSelected(0, PointType::Bin, 2, true);
    state.Class0Order[typeNumber(PointType::Bin)][2] = 2;
    state.setSelected(1, PointType::Bin, 2, true);
    state.UnsolicitedSettings[deadbandWordIndex(1)] = 25;

    const QList<QByteArray> lines = crlfLines(composeConfigFile(state, fixedNow()));
    const QList<QByteArray> expected = {
        "",
        "CLASS 1",
        "*** Unsolicited Responses ***",
        "Deadband",
        "2.5",
        "DelayNot",
        "256",
        "",
        "BINARY INPUT",
        "Tap Position Known,Control Power Direction,Auto Inhibit Status,Raise Motor Control Signal,Lower Motor "
        "Control Signal",
        "-1,-1,2,-1,-1",
    };
    EXPECT_EQ(lines.mid(221, expected.size()), expected);
    EXPECT_EQ(lines[8], "-1,-1,2,-1,-1");   // Class 0
    EXPECT_EQ(lines[454], "-1,-1,-1,-1,-1");  // Class 2
}

TEST(ConfigFileWriting, ValuesAreTheClass0SlotsOfSelectedPoints)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {9, 2, 5});
    const QList<QByteArray> lines = crlfLines(composeConfigFile(state, fixedNow()));
    EXPECT_EQ(lines[8], "-1,-1,9,-1,-1");
    EXPECT_EQ(lines[10], "2,-1,-1,-1,5");
}

TEST(ConfigFileWriting, SelectedPointWithoutClass0SlotIsWrittenMinusOne)
{
    ConfigState state;
    state.setSelected(2, PointType::Bin, 3, true);  // slot stays -1
    const QByteArray bytes = composeConfigFile(state, fixedNow());
    EXPECT_EQ(crlfLines(bytes)[454], "-1,-1,-1,-1,-1");
    const ConfigFileData data = readOk(bytes);
    EXPECT_EQ(data.ClassSelection[2][selectionIndexOf(PointType::Bin, 3)], 0);
}

TEST(ConfigFileWriting, DeadbandAndDelayNotTexts)
{
    ConfigState state;
    state.UnsolicitedSettings = {1000, 778, 0, 0, 125, 0xFFFF};
    const QList<QByteArray> lines = crlfLines(composeConfigFile(state, fixedNow()));
    EXPECT_EQ(lines[225], "100");
    EXPECT_EQ(lines[227], "778");
    EXPECT_EQ(lines[448], "0");
    EXPECT_EQ(lines[450], "0");
    EXPECT_EQ(lines[671], "12.5");
    EXPECT_EQ(lines[673], "65535");
    EXPECT_EQ(deadbandPercentText(20), "2");
    EXPECT_EQ(deadbandPercentText(1), "0.1");
    EXPECT_EQ(deadbandPercentText(125, DecimalSeparator::Point), "12.5");
}

TEST(ConfigFileWriting, HeaderTextsInWindows1252)
{
    ConfigState state;
    state.ReportDescription = QString::fromUtf8("Tap 5º, \"east\" € Ω");
    state.ReportComment = QStringLiteral("line one\r\nline two");
    const QList<QByteArray> lines = crlfLines(composeConfigFile(state, fixedNow()));
    ASSERT_EQ(lines.size(), 890);
    EXPECT_EQ(lines[1], QByteArray("Description: Tap 5\xBA, \"east\" \x80 ?"));
    EXPECT_EQ(lines[2], "Comment:     line one  line two");  // a line break would shift every later line
}

// --- reading back ---

TEST(ConfigFileRoundTrip, WriteReadWriteGivesTheSameBytes)
{
    const ConfigState state = richConfiguration();
    const QByteArray first = composeConfigFile(state, fixedNow());
    const ConfigFileData data = readOk(first);
    expectSameConfiguration(state, data);

    ConfigState reread;
    reread.ReportDescription = state.ReportDescription;
    reread.ReportComment = state.ReportComment;
    applyConfigFileData(reread, data);
    EXPECT_EQ(composeConfigFile(reread, fixedNow()), first);

    // Another moment changes only the date line.
    const QList<QByteArray> later = crlfLines(composeConfigFile(reread, fixedNow().addSecs(3600 * 30)));
    const QList<QByteArray> before = crlfLines(first);
    EXPECT_NE(later[0], before[0]);
    EXPECT_EQ(later.mid(1), before.mid(1));
}

TEST(ConfigFileRoundTrip, FullDeadbandAndEventsWord)
{
    ConfigState state;
    state.UnsolicitedSettings = {1000, 778, 20, 256, 0, 0};
    const ConfigFileData data = readOk(composeConfigFile(state, fixedNow()));
    EXPECT_EQ(data.UnsolicitedSettings[0], 1000);
    EXPECT_EQ(data.UnsolicitedSettings[1], 778);
    EXPECT_EQ(minimumEventsOf(data.UnsolicitedSettings[1]), 3);
    EXPECT_EQ(notificationDelayOf(data.UnsolicitedSettings[1]), 10);
}

TEST(ConfigFileReading, DeadbandRoundsHalfToEvenAndDelayNotToNearest)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    EXPECT_EQ(readOk(withLine(file, 226, "12.25")).UnsolicitedSettings[0], 122);
    EXPECT_EQ(readOk(withLine(file, 226, "12.75")).UnsolicitedSettings[0], 128);
    EXPECT_EQ(readOk(withLine(file, 226, "-0.04")).UnsolicitedSettings[0], 0);
    EXPECT_EQ(readOk(withLine(file, 226, "100.04")).UnsolicitedSettings[0], 1000);
    EXPECT_EQ(readOk(withLine(file, 228, "777.6")).UnsolicitedSettings[1], 778);
}

TEST(ConfigFileReading, LabelLinesAreKnownByPositionOnly)
{
    const ConfigState state = richConfiguration();
    const QByteArray original = composeConfigFile(state, fixedNow());
    QList<QByteArray> lines = crlfLines(original);
    const ConfigFileData expected = readOk(original);
    // Every line that holds no value gets another text. The value lines are those that
    // differ between an empty configuration and one with every point in every class.
    ConfigState everything;
    for (PointType t : kAllPointTypes)
        for (int i = 0; i < pointCount(t); ++i) {
            for (int cls = 0; cls <= 3; ++cls)
                everything.setSelected(cls, t, i, true);
            everything.Class0Order[typeNumber(t)][i] = i;
        }
    const QList<QByteArray> emptyLines = crlfLines(composeConfigFile(ConfigState(), fixedNow()));
    const QList<QByteArray> fullLines = crlfLines(composeConfigFile(everything, fixedNow()));
    QSet<int> valueLines = {226, 228, 449, 451, 672, 674};
    for (int n = 1; n <= 890; ++n)
        if (emptyLines[n - 1] != fullLines[n - 1])
            valueLines.insert(n);
    ASSERT_EQ(valueLines.size(), 6 + 4 * (4 + 1 + 73 + 23 + 2));
    for (int n = 1; n <= 890; ++n)
        if (!valueLines.contains(n))
            lines[n - 1] = "some other text, 12, \"x\"";
    const ConfigFileData changed = readOk(joinCrlf(lines));
    EXPECT_EQ(changed.ClassSelection, expected.ClassSelection);
    EXPECT_EQ(changed.Class0Order, expected.Class0Order);
    EXPECT_EQ(changed.UnsolicitedSettings, expected.UnsolicitedSettings);
}

TEST(ConfigFileReading, ExtraLinesAtTheEndAreIgnored)
{
    const ConfigState state = richConfiguration();
    const QByteArray file = composeConfigFile(state, fixedNow());
    expectSameConfiguration(state, readOk(file + "extra line\r\n2.5,x,y\r\n\r\n"));
}

TEST(ConfigFileReading, MissingLastLineFails)
{
    QList<QByteArray> lines = crlfLines(composeConfigFile(ConfigState(), fixedNow()));
    lines.removeLast();
    const Error error = readFails(joinCrlf(lines));
    EXPECT_EQ(error.line(), 890);
    EXPECT_EQ(lineText(error), "line 890: the file ends here, a configuration file has 890 lines");
}

TEST(ConfigFileReading, LastLineWithoutLineEndIsRead)
{
    ConfigState state;
    setClass0(state, PointType::Counters, {9, 8});
    state.setSelected(3, PointType::Counters, 9, true);
    QByteArray file = composeConfigFile(state, fixedNow());
    file.chop(2);
    expectSameConfiguration(state, readOk(file));
}

TEST(ConfigFileReading, CrOnlyLfOnlyAndMixedLineEnds)
{
    const ConfigState state = richConfiguration();
    const QByteArray crlf = composeConfigFile(state, fixedNow());
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray cr = crlf;
    cr.replace("\r\n", "\r");
    expectSameConfiguration(state, readOk(lf));
    expectSameConfiguration(state, readOk(cr));

    QList<QByteArray> lines = crlfLines(crlf);
    QByteArray mixed;
    const char* const ends[] = {"\r\n", "\n", "\r"};
    for (int n = 0; n < lines.size(); ++n)
        mixed += lines[n] + ends[n % 3];
    expectSameConfiguration(state, readOk(mixed));
}

TEST(ConfigFileReading, FieldSplitting)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    // Quotes dropped, blanks next to commas and blanks or tabs between values.
    for (const QByteArray& line : {QByteArray("\"-1\",\"-1\",\"2\",\"-1\",\"-1\""), QByteArray(" -1 , -1,2 ,  -1,-1 "),
                                   QByteArray("-1 -1 2\t-1,-1"), QByteArray("-1,-1,\"\"2,-1,-1\x01")}) {
        QByteArray edited = withLine(file, 9, line);
        edited = withLine(edited, 232, line);
        const ConfigFileData data = readOk(edited);
        EXPECT_EQ(data.Class0Order[0][2], 2) << line.constData();
        EXPECT_EQ(data.ClassSelection[1][selectionIndexOf(PointType::Bin, 2)], 1) << line.constData();
    }
}

TEST(ConfigFileReading, SlotsComeFromTheClass0SectionOnly)
{
    ConfigState state;
    setClass0(state, PointType::Ain, {5, 3});
    const ConfigFileData data = readOk(composeConfigFile(state, fixedNow()));
    std::vector<std::int32_t> expected(364, -1);
    expected[3] = 5;
    expected[5] = 3;
    EXPECT_EQ(data.Class0Order[typeNumber(PointType::Ain)], expected);
    for (PointType t : {PointType::Bin, PointType::Bout, PointType::Aout, PointType::Counters})
        EXPECT_EQ(data.Class0Order[typeNumber(t)], std::vector<std::int32_t>(pointCount(t), -1));
}

// --- files that must be refused ---

TEST(ConfigFileRejects, EmptyFile)
{
    const Error error = readFails(QByteArray());
    EXPECT_EQ(lineText(error), "line 1: the file ends here, a configuration file has 890 lines");
}

TEST(ConfigFileRejects, BinaryJunk)
{
    QByteArray junk;
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk.append(static_cast<char>(seed >> 16));
    }
    const Error error = readFails(junk);
    EXPECT_GT(error.line(), 0);
    EXPECT_FALSE(error.message.isEmpty());

    // 890 lines of junk.
    QByteArray lines;
    for (int n = 0; n < 900; ++n)
        lines += QByteArray("\x00\xff\x81 junk,\x7f", 10) + "\r\n";
    EXPECT_EQ(lineText(readFails(lines)), QString::fromUtf8("line 9: 'ÿ?' is not a valid integer value"));
    EXPECT_EQ(lineText(readFails(withLine(composeConfigFile(ConfigState(), fixedNow()), 9, "-1 -1 -1"))),
              "line 9: expected 5 values, found 3");
}

TEST(ConfigFileRejects, NotAnIntegerNamesTheLine)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,2.5,-1,-1"))), "line 9: '2.5' is not a valid integer value");
    EXPECT_EQ(lineText(readFails(withLine(file, 890, "-1,-1,-1,x,-1"))), "line 890: 'x' is not a valid integer value");
    EXPECT_EQ(lineText(readFails(withLine(file, 19, "-1,,-1,-1"))), "line 19: '' is not a valid integer value");
}

TEST(ConfigFileRejects, HugeNumbers)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,99999999999999999999,-1,-1"))),
              "line 9: '99999999999999999999' is not a valid integer value");
    EXPECT_EQ(lineText(readFails(withLine(file, 226, "1e300"))), "line 226: the dead band '1e300' lies outside 0 to 100");
    EXPECT_EQ(lineText(readFails(withLine(file, 228, "4294967296"))),
              "line 228: the DelayNot value '4294967296' lies outside 0 to 65535");
    const QByteArray longField(5000, '7');
    EXPECT_EQ(lineText(readFails(withLine(file, 15, longField))),
              "line 15: '" + QString(40, '7') + "...' is not a valid integer value")
        << "a number too large for any type must not wrap, and the message quotes only its start";
}

TEST(ConfigFileRejects, ValuesOutsideTheType)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    const QString bin4 = PointCatalog::instance().point(PointType::Bin, 4).shortName;
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,-1,-1,16"))),
              "line 9: the value 16 of '" + bin4 + "' lies outside -1 to 15");
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,-1,-1,-2"))),
              "line 9: the value -2 of '" + bin4 + "' lies outside -1 to 15");
}

TEST(ConfigFileRejects, Class0ValuesThatAreNoOrder)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    const PointCatalog& c = PointCatalog::instance();
    const QString bin0 = c.point(PointType::Bin, 0).shortName;
    const QString bin1 = c.point(PointType::Bin, 1).shortName;
    const QString bin3 = c.point(PointType::Bin, 3).shortName;
    // Point 0 names point 3, which is not in Class 0.
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "3,1,-1,-1,-1"))),
              "line 9: the CLASS 0 value 3 of '" + bin0 + "' names '" + bin3 + "', which is not in CLASS 0");
    // Two points at the same position.
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "1,1,-1,-1,-1"))),
              "line 9: the CLASS 0 value 1 of '" + bin1 + "' is already the value of '" + bin0 + "'");
    // A proper order is accepted.
    EXPECT_EQ(readOk(withLine(file, 9, "1,0,-1,-1,-1")).Class0Order[0][0], 1);
}

TEST(ConfigFileRejects, EventClassValueDiffersFromClass0)
{
    QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    file = withLine(file, 9, "-1,-1,2,-1,-1");
    const QString bin2 = PointCatalog::instance().point(PointType::Bin, 2).shortName;
    EXPECT_EQ(lineText(readFails(withLine(file, 232, "-1,-1,3,-1,-1"))),
              "line 232: the CLASS 1 value 3 of '" + bin2 + "' differs from its CLASS 0 value 2");
    EXPECT_EQ(lineText(readFails(withLine(file, 455, "-1,-1,-1,0,-1"))),
              "line 455: the CLASS 2 value 0 of '" + PointCatalog::instance().point(PointType::Bin, 3).shortName
                  + "' differs from its CLASS 0 value -1");
    EXPECT_EQ(readOk(withLine(file, 678, "-1,-1,2,-1,-1")).ClassSelection[3][selectionIndexOf(PointType::Bin, 2)], 1);
}

TEST(ConfigFileRejects, UnsolicitedValuesOutOfRange)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    EXPECT_EQ(lineText(readFails(withLine(file, 226, "100.1"))), "line 226: the dead band '100.1' lies outside 0 to 100");
    EXPECT_EQ(lineText(readFails(withLine(file, 449, "-0.06"))), "line 449: the dead band '-0.06' lies outside 0 to 100");
    EXPECT_EQ(lineText(readFails(withLine(file, 226, "two"))), "line 226: 'two' is not a valid floating point value");
    EXPECT_EQ(lineText(readFails(withLine(file, 226, "nan"))), "line 226: 'nan' is not a valid floating point value");
    EXPECT_EQ(lineText(readFails(withLine(file, 226, ""))), "line 226: expected 1 value, found 0");
    EXPECT_EQ(lineText(readFails(withLine(file, 674, "65536"))),
              "line 674: the DelayNot value '65536' lies outside 0 to 65535");
    EXPECT_EQ(lineText(readFails(withLine(file, 674, "-1"))), "line 674: the DelayNot value '-1' lies outside 0 to 65535");
    EXPECT_EQ(lineText(readFails(withLine(file, 674, "256 1"))), "line 674: expected 1 value, found 2");
    EXPECT_EQ(readOk(withLine(file, 674, "65535")).UnsolicitedSettings[5], 65535);
}

TEST(ConfigFileRejects, WrongNumberOfValuesOnALine)
{
    const QByteArray file = composeConfigFile(ConfigState(), fixedNow());
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,-1,-1,-1,-1"))), "line 9: expected 5 values, found 6");
    EXPECT_EQ(lineText(readFails(withLine(file, 9, "-1,-1,-1,-1,"))), "line 9: '' is not a valid integer value");
    EXPECT_EQ(lineText(readFails(withLine(file, 15, ""))), "line 15: expected 1 value, found 0");
}

TEST(ConfigFileErrors, TextNamesFileAndLine)
{
    EXPECT_EQ(describeFileError("configs/a.dnp", failure("'2.5' is not a valid integer value", 12)),
              "configs/a.dnp, line 12: '2.5' is not a valid integer value");
    EXPECT_EQ(describeFileError("configs/a.dnp", failure("No such file or directory")), "configs/a.dnp: No such file or directory");
}

TEST(ConfigFileApply, ReplacesSelectionsSlotsAndSettings)
{
    ConfigState state;
    setClass0(state, PointType::Bin, {4, 7});  // stale: the file does not select them
    state.setSelected(2, PointType::Aout, 3, true);
    ConfigState fileState;
    setClass0(fileState, PointType::Bin, {1});
    fileState.UnsolicitedSettings = {30, 300, 40, 400, 50, 500};
    applyConfigFileData(state, readOk(composeConfigFile(fileState, fixedNow())));
    std::vector<std::int32_t> bin(16, -1);
    bin[1] = 1;
    EXPECT_EQ(state.Class0Order[0], bin);
    EXPECT_FALSE(state.selected(0, PointType::Bin, 4));
    EXPECT_FALSE(state.selected(2, PointType::Aout, 3));
    EXPECT_TRUE(state.selected(0, PointType::Bin, 1));
    EXPECT_EQ(state.UnsolicitedSettings, (UnsolicitedWords{30, 300, 40, 400, 50, 500}));
}

TEST(ConfigFileRejects, MutatedFilesAreReadWholeOrRefusedWithALine)
{
    const QByteArray original = composeConfigFile(richConfiguration(), fixedNow());
    const QByteArray alphabet = "-0123456789,\" \t\r\n.xe+";
    quint32 seed = 2024;
    auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    int accepted = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray bytes = original;
        for (quint32 m = 0, edits = 1 + next(3); m < edits; ++m) {
            const auto at = static_cast<qsizetype>(next(static_cast<quint32>(bytes.size())));
            const char c = alphabet[next(static_cast<quint32>(alphabet.size()))];
            switch (next(3)) {
            case 0: bytes[at] = c; break;
            case 1: bytes.remove(at, 1); break;
            default: bytes.insert(at, c); break;
            }
        }
        const Result<ConfigFileData> result = readConfigFile(bytes);
        if (!result) {
            EXPECT_GE(result.error().line(), 1);
            EXPECT_LE(result.error().line(), 890);
            continue;
        }
        ++accepted;
        // Whatever is accepted is a sound configuration: slots exactly the Class 0 points,
        // their values an order of them, and it writes back to a file that reads the same.
        const ConfigFileData& data = *result;
        for (PointType t : kAllPointTypes) {
            std::vector<int> values;
            std::vector<int> occupied;
            for (int i = 0; i < pointCount(t); ++i) {
                const std::int32_t v = data.Class0Order[typeNumber(t)][i];
                EXPECT_EQ(v >= 0, data.ClassSelection[0][selectionIndexOf(t, i)] == 1);
                if (v >= 0) {
                    values.push_back(v);
                    occupied.push_back(i);
                }
            }
            std::sort(values.begin(), values.end());
            EXPECT_EQ(values, occupied);
        }
        ConfigState state;
        applyConfigFileData(state, data);
        const ConfigFileData again = readOk(composeConfigFile(state, fixedNow()));
        EXPECT_EQ(again.ClassSelection, data.ClassSelection);
        EXPECT_EQ(again.Class0Order, data.Class0Order);
        EXPECT_EQ(again.UnsolicitedSettings, data.UnsolicitedSettings);
    }
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 1500);
}
