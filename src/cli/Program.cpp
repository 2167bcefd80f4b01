#include "cli/Program.h"

#include "cli/StopSignals.h"
#include "comm/LineTrace.h"
#include "model/TerminalText.h"
#include "model/Version.h"

#include <QEventLoop>

namespace dnp::cli {
namespace {

const Command kCommands[] = {
    {"catalog", "catalog [--csv]", "print the point catalogue (tab-separated, or CSV)", runCatalog},
    {"check", "check CONFIG.dnp", "read a configuration file and summarise it", runCheck},
    {"report", "report CONFIG.dnp -o REPORT.txt [--description TEXT] [--comment TEXT]",
     "write the text report of a configuration", runReport},
    {"resave", "resave IN.dnp -o OUT.dnp [--description TEXT] [--comment TEXT]",
     "write a configuration file again, as Save does", runResave},
    {"image", "image CONFIG.dnp [--mapping uninitialized|subset|individual]",
     "print the 256-word image a send carries", runImage},
    {"decode", "decode IMAGE.txt -o OUT.dnp", "map a 256-word image back to a configuration", runDecode},
    {"export", "export CONFIG.dnp [--format csv|xml] [-o OUT]", "the point list for the SCADA master", runExport},
    {"import", "import LIST -o OUT.dnp [--base CONFIG.dnp] [--format csv|xml]",
     "read a point list (CSV or XML, as export writes it) back into a configuration", runImport},
    {"diff", "diff A.dnp B.dnp", "compare two configurations (exit 0 equal, 1 different)", runDiff},
    {"send",
     "send CONFIG.dnp [--verify | --no-verify] [--trace] [--device PATH | --ini PATH] [--baud 19200|9600|4800] [--parity none|even] "
     "[--address N] [--mapping uninitialized|subset|individual] [--history URL|PATH|off]",
     "send a configuration to the panel and read it back (not with --no-verify)", runSend},
    {"retrieve",
     "retrieve -o OUT.dnp [--trace] [--device PATH | --ini PATH] [--baud 19200|9600|4800] [--parity none|even] [--address N] "
     "[--history URL|PATH|off]",
     "read the panel's configuration into a file", runRetrieve},
    {"verify",
     "verify CONFIG.dnp [--trace] [--device PATH | --ini PATH] [--baud 19200|9600|4800] [--parity none|even] [--address N] "
     "[--mapping uninitialized|subset|individual] [--history URL|PATH|off]",
     "compare the panel's configuration with a file", runVerify},
    {"test", "test [--device PATH | --ini PATH] [--baud 19200|9600|4800] [--parity none|even] [--address N] [--history URL|PATH|off]",
     "read message 1 from the panel: does it answer?", runTest},
    {"ports", "ports [--ini PATH]", "the machine's serial ports and the COM numbers DNP.ini maps", runPorts},
    {"settings", "settings [--ini PATH] [--set KEY=VALUE ...]",
     "print the communication settings, or change them; --set takes these keys:", runSettings},
    {"fleet", "fleet JOBS.csv [--parallel N] [-o RESULTS.csv] [--ini PATH] [--history URL|PATH|off]",
     "send, verify or retrieve many panels at once, as a jobs file lists them", runFleet},
    {"history",
     "history [--panels] [--check] [--device D] [--address A] [--action send|retrieve|verify|test] "
     "[--outcome ok|failed|cancelled|differs|incomplete] [--since YYYY-MM-DD] [--limit N] [--format table|csv] [--trace] "
     "[--ini PATH] [--history URL|PATH|off]",
     "list the recorded panel commands, newest first (a table unless --format csv); --panels: what each panel holds, "
     "as CSV unless --format table (exit 1 when any differs from what was sent to it or may hold part of a send); --check: whether any record was changed, removed or inserted "
     "out of turn (exit 1 when so)",
     runHistory},
};

}  // namespace

std::span<const Command> commands()
{
    return kCommands;
}

QString usageOf(const QString& command)
{
    for (const Command& c : kCommands)
        if (command == QLatin1String(c.name))
            return QStringLiteral("dnpcfg ") + QString::fromLatin1(c.synopsis);
    return QStringLiteral("dnpcfg COMMAND [ARGS]");
}

void printError(Io io, const QString& text)
{
    for (const QString& line : text.split(QLatin1Char('\n')))
        io.err << "dnpcfg: " << terminalText(line) << "\n";
    io.err.flush();
}

int usageError(Io io, const QString& command, const QString& problem)
{
    printError(io, QStringLiteral("usage: ") + usageOf(command) + QStringLiteral(" (") + problem + QLatin1Char(')'));
    return kExitUsage;
}

Result<ParsedArgs> commandArgs(const QStringList& args, int words, QStringList valueOptions, const QStringList& flags,
                               const QStringList& required)
{
    // "--output" is another name for "-o".
    if (valueOptions.contains(QStringLiteral("-o")))
        valueOptions << QStringLiteral("--output");
    Result<ParsedArgs> parsed = parseArgs(args, valueOptions, flags);
    if (!parsed)
        return parsed;
    ParsedArgs& a = parsed.value();
    if (a.values.contains(QStringLiteral("--output")) && !a.values.contains(QStringLiteral("-o")))
        a.values.insert(QStringLiteral("-o"), a.values.take(QStringLiteral("--output")));
    const int given = static_cast<int>(a.positional.size());
    if (given > words)
        return failure(QStringLiteral("unexpected argument '%1'").arg(a.positional.at(words)));
    if (given < words)
        return failure(words == 1 ? QStringLiteral("a file name is needed") : QStringLiteral("%1 file names are needed").arg(words));
    for (const QString& option : required)
        if (a.value(option).isEmpty())
            return failure(option + QStringLiteral(" is needed"));
    return parsed;
}

Program::Program(Io io, const QString& iniPath)
    : io(io), questions(io), settings(iniPath), session(settings, questions, {ProgramKind::Dnpcfg}), history(settings)
{
    history.listenTo(session);
    QObject::connect(&history, &PanelHistory::recorded, &history, [this](const PanelOutcome&, const QString& notRecorded) {
        if (!notRecorded.isEmpty())
            printError(this->io, notRecorded);
    });
}

Program::~Program()
{
    if (const Result<void> recorded = history.finish(); !recorded)
        printError(io, recorded.error().message);
}

int Program::fail(const QString& message)
{
    printError(io, message);
    return kExitFailure;
}

int Program::status(const Result<void>& result)
{
    return result ? kExitOk : fail(result.error().message);
}

void Program::tell(const PanelOutcome& outcome)
{
    if (outcome.message.isEmpty() || (outcome.result == PanelResult::Cancelled && outcome.action != PanelAction::Send))
        return;
    if (!wentWrong(outcome.result)) {
        io.out << outcome.message << "\n" << Qt::flush;
        return;
    }
    printError(io, outcome.differences ? outcome.message + QLatin1Char('\n') + kPanelDifferencesHeading : outcome.message);
    if (outcome.differences) {
        for (const QString& line : differenceLines(*outcome.differences))
            io.out << line << "\n";
        io.out.flush();
    }
}

int Program::panelCommand(const std::function<Result<void>()>& start, bool trace)
{
    // One line on the terminal, written over for each message and cleared at the end.
    if (io.errIsTerminal)
        QObject::connect(&session, &PanelSession::transferProgress, &session, [this](TransferKind, int, const QString& text) {
            io.err << "\r" << text << "\x1b[K" << Qt::flush;
        });
    QEventLoop loop;
    std::optional<bool> succeeded;
    QObject::connect(&session, &PanelSession::commandEnded, &loop, [&](const PanelOutcome& outcome) {
        tell(outcome);
        if (trace) {
            for (const QString& line : traceText(outcome))
                io.err << line << "\n";
            io.err.flush();
        }
        succeeded = outcome.ok();
        loop.quit();
    });
    // A signal cancels the command as Cancel does; it still ends, told and recorded.
    std::optional<int> stoppedBy;
    const StopSignals stopSignals([&](int signal) {
        stoppedBy = signal;
        session.cancel();
    });
    if (const Result<void> started = start(); !started)
        return fail(started.error().message);
    if (!succeeded)
        loop.exec();
    if (stoppedBy)
        return stoppedStatus(*stoppedBy);
    return succeeded.value_or(false) ? kExitOk : kExitFailure;
}

Result<Mapping> mappingOption(const ParsedArgs& args)
{
    const QString name = args.value(QStringLiteral("--mapping"), QStringLiteral("individual"));
    const std::optional<Mapping> mapping =
        mappingOfItem(static_cast<int>(QStringList{"uninitialized", "subset", "individual"}.indexOf(name)));
    if (!mapping)
        return failure(QStringLiteral("unknown mapping '%1'").arg(name));
    return *mapping;
}

void printRetrieved(const ConfigState& state, const RetrievedConfig& retrieved, Io io)
{
    const std::uint16_t code = retrieved.mappingCode;
    const std::optional<Mapping> mapping = mappingForCode(code);
    io.out << QStringLiteral("mapping %1: %2\n").arg(code).arg(mapping ? mappingText(*mapping) : QStringLiteral("unknown"));
    const PointCatalog& catalog = PointCatalog::instance();
    for (PointType type : kAllPointTypes) {
        // Each Class 0 point under the DNP point number(s) it takes in the panel's order.
        const std::vector<DnpNumbering> numbers = dnpPointNumbers(state, type);
        io.out << pointTypeName(type) << QStringLiteral(": %1\n").arg(numbers.size());
        for (const DnpNumbering& n : numbers)
            io.out << QStringLiteral("%1 %2\n").arg(dnpNumberSpan(n), 5).arg(catalog.point(type, n.typeIndex).shortName);
    }
}

}  // namespace dnp::cli
