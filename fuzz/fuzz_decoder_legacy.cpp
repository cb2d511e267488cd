// libFuzzer target: frames of the legacy meter.
#include "frame_feed.h"
#include "meter/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzfeed::run(data, size, analysisComPortData);
    return 0;
}
