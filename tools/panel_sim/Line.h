#pragma once
// The panels on one line. Without addresses one panel answers every frame. With
// addresses (a multi-drop line) every address has a panel of its own, with its own
// image and its own count of requests for the fault options; a frame for any other
// address is dropped as not ours. No device, no clock, as Panel.

#include "Panel.h"

#include <QByteArrayView>
#include <optional>
#include <vector>

namespace dnp::sim {

struct Station {
    std::optional<int> address;  // as given; the frames carry its low byte
    Panel panel;
};

// A request answered on the line, and the station that answered it.
struct Heard {
    std::size_t station = 0;  // index into Line::stations()
    Answer answer;
};

class Line {
public:
    // `addresses` empty: frames carry no address byte.
    Line(const std::vector<int>& addresses, const Faults& faults);

    // Takes received bytes; gives the answers of the requests they complete.
    std::vector<Heard> receive(QByteArrayView bytes);
    // Throws away a frame that never got finished.
    void dropPartial() { reader_.dropPartial(); }
    bool hasPartial() const { return reader_.hasPartial(); }
    // Frames and bytes dropped since the last call.
    std::vector<Dropped> takeDropped();

    std::vector<Station>& stations() { return stations_; }
    const std::vector<Station>& stations() const { return stations_; }
    bool addressed() const { return stations_.front().address.has_value(); }

private:
    std::vector<Station> stations_;
    FrameReader reader_;
    std::vector<Dropped> dropped_;
};

}  // namespace dnp::sim
