// Hands fuzz input to a frame decoder the way the receive path fills rxBuf:
// pieces up to a CR or 256 bytes, the CR taken off, pieces of 3 bytes or
// fewer and pieces starting with NUL dropped, CR and NUL appended. Several
// pieces per input run one after the other, so the state that frames leave
// for the next (channel count, types, names) is exercised too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/channel.h"

namespace fuzzfeed {

constexpr std::size_t kMaxFrame = 256;

// What start-up or the no-data watchdog leaves.
inline void startUp()
{
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    rxLen = 0;
    wDataNum = 0;
    fViewGetDes = 0;
}

// Calls frame() once rxBuf holds each piece. A trailing piece without its CR
// is decoded as well, as a read that ran into its time-out would deliver it.
template <class Frame>
inline void feed(const std::uint8_t* data, std::size_t size, Frame frame)
{
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t window = size - pos < kMaxFrame ? size - pos : kMaxFrame;
        const void* cr = std::memchr(data + pos, '\r', window);
        const std::size_t len =
            cr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - (data + pos))
               : window;
        const std::uint8_t* piece = data + pos;
        pos += cr ? len + 1 : len;
        if (len <= 3 || piece[0] == 0)
            continue;
        std::memcpy(rxBuf, piece, len);
        rxBuf[len] = '\r';
        rxBuf[len + 1] = '\0';
        frame();
    }
}

}  // namespace fuzzfeed
