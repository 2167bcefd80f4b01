#include "files/FileCommands.h"

#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "files/Report.h"
#include "model/Regional.h"
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

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

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
    ConfigState state;
    ScriptedPrompts prompts;
    ClassEditor editor{state, prompts};
    QStringList captions;
    FileCommands files{state, editor, prompts, [] { return fixedNow(); },
                       [this](const QString& caption) { captions << caption; }};
};

// --- Open ---

TEST_F(FileCommandsTest, OpenDialogSettingsAndCancelChangesNothing)
{
    state = richConfiguration();
    const QByteArray before = snapshot();
    EXPECT_FALSE(files.FileOpen1Execute());
    ASSERT_EQ(prompts.shown.size(), 1);
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(prompts.shown[0].kind, Shown::OpenDialog);
    EXPECT_EQ(d.title, "Open Configuration File");
    EXPECT_EQ(d.filter, "dnp configuration files (*.dnp)|*.dnp|All Files (*.*)|*.*");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(captions.isEmpty());
}

TEST_F(FileCommandsTest, OpenReplacesTheConfigurationAfterTheClearStep)
{
    const ConfigState fileState = richConfiguration();
    ASSERT_TRUE(writeFileBytes(path("feeder.dnp"), composeConfigFile(fileState, fixedNow())));

    setClass0(state, PointType::Bin, {0, 1, 4});  // stale slots the file does not select
    state.setSelected(2, PointType::Aout, 5, true);
    state.UnsolicitedSettings = {1, 1, 1, 1, 1, 1};
    state.Class0Rebuild.fill(false);
    state.OpenedForClass = {0, 1, 0, 0};
    editor.setItem(1, 0, ItemState::Checked);
    state.ReportDescription = QStringLiteral("kept");

    prompts.fileAnswers.push_back(path("feeder.dnp"));
    EXPECT_TRUE(files.FileOpen1Execute());

    EXPECT_EQ(captions, QStringList{"feeder.dnp"});
    EXPECT_TRUE(state.LoadedFromFile);
    EXPECT_EQ(state.ConfigFileName, path("feeder.dnp"));
    EXPECT_EQ(state.Class0Rebuild, (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_EQ(editor.item(1, 0), ItemState::Greyed);  // the clear step ran, last opened for Class 1
    EXPECT_EQ(state.ReportDescription, "kept");
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
    EXPECT_EQ(state.ClassSelection, fileState.ClassSelection);
    EXPECT_EQ(state.Class0Order, fileState.Class0Order);
    EXPECT_EQ(state.UnsolicitedSettings, fileState.UnsolicitedSettings);
    EXPECT_TRUE(prompts.texts(Shown::Error).isEmpty());
}

TEST_F(FileCommandsTest, OpenFileThatCannotBeOpenedShowsFileIoError)
{
    state = richConfiguration();
    const QByteArray before = snapshot();
    prompts.fileAnswers.push_back(path("missing.dnp"));
    EXPECT_FALSE(files.FileOpen1Execute());
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{"File I/O error."});
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(captions.isEmpty());
}

TEST_F(FileCommandsTest, OpenBrokenFileNamesFileAndLineAndChangesNothing)
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
    EXPECT_FALSE(files.FileOpen1Execute());
    EXPECT_FALSE(files.FileOpen1Execute());
    EXPECT_EQ(prompts.texts(Shown::Error),
              (QStringList{"The configuration file cannot be read.\n" + path("short.dnp")
                               + ", line 890: the file ends here, a configuration file has 890 lines",
                           "The configuration file cannot be read.\n" + path("half.dnp")
                               + ", line 9: '2.5' is not a valid integer value"}));
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(captions.isEmpty());
}

// --- Save ---

TEST_F(FileCommandsTest, SaveWritesTheFileAndRemembersThePath)
{
    state = richConfiguration();
    prompts.fileAnswers.push_back(path("a.dnp"));
    EXPECT_TRUE(files.FileSave1Execute());
    ASSERT_EQ(prompts.shown.size(), 1);
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(prompts.shown[0].kind, Shown::SaveDialog);
    EXPECT_EQ(d.fileName, "*.dnp");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(d.filter, "dnp");
    EXPECT_TRUE(d.title.isEmpty());
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));
    EXPECT_EQ(state.LastSavedFileName, path("a.dnp"));
    EXPECT_TRUE(captions.isEmpty());  // saving leaves the caption
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.dnp"});  // no temporary file left
}

TEST_F(FileCommandsTest, SaveCancelledWritesNothing)
{
    EXPECT_FALSE(files.FileSave1Execute());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

TEST_F(FileCommandsTest, SecondSaveToTheSamePathAsksAndCancelKeepsTheFile)
{
    prompts.fileAnswers = {path("a.dnp"), path("a.dnp"), path("a.dnp"), path("b.dnp")};
    ASSERT_TRUE(files.FileSave1Execute());
    const QByteArray first = readFileBytes(path("a.dnp"));

    state = richConfiguration();
    state.LastSavedFileName = path("a.dnp");
    prompts.confirmAnswers = {false, true};
    EXPECT_FALSE(files.FileSave1Execute());
    EXPECT_EQ(readFileBytes(path("a.dnp")), first);
    EXPECT_EQ(state.LastSavedFileName, path("a.dnp"));

    EXPECT_TRUE(files.FileSave1Execute());
    EXPECT_EQ(readFileBytes(path("a.dnp")), composeConfigFile(state, fixedNow()));

    EXPECT_TRUE(files.FileSave1Execute());  // another path: no question
    EXPECT_EQ(state.LastSavedFileName, path("b.dnp"));

    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    for (const Shown& c : confirms) {
        EXPECT_EQ(c.caption, "Save confirmation");
        EXPECT_EQ(c.text, "Overwrite previously saved configuration?");
    }
}

TEST_F(FileCommandsTest, PathComparisonIsExactAndCaseSensitive)
{
    state.LastSavedFileName = path("A.dnp");
    prompts.fileAnswers = {path("a.dnp")};
    EXPECT_TRUE(files.FileSave1Execute());
    EXPECT_TRUE(shownOf(Shown::Confirm).isEmpty());
}

TEST_F(FileCommandsTest, EditorSaveAsksWithItsOwnTextsAndWritesTheSameBytes)
{
    state = richConfiguration();
    prompts.fileAnswers = {path("main.dnp"), path("editor.dnp"), path("editor.dnp")};
    ASSERT_TRUE(files.FileSave1Execute());
    ASSERT_TRUE(files.saveFromClassEditor());
    EXPECT_EQ(readFileBytes(path("editor.dnp")), readFileBytes(path("main.dnp")));
    const FileDialogSettings& d = prompts.shown[1].dialog;
    EXPECT_EQ(d.fileName, "*.dnp");
    EXPECT_EQ(d.defaultExtension, "dnp");
    EXPECT_EQ(d.filter, "dnp");

    prompts.confirmAnswers = {false};
    EXPECT_FALSE(files.saveFromClassEditor());
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 1);
    EXPECT_EQ(confirms[0].caption, "Save Confirmation");
    EXPECT_EQ(confirms[0].text, "Overwrite previously saved configurations?");
}

TEST_F(FileCommandsTest, EditorSaveRunsTheApplyStepFirst)
{
    state.EditedClass = 0;
    editor.setItem(1, 3, ItemState::Checked);  // binary input 3, not yet applied
    prompts.fileAnswers = {path("e.dnp")};
    EXPECT_TRUE(files.SaveCfgBtnClick());
    EXPECT_TRUE(state.selected(0, PointType::Bin, 3));
    EXPECT_EQ(crlfLines(readFileBytes(path("e.dnp")))[8], "-1,-1,-1,3,-1");
}

TEST_F(FileCommandsTest, EditorSaveWritesNothingWhenAFieldStopsTheApplyStep)
{
    state.EditedClass = 1;
    editor.view().DeadbandEdit = QStringLiteral("abc");
    editor.view().MinEventEdit = QStringLiteral("1");
    editor.view().NotDelayEdit = QStringLiteral("0");
    prompts.fileAnswers = {path("e.dnp")};
    EXPECT_FALSE(files.SaveCfgBtnClick());
    EXPECT_TRUE(shownOf(Shown::SaveDialog).isEmpty());
    EXPECT_FALSE(QFile::exists(path("e.dnp")));
}

// --- writes that fail ---

TEST_F(FileCommandsTest, WriteIntoAPathThatCannotExistShowsTheErrorAndKeepsLastSaved)
{
    ASSERT_TRUE(writeFileBytes(path("plain"), "not a folder"));
    state.LastSavedFileName = path("earlier.dnp");
    const QString target = path("plain") + "/a.dnp";  // its folder is a regular file
    prompts.fileAnswers = {target};
    EXPECT_FALSE(files.FileSave1Execute());
    const QStringList errors = prompts.texts(Shown::Error);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Cannot write " + target + ": ")) << errors[0].toStdString();
    EXPECT_EQ(state.LastSavedFileName, path("earlier.dnp"));
    EXPECT_EQ(readFileBytes(path("plain")), "not a folder");
}

TEST_F(FileCommandsTest, FailedWriteLeavesTheOldFileIntact)
{
    // The temporary file beside the target gets a longer name than the file system allows.
    const QString name = QString(251, 'x') + ".dnp";
    const QString target = path(name);
    const QByteArray old = "old configuration\r\n";
    ASSERT_TRUE(writeFileBytes(target, old));
    state = richConfiguration();
    prompts.fileAnswers = {target};
    EXPECT_FALSE(files.FileSave1Execute());
    EXPECT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_EQ(readFileBytes(target), old);
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

TEST_F(FileCommandsTest, WriteIntoReadOnlyFolderLeavesTheOldFileIntact)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    const QString folder = path("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + "/a.dnp";
    ASSERT_TRUE(writeFileBytes(target, "old"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    prompts.fileAnswers = {target};
    EXPECT_FALSE(files.FileSave1Execute());
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(prompts.texts(Shown::Error).size(), 1);
    EXPECT_TRUE(state.LastSavedFileName.isEmpty());
}

// --- report ---

TEST_F(FileCommandsTest, ReportIsWrittenAfterTheHeaderDialogsOk)
{
    state = richConfiguration();
    ReportHeader header(state, prompts, fixedNow().date());
    prompts.fileAnswers = {path("r.txt")};
    files.ReportBtnClick([&] { header.OKBtnClick(); });
    const FileDialogSettings& d = prompts.shown[0].dialog;
    EXPECT_EQ(d.fileName, "*.txt");
    EXPECT_EQ(d.defaultExtension, "txt");
    EXPECT_EQ(d.filter, "txt");
    EXPECT_EQ(state.ReportDescription, shortDate(fixedNow().date()) + " Report");
    EXPECT_EQ(readFileBytes(path("r.txt")), composeReport(state, fixedNow()));
    EXPECT_EQ(state.LastSavedFileName, path("r.txt"));
}

TEST_F(FileCommandsTest, ReportHeaderCancelWritesNothing)
{
    ReportHeader header(state, prompts, fixedNow().date());
    state.ReportHeaderAccepted = true;  // the previous use was OK
    prompts.fileAnswers = {path("r.txt")};
    files.ReportBtnClick([&] { header.closeBoxClick(); });
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_FALSE(QFile::exists(path("r.txt")));
}

TEST_F(FileCommandsTest, ReportAndConfigurationShareLastSavedFileName)
{
    prompts.fileAnswers = {path("x"), path("x"), path("x")};
    ASSERT_TRUE(files.FileSave1Execute());
    EXPECT_TRUE(files.WriteReport());  // asks, OK
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(files.saveFromClassEditor());  // asks, Cancel
    EXPECT_EQ(readFileBytes(path("x")), composeReport(state, fixedNow()));
    const QList<Shown> confirms = shownOf(Shown::Confirm);
    ASSERT_EQ(confirms.size(), 2);
    EXPECT_EQ(confirms[0].caption, "Save confirmation");
    EXPECT_EQ(confirms[0].text, "Overwrite previously saved configuration?");
    EXPECT_EQ(confirms[1].caption, "Save Confirmation");
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
