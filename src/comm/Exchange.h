#pragma once
// The transfer of the configuration image with the panel: 18 request frames, one at a
// time, each answered by a reply whose status bytes are checked. A small per-message
// state machine advances on timer ticks and on arriving bytes; everything runs on the
// thread that owns the exchange. The exchange knows the serial link, the addressing and
// the message plan, nothing else: a send takes an image, a retrieve yields the 256 words.

#include "comm/Frames.h"
#include "comm/ImageLayout.h"
#include "comm/SerialPort.h"
#include "model/Result.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

namespace dnp {

inline const QString kNotRespondingText = QStringLiteral("ZE-P(L) is not responding!");
inline const QString kSendErrorText = QStringLiteral("System error or data error has occurred.");
inline const QString kRetrieveErrorText = QStringLiteral("System or data error has occurred.");
inline const QString kSendOkText = QStringLiteral("Sending communication status: OK.");
inline const QString kRetrieveOkText = QStringLiteral("Retrieving communication status: OK.");
inline const QString kTransferUnderWayText =
    QStringLiteral("A transfer with the panel is under way; wait until it has ended.");

constexpr int kSendTimerInterval = 20;      // ms
constexpr int kRetrieveTimerInterval = 50;  // ms
constexpr int kPollsBeforeTimeOut = 20;
// Beyond the wire time of the expected bytes, how long a reply or the transmit
// buffer may take before the panel counts as not responding.
constexpr int kWaitMarginMs = 500;

enum class TransferKind { None, Send, Retrieve };

// How a transfer ended.
enum class TransferOutcome { Running, Success, StatusError, DataError, NotResponding, PortError, Refused, Cancelled };

// The line and frame settings of one transfer.
struct TransferLink {
    std::int32_t baud = 9600;
    bool evenParity = false;
    frames::Addressing addressing;
    bool checkReplyChecksum = true;
};

// "Sending message n of 18", "Retrieving message n of 18"; "" for message 0 (the end).
QString progressText(TransferKind kind, int message);

struct TransferResult {
    TransferKind kind = TransferKind::None;
    TransferOutcome outcome = TransferOutcome::Running;
    int message = 0;       // where it ended: 1-18, or 19 after the 18th reply
    QString error;         // the text of a port error or a refusal; what was wrong with a reply
    ConfigImage image{};   // a retrieve: the words read
};

// The steps of one message.
enum class Step : std::uint8_t {
    Start = 0,       // start of a message
    Compose = 1,     // frame to compose and send
    AwaitReply = 2,  // waiting for the reply to begin
    Read = 3,        // reply to read
    Parse = 4,       // reply to parse
};

class Exchange : public QObject {
    Q_OBJECT
public:
    explicit Exchange(QObject* parent = nullptr);

    // The port of the next transfer, opened with the link's settings; the caller keeps it
    // alive until the transfer has ended.
    Result<void> openPort(SerialLink& port, const TransferLink& link);
    // A transfer over the open port: the image written, or the panel's image read.
    void startSend(const ConfigImage& image);
    void startRetrieve();
    // Stops a running transfer: no further frame; it ends as Cancelled.
    void cancel();

    // The timer handlers (public so a test can step them).
    void SendTimerTimer();
    void RetrvTimerTimer();

    bool running() const { return kind_ != TransferKind::None; }
    TransferKind runningKind() const { return kind_; }
    const TransferResult& result() const { return result_; }
    const ConfigImage& sentImage() const { return image_; }

    // Told at the start of each message (1-18) and with 0 when the transfer has ended.
    std::function<void(TransferKind kind, int message)> progress;

    QTimer SendTimer;
    QTimer RetrvTimer;

signals:
    // A transfer has ended, or could not start.
    void finished(const dnp::TransferResult& result);

private:
    void start(TransferKind kind);
    void cycle(TransferKind kind);
    bool ComposeToSendMesg(int message);
    bool ComposeToRetrieveMesg(int message);
    bool sendFrame(const QByteArray& frame);
    bool ReadSendInputBuffer(int message);
    bool ReadRetrieveInputBuffer(int message);
    bool readReply(frames::Command command, int message);
    std::optional<frames::Reply> checkedReply(frames::Command command, int message);
    bool SendStatusParsing(int message);
    bool RetrieveStatusParsing(int message);
    void timerTick(QTimer& timer, TransferKind kind);
    void bytesArrived();
    void replySeen(QTimer& timer, TransferKind kind);
    void end(TransferOutcome outcome, const QString& error = {});
    void discardTrailingBytes();
    Step& stateOf(TransferKind kind) { return kind == TransferKind::Send ? SendState : RetrieveState; }
    bool waitBounded(const std::function<bool()>& done, int expectedBytes);

    SerialLink* port_ = nullptr;
    // The transfer state.
    Step SendState = Step::Start;
    Step RetrieveState = Step::Start;
    std::int32_t MessageNumber = 1;
    bool AwaitingReply = false;
    bool WaitEnded = false;
    std::uint16_t PollCount = 0;
    std::int32_t BytesWaiting = 0;
    bool TransferError = false;
    QByteArray ReplyBuffer;  // the last reply as it was read
    frames::Addressing addressing_;
    bool checkReplyChecksum_ = true;
    // Bytes have trailed a reply of this transfer: the line is waited on longer.
    bool lineTrails_ = false;
    TransferKind kind_ = TransferKind::None;
    TransferResult result_;
    ConfigImage image_{};
};

}  // namespace dnp
