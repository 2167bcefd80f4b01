#pragma once
// The send/retrieve exchange with the panel: 18 request frames, one at a time, each
// answered by a reply whose status bytes are checked. A small per-message state
// machine advances on timer ticks and on arriving bytes; everything runs on the
// thread that owns the exchange.

#include "comm/ConfigImage.h"
#include "comm/Frames.h"
#include "comm/SerialPort.h"

#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

namespace dnp {

class ClassEditor;
class SortModel;
class TcomSetIni;
class UserPrompts;

inline const QString kNotRespondingText = QStringLiteral("ZE-P(L) is not responding!");
inline const QString kSendErrorText = QStringLiteral("System error or data error has occurred.");
inline const QString kRetrieveErrorText = QStringLiteral("System or data error has occurred.");
inline const QString kSendOkText = QStringLiteral("Sending communication status: OK.");
inline const QString kRetrieveOkText = QStringLiteral("Retrieving communication status: OK.");
inline const QString kTransferUnderWayText =
    QStringLiteral("A transfer with the panel is under way; wait until it has ended.");

constexpr int kSendTimerInterval = 20;    // ms
constexpr int kRetrieveTimerInterval = 50;  // ms
constexpr int kPollsBeforeTimeOut = 20;
// Beyond the wire time of the expected bytes, how long a reply or the transmit
// buffer may take before the panel counts as not responding.
constexpr int kWaitMarginMs = 500;

enum class TransferKind { None, Send, Retrieve };

// How a transfer ended.
enum class TransferOutcome { Running, Success, StatusError, NotResponding, PortError, Refused };

class Exchange : public QObject {
    Q_OBJECT
public:
    Exchange(ConfigState& state, ClassEditor& editor, SortModel& sort, TcomSetIni& settings, SerialLink& port,
             UserPrompts& prompts, QObject* parent = nullptr);

    // The "&Send" and "&Retrieve" buttons of the Class 0 data order window.
    void OKtoSendButtonClick();
    void OKtoRetrieveButtonClick();

    // The cycles and the timer handlers (public so a test can step them).
    void SendCycle();
    void RetrieveCycle();
    void SendTimerTimer();
    void RetrvTimerTimer();

    bool running() const { return kind_ != TransferKind::None; }
    TransferOutcome outcome() const { return outcome_; }
    const ConfigImage& sentImage() const { return image_; }

    // "Sending message n of 18", "Retrieving message n of 18", and "" at the end.
    std::function<void(const QString&)> progress;

    // The transfer state.
    std::uint8_t SendState = 0;
    std::uint8_t RetrieveState = 0;
    std::int32_t MessageNumber = 1;
    bool AwaitingReply = false;
    bool WaitEnded = false;
    std::uint16_t PollCount = 0;
    std::int32_t BytesWaiting = 0;
    std::int32_t SendWordOffset = 14;
    bool TransferError = false;
    std::array<std::uint8_t, frames::kLongestReplyPayload> ReplyBuffer{};
    std::int32_t ReplyLength = 0;

    QTimer SendTimer;
    QTimer RetrvTimer;

signals:
    // A transfer has ended (after its message box).
    void finished(dnp::TransferOutcome outcome);

private:
    bool openPort();
    void cycle(TransferKind kind);
    bool ComposeToSendMesg(int message);
    bool ComposeToRetrieveMesg(int message);
    bool sendFrame(const QByteArray& frame);
    bool ReadSendInputBuffer(int message);
    bool ReadRetrieveInputBuffer(int message);
    bool readReply(frames::Command command, int message);
    void SendStatusParsing(int message);
    void RetrieveStatusParsing(int message);
    QString checkStatus(std::uint8_t status, const QString& sentence);
    void timerTick(QTimer& timer, TransferKind kind);
    void bytesArrived();
    void replySeen(QTimer& timer, TransferKind kind);
    void end(TransferOutcome outcome, const QString& errorText = {});
    std::uint8_t& stateOf(TransferKind kind) { return kind == TransferKind::Send ? SendState : RetrieveState; }
    frames::Addressing addressing() const;
    bool waitBounded(const std::function<bool()>& done, int expectedBytes);

    ConfigState& state_;
    ClassEditor& editor_;
    SortModel& sort_;
    TcomSetIni& settings_;
    SerialLink& port_;
    UserPrompts& prompts_;
    TransferKind kind_ = TransferKind::None;
    TransferOutcome outcome_ = TransferOutcome::Running;
    ConfigImage image_{};
};

}  // namespace dnp
