#pragma once
// The body of the main window: an overview of the configuration (the points of each
// type in each class, the unsolicited settings of each event class and the words the
// Class 0 points take of what the panel holds), the mapping a send uses, the port, the
// file's folder, how the last transfer ended and, for a new configuration, the first
// step. It shows a DeskOverview. The heading "Last transfer" links to the history of
// every transfer.

#include "app/DeskOverview.h"

#include <QWidget>
#include <array>

class QGridLayout;
class QLabel;

namespace dnp {

class OverviewPanel : public QWidget {
    Q_OBJECT
public:
    explicit OverviewPanel(QWidget* parent = nullptr);

    void showOverview(const DeskOverview& overview);
    // The height the panel takes in a font, worked out from the font alone (nothing
    // built or laid out): the main window is sized by it before the panel is built.
    static int plannedHeight(const QFontMetrics& font);

    // The number of points of a type in a class (0-3).
    QLabel* pointCount(PointType type, int cls) const { return counts_[typeNumber(type)][cls]; }
    QLabel* words() const { return words_; }
    QLabel* mapping() const { return mapping_; }
    QLabel* port() const { return port_; }
    QLabel* folder() const { return folder_; }
    QLabel* lastTransfer() const { return lastTransfer_; }
    QLabel* firstStep() const { return firstStep_; }
    // An unsolicited setting (row: dead band, minimum events, notification delay) of an
    // event class (1-3).
    QLabel* unsolicited(int row, int cls) const { return unsolicited_[row][cls - 1]; }

signals:
    // The heading "Last transfer", a link, was clicked: the history is asked for.
    void historyRequested();

private:
    QLabel* addValueRow(QGridLayout* grid, int row, const QString& heading, const QString& name);

    std::array<std::array<QLabel*, 4>, kPointTypeCount> counts_{};
    std::array<std::array<QLabel*, 3>, kUnsolicitedRowCount> unsolicited_{};
    QLabel* words_ = nullptr;
    QLabel* mapping_ = nullptr;
    QLabel* port_ = nullptr;
    QLabel* folder_ = nullptr;
    QLabel* lastTransfer_ = nullptr;
    QLabel* firstStep_ = nullptr;
};

}  // namespace dnp
