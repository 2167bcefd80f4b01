// A full send and a full retrieve against dnp-panel-sim pacing its line at a baud
// rate: the measured time of each, the wire time of all frames and replies at that
// baud, and their ratio (1.00 means no time lost beyond the line itself).
//
//   build/bench/dnp-bench-transfer [--baud 9600] [--runs 3]

#include "BenchSupport.h"
#include "app/Workspace.h"
#include "comm/Frames.h"
#include "files/ConfigFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <cstdio>

using namespace dnp;

namespace {

class QuietPrompts : public UnattendedPrompts {
public:
    QStringList messages;
    void information(const QString& text) override { messages << text; }
    void error(const QString& text) override { messages << text; }
    void showDifferences(const QString& heading, const ConfigDifferences&) override { messages << heading; }
};

double wireSeconds(frames::Command command, int baud)
{
    int bytes = 0;
    const ConfigImage image{};
    for (int m = 1; m <= kMessageCount; ++m) {
        const QByteArray frame = command == frames::Command::Write ? frames::composeWriteFrame(m, image, {})
                                                                   : frames::composeReadFrame(m, {});
        bytes += static_cast<int>(frame.size()) + frames::replySize(command, m, false);
    }
    return bytes * 10.0 / baud;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int baud = bench::intOption(args, "--baud", 9600);
    const int runs = bench::intOption(args, "--runs", 3);

    QProcess sim;
    sim.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"), {"--baud", QString::number(baud)});
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "dnp-panel-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    QuietPrompts prompts;
    Workspace workspace(prompts, {.iniPath = dir.filePath("DNP.ini")});
    if (const Result<void> link = workspace.overrideLink({device, baud, {}, {}}); !link) {
        std::fprintf(stderr, "%s\n", qPrintable(link.error().message));
        return 1;
    }
    // A full list: 240 words.
    ConfigState state;
    for (int t = 0; t < 240; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    workspace.adopt(configFileDataOf(state));

    // One send, retrieve, or send with its verify, from its start until its end.
    const auto measure = [&](const char* name, const std::function<void()>& start, double wire) {
        QEventLoop loop;
        bool failed = false;
        const auto connection =
            QObject::connect(&workspace, &Workspace::panelCommandEnded, &loop, [&](const PanelOutcome& outcome) {
                failed = !outcome.ok();
                loop.quit();
            });
        QElapsedTimer clock;
        clock.start();
        start();
        loop.exec();
        QObject::disconnect(connection);
        const double measured = clock.nsecsElapsed() / 1e9;
        if (failed) {
            std::fprintf(stderr, "%s failed: %s\n", name, qPrintable(prompts.messages.join(" / ")));
            return false;
        }
        std::printf("%-12s %9.3fs %9.3fs %7.3f\n", name, measured, wire, measured / wire);
        return true;
    };
    const double sendWire = wireSeconds(frames::Command::Write, baud);
    const double readWire = wireSeconds(frames::Command::Read, baud);

    std::printf("%-12s %10s %10s %7s\n", "transfer", "measured", "wire", "ratio");
    for (int run = 0; run < runs; ++run) {
        const bool ok = measure("send", [&] { workspace.send(kIndividualMappingItem, false); }, sendWire) &&
                        measure("retrieve", [&] { workspace.retrieve(); }, readWire) &&
                        measure("send+verify", [&] { workspace.send(kIndividualMappingItem, true); }, sendWire + readWire);
        if (!ok)
            return 1;
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
