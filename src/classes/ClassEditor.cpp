#include "classes/ClassEditor.h"

#include "model/Marks.h"
#include "model/Regional.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dnp {

const std::array<GroupButton, kGroupButtonCount> kGroupButtons = {{
    {"InstSetBtn", "InstClrBtn", ListTag::InstCLB, 0, 13},
    {"IFmmSetBtn", "IFmmClrBtn", ListTag::ImmCLB, 0, 13},
    {"IFmmTSetBtn", "IFmmTClrBtn", ListTag::ImmCLB, 14, 27},
    {"IRmmSetBtn", "IRmmClrBtn", ListTag::ImmCLB, 28, 41},
    {"IRmmTSetBtn", "IRmmTClrBtn", ListTag::ImmCLB, 42, 55},
    {"ImmSetBoxBtn", "ImmClrBoxBtn", ListTag::ImmCLB, 56, 63},
    {"DmdSetBtn", "DmdClrBtn", ListTag::DmdCLB, 0, 13},
    {"DFmmSetBtn", "DFmmClrBtn", ListTag::DmmCLB, 0, 15},
    {"DFmmTSetBtn", "DFmmTClrBtn", ListTag::DmmCLB, 16, 31},
    {"DRmmSetBtn", "DRmmClrBtn", ListTag::DmmCLB, 32, 47},
    {"DRmmTSetBtn", "DRmmTClrBtn", ListTag::DmmCLB, 48, 63},
}};

const std::array<HarmonicButton, kHarmonicButtonCount> kHarmonicButtons = {{
    {"HVldoBtn", "Odd", 1, 16},
    {"HVldeBtn", "Even", 18, 33},
    {"HVsoBtn", "Odd", 35, 50},
    {"HVseBtn", "Even", 52, 67},
    {"HIldoBtn", "Odd", 69, 84},
    {"HIldeBtn", "Even", 86, 101},
    {"HPercentFBtn", "% F", 102, 111},
}};

const std::array<const char*, 29> kEnableButtonNames = {
    "InstSetBtn",  "InstClrBtn",  "IFmmSetBtn",  "IFmmClrBtn",   "IFmmTSetBtn",  "IFmmTClrBtn",
    "IRmmSetBtn",  "IRmmClrBtn",  "IRmmTSetBtn", "IRmmTClrBtn",  "ImmSetBoxBtn", "ImmClrBoxBtn",
    "DmdSetBtn",   "DmdClrBtn",   "DFmmSetBtn",  "DFmmClrBtn",   "DFmmTSetBtn",  "DFmmTClrBtn",
    "DRmmSetBtn",  "DRmmClrBtn",  "DRmmTSetBtn", "DRmmTClrBtn",  "HVldoBtn",     "HVldeBtn",
    "HVsoBtn",     "HVseBtn",     "HIldoBtn",    "HIldeBtn",     "HPercentFBtn"};

namespace {

// The order in which the clear step walks the lists: binary inputs, binary outputs,
// the nine analog input lists, the five analog output lists, counters.
constexpr std::array<ListTag, kGroupCount> kClearOrder = {
    ListTag::BinCLB,   ListTag::BoutCLB,    ListTag::InstCLB,    ListTag::ImmCLB,    ListTag::DmdCLB,
    ListTag::DmmCLB,   ListTag::HarmCLB,    ListTag::EnergyCLB,  ListTag::CountCLB,  ListTag::CtlStatCLB,
    ListTag::GenStatCLB, ListTag::SetPtCLB, ListTag::RegSetCLB,  ListTag::CommSetCLB, ListTag::PwCLB,
    ListTag::ActSetPtCLB, ListTag::Counter32bCLB};

const QString kNotInClass0 = QStringLiteral("Data Object not included in Class 0 selections.");
const QString kEventsRange =
    QStringLiteral("The value of Minimum Events and Notification Delay must be in the range of 0 to 255.");
const QString kDeadbandRange = QStringLiteral("The value of Dead Band must be in the range of 0 to 100%.");

QString conflictMessage(int otherClass)
{
    return QStringLiteral("Data Object included in Class 0 and %1 selections.").arg(otherClass);
}

}  // namespace

QString classCaption(int cls)
{
    return QStringLiteral("Class %1 Selection").arg(cls);
}

ClassEditor::ClassEditor(ConfigState& state, UserPrompts& prompts)
    : state_(state), prompts_(prompts)
{
}

ItemState ClassEditor::item(ListTag list, int row) const
{
    return view_.items[groupOf(list).base + row];
}

void ClassEditor::setItem(ListTag list, int row, ItemState s)
{
    view_.items[groupOf(list).base + row] = s;
}

void ClassEditor::InitCLBs(int mode)
{
    for (const PointGroup& g : kPointGroups)
        for (int k = 0; k < g.count; ++k) {
            const int s = g.base + k;
            view_.items[s] = (mode == 0 && state_.ClassSelection[0][s] == 1) ? ItemState::Checked : ItemState::Unchecked;
        }
}

void ClassEditor::EnableButtons(bool enable)
{
    view_.groupButtonsEnabled = enable;
}

void ClassEditor::fillUnsolicitedFields(int cls)
{
    view_.DeadbandEdit = formatDecimal(state_.deadband(cls) / 10.0);
    view_.MinEventEdit = QString::number(ConfigState::minimumEvents(state_.eventsWord(cls)));
    view_.NotDelayEdit = QString::number(ConfigState::notificationDelay(state_.eventsWord(cls)));
}

void ClassEditor::ClassSpBtnClick(int cls)
{
    state_.OpenedForClass.fill(0);
    state_.OpenedForClass[cls] = 1;
    view_.visibleHelpClass = cls;
    view_.shownClass = cls;
    state_.EditedClass = cls;
    InitCLBs(cls);
    if (cls != 0) {
        // Greyed: not in Class 0, or in one of the two other event classes.
        for (const PointGroup& g : kPointGroups)
            for (int k = 0; k < g.count; ++k) {
                const int s = g.base + k;
                if (!state_.availableForEventClass(cls, s))
                    view_.items[s] = ItemState::Greyed;
                else
                    view_.items[s] = state_.ClassSelection[cls][s] == 1 ? ItemState::Checked : ItemState::Unchecked;
            }
    }
    EnableButtons(cls == 0);
    view_.caption = classCaption(cls);
    view_.unsolicitedPageVisible = cls != 0;
    if (cls != 0)
        fillUnsolicitedFields(cls);
}

void ClassEditor::prepareRetrievedView()
{
    InitCLBs(0);
    view_.caption = classCaption(0);
    view_.shownClass = 0;
    view_.unsolicitedPageVisible = false;
}

void ClassEditor::clickItem(ListTag list, int row)
{
    const PointGroup* g = groupByTag(tagNumber(list));
    if (!g || row < 0 || row >= g->count)
        return;
    ItemState& s = view_.items[g->base + row];
    s = (s == ItemState::Checked) ? ItemState::Unchecked : ItemState::Checked;
    CLBClickChek(list, row);
}

void ClassEditor::CLBClickChek(ListTag list, int row)
{
    state_.LoadedFromFile = false;
    state_.NoListWriteBack = false;
    state_.Class0Rebuild.fill(true);

    const int edited = state_.EditedClass;
    if (edited < 1 || edited > 3)
        return;
    const PointGroup* g = groupByTag(tagNumber(list));
    if (!g || row < 0 || row >= g->count)
        return;
    const int s = g->base + row;
    if (state_.ClassSelection[0][s] != 1) {
        view_.items[s] = ItemState::Greyed;
        prompts_.information(kNotInClass0);
        return;
    }
    for (int other = 1; other <= 3; ++other) {
        if (other == edited || state_.ClassSelection[other][s] != 1)
            continue;
        view_.items[s] = ItemState::Greyed;
        prompts_.information(conflictMessage(other));
        return;
    }
}

QString ClassEditor::greyReason(int selectionIndex) const
{
    const int edited = state_.EditedClass;
    if (edited < 1 || edited > 3)
        return {};
    if (state_.ClassSelection[0][selectionIndex] != 1)
        return QStringLiteral("Not in Class 0: select it in Class 0 first.");
    for (int other = 1; other <= 3; ++other)
        if (other != edited && state_.ClassSelection[other][selectionIndex] == 1)
            return QStringLiteral("Already reported in Class %1.").arg(other);
    return {};
}

void ClassEditor::groupSet(int button)
{
    const GroupButton& b = kGroupButtons.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        setItem(b.list, row, ItemState::Checked);
}

void ClassEditor::groupClear(int button)
{
    const GroupButton& b = kGroupButtons.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        if (item(b.list, row) == ItemState::Checked)
            setItem(b.list, row, ItemState::Unchecked);
}

void ClassEditor::harmonicClick(int button)
{
    const HarmonicButton& b = kHarmonicButtons.at(button);
    bool& toggle = view_.HarmonicToggle[button];
    for (int row = b.firstRow; row <= b.lastRow; ++row) {
        if (toggle) {
            if (item(ListTag::HarmCLB, row) == ItemState::Checked)
                setItem(ListTag::HarmCLB, row, ItemState::Unchecked);
        } else {
            setItem(ListTag::HarmCLB, row, ItemState::Checked);
        }
    }
    toggle = !toggle;
}

bool ClassEditor::applyUnsolicited()
{
    const int cls = (state_.EditedClass == 1 || state_.EditedClass == 2) ? state_.EditedClass : 3;
    // All three fields are checked, in the order of the page, before anything is stored:
    // the first that is not a number, or out of its range, is told and keeps the whole
    // OK from being applied.
    const auto refuse = [this](UnsolicitedField field, const QString& message) {
        badField_ = field;
        prompts_.error(message);
        return false;
    };
    const auto deadband = parseDecimal(view_.DeadbandEdit);
    if (!deadband)
        return refuse(UnsolicitedField::Deadband,
                      QStringLiteral("'%1' is not a valid floating point value").arg(view_.DeadbandEdit));
    const double tenths = std::nearbyint(*deadband * 10.0);  // a half goes to the even neighbour
    if (tenths < 0 || tenths > kMaxDeadband)
        return refuse(UnsolicitedField::Deadband, kDeadbandRange);
    const auto toByte = [&](UnsolicitedField field, const QString& text) -> std::optional<int> {
        const auto v = parseInteger(text);
        if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max()) {
            refuse(field, QStringLiteral("'%1' is not a valid integer value").arg(text));
            return std::nullopt;
        }
        if (*v < 0 || *v > 255) {
            refuse(field, kEventsRange);
            return std::nullopt;
        }
        return static_cast<int>(*v);
    };
    const auto minEvents = toByte(UnsolicitedField::MinEvents, view_.MinEventEdit);
    if (!minEvents)
        return false;
    const auto delay = toByte(UnsolicitedField::NotDelay, view_.NotDelayEdit);
    if (!delay)
        return false;

    state_.UnsolicitedSettings[eventsWordIndex(cls)] = static_cast<std::uint16_t>(*minEvents * 256 + *delay);
    state_.UnsolicitedSettings[deadbandWordIndex(cls)] = static_cast<std::uint16_t>(tenths);
    return true;
}

void ClassEditor::class0Compare(bool allTypes)
{
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes) {
        bool& rebuild = state_.Class0Rebuild[typeNumber(t)];
        if (rebuild && !allTypes)
            continue;
        for (const CatalogPoint& p : catalog.points(t)) {
            const bool checked = view_.items[p.selectionIndex] == ItemState::Checked;
            if (checked != (state_.ClassSelection[0][p.selectionIndex] == 1)) {
                rebuild = true;
                break;
            }
        }
    }
}

void ClassEditor::storeLists()
{
    const int target = markedClass(state_.EditedClass);
    const PointCatalog& catalog = PointCatalog::instance();
    std::array<std::vector<int>, kPointTypeCount> keptOrder;
    for (PointType t : kAllPointTypes)
        keptOrder[typeNumber(t)] = state_.class0Sequence(t);
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : catalog.points(t))
            state_.ClassSelection[target][p.selectionIndex] =
                view_.items[p.selectionIndex] == ItemState::Checked ? 1 : 0;
    if (target != 0)
        return;
    // The Class 0 order the user gave survives the edit: the points that stay keep their
    // places, new points follow at the end in catalogue order, removed points drop out.
    for (PointType t : kAllPointTypes) {
        std::vector<int> order;
        for (int point : keptOrder[typeNumber(t)])
            if (state_.selected(0, t, point))
                order.push_back(point);
        for (int point = 0; point < pointCount(t); ++point)
            if (state_.selected(0, t, point) && std::find(order.begin(), order.end(), point) == order.end())
                order.push_back(point);
        auto& orderSlots = state_.Class0Order[typeNumber(t)];
        std::size_t next = 0;
        for (int slot = 0; slot < pointCount(t); ++slot)
            orderSlots[slot] = state_.selected(0, t, slot) ? order[next++] : -1;
    }
}

bool ClassEditor::class0okBtnClick()
{
    badField_ = UnsolicitedField::None;
    if (state_.EditedClass != 0 && !applyUnsolicited())
        return false;

    if (!state_.LoadedFromFile) {
        if (state_.EditedClass == 0)
            class0Compare(false);
        if (!state_.NoListWriteBack)
            storeLists();
        markPass(state_, state_.EditedClass);
        return true;
    }
    if (!state_.SendRecompute)
        return true;

    // Recompute: the marks of every class from EditedClass up to Class 3, from the
    // stored selections; EditedClass walks on and ends at -1.
    class0Compare(true);
    while (state_.EditedClass != -1) {
        markPass(state_, state_.EditedClass);
        state_.EditedClass = state_.EditedClass >= 3 ? -1 : state_.EditedClass + 1;
    }
    return true;
}

void ClassEditor::clearAll()
{
    ResetClassBtnClick();
    state_.EditedClass = view_.shownClass;
    if (view_.shownClass != 0)
        fillUnsolicitedFields(view_.shownClass);
}

void ClassEditor::ResetClassBtnClick()
{
    state_.NoListWriteBack = true;
    state_.LoadedFromFile = false;
    state_.EditedClass = 0;
    class0okBtnClick();

    const bool greyAll = state_.OpenedForClass[1] || state_.OpenedForClass[2] || state_.OpenedForClass[3];
    for (ListTag tag : kClearOrder) {
        const PointGroup& g = groupOf(tag);
        for (int k = 0; k < g.count; ++k) {
            const int s = g.base + k;
            state_.RetrievedMark[typeNumber(g.type)][g.firstTypeIndex + k] = 0;
            if (view_.items[s] == ItemState::Checked)
                view_.items[s] = ItemState::Unchecked;
            if (greyAll)
                view_.items[s] = ItemState::Greyed;
            for (auto& selection : state_.ClassSelection)
                selection[s] = 0;
        }
    }
    state_.Class0Rebuild.fill(true);
    state_.NoListWriteBack = false;
    state_.UnsolicitedSettings = kDefaultUnsolicited;
}

}  // namespace dnp
