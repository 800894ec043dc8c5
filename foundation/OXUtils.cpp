#include "foundation/OXUtils.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// Imperial units follow from this decimal as written, not from 6080/5280.
constexpr long double StatuteMilesPerNM = 1.15151515L;

struct TUnitInfo {
    const char* Name;
    const char* Abbreviation;
    long double Factor;
};

constexpr TUnitInfo Units[OrvexUnitsCount] = {
    {"Degree", "D", 5400000.0L},
    {"Minute", "MN", 90000.0L},
    {"NauticalMile", "NM", 90000.0L},
    {"Kilometer", "KM", 90000.0L / 1.852L},
    {"Mile", "MI", 90000.0L / StatuteMilesPerNM},
    {"Second", "S", 1500.0L},
    {"Third", "T", 250.0L},
    {"Hundreth", "H", 15.0L},
    {"Thousanth", "T", 1.0L},
    {"Meter", "M", 90000.0L / 1852.0L},
    {"CentiMeter", "CM", 90000.0L / 185200.0L},
    {"Yard", "YD", 90000.0L / (StatuteMilesPerNM * 1760)},
    {"Foot", "FT", 90000.0L / (StatuteMilesPerNM * 5280)},
    {"Inch", "IN", 90000.0L / (StatuteMilesPerNM * 63360)},
    {"OrvexUnit", "OU", 1.0L},
    {"Pixel", "PI", 0.0L},
};

struct TSpheroidInfo {
    const char* Name;
    TSpheroidParams Params;
};

// Axes are the metre values times 90000/1852, rounded once and stored as integers.
constexpr TSpheroidInfo Spheroids[SpheroidCount] = {
    {"Airy1830", {309924787, 1.0L / 299.3249646L}},
    {"Australian1965", {309953780, 1.0L / 298.25L}},
    {"Bessel1841", {309916708, 1.0L / 299.1528128L}},
    {"Clarke1866", {309956035, 1.0L / 294.9786982L}},
    {"Clarke1880", {309958112, 1.0L / 293.465L}},
    {"Everest1830", {309910838, 1.0L / 300.8017L}},
    {"GRS1967", {309953780, 1.0L / 298.247167427L}},
    {"GRS1980", {309952662, 1.0L / 298.257222101L}},
    {"Helmert1906", {309955724, 1.0L / 298.3L}},
    {"Hough", {309959125, 1.0L / 297.0L}},
    {"International1920", {309964860, 1.0L / 297.0L}},
    {"Krassovsky1940", {309957910, 1.0L / 298.3L}},
    {"SouthAmerican1969", {309953780, 1.0L / 298.25L}},
    {"WGS60", {309954023, 1.0L / 298.3L}},
    {"WGS66", {309953051, 1.0L / 298.25L}},
    {"WGS72", {309952565, 1.0L / 298.26L}},
    {"WGS84", {309952662, 1.0L / 298.257223563L}},
};

constexpr long double OrvexUnitsPerDegreeInv = 1.0L / 5400000.0L;

// Ordinals may come from files or casts; keep a bad one from reading past the tables.
int CheckedIndex(int Ordinal, int Count) {
    if (Ordinal < 0 || Ordinal >= Count)
        throw EListError(Format("List index out of bounds (%d)", Ordinal));
    return Ordinal;
}

const TUnitInfo& UnitInfo(TOrvexUnits Unit) {
    return Units[CheckedIndex(Unit, OrvexUnitsCount)];
}

int PreviousQuadrant = 0;

}  // namespace

long double UnitFactor(TOrvexUnits Unit) { return UnitInfo(Unit).Factor; }

const TSpheroidParams& SpheroidParams(TSpheroid S) {
    return Spheroids[CheckedIndex(S, SpheroidCount)].Params;
}

const char* SpheroidName(TSpheroid S) { return Spheroids[CheckedIndex(S, SpheroidCount)].Name; }

int32_t UnitsToOrvexUnits(TOrvexUnits Unit, long double Value) {
    const long double Factor = UnitFactor(Unit);
    if (Unit == Pixel) return 0;
    return RoundChecked(Value * Factor);
}

long double OrvexUnitsToUnits(int32_t Value, TOrvexUnits Unit) {
    const long double Factor = UnitFactor(Unit);
    if (Factor == 0.0L) throw EFloatingPointError("Floating point division by zero");
    return Value / Factor;
}

std::string UnitsToStr(TOrvexUnits Unit) { return UnitInfo(Unit).Abbreviation; }

TOrvexUnits StrToUnits(const std::string& Text) {
    auto SameText = [&Text](const char* Abbreviation) {
        size_t I = 0;
        for (; Abbreviation[I] != '\0'; ++I) {
            if (I >= Text.size()) return false;
            if (std::toupper(static_cast<unsigned char>(Text[I])) != Abbreviation[I]) return false;
        }
        return I == Text.size();
    };
    // First match in enumeration order: "T" is Third, never Thousanth.
    for (int I = 0; I < OrvexUnitsCount; ++I)
        if (SameText(Units[I].Abbreviation)) return static_cast<TOrvexUnits>(I);
    throw EOrvexException(Format("StrToUnits: Unknown Unit %s", Text.c_str()));
}

const char* UnitName(TOrvexUnits Unit) { return UnitInfo(Unit).Name; }

int32_t DegToOrvexUnits(long double Degrees) {
    if (const auto D = static_cast<double>(Degrees); static_cast<long double>(D) == Degrees) {
        int32_t Units;
        if (DoubleDegreesToUnits(D, Units)) return Units;
    }
    // Split into degrees, minutes and seconds so that whole parts stay exact instead of
    // passing through one large product; every step truncates toward zero.
    const long double D = std::trunc(Degrees);
    const long double F1 = (Degrees - D) * 60;
    const long double M = std::trunc(F1);
    const long double F2 = (F1 - M) * 60;
    const long double S = std::trunc(F2);
    const long double F3 = F2 - S;
    // The parts summed in reals are exact (whole multiples below 2^64), so the one checked
    // rounding at the end sees the true value.
    const long double Whole = D * OrvexUnits::PerDegree + M * OrvexUnits::PerMinute + S * OrvexUnits::PerSecond;
    const long double Seconds = std::nearbyint(F3 * OrvexUnits::PerSecond);
    return RoundChecked(Whole + Seconds);
}

long double OrvexUnitsToDeg(int32_t Value) { return Value * OrvexUnitsPerDegreeInv; }

bool CrossesDateLine(int32_t Longitude) {
    const int Quadrant = Longitude / OrvexUnits::Deg90;
    const bool Crosses = (Quadrant < 0 && PreviousQuadrant > 0) || (Quadrant > 0 && PreviousQuadrant < 0);
    PreviousQuadrant = Quadrant;
    return Crosses;
}

void ResetDateLineDetector() { PreviousQuadrant = 0; }

namespace {
struct TRealVector {
    long double X, Y, Z;
};

struct TSinCos {
    int32_t Angle = 0;
    long double Sin = 0, Cos = 1;
};

// Sine and cosine of an angle in OrvexUnits, remembered: the visibility tests of a frame
// project every extent's corners, which share their longitudes and latitudes, and the wide
// reals' library functions cost far more than the look-up. Per thread, so that no lock is
// needed. Every entry starts as angle 0 with its true sine and cosine.
const TSinCos& SinCosOf(int32_t Angle) {
    constexpr long double K = RadiansPerOrvexUnit;
    thread_local TSinCos Memo[1024];
    TSinCos& M = Memo[(static_cast<uint32_t>(Angle) * 2654435761u) >> 22];
    if (M.Angle != Angle) {
        const long double A = Angle * K;
        M = TSinCos{Angle, std::sin(A), std::cos(A)};
    }
    return M;
}

TRealVector RealVector(const TPoint3D& Point) {
    const TSinCos& Lambda = SinCosOf(Point.X);
    const long double SinLambda = Lambda.Sin, CosLambda = Lambda.Cos;
    const TSinCos& Phi = SinCosOf(Point.Y);
    const long double R = static_cast<long double>(EarthRadius) + Point.Z;
    const long double CosPhi = Phi.Cos;
    return TRealVector{R * CosPhi * SinLambda, R * Phi.Sin, R * CosPhi * CosLambda};
}
}  // namespace

namespace {
struct TSinCosD {
    double Sin, Cos;
};

// Sine and cosine in doubles, to within 1e-15 of the true values: the angle is reduced
// exactly, in integers, to within 45 degrees of a multiple of 90, where the Taylor series
// below is accurate to the last bit of a double. No library call, no table.
inline TSinCosD QuickSinCos(int32_t Angle) {
    constexpr int64_t Deg45 = OrvexUnits::Deg90 / 2;
    // Q = nearest multiple of 90 degrees (rounded down at the halves), R the rest, exactly.
    const int64_t Shifted = int64_t(Angle) + Deg45 + 4 * int64_t(OrvexUnits::Deg90);
    const int64_t Q = Shifted / OrvexUnits::Deg90;
    const int64_t R = Shifted - Q * OrvexUnits::Deg90 - Deg45;
    const double X = static_cast<double>(R) * static_cast<double>(RadiansPerOrvexUnit);
    const double X2 = X * X;
    const double S =
        X * (1 + X2 * (-1.0 / 6 + X2 * (1.0 / 120 + X2 * (-1.0 / 5040 + X2 * (1.0 / 362880 +
             X2 * (-1.0 / 39916800 + X2 * (1.0 / 6227020800 + X2 * (-1.0 / 1307674368000))))))));
    const double C =
        1 + X2 * (-1.0 / 2 + X2 * (1.0 / 24 + X2 * (-1.0 / 720 + X2 * (1.0 / 40320 + X2 * (-1.0 / 3628800 +
            X2 * (1.0 / 479001600 + X2 * (-1.0 / 87178291200 + X2 * (1.0 / 20922789888000))))))));
    switch (Q & 3) {
        case 0: return {S, C};
        case 1: return {C, -S};
        case 2: return {-S, -C};
        default: return {-C, S};
    }
}

// The point's vector rounded to whole units, as RealVector's components round, computed
// in doubles. Each double component lies within 1e-5 of the wide one (|R| < 2^32 times
// errors below 3e-15, plus the double products' own rounding), so where a component is
// farther than that from a half-way point both round alike. False, with nothing decided,
// when a component comes closer than a thousandth: the caller then takes the wide way.
inline bool QuickVector(const TPoint3D& Point, const TSinCosD& Lambda, const TSinCosD& Phi, int64_t (&Out)[3]) {
    const double R = static_cast<double>(int64_t(EarthRadius) + Point.Z);
    const double RCosPhi = R * Phi.Cos;
    const double V[3] = {RCosPhi * Lambda.Sin, R * Phi.Sin, RCosPhi * Lambda.Cos};
    // Adding and taking away 1.5 * 2^52 rounds a double below 2^51 to a whole one, ties
    // to even; the difference from it is then exact.
    constexpr double Magic = 0x1.8p52;
    constexpr double Margin = 0.5 - 1.0 / 1024;
    bool Clear = true;
    for (int I = 0; I < 3; ++I) {
        const double N = (V[I] + Magic) - Magic;
        Clear &= std::fabs(V[I] - N) < Margin;
        Out[I] = static_cast<int64_t>(N);
    }
    return Clear;
}

inline bool QuickVector(const TPoint3D& Point, int64_t (&Out)[3]) {
    return QuickVector(Point, QuickSinCos(Point.X), QuickSinCos(Point.Y), Out);
}

// The last two angles of an axis with their sines and cosines. Every entry starts as angle 0,
// whose values the series gives exactly.
struct TRecentAngles {
    int32_t Angle[2] = {0, 0};
    TSinCosD Value[2] = {{0, 1}, {0, 1}};
    int Older = 0;

    TSinCosD Of(int32_t A) {
        if (Angle[0] == A) return Value[0];
        if (Angle[1] == A) return Value[1];
        const TSinCosD V = QuickSinCos(A);
        Angle[Older] = A;
        Value[Older] = V;
        Older ^= 1;
        return V;
    }
};
}  // namespace

TPoint3D PointTo3D(const TPoint3D& Point) {
    if (int64_t V[3]; QuickVector(Point, V))
        return TPoint3D{SaturateInt32(V[0]), SaturateInt32(V[1]), SaturateInt32(V[2])};
    const TRealVector V = RealVector(Point);
    return TPoint3D{RoundSaturate(V.X), RoundSaturate(V.Y), RoundSaturate(V.Z)};
}

TVector3D PointToVector(const TPoint3D& Point) {
    // The samples of an extent repeat its sides' longitudes and latitudes.
    thread_local TRecentAngles Longitudes, Latitudes;
    if (int64_t V[3]; QuickVector(Point, Longitudes.Of(Point.X), Latitudes.Of(Point.Y), V))
        return TVector3D{V[0], V[1], V[2]};
    // |R| < 2^32, so every component converts without a check.
    const TRealVector V = RealVector(Point);
    return TVector3D{std::llrint(V.X), std::llrint(V.Y), std::llrint(V.Z)};
}

long double MinReal(long double A, long double B) { return A < B ? A : B; }
int32_t MinInt(int32_t A, int32_t B) { return A < B ? A : B; }
int32_t MaxInt(int32_t A, int32_t B) { return A > B ? A : B; }

int SignOf(long double X) { return X >= 0 ? 1 : -1; }

long double Hypotenuse(long double A, long double B) {
    A = std::fabs(A);
    B = std::fabs(B);
    const long double Larger = A > B ? A : B;
    const long double Smaller = A > B ? B : A;
    if (Smaller == 0) return Larger;
    // Scaled so that the squares cannot overflow.
    const long double Ratio = Smaller / Larger;
    return Larger * std::sqrt(1 + Ratio * Ratio);
}

long double ArcSinClamped(long double X) {
    if (X >= 1) return OrvexPi / 2;
    if (X <= -1) return -OrvexPi / 2;
    return std::atan2(X, std::sqrt(1 - X * X));
}

long double ArcCosClamped(long double X) {
    const long double T = 1 - X * X;
    if (T > 0) return std::atan2(std::sqrt(T), X);
    return X >= 0 ? 0.0L : OrvexPi;
}

long double Tangent(long double X) { return std::tan(X); }

long double ArcTan2(long double Y, long double X) { return std::atan2(Y, X); }

void SinCos(long double Angle, long double& Sin, long double& Cos) {
    Sin = std::sin(Angle);
    Cos = std::cos(Angle);
}

long double IntPower(long double Base, int32_t Exponent) {
    // Magnitude in 64 bits: -2^31 has no positive int32 counterpart.
    uint64_t Bits = Exponent < 0 ? -static_cast<int64_t>(Exponent) : Exponent;
    long double Result = 1;
    while (Bits != 0) {
        if (Bits & 1) Result *= Base;
        Base *= Base;
        Bits >>= 1;
    }
    return Exponent < 0 ? 1 / Result : Result;
}

long double Power(long double Base, long double Exponent) {
    if (Exponent == 0) return 1;
    if (Base == 0 && Exponent > 0) return 0;
    if (std::trunc(Exponent) == Exponent && std::fabs(Exponent) <= INT32_MAX)
        return IntPower(Base, static_cast<int32_t>(Exponent));
    return std::exp(Exponent * std::log(Base));
}

int64_t RoundEven(long double X) { return std::llrint(X); }

int64_t FloorInt64(long double X) {
    // The x87 floor and truncation switch the control word twice each, which stalls; a
    // conversion in the current mode (to nearest) and a step down where it rounded up does not.
    const int64_t R = std::llrint(X);
    return static_cast<long double>(R) > X ? R - 1 : R;
}

// Inside these bounds the value rounds into int32 or just past it, so the 64-bit conversion
// (which, unlike nearbyint, saves and restores no floating-point environment) cannot overflow.
// Rounding is the same: both follow the current mode.
constexpr long double WellInside = 0x1p33L;

bool RoundInRange(long double X, int32_t& Result) {
    if (!(std::fabs(X) < WellInside)) return false;
    const int64_t R = std::llrint(X);
    if (R < INT32_MIN || R > INT32_MAX) return false;
    Result = static_cast<int32_t>(R);
    return true;
}

int32_t RoundChecked(long double X) {
    int32_t Result;
    if (!RoundInRange(X, Result)) throw EFloatingPointError("Floating point overflow");
    return Result;
}

int32_t RoundSaturate(long double X) {
    if (std::isnan(X)) return 0;
    if (!(std::fabs(X) < WellInside)) return X < 0 ? INT32_MIN : INT32_MAX;
    return SaturateInt32(std::llrint(X));
}

TQuaternion AnglesToQuaternion(int32_t A, int32_t B, int32_t C) {
    constexpr long double K = RadiansPerOrvexUnit;
    long double SA, CA, SB, CB, SC, CC;
    SinCos((OrvexPi - A * K) / 2, SA, CA);
    SinCos(B * K / 2, SB, CB);
    SinCos(C * K / 2, SC, CC);
    TQuaternion Q;
    Q.X = CB * SA * CC - SB * CA * SC;
    Q.Y = CB * SA * SC + SB * CA * CC;
    Q.Z = CB * CA * SC - SB * SA * CC;
    Q.W = CB * CA * CC + SB * SA * SC;
    return Q;
}

void QuaternionToMatrix(const TQuaternion& Q, TMatrix3& M) {
    const long double X = Q.X, Y = Q.Y, Z = Q.Z, W = Q.W;
    // Transpose of the usual column-vector rotation; the sphere projection expects it so.
    M[0] = static_cast<double>(1 - 2 * (Y * Y + Z * Z));
    M[1] = static_cast<double>(2 * (X * Y + W * Z));
    M[2] = static_cast<double>(2 * (X * Z - W * Y));
    M[3] = static_cast<double>(2 * (X * Y - W * Z));
    M[4] = static_cast<double>(1 - 2 * (X * X + Z * Z));
    M[5] = static_cast<double>(2 * (Y * Z + W * X));
    M[6] = static_cast<double>(2 * (X * Z + W * Y));
    M[7] = static_cast<double>(2 * (Y * Z - W * X));
    M[8] = static_cast<double>(1 - 2 * (X * X + Y * Y));
}

void ScaleMatrix(TMatrix3& M, double Factor) {
    for (double& Entry : M) Entry *= Factor;
}

void TransposeMatrix(const TMatrix3& Src, TMatrix3& Dst) {
    // Through a copy, so that Src and Dst may be the same matrix.
    double T[9];
    for (int I = 0; I < 3; ++I)
        for (int J = 0; J < 3; ++J) T[I * 3 + J] = Src[J * 3 + I];
    for (int I = 0; I < 9; ++I) Dst[I] = T[I];
}
