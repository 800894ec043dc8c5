// A chain's box from every version: the box of adding the points in order.
#include <algorithm>

#include "KernelTests.h"
#include "kernels/ChainBounds.h"

namespace {

bool Same(const TChainBounds& A, const TChainBounds& B) {
    return A.MinX == B.MinX && A.MinY == B.MinY && A.MaxX == B.MaxX && A.MaxY == B.MaxY;
}

// Coordinates of one kind: crowded on a few values (points one unit inside an extreme then come
// before and after it), spread wide, or at the ends of the int32 range.
int32_t Coordinate(TRandom& R, int Kind) {
    switch (Kind) {
        case 0: return R.Between(-2, 2);
        case 1: return R.Between(-400000, 400000) * 1000;
        case 2: return INT32_MAX - R.Between(0, 2);
        case 3: return INT32_MIN + R.Between(0, 2);
        default: return R.Between(-3, 3) * 100;
    }
}

}  // namespace

// Lengths around the eight-point words and the sixteen points the wide version needs, tails of
// every length, and the int32 ends where a fresh box's own bounds decide.
TEST(ChainBoundsKernel, EveryVersionGivesTheBoxOfAddingInOrder) {
    ForEachFastVersion(Kernels::ChainBoundsVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(9);
        const int32_t Lengths[] = {0, 1, 2, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 67};
        for (int Trial = 0; Trial < 20000; ++Trial) {
            const int32_t N = Trial < 16 * 25 ? Lengths[Trial % 16] : R.Between(0, 80);
            const int KindX = Trial / 16 % 5, KindY = int(R.Below(5));
            std::vector<TPoint3D> Points(static_cast<size_t>(N));
            for (TPoint3D& P : Points) P = {Coordinate(R, KindX), Coordinate(R, KindY), int32_t(R.Next())};
            // Now and then a point one unit inside the least longitude comes last, in the tail.
            if (N > 16 && R.Below(4) == 0) {
                const int32_t Least = std::min_element(Points.begin(), Points.end(), [](auto& A, auto& B) {
                                          return A.X < B.X;
                                      })->X;
                if (Least < INT32_MAX) Points.back().X = Least + 1;
            }
            TChainBounds Expected;
            for (const TPoint3D& P : Points) Expected.Add(P.X, P.Y);
            ASSERT_TRUE(Same(Plain(Points.data(), N), Expected)) << Trial;
            const TChainBounds Got = Fast(Points.data(), N);
            ASSERT_TRUE(Same(Got, Expected)) << Trial << " of " << N << ": " << Got.MinX << " " << Got.MaxX << " "
                                             << Got.MinY << " " << Got.MaxY;
        }
    });
}

// Steps that wrap across the date line either way, longitudes far outside a turn (where the
// wrapped difference no longer fits 32 bits and is cut as NormalizeLongitude cuts it), and
// chains of every length around the four-step words.
TEST(ChainBoundsKernel, EveryVersionFindsTheLongestStepOfThePlainWalk) {
    ForEachFastVersion(Kernels::LargestStepVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(31);
        for (int Trial = 0; Trial < 20000; ++Trial) {
            const int32_t N = Trial < 400 ? Trial % 20 : R.Between(0, 60);
            const int KindX = Trial % 5, KindY = int(R.Below(5));
            std::vector<TPoint3D> Points(static_cast<size_t>(N));
            for (TPoint3D& P : Points) {
                P = {Coordinate(R, KindX), Coordinate(R, KindY), 0};
                if (KindX == 4) P.X = R.Below(2) ? OrvexUnits::Deg180 - R.Between(0, 3) : -OrvexUnits::Deg180 + R.Between(0, 3);
            }
            // The longest step placed anywhere, the last step included.
            if (N > 1 && R.Below(3) == 0) Points[size_t(R.Below(uint32_t(N)))].X = Coordinate(R, int(R.Below(4)));
            ASSERT_EQ(Plain(Points.data(), N), Fast(Points.data(), N)) << Trial << " of " << N;
        }
    });
}
