// The main window's start-up against a bare Qt main window: each is started as a
// process of its own (this program, in one of two roles) and timed from its start
// until its window has been painted on the screen, which the child tells on its
// standard output (what it does after that, closing down, is not timed). The bare
// window shows one line of text, as every window a user can read does: Qt sets up its
// fonts for the first text it lays out (most of a start-up), and that belongs to both.
// The ratio is the program's time over the bare window's (the target is 1.2 or less).
//
//   build/bench/dnp-bench-startup [--runs 10]
// Runs on the display the environment names (QT_QPA_PLATFORM=offscreen when there is none).

#include "BenchSupport.h"
#include "app/gui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr char kPaintedLine[] = "painted\n";

// Tells once the window it watches has been painted, and quits.
class PaintWatch : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !told_) {
            told_ = true;
            std::fputs(kPaintedLine, stdout);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool told_ = false;
};

// The child: shows its window, and exits as soon as the window has been painted.
int showAndQuit(bool program)
{
    std::unique_ptr<QMainWindow> window;
    if (program) {
        window = std::make_unique<dnp::TDNPCfgMain>();
    } else {
        window = std::make_unique<QMainWindow>();
        window->setCentralWidget(new QLabel(QStringLiteral("DNP Configure")));
    }
    PaintWatch watch;
    window->installEventFilter(&watch);
    window->show();
    return QApplication::exec();
}

// Milliseconds from starting a child in `role` until it told that its window has
// been painted.
double timeChild(const QString& role, const QString& folder)
{
    constexpr int kPatienceMs = 30000;
    QProcess child;
    child.setWorkingDirectory(folder);
    // The program's remembered settings are the run's own, not the user's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {role});
    while (!child.canReadLine() && child.waitForReadyRead(kPatienceMs)) {
    }
    const double painted = clock.nsecsElapsed() / 1e6;
    child.waitForFinished(kPatienceMs);
    return painted;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && (args[1] == "--bare" || args[1] == "--program"))
        return showAndQuit(args[1] == "--program");

    const int runs = std::max(1, dnp::bench::intOption(args, "--runs", 10));
    QTemporaryDir folder;
    std::vector<double> bare;
    std::vector<double> program;
    for (int run = 0; run < runs; ++run) {
        bare.push_back(timeChild("--bare", folder.path()));
        program.push_back(timeChild("--program", folder.path()));
    }
    const double b = dnp::bench::median(bare);
    const double p = dnp::bench::median(program);
    std::printf("%-14s %10s\n", "window", "median");
    std::printf("%-14s %8.1fms\n", "bare Qt", b);
    std::printf("%-14s %8.1fms\n", "DNP Configure", p);
    std::printf("ratio %.2f (target 1.20 or less)\n", p / b);
    return 0;
}
