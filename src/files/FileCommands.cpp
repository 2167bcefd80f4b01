#include "files/FileCommands.h"

#include "files/ConfigFile.h"
#include "files/Report.h"
#include "model/Regional.h"

#include <QFileInfo>
#include <QSaveFile>

namespace dnp {
namespace {

const QString kFileIoError = QStringLiteral("File I/O error.");
const QString kMainSaveCaption = QStringLiteral("Save confirmation");
const QString kMainSaveText = QStringLiteral("Overwrite previously saved configuration?");
const QString kEditorSaveCaption = QStringLiteral("Save Confirmation");
const QString kEditorSaveText = QStringLiteral("Overwrite previously saved configurations?");

}  // namespace

FileDialogSettings openConfigDialogSettings()
{
    return {QStringLiteral("Open Configuration File"), QString(), QStringLiteral("dnp"),
            QStringLiteral("dnp configuration files (*.dnp)|*.dnp|All Files (*.*)|*.*")};
}

FileDialogSettings saveConfigDialogSettings()
{
    return {QString(), QStringLiteral("*.dnp"), QStringLiteral("dnp"), QStringLiteral("dnp")};
}

FileDialogSettings saveReportDialogSettings()
{
    return {QString(), QStringLiteral("*.txt"), QStringLiteral("txt"), QStringLiteral("txt")};
}

QString writeFileSafely(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    // The explicit flush matters: commit() flushes the write buffer without looking at
    // the result, so a short text (held in the buffer) that does not fit on the disk
    // would otherwise replace the old file by an empty one and count as written.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Cannot write %1: %2").arg(path, error);
    }
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return {};
}

// --- Report Header dialog ---

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

// --- commands ---

FileCommands::FileCommands(ConfigState& state, ClassEditor& editor, UserPrompts& prompts, Clock clock,
                           CaptionSetter setCaption)
    : state_(state), editor_(editor), prompts_(prompts), clock_(std::move(clock)), setCaption_(std::move(setCaption))
{
}

bool FileCommands::FileOpen1Execute()
{
    const std::optional<QString> path = prompts_.openFileName(openConfigDialogSettings());
    if (!path)
        return false;

    const ConfigFileLoad load = loadConfigFile(*path);
    if (!load.opened) {
        prompts_.error(kFileIoError);
        return false;
    }
    if (const auto* failure = std::get_if<ConfigFileError>(&load.result)) {
        prompts_.error(QStringLiteral("The configuration file cannot be read.\n") + describeFileError(*path, *failure));
        return false;
    }

    // The file reads completely: only now the configuration is replaced.
    editor_.ResetClassBtnClick();
    applyConfigFileData(state_, std::get<ConfigFileData>(load.result));
    state_.ConfigFileName = *path;
    if (setCaption_)
        setCaption_(QFileInfo(*path).fileName());
    return true;
}

bool FileCommands::saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                            const std::function<QByteArray(const QDateTime&)>& compose, bool configurationFile)
{
    const std::optional<QString> path = prompts_.saveFileName(dialog);
    if (!path)
        return false;
    if (*path == state_.LastSavedFileName && !prompts_.confirm(confirmation.caption, confirmation.text))
        return false;

    const QString error = writeFileSafely(*path, compose(clock_ ? clock_() : QDateTime::currentDateTime()));
    if (!error.isEmpty()) {
        prompts_.error(error);
        return false;
    }
    state_.LastSavedFileName = *path;
    if (configurationFile)
        state_.ConfigFileName = *path;
    return true;
}

bool FileCommands::FileSave1Execute()
{
    return saveWith(saveConfigDialogSettings(), {kMainSaveCaption, kMainSaveText},
                    [this](const QDateTime& now) { return composeConfigFile(state_, now); }, true);
}

bool FileCommands::SaveCfgBtnClick()
{
    if (!editor_.class0okBtnClick())
        return false;  // a field that is not a number stopped the apply step: nothing is written
    return saveFromClassEditor();
}

bool FileCommands::saveFromClassEditor()
{
    return saveWith(saveConfigDialogSettings(), {kEditorSaveCaption, kEditorSaveText},
                    [this](const QDateTime& now) { return composeConfigFile(state_, now); }, true);
}

void FileCommands::ReportBtnClick(const std::function<void()>& showReportHeader)
{
    if (showReportHeader)
        showReportHeader();
    if (state_.ReportHeaderAccepted)
        WriteReport();
}

bool FileCommands::WriteReport()
{
    return saveWith(saveReportDialogSettings(), {kMainSaveCaption, kMainSaveText},
                    [this](const QDateTime& now) { return composeReport(state_, now); }, false);
}

}  // namespace dnp
