// dnpcfg image, decode, send and retrieve: the configuration image a Send builds, an
// image mapped back as a completed retrieve maps it, and the transfers themselves, all
// through the workspace the window uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "comm/ImageText.h"
#include "comm/IniFile.h"
#include "comm/PortList.h"

#include "files/FileAccess.h"

namespace dnp::cli {
namespace {

const QStringList kLinkOptions = {"--device", "--ini", "--baud", "--parity", "--address"};

// The link options over the settings and the port; an error text for a bad value.
QString applyLinkOptions(Program& program, const ParsedArgs& args)
{
    TcomSetIni& settings = program.workspace.settings();
    if (args.has("--baud")) {
        int item = -1;
        for (int i = 0; i < TcomSetIni::kBaudCount; ++i)
            if (args.value("--baud") == QLatin1String(kBaudTexts[i]))
                item = i;
        if (item < 0)
            return "--baud takes 19200, 9600 or 4800";
        settings.Baud = static_cast<std::uint8_t>(item);
    }
    if (args.has("--parity")) {
        const int item = static_cast<int>(QStringList{"none", "even"}.indexOf(args.value("--parity")));
        if (item < 0)
            return "--parity takes none or even";
        settings.Parity = item;
    }
    if (args.has("--address")) {
        const auto address = parseIniInteger(args.value("--address"));
        if (!address)
            return "--address takes an integer";
        settings.Addressing = true;
        settings.Address = *address;
    }
    settings.mapIntoRange();
    program.port.setPortDevices(settings.portDevices());
    program.port.setPromptForPort(false);
    if (args.has("--device")) {
        program.port.setDeviceOverride(args.value("--device"));
        if (settings.ComPort == 0)
            settings.ComPort = 1;
    }
    return {};
}

// The settings file --ini names must read: "" when it does (or none is named).
QString unreadableSettings(Program& program, const ParsedArgs& args)
{
    return args.has("--ini") ? program.workspace.settings().readError() : QString();
}

// The settings --ini names and the link options taken over: nothing, or the exit
// status of the failure told.
std::optional<int> takeLink(Program& program, const ParsedArgs& args, const QString& usage)
{
    if (const QString problem = unreadableSettings(program, args); !problem.isEmpty())
        return program.fail(problem);
    if (const QString bad = applyLinkOptions(program, args); !bad.isEmpty())
        return usageError(program.io, usage + " (" + bad + ")");
    return std::nullopt;
}

// The --mapping option (individual when absent); nothing after telling a bad one.
std::optional<int> mappingOption(const ParsedArgs& args, Io io, const QString& usage)
{
    const std::optional<int> mapping = mappingItemByName(args.value("--mapping", "individual"));
    if (!mapping)
        usageError(io, usage + " (unknown mapping '" + args.value("--mapping") + "')");
    return mapping;
}

// send and verify: CONFIG.dnp and the link options read, the file opened and the send
// prepared as the program does (Open, then Send); then `work` with the chosen mapping.
int withConfiguration(const QStringList& argv, Io io, const QString& usage, const QStringList& flags,
                      const std::function<int(Program&, const ParsedArgs&, int mapping)>& work)
{
    const std::optional<ParsedArgs> args = commandArgs(argv, io, usage, 1, kLinkOptions + QStringList{"--mapping"}, flags);
    if (!args)
        return kExitUsage;
    const std::optional<int> mapping = mappingOption(*args, io, usage);
    if (!mapping)
        return kExitUsage;

    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, usage))
        return *failed;
    if (!program.open(args->positional[0]))
        return kExitFailure;
    program.workspace.prepareSend();
    return work(program, *args, *mapping);
}

}  // namespace

int runImage(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg image CONFIG.dnp [--mapping uninitialized|subset|individual]");
    const std::optional<ParsedArgs> parsed = commandArgs(args, io, synopsis, 1, {"--mapping"});
    if (!parsed)
        return kExitUsage;
    const std::optional<int> mapping = mappingOption(*parsed, io, synopsis);
    if (!mapping)
        return kExitUsage;

    // Open, then Send, as in a freshly started program.
    Program program(io);
    if (!program.open(parsed->positional.front()))
        return kExitFailure;
    program.workspace.prepareSend();
    const Result<BuiltImage> built = program.workspace.buildImage(*mapping);
    if (!built)
        return program.fail(built.error().message);
    io.out << formatImageText(built->image);
    return kExitOk;
}

int runDecode(const QStringList& args, Io io)
{
    const QString synopsis = QStringLiteral("dnpcfg decode IMAGE.txt -o OUT.dnp");
    const std::optional<ParsedArgs> parsed = commandArgs(args, io, synopsis, 1, {"-o"}, {}, {"-o"});
    if (!parsed)
        return kExitUsage;
    const QString output = parsed->value("-o");

    Program program(io);
    const QString input = parsed->positional.front();
    const Result<QByteArray> text = readInputFile(input, kMaxImageTextBytes, QStringLiteral("an image text"));
    if (!text)
        return program.fail(text.error().message);
    const Result<ConfigImage> image = parseImageText(*text);
    if (!image)
        return program.fail(input + ", " + image.error().message);

    // As a completed retrieve in a freshly started program.
    Workspace& ws = program.workspace;
    ws.prepareRetrieve();
    ws.applyRetrieved(mapRetrievedImage(*image));
    if (const int status = program.written(ws.save(output)))
        return status;
    printRetrieved(ws.state(), ws.lastRetrieved(), io);
    return kExitOk;
}

int runSend(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg send CONFIG.dnp [--verify] [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N] [--mapping uninitialized|subset|individual]";
    return withConfiguration(argv, io, usage, {"--verify"}, [](Program& program, const ParsedArgs& args, int mapping) {
        Workspace& ws = program.workspace;
        ws.order().MappingRG = mapping;
        if (!program.transfer([&] { ws.startSend(); }))
            return kExitFailure;
        if (!args.has("--verify"))
            return kExitOk;
        return program.verify(ws.exchange().sentImage(), kSentConfigurationText) ? kExitOk : kExitFailure;
    });
}

int runVerify(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg verify CONFIG.dnp [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N] [--mapping uninitialized|subset|individual]";
    return withConfiguration(argv, io, usage, {}, [](Program& program, const ParsedArgs& args, int mapping) {
        // The image a send of the file would carry, against the panel's.
        const Result<BuiltImage> built = program.workspace.buildImage(mapping);
        if (!built)
            return program.fail(built.error().message);
        return program.verify(built->image, args.positional[0]) ? kExitOk : kExitFailure;
    });
}

int runPorts(const QStringList& argv, Io io)
{
    const QString usage = QStringLiteral("dnpcfg ports [--ini PATH]");
    const std::optional<ParsedArgs> args = commandArgs(argv, io, usage, 0, {"--ini"});
    if (!args)
        return kExitUsage;
    Program program(io, args->value("--ini"));
    if (const QString problem = unreadableSettings(program, *args); !problem.isEmpty())
        return program.fail(problem);
    const TcomSetIni& settings = program.workspace.settings();

    io.out << "Serial ports of this machine:\n";
    const QList<MachinePort> machine = machinePorts();
    for (const MachinePort& port : machine)
        io.out << "  " << describePort(port) << "\n";
    if (machine.isEmpty())
        io.out << "  (none found)\n";
    io.out << "COM numbers (" << settings.location().readPath << "):\n";
    const QMap<int, QString> devices = comDevices(settings.portDevices());
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        io.out << QStringLiteral("  COM %1  %2%3\n")
                      .arg(it.key())
                      .arg(it.value())
                      .arg(settings.portDevices().contains(it.key()) ? QStringLiteral("  [Ports]") : QString());
    io.out << (settings.ComPort == 0 ? QStringLiteral("No port is chosen.\n")
                                     : QStringLiteral("Chosen: COM %1\n").arg(settings.ComPort));
    return kExitOk;
}

int runRetrieve(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg retrieve -o OUT.dnp [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N]";
    const std::optional<ParsedArgs> args = commandArgs(argv, io, usage, 0, kLinkOptions + QStringList{"-o"}, {}, {"-o"});
    if (!args)
        return kExitUsage;

    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, usage))
        return *failed;
    program.workspace.prepareRetrieve();
    if (!program.transfer([&] { program.workspace.startRetrieve(); }))
        return kExitFailure;
    if (const int status = program.written(program.workspace.save(args->value("-o"))))
        return status;
    printRetrieved(program.workspace.state(), program.workspace.lastRetrieved(), io);
    return kExitOk;
}

}  // namespace dnp::cli
