#pragma once
// A file's problems, one a line ("line 13: ...") under a heading that names the file
// once, in a window that can be made larger and whose list can be copied: select lines
// and press Ctrl+C, or "Copy All" for the heading and every line.

#include "widgets/DialogKit.h"

#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace dnp {

class ProblemsDialog : public CentredDialog {
    Q_OBJECT
public:
    ProblemsDialog(const QString& heading, const QStringList& problems, QWidget* parent = nullptr);

    QLabel* heading = nullptr;
    QListWidget* list = nullptr;
    QPushButton* CopyAllBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

    // The heading and the lines, or only the lines selected, one a line.
    QString text(bool selectedOnly) const;
};

}  // namespace dnp
