#pragma once
// The simulated panel: answers the frames the master sends, keeps a 256-word image. No
// device, no clock: Line reads the frames off the bytes, main.cpp does the line and the
// timing.

#include "comm/Frames.h"
#include "comm/ImageLayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace dnp::sim {

// --- The panel's side of the frames ---

// A request found at the start of a byte stream.
struct Request {
    int size = 0;              // bytes of the stream the frame takes, address included
    std::uint8_t address = 0;  // 0 when the frames carry no address byte
    frames::Command command = frames::Command::Read;
    int offset = 0;
    int count = 0;
    std::vector<std::uint16_t> words;  // write frames: the data words
    QByteArray frame;                  // the frame's bytes as they came
};
// More bytes are needed before anything can be said.
struct Incomplete {};
// The start of the stream is no frame: drop `discard` bytes and look again.
struct BadFrame {
    int discard = 1;
    const char* reason = "";
};
using RequestParse = std::variant<Request, Incomplete, BadFrame>;

// Reads the request at the start of `stream`. Accepts 1 to 15 words with
// offset + count <= 256; checks length, command and checksum. The address byte is
// taken but not compared: the caller decides whether the frame is for it.
RequestParse parseRequest(QByteArrayView stream, bool addressing);

constexpr std::uint8_t kGoodStatus = 0x00;
// A reply: [address] length payload checksum. The length byte counts itself, the
// payload and the checksum. `firstStatus` goes into the first status byte; all other
// status bytes are good.
QByteArray composeWriteReply(int count, frames::Addressing addressing, std::uint8_t firstStatus = kGoodStatus);
// The words start at `offset` of the image; a read reply interleaves them with status
// bytes: status, word; then status, word, word, ...; each word high byte first. Words
// past the end of the image are 0.
QByteArray composeReadReply(int offset, int count, const ConfigImage& image, frames::Addressing addressing,
                            std::uint8_t firstStatus = kGoodStatus);

// Something on the line that was not a request for this panel.
struct Dropped {
    int bytes = 0;
    QString reason;
};

// The requests in a byte stream that arrives in pieces: bytes in, each completed
// request out; what is no frame is dropped and told, a run of bytes dropped for one
// reason once. It holds no more than the start of one frame, whatever comes, and reads
// each byte once.
class FrameReader {
public:
    explicit FrameReader(bool addressing) : addressing_(addressing) {}

    std::vector<Request> take(QByteArrayView bytes);
    // Throws away a frame that never got finished.
    void dropPartial() { pending_.clear(); }
    bool hasPartial() const { return !pending_.isEmpty(); }
    // Bytes dropped since the last call.
    std::vector<Dropped> takeDropped();

private:
    void drop(int bytes, const char* reason);

    bool addressing_;
    QByteArray pending_;
    std::vector<Dropped> dropped_;
};

// A frame for an address no panel here answers.
Dropped notOurs(const Request& request);

// The fault options count the requests addressed to this panel, from 1.
struct Faults {
    QSet<int> silentAt;       // no reply, frame ignored
    QSet<int> badStatusAt;    // first status byte 0x10, a write is not stored
    QSet<int> shortReplyAt;   // the reply lacks its last kShortReplyMissing bytes
    QSet<int> badChecksumAt;  // the reply's checksum byte is one off
    QSet<int> badLengthAt;    // the reply's length byte is one off (the checksum still adds up)
    // A read reply that is a good frame but carries the words from the offset of the
    // previous read (word 0 for the first read), as a panel whose replies carry no offset can.
    QSet<int> previousWordsAt;
    bool previousWordsEveryRead = false;
    int extraBytes = 0;       // appended to every full reply, or only to those of extraAt
    QSet<int> extraAt;
    // Timing faults, carried out by the program that drives the line:
    QSet<int> repeatReplyAt;  // the reply goes out again repeatDelayMs after it has left
    bool repeatEveryReply = false;
    int repeatDelayMs = 5;
    int strayBytes = 5;       // bytes 0x00 sent strayDelayMs after the reply to request strayAfter
    int strayAfter = 0;
    int strayDelayMs = 50;
    int floodAfter = 0;       // after the reply to this request, 0x00 without end (and no reply)
};

constexpr std::uint8_t kBadStatus = 0x10;
constexpr int kShortReplyMissing = 2;
constexpr char kExtraByte = static_cast<char>(0xAA);

// What one request came to.
struct Answer {
    int request = 0;          // its number among the requests for this panel
    QByteArray frame;         // the request as it came
    frames::Command command = frames::Command::Read;
    int offset = 0;
    int count = 0;
    QByteArray reply;         // empty: no reply
    bool repeat = false;      // the reply goes out a second time
    bool imageComplete = false;  // a write of word 255 was stored
};

// One panel: the requests for it answered (a Line reads them off the bytes).
class Panel {
public:
    Panel(std::optional<int> address, Faults faults);

    // Answers a request addressed to this panel.
    Answer answer(const Request& request);
    // Whether its frames carry an address byte.
    bool addressed() const { return address_.has_value(); }
    // Whether a frame with this address byte is for this panel.
    bool answers(std::uint8_t address) const;

    ConfigImage image{};

private:
    QByteArray composeReply(const Request& request, int number);
    void spoilReply(Answer& a) const;

    std::optional<int> address_;
    Faults faults_;
    int requests_ = 0;
    int previousReadOffset_ = 0;
};

}  // namespace dnp::sim
