#include "kernels/BoxSkip.h"

#include "kernels/Dispatch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

int32_t SkipInsideBoxPlain(const TPoint3D* Points, int32_t From, int32_t N, const TSkipBox& Box) {
    int32_t I = From;
    while (I < N && Box.Holds(Points[I])) ++I;
    return I;
}

#if defined(ORVEX_X86_KERNELS)
// How far ahead of the points being tested their lines are asked for. A chain's points are
// read once, front to back, and the processor's own prefetching keeps too few lines on the way
// to fill the time memory takes: asking 4 KiB ahead drew the first frame of 100 M points a
// quarter faster. Past a chain's end the lines are those of the chains after it, which a
// layer file's order draws next.
constexpr uintptr_t PrefetchAhead = 4096;

// Eight points at a time in 32-bit lanes. That is exact while the meridian, the box's corner and
// the coordinates lie within half a turn of 0 (a unit more for the coordinates) and the box is
// narrower than a turn: every difference then fits, and a negative one reads as too large
// unsigned, as it does in 64 bits. From eight points that do not qualify on, the plain test runs.
__attribute__((target("avx2"))) int32_t SkipInsideBoxAvx2(const TPoint3D* Points, int32_t From, int32_t N,
                                                           const TSkipBox& Box) {
    constexpr int64_t Half = OrvexUnits::Deg180, Turn = OrvexUnits::Deg360;
    const bool Fits = Box.Meridian >= -Half && Box.Meridian <= Half && Box.West >= -Half && Box.West <= Half &&
                      Box.South >= -Half && Box.South <= Half && Box.Width < uint64_t(Turn) &&
                      Box.Height < uint64_t(Turn);
    int32_t I = From;
    if (Fits) {
        // Lanes of the three words of eight points (x y z x y z ...) that hold x and y, and the
        // order that puts them back in point order.
        const __m256i XOrder = _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5);
        const __m256i YOrder = _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6);
        const __m256i Meridian = _mm256_set1_epi32(Box.Meridian);
        const __m256i West = _mm256_set1_epi32(int32_t(Box.West)), South = _mm256_set1_epi32(int32_t(Box.South));
        const __m256i Width = _mm256_set1_epi32(int32_t(Box.Width)), Height = _mm256_set1_epi32(int32_t(Box.Height));
        const __m256i Low = _mm256_set1_epi32(int32_t(-Half) - 1), High = _mm256_set1_epi32(int32_t(Half) + 1);
        const __m256i HalfV = _mm256_set1_epi32(int32_t(Half)), MinusHalf = _mm256_set1_epi32(int32_t(-Half));
        const __m256i TurnV = _mm256_set1_epi32(int32_t(Turn));
        for (; I + 8 <= N; I += 8) {
            const auto* P = reinterpret_cast<const __m256i*>(Points + I);
            _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(P) + PrefetchAhead), _MM_HINT_T0);
            const __m256i A = _mm256_loadu_si256(P), B = _mm256_loadu_si256(P + 1), C = _mm256_loadu_si256(P + 2);
            const __m256i X = _mm256_permutevar8x32_epi32(
                _mm256_blend_epi32(_mm256_blend_epi32(A, B, 0x92), C, 0x24), XOrder);
            const __m256i Y = _mm256_permutevar8x32_epi32(
                _mm256_blend_epi32(_mm256_blend_epi32(A, B, 0x24), C, 0x49), YOrder);
            // Coordinates beyond half a turn: these eight go the careful way.
            const __m256i Out = _mm256_or_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(Low, X), _mm256_cmpgt_epi32(X, High)),
                _mm256_or_si256(_mm256_cmpgt_epi32(Low, Y), _mm256_cmpgt_epi32(Y, High)));
            if (!_mm256_testz_si256(Out, Out)) break;
            __m256i D = _mm256_sub_epi32(X, Meridian);
            // One turn back into [-180, 180) degrees, as NormalizeLongitude does.
            D = _mm256_sub_epi32(D, _mm256_andnot_si256(_mm256_cmpgt_epi32(HalfV, D), TurnV));
            D = _mm256_add_epi32(D, _mm256_and_si256(_mm256_cmpgt_epi32(MinusHalf, D), TurnV));
            const __m256i U = _mm256_sub_epi32(D, West), V = _mm256_sub_epi32(Y, South);
            const __m256i Inside = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_max_epu32(U, Width), Width),
                                                    _mm256_cmpeq_epi32(_mm256_max_epu32(V, Height), Height));
            const unsigned Outside = ~unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(Inside))) & 0xFFu;
            if (Outside) return I + __builtin_ctz(Outside);
        }
    }
    return SkipInsideBoxPlain(Points, I, N, Box);
}
#endif

constexpr TKernelVersion<Kernels::TSkipInsideBoxFn> kVersions[] = {
    {"plain", SkipInsideBoxPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2", SkipInsideBoxAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

int32_t SkipInsideBoxKernel(const TPoint3D* Points, int32_t From, int32_t N, const TSkipBox& Box) {
    return TKernelEntry<Kernels::TSkipInsideBoxFn, kVersions>::Call(Points, From, N, Box);
}

std::vector<TKernelVersion<Kernels::TSkipInsideBoxFn>> Kernels::SkipInsideBoxVersions() {
    return RunnableVersions(kVersions);
}
