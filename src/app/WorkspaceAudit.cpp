// The workspace's point list export and its comparison with a configuration file.

#include "app/Workspace.h"

#include "files/ConfigFile.h"
#include "files/FileAccess.h"

#include <QFileInfo>

namespace dnp {

PointListExport Workspace::exportPointList(PointListFormat format) const
{
    const PointList list = pointList(state_);
    const QByteArray bytes =
        format == PointListFormat::Csv
            ? pointListCsv(list)
            : pointListXml(list, {QFileInfo(state_.ConfigFileName).fileName(), state_.ReportDescription, clock()});
    return {bytes, unnumberedWarning(list.unnumbered)};
}

Result<PointListExport> Workspace::exportPointList(PointListFormat format, const QString& path) const
{
    PointListExport exported = exportPointList(format);
    if (const Result<void> written = writeFileSafely(path, exported.bytes); !written)
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

}  // namespace dnp
