#include "model/Regional.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace dnp {
namespace {

QLocale numberLocale()
{
    QLocale locale;  // the system locale unless a test sets another default
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

}  // namespace

QString formatDecimal(double value)
{
    if (value == 0.0)
        value = 0.0;  // no "-0"
    return numberLocale().toString(value, 'g', 15);
}

Result<double> parseDecimal(const QString& text)
{
    bool ok = false;
    const double value = numberLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return failure(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

Result<long long> parseInteger(const QString& text)
{
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return failure(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

long long roundHalfEven(double value)
{
    return static_cast<long long>(std::nearbyint(value));  // default rounding mode: to nearest, ties to even
}

QString shortDate(const QDate& date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString dateTimeStamp(const QDateTime& now)
{
    // The long time format without a time-zone name.
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    format.remove(QRegularExpression(QStringLiteral("\\bt+\\s*")));
    return shortDate(now.date()) + QStringLiteral("   ") + QLocale().toString(now.time(), format.trimmed());
}

}  // namespace dnp
