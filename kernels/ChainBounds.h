#pragma once
// The box of a chain's points, as model objects and readers gather it.

#include <cstdint>
#include <vector>

#include "foundation/OXUtils.h"
#include "kernels/Versions.h"

// A chain's box as CalcExtents builds it, point by point in chain order: each bound is widened
// by one unit when it is set. Readers that decode a chain gather it on the way.
struct TChainBounds {
    int64_t MinX = 2147483647, MinY = 2147483647, MaxX = -2147483647, MaxY = -2147483647;

    void Add(int32_t X, int32_t Y) {
        MinX = X < MinX ? int64_t(X) - 1 : MinX;
        MaxX = X > MaxX ? int64_t(X) + 1 : MaxX;
        MinY = Y < MinY ? int64_t(Y) - 1 : MinY;
        MaxY = Y > MaxY ? int64_t(Y) + 1 : MaxY;
    }
    // Whether the date-line detector counts the step from longitude Prev to X as a crossing:
    // its quadrants are below 0 up to -90 degrees and above 0 from 90 on.
    static bool Crosses(int32_t Prev, int32_t X) {
        constexpr int32_t East = OrvexUnits::Deg90, West = -OrvexUnits::Deg90;
        return (Prev >= East && X <= West) || (Prev <= West && X >= East);
    }
};

// TChainBounds::Add over Points[0, N) in order, from a fresh box.
TChainBounds ChainBounds(const TPoint3D* Points, int32_t N);

// The longest step of Points[0, N) in units: the longitude's difference, wrapped once into a
// half turn either way (NormalizeLongitude), plus the latitude's, both taken positive. 0 for
// fewer than two points.
int64_t LargestStep(const TPoint3D* Points, int32_t N);

namespace Kernels {
using TChainBoundsFn = TChainBounds(const TPoint3D* Points, int32_t N);
std::vector<TKernelVersion<TChainBoundsFn>> ChainBoundsVersions();
using TLargestStepFn = int64_t(const TPoint3D* Points, int32_t N);
std::vector<TKernelVersion<TLargestStepFn>> LargestStepVersions();
}  // namespace Kernels
