#include "comm/Exchange.h"

#include "comm/ImageText.h"
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

QString ofMessages(int message)
{
    return QStringLiteral("%1 of %2").arg(message).arg(kMessageCount);
}

QString unexpectedBytes(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 unexpected byte") : QStringLiteral("%1 unexpected bytes").arg(count);
}

// What a send that stopped short left in the panel: "Nothing was written to the
// panel." when no write request left; "The panel may hold a partly written
// configuration: messages 1 to 7 of 18 were written." ("messages 1 to 4 and 6 to 18 of
// 18", "message 1 of 18 was") for the requests the panel acknowledged; a request that
// left and got no good reply may have been written all the same: "... message 1 of 18
// may have been written." when none was acknowledged.
QString writtenText(const std::bitset<kMessageCount>& written, const std::bitset<kMessageCount>& requested)
{
    const std::bitset<kMessageCount> sent = requested | written;
    if (sent.none())
        return QStringLiteral("Nothing was written to the panel.");
    if (written.none()) {
        int first = 1;
        while (!sent[static_cast<std::size_t>(first - 1)])
            ++first;
        return QStringLiteral("The panel may hold a partly written configuration: message %1 may have been written.")
            .arg(ofMessages(first));
    }
    QStringList runs;
    for (int m = 1; m <= kMessageCount; ++m) {
        if (!written[m - 1] || (m > 1 && written[m - 2]))
            continue;
        int last = m;
        while (last < kMessageCount && written[last])
            ++last;
        runs << (last == m ? QString::number(m) : QStringLiteral("%1 to %2").arg(m).arg(last));
    }
    const QString listed = runs.size() == 1 ? runs.front() : runs.mid(0, runs.size() - 1).join(QStringLiteral(", ")) +
                                                                 QStringLiteral(" and ") + runs.back();
    const QString messages = written.count() == 1 ? QStringLiteral("message %1 of %2 was")
                                                  : QStringLiteral("messages %1 of %2 were");
    return QStringLiteral("The panel may hold a partly written configuration: %1 written.")
        .arg(messages.arg(listed).arg(kMessageCount));
}

}  // namespace

QString progressText(TransferKind kind, int message)
{
    if (message < 1)
        return {};
    return QStringLiteral("%1 message %2").arg(kind == TransferKind::Write ? "Sending" : "Retrieving", ofMessages(message));
}

QString outcomeText(const TransferResult& result)
{
    const bool send = result.kind == TransferKind::Write;
    const QString failed = send ? kSendErrorText : kRetrieveErrorText;
    // What a send that stopped short left in the panel.
    const QString written = send && result.acknowledged() < kMessageCount
                                ? QLatin1Char('\n') + writtenText(result.acknowledgedMessages, result.sentMessages)
                                : QString();
    switch (result.outcome) {
    case TransferOutcome::Success:
        return (send ? kSendOkText : kRetrieveOkText) + QStringLiteral(".");
    case TransferOutcome::StatusError:
    case TransferOutcome::DataError:
        return failed + QLatin1Char('\n') + result.error + written;
    case TransferOutcome::NotResponding:
        return kNotRespondingText + QStringLiteral("\nMessage %1 was not answered.").arg(ofMessages(result.message)) +
               written + QStringLiteral("\nNo answer on %1 at %2 baud.").arg(result.port).arg(result.baud);
    case TransferOutcome::PortError:
        return result.error + ((result.sentMessages | result.acknowledgedMessages).any() ? written : QString());
    case TransferOutcome::Refused:
        return result.error;
    case TransferOutcome::Cancelled:
        if (send)
            return QStringLiteral("The send was cancelled.") + written;
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
        end(TransferOutcome::Cancelled);
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

void Exchange::note(bool sent, const QByteArray& bytes, const QString& problem)
{
    result_.trace.push_back({nowNs() / kNsPerMs, sent, bytes, message_, problem});
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
    note(false, bytes, unexpectedText());
    restartQuietTimer();
}

QString Exchange::unexpectedText() const
{
    if (unexpectedAfter_ < 1)
        return QStringLiteral("%1 came before the reply to message %2.")
            .arg(unexpectedBytes(unexpectedCount_), ofMessages(plan_.front()));
    return QStringLiteral("Reply to message %1 was followed by %2.")
        .arg(ofMessages(unexpectedAfter_), unexpectedBytes(unexpectedCount_));
}

// The count ends once the line has been quiet for the guard time, or after the
// longest refusal.
void Exchange::restartQuietTimer()
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
        result_.acknowledgedMessages.set(static_cast<std::size_t>(message_ - 1));
    } else {
        const QString problem = QStringLiteral("Reply to message %1 carried status %2.").arg(ofMessages(message_), hexByte(*bad));
        result_.trace.back().problem = problem;
        if (!badStatus_)
            badStatus_ = problem;
    }
    const int first = messageFirstWord(message_);
    for (std::size_t j = 0; j < parsed->words.size() && first + static_cast<int>(j) < kImageWords; ++j)
        result_.image[static_cast<std::size_t>(first) + j] = parsed->words[j];

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
    case Phase::AwaitingReply:
        note(false, reply_,
             reply_.isEmpty() ? QStringLiteral("No reply came.")
                              : QStringLiteral("Only %1 of the reply's %2 bytes came.")
                                    .arg(reply_.size())
                                    .arg(expectedReplySize()));
        end(TransferOutcome::NotResponding);
        return;
    case Phase::Guard:
        endAfterGuard();
        return;
    case Phase::Refusing:
        end(TransferOutcome::DataError, unexpectedText());
        return;
    case Phase::Opening:
    case Phase::NextRequest:
        return;
    }
}

void Exchange::endAfterGuard()
{
    message_ = kMessageCount + 1;
    end(badStatus_ ? TransferOutcome::StatusError : TransferOutcome::Success, badStatus_.value_or(QString()));
}

// A line that closes once every reply is in (a terminal server hanging up) can carry no
// late copy: the guard is over. Unexpected bytes already seen still end as a data error.
void Exchange::lineFailed(const QString& reason)
{
    if (!running())
        return;
    if (phase_ == Phase::Guard)
        endAfterGuard();
    else if (phase_ == Phase::Refusing)
        end(TransferOutcome::DataError, unexpectedText());
    else
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
