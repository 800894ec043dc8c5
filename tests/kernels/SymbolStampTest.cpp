// Symbol stamps: every version writes the bytes each row's mask sets and keeps the others.
#include "KernelTests.h"
#include "kernels/SymbolStamp.h"

// Rows of 24- and 32-bit pictures at any place from the corner, with masks that set nothing,
// everything or runs between; the whole picture must come out as the plain version leaves it.
TEST(SymbolStampKernel, EveryVersionWritesWhatThePlainOneWrites) {
    ForEachFastVersion(Kernels::StampSymbolVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(2);
        for (int Trial = 0; Trial < 3000; ++Trial) {
            const int PixelBytes = R.Below(2) ? 3 : 4;
            const ptrdiff_t Stride = ptrdiff_t(32 + PixelBytes * 10 + R.Below(9));
            std::vector<TStampRow> Rows(R.Below(12));
            for (size_t I = 0; I < Rows.size(); ++I) {
                TStampRow& Row = Rows[I];
                Row.X = R.Between(0, 10);
                Row.Y = int(I) + R.Between(0, 2);
                const int From = R.Between(0, 32), To = R.Between(From, 32);
                for (int K = 0; K < 32; ++K) {
                    const bool Sets = R.Below(6) == 0 ? R.Below(2) : (K >= From && K < To);
                    Row.Mask[K] = Sets ? 0xFF : 0;
                    Row.Bytes[K] = Sets ? uint8_t(R.Next()) : 0;
                }
            }
            std::vector<uint8_t> Picture(static_cast<size_t>(Stride * 16 + 32));
            for (uint8_t& P : Picture) P = uint8_t(R.Next());
            std::vector<uint8_t> Expected = Picture;
            Plain(Rows.data(), Rows.size(), Expected.data(), Stride, PixelBytes);
            Fast(Rows.data(), Rows.size(), Picture.data(), Stride, PixelBytes);
            ASSERT_EQ(Picture, Expected) << Trial;
        }
    });
}

// The plain version itself: a set byte takes the stamp's, an unset one stays, rows land where
// their place from the corner says.
TEST(SymbolStampKernel, MasksDecideWhichBytesChange) {
    TStampRow Row{};
    Row.X = 2;
    Row.Y = 1;
    for (int K = 0; K < 32; ++K) {
        Row.Mask[K] = K % 5 == 0 ? 0xFF : 0;
        Row.Bytes[K] = K % 5 == 0 ? uint8_t(K + 100) : 0;
    }
    const ptrdiff_t Stride = 48;
    std::vector<uint8_t> Picture(static_cast<size_t>(Stride * 3), 7);
    StampSymbol(&Row, 1, Picture.data(), Stride, 3);
    for (size_t I = 0; I < Picture.size(); ++I) {
        const ptrdiff_t K = ptrdiff_t(I) - (Stride + 6);
        const bool Set = K >= 0 && K < 32 && K % 5 == 0;
        ASSERT_EQ(Picture[I], Set ? uint8_t(K + 100) : 7) << I;
    }
}
