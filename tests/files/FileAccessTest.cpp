// How files are reached: names that are not UTF-8, inputs that are no regular file or
// larger than any valid one, and outputs that must never replace what is not a file.

#include "files/FileAccess.h"
#include "support/QtPrint.h"

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

mode_t modeOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(nameOf(path).constData(), &st), 0);
    return st.st_mode;
}

TEST(FileNames, BytesThatAreNotUtf8SurviveTheRoundTrip)
{
    const QByteArray names[] = {"plain.dnp", "caf\xc3\xa9.dnp", "caf\xe9.dnp", "\xff\xfe", "a\xc3", "\xed\xa0\x80"};
    for (const QByteArray& name : names) {
        EXPECT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    }
    EXPECT_EQ(decodeFileName("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
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
    for (const QString& input : {fifo, dir.path(), QStringLiteral("/dev/zero")}) {
        const Result<QByteArray> read = readInputFile(input, 1024, "an image text");
        ASSERT_FALSE(read.ok()) << input.toStdString();
        EXPECT_EQ(read.error().message, input + " is not a regular file");
        EXPECT_TRUE(read.error().cannotOpen);
    }
    const Result<QByteArray> missing = readInputFile(path("none"), 1024, "an image text");
    EXPECT_EQ(missing.error().message, path("none") + ": No such file or directory");
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

TEST_F(FileAccessTest, OutputsOntoWhatIsNoRegularFileAreRefused)
{
    const QString fifo = path("fifo");
    ASSERT_EQ(::mkfifo(nameOf(fifo).constData(), 0600), 0);
    const QString toDevice = path("to-null");
    ASSERT_EQ(::symlink("/dev/null", nameOf(toDevice).constData()), 0);
    for (const QString& output : {fifo, toDevice, dir.path()}) {
        const Result<void> written = writeFileSafely(output, "x");
        ASSERT_FALSE(written.ok()) << output.toStdString();
        EXPECT_EQ(written.error().message, output + " is not a regular file");
    }
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_TRUE(S_ISLNK(modeOf(toDevice)));
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    // No temporary file left.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"fifo", "to-null"}));
}

TEST_F(FileAccessTest, ALinkIsWrittenThroughAndAReplacedFileKeepsItsBits)
{
    const QString target = path("real.dnp");
    ASSERT_TRUE(writeFileSafely(target, "old").ok());
    ASSERT_EQ(::chmod(nameOf(target).constData(), 0640), 0);
    const QString link = path("link.dnp");
    ASSERT_EQ(::symlink("real.dnp", nameOf(link).constData()), 0);
    ASSERT_TRUE(writeFileSafely(link, "new").ok());
    EXPECT_TRUE(S_ISLNK(modeOf(link)));
    QFile real(target);
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    EXPECT_EQ(real.readAll(), "new");
    EXPECT_EQ(modeOf(target) & 07777, 0640u);
}

TEST_F(FileAccessTest, AReadOnlyFileIsRefusedAlsoForTheSuperuser)
{
    const QString target = path("locked.dnp");
    ASSERT_TRUE(writeFileSafely(target, "old").ok());
    ASSERT_EQ(::chmod(nameOf(target).constData(), 0444), 0);
    const Result<void> written = writeFileSafely(target, "new");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().message, target + " is read-only");
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
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
