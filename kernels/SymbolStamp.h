#pragma once
// Point symbols written into the picture as stamps: each row a run of at most 32 bytes, already
// in the picture's colours, laid over the pixels with a mask.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/Versions.h"

// One row of a stamp: its bytes from its first pixel, already masked, which of them it sets, and
// where its first pixel lies from the stamp's corner.
struct TStampRow {
    alignas(16) uint8_t Bytes[32];
    alignas(16) uint8_t Mask[32];
    int X, Y;
};

// Writes the stamp's rows at Corner, a picture byte with Stride bytes a row and PixelBytes a
// pixel: the bytes each row sets, the others kept. The 32 bytes of every row lie in the picture.
void StampSymbol(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes);
// Asks for the pixels StampSymbol will write.
void PrefetchSymbol(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes);

namespace Kernels {
using TStampSymbolFn = void(const TStampRow* Rows, size_t Count, uint8_t* Corner, ptrdiff_t Stride, int PixelBytes);
std::vector<TKernelVersion<TStampSymbolFn>> StampSymbolVersions();
}  // namespace Kernels
