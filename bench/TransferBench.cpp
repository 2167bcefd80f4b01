// A full send and a full retrieve against dnp-panel-sim pacing its line at a baud
// rate: the measured time of each, the wire time of all frames and replies at that
// baud, and their ratio (1.00 means no time lost beyond the line itself). With --tls, a
// send with its read-back over tcp:// and over tls:// on loopback instead, each against
// a simulator of its own, and the ratio of their median times (the TLS link's cost is
// its handshake, once a transfer).
//
//   build/bench/dnp-bench-transfer [--baud 9600] [--runs 3] [--tls]

#include "BenchSupport.h"
#include "app/ConfigDocument.h"
#include "app/PanelHistory.h"
#include "app/PanelSession.h"
#include "app/Settings.h"
#include "comm/Frames.h"
#include "comm/ReadPlan.h"
#include "files/ConfigFile.h"
#include "files/FileAccess.h"
#include "support/Certificates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <cstdio>

using namespace dnp;

namespace {

// A run's parts as dnpcfg sets them up, each command recorded in the history the settings
// name; the message of the last command.
struct Run {
    explicit Run(const QString& ini) : settings(ini), session(settings, questions, {ProgramKind::Dnpcfg}), history(settings)
    {
        history.listenTo(session);
    }
    UnattendedQuestions questions;
    Settings settings;
    ConfigDocument document;
    PanelSession session;
    PanelHistory history;
    QString message;
};

// The wire time of the frames of `plan` and their replies.
double wireSeconds(frames::Command command, int baud, const std::vector<int>& plan = everyMessage())
{
    int bytes = 0;
    const ConfigImage image{};
    for (const int m : plan) {
        const QByteArray frame = command == frames::Command::Write ? frames::composeWriteFrame(m, image, {})
                                                                   : frames::composeReadFrame(m, {});
        bytes += static_cast<int>(frame.size()) + frames::replySize(command, m, false);
    }
    return bytes * 10.0 / baud;
}

// A full list of 240 words, opened from a file in `dir`.
bool openFullList(ConfigDocument& document, const QTemporaryDir& dir)
{
    ConfigState state;
    for (int t = 0; t < 240; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    const QString file = dir.filePath("full.dnp");
    return writeFileSafely(file, composeConfigFile(state, QDateTime::currentDateTime())) && document.open(file);
}

// The seconds a panel command takes from its start until its end; nothing when it failed.
std::optional<double> timed(Run& run, const std::function<Result<void>()>& start)
{
    QEventLoop loop;
    bool failed = false;
    const auto connection = QObject::connect(&run.session, &PanelSession::commandEnded, &loop, [&](const PanelOutcome& o) {
        failed = !o.ok();
        run.message = o.message;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!start())
        return std::nullopt;
    loop.exec();
    QObject::disconnect(connection);
    if (failed)
        return std::nullopt;
    return clock.nsecsElapsed() / 1e9;
}

// A simulator on loopback (in TLS with `tls`); its device, or "" when it did not start.
QString startSim(QProcess& sim, int baud, const QStringList& tls)
{
    sim.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"),
              QStringList{"--tcp", "127.0.0.1:0", "--baud", QString::number(baud)} + tls);
    return sim.waitForReadyRead(10000) ? QString::fromLocal8Bit(sim.readLine()).trimmed() : QString();
}

int compareTls(int baud, int runs)
{
    QTemporaryDir dir;
    const test::Certificates certificates(dir.path());
    if (!certificates.made()) {
        std::fprintf(stderr, "openssl could not make the certificates\n");
        return 1;
    }
    const QString ini = dir.filePath("DNP.ini");
    // Each transfer is recorded, as always, in a history of the run's own.
    if (!writeFileSafely(ini, "[Comm]\nTlsCa=" + certificates.pem("ca").toUtf8() + "\n[History]\nDatabase=history.sqlite\n")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ini));
        return 1;
    }
    QProcess plainSim;
    QProcess tlsSim;
    const QString devices[] = {startSim(plainSim, baud, {}), startSim(tlsSim, baud, certificates.serve("server"))};
    std::vector<double> seconds[2];
    for (int run = 0; run < runs; ++run)
        for (int d = 0; d < 2; ++d) {
            Run bench(ini);
            (void)openFullList(bench.document, dir);
            bench.session.overrideLink({devices[d], baud, {}, {}});
            const std::optional<double> took =
                timed(bench, [&] { return bench.session.send(bench.document, Mapping::Individual, true); });
            if (!took) {
                std::fprintf(stderr, "send+verify on %s failed: %s\n", qPrintable(devices[d]), qPrintable(bench.message));
                return 1;
            }
            seconds[d].push_back(*took);
        }
    const double plain = bench::median(seconds[0]);
    const double secure = bench::median(seconds[1]);
    std::printf("send+verify at %d baud, median of %d: tcp:// %.3fs, tls:// %.3fs, ratio %.3f (target 1.05 or less)\n",
                baud, runs, plain, secure, secure / plain);
    for (QProcess* sim : {&plainSim, &tlsSim}) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int baud = bench::intOption(args, "--baud", 9600);
    const int runs = bench::intOption(args, "--runs", 3);
    if (args.contains("--tls"))
        return compareTls(baud, runs);

    QProcess sim;
    sim.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"), {"--baud", QString::number(baud)});
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "dnp-panel-sim did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QTemporaryDir dir;
    // Each transfer is recorded, as always, in a history of the run's own.
    if (!writeFileSafely(dir.filePath("DNP.ini"), "[History]\nDatabase=history.sqlite\n")) {
        std::fprintf(stderr, "cannot write the settings\n");
        return 1;
    }
    Run bench(dir.filePath("DNP.ini"));
    bench.session.overrideLink({device, baud, {}, {}});
    if (!openFullList(bench.document, dir)) {
        std::fprintf(stderr, "cannot write the configuration\n");
        return 1;
    }

    // One send, retrieve, or send with its verify, from its start until its end.
    const auto measure = [&](const char* name, const std::function<Result<void>()>& start, double wire) {
        const std::optional<double> measured = timed(bench, start);
        if (!measured) {
            std::fprintf(stderr, "%s failed: %s\n", name, qPrintable(bench.message));
            return false;
        }
        std::printf("%-12s %9.3fs %9.3fs %7.3f\n", name, *measured, wire, *measured / wire);
        return true;
    };
    const double sendWire = wireSeconds(frames::Command::Write, baud);
    const double readWire = wireSeconds(frames::Command::Read, baud);
    // A read-back reads no two blocks alike in a row.
    const double readBackWire =
        wireSeconds(frames::Command::Read, baud, readPlan(*bench.document.image(Mapping::Individual), MessageSet().set()));

    std::printf("%-12s %10s %10s %7s\n", "transfer", "measured", "wire", "ratio");
    for (int run = 0; run < runs; ++run) {
        const bool ok =
            measure("send", [&] { return bench.session.send(bench.document, Mapping::Individual, false); }, sendWire) &&
            measure("retrieve", [&] { return bench.session.retrieve(bench.document); }, readWire) &&
            measure("send+verify", [&] { return bench.session.send(bench.document, Mapping::Individual, true); },
                    sendWire + readBackWire);
        if (!ok)
            return 1;
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
