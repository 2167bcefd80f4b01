// The workspace headless: the file commands with their dialogs and confirmations,
// the report, and the road of a configuration through a send and a retrieve.

#include "app/Workspace.h"

#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "files/Report.h"
#include "model/Regional.h"
#include "support/FakeLink.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace dnp;
using namespace dnp::test;

namespace {

class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ws.clock = [] { return fixedNow(); };
    }
    // The report's file part, as after the Report Header dialog's OK.
    bool writeReport()
    {
        state.ReportHeaderAccepted = true;
        ws.reportWithHeader({});
        return prompts.texts(Shown::Error).isEmpty();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Everything a command could change, as one comparable text.
    QByteArray snapshot() const
    {
        QByteArray s = composeConfigFile(state, fixedNow());
        s += state.LoadedFromFile ? "loaded" : "not loaded";
        s += state.LastSavedFileName.toUtf8() + "|" + state.ConfigFileName.toUtf8();
        for (const auto& codes : state.PanelCode)
            for (std::uint16_t c : codes)
                s += QByteArray::number(c) + ",";
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

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    FakeLink link;
    Workspace ws{prompts, link, dir.filePath("DNP.ini")};
    ConfigState& state = ws.state();
    ClassEditor& editor = ws.editor();
};

// --- Open ---

TEST_F(WorkspaceTest, OpenDialogSettingsAndCancelChangesNothing)
{
    state = richConfiguration();
    const QByteArray before = snapshot();
    EXPECT_FALSE(ws.openWithDialog());
    const QList<Shown> dialogs = shownOf(Shown::OpenDialog);
    ASSERT_EQ(dialogs.size(), 1);
    const FileDialogSettings& d = dialogs[0].dialog;
    EXPECT_EQ(d.title, "Open Configuration");
    EXPECT_EQ(d.filter, "dnp configuration files (*.dnp)|*.dnp|All Files (*.*)|*.*");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ws.caption(), "DNP Configure");
}

TEST_F(WorkspaceTest, OpenReplacesTheConfigurationAfterTheClearStep)
{
    const ConfigState fileState = richConfiguration();
    ASSERT_TRUE(writeFileBytes(path("feeder.dnp"), composeConfigFile(fileState, fixedNow())));

    setClass0(state, PointType::Bin, {0, 1, 4});  // stale slots the file does not select
    state.setSelected(2, PointType::Aout, 5, true);
    state.UnsolicitedSettings = {1, 1, 1, 1, 1, 1};
    state.Class0Rebuild.fill(false);
    state.OpenedForClass = {0, 1, 0, 0};
    editor.setItem(ListTag::BinCLB, 0, ItemState::Checked);
    state.ReportDescription = QStringLiteral("kept");

    prompts.fileAnswers.push_back(path("feeder.dnp"));
    EXPECT_TRUE(ws.openWithDialog());

    EXPECT_EQ(ws.caption(), "feeder.dnp");
    EXPECT_TRUE(state.LoadedFromFile);
    EXPECT_EQ(state.ConfigFileName, path("feeder.dnp"));
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_EQ(editor.item(ListTag::BinCLB, 0), ItemState::Greyed);  // the clear step ran, last opened for Class 1
    EXPECT_EQ(state.ReportDescription, "kept");
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
    EXPECT_EQ(state.ClassSelection, fileState.ClassSelection);
    EXPECT_EQ(state.Class0Order, fileState.Class0Order);
    EXPECT_EQ(state.UnsolicitedSettings, fileState.UnsolicitedSettings);
    EXPECT_TRUE(prompts.texts(Shown::Error).isEmpty());
}

TEST_F(WorkspaceTest, OpenFileThatCannotBeOpenedShowsFileIoError)
{
    state = richConfiguration();
    const QByteArray before = snapshot();
    prompts.fileAnswers.push_back(path("missing.dnp"));
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"File I/O error.\n" + path("missing.dnp") + ": No such file or directory"});
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ws.caption(), "DNP Configure");
}

TEST_F(WorkspaceTest, OpenBrokenFileNamesFileAndLineAndChangesNothing)
{
    QList<QByteArray> lines = crlfLines(composeConfigFile(richConfiguration(), fixedNow()));
    lines.removeLast();
    ASSERT_TRUE(writeFileBytes(path("short.dnp"), joinCrlf(lines)));
    ASSERT_TRUE(writeFileBytes(path("half.dnp"), withLine(composeConfigFile(ConfigState(), fixedNow()), 9, "-1,2.5")));

    setClass0(state, PointType::Ain, {7, 3});
    state.setSelected(1, PointType::Ain, 3, true);
    state.UnsolicitedSettings = {33, 513, 20, 256, 20, 256};
    const QByteArray before = snapshot();

    prompts.fileAnswers = {path("short.dnp"), path("half.dnp")};
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error),
              (QStringList{"The configuration file cannot be read.\n" + path("short.dnp")
                               + ", line 890: the file ends here, a configuration file has 890 lines",
                           "The configuration file cannot be read.\n" + path("half.dnp")
                               + ", line 9: '2.5' is not a valid integer value"}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ws.caption(), "DNP Configure");
}

// --- Save ---

TEST_F(WorkspaceTest, SaveWritesTheFileAndRemembersThePath)
{
    state = richConfiguration();
    prompts.fileAnswers.push_back(path("a.dnp"));
    EXPECT_TRUE(ws.saveWithDialog());
    ASSERT_EQ(prompts.shown.size(), 1);
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(prompts.shown[0].kind, Shown::SaveDialog);
    EXPECT_EQ(d.fileName, "*.dnp");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(d.filter, "dnp");
    EXPECT_EQ(d.title, "Save Configuration");
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));
    EXPECT_EQ(state.LastSavedFileName, path("a.dnp"));
    EXPECT_EQ(ws.windowCaption(), "a.dnp");  // the file just written, not modified
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.dnp"});  // no temporary file left
}

TEST_F(WorkspaceTest, SaveCancelledWritesNothing)
{
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

TEST_F(WorkspaceTest, SecondSaveToTheSamePathAsksAndCancelKeepsTheFile)
{
    prompts.fileAnswers = {path("a.dnp"), path("a.dnp"), path("a.dnp"), path("b.dnp")};
    ASSERT_TRUE(ws.saveWithDialog());
    const QByteArray first = readFileBytes(path("a.dnp"));

    state = richConfiguration();
    state.LastSavedFileName = path("a.dnp");
    prompts.confirmAnswers = {false, true};
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(path("a.dnp")), first);
    EXPECT_EQ(state.LastSavedFileName, path("a.dnp"));

    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));

    EXPECT_TRUE(ws.saveWithDialog());  // another path: no question
    EXPECT_EQ(state.LastSavedFileName, path("b.dnp"));

    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    for (const Shown& c : confirms) {
        EXPECT_EQ(c.caption, "Save confirmation");
        EXPECT_EQ(c.text, "Overwrite previously saved configuration?");
    }
}

TEST_F(WorkspaceTest, PathComparisonIsExactAndCaseSensitive)
{
    state.LastSavedFileName = path("A.dnp");
    prompts.fileAnswers = {path("a.dnp")};
    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_TRUE(shownOf(Shown::Confirm).isEmpty());
}

TEST_F(WorkspaceTest, EditorSaveAsksWithItsOwnTextsAndWritesTheSameBytes)
{
    state = richConfiguration();
    prompts.fileAnswers = {path("main.dnp"), path("editor.dnp"), path("editor.dnp")};
    ASSERT_TRUE(ws.saveWithDialog());
    ASSERT_TRUE(ws.saveFromClassEditor());
    EXPECT_EQ(readFileBytes(path("editor.dnp")), readFileBytes(path("main.dnp")));
    const FileDialogSettings& d = prompts.shown[1].dialog;
    EXPECT_EQ(d.fileName, "*.dnp");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(d.filter, "dnp");

    prompts.confirmAnswers = {false};
    EXPECT_FALSE(ws.saveFromClassEditor());
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 1);
    EXPECT_EQ(confirms[0].caption, "Save Confirmation");
    EXPECT_EQ(confirms[0].text, "Overwrite previously saved configurations?");
}

// --- writes that fail ---

TEST_F(WorkspaceTest, WriteIntoAPathThatCannotExistShowsTheErrorAndKeepsLastSaved)
{
    ASSERT_TRUE(writeFileBytes(path("plain"), "not a folder"));
    state.LastSavedFileName = path("earlier.dnp");
    const QString target = path("plain") + "/a.dnp";  // its folder is a regular file
    prompts.fileAnswers = {target};
    EXPECT_FALSE(ws.saveWithDialog());
    const QStringList errors = prompts.texts(Shown::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot write " + target + ": ")) << errors[0].toStdString();
    EXPECT_EQ(state.LastSavedFileName, path("earlier.dnp"));
    EXPECT_EQ(readFileBytes(path("plain")), "not a folder");
}

TEST_F(WorkspaceTest, FailedWriteLeavesTheOldFileIntact)
{
    // A file with another hard link is not replaced.
    const QString target = path("linked.dnp");
    const QByteArray old = "old configuration\r\n";
    ASSERT_TRUE(writeFileBytes(target, old));
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(path("other.dnp")).constData()), 0);
    state = richConfiguration();
    prompts.fileAnswers = {target};
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_EQ(readFileBytes(target), old);
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

TEST_F(WorkspaceTest, WriteIntoReadOnlyFolderLeavesTheOldFileIntact)
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
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

// --- report ---

TEST_F(WorkspaceTest, ReportIsWrittenAfterTheHeaderDialogsOk)
{
    state = richConfiguration();
    ReportHeader header(state, prompts, fixedNow().date());
    prompts.fileAnswers = {path("r.txt")};
    ws.reportWithHeader([&] { header.OKBtnClick(); });
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(d.fileName, "*.txt");
    EXPECT_EQ(d.defaultExtension, "txt");
    EXPECT_EQ(d.filter, "txt");
    EXPECT_EQ(state.ReportDescription, shortDate(fixedNow().date()) + " Report");
    EXPECT_EQ(readFileBytes(path("r.txt")), composeReport(state, fixedNow()));
    EXPECT_EQ(state.LastSavedFileName, path("r.txt"));
}

TEST_F(WorkspaceTest, ReportHeaderCancelWritesNothing)
{
    ReportHeader header(state, prompts, fixedNow().date());
    state.ReportHeaderAccepted = true;  // the previous use was OK
    prompts.fileAnswers = {path("r.txt")};
    ws.reportWithHeader([&] { header.closeBoxClick(); });
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(path("r.txt")));
}

TEST_F(WorkspaceTest, ReportAndConfigurationShareLastSavedFileName)
{
    prompts.fileAnswers = {path("x"), path("x"), path("x")};
    ASSERT_TRUE(ws.saveWithDialog());
    EXPECT_TRUE(writeReport());  // asks, OK
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(ws.saveFromClassEditor());  // asks, Cancel
    EXPECT_EQ(readFileBytes(path("x")), composeReport(state, fixedNow()));
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    EXPECT_EQ(confirms[0].caption, "Save confirmation");
    EXPECT_EQ(confirms[0].text, "Overwrite previously saved configuration?");
    EXPECT_EQ(confirms[1].caption, "Save Confirmation");
}

// --- the panel ---

// A workspace whose panel is the simulator's, with a configuration of every kind.
class WorkspaceTransferTest : public WorkspaceTest {
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        link.panel = simulatedPanel(panel);
        ws.settings().ComPort = 1;
        QObject::connect(&ws, &Workspace::transferEnded, [this](const TransferResult& r) { ended << r.outcome; });
    }
    void send()
    {
        ws.prepareSend();
        ws.startSend();
        tickUntilEnded(ws.exchange(), link);
    }
    void retrieve()
    {
        ws.prepareRetrieve();
        ws.startRetrieve();
        tickUntilEnded(ws.exchange(), link);
    }

    sim::Panel panel{std::nullopt, {}};
    QList<TransferOutcome> ended;
};

TEST_F(WorkspaceTransferTest, SendAndRetrieveTellTheirOutcomeAndTheRetrieveIsApplied)
{
    state = richConfiguration();
    const ConfigState sent = state;
    send();
    EXPECT_EQ(prompts.texts(), QStringList{"Sending communication status: OK.."});
    EXPECT_EQ(prompts.shown[0].kind, Shown::Information);
    EXPECT_EQ(panel.image, ws.exchange().sentImage());

    ws.newConfiguration();
    prompts.shown.clear();
    retrieve();
    EXPECT_EQ(prompts.texts(), QStringList{"Retrieving communication status: OK.."});
    EXPECT_EQ(ended, (QList<TransferOutcome>{TransferOutcome::Success, TransferOutcome::Success}));
    for (PointType t : kAllPointTypes)
        EXPECT_EQ(state.class0Sequence(t), sent.class0Sequence(t)) << pointTypeName(t).toStdString();
    EXPECT_EQ(state.UnsolicitedSettings, sent.UnsolicitedSettings);
    EXPECT_TRUE(state.NoListWriteBack);
    EXPECT_EQ(ws.order().RMappingRG, 2);
    EXPECT_EQ(ws.order().retrieveList(PointType::Bin).size(), 3u);
    EXPECT_EQ(editor.item(ListTag::BinCLB, 9), ItemState::Checked);
    // Sent again, the retrieved configuration is the same image.
    const ConfigImage first = ws.exchange().sentImage();
    send();
    EXPECT_EQ(ws.exchange().sentImage(), first);
}

TEST_F(WorkspaceTransferTest, ARetrieveReplacesTheWholeConfiguration)
{
    setClass0(state, PointType::Ain, {5, 6});
    state.setSelected(1, PointType::Ain, 5, true);
    state.LoadedFromFile = true;
    panel.image[0] = 8;
    panel.image[249] = 1;  // one binary output, nothing else
    panel.image[252] = 2;
    for (int w : {248, 250, 251, 253})
        panel.image[w] = 0xFFFF;
    panel.image[255] = 2;
    panel.image[1] = 2693;
    panel.image[2] = 554;
    retrieve();
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Bout)], (std::vector<std::int32_t>{-1, -1, 2, -1}));
    EXPECT_EQ(state.Class0Order[typeNumber(PointType::Ain)], std::vector<std::int32_t>(364, -1));
    EXPECT_FALSE(state.selected(1, PointType::Ain, 5));
    EXPECT_FALSE(state.LoadedFromFile);
    for (bool flag : state.Class0Rebuild)
        EXPECT_TRUE(flag);
    ws.prepareSend();
    EXPECT_EQ(ws.order().class0Lists()[typeNumber(PointType::Bout)], std::vector<int>{2});
}

TEST_F(WorkspaceTransferTest, ARetrieveThatStopsEarlyChangesNothing)
{
    panel = silentPanelAt({18});
    panel.image[241] = 99;
    state = richConfiguration();
    const ConfigState before = state;
    retrieve();
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::NotResponding});
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ZE-P(L) is not responding!"});
    EXPECT_EQ(state.UnsolicitedSettings, before.UnsolicitedSettings);
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(state.Class0Order, before.Class0Order);
}

TEST_F(WorkspaceTransferTest, ABadStatusIsToldAndARetrieveIsStillApplied)
{
    setClass0(state, PointType::Bin, {2});
    send();
    panel = badStatusPanelAt({1});
    panel.image = ws.exchange().sentImage();
    ws.newConfiguration();
    prompts.shown.clear();
    retrieve();
    EXPECT_EQ(prompts.texts(), QStringList{"System or data error has occurred."});
    EXPECT_EQ(ended.last(), TransferOutcome::StatusError);
    EXPECT_EQ(state.class0Sequence(PointType::Bin), std::vector<int>{2});

    panel = badStatusPanelAt({1});
    prompts.shown.clear();
    send();
    EXPECT_EQ(prompts.texts(), QStringList{"System error or data error has occurred."});
}

TEST_F(WorkspaceTransferTest, RefusalsPortErrorsAndOneTransferAtATime)
{
    send();  // nothing chosen
    EXPECT_TRUE(link.sent.isEmpty());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"No configurations chosen, please return to class menu."});
    EXPECT_EQ(ended.last(), TransferOutcome::Refused);

    setClass0(state, PointType::Bin, {0});
    link.openFails = true;
    prompts.shown.clear();
    send();
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"ie_BadId - Specified comport doesn't exist"});
    EXPECT_EQ(ended.last(), TransferOutcome::PortError);

    link.openFails = false;
    link.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    prompts.shown.clear();
    ws.prepareSend();
    ws.startSend();
    ASSERT_TRUE(ws.transferRunning());
    ws.startRetrieve();
    ws.startSend();
    EXPECT_EQ(link.sent.size(), 1);
    EXPECT_EQ(prompts.texts(), (QStringList{kTransferUnderWayText, kTransferUnderWayText}));
}

TEST_F(WorkspaceTransferTest, FailuresTellTheMessageAndWhatWasWrong)
{
    setClass0(state, PointType::Bin, {1});
    panel = silentPanelAt({7});
    send();
    EXPECT_EQ(prompts.texts(Shown::Error),
              QStringList{"ZE-P(L) is not responding!\nMessage 7 of 18 was not answered. The panel may hold a partly "
                          "written configuration: send it again."});

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
    retrieve();
    EXPECT_EQ(prompts.texts(Shown::Error),
              QStringList{"System or data error has occurred.\nReply to message 2 of 18: length byte 0, expected 40."});
    EXPECT_EQ(ended.last(), TransferOutcome::DataError);
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(state.Class0Order, before.Class0Order);
}

TEST_F(WorkspaceTransferTest, ACancelledRetrieveChangesNothing)
{
    state = richConfiguration();
    const ConfigState before = state;
    link.panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    ws.prepareRetrieve();
    ws.startRetrieve();
    ASSERT_TRUE(ws.transferRunning());
    ws.cancelRetrieve();
    EXPECT_FALSE(ws.transferRunning());
    EXPECT_EQ(ended, QList<TransferOutcome>{TransferOutcome::Cancelled});
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(state.ClassSelection, before.ClassSelection);
    EXPECT_EQ(link.sent.size(), 1);
}

// Two retrieves in one run, from two panels: each shows its own.
TEST_F(WorkspaceTransferTest, EachRetrieveShowsItsOwnPanel)
{
    setClass0(state, PointType::Ain, {3, 1});
    send();
    const ConfigImage first = panel.image;
    ws.newConfiguration();
    setClass0(state, PointType::Bin, {4});
    send();
    const ConfigImage second = panel.image;

    for (const bool isFirst : {true, false}) {
        panel.image = isFirst ? first : second;
        retrieve();
        EXPECT_EQ(ws.order().retrieveList(PointType::Ain).size(), isFirst ? 2u : 0u);
        EXPECT_EQ(ws.order().retrieveList(PointType::Bin).size(), isFirst ? 0u : 1u);
        EXPECT_EQ(state.class0Sequence(PointType::Ain), isFirst ? (std::vector<int>{3, 1}) : std::vector<int>{});
    }
}

TEST_F(WorkspaceTransferTest, SendAfterAFileLoadRecomputesTheMarks)
{
    setClass0(state, PointType::Bin, {3, 4});
    state.setSelected(1, PointType::Bin, 3, true);
    state.PanelCode[0][4] |= 0x2000;  // stale
    state.LoadedFromFile = true;
    ws.prepareSend();
    EXPECT_TRUE(state.SendRecompute);
    EXPECT_EQ(state.EditedClass, -1);
    EXPECT_EQ(state.PanelCode[0][3], 0x1000 | 2607);
    EXPECT_EQ(state.PanelCode[0][4], 2608);
    EXPECT_EQ(ws.order().class0Lists()[0], (std::vector<int>{3, 4}));
}

// --- Report Header dialog logic ---

TEST(ReportHeaderLogic, FirstTextsOkCancelCloseBoxAndHelp)
{
    ConfigState state;
    ScriptedPrompts prompts;
    ReportHeader header(state, prompts, QDate(2024, 3, 5));
    EXPECT_EQ(header.DescEdit, shortDate(QDate(2024, 3, 5)) + " Report");
    EXPECT_EQ(header.CommentEdit, "None");
    EXPECT_TRUE(state.ReportDescription.isEmpty());

    header.DescEdit = "Feeder 3";
    header.CommentEdit = "tested";
    header.OKBtnClick();
    EXPECT_EQ(state.ReportDescription, "Feeder 3");
    EXPECT_EQ(state.ReportComment, "tested");
    EXPECT_TRUE(state.ReportHeaderAccepted);

    header.DescEdit = "typed, not confirmed";
    header.CancelBtnClick();
    EXPECT_FALSE(state.ReportHeaderAccepted);
    EXPECT_EQ(state.ReportDescription, "Feeder 3");
    EXPECT_EQ(header.DescEdit, "typed, not confirmed");  // the box keeps it for the next opening

    header.OKBtnClick();
    header.closeBoxClick();
    EXPECT_FALSE(state.ReportHeaderAccepted);

    header.BitBtn1Click();
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 42);
}

}  // namespace
