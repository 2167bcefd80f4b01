#pragma once
// The class selection editor's rules: the states of its 17 check lists, the click
// rule, the group and harmonic buttons, and the steps that carry the lists into the
// configuration (apply) or empty it (clear). The window only shows this state.

#include "model/WordBudget.h"
#include "model/ConfigState.h"
#include "model/HelpTopics.h"
#include "model/Result.h"

#include <QString>
#include <array>
#include <cstdint>

namespace dnp {

enum class ItemState : std::uint8_t { Unchecked, Checked, Greyed };

// The fields of the Unsolicited Responses page, by their row on the page: a refused
// value names its field as the error's line.
enum class UnsolicitedField { None = 0, Deadband = 1, MinEvents = 2, NotDelay = 3 };

// The rows of a list that one "Set"/"Clear" button pair works on.
struct GroupRange {
    ListTag list;
    int firstRow;
    int lastRow;
};
constexpr int kGroupButtonCount = 11;
constexpr std::array<GroupRange, kGroupButtonCount> kGroupRanges = {{
    {ListTag::InstCLB, 0, 13},
    {ListTag::ImmCLB, 0, 13},
    {ListTag::ImmCLB, 14, 27},
    {ListTag::ImmCLB, 28, 41},
    {ListTag::ImmCLB, 42, 55},
    {ListTag::ImmCLB, 56, 63},
    {ListTag::DmdCLB, 0, 13},
    {ListTag::DmmCLB, 0, 15},
    {ListTag::DmmCLB, 16, 31},
    {ListTag::DmmCLB, 32, 47},
    {ListTag::DmmCLB, 48, 63},
}};

// The rows of the harmonics list each of the seven harmonic buttons toggles: odd and
// even harmonics of load volts, source volts and load current, then % of fundamental.
constexpr int kHarmonicButtonCount = 7;
constexpr std::array<GroupRange, kHarmonicButtonCount> kHarmonicRanges = {{
    {ListTag::HarmCLB, 1, 16},
    {ListTag::HarmCLB, 18, 33},
    {ListTag::HarmCLB, 35, 50},
    {ListTag::HarmCLB, 52, 67},
    {ListTag::HarmCLB, 69, 84},
    {ListTag::HarmCLB, 86, 101},
    {ListTag::HarmCLB, 102, 111},
}};

// The texts of the three fields of the Unsolicited Responses page.
struct UnsolicitedTexts {
    QString deadband;
    QString minEvents;
    QString notificationDelay;
};

// What the editor window shows.
struct ClassEditorView {
    std::array<ItemState, kSelectionSize> items{};  // by SelectionIndex: row k of a list is base + k
    UnsolicitedTexts fields;
    std::array<bool, kHarmonicButtonCount> harmonicToggle{};  // outlive openings
    QString caption = QStringLiteral("Class 0 Selection");
    bool unsolicitedPageVisible = false;
    int visibleHelpClass = 0;  // which of the four help buttons shows
    int shownClass = 0;        // the class whose selection the window shows and edits
    bool groupButtonsEnabled = true;
};

QString classCaption(int cls);  // "Class 1 Selection"
// What an applied Class 0 selection over the budget tells: the count, and that the
// selection is kept.
QString overBudgetText(const WordBudget& words);

class ClassEditor {
public:
    explicit ClassEditor(ConfigState& state);

    const ClassEditorView& view() const { return view_; }
    ItemState item(ListTag list, int row) const;

    // The editor of class k, its items as the configuration holds them: for an event
    // class an item is greyed when its point is not available for the class.
    void open(int cls);
    // The retrieved configuration's Class 0 selection, without the Unsolicited Responses page.
    void openRetrieved();

    // A click on an item's box (or the space bar): the item toggles, then the click rule.
    Result<void> clickItem(ListTag list, int row);
    // The click rule alone (the Status list's selection, a double click in the meter
    // lists): in an event class, a point that is not available for it is greyed and the
    // click refused with the reason ("Data Object not included in Class 0 selections.").
    Result<void> checkItem(ListTag list, int row);
    void setGroup(int button);    // every item of the range checked, greyed ones too
    void clearGroup(int button);  // the checked items of the range unchecked
    // The first press of a harmonic button checks its range, the next unchecks it, and so on.
    void toggleHarmonics(int button);
    void editUnsolicited(const UnsolicitedTexts& texts) { view_.fields = texts; }

    // The words the Class 0 points take once the lists as shown are applied.
    WordBudget shownWords() const;

    // OK and Save: the lists as shown become the selection of the edited class (a greyed
    // item leaves its point's byte as it is); a Class 0 edit keeps the order of the points
    // that stay. For an event class the unsolicited fields are checked first, in the order
    // of the page; the first that is not a number or out of its range refuses the apply
    // and nothing is applied (the error's line is the field's UnsolicitedField row). A
    // Class 0 selection of more words than the panel takes is applied all the same: the
    // note to tell is its count (overBudgetText); "" when there is nothing to tell.
    Result<QString> apply(int editedClass);
    // Why a greyed item cannot be chosen in the event class shown:
    // "Not in Class 0: select it in Class 0 first." or "Already reported in Class 2.";
    // empty when it can.
    QString greyReason(int selectionIndex) const;
    // Clear: all four classes emptied, the unsolicited settings back to their defaults;
    // the editor stays on its class, its items unchecked (greyed in an event class) and
    // its fields showing the defaults.
    void clear();

private:
    void setItem(ListTag list, int row, ItemState s);
    void showFields(int cls);
    Result<void> applyUnsolicited(int cls);

    ConfigState& state_;
    ClassEditorView view_;
};

// What the class editor window asks of the program; the workspace answers each, so
// that the window runs no step of its own.
class ClassEditorActions {
public:
    virtual ~ClassEditorActions() = default;
    virtual const ClassEditor& classEditor() const = 0;
    virtual void clickItem(ListTag list, int row) = 0;
    virtual void checkItem(ListTag list, int row) = 0;
    virtual void setGroup(int button) = 0;
    virtual void clearGroup(int button) = 0;
    virtual void toggleHarmonics(int button) = 0;
    virtual void editUnsolicited(const UnsolicitedTexts& texts) = 0;
    // OK: the apply step (its note and a refusal told); a refusal names its field (the
    // error's line).
    virtual Result<void> applyClassEdit() = 0;
    // Save: the apply step, then the configuration saved (its failures told).
    virtual Result<void> saveClassEdit() = 0;
    // Clear, once the user has agreed; true when it was done.
    virtual bool clearClassEdit() = 0;
};

}  // namespace dnp
