// Thin ellipses, the point symbols of most maps: GDI's pixels worked out in whole numbers where
// that gives the same, the shape of one size kept, and written into the picture as a stamp.
#include <QPaintEngine>
#include <cmath>
#include <cstdlib>

#include "foundation/OXUtils.h"
#include "platform/DeviceContextParts.h"

namespace {

// Twice the half-width of an ellipse's centre line at twice the offset Off2 from its centre,
// for twice the half-axes A2 (along the row) and B2 (across).
long double EllipseReach2(int64_t A2, int64_t B2, int64_t Off2) {
    if (B2 == 0) return static_cast<long double>(A2);
    const long double T = static_cast<long double>(Off2) / B2;
    return A2 * std::sqrt(std::max<long double>(0, 1 - T * T));
}

}  // namespace

// An ellipse drawn with a one-pixel pen: its box, and in doubled coordinates the half-axes of
// the pen's centre line and its centre. The reaches of its rows and columns come from the
// state's tables when Cached, and whole numbers give the pixels when Whole.
struct TDeviceContext::TEllipse {
    int64_t Left, Top, Right, Bottom;
    int64_t A2, B2, CX2, CY2;
    const TState* S;
    bool Cached = false, Whole = false;

    TState::TReach RowReach(int64_t Y) const {
        return Cached ? S->RowReach[size_t(Y - Top)] : TState::TReach{EllipseReach2(A2, B2, std::llabs(2 * Y - CY2))};
    }
    TState::TReach ColumnReach(int64_t X) const {
        return Cached ? S->ColumnReach[size_t(X - Left)] : TState::TReach{EllipseReach2(B2, A2, std::llabs(2 * X - CX2))};
    }
    int64_t Near(int64_t C2, const TState::TReach& R) const { return TState::Near(Whole, C2, R); }
};

int64_t TDeviceContext::TState::Near(bool Whole, int64_t C2, const TReach& R) {
    return Whole ? (C2 + 1 - R.Whole - R.Part) >> 1 : FloorInt64((C2 - R.Reach2 + 1) / 2);
}

void TDeviceContext::TState::KeepReaches(int64_t A2, int64_t B2) {
    ReachWhole = true;
    auto Keep = [this](long double R) {
        const int64_t W = FloorInt64(R);
        const long double F = R - W;
        constexpr long double Close = 0x1p-40L;
        if (F > 0 && (F < Close || 1 - F < Close)) ReachWhole = false;
        return TReach{R, W, F > 0};
    };
    RowReach.resize(size_t(B2 + 1));
    for (int64_t I = 0; I <= B2; ++I) RowReach[size_t(I)] = Keep(EllipseReach2(A2, B2, std::llabs(2 * I - B2)));
    ColumnReach.resize(size_t(A2 + 1));
    for (int64_t I = 0; I <= A2; ++I) ColumnReach[size_t(I)] = Keep(EllipseReach2(B2, A2, std::llabs(2 * I - A2)));
    ReachA2 = A2;
    ReachB2 = B2;
    ShapeReady = false;
}

// The kept ellipse's spans and outline pixels from its box's corner, in whole numbers.
void TDeviceContext::TState::BuildShape() {
    const int64_t A2 = ReachA2, B2 = ReachB2;
    ShapeSpans.clear();
    ShapeDots.clear();
    for (int64_t Y = 0; Y <= B2; ++Y) {
        const int64_t L = Near(true, A2, RowReach[size_t(Y)]), R = A2 - L;
        ShapeSpans.emplace_back(int(std::min(L, R)), int(Y), int(std::llabs(R - L) + 1), 1);
        ShapeDots.emplace_back(int(L), int(Y));
        ShapeDots.emplace_back(int(R), int(Y));
    }
    for (int64_t X = 0; X <= A2; ++X) {
        const int64_t T = Near(true, B2, ColumnReach[size_t(X)]);
        ShapeDots.emplace_back(int(X), int(T));
        ShapeDots.emplace_back(int(X), int(B2 - T));
    }
    BuildShapeRuns();
    ShapeReady = true;
    StampKey = 0;
}

// The fill span less the outline's pixels, and the outline's pixels joined where they touch,
// in order along each row; pixels come out as the fill and then the outline would leave them.
void TDeviceContext::TState::BuildShapeRuns() {
    std::vector<QPoint> Dots = ShapeDots;
    std::sort(Dots.begin(), Dots.end(), [](const QPoint& A, const QPoint& B) {
        return A.y() != B.y() ? A.y() < B.y() : A.x() < B.x();
    });
    Dots.erase(std::unique(Dots.begin(), Dots.end()), Dots.end());
    ShapeRuns.clear();
    size_t D = 0;
    // Outline pixels of row Y from From on, joined where they touch; calls Gap for the fill
    // before each.
    auto Outline = [&](int Y, auto&& Gap) {
        while (D < Dots.size() && Dots[D].y() == Y) {
            const int From = Dots[D].x();
            int To = From + 1;
            for (++D; D < Dots.size() && Dots[D].y() == Y && Dots[D].x() == To; ++D) ++To;
            Gap(From, To);
            ShapeRuns.push_back({From, Y, To - From, true});
        }
    };
    auto NoFill = [](int, int) {};
    for (const QRect& Span : ShapeSpans) {
        const int Y = Span.y();
        while (D < Dots.size() && Dots[D].y() < Y) Outline(Dots[D].y(), NoFill);
        int X = Span.x();
        const int End = Span.x() + Span.width();
        Outline(Y, [&](int From, int To) {
            if (From > X && X < End) ShapeRuns.push_back({X, Y, std::min(From, End) - X, false});
            X = std::max(X, To);
        });
        if (X < End) ShapeRuns.push_back({X, Y, End - X, false});
    }
    while (D < Dots.size()) Outline(Dots[D].y(), NoFill);
}

bool TDeviceContext::TState::BuildStamp(uint64_t Key, const uint8_t* Inside, const uint8_t* Outline, bool Filled,
                                        int PixelBytes) {
    if (StampKey == Key) return !Stamp.empty();
    StampKey = Key;
    Stamp.clear();
    for (size_t I = 0; I < ShapeRuns.size();) {
        TStampRow Row{};
        Row.X = ShapeRuns[I].X;
        Row.Y = ShapeRuns[I].Y;
        for (; I < ShapeRuns.size() && ShapeRuns[I].Y == Row.Y; ++I) {
            const TRun& R = ShapeRuns[I];
            if (!R.Outline && !Filled) continue;
            const int64_t From = int64_t(R.X - Row.X) * PixelBytes, To = From + int64_t(R.Width) * PixelBytes;
            if (From < 0 || To > 32) {
                Stamp.clear();
                return false;
            }
            const uint8_t* Colour = R.Outline ? Outline : Inside;
            for (int64_t B = From; B < To; ++B) {
                Row.Bytes[B] = Colour[(B - From) % PixelBytes];
                Row.Mask[B] = 0xFF;
            }
        }
        Stamp.push_back(Row);
    }
    return !Stamp.empty();
}

void TDeviceContext::ThinEllipse(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom) {
    // The pen's centre line runs through the centres of the box's outermost pixels. Each
    // row takes its outermost pixels and each column its topmost and bottommost, so that
    // the outline has no gaps; all in doubled coordinates, mirrored about the centre.
    TDirect D;
    const bool HasDirect = Direct(D);
    const QRect Bounds = HasDirect ? D.Bounds : PixelBounds();
    TEllipse E{Left, Top, Right, Bottom, Right - Left - 1, Bottom - Top - 1, Left + Right - 1, Top + Bottom - 1,
               FState.get()};
    constexpr int64_t MostCachedSide = 4096;
    E.Cached = E.A2 < MostCachedSide && E.B2 < MostCachedSide;
    if (E.Cached && (FState->ReachA2 != E.A2 || FState->ReachB2 != E.B2)) FState->KeepReaches(E.A2, E.B2);
    // Near the surface and with no reach within a hair of a whole number, the real sum below
    // rounds to nothing that moves its floor, so whole numbers give the same pixels.
    constexpr int64_t Small = int64_t(1) << 20;
    E.Whole = E.Cached && FState->ReachWhole && std::llabs(E.CX2) < Small && std::llabs(E.CY2) < Small;
    if (E.Whole && Left >= Bounds.left() && Right - 1 <= Bounds.right() && Top >= Bounds.top() &&
        Bottom - 1 <= Bounds.bottom()) {
        // Whole numbers place every ellipse of a size alike from its corner: point symbols
        // repeat one shape.
        if (!FState->ShapeReady) FState->BuildShape();
        EllipseShape(QPoint(int(Left), int(Top)), HasDirect ? &D : nullptr);
        return;
    }
    Settle();
    ClippedEllipse(E, Bounds);
}

void TDeviceContext::EllipseShape(QPoint Corner, const TDirect* D) {
    const int BrushStyle = FBrush->Brush.Style;
    if ((BrushStyle == BS_NULL || BrushStyle == BS_SOLID) && D) {
        DirectShape(Corner, *D);
        return;
    }
    Settle();
    TState& S = *FState;
    S.Spans.clear();
    for (const QRect& R : S.ShapeSpans) S.Spans.push_back(R.translated(Corner));
    FillEllipseSpans();
    for (const QPoint& P : S.ShapeDots) S.Ink.push_back(P + Corner);
    FlushPixels();
}

void TDeviceContext::DirectShape(QPoint Corner, const TDirect& D) {
    TState& S = *FState;
    const TDirect::TInk Inside = D.Ink(FBrush->Brush.Color), Outline = D.Ink(FPen->Pen.Color);
    const bool Filled = FBrush->Brush.Style == BS_SOLID;
    // A symbol held back draws with the stamp: it goes first if the stamp must change.
    if (S.StampKey != D.StampKey(Inside, Outline, Filled)) Settle();
    if (uchar* At = D.Stamp(S, Corner, Inside, Outline, Filled)) {
        const int PixelBytes = D.Packed ? 4 : 3;
        if (S.Scattered) {
            PrefetchSymbol(S.Stamp.data(), S.Stamp.size(), At, D.Stride, PixelBytes);
            Settle();
            S.Pending = {TPendingDraw::TKind::Stamp, At, D.Stride, PixelBytes, nullptr, nullptr, 0, 0, 0, 0, 0};
            return;
        }
        StampSymbol(S.Stamp.data(), S.Stamp.size(), At, D.Stride, PixelBytes);
        return;
    }
    Settle();
    // Symbols land anywhere in the picture: ask for all their rows before writing any.
    for (const QRect& R : S.ShapeSpans) D.Prefetch(R.x() + Corner.x(), R.y() + Corner.y());
    for (const TState::TRun& R : S.ShapeRuns)
        if (R.Outline || Filled) D.Run(R.X + Corner.x(), R.Y + Corner.y(), R.Width, R.Outline ? Outline : Inside);
}

void TDeviceContext::ClippedEllipse(const TEllipse& E, const QRect& Bounds) {
    const int64_t Y0 = std::max<int64_t>(E.Top, Bounds.top()), Y1 = std::min<int64_t>(E.Bottom - 1, Bounds.bottom());
    const int64_t X0 = std::max<int64_t>(E.Left, Bounds.left()), X1 = std::min<int64_t>(E.Right - 1, Bounds.right());
    auto& Spans = FState->Spans;
    Spans.clear();
    for (int64_t Y = Y0; Y <= Y1; ++Y) {
        const int64_t L = E.Near(E.CX2, E.RowReach(Y)), R = E.CX2 - L;
        const int64_t Lo = std::max<int64_t>(std::min(L, R), Bounds.left());
        const int64_t Hi = std::min<int64_t>(std::max(L, R), Bounds.right());
        if (Lo <= Hi) Spans.emplace_back(int(Lo), int(Y), int(Hi - Lo + 1), 1);
    }
    FillEllipseSpans();
    auto& Ink = FState->Ink;
    auto Plot = [&](int64_t X, int64_t Y) {
        if (X >= Bounds.left() && X <= Bounds.right() && Y >= Bounds.top() && Y <= Bounds.bottom())
            Ink.emplace_back(int(X), int(Y));
        if (Ink.size() >= PixelBatch) FlushPixels();
    };
    for (int64_t Y = Y0; Y <= Y1; ++Y) {
        const int64_t L = E.Near(E.CX2, E.RowReach(Y));
        Plot(L, Y);
        Plot(E.CX2 - L, Y);
    }
    for (int64_t X = X0; X <= X1; ++X) {
        const int64_t T = E.Near(E.CY2, E.ColumnReach(X));
        Plot(X, T);
        Plot(X, E.CY2 - T);
    }
    FlushPixels();
}

void TDeviceContext::FillEllipseSpans() {
    const std::vector<QRect>& Spans = FState->Spans;
    if (FBrush->Brush.Style != BS_NULL && !Spans.empty() &&
        !(FBrush->Brush.Style == BS_SOLID && FillSpans(Spans, FBrush->Brush.Color))) {
        FPainter->setPen(Qt::NoPen);
        FPainter->setBrush(FState->Brush);
        FPainter->drawRects(Spans.data(), int(Spans.size()));
    }
}
