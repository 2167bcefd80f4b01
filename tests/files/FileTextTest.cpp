// The text of a file's bytes: the byte-order mark passed over at the start alone.

#include "files/FileText.h"

#include <gtest/gtest.h>

using namespace dnp;

namespace {

TEST(FileText, TheByteOrderMarkIsPassedOverOnceAtTheStartOnly)
{
    const QChar mark(0xFEFF);
    const std::pair<QByteArray, QString> cases[] = {
        {"\xEF\xBB\xBF" "a,b", "a,b"}, {"a,b", "a,b"}, {"\xEF\xBB\xBF\xEF\xBB\xBF" "a", mark + QString("a")},
        {"a\xEF\xBB\xBF", "a" + QString(mark)},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(utf8FileText(bytes), text) << bytes.toHex().toStdString();
}

}  // namespace
