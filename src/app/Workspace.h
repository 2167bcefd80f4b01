#pragma once
// The one configuration of a run and every action the two front ends offer. Every user
// action of the desktop window and of dnpcfg is one call here, and the front ends see
// the workspace's parts through const views (the configuration, the overview, the ports,
// how the last panel command ended), so that each sequence of steps is written once:
// open, save, write a report, build the image, send, retrieve and apply what was
// retrieved, verify, export, compare, edit the classes and the order, change the
// settings. What the front ends do besides is show what the views give. Lower layers
// never reach up: the exchange moves words, the mapping turns words into a
// configuration, and only the workspace applies it.

#include "app/History.h"
#include "app/PanelOutcome.h"
#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/ConfigImage.h"
#include "comm/Exchange.h"
#include "comm/PortList.h"
#include "comm/RetrieveMapping.h"
#include "comm/SortModel.h"
#include "files/ConfigFile.h"
#include "files/PointList.h"
#include "files/ReportHeader.h"
#include "model/ConfigCompare.h"
#include "model/ConfigState.h"
#include "model/Result.h"
#include "model/UserPrompts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace dnp {

class DeskSettings;
namespace test {
struct WorkspaceProbe;
}

inline const QString kProgramCaption = QStringLiteral("DNP Configure");
inline const QString kFileIoErrorText = QStringLiteral("File I/O error.");
inline const QString kCannotReadText = QStringLiteral("The configuration file cannot be read.");
// What a verify after a send names: "The panel holds the configuration that was sent."
inline const QString kSentConfigurationText = QStringLiteral("the configuration that was sent");
inline const QString kExitDuringTransferText = QStringLiteral("A transfer is running. Stop it and close?");
// A panel whose words are none a configuration gives (a send stopped short).
inline const QString kIncompleteConfigurationText = QStringLiteral("The panel holds an incomplete configuration.");
// Above the points a verify found different.
inline const QString kPanelDifferencesHeading = QStringLiteral("Differences (A: the configuration, B: the panel):");
inline const QString kPanelAnsweredText = QStringLiteral("The panel answered.");
inline const QString kClearAllText =
    QStringLiteral("Clear the selections of all four classes and the unsolicited settings?");

// The file types of the file dialogs, named alike.
inline const QString kConfigFilter = QStringLiteral("DNP configurations (*.dnp)|*.dnp|All files (*)|*");
inline const QString kTextFilesFilter = QStringLiteral("Text files (*.txt)|*.txt|All files (*)|*");
inline const QString kPointListFilter = QStringLiteral("CSV point lists (*.csv)|*.csv|DNP3 Device Profiles (*.xml)|*.xml");

// The dialogs of the file commands; a save suggests a name from the configuration's.
FileDialogSettings openConfigDialogSettings();  // "Open Configuration", kConfigFilter, "dnp"
// "Save Configuration", the name given ("feeder12.dnp"), "dnp", kConfigFilter
FileDialogSettings saveConfigDialogSettings(const QString& fileName);
// "Save Report", "feeder12-report.txt" for feeder12.dnp, "txt", kTextFilesFilter
FileDialogSettings saveReportDialogSettings(const QString& configurationName);
// "Export Point List", CSV or XML, suggesting the configuration's name with ".csv"
// ("feeder12.csv" for feeder12.dnp); the dialog gives a file the chosen type's extension.
FileDialogSettings exportDialogSettings(const QString& configurationName);
FileDialogSettings compareDialogSettings();     // "Compare With File", kConfigFilter
// "Save Line Trace", the name given (traceFileName), "txt", kTextFilesFilter
FileDialogSettings saveTraceDialogSettings(const QString& fileName);
FileDialogSettings importDialogSettings();      // "Import Point List", CSV, XML or any file

// The type an exported point list takes from its file's name: a Device Profile
// document for ".xml", CSV for ".csv" and for every other name.
PointListFormat exportFormatOf(const QString& path);

// A configuration file compared with the configuration, and how they differ: the
// rows of the table the window shows (differenceTableRow).
struct ComparedFile {
    QString path;
    ConfigDifferences differences;
    QList<QStringList> rows = {};
};

// A row of the differences table: the cells of differenceCells with the point type's
// full name ("Binary Input"), and a point only in A or only in B with its DNP point
// number(s) in the configuration that has it.
QStringList differenceTableRow(const ConfigDifference& difference, const ConfigState& a, const ConfigState& b);
// The same without the configurations: the type's full name, no point numbers added (a
// verify of the panel).
QStringList differenceTableRow(const ConfigDifference& difference);

// The overview's rows of unsolicited settings: dead band, minimum events, notification delay.
constexpr int kUnsolicitedRowCount = 3;

// What the main window's overview shows: the points of each type in each class, the
// unsolicited settings of each event class, the words the Class 0 points take, the
// mapping a send uses, the port, the file's folder, the last transfer, and for a new
// configuration the first step.
struct DeskOverview {
    std::array<std::array<int, 4>, kPointTypeCount> points = {};  // by point type, by class
    // By row, by event class 1-3: "2 %", "1", "0".
    std::array<std::array<QString, 3>, kUnsolicitedRowCount> unsolicited = {};
    WordBudget words = {};
    QString mapping = {};
    QString port = {};  // "COM 1 (/dev/ttyS0), 9600 baud"; "None chosen"
    QString folder = {};  // "/home/eng"; "Not saved yet"
    QString lastTransfer = {};
    QString firstStep = {};  // "Choose Class 0 points: Configuration > Class 0"; "" once there are some
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

// How a workspace is set up: its settings file, how it reaches the panel, what it
// remembers for the desk.
struct WorkspaceSetup {
    QString iniPath = {};          // empty: DNP.ini where the program keeps it
    LinkFactory linkFactory = {};  // empty: the machine's links
    DeskSettings* desk = nullptr;  // the desktop program's remembered files; dnpcfg has none
    LineTiming timing = {};        // how long a panel may take (tests of fake links shorten it)
    // The program the history records the panel commands of: "dnp-configure", "dnpcfg", "fleet".
    QString program = QStringLiteral("dnp-configure");
    // The history the commands are recorded in, shared by several workspaces (a fleet's
    // jobs); empty: the one the settings name, opened at the first command.
    std::shared_ptr<History> history = {};
};

class Workspace : public QObject, public ClassEditorActions, public OrderWindowActions {
    Q_OBJECT
public:
    explicit Workspace(UserPrompts& prompts, WorkspaceSetup setup = {}, QObject* parent = nullptr);
    ~Workspace() override;

    // --- what the front ends see ----------------------------------------------------
    const ConfigState& state() const { return state_; }
    const ClassEditor& classEditor() const override { return editor_; }
    const SortModel& order() const override { return order_; }
    // The communication settings, loaded from their file when first asked for.
    const TcomSetIni& settings() const;
    // What the last completed retrieve found.
    const RetrievedConfig& lastRetrieved() const { return lastRetrieved_; }
    // What went over the line in the last panel command (a send's read-back after it).
    const std::vector<LineEvent>& lastTrace() const;
    // The same as text, under the heading of the command that ended (traceText); the
    // frames alone while a command runs.
    QStringList lastTraceText() const;
    // Its name, "new.dnp" for a new configuration.
    QString fileName() const;
    // The caption, with " *" while the configuration holds unsaved changes.
    QString windowCaption() const;
    // The texts the Report Header dialog first shows, dated by the clock.
    ReportHeaderTexts firstReportHeaderTexts() const { return firstReportHeader(clock().date()); }
    // How the last panel command of the run ended; nothing before the first.
    const std::optional<PanelOutcome>& lastOutcome() const { return lastOutcome_; }
    // The main window's overview of the configuration, the settings and the last transfer.
    DeskOverview overview() const;
    // The machine's ports and the COM numbers the settings offer (dnpcfg ports, Select Port).
    PortsView ports() const;

    // The moment written into files and reports.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // --- the configuration, for dnpcfg ------------------------------------------------
    // The whole file is read and checked first; only a file that reads completely
    // replaces the configuration. The error names the file and, for a bad file, the
    // line: "PATH, line 12: problem".
    Result<void> open(const QString& path);
    // The same with the file read already (a fleet reads each configuration once for all
    // the jobs that send or verify it).
    void open(const QString& path, const ConfigFileData& data);
    // The configuration file written safely; the caption and the saved state follow.
    Result<void> save(const QString& path);
    // The configuration written again with the header texts given (dnpcfg resave).
    Result<void> resave(const QString& path, const ReportHeaderTexts& header);
    // The report, with the header texts given, which the configuration keeps.
    Result<void> writeReport(const QString& path, const ReportHeaderTexts& header);
    // The image a send of the configuration carries in the mapping (0-2).
    Result<ConfigImage> image(Mapping mapping) const;
    // An image text file (as `dnpcfg image` prints it) mapped back and applied as a
    // completed retrieve is; what it held.
    Result<RetrievedConfig> decode(const QString& imagePath);
    // The point list of the configuration as CSV or as a DNP3 Device Profile document
    // (named after the configuration file, dated by the clock), with the warning for
    // the points it leaves out.
    Result<PointListExport> exportPointList(PointListFormat format) const;
    // The same, written safely to `path`; the error names the file.
    Result<PointListExport> exportPointList(PointListFormat format, const QString& path) const;
    // The configuration (A) against the configuration file at `path` (B): nothing when
    // they are equal. A file that does not read gives the error open would give.
    Result<ConfigDifferences> compareWithFile(const QString& path) const;
    // dnpcfg's link options (a fleet job's columns) over the settings, for this run only.
    void overrideLink(const LinkOverride& link);

    // --- the window's commands, with their dialogs and confirmations ------------------
    // Each is refused while a transfer runs (told), and asks about unsaved changes
    // before it sets the configuration aside. They tell their own failures; the result
    // says whether the command went through.
    bool newConfiguration();
    bool openWithDialog();
    // A file opened from the command line, a drop or the recent list; an entry of the
    // recent list whose file is gone is removed with a message.
    bool openFile(const QString& path);
    // Save As: the name asked for; the file last saved is asked about with "Overwrite
    // previously saved configuration?", any other existing file once before it is replaced.
    bool saveWithDialog();
    // Save: written to filePath() at once, without a dialog; a new configuration (no
    // file yet) as Save As.
    bool saveInPlace();
    // Report: the header asked for (nothing when cancelled), then the file.
    bool reportWithDialog(const std::function<std::optional<ReportHeaderTexts>()>& askHeader);
    // File > "Export Point List..." (CSV or XML by the file's type, exportFormatOf; the
    // points left out are told) and File > "Compare With File..." ("The configuration and
    // <file> are the same.", or the differences for the caller to show).
    bool exportWithDialog();
    std::optional<ComparedFile> compareWithDialog();
    // Before the program ends: a running transfer stopped once the user agrees (its end
    // then tells nothing and starts nothing more), then unsaved changes asked about. True
    // when the program may end.
    bool mayExit();

    // --- the editors -----------------------------------------------------------------
    // The class editor for class k, shown by `show` once it is filled.
    void editClass(int cls, const std::function<void()>& show);
    // The class editor on the Class 0 selection (after the retrieve window's OK: the one
    // just retrieved), shown by `show`.
    void showClass0Selection(const std::function<void()>& show);
    void clickItem(ListTag list, int row) override { editor_.clickItem(list, row); }
    void checkItem(ListTag list, int row) override { editor_.checkItem(list, row); }
    void setGroup(int button) override { editor_.setGroup(button); }
    void clearGroup(int button) override { editor_.clearGroup(button); }
    void toggleHarmonics(int button) override { editor_.toggleHarmonics(button); }
    void editUnsolicited(const UnsolicitedTexts& texts) override { editor_.editUnsolicited(texts); }
    Result<void> applyClassEdit() override;
    Result<void> saveClassEdit() override;
    bool clearClassEdit() override;

    // The order window in its mode (Send, Retrieve or the order alone), shown by `show`.
    void showOrderWindow(SortMode mode, const std::function<void()>& show);
    void moveOrderItem(PointType type, int from, int to) override;
    void chooseMapping(Mapping mapping) override;
    void chooseRetrievedMapping(Mapping mapping) override { order_.chooseRetrievedMapping(mapping); }
    bool verifyAfterSend() const override { return settings().VerifyAfterSend; }
    // "Verify after sending", kept in the settings at once.
    void setVerifyAfterSend(bool on) override;
    // A send in the mapping the order window shows, read back when the settings say so.
    void sendInChosenMapping() override { send(order_.mapping(), settings().VerifyAfterSend); }
    // The order window closed in any way: the mapping back to individual, a retrieve
    // still running stopped; closed without Send, the order it was shown with restored.
    void closeOrderWindow(bool accepted) override;

    // Communication Settings: `dialog` shows the choice and gives the one the user left
    // it with (nothing for Cancel); it is stored and saved.
    void editSettings(const std::function<std::optional<CommChoice>(const CommChoice&)>& dialog);
    // The same without a dialog: stored and saved. A choice checkChoice refuses changes
    // nothing and fails as it does.
    Result<void> changeSettings(const CommChoice& choice);
    // The settings read again from their file; a file that does not read gives the
    // defaults and fails with why (dnpcfg --ini).
    Result<void> readSettings();

    // --- settings by name and the point list import (dnpcfg settings, import) -------
    // dnpcfg settings --set: the settings the change names replaced, then saved. An
    // address outside 0-255 changes nothing; a save that fails says why.
    Result<void> changeSettings(const SettingsChange& change);
    // A point list (CSV or DNP3 Device Profile document) read over the configuration:
    // the selections and the Class 0 order as the list gives them, the dead bands a CSV
    // list gives, the rest as the configuration has it. The configuration is replaced
    // and unsaved. A list that cannot be taken changes nothing and fails with every
    // problem under the line "PATH:". Gives the warning to show ("" for none): a list
    // over the panel's words is taken as the class editor's OK takes such a selection
    // (overBudgetText), and its send is refused.
    Result<QString> importPointList(const QString& listPath, PointListFormat format);
    // dnpcfg import: the same, then the configuration saved to `outPath`. An output that
    // is the list itself is refused before the list is read ("<out> is the point list
    // being read; choose another file."); nothing is written unless the whole list is
    // taken.
    Result<QString> importInto(const QString& listPath, PointListFormat format, const QString& outPath);
    // File > "Import Point List...": refused while a transfer runs; unsaved changes are
    // asked about first; the list chosen is read as CSV or XML by its suffix (any other
    // as CSV) and what cannot be taken is told, a warning shown as a note.
    bool importWithDialog();

    // --- the panel -------------------------------------------------------------------
    // Each panel command is refused while another runs and ends with one
    // panelCommandEnded, whose outcome is told (a box in the window, lines in dnpcfg).
    // A send of the configuration in the mapping; `readBack`: once written, the panel
    // is read back and compared word for word, and only a panel that holds the image
    // sent counts as OK. A retrieve of the panel's configuration, kept once all 18
    // replies are in; acceptRetrieve (the retrieve window's OK) applies it as a new,
    // untitled configuration "Retrieved from COM 2 at 10:41". A verify: the panel's image
    // read back (nothing applied) and compared with the image the configuration gives in
    // the mapping.
    void send(Mapping mapping, bool readBack);
    void retrieve() override;
    bool acceptRetrieve() override;
    // dnpcfg retrieve: `path` is checked before the first request (its folder exists, it
    // is no folder, device or FIFO, it may be replaced), and the retrieved configuration
    // is saved there; a failed save fails the retrieve.
    void retrieveInto(const QString& path);
    void verify(Mapping mapping, const QString& what);
    // Panel > "Verify Panel Against File": the open configuration (individual mapping,
    // as a send without another choice carries it) against the panel.
    void verifyPanel() { verify(order_.mapping(), fileName()); }
    // The test of the line: message 1 read (which changes nothing in the panel), then
    // "The panel answered." or what went wrong. With the settings as they are (and
    // dnpcfg's link options), or as the settings dialog shows them before they are saved.
    // A tls:// server whose certificate is not trusted is shown (UserPrompts::
    // trustCertificate); trusted, its fingerprint is saved for that device and the test
    // runs again.
    void testPanel();
    void testPanel(const CommChoice& choice);
    bool transferRunning() const override { return command_.has_value(); }
    // Stops the panel command under way: its transfer ends as cancelled and nothing
    // follows it.
    void cancelTransfer() override { exchange_.cancel(); }
    // Panel > Line Trace's Save: the trace of the last panel command as text, written
    // safely to the file asked for.
    bool saveTraceWithDialog();

    // --- the history ----------------------------------------------------------------
    // Every panel command is recorded when it ends, whatever its outcome. A record that
    // cannot be written changes nothing of the outcome: historyWarning() says why, told
    // after the outcome ("The transfer was not recorded in the history: REASON"). With
    // [History] Required=1 a command whose record could not be written is refused before
    // its first request.
    // dnpcfg --history: a store for this run ("off", a postgresql:// URL or an SQLite
    // file) instead of the one the settings name. One that does not parse fails as an
    // unreachable one does: at each record, and at once when the settings require it.
    void overrideHistory(const QString& store);
    // The store the commands are recorded in (the settings' unless overridden).
    History& history();
    // Why the last command was not recorded; "" when it was (or the history is off).
    const QString& historyWarning() const { return historyWarning_; }
    // dnpcfg history and Panel > History: the records the filter takes, newest first;
    // what each panel holds.
    Result<std::vector<HistoryRecord>> historyRecords(const HistoryFilter& filter) { return history().records(filter); }
    Result<std::vector<PanelHolding>> panelHoldings() { return history().panels(); }
    // Panel > History's Export CSV: the records as dnpcfg history --format csv writes
    // them, to the file the user chooses.
    bool exportHistoryWithDialog(const std::vector<HistoryRecord>& records);

signals:
    // What the window shows of the workspace changed: the configuration, its file and
    // caption, the settings, whether a panel command runs, how the last one ended.
    void changed();
    // At the start of each message (1-18), and with message 0 when the transfer ended;
    // `text` says it: "Sending message 3 of 18", "Verifying message 3 of 18", "" at the end.
    void transferProgress(dnp::TransferKind kind, int message, const QString& text);
    void transferEnded(const dnp::TransferResult& result);
    // A panel command has ended (lastOutcome() holds the same value).
    void panelCommandEnded(const dnp::PanelOutcome& outcome);
    // A file command of the window says what it wrote or read, for the status bar:
    // "Saved /home/eng/feeder12.dnp".
    void noted(const QString& text);

private:
    // The tests look at what the window shows through these.
    friend struct test::WorkspaceProbe;
    // The file the configuration came from or was last saved to; empty for a new one.
    const QString& filePath() const { return filePath_; }
    // The file last written by Save or a report.
    const QString& lastSavedPath() const { return lastSavedPath_; }
    // "DNP Configure" for a new configuration, the file's name after Open or Save.
    const QString& caption() const { return caption_; }
    // True after any change of what a file keeps, and after a retrieve or an import was
    // applied; false after New, a completed Open and a completed Save.
    bool modified() const;
    // The trace of the last panel command as text, written safely (the error names the file).
    Result<void> saveTrace(const QString& path) const;

    struct Confirmation {
        QString caption;
        QString text;
    };
    TcomSetIni& changeableSettings();
    bool refuseWhileRunning();
    bool maySetAside();
    // Where a configuration that replaces the open one comes from.
    struct ConfigOrigin {
        QString file;     // the file that holds it; empty: none yet
        QString caption;  // the window's caption
        bool saved;       // as a file holds it (Open, New); false: work not saved yet
    };
    void replaceConfiguration(const ConfigState& content, const ConfigOrigin& origin);
    // The configuration with what a file (or a point list) holds over it.
    ConfigState withFileData(const ConfigFileData& data) const;
    void markSaved();
    // `told`: what the status bar says once the file is written ("Saved %1").
    bool saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                  const std::function<Result<void>(const QString&)>& write, const QString& told);
    bool saveConfiguration(const Confirmation& confirmation);
    bool saveInPlace(const Confirmation& confirmation);
    bool openTold(const QString& path);
    std::optional<QString> chosenFile(FileDialogSettings dialog, bool save);
    Result<void> writeOut(const QString& path, const QByteArray& bytes);
    // The report header's texts become the configuration's.
    void takeReportHeader(const ReportHeaderTexts& header);
    void tellUnreadable(const Error& error, const QString& cannotRead);
    // A retrieved configuration replaces the current one, untitled, under `caption`.
    void applyRetrieved(const RetrievedConfig& retrieved, const QString& caption);
    Result<ConfigState> readConfiguration(const QString& path) const;

    // The panel command under way, and the step that follows each of its transfers.
    struct SendStep {
        ConfigImage image;
        bool readBack = false;
    };
    struct ReadBackStep {  // the send is written; the panel is read and compared
        ConfigImage image;
        TransferResult written;
    };
    struct RetrieveStep {
        std::optional<QString> saveTo;  // dnpcfg retrieve's file
    };
    struct VerifyStep {
        ConfigImage expected;
        QString what;
    };
    struct TestStep {
        TcomSetIni settings;  // what the test runs with (the dialog's choice, before it is saved)
        bool typed = false;   // the settings dialog's: its device is named as typed there
    };
    using PanelStep = std::variant<SendStep, ReadBackStep, RetrieveStep, VerifyStep, TestStep>;
    struct PanelCommand {
        PanelAction action;
        PanelStep step;
        QElapsedTimer clock = {};
        QDateTime began = {};
        std::vector<LineEvent> trace = {};
        LinkTarget target = {};
        TransferLink link = {};
        qint64 transferStartMs = 0;  // when its transfer under way began
        bool closing = false;  // the program ends with it: its end tells nothing, starts nothing
        bool unrecordable = false;  // refused because the history could not take its record
    };

    // The settings a transfer uses: as they are, values out of range as the defaults.
    TcomSetIni lineSettings() const;
    Result<void> checkStoredAddress(const TcomSetIni& s) const;
    Result<LinkTarget> linkTarget(const TcomSetIni& s);
    TransferLink transferLink(const TcomSetIni& s) const;
    // A panel command begins with its first step; false (told) while another runs.
    bool beginPanelCommand(PanelAction action, PanelStep step);
    // The transfer of the command's step over a new link made for the settings.
    void startTransfer(const TcomSetIni& s);
    // The command ends before its first frame, failed with why.
    void refuseCommand(const QString& message, TransferOutcome why = TransferOutcome::Refused);
    QString progressText(TransferKind kind, int message) const;
    PanelOutcome compareWithPanel(const ConfigImage& expected, const QString& what, const TransferResult& read) const;
    void transferFinished(const TransferResult& result);
    // Each step's end: the outcome, or nothing when the next step has started.
    std::optional<PanelOutcome> stepEnded(SendStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(ReadBackStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(RetrieveStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(VerifyStep& step, const TransferResult& result);
    std::optional<PanelOutcome> stepEnded(TestStep& step, const TransferResult& result);
    void endCommand(PanelOutcome outcome);
    void tell(const PanelOutcome& outcome);
    // The outcome written to the history; why not is kept and, when `told`, told.
    void recordInHistory(const PanelOutcome& outcome, bool told);
    // [History] Required=1: why a command may not start, when its record could not be written.
    Result<void> checkHistoryRequired();
    // The certificate of a device trusted at the first contact, saved with the settings;
    // false (and told) when they could not be saved.
    bool trustCertificate(const QString& device, const QByteArray& fingerprint);

    UserPrompts& prompts_;
    WorkspaceSetup setup_;
    ConfigState state_;
    ClassEditor editor_;
    SortModel order_;
    mutable std::unique_ptr<TcomSetIni> settings_;
    LinkOverride override_;
    std::optional<PortChoice> chosenPort_;  // what Select Port gave for this panel command
    std::unique_ptr<Link> link_;
    Exchange exchange_;
    std::optional<PanelCommand> command_;
    RetrievedConfig lastRetrieved_;
    std::optional<QString> retrievedCaption_;  // a retrieve read and not yet taken: its caption
    std::optional<PanelOutcome> lastOutcome_;
    QString filePath_;
    QString lastSavedPath_;
    QString caption_ = kProgramCaption;
    ConfigContent saved_;  // what the file last opened or saved holds
    bool unsaved_ = false;  // replaced by what no file holds yet (a retrieve, an import), until saved
    std::shared_ptr<History> history_;
    QString historyWarning_;
};

}  // namespace dnp
