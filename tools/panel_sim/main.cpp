// dnp-panel-sim: a regulator control panel on a pseudo-terminal. Prints the device
// to open on its first line, then answers the write and read frames of the
// configuration exchange until it is stopped (SIGINT, SIGTERM, SIGHUP) or
// --exit-after is reached.

#include "Panel.h"
#include "comm/ImageText.h"
#include "files/FileAccess.h"
#include "files/SafeWrite.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <optional>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// A frame left unfinished this long is dropped, so that the next one is seen.
constexpr milliseconds kPartialFrameGap{100};
// At exit, how long the last reply may wait for the master to take it.
constexpr milliseconds kDrainLimit{2000};
constexpr int kBitsPerByte = 10;
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
// Flood bytes queued at most at a time, so that a line nobody reads does not grow memory.
constexpr std::size_t kFloodQueue = 64;

volatile sig_atomic_t gStop = 0;
void onStopSignal(int) { gStop = 1; }

struct Options {
    std::optional<int> address;
    QString imageIn;
    QString imageOut;
    QString link;
    dnp::sim::Faults faults;
    int delayMs = 0;
    int baud = 0;
    int exitAfter = 0;
    bool trace = false;
};

struct Chunk {
    Clock::time_point due;
    QByteArray bytes;
};

void fail(const QString& message) { std::fprintf(stderr, "dnp-panel-sim: %s\n", qPrintable(message)); }

void trace(const Options& options, const char* direction, QByteArrayView bytes, const QString& note = {})
{
    if (!options.trace)
        return;
    QByteArray line = direction;
    if (!bytes.isEmpty())
        line += ' ' + bytes.toByteArray().toHex(' ').toUpper();
    if (!note.isEmpty())
        line += "  " + note.toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
}

// A number option: every value must be an integer of at least `lowest`.
bool numbers(const QCommandLineParser& parser, const QString& name, int lowest, QList<int>& values)
{
    for (const QString& text : parser.values(name)) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < lowest) {
            fail(QStringLiteral("--%1: \"%2\" is not a number of at least %3").arg(name, text).arg(lowest));
            return false;
        }
        values.push_back(value);
    }
    return true;
}

// The last value given for a single-value option, or the default.
int lastOr(const QList<int>& values, int fallback)
{
    return values.isEmpty() ? fallback : values.last();
}

std::optional<Options> parseOptions(const QStringList& arguments, bool& helpShown)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A regulator control panel on a pseudo-terminal for DNP Configure. The first line\n"
        "printed is the device to open; frames are answered until the program is stopped.\n"
        "Fault options count the requests addressed to this panel from 1."));
    parser.addOptions({
        {QStringLiteral("address"), QStringLiteral("Frames carry an address byte; answer only address N (its low byte)."), QStringLiteral("N")},
        {QStringLiteral("image-in"), QStringLiteral("Start with this image (16 lines of 16 hex words)."), QStringLiteral("FILE")},
        {QStringLiteral("image-out"), QStringLiteral("Write the image here after each completed write of word 255 and at exit."), QStringLiteral("FILE")},
        {QStringLiteral("silent-at"), QStringLiteral("Ignore request N: no reply (may be repeated)."), QStringLiteral("N")},
        {QStringLiteral("bad-status-at"), QStringLiteral("Answer request N with status 0x10; a write is not stored (may be repeated)."), QStringLiteral("N")},
        {QStringLiteral("short-reply-at"), QStringLiteral("Leave the last 2 bytes off the reply to request N (may be repeated)."), QStringLiteral("N")},
        {QStringLiteral("extra-bytes"), QStringLiteral("Append N bytes 0xAA to every reply."), QStringLiteral("N")},
        {QStringLiteral("bad-checksum-at"), QStringLiteral("Answer request N with a checksum byte one off (may be repeated)."), QStringLiteral("N")},
        {QStringLiteral("bad-length-at"), QStringLiteral("Answer request N with a length byte one off; its checksum still adds up (may be repeated)."), QStringLiteral("N")},
        {QStringLiteral("stray-bytes"), QStringLiteral("Send N stray bytes 0x00 after the reply to the --stray-after request (default 5)."), QStringLiteral("N")},
        {QStringLiteral("stray-after"), QStringLiteral("The request after whose reply the stray bytes follow."), QStringLiteral("K")},
        {QStringLiteral("stray-delay-ms"), QStringLiteral("Send the stray bytes MS milliseconds after that reply has left (default 50)."), QStringLiteral("MS")},
        {QStringLiteral("flood-after"), QStringLiteral("After the reply to request K, send bytes 0x00 without end (and no further reply)."), QStringLiteral("K")},
        {QStringLiteral("delay-ms"), QStringLiteral("Wait MS milliseconds before each reply."), QStringLiteral("MS")},
        {QStringLiteral("baud"), QStringLiteral("Take the wire time of every request and reply byte at B baud, 10 bits a byte."), QStringLiteral("B")},
        {QStringLiteral("exit-after"), QStringLiteral("Exit once the reply to request N is sent."), QStringLiteral("N")},
        {QStringLiteral("link"), QStringLiteral("Also make PATH a symbolic link to the device."), QStringLiteral("PATH")},
        {QStringLiteral("trace"), QStringLiteral("Print every frame on stderr.")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
    });
    if (!parser.parse(arguments)) {
        fail(parser.errorText());
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        helpShown = true;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
        return std::nullopt;
    }

    Options options;
    QList<int> address, silent, badStatus, shortReply, extra, delay, baud, exitAfter, badChecksum, badLength, stray,
        strayAfter, strayDelay, floodAfter;
    if (!numbers(parser, QStringLiteral("address"), std::numeric_limits<int>::min(), address) ||
        !numbers(parser, QStringLiteral("silent-at"), 1, silent) ||
        !numbers(parser, QStringLiteral("bad-status-at"), 1, badStatus) ||
        !numbers(parser, QStringLiteral("short-reply-at"), 1, shortReply) ||
        !numbers(parser, QStringLiteral("extra-bytes"), 0, extra) ||
        !numbers(parser, QStringLiteral("delay-ms"), 0, delay) || !numbers(parser, QStringLiteral("baud"), 1, baud) ||
        !numbers(parser, QStringLiteral("exit-after"), 1, exitAfter) ||
        !numbers(parser, QStringLiteral("bad-checksum-at"), 1, badChecksum) ||
        !numbers(parser, QStringLiteral("bad-length-at"), 1, badLength) ||
        !numbers(parser, QStringLiteral("stray-bytes"), 0, stray) ||
        !numbers(parser, QStringLiteral("stray-after"), 1, strayAfter) ||
        !numbers(parser, QStringLiteral("stray-delay-ms"), 0, strayDelay) ||
        !numbers(parser, QStringLiteral("flood-after"), 1, floodAfter))
        return std::nullopt;
    if (!address.isEmpty())
        options.address = address.last();
    options.faults.silentAt = QSet<int>(silent.begin(), silent.end());
    options.faults.badStatusAt = QSet<int>(badStatus.begin(), badStatus.end());
    options.faults.shortReplyAt = QSet<int>(shortReply.begin(), shortReply.end());
    options.faults.extraBytes = lastOr(extra, 0);
    options.faults.badChecksumAt = QSet<int>(badChecksum.begin(), badChecksum.end());
    options.faults.badLengthAt = QSet<int>(badLength.begin(), badLength.end());
    options.faults.strayAfter = lastOr(strayAfter, 0);
    options.faults.strayBytes = lastOr(stray, options.faults.strayAfter > 0 ? 5 : 0);
    options.faults.strayDelayMs = lastOr(strayDelay, 50);
    options.faults.floodAfter = lastOr(floodAfter, 0);
    options.delayMs = lastOr(delay, 0);
    options.baud = lastOr(baud, 0);
    options.exitAfter = lastOr(exitAfter, 0);
    options.imageIn = parser.value(QStringLiteral("image-in"));
    options.imageOut = parser.value(QStringLiteral("image-out"));
    options.link = parser.value(QStringLiteral("link"));
    options.trace = parser.isSet(QStringLiteral("trace"));
    return options;
}

bool writeImage(const Options& options, const dnp::ConfigImage& image)
{
    if (options.imageOut.isEmpty())
        return true;
    if (const auto written = dnp::writeFileSafely(options.imageOut, dnp::formatImageText(image).toLatin1()); !written) {
        fail(written.error().message);
        return false;
    }
    return true;
}

// The wire time of `bytes` bytes at the --baud rate; none without it.
microseconds wireTime(const Options& options, qsizetype bytes)
{
    if (options.baud <= 0)
        return microseconds{0};
    return microseconds{bytes * kBitsPerByte * 1'000'000LL / options.baud};
}

// The pseudo-terminal: the master end is the panel's line; the slave end is the
// device the program opens. The panel keeps a slave descriptor of its own, so that the
// terminal lives on while the program closes and opens it again.
struct Terminal {
    int master = -1;
    int slave = -1;
    QByteArray device;
    int watch = -1;  // opens and closes of the device, -1 when they cannot be watched
};

std::optional<Terminal> openTerminal()
{
    Terminal t;
    t.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (t.master < 0 || ::grantpt(t.master) != 0 || ::unlockpt(t.master) != 0) {
        fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    const char* name = ::ptsname(t.master);
    if (!name) {
        fail(QStringLiteral("no device name for the pseudo-terminal"));
        return std::nullopt;
    }
    t.device = name;
    t.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (t.slave < 0 || ::tcgetattr(t.slave, &raw) != 0) {
        fail(QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(t.slave, TCSANOW, &raw);
    ::fcntl(t.master, F_SETFL, ::fcntl(t.master, F_GETFL) | O_NONBLOCK);
    t.watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (t.watch >= 0 && ::inotify_add_watch(t.watch, name, IN_OPEN | IN_CLOSE) < 0) {
        ::close(t.watch);
        t.watch = -1;
    }
    return t;
}

class Simulator {
public:
    Simulator(Options options, Terminal terminal)
        : options_(std::move(options)), terminal_(std::move(terminal)),
          panel_(options_.address, options_.faults)
    {
    }

    bool loadImage()
    {
        if (options_.imageIn.isEmpty())
            return true;
        const auto text = dnp::readInputFile(options_.imageIn, dnp::kMaxImageTextBytes, QStringLiteral("an image text"));
        if (!text) {
            fail(text.error().message);
            return false;
        }
        const auto image = dnp::parseImageText(*text);
        if (!image) {
            fail(QStringLiteral("%1: %2").arg(options_.imageIn, image.error().message));
            return false;
        }
        panel_.image = *image;
        return true;
    }

    int run(const sigset_t& waitMask)
    {
        while (!gStop) {
            sendDue();
            if (exiting_ && output_.empty())
                break;
            pollfd fds[2] = {
                {terminal_.master, static_cast<short>((exiting_ ? 0 : POLLIN) | (writeBlocked_ ? POLLOUT : 0)), 0},
                {terminal_.watch, POLLIN, 0},
            };
            pollfd& fd = fds[0];
            const auto timeout = nextTimeout();
            timespec ts{};
            if (timeout) {
                ts.tv_sec = static_cast<time_t>(timeout->count() / 1'000'000);
                ts.tv_nsec = static_cast<long>(timeout->count() % 1'000'000 * 1000);
            }
            const int ready = ::ppoll(fds, terminal_.watch >= 0 ? 2 : 1, timeout ? &ts : nullptr, &waitMask);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                fail(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                return kExitFailure;
            }
            if (fd.revents & POLLOUT)
                writeBlocked_ = false;
            if (fd.revents & POLLIN)
                receive();
            if (fds[1].revents & POLLIN)
                followClients();
            dropStalePartial();
        }
        if (exiting_)
            waitForMasterToRead();
        return writeImage(options_, panel_.image) ? 0 : kExitFailure;
    }

private:
    void receive()
    {
        char buffer[4096];
        const ssize_t n = ::read(terminal_.master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        const auto now = Clock::now();
        lastInput_ = now;
        const QByteArrayView bytes(buffer, n);
        for (const auto& answer : panel_.receive(bytes))
            schedule(answer, now);
        for (const auto& dropped : panel_.takeDropped())
            trace(options_, "xx", {}, QStringLiteral("%1 bytes dropped: %2").arg(dropped.bytes).arg(dropped.reason));
    }

    void schedule(const dnp::sim::Answer& answer, Clock::time_point received)
    {
        trace(options_, "<-", answer.frame, QStringLiteral("request %1: %2 offset %3 count %4")
                                      .arg(answer.request)
                                      .arg(answer.command == dnp::frames::Command::Write ? "write" : "read")
                                      .arg(answer.offset)
                                      .arg(answer.count));
        if (answer.imageComplete)
            writeImage(options_, panel_.image);
        if (options_.exitAfter > 0 && answer.request >= options_.exitAfter)
            exiting_ = true;
        if (answer.reply.isEmpty() || floodAt_) {  // a flooded line carries nothing else
            trace(options_, "->", {}, QStringLiteral("(no reply)"));
            return;
        }
        // The request took its wire time to arrive; the reply starts after it and the
        // reply delay, and never before the previous reply has left.
        auto start = std::max(received + wireTime(options_, answer.frame.size()), lineFreeAt_) +
                     milliseconds(options_.delayMs);
        if (options_.baud > 0) {
            for (qsizetype k = 0; k < answer.reply.size(); ++k)
                output_.push_back({start + wireTime(options_, k + 1), answer.reply.sliced(k, 1)});
            lineFreeAt_ = start + wireTime(options_, answer.reply.size());
        } else {
            output_.push_back({start, answer.reply});
            lineFreeAt_ = start;
        }
        trace(options_, "->", answer.reply);
        const dnp::sim::Faults& faults = options_.faults;
        if (answer.request == faults.strayAfter && faults.strayBytes > 0) {
            const auto at = lineFreeAt_ + milliseconds(faults.strayDelayMs);
            for (int k = 0; k < faults.strayBytes; ++k)
                output_.push_back({at + wireTime(options_, k + 1), QByteArray(1, '\0')});
            trace(options_, "->", {}, QStringLiteral("%1 stray bytes 00 due in %2 ms").arg(faults.strayBytes).arg(faults.strayDelayMs));
        }
        if (answer.request == faults.floodAfter) {
            floodAt_ = lineFreeAt_;
            trace(options_, "->", {}, QStringLiteral("bytes 00 without end from now on"));
        }
    }

    // A flooding line: one byte 0x00 every character time (every millisecond without --baud).
    void flood()
    {
        const auto now = Clock::now();
        const microseconds step = std::max(wireTime(options_, 1), microseconds{1000});
        while (floodAt_ && *floodAt_ <= now && output_.size() < kFloodQueue) {
            output_.push_back({*floodAt_, QByteArray(1, '\0')});
            *floodAt_ += step;
        }
    }

    void sendDue()
    {
        flood();
        const auto now = Clock::now();
        while (!writeBlocked_ && !output_.empty() && output_.front().due <= now) {
            QByteArray& bytes = output_.front().bytes;
            const ssize_t n = ::write(terminal_.master, bytes.constData(), static_cast<size_t>(bytes.size()));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    writeBlocked_ = true;
                else
                    output_.pop_front();  // nobody to take it
                return;
            }
            bytes.remove(0, n);
            if (bytes.isEmpty())
                output_.pop_front();
        }
    }

    std::optional<microseconds> nextTimeout() const
    {
        std::optional<Clock::time_point> wake;
        if (!output_.empty() && !writeBlocked_)
            wake = output_.front().due;
        if (floodAt_ && !writeBlocked_)
            wake = wake ? std::min(*wake, *floodAt_) : *floodAt_;
        if (panel_.hasPartial()) {
            const auto gapEnd = lastInput_ + kPartialFrameGap;
            wake = wake ? std::min(*wake, gapEnd) : gapEnd;
        }
        if (!wake)
            return std::nullopt;
        return std::max(microseconds{0}, std::chrono::duration_cast<microseconds>(*wake - Clock::now()) + microseconds{1});
    }

    void dropStalePartial()
    {
        if (panel_.hasPartial() && Clock::now() - lastInput_ >= kPartialFrameGap) {
            panel_.dropPartial();
            trace(options_, "xx", {}, QStringLiteral("unfinished frame dropped"));
        }
    }

    // A program that opens the device puts the terminal in exclusive mode and leaves
    // it on closing; one that is killed does not, and the terminal, kept alive by this
    // panel's own descriptor, would refuse every later open by a normal user. Once no
    // program has the device open, exclusive mode is left.
    void followClients()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(terminal_.watch, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN)
                    ++clients_;
                if ((event->mask & IN_CLOSE) && clients_ > 0)
                    --clients_;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        int exclusive = 0;
        if (clients_ == 0 && ::ioctl(terminal_.slave, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            ::ioctl(terminal_.slave, TIOCNXCL);
            trace(options_, "xx", {}, QStringLiteral("exclusive mode left by a closed program cleared"));
        }
    }

    // The last reply is in the terminal; give the master a moment to read it before
    // the terminal goes away with this process.
    void waitForMasterToRead()
    {
        const auto end = Clock::now() + kDrainLimit;
        while (!gStop && Clock::now() < end) {
            int waiting = 0;
            if (::ioctl(terminal_.slave, FIONREAD, &waiting) != 0 || waiting == 0)
                return;
            ::usleep(5000);
        }
    }

    Options options_;
    Terminal terminal_;
    dnp::sim::Panel panel_;
    std::deque<Chunk> output_;
    Clock::time_point lineFreeAt_{};
    std::optional<Clock::time_point> floodAt_;
    Clock::time_point lastInput_{};
    bool writeBlocked_ = false;
    bool exiting_ = false;
    int clients_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool helpShown = false;
    const auto options = parseOptions(app.arguments(), helpShown);
    if (!options)
        return helpShown ? 0 : kExitUsage;

    auto terminal = openTerminal();
    if (!terminal)
        return kExitFailure;
    Simulator simulator(*options, *terminal);
    if (!simulator.loadImage())
        return kExitUsage;

    if (!options->link.isEmpty()) {
        const QByteArray link = QFile::encodeName(options->link);
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(link.constData());
        if (::symlink(terminal->device.constData(), link.constData()) != 0) {
            fail(QStringLiteral("cannot make the link %1: %2").arg(options->link, QString::fromLocal8Bit(std::strerror(errno))));
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

    std::printf("%s\n", terminal->device.constData());
    std::fflush(stdout);

    const int status = simulator.run(waitMask);
    if (!options->link.isEmpty())
        ::unlink(QFile::encodeName(options->link).constData());
    return status;
}
