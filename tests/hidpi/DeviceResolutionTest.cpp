// The view on a screen of device pixel ratio 2: the map is drawn at the screen's own
// resolution, and the mouse reaches the surface pixel under it.
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <functional>

#include "styling/PointPresenter.h"
#include "view/RenderFixtures.h"

namespace {

constexpr qreal kRatio = 2;
// A flat map of 360 x 180 surface pixels, 180 x 90 window pixels: a degree is a surface pixel
// and (lon, lat) lies at (180 + lon, 90 - lat).
constexpr int kSurfaceW = 360, kSurfaceH = 180;
// The line along 30 degrees north, one pixel wide.
constexpr int kLineRow = 60;

// The rows of Image with a pixel between columns Left and Right that Holds.
int RowsHolding(const QImage& Image, int Left, int Right, const std::function<bool(QRgb)>& Holds) {
    int Rows = 0;
    for (int Y = 0; Y < Image.height(); ++Y) {
        bool Found = false;
        for (int X = Left; X < Right && !Found; ++X) Found = Holds(Image.pixel(X, Y));
        Rows += Found;
    }
    return Rows;
}

bool IsRed(QRgb C) { return C == qRgb(255, 0, 0); }
// Yellow ink, smoothed into the navy or teal beneath it at the glyphs' edges.
bool IsTitleInk(QRgb C) { return qRed(C) > 100 && qGreen(C) > 100; }

class DeviceResolutionTest : public RenderTest {
protected:
    void SetUp() override {
        ASSERT_EQ(qApp->devicePixelRatio(), kRatio) << "the suite runs at ratio 2 or tests nothing";
        Prepare(View);
    }

    // The same map in any view: a line, an area and a titled place.
    void Prepare(TOrvex3& V) {
        V.SetColor(Navy);
        V.SetOrvexColor(Teal);
        V.SetDrawGrid(dgNone);
        V.SetScrollBars(ssNone);
        V.SetSurfaceSize(kSurfaceW, kSurfaceH);
        V.SetProjection(opCartesian);
        V.ProjectionModel()->SetParameter(3, 0);
        V.ZoomToScale(0);
        TOrvexLayer* L = V.AddLayer("map");
        auto* LineStyle = TPolylinePresenter::Create(L);
        LineStyle->PolylinePen()->SetPenColor(Red);
        auto* Line = TGeoDataObject::Create(L, LineStyle, 1, "");
        for (const TPoint3D& P : {LL(-150, 30), LL(-30, 30)}) Line->AddPoint(P);
        auto* AreaStyle = TPolygonPresenter::Create(L);
        AreaStyle->PolygonPen()->SetPenColor(Green);
        AreaStyle->PolygonBrush()->SetBrushColor(Green);
        Area = TGeoDataObject::Create(L, AreaStyle, 2, "");
        for (const TPoint3D& P : {LL(20, -20), LL(80, -20), LL(80, -60), LL(20, -60)}) Area->AddPoint(P);
        auto* PlaceStyle = TPointPresenter::Create(L);
        PlaceStyle->SetPointType(ppNone);
        PlaceStyle->SetTitleAlignment(taRight);
        PlaceStyle->TitleFont()->SetFontColor(Yellow);
        auto* Place = TSinglePointObject::Create(L, PlaceStyle, 3, "HOTEL");
        Place->SetPoint(LL(-120, -40));
    }

    void Show() {
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    }

    TGeoDataObject* Area = nullptr;
};

TEST_F(DeviceResolutionTest, TheWindowShowsTheSurfaceAtDevicePixels) {
    Show();
    EXPECT_EQ(View.size(), QSize(kSurfaceW / 2, kSurfaceH / 2)) << "the window is half the surface";
    const QImage Shown = View.grab().toImage();
    // Fault: a surface of the window's size, scaled up by Qt, blurs lines and text.
    ASSERT_EQ(Shown.size(), QSize(kSurfaceW, kSurfaceH));

    TOrvex3 Twice;
    Prepare(Twice);
    QImage Expected(kSurfaceW, kSurfaceH, QImage::Format_BGR888);
    Twice.RenderToImage(Expected);
    int Differ = 0;
    for (int Y = 0; Y < kSurfaceH; ++Y)
        for (int X = 0; X < kSurfaceW; ++X) Differ += PixelOf(Shown, X, Y) != PixelOf(Expected, X, Y);
    // Fault: the paint scales or shifts the surface instead of laying it pixel on pixel.
    EXPECT_LE(Differ, 4);

    // Fault: a one-pixel line widened to the window pixel's two device rows.
    EXPECT_EQ(RowsHolding(Shown, 60, 120, IsRed), 1);
    EXPECT_EQ(PixelOf(Shown, 90, kLineRow), Red);

    // Fault: titles rasterised at the screen's size, half as tall as the window shows them.
    const int TitleRows = RowsHolding(Shown, 0, 180, IsTitleInk);
    Twice.Canvas()->SetPixelsPerInch(TOrvex3::ScreenPixelsPerInch());
    Twice.RequestRender();
    Twice.Render();
    const int ScreenRows = RowsHolding(Twice.Canvas()->Image(), 0, 180, IsTitleInk);
    ASSERT_GT(ScreenRows, 3);
    EXPECT_GE(TitleRows, 2 * ScreenRows - 1);
    EXPECT_LE(TitleRows, 2 * ScreenRows + 1);
}

TEST_F(DeviceResolutionTest, TheMouseReachesTheSurfacePixelUnderIt) {
    Show();
    // In the area (50 E, 40 S) at surface (230, 130); the window pixel is half that. Unconverted,
    // the same numbers name a place far from the area, north-west of it.
    const QPoint InArea(115, 65);
    const TPixelPoint Surface{230, 130};
    struct {
        const char* Name;
        std::function<void()> Act;
    } Rows[] = {
        {"press", [&] { QTest::mouseClick(&View, Qt::LeftButton, {}, InArea); }},
        {"move", [&] { QTest::mouseMove(&View, InArea); }},
    };
    TPixelPoint Reported;
    View.OnMouseDown = [&](TOrvex3*, TMouseButton, TShiftState, int32_t X, int32_t Y) { Reported = {X, Y}; };
    View.OnMouseMove = [&](TOrvex3*, TShiftState, int32_t X, int32_t Y) { Reported = {X, Y}; };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Reported = TPixelPoint{-1, -1};
        Row.Act();
        EXPECT_EQ(Reported, Surface);
    }
    View.OnMouseDown = nullptr;
    View.OnMouseMove = nullptr;
    View.SelectObject(nullptr);
    QTest::mouseClick(&View, Qt::LeftButton, {}, InArea);
    EXPECT_EQ(View.SelectedObject(), Area) << "a click selects what lies under it";

    // The wheel zooms about the place under the cursor, which stays under it.
    TPoint3D Before, After;
    ASSERT_TRUE(View.PixelToLL(Surface.X, Surface.Y, Before));
    QWheelEvent Wheel(QPointF(InArea), View.mapToGlobal(QPointF(InArea)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&View, &Wheel);
    ASSERT_GT(View.GetScaleFactor(), 1.0L / Deg) << "the wheel zoomed in";
    ASSERT_TRUE(View.PixelToLL(Surface.X, Surface.Y, After));
    EXPECT_NEAR(After.X, Before.X, Deg / 2);
    EXPECT_NEAR(After.Y, Before.Y, Deg / 2);
}

}  // namespace
