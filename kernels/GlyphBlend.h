#pragma once
// Stored glyph masks blended into 24-bit pictures with the raster engine's own arithmetic, so
// that titles drawn from the store match those Qt draws.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/Versions.h"

// Mask rows are padded to whole blocks of this many pixels, blended together.
constexpr int32_t BlendBlock = 8;

// The raster engine's blend of an opaque colour over a channel of a 24-bit pixel at a glyph's
// coverage C (0 leaves the pixel, 255 gives the colour): its 16-bit arithmetic comes to
// S * C + D * (255 - C) divided by 255 and rounded to nearest, with no tie possible.
inline uint8_t BlendChannel(uint32_t Source, uint32_t Dest, uint32_t Coverage) {
    const uint32_t T = Source * Coverage + Dest * (255 - Coverage) + 128;
    return uint8_t((T + (T >> 8)) >> 8);
}

// The colour's bytes in the picture's order over a block of pixels, as 16-bit lanes.
struct TBlendSource {
    alignas(32) uint16_t Lanes[3 * BlendBlock];
};

// Blends Blocks whole blocks of Rows rows of a glyph's coverage (three bytes a pixel,
// CoverStride bytes a row) into the picture at Px; the coverage's padding (no coverage) leaves
// the pixels as they are.
void BlendGlyphBlocks(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride, int64_t Rows,
                      int64_t Blocks, const TBlendSource& Source);

// Blends Cols pixels of each row: the first Blocks blocks whole, then the pixels left one by one
// (a glyph cut by the picture's right edge).
inline void BlendGlyphRows(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride, int64_t Rows,
                           int64_t Blocks, int64_t Cols, const TBlendSource& Source) {
    if (Blocks > 0) BlendGlyphBlocks(Px, PxStride, Cover, CoverStride, Rows, Blocks, Source);
    for (int64_t Row = 0; Row < Rows; ++Row)
        for (int64_t Col = Blocks * BlendBlock; Col < Cols; ++Col)
            for (int K = 0; K < 3; ++K) {
                uint8_t& B = Px[Row * PxStride + Col * 3 + K];
                B = BlendChannel(Source.Lanes[K], B, Cover[Row * CoverStride + Col * 3 + K]);
            }
}

namespace Kernels {
using TBlendBlocksFn = void(uint8_t* Px, ptrdiff_t PxStride, const uint8_t* Cover, ptrdiff_t CoverStride,
                            int64_t Rows, int64_t Blocks, const TBlendSource& Source);
std::vector<TKernelVersion<TBlendBlocksFn>> BlendBlocksVersions();
}  // namespace Kernels
