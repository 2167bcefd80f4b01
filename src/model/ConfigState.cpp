#include "model/ConfigState.h"

namespace dnp {

ConfigState::ConfigState()
{
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes) {
        Class0Order[typeNumber(t)].assign(pointCount(t), -1);
        PanelCode[typeNumber(t)] = catalog.panelCodes(t);
        RetrievedMark[typeNumber(t)].assign(t == PointType::Bout ? 8 : pointCount(t), 0);
    }
    SecondCode = catalog.secondCodes();
}

void ConfigState::resetToNew()
{
    for (auto& selection : ClassSelection)
        for (const PointGroup& g : kPointGroups)
            std::fill_n(selection.begin() + g.base, g.count, std::uint8_t{0});
    Class0Rebuild.fill(true);
    NoListWriteBack = false;
    UnsolicitedSettings = kDefaultUnsolicited;
    for (auto& order : Class0Order)
        std::fill(order.begin(), order.end(), -1);
}

bool ConfigState::selected(int eventClass, PointType type, int typeIndex) const
{
    return ClassSelection[eventClass][selectionIndexOf(type, typeIndex)] == 1;
}

void ConfigState::setSelected(int eventClass, PointType type, int typeIndex, bool on)
{
    ClassSelection[eventClass][selectionIndexOf(type, typeIndex)] = on ? 1 : 0;
}

std::vector<int> ConfigState::class0Sequence(PointType type) const
{
    std::vector<int> sequence;
    const auto& order = Class0Order[typeNumber(type)];
    for (int k = 0; k < pointCount(type); ++k) {
        const std::int32_t value = order[k];
        if (isValidTypeIndex(type, value) && selected(0, type, k))
            sequence.push_back(value);
    }
    return sequence;
}

ConfigContent ConfigState::content() const
{
    ConfigContent c{ClassSelection, {}, UnsolicitedSettings};
    for (PointType t : kAllPointTypes)
        c.class0[typeNumber(t)] = class0Sequence(t);
    return c;
}

bool ConfigState::availableForEventClass(int eventClass, int selectionIndex) const
{
    if (ClassSelection[0][selectionIndex] != 1)
        return false;
    for (int other = 1; other <= 3; ++other)
        if (other != eventClass && ClassSelection[other][selectionIndex] != 0)
            return false;
    return true;
}

std::vector<DnpNumbering> dnpPointNumbers(const ConfigState& state, PointType type)
{
    const PointCatalog& catalog = PointCatalog::instance();
    std::vector<DnpNumbering> numbering;
    int next = 0;
    for (int t : state.class0Sequence(type)) {
        const int words = catalog.point(type, t).wordCount;
        numbering.push_back({t, next, words});
        next += words;
    }
    return numbering;
}

QString dnpNumberSpan(const DnpNumbering& numbering)
{
    QString span = QString::number(numbering.firstNumber);
    if (numbering.wordCount > 1)
        span += QChar(0x2013) + QString::number(numbering.firstNumber + numbering.wordCount - 1);
    return span;
}

}  // namespace dnp
