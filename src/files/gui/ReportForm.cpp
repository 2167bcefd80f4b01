#include "files/gui/ReportForm.h"

#include "model/HelpTopics.h"
#include "widgets/DialogKit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dnp {
namespace {

constexpr int kEditWidth = 261;

}  // namespace

TReportForm::TReportForm(const ReportHeaderTexts& first, UserPrompts& prompts, QWidget* parent) : CentredDialog(parent)
{
    setObjectName("ReportForm");
    setWindowTitle(QStringLiteral("Report Header"));
    setModal(true);

    auto* descLabel = new QLabel(QStringLiteral("Report \nDescription:"), this);
    auto* commentLabel = new QLabel(QStringLiteral("Comments:"), this);
    DescEdit = new QLineEdit(this);
    DescEdit->setObjectName("DescEdit");
    DescEdit->setFixedWidth(kEditWidth);
    CommentEdit = new QLineEdit(this);
    CommentEdit->setObjectName("CommentEdit");
    CommentEdit->setFixedWidth(kEditWidth);
    descLabel->setBuddy(DescEdit);
    commentLabel->setBuddy(CommentEdit);

    OKBtn = dialogButton(this, "OKBtn", QStringLiteral("&OK"), true);
    CancelBtn = dialogButton(this, "CancelBtn", QStringLiteral("&Cancel"));
    BitBtn1 = dialogButton(this, "BitBtn1", QStringLiteral("&Help"));

    auto* fields = new QGridLayout;
    fields->addWidget(descLabel, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    fields->addWidget(DescEdit, 0, 1);
    fields->addWidget(commentLabel, 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
    fields->addWidget(CommentEdit, 1, 1);
    QHBoxLayout* buttons = buttonRow({OKBtn, CancelBtn, BitBtn1});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // sized to its content

    setTabOrder(CommentEdit, DescEdit);
    setTabOrder(DescEdit, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, BitBtn1);

    DescEdit->setText(first.description);
    CommentEdit->setText(first.comment);
    connect(OKBtn, &QPushButton::clicked, this, &TReportForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TReportForm::CancelBtnClick);
    connect(BitBtn1, &QPushButton::clicked, this, [&prompts] { prompts.showHelp(kReportHeaderHelpTopic); });
    addHelpKey(this, [&prompts] { prompts.showHelp(kReportHeaderHelpTopic); });
}

ReportHeaderTexts TReportForm::texts() const
{
    return {DescEdit->text(), CommentEdit->text()};
}

int TReportForm::exec()
{
    CommentEdit->setFocus();  // first in the tab order
    return QDialog::exec();
}

void TReportForm::OKBtnClick()
{
    accept();
}

// Esc and the close box end the dialog as Cancel does.
void TReportForm::CancelBtnClick()
{
    reject();
}

}  // namespace dnp
