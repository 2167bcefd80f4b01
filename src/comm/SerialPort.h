#pragma once
// The serial port to the panel, on Qt SerialPort: TApdComPort, a Link. It tells of
// arriving bytes as they come, and of a device that goes away.

#include "comm/Link.h"

#include <QList>
#include <QMap>
#include <QString>
#include <memory>

class QSerialPort;
class QTimer;

namespace dnp {

// The device of port n: on Windows "COMn"; elsewhere the device `devices` names for n
// (the "Ports" section of DNP.ini), else /dev/ttyS(n-1).
QString portDeviceName(int number, const QMap<int, QString>& devices = {});

// The highest port number the "Select Port" step offers.
constexpr int kHighestListedPort = 50;

// Ports 1 to 50 whose device exists, also those in use by another program, and those
// mapped to a terminal server (tcp:// or tls://HOST:PORT), which are offered without connecting.
QList<int> listAvailablePorts(const QMap<int, QString>& devices = {});
// Whether a device would be offered so: it exists (also in use by another program),
// or it names a terminal server.
bool devicePresent(const QString& device);

class TApdComPort : public Link {
    Q_OBJECT
public:
    explicit TApdComPort(LinkTarget target);
    ~TApdComPort() override;

    // Opens the device at once: `opened`, or `failed` (missing, busy, denied, or not
    // opened for the system's reason). The device is ours alone while it is open (an
    // exclusive lock that holds also against root).
    void open(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override;
    Result<void> write(QByteArrayView bytes) override;
    QByteArray takeReceived() override;

private:
    // Nothing when the device opened.
    std::optional<LinkFailure> openDevice();
    // The device went away: the line ends as hung up.
    void lineBroke();

    std::unique_ptr<QSerialPort> port_;
    QTimer* hangUpWatch_ = nullptr;  // owned by port_
};

}  // namespace dnp
