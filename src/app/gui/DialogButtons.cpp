#include "app/gui/DialogButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace dnp {

QPushButton* dialogButton(QWidget* parent, const QString& objectName, const QString& caption, bool isDefault)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    return button;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

}  // namespace dnp
