#include "projections/OXProject.h"

#include <algorithm>
#include <cmath>

#include "kernels/FlatForward.h"
#include "platform/PointBuffer.h"
#include "projections/Circle.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr long double Pi = OrvexPi;
constexpr long double HalfPi = OrvexPi / 2;
constexpr long double K = RadiansPerOrvexUnit;
// Below this sine of the angular distance the azimuth of the equidistant forward is not
// defined.
constexpr long double AzimuthEpsilon = 1e-5L;

// The whole earth in every direction: the equidistant map places every point.
constexpr TPrjExtents EquidistantExtents{-OrvexUnits::Deg180, -OrvexUnits::Deg180, OrvexUnits::Deg180,
                                         OrvexUnits::Deg180};

constexpr int32_t Lat30 = 30 * OrvexUnits::PerDegree;
constexpr int32_t Lat45 = 45 * OrvexUnits::PerDegree;

long double ArcSin(long double X) { return ArcSinClamped(X); }

constexpr double DK = static_cast<double>(K);
constexpr double DHalfPi = static_cast<double>(HalfPi);

// The absolute latitudes of a box of points, in radians, and what follows from them.
struct TLatitudeReach {
    double South, North;  // within [-pi/2, pi/2]
    double Least, Most;   // absolute, within [0, pi/2]
    double MaxCos() const { return std::cos(Least); }
    double MaxSin() const { return std::sin(Most); }
};

// Whether a box's latitudes (widened by a unit, as chain boxes are) lie between the poles.
bool WithinPoles(const TPrjModel::TPointBox& Box) {
    return Box.MinLatitude >= -int64_t(OrvexUnits::Deg90) - 1 && Box.MaxLatitude <= int64_t(OrvexUnits::Deg90) + 1;
}

TLatitudeReach LatitudeReach(const TPrjModel::TPointBox& Box) {
    const double South = std::clamp(static_cast<double>(Box.MinLatitude) * DK, -DHalfPi, DHalfPi);
    const double North = std::clamp(static_cast<double>(Box.MaxLatitude) * DK, -DHalfPi, DHalfPi);
    const double Least = South <= 0 && North >= 0 ? 0 : std::min(std::fabs(South), std::fabs(North));
    return TLatitudeReach{South, North, Least, std::max(std::fabs(South), std::fabs(North))};
}
}  // namespace

#define ORVEX_FLAT_CLASS_INFO(Class, Parent)                                    \
    const TClassInfo& Class::StaticClassInfo() {                                \
        static const TClassInfo Info{#Class, &Parent::StaticClassInfo(), {}, {}}; \
        return Info;                                                            \
    }                                                                           \
    const TClassInfo& Class::ClassInfo() const { return StaticClassInfo(); }

ORVEX_FLAT_CLASS_INFO(TEquidistantPrj, TCartesianPrj)
ORVEX_FLAT_CLASS_INFO(TCylEqualAreaPrj, TCartesianPrj)
ORVEX_FLAT_CLASS_INFO(TBehrmannCylEqualAreaPrj, TCylEqualAreaPrj)
ORVEX_FLAT_CLASS_INFO(TPetersPrj, TCylEqualAreaPrj)
ORVEX_FLAT_CLASS_INFO(TAlbersEqualAreaConicPrj, TCartesianPrj)
ORVEX_FLAT_CLASS_INFO(TBonnePrj, TCartesianPrj)
ORVEX_FLAT_CLASS_INFO(TSinusoidalPrj, TCartesianPrj)

#undef ORVEX_FLAT_CLASS_INFO

// ---------------------------------------------------------------------------------------
// Azimuthal equidistant

TEquidistantPrj::TEquidistantPrj(TOrvex3* View) : TCartesianPrj(View, EquidistantExtents) {
    FFlags |= pfSeamless;
}

TEquidistantPrj::TAzimuth TEquidistantPrj::AzimuthOf(const TPoint3D& Point) const {
    const double Lambda = static_cast<double>(Lambda0(Point.X)), Phi = Point.Y * DK;
    // The point as a unit vector with the centre at (0, 0, 1): its angular distance c from
    // the centre by atan2 stays exact near the centre and near the antipode alike.
    const double North = std::sin(Phi), CosPhi = std::cos(Phi);
    const double East = CosPhi * std::sin(Lambda), Toward = CosPhi * std::cos(Lambda);
    const double SinC = std::hypot(East, North);
    return TAzimuth{std::atan2(SinC, Toward), SinC, East, North};
}

bool TEquidistantPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    const TAzimuth A = AzimuthOf(Point);
    double X, Y;
    if (A.SinC >= static_cast<double>(AzimuthEpsilon)) {
        // c sin(theta) and c cos(theta) with the azimuth theta taken from its sine and
        // cosine, which keeps the direction exact near north and south.
        const double F = A.C / A.SinC;
        X = F * A.East;
        Y = F * A.North;
    } else if (A.C < DHalfPi) {
        // At the centre the map is true to scale in every direction.
        X = A.East;
        Y = A.North;
    } else {
        // The antipode has no direction: it goes to the top of the boundary circle.
        X = 0;
        Y = A.C;
    }
    const long double F = UnitsPerRadian * FScaleFactor;
    return StorePixel(Index, X * F, -(Y * F));
}

bool TEquidistantPrj::FlatForward(TFlatForward& F) const {
    FillFlatForward(F);
    F.Kind = TFlatForward::Equidistant;
    return true;
}

bool TEquidistantPrj::StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const {
    // The map is true along the radii and stretched by c / sin c across them, at the angular
    // distance c from the centre, whose cosine is cos(latitude) cos(longitude from the
    // meridian): the box's greatest c bounds it.
    // The map places latitudes beyond the poles too; the bound below holds only up to them.
    if (!WithinPoles(Box)) return false;
    double LeastLongitude, MostLongitude;
    LongitudeReach(Box, LeastLongitude, MostLongitude);
    const TLatitudeReach Lat = LatitudeReach(Box);
    const double CosLongitude = std::cos(MostLongitude);
    const double LeastCos = CosLongitude * (CosLongitude >= 0 ? std::cos(Lat.Most) : Lat.MaxCos());
    const double C = std::acos(std::clamp(LeastCos, -1.0, 1.0));
    // Near the antipode the bound would skip nothing.
    if (!(C < static_cast<double>(Pi) - 1e-3)) return false;
    const double Stretch = C > 1e-6 ? C / std::sin(C) : 1;
    PerLongitude = PerLatitude = Stretch;
    return true;
}

bool TEquidistantPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    long double XP, YP;
    if (!PlanePoint(X, Y, Index, XP, YP)) return false;
    const long double Rho = std::hypot(XP, YP);
    if (Rho <= 1e-10L) {
        PointBuffer[Index] = TPixelPoint{NormalizeLongitude(FCentralMeridian), 0};
        return true;
    }
    // Beyond the boundary circle the formulas would fold back onto the map.
    if (Rho > Pi) return false;
    const long double SinRho = std::sin(Rho), CosRho = std::cos(Rho);
    const long double Phi = ArcSin(YP * SinRho / Rho);
    // atan2 instead of arccos(cos rho / cos phi): the same angle, with the sign of X',
    // and exact near the centre meridian.
    const long double Lambda = std::atan2(XP * SinRho, Rho * CosRho);
    return StoreLL(Index, Lambda, Phi);
}

namespace {
// Where the far hemisphere's lines get points of their own: wherever their direction from the
// centre turns by more than this between two points, or the points lie further apart.
const long double MaxLineTurn = std::cos(3 * Pi / 180);
constexpr int64_t MaxLineStep = 5 * OrvexUnits::PerDegree;
// How far inside the boundary circle a line ends that passes the antipode: far enough that
// the forward formula still gives the point its own direction.
constexpr long double EdgeGap = 4 * AzimuthEpsilon;

int64_t LongitudeDifference(int32_t To, int32_t From) { return NormalizeLongitude(int64_t(To) - From); }
}  // namespace

TEquidistantPrj::TBearing TEquidistantPrj::BearingOf(const TPoint3D& Point) const {
    const TAzimuth A = AzimuthOf(Point);
    if (A.SinC < static_cast<double>(AzimuthEpsilon)) return TBearing{A.C, 0, 0, A.C >= DHalfPi};
    return TBearing{A.C, A.North / A.SinC, A.East / A.SinC, false};
}

TEquidistantPrj::TBearing TEquidistantPrj::StepStartBearing(const TPoint3D& Point) const {
    if (FLastKnown && Point == FLastPoint && FLastMeridian == FCentralMeridian) return FLastBearing;
    return BearingOf(Point);
}

TPoint3D TEquidistantPrj::EdgeToward(const TBearing& B) const {
    const long double SinC = std::sin(Pi - EdgeGap), CosC = std::cos(Pi - EdgeGap);
    const long double Lambda = std::atan2(SinC * B.East, CosC);
    const long double Phi = std::atan2(SinC * B.North, std::hypot(SinC * B.East, CosC));
    return TPoint3D{NormalizeLongitude(int64_t(FCentralMeridian) + RoundSaturate(Lambda * UnitsPerRadian)),
                    RoundSaturate(Phi * UnitsPerRadian), 0};
}

bool TEquidistantPrj::NeedsLinePoints(const TExtent* Extent) const {
    if (!Extent || Extent->Width >= OrvexUnits::Deg180) return true;
    // Within a quarter turn of the central meridian on both sides, a line stays in the near
    // hemisphere, where the map is tame.
    const int64_t West = NormalizeLongitude(int64_t(Extent->Left) - FCentralMeridian);
    const int64_t East = NormalizeLongitude(int64_t(Extent->Left) + Extent->Width - FCentralMeridian);
    return std::llabs(West) > OrvexUnits::Deg90 || std::llabs(East) > OrvexUnits::Deg90;
}

void TEquidistantPrj::LinePoints(const TPoint3D& From, const TPoint3D& To, std::vector<TLinePoint>& Points) const {
    Points.clear();
    const TBearing BF = StepStartBearing(From);
    const TBearing BT = BearingOf(To);
    FLastPoint = To;
    FLastBearing = BT;
    FLastMeridian = FCentralMeridian;
    FLastKnown = true;
    if (From == To) {
        if (!BT.Antipode) Points.push_back(TLinePoint{To, false});
        return;
    }
    Follow(From, BF, To, BT, Points);
}

bool TEquidistantPrj::PlainLinesWithin(const TPointBox& Box, double MaxStep) const {
    if (!WithinPoles(Box)) return false;
    double LeastLongitude, MostLongitude;
    LongitudeReach(Box, LeastLongitude, MostLongitude);
    // Lines across the meridian opposite the centre are split there.
    if (!(MostLongitude < static_cast<double>(Pi))) return false;
    if (!(MaxStep <= MaxLineStep * DK)) return false;
    // The box's least and greatest angular distance c from the centre, whose cosine is
    // cos(latitude) cos(longitude from the meridian).
    const TLatitudeReach Lat = LatitudeReach(Box);
    const double CosNear = std::cos(LeastLongitude), CosFar = std::cos(MostLongitude);
    const double Nearest = std::acos(std::clamp(CosNear * (CosNear >= 0 ? Lat.MaxCos() : std::cos(Lat.Most)), -1.0, 1.0));
    const double Farthest = std::acos(std::clamp(CosFar * (CosFar >= 0 ? std::cos(Lat.Most) : Lat.MaxCos()), -1.0, 1.0));
    if (Farthest <= DHalfPi) return true;
    if (!(Farthest < static_cast<double>(Pi) - 1e-3)) return false;
    // The direction from the centre turns by at most a step's length over sin c: below the
    // turn that gets a line its own points, on every step.
    return MaxStep < 0.05 * std::min(std::sin(Nearest), std::sin(Farthest));
}

void TEquidistantPrj::Follow(const TPoint3D& A, const TBearing& BA, const TPoint3D& B, const TBearing& BB,
                             std::vector<TLinePoint>& Points) const {
    const int64_t DLon = LongitudeDifference(B.X, A.X), DLat = int64_t(B.Y) - A.Y;
    const bool Turns = BA.Antipode || BB.Antipode || BA.North * BB.North + BA.East * BB.East < MaxLineTurn;
    const bool Near = BA.Distance <= HalfPi && BB.Distance <= HalfPi;
    if (Near || (!Turns && std::llabs(DLon) <= MaxLineStep && std::llabs(DLat) <= MaxLineStep)) {
        Points.push_back(TLinePoint{B, false});
        return;
    }
    if (std::llabs(DLon) < 2 && std::llabs(DLat) < 2) {
        // Two neighbouring points on either side of the antipode: the line runs out to the
        // boundary circle and comes back from it on the other side.
        if (!BA.Antipode) Points.push_back(TLinePoint{EdgeToward(BA), false});
        if (BB.Antipode) return;
        Points.push_back(TLinePoint{EdgeToward(BB), true});
        Points.push_back(TLinePoint{B, false});
        return;
    }
    const TPoint3D M{NormalizeLongitude(int64_t(A.X) + DLon / 2), static_cast<int32_t>(A.Y + DLat / 2), A.Z};
    const TBearing BM = BearingOf(M);
    Follow(A, BA, M, BM, Points);
    Follow(M, BM, B, BB, Points);
}

void TEquidistantPrj::PaintBackground() {
    if (!FView || !FView->Canvas() || !PointBuffer) return;
    const int32_t N = StoreCircle(FScaleFactor * EarthRadius * Pi, [this](int32_t Index, long double X, long double Y) {
        return StorePixel(Index, X, Y);
    });
    FView->Canvas()->PolygonBuffer(N, 255);
}

// ---------------------------------------------------------------------------------------
// Cylindrical equal-area

TCylEqualAreaPrj::TCylEqualAreaPrj(TOrvex3* View) : TCartesianPrj(View) {}

double TCylEqualAreaPrj::CosFirstParallel() const {
    if (FCosParallel != FFirstParallel) {
        FCos = std::cos(FFirstParallel * DK);
        FCosParallel = FFirstParallel;
    }
    return FCos;
}

long double TCylEqualAreaPrj::ColumnOffset(int64_t FromMeridian) const {
    const double X = static_cast<double>(FromMeridian * K) * CosFirstParallel();
    return X * (UnitsPerRadian * FScaleFactor);
}

long double TCylEqualAreaPrj::RowOffset(int32_t Latitude) const {
    const double Y = std::sin(Latitude * DK) / CosFirstParallel();
    return -(Y * (UnitsPerRadian * FScaleFactor));
}

bool TCylEqualAreaPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    return StorePixel(Index, ColumnOffset(NormalizeLongitude(int64_t(Point.X) - FCentralMeridian)),
                      RowOffset(Point.Y));
}

bool TCylEqualAreaPrj::SeparableAxes() const { return CosFirstParallel() > 1e-6; }

int64_t TCylEqualAreaPrj::AxisRank(int Axis, int32_t Value) const {
    if (Axis == 0) return RoundedOffset(ColumnOffset(Value));
    return -RoundedOffset(RowOffset(Value));
}

bool TCylEqualAreaPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    long double XP, YP;
    if (!PlanePoint(X, Y, Index, XP, YP)) return false;
    const long double CosPhi1 = std::cos(FFirstParallel * K);
    return StoreLL(Index, XP / CosPhi1, ArcSin(YP * CosPhi1));
}

bool TCylEqualAreaPrj::StretchBounds(long double& PerLongitude, long double& PerLatitude) const {
    const long double CosPhi1 = std::fabs(std::cos(FFirstParallel * K));
    if (!(CosPhi1 > 1e-6L)) return false;
    PerLongitude = CosPhi1;
    PerLatitude = 1 / CosPhi1;
    return true;
}

TBehrmannCylEqualAreaPrj::TBehrmannCylEqualAreaPrj(TOrvex3* View) : TCylEqualAreaPrj(View) {
    SetParameter(4, Lat30);
}

TPetersPrj::TPetersPrj(TOrvex3* View) : TCylEqualAreaPrj(View) { SetParameter(4, Lat45); }

// ---------------------------------------------------------------------------------------
// Albers equal-area conic

TAlbersEqualAreaConicPrj::TAlbersEqualAreaConicPrj(TOrvex3* View) : TCartesianPrj(View) {
    SetParameter(4, Lat45);
    SetParameter(5, 0);
}

void TAlbersEqualAreaConicPrj::SetParameter(int32_t Index, int32_t Value) {
    TCartesianPrj::SetParameter(Index, Value);
    if (Index == 4 || Index == 5) DeriveConstants();
}

void TAlbersEqualAreaConicPrj::DeriveConstants() {
    const long double SinPhi1 = std::sin(FFirstParallel * K), CosPhi1 = std::cos(FFirstParallel * K);
    long double N = (SinPhi1 + std::sin(FSecondParallel * K)) / 2;
    // Both parallels on the equator (or mirrored about it) make no cone.
    if (N == 0) N = 1;
    FConeConstant = N;
    FAlbersC = CosPhi1 * CosPhi1 + 2 * N * SinPhi1;
    FOriginRadius = std::sqrt(FAlbersC) / N;
}

bool TAlbersEqualAreaConicPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    const double N = static_cast<double>(FConeConstant);
    // Outside the cone's reach the root is not real and the point is not placed.
    const double Rho = std::sqrt(static_cast<double>(FAlbersC) - 2 * N * std::sin(Point.Y * DK)) / N;
    const double Theta = N * static_cast<double>(Lambda0(Point.X));
    const double X = Rho * std::sin(Theta);
    const double Y = static_cast<double>(FOriginRadius) - Rho * std::cos(Theta);
    const long double F = UnitsPerRadian * FScaleFactor;
    return StorePixel(Index, X * F, -(Y * F));
}

bool TAlbersEqualAreaConicPrj::FlatForward(TFlatForward& F) const {
    FillFlatForward(F);
    F.Kind = TFlatForward::Albers;
    F.A = static_cast<double>(FConeConstant);
    F.B = static_cast<double>(FAlbersC);
    F.C = static_cast<double>(FOriginRadius);
    return true;
}

bool TAlbersEqualAreaConicPrj::StretchBoundsWithin(const TPointBox& Box, double& PerLongitude,
                                                   double& PerLatitude) const {
    // As for the whole map, with the root taken at the box's own latitudes: it is linear in
    // their sine, so its extremes lie at the box's edges.
    const double N = static_cast<double>(FConeConstant), C = static_cast<double>(FAlbersC);
    const TLatitudeReach Lat = LatitudeReach(Box);
    const double A = C - 2 * N * std::sin(Lat.South), B = C - 2 * N * std::sin(Lat.North);
    const double Least = std::min(A, B);
    if (!(Least > 1e-6)) return false;
    PerLongitude = std::sqrt(std::max(A, B));
    PerLatitude = Lat.MaxCos() / std::sqrt(Least);
    return true;
}

bool TAlbersEqualAreaConicPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    long double XP, YP;
    if (!PlanePoint(X, Y, Index, XP, YP)) return false;
    const long double N = FConeConstant;
    const long double Below = FOriginRadius - YP;
    // The row through the apex, where the angle's quotient has no value.
    if (std::fabs(Below) <= 1e-12L) return false;
    const long double Rho = std::hypot(XP, Below);
    // The angle about the apex by atan2, turned with the cone: arctan of the quotient
    // alone picks the wrong half for cones wider than a half-turn (n > 0.5).
    const long double Sign = N < 0 ? -1 : 1;
    const long double Theta = std::atan2(Sign * XP, Sign * Below);
    const long double Phi = ArcSin((FAlbersC - Rho * Rho * N * N) / (2 * N));
    return StoreLL(Index, Theta / N, Phi);
}

bool TAlbersEqualAreaConicPrj::StretchBounds(long double& PerLongitude, long double& PerLatitude) const {
    // Along a parallel the map moves by sqrt(C - 2n sin phi), along a meridian by
    // cos phi / sqrt(C - 2n sin phi): bounded only while the root stays away from 0.
    const long double N = std::fabs(FConeConstant);
    const long double Least = FAlbersC - 2 * N;
    if (!(Least > 1e-6L)) return false;
    PerLongitude = std::sqrt(FAlbersC + 2 * N);
    PerLatitude = 1 / std::sqrt(Least);
    return true;
}

// ---------------------------------------------------------------------------------------
// Bonne

TBonnePrj::TBonnePrj(TOrvex3* View) : TCartesianPrj(View) { SetParameter(4, OrvexUnits::Deg90); }

void TBonnePrj::SetParameter(int32_t Index, int32_t Value) {
    TCartesianPrj::SetParameter(Index, Value);
    if (Index != 4) return;
    // On the equator the cotangent is infinite; pi stands in for it.
    FCotFirstParallel = FFirstParallel != 0 ? 1 / std::tan(FFirstParallel * K) : Pi;
}

bool TBonnePrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    const double Cot = static_cast<double>(FCotFirstParallel);
    const double Phi = Point.Y * DK;
    const double Rho = Cot + FFirstParallel * DK - Phi;
    const double E = static_cast<double>(Lambda0(Point.X)) * std::cos(Phi) / Rho;
    const double X = Rho * std::sin(E);
    const double Y = Cot - Rho * std::cos(E);
    // A division by a zero radius leaves no position: StorePixel refuses it.
    const long double F = UnitsPerRadian * FScaleFactor;
    return StorePixel(Index, X * F, -(Y * F));
}

bool TBonnePrj::FlatForward(TFlatForward& F) const {
    FillFlatForward(F);
    F.Kind = TFlatForward::Bonne;
    F.A = static_cast<double>(FCotFirstParallel);
    F.B = FFirstParallel * DK;
    return true;
}

bool TBonnePrj::StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const {
    // Along a parallel the map moves by cos(phi); along a meridian by at most
    // 1 + |lambda| |cos(phi) - rho sin(phi)| / |rho|, with the radius rho = cot(phi1) + phi1 - phi
    // linear in the latitude: unbounded where it reaches 0, at the cone's apex.
    const double Apex = static_cast<double>(FCotFirstParallel) + FFirstParallel * DK;
    const TLatitudeReach Lat = LatitudeReach(Box);
    const double A = Apex - Lat.South, B = Apex - Lat.North;
    if ((A > 0) != (B > 0)) return false;
    const double Least = std::min(std::fabs(A), std::fabs(B)), Most = std::max(std::fabs(A), std::fabs(B));
    if (!(Least > 1e-6)) return false;
    double LeastLongitude, MostLongitude;
    LongitudeReach(Box, LeastLongitude, MostLongitude);
    PerLongitude = Lat.MaxCos();
    PerLatitude = 1 + MostLongitude * (Lat.MaxCos() + Most * Lat.MaxSin()) / Least;
    return true;
}

bool TBonnePrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    long double XP, YP;
    if (!PlanePoint(X, Y, Index, XP, YP)) return false;
    const long double Sign = FFirstParallel >= 0 ? 1 : -1;
    const long double YB = FCotFirstParallel - YP;
    const long double Rho = Sign * std::hypot(XP, YB);
    const long double Phi = FFirstParallel * K + FCotFirstParallel - Rho;
    // South of the equator the cone opens downwards: the angle about the apex is measured
    // with both coordinates turned, as the forward's negative radius turns them.
    const long double Lambda = std::atan2(Sign * XP, Sign * YB) * Rho / std::cos(Phi);
    return StoreLL(Index, Lambda, Phi);
}

// ---------------------------------------------------------------------------------------
// Sinusoidal

bool TSinusoidalPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    const double Phi = Point.Y * static_cast<double>(K);
    const double X = static_cast<double>(Lambda0(Point.X)) * std::cos(Phi);
    const long double F = UnitsPerRadian * FScaleFactor;
    return StorePixel(Index, X * F, -(Phi * F));
}

bool TSinusoidalPrj::FlatForward(TFlatForward& F) const {
    FillFlatForward(F);
    F.Kind = TFlatForward::Sinusoidal;
    return true;
}

bool TSinusoidalPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    long double XP, YP;
    if (!PlanePoint(X, Y, Index, XP, YP)) return false;
    return StoreLL(Index, XP / std::cos(YP), YP);
}

bool TSinusoidalPrj::StretchBounds(long double& PerLongitude, long double& PerLatitude) const {
    // x = lambda cos phi moves by up to pi per radian of latitude at the map's edge.
    PerLongitude = 1;
    PerLatitude = Pi;
    return true;
}

bool TSinusoidalPrj::StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const {
    // x = lambda cos phi, y = phi: across the box x moves by at most cos phi per unit of
    // longitude and |lambda| sin phi per unit of latitude.
    double LeastLongitude, MostLongitude;
    LongitudeReach(Box, LeastLongitude, MostLongitude);
    const TLatitudeReach Lat = LatitudeReach(Box);
    PerLongitude = Lat.MaxCos();
    PerLatitude = std::max(1.0, MostLongitude * Lat.MaxSin());
    return true;
}
