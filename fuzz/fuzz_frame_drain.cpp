// libFuzzer target: the receive queue's drain. The first byte chooses the
// meter (its shortest frame) and how the rest arrives: in chunks, with a
// drain after each, as CR events would run it. Checked after every drain:
// no whole piece stays queued, every byte taken is accounted for; at the end,
// the pieces are those of an independent split of the whole stream, in order,
// each decoded, refused or passed over by the rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame_drain.h"

namespace {

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

constexpr std::size_t kPiece = 256;

// Pieces up to a CR (the CR dropped) or of 256 bytes; what has neither stays.
std::vector<std::string> split(std::string_view s, std::string* rest)
{
    std::vector<std::string> out;
    for (;;) {
        const std::size_t cr = s.substr(0, kPiece).find('\r');
        if (cr != std::string_view::npos) {
            out.emplace_back(s.substr(0, cr));
            s.remove_prefix(cr + 1);
        } else if (s.size() >= kPiece) {
            out.emplace_back(s.substr(0, kPiece));
            s.remove_prefix(kPiece);
        } else {
            break;
        }
    }
    *rest = std::string(s);
    return out;
}

PieceKind expectedKind(const std::string& piece, int shortest)
{
    if (piece.empty())
        return PieceKind::Empty;
    if (piece.size() < static_cast<std::size_t>(shortest) || piece[0] == '\0')
        return PieceKind::Refused;
    return PieceKind::Frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int shortest = (data[0] & 1u) ? kShortestLegacy : kShortest9600;
    const std::size_t chunk = data[0] >> 1;  // 0: all at once
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string queue;
    std::vector<DrainedPiece> taken;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t n = chunk == 0 ? stream.size() - pos : std::min(chunk, stream.size() - pos);
        queue.append(stream.substr(pos, n));
        pos += n;

        const DrainPlan plan = planDrain(queue, shortest);
        // Nothing whole is left waiting.
        require(plan.left.find('\r') == std::string::npos);
        require(plan.left.size() < kPiece);
        // The pieces and what is left make up the queue: a piece shorter than
        // 256 bytes ended at its CR, which the read took.
        std::size_t at = 0;
        for (const DrainedPiece& p : plan.pieces) {
            require(p.bytes.size() <= kPiece);
            require(std::string_view(queue).substr(at, p.bytes.size()) == p.bytes);
            at += p.bytes.size();
            if (p.bytes.size() < kPiece) {
                require(at < queue.size() && queue[at] == '\r');
                ++at;
            }
            require(p.kind == expectedKind(p.bytes, shortest));
            taken.push_back(p);
        }
        require(std::string_view(queue).substr(at) == plan.left);
        queue = plan.left;
    }

    std::string rest;
    const std::vector<std::string> pieces = split(stream, &rest);
    require(queue == rest);
    require(taken.size() == pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i)
        require(taken[i].bytes == pieces[i]);
    return 0;
}
