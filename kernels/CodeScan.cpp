#include "kernels/CodeScan.h"

#include "kernels/Dispatch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

void SelectedCodesPlain(const uint8_t* Codes, size_t N, const TCodeWindow& Window, std::vector<uint32_t>& Out) {
    for (size_t I = 0; I < N; ++I)
        if (Window.Selects(Codes[I])) Out.push_back(uint32_t(I));
}

#if defined(ORVEX_X86_KERNELS)
// Thirty-two codes a step: a mask of those selected, whose set bits are the positions to add.
__attribute__((target("avx2"))) void SelectedCodesAvx2(const uint8_t* Codes, size_t N, const TCodeWindow& Window,
                                                       std::vector<uint32_t>& Out) {
    // Strictly between Low and High: Code - (Low + 1) at most High - Low - 2, unsigned.
    const bool Between = int(Window.High) - int(Window.Low) >= 2;
    const __m256i Visit = _mm256_set1_epi8(char(Window.Visit));
    const __m256i First = _mm256_set1_epi8(char(Window.Low + 1));
    const __m256i Span = _mm256_set1_epi8(char(Between ? Window.High - Window.Low - 2 : 0));
    size_t I = 0;
    for (; I + 32 <= N; I += 32) {
        const __m256i C = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Codes + I));
        __m256i Selected = _mm256_cmpeq_epi8(C, Visit);
        if (Between) {
            const __m256i D = _mm256_sub_epi8(C, First);
            Selected = _mm256_or_si256(Selected, _mm256_cmpeq_epi8(_mm256_min_epu8(D, Span), D));
        }
        for (uint32_t Mask = uint32_t(_mm256_movemask_epi8(Selected)); Mask != 0; Mask &= Mask - 1)
            Out.push_back(uint32_t(I + size_t(__builtin_ctz(Mask))));
    }
    for (; I < N; ++I)
        if (Window.Selects(Codes[I])) Out.push_back(uint32_t(I));
}
#endif

constexpr TKernelVersion<Kernels::TSelectedCodesFn> kVersions[] = {
    {"plain", SelectedCodesPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2", SelectedCodesAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

void AppendSelectedCodes(const uint8_t* Codes, size_t N, const TCodeWindow& Window, std::vector<uint32_t>& Out) {
    TKernelEntry<Kernels::TSelectedCodesFn, kVersions>::Call(Codes, N, Window, Out);
}

std::vector<TKernelVersion<Kernels::TSelectedCodesFn>> Kernels::SelectedCodesVersions() {
    return RunnableVersions(kVersions);
}
