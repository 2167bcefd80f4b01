// The workspace headless: the file commands with their dialogs and confirmations,
// the report, the editors' verbs, and the road of a configuration through a send and
// a retrieve.

#include "support/DocumentProbe.h"
#include "app/gui/DeskCommands.h"
#include "comm/ReadPlan.h"

#include "comm/ImageText.h"
#include "comm/LineTrace.h"
#include "comm/SerialPort.h"
#include "files/Report.h"
#include "model/Marks.h"
#include "model/Regional.h"
#include "support/DeskRig.h"
#include "model/Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace dnp;
using namespace dnp::test;

namespace {

class DeskCommandsTest : public ::testing::Test, public DeskRig {
protected:
    // Everything a command could change, as one comparable text.
    QByteArray snapshot() const
    {
        const ConfigState& state = ws.document().state();
        QByteArray s = composeConfigFile(state, fixedNow());
        s += ws.document().lastSavedPath().toUtf8() + "|" + ws.document().filePath().toUtf8();
        for (const auto& table : state.Class0Order)
            for (std::int32_t v : table)
                s += QByteArray::number(v) + ",";
        for (const auto& selection : state.ClassSelection)
            s += QByteArray(reinterpret_cast<const char*>(selection.data()), selection.size());
        return s;
    }
    QList<Shown> shownOf(Shown::Kind kind) const
    {
        QList<Shown> list;
        for (const Shown& s : prompts.shown)
            if (s.kind == kind)
                list << s;
        return list;
    }
    // The report's file part, after the Report Header dialog's OK with its first texts.
    bool writeReport()
    {
        return ws.reportWithDialog([this] { return std::optional(ws.document().firstReportHeaderTexts()); });
    }
    const ConfigState& state = ws.document().state();
};

// --- Open ---

TEST_F(DeskCommandsTest, OpenDialogSettingsAndCancelChangesNothing)
{
    use(richConfiguration());
    const QByteArray before = snapshot();
    prompts.saveChoices = {SaveChoice::Discard};
    EXPECT_FALSE(ws.openWithDialog());
    const QList<Shown> dialogs = shownOf(Shown::OpenDialog);
    ASSERT_EQ(dialogs.size(), 1);
    const FileDialogSettings& d = dialogs[0].dialog;
    EXPECT_EQ(d.title, "Open Configuration");
    EXPECT_EQ(d.filter, "DNP configurations (*.dnp)|*.dnp|All files (*)|*");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(inspect(ws.document()).caption(), "DNP Configure");
}

TEST_F(DeskCommandsTest, OpenReplacesTheWholeConfiguration)
{
    const ConfigState fileState = richConfiguration();
    ASSERT_TRUE(writeFileBytes(path("feeder.dnp"), composeConfigFile(fileState, fixedNow())));
    ConfigState stale;
    setClass0(stale, PointType::Bin, {0, 1, 4});  // points the file does not select
    stale.setSelected(2, PointType::Aout, 5, true);
    stale.UnsolicitedSettings = {1, 1, 1, 1, 1, 1};
    use(stale);
    ASSERT_TRUE(ws.document().resave(path("stale.dnp"), {QStringLiteral("kept"), {}}));

    prompts.fileAnswers.push_back(path("feeder.dnp"));
    EXPECT_TRUE(ws.openWithDialog());

    EXPECT_EQ(inspect(ws.document()).caption(), "feeder.dnp");
    EXPECT_EQ(ws.document().filePath(), path("feeder.dnp"));
    EXPECT_EQ(state.ReportDescription, "kept");
    EXPECT_EQ(state.ClassSelection, fileState.ClassSelection);
    EXPECT_EQ(state.Class0Order, fileState.Class0Order);
    EXPECT_EQ(state.UnsolicitedSettings, fileState.UnsolicitedSettings);
    EXPECT_FALSE(ws.document().modified());
    EXPECT_TRUE(prompts.texts(Shown::Error).isEmpty());
}

TEST_F(DeskCommandsTest, OpenFileThatCannotBeOpenedShowsFileIoError)
{
    const QByteArray before = snapshot();
    prompts.fileAnswers.push_back(path("missing.dnp"));
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"File I/O error.\n" + path("missing.dnp") + ": No such file or directory"});
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(inspect(ws.document()).caption(), "DNP Configure");
}

TEST_F(DeskCommandsTest, OpenBrokenFileNamesFileAndLineAndChangesNothing)
{
    QList<QByteArray> lines = crlfLines(composeConfigFile(richConfiguration(), fixedNow()));
    lines.removeLast();
    ASSERT_TRUE(writeFileBytes(path("short.dnp"), joinCrlf(lines)));
    ASSERT_TRUE(writeFileBytes(path("half.dnp"), withLine(composeConfigFile(ConfigState(), fixedNow()), 9, "-1,2.5")));

    ConfigState mine;
    setClass0(mine, PointType::Ain, {7, 3});
    mine.setSelected(1, PointType::Ain, 3, true);
    mine.UnsolicitedSettings = {33, 513, 20, 256, 20, 256};
    use(mine);
    const QByteArray before = snapshot();

    prompts.saveChoices = {SaveChoice::Discard, SaveChoice::Discard};
    prompts.fileAnswers = {path("short.dnp"), path("half.dnp")};
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error),
              (QStringList{"The configuration file cannot be read.\n" + path("short.dnp")
                               + ", line 890: the file ends here, a configuration file has 890 lines",
                           "The configuration file cannot be read.\n" + path("half.dnp")
                               + ", line 9: '2.5' is not a valid integer value"}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(inspect(ws.document()).caption(), "DNP Configure");
}

// --- Save ---

TEST_F(DeskCommandsTest, SaveWritesTheFileAndRemembersThePath)
{
    use(richConfiguration());
    prompts.fileAnswers.push_back(path("a.dnp"));
    EXPECT_TRUE(ws.saveWithDialog());
    ASSERT_EQ(prompts.shown.size(), 1);
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(prompts.shown[0].kind, Shown::SaveDialog);
    EXPECT_EQ(d.fileName, "new.dnp");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(d.filter, "DNP configurations (*.dnp)|*.dnp|All files (*)|*");
    EXPECT_EQ(d.title, "Save Configuration");
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));
    EXPECT_EQ(ws.document().lastSavedPath(), path("a.dnp"));
    EXPECT_EQ(ws.document().windowCaption(), "a.dnp");  // the file just written, not modified
    EXPECT_EQ(QDir(dir.path()).entryList({"*.dnp"}, QDir::Files), QStringList{"a.dnp"});  // no temporary file left
}

TEST_F(DeskCommandsTest, SaveCancelledWritesNothing)
{
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.dnp"}, QDir::Files).isEmpty());
    EXPECT_TRUE(ws.document().lastSavedPath().isEmpty());
}

TEST_F(DeskCommandsTest, SecondSaveToTheSamePathAsksAndCancelKeepsTheFile)
{
    prompts.fileAnswers = {path("a.dnp"), path("a.dnp"), path("a.dnp"), path("b.dnp")};
    ASSERT_TRUE(ws.saveWithDialog());
    const QByteArray first = readFileBytes(path("a.dnp"));

    use(richConfiguration());
    prompts.confirmAnswers = {false, true};
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(path("a.dnp")), first);
    EXPECT_EQ(ws.document().lastSavedPath(), path("a.dnp"));

    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));

    EXPECT_TRUE(ws.saveWithDialog());  // another path: no question
    EXPECT_EQ(ws.document().lastSavedPath(), path("b.dnp"));

    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    for (const Shown& c : confirms) {
        EXPECT_EQ(c.caption, "Save confirmation");
        EXPECT_EQ(c.text, "Overwrite previously saved configuration?");
    }
}

TEST_F(DeskCommandsTest, PathComparisonIsExactAndCaseSensitive)
{
    prompts.fileAnswers = {path("A.dnp"), path("a.dnp")};
    ASSERT_TRUE(ws.saveWithDialog());
    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_TRUE(shownOf(Shown::Confirm).isEmpty());
}

// The editor's Save is Save: a configuration without a file asks for a name (the file
// last saved with the editor's own question), one with a file is written in place.
TEST_F(DeskCommandsTest, EditorSaveAsksWithItsOwnTextsAndWritesTheSameBytes)
{
    use(richConfiguration());
    prompts.fileAnswers = {path("r.txt"), path("r.txt"), path("editor.dnp")};
    ASSERT_TRUE(writeReport());
    ws.editClass(0, [] {});
    prompts.confirmAnswers = {false};
    EXPECT_TRUE(ws.saveClassEdit());  // applied; the file part cancelled
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 1);
    EXPECT_EQ(confirms[0].caption, "Save Confirmation");
    EXPECT_EQ(confirms[0].text, "Overwrite previously saved configurations?");
    const QList<Shown> dialogs = shownOf(Shown::SaveDialog);
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs[1].dialog.fileName, "new.dnp");
    EXPECT_EQ(dialogs[1].dialog.defaultExtension, "dnp");
    EXPECT_EQ(dialogs[1].dialog.filter, "DNP configurations (*.dnp)|*.dnp|All files (*)|*");

    ASSERT_TRUE(ws.saveClassEdit());
    ASSERT_TRUE(ws.document().save(path("main.dnp")));
    EXPECT_EQ(readFileBytes(path("editor.dnp")), readFileBytes(path("main.dnp")));
    EXPECT_EQ(shownOf(Shown::SaveDialog).size(), 3);
}

// --- writes that fail ---

TEST_F(DeskCommandsTest, WriteIntoAPathThatCannotExistShowsTheErrorAndKeepsLastSaved)
{
    ASSERT_TRUE(writeFileBytes(path("plain"), "not a folder"));
    const QString target = path("plain") + "/a.dnp";  // its folder is a regular file
    prompts.fileAnswers = {path("earlier.dnp"), target};
    ASSERT_TRUE(ws.saveWithDialog());
    EXPECT_FALSE(ws.saveWithDialog());
    const QStringList errors = prompts.texts(Shown::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot write " + target + ": ")) << errors[0].toStdString();
    EXPECT_EQ(ws.document().lastSavedPath(), path("earlier.dnp"));
    EXPECT_EQ(readFileBytes(path("plain")), "not a folder");
}

TEST_F(DeskCommandsTest, FailedWriteLeavesTheOldFileIntact)
{
    // A file with another hard link is not replaced.
    const QString target = path("linked.dnp");
    const QByteArray old = "old configuration\r\n";
    ASSERT_TRUE(writeFileBytes(target, old));
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(path("other.dnp")).constData()), 0);
    use(richConfiguration());
    prompts.fileAnswers = {target};
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_EQ(readFileBytes(target), old);
    EXPECT_TRUE(ws.document().lastSavedPath().isEmpty());
}

TEST_F(DeskCommandsTest, WriteIntoReadOnlyFolderLeavesTheOldFileIntact)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    const QString folder = path("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/a.dnp";
    ASSERT_TRUE(writeFileBytes(target, "old"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    prompts.fileAnswers = {target};
    EXPECT_FALSE(ws.saveWithDialog());
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_TRUE(ws.document().lastSavedPath().isEmpty());
}

// --- report and the header texts ---

TEST_F(DeskCommandsTest, ReportIsWrittenAfterTheHeaderDialogsOk)
{
    use(richConfiguration());
    prompts.fileAnswers = {path("r.txt")};
    EXPECT_TRUE(writeReport());
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(d.fileName, "new-report.txt");
    EXPECT_EQ(d.defaultExtension, "txt");
    EXPECT_EQ(d.filter, "Text files (*.txt)|*.txt|All files (*)|*");
    EXPECT_EQ(state.ReportDescription, shortDate(fixedNow().date()) + " Report");
    EXPECT_EQ(state.ReportComment, "None");
    EXPECT_EQ(readFileBytes(path("r.txt")), composeReport(state, fixedNow()));
    EXPECT_EQ(ws.document().lastSavedPath(), path("r.txt"));
}

TEST_F(DeskCommandsTest, ReportHeaderCancelWritesNothing)
{
    prompts.fileAnswers = {path("r.txt")};
    EXPECT_FALSE(ws.reportWithDialog([] { return std::optional<ReportHeaderTexts>(); }));
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(path("r.txt")));
    EXPECT_TRUE(state.ReportDescription.isEmpty());
}

TEST_F(DeskCommandsTest, ReportAndConfigurationShareTheFileLastSaved)
{
    prompts.fileAnswers = {path("x"), path("x"), path("x")};
    ASSERT_TRUE(ws.saveWithDialog());
    const QByteArray configuration = readFileBytes(path("x"));
    EXPECT_FALSE(writeReport());  // asks, OK, and is refused: x holds the configuration
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{path("x") + " is the configuration being read; choose another file."});
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(ws.saveWithDialog());  // asks, Cancel
    EXPECT_EQ(readFileBytes(path("x")), configuration);
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    for (const Shown& c : confirms) {
        EXPECT_EQ(c.caption, "Save confirmation");
        EXPECT_EQ(c.text, "Overwrite previously saved configuration?");
    }
}

// dnpcfg's verbs: the header texts a report or a resave takes, and the files they write.
TEST_F(DeskCommandsTest, ResaveAndReportTakeTheHeaderTextsGiven)
{
    use(richConfiguration());
    EXPECT_EQ(ws.document().firstReportHeaderTexts().description, shortDate(fixedNow().date()) + " Report");
    EXPECT_EQ(ws.document().firstReportHeaderTexts().comment, "None");
    ASSERT_TRUE(ws.document().resave(path("a.dnp"), {"Feeder 3", "tested"}));
    QList<QByteArray> lines = crlfLines(readFileBytes(path("a.dnp")));
    EXPECT_EQ(lines[1], "Description: Feeder 3");
    EXPECT_EQ(lines[2], "Comment:     tested");
    ASSERT_TRUE(ws.document().writeReport(path("r.txt"), {"Feeder 4", "again"}));
    lines = crlfLines(readFileBytes(path("r.txt")));
    EXPECT_EQ(lines[1], "Description: Feeder 4");
    EXPECT_EQ(lines[2], "Comment:     again");
    EXPECT_EQ(inspect(ws.document()).caption(), "a.dnp");  // the report is no configuration file
}

// --- the editors ---

// A file opened and OK'd unchanged in every editor is written byte for byte as it was.
TEST_F(DeskCommandsTest, AFileOpenedAndOkdUnchangedIsWrittenAsItWas)
{
    ConfigState odd = richConfiguration();
    odd.setSelected(1, PointType::Bin, 9, true);  // in Classes 1 and 2 at once, as a file may hold it
    odd.setSelected(2, PointType::Bin, 9, true);
    const QByteArray file = composeConfigFile(odd, fixedNow());
    ASSERT_TRUE(writeFileBytes(path("odd.dnp"), file));
    ASSERT_TRUE(ws.document().open(path("odd.dnp")));
    ASSERT_TRUE(ws.document().resave(path("back.dnp"), {odd.ReportDescription, odd.ReportComment}));
    ASSERT_EQ(readFileBytes(path("back.dnp")), file);
    for (int cls = 0; cls <= 3; ++cls) {
        ws.editClass(cls, [] {});
        ASSERT_TRUE(ws.applyClassEdit()) << cls;
    }
    EXPECT_FALSE(ws.document().modified());
    ASSERT_TRUE(ws.document().save(path("back.dnp")));
    EXPECT_EQ(readFileBytes(path("back.dnp")), file);
}

// OK keeps what the window shows: the group and harmonic buttons after an Open and after
// a retrieve.
TEST_F(DeskCommandsTest, SetAndHarmonicButtonsAfterAnOpenAreKept)
{
    ASSERT_TRUE(writeFileBytes(path("f.dnp"), composeConfigFile(richConfiguration(), fixedNow())));
    ASSERT_TRUE(ws.document().open(path("f.dnp")));
    ws.editClass(0, [] {});
    ws.setGroup(0);          // 14 instantaneous meter values
    ws.toggleHarmonics(6);   // % of fundamental: 10 more
    ASSERT_TRUE(ws.applyClassEdit());
    EXPECT_TRUE(ws.document().modified());
    EXPECT_EQ(ws.document().windowCaption(), "f.dnp *");
    const PointGroup& inst = groupOf(ListTag::InstCLB);
    const PointGroup& harm = groupOf(ListTag::HarmCLB);
    for (int row = 0; row < 14; ++row)
        EXPECT_EQ(state.ClassSelection[0][inst.base + row], 1);
    for (int row = 102; row < 112; ++row)
        EXPECT_EQ(state.ClassSelection[0][harm.base + row], 1);
    // Reopened, the editor shows them; the file keeps them.
    ws.editClass(0, [] {});
    EXPECT_EQ(ws.document().classEditor().item(ListTag::InstCLB, 13), ItemState::Checked);
    ASSERT_TRUE(ws.document().save(path("g.dnp")));
    ASSERT_TRUE(ws.document().open(path("g.dnp")));
    EXPECT_EQ(state.ClassSelection[0][inst.base + 5], 1);

    ws.editClass(0, [] {});
    ws.clearGroup(0);
    ASSERT_TRUE(ws.applyClassEdit());
    EXPECT_EQ(state.ClassSelection[0][inst.base + 5], 0);
}

TEST_F(DeskCommandsTest, SetButtonsAfterARetrieveAreKept)
{
    use(richConfiguration());
    ASSERT_TRUE(send());
    ASSERT_TRUE(ws.newConfiguration());
    ASSERT_TRUE(retrieve());
    ws.showClass0Selection([] {});
    ws.setGroup(6);  // demand values
    ASSERT_TRUE(ws.applyClassEdit());
    const PointGroup& demand = groupOf(ListTag::DmdCLB);
    for (int row = 0; row < 14; ++row)
        EXPECT_EQ(state.ClassSelection[0][demand.base + row], 1);
    // The points retrieved stay, in the panel's order, the new ones after them.
    EXPECT_EQ(state.class0Sequence(PointType::Bin), richConfiguration().class0Sequence(PointType::Bin));
}

TEST_F(DeskCommandsTest, ClearAsksFirstAndEmptiesAllClasses)
{
    use(richConfiguration());
    ws.editClass(2, [] {});
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(ws.clearClassEdit());
    EXPECT_EQ(state.ClassSelection, richConfiguration().ClassSelection);
    EXPECT_TRUE(ws.clearClassEdit());
    ASSERT_EQ(shownOf(Shown::Confirm).size(), 2);
    EXPECT_EQ(shownOf(Shown::Confirm)[0].caption, "Clear");
    EXPECT_EQ(shownOf(Shown::Confirm)[0].text, kClearAllText);
    EXPECT_EQ(state.content().class0, ConfigState().content().class0);
    EXPECT_EQ(ws.document().classEditor().item(ListTag::BinCLB, 9), ItemState::Greyed);
}

TEST_F(DeskCommandsTest, ARefusedFieldNamesItselfAndAppliesNothing)
{
    ws.editClass(1, [] {});
    ws.editUnsolicited({"2", "300", "0"});
    const Result<void> applied = ws.applyClassEdit();
    ASSERT_FALSE(applied);
    EXPECT_EQ(applied.error().field(), static_cast<int>(UnsolicitedField::MinEvents));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{kEventsRangeText});
    EXPECT_EQ(state.UnsolicitedSettings, kDefaultUnsolicited);
}

// --- the panel ---

// A workspace whose panel is the simulator's, with a configuration of every kind.
class DeskTransferTest : public DeskCommandsTest {
protected:
    void SetUp() override
    {
        QObject::connect(&ws, &DeskCommands::panelCommandEnded, [this](const PanelOutcome& o) { ended << o.transfer; });
    }
    // How the last transfer of each panel command ended.
    QList<TransferOutcome> ended;
};

TEST_F(DeskTransferTest, SendAndRetrieveTellTheirOutcomeAndTheRetrieveIsApplied)
{
    use(richConfiguration());
    const ConfigState sent = state;
    EXPECT_TRUE(send());
    EXPECT_EQ(prompts.texts(), QStringList{"Sending communication status: OK.."});
    EXPECT_EQ(prompts.shown[0].kind, Shown::Information);
    EXPECT_EQ(panel.image, *ws.document().image(Mapping::Individual));
    EXPECT_EQ(link.target.label(), "COM 1 (" + portDeviceName(1) + ")");

    ASSERT_TRUE(ws.newConfiguration());
    prompts.shown.clear();
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(prompts.texts(), QStringList{"Retrieving communication status: OK.."});
    EXPECT_EQ(ended, (QList<TransferOutcome>{TransferOutcome::Success, TransferOutcome::Success}));
    for (PointType t : kAllPointTypes)
        EXPECT_EQ(state.class0Sequence(t), sent.class0Sequence(t)) << pointTypeName(t).toStdString();
    EXPECT_EQ(state.UnsolicitedSettings, sent.UnsolicitedSettings);
    EXPECT_EQ(ws.document().order().retrievedMapping(), Mapping::Individual);
    EXPECT_EQ(ws.document().order().retrievedTexts(PointType::Bin).size(), 3);
    // Sent again, the retrieved configuration is the same image.
    const ConfigImage first = panel.image;
    EXPECT_TRUE(send());
    EXPECT_EQ(panel.image, first);
}

// A retrieve is unsaved work even when it equals what was open: it came from the panel.
// Saved, it is not any more.
TEST_F(DeskTransferTest, ARetrieveIsUnsavedUntilSaved)
{
    use(richConfiguration());
    ASSERT_TRUE(send());
    ASSERT_TRUE(retrieve());
    ASSERT_TRUE(ws.document().save(path("a.dnp")));
    EXPECT_FALSE(ws.document().modified());
    EXPECT_EQ(ws.document().windowCaption(), "a.dnp");
    const ConfigContent saved = state.content();
    ASSERT_TRUE(retrieve());
    EXPECT_EQ(state.content(), saved);
    // A new configuration: Save asks for a name, a.dnp is never written over by it.
    EXPECT_TRUE(ws.document().modified());
    EXPECT_EQ(ws.document().windowCaption(), "Retrieved from COM 1 at 14:07 *");
    EXPECT_EQ(ws.document().filePath(), "");
    ASSERT_TRUE(ws.document().save(path("b.dnp")));
    EXPECT_FALSE(ws.document().modified());
    EXPECT_EQ(ws.document().windowCaption(), "b.dnp");
}

TEST_F(DeskTransferTest, ARetrieveReplacesTheWholeConfiguration)
{
    ConfigState mine;
    setClass0(mine, PointType::Ain, {5, 6});
    mine.setSelected(1, PointType::Ain, 5, true);
    use(mine);
    panel.image[0] = 8;
    panel.image[249] = 1;  // one binary output, nothing else
    panel.image[252] = 2;
    for (int w : {248, 250, 251, 253})
        panel.image[w] = 0xFFFF;
    panel.image[255] = 2;
    panel.image[1] = 2693;
    panel.image[2] = 554;
    ASSERT_TRUE(retrieve());
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Bout)], (std::vector<std::int32_t>{-1, -1, 2, -1}));
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Ain)], std::vector<std::int32_t>(364, -1));
    EXPECT_FALSE(state.selected(1, PointType::Ain, 5));
    EXPECT_EQ(ws.document().order().orderList(PointType::Bout), std::vector<int>{2});
}

TEST_F(DeskTransferTest, ARetrieveThatStopsEarlyChangesNothing)
{
    panel = silentPanelAt({18});
    panel.image[241] = 99;
    use(richConfiguration());
    const ConfigState before = state;
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::NotResponding});
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ZE-P(L) is not responding!\nMessage 18 of 18 was not answered.\n"
                                                       "No answer on COM 1 (/dev/ttyS0) at 9600 baud."});
    EXPECT_EQ(state.UnsolicitedSettings, before.UnsolicitedSettings);
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(state.Class0Order, before.Class0Order);
}

TEST_F(DeskTransferTest, ABadStatusIsToldAndARetrieveIsStillApplied)
{
    ConfigState mine;
    setClass0(mine, PointType::Bin, {2});
    use(mine);
    ASSERT_TRUE(send());
    const ConfigImage sent = panel.image;
    panel = badStatusPanelAt({1});
    panel.image = sent;
    ASSERT_TRUE(ws.newConfiguration());
    prompts.shown.clear();
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(prompts.texts(), QStringList{"System or data error has occurred.\nReply to message 1 of 18 carried status 0x10."});
    EXPECT_EQ(ended.last(), TransferOutcome::StatusError);
    EXPECT_EQ(state.class0Sequence(PointType::Bin), std::vector<int>{2});

    panel = badStatusPanelAt({1});
    prompts.shown.clear();
    EXPECT_FALSE(send());
    EXPECT_EQ(prompts.texts(), QStringList{"System error or data error has occurred.\nReply to message 1 of 18 carried status 0x10.\n"
                                           "The panel may hold a partly written configuration: messages 2 to 18 of 18 were written."});
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Incomplete);
    EXPECT_EQ(ws.session().lastOutcome()->written, 17);
}

TEST_F(DeskTransferTest, RefusalsPortErrorsAndOneTransferAtATime)
{
    EXPECT_FALSE(send());  // nothing chosen: refused before the port is touched
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_FALSE(link.opened);
    EXPECT_TRUE(link.target.device.isEmpty());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"No configurations chosen, please return to class menu."});
    EXPECT_EQ(ended.last(), TransferOutcome::Refused);

    ConfigState mine;
    setClass0(mine, PointType::Bin, {0});
    use(mine);
    link.openFails = true;
    prompts.shown.clear();
    EXPECT_FALSE(send());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ie_BadId - Specified comport doesn't exist\nPort COM 1 "
                                                       "(/dev/ttyS0) does not exist. Choose a port in Communication "
                                                       "Settings."});
    EXPECT_EQ(ended.last(), TransferOutcome::PortError);

    link.openFails = false;
    link.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    prompts.shown.clear();
    (void)ws.session().send(ws.document(), Mapping::Individual, false);
    ASSERT_TRUE(ws.transferRunning());
    ws.retrieve();
    ws.sendInChosenMapping();
    ws.editClass(0, [] { ADD_FAILURE() << "the editor opened during a transfer"; });
    EXPECT_FALSE(ws.newConfiguration());
    EXPECT_EQ(link.sent.size(), 1);
    EXPECT_EQ(prompts.texts(), QStringList(4, kTransferUnderWayText));
    ws.cancelTransfer();
}

TEST_F(DeskTransferTest, FailuresTellTheMessageAndWhatWasWrong)
{
    ConfigState mine;
    setClass0(mine, PointType::Bin, {1});
    use(mine);
    panel = silentPanelAt({7});
    EXPECT_FALSE(send());
    EXPECT_EQ(prompts.texts(Shown::Error),
              QStringList{"ZE-P(L) is not responding!\nMessage 7 of 18 was not answered.\nThe panel may hold a partly "
                          "written configuration: messages 1 to 6 of 18 were written.\n"
                          "No answer on COM 1 (/dev/ttyS0) at 9600 baud."});
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Incomplete);
    EXPECT_EQ(ws.session().lastOutcome()->written, 6);

    // Five stray zeros before reply 2 of a retrieve: a data error, nothing applied.
    const ConfigState before = state;
    panel = sim::Panel(std::nullopt, {});
    link.panel = [&](const QByteArray& frame) {
        FakeReply reply = simulatedPanel(panel)(frame);
        if (link.sent.size() == 2)
            reply.bytes.prepend(QByteArray(5, '\0'));
        return reply;
    };
    link.sent.clear();
    prompts.shown.clear();
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(prompts.texts(Shown::Error),
              QStringList{"System or data error has occurred.\nReply to message 2 of 18: length byte 0, expected 40."});
    EXPECT_EQ(ended.last(), TransferOutcome::DataError);
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(state.Class0Order, before.Class0Order);
}

TEST_F(DeskTransferTest, AClosedRetrieveWindowCancelsItsRetrieveAndChangesNothing)
{
    use(richConfiguration());
    const ConfigState before = state;
    link.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    ws.showOrderWindow(SortMode::Retrieve, [] {});
    ws.retrieve();
    ASSERT_TRUE(ws.transferRunning());
    ws.closeOrderWindow(false);
    EXPECT_FALSE(ws.transferRunning());
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::Cancelled});
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(link.sent.size(), 1);
}

// Two retrieves in one run, from two panels: each shows its own.
TEST_F(DeskTransferTest, EachRetrieveShowsItsOwnPanel)
{
    ConfigState first;
    setClass0(first, PointType::Ain, {3, 1});
    use(first);
    ASSERT_TRUE(send());
    const ConfigImage firstImage = panel.image;
    ConfigState second;
    setClass0(second, PointType::Bin, {4});
    use(second);
    ASSERT_TRUE(send());
    const ConfigImage secondImage = panel.image;

    for (const bool isFirst : {true, false}) {
        panel.image = isFirst ? firstImage : secondImage;
        ASSERT_TRUE(retrieve());
        EXPECT_EQ(ws.document().order().retrievedTexts(PointType::Ain).size(), isFirst ? 2 : 0);
        EXPECT_EQ(ws.document().order().retrievedTexts(PointType::Bin).size(), isFirst ? 0 : 1);
        EXPECT_EQ(state.class0Sequence(PointType::Ain), isFirst ? (std::vector<int>{3, 1}) : std::vector<int>{});
    }
}

// The marks the panel receives are those of the selections, whatever was edited before.
TEST_F(DeskTransferTest, AClass3PointCarriesTheClass3MarkInIndividualMapping)
{
    ConfigState mine;
    setClass0(mine, PointType::Bin, {3, 4});
    mine.setSelected(3, PointType::Bin, 3, true);
    use(mine);
    ASSERT_TRUE(send());
    EXPECT_EQ(panel.image[1], 0x4000 | 2607);
    EXPECT_EQ(panel.image[2], 2608);
}

TEST_F(DeskTransferTest, ASendWithVerifyReadsThePanelBackOnlyAfterASuccessfulSend)
{
    use(richConfiguration());
    EXPECT_TRUE(send(true));
    EXPECT_EQ(ended, (QList<TransferOutcome>{TransferOutcome::Success}));
    const ConfigImage sent = ws.document().image(Mapping::Individual).value();
    EXPECT_EQ(link.sent.size(), 18 + qsizetype(readPlan(sent, MessageSet().set()).size()));
    EXPECT_EQ(prompts.texts().last(), "Sending communication status: OK..\nThe panel holds the configuration that was sent.");
    ASSERT_TRUE(ws.session().lastOutcome());
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Ok);

    // A panel that refuses the send: no read follows.
    panel = badStatusPanelAt({3});
    link.sent.clear();
    ended.clear();
    EXPECT_FALSE(send(true));
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::StatusError});
    EXPECT_EQ(link.sent.size(), 18);
    for (const QByteArray& frame : link.sent)
        EXPECT_EQ(static_cast<std::uint8_t>(frame[1]), frames::kWriteCommand);
}

// A send that stopped at message 7 left the panel partly written: a verify says so
// instead of listing every point as missing.
TEST_F(DeskTransferTest, AVerifyOfAPartlyWrittenPanelSaysItHoldsAnIncompleteConfiguration)
{
    use(richConfiguration());
    panel = silentPanelAt({7});
    EXPECT_FALSE(send());
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Incomplete);
    panel = sim::Panel(std::nullopt, {});
    panel.image = *ws.document().image(Mapping::Individual);
    std::fill(panel.image.begin() + 6 * kWordsPerMessage, panel.image.end(), 0);
    prompts.shown.clear();
    EXPECT_FALSE(run([&] { (void)ws.session().verify(ws.document(), Mapping::Individual, "a.dnp"); }));
    EXPECT_TRUE(prompts.texts(Shown::Differences).isEmpty());
    ASSERT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_TRUE(prompts.texts(Shown::Error)[0].startsWith("The panel does not hold a.dnp: "));
    EXPECT_TRUE(prompts.texts(Shown::Error)[0].contains("\nThe panel holds an incomplete configuration. ")) << prompts.texts(Shown::Error)[0].toStdString();
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Differs);
}

TEST_F(DeskTransferTest, AVerifyOfASilentPanelSaysSoAndFails)
{
    use(richConfiguration());
    QSet<int> fromTheSecond;
    for (int request = 2; request < 80; ++request)
        fromTheSecond.insert(request);
    panel = silentPanelAt(fromTheSecond);
    EXPECT_FALSE(run([&] { (void)ws.session().verify(ws.document(), Mapping::Individual, path("a.dnp")); }));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ZE-P(L) is not responding!\nMessage 2 of 18 was not answered.\n"
                                                       "No answer on COM 1 (/dev/ttyS0) at 9600 baud."});
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Failed);

    // A panel that holds another configuration: the differences are told.
    panel = sim::Panel(std::nullopt, {});
    prompts.shown.clear();
    EXPECT_FALSE(run([&] { (void)ws.session().verify(ws.document(), Mapping::Individual, "a.dnp"); }));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{});
    ASSERT_EQ(prompts.texts(Shown::Differences).size(), 1);
    EXPECT_EQ(prompts.texts(Shown::Differences)[0].section('\n', 0, 1),
              "The panel does not hold a.dnp: 54 words differ.\nDifferences (A: the configuration, B: the panel):");
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Differs);
    EXPECT_EQ(ws.session().lastOutcome()->differingWords, 54);
}

TEST_F(DeskTransferTest, NoPortChosenAsksOnceASend)
{
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=0\n[Ports]\nCOM7=/dev/fake7\n");
    ASSERT_TRUE(ws.settings().reload());
    use(richConfiguration());
    // Cancel in Select Port: nothing told, nothing started.
    EXPECT_FALSE(send());
    ASSERT_EQ(prompts.shown.size(), 1);  // Select Port alone
    EXPECT_EQ(prompts.shown[0].kind, Shown::SelectPort);
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Cancelled);
    EXPECT_EQ(lastTransferText(ws.session().lastOutcome()), "Send: not started at 14:07");
    EXPECT_TRUE(link.sent.isEmpty());
    // A device typed there is the device of this send.
    prompts.portAnswers = {QString("tcp://10.1.2.3:4001")};
    EXPECT_TRUE(send());
    EXPECT_EQ(link.target.device, "tcp://10.1.2.3:4001");
    EXPECT_EQ(link.target.comNumber, 0);
    prompts.shown.clear();
    prompts.portAnswers = {7, 7};
    EXPECT_TRUE(send(true));
    EXPECT_EQ(link.target.device, "/dev/fake7");
    EXPECT_EQ(link.target.comNumber, 7);
    EXPECT_EQ(shownOf(Shown::SelectPort).size(), 1);  // not again for the verify
    EXPECT_TRUE(send());
    EXPECT_EQ(shownOf(Shown::SelectPort).size(), 2);  // but for the next send
}

// dnpcfg's link options: the baud rate, parity and address the port and the frames get.
TEST_F(DeskTransferTest, TheLinkOverrideReachesThePortAndTheFrames)
{
    // The address given for the transfer stands, whatever the stored one is.
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\nAddressing=1\nAddress=300\n");
    ASSERT_TRUE(ws.settings().reload());
    ws.session().overrideLink({QStringLiteral("/dev/fake"), 19200, true, 7});
    panel = sim::Panel(7, {});
    use(richConfiguration());
    EXPECT_TRUE(send());
    EXPECT_EQ(link.target.device, "/dev/fake");
    EXPECT_EQ(link.target.label(), "/dev/fake");
    EXPECT_EQ(link.requested.parity, PortParity::Even);
    EXPECT_EQ(static_cast<std::uint8_t>(link.sent[0][0]), 7);  // the address byte
}

TEST_F(DeskTransferTest, EvenParityInTheSettingsReachesThePort)
{
    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\nParity=1\nBaud=2\n");
    ASSERT_TRUE(ws.settings().reload());
    use(richConfiguration());
    EXPECT_TRUE(send());
    EXPECT_EQ(link.requested.parity, PortParity::Even);
}

// A panel image no configuration gives (a point listed twice) is refused, unless
// CheckRetrievedImage=0 says to take it as it comes.
TEST_F(DeskTransferTest, CheckRetrievedImageZeroTakesAnImageTheCheckRefuses)
{
    use(richConfiguration());
    panel.image = *ws.document().image(Mapping::Individual);
    panel.image[2] = panel.image[1];
    ASSERT_TRUE(ws.newConfiguration());
    EXPECT_FALSE(retrieve());
    EXPECT_TRUE(prompts.texts(Shown::Error).last().startsWith("System or data error has occurred.\n"
                                                              "The panel holds an incomplete configuration. Word 2 "));
    EXPECT_EQ(state.content(), ConfigState().content());

    writeFileBytes(path("DNP.ini"), "[Comm]\nComPort=1\nCheckRetrievedImage=0\n");
    ASSERT_TRUE(ws.settings().reload());
    EXPECT_TRUE(retrieve());
    EXPECT_NE(state.content(), ConfigState().content());
}

// dnpcfg decode: an image text mapped back as a completed retrieve; a point listed twice
// takes one slot of the order.
TEST_F(DeskTransferTest, DecodeAppliesTheImageAsARetrieve)
{
    use(richConfiguration());
    ConfigImage image = *ws.document().image(Mapping::Individual);
    image[2] = image[1];  // the first binary input listed twice
    ASSERT_TRUE(writeFileBytes(path("image.txt"), formatImageText(image).toLatin1()));
    const Result<RetrievedConfig> decoded = ws.document().decode(path("image.txt"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->order.of(PointType::Bin), (std::vector<int>{9, 9, 5}));
    EXPECT_EQ(state.class0Sequence(PointType::Bin), (std::vector<int>{9, 5}));
    EXPECT_TRUE(ws.document().modified());
    EXPECT_EQ(ws.document().decode(path("missing.txt")).error().message, path("missing.txt") + ": No such file or directory");
}

}  // namespace

// --- the panel at the desk ---

TEST_F(DeskTransferTest, TheTestReadsMessageOneAndSaysWhetherThePanelAnswered)
{
    EXPECT_TRUE(run([&] { ws.testPanel(); }));
    EXPECT_EQ(prompts.texts(), QStringList{kPanelAnsweredText});
    ASSERT_EQ(link.sent.size(), 1);
    EXPECT_EQ(link.sent[0], frames::composeReadFrame(1, {}));

    panel = silentPanelAt({1});
    prompts.shown.clear();
    EXPECT_FALSE(run([&] { ws.testPanel(); }));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ZE-P(L) is not responding!\nMessage 1 of 18 was not answered.\n"
                                                       "No answer on COM 1 (/dev/ttyS0) at 9600 baud."});

    // The dialog's choice, before it is saved: its device, named as typed there, its baud
    // rate, nothing saved.
    panel = sim::Panel(std::nullopt, {});
    CommChoice choice = ws.settings().current().choice();
    choice.connectorItem = 2;
    choice.baudItem = 0;
    choice.portDevices[2] = path("panel");
    const QByteArray ini = readFileBytes(path("DNP.ini"));
    EXPECT_TRUE(run([&] { ws.testPanel(choice); }));
    EXPECT_EQ(link.target.label(), path("panel"));
    EXPECT_EQ(link.requested.baud, 19200);
    EXPECT_EQ(readFileBytes(path("DNP.ini")), ini);
}

// The pair every write reply and every read of equal blocks invites: a late copy of one
// reply taken for the next one's, whose request the panel missed. Played at every request
// of a send with its read-back and of a verify, over a panel that held other words: what
// the command says is what the panel holds.
TEST_F(DeskTransferTest, ALateCopyWithAMissedRequestNeverFoolsTheReadBack)
{
    use(richConfiguration());
    const ConfigImage sent = ws.document().image(Mapping::Individual).value();
    ConfigImage stale;
    stale.fill(0x1111);
    // The panel's reply to request `copyAt` comes once more, in place of the reply to the
    // request after it, which the panel never gets.
    const auto playPair = [this](int copyAt) {
        link.panel = [this, copyAt, count = 0, last = QByteArray()](const QByteArray& frame) mutable {
            if (++count == copyAt + 1)
                return FakeReply{last, false};
            FakeReply reply = simulatedPanel(panel)(frame);
            last = reply.bytes;
            return reply;
        };
    };
    const int sendRequests = kMessageCount + static_cast<int>(readPlan(sent, MessageSet().set()).size());
    for (int copyAt = 1; copyAt < sendRequests; ++copyAt) {
        SCOPED_TRACE("send, copy of the reply to request " + std::to_string(copyAt));
        panel.image = stale;
        playPair(copyAt);
        const bool ok = send(true);
        EXPECT_EQ(ok, panel.image == sent) << ws.session().lastOutcome()->message.toStdString();
        EXPECT_EQ(ok, copyAt >= kMessageCount);  // in the write pass a message was lost
        if (!ok) {  // told as not holding it, or holding part of it
            EXPECT_TRUE(ws.session().lastOutcome()->result == PanelResult::Differs ||
                        ws.session().lastOutcome()->result == PanelResult::Incomplete)
                << ws.session().lastOutcome()->message.toStdString();
        }
    }
    for (int copyAt = 1; copyAt < sendRequests - kMessageCount; ++copyAt) {
        for (const int staleWord : {-1, 40, 120, 200}) {
            SCOPED_TRACE("verify, copy at " + std::to_string(copyAt) + ", stale word " + std::to_string(staleWord));
            panel.image = sent;
            if (staleWord >= 0)
                panel.image[static_cast<std::size_t>(staleWord)] ^= 0x0100;
            playPair(copyAt);
            EXPECT_EQ(run([&] { ws.verifyPanel(); }), staleWord < 0) << ws.session().lastOutcome()->message.toStdString();
        }
    }
}

// Neighbouring reads never expect the same reply: a read of another length goes between
// blocks alike, and the first read of a second pass differs from the last of the first.
TEST(ReadPlan, NeighboursNeverExpectTheSameReply)
{
    ConfigImage sparse{};
    sparse[0] = 8;
    sparse[1] = 0x1234;
    const ConfigImage distinct = [] {
        ConfigImage image{};
        for (int w = 0; w < kImageWords; ++w)
            image[static_cast<std::size_t>(w)] = static_cast<std::uint16_t>(w);
        return image;
    }();
    const struct {
        ConfigImage image;
        MessageSet messages;
        int before;
        std::vector<int> plan;
    } cases[] = {
        {distinct, MessageSet().set(), 0, everyMessage()},
        {sparse, MessageSet("000000000000000111"), 0, {1, 2, 18, 3}},
        {sparse, MessageSet("100000000000000110"), 0, {2, 18, 3, 18}},
        {sparse, MessageSet("000000000000000100"), 2, {18, 3}},
        {sparse, MessageSet("100000000000000000"), 18, {1, 18}},
        {sparse, MessageSet("011000000000000000"), 0, {16, 18, 17}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readPlan(c.image, c.messages, c.before), c.plan) << c.messages.to_string();
    EXPECT_EQ(differingMessages(sparse, distinct), MessageSet().set());
    ConfigImage one = sparse;
    one[255] = 7;
    one[15] = 1;
    EXPECT_EQ(differingMessages(sparse, one), MessageSet("100000000000000010"));
}

TEST_F(DeskTransferTest, ProgressNamesTheSendAndTheVerifyThatFollowsIt)
{
    QStringList texts;
    QObject::connect(&ws.session(), &PanelSession::transferProgress, [&](TransferKind, int, const QString& text) { texts << text; });
    use(richConfiguration());
    ASSERT_TRUE(send(true));
    QStringList expected;
    for (int m = 1; m <= kMessageCount; ++m)
        expected << QStringLiteral("Sending message %1 of 18").arg(m);
    expected << QString();
    for (const int m : readPlan(ws.document().image(Mapping::Individual).value(), MessageSet().set()))
        expected << QStringLiteral("Verifying message %1 of 18").arg(m);
    expected << QString();
    EXPECT_EQ(texts, expected);
}

TEST_F(DeskTransferTest, ARetrieveIsTakenOnlyOnceUnsavedWorkIsAskedAbout)
{
    use(richConfiguration());
    ASSERT_TRUE(send());
    ConfigState mine;
    setClass0(mine, PointType::Bin, {4});
    use(mine);
    prompts.shown.clear();
    prompts.saveChoices = {SaveChoice::Cancel};
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(prompts.texts(), (QStringList{"Retrieving communication status: OK..", "Save changes to new.dnp?"}));
    EXPECT_EQ(state.class0Sequence(PointType::Bin), std::vector<int>{4});
    // The window's Cancel drops what was read.
    ws.closeOrderWindow(false);
    EXPECT_TRUE(ws.acceptRetrieve());
    EXPECT_EQ(state.class0Sequence(PointType::Bin), std::vector<int>{4});
}

// "Stop it and close?" shown while the transfer ends: the question goes, nothing is told
// over it, no read-back is started, and the program may end.
TEST_F(DeskTransferTest, TheExitQuestionGoesWhenTheTransferEnds)
{
    use(richConfiguration());
    ASSERT_TRUE(ws.document().save(path("a.dnp")));
    (void)ws.session().send(ws.document(), Mapping::Individual, true);
    ASSERT_TRUE(ws.transferRunning());
    prompts.whileConfirming = [&] {
        while (ws.transferRunning())
            QCoreApplication::processEvents();
    };
    EXPECT_TRUE(ws.mayExit());
    EXPECT_EQ(prompts.texts(), (QStringList{kExitDuringTransferText, {}}));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ws.transferRunning());
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::Success});
    EXPECT_EQ(link.sent.size(), kMessageCount);
}

TEST_F(DeskTransferTest, TheTraceOfABadReplySaysWhatWasWrongAndSaves)
{
    use(richConfiguration());
    panel = badStatusPanelAt({3});
    EXPECT_FALSE(send());
    const std::vector<LineEvent>& trace = ws.session().lastTrace();
    const std::vector<TraceRow> rows = traceRows(trace);
    ASSERT_EQ(trace.size(), 36u);
    for (std::size_t i = 0; i < trace.size(); ++i) {
        EXPECT_EQ(trace[i].sent, i % 2 == 0);
        EXPECT_EQ(trace[i].message, static_cast<int>(i / 2 + 1));
        EXPECT_EQ(trace[i].bytes, i % 2 == 0 ? link.sent[static_cast<qsizetype>(i / 2)] : trace[i].bytes);
        EXPECT_EQ(rows[i].problem, i == 5 ? "Reply to message 3 of 18 carried status 0x10." : QString()) << i;
    }
    // Saved under the send's heading, and offered under the device and the start's name.
    prompts.fileAnswers = {path("trace.txt")};
    ASSERT_TRUE(ws.saveTraceWithDialog());
    EXPECT_EQ(prompts.shown.last().dialog.fileName, "trace-ttyS0-20240305-140709.txt");
    const QStringList heading = {"Line trace of the send on /dev/ttyS0 at 9600 baud:",
                                 "Program: DNP Configure " + QString::fromLatin1(kVersion),
                                 "Device: /dev/ttyS0",
                                 "Baud: 9600",
                                 "Parity: none",
                                 "Address: none (addressing off)",
                                 "Started: 2024-03-05 14:07:09",
                                 "Outcome: incomplete (17 of 18 written)",
                                 ""};
    EXPECT_EQ(readFileBytes(path("trace.txt")), ((heading + traceLines(trace)).join('\n') + '\n').toUtf8());

    // A silent panel: the request that was not answered is the last line of the trace.
    panel = silentPanelAt({2});
    EXPECT_FALSE(send());
    ASSERT_EQ(ws.session().lastTrace().size(), 4u);
    EXPECT_EQ(traceRows(ws.session().lastTrace()).back().problem, "No reply came.");
}
