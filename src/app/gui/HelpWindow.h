#pragma once
// The help window: the help pages compiled into the program (":/help/"), a contents
// list, Back and Forward, and Find in page. One window serves the whole run. It is
// not modal, yet it stays usable while a modal dialog is open: it is a window of its
// own modality that blocks nothing, put in front of the dialog that opened.

#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTextBrowser;
class QToolButton;

namespace dnp {

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows the page of a topic number (0: the contents) and brings the window up.
    void showTopic(int topic);
    // Shows a page by its file name, with an anchor if any ("send.html#messages").
    void showPage(const QString& file);
    // The file name of the page shown ("send.html").
    QString currentPage() const;

    // Find in page: the next or the previous place of the find field's text, going
    // round at the end of the page. False when the page does not hold it.
    bool findNext();
    bool findPrevious();

    QTextBrowser* browser() const { return browser_; }
    QTreeWidget* contentsList() const { return contents_; }
    QLineEdit* findField() const { return findField_; }
    QLabel* findStatus() const { return findStatus_; }
    QToolButton* backButton() const { return back_; }
    QToolButton* forwardButton() const { return forward_; }

protected:
    bool event(QEvent* event) override;

private:
    bool find(bool backward, bool fromSelectionStart = false);
    void pageShown(const QUrl& source);
    // In front of the modal dialogs again (a dialog opened after this window blocks it).
    void stayUsable();

    QTextBrowser* browser_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QLineEdit* findField_ = nullptr;
    QLabel* findStatus_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    bool blocked_ = false;
};

// The address of a help page in the resources: "qrc:/help/send.html".
QUrl helpPageUrl(const QString& file);

// The dialog the program's boxes and dialogs appear over: the active modal window,
// passing over the help window; nullptr when no dialog is open.
QWidget* activeDialog();

}  // namespace dnp
