// dnpcfg settings: the communication settings the desktop program and the transfers use,
// printed through the workspace's view of them, or changed by name and saved through
// the one workspace verb, as the Communication Settings dialog saves them.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "app/PanelRecord.h"
#include "comm/SerialPort.h"

namespace dnp::cli {
namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// One line a setting, named by the key --set takes (the two that are only read, by their
// name in DNP.ini; the TLS settings once set; the history's store), then the [Ports]
// entries as the file holds them, and the certificates trusted at the desk.
void printSettings(const TcomSetIni& settings, Io io)
{
    const IniLocation& location = settings.location();
    io.out << "settings file: " << location.readPath << "\n";
    if (location.writePath != location.readPath)
        io.out << "changes are saved to: " << location.writePath << "\n";
    if (settings.ComPort == 0)
        io.out << "port: 0 (none)\ndevice: (none)\n";
    else
        io.out << "port: " << settings.ComPort << "\ndevice: " << portDeviceName(settings.ComPort, settings.portDevices())
               << "\n";
    io.out << "baud: " << settings.BaudText() << "\n";
    io.out << "parity: " << (settings.Parity == 0 ? "none" : "even") << "\n";
    io.out << "addressing: " << onOff(settings.Addressing) << "\n";
    io.out << "address: " << settings.Address;
    if (!settings.transferAddress())
        io.out << " (not from 0 to 255: a transfer with addressing refuses it)";
    io.out << "\n";
    io.out << "verify-after-send: " << onOff(settings.VerifyAfterSend) << "\n";
    io.out << "CheckReplyChecksum: " << onOff(settings.CheckReplyChecksum) << "\n";
    io.out << "CheckRetrievedImage: " << onOff(settings.CheckRetrievedImage) << "\n";
    // Where the panel commands are recorded ([History] Database, resolved), and whether
    // a command that cannot be recorded is refused ([History] Required).
    const Result<HistoryPlace> history = historyPlace(settings);
    io.out << "history: " << (history ? history->name : history.error().message)
           << (settings.HistoryRequired ? " (required)" : "") << "\n";
    for (const auto& [name, value] : {std::pair{"tls-ca", settings.Tls.ca}, {"tls-fingerprint", settings.Tls.fingerprint},
                                      {"tls-cert", settings.Tls.cert}, {"tls-key", settings.Tls.key}})
        if (!value.isEmpty())
            io.out << name << ": " << value << "\n";
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
    Workspace& ws = program.workspace;

    if (args->has("--set")) {
        // Every word is checked before anything is saved.
        const Result<SettingsChange> change = parseSettingsChange(args->allValues("--set") + args->positional);
        if (!change)
            return usageError(io, "settings", change.error().message);
        return program.status(ws.changeSettings(*change));
    }
    if (args->has("--ini"))
        if (const int failed = program.status(ws.readSettings()))
            return failed;
    printSettings(ws.settings(), io);
    return kExitOk;
}

}  // namespace dnp::cli
