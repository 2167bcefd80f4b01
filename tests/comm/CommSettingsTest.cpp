#include "comm/CommSettings.h"
#include "comm/IniFile.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dnp;

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
    EXPECT_EQ(again.addressByte(), 44);
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

TEST_F(CommSettingsFile, NotANumberGivesTheDefault)
{
    EXPECT_EQ(loadComm("Address=ten" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Address=" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Address=0x" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Address=12abc" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Address=1.5" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Address=99999999999" + kEol).Address, 1);
    EXPECT_EQ(loadComm("Baud=fast" + kEol).Baud, 1);
    EXPECT_EQ(loadComm("Addressing=yes" + kEol).Addressing, false);
}

TEST_F(CommSettingsFile, AddressIsAnyInteger)
{
    EXPECT_EQ(loadComm("Address=-5" + kEol).Address, -5);
    EXPECT_EQ(loadComm("Address=  42  " + kEol).Address, 42);
    EXPECT_EQ(loadComm("Address=300" + kEol).Address, 300);
    EXPECT_EQ(loadComm("Address=300" + kEol).addressByte(), 44);
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

TEST_F(CommSettingsFile, ValuesOutsideTheRangesBecomeTheDefaults)
{
    EXPECT_EQ(loadComm("Baud=3" + kEol).Baud, 1);
    EXPECT_EQ(loadComm("Baud=258" + kEol).Baud, 1);  // not wrapped to 2
    EXPECT_EQ(loadComm("Baud=-1" + kEol).Baud, 1);
    EXPECT_EQ(loadComm("Baud=0" + kEol).Baud, 0);
    EXPECT_EQ(loadComm("ComPort=5" + kEol).ComPort, 0);
    EXPECT_EQ(loadComm("ComPort=-1" + kEol).ComPort, 0);
    EXPECT_EQ(loadComm("ComPort=4" + kEol).ComPort, 4);
    EXPECT_EQ(loadComm("Parity=2" + kEol).Parity, 0);
    EXPECT_EQ(loadComm("Parity=-1" + kEol).Parity, 0);
    EXPECT_EQ(loadComm("Parity=1" + kEol).Parity, 1);
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

// A port chosen in the dialog is stored as a hand edit would store it; the verify option
// is written once it has been turned on.
TEST_F(CommSettingsFile, ChosenPortDevicesAndTheVerifyOptionAreSaved)
{
    write(lines({"[Ports]", "COM1=/dev/pts/7", "[Comm]", "ComPort=1"}));
    TcomSetIni s(path());
    CommChoice choice = s.choice();
    choice.connectorItem = 2;
    choice.portDevices.insert(2, QStringLiteral("/dev/ttyUSB1"));
    s.store(choice);
    s.VerifyAfterSend = true;
    ASSERT_TRUE(s.Save().ok());
    EXPECT_EQ(read(), lines({"[Ports]", "COM1=/dev/pts/7", "COM2=/dev/ttyUSB1", "[Comm]", "Baud=1", "ComPort=2",
                             "Addressing=0", "Parity=0", "Address=1", "[Options]", "VerifyAfterSend=1"}));
    TcomSetIni again(path());
    EXPECT_TRUE(again.VerifyAfterSend);
    EXPECT_EQ(again.portDevices().value(2), "/dev/ttyUSB1");
    again.VerifyAfterSend = false;
    ASSERT_TRUE(again.Save().ok());
    EXPECT_TRUE(read().endsWith(lines({"[Options]", "VerifyAfterSend=0"})));
}

TEST_F(CommSettingsFile, UnwritableFileGivesTheMessageAndKeepsTheValues)
{
    // A folder where the file should be: not even root can write it.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DNP.ini")));
    TcomSetIni s(path());
    s.Address = 77;
    const Result<void> saved = s.Save();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().message, QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path())));
    EXPECT_EQ(s.Address, 77);
}

TEST_F(CommSettingsFile, SaveIntoAMissingFolderCreatesIt)
{
    const QString nested = dir.filePath(QStringLiteral("a/b/DNP.ini"));
    TcomSetIni s(nested);
    ASSERT_TRUE(s.Save().ok());
    EXPECT_TRUE(QFile::exists(nested));
}

TEST(CommSettingsLocation, BesideTheProgramWhenItsFolderCanBeWritten)
{
    const auto l = chooseIniLocation("/opt/dnp", true, "/home/u/.config/dnp", true);
    EXPECT_EQ(l.readPath, "/opt/dnp/DNP.ini");
    EXPECT_EQ(l.writePath, "/opt/dnp/DNP.ini");
}

TEST(CommSettingsLocation, UserFolderWhenTheProgramsFolderCannotBeWritten)
{
    auto l = chooseIniLocation("/opt/dnp", false, "/home/u/.config/dnp", true);
    EXPECT_EQ(l.readPath, "/home/u/.config/dnp/DNP.ini");
    EXPECT_EQ(l.writePath, "/home/u/.config/dnp/DNP.ini");
    // Before the first save there, the file beside the program is read.
    l = chooseIniLocation("/opt/dnp", false, "/home/u/.config/dnp", false);
    EXPECT_EQ(l.readPath, "/opt/dnp/DNP.ini");
    EXPECT_EQ(l.writePath, "/home/u/.config/dnp/DNP.ini");
}

TEST(CommSettingsLocation, TheProgramsFolderHereIsWritable)
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("DNP.ini");
    const IniLocation l = defaultIniLocation();
    EXPECT_EQ(l.readPath, beside);
    EXPECT_EQ(l.writePath, beside);
}

// A folder named DNP.ini beside a writable program folder cannot take the settings.
TEST(CommSettingsLocation, AFolderNamedDnpIniSendsTheSettingsToTheUserFolder)
{
    QTemporaryDir program, user;
    ASSERT_TRUE(QDir(program.path()).mkdir("DNP.ini"));
    const IniLocation l = iniLocationFor(program.path(), user.path());
    EXPECT_EQ(l.writePath, QDir(user.path()).filePath("DNP.ini"));
    TcomSetIni s(l);
    s.Address = 9;
    EXPECT_TRUE(s.Save().ok());
    EXPECT_EQ(TcomSetIni(l.writePath).Address, 9);
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
    TcomSetIni s(chooseIniLocation(program.path(), false, user.filePath("dnp"), false));
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

TEST(CommSettingsChoice, StoresAllFiveAndIgnoresANonIntegerAddress)
{
    QTemporaryDir dir;
    TcomSetIni s(dir.filePath("DNP.ini"));
    s.Address = 12;
    s.store({2, 3, 1, 1, QStringLiteral("abc"), {}});
    EXPECT_EQ(s.Baud, 2);
    EXPECT_EQ(s.ComPort, 3);
    EXPECT_TRUE(s.Addressing);
    EXPECT_EQ(s.Parity, 1);
    EXPECT_EQ(s.Address, 12);
    s.store({0, 0, 0, 0, QString(), {}});
    EXPECT_EQ(s.Address, 12);
    EXPECT_FALSE(s.Addressing);
    s.store({0, 0, 0, 0, QStringLiteral("300"), {}});
    EXPECT_EQ(s.Address, 300);
    s.store({0, 0, 0, 0, QStringLiteral("$20"), {}});
    EXPECT_EQ(s.Address, 32);
}
