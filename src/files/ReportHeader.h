#pragma once
// The Report Header dialog's logic. It exists for the whole run; its two boxes keep
// whatever was typed in them, confirmed or not.

#include "model/ConfigState.h"
#include "model/HelpTopics.h"
#include "model/UserPrompts.h"

#include <QDate>
#include <QString>

namespace dnp {

class ReportHeader {
public:
    static constexpr int kHelpTopic = kReportHeaderHelpTopic;

    // FormCreate: the description box gets the short date of `today` + " Report",
    // the comment box "None".
    ReportHeader(ConfigState& state, UserPrompts& prompts, const QDate& today);

    QString DescEdit;
    QString CommentEdit;

    void OKBtnClick();      // the state takes the box texts; accepted
    void CancelBtnClick();  // not accepted; the state's texts stay
    void closeBoxClick();   // the window's close box: the same as Cancel
    void BitBtn1Click();    // Help: topic 42

private:
    void FormCreate(const QDate& today);

    ConfigState& state_;
    UserPrompts& prompts_;
};

}  // namespace dnp
