#pragma once
// The point list a SCADA master imports: one entry per DNP point number, numbered as
// the report's Class 0 section numbers the points (dnpPointNumbers), written as CSV or
// as a DNP3 Device Profile document.
//
// An entry's name is the point's short name, the name the configuration file and the
// report use; its description is the catalogue's longer description, the one the
// report prints under "Description:". A point of several words takes one number per
// word, and each of its entries carries " (word k of m)" after the name.

#include "model/ConfigState.h"
#include "model/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

namespace dnp {

enum class PointListFormat { Csv, Xml };

// "csv" and "xml"; nothing for any other name.
std::optional<PointListFormat> pointListFormatByName(const QString& name);
// By the file's suffix, ".csv" or ".xml" in any case; nothing for any other file.
std::optional<PointListFormat> pointListFormatForPath(const QString& path);

struct PointListEntry {
    PointType type;
    int typeIndex;
    int number;       // the DNP point number
    QString name;     // short name, with " (word k of m)" for a point of several words
    QString description;
    int eventClass;   // 0 (none) to 3: pointEventClass, the class its code carries
    std::optional<std::uint16_t> deadband;  // tenths of a per cent: analog inputs in an event class
};

// A point chosen in an event class that has no DNP point number.
struct UnnumberedPoint {
    PointType type;
    int typeIndex;
};

struct PointList {
    std::vector<PointListEntry> entries;  // Bin, Bout, Ain, Aout, Counters, each by number
    std::vector<UnnumberedPoint> unnumbered;
    UnsolicitedWords unsolicited = kDefaultUnsolicited;  // the configuration's, for the Device Profile
};

PointList pointList(const ConfigState& state);

// "Binary Input", "Binary Output", "Analog Input", "Analog Output", "Counter".
QString pointListTypeName(PointType type);
// A word of a point as a list names it: the point's short name, or "NAME (word 2 of 3)"
// for a point of several words.
QString pointWordName(const QString& shortName, int word, int wordCount);
// The event classes 0-3 as the Device Profile names them.
inline constexpr std::array<const char*, 4> kProfileEventClassNames = {"none", "one", "two", "three"};

// UTF-8, CR LF after every line (csvLine), the header row
// "type,index,name,description,event_class,class0,deadband_percent" first.
QByteArray pointListCsv(const PointList& list);

struct DeviceProfileHeader {
    QString documentName;  // the configuration file's name
    QString description;   // the report description
    QDateTime when;        // the date of the revision
    QString mapping;       // the DNP mapping the configuration is sent in
};

inline const QString kProfileNamespace = QStringLiteral("http://www.dnp.org/DNP3/DeviceProfile");
inline const QString kProfileSchemaVersion = QStringLiteral("2.12.00");
inline const QString kProfileAuthor = QStringLiteral("DNP Configure");

// The unsolicited settings of the event classes, for which the Device Profile has no
// element, follow the points in elements of the tool's own namespace, which a reader that
// does not know it passes over:
//   <cfg:unsolicitedResponses xmlns:cfg="urn:dnp-configure:profile-extensions:1">
//     <cfg:eventClass number="1">  (1 to 3)
//       <cfg:deadbandPercent>2.5</cfg:deadbandPercent>
//       <cfg:minimumEvents>3</cfg:minimumEvents>
//       <cfg:notificationDelay>10</cfg:notificationDelay>
inline const QString kProfileExtensionNamespace = QStringLiteral("urn:dnp-configure:profile-extensions:1");
inline const QString kProfileExtensionSettings = QStringLiteral("unsolicitedResponses");
inline const QString kProfileExtensionClass = QStringLiteral("eventClass");
inline const QString kProfileExtensionClassNumber = QStringLiteral("number");

enum class UnsolicitedSetting { Deadband, MinimumEvents, NotificationDelay };
struct UnsolicitedSettingNames {
    UnsolicitedSetting setting;
    const char* element;  // in the tool's namespace
    const char* words;    // in messages
    const char* unit;     // after the value in messages
};
inline constexpr UnsolicitedSettingNames kUnsolicitedSettings[] = {
    {UnsolicitedSetting::Deadband, "deadbandPercent", "dead band", " %"},
    {UnsolicitedSetting::MinimumEvents, "minimumEvents", "minimum events", ""},
    {UnsolicitedSetting::NotificationDelay, "notificationDelay", "notification delay", ""},
};
inline constexpr int kUnsolicitedSettingCount = static_cast<int>(std::size(kUnsolicitedSettings));
// The table is in the order of the enum: a setting's row is kUnsolicitedSettings[int(setting)].
static_assert([] {
    for (int i = 0; i < kUnsolicitedSettingCount; ++i)
        if (static_cast<int>(kUnsolicitedSettings[i].setting) != i)
            return false;
    return true;
}());

// A setting of event class 1-3: the dead band in tenths of a per cent, the others 0-255.
int unsolicitedSetting(const UnsolicitedWords& words, int eventClass, UnsolicitedSetting setting);
void setUnsolicitedSetting(UnsolicitedWords& words, int eventClass, UnsolicitedSetting setting, int value);
// A setting as a list writes it: the dead band in per cent with a point ("2.5"), the
// others as whole numbers.
QString unsolicitedSettingText(UnsolicitedSetting setting, int value);

// The points as a DNP3 Device Profile document, UTF-8, indented. The description names
// the individual mapping, the mapping whose numbers the list gives. Characters XML cannot
// hold (bytes of a file name that are not UTF-8, control characters) are written as
// U+FFFD, so the document is well-formed for any name and description; a document name
// that changed so is followed by the comment "<!-- documentName as bytes: ... -->" with
// its bytes: printable ASCII as it is, every other byte (and a backslash, and a hyphen
// after a hyphen) as \xNN. A writer that still fails gives "The point list cannot be
// written as XML.".
Result<QByteArray> pointListXml(const PointList& list, const DeviceProfileHeader& header);

// "", or the sentence that lists the points left out, for a warning.
QString unnumberedWarning(const std::vector<UnnumberedPoint>& points);

// A point list ready to be written, and the warning its front end shows.
struct PointListExport {
    QByteArray bytes;
    QString warning;  // unnumberedWarning of the points left out: "" when every point has its number
};

}  // namespace dnp
