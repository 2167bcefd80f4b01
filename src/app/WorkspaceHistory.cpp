// The workspace's history: each panel command handed to the history's writer as it ends,
// the store a run uses, and the records and panels the front ends list.

#include "app/Workspace.h"

#include "files/FileAccess.h"

#include <QDir>
#include <QPointer>

namespace dnp {

void Workspace::overrideHistory(const QString& store)
{
    history_ = std::make_shared<HistoryWriter>(historyPlace(store, QDir::currentPath()));
}

HistoryWriter& Workspace::history()
{
    if (!history_)
        history_ = setup_.history ? setup_.history : std::make_shared<HistoryWriter>(historyPlace(settings()));
    return *history_;
}

Result<void> Workspace::checkHistoryRequired()
{
    if (!settings().HistoryRequired)
        return {};
    if (const Result<void> recordable = history().check(); !recordable)
        return failure(QStringLiteral("The transfer was not started: the history, which the settings require, "
                                      "cannot record it.\n") +
                       recordable.error().message);
    return {};
}

void Workspace::recordInHistory(const PanelOutcome& outcome, bool told)
{
    historyWarning_.clear();
    if (!history().recording())
        return;
    history().record(historyRecord(outcome, setup_.program),
                     [self = QPointer<Workspace>(this), told, notRecorded = setup_.notRecorded](const Result<void>& recorded) {
                         const QString warning = recorded ? QString() : kNotRecordedText + recorded.error().message;
                         if (!warning.isEmpty() && notRecorded)
                             notRecorded(warning);
                         if (!self)
                             return;
                         self->historyWarning_ = warning;
                         if (!warning.isEmpty() && told)
                             self->prompts_.error(warning);
                         emit self->historyRecorded();
                     });
}

Result<void> Workspace::finishHistory()
{
    return history_ ? history_->finish() : Result<void>();
}

namespace {

FileDialogSettings exportHistoryDialogSettings()
{
    return {QStringLiteral("Export History"), QStringLiteral("history.csv"), QStringLiteral("csv"),
            QStringLiteral("CSV files (*.csv)|*.csv|All files (*)|*"), {}};
}

}  // namespace

bool Workspace::exportHistoryWithDialog(const std::vector<HistoryRecord>& records)
{
    return saveWith(exportHistoryDialogSettings(), {},
                    [&records](const QString& path) { return writeFileSafely(path, historyCsv(records)); },
                    QStringLiteral("Exported the history to %1"));
}

}  // namespace dnp
