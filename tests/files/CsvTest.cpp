// CSV lines as the programs write them (quoted where needed, a formula made text with an
// apostrophe) and read back, and the header columns a reader looks for.

#include "files/Csv.h"

#include "support/QtPrint.h"

#include <gtest/gtest.h>
#include <variant>

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

constexpr CsvColumn kColumns[] = {{"type", true}, {"index", true}, {"note", false}};

TEST(CsvColumns, AreFoundByNameOrRefused)
{
    const std::pair<QStringList, std::variant<std::vector<int>, const char*>> cases[] = {
        {{" Index ", "x", "TYPE"}, std::vector<int>{2, 0, -1}},
        {{"type", "note", "index"}, std::vector<int>{0, 2, 1}},
        {{"type", "note"}, "the header row has no column 'index' (it needs type, index)"},
        {{"a", "b"}, "this is not a list: its first row names none of the columns type, index"},
        {{"type", "index", "Type"}, "the header row has the column 'type' twice"},
    };
    for (const auto& [header, expected] : cases) {
        const Result<std::vector<int>> found = csvColumns({3, header}, kColumns, QStringLiteral("a list"));
        if (const auto* positions = std::get_if<std::vector<int>>(&expected))
            EXPECT_EQ(found ? *found : std::vector<int>{}, *positions) << header.join(',').toStdString();
        else
            EXPECT_EQ(found ? QString() : found.error().message + QString::number(found.error().line()),
                      QString::fromUtf8(std::get<const char*>(expected)) + "3");
    }
}

}  // namespace
