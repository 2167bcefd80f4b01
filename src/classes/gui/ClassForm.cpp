#include "classes/gui/ClassForm.h"

#include "classes/gui/CheckListBox.h"
#include "widgets/DialogKit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace dnp {
namespace {

struct ListLayout {
    ListTag tag;
    int rowsPerColumn;  // 0: one column
    std::vector<ColumnHeading> headings;
};

// The "Set" and "Clear" buttons of each group range, and the harmonic buttons, by number.
constexpr std::array<std::array<const char*, 2>, kGroupButtonCount> kGroupButtonNames = {{
    {"InstSetBtn", "InstClrBtn"},
    {"IFmmSetBtn", "IFmmClrBtn"},
    {"IFmmTSetBtn", "IFmmTClrBtn"},
    {"IRmmSetBtn", "IRmmClrBtn"},
    {"IRmmTSetBtn", "IRmmTClrBtn"},
    {"ImmSetBoxBtn", "ImmClrBoxBtn"},
    {"DmdSetBtn", "DmdClrBtn"},
    {"DFmmSetBtn", "DFmmClrBtn"},
    {"DFmmTSetBtn", "DFmmTClrBtn"},
    {"DRmmSetBtn", "DRmmClrBtn"},
    {"DRmmTSetBtn", "DRmmTClrBtn"},
}};
struct HarmonicButton {
    const char* name;
    const char* caption;
};
constexpr std::array<HarmonicButton, kHarmonicButtonCount> kHarmonicButtons = {{
    {"HVldoBtn", "Odd"},
    {"HVldeBtn", "Even"},
    {"HVsoBtn", "Odd"},
    {"HVseBtn", "Even"},
    {"HIldoBtn", "Odd"},
    {"HIldeBtn", "Even"},
    {"HPercentFBtn", "% F"},
}};

// Rows per column and column headings of the 17 lists, by tag.
const std::vector<ListLayout>& listLayouts()
{
    static const std::vector<ListLayout> layouts = {
        {ListTag::BinCLB, 0, {}},
        {ListTag::BoutCLB, 0, {}},
        {ListTag::InstCLB, 0, {}},
        {ListTag::ImmCLB, 14, {{0, "Forward"}, {14, "Timestamp"}, {28, "Reverse"}, {42, "Timestamp"}, {56, "Forward/Reverse"}}},
        {ListTag::DmdCLB, 0, {}},
        {ListTag::DmmCLB, 16, {{0, "Forward"}, {16, "Timestamp"}, {32, "Reverse"}, {48, "Timestamp"}}},
        {ListTag::HarmCLB, 17, {{0, "Load Volts"}, {34, "Source Volts"}, {68, "Load Current"}, {102, "% Fundamental"}}},
        {ListTag::EnergyCLB, 0, {{0, "Energy Item"}}},
        {ListTag::CountCLB, 7, {{0, "Counter Items"}}},
        {ListTag::CtlStatCLB, 19, {{0, "Control Panel Status"}, {19, "Communications Status"}}},
        {ListTag::GenStatCLB, 19, {{0, "Diagnostics, Calibration & Log Information"}, {19, "Alert Timestamps"}}},
        {ListTag::SetPtCLB, 14, {{0, "Voltage Reduction/Voltage Limit Settings"}, {14, "Regulation Set Points"}}},
        {ListTag::RegSetCLB, 24, {}},
        {ListTag::CommSetCLB, 0, {{0, "Communications Settings"}}},
        {ListTag::PwCLB, 0, {}},
        {ListTag::Counter32bCLB, 0, {}},
        {ListTag::ActSetPtCLB, 0, {}},
    };
    return layouts;
}

}  // namespace

TClassForm::TClassForm(ClassEditorActions& actions, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), actions_(actions), prompts_(prompts)
{
    setObjectName("ClassForm");
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    ClassPC = new QTabWidget(this);
    ClassPC->setObjectName("ClassPC");
    ClassPC->setUsesScrollButtons(false);
    ClassPC->addTab(buildListPage(ListTag::BinCLB), "Binary Inputs");
    ClassPC->addTab(buildListPage(ListTag::BoutCLB), "Binary Outputs");

    auto* analogInputs = new QTabWidget;
    analogInputs->setObjectName("AnalogInputsPC");
    analogInputs->addTab(buildMeterPage(), "Meter ");
    analogInputs->addTab(buildDemandPage(), "Demand");
    analogInputs->addTab(buildHarmonicsPage(), "Harmonics");
    analogInputs->addTab(buildListPage(ListTag::EnergyCLB), "Energy");
    analogInputs->addTab(buildListPage(ListTag::CountCLB), "Counters");
    analogInputs->addTab(buildListPage(ListTag::CtlStatCLB), "Status");
    analogInputs->addTab(buildListPage(ListTag::GenStatCLB), "Miscellaneous");
    ClassPC->addTab(analogInputs, "Analog Inputs");

    auto* analogOutputs = new QTabWidget;
    analogOutputs->setObjectName("AnalogOutputsPC");
    analogOutputs->addTab(buildListPage(ListTag::SetPtCLB), "Operating Settings");
    analogOutputs->addTab(buildListPage(ListTag::RegSetCLB), "Regulator");
    analogOutputs->addTab(buildListPage(ListTag::CommSetCLB), "Communications");
    analogOutputs->addTab(buildListPage(ListTag::PwCLB), "Passwords");
    analogOutputs->addTab(buildListPage(ListTag::ActSetPtCLB), "Active Set Points");
    ClassPC->addTab(analogOutputs, "Analog Outputs");

    ClassPC->addTab(buildListPage(ListTag::Counter32bCLB), "Counters");
    unsolicitedTab_ = ClassPC->addTab(buildUnsolicitedPage(), "Unsolicited Responses");
    layout->addWidget(ClassPC);

    auto* buttonRow = new QHBoxLayout;
    WordCountLabel = new QLabel(this);
    WordCountLabel->setObjectName("WordCountLabel");
    // As wide as the widest count, bold: the buttons beside it hold still as it changes.
    QFont bold = WordCountLabel->font();
    bold.setBold(true);
    WordCountLabel->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(WordBudget{999}.text()));  // three digits
    buttonRow->addWidget(WordCountLabel);
    auto* ok = makeButton("class0okBtn", "&OK", this);
    auto* cancel = makeButton("class0canceBtn", "&Cancel", this);
    auto* save = makeButton("SaveCfgBtn", "&Save", this);
    auto* clear = makeButton("ResetClassBtn", "Cl&ear", this);
    buttonRow->addStretch();
    for (QPushButton* b : {ok, cancel, save, clear})
        buttonRow->addWidget(b);
    // Four help buttons on one spot; the main window leaves one visible.
    auto* helpSpot = new QWidget(this);
    auto* helpLayout = new QGridLayout(helpSpot);
    helpLayout->setContentsMargins(0, 0, 0, 0);
    for (int cls = 0; cls < 4; ++cls) {
        auto* help = makeButton(QStringLiteral("C%1HelpBtn").arg(cls), "&Help", helpSpot);
        helpLayout->addWidget(help, 0, 0);
        helpButtons_[cls] = help;
        connect(help, &QPushButton::clicked, this, [this, cls] { prompts_.showHelp(classHelpTopic(cls)); });
    }
    buttonRow->addWidget(helpSpot);
    addHelpKey(this, [this] { prompts_.showHelp(classHelpTopic(actions_.classEditor().view().shownClass)); });
    buttonRow->addStretch();
    layout->addLayout(buttonRow);
    ok->setDefault(true);

    connect(ok, &QPushButton::clicked, this, &TClassForm::class0okBtnClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(save, &QPushButton::clicked, this, &TClassForm::SaveCfgBtnClick);
    connect(clear, &QPushButton::clicked, this, &TClassForm::ResetClassBtnClick);
    refresh();
}

// Never so small that a heading or a list is cut (as far as the screen allows): the
// size every page asks for once the style has laid them out.
void TClassForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QSize smallest = sizeHint();
    if (const QScreen* desktop = screen())
        smallest = smallest.boundedTo(desktop->availableGeometry().size());
    setMinimumSize(smallest);
}

QPushButton* TClassForm::makeButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    buttons_[name] = b;
    return b;
}

QPushButton* TClassForm::button(const QString& objectName) const
{
    return buttons_.value(objectName, nullptr);
}

CheckListBox* TClassForm::makeList(ListTag tag, QWidget* parent)
{
    for (const ListLayout& l : listLayouts()) {
        if (l.tag != tag)
            continue;
        auto* list = new CheckListBox(groupOf(tag), l.rowsPerColumn, l.headings, parent);
        lists_[tagNumber(tag) - 1] = list;
        wireList(list);
        return list;
    }
    return nullptr;
}

void TClassForm::wireList(CheckListBox* list)
{
    const ListTag tag = list->tag();
    connect(list, &CheckListBox::itemClicked, this, [this, tag](int row) {
        actions_.clickItem(tag, row);
        refresh();
    });
    if (tag == ListTag::CtlStatCLB) {
        connect(list, &CheckListBox::itemSelected, this, [this, tag](int row) {
            actions_.checkItem(tag, row);
            refresh();
        });
    }
    if (tag == ListTag::InstCLB || tag == ListTag::ImmCLB) {
        connect(list, &CheckListBox::itemDoubleClicked, this, [this, tag](int row) {
            actions_.checkItem(tag, row);
            refresh();
        });
    }
}

QWidget* TClassForm::buildListPage(ListTag tag)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(makeList(tag, page));
    layout->addStretch();
    return page;
}

void TClassForm::addGroupButtons(CheckListBox* list, int firstButton, int lastButton)
{
    for (int i = firstButton; i <= lastButton; ++i) {
        auto* cell = new QWidget(list);
        auto* row = new QHBoxLayout(cell);
        row->setContentsMargins(0, 4, 0, 0);
        auto* set = makeButton(kGroupButtonNames[i][0], "Set", cell);
        auto* clear = makeButton(kGroupButtonNames[i][1], "Clear", cell);
        row->addWidget(set);
        row->addWidget(clear);
        row->addStretch();
        list->grid()->addWidget(cell, list->buttonRow(), list->columnOf(kGroupRanges[i].firstRow));
        connect(set, &QPushButton::clicked, this, [this, i] {
            actions_.setGroup(i);
            refresh();
        });
        connect(clear, &QPushButton::clicked, this, [this, i] {
            actions_.clearGroup(i);
            refresh();
        });
    }
}

QWidget* TClassForm::buildMeterPage()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    auto* inst = new QGroupBox(" Instantaneous ", page);
    (new QVBoxLayout(inst))->addWidget(makeList(ListTag::InstCLB, inst));
    addGroupButtons(list(ListTag::InstCLB), 0, 0);
    auto* minMax = new QGroupBox(" Min/ Max ", page);
    (new QVBoxLayout(minMax))->addWidget(makeList(ListTag::ImmCLB, minMax));
    addGroupButtons(list(ListTag::ImmCLB), 1, 5);
    layout->addWidget(inst, 0, Qt::AlignTop);
    layout->addWidget(minMax, 1, Qt::AlignTop);
    return page;
}

QWidget* TClassForm::buildDemandPage()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    auto* values = new QGroupBox(" Demand Values ", page);
    (new QVBoxLayout(values))->addWidget(makeList(ListTag::DmdCLB, values));
    addGroupButtons(list(ListTag::DmdCLB), 6, 6);
    auto* minMax = new QGroupBox(" Min/Max  ", page);
    (new QVBoxLayout(minMax))->addWidget(makeList(ListTag::DmmCLB, minMax));
    addGroupButtons(list(ListTag::DmmCLB), 7, 10);
    layout->addWidget(values, 0, Qt::AlignTop);
    layout->addWidget(minMax, 1, Qt::AlignTop);
    return page;
}

QWidget* TClassForm::buildHarmonicsPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    CheckListBox* harm = makeList(ListTag::HarmCLB, page);
    layout->addWidget(harm);
    for (int i = 0; i < kHarmonicButtonCount; ++i) {
        const HarmonicButton& h = kHarmonicButtons[i];
        auto* b = makeButton(h.name, h.caption, harm);
        harm->grid()->addWidget(b, harm->buttonRow(), harm->columnOf(kHarmonicRanges[i].firstRow), Qt::AlignLeft);
        connect(b, &QPushButton::clicked, this, [this, i] {
            actions_.toggleHarmonics(i);
            refresh();
        });
    }
    layout->addStretch();
    return page;
}

QWidget* TClassForm::buildUnsolicitedPage()
{
    auto* page = new QWidget;
    page->setObjectName("DeadbandTap");
    auto* grid = new QGridLayout(page);
    DeadbandEdit = new QLineEdit(page);
    DeadbandEdit->setObjectName("DeadbandEdit");
    MinEventEdit = new QLineEdit(page);
    MinEventEdit->setObjectName("MinEventEdit");
    NotDelayEdit = new QLineEdit(page);
    NotDelayEdit->setObjectName("NotDelayEdit");
    struct Row {
        const char* label;
        QLineEdit* edit;
        const char* unit;
        const char* range;
    };
    const std::array<Row, 3> rows = {{{"Analog Input Dead Band", DeadbandEdit, "%", "(0\u2013100 %)"},
                                      {"Minimum Events", MinEventEdit, "", "(0\u2013255)"},
                                      {"Notification Delay", NotDelayEdit, "", "(0\u2013255)"}}};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(rows[r].label, page), r, 0);
        rows[r].edit->setMaximumWidth(80);
        grid->addWidget(rows[r].edit, r, 1);
        grid->addWidget(new QLabel(rows[r].unit, page), r, 2);
        auto* range = new QLabel(QString::fromUtf8(rows[r].range), page);
        range->setObjectName(QString(rows[r].edit->objectName()).replace("Edit", "Range"));
        grid->addWidget(range, r, 3);
        connect(rows[r].edit, &QLineEdit::textEdited, this, [this] { storeFields(); });
    }
    grid->setColumnMinimumWidth(2, 16);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(3, 1);
    return page;
}

void TClassForm::storeFields()
{
    actions_.editUnsolicited({DeadbandEdit->text(), MinEventEdit->text(), NotDelayEdit->text()});
}

void TClassForm::refresh()
{
    const ClassEditor& editor = actions_.classEditor();
    const ClassEditorView& v = editor.view();
    for (CheckListBox* list : lists_)
        list->showStates(editor);
    setWindowTitle(v.caption);
    ClassPC->setTabVisible(unsolicitedTab_, v.unsolicitedPageVisible);
    // The Class 0 editor counts the words its lists take.
    WordCountLabel->setVisible(v.shownClass == 0);
    if (v.shownClass == 0)
        showWordBudget(WordCountLabel, editor.shownWords());
    DeadbandEdit->setText(v.fields.deadband);
    MinEventEdit->setText(v.fields.minEvents);
    NotDelayEdit->setText(v.fields.notificationDelay);
    for (int cls = 0; cls < 4; ++cls)
        helpButtons_[cls]->setVisible(cls == v.visibleHelpClass);
    for (const auto& names : kGroupButtonNames)
        for (const char* name : names)
            button(QString::fromLatin1(name))->setEnabled(v.groupButtonsEnabled);
    for (const HarmonicButton& h : kHarmonicButtons)
        button(QString::fromLatin1(h.name))->setEnabled(v.groupButtonsEnabled);
}

void TClassForm::selectField(UnsolicitedField field)
{
    QLineEdit* const fields[] = {nullptr, DeadbandEdit, MinEventEdit, NotDelayEdit};
    const int row = static_cast<int>(field);
    if (row < 1 || row > 3)
        return;
    QLineEdit* edit = fields[row];
    ClassPC->setCurrentIndex(unsolicitedTab_);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

// A value a field refuses keeps the window open with the edit as it was.
void TClassForm::class0okBtnClick()
{
    storeFields();
    const Result<void> applied = actions_.applyClassEdit();
    if (applied)
        accept();
    else
        selectField(static_cast<UnsolicitedField>(applied.error().field().value_or(0)));
}

void TClassForm::SaveCfgBtnClick()
{
    storeFields();
    const Result<void> applied = actions_.saveClassEdit();
    if (!applied) {
        selectField(static_cast<UnsolicitedField>(applied.error().field().value_or(0)));
        return;
    }
    refresh();
}

void TClassForm::ResetClassBtnClick()
{
    storeFields();
    if (actions_.clearClassEdit())
        refresh();
}

}  // namespace dnp
