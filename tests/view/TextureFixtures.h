#pragma once
// 256-colour bitmap files built in memory for the texture tests.

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "model/TextureData.h"

namespace {

// The colour of palette entry I in the test palettes: distinct for every index.
inline TColor PaletteColor(int I) {
    return TColor((I & 0xFF) | (255 - (I & 0xFF)) << 8 | ((I * 37 + 11) & 0xFF) << 16);
}

struct TBmpLayout {
    int32_t Width = 8;
    int32_t Height = 4;  // negative: rows stored top-down
    uint16_t BitCount = 8;
    uint32_t Compression = 0;
    uint32_t HeaderSize = 40;
    uint32_t ClrUsed = 0;
    int32_t PaletteEntries = 256;  // entries written between the header and the pixels
    bool ZeroImageSize = false;
    // Texel (row from the south, column) is index Row * 16 + Column unless Pixels is given.
    std::vector<uint8_t> Pixels;
};

inline void Put16(std::vector<uint8_t>& B, size_t At, uint32_t V) {
    B[At] = uint8_t(V);
    B[At + 1] = uint8_t(V >> 8);
}
inline void Put32(std::vector<uint8_t>& B, size_t At, uint32_t V) {
    for (int I = 0; I < 4; ++I) B[At + I] = uint8_t(V >> (8 * I));
}

inline uint8_t TexelIndex(const TBmpLayout& S, int Row, int Col) {
    return S.Pixels.empty() ? uint8_t(Row * 16 + Col) : S.Pixels[size_t(Row) * S.Width + Col];
}

inline std::vector<uint8_t> MakeBmp(const TBmpLayout& S) {
    const int64_t Rows = S.Height < 0 ? -int64_t(S.Height) : S.Height;
    const int64_t RowBytes = ((int64_t(S.Width) * 8 + 31) / 32) * 4;
    const size_t PaletteAt = 14 + S.HeaderSize;
    const size_t PixelsAt = PaletteAt + 4 * size_t(S.PaletteEntries);
    std::vector<uint8_t> B(PixelsAt + size_t(RowBytes * Rows), 0);
    B[0] = 'B';
    B[1] = 'M';
    Put32(B, 2, uint32_t(B.size()));
    Put32(B, 10, uint32_t(PixelsAt));
    Put32(B, 14, S.HeaderSize);
    Put32(B, 18, uint32_t(S.Width));
    Put32(B, 22, uint32_t(S.Height));
    Put16(B, 26, 1);
    Put16(B, 28, S.BitCount);
    Put32(B, 30, S.Compression);
    Put32(B, 34, S.ZeroImageSize ? 0 : uint32_t(RowBytes * Rows));
    Put32(B, 46, S.ClrUsed);
    for (int I = 0; I < S.PaletteEntries; ++I) {
        const uint32_t C = uint32_t(PaletteColor(I));
        B[PaletteAt + 4 * I] = uint8_t(C >> 16);  // blue, green, red, reserved
        B[PaletteAt + 4 * I + 1] = uint8_t(C >> 8);
        B[PaletteAt + 4 * I + 2] = uint8_t(C);
    }
    for (int64_t Row = 0; Row < Rows; ++Row) {
        // Row 0 is the southern edge: stored first bottom-up, last top-down.
        const int64_t Stored = S.Height < 0 ? Rows - 1 - Row : Row;
        for (int32_t Col = 0; Col < S.Width; ++Col)
            B[PixelsAt + size_t(Stored * RowBytes + Col)] = TexelIndex(S, int(Row), Col);
        for (int64_t Pad = S.Width; Pad < RowBytes; ++Pad) B[PixelsAt + size_t(Stored * RowBytes + Pad)] = 0xEE;
    }
    return B;
}

inline std::string WriteFile(const QTemporaryDir& Dir, const char* Name, const std::vector<uint8_t>& Bytes) {
    const QString Path = Dir.filePath(Name);
    QFile F(Path);
    F.open(QIODevice::WriteOnly | QIODevice::Truncate);
    F.write(reinterpret_cast<const char*>(Bytes.data()), qint64(Bytes.size()));
    return Path.toStdString();
}

}  // namespace
