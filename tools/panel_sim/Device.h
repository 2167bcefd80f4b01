#pragma once
// The simulator's end of a panel's line: the master side of a pseudo-terminal, or a TCP
// port (plain, or with a TLS front) that serves one connection at a time. The simulator
// reads and writes line(), and hands the events of watch() to followEvents().

#include "Options.h"
#include "model/Result.h"

#include <QByteArray>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace dnp::sim {

class Device {
public:
    virtual ~Device() = default;

    // What the program opens: /dev/pts/N, tcp://HOST:PORT or tls://HOST:PORT.
    virtual const QByteArray& name() const = 0;
    // The descriptor the panel reads requests from and writes replies to; -1 while no
    // program is connected.
    virtual int line() const = 0;
    // A descriptor that tells of programs coming and going; -1 when there is none to watch.
    virtual int watch() const = 0;
    // Follows what watch() told; gives notes for the trace.
    virtual QStringList followEvents() = 0;
    // The line gave end-of-file or an error, or the panel gives up on the program: true
    // when the connection is closed (a half-received frame and the output go with it);
    // a pseudo-terminal stays.
    virtual bool lineEnded() = 0;
    // The speed the program set for the line, in baud; none when it has no number.
    virtual std::optional<int> programBaud() const = 0;
    // At exit, once the last bytes are written: says that no more will come.
    virtual void beginDrain() {}
    // Whether the program has taken the last bytes (asked again and again until it has,
    // or the simulator gives up waiting).
    virtual bool drained() = 0;
};

// A line with no program speed of its own (TCP) is paced as the program's default line.
inline constexpr int kTcpProgramBaud = 9600;

// A TCP port whose line is the connection it serves (plain, or the plain end of a TLS
// session): what the two kinds of port do alike.
class ConnectionPort : public Device {
public:
    ~ConnectionPort() override;
    const QByteArray& name() const override { return name_; }
    int line() const override { return connection_; }
    // The connection closed: it is closed here too, and the next one may be taken.
    bool lineEnded() override;
    std::optional<int> programBaud() const override { return kTcpProgramBaud; }
    // The last byte has been sent; drained once the program has closed its end, so that
    // nothing it sent late cuts the last reply off.
    void beginDrain() override;
    bool drained() override;

protected:
    int connection_ = -1;
    QByteArray name_;
};

using Devices = std::vector<std::unique_ptr<Device>>;

// The devices of the options' panels, in panel order: pseudo-terminals in raw mode, or
// TCP ports (endpointOf), plain or in TLS.
Result<Devices> openDevices(const Options& options);
// The descriptors the devices of `options` take, a panel's at most.
int descriptorsPerPanel(const Options& options);

// The TCP ports in TLS: the certificate and key of --tls-cert and --tls-key (any, also
// one out of date, for drills), and with --tls-client-ca a client certificate that
// authority signed is required. The files are read once, and one thread holds the
// sessions of every port.
Result<Devices> listenTls(const Options& options);

// A socket listening on the endpoint (non-blocking), and the port it took.
struct Listener {
    int fd = -1;
    int port = 0;
};
Result<Listener> openListener(const TcpEndpoint& endpoint);

}  // namespace dnp::sim
