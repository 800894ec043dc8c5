#include "projections/CartesianPrj.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <typeinfo>

#include "kernels/FlatForward.h"
#include "platform/PointBuffer.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr TPrjExtents CartesianExtents{-OrvexUnits::Deg180, -OrvexUnits::Deg90, OrvexUnits::Deg180,
                                       OrvexUnits::Deg90};
constexpr int32_t CentralParallelLimit = OrvexUnits::Deg90 - 1;
// The texture background's cells: 120 columns of 3 degrees by 45 rows of 4 degrees.
constexpr int32_t TextureColumns = 120;
constexpr int32_t TextureRows = 45;

int64_t Wrap(int64_t Longitude) {
    if (Longitude >= OrvexUnits::Deg180) return Longitude - OrvexUnits::Deg360;
    if (Longitude < -OrvexUnits::Deg180) return Longitude + OrvexUnits::Deg360;
    return Longitude;
}

// A pixel origin moved by Offset, kept within the integer range.
int32_t MovedOrigin(int32_t Origin, long double Offset) {
    if (std::isnan(Offset)) return Origin;
    return RoundSaturate(Origin + std::rint(Offset));
}
}  // namespace

const TClassInfo& TCartesianPrj::StaticClassInfo() {
    static const TClassInfo Info{"TCartesianPrj", &TPrjModel::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TCartesianPrj::ClassInfo() const { return StaticClassInfo(); }

TCartesianPrj::TCartesianPrj(TOrvex3* View) : TCartesianPrj(View, CartesianExtents) {}

TCartesianPrj::TCartesianPrj(TOrvex3* View, const TPrjExtents& Extents) : TPrjModel(View, Extents) {
    FFlags = pfTextureCapable;
}

bool TCartesianPrj::InExtents(int64_t Longitude, int64_t Latitude) const {
    return Longitude >= FExtents.MinLongitude && Longitude <= FExtents.MaxLongitude &&
           Latitude >= FExtents.MinLatitude && Latitude <= FExtents.MaxLatitude;
}

void TCartesianPrj::FillFlatForward(TFlatForward& F) const {
    F.CentralMeridian = FCentralMeridian;
    F.MinLongitude = FExtents.MinLongitude;
    F.MaxLongitude = FExtents.MaxLongitude;
    F.MinLatitude = FExtents.MinLatitude;
    F.MaxLatitude = FExtents.MaxLatitude;
    F.PixelsPerRadian = static_cast<double>(UnitsPerRadian * FScaleFactor);
    F.XOrigin = FXOrigin;
    F.YOrigin = FYOrigin;
}

bool TCartesianPrj::FlatForward(TFlatForward& F) const {
    if (typeid(*this) != typeid(TCartesianPrj)) return false;
    FillFlatForward(F);
    F.Kind = TFlatForward::Cartesian;
    return true;
}

long double TCartesianPrj::XOffset(int32_t Longitude) const {
    return NormalizeLongitude(int64_t(Longitude) - FCentralMeridian) * FScaleFactor;
}

bool TCartesianPrj::LongitudeAt(long double Offset, int64_t& Longitude) const {
    int32_t R;
    if (!RoundInRange(Offset, R)) return false;
    Longitude = Wrap(int64_t(R) + FCentralMeridian);
    return true;
}

void TCartesianPrj::SetParameter(int32_t Index, int32_t Value) {
    if (Index == 0) {
        if (FXAxisChanges == xaCentralParallel) {
            if (FCentralParallel >= -CentralParallelLimit && FCentralParallel <= CentralParallelLimit)
                FCentralParallel = NormalizeLongitude(int64_t(Value) + FCentralParallel - FXRotation);
        } else {
            // The origin follows the projected latitude change; when that lies beyond the
            // extents, the pan is by the angle itself.
            const int64_t Latitude = int64_t(FXRotation) - Value;
            if (PointBuffer && LLToXY(FYRotation, SaturateInt32(Latitude), 0))
                FYOrigin = PointBuffer[0].Y;
            else
                FYOrigin = MovedOrigin(FYOrigin, -Latitude * FScaleFactor);
            RefreshView();
        }
    } else if (Index == 1) {
        if (FYAxisChanges == yaCentralMeridian) {
            FCentralMeridian = NormalizeLongitude(int64_t(Value) + FCentralMeridian - FYRotation);
        } else {
            const int32_t Longitude = NormalizeLongitude(SaturateInt32(Wrap(int64_t(FYRotation) - Value)));
            if (PointBuffer && LLToXY(Longitude, SaturateInt32(-int64_t(FXRotation)), 0))
                FXOrigin = PointBuffer[0].X;
            else
                FXOrigin = MovedOrigin(FXOrigin, Longitude * FScaleFactor);
            RefreshView();
        }
    }
    TPrjModel::SetParameter(Index, Value);
}

bool TCartesianPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    if (!InExtents(Point.X, Point.Y)) return false;
    return StorePixel(Index, XOffset(Point.X), -(Point.Y * FScaleFactor));
}

bool TCartesianPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    if (!PointBuffer || Index < 0 || Index >= PointBufferSize) return false;
    if (!(FScaleFactor > 0)) return false;
    const long double R = 1 / FScaleFactor;
    int64_t Longitude;
    if (!LongitudeAt((static_cast<long double>(X) - FXOrigin) * R, Longitude)) return false;
    int32_t Latitude;
    if (!RoundInRange(-((static_cast<long double>(Y) - FYOrigin) * R), Latitude)) return false;
    if (!InExtents(Longitude, Latitude)) return false;
    PointBuffer[Index] = TPixelPoint{static_cast<int32_t>(Longitude), Latitude};
    return true;
}

bool TCartesianPrj::StretchBounds(long double& PerLongitude, long double& PerLatitude) const {
    PerLongitude = PerLatitude = 1;
    return true;
}

bool TCartesianPrj::SeparableAxes() const { return typeid(*this) == typeid(TCartesianPrj); }

int64_t TCartesianPrj::RoundedOffset(long double Offset) {
    constexpr long double Limit = 0x1p40L;
    if (!(Offset > -Limit)) return -(int64_t(1) << 40);
    if (!(Offset < Limit)) return int64_t(1) << 40;
    return std::llrint(Offset);
}

int64_t TCartesianPrj::AxisRank(int Axis, int32_t Value) const {
    // The same expressions as PointToXY, so that the ranks are its pixels exactly.
    if (Axis == 0) return RoundedOffset(Value * FScaleFactor);
    return -RoundedOffset(-(Value * FScaleFactor));
}

long double TCartesianPrj::Lambda0(int32_t Longitude) const {
    return NormalizeLongitude(int64_t(Longitude) - FCentralMeridian) * RadiansPerOrvexUnit;
}

bool TCartesianPrj::PlanePoint(int32_t X, int32_t Y, int32_t Index, long double& XP, long double& YP) const {
    if (!PointBuffer || Index < 0 || Index >= PointBufferSize) return false;
    if (!(FScaleFactor > 0)) return false;
    XP = (static_cast<long double>(X) - FXOrigin) / FScaleFactor * RadiansPerOrvexUnit;
    YP = (static_cast<long double>(FYOrigin) - Y) / FScaleFactor * RadiansPerOrvexUnit;
    return std::isfinite(XP) && std::isfinite(YP);
}

bool TCartesianPrj::StoreLL(int32_t Index, long double Lambda, long double Phi) const {
    // Written so that NaN fails the test.
    if (!(std::fabs(Lambda) < OrvexPi) || !(std::fabs(Phi) < OrvexPi / 2)) return false;
    const int64_t Longitude = RoundEven(Lambda * UnitsPerRadian) + FCentralMeridian;
    PointBuffer[Index] =
        TPixelPoint{NormalizeLongitude(Longitude), static_cast<int32_t>(RoundEven(Phi * UnitsPerRadian))};
    return true;
}

bool TCartesianPrj::PaintTexture() {
    TOrvexCanvas* Canvas = FView ? FView->Canvas() : nullptr;
    if (!Canvas) return false;
    const TExtent World{-OrvexUnits::Deg180, -OrvexUnits::Deg90, OrvexUnits::Deg360, OrvexUnits::Deg180};
    Canvas->PaintTextured([&] { Canvas->RenderTextureGrid(World, TextureColumns, TextureRows, FView->Texture()); });
    return true;
}

void TCartesianPrj::PaintBackground() {
    if (FView && FView->TextureBackground() && TextureCapable() && PaintTexture()) return;
    TPrjModel::PaintBackground();
}
