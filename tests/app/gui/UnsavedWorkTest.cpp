// No work lost at the desk: the modified flag and the caption, the question before a
// configuration is set aside, the question before another file is replaced, the recent
// files and the remembered folder.

#include "support/DocumentProbe.h"
#include "app/DeskSettings.h"
#include "app/gui/DeskCommands.h"

#include "support/DeskRig.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

// The desk, and another with the remembered files.
struct RememberingDeskRig : DeskRig {
    DeskSettings desk{dir.filePath("desk.ini")};
    DeskCommands deskWs{prompts, {dir.filePath("DNP.ini"), fakeLinks(link), &desk, kFakeLineTiming}};
};

class UnsavedWorkTest : public ::testing::Test, public RememberingDeskRig {
protected:
    QStringList kinds() const
    {
        QStringList list;
        for (const Shown& s : prompts.shown)
            list << QString::number(s.kind);
        return list;
    }

};

TEST_F(UnsavedWorkTest, TheFlagFollowsTheContentAndTheCaptionShowsIt)
{
    EXPECT_FALSE(ws.document().modified());
    EXPECT_EQ(ws.document().windowCaption(), "DNP Configure");
    ws.editClass(0, [] {});
    ASSERT_TRUE(ws.applyClassEdit());  // an OK that changes nothing
    EXPECT_FALSE(ws.document().modified());
    editClass0(3);
    EXPECT_EQ(ws.document().windowCaption(), "DNP Configure *");

    prompts.fileAnswers.push_back(path("feeder.dnp"));
    ASSERT_TRUE(ws.saveWithDialog());
    EXPECT_EQ(ws.document().windowCaption(), "feeder.dnp");
    // A drag in the order window is a change; dragging it back is none.
    editClass0(5);
    prompts.fileAnswers.push_back(path("feeder.dnp"));
    ASSERT_TRUE(ws.saveWithDialog());
    ws.showOrderWindow(SortMode::Send, [] {});
    ws.moveOrderItem(PointType::Bin, 1, 0);
    EXPECT_EQ(ws.document().windowCaption(), "feeder.dnp *");
    ws.moveOrderItem(PointType::Bin, 1, 0);
    EXPECT_FALSE(ws.document().modified());
    // Unsolicited settings count, and New clears the flag.
    ws.editClass(2, [] {});
    ws.editUnsolicited({"2", "9", "0"});
    ASSERT_TRUE(ws.applyClassEdit());
    EXPECT_TRUE(ws.document().modified());
    ws.newConfiguration();
    EXPECT_EQ(ws.document().windowCaption(), "DNP Configure");
}

TEST_F(UnsavedWorkTest, OpenAsksFirstAndEachAnswerDoesWhatItSays)
{
    ASSERT_TRUE(writeFileBytes(path("other.dnp"), composeConfigFile(richConfiguration(), fixedNow())));
    editClass0(3);
    const ConfigContent edited = ws.document().state().content();

    // Cancel: no dialog, nothing changes.
    prompts.saveChoices = {SaveChoice::Cancel};
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::SaveChanges), QStringList{"Save changes to new.dnp?"});
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(ws.document().state().content(), edited);

    // Save, whose dialog is cancelled: the open does not go on.
    prompts.shown.clear();
    prompts.saveChoices = {SaveChoice::Save};
    EXPECT_FALSE(ws.openWithDialog());
    EXPECT_EQ(kinds(), (QStringList{QString::number(Shown::SaveChanges), QString::number(Shown::SaveDialog)}));
    EXPECT_TRUE(ws.document().modified());

    // Save into a file, then the open.
    prompts.shown.clear();
    prompts.saveChoices = {SaveChoice::Save};
    prompts.fileAnswers = {path("mine.dnp"), path("other.dnp")};
    EXPECT_TRUE(ws.openWithDialog());
    EXPECT_EQ(ws.document().windowCaption(), "other.dnp");

    // Discard: the edit is dropped, the file opened.
    editClass0(0);
    prompts.shown.clear();
    prompts.saveChoices = {SaveChoice::Discard};
    prompts.fileAnswers = {path("mine.dnp")};
    EXPECT_TRUE(ws.openWithDialog());
    EXPECT_EQ(prompts.texts(Shown::SaveChanges), QStringList{"Save changes to other.dnp?"});
    EXPECT_EQ(ws.document().windowCaption(), "mine.dnp");
    EXPECT_EQ(ws.document().state().content(), edited);  // what Save wrote
}

TEST_F(UnsavedWorkTest, ReplacingAnotherFileIsAskedOnceAndTheLastSavedFileKeepsItsQuestion)
{
    ASSERT_TRUE(writeFileBytes(path("old.dnp"), "kept"));
    editClass0(3);
    prompts.fileAnswers = {path("old.dnp")};
    prompts.confirmAnswers = {false};
    EXPECT_FALSE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(path("old.dnp")), "kept");
    ASSERT_EQ(prompts.texts(Shown::Confirm), QStringList{path("old.dnp") + " already exists. Replace it?"});
    EXPECT_EQ(prompts.shown.last().caption, "Save Configuration");

    prompts.shown.clear();
    prompts.fileAnswers = {path("old.dnp"), path("old.dnp"), path("new.dnp")};
    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_TRUE(ws.saveWithDialog());  // the path last saved: the old question, once
    EXPECT_TRUE(ws.saveWithDialog());  // a file that does not exist: none
    EXPECT_EQ(prompts.texts(Shown::Confirm), (QStringList{path("old.dnp") + " already exists. Replace it?",
                                                           "Overwrite previously saved configuration?"}));
}

TEST_F(UnsavedWorkTest, ARetrieveOverUnsavedWorkIsAppliedOnlyAfterTheQuestion)
{
    editClass0(3);
    const ConfigContent edited = ws.document().state().content();
    for (const SaveChoice choice : {SaveChoice::Cancel, SaveChoice::Discard}) {
        prompts.saveChoices = {choice};
        retrieve();
        EXPECT_EQ(ws.document().state().content() == edited, choice == SaveChoice::Cancel);
    }
    EXPECT_EQ(prompts.texts(Shown::SaveChanges), (QStringList{"Save changes to new.dnp?", "Save changes to new.dnp?"}));
    // What was retrieved lives in no file yet.
    EXPECT_TRUE(ws.document().modified());
}

TEST(UnsavedWork, RecentFilesAndTheLastFolder)
{
    RememberingDeskRig rig;
    DeskCommands& ws = rig.deskWs;
    ScriptedPrompts& prompts = rig.prompts;
    DeskSettings& desk = rig.desk;
    const auto path = [&rig](const QString& name) { return rig.path(name); };
    const QString sub = path("sub");
    ASSERT_TRUE(QDir().mkpath(sub));
    QStringList files;
    for (int i = 1; i <= 6; ++i) {
        files.prepend(sub + QStringLiteral("/f%1.dnp").arg(i));
        ASSERT_TRUE(writeFileBytes(files.first(), composeConfigFile(ConfigState(), fixedNow())));
    }
    prompts.fileAnswers = {files[5], files[4]};
    ASSERT_TRUE(ws.openWithDialog());
    ASSERT_TRUE(ws.openWithDialog());
    EXPECT_EQ(prompts.shown.last().dialog.folder, sub);  // the second dialog starts where the first ended
    for (int i = 3; i >= 0; --i)
        ASSERT_TRUE(ws.openFile(files[i]));
    ASSERT_TRUE(ws.openFile(files[2]));  // again: to the top, once
    EXPECT_EQ(desk.recentFiles(), (QStringList{files[2], files[0], files[1], files[3], files[4]}));
    EXPECT_EQ(DeskSettings(path("desk.ini")).recentFiles(), desk.recentFiles());  // kept between runs

    // A file that is gone leaves the list with a message; a file that does not read
    // stays and says why.
    QFile::remove(files[1]);
    prompts.shown.clear();
    EXPECT_FALSE(ws.openFile(files[1]));
    EXPECT_EQ(prompts.texts(Shown::Error), QStringList{files[1] + " no longer exists. It is removed from the recent files."});
    EXPECT_EQ(desk.recentFiles(), (QStringList{files[2], files[0], files[3], files[4]}));
    ASSERT_TRUE(writeFileBytes(files[0], "not a configuration"));
    EXPECT_FALSE(ws.openFile(files[0]));
    EXPECT_TRUE(prompts.texts(Shown::Error).last().startsWith("The configuration file cannot be read.\n"));
    EXPECT_EQ(ws.document().windowCaption(), "f4.dnp");  // the last file that read
}

}  // namespace
