// The workspace's point list export and its comparison with a configuration file.

#include "app/Workspace.h"

#include "files/ConfigFile.h"
#include "files/SafeWrite.h"

#include <QFileInfo>

namespace dnp {

FileDialogSettings exportDialogSettings()
{
    return {QStringLiteral("Export Point List"), QStringLiteral("*.csv"), QStringLiteral("csv"),
            QStringLiteral("CSV point list (*.csv)|*.csv|DNP3 Device Profile (*.xml)|*.xml"), {}};
}

FileDialogSettings compareDialogSettings()
{
    FileDialogSettings settings = openConfigDialogSettings();
    settings.title = QStringLiteral("Compare With File");
    return settings;
}

Result<PointListExport> Workspace::exportPointList(PointListFormat format) const
{
    const PointList list = pointList(state_);
    const Result<QByteArray> bytes = format == PointListFormat::Csv
                                         ? pointListCsv(list)
                                         : pointListXml(list, {fileName(), state_.ReportDescription, clock(), mappingText(kIndividualMappingItem)});
    if (!bytes)
        return bytes.error();
    return PointListExport{*bytes, unnumberedWarning(list.unnumbered)};
}

Result<PointListExport> Workspace::exportPointList(PointListFormat format, const QString& path) const
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

Result<ConfigDifferences> Workspace::compareWithFile(const QString& path) const
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    ConfigState other;
    applyConfigFileData(other, *data);
    return compareConfigurations(state_, other);
}

bool Workspace::exportWithDialog()
{
    // A file of another type is written as CSV.
    return saveWith(exportDialogSettings(), {}, [this](const QString& path) -> Result<void> {
        const Result<PointListExport> exported =
            exportPointList(pointListFormatForPath(path).value_or(PointListFormat::Csv), path);
        if (!exported)
            return exported.error();
        if (!exported->warning.isEmpty())
            prompts_.information(exported->warning);
        return {};
    });
}

std::optional<ComparedFile> Workspace::compareWithDialog()
{
    const std::optional<QString> path = chosenFile(compareDialogSettings(), false);
    if (!path)
        return std::nullopt;
    Result<ConfigDifferences> differences = compareWithFile(*path);
    if (!differences) {
        tellUnreadable(differences.error());
        return std::nullopt;
    }
    if (differences->empty()) {
        prompts_.information(sameConfigurationText(QFileInfo(*path).fileName()));
        return std::nullopt;
    }
    return ComparedFile{*path, std::move(differences).value()};
}

}  // namespace dnp
