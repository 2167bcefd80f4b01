#include "files/gui/ReportForm.h"

#include "model/Regional.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

class ReportFormTest : public ::testing::Test {
protected:
    ScriptedPrompts prompts;
    TReportForm form{firstReportHeader(QDate(2024, 3, 5)), prompts};

    // Runs exec() and lets `act` work on the shown dialog; never blocks.
    int execWith(const std::function<void()>& act)
    {
        QTimer::singleShot(0, &form, [&] {
            act();
            if (form.isVisible())
                form.done(QDialog::Rejected);  // safety net: never leave the dialog open
        });
        return form.exec();
    }
};

TEST_F(ReportFormTest, ControlsTextsAndSizes)
{
    EXPECT_EQ(form.windowTitle(), "Report Header");
    EXPECT_EQ(form.DescEdit->text(), shortDate(QDate(2024, 3, 5)) + " Report");
    EXPECT_EQ(form.CommentEdit->text(), "None");
    EXPECT_EQ(form.DescEdit->width(), 261);
    EXPECT_EQ(form.CommentEdit->width(), 261);
    EXPECT_EQ(form.OKBtn->text(), "&OK");
    EXPECT_EQ(form.CancelBtn->text(), "&Cancel");
    EXPECT_EQ(form.BitBtn1->objectName(), "BitBtn1");
    QStringList labels;
    for (const QLabel* label : form.findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"Comments:", "Report \nDescription:"}));
    if (qEnvironmentVariableIsSet("DNP_SCREENSHOT")) {
        form.show();
        QApplication::processEvents();
        form.grab().save(qEnvironmentVariable("DNP_SCREENSHOT") + "/report_form.png");
        form.hide();
    }
}

TEST_F(ReportFormTest, TabOrderCommentDescriptionOkCancelHelp)
{
    EXPECT_EQ(form.CommentEdit->nextInFocusChain(), form.DescEdit);
    EXPECT_EQ(form.DescEdit->nextInFocusChain(), form.OKBtn);
    EXPECT_EQ(form.OKBtn->nextInFocusChain(), form.CancelBtn);
    EXPECT_EQ(form.CancelBtn->nextInFocusChain(), form.BitBtn1);
}

TEST_F(ReportFormTest, OkGivesTheTexts)
{
    const int result = execWith([&] {
        form.DescEdit->setText("Feeder 3");
        form.CommentEdit->setText("checked, \"ok\"");
        QTest::mouseClick(form.OKBtn, Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(form.texts().description, "Feeder 3");
    EXPECT_EQ(form.texts().comment, "checked, \"ok\"");
}

TEST_F(ReportFormTest, CancelGivesNothingButTheBoxesKeepWhatWasTyped)
{
    const int result = execWith([&] {
        QTest::keyClicks(form.DescEdit, " more");
        QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    // Opened again: the boxes show what was typed.
    execWith([&] { EXPECT_EQ(form.DescEdit->text(), shortDate(QDate(2024, 3, 5)) + " Report more"); });
}

TEST_F(ReportFormTest, CloseBoxAndEscCountAsCancel)
{
    EXPECT_EQ(execWith([&] { form.close(); }), QDialog::Rejected);
    EXPECT_EQ(execWith([&] { QTest::keyClick(&form, Qt::Key_Escape); }), QDialog::Rejected);
}

TEST_F(ReportFormTest, HelpShowsTopic42)
{
    execWith([&] {
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        EXPECT_TRUE(form.isVisible());
        QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
    });
    ASSERT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(prompts.shown[0].kind, Shown::Help);
    EXPECT_EQ(prompts.shown[0].topic, 42);
}

}  // namespace
