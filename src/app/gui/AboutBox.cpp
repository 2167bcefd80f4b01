#include "app/gui/AboutBox.h"

#include "model/Version.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace dnp {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    auto* title = new QLabel("DNP Configure", this);
    QFont f = title->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 2);
    title->setFont(f);
    auto* release = new QLabel(QStringLiteral("Version %1\nDNP 3.0 point map configuration for the regulator control panel")
                                   .arg(QString::fromLatin1(kVersion)),
                               this);
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("OKButton");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(title, 0, 1);
    layout->addWidget(release, 1, 1);
    layout->addWidget(close, 2, 0, 1, 2, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace dnp
