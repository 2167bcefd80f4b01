// The workspace's point list export, its comparison with a configuration file, and the
// overview the main window shows.

#include "app/Workspace.h"

#include "comm/SerialPort.h"
#include "files/ConfigFile.h"
#include "files/FileAccess.h"
#include "model/Regional.h"

#include <QDir>
#include <QFileInfo>

namespace dnp {
namespace {

// "COM 1 (/dev/ttyS0), 9600 baud, even parity, address 5"; "None chosen".
QString portText(TcomSetIni settings)
{
    settings.mapIntoRange();
    if (settings.ComPort < 1)
        return QStringLiteral("None chosen");
    QString text = QStringLiteral("COM %1 (%2), %3 baud")
                       .arg(settings.ComPort)
                       .arg(portDeviceName(settings.ComPort, settings.portDevices()))
                       .arg(settings.baudRate());
    if (settings.Parity != 0)
        text += QStringLiteral(", even parity");
    if (settings.Addressing)
        text += QStringLiteral(", address %1").arg(settings.Address) +
                (isAddress(settings.Address) ? QString() : QStringLiteral(" (not from 0 to 255)"));
    return text;
}

// The DNP point number(s) a point takes in a configuration's Class 0; empty when it has none.
QString numbersIn(const ConfigState& state, PointType type, int typeIndex)
{
    for (const DnpNumbering& n : dnpPointNumbers(state, type))
        if (n.typeIndex == typeIndex)
            return dnpNumberSpan(n);
    return {};
}

}  // namespace

FileDialogSettings exportDialogSettings(const QString& configurationName)
{
    return {QStringLiteral("Export Point List"), QFileInfo(configurationName).completeBaseName() + QStringLiteral(".csv"),
            QStringLiteral("csv"), kPointListFilter, {}};
}

FileDialogSettings compareDialogSettings()
{
    FileDialogSettings settings = openConfigDialogSettings();
    settings.title = QStringLiteral("Compare With File");
    return settings;
}

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

PortsView Workspace::ports() const
{
    return portsView(settings().portDevices());
}

DeskOverview Workspace::overview() const
{
    DeskOverview overview;
    for (PointType type : kAllPointTypes)
        for (int cls = 0; cls < 4; ++cls)
            for (int i = 0; i < pointCount(type); ++i)
                overview.points[typeNumber(type)][cls] += state_.selected(cls, type, i) ? 1 : 0;
    for (int cls = 1; cls <= 3; ++cls) {
        const std::uint16_t events = state_.eventsWord(cls);
        overview.unsolicited[0][cls - 1] = deadbandPercentText(state_.deadband(cls)) + QStringLiteral(" %");
        overview.unsolicited[1][cls - 1] = QString::number(minimumEventsOf(events));
        overview.unsolicited[2][cls - 1] = QString::number(notificationDelayOf(events));
    }
    overview.words = order_.words();
    overview.mapping = mappingText(order_.mapping());
    overview.port = portText(settings());
    overview.folder = filePath_.isEmpty() ? QStringLiteral("Not saved yet")
                                          : QDir::toNativeSeparators(QFileInfo(filePath_).absolutePath());
    overview.lastTransfer = lastTransferText(lastOutcome_);
    if (filePath_.isEmpty() && overview.words.used == 0)
        overview.firstStep = QStringLiteral("Choose Class 0 points: Configuration > Class 0");
    return overview;
}

Result<PointListExport> Workspace::exportPointList(PointListFormat format) const
{
    const PointList list = pointList(state_);
    const Result<QByteArray> bytes = format == PointListFormat::Csv
                                         ? pointListCsv(list)
                                         : pointListXml(list, {fileName(), state_.ReportDescription, clock(), mappingText(Mapping::Individual)});
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

Result<ConfigState> Workspace::readConfiguration(const QString& path) const
{
    const Result<ConfigFileData> data = loadConfigFile(path);
    if (!data)
        return data.error();
    ConfigState state;
    applyConfigFileData(state, *data);
    return state;
}

Result<ConfigDifferences> Workspace::compareWithFile(const QString& path) const
{
    const Result<ConfigState> other = readConfiguration(path);
    if (!other)
        return other.error();
    return compareConfigurations(state_, *other);
}

bool Workspace::exportWithDialog()
{
    return saveWith(exportDialogSettings(fileName()), {}, [this](const QString& path) -> Result<void> {
        const Result<PointListExport> exported = exportPointList(exportFormatOf(path), path);
        if (!exported)
            return exported.error();
        if (!exported->warning.isEmpty())
            prompts_.information(exported->warning);
        return {};
    }, QStringLiteral("Exported the point list to %1"));
}

std::optional<ComparedFile> Workspace::compareWithDialog()
{
    const std::optional<QString> path = chosenFile(compareDialogSettings(), false);
    if (!path)
        return std::nullopt;
    const Result<ConfigState> other = readConfiguration(*path);
    if (!other) {
        tellUnreadable(other.error(), kCannotReadText);
        return std::nullopt;
    }
    ComparedFile compared{*path, compareConfigurations(state_, *other)};
    if (compared.differences.empty()) {
        prompts_.information(sameConfigurationText(QFileInfo(*path).fileName()));
        return std::nullopt;
    }
    for (const ConfigDifference& d : compared.differences)
        compared.rows << differenceTableRow(d, state_, *other);
    return compared;
}

}  // namespace dnp
