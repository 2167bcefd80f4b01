// dnpcfg image, decode, send, retrieve, verify, test and ports: the configuration image a
// Send builds, an image mapped back as a completed retrieve maps it, and the transfers
// themselves, all through the parts the window uses.

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Program.h"
#include "comm/ImageText.h"
#include "comm/IniFile.h"
#include "comm/PortList.h"

namespace dnp::cli {
namespace {

const QStringList kLinkOptions = {"--device", "--ini", "--baud", "--parity", "--address", "--history"};

// The link options read as the settings read their values: a problem names the option.
Result<LinkOverride> linkOverride(const ParsedArgs& args)
{
    LinkOverride link;
    if (args.has("--device"))
        link.device = args.value("--device");
    const auto named = [](const char* option, const Error& error) { return failure(QLatin1String(option) + QLatin1Char(' ') + error.message); };
    if (args.has("--baud")) {
        const Result<int> item = parseBaudItem(args.value("--baud"));
        if (!item)
            return named("--baud", item.error());
        link.baud = baudRateOf(*item);
    }
    if (args.has("--parity")) {
        const Result<bool> even = parseEvenParity(args.value("--parity"));
        if (!even)
            return named("--parity", even.error());
        link.evenParity = *even;
    }
    if (args.has("--address")) {
        const Result<std::int32_t> address = parseAddress(args.value("--address"));
        if (!address)
            return named("--address", address.error());
        link.address = *address;
    }
    return link;
}

// The settings --ini names (they must read), the history --history names and the link
// options taken over: nothing, or the exit status of the failure told.
std::optional<int> takeLink(Program& program, const ParsedArgs& args, const QString& command)
{
    if (args.has("--ini"))
        if (const Result<void> read = program.settings.reload(); !read)
            return program.fail(read.error().message);
    if (args.has("--history"))
        program.history.overrideStore(args.value("--history"));
    const Result<LinkOverride> link = linkOverride(args);
    if (!link)
        return usageError(program.io, command, link.error().message);
    program.session.overrideLink(*link);
    return std::nullopt;
}

// send and verify: CONFIG.dnp, the mapping and the link options taken, the file opened;
// then `work` with the chosen mapping.
int withConfiguration(const QStringList& argv, Io io, const QString& command, const QStringList& flags,
                      const std::function<int(Program&, const ParsedArgs&, Mapping mapping)>& work)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, kLinkOptions + QStringList{"--mapping"}, flags);
    if (!args)
        return usageError(io, command, args.error().message);
    const Result<Mapping> mapping = mappingOption(*args);
    if (!mapping)
        return usageError(io, command, mapping.error().message);

    Program program(io, args->value("--ini"));
    if (const std::optional<int> failed = takeLink(program, *args, command))
        return *failed;
    if (const int failed = program.status(program.document.open(args->positional[0])))
        return failed;
    return work(program, *args, *mapping);
}

}  // namespace

int runImage(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 1, {"--mapping"});
    if (!args)
        return usageError(io, "image", args.error().message);
    const Result<Mapping> mapping = mappingOption(*args);
    if (!mapping)
        return usageError(io, "image", mapping.error().message);

    Program program(io);
    if (const int failed = program.status(program.document.open(args->positional.front())))
        return failed;
    const Result<ConfigImage> image = program.document.image(*mapping);
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
    ConfigDocument& document = program.document;
    const Result<RetrievedConfig> retrieved = document.decode(args->positional.front());
    if (!retrieved)
        return program.fail(retrieved.error().message);
    if (const int failed = program.status(document.save(args->value("-o"))))
        return failed;
    printRetrieved(document.state(), *retrieved, io);
    return kExitOk;
}

int runSend(const QStringList& argv, Io io)
{
    return withConfiguration(argv, io, "send", {"--verify", "--no-verify", "--trace"},
                             [](Program& program, const ParsedArgs& args, Mapping mapping) {
        // Read back unless --no-verify, or the settings, say otherwise.
        const bool readBack =
            !args.has("--no-verify") && (args.has("--verify") || program.settings.current().VerifyAfterSend);
        return program.panelCommand([&] { return program.session.send(program.document, mapping, readBack); },
                                    args.has("--trace"));
    });
}

int runVerify(const QStringList& argv, Io io)
{
    return withConfiguration(argv, io, "verify", {"--trace"}, [](Program& program, const ParsedArgs& args, Mapping mapping) {
        // The image a send of the file would carry, against the panel's.
        return program.panelCommand([&] { return program.session.verify(program.document, mapping, args.positional[0]); },
                                    args.has("--trace"));
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
    ConfigDocument& document = program.document;
    if (const int failed = program.panelCommand([&] { return program.session.retrieveInto(document, args->value("-o")); },
                                                args->has("--trace")))
        return failed;
    printRetrieved(document.state(), document.lastRetrieved(), io);
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
    return program.panelCommand([&] { return program.session.test(); });
}

int runPorts(const QStringList& argv, Io io)
{
    const Result<ParsedArgs> args = commandArgs(argv, 0, {"--ini"});
    if (!args)
        return usageError(io, "ports", args.error().message);
    Program program(io, args->value("--ini"));
    if (args->has("--ini"))
        if (const int failed = program.status(program.settings.reload()))
            return failed;
    const TcomSetIni& settings = program.settings.current();
    const PortsView ports = program.settings.ports();

    io.out << "Serial ports of this machine:\n";
    for (const MachinePort& port : ports.machine)
        io.out << "  " << describePort(port) << "\n";
    if (ports.machine.isEmpty())
        io.out << "  (none found)\n";
    io.out << "COM numbers (" << settings.location().readPath << "):\n";
    for (auto it = ports.comNumbers.cbegin(); it != ports.comNumbers.cend(); ++it)
        io.out << QStringLiteral("  COM %1  %2%3\n")
                      .arg(it.key())
                      .arg(it.value())
                      .arg(ports.mapped.contains(it.key()) ? QStringLiteral("  [Ports]") : QString());
    io.out << (settings.ComPort == 0 ? QStringLiteral("No port is chosen.\n")
                                     : QStringLiteral("Chosen: COM %1\n").arg(settings.ComPort));
    return kExitOk;
}

}  // namespace dnp::cli
