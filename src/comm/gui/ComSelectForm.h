#pragma once
// The "Select Port" dialog, shown when a port is opened with no port number set.

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
    // `ports`: the numbers listed, each as "COM%d"; the first one is selected.
    explicit TComSelectForm(const QList<int>& ports, QWidget* parent = nullptr);

    // The number after "COM" in the chosen entry; nothing when the list is empty.
    std::optional<int> chosenPort() const;

    // Shows the dialog modally: the chosen port, or nothing when it was not left with OK.
    static std::optional<int> selectPort(const QList<int>& ports, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PortsComboBox = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

// The port object's "Select Port" step, over the window `parent()` gives.
SelectPortStep comSelectStep(std::function<QWidget*()> parent);

}  // namespace dnp
