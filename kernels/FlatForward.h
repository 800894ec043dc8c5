#pragma once
// The flat maps' forward formulas, a block of points at a time: drawing projects hundreds of
// thousands of chain points a frame. For the maps that take sines and cosines (sinusoidal, Albers,
// Bonne, azimuthal equidistant) their trigonometry is most of it; for the plain longitude and
// latitude map it is the tests and branches of placing points one by one.

#include <cstdint>
#include <vector>

#include "foundation/OXUtils.h"
#include "kernels/Versions.h"

// One map's forward formula with its constants, as the projection fills it in. Left
// uninitialised: the extent tests make one for every object of a layer, most of them for maps
// that have no such formula.
struct TFlatForward {
    enum TKind : uint8_t { Sinusoidal, Albers, Bonne, Equidistant, Cartesian };
    TKind Kind;
    int32_t CentralMeridian;
    // The points placed: longitudes and latitudes as stored, in units, inclusive.
    int64_t MinLongitude, MaxLongitude, MinLatitude, MaxLatitude;
    double PixelsPerRadian;  // the scale
    double XOrigin, YOrigin;
    // Albers: the cone constant n, C and the origin's radius. Bonne: cot(phi1) and phi1.
    double A, B, C;
};

// Pixels are written only where they stay within +-Limit.
constexpr double FlatPixelLimit = 1073741823;

// For each of Points[0, N): its pixel in XY[2i], XY[2i+1] and Sure[i] = 1, or Sure[i] = 0 where
// the projection's own point-by-point way must decide (outside the extents, arithmetic that
// fails, a pixel beyond the limit, the equidistant map's centre and antipode, an offset within a
// hair of a half pixel). A sure pixel is the formula's offsets times the scale, rounded to
// nearest even, plus the origin: the pixel the projection gives.
void ProjectFlat(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure);

namespace Kernels {
using TProjectFlatFn = void(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure);
std::vector<TKernelVersion<TProjectFlatFn>> ProjectFlatVersions();
}  // namespace Kernels
