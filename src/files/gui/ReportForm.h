#pragma once
// The "Report Header" dialog: the description and comment of a report. Its boxes
// keep what was typed in them for the run, confirmed or not.

#include "files/ReportHeader.h"
#include "widgets/UserPrompts.h"
#include "widgets/DialogKit.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace dnp {

class TReportForm : public CentredDialog {
    Q_OBJECT
public:
    // `first`: the texts the boxes hold at first.
    TReportForm(const ReportHeaderTexts& first, UserPrompts& prompts, QWidget* parent = nullptr);

    // The texts of the boxes.
    ReportHeaderTexts texts() const;
    int exec() override;

    QLineEdit* DescEdit = nullptr;
    QLineEdit* CommentEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void OKBtnClick();
    void CancelBtnClick();
};

}  // namespace dnp
