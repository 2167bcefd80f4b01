// A fleet of simulated panels on TCP driven by one dnpcfg: for each size, the time of a
// send+verify on every panel at once side by side with one send+verify on one panel
// alone, the peak memory of the dnpcfg that drove the fleet, and the CPU seconds of that
// dnpcfg and of the simulator apart; then the scheduling of many jobs on one device: the
// time of 4N jobs against N.
//
//   build/bench/dnp-bench-fleet [--sizes 64,256,1000] [--baud 9600] [--byte-by-byte] [--runs 5] [--jobs 4000]
//
// One simulator process serves every panel (dnp-panel-sim --panels, each panel on a port
// of its own pacing its line at the baud rate), and each panel gets one send+verify job
// of a full configuration (240 words), --parallel as many as there are panels. The
// simulated terminal servers forward each reply whole once its last byte has crossed the
// line (--whole-replies), as terminal servers that buffer frames do; --byte-by-byte
// sends every byte in a TCP segment of its own at its time, as the simulator does by
// default. Every job is recorded in the benchmark's own history. The scheduling jobs go
// to a loopback port that refuses every connection, so that each ends at once and the
// time is the fleet's own (--runs times, the median).

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
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace dnp;

namespace {

// The ratio a fleet of this many panels may take of one panel's time.
double targetRatio(int panels) { return panels <= 256 ? 1.3 : 1.5; }
constexpr double kTargetMegabytes = 150;
// Scheduling is linear: four times the jobs take at most four times as long.
constexpr double kTargetJobsRatio = 4.0;
constexpr double kKilobytesPerMegabyte = 1024;
constexpr int kSimulatorStartMs = 60000;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What a program run took: its wall time, its own CPU time and its peak memory.
struct ProgramCost {
    int status = -1;
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMegabytes = 0;
};

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs dnpcfg with `args`, its standard output and error into `log`, and waits for it.
std::optional<ProgramCost> runDnpcfg(const QStringList& args, const QString& log)
{
    std::vector<QByteArray> texts{QByteArrayLiteral(DNP_BIN_DIR "/dnpcfg")};
    for (const QString& arg : args)
        texts.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const QByteArray logName = log.toLocal8Bit();
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, logName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return std::nullopt;
    return ProgramCost{WIFEXITED(status) ? WEXITSTATUS(status) : -1, clock.nsecsElapsed() / 1e9,
                       seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss / kKilobytesPerMegabyte};
}

// The CPU seconds a running process has used so far.
double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // After the name in parentheses: the state, fields 4 to 13, then utime and stime.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> after = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kUtime = 11;  // utime is field 14, the 12th after the name
    if (after.size() <= kUtime + 1)
        return 0;
    return (after[kUtime].toDouble() + after[kUtime + 1].toDouble()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
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

// One send+verify job a panel, on the first `count` devices; the baud column makes the
// program's line run at the simulator's speed, whatever DNP.ini says.
QByteArray sendVerifyJobs(const QStringList& devices, int count, int baud)
{
    QByteArray jobs = "name,device,address,action,config,baud\n";
    for (int i = 0; i < count; ++i)
        jobs += QStringLiteral("panel%1,%2,,send+verify,full.dnp,%3\n").arg(i + 1).arg(devices[i]).arg(baud).toUtf8();
    return jobs;
}

QList<int> sizesOption(const QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--sizes"));
    QList<int> sizes;
    for (const QString& text : (at >= 0 && at + 1 < args.size() ? args[at + 1] : QStringLiteral("64,256,1000")).split(','))
        if (const int size = text.toInt(); size > 0)
            sizes << size;
    return sizes;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QList<int> sizes = sizesOption(args);
    const int baud = bench::intOption(args, "--baud", 9600);
    const int runs = bench::intOption(args, "--runs", 5);
    const int jobs = bench::intOption(args, "--jobs", 4000);
    if (sizes.isEmpty()) {
        std::fprintf(stderr, "--sizes takes panel counts such as 64,256,1000\n");
        return 2;
    }
    const int panels = *std::max_element(sizes.begin(), sizes.end());
    const bool byteByByte = args.contains(QStringLiteral("--byte-by-byte"));

    QProcess sim;
    sim.start(QStringLiteral(DNP_BIN_DIR "/dnp-panel-sim"),
              QStringList{"--tcp", "127.0.0.1:0", "--baud", QString::number(baud), "--panels", QString::number(panels)} +
                  (byteByByte ? QStringList{} : QStringList{"--whole-replies"}));
    QStringList devices;
    QElapsedTimer patience;
    patience.start();
    while (devices.size() < panels && patience.elapsed() < kSimulatorStartMs && sim.state() != QProcess::NotRunning) {
        if (!sim.canReadLine())
            sim.waitForReadyRead(100);
        while (sim.canReadLine())
            devices << QString::fromLocal8Bit(sim.readLine()).trimmed();
    }
    if (devices.size() < panels) {
        std::fprintf(stderr, "dnp-panel-sim did not start: %s\n", sim.readAllStandardError().constData());
        return 1;
    }

    QTemporaryDir dir;
    // A full list: 240 words.
    ConfigState state;
    for (int t = 0; t < 240; ++t) {
        state.setSelected(0, PointType::Ain, t, true);
        state.Class0Order[typeNumber(PointType::Ain)][t] = t;
    }
    if (!writeFile(dir.filePath("full.dnp"), composeConfigFile(state, QDateTime::currentDateTime())) ||
        !writeFile(dir.filePath("one.csv"), sendVerifyJobs(devices, 1, baud))) {
        std::fprintf(stderr, "cannot write the jobs files\n");
        return 1;
    }

    std::printf("send+verify of a full configuration on TCP at %d baud; one dnp-panel-sim serves %d panels, %s\n",
                baud, panels, byteByByte ? "byte by byte" : "each reply whole");
    std::printf("panels  one panel    fleet  ratio (target)  fleet peak  fleet CPU  simulator CPU  recorded\n");
    for (const int size : sizes) {
        const QString jobsFile = dir.filePath(QStringLiteral("fleet%1.csv").arg(size));
        if (!writeFile(jobsFile, sendVerifyJobs(devices, size, baud))) {
            std::fprintf(stderr, "cannot write the jobs files\n");
            return 1;
        }
        // Every job is recorded, as always: each size in a history of its own.
        const QString history = dir.filePath(QStringLiteral("history%1.sqlite").arg(size));
        const auto fleet = [&](const QString& file, int parallel) {
            return runDnpcfg({"fleet", file, "--parallel", QString::number(parallel), "-o",
                              dir.filePath("results.csv"), "--history", history},
                             dir.filePath("fleet.log"));
        };
        const auto alone = fleet(dir.filePath("one.csv"), 1);
        const double simBefore = cpuSecondsOf(sim.processId());
        const auto together = fleet(jobsFile, size);
        const double simCpu = cpuSecondsOf(sim.processId()) - simBefore;
        if (!alone || !together || alone->status != 0 || together->status != 0) {
            QFile log(dir.filePath("fleet.log"));
            log.open(QIODevice::ReadOnly);
            std::fprintf(stderr, "dnpcfg fleet of %d panels did not end with every job ok:\n%s", size,
                         log.readAll().right(2000).constData());
            return 1;
        }
        const Result<std::vector<HistoryRecord>> records = History(historyPlace(history, {})).records({});
        const std::size_t recorded = records ? records->size() : 0;
        const auto expected = static_cast<std::size_t>(size) + 1;
        std::printf("%6d  %7.3f s  %7.3f s  %5.2f (%.1f)  %7.1f MB  %7.2f s  %11.2f s  %zu of %zu%s\n", size,
                    alone->seconds, together->seconds, together->seconds / alone->seconds, targetRatio(size),
                    together->peakMegabytes, together->cpuSeconds, simCpu, recorded, expected,
                    recorded == expected ? "" : " (records were lost)");
    }
    std::printf("fleet peak memory target: %.0f MB or less at 1000 panels\n", kTargetMegabytes);

    // Scheduling: N and 4N jobs on one device, each refused at once.
    const RefusingPort refusing;
    const QString ini = dir.filePath("DNP.ini");
    // What is timed is the scheduling: these jobs are not recorded.
    if (!writeFile(ini, "[Comm]\nBaud=1\n[History]\nDatabase=off\n") ||
        !writeFile(dir.filePath("few.csv"), jobsOnOneDevice(jobs, refusing.device())) ||
        !writeFile(dir.filePath("many.csv"), jobsOnOneDevice(4 * jobs, refusing.device()))) {
        std::fprintf(stderr, "cannot write the jobs files\n");
        return 1;
    }
    // The wall time of each run and its CPU time, which other work on the machine
    // disturbs less.
    std::array<std::vector<double>, 2> seconds;
    std::array<std::vector<double>, 2> cpuSeconds;
    for (int run = 0; run < runs; ++run) {
        for (const std::size_t k : {0u, 1u}) {
            const char* file = k == 0 ? "few.csv" : "many.csv";
            const auto ran = runDnpcfg({"fleet", dir.filePath(file), "-o", dir.filePath("refused.csv"), "--ini", ini},
                                       dir.filePath("refused.log"));
            if (!ran || ran->status != 1) {
                std::fprintf(stderr, "dnpcfg fleet %s did not end with status 1\n", file);
                return 1;
            }
            seconds[k].push_back(ran->seconds);
            cpuSeconds[k].push_back(ran->cpuSeconds);
        }
    }
    std::printf("%6d jobs       %8.3f s   (CPU %.3f s) on one device, each refused\n", jobs, bench::median(seconds[0]),
                bench::median(cpuSeconds[0]));
    std::printf("%6d jobs       %8.3f s   (CPU %.3f s) ratio %.2f (target %.1f or less; CPU %.2f)\n", 4 * jobs,
                bench::median(seconds[1]), bench::median(cpuSeconds[1]),
                bench::median(seconds[1]) / bench::median(seconds[0]), kTargetJobsRatio,
                bench::median(cpuSeconds[1]) / bench::median(cpuSeconds[0]));

    sim.terminate();
    sim.waitForFinished(10000);
    return 0;
}
