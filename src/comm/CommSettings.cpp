#include "comm/CommSettings.h"

#include "comm/IniFile.h"
#include "files/FileAccess.h"
#include "files/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

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
const QString kHistoryDatabaseKey = QStringLiteral("Database");
const QString kHistoryRequiredKey = QStringLiteral("Required");

// The TLS keys of [Comm], the setting each holds and the change that sets it.
struct TlsKey {
    const char* key;
    QString TlsSettings::*setting;
    std::optional<QString> SettingsChange::*change;
};
constexpr TlsKey kTlsKeys[] = {
    {"TlsCa", &TlsSettings::ca, &SettingsChange::tlsCa},
    {"TlsFingerprint", &TlsSettings::fingerprint, &SettingsChange::tlsFingerprint},
    {"TlsCert", &TlsSettings::cert, &SettingsChange::tlsCert},
    {"TlsKey", &TlsSettings::key, &SettingsChange::tlsKey},
};

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

// --- the keys of a settings change: each value read into the change, or what the key
// takes ("takes on or off"; the key's name goes before it) ---

Result<SettingsChange> takePort(SettingsChange change, QStringView value)
{
    const Result<std::int32_t> port = parseIniInteger(value);
    if (!port || *port < 0 || *port > TcomSetIni::kHighestComPort)
        return failure(QStringLiteral("takes 0 (none) or a COM number from 1 to %1").arg(TcomSetIni::kHighestComPort));
    change.comPort = *port;
    return change;
}

Result<SettingsChange> takeDevice(SettingsChange change, QStringView value)
{
    if (value.trimmed().isEmpty())
        return failure(QStringLiteral("takes a device name"));
    change.device = value.toString();
    return change;
}

Result<SettingsChange> takeBaud(SettingsChange change, QStringView value)
{
    const Result<int> item = parseBaudItem(value);
    if (!item)
        return item.error();
    change.baudItem = *item;
    return change;
}

Result<SettingsChange> takeParity(SettingsChange change, QStringView value)
{
    const Result<bool> even = parseEvenParity(value);
    if (!even)
        return even.error();
    change.evenParity = *even;
    return change;
}

Result<SettingsChange> takeAddress(SettingsChange change, QStringView value)
{
    const Result<std::int32_t> address = parseAddress(value);
    if (!address)
        return address.error();
    change.address = *address;
    return change;
}

// A file, kept with its folder so that it is found from anywhere; empty: unset.
template <std::optional<QString> SettingsChange::*field>
Result<SettingsChange> takeFile(SettingsChange change, QStringView value)
{
    change.*field = value.isEmpty() ? QString() : QFileInfo(value.toString()).absoluteFilePath();
    return change;
}

Result<SettingsChange> takeFingerprint(SettingsChange change, QStringView value)
{
    const std::optional<QByteArray> fingerprint = parseFingerprint(value);
    if (!value.isEmpty() && !fingerprint)
        return failure(QStringLiteral("takes 64 hex digits (a SHA-256 fingerprint, colons allowed) or nothing"));
    change.tlsFingerprint = fingerprint ? fingerprintText(*fingerprint) : QString();
    return change;
}

template <std::optional<bool> SettingsChange::*field>
Result<SettingsChange> takeOnOrOff(SettingsChange change, QStringView value)
{
    if (value != QLatin1String("on") && value != QLatin1String("off"))
        return failure(QStringLiteral("takes on or off"));
    change.*field = value == QLatin1String("on");
    return change;
}

// A control character (a line break, a tab, ...) or a line or paragraph separator.
bool isControl(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

// The keys of a change, in the order they are listed, and how each takes its value.
struct SettingKey {
    const char* key;
    Result<SettingsChange> (*take)(SettingsChange change, QStringView value);
};
constexpr SettingKey kSettingKeys[] = {
    {"port", takePort},
    {"device", takeDevice},
    {"baud", takeBaud},
    {"parity", takeParity},
    {"addressing", takeOnOrOff<&SettingsChange::addressing>},
    {"address", takeAddress},
    {"verify-after-send", takeOnOrOff<&SettingsChange::verifyAfterSend>},
    {"tls-ca", takeFile<&SettingsChange::tlsCa>},
    {"tls-fingerprint", takeFingerprint},
    {"tls-cert", takeFile<&SettingsChange::tlsCert>},
    {"tls-key", takeFile<&SettingsChange::tlsKey>},
};

}  // namespace

Result<int> parseBaudItem(QStringView text)
{
    const auto rate = std::find_if(kBaudTexts.begin(), kBaudTexts.end(),
                                   [text](const char* rateText) { return text == QLatin1String(rateText); });
    if (rate == kBaudTexts.end())
        return failure(QStringLiteral("takes 19200, 9600 or 4800"));
    return static_cast<int>(rate - kBaudTexts.begin());
}

std::int32_t baudRateOf(int baudItem)
{
    return QByteArray(kBaudTexts[static_cast<std::size_t>(baudItem)]).toInt();
}

Result<bool> parseEvenParity(QStringView text)
{
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0 &&
        text.compare(QLatin1String("even"), Qt::CaseInsensitive) != 0)
        return failure(QStringLiteral("takes none or even"));
    return text.compare(QLatin1String("even"), Qt::CaseInsensitive) == 0;
}

IniLocation chooseIniLocation(const QString& programDir, BesideFile beside, const QString& userConfigDir,
                              bool userFileExists)
{
    const QString besidePath = QDir(programDir).filePath(kIniFileName);
    if (beside == BesideFile::Writable || userConfigDir.isEmpty())
        return {besidePath, besidePath};
    const QString user = QDir(userConfigDir).filePath(kIniFileName);
    if (!userFileExists && beside == BesideFile::ReadOnly)
        return {besidePath, user};
    return {user, user};
}

QString userSettingsFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(kUserSettingsFolderName);
}

IniLocation defaultIniLocation()
{
    return iniLocationFor(QCoreApplication::applicationDirPath(), userSettingsFolder());
}

IniLocation iniLocationFor(const QString& programDir, const QString& userDir)
{
    const QString besidePath = QDir(programDir).filePath(kIniFileName);
    BesideFile beside = BesideFile::None;
    if (QFileInfo::exists(besidePath))
        beside = checkWritable(besidePath) ? BesideFile::Writable : BesideFile::ReadOnly;
    const bool userFileExists = !userDir.isEmpty() && QFileInfo::exists(QDir(userDir).filePath(kIniFileName));
    return chooseIniLocation(programDir, beside, userDir, userFileExists);
}

Result<std::int32_t> parseAddress(QStringView text)
{
    const Result<std::int32_t> address = parseIniInteger(text);
    if (!address || !isAddress(*address))
        return failure(QStringLiteral("takes ") + kAddressValues);
    return *address;
}

Result<void> checkChoice(const CommChoice& choice)
{
    if (const Result<std::int32_t> address = parseAddress(choice.addressText); !address)
        return fieldFailure(kAddressRangeText, static_cast<int>(CommField::Address));
    return {};
}

Result<SettingsChange> parseSettingsChange(const QStringList& assignments)
{
    SettingsChange change;
    QStringList given;
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return failure(QStringLiteral("'%1' is not KEY=VALUE").arg(assignment));
        const QString key = assignment.left(equals);
        const auto known = std::find_if(std::begin(kSettingKeys), std::end(kSettingKeys),
                                        [&key](const SettingKey& k) { return key == QLatin1String(k.key); });
        if (known == std::end(kSettingKeys)) {
            QStringList keys;
            for (const SettingKey& k : kSettingKeys)
                keys << QLatin1String(k.key);
            return failure(QStringLiteral("unknown setting '%1' (%2)").arg(key, keys.join(QStringLiteral(", "))));
        }
        if (given.contains(key))
            return failure(QStringLiteral("%1 is given twice").arg(key));
        given << key;
        const QStringView value = QStringView(assignment).sliced(equals + 1);
        // A line break would end the line in DNP.ini and start lines of its own.
        if (std::any_of(value.begin(), value.end(), isControl))
            return failure(key + QStringLiteral(" takes no line breaks or other control characters"));
        Result<SettingsChange> taken = known->take(change, value);
        if (!taken)
            return failure(key + QLatin1Char(' ') + taken.error().message);
        change = std::move(taken).value();
    }
    return change;
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
    VerifyAfterSend = readInteger(file, kOptionsSection, kVerifyAfterSendKey, 1) != 0;
    verifyKeyPresent_ = verify.has_value();
    for (const TlsKey& tls : kTlsKeys)
        Tls.*tls.setting = iniValue(file, kCommSection, QString::fromLatin1(tls.key)).value_or(QString());
    HistoryDatabase = iniValue(file, kHistorySection, kHistoryDatabaseKey).value_or(QString());
    HistoryRequired = readInteger(file, kHistorySection, kHistoryRequiredKey, 0) != 0;
    mapIntoRange();

    portDevices_.clear();
    static const QRegularExpression portKey(QStringLiteral("^COM([1-9][0-9]{0,4})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const auto& [key, value] : iniSection(file, kPortsSection)) {
        const auto match = portKey.match(key);
        if (match.hasMatch() && !value.isEmpty())
            portDevices_.insert(match.captured(1).toInt(), value);
    }
    trusted_.clear();
    for (const auto& [device, fingerprint] : iniSection(file, kTlsFingerprintsSection))
        if (!fingerprint.isEmpty())
            trusted_.insert(device, fingerprint);
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

namespace {

// "Unable to write to PATH", and why on a second line.
Error unableToWrite(const QString& path, const Error& why)
{
    return failure(QStringLiteral("Unable to write to %1\n%2").arg(QDir::toNativeSeparators(path), why.message));
}

}  // namespace

Result<void> TcomSetIni::Save()
{
    const QString path = location_.writePath;

    // Start from the file as it is, so that the user's other sections and keys stay.
    QByteArray file;
    const QString basis = QFileInfo::exists(path) ? path : location_.readPath;
    if (QFileInfo::exists(basis) && isRegularFileOrAbsent(basis)) {
        Result<QByteArray> read = readInputFile(basis, kMaxIniBytes, QStringLiteral("a settings file"));
        if (!read)
            return unableToWrite(path, read.error());
        file = std::move(read).value();
    }
    std::vector<std::pair<QString, QString>> comm = {{kBaudKey, QString::number(Baud)},
                                                     {kComPortKey, QString::number(ComPort)},
                                                     {kAddressingKey, QString::number(IsAddressing())},
                                                     {kParityKey, QString::number(Parity)},
                                                     {kAddressKey, QString::number(Address)}};
    // A TLS key is written once set, and kept (empty) once it was in the file.
    for (const TlsKey& tls : kTlsKeys)
        if (!(Tls.*tls.setting).isEmpty() || iniValue(file, kCommSection, QString::fromLatin1(tls.key)))
            comm.emplace_back(QLatin1String(tls.key), Tls.*tls.setting);
    file = writeIniSection(file, kCommSection, comm);
    if (!portDevices_.isEmpty()) {
        std::vector<std::pair<QString, QString>> ports;
        for (auto it = portDevices_.cbegin(); it != portDevices_.cend(); ++it)
            ports.emplace_back(QStringLiteral("COM%1").arg(it.key()), it.value());
        file = writeIniSection(file, kPortsSection, ports);
    }
    if (!trusted_.isEmpty()) {
        std::vector<std::pair<QString, QString>> trusted;
        for (auto it = trusted_.cbegin(); it != trusted_.cend(); ++it)
            trusted.emplace_back(it.key(), it.value());
        file = writeIniSection(file, kTlsFingerprintsSection, trusted);
    }
    // A file that never had the option keeps without it while it is on (the default).
    const bool writeVerify = !VerifyAfterSend || verifyKeyPresent_;
    if (writeVerify)
        file = writeIniSection(file, kOptionsSection, {{kVerifyAfterSendKey, VerifyAfterSend ? "1" : "0"}});

    if (const Result<void> folder = makeFolders(QFileInfo(path).absolutePath(), NewFileOwner::FolderOwner); !folder)
        return unableToWrite(path, folder.error());
    if (const Result<void> written = writeFileSafely(path, file, NewFileOwner::FolderOwner); !written)
        return unableToWrite(path, written.error());
    verifyKeyPresent_ = writeVerify;
    location_.readPath = path;
    return {};
}

Result<void> TcomSetIni::update(const std::function<Result<void>(TcomSetIni&)>& edit)
{
    const QString path = location_.writePath;
    // The lock file needs the folder.
    if (const Result<void> folder = makeFolders(QFileInfo(path).absolutePath(), NewFileOwner::FolderOwner); !folder)
        return unableToWrite(path, folder.error());
    const Result<FileLock> lock = FileLock::take(path, NewFileOwner::FolderOwner);
    if (!lock)
        return unableToWrite(path, lock.error());
    // What another writer saved since this one read is the starting point. A file that
    // does not read gives the defaults here; the save says why it cannot replace it.
    if (QFileInfo::exists(path))
        location_.readPath = path;
    (void)Load();
    if (const Result<void> edited = edit(*this); !edited)
        return edited;
    return Save();
}

QString TcomSetIni::BaudText() const
{
    return QString::fromLatin1(kBaudTexts[Baud < kBaudCount ? Baud : kDefaultBaud]);
}

std::int32_t TcomSetIni::baudRate() const { return baudRateOf(Baud < kBaudCount ? Baud : kDefaultBaud); }

CommChoice TcomSetIni::choice() const
{
    TcomSetIni inRange = *this;
    inRange.mapIntoRange();
    return {inRange.Baud, inRange.ComPort, inRange.Addressing ? 1 : 0, inRange.Parity, QString::number(Address),
            portDevices_};
}

Result<void> TcomSetIni::store(const CommChoice& choice)
{
    if (const Result<void> checked = checkChoice(choice); !checked)
        return checked;
    Baud = static_cast<std::uint8_t>(choice.baudItem);
    ComPort = choice.connectorItem;
    Parity = choice.parityItem;
    Addressing = choice.addressingItem == 1;
    Address = parseAddress(choice.addressText).value();
    portDevices_ = choice.portDevices;
    mapIntoRange();
    return {};
}

Result<void> TcomSetIni::change(const SettingsChange& change)
{
    if (change.address && !isAddress(*change.address))
        return failure(kAddressRangeText);
    if (change.comPort)
        ComPort = *change.comPort;
    if (change.baudItem)
        Baud = static_cast<std::uint8_t>(*change.baudItem);
    if (change.evenParity)
        Parity = *change.evenParity ? 1 : 0;
    if (change.addressing)
        Addressing = *change.addressing;
    if (change.address)
        Address = *change.address;
    if (change.verifyAfterSend)
        VerifyAfterSend = *change.verifyAfterSend;
    for (const TlsKey& tls : kTlsKeys)
        if (change.*tls.change)
            Tls.*tls.setting = *(change.*tls.change);
    mapIntoRange();
    if (change.device) {
        if (ComPort == 0)
            ComPort = 1;
        portDevices_[ComPort] = *change.device;
    }
    return {};
}

TlsSettings TcomSetIni::tlsFor(const QString& device) const
{
    TlsSettings tls = Tls;
    const QDir folder = QFileInfo(location_.readPath).absoluteDir();
    for (QString* file : {&tls.ca, &tls.cert, &tls.key})
        if (!file->isEmpty())
            *file = folder.absoluteFilePath(*file);
    for (auto it = trusted_.cbegin(); it != trusted_.cend(); ++it)
        if (it.key().compare(device, Qt::CaseInsensitive) == 0)
            tls.fingerprint = it.value();
    return tls;
}

void TcomSetIni::trustCertificate(const QString& device, const QByteArray& fingerprint)
{
    trusted_.removeIf([&device](const auto& entry) { return entry.key().compare(device, Qt::CaseInsensitive) == 0; });
    trusted_.insert(device, fingerprintText(fingerprint));
}

Result<std::int32_t> TcomSetIni::transferAddress() const
{
    if (isAddress(Address))
        return Address;
    return failure(QStringLiteral("The address %1 in the communication settings is not from 0 to 255.\n"
                                  "Set an address from 0 to 255 in Communication Settings or with "
                                  "\"dnpcfg settings --set address=N\"; the settings are kept in %2.")
                       .arg(Address)
                       .arg(QDir::toNativeSeparators(location_.readPath)));
}

}  // namespace dnp
