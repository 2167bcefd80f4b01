#include "Line.h"

#include <algorithm>

namespace dnp::sim {

namespace {

std::vector<Station> makeStations(const std::vector<int>& addresses, const Faults& faults)
{
    std::vector<Station> stations;
    if (addresses.empty())
        stations.push_back({std::nullopt, Panel(std::nullopt, faults)});
    for (const int address : addresses)
        stations.push_back({address, Panel(address, faults)});
    return stations;
}

}  // namespace

Line::Line(const std::vector<int>& addresses, const Faults& faults)
    : stations_(makeStations(addresses, faults)), reader_(!addresses.empty())
{
}

std::vector<Heard> Line::receive(QByteArrayView bytes)
{
    std::vector<Heard> heard;
    for (const Request& request : reader_.take(bytes)) {
        const auto station = std::find_if(stations_.begin(), stations_.end(),
                                          [&](const Station& s) { return s.panel.answers(request.address); });
        if (station == stations_.end())
            dropped_.push_back(notOurs(request));
        else
            heard.push_back({static_cast<std::size_t>(station - stations_.begin()), station->panel.answer(request)});
    }
    return heard;
}

std::vector<Dropped> Line::takeDropped()
{
    std::vector<Dropped> dropped = reader_.takeDropped();
    dropped.insert(dropped.end(), dropped_.begin(), dropped_.end());
    dropped_.clear();
    return dropped;
}

}  // namespace dnp::sim
