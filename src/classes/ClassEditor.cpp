#include "classes/ClassEditor.h"

#include "model/Regional.h"

#include <cmath>
#include <limits>

namespace dnp {

const std::array<GroupButton, kGroupButtonCount> kGroupButtons = {{
    {"InstSetBtn", "InstClrBtn", 3, 0, 13},
    {"IFmmSetBtn", "IFmmClrBtn", 4, 0, 13},
    {"IFmmTSetBtn", "IFmmTClrBtn", 4, 14, 27},
    {"IRmmSetBtn", "IRmmClrBtn", 4, 28, 41},
    {"IRmmTSetBtn", "IRmmTClrBtn", 4, 42, 55},
    {"ImmSetBoxBtn", "ImmClrBoxBtn", 4, 56, 63},
    {"DmdSetBtn", "DmdClrBtn", 5, 0, 13},
    {"DFmmSetBtn", "DFmmClrBtn", 6, 0, 15},
    {"DFmmTSetBtn", "DFmmTClrBtn", 6, 16, 31},
    {"DRmmSetBtn", "DRmmClrBtn", 6, 32, 47},
    {"DRmmTSetBtn", "DRmmTClrBtn", 6, 48, 63},
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

constexpr int kHarmonicsTag = 7;

// The order in which the clear step walks the lists: binary inputs, binary outputs,
// the nine analog input lists, the five analog output lists, counters.
constexpr std::array<int, kGroupCount> kClearOrderTags = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 16};

// Keep and set masks of the marks pass, by class.
struct MarkMasks {
    std::uint16_t keep;
    std::uint16_t set;
};
constexpr std::array<MarkMasks, 4> kMarkMasks = {{{0x0FFF, 0}, {0x1FFF, 0x1000}, {0x2FFF, 0x2000}, {0x4FFF, 0x4000}}};

// 0, 1, 2 as they are; any other value counts as Class 3.
int storedClass(int editedClass)
{
    return (editedClass >= 0 && editedClass <= 2) ? editedClass : 3;
}

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

std::uint16_t classMark(int cls)
{
    return kMarkMasks[storedClass(cls)].set;
}

void markPass(ConfigState& state, int cls)
{
    const MarkMasks masks = kMarkMasks[storedClass(cls)];
    const auto& selection = state.ClassSelection[storedClass(cls)];
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes) {
        auto& codes = state.PanelCode[typeNumber(t)];
        for (const CatalogPoint& p : catalog.points(t)) {
            if (selection[p.selectionIndex] != 1)
                continue;
            codes[p.typeIndex] = (codes[p.typeIndex] & masks.keep) | masks.set;
            if (t == PointType::Bout)
                state.SecondCode[p.typeIndex] = (state.SecondCode[p.typeIndex] & masks.keep) | masks.set;
        }
    }
}

void recomputeAllMarks(ConfigState& state)
{
    for (int cls = 0; cls <= 3; ++cls)
        markPass(state, cls);
}

ClassEditor::ClassEditor(ConfigState& state, UserPrompts& prompts)
    : state_(state), prompts_(prompts)
{
}

ItemState ClassEditor::item(int tag, int row) const
{
    return view_.items[groupByTag(tag)->base + row];
}

void ClassEditor::setItem(int tag, int row, ItemState s)
{
    view_.items[groupByTag(tag)->base + row] = s;
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
    view_.unsolicitedPageVisible = false;
}

void ClassEditor::clickItem(int tag, int row)
{
    const PointGroup* g = groupByTag(tag);
    if (!g || row < 0 || row >= g->count)
        return;
    ItemState& s = view_.items[g->base + row];
    s = (s == ItemState::Checked) ? ItemState::Unchecked : ItemState::Checked;
    CLBClickChek(tag, row);
}

void ClassEditor::CLBClickChek(int tag, int row)
{
    state_.LoadedFromFile = false;
    state_.NoListWriteBack = false;
    state_.Class0Rebuild.fill(true);

    const int edited = state_.EditedClass;
    if (edited < 1 || edited > 3)
        return;
    const PointGroup* g = groupByTag(tag);
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

void ClassEditor::groupSet(int button)
{
    const GroupButton& b = kGroupButtons.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        setItem(b.tag, row, ItemState::Checked);
}

void ClassEditor::groupClear(int button)
{
    const GroupButton& b = kGroupButtons.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        if (item(b.tag, row) == ItemState::Checked)
            setItem(b.tag, row, ItemState::Unchecked);
}

void ClassEditor::harmonicClick(int button)
{
    const HarmonicButton& b = kHarmonicButtons.at(button);
    bool& toggle = view_.HarmonicToggle[button];
    for (int row = b.firstRow; row <= b.lastRow; ++row) {
        if (toggle) {
            if (item(kHarmonicsTag, row) == ItemState::Checked)
                setItem(kHarmonicsTag, row, ItemState::Unchecked);
        } else {
            setItem(kHarmonicsTag, row, ItemState::Checked);
        }
    }
    toggle = !toggle;
}

bool ClassEditor::applyUnsolicited()
{
    const int cls = (state_.EditedClass == 1 || state_.EditedClass == 2) ? state_.EditedClass : 3;
    // All three fields are converted first: a field that is not a number ends the
    // step before anything of it is stored.
    const auto deadband = parseDecimal(view_.DeadbandEdit);
    if (!deadband) {
        prompts_.error(QStringLiteral("'%1' is not a valid floating point value").arg(view_.DeadbandEdit));
        return false;
    }
    const auto toInt32 = [](const QString& text) -> std::optional<long long> {
        const auto v = parseInteger(text);
        if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return v;
    };
    const auto minEvents = toInt32(view_.MinEventEdit);
    if (!minEvents) {
        prompts_.error(QStringLiteral("'%1' is not a valid integer value").arg(view_.MinEventEdit));
        return false;
    }
    const auto delay = toInt32(view_.NotDelayEdit);
    if (!delay) {
        prompts_.error(QStringLiteral("'%1' is not a valid integer value").arg(view_.NotDelayEdit));
        return false;
    }

    if (*minEvents < 0 || *minEvents > 255 || *delay < 0 || *delay > 255)
        prompts_.error(kEventsRange);
    else
        state_.UnsolicitedSettings[eventsWordIndex(cls)] = static_cast<std::uint16_t>(*minEvents * 256 + *delay);

    const double tenths = std::nearbyint(*deadband * 10.0);  // a half goes to the even neighbour
    if (tenths < 0 || tenths > kMaxDeadband) {
        prompts_.error(kDeadbandRange);
        state_.UnsolicitedSettings[deadbandWordIndex(cls)] = kDefaultDeadband;
    } else {
        state_.UnsolicitedSettings[deadbandWordIndex(cls)] = static_cast<std::uint16_t>(tenths);
    }
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
    const int target = storedClass(state_.EditedClass);
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : catalog.points(t)) {
            const bool checked = view_.items[p.selectionIndex] == ItemState::Checked;
            state_.ClassSelection[target][p.selectionIndex] = checked ? 1 : 0;
            if (target == 0)
                state_.Class0Order[typeNumber(t)][p.typeIndex] = checked ? p.typeIndex : -1;
        }
}

bool ClassEditor::class0okBtnClick()
{
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

void ClassEditor::ResetClassBtnClick()
{
    state_.NoListWriteBack = true;
    state_.LoadedFromFile = false;
    state_.EditedClass = 0;
    class0okBtnClick();

    const bool greyAll = state_.OpenedForClass[1] || state_.OpenedForClass[2] || state_.OpenedForClass[3];
    for (int tag : kClearOrderTags) {
        const PointGroup& g = *groupByTag(tag);
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
