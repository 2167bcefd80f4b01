// The desk's verbs of the workspace: Save in place, the export's type, the word budget,
// the overview, the differences table, and files opened by a relative name.

#include "support/DocumentProbe.h"
#include "app/DeskSettings.h"
#include "app/gui/DeskCommands.h"

#include "support/DeskRig.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

// The desk, and another with the remembered files.
class DeskTest : public ::testing::Test, public DeskRig {
protected:
    QList<Shown::Kind> kinds() const
    {
        QList<Shown::Kind> list;
        for (const Shown& s : prompts.shown)
            list << s.kind;
        return list;
    }
    static ConfigState readConfiguration(const QString& file)
    {
        ConfigState s;
        applyConfigFileData(s, loadConfigFile(file).value());
        return s;
    }

    DeskSettings desk{dir.filePath("desk.ini")};
    DeskCommands deskWs{prompts, {dir.filePath("DNP.ini"), fakeLinks(link), &desk, kFakeLineTiming}};
    const ConfigState& state = ws.document().state();
};

// --- Save ---

// Save, Save As, Report, Export and Import suggest names from the configuration's and
// say what they wrote or read; the save dialogs start beside the configuration's file.
TEST_F(DeskTest, FileCommandsSuggestNamesAndSayWhatTheyDid)
{
    QStringList noted;
    QObject::connect(&ws, &DeskCommands::noted, [&](const QString& text) { noted << text; });
    use(richConfiguration());
    prompts.fileAnswers = {path("feeder12.dnp"), path("feeder12.csv"), path("feeder12-report.txt"), path("feeder12.csv")};
    ASSERT_TRUE(ws.saveWithDialog());
    ASSERT_TRUE(ws.saveInPlace());
    ASSERT_TRUE(ws.exportWithDialog());
    ASSERT_TRUE(ws.reportWithDialog([] { return ReportHeaderTexts{"Feeder 12", "None"}; }));
    ASSERT_TRUE(ws.importWithDialog());
    QStringList suggested;
    for (const Shown& shown : prompts.shown)
        if (shown.kind == Shown::SaveDialog || shown.kind == Shown::OpenDialog)
            suggested << shown.dialog.fileName + " in " + shown.dialog.folder;
    EXPECT_EQ(suggested, (QStringList{"new.dnp in ", "feeder12.csv in " + dir.path(), "feeder12-report.txt in " + dir.path(),
                                      " in "}));
    EXPECT_EQ(noted, (QStringList{"Saved " + path("feeder12.dnp"), "Saved " + path("feeder12.dnp"),
                                  "Exported the point list to " + path("feeder12.csv"),
                                  "Saved the report to " + path("feeder12-report.txt"), "Imported " + path("feeder12.csv")}));
}

TEST_F(DeskTest, SaveWritesTheFileItCameFromWithoutADialog)
{
    use(richConfiguration());
    prompts.fileAnswers = {path("feeder.dnp")};
    ASSERT_TRUE(ws.saveInPlace());  // a new configuration: as Save As
    EXPECT_EQ(kinds(), QList<Shown::Kind>{Shown::SaveDialog});

    prompts.shown.clear();
    editClass0(4);
    ASSERT_TRUE(ws.saveInPlace());
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(readFileBytes(path("feeder.dnp")), composeConfigFile(state, fixedNow()));
    EXPECT_EQ(ws.document().windowCaption(), "feeder.dnp");

    // Opened from another file, Save writes that one.
    ASSERT_TRUE(ws.document().save(path("other.dnp")));
    ASSERT_TRUE(ws.document().open(path("feeder.dnp")));
    editClass0(6);
    ASSERT_TRUE(ws.saveInPlace());
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(readConfiguration(path("feeder.dnp")).selected(0, PointType::Bin, 6));
    EXPECT_FALSE(readConfiguration(path("other.dnp")).selected(0, PointType::Bin, 6));
}

TEST_F(DeskTest, TheEditorsSaveFollowsSave)
{
    prompts.fileAnswers = {path("editor.dnp")};
    ws.editClass(0, [] {});
    ws.clickItem(ListTag::BinCLB, 2);
    ASSERT_TRUE(ws.saveClassEdit());  // no file yet: the name is asked for
    ws.clickItem(ListTag::BinCLB, 3);
    ASSERT_TRUE(ws.saveClassEdit());  // then written in place
    EXPECT_EQ(kinds(), QList<Shown::Kind>{Shown::SaveDialog});
    EXPECT_EQ(readFileBytes(path("editor.dnp")), composeConfigFile(state, fixedNow()));
    EXPECT_TRUE(state.selected(0, PointType::Bin, 3));
}

TEST_F(DeskTest, SaveChangesRunsSaveInPlace)
{
    ASSERT_TRUE(ws.document().save(path("kept.dnp")));
    editClass0(1);
    prompts.saveChoices = {SaveChoice::Save};
    EXPECT_TRUE(ws.newConfiguration());
    EXPECT_EQ(kinds(), QList<Shown::Kind>{Shown::SaveChanges});
    EXPECT_TRUE(readConfiguration(path("kept.dnp")).selected(0, PointType::Bin, 1));
}

// --- files named relative to the current folder ---

TEST_F(DeskTest, AFileOpenedByARelativeNameIsKeptByItsAbsolutePath)
{
    deskWs.document().clock = [] { return fixedNow(); };
    ASSERT_TRUE(ws.document().save(path("rel.dnp")));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(QDir().mkdir("sub"));
    const bool opened = deskWs.openFile("rel.dnp");
    QDir::setCurrent(path("sub"));
    inspect(deskWs.document()).adopt(configFileDataOf(richConfiguration()));
    const bool saved = deskWs.saveInPlace();
    QDir::setCurrent(before);

    ASSERT_TRUE(opened);
    ASSERT_TRUE(saved);
    EXPECT_EQ(desk.recentFiles(), QStringList{path("rel.dnp")});
    EXPECT_EQ(deskWs.document().filePath(), path("rel.dnp"));
    EXPECT_FALSE(QFileInfo::exists(path("sub/rel.dnp")));
    EXPECT_EQ(readFileBytes(path("rel.dnp")), composeConfigFile(deskWs.document().state(), fixedNow()));
}

TEST_F(DeskTest, RecentFilesAreStoredAndRemovedByTheirAbsolutePaths)
{
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    desk.addRecentFile("a.dnp");
    desk.addRecentFile("./b.dnp");
    const QStringList added = desk.recentFiles();
    desk.removeRecentFile("a.dnp");
    QDir::setCurrent(before);
    EXPECT_EQ(added, (QStringList{path("b.dnp"), path("a.dnp")}));
    EXPECT_EQ(desk.recentFiles(), QStringList{path("b.dnp")});
}

// --- the export's type ---

TEST_F(DeskTest, TheExportTakesItsTypeFromTheFilesExtension)
{
    const struct {
        const char* file;
        PointListFormat format;
    } cases[] = {
        {"points.csv", PointListFormat::Csv}, {"points.xml", PointListFormat::Xml}, {"points.XML", PointListFormat::Xml},
        {"points.txt", PointListFormat::Csv}, {"points", PointListFormat::Csv},     {"points.xml.txt", PointListFormat::Csv},
    };
    ASSERT_TRUE(ws.document().save(path("feeder 12.dnp")));
    use(richConfiguration());
    for (const auto& c : cases) {
        EXPECT_EQ(exportFormatOf(c.file), c.format) << c.file;
        prompts.shown.clear();
        prompts.fileAnswers = {path(c.file)};
        ASSERT_TRUE(ws.exportWithDialog()) << c.file;
        EXPECT_EQ(readFileBytes(path(c.file)), ws.document().exportPointList(c.format)->bytes) << c.file;
        ASSERT_FALSE(prompts.shown.isEmpty());
        EXPECT_EQ(prompts.shown[0].dialog.fileName, "feeder 12.csv");
        QFile::remove(path(c.file));
    }
    EXPECT_EQ(exportDialogSettings("new.dnp").fileName, "new.csv");
    EXPECT_EQ(exportDialogSettings("new.dnp").filter, "CSV point lists (*.csv)|*.csv|DNP3 Device Profiles (*.xml)|*.xml");
}

// --- the word budget ---

TEST_F(DeskTest, WordBudgetTexts)
{
    const struct {
        int used;
        bool over;
        const char* text;
    } cases[] = {{0, false, "0 of 240 words"}, {183, false, "183 of 240 words"}, {240, false, "240 of 240 words"},
                 {241, true, "241 of 240 words"}};
    for (const auto& c : cases) {
        EXPECT_EQ(WordBudget{c.used}.over(), c.over) << c.used;
        EXPECT_EQ(WordBudget{c.used}.text(), c.text);
    }
    EXPECT_EQ(WordBudget{250}.overText(), "The Class 0 points take 250 words; the panel takes 240.");
    EXPECT_EQ(WordBudget{251}.removeText(), "Class 0 takes 251 of the panel's 240 words; remove points in the Class 0 editor.");
    EXPECT_EQ(wordBudget(richConfiguration()).used, 42);
}

// --- the overview ---

TEST_F(DeskTest, TheOverviewCountsThePointsOfEachClassAndTellsTheLastTransfer)
{
    DeskOverview overview = ws.overview();
    EXPECT_EQ(overview.points, (std::array<std::array<int, 4>, kPointTypeCount>{}));
    EXPECT_EQ(overview.words.used, 0);
    EXPECT_EQ(overview.mapping, "Individual Mapping (per this document)");
    EXPECT_EQ(overview.port, "COM 1 (/dev/ttyS0), 9600 baud");
    EXPECT_EQ(overview.lastTransfer, "None in this run");
    EXPECT_EQ(overview.folder, "Not saved yet");
    EXPECT_EQ(overview.firstStep, "Choose Class 0 points: Configuration > Class 0");

    ConfigState rich = richConfiguration();
    rich.UnsolicitedSettings = {25, eventsWordOf(3, 10), 1000, eventsWordOf(0, 255), 0, eventsWordOf(1, 0)};
    use(rich);
    overview = ws.overview();
    const std::array<std::array<QString, 3>, kUnsolicitedRowCount> unsolicited = {{
        {"2.5 %", "100 %", "0 %"}, {"3", "0", "1"}, {"10", "255", "0"}}};
    EXPECT_EQ(overview.unsolicited, unsolicited);
    EXPECT_EQ(overview.firstStep, "");
    ASSERT_TRUE(ws.document().save(path("feeder12.dnp")));
    EXPECT_EQ(ws.overview().folder, QDir::toNativeSeparators(dir.path()));
    const std::array<std::array<int, 4>, kPointTypeCount> counts = {{
        {3, 1, 0, 0},   // Bin
        {2, 0, 0, 0},   // Bout
        {4, 0, 2, 1},   // Ain
        {4, 1, 0, 0},   // Aout
        {10, 0, 0, 1},  // Counters
    }};
    EXPECT_EQ(overview.points, counts);
    EXPECT_EQ(overview.words.used, 42);

    ASSERT_TRUE(send());
    EXPECT_EQ(ws.overview().lastTransfer, "Send: OK at 14:07");
    panel = silentPanelAt({1});
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(ws.overview().lastTransfer, "Retrieve: failed (no answer) at 14:07");

    ASSERT_TRUE(ws.settings().change(
        {.baudItem = 0, .connectorItem = 2, .addressingItem = 1, .parityItem = 1, .addressText = "5", .portDevices = {}}));
    EXPECT_EQ(ws.overview().port, "COM 2 (/dev/ttyS1), 19200 baud, even parity, address 5");
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=2\nAddressing=1\nAddress=261\n");
    ASSERT_TRUE(ws.settings().reload());
    EXPECT_EQ(ws.overview().port, "COM 2 (/dev/ttyS1), 9600 baud, address 261 (not from 0 to 255)");
    ASSERT_TRUE(ws.settings().change({.baudItem = 1, .connectorItem = 0, .addressingItem = 0, .parityItem = 0,
                                   .addressText = "1", .portDevices = {}}));
    EXPECT_EQ(ws.overview().port, "None chosen");
}

// A saved trace is offered under its device and the moment its command began.
TEST_F(DeskTest, TraceFileNamesNameTheDeviceAndTheStart)
{
    const struct {
        const char* device;
        const char* name;
    } cases[] = {{"/dev/ttyUSB0", "trace-ttyUSB0-20240305-140709.txt"},
                 {"/dev/serial/by-id/usb-FTDI if00", "trace-serial-by-id-usb-FTDI-if00-20240305-140709.txt"},
                 {"tcp://10.1.2.3:4001", "trace-10.1.2.3-4001-20240305-140709.txt"},
                 {"tls://[fd00::7]:4001", "trace-fd00-7-4001-20240305-140709.txt"}};
    for (const auto& c : cases) {
        PanelOutcome outcome;
        outcome.device = c.device;
        outcome.started = fixedNow();
        EXPECT_EQ(traceFileName(outcome), c.name);
    }
}

TEST_F(DeskTest, LastTransferTexts)
{
    const struct {
        PanelAction action;
        PanelResult result;
        TransferOutcome transfer;
        int count;  // differing words, messages written, or (cancelled) frames that went
        const char* text;
    } cases[] = {
        {PanelAction::Send, PanelResult::Ok, TransferOutcome::Success, 0, "Send: OK at 09:05"},
        {PanelAction::Verify, PanelResult::Differs, TransferOutcome::Success, 12, "Verify: panel differs (12 words) at 09:05"},
        {PanelAction::Send, PanelResult::Differs, TransferOutcome::Success, 1, "Send: panel differs (1 word) at 09:05"},
        {PanelAction::Send, PanelResult::Incomplete, TransferOutcome::Cancelled, 7, "Send: incomplete (7 of 18 written) at 09:05"},
        {PanelAction::Send, PanelResult::Incomplete, TransferOutcome::NotResponding, 0,
         "Send: incomplete (message 1 of 18 may be written) at 09:05"},
        {PanelAction::Retrieve, PanelResult::Failed, TransferOutcome::NotResponding, 0, "Retrieve: failed (no answer) at 09:05"},
        {PanelAction::Verify, PanelResult::Failed, TransferOutcome::StatusError, 0, "Verify: failed (status error) at 09:05"},
        {PanelAction::Send, PanelResult::Failed, TransferOutcome::Refused, 0, "Send: failed (refused) at 09:05"},
        {PanelAction::Test, PanelResult::Failed, TransferOutcome::PortError, 0, "Test: failed (port error) at 09:05"},
        {PanelAction::Retrieve, PanelResult::Cancelled, TransferOutcome::Cancelled, 1, "Retrieve: cancelled at 09:05"},
        {PanelAction::Send, PanelResult::Cancelled, TransferOutcome::Cancelled, 0, "Send: not started at 09:05"},
    };
    for (const auto& c : cases) {
        PanelOutcome outcome;
        outcome.action = c.action;
        outcome.result = c.result;
        outcome.transfer = c.transfer;
        outcome.differingWords = outcome.written = c.count;
        if (c.result == PanelResult::Cancelled)
            outcome.trace.resize(static_cast<std::size_t>(c.count));
        outcome.ended = QDateTime(QDate(2024, 3, 5), QTime(9, 5, 2));
        EXPECT_EQ(lastTransferText(outcome), c.text);
    }
    EXPECT_EQ(lastTransferText(std::nullopt), "None in this run");
}

// --- the differences table ---

TEST_F(DeskTest, TheDifferencesTableNamesTypesInFullAndNumbersPointsOnlyInOne)
{
    ConfigState a;
    setClass0(a, PointType::Bin, {9, 2, 5});
    a.setSelected(1, PointType::Bin, 2, true);
    ConfigState b;
    setClass0(b, PointType::Bin, {2, 7});
    setClass0(b, PointType::Aout, {57, 72});
    QStringList rows;
    for (const ConfigDifference& d : compareConfigurations(a, b))
        rows << differenceTableRow(d, a, b).join('|');
    const PointCatalog& catalog = PointCatalog::instance();
    EXPECT_EQ(rows, (QStringList{
                        "0|Binary Input|Remote Control|only in A|2|",
                        "0|Binary Input|Auto Inhibit Terminal Block Input|only in A|0|",
                        "0|Binary Input|Neutral Signal|only in B||1",
                        "0|Binary Input|Auto Inhibit Status|renumbered|1|0",
                        "0|Analog Output|" + catalog.point(PointType::Aout, 57).shortName + "|only in B||0\u20131",
                        "0|Analog Output|" + catalog.point(PointType::Aout, 72).shortName + "|only in B||2\u20136",
                        "1|Binary Input|Auto Inhibit Status|only in A|1|",
                    }));
}

}  // namespace
