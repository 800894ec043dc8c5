#include <cmath>
#include <limits>

#include "tests/projections/PrjFixtures.h"

namespace {
// The Cartesian projection as fitted to a 300 x 150 surface.
class CartesianTest : public PrjTest {
protected:
    void SetUp() override {
        Prj->ApplyScaleFactor(150.0L / 972000000.0L);
        Prj->SetXOrigin(150);
        Prj->SetYOrigin(75);
    }
    TCartesianPrj* Prj = Use(new TCartesianPrj(&View));
};
}  // namespace

TEST_F(CartesianTest, PlacesLongitudeAndLatitudeLinearly) {
    EXPECT_TRUE(Prj->PointToXY(LL(90, 30), 0));
    EXPECT_EQ(At(0), (TPixelPoint{225, 50}));
    EXPECT_TRUE(Prj->PointToXY(LL(180, 0), 0));
    EXPECT_EQ(At(0), (TPixelPoint{0, 75})) << "180 degrees is the normalised -180";
    PointBuffer[0] = TPixelPoint{1, 1};
    EXPECT_FALSE(Prj->PointToXY(TPoint3D{0, 90 * Deg + 540, 0}, 0));
    EXPECT_FALSE(Prj->PointToXY(TPoint3D{-180 * Deg - 1, 0, 0}, 0));
    EXPECT_EQ(At(0), (TPixelPoint{1, 1})) << "nothing written for points off the map";
    EXPECT_TRUE(Prj->PointToXY(LL(0, -90), 0)) << "bounds included";

    Prj->SetParameter(3, 90 * Deg);
    Prj->LLToXY(-170 * Deg, 0, 0);
    EXPECT_EQ(At(0).X, 150 + 83) << "100 degrees east of the central meridian";

    Prj->SetParameter(3, 0);
    Prj->ApplyScaleFactor(150.0L / 1944000000.0L);  // 150 x 150: halves are ties, rounded to even
    Prj->SetXOrigin(75);
    Prj->LLToXY(90 * Deg, 30 * Deg, 0);
    EXPECT_EQ(At(0), (TPixelPoint{113, 63}));
}

TEST_F(CartesianTest, InverseReturnsToTheSamePixel) {
    Prj->SetParameter(3, 35 * Deg);
    for (int32_t Y = 1; Y < 150; Y += 7)
        for (int32_t X = 1; X < 300; X += 13) {
            ASSERT_TRUE(Prj->XYToLL(X, Y, 0)) << X << "," << Y;
            const TPixelPoint G = At(0);
            ASSERT_TRUE(Prj->LLToXY(G.X, G.Y, 1));
            EXPECT_LE(std::abs(At(1).X - X), 1);
            EXPECT_LE(std::abs(At(1).Y - Y), 1);
        }
    EXPECT_FALSE(Prj->XYToLL(150, -5, 0)) << "north of 90 degrees";
    EXPECT_FALSE(Prj->XYToLL(std::numeric_limits<int32_t>::max(), 75, 0));
    Prj->ApplyScaleFactor(1e-12L);
    EXPECT_FALSE(Prj->XYToLL(std::numeric_limits<int32_t>::min(), 75, 0)) << "beyond the integer range";
    Prj->ApplyScaleFactor(0);
    EXPECT_FALSE(Prj->XYToLL(150, 75, 0));
}

TEST_F(CartesianTest, FarOffPixelsStayWithinRange) {
    Prj->ApplyScaleFactor(4);
    Prj->SetXOrigin(std::numeric_limits<int32_t>::max() - 10);
    ASSERT_TRUE(Prj->PointToXY(LL(179, 0), 0));
    EXPECT_EQ(At(0), (TPixelPoint{PixelLimit, 75})) << "clamped along its direction from the surface";
    ASSERT_TRUE(Prj->PointToXY(LL(-179, 0), 0));
    EXPECT_EQ(At(0).Y, 75);
    EXPECT_LE(std::abs(At(0).X), PixelLimit);
    Prj->ApplyScaleFactor(std::numeric_limits<long double>::infinity());
    EXPECT_FALSE(Prj->PointToXY(LL(10, 10), 0));
}

TEST_F(CartesianTest, RotatingPansTheMap) {
    const long double S = Prj->ScaleFactor();
    Prj->SetParameter(1, 10 * Deg);
    EXPECT_EQ(Prj->CentralMeridian(), 10 * Deg);
    EXPECT_EQ(Prj->YRotation(), 10 * Deg);
    Prj->SetParameter(1, -170 * Deg);
    EXPECT_EQ(Prj->CentralMeridian(), -170 * Deg);

    Prj->SetParameter(1, 0);
    ASSERT_EQ(Prj->CentralMeridian(), 0);
    Prj->SetYAxisChanges(yaXOrigin);
    Prj->SetParameter(1, 10 * Deg);
    EXPECT_EQ(Prj->XOrigin(), 150 - std::llrint(10 * Deg * S));
    EXPECT_EQ(Prj->CentralMeridian(), 0);

    const int32_t Y0 = Prj->YOrigin();
    Prj->SetParameter(0, Prj->XRotation() + 12 * Deg);  // xaYOrigin: the map moves down
    EXPECT_EQ(Prj->YOrigin(), Y0 + std::llrint(12 * Deg * S));

    Prj->SetXAxisChanges(xaCentralParallel);
    Prj->SetParameter(6, 5 * Deg);
    Prj->SetParameter(0, Prj->XRotation() - 20 * Deg);
    EXPECT_EQ(Prj->CentralParallel(), -15 * Deg);
    Prj->SetParameter(6, 90 * Deg);
    Prj->SetParameter(0, Prj->XRotation() + 20 * Deg);
    EXPECT_EQ(Prj->CentralParallel(), 90 * Deg) << "a central parallel at the pole stays";
}

TEST_F(PrjTest, PansBeyondTheExtentsMoveByTheAngle) {
    auto* Prj = Use(new TMercatorPrj(&View));
    const long double S = Prj->ScaleFactor();
    const int32_t Y0 = Prj->YOrigin();
    Prj->SetParameter(0, Prj->XRotation() + 100 * Deg);  // beyond 89 degrees of Mercator
    EXPECT_EQ(Prj->YOrigin(), Y0 + std::llrint(100 * Deg * S));
}

TEST_F(PrjTest, MercatorStretchesLatitudesUpTo89Degrees) {
    auto* Prj = Use(new TMercatorPrj(&View));
    EXPECT_FALSE(Prj->PointToXY(LL(0, 89.5), 0));
    EXPECT_FALSE(Prj->PointToXY(LL(0, -89.5), 0));
    ASSERT_TRUE(Prj->PointToXY(LL(30, 0), 0));
    EXPECT_EQ(At(0), (TPixelPoint{75 + 12, 75})) << "the equator on YOrigin; 12.5 pixels round to even";
    ASSERT_TRUE(Prj->PointToXY(LL(0, 60), 0));
    const double Expected = std::log(std::tan(M_PI / 4 + M_PI / 6)) * 972000000.0 / M_PI * 150 / 1944000000.0;
    EXPECT_EQ(At(0).Y, 75 - std::lround(Expected));

    Prj->ApplyScaleFactor(Prj->ScaleFactor() * 20);
    for (int32_t Y = -1400; Y < 1500; Y += 37)
        for (int32_t X = -1400; X < 1500; X += 97) {
            if (!Prj->XYToLL(X, Y, 0)) continue;
            const TPixelPoint G = At(0);
            ASSERT_TRUE(Prj->LLToXY(G.X, G.Y, 1)) << X << "," << Y;
            EXPECT_LE(std::abs(At(1).X - X), 1);
            EXPECT_LE(std::abs(At(1).Y - Y), 1);
        }
    EXPECT_FALSE(Prj->XYToLL(75, -100000, 0)) << "beyond 89 degrees north";
    EXPECT_FALSE(Prj->XYToLL(75, 100000, 0));
}
