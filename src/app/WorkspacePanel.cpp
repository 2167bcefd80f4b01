// The workspace's transfers with the panel: the link a transfer uses, send, retrieve
// and verify, and how each ends.

#include "app/Workspace.h"

#include "comm/ImageCompare.h"
#include "comm/ImageText.h"
#include "files/FileAccess.h"

#include <QTimer>
#include <utility>

namespace dnp {

Result<void> Workspace::overrideLink(const LinkOverride& link)
{
    if (link.baud) {
        bool offered = false;
        for (const char* rate : kBaudTexts)
            offered = offered || QString::number(*link.baud) == QLatin1String(rate);
        if (!offered)
            return failure(QStringLiteral("the baud rate must be 19200, 9600 or 4800"));
    }
    if (link.address && (*link.address < 0 || *link.address > 255))
        return failure(QStringLiteral("the address must be from 0 to 255"));
    override_ = link;
    return {};
}

// The device of the transfer: the one named directly, else the chosen COM number's
// (Select Port is asked once a run when none is chosen).
Result<LinkTarget> Workspace::linkTarget()
{
    if (override_.device)
        return LinkTarget{*override_.device, 0};
    TcomSetIni s = settings();
    s.mapIntoRange();
    int com = s.ComPort;
    if (com == 0 && !chosenPort_)
        chosenPort_ = prompts_.selectPort(listAvailablePorts(s.portDevices()), s.portDevices());
    if (com == 0 && chosenPort_)
        com = *chosenPort_;
    if (com < 1)
        return failure(kComNumberNotSetText +
                       QStringLiteral("\nNo serial port is chosen. Choose one in Communication Settings."));
    return LinkTarget{portDeviceName(com, s.portDevices()), com};
}

TransferLink Workspace::transferLink() const
{
    TcomSetIni s = settings();
    s.mapIntoRange();
    TransferLink link{s.baudRate(), s.Parity != 0, {s.Addressing, s.Address}, s.CheckReplyChecksum};
    if (override_.baud)
        link.baud = *override_.baud;
    if (override_.evenParity)
        link.evenParity = *override_.evenParity;
    if (override_.address)
        link.addressing = {true, *override_.address};
    return link;
}

// The link of a transfer, made and opened; a port that does not open ends the
// transfer as a port error.
Result<void> Workspace::openLink(TransferKind kind)
{
    const Result<LinkTarget> target = linkTarget();
    Result<void> opened = target.ok() ? Result<void>() : Result<void>(target.error());
    if (target) {
        link_ = setup_.linkFactory(*target);
        opened = exchange_.openPort(*link_, transferLink());
    }
    if (!opened)
        transferFinished({kind, TransferOutcome::PortError, 0, opened.error().message, {}});
    return opened;
}

Result<ConfigImage> Workspace::image(int mappingItem) const
{
    const Result<BuiltImage> built = buildSendImage(state_, mappingItem);
    if (!built)
        return built.error();
    return built->image;
}

void Workspace::send(int mappingItem, bool thenVerify)
{
    if (refuseWhileRunning())
        return;
    // A send that cannot be built is refused before the port is touched.
    const Result<ConfigImage> built = image(mappingItem);
    if (!built) {
        transferFinished({TransferKind::Send, TransferOutcome::Refused, 0, built.error().message, {}});
        return;
    }
    verifyAfterSend_ = thenVerify;
    if (openLink(TransferKind::Send))
        exchange_.startSend(*built);
}

void Workspace::retrieve()
{
    if (refuseWhileRunning() || !openLink(TransferKind::Retrieve))
        return;
    order_.retrieveStarted();
    exchange_.startRetrieve();
}

void Workspace::verify(int mappingItem, const QString& what)
{
    if (refuseWhileRunning())
        return;
    const Result<ConfigImage> expected = image(mappingItem);
    if (!expected) {
        transferFinished({TransferKind::Retrieve, TransferOutcome::Refused, 0, expected.error().message, {}});
        return;
    }
    startVerify(*expected, what);
}

void Workspace::startVerify(const ConfigImage& expected, const QString& what)
{
    verifying_ = Verify{expected, what};
    if (openLink(TransferKind::Retrieve))
        exchange_.startRetrieve();
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
    const bool succeeded = result.outcome == TransferOutcome::Success && (!verify || (lastVerify_ && lastVerify_->empty()));
    const bool thenVerify = std::exchange(verifyAfterSend_, false);
    if (send && succeeded && thenVerify)
        QTimer::singleShot(0, this, [this] { startVerify(exchange_.sentImage(), kSentConfigurationText); });
    else
        emit panelCommandEnded(succeeded);
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
