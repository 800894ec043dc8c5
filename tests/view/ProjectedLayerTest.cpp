// A layer of thousands of polygons draws the same picture as its objects projected point
// by point and drawn straight onto a device context.

#include <QPainter>
#include <random>

#include "RenderFixtures.h"

namespace {

constexpr int W = 720, H = 360;

QColor Q(TColor C) { return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }

class ProjectedLayerTest : public RenderTest {
protected:
    struct TStyle {
        TColor Pen, Brush;
        TPolygonPresenter* Presenter;
    };

    void Build() {
        TOrvexLayer* L = View.AddLayer("many");
        Styles = {{Red, Blue, nullptr}, {Black, Yellow, nullptr}, {Green, Magenta, nullptr}};
        for (TStyle& S : Styles) S.Presenter = AreaStyle(L, S.Pen, S.Brush);
        std::mt19937 Random(20240611);
        // Within the surface in both projections: where the clipper cuts an acute corner its
        // rounded crossings may open or close a sliver of a pixel, which a comparison
        // allowing a pixel's displacement cannot tell from a fault.
        std::uniform_real_distribution<double> Lon(-170, 160), Lat(-64, 56), Size(3, 8);
        for (int I = 0; I < 3000; ++I) {
            const double X = Lon(Random), Y = Lat(Random), DX = Size(Random), DY = Size(Random);
            // Triangles, rectangles and concave arrows, their corners a few pixels apart.
            std::vector<TPoint3D> Ring;
            if (I % 3 == 0)
                Ring = {LL(X, Y), LL(X + DX, Y), LL(X, Y + DY)};
            else if (I % 3 == 1)
                Ring = {LL(X, Y), LL(X + DX, Y), LL(X + DX, Y + DY), LL(X, Y + DY)};
            else
                Ring = {LL(X, Y), LL(X + DX, Y + DY / 2), LL(X, Y + DY), LL(X + DX / 2, Y + DY / 2)};
            Rings.push_back(Ring);
            Chain(L, Styles[I % 3].Presenter, Ring);
        }
    }

    QImage Reference() {
        QImage R(W, H, QImage::Format_RGB32);
        R.fill(Q(Teal));
        QPainter Painter(&R);
        TDeviceContext DC(&Painter);
        for (size_t I = 0; I < Rings.size(); ++I) {
            if (Across(Rings[I], Seam)) continue;
            std::vector<TPixelPoint> Pts;
            for (const TPoint3D& P : Rings[I]) Pts.push_back(At(P));
            DC.SelectObject(CreatePen(PS_SOLID, 1, Styles[I % 3].Pen));
            DC.SelectObject(CreateBrushIndirect({BS_SOLID, Styles[I % 3].Brush, 0}));
            DC.Polygon(Pts.data(), int(Pts.size()));
        }
        return R;
    }

    void ExpectSamePicture() {
        const QImage& Img = Picture();
        // The first row and column hold the map's outline, which the reference leaves out.
        const QImage A = Img.copy(1, 1, W - 1, H - 1), B = Reference().copy(1, 1, W - 1, H - 1);
        EXPECT_GT(CountColour(A, Magenta), 5000);
        EXPECT_EQ(Unmatched(A, B), 0);
        EXPECT_EQ(Unmatched(B, A), 0);
    }

    // Whether a ring has corners on both sides of a longitude.
    static bool Across(const std::vector<TPoint3D>& Ring, int32_t Longitude) {
        bool West = false, East = false;
        for (const TPoint3D& P : Ring) (P.X < Longitude ? West : East) = true;
        return West && East;
    }

    // Rings across it are left out of the reference.
    int32_t Seam = -OrvexUnits::Deg180;
    std::vector<TStyle> Styles;
    std::vector<std::vector<TPoint3D>> Rings;
};

TEST_F(ProjectedLayerTest, Cartesian) {
    FlatMap(W, H, opCartesian);
    Build();
    ExpectSamePicture();
}

TEST_F(ProjectedLayerTest, Mercator) {
    FlatMap(W, H, opMercator);
    Build();
    ExpectSamePicture();
}

TEST_F(ProjectedLayerTest, ObjectsAwayFromAMovedSeamStayWhole) {
    // With the seam at 100 degrees west the objects across it are split to the map's
    // edges; all others match their projected points.
    FlatMap(W, H, opCartesian);
    View.ProjectionModel()->SetParameter(3, 80 * Deg);
    Seam = -100 * Deg;
    Build();
    const QImage& Img = Picture();
    const QImage Ref = Reference();
    // Away from the map's edges, where the split pieces lie, the pictures agree.
    const QImage A = Img.copy(20, 1, W - 40, H - 1), B = Ref.copy(20, 1, W - 40, H - 1);
    EXPECT_EQ(Unmatched(A, B), 0);
    EXPECT_EQ(Unmatched(B, A), 0);
}

}  // namespace
