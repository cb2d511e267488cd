// Takes the meter's frames out of the receive queue: which pieces a call
// reads, which of them are frames, and what stays queued for a later call.
// The receive callback drains the serial port with it; planDrain runs the
// same loop over bytes in memory, so a fuzzer can check the decisions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr int kFrameEnd = 13;    // CR ends every frame
inline constexpr int kMaxPiece = 256;   // a line longer than this is read in pieces
// The shortest piece taken as a frame; anything shorter is noise. A legacy
// frame can be one code letter and one character ("T_", an error reading);
// a 9600 frame always carries its two check characters after the content.
inline constexpr int kShortestLegacy = 2;
inline constexpr int kShortest9600 = 4;

enum class PieceKind {
    Frame,    // for the decoder
    Empty,    // a CR on its own, as between CR CR framed frames: passed over
    Refused,  // too short, or led by NUL: noise, counted as refused
};

PieceKind pieceKind(const char* piece, int length, int shortest);

// What a drain needs of the queue and where its pieces go.
class FrameQueue {
public:
    virtual ~FrameQueue() = default;
    // Bytes queued; negative when the queue is gone (the port closed).
    virtual int queued() = 0;
    // Whether a CR is queued, so that a read up to it returns at once.
    virtual bool endQueued() = 0;
    // Takes up to the first CR (the CR is taken, not stored) or `count`
    // bytes, whichever comes first; the count stored, negative when gone.
    virtual int read(char* buffer, int count) = 0;
    // `piece` holds `length` bytes and room for two more.
    virtual void frame(char* piece, int length) = 0;
    virtual void refused() = 0;
};

// Takes every piece that can be read without waiting: a line whose CR is
// queued, or a whole kMaxPiece piece. A line still waiting for its CR stays.
void drainFrames(FrameQueue& queue, int shortest);

// A piece read, and what the drain did with it.
struct DrainedPiece {
    PieceKind kind;     // Empty: neither decoded nor refused
    std::string bytes;  // without its CR
};

struct DrainPlan {
    std::vector<DrainedPiece> pieces;  // in the order taken
    std::string left;                  // still queued
};

// drainFrames over `queued` as the whole queue.
DrainPlan planDrain(std::string_view queued, int shortest);
