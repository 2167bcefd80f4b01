#include "comm/gui/CommForm.h"

#include "widgets/DialogKit.h"

#include "comm/PortList.h"
#include "comm/SerialPort.h"
#include "model/UserPrompts.h"

#include <QButtonGroup>
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

QGroupBox* radioGroup(QWidget* parent, const char* name, const QString& caption, const QStringList& items)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    auto* buttons = new QButtonGroup(group);
    auto* layout = new QVBoxLayout(group);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], group);
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
    addressLabel = new QLabel(QStringLiteral("&Address: "), frame);
    addressSlot = new QLineEdit(frame);
    addressSlot->setObjectName("addressSlot");
    addressSlot->setFixedWidth(kAddressWidth);
    addressLabel->setBuddy(addressSlot);

    // Baud at the left, connector in the middle, addressing at the top right with
    // parity under it, the address at the bottom right.
    auto* address = new QHBoxLayout;
    address->addWidget(addressLabel);
    address->addWidget(addressSlot);
    address->addStretch();
    auto* grid = new QGridLayout(frame);
    grid->addWidget(uploadBaudRG, 0, 0, 3, 1);
    grid->addWidget(connectorRG, 0, 1, 3, 1);
    grid->addWidget(addrRG, 0, 2);
    grid->addWidget(parityRG, 1, 2);
    grid->addLayout(address, 2, 2);

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
    auto* portsLayout = new QVBoxLayout(ports);
    portsLayout->addWidget(new QLabel(QStringLiteral("Click a port to use it for the COM number chosen above."), ports));
    portsLayout->addWidget(machinePortsList);
    portsLayout->addLayout(buttonRow({RefreshBtn}));
    grid->addWidget(ports, 3, 0, 1, 3);

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
    connect(machinePortsList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { usePort(machinePortsList->indexOfTopLevelItem(item)); });
    refreshPorts();
}

void TcommForm::refreshPorts()
{
    machinePortsList->clear();
    for (const MachinePort& port : machinePorts(devices_))
        machinePortsList->addTopLevelItem(
            new QTreeWidgetItem(QStringList{port.device, port.description, port.manufacturer, port.usbId}));
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

// Each COM button names the device it stands for.
void TcommForm::showDevices()
{
    const QMap<int, QString> devices = comDevices(devices_);
    const auto* buttons = connectorRG->findChild<QButtonGroup*>();
    for (int com = 1; com <= TcomSetIni::kHighestComPort; ++com)
        if (QAbstractButton* button = buttons->button(com))
            button->setText(QStringLiteral("COM %1 (%2)").arg(com).arg(devices.value(com)));
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
    selectField(static_cast<CommField>(checked.error().line));
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
