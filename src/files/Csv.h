#pragma once
// CSV as spreadsheets write it, read into records, and written so that a spreadsheet
// opens it safely: fields split at commas; a quoted field may hold commas, doubled
// quotes and line breaks; a line ends at CR LF, LF or CR.
//
// A spreadsheet runs a cell that begins with '=', '+', '-' or '@' (and some take a tab
// or a carriage return before them) as a formula. A field that begins with one of these
// is written with an apostrophe before it, which makes the cell text, and read back
// without it.

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

// The records of a CSV text (utf8FileText of the file: its byte-order mark passed over).
// Records without any text (blank lines, the empty line after the last line end, rows of
// commas) are dropped. A quoted field left open, or text after a closing quote, is
// refused with its line. An apostrophe before a formula's first character is dropped.
Result<std::vector<CsvRecord>> csvRecords(QStringView text);

// The fields as one CSV line ending in CR LF: a field that a spreadsheet would run gets
// its apostrophe; one that holds a comma, a quote or a line break is quoted, quotes
// doubled.
QString csvLine(const QStringList& fields);

// A column a reader looks for by its header name (compared without surrounding blanks
// and case).
struct CsvColumn {
    const char* name;
    bool required;
};

// Where the columns are: for each column, in the order given, its position in the
// header row, -1 for an optional column the row does not name. Refused with the
// header's line: a column named twice ("the header row has the column 'index' twice"),
// a first row that names none of the required columns ("this is not <what>: its first
// row names none of the columns type, index, name, event_class"), and a required column
// missing ("the header row has no column 'name' (it needs type, index, name,
// event_class)").
Result<std::vector<int>> csvColumns(const CsvRecord& header, std::span<const CsvColumn> columns, const QString& what);

}  // namespace dnp
