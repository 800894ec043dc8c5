#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "projections/OXProject.h"
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

// Points are skipped before projection only where projecting them would drop them too: the
// chain comes out as projecting every point and dropping those within a pixel of the last
// kept one gives, across +-180 degrees, at the poles, past the surface edge and on the
// pixel boundaries themselves.
TEST_F(PrjTest, ChainsComeOutAsIfEveryPointWereProjected) {
    View.SetSurfaceSize(1920, 1080);
    struct TCase {
        const char* Name;
        bool Mercator;
        long double Scale;
        int32_t XOrigin, YOrigin, CentralMeridian;
    };
    const long double World = 1920.0L / OrvexUnits::Deg360;
    const TCase Cases[] = {
        {"whole world", false, World, 960, 540, 0},
        {"whole world, Mercator", true, World, 960, 540, 0},
        {"ties at every other column", false, 150.0L / 1944000000.0L, 75, 75, 0},
        {"zoomed on the seam", false, World * 40, 960 - 40 * 960, 540, 170 * Deg},
        {"zoomed on the seam, Mercator", true, World * 40, 960 + 30000, 540 + 20000, -100 * Deg},
        {"zoomed near a pole, Mercator", true, World * 3000, 960, 540 + 3000 * 1150, 0},
        {"far off the surface", false, World * 8, -50000, 9000, 0},
    };
    std::mt19937 Random(12);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCartesianPrj* Prj = C.Mercator ? Use(new TMercatorPrj(&View)) : Use(new TCartesianPrj(&View));
        Prj->ApplyScaleFactor(C.Scale);
        Prj->SetXOrigin(C.XOrigin);
        Prj->SetYOrigin(C.YOrigin);
        Prj->SetParameter(3, C.CentralMeridian);
        std::vector<TPoint3D> Points;
        const int64_t Pixel = static_cast<int64_t>(1 / C.Scale);
        int64_t Lon = 175 * Deg, Lat = 80 * Deg;
        for (int I = 0; I < 30000; ++I) {
            const int64_t Step = I % 1000 == 0 ? 30 * Deg : Pixel * 3;
            Lon = NormalizeLongitude(Lon + std::uniform_int_distribution<int64_t>(-Step, Step)(Random));
            Lat = std::clamp<int64_t>(Lat + std::uniform_int_distribution<int64_t>(-Step, Step)(Random), -91 * Deg,
                                      91 * Deg);
            Points.push_back(TPoint3D{static_cast<int32_t>(Lon), static_cast<int32_t>(Lat), 0});
            if (I % 500 == 0) {
                // Exactly on the seam, and unit steps across a column's and a row's boundary.
                Points.push_back(TPoint3D{OrvexUnits::Deg180, static_cast<int32_t>(Lat), 0});
                const int64_t Rel = NormalizeLongitude(Lon - C.CentralMeridian);
                const int64_t Column = C.CentralMeridian + std::llrint((std::floor(Rel * C.Scale) + 0.5L) / C.Scale);
                int64_t Row = std::llrint((std::floor(Lat * C.Scale) + 0.5L) / C.Scale);
                if (C.Mercator && Prj->LLToXY(0, static_cast<int32_t>(Lat), 0)) {
                    // The latitude whose ordinate lies on the boundary of the point's row.
                    const long double Ordinate = (Prj->YOrigin() - At(0).Y + 0.5L) / C.Scale;
                    Row = std::llrint((2 * std::atan(std::exp(Ordinate * RadiansPerOrvexUnit)) - OrvexPi / 2) /
                                      RadiansPerOrvexUnit);
                }
                for (int64_t K = -3; K <= 3; ++K)
                    Points.push_back(TPoint3D{NormalizeLongitude(Column + K), static_cast<int32_t>(Lat), 0});
                for (int64_t K = -3; K <= 3; ++K)
                    Points.push_back(TPoint3D{static_cast<int32_t>(Lon), static_cast<int32_t>(Row + K), 0});
            }
        }
        const std::vector<TPixelPoint> Expected = KeptOneByOne(*Prj, Points);
        ASSERT_LT(Expected.size(), size_t(MaxChainEntries));
        auto* O = TGeoDataObject::Create(Layer);
        O->SetPoints(Points.data(), static_cast<int32_t>(Points.size()));
        const int32_t N = Prj->ProjectChain(O);
        ASSERT_EQ(N, static_cast<int32_t>(Expected.size()));
        for (int32_t I = 0; I < N; ++I) ASSERT_EQ(At(I), Expected[I]) << I;
    }
}

namespace {
// The same map with every fifteen-degree sample of a box placed, as maps without ranks test it.
template <class T>
class TSampled : public T {
public:
    using T::T;

protected:
    bool SeparableAxes() const override { return false; }
};
}  // namespace

// Maps whose columns follow the longitude and rows the latitude test an extent by its corners
// alone: they must say what sampling its edges says (visible, clip code, side and seam bits)
// for boxes over the seam or the meridian opposite the central one, boxes partly off the map,
// and scales at which corners leave the pixel range.
TEST_F(PrjTest, CornerExtentTestsAgreeWithSampledEdges) {
    const struct {
        const char* Name;
        TPrjModel* Fast;
        TPrjModel* Sampled;
    } Maps[] = {
        {"cartesian", Use(new TCartesianPrj(&View)), Use(new TSampled<TCartesianPrj>(&View))},
        {"mercator", Use(new TMercatorPrj(&View)), Use(new TSampled<TMercatorPrj>(&View))},
        {"cylindrical", Use(new TCylEqualAreaPrj(&View)), Use(new TSampled<TCylEqualAreaPrj>(&View))},
    };
    TGeoDataObject* A = Chain({});
    TGeoDataObject* B = Chain({});
    TGeoDataObject* C = Chain({});
    constexpr uint16_t Bits = osBackSide | osFrontSide | osWrapsMeridian;
    // A pass's quick test, taken once the tables are made, answers as the test itself or not at
    // all, writing nothing; a map moved since has none.
    int Quick = 0;
    std::mt19937 Random(31);
    std::uniform_int_distribution<int32_t> Left(-180 * Deg, 180 * Deg - 1), Bottom(-95 * Deg, 90 * Deg),
        Width(0, 200 * Deg), Height(0, 100 * Deg);
    int Visible = 0;
    for (const auto& M : Maps)
        for (const int32_t Meridian : {0, 100 * Deg, -179 * Deg})
            for (const long double Scale : {1e-6L, 3e-4L, 5.0L})
                // The map off the surface, or on it: boxes a few pixels across lie on every
                // side of its edges, where the corners are placed through the rank tables.
                for (const int32_t Origin : {400, 75}) {
                SCOPED_TRACE(std::string(M.Name) + " meridian " + std::to_string(Meridian / Deg) + " scale " +
                             std::to_string(static_cast<double>(Scale)) + " origin " + std::to_string(Origin));
                for (TPrjModel* P : {M.Fast, M.Sampled}) {
                    P->SetParameter(3, Meridian);
                    P->ApplyScaleFactor(Scale);
                    P->SetXOrigin(Origin);
                    P->SetYOrigin(Origin == 75 ? 75 : -300);
                }
                ASSERT_FALSE(M.Fast->QuickExtents()) << "tables of the map before it moved";
                ASSERT_EQ(M.Fast->CentralMeridian(), M.Sampled->CentralMeridian());
                // Units a pixel spans, roughly, near the centre.
                const int32_t Pixel = int32_t(std::clamp<long double>(1 / Scale, 1, 1e8));
                std::uniform_int_distribution<int32_t> Few(0, 6 * Pixel);
                for (int I = 0; I < 400; ++I) {
                    // Now and then a box a unit wide, or one ending on the date line.
                    TExtent E{Left(Random), Bottom(Random), I % 7 == 0 ? 1 : Width(Random), Height(Random)};
                    if (I % 11 == 0) E.Width = int32_t(int64_t(180 * Deg) - E.Left);
                    if (I % 3 == 1 && Origin == 75) {
                        // Near the surface: from its middle out to beyond its edges.
                        const long double Reach = 90.0L / Scale;
                        const auto Most = int64_t(std::min<long double>(Reach, 170.0L * Deg));
                        std::uniform_int_distribution<int64_t> Near(-Most, Most);
                        const int64_t Lon = Near(Random) + Meridian, Lat = Near(Random);
                        E = TExtent{NormalizeLongitude(Lon), int32_t(std::clamp<int64_t>(Lat, -80 * Deg, 80 * Deg)),
                                    Few(Random), Few(Random)};
                    }
                    uint8_t CodeA = 0xAA, CodeB = 0xAA;
                    A->ExcludeState(Bits);
                    B->ExcludeState(Bits);
                    const bool Fast = M.Fast->IsExtentVisible(E, A, CodeA);
                    ASSERT_EQ(Fast, M.Sampled->IsExtentVisible(E, B, CodeB)) << I;
                    ASSERT_EQ(CodeA, CodeB) << I;
                    ASSERT_EQ(A->State() & Bits, B->State() & Bits) << I;
                    ASSERT_EQ(M.Fast->IsExtentVisible(E, nullptr, CodeA), M.Sampled->IsExtentVisible(E, nullptr, CodeB));
                    Visible += Fast;
                    uint8_t CodeC = 0xAA;
                    C->ExcludeState(Bits);
                    if (const std::optional<bool> Shown = M.Fast->QuickExtents().Decide(E, C, CodeC)) {
                        ASSERT_EQ(*Shown, Fast) << I;
                        ASSERT_EQ(CodeC, CodeB) << I;
                        ASSERT_EQ(C->State() & Bits, B->State() & Bits) << I;
                        ++Quick;
                    } else {
                        ASSERT_EQ(CodeC, 0xAA) << I;
                        ASSERT_EQ(C->State() & Bits, 0) << I;
                    }
                }
            }
    EXPECT_GT(Visible, 1000);
    EXPECT_GT(Quick, 3000);
}
