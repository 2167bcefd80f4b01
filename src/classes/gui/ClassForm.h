#pragma once
// The class selection editor window. It shows the ClassEditor's state and hands
// every click and button to the program (the desk's commands answer).

#include "classes/ClassEditor.h"
#include "widgets/UserPrompts.h"

#include <QDialog>
#include <QMap>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace dnp {

class CheckListBox;

class TClassForm : public QDialog {
    Q_OBJECT
public:
    TClassForm(ClassEditorActions& actions, UserPrompts& prompts, QWidget* parent = nullptr);

    // Shows the editor's current state: items, fields, caption, pages, buttons.
    void refresh();

    CheckListBox* list(ListTag tag) const { return lists_[tagNumber(tag) - 1]; }
    QPushButton* button(const QString& objectName) const;
    QTabWidget* pages() const { return ClassPC; }
    QLineEdit* DeadbandEdit = nullptr;
    QLineEdit* MinEventEdit = nullptr;
    QLineEdit* NotDelayEdit = nullptr;
    // The Class 0 editor: the words the points its lists show take, "183 of 240 words".
    QLabel* WordCountLabel = nullptr;

    void class0okBtnClick();
    void SaveCfgBtnClick();
    void ResetClassBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildListPage(ListTag tag);
    QWidget* buildMeterPage();
    QWidget* buildDemandPage();
    QWidget* buildHarmonicsPage();
    QWidget* buildUnsolicitedPage();
    CheckListBox* makeList(ListTag tag, QWidget* parent);
    QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent);
    void addGroupButtons(CheckListBox* list, int firstButton, int lastButton);
    void wireList(CheckListBox* list);
    void storeFields();
    // After an apply step that a field refused: that field, selected for correction.
    void selectField(UnsolicitedField field);

    ClassEditorActions& actions_;
    UserPrompts& prompts_;
    QTabWidget* ClassPC = nullptr;
    int unsolicitedTab_ = -1;
    std::array<CheckListBox*, kGroupCount> lists_{};
    std::array<QPushButton*, 4> helpButtons_{};
    QMap<QString, QPushButton*> buttons_;
};

}  // namespace dnp
