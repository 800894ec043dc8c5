// The further flat projections against the spherical formulas, and every registered
// projection through one round-trip table.
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>

#include "projections/OXProject.h"
#include "projections/PrjRegistry.h"
#include "tests/projections/PrjFixtures.h"

namespace {
constexpr long double Pi = OrvexPi;
constexpr long double K = RadiansPerOrvexUnit;
constexpr long double R = 309397209.37064453L;

long double ClampedAsin(long double X) { return X >= 1 ? Pi / 2 : X <= -1 ? -Pi / 2 : std::asin(X); }
long double ClampedAcos(long double X) { return X >= 1 ? 0 : X <= -1 ? Pi : std::acos(X); }

// The textbook spherical formulas, in plane radians. Inverses return false outside the map.
struct TPlane {
    long double X, Y;
};
using TForward = std::function<TPlane(long double Lambda, long double Phi)>;
using TInverse = std::function<bool(long double X, long double Y, long double& Lambda, long double& Phi)>;

TPlane EquidistantForward(long double L, long double F) {
    const long double C = ClampedAcos(std::cos(L) * std::cos(F));
    long double Theta = 0;
    if (std::fabs(std::sin(C)) >= 1e-5L) {
        Theta = ClampedAcos(std::sin(F) / std::sin(C));
        if (std::sin(L) < 0) Theta = 2 * Pi - Theta;
    }
    return {C * std::sin(Theta), C * std::cos(Theta)};
}
bool EquidistantInverse(long double X, long double Y, long double& L, long double& F) {
    const long double Rho = std::hypot(X, Y);
    if (Rho <= 1e-10L) {
        L = F = 0;
        return true;
    }
    F = ClampedAsin(Y * std::sin(Rho) / Rho);
    L = ClampedAcos(std::cos(Rho) / std::cos(F));
    if (X < 0) L = -L;
    return true;
}

TForward CylForward(long double Phi1) {
    return [Phi1](long double L, long double F) { return TPlane{L * std::cos(Phi1), std::sin(F) / std::cos(Phi1)}; };
}
TInverse CylInverse(long double Phi1) {
    return [Phi1](long double X, long double Y, long double& L, long double& F) {
        F = ClampedAsin(Y * std::cos(Phi1));
        L = X / std::cos(Phi1);
        return true;
    };
}

struct TCone {
    long double N, C, Rho0;
    explicit TCone(long double Phi1, long double Phi2) {
        N = (std::sin(Phi1) + std::sin(Phi2)) / 2;
        C = std::cos(Phi1) * std::cos(Phi1) + 2 * N * std::sin(Phi1);
        Rho0 = std::sqrt(C) / N;
    }
};
TPlane AlbersForward(long double L, long double F) {
    const TCone A(45 * Deg * K, 0);
    const long double Rho = std::sqrt(A.C - 2 * A.N * std::sin(F)) / A.N;
    return {Rho * std::sin(A.N * L), A.Rho0 - Rho * std::cos(A.N * L)};
}
bool AlbersInverse(long double X, long double Y, long double& L, long double& F) {
    const TCone A(45 * Deg * K, 0);
    const long double Rho = std::hypot(X, A.Rho0 - Y);
    L = std::atan(X / (A.Rho0 - Y)) / A.N;
    F = ClampedAsin((A.C - Rho * Rho * A.N * A.N) / (2 * A.N));
    return true;
}

// Standard parallel 90 degrees, as a new TBonnePrj has it.
TPlane BonneForward(long double L, long double F) {
    const long double Phi1 = Pi / 2, Cot = 1 / std::tan(Phi1);
    const long double Rho = Cot + Phi1 - F, E = L * std::cos(F) / Rho;
    return {Rho * std::sin(E), Cot - Rho * std::cos(E)};
}
bool BonneInverse(long double X, long double Y, long double& L, long double& F) {
    const long double Phi1 = Pi / 2, Cot = 1 / std::tan(Phi1);
    const long double YB = Cot - Y, Rho = std::hypot(X, YB);
    F = Phi1 + Cot - Rho;
    L = std::atan2(X, YB) * Rho / std::cos(F);
    return true;
}

TPlane SinusoidalForward(long double L, long double F) { return {L * std::cos(F), F}; }
bool SinusoidalInverse(long double X, long double Y, long double& L, long double& F) {
    F = Y;
    L = X / std::cos(F);
    return true;
}

struct TReference {
    const char* Name;
    std::function<TPrjModel*(TOrvex3*)> Make;
    TForward Forward;
    TInverse Inverse;
};

// One pixel per OrvexUnit, origin at (0, 0): pixels are the plane coordinates in units.
class ReferenceTest : public PrjTest {
protected:
    TPrjModel* Unit(TPrjModel* Prj) {
        Use(Prj);
        Prj->ApplyScaleFactor(1);
        Prj->SetXOrigin(0);
        Prj->SetYOrigin(0);
        return Prj;
    }
};

// A grid over the earth with the rows where formulas tend to break.
std::vector<TPoint3D> ReferencePoints() {
    std::vector<TPoint3D> P;
    for (int Lon = -175; Lon <= 175; Lon += 25)
        for (int Lat = -85; Lat <= 85; Lat += 17) P.push_back(TPoint3D{Lon * Deg, Lat * Deg, 0});
    for (TPoint3D Q : {TPoint3D{0, 0, 0}, TPoint3D{1, 0, 0}, TPoint3D{-1, 1, 0}, TPoint3D{0, 90 * Deg - 1, 0},
                       TPoint3D{-180 * Deg + 1, 30 * Deg, 0}, TPoint3D{180 * Deg - 1, -30 * Deg, 0},
                       TPoint3D{45 * Deg, 0, 0}})
        P.push_back(Q);
    return P;
}
}  // namespace

TEST_F(ReferenceTest, ForwardAndInverseAgreeWithTheSphericalFormulasWithinAUnit) {
    const TReference Cases[] = {
        {"equidistant", [](TOrvex3* V) { return new TEquidistantPrj(V); }, EquidistantForward, EquidistantInverse},
        {"cylindrical", [](TOrvex3* V) { return new TCylEqualAreaPrj(V); }, CylForward(0), CylInverse(0)},
        {"behrmann", [](TOrvex3* V) { return new TBehrmannCylEqualAreaPrj(V); }, CylForward(30 * Deg * K),
         CylInverse(30 * Deg * K)},
        {"peters", [](TOrvex3* V) { return new TPetersPrj(V); }, CylForward(45 * Deg * K), CylInverse(45 * Deg * K)},
        {"albers", [](TOrvex3* V) { return new TAlbersEqualAreaConicPrj(V); }, AlbersForward, AlbersInverse},
        {"bonne", [](TOrvex3* V) { return new TBonnePrj(V); }, BonneForward, BonneInverse},
        {"sinusoidal", [](TOrvex3* V) { return new TSinusoidalPrj(V); }, SinusoidalForward, SinusoidalInverse},
    };
    for (const TReference& C : Cases) {
        TPrjModel* Prj = Unit(C.Make(&View));
        for (const TPoint3D& P : ReferencePoints()) {
            SCOPED_TRACE(std::string(C.Name) + " at " + std::to_string(P.X) + "," + std::to_string(P.Y));
            const TPlane E = C.Forward(P.X * K, P.Y * K);
            ASSERT_TRUE(Prj->PointToXY(P, 0));
            const TPixelPoint Px = At(0);
            EXPECT_NEAR(Px.X, E.X * R, 1.0L);
            EXPECT_NEAR(Px.Y, -E.Y * R, 1.0L);

            long double L, F;
            ASSERT_TRUE(C.Inverse(Px.X * K, -Px.Y * K, L, F));
            const bool Valid = std::fabs(L) < Pi && std::fabs(F) < Pi / 2;
            ASSERT_EQ(Prj->XYToLL(Px.X, Px.Y, 1), Valid);
            if (!Valid) continue;
            EXPECT_EQ(At(1).X, NormalizeLongitude(std::llrint(L * R))) << "longitude";
            EXPECT_NEAR(At(1).Y, F * R, 1.0L) << "latitude";
        }
    }
}

TEST_F(ReferenceTest, ConstantsOfTheConicAndCylindricalProjections) {
    auto* Peters = static_cast<TPetersPrj*>(Unit(new TPetersPrj(&View)));
    EXPECT_EQ(Peters->FirstParallel(), 243000000);
    ASSERT_TRUE(Peters->LLToXY(0, 45 * Deg, 0));
    EXPECT_EQ(At(0), (TPixelPoint{0, -309397209})) << "one radian of arc above the origin";
    EXPECT_EQ(Use(new TBehrmannCylEqualAreaPrj(&View))->FirstParallel(), 162000000);

    auto* Albers = Use(new TAlbersEqualAreaConicPrj(&View));
    EXPECT_EQ(Albers->FirstParallel(), 243000000);
    EXPECT_EQ(Albers->SecondParallel(), 0);
    EXPECT_NEAR(Albers->ConeConstant(), 0.3535534L, 1e-7L);
    EXPECT_NEAR(Albers->AlbersC(), 1.0L, 1e-12L);
    EXPECT_NEAR(Albers->OriginRadius(), 2.8284271L, 1e-7L);
    Albers->SetParameter(4, 0);
    EXPECT_EQ(Albers->ConeConstant(), 1) << "no cone: n is taken as 1";
    EXPECT_NEAR(Albers->OriginRadius(), 1.0L, 1e-15L);
    Albers->SetParameter(5, 60 * Deg);
    EXPECT_NEAR(Albers->ConeConstant(), std::sin(60 * Deg * K) / 2, 1e-15L) << "the second parallel counts too";

    auto* Bonne = Use(new TBonnePrj(&View));
    EXPECT_EQ(Bonne->FirstParallel(), 486000000);
    EXPECT_NEAR(Bonne->CotFirstParallel(), 0, 1e-15L);
    Bonne->SetParameter(4, 0);
    EXPECT_EQ(Bonne->CotFirstParallel(), Pi) << "pi stands in for the infinite cotangent";
    Bonne->SetParameter(4, 30 * Deg);
    EXPECT_NEAR(Bonne->CotFirstParallel(), std::sqrt(3.0L), 1e-15L);
}

TEST_F(ReferenceTest, InversesReportPixelsOffTheMap) {
    auto* Equidistant = Unit(new TEquidistantPrj(&View));
    Equidistant->SetParameter(3, 20 * Deg);
    ASSERT_TRUE(Equidistant->XYToLL(0, 0, 0));
    EXPECT_EQ(At(0), (TPixelPoint{20 * Deg, 0})) << "the centre";
    ASSERT_TRUE(Equidistant->XYToLL(-1000000, 0, 0));
    EXPECT_LT(At(0).X, 20 * Deg) << "left of the origin lies west";
    EXPECT_FALSE(Equidistant->XYToLL(0, 972000000 + 1000, 0)) << "beyond the boundary circle";
    EXPECT_FALSE(Equidistant->XYToLL(700000000, 700000000, 0)) << "beyond the circle, off the diagonal";

    auto* Sinusoidal = Unit(new TSinusoidalPrj(&View));
    EXPECT_TRUE(Sinusoidal->XYToLL(900000000, 0, 0));
    EXPECT_FALSE(Sinusoidal->XYToLL(500000000, -60 * Deg, 0)) << "beyond the curved edge";
    EXPECT_FALSE(Sinusoidal->XYToLL(0, -90 * Deg - 2, 0)) << "past the pole";

    // The Albers row through the apex: rho0 - Y' is 0 there.
    auto* Albers = Use(new TAlbersEqualAreaConicPrj(&View));
    Albers->SetParameter(5, 90 * Deg);
    Albers->SetParameter(4, 60 * Deg);
    Albers->SetParameter(4, 0);  // n = 1/2, C = 1: rho0 = 2
    ASSERT_NEAR(Albers->OriginRadius(), 2, 1e-15L);
    Albers->ApplyScaleFactor(1000 / (2 * R));
    Albers->SetXOrigin(0);
    Albers->SetYOrigin(1000);
    PointBuffer[0] = TPixelPoint{7, 7};
    EXPECT_FALSE(Albers->XYToLL(300, 0, 0));
    EXPECT_EQ(At(0), (TPixelPoint{7, 7}));
}

namespace {
struct TRoundTripCase {
    std::string Name;
    std::function<TPrjModel*(TOrvex3*)> Make;
};

// Every registered projection, and projections with parameters the constructors do not set.
std::vector<TRoundTripCase> RoundTripCases() {
    std::vector<TRoundTripCase> Cases;
    for (const TProjectionInfo& P : ProjectionRegistry()) Cases.push_back({P.Key, P.Create});
    auto With = [](auto* (*Create)(TOrvex3*), std::vector<std::pair<int32_t, int32_t>> Parameters) {
        return [Create, Parameters](TOrvex3* V) -> TPrjModel* {
            TPrjModel* Prj = Create(V);
            for (auto [Index, Value] : Parameters) Prj->SetParameter(Index, Value);
            return Prj;
        };
    };
    Cases.push_back({"albers_wide_cone", With(&TAlbersEqualAreaConicPrj::Create, {{4, 60 * Deg}, {5, 70 * Deg}})});
    Cases.push_back({"albers_southern", With(&TAlbersEqualAreaConicPrj::Create, {{4, -45 * Deg}, {5, -20 * Deg}})});
    Cases.push_back({"bonne_southern", With(&TBonnePrj::Create, {{4, -30 * Deg}})});
    Cases.push_back({"bonne_equator", With(&TBonnePrj::Create, {{4, 0}})});
    Cases.push_back({"bonne_40", With(&TBonnePrj::Create, {{4, 40 * Deg}, {3, 100 * Deg}})});
    Cases.push_back({"equidistant_east", With(&TEquidistantPrj::Create, {{3, 145 * Deg}})});
    Cases.push_back({"sinusoidal_west", With(&TSinusoidalPrj::Create, {{3, -100 * Deg}})});
    return Cases;
}

class RoundTrip : public PrjTest, public ::testing::WithParamInterface<TRoundTripCase> {};
}  // namespace

// A placed point comes back from its pixel to a point placed on the same pixel.
TEST_P(RoundTrip, PixelToPointAndBackStaysOnThePixel) {
    TPrjModel* Prj = Use(GetParam().Make(&View));
    Prj->ApplyScaleFactor(1e-4L);
    Prj->SetXOrigin(400);
    Prj->SetYOrigin(300);
    const struct {
        const char* Name;
        long double Lon, Lat;
    } Rows[] = {{"Greenwich", 0, 0},
                {"date line west", -179.99L, 5},
                {"date line east", 179.99L, -5},
                {"a degree from the north pole", 30, 89},
                {"a degree from the south pole", -60, -89},
                {"mid north", 100, 47},
                {"mid south", -140, -33},
                {"one unit east", 1.0L / Deg, 0}};
    int Tested = 0;
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        if (!Prj->PointToXY(LL(Row.Lon, Row.Lat), 0)) continue;  // the far side, beyond 89 degrees
        const TPixelPoint Pixel = At(0);
        ASSERT_TRUE(Prj->XYToLL(Pixel.X, Pixel.Y, 1));
        ASSERT_TRUE(Prj->LLToXY(At(1).X, At(1).Y, 2));
        EXPECT_LE(std::abs(At(2).X - Pixel.X), 1);
        EXPECT_LE(std::abs(At(2).Y - Pixel.Y), 1);
        ++Tested;
    }
    EXPECT_GE(Tested, 4);
    for (int Lon = -170; Lon <= 170; Lon += 20)
        for (int Lat = -80; Lat <= 80; Lat += 16) {
            if (!Prj->LLToXY(Lon * Deg, Lat * Deg, 0)) continue;
            const TPixelPoint Pixel = At(0);
            if (!Prj->XYToLL(Pixel.X, Pixel.Y, 1)) {
                // Only a point on the sphere's horizon may round to a pixel just off the disc.
                const auto* Sphere = dynamic_cast<TSphericalPrj*>(Prj);
                ASSERT_TRUE(Sphere) << Lon << "," << Lat;
                EXPECT_GT(std::hypot(Pixel.X - 400.0, Pixel.Y - 300.0), static_cast<double>(Sphere->DiscRadius()) - 1);
                continue;
            }
            ASSERT_TRUE(Prj->LLToXY(At(1).X, At(1).Y, 2));
            EXPECT_LE(std::abs(At(2).X - Pixel.X), 1) << Lon << "," << Lat;
            EXPECT_LE(std::abs(At(2).Y - Pixel.Y), 1) << Lon << "," << Lat;
        }
}

// The chain thinning that runs before the formulas keeps exactly what projecting every
// point and dropping those within a pixel of the last kept one keeps: a bound too small for
// some part of the map (the seam, a pole, the equidistant map's antipode, Bonne's apex) would
// drop a point the formulas keep.
TEST_P(RoundTrip, ChainThinningKeepsWhatTheFormulasWouldKeep) {
    TPrjModel* Prj = Use(GetParam().Make(&View));
    if (Prj->Seamless() && dynamic_cast<TSphericalPrj*>(Prj)) GTEST_SKIP() << "the sphere thins in 3D";
    std::mt19937 Random(7);
    // Latitudes past the poles are off most maps but placed by the equidistant one.
    const struct {
        int64_t Lon, Lat, Limit;
    } Starts[] = {{-50 * Deg, 60 * Deg, 90 * Deg},  {179 * Deg, 0, 90 * Deg},        {-179 * Deg, -30 * Deg, 90 * Deg},
                  {10 * Deg, 87 * Deg, 90 * Deg},   {120 * Deg, -87 * Deg, 90 * Deg}, {60 * Deg, 100 * Deg, 150 * Deg}};
    for (const auto& Start : Starts)
    for (const long double Scale : {3e-7L, 1e-5L, 2e-4L}) {
        SCOPED_TRACE(std::to_string(Start.Lon / Deg) + "," + std::to_string(Start.Lat / Deg));
        Prj->ApplyScaleFactor(Scale);
        std::vector<TPoint3D> Points;
        int64_t Lon = Start.Lon, Lat = Start.Lat;
        for (int I = 0; I < 4000; ++I) {
            // Steps of a fraction of a pixel up to a few pixels, with a jump now and then.
            const int64_t Step = I % 97 == 0 ? 40 * Deg : static_cast<int64_t>(3 / Scale);
            // Across the seam the longitude comes round.
            Lon = NormalizeLongitude(Lon + std::uniform_int_distribution<int64_t>(-Step, Step)(Random));
            Lat = std::clamp<int64_t>(Lat + std::uniform_int_distribution<int64_t>(-Step, Step)(Random), -Start.Limit,
                                      Start.Limit);
            Points.push_back(TPoint3D{static_cast<int32_t>(Lon), static_cast<int32_t>(Lat), 0});
        }
        const std::vector<TPixelPoint> Expected = KeptOneByOne(*Prj, Points);
        auto* O = TGeoDataObject::Create(Layer);
        O->SetPoints(Points.data(), static_cast<int32_t>(Points.size()));
        // A copy is placed by the map's block formula where it has one, a chain by the ranks.
        for (const bool Copy : {false, true}) {
            Prj->SetPlacingCopies(Copy);
            const int32_t N = Prj->ProjectChain(O);
            ASSERT_EQ(N, static_cast<int32_t>(Expected.size())) << "scale " << static_cast<double>(Scale) << Copy;
            for (int32_t I = 0; I < N; ++I) ASSERT_EQ(At(I), Expected[I]) << I << Copy;
        }
        Prj->SetPlacingCopies(false);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryProjection, RoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const auto& Info) { return Info.param.Name; });

TEST(ProjectionRegistry, ListsTheTenProjectionsAsTheEditorShowsThem) {
    std::vector<std::string> Names, Classes;
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        Names.push_back(P.Name);
        Classes.push_back(P.ClassName);
    }
    EXPECT_EQ(Names, (std::vector<std::string>{"Spherical", "Cartesian", "Mercator", "Azimuthal Equidistant",
                                               "Cylindrical Equal Area", "Behrmann Cylindrical Equal Area", "Peters",
                                               "Albers Equal Area Conic", "Sinusoidal", "Bonne"}));
    EXPECT_EQ(Classes[9], "TBonnePrj");
    EXPECT_EQ(ProjectionKeys(),
              "spherical|cartesian|mercator|equidistant|cylindrical|behrmann|peters|albers|sinusoidal|bonne");
    ASSERT_NE(FindProjection("TPetersPrj"), nullptr);
    EXPECT_EQ(FindProjection("TPetersPrj")->Key, "peters");
    TOrvex3 View;
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        View.SetProjectionModel(P.Create(&View));
        EXPECT_EQ(View.ProjectionModel()->ClassInfo().ClassName, P.ClassName);
        // The further projections are flat maps like the Cartesian one.
        if (P.Key != "spherical" && P.Key != "mercator") {
            EXPECT_EQ(View.Projection(), opCartesian) << P.Key;
        }
    }
}

// A frame asks a map that says its detail level is the same everywhere only once: a map that
// says so while its level follows the place would draw some chains from copies too coarse.
TEST(ProjectionRegistry, AMapWithOneDetailLevelHasItForEveryExtent) {
    const TExtent Extents[] = {
        {-10 * Deg, -5 * Deg, 20 * Deg, 10 * Deg},     {100 * Deg, 75 * Deg, 30 * Deg, 13 * Deg},
        {175 * Deg, -60 * Deg, 10 * Deg, 5 * Deg},      {-170 * Deg, -89 * Deg, 2 * Deg, 3 * Deg},
        {-180 * Deg, -90 * Deg, 360 * Deg, 180 * Deg}, {5 * Deg, 40 * Deg, 1000, 1000},
    };
    TOrvex3 View;
    View.SetSurfaceSize(960, 540);
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        SCOPED_TRACE(P.Key);
        View.SetProjectionModel(P.Create(&View));
        View.ZoomToScale(0);
        TPrjModel* M = View.ProjectionModel();
        if (!M->UniformDetailStretch()) continue;
        for (const long double Zoom : {1.0L, 7.0L, 300.0L}) {
            View.ZoomToScale(View.GetScaleFactor() * Zoom);
            std::set<int> Levels;
            for (const TExtent& E : Extents) Levels.insert(M->DetailLevel(E));
            EXPECT_EQ(Levels.size(), 1u) << static_cast<double>(Zoom);
        }
    }
}
