// Hands fuzz input to a frame decoder the way the receive path fills rxBuf:
// the pieces core/frame_drain takes as frames, CR and NUL appended. Several
// pieces per input run one after the other, so the state that frames leave
// for the next (channel count, types, names) is exercised too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <string>
#include <string_view>

#include "core/channel.h"
#include "core/frame_drain.h"

namespace fuzzfeed {

// What start-up or the no-data watchdog leaves.
inline void startUp()
{
    for (ChannelRecord& rec : channel)
        rec = ChannelRecord{};
    rxLen = 0;
    wDataNum = 0;
    fViewGetDes = 0;
}

// Calls frame() once rxBuf holds each piece the receive drain decodes. A
// trailing piece without its CR, which the drain leaves queued, is decoded as
// well: it may be any prefix of a frame.
template <class Frame>
inline void feed(const std::uint8_t* data, std::size_t size, int shortest, Frame frame)
{
    const DrainPlan plan =
        planDrain(std::string_view(reinterpret_cast<const char*>(data), size), shortest);
    const auto decode = [&](const std::string& piece) {
        std::memcpy(rxBuf, piece.data(), piece.size());
        rxBuf[piece.size()] = '\r';
        rxBuf[piece.size() + 1] = '\0';
        frame();
    };
    for (const DrainedPiece& p : plan.pieces)
        if (p.kind == PieceKind::Frame)
            decode(p.bytes);
    if (pieceKind(plan.left.data(), static_cast<int>(plan.left.size()), shortest) ==
        PieceKind::Frame)
        decode(plan.left);
}

}  // namespace fuzzfeed
