#include "app/gui/Application.h"
#include "app/gui/MainWindow.h"
#include "files/FileAccess.h"
#include "model/Version.h"

int main(int argc, char** argv)
{
    dnp::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DNP Configure"));
    QApplication::setApplicationVersion(QString::fromLatin1(dnp::kVersion));
    dnp::TDNPCfgMain mainWindow;
    mainWindow.show();
    // dnp-configure FILE.dnp: the file is opened as Open would (Qt has taken its own
    // options out of argv by now).
    if (argc > 1)
        mainWindow.openAtStart(dnp::decodeFileName(argv[1]));
    return app.exec();
}
