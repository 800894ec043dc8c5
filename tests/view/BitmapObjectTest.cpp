// Bitmap objects: their image, drawing rectangle, extent, drawing and copies.

#include <QTemporaryDir>

#include "RenderFixtures.h"
#include "TextureFixtures.h"
#include "model/BitmapObject.h"
#include "styling/PointPresenter.h"

namespace {

class BitmapObjectTest : public RenderTest {
protected:
    // An 8 x 5 bitmap: texel (row from the south, column) is index 16 row + column.
    std::string Bmp(int32_t Width = 8, int32_t Height = 5) {
        TBmpLayout Layout;
        Layout.Width = Width;
        Layout.Height = Height;
        return WriteFile(Dir, "object.bmp", MakeBmp(Layout));
    }
    TBitmapObject* Place(const TPoint3D& At, int32_t UnitsPerPixel, const std::string& File) {
        auto* B = TBitmapObject::Create(Layer, nullptr, 1, "picture");
        B->SetPoint(At);
        B->SetOrvexUnitsPerPixel(UnitsPerPixel);
        B->SetBMPFilename(File);
        return B;
    }

    QTemporaryDir Dir;
    TOrvexLayer* Layer = View.AddLayer("pictures");
};

}  // namespace

TEST_F(BitmapObjectTest, ThePictureHangsSouthEastOfItsPointAndIsItsExtent) {
    auto* B = Place(TPoint3D{0, 0, 0}, OrvexUnits::PerMinute, Bmp(100, 50));
    B->CalcExtents();
    const TExtent Rect{0, -4500000, 9000000, 4500000};
    EXPECT_EQ(B->Texture().Area, Rect);
    EXPECT_EQ(B->Extents(), Rect) << "hit tests and culling see the whole picture";
    EXPECT_EQ(B->ExtentHit(LL(1.5L, -0.5L)), 3);
    EXPECT_EQ(B->ExtentHit(LL(1.5L, 0.5L)), 0) << "north of the point";

    B->SetOrvexUnitsPerPixel(2 * OrvexUnits::PerMinute);
    B->CalcExtents();
    EXPECT_EQ(B->Extents(), (TExtent{0, -9000000, 18000000, 9000000}));
    Layer->UpdateVisibility();
    EXPECT_LE(Layer->Extents().Bottom, -9000000) << "the layer's extent follows the picture";
    EXPECT_GE(int64_t(Layer->Extents().Left) + Layer->Extents().Width, 18000000);

    // Drawn by a presenter, the object is a point again.
    auto* Symbol = TPointPresenter::Create(Layer);
    B->SetPresenter(Symbol);
    B->CalcExtents();
    auto* Point = TSinglePointObject::Create(Layer, Symbol, 2, "point");
    Point->CalcExtents();
    EXPECT_EQ(B->Extents(), Point->Extents());
    EXPECT_EQ(B->Texture().Area, (TExtent{0, -9000000, 18000000, 9000000})) << "the image keeps its rectangle";

    // A picture running east past 180 degrees wraps like any extent.
    B->SetPresenter(nullptr);
    auto* East = Place(LL(179, 10), 5400000, Bmp(8, 5));
    East->CalcExtents();
    EXPECT_EQ(East->Extents(), (TExtent{179 * Deg, 5 * Deg, 8 * Deg, 5 * Deg}));
    EXPECT_EQ(East->ExtentHit(LL(-178, 8)), 1) << "on the wrapped part";
}

TEST_F(BitmapObjectTest, TransparentColourAndMissingFiles) {
    auto* B = TBitmapObject::Create(Layer);
    B->SetTransparentColor(PaletteColor(3));
    EXPECT_EQ(B->TransparentIndex(), -1) << "no image yet";
    EXPECT_EQ(B->TransparentColor(), 0);

    B->SetBMPFilename(Bmp());
    B->SetTransparentColor(PaletteColor(35));
    EXPECT_EQ(B->TransparentIndex(), 35);
    EXPECT_EQ(B->TransparentColor(), PaletteColor(35));
    B->SetTransparentColor(0x123456);
    EXPECT_EQ(B->TransparentIndex(), -1) << "not in the palette";

    B->SetBMPFilename(Dir.filePath("missing.bmp").toStdString());
    EXPECT_FALSE(B->Texture().IsLoaded()) << "a missing file leaves no image";
    EXPECT_EQ(B->BMPFilename(), Dir.filePath("missing.bmp").toStdString());
    B->CalcExtents();
    auto* Point = TSinglePointObject::Create(Layer);
    Point->CalcExtents();
    EXPECT_EQ(B->Extents(), Point->Extents()) << "without an image the object is a point";
}

// On a 360 x 180 flat map a degree is a pixel: pixel (180 + lon, 90 - lat) runs a degree east
// and south from (lon, lat) and shows the texel at its centre.
TEST_F(BitmapObjectTest, DrawnWithoutAPresenterItShowsItsTexels) {
    FlatMap(360, 180);
    // 8 x 5 pixels of 2.5 degrees from (10, 50): 20 by 12.5 degrees down to 37.5.
    auto* B = Place(LL(10, 50), 2.5 * Deg, Bmp());
    const QImage& Image = Picture();
    // Texel (r, c) is centred on longitude 10 + 20 c / 8 and latitude 37.5 + 12.5 r / 4.
    EXPECT_EQ(PixelOf(Image, 180 + 20, 90 - 44), PaletteColor(16 * 2 + 4));
    EXPECT_EQ(PixelOf(Image, 180 + 10, 90 - 39), PaletteColor(0));
    EXPECT_EQ(PixelOf(Image, 180 + 29, 90 - 49), PaletteColor(16 * 4 + 7));
    EXPECT_EQ(PixelOf(Image, 180 + 8, 90 - 44), Teal) << "west of the picture";
    EXPECT_EQ(PixelOf(Image, 180 + 20, 90 - 52), Teal) << "north of the point";

    B->SetTransparentColor(PaletteColor(16 * 2 + 4));
    EXPECT_EQ(PixelOf(Picture(), 180 + 20, 90 - 44), Teal) << "the transparent colour shows the map";

    // Across 180 degrees the picture is drawn on both edges of the map, not across it.
    Place(LL(170, -10), 2.5 * Deg, Bmp());
    const QImage& Both = Picture();
    EXPECT_EQ(PixelOf(Both, 180 + 175, 90 + 15), PaletteColor(16 * 2 + 2));
    EXPECT_EQ(PixelOf(Both, 180 - 175, 90 + 15), PaletteColor(16 * 2 + 6));
    EXPECT_EQ(PixelOf(Both, 180, 90 + 15), Teal) << "nothing in between";
}

TEST_F(BitmapObjectTest, CopiesAndLayerFilesReloadTheImage) {
    const std::string File = Bmp();
    auto* A = Place(LL(5, 5), 1000, File);
    A->SetTransparentColor(PaletteColor(7));
    auto* B = TBitmapObject::Create(Layer);
    B->CopyFrom(A);
    EXPECT_EQ(B->OrvexUnitsPerPixel(), 1000);
    EXPECT_TRUE(B->Texture().IsLoaded());
    EXPECT_EQ(B->TransparentIndex(), -1) << "the transparent index is not copied";
    B->CalcExtents();
    EXPECT_EQ(B->Extents(), (TExtent{5 * Deg, 5 * Deg - 5000, 8000, 5000}));

    auto* Styled = Place(LL(6, 6), 1000, File);
    Styled->SetPresenter(TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 5, "Symbol"));
    const std::string Lyr = Dir.filePath("pictures.lyr").toStdString();
    Layer->SaveToFile(Lyr);
    TOrvexLayer* Loaded = View.AddLayer("loaded");
    Loaded->ChangeFilename(Lyr);
    ASSERT_EQ(Loaded->ObjectCount(), 3);
    EXPECT_NE(Loaded->GetObject(2)->Presenter(), nullptr) << "a presenter it had comes back";
    auto* L = dynamic_cast<TBitmapObject*>(Loaded->GetObject(0));
    ASSERT_NE(L, nullptr);
    EXPECT_TRUE(L->Texture().IsLoaded());
    EXPECT_EQ(L->TransparentIndex(), 7);
    EXPECT_EQ(L->Texture().TransparentIndex, 7) << "the image knows its transparent index";
    EXPECT_EQ(L->Presenter(), nullptr) << "saved without a presenter, loaded without one";
    L->CalcExtents();
    EXPECT_EQ(L->Extents(), (TExtent{5 * Deg, 5 * Deg - 5000, 8000, 5000}));
}

// Cells of a picture whose edges fall between pixels used to leave columns and rows of it
// empty: every pixel whose centre lies inside the picture must show it, and none whose
// centre lies a pixel outside.
TEST_F(BitmapObjectTest, EveryPixelWhoseCentreLiesInsideThePictureShowsIt) {
    const struct {
        const char* Name;
        long double Lon, Lat;  // north-west corner, degrees
        long double PixelDeg;  // degrees per bitmap pixel
        int32_t Width, Height;
        long double CentralMeridian;
    } Rows[] = {
        {"edges on half pixels", 0.5L, 30.5L, 1, 12, 6, 0},
        {"quarter pixels, small cells", -20.25L, 10.75L, 0.7L, 17, 9, 0},
        {"taller than a cell", 40.5L, 60.5L, 1.5L, 5, 30, 0},
        {"wider than many cells", -100.5L, -5.5L, 0.35L, 100, 20, 0},
        {"central meridian off zero", 10.5L, 0.5L, 1, 12, 6, 47.5L},
        {"across the seam", 170.5L, 20.5L, 1, 20, 6, 0},
        {"across a moved seam", -140.5L, 20.5L, 1.25L, 16, 6, 47.5L},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Layer->Clear();
        FlatMap(360, 180);
        View.ProjectionModel()->SetParameter(3, LL(R.CentralMeridian, 0).X);
        const QImage Map = Picture().copy();
        const int32_t Units = static_cast<int32_t>(std::llrint(R.PixelDeg * Deg));
        Place(LL(R.Lon, R.Lat), Units, Bmp(R.Width, R.Height));
        const QImage& Image = Picture();
        // A degree is a pixel: x = 180 + (lon - central meridian) east of the map's west edge.
        const long double East = R.Width * (long double)Units / Deg, South = R.Height * (long double)Units / Deg;
        const long double Y0 = 90 - R.Lat, Y1 = Y0 + South;
        int Missing = 0, Stray = 0, Inner = 0;
        for (int Y = 0; Y < 180; ++Y)
            for (int X = 0; X < 360; ++X) {
                // The pixel centre's longitude east of the picture's west edge, on the map.
                long double Off = std::fmod(X + 0.5L - 180 + R.CentralMeridian - R.Lon + 720, 360);
                const bool InX = Off > 0 && Off < East, InY = Y + 0.5L > Y0 && Y + 0.5L < Y1;
                const bool NearX = (Off > -1 && Off < East + 1) || Off > 359;
                const bool NearY = Y + 1.5L > Y0 && Y - 0.5L < Y1;
                const bool Shown = Image.pixel(X, Y) != Map.pixel(X, Y);
                if (InX && InY) {
                    ++Inner;
                    Missing += !Shown;
                } else if (!(NearX && NearY)) {
                    Stray += Shown;
                }
            }
        EXPECT_GT(Inner, 0);
        EXPECT_EQ(Missing, 0) << "of " << Inner << " inner pixels";
        EXPECT_EQ(Stray, 0);
    }
}
