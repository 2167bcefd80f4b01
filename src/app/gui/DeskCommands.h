#pragma once
// The desk's commands: each user action of the main window and its dialogs is one call
// here. A command runs the steps of the run's parts (the document, the panel session, the
// settings) with the dialogs it needs (a file name, "Save changes to …?", a header), and
// this is the one place that shows what happened: a box for a failure, the outcome of a
// panel command, the status bar's word. The commands that the order window and the class
// editor hand over come through their action interfaces.

#include "app/ConfigDocument.h"
#include "app/DeskOverview.h"
#include "app/PanelHistory.h"
#include "app/PanelSession.h"
#include "app/Settings.h"
#include "app/gui/DeskPrompts.h"
#include "classes/ClassEditor.h"
#include "comm/SortModel.h"

#include <QObject>
#include <functional>
#include <optional>

namespace dnp {

class DeskSettings;

inline const QString kFileIoErrorText = QStringLiteral("File I/O error.");
inline const QString kCannotReadText = QStringLiteral("The configuration file cannot be read.");
inline const QString kExitDuringTransferText = QStringLiteral("A transfer is running. Stop it and close?");
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
FileDialogSettings exportHistoryDialogSettings();  // "Export History", "history.csv"

// How the desk reaches its settings, its panel and its remembered files.
struct DeskSetup {
    QString iniPath = {};          // empty: DNP.ini where the program keeps it
    LinkFactory linkFactory = {};  // empty: the machine's links
    DeskSettings* desk = nullptr;  // the remembered files and folder; none in some tests
    LineTiming timing = {};
};

class DeskCommands : public QObject, public ClassEditorActions, public OrderWindowActions {
    Q_OBJECT
public:
    DeskCommands(DeskPrompts& prompts, DeskSetup setup = {}, QObject* parent = nullptr);
    ~DeskCommands() override;

    // The run's parts.
    ConfigDocument& document() { return document_; }
    const ConfigDocument& document() const { return document_; }
    PanelSession& session() { return session_; }
    const PanelSession& session() const { return session_; }
    Settings& settings() { return settings_; }
    PanelHistory& history() { return history_; }
    // The main window's overview of them.
    DeskOverview overview() const;

    // --- the file commands --------------------------------------------------------------
    // Each is refused while a transfer runs (told), and asks about unsaved changes before
    // it sets the configuration aside. The result says whether the command went through.
    bool newConfiguration();
    bool openWithDialog();
    // A file opened from the command line, a drop or the recent list; an entry of the
    // recent list whose file is gone is removed with a message.
    bool openFile(const QString& path);
    // Save As: the name asked for; the file last saved is asked about with "Overwrite
    // previously saved configuration?", any other existing file once before it is replaced.
    bool saveWithDialog();
    // Save: written to the configuration's file at once; a new configuration as Save As.
    bool saveInPlace();
    // Report: the header asked for (nothing when cancelled), then the file.
    bool reportWithDialog(const std::function<std::optional<ReportHeaderTexts>()>& askHeader);
    // File > "Export Point List..." (CSV or XML by the file's type; the points left out
    // are told), "Compare With File..." ("The configuration and <file> are the same.", or
    // the differences for the caller to show), "Import Point List...".
    bool exportWithDialog();
    std::optional<ComparedFile> compareWithDialog();
    bool importWithDialog();
    // Before the program ends: a running transfer stopped once the user agrees (its end
    // then tells nothing and starts nothing more), then unsaved changes asked about. True
    // when the program may end.
    bool mayExit();

    // --- the editors --------------------------------------------------------------------
    // The class editor for class k, shown by `show` once it is filled; on the retrieved
    // Class 0 selection (after the retrieve window's OK).
    void editClass(int cls, const std::function<void()>& show);
    void showClass0Selection(const std::function<void()>& show);
    const ClassEditor& classEditor() const override { return document_.classEditor(); }
    void clickItem(ListTag list, int row) override;
    void checkItem(ListTag list, int row) override;
    void setGroup(int button) override { document_.classEditor().setGroup(button); }
    void clearGroup(int button) override { document_.classEditor().clearGroup(button); }
    void toggleHarmonics(int button) override { document_.classEditor().toggleHarmonics(button); }
    void editUnsolicited(const UnsolicitedTexts& texts) override { document_.classEditor().editUnsolicited(texts); }
    Result<void> applyClassEdit() override;
    Result<void> saveClassEdit() override;
    bool clearClassEdit() override;

    // The order window in its mode (Send, Retrieve or the order alone), shown by `show`.
    void showOrderWindow(SortMode mode, const std::function<void()>& show);
    const SortModel& order() const override { return document_.order(); }
    void moveOrderItem(PointType type, int from, int to) override { document_.moveOrderItem(type, from, to); }
    void chooseMapping(Mapping mapping) override { document_.chooseMapping(mapping); }
    void chooseRetrievedMapping(Mapping mapping) override { document_.order().chooseRetrievedMapping(mapping); }
    bool verifyAfterSend() const override;
    void setVerifyAfterSend(bool on) override;
    // A send in the mapping the order window shows, read back when the settings say so.
    void sendInChosenMapping() override;
    void retrieve() override;
    bool acceptRetrieve() override;
    // The order window closed in any way: the mapping back to individual, a retrieve still
    // running stopped; closed without Send, the order it was shown with restored.
    void closeOrderWindow(bool accepted) override;
    bool transferRunning() const override { return session_.running(); }
    void cancelTransfer() override { session_.cancel(); }

    // --- the settings and the panel -------------------------------------------------------
    // Communication Settings: `dialog` shows the choice and gives the one the user left it
    // with (nothing for Cancel); it is stored and saved.
    void editSettings(const std::function<std::optional<CommChoice>(const CommChoice&)>& dialog);
    // Panel > "Verify Panel Against File": the open configuration (in the order window's
    // mapping, individual unless chosen) against the panel.
    void verifyPanel();
    // Panel > "Test Connection", and Test in the settings dialog with its choice.
    void testPanel();
    void testPanel(const CommChoice& choice);
    // Panel > Line Trace's Save, and Panel > History's Export CSV.
    bool saveTraceWithDialog();
    bool exportHistoryWithDialog(const std::vector<HistoryRecord>& records);

signals:
    // What the window shows of the run changed: the configuration, its file and caption,
    // the settings, whether a panel command runs, how the last one ended.
    void changed();
    // A panel command has ended and its outcome has been told.
    void panelCommandEnded(const dnp::PanelOutcome& outcome);
    // A command says what it wrote or read, for the status bar: "Saved /home/eng/feeder12.dnp".
    void noted(const QString& text);

private:
    struct Confirmation {
        QString caption;
        QString text;
    };
    bool refuseWhileRunning();
    bool maySetAside();
    bool saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                  const std::function<Result<void>(const QString&)>& write, const QString& told);
    bool saveConfiguration(const Confirmation& confirmation);
    bool saveInPlace(const Confirmation& confirmation);
    bool openTold(const QString& path);
    std::optional<QString> chosenFile(FileDialogSettings dialog, bool save);
    // An input that does not open ("File I/O error."), or does not read (`cannotRead`),
    // and why.
    void tellUnreadable(const Error& error, const QString& cannotRead);
    // A step's failure in a box; true when it went through.
    bool told(const Result<void>& result);
    // What a panel command tells: its message, as information when it went well, as an
    // error otherwise, with the points that differ; a retrieve, verify or test the user
    // cancelled tells nothing.
    void tell(const PanelOutcome& outcome);

    DeskPrompts& prompts_;
    DeskSetup setup_;
    Settings settings_;
    ConfigDocument document_;
    PanelSession session_;
    PanelHistory history_;
    std::optional<QString> retrievedCaption_;  // a retrieve read and not yet taken: its caption
    bool closing_ = false;  // the program ends with the command under way: its end tells nothing
};

}  // namespace dnp
