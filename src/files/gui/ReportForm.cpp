#include "files/gui/ReportForm.h"

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

TReportForm::TReportForm(ReportHeader& header, QWidget* parent) : CentredDialog(parent), header_(header)
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

    connect(DescEdit, &QLineEdit::textChanged, this, [this](const QString& text) { header_.DescEdit = text; });
    connect(CommentEdit, &QLineEdit::textChanged, this, [this](const QString& text) { header_.CommentEdit = text; });
    connect(OKBtn, &QPushButton::clicked, this, &TReportForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TReportForm::CancelBtnClick);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { header_.BitBtn1Click(); });
    addHelpKey(this, [this] { header_.BitBtn1Click(); });
    refresh();
}

void TReportForm::refresh()
{
    DescEdit->setText(header_.DescEdit);
    CommentEdit->setText(header_.CommentEdit);
}

int TReportForm::exec()
{
    refresh();
    CommentEdit->setFocus();  // first in the tab order
    return QDialog::exec();
}

void TReportForm::OKBtnClick()
{
    header_.OKBtnClick();
    QDialog::accept();
}

void TReportForm::CancelBtnClick()
{
    header_.CancelBtnClick();
    QDialog::reject();
}

void TReportForm::reject()
{
    header_.closeBoxClick();
    QDialog::reject();
}

}  // namespace dnp
