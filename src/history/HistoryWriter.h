#pragma once
// The history as a run keeps it. Records are written by a thread of its own with its own
// connection to the store, so that no transfer ever waits on the history: a record is
// handed over and the transfer goes on; its answer (written, or why not) comes back later
// on the thread that handed it over, through the event loop. A store that never answers
// costs a transfer nothing: the program waits for its unwritten records at its end at
// most the store's time-out, and then says how many were not recorded.
//
// What needs the store's answer before going on (Required=1 before a command, the
// listings, the chain) is asked on the caller's thread, through a connection of its own.

#include "history/HistoryStore.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>

namespace dnp {

class HistoryWriter {
public:
    // The answer to a record handed over: nothing when it was written, else why not.
    using Answer = std::function<void(const Result<void>& recorded)>;

    explicit HistoryWriter(Result<HistoryPlace> place, HistoryClock clock = steadyMilliseconds);
    // Waits at most the store's time-out for the records still unwritten (their answers
    // are not told), unless finish() waited that long already; a store that still has not
    // answered is left to its thread, which ends on its own.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    const Result<HistoryPlace>& place() const { return place_; }
    bool recording() const { return !place_ || place_->kind != HistoryKind::Off; }

    // Hands the record over and returns at once; `answer` follows on the thread that made
    // the writer, from its event loop or from finish() (never once the writer is gone).
    void record(HistoryRecord record, Answer answer);
    // Waits at most `limit` for every record handed over and tells the answers that came;
    // fails when records are still unwritten: "2 transfers were not recorded in the
    // history: STORE did not answer within 5 s."
    Result<void> finish(std::chrono::milliseconds limit = kStoreTimeout);

    // Asked on the caller's thread.
    Result<void> check() { return reader_.check(); }
    Result<std::vector<HistoryRecord>> records(const HistoryFilter& filter) { return reader_.records(filter); }
    Result<std::vector<PanelHolding>> panels() { return reader_.panels(); }
    Result<ChainCheck> checkChain() { return reader_.checkChain(); }

private:
    struct Shared;
    // The writer's thread, started with the first record.
    void startWriting();
    void tellAnswers();

    Result<HistoryPlace> place_;
    HistoryClock clock_;
    History reader_;
    std::shared_ptr<Shared> shared_;
    QObject teller_;  // lives on the thread that made the writer: where answers are told
};

}  // namespace dnp
