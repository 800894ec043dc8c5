#include "kernels/GlyphBlend.h"

#include "kernels/Dispatch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

void BlendBlocksPlain(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride, int64_t Rows,
                      int64_t Blocks, const TBlendSource& Source) {
    for (int64_t Row = 0; Row < Rows; ++Row, Px += PxStride, Cover += CoverStride)
        for (int64_t B = 0; B < Blocks * 24; ++B) Px[B] = BlendChannel(Source.Lanes[B % 24], Px[B], Cover[B]);
}

#if defined(ORVEX_X86_KERNELS)
// (T + (T >> 8)) >> 8 is the high half of T * 257 for every 16-bit T.
inline __m128i BlendLanes(__m128i S, __m128i D, __m128i A) {
    const __m128i T = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(S, A), _mm_mullo_epi16(D, _mm_sub_epi16(_mm_set1_epi16(255), A))),
                                    _mm_set1_epi16(128));
    return _mm_mulhi_epu16(T, _mm_set1_epi16(257));
}

inline void BlendEight(uint8_t* Px, const uint8_t* Cover, __m128i S) {
    const __m128i Zero = _mm_setzero_si128();
    const __m128i A = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Cover)), Zero);
    const __m128i D = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Px)), Zero);
    const __m128i T = BlendLanes(S, D, A);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Px), _mm_packus_epi16(T, T));
}

void BlendBlocksSse2(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride, int64_t Rows,
                     int64_t Blocks, const TBlendSource& Source) {
    const __m128i* L = reinterpret_cast<const __m128i*>(Source.Lanes);
    const __m128i S0 = _mm_load_si128(L), S1 = _mm_load_si128(L + 1), S2 = _mm_load_si128(L + 2);
    for (int64_t Row = 0; Row < Rows; ++Row, Px += PxStride, Cover += CoverStride)
        for (int64_t B = 0; B < Blocks * 24; B += 24) {
            BlendEight(Px + B, Cover + B, S0);
            BlendEight(Px + B + 8, Cover + B + 8, S1);
            BlendEight(Px + B + 16, Cover + B + 16, S2);
        }
}

__attribute__((target("avx2"))) inline __m256i BlendLanes256(__m256i S, __m256i D, __m256i A) {
    const __m256i T = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(S, A), _mm256_mullo_epi16(D, _mm256_sub_epi16(_mm256_set1_epi16(255), A))),
        _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(T, _mm256_set1_epi16(257));
}

// Sixteen bytes of 16-bit lanes back to bytes.
__attribute__((target("avx2"))) inline __m128i Packed(__m256i T) {
    return _mm_packus_epi16(_mm256_castsi256_si128(T), _mm256_extracti128_si256(T, 1));
}

__attribute__((target("avx2"))) inline void Front(uint8_t* P, const uint8_t* C, __m256i S) {
    const __m256i A = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(C)));
    const __m256i D = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(P), Packed(BlendLanes256(S, D, A)));
}

// The same sixteen bytes at a step: a block's first sixteen bytes of one row, or its last
// eight of two rows together.
__attribute__((target("avx2"))) void BlendBlocksAvx2(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover,
                                                     ptrdiff_t CoverStride, int64_t Rows, int64_t Blocks,
                                                     const TBlendSource& Source) {
    const __m256i S01 = _mm256_load_si256(reinterpret_cast<const __m256i*>(Source.Lanes));
    const __m128i S2 = _mm_load_si128(reinterpret_cast<const __m128i*>(Source.Lanes) + 2);
    const __m256i S22 = _mm256_broadcastsi128_si256(S2);
    for (int64_t B = 0; B < Blocks * 24; B += 24) {
        uint8_t* P = Px + B;
        const uint8_t* C = Cover + B;
        int64_t Left = Rows;
        for (; Left >= 2; Left -= 2, P += 2 * PxStride, C += 2 * CoverStride) {
            uint8_t* const P1 = P + PxStride;
            const uint8_t* const C1 = C + CoverStride;
            const __m256i A = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(C + 16)), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(C1 + 16))));
            const __m256i D = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(P + 16)), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(P1 + 16))));
            const __m128i T = Packed(BlendLanes256(S22, D, A));
            Front(P, C, S01);
            Front(P1, C1, S01);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(P + 16), T);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(P1 + 16), _mm_unpackhi_epi64(T, T));
        }
        if (Left > 0) {
            Front(P, C, S01);
            BlendEight(P + 16, C + 16, S2);
        }
    }
}
#endif

constexpr TKernelVersion<Kernels::TBlendBlocksFn> kVersions[] = {
    {"plain", BlendBlocksPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"sse2", BlendBlocksSse2, TKernelNeeds::Vectors},
    {"avx2", BlendBlocksAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

void BlendGlyphBlocks(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride, int64_t Rows,
                      int64_t Blocks, const TBlendSource& Source) {
    TKernelEntry<Kernels::TBlendBlocksFn, kVersions>::Call(Px, PxStride, Cover, CoverStride, Rows, Blocks, Source);
}

std::vector<TKernelVersion<Kernels::TBlendBlocksFn>> Kernels::BlendBlocksVersions() { return RunnableVersions(kVersions); }
