// dnpcfg export and diff, run as the built program.

#include "comm/ImageText.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "support/PanelSim.h"
#include "support/RunDnpcfg.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

QByteArray expectedFile(const char* name)
{
    return fileBytes(QStringLiteral(DNP_TEST_DATA "/") + QLatin1String(name));
}

// The document from its data points on, which holds no date or description.
QByteArray dataPoints(const QByteArray& xml)
{
    return xml.mid(xml.indexOf("    <referenceDevice>"));
}

class DnpcfgAudit : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        rich = dir.filePath("rich.dnp");
        writeBytes(rich, composeConfigFile(richConfiguration(), fixedNow()));
    }
    QString write(const QString& name, const ConfigState& state)
    {
        writeBytes(dir.filePath(name), composeConfigFile(state, fixedNow()));
        return dir.filePath(name);
    }
    QTemporaryDir dir;
    QString rich;
};

TEST_F(DnpcfgAudit, ExportCsvToStandardOutput)
{
    const ProgramRun run = runDnpcfg({"export", rich, "--format", "csv"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.outBytes, expectedFile("pointlist.csv"));
    EXPECT_EQ(run.err, QString());
}

TEST_F(DnpcfgAudit, ExportXmlToAFile)
{
    const QString out = dir.filePath("points.xml");
    const ProgramRun run = runDnpcfg({"export", rich, "--format", "xml", "-o", out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.outBytes, QByteArray());
    const QByteArray xml = fileBytes(out);
    EXPECT_EQ(dataPoints(xml), dataPoints(expectedFile("pointlist.xml")));
    EXPECT_TRUE(xml.contains("<documentName>rich.dnp</documentName>"));
    EXPECT_TRUE(xml.contains("<documentDescription>DNP mapping: Individual Mapping (per this document)</documentDescription>"));
}

// Without --format the output file's extension gives the format: a Device Profile
// document for ".xml", CSV for any other; --format given wins.
TEST_F(DnpcfgAudit, ExportTakesTheFormatFromTheOutputsExtension)
{
    const struct {
        const char* file;
        const char* format;  // "" for none given
        bool xml;
    } cases[] = {
        {"a.xml", "", true}, {"b.XML", "", true}, {"c.csv", "", false}, {"d.txt", "", false},
        {"e", "", false},    {"f.xml", "csv", false}, {"g.txt", "xml", true},
    };
    for (const auto& c : cases) {
        QStringList args{"export", rich, "-o", dir.filePath(c.file)};
        if (*c.format)
            args << "--format" << c.format;
        const ProgramRun run = runDnpcfg(args);
        EXPECT_EQ(run.status, 0) << c.file << run.err.toStdString();
        const QByteArray written = fileBytes(dir.filePath(c.file));
        if (c.xml)
            EXPECT_EQ(dataPoints(written), dataPoints(expectedFile("pointlist.xml"))) << c.file;
        else
            EXPECT_EQ(written, expectedFile("pointlist.csv")) << c.file;
    }
}

TEST_F(DnpcfgAudit, ExportUsageAndFailures)
{
    ProgramRun run = runDnpcfg({"export", rich});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "dnpcfg: usage: dnpcfg export CONFIG.dnp [--format csv|xml] [-o OUT] (--format is needed to write to standard output)\n");
    run = runDnpcfg({"export", rich, "--format", "csv", "-o", dir.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + dir.path() + " is not a regular file\n");
}

TEST_F(DnpcfgAudit, DiffExitStatuses)
{
    ConfigState other = richConfiguration();
    setClass0(other, PointType::Bin, {2, 9, 5});
    other.UnsolicitedSettings[eventsWordIndex(2)] = 0x0205;
    const QString changed = write("changed.dnp", other);
    const QString resaved = dir.filePath("resaved.dnp");
    writeBytes(resaved, composeConfigFile(richConfiguration(), QDateTime(QDate(2020, 1, 1), QTime(1, 2, 3))));

    ProgramRun run = runDnpcfg({"diff", rich, resaved});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "The configurations are the same.\n");

    run = runDnpcfg({"diff", rich, changed});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(run.out, "Class 0 Bin: renumbered: 'Auto Inhibit Status' 1 \u2192 0\n"
                       "Class 0 Bin: renumbered: 'Auto Inhibit Terminal Block Input' 0 \u2192 1\n"
                       "Class 2: minimum events: 0 \u2192 2\n"
                       "Class 2: notification delay: 0 \u2192 5\n");

    for (const QStringList& args : {QStringList{"diff", rich}, QStringList{"diff", rich, changed, rich},
                                    QStringList{"diff", rich, dir.filePath("missing.dnp")},
                                    QStringList{"diff", dir.filePath("missing.dnp"), rich}}) {
        run = runDnpcfg(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("dnpcfg: ")) << run.err.toStdString();
        EXPECT_EQ(run.out, QString());
    }
}

// send --verify, then verify against the panel as sent and with one word changed.
TEST_F(DnpcfgAudit, VerifyComparesThePanelWithTheFile)
{
    const QString image = dir.filePath("panel.txt");
    PanelSim sim({"--image-out", image});
    ASSERT_TRUE(sim.started()) << sim.error().toStdString();
    ProgramRun run = runDnpcfg({"send", rich, "--verify", "--device", sim.device()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Sending communication status: OK..\nThe panel holds the configuration that was sent.\n");
    run = runDnpcfg({"verify", rich, "--device", sim.device()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "The panel holds " + rich + ".\n");

    // The panel's Class 2 dead band (word 243) changed behind the file's back.
    sim.stop();
    ConfigImage words = parseImageText(fileBytes(image)).value();
    words[243] = 55;
    writeBytes(image, formatImageText(words).toLatin1());
    ASSERT_TRUE(sim.start({"--image-in", image}));
    run = runDnpcfg({"verify", rich, "--device", sim.device()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Class 2: dead band: 100 % \u2192 5.5 %\n");
    EXPECT_EQ(run.err, errorText("The panel does not hold " + rich +
                                 ": 1 word differs.\nDifferences (A: the configuration, B: the panel):"));
}

}  // namespace
