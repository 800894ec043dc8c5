#include "platform/DeviceContext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QStringDecoder>
#include <QTransform>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

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

QColor ToQColor(TColor Color) {
    const uint32_t C = static_cast<uint32_t>(ColorToRGB(Color));
    return QColor(int(C & 0xFF), int((C >> 8) & 0xFF), int((C >> 16) & 0xFF));
}

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
            F.setPixelSize(std::max(1, int(double(L.Height) * L.Height / Cell + 0.5)));
    } else {
        F.setPixelSize(12);
    }
    if (L.Width > 0) {
        const int Avg = QFontMetrics(F).averageCharWidth();
        if (Avg > 0) F.setStretch(std::clamp(L.Width * 100 / Avg, 1, 4000));
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

// As in GDI, the gaps of hatches and styled pens show the background colour only in
// opaque mode.
void ApplyBackground(QPainter& P, int BkMode, TColor BkColor) {
    if (BkMode == BK_OPAQUE) {
        P.setBackgroundMode(Qt::OpaqueMode);
        P.setBackground(ToQColor(BkColor));
    } else {
        P.setBackgroundMode(Qt::TransparentMode);
    }
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

struct TDeviceContext::TState {
    QPen Pen;
    QBrush Brush;
    QFont Font;
    std::vector<QPoint> Points;
    QTransform Base;  // the painter's transform when the context was made
};

TDeviceContext::TDeviceContext(QPainter* Painter) : FPainter(Painter), FState(std::make_unique<TState>()) {
    FState->Base = FPainter->transform();
    FPen = GetStockObject(BLACK_PEN);
    FBrush = GetStockObject(WHITE_BRUSH);
    FFont = GetStockObject(SYSTEM_FONT);
    FState->Pen = RealizePen(FPen->Pen);
    FState->Brush = RealizeBrush(FBrush->Brush);
    FState->Font = RealizeFont(FFont->Font);
}

TDeviceContext::~TDeviceContext() = default;

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
        if (Previous != Object) FState->Font = RealizeFont(Object->Font);
        break;
    }
    return Previous;
}

int TDeviceContext::SetBkMode(int Mode) { return std::exchange(FBkMode, Mode); }

unsigned TDeviceContext::SetTextAlign(unsigned Align) { return std::exchange(FTextAlign, Align); }

TColor TDeviceContext::SetTextColor(TColor Color) { return std::exchange(FTextColor, Color); }

void TDeviceContext::Polyline(const TPixelPoint* Points, int Count) {
    if (Count < 2 || FPen->Pen.Style == PS_NULL) return;
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int i = 0; i < Count; ++i) Buf[size_t(i)] = QPoint(Points[i].X, Points[i].Y);
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    FPainter->setPen(FState->Pen);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    FPainter->drawPolyline(Buf.data(), Count);
}

void TDeviceContext::Polygon(const TPixelPoint* Points, int Count) {
    if (Count < 2) return;
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int i = 0; i < Count; ++i) Buf[size_t(i)] = QPoint(Points[i].X, Points[i].Y);
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    FPainter->setPen(FState->Pen);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    FPainter->setBrush(FState->Brush);
    FPainter->drawPolygon(Buf.data(), Count, Qt::OddEvenFill);
}

void TDeviceContext::Ellipse(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, true); }

void TDeviceContext::Rectangle(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, false); }

void TDeviceContext::Box(int Left, int Top, int Right, int Bottom, bool Ellipse) {
    if (Left > Right) std::swap(Left, Right);
    if (Top > Bottom) std::swap(Top, Bottom);
    if (Right - Left < 1 || Bottom - Top < 1) return;
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    FPainter->setPen(FState->Pen);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    FPainter->setBrush(FState->Brush);
    auto Draw = [&](const auto& R) { Ellipse ? FPainter->drawEllipse(R) : FPainter->drawRect(R); };
    if (FPen->Pen.Style == PS_NULL) {
        Draw(QRect(Left, Top, Right - Left, Bottom - Top));
    } else if (FPen->Pen.Width <= 1) {
        // A thin stroke of an integer rectangle covers one pixel more than its size.
        Draw(QRect(Left, Top, Right - Left - 1, Bottom - Top - 1));
    } else {
        // Wide pens stay inside the frame, so the right and bottom edges stay excluded.
        const double H = FPen->Pen.Width / 2.0;
        Draw(QRectF(Left + H, Top + H, std::max(0.0, Right - Left - 2 * H), std::max(0.0, Bottom - Top - 2 * H)));
    }
}

void TDeviceContext::SetPixel(int X, int Y, TColor Color) {
    FPainter->fillRect(QRect(X, Y, 1, 1), ToQColor(Color));
}

void TDeviceContext::TextOut(int X, int Y, const std::string& Text) {
    if (Text.empty()) return;
    const QString S = ToQString(Text);
    const QFont& F = FState->Font;
    const QFontMetrics M(F, FPainter->device());
    const int W = M.horizontalAdvance(S);
    int Dx = 0;
    if ((FTextAlign & TA_CENTER) == TA_CENTER) Dx = -W / 2;
    else if (FTextAlign & TA_RIGHT) Dx = -W;
    int Baseline = M.ascent();
    if ((FTextAlign & TA_BASELINE) == TA_BASELINE) Baseline = 0;
    else if (FTextAlign & TA_BOTTOM) Baseline = -M.descent();

    const QTransform Saved = FPainter->transform();
    FPainter->translate(X, Y);
    if (FFont->Font.Escapement != 0) FPainter->rotate(-FFont->Font.Escapement / 10.0);
    if (FBkMode == BK_OPAQUE)
        FPainter->fillRect(QRect(Dx, Baseline - M.ascent(), W, M.ascent() + M.descent()), ToQColor(FBkColor));
    FPainter->setFont(F);
    FPainter->setBackgroundMode(Qt::TransparentMode);
    FPainter->setPen(ToQColor(FTextColor));
    FPainter->drawText(QPoint(Dx, Baseline), S);
    FPainter->setTransform(Saved);
}

void TDeviceContext::DrawText(const std::string& Text, int Left, int Top, int Right, int Bottom, unsigned Format) {
    if (Text.empty()) return;
    const QRect R(Left, Top, Right - Left, Bottom - Top);
    int Flags = 0;
    if (Format & DT_CENTER) Flags |= Qt::AlignHCenter;
    else if (Format & DT_RIGHT) Flags |= Qt::AlignRight;
    else Flags |= Qt::AlignLeft;
    // Vertical placement applies to single lines only, as in GDI.
    if ((Format & DT_SINGLELINE) && (Format & DT_VCENTER)) Flags |= Qt::AlignVCenter;
    else if ((Format & DT_SINGLELINE) && (Format & DT_BOTTOM)) Flags |= Qt::AlignBottom;
    else Flags |= Qt::AlignTop;
    if (Format & DT_SINGLELINE) Flags |= Qt::TextSingleLine;
    if (Format & DT_NOCLIP) Flags |= Qt::TextDontClip;
    const QString S = ToQString(Text);
    FPainter->setFont(FState->Font);
    if (FBkMode == BK_OPAQUE) {
        QRect Box = FPainter->boundingRect(R, Flags, S);
        if (!(Format & DT_NOCLIP)) Box &= R;
        FPainter->fillRect(Box, ToQColor(FBkColor));
    }
    FPainter->setBackgroundMode(Qt::TransparentMode);
    FPainter->setPen(ToQColor(FTextColor));
    FPainter->drawText(R, Flags, S);
}

void TDeviceContext::GetTextExtentPoint(const std::string& Text, int& Width, int& Height) {
    const QFontMetrics M(FState->Font, FPainter->device());
    Width = M.horizontalAdvance(ToQString(Text));
    Height = M.ascent() + M.descent();
}

void TDeviceContext::SetClipRect(int Left, int Top, int Right, int Bottom) {
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

void TDeviceContext::RemoveClip() { FPainter->setClipping(false); }

void TDeviceContext::SetViewportOrg(int X, int Y) {
    // Absolute: the origin moves in device pixels from where the painter started.
    FPainter->setTransform(FState->Base * QTransform::fromTranslate(X, Y));
}

QString ToQString(const std::string& Bytes) {
    // A leading byte-order mark is text too; the decoder would drop it by default.
    QStringDecoder Decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString S = Decoder.decode(QByteArrayView(Bytes.data(), qsizetype(Bytes.size())));
    if (!Decoder.hasError()) return S;
    return QString::fromLatin1(Bytes.data(), qsizetype(Bytes.size()));
}

std::string FromQString(const QString& Text) {
    const bool Latin1 = std::all_of(Text.begin(), Text.end(), [](QChar C) { return C.unicode() <= 0xFF; });
    const QByteArray B = Latin1 ? Text.toLatin1() : Text.toUtf8();
    return std::string(B.constData(), size_t(B.size()));
}
