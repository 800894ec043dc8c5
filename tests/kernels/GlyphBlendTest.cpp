// Glyph blending: the plain channel blend is the raster engine's rounding, and every version
// blends whole blocks into the same bytes as the plain one, touching nothing else.
#include "KernelTests.h"
#include "kernels/GlyphBlend.h"

namespace {

// Coverage as glyphs have it: mostly none or full, with edges between.
uint8_t Coverage(TRandom& R) {
    switch (R.Below(4)) {
        case 0: return 0;
        case 1: return 255;
        default: return uint8_t(R.Below(256));
    }
}

TBlendSource SourceOf(uint32_t Colour) {
    TBlendSource S;
    for (int J = 0; J < 3 * BlendBlock; ++J) S.Lanes[J] = uint8_t(Colour >> (8 * (J % 3)));
    return S;
}

}  // namespace

// S * C + D * (255 - C) over 255, rounded to nearest, for every source, pixel and coverage: a
// coverage of 0 leaves the pixel, 255 gives the colour.
TEST(GlyphBlendKernel, TheChannelBlendRoundsTheExactQuotient) {
    for (uint32_t S = 0; S < 256; ++S)
        for (uint32_t D = 0; D < 256; ++D)
            for (uint32_t C = 0; C < 256; ++C) {
                const uint32_t Sum = S * C + D * (255 - C);
                const uint32_t Rounded = (2 * Sum + 255) / 510;
                if (BlendChannel(S, D, C) != Rounded) {
                    ADD_FAILURE() << S << " " << D << " " << C << ": " << int(BlendChannel(S, D, C)) << ", not " << Rounded;
                    return;
                }
            }
}

// Glyphs of one to seven rows (the wide version takes two rows at a time) and zero to four
// blocks, in pictures whose rows have slack between them: every byte of the picture must come
// out as the plain version leaves it.
TEST(GlyphBlendKernel, EveryVersionBlendsBlocksAsThePlainOne) {
    ForEachFastVersion(Kernels::BlendBlocksVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(3);
        for (int Trial = 0; Trial < 4000; ++Trial) {
            const int64_t Rows = int64_t(R.Below(8)), Blocks = int64_t(R.Below(5));
            const ptrdiff_t PxStride = ptrdiff_t(Blocks * 24 + R.Below(40)), CoverStride = ptrdiff_t(Blocks * 24 + 24 * R.Below(2));
            std::vector<uint8_t> Cover(static_cast<size_t>(CoverStride * Rows + 1)), Picture(static_cast<size_t>(PxStride * Rows + 1));
            for (uint8_t& C : Cover) C = Coverage(R);
            for (uint8_t& P : Picture) P = uint8_t(R.Next());
            const TBlendSource Source = SourceOf(Trial % 3 == 0 ? 0xFFFFFF * uint32_t(R.Below(2)) : uint32_t(R.Next()));
            std::vector<uint8_t> Expected = Picture;
            Plain(Expected.data(), PxStride, Cover.data(), CoverStride, Rows, Blocks, Source);
            Fast(Picture.data(), PxStride, Cover.data(), CoverStride, Rows, Blocks, Source);
            ASSERT_EQ(Picture, Expected) << Trial << ": " << Rows << " rows, " << Blocks << " blocks";
        }
    });
}

// A glyph cut by the picture's right edge: the pixels after the whole blocks are blended one by
// one up to the edge, and the bytes beyond stay.
TEST(GlyphBlendKernel, PixelsPastTheBlocksAreBlendedUpToTheEdge) {
    TRandom R(4);
    for (int Trial = 0; Trial < 500; ++Trial) {
        const int64_t Rows = 1 + int64_t(R.Below(5)), Blocks = int64_t(R.Below(3));
        const int64_t Cols = Blocks * BlendBlock + int64_t(R.Below(BlendBlock));
        const ptrdiff_t Stride = ptrdiff_t(Cols * 3 + R.Below(7)), CoverStride = ptrdiff_t((Blocks + 1) * 24);
        std::vector<uint8_t> Cover(static_cast<size_t>(CoverStride * Rows)), Picture(static_cast<size_t>(Stride * Rows));
        for (uint8_t& C : Cover) C = Coverage(R);
        for (uint8_t& P : Picture) P = uint8_t(R.Next());
        const TBlendSource Source = SourceOf(uint32_t(R.Next()));
        std::vector<uint8_t> Expected = Picture;
        for (int64_t Row = 0; Row < Rows; ++Row)
            for (int64_t Byte = 0; Byte < Cols * 3; ++Byte) {
                uint8_t& P = Expected[size_t(Row * Stride + Byte)];
                P = BlendChannel(Source.Lanes[Byte % 3], P, Cover[size_t(Row * CoverStride + Byte)]);
            }
        BlendGlyphRows(Picture.data(), Stride, Cover.data(), CoverStride, Rows, Blocks, Cols, Source);
        ASSERT_EQ(Picture, Expected) << Trial;
    }
}
