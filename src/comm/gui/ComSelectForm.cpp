#include "comm/gui/ComSelectForm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace dnp {

TComSelectForm::TComSelectForm(const QList<int>& ports, QWidget* parent) : CentredDialog(parent)
{
    setObjectName("ComSelectForm");
    setWindowTitle(QStringLiteral("Select Port"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    Label1 = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
    Label2 = new QLabel(QStringLiteral("Please choose another port."), this);
    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName("PortsComboBox");
    PortsComboBox->setEditable(false);
    for (int port : ports)
        PortsComboBox->addItem(QStringLiteral("COM%1").arg(port));
    PortsComboBox->setCurrentIndex(ports.isEmpty() ? -1 : 0);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    // With no port found there is nothing to choose: only Cancel leaves the dialog.
    OKBtn->setEnabled(!ports.isEmpty());
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
    layout->addSpacing(4);
    layout->addWidget(PortsComboBox);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<int> TComSelectForm::chosenPort() const
{
    const QString text = PortsComboBox->currentText();
    if (!text.startsWith(QLatin1String("COM")))
        return std::nullopt;
    bool ok = false;
    const int number = text.mid(3).toInt(&ok);
    if (!ok || number < 1)
        return std::nullopt;
    return number;
}

std::optional<int> TComSelectForm::selectPort(const QList<int>& ports, QWidget* parent)
{
    TComSelectForm form(ports, parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.chosenPort();
}

SelectPortStep comSelectStep(std::function<QWidget*()> parent)
{
    return [parent = std::move(parent)](const QList<int>& ports) {
        return TComSelectForm::selectPort(ports, parent ? parent() : nullptr);
    };
}

}  // namespace dnp
