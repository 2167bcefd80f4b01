#include "files/ReportHeader.h"

#include "model/Regional.h"

namespace dnp {

ReportHeaderTexts firstReportHeader(const QDate& today)
{
    return {shortDate(today) + QStringLiteral(" Report"), QStringLiteral("None")};
}

}  // namespace dnp
