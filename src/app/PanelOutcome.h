#pragma once
// How a panel command (a send with its read-back, a retrieve, a verify, a test) ended:
// one value that the overview, the status bar, the windows, dnpcfg's exit status, a
// fleet's results row and the history all show, none of them guessing it again from
// texts.

#include "comm/Exchange.h"
#include "model/ConfigCompare.h"

#include <QDateTime>
#include <optional>
#include <vector>

namespace dnp {

enum class PanelAction { Send, Retrieve, Verify, Test };

// The program that ran a panel command: the desk, dnpcfg, a job of dnpcfg fleet.
enum class ProgramKind { Desk, Dnpcfg, Fleet };
// "dnp-configure", "dnpcfg", "fleet": the program as the history records it.
QString programName(ProgramKind program);
// "DNP Configure 1.0.0", "dnpcfg 1.0.0", "dnpcfg fleet 1.0.0": the program as every line
// trace's heading names it.
QString programHeading(ProgramKind program);

// ok: done, and for a send read back alike. failed: nothing of it can be relied on.
// cancelled: stopped before the panel was changed. differs: the panel was read and
// does not hold what it should (differingWords). incomplete: a send stopped once a write
// request had left (the panel acknowledged `written` of them, and may hold more).
enum class PanelResult { Ok, Failed, Cancelled, Differs, Incomplete };

// "send", "retrieve", "verify", "test".
QString panelActionName(PanelAction action);
// "ok", "failed", "cancelled", "differs", "incomplete".
QString panelResultName(PanelResult result);
// Every name of each, in that order (what --action and --outcome take).
QStringList panelActionNames();
QStringList panelResultNames();
// Whether a command went wrong: failed, differs or incomplete (a cancel is the user's own).
constexpr bool wentWrong(PanelResult result) { return result != PanelResult::Ok && result != PanelResult::Cancelled; }

struct PanelOutcome {
    PanelAction action = PanelAction::Send;
    PanelResult result = PanelResult::Failed;
    TransferOutcome transfer = TransferOutcome::Refused;  // how its last transfer ended
    int differingWords = 0;  // differs: how many of the 256 words
    int written = 0;         // incomplete: how many of the 18 messages the panel acknowledged
    // What it tells: the system's line first, plain lines after; empty for a retrieve
    // the user cancelled, which tells nothing.
    QString message;
    // The points that differ, when the panel holds a configuration that differs.
    std::optional<ConfigDifferences> differences;
    std::vector<LineEvent> trace;  // every frame of the command, a read-back's after the send's

    // What was sent or compared against, and what was read from the panel (a read
    // that arrived whole); where; which file; when it ended and how long it took.
    std::optional<ConfigImage> image;
    std::optional<ConfigImage> panelImage;
    ProgramKind program = ProgramKind::Dnpcfg;
    QString device;
    int comNumber = 0;  // the COM number the device stands for; 0 for a device named directly
    std::int32_t baud = 0;
    bool evenParity = false;
    std::optional<int> address;
    QString config;
    QDateTime started;
    QDateTime ended;
    double seconds = 0;
    // False for a command refused because its record could not be written (the history
    // the settings require, settings that do not read): nothing is recorded.
    bool recordable = true;

    bool ok() const { return result == PanelResult::Ok; }
};

// How long a command took as its rows show it: "12.5".
QString secondsText(double seconds);
// A text of several lines as one: its lines trimmed, the blank ones left out, joined by
// spaces (a command's message so is "the outcome's one line").
QString oneLine(const QString& text);

// A command that ended before its first frame (refused, no port, a file that does not
// read): failed, with why.
PanelOutcome failedOutcome(PanelAction action, const QString& message);

// "OK", "panel differs (12 words)", "incomplete (7 of 18 written)", "failed (no
// answer)", "cancelled"; "not started" for one cancelled before its first frame.
QString outcomeSummary(const PanelOutcome& outcome);
// A command's line trace as text, as dnpcfg --trace prints it, the desk copies and saves
// it and the history keeps it: the heading ("Line trace of the send on /dev/pts/3 at 9600
// baud:", then the program (programHeading), the device, baud rate, parity, address, when
// it began and how it ended, a line each), an empty line, and a line per frame
// (traceLines).
QStringList traceText(const PanelOutcome& outcome);
// The caption of a retrieved configuration: "Retrieved from COM 2 at 10:41" (the device
// when it was named directly).
QString retrievedCaption(const PanelOutcome& outcome);
// The name a saved trace is offered under: "trace-ttyUSB0-20261208-104105.txt".
QString traceFileName(const PanelOutcome& outcome);
// The overview's "Last transfer": "Verify: panel differs (12 words) at 10:41", "Send:
// incomplete (7 of 18 written) at 10:43"; "None in this run".
QString lastTransferText(const std::optional<PanelOutcome>& last);

}  // namespace dnp
