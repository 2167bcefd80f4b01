// dnp-panel-sim: regulator control panels on pseudo-terminals or TCP ports. Prints the
// device of each panel on a line of its own, then answers the write and read frames of
// the configuration exchange until it is stopped (SIGINT, SIGTERM, SIGHUP) or
// --exit-after is reached; the replies under way still go out whole before it ends.
//
// One thread serves every panel (PanelLine): it waits on all their descriptors at once
// and wakes when the next byte of any of them is due.

#include "Device.h"
#include "Options.h"
#include "PanelLine.h"
#include "comm/ImageText.h"
#include "files/FileAccess.h"
#include "files/OpenFilesLimit.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <queue>
#include <thread>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace dnp::sim;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// Once stopped, how long the replies under way may take to go out and be taken.
constexpr milliseconds kDrainLimit{2000};
// How often the drain looks whether the programs have taken the last bytes.
constexpr milliseconds kDrainPoll{5};
constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;
// The descriptors the process holds besides its panels' (standard streams, the event
// loop's, the TLS thread's, a file being written).
constexpr int kSpareDescriptors = 64;
// Events taken from the kernel at a time; the rest come at the next turn.
constexpr int kEventsAtOnce = 256;
static_assert(EPOLLIN == POLLIN && EPOLLOUT == POLLOUT && EPOLLHUP == POLLHUP && EPOLLERR == POLLERR);

volatile sig_atomic_t gStop = 0;
void onStopSignal(int) { gStop = 1; }

using Lines = std::vector<std::unique_ptr<PanelLine>>;

// Serves the panels until a stop signal or --exit-after, then lets the replies under way
// go out and the programs take them. Each turn visits only the lines that are due or
// whose descriptors are ready, so that a turn costs what happens in it, not the number
// of panels.
class EventLoop {
public:
    explicit EventLoop(Lines& lines)
        : lines_(lines), watched_(lines.size()), due_(lines.size()), touched_(lines.size(), true)
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            touchedLines_.push_back(i);
    }
    ~EventLoop()
    {
        if (epoll_ >= 0)
            ::close(epoll_);
    }
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    dnp::Result<void> run(const sigset_t& waitMask)
    {
        epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
        if (epoll_ < 0)
            return dnp::failure(QStringLiteral("epoll: %1").arg(dnp::systemReason(errno)));
        std::optional<Clock::time_point> stopBy;  // stopping: what is queued goes until then
        for (;;) {
            const auto now = Clock::now();
            while (!queue_.empty() && queue_.top().first <= now) {
                const auto [when, i] = queue_.top();
                queue_.pop();
                if (due_[i] == when) {
                    due_[i].reset();
                    touch(i);
                }
            }
            if (!stopBy && (gStop || exitAsked_)) {
                stopBy = now + kDrainLimit;
                for (std::size_t i = 0; i < lines_.size(); ++i) {
                    lines_[i]->stop();
                    touch(i);
                }
            }
            for (const std::size_t i : touchedLines_) {
                lines_[i]->serve(now);
                exitAsked_ = exitAsked_ || lines_[i]->exitAsked();
            }
            if (stopBy && (now >= *stopBy || std::all_of(lines_.begin(), lines_.end(),
                                                         [](const auto& line) { return line->outputSent(); })))
                break;
            followTouchedLines();
            if (auto waited = wait(stopBy, waitMask); !waited)
                return waited;
        }
        drain(*stopBy);
        return {};
    }

private:
    void touch(std::size_t i)
    {
        if (!touched_[i]) {
            touched_[i] = true;
            touchedLines_.push_back(i);
        }
    }

    // Waits until a descriptor is ready or the next line is due, and hands on what is
    // ready. Stop signals are taken only here, so that a stop never cuts a step.
    dnp::Result<void> wait(std::optional<Clock::time_point> wake, const sigset_t& waitMask)
    {
        if (!queue_.empty())
            wake = wake ? std::min(*wake, queue_.top().first) : queue_.top().first;
        timespec ts{};
        if (wake) {
            const auto left = std::max(microseconds{0},
                                       std::chrono::duration_cast<microseconds>(*wake - Clock::now()) + microseconds{1});
            ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000);
            ts.tv_nsec = static_cast<long>(left.count() % 1'000'000 * 1000);
        }
        pollfd ready{epoll_, POLLIN, 0};
        const int n = ::ppoll(&ready, 1, wake ? &ts : nullptr, &waitMask);
        if (n < 0 && errno != EINTR)
            return dnp::failure(QStringLiteral("poll: %1").arg(dnp::systemReason(errno)));
        if (n <= 0)
            return {};
        epoll_event events[kEventsAtOnce];
        const int count = ::epoll_wait(epoll_, events, kEventsAtOnce, 0);
        const auto now = Clock::now();  // what is ready now had arrived by now
        for (int k = 0; k < count; ++k) {
            const std::size_t i = events[k].data.u64 / 2;
            if (events[k].data.u64 % 2 == 0)
                lines_[i]->lineReady(static_cast<short>(events[k].events), now);
            else
                lines_[i]->watchReady();
            touch(i);
        }
        return {};
    }

    // The lines visited this turn: the descriptors they name are the ones waited on, and
    // they are due again when they say. A descriptor that closed has left the kernel's
    // set and its number may already serve another line: every one that went is taken
    // out before any new one is put in.
    void followTouchedLines()
    {
        changed_.clear();
        for (const std::size_t i : touchedLines_) {
            const auto wanted = lines_[i]->interests();
            for (std::size_t slot = 0; slot < wanted.size(); ++slot) {
                PanelLine::Interest& had = watched_[i][slot];
                if (had == wanted[slot])
                    continue;
                if (had.fd >= 0)
                    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, had.fd, nullptr);  // gone already when it closed
                had = wanted[slot];
                changed_.push_back(2 * i + slot);
            }
            const auto wake = lines_[i]->nextWake();
            if (wake && wake != due_[i])
                queue_.push({*wake, i});
            due_[i] = wake;  // an earlier time of the line left in the queue is passed over
            touched_[i] = false;
        }
        touchedLines_.clear();
        for (const std::size_t key : changed_) {
            const PanelLine::Interest& wanted = watched_[key / 2][key % 2];
            epoll_event event{static_cast<std::uint32_t>(wanted.events), {.u64 = key}};
            if (wanted.fd >= 0)
                ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wanted.fd, &event);
        }
    }

    // Gives the programs until `until` to take the last bytes.
    void drain(Clock::time_point until)
    {
        std::vector<PanelLine*> waiting;
        for (auto& line : lines_) {
            line->beginDrain();
            waiting.push_back(line.get());
        }
        for (;;) {
            std::erase_if(waiting, [](PanelLine* line) { return line->drained(); });
            if (waiting.empty() || Clock::now() >= until)
                return;
            std::this_thread::sleep_for(kDrainPoll);
        }
    }

    using Due = std::pair<Clock::time_point, std::size_t>;

    Lines& lines_;
    int epoll_ = -1;
    std::vector<std::array<PanelLine::Interest, 2>> watched_;  // what the kernel watches, by line
    std::vector<std::size_t> changed_;                        // 2 * line + slot
    std::vector<std::optional<Clock::time_point>> due_;       // when each line is next due
    std::priority_queue<Due, std::vector<Due>, std::greater<>> queue_;
    std::vector<bool> touched_;  // visited this turn, by line
    std::vector<std::size_t> touchedLines_;
    bool exitAsked_ = false;
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
        return dnp::failure(QStringLiteral("cannot make the link %1: %2").arg(path, dnp::systemReason(errno)));
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

    // Every panel starts with the same image.
    dnp::ConfigImage image{};
    if (!options.imageIn.isEmpty()) {
        const auto read = readImage(options.imageIn);
        if (!read) {
            fail(read.error().message);
            return kExitUsage;
        }
        image = *read;
    }

    const auto room = dnp::allowOpenFiles(options.panels * descriptorsPerPanel(options) + kSpareDescriptors,
                                          QStringLiteral("%1 panels").arg(options.panels));
    auto devices = room ? openDevices(options) : dnp::Result<Devices>(room.error());
    if (!devices) {
        fail(devices.error().message);
        return kExitFailure;
    }
    Lines lines;
    for (int panel = 1; panel <= options.panels; ++panel)
        lines.push_back(std::make_unique<PanelLine>(options, panel, std::move(devices.value()[panel - 1]), image));

    if (!options.link.isEmpty()) {
        if (const auto linked = makeLink(options.link, lines.front()->device().name()); !linked) {
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

    for (const auto& line : lines)
        std::printf("%s\n", line->device().name().constData());
    std::fflush(stdout);

    int status = 0;
    if (const auto served = EventLoop(lines).run(waitMask); !served) {
        fail(served.error().message);
        status = kExitFailure;
    }
    for (const auto& line : lines) {
        if (!line->writeImages())
            status = kExitFailure;
    }
    if (!options.link.isEmpty())
        ::unlink(dnp::encodeFileName(options.link).constData());
    return status;
}
