// What every decoded frame must leave, whatever its bytes: the promises of
// FrameResult checked against the records before and after the frame.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/channel.h"
#include "core/decode.h"

namespace oracle {

inline void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// The records and the meter state, byte for byte.
struct Snapshot {
    ChannelRecord records[10];
    int count;
    unsigned char namesFromMeter;
};

inline Snapshot take()
{
    Snapshot s;
    std::memcpy(s.records, channel, sizeof channel);
    s.count = wDataNum;
    s.namesFromMeter = fViewGetDes;
    return s;
}

inline bool bitSet(unsigned mask, int i)
{
    return (mask >> i & 1u) != 0;
}

inline bool terminated(const char* text, std::size_t size)
{
    return std::memchr(text, 0, size) != nullptr;
}

inline bool sameRecord(const ChannelRecord& a, const ChannelRecord& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool readingDiffers(const ChannelRecord& a, const ChannelRecord& b)
{
    return std::memcmp(&a.value, &b.value, sizeof a.value) != 0 ||
           std::strcmp(a.valStr, b.valStr) != 0 || std::strcmp(a.unit, b.unit) != 0;
}

// The value used is the value shown: a reading with a number shows text that
// reads back, whole, to exactly that float; an error code (or the empty text
// of a channel not read) carries no value, NaN.
inline void valueIsShown(const ChannelRecord& rec, bool error)
{
    if (error || rec.valStr[0] == '\0') {
        require(std::isnan(rec.value));
        return;
    }
    require(!std::isnan(rec.value));
    const char* end = rec.valStr + std::strlen(rec.valStr);
    float shown = 0.0f;
    const auto r = std::from_chars(rec.valStr, end, shown, std::chars_format::fixed);
    require(r.ec == std::errc{} && r.ptr == end);
    require(std::memcmp(&shown, &rec.value, sizeof shown) == 0);
}

// Holds for both generations, taken or refused.
inline void common(const Snapshot& before, const FrameResult& r)
{
    for (const ChannelRecord& rec : channel) {
        require(terminated(rec.valStr, sizeof rec.valStr));
        require(terminated(rec.des, sizeof rec.des));
        require(terminated(rec.unit, sizeof rec.unit));
        require(rec.type <= 18);
    }
    require(wDataNum >= 0 && wDataNum <= 10);
    require(r.channels == wDataNum);
    require(fViewGetDes <= 1);
    const unsigned all = (1u << 10) - 1u;
    require((r.typeChanged & ~all) == 0 && (r.valueChanged & ~all) == 0 &&
            (r.errorFields & ~all) == 0);
    require((r.sensorChanged & ~r.typeChanged) == 0);
    for (int i = 0; i < 10; ++i) {
        const ChannelRecord& was = before.records[i];
        const ChannelRecord& now = channel[i];
        require(bitSet(r.typeChanged, i) == (was.type != now.type));
        // A type that changed without a code letter is an unknown channel
        // that reported an error.
        if (bitSet(r.typeChanged, i) && !bitSet(r.sensorChanged, i))
            require(was.type == 0 && now.type == 18);
        require(bitSet(r.valueChanged, i) == readingDiffers(was, now));
        if (bitSet(r.errorFields, i))
            require(now.valStr[0] == 'E' && r.errorText(i) == now.valStr);
        else
            require(r.errorText(i) == nullptr);
        if (bitSet(r.valueChanged, i))
            valueIsShown(now, bitSet(r.errorFields, i));
    }
    if (!r.taken()) {
        require(std::memcmp(before.records, channel, sizeof channel) == 0);
        require(wDataNum == before.count && fViewGetDes == before.namesFromMeter);
        require(!r.layoutChanged && !r.namesChanged && !r.description && !r.secondRead);
        require((r.typeChanged | r.valueChanged | r.errorFields) == 0);
    }
}

}  // namespace oracle
