// dnpcfg settings: the communication settings the desktop program and the transfers use,
// printed as the table of settings says, or changed by name and saved through the one
// verb of the settings, as the Communication Settings dialog saves them.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "app/PanelRecord.h"
#include "comm/SerialPort.h"

namespace dnp::cli {
namespace {

// One line a setting, in the table's order, named by the key --set takes (the two that
// are only read, by their name in DNP.ini; the TLS settings once set; the history's
// store as the transfers use it), then the [Ports] entries as the file holds them, and
// the certificates trusted at the desk.
void printSettings(const TcomSetIni& settings, Io io)
{
    const IniLocation& location = settings.location();
    io.out << "settings file: " << location.readPath << "\n";
    if (location.writePath != location.readPath)
        io.out << "changes are saved to: " << location.writePath << "\n";
    for (const Setting& setting : settingsTable()) {
        if (setting.print) {
            if (const QString value = setting.print(settings); !value.isEmpty())
                io.out << setting.name << ": " << value << "\n";
        } else if (setting.key == QStringLiteral("Database")) {
            // Where the panel commands are recorded, and whether a command that cannot
            // be recorded is refused.
            const Result<HistoryPlace> history = historyPlace(settings);
            io.out << "history: " << (history ? history->name : history.error().message)
                   << (settings.HistoryRequired ? " (required)" : "") << "\n";
        }
    }
    io.out << "[" << kPortsSection << "]\n";
    const QMap<int, QString>& ports = settings.portDevices();
    for (auto it = ports.cbegin(); it != ports.cend(); ++it)
        io.out << "COM" << it.key() << "=" << it.value() << "\n";
    const QMap<QString, QString>& trusted = settings.trustedCertificates();
    if (!trusted.isEmpty())
        io.out << "[" << kTlsFingerprintsSection << "]\n";
    for (auto it = trusted.cbegin(); it != trusted.cend(); ++it)
        io.out << it.key() << "=" << it.value() << "\n";
}

}  // namespace

int runSettings(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = parseArgs(argv, {"--ini", "--set"});
    if (!args)
        return usageError(io, "settings", args.error().message);
    // "--set a=1 b=2" and "--set a=1 --set b=2" alike.
    if (!args->has("--set") && !args->positional.isEmpty())
        return usageError(io, "settings", QStringLiteral("unexpected argument '%1'").arg(args->positional.front()));
    Program program(io, args->value("--ini"));

    if (args->has("--set")) {
        // Every word is checked before anything is saved.
        const Result<SettingsChange> change = parseSettingsChange(args->allValues("--set") + args->positional);
        if (!change)
            return usageError(io, "settings", change.error().message);
        return program.status(program.settings.change(*change));
    }
    // A file that is not there cannot be shown; one whose values do not all read is shown
    // as read, then what did not read.
    if (args->has("--ini"))
        if (const Result<void> read = program.settings.reload(); !read && program.settings.current().readable())
            return program.fail(read.error().message);
    printSettings(program.settings.current(), io);
    return program.status(program.settings.current().readable());
}

}  // namespace dnp::cli
