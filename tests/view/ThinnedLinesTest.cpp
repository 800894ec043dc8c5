// Long lines drawn in whole runs where the point-by-point walk is not needed: the flat maps'
// pieces between seam crossings and the equidistant map's far side away from the antipode.
// A run joined wrongly leaves a gap; a step drawn across a tear draws a chord over the map.

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>

#include "RenderFixtures.h"
#include "projections/OXProject.h"

namespace {

class ThinnedLinesTest : public RenderTest {
protected:
    // A random walk of Count points from (Lon, Lat), steps up to Step degrees.
    static std::vector<TPoint3D> Walk(double Lon, double Lat, int Count, double Step, uint32_t Seed) {
        std::mt19937 Random(Seed);
        std::uniform_real_distribution<double> D(-Step, Step);
        std::vector<TPoint3D> Points;
        for (int I = 0; I < Count; ++I) {
            Lon += D(Random);
            Lat = std::clamp(Lat + D(Random), -89.0, 89.0);
            if (Lon >= 180) Lon -= 360;
            if (Lon < -180) Lon += 360;
            Points.push_back(LL(Lon, Lat));
        }
        return Points;
    }
    // Points whose pixel has no pixel of Colour within one pixel, but for those on the map's
    // edge, where the map's outline clips the line's last pixels, and those off the picture.
    int Missed(const QImage& I, const std::vector<TPoint3D>& Points, TColor Colour) {
        int N = 0;
        for (const TPoint3D& P : Points) {
            if (std::abs(NormalizeLongitude(int64_t(P.X) - View.ProjectionModel()->CentralMeridian())) > 179 * Deg)
                continue;
            if (!View.ProjectionModel()->PointToXY(P, 0)) continue;
            const TPixelPoint Q = PointBuffer[0];
            if (Q.X < 1 || Q.Y < 1 || Q.X >= I.width() - 1 || Q.Y >= I.height() - 1) continue;
            bool Found = false;
            for (int DY = -1; DY <= 1 && !Found; ++DY)
                for (int DX = -1; DX <= 1 && !Found; ++DX) {
                    const int X = Q.X + DX, Y = Q.Y + DY;
                    Found = X >= 0 && Y >= 0 && X < I.width() && Y < I.height() && PixelOf(I, X, Y) == Colour;
                }
            N += !Found;
        }
        return N;
    }
};

TEST_F(ThinnedLinesTest, EveryPointOfALongLineIsReachedOnEveryMap) {
    const struct {
        const char* Name;
        std::function<TPrjModel*(TOrvex3*)> Make;
        double Lon, Lat;
    } Cases[] = {
        {"plate carree, across the seam", TCartesianPrj::Create, 175, 10},
        {"sinusoidal, across the seam", TSinusoidalPrj::Create, -175, -40},
        {"equidistant, far side", TEquidistantPrj::Create, 140, 30},
        {"equidistant, over the antipode", TEquidistantPrj::Create, 178, 1},
        {"bonne, near the apex", TBonnePrj::Create, 30, 85},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        View.SetSurfaceSize(400, 300);
        View.SetProjectionModel(C.Make(&View));
        View.ProjectionModel()->SetParameter(3, 0);
        View.ZoomToScale(0);
        TOrvexLayer* L = View.AddLayer("walk");
        const std::vector<TPoint3D> Points = Walk(C.Lon, C.Lat, 3000, 0.4, 5);
        Chain(L, LineStyle(L, Red), Points);
        const QImage& I = Picture();
        EXPECT_EQ(Missed(I, Points, Red), 0);
        delete L;
    }
}

TEST_F(ThinnedLinesTest, AFarSideLineStaysWhereItsPointsAre) {
    // Away from the antipode no step of a line tears the map: every pixel it draws lies in the
    // box of its points' pixels.
    View.SetSurfaceSize(400, 400);
    View.SetProjectionModel(TEquidistantPrj::Create(&View));
    View.ZoomToScale(0);
    TOrvexLayer* L = View.AddLayer("far");
    const std::vector<TPoint3D> Points = Walk(130, 35, 4000, 0.2, 9);
    Chain(L, LineStyle(L, Red), Points);
    const QImage& I = Picture();
    int Left = I.width(), Right = -1, Top = I.height(), Bottom = -1;
    for (const TPoint3D& P : Points) {
        const TPixelPoint Q = At(P);
        Left = std::min(Left, Q.X);
        Right = std::max(Right, Q.X);
        Top = std::min(Top, Q.Y);
        Bottom = std::max(Bottom, Q.Y);
    }
    EXPECT_EQ(Missed(I, Points, Red), 0);
    int Outside = 0, Drawn = 0;
    for (int Y = 0; Y < I.height(); ++Y)
        for (int X = 0; X < I.width(); ++X)
            if (PixelOf(I, X, Y) == Red) {
                ++Drawn;
                Outside += X < Left - 1 || X > Right + 1 || Y < Top - 1 || Y > Bottom + 1;
            }
    EXPECT_GT(Drawn, 50);
    EXPECT_EQ(Outside, 0);
}

}  // namespace
