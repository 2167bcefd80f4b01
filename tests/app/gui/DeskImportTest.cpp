// The workspace's point list import, outputs that would replace the configuration being
// read, a dialog choice without an address, and a stored address a transfer refuses.

#include "support/DocumentProbe.h"
#include "files/PointListImport.h"
#include "support/DeskRig.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <numeric>

#include <unistd.h>

using namespace dnp;
using namespace dnp::test;

namespace {

class DeskImportTest : public ::testing::Test, public DeskRig {
protected:
    // Points of three types in Class 0, one in each event class.
    static ConfigState listed()
    {
        ConfigState s;
        setClass0(s, PointType::Bin, {4, 0});
        setClass0(s, PointType::Ain, {3, 1, 2});
        setClass0(s, PointType::Counters, {5});
        s.setSelected(1, PointType::Bin, 4, true);
        s.setSelected(2, PointType::Ain, 1, true);
        s.setSelected(3, PointType::Counters, 5, true);
        s.UnsolicitedSettings[deadbandWordIndex(2)] = 35;
        return s;
    }
    // The point list of a configuration, written to `name`.
    QString listFile(const QString& name, const ConfigState& state)
    {
        const QByteArray bytes = pointListFormatForPath(name) == PointListFormat::Xml
                                     ? pointListXml(pointList(state), {"x.dnp", {}, fixedNow(), mappingText(Mapping::Individual)}).value()
                                     : pointListCsv(pointList(state));
        writeFileBytes(path(name), bytes);
        return path(name);
    }
    // A configuration file of its own, opened: the workspace holds no unsaved changes.
    void openSaved(const ConfigState& state, const QString& name = "base.dnp")
    {
        writeFileBytes(path(name), composeConfigFile(state, fixedNow()));
        ASSERT_TRUE(ws.document().open(path(name)));
    }
    const ConfigState& state = ws.document().state();
};

// The base of the import: other unsolicited settings than the list's configuration.
ConfigState baseConfiguration()
{
    ConfigState s;
    setClass0(s, PointType::Bout, {1});
    s.UnsolicitedSettings = {10, 0x0203, 20, 0x0405, 30, 0x0607};
    return s;
}

// --- the import ---

TEST_F(DeskImportTest, AListReplacesSelectionsAndOrderOverTheConfigurationAndIsUnsaved)
{
    for (const char* name : {"points.csv", "points.xml"}) {
        openSaved(baseConfiguration());
        ASSERT_FALSE(ws.document().modified());
        const QString list = listFile(name, listed());
        ASSERT_TRUE(ws.document().importPointList(list, *pointListFormatForPath(list))) << name;
        EXPECT_EQ(state.ClassSelection, listed().ClassSelection) << name;
        EXPECT_EQ(state.Class0Order, listed().Class0Order) << name;
        // What a list does not give stays as the configuration had it: a CSV list gives
        // the dead bands of its analog inputs' classes, a document every setting.
        UnsolicitedWords expected = listed().UnsolicitedSettings;
        if (QByteArray(name).endsWith("csv")) {
            expected = baseConfiguration().UnsolicitedSettings;
            expected[deadbandWordIndex(2)] = 35;
        }
        EXPECT_EQ(state.UnsolicitedSettings, expected) << name;
        EXPECT_TRUE(ws.document().modified());
        EXPECT_EQ(ws.document().windowCaption(), "base.dnp *");
        ConfigState exported = listed();
        exported.UnsolicitedSettings = expected;
        EXPECT_EQ(ws.document().exportPointList(PointListFormat::Csv)->bytes, pointListCsv(pointList(exported)));
    }
}

// A list the configuration already holds still makes it unsaved: it came from elsewhere.
TEST_F(DeskImportTest, TheImportIsUnsavedUntilSaved)
{
    openSaved(listed());
    ASSERT_TRUE(ws.document().importPointList(listFile("same.csv", listed()), PointListFormat::Csv));
    EXPECT_TRUE(ws.document().modified());
    ASSERT_TRUE(ws.document().save(path("saved.dnp")));
    EXPECT_FALSE(ws.document().modified());
}

// A list of more words than the panel holds is taken as the class editor's OK takes
// such a selection: with a note; its send is refused.
TEST_F(DeskImportTest, AListOverThePanelsWordsIsTakenWithANoteAndNotSent)
{
    ConfigState over;
    std::vector<int> analogInputs(kMaxListWords + 1);
    std::iota(analogInputs.begin(), analogInputs.end(), 0);
    setClass0(over, PointType::Ain, analogInputs);
    prompts.fileAnswers = {listFile("over.csv", over)};
    EXPECT_TRUE(ws.importWithDialog());
    // Then the unsolicited settings the list does not give.
    const QString notGiven = importPointList(readFileBytes(path("over.csv")), PointListFormat::Csv, {})->warning;
    EXPECT_EQ(prompts.texts(Shown::Information),
              QStringList{"The Class 0 points take 241 words; the panel takes 240.\n"
                          "The selection is kept; Send refuses it until it takes 240 words or fewer.\n" + notGiven});
    EXPECT_EQ(state.Class0Order, over.Class0Order);
    EXPECT_FALSE(ws.document().image(Mapping::Individual));
}

TEST_F(DeskImportTest, AListThatCannotBeTakenChangesNothing)
{
    openSaved(baseConfiguration());
    const QByteArray before = composeConfigFile(state, fixedNow());
    writeFileBytes(path("broken.csv"), "type,index,name,event_class\r\n"
                                       "Binary Input,0,No Such Point,0\r\n"
                                       "Binary Input,2,Tap Position Known,5\r\n");
    const Result<QString> imported = ws.document().importPointList(path("broken.csv"), PointListFormat::Csv);
    ASSERT_FALSE(imported.ok());
    const QString list = path("broken.csv");
    EXPECT_EQ(imported.error().message, list + ":\nline 2: there is no Binary Input named 'No Such Point'\n"
                                               "line 3: the event class '5' is not 0, 1, 2 or 3\n"
                                               "line 3: Binary Input number 1 is missing");
    EXPECT_EQ(composeConfigFile(state, fixedNow()), before);
    EXPECT_FALSE(ws.document().modified());
}

TEST_F(DeskImportTest, AnOutputThatIsTheListIsRefusedBeforeItIsRead)
{
    const QString list = listFile("points.csv", listed());
    const QByteArray bytes = readFileBytes(list);
    ASSERT_EQ(::symlink("points.csv", QFile::encodeName(path("link.dnp")).constData()), 0);
    for (const QString& out : {list, path("link.dnp")}) {
        const Result<QString> imported = ws.document().importInto(list, PointListFormat::Csv, out);
        ASSERT_FALSE(imported.ok());
        EXPECT_EQ(imported.error().message, out + " is the point list being read; choose another file.");
        EXPECT_EQ(readFileBytes(list), bytes);
        EXPECT_FALSE(ws.document().modified());
    }
    ASSERT_TRUE(ws.document().importInto(list, PointListFormat::Csv, path("out.dnp")));
    EXPECT_EQ(ws.document().filePath(), path("out.dnp"));
    EXPECT_FALSE(ws.document().modified());
    EXPECT_EQ(loadConfigFile(path("out.dnp"))->Class0Order, listed().Class0Order);
}

// File > Import Point List: the unsaved changes first, then the file dialog.
TEST_F(DeskImportTest, TheWindowsImportAsksAboutUnsavedChangesFirst)
{
    use(baseConfiguration());
    const QString list = listFile("points.xml", listed());

    prompts.saveChoices = {SaveChoice::Cancel};
    EXPECT_FALSE(ws.importWithDialog());
    EXPECT_EQ(prompts.texts(), QStringList{"Save changes to new.dnp?"});

    prompts.shown.clear();
    prompts.saveChoices = {SaveChoice::Discard};
    prompts.fileAnswers = {list};
    EXPECT_TRUE(ws.importWithDialog());
    ASSERT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(prompts.shown[0].kind, Shown::SaveChanges);
    EXPECT_EQ(prompts.shown[1].kind, Shown::OpenDialog);
    EXPECT_EQ(prompts.shown[1].dialog.title, "Import Point List");
    EXPECT_EQ(prompts.shown[1].dialog.filter,
              "CSV point lists (*.csv)|*.csv|DNP3 Device Profiles (*.xml)|*.xml|All files (*)|*");
    EXPECT_EQ(state.Class0Order, listed().Class0Order);
    EXPECT_EQ(ws.document().windowCaption(), "DNP Configure *");
}

TEST_F(DeskImportTest, TheWindowsImportTellsWhatCannotBeTaken)
{
    writeFileBytes(path("empty.csv"), "");
    struct Case {
        QString file;
        QString told;
    };
    const Case cases[] = {
        {path("missing.csv"), "File I/O error.\n" + path("missing.csv") + ": No such file or directory"},
        {path("empty.csv"), "The point list cannot be read.\n" + path("empty.csv") +
                                ":\nline 1: the file is empty, not a point list"},
    };
    for (const Case& c : cases) {
        prompts.shown.clear();
        prompts.fileAnswers = {c.file};
        EXPECT_FALSE(ws.importWithDialog());
        EXPECT_EQ(prompts.texts(Shown::Error), QStringList{c.told});
        EXPECT_FALSE(ws.document().modified());
    }
}

// --- outputs that would replace the configuration being read ---

TEST_F(DeskImportTest, TheReportAndTheExportNeverReplaceTheConfiguration)
{
    openSaved(listed(), "feeder.dnp");
    const QByteArray file = readFileBytes(path("feeder.dnp"));
    ASSERT_EQ(::symlink("feeder.dnp", QFile::encodeName(path("link.txt")).constData()), 0);
    ASSERT_EQ(::link(QFile::encodeName(path("feeder.dnp")).constData(), QFile::encodeName(path("hard.txt")).constData()), 0);
    for (const QString& out : {path("feeder.dnp"), path("link.txt"), path("hard.txt")}) {
        const QString refused = out + " is the configuration being read; choose another file.";
        const Result<void> report = ws.document().writeReport(out, ws.document().firstReportHeaderTexts());
        ASSERT_FALSE(report.ok());
        EXPECT_EQ(report.error().message, refused);
        const Result<PointListExport> exported = ws.document().exportPointList(PointListFormat::Csv, out);
        ASSERT_FALSE(exported.ok());
        EXPECT_EQ(exported.error().message, refused);
        EXPECT_EQ(readFileBytes(path("feeder.dnp")), file);
    }
    // Saving the configuration onto itself rewrites it in place.
    ASSERT_TRUE(QFile::remove(path("hard.txt")));
    EXPECT_TRUE(ws.document().save(path("feeder.dnp")));
}

// The window's Save Report and Export: the file last saved is the one being read.
TEST_F(DeskImportTest, TheWindowsReportAndExportRefuseTheFileLastSaved)
{
    use(listed());
    prompts.fileAnswers = {path("feeder.dnp")};
    ASSERT_TRUE(ws.saveWithDialog());
    const QByteArray file = readFileBytes(path("feeder.dnp"));
    const QString refused = path("feeder.dnp") + " is the configuration being read; choose another file.";

    prompts.shown.clear();
    prompts.fileAnswers = {path("feeder.dnp")};
    EXPECT_FALSE(ws.reportWithDialog([this] { return std::optional(ws.document().firstReportHeaderTexts()); }));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{refused});

    prompts.shown.clear();
    prompts.fileAnswers = {path("feeder.dnp")};
    EXPECT_FALSE(ws.exportWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{refused});
    EXPECT_EQ(readFileBytes(path("feeder.dnp")), file);
    EXPECT_EQ(ws.document().lastSavedPath(), path("feeder.dnp"));
}

// --- the settings ---

TEST_F(DeskImportTest, TheDialogsChoiceWithoutAnAddressIsRefusedAndNothingSaved)
{
    const QByteArray before = readFileBytes(path("DNP.ini"));
    ws.editSettings([](const CommChoice& current) -> std::optional<CommChoice> {
        CommChoice choice = current;
        choice.baudItem = 0;
        choice.addressText = "300";
        return choice;
    });
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{kAddressRangeText});
    EXPECT_EQ(readFileBytes(path("DNP.ini")), before);
    EXPECT_EQ(ws.settings().current().Baud, 1);
}

// A stored address outside 0-255 is refused before the port is opened; with addressing
// off it is not used, and dnpcfg's --address takes its place.
TEST_F(DeskImportTest, AStoredAddressOutsideTheRangeRefusesTheTransfer)
{
    use(listed());
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\nAddressing=1\nAddress=300\n");
    ASSERT_TRUE(ws.settings().reload());
    EXPECT_FALSE(send());
    EXPECT_FALSE(retrieve());
    const QString refused = "The address 300 in the communication settings is not from 0 to 255.\n"
                            "Set an address from 0 to 255 in Communication Settings or with \"dnpcfg settings "
                            "--set address=N\"; the settings are kept in " +
                            path("DNP.ini") + ".";
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList(2, refused));
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_TRUE(link.target.device.isEmpty());

    prompts.shown.clear();
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\nAddressing=0\nAddress=300\n");
    ASSERT_TRUE(ws.settings().reload());
    EXPECT_TRUE(send());
    EXPECT_EQ(link.sent.size(), 18);
    EXPECT_TRUE(prompts.texts(Shown::Error).isEmpty());
}

}  // namespace
