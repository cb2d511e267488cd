#include "core/frame_drain.h"

#include <algorithm>
#include <cstring>

PieceKind pieceKind(const char* piece, int length, int shortest)
{
    if (length == 0)
        return PieceKind::Empty;
    if (length < shortest || piece[0] == '\0')
        return PieceKind::Refused;
    return PieceKind::Frame;
}

void drainFrames(FrameQueue& queue, int shortest)
{
    char piece[kMaxPiece + 2];
    for (;;) {
        const int waiting = queue.queued();
        if (waiting <= 0)
            return;
        // Never a read that would wait for the rest of a line.
        if (waiting < kMaxPiece && !queue.endQueued())
            return;
        const int length = queue.read(piece, kMaxPiece);
        if (length < 0 || length > kMaxPiece)
            return;
        switch (pieceKind(piece, length, shortest)) {
        case PieceKind::Frame:
            queue.frame(piece, length);
            break;
        case PieceKind::Refused:
            queue.refused();
            break;
        case PieceKind::Empty:
            break;
        }
    }
}

namespace {

class MemoryQueue final : public FrameQueue {
public:
    MemoryQueue(std::string_view bytes, DrainPlan& plan) : bytes_(bytes), plan_(plan) {}

    int queued() override
    {
        constexpr std::size_t kMost = 1u << 30;
        return static_cast<int>(std::min(bytes_.size(), kMost));
    }
    bool endQueued() override { return bytes_.find(static_cast<char>(kFrameEnd)) != bytes_.npos; }
    int read(char* buffer, int count) override
    {
        if (count <= 0)
            return 0;
        const std::string_view window = bytes_.substr(0, static_cast<std::size_t>(count));
        const std::size_t end = window.find(static_cast<char>(kFrameEnd));
        const std::size_t stored = end == window.npos ? window.size() : end;
        std::memcpy(buffer, window.data(), stored);
        bytes_.remove_prefix(end == window.npos ? stored : stored + 1);
        // Passed over unless the drain says otherwise.
        plan_.pieces.push_back({PieceKind::Empty, std::string(buffer, stored)});
        return static_cast<int>(stored);
    }
    void frame(char*, int) override { plan_.pieces.back().kind = PieceKind::Frame; }
    void refused() override { plan_.pieces.back().kind = PieceKind::Refused; }
    std::string_view left() const { return bytes_; }

private:
    std::string_view bytes_;
    DrainPlan& plan_;
};

}  // namespace

DrainPlan planDrain(std::string_view queued, int shortest)
{
    DrainPlan plan;
    MemoryQueue queue(queued, plan);
    drainFrames(queue, shortest);
    plan.left = queue.left();
    return plan;
}
