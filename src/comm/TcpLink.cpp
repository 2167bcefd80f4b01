#include "comm/TcpLink.h"

#include <QNetworkProxy>
#include <QTcpSocket>

namespace dnp {
namespace {

const QString kTcpScheme = QStringLiteral("tcp://");
const QString kTlsScheme = QStringLiteral("tls://");
constexpr int kHighestPort = 65535;

}  // namespace

bool isTcpDevice(const QString& device)
{
    return device.startsWith(kTcpScheme, Qt::CaseInsensitive);
}

bool isTlsDevice(const QString& device)
{
    return device.startsWith(kTlsScheme, Qt::CaseInsensitive);
}

Result<TcpAddress> parseTcpDevice(const QString& device)
{
    const QString& scheme = isTlsDevice(device) ? kTlsScheme : kTcpScheme;
    const auto refused = [&device, &scheme] {
        return failure(QStringLiteral("%1 is not a terminal server's address: write %2HOST:PORT, the port "
                                      "from 1 to %3.")
                           .arg(device, scheme)
                           .arg(kHighestPort));
    };
    if (!device.startsWith(scheme, Qt::CaseInsensitive))
        return refused();
    const QString rest = device.mid(scheme.size());
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return refused();
    QString host = rest.left(colon);
    const QString portText = rest.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) != host.endsWith(QLatin1Char(']')))
        return refused();
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    // A name or address holds no spaces, slashes or (outside brackets) colons.
    const bool bracketed = rest.startsWith(QLatin1Char('['));
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char(' ')) ||
        (!bracketed && host.contains(QLatin1Char(':'))))
        return refused();
    bool digits = !portText.isEmpty();
    for (const QChar c : portText)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int port = digits ? portText.toInt() : 0;
    if (port < 1 || port > kHighestPort)
        return refused();
    return TcpAddress{host, static_cast<quint16>(port)};
}

TcpLink::TcpLink(LinkTarget linkTarget) : TcpLink(std::move(linkTarget), std::make_unique<QTcpSocket>()) {}

TcpLink::TcpLink(LinkTarget linkTarget, std::unique_ptr<QTcpSocket> socket)
    : Link(std::move(linkTarget)), socket_(std::move(socket))
{
    // A terminal server is reached directly, whatever proxy the system names.
    socket_->setProxy(QNetworkProxy::NoProxy);
    connectLimit_.setSingleShot(true);
    connectLimit_.setTimerType(Qt::PreciseTimer);
    connectLimit_.setInterval(kTcpConnectLimitMs);
    QObject::connect(&connectLimit_, &QTimer::timeout, this, [this] {
        if (state_ != State::Connecting)
            return;
        const LinkFailure failure = socketFailure(QAbstractSocket::SocketTimeoutError);
        close();
        emit failed(failure);
    });
    QObject::connect(socket_.get(), &QTcpSocket::connected, this, [this] {
        if (state_ == State::Connecting)
            connected();
    });
    QObject::connect(socket_.get(), &QTcpSocket::readyRead, this, [this] {
        if (state_ == State::Open)
            emit received();
    });
    QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, this,
                     [this](QAbstractSocket::SocketError error) { fail(socketFailure(error)); });
    // A connection the other end closed, also without an error report.
    QObject::connect(socket_.get(), &QTcpSocket::disconnected, this, [this] {
        if (state_ == State::Open)
            fail(socketFailure(QAbstractSocket::RemoteHostClosedError));
    });
}

TcpLink::~TcpLink() { close(); }

void TcpLink::open(const LineSettings& line)
{
    close();
    // The terminal server forwards at the configured speed: the line runs at it.
    line_ = line;
    const Result<TcpAddress> address = parseTcpDevice(target().device);
    if (!address) {
        emit failed(failureOf(LinkFault::SettingRefused, address.error().message));
        return;
    }
    state_ = State::Connecting;
    connectLimit_.start();
    socket_->connectToHost(address->host, address->port);
}

void TcpLink::connected() { becomeOpen(); }

void TcpLink::becomeOpen()
{
    connectLimit_.stop();
    // Each request frame leaves at once, not held back to be joined with later bytes.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    state_ = State::Open;
    emit opened();
}

LinkFailure TcpLink::socketFailure(QAbstractSocket::SocketError error) const
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return failureOf(LinkFault::ConnectionRefused);
    case QAbstractSocket::HostNotFoundError:
        return failureOf(LinkFault::NameUnresolved);
    case QAbstractSocket::SocketTimeoutError:
        return failureOf(LinkFault::ConnectTimeout);
    case QAbstractSocket::RemoteHostClosedError:
        return failureOf(LinkFault::ClosedByServer);
    default:
        break;
    }
    return failureOf(state_ == State::Open ? LinkFault::ConnectionBroke : LinkFault::Unreachable, socket_->errorString());
}

void TcpLink::fail(const LinkFailure& failure)
{
    if (state_ == State::Closed)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, failure] {
            if (state_ == State::Closed)
                return;
            close();
            emit failed(failure);
        },
        Qt::QueuedConnection);
}

void TcpLink::close()
{
    connectLimit_.stop();
    if (state_ == State::Closed)
        return;
    // Set first: the socket may report its end from inside abort().
    state_ = State::Closed;
    socket_->abort();
}

Result<void> TcpLink::write(QByteArrayView bytes)
{
    if (!isOpen())
        return failure(QStringLiteral("not open"));
    if (socket_->write(bytes.data(), bytes.size()) != bytes.size())
        return failure(socket_->errorString());
    socket_->flush();
    return {};
}

QByteArray TcpLink::takeReceived()
{
    return isOpen() && socket_->isReadable() && socket_->bytesAvailable() > 0 ? takeAvailable(*socket_) : QByteArray();
}

}  // namespace dnp
