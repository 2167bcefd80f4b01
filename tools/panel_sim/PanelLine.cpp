#include "PanelLine.h"

#include "comm/ImageText.h"
#include "files/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace dnp::sim {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// A frame left unfinished this long is dropped, so that the next one is seen.
constexpr milliseconds kPartialFrameGap{100};
constexpr int kBitsPerByte = 10;
// Flood bytes queued at most at a time, so that a line nobody reads does not grow memory.
constexpr std::size_t kFloodQueue = 64;
// A program that leaves this much of the panel's output unread (it sends requests and
// never reads the replies) is dropped, so that no program can make the panel hold more.
constexpr qsizetype kMostQueuedBytes = 64 * 1024;
// A flood on a line without a known speed: one byte a millisecond.
constexpr microseconds kUnpacedFloodStep{1000};
// The most read from the line at a time.
constexpr std::size_t kReadSize = 4096;

// The wire time of `bytes` bytes at `baud`; none on a line without pacing (baud 0).
microseconds wireTime(qsizetype bytes, int baud)
{
    if (baud <= 0)
        return microseconds{0};
    return microseconds{bytes * kBitsPerByte * 1'000'000LL / baud};
}

}  // namespace

void fail(const QString& message) { std::fprintf(stderr, "dnp-panel-sim: %s\n", qPrintable(message)); }

// Byte `index` leaves once it has crossed the line after the bytes before it.
Clock::time_point PanelLine::Chunk::due(qsizetype index) const { return start + wireTime(index + 1, baud); }

qsizetype PanelLine::Chunk::dueBy(Clock::time_point now) const
{
    qsizetype count = 0;
    while (sent + count < bytes.size() && due(sent + count) <= now)
        ++count;
    return count;
}

PanelLine::PanelLine(const Options& options, int panel, std::unique_ptr<Device> device, const ConfigImage& image)
    : options_(options),
      panel_(panel),
      faults_(faultsOf(options, panel)),
      device_(std::move(device)),
      line_(options.addresses, faults_)
{
    for (Station& station : line_.stations())
        station.panel.image = image;
}

void PanelLine::trace(const char* direction, QByteArrayView bytes, const QString& note) const
{
    if (!options_.trace)
        return;
    QByteArray text = direction;
    if (options_.panels > 1)
        text += " panel " + QByteArray::number(panel_);
    if (!bytes.isEmpty())
        text += ' ' + bytes.toByteArray().toHex(' ').toUpper();
    if (!note.isEmpty())
        text += "  " + note.toUtf8();
    std::fprintf(stderr, "%s\n", text.constData());
}

bool PanelLine::writeImage(std::size_t station) const
{
    const QString file = imageOutFile(options_, panel_, station);
    if (file.isEmpty())
        return true;
    const auto& image = line_.stations()[station].panel.image;
    const auto written = writeFileSafely(file, formatImageText(image).toLatin1());
    if (!written)
        fail(written.error().message);
    return written.ok();
}

bool PanelLine::writeImages() const
{
    bool all = true;
    for (std::size_t s = 0; s < line_.stations().size(); ++s)
        all = writeImage(s) && all;
    return all;
}

std::array<PanelLine::Interest, 2> PanelLine::interests() const
{
    const int line = device_->line();
    return {Interest{line, static_cast<short>(line < 0 ? 0 : (stopped_ ? 0 : POLLIN) | (writeBlocked_ ? POLLOUT : 0)),
                     serial_},
            Interest{device_->watch(), POLLIN, serial_}};
}

void PanelLine::lineReady(short events, Clock::time_point now)
{
    if (events & POLLOUT)
        writeBlocked_ = false;
    if (device_->line() >= 0 && (events & (POLLIN | POLLHUP | POLLERR)))
        receive(now);
    if (queuedBytes_ > kMostQueuedBytes)
        dropUnreadOutput();
}

void PanelLine::watchReady()
{
    ++serial_;
    for (const QString& note : device_->followEvents())
        trace("xx", {}, note);
    if (floodAt_)
        floodAt_ = std::max(*floodAt_, Clock::now());  // a flooding panel floods the new connection
}

// The line's speed for pacing: --baud, else the speed the program set; 0 with
// --no-pacing or when neither gives one (no pacing).
int PanelLine::lineBaud()
{
    const int baud = options_.noPacing ? 0 : options_.baud ? *options_.baud : device_->programBaud().value_or(0);
    if (baud != baud_)
        trace("xx", {}, baud > 0 ? QStringLiteral("line speed %1 baud").arg(baud)
                                 : QStringLiteral("line speed unknown: no pacing"));
    baud_ = baud;
    return baud;
}

void PanelLine::receive(Clock::time_point now)
{
    char buffer[kReadSize];
    const ssize_t n = ::read(device_->line(), buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        if (device_->lineEnded())
            connectionEnded();
        return;
    }
    lastInput_ = now;
    const int baud = lineBaud();
    // Each byte crosses the line in turn, after those before it; a request is
    // complete, and echoed in full, once its last byte has crossed.
    auto crossed = std::max(now, inboundFreeAt_);
    if (options_.echo)
        enqueue({crossed, baud, QByteArray(buffer, n)});
    for (ssize_t i = 0; i < n; ++i) {
        crossed += wireTime(1, baud);
        for (const Heard& heard : line_.receive(QByteArrayView(buffer + i, 1)))
            schedule(heard, crossed, baud);
    }
    inboundFreeAt_ = crossed;
    for (const auto& dropped : line_.takeDropped())
        trace("xx", {}, QStringLiteral("%1 bytes dropped: %2").arg(dropped.bytes).arg(dropped.reason));
}

// The output is kept in the order its bytes are due.
void PanelLine::enqueue(Chunk chunk)
{
    queuedBytes_ += chunk.bytes.size();
    const auto at = std::upper_bound(output_.begin(), output_.end(), chunk.due(0),
                                     [](Clock::time_point t, const Chunk& c) { return t < c.due(c.sent); });
    output_.insert(at, std::move(chunk));
}

void PanelLine::schedule(const Heard& heard, Clock::time_point crossed, int baud)
{
    const Answer& answer = heard.answer;
    if (options_.trace) {
        const Station& station = line_.stations()[heard.station];
        const QString who =
            line_.stations().size() > 1 ? QStringLiteral("address %1 ").arg(*station.address) : QString();
        trace("<-", answer.frame, QStringLiteral("%1request %2: %3 offset %4 count %5")
                                      .arg(who)
                                      .arg(answer.request)
                                      .arg(answer.command == frames::Command::Write ? "write" : "read")
                                      .arg(answer.offset)
                                      .arg(answer.count));
    }
    if (answer.imageComplete)
        (void)writeImage(heard.station);  // told on stderr; the panel goes on
    if (options_.exitAfter > 0 && answer.request >= options_.exitAfter)
        exitAsked_ = true;
    if (answer.reply.isEmpty() || floodAt_) {  // a flooded line carries nothing else
        trace("->", {}, QStringLiteral("(no reply)"));
        return;
    }
    // Bytes from `start` at line speed (or whole once the last one has crossed); the
    // time the last one has left.
    const auto send = [this, baud](const QByteArray& bytes, Clock::time_point start) {
        const auto left = start + wireTime(bytes.size(), baud);
        enqueue(options_.wholeReplies ? Chunk{left, 0, bytes} : Chunk{start, baud, bytes});
        return left;
    };
    // The reply starts once the request has crossed and the reply delay has passed,
    // and never before the previous reply has left.
    lineFreeAt_ = send(answer.reply, std::max(crossed, lineFreeAt_) + milliseconds(options_.delayMs));
    trace("->", answer.reply);
    if (answer.repeat) {
        lineFreeAt_ = send(answer.reply, lineFreeAt_ + milliseconds(faults_.repeatDelayMs));
        trace("->", {}, QStringLiteral("the reply again %1 ms after it has left").arg(faults_.repeatDelayMs));
    }
    // Stray bytes come from the panel's side: the next reply follows them.
    if (answer.request == faults_.strayAfter && faults_.strayBytes > 0) {
        lineFreeAt_ = send(QByteArray(faults_.strayBytes, '\0'), lineFreeAt_ + milliseconds(faults_.strayDelayMs));
        trace("->", {},
              QStringLiteral("%1 stray bytes 00 due in %2 ms").arg(faults_.strayBytes).arg(faults_.strayDelayMs));
    }
    if (answer.request == faults_.floodAfter) {
        floodAt_ = lineFreeAt_;
        trace("->", {}, QStringLiteral("bytes 00 without end from now on"));
    }
}

// A flooding line: one byte 0x00 every character time.
void PanelLine::flood(Clock::time_point now)
{
    if (device_->line() < 0)
        return;
    const microseconds step = baud_ > 0 ? wireTime(1, baud_) : kUnpacedFloodStep;
    while (floodAt_ && *floodAt_ <= now && output_.size() < kFloodQueue) {
        enqueue({*floodAt_, 0, QByteArray(1, '\0')});
        *floodAt_ += step;
    }
}

void PanelLine::serve(Clock::time_point now)
{
    flood(now);
    if (!writeBlocked_ && !output_.empty()) {
        // Every byte due now goes in one write: the bytes of a chunk in turn, and the
        // next chunk once one has left whole.
        QByteArray due;
        for (const Chunk& chunk : output_) {
            const qsizetype count = chunk.dueBy(now);
            due.append(chunk.bytes.constData() + chunk.sent, count);
            if (chunk.sent + count < chunk.bytes.size())
                break;
        }
        if (!due.isEmpty()) {
            const ssize_t n = ::write(device_->line(), due.constData(), static_cast<size_t>(due.size()));
            if (n >= 0)
                forgetSent(n);
            else if (errno == EAGAIN || errno == EINTR)
                writeBlocked_ = true;
            else
                forgetSent(due.size());  // nobody to take them
        }
    }
    if (line_.hasPartial() && now - lastInput_ >= kPartialFrameGap) {
        line_.dropPartial();
        trace("xx", {}, QStringLiteral("unfinished frame dropped"));
    }
}

void PanelLine::forgetSent(qsizetype bytes)
{
    queuedBytes_ -= bytes;
    while (bytes > 0) {
        Chunk& front = output_.front();
        const qsizetype taken = std::min(bytes, front.bytes.size() - front.sent);
        front.sent += taken;
        bytes -= taken;
        if (front.sent == front.bytes.size())
            output_.pop_front();
    }
}

std::optional<Clock::time_point> PanelLine::nextWake() const
{
    std::optional<Clock::time_point> wake;
    const auto earliest = [&wake](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
    if (!output_.empty() && !writeBlocked_)
        earliest(output_.front().due(output_.front().sent));
    if (floodAt_ && !writeBlocked_ && device_->line() >= 0)
        earliest(*floodAt_);
    if (line_.hasPartial())
        earliest(lastInput_ + kPartialFrameGap);
    return wake;
}

void PanelLine::stop()
{
    stopped_ = true;
    floodAt_.reset();
}

// A connection that closes takes its half-received frame, its output and the line's
// timing with it: the next program finds a quiet line, whatever this one sent.
void PanelLine::connectionEnded()
{
    ++serial_;
    if (line_.hasPartial())
        trace("xx", {}, QStringLiteral("unfinished frame dropped with the connection"));
    line_.dropPartial();
    output_.clear();
    queuedBytes_ = 0;
    writeBlocked_ = false;
    inboundFreeAt_ = {};
    lineFreeAt_ = {};
    trace("xx", {}, QStringLiteral("connection closed"));
}

// A program that does not take its replies: its connection is closed; on a
// pseudo-terminal, which stays, the output waiting for it is dropped.
void PanelLine::dropUnreadOutput()
{
    trace("xx", {}, QStringLiteral("%1 bytes wait for a program that does not read them").arg(queuedBytes_));
    if (device_->lineEnded()) {
        connectionEnded();
        return;
    }
    output_.clear();
    queuedBytes_ = 0;
}

}  // namespace dnp::sim
