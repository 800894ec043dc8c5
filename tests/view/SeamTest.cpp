// Geographic lines, polylines and polygons on flat maps: the short way across 180 degrees
// and the split at the seam.

#include "RenderFixtures.h"

namespace {

class SeamTest : public RenderTest {
protected:
    // 360 x 180: (lon, lat) in degrees at (180 + lon, 90 - lat).
    SeamTest() {
        FlatMap(360, 180);
        L = View.AddLayer("seam");
    }
    // Colour within a pixel up or down of (X, Y).
    static bool Near(const QImage& I, int X, int Y, TColor Colour) {
        for (int DY = -1; DY <= 1; ++DY)
            if (PixelOf(I, X, Y + DY) == Colour) return true;
        return false;
    }
    TOrvexLayer* L;
};

TEST_F(SeamTest, LineFrom170EastTo170WestTakesTheShortWay) {
    View.SetDrawGrid(dgBehind);
    View.OnPaintGraticule = [](TOrvex3* V) { V->PaintLineLL(LL(170, 10), LL(-170, 10), 4); };
    const QImage& I = Picture();
    int N = 0;
    for (int X = 0; X < 360; ++X) {
        const bool OnLine = PixelOf(I, X, 80) == 0xC0C0C0;
        N += OnLine;
        if (X > 12 && X < 348) {
            EXPECT_FALSE(OnLine) << X;
        }
    }
    EXPECT_GE(N, 18);
    EXPECT_EQ(PixelOf(I, 355, 80), 0xC0C0C0);
    EXPECT_EQ(PixelOf(I, 5, 80), 0xC0C0C0);
}

TEST_F(SeamTest, PolylineAcrossTheSeamIsDrawnAsTwoPieces) {
    Chain(L, LineStyle(L, Red), {LL(170, 10), LL(-170, 20)});
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 350, 80), Red);
    EXPECT_TRUE(Near(I, 359, 75, Red));
    EXPECT_EQ(PixelOf(I, 0, 75), Red);
    EXPECT_TRUE(Near(I, 9, 70, Red));
    int N = 0;
    for (int X = 0; X < 360; ++X)
        for (int Y = 60; Y < 90; ++Y) {
            const bool OnLine = PixelOf(I, X, Y) == Red;
            N += OnLine;
            if (X > 11 && X < 349) {
                EXPECT_FALSE(OnLine) << X << "," << Y;
            }
        }
    EXPECT_GE(N, 19);
}

// At one pixel per OrvexUnit around (180 degrees, 15 degrees north), on a transparent map
// so that no outline hides the ends.
TEST_F(SeamTest, PolylinePiecesMeetTheSeamAt15NorthOneUnitAway) {
    Chain(L, LineStyle(L, Red), {LL(170, 10), LL(-170, 20)});
    View.SetTransparentOrvex(true);
    View.ZoomToScale(1);
    // The first piece ends at 180 degrees less a unit, at x = 100 and y = 100; the end
    // point itself is left out, as lines leave out their last pixel.
    View.SetOrigin(TPixelPoint{100 - (OrvexUnits::Deg180 - 1), 100 + 15 * Deg});
    const QImage& I = Picture();
    EXPECT_TRUE(Near(I, 99, 100, Red));
    EXPECT_TRUE(Near(I, 90, 105, Red));
    for (int X = 100; X < 200; ++X)
        for (int Y = 90; Y < 110; ++Y) EXPECT_NE(PixelOf(I, X, Y), Red) << X << "," << Y;

    // The second piece starts at -180 degrees plus a unit.
    View.SetOrigin(TPixelPoint{100 + (OrvexUnits::Deg180 - 1), 100 + 15 * Deg});
    const QImage& J = Picture();
    EXPECT_EQ(PixelOf(J, 100, 100), Red);
    EXPECT_TRUE(Near(J, 110, 95, Red));
    for (int X = 0; X < 100; ++X)
        for (int Y = 90; Y < 110; ++Y) EXPECT_NE(PixelOf(J, X, Y), Red) << X << "," << Y;
}

// A square from 170 E to 170 W fills a piece at each map edge, whichever corner its
// ring starts at.
TEST_F(SeamTest, PolygonAcrossTheSeamFillsBothMapEdges) {
    const std::vector<TPoint3D> Square{LL(170, 10), LL(170, 40), LL(-170, 40), LL(-170, 10)};
    for (size_t Start = 0; Start < Square.size(); ++Start) {
        SCOPED_TRACE(Start);
        std::vector<TPoint3D> Ring(Square.begin() + Start, Square.end());
        Ring.insert(Ring.end(), Square.begin(), Square.begin() + Start);
        auto* O = Chain(L, AreaStyle(L, Blue, Blue), Ring);
        const QImage& I = Picture();
        for (int Y = 52; Y <= 78; Y += 2) {
            for (int X = 352; X < 359; ++X) EXPECT_EQ(PixelOf(I, X, Y), Blue) << X << "," << Y;
            for (int X = 1; X < 9; ++X) EXPECT_EQ(PixelOf(I, X, Y), Blue) << X << "," << Y;
        }
        EXPECT_EQ(PixelOf(I, 180, 65), Teal);
        EXPECT_EQ(PixelOf(I, 345, 65), Teal);
        EXPECT_EQ(PixelOf(I, 15, 65), Teal);
        EXPECT_EQ(PixelOf(I, 5, 45), Teal);
        EXPECT_EQ(PixelOf(I, 355, 85), Teal);
        delete O;
    }
}

TEST_F(SeamTest, PolygonAroundTheSouthPoleFillsToTheBottomEdge) {
    std::vector<TPoint3D> Ring;
    for (int Lon = -180; Lon < 180; Lon += 30) Ring.push_back(LL(Lon, -60));
    Chain(L, AreaStyle(L, Blue, Blue), Ring);
    const QImage& I = Picture();
    // Clear of the map outline in the first and last columns.
    for (int X = 3; X < 358; X += 7) {
        EXPECT_EQ(PixelOf(I, X, 155), Blue) << X;
        EXPECT_EQ(PixelOf(I, X, 178), Blue) << X;
        EXPECT_EQ(PixelOf(I, X, 145), Teal) << X;
    }
}

// A ring that goes once round a pole encloses that pole's cap; which pole is told by its
// mean latitude (the south when it is exactly 0). Flat maps and the sphere agree.
TEST_F(SeamTest, PoleRingsFillTheCapOnTheSideOfTheirMeanLatitude) {
    struct TRing {
        const char* Name;
        double Lat1, Lat2;  // alternating every 30 degrees of longitude
        double Cap, Other;  // a latitude inside the cap, one outside it
    };
    const TRing Rings[] = {{"north", 40, 50, 56, 20},
                           {"south", -40, -50, -56, -20},
                           {"about the equator", 10, -10, -60, 60}};
    const TOrvexProjection Maps[] = {opCartesian, opMercator, opSpherical};
    for (const TRing& R : Rings)
        for (TOrvexProjection Map : Maps) {
            if (Map == opSpherical && R.Lat1 + R.Lat2 == 0) continue;  // the sphere has no seam
            SCOPED_TRACE(testing::Message() << R.Name << " on projection " << int(Map));
            FlatMap(360, 180, Map);
            if (Map == opSpherical) View.CenterOn(0, R.Cap > 0 ? 90 * Deg : -90 * Deg);
            std::vector<TPoint3D> Ring;
            for (int Lon = -180; Lon < 180; Lon += 30) Ring.push_back(LL(Lon, (Lon / 30) % 2 ? R.Lat1 : R.Lat2));
            auto* O = Chain(L, AreaStyle(L, Blue, Blue), Ring);
            Picture();
            for (int Lon = -165; Lon < 180; Lon += 30) {
                const TPixelPoint In = At(LL(Lon, R.Cap)), Out = At(LL(Lon, R.Other));
                EXPECT_EQ(Pixel(In.X, In.Y), Blue) << Lon << " in the cap at " << In.X << "," << In.Y;
                EXPECT_EQ(Pixel(Out.X, Out.Y), Teal) << Lon << " outside at " << Out.X << "," << Out.Y;
            }
            delete O;
        }
}

TEST_F(SeamTest, CentralMeridianMovesTheSeam) {
    // With the map centred on 180 degrees the square from 170 E to 170 W lies whole in
    // the middle, and one straddling 0 degrees is split at the edges.
    View.ProjectionModel()->SetParameter(3, OrvexUnits::Deg180 - 1);
    Chain(L, AreaStyle(L, Blue, Blue), {LL(170, 10), LL(170, 40), LL(-170, 40), LL(-170, 10)});
    Chain(L, AreaStyle(L, Red, Red), {LL(-10, -10), LL(-10, -40), LL(10, -40), LL(10, -10)});
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 180, 65), Blue);
    EXPECT_EQ(PixelOf(I, 172, 65), Blue);
    EXPECT_EQ(PixelOf(I, 188, 65), Blue);
    EXPECT_EQ(PixelOf(I, 5, 115), Red);
    EXPECT_EQ(PixelOf(I, 355, 115), Red);
    EXPECT_EQ(PixelOf(I, 180, 115), Teal);
}

}  // namespace

// The bundled world closes Antarctica along 180 degrees down to the South Pole and cuts
// Chukotka at 180 degrees. Those edges used to be outlined: a line from the pole to the coast
// on the globe, and along the seam on flat maps. They are filled but not outlined; the coast
// still is.
TEST_F(SeamTest, EdgesAlongTheSeamOrIntoAPoleAreNotOutlined) {
    View.SetDataDirectory(ORVEX_SOURCE_DIR "/data");
    TOrvexLayer* World = View.AddLayer("");
    World->SetFilename("world.lyr");
    TPolygonPresenter* Style = AreaStyle(World, Red, Blue);
    TOrvexObject* Antarctica = nullptr;
    for (int32_t I = 0; I < World->ObjectCount(); ++I) {
        World->GetObject(I)->SetPresenter(Style);
        if (World->GetObject(I)->Title() == "Antarctica") Antarctica = World->GetObject(I);
    }
    ASSERT_TRUE(Antarctica);
    const TPoint3D Coast = Antarctica->GetPoint(Antarctica->GetPointCount() / 3);
    const struct {
        const char* Name;
        TOrvexProjection Kind;
        long double Meridian;    // flat maps
        long double Lon, Lat;  // the sphere's centre
    } Views[] = {
        {"flat map", opCartesian, 0, 0, 0},
        {"flat map centred on 10 E", opCartesian, 10, 0, 0},
        {"flat map centred on 47.5 W", opCartesian, -47.5L, 0, 0},
        {"globe from the south", opSpherical, 0, 0, -90},
        {"globe over Chukotka", opSpherical, 0, 180, 65},
    };
    // Stretches of the seam edges, clear of the coast near their ends; flat maps fill the cap
    // to 89 degrees.
    const struct {
        long double FromLat, ToLat;
    } Seams[] = {{-88.5L, -85.5L}, {67, 68}};
    for (const auto& V : Views) {
        SCOPED_TRACE(V.Name);
        FlatMap(720, 360, V.Kind);
        if (V.Kind == opSpherical)
            View.CenterOn(LL(V.Lon, 0).X, LL(0, V.Lat).Y);
        else
            View.ProjectionModel()->SetParameter(3, LL(V.Meridian, 0).X);
        const QImage& I = Picture();
        auto RedAround = [&](int X, int Y) {
            for (int DY = -1; DY <= 1; ++DY)
                for (int DX = -1; DX <= 1; ++DX)
                    if (X + DX >= 0 && Y + DY >= 0 && X + DX < I.width() && Y + DY < I.height() &&
                        PixelOf(I, X + DX, Y + DY) == Red)
                        return true;
            return false;
        };
        int Checked = 0;
        for (const auto& S : Seams)
            for (long double Lat = S.FromLat; Lat <= S.ToLat; Lat += 0.25L)
                for (const long double Side : {-1.0L, 1.0L}) {
                    // On the seam, and half a degree inside the land beside it.
                    const TPoint3D Seam = LL(Side < 0 ? -180.0L : 179.9999L, Lat), Land = LL(Side * 179.5L, Lat);
                    TPixelPoint P, Q;
                    if (!View.ProjectionModel()->PointToXY(Seam, 0)) continue;
                    P = PointBuffer[0];
                    if (!View.ProjectionModel()->PointToXY(Land, 0)) continue;
                    Q = PointBuffer[0];
                    if (P.X < 0 || P.Y < 0 || P.X >= I.width() || P.Y >= I.height()) continue;
                    ++Checked;
                    EXPECT_FALSE(RedAround(P.X, P.Y)) << "outlined at " << double(Side) << ", " << double(Lat);
                    EXPECT_EQ(PixelOf(I, Q.X, Q.Y), Blue) << "not filled at " << double(Side) << ", " << double(Lat);
                }
        EXPECT_GE(Checked, 10);
        if (View.ProjectionModel()->PointToXY(Coast, 0)) {
            EXPECT_TRUE(RedAround(PointBuffer[0].X, PointBuffer[0].Y)) << "the coast is outlined";
        }
        EXPECT_GT(CountColour(I, Red), 2000);
    }
}
