#pragma once
// The communication settings: port, baud rate, parity, addressing and address,
// kept in "DNP.ini", section "Comm".

#include "model/Result.h"

#include <QMap>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace dnp {

inline const QString kIniFileName = QStringLiteral("DNP.ini");
inline const QString kCommSection = QStringLiteral("Comm");
inline const QString kPortsSection = QStringLiteral("Ports");
inline const QString kOptionsSection = QStringLiteral("Options");

// The baud rates of the "Baud" setting, by its value 0, 1, 2.
inline constexpr std::array<const char*, 3> kBaudTexts = {"19200", "9600", "4800"};

// --- Where the file lives ---

struct IniLocation {
    QString readPath;   // the file the settings are loaded from
    QString writePath;  // the file Save writes
};

// The rule: when the program's folder can be written, "DNP.ini" beside the program is
// read and written, and the user's configuration folder is not looked at. When it
// cannot be written, Save writes "DNP.ini" in the user's configuration folder, and
// Load reads that file when it exists, else the one beside the program (a read-only
// file put there at installation), else takes the defaults.
// `besideWritable`: the file beside the program can be written (when it exists), or
// else a file can be created in the program's folder.
IniLocation chooseIniLocation(const QString& programDir, bool besideWritable, const QString& userConfigDir,
                              bool userFileExists);
// The rule applied to the folders as they are on disk: a DNP.ini beside the program
// that is no regular file (a folder, say) counts as not writable.
IniLocation iniLocationFor(const QString& programDir, const QString& userDir);
// The same for QCoreApplication::applicationDirPath() and QStandardPaths::AppConfigLocation.
IniLocation defaultIniLocation();

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
    // [Options] VerifyAfterSend=1: a successful send is read back and compared.
    bool VerifyAfterSend = false;

    // Loads from the file that defaultIniLocation() names.
    TcomSetIni();
    // Loads from and saves to this file (tests, `dnpcfg --ini`).
    explicit TcomSetIni(const QString& iniPath);
    explicit TcomSetIni(IniLocation location);

    // Reads the five keys of "Comm" (a missing file, section, key or a value that is
    // not an integer gives the default), maps values outside the ranges to the
    // defaults, and reads the "Ports" section. A file that cannot be read gives the
    // defaults as well, and fails with why.
    Result<void> Load();
    // No settings file approaches this size.
    static constexpr qint64 kMaxIniBytes = 1024 * 1024;
    // Writes the five keys into the file, with the "Ports" section's devices and the
    // options (once set), keeping everything else in it. The file is
    // replaced in one step, so a failure leaves it as it was. Fails with "Unable to
    // write to <path>"; the fields keep their values either way. After a successful
    // save the written file is also the one a later Load reads.
    Result<void> Save();

    int IsAddressing() const { return Addressing ? 1 : 0; }
    QString BaudText() const;                  // "19200", "9600" or "4800"
    std::int32_t baudRate() const;             // BaudText as a number
    std::uint8_t addressByte() const { return static_cast<std::uint8_t>(Address & 0xFF); }

    // The device names of the "Ports" section: key "COMn" names the device of port n.
    const QMap<int, QString>& portDevices() const { return portDevices_; }
    const IniLocation& location() const { return location_; }

    // Values outside the ranges of the dialog and the port become the defaults.
    void mapIntoRange();

    // The dialog's step 1 and step 3 (without the save): a non-integer address text
    // leaves Address as it is.
    CommChoice choice() const;
    void store(const CommChoice& choice);

private:
    IniLocation location_;
    QMap<int, QString> portDevices_;
    bool verifyKeyPresent_ = false;
};

}  // namespace dnp
