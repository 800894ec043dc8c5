#pragma once
// Degrees read from files as OrvexUnits: the readers' inner loops convert millions of them.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/OXUtils.h"
#include "kernels/Versions.h"

// The fast conversion of the readers' inner loops: CheckedDegrees's result for a double, or
// false when the value needs the general way (then CheckedDegrees decides). Below half a degree
// a product in doubles is exact enough, unless it lies close to a half unit.
inline bool FastDegreesToUnits(double Degrees, int32_t& Units) {
    if (DoubleDegreesToUnits(Degrees, Units)) return true;
    if (!(std::fabs(Degrees) < 0.5)) return false;
    const double Product = Degrees * OrvexUnits::PerDegree;
    const double Rounded = std::round(Product);
    if (std::fabs(std::fabs(Product - Rounded) - 0.5) < 1e-6) return false;
    Units = static_cast<int32_t>(Rounded);
    return true;
}

// DoubleDegreesToUnits of two values: true, with both results, when both magnitudes lie in
// [0.5, 397); false (nothing written) otherwise.
inline bool PairDegreesToUnits(double X, double Y, int32_t& UnitsX, int32_t& UnitsY) {
    int32_t UX = 0, UY = 0;
    if (!DoubleDegreesToUnits(X, UX) || !DoubleDegreesToUnits(Y, UY)) return false;
    UnitsX = UX;
    UnitsY = UY;
    return true;
}

// A little-endian double at P.
inline double LittleEndianDouble(const char* P) {
    uint64_t Bits;
    std::memcpy(&Bits, P, 8);
    if constexpr (std::endian::native == std::endian::big) Bits = __builtin_bswap64(Bits);
    return std::bit_cast<double>(Bits);
}

// The same for two little-endian doubles at P.
inline bool PairDegreesToUnits(const char* P, int32_t& UnitsX, int32_t& UnitsY) {
    return PairDegreesToUnits(LittleEndianDouble(P), LittleEndianDouble(P + 8), UnitsX, UnitsY);
}

// Points from the little-endian (longitude, latitude) doubles at P, 16 bytes a point, for as
// long as both coordinates of each are degrees in PairDegreesToUnits's range: how many were
// written to Out (MakePoint's points, altitude 0).
int32_t DecodeDegreePairs(const char* P, int32_t Count, TPoint3D* Out);

namespace Kernels {
using TDecodeDegreePairsFn = int32_t(const char* P, int32_t Count, TPoint3D* Out);
std::vector<TKernelVersion<TDecodeDegreePairsFn>> DecodeDegreePairsVersions();
}  // namespace Kernels
