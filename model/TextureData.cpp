#include "model/TextureData.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/FilePaths.h"
#include "platform/Text.h"

namespace {
constexpr const char* UnsuitableBitmap = "Orvex texture must be a 256 color RGB encoded bitmap";
constexpr uint16_t BitmapType = 19778;  // "BM"
constexpr size_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;
// The largest file taken as a texture: a 16384 x 16384 image and its headers.
constexpr uintmax_t MaxTextureFile = (uintmax_t(1) << 28) + (1 << 16);

[[noreturn]] void Unsuitable() { throw EOrvexException(UnsuitableBitmap); }

// Little-endian fields at fixed offsets; the caller has checked the length.
uint16_t U16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | P[1] << 8); }
uint32_t U32(const uint8_t* P) {
    return static_cast<uint32_t>(P[0]) | static_cast<uint32_t>(P[1]) << 8 | static_cast<uint32_t>(P[2]) << 16 |
           static_cast<uint32_t>(P[3]) << 24;
}
int32_t I32(const uint8_t* P) { return static_cast<int32_t>(U32(P)); }

void ReadWholeFile(const std::string& FileName, std::vector<uint8_t>& Data) {
    const std::filesystem::path Path(FileName);
    if (!std::filesystem::is_regular_file(Path)) Unsuitable();
    const uintmax_t Size = std::filesystem::file_size(Path);
    if (Size > MaxTextureFile) Unsuitable();
    std::ifstream In(Path, std::ios::binary);
    if (!In) Unsuitable();
    Data.resize(static_cast<size_t>(Size));
    In.read(reinterpret_cast<char*>(Data.data()), static_cast<std::streamsize>(Size));
    // A file that shrank since its size was taken.
    if (static_cast<uintmax_t>(In.gcount()) != Size) Unsuitable();
}
}  // namespace

TTextureData::TTextureData()
    : Area{-OrvexUnits::Deg180, -OrvexUnits::Deg90, OrvexUnits::Deg360, OrvexUnits::Deg180} {}

void TTextureData::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FFileHeader = TBitmapFileHeader{};
    FInfoHeader = TBitmapInfoHeader{};
    std::memset(FPalette, 0, sizeof FPalette);
    FPaletteEntries = 0;
    FImageHeight = 0;
    FRowBytes = 0;
    FSouthRowOffset = 0;
    FRowStep = 0;
}

void TTextureData::LoadBitmapFile(const std::string& FileName) {
    std::error_code Error;
    if (FileName.empty() || !std::filesystem::exists(std::filesystem::path(FileName), Error)) return;
    try {
        Clear();
        ReadWholeFile(FileName, FData);
        Parse();
    } catch (const std::exception&) {
        // Loading reports nothing: an unusable file only leaves the texture empty.
        Clear();
    }
}

void TTextureData::Parse() {
    const size_t N = FData.size();
    const uint8_t* D = FData.data();
    if (N < FileHeaderSize + InfoHeaderSize) Unsuitable();
    FFileHeader = TBitmapFileHeader{U16(D), U32(D + 2), U16(D + 6), U16(D + 8), U32(D + 10)};
    if (FFileHeader.Type != BitmapType) Unsuitable();
    const uint8_t* I = D + FileHeaderSize;
    FInfoHeader = TBitmapInfoHeader{U32(I),      I32(I + 4),  I32(I + 8),  U16(I + 12), U16(I + 14), U32(I + 16),
                                    U32(I + 20), I32(I + 24), I32(I + 28), U32(I + 32), U32(I + 36)};
    const TBitmapInfoHeader& H = FInfoHeader;
    if (H.BitCount != 8 || H.Compression != 0) Unsuitable();
    // Later header versions are longer; the palette follows whatever the header's size is.
    if (H.Size < InfoHeaderSize || H.Size > N - FileHeaderSize) Unsuitable();
    if (H.Width <= 0 || H.Height == 0) Unsuitable();

    // Rows are as long as the width makes them (4-byte aligned); the stored image size
    // may be 0 for uncompressed files and is not needed.
    const int64_t Rows = std::llabs(int64_t(H.Height));
    const int64_t RowBytes = ((int64_t(H.Width) * 8 + 31) / 32) * 4;
    const uint64_t PaletteStart = FileHeaderSize + H.Size;
    const uint64_t PixelStart = FFileHeader.OffBits;
    if (PixelStart < PaletteStart || PixelStart > N) Unsuitable();
    if (uint64_t(RowBytes) * uint64_t(Rows) > N - PixelStart) Unsuitable();

    // As many entries as the header names (256 when it names none or too many), and no
    // more than lie between the headers and the pixels.
    uint64_t Entries = H.ClrUsed == 0 || H.ClrUsed > 256 ? 256 : H.ClrUsed;
    Entries = std::min<uint64_t>(Entries, (PixelStart - PaletteStart) / 4);
    std::memcpy(FPalette, D + PaletteStart, static_cast<size_t>(Entries * 4));
    FPaletteEntries = static_cast<int32_t>(Entries);

    FImageHeight = static_cast<int32_t>(Rows);
    FRowBytes = static_cast<int32_t>(RowBytes);
    if (H.Height > 0) {
        // Bottom-up: the first stored row is the southern edge.
        FSouthRowOffset = static_cast<size_t>(PixelStart);
        FRowStep = RowBytes;
    } else {
        FSouthRowOffset = static_cast<size_t>(PixelStart + uint64_t(RowBytes) * uint64_t(Rows - 1));
        FRowStep = -RowBytes;
    }
}

int32_t TTextureData::ColorToIndex(TColor Color) const {
    if (!IsLoaded()) return -1;
    const uint32_t C = static_cast<uint32_t>(ColorToRGB(Color));
    // No palette entry stands for "none" or any other value beyond the 24 colour bits.
    if (C > 0xFFFFFF) return -1;
    const uint8_t Entry[4] = {static_cast<uint8_t>(C >> 16), static_cast<uint8_t>(C >> 8), static_cast<uint8_t>(C),
                              0};
    for (int32_t I = 0; I < FPaletteEntries; ++I)
        if (std::memcmp(FPalette + 4 * I, Entry, 4) == 0) return I;
    return -1;
}

TColor TTextureData::IndexToColor(int32_t Index) const {
    if (!IsLoaded() || Index < 0 || Index > 255) return 0;
    const uint8_t* E = FPalette + 4 * Index;
    return static_cast<TColor>(E[2] | E[1] << 8 | E[0] << 16);
}

std::string DefaultTextureFile() { return BundledDataFile("earth.bmp"); }
