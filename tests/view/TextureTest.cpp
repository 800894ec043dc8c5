// Texture mapping: reading 256-colour bitmaps, the view's texture settings, the rasteriser's
// pixels on flat maps and on the sphere, and textured printing.

#include <QPdfWriter>
#include <QPrinter>
#include <functional>

#include "model/TextureData.h"
#include "RenderFixtures.h"
#include "TextureFixtures.h"

namespace {

class TextureTest : public RenderTest {
protected:
    std::string Bmp(const char* Name, const TBmpLayout& Layout = {}) { return WriteFile(Dir, Name, MakeBmp(Layout)); }
    // The colour of texel (row from the south, column) of the default test bitmap.
    static TColor Texel(int Row, int Col) { return PaletteColor(Row * 16 + Col); }

    QTemporaryDir Dir;
};

}  // namespace

TEST_F(TextureTest, BitmapsAreReadCorrectlyOrRefused) {
    const struct {
        const char* Name;
        std::function<void(TBmpLayout&)> Change;
        bool Loaded;
    } Rows[] = {
        {"bottom-up", [](TBmpLayout&) {}, true},
        {"top-down", [](TBmpLayout& S) { S.Height = -4; }, true},
        {"image size 0", [](TBmpLayout& S) { S.ZeroImageSize = true; }, true},
        {"16 colours named in the header", [](TBmpLayout& S) { S.ClrUsed = S.PaletteEntries = 64; }, true},
        {"fewer entries than the header's 256 before the pixels", [](TBmpLayout& S) { S.PaletteEntries = 64; }, true},
        {"longer info header", [](TBmpLayout& S) { S.HeaderSize = 124; }, true},
        {"rows with padding", [](TBmpLayout& S) { S.Width = 6; }, true},
        {"24-bit", [](TBmpLayout& S) { S.BitCount = 24; }, false},
        {"run-length encoded", [](TBmpLayout& S) { S.Compression = 1; }, false},
        {"core header", [](TBmpLayout& S) { S.HeaderSize = 12; }, false},
        {"no width", [](TBmpLayout& S) { S.Width = 0; }, false},
        {"no height", [](TBmpLayout& S) { S.Height = 0; }, false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TBmpLayout Layout;
        Row.Change(Layout);
        TTextureData T;
        T.LoadBitmapFile(Bmp("t.bmp", Layout));
        ASSERT_EQ(T.IsLoaded(), Row.Loaded);
        if (!Row.Loaded) {
            EXPECT_EQ(T.ImageWidth(), 0);
            EXPECT_EQ(T.IndexToColor(3), 0);
            continue;
        }
        EXPECT_EQ(T.ImageWidth(), Layout.Width);
        EXPECT_EQ(T.ImageHeight(), 4);
        EXPECT_EQ(T.RowBytes(), 8);
        const int W = Layout.Width;
        EXPECT_EQ(T.SouthRow()[0], 0) << "south-west texel";
        EXPECT_EQ(T.SouthRow()[3 * T.RowStep() + W - 1], 3 * 16 + W - 1) << "north-east texel";
        EXPECT_EQ(T.IndexToColor(63), PaletteColor(63));
        // Entries the file does not hold are black and never found.
        EXPECT_EQ(T.IndexToColor(200), Layout.PaletteEntries > 200 ? PaletteColor(200) : 0);
        EXPECT_EQ(T.ColorToIndex(PaletteColor(200)), Layout.PaletteEntries > 200 ? 200 : -1);
    }

    // Headers that promise more than the file holds.
    std::vector<uint8_t> Good = MakeBmp(TBmpLayout{});
    auto Refused = [&](const char* Name, const std::vector<uint8_t>& Bytes) {
        TTextureData T;
        T.LoadBitmapFile(WriteFile(Dir, "bad.bmp", Bytes));
        EXPECT_FALSE(T.IsLoaded()) << Name;
    };
    // Every cut through the headers, some through the palette and the pixels.
    std::vector<size_t> Cuts;
    for (size_t N = 0; N < Good.size(); N += N < 60 ? 1 : 41) Cuts.push_back(N);
    Cuts.push_back(Good.size() - 1);
    for (size_t N : Cuts) {
        SCOPED_TRACE(N);
        Refused("prefix", std::vector<uint8_t>(Good.begin(), Good.begin() + N));
    }
    auto Patched = [&](size_t At, uint32_t V) {
        std::vector<uint8_t> B = Good;
        Put32(B, At, V);
        return B;
    };
    Refused("pixels past the end", Patched(10, uint32_t(Good.size() - 8)));
    Refused("pixels inside the headers", Patched(10, 20));
    Refused("huge width", Patched(18, 0x7FFFFFFF));
    Refused("huge height", Patched(22, 0x7FFFFFFF));
    Refused("most negative height", Patched(22, 0x80000000));
    Refused("header larger than the file", Patched(14, 0xFFFFFFF0));
    std::vector<uint8_t> NotBm = Good;
    NotBm[0] = 'X';
    Refused("not BM", NotBm);
}

TEST_F(TextureTest, PaletteLookupsAndMissingFiles) {
    TTextureData T;
    EXPECT_EQ(T.ColorToIndex(0), -1) << "no texture";
    EXPECT_EQ(T.Area, (TExtent{-972000000, -486000000, 1944000000, 972000000}));
    const std::string File = Bmp("t.bmp");
    T.LoadBitmapFile(File);
    ASSERT_TRUE(T.IsLoaded());
    EXPECT_EQ(T.ColorToIndex(PaletteColor(77)), 77);
    EXPECT_EQ(T.IndexToColor(300), 0);
    EXPECT_EQ(T.IndexToColor(-1), 0);
    EXPECT_EQ(T.ColorToIndex(clNone), -1);
    T.LoadBitmapFile(Dir.filePath("missing.bmp").toStdString());
    EXPECT_TRUE(T.IsLoaded()) << "a missing file leaves the earlier texture";
    T.LoadBitmapFile(Dir.path().toStdString());
    EXPECT_FALSE(T.IsLoaded()) << "a folder is no bitmap";
}

TEST_F(TextureTest, TheViewKeepsOnlyTexturesItCanShow) {
    const std::string Good = Bmp("good.bmp");
    View.SetTextureBackground(true);
    EXPECT_FALSE(View.TextureBackground()) << "no texture loaded";
    View.SetTextureFilename(Good);
    EXPECT_EQ(View.TextureFilename(), Good);
    View.SetTextureBackground(true);
    EXPECT_TRUE(View.TextureBackground());

    View.SetTextureFilename(Dir.filePath("missing.bmp").toStdString());
    EXPECT_TRUE(View.Texture().IsLoaded());
    EXPECT_EQ(View.TextureFilename(), Good) << "the name of the texture on show";
    EXPECT_TRUE(View.TextureBackground());

    TBmpLayout TrueColour;
    TrueColour.BitCount = 24;
    View.SetTextureFilename(Bmp("rgb.bmp", TrueColour));
    EXPECT_FALSE(View.Texture().IsLoaded());
    EXPECT_EQ(View.TextureFilename(), "");
    EXPECT_FALSE(View.TextureBackground());

    View.SetTextureFilename(Good);
    View.SetTextureFilename("");
    EXPECT_FALSE(View.Texture().IsLoaded()) << "no name, no texture";
}

// On a 360 x 180 flat map a degree is a pixel: (lon, lat) is pixel (180 + lon, 90 - lat).
TEST_F(TextureTest, FlatMapsShowEveryTexelUpToTheEdges) {
    FlatMap(360, 180);
    TBmpLayout Layout;
    Layout.Width = 6;  // rows padded to 8 bytes of index 0xEE
    View.SetTextureFilename(Bmp("t.bmp", Layout));
    View.SetTextureBackground(true);
    const QImage& Image = Picture();
    // Texel (r, c) is centred on longitude -180 + 60 c and latitude -90 + 60 r.
    for (int Row = 0; Row < 4; ++Row)
        for (int Col = 0; Col < 6; ++Col) {
            const int Lon = std::clamp(-180 + 60 * Col, -175, 175), Lat = std::clamp(-90 + 60 * Row, -85, 85);
            EXPECT_EQ(PixelOf(Image, 180 + Lon, 90 - Lat), Texel(Row, Col)) << Row << "," << Col;
        }
    // The eastern and northern edges show the last column and row, never the padding.
    EXPECT_EQ(PixelOf(Image, 359, 1), Texel(3, 5));
    EXPECT_EQ(PixelOf(Image, 359, 178), Texel(0, 5));
    EXPECT_EQ(CountColour(Image, PaletteColor(0xEE)), 0);
    EXPECT_EQ(CountColour(Image, Navy), 0) << "the texture covers the whole map";
}

// Cells of the flat map's texture used to round their east corners a pixel short, leaving a
// column of background every few pixels, and the cell across the map's edge was dropped when
// the central meridian was off 0: every pixel of the map's fill shows a texel instead.
TEST_F(TextureTest, TheTextureCoversTheWholeFlatMapAtEverySizeAndMeridian) {
    View.SetTextureFilename(Bmp("t.bmp"));
    const struct {
        int32_t W, H;
    } Sizes[] = {{300, 150}, {360, 180}, {1000, 500}, {301, 149}, {77, 41}, {500, 170}};
    const long double Meridians[] = {0, 10, 91, -100, -47.5L};
    for (const TOrvexProjection Kind : {opCartesian, opMercator})
        for (const auto& S : Sizes)
            for (const long double Meridian : Meridians) {
                SCOPED_TRACE(std::to_string(Kind) + ": " + std::to_string(S.W) + "x" + std::to_string(S.H) + " at " +
                             std::to_string(double(Meridian)));
                FlatMap(S.W, S.H, Kind);
                View.ProjectionModel()->SetParameter(3, LL(Meridian, 0).X);
                View.SetTextureBackground(false);
                const QImage Plain = Picture().copy();
                View.SetTextureBackground(true);
                const QImage& Textured = Picture();
                int Map = 0, Bare = 0;
                for (int Y = 0; Y < Plain.height(); ++Y)
                    for (int X = 0; X < Plain.width(); ++X) {
                        if (PixelOf(Plain, X, Y) != Teal) continue;
                        ++Map;
                        const TColor C = PixelOf(Textured, X, Y);
                        Bare += C == Teal || C == Navy;
                    }
                EXPECT_GT(Map, S.W * S.H / 3);
                EXPECT_EQ(Bare, 0) << "of " << Map << " pixels of the map";
            }
}

TEST_F(TextureTest, TheTransparentIndexLeavesThePictureAsItWas) {
    FlatMap(360, 180);
    const QImage Before = Picture().copy();
    TTextureData T;
    T.LoadBitmapFile(Bmp("t.bmp"));
    T.TransparentIndex = 0;  // texel (0, 0)
    View.Canvas()->RenderTextureRect(TExtent{-180 * Deg, -90 * Deg, 360 * Deg, 180 * Deg}, T);
    const QImage& After = View.Canvas()->Image();
    EXPECT_EQ(PixelOf(After, 10, 170), PixelOf(Before, 10, 170)) << "texel 0 is transparent";
    EXPECT_EQ(PixelOf(After, 45, 170), Texel(0, 1));
    T.TransparentIndex = -1;
    View.Canvas()->RenderTextureRect(TExtent{-180 * Deg, -90 * Deg, 360 * Deg, 180 * Deg}, T);
    EXPECT_EQ(PixelOf(After, 10, 170), Texel(0, 0));
}

TEST_F(TextureTest, TrianglesWithACornerBehindTheSphereAreNotDrawn) {
    View.SetSurfaceSize(300, 300);
    View.SetProjection(opSpherical);
    View.SetXRotation(0);
    const QImage Before = Picture().copy();
    TTextureData T;
    T.LoadBitmapFile(Bmp("t.bmp"));
    auto Draw = [&](TPoint3D A, TPoint3D B, TPoint3D C) {
        const TPoint3D V[3] = {A, B, C};
        View.Canvas()->RenderTextureTriangle(V, T);
        return Unmatched(View.Canvas()->Image(), Before) + Unmatched(Before, View.Canvas()->Image());
    };
    EXPECT_EQ(Draw(LL(170, 10), LL(175, -10), LL(-175, 0)), 0) << "wholly behind";
    EXPECT_EQ(Draw(LL(70, 0), LL(80, 10), LL(95, -5)), 0) << "one corner behind";
    EXPECT_GT(Draw(LL(-10, -10), LL(10, -10), LL(0, 10)), 100) << "in front";
}

TEST_F(TextureTest, TheTexturedSphereIsMadeOfWholeTrianglesInsideTheDisc) {
    View.SetSurfaceSize(300, 300);
    View.SetProjection(opSpherical);
    View.SetXRotation(0);
    TBmpLayout Layout;
    Layout.Height = 5;  // the equator is the middle of row 2
    View.SetTextureFilename(Bmp("t.bmp", Layout));
    View.SetTextureBackground(true);
    const QImage& Image = Picture();
    EXPECT_EQ(PixelOf(Image, 150, 150), Texel(2, 4)) << "longitude 0 on the equator faces the viewer";
    EXPECT_EQ(PixelOf(Image, 5, 5), Navy) << "outside the disc";
    EXPECT_EQ(PixelOf(Image, 294, 294), Navy);
    EXPECT_EQ(CountColour(Image, Teal), 0) << "no disc under the texture";
    int Textured = 0, InDisc = 0;
    for (int Y = 0; Y < 300; ++Y)
        for (int X = 0; X < 300; ++X) {
            if (std::hypot(X - 150, Y - 150) > 145) continue;
            ++InDisc;
            Textured += PixelOf(Image, X, Y) != Navy;
        }
    EXPECT_GT(Textured, InDisc * 97 / 100);
}

TEST_F(TextureTest, FarZoomedTexturesStayCheapAndInside) {
    FlatMap(200, 100);
    View.SetTextureFilename(Bmp("t.bmp"));
    View.SetTextureBackground(true);
    // Four pixels per OrvexUnit: the cells lie hundreds of millions of pixels apart.
    View.ZoomToScale(4);
    View.CenterOn(LL(4.5L, 44).X, LL(4.5L, 44).Y);
    const QImage& Image = Picture();
    EXPECT_EQ(CountColour(Image, Texel(2, 4)), 200 * 100) << "one texel fills the view";
}

TEST_F(TextureTest, PrintersAndDevicesGetTheTextureAtTheirResolution) {
    View.SetSurfaceSize(300, 200);
    View.SetProjection(opSpherical);
    View.SetXRotation(0);
    TBmpLayout Layout;
    Layout.Height = 5;
    View.SetTextureFilename(Bmp("t.bmp", Layout));
    View.SetTextureBackground(true);
    const TViewRec Before = View.GetViewRec();

    // A device twice the surface's size: the texture is rendered at its pixels.
    QImage Big(600, 400, QImage::Format_RGB32);
    Big.fill(Qt::white);
    View.RenderToDevice(&Big);
    EXPECT_EQ(PixelOf(Big, 300, 200), Texel(2, 4));
    EXPECT_EQ(PixelOf(Big, 4, 4), Navy);
    const TViewRec After = View.GetViewRec();
    EXPECT_EQ(After.ScaleFactor, Before.ScaleFactor);
    EXPECT_EQ(After.XOrigin, Before.XOrigin);
    EXPECT_EQ(After.YOrigin, Before.YOrigin);
    EXPECT_EQ(View.Canvas()->Width(), 300);

    auto PdfHasImage = [](const QString& Name) {
        QFile F(Name);
        return F.open(QIODevice::ReadOnly) && F.readAll().contains("/Subtype /Image");
    };
    const QString Printed = Dir.filePath("printed.pdf");
    QPrinter Printer(QPrinter::ScreenResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Printed);
    View.Print(Printer);
    EXPECT_TRUE(PdfHasImage(Printed)) << "the texture is on the page";
    EXPECT_EQ(View.GetViewRec().XOrigin, Before.XOrigin);

    View.SetTextureBackground(false);
    const QString Plain = Dir.filePath("plain.pdf");
    QPrinter Blank(QPrinter::ScreenResolution);
    Blank.setOutputFormat(QPrinter::PdfFormat);
    Blank.setOutputFileName(Plain);
    View.Print(Blank);
    EXPECT_FALSE(PdfHasImage(Plain));

    View.SetTextureBackground(true);
    const QString Written = Dir.filePath("written.pdf");
    {
        QPdfWriter Writer(Written);
        View.RenderToDevice(&Writer);
    }
    EXPECT_TRUE(PdfHasImage(Written));
}
