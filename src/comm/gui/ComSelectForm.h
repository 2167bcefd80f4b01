#pragma once
// The "Select Port" dialog, shown when a transfer starts with no port chosen.

#include "comm/SerialPort.h"

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
    // serial ports that have no COM number (`devices`: the "Ports" section).
    explicit TComSelectForm(const QList<int>& ports, const QMap<int, QString>& devices = {}, QWidget* parent = nullptr);

    // The number after "COM" in the chosen entry; nothing when the list is empty.
    std::optional<int> chosenPort() const;

    // Shows the dialog modally: the chosen port, or nothing when it was not left with OK.
    static std::optional<int> selectPort(const QList<int>& ports, const QMap<int, QString>& devices = {},
                                         QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortsComboBox = nullptr;
    QLabel* PortDetails = nullptr;
    QLabel* OtherPorts = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

}  // namespace dnp
