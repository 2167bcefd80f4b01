#pragma once
// The simulated panel: takes the bytes the master sends, answers its frames, keeps
// a 256-word image. No device, no clock: main.cpp does the line and the timing.

#include "comm/Frames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace dnp::sim {

// The fault options count the requests addressed to this panel, from 1.
struct Faults {
    QSet<int> silentAt;      // no reply, frame ignored
    QSet<int> badStatusAt;   // first status byte 0x10, a write is not stored
    QSet<int> shortReplyAt;  // the reply lacks its last kShortReplyMissing bytes
    int extraBytes = 0;      // appended to every full reply
};

constexpr std::uint8_t kBadStatus = 0x10;
constexpr int kShortReplyMissing = 2;
constexpr char kExtraByte = static_cast<char>(0xAA);

using Image = std::array<std::uint16_t, frames::kImageWordCount>;

// What one request came to.
struct Answer {
    int request = 0;          // its number among the requests for this panel
    QByteArray frame;         // the request as it came
    frames::Command command = frames::Command::Read;
    int offset = 0;
    int count = 0;
    QByteArray reply;         // empty: no reply
    bool imageComplete = false;  // a write of word 255 was stored
};

// Something on the line that was not a request for this panel.
struct Dropped {
    int bytes = 0;
    QString reason;
};

class Panel {
public:
    Panel(std::optional<int> address, Faults faults);

    // Takes received bytes; gives the answers of the requests they complete.
    std::vector<Answer> receive(QByteArrayView bytes);
    // Throws away a frame that never got finished.
    void dropPartial() { pending_.clear(); }
    bool hasPartial() const { return !pending_.isEmpty(); }
    // Frames and bytes dropped since the last call.
    std::vector<Dropped> takeDropped();

    Image image{};
    int requests() const { return requests_; }

private:
    Answer answer(const frames::Request& request);

    std::optional<int> address_;
    Faults faults_;
    QByteArray pending_;
    int requests_ = 0;
    std::vector<Dropped> dropped_;
};

// The image as text: 16 lines of 16 four-digit upper-case hex words, one blank apart.
QByteArray imageText(const Image& image);
// Reads such a text: 256 hex words of up to four digits, separated by blanks or line
// ends. The error names the first word that does not fit.
struct ImageTextError {
    QString message;
};
std::optional<ImageTextError> parseImageText(QByteArrayView text, Image& image);

}  // namespace dnp::sim
