#pragma once
// The serial link to the panel: an interface with just the port operations the
// exchange uses, and TApdComPort, the real port on Qt SerialPort.

#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QSerialPort;
class QTimer;

namespace dnp {

// The port errors the user meets by their text.
inline const QString kComNumberNotSetText = QStringLiteral("The ComNumber property of the TApdComPort has not been set");
inline const QString kBadIdText = QStringLiteral("ie_BadId - Specified comport doesn't exist");
inline const QString kAlreadyOpenText = QStringLiteral("ie_Open - device already open");
inline const QString kPortNotOpenText = QStringLiteral("The port is not open");
inline const QString kNothingReceivedText = QStringLiteral("No received byte is waiting");

enum class PortParity { None, Odd, Even, Mark, Space };

// The line settings of a port.
struct LineSettings {
    std::int32_t Baud = 19200;
    PortParity Parity = PortParity::None;
    int DataBits = 8;  // 5 to 8
    int StopBits = 1;  // 1 or 2
};

// The operations of the port, as the exchange uses them: set the line settings; open;
// then per frame SendBytes, TransmitPending until 0, ReceivedCount, ReadByte for each
// reply byte, FlushReceive.
class SerialLink {
public:
    virtual ~SerialLink() = default;

    std::int32_t Baud() const { return line_.Baud; }
    PortParity Parity() const { return line_.Parity; }
    int DataBits() const { return line_.DataBits; }
    int StopBits() const { return line_.StopBits; }
    // A change while the port is open applies to the open device at once.
    void setBaud(std::int32_t baud);
    void setParity(PortParity parity);
    void setDataBits(int bits);
    void setStopBits(int bits);

    virtual Result<void> open() = 0;  // nothing to do when already open
    virtual void close() = 0;       // drops both buffers
    virtual bool isOpen() const = 0;

    // Queues the bytes for sending, every value 0-255 unchanged.
    virtual Result<void> SendBytes(QByteArrayView bytes) = 0;
    // Bytes not yet sent; 0 when the port is not open. Moves bytes on by itself, so a
    // caller may spin on it without returning to the event loop.
    virtual std::uint16_t TransmitPending() = 0;
    // Received bytes waiting to be read; 0 when the port is not open. Rises while a
    // caller spins on it without returning to the event loop.
    virtual std::uint16_t ReceivedCount() = 0;
    // Removes and gives the oldest waiting byte.
    virtual Result<std::uint8_t> ReadByte() = 0;
    // Discards every waiting received byte.
    virtual void FlushReceive() = 0;

    // Called from the event loop when received bytes arrive, so that a waiting
    // exchange can react to the first byte at once. Never called from inside one of
    // the operations above.
    void setBytesArrivedHandler(std::function<void()> handler) { bytesArrived_ = std::move(handler); }

protected:
    enum class LineField { Baud, Parity, DataBits, StopBits };
    virtual void lineSettingChanged(LineField) {}
    void notifyBytesArrived()
    {
        if (bytesArrived_)
            bytesArrived_();
    }

    LineSettings line_;

private:
    std::function<void()> bytesArrived_;
};

// The device of port n: on Windows "COMn"; elsewhere the device `devices` names for n
// (the "Ports" section of DNP.ini), else /dev/ttyS(n-1).
QString portDeviceName(int number, const QMap<int, QString>& devices = {});

// The highest port number the "Select Port" step offers.
constexpr int kHighestListedPort = 50;

// Ports 1 to 50 whose device exists, also those in use by another program.
QList<int> listAvailablePorts(const QMap<int, QString>& devices = {});

// The device a transfer goes to, and how the user knows it.
struct LinkTarget {
    QString device;      // "/dev/ttyS2", "/dev/pts/3"
    int comNumber = 0;   // the COM number it stands for; 0 for a device named directly
    // "COM 3 (/dev/ttyS2)", or the device alone when it was named directly.
    QString label() const;
};

// Makes the link of a transfer; the workspace owns it for the transfer's length.
using LinkFactory = std::function<std::unique_ptr<SerialLink>(const LinkTarget& target)>;
// The machine's serial port for the target.
std::unique_ptr<SerialLink> machineSerialLink(const LinkTarget& target);

class TApdComPort : public SerialLink {
public:
    explicit TApdComPort(LinkTarget target);
    ~TApdComPort() override;
    TApdComPort(const TApdComPort&) = delete;
    TApdComPort& operator=(const TApdComPort&) = delete;

    const LinkTarget& target() const { return target_; }

    Result<void> open() override;
    void close() override;
    bool isOpen() const override;
    Result<void> SendBytes(QByteArrayView bytes) override;
    std::uint16_t TransmitPending() override;
    std::uint16_t ReceivedCount() override;
    Result<std::uint8_t> ReadByte() override;
    void FlushReceive() override;

protected:
    void lineSettingChanged(LineField) override;

private:
    void applyLineSettings();
    // A failure to open: the port's own text, then a line that names the port and says
    // what to do.
    Error openFailure(const QString& text, const QString& advice) const;
    void pullReceived();
    void onReadyRead();

    LinkTarget target_;
    std::unique_ptr<QSerialPort> port_;
    QTimer* hangUpWatch_ = nullptr;  // owned by port_
    bool insideOperation_ = false;
    bool notificationQueued_ = false;
};

}  // namespace dnp
