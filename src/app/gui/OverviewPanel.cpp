#include "app/gui/OverviewPanel.h"

#include "widgets/DialogKit.h"

#include <QGridLayout>
#include <QLabel>

namespace dnp {
namespace {

// The rows of the point table, by point type.
constexpr std::array<const char*, kPointTypeCount> kTypeHeadings = {"Binary Inputs", "Binary Outputs", "Analog Inputs",
                                                                   "Analog Outputs", "Counters"};
// The rows of the unsolicited settings, and their labels' names.
constexpr std::array<std::array<const char*, 2>, kUnsolicitedRowCount> kUnsolicitedRows = {{
    {"Dead band", "Deadband"}, {"Minimum events", "MinEvents"}, {"Notification delay", "NotDelay"}}};
constexpr int kClassCount = 4;
constexpr int kFirstClassColumn = 1;
constexpr int kValueColumnSpan = kClassCount;
constexpr int kColumnGap = 24;
constexpr int kRowGap = 2;
constexpr int kMargin = 12;
// The rows of text: the class headings, one per point type, the unsolicited settings,
// the five value rows and the first step.
constexpr int kValueRows = 5;
constexpr int kTextRows = 1 + kPointTypeCount + kUnsolicitedRowCount + kValueRows + 1;
constexpr int kGapRows = 3;
// A bold line may be a pixel taller than a plain one.
constexpr int kBoldSlack = 1;

QLabel* boldLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

OverviewPanel::OverviewPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Overview"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    grid->setHorizontalSpacing(kColumnGap);
    grid->setVerticalSpacing(kRowGap);

    grid->addWidget(boldLabel(QStringLiteral("Points"), this), 0, 0);
    for (int cls = 0; cls < kClassCount; ++cls)
        grid->addWidget(boldLabel(QStringLiteral("Class %1").arg(cls), this), 0, kFirstClassColumn + cls, Qt::AlignRight);
    for (PointType type : kAllPointTypes) {
        const int row = 1 + typeNumber(type);
        grid->addWidget(new QLabel(QString::fromLatin1(kTypeHeadings[typeNumber(type)]), this), row, 0);
        for (int cls = 0; cls < kClassCount; ++cls) {
            auto* count = new QLabel(this);
            count->setObjectName(QStringLiteral("Overview%1Class%2").arg(pointTypeName(type)).arg(cls));
            count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(count, row, kFirstClassColumn + cls);
            counts_[typeNumber(type)][cls] = count;
        }
    }
    int row = 1 + kPointTypeCount;
    grid->setRowMinimumHeight(row++, kMargin);
    for (int r = 0; r < kUnsolicitedRowCount; ++r, ++row) {
        grid->addWidget(new QLabel(QString::fromLatin1(kUnsolicitedRows[r][0]), this), row, 0);
        for (int cls = 1; cls < kClassCount; ++cls) {
            auto* value = new QLabel(this);
            value->setObjectName(QStringLiteral("Overview%1Class%2").arg(QLatin1String(kUnsolicitedRows[r][1])).arg(cls));
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(value, row, kFirstClassColumn + cls);
            unsolicited_[r][cls - 1] = value;
        }
    }
    grid->setRowMinimumHeight(row++, kMargin);
    words_ = addValueRow(grid, row++, QStringLiteral("Class 0 words"), QStringLiteral("OverviewWords"));
    mapping_ = addValueRow(grid, row++, QStringLiteral("Mapping"), QStringLiteral("OverviewMapping"));
    port_ = addValueRow(grid, row++, QStringLiteral("Port"), QStringLiteral("OverviewPort"));
    folder_ = addValueRow(grid, row++, QStringLiteral("Folder"), QStringLiteral("OverviewFolder"));
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lastTransfer_ = addValueRow(grid, row, QStringLiteral("<a href=\"history\">Last transfer</a>"),
                                QStringLiteral("OverviewLastTransfer"));
    auto* historyLink = static_cast<QLabel*>(grid->itemAtPosition(row++, 0)->widget());
    historyLink->setObjectName(QStringLiteral("OverviewHistoryLink"));
    historyLink->setToolTip(QStringLiteral("Every recorded transfer (Panel > History...)"));
    connect(historyLink, &QLabel::linkActivated, this, &OverviewPanel::historyRequested);
    grid->setRowMinimumHeight(row++, kMargin);
    firstStep_ = new QLabel(this);
    firstStep_->setObjectName(QStringLiteral("OverviewFirstStep"));
    firstStep_->setFrameShape(QFrame::StyledPanel);
    firstStep_->setMargin(kRowGap * 3);
    grid->addWidget(firstStep_, row++, 0, 1, kFirstClassColumn + kValueColumnSpan + 1);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(kFirstClassColumn + kClassCount, 1);
    showOverview({});
}

int OverviewPanel::plannedHeight(const QFontMetrics& font)
{
    const int lines = kTextRows * (font.height() + kBoldSlack) + (kTextRows + kGapRows) * kRowGap;
    return 2 * kMargin + lines + kGapRows * kMargin;  // the gaps between the parts
}

QLabel* OverviewPanel::addValueRow(QGridLayout* grid, int row, const QString& heading, const QString& name)
{
    grid->addWidget(boldLabel(heading, this), row, 0);
    auto* value = new QLabel(this);
    value->setObjectName(name);
    grid->addWidget(value, row, kFirstClassColumn, 1, kValueColumnSpan + 1);
    return value;
}

void OverviewPanel::showOverview(const DeskOverview& overview)
{
    for (PointType type : kAllPointTypes)
        for (int cls = 0; cls < kClassCount; ++cls)
            counts_[typeNumber(type)][cls]->setText(QString::number(overview.points[typeNumber(type)][cls]));
    showWordBudget(words_, overview.words);
    mapping_->setText(overview.mapping);
    for (int r = 0; r < kUnsolicitedRowCount; ++r)
        for (int cls = 1; cls < kClassCount; ++cls)
            unsolicited_[r][cls - 1]->setText(overview.unsolicited[r][cls - 1]);
    port_->setText(overview.port);
    folder_->setText(overview.folder);
    lastTransfer_->setText(overview.lastTransfer);
    firstStep_->setText(overview.firstStep);
    firstStep_->setVisible(!overview.firstStep.isEmpty());
}

}  // namespace dnp
