#pragma once
// The text report of a configuration: per class the selected points with their
// descriptions, the DNP point numbers of the Class 0 points and the unsolicited
// settings of the event classes. CR LF after every line, Windows-1252 bytes.

#include "model/ConfigState.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace dnp {

// The whole report, header date and time taken from `now`.
QByteArray composeReport(const ConfigState& state, const QDateTime& now);

// The DNP point numbers of a Class 0 point whose first number is `first`:
// "4", "4 and 5", "4, 5" (two-word analog outputs), "4, 5, 6, 7 and 8".
QString dnpNumbersText(PointType type, int first, int wordCount);

}  // namespace dnp
