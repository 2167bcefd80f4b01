#pragma once
// The transfer of the configuration image with the panel: 18 request frames, one at a
// time, each answered by a reply whose frame and status bytes are checked.
//
// The line is strict: the exchange knows at every moment exactly which bytes it
// expects. A reply is taken as soon as the link delivers it, however fast the panel
// answers; the next request goes out as soon as a reply is complete, so any byte that
// comes while no reply is due, or beyond the reply that is due, ends the transfer as a
// data error that says where. After the last reply the line must stay quiet for a guard
// time before the transfer counts as done. The exchange reacts to arriving bytes and to
// one deadline per message; it never waits on the line. It knows the link, the
// addressing and the message plan, nothing else: a send takes an image, a retrieve
// yields the 256 words.
//
// Every write reply is the same eight status bytes and no reply carries its message
// number: a late copy of a reply taken for the next one cannot be told by the bytes
// alone. Only reading the panel back tells what a send stored (the workspace does).
//
// A transfer ends in a typed reason; comm/TransferText.h says what each tells the user.

#include "comm/Frames.h"
#include "comm/ImageLayout.h"
#include "comm/Link.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <bitset>
#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

namespace dnp {

// What the exchange does with the panel's image: writes it (a send), reads it (a
// retrieve, a verify, a send's read-back, a test of one message).
enum class TransferKind { None, Write, Read };

// How a transfer ended, in kind: what the workspace, the fleet and the history decide on
// (TransferResult::outcome). Refused is no transfer's: a panel command refused before
// its transfer began.
enum class TransferOutcome { Running, Success, StatusError, DataError, NotResponding, PortError, Refused, Cancelled };

// Why a transfer ended, each with what telling it needs.
// Every reply came with good statuses, and the line stayed quiet after the last.
struct AllAnswered {
    bool operator==(const AllAnswered&) const = default;
};
// The reply to `message` did not come, or only `came` of its `expected` bytes.
struct NoReply {
    int message = 0;
    qsizetype came = 0;
    int expected = 0;
    bool operator==(const NoReply&) const = default;
};
// The reply to `message` came, but its frame does not check out.
struct BadReply {
    int message = 0;
    frames::FrameProblem problem;
    bool operator==(const BadReply&) const = default;
};
// `count` bytes that no reply accounts for, after the reply to `message` (before it when
// `beforeReply`: before the first reply).
struct UnexpectedBytes {
    int message = 0;
    bool beforeReply = false;
    qsizetype count = 0;
    bool operator==(const UnexpectedBytes&) const = default;
};
// The reply to `message` carried `status`, a status byte that is not good; the first such
// reply of a transfer ends it when the rest went well.
struct BadStatus {
    int message = 0;
    std::uint8_t status = 0;
    bool operator==(const BadStatus&) const = default;
};
// The transfer was cancelled.
struct Cancelled {
    bool operator==(const Cancelled&) const = default;
};

// Why a transfer ended; nothing while it runs.
using TransferEnd =
    std::variant<std::monostate, AllAnswered, NoReply, BadReply, UnexpectedBytes, BadStatus, LinkFailure, Cancelled>;
// What was wrong with bytes on the line, as the trace keeps it.
using LineProblem = std::variant<NoReply, BadReply, UnexpectedBytes, BadStatus>;

// How long the panel may take, beyond the wire time of the bytes: from its request
// having crossed the line to the first byte of its reply (400 ms for the answer to a
// write, 1000 ms for the answer to a read), and for the rest of the reply; and how long
// after the last reply the line must stay quiet for a late copy of it to show.
struct LineTiming {
    int sendAllowanceMs = 400;
    int retrieveAllowanceMs = 1000;
    int replyMarginMs = 500;
    int guardCopyMs = 10;
};

// The line and frame settings of one transfer.
struct TransferLink {
    std::int32_t baud = 9600;
    bool evenParity = false;
    frames::Addressing addressing;
    bool checkReplyChecksum = true;
    LineTiming timing;
};

// One thing that happened on the line: a frame sent, bytes received, and what was
// wrong with them.
struct LineEvent {
    qint64 atMs = 0;      // since the transfer began
    bool sent = false;    // from the program to the panel
    QByteArray bytes;
    int message = 0;      // the message they belong to (or arrived during)
    std::optional<LineProblem> problem = {};  // what was wrong with them
};

struct TransferResult {
    TransferKind kind = TransferKind::None;
    TransferEnd reason;       // why it ended
    int message = 0;          // where it ended: 1-18, or 19 after the 18th reply
    ConfigImage image{};      // a retrieve: the words read (zero where none arrived)
    std::bitset<kMessageCount> acknowledgedMessages;  // requests whose replies arrived and checked
                                                      // out: message m at bit m - 1
    std::bitset<kMessageCount> sentMessages;          // requests that left: a write the panel may hold
    QString port;             // "COM 1 (/dev/ttyS0)", for what is told
    std::int32_t baud = 0;
    std::vector<LineEvent> trace;

    int acknowledged() const { return static_cast<int>(acknowledgedMessages.count()); }
    // How it ended, in kind: from the reason.
    TransferOutcome outcome() const;
};

class Exchange : public QObject {
    Q_OBJECT
public:
    explicit Exchange(QObject* parent = nullptr);

    // A transfer over `link`, which the caller keeps alive until `finished`: the link is
    // opened with the settings, then the image written (messages 1 to 18), or the panel's
    // words read: the messages of `plan` in its order (a message may come more than once;
    // the words of its last read count). A retrieve reads 1 to 18, the test of a line
    // message 1 alone (a read changes nothing in the panel).
    void startSend(Link& link, const TransferLink& settings, const ConfigImage& image);
    void startRead(Link& link, const TransferLink& settings, std::vector<int> plan);
    // Stops a running transfer: no further frame; it ends as Cancelled. Nothing when
    // no transfer runs.
    void cancel();

    bool running() const { return kind_ != TransferKind::None; }
    TransferKind runningKind() const { return kind_; }
    const ConfigImage& sentImage() const { return image_; }

    // Told at the start of each message (1-18) and with 0 when the transfer has ended.
    std::function<void(TransferKind kind, int message)> progress;

signals:
    // A transfer has ended, or could not start.
    void finished(const dnp::TransferResult& result);

private:
    // Opening: the line is being opened. AwaitingReply: a request has gone out, its
    // reply is due. NextRequest: a reply is in, the next request goes out from the event
    // loop. Guard: the last reply is in, the line must stay quiet. Refusing: bytes came
    // that no reply accounts for; the rest of them is counted until the line is quiet,
    // and the transfer ends saying how many there were.
    enum class Phase { Opening, AwaitingReply, NextRequest, Guard, Refusing };

    void start(TransferKind kind, Link& link, const TransferLink& settings, std::vector<int> plan);
    void lineOpened();
    void bytesArrived();
    void lineFailed(const dnp::LinkFailure& failure);
    void deadlinePassed();
    void endAfterGuard();
    void sendRequest();
    bool takeReply(const QByteArray& reply);
    // Bytes no reply accounts for: after the reply to `afterMessage` (0: before the reply
    // to the first message).
    void refuseBytes(int afterMessage, const QByteArray& bytes);
    UnexpectedBytes unexpected() const;
    // The refusal ends once the line has been quiet for the guard time.
    void restartQuietTimer();
    void end(TransferEnd reason);
    frames::Command command() const;
    // The bytes of the reply to the message under way.
    int expectedReplySize() const;
    qint64 wireNs(qsizetype bytes) const;
    qint64 guardMs() const;
    qint64 nowNs() const { return clock_.nsecsElapsed(); }
    void note(bool sent, const QByteArray& bytes, std::optional<LineProblem> problem = std::nullopt);

    QPointer<Link> link_;
    TransferLink settings_;
    TransferKind kind_ = TransferKind::None;
    Phase phase_ = Phase::Opening;
    quint64 transfer_ = 0;  // counts the transfers begun, so that a late step knows its own
    std::vector<int> plan_;        // the messages of the transfer, in order
    std::size_t step_ = 0;         // the one under way in the plan
    int message_ = 0;              // its message (0 before the first request)
    QByteArray reply_;             // the bytes of the reply that is due
    int unexpectedAfter_ = 0;      // Refusing: the reply the unexpected bytes followed
    qsizetype unexpectedCount_ = 0;
    qint64 refusingSinceNs_ = 0;
    QTimer deadline_;
    QElapsedTimer clock_;
    TransferResult result_;
    std::optional<BadStatus> badStatus_;  // the first reply that carried a bad status, told at the end
    ConfigImage image_{};
};

}  // namespace dnp
