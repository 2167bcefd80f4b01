#pragma once
// The history of a run's panel commands: it listens for each command a session ends and
// hands its record to the history's writer, which never holds the transfer up; it holds
// a command back before its first request when the settings require every command to be
// recorded and the store cannot take it; and it lists what the store holds. A record
// that could not be written changes nothing of the outcome: recorded() says so, after it.

#include "app/PanelOutcome.h"
#include "app/PanelRecord.h"
#include "app/Settings.h"
#include "history/HistoryWriter.h"

#include <QObject>
#include <memory>

namespace dnp {

class PanelSession;


class PanelHistory : public QObject {
    Q_OBJECT
public:
    // The store the settings name, opened at the first use; or `shared`, the writer of
    // several runs (a fleet's jobs).
    explicit PanelHistory(const Settings& settings, std::shared_ptr<HistoryWriter> shared = {}, QObject* parent = nullptr);
    ~PanelHistory() override;

    // dnpcfg --history: a store for this run ("off", a postgresql:// URL or an SQLite
    // file) instead of the one the settings name. One that does not parse fails as an
    // unreachable one does: at each record, and at once when the settings require it.
    void overrideStore(const QString& store);
    // Every command the session ends is recorded (recorded() answers), and its commands
    // are held back when a required history cannot record them.
    void listenTo(PanelSession& session);
    // A command's outcome handed to the writer (nothing for one refused because it could
    // not be recorded); `answer` hears "" or why it was not written.
    void record(const PanelOutcome& outcome, std::function<void(const QString& notRecorded)> answer);
    // [History] Required=1: why a command may not start, when its record could not be written.
    Result<void> admit();
    // Waits, at most the store's time-out, for the records still being written; fails
    // saying how many were not recorded.
    Result<void> finish(std::chrono::milliseconds limit = kStoreTimeout);

    // dnpcfg history and Panel > History: the records the filter takes, newest first; what
    // each panel holds; whether the chain of records is whole.
    Result<std::vector<HistoryRecord>> records(const HistoryFilter& filter) { return writer().records(filter); }
    Result<std::vector<PanelHolding>> panels() { return writer().panels(); }
    Result<ChainCheck> chain() { return writer().checkChain(); }

signals:
    // The history has answered for a command's record: nothing, or why it was not written
    // ("The transfer was not recorded in the history: REASON").
    void recorded(const dnp::PanelOutcome& outcome, const QString& notRecorded);

private:
    HistoryWriter& writer();

    const Settings& settings_;
    std::shared_ptr<HistoryWriter> writer_;
};

}  // namespace dnp
