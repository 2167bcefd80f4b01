#pragma once
// The "Report Header" dialog: the description and comment of a report. It shows
// and edits the texts of the ReportHeader logic, which keeps them for the run.

#include "files/ReportHeader.h"
#include "widgets/DialogKit.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace dnp {

class TReportForm : public CentredDialog {
    Q_OBJECT
public:
    explicit TReportForm(ReportHeader& header, QWidget* parent = nullptr);

    // Shows the logic's texts in the boxes (run before each showing; exec() does it).
    void refresh();
    int exec() override;

    QLineEdit* DescEdit = nullptr;
    QLineEdit* CommentEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void OKBtnClick();
    void CancelBtnClick();

protected:
    // Esc and the close box end the dialog as Cancel does.
    void reject() override;

private:
    ReportHeader& header_;
};

}  // namespace dnp
