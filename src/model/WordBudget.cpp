#include "model/WordBudget.h"

namespace dnp {

int imageWordsOf(PointType type, int typeIndex)
{
    if (type == PointType::Bout)
        return 2;  // its first code in one block, its second code in the other
    return PointCatalog::instance().point(type, typeIndex).wordCount;
}

int listWordCount(const ConfigState& state)
{
    int words = 0;
    for (PointType t : kAllPointTypes)
        for (int typeIndex : state.class0Sequence(t))
            words += imageWordsOf(t, typeIndex);
    return words;
}

}  // namespace dnp
