#include "kernels/DegreePairs.h"

#include "kernels/Dispatch.h"
#include "kernels/VectorDegrees.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

// One point at a time with Pair; a loop without calls, so that its constants stay in registers.
template <bool (*Pair)(const char*, int32_t&, int32_t&)>
int32_t DecodeOneByOne(const char* P, int32_t Count, TPoint3D* Out) {
    int32_t I = 0;
    for (int32_t Longitude, Latitude; I < Count && Pair(P, Longitude, Latitude); ++I, P += 16)
        Out[I] = MakePoint(Longitude, Latitude);
    return I;
}

int32_t DecodePlain(const char* P, int32_t Count, TPoint3D* Out) {
    return DecodeOneByOne<PairDegreesToUnits>(P, Count, Out);
}

#if defined(ORVEX_VECTOR_KERNELS)
int32_t DecodeVectors(const char* P, int32_t Count, TPoint3D* Out) {
    return DecodeOneByOne<VectorDegrees::PairToUnits>(P, Count, Out);
}
#endif

#if defined(ORVEX_X86_KERNELS)
// Two points in one 256-bit conversion; a pair with a coordinate out of range, and an odd last
// point, go one by one.
__attribute__((target("avx2"))) int32_t DecodeAvx2(const char* P, int32_t Count, TPoint3D* Out) {
    using namespace VectorDegrees;
    int32_t I = 0;
    for (; I + 2 <= Count; I += 2, P += 32) {
        TDouble4 D;
        std::memcpy(&D, P, sizeof D);
        TDouble4 Rounded;
        TInt64x4 In;
        RoundedUnits(D, Rounded, In);
        if (_mm256_movemask_pd(_mm256_castsi256_pd(__m256i(In))) != 0xF) break;
        TInt32x4 Units = __builtin_convertvector(Rounded, TInt32x4);  // below 2^31 in magnitude
        // MakePoint's longitude rule on the longitudes, then the two points with altitude 0.
        constexpr TInt32x4 Longitudes = {-1, 0, -1, 0};
        Units += (((Units >= OrvexUnits::Deg180) & -OrvexUnits::Deg360) |
                  ((Units < -OrvexUnits::Deg180) & OrvexUnits::Deg360)) &
                 Longitudes;
        static_assert(sizeof(TPoint3D) == 12);
        const TInt32x4 First = __builtin_shufflevector(Units, TInt32x4{}, 0, 1, 4, 2);
        const TInt32x2 Second = __builtin_shufflevector(Units, TInt32x4{}, 3, 4);
        std::memcpy(reinterpret_cast<char*>(Out + I), &First, sizeof First);
        std::memcpy(reinterpret_cast<char*>(Out + I) + sizeof First, &Second, sizeof Second);
    }
    return I + DecodeVectors(P, Count - I, Out + I);
}
#endif

constexpr TKernelVersion<Kernels::TDecodeDegreePairsFn> kVersions[] = {
    {"plain", DecodePlain, TKernelNeeds::Nothing},
#if defined(ORVEX_VECTOR_KERNELS)
    {"vectors", DecodeVectors, TKernelNeeds::Vectors},
#endif
#if defined(ORVEX_X86_KERNELS)
    {"avx2", DecodeAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

int32_t DecodeDegreePairs(const char* P, int32_t Count, TPoint3D* Out) {
    return TKernelEntry<Kernels::TDecodeDegreePairsFn, kVersions>::Call(P, Count, Out);
}

std::vector<TKernelVersion<Kernels::TDecodeDegreePairsFn>> Kernels::DecodeDegreePairsVersions() {
    return RunnableVersions(kVersions);
}
