#pragma once
// The store of the history: an SQLite file on this machine (by default in the user's data
// folder) or a PostgreSQL database a team shares, both through Qt SQL, every text of a
// record bound as a parameter. The schema carries its version: a store of a newer version
// is refused and left as it is, an older one is brought up to date in one transaction.
//
// Each record carries the SHA-256 of the record before it in the store and its own (of
// that and its fields), written in the transaction that adds it, writers taking turns:
// one chain per store, which checkChain() walks. What each panel holds is kept beside the
// records, one row per panel, in the same transaction, so that the panels are told at
// once however long the history.
//
// A History is used on one thread (the one it was made on, or a HistoryWriter's).

#include "history/HistoryPlace.h"
#include "history/HistoryRecord.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dnp {

// A steady clock in milliseconds: how long ago a store failed to open.
using HistoryClock = std::function<qint64()>;
qint64 steadyMilliseconds();

// What the walk along a store's chain found: every record in its place (`broken` empty),
// or the first record that was changed, removed or inserted out of turn, told.
struct ChainCheck {
    qint64 records = 0;
    QString broken = {};
};
// "The history's chain is whole: 12 records." or what broke it.
QString chainCheckText(const ChainCheck& check);

// One store, opened at its first use and kept open. Every failure is one line that names
// the store ("/home/ann/.local/share/DNP Configure/history.sqlite: file is not a
// database"). A store that could not be opened is not tried again for kReopenAfterMs by
// the clock (a fleet's jobs do not each wait for a server that does not answer).
class History {
public:
    static constexpr qint64 kReopenAfterMs = 10'000;
    // The version of the records' schema this program writes.
    static constexpr int kSchemaVersion = 2;

    explicit History(Result<HistoryPlace> place, HistoryClock clock = steadyMilliseconds);
    ~History();
    History(const History&) = delete;
    History& operator=(const History&) = delete;

    const Result<HistoryPlace>& place() const { return place_; }
    // Whether commands are recorded at all (not off; a place that does not parse counts
    // as recording, and fails).
    bool recording() const { return !place_ || place_->kind != HistoryKind::Off; }
    // Whether a record could be written now: the store opens, is of this program's
    // version (made or brought up to date) and may be written. Off fails.
    Result<void> check();
    // Written in one transaction (nothing when off). Without a place for the default
    // store (no HOME) the first record says so and the others are dropped unsaid.
    Result<void> record(std::span<const HistoryRecord> records);
    Result<void> record(const HistoryRecord& one) { return record(std::span(&one, 1)); }
    // The records the filter takes, newest first (none from an SQLite file not made yet,
    // which a listing does not make).
    Result<std::vector<HistoryRecord>> records(const HistoryFilter& filter);
    // Every panel (device and address) the history has seen, by device and address.
    Result<std::vector<PanelHolding>> panels();
    // The chain walked from the first record to the last.
    Result<ChainCheck> checkChain();

private:
    struct Store;
    Result<Store*> open();
    // An SQLite file not made yet: a listing finds nothing and makes none.
    bool nothingRecordedYet() const;
    // `work` on the open store; when it fails the store is closed (to be opened again
    // next time) and the failure names the store.
    Result<void> use(const std::function<Result<void>(Store&)>& work);

    Result<HistoryPlace> place_;
    HistoryClock clock_;
    std::unique_ptr<Store> store_;
    std::optional<Error> openFailure_;  // why the last open failed
    qint64 openFailedAt_ = 0;
    bool nowhereTold_ = false;
};

}  // namespace dnp
