#pragma once
// The texts of a report's header: the description and the comment the Report Header
// dialog asks for. Once accepted they are the configuration's, and its file keeps them.

#include <QDate>
#include <QString>

namespace dnp {

struct ReportHeaderTexts {
    QString description;
    QString comment;
};

// What the dialog first shows: "<short date> Report" and "None".
ReportHeaderTexts firstReportHeader(const QDate& today);

}  // namespace dnp
