#include "history/HistoryWriter.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace dnp {
namespace {

QString seconds(std::chrono::milliseconds limit)
{
    return QString::number(std::chrono::duration<double>(limit).count());
}

}  // namespace

// What the writer's thread and the writer share, under one lock.
struct HistoryWriter::Shared {
    std::mutex mutex;
    std::condition_variable wake;     // work came, or the writer is going
    std::condition_variable settled;  // a record was answered, or the thread ended
    std::deque<std::function<void(History&)>> work;
    bool started = false;   // the thread runs
    bool going = false;     // the writer is destroyed: the thread ends once the work is done
    bool ended = false;     // the thread has ended, its store closed
    int unwritten = 0;      // records handed over, not yet answered
    bool waitedOut = false; // finish() waited its time and records were left: not waited for again
    QObject* teller = nullptr;  // where the answers are told; null once the writer is going
    std::vector<std::pair<quint64, Result<void>>> answers;  // not yet told
    // The writer's own: the answers to give, by ticket.
    std::map<quint64, Answer> waiting;
    quint64 nextTicket = 0;
};

HistoryWriter::HistoryWriter(Result<HistoryPlace> place, HistoryClock clock)
    : place_(std::move(place)), clock_(clock), reader_(place_, std::move(clock)), shared_(std::make_shared<Shared>())
{
    shared_->teller = &teller_;
}

// Called with the lock held.
void HistoryWriter::startWriting()
{
    if (shared_->started)
        return;
    shared_->started = true;
    std::thread([shared = shared_, place = place_, clock = clock_] {
        {
            History store(place, clock);
            std::unique_lock lock(shared->mutex);
            while (true) {
                shared->wake.wait(lock, [&] { return shared->going || !shared->work.empty(); });
                if (shared->work.empty())
                    break;
                std::function<void(History&)> next = std::move(shared->work.front());
                shared->work.pop_front();
                lock.unlock();
                next(store);
                lock.lock();
            }
        }
        const std::lock_guard lock(shared->mutex);
        shared->ended = true;
        shared->settled.notify_all();
    }).detach();
}

HistoryWriter::~HistoryWriter()
{
    std::unique_lock lock(shared_->mutex);
    shared_->teller = nullptr;
    shared_->going = true;
    shared_->wake.notify_one();
    if (shared_->started && !shared_->waitedOut)
        shared_->settled.wait_for(lock, kStoreTimeout, [this] { return shared_->ended; });
}

void HistoryWriter::record(HistoryRecord record, Answer answer)
{
    const std::lock_guard lock(shared_->mutex);
    startWriting();
    const quint64 ticket = ++shared_->nextTicket;
    shared_->waiting.emplace(ticket, std::move(answer));
    ++shared_->unwritten;
    shared_->work.push_back([this, shared = shared_, ticket, record = std::move(record)](History& store) {
        Result<void> recorded = store.record(record);
        const std::lock_guard lock(shared->mutex);
        shared->answers.emplace_back(ticket, std::move(recorded));
        --shared->unwritten;
        shared->settled.notify_all();
        // The teller is there while the lock is held (the writer takes it away under the
        // lock before it goes); the call is dropped should the writer go before it comes.
        if (shared->teller && shared->answers.size() == 1)
            QMetaObject::invokeMethod(shared->teller, [this] { tellAnswers(); }, Qt::QueuedConnection);
    });
    shared_->wake.notify_one();
}

void HistoryWriter::tellAnswers()
{
    std::vector<std::pair<quint64, Result<void>>> answers;
    std::vector<Answer> toTell;
    {
        const std::lock_guard lock(shared_->mutex);
        answers.swap(shared_->answers);
        for (const auto& [ticket, recorded] : answers) {
            const auto waiting = shared_->waiting.find(ticket);
            toTell.push_back(std::move(waiting->second));
            shared_->waiting.erase(waiting);
        }
    }
    for (std::size_t i = 0; i < answers.size(); ++i)
        if (toTell[i])
            toTell[i](answers[i].second);
}

Result<void> HistoryWriter::finish(std::chrono::milliseconds limit)
{
    int unwritten = 0;
    {
        std::unique_lock lock(shared_->mutex);
        shared_->settled.wait_for(lock, limit, [this] { return shared_->unwritten == 0; });
        unwritten = shared_->unwritten;
        shared_->waitedOut = unwritten > 0;
    }
    tellAnswers();
    if (unwritten == 0)
        return {};
    return failure((unwritten == 1 ? QStringLiteral("1 transfer was not recorded in the history: ")
                                   : QStringLiteral("%1 transfers were not recorded in the history: ").arg(unwritten)) +
                   QStringLiteral("%1 did not answer within %2 s.")
                       .arg(place_ ? place_->name : QStringLiteral("the history"), seconds(limit)));
}

}  // namespace dnp
