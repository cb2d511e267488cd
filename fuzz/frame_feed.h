// Hands fuzz input to a frame decoder the way the receive path fills rxBuf:
// pieces up to a CR or 256 bytes, the CR taken off, pieces of 3 bytes or
// fewer and pieces starting with NUL dropped, CR and NUL appended. Several
// pieces per input run one after the other, so the state that frames leave
// for the next (channel count, types, names, the recording) is exercised too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "core/channel.h"
#include "core/record_buffer.h"
#include "view/alarm_limits.h"
#include "view/display_select.h"
#include "view/statistics.h"

namespace fuzzfeed {

constexpr std::size_t kMaxFrame = 256;

// What start-up or the no-data watchdog leaves, with every alarm switched on
// so that the alarm tests run; `recording` as if the user had started one
// over all ten channels.
inline void startUp(bool recording)
{
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    for (ChannelRecord& rec : logChannel)
        rec = ChannelRecord{};
    rxLen = 0;
    wDataNum = 0;
    fViewGetDes = 0;
    disp1Index = 0;
    disp2Index = 1;
    for (int i = 0; i < 10; ++i) {
        vSw[i] = 1;
        vHi[i] = 50.0f;
        vLow[i] = 0.0f;
    }
    fLogging = recording ? 1 : 0;
    fLogGetDes = 0;
    logDataNum = recording ? 10 : 0;
    staticIndex = 0;
}

// A trailing piece without its CR is decoded as well, as a read that ran
// into its time-out would deliver it.
inline void feed(const std::uint8_t* data, std::size_t size, void (*decoder)())
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
        decoder();
        // The decoder must leave every record's texts terminated.
        for (const ChannelRecord& rec : channel) {
            if (!std::memchr(rec.valStr, 0, sizeof rec.valStr) ||
                !std::memchr(rec.des, 0, sizeof rec.des) ||
                !std::memchr(rec.unit, 0, sizeof rec.unit) || rec.type > 18)
                __builtin_trap();
        }
        if (wDataNum < 0 || wDataNum > 10 || disp1Index < 0 || disp1Index > 9 ||
            disp2Index < 0 || disp2Index > 9)
            __builtin_trap();
    }
}

// Each input runs twice: without and with a recording in progress.
inline void run(const std::uint8_t* data, std::size_t size, void (*decoder)())
{
    for (bool recording : {false, true}) {
        startUp(recording);
        feed(data, size, decoder);
    }
}

}  // namespace fuzzfeed
