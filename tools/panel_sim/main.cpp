// dnp-panel-sim: a regulator control panel on a pseudo-terminal or a TCP port. Prints
// the device to open on its first line, then answers the write and read frames of the
// configuration exchange until it is stopped (SIGINT, SIGTERM, SIGHUP) or
// --exit-after is reached.
//
// The line keeps a real panel's timing: a request takes its wire time to cross the
// line (10 bits a byte at the line's speed), the reply starts only once it has
// crossed, and its bytes leave one character time apart. Each TCP connection starts on
// a quiet line, and no program can make the panel hold more than a bounded amount:
// input is read frame by frame, and a program that leaves its replies unread is dropped.

#include "Device.h"
#include "Line.h"
#include "Options.h"
#include "comm/ImageText.h"
#include "files/FileAccess.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace dnp::sim;
using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// A frame left unfinished this long is dropped, so that the next one is seen.
constexpr milliseconds kPartialFrameGap{100};
// At exit, how long the last reply may wait for the program to take it.
constexpr milliseconds kDrainLimit{2000};
constexpr int kBitsPerByte = 10;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
// Flood bytes queued at most at a time, so that a line nobody reads does not grow memory.
constexpr std::size_t kFloodQueue = 64;
// A program that leaves this much of the panel's output unread (it sends requests and
// never reads the replies) is dropped, so that no program can make the panel hold more.
constexpr qsizetype kMostQueuedBytes = 64 * 1024;
// A flood on a line without a known speed: one byte a millisecond.
constexpr microseconds kUnpacedFloodStep{1000};

volatile sig_atomic_t gStop = 0;
void onStopSignal(int) { gStop = 1; }

void fail(const QString& message) { std::fprintf(stderr, "dnp-panel-sim: %s\n", qPrintable(message)); }

// The wire time of `bytes` bytes at `baud`; none on a line without pacing (baud 0).
microseconds wireTime(qsizetype bytes, int baud)
{
    if (baud <= 0)
        return microseconds{0};
    return microseconds{bytes * kBitsPerByte * 1'000'000LL / baud};
}

struct Chunk {
    Clock::time_point due;
    QByteArray bytes;
};

class Simulator {
public:
    Simulator(Options options, std::unique_ptr<Device> device)
        : options_(std::move(options)), device_(std::move(device)), line_(options_.addresses, options_.faults)
    {
    }

    void setImage(const dnp::ConfigImage& image)
    {
        for (Station& station : line_.stations())
            station.panel.image = image;
    }

    int run(const sigset_t& waitMask)
    {
        while (!gStop) {
            sendDue();
            if (exiting_ && output_.empty())
                break;
            const bool connected = device_->line() >= 0;
            pollfd fds[2] = {
                {device_->line(), static_cast<short>((exiting_ ? 0 : POLLIN) | (writeBlocked_ ? POLLOUT : 0)), 0},
                {device_->watch(), POLLIN, 0},
            };
            const auto timeout = nextTimeout();
            timespec ts{};
            if (timeout) {
                ts.tv_sec = static_cast<time_t>(timeout->count() / 1'000'000);
                ts.tv_nsec = static_cast<long>(timeout->count() % 1'000'000 * 1000);
            }
            const int ready = ::ppoll(fds, 2, timeout ? &ts : nullptr, &waitMask);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("poll: %1").arg(dnp::systemReason(errno)));
                return kExitFailure;
            }
            if (fds[0].revents & POLLOUT)
                writeBlocked_ = false;
            if (connected && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
                receive();
            if (queuedBytes_ > kMostQueuedBytes)
                dropUnreadOutput();
            if (fds[1].revents & POLLIN)
                followEvents();
            dropStalePartial();
        }
        if (exiting_)
            device_->drain(kDrainLimit);
        int status = 0;
        for (std::size_t s = 0; s < line_.stations().size(); ++s) {
            if (!writeImage(s))
                status = kExitFailure;
        }
        return status;
    }

private:
    void trace(const char* direction, QByteArrayView bytes, const QString& note = {}) const
    {
        if (!options_.trace)
            return;
        QByteArray text = direction;
        if (!bytes.isEmpty())
            text += ' ' + bytes.toByteArray().toHex(' ').toUpper();
        if (!note.isEmpty())
            text += "  " + note.toUtf8();
        std::fprintf(stderr, "%s\n", text.constData());
    }

    // Writes the image of a station to its --image-out file, if there is one; a
    // failure is told on stderr.
    dnp::Result<void> writeImage(std::size_t station) const
    {
        const QString file = imageOutFile(options_, station);
        if (file.isEmpty())
            return {};
        const auto& image = line_.stations()[station].panel.image;
        auto written = dnp::writeFileSafely(file, dnp::formatImageText(image).toLatin1());
        if (!written)
            fail(written.error().message);
        return written;
    }

    // The line's speed for pacing: --baud, else the speed the program set; 0 with
    // --no-pacing or when neither gives one (no pacing).
    int lineBaud()
    {
        const int baud = options_.noPacing ? 0 : options_.baud ? *options_.baud : device_->programBaud().value_or(0);
        if (baud != baud_)
            trace("xx", {}, baud > 0 ? QStringLiteral("line speed %1 baud").arg(baud)
                                     : QStringLiteral("line speed unknown: no pacing"));
        baud_ = baud;
        return baud;
    }

    void receive()
    {
        char buffer[4096];
        const ssize_t n = ::read(device_->line(), buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            if (device_->lineEnded())
                connectionEnded();
            return;
        }
        const auto now = Clock::now();
        lastInput_ = now;
        const int baud = lineBaud();
        // Each byte crosses the line in turn, after those before it; a request is
        // complete, and echoed in full, once its last byte has crossed.
        auto crossed = std::max(now, inboundFreeAt_);
        for (ssize_t i = 0; i < n; ++i) {
            const QByteArrayView byte(buffer + i, 1);
            crossed += wireTime(1, baud);
            if (options_.echo)
                enqueue(crossed, byte.toByteArray());
            for (const Heard& heard : line_.receive(byte))
                schedule(heard, crossed, baud);
        }
        inboundFreeAt_ = crossed;
        for (const auto& dropped : line_.takeDropped())
            trace("xx", {}, QStringLiteral("%1 bytes dropped: %2").arg(dropped.bytes).arg(dropped.reason));
    }

    // The output is kept in the order its bytes are due.
    void enqueue(Clock::time_point due, QByteArray bytes)
    {
        queuedBytes_ += bytes.size();
        const auto at = std::upper_bound(output_.begin(), output_.end(), due,
                                         [](Clock::time_point t, const Chunk& chunk) { return t < chunk.due; });
        output_.insert(at, Chunk{due, std::move(bytes)});
    }

    // Sends `bytes` from `start` at line speed, one character time apart (all at once
    // without pacing); gives the time the last one has left.
    Clock::time_point sendAtLineSpeed(const QByteArray& bytes, Clock::time_point start, int baud)
    {
        if (baud <= 0) {
            enqueue(start, bytes);
            return start;
        }
        for (qsizetype k = 0; k < bytes.size(); ++k)
            enqueue(start + wireTime(k + 1, baud), bytes.sliced(k, 1));
        return start + wireTime(bytes.size(), baud);
    }

    void schedule(const Heard& heard, Clock::time_point crossed, int baud)
    {
        const Answer& answer = heard.answer;
        const Station& station = line_.stations()[heard.station];
        const QString who = line_.stations().size() > 1 ? QStringLiteral("address %1 ").arg(*station.address)
                                                        : QString();
        trace("<-", answer.frame, QStringLiteral("%1request %2: %3 offset %4 count %5")
                                      .arg(who)
                                      .arg(answer.request)
                                      .arg(answer.command == dnp::frames::Command::Write ? "write" : "read")
                                      .arg(answer.offset)
                                      .arg(answer.count));
        if (answer.imageComplete)
            (void)writeImage(heard.station);  // told on stderr; the panel goes on
        if (options_.exitAfter > 0 && answer.request >= options_.exitAfter)
            exiting_ = true;
        if (answer.reply.isEmpty() || floodAt_) {  // a flooded line carries nothing else
            trace("->", {}, QStringLiteral("(no reply)"));
            return;
        }
        // The reply starts once the request has crossed and the reply delay has
        // passed, and never before the previous reply has left.
        const auto start = std::max(crossed, lineFreeAt_) + milliseconds(options_.delayMs);
        lineFreeAt_ = sendAtLineSpeed(answer.reply, start, baud);
        trace("->", answer.reply);
        const Faults& faults = options_.faults;
        if (answer.repeat) {
            lineFreeAt_ = sendAtLineSpeed(answer.reply, lineFreeAt_ + milliseconds(faults.repeatDelayMs), baud);
            trace("->", {}, QStringLiteral("the reply again %1 ms after it has left").arg(faults.repeatDelayMs));
        }
        // Stray bytes come from the panel's side: the next reply follows them.
        if (answer.request == faults.strayAfter && faults.strayBytes > 0) {
            lineFreeAt_ = sendAtLineSpeed(QByteArray(faults.strayBytes, '\0'),
                                          lineFreeAt_ + milliseconds(faults.strayDelayMs), baud);
            trace("->", {},
                  QStringLiteral("%1 stray bytes 00 due in %2 ms").arg(faults.strayBytes).arg(faults.strayDelayMs));
        }
        if (answer.request == faults.floodAfter) {
            floodAt_ = lineFreeAt_;
            trace("->", {}, QStringLiteral("bytes 00 without end from now on"));
        }
    }

    // A flooding line: one byte 0x00 every character time.
    void flood()
    {
        if (device_->line() < 0)
            return;
        const auto now = Clock::now();
        const microseconds step = baud_ > 0 ? wireTime(1, baud_) : kUnpacedFloodStep;
        while (floodAt_ && *floodAt_ <= now && output_.size() < kFloodQueue) {
            enqueue(*floodAt_, QByteArray(1, '\0'));
            *floodAt_ += step;
        }
    }

    void sendDue()
    {
        flood();
        const auto now = Clock::now();
        while (!writeBlocked_ && !output_.empty() && output_.front().due <= now) {
            QByteArray& bytes = output_.front().bytes;
            const ssize_t n = ::write(device_->line(), bytes.constData(), static_cast<size_t>(bytes.size()));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    writeBlocked_ = true;
                } else {  // nobody to take it
                    queuedBytes_ -= bytes.size();
                    output_.pop_front();
                }
                return;
            }
            bytes.remove(0, n);
            queuedBytes_ -= n;
            if (bytes.isEmpty())
                output_.pop_front();
        }
    }

    std::optional<microseconds> nextTimeout() const
    {
        std::optional<Clock::time_point> wake;
        const auto earliest = [&wake](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
        if (!output_.empty() && !writeBlocked_)
            earliest(output_.front().due);
        if (floodAt_ && !writeBlocked_ && device_->line() >= 0)
            earliest(*floodAt_);
        if (line_.hasPartial())
            earliest(lastInput_ + kPartialFrameGap);
        if (!wake)
            return std::nullopt;
        return std::max(microseconds{0}, std::chrono::duration_cast<microseconds>(*wake - Clock::now()) + microseconds{1});
    }

    void dropStalePartial()
    {
        if (line_.hasPartial() && Clock::now() - lastInput_ >= kPartialFrameGap) {
            line_.dropPartial();
            trace("xx", {}, QStringLiteral("unfinished frame dropped"));
        }
    }

    void followEvents()
    {
        for (const QString& note : device_->followEvents())
            trace("xx", {}, note);
        if (floodAt_)
            floodAt_ = std::max(*floodAt_, Clock::now());  // a flooding panel floods the new connection
    }

    // A connection that closes takes its half-received frame, its output and the line's
    // timing with it: the next program finds a quiet line, whatever this one sent.
    void connectionEnded()
    {
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
    void dropUnreadOutput()
    {
        trace("xx", {}, QStringLiteral("%1 bytes wait for a program that does not read them").arg(queuedBytes_));
        if (device_->lineEnded()) {
            connectionEnded();
            return;
        }
        output_.clear();
        queuedBytes_ = 0;
    }

    Options options_;
    std::unique_ptr<Device> device_;
    Line line_;
    std::deque<Chunk> output_;
    qsizetype queuedBytes_ = 0;  // the bytes of output_
    Clock::time_point inboundFreeAt_{};  // the program's bytes have crossed the line
    Clock::time_point lineFreeAt_{};     // the panel's bytes have left
    std::optional<Clock::time_point> floodAt_;
    Clock::time_point lastInput_{};
    int baud_ = -1;  // the speed last paced at, for the trace
    bool writeBlocked_ = false;
    bool exiting_ = false;
};

dnp::Result<dnp::ConfigImage> readImage(const QString& file)
{
    const auto text = dnp::readInputFile(file, dnp::kMaxImageTextBytes, QStringLiteral("an image text"));
    if (!text)
        return text.error();
    auto image = dnp::parseImageText(*text);
    if (!image)
        return dnp::failure(QStringLiteral("%1: %2").arg(file, image.error().message));
    return image;
}

dnp::Result<void> makeLink(const QString& path, const QByteArray& device)
{
    const QByteArray link = dnp::encodeFileName(path);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(link.constData());
    if (::symlink(device.constData(), link.constData()) != 0)
        return dnp::failure(QStringLiteral("cannot make the link %1: %2")
                                .arg(path, dnp::systemReason(errno)));
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto parsed = parseOptions(app.arguments());
    if (!parsed) {
        fail(parsed.error().message);
        return kExitUsage;
    }
    if (const auto* help = std::get_if<HelpShown>(&*parsed)) {
        std::fputs(qPrintable(help->text), stdout);
        return 0;
    }
    const Options& options = std::get<Options>(*parsed);

    // Every panel on the line starts with the same image.
    dnp::ConfigImage image{};
    if (!options.imageIn.isEmpty()) {
        const auto read = readImage(options.imageIn);
        if (!read) {
            fail(read.error().message);
            return kExitUsage;
        }
        image = *read;
    }

    auto device = !options.tlsCert.isEmpty() ? listenTls(options)
                  : options.tcp                ? listenTcp(*options.tcp)
                                               : openTerminal();
    if (!device) {
        fail(device.error().message);
        return kExitFailure;
    }
    const QByteArray name = (*device)->name();
    Simulator simulator(options, std::move(device).value());
    simulator.setImage(image);

    if (!options.link.isEmpty()) {
        if (const auto linked = makeLink(options.link, name); !linked) {
            fail(linked.error().message);
            return kExitFailure;
        }
    }

    // The stop signals are only taken while waiting, so that a stop never cuts a step.
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&blocked, signal);
    ::sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigdelset(&waitMask, signal);

    std::printf("%s\n", name.constData());
    std::fflush(stdout);

    const int status = simulator.run(waitMask);
    if (!options.link.isEmpty())
        ::unlink(dnp::encodeFileName(options.link).constData());
    return status;
}
