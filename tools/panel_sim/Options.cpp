#include "Options.h"

#include <QCommandLineParser>
#include <algorithm>
#include <limits>

namespace dnp::sim {

namespace {

// Where an option's value goes; the type of the field says how it is read.
using Target = std::variant<bool Options::*, int Options::*, std::optional<int> Options::*, QString Options::*,
                            std::vector<int> Options::*, std::optional<TcpEndpoint> Options::*,
                            std::vector<PanelFault> Options::*, bool Faults::*, int Faults::*, QSet<int> Faults::*>;

struct OptionRow {
    const char* name;
    const char* valueName;  // unused for a flag (a bool field)
    const char* help;
    int lowest;             // numbers: the smallest value taken
    Target target;
};

constexpr int kAnyNumber = std::numeric_limits<int>::min();
// The bytes a fault adds to a reply or after it: a fault, not a flood (--flood-after).
constexpr int kMostFaultBytes = 4096;
constexpr int kHighestPort = 65535;

constexpr OptionRow kOptionTable[] = {
    {"panels", "N",
     "Serve N panels, each on a device of its own with its own image, request count and pacing: N "
     "pseudo-terminals, or N TCP ports (port 0: N free ports; else PORT to PORT+N-1). The first N lines printed "
     "are the devices, in panel order.",
     1, &Options::panels},
    {"on", "PANELS:OPTION",
     "Play a fault option on these panels only (numbers from 1 and ranges), over the fault options given for "
     "every panel: --on 3,7-9:silent-at=5, --on 2:repeat-every-reply (may be repeated).",
     0, &Options::panelFaults},
    {"address", "N",
     "Frames carry an address byte; answer only address N (its low byte). A list such as 1,2,3 puts one panel "
     "per address on the line, each with its own image and its own request count.",
     kAnyNumber, &Options::addresses},
    {"tcp", "HOST:PORT",
     "Listen on HOST:PORT (an IPv6 host in brackets: [::1]:0) instead of a pseudo-terminal (port 0: a free "
     "port); the first line printed is tcp://HOST:PORT. One connection at a time.",
     0, &Options::tcp},
    {"tls-cert", "FILE",
     "With --tcp: speak TLS with this certificate (PEM or DER, any dates); the first line printed is "
     "tls://HOST:PORT.",
     0, &Options::tlsCert},
    {"tls-key", "FILE", "The private key of --tls-cert (PEM or DER, without a passphrase).", 0, &Options::tlsKey},
    {"tls-client-ca", "FILE", "With --tls-cert: require a client certificate that this authority signed.", 0,
     &Options::tlsClientCa},
    {"image-in", "FILE", "Start with this image (16 lines of 16 hex words); every address starts with it.", 0,
     &Options::imageIn},
    {"image-out", "FILE",
     "Write the image here after each completed write of word 255 and at exit; with several addresses, the first "
     "address's image here and each other's to FILE.<address>; with several panels, panel P's to FILE.P "
     "(FILE.P.<address>).",
     0, &Options::imageOut},
    {"baud", "B",
     "Take the wire time of every request and reply byte at B baud, 10 bits a byte (default: the speed the program "
     "set on the device; 9600 on TCP).",
     1, &Options::baud},
    {"no-pacing", "",
     "Answer as soon as a request is complete, all of the reply at once, as a panel behind a USB serial device "
     "does (no wire time, whatever the speed).",
     0, &Options::noPacing},
    {"whole-replies", "",
     "Send each reply whole once its last byte has crossed the line, as a terminal server that forwards whole "
     "frames does (the reply ends when it would byte by byte).",
     0, &Options::wholeReplies},
    {"delay-ms", "MS", "Wait MS milliseconds before each reply.", 0, &Options::delayMs},
    {"echo", "", "Echo every request back before the reply, at line speed, as a half-duplex adapter does.", 0,
     &Options::echo},
    {"silent-at", "N", "Ignore request N: no reply (may be repeated).", 1, &Faults::silentAt},
    {"bad-status-at", "N", "Answer request N with status 0x10; a write is not stored (may be repeated).", 1,
     &Faults::badStatusAt},
    {"short-reply-at", "N", "Leave the last 2 bytes off the reply to request N (may be repeated).", 1,
     &Faults::shortReplyAt},
    {"bad-checksum-at", "N", "Answer request N with a checksum byte one off (may be repeated).", 1,
     &Faults::badChecksumAt},
    {"bad-length-at", "N", "Answer request N with a length byte one off; its checksum still adds up (may be repeated).",
     1, &Faults::badLengthAt},
    {"previous-words-at", "N",
     "Answer read request N with a good frame that carries the words the previous read asked for, from word 0 for "
     "the first read (may be repeated).",
     1, &Faults::previousWordsAt},
    {"previous-words-every-read", "", "Answer every read with the words the previous read asked for.", 0,
     &Faults::previousWordsEveryRead},
    {"repeat-reply-at", "N", "Send the reply to request N a second time (may be repeated).", 1,
     &Faults::repeatReplyAt},
    {"repeat-every-reply", "", "Send every reply a second time.", 0, &Faults::repeatEveryReply},
    {"repeat-delay-ms", "MS", "Send a repeated reply MS milliseconds after the reply has left (default 5).", 0,
     &Faults::repeatDelayMs},
    {"extra-bytes", "N", "Append N bytes 0xAA to every reply, or only to the replies --extra-at names.", 0,
     &Faults::extraBytes},
    {"extra-at", "K", "Append the extra bytes only to the reply to request K (may be repeated).", 1, &Faults::extraAt},
    {"stray-bytes", "N", "Send N stray bytes 0x00 after the reply to the --stray-after request (default 5).", 0,
     &Faults::strayBytes},
    {"stray-after", "K", "The request after whose reply the stray bytes follow.", 1, &Faults::strayAfter},
    {"stray-delay-ms", "MS", "Send the stray bytes MS milliseconds after that reply has left (default 50).", 0,
     &Faults::strayDelayMs},
    {"flood-after", "K", "After the reply to request K, send bytes 0x00 without end (and no further reply).", 1,
     &Faults::floodAfter},
    {"exit-after", "N", "Exit once the reply to request N is sent (by any panel).", 1, &Options::exitAfter},
    {"link", "PATH", "Also make PATH a symbolic link to the device (one panel only).", 0, &Options::link},
    {"trace", "", "Print every frame on stderr.", 0, &Options::trace},
};

const QString kDescription = QStringLiteral(
    "A regulator control panel (or --panels N of them) on a pseudo-terminal or a TCP port\n"
    "for DNP Configure. The first line printed is the device to open (one line per panel);\n"
    "frames are answered until the program is stopped. Fault options count the requests\n"
    "addressed to each panel from 1, and play on every panel unless given with --on.");

// Whether an option's field is one of the faults, which --on may give to some panels.
template <typename Member>
constexpr bool kIsFaultField = false;
template <typename T>
constexpr bool kIsFaultField<T Faults::*> = true;

const OptionRow* rowNamed(QStringView name)
{
    for (const OptionRow& row : kOptionTable) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

bool isFlag(const Target& target)
{
    return std::holds_alternative<bool Options::*>(target) || std::holds_alternative<bool Faults::*>(target);
}

template <typename T>
T& field(Options& options, T Options::*member)
{
    return options.*member;
}
template <typename T>
T& field(Options& options, T Faults::*member)
{
    return options.faults.*member;
}

Result<int> number(const OptionRow& row, const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < row.lowest)
        return failure(QStringLiteral("--%1: \"%2\" is not a number of at least %3")
                           .arg(QLatin1String(row.name), text)
                           .arg(row.lowest));
    return value;
}

// One reading rule for each kind of field. Options that may not be repeated take
// their last value.
Result<void> readInto(bool& flag, const QStringList&, const OptionRow&)
{
    flag = true;
    return {};
}

Result<void> readInto(int& value, const QStringList& texts, const OptionRow& row)
{
    const auto read = number(row, texts.last());
    if (!read)
        return read.error();
    value = *read;
    return {};
}

Result<void> readInto(std::optional<int>& value, const QStringList& texts, const OptionRow& row)
{
    int read = 0;
    if (auto done = readInto(read, texts, row); !done)
        return done;
    value = read;
    return {};
}

Result<void> readInto(QString& text, const QStringList& texts, const OptionRow&)
{
    text = texts.last();
    return {};
}

Result<void> readInto(QSet<int>& values, const QStringList& texts, const OptionRow& row)
{
    for (const QString& text : texts) {
        const auto read = number(row, text);
        if (!read)
            return read.error();
        values.insert(*read);
    }
    return {};
}

// Addresses: N, or a list N,N,... of addresses whose low bytes differ.
Result<void> readInto(std::vector<int>& addresses, const QStringList& texts, const OptionRow& row)
{
    addresses.clear();
    for (const QString& text : texts.last().split(QLatin1Char(','))) {
        bool ok = false;
        const int address = text.trimmed().toInt(&ok);
        if (!ok)
            return failure(QStringLiteral("--%1: \"%2\" is not a number or a list of numbers such as 1,2,3")
                               .arg(QLatin1String(row.name), texts.last()));
        for (const int earlier : addresses) {
            if ((earlier & 0xFF) == (address & 0xFF))
                return failure(QStringLiteral("--%1: %2 and %3 have the same address byte %4")
                                   .arg(QLatin1String(row.name))
                                   .arg(earlier)
                                   .arg(address)
                                   .arg(address & 0xFF));
        }
        addresses.push_back(address);
    }
    return {};
}

// HOST:PORT, the port from 0 to 65535; an IPv6 host in brackets ([::1]:0).
Result<void> readInto(std::optional<TcpEndpoint>& endpoint, const QStringList& texts, const OptionRow& row)
{
    const QString& text = texts.last();
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = colon > 0 ? text.mid(colon + 1).toInt(&ok) : 0;
    if (!ok || port < 0 || port > kHighestPort)
        return failure(QStringLiteral("--%1: \"%2\" is not HOST:PORT with a port from 0 to %3")
                           .arg(QLatin1String(row.name), text)
                           .arg(kHighestPort));
    endpoint = TcpEndpoint{text.left(colon), port};
    return {};
}

// Panel numbers from 1 and ranges of them: 3,7-9.
std::optional<std::vector<PanelRange>> panelRanges(QStringView text)
{
    std::vector<PanelRange> ranges;
    for (const QStringView item : text.split(u',')) {
        const qsizetype dash = item.indexOf(u'-');
        bool firstRead = false;
        bool lastRead = dash < 0;
        const int first = (dash < 0 ? item : item.left(dash)).toInt(&firstRead);
        const int last = dash < 0 ? first : item.mid(dash + 1).toInt(&lastRead);
        if (!firstRead || !lastRead || first < 1 || last < first)
            return std::nullopt;
        ranges.push_back({first, last});
    }
    return ranges;
}

// A fault option's value read into `faults` as the option itself reads it.
Result<void> readFault(Faults& faults, const OptionRow& row, const QString& value)
{
    return std::visit(
        [&](auto member) -> Result<void> {
            if constexpr (kIsFaultField<decltype(member)>)
                return readInto(faults.*member, QStringList{value}, row);
            else
                return failure(QStringLiteral("--on: --%1 is no fault option").arg(QLatin1String(row.name)));
        },
        row.target);
}

Result<void> checkFaultBytes(const Faults& faults)
{
    for (const auto& [name, bytes] :
         {std::pair{"stray-bytes", faults.strayBytes}, std::pair{"extra-bytes", faults.extraBytes}})
        if (bytes > kMostFaultBytes)
            return failure(QStringLiteral("--%1: at most %2 bytes (--flood-after sends bytes without end)")
                               .arg(QLatin1String(name))
                               .arg(kMostFaultBytes));
    return {};
}

// --on PANELS:OPTION[=VALUE]; the value is read as the option reads it.
Result<void> readInto(std::vector<PanelFault>& panelFaults, const QStringList& texts, const OptionRow& row)
{
    for (const QString& text : texts) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        const qsizetype equals = text.indexOf(QLatin1Char('='), colon + 1);
        const auto panels = colon > 0 ? panelRanges(QStringView(text).left(colon)) : std::nullopt;
        PanelFault fault{panels.value_or(std::vector<PanelRange>{}),
                         text.mid(colon + 1, equals < 0 ? -1 : equals - colon - 1),
                         equals < 0 ? QString() : text.mid(equals + 1)};
        const OptionRow* named = rowNamed(fault.option);
        if (!panels || !named)
            return failure(QStringLiteral("--%1: \"%2\" is not PANELS:OPTION[=VALUE] with a fault option, such as "
                                          "3,7-9:silent-at=5")
                               .arg(QLatin1String(row.name), text));
        if (isFlag(named->target) && equals >= 0)
            return failure(QStringLiteral("--%1: --%2 takes no value").arg(QLatin1String(row.name), fault.option));
        Faults alone;
        if (auto read = readFault(alone, *named, fault.value); !read)
            return read;
        if (auto bounded = checkFaultBytes(alone); !bounded)
            return bounded;
        panelFaults.push_back(std::move(fault));
    }
    return {};
}

}  // namespace

Result<ParsedOptions> parseOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    for (const OptionRow& row : kOptionTable) {
        const QString name = QLatin1String(row.name);
        const QString help = QString::fromLatin1(row.help);
        parser.addOption(isFlag(row.target) ? QCommandLineOption(name, help)
                                            : QCommandLineOption(name, help, QLatin1String(row.valueName)));
    }
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")});
    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return ParsedOptions{HelpShown{parser.helpText()}};
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    Options options;
    for (const OptionRow& row : kOptionTable) {
        const QString name = QLatin1String(row.name);
        if (!parser.isSet(name))
            continue;
        const QStringList texts = parser.values(name);
        const auto read =
            std::visit([&](auto member) { return readInto(field(options, member), texts, row); }, row.target);
        if (!read)
            return read.error();
    }
    if (options.noPacing && options.baud)
        return failure(QStringLiteral("--no-pacing and --baud exclude each other"));
    if (auto bounded = checkFaultBytes(options.faults); !bounded)
        return bounded.error();
    for (const PanelFault& fault : options.panelFaults) {
        for (const PanelRange& range : fault.panels) {
            if (range.last > options.panels)
                return failure(QStringLiteral("--on: there is no panel %1 (--panels %2)")
                                   .arg(range.last)
                                   .arg(options.panels));
        }
    }
    if (options.tcp && options.tcp->port > 0 && options.tcp->port + options.panels - 1 > kHighestPort)
        return failure(QStringLiteral("--panels %1 from port %2 would pass port %3")
                           .arg(options.panels)
                           .arg(options.tcp->port)
                           .arg(kHighestPort));
    if (options.panels > 1 && !options.link.isEmpty())
        return failure(QStringLiteral("--link names one device; --panels %1 makes several").arg(options.panels));
    if (options.tcp && !options.link.isEmpty())
        return failure(QStringLiteral("--link names a pseudo-terminal's device; there is none with --tcp"));
    if (options.tlsCert.isEmpty() != options.tlsKey.isEmpty())
        return failure(QStringLiteral("--tls-cert and --tls-key go together"));
    if (!options.tlsClientCa.isEmpty() && options.tlsCert.isEmpty())
        return failure(QStringLiteral("--tls-client-ca needs --tls-cert and --tls-key"));
    if (!options.tlsCert.isEmpty() && !options.tcp)
        return failure(QStringLiteral("--tls-cert needs --tcp: TLS runs on a TCP port"));
    return ParsedOptions{std::move(options)};
}

Faults faultsOf(const Options& options, int panel)
{
    Faults faults = options.faults;
    for (const PanelFault& fault : options.panelFaults) {
        if (std::any_of(fault.panels.begin(), fault.panels.end(),
                        [panel](const PanelRange& range) { return range.first <= panel && panel <= range.last; }))
            (void)readFault(faults, *rowNamed(fault.option), fault.value);  // it read when the options were read
    }
    return faults;
}

TcpEndpoint endpointOf(const Options& options, int panel)
{
    const TcpEndpoint& endpoint = *options.tcp;
    return {endpoint.host, endpoint.port == 0 ? 0 : endpoint.port + panel - 1};
}

QString imageOutFile(const Options& options, int panel, std::size_t station)
{
    if (options.imageOut.isEmpty())
        return {};
    const QString file =
        options.panels > 1 ? options.imageOut + QLatin1Char('.') + QString::number(panel) : options.imageOut;
    if (station == 0)
        return file;
    return file + QLatin1Char('.') + QString::number(options.addresses[station]);
}

}  // namespace dnp::sim
