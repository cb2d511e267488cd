// libFuzzer target: frames of the legacy meter, straight into the pure
// decode, with what its result promises checked after each frame.
#include "decode_oracle.h"
#include "frame_feed.h"

#include <cmath>
#include <cstring>

namespace {

using oracle::require;

void checkLegacy(const oracle::Snapshot& before, const FrameResult& r)
{
    oracle::common(before, r);
    require(r.taken());
    require(r.channels == 1 || r.channels == 2);
    require(r.layoutChanged == (r.channels != before.count));
    require(r.secondRead == (before.count > 1));
    require(!r.description && !r.namesChanged);
    require(fViewGetDes == before.namesFromMeter);
    require((r.typeChanged | r.valueChanged | r.errorFields) <= 3u);
    for (int i = 0; i < 2; ++i)
        require(std::memcmp(before.records[i].des, channel[i].des, sizeof channel[i].des) == 0);
    for (int i = 2; i < 10; ++i)
        require(oracle::sameRecord(before.records[i], channel[i]));
    // Channel 2 of a frame that only announces it is cleared, not read: no
    // value until it is read.
    if (!r.secondRead) {
        require(channel[1].type == before.records[1].type);
        require(channel[1].valStr[0] == '\0' && channel[1].unit[0] == '\0' &&
                std::isnan(channel[1].value));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzfeed::startUp();
    fuzzfeed::feed(data, size, kShortestLegacy, [] {
        const oracle::Snapshot before = oracle::take();
        const FrameResult r = decodeLegacy(rxBuf, sizeof rxBuf);
        checkLegacy(before, r);
    });
    return 0;
}
