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

QString WordBudget::text() const
{
    return QStringLiteral("%1 of %2 words").arg(used).arg(kMaxListWords);
}

QString WordBudget::overText() const
{
    return QStringLiteral("The Class 0 points take %1 words; the panel takes %2.").arg(used).arg(kMaxListWords);
}

QString WordBudget::removeText() const
{
    return QStringLiteral("Class 0 takes %1 of the panel's %2 words; remove points in the Class 0 editor.")
        .arg(used)
        .arg(kMaxListWords);
}

WordBudget wordBudget(const ConfigState& state)
{
    return {listWordCount(state)};
}

}  // namespace dnp
