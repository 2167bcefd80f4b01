#include "comm/PortList.h"

#include "comm/CommSettings.h"
#include "comm/SerialPort.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace dnp {

QList<MachinePort> machinePorts(const QMap<int, QString>& mapped)
{
    QList<MachinePort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        MachinePort port{info.systemLocation(), info.description(), info.manufacturer(), {}};
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            port.usbId = QStringLiteral("%1:%2")
                             .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                             .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        ports << port;
    }
    std::sort(ports.begin(), ports.end(), [](const MachinePort& a, const MachinePort& b) { return a.device < b.device; });
    for (const QString& device : mapped) {
        const bool listed = std::any_of(ports.cbegin(), ports.cend(), [&](const MachinePort& p) { return p.device == device; });
        if (!listed && !device.isEmpty())
            ports << MachinePort{device, QStringLiteral("named in DNP.ini"), {}, {}};
    }
    return ports;
}

QString describePort(const MachinePort& port)
{
    QStringList known;
    for (const QString& part : {port.description, port.manufacturer})
        if (!part.isEmpty())
            known << part;
    if (!port.usbId.isEmpty())
        known << QStringLiteral("USB ") + port.usbId;
    return known.isEmpty() ? port.device : port.device + QStringLiteral("  ") + known.join(QStringLiteral(", "));
}

QMap<int, QString> comDevices(const QMap<int, QString>& mapped)
{
    QMap<int, QString> devices;
    for (int n = 1; n <= TcomSetIni::kHighestComPort; ++n)
        devices.insert(n, portDeviceName(n, mapped));
    for (auto it = mapped.cbegin(); it != mapped.cend(); ++it)
        devices.insert(it.key(), portDeviceName(it.key(), mapped));
    return devices;
}

PortsView portsView(const QMap<int, QString>& mapped)
{
    return {mapped, machinePorts(mapped), comDevices(mapped), listAvailablePorts(mapped)};
}

}  // namespace dnp
