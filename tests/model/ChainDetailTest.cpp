// A chain's coarser copies: a copy that leaves out a point farther than its cell from the line
// draws a coast off its place; one that keeps too much saves nothing; a stale copy draws a
// chain where it was before an edit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "model/ChainDetail.h"

namespace {

constexpr int32_t Deg = OrvexUnits::PerDegree;

std::vector<TPoint3D> Walk(int32_t Lon, int32_t Lat, int Count, int32_t Step, uint32_t Seed) {
    std::mt19937 Random(Seed);
    std::uniform_int_distribution<int32_t> D(-Step, Step);
    std::vector<TPoint3D> Points;
    for (int I = 0; I < Count; ++I) {
        Lon = NormalizeLongitude(int64_t(Lon) + D(Random));
        Lat = std::clamp(Lat + D(Random), -89 * Deg, 89 * Deg);
        Points.push_back(TPoint3D{Lon, Lat, 7});
    }
    return Points;
}

int64_t Apart(const TPoint3D& A, const TPoint3D& B) {
    return std::max(std::llabs(NormalizeLongitude(int64_t(A.X) - B.X)), std::llabs(int64_t(A.Y) - B.Y));
}

TEST(ChainDetail, EveryPointLeftOutLiesWithinACellOfTheLastOneKept) {
    const struct {
        const char* Name;
        std::vector<TPoint3D> Points;
        int Level;
    } Cases[] = {
        {"fine steps, coarse cell", Walk(10 * Deg, 40 * Deg, 5000, 2000, 1), 16},
        {"steps of about a cell", Walk(-60 * Deg, -20 * Deg, 5000, 60000, 2), 15},
        {"steps larger than the cell", Walk(0, 0, 2000, 400000, 3), 12},
        {"back and forth across the date line", Walk(180 * Deg - 1000, 5 * Deg, 5000, 30000, 4), 17},
        {"near a pole", Walk(0, 88 * Deg, 5000, 30000, 5), 17},
    };
    std::vector<TPoint3D> Kept;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const int32_t N = int32_t(C.Points.size());
        ThinToOctave(C.Points.data(), N, C.Level, Kept);
        ASSERT_GE(Kept.size(), 2u);
        EXPECT_EQ(Kept.front(), C.Points.front());
        EXPECT_EQ(Kept.back(), C.Points.back());
        const int64_t Cell = int64_t(1) << C.Level;
        // A chain a few cells across keeps its outermost points too, wherever they lie.
        bool Small = true;
        for (const TPoint3D& P : C.Points) Small = Small && Apart(P, C.Points[0]) <= SmallDetailCells * Cell;
        // The copy is the chain's own points in their order; each point left out lies within
        // a cell of the kept point before it, and each kept one is a cell or more from it.
        size_t K = 0;
        for (int32_t I = 0; I < N; ++I) {
            if (K < Kept.size() && C.Points[I] == Kept[K]) {
                if (K > 0 && I < N - 1 && !Small) {
                    EXPECT_GE(Apart(Kept[K], Kept[K - 1]), Cell) << "kept point " << I;
                }
                ++K;
                continue;
            }
            ASSERT_GT(K, 0u);
            EXPECT_LT(Apart(C.Points[I], Kept[K - 1]), Cell) << "point " << I << " left out";
        }
        EXPECT_EQ(K, Kept.size()) << "the copy holds a point the chain does not, or out of order";
    }
}

TEST(ChainDetail, IslandsAFewCellsAcrossKeepTheirOutermostPoints) {
    // A ring three cells across: a copy of its cell-apart points alone could stop short of its
    // edges and, drawn, miss the pixels that the island's own points reach.
    constexpr int Level = 16;
    std::vector<TPoint3D> Ring;
    for (int I = 0; I < 400; ++I) {
        const double A = 2 * M_PI * I / 400;
        Ring.push_back(TPoint3D{int32_t(100000 * std::cos(A) + 3000 * std::sin(7 * A)), int32_t(100000 * std::sin(A)), 0});
    }
    Ring.push_back(Ring.front());
    std::vector<TPoint3D> Kept;
    ThinToOctave(Ring.data(), int32_t(Ring.size()), Level, Kept);
    EXPECT_LT(Kept.size(), Ring.size() / 4);
    // Outermost westward, eastward, southward, northward, south-westward and south-eastward.
    const int Directions[][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}};
    for (const auto& D : Directions) {
        const TPoint3D Far = *std::max_element(Ring.begin(), Ring.end(), [&](const TPoint3D& A, const TPoint3D& B) {
            return int64_t(D[0]) * A.X + int64_t(D[1]) * A.Y < int64_t(D[0]) * B.X + int64_t(D[1]) * B.Y;
        });
        EXPECT_NE(std::find(Kept.begin(), Kept.end(), Far), Kept.end()) << D[0] << "," << D[1];
    }
}

TEST(ChainDetail, CopiesAreKeptPerOctaveAndBuiltAgainForNewPoints) {
    std::vector<TPoint3D> Points = Walk(0, 0, 4000, 30000, 9);
    std::vector<TPoint3D> Scratch;
    TChainDetail Detail;
    TPointChain* Coarse = Detail.At(Points.data(), int32_t(Points.size()), 18, Scratch);
    ASSERT_NE(Coarse, nullptr);
    const TPoint3D* CoarseArray = Coarse->Points();
    const int32_t CoarseCount = Coarse->Count();
    TPointChain* Finer = Detail.At(Points.data(), int32_t(Points.size()), 16, Scratch);
    ASSERT_NE(Finer, nullptr);
    EXPECT_GT(Finer->Count(), CoarseCount);
    // Zooming in and out by turns uses the two copies it has, without building either again.
    const TPointChain* Again = Detail.At(Points.data(), int32_t(Points.size()), 18, Scratch);
    ASSERT_NE(Again, nullptr);
    EXPECT_EQ(Again->Points(), CoarseArray);
    EXPECT_EQ(Again->Count(), CoarseCount);

    // Points added: the copy is of the new chain.
    Points.push_back(TPoint3D{90 * Deg, 45 * Deg, 0});
    const TPointChain* Grown = Detail.At(Points.data(), int32_t(Points.size()), 18, Scratch);
    ASSERT_NE(Grown, nullptr);
    EXPECT_EQ(Grown->Points()[Grown->Count() - 1], Points.back());

    // Where the copy would keep more than half the points it is not made.
    const std::vector<TPoint3D> Sparse = Walk(0, 0, 100, 2000000, 3);
    EXPECT_EQ(Detail.At(Sparse.data(), int32_t(Sparse.size()), 4, Scratch), nullptr);
}

// The copy used last is answered again without a search, frame after frame: only for the very
// points and level it was made for. A chain one point shorter in the same array, another level,
// or a copy that did not pay must not be answered with it.
TEST(ChainDetail, TheCopyUsedLastIsAnsweredAgainOnlyForItsOwnPointsAndLevel) {
    const std::vector<TPoint3D> Points = Walk(0, 0, 4000, 30000, 13);
    const int32_t N = int32_t(Points.size());
    std::vector<TPoint3D> Scratch;
    TChainDetail Detail;
    const TPointChain* First = Detail.At(Points.data(), N, 18, Scratch);
    ASSERT_NE(First, nullptr);
    const TPoint3D* Copy = First->Points();
    EXPECT_EQ(Detail.At(Points.data(), N, 18, Scratch)->Points(), Copy) << "built again";
    const TPointChain* Shorter = Detail.At(Points.data(), N - 1, 18, Scratch);
    ASSERT_NE(Shorter, nullptr);
    EXPECT_EQ(Shorter->Points()[Shorter->Count() - 1], Points[size_t(N) - 2]) << "the copy of the longer chain";
    // (The copy answered is a slot, which the next question may fill with another.)
    const int32_t ShorterCount = Shorter->Count();
    const TPointChain* Finer = Detail.At(Points.data(), N - 1, 16, Scratch);
    ASSERT_NE(Finer, nullptr);
    EXPECT_GT(Finer->Count(), ShorterCount) << "the copy of another level";
    const std::vector<TPoint3D> Sparse = Walk(0, 0, 100, 2000000, 3);
    for (int Ask = 0; Ask < 2; ++Ask)
        EXPECT_EQ(Detail.At(Sparse.data(), int32_t(Sparse.size()), 4, Scratch), nullptr) << Ask;
}

// Copies built ahead of the next wheel notch: a prepared copy that differed from the one a frame
// builds would change the picture, and one that pushed out the copy in use (or that a frame then
// built again) would cost the frame it was meant to spare.
TEST(ChainDetail, PreparedCopiesAreTheOnesAFrameBuildsAndKeepTheOneInUse) {
    const std::vector<TPoint3D> Points = Walk(0, 0, 4000, 30000, 11);
    const int32_t N = int32_t(Points.size());
    std::vector<TPoint3D> Scratch;
    TChainDetail Detail, Fresh;
    const TPoint3D* InUse = Detail.At(Points.data(), N, 17, Scratch)->Points();
    EXPECT_GT(Detail.Prepare(Points.data(), N, 16, Scratch), 0);
    EXPECT_GT(Detail.Prepare(Points.data(), N, 18, Scratch), 0);
    EXPECT_EQ(Detail.Prepare(Points.data(), N, 18, Scratch), -1) << "built twice";
    EXPECT_EQ(Detail.At(Points.data(), N, 17, Scratch)->Points(), InUse);
    for (const int Level : {16, 18}) {
        const TPointChain* Prepared = Detail.At(Points.data(), N, Level, Scratch);
        const TPointChain* Built = Fresh.At(Points.data(), N, Level, Scratch);
        ASSERT_EQ(Prepared->Count(), Built->Count()) << Level;
        EXPECT_TRUE(std::equal(Prepared->Points(), Prepared->Points() + Prepared->Count(), Built->Points())) << Level;
    }
    // Zoomed in to 16, the next notches may go to 15 or back to 17: the three and the one
    // before are held; the oldest, 18, makes way.
    ASSERT_NE(Detail.At(Points.data(), N, 16, Scratch), nullptr);
    EXPECT_GT(Detail.Prepare(Points.data(), N, 15, Scratch), 0);
    EXPECT_EQ(Detail.Prepare(Points.data(), N, 17, Scratch), -1);
    for (const int Level : {15, 16, 17}) EXPECT_TRUE(Detail.Holds(Points.data(), N, Level)) << Level;
    EXPECT_GE(Detail.Prepare(Points.data(), N, 14, Scratch), 0) << "built, if too fine to pay";
    EXPECT_FALSE(Detail.Holds(Points.data(), N, 18));
    EXPECT_TRUE(Detail.Holds(Points.data(), N, 16)) << "the copy in use";
    // Other points: nothing held is theirs.
    const std::vector<TPoint3D> Other = Walk(5, 5, 4000, 30000, 12);
    EXPECT_FALSE(Detail.Holds(Other.data(), N, 16));
}

}  // namespace
