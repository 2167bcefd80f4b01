#pragma once
// The fixed catalogue of every point of the regulator control panel that can be
// placed in DNP Class 0 and in the event Classes 1-3.

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace dnp {

enum class PointType : int { Bin = 0, Bout = 1, Ain = 2, Aout = 3, Counters = 4 };

constexpr int kPointTypeCount = 5;
constexpr std::array<PointType, kPointTypeCount> kAllPointTypes = {
    PointType::Bin, PointType::Bout, PointType::Ain, PointType::Aout, PointType::Counters};
constexpr std::array<int, kPointTypeCount> kPointCounts = {16, 4, 364, 112, 10};

// Selection indices 0-510 are used; the selection arrays have 512 bytes.
constexpr int kSelectionSize = 512;
constexpr int kGroupCount = 17;

constexpr int pointCount(PointType t) { return kPointCounts[static_cast<int>(t)]; }
constexpr int typeNumber(PointType t) { return static_cast<int>(t); }
// Whether a TypeIndex names a point of the type.
constexpr bool isValidTypeIndex(PointType t, int typeIndex) { return typeIndex >= 0 && typeIndex < pointCount(t); }

// "Bin", "Bout", "Ain", "Aout", "Counters".
QString pointTypeName(PointType t);

// The tag of each check list of the class editor, by which its click handler knows it.
// Tags 16 and 17 do not follow the selection-index order.
enum class ListTag : int {
    BinCLB = 1,
    BoutCLB = 2,
    InstCLB = 3,
    ImmCLB = 4,
    DmdCLB = 5,
    DmmCLB = 6,
    HarmCLB = 7,
    EnergyCLB = 8,
    CountCLB = 9,
    CtlStatCLB = 10,
    GenStatCLB = 11,
    SetPtCLB = 12,
    RegSetCLB = 13,
    CommSetCLB = 14,
    PwCLB = 15,
    Counter32bCLB = 16,
    ActSetPtCLB = 17,
};
constexpr int tagNumber(ListTag tag) { return static_cast<int>(tag); }

// One check list of the class editor: a run of points of one type.
struct PointGroup {
    const char* name;      // "Meter instantaneous"
    const char* listName;  // "InstCLB"
    ListTag tag;
    PointType type;
    int firstTypeIndex;
    int base;              // SelectionIndex of row 0
    int count;
};

// The 17 groups in SelectionIndex order (Meter instantaneous first, Counters last).
extern const std::array<PointGroup, kGroupCount> kPointGroups;

const PointGroup* groupByTag(int tag);                 // nullptr outside 1-17
const PointGroup& groupOf(ListTag tag);
const PointGroup* groupBySelectionIndex(int selection);  // nullptr for 384-387, 463 and outside 0-510
const PointGroup& groupOf(PointType type, int typeIndex);

struct CatalogPoint {
    PointType type;
    int typeIndex;
    int selectionIndex;
    QString shortName;
    QString description;
    QString editorText;
    std::uint16_t panelCode;   // catalogue value, below 4096
    std::uint16_t secondCode;  // Bout only, 0 elsewhere
    int wordCount;             // 1, 2 or 5 image words (counters: 2)
    const PointGroup* group;
};

class PointCatalog {
public:
    static const PointCatalog& instance();

    const CatalogPoint& point(PointType type, int typeIndex) const;
    const std::vector<CatalogPoint>& points(PointType type) const;
    // nullptr for the indices that belong to no point.
    const CatalogPoint* bySelectionIndex(int selection) const;

private:
    PointCatalog();
    std::array<std::vector<CatalogPoint>, kPointTypeCount> points_;
};

// SelectionIndex of a point, by the rules of the groups.
int selectionIndexOf(PointType type, int typeIndex);

}  // namespace dnp
