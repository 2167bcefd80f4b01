#pragma once
// The one configuration of a run and every operation the two front ends need. The
// desktop window and dnpcfg call only these, so that each sequence of steps is written
// once: open, save, write a report, build the image, send, retrieve and apply what was
// retrieved. Lower layers never reach up: the exchange moves words, the mapping turns
// words into a configuration, and only the workspace applies it.

#include "classes/ClassEditor.h"
#include "comm/CommSettings.h"
#include "comm/ConfigImage.h"
#include "comm/Exchange.h"
#include "comm/RetrieveMapping.h"
#include "comm/SortModel.h"
#include "files/PointList.h"
#include "files/ReportHeader.h"
#include "model/ConfigCompare.h"
#include "model/ConfigState.h"
#include "model/Result.h"
#include "model/UserPrompts.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>

namespace dnp {

class DeskSettings;

inline const QString kProgramCaption = QStringLiteral("DNP Configure");
inline const QString kFileIoErrorText = QStringLiteral("File I/O error.");
// What a verify after a send names: "The panel holds the configuration that was sent."
inline const QString kSentConfigurationText = QStringLiteral("the configuration that was sent");

// The dialogs of the file commands.
FileDialogSettings openConfigDialogSettings();  // "Open Configuration", the .dnp filter, "dnp"
FileDialogSettings saveConfigDialogSettings();  // "Save Configuration", "*.dnp", "dnp", filter "dnp"
FileDialogSettings saveReportDialogSettings();  // "Save Report", "*.txt", "txt", filter "txt"
FileDialogSettings exportDialogSettings();      // "Export Point List", CSV or XML
FileDialogSettings compareDialogSettings();     // "Compare With File", the .dnp filter

// A configuration file compared with the configuration, and how they differ.
struct ComparedFile {
    QString path;
    ConfigDifferences differences;
};

class Workspace : public QObject {
    Q_OBJECT
public:
    // `iniPath`: the settings file; empty for DNP.ini where the program keeps it.
    Workspace(UserPrompts& prompts, SerialLink& link, const QString& iniPath = {}, QObject* parent = nullptr);
    ~Workspace() override;

    ConfigState& state() { return state_; }
    const ConfigState& state() const { return state_; }
    ClassEditor& editor() { return editor_; }
    SortModel& order() { return order_; }
    // The communication settings, loaded from their file when first asked for.
    TcomSetIni& settings();
    ReportHeader& reportHeader() { return reportHeader_; }
    Exchange& exchange() { return exchange_; }
    UserPrompts& prompts() { return prompts_; }
    // What the last completed retrieve found.
    const RetrievedConfig& lastRetrieved() const { return lastRetrieved_; }

    // The moment written into files and reports.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };
    // "DNP Configure" for a new configuration, the file's name after Open or Save.
    const QString& caption() const { return caption_; }
    // The caption, with " *" while the configuration holds unsaved changes.
    QString windowCaption() const;
    // The desktop program's remembered files and folder; dnpcfg has none.
    void setDeskSettings(DeskSettings* desk) { desk_ = desk; }

    // --- unsaved changes ---------------------------------------------------------
    // True after any change of what a file keeps, and after a retrieve was applied;
    // false after New, a completed Open and a completed Save.
    bool modified() const;
    // Before the configuration is set aside: while it is modified, asks "Save changes to
    // <name>?"; Save runs the Save command. True when the caller may go on.
    bool maySetAside();

    // --- the configuration -------------------------------------------------------
    // New: an empty configuration.
    void newConfiguration();
    // The whole file is read and checked first; only a file that reads completely
    // replaces the configuration (clear step, then its data). The error names the file
    // and, for a bad file, the line: "PATH, line 12: problem".
    Result<void> open(const QString& path);
    // The configuration file, or the report, written safely; LastSavedFileName follows.
    Result<void> save(const QString& path);
    Result<void> writeReport(const QString& path);

    // --- the window's file commands, with their dialogs and confirmations -----------
    bool openWithDialog();       // Open
    // A file opened from the command line, a drop or the recent list: unsaved changes
    // are asked about first; a file that does not read is told and changes nothing.
    bool openFromDesk(const QString& path);
    // An entry of the recent list; one whose file is gone is removed with a message.
    bool openRecent(const QString& path);
    bool saveWithDialog();       // Save and Save As
    bool saveFromClassEditor();  // the file part of the class editor's Save
    // Report: the Report Header dialog (shown by the caller), then, after OK, the file.
    void reportWithHeader(const std::function<void()>& showReportHeader);

    // --- the panel -------------------------------------------------------------
    // Send up to showing the order window: the marks recomputed after a file load, the
    // flagged order lists rebuilt, the window in send mode.
    void prepareSend();
    // Retrieve up to showing the window: retrieve mode.
    void prepareRetrieve();
    // The image a send of the order lists carries in the mapping.
    Result<BuiltImage> buildImage(int mappingItem);
    // "&Send" (in the mapping the order window shows) and "&Retrieve": the port is
    // opened and the transfer started; its end is told in a message box and by
    // transferEnded. Refused while a transfer runs.
    // `thenVerify`: a successful send is followed by a verify of the image sent.
    void startSend(bool thenVerify = false);
    void startRetrieve();
    bool transferRunning() const { return exchange_.running(); }
    // While a transfer runs: tells the user it is under way and gives true.
    bool refuseWhileRunning();
    // Stops a running transfer; a retrieve stopped so applies nothing.
    void cancelTransfer() { exchange_.cancel(); }
    // The retrieve window closed while its retrieve runs: the retrieve stops.
    void cancelRetrieve()
    {
        if (exchange_.runningKind() == TransferKind::Retrieve)
            exchange_.cancel();
    }
    // A retrieved configuration replaces the current one: the clear step, then the
    // retrieved selections, marks, Class 0 order and unsolicited settings.
    void applyRetrieved(const RetrievedConfig& retrieved);

    // --- the point map and the audit ----------------------------------------------
    // The point list of the configuration as CSV or as a DNP3 Device Profile document
    // (named after the configuration file, dated by the clock), with the warning for
    // the points it leaves out.
    Result<PointListExport> exportPointList(PointListFormat format) const;
    // The same, written safely to `path`; the error names the file.
    Result<PointListExport> exportPointList(PointListFormat format, const QString& path) const;
    // The configuration (A) against the configuration file at `path` (B): nothing when
    // they are equal. A file that does not read gives the error open would give.
    Result<ConfigDifferences> compareWithFile(const QString& path) const;
    // Verify: the panel's image is read back (nothing of it is applied) and compared
    // word for word with `expected`; "The panel holds <what>." or the differences are
    // told, and kept in lastVerify() (nothing when the read-back failed).
    void startVerify(const ConfigImage& expected, const QString& what);
    // The window's commands: File > "Export Point List..." (CSV or XML by the file's
    // type; the points left out are told) and File > "Compare With File..." ("The
    // configuration and <file> are the same.", or the differences for the caller to
    // show; a file that does not read is told as Open tells it).
    bool exportWithDialog();
    std::optional<ComparedFile> compareWithDialog();
    const std::optional<ConfigDifferences>& lastVerify() const { return lastVerify_; }

signals:
    // At the start of each message (1-18), and with message 0 when the transfer ended.
    void transferProgress(dnp::TransferKind kind, int message);
    void transferEnded(const dnp::TransferResult& result);

private:
    struct Confirmation {
        QString caption;
        QString text;
    };
    bool saveWith(const FileDialogSettings& dialog, const Confirmation& confirmation,
                  Result<void> (Workspace::*write)(const QString&));
    bool saveConfiguration(const Confirmation& confirmation);
    bool openTold(const QString& path);
    std::optional<QString> chosenFile(FileDialogSettings dialog, bool save);
    void markSaved();
    Result<void> writeOut(const QString& path, const QByteArray& bytes);
    Result<void> writePointList(const QString& path);
    void tellUnreadable(const Error& error);
    TransferLink link();
    bool openPortFor(TransferKind kind);
    void transferFinished(const TransferResult& result);
    void tellOutcome(const TransferResult& result);
    void finishVerify(const TransferResult& result);

    UserPrompts& prompts_;
    ConfigState state_;
    ClassEditor editor_;
    SortModel order_;
    QString iniPath_;
    std::unique_ptr<TcomSetIni> settings_;
    ReportHeader reportHeader_;
    Exchange exchange_;
    RetrievedConfig lastRetrieved_;
    struct Verify {
        ConfigImage expected;
        QString what;
    };
    std::optional<Verify> verifying_;
    std::optional<ConfigDifferences> lastVerify_;
    bool verifyAfterSend_ = false;
    QString caption_ = kProgramCaption;
    DeskSettings* desk_ = nullptr;
    ConfigContent saved_;        // what the file last opened or saved holds
    bool retrievedUnsaved_ = false;
};

}  // namespace dnp
