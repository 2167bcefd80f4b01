#pragma once
// The document: the one configuration of a run and the file it came from. Every step on
// the configuration itself is one call here that returns Result and shows nothing: new,
// open, save, the report, the image a send carries, the point list's export and import, a
// comparison with a file, what a retrieve read put in place, and the steps of the class
// editor and of the order window that change the configuration. It emits changed()
// whenever what a window shows of it changed.

#include "classes/ClassEditor.h"
#include "comm/ConfigImage.h"
#include "comm/RetrieveMapping.h"
#include "comm/SortModel.h"
#include "files/ConfigFile.h"
#include "files/PointList.h"
#include "files/ReportHeader.h"
#include "model/ConfigCompare.h"
#include "model/ConfigState.h"
#include "model/Result.h"

#include <QDateTime>
#include <QObject>
#include <functional>

namespace dnp {

namespace test {
struct DocumentProbe;
}

inline const QString kProgramCaption = QStringLiteral("DNP Configure");
// A panel whose words are none a configuration gives (a send stopped short).
inline const QString kIncompleteConfigurationText = QStringLiteral("The panel holds an incomplete configuration.");

// The type an exported point list takes from its file's name: a Device Profile
// document for ".xml", CSV for ".csv" and for every other name.
PointListFormat exportFormatOf(const QString& path);

// A configuration file compared with the configuration, and how they differ: the rows of
// the table the window shows (differenceTableRow).
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

class ConfigDocument : public QObject {
    Q_OBJECT
public:
    explicit ConfigDocument(QObject* parent = nullptr);

    // The moment written into files and reports.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

    // --- what the windows see --------------------------------------------------------
    const ConfigState& state() const { return state_; }
    const ClassEditor& classEditor() const { return editor_; }
    const SortModel& order() const { return order_; }
    // The file the configuration came from or was last saved to; empty for a new one.
    const QString& filePath() const { return filePath_; }
    // Its name, "new.dnp" for a new configuration.
    QString fileName() const;
    // The caption, with " *" while the configuration holds unsaved changes.
    QString windowCaption() const;
    // True after any change of what a file keeps, and after a retrieve or an import was
    // applied; false after New, a completed Open and a completed Save.
    bool modified() const;
    // The file last written by Save or a report.
    const QString& lastSavedPath() const { return lastSavedPath_; }
    // The texts the Report Header dialog first shows, dated by the clock.
    ReportHeaderTexts firstReportHeaderTexts() const { return firstReportHeader(clock().date()); }
    // What the last retrieve read, mapped back.
    const RetrievedConfig& lastRetrieved() const { return lastRetrieved_; }

    // --- the configuration and its file ------------------------------------------------
    // New: the selections and the Class 0 order emptied, no file.
    void clear();
    // The whole file is read and checked first; only a file that reads completely
    // replaces the configuration. The error names the file and, for a bad file, the
    // line: "PATH, line 12: problem".
    Result<void> open(const QString& path);
    // The same with the file read already (a fleet reads each configuration once for all
    // the jobs that send or verify it).
    void open(const QString& path, const ConfigFileData& data);
    // The configuration file written safely; the caption and the saved state follow.
    Result<void> save(const QString& path);
    // The report header's texts become the configuration's.
    void takeReportHeader(const ReportHeaderTexts& header);
    // The configuration written again with the header texts given (dnpcfg resave).
    Result<void> resave(const QString& path, const ReportHeaderTexts& header);
    // The report, with the header texts given, which the configuration keeps; never
    // over the configuration's own file.
    Result<void> writeReport(const QString& path, const ReportHeaderTexts& header);
    // The image a send of the configuration carries in the mapping.
    Result<ConfigImage> image(Mapping mapping) const;
    // The same for a send: one of too many words says on a second line what to remove.
    Result<ConfigImage> imageToSend(Mapping mapping) const;
    // An image text file (as `dnpcfg image` prints it) mapped back and applied as a
    // completed retrieve is; what it held.
    Result<RetrievedConfig> decode(const QString& imagePath);
    // The point list as CSV or as a DNP3 Device Profile document (named after the
    // configuration file, dated by the clock), with the warning for the points it leaves
    // out; written safely to `path` (never over the configuration's own file).
    Result<PointListExport> exportPointList(PointListFormat format) const;
    Result<PointListExport> exportPointList(PointListFormat format, const QString& path) const;
    // The configuration (A) against the configuration file at `path` (B), with the rows
    // of the table; no differences when they are equal. A file that does not read gives
    // the error open would give.
    Result<ComparedFile> compareWithFile(const QString& path) const;
    // A point list (CSV or a DNP3 Device Profile document) read over the configuration:
    // the selections and the Class 0 order as the list gives them, the unsolicited
    // settings the list gives, the rest as the configuration has it; unsaved. A list that
    // cannot be taken changes nothing and fails with every problem under the line
    // "PATH:". Gives the warning to show ("" for none), its parts a line apart: a list
    // over the panel's words is taken as the class editor's OK takes such a selection
    // (overBudgetText), and its send is refused; then the unsolicited settings the list
    // does not give (ImportedPointList::warning).
    Result<QString> importPointList(const QString& listPath, PointListFormat format);
    // dnpcfg import: the same, then saved to `outPath`; an output that is the list itself
    // is refused before the list is read; nothing is written unless the whole list is taken.
    Result<QString> importInto(const QString& listPath, PointListFormat format, const QString& outPath);

    // --- what a retrieve read ----------------------------------------------------------
    // The order window shows a retrieve under way, then what it read.
    void retrieveStarted();
    void showRetrieved(const ConfigImage& image);
    // What the last retrieve read replaces the configuration, as a new configuration no
    // file holds yet, under `caption` ("Retrieved from COM 2 at 10:41").
    void applyRetrieved(const QString& caption);

    // --- the editors --------------------------------------------------------------------
    // The class editor's view (its clicks and groups), and the order window's lists.
    ClassEditor& classEditor() { return editor_; }
    SortModel& order() { return order_; }
    // OK in the class editor: the lists as shown applied to the edited class; the note to
    // show ("" for none: a Class 0 selection over the panel's words is applied and told),
    // or the refusal naming its field.
    Result<QString> applyClassEdit();
    // Clear, once the user has agreed.
    void clearClasses();
    // The order window's steps that change the configuration.
    void moveOrderItem(PointType type, int from, int to);
    void chooseMapping(Mapping mapping);
    // The order window closed: the mapping back to individual; closed without Send or OK,
    // the order it was shown with restored.
    void closeOrder(bool accepted);

signals:
    void changed();

private:
    friend struct test::DocumentProbe;
    // Where a configuration that replaces the open one comes from.
    struct ConfigOrigin {
        QString file;     // the file that holds it; empty: none yet
        QString caption;  // the window's caption
        bool saved;       // as a file holds it (Open, New); false: work not saved yet
    };
    // The one way the open configuration is replaced.
    void replaceConfiguration(const ConfigState& content, const ConfigOrigin& origin);
    ConfigState withFileData(const ConfigFileData& data) const;
    void markSaved();
    Result<void> writeOut(const QString& path, const QByteArray& bytes);
    // The caption: "DNP Configure" for a new configuration, the file's name after Open or Save.
    const QString& caption() const { return caption_; }

    ConfigState state_;
    ClassEditor editor_;
    SortModel order_;
    RetrievedConfig lastRetrieved_;
    QString filePath_;
    QString lastSavedPath_;
    QString caption_ = kProgramCaption;
    ConfigContent saved_;   // what the file last opened or saved holds
    bool unsaved_ = false;  // replaced by what no file holds yet (a retrieve, an import), until saved
};

}  // namespace dnp
