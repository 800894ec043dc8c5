// The pixels kept for a pan: a run must come back shifted exactly, and one that cannot be
// kept whole (a step past 16 bits, a piece past the count's bits, pixels far out) must not be
// kept at all rather than come back wrong.
#include <gtest/gtest.h>

#include <vector>

#include "model/ShiftRuns.h"

namespace {

struct TPointBufferScope {
    TPointBufferScope() { AcquirePointBuffer(); }
    ~TPointBufferScope() { ReleasePointBuffer(); }
};

using TPieces = std::vector<std::vector<TPixelPoint>>;

// Records Pieces for Entry as drawn with the origin at (OX, OY).
void Record(TShiftRuns& Runs, size_t Entry, int32_t OX, int32_t OY, const TPieces& Pieces) {
    Runs.Begin(Entry, OX, OY);
    for (const auto& P : Pieces) {
        for (size_t I = 0; I < P.size(); ++I) PointBuffer[I] = P[I];
        Runs.Piece(int32_t(P.size()));
    }
    Runs.End();
}

TPieces Replayed(const TShiftRuns& Runs, size_t Entry, int32_t OX, int32_t OY) {
    TPieces Out;
    Runs.Replay(Entry, OX, OY, [&](int32_t N) { Out.emplace_back(PointBuffer, PointBuffer + N); });
    return Out;
}

TEST(ShiftRuns, RunsComeBackShiftedOrAreNotKept) {
    const TPointBufferScope Scope;
    const std::vector<TPixelPoint> Far(3, TPixelPoint{int32_t(TShiftRuns::Reach) + 5000, 0});
    const struct {
        const char* Name;
        TPieces Pieces;
        bool Kept;
    } Rows[] = {
        {"one piece", {{{10, 20}, {12, 19}, {-400, 7}}}, true},
        {"two pieces", {{{0, 0}, {1, 1}}, {{500, 500}, {498, 530}, {470, 531}}}, true},
        {"a step of 32767", {{{0, 0}, {32767, -32768}}}, true},
        {"a step past 16 bits", {{{0, 0}, {32768, 0}}}, false},
        {"pixels far out", {Far}, false},
        {"a piece past the count's bits", {std::vector<TPixelPoint>(65536, TPixelPoint{1, 1})}, false},
    };
    TShiftKey Key;
    Key.Scale = 2;
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TShiftRuns Runs;
        Runs.Follow(Key, 3);
        Record(Runs, 1, 100, -50, Row.Pieces);
        ASSERT_EQ(Runs.Holds(1), Row.Kept);
        EXPECT_FALSE(Runs.Holds(0));
        if (!Row.Kept) {
            EXPECT_TRUE(Replayed(Runs, 1, 0, 0).empty());
            continue;
        }
        // The origin moved by (-37, 1000): every pixel with it.
        TPieces Expected = Row.Pieces;
        for (auto& P : Expected)
            for (TPixelPoint& Q : P) Q = TPixelPoint{Q.X - 37, Q.Y + 1000};
        EXPECT_EQ(Replayed(Runs, 1, 100 - 37, -50 + 1000), Expected);
        // An origin too far out to shift to is not replayed.
        EXPECT_TRUE(Replayed(Runs, 1, int32_t(TShiftRuns::Reach) + 1, 0).empty());
    }
}

// A run given up half-way must leave nothing behind for the next entry, and runs of another map
// (a turn, a notch) must be gone though their memory serves the new ones.
TEST(ShiftRuns, AFailedRunOrAnotherMapLeavesNoPixelsBehind) {
    const TPointBufferScope Scope;
    const TPieces Good = {{{3, 4}, {5, 6}, {7, 9}}, {{-20, 1}, {-21, 2}}};
    const TPieces Broken = {{{0, 0}, {1, 1}}, {{0, 0}, {40000, 0}, {40001, 1}}};
    TShiftKey Key;
    Key.Scale = 2;
    TShiftRuns Runs;
    Runs.Follow(Key, 3);
    Record(Runs, 0, 0, 0, Broken);
    Record(Runs, 1, 0, 0, Good);
    EXPECT_FALSE(Runs.Holds(0));
    EXPECT_EQ(Replayed(Runs, 1, 0, 0), Good);
    TShiftKey Turned = Key;
    Turned.Values[1] = 90;
    EXPECT_FALSE(Runs.Follow(Turned, 3));
    for (size_t E = 0; E < 3; ++E) EXPECT_FALSE(Runs.Holds(E)) << E;
    Record(Runs, 2, 10, 10, Good);
    EXPECT_EQ(Replayed(Runs, 2, 10, 10), Good);
    EXPECT_TRUE(Runs.Follow(Turned, 3)) << "the same map keeps its runs";
    EXPECT_EQ(Replayed(Runs, 2, 10, 10), Good);
    // Turning frame after frame records nothing (no pan comes to use it), and a pan then finds
    // no runs of an earlier map; the first frame at a map that stays records again.
    TShiftKey Again = Turned;
    Again.Values[1] = 91;
    EXPECT_FALSE(Runs.Follow(Again, 3));
    Again.Values[1] = 92;
    EXPECT_FALSE(Runs.Follow(Again, 3));
    Record(Runs, 2, 10, 10, Good);
    EXPECT_FALSE(Runs.Holds(2)) << "recorded while turning on";
    EXPECT_FALSE(Runs.Follow(Again, 3)) << "a pan after turns has no runs to replay";
    EXPECT_TRUE(Replayed(Runs, 2, 10, 10).empty());
    Record(Runs, 2, 10, 10, Good);
    EXPECT_TRUE(Runs.Follow(Again, 3));
    EXPECT_EQ(Replayed(Runs, 2, 12, 10), (TPieces{{{5, 4}, {7, 6}, {9, 9}}, {{-18, 1}, {-19, 2}}}));
}

}  // namespace
