#include "app/Workspace.h"

#include "app/DeskSettings.h"
#include "files/ConfigFile.h"
#include "files/Report.h"
#include "files/SafeWrite.h"

#include <QFileInfo>

namespace dnp {
namespace {

const QString kMainSaveCaption = QStringLiteral("Save confirmation");
const QString kMainSaveText = QStringLiteral("Overwrite previously saved configuration?");
const QString kEditorSaveCaption = QStringLiteral("Save Confirmation");
const QString kEditorSaveText = QStringLiteral("Overwrite previously saved configurations?");
const QString kNewFileName = QStringLiteral("new.dnp");
const QString kSavedText = QStringLiteral("Saved %1");

}  // namespace

FileDialogSettings openConfigDialogSettings()
{
    return {QStringLiteral("Open Configuration"), QString(), QStringLiteral("dnp"), kConfigFilter, {}};
}

FileDialogSettings saveConfigDialogSettings(const QString& fileName)
{
    return {QStringLiteral("Save Configuration"), fileName, QStringLiteral("dnp"), kConfigFilter, {}};
}

FileDialogSettings saveReportDialogSettings(const QString& configurationName)
{
    return {QStringLiteral("Save Report"), QFileInfo(configurationName).completeBaseName() + QStringLiteral("-report.txt"),
            QStringLiteral("txt"), kTextFilesFilter, {}};
}

Workspace::Workspace(UserPrompts& prompts, WorkspaceSetup setup, QObject* parent)
    : QObject(parent), prompts_(prompts), setup_(std::move(setup)), editor_(state_, prompts), order_(state_)
{
    if (!setup_.linkFactory)
        setup_.linkFactory = machineLink;
    exchange_.progress = [this](TransferKind kind, int message) {
        emit transferProgress(kind, message, progressText(kind, message));
    };
    connect(&exchange_, &Exchange::finished, this, &Workspace::transferFinished);
    markSaved();
}

Workspace::~Workspace() = default;

const TcomSetIni& Workspace::settings() const
{
    if (!settings_)
        settings_ = setup_.iniPath.isEmpty() ? std::make_unique<TcomSetIni>() : std::make_unique<TcomSetIni>(setup_.iniPath);
    return *settings_;
}

TcomSetIni& Workspace::changeableSettings()
{
    settings();
    return *settings_;
}

// --- unsaved changes -------------------------------------------------------------------

void Workspace::markSaved()
{
    saved_ = state_.content();
    unsaved_ = false;
}

bool Workspace::modified() const
{
    return unsaved_ || state_.content() != saved_;
}

QString Workspace::windowCaption() const
{
    return modified() ? caption_ + QStringLiteral(" *") : caption_;
}

bool Workspace::refuseWhileRunning()
{
    if (!transferRunning())
        return false;
    prompts_.information(kTransferUnderWayText);
    return true;
}

// Before the configuration is set aside: while it is modified, "Save changes to
// <name>?"; Save runs the Save command. True when the caller may go on.
bool Workspace::maySetAside()
{
    if (!modified())
        return true;
    switch (prompts_.askSaveChanges(QStringLiteral("Save changes to %1?").arg(fileName()))) {
    case SaveChoice::Save:
        return saveInPlace();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

QString Workspace::fileName() const
{
    return filePath_.isEmpty() ? kNewFileName : QFileInfo(filePath_).fileName();
}

bool Workspace::mayExit()
{
    // A transfer under way is stopped only when the user says so; should it end while
    // the question is shown, the question is withdrawn and its end tells nothing.
    if (command_) {
        command_->closing = true;
        const bool stop = prompts_.confirm(QStringLiteral("Exit"), kExitDuringTransferText);
        if (command_ && !stop) {
            command_->closing = false;
            return false;
        }
        if (command_)
            cancelTransfer();
    }
    return maySetAside();
}

// --- the configuration -------------------------------------------------------------

ConfigState Workspace::withFileData(const ConfigFileData& data) const
{
    ConfigState next = state_;
    applyConfigFileData(next, data);
    return next;
}

bool Workspace::newConfiguration()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    ConfigState cleared = state_;
    cleared.clearSelections();
    cleared.Class0Order = ConfigState().Class0Order;
    replaceConfiguration(cleared, {{}, kProgramCaption, true});
    return true;
}

// The one way the open configuration is replaced: by a file (kept by its absolute path,
// so that Save writes there whatever the current folder), a new one, an imported list or
// what a retrieve read. It takes the selections, the Class 0 order and the unsolicited
// settings of `content`.
void Workspace::replaceConfiguration(const ConfigState& content, const ConfigOrigin& origin)
{
    state_.ClassSelection = content.ClassSelection;
    state_.Class0Order = content.Class0Order;
    state_.UnsolicitedSettings = content.UnsolicitedSettings;
    filePath_ = origin.file.isEmpty() ? QString() : QFileInfo(origin.file).absoluteFilePath();
    caption_ = origin.caption;
    if (origin.saved)
        markSaved();
    else
        unsaved_ = true;
    emit changed();
}

Result<void> Workspace::open(const QString& path)
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    open(path, *data);
    return {};
}

void Workspace::open(const QString& path, const ConfigFileData& data)
{
    replaceConfiguration(withFileData(data), {path, QFileInfo(path).fileName(), true});
}

Result<void> Workspace::writeOut(const QString& path, const QByteArray& bytes)
{
    const Result<void> written = writeFileSafely(path, bytes);
    if (written)
        lastSavedPath_ = path;
    return written;
}

Result<void> Workspace::save(const QString& path)
{
    const Result<void> written = writeOut(path, composeConfigFile(state_, clock()));
    if (written) {
        filePath_ = QFileInfo(path).absoluteFilePath();
        caption_ = QFileInfo(path).fileName();
        markSaved();
        emit changed();
    }
    return written;
}

void Workspace::takeReportHeader(const ReportHeaderTexts& header)
{
    state_.ReportDescription = header.description;
    state_.ReportComment = header.comment;
}

Result<void> Workspace::resave(const QString& path, const ReportHeaderTexts& header)
{
    takeReportHeader(header);
    return save(path);
}

Result<void> Workspace::writeReport(const QString& path, const ReportHeaderTexts& header)
{
    // A report never replaces the configuration it reports.
    if (const Result<void> distinct = refuseSameFile(path, filePath_); !distinct)
        return distinct;
    takeReportHeader(header);
    return writeOut(path, composeReport(state_, clock()));
}

// --- file commands with dialogs ------------------------------------------------------

std::optional<QString> Workspace::chosenFile(FileDialogSettings dialog, bool save)
{
    // A save starts beside the configuration's file, anything else where the last dialog ended.
    if (save && !filePath_.isEmpty())
        dialog.folder = QFileInfo(filePath_).absolutePath();
    else if (setup_.desk)
        dialog.folder = setup_.desk->lastFolder();
    std::optional<QString> path = save ? prompts_.saveFileName(dialog) : prompts_.openFileName(dialog);
    if (path && setup_.desk)
        setup_.desk->rememberFolderOf(*path);
    return path;
}

bool Workspace::openWithDialog()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    const std::optional<QString> path = chosenFile(openConfigDialogSettings(), false);
    return path && openTold(*path);
}

bool Workspace::openFile(const QString& path)
{
    if (refuseWhileRunning())
        return false;
    // A recent file that is gone leaves the list.
    if (!QFileInfo::exists(path) && setup_.desk && setup_.desk->recentFiles().contains(path)) {
        setup_.desk->removeRecentFile(path);
        prompts_.error(QStringLiteral("%1 no longer exists. It is removed from the recent files.").arg(path));
        return false;
    }
    return maySetAside() && openTold(path);
}

bool Workspace::openTold(const QString& path)
{
    const Result<void> opened = open(path);
    if (!opened) {
        tellUnreadable(opened.error(), kCannotReadText);
        return false;
    }
    if (setup_.desk)
        setup_.desk->addRecentFile(path);
    return true;
}

// An input that does not open ("File I/O error."), or does not read (`cannotRead`, "The
// configuration file cannot be read."), and why.
void Workspace::tellUnreadable(const Error& error, const QString& cannotRead)
{
    prompts_.error((error.unopened() ? kFileIoErrorText : cannotRead) + QLatin1Char('\n') + error.message);
}

bool Workspace::saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                         const std::function<Result<void>(const QString&)>& write, const QString& told)
{
    const std::optional<QString> path = chosenFile(dialog, true);
    if (!path)
        return false;
    // The file last saved has its own question; any other existing file is asked
    // about once before it is replaced.
    if (!confirmation.text.isEmpty() && *path == lastSavedPath_) {
        if (!prompts_.confirm(confirmation.caption, confirmation.text))
            return false;
    } else if (QFileInfo::exists(*path) &&
               !prompts_.confirm(dialog.title, QStringLiteral("%1 already exists. Replace it?").arg(*path))) {
        return false;
    }
    const Result<void> written = write(*path);
    if (!written) {
        prompts_.error(written.error().message);
        return false;
    }
    emit noted(told.arg(QFileInfo(*path).absoluteFilePath()));
    return true;
}

bool Workspace::saveConfiguration(const Confirmation& confirmation)
{
    const bool saved = saveWith(saveConfigDialogSettings(fileName()), confirmation,
                                [this](const QString& path) { return save(path); }, kSavedText);
    if (saved && setup_.desk)
        setup_.desk->addRecentFile(filePath_);
    return saved;
}

bool Workspace::saveWithDialog()
{
    return saveConfiguration({kMainSaveCaption, kMainSaveText});
}

// The file the configuration came from or was last saved to is written again at once;
// `confirmation` is the question Save As asks when there is no file yet.
bool Workspace::saveInPlace(const Confirmation& confirmation)
{
    if (filePath_.isEmpty())
        return saveConfiguration(confirmation);
    const Result<void> written = save(filePath_);
    if (!written) {
        prompts_.error(written.error().message);
        return false;
    }
    emit noted(kSavedText.arg(filePath_));
    if (setup_.desk)
        setup_.desk->addRecentFile(filePath_);
    return true;
}

bool Workspace::saveInPlace()
{
    return saveInPlace({kMainSaveCaption, kMainSaveText});
}

bool Workspace::reportWithDialog(const std::function<std::optional<ReportHeaderTexts>()>& askHeader)
{
    const std::optional<ReportHeaderTexts> header = askHeader();
    if (!header)
        return false;
    // The texts are the configuration's even when no file is chosen.
    takeReportHeader(*header);
    return saveWith(saveReportDialogSettings(fileName()), {kMainSaveCaption, kMainSaveText},
                    [this, header](const QString& path) { return writeReport(path, *header); },
                    QStringLiteral("Saved the report to %1"));
}

// --- the editors -----------------------------------------------------------------------

void Workspace::editClass(int cls, const std::function<void()>& show)
{
    if (cls < 0 || cls > 3 || refuseWhileRunning())
        return;
    editor_.open(cls);
    show();
}

void Workspace::showClass0Selection(const std::function<void()>& show)
{
    editor_.openRetrieved();
    show();
}

Result<void> Workspace::applyClassEdit()
{
    const Result<void> applied = editor_.apply(editor_.view().shownClass);
    emit changed();
    return applied;
}

Result<void> Workspace::saveClassEdit()
{
    const Result<void> applied = applyClassEdit();
    if (applied)
        saveInPlace({kEditorSaveCaption, kEditorSaveText});
    return applied;
}

bool Workspace::clearClassEdit()
{
    if (!prompts_.confirmDiscard(QStringLiteral("Clear"), kClearAllText, QStringLiteral("Clear")))
        return false;
    editor_.clear();
    emit changed();
    return true;
}

void Workspace::showOrderWindow(SortMode mode, const std::function<void()>& show)
{
    if (refuseWhileRunning())
        return;
    switch (mode) {
    case SortMode::Send:
        order_.showSendMode();
        break;
    case SortMode::Retrieve:
        order_.showRetrieveMode();
        break;
    case SortMode::Order:
        order_.showOrderMode();
        break;
    }
    show();
}

void Workspace::closeOrderWindow(bool accepted)
{
    if (!accepted)
        order_.restoreShownOrder();
    retrievedCaption_.reset();
    order_.resetMapping();
    // The retrieve window closed while its retrieve runs: the retrieve stops.
    if (command_ && command_->action == PanelAction::Retrieve)
        cancelTransfer();
    emit changed();
}

void Workspace::moveOrderItem(PointType type, int from, int to)
{
    order_.move(type, from, to);
    emit changed();
}

void Workspace::chooseMapping(Mapping mapping)
{
    order_.chooseMapping(mapping);
    emit changed();
}

// --- the settings ----------------------------------------------------------------------

void Workspace::setVerifyAfterSend(bool on)
{
    TcomSetIni& s = changeableSettings();
    if (s.VerifyAfterSend == on)
        return;
    const Result<void> saved = s.update([on](TcomSetIni& current) {
        current.VerifyAfterSend = on;
        return Result<void>();
    });
    if (!saved)
        prompts_.error(saved.error().message);
}

Result<void> Workspace::changeSettings(const CommChoice& choice)
{
    if (const Result<void> checked = checkChoice(choice); !checked)
        return checked;
    const Result<void> changed = changeableSettings().update([&choice](TcomSetIni& s) { return s.store(choice); });
    emit this->changed();
    return changed;
}

Result<void> Workspace::changeSettings(const SettingsChange& change)
{
    const Result<void> changed = changeableSettings().update([&change](TcomSetIni& s) { return s.change(change); });
    emit this->changed();
    return changed;
}

Result<void> Workspace::readSettings()
{
    const Result<void> read = changeableSettings().Load();
    emit changed();
    return read;
}

void Workspace::editSettings(const std::function<std::optional<CommChoice>(const CommChoice&)>& dialog)
{
    if (refuseWhileRunning())
        return;
    const std::optional<CommChoice> choice = dialog(settings().choice());
    if (!choice)
        return;
    if (const Result<void> saved = changeSettings(*choice); !saved)
        prompts_.error(saved.error().message);
}

}  // namespace dnp
