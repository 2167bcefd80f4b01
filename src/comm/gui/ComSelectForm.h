#pragma once
// The "Select Port" dialog, shown when a transfer starts with no port chosen: a COM
// number from the list, or any device typed, as the settings dialog takes it.

#include "comm/SerialPort.h"
#include "comm/PortList.h"

#include "widgets/DialogKit.h"

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace dnp {

class TComSelectForm : public CentredDialog {
    Q_OBJECT
public:
    // `ports`: the numbers listed, each as "COM%d"; the first one is selected. Under the
    // list: the chosen port's device with what the system says of it, and the machine's
    // serial ports that have no COM number (`devices`: the "Ports" section), which the
    // list offers after the numbers.
    explicit TComSelectForm(const QList<int>& ports, const QMap<int, QString>& devices = {}, QWidget* parent = nullptr);

    // The number of a "COM3" entry (also typed, "com 3"), else the device typed
    // (/dev/ttyUSB0, tcp://HOST:PORT); nothing when the field is empty.
    std::optional<PortChoice> chosenPort() const;

    // Shows the dialog modally: the chosen port, or PortCancelled when it was not left with OK.
    static PortChoice selectPort(const QList<int>& ports, const QMap<int, QString>& devices = {},
                                 QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* TypeHint = nullptr;
    QComboBox* PortsComboBox = nullptr;
    QLabel* PortDetails = nullptr;
    QLabel* OtherPorts = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

}  // namespace dnp
