// The flat maps' block formulas from every version: the plain version's pixels, and the same
// points left to the projection.
#include <cmath>
#include <string>

#include "KernelTests.h"
#include "kernels/FlatForward.h"

namespace {

constexpr int32_t Deg = OrvexUnits::PerDegree;
constexpr double PerRadian = static_cast<double>(UnitsPerRadian);

TFlatForward Map(TFlatForward::TKind Kind, double Scale, int32_t Meridian) {
    TFlatForward F{};
    F.Kind = Kind;
    F.CentralMeridian = Meridian;
    F.MinLongitude = -OrvexUnits::Deg180;
    F.MaxLongitude = OrvexUnits::Deg180;
    F.MinLatitude = Kind == TFlatForward::Equidistant ? -OrvexUnits::Deg180 : -OrvexUnits::Deg90;
    F.MaxLatitude = Kind == TFlatForward::Equidistant ? OrvexUnits::Deg180 : OrvexUnits::Deg90;
    F.PixelsPerRadian = PerRadian * Scale;
    F.XOrigin = 960;
    F.YOrigin = 540;
    if (Kind == TFlatForward::Albers) {
        // Standard parallels 45 and 0 degrees.
        const double N = std::sin(M_PI / 4) / 2, C = 0.5 + 2 * N * std::sin(M_PI / 4);
        F.A = N;
        F.B = C;
        F.C = std::sqrt(C) / N;
    } else if (Kind == TFlatForward::Bonne) {
        // Standard parallel 40 degrees: the apex lies at 40 + cot(40) in radians, past the pole.
        F.A = 1 / std::tan(40 * M_PI / 180);
        F.B = 40 * M_PI / 180;
    }
    return F;
}

const TFlatForward::TKind Kinds[] = {TFlatForward::Sinusoidal, TFlatForward::Albers, TFlatForward::Bonne,
                                     TFlatForward::Equidistant, TFlatForward::Cartesian};

}  // namespace

// Random points over the whole earth and past it, at scales from the whole map to a few metres
// a pixel, in chains of every length up to two of the widest blocks and a tail (every tail of
// the vector versions): the same pixels, and the same points left to the projection. A vector
// sine may differ from the plain one in its last bit, which could move a pixel only where the
// position lies within a hair of a half pixel: such points are left to the projection.
TEST(FlatForwardKernel, EveryVersionPlacesThePointsThePlainOnePlaces) {
    ForEachFastVersion(Kernels::ProjectFlatVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(25);
        int64_t Compared = 0;
        for (const TFlatForward::TKind Kind : Kinds)
            for (const double Scale : {1e-6, 1e-4, 3e-3})
                for (const int32_t Meridian : {0, 100 * Deg, -170 * Deg}) {
                    SCOPED_TRACE(std::to_string(Kind) + " scale " + std::to_string(Scale));
                    const TFlatForward F = Map(Kind, Scale, Meridian);
                    for (int Trial = 0; Trial < 200; ++Trial) {
                        const int32_t N = Trial % 35;
                        std::vector<TPoint3D> Points(size_t(N) + 1);
                        for (TPoint3D& P : Points)
                            P = {R.Between(-OrvexUnits::Deg180, OrvexUnits::Deg180),
                                 R.Between(-OrvexUnits::Deg90 - 5 * Deg, OrvexUnits::Deg90 + 5 * Deg), 0};
                        std::vector<int32_t> XYPlain(2 * Points.size()), XYFast(2 * Points.size());
                        std::vector<uint8_t> SurePlain(Points.size()), SureFast(Points.size());
                        Plain(F, Points.data(), N, XYPlain.data(), SurePlain.data());
                        Fast(F, Points.data(), N, XYFast.data(), SureFast.data());
                        for (int32_t I = 0; I < N; ++I) {
                            ASSERT_EQ(SurePlain[I], SureFast[I]) << Points[I].X << "," << Points[I].Y;
                            if (!SurePlain[I]) continue;
                            ++Compared;
                            ASSERT_EQ(XYPlain[2 * I], XYFast[2 * I]) << Points[I].X << "," << Points[I].Y;
                            ASSERT_EQ(XYPlain[2 * I + 1], XYFast[2 * I + 1]) << Points[I].X << "," << Points[I].Y;
                        }
                    }
                }
        EXPECT_GT(Compared, 10000);
    });
}

// Points whose pixel the formula cannot vouch for go to the projection: off the extents, the
// Bonne apex (a division by a zero radius), the equidistant map's centre and antipode (no
// direction), pixels beyond the limit; the points around them are placed.
TEST(FlatForwardKernel, LeavesToTheProjectionWhatTheFormulaCannotPlace) {
    const struct {
        const char* Name;
        TFlatForward::TKind Kind;
        double Scale;
        TPoint3D Point;
        bool Sure;
    } Rows[] = {
        {"latitude past the pole", TFlatForward::Sinusoidal, 1e-4, {0, OrvexUnits::Deg90 + 1, 0}, false},
        {"the pole", TFlatForward::Sinusoidal, 1e-4, {10 * Deg, OrvexUnits::Deg90, 0}, true},
        {"the seam", TFlatForward::Albers, 1e-4, {-OrvexUnits::Deg180, 30 * Deg, 0}, true},
        {"equidistant centre", TFlatForward::Equidistant, 1e-4, {0, 0, 0}, false},
        {"equidistant antipode", TFlatForward::Equidistant, 1e-4, {-OrvexUnits::Deg180, 0, 0}, false},
        {"beside the centre", TFlatForward::Equidistant, 1e-4, {20 * Deg, 0, 0}, true},
        {"past the pole on the equidistant map", TFlatForward::Equidistant, 1e-4, {5 * Deg, 100 * Deg, 0}, true},
        {"pixel beyond the limit", TFlatForward::Sinusoidal, 1e3, {170 * Deg, 0, 0}, false},
        {"pixel within the limit", TFlatForward::Sinusoidal, 1e-2, {170 * Deg, 0, 0}, true},
        // At 1/5000 of a pixel a unit, 2500 units of latitude fall on a half pixel.
        {"on a half pixel", TFlatForward::Sinusoidal, 2e-4, {0, 2500, 0}, false},
        {"beside a half pixel", TFlatForward::Sinusoidal, 2e-4, {0, 2600, 0}, true},
    };
    ForEachFastVersion(Kernels::ProjectFlatVersions(), [&](auto* Plain, auto* Fast) {
        for (const auto& Row : Rows) {
            SCOPED_TRACE(Row.Name);
            // In a block of four copies, so that the vector versions' lanes see it.
            const TPoint3D Points[5] = {Row.Point, Row.Point, Row.Point, Row.Point, Row.Point};
            int32_t XY[10];
            uint8_t Sure[5];
            for (auto* Run : {Plain, Fast}) {
                Run(Map(Row.Kind, Row.Scale, 0), Points, 5, XY, Sure);
                for (int I = 0; I < 5; ++I) EXPECT_EQ(Sure[I], Row.Sure) << I;
            }
        }
        // The Bonne map of a new view (standard parallel 90 degrees) has its apex on the pole,
        // where the radius is exactly 0.
        TFlatForward F = Map(TFlatForward::Bonne, 1e-4, 0);
        F.A = 0;
        F.B = OrvexUnits::Deg90 * static_cast<double>(RadiansPerOrvexUnit);
        const TPoint3D Pole[4] = {{Deg, OrvexUnits::Deg90, 0}, {0, OrvexUnits::Deg90, 0}, {Deg, 80 * Deg, 0},
                                  {-Deg, -80 * Deg, 0}};
        int32_t XY[8];
        uint8_t Sure[4];
        for (auto* Run : {Plain, Fast}) {
            Run(F, Pole, 4, XY, Sure);
            EXPECT_FALSE(Sure[0] || Sure[1]);
            EXPECT_TRUE(Sure[2] && Sure[3]);
        }
    });
}

// The equidistant map's vector version takes its sines, cosines and arctangent from polynomials
// over pieces of the circle: on either side of each seam between pieces (odd multiples of 45
// degrees for the sines, 15, 45, 90, 135 and 165 degrees from the centre for the arctangent) it
// must give the plain version's pixels, at a hundred units a pixel.
TEST(FlatForwardKernel, EquidistantPixelsHoldAcrossThePolynomialsSeams) {
    ForEachFastVersion(Kernels::ProjectFlatVersions(), [](auto* Plain, auto* Fast) {
        for (const int32_t Meridian : {0, 37 * Deg}) {
            const TFlatForward F = Map(TFlatForward::Equidistant, 1e-2, Meridian);
            std::vector<TPoint3D> Points;
            for (const int32_t Angle : {0, 15, 45, 90, 135, 165, 180})
                for (const int32_t Off : {-1000, -1, 0, 1, 1000})
                    for (const int32_t Sign : {-1, 1}) {
                        const int64_t Along = Sign * (int64_t(Angle) * Deg + Off);
                        // Along the equator (the distance from the centre is the longitude) and
                        // along the central meridian (the latitude).
                        Points.push_back({NormalizeLongitude(Meridian + Along), 0, 0});
                        if (std::llabs(Along) <= OrvexUnits::Deg90) Points.push_back({Meridian, int32_t(Along), 0});
                        Points.push_back({NormalizeLongitude(Meridian + Along), int32_t(Sign * 30 * Deg), 0});
                    }
            const int32_t N = int32_t(Points.size());
            std::vector<int32_t> XYPlain(2 * Points.size()), XYFast(2 * Points.size());
            std::vector<uint8_t> SurePlain(Points.size()), SureFast(Points.size());
            Plain(F, Points.data(), N, XYPlain.data(), SurePlain.data());
            Fast(F, Points.data(), N, XYFast.data(), SureFast.data());
            for (int32_t I = 0; I < N; ++I) {
                SCOPED_TRACE(std::to_string(Points[I].X) + "," + std::to_string(Points[I].Y));
                ASSERT_EQ(SurePlain[I], SureFast[I]);
                if (!SurePlain[I]) continue;
                EXPECT_EQ(XYPlain[2 * I], XYFast[2 * I]);
                EXPECT_EQ(XYPlain[2 * I + 1], XYFast[2 * I + 1]);
            }
        }
    });
}
