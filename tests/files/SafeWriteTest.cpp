// How outputs are written: through links, never onto what is no regular file, never over
// a file the user may not write, another user's file or one with other hard links, with
// the owner, group and bits of the file replaced; checkWritable gives the same refusals
// without writing; refuseSameFile keeps an output off its own input.

#include "files/FileAccess.h"
#include "files/TestNodes.h"
#include "support/PlainUser.h"
#include "support/SharedFolderCases.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <iterator>
#include <map>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dnp;

namespace {

using test::asPlainUser;
using test::kPlainGroup;
using test::kPlainUser;
using test::PlainUserRun;
constexpr char kNotRoot[] = "only the superuser can make files of another user";

QByteArray nameOf(const QString& path)
{
    return encodeFileName(path);
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(nameOf(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// What lies in a folder: per name its type, bits, owner and group, and the bytes of a
// regular file or the target of a link. Equal before and after: nothing was touched.
std::map<QString, QString> snapshot(const QString& folder)
{
    std::map<QString, QString> entries;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString path = folder + '/' + name;
        const struct stat st = statOf(path);
        QString what = QStringLiteral("%1 %2:%3 ").arg(st.st_mode, 0, 8).arg(st.st_uid).arg(st.st_gid);
        if (S_ISREG(st.st_mode))
            what += QString::fromLatin1(bytesOf(path).toHex());
        else if (S_ISLNK(st.st_mode))
            what += QFile::symLinkTarget(path);
        entries[name] = what;
    }
    return entries;
}

// "written", or the message of the refusal.
QString outcome(const Result<void>& result)
{
    return result ? QStringLiteral("written") : result.error().message;
}

// A temporary folder and the files a test makes in it.
struct Folder {
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const { ASSERT_TRUE(writeFileSafely(path(name), bytes).ok()); }
    void link(const char* target, const QString& name) const
    {
        ASSERT_EQ(::symlink(target, nameOf(path(name)).constData()), 0);
    }
    QTemporaryDir dir;
};

class SafeWriteTest : public ::testing::Test, protected Folder {};

// --- refusals: the same from writeFileSafely and checkWritable, nothing touched ---

struct Refusal {
    const char* what;
    std::function<QString(Folder&)> setUp;  // the output's path; "" where it cannot be made
    const char* message;                     // %1 the output's path
};

// A device node in the test's folder, and a link to it; "" where nodes cannot be made.
QString nullDevice(Folder& t, bool linked)
{
    if (!test::makeNullDevice(t.path("null")))
        return {};
    if (!linked)
        return t.path("null");
    t.link("null", "to-null");
    return t.path("to-null");
}

TEST_F(SafeWriteTest, RefusedOutputsLeaveEverythingAsItWas)
{
    const Refusal cases[] = {
        {"a FIFO",
         [](Folder& t) {
             EXPECT_EQ(::mkfifo(nameOf(t.path("fifo")).constData(), 0600), 0);
             return t.path("fifo");
         },
         "%1 is not a regular file"},
        {"a link to a FIFO",
         [](Folder& t) {
             EXPECT_EQ(::mkfifo(nameOf(t.path("fifo")).constData(), 0600), 0);
             t.link("fifo", "to-fifo");
             return t.path("to-fifo");
         },
         "%1 is not a regular file"},
        {"a folder", [](Folder& t) { return t.dir.path(); }, "%1 is not a regular file"},
        {"a device", [](Folder& t) { return nullDevice(t, false); }, "%1 is not a regular file"},
        {"a link to a device", [](Folder& t) { return nullDevice(t, true); }, "%1 is not a regular file"},
        {"a file without write bits",
         [](Folder& t) {
             t.write("locked.dnp", "old");
             EXPECT_EQ(::chmod(nameOf(t.path("locked.dnp")).constData(), 0444), 0);
             return t.path("locked.dnp");
         },
         "%1 is read-only"},
        {"a file with another hard link",
         [](Folder& t) {
             t.write("a.dnp", "old");
             EXPECT_EQ(::link(nameOf(t.path("a.dnp")).constData(), nameOf(t.path("b.dnp")).constData()), 0);
             return t.path("a.dnp");
         },
         "%1 has other hard links; it was not replaced."},
        {"a loop of links",
         [](Folder& t) {
             t.link("b", "a");
             t.link("a", "b");
             return t.path("a");
         },
         "Cannot write %1: Too many levels of symbolic links"},
        {"a link to itself",
         [](Folder& t) {
             t.link("self", "self");
             return t.path("self");
         },
         "Cannot write %1: Too many levels of symbolic links"},
        {"a missing folder", [](Folder& t) { return t.path("none/a.dnp"); },
         "Cannot write %1: No such file or directory"},
        {"a link into a missing folder",
         [](Folder& t) {
             t.link("none/a.dnp", "to-none");
             return t.path("to-none");
         },
         "Cannot write %1: No such file or directory"},
        {"a folder that is a file",
         [](Folder& t) {
             t.write("plain", "not a folder");
             return t.path("plain/a.dnp");
         },
         "Cannot write %1: Not a directory"},
    };
    bool devices = true;
    for (const Refusal& c : cases) {
        Folder t;
        const QString output = c.setUp(t);
        if (output.isEmpty()) {
            devices = false;
            continue;
        }
        // Each entry's type, bits, owner and contents: a device node stays one.
        const std::map<QString, QString> before = snapshot(t.dir.path());
        const QString expected = QString::fromLatin1(c.message).arg(output);
        EXPECT_EQ(outcome(checkWritable(output)), expected) << c.what;
        EXPECT_EQ(outcome(writeFileSafely(output, "new")), expected) << c.what;
        EXPECT_EQ(snapshot(t.dir.path()), before) << c.what;
    }
    if (!devices)
        GTEST_SKIP() << test::kNoDeviceNodes << "; the other outputs were refused";
}

// --- what a written file is ---

// The bytes land in the file the output's links lead to, there or not yet (the links
// stay); a new file gets the bits the umask leaves, a replaced one keeps its own, never
// the set-id bits; no temporary file is left.
TEST_F(SafeWriteTest, ALinkIsWrittenThroughAndAFileKeepsItsBitsOrGetsTheUmasks)
{
    struct Case {
        const char* what;
        std::function<void(Folder&)> setUp;
        const char* output;
        const char* file;  // where the bytes land
        mode_t bits;       // the file's bits after the write, the umask 027
    };
    const auto existing = [](mode_t bits) {
        return [bits](Folder& t) {
            t.write("real.dnp", "old");
            EXPECT_EQ(::chmod(nameOf(t.path("real.dnp")).constData(), bits), 0);
            EXPECT_EQ(statOf(t.path("real.dnp")).st_mode & 07777, bits);
        };
    };
    const Case cases[] = {
        {"a new file", [](Folder&) {}, "real.dnp", "real.dnp", 0640},
        {"a replaced file", existing(0604), "real.dnp", "real.dnp", 0604},
        {"a file with the set-id bits", existing(06755), "real.dnp", "real.dnp", 0755},
        {"a link to a file",
         [&existing](Folder& t) {
             existing(0604)(t);
             t.link("real.dnp", "link.dnp");
         },
         "link.dnp", "real.dnp", 0604},
        {"a link to no file yet", [](Folder& t) { t.link("real.dnp", "link.dnp"); }, "link.dnp", "real.dnp", 0640},
    };
    const mode_t previous = ::umask(027);
    for (const Case& c : cases) {
        Folder t;
        c.setUp(t);
        EXPECT_EQ(outcome(writeFileSafely(t.path(c.output), "new")), "written") << c.what;
        EXPECT_EQ(bytesOf(t.path(c.file)), "new") << c.what;
        EXPECT_EQ(statOf(t.path(c.file)).st_mode & 07777, c.bits) << c.what;
        const bool linked = QLatin1String(c.output) != QLatin1String(c.file);
        EXPECT_EQ(S_ISLNK(statOf(t.path(c.output)).st_mode), linked) << c.what;
        EXPECT_EQ(snapshot(t.dir.path()).size(), linked ? 2u : 1u) << c.what;
    }
    ::umask(previous);
}

// A name of 255 bytes, the longest a folder holds: the temporary file's name is short.
TEST_F(SafeWriteTest, TheLongestNameIsWrittenAndReplaced)
{
    for (const int length : {250, 255}) {
        const QString output = path(QString(length - 4, 'x') + ".dnp");
        ASSERT_TRUE(checkWritable(output).ok()) << length;
        ASSERT_TRUE(writeFileSafely(output, "old").ok()) << length;
        const Result<void> replaced = writeFileSafely(output, "new");
        ASSERT_TRUE(replaced.ok()) << replaced.error().message.toStdString();
        EXPECT_EQ(bytesOf(output), "new");
        ASSERT_TRUE(QFile::remove(output));
    }
    EXPECT_TRUE(snapshot(dir.path()).empty());
}

TEST_F(SafeWriteTest, CheckWritableWritesNothing)
{
    write("own.dnp", "old");
    const std::map<QString, QString> before = snapshot(dir.path());
    for (const QString& output : {path("own.dnp"), path("new.dnp")})
        EXPECT_TRUE(checkWritable(output).ok()) << output.toStdString();
    EXPECT_EQ(snapshot(dir.path()), before);
}

// --- owners: the superuser keeps them ---

TEST_F(SafeWriteTest, TheSuperuserKeepsTheOwnerAndGroupOfTheFileReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << kNotRoot;
    struct Case {
        mode_t before;
        mode_t after;
    };
    for (const Case& c : {Case{0640, 0640}, Case{06777, 0777}}) {
        write("theirs.dnp", "old");
        ASSERT_EQ(::chown(nameOf(path("theirs.dnp")).constData(), kPlainUser, kPlainGroup), 0);
        ASSERT_EQ(::chmod(nameOf(path("theirs.dnp")).constData(), c.before), 0);
        ASSERT_TRUE(checkWritable(path("theirs.dnp")).ok());
        ASSERT_TRUE(writeFileSafely(path("theirs.dnp"), "new").ok());
        const struct stat st = statOf(path("theirs.dnp"));
        EXPECT_EQ(st.st_uid, kPlainUser);
        EXPECT_EQ(st.st_gid, kPlainGroup);
        EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << c.before;
        EXPECT_EQ(bytesOf(path("theirs.dnp")), "new");
    }
}

// --- a plain user: refused what is not theirs to replace ---

TEST_F(SafeWriteTest, APlainUserIsRefusedWhatIsNotTheirsAndTheFileStays)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << kNotRoot;
    // A folder anyone may write, without the sticky bit: only the checks keep the file.
    ASSERT_EQ(::chmod(nameOf(dir.path()).constData(), 0777), 0);
    struct Case {
        const char* name;
        uid_t owner;
        gid_t group;
        mode_t bits;
        const char* message;  // %1 the path; nothing: written
    };
    const Case cases[] = {
        {"root-0644.dnp", 0, 0, 0644, "%1 belongs to another user; it was not replaced."},
        {"root-0444.dnp", 0, 0, 0444, "%1 is read-only"},
        {"root-0666.dnp", 0, 0, 0666, "%1 belongs to another user; it was not replaced."},
        {"own-file-root-group.dnp", kPlainUser, 0, 0664, "%1 belongs to another user; it was not replaced."},
        {"own.dnp", kPlainUser, kPlainGroup, 0644, nullptr},
    };
    for (const Case& c : cases) {
        const QString output = path(QString::fromLatin1(c.name));
        write(c.name, "old");
        ASSERT_EQ(::chown(nameOf(output).constData(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(nameOf(output).constData(), c.bits), 0);
    }
    for (const Case& c : cases) {
        const QString output = path(QString::fromLatin1(c.name));
        const struct stat before = statOf(output);
        const PlainUserRun run = asPlainUser(
            dir.path(), [&] { return outcome(checkWritable(output)) + '|' + outcome(writeFileSafely(output, "new")); });
        if (!run.skipped.isEmpty())
            GTEST_SKIP() << run.skipped.toStdString();
        const QString expected = c.message ? QString::fromLatin1(c.message).arg(output) : QStringLiteral("written");
        EXPECT_EQ(run.told, expected + '|' + expected) << c.name;
        const struct stat after = statOf(output);
        EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        EXPECT_EQ(bytesOf(output), c.message ? "old" : "new") << c.name;
    }
    EXPECT_EQ(snapshot(dir.path()).size(), std::size(cases));  // no temporary file left
}

TEST_F(SafeWriteTest, APlainUserMakesANewFileOfTheirOwn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << kNotRoot;
    ASSERT_EQ(::chmod(nameOf(dir.path()).constData(), 0777), 0);
    const PlainUserRun run = asPlainUser(dir.path(), [&] { return outcome(writeFileSafely(path("new.dnp"), "new")); });
    if (!run.skipped.isEmpty())
        GTEST_SKIP() << run.skipped.toStdString();
    EXPECT_EQ(run.told, "written");
    EXPECT_EQ(statOf(path("new.dnp")).st_uid, kPlainUser);
    EXPECT_EQ(statOf(path("new.dnp")).st_gid, kPlainGroup);
}

// --- what another user left in a shared folder ---

// Not followed nor replaced, not even by the superuser; the user's own or the folder
// owner's is written through.
TEST_F(SafeWriteTest, WhatAnotherUserLeftInASharedFolderIsRefusedNamingThem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << kNotRoot;
    for (std::size_t i = 0; i < std::size(test::kSharedFolderCases); ++i) {
        const test::SharedFolderCase& c = test::kSharedFolderCases[i];
        SCOPED_TRACE(c.what);
        const auto [entry, file] = test::makeSharedFolderCase(dir.path(), i, "report.txt", "precious");
        const QString expected = c.refused ? test::sharedFolderRefusal(c, entry) : QStringLiteral("written");
        EXPECT_EQ(outcome(checkWritable(entry)), expected);
        EXPECT_EQ(outcome(writeFileSafely(entry, "replaced")), expected);
        EXPECT_EQ(bytesOf(file), c.refused ? "precious" : "replaced");
    }
}

// --- files made anew: whose they are ---

// The superuser writing into a plain user's folder: an ordinary output stays the
// superuser's, the user's own files (settings, the history) are the user's.
TEST_F(SafeWriteTest, TheSuperuserHandsOnlyTheUsersOwnFilesToTheFoldersOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << kNotRoot;
    ASSERT_EQ(::chown(nameOf(dir.path()).constData(), kPlainUser, kPlainGroup), 0);
    struct Case {
        const char* name;
        NewFileOwner owner;
        uid_t uid;
        gid_t gid;
    };
    for (const Case& c : {Case{"output.txt", NewFileOwner::Writer, 0, 0},
                          Case{"DNP.ini", NewFileOwner::FolderOwner, kPlainUser, kPlainGroup}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFileSafely(path(c.name), "new", c.owner).ok());
        EXPECT_EQ(statOf(path(c.name)).st_uid, c.uid);
        EXPECT_EQ(statOf(path(c.name)).st_gid, c.gid);
    }
}

// --- what a path names ---

TEST_F(SafeWriteTest, AFileIsKnownThroughLinksAndBeforeItIsMade)
{
    write("file.dnp", "x");
    ASSERT_EQ(::link(nameOf(path("file.dnp")).constData(), nameOf(path("hard.dnp")).constData()), 0);
    link("file.dnp", "link.dnp");
    link("new.dnp", "dangling.dnp");
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    link("sub", "sublink");
    const struct {
        QString a;
        QString b;
        bool same;
    } cases[] = {
        {path("file.dnp"), path("link.dnp"), true},       {path("file.dnp"), path("hard.dnp"), true},
        {path("file.dnp"), dir.path() + "/./file.dnp", true}, {path("new.dnp"), path("dangling.dnp"), true},
        {path("sub/new.dnp"), path("sublink/new.dnp"), true}, {path("new.dnp"), path("sub/new.dnp"), false},
        {path("new.dnp"), path("file.dnp"), false},
    };
    for (const auto& c : cases) {
        const Result<FileIdentity> a = fileIdentity(c.a);
        const Result<FileIdentity> b = fileIdentity(c.b);
        ASSERT_TRUE(a && b) << c.a.toStdString() << " " << c.b.toStdString();
        EXPECT_EQ(*a == *b, c.same) << c.a.toStdString() << " " << c.b.toStdString();
    }
    EXPECT_EQ(fileIdentity(path("file.dnp/child")).error().message, "Cannot write " + path("file.dnp/child") + ": Not a directory");
}

// --- an output onto its own input ---

TEST_F(SafeWriteTest, AnOutputThatIsTheInputIsRefused)
{
    write("in.dnp", "input");
    write("other.dnp", "other");
    link("in.dnp", "link.dnp");
    ASSERT_EQ(::link(nameOf(path("in.dnp")).constData(), nameOf(path("hard.dnp")).constData()), 0);
    link("b", "a");
    link("a", "b");
    struct Case {
        QString output;
        bool refused;
    };
    const Case cases[] = {
        {path("in.dnp"), true},     {path("link.dnp"), true},   {path("hard.dnp"), true},
        {dir.path() + "/./in.dnp", true}, {path("other.dnp"), false}, {path("new.dnp"), false},
        {path("a"), false},
    };
    for (const Case& c : cases) {
        const Result<void> checked = refuseSameFile(c.output, path("in.dnp"));
        EXPECT_EQ(checked.ok(), !c.refused) << c.output.toStdString();
        if (c.refused) {
            EXPECT_EQ(checked.error().message, c.output + " is the configuration being read; choose another file.");
        }
    }
    EXPECT_TRUE(refuseSameFile(path("in.dnp"), path("missing.dnp")).ok());
    EXPECT_EQ(bytesOf(path("in.dnp")), "input");
}

}  // namespace
