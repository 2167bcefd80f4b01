#pragma once
// Dates, times and decimal numbers as the user's regional settings write them.

#include "model/Result.h"

#include <QDateTime>
#include <QString>

namespace dnp {

// Shortest general decimal form (up to 15 significant digits, no trailing zeros),
// with the regional decimal separator: 2 for 2.0, 12.5 for 12.5.
QString formatDecimal(double value);
// A decimal number with an optional fraction, regional separator, blanks around it
// ignored; anything else fails with "'<text>' is not a valid floating point value".
Result<double> parseDecimal(const QString& text);
// A decimal integer, blanks around it ignored; anything else fails with
// "'<text>' is not a valid integer value".
Result<long long> parseInteger(const QString& text);

// Round to the nearest integer, a half to the even neighbour.
long long roundHalfEven(double value);

// "<short date>   <long time>", the header line's date and time.
QString shortDate(const QDate& date);
QString dateTimeStamp(const QDateTime& now);

}  // namespace dnp
