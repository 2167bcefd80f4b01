// The workspace's transfers with the panel: the link a transfer uses, send, retrieve
// and verify, and how each ends.

#include "app/Workspace.h"

#include "comm/ImageCompare.h"
#include "comm/ImageText.h"
#include "comm/LineTrace.h"
#include "comm/SerialPort.h"
#include "files/FileAccess.h"
#include "files/SafeWrite.h"

#include <QTimer>
#include <utility>

namespace dnp {
namespace {

// A transfer that ended before its first frame, and why.
TransferResult notStarted(TransferKind kind, TransferOutcome outcome, const QString& error)
{
    TransferResult result;
    result.kind = kind;
    result.outcome = outcome;
    result.error = error;
    return result;
}

}  // namespace

Result<void> Workspace::overrideLink(const LinkOverride& link)
{
    if (link.baud && !baudItemOf(QString::number(*link.baud)))
        return failure(QStringLiteral("the baud rate must be 19200, 9600 or 4800"));
    if (link.address && !isAddress(*link.address))
        return failure(QStringLiteral("the address must be from 0 to 255"));
    override_ = link;
    return {};
}

TcomSetIni Workspace::lineSettings() const
{
    TcomSetIni s = settings();
    s.mapIntoRange();
    return s;
}

// The device of the transfer: the one named directly, else the chosen COM number's
// (Select Port is asked once a panel command when none is chosen).
Result<LinkTarget> Workspace::linkTarget(const TcomSetIni& s)
{
    if (override_.device)
        return LinkTarget{*override_.device, 0, s.tlsFor(*override_.device)};
    int com = s.ComPort;
    if (com == 0 && !chosenPort_)
        chosenPort_ = prompts_.selectPort(listAvailablePorts(s.portDevices()), s.portDevices());
    if (com == 0 && chosenPort_)
        com = *chosenPort_;
    if (com < 1)
        return failure(kComNumberNotSetText +
                       QStringLiteral("\nNo serial port is chosen. Choose one in Communication Settings."));
    const QString device = portDeviceName(com, s.portDevices());
    return LinkTarget{device, com, s.tlsFor(device)};
}

TransferLink Workspace::transferLink(const TcomSetIni& s) const
{
    TransferLink link{s.baudRate(), s.Parity != 0, {s.Addressing, s.Address}, s.CheckReplyChecksum, setup_.timing};
    if (override_.baud)
        link.baud = *override_.baud;
    if (override_.evenParity)
        link.evenParity = *override_.evenParity;
    if (override_.address)
        link.addressing = {true, *override_.address};
    return link;
}

// The stored address, when the frames carry it: one outside 0-255 is refused, never
// cut to its low byte.
Result<void> Workspace::checkStoredAddress(const TcomSetIni& s) const
{
    if (override_.address || !s.Addressing)
        return {};
    if (const Result<std::int32_t> address = s.transferAddress(); !address)
        return address.error();
    return {};
}

Link* Workspace::makeLink(TransferKind kind, const TcomSetIni& s)
{
    if (const Result<void> address = checkStoredAddress(s); !address) {
        transferFinished(notStarted(kind, TransferOutcome::Refused, address.error().message));
        return nullptr;
    }
    const Result<LinkTarget> target = linkTarget(s);
    if (!target) {
        transferFinished(notStarted(kind, TransferOutcome::PortError, target.error().message));
        return nullptr;
    }
    // The link of the transfer before may still be telling its end.
    if (link_)
        link_.release()->deleteLater();
    link_ = setup_.linkFactory(*target);
    return link_.get();
}

Result<ConfigImage> Workspace::image(int mappingItem) const
{
    const Result<BuiltImage> built = buildSendImage(state_, mappingItem);
    if (!built)
        return built.error();
    return built->image;
}

bool Workspace::beginPanelCommand()
{
    if (refuseWhileRunning())
        return false;
    chosenPort_.reset();
    return true;
}

QString Workspace::progressText(TransferKind kind, int message) const
{
    if (verifying_ && message > 0)
        return QStringLiteral("Verifying message %1 of %2").arg(message).arg(kMessageCount);
    return dnp::progressText(kind, message);
}

void Workspace::send(int mappingItem, bool thenVerify)
{
    if (!beginPanelCommand())
        return;
    // A send that cannot be built is refused before the port is touched; one of too
    // many words says how many.
    const Result<ConfigImage> built = image(mappingItem);
    if (!built) {
        QString refusal = built.error().message;
        if (const WordBudget words = order_.words(); words.over())
            refusal += QLatin1Char('\n') + words.overText();
        transferFinished(notStarted(TransferKind::Send, TransferOutcome::Refused, refusal));
        return;
    }
    verifyAfterSend_ = thenVerify;
    const TcomSetIni s = lineSettings();
    if (Link* link = makeLink(TransferKind::Send, s))
        exchange_.startSend(*link, transferLink(s), *built);
}

void Workspace::retrieve()
{
    if (!beginPanelCommand())
        return;
    const TcomSetIni s = lineSettings();
    if (Link* link = makeLink(TransferKind::Retrieve, s)) {
        order_.retrieveStarted();
        exchange_.startRetrieve(*link, transferLink(s));
    }
}

void Workspace::retrieveInto(const QString& path)
{
    if (refuseWhileRunning())
        return;
    // Nothing is asked of the panel for a file that cannot be written.
    if (const Result<void> writable = checkWritable(path); !writable) {
        transferFinished(notStarted(TransferKind::Retrieve, TransferOutcome::Refused, writable.error().message));
        return;
    }
    retrieveTarget_ = path;
    retrieve();
}

void Workspace::testPanel()
{
    if (beginPanelCommand())
        startTest(lineSettings());
}

void Workspace::testPanel(const CommChoice& choice)
{
    if (!beginPanelCommand())
        return;
    TcomSetIni s = settings();
    if (const Result<void> stored = s.store(choice); !stored) {
        testing_ = true;
        transferFinished(notStarted(TransferKind::Retrieve, TransferOutcome::Refused, stored.error().message));
        return;
    }
    s.mapIntoRange();
    startTest(s);
}

void Workspace::startTest(const TcomSetIni& s)
{
    testing_ = true;
    testSettings_ = s;
    if (Link* link = makeLink(TransferKind::Retrieve, s))
        exchange_.startTest(*link, transferLink(s));
}

void Workspace::verify(int mappingItem, const QString& what)
{
    if (!beginPanelCommand())
        return;
    const Result<ConfigImage> expected = image(mappingItem);
    if (!expected) {
        transferFinished(notStarted(TransferKind::Retrieve, TransferOutcome::Refused, expected.error().message));
        return;
    }
    startVerify(*expected, what);
}

void Workspace::startVerify(const ConfigImage& expected, const QString& what)
{
    verifying_ = Verify{expected, what};
    const TcomSetIni s = lineSettings();
    if (Link* link = makeLink(TransferKind::Retrieve, s))
        exchange_.startRetrieve(*link, transferLink(s));
}

Result<RetrievedConfig> Workspace::decode(const QString& imagePath)
{
    const Result<QByteArray> text = readInputFile(imagePath, kMaxImageTextBytes, QStringLiteral("an image text"));
    if (!text)
        return text.error();
    const Result<ConfigImage> image = parseImageText(*text);
    if (!image)
        return failure(imagePath + QStringLiteral(", ") + image.error().message);
    order_.showRetrieveMode();
    applyRetrieved(mapRetrievedImage(*image));
    return lastRetrieved_;
}

void Workspace::transferFinished(TransferResult result)
{
    // The transfer that "Stop it and exit?" asks about is over: the question is moot.
    if (askingExit_) {
        prompts_.withdrawQuestion();
        verifyAfterSend_ = false;  // the program ends: no verify is started
    }
    lastTrace_ = result.trace;
    if (std::exchange(testing_, false)) {
        lastTransfer_ = LastTransfer{QStringLiteral("Test"), result.outcome, clock()};
        finishTest(result);
        return;
    }
    const bool send = result.kind == TransferKind::Send;
    const bool verify = !send && verifying_;
    const bool complete = result.outcome == TransferOutcome::Success || result.outcome == TransferOutcome::StatusError;
    // Words the panel could not hold are no configuration: nothing of them is used.
    if (!send && !verify && complete && settings().CheckRetrievedImage)
        if (const Result<void> plausible = checkRetrievedImage(result.image); !plausible) {
            result.outcome = TransferOutcome::DataError;
            result.error = plausible.error().message;
        }
    lastTransfer_ = LastTransfer{send ? QStringLiteral("Send") : verify ? QStringLiteral("Verify") : QStringLiteral("Retrieve"),
                                 result.outcome, clock()};
    // A verify that read the whole image tells what it found instead of the read's "OK".
    if (!(verify && result.outcome == TransferOutcome::Success))
        if (const OutcomeText told = outcomeText(result); !told.text.isEmpty())
            told.error ? prompts_.error(told.text) : prompts_.information(told.text);
    bool succeeded = result.outcome == TransferOutcome::Success;
    if (verify)
        succeeded = finishVerify(result) && succeeded;
    else if (!send)
        succeeded = finishRetrieve(result) && succeeded;
    emit transferEnded(result);
    const bool thenVerify = std::exchange(verifyAfterSend_, false);
    if (send && succeeded && thenVerify)
        QTimer::singleShot(0, this, [this] { startVerify(exchange_.sentImage(), kSentConfigurationText); });
    else
        emit panelCommandEnded(succeeded);
}

// A retrieve whose 18 replies all arrived is applied, also after a bad status. It
// replaces the configuration only once unsaved changes have been asked about; dnpcfg's
// retrieve saves it, when it succeeded. False when it was not applied or not saved.
bool Workspace::finishRetrieve(const TransferResult& result)
{
    const std::optional<QString> target = std::exchange(retrieveTarget_, std::nullopt);
    const bool complete = result.outcome == TransferOutcome::Success || result.outcome == TransferOutcome::StatusError;
    if (!complete)
        return false;
    if (!maySetAside()) {
        prompts_.information(kRetrieveNotAppliedText);
        return false;
    }
    applyRetrieved(mapRetrievedImage(result.image));
    if (!target || result.outcome != TransferOutcome::Success)
        return !target;
    const Result<void> saved = save(*target);
    if (!saved)
        prompts_.error(saved.error().message);
    return saved.ok();
}

bool Workspace::finishVerify(const TransferResult& result)
{
    const Verify verify = *std::exchange(verifying_, std::nullopt);
    lastVerify_.reset();
    if (result.outcome != TransferOutcome::Success)
        return false;
    lastVerify_ = describeImageDifferences(verify.expected, result.image);
    if (lastVerify_->empty()) {
        prompts_.information(QStringLiteral("The panel holds %1.").arg(verify.what));
        return true;
    }
    prompts_.showDifferences(QStringLiteral("The panel does not hold %1. Differences (A: %1, B: the panel):").arg(verify.what),
                             *lastVerify_);
    return false;
}

// The test tells "The panel answered." for a reply that checked out, else what the
// retrieve of that one message would tell. A server certificate nobody vouches for is
// shown, and once the user trusts it the test runs again.
void Workspace::finishTest(const TransferResult& result)
{
    const bool answered = result.outcome == TransferOutcome::Success;
    const std::optional<QSslCertificate> untrusted = link_ ? link_->refusedCertificate() : std::nullopt;
    if (answered)
        prompts_.information(kPanelAnsweredText);
    else if (untrusted) {
        if (prompts_.trustCertificate(result.error, certificateFacts(*untrusted)) &&
            trustCertificate(link_->target().device, fingerprintOf(*untrusted))) {
            emit transferEnded(result);
            QTimer::singleShot(0, this, [this] { startTest(*testSettings_); });
            return;
        }
    } else if (const OutcomeText told = outcomeText(result); !told.text.isEmpty())
        prompts_.error(told.text);
    emit transferEnded(result);
    emit panelCommandEnded(answered);
}

bool Workspace::trustCertificate(const QString& device, const QByteArray& fingerprint)
{
    changeableSettings().trustCertificate(device, fingerprint);
    if (const Result<void> saved = changeableSettings().Save(); !saved) {
        prompts_.error(saved.error().message);
        return false;
    }
    testSettings_->trustCertificate(device, fingerprint);
    return true;
}

FileDialogSettings saveTraceDialogSettings()
{
    return {QStringLiteral("Save Line Trace"), QStringLiteral("*.txt"), QStringLiteral("txt"), QStringLiteral("txt"), {}};
}

Result<void> Workspace::saveTrace(const QString& path) const
{
    return writeFileSafely(path, (traceLines(lastTrace_).join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

bool Workspace::saveTraceWithDialog()
{
    return saveWith(saveTraceDialogSettings(), {}, [this](const QString& path) { return saveTrace(path); });
}

// A retrieved configuration replaces the current one: its selections, Class 0 order
// and unsolicited settings; the order window shows what was found.
void Workspace::applyRetrieved(const RetrievedConfig& retrieved)
{
    state_.ClassSelection = retrieved.ClassSelection;
    state_.Class0Order = retrieved.Class0Order;
    state_.UnsolicitedSettings = retrieved.UnsolicitedSettings;
    order_.showRetrieved(retrieved);
    lastRetrieved_ = retrieved;
    retrievedUnsaved_ = true;
}

}  // namespace dnp
