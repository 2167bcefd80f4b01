#include "classes/gui/CheckListBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>

namespace dnp {

CheckListBox::CheckListBox(const PointGroup& group, int rowsPerColumn, const std::vector<ColumnHeading>& headings,
                           QWidget* parent)
    : QWidget(parent), group_(group), rowsPerColumn_(rowsPerColumn > 0 ? rowsPerColumn : group.count),
      grid_(new QGridLayout(this))
{
    setObjectName(QString::fromLatin1(group.listName));
    grid_->setContentsMargins(4, 4, 4, 4);
    grid_->setHorizontalSpacing(16);
    grid_->setVerticalSpacing(0);
    const PointCatalog& catalog = PointCatalog::instance();
    const int headingRow = 0;
    for (const ColumnHeading& h : headings) {
        auto* label = new QLabel(h.text, this);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        grid_->addWidget(label, headingRow, h.firstRow / rowsPerColumn_);
    }
    for (int row = 0; row < group.count; ++row) {
        const CatalogPoint& p = catalog.point(group.type, group.firstTypeIndex + row);
        auto* box = new QCheckBox(this);
        box->setText(QString(p.editorText).replace('&', QLatin1String("&&")));  // shown as written, no mnemonics
        box->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(group.listName)).arg(row));
        box->installEventFilter(this);
        connect(box, &QCheckBox::clicked, this, [this, row] { emit itemClicked(row); });
        grid_->addWidget(box, 1 + row % rowsPerColumn_, row / rowsPerColumn_);
        boxes_.push_back(box);
    }
    grid_->setRowStretch(rowsPerColumn_ + 2, 1);
}

namespace {

// The colours of a box that cannot be chosen: those of a disabled box, for the text and
// for the box itself. It still takes clicks, so that the editor can tell why.
QPalette greyedPalette(const QPalette& shown)
{
    QPalette greyed;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::Base,
                                     QPalette::Button, QPalette::Window})
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            greyed.setColor(group, role, shown.color(QPalette::Disabled, role));
    return greyed;
}

}  // namespace

void CheckListBox::showStates(const ClassEditor& editor)
{
    const QPalette greyed = greyedPalette(palette());
    for (int row = 0; row < group_.count; ++row) {
        const int index = group_.base + row;
        const ItemState s = editor.view().items[index];
        QCheckBox* box = boxes_[row];
        box->setCheckState(s == ItemState::Checked ? Qt::Checked : Qt::Unchecked);
        box->setToolTip(s == ItemState::Greyed ? editor.greyReason(index) : QString());
        box->setPalette(s == ItemState::Greyed ? greyed : QPalette());
    }
}

bool CheckListBox::eventFilter(QObject* watched, QEvent* event)
{
    for (int row = 0; row < group_.count; ++row) {
        if (boxes_[row] != watched)
            continue;
        if (event->type() == QEvent::MouseButtonDblClick) {
            emit itemDoubleClicked(row);
        } else if (event->type() == QEvent::FocusIn) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::OtherFocusReason)
                emit itemSelected(row);
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace dnp
