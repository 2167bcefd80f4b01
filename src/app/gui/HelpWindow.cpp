#include "app/gui/HelpWindow.h"

#include "model/HelpTopics.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace dnp {
namespace {

const QString kWindowTitle = QStringLiteral("DNP Configure Help");
constexpr QSize kDefaultSize{960, 700};
constexpr double kLargestScreenShare = 0.85;
constexpr int kContentsWidth = 250;
constexpr int kFindFieldWidth = 220;
constexpr int kPageMargin = 12;
constexpr int kSmallestPageWidth = 360;
constexpr int kFileRole = Qt::UserRole;

QToolButton* toolButton(QWidget* parent, const char* name, const QString& text, QStyle::StandardPixmap icon,
                        const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

QUrl helpPageUrl(const QString& file)
{
    return QUrl(QStringLiteral("qrc:/help/") + file);
}

namespace {

bool isModalDialog(const QWidget* w)
{
    return w->isWindow() && w->windowModality() != Qt::NonModal && !qobject_cast<const THelpWindow*>(w);
}

// The modal dialogs open, in the order they were shown (the order in which they block
// each other), so that the program's boxes appear over the last one also while the
// help window stands in front of them. It watches the application from the moment the
// help window is first built; the dialogs open then are taken in, the active one last.
class ModalDialogs : public QObject {
public:
    static ModalDialogs& instance()
    {
        static QPointer<ModalDialogs> dialogs;
        if (!dialogs)
            dialogs = new ModalDialogs(qApp);
        return *dialogs;
    }

    QWidget* last() const
    {
        for (auto it = shown_.crbegin(); it != shown_.crend(); ++it)
            if (*it && (*it)->isVisible())
                return *it;
        return nullptr;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (isModalDialog(w)) {
                shown_.removeAll(w);
                if (type == QEvent::Show)
                    shown_.append(w);
            }
        }
        return false;
    }

private:
    explicit ModalDialogs(QObject* parent) : QObject(parent)
    {
        QWidget* active = QApplication::activeModalWidget();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != active && w->isVisible() && isModalDialog(w))
                shown_.append(w);
        if (active && isModalDialog(active))
            shown_.append(active);
        qApp->installEventFilter(this);
    }

    QList<QPointer<QWidget>> shown_;
};

}  // namespace

QWidget* activeDialog()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!qobject_cast<THelpWindow*>(modal))
        return modal;
    return ModalDialogs::instance().last();
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    ModalDialogs::instance();
    setWindowTitle(kWindowTitle);
    // Modal to no window: it blocks nothing, and being a modal window of its own it
    // is not blocked by the dialogs opened before it.
    setWindowModality(Qt::WindowModal);
    // Closing the main window ends the program even while help is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    back_ = toolButton(this, "BackBtn", QStringLiteral("Back"), QStyle::SP_ArrowBack, QStringLiteral("Back (Alt+Left)"));
    forward_ = toolButton(this, "ForwardBtn", QStringLiteral("Forward"), QStyle::SP_ArrowForward,
                          QStringLiteral("Forward (Alt+Right)"));
    auto* home = toolButton(this, "ContentsBtn", QStringLiteral("Contents"), QStyle::SP_DirHomeIcon,
                            QStringLiteral("The contents page"));
    findField_ = new QLineEdit(this);
    findField_->setObjectName(QStringLiteral("FindEdit"));
    findField_->setPlaceholderText(QStringLiteral("Find in page (Ctrl+F)"));
    findField_->setClearButtonEnabled(true);
    findField_->setFixedWidth(kFindFieldWidth);
    auto* previous = toolButton(this, "FindPreviousBtn", QStringLiteral("Previous"), QStyle::SP_ArrowUp,
                                QStringLiteral("Previous place (Shift+F3)"));
    auto* next = toolButton(this, "FindNextBtn", QStringLiteral("Next"), QStyle::SP_ArrowDown,
                            QStringLiteral("Next place (F3, Enter)"));
    findStatus_ = new QLabel(this);
    findStatus_->setObjectName(QStringLiteral("FindStatus"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 4);
    for (QWidget* w : {static_cast<QWidget*>(back_), static_cast<QWidget*>(forward_), static_cast<QWidget*>(home)})
        bar->addWidget(w);
    bar->addStretch(1);
    bar->addWidget(findStatus_);
    bar->addWidget(findField_);
    bar->addWidget(previous);
    bar->addWidget(next);

    // The contents: the contents page, then the pages of the windows and of the tasks.
    contents_ = new QTreeWidget(this);
    contents_->setObjectName(QStringLiteral("ContentsList"));
    contents_->setHeaderHidden(true);
    contents_->setRootIsDecorated(false);
    contents_->setIndentation(14);
    QTreeWidgetItem* sections[] = {nullptr, new QTreeWidgetItem(contents_, {QStringLiteral("Windows")}),
                                   new QTreeWidgetItem(contents_, {QStringLiteral("Tasks")})};
    for (QTreeWidgetItem* section : {sections[1], sections[2]}) {
        QFont bold = section->font(0);
        bold.setBold(true);
        section->setFont(0, bold);
        section->setFlags(Qt::ItemIsEnabled);
    }
    for (const HelpPage& page : kHelpPages) {
        const auto section = static_cast<std::size_t>(page.section);
        auto* item = sections[section] ? new QTreeWidgetItem(sections[section], {QString::fromUtf8(page.title)})
                                       : new QTreeWidgetItem({QString::fromUtf8(page.title)});
        if (!sections[section])
            contents_->insertTopLevelItem(0, item);
        item->setData(0, kFileRole, QString::fromLatin1(page.file));
    }
    contents_->expandAll();
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->document()->setDocumentMargin(kPageMargin);
    // Every line of the pages wraps (pre-wrap for examples); a wide table would only
    // gain a scroll bar for its last border pixel.
    browser_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    browser_->setMinimumWidth(kSmallestPageWidth);
    // Found text stands out also while the find field has the focus.
    QPalette palette = browser_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    browser_->setPalette(palette);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({kContentsWidth, kDefaultSize.width() - kContentsWidth});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);

    back_->setEnabled(false);
    forward_->setEnabled(false);
    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { showPage(QString::fromLatin1(kHelpPages[0].file)); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::pageShown);
    const auto openItem = [this](QTreeWidgetItem* item) {
        if (const QString file = item->data(0, kFileRole).toString(); !file.isEmpty())
            showPage(file);
    };
    connect(contents_, &QTreeWidget::itemClicked, this, openItem);
    connect(contents_, &QTreeWidget::itemActivated, this, openItem);

    connect(findField_, &QLineEdit::textEdited, this, [this] { find(false, true); });
    connect(findField_, &QLineEdit::returnPressed, this, &THelpWindow::findNext);
    connect(next, &QToolButton::clicked, this, &THelpWindow::findNext);
    connect(previous, &QToolButton::clicked, this, &THelpWindow::findPrevious);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        findField_->setFocus(Qt::ShortcutFocusReason);
        findField_->selectAll();
    });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this, &THelpWindow::findNext);
    connect(new QShortcut(QKeySequence::FindPrevious, this), &QShortcut::activated, this, &THelpWindow::findPrevious);
    // Esc and Ctrl+W close the window, as they close the program's other windows.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Back, this), &QShortcut::activated, browser_, &QTextBrowser::backward);
    connect(new QShortcut(QKeySequence::Forward, this), &QShortcut::activated, browser_, &QTextBrowser::forward);

    QSize size = kDefaultSize;
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size() * kLargestScreenShare);
        resize(size);
        move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    } else {
        resize(size);
    }
    showPage(QString::fromLatin1(kHelpPages[0].file));
}

void THelpWindow::showTopic(int topic)
{
    showPage(QString::fromLatin1(helpPageForTopic(topic).file));
    if (!isVisible())
        show();
    else if (blocked_)
        stayUsable();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void THelpWindow::showPage(const QString& file)
{
    browser_->setSource(helpPageUrl(file));
}

QString THelpWindow::currentPage() const
{
    return browser_->source().fileName();
}

void THelpWindow::pageShown(const QUrl& source)
{
    const HelpPage* page = helpPageForFile(source.fileName().toStdString());
    const QSignalBlocker quiet(contents_);
    contents_->setCurrentItem(nullptr);
    for (QTreeWidgetItemIterator it(contents_); *it; ++it)
        if ((*it)->data(0, kFileRole).toString() == source.fileName())
            contents_->setCurrentItem(*it);
    setWindowTitle(page && page != kHelpPages.data() ? QString::fromUtf8(page->title) + QStringLiteral(" - ") + kWindowTitle
                                                     : kWindowTitle);
    findStatus_->clear();
}

bool THelpWindow::findNext()
{
    return find(false);
}

bool THelpWindow::findPrevious()
{
    return find(true);
}

bool THelpWindow::find(bool backward, bool fromSelectionStart)
{
    findStatus_->clear();
    const QString text = findField_->text();
    if (text.isEmpty())
        return false;
    QTextCursor cursor = browser_->textCursor();
    if (fromSelectionStart) {
        // While typing, the place found so far grows with the text.
        cursor.setPosition(cursor.selectionStart());
        browser_->setTextCursor(cursor);
    }
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (browser_->find(text, flags))
        return true;
    QTextCursor wrapped = cursor;
    wrapped.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    browser_->setTextCursor(wrapped);
    if (browser_->find(text, flags))
        return true;
    browser_->setTextCursor(cursor);
    findStatus_->setText(QStringLiteral("Not found"));
    return false;
}

bool THelpWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowBlocked:
        blocked_ = true;
        // A dialog opened after this window: stay usable beside it. A message box
        // is answered first; it blocks this window only while it is open.
        QTimer::singleShot(0, this, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!blocked_ || !isVisible() || qobject_cast<QMessageBox*>(dialog))
                return;
            stayUsable();
            if (dialog) {
                dialog->raise();
                dialog->activateWindow();
            }
        });
        break;
    case QEvent::WindowUnblocked:
        blocked_ = false;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void THelpWindow::stayUsable()
{
    // A window takes its place among the modal windows when it is shown.
    const QRect place = geometry();
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    hide();
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setGeometry(place);
}

}  // namespace dnp
