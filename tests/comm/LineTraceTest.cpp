#include "comm/LineTrace.h"


#include <gtest/gtest.h>

namespace dnp {
namespace {

TEST(LineTrace, EachEventALineAndEachProblemALineBelowIt)
{
    const std::vector<LineEvent> trace = {
        {0, true, QByteArray::fromHex("0a3f0001"), 1, {}},
        {12, false, QByteArray::fromHex("0a0000"), 1, {}},
        {1234567, false, QByteArray::fromHex("ff"), 12, UnexpectedBytes{11, false, 1}},
    };
    EXPECT_EQ(traceLines(trace), (QStringList{
                                     "      0 ms  to panel     1  0A 3F 00 01",
                                     "     12 ms  from panel   1  0A 00 00",
                                     "1234567 ms  from panel  12  FF",
                                     "  ! Reply to message 11 of 18 was followed by 1 unexpected byte.",
                                 }));
    const std::vector<TraceRow> rows = traceRows(trace);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ((QStringList{rows[2].time, rows[2].direction, rows[2].message, rows[2].bytes, rows[2].problem}),
              (QStringList{"1234567", "from panel", "12", "FF", "Reply to message 11 of 18 was followed by 1 unexpected byte."}));
    EXPECT_EQ(kTraceHeadings, (QStringList{"Time (ms)", "Line", "Message", "Problem", "Bytes"}));
}

TEST(LineTrace, AnEmptyTraceSaysNothingWentOverTheLine)
{
    EXPECT_EQ(traceLines({}), QStringList{"No frame went over the line."});
}

}  // namespace
}  // namespace dnp
