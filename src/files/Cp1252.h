#pragma once
// Windows-1252, the single-byte code page of the configuration file and the report.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace dnp {

// One byte per character; a character that Windows-1252 cannot hold becomes "?".
QByteArray toCp1252(QStringView text);
// One character per byte. The five bytes that Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number.
QString fromCp1252(QByteArrayView bytes);

}  // namespace dnp
