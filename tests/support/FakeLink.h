#pragma once
// A serial link for the transfer tests, the fuzz targets and the benchmarks of the
// exchange: each frame sent is given to `panel`, whose reply reaches the receive buffer
// at once or after some timer ticks, followed by bytes that trail it on the line (0xAA,
// one at a time as the buffer is polled). The line is as fast as memory.

#include "comm/Exchange.h"
#include "comm/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <limits>
#include <optional>

namespace dnp::test {

struct FakeReply {
    QByteArray bytes;
    bool silent = false;
    int lateTicks = 0;      // timer ticks before the bytes arrive
    bool announce = false;  // a late arrival is told through the bytes-arrived handler
    int trailing = 0;       // bytes that follow the reply; kEndless: they never stop
    static constexpr int kEndless = std::numeric_limits<int>::max();
};

class FakeLink : public SerialLink {
public:
    std::function<FakeReply(const QByteArray& frame)> panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    QList<QByteArray> sent;
    QByteArray received;
    bool openFails = false;
    bool opened = false;
    LinkTarget target;  // the target of the last link made for it
    int droppedTrailing = 0;  // trailing bytes that reached the buffer and were flushed

    Result<void> open() override
    {
        if (openFails)
            return failure(kBadIdText);
        opened = true;
        received.clear();
        return {};
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    Result<void> SendBytes(QByteArrayView bytes) override
    {
        sent << bytes.toByteArray();
        FakeReply reply = panel(sent.last());
        if (reply.silent)
            return {};
        trailing_ = reply.trailing;
        if (reply.lateTicks == 0)
            received += reply.bytes;
        else
            late_ = reply;
        return {};
    }
    std::uint16_t TransmitPending() override { return 0; }
    std::uint16_t ReceivedCount() override
    {
        if (received.isEmpty() && !late_ && trailing_ > 0) {
            received += '\xAA';
            if (trailing_ != FakeReply::kEndless)
                --trailing_;
        }
        return static_cast<std::uint16_t>(std::min<qsizetype>(received.size(), 0xFFFF));
    }
    Result<std::uint8_t> ReadByte() override
    {
        if (received.isEmpty())
            return failure(kNothingReceivedText);
        const auto b = static_cast<std::uint8_t>(received[0]);
        received.remove(0, 1);
        return b;
    }
    void FlushReceive() override
    {
        if (received == QByteArray(1, '\xAA'))
            ++droppedTrailing;
        received.clear();
    }

    // Between two timer ticks: a late reply comes nearer and arrives.
    void beforeTick()
    {
        if (!late_ || --late_->lateTicks > 0)
            return;
        received += late_->bytes;
        const bool announce = late_->announce;
        late_.reset();
        if (announce)
            notifyBytesArrived();
    }

    // The waits that scale with the wire time (the quiet line after a reply) take next
    // to nothing on a line this fast.
    void lineSettingChanged(LineField field) override
    {
        if (field == LineField::Baud)
            line_.Baud = kInstantBaud;
    }
    static constexpr std::int32_t kInstantBaud = 100'000'000;

private:
    std::optional<FakeReply> late_;
    int trailing_ = 0;
};

// A link factory whose every link is `link` itself (the test keeps it), so that a test
// sees what the workspace's transfers send and scripts what they receive.
class LinkTo : public SerialLink {
public:
    explicit LinkTo(FakeLink& link) : link_(link)
    {
        link_.setBytesArrivedHandler([this] { notifyBytesArrived(); });
    }
    Result<void> open() override { return link_.open(); }
    void close() override { link_.close(); }
    bool isOpen() const override { return link_.isOpen(); }
    Result<void> SendBytes(QByteArrayView bytes) override { return link_.SendBytes(bytes); }
    std::uint16_t TransmitPending() override { return link_.TransmitPending(); }
    std::uint16_t ReceivedCount() override { return link_.ReceivedCount(); }
    Result<std::uint8_t> ReadByte() override { return link_.ReadByte(); }
    void FlushReceive() override { link_.FlushReceive(); }

protected:
    void lineSettingChanged(LineField) override
    {
        link_.setBaud(Baud());
        link_.setParity(Parity());
        line_.Baud = link_.Baud();
    }

private:
    FakeLink& link_;
};

inline LinkFactory linkTo(FakeLink& link)
{
    return [&link](const LinkTarget& target) {
        link.target = target;
        return std::make_unique<LinkTo>(link);
    };
}

// The exchange of a workspace, for the tests that step its timer ticks.
inline Exchange& exchangeOf(QObject& workspace)
{
    return *workspace.findChild<Exchange*>(QStringLiteral("exchange"));
}

// Runs the exchange's timer ticks until the transfer ends (a bounded number of them).
inline void tickUntilEnded(Exchange& exchange, FakeLink& link, int limit = 18 * (kPollsBeforeTimeOut + 5))
{
    for (int tick = 0; exchange.running() && tick < limit; ++tick) {
        link.beforeTick();
        if (exchange.SendTimer.isActive())
            exchange.SendTimerTimer();
        else
            exchange.RetrvTimerTimer();
    }
}

}  // namespace dnp::test

#include "Panel.h"

namespace dnp::test {

// A simulated panel silent at, or answering with a bad status to, the requests given.
inline sim::Panel silentPanelAt(QSet<int> requests)
{
    sim::Faults faults;
    faults.silentAt = std::move(requests);
    return sim::Panel(std::nullopt, faults);
}
inline sim::Panel badStatusPanelAt(QSet<int> requests)
{
    sim::Faults faults;
    faults.badStatusAt = std::move(requests);
    return sim::Panel(std::nullopt, faults);
}

// The simulator's panel answering the frames a FakeLink carries, each reply followed by
// `trailing` bytes.
inline std::function<FakeReply(const QByteArray&)> simulatedPanel(sim::Panel& panel, int trailing = 0)
{
    return [&panel, trailing](const QByteArray& frame) {
        const std::vector<sim::Answer> answers = panel.receive(frame);
        if (answers.empty() || answers.front().reply.isEmpty())
            return FakeReply{{}, true};
        FakeReply reply;
        reply.bytes = answers.front().reply;
        reply.trailing = trailing;
        return reply;
    };
}

}  // namespace dnp::test
