#include "app/PanelSession.h"

#include "comm/ImageCompare.h"
#include "comm/LineTrace.h"
#include "comm/ReadPlan.h"
#include "comm/SerialPort.h"
#include "comm/Tls.h"
#include "files/FileAccess.h"

#include <QFileInfo>
#include <utility>

namespace dnp {

PanelSession::PanelSession(Settings& settings, PanelQuestions& questions, SessionSetup setup, QObject* parent)
    : QObject(parent), settings_(settings), questions_(questions), setup_(std::move(setup))
{
    if (!setup_.linkFactory)
        setup_.linkFactory = machineLink;
    exchange_.progress = [this](TransferKind kind, int message) {
        emit transferProgress(kind, message, progressText(kind, message));
    };
    connect(&exchange_, &Exchange::finished, this, &PanelSession::transferFinished);
}

PanelSession::~PanelSession() = default;

void PanelSession::overrideLink(const LinkOverride& link)
{
    override_ = link;
}

void PanelSession::setClosing(bool closing)
{
    closing_ = closing;
}

TcomSetIni PanelSession::lineSettings() const
{
    TcomSetIni s = settings_.current();
    s.mapIntoRange();
    return s;
}

// The device of the transfer: the one named directly, else the chosen COM number's
// (Select Port is asked once a panel command when none is chosen: a number or a device
// typed). The settings dialog's test names the device as it was typed there.
Result<LinkTarget> PanelSession::linkTarget(const TcomSetIni& s)
{
    const auto named = [&s](const QString& device) { return LinkTarget{device, 0, s.tlsFor(device)}; };
    if (override_.device)
        return named(*override_.device);
    int com = s.ComPort;
    if (com == 0 && !chosenPort_)
        chosenPort_ = questions_.selectPort(settings_.ports().present, s.portDevices());
    if (com == 0 && chosenPort_) {
        if (const QString* typed = std::get_if<QString>(&*chosenPort_))
            return named(*typed);
        com = std::get_if<int>(&*chosenPort_) ? std::get<int>(*chosenPort_) : 0;
    }
    if (com < 1)
        return failure(kComNumberNotSetText +
                       QStringLiteral("\nNo serial port is chosen. Choose one in Communication Settings."));
    const QString device = portDeviceName(com, s.portDevices());
    if (const auto* test = std::get_if<TestStep>(&command_->step); test && test->typed)
        return named(device);
    return LinkTarget{device, com, s.tlsFor(device)};
}

TransferLink PanelSession::transferLink(const TcomSetIni& s) const
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
Result<void> PanelSession::checkStoredAddress(const TcomSetIni& s) const
{
    if (override_.address || !s.Addressing)
        return {};
    if (const Result<std::int32_t> address = s.transferAddress(); !address)
        return address.error();
    return {};
}

Result<bool> PanelSession::begin(PanelAction action, PanelStep step, const QString& config)
{
    if (running())
        return failure(kTransferUnderWayText);
    chosenPort_.reset();
    command_.emplace(PanelCommand{action, std::move(step), config});
    command_->clock.start();
    command_->began = clock();
    // Settings that do not all read are not guessed at, the history's among them; a
    // command the history the settings require cannot record does not start.
    Result<void> admitted = settings_.current().readable();
    if (admitted && admit)
        admitted = admit();
    if (!admitted) {
        command_->recordable = false;
        refuse(admitted.error().message);
        return false;
    }
    emit changed();
    return true;
}

void PanelSession::refuse(const QString& message, TransferOutcome why)
{
    PanelOutcome outcome = failedOutcome(command_->action, message);
    outcome.transfer = why;
    end(std::move(outcome));
}

// The link is made for the settings and the step's transfer started over it. The
// transfer may end before this returns (a line that does not open).
void PanelSession::startTransfer(const TcomSetIni& s)
{
    if (const Result<void> address = checkStoredAddress(s); !address)
        return refuse(address.error().message);
    const Result<LinkTarget> target = linkTarget(s);
    // Cancel in Select Port: the command ends quietly, nothing started.
    if (chosenPort_ && std::holds_alternative<PortCancelled>(*chosenPort_)) {
        PanelOutcome notStarted = failedOutcome(command_->action, {});
        notStarted.result = PanelResult::Cancelled;
        notStarted.transfer = TransferOutcome::Cancelled;
        return end(std::move(notStarted));
    }
    if (!target)
        return refuse(target.error().message, TransferOutcome::PortError);
    const TransferLink settings = transferLink(s);
    command_->target = *target;
    command_->link = settings;
    command_->transferStartMs = command_->clock.elapsed();
    // The link of the transfer before may still be telling its end.
    if (link_)
        link_.release()->deleteLater();
    link_ = setup_.linkFactory(*target);
    Link& link = *link_;
    if (const auto* send = std::get_if<SendStep>(&command_->step))
        exchange_.startSend(link, settings, send->image);
    else
        exchange_.startRead(link, settings, readPlanOf(command_->step));
}

std::vector<int> PanelSession::readPlanOf(const PanelStep& step)
{
    if (std::holds_alternative<TestStep>(step))
        return {1};
    if (const auto* verify = std::get_if<VerifyStep>(&step))
        return verify->read.plan;
    if (const auto* back = std::get_if<ReadBackStep>(&step))
        return back->read.plan;
    return everyMessage();  // a retrieve
}

QString PanelSession::progressText(TransferKind kind, int message) const
{
    const bool reading = command_ && (std::holds_alternative<ReadBackStep>(command_->step) ||
                                      std::holds_alternative<VerifyStep>(command_->step));
    if (reading && message > 0)
        return QStringLiteral("Verifying message %1 of %2").arg(message).arg(kMessageCount);
    return dnp::progressText(kind, message);
}

// A send that cannot be built is refused before the port is touched; one of too many
// words says how many.
Result<void> PanelSession::send(const ConfigDocument& document, Mapping mapping, bool readBack)
{
    const Result<ConfigImage> built = document.imageToSend(mapping);
    const Result<bool> begun =
        begin(PanelAction::Send, SendStep{built ? *built : ConfigImage{}, readBack}, document.filePath());
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    if (!built)
        refuse(built.error().message);
    else
        startTransfer(lineSettings());
    return {};
}

Result<void> PanelSession::retrieve(ConfigDocument& document)
{
    const Result<bool> begun = begin(PanelAction::Retrieve, RetrieveStep{&document, std::nullopt});
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    document.retrieveStarted();
    startTransfer(lineSettings());
    return {};
}

Result<void> PanelSession::retrieveInto(ConfigDocument& document, const QString& path)
{
    const Result<bool> begun = begin(PanelAction::Retrieve, RetrieveStep{&document, path});
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    // Nothing is asked of the panel for a file that cannot be written.
    if (const Result<void> writable = checkWritable(path); !writable) {
        refuse(writable.error().message);
        return {};
    }
    document.retrieveStarted();
    startTransfer(lineSettings());
    return {};
}

Result<void> PanelSession::test()
{
    const TcomSetIni s = lineSettings();
    const Result<bool> begun = begin(PanelAction::Test, TestStep{s});
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    startTransfer(s);
    return {};
}

Result<void> PanelSession::test(const CommChoice& choice)
{
    TcomSetIni s = settings_.current();
    const Result<void> stored = s.store(choice);
    s.mapIntoRange();
    const Result<bool> begun = begin(PanelAction::Test, TestStep{s, true});
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    if (!stored)
        refuse(stored.error().message);
    else
        startTransfer(s);
    return {};
}

Result<void> PanelSession::verify(const ConfigDocument& document, Mapping mapping, const QString& what)
{
    const Result<ConfigImage> expected = document.image(mapping);
    const ConfigImage words = expected ? *expected : ConfigImage{};
    const Result<bool> begun =
        begin(PanelAction::Verify, VerifyStep{words, what, {readPlan(words, MessageSet().set())}}, document.filePath());
    if (!begun || !*begun)
        return begun ? Result<void>() : begun.error();
    if (!expected)
        refuse(expected.error().message);
    else
        startTransfer(lineSettings());
    return {};
}

// --- how each step of a panel command ends --------------------------------------------

namespace {

// A transfer that did not end well: a send that stopped once a write request had left
// (for any reason: no reply, a bad one, a cancel) is incomplete, since the panel may hold
// what reached it; anything else failed or cancelled, with what the transfer tells.
PanelOutcome unfinished(const TransferResult& result)
{
    PanelOutcome outcome;
    outcome.transfer = result.outcome();
    outcome.message = outcomeText(result);
    if (result.kind == TransferKind::Write && result.sentMessages.any()) {
        outcome.result = PanelResult::Incomplete;
        outcome.written = result.acknowledged();
    } else {
        outcome.result = result.outcome() == TransferOutcome::Cancelled ? PanelResult::Cancelled : PanelResult::Failed;
    }
    return outcome;
}

PanelOutcome succeeded(const TransferResult& result, const QString& message)
{
    PanelOutcome outcome;
    outcome.result = PanelResult::Ok;
    outcome.transfer = result.outcome();
    outcome.message = message;
    return outcome;
}

// A read that did not bring the whole image with good statuses; a cancelled one says
// what was cancelled.
PanelOutcome unreadPanel(const TransferResult& result, const QString& what)
{
    PanelOutcome outcome = unfinished(result);
    if (result.outcome() == TransferOutcome::Cancelled)
        outcome.message = QStringLiteral("The %1 was cancelled.").arg(what);
    return outcome;
}

}  // namespace

namespace {

QString incompleteConfigurationText(const Error& why)
{
    return kIncompleteConfigurationText + QLatin1Char(' ') + why.message;
}

}  // namespace

// The image read from the panel against the image it should hold: "The panel holds
// <what>.", or how many words differ and, for a panel that holds a configuration, which
// points; a panel whose words no configuration gives holds an incomplete one.
PanelOutcome PanelSession::compareWithPanel(const ConfigImage& expected, const QString& what, const TransferResult& read) const
{
    if (read.outcome() != TransferOutcome::Success)
        return unreadPanel(read, QStringLiteral("verify"));
    PanelOutcome outcome = succeeded(read, QStringLiteral("The panel holds %1.").arg(what));
    outcome.image = expected;
    outcome.panelImage = read.image;
    outcome.differingWords = differingWords(expected, read.image);
    if (outcome.differingWords == 0)
        return outcome;
    outcome.result = PanelResult::Differs;
    outcome.message = outcome.differingWords == 1
                          ? QStringLiteral("The panel does not hold %1: 1 word differs.").arg(what)
                          : QStringLiteral("The panel does not hold %1: %2 words differ.").arg(what).arg(outcome.differingWords);
    const Result<void> plausible = settings_.current().CheckRetrievedImage ? checkRetrievedImage(read.image) : Result<void>{};
    if (plausible)
        outcome.differences = describeImageDifferences(expected, read.image);
    else
        outcome.message += QLatin1Char('\n') + incompleteConfigurationText(plausible.error());
    return outcome;
}

void PanelSession::transferFinished(const TransferResult& result)
{
    if (!command_)
        return;
    // The frames of this transfer after those before it, timed from the command's start.
    for (LineEvent event : result.trace) {
        event.atMs += command_->transferStartMs;
        command_->trace.push_back(std::move(event));
    }
    emit transferEnded(result);
    std::optional<PanelOutcome> outcome =
        std::visit([&](auto& step) { return stepEnded(step, result); }, command_->step);
    if (outcome)
        end(std::move(*outcome));
}

// A send whose 18 writes were all answered is read back, unless the program is closing,
// also when bytes followed the last reply (a late copy of it, noise): what the panel
// holds then decides.
std::optional<PanelOutcome> PanelSession::stepEnded(SendStep& step, const TransferResult& result)
{
    const ConfigImage image = step.image;
    const bool answered = result.outcome() == TransferOutcome::Success ||
                          (result.outcome() == TransferOutcome::DataError && result.acknowledged() == kMessageCount);
    if (answered && step.readBack && !closing_) {
        command_->step = ReadBackStep{image, result, {readPlan(image, MessageSet().set())}};
        startTransfer(lineSettings());
        return std::nullopt;
    }
    PanelOutcome outcome = result.outcome() == TransferOutcome::Success ? succeeded(result, outcomeText(result))
                                                                        : unfinished(result);
    outcome.image = image;
    return outcome;
}

namespace {

// Whether a read's end leaves messages worth reading again: one that came to its end, or
// one that stopped at a reply that was not right (a copy or noise in place of a reply, a
// reply that did not come, a bad status); not a cancel, a line that would not open or
// went away, a refusal.
bool worthReadingAgain(TransferOutcome outcome)
{
    return outcome == TransferOutcome::Success || outcome == TransferOutcome::DataError ||
           outcome == TransferOutcome::NotResponding || outcome == TransferOutcome::StatusError;
}

}  // namespace

std::optional<TransferResult> PanelSession::confirmedRead(const ConfigImage& expected, ComparedRead& read,
                                                      const TransferResult& result)
{
    if (!read.firstPass) {
        // The messages not read, those whose words differ and the one a doubtful end
        // stopped at are read once more.
        MessageSet again = ~result.acknowledgedMessages | differingMessages(expected, result.image);
        const bool stopped = result.message >= 1 && result.message <= kMessageCount;
        if (stopped)
            again.set(static_cast<std::size_t>(result.message - 1));
        if (again.none() || !worthReadingAgain(result.outcome()) || closing_)
            return result;
        const int last = stopped ? result.message : read.plan.back();
        read.firstPass = result;
        read.plan = readPlan(expected, again, last);
        startTransfer(lineSettings());
        return std::nullopt;
    }
    // Read again in vain: the first trouble is told (a cancel as a cancel).
    if (result.outcome() != TransferOutcome::Success)
        return worthReadingAgain(result.outcome()) && read.firstPass->outcome() != TransferOutcome::Success
                   ? *read.firstPass
                   : result;
    // The first read with the words read again in place.
    TransferResult merged = *read.firstPass;
    merged.reason = result.reason;
    for (int m = 1; m <= kMessageCount; ++m)
        if (result.acknowledgedMessages[static_cast<std::size_t>(m - 1)])
            std::copy_n(result.image.begin() + messageFirstWord(m), messageWordCount(m),
                        merged.image.begin() + messageFirstWord(m));
    merged.acknowledgedMessages |= result.acknowledgedMessages;
    return merged;
}

std::optional<PanelOutcome> PanelSession::stepEnded(ReadBackStep& step, const TransferResult& readBack)
{
    const std::optional<TransferResult> result = confirmedRead(step.image, step.read, readBack);
    if (!result)
        return std::nullopt;
    PanelOutcome outcome = compareWithPanel(step.image, kSentConfigurationText, *result);
    if (result->outcome() == TransferOutcome::Cancelled)
        outcome.message = QStringLiteral("The read-back was cancelled: what the panel stored is not known.");
    else if (result->outcome() != TransferOutcome::Success)
        outcome.message = QStringLiteral("The panel could not be read back: what it stored is not known.\n") + outcome.message;
    // Bytes after the last write reply: every write was answered, and the read-back tells
    // what the panel holds.
    const QString written = step.written.outcome() == TransferOutcome::DataError
                                ? kSendOkText + QStringLiteral(".\n") + reasonText(step.written.reason)
                                : outcomeText(step.written);
    outcome.message = written + QLatin1Char('\n') + outcome.message;
    outcome.image = step.image;
    return outcome;
}

// A retrieve whose 18 replies all arrived is kept, also after a bad status, unless its
// words are none a configuration gives (CheckRetrievedImage); the window's OK applies it.
// dnpcfg's retrieve applies it and saves it, when it succeeded.
std::optional<PanelOutcome> PanelSession::stepEnded(RetrieveStep& step, const TransferResult& result)
{
    const bool complete = result.outcome() == TransferOutcome::Success || result.outcome() == TransferOutcome::StatusError;
    if (!complete)
        return unreadPanel(result, QStringLiteral("retrieve"));
    if (settings_.current().CheckRetrievedImage)
        if (const Result<void> plausible = checkRetrievedImage(result.image); !plausible) {
            PanelOutcome refused = failedOutcome(PanelAction::Retrieve, kRetrieveErrorText + QLatin1Char('\n') +
                                                                            incompleteConfigurationText(plausible.error()));
            refused.transfer = TransferOutcome::DataError;
            refused.panelImage = result.image;
            return refused;
        }
    PanelOutcome outcome = result.outcome() == TransferOutcome::Success ? succeeded(result, outcomeText(result))
                                                                        : unfinished(result);
    outcome.panelImage = result.image;
    step.document->showRetrieved(result.image);
    if (!step.saveTo || !outcome.ok())
        return outcome;
    const LinkTarget& from = command_->target;
    step.document->applyRetrieved(QStringLiteral("Retrieved from %1 at %2")
                                      .arg(from.comNumber > 0 ? QStringLiteral("COM %1").arg(from.comNumber) : from.device,
                                           clock().toString(QStringLiteral("HH:mm"))));
    if (const Result<void> saved = step.document->save(*step.saveTo); !saved) {
        outcome.result = PanelResult::Failed;
        outcome.message += QLatin1Char('\n') + saved.error().message;
        return outcome;
    }
    command_->config = step.document->filePath();
    return outcome;
}

std::optional<PanelOutcome> PanelSession::stepEnded(VerifyStep& step, const TransferResult& read)
{
    const std::optional<TransferResult> result = confirmedRead(step.expected, step.read, read);
    if (!result)
        return std::nullopt;
    return compareWithPanel(step.expected, step.what, *result);
}

// The test tells "The panel answered." for a reply that checked out, else what the
// retrieve of that one message would tell. A server certificate nobody vouches for is
// shown; trusted, its fingerprint is kept and the test runs again, declined, the test
// is cancelled (the question told why); trusted but not kept, the test fails saying why.
std::optional<PanelOutcome> PanelSession::stepEnded(TestStep& step, const TransferResult& result)
{
    if (result.outcome() == TransferOutcome::Success)
        return succeeded(result, kPanelAnsweredText);
    const std::optional<QSslCertificate> untrusted = link_ ? link_->refusedCertificate() : std::nullopt;
    if (!untrusted)
        return unreadPanel(result, QStringLiteral("test"));
    const QString device = command_->target.device;
    PanelOutcome ended = unfinished(result);
    if (!questions_.trustCertificate(reasonText(result.reason), certificateFacts(*untrusted))) {
        ended.result = PanelResult::Cancelled;
        return ended;
    }
    // A trust that could not be kept is not held either: the settings are their file's.
    if (const Result<void> kept = settings_.trust(device, fingerprintOf(*untrusted)); !kept) {
        ended.message = kept.error().message;
        return ended;
    }
    step.settings.trustCertificate(device, fingerprintOf(*untrusted));
    const TcomSetIni settings = step.settings;
    startTransfer(settings);
    return std::nullopt;
}

void PanelSession::end(PanelOutcome outcome)
{
    PanelCommand command = std::move(*command_);
    command_.reset();
    outcome.action = command.action;
    outcome.program = setup_.program;
    outcome.config = command.config;
    outcome.recordable = command.recordable;
    outcome.trace = std::move(command.trace);
    outcome.device = command.target.device;
    outcome.comNumber = command.target.comNumber;
    outcome.baud = command.link.baud;
    outcome.evenParity = command.link.evenParity;
    if (command.link.addressing.enabled)
        outcome.address = command.link.addressing.address;
    outcome.started = command.began;
    outcome.ended = clock();
    outcome.seconds = command.clock.elapsed() / 1000.0;
    lastOutcome_ = std::move(outcome);
    emit changed();
    emit commandEnded(*lastOutcome_);
}

const std::vector<LineEvent>& PanelSession::lastTrace() const
{
    static const std::vector<LineEvent> none;
    return command_ ? command_->trace : lastOutcome_ ? lastOutcome_->trace : none;
}

QStringList PanelSession::lastTraceText() const
{
    if (command_ || !lastOutcome_)
        return traceLines(lastTrace());
    return traceText(*lastOutcome_);
}

Result<void> PanelSession::saveTrace(const QString& path) const
{
    return writeFileSafely(path, (lastTraceText().join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

}  // namespace dnp
