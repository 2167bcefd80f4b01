#pragma once
// A server that never answers, as a database server that hangs: it listens on 127.0.0.1,
// accepts every connection on a thread of its own and counts them, and either holds them
// without a word until stop() (Silent) or closes each at once (Closing). Nothing it does
// depends on the clock: a client waiting on it waits until the test lets it go.

#include <QString>
#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace dnp::test {

class SilentServer {
public:
    enum class Mode { Silent, Closing };

    explicit SilentServer(Mode mode) : mode_(mode)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            while (true) {
                const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (connection < 0)
                    return;  // the listener was shut down
                ++accepted_;
                const std::lock_guard lock(mutex_);
                if (mode_ == Mode::Closing || stopped_)
                    ::close(connection);
                else
                    held_.push_back(connection);
            }
        });
    }
    ~SilentServer() { stop(); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int port() const { return port_; }
    int accepted() const { return accepted_; }
    // The URL of a history on it.
    QString url() const { return QStringLiteral("postgresql://dnp@127.0.0.1:%1/history").arg(port_); }

    // Every connection held is closed and no more are taken: whoever waited is let go.
    void stop()
    {
        if (listener_ < 0)
            return;
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
        listener_ = -1;
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        for (const int connection : held_)
            ::close(connection);
        held_.clear();
    }

private:
    Mode mode_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::vector<int> held_;
    bool stopped_ = false;
    std::thread thread_;
};

}  // namespace dnp::test
