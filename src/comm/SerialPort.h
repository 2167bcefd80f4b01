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
    std::uint16_t ComNumber = 0;  // 0: none chosen
    std::int32_t Baud = 19200;
    PortParity Parity = PortParity::None;
    int DataBits = 8;  // 5 to 8
    int StopBits = 1;  // 1 or 2
};

// The operations of the port, as the exchange uses them: close if open; set the line
// settings; open; then per frame SendBytes, TransmitPending until 0, ReceivedCount,
// ReadByte for each reply byte, FlushReceive.
class SerialLink {
public:
    virtual ~SerialLink() = default;

    std::uint16_t ComNumber() const { return line_.ComNumber; }
    std::int32_t Baud() const { return line_.Baud; }
    PortParity Parity() const { return line_.Parity; }
    int DataBits() const { return line_.DataBits; }
    int StopBits() const { return line_.StopBits; }
    const LineSettings& lineSettings() const { return line_; }
    // A change while the port is open applies to the open device at once.
    void setComNumber(std::uint16_t number);
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
    enum class LineField { ComNumber, Baud, Parity, DataBits, StopBits };
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

// The "Select Port" step: the ports found; the chosen number, or nothing when cancelled.
using SelectPortStep = std::function<std::optional<int>(const QList<int>& ports)>;

class TApdComPort : public SerialLink {
public:
    TApdComPort();
    ~TApdComPort() override;
    TApdComPort(const TApdComPort&) = delete;
    TApdComPort& operator=(const TApdComPort&) = delete;

    // Ask the user for a port when ComNumber is 0 (through the select step).
    bool PromptForPort() const { return promptForPort_; }
    void setPromptForPort(bool on) { promptForPort_ = on; }
    void setSelectPortStep(SelectPortStep step) { selectPort_ = std::move(step); }
    // The "Ports" section's device names.
    void setPortDevices(QMap<int, QString> devices) { portDevices_ = std::move(devices); }
    // A device to open whatever ComNumber says (dnpcfg --device); empty: none.
    void setDeviceOverride(QString device) { deviceOverride_ = std::move(device); }
    // The device the port opens (or has open).
    QString deviceName() const;
    // The port as the user knows it: "COM 3 (/dev/ttyS2)", or the device alone when an
    // override names it.
    QString portLabel() const;

    Result<void> open() override;
    void close() override;
    bool isOpen() const override;
    Result<void> SendBytes(QByteArrayView bytes) override;
    std::uint16_t TransmitPending() override;
    std::uint16_t ReceivedCount() override;
    Result<std::uint8_t> ReadByte() override;
    void FlushReceive() override;

protected:
    void lineSettingChanged(LineField field) override;

private:
    void applyLineSettings();
    // A failure to open: the port's own text, then a line that names the port and says
    // what to do.
    Error openFailure(const QString& text, const QString& advice) const;
    void pullReceived();
    void onReadyRead();

    std::unique_ptr<QSerialPort> port_;
    QTimer* hangUpWatch_ = nullptr;  // owned by port_
    bool promptForPort_ = true;
    SelectPortStep selectPort_;
    QMap<int, QString> portDevices_;
    QString deviceOverride_;
    bool insideOperation_ = false;
    bool notificationQueued_ = false;
};

}  // namespace dnp
