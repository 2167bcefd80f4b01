#pragma once
// A line as fast as memory, for the workspace tests and the fuzz targets: every frame
// written is given to `panel` (by default the simulator's panel in-process), whose reply
// arrives at once, as part of the write. The line has no speed (its bytes take no time);
// the serial and TCP tests use the real simulator.

#include "Panel.h"
#include "comm/Exchange.h"
#include "comm/Link.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <limits>

namespace dnp::test {

struct FakeReply {
    QByteArray bytes;
    bool silent = false;
};

// What the fake links of a test share: the panel's behaviour and what went over the line.
struct FakeLine {
    std::function<FakeReply(const QByteArray& frame)> panel = [](const QByteArray&) { return FakeReply{{}, true}; };
    QList<QByteArray> sent;
    bool openFails = false;
    int failWriteAt = 0;       // the write (from 1) that fails with `writeError`; 0: none
    QString writeError;        // the system's reason
    QByteArray greeting;       // bytes the line carries as it opens, before the first request
    bool opened = false;       // the last link is open
    LinkTarget target;         // the target of the last link made
    LineSettings requested;    // the settings it was opened with
};

class FakeLink : public Link {
public:
    FakeLink(const LinkTarget& target, FakeLine& line) : Link(target), line_(line) { line.target = target; }

    void open(const LineSettings& settings) override
    {
        line_.requested = settings;
        Link::line_ = {0, settings.parity};
        if (line_.openFails) {
            emit failed(failureOf(LinkFault::DeviceMissing));
            return;
        }
        line_.opened = true;
        if (!line_.greeting.isEmpty()) {
            received_ = line_.greeting;
            emit received();
        }
        emit opened();
    }
    void close() override
    {
        line_.opened = false;
        received_.clear();
    }
    bool isOpen() const override { return line_.opened; }
    Result<void> write(QByteArrayView bytes) override
    {
        line_.sent << bytes.toByteArray();
        if (line_.sent.size() == line_.failWriteAt)
            return failure(line_.writeError);
        const FakeReply reply = line_.panel(line_.sent.last());
        if (!reply.silent && !reply.bytes.isEmpty()) {
            received_ += reply.bytes;
            emit received();
        }
        return {};
    }
    QByteArray takeReceived() override { return std::exchange(received_, {}); }

private:
    FakeLine& line_;
    QByteArray received_;
};

// The links a workspace makes over `line`.
inline LinkFactory fakeLinks(FakeLine& line)
{
    return [&line](const LinkTarget& target) { return std::make_unique<FakeLink>(target, line); };
}

// Timing for a line as fast as memory: a silent panel is given up on at once.
constexpr LineTiming kFakeLineTiming{0, 0, 0, 0};

// The simulator's panel answering the frames the fake line carries, read as the
// simulator's line reads them.
inline std::function<FakeReply(const QByteArray&)> simulatedPanel(sim::Panel& panel)
{
    return [&panel](const QByteArray& frame) {
        sim::FrameReader reader(panel.addressed());
        const std::vector<sim::Request> requests = reader.take(frame);
        if (requests.empty() || !panel.answers(requests.front().address))
            return FakeReply{{}, true};
        const QByteArray reply = panel.answer(requests.front()).reply;
        return FakeReply{reply, reply.isEmpty()};
    };
}

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

}  // namespace dnp::test
