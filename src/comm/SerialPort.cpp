#include "comm/SerialPort.h"

#include <QFile>
#include <QScopedValueRollback>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <limits>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace dnp {
namespace {

constexpr int kLowestDataBits = 5;
constexpr int kHighestDataBits = 8;
constexpr int kHangUpWatchMs = 200;

std::uint16_t clampToCount(qint64 count)
{
    return static_cast<std::uint16_t>(std::clamp<qint64>(count, 0, std::numeric_limits<std::uint16_t>::max()));
}

QSerialPort::Parity qtParity(PortParity parity)
{
    switch (parity) {
    case PortParity::None: return QSerialPort::NoParity;
    case PortParity::Odd: return QSerialPort::OddParity;
    case PortParity::Even: return QSerialPort::EvenParity;
    case PortParity::Mark: return QSerialPort::MarkParity;
    case PortParity::Space: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

#ifdef Q_OS_UNIX
QString systemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool isMissing(int error) { return error == ENOENT || error == ENOTDIR || error == ENXIO || error == ENODEV || error == EIO; }

// The device opened for a look before the port opens it: missing, busy, or refused.
struct DeviceProbe {
    explicit DeviceProbe(const QString& device)
    {
        fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            denied = errno == EACCES || errno == EPERM;
            error = isMissing(errno) ? kBadIdText : errno == EBUSY ? kAlreadyOpenText : systemMessage(errno);
        }
    }
    ~DeviceProbe()
    {
        if (fd >= 0)
            ::close(fd);
    }
    DeviceProbe(const DeviceProbe&) = delete;
    DeviceProbe& operator=(const DeviceProbe&) = delete;

    int fd = -1;
    QString error;
    bool denied = false;  // no right to use the device
};

// Whether the device could be opened if nobody held it: refusals for lack of rights
// are told with the system's own words, not as "already open".
bool mayUse(const QString& device) { return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0; }
#endif

// The test open of the "Select Port" list: the device exists, or it is in use.
bool portPresent(const QString& device)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return !isMissing(errno);
#else
    QSerialPort probe(device);
    if (probe.open(QIODevice::ReadWrite)) {
        probe.close();
        return true;
    }
    return probe.error() == QSerialPort::PermissionError;
#endif
}

}  // namespace

void SerialLink::setBaud(std::int32_t baud)
{
    line_.Baud = baud;
    lineSettingChanged(LineField::Baud);
}

void SerialLink::setParity(PortParity parity)
{
    line_.Parity = parity;
    lineSettingChanged(LineField::Parity);
}

void SerialLink::setDataBits(int bits)
{
    line_.DataBits = std::clamp(bits, kLowestDataBits, kHighestDataBits);
    lineSettingChanged(LineField::DataBits);
}

void SerialLink::setStopBits(int bits)
{
    line_.StopBits = bits == 2 ? 2 : 1;
    lineSettingChanged(LineField::StopBits);
}

QString portDeviceName(int number, const QMap<int, QString>& devices)
{
    if (const auto it = devices.constFind(number); it != devices.cend() && !it->isEmpty())
        return *it;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QList<int> listAvailablePorts(const QMap<int, QString>& devices)
{
    QList<int> ports;
    for (int n = 1; n <= kHighestListedPort; ++n)
        if (portPresent(portDeviceName(n, devices)))
            ports.push_back(n);
    return ports;
}

QString LinkTarget::label() const
{
    return comNumber > 0 ? QStringLiteral("COM %1 (%2)").arg(comNumber).arg(device) : device;
}

std::unique_ptr<SerialLink> machineSerialLink(const LinkTarget& target)
{
    return std::make_unique<TApdComPort>(target);
}

TApdComPort::TApdComPort(LinkTarget target) : target_(std::move(target)), port_(std::make_unique<QSerialPort>())
{
    QObject::connect(port_.get(), &QSerialPort::readyRead, port_.get(), [this] { onReadyRead(); });
    // A device that went away (an adapter pulled out, a simulator ended) is closed
    // from the event loop: its hang-up would otherwise keep waking the program.
    QObject::connect(port_.get(), &QSerialPort::errorOccurred, port_.get(), [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError)
            QMetaObject::invokeMethod(port_.get(), [this] { close(); }, Qt::QueuedConnection);
    });
#ifdef Q_OS_UNIX
    // A terminal whose other end is gone reads as empty rather than failing, so the
    // hang-up is looked for as well.
    hangUpWatch_ = new QTimer(port_.get());
    hangUpWatch_->setInterval(kHangUpWatchMs);
    QObject::connect(hangUpWatch_, &QTimer::timeout, port_.get(), [this] {
        pollfd fd{static_cast<int>(port_->handle()), 0, 0};
        if (isOpen() && ::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)))
            close();
    });
#endif
}

TApdComPort::~TApdComPort() { close(); }

Error TApdComPort::openFailure(const QString& text, const QString& advice) const
{
    return failure(text + QLatin1Char('\n') + advice);
}

bool TApdComPort::isOpen() const { return port_->isOpen(); }

Result<void> TApdComPort::open()
{
    if (isOpen())
        return {};
    const QString& device = target_.device;
    // A device dnpcfg --device names is the user's own choice: no settings to go to.
    const QString missing = QStringLiteral("Port %1 does not exist.").arg(target_.label()) +
                            (target_.comNumber > 0 ? QStringLiteral(" Choose a port in Communication Settings.") : QString());
    const QString busy = QStringLiteral("%1 is in use by another program.").arg(device);
    const QString unopenable = QStringLiteral("Port %1 cannot be opened.").arg(target_.label());
    const QString refused =
        QStringLiteral("You may not use %1: ask to be made a member of its group (often dialout).").arg(device);
#ifdef Q_OS_UNIX
    // A look at the device first, held open until the port has it, so that a real
    // line sees no extra close.
    const DeviceProbe probe(device);
    if (probe.error == kBadIdText)
        return openFailure(kBadIdText, missing);
    if (probe.error == kAlreadyOpenText)
        return openFailure(kAlreadyOpenText, busy);
    if (!probe.error.isEmpty())
        return openFailure(probe.error, probe.denied ? refused : unopenable);
#endif

    port_->setPortName(device);
    applyLineSettings();
    if (!port_->open(QIODevice::ReadWrite)) {
        const auto error = port_->error();
        const QString text = port_->errorString();
        port_->clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return openFailure(kBadIdText, missing);
        case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
            if (!mayUse(device))
                return openFailure(systemMessage(errno), refused);
#endif
            return openFailure(kAlreadyOpenText, busy);
        default:
            return openFailure(text, unopenable);
        }
    }
#ifdef Q_OS_UNIX
    // The device is ours alone, as a port opened without sharing would be; a
    // terminal's exclusive mode does not hold against root, a lock does.
    if (::flock(static_cast<int>(port_->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_->close();
        port_->clearError();
        return openFailure(kAlreadyOpenText, busy);
    }
#endif
    // A pseudo-terminal has no modem lines: failing to raise them is no error.
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(true);
    // What waits from before (a late reply of an earlier transfer) is not for us.
    port_->clear(QSerialPort::AllDirections);
    port_->clearError();
    if (hangUpWatch_)
        hangUpWatch_->start();
    return {};
}

void TApdComPort::close()
{
    if (hangUpWatch_)
        hangUpWatch_->stop();
    if (!isOpen())
        return;
    port_->clear(QSerialPort::AllDirections);
    port_->close();
    port_->clearError();
}

void TApdComPort::applyLineSettings()
{
    port_->setBaudRate(line_.Baud);
    port_->setParity(qtParity(line_.Parity));
    port_->setDataBits(static_cast<QSerialPort::DataBits>(line_.DataBits));
    port_->setStopBits(line_.StopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
}

void TApdComPort::lineSettingChanged(LineField)
{
    if (!isOpen())
        return;
    applyLineSettings();
    port_->clearError();
}

Result<void> TApdComPort::SendBytes(QByteArrayView bytes)
{
    if (!isOpen())
        return failure(kPortNotOpenText);
    QScopedValueRollback inside(insideOperation_, true);
    if (port_->write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString text = port_->errorString();
        port_->clearError();
        return failure(text);
    }
    port_->flush();
    return {};
}

std::uint16_t TApdComPort::TransmitPending()
{
    if (!isOpen())
        return 0;
    QScopedValueRollback inside(insideOperation_, true);
    port_->flush();
    qint64 pending = port_->bytesToWrite();
#ifdef Q_OS_UNIX
    // Bytes the driver still holds have not left either.
    int queued = 0;
    if (::ioctl(static_cast<int>(port_->handle()), TIOCOUTQ, &queued) == 0 && queued > 0)
        pending += queued;
#endif
    return clampToCount(pending);
}

void TApdComPort::pullReceived()
{
    QScopedValueRollback inside(insideOperation_, true);
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (::ioctl(static_cast<int>(port_->handle()), FIONREAD, &waiting) != 0 || waiting <= 0)
        return;
#endif
    // Takes what the driver holds into the port's buffer without the event loop.
    if (!port_->waitForReadyRead(0) && port_->error() == QSerialPort::TimeoutError)
        port_->clearError();
}

std::uint16_t TApdComPort::ReceivedCount()
{
    if (!isOpen())
        return 0;
    pullReceived();
    return clampToCount(port_->bytesAvailable());
}

Result<std::uint8_t> TApdComPort::ReadByte()
{
    if (!isOpen())
        return failure(kPortNotOpenText);
    if (port_->bytesAvailable() == 0)
        pullReceived();
    char byte = 0;
    if (!port_->getChar(&byte))
        return failure(kNothingReceivedText);
    return static_cast<std::uint8_t>(byte);
}

void TApdComPort::FlushReceive()
{
    if (!isOpen())
        return;
    port_->clear(QSerialPort::Input);
    port_->clearError();
}

void TApdComPort::onReadyRead()
{
    if (!insideOperation_) {
        notifyBytesArrived();
        return;
    }
    // Bytes taken in by one of the operations: tell the handler from the event loop.
    if (notificationQueued_)
        return;
    notificationQueued_ = true;
    QMetaObject::invokeMethod(
        port_.get(),
        [this] {
            notificationQueued_ = false;
            if (isOpen())
                notifyBytesArrived();
        },
        Qt::QueuedConnection);
}

}  // namespace dnp
