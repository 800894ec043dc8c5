#pragma once
// The run of a chain's points that stays inside a box of longitudes (taken from a meridian) and
// latitudes: the points a projection's chain thinning passes over without projecting them.

#include <cstdint>
#include <vector>

#include "foundation/OXUtils.h"
#include "kernels/Versions.h"

// Longitudes from Meridian, normalised, within [West, West + Width]; latitudes within
// [South, South + Height].
struct TSkipBox {
    int32_t Meridian;
    int64_t West;
    uint64_t Width;
    int64_t South;
    uint64_t Height;

    bool Holds(const TPoint3D& P) const {
        const int64_t Longitude = NormalizeLongitude(int64_t(P.X) - Meridian);
        return uint64_t(Longitude - West) <= Width && uint64_t(int64_t(P.Y) - South) <= Height;
    }
};

// SkipInsideBox past a first point the box holds: the chosen kernel.
int32_t SkipInsideBoxKernel(const TPoint3D* Points, int32_t From, int32_t N, const TSkipBox& Box);

// The first index in [From, N) whose point Box does not hold; N when it holds them all. On
// chains thinned to about a pixel, most calls find the first point outside, which costs less
// tested here than in a call.
inline int32_t SkipInsideBox(const TPoint3D* Points, int32_t From, int32_t N, const TSkipBox& Box) {
    if (From >= N || !Box.Holds(Points[From])) return From;
    return SkipInsideBoxKernel(Points, From + 1, N, Box);
}

namespace Kernels {
using TSkipInsideBoxFn = int32_t(const TPoint3D* Points, int32_t From, int32_t N, const TSkipBox& Box);
std::vector<TKernelVersion<TSkipInsideBoxFn>> SkipInsideBoxVersions();
}  // namespace Kernels
