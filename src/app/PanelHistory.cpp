#include "app/PanelHistory.h"

#include "app/PanelSession.h"

#include <QDir>
#include <QPointer>

namespace dnp {

PanelHistory::PanelHistory(const Settings& settings, std::shared_ptr<HistoryWriter> shared, QObject* parent)
    : QObject(parent), settings_(settings), writer_(std::move(shared))
{
}

PanelHistory::~PanelHistory() = default;

void PanelHistory::overrideStore(const QString& store)
{
    writer_ = std::make_shared<HistoryWriter>(historyPlace(store, QDir::currentPath()));
}

HistoryWriter& PanelHistory::writer()
{
    if (!writer_)
        writer_ = std::make_shared<HistoryWriter>(historyPlace(settings_.current()));
    return *writer_;
}

void PanelHistory::listenTo(PanelSession& session)
{
    session.admit = [this] { return admit(); };
    connect(&session, &PanelSession::commandEnded, this, [this](const PanelOutcome& outcome) {
        record(outcome, [self = QPointer<PanelHistory>(this), outcome](const QString& notRecorded) {
            if (self)
                emit self->recorded(outcome, notRecorded);
        });
    });
}

Result<void> PanelHistory::admit()
{
    if (!settings_.current().HistoryRequired)
        return {};
    if (const Result<void> recordable = writer().check(); !recordable)
        return failure(QStringLiteral("The transfer was not started: the history, which the settings require, "
                                      "cannot record it.\n") +
                       recordable.error().message);
    return {};
}

// The record is handed over as the command ends, before anything is shown of it (a box
// may stay open for long).
void PanelHistory::record(const PanelOutcome& outcome, std::function<void(const QString& notRecorded)> answer)
{
    if (!outcome.recordable || !writer().recording())
        return;
    writer().record(historyRecord(outcome), [answer = std::move(answer)](const Result<void>& written) {
        answer(written ? QString() : kNotRecordedText + written.error().message);
    });
}

Result<void> PanelHistory::finish(std::chrono::milliseconds limit)
{
    return writer_ ? writer_->finish(limit) : Result<void>();
}

}  // namespace dnp
