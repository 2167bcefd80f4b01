#include "app/DeskOverview.h"

#include "comm/SerialPort.h"
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

}  // namespace

DeskOverview deskOverview(const ConfigDocument& document, const TcomSetIni& settings,
                          const std::optional<PanelOutcome>& lastOutcome)
{
    const ConfigState& state = document.state();
    DeskOverview overview;
    for (PointType type : kAllPointTypes)
        for (int cls = 0; cls < 4; ++cls)
            for (int i = 0; i < pointCount(type); ++i)
                overview.points[typeNumber(type)][cls] += state.selected(cls, type, i) ? 1 : 0;
    for (int cls = 1; cls <= 3; ++cls) {
        const std::uint16_t events = state.eventsWord(cls);
        overview.unsolicited[0][cls - 1] = deadbandPercentText(state.deadband(cls)) + QStringLiteral(" %");
        overview.unsolicited[1][cls - 1] = QString::number(minimumEventsOf(events));
        overview.unsolicited[2][cls - 1] = QString::number(notificationDelayOf(events));
    }
    overview.words = document.order().words();
    overview.mapping = mappingText(document.order().mapping());
    overview.port = portText(settings);
    const QString& file = document.filePath();
    overview.folder = file.isEmpty() ? QStringLiteral("Not saved yet") : QDir::toNativeSeparators(QFileInfo(file).absolutePath());
    overview.lastTransfer = lastTransferText(lastOutcome);
    if (file.isEmpty() && overview.words.used == 0)
        overview.firstStep = QStringLiteral("Choose Class 0 points: Configuration > Class 0");
    return overview;
}

}  // namespace dnp
