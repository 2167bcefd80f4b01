#pragma once
// The text of a file's bytes: the byte-order mark some editors and every spreadsheet
// write at the start of a UTF-8 file is passed over here, and nowhere else.

#include <QByteArrayView>
#include <QString>

namespace dnp {

// The bytes without the UTF-8 byte-order mark at their start, where there is one.
QByteArrayView withoutByteOrderMark(QByteArrayView bytes);
// The text of a UTF-8 file (a CSV file), its byte-order mark passed over; a mark
// anywhere else is the character U+FEFF.
QString utf8FileText(QByteArrayView bytes);

}  // namespace dnp
