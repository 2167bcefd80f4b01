#include "comm/CommSettings.h"

#include "comm/IniFile.h"
#include "files/FileAccess.h"
#include "files/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace dnp {
namespace {

const QString kBaudKey = QStringLiteral("Baud");
const QString kComPortKey = QStringLiteral("ComPort");
const QString kAddressingKey = QStringLiteral("Addressing");
const QString kParityKey = QStringLiteral("Parity");
const QString kAddressKey = QStringLiteral("Address");
// Read only: a panel that sums its replies another way can be reached with 0.
const QString kCheckReplyChecksumKey = QStringLiteral("CheckReplyChecksum");
const QString kCheckRetrievedImageKey = QStringLiteral("CheckRetrievedImage");
const QString kVerifyAfterSendKey = QStringLiteral("VerifyAfterSend");

// The integer value of a key of a section; `fallback` for a missing key or another value.
std::int32_t readInteger(QByteArrayView file, QStringView section, QStringView key, std::int32_t fallback)
{
    const auto text = iniValue(file, section, key);
    if (!text)
        return fallback;
    const Result<std::int32_t> value = parseIniInteger(*text);
    return value ? *value : fallback;
}

std::int32_t readInteger(QByteArrayView file, QStringView key, std::int32_t fallback)
{
    return readInteger(file, kCommSection, key, fallback);
}

// Whether a file can be written at `path`: the existing regular file, or a new one in
// its folder (a folder or a device by that name cannot be replaced).
bool canWrite(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        return file.isFile() && file.isWritable();
    const QFileInfo dir(file.absolutePath());
    return dir.isDir() && dir.isWritable();
}

}  // namespace

IniLocation chooseIniLocation(const QString& programDir, bool besideWritable, const QString& userConfigDir,
                              bool userFileExists)
{
    const QString beside = QDir(programDir).filePath(kIniFileName);
    if (besideWritable || userConfigDir.isEmpty())
        return {beside, beside};
    const QString user = QDir(userConfigDir).filePath(kIniFileName);
    return {userFileExists ? user : beside, user};
}

IniLocation defaultIniLocation()
{
    return iniLocationFor(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

IniLocation iniLocationFor(const QString& programDir, const QString& userDir)
{
    const bool besideWritable = canWrite(QDir(programDir).filePath(kIniFileName));
    const bool userFileExists = !userDir.isEmpty() && QFileInfo::exists(QDir(userDir).filePath(kIniFileName));
    return chooseIniLocation(programDir, besideWritable, userDir, userFileExists);
}

TcomSetIni::TcomSetIni() : TcomSetIni(defaultIniLocation()) {}

TcomSetIni::TcomSetIni(const QString& iniPath) : TcomSetIni(IniLocation{iniPath, iniPath}) {}

TcomSetIni::TcomSetIni(IniLocation location) : location_(std::move(location)) { (void)Load(); }

Result<void> TcomSetIni::Load()
{
    // A file that cannot be read (missing, not a regular file, larger than any settings
    // file, no right to read it) gives the defaults.
    QByteArray file;
    Result<QByteArray> read = readInputFile(location_.readPath, kMaxIniBytes, QStringLiteral("a settings file"));
    if (read)
        file = std::move(read).value();

    // Checked before it goes into the 8-bit field, so that 258 does not wrap to 2.
    const std::int32_t baud = readInteger(file, kBaudKey, kDefaultBaud);
    Baud = baud >= 0 && baud < kBaudCount ? static_cast<std::uint8_t>(baud) : kDefaultBaud;
    ComPort = readInteger(file, kComPortKey, kDefaultComPort);
    Addressing = readInteger(file, kAddressingKey, kDefaultAddressing ? 1 : 0) != 0;
    Parity = readInteger(file, kParityKey, kDefaultParity);
    Address = readInteger(file, kAddressKey, kDefaultAddress);
    CheckReplyChecksum = readInteger(file, kCheckReplyChecksumKey, 1) != 0;
    CheckRetrievedImage = readInteger(file, kCheckRetrievedImageKey, 1) != 0;
    const std::optional<QString> verify = iniValue(file, kOptionsSection, kVerifyAfterSendKey);
    VerifyAfterSend = readInteger(file, kOptionsSection, kVerifyAfterSendKey, 0) != 0;
    verifyKeyPresent_ = verify.has_value();
    mapIntoRange();

    portDevices_.clear();
    static const QRegularExpression portKey(QStringLiteral("^COM([1-9][0-9]{0,4})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const auto& [key, value] : iniSection(file, kPortsSection)) {
        const auto match = portKey.match(key);
        if (match.hasMatch() && !value.isEmpty())
            portDevices_.insert(match.captured(1).toInt(), value);
    }
    if (!read)
        return read.error();
    return {};
}

void TcomSetIni::mapIntoRange()
{
    if (Baud >= kBaudCount)
        Baud = kDefaultBaud;
    if (ComPort < 0 || ComPort > kHighestComPort)
        ComPort = kDefaultComPort;
    if (Parity != 0 && Parity != 1)
        Parity = kDefaultParity;
}

Result<void> TcomSetIni::Save()
{
    const QString path = location_.writePath;
    const Error unableToWrite = failure(QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path)));

    // Start from the file as it is, so that the user's other sections and keys stay.
    QByteArray file;
    const QString basis = QFileInfo::exists(path) ? path : location_.readPath;
    if (QFileInfo::exists(basis) && isRegularFileOrAbsent(basis)) {
        Result<QByteArray> read = readInputFile(basis, kMaxIniBytes, QStringLiteral("a settings file"));
        if (!read)
            return unableToWrite;
        file = std::move(read).value();
    }
    file = writeIniSection(file, kCommSection,
                           {{kBaudKey, QString::number(Baud)},
                            {kComPortKey, QString::number(ComPort)},
                            {kAddressingKey, QString::number(IsAddressing())},
                            {kParityKey, QString::number(Parity)},
                            {kAddressKey, QString::number(Address)}});
    if (!portDevices_.isEmpty()) {
        std::vector<std::pair<QString, QString>> ports;
        for (auto it = portDevices_.cbegin(); it != portDevices_.cend(); ++it)
            ports.emplace_back(QStringLiteral("COM%1").arg(it.key()), it.value());
        file = writeIniSection(file, kPortsSection, ports);
    }
    // A file that never had the option keeps without it while it is off.
    if (VerifyAfterSend || verifyKeyPresent_) {
        file = writeIniSection(file, kOptionsSection, {{kVerifyAfterSendKey, VerifyAfterSend ? "1" : "0"}});
        verifyKeyPresent_ = true;
    }

    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!writeFileSafely(path, file))
        return unableToWrite;
    location_.readPath = path;
    return {};
}

QString TcomSetIni::BaudText() const
{
    return QString::fromLatin1(kBaudTexts[Baud < kBaudCount ? Baud : kDefaultBaud]);
}

std::int32_t TcomSetIni::baudRate() const { return BaudText().toInt(); }

CommChoice TcomSetIni::choice() const
{
    TcomSetIni inRange = *this;
    inRange.mapIntoRange();
    return {inRange.Baud, inRange.ComPort, inRange.Addressing ? 1 : 0, inRange.Parity, QString::number(Address),
            portDevices_};
}

void TcomSetIni::store(const CommChoice& choice)
{
    Baud = static_cast<std::uint8_t>(choice.baudItem);
    ComPort = choice.connectorItem;
    Parity = choice.parityItem;
    Addressing = choice.addressingItem == 1;
    if (const Result<std::int32_t> address = parseIniInteger(choice.addressText))
        Address = *address;
    portDevices_ = choice.portDevices;
    mapIntoRange();
}

}  // namespace dnp
