#include "model/ConfigCompare.h"

#include "model/Regional.h"

#include <map>

namespace dnp {
namespace {

const QString kArrow = QStringLiteral(" \u2192 ");

// The unsolicited settings of an event class, each as the report words its value.
struct SettingRow {
    const char* name;
    QString (*value)(const ConfigState& state, int cls);
};

const SettingRow kSettings[] = {
    {"dead band",
     [](const ConfigState& s, int cls) { return deadbandPercentText(s.deadband(cls)) + QStringLiteral(" %"); }},
    {"minimum events",
     [](const ConfigState& s, int cls) { return QString::number(minimumEventsOf(s.eventsWord(cls))); }},
    {"notification delay",
     [](const ConfigState& s, int cls) { return QString::number(notificationDelayOf(s.eventsWord(cls))); }},
};

const char* kindText(DifferenceKind kind)
{
    switch (kind) {
    case DifferenceKind::OnlyInA: return "only in A";
    case DifferenceKind::OnlyInB: return "only in B";
    case DifferenceKind::Renumbered: return "renumbered";
    case DifferenceKind::Setting:
    case DifferenceKind::Mapping:
    case DifferenceKind::Word: return "differs";
    }
    return "";
}

std::map<int, int> firstNumbers(const ConfigState& state, PointType type)
{
    std::map<int, int> numbers;
    for (const DnpNumbering& n : dnpPointNumbers(state, type))
        numbers[n.typeIndex] = n.firstNumber;
    return numbers;
}

void comparePoints(ConfigDifferences& out, const ConfigState& a, const ConfigState& b, int cls, PointType type)
{
    const PointCatalog& catalog = PointCatalog::instance();
    for (DifferenceKind kind : {DifferenceKind::OnlyInA, DifferenceKind::OnlyInB})
        for (int i = 0; i < pointCount(type); ++i) {
            const bool inA = a.selected(cls, type, i);
            const bool inB = b.selected(cls, type, i);
            if (inA != inB && inA == (kind == DifferenceKind::OnlyInA))
                out.push_back({kind, cls, type, catalog.point(type, i).shortName, {}, {}, i});
        }
    if (cls != 0)
        return;
    const std::map<int, int> numbersB = firstNumbers(b, type);
    for (const auto& [typeIndex, number] : firstNumbers(a, type)) {
        const auto found = numbersB.find(typeIndex);
        if (found != numbersB.end() && found->second != number)
            out.push_back({DifferenceKind::Renumbered, cls, type, catalog.point(type, typeIndex).shortName,
                           QString::number(number), QString::number(found->second), typeIndex});
    }
}

}  // namespace

ConfigDifferences compareConfigurations(const ConfigState& a, const ConfigState& b)
{
    ConfigDifferences out;
    for (int cls = 0; cls <= 3; ++cls) {
        if (cls > 0)
            for (const SettingRow& setting : kSettings) {
                const QString valueA = setting.value(a, cls);
                const QString valueB = setting.value(b, cls);
                if (valueA != valueB)
                    out.push_back(
                        {DifferenceKind::Setting, cls, std::nullopt, QString::fromLatin1(setting.name), valueA, valueB});
            }
        for (PointType type : kAllPointTypes)
            comparePoints(out, a, b, cls, type);
    }
    return out;
}

QStringList differenceColumns()
{
    return {QStringLiteral("Class"), QStringLiteral("Type"), QStringLiteral("Point or setting"),
            QStringLiteral("Difference"), QStringLiteral("A"), QStringLiteral("B")};
}

QStringList differenceCells(const ConfigDifference& d)
{
    return {d.cls >= 0 ? QString::number(d.cls) : QString(), d.type ? pointTypeName(*d.type) : QString(), d.item,
            QString::fromLatin1(kindText(d.kind)), d.a, d.b};
}

QString differenceLine(const ConfigDifference& d)
{
    QString place = d.cls >= 0 ? QStringLiteral("Class %1").arg(d.cls) : QString();
    if (d.type)
        place += QLatin1Char(' ') + pointTypeName(*d.type);
    switch (d.kind) {
    case DifferenceKind::OnlyInA:
    case DifferenceKind::OnlyInB:
        return QStringLiteral("%1: %2: '%3'").arg(place, QString::fromLatin1(kindText(d.kind)), d.item);
    case DifferenceKind::Renumbered:
        return QStringLiteral("%1: renumbered: '%2' %3").arg(place, d.item, d.a + kArrow + d.b);
    case DifferenceKind::Setting: return QStringLiteral("%1: %2: %3").arg(place, d.item, d.a + kArrow + d.b);
    case DifferenceKind::Mapping:
    case DifferenceKind::Word: return QStringLiteral("%1: %2").arg(d.item, d.a + kArrow + d.b);
    }
    return {};
}

QStringList differenceLines(const ConfigDifferences& differences)
{
    QStringList lines;
    for (const ConfigDifference& d : differences)
        lines << differenceLine(d);
    return lines;
}

QString sameConfigurationText(const QString& fileName)
{
    return QStringLiteral("The configuration and %1 are the same.").arg(fileName);
}

}  // namespace dnp
