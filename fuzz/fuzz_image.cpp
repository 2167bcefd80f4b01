// MapRetrievedConfig and the adoption of the retrieved order, fed an arbitrary
// 256-word image (512 bytes, high byte first).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dnp::fuzz::enforce("image", dnp::fuzz::checkImageInput(dnp::fuzz::inputView(data, size)));
    return 0;
}
