#pragma once
// The INI file, read and written by hand so that a file keeps the user's layout,
// sections and keys: only the keys written change. A UTF-8 byte-order mark at the start
// of the file is passed over when reading and kept when writing.

#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace dnp {

// An integer as the INI file and the address field hold it: decimal with an optional
// sign, or hexadecimal after "0x", "0X" or "$" (up to 8 digits, taken as 32 bits).
// Blanks around it are ignored. Anything else fails: "'<text>' is not an integer".
Result<std::int32_t> parseIniInteger(QStringView text);

// A key of a section as the file holds it, and the line it stands on (from 1).
struct IniEntry {
    QString key;
    QString value;
    int line = 0;

    bool operator==(const IniEntry&) const = default;
};

// The value of a key of a section: sections and keys match regardless of case, only
// the first section of a name counts and in it the first key of a name. A key line is
// "key=value" with a name before the '='; blanks around the key and the value are
// dropped, and so is a comment after the value: from a ';' or '#' that follows a blank
// ("Address=5   ; feeder 5" is 5). Lines starting with ';' or '#' are comments, other
// lines are passed over.
std::optional<QString> iniValue(QByteArrayView file, QStringView section, QStringView key);
// All keys of a section, in file order (first occurrence of each).
std::vector<IniEntry> iniSection(QByteArrayView file, QStringView section);

// Whether a section's other keys stay when keys are written into it.
enum class OtherKeys { Kept, Dropped };

// The file with `keys` written into `section` (the first section of that name) in the
// given order, one key=value a line, right after the section's header; the section's
// lines of those keys are dropped (of every key, when `others` is Dropped: a section
// the program writes whole), its other lines (keys of the user's own, comments) follow
// the keys written; every other section and line stays byte for byte. A missing
// section is added at the end, unless there is nothing to write into it. New lines end
// like the file's first line, in a new file with kIniLineEnd. The time grows with the
// lines and the keys, not their product.
QByteArray writeIniSection(QByteArrayView file, QStringView section,
                           const std::vector<std::pair<QString, QString>>& keys, OtherKeys others = OtherKeys::Kept);

#ifdef Q_OS_WIN
inline constexpr char kIniLineEnd[] = "\r\n";
#else
inline constexpr char kIniLineEnd[] = "\n";
#endif

}  // namespace dnp
