#pragma once
// One panel's line as the simulator serves it: its device, the panels on it (one, or
// one per address) and the bytes crossing it both ways at line speed. It keeps a real
// panel's timing: a request takes its wire time to cross the line (10 bits a byte at
// the line's speed), the reply starts only once it has crossed, and its bytes leave one
// character time apart. Each TCP connection starts on a quiet line, and no program can
// make the panel hold more than a bounded amount: input is read frame by frame, and a
// program that leaves its replies unread is dropped. The event loop (main.cpp) waits on
// the descriptors it names and calls it when they are ready or when it is due.

#include "Device.h"
#include "Line.h"
#include "Options.h"

#include <QByteArray>
#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>

namespace dnp::sim {

using Clock = std::chrono::steady_clock;

// Tells a problem on stderr: "dnp-panel-sim: MESSAGE".
void fail(const QString& message);

class PanelLine {
public:
    // Panel `panel` (from 1) of the options, on `device`, with its image to start from.
    PanelLine(const Options& options, int panel, std::unique_ptr<Device> device, const ConfigImage& image);

    const Device& device() const { return *device_; }

    // A descriptor to wait on and the poll events (POLLIN, POLLOUT) to wait for; fd -1:
    // none. `serial` changes whenever the descriptor may have been closed and reused.
    struct Interest {
        int fd = -1;
        short events = 0;
        int serial = 0;
        bool operator==(const Interest&) const = default;
    };
    // The line, and the watch of programs coming and going.
    std::array<Interest, 2> interests() const;
    // The line is ready for `events`, found ready at `now`: bytes read then arrived then
    // at the latest, and their wire time counts from then.
    void lineReady(short events, Clock::time_point now);
    void watchReady();

    // Writes the bytes that are due, in one write; checks for a frame left unfinished.
    void serve(Clock::time_point now);
    // When serve() has something to do next; none: only when a descriptor is ready.
    std::optional<Clock::time_point> nextWake() const;

    // --exit-after was reached.
    bool exitAsked() const { return exitAsked_; }
    // The simulator stops: no more requests are read, a flood ends; what is queued still goes.
    void stop();
    bool outputSent() const { return output_.empty(); }
    // Once stopped and sent: whether the program has taken the last bytes (Device).
    void beginDrain() { device_->beginDrain(); }
    bool drained() { return device_->drained(); }

    // Writes the image of each panel on the line to its --image-out file, if there is
    // one; a failure is told on stderr.
    bool writeImages() const;

private:
    // Bytes that leave from `start` one character time apart at `baud` (all at once at
    // baud 0); `sent` of them have left.
    struct Chunk {
        Clock::time_point start;
        int baud = 0;
        QByteArray bytes;
        qsizetype sent = 0;
        Clock::time_point due(qsizetype index) const;
        qsizetype dueBy(Clock::time_point now) const;
    };

    void trace(const char* direction, QByteArrayView bytes, const QString& note = {}) const;
    bool writeImage(std::size_t station) const;
    int lineBaud();
    void receive(Clock::time_point now);
    void enqueue(Chunk chunk);
    void schedule(const Heard& heard, Clock::time_point crossed, int baud);
    void flood(Clock::time_point now);
    void forgetSent(qsizetype bytes);
    void connectionEnded();
    void dropUnreadOutput();

    const Options& options_;
    const int panel_;
    const Faults faults_;
    std::unique_ptr<Device> device_;
    Line line_;
    std::deque<Chunk> output_;  // in the order their first bytes are due
    qsizetype queuedBytes_ = 0;  // the bytes of output_ not yet sent
    Clock::time_point inboundFreeAt_{};  // the program's bytes have crossed the line
    Clock::time_point lineFreeAt_{};     // the panel's bytes have left
    std::optional<Clock::time_point> floodAt_;
    Clock::time_point lastInput_{};
    int baud_ = -1;  // the speed last paced at, for the trace
    int serial_ = 0;
    bool writeBlocked_ = false;
    bool stopped_ = false;
    bool exitAsked_ = false;
};

}  // namespace dnp::sim
