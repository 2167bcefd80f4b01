// A fleet of simulated panels on TCP driven by one dnpcfg: the time of a send+verify on
// every panel at once against the time of one send+verify alone, and the peak memory of
// the dnpcfg that drove the fleet.
//
//   build/bench/dnp-bench-fleet [--panels 64] [--baud 9600] [--runs 3]
//
// The benchmark starts its own simulators on 127.0.0.1, each pacing its line at the baud
// rate, and gives each panel one send+verify job of a full configuration (240 words).

#include "BenchSupport.h"
#include "files/ConfigFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

using namespace dnp;

namespace {

constexpr double kTargetRatio = 1.3;
constexpr double kTargetMegabytes = 100;
constexpr int kPatienceMs = 600000;
constexpr double kKilobytesPerMegabyte = 1024;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs dnpcfg fleet on a jobs file: its time in seconds, or a negative number when any
// job failed (its lines shown).
double runFleet(const QString& jobs, const QString& results, int parallel)
{
    QProcess dnpcfg;
    QElapsedTimer clock;
    clock.start();
    dnpcfg.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                 {"fleet", jobs, "--parallel", QString::number(parallel), "-o", results});
    if (!dnpcfg.waitForFinished(kPatienceMs) || dnpcfg.exitStatus() != QProcess::NormalExit || dnpcfg.exitCode() != 0) {
        std::fprintf(stderr, "dnpcfg fleet %s did not succeed:\n%s", qPrintable(jobs),
                     dnpcfg.readAllStandardError().constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int panels = bench::intOption(args, "--panels", 64);
    const int baud = bench::intOption(args, "--baud", 9600);
    const int runs = bench::intOption(args, "--runs", 3);

    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList devices;
    for (int i = 0; i < panels; ++i) {
        auto sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"), {"--tcp", "127.0.0.1:0", "--baud", QString::number(baud)});
        if (!sim->waitForReadyRead(10000)) {
            std::fprintf(stderr, "dnp-panel-sim did not start\n");
            return 1;
        }
        devices << QString::fromLocal8Bit(sim->readLine()).trimmed();
        sims.push_back(std::move(sim));
    }

    QTemporaryDir dir;
    // A full list: 240 words.
    ConfigState state;
    for (int t = 0; t < 240; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    // The baud column: the program's line runs at the simulators' speed, whatever DNP.ini says.
    const QByteArray header = "name,device,address,action,config,baud\n";
    QByteArray all = header;
    for (int i = 0; i < panels; ++i)
        all += QStringLiteral("panel%1,%2,,send+verify,full.dnp,%3\n").arg(i + 1).arg(devices[i]).arg(baud).toUtf8();
    const QByteArray one = header + all.split('\n').at(1) + "\n";
    if (!writeFile(dir.filePath("full.dnp"), composeConfigFile(state, QDateTime::currentDateTime())) ||
        !writeFile(dir.filePath("one.csv"), one) || !writeFile(dir.filePath("all.csv"), all)) {
        std::fprintf(stderr, "cannot write the jobs files\n");
        return 1;
    }

    std::vector<double> single;
    std::vector<double> fleet;
    for (int run = 0; run < runs; ++run) {
        const double alone = runFleet(dir.filePath("one.csv"), dir.filePath("one-results.csv"), 1);
        const double together = runFleet(dir.filePath("all.csv"), dir.filePath("all-results.csv"), panels);
        if (alone < 0 || together < 0)
            return 1;
        single.push_back(alone);
        fleet.push_back(together);
    }
    // The simulators are still running: the largest child that has ended is a dnpcfg.
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    const double peakMegabytes = children.ru_maxrss / kKilobytesPerMegabyte;

    const double ratio = bench::median(fleet) / bench::median(single);
    std::printf("panels           %d on TCP at %d baud, --parallel %d, median of %d runs\n", panels, baud, panels, runs);
    std::printf("one send+verify  %8.3f s\n", bench::median(single));
    std::printf("fleet            %8.3f s   ratio %.2f (target %.2f or less)\n", bench::median(fleet), ratio,
                kTargetRatio);
    std::printf("peak memory      %8.1f MB  (target %.0f MB or less)\n", peakMegabytes, kTargetMegabytes);

    for (auto& sim : sims)
        sim->terminate();
    for (auto& sim : sims)
        sim->waitForFinished(3000);
    return 0;
}
