#pragma once
// The panel session: one panel command at a time (a send with its read-back, a retrieve,
// a verify, a test), each ending in its one PanelOutcome. It makes the link a transfer
// needs from the settings (or the link options a run names), has the exchange move the
// words, reads the panel back in a plan no late copy can fool, and tells the end with
// commandEnded(); it shows nothing. What it asks the user (Select Port, the trust of a
// certificate) goes through PanelQuestions, which dnpcfg and a fleet answer alone. The
// history listens for commandEnded, and may hold a command back before its first request
// (admit).

#include "app/ConfigDocument.h"
#include "app/PanelOutcome.h"
#include "app/Settings.h"
#include "comm/Exchange.h"
#include "comm/Link.h"
#include "comm/PortList.h"
#include "comm/TransferText.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace dnp {

inline const QString kPanelAnsweredText = QStringLiteral("The panel answered.");
// What a verify after a send names: "The panel holds the configuration that was sent."
inline const QString kSentConfigurationText = QStringLiteral("the configuration that was sent");
// Above the points a verify found different.
inline const QString kPanelDifferencesHeading = QStringLiteral("Differences (A: the configuration, B: the panel):");

// What a panel command asks the user.
class PanelQuestions {
public:
    virtual ~PanelQuestions() = default;
    // "Select Port", when a transfer starts with no port chosen: the COM numbers whose
    // device is present (`ports`; `devices` maps numbers to devices); the number chosen,
    // a device typed or Cancel; nothing where nobody can be asked.
    virtual std::optional<PortChoice> selectPort(const QList<int>& ports, const QMap<int, QString>& devices) = 0;
    // The first contact with a server whose certificate is not trusted: why (`refusal`)
    // and the certificate (`facts`: subject, issuer, validity, fingerprint) are shown
    // with "Trust this certificate" and Cancel; true for Trust.
    virtual bool trustCertificate(const QString& refusal, const QString& facts) = 0;
};

// The answers of a run without anyone to ask (a fleet's jobs): no port is chosen, no
// certificate trusted.
class UnattendedQuestions : public PanelQuestions {
public:
    std::optional<PortChoice> selectPort(const QList<int>&, const QMap<int, QString>&) override { return std::nullopt; }
    bool trustCertificate(const QString&, const QString&) override { return false; }
};

// What dnpcfg's link options and a jobs file's columns put in place of the settings for
// their transfers, as the settings' readers read them (parseBaudItem, parseEvenParity,
// parseAddress).
struct LinkOverride {
    std::optional<QString> device;  // a device named directly, whatever the settings map
    std::optional<int> baud;        // 19200, 9600 or 4800
    std::optional<bool> evenParity;
    std::optional<int> address;     // 0-255; turns addressing on
};

// How a session reaches the panel and who runs it.
struct SessionSetup {
    ProgramKind program = ProgramKind::Desk;
    LinkFactory linkFactory = {};  // empty: the machine's links
    LineTiming timing = {};        // how long a panel may take (tests of fake links shorten it)
};

class PanelSession : public QObject {
    Q_OBJECT
public:
    PanelSession(Settings& settings, PanelQuestions& questions, SessionSetup setup = {}, QObject* parent = nullptr);
    ~PanelSession() override;

    // The moment a command begins and ends.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // Asked before a command's first request: a refusal ends it refused and unrecorded
    // (the history the settings require).
    std::function<Result<void>()> admit;

    // dnpcfg's link options (a fleet job's columns) over the settings, for this run only.
    void overrideLink(const LinkOverride& link);

    // Each command is refused while another runs (kTransferUnderWayText) and otherwise
    // ends with one commandEnded.
    // A send of the document in the mapping (refused before the port is touched when it
    // cannot be built); `readBack`: once written the panel is read back and compared word
    // for word, and only a panel that holds the image sent counts as OK.
    Result<void> send(const ConfigDocument& document, Mapping mapping, bool readBack);
    // The panel's image read, kept once all 18 replies are in: the document's order window
    // shows what it read (lastRetrieved); applying it is the caller's (the retrieve
    // window's OK).
    Result<void> retrieve(ConfigDocument& document);
    // dnpcfg retrieve -o: `path` is checked before the first request (its folder exists,
    // it is no folder, device or FIFO, it may be replaced); the retrieved configuration
    // replaces the document's and is saved there; a failed save fails the retrieve.
    Result<void> retrieveInto(ConfigDocument& document, const QString& path);
    // The panel's image read back (nothing applied) and compared with the image the
    // document gives in the mapping; `what` names it in the outcome ("The panel holds X.").
    Result<void> verify(const ConfigDocument& document, Mapping mapping, const QString& what);
    // The test of the line: message 1 read (which changes nothing in the panel), then
    // "The panel answered." or what went wrong. With the settings as they are (and the
    // link options), or as the settings dialog shows them before they are saved. A tls://
    // server whose certificate is not trusted is shown (PanelQuestions::trustCertificate);
    // trusted, its fingerprint is saved for that device and the test runs again.
    Result<void> test();
    Result<void> test(const CommChoice& choice);

    bool running() const { return command_.has_value(); }
    // The action of the command under way; nothing when none runs.
    std::optional<PanelAction> runningAction() const { return command_ ? std::optional(command_->action) : std::nullopt; }
    // Stops the command under way: its transfer ends as cancelled and nothing follows it.
    void cancel() { exchange_.cancel(); }
    // The program is closing: the command under way starts nothing more when its
    // transfer ends (no read-back, nothing read again).
    void setClosing(bool closing);

    // How the last command of the run ended; nothing before the first.
    const std::optional<PanelOutcome>& lastOutcome() const { return lastOutcome_; }
    // What went over the line in the last command (a send's read-back after it).
    const std::vector<LineEvent>& lastTrace() const;
    // The same as text, under the heading of the command that ended (traceText); the
    // frames alone while a command runs.
    QStringList lastTraceText() const;
    // That text written safely to `path`.
    Result<void> saveTrace(const QString& path) const;

signals:
    // A command began or ended.
    void changed();
    // At the start of each message (1-18), and with message 0 when the transfer ended;
    // `text` says it: "Sending message 3 of 18", "Verifying message 3 of 18", "" at the end.
    void transferProgress(dnp::TransferKind kind, int message, const QString& text);
    void transferEnded(const dnp::TransferResult& result);
    // A command has ended (lastOutcome() holds the same value).
    void commandEnded(const dnp::PanelOutcome& outcome);

private:
    // A read compared with what the panel should hold: read in a plan no late copy of a
    // reply can fool (readPlan); the messages that differ, and those a doubtful end left
    // unread, are read once more before the panel is said to differ.
    struct ComparedRead {
        std::vector<int> plan;                         // of the read under way
        std::optional<TransferResult> firstPass = {};  // the whole read, while its differing messages are read again
    };
    struct SendStep {
        ConfigImage image;
        bool readBack = false;
    };
    struct ReadBackStep {  // the send is written; the panel is read and compared
        ConfigImage image;
        TransferResult written;
        ComparedRead read = {};
    };
    struct RetrieveStep {
        ConfigDocument* document;
        std::optional<QString> saveTo;  // dnpcfg retrieve's file
    };
    struct VerifyStep {
        ConfigImage expected;
        QString what;
        ComparedRead read = {};
    };
    struct TestStep {
        TcomSetIni settings;  // what the test runs with (the dialog's choice, before it is saved)
        bool typed = false;   // the settings dialog's: its device is named as typed there
    };
    using PanelStep = std::variant<SendStep, ReadBackStep, RetrieveStep, VerifyStep, TestStep>;
    struct PanelCommand {
        PanelAction action;
        PanelStep step;
        QString config = {};  // the configuration file sent or compared against
        QElapsedTimer clock = {};
        QDateTime began = {};
        std::vector<LineEvent> trace = {};
        LinkTarget target = {};
        TransferLink link = {};
        qint64 transferStartMs = 0;  // when its transfer under way began
        bool recordable = true;      // false: refused because its record could not be written
    };

    // The settings a transfer uses: as they are, values out of range as the defaults.
    TcomSetIni lineSettings() const;
    Result<void> checkStoredAddress(const TcomSetIni& s) const;
    Result<LinkTarget> linkTarget(const TcomSetIni& s);
    TransferLink transferLink(const TcomSetIni& s) const;
    // A command begins with its first step (refused while another runs); false when it has
    // already ended, refused before its first request.
    Result<bool> begin(PanelAction action, PanelStep step, const QString& config = {});
    // The transfer of the command's step over a new link made for the settings.
    void startTransfer(const TcomSetIni& s);
    // The command ends before its first frame, failed with why.
    void refuse(const QString& message, TransferOutcome why = TransferOutcome::Refused);
    QString progressText(TransferKind kind, int message) const;
    PanelOutcome compareWithPanel(const ConfigImage& expected, const QString& what, const TransferResult& read) const;
    static std::vector<int> readPlanOf(const PanelStep& step);
    // A compared read has ended: the messages that differ or were not read are read again
    // once (nothing then), else the read to compare, the messages read again in place.
    std::optional<TransferResult> confirmedRead(const ConfigImage& expected, ComparedRead& read,
                                                const TransferResult& result);
    void transferFinished(const TransferResult& result);
    // Each step's end: the outcome, or nothing when the next step has started.
    std::optional<PanelOutcome> stepEnded(SendStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(ReadBackStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(RetrieveStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(VerifyStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(TestStep& step, const TransferResult& result);
    void end(PanelOutcome outcome);

    Settings& settings_;
    PanelQuestions& questions_;
    SessionSetup setup_;
    LinkOverride override_;
    std::optional<PortChoice> chosenPort_;  // what Select Port gave for this panel command
    std::unique_ptr<Link> link_;
    Exchange exchange_;
    std::optional<PanelCommand> command_;
    std::optional<PanelOutcome> lastOutcome_;
    bool closing_ = false;
};

}  // namespace dnp
