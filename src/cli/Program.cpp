#include "cli/Program.h"

#include <QEventLoop>
#include <algorithm>

namespace dnp::cli {

void printError(Io io, const QString& text)
{
    for (const QString& line : text.split(QLatin1Char('\n')))
        io.err << "dnpcfg: " << line << "\n";
    io.err.flush();
}

int usageError(Io io, const QString& message)
{
    printError(io, "usage: " + message);
    return kExitUsage;
}

std::optional<ParsedArgs> commandArgs(const QStringList& args, Io io, const QString& synopsis, int words,
                                      QStringList valueOptions, const QStringList& flags, const QStringList& required)
{
    // "--output" is another name for "-o".
    if (valueOptions.contains(QStringLiteral("-o")))
        valueOptions << QStringLiteral("--output");
    ParsedArgs parsed = parseArgs(args, valueOptions, flags);
    if (parsed.values.contains(QStringLiteral("--output")) && !parsed.values.contains(QStringLiteral("-o")))
        parsed.values.insert(QStringLiteral("-o"), parsed.values.take(QStringLiteral("--output")));
    QString problem = parsed.error;
    const int given = static_cast<int>(parsed.positional.size());
    if (problem.isEmpty() && given > words)
        problem = QStringLiteral("unexpected argument '%1'").arg(parsed.positional.at(words));
    if (problem.isEmpty() && given < words)
        problem = words == 1 ? QStringLiteral("a file name is needed") : QStringLiteral("%1 file names are needed").arg(words);
    for (const QString& option : required)
        if (problem.isEmpty() && parsed.value(option).isEmpty())
            problem = option + QStringLiteral(" is needed");
    if (!problem.isEmpty()) {
        usageError(io, synopsis + QStringLiteral(" (") + problem + QLatin1Char(')'));
        return std::nullopt;
    }
    return parsed;
}

int Program::fail(const QString& message)
{
    printError(io, message);
    return kExitFailure;
}

bool Program::open(const QString& path)
{
    const Result<void> opened = workspace.open(path);
    if (!opened)
        fail(opened.error().message);
    return opened.ok();
}

int Program::written(const Result<void>& result)
{
    return result ? kExitOk : fail(result.error().message);
}

bool Program::transfer(const std::function<void()>& start)
{
    QEventLoop loop;
    TransferOutcome outcome = TransferOutcome::Running;
    QObject::connect(&workspace, &Workspace::transferEnded, &loop, [&](const TransferResult& result) {
        outcome = result.outcome;
        loop.quit();
    });
    start();
    if (outcome == TransferOutcome::Running && workspace.transferRunning())
        loop.exec();
    return outcome == TransferOutcome::Success;
}

bool Program::verify(const ConfigImage& expected, const QString& what)
{
    return transfer([&] { workspace.startVerify(expected, what); }) && workspace.lastVerify() &&
           workspace.lastVerify()->empty();
}

QString failureText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("an unexpected error has occurred");
    }
}

int runGuarded(const std::function<int()>& command, Io io)
{
    try {
        return command();
    } catch (...) {
        io.out.flush();
        printError(io, failureText(std::current_exception()));
        return kExitFailure;
    }
}

std::optional<int> mappingItemByName(const QString& name)
{
    const int item = static_cast<int>(QStringList{"uninitialized", "subset", "individual"}.indexOf(name));
    return item >= 0 ? std::optional<int>(item) : std::nullopt;
}

void printRetrieved(const ConfigState& state, const RetrievedConfig& retrieved, Io io)
{
    const std::uint16_t code = retrieved.mappingCode;
    const int item = mappingItemForCode(code);
    io.out << QStringLiteral("mapping %1: %2\n").arg(code).arg(item >= 0 ? mappingText(item) : QStringLiteral("unknown"));
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
