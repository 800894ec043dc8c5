// The drawing context's GDI objects and state: pens, brushes and fonts realized for Qt, the
// selection rules, modes, clipping and the viewport origin.
#include "platform/DeviceContext.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/OXUtils.h"
#include "platform/DeviceContextParts.h"
#include "platform/Text.h"

namespace {

QFont RealizeFont(const TLogFont& L) {
    QFont F;
    if (!L.FaceName.empty()) F.setFamilies({ToQString(L.FaceName)});
    F.setStyleStrategy(QFont::PreferDefault);
    // Qt's weight scale is LOGFONT's (100..900); 0 means "don't care".
    F.setWeight(L.Weight <= 0 ? QFont::Normal : QFont::Weight(std::clamp(L.Weight, 1, 1000)));
    F.setItalic(L.Italic);
    F.setUnderline(L.Underline);
    F.setStrikeOut(L.StrikeOut);
    if (L.Height < 0) {
        F.setPixelSize(std::max(1, -L.Height));
    } else if (L.Height > 0) {
        // A positive height is the cell height (ascent + descent): scale the em size to fit.
        F.setPixelSize(L.Height);
        const int Cell = QFontMetrics(F).height();
        if (Cell > 0 && Cell != L.Height)
            F.setPixelSize(std::max(1, RoundSaturate(static_cast<long double>(L.Height) * L.Height / Cell)));
    } else {
        F.setPixelSize(12);
    }
    if (L.Width > 0) {
        const int Avg = QFontMetrics(F).averageCharWidth();
        if (Avg > 0) F.setStretch(int(std::clamp<int64_t>(int64_t(L.Width) * 100 / Avg, 1, 4000)));
    }
    return F;
}

QPen RealizePen(const TLogPen& L) {
    if (L.Style == PS_NULL) return QPen(Qt::NoPen);
    QPen Q(ToQColor(L.Color));
    switch (L.Style) {
    case PS_DASH: Q.setStyle(Qt::DashLine); break;
    case PS_DOT: Q.setStyle(Qt::DotLine); break;
    case PS_DASHDOT: Q.setStyle(Qt::DashDotLine); break;
    case PS_DASHDOTDOT: Q.setStyle(Qt::DashDotDotLine); break;
    default: Q.setStyle(Qt::SolidLine); break;
    }
    // A flat cap leaves out the last pixel of a thin line, as GDI does.
    Q.setCapStyle(Qt::FlatCap);
    Q.setWidth(std::max(1, L.Width));
    Q.setJoinStyle(L.Width <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
    return Q;
}

QBrush RealizeBrush(const TLogBrush& L) {
    if (L.Style == BS_NULL) return QBrush(Qt::NoBrush);
    if (L.Style == BS_HATCHED) {
        static constexpr Qt::BrushStyle Hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        const int H = (L.Hatch >= 0 && L.Hatch <= HS_DIAGCROSS) ? L.Hatch : HS_HORIZONTAL;
        return QBrush(ToQColor(L.Color), Hatches[H]);
    }
    return QBrush(ToQColor(L.Color));
}

}  // namespace


TDeviceContext::TDeviceContext(QPainter* Painter) : FPainter(Painter), FState(std::make_unique<TState>()) {
    FState->Base = FPainter->transform();
    FPen = GetStockObject(BLACK_PEN);
    FBrush = GetStockObject(WHITE_BRUSH);
    FFont = GetStockObject(SYSTEM_FONT);
    FState->Pen = RealizePen(FPen->Pen);
    FState->Brush = RealizeBrush(FBrush->Brush);
    FState->Font = RealizeFont(FFont->Font);
}

TDeviceContext::~TDeviceContext() { Settle(); }

int TDeviceContext::LogPixelsY() const {
    const QPaintDevice* D = FPainter->device();
    return D ? D->logicalDpiY() : 96;
}

HGDIOBJ TDeviceContext::SelectObject(const HGDIOBJ& Object) {
    if (!Object) return nullptr;
    HGDIOBJ Previous;
    switch (Object->Kind) {
    case TGdiKind::Pen:
        Previous = std::exchange(FPen, Object);
        if (Previous != Object) FState->Pen = RealizePen(Object->Pen);
        break;
    case TGdiKind::Brush:
        Previous = std::exchange(FBrush, Object);
        if (Previous != Object) FState->Brush = RealizeBrush(Object->Brush);
        break;
    case TGdiKind::Font:
        Previous = std::exchange(FFont, Object);
        if (Previous != Object) {
            FState->Font = RealizeFont(Object->Font);
            FState->Metrics.reset();
            FState->LaidInFont = nullptr;
        }
        break;
    }
    return Previous;
}

bool TDeviceContext::PixelExact() const {
    const QPaintEngine* Engine = FPainter->paintEngine();
    if (!Engine || Engine->type() != QPaintEngine::Raster) return false;
    const QTransform T = FPainter->deviceTransform();
    return T.type() <= QTransform::TxTranslate && T.dx() == std::floor(T.dx()) && T.dy() == std::floor(T.dy());
}

QRect TDeviceContext::PixelBounds() const {
    const QPaintDevice* Device = FPainter->device();
    const QTransform T = FPainter->deviceTransform();
    // A window's size is in its own pixels, not the device's that the transform maps to.
    const qreal Ratio = Device && Device->devType() == QInternal::Widget ? Device->devicePixelRatio() : 1;
    auto DevicePixels = [Ratio](int Side) { return int(std::ceil(std::min<qreal>(Side * Ratio, 1e9))); };
    QRect R(0, 0, Device ? DevicePixels(Device->width()) : 0, Device ? DevicePixels(Device->height()) : 0);
    // Narrowed with a bound: a painter moved beyond any picture must not overflow an int.
    auto Offset = [](qreal V) { return std::isnan(V) ? 0 : int(std::clamp<qreal>(V, -1e9, 1e9)); };
    R.translate(-Offset(T.dx()), -Offset(T.dy()));
    if (FPainter->hasClipping()) R &= FPainter->clipBoundingRect().toAlignedRect();
    return R;
}

bool TDeviceContext::ThinPen() const { return FPen->Pen.Style != PS_NULL && FPen->Pen.Width <= 1; }

void TDeviceContext::SetClipRect(int Left, int Top, int Right, int Bottom) {
    Settle();
    if (Right <= Left || Bottom <= Top) {
        RemoveClip();
        return;
    }
    // Like a clip region, the rectangle is in device pixels, so the viewport origin does not
    // move it; Qt keeps a clip fixed once set.
    ForgetDirect();
    const QTransform Current = FPainter->transform();
    FPainter->setTransform(FState->Base);
    FPainter->setClipRect(QRect(Left, Top, Right - Left, Bottom - Top));
    FPainter->setTransform(Current);
}

void TDeviceContext::RemoveClip() {
    Settle();
    ForgetDirect();
    FPainter->setClipping(false);
}

void TDeviceContext::SetViewportOrg(int X, int Y) {
    Settle();
    // Absolute: the origin moves in device pixels from where the painter started.
    ForgetDirect();
    FPainter->setTransform(FState->Base * QTransform::fromTranslate(X, Y));
}

void TDeviceContext::DrawPicture(const QImage& Picture, int Left, int Top, int Right, int Bottom) {
    QPainter* P = Painter();
    if (!P) return;
    P->drawImage(QRect(Left, Top, SaturateInt32(int64_t(Right) - Left), SaturateInt32(int64_t(Bottom) - Top)),
                 Picture);
}
