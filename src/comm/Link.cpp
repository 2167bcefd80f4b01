#include "comm/Link.h"

#include "comm/SerialPort.h"
#include "comm/TcpLink.h"
#include "comm/TlsLink.h"

#include <algorithm>

namespace dnp {

QString LinkTarget::label() const
{
    return comNumber > 0 ? QStringLiteral("COM %1 (%2)").arg(comNumber).arg(device) : device;
}

std::unique_ptr<Link> machineLink(const LinkTarget& target)
{
    if (isTcpDevice(target.device))
        return std::make_unique<TcpLink>(target);
    if (isTlsDevice(target.device))
        return std::make_unique<TlsLink>(target);
    return std::make_unique<TApdComPort>(target);
}

QByteArray takeAvailable(QIODevice& device)
{
    QByteArray bytes(device.bytesAvailable(), Qt::Uninitialized);
    bytes.resize(std::max<qint64>(0, device.read(bytes.data(), bytes.size())));
    return bytes;
}

}  // namespace dnp
