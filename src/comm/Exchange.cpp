#include "comm/Exchange.h"

#include <QElapsedTimer>
#include <QThread>

namespace dnp {
namespace {

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
// A line quiet for this many character times, and at least kShortestQuietMs, has
// finished sending: at line speed the next byte follows within one character time.
constexpr double kQuietCharacters = 1.5;
constexpr qint64 kShortestQuietMs = 2;
// The quiet that ends bytes trailing a reply: a sender's bytes may reach the port in
// bursts (a USB adapter, a busy machine), so a trailing line is waited on this long.
constexpr qint64 kTrailingQuietMs = 20;
// Bytes that may trail a reply before the line counts as never going quiet.
constexpr int kMaxTrailingBytes = 256;
constexpr qint64 kQuietPollUs = 100;

qint64 characterNs(const SerialLink& port)
{
    return static_cast<qint64>(kBitsPerByte) * 1'000'000'000 / std::max(1, port.Baud());
}

}  // namespace

QString progressText(TransferKind kind, int message)
{
    if (message < 1)
        return {};
    return QStringLiteral("%1 message %2 of %3")
        .arg(kind == TransferKind::Send ? "Sending" : "Retrieving")
        .arg(message)
        .arg(kMessageCount);
}

Exchange::Exchange(QObject* parent) : QObject(parent)
{
    SendTimer.setObjectName("SendTimer");
    SendTimer.setInterval(kSendTimerInterval);
    RetrvTimer.setObjectName("RetrvTimer");
    RetrvTimer.setInterval(kRetrieveTimerInterval);
    connect(&SendTimer, &QTimer::timeout, this, &Exchange::SendTimerTimer);
    connect(&RetrvTimer, &QTimer::timeout, this, &Exchange::RetrvTimerTimer);
}

Result<void> Exchange::openPort(SerialLink& port, const TransferLink& link)
{
    port_ = &port;
    port.setBytesArrivedHandler([this] { bytesArrived(); });
    port.setParity(link.evenParity ? PortParity::Even : PortParity::None);
    port.setBaud(link.baud);
    port.setDataBits(8);
    port.setStopBits(1);
    addressing_ = link.addressing;
    checkReplyChecksum_ = link.checkReplyChecksum;
    return port.open();
}

void Exchange::startSend(const ConfigImage& image)
{
    image_ = image;
    start(TransferKind::Send);
}

void Exchange::startRetrieve()
{
    start(TransferKind::Retrieve);
}

void Exchange::cancel()
{
    if (running())
        end(TransferOutcome::Cancelled);
}

void Exchange::start(TransferKind kind)
{
    kind_ = kind;
    lineTrails_ = false;
    result_ = TransferResult{};
    result_.kind = kind;
    MessageNumber = 1;
    stateOf(kind) = Step::Start;
    AwaitingReply = false;
    TransferError = false;
    cycle(kind);
}

void Exchange::cycle(TransferKind kind)
{
    const bool send = kind == TransferKind::Send;
    QTimer& timer = send ? SendTimer : RetrvTimer;
    while (kind_ == kind) {
        if (MessageNumber > kMessageCount) {
            end(TransferError ? TransferOutcome::StatusError : TransferOutcome::Success);
            return;
        }
        Step& step = stateOf(kind);
        switch (step) {
        case Step::Start:
            if (AwaitingReply)
                return;
            step = Step::Compose;
            AwaitingReply = true;
            WaitEnded = false;
            PollCount = 0;
            if (progress)
                progress(kind, MessageNumber);
            break;
        case Step::Compose:
            if (!(send ? ComposeToSendMesg(MessageNumber) : ComposeToRetrieveMesg(MessageNumber)))
                return;
            step = Step::AwaitReply;
            break;
        case Step::AwaitReply:
            if (!WaitEnded) {
                BytesWaiting = port_->ReceivedCount();
                if (BytesWaiting < 1) {
                    timer.start();
                    return;
                }
                // The reply has begun already: as a tick that saw it.
                WaitEnded = true;
                AwaitingReply = false;
            }
            if (AwaitingReply) {  // time-out: the transfer is over
                step = Step::Start;
                return;
            }
            step = Step::Read;
            break;
        case Step::Read:
            if (!(send ? ReadSendInputBuffer(MessageNumber) : ReadRetrieveInputBuffer(MessageNumber)))
                return;
            step = Step::Parse;
            break;
        case Step::Parse:
            if (!(send ? SendStatusParsing(MessageNumber) : RetrieveStatusParsing(MessageNumber)))
                return;
            ++MessageNumber;
            step = Step::Start;
            break;
        }
    }
}

void Exchange::SendTimerTimer()
{
    timerTick(SendTimer, TransferKind::Send);
}

void Exchange::RetrvTimerTimer()
{
    timerTick(RetrvTimer, TransferKind::Retrieve);
}

void Exchange::timerTick(QTimer& timer, TransferKind kind)
{
    if (kind_ != kind) {
        timer.stop();
        return;
    }
    if (PollCount == kPollsBeforeTimeOut) {
        timer.stop();
        WaitEnded = true;
        cycle(kind);  // ends in Start with AwaitingReply on
        end(TransferOutcome::NotResponding);
        return;
    }
    if (BytesWaiting < 1) {
        BytesWaiting = port_->ReceivedCount();
        ++PollCount;
        return;
    }
    replySeen(timer, kind);
}

// The first byte of a reply is acted on as soon as it arrives; the polls only count
// towards the time-out.
void Exchange::bytesArrived()
{
    QTimer& timer = kind_ == TransferKind::Send ? SendTimer : RetrvTimer;
    if (kind_ == TransferKind::None || stateOf(kind_) != Step::AwaitReply || WaitEnded || !timer.isActive())
        return;
    BytesWaiting = port_->ReceivedCount();
    if (BytesWaiting >= 1)
        replySeen(timer, kind_);
}

void Exchange::replySeen(QTimer& timer, TransferKind kind)
{
    timer.stop();
    WaitEnded = true;
    AwaitingReply = false;
    cycle(kind);
}

bool Exchange::waitBounded(const std::function<bool()>& done, int expectedBytes)
{
    const qint64 wireMs = static_cast<qint64>(expectedBytes) * characterNs(*port_) / 1'000'000;
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > wireMs + kWaitMarginMs)
            return false;
        QThread::usleep(100);
    }
    return true;
}

bool Exchange::sendFrame(const QByteArray& frame)
{
    const Result<void> sent = port_->SendBytes(frame);
    if (!sent) {
        end(TransferOutcome::PortError, sent.error().message);
        return false;
    }
    if (!waitBounded([this] { return port_->TransmitPending() == 0; }, static_cast<int>(frame.size()))) {
        end(TransferOutcome::NotResponding);
        return false;
    }
    return true;
}

bool Exchange::ComposeToSendMesg(int message)
{
    return sendFrame(frames::composeWriteFrame(message, image_, addressing_));
}

bool Exchange::ComposeToRetrieveMesg(int message)
{
    return sendFrame(frames::composeReadFrame(message, addressing_));
}

bool Exchange::ReadSendInputBuffer(int message)
{
    return readReply(frames::Command::Write, message);
}

bool Exchange::ReadRetrieveInputBuffer(int message)
{
    return readReply(frames::Command::Read, message);
}

// A reply is read as exactly the size the panel answers with; what follows it on the
// line is discarded.
bool Exchange::readReply(frames::Command command, int message)
{
    ReplyBuffer.clear();
    const int size = frames::replySize(command, message, addressing_.enabled);
    const bool complete = waitBounded(
        [&] {
            BytesWaiting = port_->ReceivedCount();
            return BytesWaiting >= size;
        },
        size);
    if (!complete) {
        port_->FlushReceive();
        end(TransferOutcome::NotResponding);
        return false;
    }
    for (int i = 0; i < size; ++i) {
        const Result<std::uint8_t> byte = port_->ReadByte();
        if (!byte) {
            end(TransferOutcome::PortError, byte.error().message);
            return false;
        }
        ReplyBuffer.append(static_cast<char>(*byte));
    }
    discardTrailingBytes();
    return true;
}

// Bytes that follow a reply (padding, an echo, line noise) come at line speed, so some
// may still be on their way when the reply itself is complete. They are discarded until
// the line has been quiet for kQuietCharacters character times, so that they are not
// taken for the start of the next reply. The first reply of a transfer, and every reply
// of a transfer whose replies have been seen to trail, wait the longer kTrailingQuietMs
// from the start: the next byte of a trailing burst may come late on a busy machine, and
// read as the next reply it would fail the transfer. A line that never goes quiet is
// left after the wire time of kMaxTrailingBytes bytes and the long quiet.
void Exchange::discardTrailingBytes()
{
    const qint64 charNs = characterNs(*port_);
    const qint64 shortQuietNs =
        std::max<qint64>(static_cast<qint64>(kQuietCharacters * static_cast<double>(charNs)), kShortestQuietMs * 1'000'000LL);
    const qint64 longQuietNs = std::max<qint64>(shortQuietNs, kTrailingQuietMs * 1'000'000LL);
    const qint64 limitNs = kMaxTrailingBytes * charNs + longQuietNs;
    QElapsedTimer clock;
    clock.start();
    qint64 lastByteNs = 0;
    qint64 quietNs = (MessageNumber == 1 || lineTrails_) ? longQuietNs : shortQuietNs;
    port_->FlushReceive();
    for (;;) {
        const qint64 now = clock.nsecsElapsed();
        // Counted before they are flushed: a flush alone would drop bytes unseen.
        if (port_->ReceivedCount() > 0) {
            port_->FlushReceive();
            lastByteNs = now;
            quietNs = longQuietNs;
            lineTrails_ = true;
        } else if (now - lastByteNs >= quietNs) {
            return;
        }
        if (now >= limitNs) {
            port_->FlushReceive();
            return;
        }
        // Poll every 100 us, or sooner when the quiet ends sooner.
        const qint64 untilQuietNs = lastByteNs + quietNs - now;
        const qint64 pauseUs = std::min<qint64>(kQuietPollUs, untilQuietNs / 1000);
        if (pauseUs > 0)
            QThread::usleep(static_cast<unsigned long>(pauseUs));
    }
}

// A reply whose frame does not check out ends the transfer at once; any half of a
// status byte that is not 0 marks the transfer as failed.
std::optional<frames::Reply> Exchange::checkedReply(frames::Command command, int message)
{
    Result<frames::Reply> reply = frames::parseReply(ReplyBuffer, {command, message, addressing_, checkReplyChecksum_});
    if (!reply) {
        end(TransferOutcome::DataError, reply.error().message);
        return std::nullopt;
    }
    for (std::uint8_t status : reply->statuses)
        TransferError = TransferError || !frames::goodStatus(status);
    return std::move(reply).value();
}

bool Exchange::SendStatusParsing(int message)
{
    return checkedReply(frames::Command::Write, message).has_value();
}

bool Exchange::RetrieveStatusParsing(int message)
{
    const std::optional<frames::Reply> reply = checkedReply(frames::Command::Read, message);
    if (!reply)
        return false;
    const int first = messageFirstWord(message);
    for (std::size_t j = 0; j < reply->words.size() && first + static_cast<int>(j) < kImageWords; ++j)
        result_.image[static_cast<std::size_t>(first) + j] = reply->words[j];
    return true;
}

void Exchange::end(TransferOutcome outcome, const QString& error)
{
    SendTimer.stop();
    RetrvTimer.stop();
    kind_ = TransferKind::None;
    result_.outcome = outcome;
    result_.message = MessageNumber;
    result_.error = error;
    // The port is left for other programs as soon as the transfer is over.
    port_->close();
    if (progress)
        progress(result_.kind, 0);
    emit finished(result_);
}

}  // namespace dnp
