// Zoom, scrolling, rotation, projection switching and resizing of the view. The scale,
// origin and rotations live in the projection; the view only changes them here.

#include <cmath>
#include <limits>

#include "model/OrvexObject.h"
#include "projections/CartesianPrj.h"
#include "projections/PrjModel.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr long double Tan50 = 1.19175359259421L;

// An angle difference brought into [-180, 180) degrees.
int64_t WrapTurn(int64_t V) {
    V %= OrvexUnits::Deg360;
    if (V >= OrvexUnits::Deg180) V -= OrvexUnits::Deg360;
    if (V < -OrvexUnits::Deg180) V += OrvexUnits::Deg360;
    return V;
}
}  // namespace

long double TOrvex3::LimitScale(long double Scale) const {
    if (Scale > 4.0L) Scale = 4.0L;
    const int32_t M = std::max(FCanvas->Width(), FCanvas->Height());
    if (!(Scale > 0) || M / Scale > 2147483647.0L) Scale = M * 4.656612875245797e-10L;
    return Scale;
}

// The bookkeeping of a scale the projection has just taken.
void TOrvex3::ScaleApplied(long double Scale) {
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    FAltitude = RoundSaturate(W / Scale / Tan50);
    FViewExtent = TOrvexRect{0, 0, RoundSaturate(W / Scale), RoundSaturate(H / Scale)};
}

void TOrvex3::SetAltitude(int32_t Value) {
    if (Value == 0)
        ZoomToScale(0);
    else
        ZoomToScale(FCanvas->Width() / (Tan50 * Value));
}

void TOrvex3::ZoomToScale(long double Scale) {
    if (!(Scale >= 0)) return;
    TPrjModel* Prj = FProjection.get();
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    const TPixelPoint OldOrigin = GetOrigin();
    if (Scale == 0) {
        Prj->SetXOrigin(W / 2);
        Prj->SetYOrigin(H / 2);
        const TPrjExtents& E = Prj->Extents();
        Scale = std::min(H / std::fabs(static_cast<long double>(E.MaxLatitude) - E.MinLatitude),
                         W / std::fabs(static_cast<long double>(E.MaxLongitude) - E.MinLongitude));
    }
    Scale = LimitScale(Scale);
    const long double Old = Prj->ScaleFactor();
    if (Scale != Old) {
        // The point at the centre of the view stays there.
        const long double DX = static_cast<long double>(Prj->XOrigin()) - W / 2;
        const long double DY = static_cast<long double>(Prj->YOrigin()) - H / 2;
        Prj->SetXOrigin(RoundSaturate(W / 2 + std::nearbyint(Scale * DX / Old)));
        Prj->SetYOrigin(RoundSaturate(H / 2 + std::nearbyint(Scale * DY / Old)));
        ScaleApplied(Scale);
        Prj->ApplyScaleFactor(Scale);
        ScaleChanged = true;
        RequestRender();
        if (OnZoomed) OnZoomed(this);
    } else {
        // A new projection brings its own scale: Altitude and ViewExtent must follow it,
        // and a fit that only recentred the map still has to be drawn.
        ScaleApplied(Scale);
        if (!(GetOrigin() == OldOrigin)) RequestRender();
    }
    UpdateScrollBars();
}

void TOrvex3::ZoomToRect(const TOrvexRect& Rect) {
    // A copy: Rect may be ViewExtent itself, which the zoom rewrites.
    const TOrvexRect R = Rect;
    if (R.Width == 0 || R.Height == 0) {
        ZoomToScale(0);
        return;
    }
    TPrjModel* Prj = FProjection.get();
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    // A rectangle given from its far corner shows the same area.
    const long double RectW = std::fabs(static_cast<long double>(R.Width));
    const long double RectH = std::fabs(static_cast<long double>(R.Height));
    long double A = std::min(H / RectH, W / RectW);
    if (A > 4.0L) A = 4.0L;
    const long double Old = Prj->ScaleFactor();
    const long double CX = int64_t(R.Left) + R.Width / 2, CY = int64_t(R.Top) + R.Height / 2;
    Prj->SetXOrigin(RoundSaturate(std::nearbyint((Prj->XOrigin() / Old - CX) * A) + W / 2));
    Prj->SetYOrigin(RoundSaturate(std::nearbyint((Prj->YOrigin() / Old - CY) * A) + H / 2));
    A = LimitScale(A);
    ScaleApplied(A);
    if (A != Old) {
        Prj->ApplyScaleFactor(A);
        ScaleChanged = true;
        RequestRender();
        if (OnZoomed) OnZoomed(this);
    }
    UpdateScrollBars();
    RequestRender();
}

TPixelPoint TOrvex3::GetOrigin() const { return TPixelPoint{FProjection->XOrigin(), FProjection->YOrigin()}; }

void TOrvex3::SetOrigin(const TPixelPoint& Origin) {
    if (Origin == GetOrigin()) return;
    FProjection->SetXOrigin(Origin.X);
    FProjection->SetYOrigin(Origin.Y);
    if (OnPanned) OnPanned(this);
    UpdateScrollBars();
    RequestRender();
}

void TOrvex3::ScrollBy(int32_t DX, int32_t DY) {
    if (DX != 0 || DY != 0) {
        const long double Scale = GetScaleFactor();
        FProjection->SetXOrigin(RoundSaturate(FProjection->XOrigin() - std::nearbyint(DX * Scale)));
        FProjection->SetYOrigin(RoundSaturate(FProjection->YOrigin() - std::nearbyint(DY * Scale)));
        if (OnPanned) OnPanned(this);
    }
    UpdateScrollBars();
    RequestRender();
}

void TOrvex3::CenterOn(int32_t Longitude, int32_t Latitude) {
    const int32_t W = FCanvas->Width() / 2, H = FCanvas->Height() / 2;
    FProjection->SetXOrigin(W);
    FProjection->SetYOrigin(H);
    // The flat maps that pan by angle.
    const bool Flat = dynamic_cast<const TCartesianPrj*>(FProjection.get()) != nullptr;
    TPoint3D C;
    // Without a point under the centre there is nothing to turn from.
    if (PixelToLL(W, H, C)) {
        SetRotation(0, int64_t(XRotation()) + Latitude - C.Y);
        SetRotation(1, int64_t(YRotation()) + WrapTurn(int64_t(Longitude) - C.X));
    } else if (!Flat) {
        RequestRender();
        return;
    }
    // A flat map pans by the change of angle, which lands on the place only where the map
    // is symmetric about the equator: the rest of the way is a move of the origin.
    if (Flat && PointBuffer && FProjection->PointToXY(TPoint3D{Longitude, Latitude, 0}, 0)) {
        const int64_t DX = int64_t(W) - PointBuffer[0].X, DY = int64_t(H) - PointBuffer[0].Y;
        FProjection->SetXOrigin(SaturateInt32(int64_t(FProjection->XOrigin()) + DX));
        FProjection->SetYOrigin(SaturateInt32(int64_t(FProjection->YOrigin()) + DY));
    }
    RequestRender();
}

void TOrvex3::CenterOnObject(TOrvexObject* Obj) {
    if (!Obj) return;
    if (!Obj->HasState(osExtentsValid)) Obj->CalcExtents();
    const TExtent& E = Obj->Extents();
    CenterOn(NormalizeLongitude(int64_t(E.Left) + E.Width / 2), SaturateInt32(int64_t(E.Bottom) + E.Height / 2));
}

TViewRec TOrvex3::GetViewRec() const {
    return TViewRec{GetScaleFactor(), FProjection->XOrigin(), FProjection->YOrigin(),
                    XRotation(),      YRotation(),             ZRotation()};
}

void TOrvex3::SetViewRec(const TViewRec& Rec) {
    ZoomToScale(Rec.ScaleFactor);
    SetXRotation(Rec.XRotation);
    SetYRotation(Rec.YRotation);
    SetZRotation(Rec.ZRotation);
    SetOrigin(TPixelPoint{Rec.XOrigin, Rec.YOrigin});
}

int32_t TOrvex3::XRotation() const { return FProjection->XRotation(); }
int32_t TOrvex3::YRotation() const { return FProjection->YRotation(); }
int32_t TOrvex3::ZRotation() const { return FProjection->ZRotation(); }

void TOrvex3::SetRotation(int Axis, int64_t Value) {
    // Within the int32 range the projection clamps or wraps the angle as it always does.
    if (Value != SaturateInt32(Value)) Value %= OrvexUnits::Deg360;
    const int32_t V = static_cast<int32_t>(Value);
    const int32_t Current = Axis == 0 ? XRotation() : Axis == 1 ? YRotation() : ZRotation();
    if (V != Current) FProjection->SetParameter(Axis, V);
    RequestRender();
}

void TOrvex3::SetProjection(TOrvexProjection Kind) { SetProjectionModel(ProjectionOfKind(Kind).Create(this)); }

void TOrvex3::SetProjectionModel(TPrjModel* Model) {
    if (Model && Model == FProjection.get()) return;
    if (!Model) Model = ProjectionOfKind(opSpherical).Create(this);
    bool Remembered = false, OnMap = false;
    TPoint3D Centre;
    if (const TPrjModel* Old = FProjection.get(); Old && typeid(*Model) != typeid(*Old)) {
        Remembered = true;
        OnMap = PixelToLL(FCanvas->Width() / 2, FCanvas->Height() / 2, Centre);
    }
    FProjection.reset();
    FProjection.reset(Model);
    ++FProjectionSerial;
    FProjectionKind = ProjectionKindOf(*FProjection);
    ScaleChanged = true;
    if (!Remembered || !OnMap) {
        ZoomToScale(0);
    } else {
        ZoomToRect(FViewExtent);
        CenterOn(Centre.X, Centre.Y);
    }
    RequestRender();
}

void TOrvex3::SurfaceResized(int32_t OldWidth, int32_t OldHeight) {
    if (!FProjection) return;
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    const long double OldDiag = std::hypot(static_cast<long double>(OldWidth), static_cast<long double>(OldHeight));
    const long double NewDiag = std::hypot(static_cast<long double>(W), static_cast<long double>(H));
    const long double R = OldDiag > 0 ? NewDiag / OldDiag : 1;
    FProjection->SetXOrigin(RoundSaturate(FProjection->XOrigin() * R));
    FProjection->SetYOrigin(RoundSaturate(FProjection->YOrigin() * R));
    const long double Old = FProjection->ScaleFactor();
    const long double Scale = LimitScale(Old * R);
    FProjection->ApplyScaleFactor(Scale);
    ScaleChanged = ScaleChanged || Scale != Old;
    ScaleApplied(Scale);
    RequestRender();
}
