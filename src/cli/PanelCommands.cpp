// dnpcfg image, decode, send, retrieve, verify and ports: the configuration image a
// Send builds, an image mapped back as a completed retrieve maps it, and the transfers
// themselves, all through the workspace the window uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "comm/ImageText.h"
#include "comm/IniFile.h"
#include "comm/PortList.h"

namespace dnp::cli {
namespace {

const QStringList kLinkOptions = {"--device", "--ini", "--baud", "--parity", "--address", "--history"};

// The link options as numbers: a problem for a word that is none of the allowed ones.
Result<LinkOverride> linkOverride(const ParsedArgs& args)
{
    LinkOverride link;
    if (args.has("--device"))
        link.device = args.value("--device");
    if (args.has("--baud")) {
        const QString baud = args.value("--baud");
        if (!baudItemOf(baud))
            return failure(QStringLiteral("--baud takes 19200, 9600 or 4800"));
        link.baud = baud.toInt();
    }
    if (args.has("--parity")) {
        link.evenParity = evenParityOf(args.value("--parity"));
        if (!link.evenParity)
            return failure(QStringLiteral("--parity takes none or even"));
    }
    if (args.has("--address")) {
        const Result<std::int32_t> address = parseIniInteger(args.value("--address"));
        if (!address)
            return failure(QStringLiteral("--address takes an integer"));
        link.address = *address;
    }
    return link;
}

// The settings --ini names (they must read), the history --history names and the link
// options taken over: nothing, or the exit status of the failure told.
std::optional<int> takeLink(Program& program, const ParsedArgs& args, const QString& command)
{
    if (args.has("--ini"))
        if (const Result<void> read = program.workspace.readSettings(); !read)
            return program.fail(read.error().message);
    if (args.has("--history"))
        program.workspace.overrideHistory(args.value("--history"));
    Result<LinkOverride> link = linkOverride(args);
    Result<void> taken = link ? program.workspace.overrideLink(*link) : Result<void>(link.error());
    if (!taken)
        return usageError(program.io, command, taken.error().message);
    return std::nullopt;
}

// send and verify: CONFIG.dnp, the mapping and the link options taken, the file opened;
// then `work` with the chosen mapping.
int withConfiguration(const QStringList& argv, Io io, const QString& command, const QStringList& flags,
                      const std::function<int(Program&, const ParsedArgs&, int mapping)>& work)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, kLinkOptions + QStringList{"--mapping"}, flags);
    if (!args)
        return usageError(io, command, args.error().message);
    const Result<int> mapping = mappingOption(*args);
    if (!mapping)
        return usageError(io, command, mapping.error().message);

    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, command))
        return *failed;
    if (const int failed = program.status(program.workspace.open(args->positional[0])))
        return failed;
    return work(program, *args, *mapping);
}

}  // namespace

int runImage(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"--mapping"});
    if (!args)
        return usageError(io, "image", args.error().message);
    const Result<int> mapping = mappingOption(*args);
    if (!mapping)
        return usageError(io, "image", mapping.error().message);

    Program program(io);
    if (const int failed = program.status(program.workspace.open(args->positional.front())))
        return failed;
    const Result<ConfigImage> image = program.workspace.image(*mapping);
    if (!image)
        return program.fail(image.error().message);
    io.out << formatImageText(*image);
    return kExitOk;
}

int runDecode(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"-o"}, {}, {"-o"});
    if (!args)
        return usageError(io, "decode", args.error().message);

    // As a completed retrieve in a freshly started program.
    Program program(io);
    Workspace& ws = program.workspace;
    const Result<RetrievedConfig> retrieved = ws.decode(args->positional.front());
    if (!retrieved)
        return program.fail(retrieved.error().message);
    if (const int failed = program.status(ws.save(args->value("-o"))))
        return failed;
    printRetrieved(ws.state(), *retrieved, io);
    return kExitOk;
}

int runSend(const QStringList& argv, Io io)
{
    return withConfiguration(argv, io, "send", {"--verify", "--no-verify", "--trace"},
                             [](Program& program, const ParsedArgs& args, int mapping) {
        // Read back unless --no-verify, or the settings, say otherwise.
        const bool readBack =
            !args.has("--no-verify") && (args.has("--verify") || program.workspace.settings().VerifyAfterSend);
        return program.panelCommand([&] { program.workspace.send(mapping, readBack); }, args.has("--trace"));
    });
}

int runVerify(const QStringList& argv, Io io)
{
    return withConfiguration(argv, io, "verify", {"--trace"}, [](Program& program, const ParsedArgs& args, int mapping) {
        // The image a send of the file would carry, against the panel's.
        return program.panelCommand([&] { program.workspace.verify(mapping, args.positional[0]); }, args.has("--trace"));
    });
}

int runRetrieve(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, kLinkOptions + QStringList{"-o"}, {"--trace"}, {"-o"});
    if (!args)
        return usageError(io, "retrieve", args.error().message);

    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, "retrieve"))
        return *failed;
    Workspace& ws = program.workspace;
    if (const int failed = program.panelCommand([&] { ws.retrieveInto(args->value("-o")); }, args->has("--trace")))
        return failed;
    printRetrieved(ws.state(), ws.lastRetrieved(), io);
    return kExitOk;
}

int runTest(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, kLinkOptions);
    if (!args)
        return usageError(io, "test", args.error().message);
    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, "test"))
        return *failed;
    return program.panelCommand([&] { program.workspace.testPanel(); });
}

int runPorts(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, {"--ini"});
    if (!args)
        return usageError(io, "ports", args.error().message);
    Program program(io, args->value("--ini"));
    if (args->has("--ini"))
        if (const int failed = program.status(program.workspace.readSettings()))
            return failed;
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

}  // namespace dnp::cli
