#pragma once
// CSV as spreadsheets write it, read into records: fields split at commas; a quoted
// field may hold commas, doubled quotes and line breaks; a line ends at CR LF, LF or CR.

#include "model/Result.h"

#include <QStringList>
#include <QStringView>
#include <span>
#include <vector>

namespace dnp {

struct CsvRecord {
    int line = 0;  // where the record begins
    QStringList fields;
};

// The records of a CSV text. Records without any text (blank lines, the empty line after
// the last line end, rows of commas) are dropped. A quoted field left open, or text after
// a closing quote, is refused with its line. A byte-order mark before the first record
// (U+FEFF, as spreadsheets write one) is skipped.
Result<std::vector<CsvRecord>> csvRecords(QStringView text);

// Where the columns a reader wants are: for each header name, in the order given, its
// position in the header row, -1 when the row does not name it (names compared without
// surrounding blanks and case). A column named twice is refused with the header's line:
// "the header row has the column 'index' twice".
Result<std::vector<int>> csvColumnPositions(const CsvRecord& header, std::span<const char* const> names);

}  // namespace dnp
