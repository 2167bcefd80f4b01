#include "app/gui/DifferencesDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace dnp {
namespace {

constexpr int kSmallestTableWidth = 640;
constexpr int kSmallestTableHeight = 300;

}  // namespace

QString differenceCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 difference") : QStringLiteral("%1 differences").arg(count);
}

DifferencesDialog::DifferencesDialog(const QString& fileName, const QList<QStringList>& rows, QWidget* parent)
    : DifferencesDialog(QStringLiteral("Compare With File"),
                        QStringLiteral("%1 between the configuration (A) and %2 (B):").arg(differenceCount(rows.size()), fileName),
                        rows, parent)
{
}

DifferencesDialog::DifferencesDialog(const QString& title, const QString& headingText, const QList<QStringList>& rows,
                                     QWidget* parent)
    : CentredDialog(parent)
{
    setObjectName("DifferencesDialog");
    setWindowTitle(title);
    setModal(true);

    auto* heading = new QLabel(headingText, this);
    heading->setWordWrap(true);
    const QStringList columns = differenceColumns();
    table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(columns.size()), this);
    table->setObjectName("DifferencesTable");
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    for (int row = 0; row < table->rowCount(); ++row) {
        const QStringList& cells = rows[row];
        for (int column = 0; column < cells.size() && column < table->columnCount(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    int contentWidth = 2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < table->columnCount(); ++column)
        contentWidth += table->columnWidth(column);
    const int screenWidth = screen() ? screen()->availableGeometry().width() : contentWidth;
    table->setMinimumSize(std::min(std::max(kSmallestTableWidth, contentWidth), screenWidth * 9 / 10), kSmallestTableHeight);

    CopyAllBtn = dialogButton(this, "CopyAllBtn", QStringLiteral("Copy &All"));
    CloseBtn = dialogButton(this, "CloseBtn", QStringLiteral("&Close"), true);
    count = new QLabel(differenceCount(rows.size()), this);
    count->setObjectName("DifferenceCount");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(table);
    layout->addWidget(count);
    layout->addLayout(buttonRow({CopyAllBtn, CloseBtn}));

    connectCopyAndClose(this, table, CopyAllBtn, CloseBtn, [this](bool selectedOnly) { return tableText(selectedOnly); });
}

QString DifferencesDialog::tableText(bool selectedOnly) const
{
    QStringList lines{differenceColumns().join(QLatin1Char('\t'))};
    for (int row = 0; row < table->rowCount(); ++row) {
        if (selectedOnly && !table->selectionModel()->isRowSelected(row, {}))
            continue;
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace dnp
