// dnpcfg check, report and resave, run as the built program.

#include "files/ConfigFile.h"
#include "files/Report.h"
#include "model/Regional.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "support/RunDnpcfg.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

using test::afterFirstLine;
using test::fileBytes;
using test::writeBytes;

test::ProgramRun dnpcfg(const QStringList& args)
{
    return test::runDnpcfg(args);
}

QDateTime someMoment()
{
    return QDateTime(QDate(2023, 11, 20), QTime(9, 30, 0));
}

ConfigState sampleConfiguration()
{
    ConfigState state;
    auto& bin = state.Class0Order[typeNumber(PointType::Bin)];
    for (int i : {2, 5, 9})
        state.setSelected(0, PointType::Bin, i, true);
    bin[2] = 9;
    bin[5] = 2;
    bin[9] = 5;
    state.setSelected(1, PointType::Bin, 5, true);
    for (int i : {0, 1}) {
        state.setSelected(0, PointType::Counters, i, true);
        state.Class0Order[typeNumber(PointType::Counters)][i] = i;
    }
    state.setSelected(0, PointType::Ain, 329, true);
    state.Class0Order[typeNumber(PointType::Ain)][329] = 329;
    state.setSelected(3, PointType::Ain, 329, true);
    state.UnsolicitedSettings = {25, 778, 1000, 256, 0, 0};
    return state;
}

class DnpcfgFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        input = dir.filePath("in.dnp");
        writeBytes(input, composeConfigFile(sampleConfiguration(), someMoment()));
    }
    QTemporaryDir dir;
    QString input;
};

TEST_F(DnpcfgFiles, CheckPrintsASummary)
{
    const test::ProgramRun run = dnpcfg({"check", input});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, input + ": configuration file read\n"
                               "points per class        Bin     Bout      Ain     Aout Counters\n"
                               "  Class 0                 3        0        1        0        2\n"
                               "  Class 1                 1        0        0        0        0\n"
                               "  Class 2                 0        0        0        0        0\n"
                               "  Class 3                 0        0        1        0        0\n"
                               "unsolicited responses\n"
                               "  Class 1: dead band 2.5 %, minimum events 3, notification delay 10\n"
                               "  Class 2: dead band 100 %, minimum events 1, notification delay 0\n"
                               "  Class 3: dead band 0 %, minimum events 0, notification delay 0\n");
    EXPECT_TRUE(run.err.isEmpty());
}

TEST_F(DnpcfgFiles, CheckReportsTheErrorWithFileAndLine)
{
    const QString bad = dir.filePath("bad.dnp");
    QByteArray bytes = composeConfigFile(ConfigState(), someMoment());
    bytes.replace("\r\n-1,-1,-1,-1,-1\r\n", "\r\n-1,-1,2.5,-1,-1\r\n");  // the first values line, line 9
    writeBytes(bad, bytes);
    const test::ProgramRun run = dnpcfg({"check", bad});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + bad + ", line 9: '2.5' is not a valid integer value\n");
    EXPECT_TRUE(run.out.isEmpty());
}

TEST_F(DnpcfgFiles, CheckHostileFiles)
{
    const QString empty = dir.filePath("empty.dnp");
    writeBytes(empty, QByteArray());
    test::ProgramRun run = dnpcfg({"check", empty});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + empty + ", line 1: the file ends here, a configuration file has 890 lines\n");

    const QString junk = dir.filePath("junk.dnp");
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes.append(static_cast<char>((i * 7919) % 256));
    writeBytes(junk, bytes);
    run = dnpcfg({"check", junk});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("dnpcfg: " + junk + ", line ")) << run.err.toStdString();

    run = dnpcfg({"check", dir.filePath("missing.dnp")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("dnpcfg: " + dir.filePath("missing.dnp") + ": ")) << run.err.toStdString();

    run = dnpcfg({"check", dir.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + dir.path() + " is not a regular file\n");
}

TEST_F(DnpcfgFiles, CheckUsage)
{
    EXPECT_EQ(dnpcfg({"check"}).status, 2);
    EXPECT_EQ(dnpcfg({"check", input, input}).status, 2);
    EXPECT_EQ(dnpcfg({"check", input, "--what"}).status, 2);
}

TEST_F(DnpcfgFiles, ReportWithHeaderTexts)
{
    const QString out = dir.filePath("r.txt");
    const test::ProgramRun run = dnpcfg({"report", input, "-o", out, "--description", "Feeder 3, \"north\"", "--comment", "ok"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ConfigState state = sampleConfiguration();
    state.ReportDescription = "Feeder 3, \"north\"";
    state.ReportComment = "ok";
    const QByteArray expected = composeReport(state, someMoment());
    const QByteArray written = fileBytes(out);
    EXPECT_EQ(afterFirstLine(written), afterFirstLine(expected));
    EXPECT_TRUE(written.startsWith("Date/Time:   "));
}

TEST_F(DnpcfgFiles, ReportDefaultsToTheDialogsFirstTexts)
{
    const QString out = dir.filePath("r.txt");
    ASSERT_EQ(dnpcfg({"report", input, "-o", out}).status, 0);
    const QList<QByteArray> lines = fileBytes(out).split('\n');
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines[1], ("Description: " + shortDate(QDate::currentDate()) + " Report\r").toLatin1());
    EXPECT_EQ(lines[2], "Comment:     None\r");
}

TEST_F(DnpcfgFiles, ReportUsageAndFailure)
{
    EXPECT_EQ(dnpcfg({"report", input}).status, 2);
    EXPECT_EQ(dnpcfg({"report", "-o", dir.filePath("r.txt")}).status, 2);
    EXPECT_EQ(dnpcfg({"report", input, "-o"}).status, 2);
    const test::ProgramRun run = dnpcfg({"report", dir.filePath("missing.dnp"), "-o", dir.filePath("r.txt")});
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("r.txt")));
}

TEST_F(DnpcfgFiles, ResaveWritesANormalisedCopy)
{
    // A file with LF line ends, quotes and blanks reads the same and comes back in the program's form.
    QByteArray loose = composeConfigFile(sampleConfiguration(), someMoment());
    loose.replace("\r\n", "\n");
    loose.replace("-1,-1,9,-1,-1\n", "\"-1\", -1 ,9,-1, -1\n");
    const QString messy = dir.filePath("messy.dnp");
    writeBytes(messy, loose);
    const QString out = dir.filePath("out.dnp");
    const test::ProgramRun run = dnpcfg({"resave", messy, "-o", out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(afterFirstLine(fileBytes(out)), afterFirstLine(composeConfigFile(sampleConfiguration(), someMoment())));

    ASSERT_EQ(dnpcfg({"resave", input, "-o", out, "--description", "D", "--comment", "C"}).status, 0);
    ConfigState state = sampleConfiguration();
    state.ReportDescription = "D";
    state.ReportComment = "C";
    EXPECT_EQ(afterFirstLine(fileBytes(out)), afterFirstLine(composeConfigFile(state, someMoment())));
}

TEST_F(DnpcfgFiles, ResaveOfABrokenFileWritesNothing)
{
    QByteArray bytes = composeConfigFile(sampleConfiguration(), someMoment());
    bytes.chop(30);  // the last line cut short
    const QString broken = dir.filePath("broken.dnp");
    writeBytes(broken, bytes);
    const QString out = dir.filePath("out.dnp");
    const test::ProgramRun run = dnpcfg({"resave", broken, "-o", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("dnpcfg: " + broken + ", line 890: ")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

}  // namespace
