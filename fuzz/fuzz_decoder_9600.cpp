// libFuzzer target: frames of the 9600-baud meter, straight into the pure
// decode, with what its result promises checked after each frame.
#include "decode_oracle.h"
#include "frame_feed.h"

#include <cstring>

namespace {

using oracle::bitSet;
using oracle::require;

// Known sensors are all types but "not known yet" and "ERROR#".
bool knownSensor(unsigned char type)
{
    return type != 0 && type != 18;
}

void check9600(const oracle::Snapshot& before, const FrameResult& r)
{
    oracle::common(before, r);
    if (!r.taken())
        return;
    require(!r.secondRead);
    const int n = r.channels;
    require(n >= 1 && n <= 10);
    const bool countChanged = n != before.count;
    const unsigned inFrame = (1u << n) - 1u;
    require((r.typeChanged & ~inFrame) == 0 && (r.valueChanged & ~inFrame) == 0 &&
            (r.errorFields & ~inFrame) == 0);
    // Channels the frame does not carry keep their records whole.
    for (int i = n; i < 10; ++i)
        require(oracle::sameRecord(before.records[i], channel[i]));

    bool knownReplaced = false;
    unsigned namedUnknown = 0;  // unknown channels a code letter named
    for (int i = 0; i < n; ++i) {
        const unsigned char was = before.records[i].type;
        knownReplaced = knownReplaced || (knownSensor(was) && channel[i].type != was);
        if (bitSet(r.sensorChanged, i) && !knownSensor(was))
            namedUnknown |= 1u << i;
    }
    require(r.layoutChanged == (countChanged || knownReplaced));

    if (r.description) {
        require(r.typeChanged == 0 && r.valueChanged == 0 && r.errorFields == 0);
        require(fViewGetDes == 1);
        bool renamed = false;
        for (int i = 0; i < n; ++i) {
            const char* was = countChanged ? "" : before.records[i].des;
            renamed = renamed || std::strcmp(was, channel[i].des) != 0;
            require(std::strlen(channel[i].des) < 16);
        }
        require(r.namesChanged == renamed);
        return;
    }

    for (int i = 0; i < n; ++i) {
        const char* was = countChanged ? "" : before.records[i].des;
        require(std::strcmp(was, channel[i].des) == 0);
    }
    if (r.layoutChanged)
        require(fViewGetDes == 0);
    else
        require(fViewGetDes == before.namesFromMeter);
    // Names change with a sensor named where none was known, while the
    // names are the sensors' own.
    if (r.namesChanged)
        require(namedUnknown != 0);
    if (namedUnknown != 0 && (before.namesFromMeter == 0 || countChanged))
        require(r.namesChanged);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzfeed::startUp();
    fuzzfeed::feed(data, size, kShortest9600, [] {
        const oracle::Snapshot before = oracle::take();
        const FrameResult r = decode9600(rxBuf, sizeof rxBuf);
        check9600(before, r);
    });
    return 0;
}
