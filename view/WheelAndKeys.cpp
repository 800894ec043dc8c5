// The view's mouse wheel and keyboard: zooming about the cursor, turning or panning by a
// tenth of the view, zooming about the centre and showing the whole world.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "view/Guarded.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
// A full notch of a mouse wheel in angle-delta units.
constexpr long double kNotch = 120;
// A key moves the map by this part of the view.
constexpr int32_t kKeyStepParts = 10;
// Turning a tilted globe by the difference of two points is close but not exact; a few
// more turns bring the point where it belongs, as the moves of a drag do.
constexpr int kKeyPanRefinements = 3;

bool SameViewRec(const TViewRec& A, const TViewRec& B) {
    return A.ScaleFactor == B.ScaleFactor && A.XOrigin == B.XOrigin && A.YOrigin == B.YOrigin &&
           A.XRotation == B.XRotation && A.YRotation == B.YRotation && A.ZRotation == B.ZRotation;
}

}  // namespace

// A move of the cursor alone does not end a run: the scale goes on adding up.
bool TOrvex3::WheelRunGoesOn(int32_t, int32_t) const {
    return FWheel.Active && FWheel.Prj == FProjection.get() && FWheel.Width == FCanvas->Width() &&
           FWheel.Height == FCanvas->Height() && SameViewRec(FWheel.Left, GetViewRec());
}

void TOrvex3::WheelZoom(int32_t X, int32_t Y, int32_t AngleDelta) {
    if (AngleDelta == 0 || !(GetScaleFactor() > 0)) return;
    TWheelRun& Run = FWheel;
    if (!WheelRunGoesOn(X, Y)) {
        Run = TWheelRun{};
        Run.X = X;
        Run.Y = Y;
        Run.StartScale = GetScaleFactor();
        Run.StartX = Run.IdealX = FProjection->XOrigin();
        Run.StartY = Run.IdealY = FProjection->YOrigin();
        Run.HasPlace = PixelToLL(X, Y, Run.Place);
    } else if (X != Run.X || Y != Run.Y) {
        // The cursor moved: the scale goes on from the same total, and the origin is
        // restated so that the place under the new position stays there from now on.
        const long double Back = Run.StartScale / GetScaleFactor();
        Run.StartX = X + (Run.IdealX - X) * Back;
        Run.StartY = Y + (Run.IdealY - Y) * Back;
        Run.X = X;
        Run.Y = Y;
        Run.HasPlace = PixelToLL(X, Y, Run.Place);
    }
    Run.Active = false;  // until this step has been carried out
    Run.Total += AngleDelta;
    const long double Wanted = Run.StartScale * std::pow(WheelNotchFactor, Run.Total / kNotch);
    ZoomToScale(Wanted);
    const long double Scale = GetScaleFactor();
    // Pixels are origin + scale x (projected point): scaling the origin's distance from the
    // cursor keeps the point under the cursor.
    const long double Ratio = Scale / Run.StartScale;
    Run.IdealX = X + (Run.StartX - X) * Ratio;
    Run.IdealY = Y + (Run.StartY - Y) * Ratio;
    SetOrigin(TPixelPoint{RoundSaturate(Run.IdealX), RoundSaturate(Run.IdealY)});
    PinPlace(X, Y);
    if (Scale != Wanted) {
        // At a scale limit: the next steps count from here, so that turning the wheel back
        // zooms out at once; the unrounded origin keeps the point from creeping.
        Run.StartScale = Scale;
        Run.StartX = Run.IdealX;
        Run.StartY = Run.IdealY;
        Run.Total = 0;
    }
    Run.Active = Scale > 0;
    Run.Left = GetViewRec();
    Run.Prj = FProjection.get();
    Run.Width = FCanvas->Width();
    Run.Height = FCanvas->Height();
}

// Deep in, one OrvexUnit spans pixels: the ideal origin keeps the exact point under the
// cursor, but the place a user or a program reads there is whole units. A pixel-sized
// shift of the origin brings that place back onto the cursor's pixel.
void TOrvex3::PinPlace(int32_t X, int32_t Y) {
    constexpr int64_t kMostShift = 8;
    if (!FWheel.HasPlace || !FProjection->LLToXY(FWheel.Place.X, FWheel.Place.Y, 0)) return;
    const int64_t DX = int64_t(X) - PointBuffer[0].X, DY = int64_t(Y) - PointBuffer[0].Y;
    if ((DX == 0 && DY == 0) || std::abs(DX) > kMostShift || std::abs(DY) > kMostShift) return;
    SetOrigin(TPixelPoint{SaturateInt32(FProjection->XOrigin() + DX), SaturateInt32(FProjection->YOrigin() + DY)});
}

void TOrvex3::KeyPan(int32_t Columns, int32_t Rows) {
    const long double Scale = GetScaleFactor();
    if ((Columns == 0 && Rows == 0) || !(Scale > 0)) return;
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    if (FProjectionKind != opSpherical) {
        // A flat map moves by a tenth of the window, as its scroll bars move it.
        ScrollBy(RoundSaturate(int64_t(Columns) * (W / kKeyStepParts) / Scale),
                 RoundSaturate(-int64_t(Rows) * (H / kKeyStepParts) / Scale));
        return;
    }
    // The globe turns so that the place a tenth of the view away comes to the centre, as
    // if it had been dragged there.
    const int32_t CX = W / 2, CY = H / 2;
    const int64_t TX = CX + int64_t(Columns) * (W / kKeyStepParts);
    const int64_t TY = CY - int64_t(Rows) * (H / kKeyStepParts);
    TPoint3D C, Target;
    if (PixelToLL(CX, CY, C) && PixelToLL(SaturateInt32(TX), SaturateInt32(TY), Target)) {
        for (int I = 0; I <= kKeyPanRefinements; ++I) {
            const int64_t DLat = int64_t(Target.Y) - C.Y;
            const int64_t DLon = NormalizeLongitude(int64_t(Target.X) - C.X);
            if (DLat == 0 && DLon == 0) break;
            SetRotation(0, int64_t(XRotation()) + DLat);
            SetRotation(1, NormalizeLongitude(int64_t(YRotation()) + DLon));
            if (!PixelToLL(CX, CY, C)) break;
        }
        RequestRender();
        return;
    }
    // Off the globe there is no place to bring: it turns by a tenth of the view in angle,
    // no more than a quarter turn.
    auto Step = [](int64_t Extent, int32_t Parts) {
        return std::clamp<int64_t>(Extent / kKeyStepParts, 1, OrvexUnits::Deg90) * Parts;
    };
    if (Rows) SetRotation(0, int64_t(XRotation()) + Step(FViewExtent.Height, Rows));
    if (Columns) SetRotation(1, NormalizeLongitude(int64_t(YRotation()) + Step(FViewExtent.Width, Columns)));
    RequestRender();
}

void TOrvex3::wheelEvent(QWheelEvent* Event) {
    const TPixelPoint P = WindowToSurface(Event->position());
    const int Delta = Event->angleDelta().y();
    if (Delta == 0 || !InClientArea(P)) {
        Event->ignore();
        return;
    }
    Event->accept();
    Guarded([&] { WheelZoom(P.X, P.Y, Delta); });
}

void TOrvex3::keyPressEvent(QKeyEvent* Event) {
    // Shift is needed for '+' on many keyboards; other modifiers belong to shortcuts.
    if (Event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QWidget::keyPressEvent(Event);
        return;
    }
    std::function<void()> Action;
    switch (Event->key()) {
        case Qt::Key_Left: Action = [this] { KeyPan(-1, 0); }; break;
        case Qt::Key_Right: Action = [this] { KeyPan(1, 0); }; break;
        case Qt::Key_Up: Action = [this] { KeyPan(0, 1); }; break;
        case Qt::Key_Down: Action = [this] { KeyPan(0, -1); }; break;
        case Qt::Key_Plus:
        case Qt::Key_Equal: Action = [this] { ZoomToScale(GetScaleFactor() * WheelNotchFactor); }; break;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: Action = [this] { ZoomToScale(GetScaleFactor() / WheelNotchFactor); }; break;
        case Qt::Key_Home: Action = [this] { ZoomToScale(0); }; break;
        default: QWidget::keyPressEvent(Event); return;
    }
    Event->accept();
    Guarded(Action);
}
