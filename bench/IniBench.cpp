// Loading a DNP.ini whose [Comm] section holds 100 000 keys (under 1 MB): the time of
// each load and the median (the target is 50 ms or less).
//
//   build/bench/dnp-bench-ini [--keys 100000] [--runs 5]

#include "BenchSupport.h"
#include "comm/CommSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int keys = dnp::bench::intOption(args, "--keys", 100000);
    const int runs = std::max(1, dnp::bench::intOption(args, "--runs", 5));

    QTemporaryDir dir;
    const QString path = dir.filePath("DNP.ini");
    QByteArray file = "[Comm]\n";
    for (int k = 0; k < keys; ++k)
        file += "K" + QByteArray::number(k) + "=1\n";
    file += "Address=7\n";
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    out.close();

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
    return 0;
}
