#pragma once
// The communication settings: port, baud rate, parity, addressing and address,
// kept in "DNP.ini", section "Comm".

#include "comm/Tls.h"
#include "model/Result.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace dnp {

inline const QString kIniFileName = QStringLiteral("DNP.ini");
inline const QString kCommSection = QStringLiteral("Comm");
inline const QString kPortsSection = QStringLiteral("Ports");
inline const QString kOptionsSection = QStringLiteral("Options");
// The fingerprints of server certificates trusted at the desk, by device:
// "tls://10.1.2.3:4001=3F:A0:...".
inline const QString kTlsFingerprintsSection = QStringLiteral("TlsFingerprints");
// Where the history of panel commands is kept, and whether a command may run unrecorded.
inline const QString kHistorySection = QStringLiteral("History");

// The baud rates of the "Baud" setting, by its value 0, 1, 2.
inline constexpr std::array<const char*, 3> kBaudTexts = {"19200", "9600", "4800"};

// --- The values of the link options ---
// One reader per value for dnpcfg's options, a jobs file's columns, `settings --set` and
// the settings dialog. A refusal says what the value takes ("takes 19200, 9600 or
// 4800"); the caller puts the option's, column's or key's name before it.

// A baud rate as written ("9600") as its value of the Baud setting (0, 1, 2).
Result<int> parseBaudItem(QStringView text);
// The rate of a value of the Baud setting: 19200, 9600, 4800.
std::int32_t baudRateOf(int baudItem);
// "none" or "even": whether the parity is even.
Result<bool> parseEvenParity(QStringView text);

// --- Where the file lives ---

struct IniLocation {
    QString readPath;   // the file the settings are loaded from
    QString writePath;  // the file Save writes
};

// The folder of the user's settings: the desktop program's AppConfigLocation
// (~/.config/DNP Configure on Linux), the same whichever program asks (dnpcfg too).
inline const QString kUserSettingsFolderName = QStringLiteral("DNP Configure");

// What lies beside the program under the name DNP.ini.
enum class BesideFile {
    None,      // nothing
    ReadOnly,  // a file this user may not replace (one installed read-only, say)
    Writable,  // a file this user may replace: a portable copy, used for everything
};

// The rule: a DNP.ini beside the program that the user may replace is read and written,
// and the user's configuration folder is not looked at. Otherwise Save writes DNP.ini
// in the user's configuration folder (which it creates), and Load reads that file when
// it exists, else a read-only one beside the program, else takes the defaults. Nothing
// is ever created in the program's folder.
IniLocation chooseIniLocation(const QString& programDir, BesideFile beside, const QString& userConfigDir,
                              bool userFileExists);
// The rule applied to the folders as they are on disk; whether the user may replace the
// file beside the program is asked of the system, as an output is checked (a folder by
// that name, a file of another user or without a write bit, or one in a folder the user
// may not write counts as read-only).
IniLocation iniLocationFor(const QString& programDir, const QString& userDir);
// The user's configuration folder (kUserSettingsFolderName under the platform's
// configuration folder).
QString userSettingsFolder();
// iniLocationFor QCoreApplication::applicationDirPath() and userSettingsFolder().
IniLocation defaultIniLocation();

// --- Addresses ---

inline constexpr std::int32_t kLowestAddress = 0;
inline constexpr std::int32_t kHighestAddress = 255;
inline const QString kAddressValues = QStringLiteral("a whole number from 0 to 255");
inline const QString kAddressRangeText = QStringLiteral("The address must be %1.").arg(kAddressValues);

constexpr bool isAddress(std::int32_t value)
{
    return value >= kLowestAddress && value <= kHighestAddress;
}

// An address: an integer as parseIniInteger reads it (decimal, "0x" or "$"
// hexadecimal), from 0 to 255; anything else "takes a whole number from 0 to 255".
Result<std::int32_t> parseAddress(QStringView text);

// --- The settings object ---

// The dialog's view of the settings: the selected item of each group and the text of
// the address field.
struct CommChoice {
    int baudItem = 1;
    int connectorItem = 0;
    int addressingItem = 0;
    int parityItem = 0;
    QString addressText;
    // The device of each COM number the "Ports" section maps.
    QMap<int, QString> portDevices;
};

// The dialog's fields that can refuse their text, as the Error's field of a refusal names
// them.
enum class CommField { None = 0, Address = 1 };

// Whether the dialog's choice can be stored: the address field must hold an address
// (kAddressRangeText, the Error's field CommField::Address).
Result<void> checkChoice(const CommChoice& choice);

// --- Values read strictly ---
// Every value of DNP.ini goes through one reader of its kind; a value that does not read
// is refused with what the key takes, never replaced by a default (a default is for a
// key that is absent).

// A switch: any integer as parseIniInteger reads it (0 off, any other on), or on/off,
// yes/no, true/false in any case; anything else "takes 0 or 1, on or off, yes or no,
// true or false".
Result<bool> parseSwitch(QStringView text);

class TcomSetIni;

// One setting: where DNP.ini keeps it, the name dnpcfg settings prints and --set takes,
// how its text is read from the file and from --set, how it is printed and written, and
// what it takes. The rows are kSettings, in the order dnpcfg settings prints them.
struct Setting {
    const char* name;     // "baud": dnpcfg settings' name for it, the key --set takes
    const char* section;  // its DNP.ini section and key; nullptr: none of its own (the
    const char* key;      //   device is the chosen port's line in [Ports])
    // Its text in DNP.ini read into the settings; a refusal says what it takes.
    Result<void> (*read)(TcomSetIni& settings, QStringView text);
    // Its text after --set NAME= read into the settings; nullptr: --set does not take it.
    Result<void> (*set)(TcomSetIni& settings, QStringView text);
    // Its value as DNP.ini holds it; nullptr: the program never writes it.
    QString (*write)(const TcomSetIni& settings);
    // Written by every save (the five keys of [Comm]), or only once it differs from the
    // default or the file has the key.
    bool alwaysWritten;
    // Its value as dnpcfg settings prints it; "" leaves the line out.
    QString (*print)(const TcomSetIni& settings);
    const char* takes;  // what --set takes: "19200, 9600 or 4800"
};
// Every setting, in the order dnpcfg settings prints them.
std::span<const Setting> settingsTable();
// The setting of a name --set takes; nullptr for another name.
const Setting* settingNamed(QStringView name);
// The names --set takes, in the table's order: "port, device, baud, ...".
QString settableNames();
// A line per setting --set takes: "  baud=19200|9600|4800  ..." for --help.
QStringList settingsHelp();

// Settings named with their values (dnpcfg settings --set KEY=VALUE ...), each value
// already read as its setting takes it; applied in the table's order (a device goes to
// the port chosen after the change).
struct SettingsChange {
    std::vector<std::pair<const Setting*, QString>> values;
};

// "KEY=VALUE" words as a change. Fails with the first problem: "'x' is not KEY=VALUE",
// "device takes no line breaks or other control characters", "unknown setting 'x'
// (port, device, ...)", "port is given twice", or what a value must be ("baud takes
// 19200, 9600 or 4800", "address takes a whole number from 0 to 255", ...).
Result<SettingsChange> parseSettingsChange(const QStringList& assignments);

class TcomSetIni {
public:
    static constexpr std::uint8_t kDefaultBaud = 1;  // 9600
    static constexpr std::int32_t kDefaultComPort = 0;
    static constexpr bool kDefaultAddressing = false;
    static constexpr std::int32_t kDefaultParity = 0;
    static constexpr std::int32_t kDefaultAddress = 1;
    static constexpr int kBaudCount = static_cast<int>(kBaudTexts.size());
    static constexpr std::int32_t kHighestComPort = 4;

    std::uint8_t Baud = kDefaultBaud;       // 0 "19200", 1 "9600", 2 "4800"
    std::int32_t ComPort = kDefaultComPort;  // 0 none, 1-4 COM 1 to COM 4
    bool Addressing = kDefaultAddressing;
    std::int32_t Parity = kDefaultParity;    // 0 none, 1 even
    std::int32_t Address = kDefaultAddress;  // any integer; its low byte is the frames' address byte
    // [Comm] CheckReplyChecksum=0 turns off the check of the replies' checksums (their
    // length and address are checked all the same). Read, never written.
    bool CheckReplyChecksum = true;
    // [Comm] CheckRetrievedImage=0 turns off the check that a retrieved image is one the
    // panel could hold (mapped back and built again it gives the same words). Read,
    // never written.
    bool CheckRetrievedImage = true;
    // [Options] VerifyAfterSend: a send is read back and compared before it counts as
    // done; on unless the file says 0.
    bool VerifyAfterSend = true;
    // [Comm] TlsCa, TlsFingerprint, TlsCert, TlsKey: what tls:// devices are trusted by
    // and offer. A file named without a folder is taken from the settings file's folder.
    // Written only once set.
    TlsSettings Tls;
    // [History] Database: the store of the history ("" the default file, another SQLite
    // file, a postgresql:// URL, or "off"); Required=1: a panel command whose record
    // cannot be written does not start. Read, never written.
    QString HistoryDatabase;
    bool HistoryRequired = false;

    // Loads from the file that defaultIniLocation() names.
    TcomSetIni();
    // Loads from and saves to this file (tests, `dnpcfg --ini`).
    explicit TcomSetIni(const QString& iniPath);
    explicit TcomSetIni(IniLocation location);
    // The defaults, nothing loaded.
    static TcomSetIni unloaded(IniLocation location = {});

    // Reads every setting of the table, the "Ports" section and the certificates trusted
    // for devices. A missing file, section or key gives the default; a value that does
    // not read keeps the default too, and is a problem: Load fails naming the file, the
    // line, the key and what it takes ("/home/ann/.config/DNP Configure/DNP.ini line 4:
    // Address=5x: takes a whole number"), one line each; so does a file that exists and
    // cannot be read. The problems stay until the next Load (readable()).
    Result<void> Load();
    // Whether every value of the file read: nothing, or the problems Load found. A
    // panel command does not start while the settings do not read.
    Result<void> readable() const;
    // The text of a setting whose value did not read, as the file holds it; nothing
    // when it read.
    std::optional<QString> unreadText(const Setting& setting) const;
    // No settings file approaches this size.
    static constexpr qint64 kMaxIniBytes = 1024 * 1024;
    // Writes the five keys into the file, the "Ports" and "TlsFingerprints" sections
    // whole (a device or certificate removed loses its line) and the options once set,
    // keeping everything else in it. The file is replaced in one step, so a failure
    // leaves it as it was; a missing folder is created. A value the file holds and Load
    // could not read is never written over: such a save is refused with the problem,
    // unless the setting has been given a value since. Fails with "Unable to write to
    // <path>" and, on a second line, why ("Cannot write <path>: Permission denied",
    // "<path> is read-only", ...); the fields keep their values either way. After a
    // successful save the written file is also the one a later Load reads.
    Result<void> Save();
    // A change made and saved as one step that other writers of the file (another
    // dnpcfg, the window) wait for: under the file's lock (FileLock) the settings are
    // loaded again, `edit` changes them and they are saved; an edit that fails saves
    // nothing. Folders and files made by the superuser in another user's home belong to
    // that user.
    Result<void> update(const std::function<Result<void>(TcomSetIni&)>& edit);

    int IsAddressing() const { return Addressing ? 1 : 0; }
    QString BaudText() const;                  // "19200", "9600" or "4800"
    std::int32_t baudRate() const;             // BaudText as a number
    // The address a transfer with addressing uses: Address when it lies within 0-255,
    // else a refusal that names the value and where to set another one.
    Result<std::int32_t> transferAddress() const;

    // The device names of the "Ports" section: key "COMn" names the device of port n.
    const QMap<int, QString>& portDevices() const { return portDevices_; }
    // The TLS settings of a transfer to `device`: the files where they lie, and the
    // fingerprint trusted for that device ([TlsFingerprints]) before [Comm]'s.
    TlsSettings tlsFor(const QString& device) const;
    // The certificate with this fingerprint is trusted for the device from now on
    // (without the save).
    void trustCertificate(const QString& device, const QByteArray& fingerprint);
    // The [TlsFingerprints] section: the fingerprint trusted for each device.
    const QMap<QString, QString>& trustedCertificates() const { return trusted_; }
    const IniLocation& location() const { return location_; }

    // Values outside the ranges of the dialog and the port become the defaults.
    void mapIntoRange();

    // What the dialog shows, and what its OK stores (without the save): a choice that
    // checkChoice refuses changes nothing and fails as checkChoice does.
    CommChoice choice() const;
    Result<void> store(const CommChoice& choice);
    // The settings a change names replaced (without the save); a device goes to the
    // port chosen after the change, to COM 1 (chosen too) when none is, as a click in
    // the dialog's port list does; an empty device removes the port's line.
    Result<void> change(const SettingsChange& change);
    // The device of a COM number; an empty one removes it.
    void setPortDevice(int comPort, const QString& device);

private:
    struct Unloaded {};
    TcomSetIni(IniLocation location, Unloaded);
    // A setting that did not read, and the line that says so.
    struct Problem {
        const Setting* setting;  // nullptr: the file itself
        QString text;            // the value as the file holds it
        QString line;            // "PATH line 4: Address=5x: takes a whole number"
    };
    // The setting has a value of the program's now: its problem is gone.
    void settle(const Setting& setting);

    IniLocation location_;
    QMap<int, QString> portDevices_;
    QMap<QString, QString> trusted_;
    std::vector<Problem> problems_;
    QStringList keysPresent_;  // "Section/Key" of the table's keys the file holds
};

}  // namespace dnp
