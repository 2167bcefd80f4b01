// A fleet of simulated panels on TCP driven by one dnpcfg: the time of a send+verify on
// every panel at once against the time of one send+verify alone, and the peak memory of
// the dnpcfg that drove the fleet; then the scheduling of many jobs on one device: the
// time of 4N jobs against N.
//
//   build/bench/dnp-bench-fleet [--panels 64] [--baud 9600] [--runs 3] [--jobs 4000]
//
// The benchmark starts its own simulators on 127.0.0.1, each pacing its line at the baud
// rate, and gives each panel one send+verify job of a full configuration (240 words).
// The jobs of one device go to a loopback port that refuses every connection, so that
// each ends at once and the time is the fleet's own.

#include "BenchSupport.h"
#include "app/Fleet.h"
#include "history/HistoryStore.h"
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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace dnp;

namespace {

constexpr double kTargetRatio = 1.3;
// Scheduling is linear: four times the jobs take at most four times as long.
constexpr double kTargetJobsRatio = 4.0;
constexpr double kTargetMegabytes = 100;
constexpr int kPatienceMs = 600000;
constexpr double kKilobytesPerMegabyte = 1024;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs dnpcfg fleet on a jobs file: its time in seconds, or a negative number when it
// did not end with `status` (its lines shown).
double runFleet(const QString& jobs, const QString& results, int parallel, const QStringList& more = {},
                int status = 0)
{
    QProcess dnpcfg;
    QElapsedTimer clock;
    clock.start();
    dnpcfg.start(QStringLiteral(DNP_BIN_DIR "/dnpcfg"),
                 QStringList{"fleet", jobs, "--parallel", QString::number(parallel), "-o", results} + more);
    if (!dnpcfg.waitForFinished(kPatienceMs) || dnpcfg.exitStatus() != QProcess::NormalExit ||
        dnpcfg.exitCode() != status) {
        std::fprintf(stderr, "dnpcfg fleet %s did not end with status %d:\n%s", qPrintable(jobs), status,
                     dnpcfg.readAllStandardError().right(2000).constData());
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// A loopback port bound but not listening: every connection to it is refused at once.
class RefusingPort {
public:
    RefusingPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    QString device() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

// `count` send jobs on one device whose connection is refused; all fail, at once.
QByteArray jobsOnOneDevice(int count, const QString& device)
{
    QByteArray jobs = "name,device,address,action,config\n";
    for (int i = 0; i < count; ++i)
        jobs += QStringLiteral("job%1,%2,,send,full.dnp\n").arg(i).arg(device).toUtf8();
    return jobs;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int panels = bench::intOption(args, "--panels", 64);
    const int baud = bench::intOption(args, "--baud", 9600);
    const int runs = bench::intOption(args, "--runs", 3);
    const int jobs = bench::intOption(args, "--jobs", 4000);

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

    // Every job is recorded, as always, in a history of the run's own.
    const QString history = dir.filePath("history.sqlite");
    const QStringList recorded = {"--history", history};
    std::vector<double> single;
    std::vector<double> fleet;
    for (int run = 0; run < runs; ++run) {
        const double alone = runFleet(dir.filePath("one.csv"), dir.filePath("one-results.csv"), 1, recorded);
        const double together = runFleet(dir.filePath("all.csv"), dir.filePath("all-results.csv"), panels, recorded);
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
    const Result<std::vector<HistoryRecord>> records = History(historyPlace(history, {})).records({});
    const std::size_t expected = static_cast<std::size_t>(runs) * static_cast<std::size_t>(panels + 1);
    std::printf("history          %zu of %zu jobs recorded%s\n", records ? records->size() : 0, expected,
                records && records->size() == expected ? "" : "  (records were lost)");

    // Scheduling: N and 4N jobs on one device, each refused at once.
    const RefusingPort refusing;
    const QString ini = dir.filePath("DNP.ini");
    // What is timed is the scheduling: these jobs are not recorded.
    if (!writeFile(ini, "[Comm]\nBaud=1\n[History]\nDatabase=off\n") || !writeFile(dir.filePath("few.csv"), jobsOnOneDevice(jobs, refusing.device())) ||
        !writeFile(dir.filePath("many.csv"), jobsOnOneDevice(4 * jobs, refusing.device()))) {
        std::fprintf(stderr, "cannot write the jobs files\n");
        return 1;
    }
    std::vector<double> few;
    std::vector<double> many;
    for (int run = 0; run < runs; ++run) {
        few.push_back(runFleet(dir.filePath("few.csv"), dir.filePath("few-results.csv"), kDefaultParallel, {"--ini", ini}, 1));
        many.push_back(runFleet(dir.filePath("many.csv"), dir.filePath("many-results.csv"), kDefaultParallel, {"--ini", ini}, 1));
        if (few.back() < 0 || many.back() < 0)
            return 1;
    }
    std::printf("%6d jobs       %8.3f s   on one device, each refused\n", jobs, bench::median(few));
    std::printf("%6d jobs       %8.3f s   ratio %.2f (target %.1f or less)\n", 4 * jobs, bench::median(many),
                bench::median(many) / bench::median(few), kTargetJobsRatio);

    for (auto& sim : sims)
        sim->terminate();
    for (auto& sim : sims)
        sim->waitForFinished(3000);
    return 0;
}
