#include "comm/gui/CommForm.h"

#include "widgets/DialogKit.h"

#include "comm/PortList.h"
#include "comm/SerialPort.h"
#include "widgets/UserPrompts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace dnp {
namespace {

constexpr int kAddressWidth = 60;
constexpr int kDeviceWidth = 260;
// A COM button's text takes at most this many average characters; a longer device is
// shortened on the button (its tool tip and accessible name keep it whole), so that the
// dialog keeps its width whatever the devices are called.
constexpr int kComButtonChars = 36;
const QString kNotPresentText = QStringLiteral("(not present)");
const QString kTestCaption = QStringLiteral("&Test");

QGroupBox* radioGroup(QWidget* parent, const char* name, const QString& caption, const QStringList& items)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    auto* buttons = new QButtonGroup(group);
    auto* layout = new QVBoxLayout(group);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], group);
        button->setObjectName(QString::fromLatin1(name).remove(QStringLiteral("RG")) + QString::number(i));
        buttons->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch();
    return group;
}

}  // namespace

TcommForm::TcommForm(UserPrompts& prompts, QWidget* parent) : CentredDialog(parent), prompts_(prompts)
{
    setObjectName("commForm");
    setWindowTitle(QStringLiteral("Communication Settings"));
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);

    QStringList baudItems;
    for (const char* baud : kBaudTexts)
        baudItems << QString::fromLatin1(baud);
    uploadBaudRG = radioGroup(frame, "uploadBaudRG", QStringLiteral(" &Baud "), baudItems);
    connectorRG = radioGroup(frame, "connectorRG", QStringLiteral(" Co&nnector "),
                             {QStringLiteral("none"), QStringLiteral("COM 1"), QStringLiteral("COM 2"),
                              QStringLiteral("COM 3"), QStringLiteral("COM 4")});
    addrRG = radioGroup(frame, "addrRG", QStringLiteral(" A&ddressing "),
                        {QStringLiteral("Disabled"), QStringLiteral("Enabled")});
    parityRG = radioGroup(frame, "parityRG", QStringLiteral(" &Parity "), {QStringLiteral("None"), QStringLiteral("Even")});
    addressLabel = new QLabel(QStringLiteral("&Address: "), addrRG);
    addressSlot = new QLineEdit(addrRG);
    addressSlot->setObjectName("addressSlot");
    addressSlot->setFixedWidth(kAddressWidth);
    addressLabel->setBuddy(addressSlot);
    for (QRadioButton* button : connectorRG->findChildren<QRadioButton*>()) {
        const int indicator = button->sizeHint().width() - button->fontMetrics().horizontalAdvance(button->text());
        button->setFixedWidth(indicator + button->fontMetrics().averageCharWidth() * kComButtonChars);
    }

    // Baud at the left, connector in the middle, addressing with its address at the top
    // right, parity under it.
    auto* address = new QHBoxLayout;
    address->addWidget(addressLabel);
    address->addWidget(addressSlot);
    address->addStretch();
    auto* addressing = static_cast<QVBoxLayout*>(addrRG->layout());
    addressing->insertLayout(addressing->count() - 1, address);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(uploadBaudRG, 0, 0, 2, 1);
    grid->addWidget(connectorRG, 0, 1, 2, 1);
    grid->addWidget(addrRG, 0, 2);
    grid->addWidget(parityRG, 1, 2);

    auto* ports = new QGroupBox(QStringLiteral(" Serial ports of this machine "), frame);
    ports->setObjectName("machinePortsRG");
    machinePortsList = new QTreeWidget(ports);
    machinePortsList->setObjectName("machinePortsList");
    machinePortsList->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Description"),
                                       QStringLiteral("Maker"), QStringLiteral("USB id")});
    machinePortsList->setRootIsDecorated(false);
    machinePortsList->setMinimumWidth(460);
    machinePortsList->setFixedHeight(110);
    RefreshBtn = dialogButton(ports, "RefreshBtn", QStringLiteral("&Refresh"));
    auto* deviceLabel = new QLabel(QStringLiteral("D&evice of the chosen COM number:"), ports);
    deviceBox = new QComboBox(ports);
    deviceBox->setObjectName("deviceBox");
    deviceBox->setEditable(true);
    deviceBox->setInsertPolicy(QComboBox::NoInsert);
    deviceBox->setMinimumWidth(kDeviceWidth);
    deviceBox->setToolTip(QStringLiteral("A device such as /dev/ttyUSB0, /dev/serial/by-id/..., a simulator's "
                                         "pseudo-terminal, tcp://HOST:PORT for a terminal server, or tls://HOST:PORT "
                                         "for one that speaks TLS"));
    deviceLabel->setBuddy(deviceBox);
    devicePresence = new QLabel(ports);
    devicePresence->setObjectName("devicePresence");
    devicePresence->setText(kNotPresentText);
    devicePresence->setFixedWidth(devicePresence->sizeHint().width());  // the same with it and without
    devicePresence->clear();
    TestBtn = dialogButton(ports, "TestBtn", kTestCaption);
    TestBtn->setToolTip(QStringLiteral("Read message 1 from the panel with these settings (a read changes nothing in it)"));
    auto* device = new QHBoxLayout;
    device->addWidget(deviceLabel);
    device->addWidget(deviceBox, 1);
    device->addWidget(devicePresence);
    device->addWidget(TestBtn);
    auto* portsLayout = new QVBoxLayout(ports);
    portsLayout->addLayout(device);
    portsLayout->addWidget(new QLabel(QStringLiteral("Click a port to use it for the COM number chosen above."), ports));
    portsLayout->addWidget(machinePortsList);
    portsLayout->addLayout(buttonRow({RefreshBtn}));
    grid->addWidget(ports, 2, 0, 1, 3);

    OKBtn = dialogButton(this, "OKBtn", QStringLiteral("&OK"), true);
    CancelBtn = dialogButton(this, "CancelBtn", QStringLiteral("&Cancel"));
    HelpBtn = dialogButton(this, "HelpBtn", QStringLiteral("&Help"));
    QHBoxLayout* buttons = buttonRow({OKBtn, CancelBtn, HelpBtn});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &TcommForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this, [this] { prompts_.showHelp(kHelpTopic); });
    addHelpKey(this, [this] { prompts_.showHelp(kHelpTopic); });
    connect(RefreshBtn, &QPushButton::clicked, this, &TcommForm::refreshPorts);
    connect(connectorRG->findChild<QButtonGroup*>(), &QButtonGroup::idClicked, this, [this] { showDevices(); });
    connect(deviceBox, &QComboBox::editTextChanged, this, &TcommForm::deviceEdited);
    // Whether the device is there is looked at once the name is complete.
    connect(deviceBox, &QComboBox::activated, this, [this] { showDevices(); });
    connect(deviceBox->lineEdit(), &QLineEdit::editingFinished, this, [this] { showDevices(); });
    connect(TestBtn, &QPushButton::clicked, this, [this] {
        if (!testPanel)
            return;
        testing_ = true;
        TestBtn->setEnabled(false);
        TestBtn->setText(QStringLiteral("Testing..."));
        testPanel(choice());
    });
    connect(machinePortsList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { usePort(machinePortsList->indexOfTopLevelItem(item)); });

    // Tab follows reading order: the groups left to right, the address in its group,
    // the device and its Test, the machine's ports, the dialog's buttons.
    QList<QWidget*> order;
    for (QGroupBox* group : {uploadBaudRG, connectorRG, addrRG})
        for (QRadioButton* button : group->findChildren<QRadioButton*>())
            order << button;
    order << addressSlot;
    for (QRadioButton* button : parityRG->findChildren<QRadioButton*>())
        order << button;
    order << QList<QWidget*>{deviceBox, TestBtn, machinePortsList, RefreshBtn, OKBtn, CancelBtn, HelpBtn};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    refreshPorts();
}

void TcommForm::refreshPorts()
{
    machinePortsList->clear();
    const QSignalBlocker quiet(deviceBox);
    const QString typed = deviceBox->currentText();
    deviceBox->clear();
    for (const MachinePort& port : machinePorts(devices_)) {
        machinePortsList->addTopLevelItem(
            new QTreeWidgetItem(QStringList{port.device, port.description, port.manufacturer, port.usbId}));
        deviceBox->addItem(port.device);
    }
    deviceBox->setCurrentText(typed);
    for (int column = 0; column < machinePortsList->columnCount(); ++column)
        machinePortsList->resizeColumnToContents(column);
}

void TcommForm::usePort(int row)
{
    const QTreeWidgetItem* item = machinePortsList->topLevelItem(row);
    if (!item)
        return;
    int com = itemIndex(connectorRG);
    if (com < 1) {
        com = 1;
        setItemIndex(connectorRG, com);
    }
    devices_[com] = item->text(0);
    showDevices();
}

// Each COM button names the device it stands for, "(not present)" after one that is
// not there (shortened to the button's width, whole in its tool tip and accessible
// name); so does the mark beside the device field.
void TcommForm::showComButtons()
{
    const QMap<int, QString> devices = comDevices(devices_);
    const int com = itemIndex(connectorRG);
    bool chosenPresent = false;
    const auto* buttons = connectorRG->findChild<QButtonGroup*>();
    for (int n = 1; n <= TcomSetIni::kHighestComPort; ++n)
        if (QAbstractButton* button = buttons->button(n)) {
            const bool present = devicePresent(devices.value(n));
            const QString text = QStringLiteral("COM %1 (%2)").arg(n).arg(devices.value(n)) +
                                 (present ? QString() : QLatin1Char(' ') + kNotPresentText);
            button->setText(button->fontMetrics().elidedText(text, Qt::ElideMiddle,
                                                             button->fontMetrics().averageCharWidth() * kComButtonChars));
            button->setToolTip(text);
            button->setAccessibleName(text);
            chosenPresent = chosenPresent || (n == com && present);
        }
    devicePresence->setText(com >= 1 && !chosenPresent ? kNotPresentText : QString());
}

// The COM buttons, and the device field showing the chosen number's.
void TcommForm::showDevices()
{
    showComButtons();
    const int com = itemIndex(connectorRG);
    {
        const QSignalBlocker quiet(deviceBox);
        deviceBox->setCurrentText(com >= 1 ? comDevices(devices_).value(com) : QString());
    }
    deviceBox->setEnabled(com >= 1);
    TestBtn->setEnabled(com >= 1 && testPanel && !testing_);
}

// A device typed for the chosen COM number, shown on its button at once; its own
// default device is no entry.
void TcommForm::deviceEdited(const QString& device)
{
    const int com = itemIndex(connectorRG);
    if (com < 1)
        return;
    const QString trimmed = device.trimmed();
    if (trimmed.isEmpty() || trimmed == portDeviceName(com))
        devices_.remove(com);
    else
        devices_[com] = trimmed;
    showComButtons();
}

void TcommForm::testEnded()
{
    testing_ = false;
    TestBtn->setText(kTestCaption);
    showDevices();
}

void TcommForm::showChoice(const CommChoice& choice)
{
    setItemIndex(uploadBaudRG, choice.baudItem);
    setItemIndex(connectorRG, choice.connectorItem);
    setItemIndex(addrRG, choice.addressingItem);
    setItemIndex(parityRG, choice.parityItem);
    addressSlot->setText(choice.addressText);
    devices_ = choice.portDevices;
    showDevices();
    refreshPorts();
}

CommChoice TcommForm::choice() const
{
    return {itemIndex(uploadBaudRG), itemIndex(connectorRG), itemIndex(addrRG), itemIndex(parityRG), addressSlot->text(),
            devices_};
}

void TcommForm::OKBtnClick()
{
    const Result<void> checked = checkChoice(choice());
    if (checked) {
        accept();
        return;
    }
    prompts_.error(checked.error().message);
    selectField(static_cast<CommField>(checked.error().field().value_or(0)));
}

void TcommForm::selectField(CommField field)
{
    if (field != CommField::Address)
        return;
    addressSlot->setFocus(Qt::OtherFocusReason);
    addressSlot->selectAll();
}

int TcommForm::itemIndex(const QGroupBox* group)
{
    const auto* buttons = group->findChild<QButtonGroup*>();
    return buttons ? buttons->checkedId() : -1;
}

void TcommForm::setItemIndex(QGroupBox* group, int item)
{
    if (auto* buttons = group->findChild<QButtonGroup*>())
        if (auto* button = buttons->button(item))
            button->setChecked(true);
}

}  // namespace dnp
