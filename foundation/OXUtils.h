#pragma once
// Units, geographic records, spheroids and the small numeric helpers every part uses.

#include <bit>
#include <cstdint>
#include <string>

#include "foundation/OrvexExceptions.h"

namespace OrvexUnits {
constexpr int32_t PerDegree = 5400000;
constexpr int32_t PerMinute = 90000;
constexpr int32_t PerSecond = 1500;
constexpr int32_t Deg90 = 486000000;
constexpr int32_t Deg180 = 972000000;
constexpr int32_t Deg360 = 1944000000;
}  // namespace OrvexUnits

// Sphere radius of all 3D work. A fixed constant, deliberately not 180*5400000/pi.
constexpr int32_t EarthRadius = 309397230;

constexpr long double OrvexPi = 3.141592653589793238462643383279502884L;
// Radians per OrvexUnit.
constexpr long double RadiansPerOrvexUnit = OrvexPi / 972000000.0L;
// OrvexUnits per radian, as the projections have always written it.
constexpr long double UnitsPerRadian = 309397209.37064453L;

struct TPoint3D {
    int32_t X = 0;  // longitude, or cartesian x
    int32_t Y = 0;  // latitude, or cartesian y
    int32_t Z = 0;  // altitude, or cartesian z

    friend bool operator==(const TPoint3D&, const TPoint3D&) = default;
};

// A cartesian vector that may pass the int32 range: a point high above the sphere lies
// farther out than 2^31 units.
struct TVector3D {
    int64_t X = 0;
    int64_t Y = 0;
    int64_t Z = 0;

    friend bool operator==(const TVector3D&, const TVector3D&) = default;
};

// Width or Height 0 means "not computed". Left + Width may pass +180 degrees (the
// extent then wraps to the western side).
struct TExtent {
    int32_t Left = 0;
    int32_t Bottom = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    friend bool operator==(const TExtent&, const TExtent&) = default;
    bool IsEmpty() const { return Width == 0 || Height == 0; }
};

// Extents that reach the 180th meridian or a pole, where seam edges may lie.
inline bool ReachesSeamOrPole(const TExtent& E) {
    return E.Left <= -OrvexUnits::Deg180 || int64_t(E.Left) + E.Width >= OrvexUnits::Deg180 ||
           E.Bottom <= -OrvexUnits::Deg90 || int64_t(E.Bottom) + E.Height >= OrvexUnits::Deg90;
}

enum TOrvexUnits : uint8_t {
    Degree,
    Minute,
    NauticalMile,
    Kilometer,
    Mile,
    Second,
    Third,
    Hundreth,
    Thousanth,
    Meter,
    CentiMeter,
    Yard,
    Foot,
    Inch,
    OrvexUnit,
    Pixel
};
constexpr int OrvexUnitsCount = 16;

// OrvexUnits per one unit (0 for Pixel, which only the view can convert).
long double UnitFactor(TOrvexUnits Unit);

enum TSpheroid : uint8_t {
    Airy1830,
    Australian1965,
    Bessel1841,
    Clarke1866,
    Clarke1880,
    Everest1830,
    GRS1967,
    GRS1980,
    Helmert1906,
    Hough,
    International1920,
    Krassovsky1940,
    SouthAmerican1969,
    WGS60,
    WGS66,
    WGS72,
    WGS84
};
constexpr int SpheroidCount = 17;

struct TSpheroidParams {
    int32_t SemiMajorAxis;   // OrvexUnits
    long double Flattening;  // f, not 1/f
};

const TSpheroidParams& SpheroidParams(TSpheroid S);
const char* SpheroidName(TSpheroid S);

// Rounded to nearest, ties to even; 0 for Pixel. A result outside int32 (or NaN) raises
// EFloatingPointError.
int32_t UnitsToOrvexUnits(TOrvexUnits Unit, long double Value);
// Raises EFloatingPointError for Pixel.
long double OrvexUnitsToUnits(int32_t Value, TOrvexUnits Unit);
std::string UnitsToStr(TOrvexUnits Unit);
// Case-insensitive; raises EOrvexException "StrToUnits: Unknown Unit %s".
TOrvexUnits StrToUnits(const std::string& Text);
const char* UnitName(TOrvexUnits Unit);

// Raises EFloatingPointError when the result cannot be held (about +-397 degrees) or for NaN.
int32_t DegToOrvexUnits(long double Degrees);
// DegToOrvexUnits of a double of magnitude in [0.5, 397), by integer arithmetic; false
// (Units untouched) for every other value. For such a value the degree, minute and second
// split is exact (the fraction has at most 53 bits below the point, and 1500 times that still
// fits a long double's 64), so the result is the exact product with 5,400,000 rounded half
// to even. Importers convert millions of coordinates; the split costs several x87 library
// calls each.
inline bool DoubleDegreesToUnits(double Degrees, int32_t& Units) {
    const auto Bits = std::bit_cast<uint64_t>(Degrees);
    // The magnitude is Mantissa * 2^Exponent; Exponent -53 is 0.5 up to 1, -44 is 256 up to 512.
    const int Exponent = static_cast<int>((Bits >> 52) & 0x7FF) - 1075;
    if (Exponent < -53 || Exponent > -44 || Degrees >= 397 || Degrees <= -397) return false;
    const uint64_t Mantissa = (Bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52);
    // The 76-bit product in 64-bit pieces: its top bits from 2^20 up (at most 57 bits), and
    // whether anything below 2^20 is set. The shift is at least 44, so the low 20 bits only
    // ever decide a tie, and a sticky bit below the top ones keeps that.
    constexpr uint64_t Factor = 5400000;
    const uint64_t Low = (Mantissa & ((uint64_t(1) << 20) - 1)) * Factor;
    const uint64_t High = (Mantissa >> 20) * Factor + (Low >> 20);
    const uint64_t Sticky = (High << 1) | ((Low & ((uint64_t(1) << 20) - 1)) != 0);
    const int Shift = -Exponent - 19;  // of Sticky, one place further up than High
    // Half to even without a branch: the half less one, plus the lowest bit of the whole
    // part, carries into it exactly when the rest passes the half or meets it at an odd
    // whole. The rest is as good as random, and a mispredicted branch costs more than this.
    const uint64_t Odd = (Sticky >> Shift) & 1;
    const uint64_t Whole = (Sticky + ((uint64_t(1) << (Shift - 1)) - 1) + Odd) >> Shift;
    const auto Value = static_cast<int32_t>(Whole);  // below 397 * 5,400,000 < 2^31
    Units = (Bits >> 63) ? -Value : Value;
    return true;
}
long double OrvexUnitsToDeg(int32_t Value);

// One wrap step into [-180, 180) degrees. Computed in 64 bits, so values near the
// int32 limits do not overflow; the result is cast back to int32.
// Inline with SaturateInt32: every loaded and projected point passes through them.
inline int32_t NormalizeLongitude(int64_t Value);

inline TPoint3D MakePoint(int64_t Longitude, int32_t Latitude, int32_t Altitude = 0);

// Date-line detector. Keeps one process-wide previous quadrant: seed it with the last
// point of a closed chain, then call it for every point in order and count true results.
bool CrossesDateLine(int32_t Longitude);
// Resets the stored quadrant to its initial 0.
void ResetDateLineDetector();

// The cartesian point on (or above) the sphere. Components beyond int32 (heights above
// about 1.84e9 units) saturate; PointToVector keeps them exactly.
TPoint3D PointTo3D(const TPoint3D& Point);
TVector3D PointToVector(const TPoint3D& Point);
// Whether every component of Point's vector fits in int32, judged from its height alone.
inline bool VectorFitsInt32(const TPoint3D& Point) {
    // No component is longer than the radius.
    return int64_t(EarthRadius) + Point.Z <= INT32_MAX;
}

// Numeric helpers, in the widest real type.
long double MinReal(long double A, long double B);
int32_t MinInt(int32_t A, int32_t B);
int32_t MaxInt(int32_t A, int32_t B);
int SignOf(long double X);
long double Hypotenuse(long double A, long double B);
long double ArcSinClamped(long double X);
long double ArcCosClamped(long double X);
long double Tangent(long double X);
long double ArcTan2(long double Y, long double X);
void SinCos(long double Angle, long double& Sin, long double& Cos);
long double IntPower(long double Base, int32_t Exponent);
long double Power(long double Base, long double Exponent);

// Round to nearest, ties to even (the default rounding mode); unchecked, for values known
// to lie well inside int64. New code uses the checked and saturating forms below.
int64_t RoundEven(long double X);
// Largest integer not above X; unchecked like RoundEven.
int64_t FloorInt64(long double X);
// The one pair of real-to-int32 conversions, both rounding to nearest with ties to even:
// RoundChecked raises EFloatingPointError for NaN, infinities and values outside int32;
// RoundSaturate clamps them to the int32 range (NaN gives 0). Pixel and scale arithmetic
// saturates; values that end in the model (coordinates, settings) are checked.
int32_t RoundChecked(long double X);
int32_t RoundSaturate(long double X);
// RoundChecked without the exception: false (Result untouched) where it would raise.
bool RoundInRange(long double X, int32_t& Result);
// Clamps a 64-bit value into int32.
inline int32_t SaturateInt32(int64_t X) {
    return static_cast<int32_t>(X < INT32_MIN ? INT32_MIN : X > INT32_MAX ? INT32_MAX : X);
}

inline int32_t NormalizeLongitude(int64_t Value) {
    if (Value >= OrvexUnits::Deg180)
        Value -= OrvexUnits::Deg360;
    else if (Value < -OrvexUnits::Deg180)
        Value += OrvexUnits::Deg360;
    return static_cast<int32_t>(Value);
}

inline TPoint3D MakePoint(int64_t Longitude, int32_t Latitude, int32_t Altitude) {
    return TPoint3D{NormalizeLongitude(Longitude), Latitude, Altitude};
}

struct TQuaternion {
    long double X = 0, Y = 0, Z = 0, W = 1;
};
using TMatrix3 = double[9];  // row-major

TQuaternion AnglesToQuaternion(int32_t A, int32_t B, int32_t C);
void QuaternionToMatrix(const TQuaternion& Q, TMatrix3& M);
void ScaleMatrix(TMatrix3& M, double Factor);
void TransposeMatrix(const TMatrix3& Src, TMatrix3& Dst);
