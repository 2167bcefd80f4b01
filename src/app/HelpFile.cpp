#include "app/HelpFile.h"

#include <QDir>
#include <QFileInfo>

namespace dnp {

QString helpFilePath(const QString& currentDirectory)
{
    return currentDirectory + QDir::separator() + QStringLiteral("DNP_COMMCONFIG.hlp");
}

QString helpUnavailableText(const QString& helpFile, int topic)
{
    const QString what = topic == kHelpContents ? QStringLiteral("its contents")
                                                : QStringLiteral("topic %1").arg(topic);
    if (!QFileInfo::exists(helpFile))
        return QStringLiteral("The help file %1 was not found, so %2 cannot be shown.").arg(helpFile, what);
    return QStringLiteral("The help file %1 cannot be shown on this system (asked for %2).").arg(helpFile, what);
}

}  // namespace dnp
