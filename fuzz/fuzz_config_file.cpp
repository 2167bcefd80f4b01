// The .dnp reader: every input either fails with a message or reads to a configuration
// that, written back and read again, is the same.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dnp::fuzz::enforce("config_file", dnp::fuzz::checkConfigFileInput(dnp::fuzz::inputView(data, size)));
    return 0;
}
