// Loading a DNP.ini whose [Comm] section holds 100 000 keys (under 1 MB): the median
// load time (the target is 50 ms or less). Saving a DNP.ini whose [Ports] section maps
// 80 000 COM numbers, every one written back: the median save time (the target is
// 200 ms or less).
//
//   build/bench/dnp-bench-ini [--keys 100000] [--ports 80000] [--runs 5]

#include "BenchSupport.h"
#include "comm/CommSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// The median time of saving settings whose [Ports] section maps `ports` COM numbers.
int measureSave(const QString& path, int ports, int runs)
{
    // Short device names: 80 000 lines stay within the 1 MiB a DNP.ini may have.
    QByteArray file = "[Comm]\nAddress=7\n[Ports]\n";
    for (int n = 1; n <= ports; ++n)
        file += "COM" + QByteArray::number(n) + "=d\n";
    if (!writeFile(path, file))
        return 1;
    dnp::TcomSetIni settings(path);
    if (settings.portDevices().size() != ports) {
        std::fprintf(stderr, "the ports did not read\n");
        return 1;
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const dnp::Result<void> saved = settings.Save();
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (!saved) {
            std::fprintf(stderr, "%s\n", qPrintable(saved.error().message));
            return 1;
        }
    }
    std::printf("DNP.ini with %d [Ports] entries (%lld bytes): median save %.1f ms (target 200 ms or less)\n", ports,
                static_cast<long long>(file.size()), dnp::bench::median(times));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int keys = dnp::bench::intOption(args, "--keys", 100000);
    const int ports = dnp::bench::intOption(args, "--ports", 80000);
    const int runs = std::max(1, dnp::bench::intOption(args, "--runs", 5));

    QTemporaryDir dir;
    const QString path = dir.filePath("DNP.ini");
    QByteArray file = "[Comm]\n";
    for (int k = 0; k < keys; ++k)
        file += "K" + QByteArray::number(k) + "=1\n";
    file += "Address=7\n";
    if (!writeFile(path, file))
        return 1;

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const dnp::TcomSetIni settings(path);
        times.push_back(clock.nsecsElapsed() / 1e6);
        if (settings.Address != 7) {
            std::fprintf(stderr, "the settings did not read\n");
            return 1;
        }
    }
    std::printf("DNP.ini of %d keys (%lld bytes): median load %.1f ms (target 50 ms or less)\n", keys,
                static_cast<long long>(file.size()), dnp::bench::median(times));
    return measureSave(dir.filePath("ports.ini"), ports, runs);
}
