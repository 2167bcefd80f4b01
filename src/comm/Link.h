#pragma once
// The line to the panel, as the exchange sees it: it opens the line, writes request
// frames and is told when bytes arrive or the line breaks. It never waits on the line,
// so one thread drives any number of transfers. A serial port and a terminal server's
// TCP port (tcp://HOST:PORT, the serial line carried byte for byte; tls://HOST:PORT the
// same in a TLS session) are all links.

#include "comm/Tls.h"
#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace dnp {

enum class PortParity { None, Even };

// The line settings of a transfer: 8 data bits and 1 stop bit always.
struct LineSettings {
    std::int32_t baud = 9600;
    PortParity parity = PortParity::None;
};

// The device a transfer goes to, and how the user knows it.
struct LinkTarget {
    QString device;     // "/dev/ttyS2", "/dev/pts/3", "tcp://10.1.2.3:4001", "tls://10.1.2.3:4001"
    int comNumber = 0;  // the COM number it stands for; 0 for a device named directly
    TlsSettings tls = {};  // what a tls:// device is trusted by and offers
    // "COM 3 (/dev/ttyS2)", or the device alone when it was named directly.
    QString label() const;
    bool operator==(const LinkTarget&) const = default;
};

// What ended a line, or kept it from opening (comm/TransferText.h tells each).
enum class LinkFault {
    // A serial port: the device is not there, another program has it, the user may not
    // use it, it cannot be opened for the system's reason; it went away while open.
    DeviceMissing, DeviceBusy, DeviceDenied, DeviceUnopenable, HungUp,
    // A terminal server: it refused the connection, its name does not resolve, it did not
    // accept within kTcpConnectLimitMs, it closed the connection; it cannot be reached,
    // or the connection broke, for the system's reason.
    ConnectionRefused, NameUnresolved, ConnectTimeout, ClosedByServer, Unreachable, ConnectionBroke,
    // In TLS: no TLS backend; the server's certificate refused; the server ended the
    // handshake sharing no suite with this program, asking for a client certificate,
    // refusing the one offered, speaking only TLS older than 1.2, with another alert;
    // the server does not speak TLS.
    NoTlsBackend, CertificateRefused, NoSharedSuite, ClientCertificateAsked, ClientCertificateRefused, OldTls,
    TlsSessionEnded, NotTls,
    // Any line: what the device or the TLS settings name does not read (the reader's
    // refusal); a write on a line not open, or refused for the system's reason.
    SettingRefused, NotOpen, WriteRefused,
};

// A line's failure: what happened, on which line, and what telling it needs.
struct LinkFailure {
    LinkFault fault = LinkFault::DeviceMissing;
    LinkTarget target;
    // The system's reason (DeviceDenied, DeviceUnopenable, Unreachable, ConnectionBroke,
    // WriteRefused), the server's alert (TlsSessionEnded), the refusal (SettingRefused).
    QString reason = {};
    std::optional<RefusedCertificate> certificate = {};  // CertificateRefused
    bool operator==(const LinkFailure&) const = default;
};

class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(LinkTarget target) : target_(std::move(target)) {}

    const LinkTarget& target() const { return target_; }
    // The settings the line runs at since it was opened; a baud rate of 0 for a line
    // that takes no time (a test's line in memory).
    const LineSettings& line() const { return line_; }

    // Opens the line; `opened` or `failed` follows, at once or from the event loop. What
    // waited on the line from before is dropped.
    virtual void open(const LineSettings& line) = 0;
    // Drops what waits in both directions, and closes; nothing is told after it.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Hands the bytes to the line, or refuses them with the system's reason.
    virtual Result<void> write(QByteArrayView bytes) = 0;
    // Every byte that has arrived since the last call.
    virtual QByteArray takeReceived() = 0;
    // The server's certificate, when the line failed because no trusted authority vouches
    // for it (or it names another host, or it is out of date) and no fingerprint was set
    // for it: the user may trust it. Nothing for every other end.
    virtual std::optional<QSslCertificate> refusedCertificate() const { return std::nullopt; }

signals:
    void opened();
    void received();
    // The line could not be opened, or broke while open.
    void failed(const dnp::LinkFailure& failure);

protected:
    // A failure of this line.
    LinkFailure failureOf(LinkFault fault, QString reason = {}) const { return {fault, target_, std::move(reason)}; }

    LineSettings line_;

private:
    LinkTarget target_;
};

// Makes the link of a transfer; the workspace owns it for the transfer's length.
using LinkFactory = std::function<std::unique_ptr<Link>(const LinkTarget& target)>;
// The machine's links: a terminal server for "tcp://HOST:PORT", one in a TLS session for
// "tls://HOST:PORT", else a serial port.
std::unique_ptr<Link> machineLink(const LinkTarget& target);

// The bytes a port's device holds, in an array of their own size: the device's own
// arrays keep room for 16 KiB, which a line trace would hold for every piece received.
QByteArray takeAvailable(QIODevice& device);

}  // namespace dnp
