#pragma once
// The "Communication Settings" dialog: shows a choice of settings in four radio
// groups, an address field, the device of the chosen COM number (typed, or taken from
// the machine's ports) with Test, and gives the choice it is left with; the program
// stores and saves it.

#include "comm/CommSettings.h"
#include "model/HelpTopics.h"

#include "widgets/DialogKit.h"

#include <functional>

class QComboBox;
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
    // The device of the chosen COM number: any path, tcp:// or tls://HOST:PORT, the machine's
    // ports offered; "(not present)" beside it when there is no such device.
    QComboBox* deviceBox = nullptr;
    QLabel* devicePresence = nullptr;
    // Test: the panel is asked for message 1 with the settings as the dialog shows them.
    QPushButton* TestBtn = nullptr;
    std::function<void(const CommChoice&)> testPanel;
    // The test has ended (its outcome was told): Test may be pressed again.
    void testEnded();

    // Lists the machine's ports again.
    void refreshPorts();
    // The port of the list's row `row` becomes the device of the chosen COM number
    // (COM 1 when none is chosen).
    void usePort(int row);

private:
    void showComButtons();
    void showDevices();
    void deviceEdited(const QString& device);
    void selectField(CommField field);

    UserPrompts& prompts_;
    QMap<int, QString> devices_;  // the "Ports" section as the dialog holds it
    bool testing_ = false;        // a Test runs
};

}  // namespace dnp
