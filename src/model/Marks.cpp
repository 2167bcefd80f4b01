#include "model/Marks.h"

namespace dnp {

void markPass(ConfigState& state, int cls)
{
    const auto& selection = state.ClassSelection[markedClass(cls)];
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes) {
        auto& codes = state.PanelCode[typeNumber(t)];
        for (const CatalogPoint& p : catalog.points(t)) {
            if (selection[p.selectionIndex] != 1)
                continue;
            codes[p.typeIndex] = withMark(codes[p.typeIndex], cls);
            if (t == PointType::Bout)
                state.SecondCode[p.typeIndex] = withMark(state.SecondCode[p.typeIndex], cls);
        }
    }
}

void recomputeAllMarks(ConfigState& state)
{
    for (int cls = 0; cls <= 3; ++cls)
        markPass(state, cls);
}

int pointEventClass(const ConfigState& state, PointType type, int typeIndex)
{
    int cls = 0;
    for (int eventClass = 1; eventClass <= 3; ++eventClass)
        if (state.selected(eventClass, type, typeIndex))
            cls = eventClass;
    return cls;
}

std::uint16_t markedCode(const ConfigState& state, PointType type, int typeIndex, bool secondCode)
{
    const CatalogPoint& p = PointCatalog::instance().point(type, typeIndex);
    return withMark(secondCode ? p.secondCode : p.panelCode, pointEventClass(state, type, typeIndex));
}

}  // namespace dnp
