#pragma once
// The differences between the configuration and a file, as a table the user can copy:
// select rows and press Ctrl+C, or "Copy All" for the whole table with its headings,
// tab-separated.

#include "model/ConfigCompare.h"

#include "widgets/DialogKit.h"

class QTableWidget;
class QPushButton;

namespace dnp {

class DifferencesDialog : public CentredDialog {
    Q_OBJECT
public:
    DifferencesDialog(const QString& fileName, const ConfigDifferences& differences, QWidget* parent = nullptr);

    QTableWidget* table = nullptr;
    QPushButton* CopyAllBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

    // The rows, or only the selected ones, as tab-separated lines (headings first).
    QString tableText(bool selectedOnly) const;
};

}  // namespace dnp
