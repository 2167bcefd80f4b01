#include "Device.h"

#include <QString>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace dnp::sim {

namespace {

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The speeds a terminal's settings name, and their baud.
struct Speed {
    speed_t code;
    int baud;
};
constexpr Speed kSpeeds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},         {B150, 150},
    {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
    {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

constexpr int kListenBacklog = 4;
// The descriptors a panel's device takes: a pseudo-terminal's two ends and the watch of
// its opens; a TCP port's listener and connection; a TLS port's listener, hand-over
// pipe, session and the two ends of its plain line.
constexpr int kTerminalDescriptors = 3;
constexpr int kTcpPortDescriptors = 2;
constexpr int kTlsPortDescriptors = 6;

// The pseudo-terminal: the master end is the panel's line; the slave end is the
// device the program opens. The panel keeps a slave descriptor of its own, so that the
// terminal lives on while the program closes and opens it again; the program's line
// settings are read through it.
class Terminal final : public Device {
public:
    ~Terminal() override
    {
        for (const int fd : {master_, slave_, watch_}) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    Result<void> open()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return failure(QStringLiteral("cannot open a pseudo-terminal: %1").arg(systemError()));
        const char* name = ::ptsname(master_);
        if (!name)
            return failure(QStringLiteral("no device name for the pseudo-terminal"));
        name_ = name;
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0)
            return failure(QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(name), systemError()));
        ::cfmakeraw(&raw);
        raw.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(slave_, TCSANOW, &raw);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch_ >= 0 && ::inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE) < 0) {
            ::close(watch_);
            watch_ = -1;
        }
        return {};
    }

    const QByteArray& name() const override { return name_; }
    int line() const override { return master_; }
    int watch() const override { return watch_; }

    // A program that opens the device puts the terminal in exclusive mode and leaves
    // it on closing; one that is killed does not, and the terminal, kept alive by this
    // panel's own descriptor, would refuse every later open by a normal user. Once no
    // program has the device open, exclusive mode is left.
    QStringList followEvents() override
    {
        countClients();
        int exclusive = 0;
        if (clients_ == 0 && ::ioctl(slave_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
            ::ioctl(slave_, TIOCNXCL);
            return {QStringLiteral("exclusive mode left by a closed program cleared")};
        }
        return {};
    }

    // The panel's own slave descriptor keeps the terminal up: no end to follow.
    bool lineEnded() override { return false; }

    std::optional<int> programBaud() const override
    {
        termios settings{};
        if (::tcgetattr(slave_, &settings) != 0)
            return std::nullopt;
        const speed_t code = ::cfgetospeed(&settings);
        for (const Speed& speed : kSpeeds) {
            if (speed.code == code)
                return speed.baud;
        }
        return std::nullopt;
    }

    // The last reply is in the terminal, and the program must read it before the
    // terminal goes away with this process. The terminal hands written bytes on to the
    // program's side a little later: the program has taken them once its side has held
    // none at two looks in a row.
    // Bytes no program has the device open to take are not waited for.
    bool drained() override
    {
        countClients();
        if (clients_ == 0)
            return true;
        int waiting = 0;
        if (::ioctl(slave_, FIONREAD, &waiting) != 0)
            return true;
        emptyLooks_ = waiting == 0 ? emptyLooks_ + 1 : 0;
        return emptyLooks_ >= 2;
    }

private:
    // The programs that have the device open, as the watch tells their opens and closes.
    void countClients()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while (watch_ >= 0 && (n = ::read(watch_, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN)
                    ++clients_;
                if ((event->mask & IN_CLOSE) && clients_ > 0)
                    --clients_;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    int watch_ = -1;  // opens and closes of the device, -1 when they cannot be watched
    int clients_ = 0;
    int emptyLooks_ = 0;
    QByteArray name_;
};

// A listening TCP port; the connection it has taken is the line, and the next is
// taken once that one has closed.
class TcpPort final : public ConnectionPort {
public:
    ~TcpPort() override
    {
        if (listener_ >= 0)
            ::close(listener_);
    }

    Result<void> listen(const TcpEndpoint& endpoint)
    {
        const Result<Listener> listener = openListener(endpoint);
        if (!listener)
            return listener.error();
        listener_ = listener->fd;
        name_ = "tcp://" + endpoint.host.toLocal8Bit() + ':' + QByteArray::number(listener->port);
        return {};
    }

    // The listener is only watched while no connection is served, so that the next
    // program waits in the backlog.
    int watch() const override { return connection_ < 0 ? listener_ : -1; }

    QStringList followEvents() override
    {
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        const int fd = ::accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return {};
        // Paced bytes go out one at a time, as they are due.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        connection_ = fd;
        return {QStringLiteral("connection taken")};
    }

private:
    int listener_ = -1;
};

}  // namespace

ConnectionPort::~ConnectionPort()
{
    if (connection_ >= 0)
        ::close(connection_);
}

bool ConnectionPort::lineEnded()
{
    ::close(connection_);
    connection_ = -1;
    return true;
}

void ConnectionPort::beginDrain()
{
    if (connection_ >= 0)
        ::shutdown(connection_, SHUT_WR);
}

bool ConnectionPort::drained()
{
    char buffer[256];
    for (;;) {
        if (connection_ < 0)
            return true;
        const ssize_t n = ::read(connection_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return true;
        if (n < 0 && errno == EAGAIN)
            return false;
    }
}

Result<Listener> openListener(const TcpEndpoint& endpoint)
{
    QString host = endpoint.host;
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(endpoint.port);
    const QByteArray hostName = host.toLocal8Bit();
    if (const int error =
            ::getaddrinfo(hostName.isEmpty() ? nullptr : hostName.constData(), service.constData(), &hints, &found);
        error != 0)
        return failure(QStringLiteral("cannot listen on %1: %2")
                           .arg(endpoint.host, QString::fromLocal8Bit(::gai_strerror(error))));
    int listener = -1;
    QString why;
    for (const addrinfo* at = found; at && listener < 0; at = at->ai_next) {
        const int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, at->ai_protocol);
        const int on = 1;
        if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
            ::bind(fd, at->ai_addr, at->ai_addrlen) == 0 && ::listen(fd, kListenBacklog) == 0) {
            listener = fd;
            break;
        }
        why = systemError();
        if (fd >= 0)
            ::close(fd);
    }
    ::freeaddrinfo(found);
    if (listener < 0)
        return failure(QStringLiteral("cannot listen on %1:%2: %3").arg(endpoint.host).arg(endpoint.port).arg(why));
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        const QString reason = systemError();
        ::close(listener);
        return failure(QStringLiteral("cannot tell the port: %1").arg(reason));
    }
    const in_port_t port = bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(bound).sin6_port
                                                       : reinterpret_cast<const sockaddr_in&>(bound).sin_port;
    return Listener{listener, ntohs(port)};
}

Result<Devices> openDevices(const Options& options)
{
    if (!options.tlsCert.isEmpty())
        return listenTls(options);
    Devices devices;
    for (int panel = 1; panel <= options.panels; ++panel) {
        Result<void> opened;
        if (options.tcp) {
            auto port = std::make_unique<TcpPort>();
            opened = port->listen(endpointOf(options, panel));
            devices.push_back(std::move(port));
        } else {
            auto terminal = std::make_unique<Terminal>();
            opened = terminal->open();
            devices.push_back(std::move(terminal));
        }
        if (!opened)
            return opened.error();
    }
    return devices;
}

int descriptorsPerPanel(const Options& options)
{
    return !options.tlsCert.isEmpty() ? kTlsPortDescriptors : options.tcp ? kTcpPortDescriptors : kTerminalDescriptors;
}

}  // namespace dnp::sim
