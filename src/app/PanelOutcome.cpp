#include "app/PanelOutcome.h"

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

QString panelActionName(PanelAction action)
{
    return nameIn(kActionNames, action);
}

QString panelResultName(PanelResult result)
{
    return nameIn(kResultNames, result);
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
        return QStringLiteral("cancelled");
    case PanelResult::Differs:
        return outcome.differingWords == 1 ? QStringLiteral("panel differs (1 word)")
                                           : QStringLiteral("panel differs (%1 words)").arg(outcome.differingWords);
    case PanelResult::Incomplete:
        return QStringLiteral("incomplete (%1 of %2 written)").arg(outcome.written).arg(kMessageCount);
    case PanelResult::Failed:
        break;
    }
    const QString why = nameIn(kFailureNames, outcome.transfer);
    return why.isEmpty() ? QStringLiteral("failed") : QStringLiteral("failed (%1)").arg(why);
}

QString traceHeading(const PanelOutcome& outcome)
{
    return QStringLiteral("Line trace of the %1 on %2 at %3 baud:")
        .arg(panelActionName(outcome.action), outcome.device)
        .arg(outcome.baud);
}

QString lastTransferText(const std::optional<PanelOutcome>& last)
{
    if (!last)
        return QStringLiteral("None in this run");
    return QStringLiteral("%1: %2 at %3")
        .arg(nameIn(kActionCaptions, last->action), outcomeSummary(*last), last->ended.toString(QStringLiteral("HH:mm")));
}

}  // namespace dnp
