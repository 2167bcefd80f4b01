#include "classes/ClassEditor.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
#include "cli/Program.h"
#include "comm/CommSettings.h"
#include "comm/ConfigImage.h"
#include "comm/Exchange.h"
#include "comm/SerialPort.h"
#include "comm/SortModel.h"
#include "files/ConfigFile.h"
#include "files/FileCommands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>

namespace dnp::cli {
namespace {

const QStringList kLinkOptions = {"--device", "--ini", "--baud", "--parity", "--address"};

// The program's objects for one transfer, set up as the window would have them.
struct Transfer {
    explicit Transfer(Io io, const QString& iniPath)
        : program(io), settings(iniPath.isEmpty() ? TcomSetIni() : TcomSetIni(iniPath)),
          exchange(program.state, program.editor, program.sort, settings, port, program.prompts)
    {
    }

    // Applies the link options over the settings; an error text for a bad value.
    QString applyLinkOptions(const ParsedArgs& args)
    {
        if (args.has("--baud")) {
            const int item = QStringList{"19200", "9600", "4800"}.indexOf(args.value("--baud"));
            if (item < 0)
                return "--baud takes 19200, 9600 or 4800";
            settings.Baud = static_cast<std::uint8_t>(item);
        }
        if (args.has("--parity")) {
            const int item = QStringList{"none", "even"}.indexOf(args.value("--parity"));
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
        port.setPortDevices(settings.portDevices());
        port.setPromptForPort(false);
        if (args.has("--device")) {
            port.setDeviceOverride(args.value("--device"));
            if (settings.ComPort == 0)
                settings.ComPort = 1;
        }
        return {};
    }

    // Runs the exchange started by `start` until it ends.
    TransferOutcome run(const std::function<void()>& start)
    {
        QEventLoop loop;
        QObject::connect(&exchange, &Exchange::finished, &loop, &QEventLoop::quit);
        start();
        if (exchange.running())
            loop.exec();
        return exchange.outcome();
    }

    Program program;
    TcomSetIni settings;
    TApdComPort port;
    Exchange exchange;
};

}  // namespace

int runSend(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg send CONFIG.dnp [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N] [--mapping uninitialized|subset|individual]";
    const ParsedArgs args = parseArgs(argv, kLinkOptions + QStringList{"--mapping"});
    if (!args.error.isEmpty() || args.positional.size() != 1)
        return usageError(io, usage + (args.error.isEmpty() ? QString() : "\n" + args.error));
    const std::optional<int> mapping = mappingItemByName(args.value("--mapping", "individual"));
    if (!mapping)
        return usageError(io, usage);

    Transfer t(io, args.value("--ini"));
    if (const QString bad = t.applyLinkOptions(args); !bad.isEmpty())
        return usageError(io, usage + "\n" + bad);

    // As the program does: Open, then Send.
    if (!t.program.open(args.positional[0], io))
        return kExitFailure;
    SendBtnClick(t.program.state, t.program.editor, t.program.sort);
    t.program.sort.MappingRG = *mapping;
    const TransferOutcome outcome = t.run([&] { t.exchange.OKtoSendButtonClick(); });
    return outcome == TransferOutcome::Success ? kExitOk : kExitFailure;
}

int runRetrieve(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg retrieve -o OUT.dnp [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N]";
    const ParsedArgs args = parseArgs(argv, kLinkOptions + QStringList{"-o"});
    if (!args.error.isEmpty() || !args.positional.isEmpty() || !args.has("-o"))
        return usageError(io, usage + (args.error.isEmpty() ? QString() : "\n" + args.error));

    Transfer t(io, args.value("--ini"));
    if (const QString bad = t.applyLinkOptions(args); !bad.isEmpty())
        return usageError(io, usage + "\n" + bad);
    t.program.sort.retrieveBtnClick();
    const TransferOutcome outcome = t.run([&] { t.exchange.OKtoRetrieveButtonClick(); });
    if (outcome != TransferOutcome::Success)
        return kExitFailure;

    if (const int status = writeOut(args.value("-o"), composeConfigFile(t.program.state, QDateTime::currentDateTime()), io))
        return status;
    printRetrieved(t.program.sort, io);
    return kExitOk;
}

}  // namespace dnp::cli
