#include "files/ReportHeader.h"

#include "model/Regional.h"

namespace dnp {

ReportHeader::ReportHeader(ConfigState& state, UserPrompts& prompts, const QDate& today)
    : state_(state), prompts_(prompts)
{
    FormCreate(today);
}

void ReportHeader::FormCreate(const QDate& today)
{
    DescEdit = shortDate(today) + QStringLiteral(" Report");
    CommentEdit = QStringLiteral("None");
}

void ReportHeader::OKBtnClick()
{
    state_.ReportDescription = DescEdit;
    state_.ReportComment = CommentEdit;
    state_.ReportHeaderAccepted = true;
}

void ReportHeader::CancelBtnClick()
{
    state_.ReportHeaderAccepted = false;
}

void ReportHeader::closeBoxClick()
{
    CancelBtnClick();
}

void ReportHeader::BitBtn1Click()
{
    prompts_.showHelp(kHelpTopic);
}

}  // namespace dnp
