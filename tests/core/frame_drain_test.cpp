#include "core/frame_drain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Piece {
    char kind;  // F frame, R refused, E passed over
    std::string bytes;
    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Piece& p)
{
    os << p.kind << "[";
    for (unsigned char c : p.bytes)
        os << (c >= 32 && c < 127 ? std::string(1, static_cast<char>(c)) : "\\" + std::to_string(c));
    return os << "]";
}

std::vector<Piece> piecesOf(const DrainPlan& plan)
{
    std::vector<Piece> out;
    for (const DrainedPiece& p : plan.pieces) {
        const char kind = p.kind == PieceKind::Frame ? 'F' : p.kind == PieceKind::Refused ? 'R' : 'E';
        out.push_back({kind, p.bytes});
    }
    return out;
}

struct DrainCase {
    const char* name;
    std::string queued;
    int shortest;
    std::vector<Piece> pieces;
    std::string left;
};

class FrameDrainTest : public ::testing::TestWithParam<DrainCase> {};

TEST_P(FrameDrainTest, TakesEveryWholeFrameAndKeepsTheRest)
{
    const DrainCase& c = GetParam();
    const DrainPlan plan = planDrain(c.queued, c.shortest);
    EXPECT_EQ(piecesOf(plan), c.pieces);
    EXPECT_EQ(plan.left, c.left);
}

const std::string k256(256, 'x');
const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Queues, FrameDrainTest,
    ::testing::Values(
        DrainCase{"Nothing", "", kShortest9600, {}, ""},
        DrainCase{"LineWithoutItsCrStays", "T0023", kShortest9600, {}, "T0023"},
        DrainCase{"FrameThenPartLine", "T0023.5C12\rT00", kShortest9600,
                  {{'F', "T0023.5C12"}}, "T00"},
        DrainCase{"ShortPieceThenFrame", "AB\rT0023.5C12\r", kShortest9600,
                  {{'R', "AB"}, {'F', "T0023.5C12"}}, ""},
        DrainCase{"NulLedPieceThenFrame", kNul + "T00\rT0023.5C12\r", kShortest9600,
                  {{'R', kNul + "T00"}, {'F', "T0023.5C12"}}, ""},
        DrainCase{"CrCrFraming", "ABCD\r\rEFGH\r\r", kShortest9600,
                  {{'F', "ABCD"}, {'E', ""}, {'F', "EFGH"}, {'E', ""}}, ""},
        DrainCase{"LegacyErrorReading", "T_\r", kShortestLegacy, {{'F', "T_"}}, ""},
        DrainCase{"LegacyOneByteIsNoise", "T\rT_\r", kShortestLegacy,
                  {{'R', "T"}, {'F', "T_"}}, ""},
        DrainCase{"NineSixHundredTwoBytesAreNoise", "T_\r", kShortest9600, {{'R', "T_"}}, ""},
        // A line longer than a piece is read in pieces, the first before its CR.
        DrainCase{"WholePieceBeforeItsCr", k256 + "ab", kShortest9600, {{'F', k256}}, "ab"},
        DrainCase{"PieceThenItsCr", k256 + "\r", kShortest9600, {{'F', k256}, {'E', ""}}, ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
