#pragma once
// A check list of the class editor: rows of check boxes in a fixed number of
// columns filled top to bottom, with optional headings over the columns.

#include "classes/ClassEditor.h"

#include <QWidget>
#include <vector>

class QCheckBox;
class QGridLayout;

namespace dnp {

struct ColumnHeading {
    int firstRow;
    QString text;
};

class CheckListBox : public QWidget {
    Q_OBJECT
public:
    CheckListBox(const PointGroup& group, int rowsPerColumn, const std::vector<ColumnHeading>& headings,
                 QWidget* parent = nullptr);

    ListTag tag() const { return group_.tag; }
    const PointGroup& group() const { return group_; }
    int count() const { return group_.count; }
    QCheckBox* box(int row) const { return boxes_[row]; }
    // Row of a column's first item, for placing buttons under columns.
    int columnOf(int row) const { return row / rowsPerColumn_; }
    QGridLayout* grid() const { return grid_; }
    int buttonRow() const { return rowsPerColumn_ + 1; }

    // The editor's item states; a greyed item looks disabled (unticked, in the disabled
    // colours, yet it takes clicks) and tells in its tool tip why it is greyed.
    void showStates(const ClassEditor& editor);

signals:
    void itemClicked(int row);        // the box was clicked or toggled with the space bar
    void itemSelected(int row);       // the item became the current one by keyboard
    void itemDoubleClicked(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const PointGroup& group_;
    int rowsPerColumn_;
    std::vector<QCheckBox*> boxes_;
    QGridLayout* grid_;
};

}  // namespace dnp
