// dnpcfg history: the recorded panel commands, newest first, as a table or as CSV, and
// with --panels what each panel holds by the history (a drift check: exit 1 when a
// panel's last read differs from what was last sent to it). Both through the workspace.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"

namespace dnp::cli {
namespace {

const QStringList kFilterOptions = {"--device", "--address", "--action", "--outcome", "--since", "--limit", "--format"};

// The filter the options give; a problem for a value that is none of the allowed ones.
Result<HistoryFilter> historyFilter(const ParsedArgs& args)
{
    HistoryFilter filter;
    filter.device = args.value("--device");
    if (args.has("--address")) {
        const Result<std::int32_t> address = parseAddress(args.value("--address"));
        if (!address)
            return failure(QStringLiteral("--address ") + address.error().message);
        filter.address = QString::number(*address);
    }
    const auto oneOf = [&args](const char* option, const QStringList& names, QString& into) -> Result<void> {
        into = args.value(QLatin1String(option));
        if (args.has(QLatin1String(option)) && !names.contains(into))
            return failure(QStringLiteral("%1 takes %2").arg(QLatin1String(option), names.join(QStringLiteral(", "))));
        return {};
    };
    if (const Result<void> action = oneOf("--action", panelActionNames(), filter.action); !action)
        return action.error();
    if (const Result<void> outcome = oneOf("--outcome", panelResultNames(), filter.outcome); !outcome)
        return outcome.error();
    if (args.has("--since")) {
        filter.since = QDate::fromString(args.value("--since"), QStringLiteral("yyyy-MM-dd"));
        if (!filter.since.isValid())
            return failure(QStringLiteral("--since takes a day as YYYY-MM-DD"));
    }
    if (args.has("--limit")) {
        bool ok = false;
        filter.limit = args.value("--limit").toInt(&ok, 10);
        if (!ok || filter.limit < 1)
            return failure(QStringLiteral("--limit takes a whole number from 1"));
    }
    return filter;
}

// The records as aligned columns, the message last; with `trace` each record's line
// trace under it.
void printTable(const std::vector<HistoryRecord>& records, bool trace, Io io)
{
    const QStringList headings = {"time", "user", "host", "program", "device", "address", "action", "outcome", "seconds",
                                  "message"};
    const auto cells = [](const HistoryRecord& r) {
        return QStringList{r.time,   r.user,    r.host,    r.program,
                           r.device, r.address, r.action,  r.outcome,
                           secondsText(r.seconds), r.message};
    };
    std::vector<qsizetype> widths;
    for (const QString& heading : headings)
        widths.push_back(heading.size());
    for (const HistoryRecord& record : records) {
        const QStringList row = cells(record);
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], row[c].size());
    }
    const auto printRow = [&](const QStringList& row) {
        QString line;
        for (qsizetype c = 0; c + 1 < row.size(); ++c)
            line += row[c].leftJustified(widths[static_cast<std::size_t>(c)]) + QStringLiteral("  ");
        io.out << line << row.back() << "\n";
    };
    printRow(headings);
    for (const HistoryRecord& record : records) {
        printRow(cells(record));
        if (trace)
            for (const QString& line : record.trace.split(QLatin1Char('\n')))
                io.out << "    " << line << "\n";
    }
}

}  // namespace

int runHistory(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args =
        commandArgs(argv, 0, kFilterOptions + QStringList{"--ini", "--history"}, {"--panels", "--trace"});
    if (!args)
        return usageError(io, "history", args.error().message);
    const QString format = args->value("--format", QStringLiteral("table"));
    if (format != QLatin1String("table") && format != QLatin1String("csv"))
        return usageError(io, "history", QStringLiteral("--format takes table or csv"));
    const Result<HistoryFilter> filter = historyFilter(*args);
    if (!filter)
        return usageError(io, "history", filter.error().message);
    if (args->has("--panels"))
        for (const QString& option : kFilterOptions + QStringList{"--trace"})
            if (args->has(option))
                return usageError(io, "history", QStringLiteral("--panels lists every panel: it takes no %1").arg(option));

    Program program(io, args->value("--ini"));
    Workspace& ws = program.workspace;
    if (args->has("--ini"))
        if (const int failed = program.status(ws.readSettings()))
            return failed;
    if (args->has("--history"))
        ws.overrideHistory(args->value("--history"));

    if (args->has("--panels")) {
        const Result<std::vector<PanelHolding>> holdings = ws.panelHoldings();
        if (!holdings)
            return program.fail(holdings.error().message);
        io.out << QString::fromUtf8(panelsCsv(*holdings));
        const bool drifted = std::any_of(holdings->begin(), holdings->end(),
                                         [](const PanelHolding& h) { return h.state == kHoldingDiffers; });
        return drifted ? kExitFailure : kExitOk;
    }
    const Result<std::vector<HistoryRecord>> records = ws.historyRecords(*filter);
    if (!records)
        return program.fail(records.error().message);
    if (format == QLatin1String("csv"))
        io.out << QString::fromUtf8(historyCsv(*records, args->has("--trace")));
    else
        printTable(*records, args->has("--trace"), io);
    return kExitOk;
}

}  // namespace dnp::cli
