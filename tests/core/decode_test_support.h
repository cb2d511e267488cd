// Frames for the pure decode tests, as the receive path leaves them in rxBuf.
#pragma once

#include <cstring>
#include <string>

#include "core/channel.h"

namespace decodetest {

// The text, CR and NUL in rxBuf; at most 256 characters, as the port reads.
inline void putFrame(const std::string& text)
{
    const std::size_t n = text.size() < 256 ? text.size() : 256;
    std::memcpy(rxBuf, text.data(), n);
    rxBuf[n] = '\r';
    rxBuf[n + 1] = '\0';
}

// The wire text of a 9600 frame: content and its two check characters,
// computed here rather than by the program's own check-sum code.
inline std::string withLrc(const std::string& content)
{
    unsigned sum = 0;
    for (unsigned char c : content)
        sum += c;
    static const char hex[] = "0123456789ABCDEF";
    const unsigned check = (256u - sum % 256u) % 256u;
    return content + hex[check >> 4] + hex[check & 15u];
}

// Channel records and meter state as start-up leaves them.
inline void startUp()
{
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    wDataNum = 0;
    fViewGetDes = 0;
}

}  // namespace decodetest
