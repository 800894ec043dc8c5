// Degree pairs decoded by every version: what decoding one point at a time gives, stopping at the
// same point, and nothing written past it.
#include <cmath>
#include <cstring>

#include "KernelTests.h"
#include "kernels/DegreePairs.h"

namespace {

// Values at the edges of the fast conversion's range, on ties, and across the date line.
const double kEdges[] = {0.5,
                         std::nextafter(0.5, 0.0),
                         -0.5,
                         397,
                         std::nextafter(397.0, 0.0),
                         -397,
                         396.5,
                         0.0,
                         -0.0,
                         5e-324,
                         0.25,
                         1e300,
                         std::nan(""),
                         INFINITY,
                         -INFINITY,
                         180,
                         -180,
                         179.99999999999997,
                         std::nextafter(-180.0, 0.0),
                         360,
                         (12345 + 0.5) / OrvexUnits::PerDegree,
                         -(2 + 0.5) / OrvexUnits::PerDegree,
                         (1000000 + 0.5) / OrvexUnits::PerDegree,
                         std::nextafter((1000000 + 0.5) / OrvexUnits::PerDegree, 0.0)};

}  // namespace

// The plain conversion is the integer one (DoubleDegreesToUnits) of both values or of neither.
TEST(DegreePairsKernel, ThePlainPairIsTheIntegerConversionOfBoth) {
    for (const double X : kEdges)
        for (const double Y : {-100.25, 0.1, 397.0}) {
            int32_t Single = 0, Other = 0, UX = 7, UY = 7;
            const bool Both = DoubleDegreesToUnits(X, Single) && DoubleDegreesToUnits(Y, Other);
            ASSERT_EQ(PairDegreesToUnits(X, Y, UX, UY), Both) << X << " " << Y;
            if (Both) {
                EXPECT_TRUE(UX == Single && UY == Other) << X << " " << Y;
            } else {
                EXPECT_TRUE(UX == 7 && UY == 7) << "written on refusal: " << X << " " << Y;
            }
        }
}

// Runs of every length around the two-point step, with an edge value in any place of any point.
TEST(DegreePairsKernel, EveryVersionDecodesAsThePlainOne) {
    ForEachFastVersion(Kernels::DecodeDegreePairsVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(5);
        for (int Trial = 0; Trial < 40000; ++Trial) {
            const int32_t Count = int32_t(R.Below(14));
            std::vector<double> Coordinates(2 * size_t(Count));
            for (double& C : Coordinates) C = (double(R.Below(720000001)) / 1e6 - 360) * (R.Below(2) ? 1 : 0.5);
            for (int Odd = int(R.Below(3)); Odd > 0 && Count > 0; --Odd)
                Coordinates[R.Below(Coordinates.size())] = kEdges[R.Below(std::size(kEdges))];
            // Every edge value once in every place of a short run.
            if (Trial < int(std::size(kEdges)) * 6 && Count > 0)
                Coordinates[size_t(Trial / int(std::size(kEdges))) % Coordinates.size()] =
                    kEdges[size_t(Trial) % std::size(kEdges)];
            std::string Bytes(Coordinates.size() * 8, '\0');
            if (!Bytes.empty()) std::memcpy(Bytes.data(), Coordinates.data(), Bytes.size());
            const TPoint3D Unwritten{-1, -2, -3};
            std::vector<TPoint3D> Expected(static_cast<size_t>(Count), Unwritten), Got(static_cast<size_t>(Count), Unwritten);
            const int32_t N = Plain(Bytes.data(), Count, Expected.data());
            ASSERT_EQ(Fast(Bytes.data(), Count, Got.data()), N) << Trial;
            for (int32_t I = 0; I < Count; ++I) ASSERT_EQ(Got[size_t(I)], Expected[size_t(I)]) << Trial << ", " << I;
        }
    });
}
