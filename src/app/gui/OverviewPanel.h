#pragma once
// The body of the main window: an overview of the configuration (the points of each
// type in each class and the words they take of what the panel holds), the mapping a
// send uses, the port, and how the last transfer ended. It shows a DeskOverview. The
// heading "Last transfer" links to the history of every transfer.

#include "app/Workspace.h"

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
    // The height the panel takes, worked out from the font alone (nothing laid out):
    // the main window is sized by it before it is first shown.
    int plannedHeight() const;

    // The number of points of a type in a class (0-3).
    QLabel* pointCount(PointType type, int cls) const { return counts_[typeNumber(type)][cls]; }
    QLabel* words() const { return words_; }
    QLabel* mapping() const { return mapping_; }
    QLabel* port() const { return port_; }
    QLabel* lastTransfer() const { return lastTransfer_; }

signals:
    // The heading "Last transfer", a link, was clicked: the history is asked for.
    void historyRequested();

private:
    QLabel* addValueRow(QGridLayout* grid, int row, const QString& heading, const QString& name);

    std::array<std::array<QLabel*, 4>, kPointTypeCount> counts_{};
    QLabel* words_ = nullptr;
    QLabel* mapping_ = nullptr;
    QLabel* port_ = nullptr;
    QLabel* lastTransfer_ = nullptr;
};

}  // namespace dnp
