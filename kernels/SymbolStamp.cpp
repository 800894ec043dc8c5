#include "kernels/SymbolStamp.h"

#include "kernels/Dispatch.h"
#include "kernels/Prefetch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

uint8_t* RowAt(const TStampRow& R, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes) {
    return Corner + ptrdiff_t(R.Y) * Stride + ptrdiff_t(R.X) * PixelBytes;
}

void StampPlain(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes) {
    for (const TStampRow* R = Rows; R < Rows + Count; ++R) {
        uint8_t* P = RowAt(*R, Corner, Stride, PixelBytes);
        for (int K = 0; K < 32; ++K) P[K] = uint8_t(R->Bytes[K] | (P[K] & ~R->Mask[K]));
    }
}

#if defined(ORVEX_X86_KERNELS)
void StampSse2(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes) {
    for (const TStampRow* R = Rows; R < Rows + Count; ++R) {
        uint8_t* P = RowAt(*R, Corner, Stride, PixelBytes);
        for (int Half = 0; Half < 32; Half += 16) {
            const __m128i M = _mm_load_si128(reinterpret_cast<const __m128i*>(R->Mask + Half));
            const __m128i B = _mm_load_si128(reinterpret_cast<const __m128i*>(R->Bytes + Half));
            const __m128i Old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + Half));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(P + Half), _mm_or_si128(B, _mm_andnot_si128(M, Old)));
        }
    }
}
#endif

constexpr TKernelVersion<Kernels::TStampSymbolFn> kVersions[] = {
    {"plain", StampPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"sse2", StampSse2, TKernelNeeds::Vectors},
#endif
};

}  // namespace

void StampSymbol(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes) {
    TKernelEntry<Kernels::TStampSymbolFn, kVersions>::Call(Rows, Count, Corner, Stride, PixelBytes);
}

void PrefetchSymbol(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes) {
    for (const TStampRow* R = Rows; R < Rows + Count; ++R) {
        uint8_t* P = RowAt(*R, Corner, Stride, PixelBytes);
        PrefetchForWrite(P);
        PrefetchForWrite(P + 31);
    }
}

std::vector<TKernelVersion<Kernels::TStampSymbolFn>> Kernels::StampSymbolVersions() { return RunnableVersions(kVersions); }
