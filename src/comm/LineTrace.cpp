#include "comm/LineTrace.h"

#include "comm/TransferText.h"

namespace dnp {

std::vector<TraceRow> traceRows(const std::vector<LineEvent>& trace)
{
    std::vector<TraceRow> rows;
    rows.reserve(trace.size());
    for (const LineEvent& event : trace)
        rows.push_back({QString::number(event.atMs), event.sent ? QStringLiteral("to panel") : QStringLiteral("from panel"),
                        QString::number(event.message), QString::fromLatin1(event.bytes.toHex(' ').toUpper()),
                        event.problem ? lineProblemText(*event.problem) : QString()});
    return rows;
}

QStringList traceLines(const std::vector<LineEvent>& trace)
{
    if (trace.empty())
        return {QStringLiteral("No frame went over the line.")};
    QStringList lines;
    for (const TraceRow& row : traceRows(trace)) {
        lines << QStringLiteral("%1 ms  %2  %3  %4").arg(row.time, 7).arg(row.direction, -10).arg(row.message, 2).arg(row.bytes);
        if (!row.problem.isEmpty())
            lines << QStringLiteral("  ! ") + row.problem;
    }
    return lines;
}

}  // namespace dnp
