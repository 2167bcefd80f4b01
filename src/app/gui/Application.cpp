#include "app/gui/Application.h"

#include "model/Failure.h"
#include "app/gui/HelpWindow.h"

#include <QMessageBox>

namespace dnp {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    tellFailure = [](const QString& text) { QMessageBox::critical(activeDialog(), QStringLiteral("Error"), text); };
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        tellFailure(unexpectedFailureText(std::current_exception()));
    }
    return false;
}

}  // namespace dnp
