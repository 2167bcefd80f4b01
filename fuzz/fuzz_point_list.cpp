// The point list import: a list read as CSV and as a Device Profile document is refused
// with its lines, or reads to a configuration that exports and reads back the same.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dnp::fuzz::enforce("point_list", dnp::fuzz::checkPointListInput(dnp::fuzz::inputView(data, size)));
    return 0;
}
