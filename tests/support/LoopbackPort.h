#pragma once
// A loopback port held by a test, for connections that go wrong: bound only (a
// connection is refused), or listening with its one place taken (a connection is never
// accepted: the system drops every further attempt without an answer).

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dnp::test {

class LoopbackPort {
public:
    enum class Mode { Refusing, Unanswered };
    explicit LoopbackPort(Mode mode)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        if (mode == Mode::Refusing)
            return;
        // A backlog of 0 takes one connection; it is taken here, so the queue is full
        // and the system drops every further attempt to connect without an answer.
        if (::listen(fd_, 0) != 0)
            return;
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(filler_, reinterpret_cast<sockaddr*>(&address), size) != 0)
            port_ = 0;
    }
    ~LoopbackPort()
    {
        for (const int fd : {filler_, fd_})
            if (fd >= 0)
                ::close(fd);
    }
    LoopbackPort(const LoopbackPort&) = delete;
    LoopbackPort& operator=(const LoopbackPort&) = delete;

    QString device() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }
    bool ready() const { return port_ != 0; }

private:
    int fd_ = -1;
    int filler_ = -1;
    int port_ = 0;
};

}  // namespace dnp::test
