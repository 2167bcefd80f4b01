#pragma once
// Panel > Line Trace: the frames of the last transfer, one row each (when, which way,
// the message, the bytes in hex, what was wrong); Copy puts the trace on the clipboard
// as text under its heading, Save writes it to a file. It follows each transfer as it ends.

#include "comm/LineTrace.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace dnp {

class LineTraceWindow : public QDialog {
    Q_OBJECT
public:
    // `save`: Save's command (it asks for the file and writes it).
    LineTraceWindow(std::function<void()> save, QWidget* parent = nullptr);

    // The trace shown from now on; `text`: what Copy gives (PanelSession::lastTraceText).
    void showTrace(const std::vector<LineEvent>& trace, const QStringList& text);

    QTableWidget* table = nullptr;
    QLabel* summary = nullptr;
    QPushButton* CopyBtn = nullptr;
    QPushButton* SaveBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

private:
    QStringList text_;
};

}  // namespace dnp
