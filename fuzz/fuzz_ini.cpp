// The DNP.ini reader: loaded values lie within their ranges, and saved and loaded again
// they are the same five values.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    dnp::fuzz::enforce("ini", dnp::fuzz::checkIniInput(dnp::fuzz::inputView(data, size), folder.path()));
    return 0;
}
