#include "app/gui/LineTraceWindow.h"

#include "widgets/DialogKit.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dnp {
namespace {

enum Column { TimeColumn, LineColumn, MessageColumn, ProblemColumn, BytesColumn };

}  // namespace

LineTraceWindow::LineTraceWindow(std::function<void()> save, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LineTraceWindow"));
    setWindowTitle(QStringLiteral("Line Trace"));
    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("TraceSummary"));
    table = new QTableWidget(0, static_cast<int>(kTraceHeadings.size()), this);
    table->setObjectName(QStringLiteral("TraceTable"));
    table->setHorizontalHeaderLabels(kTraceHeadings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setMinimumSize(900, 360);

    CopyBtn = dialogButton(this, QStringLiteral("CopyBtn"), QStringLiteral("&Copy"));
    SaveBtn = dialogButton(this, QStringLiteral("SaveBtn"), QStringLiteral("&Save..."));
    CloseBtn = dialogButton(this, QStringLiteral("CloseBtn"), QStringLiteral("C&lose"), true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(table);
    layout->addLayout(buttonRow({CopyBtn, SaveBtn, CloseBtn}));

    connect(CopyBtn, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text_.join(QLatin1Char('\n')) + QLatin1Char('\n')); });
    connect(SaveBtn, &QPushButton::clicked, this, [save = std::move(save)] { save(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    showTrace({}, {});
}

void LineTraceWindow::showTrace(const std::vector<LineEvent>& trace, const QStringList& text)
{
    text_ = text;
    const std::vector<TraceRow> rows = traceRows(trace);
    summary->setText(rows.empty() ? traceLines(trace).front()
                                  : QStringLiteral("The frames of the last transfer with the panel: %1.").arg(rows.size()));
    table->setRowCount(static_cast<int>(rows.size()));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int r = 0; r < table->rowCount(); ++r) {
        const TraceRow& row = rows[static_cast<std::size_t>(r)];
        const QStringList cells = {row.time, row.direction, row.message, row.problem, row.bytes};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == BytesColumn)
                item->setFont(fixed);
            if (c == TimeColumn || c == MessageColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!row.problem.isEmpty())
                item->setForeground(QBrush(Qt::darkRed));
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    SaveBtn->setEnabled(!rows.empty());
    CopyBtn->setEnabled(!rows.empty());
    // The row of the first problem in view.
    for (int r = 0; r < table->rowCount(); ++r)
        if (!rows[static_cast<std::size_t>(r)].problem.isEmpty()) {
            table->scrollToItem(table->item(r, TimeColumn));
            break;
        }
}

}  // namespace dnp
