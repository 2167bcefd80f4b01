#include "comm/gui/SortForm.h"

#include "comm/TransferText.h"
#include "widgets/UserPrompts.h"
#include "widgets/DialogKit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QPainter>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace dnp {

namespace {

const QString kOrderMimeType = QStringLiteral("application/x-dnp-class0-order");

// Where each type's lists sit in the group box: the three short lists side by side
// above the two long ones, which get half the width each.
struct ListPlace {
    PointType type;
    int row;
    int column;
    int columnSpan;
};
constexpr int kGridColumns = 6;
constexpr std::array<ListPlace, kPointTypeCount> kListPlaces = {{
    {PointType::Bin, 0, 0, 2},
    {PointType::Bout, 0, 2, 2},
    {PointType::Counters, 0, 4, 2},
    {PointType::Ain, 1, 0, 3},
    {PointType::Aout, 1, 3, 3},
}};

// A row of an order or retrieve list, "3\u20134  Meter: Inst: Vld": the point number(s)
// right-aligned in a column of their own, the name after them.
class NumberedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        const qsizetype gap = text.indexOf(QStringLiteral("  "));
        if (gap < 0)
            return QStyledItemDelegate::paint(painter, option, index);
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
        const int numberWidth = item.fontMetrics.horizontalAdvance(QStringLiteral("000\u2013000"));
        const int spacing = item.fontMetrics.horizontalAdvance(QLatin1Char(' ')) * 2;
        painter->save();
        painter->setPen(item.palette.color(item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                                           item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(area.left(), area.top(), numberWidth, area.height()), Qt::AlignRight | Qt::AlignVCenter,
                          text.left(gap));
        painter->drawText(area.adjusted(numberWidth + spacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          item.fontMetrics.elidedText(text.mid(gap + 2), Qt::ElideRight, area.width() - numberWidth - spacing));
        painter->restore();
    }
};

constexpr int kShortListWidth = 270;
constexpr int kLongListWidth = 410;
constexpr int kShortListHeight = 140;
constexpr int kLongListHeight = 300;

}  // namespace

// --- OrderListBox ---------------------------------------------------------------

OrderListBox::OrderListBox(OrderWindowActions& actions, PointType type, QWidget* parent)
    : QListWidget(parent), actions_(actions), type_(type)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);  // the drag is started below, so that every move goes through the model
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
}

void OrderListBox::reload()
{
    clear();
    addItems(actions_.order().orderTexts(type_));
}

int OrderListBox::rowAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    return index.isValid() ? index.row() : -1;
}

bool OrderListBox::acceptsDragFrom(const QObject* source) const
{
    return source == this;
}

void OrderListBox::dropAt(int from, int row)
{
    if (from < 0 || from >= count())
        return;  // a drag begun below the last item moves nothing
    actions_.moveOrderItem(type_, from, row);
    reload();
    setCurrentRow(row == -1 ? count() - 1 : row);
}

void OrderListBox::mousePressEvent(QMouseEvent* event)
{
    QListWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    pressRow_ = rowAt(pos);
    pressPos_ = pos;
}

void OrderListBox::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressPos_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *pressPos_).manhattanLength() < QApplication::startDragDistance()) {
        QListWidget::mouseMoveEvent(event);
        return;
    }
    pressPos_.reset();
    auto* mime = new QMimeData;
    mime->setData(kOrderMimeType, QByteArray::number(typeNumber(type_)));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

void OrderListBox::mouseReleaseEvent(QMouseEvent* event)
{
    pressPos_.reset();
    QListWidget::mouseReleaseEvent(event);
}

void OrderListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptsDragFrom(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void OrderListBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDragFrom(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void OrderListBox::dropEvent(QDropEvent* event)
{
    if (!acceptsDragFrom(event->source())) {
        event->ignore();
        return;
    }
    dropAt(pressRow_, rowAt(event->position().toPoint()));
    event->acceptProposedAction();
}

// --- TSortForm --------------------------------------------------------------------

TSortForm::TSortForm(OrderWindowActions& actions, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), actions_(actions), prompts_(prompts)
{
    setObjectName(QStringLiteral("SortForm"));
    setModal(true);

    auto* order = new QGroupBox(QStringLiteral("Data Order for Class 0"), this);
    order->setObjectName(QStringLiteral("Class0GB"));
    auto* grid = new QGridLayout(order);
    grid->setHorizontalSpacing(12);
    for (const ListPlace& place : kListPlaces) {
        const int n = typeNumber(place.type);
        const bool longList = place.type == PointType::Ain || place.type == PointType::Aout;
        auto* cell = new QVBoxLayout;
        cell->setSpacing(2);
        labels_[n] = new QLabel(orderListLabel(place.type), order);
        cell->addWidget(labels_[n]);

        class0Lists_[n] = new OrderListBox(actions_, place.type, order);
        class0Lists_[n]->setObjectName(QStringLiteral("Class0") + pointTypeName(place.type));
        retrieveLists_[n] = new QListWidget(order);
        retrieveLists_[n]->setObjectName(pointTypeName(place.type) + QStringLiteral("Retrieve"));
        retrieveLists_[n]->setSelectionMode(QAbstractItemView::SingleSelection);
        for (QListWidget* list : {static_cast<QListWidget*>(class0Lists_[n]), retrieveLists_[n]}) {
            list->setItemDelegate(new NumberedRowDelegate(list));
            list->setMinimumSize(longList ? kLongListWidth : kShortListWidth,
                                 longList ? kLongListHeight : kShortListHeight);
            cell->addWidget(list, 1);
        }
        grid->addLayout(cell, place.row, place.column, 1, place.columnSpan);
        labels_[n]->setBuddy(class0Lists_[n]);
        OrderListBox* orderList = class0Lists_[n];
        connect(orderList, &QListWidget::currentRowChanged, this, [this, orderList](int row) {
            if (row >= 0)
                usedList_ = orderList;
        });
    }
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 2);
    for (int column = 0; column < kGridColumns; ++column)
        grid->setColumnStretch(column, 1);

    MappingRG = makeMappingGroup(QStringLiteral("MappingRG"), mappingGroup_);
    RMappingRG = makeMappingGroup(QStringLiteral("RMappingRG"), rMappingGroup_);
    connect(mappingGroup_, &QButtonGroup::idClicked, this, [this](int item) {
        if (const std::optional<Mapping> mapping = mappingOfItem(item))
            actions_.chooseMapping(*mapping);
    });
    connect(rMappingGroup_, &QButtonGroup::idClicked, this, [this](int item) { RMappingRGClick(item); });

    OKtoSendButton = makeButton(QStringLiteral("OKtoSendButton"), QStringLiteral("&Send"));
    ScancelBtn = makeButton(QStringLiteral("ScancelBtn"), QStringLiteral("&Cancel"));
    SendHelpBtn = makeButton(QStringLiteral("SendHelpBtn"), QStringLiteral("&Help"));
    OKtoRetrieveButton = makeButton(QStringLiteral("OKtoRetrieveButton"), QStringLiteral("&Retrieve"));
    RokBtn = makeButton(QStringLiteral("RokBtn"), QStringLiteral("&OK"));
    RcancelBtn = makeButton(QStringLiteral("RcancelBtn"), QStringLiteral("&Cancel"));
    RetrieveHelpBtn = makeButton(QStringLiteral("RetrieveHelpBtn"), QStringLiteral("&Help"));
    OrderOkBtn = makeButton(QStringLiteral("OrderOkBtn"), QStringLiteral("&OK"));
    MoveUpBtn = makeButton(QStringLiteral("MoveUpBtn"), QStringLiteral("Move Up"));
    MoveDownBtn = makeButton(QStringLiteral("MoveDownBtn"), QStringLiteral("Move Down"));
    MoveUpBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    MoveDownBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    MoveUpBtn->setToolTip(QStringLiteral("Move the chosen point one place up (Alt+Up)"));
    MoveDownBtn->setToolTip(QStringLiteral("Move the chosen point one place down (Alt+Down)"));
    connect(MoveUpBtn, &QPushButton::clicked, this, [this] { moveChosenPoint(-1); });
    connect(MoveDownBtn, &QPushButton::clicked, this, [this] { moveChosenPoint(1); });
    connect(OrderOkBtn, &QPushButton::clicked, this, &QDialog::accept);
    OKtoSendButton->setDefault(true);
    connect(OKtoSendButton, &QPushButton::clicked, this, &TSortForm::OKtoSendButtonClick);
    connect(ScancelBtn, &QPushButton::clicked, this, &QDialog::reject);  // cancels a running send
    connect(SendHelpBtn, &QPushButton::clicked, this, [this] { prompts_.showHelp(actions_.order().helpTopic()); });
    connect(OKtoRetrieveButton, &QPushButton::clicked, this, &TSortForm::OKtoRetrieveButtonClick);
    connect(RokBtn, &QPushButton::clicked, this, &TSortForm::RokBtnClick);
    connect(RcancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(RetrieveHelpBtn, &QPushButton::clicked, this, [this] { prompts_.showHelp(kRetrieveHelpTopic); });
    addHelpKey(this, [this] { prompts_.showHelp(actions_.order().helpTopic()); });

    RetrieveProgressLabel = new QLabel(this);
    RetrieveProgressLabel->setObjectName(QStringLiteral("RetrieveProgressLabel"));
    RetrieveProgressLabel->setMinimumWidth(RetrieveProgressLabel->fontMetrics().horizontalAdvance(
        progressText(TransferKind::Read, kMessageCount)));
    RetrieveProgress = new QProgressBar(this);
    RetrieveProgress->setObjectName(QStringLiteral("RetrieveProgress"));
    RetrieveProgress->setRange(0, kMessageCount);
    RetrieveProgress->setValue(0);
    RetrieveProgress->setTextVisible(false);

    VerifyAfterSendBox = new QCheckBox(QStringLiteral("&Verify after sending"), this);
    VerifyAfterSendBox->setObjectName(QStringLiteral("VerifyAfterSendBox"));
    VerifyAfterSendBox->setToolTip(
        QStringLiteral("After a successful send, read the panel's configuration back and compare it with what was sent."));
    // The box is kept in the settings as soon as it changes.
    connect(VerifyAfterSendBox, &QCheckBox::toggled, this, [this](bool on) { actions_.setVerifyAfterSend(on); });

    WordCountLabel = new QLabel(this);
    WordCountLabel->setObjectName(QStringLiteral("WordCountLabel"));

    auto* side = new QVBoxLayout;
    side->addWidget(WordCountLabel);
    side->addWidget(MoveUpBtn);
    side->addWidget(MoveDownBtn);
    side->addSpacing(8);
    side->addWidget(MappingRG);
    side->addWidget(VerifyAfterSendBox);
    side->addWidget(RMappingRG);
    side->addWidget(RetrieveProgressLabel);
    side->addWidget(RetrieveProgress);
    side->addSpacing(16);
    for (QPushButton* b : {OKtoSendButton, OKtoRetrieveButton, RokBtn, OrderOkBtn, ScancelBtn, RcancelBtn})
        side->addWidget(b);
    side->addStretch(1);
    side->addWidget(SendHelpBtn);
    side->addWidget(RetrieveHelpBtn);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(order, 1);
    layout->addLayout(side);

    refresh();
}

QGroupBox* TSortForm::makeMappingGroup(const QString& name, QButtonGroup*& group)
{
    auto* box = new QGroupBox(QStringLiteral("DNP Mapping"), this);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    for (const Mapping mapping : kMappings) {
        const int item = mappingItem(mapping);
        auto* radio = new QRadioButton(mappingText(mapping), box);
        radio->setObjectName(name + QString::number(item));
        group->addButton(radio, item);
        layout->addWidget(radio);
    }
    return box;
}

QPushButton* TSortForm::makeButton(const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumWidth(100);
    return button;
}

void TSortForm::refresh()
{
    const SortModel& order = actions_.order();
    setWindowTitle(order.caption());
    const bool send = order.mode() == SortMode::Send;
    const bool ordering = order.showsOrder();
    for (QWidget* w : std::initializer_list<QWidget*>{OKtoSendButton, MappingRG, VerifyAfterSendBox})
        w->setVisible(send);
    // The order alone moves nothing over the line.
    for (QWidget* w : std::initializer_list<QWidget*>{RetrieveProgressLabel, RetrieveProgress})
        w->setVisible(order.mode() != SortMode::Order);
    for (QWidget* w : std::initializer_list<QWidget*>{SendHelpBtn, ScancelBtn, WordCountLabel, MoveUpBtn, MoveDownBtn})
        w->setVisible(ordering);
    for (QWidget* w : std::initializer_list<QWidget*>{RMappingRG, OKtoRetrieveButton, RetrieveHelpBtn, RokBtn, RcancelBtn})
        w->setVisible(!ordering);
    OrderOkBtn->setVisible(order.mode() == SortMode::Order);
    for (int n = 0; n < kPointTypeCount; ++n) {
        class0Lists_[n]->setVisible(ordering);
        retrieveLists_[n]->setVisible(!ordering);
        labels_[n]->setBuddy(ordering ? static_cast<QWidget*>(class0Lists_[n]) : retrieveLists_[n]);
    }
    OKtoSendButton->setDefault(send);
    OKtoRetrieveButton->setDefault(!ordering);
    OrderOkBtn->setDefault(order.mode() == SortMode::Order);
    const QSignalBlocker quiet(VerifyAfterSendBox);
    VerifyAfterSendBox->setChecked(actions_.verifyAfterSend());
    refreshLists();
    refreshMapping();
}

void TSortForm::refreshLists()
{
    showWordBudget(WordCountLabel, actions_.order().words());
    for (PointType t : kAllPointTypes) {
        class0Lists_[typeNumber(t)]->reload();
        QListWidget* list = retrieveLists_[typeNumber(t)];
        list->clear();
        list->addItems(actions_.order().retrievedTexts(t));
    }
}

void TSortForm::showItem(QButtonGroup* group, std::optional<Mapping> mapping)
{
    if (mapping) {
        group->button(mappingItem(*mapping))->setChecked(true);
        return;
    }
    // No item chosen: an exclusive group cannot uncheck its last button itself.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

void TSortForm::refreshMapping()
{
    showItem(mappingGroup_, actions_.order().mapping());
    showItem(rMappingGroup_, actions_.order().retrievedMapping());
}

void TSortForm::RMappingRGClick(int item)
{
    if (const std::optional<Mapping> mapping = mappingOfItem(item))
        actions_.chooseRetrievedMapping(*mapping);
    showItem(rMappingGroup_, actions_.order().retrievedMapping());
}

// The window stays while its send runs, showing the progress, and closes at its end;
// a send refused at once closes it at once.
void TSortForm::OKtoSendButtonClick()
{
    sending_ = true;
    actions_.sendInChosenMapping();
    if (!actions_.transferRunning() && sending_)
        panelCommandEnded();
}

void TSortForm::panelCommandEnded()
{
    if (!std::exchange(sending_, false))
        return;
    showProgress(0, {}, false);
    accept();
}

void TSortForm::moveChosenPoint(int step)
{
    if (!usedList_ || !usedList_->isEnabled())
        return;
    const int from = usedList_->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= usedList_->count())
        return;
    usedList_->dropAt(from, to);
}

void TSortForm::OKtoRetrieveButtonClick()
{
    actions_.retrieve();
    refresh();
}

// OK takes what was read, then shows its Class 0 selection; the window stays when the
// user keeps the configuration after all.
void TSortForm::RokBtnClick()
{
    if (!actions_.acceptRetrieve())
        return;
    if (classEditorHook)
        classEditorHook();
    accept();
}

void TSortForm::showProgress(int message, const QString& text, bool running)
{
    RetrieveProgressLabel->setText(text);
    RetrieveProgress->setValue(message > 0 ? message - 1 : 0);
    // No percentage before the first message is under way.
    RetrieveProgress->setTextVisible(message > 0);
    for (QWidget* w : std::initializer_list<QWidget*>{OKtoRetrieveButton, RokBtn, OKtoSendButton, MappingRG,
                                                      VerifyAfterSendBox, MoveUpBtn, MoveDownBtn})
        w->setEnabled(!running);
    for (OrderListBox* list : class0Lists_)
        list->setEnabled(!running);
}

void TSortForm::done(int result)
{
    if (sending_ && result != QDialog::Accepted) {
        actions_.cancelTransfer();
        return;
    }
    actions_.closeOrderWindow(result == QDialog::Accepted);
    refreshLists();
    showItem(mappingGroup_, actions_.order().mapping());
    QDialog::done(result);
}

}  // namespace dnp
