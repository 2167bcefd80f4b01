// The workspace's history: each panel command recorded as it ends, the store a run
// uses, and the records and panels the front ends list.

#include "app/Workspace.h"

#include "files/SafeWrite.h"

#include <QDir>

namespace dnp {

void Workspace::overrideHistory(const QString& store)
{
    history_ = std::make_shared<History>(historyPlace(store, QDir::currentPath()));
}

History& Workspace::history()
{
    if (!history_)
        history_ = setup_.history ? setup_.history : std::make_shared<History>(historyPlace(settings()));
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
    if (const Result<void> recorded = history().record(historyRecord(outcome, setup_.program)); !recorded) {
        historyWarning_ = kNotRecordedText + recorded.error().message;
        if (told)
            prompts_.error(historyWarning_);
    }
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
