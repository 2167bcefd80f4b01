#include "app/PanelRecord.h"

#include <QFileInfo>
#include <QSysInfo>
#include <cmath>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace dnp {
namespace {

QString loginName()
{
#ifdef Q_OS_UNIX
    if (const passwd* user = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"})
        if (!qEnvironmentVariableIsEmpty(variable))
            return qEnvironmentVariable(variable);
    return {};
}

}  // namespace

QString imageSha256(const ConfigImage& image)
{
    QByteArray bytes;
    bytes.reserve(2 * kImageWords);
    for (const std::uint16_t word : image) {
        bytes.append(static_cast<char>(word >> 8));
        bytes.append(static_cast<char>(word & 0xFF));
    }
    return sha256Text(bytes);
}

HistoryRecord historyRecord(const PanelOutcome& outcome)
{
    HistoryRecord record;
    record.time = outcome.ended.toUTC().toString(Qt::ISODate);
    record.user = loginName();
    record.host = QSysInfo::machineHostName();
    record.program = programName(outcome.program);
    record.device = outcome.device;
    record.address = outcome.address ? QString::number(*outcome.address) : QString();
    record.action = panelActionName(outcome.action);
    record.outcome = panelResultName(outcome.result);
    record.config = outcome.config;
    record.imageSha256 = outcome.image ? imageSha256(*outcome.image) : QString();
    record.panelSha256 = outcome.panelImage ? imageSha256(*outcome.panelImage) : QString();
    record.differingWords = outcome.differingWords;
    record.seconds = std::round(outcome.seconds * 10) / 10;
    record.message = oneLine(outcome.message);
    record.trace = traceText(outcome).join(QLatin1Char('\n'));
    if (outcome.action == PanelAction::Send)
        record.readBack = outcome.panelImage ? kReadBack : kNotReadBack;
    return record;
}

Result<HistoryPlace> historyPlace(const TcomSetIni& settings)
{
    return historyPlace(settings.HistoryDatabase, QFileInfo(settings.location().readPath).absolutePath());
}

}  // namespace dnp
