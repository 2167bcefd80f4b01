#include "widgets/DialogKit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

namespace dnp {

QPushButton* dialogButton(QWidget* parent, const QString& objectName, const QString& caption, bool isDefault)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    return button;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

void connectCopyAndClose(QDialog* dialog, QWidget* view, QPushButton* copyAll, QPushButton* close,
                         std::function<QString(bool selectedOnly)> text)
{
    QObject::connect(copyAll, &QPushButton::clicked, dialog, [text] { QApplication::clipboard()->setText(text(false)); });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* copy = new QShortcut(QKeySequence::Copy, view);
    QObject::connect(copy, &QShortcut::activated, dialog, [text] { QApplication::clipboard()->setText(text(true)); });
}

void addHelpKey(QWidget* window, std::function<void()> showHelp)
{
    auto* key = new QShortcut(QKeySequence::HelpContents, window);
    key->setObjectName(QStringLiteral("HelpKey"));
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, std::move(showHelp));
}

void showWordBudget(QLabel* label, const WordBudget& words)
{
    static const QColor kOverBudgetColor(0xB0, 0x00, 0x00);
    label->setText(words.text());
    label->setToolTip(words.over() ? words.overText() : QString());
    QFont font = label->font();
    font.setBold(words.over());
    label->setFont(font);
    QPalette palette;
    if (words.over())
        palette.setColor(QPalette::WindowText, kOverBudgetColor);
    label->setPalette(palette);
}

void CentredDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

}  // namespace dnp
