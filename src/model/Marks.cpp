#include "model/Marks.h"

namespace dnp {

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
