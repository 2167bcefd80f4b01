#include "files/Report.h"

#include "files/ConfigFile.h"
#include "files/Cp1252.h"

#include <QStringList>

namespace dnp {
namespace {

const QString kNoPoint = QStringLiteral(" There is no data point selected.");
const QString kLookUp = QStringLiteral("       - DNP 3.0 Point #: Look up in Class 0");
const QString kNumbersLabel = QStringLiteral("       - DNP 3.0 Point #: ");
const QString kDescriptionLabel = QStringLiteral("       - Description: ");
const QString kEntryLead = QStringLiteral("  * ");

QString reportHeading(PointType type)
{
    return QStringLiteral("*** ") + blockHeading(type) + QStringLiteral(" ***");
}

void appendBlock(QStringList& lines, const ConfigState& state, int cls, PointType type)
{
    const PointCatalog& catalog = PointCatalog::instance();
    lines << QString() << reportHeading(type);
    const auto entry = [&lines](const CatalogPoint& p, const QString& numbers) {
        lines << kEntryLead + p.shortName << numbers << kDescriptionLabel + p.description;
    };
    bool any = false;
    if (cls == 0) {
        // Class 0 lists its points in Class 0 order, numbered from 0.
        for (const DnpNumbering& n : dnpPointNumbers(state, type)) {
            entry(catalog.point(type, n.typeIndex), kNumbersLabel + dnpNumbersText(type, n.firstNumber, n.wordCount));
            any = true;
        }
    } else {
        for (int i = 0; i < pointCount(type); ++i) {
            const std::int32_t v = classPointValue(state, cls, type, i);
            if (v < 0 || v >= pointCount(type))
                continue;
            entry(catalog.point(type, i), kLookUp);
            any = true;
        }
    }
    if (!any)
        lines << kNoPoint;
}

}  // namespace

QString dnpNumbersText(PointType type, int first, int wordCount)
{
    if (wordCount <= 1)
        return QString::number(first);
    if (wordCount == 2 && type == PointType::Aout)
        return QStringLiteral("%1, %2").arg(first).arg(first + 1);
    QStringList numbers;
    for (int k = 0; k < wordCount - 1; ++k)
        numbers << QString::number(first + k);
    return numbers.join(QStringLiteral(", ")) + QStringLiteral(" and ") + QString::number(first + wordCount - 1);
}

QByteArray composeReport(const ConfigState& state, const QDateTime& now)
{
    QStringList lines;
    lines << dateTimeLine(now) << QStringLiteral("Description: ") + headerText(state.ReportDescription)
          << QStringLiteral("Comment:     ") + headerText(state.ReportComment);
    for (int cls = 0; cls <= 3; ++cls) {
        lines << QString() << QStringLiteral("================= CLASS %1 =================").arg(cls);
        if (cls > 0) {
            const std::uint16_t events = state.eventsWord(cls);
            lines << QStringLiteral("*** Unsolicited Responses ***")
                  << QStringLiteral("  * Deadband           : ") + deadbandPercentText(state.deadband(cls)) + QStringLiteral(" %")
                  << QStringLiteral("  * Minimum Events     : ") + QString::number(minimumEventsOf(events))
                  << QStringLiteral("  * Notification Delay : ") + QString::number(notificationDelayOf(events));
        }
        for (PointType type : kAllPointTypes)
            appendBlock(lines, state, cls, type);
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += toCp1252(line);
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace dnp
