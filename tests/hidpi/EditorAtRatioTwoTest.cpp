// The editor's own drawing on a screen of device pixel ratio 2: the zoom buttons' glyphs, the
// measured path over the map and the scale in the status bar.
#include <QApplication>
#include <QTest>

#include "editor/MapStatus.h"
#include "editor/ZoomGlyphs.h"
#include "view/RenderFixtures.h"

namespace {

TEST(ZoomGlyphsAtRatioTwo, IconsAreDrawnAtTheDevicePixelsAskedFor) {
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    // 19 is the buttons' icon size; 32 asks for more device pixels than a fixed picture of 40 has.
    for (const TGlyph Glyph : {glFit, glZoomIn, glZoomOut})
        for (const int Side : {19, 32}) {
            SCOPED_TRACE(testing::Message() << "glyph " << Glyph << ", side " << Side);
            const QPixmap Picture = ZoomIcon(Glyph).pixmap(QSize(Side, Side), 2.0);
            // Fault: a picture of fixed size, scaled up (blurred) or down on the screen.
            EXPECT_EQ(Picture.size(), QSize(2 * Side, 2 * Side));
            EXPECT_EQ(Picture.devicePixelRatio(), 2.0);
            const QImage Image = Picture.toImage();
            int Ink = 0;
            for (int Y = 0; Y < Image.height(); ++Y)
                for (int X = 0; X < Image.width(); ++X) Ink += qAlpha(Image.pixel(X, Y)) == 255;
            // Fault: the glyph drawn at its design size into a corner of a larger picture.
            EXPECT_GT(Ink, Image.width() * Image.height() / 8);
        }
}

class MapAtRatioTwo : public RenderTest {
protected:
    void SetUp() override {
        ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
        View.SetScrollBars(ssNone);
        FlatMap(360, 180);
        View.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    }
};

TEST_F(MapAtRatioTwo, TheMeasuredPathLiesOnThePlacesItJoins) {
    TMeasurePath Path;
    Path.Add(LL(-90, 45));
    TMeasureOverlay Overlay(View, Path);
    Overlay.show();
    const QImage Shown = View.grab().toImage();
    // The circle round the place at surface (90, 45); drawn at the surface's numbers in window
    // pixels, it would lie round (180, 90).
    int N = 0;
    long SumX = 0, SumY = 0;
    for (int Y = 0; Y < Shown.height(); ++Y)
        for (int X = 0; X < Shown.width(); ++X) {
            const QRgb C = Shown.pixel(X, Y);
            if (qRed(C) > 150 && qGreen(C) < 100 && qBlue(C) < 100) {
                ++N;
                SumX += X;
                SumY += Y;
            }
        }
    ASSERT_GT(N, 0);
    EXPECT_NEAR(double(SumX) / N, 90, 2);
    EXPECT_NEAR(double(SumY) / N, 45, 2);
}

TEST_F(MapAtRatioTwo, TheScaleIsTheOneTheScreenShows) {
    // 360 degrees across 180 window pixels: half a window pixel per degree, whatever the ratio.
    TMapStatus Status;
    Status.ShowView(View);
    const std::string Expected = FormatScale(0.5L / Deg, TOrvex3::ScreenPixelsPerInch());
    ASSERT_FALSE(Expected.empty());
    // Fault: surface pixels counted as the screen's, which halves the scale's number.
    EXPECT_EQ(Status.ScaleText().toStdString(), Expected);
}

}  // namespace
