#include "comm/SerialPort.h"

#include "comm/TcpLink.h"
#include "files/FileAccess.h"

#include <QFile>
#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace dnp {
namespace {

constexpr int kHangUpWatchMs = 200;

#ifdef Q_OS_UNIX

bool isMissing(int error) { return error == ENOENT || error == ENOTDIR || error == ENXIO || error == ENODEV || error == EIO; }

// The device opened for a look before the port opens it: missing, busy, or refused.
struct DeviceProbe {
    explicit DeviceProbe(const QString& device)
    {
        fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            const bool denied = error == EACCES || error == EPERM;
            fault = isMissing(error) ? LinkFault::DeviceMissing
                    : error == EBUSY ? LinkFault::DeviceBusy
                    : denied         ? LinkFault::DeviceDenied
                                     : LinkFault::DeviceUnopenable;
            reason = systemReason(error);
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
    std::optional<LinkFault> fault;  // nothing: the device opened
    QString reason;
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

// A terminal server is only known by connecting, which a list must not do: a port
// mapped to one is offered as it is.
bool devicePresent(const QString& device)
{
    return isTcpDevice(device) || isTlsDevice(device) || portPresent(device);
}

QList<int> listAvailablePorts(const QMap<int, QString>& devices)
{
    QList<int> ports;
    for (int n = 1; n <= kHighestListedPort; ++n)
        if (devicePresent(portDeviceName(n, devices)))
            ports.push_back(n);
    return ports;
}

TApdComPort::TApdComPort(LinkTarget linkTarget) : Link(std::move(linkTarget)), port_(std::make_unique<QSerialPort>())
{
    QObject::connect(port_.get(), &QSerialPort::readyRead, this, &Link::received);
    // A device that went away (an adapter pulled out, a simulator ended) ends the line,
    // from the event loop: the port is not closed from inside its own report.
    // Whether the read fails first or the hang-up shows first, the user is told the same.
    QObject::connect(port_.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError)
            QMetaObject::invokeMethod(this, [this] { lineBroke(); }, Qt::QueuedConnection);
    });
#ifdef Q_OS_UNIX
    // A terminal whose other end is gone reads as empty rather than failing, so the
    // hang-up is looked for as well.
    hangUpWatch_ = new QTimer(port_.get());
    hangUpWatch_->setInterval(kHangUpWatchMs);
    QObject::connect(hangUpWatch_, &QTimer::timeout, this, [this] {
        pollfd fd{static_cast<int>(port_->handle()), 0, 0};
        if (isOpen() && ::poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)))
            lineBroke();
    });
#endif
}

TApdComPort::~TApdComPort() { close(); }

bool TApdComPort::isOpen() const { return port_->isOpen(); }

void TApdComPort::lineBroke()
{
    if (!isOpen())
        return;
    // What came before the hang-up is told first: the last reply may be among it.
    port_->waitForReadyRead(0);
    if (port_->bytesAvailable() > 0)
        emit received();
    if (!isOpen())
        return;
    close();
    emit failed(failureOf(LinkFault::HungUp));
}

void TApdComPort::open(const LineSettings& line)
{
    line_ = line;
    if (const std::optional<LinkFailure> refused = openDevice()) {
        emit failed(*refused);
        return;
    }
    emit opened();
}

std::optional<LinkFailure> TApdComPort::openDevice()
{
    if (isOpen())
        close();
    const QString& device = target().device;
#ifdef Q_OS_UNIX
    // A look at the device first, held open until the port has it, so that a real
    // line sees no extra close.
    const DeviceProbe probe(device);
    if (probe.fault)
        return failureOf(*probe.fault, probe.reason);
#endif

    port_->setPortName(device);
    port_->setBaudRate(line_.baud);
    port_->setParity(line_.parity == PortParity::Even ? QSerialPort::EvenParity : QSerialPort::NoParity);
    port_->setDataBits(QSerialPort::Data8);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadWrite)) {
        const auto error = port_->error();
        const QString text = port_->errorString();
        port_->clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return failureOf(LinkFault::DeviceMissing);
        case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
            if (!mayUse(device))
                return failureOf(LinkFault::DeviceDenied, systemReason(errno));
#endif
            return failureOf(LinkFault::DeviceBusy);
        default:
            return failureOf(LinkFault::DeviceUnopenable, text);
        }
    }
#ifdef Q_OS_UNIX
    // The device is ours alone, as a port opened without sharing would be; a
    // terminal's exclusive mode does not hold against root, a lock does.
    if (::flock(static_cast<int>(port_->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_->close();
        port_->clearError();
        return failureOf(LinkFault::DeviceBusy);
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
    return std::nullopt;
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

Result<void> TApdComPort::write(QByteArrayView bytes)
{
    if (!isOpen())
        return failure(QStringLiteral("not open"));
    if (port_->write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString text = port_->errorString();
        port_->clearError();
        return failure(text);
    }
    port_->flush();
    return {};
}

QByteArray TApdComPort::takeReceived()
{
    return isOpen() ? takeAvailable(*port_) : QByteArray();
}

}  // namespace dnp
