#include "comm/CommSettings.h"
#include "comm/IniFile.h"
#include "files/FileAccess.h"
#include "files/FileTestHelpers.h"
#include "support/PlainUser.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace dnp;
using test::readFileBytes;
using test::writeFileBytes;

namespace {

const QByteArray kEol = kIniLineEnd;

QByteArray lines(std::initializer_list<const char*> list, const QByteArray& eol = kEol)
{
    QByteArray text;
    for (const char* line : list)
        text += QByteArray(line) + eol;
    return text;
}

class CommSettingsFile : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("DNP.ini")); }
    void write(const QByteArray& bytes) const
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    TcomSetIni loadComm(const QByteArray& commLines)
    {
        write("[Comm]" + kEol + commLines);
        return TcomSetIni(path());
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(CommSettingsFile, WithoutAFileTheDefaults)
{
    TcomSetIni s(path());
    EXPECT_EQ(s.Baud, 1);
    EXPECT_EQ(s.BaudText(), "9600");
    EXPECT_EQ(s.baudRate(), 9600);
    EXPECT_EQ(s.ComPort, 0);
    EXPECT_FALSE(s.Addressing);
    EXPECT_EQ(s.IsAddressing(), 0);
    EXPECT_EQ(s.Parity, 0);
    EXPECT_EQ(s.Address, 1);
    EXPECT_TRUE(s.portDevices().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));  // loading creates nothing
}

TEST_F(CommSettingsFile, FirstSaveCreatesTheFileInKeyOrder)
{
    TcomSetIni s(path());
    EXPECT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=1", "ComPort=0", "Addressing=0", "Parity=0", "Address=1"}));
}

TEST_F(CommSettingsFile, SavesEveryValueAsADecimalInteger)
{
    TcomSetIni s(path());
    s.Baud = 2;
    s.ComPort = 3;
    s.Addressing = true;
    s.Parity = 1;
    s.Address = 300;
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=2", "ComPort=3", "Addressing=1", "Parity=1", "Address=300"}));
    const TcomSetIni again(path());
    EXPECT_EQ(again.Baud, 2);
    EXPECT_EQ(again.BaudText(), "4800");
    EXPECT_EQ(again.ComPort, 3);
    EXPECT_TRUE(again.Addressing);
    EXPECT_EQ(again.IsAddressing(), 1);
    EXPECT_EQ(again.Parity, 1);
    EXPECT_EQ(again.Address, 300);
}

TEST_F(CommSettingsFile, BaudTexts)
{
    TcomSetIni s(path());
    s.Baud = 0;
    EXPECT_EQ(s.BaudText(), "19200");
    EXPECT_EQ(s.baudRate(), 19200);
    s.Baud = 1;
    EXPECT_EQ(s.BaudText(), "9600");
    s.Baud = 2;
    EXPECT_EQ(s.BaudText(), "4800");
    EXPECT_EQ(s.baudRate(), 4800);
}

TEST_F(CommSettingsFile, HexadecimalValues)
{
    EXPECT_EQ(loadComm("Address=0x10" + kEol).Address, 16);
    EXPECT_EQ(loadComm("Address=0X10" + kEol).Address, 16);
    EXPECT_EQ(loadComm("Address=$10" + kEol).Address, 16);
    EXPECT_EQ(loadComm("Address=$ff" + kEol).Address, 255);
    EXPECT_EQ(loadComm("ComPort=$2" + kEol).ComPort, 2);
}

// Every value reads as written (blanks and a comment after it dropped) or is refused with
// the file, the line, the key and what it takes; nothing falls back to a default.
TEST_F(CommSettingsFile, EveryValueReadsAsWrittenOrIsRefused)
{
    struct Case {
        const char* section;
        const char* line;
        std::function<bool(const TcomSetIni&)> holds;  // empty: refused, with `takes`
        const char* takes = "";
    };
    const auto address = [](int a) { return [a](const TcomSetIni& s) { return s.Address == a; }; };
    const auto addressing = [](bool on) { return [on](const TcomSetIni& s) { return s.Addressing == on; }; };
    const char* takesSwitch = "takes 0 or 1, on or off, yes or no, true or false";
    const Case cases[] = {
        {"Comm", "Address=5 ; feeder 5", address(5)},
        {"Comm", "Address=0x10\t# hex", address(16)},
        {"Comm", "Address=$10", address(16)},
        {"Comm", "Address=-5", address(-5)},
        {"Comm", "Address=5x", {}, "takes a whole number"},
        {"Comm", "Address=5.0", {}, "takes a whole number"},
        {"Comm", "Address=five", {}, "takes a whole number"},
        {"Comm", "Address=", {}, "takes a whole number"},
        {"Comm", "Address=99999999999", {}, "takes a whole number"},
        {"Comm", "Addressing=yes", addressing(true)},
        {"Comm", "Addressing=TRUE", addressing(true)},
        {"Comm", "Addressing=On ; on", addressing(true)},
        {"Comm", "Addressing=5", addressing(true)},
        {"Comm", "Addressing=no", addressing(false)},
        {"Comm", "Addressing=False", addressing(false)},
        {"Comm", "Addressing=maybe", {}, takesSwitch},
        {"Comm", "Parity=even", [](const TcomSetIni& s) { return s.Parity == 1; }},
        {"Comm", "Parity=2", [](const TcomSetIni& s) { return s.Parity == 1; }},
        {"Comm", "Parity=none", [](const TcomSetIni& s) { return s.Parity == 0; }},
        {"Comm", "Parity=odd", {}, "takes 0 (none), 1 (even), none or even"},
        {"Comm", "Baud=0 # fast", [](const TcomSetIni& s) { return s.Baud == 0; }},
        {"Comm", "Baud=3", {}, "takes 0 (19200), 1 (9600) or 2 (4800)"},
        {"Comm", "Baud=258", {}, "takes 0 (19200), 1 (9600) or 2 (4800)"},
        {"Comm", "ComPort=4", [](const TcomSetIni& s) { return s.ComPort == 4; }},
        {"Comm", "ComPort=5", {}, "takes 0 (none) or a COM number from 1 to 4"},
        {"Comm", "ComPort=-1", {}, "takes 0 (none) or a COM number from 1 to 4"},
        {"Comm", "CheckReplyChecksum=no", [](const TcomSetIni& s) { return !s.CheckReplyChecksum; }},
        {"Comm", "CheckRetrievedImage=off", [](const TcomSetIni& s) { return !s.CheckRetrievedImage; }},
        {"Comm", "CheckRetrievedImage=x", {}, takesSwitch},
        {"Options", "VerifyAfterSend=no", [](const TcomSetIni& s) { return !s.VerifyAfterSend; }},
        {"History", "Required=true", [](const TcomSetIni& s) { return s.HistoryRequired; }},
        {"History", "Required=1   ; a transfer that cannot be recorded does not start",
         [](const TcomSetIni& s) { return s.HistoryRequired; }},
        {"History", "Required=sometimes", {}, takesSwitch},
        {"History", "Database=/srv/dnp/history.sqlite   ; another SQLite file",
         [](const TcomSetIni& s) { return s.HistoryDatabase == "/srv/dnp/history.sqlite"; }},
        {"Comm", "TlsCa=ca.pem ; the substation CA", [](const TcomSetIni& s) { return s.Tls.ca == "ca.pem"; }},
        {"Comm", "TlsFingerprint=3F:A0", {}, "takes 64 hex digits (a SHA-256 fingerprint, colons allowed) or nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        write("; DNP.ini\n[" + QByteArray(c.section) + "]\n" + QByteArray(c.line) + "\n");
        TcomSetIni s(path());
        const Result<void> read = s.Load();
        if (c.holds) {
            EXPECT_TRUE(read.ok()) << read.error().message.toStdString();
            EXPECT_TRUE(c.holds(s));
            continue;
        }
        ASSERT_FALSE(read.ok());
        const QString line = QString::fromLatin1(c.line);
        const QString expected = QStringLiteral("%1 line 3: %2: %3").arg(path(), line, QLatin1String(c.takes));
        EXPECT_EQ(read.error().message, expected);
        EXPECT_EQ(s.readable().error().message, expected);
    }
}

// A value that did not read is never written over with a default: a save is refused
// until the setting has a value again, and then it writes.
TEST_F(CommSettingsFile, AValueThatDidNotReadIsNotWrittenOver)
{
    write(lines({"[Comm]", "Address=5x", "Baud=0"}));
    TcomSetIni s(path());
    const Result<void> refused = s.Save();
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message,
              QStringLiteral("Unable to write to %1\n%1 line 2: Address=5x: takes a whole number").arg(path()));
    EXPECT_EQ(read(), lines({"[Comm]", "Address=5x", "Baud=0"}));
    EXPECT_EQ(s.choice().addressText, "5x");  // the dialog shows it as the file holds it
    ASSERT_TRUE(s.change(parseSettingsChange({"address=5"}).value()));
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=0", "ComPort=0", "Addressing=0", "Parity=0", "Address=5"}));
}

TEST_F(CommSettingsFile, AddressIsAnyInteger)
{
    EXPECT_EQ(loadComm("Address=-5" + kEol).Address, -5);
    EXPECT_EQ(loadComm("Address=  42  " + kEol).Address, 42);
    EXPECT_EQ(loadComm("Address=300" + kEol).Address, 300);
    EXPECT_EQ(loadComm("Address=2147483647" + kEol).Address, 2147483647);
}

TEST_F(CommSettingsFile, AddressingIsTrueForAnyNonzeroIntegerAndSavedAs1)
{
    TcomSetIni s = loadComm("Addressing=5" + kEol);
    EXPECT_TRUE(s.Addressing);
    EXPECT_EQ(s.IsAddressing(), 1);
    EXPECT_TRUE(loadComm("Addressing=-1" + kEol).Addressing);
    EXPECT_TRUE(loadComm("Addressing=0x100" + kEol).Addressing);
    EXPECT_FALSE(loadComm("Addressing=0" + kEol).Addressing);

    s = loadComm("Addressing=5" + kEol);
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=1", "ComPort=0", "Addressing=1", "Parity=0", "Address=1"}));
}

TEST_F(CommSettingsFile, SectionsAndKeysMatchRegardlessOfCaseAndTheFirstKeyWins)
{
    write(lines({"[comm]", "baud = 2", "BAUD=0", "comport=1"}));
    const TcomSetIni s(path());
    EXPECT_EQ(s.Baud, 2);
    EXPECT_EQ(s.ComPort, 1);
}

TEST_F(CommSettingsFile, KeysOfOtherSectionsAreNotTaken)
{
    write(lines({"[Other]", "Baud=2", "[Comm]", "; Baud=0", "ComPort=2"}));
    const TcomSetIni s(path());
    EXPECT_EQ(s.Baud, 1);
    EXPECT_EQ(s.ComPort, 2);
}

TEST_F(CommSettingsFile, SaveKeepsTheUsersSectionsAndKeys)
{
    write(lines({"; settings of DNP Configure", "[Ports]", "COM1=/dev/pts/7", "", "[Comm]", "Address=5", "MyKey=x",
                 "; my note", "Baud=2", "", "[Other]", "a=b"}));
    TcomSetIni s(path());
    EXPECT_EQ(s.Baud, 2);
    s.ComPort = 1;
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"; settings of DNP Configure", "[Ports]", "COM1=/dev/pts/7", "", "[Comm]", "Baud=2",
                             "ComPort=1", "Addressing=0", "Parity=0", "Address=5", "MyKey=x", "; my note", "",
                             "[Other]", "a=b"}));
}

TEST_F(CommSettingsFile, SaveAddsTheSectionAtTheEnd)
{
    write("[Ports]" + kEol + "COM2=/dev/ttyUSB0");  // no line end at the end
    TcomSetIni s(path());
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Ports]", "COM2=/dev/ttyUSB0", "[Comm]", "Baud=1", "ComPort=0", "Addressing=0", "Parity=0",
                             "Address=1"}));
}

TEST_F(CommSettingsFile, SaveKeepsTheLineEndsOfTheFile)
{
    write(lines({"[Comm]", "Baud=0"}, "\r\n"));
    TcomSetIni s(path());
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=0", "ComPort=0", "Addressing=0", "Parity=0", "Address=1"}, "\r\n"));
}

TEST_F(CommSettingsFile, PortsSectionNamesDevices)
{
    write(lines({"[Ports]", "COM1=/dev/ttyUSB0", "com3 = /dev/pts/4", "COM0=/dev/null", "COMx=/dev/null", "COM2=",
                 "[Comm]", "ComPort=1"}));
    const TcomSetIni s(path());
    QMap<int, QString> expected{{1, QStringLiteral("/dev/ttyUSB0")}, {3, QStringLiteral("/dev/pts/4")}};
    EXPECT_EQ(s.portDevices(), expected);
    EXPECT_EQ(s.ComPort, 1);
}

// The TLS files are found beside the settings file unless named with their folder; the
// fingerprint trusted for a device goes before [Comm]'s; a key is written once set.
TEST_F(CommSettingsFile, TlsSettingsAndTheCertificatesTrustedForDevices)
{
    const char* pinned = "3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F";
    const QString elsewhere = dir.filePath("elsewhere/desk.pem");  // a file named by its whole path
    write(lines({"[Comm]", "TlsCa=ca.pem", "TlsFingerprint=ab" "cdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789", "TlsCert=CERT", "TlsKey=desk.key",
                 "[TlsFingerprints]", "tls://ts1:4001=3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F"})
              .replace("=CERT", "=" + elsewhere.toUtf8()));
    TcomSetIni s(path());
    const TlsSettings ts1 = s.tlsFor("TLS://ts1:4001");
    EXPECT_EQ(ts1.ca, dir.filePath("ca.pem"));
    EXPECT_EQ(ts1.cert, elsewhere);
    EXPECT_EQ(ts1.key, dir.filePath("desk.key"));
    EXPECT_EQ(ts1.fingerprint, pinned);
    EXPECT_EQ(s.tlsFor("tls://ts2:4001").fingerprint, "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789");

    s.trustCertificate("tls://ts2:4001", QByteArray(32, '\x01'));
    s.Tls = {};
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Comm]", "Baud=1", "ComPort=0", "Addressing=0", "Parity=0", "Address=1", "TlsCa=",
                             "TlsFingerprint=", "TlsCert=", "TlsKey=", "[TlsFingerprints]", "tls://ts1:4001=3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F:3F",
                             "tls://ts2:4001=01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01:01"}));
}

// A port chosen in the dialog is stored as a hand edit would store it; the verify option,
// on unless the file says otherwise, is written once it has been turned off.
TEST_F(CommSettingsFile, ChosenPortDevicesAndTheVerifyOptionAreSaved)
{
    write(lines({"[Ports]", "COM1=/dev/pts/7", "[Comm]", "ComPort=1"}));
    TcomSetIni s(path());
    CommChoice choice = s.choice();
    choice.connectorItem = 2;
    choice.portDevices.insert(2, QStringLiteral("/dev/ttyUSB1"));
    ASSERT_TRUE(s.store(choice));
    EXPECT_TRUE(s.VerifyAfterSend);
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Ports]", "COM1=/dev/pts/7", "COM2=/dev/ttyUSB1", "[Comm]", "Baud=1", "ComPort=2",
                             "Addressing=0", "Parity=0", "Address=1"}));
    TcomSetIni again(path());
    EXPECT_EQ(again.portDevices().value(2), "/dev/ttyUSB1");
    again.VerifyAfterSend = false;
    ASSERT_TRUE(again.Save().ok());
    EXPECT_TRUE(read().endsWith(lines({"[Options]", "VerifyAfterSend=0"})));
    EXPECT_FALSE(TcomSetIni(path()).VerifyAfterSend);
}

// The first line says which file could not be written, the second why.
TEST_F(CommSettingsFile, AFailedSaveSaysWhyAndKeepsTheValues)
{
    const QString file = QDir::toNativeSeparators(path());
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString why;
    };
    const Case cases[] = {
        // A folder where the file should be: not even the superuser can write it.
        {"a folder", [this] { ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DNP.ini"))); },
         file + QStringLiteral(" is not a regular file")},
        // No write bit: refused to the superuser as well.
        {"no write bit",
         [this] {
             write("[Comm]\n");
             ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
         },
         file + QStringLiteral(" is read-only")},
    };
    for (const Case& c : cases) {
        QDir(dir.path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir.path()));
        c.arrange();
        TcomSetIni s(path());
        s.Address = 77;
        const Result<void> saved = s.Save();
        ASSERT_FALSE(saved.ok()) << c.what;
        EXPECT_EQ(saved.error().message, QStringLiteral("Unable to write to %1\n%2").arg(file, c.why)) << c.what;
        EXPECT_EQ(s.Address, 77);
    }
}

TEST_F(CommSettingsFile, AFolderThatCannotBeMadeIsTheReason)
{
    write("not a folder");
    const QString nested = dir.filePath(QStringLiteral("DNP.ini/settings/DNP.ini"));
    TcomSetIni s(nested);
    const Result<void> saved = s.Save();
    ASSERT_FALSE(saved.ok());
    const QStringList lines = saved.error().message.split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Unable to write to %1").arg(nested));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Cannot create the folder %1: ").arg(dir.filePath("DNP.ini/settings"))))
        << lines[1].toStdString();
    EXPECT_EQ(read(), "not a folder");
}

TEST_F(CommSettingsFile, SaveIntoAMissingFolderCreatesIt)
{
    const QString nested = dir.filePath(QStringLiteral("a/b/DNP.ini"));
    TcomSetIni s(nested);
    ASSERT_TRUE(s.Save().ok());
    EXPECT_TRUE(QFile::exists(nested));
}

// The folders as they are on disk; the program's folder can be written in every case.
TEST(CommSettingsLocation, WhatLiesBesideTheProgramDecides)
{
    struct Case {
        const char* what;
        std::function<void(const QDir& program)> arrange;
        bool userFile;
        bool readBeside;
        bool writeBeside;
    };
    const auto file = [](const QDir& program) { writeFileBytes(program.filePath("DNP.ini"), "[Comm]\n"); };
    const auto readOnly = [file](const QDir& program) {
        file(program);
        ASSERT_TRUE(QFile::setPermissions(program.filePath("DNP.ini"), QFileDevice::ReadOwner));
    };
    const auto folder = [](const QDir& program) { ASSERT_TRUE(program.mkdir("DNP.ini")); };
    const Case cases[] = {
        {"nothing", [](const QDir&) {}, false, false, false},
        {"nothing, a user file", [](const QDir&) {}, true, false, false},
        {"a file", file, false, true, true},
        {"a file and a user file", file, true, true, true},
        {"a read-only file", readOnly, false, true, false},
        {"a read-only file and a user file", readOnly, true, false, false},
        {"a folder", folder, false, true, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir program, user;
        c.arrange(QDir(program.path()));
        if (c.userFile)
            writeFileBytes(QDir(user.path()).filePath("DNP.ini"), "[Comm]\n");
        const QString beside = QDir(program.path()).filePath("DNP.ini");
        const QString own = QDir(user.path()).filePath("DNP.ini");
        const IniLocation l = iniLocationFor(program.path(), user.path());
        EXPECT_EQ(l.readPath, c.readBeside ? beside : own) << c.what;
        EXPECT_EQ(l.writePath, c.writeBeside ? beside : own) << c.what;
    }
}

// The program's folder is never created into: the first save makes the user's folder.
TEST(CommSettingsLocation, TheFirstSaveMakesTheUsersFolderAndNothingBesideTheProgram)
{
    QTemporaryDir program, config;
    const QString userDir = QDir(config.path()).filePath("DNP Configure");
    TcomSetIni s(iniLocationFor(program.path(), userDir));
    s.Address = 9;
    ASSERT_TRUE(s.Save());
    EXPECT_FALSE(QFileInfo::exists(QDir(program.path()).filePath("DNP.ini")));
    EXPECT_EQ(TcomSetIni(QDir(userDir).filePath("DNP.ini")).Address, 9);
    EXPECT_EQ(iniLocationFor(program.path(), userDir).readPath, QDir(userDir).filePath("DNP.ini"));
}

// A plain user may not replace the superuser's DNP.ini beside the program, in a folder
// anyone may write: it gives the settings, the user's folder takes the saves.
TEST(CommSettingsLocation, AnotherUsersFileBesideTheProgramIsOnlyRead)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can run a step as another user";
    QTemporaryDir program, config;
    ASSERT_EQ(::chmod(encodeFileName(program.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(encodeFileName(config.path()).constData(), 0777), 0);
    const QString beside = QDir(program.path()).filePath("DNP.ini");
    writeFileBytes(beside, "[Comm]\nAddress=12\n");
    const QString userDir = QDir(config.path()).filePath("DNP Configure");
    const test::PlainUserRun run = test::asPlainUser(program.path(), [&] {
        TcomSetIni s(iniLocationFor(program.path(), userDir));
        const QString before = s.location().readPath + '|' + s.location().writePath + '|' + QString::number(s.Address);
        s.Address = 13;
        const Result<void> saved = s.Save();
        return before + '|' + (saved ? QStringLiteral("saved") : saved.error().message);
    });
    if (!run.skipped.isEmpty())
        GTEST_SKIP() << run.skipped.toStdString();
    const QString own = QDir(userDir).filePath("DNP.ini");
    EXPECT_EQ(run.told, beside + '|' + own + "|12|saved");
    EXPECT_EQ(readFileBytes(beside), "[Comm]\nAddress=12\n");
    EXPECT_EQ(TcomSetIni(own).Address, 13);
}

// The user's folder is the desktop program's AppConfigLocation, for every program.
TEST(CommSettingsLocation, TheUsersFolderIsTheDesktopProgramsFolder)
{
    EXPECT_EQ(userSettingsFolder(), QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("DNP Configure"));
}

// A settings file of 100 000 keys reads in time linear in its size.
TEST(CommSettingsLocation, AHugeSectionStillReads)
{
    QTemporaryDir dir;
    QByteArray file = "[Comm]\nAddress=7\n";
    for (int k = 0; k < 100000; ++k)
        file += "K" + QByteArray::number(k) + "=1\n";
    QFile f(dir.filePath("DNP.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    EXPECT_EQ(TcomSetIni(dir.filePath("DNP.ini")).Address, 7);
}

TEST(CommSettingsLocation, ReadFromBesideTheProgramSaveToTheUserFolder)
{
    QTemporaryDir program, user;
    {
        QFile f(QDir(program.path()).filePath("DNP.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines({"[Ports]", "COM1=/dev/ttyUSB1", "[Comm]", "ComPort=1", "Address=9"}));
    }
    TcomSetIni s(chooseIniLocation(program.path(), BesideFile::ReadOnly, user.filePath("dnp"), false));
    EXPECT_EQ(s.Address, 9);
    EXPECT_EQ(s.portDevices().value(1), "/dev/ttyUSB1");
    s.Address = 10;
    ASSERT_TRUE(s.Save().ok());
    QFile saved(user.filePath("dnp/DNP.ini"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), lines({"[Ports]", "COM1=/dev/ttyUSB1", "[Comm]", "Baud=1", "ComPort=1", "Addressing=0",
                                      "Parity=0", "Address=10"}));
    EXPECT_EQ(s.location().readPath, user.filePath("dnp/DNP.ini"));
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.Address, 10);
}

TEST(CommSettingsChoice, ShowsTheSettingsInRange)
{
    QTemporaryDir dir;
    TcomSetIni s(dir.filePath("DNP.ini"));
    s.Baud = 0;
    s.ComPort = 4;
    s.Addressing = true;
    s.Parity = 1;
    s.Address = -3;
    const CommChoice c = s.choice();
    EXPECT_EQ(c.baudItem, 0);
    EXPECT_EQ(c.connectorItem, 4);
    EXPECT_EQ(c.addressingItem, 1);
    EXPECT_EQ(c.parityItem, 1);
    EXPECT_EQ(c.addressText, "-3");
    s.ComPort = 9;
    EXPECT_EQ(s.choice().connectorItem, 0);
}

TEST(CommSettingsChoice, StoresAllFive)
{
    QTemporaryDir dir;
    TcomSetIni s(dir.filePath("DNP.ini"));
    ASSERT_TRUE(s.store({2, 3, 1, 1, QStringLiteral("$20"), {}}));
    EXPECT_EQ(s.Baud, 2);
    EXPECT_EQ(s.ComPort, 3);
    EXPECT_TRUE(s.Addressing);
    EXPECT_EQ(s.Parity, 1);
    EXPECT_EQ(s.Address, 32);
}

// --- addresses: 0 to 255, refused otherwise, never cut to their low byte ---

TEST(CommSettingsAddress, TheFieldTakesAWholeNumberFrom0To255)
{
    struct Case {
        const char* text;
        std::optional<std::int32_t> address;
    };
    const Case cases[] = {
        {"0", 0},       {"255", 255},        {" 7 ", 7},          {"0xff", 255},       {"$10", 16},
        {"256", {}},    {"300", {}},         {"-1", {}},          {"abc", {}},         {"", {}},
        {"1.5", {}},    {"0x100", {}},       {"99999999999", {}}, {"12abc", {}},
    };
    for (const Case& c : cases) {
        const Result<std::int32_t> address = parseAddress(QString::fromLatin1(c.text));
        if (c.address) {
            EXPECT_EQ(address.ok() ? *address : -1, *c.address) << c.text;
        } else {
            ASSERT_FALSE(address.ok()) << c.text;
            EXPECT_EQ(address.error().message, "takes a whole number from 0 to 255") << c.text;
        }
    }
}

// The dialog's OK is refused with the address field named, and nothing is stored.
TEST(CommSettingsAddress, AChoiceWithoutAnAddressIsRefusedAndChangesNothing)
{
    QTemporaryDir dir;
    TcomSetIni s(dir.filePath("DNP.ini"));
    s.Address = 12;
    for (const char* text : {"abc", "", "300", "-5"}) {
        const CommChoice choice{2, 3, 1, 1, QString::fromLatin1(text), {{2, QStringLiteral("/dev/ttyUSB0")}}};
        const Result<void> checked = checkChoice(choice);
        ASSERT_FALSE(checked.ok()) << text;
        EXPECT_EQ(checked.error().field(), static_cast<int>(CommField::Address));
        const Result<void> stored = s.store(choice);
        ASSERT_FALSE(stored.ok()) << text;
        EXPECT_EQ(stored.error().message, kAddressRangeText);
        EXPECT_EQ(s.Address, 12);
        EXPECT_EQ(s.Baud, 1);
        EXPECT_EQ(s.ComPort, 0);
        EXPECT_TRUE(s.portDevices().isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("DNP.ini")));
}

// A stored address outside 0-255 is read as it is, and a transfer refuses it with the
// value and where to set another one.
TEST(CommSettingsAddress, AStoredAddressOutsideTheRangeIsRefusedForTransfers)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("DNP.ini");
    for (const char* stored : {"300", "-1", "256"}) {
        writeFileBytes(path, "[Comm]\nAddressing=1\nAddress=" + QByteArray(stored) + "\n");
        const TcomSetIni s(path);
        EXPECT_EQ(QString::number(s.Address), stored);
        const Result<std::int32_t> address = s.transferAddress();
        ASSERT_FALSE(address.ok());
        EXPECT_EQ(address.error().message,
                  QStringLiteral("The address %1 in the communication settings is not from 0 to 255.\n"
                                 "Set an address from 0 to 255 in Communication Settings or with "
                                 "\"dnpcfg settings --set address=N\"; the settings are kept in %2.")
                      .arg(QString::fromLatin1(stored), path));
    }
    writeFileBytes(path, "[Comm]\nAddress=255\n");
    EXPECT_EQ(TcomSetIni(path).transferAddress().value(), 255);
}

// --- settings changed by name ---

TEST(CommSettingsChange, EachKeyAndItsValues)
{
    QTemporaryDir dir;
    const QString ca = dir.filePath("ca.pem");
    struct Case {
        QString assignment;
        std::function<bool(const TcomSetIni&)> holds;
    };
    const Case cases[] = {
        {"port=0", [](const TcomSetIni& s) { return s.ComPort == 0; }},
        {"port=4", [](const TcomSetIni& s) { return s.ComPort == 4; }},
        {"device=/dev/ttyUSB0", [](const TcomSetIni& s) { return s.portDevices().value(3) == "/dev/ttyUSB0"; }},
        {"device=", [](const TcomSetIni& s) { return !s.portDevices().contains(3); }},
        {"baud=19200", [](const TcomSetIni& s) { return s.Baud == 0; }},
        {"baud=4800", [](const TcomSetIni& s) { return s.Baud == 2; }},
        {"parity=even", [](const TcomSetIni& s) { return s.Parity == 1; }},
        {"parity=none", [](const TcomSetIni& s) { return s.Parity == 0; }},
        {"addressing=on", [](const TcomSetIni& s) { return s.Addressing; }},
        {"addressing=yes", [](const TcomSetIni& s) { return s.Addressing; }},
        {"addressing=off", [](const TcomSetIni& s) { return !s.Addressing; }},
        {"address=0", [](const TcomSetIni& s) { return s.Address == 0; }},
        {"address=255", [](const TcomSetIni& s) { return s.Address == 255; }},
        {"verify-after-send=off", [](const TcomSetIni& s) { return !s.VerifyAfterSend; }},
        {"tls-ca=" + ca, [&ca](const TcomSetIni& s) { return s.Tls.ca == ca; }},
        {"tls-cert=desk.pem", [](const TcomSetIni& s) { return s.Tls.cert == QDir::current().filePath("desk.pem"); }},
        {"tls-key=", [](const TcomSetIni& s) { return s.Tls.key == ""; }},
        {"tls-fingerprint=3fa0" "1234567890abcdef1234567890abcdef1234567890abcdef1234567890ab",
         [](const TcomSetIni& s) {
             return s.Tls.fingerprint == "3F:A0:12:34:56:78:90:AB:CD:EF:12:34:56:78:90:AB:CD:EF:12:34:56:78:90:AB:CD:EF:"
                                         "12:34:56:78:90:AB";
         }},
    };
    const QString path = dir.filePath("DNP.ini");
    for (const Case& c : cases) {
        writeFileBytes(path, "[Comm]\nComPort=3\nTlsKey=k.pem\n[Ports]\nCOM3=/dev/ttyS9\n");
        TcomSetIni s(path);
        const Result<SettingsChange> change = parseSettingsChange({c.assignment});
        ASSERT_TRUE(change.ok()) << c.assignment.toStdString() << ": " << change.error().message.toStdString();
        ASSERT_TRUE(s.change(*change));
        EXPECT_TRUE(c.holds(s)) << c.assignment.toStdString();
    }
}

// A device goes to the port chosen after the change; with none chosen COM 1 is chosen
// and takes it, as a click in the dialog's port list does.
TEST(CommSettingsChange, TheDeviceGoesToTheChosenPort)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("DNP.ini");
    struct Case {
        const char* file;
        QStringList assignments;
        int port;
    };
    const Case cases[] = {
        {"[Comm]\nComPort=3\n", {"device=/dev/ttyUSB0"}, 3},
        {"[Comm]\nComPort=3\n", {"device=/dev/ttyUSB0", "port=2"}, 2},
        {"[Comm]\nComPort=0\n", {"device=/dev/ttyUSB0"}, 1},
        {"[Comm]\nComPort=2\n", {"port=0", "device=/dev/ttyUSB0"}, 1},
    };
    for (const Case& c : cases) {
        writeFileBytes(path, c.file);
        TcomSetIni s(path);
        ASSERT_TRUE(s.change(parseSettingsChange(c.assignments).value()));
        EXPECT_EQ(s.ComPort, c.port) << c.assignments.join(' ').toStdString();
        EXPECT_EQ(s.portDevices(), (QMap<int, QString>{{c.port, "/dev/ttyUSB0"}}));
    }
}

TEST(CommSettingsChange, AnAddressOutsideTheRangeChangesNothing)
{
    QTemporaryDir dir;
    TcomSetIni s(dir.filePath("DNP.ini"));
    const Result<void> changed = s.change({{{settingNamed(u"baud"), "19200"}, {settingNamed(u"address"), "300"}}});
    ASSERT_FALSE(changed.ok());
    EXPECT_EQ(changed.error().message, "address takes a whole number from 0 to 255");
    EXPECT_EQ(s.Baud, 1);
    EXPECT_EQ(s.Address, 1);
}

// [Ports] and [TlsFingerprints] are the program's: written whole, so that a device
// removed in the dialog or with an empty --set device= loses its line.
TEST(CommSettingsChange, ARemovedDeviceLosesItsLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("DNP.ini");
    writeFileBytes(path, "[Ports]\n; the adapters\nCOM1=/dev/ttyUSB0\nCOM2=/dev/ttyUSB1\n[Comm]\nComPort=2\n");
    TcomSetIni s(path);
    CommChoice choice = s.choice();
    choice.portDevices.remove(1);
    ASSERT_TRUE(s.store(choice));
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(readFileBytes(path),
              "[Ports]\nCOM2=/dev/ttyUSB1\n; the adapters\n[Comm]\nBaud=1\nComPort=2\nAddressing=0\nParity=0\nAddress=1\n");
    ASSERT_TRUE(s.update([](TcomSetIni& t) { return t.change(parseSettingsChange({"port=2", "device="}).value()); }));
    EXPECT_TRUE(TcomSetIni(path).portDevices().isEmpty());
    EXPECT_TRUE(readFileBytes(path).startsWith("[Ports]\n; the adapters\n[Comm]\n"));
}
