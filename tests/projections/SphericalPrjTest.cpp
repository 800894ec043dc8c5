#include <cmath>
#include <limits>
#include <random>

#include "tests/projections/PrjFixtures.h"

namespace {
// A sphere of disc radius 75 centred on the 150 x 150 surface, seen from (0, 0).
class SphereTest : public PrjTest {
protected:
    void SetUp() override { Prj->SetParameter(0, 0); }
    TSphericalPrj* Prj = Use(new TSphericalPrj(&View));
};
}  // namespace

TEST_F(SphereTest, ProjectsKnownPointsAndCullsTheFarSide) {
    EXPECT_TRUE(Prj->LLToXY(0, 0, 0));
    EXPECT_EQ(At(0), (TPixelPoint{75, 75}));
    EXPECT_TRUE(Prj->PointToXY(LL(90, 0), 1)) << "a point on the horizon counts as visible";
    EXPECT_EQ(At(1), (TPixelPoint{150, 75}));
    Prj->PointToXY(LL(0, 90), 2);  // on the horizon up to rounding
    EXPECT_EQ(At(2), (TPixelPoint{75, 0})) << "north is up";
    PointBuffer[3] = TPixelPoint{-1, -1};
    EXPECT_FALSE(Prj->PointToXY(LL(180, 0), 3));
    EXPECT_EQ(At(3), (TPixelPoint{75, 75})) << "hidden points are still written";
    View.BackSidePass = true;
    EXPECT_TRUE(Prj->PointToXY(LL(180, 0), 3));
    EXPECT_FALSE(Prj->PointToXY(LL(0, 0), 3));
    View.BackSidePass = false;
}

TEST_F(SphereTest, RotationsTurnTheSphereAndAreClampedOrWrapped) {
    Prj->SetParameter(0, 30 * Deg);
    Prj->SetParameter(1, -60 * Deg);
    EXPECT_TRUE(Prj->PointToXY(LL(-60, 30), 0));
    EXPECT_EQ(At(0), (TPixelPoint{75, 75})) << "(YRotation, XRotation) faces the viewer";

    Prj->SetParameter(0, 0);
    Prj->SetParameter(1, 0);
    Prj->SetParameter(2, 90 * Deg);
    Prj->PointToXY(LL(0, 90), 0);
    Prj->PointToXY(LL(90, 0), 1);
    Prj->PointToXY(LL(0, 0), 2);
    EXPECT_EQ(At(0), (TPixelPoint{150, 75}));
    EXPECT_EQ(At(1), (TPixelPoint{75, 150}));
    EXPECT_EQ(At(2), (TPixelPoint{75, 75})) << "ZRotation turns about the axis through (0, 0)";

    Prj->SetParameter(0, 100 * Deg);
    EXPECT_EQ(Prj->XRotation(), 90 * Deg);
    Prj->SetParameter(0, -100 * Deg);
    EXPECT_EQ(Prj->XRotation(), -90 * Deg);
    Prj->SetParameter(1, 190 * Deg);
    EXPECT_EQ(Prj->YRotation(), -170 * Deg);
    Prj->SetParameter(2, -190 * Deg);
    EXPECT_EQ(Prj->ZRotation(), 170 * Deg);
}

TEST_F(SphereTest, InverseHitsTheNearSideWithinTheDisc) {
    ASSERT_TRUE(Prj->XYToLL(75, 75, 0));
    EXPECT_EQ(At(0), (TPixelPoint{0, 0}));
    ASSERT_TRUE(Prj->XYToLL(75, 1, 0));
    EXPECT_EQ(At(0).X, 0);
    EXPECT_GT(At(0).Y, 80 * Deg);
    PointBuffer[0] = TPixelPoint{5, 5};
    EXPECT_FALSE(Prj->XYToLL(151, 75, 0));
    EXPECT_FALSE(Prj->XYToLL(130, 130, 0));
    EXPECT_EQ(At(0), (TPixelPoint{5, 5})) << "a miss leaves the entry alone";

    Prj->SetParameter(0, 23 * Deg);
    Prj->SetParameter(1, 170 * Deg);
    for (int32_t Y = 5; Y < 150; Y += 10)
        for (int32_t X = 5; X < 150; X += 10) {
            if (!Prj->XYToLL(X, Y, 0)) continue;
            const TPixelPoint G = At(0);
            ASSERT_TRUE(Prj->LLToXY(G.X, G.Y, 1)) << X << "," << Y;
            EXPECT_LE(std::abs(At(1).X - X), 1) << X << "," << Y;
            EXPECT_LE(std::abs(At(1).Y - Y), 1) << X << "," << Y;
        }
}

TEST_F(SphereTest, ChainsAcrossTheHorizonRunAlongTheRim) {
    auto* O = Chain({LL(0, 0), LL(170, 0)});
    EXPECT_EQ(Prj->ProjectChain(O), 2);
    EXPECT_EQ(At(1), (TPixelPoint{88, 75})) << "outside horizon mode no vertex is tested";

    O->IncludeState(osFrontSide | osBackSide);
    EXPECT_EQ(Prj->ProjectChain(O), 2);
    EXPECT_EQ(At(0), (TPixelPoint{75, 75}));
    EXPECT_EQ(At(1), (TPixelPoint{150, 75})) << "the hidden vertex moves onto the rim";

    // The vertex straight behind the centre has no way to the rim and is left out.
    auto* Behind = Chain({LL(90, 0), LL(180, 0), LL(-90, 0)});
    Behind->IncludeState(osFrontSide | osBackSide);
    EXPECT_EQ(Prj->ProjectChain(Behind), 2);
    EXPECT_EQ(At(0), (TPixelPoint{150, 75}));
    EXPECT_EQ(At(1), (TPixelPoint{0, 75}));
}

TEST_F(SphereTest, TheThinnedPointCacheIsBuiltOnceAndTrimmed) {
    const int32_t T = 4125296;  // round(1 / ScaleFactor): units per pixel
    auto* O = Chain({LL(0, 0), TPoint3D{T, T, 0}, TPoint3D{T + 1, 0, 0}, TPoint3D{T + 1, 0, 0}});
    ASSERT_EQ(O->Cache3D(), nullptr);
    Prj->ProjectChain(O);
    const TPoint3DList* Cache = O->Cache3D();
    ASSERT_NE(Cache, nullptr);
    EXPECT_EQ(Cache->Count(), 2);
    EXPECT_EQ(Cache->Capacity(), 2);
    EXPECT_EQ(Cache->Items()[1], PointTo3D(TPoint3D{T + 1, 0, 0}));
    Prj->ProjectChain(O);
    EXPECT_EQ(O->Cache3D(), Cache);
}

TEST_F(SphereTest, PointsHighAboveTheSphereStayOnTheirSide) {
    // Seen from 45 degrees north. 2e9 units up is 2,309,397,230 units from the centre: 560
    // pixels at 75 pixels per earth radius, 396 of them on the screen.
    Prj->SetParameter(0, 45 * Deg);
    const int32_t H = 2000000000;
    const TPoint3D Pole{0, OrvexUnits::Deg90, H}, Equator{0, 0, H};
    ASSERT_TRUE(Prj->PointToXY(Pole, 0));
    EXPECT_EQ(At(0), (TPixelPoint{75, 75 - 396})) << "above the globe, not below its centre";
    ASSERT_TRUE(Prj->PointToXY(Equator, 1));
    EXPECT_EQ(At(1), (TPixelPoint{75, 75 + 396}));

    // A chain with such points is projected the same way, without the int32 cache.
    const TPoint3D East{Deg, 0, H};
    ASSERT_TRUE(Prj->PointToXY(East, 2));
    const TPixelPoint EastPixel = At(2);
    auto* O = Chain({Pole, LL(0, 0), East});
    for (bool Horizon : {false, true}) {
        SCOPED_TRACE(Horizon ? "horizon mode" : "plain");
        if (Horizon) O->IncludeState(osFrontSide | osBackSide);
        ASSERT_EQ(Prj->ProjectChain(O), 3);
        EXPECT_EQ(At(0), (TPixelPoint{75, -321}));
        EXPECT_EQ(At(1), (TPixelPoint{75, 128}));
        EXPECT_EQ(At(2), EastPixel);
        EXPECT_EQ(O->Cache3D(), nullptr);
    }
}

TEST_F(SphereTest, ObjectsBehindTheHorizonAreLeftForTheFarSidePass) {
    auto* O = Chain({});
    const TExtent Behind{170 * Deg, -5 * Deg, 5 * Deg, 10 * Deg};
    EXPECT_TRUE(Prj->IsExtentVisible(Behind, O, O->ClipCodeRef()));
    EXPECT_TRUE(O->HasState(osBackSide));
    EXPECT_FALSE(O->HasState(osFrontSide));
    uint8_t Code;
    EXPECT_FALSE(Prj->IsExtentVisible(Behind, nullptr, Code)) << "without an object nothing visible means false";

    O->ExcludeState(osBackSide);
    EXPECT_TRUE(Prj->IsExtentVisible(TExtent{80 * Deg, -5 * Deg, 20 * Deg, 10 * Deg}, O, O->ClipCodeRef()));
    EXPECT_TRUE(O->HasState(osBackSide) && O->HasState(osFrontSide)) << "straddles the horizon";
}

TEST_F(SphereTest, ARingSeenUpCloseComesInPiecesThatFitTheBuffer) {
    Prj->ApplyScaleFactor(0.01L);  // 2 degrees are about 108,000 pixels
    auto* Ring = Chain({});
    constexpr int32_t Count = 200000;
    for (int32_t I = 0; I < Count; ++I) {
        const double A = 2 * M_PI * I / Count;
        Ring->AddPoint(TPoint3D{static_cast<int32_t>(std::lround(2 * Deg * std::cos(A))),
                                static_cast<int32_t>(std::lround(2 * Deg * std::sin(A))), 0});
    }
    int32_t Resume = 0, Pieces = 0, Total = 0;
    TPixelPoint LastOfPiece{};
    while (Resume >= 0) {
        const int32_t N = Prj->ProjectChain(Ring, Resume);
        EXPECT_EQ(N, Resume >= 0 ? MaxChainEntries : Count + 3 - 3 * MaxChainEntries);
        if (Pieces > 0) {
            EXPECT_EQ(At(0), LastOfPiece);
        }
        LastOfPiece = At(N - 1);
        Total += N;
        ++Pieces;
    }
    EXPECT_EQ(Pieces, 4);
    EXPECT_EQ(Prj->ProjectChain(Ring, Resume), 0) << "a finished chain stays finished";
}

TEST_F(SphereTest, HugeOrUndefinedScalesNeverPlaceGarbage) {
    Prj->ApplyScaleFactor(1e30L);
    ASSERT_TRUE(Prj->PointToXY(LL(10, 0), 0));
    EXPECT_EQ(At(0), (TPixelPoint{PixelLimit, 75})) << "pulled in along its direction";

    Prj->ApplyScaleFactor(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_FALSE(Prj->PointToXY(LL(0, 0), 0));
    EXPECT_FALSE(Prj->XYToLL(75, 75, 0));
    auto* O = Chain({LL(0, 0), LL(1, 1)});
    EXPECT_EQ(Prj->ProjectChain(O), 0);
    uint8_t Code;
    EXPECT_FALSE(Prj->IsExtentVisible(TExtent{0, 0, Deg, Deg}, O, Code));

    Prj->ApplyScaleFactor(0);
    EXPECT_FALSE(Prj->XYToLL(75, 75, 0));
}

TEST_F(SphereTest, TheDiscOutlineHas90PointsOnTheRim) {
    Prj->PaintBackground();
    EXPECT_EQ(At(0), (TPixelPoint{150, 75}));
    EXPECT_EQ(At(45), (TPixelPoint{0, 75}));
    for (int I = 0; I < 90; ++I)
        EXPECT_NEAR(std::hypot(At(I).X - 75, At(I).Y - 75), 75, 0.75) << I;
}

// The bounding cap decides an extent test only where the samples would all agree: the result,
// the clip code and the side bits are those of the samples, in both passes, over extents of
// every size around the globe (the date line, the poles, the horizon and the surface's edges)
// seen from random rotations, scales and origins.
TEST_F(SphereTest, TheBoundingCapDecidesAsTheSamplesDo) {
    std::mt19937 Random(20261209);
    auto Uniform = [&](int64_t Low, int64_t High) {
        return std::uniform_int_distribution<int64_t>(Low, High)(Random);
    };
    const int32_t Sizes[] = {1, Deg / 1000, Deg / 20, Deg, 7 * Deg, 40 * Deg, 179 * Deg};
    auto* Fast = Chain({});
    auto* Sampled = Chain({});
    int Decided = 0;
    constexpr int Cases = 30000;
    for (int Case = 0; Case < Cases; ++Case) {
        if (Case % 300 == 0) {
            Prj->SetParameter(0, static_cast<int32_t>(Uniform(-OrvexUnits::Deg90, OrvexUnits::Deg90)));
            Prj->SetParameter(1, static_cast<int32_t>(Uniform(-OrvexUnits::Deg180, OrvexUnits::Deg180)));
            Prj->SetParameter(2, Case % 900 == 0 ? static_cast<int32_t>(Uniform(-OrvexUnits::Deg180, 0)) : 0);
            const long double Zoom[] = {1, 1, 2.5L, 40};
            Prj->ApplyScaleFactor(75.0L / EarthRadius * Zoom[Uniform(0, 3)]);
            Prj->SetXOrigin(static_cast<int32_t>(Uniform(-40, 190)));
            Prj->SetYOrigin(static_cast<int32_t>(Uniform(-40, 190)));
        }
        const int32_t W = Sizes[Uniform(0, 6)], H = Case % 5 == 0 ? W : Sizes[Uniform(0, 6)];
        const TExtent E{static_cast<int32_t>(Uniform(-OrvexUnits::Deg180, OrvexUnits::Deg180)),
                        static_cast<int32_t>(Uniform(-95 * Deg, 95 * Deg)), W, H};
        Fast->SetExtents(E);
        Sampled->SetExtents(E);
        Fast->SetState(osWrapsMeridian * (Case & 1));
        Sampled->SetState(Fast->State());
        View.BackSidePass = Case % 3 == 0;
        uint8_t FastCode = 99, SampledCode = 99;
        const bool FastResult = Prj->IsExtentVisible(E, Fast, FastCode);
        const bool SampledResult = Prj->TPrjModel::IsExtentVisible(E, Sampled, SampledCode);
        const bool ByCap = Prj->CapSide(Fast->BoundingCap()) != 0;
        Decided += ByCap;
        ASSERT_EQ(FastResult, SampledResult) << Case << (ByCap ? " by the cap" : "");
        ASSERT_EQ(FastCode, SampledCode) << Case;
        ASSERT_EQ(Fast->State(), Sampled->State()) << Case;
    }
    View.BackSidePass = false;
    EXPECT_GT(Decided, Cases / 10) << "the cap decides a good share";
    EXPECT_LT(Decided, Cases) << "some are left to the samples";
}
