#include "comm/Exchange.h"

#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/SortModel.h"
#include "model/UserPrompts.h"

#include <QElapsedTimer>
#include <QThread>

namespace dnp {
namespace {

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
// A line quiet for this many character times, and at least kShortestQuietMs, has
// finished sending: at line speed the next byte follows within one character time;
// the rest leaves room for the jitter of a busy machine.
constexpr double kQuietCharacters = 1.5;
constexpr qint64 kShortestQuietMs = 2;
// Bytes that may trail a reply before the line counts as never going quiet.
constexpr int kMaxTrailingBytes = 256;
// The quiet that ends trailing bytes once some have been seen.
constexpr qint64 kTrailingQuietMs = 20;
constexpr qint64 kQuietPollUs = 100;

// Bytes that follow a reply (padding, an echo, line noise) come at line speed, so some
// may still be on their way when the reply itself is complete. They are discarded
// until the line has been quiet for kQuietCharacters character times, so that they
// are not taken for the start of the next reply. Once bytes have been seen coming in,
// the line must stay quiet for at least kTrailingQuietMs, as a sender's bytes may reach
// the port in bursts (a USB adapter, a busy machine). The wait is bounded: a line that
// never goes quiet is left after the wire time of kMaxTrailingBytes bytes and the
// long quiet.
void discardTrailingBytes(SerialLink& port)
{
    const qint64 characterNs = static_cast<qint64>(kBitsPerByte) * 1'000'000'000 / std::max(1, port.Baud());
    const auto shortQuietNs = std::max<qint64>(static_cast<qint64>(kQuietCharacters * static_cast<double>(characterNs)),
                                               kShortestQuietMs * 1'000'000LL);
    const qint64 longQuietNs = std::max<qint64>(shortQuietNs, kTrailingQuietMs * 1'000'000LL);
    const qint64 limitNs = kMaxTrailingBytes * characterNs + longQuietNs;
    QElapsedTimer clock;
    clock.start();
    qint64 lastByteNs = 0;
    qint64 quietNs = shortQuietNs;
    port.FlushReceive();
    for (;;) {
        const qint64 now = clock.nsecsElapsed();
        // Counted before they are flushed: a flush alone would drop bytes unseen.
        if (port.ReceivedCount() > 0) {
            port.FlushReceive();
            lastByteNs = now;
            quietNs = longQuietNs;
        } else if (now - lastByteNs >= quietNs) {
            return;
        }
        if (now >= limitNs) {
            port.FlushReceive();
            return;
        }
        // Poll every 100 us, or sooner when the quiet ends sooner.
        const qint64 untilQuietNs = lastByteNs + quietNs - now;
        const qint64 pauseUs = std::min<qint64>(kQuietPollUs, untilQuietNs / 1000);
        if (pauseUs > 0)
            QThread::usleep(static_cast<unsigned long>(pauseUs));
    }
}

int firstWordOf(int message)
{
    return message == frames::kMessageCount ? frames::kImageWordCount - 1 : (message - 1) * frames::kWordsPerMessage;
}

}  // namespace

Exchange::Exchange(ConfigState& state, ClassEditor& editor, SortModel& sort, TcomSetIni& settings, SerialLink& port,
                   UserPrompts& prompts, QObject* parent)
    : QObject(parent), state_(state), editor_(editor), sort_(sort), settings_(settings), port_(port), prompts_(prompts)
{
    SendTimer.setObjectName("SendTimer");
    SendTimer.setInterval(kSendTimerInterval);
    RetrvTimer.setObjectName("RetrvTimer");
    RetrvTimer.setInterval(kRetrieveTimerInterval);
    connect(&SendTimer, &QTimer::timeout, this, &Exchange::SendTimerTimer);
    connect(&RetrvTimer, &QTimer::timeout, this, &Exchange::RetrvTimerTimer);
    port_.setBytesArrivedHandler([this] { bytesArrived(); });
}

frames::Addressing Exchange::addressing() const
{
    return {settings_.IsAddressing() == 1, settings_.Address};
}

bool Exchange::openPort()
{
    if (port_.isOpen())
        port_.close();
    settings_.mapIntoRange();
    port_.setComNumber(static_cast<std::uint16_t>(settings_.ComPort));
    port_.setParity(settings_.Parity != 0 ? PortParity::Even : PortParity::None);
    port_.setBaud(settings_.baudRate());
    port_.setDataBits(8);
    port_.setStopBits(1);
    const PortResult opened = port_.open();
    if (!opened.ok()) {
        outcome_ = TransferOutcome::PortError;
        prompts_.error(opened.error);
        emit finished(outcome_);
        return false;
    }
    return true;
}

void Exchange::OKtoSendButtonClick()
{
    if (running()) {
        prompts_.information(kTransferUnderWayText);
        return;
    }
    if (!openPort())
        return;
    const ImageBuildResult built = buildSendImage(state_, sort_);
    if (const auto* refusal = std::get_if<ImageRefusal>(&built)) {
        outcome_ = TransferOutcome::Refused;
        prompts_.error(refusal->message);
        emit finished(outcome_);
        return;
    }
    image_ = std::get<BuiltImage>(built).image;
    kind_ = TransferKind::Send;
    outcome_ = TransferOutcome::Running;
    SendState = 0;
    AwaitingReply = false;
    MessageNumber = 1;
    SendWordOffset = 14;
    TransferError = false;
    SendCycle();
}

void Exchange::OKtoRetrieveButtonClick()
{
    if (running()) {
        prompts_.information(kTransferUnderWayText);
        return;
    }
    if (!openPort())
        return;
    sort_.resetRetrieve();
    kind_ = TransferKind::Retrieve;
    outcome_ = TransferOutcome::Running;
    MessageNumber = 1;
    RetrieveState = 0;
    AwaitingReply = false;
    TransferError = false;
    RetrieveCycle();
}

void Exchange::SendCycle()
{
    cycle(TransferKind::Send);
}

void Exchange::RetrieveCycle()
{
    cycle(TransferKind::Retrieve);
}

void Exchange::cycle(TransferKind kind)
{
    const bool send = kind == TransferKind::Send;
    QTimer& timer = send ? SendTimer : RetrvTimer;
    while (kind_ == kind) {
        if (MessageNumber > frames::kMessageCount) {
            if (!send)
                completeRetrieve(state_, editor_, sort_);
            end(TransferError ? TransferOutcome::StatusError : TransferOutcome::Success);
            return;
        }
        std::uint8_t& step = stateOf(kind);
        switch (step) {
        case 0:  // start of a message
            if (AwaitingReply)
                return;
            step = 1;
            AwaitingReply = true;
            WaitEnded = false;
            PollCount = 0;
            if (progress)
                progress(QStringLiteral("%1 message %2 of 18").arg(send ? "Sending" : "Retrieving").arg(MessageNumber));
            break;
        case 1:  // frame to compose and send
            if (!(send ? ComposeToSendMesg(MessageNumber) : ComposeToRetrieveMesg(MessageNumber)))
                return;
            step = 2;
            break;
        case 2:  // waiting for the reply to begin
            if (!WaitEnded) {
                BytesWaiting = port_.ReceivedCount();
                if (BytesWaiting < 1) {
                    timer.start();
                    return;
                }
                // The reply has begun already: as a tick that saw it.
                WaitEnded = true;
                AwaitingReply = false;
            }
            if (AwaitingReply) {  // time-out: the transfer is over
                step = 0;
                return;
            }
            step = 3;
            break;
        case 3:  // reply to read
            if (!(send ? ReadSendInputBuffer(MessageNumber) : ReadRetrieveInputBuffer(MessageNumber)))
                return;
            step = 4;
            break;
        default:  // reply to parse
            if (send) {
                SendStatusParsing(MessageNumber);
                if (MessageNumber > 1)
                    SendWordOffset += frames::kWordsPerMessage;
            } else {
                RetrieveStatusParsing(MessageNumber);
            }
            ++MessageNumber;
            step = 0;
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
        cycle(kind);  // ends in state 0 with AwaitingReply on
        end(TransferOutcome::NotResponding, kNotRespondingText);
        return;
    }
    if (BytesWaiting < 1) {
        BytesWaiting = port_.ReceivedCount();
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
    if (kind_ == TransferKind::None || stateOf(kind_) != 2 || WaitEnded || !timer.isActive())
        return;
    BytesWaiting = port_.ReceivedCount();
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
    const qint64 wireMs = static_cast<qint64>(expectedBytes) * kBitsPerByte * 1000 / std::max(1, port_.Baud());
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
    const PortResult sent = port_.SendBytes(frame);
    if (!sent.ok()) {
        end(TransferOutcome::PortError, sent.error);
        return false;
    }
    if (!waitBounded([this] { return port_.TransmitPending() == 0; }, static_cast<int>(frame.size()))) {
        end(TransferOutcome::NotResponding, kNotRespondingText);
        return false;
    }
    return true;
}

bool Exchange::ComposeToSendMesg(int message)
{
    return sendFrame(frames::composeWriteFrame(message, image_, addressing()));
}

bool Exchange::ComposeToRetrieveMesg(int message)
{
    return sendFrame(frames::composeReadFrame(message, addressing()));
}

bool Exchange::ReadSendInputBuffer(int message)
{
    return readReply(frames::Command::Write, message);
}

bool Exchange::ReadRetrieveInputBuffer(int message)
{
    BytesWaiting = port_.ReceivedCount();
    return readReply(frames::Command::Read, message);
}

// A reply is read as exactly the size the panel answers with: the address byte (with
// addressing) and the length byte are dropped, the payload kept; the checksum and
// anything after it, also what trails it on the line, are discarded.
bool Exchange::readReply(frames::Command command, int message)
{
    const frames::Addressing a = addressing();
    const int skip = a.enabled ? 2 : 1;
    ReplyBuffer.fill(0);
    ReplyLength = 0;
    const int size = frames::replySize(command, message, a.enabled);
    const bool complete = waitBounded(
        [&] {
            BytesWaiting = port_.ReceivedCount();
            return BytesWaiting >= size;
        },
        size);
    if (!complete) {
        port_.FlushReceive();
        end(TransferOutcome::NotResponding, kNotRespondingText);
        return false;
    }
    for (int i = 0; i < size - 1; ++i) {
        const ReadResult r = port_.ReadByte();
        if (!r.ok()) {
            end(TransferOutcome::PortError, r.error);
            return false;
        }
        if (i >= skip && ReplyLength < static_cast<int>(ReplyBuffer.size()))
            ReplyBuffer[ReplyLength++] = r.byte;
    }
    discardTrailingBytes(port_);
    return true;
}

// Each half of a status byte that is 0 adds a "." to the outcome text (the high half
// of a reply's first status byte adds the sentence); any other half marks the
// transfer as failed.
QString Exchange::checkStatus(std::uint8_t status, const QString& sentence)
{
    QString text;
    const bool highGood = (status >> 4) == 0;
    const bool lowGood = (status & 0x0F) == 0;
    if (highGood)
        text += sentence.isEmpty() ? QStringLiteral(".") : sentence;
    if (lowGood)
        text += QStringLiteral(".");
    if (!highGood || !lowGood)
        TransferError = true;
    return text;
}

void Exchange::SendStatusParsing(int message)
{
    QString text;
    for (int p = 0; p < ReplyLength; ++p)
        text += checkStatus(ReplyBuffer[p], p == 0 ? kSendOkText : QString());
    if (message != frames::kMessageCount)
        return;
    if (TransferError)
        prompts_.error(kSendErrorText);
    else
        prompts_.information(text);
}

void Exchange::RetrieveStatusParsing(int message)
{
    QString text;
    std::vector<std::uint16_t> words;
    int p = 0;
    const auto word = [&] {
        words.push_back(static_cast<std::uint16_t>(ReplyBuffer[p] << 8 | ReplyBuffer[p + 1]));
        p += 2;
    };
    if (p < ReplyLength)
        text += checkStatus(ReplyBuffer[p++], kRetrieveOkText);
    if (p + 1 < ReplyLength)
        word();
    while (p < ReplyLength) {
        text += checkStatus(ReplyBuffer[p++], QString());
        for (int k = 0; k < 2 && p + 1 < ReplyLength; ++k)
            word();
    }
    sort_.Retrieved.appendReplyWords(firstWordOf(message), words);
    if (message != frames::kMessageCount)
        return;
    if (TransferError)
        prompts_.error(kRetrieveErrorText);
    else
        prompts_.information(text);
}

void Exchange::end(TransferOutcome outcome, const QString& errorText)
{
    SendTimer.stop();
    RetrvTimer.stop();
    kind_ = TransferKind::None;
    outcome_ = outcome;
    if (!errorText.isEmpty())
        prompts_.error(errorText);
    if (progress)
        progress(QString());
    emit finished(outcome);
}

}  // namespace dnp
