// The reply reader and the status parsing of both transfers, fed replies from the
// input through a scripted port (input layout: dnp::fuzz::planReplies).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dnp::fuzz::enforce("reply", dnp::fuzz::checkReplyInput(dnp::fuzz::inputView(data, size)));
    return 0;
}
