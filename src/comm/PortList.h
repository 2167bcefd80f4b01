#pragma once
// The serial ports of this machine and the COM numbers the program maps onto them.

#include <QList>
#include <QMap>
#include <QString>
#include <variant>

namespace dnp {

// A serial port as the system describes it.
struct MachinePort {
    QString device;        // "/dev/ttyUSB0"
    QString description;   // "FT232R USB UART"; for a device only DNP.ini names, "named in DNP.ini"
    QString manufacturer;  // "FTDI"
    QString usbId;         // "0403:6001"; empty for a port that is no USB device
};

// The machine's serial ports, by device name, followed by the devices the "Ports"
// section names that the system does not list (a pseudo-terminal, say).
QList<MachinePort> machinePorts(const QMap<int, QString>& mapped = {});

// "/dev/ttyUSB0  FT232R USB UART, FTDI, USB 0403:6001": the device, then what is known.
QString describePort(const MachinePort& port);

// The COM numbers the program offers: 1 to 4 and every number the "Ports" section maps,
// each with its device.
QMap<int, QString> comDevices(const QMap<int, QString>& mapped);

// What the program knows of the ports for a "Ports" section: the machine's serial ports
// (with the devices the section names), the COM numbers offered with their devices, and
// those whose device is there.
struct PortsView {
    QMap<int, QString> mapped;      // the "Ports" section
    QList<MachinePort> machine;
    QMap<int, QString> comNumbers;  // every COM number offered, with its device
    QList<int> present;             // the COM numbers whose device is there
};
PortsView portsView(const QMap<int, QString>& mapped);

// "Select Port"'s answer: Cancel, a COM number, or a device typed (a path, tcp:// or
// tls://HOST:PORT).
struct PortCancelled {
    bool operator==(const PortCancelled&) const = default;
};
using PortChoice = std::variant<PortCancelled, int, QString>;

}  // namespace dnp
