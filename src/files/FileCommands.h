#pragma once
// The file commands of the main window and the class editor: Open, Save (and
// Save As), the editor's Save, and the report with its Report Header dialog.
// Everything that asks or tells the user goes through UserPrompts.

#include "classes/ClassEditor.h"
#include "model/ConfigState.h"
#include "model/UserPrompts.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

namespace dnp {

using Clock = std::function<QDateTime()>;
using CaptionSetter = std::function<void(const QString&)>;

// The dialogs as the commands prepare them.
FileDialogSettings openConfigDialogSettings();  // "Open Configuration File", the .dnp filter, "dnp"
FileDialogSettings saveConfigDialogSettings();  // "*.dnp", "dnp", filter "dnp"
FileDialogSettings saveReportDialogSettings();  // "*.txt", "txt", filter "txt"

// Writes the whole file through a temporary file in the same folder, which
// replaces the target only when everything is written and flushed; a failure
// leaves any old file as it was. Returns the error text, empty on success.
QString writeFileSafely(const QString& path, const QByteArray& bytes);

// The Report Header dialog's logic. It exists for the whole run; its two boxes
// keep whatever was typed in them, confirmed or not.
class ReportHeader {
public:
    static constexpr int kHelpTopic = 42;

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

class FileCommands {
public:
    FileCommands(ConfigState& state, ClassEditor& editor, UserPrompts& prompts, Clock clock, CaptionSetter setCaption);

    // Open: dialog, then the whole file is read and checked; only a file that reads
    // completely replaces the configuration (clear step, then its data). True when
    // a file was read.
    bool FileOpen1Execute();
    // Save and Save As of the main window. True when a file was written.
    bool FileSave1Execute();
    // The class editor's Save: the apply step, then (unless a field stopped it) the file part.
    bool SaveCfgBtnClick();
    // The file part of the editor's Save alone, for a window that ran the apply step itself.
    bool saveFromClassEditor();
    // The Report button: shows the Report Header dialog (modal) and writes the
    // report when it was closed with OK.
    void ReportBtnClick(const std::function<void()>& showReportHeader);
    // Asks for the file and writes the report. True when a file was written.
    bool WriteReport();

private:
    struct Confirmation {
        QString caption;
        QString text;
    };
    bool saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                  const std::function<QByteArray(const QDateTime&)>& compose, bool configurationFile);

    ConfigState& state_;
    ClassEditor& editor_;
    UserPrompts& prompts_;
    Clock clock_;
    CaptionSetter setCaption_;
};

}  // namespace dnp
