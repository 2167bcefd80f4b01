// dnpcfg import, run as the built program: exported lists read back to the same
// configuration, an edited list, the format by name or option, refused lists that write
// nothing; and the outputs of report and export that would replace their own input.

#include "support/RunDnpcfg.h"

#include "classes/ClassEditor.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "files/PointList.h"
#include "files/PointListImport.h"
#include "model/ConfigCompare.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <numeric>

#include <unistd.h>

using namespace dnp;

namespace {

using test::fileBytes;
using test::ProgramRun;
using test::writeBytes;

const QString kUsage = "dnpcfg: usage: dnpcfg import LIST -o OUT.dnp [--base CONFIG.dnp] [--format csv|xml] (";

// Configurations whose points are each in at most one event class.
std::vector<ConfigState> configurations()
{
    ConfigState single;
    test::setClass0(single, PointType::Bout, {3});
    ConfigState events;
    test::setClass0(events, PointType::Bin, {3, 0, 7});
    test::setClass0(events, PointType::Ain, {5, 2});
    events.setSelected(2, PointType::Bin, 0, true);
    events.setSelected(1, PointType::Ain, 2, true);
    events.UnsolicitedSettings = {15, 0x0102, 300, 0x0304, 0, 0x0506};
    // More words than the panel holds, as the class editor keeps them.
    ConfigState over;
    std::vector<int> analogInputs(kMaxListWords + 3);
    std::iota(analogInputs.begin(), analogInputs.end(), 0);
    test::setClass0(over, PointType::Ain, analogInputs);
    return {ConfigState(), single, events, test::richConfiguration(), over};
}

class ImportCommand : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString configuration(const QString& name, const ConfigState& state)
    {
        writeBytes(path(name), composeConfigFile(state, test::fixedNow()));
        return path(name);
    }
    QStringList folder() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

// Exported, imported over the original and exported again: the same list, and no
// difference between the configurations; one over the panel's words with its warning, a
// CSV list with the unsolicited settings it does not give.
TEST_F(ImportCommand, AnExportedListReadsBackToTheSameConfiguration)
{
    int n = 0;
    for (const ConfigState& state : configurations()) {
        for (const char* format : {"csv", "xml"}) {
            const QString original = configuration(QStringLiteral("original%1.dnp").arg(n), state);
            const QString list = path(QStringLiteral("list%1.%2").arg(n).arg(format));
            const QString imported = path(QStringLiteral("imported%1.dnp").arg(n));
            ++n;
            ASSERT_EQ(test::runDnpcfg({"export", original, "--format", format, "-o", list}).status, 0);
            const ProgramRun run = test::runDnpcfg({"import", list, "-o", imported, "--base", original});
            EXPECT_EQ(run.status, 0) << run.err.toStdString();
            EXPECT_EQ(run.out, "");
            const WordBudget words = wordBudget(state);
            QStringList warnings;
            if (words.over())
                warnings << overBudgetText(words);
            const bool csv = QByteArray(format) == "csv";
            if (csv)
                warnings << importPointList(fileBytes(list), PointListFormat::Csv, configFileDataOf(state))->warning;
            EXPECT_EQ(run.err, warnings.empty() ? QString() : test::errorText("warning: " + warnings.join('\n')));
            const ProgramRun diff = test::runDnpcfg({"diff", original, imported});
            EXPECT_EQ(diff.status, 0) << n << " " << format << "\n" << diff.out.toStdString();
            EXPECT_EQ(diff.out, "The configurations are the same.\n");
            const ProgramRun again = test::runDnpcfg({"export", imported, "--format", format});
            const QByteArray points = fileBytes(list);
            if (csv) {
                EXPECT_EQ(again.outBytes, points);
            } else {
                // The document's header names the file it was made from.
                const auto pointsPart = [](const QByteArray& xml) { return xml.mid(xml.indexOf("<dataPointsList")); };
                EXPECT_EQ(pointsPart(again.outBytes), pointsPart(points));
            }
        }
    }
}

// Two numbers swapped and a point moved to another event class, as a spreadsheet user
// edits the list; what the list does not carry comes from --base.
TEST_F(ImportCommand, AnEditedListGivesTheEditedConfiguration)
{
    ConfigState original;
    test::setClass0(original, PointType::Bin, {3, 0, 7});
    original.setSelected(1, PointType::Bin, 0, true);
    original.UnsolicitedSettings = {15, 0x0102, 300, 0x0304, 0, 0x0506};
    const QString base = configuration("base.dnp", original);
    QByteArray list = pointListCsv(pointList(original));
    const QList<QByteArray> rows = list.split('\n');
    // Rows 1-3 are the numbers 0, 1 and 2 (points 3, 0 and 7): the first two change
    // places, and point 0 leaves Class 1 for Class 3.
    QList<QByteArray> edited = rows;
    edited[1] = QByteArray(rows[2]).replace("Binary Input,1,", "Binary Input,0,").replace(",1,yes,", ",3,yes,");
    edited[2] = QByteArray(rows[1]).replace("Binary Input,0,", "Binary Input,1,");
    writeBytes(path("edited.csv"), edited.join('\n'));

    const ProgramRun run = test::runDnpcfg({"import", path("edited.csv"), "--base", base, "-o", path("out.dnp")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ConfigState expected;
    test::setClass0(expected, PointType::Bin, {0, 3, 7});
    expected.setSelected(3, PointType::Bin, 0, true);
    expected.UnsolicitedSettings = original.UnsolicitedSettings;
    EXPECT_EQ(fileBytes(path("out.dnp")).mid(fileBytes(path("out.dnp")).indexOf("\r\n")),
              composeConfigFile(expected, test::fixedNow()).mid(composeConfigFile(expected, test::fixedNow()).indexOf("\r\n")));
    const ProgramRun diff = test::runDnpcfg({"diff", base, path("out.dnp")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, differenceLines(compareConfigurations(original, expected)).join('\n') + "\n");
}

TEST_F(ImportCommand, TheFormatComesFromTheNameUnlessGiven)
{
    const QString original = configuration("original.dnp", test::richConfiguration());
    ASSERT_EQ(test::runDnpcfg({"export", original, "--format", "xml", "-o", path("LIST.XML")}).status, 0);
    ASSERT_TRUE(QFile::copy(path("LIST.XML"), path("list.txt")));
    EXPECT_EQ(test::runDnpcfg({"import", path("LIST.XML"), "-o", path("a.dnp")}).status, 0);
    EXPECT_EQ(test::runDnpcfg({"import", path("list.txt"), "--format", "xml", "-o", path("b.dnp")}).status, 0);
    EXPECT_EQ(test::runDnpcfg({"diff", path("a.dnp"), path("b.dnp")}).status, 0);

    struct Case {
        QStringList args;
        QString problem;
    };
    const Case cases[] = {
        {{path("list.txt"), "-o", path("c.dnp")}, "the format of " + path("list.txt") + " is not known by its name; give --format"},
        {{path("list.txt"), "--format", "tsv", "-o", path("c.dnp")}, "unknown format 'tsv'"},
        {{path("list.txt"), "--format", "xml"}, "-o is needed"},
        {{"-o", path("c.dnp")}, "a file name is needed"},
        {{path("list.txt"), "--base", "", "-o", path("c.dnp")}, "option --base needs a file name"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = test::runDnpcfg(QStringList{"import"} + c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, kUsage + c.problem + ")\n");
    }
    EXPECT_FALSE(QFile::exists(path("c.dnp")));
}

// A list that cannot be taken is refused with its lines; the output stays as it was.
TEST_F(ImportCommand, ARefusedListWritesNothing)
{
    writeBytes(path("out.dnp"), "the old output");
    writeBytes(path("broken.csv"), "type,index,name,event_class\r\n"
                                   "Binary Input,0,No Such Point,0\r\n"
                                   "Binary Input,1,Tap Position Known,5\r\n");
    const QStringList before = folder();
    const ProgramRun run = test::runDnpcfg({"import", path("broken.csv"), "-o", path("out.dnp")});
    EXPECT_EQ(run.status, 1);
    const QString list = path("broken.csv");
    EXPECT_EQ(run.err, test::errorText(list + ":\nline 2: there is no Binary Input named 'No Such Point'\n"
                                              "line 3: the event class '5' is not 0, 1, 2 or 3"));
    EXPECT_EQ(fileBytes(path("out.dnp")), "the old output");
    EXPECT_EQ(folder(), before);
}

TEST_F(ImportCommand, TheListAndTheBaseMustReadAndTheOutputIsNotTheList)
{
    const QString original = configuration("original.dnp", test::richConfiguration());
    ASSERT_EQ(test::runDnpcfg({"export", original, "--format", "csv", "-o", path("list.csv")}).status, 0);
    const QByteArray list = fileBytes(path("list.csv"));

    const ProgramRun onto = test::runDnpcfg({"import", path("list.csv"), "-o", path("list.csv")});
    EXPECT_EQ(onto.status, 1);
    EXPECT_EQ(onto.err, test::errorText(path("list.csv") + " is the point list being read; choose another file."));
    EXPECT_EQ(fileBytes(path("list.csv")), list);

    const ProgramRun missing = test::runDnpcfg({"import", path("none.csv"), "-o", path("out.dnp")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, test::errorText(path("none.csv") + ": No such file or directory"));
    const ProgramRun noBase = test::runDnpcfg({"import", path("list.csv"), "--base", path("none.dnp"), "-o", path("out.dnp")});
    EXPECT_EQ(noBase.status, 1);
    EXPECT_EQ(noBase.err, test::errorText(path("none.dnp") + ": No such file or directory"));
    EXPECT_FALSE(QFile::exists(path("out.dnp")));

    // The base may be the output: the configuration is updated from the list in place.
    const ProgramRun inPlace = test::runDnpcfg({"import", path("list.csv"), "--base", original, "-o", original});
    EXPECT_EQ(inPlace.status, 0) << inPlace.err.toStdString();
}

// --- outputs onto their own input ---

TEST(OutputOntoInput, AReportOrAPointListNeverReplacesTheConfigurationItComesFrom)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("feeder.dnp");
    writeBytes(input, composeConfigFile(test::richConfiguration(), test::fixedNow()));
    const QByteArray bytes = fileBytes(input);
    ASSERT_EQ(::symlink("feeder.dnp", QFile::encodeName(dir.filePath("link.txt")).constData()), 0);
    ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(dir.filePath("hard.csv")).constData()), 0);
    struct Case {
        QStringList args;
        QString output;
    };
    const Case cases[] = {
        {{"report", input, "-o", input}, input},
        {{"report", input, "-o", dir.filePath("link.txt")}, dir.filePath("link.txt")},
        {{"export", input, "--format", "csv", "-o", input}, input},
        {{"export", input, "--format", "xml", "-o", dir.filePath("link.txt")}, dir.filePath("link.txt")},
        {{"export", input, "--format", "csv", "-o", dir.filePath("hard.csv")}, dir.filePath("hard.csv")},
    };
    for (const Case& c : cases) {
        const ProgramRun run = test::runDnpcfg(c.args);
        EXPECT_EQ(run.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err.toStdString(),
                  test::errorText(c.output + " is the configuration being read; choose another file.").toStdString());
        EXPECT_EQ(fileBytes(input), bytes);
    }
    // A configuration written again in place stays allowed.
    ASSERT_TRUE(QFile::remove(dir.filePath("hard.csv")));
    EXPECT_EQ(test::runDnpcfg({"resave", input, "-o", input}).status, 0);
}

}  // namespace
