#pragma once
// Pieces the small dialogs share: named push buttons in a right-aligned row, a
// dialog that centres itself on the screen each time it is shown, and the help key.

#include "model/WordBudget.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace dnp {

// A push button with its object name; only the default button reacts to Enter.
QPushButton* dialogButton(QWidget* parent, const QString& objectName, const QString& caption, bool isDefault = false);
// The buttons right-aligned in one row.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

// A list's Copy All (the whole text) and Ctrl+C in its view (the rows selected) put
// `text(selectedOnly)` on the clipboard; Close accepts the dialog.
void connectCopyAndClose(QDialog* dialog, QWidget* view, QPushButton* copyAll, QPushButton* close,
                         std::function<QString(bool selectedOnly)> text);

// F1 (the system's help key) anywhere in `window` runs `showHelp`, which opens the
// window's help topic.
void addHelpKey(QWidget* window, std::function<void()> showHelp);

// A word count, "183 of 240 words"; in bold dark red, with why in its tool tip, when
// the panel cannot take that many.
void showWordBudget(QLabel* label, const WordBudget& words);

// A modal dialog centred on its screen when shown.
class CentredDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace dnp
