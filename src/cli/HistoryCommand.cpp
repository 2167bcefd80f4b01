// dnpcfg history: the recorded panel commands, newest first, as a table (local time) or as
// CSV (UTC); with --panels what each panel holds by the history (a drift check: exit 1 when
// a panel differs from what was last sent to it or may hold part of a send); with --check
// whether the chain of records is whole (exit 1 when not). All through the run's history;
// every text a table shows has its control characters shown escaped.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "model/TerminalText.h"

namespace dnp::cli {
namespace {

const QStringList kFilterOptions = {"--device", "--address", "--action", "--outcome", "--since", "--limit"};
const QStringList kRecordFlags = {"--trace"};

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

// Rows as aligned columns, the last one as it is; under each row the lines `below` gives.
void printTable(const QStringList& headings, const std::vector<QStringList>& rows,
                const std::function<QStringList(std::size_t)>& below, Io io)
{
    std::vector<qsizetype> widths;
    for (const QString& heading : headings)
        widths.push_back(heading.size());
    std::vector<QStringList> shown;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (qsizetype c = 0; c < row.size(); ++c) {
            cells << terminalText(row[c]);
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], cells.back().size());
        }
        shown.push_back(cells);
    }
    const auto printRow = [&](const QStringList& cells) {
        QString line;
        for (qsizetype c = 0; c + 1 < cells.size(); ++c)
            line += cells[c].leftJustified(widths[static_cast<std::size_t>(c)]) + QStringLiteral("  ");
        io.out << line << cells.back() << "\n";
    };
    printRow(headings);
    for (std::size_t r = 0; r < shown.size(); ++r) {
        printRow(shown[r]);
        for (const QString& line : below(r))
            io.out << "    " << terminalText(line) << "\n";
    }
}

// The records, the message last; with `trace` each record's line trace under it.
void printRecords(const std::vector<HistoryRecord>& records, bool trace, Io io)
{
    std::vector<QStringList> rows;
    for (const HistoryRecord& r : records)
        rows.push_back({localTimeText(r.time), r.user, r.host, r.program, r.device,
                        r.address, r.action, r.outcome, r.readBack, QString::number(r.seconds, 'f', 1), r.message});
    printTable({"time", "user", "host", "program", "device", "address", "action", "outcome", "read_back", "seconds",
                "message"},
               rows,
               [&](std::size_t r) { return trace ? records[r].trace.split(QLatin1Char('\n')) : QStringList{}; }, io);
}

void printPanels(const std::vector<PanelHolding>& holdings, Io io)
{
    std::vector<QStringList> rows;
    for (const PanelHolding& h : holdings)
        rows.push_back({h.device, h.address, localTimeText(h.lastSent), localTimeText(h.lastRead), h.state, h.config});
    printTable({"device", "address", "last_sent", "last_read", "state", "config"}, rows,
               [](std::size_t) { return QStringList{}; }, io);
}

}  // namespace

int runHistory(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, kFilterOptions + QStringList{"--format", "--ini", "--history"},
                                                kRecordFlags + QStringList{"--panels", "--check"});
    if (!args)
        return usageError(io, "history", args.error().message);
    // --panels is read by scripts (a nightly drift check): CSV unless a table is asked for.
    const QString format = args->value("--format", args->has("--panels") ? QStringLiteral("csv") : QStringLiteral("table"));
    if (format != QLatin1String("table") && format != QLatin1String("csv"))
        return usageError(io, "history", QStringLiteral("--format takes table or csv"));
    const Result<HistoryFilter> filter = historyFilter(*args);
    if (!filter)
        return usageError(io, "history", filter.error().message);
    // What takes the whole history, and what it takes no part of.
    struct Whole {
        const char* option;
        const char* what;
        QStringList refused;
    };
    const Whole wholes[] = {
        {"--panels", "--panels lists every panel", kFilterOptions + kRecordFlags + QStringList{"--check"}},
        {"--check", "--check walks every record", kFilterOptions + kRecordFlags + QStringList{"--format"}},
    };
    for (const Whole& whole : wholes)
        for (const QString& option : whole.refused)
            if (args->has(QLatin1String(whole.option)) && args->has(option))
                return usageError(io, "history",
                                  QStringLiteral("%1: it takes no %2").arg(QLatin1String(whole.what), option));

    Program program(io, args->value("--ini"));
    if (args->has("--ini"))
        if (const int failed = program.status(program.settings.reload()))
            return failed;
    PanelHistory& history = program.history;
    if (args->has("--history"))
        history.overrideStore(args->value("--history"));

    if (args->has("--check")) {
        const Result<ChainCheck> chain = history.chain();
        if (!chain)
            return program.fail(chain.error().message);
        io.out << terminalText(chainCheckText(*chain)) << "\n";
        return chain->broken.isEmpty() ? kExitOk : kExitFailure;
    }
    if (args->has("--panels")) {
        const Result<std::vector<PanelHolding>> holdings = history.panels();
        if (!holdings)
            return program.fail(holdings.error().message);
        if (format == QLatin1String("csv"))
            io.out << QString::fromUtf8(panelsCsv(*holdings));
        else
            printPanels(*holdings, io);
        return std::any_of(holdings->begin(), holdings->end(), holdingDrifted) ? kExitFailure : kExitOk;
    }
    const Result<std::vector<HistoryRecord>> records = history.records(*filter);
    if (!records)
        return program.fail(records.error().message);
    if (format == QLatin1String("csv"))
        io.out << QString::fromUtf8(historyCsv(*records, args->has("--trace")));
    else
        printRecords(*records, args->has("--trace"), io);
    return kExitOk;
}

}  // namespace dnp::cli
