#include "comm/gui/ComSelectForm.h"

#include "comm/PortList.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace dnp {

TComSelectForm::TComSelectForm(const QList<int>& ports, const QMap<int, QString>& devices, QWidget* parent)
    : CentredDialog(parent)
{
    setObjectName("ComSelectForm");
    setWindowTitle(QStringLiteral("Select Port"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    Label1 = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
    Label2 = new QLabel(QStringLiteral("Please choose another port."), this);
    TypeHint = new QLabel(QStringLiteral("Choose a COM number, or type a device such as /dev/ttyUSB0 or tcp://HOST:PORT."), this);
    TypeHint->setObjectName("TypeHint");
    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName("PortsComboBox");
    PortsComboBox->setEditable(true);
    PortsComboBox->setInsertPolicy(QComboBox::NoInsert);
    PortsComboBox->setMinimumContentsLength(32);
    for (int port : ports)
        PortsComboBox->addItem(QStringLiteral("COM%1").arg(port));
    PortsComboBox->setCurrentIndex(ports.isEmpty() ? -1 : 0);

    // What stands behind each number, and the machine's ports that have none.
    const QList<MachinePort> machine = machinePorts(devices);
    QStringList numbered;
    const auto described = [&machine](const QString& device) {
        for (const MachinePort& port : machine)
            if (port.device == device)
                return describePort(port);
        return device;
    };
    for (int i = 0; i < ports.size(); ++i) {
        const QString device = portDeviceName(ports[i], devices);
        numbered << device;
        PortsComboBox->setItemData(i, described(device), Qt::ToolTipRole);
    }
    PortDetails = new QLabel(this);
    PortDetails->setObjectName("PortDetails");
    const auto showDetails = [this](int index) { PortDetails->setText(PortsComboBox->itemData(index, Qt::ToolTipRole).toString()); };
    connect(PortsComboBox, &QComboBox::currentIndexChanged, this, showDetails);
    showDetails(PortsComboBox->currentIndex());
    QStringList others;
    for (const MachinePort& port : machine)
        if (!numbered.contains(port.device)) {
            others << describePort(port);
            PortsComboBox->addItem(port.device);
            PortsComboBox->setItemData(PortsComboBox->count() - 1, describePort(port), Qt::ToolTipRole);
        }
    OtherPorts = new QLabel(this);
    OtherPorts->setObjectName("OtherPorts");
    OtherPorts->setText(QStringLiteral("Ports without a COM number (choose one above, or give it a number in "
                                       "Communication Settings):\n") +
                        others.join(QLatin1Char('\n')));
    OtherPorts->setVisible(!others.isEmpty());

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    // With nothing chosen or typed only Cancel leaves the dialog.
    const auto allowOk = [this] { OKBtn->setEnabled(chosenPort().has_value()); };
    connect(PortsComboBox, &QComboBox::editTextChanged, this, allowOk);
    allowOk();
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(TypeHint);
    layout->addSpacing(4);
    layout->addWidget(PortsComboBox);
    layout->addWidget(PortDetails);
    layout->addWidget(OtherPorts);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<PortChoice> TComSelectForm::chosenPort() const
{
    static const QRegularExpression comNumber(QStringLiteral("^COM ?([1-9][0-9]{0,2})$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString text = PortsComboBox->currentText().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (const QRegularExpressionMatch number = comNumber.match(text); number.hasMatch())
        return number.captured(1).toInt();
    return text;
}

PortChoice TComSelectForm::selectPort(const QList<int>& ports, const QMap<int, QString>& devices, QWidget* parent)
{
    TComSelectForm form(ports, devices, parent);
    if (form.exec() != QDialog::Accepted)
        return PortCancelled{};
    return form.chosenPort().value_or(PortCancelled{});
}

}  // namespace dnp
