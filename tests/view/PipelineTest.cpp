// The render pipeline: background, mapped area, graticule, far-side pass, animated layers
// and titles, checked on the rendered picture.

#include <QPainter>
#include <set>

#include "RenderFixtures.h"
#include "styling/PointPresenter.h"

namespace {

constexpr TColor Grid = 0xC0C0C0, FarPen = 0x808080, FarBrush = 0xC0C0C0;

// The columns of a row that carry Colour.
std::vector<int> ColumnsOf(const QImage& Image, int Y, TColor Colour) {
    std::vector<int> R;
    for (int X = 0; X < Image.width(); ++X)
        if (PixelOf(Image, X, Y) == Colour) R.push_back(X);
    return R;
}

using PipelineTest = RenderTest;

TEST_F(PipelineTest, BackgroundColourAroundTheMappedArea) {
    // 400 x 180: a degree per pixel, the map from x = 20 to 380.
    FlatMap(400, 180);
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 5, 90), Navy);
    EXPECT_EQ(PixelOf(I, 395, 10), Navy);
    EXPECT_EQ(PixelOf(I, 200, 90), Teal);
    EXPECT_EQ(PixelOf(I, 30, 170), Teal);
    EXPECT_EQ(PixelOf(I, 370, 5), Teal);

    View.SetOrvexColor(Olive);
    EXPECT_EQ(PixelOf(Picture(), 200, 90), Olive);
}

TEST_F(PipelineTest, EveryRenderStartsAfresh) {
    // Nothing the last render selected (here the layer's red pen) reaches the next one:
    // the map's outline is drawn with the same pen each time.
    FlatMap(360, 180);
    View.SetDrawGrid(dgBehind);
    TOrvexLayer* L = View.AddLayer("lines");
    Chain(L, LineStyle(L, Red), {LL(-100, 10), LL(100, 10)});
    const QImage First = Picture().copy();
    EXPECT_EQ(PixelOf(First, 7, 0), Black);
    EXPECT_TRUE(Picture() == First);
}

TEST_F(PipelineTest, TransparentSphereLeavesTheMappedAreaUnfilled) {
    View.SetSurfaceSize(200, 200);
    View.SetTransparentOrvex(true);
    const QImage& I = Picture();
    EXPECT_EQ(CountColour(I, Teal), 0);
    EXPECT_EQ(CountColour(I, Navy), 200 * 200);
}

TEST_F(PipelineTest, SphereDiscInOrvexColour) {
    View.SetSurfaceSize(200, 200);
    View.ZoomToScale(0);
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 100, 100), Teal);
    EXPECT_EQ(PixelOf(I, 1, 1), Navy);
}

TEST_F(PipelineTest, BackgroundBitmapIsTiledFromTheTopLeft) {
    QImage Tile(100, 60, QImage::Format_RGB32);
    Tile.fill(QColor(0, 255, 0));
    Tile.setPixelColor(0, 0, QColor(255, 0, 0));
    View.SetSurfaceSize(250, 130);
    View.SetBackground(Tile);
    View.SetTransparentOrvex(true);  // no mapped area over the tiles
    const QImage& I = Picture();
    std::set<std::pair<int, int>> Corners;
    for (int Y = 0; Y < 130; ++Y)
        for (int X = 0; X < 250; ++X)
            if (PixelOf(I, X, Y) == Red) Corners.insert({X, Y});
    const std::set<std::pair<int, int>> Expected{{0, 0},   {0, 60},   {0, 120},   {100, 0}, {100, 60},
                                                 {100, 120}, {200, 0}, {200, 60}, {200, 120}};
    EXPECT_EQ(Corners, Expected);
    EXPECT_EQ(CountColour(I, Green), 250 * 130 - 9);

    // Transparent parts of the bitmap show the background colour, not the last picture.
    QImage Clear(100, 60, QImage::Format_ARGB32);
    Clear.fill(Qt::transparent);
    View.SetBackground(Clear);
    EXPECT_EQ(CountColour(Picture(), Navy), 250 * 130);
}

TEST_F(PipelineTest, NoGraticuleWithDgNone) {
    FlatMap(360, 180);
    EXPECT_EQ(CountColour(Picture(), Grid), 0);
    View.SetTransparentOrvex(true);
    EXPECT_EQ(CountColour(Picture(), Grid), 0);
    EXPECT_EQ(CountColour(Picture(), FarPen), 0);
}

TEST_F(PipelineTest, MeridiansAndParallelsAtTheirSteps) {
    FlatMap(360, 180);
    View.SetDrawGrid(dgBehind);
    const QImage& I = Picture();
    // Between the equator and 15 degrees north only the meridians cross the row.
    std::vector<int> Expected;
    for (int X = 0; X < 360; X += 15) Expected.push_back(X);
    EXPECT_EQ(ColumnsOf(I, 83, Grid), Expected);
    EXPECT_EQ(Expected.size(), 24u);
    // Parallels at 0, 15, ... 75 degrees both ways, none at 90.
    for (int Lat = 0; Lat < 85; Lat += 15) {
        EXPECT_EQ(PixelOf(I, 187, 90 - Lat), Grid) << Lat;
        EXPECT_EQ(PixelOf(I, 187, 90 + Lat), Grid) << Lat;
    }
    EXPECT_NE(PixelOf(I, 187, 0), Grid);

    View.SetLongitudeStep(30);
    EXPECT_EQ(ColumnsOf(Picture(), 83, Grid).size(), 12u);
}

TEST_F(PipelineTest, GraticuleBehindOrInFrontOfTheLayers) {
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("areas");
    Chain(L, AreaStyle(L, Blue, Blue), {LL(-30, -20), LL(-30, 20), LL(30, 20), LL(30, -20)});
    View.SetDrawGrid(dgBehind);
    EXPECT_EQ(PixelOf(Picture(), 195, 83), Blue);
    View.SetDrawGrid(dgInFront);
    EXPECT_EQ(PixelOf(Picture(), 195, 83), Grid);
}

TEST_F(PipelineTest, PaintGraticuleHandlerReplacesTheGraticule) {
    FlatMap(360, 180);
    View.SetDrawGrid(dgBehind);
    int Calls = 0;
    View.OnPaintGraticule = [&](TOrvex3* V) {
        ++Calls;
        // Drawn with the grid pen the pipeline selected.
        V->PaintLineLL(LL(-90, 45), LL(90, 45), 10);
    };
    const QImage& I = Picture();
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(ColumnsOf(I, 83, Grid).size(), 0u);
    // 90 W westwards across the date line to 90 E: 180 columns in two pieces, each without
    // its last pixel, the second starting just beyond the map's east edge.
    EXPECT_GE(ColumnsOf(I, 45, Grid).size(), 179u);
    EXPECT_LE(ColumnsOf(I, 45, Grid).size(), 181u);

    Calls = 0;
    View.SetTransparentOrvex(true);
    Picture();
    EXPECT_EQ(Calls, 2);
}

class FarSideTest : public RenderTest {
protected:
    FarSideTest() {
        View.SetSurfaceSize(200, 200);
        View.ZoomToScale(0);
        View.CenterOn(0, 0);
        View.SetTransparentOrvex(true);
        L = View.AddLayer("both sides");
    }
    TOrvexLayer* L;
};

TEST_F(FarSideTest, FarSideInTransparentToolsThenTheFrontSide) {
    // A square behind the sphere's centre and a smaller one in front of it.
    Chain(L, AreaStyle(L, Red, Blue), {LL(160, -20), LL(160, 20), LL(-160, 20), LL(-160, -20)});
    Chain(L, AreaStyle(L, Red, Blue), {LL(-5, -5), LL(-5, 5), LL(5, 5), LL(5, -5)});
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 100, 100), Blue);  // front over back
    EXPECT_EQ(PixelOf(I, 100, 85), FarBrush);
    EXPECT_EQ(PixelOf(I, 115, 100), FarBrush);
    EXPECT_GT(CountColour(I, FarPen), 20);
    EXPECT_EQ(CountColour(I, Teal), 0);

    // An opaque sphere hides the far side.
    View.SetTransparentOrvex(false);
    const QImage& J = Picture();
    EXPECT_EQ(PixelOf(J, 100, 100), Blue);
    EXPECT_EQ(PixelOf(J, 100, 85), Teal);
    EXPECT_EQ(CountColour(J, FarPen), 0);
}

TEST_F(FarSideTest, FarSideOfLinesAndGraticule) {
    Chain(L, LineStyle(L, Red), {LL(150, 0), LL(-150, 0)});
    View.SetDrawGrid(dgInFront);
    const QImage& I = Picture();
    // The line behind the centre is drawn with the transparent pen, the graticule's far
    // side too, its near side with the grid pen.
    EXPECT_EQ(CountColour(I, Red), 0);
    EXPECT_GT(CountColour(I, FarPen), 100);
    EXPECT_GT(CountColour(I, Grid), 100);
}

TEST_F(PipelineTest, AnimatedLayersOnlyOnTheTargetPicture) {
    FlatMap(360, 180);
    TOrvexLayer* Still = View.AddLayer("still");
    Chain(Still, AreaStyle(Still, Blue, Blue), {LL(-60, -10), LL(-60, 10), LL(-40, 10), LL(-40, -10)});
    TOrvexLayer* Moving = View.AddLayer("moving");
    Moving->SetAnimated(true);
    Chain(Moving, AreaStyle(Moving, Red, Red), {LL(40, -10), LL(40, 10), LL(60, 10), LL(60, -10)});

    QImage Target(360, 180, QImage::Format_RGB32);
    View.RenderToImage(Target);
    EXPECT_EQ(PixelOf(Target, 130, 90), Blue);
    EXPECT_EQ(PixelOf(Target, 230, 90), Red);
    const QImage& Off = View.Canvas()->Image();
    EXPECT_EQ(PixelOf(Off, 130, 90), Blue);
    EXPECT_EQ(PixelOf(Off, 230, 90), Teal);

    // Another target without a full render still gets the animated layer.
    QImage Again(360, 180, QImage::Format_RGB32);
    Again.fill(Qt::white);
    View.RenderToImage(Again);
    EXPECT_EQ(PixelOf(Again, 230, 90), Red);
    EXPECT_EQ(PixelOf(Again, 130, 90), Blue);
}

TEST_F(PipelineTest, PaintRendersOnlyWhenAskedAndAlwaysDrawsAnimatedLayers) {
    FlatMap(360, 180);
    TOrvexLayer* Still = View.AddLayer("still");
    auto* Square = Chain(Still, AreaStyle(Still, Blue, Blue), {LL(-60, -10), LL(-60, 10), LL(-40, 10), LL(-40, -10)});
    TOrvexLayer* Moving = View.AddLayer("moving");
    Moving->SetAnimated(true);
    Chain(Moving, AreaStyle(Moving, Red, Red), {LL(40, -10), LL(40, 10), LL(60, 10), LL(60, -10)});
    int Renders = 0, Paints = 0;
    View.OnRender = [&](TOrvex3*) { ++Renders; };
    View.OnPaint = [&](TOrvex3*) { ++Paints; };

    QImage Window(360, 180, QImage::Format_RGB32);
    View.render(&Window);
    EXPECT_EQ(Renders, 1);
    EXPECT_EQ(Paints, 1);
    EXPECT_FALSE(View.RedrawPending || View.ScaleChanged);
    EXPECT_EQ(PixelOf(Window, 130, 90), Blue);
    EXPECT_EQ(PixelOf(Window, 230, 90), Red);

    // Without a request the picture is copied, not rendered: a change made behind the
    // view's back does not show, the animated layer still does.
    Square->ExcludeState(osInView);
    View.RedrawPending = false;
    Window.fill(Qt::white);
    View.render(&Window);
    EXPECT_EQ(Renders, 1);
    EXPECT_EQ(Paints, 2);
    EXPECT_EQ(PixelOf(Window, 130, 90), Blue);
    EXPECT_EQ(PixelOf(Window, 230, 90), Red);
}

TEST_F(PipelineTest, FailedRenderStillShowsThePicture) {
    FlatMap(360, 180);
    TOrvexLayer* Moving = View.AddLayer("moving");
    Moving->SetAnimated(true);
    Chain(Moving, AreaStyle(Moving, Red, Red), {LL(40, -10), LL(40, 10), LL(60, 10), LL(60, -10)});
    int Paints = 0;
    View.OnRender = [](TOrvex3*) { throw EOrvexException("render failed"); };
    View.OnPaint = [&](TOrvex3*) { ++Paints; };
    QImage Window(360, 180, QImage::Format_RGB32);
    Window.fill(Qt::white);
    View.render(&Window);
    EXPECT_EQ(Paints, 1);
    EXPECT_FALSE(View.RedrawPending || View.ScaleChanged);
    EXPECT_EQ(PixelOf(Window, 180, 45), Teal);
    EXPECT_EQ(PixelOf(Window, 230, 90), Red);
}

TEST_F(PipelineTest, ChainsWithoutPresenterUseTheDefaultPen) {
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("bare");
    auto* Line = Chain(L, nullptr, {LL(-80, 0), LL(80, 0)});
    auto* Dot = Chain(L, nullptr, {LL(45, 45)});
    ASSERT_EQ(Line->Presenter(), nullptr);
    ASSERT_EQ(Dot->Presenter(), nullptr);
    const QImage& I = Picture();
    EXPECT_EQ(PixelOf(I, 180, 90), 0) << "the line in the default black pen";
    EXPECT_EQ(PixelOf(I, 222, 45), 0) << "the left of the 6-pixel circle around (225, 45)";
    EXPECT_EQ(PixelOf(I, 240, 45), Teal);

    Line->SetSelected(true);
    EXPECT_EQ(PixelOf(Picture(), 180, 90), 255) << "selected: the selected pen";
}

TEST_F(PipelineTest, TitlesAfterTheObjects) {
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("titled");
    TPolygonPresenter* P = AreaStyle(L, Blue, Blue);
    P->TitleFont()->SetFontColor(Red);
    P->TitleFont()->SetFontSize(20);
    auto* O = Chain(L, P, {LL(-30, -30), LL(-30, 30), LL(30, 30), LL(30, -30)});
    O->SetTitle("MMMM");
    EXPECT_EQ(CountColour(Picture(), Red), 0);  // taNone

    P->SetTitleAlignment(taCenter);
    const QImage& I = Picture();
    int N = 0, MinX = 1000, MaxX = -1, MaxY = -1;
    for (int Y = 0; Y < 180; ++Y)
        for (int X = 0; X < 360; ++X)
            if (PixelOf(I, X, Y) == Red) {
                ++N;
                MinX = std::min(MinX, X);
                MaxX = std::max(MaxX, X);
                MaxY = std::max(MaxY, Y);
            }
    EXPECT_GT(N, 30);
    // Centred on the centroid (180, 90), standing on its baseline.
    EXPECT_NEAR((MinX + MaxX) / 2.0, 180, 3);
    EXPECT_LE(MaxY, 91);
    EXPECT_GE(MaxY, 85);
}

TEST_F(PipelineTest, TitleOffsetsInALengthUnitSaturateInsteadOfFailingTheRender) {
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("titled");
    TPolygonPresenter* P = AreaStyle(L, Blue, Blue);
    P->TitleFont()->SetFontColor(Red);
    P->TitleFont()->SetFontUnit(Degree);
    P->TitleFont()->SetFontSize(20);
    // 30,000 degrees is 1.6e11 OrvexUnits: more than the unit conversion can hold.
    P->SetTitleOffset(30000);
    P->SetTitleAlignment(taRight);
    Chain(L, P, {LL(-30, -30), LL(-30, 30), LL(30, 30), LL(30, -30)})->SetTitle("MMMM");
    EXPECT_NO_THROW(View.Render());
    EXPECT_EQ(CountColour(View.Canvas()->Image(), Red), 0) << "the title lies far off the surface";
}

}  // namespace

namespace {

TEST_F(PipelineTest, SymbolsAndTitlesLookTheSameWhateverHandlersWatch) {
    // Without handlers symbols and titles are drawn a step behind; a handler that may look at
    // the picture between objects sees each one drawn. The pictures must agree.
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("places");
    auto* P = TPointPresenter::Create(L);
    P->SetTitleAlignment(taRight);
    P->TitleFont()->SetFontColor(Red);
    for (int K = 0; K < 400; ++K) {
        auto* O = TSinglePointObject::Create(L, P, K, "P" + std::to_string(K));
        O->SetPoint(LL((K * 37) % 340 - 170, (K * 23) % 160 - 80));
    }
    const QImage Plain = Picture().copy();
    int Seen = 0;
    View.OnRenderObject = [&](TOrvex3*, TOrvexObject*, bool&) { ++Seen; };
    const QImage Watched = Picture().copy();
    EXPECT_EQ(Seen, 400);
    EXPECT_GT(CountColour(Plain, Red), 50);
    EXPECT_EQ(Plain, Watched);
    View.OnRenderObject = nullptr;
    View.OnRenderTitle = [&](TOrvex3*, TOrvexObject*, bool&) {};
    EXPECT_EQ(Picture(), Plain);
}

}  // namespace
