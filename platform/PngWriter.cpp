#include "platform/PngWriter.h"

#include <QImage>
#include <algorithm>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>

namespace {

// libdeflate's level 2 is faster than its level 1 on maps (fewer, longer matches) and close in
// size to zlib's default.
constexpr int kCompressionLevel = 2;
// Each row is stored as its difference from the row above (PNG's "Up" filter): flat colours and
// lines that continue down the map become runs of zeros, which makes files a fifth smaller than
// unfiltered rows at the same speed, since the difference is taken while the row is copied.
constexpr uint8_t kFilterUp = 2;
// Long pictures are split into IDAT chunks of this size, as most encoders do.
constexpr size_t kChunkBytes = size_t(1) << 20;

constexpr uint8_t kColourRgb = 2, kColourPalette = 3, kColourRgba = 6;

// PNG's numbers are big-endian.
void StoreUint32(uint8_t* To, uint32_t V) {
    To[0] = uint8_t(V >> 24);
    To[1] = uint8_t(V >> 16);
    To[2] = uint8_t(V >> 8);
    To[3] = uint8_t(V);
}

void PutUint32(std::vector<uint8_t>& Out, uint32_t V) {
    uint8_t Bytes[4];
    StoreUint32(Bytes, V);
    Out.insert(Out.end(), Bytes, Bytes + 4);
}

// A chunk: length, type, data, and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& Out, std::string_view Type, const uint8_t* Data, size_t Size) {
    PutUint32(Out, uint32_t(Size));
    const size_t TypeAt = Out.size();
    Out.insert(Out.end(), Type.begin(), Type.end());
    if (Size) Out.insert(Out.end(), Data, Data + Size);
    PutUint32(Out, libdeflate_crc32(0, Out.data() + TypeAt, Out.size() - TypeAt));
}

// Each row as the file holds it: a filter byte, then the pixels in R, G, B (, A) order, less
// those of the row above (the first row has none above it, so it stays as it is).
std::vector<uint8_t> FileRows(const QImage& Image, size_t RowBytes) {
    const size_t Width = size_t(Image.width()), Height = size_t(Image.height());
    std::vector<uint8_t> Rows((RowBytes + 1) * Height);
    const bool Swap = Image.format() == QImage::Format_BGR888;
    const std::vector<uint8_t> NoRow(RowBytes, 0);
    for (size_t Y = 0; Y < Height; ++Y) {
        uint8_t* To = Rows.data() + Y * (RowBytes + 1);
        const uint8_t* From = Image.constScanLine(int(Y));
        const uint8_t* Above = Y ? Image.constScanLine(int(Y - 1)) : NoRow.data();
        *To++ = kFilterUp;
        if (!Swap) {
            for (size_t I = 0; I < RowBytes; ++I) To[I] = uint8_t(From[I] - Above[I]);
            continue;
        }
        for (size_t X = 0; X < Width; ++X, To += 3, From += 3, Above += 3) {
            To[0] = uint8_t(From[2] - Above[2]);
            To[1] = uint8_t(From[1] - Above[1]);
            To[2] = uint8_t(From[0] - Above[0]);
        }
    }
    return Rows;
}

// A picture of at most 256 colours, as maps mostly are, goes with a palette: a byte a pixel or
// less instead of three, a third or less of the data to compress. Indexes holds each pixel's
// entry in Palette (R, G, B each); false when the picture has more colours.
bool IndexColours(const QImage& Image, std::vector<uint8_t>& Indexes, std::vector<uint8_t>& Palette) {
    const size_t Width = size_t(Image.width()), Height = size_t(Image.height());
    const bool Swap = Image.format() == QImage::Format_BGR888;
    // Open addressing over twice the most entries; a key is the colour with bit 24 set.
    constexpr size_t Slots = 512;
    uint32_t Keys[Slots] = {};
    uint8_t Entries[Slots];
    Indexes.resize(Width * Height);
    Palette.clear();
    uint32_t Last = 0xFFFFFFFF;
    uint8_t LastEntry = 0;
    for (size_t Y = 0; Y < Height; ++Y) {
        const uint8_t* From = Image.constScanLine(int(Y));
        uint8_t* To = Indexes.data() + Y * Width;
        for (size_t X = 0; X < Width; ++X, From += 3) {
            const uint32_t R = Swap ? From[2] : From[0], B = Swap ? From[0] : From[2];
            const uint32_t Key = 0x1000000u | R << 16 | uint32_t(From[1]) << 8 | B;
            if (Key != Last) {
                size_t Slot = (Key * 2654435761u) >> 23;
                while (Keys[Slot] != 0 && Keys[Slot] != Key) Slot = (Slot + 1) % Slots;
                if (Keys[Slot] == 0) {
                    if (Palette.size() == 256 * 3) return false;
                    Keys[Slot] = Key;
                    Entries[Slot] = uint8_t(Palette.size() / 3);
                    Palette.insert(Palette.end(), {uint8_t(R), From[1], uint8_t(B)});
                }
                Last = Key;
                LastEntry = Entries[Slot];
            }
            To[X] = LastEntry;
        }
    }
    return true;
}

// The rows of a palette picture at Depth bits a pixel (1, 2, 4 or 8), packed from the high bits
// of each byte and filtered as the truecolour rows are.
std::vector<uint8_t> PaletteRows(const std::vector<uint8_t>& Indexes, size_t Width, size_t Height, int Depth) {
    const size_t RowBytes = (Width * size_t(Depth) + 7) / 8;
    std::vector<uint8_t> Packed(RowBytes * 2, 0);
    uint8_t* Row = Packed.data();
    uint8_t* Above = Packed.data() + RowBytes;
    std::vector<uint8_t> Rows((RowBytes + 1) * Height);
    const size_t PerByte = size_t(8 / Depth);
    for (size_t Y = 0; Y < Height; ++Y) {
        const uint8_t* From = Indexes.data() + Y * Width;
        std::fill(Row, Row + RowBytes, 0);
        for (size_t X = 0; X < Width; ++X)
            Row[X / PerByte] |= uint8_t(From[X] << (8 - Depth * int(X % PerByte + 1)));
        uint8_t* To = Rows.data() + Y * (RowBytes + 1);
        *To++ = kFilterUp;
        for (size_t I = 0; I < RowBytes; ++I) To[I] = uint8_t(Row[I] - (Y ? Above[I] : 0));
        std::swap(Row, Above);
    }
    return Rows;
}

struct TFreeCompressor {
    void operator()(libdeflate_compressor* C) const { libdeflate_free_compressor(C); }
};

}  // namespace

std::vector<uint8_t> EncodePng(const QImage& Source) {
    if (Source.isNull()) throw std::invalid_argument("a PNG file needs a picture of at least 1 x 1 pixels");
    // The canvas's BGR and plain RGB go as they are; anything else is made RGB(A) first.
    const bool Alpha = Source.hasAlphaChannel();
    QImage Converted;
    const QImage* Image = &Source;
    if (Alpha ? Source.format() != QImage::Format_RGBA8888
              : Source.format() != QImage::Format_RGB888 && Source.format() != QImage::Format_BGR888) {
        Converted = Source.convertToFormat(Alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (Converted.isNull()) throw std::bad_alloc();
        Image = &Converted;
    }
    const uint32_t Width = uint32_t(Image->width()), Height = uint32_t(Image->height());
    std::vector<uint8_t> Indexes, Palette, Rows;
    int Depth = 8;
    const bool Indexed = !Alpha && IndexColours(*Image, Indexes, Palette);
    if (Indexed) {
        const size_t Colours = Palette.size() / 3;
        Depth = Colours <= 2 ? 1 : Colours <= 4 ? 2 : Colours <= 16 ? 4 : 8;
        Rows = PaletteRows(Indexes, Width, Height, Depth);
    } else {
        Rows = FileRows(*Image, size_t(Width) * (Alpha ? 4 : 3));
    }

    const std::unique_ptr<libdeflate_compressor, TFreeCompressor> Compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!Compressor) throw std::bad_alloc();
    std::vector<uint8_t> Deflated(libdeflate_zlib_compress_bound(Compressor.get(), Rows.size()));
    // Within the bound the compression cannot run out of room.
    const size_t DeflatedSize =
        libdeflate_zlib_compress(Compressor.get(), Rows.data(), Rows.size(), Deflated.data(), Deflated.size());
    if (DeflatedSize == 0) throw std::runtime_error("the picture could not be compressed");
    Deflated.resize(DeflatedSize);

    static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> Out(Signature, Signature + 8);
    Out.reserve(Deflated.size() + Deflated.size() / kChunkBytes * 12 + 128);

    // Depth bits a sample; deflate, adaptive filtering, no interlace.
    uint8_t Header[13] = {0, 0, 0, 0, 0, 0, 0, 0, uint8_t(Depth), Indexed ? kColourPalette : Alpha ? kColourRgba : kColourRgb,
                          0, 0, 0};
    StoreUint32(Header, Width);
    StoreUint32(Header + 4, Height);
    PutChunk(Out, "IHDR", Header, sizeof Header);
    if (Indexed) PutChunk(Out, "PLTE", Palette.data(), Palette.size());
    if (Image->dotsPerMeterX() > 0 && Image->dotsPerMeterY() > 0) {
        uint8_t Resolution[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};  // in dots per metre
        StoreUint32(Resolution, uint32_t(Image->dotsPerMeterX()));
        StoreUint32(Resolution + 4, uint32_t(Image->dotsPerMeterY()));
        PutChunk(Out, "pHYs", Resolution, sizeof Resolution);
    }
    for (size_t At = 0; At < Deflated.size(); At += kChunkBytes)
        PutChunk(Out, "IDAT", Deflated.data() + At, std::min(kChunkBytes, Deflated.size() - At));
    PutChunk(Out, "IEND", nullptr, 0);
    return Out;
}
