// The PNG writer: what it writes reads back with the same pixels through libpng (Qt's reader)
// and through GDAL, whatever the picture's pixel layout, size and content.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/PngWriter.h"

namespace {

// Pixels of every value in every channel, so that a swapped or dropped channel shows.
QImage Noise(int Width, int Height, QImage::Format Format, uint32_t Seed) {
    QImage Image(Width, Height, QImage::Format_ARGB32);
    std::mt19937 Random(Seed);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X) Image.setPixel(X, Y, Random());
    return Image.convertToFormat(Format);
}

QImage Decoded(const std::vector<uint8_t>& Png) {
    return QImage::fromData(Png.data(), int(Png.size()), "PNG");
}

// Non-premultiplied RGBA of every pixel, for comparing pictures of any layout.
std::vector<QRgb> Pixels(const QImage& Image) {
    const QImage Plain = Image.convertToFormat(Image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::vector<QRgb> All;
    for (int Y = 0; Y < Plain.height(); ++Y)
        for (int X = 0; X < Plain.width(); ++X) All.push_back(Plain.pixel(X, Y));
    return All;
}

TEST(PngWriter, ReadsBackWithTheSamePixelsInEveryLayout) {
    const struct {
        const char* Name;
        QImage::Format Format;
    } Layouts[] = {{"RGB, as JPEG and other writers take it", QImage::Format_RGB888},
                   {"BGR, the drawing surface's", QImage::Format_BGR888},
                   {"32-bit RGB, converted", QImage::Format_RGB32},
                   {"alpha, kept", QImage::Format_ARGB32},
                   {"premultiplied alpha, unpremultiplied", QImage::Format_ARGB32_Premultiplied},
                   {"grey, widened", QImage::Format_Grayscale8}};
    // Rows of 3 bytes a pixel that are not whole words, and single rows and columns.
    const QSize Sizes[] = {{1, 1}, {3, 2}, {1, 301}, {517, 1}, {64, 48}};
    uint32_t Seed = 1;
    for (const auto& L : Layouts)
        for (const QSize& S : Sizes) {
            SCOPED_TRACE(std::string(L.Name) + " " + std::to_string(S.width()) + "x" + std::to_string(S.height()));
            const QImage Source = Noise(S.width(), S.height(), L.Format, Seed++);
            const QImage Read = Decoded(EncodePng(Source));
            ASSERT_FALSE(Read.isNull());
            EXPECT_EQ(Read.size(), Source.size());
            EXPECT_EQ(Read.hasAlphaChannel(), Source.hasAlphaChannel());
            EXPECT_TRUE(Pixels(Read) == Pixels(Source));
        }
}

// A picture of Colours colours in a pattern that packs unevenly into bytes.
QImage OfColours(int Width, int Height, int Colours) {
    QImage Image(Width, Height, QImage::Format_BGR888);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X) {
            const int C = (X * 7 + Y * 3) % Colours;
            Image.setPixel(X, Y, qRgb(C & 0xFF, (C * 37) & 0xFF, C >> 8));
        }
    return Image;
}

TEST(PngWriter, PicturesOfFewColoursGoWithAPaletteOfTheLeastDepth) {
    // A wrong depth, a pixel packed into the wrong bits or a palette entry out of order reads back
    // as other colours; a 257th colour must not be dropped into a palette.
    const struct {
        int Colours;
        uint8_t Depth, ColourType;
    } Cases[] = {{1, 1, 3}, {2, 1, 3}, {3, 2, 3}, {4, 2, 3}, {5, 4, 3}, {16, 4, 3}, {17, 8, 3}, {256, 8, 3}, {257, 8, 2}};
    const QSize Sizes[] = {{1, 1}, {13, 5}, {517, 3}, {64, 48}};
    for (const auto& C : Cases)
        for (const QSize& S : Sizes) {
            if (S.width() * S.height() < C.Colours) continue;
            SCOPED_TRACE(std::to_string(C.Colours) + " colours, " + std::to_string(S.width()) + "x" +
                         std::to_string(S.height()));
            const QImage Source = OfColours(S.width(), S.height(), C.Colours);
            const std::vector<uint8_t> Png = EncodePng(Source);
            EXPECT_EQ(Png[24], C.Depth);
            EXPECT_EQ(Png[25], C.ColourType);
            const QImage Read = Decoded(Png);
            ASSERT_FALSE(Read.isNull());
            EXPECT_TRUE(Pixels(Read) == Pixels(Source));
        }
}

TEST(PngWriter, LargePicturesSpanSeveralDataChunksAndKeepTheirResolution) {
    // Noise does not compress: more than a megabyte of it needs a second IDAT chunk.
    QImage Source = Noise(700, 600, QImage::Format_BGR888, 7);
    Source.setDotsPerMeterX(5905);  // 150 dpi
    Source.setDotsPerMeterY(3780);
    const std::vector<uint8_t> Png = EncodePng(Source);
    int Chunks = 0;
    for (size_t At = 8; At + 8 <= Png.size();) {
        const uint32_t Length = uint32_t(Png[At]) << 24 | uint32_t(Png[At + 1]) << 16 | uint32_t(Png[At + 2]) << 8 | Png[At + 3];
        Chunks += std::string(reinterpret_cast<const char*>(&Png[At + 4]), 4) == "IDAT";
        At += 12 + Length;
    }
    EXPECT_GE(Chunks, 2);
    const QImage Read = Decoded(Png);
    EXPECT_TRUE(Pixels(Read) == Pixels(Source));
    EXPECT_EQ(Read.dotsPerMeterX(), 5905);
    EXPECT_EQ(Read.dotsPerMeterY(), 3780);
}

TEST(PngWriter, AMapLikePictureCompressesWell) {
    // Flat areas and thin lines, as maps are: a few bytes a row, not the pixels themselves.
    QImage Map(1000, 500, QImage::Format_BGR888);
    Map.fill(Qt::cyan);
    for (int Y = 100; Y < 400; ++Y)
        for (int X = 200 + Y / 3; X < 700; ++X) Map.setPixel(X, Y, qRgb(250, 250, 250));
    EXPECT_LT(EncodePng(Map).size(), size_t(1000) * 500 * 3 / 100);
}

TEST(PngWriter, GdalReadsTheSamePixels) {
    const QString Translate = QStandardPaths::findExecutable("gdal_translate");
    if (Translate.isEmpty()) GTEST_SKIP() << "no gdal_translate";
    const struct {
        const char* Name;
        QImage Source;
        const char* Options;
    } Cases[] = {{"truecolour", Noise(37, 23, QImage::Format_BGR888, 11), ""},
                 {"palette of 4 bits", OfColours(37, 23, 9), "-expand rgb"}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        QTemporaryDir Dir;
        const QString Png = Dir.path() + "/picture.png", Raw = Dir.path() + "/picture.ppm";
        {
            QFile F(Png);
            ASSERT_TRUE(F.open(QIODevice::WriteOnly));
            const std::vector<uint8_t> Bytes = EncodePng(C.Source);
            F.write(reinterpret_cast<const char*>(Bytes.data()), qint64(Bytes.size()));
        }
        const std::string Command = "'" + Translate.toStdString() + "' -q -of PNM " + C.Options + " '" +
                                    Png.toStdString() + "' '" + Raw.toStdString() + "'";
        ASSERT_EQ(std::system(Command.c_str()), 0) << Command;
        QFile F(Raw);
        ASSERT_TRUE(F.open(QIODevice::ReadOnly));
        const QByteArray Ppm = F.readAll();
        // P6, width, height and the largest value, then RGB.
        const QByteArray Header = "P6\n37 23\n255\n";
        ASSERT_TRUE(Ppm.startsWith(Header)) << Ppm.left(20).toStdString();
        const QImage Rgb = C.Source.convertToFormat(QImage::Format_RGB888);
        QByteArray Want;
        for (int Y = 0; Y < Rgb.height(); ++Y) Want.append(reinterpret_cast<const char*>(Rgb.constScanLine(Y)), 37 * 3);
        EXPECT_TRUE(Ppm.mid(Header.size()) == Want);
    }
}

TEST(PngWriter, RefusesAPictureOfNoPixels) {
    EXPECT_THROW(EncodePng(QImage()), std::invalid_argument);
}

}  // namespace
