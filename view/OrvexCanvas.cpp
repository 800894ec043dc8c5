#include "view/OrvexCanvas.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "foundation/OXUtils.h"
#include "view/Orvex3.h"

namespace {
// One clipping pass against an edge line one pixel outside the surface.
enum TEdge { edTop, edRight, edBottom, edLeft };

bool Outside(const TPixelPoint& P, TEdge E, int32_t W, int32_t H) {
    switch (E) {
        case edTop: return P.Y < 0;
        case edRight: return P.X > W;
        case edBottom: return P.Y > H;
        case edLeft: return P.X < 0;
    }
    return false;
}

// Cur plus the step along the segment to the edge line, the step rounded on its own.
// Pixels stay within 2^30, so the product and the tie are exact in the widest real.
int32_t Along(int32_t Cur, int64_t ToEdge, int64_t Run, int64_t Rise) {
    return SaturateInt32(int64_t(Cur) + RoundSaturate(static_cast<long double>(ToEdge) * Run / Rise));
}

TPixelPoint Intersect(const TPixelPoint& Prev, const TPixelPoint& Cur, TEdge E, int32_t W, int32_t H) {
    if (E == edTop || E == edBottom) {
        const int32_t Edge = E == edTop ? -1 : H;
        return TPixelPoint{Along(Cur.X, int64_t(Edge) - Cur.Y, int64_t(Prev.X) - Cur.X, int64_t(Prev.Y) - Cur.Y),
                           Edge};
    }
    const int32_t Edge = E == edLeft ? -1 : W;
    return TPixelPoint{Edge, Along(Cur.Y, int64_t(Edge) - Cur.X, int64_t(Prev.Y) - Cur.Y, int64_t(Prev.X) - Cur.X)};
}

// Src holds N points and room for the closing entry; Dst room for 2N + 2.
int32_t ClipPass(TPixelPoint* Src, int32_t N, bool Closed, TEdge E, int32_t W, int32_t H, TPixelPoint* Dst) {
    Src[N] = Closed ? Src[0] : Src[N - 1];
    TPixelPoint Prev = Src[0];
    bool PrevOut = Outside(Prev, E, W, H);
    int32_t Count = 0;
    for (int32_t J = 1; J <= N; ++J) {
        const TPixelPoint Cur = Src[J];
        const bool CurOut = Outside(Cur, E, W, H);
        if (!PrevOut) Dst[Count++] = Prev;
        if (PrevOut != CurOut) Dst[Count++] = Intersect(Prev, Cur, E, W, H);
        Prev = Cur;
        PrevOut = CurOut;
    }
    return Count;
}
}  // namespace

TOrvexCanvas::TOrvexCanvas(TOrvex3* View)
    : FView(View), FPixelsPerInch(TOrvex3::ScreenPixelsPerInch()), FImage(FWidth, FHeight, QImage::Format_BGR888) {
    FImage.fill(Qt::white);
    TLogFont F;
    F.Height = -RoundSaturate(9.0L * FPixelsPerInch / 72);
    F.FaceName = "Arial";
    FFont = CreateFontIndirect(F);
}

TOrvexCanvas::~TOrvexCanvas() {
    FRedirectedDC.reset();
    FImageDC.reset();
    if (FImagePainter) FImagePainter->end();
}

TDeviceContext* TOrvexCanvas::DC() {
    if (FRedirected) return FRedirectedDC.get();
    if (!FImagePainter) FImagePainter = std::make_unique<QPainter>(&FImage);
    if (!FImageDC) {
        FImageDC = std::make_unique<TDeviceContext>(FImagePainter.get());
        FImageDC->SetAntialiasing(FAntialiasing);
    }
    return FImageDC.get();
}

const QImage& TOrvexCanvas::Image() const {
    if (FImageDC) FImageDC->Settle();
    return FImage;
}

uint8_t* TOrvexCanvas::Bits() {
    if (FImageDC) FImageDC->Settle();
    return FImage.bits();
}

void TOrvexCanvas::SetScattered(bool Value) {
    if (FImageDC) FImageDC->SetScattered(Value);
    if (FRedirectedDC) FRedirectedDC->SetScattered(Value);
}

void TOrvexCanvas::SetAntialiasing(bool Value) {
    FAntialiasing = Value;
    if (FImageDC) FImageDC->SetAntialiasing(Value);
    if (FRedirectedDC) FRedirectedDC->SetAntialiasing(Value);
}

void TOrvexCanvas::RedirectTo(QPainter* Painter) {
    if (!Painter) {
        RedirectToImage();
        return;
    }
    FRedirectedDC = std::make_unique<TDeviceContext>(Painter);
    FRedirectedDC->SetAntialiasing(FAntialiasing);
    FRedirected = Painter;
}

void TOrvexCanvas::RedirectToImage() {
    FRedirectedDC.reset();
    FRedirected = nullptr;
}

void TOrvexCanvas::SelectTools() {
    TDeviceContext* D = DC();
    D->SelectObject(FPen.Handle());
    D->SelectObject(FBrush.Handle());
    D->SelectObject(FFont);
}

void TOrvexCanvas::BeginRender() {
    RedirectToImage();
    // Every render starts from a fresh context (stock pen, brush and font, default modes),
    // so that nothing selected by the previous render shows in this one.
    FImageDC.reset();
    if (FImagePainter) {
        FImagePainter->setClipping(false);
        FImagePainter->resetTransform();
    }
    DC();
}

void TOrvexCanvas::EndRender(QPainter* WindowPainter) {
    RedirectTo(WindowPainter);
    if (WindowPainter) DC()->RemoveClip();
}

bool TOrvexCanvas::SetSize(int32_t Width, int32_t Height, int32_t PixelsPerInch) {
    if (Width <= 0 || Height <= 0 || PixelsPerInch <= 0) return false;
    const int32_t OldWidth = FWidth, OldHeight = FHeight;
    FWidth = Width;
    FHeight = Height;
    FPixelsPerInch = PixelsPerInch;
    if (FView) FView->SurfaceResized(OldWidth, OldHeight);
    return true;
}

void TOrvexCanvas::Resize(int32_t Width, int32_t Height, int32_t PixelsPerInch) {
    if (!SetSize(Width, Height, PixelsPerInch)) return;
    const bool WasRedirected = FRedirected != nullptr;
    QPainter* Redirected = FRedirected;
    RedirectToImage();
    FImageDC.reset();
    if (FImagePainter) FImagePainter->end();
    FImagePainter.reset();
    FImage = QImage(FWidth, FHeight, QImage::Format_BGR888);
    FImage.fill(Qt::white);
    if (WasRedirected) RedirectTo(Redirected);
    if (FView) FView->RequestRender();
}

const TPixelPoint* TOrvexCanvas::Clip(const TPixelPoint* Points, int32_t& Count, bool Closed, uint8_t ClipCode) {
    if (ClipCode == 0 || Count < 2) return Points;
    static const struct {
        uint8_t Bits;
        TEdge Edge;
    } Passes[] = {{64 | 128, edTop}, {1 | 2, edRight}, {4 | 8, edBottom}, {16 | 32, edLeft}};
    const TPixelPoint* Src = Points;
    int32_t N = Count;
    std::vector<TPixelPoint>* Out = &FWorkA;
    std::vector<TPixelPoint>* Other = &FWorkB;
    bool InWork = false;
    for (const auto& Pass : Passes) {
        if (N <= 1 || !(ClipCode & Pass.Bits)) continue;
        // Each input point adds at most itself and one crossing.
        if (!InWork) {
            if (Other->size() < size_t(N) + 1) Other->resize(size_t(N) + 1);
            std::memcpy(Other->data(), Src, sizeof(TPixelPoint) * N);
            InWork = true;
        } else if (Other->size() < size_t(N) + 1) {
            Other->resize(size_t(N) + 1);
        }
        if (Out->size() < 2 * size_t(N) + 2) Out->resize(2 * size_t(N) + 2);
        N = ClipPass(Other->data(), N, Closed, Pass.Edge, FWidth, FHeight, Out->data());
        std::swap(Out, Other);
    }
    Count = N;
    return InWork ? Other->data() : Points;
}

int32_t TOrvexCanvas::ClipPoints(int32_t Count, bool Closed, uint8_t ClipCode) {
    Count = std::min(Count, PointBufferSize - 1);
    const TPixelPoint* R = Clip(PointBuffer, Count, Closed, ClipCode);
    const int32_t Kept = std::min(Count, PointBufferSize);
    if (R != PointBuffer) std::memcpy(PointBuffer, R, sizeof(TPixelPoint) * Kept);
    return Kept;
}

void TOrvexCanvas::PolylinePoints(const TPixelPoint* Points, int32_t Count, uint8_t ClipCode) {
    const TPixelPoint* R = Clip(Points, Count, false, ClipCode);
    if (Count >= 2) DC()->Polyline(R, Count);
}

void TOrvexCanvas::PolygonPoints(const TPixelPoint* Points, int32_t Count, uint8_t ClipCode) {
    const TPixelPoint* R = Clip(Points, Count, true, ClipCode);
    if (Count >= 2) DC()->Polygon(R, Count);
}

void TOrvexCanvas::PolylineBuffer(int32_t Count, uint8_t ClipCode) {
    PolylinePoints(PointBuffer, std::min(Count, PointBufferSize), ClipCode);
}

void TOrvexCanvas::PolygonBuffer(int32_t Count, uint8_t ClipCode) {
    PolygonPoints(PointBuffer, std::min(Count, PointBufferSize), ClipCode);
}
