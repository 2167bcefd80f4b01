#include "classes/ClassEditor.h"

#include "model/Regional.h"

#include <limits>

namespace dnp {
namespace {

const QString kNotInClass0 = QStringLiteral("Data Object not included in Class 0 selections.");

QString conflictMessage(int otherClass)
{
    return QStringLiteral("Data Object included in Class 0 and %1 selections.").arg(otherClass);
}

// A refusal of the apply step: told, and naming its field.
Error refusedField(UnsolicitedField field, const QString& message)
{
    return fieldFailure(message, static_cast<int>(field));
}

// A minimum-events or notification-delay field: an integer from 0 to 255.
Result<int> eventsByte(UnsolicitedField field, const QString& text)
{
    const Result<long long> value = parseInteger(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() || *value > std::numeric_limits<std::int32_t>::max())
        return refusedField(field, QStringLiteral("'%1' is not a valid integer value").arg(text));
    if (*value < 0 || *value > kMaxEventsByte)
        return refusedField(field, kEventsRangeText);
    return static_cast<int>(*value);
}

// The lists as shown into the selection of class `cls`: a greyed item leaves its
// point's byte as it is; a Class 0 edit keeps the order of the points that stay.
void storeLists(ConfigState& state, const ClassEditorView& view, int cls)
{
    std::array<std::vector<int>, kPointTypeCount> before;
    for (PointType t : kAllPointTypes)
        before[typeNumber(t)] = state.class0Sequence(t);
    for (const PointGroup& g : kPointGroups)
        for (int k = 0; k < g.count; ++k) {
            const ItemState s = view.items[g.base + k];
            if (s != ItemState::Greyed)
                state.ClassSelection[cls][g.base + k] = s == ItemState::Checked ? 1 : 0;
        }
    if (cls == 0)
        for (PointType t : kAllPointTypes)
            state.setClass0Sequence(t, keptClass0Sequence(before[typeNumber(t)], state, t));
}

}  // namespace

QString classCaption(int cls)
{
    return QStringLiteral("Class %1 Selection").arg(cls);
}

QString overBudgetText(const WordBudget& words)
{
    return words.overText() +
           QStringLiteral("\nThe selection is kept; Send refuses it until it takes %1 words or fewer.").arg(kMaxListWords);
}

ClassEditor::ClassEditor(ConfigState& state) : state_(state) {}

ItemState ClassEditor::item(ListTag list, int row) const
{
    return view_.items[groupOf(list).base + row];
}

void ClassEditor::setItem(ListTag list, int row, ItemState s)
{
    view_.items[groupOf(list).base + row] = s;
}

void ClassEditor::showFields(int cls)
{
    view_.fields = {deadbandPercentText(state_.deadband(cls)), QString::number(minimumEventsOf(state_.eventsWord(cls))),
                    QString::number(notificationDelayOf(state_.eventsWord(cls)))};
}

void ClassEditor::open(int cls)
{
    view_.visibleHelpClass = cls;
    view_.shownClass = cls;
    for (const PointGroup& g : kPointGroups)
        for (int k = 0; k < g.count; ++k) {
            const int s = g.base + k;
            const bool chosen = state_.ClassSelection[cls][s] == 1;
            if (cls != 0 && !state_.availableForEventClass(cls, s))
                view_.items[s] = ItemState::Greyed;
            else
                view_.items[s] = chosen ? ItemState::Checked : ItemState::Unchecked;
        }
    view_.groupButtonsEnabled = cls == 0;
    view_.caption = classCaption(cls);
    view_.unsolicitedPageVisible = cls != 0;
    if (cls != 0)
        showFields(cls);
}

void ClassEditor::openRetrieved()
{
    const int helpClass = view_.visibleHelpClass;
    open(0);
    view_.visibleHelpClass = helpClass;
}

Result<void> ClassEditor::clickItem(ListTag list, int row)
{
    const PointGroup* g = groupByTag(tagNumber(list));
    if (!g || row < 0 || row >= g->count)
        return {};
    ItemState& s = view_.items[g->base + row];
    s = (s == ItemState::Checked) ? ItemState::Unchecked : ItemState::Checked;
    return checkItem(list, row);
}

Result<void> ClassEditor::checkItem(ListTag list, int row)
{
    const int edited = view_.shownClass;
    const PointGroup* g = groupByTag(tagNumber(list));
    if (edited == 0 || !g || row < 0 || row >= g->count)
        return {};
    const int s = g->base + row;
    if (state_.ClassSelection[0][s] != 1) {
        view_.items[s] = ItemState::Greyed;
        return failure(kNotInClass0);
    }
    for (int other = 1; other <= 3; ++other) {
        if (other == edited || state_.ClassSelection[other][s] != 1)
            continue;
        view_.items[s] = ItemState::Greyed;
        return failure(conflictMessage(other));
    }
    return {};
}

QString ClassEditor::greyReason(int selectionIndex) const
{
    const int edited = view_.shownClass;
    if (edited == 0)
        return {};
    if (state_.ClassSelection[0][selectionIndex] != 1)
        return QStringLiteral("Not in Class 0: select it in Class 0 first.");
    for (int other = 1; other <= 3; ++other)
        if (other != edited && state_.ClassSelection[other][selectionIndex] == 1)
            return QStringLiteral("Already reported in Class %1.").arg(other);
    return {};
}

void ClassEditor::setGroup(int button)
{
    const GroupRange& b = kGroupRanges.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        setItem(b.list, row, ItemState::Checked);
}

void ClassEditor::clearGroup(int button)
{
    const GroupRange& b = kGroupRanges.at(button);
    for (int row = b.firstRow; row <= b.lastRow; ++row)
        if (item(b.list, row) == ItemState::Checked)
            setItem(b.list, row, ItemState::Unchecked);
}

void ClassEditor::toggleHarmonics(int button)
{
    const GroupRange& b = kHarmonicRanges.at(button);
    bool& toggle = view_.harmonicToggle[button];
    for (int row = b.firstRow; row <= b.lastRow; ++row) {
        if (!toggle)
            setItem(b.list, row, ItemState::Checked);
        else if (item(b.list, row) == ItemState::Checked)
            setItem(b.list, row, ItemState::Unchecked);
    }
    toggle = !toggle;
}

Result<void> ClassEditor::applyUnsolicited(int cls)
{
    const Result<double> percent = parseDecimal(view_.fields.deadband);
    if (!percent)
        return refusedField(UnsolicitedField::Deadband, percent.error().message);
    const Result<std::uint16_t> deadband = deadbandFromPercent(*percent);
    if (!deadband)
        return refusedField(UnsolicitedField::Deadband, deadband.error().message);
    const Result<int> minEvents = eventsByte(UnsolicitedField::MinEvents, view_.fields.minEvents);
    if (!minEvents)
        return minEvents.error();
    const Result<int> delay = eventsByte(UnsolicitedField::NotDelay, view_.fields.notificationDelay);
    if (!delay)
        return delay.error();
    state_.UnsolicitedSettings[deadbandWordIndex(cls)] = *deadband;
    state_.UnsolicitedSettings[eventsWordIndex(cls)] = eventsWordOf(*minEvents, *delay);
    return {};
}

WordBudget ClassEditor::shownWords() const
{
    if (view_.shownClass != 0)
        return wordBudget(state_);
    ConfigState applied = state_;
    storeLists(applied, view_, 0);
    return wordBudget(applied);
}

Result<QString> ClassEditor::apply(int editedClass)
{
    if (editedClass != 0)
        if (const Result<void> stored = applyUnsolicited(editedClass); !stored)
            return stored.error();
    storeLists(state_, view_, editedClass);
    if (editedClass == 0)
        if (const WordBudget words = wordBudget(state_); words.over())
            return overBudgetText(words);
    return QString();
}

void ClassEditor::clear()
{
    state_.clearSelections();
    const bool eventClass = view_.shownClass != 0;
    for (ItemState& s : view_.items)
        s = eventClass ? ItemState::Greyed : ItemState::Unchecked;
    if (eventClass)
        showFields(view_.shownClass);
}

}  // namespace dnp
