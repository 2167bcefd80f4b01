#pragma once
// The simulator's end of the line: the master side of a pseudo-terminal, or a TCP
// port that serves one connection at a time. The simulator reads and writes line(),
// and hands the events of watch() to followEvents().

#include "Options.h"
#include "model/Result.h"

#include <QByteArray>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace dnp::sim {

class Device {
public:
    virtual ~Device() = default;

    // What the program opens: /dev/pts/N or tcp://HOST:PORT.
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
    // At exit, gives the program a moment to take the last bytes.
    virtual void drain(std::chrono::milliseconds limit) = 0;
};

// A pseudo-terminal in raw mode.
Result<std::unique_ptr<Device>> openTerminal();
// A TCP port listening on the endpoint (port 0: a free one).
Result<std::unique_ptr<Device>> listenTcp(const TcpEndpoint& endpoint);

}  // namespace dnp::sim
