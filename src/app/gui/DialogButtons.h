#pragma once
// The button row of the small dialogs: named push buttons, the first one the default.

#include <QString>
#include <initializer_list>
#include <utility>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace dnp {

// A push button with its object name; only the default button reacts to Enter.
QPushButton* dialogButton(QWidget* parent, const QString& objectName, const QString& caption, bool isDefault = false);
// The buttons right-aligned in one row.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

}  // namespace dnp
