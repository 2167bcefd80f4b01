// The history on SQLite: what recording adds to a transfer, and how fast a large history
// answers.
//
//   build/bench/dnp-bench-history [--records 1000000] [--devices 2000] [--runs 20]
//
// First the time of one record as a transfer's end writes it: in a store already open
// (the desk, a fleet) and in one opened for it (each dnpcfg command). Then the store is
// filled with --records records spread over --devices devices, and the listing
// `dnpcfg history --device D --limit 50` asks for is timed, as is --panels (what each
// panel holds is kept per panel as the records are written). The filled records carry a
// one-line trace (a full send's is some 5 KB: a million of them would take 5 GB of disk
// without changing what the indexes do).

#include "BenchSupport.h"
#include "app/PanelRecord.h"
#include "history/HistoryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace dnp;

namespace {

constexpr double kRecordTargetMs = 20;
constexpr double kListingTargetMs = 200;
constexpr int kBatch = 20000;

HistoryRecord fillRecord(int i, int devices)
{
    const int device = i % devices;
    const QString time = QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC).addSecs(i * 60).toString(Qt::ISODate);
    return {time,
            QStringLiteral("ann"),
            QStringLiteral("desk7"),
            QStringLiteral("fleet"),
            QStringLiteral("tcp://10.%1.%2.1:4001").arg(device / 256).arg(device % 256),
            QString(),
            i % 3 == 0 ? QStringLiteral("verify") : QStringLiteral("send"),
            i % 7 == 0 ? QStringLiteral("incomplete") : QStringLiteral("ok"),
            QStringLiteral("/srv/dnp/feeder%1.dnp").arg(device),
            imageSha256(ConfigImage{}),
            imageSha256(ConfigImage{}),
            0,
            1.7,
            QStringLiteral("Sending communication status: OK.. The panel holds the configuration that was sent."),
            QStringLiteral("Line trace of the send on tcp://10.0.0.1:4001 at 9600 baud:")};
}

double msSince(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int total = bench::intOption(args, "--records", 1000000);
    const int devices = std::max(1, bench::intOption(args, "--devices", 2000));
    const int runs = std::max(1, bench::intOption(args, "--runs", 20));
    QTemporaryDir dir;
    const Result<HistoryPlace> place = historyPlace(dir.filePath("history.sqlite"), {});

    // One record as a command's end writes it.
    std::vector<double> open;
    std::vector<double> fresh;
    History kept(place);
    if (const Result<void> made = kept.check(); !made) {
        std::fprintf(stderr, "%s\n", qPrintable(made.error().message));
        return 1;
    }
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        if (!kept.record(fillRecord(run, devices)))
            return 1;
        open.push_back(msSince(clock));
        clock.start();
        if (!History(place).record(fillRecord(run, devices)))
            return 1;
        fresh.push_back(msSince(clock));
    }
    std::printf("one record, store open          %8.2f ms  (target %.0f ms or less)\n", bench::median(open),
                kRecordTargetMs);
    std::printf("one record, store opened for it %8.2f ms  (target %.0f ms or less)\n", bench::median(fresh),
                kRecordTargetMs);

    // The store filled, in batches of one transaction each.
    QElapsedTimer filling;
    filling.start();
    std::vector<HistoryRecord> batch;
    for (int i = 2 * runs; i < total; ++i) {
        batch.push_back(fillRecord(i, devices));
        if (static_cast<int>(batch.size()) == kBatch || i + 1 == total) {
            if (const Result<void> written = kept.record(batch); !written) {
                std::fprintf(stderr, "%s\n", qPrintable(written.error().message));
                return 1;
            }
            batch.clear();
        }
    }
    std::printf("filled                          %8d records on %d devices in %.1f s\n", total, devices,
                filling.nsecsElapsed() / 1e9);

    // history --device D --limit 50, as dnpcfg runs it: the store opened, then asked.
    std::vector<double> listing;
    for (int run = 0; run < runs; ++run) {
        const QString device = fillRecord(run * 7919, devices).device;
        QElapsedTimer clock;
        clock.start();
        const Result<std::vector<HistoryRecord>> records = History(place).records({.device = device, .limit = 50});
        listing.push_back(msSince(clock));
        if (!records || records->size() != std::min<std::size_t>(50, static_cast<std::size_t>(total / devices))) {
            std::fprintf(stderr, "the listing of %s came back wrong\n", qPrintable(device));
            return 1;
        }
    }
    std::printf("history --device D --limit 50   %8.2f ms  (target %.0f ms or less)\n", bench::median(listing),
                kListingTargetMs);
    // history --panels, as dnpcfg runs it.
    std::vector<double> panelsTimes;
    std::size_t panelCount = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const Result<std::vector<PanelHolding>> panels = History(place).panels();
        panelsTimes.push_back(msSince(clock));
        panelCount = panels ? panels->size() : 0;
    }
    std::printf("history --panels                %8.2f ms  (%zu panels; target %.0f ms or less)\n",
                bench::median(panelsTimes), panelCount, kListingTargetMs);
    // history --check: every record's SHA-256 again, once.
    QElapsedTimer walk;
    walk.start();
    const Result<ChainCheck> chain = History(place).checkChain();
    std::printf("history --check                 %8.1f s   (%s)\n", walk.nsecsElapsed() / 1e9,
                qPrintable(chain ? chainCheckText(*chain) : chain.error().message));
    return panelCount == static_cast<std::size_t>(std::min(total, devices)) ? 0 : 1;
}
