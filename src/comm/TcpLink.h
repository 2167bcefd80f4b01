#pragma once
// The line to a panel behind a terminal server: a TCP connection in raw mode that
// carries the serial line byte for byte. The terminal server forwards at the configured
// baud rate, so the line runs at that speed, as a serial port would. The connection is
// made when the line opens and closed with it, once per transfer. A TLS link (TlsLink.h)
// is the same connection with a TLS session in it.

#include "comm/Link.h"

#include <QAbstractSocket>
#include <QString>
#include <QTimer>
#include <memory>

class QTcpSocket;

namespace dnp {

// How long a terminal server may take to accept the connection.
constexpr int kTcpConnectLimitMs = 5000;

// Where a "tcp://HOST:PORT" device connects to: a name, an IPv4 address or a bracketed
// IPv6 address ("tcp://[::1]:4001"), and a port from 1 to 65535.
struct TcpAddress {
    QString host;         // without brackets
    quint16 port = 0;
};

// Whether the device names a terminal server: it begins with "tcp://" (in any case).
bool isTcpDevice(const QString& device);
// Whether it names one reached in a TLS session: it begins with "tls://" (in any case).
bool isTlsDevice(const QString& device);
// The address of a "tcp://HOST:PORT" or "tls://HOST:PORT" device; a device written
// otherwise is refused with the form it must take.
Result<TcpAddress> parseTcpDevice(const QString& device);

class TcpLink : public Link {
    Q_OBJECT
public:
    explicit TcpLink(LinkTarget target);
    ~TcpLink() override;

    // Connects: `opened` once the terminal server has accepted, or `failed` (refused, a
    // name that does not resolve, no answer within kTcpConnectLimitMs). A connection that
    // ends while open is told as `failed`.
    void open(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override { return state_ == State::Open; }
    Result<void> write(QByteArrayView bytes) override;
    QByteArray takeReceived() override;

protected:
    enum class State { Closed, Connecting, Open };

    // A link over `socket` (a QSslSocket for TLS).
    TcpLink(LinkTarget target, std::unique_ptr<QTcpSocket> socket);
    // The terminal server has accepted the connection: a plain line is open at once.
    virtual void connected();
    // The line is open: told once.
    void becomeOpen();
    // What a socket error (or the connect limit, as SocketTimeoutError) means.
    virtual LinkFailure socketFailure(QAbstractSocket::SocketError error) const;
    // Ends the line from the event loop (never from inside the socket's own report)
    // and tells why, unless it was closed in the meantime.
    void fail(const LinkFailure& failure);
    QTcpSocket& socket() const { return *socket_; }

private:
    std::unique_ptr<QTcpSocket> socket_;
    QTimer connectLimit_;
    State state_ = State::Closed;
};

}  // namespace dnp
