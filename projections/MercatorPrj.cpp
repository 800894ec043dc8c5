#include "projections/MercatorPrj.h"
#include "platform/PointBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <typeinfo>


namespace {
constexpr int32_t Lat89 = 89 * OrvexUnits::PerDegree;

// ln tan(pi/4 + phi/2) as atanh(sin phi), in double precision: far below a pixel at any
// scale inside the extents, and several times faster than the widest reals.
long double Ordinate(int32_t Latitude) {
    const double Sin = std::sin(static_cast<double>(Latitude) * static_cast<double>(RadiansPerOrvexUnit));
    return 0.5 * std::log((1 + Sin) / (1 - Sin)) * static_cast<double>(UnitsPerRadian);
}
}  // namespace

const TClassInfo& TMercatorPrj::StaticClassInfo() {
    static const TClassInfo Info{"TMercatorPrj", &TCartesianPrj::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TMercatorPrj::ClassInfo() const { return StaticClassInfo(); }

TMercatorPrj::TMercatorPrj(TOrvex3* View) : TCartesianPrj(View) {
    FExtents = TPrjExtents{-OrvexUnits::Deg180, -Lat89, OrvexUnits::Deg180, Lat89};
}

bool TMercatorPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    return StorePixel(Index, XOffset(Point.X), -(Ordinate(Point.Y) * FScaleFactor));
}

bool TMercatorPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    if (!PointBuffer || Index < 0 || Index >= PointBufferSize) return false;
    if (!(FScaleFactor > 0)) return false;
    int64_t Longitude;
    if (!LongitudeAt((static_cast<long double>(X) - FXOrigin) / FScaleFactor, Longitude)) return false;
    const long double T = (static_cast<long double>(Y) - FYOrigin) / FScaleFactor;
    int32_t Latitude;
    if (!RoundInRange((2 * std::atan(std::exp(-T * RadiansPerOrvexUnit)) - OrvexPi / 2) * UnitsPerRadian, Latitude))
        return false;
    if (!InExtents(Longitude, Latitude)) return false;
    PointBuffer[Index] = TPixelPoint{static_cast<int32_t>(Longitude), Latitude};
    return true;
}

bool TMercatorPrj::StretchBounds(long double& PerLongitude, long double& PerLatitude) const {
    // The ordinate grows by sec phi per unit of latitude, at most at the 89th parallel.
    PerLongitude = 1;
    PerLatitude = 1 / std::cos(Lat89 * RadiansPerOrvexUnit);
    return true;
}

bool TMercatorPrj::DetailStretch(const TPointBox& Box, double& PixelsPerUnit) const {
    const int64_t Farthest = std::min<int64_t>(std::max(std::llabs(Box.MinLatitude), std::llabs(Box.MaxLatitude)), Lat89);
    PixelsPerUnit = (1 + 1 / std::cos(static_cast<double>(Farthest) * static_cast<double>(RadiansPerOrvexUnit))) *
                    static_cast<double>(FScaleFactor);
    return true;
}

bool TMercatorPrj::SeparableAxes() const { return typeid(*this) == typeid(TMercatorPrj); }

int64_t TMercatorPrj::AxisRank(int Axis, int32_t Value) const {
    if (Axis == 0) return TCartesianPrj::AxisRank(0, Value);
    return -RoundedOffset(-(Ordinate(Value) * FScaleFactor));
}
