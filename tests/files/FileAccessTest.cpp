// How files are read: names that are not UTF-8, the user's folders, inputs that are no
// regular file, cannot be opened or are larger than any valid one. (Outputs: SafeWriteTest.)

#include "files/FileAccess.h"
#include "files/TestNodes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dnp;

namespace {

QByteArray nameOf(const QString& path)
{
    return encodeFileName(path);
}

TEST(FileNames, BytesThatAreNotUtf8SurviveTheRoundTrip)
{
    const QByteArray names[] = {"plain.dnp", "caf\xc3\xa9.dnp", "caf\xe9.dnp", "\xff\xfe", "a\xc3", "\xed\xa0\x80",
                                "\xef\xbb\xbf" "a.dnp", "a\xef\xbb\xbf" "b.dnp"};
    for (const QByteArray& name : names) {
        EXPECT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    }
    EXPECT_EQ(decodeFileName("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
}

// XDG_DATA_HOME as the XDG rules take it: only an absolute path; else HOME's folder, and
// none without an absolute HOME (nothing lands in the working folder or in "/").
TEST(UserFolders, OnlyAbsolutePathsNameTheUsersFolder)
{
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray home = qgetenv("HOME");
    for (const auto& [xdg, user, folder] : {std::tuple{"/srv/data/", "/home/ann", "/srv/data"},
                                            std::tuple{"data", "/home/ann", "/home/ann/.local/share"},
                                            std::tuple{"", "home/ann", "neither XDG_DATA_HOME nor HOME names one"}}) {
        qputenv("XDG_DATA_HOME", xdg);
        qputenv("HOME", user);
        const Result<QString> named = userFolder("XDG_DATA_HOME", ".local/share");
        EXPECT_EQ(named ? *named : named.error().message, folder) << xdg;
    }
    qputenv("XDG_DATA_HOME", data);
    qputenv("HOME", home);
}

class FileAccessTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

// Refused before a byte is read, by both readers: what is no regular file (a FIFO, a
// folder, a device, a link to one), and a path that cannot be opened, with the system's
// reason (nothing there, below a regular file, a loop of links).
TEST_F(FileAccessTest, InputsThatAreNoRegularFileAreRefusedAtOnce)
{
    ASSERT_EQ(::mkfifo(nameOf(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(writeFileSafely(path("file"), "x").ok());
    ASSERT_EQ(::symlink("loop", nameOf(path("loop")).constData()), 0);
    std::vector<std::pair<QString, const char*>> cases = {
        {path("fifo"), " is not a regular file"},
        {dir.path(), " is not a regular file"},
        {path("none"), ": No such file or directory"},
        {path("file/child"), ": Not a directory"},
        {path("loop"), ": Too many levels of symbolic links"},
    };
    const bool devices = test::makeNullDevice(path("null"));
    if (devices) {
        ASSERT_EQ(::symlink("null", nameOf(path("to-null")).constData()), 0);
        cases.insert(cases.end(), {{path("null"), " is not a regular file"}, {path("to-null"), " is not a regular file"}});
    }
    for (const auto& [input, refusal] : cases) {
        for (const Result<QByteArray>& read :
             {readInputFile(input, 1024, "an image text"), readInputStart(input, 1024, nullptr)}) {
            ASSERT_FALSE(read.ok()) << input.toStdString();
            EXPECT_EQ(read.error().message, input + refusal);
            EXPECT_TRUE(read.error().unopened());
        }
    }
    if (!devices)
        GTEST_SKIP() << test::kNoDeviceNodes << "; the other inputs were refused";
}

TEST_F(FileAccessTest, AFileOfExactlyTheBoundIsReadAndOneByteMoreIsRefused)
{
    constexpr qint64 kBound = 100;
    struct Case {
        qint64 size;
        bool read;
    };
    for (const Case& c : {Case{0, true}, Case{kBound - 1, true}, Case{kBound, true}, Case{kBound + 1, false}}) {
        const QByteArray bytes(c.size, 'x');
        QFile file(path("input"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == c.size);
        file.close();
        const Result<QByteArray> read = readInputFile(path("input"), kBound, "an image text");
        if (c.read) {
            ASSERT_TRUE(read.ok()) << c.size;
            EXPECT_EQ(*read, bytes);
        } else {
            ASSERT_FALSE(read.ok()) << c.size;
            EXPECT_EQ(read.error().message, path("input") + " is too large for an image text (more than 100 bytes)");
            EXPECT_FALSE(read.error().unopened());
        }
    }
}

TEST_F(FileAccessTest, InputsLargerThanTheBoundAreRefusedUnread)
{
    QFile sparse(path("sparse"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(8LL << 30));  // 8 GB, no block of it written
    sparse.close();
    const Result<QByteArray> read = readInputFile(path("sparse"), 1 << 20, "an image text");
    EXPECT_EQ(read.error().message, path("sparse") + " is too large for an image text (more than 1048576 bytes)");
    // The start of a file is read no further than asked.
    const Result<QByteArray> start = readInputStart(path("sparse"), 1000, nullptr);
    EXPECT_EQ(start->size(), 1000);
}

TEST_F(FileAccessTest, ANameThatIsNotUtf8IsWrittenAndReadByItsBytes)
{
    const QString name = decodeFileName(nameOf(dir.path()) + "/caf\xe9.dnp");
    ASSERT_TRUE(writeFileSafely(name, "bytes").ok());
    EXPECT_EQ(::access((nameOf(dir.path()) + "/caf\xe9.dnp").constData(), F_OK), 0);
    EXPECT_EQ(*readInputFile(name, 100, "a file"), "bytes");
    ::unlink(encodeFileName(name).constData());  // a name the temporary folder cannot remove
}

}  // namespace
