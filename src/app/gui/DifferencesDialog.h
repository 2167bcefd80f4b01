#pragma once
// The differences between the configuration and a file, as a table the user can copy:
// select rows and press Ctrl+C, or "Copy All" for the whole table with its headings,
// tab-separated. Its columns are as wide as their contents, and the window as wide as
// the table (as far as the screen allows).

#include "model/ConfigCompare.h"

#include "widgets/DialogKit.h"

class QLabel;
class QTableWidget;
class QPushButton;

namespace dnp {

// "3 differences", "1 difference".
QString differenceCount(qsizetype count);

class DifferencesDialog : public CentredDialog {
    Q_OBJECT
public:
    // `rows`: the cells of each difference under differenceColumns() (differenceTableRow).
    DifferencesDialog(const QString& fileName, const QList<QStringList>& rows, QWidget* parent = nullptr);
    // The same under another caption and heading (a verify of the panel).
    DifferencesDialog(const QString& title, const QString& heading, const QList<QStringList>& rows,
                      QWidget* parent = nullptr);

    QTableWidget* table = nullptr;
    QLabel* count = nullptr;  // under the table: "3 differences"
    QPushButton* CopyAllBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

    // The rows, or only the selected ones, as tab-separated lines (headings first).
    QString tableText(bool selectedOnly) const;
};

}  // namespace dnp
