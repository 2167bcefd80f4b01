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

// The port errors the user meets by their text.
inline const QString kComNumberNotSetText = QStringLiteral("The ComNumber property of the TApdComPort has not been set");
inline const QString kBadIdText = QStringLiteral("ie_BadId - Specified comport doesn't exist");
inline const QString kAlreadyOpenText = QStringLiteral("ie_Open - device already open");

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

    // Opens the device at once: `opened`, or `failed` with the port's own text and a
    // line that names the port and says what to do. The device is ours alone while it
    // is open (an exclusive lock that holds also against root).
    void open(const LineSettings& line) override;
    void close() override;
    bool isOpen() const override;
    Result<void> write(QByteArrayView bytes) override;
    QByteArray takeReceived() override;

private:
    Result<void> openDevice();
    // The device went away: the line ends as hung up.
    void lineBroke();

    std::unique_ptr<QSerialPort> port_;
    QTimer* hangUpWatch_ = nullptr;  // owned by port_
};

}  // namespace dnp
