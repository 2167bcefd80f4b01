#pragma once
// The desktop program's application object: the one place where a failure nobody
// expected (a programming error thrown inside any handler) is caught. The action it
// broke off ends there, its text is told, and the program goes on.

#include <QApplication>
#include <functional>

namespace dnp {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    // How the failure is told: by default an error box over the active window.
    std::function<void(const QString& text)> tellFailure;

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace dnp
