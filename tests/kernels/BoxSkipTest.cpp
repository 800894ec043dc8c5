// The run of points inside a box, from every version: where the plain test first finds one
// outside.
#include "KernelTests.h"
#include "kernels/BoxSkip.h"

namespace {

constexpr int32_t Half = OrvexUnits::Deg180;

// Coordinates near the box's edges, at the seam, past half a turn, and at the int32 ends.
int32_t Coordinate(TRandom& R, int Kind, int32_t Edge) {
    switch (Kind) {
        case 0: return Edge + R.Between(-2, 2);
        case 1: return R.Between(-Half - 2, Half + 2);
        case 2: return R.Below(2) ? Half - R.Between(0, 2) : -Half + R.Between(-2, 2);
        case 3: return R.Below(2) ? INT32_MAX - R.Between(0, 2) : INT32_MIN + R.Between(0, 2);
        default: return Edge + R.Between(-1000, 1000);
    }
}

}  // namespace

// Boxes across the seam and the meridian, meridians and corners beyond half a turn (where the
// wide version must step aside), runs that end in every lane and in the tail.
TEST(BoxSkipKernel, EveryVersionStopsAtTheFirstPointOutside) {
    ForEachFastVersion(Kernels::SkipInsideBoxVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(17);
        for (int Trial = 0; Trial < 20000; ++Trial) {
            TSkipBox Box;
            Box.Meridian = Trial % 7 == 0 ? R.Between(INT32_MIN, INT32_MAX) : R.Between(-Half, Half);
            Box.West = Trial % 11 == 0 ? int64_t(R.Between(INT32_MIN, INT32_MAX)) : R.Between(-Half, Half - 1);
            Box.Width = Trial % 13 == 0 ? uint64_t(R.Next()) : uint64_t(R.Between(0, 3000));
            Box.South = Trial % 5 == 0 ? int64_t(R.Between(-2 * Half, 2 * Half)) : R.Between(-Half / 2, Half / 2);
            Box.Height = uint64_t(R.Between(0, 3000));
            const int32_t N = R.Between(0, 70), From = N ? R.Between(0, N) : 0;
            // Mostly points inside, so that runs are long, then one outside.
            std::vector<TPoint3D> Points(static_cast<size_t>(N));
            for (TPoint3D& P : Points) {
                const int64_t Lon = Box.West + int64_t(R.Below(Box.Width + 1));
                P = TPoint3D{NormalizeLongitude(Lon + Box.Meridian), int32_t(Box.South + int64_t(R.Below(Box.Height + 1))),
                             int32_t(R.Next())};
                if (R.Below(20) == 0) P.X = Coordinate(R, int(R.Below(5)), int32_t(Box.West + Box.Meridian));
                if (R.Below(20) == 0) P.Y = Coordinate(R, int(R.Below(5)), int32_t(Box.South));
            }
            int32_t Expected = From;
            while (Expected < N && Box.Holds(Points[size_t(Expected)])) ++Expected;
            ASSERT_EQ(Plain(Points.data(), From, N, Box), Expected) << Trial;
            ASSERT_EQ(Fast(Points.data(), From, N, Box), Expected) << Trial;
        }
    });
}
