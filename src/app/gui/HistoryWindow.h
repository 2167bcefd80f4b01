#pragma once
// Panel > History...: the recorded panel commands, newest first, in a table that sorts by
// any column and is filtered by device and outcome; the line trace of the selected
// record below it. Copy puts the selected records on the clipboard as CSV, Export CSV
// writes the records shown to a file. Below the filters it says whether the chain of
// records is whole (walked on opening and on Refresh). It reads the history again on
// Refresh and after every record.

#include "history/HistoryStore.h"
#include "model/Result.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace dnp {

// What the window asks of the history.
struct HistoryWindowActions {
    std::function<Result<std::vector<HistoryRecord>>(const HistoryFilter&)> records;
    std::function<Result<ChainCheck>()> chain;
    std::function<void(const std::vector<HistoryRecord>&)> exportCsv;
    std::function<void()> showHelp;
};

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The window shows at most this many records, the newest.
    static constexpr int kShownRecords = 1000;

    explicit HistoryWindow(HistoryWindowActions actions, QWidget* parent = nullptr);

    // The records read again with the filter as it is.
    void refresh();
    // The same, and the chain walked again (on opening and Refresh: a long history takes
    // a while).
    void recheck();

    QComboBox* DeviceFilter = nullptr;
    QComboBox* OutcomeFilter = nullptr;
    QTableWidget* table = nullptr;
    QPlainTextEdit* traceView = nullptr;
    QLabel* summary = nullptr;
    QLabel* chainState = nullptr;
    QPushButton* RefreshBtn = nullptr;
    QPushButton* CopyBtn = nullptr;
    QPushButton* ExportBtn = nullptr;
    QPushButton* CloseBtn = nullptr;

private:
    void showRecords();
    void showTrace();
    std::vector<HistoryRecord> selectedRecords() const;

    HistoryWindowActions actions_;
    std::vector<HistoryRecord> records_;
};

}  // namespace dnp
