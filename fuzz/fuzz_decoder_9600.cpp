// libFuzzer target: frames of the 9600-baud meter.
#include "frame_feed.h"
#include "meter/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzfeed::run(data, size, analysis9600ComPortData);
    return 0;
}
