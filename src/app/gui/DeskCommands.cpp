#include "app/gui/DeskCommands.h"

#include "app/DeskSettings.h"
#include "files/FileAccess.h"
#include "files/PointListImport.h"

#include <QFileInfo>

namespace dnp {
namespace {

const QString kMainSaveCaption = QStringLiteral("Save confirmation");
const QString kMainSaveText = QStringLiteral("Overwrite previously saved configuration?");
const QString kEditorSaveCaption = QStringLiteral("Save Confirmation");
const QString kEditorSaveText = QStringLiteral("Overwrite previously saved configurations?");
const QString kSavedText = QStringLiteral("Saved %1");
const QString kCannotImportText = QStringLiteral("The point list cannot be read.");

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

FileDialogSettings exportDialogSettings(const QString& configurationName)
{
    return {QStringLiteral("Export Point List"), QFileInfo(configurationName).completeBaseName() + QStringLiteral(".csv"),
            QStringLiteral("csv"), kPointListFilter, {}};
}

FileDialogSettings compareDialogSettings()
{
    FileDialogSettings settings = openConfigDialogSettings();
    settings.title = QStringLiteral("Compare With File");
    return settings;
}

FileDialogSettings saveTraceDialogSettings(const QString& fileName)
{
    return {QStringLiteral("Save Line Trace"), fileName, QStringLiteral("txt"), kTextFilesFilter, {}};
}

FileDialogSettings importDialogSettings()
{
    return {QStringLiteral("Import Point List"), QString(), QStringLiteral("csv"),
            kPointListFilter + QStringLiteral("|All files (*)|*"), {}};
}

FileDialogSettings exportHistoryDialogSettings()
{
    return {QStringLiteral("Export History"), QStringLiteral("history.csv"), QStringLiteral("csv"),
            QStringLiteral("CSV files (*.csv)|*.csv|All files (*)|*"), {}};
}

DeskCommands::DeskCommands(DeskPrompts& prompts, DeskSetup setup, QObject* parent)
    : QObject(parent),
      prompts_(prompts),
      setup_(std::move(setup)),
      settings_(setup_.iniPath),
      session_(settings_, prompts, {ProgramKind::Desk, setup_.linkFactory, setup_.timing}),
      history_(settings_)
{
    history_.listenTo(session_);
    connect(&settings_, &Settings::changed, this, &DeskCommands::changed);
    connect(&document_, &ConfigDocument::changed, this, &DeskCommands::changed);
    connect(&session_, &PanelSession::changed, this, &DeskCommands::changed);
    // The outcome is told before the windows hear of the end; a question about a command
    // that ended as the program closed is moot, and nothing of it is told.
    connect(&session_, &PanelSession::commandEnded, this, [this](const PanelOutcome& outcome) {
        // What a retrieve read whole and could apply waits for the retrieve window's OK.
        if (outcome.action == PanelAction::Retrieve && outcome.panelImage && outcome.transfer != TransferOutcome::DataError)
            retrievedCaption_ = retrievedCaption(outcome);
        if (closing_)
            prompts_.withdrawQuestion();
        else
            tell(outcome);
        emit panelCommandEnded(outcome);
    });
    connect(&history_, &PanelHistory::recorded, this, [this](const PanelOutcome&, const QString& notRecorded) {
        if (!notRecorded.isEmpty() && !closing_)
            prompts_.error(notRecorded);
    });
}

DeskCommands::~DeskCommands() = default;

DeskOverview DeskCommands::overview() const
{
    return deskOverview(document_, settings_.current(), session_.lastOutcome());
}

// --- telling ------------------------------------------------------------------------

bool DeskCommands::told(const Result<void>& result)
{
    if (!result)
        prompts_.error(result.error().message);
    return result.ok();
}

void DeskCommands::tellUnreadable(const Error& error, const QString& cannotRead)
{
    prompts_.error((error.unopened() ? kFileIoErrorText : cannotRead) + QLatin1Char('\n') + error.message);
}

void DeskCommands::tell(const PanelOutcome& outcome)
{
    if (outcome.message.isEmpty() || (outcome.result == PanelResult::Cancelled && outcome.action != PanelAction::Send))
        return;
    if (outcome.differences)
        prompts_.showDifferences(outcome.message + QLatin1Char('\n') + kPanelDifferencesHeading, *outcome.differences);
    else if (!wentWrong(outcome.result))
        prompts_.information(outcome.message);
    else
        prompts_.error(outcome.message);
}

bool DeskCommands::refuseWhileRunning()
{
    if (!session_.running())
        return false;
    prompts_.information(kTransferUnderWayText);
    return true;
}

// Before the configuration is set aside: while it is modified, "Save changes to
// <name>?"; Save runs the Save command. True when the caller may go on.
bool DeskCommands::maySetAside()
{
    if (!document_.modified())
        return true;
    switch (prompts_.askSaveChanges(QStringLiteral("Save changes to %1?").arg(document_.fileName()))) {
    case SaveChoice::Save:
        return saveInPlace();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

bool DeskCommands::mayExit()
{
    // A transfer under way is stopped only when the user says so; should it end while
    // the question is shown, the question is withdrawn and its end tells nothing.
    if (session_.running()) {
        closing_ = true;
        session_.setClosing(true);
        const bool stop = prompts_.confirm(QStringLiteral("Exit"), kExitDuringTransferText);
        if (session_.running() && !stop) {
            closing_ = false;
            session_.setClosing(false);
            return false;
        }
        if (session_.running())
            session_.cancel();
    }
    return maySetAside();
}

// --- the file commands ----------------------------------------------------------------

std::optional<QString> DeskCommands::chosenFile(FileDialogSettings dialog, bool save)
{
    // A save starts beside the configuration's file, anything else where the last dialog ended.
    if (save && !document_.filePath().isEmpty())
        dialog.folder = QFileInfo(document_.filePath()).absolutePath();
    else if (setup_.desk)
        dialog.folder = setup_.desk->lastFolder();
    std::optional<QString> path = save ? prompts_.saveFileName(dialog) : prompts_.openFileName(dialog);
    if (path && setup_.desk)
        setup_.desk->rememberFolderOf(*path);
    return path;
}

bool DeskCommands::newConfiguration()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    document_.clear();
    return true;
}

bool DeskCommands::openWithDialog()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    const std::optional<QString> path = chosenFile(openConfigDialogSettings(), false);
    return path && openTold(*path);
}

bool DeskCommands::openFile(const QString& path)
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

bool DeskCommands::openTold(const QString& path)
{
    const Result<void> opened = document_.open(path);
    if (!opened) {
        tellUnreadable(opened.error(), kCannotReadText);
        return false;
    }
    if (setup_.desk)
        setup_.desk->addRecentFile(path);
    return true;
}

bool DeskCommands::saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                            const std::function<Result<void>(const QString&)>& write, const QString& toldText)
{
    const std::optional<QString> path = chosenFile(dialog, true);
    if (!path)
        return false;
    // The file last saved has its own question; any other existing file is asked
    // about once before it is replaced.
    if (!confirmation.text.isEmpty() && *path == document_.lastSavedPath()) {
        if (!prompts_.confirm(confirmation.caption, confirmation.text))
            return false;
    } else if (QFileInfo::exists(*path) &&
               !prompts_.confirm(dialog.title, QStringLiteral("%1 already exists. Replace it?").arg(*path))) {
        return false;
    }
    if (!told(write(*path)))
        return false;
    emit noted(toldText.arg(QFileInfo(*path).absoluteFilePath()));
    return true;
}

bool DeskCommands::saveConfiguration(const Confirmation& confirmation)
{
    const bool saved = saveWith(saveConfigDialogSettings(document_.fileName()), confirmation,
                                [this](const QString& path) { return document_.save(path); }, kSavedText);
    if (saved && setup_.desk)
        setup_.desk->addRecentFile(document_.filePath());
    return saved;
}

bool DeskCommands::saveWithDialog()
{
    return saveConfiguration({kMainSaveCaption, kMainSaveText});
}

// The file the configuration came from or was last saved to is written again at once;
// `confirmation` is the question Save As asks when there is no file yet.
bool DeskCommands::saveInPlace(const Confirmation& confirmation)
{
    const QString file = document_.filePath();
    if (file.isEmpty())
        return saveConfiguration(confirmation);
    if (!told(document_.save(file)))
        return false;
    emit noted(kSavedText.arg(file));
    if (setup_.desk)
        setup_.desk->addRecentFile(file);
    return true;
}

bool DeskCommands::saveInPlace()
{
    return saveInPlace({kMainSaveCaption, kMainSaveText});
}

bool DeskCommands::reportWithDialog(const std::function<std::optional<ReportHeaderTexts>()>& askHeader)
{
    const std::optional<ReportHeaderTexts> header = askHeader();
    if (!header)
        return false;
    // The texts are the configuration's even when no file is chosen.
    document_.takeReportHeader(*header);
    return saveWith(saveReportDialogSettings(document_.fileName()), {kMainSaveCaption, kMainSaveText},
                    [this, header](const QString& path) { return document_.writeReport(path, *header); },
                    QStringLiteral("Saved the report to %1"));
}

bool DeskCommands::exportWithDialog()
{
    return saveWith(exportDialogSettings(document_.fileName()), {}, [this](const QString& path) -> Result<void> {
        const Result<PointListExport> exported = document_.exportPointList(exportFormatOf(path), path);
        if (!exported)
            return exported.error();
        if (!exported->warning.isEmpty())
            prompts_.information(exported->warning);
        return {};
    }, QStringLiteral("Exported the point list to %1"));
}

std::optional<ComparedFile> DeskCommands::compareWithDialog()
{
    const std::optional<QString> path = chosenFile(compareDialogSettings(), false);
    if (!path)
        return std::nullopt;
    const Result<ComparedFile> compared = document_.compareWithFile(*path);
    if (!compared) {
        tellUnreadable(compared.error(), kCannotReadText);
        return std::nullopt;
    }
    if (compared->differences.empty()) {
        prompts_.information(sameConfigurationText(QFileInfo(*path).fileName()));
        return std::nullopt;
    }
    return *compared;
}

bool DeskCommands::importWithDialog()
{
    if (refuseWhileRunning() || !maySetAside())
        return false;
    const std::optional<QString> path = chosenFile(importDialogSettings(), false);
    if (!path)
        return false;
    const Result<QString> imported = document_.importPointList(*path, exportFormatOf(*path));
    if (!imported) {
        const Error& error = imported.error();
        if (error.unopened())
            tellUnreadable(error, kCannotImportText);
        else  // the file named once, then a problem a line
            prompts_.showProblems(kCannotImportText + QLatin1Char('\n') + error.message.section(QLatin1Char('\n'), 0, 0),
                                  error.message.section(QLatin1Char('\n'), 1).split(QLatin1Char('\n'), Qt::SkipEmptyParts));
        return false;
    }
    emit noted(QStringLiteral("Imported %1").arg(QFileInfo(*path).absoluteFilePath()));
    if (!imported->isEmpty())
        prompts_.information(*imported);
    return true;
}

// --- the editors ------------------------------------------------------------------------

void DeskCommands::editClass(int cls, const std::function<void()>& show)
{
    if (cls < 0 || cls > 3 || refuseWhileRunning())
        return;
    document_.classEditor().open(cls);
    show();
}

void DeskCommands::showClass0Selection(const std::function<void()>& show)
{
    document_.classEditor().openRetrieved();
    show();
}

void DeskCommands::clickItem(ListTag list, int row)
{
    if (const Result<void> clicked = document_.classEditor().clickItem(list, row); !clicked)
        prompts_.information(clicked.error().message);
}

void DeskCommands::checkItem(ListTag list, int row)
{
    if (const Result<void> checked = document_.classEditor().checkItem(list, row); !checked)
        prompts_.information(checked.error().message);
}

Result<void> DeskCommands::applyClassEdit()
{
    const Result<QString> applied = document_.applyClassEdit();
    if (!applied) {
        prompts_.error(applied.error().message);
        return applied.error();
    }
    if (!applied->isEmpty())
        prompts_.information(*applied);
    return {};
}

Result<void> DeskCommands::saveClassEdit()
{
    const Result<void> applied = applyClassEdit();
    if (applied)
        saveInPlace({kEditorSaveCaption, kEditorSaveText});
    return applied;
}

bool DeskCommands::clearClassEdit()
{
    if (!prompts_.confirmDiscard(QStringLiteral("Clear"), kClearAllText, QStringLiteral("Clear")))
        return false;
    document_.clearClasses();
    return true;
}

void DeskCommands::showOrderWindow(SortMode mode, const std::function<void()>& show)
{
    if (refuseWhileRunning())
        return;
    SortModel& order = document_.order();
    switch (mode) {
    case SortMode::Send:
        order.showSendMode();
        break;
    case SortMode::Retrieve:
        order.showRetrieveMode();
        break;
    case SortMode::Order:
        order.showOrderMode();
        break;
    }
    show();
}

bool DeskCommands::verifyAfterSend() const
{
    return settings_.current().VerifyAfterSend;
}

void DeskCommands::setVerifyAfterSend(bool on)
{
    told(settings_.setVerifyAfterSend(on));
}

void DeskCommands::sendInChosenMapping()
{
    if (!refuseWhileRunning())
        told(session_.send(document_, document_.order().mapping(), settings_.current().VerifyAfterSend));
}

void DeskCommands::retrieve()
{
    if (refuseWhileRunning())
        return;
    retrievedCaption_.reset();
    told(session_.retrieve(document_));
}

bool DeskCommands::acceptRetrieve()
{
    if (!retrievedCaption_)
        return true;
    if (!maySetAside())
        return false;
    document_.applyRetrieved(*std::exchange(retrievedCaption_, std::nullopt));
    return true;
}

void DeskCommands::closeOrderWindow(bool accepted)
{
    retrievedCaption_.reset();
    document_.closeOrder(accepted);
    // The retrieve window closed while its retrieve runs: the retrieve stops.
    if (session_.runningAction() == PanelAction::Retrieve)
        session_.cancel();
}

// --- the settings and the panel ---------------------------------------------------------

void DeskCommands::editSettings(const std::function<std::optional<CommChoice>(const CommChoice&)>& dialog)
{
    if (refuseWhileRunning())
        return;
    const std::optional<CommChoice> choice = dialog(settings_.current().choice());
    if (choice)
        told(settings_.change(*choice));
}

void DeskCommands::verifyPanel()
{
    if (!refuseWhileRunning())
        told(session_.verify(document_, document_.order().mapping(), document_.fileName()));
}

void DeskCommands::testPanel()
{
    if (!refuseWhileRunning())
        told(session_.test());
}

void DeskCommands::testPanel(const CommChoice& choice)
{
    if (!refuseWhileRunning())
        told(session_.test(choice));
}

bool DeskCommands::saveTraceWithDialog()
{
    const std::optional<PanelOutcome>& last = session_.lastOutcome();
    const QString name = last && !session_.running() ? traceFileName(*last) : QStringLiteral("trace.txt");
    return saveWith(saveTraceDialogSettings(name), {}, [this](const QString& path) { return session_.saveTrace(path); },
                    QStringLiteral("Saved the line trace to %1"));
}

bool DeskCommands::exportHistoryWithDialog(const std::vector<HistoryRecord>& records)
{
    return saveWith(exportHistoryDialogSettings(), {},
                    [&records](const QString& path) { return writeFileSafely(path, historyCsv(records)); },
                    QStringLiteral("Exported the history to %1"));
}

}  // namespace dnp
