#include "app/ConfigDocument.h"

#include "comm/ImageText.h"
#include "files/FileAccess.h"
#include "files/PointListImport.h"
#include "files/Report.h"
#include "model/Regional.h"

#include <QFileInfo>

namespace dnp {
namespace {

const QString kNewFileName = QStringLiteral("new.dnp");

// The DNP point number(s) a point takes in a configuration's Class 0; empty when it has none.
QString numbersIn(const ConfigState& state, PointType type, int typeIndex)
{
    for (const DnpNumbering& n : dnpPointNumbers(state, type))
        if (n.typeIndex == typeIndex)
            return dnpNumberSpan(n);
    return {};
}

}  // namespace

PointListFormat exportFormatOf(const QString& path)
{
    return pointListFormatForPath(path).value_or(PointListFormat::Csv);
}

QStringList differenceTableRow(const ConfigDifference& difference)
{
    constexpr int kTypeColumn = 1;
    QStringList cells = differenceCells(difference);
    if (difference.type)
        cells[kTypeColumn] = pointListTypeName(*difference.type);
    return cells;
}

QStringList differenceTableRow(const ConfigDifference& difference, const ConfigState& a, const ConfigState& b)
{
    constexpr int kAColumn = 4;
    constexpr int kBColumn = 5;
    QStringList cells = differenceTableRow(difference);
    if (!difference.type)
        return cells;
    if (difference.kind == DifferenceKind::OnlyInA)
        cells[kAColumn] = numbersIn(a, *difference.type, difference.typeIndex);
    else if (difference.kind == DifferenceKind::OnlyInB)
        cells[kBColumn] = numbersIn(b, *difference.type, difference.typeIndex);
    return cells;
}

ConfigDocument::ConfigDocument(QObject* parent) : QObject(parent), editor_(state_), order_(state_)
{
    markSaved();
}

// --- unsaved changes -------------------------------------------------------------------

void ConfigDocument::markSaved()
{
    saved_ = state_.content();
    unsaved_ = false;
}

bool ConfigDocument::modified() const
{
    return unsaved_ || state_.content() != saved_;
}

QString ConfigDocument::windowCaption() const
{
    return modified() ? caption_ + QStringLiteral(" *") : caption_;
}

QString ConfigDocument::fileName() const
{
    return filePath_.isEmpty() ? kNewFileName : QFileInfo(filePath_).fileName();
}

// --- the configuration -------------------------------------------------------------

ConfigState ConfigDocument::withFileData(const ConfigFileData& data) const
{
    ConfigState next = state_;
    applyConfigFileData(next, data);
    return next;
}

// The one way the open configuration is replaced: by a file (kept by its absolute path,
// so that Save writes there whatever the current folder), a new one, an imported list or
// what a retrieve read. It takes the selections, the Class 0 order and the unsolicited
// settings of `content`.
void ConfigDocument::replaceConfiguration(const ConfigState& content, const ConfigOrigin& origin)
{
    state_.ClassSelection = content.ClassSelection;
    state_.Class0Order = content.Class0Order;
    state_.UnsolicitedSettings = content.UnsolicitedSettings;
    filePath_ = origin.file.isEmpty() ? QString() : QFileInfo(origin.file).absoluteFilePath();
    caption_ = origin.caption;
    if (origin.saved)
        markSaved();
    else
        unsaved_ = true;
    emit changed();
}

void ConfigDocument::clear()
{
    ConfigState cleared = state_;
    cleared.clearSelections();
    cleared.Class0Order = ConfigState().Class0Order;
    replaceConfiguration(cleared, {{}, kProgramCaption, true});
}

Result<void> ConfigDocument::open(const QString& path)
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    open(path, *data);
    return {};
}

void ConfigDocument::open(const QString& path, const ConfigFileData& data)
{
    replaceConfiguration(withFileData(data), {path, QFileInfo(path).fileName(), true});
}

Result<void> ConfigDocument::writeOut(const QString& path, const QByteArray& bytes)
{
    const Result<void> written = writeFileSafely(path, bytes);
    if (written)
        lastSavedPath_ = path;
    return written;
}

Result<void> ConfigDocument::save(const QString& path)
{
    const Result<void> written = writeOut(path, composeConfigFile(state_, clock()));
    if (written) {
        filePath_ = QFileInfo(path).absoluteFilePath();
        caption_ = QFileInfo(path).fileName();
        markSaved();
        emit changed();
    }
    return written;
}

void ConfigDocument::takeReportHeader(const ReportHeaderTexts& header)
{
    state_.ReportDescription = header.description;
    state_.ReportComment = header.comment;
}

Result<void> ConfigDocument::resave(const QString& path, const ReportHeaderTexts& header)
{
    takeReportHeader(header);
    return save(path);
}

Result<void> ConfigDocument::writeReport(const QString& path, const ReportHeaderTexts& header)
{
    // A report never replaces the configuration it reports.
    if (const Result<void> distinct = refuseSameFile(path, filePath_); !distinct)
        return distinct;
    takeReportHeader(header);
    return writeOut(path, composeReport(state_, clock()));
}

Result<ConfigImage> ConfigDocument::image(Mapping mapping) const
{
    const Result<BuiltImage> built = buildSendImage(state_, mapping);
    if (!built)
        return built.error();
    return built->image;
}

Result<ConfigImage> ConfigDocument::imageToSend(Mapping mapping) const
{
    const Result<ConfigImage> built = image(mapping);
    if (built)
        return built;
    QString refusal = built.error().message;
    if (const WordBudget words = order_.words(); words.over())
        refusal += QLatin1Char('\n') + words.removeText();
    return failure(refusal);
}

Result<RetrievedConfig> ConfigDocument::decode(const QString& imagePath)
{
    const Result<QByteArray> text = readInputFile(imagePath, kMaxImageTextBytes, QStringLiteral("an image text"));
    if (!text)
        return text.error();
    const Result<ConfigImage> image = parseImageText(*text);
    if (!image)
        return failure(imagePath + QStringLiteral(", ") + image.error().message);
    order_.showRetrieveMode();
    showRetrieved(*image);
    applyRetrieved(QStringLiteral("Decoded from %1").arg(QFileInfo(imagePath).fileName()));
    return lastRetrieved_;
}

// --- the point list ------------------------------------------------------------------

Result<PointListExport> ConfigDocument::exportPointList(PointListFormat format) const
{
    const PointList list = pointList(state_);
    const Result<QByteArray> bytes = format == PointListFormat::Csv
                                         ? pointListCsv(list)
                                         : pointListXml(list, {fileName(), state_.ReportDescription, clock(), mappingText(Mapping::Individual)});
    if (!bytes)
        return bytes.error();
    return PointListExport{*bytes, unnumberedWarning(list.unnumbered)};
}

Result<PointListExport> ConfigDocument::exportPointList(PointListFormat format, const QString& path) const
{
    // The point list never replaces the configuration it lists.
    if (const Result<void> distinct = refuseSameFile(path, filePath_); !distinct)
        return distinct.error();
    Result<PointListExport> exported = exportPointList(format);
    if (!exported)
        return exported;
    if (const Result<void> written = writeFileSafely(path, exported->bytes); !written)
        return written.error();
    return exported;
}

Result<ComparedFile> ConfigDocument::compareWithFile(const QString& path) const
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    ConfigState other;
    applyConfigFileData(other, *data);
    ComparedFile compared{path, compareConfigurations(state_, other)};
    for (const ConfigDifference& d : compared.differences)
        compared.rows << differenceTableRow(d, state_, other);
    return compared;
}

Result<QString> ConfigDocument::importPointList(const QString& listPath, PointListFormat format)
{
    const Result<ImportedPointList> imported = loadPointList(listPath, format, configFileDataOf(state_));
    if (!imported)
        return imported.error();
    replaceConfiguration(withFileData(imported->data), {filePath_, caption_, false});
    // Kept as the class editor keeps a Class 0 selection over the panel's words.
    const WordBudget words = wordBudget(state_);
    QStringList warnings;
    if (words.over())
        warnings << overBudgetText(words);
    if (!imported->warning.isEmpty())
        warnings << imported->warning;
    return warnings.join(QLatin1Char('\n'));
}

Result<QString> ConfigDocument::importInto(const QString& listPath, PointListFormat format, const QString& outPath)
{
    if (!refuseSameFile(outPath, listPath))
        return failure(QStringLiteral("%1 is the point list being read; choose another file.").arg(outPath));
    const Result<QString> imported = importPointList(listPath, format);
    if (!imported)
        return imported;
    if (const Result<void> saved = save(outPath); !saved)
        return saved.error();
    return imported;
}

// --- what a retrieve read ------------------------------------------------------------

void ConfigDocument::retrieveStarted()
{
    order_.retrieveStarted();
}

void ConfigDocument::showRetrieved(const ConfigImage& image)
{
    lastRetrieved_ = mapRetrievedImage(image);
    order_.showRetrieved(lastRetrieved_);
}

// A retrieved configuration replaces the current one: its selections, Class 0 order
// and unsolicited settings, as a new configuration that no file holds yet.
void ConfigDocument::applyRetrieved(const QString& caption)
{
    ConfigState next = state_;
    next.ClassSelection = lastRetrieved_.ClassSelection;
    next.Class0Order = lastRetrieved_.Class0Order;
    next.UnsolicitedSettings = lastRetrieved_.UnsolicitedSettings;
    replaceConfiguration(next, {{}, caption, false});
}

// --- the editors -----------------------------------------------------------------------

Result<QString> ConfigDocument::applyClassEdit()
{
    const Result<QString> applied = editor_.apply(editor_.view().shownClass);
    emit changed();
    return applied;
}

void ConfigDocument::clearClasses()
{
    editor_.clear();
    emit changed();
}

void ConfigDocument::moveOrderItem(PointType type, int from, int to)
{
    order_.move(type, from, to);
    emit changed();
}

void ConfigDocument::chooseMapping(Mapping mapping)
{
    order_.chooseMapping(mapping);
    emit changed();
}

void ConfigDocument::closeOrder(bool accepted)
{
    if (!accepted)
        order_.restoreShownOrder();
    order_.resetMapping();
    emit changed();
}

}  // namespace dnp
