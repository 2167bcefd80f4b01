#pragma once
// The simulator's command line: one table of options, read into Options.

#include "Panel.h"
#include "model/Result.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

namespace dnp::sim {

// Where --tcp listens.
struct TcpEndpoint {
    QString host;  // as given: a name, an IPv4 address or a bracketed IPv6 address
    int port = 0;  // 0: a free port
};

struct Options {
    std::vector<int> addresses;  // empty: frames carry no address byte
    std::optional<TcpEndpoint> tcp;  // none: a pseudo-terminal
    QString tlsCert;                 // with the key: the TCP port speaks TLS
    QString tlsKey;
    QString tlsClientCa;             // a client certificate this authority signed is required
    QString imageIn;
    QString imageOut;
    QString link;
    Faults faults;
    std::optional<int> baud;  // none: the speed the program set on the device (9600 on TCP)
    bool noPacing = false;  // no wire time: replies leave as soon as a request is complete
    int delayMs = 0;
    int exitAfter = 0;  // 0: never
    bool echo = false;
    bool trace = false;
};

// --help was given: the text to print.
struct HelpShown {
    QString text;
};
using ParsedOptions = std::variant<Options, HelpShown>;

// Reads the arguments (the program's name first). A usage error says what was wrong.
Result<ParsedOptions> parseOptions(const QStringList& arguments);

// The file the image of station `station` (0 the first address) is written to:
// --image-out FILE for the first, FILE.<address> for the others.
QString imageOutFile(const Options& options, std::size_t station);

}  // namespace dnp::sim
