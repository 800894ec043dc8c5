#include "kernels/ChainBounds.h"

#include <algorithm>
#include <climits>

#include "kernels/Dispatch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

TChainBounds ChainBoundsPlain(const TPoint3D* Points, int32_t N) {
    TChainBounds B;
    for (int32_t I = 0; I < N; ++I) B.Add(Points[I].X, Points[I].Y);
    return B;
}

int64_t LargestStepPlain(const TPoint3D* Points, int32_t N) {
    int64_t Most = 0;
    for (int32_t I = 0; I + 1 < N; ++I) {
        const int64_t DLon = std::llabs(NormalizeLongitude(int64_t(Points[I + 1].X) - Points[I].X));
        const int64_t DLat = std::llabs(int64_t(Points[I + 1].Y) - Points[I].Y);
        Most = std::max(Most, DLon + DLat);
    }
    return Most;
}

#if defined(ORVEX_X86_KERNELS)
// Add widens a bound by one unit only when a point passes it, so a bound ends one unit beyond
// the extreme value unless a point one unit inside that value set it first, and the order
// matters only then. Where no point lies one unit inside an extreme, the bounds are the
// extremes widened: those are found eight points at a time.
struct TLimits {
    int32_t MinX = INT32_MAX, MaxX = INT32_MIN, MinY = INT32_MAX, MaxY = INT32_MIN;
};

// Eight points are 24 ints, three 256-bit words; every lane of a word always holds the same
// coordinate (x, y, z, x, y, z, ... from the first word on).
// The least and greatest coordinates of Points[0, N), N a positive multiple of 8.
__attribute__((target("avx2"))) TLimits WideLimits(const TPoint3D* Points, int32_t N) {
    const auto* P = reinterpret_cast<const __m256i*>(Points);
    __m256i Lo[3], Hi[3];
    for (int W = 0; W < 3; ++W) Lo[W] = Hi[W] = _mm256_loadu_si256(P + W);
    for (int32_t I = 8; I < N; I += 8) {
        P += 3;
        for (int W = 0; W < 3; ++W) {
            const __m256i V = _mm256_loadu_si256(P + W);
            Lo[W] = _mm256_min_epi32(Lo[W], V);
            Hi[W] = _mm256_max_epi32(Hi[W], V);
        }
    }
    int32_t Least[24], Greatest[24];
    for (int W = 0; W < 3; ++W) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Least + 8 * W), Lo[W]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Greatest + 8 * W), Hi[W]);
    }
    TLimits L;
    for (int K = 0; K < 24; K += 3) {
        L.MinX = std::min(L.MinX, Least[K]);
        L.MaxX = std::max(L.MaxX, Greatest[K]);
        L.MinY = std::min(L.MinY, Least[K + 1]);
        L.MaxY = std::max(L.MaxY, Greatest[K + 1]);
    }
    return L;
}

// Whether a point of Points[0, N) (N a positive multiple of 8) lies one unit inside a limit.
__attribute__((target("avx2"))) bool AnyOneInside(const TPoint3D* Points, int32_t N, const TLimits& L) {
    // The y lanes of each word take the latitude's value, the z lanes count for nothing.
    const __m256i LowX = _mm256_set1_epi32(L.MinX + 1), LowY = _mm256_set1_epi32(L.MinY + 1);
    const __m256i HighX = _mm256_set1_epi32(L.MaxX - 1), HighY = _mm256_set1_epi32(L.MaxY - 1);
    const __m256i LowV[3] = {_mm256_blend_epi32(LowX, LowY, 0x92), _mm256_blend_epi32(LowX, LowY, 0x24),
                             _mm256_blend_epi32(LowX, LowY, 0x49)};
    const __m256i HighV[3] = {_mm256_blend_epi32(HighX, HighY, 0x92), _mm256_blend_epi32(HighX, HighY, 0x24),
                              _mm256_blend_epi32(HighX, HighY, 0x49)};
    const __m256i UsedV[3] = {_mm256_setr_epi32(-1, -1, 0, -1, -1, 0, -1, -1),
                              _mm256_setr_epi32(0, -1, -1, 0, -1, -1, 0, -1),
                              _mm256_setr_epi32(-1, 0, -1, -1, 0, -1, -1, 0)};
    const auto* P = reinterpret_cast<const __m256i*>(Points);
    __m256i Found = _mm256_setzero_si256();
    for (int32_t I = 0; I < N; I += 8, P += 3)
        for (int W = 0; W < 3; ++W) {
            const __m256i V = _mm256_loadu_si256(P + W);
            const __m256i Hit = _mm256_or_si256(_mm256_cmpeq_epi32(V, LowV[W]), _mm256_cmpeq_epi32(V, HighV[W]));
            Found = _mm256_or_si256(Found, _mm256_and_si256(Hit, UsedV[W]));
        }
    return !_mm256_testz_si256(Found, Found);
}

// The box from the extremes of a long chain; false when the points must be added in order.
bool WideBounds(const TPoint3D* Points, int32_t N, TChainBounds& B) {
    if (N < 16) return false;
    const int32_t Whole = N & ~7;
    TLimits L = WideLimits(Points, Whole);
    for (int32_t I = Whole; I < N; ++I) {
        L.MinX = std::min(L.MinX, Points[I].X);
        L.MaxX = std::max(L.MaxX, Points[I].X);
        L.MinY = std::min(L.MinY, Points[I].Y);
        L.MaxY = std::max(L.MaxY, Points[I].Y);
    }
    // A fresh box's own bounds are one unit inside the int32 range's ends.
    if (L.MinX == INT32_MAX || L.MinY == INT32_MAX || L.MaxX <= INT32_MIN + 1 || L.MaxY <= INT32_MIN + 1) return false;
    if (AnyOneInside(Points, Whole, L)) return false;
    for (int32_t I = Whole; I < N; ++I) {
        const int32_t X = Points[I].X, Y = Points[I].Y;
        if (X == L.MinX + 1 || X == L.MaxX - 1 || Y == L.MinY + 1 || Y == L.MaxY - 1) return false;
    }
    B.MinX = int64_t(L.MinX) - 1;
    B.MaxX = int64_t(L.MaxX) + 1;
    B.MinY = int64_t(L.MinY) - 1;
    B.MaxY = int64_t(L.MaxY) + 1;
    return true;
}

__attribute__((target("avx2"))) inline __m256i Magnitude(__m256i V) {
    const __m256i Sign = _mm256_cmpgt_epi64(_mm256_setzero_si256(), V);
    return _mm256_sub_epi64(_mm256_xor_si256(V, Sign), Sign);
}

// Four steps at a time in 64-bit lanes: the wrapped longitude is cut to 32 bits as
// NormalizeLongitude cuts it.
__attribute__((target("avx2"))) int64_t LargestStepAvx2(const TPoint3D* Points, int32_t N) {
    const __m256i HalfUp = _mm256_set1_epi64x(OrvexUnits::Deg180 - 1), HalfDown = _mm256_set1_epi64x(-OrvexUnits::Deg180);
    const __m256i Turn = _mm256_set1_epi64x(OrvexUnits::Deg360), Zero = _mm256_setzero_si256();
    const __m256i LowHalves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    // Two words from point I on hold x0 y0 z0 x1 y1 z1 x2 y2 | z2 x3 y3 z3 x4 y4 z4 x5: the
    // longitudes and latitudes of points I to I + 3 and I + 1 to I + 4 are picked from them.
    const __m256i FromFirst = _mm256_setr_epi32(0, 3, 6, 0, 1, 4, 7, 0);
    const __m256i FromSecond = _mm256_setr_epi32(0, 0, 0, 1, 0, 0, 0, 2);
    const __m256i NextFromFirst = _mm256_setr_epi32(3, 6, 0, 0, 4, 7, 0, 0);
    const __m256i NextFromSecond = _mm256_setr_epi32(0, 0, 1, 4, 0, 0, 2, 5);
    __m256i Most = Zero;
    int32_t I = 0;
    for (; I + 5 < N; I += 4) {
        const auto* P = reinterpret_cast<const int32_t*>(Points + I);
        const __m256i A = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P));
        const __m256i B = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P + 8));
        const __m256i Here = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(A, FromFirst),
                                                _mm256_permutevar8x32_epi32(B, FromSecond), 0x88);
        const __m256i Next = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(A, NextFromFirst),
                                                _mm256_permutevar8x32_epi32(B, NextFromSecond), 0xCC);
        const __m256i X0 = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(Here));
        const __m256i Y0 = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(Here, 1));
        const __m256i X1 = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(Next));
        const __m256i Y1 = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(Next, 1));
        __m256i D = _mm256_sub_epi64(X1, X0);
        D = _mm256_sub_epi64(D, _mm256_and_si256(_mm256_cmpgt_epi64(D, HalfUp), Turn));
        D = _mm256_add_epi64(D, _mm256_and_si256(_mm256_cmpgt_epi64(HalfDown, D), Turn));
        D = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(D, LowHalves)));
        const __m256i Step = _mm256_add_epi64(Magnitude(D), Magnitude(_mm256_sub_epi64(Y1, Y0)));
        Most = _mm256_blendv_epi8(Most, Step, _mm256_cmpgt_epi64(Step, Most));
    }
    int64_t Lanes[4];
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Lanes), Most);
    const int64_t Wide = std::max(std::max(Lanes[0], Lanes[1]), std::max(Lanes[2], Lanes[3]));
    return std::max(Wide, LargestStepPlain(Points + I, N - I));
}

TChainBounds ChainBoundsAvx2(const TPoint3D* Points, int32_t N) {
    TChainBounds B;
    if (WideBounds(Points, N, B)) return B;
    for (int32_t I = 0; I < N; ++I) B.Add(Points[I].X, Points[I].Y);
    return B;
}
#endif

constexpr TKernelVersion<Kernels::TLargestStepFn> kStepVersions[] = {
    {"plain", LargestStepPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2", LargestStepAvx2, TKernelNeeds::Avx2},
#endif
};

constexpr TKernelVersion<Kernels::TChainBoundsFn> kVersions[] = {
    {"plain", ChainBoundsPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2", ChainBoundsAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

TChainBounds ChainBounds(const TPoint3D* Points, int32_t N) {
    return TKernelEntry<Kernels::TChainBoundsFn, kVersions>::Call(Points, N);
}

std::vector<TKernelVersion<Kernels::TChainBoundsFn>> Kernels::ChainBoundsVersions() { return RunnableVersions(kVersions); }

int64_t LargestStep(const TPoint3D* Points, int32_t N) {
    return TKernelEntry<Kernels::TLargestStepFn, kStepVersions>::Call(Points, N);
}

std::vector<TKernelVersion<Kernels::TLargestStepFn>> Kernels::LargestStepVersions() { return RunnableVersions(kStepVersions); }
