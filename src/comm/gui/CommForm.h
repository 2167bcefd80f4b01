#pragma once
// The "Communication Settings" dialog: shows a choice of settings in four radio
// groups, an address field and the machine's ports, and gives the choice it is left
// with; the program stores and saves it.

#include "comm/CommSettings.h"
#include "model/HelpTopics.h"

#include "widgets/DialogKit.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace dnp {

class UserPrompts;

class TcommForm : public CentredDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = kCommSettingsHelpTopic;

    explicit TcommForm(UserPrompts& prompts, QWidget* parent = nullptr);

    void showChoice(const CommChoice& choice);
    CommChoice choice() const;
    // OK: the dialog closes only with a choice checkChoice takes; otherwise the refusal
    // is told and its field selected.
    void OKBtnClick();

    // The selected item of a radio group, -1 when none.
    static int itemIndex(const QGroupBox* group);
    static void setItemIndex(QGroupBox* group, int item);

    QGroupBox* uploadBaudRG = nullptr;
    QGroupBox* connectorRG = nullptr;
    QGroupBox* addrRG = nullptr;
    QGroupBox* parityRG = nullptr;
    QLabel* addressLabel = nullptr;
    QLineEdit* addressSlot = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;
    // The machine's serial ports; choosing one makes it the device of the COM number
    // chosen in the Connector group.
    QTreeWidget* machinePortsList = nullptr;
    QPushButton* RefreshBtn = nullptr;

    // Lists the machine's ports again.
    void refreshPorts();
    // The port of the list's row `row` becomes the device of the chosen COM number
    // (COM 1 when none is chosen).
    void usePort(int row);

private:
    void showDevices();
    void selectField(CommField field);

    UserPrompts& prompts_;
    QMap<int, QString> devices_;  // the "Ports" section as the dialog holds it
};

}  // namespace dnp
