#pragma once
// The signals that stop a command as Cancel does: Ctrl+C (SIGINT), a polite kill
// (SIGTERM) and a hung-up terminal (SIGHUP). The first one calls `onStop` from the event
// loop with its number, and the signals take their usual effect again: a second one ends
// the program at once.

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace dnp::cli {

inline constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};

// The exit status of a command a signal stopped: 128 + the signal's number, SIGHUP's as
// SIGTERM's (130 for Ctrl+C, 143 for a kill or a hang-up).
constexpr int stoppedStatus(int signal)
{
    return 128 + (signal == SIGINT ? SIGINT : SIGTERM);
}

// The one way from a signal handler into the event loop: the handler writes the signal's
// number to a pipe, whose other end a socket notifier watches.
class StopSignals {
public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    static void handle(int signal);
    void restore();

    std::function<void(int)> onStop_;
    std::array<int, 2> pipe_ = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, kStopSignals.size()> previous_ = {};
    bool installed_ = false;
};

}  // namespace dnp::cli
