// The drawing context's GDI objects and state: pens, brushes and fonts realized for Qt, the
// selection rules, modes, clipping and the viewport origin.
#include "platform/DeviceContext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "foundation/OXUtils.h"
#include "platform/DeviceContextParts.h"
#include "platform/Text.h"

namespace {

// Typical Windows defaults for COLOR_SCROLLBAR .. COLOR_INFOBK, as 0x00BBGGRR.
constexpr std::array<TColor, 25> SystemColors = {
    0xC8C8C8,  // scroll bar
    0x000000,  // desktop background
    0xD1B499,  // active caption
    0xDBCDBF,  // inactive caption
    0xF0F0F0,  // menu
    0xFFFFFF,  // window
    0x646464,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0x000000,  // caption text
    0xB4B4B4,  // active border
    0xFCF7F4,  // inactive border
    0xABABAB,  // application workspace
    0xFF9933,  // highlight
    0xFFFFFF,  // highlight text
    0xF0F0F0,  // button face
    0xA0A0A0,  // button shadow
    0x6D6D6D,  // grey text
    0x000000,  // button text
    0x544E43,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x696969,  // 3-D dark shadow
    0xE3E3E3,  // 3-D light
    0x000000,  // tooltip text
    0xE1FFFF,  // tooltip background
};

// A new handle of Kind; Fill sets its logical record.
template <class F>
HGDIOBJ MakeObject(TGdiKind Kind, bool Stock, F Fill) {
    auto O = std::make_shared<TGdiObject>();
    O->Kind = Kind;
    O->Stock = Stock;
    Fill(*O);
    return O;
}

HGDIOBJ MakePen(int Style, int Width, TColor Color, bool Stock) {
    return MakeObject(TGdiKind::Pen, Stock, [&](TGdiObject& O) { O.Pen = TLogPen{Style, Width, Color}; });
}

HGDIOBJ MakeBrush(const TLogBrush& Brush, bool Stock) {
    return MakeObject(TGdiKind::Brush, Stock, [&](TGdiObject& O) { O.Brush = Brush; });
}

HGDIOBJ MakeFont(const TLogFont& Font, bool Stock) {
    return MakeObject(TGdiKind::Font, Stock, [&](TGdiObject& O) { O.Font = Font; });
}

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

TColor ColorToRGB(TColor Color) {
    const uint32_t C = static_cast<uint32_t>(Color);
    if (C >= 0x80000000u && C < 0x80000000u + SystemColors.size()) return SystemColors[C - 0x80000000u];
    return Color;
}

HGDIOBJ CreatePen(int Style, int Width, TColor Color) { return MakePen(Style, Width, Color, false); }

HGDIOBJ CreateBrushIndirect(const TLogBrush& Brush) { return MakeBrush(Brush, false); }

HGDIOBJ CreateFontIndirect(const TLogFont& Font) { return MakeFont(Font, false); }

HGDIOBJ GetStockObject(int Index) {
    static const std::array<HGDIOBJ, 14> Stock = [] {
        std::array<HGDIOBJ, 14> S;
        S[WHITE_BRUSH] = MakeBrush({BS_SOLID, 0xFFFFFF, 0}, true);
        S[LTGRAY_BRUSH] = MakeBrush({BS_SOLID, 0xC0C0C0, 0}, true);
        S[GRAY_BRUSH] = MakeBrush({BS_SOLID, 0x808080, 0}, true);
        S[DKGRAY_BRUSH] = MakeBrush({BS_SOLID, 0x404040, 0}, true);
        S[BLACK_BRUSH] = MakeBrush({BS_SOLID, 0x000000, 0}, true);
        S[NULL_BRUSH] = MakeBrush({BS_NULL, 0, 0}, true);
        S[WHITE_PEN] = MakePen(PS_SOLID, 1, 0xFFFFFF, true);
        S[BLACK_PEN] = MakePen(PS_SOLID, 1, 0x000000, true);
        S[NULL_PEN] = MakePen(PS_NULL, 1, 0, true);
        TLogFont F;
        F.Height = -13;
        F.FaceName = "Arial";
        S[SYSTEM_FONT] = MakeFont(F, true);
        return S;
    }();
    if (Index < 0 || Index >= int(Stock.size())) return nullptr;
    return Stock[size_t(Index)];
}

void DeleteObject(HGDIOBJ& Object) { Object.reset(); }

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

int TDeviceContext::SetBkMode(int Mode) { return std::exchange(FBkMode, Mode); }

unsigned TDeviceContext::SetTextAlign(unsigned Align) { return std::exchange(FTextAlign, Align); }

TColor TDeviceContext::SetTextColor(TColor Color) { return std::exchange(FTextColor, Color); }

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
    const QTransform Current = FPainter->transform();
    FPainter->setTransform(FState->Base);
    FPainter->setClipRect(QRect(Left, Top, Right - Left, Bottom - Top));
    FPainter->setTransform(Current);
}

void TDeviceContext::RemoveClip() {
    Settle();
    FPainter->setClipping(false);
}

void TDeviceContext::SetViewportOrg(int X, int Y) {
    Settle();
    // Absolute: the origin moves in device pixels from where the painter started.
    FPainter->setTransform(FState->Base * QTransform::fromTranslate(X, Y));
}
