// dnpcfg settings, run as the built program: the settings printed with the file they
// come from, changed by name with the rest of the file kept, refused words that save
// nothing, and where the file lives for a copy of the program in a folder of its own.

#include "files/FileAccess.h"
#include "support/RunDnpcfg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace dnp;

namespace {

using test::fileBytes;
using test::ProgramRun;
using test::writeBytes;

const QByteArray kSampleIni = "; prepared for the field\n"
                              "[Ports]\n"
                              "COM1=/dev/ttyUSB0\n"
                              "\n"
                              "[Comm]\n"
                              "Address=7\n"
                              "MyKey=x\n"
                              "ComPort=1\n"
                              "Baud=0\n"
                              "Parity=1\n"
                              "Addressing=1\n"
                              "CheckReplyChecksum=0\n"
                              "\n"
                              "[Other]\n"
                              "a=b\n";

// The history where DNP.ini names none: the default file under the user's data folder.
QString defaultHistoryLine()
{
    return "history: " + qEnvironmentVariable("XDG_DATA_HOME") + "/DNP Configure/history.sqlite\n";
}

class SettingsCommand : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString ini() const { return path("DNP.ini"); }
    ProgramRun settings(const QStringList& args) { return test::runDnpcfg(QStringList{"settings", "--ini", ini()} + args); }

    QTemporaryDir dir;
};

TEST_F(SettingsCommand, PrintsTheFileThenEverySetting)
{
    writeBytes(ini(), kSampleIni);
    const ProgramRun run = settings({});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "settings file: " + ini() +
                           "\n"
                           "port: 1\n"
                           "device: /dev/ttyUSB0\n"
                           "baud: 19200\n"
                           "parity: even\n"
                           "addressing: on\n"
                           "address: 7\n"
                           "verify-after-send: on\n"
                           "CheckReplyChecksum: off\n"
                           "CheckRetrievedImage: on\n" +
                           defaultHistoryLine() +
                           "[Ports]\n"
                           "COM1=/dev/ttyUSB0\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(SettingsCommand, NoPortAndAStoredAddressOutsideTheRange)
{
    writeBytes(ini(), "[Comm]\nAddress=300\n[Options]\nVerifyAfterSend=1\n");
    const ProgramRun run = settings({});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "settings file: " + ini() +
                           "\n"
                           "port: 0 (none)\n"
                           "device: (none)\n"
                           "baud: 9600\n"
                           "parity: none\n"
                           "addressing: off\n"
                           "address: 300 (not from 0 to 255: a transfer with addressing refuses it)\n"
                           "verify-after-send: on\n"
                           "CheckReplyChecksum: on\n"
                           "CheckRetrievedImage: on\n" +
                           defaultHistoryLine() +
                           "[Ports]\n");
}

// The history's store as DNP.ini names it: a file beside it, a team's server, whether it is
// required.
TEST_F(SettingsCommand, TheHistoryIsShownAsTheTransfersUseIt)
{
    const struct {
        QByteArray history;
        QString shown;
    } cases[] = {
        {"Database=team.sqlite\n", "history: " + path("team.sqlite") + "\n"},
        {"Database=postgresql://dnp@db.example:5432/history?sslmode=require\nRequired=1\n",
         "history: postgresql://dnp@db.example:5432/history?sslmode=require (required)\n"},
    };
    for (const auto& c : cases) {
        writeBytes(ini(), "[History]\n" + c.history);
        const ProgramRun run = settings({});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("\nCheckRetrievedImage: on\n" + c.shown + "[Ports]\n")) << run.out.toStdString();
    }
}

// Only the keys written change: the user's comments, sections and key order stay.
TEST_F(SettingsCommand, SetChangesTheKeysAndKeepsTheRestOfTheFile)
{
    writeBytes(ini(), kSampleIni);
    for (const QStringList& args : {QStringList{"--set", "baud=4800", "address=12", "device=/dev/ttyUSB1", "port=2"},
                                    QStringList{"--set", "baud=4800", "--set", "address=12", "--set=device=/dev/ttyUSB1",
                                                "--set", "port=2"}}) {
        writeBytes(ini(), kSampleIni);
        const ProgramRun run = settings(args);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(fileBytes(ini()), "; prepared for the field\n"
                                    "[Ports]\n"
                                    "COM1=/dev/ttyUSB0\n"
                                    "COM2=/dev/ttyUSB1\n"
                                    "\n"
                                    "[Comm]\n"
                                    "Baud=2\n"
                                    "ComPort=2\n"
                                    "Addressing=1\n"
                                    "Parity=1\n"
                                    "Address=12\n"
                                    "MyKey=x\n"
                                    "CheckReplyChecksum=0\n"
                                    "\n"
                                    "[Other]\n"
                                    "a=b\n");
    }
    const ProgramRun more = settings({"--set", "parity=none", "addressing=off", "verify-after-send=off"});
    EXPECT_EQ(more.status, 0) << more.err.toStdString();
    EXPECT_TRUE(fileBytes(ini()).endsWith("[Other]\na=b\n[Options]\nVerifyAfterSend=0\n"));
    const ProgramRun shown = settings({});
    EXPECT_TRUE(shown.out.contains("\nparity: none\naddressing: off\naddress: 12\nverify-after-send: off\n"))
        << shown.out.toStdString();
}

TEST_F(SettingsCommand, ABadKeyOrValueIsAUsageErrorAndNothingIsSaved)
{
    const QString usage = "dnpcfg: usage: dnpcfg settings [--ini PATH] [--set KEY=VALUE ...] (";
    struct Case {
        QStringList args;
        QString problem;
    };
    const Case cases[] = {
        {{"--set", "baud=19200", "speed=1"},
         "unknown setting 'speed' (port, device, baud, parity, addressing, address, verify-after-send, tls-ca, "
         "tls-fingerprint, tls-cert, tls-key)"},
        {{"--set", "tls-fingerprint=3F:A0"},
         "tls-fingerprint takes 64 hex digits (a SHA-256 fingerprint, colons allowed) or nothing"},
        {{"--set", "baud=19200", "address=256"}, "address takes a whole number from 0 to 255"},
        {{"--set", "address=abc"}, "address takes a whole number from 0 to 255"},
        {{"--set", "baud=1200"}, "baud takes 19200, 9600 or 4800"},
        {{"--set", "parity=odd"}, "parity takes none or even"},
        {{"--set", "port=5"}, "port takes 0 (none) or a COM number from 1 to 4"},
        {{"--set", "addressing=maybe"}, "addressing takes 0 or 1, on or off, yes or no, true or false"},
        {{"--set", "verify-after-send=sure"}, "verify-after-send takes 0 or 1, on or off, yes or no, true or false"},
        {{"--set", "device=/dev/ttyS0\n[Comm]\nBaud=0"}, "device takes no line breaks or other control characters"},
        {{"--set", "device=/dev/tty\tS0"}, "device takes no line breaks or other control characters"},
        {{"--set", "address=7\r"}, "address takes no line breaks or other control characters"},
        {{"--set", QString("device=a") + QChar(0x2028) + "b"}, "device takes no line breaks or other control characters"},
        {{"--set", "port"}, "'port' is not KEY=VALUE"},
        {{"--set", "port=1", "--set", "port=2"}, "port is given twice"},
        {{"port=1"}, "unexpected argument 'port=1'"},
        {{"--set"}, "option --set needs a value"},
        {{"--bogus"}, "unknown option --bogus"},
    };
    writeBytes(ini(), kSampleIni);
    for (const Case& c : cases) {
        const ProgramRun run = settings(c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, usage + c.problem + ")\n");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(fileBytes(ini()), kSampleIni) << c.args.join(' ').toStdString();
    }
}

// Writers at the same time take turns, each changing the file as the one before left it.
TEST_F(SettingsCommand, TwentyWritersAtOnceKeepEveryUpdate)
{
    writeBytes(ini(), "[Other]\na=b\n");
    const QStringList updates[] = {
        {"port=1", "device=/dev/ttyUSB1"}, {"port=2", "device=/dev/ttyUSB2"}, {"port=3", "device=/dev/ttyUSB3"},
        {"port=4", "device=/dev/ttyUSB4"}, {"baud=4800"}, {"parity=even"}, {"addressing=on"}, {"address=77"},
        {"verify-after-send=on"},
    };
    std::vector<std::unique_ptr<QProcess>> writers;
    for (std::size_t i = 0; i < 20; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                              QStringList{"settings", "--ini", ini(), "--set"} + updates[i % std::size(updates)]);
    }
    for (const auto& writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(60000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }
    const QStringList shown = settings({}).out.split('\n');
    for (const char* line : {"baud: 4800", "parity: even", "addressing: on", "address: 77", "verify-after-send: on",
                             "COM1=/dev/ttyUSB1", "COM2=/dev/ttyUSB2", "COM3=/dev/ttyUSB3", "COM4=/dev/ttyUSB4"})
        EXPECT_TRUE(shown.contains(QString::fromLatin1(line))) << line;
    EXPECT_TRUE(fileBytes(ini()).startsWith("[Other]\na=b\n"));
}

// The file's path, then why it could not be written.
TEST_F(SettingsCommand, AWriteErrorSaysWhy)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("DNP.ini"));
    const ProgramRun folder = settings({"--set", "baud=19200"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, test::errorText("Unable to write to " + ini() + "\n" + ini() + " is not a regular file"));

    writeBytes(path("locked.ini"), kSampleIni);
    ASSERT_TRUE(QFile::setPermissions(path("locked.ini"), QFileDevice::ReadOwner));
    const ProgramRun locked = test::runDnpcfg({"settings", "--ini", path("locked.ini"), "--set", "baud=19200"});
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.err, test::errorText("Unable to write to " + path("locked.ini") + "\n" + path("locked.ini") +
                                          " is read-only"));
    EXPECT_EQ(fileBytes(path("locked.ini")), kSampleIni);
}

// --ini names a file to read; --set makes it when it is not there yet.
TEST_F(SettingsCommand, AMissingIniFileIsAFailureToPrintAndMadeBySet)
{
    const ProgramRun shown = settings({});
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.err, test::errorText(ini() + ": No such file or directory"));
    const ProgramRun set = settings({"--set", "port=3"});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(fileBytes(ini()), "[Comm]\nBaud=1\nComPort=3\nAddressing=0\nParity=0\nAddress=1\n");
}

// --- where the file lives: a copy of the program in a folder of its own ---

class SettingsLocation : public SettingsCommand {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(dir.path()).mkdir("bin"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(DNP_BIN_DIR "/dnpcfg"), program()));
        userIni = path("config/DNP Configure/DNP.ini");
        besideIni = path("bin/DNP.ini");
    }
    // A folder a test made read-only can be removed again.
    void TearDown() override { ::chmod(QFile::encodeName(path("bin")).constData(), 0755); }
    QString program() const { return path("bin/dnpcfg"); }
    // The copy run with the user's configuration folder in the test's own folder.
    ProgramRun copy(const QStringList& args, const QStringList& prefix = {})
    {
        const QStringList command = prefix + QStringList{program(), "settings"} + args;
        return test::runProgram(command.front(), command.mid(1), {"XDG_CONFIG_HOME=" + path("config")});
    }
    QString firstLines(const ProgramRun& run, int count) const
    {
        return run.out.split('\n').mid(0, count).join('\n');
    }
    QStringList programFolder() const
    {
        return QDir(path("bin")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QString userIni;
    QString besideIni;
};

// Nothing beside the program: the user's folder, made at the first save; the program's
// folder, read-only or not, is never written.
TEST_F(SettingsLocation, WithoutAFileBesideTheProgramTheUsersFolder)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path("bin")).constData(), 0555), 0);
    const ProgramRun before = copy({});
    EXPECT_EQ(before.status, 0) << before.err.toStdString();
    EXPECT_EQ(firstLines(before, 2), "settings file: " + userIni + "\nport: 0 (none)");
    EXPECT_FALSE(QFileInfo::exists(path("config")));

    const ProgramRun set = copy({"--set", "baud=19200", "port=2"});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(fileBytes(userIni), "[Comm]\nBaud=0\nComPort=2\nAddressing=0\nParity=0\nAddress=1\n");
    EXPECT_EQ(programFolder(), QStringList{"dnpcfg"});
    EXPECT_EQ(firstLines(copy({}), 4), "settings file: " + userIni + "\nport: 2\ndevice: /dev/ttyS1\nbaud: 19200");
}

// A portable copy beside the program is read and written; the user's folder is not
// looked at.
TEST_F(SettingsLocation, AFileBesideTheProgramIsUsed)
{
    writeBytes(besideIni, "[Comm]\nComPort=4\n");
    const ProgramRun set = copy({"--set", "address=9"});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(fileBytes(besideIni), "[Comm]\nBaud=1\nComPort=4\nAddressing=0\nParity=0\nAddress=9\n");
    EXPECT_EQ(firstLines(copy({}), 2), "settings file: " + besideIni + "\nport: 4");
    EXPECT_FALSE(QFileInfo::exists(path("config")));
}

// One the user may not replace gives the settings until the user saves their own.
TEST_F(SettingsLocation, AReadOnlyFileBesideTheProgramIsOnlyRead)
{
    writeBytes(besideIni, "[Comm]\nComPort=4\n");
    ASSERT_TRUE(QFile::setPermissions(besideIni, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    EXPECT_EQ(firstLines(copy({}), 3), "settings file: " + besideIni + "\nchanges are saved to: " + userIni + "\nport: 4");
    const ProgramRun set = copy({"--set", "address=9"});
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(fileBytes(besideIni), "[Comm]\nComPort=4\n");
    EXPECT_EQ(fileBytes(userIni), "[Comm]\nBaud=1\nComPort=4\nAddressing=0\nParity=0\nAddress=9\n");
    EXPECT_EQ(firstLines(copy({}), 2), "settings file: " + userIni + "\nport: 4");
}

// The superuser with a user's HOME (sudo) makes the user's settings folder and file as
// that user's.
TEST_F(SettingsLocation, TheSuperuserInAUsersHomeMakesTheUsersFiles)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can make files of another user";
    ASSERT_TRUE(QDir(dir.path()).mkdir("home"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chown(QFile::encodeName(path("home")).constData(), 65534, 65534), 0);
    const QStringList home = {"HOME=" + path("home"), "XDG_CONFIG_HOME="};
    const ProgramRun set = test::runProgram(program(), {"settings", "--set", "baud=4800"}, home);
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    for (const char* made : {"home/.config", "home/.config/DNP Configure", "home/.config/DNP Configure/DNP.ini",
                             "home/.config/DNP Configure/DNP.ini.lock"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path(made)).constData(), &st), 0) << made;
        EXPECT_EQ(st.st_uid, 65534u) << made;
        EXPECT_EQ(st.st_gid, 65534u) << made;
    }
}

// A plain user, the program and the superuser's DNP.ini in a folder only the superuser
// may write: the user's own folder takes the settings.
TEST_F(SettingsLocation, APlainUserSavesInTheirOwnFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can run the program as another user";
    writeBytes(besideIni, "[Comm]\nComPort=3\n");
    ASSERT_TRUE(QDir(dir.path()).mkdir("config"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("config")).constData(), 0777), 0);
    const QStringList asPlainUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const ProgramRun set = copy({"--set", "baud=4800"}, asPlainUser);
    if (set.status != 0 && set.err.contains("setpriv"))
        GTEST_SKIP() << set.err.toStdString();
    EXPECT_EQ(set.status, 0) << set.err.toStdString();
    EXPECT_EQ(fileBytes(besideIni), "[Comm]\nComPort=3\n");
    EXPECT_EQ(fileBytes(userIni), "[Comm]\nBaud=2\nComPort=3\nAddressing=0\nParity=0\nAddress=1\n");
    struct stat made {};
    ASSERT_EQ(::stat(QFile::encodeName(userIni).constData(), &made), 0);
    EXPECT_EQ(made.st_uid, 65534u);
    EXPECT_EQ(programFolder(), (QStringList{"DNP.ini", "dnpcfg"}));
}

}  // namespace
