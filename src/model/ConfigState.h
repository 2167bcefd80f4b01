#pragma once
// The one configuration the program works on, and the run-time flags that say
// where it came from and what must be refreshed.

#include "model/Catalog.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace dnp {

constexpr std::uint16_t kDefaultDeadband = 20;     // 2.0 %
constexpr std::uint16_t kDefaultEventsWord = 256;  // minimum events 1, notification delay 0
constexpr std::uint16_t kMaxDeadband = 1000;       // 100 %

// Class 1 dead band, class 1 events word, class 2 ..., class 3 ...
using UnsolicitedWords = std::array<std::uint16_t, 6>;
constexpr UnsolicitedWords kDefaultUnsolicited = {20, 256, 20, 256, 20, 256};

inline int deadbandWordIndex(int eventClass) { return (eventClass - 1) * 2; }
inline int eventsWordIndex(int eventClass) { return (eventClass - 1) * 2 + 1; }

// A set of per-type tables indexed by TypeIndex.
template <typename T>
using PerType = std::array<std::vector<T>, kPointTypeCount>;

// What a configuration file keeps: the selections, the Class 0 sequences and the
// unsolicited settings. Two configurations of equal content write the same file.
struct ConfigContent {
    std::array<std::array<std::uint8_t, kSelectionSize>, 4> selections{};
    std::array<std::vector<int>, kPointTypeCount> class0;
    UnsolicitedWords unsolicited{};
    bool operator==(const ConfigContent&) const = default;
};

struct ConfigState {
    ConfigState();  // the start-up values

    // Which points are in Class 0, 1, 2, 3: one byte per SelectionIndex, 0 or 1.
    std::array<std::array<std::uint8_t, kSelectionSize>, 4> ClassSelection{};
    // Per type, by TypeIndex: -1, or the TypeIndex holding this position of the Class 0 order.
    PerType<std::int32_t> Class0Order;
    // The code tables with their event-class marks in bits 12-15.
    PerType<std::uint16_t> PanelCode;
    std::array<std::uint16_t, 4> SecondCode{};
    UnsolicitedWords UnsolicitedSettings = kDefaultUnsolicited;
    // Points found in the last retrieved image; Bout has 8 (first codes, then second codes).
    PerType<std::uint8_t> RetrievedMark;

    std::int32_t EditedClass = 0;
    std::array<std::uint8_t, 4> OpenedForClass{};
    std::array<bool, kPointTypeCount> Class0Rebuild{true, true, true, true, true};
    bool LoadedFromFile = false;
    bool SendRecompute = false;
    bool NoListWriteBack = false;

    QString LastSavedFileName;
    QString ReportDescription;
    QString ReportComment;
    bool ReportHeaderAccepted = false;
    QString ConfigFileName;  // the main window's configuration file handle's name

    // New: empty selections, default parameters, no Class 0 order.
    void resetToNew();

    bool selected(int eventClass, PointType type, int typeIndex) const;
    void setSelected(int eventClass, PointType type, int typeIndex, bool on);

    // The Class 0 sequence of a type: visiting its points in TypeIndex order, for each
    // point chosen in Class 0 whose Class0Order slot holds a TypeIndex of the type, that
    // TypeIndex. The order window lists it, the report and the image number it.
    std::vector<int> class0Sequence(PointType type) const;
    ConfigContent content() const;
    // Available for event class n (1-3): in Class 0 and in neither other event class.
    bool availableForEventClass(int eventClass, int selectionIndex) const;

    std::uint16_t deadband(int eventClass) const { return UnsolicitedSettings[deadbandWordIndex(eventClass)]; }
    std::uint16_t eventsWord(int eventClass) const { return UnsolicitedSettings[eventsWordIndex(eventClass)]; }
    static int minimumEvents(std::uint16_t eventsWord) { return eventsWord >> 8; }
    static int notificationDelay(std::uint16_t eventsWord) { return eventsWord & 0xFF; }
};

// The DNP point numbers of each point of a type's Class 0 sequence: consecutive from 0,
// each point taking as many numbers as it has words.
struct DnpNumbering {
    int typeIndex;
    int firstNumber;
    int wordCount;
};
std::vector<DnpNumbering> dnpPointNumbers(const ConfigState& state, PointType type);
// "7", or "3\u20134" for a point of two words: the numbers a point takes.
QString dnpNumberSpan(const DnpNumbering& numbering);

}  // namespace dnp
