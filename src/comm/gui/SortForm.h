#pragma once
// The Class 0 data order window: the order lists of the send and order modes
// (reordered by dragging within one list, or with Move Up and Move Down), the retrieve
// lists, the two "DNP Mapping" groups and the send, retrieve and OK buttons. It shows the SortModel and hands every action to the
// program (the workspace answers).

#include "comm/Exchange.h"
#include "comm/SortModel.h"

#include <QDialog>
#include <QListWidget>
#include <QPoint>
#include <array>
#include <functional>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace dnp {

class UserPrompts;

// An order list of the send mode: items move by dragging within the list only;
// every move goes to the program, which moves Class0Order with it.
class OrderListBox : public QListWidget {
    Q_OBJECT
public:
    OrderListBox(OrderWindowActions& actions, PointType type, QWidget* parent = nullptr);

    PointType type() const { return type_; }
    // Shows the model's list.
    void reload();
    // Whether a drag from `source` may be dropped here (only from this list).
    bool acceptsDragFrom(const QObject* source) const;
    // The drop of the item dragged from row `from` on row `row` (-1 below the last item).
    void dropAt(int from, int row);
    // The row under a point of the viewport, -1 below the last item.
    int rowAt(const QPoint& pos) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    OrderWindowActions& actions_;
    PointType type_;
    std::optional<QPoint> pressPos_;
    int pressRow_ = -1;
};

class TSortForm : public QDialog {
    Q_OBJECT
public:
    TSortForm(OrderWindowActions& actions, UserPrompts& prompts, QWidget* parent = nullptr);

    // Retrieve mode "&OK", once what was read has replaced the configuration: shows the
    // class editor with its Class 0 selection (modally); the window closes when it
    // returns. By default nothing.
    std::function<void()> classEditorHook;

    // The progress of a send (with its verify) or a retrieve, shown in the window:
    // message 1-18 as it starts with its text ("Verifying message 3 of 18"), 0 at the
    // end. `running`: what would start another transfer or change the order waits.
    void showProgress(int message, const QString& text, bool running);
    // A send started here, with the verify that follows it, has ended: the window closes
    // (the order that was sent is kept).
    void panelCommandEnded();

    // Shows the model's state: caption, visibilities, lists, mapping groups.
    void refresh();

    OrderListBox* class0List(PointType type) const { return class0Lists_[typeNumber(type)]; }
    QListWidget* retrieveList(PointType type) const { return retrieveLists_[typeNumber(type)]; }
    QLabel* listLabel(PointType type) const { return labels_[typeNumber(type)]; }
    QGroupBox* MappingRG = nullptr;
    QGroupBox* RMappingRG = nullptr;
    QPushButton* OKtoSendButton = nullptr;
    QPushButton* ScancelBtn = nullptr;
    QPushButton* SendHelpBtn = nullptr;
    QPushButton* OKtoRetrieveButton = nullptr;
    QPushButton* RokBtn = nullptr;
    QPushButton* RcancelBtn = nullptr;
    QPushButton* RetrieveHelpBtn = nullptr;
    // Order mode: OK keeps the order (ScancelBtn puts it back).
    QPushButton* OrderOkBtn = nullptr;
    // Send and order modes: the chosen point of the list last used one place up or down
    // (Alt+Up, Alt+Down).
    QPushButton* MoveUpBtn = nullptr;
    QPushButton* MoveDownBtn = nullptr;
    // Send mode: "Verify after sending" (the main window keeps it in the settings).
    QCheckBox* VerifyAfterSendBox = nullptr;
    QLabel* RetrieveProgressLabel = nullptr;
    QProgressBar* RetrieveProgress = nullptr;
    // Send mode: the words the Class 0 points take, "183 of 240 words".
    QLabel* WordCountLabel = nullptr;

    void OKtoSendButtonClick();
    void OKtoRetrieveButtonClick();
    void RokBtnClick();
    void RMappingRGClick(int item);
    // The chosen point of the list last used moves by `step` rows (-1 up, 1 down).
    void moveChosenPoint(int step);

    // Closing in any way tells the workspace (closeOrderWindow); closed otherwise than by
    // Send or OK (Cancel, Esc, the close box), the order the window was shown with is
    // restored and what a retrieve read is dropped. While its send runs, Cancel, Esc and
    // the close box cancel the send instead.
    void done(int result) override;

private:
    QGroupBox* makeMappingGroup(const QString& name, QButtonGroup*& group);
    QPushButton* makeButton(const QString& name, const QString& caption);
    void refreshLists();
    void refreshMapping();
    static void showItem(QButtonGroup* group, std::optional<Mapping> mapping);

    OrderWindowActions& actions_;
    UserPrompts& prompts_;
    std::array<OrderListBox*, kPointTypeCount> class0Lists_{};
    std::array<QListWidget*, kPointTypeCount> retrieveLists_{};
    std::array<QLabel*, kPointTypeCount> labels_{};
    OrderListBox* usedList_ = nullptr;  // the order list whose point was chosen last
    QButtonGroup* mappingGroup_ = nullptr;
    QButtonGroup* rMappingGroup_ = nullptr;
    bool sending_ = false;  // a send of this window (and its verify) runs
};

}  // namespace dnp
