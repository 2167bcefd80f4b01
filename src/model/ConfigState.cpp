#include "model/ConfigState.h"

#include "model/Regional.h"

#include <algorithm>
#include <cmath>

namespace dnp {

Result<std::uint16_t> deadbandFromPercent(double percent)
{
    constexpr double kFarOutside = 1e12;  // keeps the rounding within range of long long
    if (!std::isfinite(percent) || std::fabs(percent) > kFarOutside)
        return failure(kDeadbandRangeText);
    const long long tenths = roundHalfEven(percent * 10.0);
    if (tenths < 0 || tenths > kMaxDeadband)
        return failure(kDeadbandRangeText);
    return static_cast<std::uint16_t>(tenths);
}

QString deadbandPercentText(std::uint16_t tenths, DecimalSeparator separator)
{
    const double percent = tenths / 10.0;
    return separator == DecimalSeparator::Regional ? formatDecimal(percent) : QString::number(percent, 'g', 15);
}

ConfigState::ConfigState()
{
    for (PointType t : kAllPointTypes)
        Class0Order[typeNumber(t)].assign(pointCount(t), -1);
}

void ConfigState::clearSelections()
{
    for (auto& selection : ClassSelection)
        for (const PointGroup& g : kPointGroups)
            std::fill_n(selection.begin() + g.base, g.count, std::uint8_t{0});
    UnsolicitedSettings = kDefaultUnsolicited;
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

void ConfigState::setClass0Sequence(PointType type, const std::vector<int>& sequence)
{
    auto& table = Class0Order[typeNumber(type)];
    std::size_t next = 0;
    for (int slot = 0; slot < pointCount(type); ++slot)
        table[slot] = selected(0, type, slot) && next < sequence.size() ? sequence[next++] : -1;
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

std::vector<int> keptClass0Sequence(const std::vector<int>& before, const ConfigState& state, PointType type)
{
    std::vector<int> order;
    for (int point : before)
        if (state.selected(0, type, point))
            order.push_back(point);
    for (int point = 0; point < pointCount(type); ++point)
        if (state.selected(0, type, point) && std::find(order.begin(), order.end(), point) == order.end())
            order.push_back(point);
    return order;
}

std::vector<DnpNumbering> dnpPointNumbers(const ConfigState& state, PointType type)
{
    return dnpPointNumbers(type, state.class0Sequence(type));
}

std::vector<DnpNumbering> dnpPointNumbers(PointType type, const std::vector<int>& sequence)
{
    const PointCatalog& catalog = PointCatalog::instance();
    std::vector<DnpNumbering> numbering;
    int next = 0;
    for (int t : sequence) {
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
