#include "app/gui/HelpWindow.h"
#include "app/gui/MainWindow.h"
#include "files/FileAccess.h"
#include "model/Version.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace {

// The last line of the top-level error handling: nothing thrown inside a handler
// crosses the event loop.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(dnp::activeDialog(), QStringLiteral("Error"), QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(dnp::activeDialog(), QStringLiteral("Error"),
                                  QStringLiteral("An unexpected error has occurred."));
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
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
