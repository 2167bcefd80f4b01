#include "model/Catalog.h"
#include "model/CatalogData.h"

#include <stdexcept>

namespace dnp {

const std::array<PointGroup, kGroupCount> kPointGroups = {{
    {"Meter instantaneous", "InstCLB", ListTag::InstCLB, PointType::Ain, 0, 0, 14},
    {"Meter min/max", "ImmCLB", ListTag::ImmCLB, PointType::Ain, 14, 14, 64},
    {"Demand values", "DmdCLB", ListTag::DmdCLB, PointType::Ain, 78, 78, 14},
    {"Demand min/max", "DmmCLB", ListTag::DmmCLB, PointType::Ain, 92, 92, 64},
    {"Harmonics", "HarmCLB", ListTag::HarmCLB, PointType::Ain, 156, 156, 112},
    {"Energy", "EnergyCLB", ListTag::EnergyCLB, PointType::Ain, 268, 268, 6},
    {"Counter values", "CountCLB", ListTag::CountCLB, PointType::Ain, 274, 274, 14},
    {"Status", "CtlStatCLB", ListTag::CtlStatCLB, PointType::Ain, 288, 288, 38},
    {"Miscellaneous", "GenStatCLB", ListTag::GenStatCLB, PointType::Ain, 326, 326, 38},
    {"Binary inputs", "BinCLB", ListTag::BinCLB, PointType::Bin, 0, 364, 16},
    {"Binary outputs", "BoutCLB", ListTag::BoutCLB, PointType::Bout, 0, 380, 4},
    {"Operating settings", "SetPtCLB", ListTag::SetPtCLB, PointType::Aout, 0, 388, 27},
    {"Regulator settings", "RegSetCLB", ListTag::RegSetCLB, PointType::Aout, 27, 415, 48},
    {"Communication settings", "CommSetCLB", ListTag::CommSetCLB, PointType::Aout, 75, 464, 17},
    {"Passwords", "PwCLB", ListTag::PwCLB, PointType::Aout, 92, 481, 14},
    {"Active set points", "ActSetPtCLB", ListTag::ActSetPtCLB, PointType::Aout, 106, 495, 6},
    {"Counters", "Counter32bCLB", ListTag::Counter32bCLB, PointType::Counters, 0, 501, 10},
}};

QString pointTypeName(PointType t)
{
    static const char* const names[] = {"Bin", "Bout", "Ain", "Aout", "Counters"};
    return QString::fromLatin1(names[typeNumber(t)]);
}

const PointGroup* groupByTag(int tag)
{
    for (const auto& g : kPointGroups)
        if (tagNumber(g.tag) == tag)
            return &g;
    return nullptr;
}

const PointGroup& groupOf(ListTag tag)
{
    return *groupByTag(tagNumber(tag));
}

const PointGroup* groupBySelectionIndex(int selection)
{
    for (const auto& g : kPointGroups)
        if (selection >= g.base && selection < g.base + g.count)
            return &g;
    return nullptr;
}

const PointGroup& groupOf(PointType type, int typeIndex)
{
    for (const auto& g : kPointGroups)
        if (g.type == type && typeIndex >= g.firstTypeIndex && typeIndex < g.firstTypeIndex + g.count)
            return g;
    throw std::out_of_range("no catalogue group for this point");
}

int selectionIndexOf(PointType type, int typeIndex)
{
    const PointGroup& g = groupOf(type, typeIndex);
    return g.base + typeIndex - g.firstTypeIndex;
}

const PointCatalog& PointCatalog::instance()
{
    static const PointCatalog catalog;
    return catalog;
}

PointCatalog::PointCatalog()
{
    points_ = buildCatalogPoints();
    for (PointType t : kAllPointTypes) {
        auto& list = points_[typeNumber(t)];
        if (static_cast<int>(list.size()) != pointCount(t))
            throw std::logic_error("catalogue table has the wrong number of points");
        for (int i = 0; i < pointCount(t); ++i) {
            CatalogPoint& p = list[i];
            p.type = t;
            p.typeIndex = i;
            p.group = &groupOf(t, i);
            p.selectionIndex = p.group->base + i - p.group->firstTypeIndex;
        }
    }
}

const CatalogPoint& PointCatalog::point(PointType type, int typeIndex) const
{
    return points_[typeNumber(type)].at(static_cast<std::size_t>(typeIndex));
}

const std::vector<CatalogPoint>& PointCatalog::points(PointType type) const
{
    return points_[typeNumber(type)];
}

const CatalogPoint* PointCatalog::bySelectionIndex(int selection) const
{
    const PointGroup* g = groupBySelectionIndex(selection);
    if (!g)
        return nullptr;
    return &point(g->type, g->firstTypeIndex + selection - g->base);
}

}  // namespace dnp
