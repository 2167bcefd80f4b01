#include "comm/Exchange.h"

#include "comm/ReadPlan.h"

#include <algorithm>

namespace dnp {
namespace {

constexpr qint64 kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr qint64 kNsPerMs = 1'000'000;
// After the last reply the line stays quiet this many character times, and long enough
// for a copy of that reply sent a few milliseconds late to show (LineTiming).
constexpr qint64 kGuardCharacters = 3;
// Unexpected bytes are counted no longer than this (a line that never goes quiet).
constexpr qint64 kLongestRefusalMs = 1000;

}  // namespace

TransferOutcome TransferResult::outcome() const
{
    struct Kind {
        TransferOutcome operator()(std::monostate) const { return TransferOutcome::Running; }
        TransferOutcome operator()(const AllAnswered&) const { return TransferOutcome::Success; }
        TransferOutcome operator()(const NoReply&) const { return TransferOutcome::NotResponding; }
        TransferOutcome operator()(const BadReply&) const { return TransferOutcome::DataError; }
        TransferOutcome operator()(const UnexpectedBytes&) const { return TransferOutcome::DataError; }
        TransferOutcome operator()(const BadStatus&) const { return TransferOutcome::StatusError; }
        TransferOutcome operator()(const LinkFailure&) const { return TransferOutcome::PortError; }
        TransferOutcome operator()(const Cancelled&) const { return TransferOutcome::Cancelled; }
    };
    return std::visit(Kind{}, reason);
}

Exchange::Exchange(QObject* parent) : QObject(parent)
{
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &Exchange::deadlinePassed);
}

void Exchange::startSend(Link& link, const TransferLink& settings, const ConfigImage& image)
{
    image_ = image;
    start(TransferKind::Write, link, settings, everyMessage());
}

void Exchange::startRead(Link& link, const TransferLink& settings, std::vector<int> plan)
{
    start(TransferKind::Read, link, settings, std::move(plan));
}

void Exchange::start(TransferKind kind, Link& link, const TransferLink& settings, std::vector<int> plan)
{
    kind_ = kind;
    ++transfer_;
    plan_ = std::move(plan);
    step_ = 0;
    settings_ = settings;
    link_ = &link;
    phase_ = Phase::Opening;
    message_ = 0;
    result_ = TransferResult{};
    badStatus_.reset();
    result_.kind = kind;
    result_.port = link.target().label();
    result_.baud = settings.baud;
    clock_.start();
    connect(&link, &Link::opened, this, &Exchange::lineOpened);
    connect(&link, &Link::received, this, &Exchange::bytesArrived);
    connect(&link, &Link::failed, this, &Exchange::lineFailed);
    link.open({settings.baud, settings.evenParity ? PortParity::Even : PortParity::None});
}

void Exchange::cancel()
{
    if (running())
        end(Cancelled{});
}

int Exchange::expectedReplySize() const
{
    return frames::replySize(command(), message_, settings_.addressing.enabled);
}

frames::Command Exchange::command() const
{
    return kind_ == TransferKind::Write ? frames::Command::Write : frames::Command::Read;
}

// At the speed the line runs at (the configured baud rate, which the line was opened
// at); a line without a speed (0) takes no time.
qint64 Exchange::wireNs(qsizetype bytes) const
{
    const std::int32_t baud = link_ ? link_->line().baud : settings_.baud;
    return baud > 0 ? bytes * kBitsPerByte * 1'000'000'000 / baud : 0;
}

qint64 Exchange::guardMs() const
{
    return (kGuardCharacters * wireNs(1)) / kNsPerMs + settings_.timing.guardCopyMs;
}

void Exchange::note(bool sent, const QByteArray& bytes, std::optional<LineProblem> problem)
{
    result_.trace.push_back({nowNs() / kNsPerMs, sent, bytes, message_, std::move(problem)});
}

void Exchange::lineOpened()
{
    if (!running() || phase_ != Phase::Opening)
        return;
    message_ = plan_.front();
    sendRequest();
}

void Exchange::sendRequest()
{
    if (progress)
        progress(kind_, message_);
    if (!running())
        return;  // the progress report cancelled it
    const QByteArray frame = kind_ == TransferKind::Write ? frames::composeWriteFrame(message_, image_, settings_.addressing)
                                                         : frames::composeReadFrame(message_, settings_.addressing);
    reply_.clear();
    phase_ = Phase::AwaitingReply;
    note(true, frame);
    if (kind_ == TransferKind::Write)
        result_.sentMessages.set(static_cast<std::size_t>(message_ - 1));
    const LineTiming& timing = settings_.timing;
    const qint64 allowanceMs = kind_ == TransferKind::Write ? timing.sendAllowanceMs : timing.retrieveAllowanceMs;
    const qint64 replyBytes = expectedReplySize();
    const qint64 deadlineNs = wireNs(frame.size()) + wireNs(replyBytes) + (allowanceMs + timing.replyMarginMs) * kNsPerMs;
    deadline_.start(static_cast<int>(deadlineNs / kNsPerMs));
    if (const Result<void> written = link_->write(frame); !written && running()) {
        const LinkFault fault = link_->isOpen() ? LinkFault::WriteRefused : LinkFault::NotOpen;
        end(LinkFailure{fault, link_->target(), written.error().message});
    }
}

void Exchange::bytesArrived()
{
    if (!running() || !link_)
        return;
    const QByteArray bytes = link_->takeReceived();
    if (bytes.isEmpty())
        return;
    switch (phase_) {
    case Phase::Opening:
        refuseBytes(0, bytes);
        return;
    case Phase::NextRequest:
    case Phase::Guard:
        refuseBytes(message_, bytes);
        return;
    case Phase::Refusing:
        note(false, bytes);
        unexpectedCount_ += bytes.size();
        restartQuietTimer();
        return;
    case Phase::AwaitingReply:
        break;
    }
    const int expected = expectedReplySize();
    reply_ += bytes;
    if (reply_.size() < expected)
        return;
    const QByteArray beyond = reply_.sliced(expected);
    reply_.truncate(expected);
    if (!takeReply(reply_))
        return;
    if (!beyond.isEmpty())
        refuseBytes(message_, beyond);
}

void Exchange::refuseBytes(int afterMessage, const QByteArray& bytes)
{
    deadline_.stop();
    phase_ = Phase::Refusing;
    unexpectedAfter_ = afterMessage;
    // The message the transfer ends at: bytes before any reply end it at the first.
    message_ = afterMessage > 0 ? afterMessage : plan_.front();
    unexpectedCount_ = bytes.size();
    refusingSinceNs_ = nowNs();
    note(false, bytes, unexpected());
    restartQuietTimer();
}

UnexpectedBytes Exchange::unexpected() const
{
    return {message_, unexpectedAfter_ < 1, unexpectedCount_};
}

// The count ends once the line has been quiet for the guard time, or after the
// longest refusal.
void Exchange::restartQuietTimer()
{
    const qint64 leftMs = kLongestRefusalMs - (nowNs() - refusingSinceNs_) / kNsPerMs;
    if (leftMs <= 0) {
        end(unexpected());
        return;
    }
    deadline_.start(static_cast<int>(std::min(guardMs(), leftMs)));
}

// A reply whose frame does not check out ends the transfer at once; a status byte
// that is not good is remembered (the first one) and fails the transfer at its end.
// False when the transfer has ended.
bool Exchange::takeReply(const QByteArray& reply)
{
    deadline_.stop();
    const std::variant<frames::Reply, frames::FrameProblem> parsed =
        frames::parseReply(reply, {command(), message_, settings_.addressing, settings_.checkReplyChecksum});
    if (const auto* problem = std::get_if<frames::FrameProblem>(&parsed)) {
        const BadReply refused{message_, *problem};
        note(false, reply, refused);
        end(refused);
        return false;
    }
    const frames::Reply& taken = std::get<frames::Reply>(parsed);
    note(false, reply);
    const auto bad = std::find_if_not(taken.statuses.begin(), taken.statuses.end(), frames::goodStatus);
    if (bad == taken.statuses.end()) {
        result_.acknowledgedMessages.set(static_cast<std::size_t>(message_ - 1));
    } else {
        const BadStatus status{message_, *bad};
        result_.trace.back().problem = status;
        if (!badStatus_)
            badStatus_ = status;
    }
    const int first = messageFirstWord(message_);
    for (std::size_t j = 0; j < taken.words.size() && first + static_cast<int>(j) < kImageWords; ++j)
        result_.image[static_cast<std::size_t>(first) + j] = taken.words[j];

    if (step_ + 1 < plan_.size()) {
        // The next request goes out at once, from the event loop (never from inside the
        // link's report); until it has gone, any byte is one too many.
        phase_ = Phase::NextRequest;
        QMetaObject::invokeMethod(
            this,
            [this, transfer = transfer_, step = step_] {
                if (running() && transfer_ == transfer && phase_ == Phase::NextRequest && step_ == step) {
                    message_ = plan_[++step_];
                    sendRequest();
                }
            },
            Qt::QueuedConnection);
        return true;
    }
    // The last reply: the line must stay quiet a while.
    phase_ = Phase::Guard;
    deadline_.start(static_cast<int>(guardMs()));
    return true;
}

void Exchange::deadlinePassed()
{
    if (!running())
        return;
    switch (phase_) {
    case Phase::AwaitingReply: {
        const NoReply silence{message_, reply_.size(), expectedReplySize()};
        note(false, reply_, silence);
        end(silence);
        return;
    }
    case Phase::Guard:
        endAfterGuard();
        return;
    case Phase::Refusing:
        end(unexpected());
        return;
    case Phase::Opening:
    case Phase::NextRequest:
        return;
    }
}

void Exchange::endAfterGuard()
{
    message_ = kMessageCount + 1;
    if (badStatus_)
        end(*badStatus_);
    else
        end(AllAnswered{});
}

// A line that closes once every reply is in (a terminal server hanging up) can carry no
// late copy: the guard is over. Unexpected bytes already seen still end as a data error.
void Exchange::lineFailed(const LinkFailure& failure)
{
    if (!running())
        return;
    if (phase_ == Phase::Guard)
        endAfterGuard();
    else if (phase_ == Phase::Refusing)
        end(unexpected());
    else
        end(failure);
}

void Exchange::end(TransferEnd reason)
{
    deadline_.stop();
    const TransferKind kind = kind_;
    kind_ = TransferKind::None;
    if (link_) {
        disconnect(link_, nullptr, this, nullptr);
        // What is left on the line goes with the port: nothing of it is read.
        link_->close();
    }
    result_.reason = std::move(reason);
    result_.message = message_;
    if (progress)
        progress(kind, 0);
    emit finished(result_);
}

}  // namespace dnp
