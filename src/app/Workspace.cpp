#include "app/Workspace.h"

#include "app/DeskSettings.h"
#include "comm/ImageCompare.h"
#include "files/ConfigFile.h"
#include "files/Report.h"
#include "files/SafeWrite.h"
#include "model/Marks.h"

#include <QFileInfo>
#include <QTimer>
#include <utility>

namespace dnp {
namespace {

const QString kCannotReadText = QStringLiteral("The configuration file cannot be read.\n");
const QString kMainSaveCaption = QStringLiteral("Save confirmation");
const QString kMainSaveText = QStringLiteral("Overwrite previously saved configuration?");
const QString kEditorSaveCaption = QStringLiteral("Save Confirmation");
const QString kEditorSaveText = QStringLiteral("Overwrite previously saved configurations?");
const QString kNewFileName = QStringLiteral("new.dnp");

}  // namespace

FileDialogSettings openConfigDialogSettings()
{
    return {QStringLiteral("Open Configuration"), QString(), QStringLiteral("dnp"),
            QStringLiteral("dnp configuration files (*.dnp)|*.dnp|All Files (*.*)|*.*"), {}};
}

FileDialogSettings saveConfigDialogSettings()
{
    return {QStringLiteral("Save Configuration"), QStringLiteral("*.dnp"), QStringLiteral("dnp"), QStringLiteral("dnp"), {}};
}

FileDialogSettings saveReportDialogSettings()
{
    return {QStringLiteral("Save Report"), QStringLiteral("*.txt"), QStringLiteral("txt"), QStringLiteral("txt"), {}};
}

Workspace::Workspace(UserPrompts& prompts, SerialLink& link, const QString& iniPath, QObject* parent)
    : QObject(parent), prompts_(prompts), editor_(state_, prompts), order_(state_), iniPath_(iniPath),
      reportHeader_(state_, prompts, clock().date()), exchange_(link)
{
    exchange_.progress = [this](TransferKind kind, int message) { emit transferProgress(kind, message); };
    connect(&exchange_, &Exchange::finished, this, &Workspace::transferFinished);
    markSaved();
}

Workspace::~Workspace() = default;

TcomSetIni& Workspace::settings()
{
    if (!settings_)
        settings_ = iniPath_.isEmpty() ? std::make_unique<TcomSetIni>() : std::make_unique<TcomSetIni>(iniPath_);
    return *settings_;
}

// --- the configuration -------------------------------------------------------------

void Workspace::newConfiguration()
{
    state_.ConfigFileName = kNewFileName;
    caption_ = kProgramCaption;
    state_.resetToNew();
    markSaved();
}

void Workspace::markSaved()
{
    saved_ = state_.content();
    retrievedUnsaved_ = false;
}

bool Workspace::modified() const
{
    return retrievedUnsaved_ || state_.content() != saved_;
}

QString Workspace::windowCaption() const
{
    return modified() ? caption_ + QStringLiteral(" *") : caption_;
}

bool Workspace::maySetAside()
{
    if (!modified())
        return true;
    QString name = QFileInfo(state_.ConfigFileName).fileName();
    if (name.isEmpty())
        name = kNewFileName;
    switch (prompts_.askSaveChanges(QStringLiteral("Save changes to %1?").arg(name))) {
    case SaveChoice::Save:
        return saveWithDialog();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

Result<void> Workspace::open(const QString& path)
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    editor_.ResetClassBtnClick();
    applyConfigFileData(state_, *data);
    state_.ConfigFileName = path;
    caption_ = QFileInfo(path).fileName();
    markSaved();
    return {};
}

Result<void> Workspace::writeOut(const QString& path, const QByteArray& bytes)
{
    const Result<void> written = writeFileSafely(path, bytes);
    if (written)
        state_.LastSavedFileName = path;
    return written;
}

Result<void> Workspace::save(const QString& path)
{
    const Result<void> written = writeOut(path, composeConfigFile(state_, clock()));
    if (written) {
        state_.ConfigFileName = path;
        caption_ = QFileInfo(path).fileName();
        markSaved();
    }
    return written;
}

Result<void> Workspace::writeReport(const QString& path)
{
    return writeOut(path, composeReport(state_, clock()));
}

// --- file commands with dialogs ------------------------------------------------------

std::optional<QString> Workspace::chosenFile(FileDialogSettings dialog, bool save)
{
    if (desk_)
        dialog.folder = desk_->lastFolder();
    std::optional<QString> path = save ? prompts_.saveFileName(dialog) : prompts_.openFileName(dialog);
    if (path && desk_)
        desk_->rememberFolderOf(*path);
    return path;
}

bool Workspace::openWithDialog()
{
    if (!maySetAside())
        return false;
    const std::optional<QString> path = chosenFile(openConfigDialogSettings(), false);
    return path && openTold(*path);
}

bool Workspace::openFromDesk(const QString& path)
{
    return maySetAside() && openTold(path);
}

bool Workspace::openRecent(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        if (desk_)
            desk_->removeRecentFile(path);
        prompts_.error(QStringLiteral("%1 no longer exists. It is removed from the recent files.").arg(path));
        return false;
    }
    return openFromDesk(path);
}

bool Workspace::openTold(const QString& path)
{
    const Result<void> opened = open(path);
    if (!opened) {
        tellUnreadable(opened.error());
        return false;
    }
    if (desk_)
        desk_->addRecentFile(path);
    return true;
}

// A configuration file that does not open, or does not read.
void Workspace::tellUnreadable(const Error& error)
{
    prompts_.error(error.cannotOpen ? kFileIoErrorText + QLatin1Char('\n') + error.message
                                    : kCannotReadText + error.message);
}

bool Workspace::saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                         Result<void> (Workspace::*write)(const QString&))
{
    const std::optional<QString> path = chosenFile(dialog, true);
    if (!path)
        return false;
    // The file last saved has its own question; any other existing file is asked
    // about once before it is replaced.
    if (!confirmation.text.isEmpty() && *path == state_.LastSavedFileName) {
        if (!prompts_.confirm(confirmation.caption, confirmation.text))
            return false;
    } else if (QFileInfo::exists(*path) &&
               !prompts_.confirm(dialog.title, QStringLiteral("%1 already exists. Replace it?").arg(*path))) {
        return false;
    }
    const Result<void> written = (this->*write)(*path);
    if (!written)
        prompts_.error(written.error().message);
    return written.ok();
}

bool Workspace::saveConfiguration(const Confirmation& confirmation)
{
    const bool saved = saveWith(saveConfigDialogSettings(), confirmation, &Workspace::save);
    if (saved && desk_)
        desk_->addRecentFile(state_.ConfigFileName);
    return saved;
}

bool Workspace::saveWithDialog()
{
    return saveConfiguration({kMainSaveCaption, kMainSaveText});
}

bool Workspace::saveFromClassEditor()
{
    return saveConfiguration({kEditorSaveCaption, kEditorSaveText});
}

void Workspace::reportWithHeader(const std::function<void()>& showReportHeader)
{
    if (showReportHeader)
        showReportHeader();
    if (state_.ReportHeaderAccepted)
        saveWith(saveReportDialogSettings(), {kMainSaveCaption, kMainSaveText}, &Workspace::writeReport);
}

// --- the panel -------------------------------------------------------------------

void Workspace::prepareSend()
{
    if (state_.LoadedFromFile) {
        state_.SendRecompute = true;
        state_.EditedClass = 0;
        editor_.class0okBtnClick();
    }
    order_.InitSort();
    order_.showSendMode();
}

void Workspace::prepareRetrieve()
{
    order_.retrieveBtnClick();
}

Result<BuiltImage> Workspace::buildImage(int mappingItem)
{
    Result<BuiltImage> built = buildSendImage(state_, order_.class0Lists(), mappingItem);
    if (built && mappingItem == kIndividualMappingItem)
        recomputeAllMarks(state_);  // the code tables say what the panel receives
    return built;
}

TransferLink Workspace::link()
{
    TcomSetIni& s = settings();
    s.mapIntoRange();
    return {static_cast<std::uint16_t>(s.ComPort), s.baudRate(), s.Parity != 0, {s.IsAddressing() == 1, s.Address},
            s.CheckReplyChecksum};
}

// The port opened for a transfer; a port that does not open ends it as a port error.
bool Workspace::openPortFor(TransferKind kind)
{
    const Result<void> opened = exchange_.openPort(link());
    if (!opened)
        transferFinished({kind, TransferOutcome::PortError, 0, opened.error().message});
    return opened.ok();
}

bool Workspace::refuseWhileRunning()
{
    if (!transferRunning())
        return false;
    prompts_.information(kTransferUnderWayText);
    return true;
}

void Workspace::startSend(bool thenVerify)
{
    if (refuseWhileRunning())
        return;
    verifyAfterSend_ = thenVerify;
    if (!openPortFor(TransferKind::Send))
        return;
    const Result<BuiltImage> built = buildImage(order_.MappingRG);
    if (!built) {
        exchange_.closePort();
        transferFinished({TransferKind::Send, TransferOutcome::Refused, 0, built.error().message});
        return;
    }
    exchange_.startSend(built->image);
}

void Workspace::startRetrieve()
{
    if (refuseWhileRunning())
        return;
    if (!openPortFor(TransferKind::Retrieve))
        return;
    order_.retrieveStarted();
    exchange_.startRetrieve();
}

void Workspace::startVerify(const ConfigImage& expected, const QString& what)
{
    if (refuseWhileRunning())
        return;
    verifying_ = Verify{expected, what};
    if (!openPortFor(TransferKind::Retrieve))
        return;
    exchange_.startRetrieve();
}

void Workspace::transferFinished(const TransferResult& result)
{
    const bool send = result.kind == TransferKind::Send;
    const bool verify = !send && verifying_;
    // A verify that read the whole image tells what it found instead of the read's "OK".
    if (!(verify && result.outcome == TransferOutcome::Success))
        tellOutcome(result);
    // A retrieve whose 18 replies all arrived is applied, also after a bad status. It
    // replaces the configuration only once unsaved changes have been asked about.
    const bool complete = result.outcome == TransferOutcome::Success || result.outcome == TransferOutcome::StatusError;
    if (verify)
        finishVerify(result);
    else if (!send && complete && maySetAside())
        applyRetrieved(mapRetrievedImage(result.image));
    emit transferEnded(result);
    const bool thenVerify = std::exchange(verifyAfterSend_, false);
    if (send && result.outcome == TransferOutcome::Success && thenVerify)
        QTimer::singleShot(0, this, [this] {
            startVerify(exchange_.sentImage(), kSentConfigurationText);
        });
}

void Workspace::finishVerify(const TransferResult& result)
{
    const Verify verify = *std::exchange(verifying_, std::nullopt);
    lastVerify_.reset();
    if (result.outcome != TransferOutcome::Success)
        return;
    lastVerify_ = describeImageDifferences(verify.expected, result.image);
    if (lastVerify_->empty()) {
        prompts_.information(QStringLiteral("The panel holds %1.").arg(verify.what));
        return;
    }
    prompts_.error(QStringLiteral("The panel does not hold %1. Differences (A: %1, B: the panel):\n").arg(verify.what) +
                   differenceLines(*lastVerify_).join(QLatin1Char('\n')));
}

void Workspace::tellOutcome(const TransferResult& result)
{
    const bool send = result.kind == TransferKind::Send;
    switch (result.outcome) {
    case TransferOutcome::Success:
        prompts_.information((send ? kSendOkText : kRetrieveOkText) + QStringLiteral("."));
        break;
    case TransferOutcome::StatusError:
        prompts_.error(send ? kSendErrorText : kRetrieveErrorText);
        break;
    case TransferOutcome::DataError:
        prompts_.error((send ? kSendErrorText : kRetrieveErrorText) +
                       QStringLiteral("\nReply to message %1 of %2: %3").arg(result.message).arg(kMessageCount).arg(result.error));
        break;
    case TransferOutcome::NotResponding:
        // A send cut short may have left part of the image in the panel.
        prompts_.error(send ? kNotRespondingText + QStringLiteral("\nMessage %1 of %2 was not answered. The panel "
                                                                  "may hold a partly written configuration: send it "
                                                                  "again.")
                                                       .arg(result.message)
                                                       .arg(kMessageCount)
                            : kNotRespondingText);
        break;
    case TransferOutcome::PortError:
    case TransferOutcome::Refused:
        prompts_.error(result.error);
        break;
    case TransferOutcome::Running:
    case TransferOutcome::Cancelled:
        break;
    }
}

void Workspace::applyRetrieved(const RetrievedConfig& retrieved)
{
    editor_.ResetClassBtnClick();
    state_.ClassSelection = retrieved.ClassSelection;
    state_.Class0Order = retrieved.Class0Order;
    state_.RetrievedMark = retrieved.RetrievedMark;
    state_.UnsolicitedSettings = retrieved.UnsolicitedSettings;
    state_.NoListWriteBack = true;
    for (PointType t : kAllPointTypes) {
        const int n = typeNumber(t);
        for (std::size_t k = 0; k < retrieved.RetrievedMark[n].size(); ++k) {
            if (retrieved.RetrievedMark[n][k] != 1)
                continue;
            const bool second = t == PointType::Bout && k >= static_cast<std::size_t>(pointCount(t));
            std::uint16_t& code = second ? state_.SecondCode[k - pointCount(t)] : state_.PanelCode[n][k];
            code = static_cast<std::uint16_t>((code & kCodeMask) | retrieved.Mark[n][k]);
            if (!second)  // the class editor shows what was found
                editor_.view().items[selectionIndexOf(t, static_cast<int>(k))] = ItemState::Checked;
        }
    }
    order_.showRetrieved(retrieved);
    lastRetrieved_ = retrieved;
    retrievedUnsaved_ = true;
}

}  // namespace dnp
