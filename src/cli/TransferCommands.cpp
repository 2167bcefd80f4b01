#include "classes/ClassEditor.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ConsolePrompts.h"
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
        : prompts(io), editor(state, prompts), sort(state),
          settings(iniPath.isEmpty() ? TcomSetIni() : TcomSetIni(iniPath)),
          exchange(state, editor, sort, settings, port, prompts)
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

    ConfigState state;
    ConsolePrompts prompts;
    ClassEditor editor;
    SortModel sort;
    TcomSetIni settings;
    TApdComPort port;
    Exchange exchange;
};

int mappingItem(const QString& name)
{
    return QStringList{"uninitialized", "subset", "individual"}.indexOf(name);
}

}  // namespace

int runSend(const QStringList& argv, Io io)
{
    const QString usage = "dnpcfg send CONFIG.dnp [--device PATH | --ini PATH] [--baud 19200|9600|4800] "
                          "[--parity none|even] [--address N] [--mapping uninitialized|subset|individual]";
    const ParsedArgs args = parseArgs(argv, kLinkOptions + QStringList{"--mapping"});
    if (!args.error.isEmpty() || args.positional.size() != 1)
        return usageError(io, usage + (args.error.isEmpty() ? QString() : "\n" + args.error));
    const int mapping = mappingItem(args.value("--mapping", "individual"));
    if (mapping < 0)
        return usageError(io, usage);

    Transfer t(io, args.value("--ini"));
    if (const QString bad = t.applyLinkOptions(args); !bad.isEmpty())
        return usageError(io, usage + "\n" + bad);

    const QString path = args.positional[0];
    const ConfigFileLoad load = loadConfigFile(path);
    if (const auto* error = std::get_if<ConfigFileError>(&load.result)) {
        io.err << (load.opened ? describeFileError(path, *error) : QString("%1: %2").arg(path, error->message)) << "\n";
        return kExitFailure;
    }
    // As the program does after opening the file: the clear step, the file's data,
    // then Send.
    t.editor.ResetClassBtnClick();
    applyConfigFileData(t.state, std::get<ConfigFileData>(load.result));
    SendBtnClick(t.state, t.editor, t.sort);
    t.sort.MappingRG = mapping;
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
    t.sort.retrieveBtnClick();
    const TransferOutcome outcome = t.run([&] { t.exchange.OKtoRetrieveButtonClick(); });
    if (outcome != TransferOutcome::Success)
        return kExitFailure;

    for (PointType type : {PointType::Bin, PointType::Bout, PointType::Counters, PointType::Ain, PointType::Aout}) {
        const auto& list = t.sort.retrieveList(type);
        io.out << orderListLabel(type) << ": " << list.size() << "\n";
        for (const OrderItem& item : list)
            io.out << "  " << item.ShortName << "\n";
    }
    const int item = mappingItemForCode(t.sort.Retrieved.RetrievedMappingCode);
    io.out << "DNP Mapping: "
           << (item >= 0 ? mappingText(item) : QString("code %1").arg(t.sort.Retrieved.RetrievedMappingCode)) << "\n";

    const QString out = args.value("-o");
    if (const QString error = writeFileSafely(out, composeConfigFile(t.state, QDateTime::currentDateTime()));
        !error.isEmpty()) {
        io.err << error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace dnp::cli
