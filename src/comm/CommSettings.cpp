#include "comm/CommSettings.h"

#include "comm/IniFile.h"
#include "comm/SerialPort.h"
#include "files/FileAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

namespace dnp {
namespace {

const QString kHistoryDatabaseKey = QStringLiteral("Database");

// What each kind of value takes, after the key's name.
const QString kTakesSwitch = QStringLiteral("takes 0 or 1, on or off, yes or no, true or false");
const QString kTakesFingerprint = QStringLiteral("takes 64 hex digits (a SHA-256 fingerprint, colons allowed) or nothing");
const QString kTakesComPort = QStringLiteral("takes 0 (none) or a COM number from 1 to %1").arg(TcomSetIni::kHighestComPort);

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// An integer from `lowest` to `highest`, or what the key takes.
Result<std::int32_t> integerIn(QStringView text, std::int32_t lowest, std::int32_t highest, const QString& takes)
{
    const Result<std::int32_t> value = parseIniInteger(text);
    if (!value || *value < lowest || *value > highest)
        return failure(takes);
    return *value;
}

// --- the readers of the table: a text into the settings, or what the key takes ---

Result<void> readBaud(TcomSetIni& s, QStringView text)
{
    const Result<std::int32_t> item =
        integerIn(text, 0, TcomSetIni::kBaudCount - 1, QStringLiteral("takes 0 (19200), 1 (9600) or 2 (4800)"));
    if (!item)
        return item.error();
    s.Baud = static_cast<std::uint8_t>(*item);
    return {};
}

Result<void> setBaud(TcomSetIni& s, QStringView text)
{
    const Result<int> item = parseBaudItem(text);
    if (!item)
        return item.error();
    s.Baud = static_cast<std::uint8_t>(*item);
    return {};
}

Result<void> readComPort(TcomSetIni& s, QStringView text)
{
    const Result<std::int32_t> port = integerIn(text, 0, TcomSetIni::kHighestComPort, kTakesComPort);
    if (!port)
        return port.error();
    s.ComPort = *port;
    return {};
}

// The chosen port's device; an empty one removes the port's line. With no port chosen
// COM 1 is chosen and takes it, as a click in the dialog's port list does.
Result<void> setDevice(TcomSetIni& s, QStringView text)
{
    if (s.ComPort == 0)
        s.ComPort = 1;
    s.setPortDevice(s.ComPort, text.toString());
    return {};
}

// The port treats any value but 0 as even parity.
Result<void> readParity(TcomSetIni& s, QStringView text)
{
    if (const Result<std::int32_t> value = parseIniInteger(text)) {
        s.Parity = *value != 0 ? 1 : 0;
        return {};
    }
    const Result<bool> even = parseEvenParity(text);
    if (!even)
        return failure(QStringLiteral("takes 0 (none), 1 (even), none or even"));
    s.Parity = *even ? 1 : 0;
    return {};
}

Result<void> setParity(TcomSetIni& s, QStringView text)
{
    const Result<bool> even = parseEvenParity(text);
    if (!even)
        return even.error();
    s.Parity = *even ? 1 : 0;
    return {};
}

// Any integer: one outside 0-255 is refused when a transfer with addressing starts.
Result<void> readAddress(TcomSetIni& s, QStringView text)
{
    const Result<std::int32_t> address = parseIniInteger(text);
    if (!address)
        return failure(QStringLiteral("takes a whole number"));
    s.Address = *address;
    return {};
}

Result<void> setAddress(TcomSetIni& s, QStringView text)
{
    const Result<std::int32_t> address = parseAddress(text);
    if (!address)
        return address.error();
    s.Address = *address;
    return {};
}

template <bool TcomSetIni::*field>
Result<void> readSwitch(TcomSetIni& s, QStringView text)
{
    const Result<bool> on = parseSwitch(text);
    if (!on)
        return on.error();
    s.*field = *on;
    return {};
}

template <bool TcomSetIni::*field>
QString printSwitch(const TcomSetIni& s)
{
    return onOff(s.*field);
}

template <bool TcomSetIni::*field>
QString writeSwitch(const TcomSetIni& s)
{
    return s.*field ? QStringLiteral("1") : QStringLiteral("0");
}

// A TLS file as written; one named without a folder is found beside the settings file.
template <QString TlsSettings::*field>
Result<void> readTlsText(TcomSetIni& s, QStringView text)
{
    s.Tls.*field = text.toString();
    return {};
}

// A file given to --set is kept with its folder, so that it is found from anywhere;
// empty: unset.
template <QString TlsSettings::*field>
Result<void> setTlsFile(TcomSetIni& s, QStringView text)
{
    s.Tls.*field = text.isEmpty() ? QString() : QFileInfo(text.toString()).absoluteFilePath();
    return {};
}

template <QString TlsSettings::*field>
QString tlsText(const TcomSetIni& s)
{
    return s.Tls.*field;
}

Result<void> readFingerprint(TcomSetIni& s, QStringView text)
{
    if (!text.isEmpty() && !parseFingerprint(text))
        return failure(kTakesFingerprint);
    s.Tls.fingerprint = text.toString();
    return {};
}

// Kept as pairs of capital hex digits.
Result<void> setFingerprint(TcomSetIni& s, QStringView text)
{
    const Result<QByteArray> fingerprint = parseFingerprint(text);
    if (!text.isEmpty() && !fingerprint)
        return failure(kTakesFingerprint);
    s.Tls.fingerprint = fingerprint ? fingerprintText(*fingerprint) : QString();
    return {};
}

Result<void> readDatabase(TcomSetIni& s, QStringView text)
{
    s.HistoryDatabase = text.toString();
    return {};
}

constexpr Setting kSettings[] = {
    {"port", "Comm", "ComPort", readComPort, readComPort,
     [](const TcomSetIni& s) { return QString::number(s.ComPort); }, true,
     [](const TcomSetIni& s) { return s.ComPort == 0 ? QStringLiteral("0 (none)") : QString::number(s.ComPort); },
     "0 (none) or a COM number from 1 to 4"},
    {"device", nullptr, nullptr, nullptr, setDevice, nullptr, false,
     [](const TcomSetIni& s) {
         return s.ComPort == 0 ? QStringLiteral("(none)") : portDeviceName(s.ComPort, s.portDevices());
     },
     "the chosen port's device: a path, tcp://HOST:PORT or tls://HOST:PORT; empty: the port's line removed"},
    {"baud", "Comm", "Baud", readBaud, setBaud, [](const TcomSetIni& s) { return QString::number(s.Baud); }, true,
     [](const TcomSetIni& s) { return s.BaudText(); }, "19200, 9600 or 4800"},
    {"parity", "Comm", "Parity", readParity, setParity, [](const TcomSetIni& s) { return QString::number(s.Parity); },
     true, [](const TcomSetIni& s) { return s.Parity == 0 ? QStringLiteral("none") : QStringLiteral("even"); },
     "none or even"},
    {"addressing", "Comm", "Addressing", readSwitch<&TcomSetIni::Addressing>, readSwitch<&TcomSetIni::Addressing>,
     writeSwitch<&TcomSetIni::Addressing>, true, printSwitch<&TcomSetIni::Addressing>,
     "on or off (also 1 or 0, yes or no, true or false): frames carry the address byte"},
    {"address", "Comm", "Address", readAddress, setAddress, [](const TcomSetIni& s) { return QString::number(s.Address); },
     true,
     [](const TcomSetIni& s) {
         return QString::number(s.Address) +
                (s.transferAddress() ? QString() : QStringLiteral(" (not from 0 to 255: a transfer with addressing refuses it)"));
     },
     "a whole number from 0 to 255 (0x or $ for hexadecimal)"},
    {"verify-after-send", "Options", "VerifyAfterSend", readSwitch<&TcomSetIni::VerifyAfterSend>,
     readSwitch<&TcomSetIni::VerifyAfterSend>, writeSwitch<&TcomSetIni::VerifyAfterSend>, false,
     printSwitch<&TcomSetIni::VerifyAfterSend>, "on or off: a send is read back and compared"},
    {"CheckReplyChecksum", "Comm", "CheckReplyChecksum", readSwitch<&TcomSetIni::CheckReplyChecksum>, nullptr, nullptr,
     false, printSwitch<&TcomSetIni::CheckReplyChecksum>, ""},
    {"CheckRetrievedImage", "Comm", "CheckRetrievedImage", readSwitch<&TcomSetIni::CheckRetrievedImage>, nullptr,
     nullptr, false, printSwitch<&TcomSetIni::CheckRetrievedImage>, ""},
    // Printed with Required as the store the transfers use ("history: ... (required)").
    {"history", "History", "Database", readDatabase, nullptr, nullptr, false, nullptr, ""},
    {"history-required", "History", "Required", readSwitch<&TcomSetIni::HistoryRequired>, nullptr, nullptr, false,
     nullptr, ""},
    {"tls-ca", "Comm", "TlsCa", readTlsText<&TlsSettings::ca>, setTlsFile<&TlsSettings::ca>, tlsText<&TlsSettings::ca>,
     false, tlsText<&TlsSettings::ca>, "FILE: the authorities a tls:// server's certificate must chain to"},
    {"tls-fingerprint", "Comm", "TlsFingerprint", readFingerprint, setFingerprint, tlsText<&TlsSettings::fingerprint>,
     false, tlsText<&TlsSettings::fingerprint>, "HEX: the SHA-256 fingerprint of the one server certificate trusted"},
    {"tls-cert", "Comm", "TlsCert", readTlsText<&TlsSettings::cert>, setTlsFile<&TlsSettings::cert>,
     tlsText<&TlsSettings::cert>, false, tlsText<&TlsSettings::cert>, "FILE: the client certificate offered"},
    {"tls-key", "Comm", "TlsKey", readTlsText<&TlsSettings::key>, setTlsFile<&TlsSettings::key>,
     tlsText<&TlsSettings::key>, false, tlsText<&TlsSettings::key>, "FILE: its private key"},
};

// A control character (a line break, a tab, ...) or a line or paragraph separator.
bool isControl(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

QString sectionKey(const Setting& setting)
{
    return QLatin1String(setting.section) + QLatin1Char('/') + QLatin1String(setting.key);
}

}  // namespace

Result<bool> parseSwitch(QStringView text)
{
    if (const Result<std::int32_t> value = parseIniInteger(text))
        return *value != 0;
    static const std::pair<const char*, bool> kWords[] = {{"on", true},  {"off", false}, {"yes", true},
                                                          {"no", false}, {"true", true}, {"false", false}};
    const QStringView word = text.trimmed();
    for (const auto& [name, on] : kWords)
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return on;
    return failure(kTakesSwitch);
}

std::span<const Setting> settingsTable()
{
    return kSettings;
}

const Setting* settingNamed(QStringView name)
{
    for (const Setting& setting : kSettings)
        if (setting.set && name == QLatin1String(setting.name))
            return &setting;
    return nullptr;
}

QString settableNames()
{
    QStringList names;
    for (const Setting& setting : kSettings)
        if (setting.set)
            names << QLatin1String(setting.name);
    return names.join(QStringLiteral(", "));
}

QStringList settingsHelp()
{
    QStringList lines;
    for (const Setting& setting : kSettings)
        if (setting.set)
            lines << QStringLiteral("  %1  %2").arg(QLatin1String(setting.name), -18).arg(QLatin1String(setting.takes));
    return lines;
}

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
    TcomSetIni trial = TcomSetIni::unloaded();  // each value is read once, as the change will read it
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return failure(QStringLiteral("'%1' is not KEY=VALUE").arg(assignment));
        const QString key = assignment.left(equals);
        const Setting* setting = settingNamed(key);
        if (!setting)
            return failure(QStringLiteral("unknown setting '%1' (%2)").arg(key, settableNames()));
        if (std::any_of(change.values.begin(), change.values.end(), [setting](const auto& v) { return v.first == setting; }))
            return failure(QStringLiteral("%1 is given twice").arg(key));
        const QString value = assignment.sliced(equals + 1);
        // A line break would end the line in DNP.ini and start lines of its own.
        if (std::any_of(value.begin(), value.end(), isControl))
            return failure(key + QStringLiteral(" takes no line breaks or other control characters"));
        if (const Result<void> read = setting->set(trial, value); !read)
            return failure(key + QLatin1Char(' ') + read.error().message);
        change.values.emplace_back(setting, value);
    }
    // In the table's order: a device goes to the port chosen with it.
    std::sort(change.values.begin(), change.values.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return change;
}

TcomSetIni::TcomSetIni() : TcomSetIni(defaultIniLocation()) {}

TcomSetIni::TcomSetIni(const QString& iniPath) : TcomSetIni(IniLocation{iniPath, iniPath}) {}

TcomSetIni::TcomSetIni(IniLocation location) : location_(std::move(location)) { (void)Load(); }

TcomSetIni::TcomSetIni(IniLocation location, Unloaded) : location_(std::move(location)) {}

TcomSetIni TcomSetIni::unloaded(IniLocation location)
{
    return TcomSetIni(std::move(location), Unloaded{});
}

Result<void> TcomSetIni::Load()
{
    *this = unloaded(location_);
    const QString path = QDir::toNativeSeparators(location_.readPath);
    Result<QByteArray> read = readInputFile(location_.readPath, kMaxIniBytes, QStringLiteral("a settings file"));
    if (!read) {
        // No file: the defaults. One that is there and does not read is a problem.
        if (QFileInfo::exists(location_.readPath))
            problems_.push_back({nullptr, {}, read.error().message});
        return read.error();
    }
    const QByteArray& file = *read;

    std::map<QString, std::vector<IniEntry>> sections;  // each section read once
    for (const Setting& setting : kSettings) {
        if (!setting.section)
            continue;
        const QString section = QLatin1String(setting.section);
        if (!sections.contains(section))
            sections[section] = iniSection(file, section);
        const std::vector<IniEntry>& entries = sections[section];
        const auto entry = std::find_if(entries.begin(), entries.end(), [&setting](const IniEntry& e) {
            return e.key.compare(QLatin1String(setting.key), Qt::CaseInsensitive) == 0;
        });
        if (entry == entries.end())
            continue;
        keysPresent_ << sectionKey(setting);
        if (const Result<void> taken = setting.read(*this, entry->value); !taken)
            problems_.push_back({&setting, entry->value,
                                 QStringLiteral("%1 line %2: %3=%4: %5")
                                     .arg(path)
                                     .arg(entry->line)
                                     .arg(entry->key, entry->value, taken.error().message)});
    }

    static const QRegularExpression portKey(QStringLiteral("^COM([1-9][0-9]{0,4})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const IniEntry& entry : iniSection(file, kPortsSection)) {
        const auto match = portKey.match(entry.key);
        if (match.hasMatch() && !entry.value.isEmpty())
            portDevices_.insert(match.captured(1).toInt(), entry.value);
    }
    for (const IniEntry& entry : iniSection(file, kTlsFingerprintsSection)) {
        if (entry.value.isEmpty())
            continue;
        if (parseFingerprint(entry.value))
            trusted_.insert(entry.key, entry.value);
        else
            problems_.push_back({nullptr, entry.value,
                                 QStringLiteral("%1 line %2: %3=%4: %5").arg(path).arg(entry.line).arg(entry.key, entry.value, kTakesFingerprint)});
    }
    return readable();
}

Result<void> TcomSetIni::readable() const
{
    if (problems_.empty())
        return {};
    QStringList lines;
    for (const Problem& problem : problems_)
        lines << problem.line;
    return failure(lines.join(QLatin1Char('\n')));
}

std::optional<QString> TcomSetIni::unreadText(const Setting& setting) const
{
    for (const Problem& problem : problems_)
        if (problem.setting == &setting)
            return problem.text;
    return std::nullopt;
}

void TcomSetIni::settle(const Setting& setting)
{
    std::erase_if(problems_, [&setting](const Problem& problem) { return problem.setting == &setting; });
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

template <typename Map, typename Key>
std::vector<std::pair<QString, QString>> sectionLines(const Map& map, Key key)
{
    std::vector<std::pair<QString, QString>> lines;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        lines.emplace_back(key(it.key()), it.value());
    return lines;
}

}  // namespace

Result<void> TcomSetIni::Save()
{
    const QString path = location_.writePath;
    // A value the file holds that did not read is not written over with a default; a
    // file that did not read is not replaced.
    for (const Problem& problem : problems_)
        if (!problem.setting || problem.setting->write)
            return unableToWrite(path, failure(problem.line));

    // Start from the file as it is, so that the user's other sections and keys stay.
    QByteArray file;
    const QString basis = QFileInfo::exists(path) ? path : location_.readPath;
    if (QFileInfo::exists(basis)) {
        Result<QByteArray> read = readInputFile(basis, kMaxIniBytes, QStringLiteral("a settings file"));
        if (!read)
            return unableToWrite(path, read.error());
        file = std::move(read).value();
    }
    // The five keys of [Comm] in their order, then the others that differ from their
    // defaults or stood in the file; [Ports] and [TlsFingerprints] whole, after [Comm].
    static const QStringList kCommOrder = {"Baud", "ComPort", "Addressing", "Parity", "Address"};
    const TcomSetIni defaults = unloaded();
    std::vector<std::pair<QString, QString>> comm;
    for (const QString& key : kCommOrder)
        for (const Setting& setting : kSettings)
            if (setting.key && key == QLatin1String(setting.key))
                comm.emplace_back(key, setting.write(*this));
    std::vector<const Setting*> others;  // of other sections
    for (const Setting& setting : kSettings) {
        if (!setting.write || setting.alwaysWritten)
            continue;
        const QString value = setting.write(*this);
        if (value == setting.write(defaults) && !keysPresent_.contains(sectionKey(setting)))
            continue;
        if (QLatin1String(setting.section) == kCommSection)
            comm.emplace_back(QLatin1String(setting.key), value);
        else
            others.push_back(&setting);
    }
    file = writeIniSection(file, kCommSection, comm);
    file = writeIniSection(file, kPortsSection, sectionLines(portDevices_, [](int com) { return QStringLiteral("COM%1").arg(com); }),
                           OtherKeys::Dropped);
    file = writeIniSection(file, kTlsFingerprintsSection, sectionLines(trusted_, [](const QString& device) { return device; }),
                           OtherKeys::Dropped);
    for (const Setting* setting : others)
        file = writeIniSection(file, QString::fromLatin1(setting->section), {{QString::fromLatin1(setting->key), setting->write(*this)}});

    if (const Result<void> folder = makeFolders(QFileInfo(path).absolutePath(), NewFileOwner::FolderOwner); !folder)
        return unableToWrite(path, folder.error());
    if (const Result<void> written = writeFileSafely(path, file, NewFileOwner::FolderOwner); !written)
        return unableToWrite(path, written.error());
    for (const Setting& setting : kSettings)
        if (setting.write && !keysPresent_.contains(sectionKey(setting)) && iniValue(file, QString::fromLatin1(setting.section), QString::fromLatin1(setting.key)))
            keysPresent_ << sectionKey(setting);
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
    // does not read keeps its problems: the save refuses to write over them.
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

// An address that did not read shows as the file holds it, so that OK refuses it until
// it is mended.
CommChoice TcomSetIni::choice() const
{
    TcomSetIni inRange = *this;
    inRange.mapIntoRange();
    const std::optional<QString> unreadAddress = unreadText(*settingNamed(u"address"));
    return {inRange.Baud, inRange.ComPort, inRange.Addressing ? 1 : 0, inRange.Parity,
            unreadAddress.value_or(QString::number(Address)), portDevices_};
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
    for (const Setting& setting : kSettings)
        if (setting.alwaysWritten)
            settle(setting);
    return {};
}

Result<void> TcomSetIni::change(const SettingsChange& change)
{
    TcomSetIni changed = *this;
    for (const auto& [setting, value] : change.values) {
        if (const Result<void> read = setting->set(changed, value); !read)
            return failure(QLatin1String(setting->name) + QLatin1Char(' ') + read.error().message);
        changed.settle(*setting);
    }
    *this = std::move(changed);
    return {};
}

void TcomSetIni::setPortDevice(int comPort, const QString& device)
{
    if (device.isEmpty())
        portDevices_.remove(comPort);
    else
        portDevices_[comPort] = device;
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
