#pragma once
// PairDegreesToUnits in the compiler's generic vectors, both coordinates side by side: for the
// kernels' vector versions only (kernels/DegreePairs.h has the plain one, which defines it).

#include <bit>
#include <cstdint>
#include <cstring>

#include "kernels/DegreePairs.h"
#include "kernels/Dispatch.h"

#if defined(ORVEX_VECTOR_KERNELS)
namespace VectorDegrees {
using TDouble2 = double __attribute__((vector_size(16)));
using TInt64x2 = int64_t __attribute__((vector_size(16)));
using TInt32x2 = int32_t __attribute__((vector_size(8)));
using TDouble4 = double __attribute__((vector_size(32)));
using TInt64x4 = int64_t __attribute__((vector_size(32)));
using TInt32x4 = int32_t __attribute__((vector_size(16)));

// The conversion for any number of lanes: the rounded wholes, and in In the lanes whose
// magnitude lies in [0.5, 397) (only those results count). The product with 5,400,000 is taken
// exactly in two doubles: the degrees without their low 17 mantissa bits times the factor (a
// 17-bit odd number times 2^6) needs at most 53 bits, and so do those low bits times it. The
// high product rounded to a whole, what it leaves and the low product sum exactly (below 1, in
// steps of no less than 2^-47), so that sum alone decides the rounding, half to even. By
// reference and with the built-in bit cast, so that wide vectors need no calling convention of
// their own.
template <class TDoubles, class TInts>
inline void RoundedUnits(const TDoubles& D, TDoubles& Rounded, TInts& In) {
    // Constants as whole vectors: the compiler then takes them from memory as they are.
    constexpr TDoubles Low = TDoubles{} + 0.5, Limit = TDoubles{} + 397.0,
                       NegativeHalf = TDoubles{} + -0.5;
    constexpr TDoubles Factor = TDoubles{} + double(OrvexUnits::PerDegree);
    constexpr TDoubles Round = TDoubles{} + 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to a whole
    constexpr TInts NoSign = TInts{} + INT64_MAX, HighMask = TInts{} + ~int64_t(0x1FFFF);
    constexpr TInts OneBits = TInts{} + std::bit_cast<int64_t>(1.0);
    const auto Bits = __builtin_bit_cast(TInts, D);
    const auto Abs = __builtin_bit_cast(TDoubles, Bits & NoSign);
    In = (Abs >= Low) & (Abs < Limit);
    const auto High = __builtin_bit_cast(TDoubles, Bits & HighMask);
    const TDoubles HighProduct = High * Factor;
    const TDoubles LowProduct = (D - High) * Factor;
    const TDoubles Whole = (HighProduct + Round) - Round;
    const TDoubles Rest = (HighProduct - Whole) + LowProduct;
    const TDoubles Half = Whole * Low;
    const TInts Odd = Half != (Half + Round) - Round;
    const TInts Up = ((Rest > Low) | ((Rest == Low) & Odd)) & OneBits;
    const TInts Down = ((Rest < NegativeHalf) | ((Rest == NegativeHalf) & Odd)) & OneBits;
    Rounded = Whole + (__builtin_bit_cast(TDoubles, Up) - __builtin_bit_cast(TDoubles, Down));
}

// PairDegreesToUnits of the two lanes of D.
inline bool PairToUnits(TDouble2 D, int32_t& UnitsX, int32_t& UnitsY) {
    TDouble2 Rounded;
    TInt64x2 In;
    RoundedUnits(D, Rounded, In);
    if ((In[0] & In[1]) == 0) return false;
    const TInt32x2 Units = __builtin_convertvector(Rounded, TInt32x2);  // below 2^31 in magnitude
    UnitsX = Units[0];
    UnitsY = Units[1];
    return true;
}

inline bool PairToUnits(double X, double Y, int32_t& UnitsX, int32_t& UnitsY) {
    return PairToUnits(TDouble2{X, Y}, UnitsX, UnitsY);
}

// The same for two little-endian doubles at P.
inline bool PairToUnits(const char* P, int32_t& UnitsX, int32_t& UnitsY) {
    TDouble2 D;
    std::memcpy(&D, P, sizeof D);
    if constexpr (std::endian::native == std::endian::big) D = TDouble2{LittleEndianDouble(P), LittleEndianDouble(P + 8)};
    return PairToUnits(D, UnitsX, UnitsY);
}
}  // namespace VectorDegrees
#endif
