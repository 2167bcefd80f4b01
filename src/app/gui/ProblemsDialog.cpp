#include "app/gui/ProblemsDialog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace dnp {
namespace {

constexpr int kListWidth = 560;
constexpr int kListHeight = 240;

}  // namespace

ProblemsDialog::ProblemsDialog(const QString& headingText, const QStringList& problems, QWidget* parent)
    : CentredDialog(parent)
{
    setObjectName(QStringLiteral("ProblemsDialog"));
    setWindowTitle(QStringLiteral("Error"));
    setModal(true);
    setSizeGripEnabled(true);
    heading = new QLabel(headingText, this);
    heading->setObjectName(QStringLiteral("ProblemsHeading"));
    heading->setWordWrap(true);
    heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("ProblemsList"));
    list->addItems(problems);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumSize(kListWidth, kListHeight);
    CopyAllBtn = dialogButton(this, QStringLiteral("CopyAllBtn"), QStringLiteral("Copy &All"));
    CloseBtn = dialogButton(this, QStringLiteral("CloseBtn"), QStringLiteral("&Close"), true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(list, 1);
    layout->addLayout(buttonRow({CopyAllBtn, CloseBtn}));

    connectCopyAndClose(this, list, CopyAllBtn, CloseBtn, [this](bool selectedOnly) { return text(selectedOnly); });
}

QString ProblemsDialog::text(bool selectedOnly) const
{
    QStringList lines;
    if (!selectedOnly)
        lines << heading->text();
    for (int row = 0; row < list->count(); ++row)
        if (!selectedOnly || list->item(row)->isSelected())
            lines << list->item(row)->text();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace dnp
