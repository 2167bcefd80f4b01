#include "app/gui/HistoryWindow.h"

#include "app/PanelOutcome.h"
#include "widgets/DialogKit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

namespace dnp {
namespace {

// The table's columns: heading, and the record's field.
struct HistoryColumn {
    const char* heading;
    QString HistoryRecord::*text;  // nullptr: the seconds, sorted as a number
};
const HistoryColumn kColumns[] = {
    {"Time (UTC)", &HistoryRecord::time}, {"Device", &HistoryRecord::device},   {"Address", &HistoryRecord::address},
    {"Action", &HistoryRecord::action},   {"Outcome", &HistoryRecord::outcome}, {"Seconds", nullptr},
    {"Message", &HistoryRecord::message}, {"User", &HistoryRecord::user},       {"Host", &HistoryRecord::host},
    {"Program", &HistoryRecord::program}, {"Configuration", &HistoryRecord::config},
};
constexpr int kRecordRole = Qt::UserRole;
constexpr int kSecondsRole = Qt::UserRole + 1;

// The seconds, shown to 0.1 s and sorted as numbers.
class SecondsItem : public QTableWidgetItem {
public:
    explicit SecondsItem(double seconds) : QTableWidgetItem(secondsText(seconds))
    {
        setData(kSecondsRole, seconds);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(kSecondsRole).toDouble() < other.data(kSecondsRole).toDouble();
    }
};
const QString kAllDevices = QStringLiteral("All devices");
const QString kAllOutcomes = QStringLiteral("All outcomes");

}  // namespace

HistoryWindow::HistoryWindow(HistoryWindowActions actions, QWidget* parent) : QDialog(parent), actions_(std::move(actions))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History"));

    DeviceFilter = new QComboBox(this);
    DeviceFilter->setObjectName(QStringLiteral("DeviceFilter"));
    DeviceFilter->setEditable(true);
    DeviceFilter->setInsertPolicy(QComboBox::NoInsert);
    DeviceFilter->lineEdit()->setPlaceholderText(kAllDevices);
    DeviceFilter->setMinimumContentsLength(24);
    OutcomeFilter = new QComboBox(this);
    OutcomeFilter->setObjectName(QStringLiteral("OutcomeFilter"));
    OutcomeFilter->addItem(kAllOutcomes, QString());
    for (const QString& result : panelResultNames())
        OutcomeFilter->addItem(result, result);
    RefreshBtn = dialogButton(this, QStringLiteral("RefreshBtn"), QStringLiteral("&Refresh"));
    auto* filters = new QHBoxLayout;
    auto* deviceLabel = new QLabel(QStringLiteral("&Device:"), this);
    deviceLabel->setBuddy(DeviceFilter);
    filters->addWidget(deviceLabel);
    filters->addWidget(DeviceFilter, 1);
    auto* outcomeLabel = new QLabel(QStringLiteral("&Outcome:"), this);
    outcomeLabel->setBuddy(OutcomeFilter);
    filters->addWidget(outcomeLabel);
    filters->addWidget(OutcomeFilter);
    filters->addWidget(RefreshBtn);

    summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("HistorySummary"));
    summary->setWordWrap(true);
    chainState = new QLabel(this);
    chainState->setObjectName(QStringLiteral("HistoryChain"));
    chainState->setWordWrap(true);
    table = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    table->setObjectName(QStringLiteral("HistoryTable"));
    QStringList headings;
    for (const HistoryColumn& column : kColumns)
        headings << QString::fromLatin1(column.heading);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    traceView = new QPlainTextEdit(this);
    traceView->setObjectName(QStringLiteral("HistoryTrace"));
    traceView->setReadOnly(true);
    traceView->setLineWrapMode(QPlainTextEdit::NoWrap);
    traceView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    traceView->setPlaceholderText(QStringLiteral("The line trace of the record selected above."));
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table);
    split->addWidget(traceView);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    CopyBtn = dialogButton(this, QStringLiteral("CopyBtn"), QStringLiteral("&Copy"));
    CopyBtn->setToolTip(QStringLiteral("The selected records as CSV, to paste into a spreadsheet"));
    ExportBtn = dialogButton(this, QStringLiteral("ExportBtn"), QStringLiteral("&Export CSV..."));
    CloseBtn = dialogButton(this, QStringLiteral("CloseBtn"), QStringLiteral("C&lose"), true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(summary);
    layout->addWidget(chainState);
    layout->addWidget(split, 1);
    layout->addLayout(buttonRow({CopyBtn, ExportBtn, CloseBtn}));
    resize(1000, 640);

    connect(RefreshBtn, &QPushButton::clicked, this, &HistoryWindow::recheck);
    connect(DeviceFilter, &QComboBox::activated, this, &HistoryWindow::refresh);
    connect(DeviceFilter->lineEdit(), &QLineEdit::returnPressed, this, &HistoryWindow::refresh);
    connect(OutcomeFilter, &QComboBox::activated, this, &HistoryWindow::refresh);
    connect(table, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::showTrace);
    connect(CopyBtn, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(QString::fromUtf8(historyCsv(selectedRecords())));
    });
    connect(ExportBtn, &QPushButton::clicked, this, [this] { actions_.exportCsv(records_); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    if (actions_.showHelp)
        addHelpKey(this, actions_.showHelp);
    recheck();
}

void HistoryWindow::refresh()
{
    HistoryFilter filter;
    filter.device = DeviceFilter->currentText().trimmed();
    filter.outcome = OutcomeFilter->currentData().toString();
    filter.limit = kShownRecords;
    const Result<std::vector<HistoryRecord>> read = actions_.records(filter);
    records_ = read ? *read : std::vector<HistoryRecord>{};
    showRecords();
    if (!read)
        summary->setText(QStringLiteral("The history cannot be read: ") + read.error().message);
    else if (records_.empty())
        summary->setText(QStringLiteral("No panel command is recorded%1.")
                             .arg(filter.device.isEmpty() && filter.outcome.isEmpty() ? QString()
                                                                                      : QStringLiteral(" that the filter takes")));
    else if (static_cast<int>(records_.size()) == kShownRecords)
        summary->setText(QStringLiteral("The newest %1 records.").arg(kShownRecords));
    else
        summary->setText(records_.size() == 1 ? QStringLiteral("1 record.")
                                              : QStringLiteral("%1 records.").arg(records_.size()));
}

void HistoryWindow::recheck()
{
    refresh();
    if (!actions_.chain)
        return;
    const Result<ChainCheck> chain = actions_.chain();
    chainState->setText(chain ? chainCheckText(*chain) : QString());
    chainState->setStyleSheet(chain && !chain->broken.isEmpty() ? QStringLiteral("color: darkred") : QString());
}

void HistoryWindow::showRecords()
{
    table->setSortingEnabled(false);
    table->clearContents();
    table->setRowCount(static_cast<int>(records_.size()));
    std::set<QString> devices;
    for (int r = 0; r < table->rowCount(); ++r) {
        const HistoryRecord& record = records_[static_cast<std::size_t>(r)];
        devices.insert(record.device);
        const bool bad = record.outcome != panelResultName(PanelResult::Ok) &&
                         record.outcome != panelResultName(PanelResult::Cancelled);
        for (int c = 0; c < table->columnCount(); ++c) {
            const HistoryColumn& column = kColumns[c];
            auto* item = column.text ? new QTableWidgetItem(record.*column.text) : new SecondsItem(record.seconds);
            item->setData(kRecordRole, r);
            if (bad)
                item->setForeground(QBrush(Qt::darkRed));
            table->setItem(r, c, item);
        }
    }
    table->setSortingEnabled(true);
    table->resizeColumnsToContents();
    // The devices seen, to choose from; what was typed stays.
    const QString typed = DeviceFilter->currentText();
    for (const QString& device : devices)
        if (DeviceFilter->findText(device) < 0)
            DeviceFilter->addItem(device);
    DeviceFilter->setEditText(typed);
    CopyBtn->setEnabled(false);
    ExportBtn->setEnabled(!records_.empty());
    traceView->clear();
}

std::vector<HistoryRecord> HistoryWindow::selectedRecords() const
{
    std::vector<HistoryRecord> selected;
    for (const QModelIndex& row : table->selectionModel()->selectedRows())
        selected.push_back(records_[static_cast<std::size_t>(row.data(kRecordRole).toInt())]);
    return selected;
}

void HistoryWindow::showTrace()
{
    const std::vector<HistoryRecord> selected = selectedRecords();
    CopyBtn->setEnabled(!selected.empty());
    traceView->setPlainText(selected.size() == 1 ? selected.front().trace : QString());
}

}  // namespace dnp
