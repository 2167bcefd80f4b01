#pragma once
// The trace of a transfer as a field engineer reads it: when each frame went or came,
// which way, the message it belongs to, its bytes in hex and what was wrong with it.

#include "comm/Exchange.h"

#include <QStringList>
#include <vector>

namespace dnp {

struct TraceRow {
    QString time;       // "1234" milliseconds since the transfer began
    QString direction;  // "to panel", "from panel"
    QString message;    // "1" to "18"
    QString bytes;      // "05 64 0A 3F"
    QString problem;    // what was wrong with them; "" when nothing
};

// The column headings of a trace's table (the bytes last: they are long), and its rows
// in the order the events happened.
inline const QStringList kTraceHeadings = {QStringLiteral("Time (ms)"), QStringLiteral("Line"),
                                           QStringLiteral("Message"), QStringLiteral("Problem"),
                                           QStringLiteral("Bytes")};
std::vector<TraceRow> traceRows(const std::vector<LineEvent>& trace);

// The trace as lines of text, one per event, the columns aligned; a problem follows its
// event on a line of its own, beginning "  ! ". "No frame went over the line." for an
// empty trace.
QStringList traceLines(const std::vector<LineEvent>& trace);

}  // namespace dnp
