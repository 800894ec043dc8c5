#pragma once
// A 256-colour bitmap file held in memory for texture mapping: the view's picture of the
// earth and the images of bitmap objects.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "platform/DeviceContext.h"

// The two headers of a bitmap file, as stored (little-endian).
struct TBitmapFileHeader {
    uint16_t Type = 0;  // 19778, "BM"
    uint32_t Size = 0;
    uint16_t Reserved1 = 0;
    uint16_t Reserved2 = 0;
    uint32_t OffBits = 0;  // start of the pixel data
};

struct TBitmapInfoHeader {
    uint32_t Size = 0;
    int32_t Width = 0;
    int32_t Height = 0;  // negative: rows stored top-down
    uint16_t Planes = 0;
    uint16_t BitCount = 0;
    uint32_t Compression = 0;
    uint32_t SizeImage = 0;
    int32_t XPelsPerMeter = 0;
    int32_t YPelsPerMeter = 0;
    uint32_t ClrUsed = 0;
    uint32_t ClrImportant = 0;
};

class TTextureData {
public:
    TTextureData();

    // The geographic area the image covers; the whole earth by default.
    TExtent Area;
    // Palette index that is not drawn; -1 when every index is drawn.
    int32_t TransparentIndex = -1;

    bool IsLoaded() const { return !FData.empty(); }
    // Loads an uncompressed 8-bit palette bitmap. A missing file changes nothing; a file
    // that cannot be used leaves the texture empty. Nothing is raised.
    void LoadBitmapFile(const std::string& FileName);
    // Empties the texture (Area and TransparentIndex stay).
    void Clear();

    // The image in pixels, both positive (a top-down file has a negative stored height).
    int32_t ImageWidth() const { return IsLoaded() ? FInfoHeader.Width : 0; }
    int32_t ImageHeight() const { return IsLoaded() ? FImageHeight : 0; }
    const TBitmapFileHeader& FileHeader() const { return FFileHeader; }
    const TBitmapInfoHeader& InfoHeader() const { return FInfoHeader; }
    // The complete file.
    const std::vector<uint8_t>& Data() const { return FData; }

    // 256 entries of blue, green, red and a reserved byte; entries the file does not
    // hold are black.
    const uint8_t* Palette() const { return FPalette; }
    // The first palette index whose entry is the colour (reserved byte 0), -1 when none
    // or no texture is loaded.
    int32_t ColorToIndex(TColor Color) const;
    // The entry's colour; black without a texture or for an index outside 0..255.
    TColor IndexToColor(int32_t Index) const;

    // Raster access: the bytes of image row Row (0 is the southern edge) start at
    // SouthRow() + Row * RowStep(). Valid while loaded.
    const uint8_t* SouthRow() const { return FData.data() + FSouthRowOffset; }
    ptrdiff_t RowStep() const { return FRowStep; }
    // Bytes per stored row, padding included.
    int32_t RowBytes() const { return FRowBytes; }

private:
    // Parses FData; raises EOrvexException when the file cannot be used.
    void Parse();

    std::vector<uint8_t> FData;
    TBitmapFileHeader FFileHeader;
    TBitmapInfoHeader FInfoHeader;
    uint8_t FPalette[256 * 4] = {};
    int32_t FPaletteEntries = 0;  // entries the file holds
    int32_t FImageHeight = 0;
    int32_t FRowBytes = 0;
    size_t FSouthRowOffset = 0;
    ptrdiff_t FRowStep = 0;
};

// The bundled world texture (earth.bmp among the bundled data), or empty when it is missing.
std::string DefaultTextureFile();
