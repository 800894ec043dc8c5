// Chains longer than the shared point buffer, seen up close so that clipping multiplies
// their points, are drawn whole: the picture equals the one QPainter makes of the raw
// projected points.

#include <QPainter>
#include <numbers>

#include "RenderFixtures.h"

namespace {

constexpr int32_t RingPoints = 200000;
constexpr int32_t W = 400, H = 300;
constexpr long double Scale = 0.02L;  // pixels per OrvexUnit
constexpr long double RadiusPx = 100000;

// A ring about (0, 0) whose edge zigzags 300 pixels either way with a wavelength of about
// 30 pixels, so that a 400 x 300 surface on its edge is crossed dozens of times.
std::vector<TPoint3D> WobblyRing(int32_t CentreLongitude = 0) {
    std::vector<TPoint3D> R;
    R.reserve(RingPoints);
    const long double Waves = std::nearbyint(2 * std::numbers::pi_v<long double> * RadiusPx / 30);
    for (int32_t I = 0; I < RingPoints; ++I) {
        const long double T = 2 * std::numbers::pi_v<long double> * I / RingPoints;
        const long double Rad = (RadiusPx + 300 * std::sin(Waves * T)) / Scale;
        R.push_back(TPoint3D{NormalizeLongitude(CentreLongitude + std::llrint(Rad * std::cos(T))),
                             static_cast<int32_t>(std::llrint(Rad * std::sin(T))), 0});
    }
    return R;
}

class LongChainTest : public RenderTest {
protected:
    void Build(bool Filled, int32_t CentreLongitude = 0) {
        TOrvexLayer* L = View.AddLayer("ring");
        TOrvexPresenter* P = Filled ? static_cast<TOrvexPresenter*>(AreaStyle(L, Red, Blue)) : LineStyle(L, Red);
        Ring = Chain(L, P, WobblyRing(CentreLongitude));
        this->Filled = Filled;
    }

    // The ring's projected points drawn whole and unclipped, in one call.
    QImage Reference() {
        std::vector<TPixelPoint> Pts;
        for (const TPoint3D& P : WobblyRing())
            if (View.ProjectionModel()->PointToXY(P, 0)) Pts.push_back(PointBuffer[0]);
        QImage R(W, H, QImage::Format_RGB32);
        R.fill(QColor(0, 0x80, 0x80));  // the mapped area covers the surface
        QPainter Painter(&R);
        TDeviceContext DC(&Painter);
        DC.SelectObject(CreatePen(PS_SOLID, 1, Red));
        DC.SelectObject(CreateBrushIndirect({BS_SOLID, Blue, 0}));
        if (Filled) DC.Polygon(Pts.data(), int(Pts.size()));
        else DC.Polyline(Pts.data(), int(Pts.size()));
        return R;
    }

    void ExpectSameAsReference() { ExpectSameAs(Reference()); }
    void ExpectSameAs(const QImage& Ref) {
        // The projected ring does not fit the point buffer.
        int32_t Resume = 0;
        View.ProjectionModel()->ProjectChain(Ring, Resume);
        EXPECT_GE(Resume, 0);
        const QImage& Img = Picture();
        // The surface shows both the ring's inside and its zigzag edge.
        EXPECT_GT(CountColour(Img, Red), 2000);
        if (Filled) {
            EXPECT_GT(CountColour(Img, Blue), 10000);
        }
        EXPECT_GT(CountColour(Img, Teal), 10000);
        EXPECT_EQ(Unmatched(Img, Ref), 0);
        EXPECT_EQ(Unmatched(Ref, Img), 0);
    }

    void OnFlatMap() {
        FlatMap(W, H);
        View.ZoomToScale(Scale);
        // The ring's east edge runs down the middle of the surface.
        View.SetOrigin(TPixelPoint{static_cast<int32_t>(W / 2 - RadiusPx), H / 2});
    }
    void OnSphere() {
        View.SetSurfaceSize(W, H);
        View.SetProjection(opSpherical);
        View.ZoomToScale(Scale);
        View.CenterOn(static_cast<int32_t>(std::llrint(RadiusPx / Scale)), 0);
    }

    TGeoDataObject* Ring = nullptr;
    bool Filled = false;
};

TEST_F(LongChainTest, PolylineOnFlatMap) {
    Build(false);
    OnFlatMap();
    ExpectSameAsReference();
}

TEST_F(LongChainTest, PolygonOnFlatMap) {
    Build(true);
    OnFlatMap();
    ExpectSameAsReference();
}

// The same ring about 180 degrees, split at the seam, shows the same picture as the ring
// about 0 degrees when the origin moves by 180 degrees' worth of pixels (19,440,000).
TEST_F(LongChainTest, PolylineAcrossTheSeam) {
    Build(false, OrvexUnits::Deg180);
    OnFlatMap();
    const QImage Ref = Reference();
    View.SetOrigin(TPixelPoint{View.GetOrigin().X + 19440000, View.GetOrigin().Y});
    ExpectSameAs(Ref);
}

TEST_F(LongChainTest, PolygonAcrossTheSeam) {
    Build(true, OrvexUnits::Deg180);
    OnFlatMap();
    const QImage Ref = Reference();
    View.SetOrigin(TPixelPoint{View.GetOrigin().X + 19440000, View.GetOrigin().Y});
    ExpectSameAs(Ref);
}

TEST_F(LongChainTest, PolylineOnSphere) {
    Build(false);
    OnSphere();
    ExpectSameAsReference();
}

TEST_F(LongChainTest, PolygonOnSphere) {
    Build(true);
    OnSphere();
    ExpectSameAsReference();
}

}  // namespace
