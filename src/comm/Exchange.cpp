#include "comm/Exchange.h"

#include "comm/ImageText.h"

#include <algorithm>
#include <limits>

namespace dnp {
namespace {

constexpr qint64 kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr qint64 kNsPerMs = 1'000'000;
// A reply cannot begin before its request has crossed the line; bytes that come before
// half of the request's wire time has passed are certainly no reply to it (a line at
// twice the configured speed still passes).
constexpr qint64 kEarliestReplyShare = 2;
// After the last reply the line stays quiet this many character times, and long enough
// for a copy of that reply sent a few milliseconds late to show (LineTiming).
constexpr qint64 kGuardCharacters = 3;
// Unexpected bytes are counted no longer than this (a line that never goes quiet).
constexpr qint64 kLongestRefusalMs = 1000;

QString ofMessages(int message)
{
    return QStringLiteral("%1 of %2").arg(message).arg(kMessageCount);
}

QString unexpectedBytes(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 unexpected byte") : QStringLiteral("%1 unexpected bytes").arg(count);
}

}  // namespace

QString progressText(TransferKind kind, int message)
{
    if (message < 1)
        return {};
    return QStringLiteral("%1 message %2").arg(kind == TransferKind::Send ? "Sending" : "Retrieving", ofMessages(message));
}

OutcomeText outcomeText(const TransferResult& result)
{
    const bool send = result.kind == TransferKind::Send;
    const QString failed = send ? kSendErrorText : kRetrieveErrorText;
    const QString partly = result.acknowledged > 0
                               ? QStringLiteral("The panel may hold a partly written configuration: send it again.")
                               : QStringLiteral("Nothing was written to the panel.");
    switch (result.outcome) {
    case TransferOutcome::Success:
        return {(send ? kSendOkText : kRetrieveOkText) + QStringLiteral("."), false};
    case TransferOutcome::StatusError:
    case TransferOutcome::DataError:
        return {failed + QLatin1Char('\n') + result.error, true};
    case TransferOutcome::NotResponding:
        return {kNotRespondingText + QStringLiteral("\nMessage %1 was not answered.").arg(ofMessages(result.message)) +
                    (send ? QLatin1Char(' ') + partly : QString()) +
                    QStringLiteral("\nNo answer on %1 at %2 baud.").arg(result.port).arg(result.baud),
                true};
    case TransferOutcome::PortError:
    case TransferOutcome::Refused:
        return {result.error, true};
    case TransferOutcome::Cancelled:
        if (send)
            return {QStringLiteral("The send was cancelled.\n") + partly, false};
        return {};
    case TransferOutcome::Running:
        break;
    }
    return {};
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
    start(TransferKind::Send, link, settings);
}

void Exchange::startRetrieve(Link& link, const TransferLink& settings)
{
    start(TransferKind::Retrieve, link, settings);
}

void Exchange::startTest(Link& link, const TransferLink& settings)
{
    start(TransferKind::Retrieve, link, settings, 1);
}

void Exchange::start(TransferKind kind, Link& link, const TransferLink& settings, int lastMessage)
{
    kind_ = kind;
    lastMessage_ = lastMessage;
    settings_ = settings;
    link_ = &link;
    phase_ = Phase::Opening;
    message_ = 0;
    result_ = TransferResult{};
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
        end(TransferOutcome::Cancelled);
}

int Exchange::expectedReplySize() const
{
    return frames::replySize(command(), message_, settings_.addressing.enabled);
}

frames::Command Exchange::command() const
{
    return kind_ == TransferKind::Send ? frames::Command::Write : frames::Command::Read;
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

void Exchange::note(bool sent, const QByteArray& bytes, const QString& problem)
{
    result_.trace.push_back({nowNs() / kNsPerMs, sent, bytes, message_, problem});
}

void Exchange::lineOpened()
{
    if (!running() || phase_ != Phase::Opening)
        return;
    message_ = 1;
    sendRequest();
}

void Exchange::sendRequest()
{
    if (progress)
        progress(kind_, message_);
    if (!running())
        return;  // the progress report cancelled it
    const QByteArray frame = kind_ == TransferKind::Send ? frames::composeWriteFrame(message_, image_, settings_.addressing)
                                                         : frames::composeReadFrame(message_, settings_.addressing);
    reply_.clear();
    phase_ = Phase::AwaitingReply;
    note(true, frame);
    // Set before the write: a link may tell of the reply's bytes from inside it.
    replyNotBeforeNs_ = nowNs() + wireNs(frame.size()) / kEarliestReplyShare;
    const LineTiming& timing = settings_.timing;
    const qint64 allowanceMs = kind_ == TransferKind::Send ? timing.sendAllowanceMs : timing.retrieveAllowanceMs;
    const qint64 replyBytes = expectedReplySize();
    const qint64 deadlineNs = wireNs(frame.size()) + wireNs(replyBytes) + (allowanceMs + timing.replyMarginMs) * kNsPerMs;
    deadline_.start(static_cast<int>(deadlineNs / kNsPerMs));
    if (const Result<void> written = link_->write(frame); !written && running())
        end(TransferOutcome::PortError, written.error().message);
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
    case Phase::Guard:
        refuseBytes(lastMessage_, bytes);
        return;
    case Phase::Refusing:
        note(false, bytes);
        unexpectedCount_ += bytes.size();
        waitForQuiet();
        return;
    case Phase::AwaitingReply:
        break;
    }
    if (reply_.isEmpty() && nowNs() < replyNotBeforeNs_) {
        // Too soon to be the reply: what trails the previous reply (a copy of it, an
        // echo of the request, noise).
        refuseBytes(message_ - 1, bytes);
        return;
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
        refuseBytes(message_ - 1, beyond);  // takeReply moved on to the next message
}

void Exchange::refuseBytes(int afterMessage, const QByteArray& bytes)
{
    deadline_.stop();
    phase_ = Phase::Refusing;
    unexpectedAfter_ = afterMessage;
    message_ = std::max(1, afterMessage);  // the message the transfer ends at
    unexpectedCount_ = bytes.size();
    refusingSinceNs_ = nowNs();
    note(false, bytes, unexpectedText());
    waitForQuiet();
}

QString Exchange::unexpectedText() const
{
    if (unexpectedAfter_ < 1)
        return QStringLiteral("%1 came before the reply to message %2.").arg(unexpectedBytes(unexpectedCount_), ofMessages(1));
    return QStringLiteral("Reply to message %1 was followed by %2.")
        .arg(ofMessages(unexpectedAfter_), unexpectedBytes(unexpectedCount_));
}

// The count ends once the line has been quiet for the guard time, or after the
// longest refusal.
void Exchange::waitForQuiet()
{
    const qint64 leftMs = kLongestRefusalMs - (nowNs() - refusingSinceNs_) / kNsPerMs;
    if (leftMs <= 0) {
        end(TransferOutcome::DataError, unexpectedText());
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
    const Result<frames::Reply> parsed =
        frames::parseReply(reply, {command(), message_, settings_.addressing, settings_.checkReplyChecksum});
    if (!parsed) {
        const QString problem = QStringLiteral("Reply to message %1: %2").arg(ofMessages(message_), parsed.error().message);
        note(false, reply, problem);
        end(TransferOutcome::DataError, problem);
        return false;
    }
    note(false, reply);
    const auto bad = std::find_if_not(parsed->statuses.begin(), parsed->statuses.end(), frames::goodStatus);
    if (bad == parsed->statuses.end()) {
        ++result_.acknowledged;
    } else {
        const QString problem = QStringLiteral("Reply to message %1 carried status %2.").arg(ofMessages(message_), hexByte(*bad));
        result_.trace.back().problem = problem;
        if (result_.error.isEmpty())
            result_.error = problem;
    }
    const int first = messageFirstWord(message_);
    for (std::size_t j = 0; j < parsed->words.size() && first + static_cast<int>(j) < kImageWords; ++j)
        result_.image[static_cast<std::size_t>(first) + j] = parsed->words[j];

    if (message_ < lastMessage_) {
        // The next request goes out at once, from the event loop (never from inside the
        // link's report); until it has gone, any byte is one too many.
        ++message_;
        reply_.clear();
        replyNotBeforeNs_ = std::numeric_limits<qint64>::max();
        QMetaObject::invokeMethod(
            this,
            [this, message = message_] {
                if (running() && phase_ == Phase::AwaitingReply && message_ == message)
                    sendRequest();
            },
            Qt::QueuedConnection);
        return true;
    }
    // The last reply: the line must stay quiet a while.
    message_ = lastMessage_ + 1;
    phase_ = Phase::Guard;
    deadline_.start(static_cast<int>(guardMs()));
    return true;
}

void Exchange::deadlinePassed()
{
    if (!running())
        return;
    switch (phase_) {
    case Phase::AwaitingReply:
        note(false, reply_,
             reply_.isEmpty() ? QStringLiteral("No reply came.")
                              : QStringLiteral("Only %1 of the reply's %2 bytes came.")
                                    .arg(reply_.size())
                                    .arg(expectedReplySize()));
        end(TransferOutcome::NotResponding);
        return;
    case Phase::Guard:
        end(result_.error.isEmpty() ? TransferOutcome::Success : TransferOutcome::StatusError, result_.error);
        return;
    case Phase::Refusing:
        end(TransferOutcome::DataError, unexpectedText());
        return;
    case Phase::Opening:
        return;
    }
}

void Exchange::lineFailed(const QString& reason)
{
    if (running())
        end(TransferOutcome::PortError, reason);
}

void Exchange::end(TransferOutcome outcome, const QString& error)
{
    deadline_.stop();
    const TransferKind kind = kind_;
    kind_ = TransferKind::None;
    if (link_) {
        disconnect(link_, nullptr, this, nullptr);
        // What is left on the line goes with the port: nothing of it is read.
        link_->close();
    }
    result_.outcome = outcome;
    result_.message = message_;
    result_.error = error;
    if (progress)
        progress(kind, 0);
    emit finished(result_);
}

}  // namespace dnp
