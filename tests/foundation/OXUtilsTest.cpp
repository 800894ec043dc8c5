#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "foundation/OXUtils.h"

namespace {

constexpr long double Pi = OrvexPi;

template <typename E, typename F>
std::string MessageOf(F&& Call) {
    try {
        Call();
    } catch (const E& Error) {
        return Error.what();
    }
    return "<no exception>";
}

TEST(FormatTest, FillsArgumentsAndHandlesLongText) {
    EXPECT_EQ(Format("PointList.%s: Bad Index %d", "Get", -1), "PointList.Get: Bad Index -1");
    EXPECT_EQ(Format("%s", ""), "");
    const std::string Long(10000, 'x');
    EXPECT_EQ(Format("<%s>", Long.c_str()), "<" + Long + ">");
}

TEST(UnitsTest, FactorsFollowNauticalMileDefinitions) {
    // Imperial units use 1.15151515 miles per NM, not 6080/5280 (which gives 78,157.8947368...).
    EXPECT_NEAR(UnitFactor(Kilometer), 48596.112311015118L, 1e-10L);
    EXPECT_NEAR(UnitFactor(Mile), 78157.894839681441L, 1e-10L);
    EXPECT_NEAR(UnitFactor(Meter), 48.596112311015119L, 1e-13L);
    EXPECT_NEAR(UnitFactor(CentiMeter), 0.48596112311015119L, 1e-15L);
    EXPECT_NEAR(UnitFactor(Yard), 44.407894795273546L, 1e-13L);
    EXPECT_NEAR(UnitFactor(Foot), 14.802631598424515L, 1e-13L);
    EXPECT_NEAR(UnitFactor(Inch), 1.2335526332020429L, 1e-15L);
}

TEST(UnitsTest, ConversionsRoundTiesToEven) {
    EXPECT_EQ(UnitsToOrvexUnits(Kilometer, 1), 48596);
    EXPECT_EQ(UnitsToOrvexUnits(Mile, 1), 78158);
    EXPECT_EQ(UnitsToOrvexUnits(Meter, 1852), 90000);
    EXPECT_EQ(UnitsToOrvexUnits(Degree, -1.5L), -8100000);
    EXPECT_EQ(UnitsToOrvexUnits(Pixel, 5), 0);
    EXPECT_EQ(UnitsToOrvexUnits(OrvexUnit, 2.5L), 2);
    EXPECT_EQ(UnitsToOrvexUnits(OrvexUnit, 3.5L), 4);
    EXPECT_EQ(UnitsToOrvexUnits(OrvexUnit, -2.5L), -2);
    EXPECT_EQ(UnitsToOrvexUnits(Thousanth, 0.5L), 0);

    EXPECT_EQ(OrvexUnitsToUnits(90000, NauticalMile), 1.0L);
    EXPECT_NEAR(OrvexUnitsToUnits(48596, Kilometer), 0.99999768889L, 1e-10L);
    EXPECT_EQ(OrvexUnitsToUnits(-2700000, Degree), -0.5L);
}

TEST(UnitsTest, ResultsBeyondInt32RaiseInsteadOfWrapping) {
    const long double NaN = std::numeric_limits<long double>::quiet_NaN();
    const struct {
        const char* Name;
        TOrvexUnits Unit;
        long double Value;
    } Rows[] = {
        {"400 degrees", Degree, 400},
        {"-400 degrees", Degree, -400},
        {"a million kilometres", Kilometer, 1e6L},
        {"one unit past the top", OrvexUnit, 2147483647.5L},
        {"NaN", Degree, NaN},
        {"infinity", Minute, std::numeric_limits<long double>::infinity()},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_THROW(UnitsToOrvexUnits(R.Unit, R.Value), EFloatingPointError);
    }
    EXPECT_EQ(UnitsToOrvexUnits(OrvexUnit, 2147483647.4L), INT32_MAX);
    EXPECT_EQ(UnitsToOrvexUnits(OrvexUnit, -2147483648.5L), INT32_MIN) << "the tie goes to the even bound";
    EXPECT_EQ(UnitsToOrvexUnits(Degree, 397), 2143800000);
    EXPECT_EQ(UnitsToOrvexUnits(Pixel, NaN), 0) << "Pixel has no factor: always 0";
}

TEST(UnitsTest, PixelCannotBeConvertedBackToUnits) {
    EXPECT_THROW(OrvexUnitsToUnits(100, Pixel), EFloatingPointError);
    EXPECT_THROW(OrvexUnitsToUnits(0, Pixel), EFloatingPointError);
}

TEST(UnitsTest, AbbreviationsAndNames) {
    EXPECT_EQ(UnitsToStr(Kilometer), "KM");
    EXPECT_EQ(UnitsToStr(Third), "T");
    EXPECT_EQ(UnitsToStr(Thousanth), "T");
    EXPECT_EQ(UnitsToStr(Pixel), "PI");
    EXPECT_STREQ(UnitName(Kilometer), "Kilometer");
    EXPECT_STREQ(UnitName(Thousanth), "Thousanth");
    EXPECT_STREQ(UnitName(Pixel), "Pixel");

    EXPECT_EQ(StrToUnits("km"), Kilometer);
    EXPECT_EQ(StrToUnits("Nm"), NauticalMile);
    EXPECT_EQ(StrToUnits("T"), Third);
    EXPECT_EQ(StrToUnits("t"), Third);
    // Every abbreviation maps back to its unit, except the one Third shadows.
    for (int I = 0; I < OrvexUnitsCount; ++I) {
        const auto Unit = static_cast<TOrvexUnits>(I);
        if (Unit != Thousanth) {
            EXPECT_EQ(StrToUnits(UnitsToStr(Unit)), Unit) << UnitName(Unit);
        }
    }
}

TEST(UnitsTest, UnknownAbbreviationRaisesWithText) {
    EXPECT_EQ(MessageOf<EOrvexException>([] { StrToUnits("XX"); }), "StrToUnits: Unknown Unit XX");
    EXPECT_EQ(MessageOf<EOrvexException>([] { StrToUnits(""); }), "StrToUnits: Unknown Unit ");
    EXPECT_EQ(MessageOf<EOrvexException>([] { StrToUnits("KMS"); }), "StrToUnits: Unknown Unit KMS");
    EXPECT_EQ(MessageOf<EOrvexException>([] { StrToUnits("K"); }), "StrToUnits: Unknown Unit K");
}

TEST(UnitsTest, BadOrdinalsDoNotReadPastTables) {
    EXPECT_THROW(UnitFactor(static_cast<TOrvexUnits>(16)), EListError);
    EXPECT_THROW(SpheroidParams(static_cast<TSpheroid>(17)), EListError);
}

TEST(SpheroidTest, AxesAreTheRoundedMetreValues) {
    struct Row {
        TSpheroid S;
        int32_t Axis;
        long double Metres;
        long double InverseFlattening;
    };
    const Row Rows[] = {
        {Airy1830, 309924787, 6377563.396L, 299.3249646L},
        {Australian1965, 309953780, 6378160, 298.25L},
        {Bessel1841, 309916708, 6377397.155L, 299.1528128L},
        {Clarke1866, 309956035, 6378206.4L, 294.9786982L},
        {Clarke1880, 309958112, 6378249.145L, 293.465L},
        {Everest1830, 309910838, 6377276.345L, 300.8017L},
        {GRS1967, 309953780, 6378160, 298.247167427L},
        {GRS1980, 309952662, 6378137, 298.257222101L},
        {Helmert1906, 309955724, 6378200, 298.3L},
        {Hough, 309959125, 6378270, 297},
        {International1920, 309964860, 6378388, 297},
        {Krassovsky1940, 309957910, 6378245, 298.3L},
        {SouthAmerican1969, 309953780, 6378160, 298.25L},
        {WGS60, 309954023, 6378165, 298.3L},
        {WGS66, 309953051, 6378145, 298.25L},
        {WGS72, 309952565, 6378135, 298.26L},
        {WGS84, 309952662, 6378137, 298.257223563L},
    };
    ASSERT_EQ(std::size(Rows), static_cast<size_t>(SpheroidCount));
    for (int I = 0; I < SpheroidCount; ++I) {
        const Row& R = Rows[I];
        ASSERT_EQ(R.S, I);
        const TSpheroidParams& P = SpheroidParams(R.S);
        EXPECT_EQ(P.SemiMajorAxis, R.Axis) << SpheroidName(R.S);
        // Everest1830 sits exactly on a tie, hence the small allowance.
        EXPECT_LE(std::fabs(R.Metres * 90000 / 1852 - P.SemiMajorAxis), 0.5L + 1e-6L) << SpheroidName(R.S);
        EXPECT_NEAR(1 / P.Flattening, R.InverseFlattening, 1e-9L) << SpheroidName(R.S);
    }
    EXPECT_STREQ(SpheroidName(WGS84), "WGS84");
    EXPECT_STREQ(SpheroidName(Airy1830), "Airy1830");
    EXPECT_STREQ(SpheroidName(SouthAmerican1969), "SouthAmerican1969");
}

TEST(DegreesTest, SplitConversion) {
    EXPECT_EQ(DegToOrvexUnits(10.5L), 56700000);
    EXPECT_EQ(DegToOrvexUnits(-10.5L), -56700000);
    EXPECT_EQ(DegToOrvexUnits(-0.25L), -1350000);
    EXPECT_EQ(DegToOrvexUnits(180), 972000000);
    EXPECT_EQ(DegToOrvexUnits(-180), -972000000);
    EXPECT_EQ(DegToOrvexUnits(0), 0);
    EXPECT_EQ(DegToOrvexUnits(12.3456789L), 66666666);
    EXPECT_EQ(DegToOrvexUnits(-12.3456789L), -66666666);
    // 1 degree 1 minute 1.5 seconds.
    EXPECT_EQ(DegToOrvexUnits(1 + 1 / 60.0L + 1.5L / 3600), 5400000 + 90000 + 2250);

    // Beyond about 397.68 degrees the result cannot be held.
    EXPECT_EQ(DegToOrvexUnits(397.5L), 2146500000);
    EXPECT_EQ(DegToOrvexUnits(-397.5L), -2146500000);
    for (long double D : {400.0L, -398.0L, 1e30L, std::numeric_limits<long double>::quiet_NaN(),
                          -std::numeric_limits<long double>::infinity()})
        EXPECT_THROW(DegToOrvexUnits(D), EFloatingPointError) << static_cast<double>(D);

    EXPECT_EQ(OrvexUnitsToDeg(5400000), 1.0L);
    EXPECT_NEAR(OrvexUnitsToDeg(-56700000), -10.5L, 1e-15L);
    for (int32_t V : {1, -1, 123456789, -972000000, 971999999})
        EXPECT_EQ(DegToOrvexUnits(OrvexUnitsToDeg(V)), V);
}

// Doubles take an integer shortcut; it must agree with the degree, minute and second split
// everywhere, ties and the edges of its range included.
TEST(DegreesTest, DoublesConvertAsTheSplitDoes) {
    auto Split = [](long double Degrees) {
        const long double D = std::trunc(Degrees), F1 = (Degrees - D) * 60, M = std::trunc(F1);
        const long double F2 = (F1 - M) * 60, S = std::trunc(F2);
        return static_cast<int64_t>(D * 5400000 + M * 90000 + S * 1500 + std::nearbyint((F2 - S) * 1500));
    };
    std::vector<double> Values = {0.5, 0.5000000000000001, 0.49999999999999994, 1.0 / 3, 255.99999999999997, 256,
                                  396.99999999999994, 397, 179.99999999999997, 83.1294728008, -77.0880598154,
                                  // Odd multiples of 1/128 degree lie halfway between two units.
                                  65.0 / 128, 67.0 / 128, 0.7500000000000001};
    uint64_t State = 0x9E3779B97F4A7C15ull;
    for (int I = 0; I < 200000; ++I) {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        const double Unit = static_cast<double>(State >> 11) / 9007199254740992.0;
        // Ties, then any double, over the range of longitudes and beyond.
        Values.push_back(I % 2 ? std::round(Unit * 101632) / 128 - 397 : Unit * 794 - 397);
    }
    for (double V : Values)
        for (double Signed : {V, -V}) ASSERT_EQ(DegToOrvexUnits(Signed), Split(Signed)) << std::hexfloat << Signed;
}

TEST(LongitudeTest, NormalizeWrapsOnceIntoHalfOpenRange) {
    EXPECT_EQ(NormalizeLongitude(972000000), -972000000);
    EXPECT_EQ(NormalizeLongitude(-972000000), -972000000);
    EXPECT_EQ(NormalizeLongitude(971999999), 971999999);
    EXPECT_EQ(NormalizeLongitude(-972000001), 971999999);
    EXPECT_EQ(NormalizeLongitude(0), 0);
    // One step only.
    EXPECT_EQ(NormalizeLongitude(int64_t{1944000000} * 2), 1944000000);
    // Sums of two longitudes and values at the 32-bit limits.
    EXPECT_EQ(NormalizeLongitude(int64_t{971999999} + 971999999), -2);
    EXPECT_EQ(NormalizeLongitude(int64_t{-972000000} - 972000000), 0);
    EXPECT_EQ(NormalizeLongitude(INT32_MAX), 203483647);
    EXPECT_EQ(NormalizeLongitude(INT32_MIN), -203483648);

    EXPECT_EQ(MakePoint(972000000, 5, 7), (TPoint3D{-972000000, 5, 7}));
    EXPECT_EQ(MakePoint(int64_t{900000000} + 900000000, -3), (TPoint3D{-144000000, -3, 0}));
}

TEST(LongitudeTest, DateLineWalkOverClosedRing) {
    const int32_t E170 = 170 * OrvexUnits::PerDegree, W170 = -E170;
    ResetDateLineDetector();
    EXPECT_FALSE(CrossesDateLine(W170));  // seed with the last point
    EXPECT_TRUE(CrossesDateLine(E170));
    EXPECT_TRUE(CrossesDateLine(W170));

    // A ring that passes the middle band does not jump over the date line.
    ResetDateLineDetector();
    int Crossings = 0;
    for (int32_t Lon : {W170, E170, 0, W170}) Crossings += CrossesDateLine(Lon);
    EXPECT_EQ(Crossings, 1);

    // Exactly -180 and exactly +90 degrees lie outside the middle band; just below +90 does not.
    ResetDateLineDetector();
    EXPECT_FALSE(CrossesDateLine(-OrvexUnits::Deg180));
    EXPECT_TRUE(CrossesDateLine(OrvexUnits::Deg90));
    EXPECT_FALSE(CrossesDateLine(OrvexUnits::Deg90 - 1));
    EXPECT_FALSE(CrossesDateLine(W170));

    // The state is shared and starts neutral after a reset.
    ResetDateLineDetector();
    EXPECT_FALSE(CrossesDateLine(E170));
    ResetDateLineDetector();
}

TEST(GeometryTest, PointTo3DOnKnownPoints) {
    const int32_t R = EarthRadius;
    EXPECT_EQ(PointTo3D(TPoint3D{0, 0, 0}), (TPoint3D{0, 0, R}));
    EXPECT_EQ(PointTo3D(TPoint3D{OrvexUnits::Deg90, 0, 0}), (TPoint3D{R, 0, 0}));
    EXPECT_EQ(PointTo3D(TPoint3D{-OrvexUnits::Deg90, 0, 0}), (TPoint3D{-R, 0, 0}));
    EXPECT_EQ(PointTo3D(TPoint3D{-OrvexUnits::Deg180, 0, 0}), (TPoint3D{0, 0, -R}));
    EXPECT_EQ(PointTo3D(TPoint3D{0, OrvexUnits::Deg90, 0}), (TPoint3D{0, R, 0}));
    EXPECT_EQ(PointTo3D(TPoint3D{0, -OrvexUnits::Deg90, 0}), (TPoint3D{0, -R, 0}));
    EXPECT_EQ(PointTo3D(TPoint3D{0, 0, 1000}), (TPoint3D{0, 0, R + 1000}));
    // 45 degrees north on the prime meridian: R * sin 45 = 218,776,879.41.
    EXPECT_EQ(PointTo3D(TPoint3D{0, 45 * OrvexUnits::PerDegree, 0}), (TPoint3D{0, 218776879, 218776879}));
}

TEST(GeometryTest, VectorsOfHighPointsDoNotWrap) {
    // 2e9 units above the north pole: farther out than int32 reaches.
    const TPoint3D High{0, OrvexUnits::Deg90, 2000000000};
    EXPECT_FALSE(VectorFitsInt32(High));
    EXPECT_EQ(PointToVector(High), (TVector3D{0, int64_t(EarthRadius) + 2000000000, 0}));
    EXPECT_EQ(PointTo3D(High), (TPoint3D{0, INT32_MAX, 0})) << "saturates, still north";
    const TPoint3D West{-OrvexUnits::Deg90, 0, INT32_MAX};
    EXPECT_EQ(PointToVector(West).X, -(int64_t(EarthRadius) + INT32_MAX));
    EXPECT_EQ(PointTo3D(West).X, INT32_MIN);
    EXPECT_EQ(PointTo3D(TPoint3D{-OrvexUnits::Deg90, -OrvexUnits::Deg90 / 2, INT32_MAX}).X, -1737277129)
        << "a high point whose components fit is exact";
    EXPECT_EQ(PointTo3D(TPoint3D{0, 0, INT32_MIN}), (TPoint3D{0, 0, EarthRadius + INT32_MIN}));

    // Up to the limit the two forms agree.
    const TPoint3D Limit{0, 0, INT32_MAX - EarthRadius};
    EXPECT_TRUE(VectorFitsInt32(Limit));
    EXPECT_FALSE(VectorFitsInt32(TPoint3D{0, 0, INT32_MAX - EarthRadius + 1}));
    for (const TPoint3D& P : {Limit, TPoint3D{123456789, -98765432, 0}, TPoint3D{-OrvexUnits::Deg180, 0, -5}}) {
        const TPoint3D A = PointTo3D(P);
        EXPECT_EQ(PointToVector(P), (TVector3D{A.X, A.Y, A.Z}));
    }
}

TEST(GeometryTest, VectorsRoundAsThePlainWideFormula) {
    // Quarter points and their neighbours, both signs, the date line, the int32 ends, and
    // random points: enough of them that many components fall near a half-way point.
    std::vector<int32_t> Angles;
    for (int64_t Q = -9; Q <= 9; ++Q)
        for (int64_t D : {-2, -1, 0, 1, 2}) {
            const int64_t A = Q * OrvexUnits::Deg90 / 2 + D;
            if (A >= INT32_MIN && A <= INT32_MAX) Angles.push_back(static_cast<int32_t>(A));
        }
    for (int32_t A : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX}) Angles.push_back(A);
    std::vector<TPoint3D> Points;
    for (int32_t Lon : Angles)
        for (int32_t Lat : Angles)
            for (int32_t H : {0, -7, 1000000, INT32_MAX, INT32_MIN}) Points.push_back(TPoint3D{Lon, Lat, H});
    uint64_t S = 0x2545F4914F6CDD1Dull;
    auto Next = [&S] {
        S = S * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int32_t>(S >> 32);
    };
    for (int I = 0; I < 300000; ++I) {
        const int32_t Lon = Next(), Lat = Next(), H = Next();
        // Mostly the ordinary ranges, heights near the ground; some anything at all.
        if (I % 8 == 0)
            Points.push_back(TPoint3D{Lon, Lat, H});
        else
            Points.push_back(TPoint3D{NormalizeLongitude(Lon / 2), Lat / 5, H >> 18});
    }
    int Mismatches = 0;
    for (const TPoint3D& P : Points) {
        const long double K = RadiansPerOrvexUnit, R = static_cast<long double>(EarthRadius) + P.Z;
        const long double L = P.X * K, B = P.Y * K;
        const long double X = R * std::cos(B) * std::sin(L), Y = R * std::sin(B), Z = R * std::cos(B) * std::cos(L);
        const TVector3D Want{std::llrint(X), std::llrint(Y), std::llrint(Z)};
        const TPoint3D Want3D{SaturateInt32(Want.X), SaturateInt32(Want.Y), SaturateInt32(Want.Z)};
        if (PointToVector(P) == Want && PointTo3D(P) == Want3D) continue;
        if (++Mismatches <= 5)
            ADD_FAILURE() << "at (" << P.X << ", " << P.Y << ", " << P.Z << ")";
    }
    EXPECT_EQ(Mismatches, 0);
}

TEST(NumericTest, RoundingHelpersCheckOrSaturate) {
    const long double NaN = std::numeric_limits<long double>::quiet_NaN();
    const long double Inf = std::numeric_limits<long double>::infinity();
    // Checked is the rounded value or nothing (raise); saturated clamps it.
    const struct {
        const char* Name;
        long double X;
        bool InRange;
        int32_t Saturated;
    } Rows[] = {
        {"tie down to even", 2.5L, true, 2},
        {"tie up to even", 3.5L, true, 4},
        {"negative tie", -2.5L, true, -2},
        {"top", 2147483647.0L, true, INT32_MAX},
        {"just under the top tie", 2147483647.49L, true, INT32_MAX},
        {"top tie rounds out", 2147483647.5L, false, INT32_MAX},
        {"bottom tie rounds in", -2147483648.5L, true, INT32_MIN},
        {"below the bottom", -2147483649.0L, false, INT32_MIN},
        {"far below", -0x1p33L + 0.5L, false, INT32_MIN},
        {"far above", 0x1p33L, false, INT32_MAX},
        {"huge", 1e300L, false, INT32_MAX},
        {"infinity", -Inf, false, INT32_MIN},
        {"NaN", NaN, false, 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        int32_t V = 12345;
        EXPECT_EQ(RoundInRange(R.X, V), R.InRange);
        EXPECT_EQ(RoundSaturate(R.X), R.Saturated);
        if (R.InRange) {
            EXPECT_EQ(V, R.Saturated);
            EXPECT_EQ(RoundChecked(R.X), R.Saturated);
        } else {
            EXPECT_EQ(V, 12345) << "left alone";
            EXPECT_THROW(RoundChecked(R.X), EFloatingPointError);
        }
    }
    for (const auto& [X, Floor] : std::initializer_list<std::pair<long double, int64_t>>{
             {2.5L, 2}, {3.5L, 3}, {-2.5L, -3}, {-3.0L, -3}, {-0.0L, 0}, {0x1p40L - 0.25L, (int64_t(1) << 40) - 1}})
        EXPECT_EQ(FloorInt64(X), Floor) << double(X);
    EXPECT_EQ(SaturateInt32(int64_t{INT32_MAX} + 1), INT32_MAX);
    EXPECT_EQ(SaturateInt32(INT64_MIN), INT32_MIN);
    EXPECT_EQ(SaturateInt32(-7), -7);
}

TEST(NumericTest, HypotenuseAndSign) {
    EXPECT_EQ(Hypotenuse(3, 4), 5.0L);
    EXPECT_EQ(Hypotenuse(-4, 3), 5.0L);
    EXPECT_EQ(Hypotenuse(0, -7), 7.0L);
    EXPECT_EQ(Hypotenuse(0, 0), 0.0L);
    // Squares would overflow without the scaling.
    EXPECT_NEAR(Hypotenuse(1e4000L, 1e4000L) / 1e4000L, std::sqrt(2.0L), 1e-15L);

    EXPECT_EQ(SignOf(0), 1);
    EXPECT_EQ(SignOf(-0.0L), 1);
    EXPECT_EQ(SignOf(-1e-30L), -1);
}

TEST(NumericTest, ClampedInverseTrig) {
    EXPECT_EQ(ArcSinClamped(-1), -Pi / 2);
    EXPECT_EQ(ArcSinClamped(1.0000001L), Pi / 2);
    EXPECT_EQ(ArcSinClamped(-7), -Pi / 2);
    EXPECT_NEAR(ArcSinClamped(0.5L), Pi / 6, 1e-18L);
    EXPECT_EQ(ArcCosClamped(1.2L), 0.0L);
    EXPECT_EQ(ArcCosClamped(1), 0.0L);
    EXPECT_EQ(ArcCosClamped(-1), Pi);
    EXPECT_EQ(ArcCosClamped(-1.5L), Pi);
    EXPECT_NEAR(ArcCosClamped(0.5L), Pi / 3, 1e-18L);
    EXPECT_NEAR(ArcCosClamped(0), Pi / 2, 1e-18L);

    long double S, C;
    SinCos(Pi / 6, S, C);
    EXPECT_NEAR(S, 0.5L, 1e-18L);
    EXPECT_NEAR(C, std::sqrt(3.0L) / 2, 1e-18L);
}

TEST(NumericTest, PowersAndEdgeExponents) {
    EXPECT_EQ(IntPower(2, 10), 1024.0L);
    EXPECT_EQ(IntPower(2, -2), 0.25L);
    EXPECT_EQ(IntPower(-2, 3), -8.0L);
    EXPECT_EQ(IntPower(0, 0), 1.0L);
    EXPECT_EQ(IntPower(7, 0), 1.0L);
    EXPECT_EQ(IntPower(1, INT32_MIN), 1.0L);
    EXPECT_EQ(IntPower(-1, INT32_MAX), -1.0L);
    EXPECT_EQ(IntPower(2, INT32_MIN), 0.0L);

    EXPECT_EQ(Power(0, 0), 1.0L);
    EXPECT_EQ(Power(0, 2.5L), 0.0L);
    EXPECT_EQ(Power(2, 3), 8.0L);
    EXPECT_EQ(Power(2, -1), 0.5L);
    // Integral exponents take the exact route, which also works for negative bases.
    EXPECT_EQ(Power(-2, 3), -8.0L);
    EXPECT_EQ(Power(10, 20), 1e20L);
    EXPECT_NEAR(Power(4, 0.5L), 2.0L, 1e-18L);
    EXPECT_TRUE(std::isnan(Power(-8, 1.0L / 3)));
}

void ExpectMatrixNear(const TMatrix3& M, std::initializer_list<double> Expected, double Tolerance = 1e-15) {
    int I = 0;
    for (double E : Expected) {
        EXPECT_NEAR(M[I], E, Tolerance) << "entry " << I;
        ++I;
    }
}

TEST(RotationTest, QuaternionAxesAndMatrixLayout) {
    TMatrix3 M;
    // A = 180 degrees with no other rotation is the identity.
    QuaternionToMatrix(AnglesToQuaternion(OrvexUnits::Deg180, 0, 0), M);
    ExpectMatrixNear(M, {1, 0, 0, 0, 1, 0, 0, 0, 1});

    // A = 0 turns half way about x.
    const TQuaternion Half = AnglesToQuaternion(0, 0, 0);
    EXPECT_NEAR(Half.X, 1, 1e-18L);
    EXPECT_NEAR(Half.W, 0, 1e-18L);
    QuaternionToMatrix(Half, M);
    ExpectMatrixNear(M, {1, 0, 0, 0, -1, 0, 0, 0, -1});

    // C turns about z; the stored matrix is the transpose of the column-vector rotation.
    QuaternionToMatrix(AnglesToQuaternion(OrvexUnits::Deg180, 0, OrvexUnits::Deg90), M);
    ExpectMatrixNear(M, {0, 1, 0, -1, 0, 0, 0, 0, 1});
    // B turns about y.
    QuaternionToMatrix(AnglesToQuaternion(OrvexUnits::Deg180, OrvexUnits::Deg90, 0), M);
    ExpectMatrixNear(M, {0, 0, -1, 0, 1, 0, 1, 0, 0});
}

TEST(RotationTest, ArbitraryAnglesGiveOrthonormalMatrices) {
    const int32_t Angles[][3] = {{123456789, -98765432, 400000000}, {-972000000, 486000000, 1}, {7, 8, 9}};
    for (const auto& A : Angles) {
        const TQuaternion Q = AnglesToQuaternion(A[0], A[1], A[2]);
        EXPECT_NEAR(Q.X * Q.X + Q.Y * Q.Y + Q.Z * Q.Z + Q.W * Q.W, 1.0L, 1e-17L);
        TMatrix3 M, T;
        QuaternionToMatrix(Q, M);
        TransposeMatrix(M, T);
        for (int I = 0; I < 3; ++I)
            for (int J = 0; J < 3; ++J) {
                double Dot = 0;
                for (int K = 0; K < 3; ++K) Dot += M[I * 3 + K] * T[K * 3 + J];
                EXPECT_NEAR(Dot, I == J ? 1.0 : 0.0, 1e-14);
            }
        const double Det = M[0] * (M[4] * M[8] - M[5] * M[7]) - M[1] * (M[3] * M[8] - M[5] * M[6]) +
                           M[2] * (M[3] * M[7] - M[4] * M[6]);
        EXPECT_NEAR(Det, 1.0, 1e-14);
    }
}

TEST(RotationTest, ScaleAndTranspose) {
    TMatrix3 M = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    TMatrix3 T;
    TransposeMatrix(M, T);
    ExpectMatrixNear(T, {1, 4, 7, 2, 5, 8, 3, 6, 9}, 0);
    TransposeMatrix(M, M);  // in place
    ExpectMatrixNear(M, {1, 4, 7, 2, 5, 8, 3, 6, 9}, 0);
    ScaleMatrix(M, -0.5);
    ExpectMatrixNear(M, {-0.5, -2, -3.5, -1, -2.5, -4, -1.5, -3, -4.5}, 0);
}

}  // namespace
