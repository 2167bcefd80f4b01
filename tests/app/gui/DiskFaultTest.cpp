// Saving a configuration or a report onto a full file system and into a read-only
// folder: the error is shown, the previous file stays byte for byte, and
// LastSavedFileName keeps its value. Each case mounts a small tmpfs of its own, which
// needs the superuser (or the capability to mount); elsewhere the cases are skipped.

#include "support/DocumentProbe.h"
#include "app/gui/DeskCommands.h"
#include "files/ConfigFile.h"
#include "files/FileTestHelpers.h"
#include "files/Report.h"
#include "support/DeskRig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

using namespace dnp;
using namespace dnp::test;

namespace {

// Room for the previous file (a configuration file is some 65 KB) and little more.
constexpr const char* kTmpfsOptions = "size=128k,mode=0755";

class DiskFaultTest : public ::testing::Test, public DeskRig {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        mountPoint = dir.filePath("disk");
        ASSERT_TRUE(QDir().mkpath(mountPoint));
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, kTmpfsOptions) != 0) {
            GTEST_SKIP() << "a tmpfs cannot be mounted here (" << std::strerror(errno)
                         << "); the disk fault cases need the superuser";
        }
        mounted = true;
        // A configuration saved once before, elsewhere.
        use(richConfiguration());
        ASSERT_TRUE(ws.document().save(earlierSave()));
        use(richConfiguration());
        previous = composeConfigFile(ConfigState(), fixedNow());
        ASSERT_TRUE(writeFileBytes(target(), previous));
    }

    void TearDown() override
    {
        if (mounted) {
            EXPECT_EQ(::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH), 0) << std::strerror(errno);
        }
    }

    QString target() const { return mountPoint + "/config.dnp"; }
    QString earlierSave() const { return path("earlier.dnp"); }
    QString report() const { return mountPoint + "/report.txt"; }

    // Fills the file system up to its last byte.
    void fill()
    {
        QFile filler(mountPoint + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        qint64 written = 0;
        while (filler.write(block) == block.size())
            written += block.size();
        while (filler.write("x", 1) == 1)
            ++written;
        ASSERT_GT(written, 0);
    }

    void remountReadOnly()
    {
        ASSERT_EQ(::mount(nullptr, QFile::encodeName(mountPoint).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
                  0)
            << std::strerror(errno);
    }

    QStringList files() const { return QDir(mountPoint).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    // The single error box of a failed save: the path, then the system's reason.
    void expectOneError(const QString& path, const QString& reason)
    {
        const QStringList errors = prompts.texts(Shown::Error);
        ASSERT_EQ(errors.size(), 1) << errors.join(" | ").toStdString();
        EXPECT_EQ(errors[0], "Cannot write " + path + ": " + reason);
    }
    // A read-only folder: the reason is the file system's or Qt's own wording.
    void expectOneReadOnlyError(const QString& path)
    {
        const QStringList errors = prompts.texts(Shown::Error);
        ASSERT_EQ(errors.size(), 1) << errors.join(" | ").toStdString();
        const QString prefix = "Cannot write " + path + ": ";
        EXPECT_TRUE(errors[0].startsWith(prefix)) << errors[0].toStdString();
        EXPECT_GT(errors[0].size(), prefix.size() + 5) << errors[0].toStdString();
    }

    QString mountPoint;
    bool mounted = false;
    QByteArray previous;
    const ConfigState& state = ws.document().state();

    // The report's file part, as after the Report Header dialog's OK.
    bool writeReport()
    {
        return ws.reportWithDialog([this] { return std::optional(ws.document().firstReportHeaderTexts()); });
    }
};

TEST_F(DiskFaultTest, SavingOntoAFullDiskKeepsThePreviousFile)
{
    fill();
    const QStringList before = files();
    prompts.fileAnswers = {target()};
    EXPECT_FALSE(ws.saveWithDialog());
    expectOneError(target(), "No space left on device");
    EXPECT_EQ(readFileBytes(target()), previous);
    EXPECT_EQ(ws.document().lastSavedPath(), earlierSave());
    EXPECT_EQ(files(), before);  // no temporary file left behind
}

TEST_F(DiskFaultTest, TheClassEditorsSaveOntoAFullDiskKeepsThePreviousFile)
{
    ASSERT_TRUE(ws.document().open(target()));  // the editor's Save writes the file opened
    use(richConfiguration());
    fill();
    ws.editClass(0, [] {});
    EXPECT_TRUE(ws.saveClassEdit());  // applied, not written
    expectOneError(target(), "No space left on device");
    EXPECT_EQ(readFileBytes(target()), previous);
    EXPECT_EQ(ws.document().lastSavedPath(), earlierSave());
}

TEST_F(DiskFaultTest, AReportOntoAFullDiskKeepsThePreviousReport)
{
    const QByteArray oldReport = composeReport(ConfigState(), fixedNow());
    ASSERT_TRUE(writeFileBytes(report(), oldReport));
    fill();
    const QStringList before = files();
    prompts.fileAnswers = {report()};
    EXPECT_FALSE(writeReport());
    expectOneError(report(), "No space left on device");
    EXPECT_EQ(readFileBytes(report()), oldReport);
    EXPECT_EQ(ws.document().lastSavedPath(), earlierSave());
    EXPECT_EQ(files(), before);
}

TEST_F(DiskFaultTest, SavingIntoAReadOnlyFolderKeepsThePreviousFile)
{
    remountReadOnly();
    prompts.fileAnswers = {target()};
    EXPECT_FALSE(ws.saveWithDialog());
    expectOneReadOnlyError(target());
    EXPECT_EQ(readFileBytes(target()), previous);
    EXPECT_EQ(ws.document().lastSavedPath(), earlierSave());
}

TEST_F(DiskFaultTest, AReportIntoAReadOnlyFolderKeepsThePreviousReport)
{
    const QByteArray oldReport = composeReport(ConfigState(), fixedNow());
    ASSERT_TRUE(writeFileBytes(report(), oldReport));
    remountReadOnly();
    prompts.fileAnswers = {report()};
    EXPECT_FALSE(writeReport());
    expectOneReadOnlyError(report());
    EXPECT_EQ(readFileBytes(report()), oldReport);
    EXPECT_EQ(ws.document().lastSavedPath(), earlierSave());
}

// A retrieve into a file that may be written when it starts, on a disk that is full when
// the words are in: the retrieve fails with the file's reason and the file stays.
TEST_F(DiskFaultTest, ARetrieveOntoAFullDiskFailsWithTheReason)
{
    panel.image = ws.document().image(Mapping::Individual).value();
    fill();
    EXPECT_FALSE(run([&] { (void)ws.session().retrieveInto(ws.document(), target()); }));
    ASSERT_TRUE(ws.session().lastOutcome());
    EXPECT_EQ(ws.session().lastOutcome()->result, PanelResult::Failed);
    EXPECT_TRUE(ws.session().lastOutcome()->message.endsWith("Cannot write " + target() + ": No space left on device"))
        << ws.session().lastOutcome()->message.toStdString();
    EXPECT_EQ(readFileBytes(target()), previous);
}

// After the disk has room again the same save goes through.
TEST_F(DiskFaultTest, ASaveSucceedsOnceThereIsRoomAgain)
{
    fill();
    prompts.fileAnswers = {target()};
    EXPECT_FALSE(ws.saveWithDialog());
    ASSERT_TRUE(QFile::remove(mountPoint + "/filler"));
    prompts.fileAnswers = {target()};
    EXPECT_TRUE(ws.saveWithDialog());
    EXPECT_EQ(readFileBytes(target()), composeConfigFile(state, fixedNow()));
    EXPECT_EQ(ws.document().lastSavedPath(), target());
}

}  // namespace
