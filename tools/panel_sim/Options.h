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

// Panels `first` to `last`, numbered from 1.
struct PanelRange {
    int first = 1;
    int last = 1;
};

// A fault option played on some panels only: --on 3,7-9:silent-at=5.
struct PanelFault {
    std::vector<PanelRange> panels;
    QString option;  // the fault option's name, "silent-at"
    QString value;   // its value; empty for a switch
};

struct Options {
    int panels = 1;  // devices, each a panel (or, with addresses, a line of panels) of its own
    std::vector<int> addresses;  // empty: frames carry no address byte
    std::optional<TcpEndpoint> tcp;  // none: a pseudo-terminal
    QString tlsCert;                 // with the key: the TCP port speaks TLS
    QString tlsKey;
    QString tlsClientCa;             // a client certificate this authority signed is required
    QString imageIn;
    QString imageOut;
    QString link;
    Faults faults;  // on every panel
    std::vector<PanelFault> panelFaults;  // on the panels they name, over `faults`
    std::optional<int> baud;  // none: the speed the program set on the device (9600 on TCP)
    bool noPacing = false;  // no wire time: replies leave as soon as a request is complete
    bool wholeReplies = false;  // each reply leaves whole once its last byte has crossed
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

// The faults panel `panel` (from 1) plays: those for every panel, and over them those
// --on names it in.
Faults faultsOf(const Options& options, int panel);

// Where panel `panel` (from 1) listens: --tcp's port, or with several panels the port
// after the previous panel's (port 0: a free port each).
TcpEndpoint endpointOf(const Options& options, int panel);

// The file the image of station `station` (0 the first address) of panel `panel` (from
// 1) is written to: --image-out FILE for the first address, FILE.<address> for the
// others; with several panels FILE.<panel> and FILE.<panel>.<address>.
QString imageOutFile(const Options& options, int panel, std::size_t station);

}  // namespace dnp::sim
