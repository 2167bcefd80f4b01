#pragma once
// The .dnp configuration file: 890 lines, CR LF after each, Windows-1252 bytes.

#include "model/ConfigState.h"
#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

namespace dnp {

// Everything a .dnp file carries.
struct ConfigFileData {
    std::array<std::array<std::uint8_t, kSelectionSize>, 4> ClassSelection{};
    PerType<std::int32_t> Class0Order;  // -1 for every point outside Class 0
    UnsolicitedWords UnsolicitedSettings = kDefaultUnsolicited;
};

// The whole file, header date and time taken from `now`.
QByteArray composeConfigFile(const ConfigState& state, const QDateTime& now);

// Reads and checks a whole file without touching any configuration.
// Lines are known by their position only; lines after the 890th are ignored.
// Besides the syntax it checks what the rest of the program relies on: every
// point value is -1 or a TypeIndex of its type, the Class 0 values of a type are
// an order of its Class 0 points, a point selected in an event class carries its
// Class 0 value, the dead band lies within 0-100 % and DelayNot within 0-65535.
// A failure names the 1-based line (0 when not tied to one) and the problem, e.g.
// "'2.5' is not a valid integer value".
Result<ConfigFileData> readConfigFile(QByteArrayView bytes);

// Puts a file's configuration into the state: the class selections of every point,
// every Class0Order slot and the unsolicited settings.
void applyConfigFileData(ConfigState& state, const ConfigFileData& data);

// What a file of the configuration would carry.
ConfigFileData configFileDataOf(const ConfigState& state);

// Reads a configuration file from disk (no further than its 890 lines need, and never
// more than 1 MiB). Every error names the file: "PATH, line 12: problem"; a path that
// cannot be opened for reading at all (missing, no right to read, not a regular file)
// fails as unopened (Error::unopened()).
Result<ConfigFileData> loadConfigFile(const QString& path);

// "PATH, line 12: problem" (or "PATH: problem" without a line).
QString describeFileError(const QString& path, const Error& error);

// --- pieces shared with the report ---

constexpr int kConfigFileLineCount = 890;

// The value of a point in the section of class k: its Class0Order slot when it is
// selected in k, otherwise -1.
std::int32_t classPointValue(const ConfigState& state, int cls, PointType type, int typeIndex);
// "Date/Time:   <short date>   <long time>".
QString dateTimeLine(const QDateTime& now);
// A header text on one line: line breaks would shift every later line of the file.
QString headerText(const QString& text);
// The block headings of the file, by point type: "BINARY INPUT" ...
QString blockHeading(PointType type);

}  // namespace dnp
