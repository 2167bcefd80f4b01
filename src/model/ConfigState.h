#pragma once
// The one configuration the program works on: which points are in Class 0 and in
// the event classes, the Class 0 order, and the unsolicited-response parameters.
// Everything else (the event-class marks the panel receives, the order lists, the
// DNP point numbers) is derived from it when needed.

#include "model/Catalog.h"
#include "model/Result.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace dnp {

constexpr std::uint16_t kDefaultDeadband = 20;     // 2.0 %
constexpr std::uint16_t kDefaultEventsWord = 256;  // minimum events 1, notification delay 0
constexpr std::uint16_t kMaxDeadband = 1000;       // 100 %
constexpr int kMaxEventsByte = 255;                // minimum events, notification delay
constexpr int kEventClassCount = 3;                // Classes 1 to 3, after Class 0

inline const QString kDeadbandRangeText = QStringLiteral("The value of Dead Band must be in the range of 0 to 100%.");
inline const QString kEventsRangeText =
    QStringLiteral("The value of Minimum Events and Notification Delay must be in the range of 0 to 255.");

// Class 1 dead band, class 1 events word, class 2 ..., class 3 ...
using UnsolicitedWords = std::array<std::uint16_t, 6>;
constexpr UnsolicitedWords kDefaultUnsolicited = {20, 256, 20, 256, 20, 256};

inline int deadbandWordIndex(int eventClass) { return (eventClass - 1) * 2; }
inline int eventsWordIndex(int eventClass) { return (eventClass - 1) * 2 + 1; }

// --- The dead band and the events word: the one home of their rules ---

// A dead band entered in per cent, as the tenths a configuration holds: rounded to the
// nearest tenth, a half to the even neighbour (12.25 % gives 122). Outside 0-100 % after
// rounding it is refused with kDeadbandRangeText.
Result<std::uint16_t> deadbandFromPercent(double percent);
// A dead band (tenths of a per cent) as its per cent, "2.5": with the region's decimal
// separator where people read it (the file, the report, the editor, comparisons), with a
// point where other programs read it (point lists).
enum class DecimalSeparator { Regional, Point };
QString deadbandPercentText(std::uint16_t tenths, DecimalSeparator separator = DecimalSeparator::Regional);
// A dead band read from the panel: above 100 % is no value a configuration holds (nor one
// its file can carry), so it becomes the default.
constexpr std::uint16_t retrievedDeadband(std::uint16_t word)
{
    return word > kMaxDeadband ? kDefaultDeadband : word;
}
// The events word: minimum events in the high byte, notification delay in the low byte.
constexpr std::uint16_t eventsWordOf(int minimumEvents, int notificationDelay)
{
    return static_cast<std::uint16_t>((minimumEvents & 0xFF) << 8 | (notificationDelay & 0xFF));
}
constexpr int minimumEventsOf(std::uint16_t eventsWord) { return eventsWord >> 8; }
constexpr int notificationDelayOf(std::uint16_t eventsWord) { return eventsWord & 0xFF; }

// A set of per-type tables indexed by TypeIndex.
template <typename T>
using PerType = std::array<std::vector<T>, kPointTypeCount>;

using ClassSelections = std::array<std::array<std::uint8_t, kSelectionSize>, 4>;

// What a configuration file keeps: the selections, the Class 0 sequences and the
// unsolicited settings. Two configurations of equal content write the same file.
struct ConfigContent {
    ClassSelections selections{};
    std::array<std::vector<int>, kPointTypeCount> class0;
    UnsolicitedWords unsolicited{};
    bool operator==(const ConfigContent&) const = default;
};

struct ConfigState {
    ConfigState();  // empty: no point chosen, default parameters

    // Which points are in Class 0, 1, 2, 3: one byte per SelectionIndex, 0 or 1.
    ClassSelections ClassSelection{};
    // Per type, by TypeIndex: -1, or the TypeIndex holding this position of the Class 0 order.
    PerType<std::int32_t> Class0Order;
    UnsolicitedWords UnsolicitedSettings = kDefaultUnsolicited;
    // The header texts of the report and the file, as last accepted.
    QString ReportDescription;
    QString ReportComment;

    // Every selection emptied and the unsolicited settings back to their defaults; the
    // Class 0 order tables are left as they are (nothing is chosen to follow them).
    void clearSelections();

    bool selected(int eventClass, PointType type, int typeIndex) const;
    void setSelected(int eventClass, PointType type, int typeIndex, bool on);

    // The Class 0 sequence of a type: visiting its points in TypeIndex order, for each
    // point chosen in Class 0 whose Class0Order slot holds a TypeIndex of the type, that
    // TypeIndex. The order window lists it, the report and the image number it.
    std::vector<int> class0Sequence(PointType type) const;
    // The Class 0 order tables set from a sequence per type: the slots of the points chosen
    // in Class 0, in TypeIndex order, take the sequence's values in turn; every other slot
    // -1. `sequence` holds exactly the type's Class 0 points.
    void setClass0Sequence(PointType type, const std::vector<int>& sequence);
    ConfigContent content() const;
    // Available for event class n (1-3): in Class 0 and in neither other event class.
    bool availableForEventClass(int eventClass, int selectionIndex) const;

    std::uint16_t deadband(int eventClass) const { return UnsolicitedSettings[deadbandWordIndex(eventClass)]; }
    std::uint16_t eventsWord(int eventClass) const { return UnsolicitedSettings[eventsWordIndex(eventClass)]; }
};

// The Class 0 sequence a type keeps after its Class 0 selection changed: the points that
// stay keep their places, points new to Class 0 follow at the end in TypeIndex order,
// points no longer chosen drop out.
std::vector<int> keptClass0Sequence(const std::vector<int>& before, const ConfigState& state, PointType type);

// The DNP point numbers of each point of a type's Class 0 sequence: consecutive from 0,
// each point taking as many numbers as it has words.
struct DnpNumbering {
    int typeIndex;
    int firstNumber;
    int wordCount;
};
std::vector<DnpNumbering> dnpPointNumbers(const ConfigState& state, PointType type);
// The same for the points of a type in the order given (type indices).
std::vector<DnpNumbering> dnpPointNumbers(PointType type, const std::vector<int>& sequence);
// "7", or "3\u20134" for a point of two words: the numbers a point takes.
QString dnpNumberSpan(const DnpNumbering& numbering);

}  // namespace dnp
