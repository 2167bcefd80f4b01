// How files are read: names that are not UTF-8, inputs that are no regular file or
// larger than any valid one. (Outputs: SafeWriteTest.)

#include "files/FileAccess.h"
#include "files/SafeWrite.h"
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
                                            std::tuple{"", "home/ann", ""}}) {
        qputenv("XDG_DATA_HOME", xdg);
        qputenv("HOME", user);
        EXPECT_EQ(userFolder("XDG_DATA_HOME", ".local/share").value_or(""), folder) << xdg;
    }
    qputenv("XDG_DATA_HOME", data);
    qputenv("HOME", home);
}

TEST(FileText, TheByteOrderMarkIsPassedOverOnceAtTheStartOnly)
{
    const QChar mark(0xFEFF);
    const std::pair<QByteArray, QString> cases[] = {
        {"\xEF\xBB\xBF" "a,b", "a,b"}, {"a,b", "a,b"}, {"\xEF\xBB\xBF\xEF\xBB\xBF" "a", mark + QString("a")},
        {"a\xEF\xBB\xBF", "a" + QString(mark)},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(utf8FileText(bytes), text) << bytes.toHex().toStdString();
}

class FileAccessTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(FileAccessTest, InputsThatAreNoRegularFileAreRefusedAtOnce)
{
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(nameOf(fifo).constData(), 0600), 0);
    QStringList inputs = {fifo, dir.path()};
    if (test::makeNullDevice(path("null"))) {
        ASSERT_EQ(::symlink("null", nameOf(path("to-null")).constData()), 0);
        inputs << path("null") << path("to-null");
    }
    for (const QString& input : inputs) {
        for (const Result<QByteArray>& read :
             {readInputFile(input, 1024, "an image text"), readInputStart(input, 1024, nullptr)}) {
            ASSERT_FALSE(read.ok()) << input.toStdString();
            EXPECT_EQ(read.error().message, input + " is not a regular file");
            EXPECT_TRUE(read.error().unopened());
        }
    }
    const Result<QByteArray> missing = readInputFile(path("none"), 1024, "an image text");
    EXPECT_EQ(missing.error().message, path("none") + ": No such file or directory");
    if (inputs.size() == 2)
        GTEST_SKIP() << test::kNoDeviceNodes << "; the FIFO and the folder were refused";
}

// A path that cannot be looked at is neither a file nor absent: below a regular file
// (the system says "not a directory"), or a loop of links.
TEST_F(FileAccessTest, OnlyAFileOrNothingIsAFileOrAbsent)
{
    ASSERT_TRUE(writeFileSafely(path("file"), "x").ok());
    ASSERT_EQ(::symlink("loop", nameOf(path("loop")).constData()), 0);
    const std::pair<QString, bool> cases[] = {
        {path("file"), true}, {path("none"), true}, {dir.path(), false}, {path("file/child"), false},
        {path("loop"), false},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(isRegularFileOrAbsent(input), expected) << input.toStdString();
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
