// The view's window: its client area and scroll bars, and its reactions to the mouse:
// rubber-band zoom, selection, rotating (panning on flat maps) by dragging.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "view/Guarded.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
// The geographic point under the mouse when a rotate drag began. One for the process:
// only one drag can be under way at a time.
TPoint3D RotateAnchor;

// The widest scroll range either way, in OrvexUnits.
constexpr int64_t ScrollLimit = 1073741823;

bool Matches(TOrvexMouseButton Wanted, TMouseButton Pressed) {
    switch (Wanted) {
        case mzbLeft: return Pressed == mbLeft;
        case mzbRight: return Pressed == mbRight;
        case mzbMiddle: return Pressed == mbMiddle;
        case mzbNone: return false;
    }
    return false;
}

bool ButtonOf(Qt::MouseButton B, TMouseButton& Button) {
    switch (B) {
        case Qt::LeftButton: Button = mbLeft; return true;
        case Qt::RightButton: Button = mbRight; return true;
        case Qt::MiddleButton: Button = mbMiddle; return true;
        default: return false;
    }
}

TShiftState ShiftOf(const QMouseEvent& E) {
    TShiftState S = 0;
    const Qt::KeyboardModifiers M = E.modifiers();
    if (M & Qt::ShiftModifier) S |= ssShift;
    if (M & Qt::AltModifier) S |= ssAlt;
    if (M & Qt::ControlModifier) S |= ssCtrl;
    const Qt::MouseButtons B = E.buttons();
    if (B & Qt::LeftButton) S |= ssLeft;
    if (B & Qt::RightButton) S |= ssRight;
    if (B & Qt::MiddleButton) S |= ssMiddle;
    return S;
}

// The zoom rectangle in OrvexUnits from the view's corner; false when a side does not fit
// in 32 bits (a drag far outside a view zoomed out to its limit).
bool ZoomArea(const TRect& R, long double Scale, TOrvexRect& Area) {
    int32_t L, T, Right, Bottom;
    if (!RoundInRange(R.Left / Scale, L) || !RoundInRange(R.Top / Scale, T) || !RoundInRange(R.Right / Scale, Right) ||
        !RoundInRange(R.Bottom / Scale, Bottom))
        return false;
    const int64_t W = int64_t(Right) - L, H = int64_t(Bottom) - T;
    if (W != SaturateInt32(W) || H != SaturateInt32(H)) return false;
    Area = TOrvexRect{L, T, static_cast<int32_t>(W), static_cast<int32_t>(H)};
    return true;
}

// Sets a bar from a range whose maximum includes the page, as window scroll bars take it;
// a Qt bar's maximum is its last position instead. A bar that cannot scroll is disabled.
void SetBar(QScrollBar* Bar, int64_t Min, int64_t Max, int64_t Page, long double Position) {
    const int64_t Last = std::max(Min, Max - std::max<int64_t>(Page - 1, 0));
    Position = std::clamp(Position, static_cast<long double>(Min), static_cast<long double>(Last));
    Bar->setRange(static_cast<int>(Min), static_cast<int>(Last));
    Bar->setPageStep(SaturateInt32(Page));
    Bar->setSingleStep(std::max(1, SaturateInt32(Page / 20)));
    Bar->setValue(RoundSaturate(Position));
    Bar->setEnabled(Last > Min);
    Bar->update();
}

TScrollCode CodeOf(int Action) {
    switch (Action) {
        case QAbstractSlider::SliderSingleStepSub: return scLineUp;
        case QAbstractSlider::SliderSingleStepAdd: return scLineDown;
        case QAbstractSlider::SliderPageStepSub: return scPageUp;
        case QAbstractSlider::SliderPageStepAdd: return scPageDown;
        case QAbstractSlider::SliderMove: return scTrack;
        case QAbstractSlider::SliderToMinimum: return scTop;
        case QAbstractSlider::SliderToMaximum: return scBottom;
        default: return scEndScroll;
    }
}
}  // namespace

// Client area and scroll bars

void TOrvex3::CreateScrollBars() {
    FHorzBar = new QScrollBar(Qt::Horizontal, this);
    FVertBar = new QScrollBar(Qt::Vertical, this);
    // The square between the two bars belongs to neither the surface nor a bar.
    FBarCorner = new QWidget(this);
    FBarCorner->setAutoFillBackground(true);
    for (QScrollBar* Bar : {FHorzBar, FVertBar}) {
        const Qt::Orientation Side = Bar->orientation();
        // The bar reports the action before it moves; the view pans and then puts the
        // bar where the map now is.
        connect(Bar, &QAbstractSlider::actionTriggered, this,
                [this, Side](int Action) { Guarded([&] { ScrollMessage(Side, CodeOf(Action)); }); });
    }
    setMouseTracking(true);
}

void TOrvex3::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    LayoutClientArea();
}

void TOrvex3::SetSurfaceSize(int32_t Width, int32_t Height) {
    if (Width <= 0 || Height <= 0 || !FHorzBar) return;
    const int Extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FVertBar);
    const bool H = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    const bool V = FScrollBars == ssVertical || FScrollBars == ssBoth;
    const qreal Ratio = WindowRatio();
    // The window pixels that hold the surface, the last one partly at an odd size.
    const int ClientW = SaturateInt32(static_cast<int64_t>(std::ceil(Width / Ratio)));
    const int ClientH = SaturateInt32(static_cast<int64_t>(std::ceil(Height / Ratio)));
    FAskedSurface = TAskedSurface{Width, Height, ClientW, ClientH, Ratio};
    resize(SaturateInt32(int64_t(ClientW) + (V ? Extent : 0)), SaturateInt32(int64_t(ClientH) + (H ? Extent : 0)));
    LayoutClientArea();
}

qreal TOrvex3::WindowRatio() const {
    const qreal Ratio = devicePixelRatio();
    return Ratio > 0 && std::isfinite(Ratio) ? Ratio : 1;
}

int32_t TOrvex3::WindowPixelsPerInch() const { return RoundSaturate(ScreenPixelsPerInch() * FSurfaceRatio); }

TPixelPoint TOrvex3::WindowToSurface(const QPointF& P) const {
    // The surface pixel that holds the position, as the window's own pixel would at ratio 1.
    return TPixelPoint{RoundSaturate(std::floor(P.x() * FSurfaceRatio)),
                       RoundSaturate(std::floor(P.y() * FSurfaceRatio))};
}

void TOrvex3::LayoutClientArea() {
    if (!FHorzBar || !FCanvas) return;
    const int Extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FVertBar);
    const bool H = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    const bool V = FScrollBars == ssVertical || FScrollBars == ssBoth;
    const int W = std::max(0, width() - (V ? Extent : 0));
    const int Ht = std::max(0, height() - (H ? Extent : 0));
    FHorzBar->setGeometry(0, Ht, W, Extent);
    FVertBar->setGeometry(W, 0, Extent, Ht);
    FBarCorner->setGeometry(W, Ht, Extent, Extent);
    FHorzBar->setVisible(H);
    FVertBar->setVisible(V);
    FBarCorner->setVisible(H && V);
    // A print job or a render has the surface for its duration; it is fitted again after it.
    if (W > 0 && Ht > 0 && !Printing() && !Rendering()) {
        const qreal Ratio = WindowRatio();
        const TAskedSurface& A = FAskedSurface;
        const bool Asked = A.ClientWidth == W && A.ClientHeight == Ht && A.Ratio == Ratio;
        const int32_t SW = Asked ? A.Width : RoundSaturate(W * static_cast<long double>(Ratio));
        const int32_t SH = Asked ? A.Height : RoundSaturate(Ht * static_cast<long double>(Ratio));
        FSurfaceRatio = Ratio;
        const int32_t Ppi = WindowPixelsPerInch();
        if (SW != FCanvas->Width() || SH != FCanvas->Height() || Ppi != FCanvas->PixelsPerInch()) {
            if (FTransparentBackground) FBackground = QImage();
            FCanvas->Resize(SW, SH, Ppi);
        }
    }
    UpdateScrollBars();
}

void TOrvex3::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    LayoutClientArea();
}

void TOrvex3::UpdateScrollBars() {
    if (!FHorzBar || !FProjection || !FCanvas) return;
    const long double Scale = GetScaleFactor();
    if (!(Scale > 0)) return;
    const TPrjExtents& E = FProjection->Extents();
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) {
        const int64_t Page = int64_t(FViewExtent.Width) - FViewExtent.Left;
        const int64_t Min = -std::min<int64_t>(ScrollLimit, std::llabs(E.MinLongitude - Page));
        const int64_t Max = std::min<int64_t>(ScrollLimit, std::llabs(E.MaxLongitude + Page));
        const long double Offset = std::nearbyint((int64_t(FProjection->XOrigin()) - FCanvas->Width() / 2) / Scale);
        SetBar(FHorzBar, Min, Max, Page, -Offset - Page / 2);
    }
    if (FScrollBars == ssVertical || FScrollBars == ssBoth) {
        const int64_t Page = int64_t(FViewExtent.Height) - FViewExtent.Top;
        const int64_t Min = -std::min<int64_t>(ScrollLimit, std::llabs(E.MinLatitude - Page));
        const int64_t Max = std::min<int64_t>(ScrollLimit, std::llabs(E.MaxLatitude + Page));
        const long double Offset = std::nearbyint((int64_t(FProjection->YOrigin()) - FCanvas->Height() / 2) / Scale);
        SetBar(FVertBar, Min, Max, Page, -Offset - Page / 2);
    }
}

void TOrvex3::ScrollMessage(Qt::Orientation Bar, TScrollCode Code) {
    QScrollBar* B = Bar == Qt::Horizontal ? FHorzBar : FVertBar;
    if (!B) return;
    const int64_t Page = B->pageStep();
    int64_t D;
    switch (Code) {
        case scLineUp: D = Page / -20; break;
        case scLineDown: D = Page / 20; break;
        case scPageUp: D = -(Page / 2); break;
        case scPageDown: D = Page / 2; break;
        case scTrack: D = int64_t(B->sliderPosition()) - B->value(); break;
        default:
            // The map stays; so does the bar, which Qt would otherwise move by itself.
            B->setSliderPosition(B->value());
            return;
    }
    if (Bar == Qt::Horizontal)
        ScrollBy(SaturateInt32(D), 0);
    else
        ScrollBy(0, SaturateInt32(D));
}

// Mouse

void TOrvex3::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
    if (ZoomDragging) {
        // Any press cancels the rubber band; the next paint copies the picture over it.
        ZoomDragging = false;
        update();
        return;
    }
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
    if (MultiSelect && (Shift & ssCtrl) && Matches(MouseSelectButton, Button)) {
        if (TOrvexObject* O = ObjectAtXY(X, Y)) O->SetSelected(!O->Selected());
    }
    if (Shift & (ssShift | ssAlt | ssCtrl | ssDouble)) return;
    if (Matches(MouseZoomButton, Button)) {
        ZoomRect = TRect{X, Y, SaturateInt32(int64_t(X) + 1), SaturateInt32(int64_t(Y) + 1)};
        ZoomDragging = true;
    }
    if (Matches(MouseSelectButton, Button)) {
        if (TOrvexObject* S = SelectedObject()) S->SetSelected(false);
        SelectObject(ObjectAtXY(X, Y));
    }
    if (Matches(MouseRotateButton, Button)) {
        TPoint3D C;
        if (PixelToLL(X, Y, C)) {
            RotateAnchor = C;
            Rotating = true;
        }
    }
}

void TOrvex3::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
    if (ZoomDragging) {
        ZoomRect.Right = X;
        ZoomRect.Bottom = Y;
        // The next paint copies the picture, which erases the old rectangle, and draws the new.
        update();
    }
    TPoint3D C;
    if (Rotating && PixelToLL(X, Y, C)) {
        // Turned so that the anchor lies under the mouse again; the next move measures from it.
        SetRotation(0, int64_t(RotateAnchor.Y) + XRotation() - C.Y);
        // Kept within one turn: flat maps store the angle as given, and a long pan to the
        // east would otherwise run it past the 32-bit range.
        const int64_t Turn = int64_t(NormalizeLongitude(int64_t(RotateAnchor.X) - C.X)) + YRotation();
        SetRotation(1, NormalizeLongitude(Turn % OrvexUnits::Deg360));
        RequestRender();
    }
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TOrvex3::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
    if (ZoomDragging) {
        ZoomDragging = false;
        const TRect R = ZoomRect;
        TOrvexRect Area;
        // Only a rectangle dragged down and right by 10 window pixels or more zooms.
        const int64_t Least = RoundSaturate(10 * static_cast<long double>(FSurfaceRatio));
        if (int64_t(R.Right) - R.Left >= Least && int64_t(R.Bottom) - R.Top >= Least &&
            ZoomArea(R, GetScaleFactor(), Area)) {
            ZoomToRect(Area);
            Rotating = false;
            if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
            return;
        }
        update();
    }
    Rotating = false;
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

bool TOrvex3::InClientArea(const TPixelPoint& P) const {
    return P.X >= 0 && P.Y >= 0 && P.X < FCanvas->Width() && P.Y < FCanvas->Height();
}

void TOrvex3::mousePressEvent(QMouseEvent* Event) {
    TMouseButton Button;
    const TPixelPoint P = WindowToSurface(Event->position());
    // The corner between the scroll bars is not part of the map.
    if (!ButtonOf(Event->button(), Button) || !InClientArea(P)) return;
    if (Button == mbLeft) FClickPending = true;
    Guarded([&] { MouseDown(Button, ShiftOf(*Event), P.X, P.Y); });
}

void TOrvex3::mouseDoubleClickEvent(QMouseEvent* Event) {
    TMouseButton Button;
    const TPixelPoint P = WindowToSurface(Event->position());
    if (!ButtonOf(Event->button(), Button) || !InClientArea(P)) return;
    Guarded([&] {
        if (Button == mbLeft && OnDblClick) OnDblClick(this);
        MouseDown(Button, ShiftOf(*Event) | ssDouble, P.X, P.Y);
    });
}

void TOrvex3::mouseMoveEvent(QMouseEvent* Event) {
    const TPixelPoint P = WindowToSurface(Event->position());
    Guarded([&] { MouseMove(ShiftOf(*Event), P.X, P.Y); });
}

void TOrvex3::mouseReleaseEvent(QMouseEvent* Event) {
    TMouseButton Button;
    if (!ButtonOf(Event->button(), Button)) return;
    const TPixelPoint P = WindowToSurface(Event->position());
    Guarded([&] {
        if (Button == mbLeft && FClickPending) {
            FClickPending = false;
            if (InClientArea(P) && OnClick) OnClick(this);
        }
        MouseUp(Button, ShiftOf(*Event), P.X, P.Y);
    });
}

// Drawing on the window

void TOrvex3::DrawFocusRect(QPainter& Painter) const {
    // Every other pixel of the outline inverted, as an exclusive-or focus rectangle is:
    // difference with white inverts, and drawing it twice would restore the picture.
    const int64_t L = std::min(ZoomRect.Left, ZoomRect.Right), R = std::max(ZoomRect.Left, ZoomRect.Right);
    const int64_t T = std::min(ZoomRect.Top, ZoomRect.Bottom), B = std::max(ZoomRect.Top, ZoomRect.Bottom);
    // Only what can be seen is drawn: the outline clipped to the surface and a pixel round it.
    const int64_t W = FCanvas->Width(), H = FCanvas->Height();
    if (R <= L || B <= T || L > W || T > H || R < 0 || B < 0) return;
    Painter.save();
    Painter.setCompositionMode(QPainter::CompositionMode_Difference);
    Painter.setRenderHint(QPainter::Antialiasing, false);
    Painter.setPen(QPen(Qt::white, 0));
    auto Dot = [&](int64_t X, int64_t Y) {
        if (((X + Y) & 1) == 0 && X >= 0 && Y >= 0 && X < W && Y < H)
            Painter.drawPoint(static_cast<int>(X), static_cast<int>(Y));
    };
    for (int64_t X = std::max<int64_t>(L, 0); X < std::min(R, W); ++X) {
        Dot(X, T);
        if (B - 1 > T) Dot(X, B - 1);
    }
    for (int64_t Y = std::max<int64_t>(T + 1, 0); Y < std::min(B - 1, H); ++Y) {
        Dot(L, Y);
        if (R - 1 > L) Dot(R - 1, Y);
    }
    Painter.restore();
}

void TOrvex3::CaptureBackground() {
    const int W = FCanvas->Width(), H = FCanvas->Height();
    QImage Captured(W, H, QImage::Format_BGR888);
    const uint32_t C = static_cast<uint32_t>(ColorToRGB(FColor));
    // Where nothing can be seen under the window, the view's colour stands in.
    Captured.fill(QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF));
    // What lies under the window is found in window pixels and drawn at the surface's ratio.
    const QSize Client(static_cast<int>(std::ceil(W / FSurfaceRatio)), static_cast<int>(std::ceil(H / FSurfaceRatio)));
    if (QWidget* Parent = parentWidget()) {
        // The parent alone, without its children (this view among them).
        QPainter Painter(&Captured);
        Painter.scale(FSurfaceRatio, FSurfaceRatio);
        Parent->render(&Painter, QPoint(0, 0), QRegion(QRect(pos(), Client)), QWidget::DrawWindowBackground);
    } else if (QScreen* Screen = screen()) {
        const QPoint At = mapToGlobal(QPoint(0, 0));
        const QPixmap Shot = Screen->grabWindow(0, At.x(), At.y(), Client.width(), Client.height());
        if (!Shot.isNull()) {
            QPainter Painter(&Captured);
            Painter.drawPixmap(QRect(0, 0, W, H), Shot, QRectF(QPointF(0, 0), QSizeF(W, H)));
        }
    }
    FBackground = Captured;
    // This paint draws with what was captured.
    RedrawPending = true;
}
