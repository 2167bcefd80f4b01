// dnpcfg catalog: runs the built program and checks its tab-separated and CSV output.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include "support/RunDnpcfg.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {


// The lines of a text, each without its terminator; fails when a line lacks it.
QList<QByteArray> linesOf(const QByteArray& text, const QByteArray& terminator)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf(terminator, start);
        if (end < 0) {
            ADD_FAILURE() << "last line without terminator";
            lines << text.mid(start);
            break;
        }
        lines << text.mid(start, end - start);
        start = end + terminator.size();
    }
    return lines;
}

// RFC 4180 fields of one record (no line breaks inside the catalogue's fields).
QList<QByteArray> csvFields(const QByteArray& record)
{
    QList<QByteArray> fields;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (quoted) {
            if (c == '"' && i + 1 < record.size() && record[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

const QByteArray kHeader =
    "type\ttype_index\tselection_index\tpanel_code\tsecond_code\tword_count\tgroup\tshort_name\tdescription\teditor_text";

TEST(CatalogCommand, HeaderAndOneLinePerPoint)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_FALSE(run.outBytes.contains('\r'));
    const QList<QByteArray> lines = linesOf(run.outBytes, "\n");
    ASSERT_EQ(lines.size(), 507);
    EXPECT_EQ(lines[0], kHeader);
    for (const QByteArray& line : lines)
        EXPECT_EQ(line.count('\t'), 9) << line.toStdString();
}

TEST(CatalogCommand, TypesInOrderAndTypeIndexOrder)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog"});
    ASSERT_EQ(run.status, 0);
    const QList<QByteArray> lines = linesOf(run.outBytes, "\n");
    ASSERT_EQ(lines.size(), 507);
    const QList<QPair<QByteArray, int>> types = {{"Bin", 16}, {"Bout", 4}, {"Ain", 364}, {"Aout", 112}, {"Counters", 10}};
    int row = 1;
    for (const auto& [type, count] : types)
        for (int i = 0; i < count; ++i, ++row) {
            const QList<QByteArray> f = lines[row].split('\t');
            ASSERT_EQ(f.size(), 10);
            EXPECT_EQ(f[0], type);
            EXPECT_EQ(f[1], QByteArray::number(i));
            EXPECT_EQ(f[4].isEmpty(), type != "Bout") << lines[row].toStdString();
        }
}

TEST(CatalogCommand, ExactLines)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog"});
    ASSERT_EQ(run.status, 0);
    const QList<QByteArray> lines = linesOf(run.outBytes, "\n");
    ASSERT_EQ(lines.size(), 507);
    // Bin 0 is the first point, Bout after the 16 binary inputs, Ain from row 21,
    // Aout from row 385, Counters from row 497.
    EXPECT_EQ(lines[1], QByteArray("Bin\t0\t364\t2306\t\t1\tBinary inputs\tTap Position Known\t"
                                   "Tap Position Known (0 = No; 1 = Yes)\tTap Position Known"));
    EXPECT_EQ(lines[1 + 16 + 2],
              QByteArray("Bout\t2\t382\t2693\t554\t1\tBinary outputs\tAuto Inhibit\tAuto Inhibit (Command)\tAuto Inhibit"));
    EXPECT_EQ(lines[21 + 184], QByteArray("Ain\t184\t184\t2924\t\t1\tHarmonics\tHarmonics: Load Volts: 22nd\t"
                                          "Vload 22nd harmonic, RMS\t22st"));
    EXPECT_EQ(lines[21 + 329], QByteArray("Ain\t329\t329\t2360\t\t2\tMiscellaneous\tMisc: Serial Number -- 2 words\t"
                                          "Serial Number -- 32bit\tSerial Number"));
    // The degree sign as UTF-8, the two blanks before it kept.
    EXPECT_EQ(lines[385 + 34], QByteArray("Aout\t34\t422\t2564\t\t1\tRegulator settings\tRegulator: I Shift\t"
                                          "Current Shift (in  \xC2\xBA, relative to voltage)\tI Shift"));
    // Trailing blanks of an editor text, at the end of the line.
    EXPECT_EQ(lines[385 + 40], QByteArray("Aout\t40\t428\t527\t\t1\tRegulator settings\tRegulator: Regulator ID\t"
                                          "Regulator Id  (Range: 0 - 32766)\tRegulator ID         "));
    EXPECT_EQ(lines[385 + 57], QByteArray("Aout\t57\t445\t2640\t\t2\tRegulator settings\t"
                                          "Regulator: Alert Status/ACK (words1&2) -- 2 words\tAlert Status/ACK\t"
                                          "Alert Status/ACK (words 1&&2)"));
    EXPECT_EQ(lines[385 + 75], QByteArray("Aout\t75\t464\t2687\t\t1\tCommunication settings\tComm: CM Protocol\t"
                                          "CM Protocol\tCM Protocol"));
    EXPECT_EQ(lines[385 + 85], QByteArray("Aout\t85\t474\t2684\t\t1\tCommunication settings\t"
                                          "Comm: CM Post Transmit  Delay\tCM Post Transmit Delay\tCM Post Transmit Delay"));
    EXPECT_EQ(lines[385 + 92], QByteArray("Aout\t92\t481\t3040\t\t2\tPasswords\tPasswords: System Key -- 2 words\t"
                                          "System Key Password\tSystem Key            "));
    EXPECT_EQ(lines[506], QByteArray("Counters\t9\t510\t2327\t\t2\tCounters\tPrevious Year Operations Count -- 32bit\t"
                                     "Previous Year Operations Count -- 32bit\tLast Year Operations"));
}

TEST(CatalogCommand, CsvQuotesFieldsWithCommasAndQuotes)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog", "--csv"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QList<QByteArray> lines = linesOf(run.outBytes, "\r\n");
    ASSERT_EQ(lines.size(), 507);
    for (const QByteArray& line : lines)
        EXPECT_FALSE(line.contains('\n') || line.contains('\r')) << line.toStdString();
    EXPECT_EQ(lines[0], "type,type_index,selection_index,panel_code,second_code,word_count,group,short_name,"
                        "description,editor_text");
    EXPECT_EQ(lines[385 + 34], QByteArray("Aout,34,422,2564,,1,Regulator settings,Regulator: I Shift,"
                                          "\"Current Shift (in  \xC2\xBA, relative to voltage)\",I Shift"));
    EXPECT_EQ(lines[1 + 5], QByteArray("Bin,5,369,2610,,1,Binary inputs,Remote Control,"
                                       "\"Remote Operator Transfer Status (0 = \"\"inactive\"\"; 1 = \"\"active\"\")\","
                                       "Remote Control"));
    EXPECT_EQ(lines[21 + 157], QByteArray("Ain,157,157,2903,,1,Harmonics,Harmonics: Load Volts: 1st,"
                                          "\"Vload fundamental, RMS\",1st"));
    EXPECT_EQ(lines[1 + 16], QByteArray("Bout,0,380,1027,1027,1,Binary outputs,Tap Raise,Tap Raise (Command),Tap Raise"));
    EXPECT_EQ(lines[385 + 40], QByteArray("Aout,40,428,527,,1,Regulator settings,Regulator: Regulator ID,"
                                          "Regulator Id  (Range: 0 - 32766),Regulator ID         "));
}

TEST(CatalogCommand, CsvHoldsTheSameFieldsAsTheTabbedOutput)
{
    const test::ProgramRun tabbed = test::runDnpcfg({"catalog"});
    const test::ProgramRun csv = test::runDnpcfg({"catalog", "--csv"});
    ASSERT_EQ(tabbed.status, 0);
    ASSERT_EQ(csv.status, 0);
    const QList<QByteArray> t = linesOf(tabbed.outBytes, "\n");
    const QList<QByteArray> c = linesOf(csv.outBytes, "\r\n");
    ASSERT_EQ(t.size(), c.size());
    for (qsizetype i = 0; i < t.size(); ++i)
        EXPECT_EQ(csvFields(c[i]), t[i].split('\t')) << c[i].toStdString();
}

TEST(CatalogCommand, UnknownOptionIsAUsageError)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog", "--tsv"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.outBytes.isEmpty());
    EXPECT_TRUE(run.err.startsWith("dnpcfg: usage: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("--tsv")) << run.err.toStdString();
}

TEST(CatalogCommand, ExtraArgumentIsAUsageError)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog", "points.txt"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.outBytes.isEmpty());
    EXPECT_TRUE(run.err.startsWith("dnpcfg: usage: ")) << run.err.toStdString();
}

TEST(CatalogCommand, CsvFlagTakesNoValue)
{
    const test::ProgramRun run = test::runDnpcfg({"catalog", "--csv=yes"});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.outBytes.isEmpty());
}

}  // namespace
