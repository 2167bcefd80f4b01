#pragma once
// The class selection editor's rules: the states of its 17 check lists, the click
// rule, the group and harmonic buttons, and the apply and clear steps that carry
// the lists into the configuration or empty it. The window only shows this state.

#include "model/ConfigState.h"
#include "model/HelpTopics.h"
#include "model/UserPrompts.h"

#include <QString>
#include <array>
#include <cstdint>

namespace dnp {

enum class ItemState : std::uint8_t { Unchecked, Checked, Greyed };

// The fields of the Unsolicited Responses page.
enum class UnsolicitedField { None, Deadband, MinEvents, NotDelay };

// A "Set"/"Clear" button pair of the editor and the rows of its list it works on.
struct GroupButton {
    const char* setName;    // "InstSetBtn"
    const char* clearName;  // "InstClrBtn"
    ListTag list;
    int firstRow;
    int lastRow;
};
constexpr int kGroupButtonCount = 11;
extern const std::array<GroupButton, kGroupButtonCount> kGroupButtons;

// The seven harmonic toggle buttons of HarmCLB.
struct HarmonicButton {
    const char* name;     // "HVldoBtn"
    const char* caption;  // "Odd"
    int firstRow;
    int lastRow;
};
constexpr int kHarmonicButtonCount = 7;
extern const std::array<HarmonicButton, kHarmonicButtonCount> kHarmonicButtons;

// The 29 buttons EnableButtons switches.
extern const std::array<const char*, 29> kEnableButtonNames;

// What the editor window shows.
struct ClassEditorView {
    std::array<ItemState, kSelectionSize> items{};  // by SelectionIndex: row k of a list is base + k
    QString DeadbandEdit;
    QString MinEventEdit;
    QString NotDelayEdit;
    std::array<bool, kHarmonicButtonCount> HarmonicToggle{};  // outlive openings
    QString caption = QStringLiteral("Class 0 Selection");
    bool unsolicitedPageVisible = false;
    int visibleHelpClass = 0;  // which of C0HelpBtn..C3HelpBtn shows
    int shownClass = 0;        // the class whose selection the window shows (its F1 topic)
    bool groupButtonsEnabled = true;
};

QString classCaption(int cls);  // "Class 1 Selection"

class ClassEditor {
public:
    ClassEditor(ConfigState& state, UserPrompts& prompts);

    ClassEditorView& view() { return view_; }
    const ClassEditorView& view() const { return view_; }
    ItemState item(ListTag list, int row) const;
    void setItem(ListTag list, int row, ItemState s);

    // The main window's class button for class k, up to showing the window.
    void ClassSpBtnClick(int cls);
    void InitCLBs(int mode);
    void EnableButtons(bool enable);
    // The retrieve view's OK: Class 0 lists, caption, no Unsolicited Responses page.
    void prepareRetrievedView();

    // A click on an item's box (or the space bar): the toolkit's toggle, then the rule.
    void clickItem(ListTag list, int row);
    // The rule alone: selection in the Status list, double click in InstCLB/ImmCLB.
    void CLBClickChek(ListTag list, int row);

    void groupSet(int button);
    void groupClear(int button);
    void harmonicClick(int button);

    // OK/Save's apply step. False when an unsolicited field is not a number or out of its
    // range: nothing of the step is applied, and badField() names the field.
    bool class0okBtnClick();
    UnsolicitedField badField() const { return badField_; }
    // Why a greyed item cannot be chosen in the event class being edited:
    // "Not in Class 0: select it in Class 0 first." or "Already reported in Class 2.";
    // empty when it can.
    QString greyReason(int selectionIndex) const;
    // The clear step: all four classes emptied at once (also before a file or a retrieved
    // configuration is taken in); the edited class is 0 afterwards.
    void ResetClassBtnClick();
    // The window's Clear: the clear step, after which the window stays the editor of the
    // class it shows, with that class's unsolicited settings (now the defaults).
    void clearAll();

private:
    void fillUnsolicitedFields(int cls);
    bool applyUnsolicited();
    void class0Compare(bool allTypes);
    void storeLists();

    ConfigState& state_;
    UserPrompts& prompts_;
    ClassEditorView view_;
    UnsolicitedField badField_ = UnsolicitedField::None;
};

}  // namespace dnp
