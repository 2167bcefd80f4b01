// dnpcfg against inputs and outputs a hostile tester hands it: FIFOs, devices (also
// through links), loops of links, huge sparse files, names that are not UTF-8. Each
// ends at once with status 1 and a line that says why, and nothing is replaced. The
// devices are nodes the tests make in their own folder, never the machine's.

#include "files/ConfigFile.h"
#include "files/TestNodes.h"
#include "model/Catalog.h"
#include "support/RunDnpcfg.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class HostileInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo()).constData(), 0600), 0);
        dnp::ConfigState state;
        state.setSelected(0, dnp::PointType::Bin, 0, true);
        state.Class0Order[0][0] = 0;
        dnp::test::writeBytes(config(), dnp::composeConfigFile(state, QDateTime::currentDateTime()));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString fifo() const { return path("fifo"); }
    QString config() const { return path("config.dnp"); }
    QTemporaryDir dir;
};

TEST_F(HostileInputTest, InputsThatAreNoRegularFileEndAtOnce)
{
    struct Case {
        QStringList args;
        QString err;
    };
    std::vector<Case> cases = {
        {{"check", fifo()}, "dnpcfg: " + fifo() + " is not a regular file\n"},
        {{"decode", fifo(), "-o", path("out.dnp")}, "dnpcfg: " + fifo() + " is not a regular file\n"},
        {{"retrieve", "-o", path("out.dnp"), "--ini", fifo()}, "dnpcfg: " + fifo() + " is not a regular file\n"},
        {{"send", config(), "--ini", path("missing.ini")}, "dnpcfg: " + path("missing.ini") + ": No such file or directory\n"},
    };
    const bool device = dnp::test::makeNullDevice(path("null"));
    if (device)
        cases.push_back({{"decode", path("null"), "-o", path("out.dnp")}, "dnpcfg: " + path("null") + " is not a regular file\n"});
    for (const Case& c : cases) {
        const dnp::test::ProgramRun run = dnp::test::runDnpcfg(c.args, 10000);
        EXPECT_EQ(run.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(QFile::exists(path("out.dnp")));
    }
    if (!device)
        GTEST_SKIP() << dnp::test::kNoDeviceNodes << "; the FIFO cases ran";
}

TEST_F(HostileInputTest, HugeInputsAreRefusedUnread)
{
    QFile sparse(path("sparse.txt"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(8LL << 30));
    sparse.close();
    dnp::test::ProgramRun run = dnp::test::runDnpcfg({"decode", path("sparse.txt"), "-o", path("out.dnp")}, 10000);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + path("sparse.txt") + " is too large for an image text (more than 1048576 bytes)\n");

    // One line of 65 MB: the reader stops at its bound.
    QFile line(path("line.dnp"));
    ASSERT_TRUE(line.open(QIODevice::WriteOnly));
    ASSERT_TRUE(line.resize(65LL << 20));
    line.close();
    run = dnp::test::runDnpcfg({"check", path("line.dnp")}, 10000);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: " + path("line.dnp") + ": the file is too large to be a configuration file\n");
}

TEST_F(HostileInputTest, OutputsOntoDevicesAndFifosAreRefusedAndTheNodeStays)
{
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(path("fifo-link")).constData()), 0);
    QStringList outputs = {fifo(), path("fifo-link")};
    const bool device = dnp::test::makeNullDevice(path("null"));
    if (device) {
        ASSERT_EQ(::symlink("null", QFile::encodeName(path("null-link")).constData()), 0);
        outputs << path("null") << path("null-link");
    }
    for (const QString& output : outputs) {
        const dnp::test::ProgramRun run = dnp::test::runDnpcfg({"report", config(), "-o", output}, 10000);
        EXPECT_EQ(run.status, 1) << output.toStdString();
        EXPECT_EQ(run.err, "dnpcfg: " + output + " is not a regular file\n");
    }
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (!device)
        GTEST_SKIP() << dnp::test::kNoDeviceNodes << "; the FIFO cases ran";
    ASSERT_EQ(::lstat(QFile::encodeName(path("null")).constData(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(::lstat(QFile::encodeName(path("null-link")).constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// -o a, where a -> b -> a: refused, and the links stay links.
TEST_F(HostileInputTest, AnOutputThroughALoopOfLinksIsRefusedAndTheLinksStay)
{
    ASSERT_EQ(::symlink("b", QFile::encodeName(path("a")).constData()), 0);
    ASSERT_EQ(::symlink("a", QFile::encodeName(path("b")).constData()), 0);
    const dnp::test::ProgramRun run = dnp::test::runDnpcfg({"report", config(), "-o", path("a")}, 10000);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dnpcfg: Cannot write " + path("a") + ": Too many levels of symbolic links\n");
    EXPECT_EQ(QFile::symLinkTarget(path("a")), path("b"));
    EXPECT_EQ(QFile::symLinkTarget(path("b")), path("a"));
}

// The names are made by the shell from raw bytes, as a user's file system may hold them.
TEST_F(HostileInputTest, NamesThatAreNotUtf8KeepTheirBytes)
{
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("sh", {"-c", QStringLiteral("cp config.dnp \"$(printf 'caf\\351.dnp')\" && \"%1\" check \"$(printf "
                                                 "'caf\\351.dnp')\" >check.out && \"%1\" report config.dnp -o \"$(printf "
                                                 "'r\\351.txt')\" && ls && rm \"$(printf 'caf\\351.dnp')\" \"$(printf 'r\\351.txt')\"")
                                      .arg(QStringLiteral(DNP_BIN_DIR "/dnpcfg"))});
    ASSERT_TRUE(shell.waitForFinished(20000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    const QList<QByteArray> names = shell.readAllStandardOutput().split('\n');
    EXPECT_TRUE(names.contains("caf\xe9.dnp"));
    EXPECT_TRUE(names.contains("r\xe9.txt"));
}

// The XML point list of a configuration whose name is not UTF-8: every point is in it,
// the name's bytes that are not UTF-8 read as U+FFFD, and the document is well-formed.
TEST_F(HostileInputTest, AnXmlPointListOfANameThatIsNotUtf8IsWhole)
{
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start("sh", {"-c", QStringLiteral("cp config.dnp \"$(printf 'caf\\351.dnp')\" && \"%1\" export \"$(printf "
                                            "'caf\\351.dnp')\" --format xml -o points.xml; status=$?; rm \"$(printf "
                                            "'caf\\351.dnp')\"; exit $status")
                                 .arg(QStringLiteral(DNP_BIN_DIR "/dnpcfg"))});
    ASSERT_TRUE(shell.waitForFinished(20000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    QFile points(path("points.xml"));
    ASSERT_TRUE(points.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&points);
    QStringList names;
    QString documentName;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("documentName"))
            documentName = xml.readElementText();
        else if (xml.name() == QLatin1String("name"))
            names << xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(documentName, QStringLiteral("caf\uFFFD.dnp"));
    EXPECT_EQ(names, QStringList{dnp::PointCatalog::instance().point(dnp::PointType::Bin, 0).shortName});
}

}  // namespace
