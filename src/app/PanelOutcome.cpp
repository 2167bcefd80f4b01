#include "app/PanelOutcome.h"

#include "comm/LineTrace.h"
#include "model/Version.h"

#include <QRegularExpression>

namespace dnp {
namespace {

template <typename Enum>
struct Named {
    Enum value;
    const char* name;
};

template <typename Enum, std::size_t N>
QString nameIn(const Named<Enum> (&table)[N], Enum value)
{
    for (const Named<Enum>& row : table)
        if (row.value == value)
            return QString::fromLatin1(row.name);
    return {};
}

constexpr Named<ProgramKind> kProgramNames[] = {{ProgramKind::Desk, "dnp-configure"}, {ProgramKind::Dnpcfg, "dnpcfg"}, {ProgramKind::Fleet, "fleet"}};
constexpr Named<ProgramKind> kProgramTitles[] = {{ProgramKind::Desk, "DNP Configure"}, {ProgramKind::Dnpcfg, "dnpcfg"}, {ProgramKind::Fleet, "dnpcfg fleet"}};
constexpr Named<PanelAction> kActionNames[] = {
    {PanelAction::Send, "send"}, {PanelAction::Retrieve, "retrieve"}, {PanelAction::Verify, "verify"}, {PanelAction::Test, "test"}};
constexpr Named<PanelAction> kActionCaptions[] = {
    {PanelAction::Send, "Send"}, {PanelAction::Retrieve, "Retrieve"}, {PanelAction::Verify, "Verify"}, {PanelAction::Test, "Test"}};
constexpr Named<PanelResult> kResultNames[] = {{PanelResult::Ok, "ok"},
                                               {PanelResult::Failed, "failed"},
                                               {PanelResult::Cancelled, "cancelled"},
                                               {PanelResult::Differs, "differs"},
                                               {PanelResult::Incomplete, "incomplete"}};
// Why a transfer failed, in a word or two.
constexpr Named<TransferOutcome> kFailureNames[] = {
    {TransferOutcome::StatusError, "status error"}, {TransferOutcome::DataError, "data error"},
    {TransferOutcome::NotResponding, "no answer"},  {TransferOutcome::PortError, "port error"},
    {TransferOutcome::Refused, "refused"},
};

}  // namespace

QString programName(ProgramKind program)
{
    return nameIn(kProgramNames, program);
}

QString programHeading(ProgramKind program)
{
    return nameIn(kProgramTitles, program) + QLatin1Char(' ') + QString::fromLatin1(kVersion);
}

QString panelActionName(PanelAction action)
{
    return nameIn(kActionNames, action);
}

QString panelResultName(PanelResult result)
{
    return nameIn(kResultNames, result);
}

template <typename Enum, std::size_t N>
QStringList namesIn(const Named<Enum> (&table)[N])
{
    QStringList names;
    for (const Named<Enum>& row : table)
        names << QString::fromLatin1(row.name);
    return names;
}

QStringList panelActionNames() { return namesIn(kActionNames); }
QStringList panelResultNames() { return namesIn(kResultNames); }

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 1);
}

QString oneLine(const QString& text)
{
    QStringList parts;
    for (const QString& part : text.split(QLatin1Char('\n')))
        if (!part.trimmed().isEmpty())
            parts << part.trimmed();
    return parts.join(QLatin1Char(' '));
}

PanelOutcome failedOutcome(PanelAction action, const QString& message)
{
    PanelOutcome outcome;
    outcome.action = action;
    outcome.message = message;
    return outcome;
}

QString outcomeSummary(const PanelOutcome& outcome)
{
    switch (outcome.result) {
    case PanelResult::Ok:
        return QStringLiteral("OK");
    case PanelResult::Cancelled:
        return outcome.trace.empty() ? QStringLiteral("not started") : QStringLiteral("cancelled");
    case PanelResult::Differs:
        return outcome.differingWords == 1 ? QStringLiteral("panel differs (1 word)")
                                           : QStringLiteral("panel differs (%1 words)").arg(outcome.differingWords);
    case PanelResult::Incomplete:
        if (outcome.written == 0)
            return QStringLiteral("incomplete (message 1 of %1 may be written)").arg(kMessageCount);
        return QStringLiteral("incomplete (%1 of %2 written)").arg(outcome.written).arg(kMessageCount);
    case PanelResult::Failed:
        break;
    }
    const QString why = nameIn(kFailureNames, outcome.transfer);
    return why.isEmpty() ? QStringLiteral("failed") : QStringLiteral("failed (%1)").arg(why);
}

QStringList traceText(const PanelOutcome& outcome)
{
    const QString when = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QStringList text = {
        QStringLiteral("Line trace of the %1 on %2 at %3 baud:").arg(panelActionName(outcome.action), outcome.device).arg(outcome.baud),
        QStringLiteral("Program: ") + programHeading(outcome.program),
        QStringLiteral("Device: ") + outcome.device,
        QStringLiteral("Baud: %1").arg(outcome.baud),
        QStringLiteral("Parity: ") + (outcome.evenParity ? QStringLiteral("even") : QStringLiteral("none")),
        QStringLiteral("Address: ") + (outcome.address ? QString::number(*outcome.address) : QStringLiteral("none (addressing off)")),
        QStringLiteral("Started: ") + outcome.started.toString(when),
        QStringLiteral("Outcome: ") + outcomeSummary(outcome),
        QString(),
    };
    return text + traceLines(outcome.trace);
}

QString traceFileName(const PanelOutcome& outcome)
{
    static const QRegularExpression scheme(QStringLiteral("^(tcp|tls)://|^/dev/"));
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._]+"));
    static const QRegularExpression ends(QStringLiteral("^-+|-+$"));
    QString device = outcome.device;
    device.remove(scheme).replace(unsafe, QStringLiteral("-")).remove(ends);
    return QStringLiteral("trace-%1-%2.txt").arg(device, outcome.started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString retrievedCaption(const PanelOutcome& outcome)
{
    return QStringLiteral("Retrieved from %1 at %2")
        .arg(outcome.comNumber > 0 ? QStringLiteral("COM %1").arg(outcome.comNumber) : outcome.device,
             outcome.ended.toString(QStringLiteral("HH:mm")));
}

QString lastTransferText(const std::optional<PanelOutcome>& last)
{
    if (!last)
        return QStringLiteral("None in this run");
    return QStringLiteral("%1: %2 at %3")
        .arg(nameIn(kActionCaptions, last->action), outcomeSummary(*last), last->ended.toString(QStringLiteral("HH:mm")));
}

}  // namespace dnp
