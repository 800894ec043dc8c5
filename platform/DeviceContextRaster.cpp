// The drawing context's raster primitives: pixels, lines, polygons and rectangles, drawn with
// GDI's pixel rules straight into the picture where it can, and through Qt otherwise.
#include <QPaintEngine>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/DeviceContextParts.h"

namespace {

// The dash patterns of one-pixel pens, in pixels: on, off, on, off, ...
struct TDashPattern {
    int Count;
    int Runs[6];
    int Length;
};

const TDashPattern* DashPattern(int Style) {
    static constexpr TDashPattern Dash{2, {18, 6}, 24}, Dot{2, {3, 3}, 6}, DashDot{4, {9, 6, 3, 6}, 24},
                                  DashDotDot{6, {9, 3, 3, 3, 3, 3}, 24};
    switch (Style) {
    case PS_DASH: return &Dash;
    case PS_DOT: return &Dot;
    case PS_DASHDOT: return &DashDot;
    case PS_DASHDOTDOT: return &DashDotDot;
    default: return nullptr;
    }
}

bool DashOn(const TDashPattern* P, int64_t Phase) {
    if (!P) return true;
    int64_t R = Phase % P->Length;
    for (int I = 0; I < P->Count; ++I) {
        if (R < P->Runs[I]) return I % 2 == 0;
        R -= P->Runs[I];
    }
    return true;
}

// Products of two pixel distances can pass 64 bits; these divisions are exact (B > 0).
using TWide = __int128;
TWide FloorDiv(TWide A, TWide B) { return A / B - ((A % B != 0 && A < 0) ? 1 : 0); }
TWide CeilDiv(TWide A, TWide B) { return A / B + ((A % B != 0 && A > 0) ? 1 : 0); }

// Calls Plot(X, Y, K) for the pixels of the line from A towards B that lie in Bounds; K
// counts pixels from A. A is drawn and B left out. Each step along the major axis takes the
// pixel nearest the exact line, a tie going to the smaller coordinate, so that the line
// covers the same pixels whichever way it is drawn. Returns the number of pixels of the
// whole line; only those in Bounds are visited, so far-off lines cost nothing.
template <class F>
int64_t LinePixels(const TPixelPoint& A, const TPixelPoint& B, const QRect& Bounds, F&& Plot) {
    const int64_t DX = int64_t(B.X) - A.X, DY = int64_t(B.Y) - A.Y;
    const bool XMajor = std::llabs(DX) >= std::llabs(DY);
    // In (major, minor) coordinates.
    const int64_t M0 = XMajor ? A.X : A.Y, N0 = XMajor ? A.Y : A.X;
    const int64_t DM = XMajor ? DX : DY, DN = XMajor ? DY : DX;
    const int64_t MLo = XMajor ? Bounds.left() : Bounds.top(), MHi = XMajor ? Bounds.right() : Bounds.bottom();
    const int64_t NLo = XMajor ? Bounds.top() : Bounds.left(), NHi = XMajor ? Bounds.bottom() : Bounds.right();
    const int64_t N = std::llabs(DM);
    if (N == 0) return 0;
    const int64_t SM = DM > 0 ? 1 : -1;
    const int64_t D64 = 2 * N, Step = 2 * DN;
    auto Walk = [&](int64_t KLo, int64_t KHi, int64_t Q, int64_t R) {
        for (int64_t K = KLo; K <= KHi; ++K) {
            const int64_t Minor = N0 + Q;
            if (Minor >= NLo && Minor <= NHi) {
                const int64_t Major = M0 + SM * K;
                if (XMajor) Plot(int32_t(Major), int32_t(Minor), K);
                else Plot(int32_t(Minor), int32_t(Major), K);
            }
            R -= Step;
            if (R < 0) {
                ++Q;
                R += D64;
            } else if (R >= D64) {
                --Q;
                R -= D64;
            }
        }
    };
    // Most lines lie inside: they start at offset 0 with remainder N.
    const auto Inside = [&](const TPixelPoint& P) {
        const int64_t PM = XMajor ? P.X : P.Y, PN = XMajor ? P.Y : P.X;
        return PM >= MLo && PM <= MHi && PN >= NLo && PN <= NHi;
    };
    if (Inside(A) && Inside(B)) {
        Walk(0, N - 1, 0, N);
        return N;
    }
    int64_t KLo = 0, KHi = N - 1;
    if (SM > 0) {
        KLo = std::max(KLo, MLo - M0);
        KHi = std::min(KHi, MHi - M0);
    } else {
        KLo = std::max(KLo, M0 - MHi);
        KHi = std::min(KHi, M0 - MLo);
    }
    // The minor offset at step k is ceil((2 DN k - N) / 2N); keep to the k whose offset can
    // lie in the bounds (one step of slack either side).
    const TWide D = TWide(2) * N;
    const TWide QLo = TWide(NLo) - N0, QHi = TWide(NHi) - N0;
    if (DN > 0) {
        KLo = int64_t(std::max<TWide>(KLo, FloorDiv(N * (2 * QLo - 1), 2 * TWide(DN)) - 1));
        KHi = int64_t(std::min<TWide>(KHi, FloorDiv(N * (2 * QHi + 1), 2 * TWide(DN)) + 1));
    } else if (DN < 0) {
        KLo = int64_t(std::max<TWide>(KLo, CeilDiv(-N * (2 * QHi + 1), -2 * TWide(DN)) - 1));
        KHi = int64_t(std::min<TWide>(KHi, CeilDiv(-N * (2 * QLo - 1), -2 * TWide(DN)) + 1));
    }
    if (KLo > KHi) return N;
    // The offset Q and its remainder R = Q D - (2 DN k - N), 0 <= R < D, at the first k.
    const TWide Num = TWide(2) * DN * KLo - N;
    const int64_t Q = int64_t(CeilDiv(Num, D));
    Walk(KLo, KHi, Q, int64_t(TWide(Q) * D - Num));
    return N;
}

}  // namespace

bool TDeviceContext::Direct(TDirect& D) const {
    // The image's pixels stay where they are while a painter is active on it: copying such an
    // image copies its pixels.
    if (FDirectKnown == TDirectKnown::Kept) {
        D = *FDirectKept;
        return true;
    }
    if (FDirectKnown == TDirectKnown::None) return false;
    const bool Found = ReadDirect(D);
    if (Found) {
        if (!FDirectKept) FDirectKept = std::make_unique<TDirect>();
        *FDirectKept = D;
    }
    FDirectKnown = Found ? TDirectKnown::Kept : TDirectKnown::None;
    return Found;
}

bool TDeviceContext::ReadDirect(TDirect& D) const {
    QImage* Image = SurfaceImage(FPainter->device());
    if (!Image || FPainter->compositionMode() != QPainter::CompositionMode_SourceOver || FPainter->opacity() != 1.0)
        return false;
    if (FPainter->hasClipping() && FPainter->clipRegion().rectCount() > 1) return false;
    const QImage::Format Format = Image->format();
    D.Packed = Format == QImage::Format_RGB32 || Format == QImage::Format_ARGB32 ||
               Format == QImage::Format_ARGB32_Premultiplied;
    if (!D.Packed && Format != QImage::Format_BGR888 && Format != QImage::Format_RGB888) return false;
    D.Bgr = Format == QImage::Format_BGR888;
    const QTransform T = FPainter->deviceTransform();
    // Offsets beyond any picture are left to Qt rather than narrowed to int.
    if (!(std::abs(T.dx()) <= 1e9 && std::abs(T.dy()) <= 1e9)) return false;
    D.DX = int(T.dx());
    D.DY = int(T.dy());
    D.Exact = T.type() <= QTransform::TxTranslate && D.DX == T.dx() && D.DY == T.dy();
    D.Bits = Image->bits();
    D.Stride = Image->bytesPerLine();
    D.Height = Image->height();
    D.Bounds = QRect(-D.DX, -D.DY, Image->width(), Image->height());
    if (FPainter->hasClipping()) D.Bounds &= FPainter->clipBoundingRect().toAlignedRect();
    return true;
}

bool TDeviceContext::SetPixels(const std::vector<QPoint>& Points, TColor Color) {
    TDirect D;
    if (!Direct(D)) return false;
    const TDirect::TInk Ink = D.Ink(Color);
    for (const QPoint& P : Points) D.Run(P.x(), P.y(), 1, Ink);
    return true;
}

bool TDeviceContext::FillSpans(const std::vector<QRect>& Spans, TColor Color) {
    TDirect D;
    if (!Direct(D)) return false;
    const TDirect::TInk Ink = D.Ink(Color);
    for (const QRect& R : Spans) D.Run(R.x(), R.y(), R.width(), Ink);
    return true;
}

void TDeviceContext::FlushPixels() {
    auto Flush = [this](std::vector<QPoint>& Points, TColor Color) {
        if (Points.empty()) return;
        if (!SetPixels(Points, Color)) {
            // Cosmetic pens of width 0 set exactly one pixel per point.
            FPainter->setPen(QPen(ToQColor(Color), 0));
            FPainter->drawPoints(Points.data(), int(Points.size()));
        }
        Points.clear();
    };
    Flush(FState->Gaps, FBkColor);
    Flush(FState->Ink, FPen->Pen.Color);
}

bool TDeviceContext::SolidThinLines(const TPixelPoint* Points, int Count, bool Closed) {
    TDirect D;
    if (DashPattern(FPen->Pen.Style) || !Direct(D) || !D.Exact) return false;
    SetSmooth(*FPainter, false);
    DirectThinLines(D, D.Ink(FPen->Pen.Color), Points, Count, Closed);
    return true;
}

bool TDeviceContext::KeptThinPolyline(const TPixelPoint* Points, int Count) {
    Settle();
    // The picture as Direct last found it, which the first chain's Polyline looks for.
    if (Count < 2 || FAntialiasing || !ThinPen() || DashPattern(FPen->Pen.Style) ||
        FDirectKnown != TDirectKnown::Kept || !FDirectKept->Exact)
        return false;
    const TDirect& D = *FDirectKept;
    TState& S = *FState;
    if (!S.ThinInkKept || S.ThinInkColor != FPen->Pen.Color || S.ThinInkBgr != D.Bgr) {
        const TDirect::TInk Ink = D.Ink(FPen->Pen.Color);
        std::copy_n(Ink.Byte, 3, S.ThinInk);
        S.ThinInkWord = Ink.Word;
        S.ThinInkColor = FPen->Pen.Color;
        S.ThinInkBgr = D.Bgr;
        S.ThinInkKept = true;
    }
    // Straight into the picture the painter's smoothing does not matter: it is left as it is.
    DirectThinLines(D, TDirect::TInk{{S.ThinInk[0], S.ThinInk[1], S.ThinInk[2]}, S.ThinInkWord}, Points, Count,
                    false);
    return true;
}

template <class TInk>
void TDeviceContext::DirectThinLines(const TDirect& D, const TInk& Ink, const TPixelPoint* Points, int Count,
                                     bool Closed) {
    auto Plot = [&](int32_t X, int32_t Y, int64_t) { D.Run(X, Y, 1, Ink); };
    const int64_t Left = D.Bounds.left(), Right = D.Bounds.right(), Top = D.Bounds.top(), Bottom = D.Bounds.bottom();
    auto Inside = [&](const TPixelPoint& P) { return P.X >= Left && P.X <= Right && P.Y >= Top && P.Y <= Bottom; };
    // A frame's chains are mostly short lines inside the picture: those step through its memory
    // pixel by pixel, taking the pixels LinePixels takes (the same steps and ties).
    auto Lines = [&](auto PixelBytes) {
        constexpr qsizetype Bytes = decltype(PixelBytes)::value;
        // Read once: the compiler must assume a byte written to the picture may change them.
        const uchar B0 = Ink.Byte[0], B1 = Ink.Byte[1], B2 = Ink.Byte[2];
        const uint32_t Word = Ink.Word;
        auto Line = [&](const TPixelPoint& A, const TPixelPoint& B) {
            if (!Inside(A) || !Inside(B)) {
                LinePixels(A, B, D.Bounds, Plot);
                return;
            }
            const int64_t DX = int64_t(B.X) - A.X, DY = int64_t(B.Y) - A.Y;
            const bool XMajor = std::llabs(DX) >= std::llabs(DY);
            const int64_t DM = XMajor ? DX : DY, DN = XMajor ? DY : DX, N = std::llabs(DM);
            const qsizetype MajorStep = (XMajor ? Bytes : D.Stride) * (DM > 0 ? 1 : -1);
            const qsizetype MinorStep = XMajor ? D.Stride : Bytes;
            uchar* Px = D.Bits + qsizetype(A.Y + D.DY) * D.Stride + qsizetype(A.X + D.DX) * Bytes;
            const int64_t Twice = 2 * N, Step = 2 * DN;
            int64_t R = N;
            for (int64_t K = 0; K < N; ++K) {
                if constexpr (Bytes == 4) {
                    std::memcpy(Px, &Word, 4);
                } else {
                    Px[0] = B0;
                    Px[1] = B1;
                    Px[2] = B2;
                }
                Px += MajorStep;
                R -= Step;
                if (R < 0) {
                    Px += MinorStep;
                    R += Twice;
                } else if (R >= Twice) {
                    Px -= MinorStep;
                    R -= Twice;
                }
            }
        };
        for (int I = 1; I < Count; ++I) Line(Points[I - 1], Points[I]);
        if (Closed) Line(Points[Count - 1], Points[0]);
    };
    if (D.Packed)
        Lines(std::integral_constant<qsizetype, 4>{});
    else
        Lines(std::integral_constant<qsizetype, 3>{});
}

void TDeviceContext::ThinLines(const TPixelPoint* Points, int Count, bool Closed) {
    if (!SolidThinLines(Points, Count, Closed)) ListedThinLines(Points, Count, Closed);
}

void TDeviceContext::ListedThinLines(const TPixelPoint* Points, int Count, bool Closed) {
    const QRect Bounds = PixelBounds();
    const TDashPattern* Dash = DashPattern(FPen->Pen.Style);
    const bool Opaque = FBkMode == BK_OPAQUE;
    auto& Ink = FState->Ink;
    auto& Gaps = FState->Gaps;
    SetSmooth(*FPainter, false);
    int64_t Phase = 0;
    auto Segment = [&](const TPixelPoint& A, const TPixelPoint& B) {
        Phase += LinePixels(A, B, Bounds, [&](int32_t X, int32_t Y, int64_t K) {
            if (DashOn(Dash, Phase + K)) Ink.emplace_back(X, Y);
            else if (Opaque) Gaps.emplace_back(X, Y);
        });
        if (Ink.size() >= PixelBatch || Gaps.size() >= PixelBatch) FlushPixels();
    };
    for (int I = 1; I < Count; ++I) Segment(Points[I - 1], Points[I]);
    if (Closed) Segment(Points[Count - 1], Points[0]);
    FlushPixels();
}

const QPointF* TDeviceContext::Centred(const TPixelPoint* Points, int Count) {
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int I = 0; I < Count; ++I) Buf[size_t(I)] = QPointF(Points[I].X + QtCentre, Points[I].Y + QtCentre);
    return Buf.data();
}

const QPointF* TDeviceContext::PixelCentres(const TPixelPoint* Points, int Count) {
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int I = 0; I < Count; ++I) Buf[size_t(I)] = QPointF(Points[I].X + 0.5, Points[I].Y + 0.5);
    return Buf.data();
}

void TDeviceContext::SmoothLines(const TPixelPoint* Points, int Count, bool Closed, const QPen& Pen) {
    QPen P = Pen;
    // One-pixel dashes keep the lengths they have when drawn pixel by pixel.
    if (const TDashPattern* Dash = DashPattern(FPen->Pen.Style); Dash && FPen->Pen.Width <= 1 && Pen.style() != Qt::SolidLine) {
        QList<qreal> Runs;
        for (int I = 0; I < Dash->Count; ++I) Runs << Dash->Runs[I];
        P.setDashPattern(Runs);
    }
    SetSmooth(*FPainter, true);
    FPainter->setPen(P);
    FPainter->setBrush(Qt::NoBrush);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    const QPointF* Q = PixelCentres(Points, Count);
    if (Closed) FPainter->drawPolygon(Q, Count);
    else FPainter->drawPolyline(Q, Count);
    SetSmooth(*FPainter, false);
}

void TDeviceContext::Polyline(const TPixelPoint* Points, int Count) {
    Settle();
    if (Count < 2 || FPen->Pen.Style == PS_NULL) return;
    if (FAntialiasing) {
        SmoothLines(Points, Count, false, FState->Pen);
        return;
    }
    if (ThinPen()) {
        if (SolidThinLines(Points, Count, false)) return;
        if (PixelExact()) {
            ListedThinLines(Points, Count, false);
            return;
        }
    }
    SetSmooth(*FPainter, false);
    FPainter->setPen(FState->Pen);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    FPainter->drawPolyline(Centred(Points, Count), Count);
}

// The box of Points when they outline it as an upright rectangle, so that the fill is just
// the box's pixels (right and bottom edge excluded): every edge runs along a side of the box,
// and those on its right side run one way, once from top to bottom.
static std::optional<QRect> UprightRectangle(const TPixelPoint* Points, int Count) {
    int64_t L = Points[0].X, R = L, T = Points[0].Y, B = T;
    for (int I = 1; I < Count; ++I) {
        L = std::min<int64_t>(L, Points[I].X), R = std::max<int64_t>(R, Points[I].X);
        T = std::min<int64_t>(T, Points[I].Y), B = std::max<int64_t>(B, Points[I].Y);
    }
    if (R - L < 1 || B - T < 1 || R - L > INT32_MAX || B - T > INT32_MAX) return std::nullopt;
    int64_t Down = 0, Up = 0;
    for (int I = 0; I < Count; ++I) {
        const TPixelPoint& P = Points[I];
        const TPixelPoint& N = Points[I + 1 < Count ? I + 1 : 0];
        if (P.Y == N.Y && (P.Y == T || P.Y == B)) continue;
        if (P.X != N.X || (P.X != L && P.X != R)) return std::nullopt;
        if (P.X == R) (N.Y > P.Y ? Down : Up) += std::llabs(int64_t(N.Y) - P.Y);
    }
    if (!((Down == B - T && Up == 0) || (Up == B - T && Down == 0))) return std::nullopt;
    return QRect(int(L), int(T), int(R - L), int(B - T));
}

bool TDeviceContext::FillUprightRectangle(const TPixelPoint* Points, int Count) {
    if (FBrush->Brush.Style != BS_SOLID || Count < 4 || !PixelExact()) return false;
    const std::optional<QRect> Box = UprightRectangle(Points, Count);
    TDirect D;
    if (!Box || !Direct(D)) return false;
    const QRect Inside = *Box & D.Bounds;
    const TDirect::TInk Ink = D.Ink(FBrush->Brush.Color);
    for (int Y = Inside.top(); Y <= Inside.bottom(); ++Y) D.Run(Inside.left(), Y, Inside.width(), Ink);
    return true;
}

void TDeviceContext::Polygon(const TPixelPoint* Points, int Count) {
    Settle();
    if (Count < 2) return;
    SetSmooth(*FPainter, false);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    // A flat map's background: Qt fills 24-bit pictures pixel by pixel, and hands large fills
    // to other threads and waits for them.
    if (FillUprightRectangle(Points, Count)) {
        if (FAntialiasing) {
            if (FPen->Pen.Style != PS_NULL) SmoothLines(Points, Count, true, FState->Pen);
            else SmoothLines(Points, Count, true, QPen(FState->Brush.color(), 1));
        } else if (ThinPen()) {
            ThinLines(Points, Count, true);
        } else if (FPen->Pen.Style != PS_NULL) {
            FPainter->setPen(FState->Pen);
            FPainter->setBrush(Qt::NoBrush);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        return;
    }
    FPainter->setBrush(FState->Brush);
    if (FAntialiasing) {
        // A smooth fill would leave each shared edge half covered by both neighbours, and
        // the background would show through: the fill keeps to whole pixels and only the
        // edge is smooth, drawn over it.
        if (FBrush->Brush.Style != BS_NULL) {
            FPainter->setPen(Qt::NoPen);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        if (FPen->Pen.Style != PS_NULL)
            SmoothLines(Points, Count, true, FState->Pen);
        else if (FBrush->Brush.Style == BS_SOLID)
            SmoothLines(Points, Count, true, QPen(FState->Brush.color(), 1));
        return;
    }
    if (ThinPen() && PixelExact()) {
        // The fill takes the pixels whose centres lie inside, so it keeps within the
        // outline, which then runs through every vertex, each edge from its first pixel.
        if (FBrush->Brush.Style != BS_NULL) {
            FPainter->setPen(Qt::NoPen);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        ThinLines(Points, Count, true);
        return;
    }
    FPainter->setPen(FState->Pen);
    FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
}

void TDeviceContext::Ellipse(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, true); }

void TDeviceContext::Rectangle(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, false); }

void TDeviceContext::FillBox(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, const QRect& Bounds) {
    Left = std::max<int64_t>(Left, Bounds.left());
    Top = std::max<int64_t>(Top, Bounds.top());
    Right = std::min<int64_t>(Right, int64_t(Bounds.right()) + 1);
    Bottom = std::min<int64_t>(Bottom, int64_t(Bounds.bottom()) + 1);
    if (Right <= Left || Bottom <= Top || FBrush->Brush.Style == BS_NULL) return;
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(FState->Brush);
    FPainter->drawRect(QRect(int(Left), int(Top), int(Right - Left), int(Bottom - Top)));
}

void TDeviceContext::Box(int Left, int Top, int Right, int Bottom, bool Ellipse) {
    if (Left > Right) std::swap(Left, Right);
    if (Top > Bottom) std::swap(Top, Bottom);
    const int64_t W = int64_t(Right) - Left, H = int64_t(Bottom) - Top;
    if (W < 1 || H < 1) return;
    // Ellipses are drawn smooth; rectangles keep to whole pixels either way.
    SetSmooth(*FPainter, FAntialiasing && Ellipse);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    const bool Exact = PixelExact() && !(FAntialiasing && Ellipse);
    if (Exact && ThinPen() && !(Ellipse && DashPattern(FPen->Pen.Style))) {
        if (Ellipse) {
            ThinEllipse(Left, Top, Right, Bottom);
            return;
        }
        Settle();
        FillBox(Left, Top, Right, Bottom, PixelBounds());
        const TPixelPoint Corners[] = {{Left, Top}, {Right - 1, Top}, {Right - 1, Bottom - 1}, {Left, Bottom - 1}};
        if (W == 1 && H == 1) {
            // The outline's lines would leave out their only pixel.
            FState->Ink.emplace_back(Left, Top);
            FlushPixels();
        } else {
            ThinLines(Corners, 4, true);
        }
        return;
    }
    Settle();
    FPainter->setPen(FState->Pen);
    FPainter->setBrush(FState->Brush);
    auto Draw = [&](const auto& R) { Ellipse ? FPainter->drawEllipse(R) : FPainter->drawRect(R); };
    const double Pen = std::max(1, FPen->Pen.Width);
    if (FPen->Pen.Style == PS_NULL) {
        Draw(QRectF(Left, Top, double(W), double(H)));
    } else if (FPen->Pen.Style == PS_INSIDEFRAME && Pen > 1) {
        // The pen keeps inside the frame, so the right and bottom edges stay excluded.
        const double Half = Pen / 2;
        Draw(QRectF(Left + Half, Top + Half, std::max(0.0, W - Pen), std::max(0.0, H - Pen)));
    } else {
        // Centred on the line through the centres of the box's outermost pixels, as a
        // one-pixel pen draws it.
        Draw(QRectF(Left + QtCentre, Top + QtCentre, double(W - 1), double(H - 1)));
    }
    SetSmooth(*FPainter, false);
}

void TDeviceContext::SetPixel(int X, int Y, TColor Color) {
    Settle();
    FPainter->fillRect(QRect(X, Y, 1, 1), ToQColor(Color));
}
