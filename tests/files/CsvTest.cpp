// CSV lines as the programs write them (quoted where needed, a formula made text with an
// apostrophe) and read back, and the header columns a reader looks for.

#include "files/Csv.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

struct Line {
    const char* what;
    QStringList fields;
    const char* written;
};

const Line kLines[] = {
    {"plain", {"a", "b c", ""}, "a,b c,\r\n"},
    {"a comma, a quote, a line break", {"a,b", "say \"hi\"", "x\r\ny"}, "\"a,b\",\"say \"\"hi\"\"\",\"x\r\ny\"\r\n"},
    {"formulas", {"=HYPERLINK(\"http://x\",\"y\")", "+1", "-2", "@SUM(A1)"},
     "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",'+1,'-2,'@SUM(A1)\r\n"},
    {"a tab and a carriage return first", {"\tx", "\rx"}, "'\tx,\"'\rx\"\r\n"},
    {"what begins no formula", {"'a", "a=b", " =c", "1.5"}, "'a,a=b, =c,1.5\r\n"},
};

TEST(CsvLines, AreWrittenForASpreadsheetAndReadBackTheSame)
{
    for (const Line& l : kLines) {
        SCOPED_TRACE(l.what);
        const QString written = csvLine(l.fields);
        EXPECT_EQ(written, QString::fromUtf8(l.written));
        const Result<std::vector<CsvRecord>> read = csvRecords(written);
        ASSERT_TRUE(read) << read.error().message.toStdString();
        ASSERT_EQ(read->size(), 1u);
        EXPECT_EQ(read->front().fields, l.fields);
    }
}

struct Columns {
    const char* what;
    QStringList header;
    std::vector<int> positions;  // empty: refused
    const char* message;
};

constexpr CsvColumn kColumns[] = {{"type", true}, {"index", true}, {"note", false}};

TEST(CsvColumns, AreFoundByNameOrRefused)
{
    const Columns cases[] = {
        {"in any order and case", {" Index ", "x", "TYPE"}, {2, 0, -1}, ""},
        {"an optional one too", {"type", "note", "index"}, {0, 2, 1}, ""},
        {"a required one missing", {"type", "note"}, {}, "the header row has no column 'index' (it needs type, index)"},
        {"none of the required", {"a", "b"}, {}, "this is not a list: its first row names none of the columns type, index"},
        {"one twice", {"type", "index", "Type"}, {}, "the header row has the column 'type' twice"},
    };
    for (const Columns& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<std::vector<int>> found = csvColumns({3, c.header}, kColumns, QStringLiteral("a list"));
        if (c.positions.empty()) {
            ASSERT_FALSE(found);
            EXPECT_EQ(found.error().message, QString::fromUtf8(c.message));
            EXPECT_EQ(found.error().line, 3);
        } else {
            ASSERT_TRUE(found) << found.error().message.toStdString();
            EXPECT_EQ(*found, c.positions);
        }
    }
}

}  // namespace
