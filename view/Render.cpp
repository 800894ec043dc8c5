// The render pipeline of the view: paint, background, graticule, layers, the geographic
// line, polyline and polygon renderers with their seam splitting, and printing.

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <limits>
#include <typeinfo>
#include <utility>

#include "foundation/OrvexExceptions.h"
#include "foundation/ResetOnExit.h"
#include "kernels/ChainBounds.h"
#include "model/ChainDetail.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/ShiftRuns.h"
#include "platform/Hourglass.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"
#include "view/PrintOutput.h"

namespace {
// Rings around a pole are closed along this latitude, short of the pole itself.
constexpr int32_t PoleRunLatitude = 89 * OrvexUnits::PerDegree;

QColor ToQColor(TColor C) {
    const uint32_t V = static_cast<uint32_t>(ColorToRGB(C));
    return QColor(V & 0xFF, (V >> 8) & 0xFF, (V >> 16) & 0xFF);
}

// 64-bit multiply-then-divide, rounded to nearest.
// A * B / C to nearest, ties to even. Below 2^62 the product is exact in a long double and the
// quotient's rounding error is smaller than its distance to any half that is not exactly one,
// so whole numbers give the real result without its cost.
int64_t MulDiv(int64_t A, int64_t B, int64_t C) {
    constexpr int64_t Exact = int64_t(1) << 62;
    int64_t P;
    if (C == 0 || __builtin_mul_overflow(A, B, &P) || P >= Exact || P <= -Exact)
        return static_cast<int64_t>(std::nearbyint(static_cast<long double>(A) * B / C));
    int64_t Q = P / C;
    const int64_t R = P % C;
    const uint64_t Twice = 2 * uint64_t(R < 0 ? -R : R), Whole = uint64_t(C < 0 ? -C : C);
    if (Twice > Whole || (Twice == Whole && (Q & 1))) Q += (R < 0) == (C < 0) ? 1 : -1;
    return Q;
}

// Where chains meet the seam of a flat projection (the meridian opposite the central one).
struct TSeam {
    int32_t CM;
    int32_t Seam;
    explicit TSeam(int32_t CentralMeridian)
        : CM(CentralMeridian), Seam(NormalizeLongitude(int64_t(CentralMeridian) + OrvexUnits::Deg180)) {}
    // -1 or -2 for the western outer quarter, 0 around the central meridian, 1 east.
    int Band(int32_t Lon) const { return NormalizeLongitude(int64_t(Lon) - CM) / OrvexUnits::Deg90; }
    static bool Crosses(int PrevBand, int CurBand) {
        return (CurBand < 0 && PrevBand > 0) || (CurBand > 0 && PrevBand < 0);
    }
    static int64_t Dist(int32_t A, int32_t B) {
        int64_t D = std::llabs(int64_t(A) - B);
        if (D > 971999999) D = OrvexUnits::Deg360 - D;
        return D == 0 ? 1 : D;
    }
    // Latitude at which the step from P to C meets the seam.
    int32_t LatitudeAt(const TPoint3D& P, const TPoint3D& C) const {
        return SaturateInt32(int64_t(P.Y) + RoundSaturate(static_cast<long double>(Dist(Seam, P.X)) /
                                                          Dist(C.X, P.X) * (int64_t(C.Y) - P.Y)));
    }
    int32_t Offset(int64_t D) const { return NormalizeLongitude(int64_t(Seam) + D); }
};

// An edge that only closes a ring along the 180th meridian or through a pole: it belongs to
// the ring's area but is no coastline, so the outline leaves it out.
bool IsSeamEdge(const TPoint3D& A, const TPoint3D& B) {
    const int32_t LonA = NormalizeLongitude(A.X), LonB = NormalizeLongitude(B.X);
    if (LonA == -OrvexUnits::Deg180 && LonB == -OrvexUnits::Deg180) return true;
    const bool PoleA = std::abs(int64_t(A.Y)) >= OrvexUnits::Deg90, PoleB = std::abs(int64_t(B.Y)) >= OrvexUnits::Deg90;
    if (PoleA && PoleB) return (A.Y > 0) == (B.Y > 0);
    return (PoleA || PoleB) && LonA == LonB;
}

// Swaps a lent coarser copy back out of the stand-in when the drawing ends, thrown out of
// or not.
class TGiveBack {
public:
    TGiveBack(TGeoDataObject* Run, TPointChain* Lent) : Run(Run), Lent(Lent) {}
    TGiveBack(const TGiveBack&) = delete;
    TGiveBack& operator=(const TGiveBack&) = delete;
    ~TGiveBack() {
        if (Lent) Run->SwapChain(*Lent);
    }

private:
    TGeoDataObject* Run;
    TPointChain* Lent;
};

// A layer's visibility pass: whether the layer is still there after it (a handler it ran may
// have taken it away).
bool StaysAfterVisibility(TOrvexLayer* L) {
    TListWatch Layer(&L->ObjectWalks(), nullptr);
    L->UpdateVisibility();
    return !Layer.OwnerGone();
}

// Ends the run a chain's drawing records, however the drawing ends.
struct TEndsRun {
    TShiftRuns* Runs;
    ~TEndsRun() {
        if (Runs) Runs->End();
    }
};

TGeoDataObject* NewTempChain() {
    TGeoDataObject* O = TGeoDataObject::Create(nullptr);
    O->SetClipCode(255);
    return O;
}
// One point at the end of a temporary chain, which grows in steps: an exact-size count change
// reallocates at every point.
void AppendPoint(TGeoDataObject* Part, int32_t Lon, int32_t Lat, int32_t Z) {
    const int32_t N = Part->GetPointCount();
    if (N == Part->Capacity()) Part->Grow();
    Part->SetPointCount(N + 1);
    Part->Points()[N] = TPoint3D{Lon, Lat, Z};
}

// Long chains come in pieces that share their end points: Piece gets the entry count of each.
template <class TPiece>
void ForEachPiece(TPrjModel* Prj, TOrvexObject* Chain, TPiece&& Piece) {
    int32_t Resume = 0;
    do {
        Piece(Prj->ProjectChain(Chain, Resume));
    } while (Resume >= 0);
}

}  // namespace

template <class F>
void TOrvex3::ForEachLayer(F Visit) {
    TListWalk<TOrvexLayer> Walk(FLayerWalks, FLayers);
    while (TOrvexLayer* L = Walk.Next()) Visit(L);
}

void TOrvex3::SetColor(TColor Value) {
    FColor = Value;
    RequestRender();
}

void TOrvex3::SetOrvexColor(TColor Value) {
    FOrvexColor = Value;
    FSphereBrush.SetColor(Value);
    RequestRender();
}

void TOrvex3::SetBackground(const QImage& Image) {
    FBackground = Image;
    RequestRender();
}

void TOrvex3::SetTransparentBackground(bool Value) {
    if (Value == FTransparentBackground) return;
    // A fresh, empty background captures what lies under the window at the next paint.
    FBackground = QImage();
    FTransparentBackground = Value;
    setAttribute(Qt::WA_TranslucentBackground, Value);
}

TXAxisChanges TOrvex3::XAxisChanges() const { return FProjection->XAxisChanges(); }
void TOrvex3::SetXAxisChanges(TXAxisChanges Value) { FProjection->SetXAxisChanges(Value); }
TYAxisChanges TOrvex3::YAxisChanges() const { return FProjection->YAxisChanges(); }
void TOrvex3::SetYAxisChanges(TYAxisChanges Value) { FProjection->SetYAxisChanges(Value); }

void TOrvex3::SetDrawGrid(TDrawGrid Value) {
    if (Value == FDrawGrid) return;
    FDrawGrid = Value;
    RequestRender();
}

void TOrvex3::SetTransparentOrvex(bool Value) {
    if (Value == FTransparentOrvex) return;
    FTransparentOrvex = Value;
    RequestRender();
}

void TOrvex3::SetLevelOfDetail(bool Value) {
    if (Value == FLevelOfDetail) return;
    FLevelOfDetail = Value;
    RequestRender();
}

bool TOrvex3::Antialiasing() const { return FCanvas->Antialiasing(); }

void TOrvex3::SetAntialiasing(bool Value) {
    if (Value == FCanvas->Antialiasing()) return;
    FCanvas->SetAntialiasing(Value);
    RequestRender();
}

void TOrvex3::paintEvent(QPaintEvent*) {
    if (PaintDuringRender()) return;
    // The window moved to a screen of another ratio: the surface follows before it is drawn.
    if (WindowRatio() != FSurfaceRatio) LayoutClientArea();
    if (FTransparentBackground && FBackground.isNull()) CaptureBackground();
    QPainter Painter(this);
    // Surface pixels land one to one on the device's, and so does whatever the paint draws
    // over them.
    Painter.scale(1 / FSurfaceRatio, 1 / FSurfaceRatio);
    try {
        PaintWith(Painter);
    } catch (const std::exception& E) {
        // An event handler must not throw into Qt; the picture is already on screen.
        qWarning("Orvex: render failed: %s", E.what());
    }
}

void TOrvex3::PaintWith(QPainter& Painter) {
    const TRenderPaint Paint = std::exchange(FPainting, TRenderPaint::None);
    FCanvas->BeginRender();
    std::exception_ptr Failure;
    if (ScaleChanged || RedrawPending) {
        THourglass Hourglass(ScaleChanged);
        FWindowPainter = &Painter;
        Failure = RenderSurface(Paint);
        FWindowPainter = nullptr;
    }
    Painter.drawImage(0, 0, FCanvas->Image());
    FCanvas->EndRender(&Painter);
    if (ZoomDragging) DrawFocusRect(Painter);
    try {
        ForEachLayer([](TOrvexLayer* L) {
            if (L->Animated() && StaysAfterVisibility(L)) L->Render();
        });
    } catch (...) {
        if (!Failure) Failure = std::current_exception();
    }
    if (!FRenderAbort) RedrawPending = ScaleChanged = false;
    FCanvas->RedirectToImage();
    if (OnPaint) OnPaint(this);
    if (Failure) std::rethrow_exception(Failure);
}

void TOrvex3::CopySurfaceToWindow() {
    // The window shows what its painter holds once the paint returns to the event loop.
    if (FWindowPainter) FWindowPainter->drawImage(0, 0, FCanvas->Image());
}

std::exception_ptr TOrvex3::RenderSurface(TRenderPaint Paint) {
    try {
        const TRenderRun Run(*this, Paint);
        DrawBackground();
        RenderLayers();
        if (OnRender) OnRender(this);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

void TOrvex3::Render() {
    FCanvas->BeginRender();
    const std::exception_ptr Failure = RenderSurface();
    if (!FRenderAbort) RedrawPending = ScaleChanged = false;
    ++FFrames;
    if (Failure) std::rethrow_exception(Failure);
    if (FLevelOfDetail) QueueDetailWork();
}

bool TOrvex3::PrepareDetail(std::chrono::steady_clock::time_point Deadline) {
    if (!FLevelOfDetail || Rendering() || Printing()) return true;
    const long double Scale = GetScaleFactor();
    const int32_t Meridian = FProjection->CentralMeridian();
    if (FDetailFrame != FFrames) {
        FDetailFrame = FFrames;
        FDetailLayer = FDetailObject = 0;
        // A pan leaves the octaves as they were: the pass after it would find all built.
        if (Scale == FDetailScale && Meridian == FDetailMeridian && FDetailFinished) return true;
        FDetailFinished = false;
    }
    // What the passes build, with the pixels kept for pans, holds at most the budget:
    // beyond it (layers of tens of millions of points) memory counts for more than the first
    // frame of an octave. The count starts afresh only once the scale is more than an octave
    // from where it started, as the copies it paid for then serve scales no longer near. A
    // turn of the map does not start it afresh: no copy follows the meridian.
    if (Scale != FDetailScale || Meridian != FDetailMeridian) FDetailFinished = false;
    if (!(Scale >= FDetailBudgetScale / 2 && Scale <= FDetailBudgetScale * 2)) {
        FDetailSpent = 0;
        FDetailBudgetScale = Scale;
    }
    FDetailScale = Scale;
    FDetailMeridian = Meridian;
    // The pixels kept for pans share the budget: a frame made them for this scale too.
    int64_t Runs = 0;
    for (const TOrvexLayer* L : FLayers) Runs += L->ShiftRunBytes();
    // Indexes rather than pointers: layers and objects may come and go between two slices,
    // which then at worst prepare a chain twice or pass one over.
    int32_t Done = 0;
    for (; FDetailLayer < FLayers.size(); ++FDetailLayer, FDetailObject = 0) {
        TOrvexLayer* L = FLayers[FDetailLayer];
        if (!L->Visible()) continue;
        const std::vector<TOrvexObject*>& Objects = L->Objects();
        for (; FDetailObject < Objects.size(); ++FDetailObject) {
            if (FDetailSpent + Runs >= FDetailBudget) return FDetailFinished = true;
            // The clock is read every few chains: most need nothing.
            if (++Done % 64 == 0 && std::chrono::steady_clock::now() >= Deadline) return false;
            TOrvexObject* O = Objects[FDetailObject];
            if (O->HasState(osHidden)) continue;
            // A chain within a pixel is not drawn, but one more than half a pixel across shows
            // an octave further in.
            const bool Small = O->HasState(osSubPixel);
            if (Small ? std::max(O->Extents().Width, O->Extents().Height) * Scale <= 0.5L : !O->HasState(osInView))
                continue;
            if (!Small) {
                const int64_t Bytes = FProjection->PrepareChain(O);
                if (Bytes >= 0) {
                    FDetailSpent += Bytes;
                    Done += 31;
                }
            }
            const int Level = DetailLevelOf(O);
            if (Level < 1) continue;
            for (const int Next : {Level - 1, Small ? 0 : Level + 1}) {
                if (Next < 1 || Next > MaxDetailLevel) continue;
                const int64_t Bytes = O->PrepareDetail(Next, FDetailScratch);
                if (Bytes < 0) continue;
                FDetailSpent += Bytes;
                Done += 31;
            }
        }
    }
    return FDetailFinished = true;
}

void TOrvex3::QueueDetailWork() {
    if (FDetailQueued) return;
    FDetailQueued = true;
    QTimer::singleShot(0, this, [this] {
        FDetailQueued = false;
        // A slice short enough that input waiting behind it is not held up noticeably.
        if (!PrepareDetail(std::chrono::steady_clock::now() + std::chrono::milliseconds(4))) QueueDetailWork();
    });
}

void TOrvex3::RenderToImage(QImage& Image) {
    if (Image.isNull()) return;
    if (Image.width() != FCanvas->Width() || Image.height() != FCanvas->Height())
        SetSurfaceSize(Image.width(), Image.height());
    Render();
    if (FRenderAbort) return;
    QPainter Painter(&Image);
    PaintWith(Painter);
}

namespace {
// How a message names a device the caller did not name.
std::string DeviceDescription(QPaintDevice* Device) {
    if (auto* Printer = dynamic_cast<QPrinter*>(Device)) {
        if (!Printer->outputFileName().isEmpty()) return "'" + PathFromQString(Printer->outputFileName()) + "'";
        return "the printer '" + FromQString(Printer->printerName()) + "'";
    }
    if (Device && Device->devType() == QInternal::Image)
        return Format("an image of %d x %d pixels", Device->width(), Device->height());
    return "the paint device";
}
}  // namespace

void TOrvex3::RenderToDevice(QPaintDevice* Device, const std::string& DeviceName) {
    const auto Name = [&] { return DeviceName.empty() ? DeviceDescription(Device) : "'" + DeviceName + "'"; };
    if (!Device) throw EOrvexException("Cannot draw: no device to draw on");
    QPainter Painter;
    // A device that cannot be painted on (a file in a missing folder) must not pass for drawn.
    if (!Painter.begin(Device)) throw EOrvexException("Cannot draw on " + Name() + ": it cannot be opened for drawing");
    // Draw in surface pixels, scaled to the device: vector output stays vector output.
    Painter.scale(static_cast<qreal>(Device->width()) / FCanvas->Width(),
                  static_cast<qreal>(Device->height()) / FCanvas->Height());
    FCanvas->RedirectTo(&Painter);
    std::exception_ptr Failure;
    try {
        const TRenderRun Run(*this);
        DrawBackground();
        RenderLayers();
        RenderAnimated();
    } catch (...) {
        Failure = std::current_exception();
    }
    FCanvas->RedirectToImage();
    if (Failure) std::rethrow_exception(Failure);
    if (!Painter.end()) throw EOrvexException("Cannot draw on " + Name() + ": the drawing could not be finished");
}

void TOrvex3::WithSurfaceSize(int32_t Width, int32_t Height, const std::function<void()>& Draw) {
    const int32_t OldWidth = FCanvas->Width(), OldHeight = FCanvas->Height(), Ppi = FCanvas->PixelsPerInch();
    if (Width == OldWidth && Height == OldHeight) {
        Draw();
        return;
    }
    const int32_t XOrigin = FProjection->XOrigin(), YOrigin = FProjection->YOrigin();
    const long double Scale = GetScaleFactor();
    // Rescaling there and back is not exact: the view's own values are put back as they were.
    auto Restore = [&] {
        FCanvas->SetSize(OldWidth, OldHeight, Ppi);
        FProjection->SetXOrigin(XOrigin);
        FProjection->SetYOrigin(YOrigin);
        FProjection->ApplyScaleFactor(Scale);
        ScaleApplied(Scale);
        UpdateScrollBars();
        RequestRender();
    };
    if (!FCanvas->SetSize(Width, Height, Ppi)) return;
    try {
        Draw();
    } catch (...) {
        Restore();
        throw;
    }
    Restore();
}

void TOrvex3::DrawBackground() {
    TDeviceContext* DC = FCanvas->DC();
    QPainter* P = DC->Painter();
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    FCanvas->Brush().SetStyle(BS_SOLID);
    FCanvas->Brush().SetColor(FColor);
    // Under a bitmap too: where it is transparent the colour shows, not the last picture.
    P->fillRect(0, 0, W, H, ToQColor(FColor));
    if (!FBackground.isNull()) {
        const int32_t BW = FBackground.width(), BH = FBackground.height();
        for (int32_t X = 0; X <= (W / BW) * BW; X += BW)
            for (int32_t Y = 0; Y <= (H / BH) * BH; Y += BH) P->drawImage(X, Y, FBackground);
    }
    if (FTransparentOrvex) return;
    DC->SelectObject(FSphereBrush.Handle());
    FProjection->PaintBackground();
}

void TOrvex3::RenderLayers() {
    // A layer is drawn right after its visibility pass, while the objects that pass read are
    // still in the caches (or after the next layer's, below); the back sides need every layer's
    // before any is drawn.
    if (FTransparentOrvex) {
        ForEachLayer([](TOrvexLayer* L) {
            if (!L->Animated()) L->UpdateVisibility();
        });
        BackSidePass = true;
        try {
            ForEachLayer([](TOrvexLayer* L) {
                if (!L->Animated()) L->Render();
            });
            if (FDrawGrid != dgNone) DrawGraticule();
        } catch (...) {
            BackSidePass = false;
            throw;
        }
        BackSidePass = false;
    }
    if (FDrawGrid == dgBehind) DrawGraticule();
    {
        // With no handler to look at the picture between objects, symbols and titles are
        // drawn scattered (each while the next one's pixels are fetched).
        struct TScattered {
            TOrvexCanvas& Canvas;
            ~TScattered() { Canvas.SetScattered(false); }
        } Scattered{*FCanvas};
        FCanvas->SetScattered(!OnRenderObject && !OnRenderTitle && !OnRenderProgress && !Printing());
        // Where the second core places copies, each layer's pass runs before the layer ahead of it
        // is drawn: meanwhile the thread places that layer's copies, and is ahead of its walk when
        // the walk starts.
        const bool Pipelined = !FTransparentOrvex && MayPlaceAhead();
        TOrvexLayer* Pending = nullptr;
        std::unique_ptr<TListWatch> PendingWatch;
        struct TStopPlacing {
            TOrvex3* View;
            ~TStopPlacing() { View->StopPlacingAhead(); }
        } StopPlacing{this};
        auto DrawPending = [&] {
            if (Pending && !PendingWatch->OwnerGone() && !RenderStopped()) Pending->Render();
            StopPlacingAhead();
            Pending = nullptr;
            PendingWatch.reset();
        };
        ForEachLayer([&](TOrvexLayer* L) {
            if (L->Animated()) return;
            if (!Pipelined) {
                // Every layer's states are brought up to date, drawn or not.
                if (!FTransparentOrvex && !StaysAfterVisibility(L)) return;
                if (!RenderStopped()) L->Render();
                return;
            }
            // Only where neither pass can run a handler, which might take away what the thread
            // reads.
            if (Pending && !PendingWatch->OwnerGone() && !RenderStopped() && L->QuietVisibility())
                Pending->PlaceAhead();
            auto Watch = StaysAfterVisibility(L) ? std::make_unique<TListWatch>(&L->ObjectWalks(), nullptr) : nullptr;
            DrawPending();
            if (!Watch || Watch->OwnerGone()) return;
            Pending = L;
            PendingWatch = std::move(Watch);
        });
        DrawPending();
    }
    if (RenderStopped()) return;
    if (FDrawGrid == dgInFront) DrawGraticule();
}

void TOrvex3::DrawGraticule() {
    const TPen& Source = BackSidePass ? FTransparentPen : FGridPen;
    FCanvas->Pen().SetColor(Source.Color());
    FCanvas->Pen().SetStyle(Source.Style());
    FCanvas->Pen().SetWidth(Source.Width());
    FCanvas->DC()->SetBkMode(BK_TRANSPARENT);
    FCanvas->SelectTools();
    if (OnPaintGraticule)
        OnPaintGraticule(this);
    else
        FProjection->PaintGraticule();
}

void TOrvex3::RenderAnimated() {
    if (OnRender) OnRender(this);
    ForEachLayer([](TOrvexLayer* L) {
        if (L->Animated() && StaysAfterVisibility(L)) L->Render();
    });
    if (OnPaint) OnPaint(this);
}

void TOrvex3::PaintLineLL(const TPoint3D& From, const TPoint3D& To, int32_t Steps) {
    FCanvas->SelectTools();
    if (Steps <= 0) Steps = 1;
    const int64_t DLat = int64_t(To.Y) - From.Y;
    int64_t DLon = int64_t(To.X) - From.X;
    const int32_t Q = From.X / OrvexUnits::Deg90;
    if (Q != 0 && To.X / OrvexUnits::Deg90 == -Q) DLon = (OrvexUnits::Deg360 - std::llabs(DLon)) * Q;
    if (!FTempChain) FTempChain.reset(NewTempChain());
    TGeoDataObject* T = FTempChain.get();
    T->SetPointCount(Steps + 1);
    for (int32_t K = 0; K <= Steps; ++K)
        T->Points()[K] = TPoint3D{NormalizeLongitude(From.X + MulDiv(DLon, K, Steps)),
                                  SaturateInt32(From.Y + MulDiv(DLat, K, Steps)),
                                  From.Z};
    // Both side bits select the point-by-point walk; the line needs no visibility test.
    T->SetState(osExtentsValid | osBackSide | osFrontSide | osInView);
    T->SetClipCode(255);
    // The walk through the line points is kept for the next frames at any scale and origin.
    TWalkRecords::TRecord* Record = nullptr;
    if (FProjection->NeedsLinePoints(nullptr)) {
        FWalkRecords.Follow(MapKey());
        Record = FWalkRecords.Find(From, To, Steps);
    }
    const TResetOnExit<TWalkRecords::TRecord> RecordInUse(FWalkRecord, Record);
    PaintPolyline(T);
}

void TOrvex3::PolylinePiece(int32_t Count, uint8_t ClipCode) {
    if (Count <= 1) return;
    if (FRunSlot.Runs && FRunSlot.Runs->Recording()) FRunSlot.Runs->Piece(Count);
    FCanvas->PolylineBuffer(Count, ClipCode);
}

bool TOrvex3::ShiftKey(TShiftKey& Key) const {
    const TPrjModel* P = FProjection.get();
    // Frames only: a picture drawn from every point is drawn once (an export, a print).
    if (!P || !P->SeparableAxes() || !FLevelOfDetail || Printing() || BackSidePass || FTransparentOrvex)
        return false;
    Key = MapKey();
    return true;
}

TShiftKey TOrvex3::MapKey() const {
    const TPrjModel* P = FProjection.get();
    const TPrjExtents& E = P->Extents();
    return TShiftKey{P,
                     FProjectionSerial,
                     P->ScaleFactor(),
                     {P->XRotation(), P->YRotation(), P->ZRotation(), P->CentralMeridian(), P->CentralParallel(),
                      P->FirstParallel(), P->SecondParallel(), int32_t(P->XAxisChanges()), int32_t(P->YAxisChanges()),
                      E.MinLongitude, E.MaxLongitude, E.MinLatitude, E.MaxLatitude}};
}

void TOrvex3::PaintPolyline(TOrvexObject* Obj) {
    if (!Obj) return;
    const bool Fresh = !Obj->HasState(osExtentsValid);
    if (Fresh) Obj->CalcExtents();
    if (!Obj->HasState(osInView)) Obj->IsVisibleIn(*this);
    // The chain the layer's walk draws, on a map where a pan only shifts its pixels: the
    // pixels of its last frame, or what it draws now kept for the next.
    TShiftRuns* const Runs = FRunSlot.Obj == Obj && !BackSidePass ? FRunSlot.Runs : nullptr;
    if (!Runs && FRunSlot.Runs && FRunSlot.Runs->Recording()) FRunSlot.Runs->Spoil();
    const int32_t OX = FProjection->XOrigin(), OY = FProjection->YOrigin();
    const uint8_t Clip = Obj->ClipCode();
    if (Runs && Fresh) Runs->Drop(FRunSlot.Entry);
    if (Runs && Runs->Replay(FRunSlot.Entry, OX, OY, [&](int32_t N) { PolylinePiece(N, Clip); })) return;
    if (Runs) Runs->Begin(FRunSlot.Entry, OX, OY);
    const TEndsRun End{Runs};
    if (FRunSlot.Obj == Obj && FRunSlot.Placed) {
        if (DrawnAhead(Obj, *FRunSlot.Placed, Clip)) return;
        // The placing thread still reads the object, which the ways below change.
        if (FRunSlot.Placed->Beside && FPlacedAhead) FPlacedAhead->WaitFor(FRunSlot.Entry);
    }
    if (DrawnFromCopy(Obj, &TOrvex3::DrawPolyline)) return;
    DrawPolyline(Obj);
}

void TOrvex3::DrawPolyline(TOrvexObject* Obj) {
    TDeviceContext* DC = FCanvas->DC();
    if (BackSidePass) DC->SelectObject(FTransparentPen.Handle());
    TPrjModel* Prj = FProjection.get();
    const uint8_t Clip = Obj->ClipCode();
    const bool BothSides = Obj->HasState(osBackSide) && Obj->HasState(osFrontSide);
    if (!BothSides && !Prj->NeedsLinePoints(&Obj->Extents())) {
        if (Prj->Seamless() || !Obj->HasState(osWrapsMeridian | osCrossesDateLine | osOddCrossings)) {
            ForEachPiece(Prj, Obj, [&](int32_t N) { PolylinePiece(N, Clip); });
            return;
        }
    }
    WalkPolyline(Obj, BothSides ? nullptr : &Obj->Extents());
}

bool TOrvex3::DrawnFromCopy(TOrvexObject* Obj, void (TOrvex3::*Draw)(TOrvexObject*)) {
    TPointChain* Lent = nullptr;
    TOrvexObject* Copy = WithDetail(Obj, Lent);
    if (!Lent) return false;
    const TGiveBack GiveBack{FDetailRun.get(), Lent};
    struct TPlacing {
        TPrjModel* Prj;
        bool Was;
        ~TPlacing() { Prj->SetPlacingCopies(Was); }
    } Placing{FProjection.get(), FProjection->PlacingCopies()};
    FProjection->SetPlacingCopies(true);
    (this->*Draw)(Copy);
    return true;
}

bool TOrvex3::PlacedStillHolds(TOrvexObject* Obj, const TPlacedAhead::TPlaced& Placed) {
    // The copy DrawnFromCopy would lend, drawn as DrawPolyline draws it. Its level is the one
    // DetailLevelOf gives: pixels are placed only at it, for objects that draw from copies
    // (TPlacedAhead::Placeable), which nothing has changed since.
    if (!FPlacedAhead || BackSidePass) return false;
    const int Level = Placed.Level;
    if ((Obj->HasState(osBackSide) && Obj->HasState(osFrontSide)) || FProjection->NeedsLinePoints(&Obj->Extents()))
        return false;
    // Asked as DrawnFromCopy asks, so that it stays the copy used last; but not while the
    // placing thread reads the object.
    const TPointChain* Copy = Placed.Beside ? Obj->HeldDetail(Level) : Obj->DetailAt(Level, FDetailScratch);
    return Copy && Copy->Points() == Placed.Source && Copy->Count() == Placed.SourceCount;
}

void TOrvex3::PlacedPiece(const TPlacedAhead::TPlaced& Placed, uint8_t Clip) {
    // A recorded run reads the point buffer, as every piece's.
    if (FRunSlot.Runs && FRunSlot.Runs->Recording()) {
        std::copy_n(Placed.Pixels, Placed.Count, PointBuffer);
        PolylinePiece(Placed.Count, Clip);
        return;
    }
    if (Placed.Count <= 1) return;
    // Most entries lie inside the picture and are drawn by a thin solid pen.
    const int32_t Count = std::min(Placed.Count, PointBufferSize);
    if (Clip != 0 || !FCanvas->DC()->KeptThinPolyline(Placed.Pixels, Count))
        FCanvas->PolylinePoints(Placed.Pixels, Count, Clip);
}

bool TOrvex3::DrawnAhead(TOrvexObject* Obj, const TPlacedAhead::TPlaced& Placed, uint8_t Clip) {
    if (!PlacedStillHolds(Obj, Placed)) return false;
    PlacedPiece(Placed, Clip);
    return true;
}

bool TOrvex3::DrawnPlaced(TOrvexObject* Obj) {
    // What the presenter's Render and PaintPolyline would do for the entry, less the ways that
    // cannot apply to it: its extent is measured, it is in view and no run of it is kept. At
    // 100 M points an eighth of the walk's frame went on the way there.
    const TPlacedAhead::TPlaced* Placed = FRunSlot.Placed;
    if (!Placed || FRunSlot.Obj != Obj || Placed->Beside) return false;
    if (typeid(*Obj) != typeid(TGeoDataObject) || !Obj->HasState(osExtentsValid) || !Obj->HasState(osInView))
        return false;
    auto* Presenter = static_cast<TPolylinePresenter*>(Obj->Presenter());
    if (!Presenter || typeid(*Presenter) != typeid(TPolylinePresenter) || Presenter->View() != this) return false;
    TShiftRuns* const Runs = FRunSlot.Runs;
    if ((Runs && Runs->Holds(FRunSlot.Entry)) || !PlacedStillHolds(Obj, *Placed)) return false;
    Presenter->PolylinePen()->Apply(Obj->Selected());
    if (Runs) Runs->Begin(FRunSlot.Entry, FProjection->XOrigin(), FProjection->YOrigin());
    const TEndsRun End{Runs};
    PlacedPiece(*Placed, Obj->ClipCode());
    return true;
}

bool TOrvex3::MayPlaceAhead() const {
    return FPlacingAhead && FLevelOfDetail && !Printing() && !BackSidePass && !OnRenderObject && !OnRenderProgress &&
           TPlacedAhead::Worthwhile();
}

bool TOrvex3::StartPlacingAhead(TOrvexObject* const* Objects, size_t Count) {
    // Fewer entries than this are placed sooner than a thread is woken.
    constexpr size_t LeastEntries = 1024;
    const TPrjModel* P = FProjection.get();
    TFlatForward Flat;
    if (Count < LeastEntries || !MayPlaceAhead() || !P || !P->BlockFormula(Flat)) return false;
    // The frame's level where DetailLevelOf gives it to every object. On a map whose stretch
    // varies over it each object has its own, which the thread asks of the map as DetailLevelOf
    // does, beside the walk.
    if (FFrameDetail.Projection == P && FFrameDetail.Scale == P->ScaleFactor()) {
        if (FFrameDetail.Level < 1) return false;
        PlacingThread().Start(this, Objects, Count, Flat, FFrameDetail.Level);
    } else {
        if (P->UniformDetailStretch()) return false;
        PlacingThread().Start(this, Objects, Count, Flat, -1, P);
    }
    return true;
}

int TOrvex3::DetailLevelOf(TOrvexObject* Obj) const {
    // The view's scratch chains (no layer) and objects of other views are drawn as they are.
    if (!FLevelOfDetail || Printing() || Obj->View() != this || !TakesCopies(*Obj)) return -1;
    const TPrjModel* P = FProjection.get();
    const int Level = FFrameDetail.Projection == P && FFrameDetail.Scale == P->ScaleFactor()
                          ? FFrameDetail.Level
                          : P->DetailLevel(Obj->Extents());
    return Level >= 1 ? Level : -1;
}

TOrvexObject* TOrvex3::WithDetail(TOrvexObject* Obj, TPointChain*& Lent) {
    Lent = nullptr;
    const int Level = DetailLevelOf(Obj);
    if (Level < 1) return Obj;
    if (!FDetailRun) FDetailRun.reset(NewTempChain());
    TGeoDataObject* Run = FDetailRun.get();
    // A stand-in that holds a copy already (a drawing within a drawing) takes no other.
    if (Run->Count() > 0) return Obj;
    TPointChain* Detail = Obj->DetailAt(Level, FDetailScratch);
    if (!Detail) return Obj;
    // Drawn as the object would be: its extent, side and seam bits and clip code.
    Run->SetCache3D(nullptr);
    Run->SetExtents(Obj->Extents());
    Run->SetState(Obj->State());
    Run->SetClipCode(Obj->ClipCode());
    Run->SwapChain(*Detail);
    Lent = Detail;
    return Run;
}

// Point by point: split at the seam, and through the projection's line points where its map
// stretches or tears.
void TOrvex3::WalkPolyline(TOrvexObject* Obj, const TExtent* Extent) {
    if (Obj->GetPointCount() < 2) return;
    const bool Refine = FProjection->NeedsLinePoints(Extent);
    if (Extent && (Refine ? DrawPlainRuns(Obj) : DrawSeamRuns(Obj))) return;
    WalkPoints(Obj, Refine, Obj->ClipCode());
}

namespace {
// Flags, one a block of Block steps of Points[0, N) (N at least 2): whether Prj places the
// block's lines point by point. Whether any block does.
bool FindPlain(const TPrjModel& Prj, const TPoint3D* Points, int32_t N, int32_t Block, std::vector<uint8_t>& Flags) {
    const size_t Blocks = size_t((N - 2) / Block + 1);
    Flags.resize(Blocks);
    bool AnyPlain = false;
    for (size_t B = 0; B < Blocks; ++B) {
        const int32_t First = int32_t(B) * Block, Last = std::min(N - 1, First + Block);
        const double MaxStep =
            static_cast<double>(LargestStep(Points + First, Last - First + 1)) * static_cast<double>(RadiansPerOrvexUnit);
        const TChainBounds Box = ChainBounds(Points + First, Last - First + 1);
        Flags[B] = Prj.PlainLinesWithin(TPrjModel::TPointBox{Box.MinX, Box.MaxX, Box.MinY, Box.MaxY}, MaxStep);
        AnyPlain = AnyPlain || Flags[B];
    }
    return AnyPlain;
}

// Counts the pixel just written at PointBuffer[Count]: a full buffer is drawn (Flush) and the
// line goes on from its last point. True when it was.
template <class F>
bool CountPixel(int32_t& Count, F&& Flush) {
    if (++Count < MaxChainEntries) return false;
    const TPixelPoint Last = PointBuffer[Count - 1];
    Flush();
    PointBuffer[0] = Last;
    Count = 1;
    return true;
}

// Steps of a chain taken together for the question whether its lines need line points: the
// plain runs take 64, the walk fewer, since its chains are short (the graticule's) and the
// farther a block reaches from the azimuthal map's centre the less it is plain.
constexpr int32_t PlainBlock = 64, WalkBlock = 16;
}  // namespace

void TOrvex3::WalkPoints(TOrvexObject* Obj, bool Refine, uint8_t Clip, bool FindPlainSteps) {
    TPrjModel* Prj = FProjection.get();
    const int32_t N = Obj->GetPointCount();
    if (N < 2) return;
    // A graticule line: drawn from its record, or recorded for the next frames.
    TWalkRecords::TRecord* Record = Refine && Obj == FTempChain.get() ? FWalkRecord : nullptr;
    FWalkRecord = nullptr;
    if (Record && Record->Kept && ReplayWalk(*Record, Clip)) return;
    if (Record) FWalkRecords.Clear(*Record);
    uint8_t Pending = 0;
    // The steps of blocks whose lines the projection places point by point skip the line
    // points, which would give each next point alone: the same walk, fewer formulas.
    const TGeoDataObject* Geo = Obj->AsGeoData();
    const bool Plain =
        Refine && FindPlainSteps && Geo && Geo->Count() == N && FindPlain(*Prj, Geo->Points(), N, WalkBlock, FPlainBlocks);
    const TSeam S(Prj->CentralMeridian());
    int32_t Count = 0;
    auto Flush = [&] {
        PolylinePiece(Count, Clip);
        Count = 0;
        Pending = TWalkRecords::Break;
    };
    // Q at the end of the current piece; a point that is not placed (behind the sphere, say)
    // ends the piece.
    auto Place = [&](const TPoint3D& Q) {
        const bool Placed = Prj->PointToXY(Q, Count);
        if (Record && !FWalkRecords.Add(*Record, Q, uint8_t(Pending | (Placed ? TWalkRecords::Placed : 0))))
            Record = nullptr;
        Pending = 0;
        if (!Placed) {
            Flush();
            return false;
        }
        // The line goes on from the full buffer's last point: no break in the record.
        if (CountPixel(Count, Flush)) Pending = 0;
        return true;
    };
    // On from From to Q, the step to point I; true when Q itself was placed.
    auto Step = [&](const TPoint3D& From, const TPoint3D& Q, int32_t I) {
        if (!Refine || (Plain && I > 0 && FPlainBlocks[size_t((I - 1) / WalkBlock)])) return Place(Q);
        Prj->LinePoints(From, Q, FLinePoints);
        bool Placed = false;
        for (const TPrjModel::TLinePoint& L : FLinePoints) {
            if (L.Break) Flush();
            Placed = Place(L.Point);
        }
        return Placed && !FLinePoints.empty() && FLinePoints.back().Point == Q;
    };
    TPoint3D P = Obj->GetPoint(0);  // the last point placed
    TPoint3D From = P;              // where the step to the next point starts
    int PB = S.Band(P.X);
    for (int32_t I = 0; I < N; ++I) {
        const TPoint3D C = Obj->GetPoint(I);
        const int CB = S.Band(C.X);
        if (TSeam::Crosses(PB, CB)) {
            // (No plain block passes the seam.)
            const int32_t LatX = S.LatitudeAt(P, C);
            Step(From, TPoint3D{S.Offset(-PB), LatX, P.Z}, -1);
            Flush();
            From = TPoint3D{S.Offset(PB), LatX, P.Z};
            Step(From, From, -1);
        }
        PB = CB;
        if (Step(From, C, I)) P = C;
        From = C;
    }
    Flush();
    if (Record) Record->Kept = true;
}

bool TOrvex3::ReplayWalk(const TWalkRecords::TRecord& Record, uint8_t Clip) {
    const TPoint3D* Points = Record.Points.data();
    const int32_t N = int32_t(Record.Points.size());
    FWalkPixels.resize(2 * size_t(N));
    FWalkPlaced.resize(size_t(N));
    FProjection->PlacePoints(Points, N, FWalkPixels.data(), FWalkPlaced.data());
    // The walk goes as recorded only while every point is placed or not as it was then.
    for (int32_t I = 0; I < N; ++I)
        if (bool(FWalkPlaced[size_t(I)]) != bool(Record.Flags[size_t(I)] & TWalkRecords::Placed)) return false;
    int32_t Count = 0;
    auto Flush = [&] {
        PolylinePiece(Count, Clip);
        Count = 0;
    };
    for (int32_t I = 0; I < N; ++I) {
        if (Record.Flags[size_t(I)] & TWalkRecords::Break) Flush();
        if (!FWalkPlaced[size_t(I)]) {
            Flush();
            continue;
        }
        PointBuffer[Count] = TPixelPoint{FWalkPixels[2 * size_t(I)], FWalkPixels[2 * size_t(I) + 1]};
        CountPixel(Count, Flush);
    }
    Flush();
    return true;
}

bool TOrvex3::DrawPlainRuns(TOrvexObject* Obj) {
    TPrjModel* Prj = FProjection.get();
    const auto* Geo = Obj->AsGeoData();
    if (!Geo || Geo->Count() < 2) return false;
    const int32_t N = Geo->Count();
    const TPoint3D* Points = Geo->Points();
    // Steps in blocks: a block whose lines the projection places point by point is a plain
    // run, projected whole; the rest is walked. Neighbouring runs share their end point.
    constexpr int32_t Block = PlainBlock;
    const size_t Blocks = size_t((N - 2) / Block + 1);
    if (!FindPlain(*Prj, Points, N, Block, FPlainBlocks)) return false;
    if (!FSeamRun) FSeamRun.reset(NewTempChain());
    TGeoDataObject* Run = FSeamRun.get();
    const uint8_t Clip = Obj->ClipCode();
    auto Draw = [&](int32_t From, int32_t To, bool Plain) {
        const int32_t Count = To - From + 1;
        if (Count < 2) return;
        if (Run->Capacity() < Count) Run->SetCapacity(Count);
        Run->SetPointCount(Count);
        std::copy(Points + From, Points + To + 1, Run->Points());
        if (Plain) {
            ForEachPiece(Prj, Run, [&](int32_t N) { PolylinePiece(N, Clip); });
        } else {
            WalkPoints(Run, true, Clip, false);
        }
        Run->SetPointCount(0);
    };
    size_t Start = 0;
    for (size_t B = 1; B <= Blocks; ++B)
        if (B == Blocks || FPlainBlocks[B] != FPlainBlocks[Start]) {
            Draw(int32_t(Start) * Block, std::min(N - 1, int32_t(B) * Block), FPlainBlocks[Start]);
            Start = B;
        }
    return true;
}

bool TOrvex3::DrawSeamRuns(TOrvexObject* Obj) {
    TPrjModel* Prj = FProjection.get();
    const auto* Geo = Obj->AsGeoData();
    if (Prj->Seamless() || !Geo || Geo->Count() < 2) return false;
    const int32_t N = Geo->Count();
    const TPoint3D* Points = Geo->Points();
    // A point the projection does not place breaks the walk's line where a whole piece would
    // join across it: only chains inside the projection's extents go in pieces.
    const TChainBounds B = ChainBounds(Points, N);
    const TPrjExtents& E = Prj->Extents();
    if (B.MinX + 1 < E.MinLongitude || B.MaxX - 1 > E.MaxLongitude || B.MinY + 1 < E.MinLatitude ||
        B.MaxY - 1 > E.MaxLatitude)
        return false;
    if (!FSeamRun) FSeamRun.reset(NewTempChain());
    TGeoDataObject* Run = FSeamRun.get();
    const uint8_t Clip = Obj->ClipCode();
    auto Append = [Run](const TPoint3D& P) { AppendPoint(Run, P.X, P.Y, P.Z); };
    auto Draw = [&] {
        if (Run->GetPointCount() >= 2) {
            ForEachPiece(Prj, Run, [&](int32_t N) { PolylinePiece(N, Clip); });
        }
        Run->SetPointCount(0);
    };
    // As the walk splits it: the piece before a crossing ends on the seam and the next one
    // starts there on the other side.
    const TSeam S(Prj->CentralMeridian());
    Run->SetPointCount(0);
    TPoint3D P = Points[0];
    int PB = S.Band(P.X);
    Append(P);
    for (int32_t I = 1; I < N; ++I) {
        const TPoint3D C = Points[I];
        const int CB = S.Band(C.X);
        if (TSeam::Crosses(PB, CB)) {
            const int32_t LatX = S.LatitudeAt(P, C);
            Append(TPoint3D{S.Offset(-PB), LatX, P.Z});
            Draw();
            Append(TPoint3D{S.Offset(PB), LatX, P.Z});
        }
        PB = CB;
        Append(C);
        P = C;
    }
    Draw();
    return true;
}

// Projects the whole chain of Obj, in pieces when it needs more entries than PointBuffer
// holds, and fills it as one polygon.
void TOrvex3::FillChain(TOrvexObject* Obj, uint8_t ClipCode) {
    TPrjModel* Prj = FProjection.get();
    int32_t Resume = 0;
    const int32_t First = Prj->ProjectChain(Obj, Resume);
    if (Resume < 0) {
        if (First > 2) FCanvas->PolygonBuffer(First, ClipCode);
        return;
    }
    FBigPolygon.assign(PointBuffer, PointBuffer + First);
    while (Resume >= 0) {
        const int32_t N = Prj->ProjectChain(Obj, Resume);
        // Each further piece starts with the last entry of the one before.
        if (N > 1) FBigPolygon.insert(FBigPolygon.end(), PointBuffer + 1, PointBuffer + N);
    }
    if (FBigPolygon.size() > 2)
        FCanvas->PolygonPoints(FBigPolygon.data(), static_cast<int32_t>(FBigPolygon.size()), ClipCode);
}

namespace {

// A ring around a pole encloses the cap on the side of its mean latitude (the south when
// that is 0), as on the sphere: the latitude its detours run along.
int32_t PoleLatitudeOf(const TOrvexObject& Obj) {
    int64_t LatSum = 0;
    for (int32_t I = 0, N = Obj.GetPointCount(); I < N; ++I) LatSum += Obj.GetPoint(I).Y;
    return LatSum > 0 ? PoleRunLatitude : -PoleRunLatitude;
}

// A ring around a pole that meets the seam at LatX, coming from band PB: along the seam to
// the pole latitude, once round, and back.
void AppendPoleDetour(TGeoDataObject* Part, const TSeam& S, int PB, int32_t LatX, int32_t PoleLat, int32_t Z) {
    AppendPoint(Part, S.Offset(-PB), LatX, Z);
    AppendPoint(Part, S.Offset(-PB), PoleLat, Z);
    int32_t Lon = S.Offset(-int64_t(PB) * 54000000);
    for (int Guard = 0; Lon != S.Seam && Guard < 100; ++Guard) {
        AppendPoint(Part, Lon, PoleLat, Z);
        Lon = NormalizeLongitude(int64_t(Lon) - int64_t(PB) * 54000000);
    }
    AppendPoint(Part, S.Offset(PB), PoleLat, Z);
    AppendPoint(Part, S.Offset(PB), LatX, Z);
}

// A ring that meets the seam at LatX: East ends at the east edge of the map, West starts at
// the west edge.
void AppendSeamCrossing(TGeoDataObject* East, TGeoDataObject* West, const TSeam& S, int32_t LatX, int32_t Z) {
    const int32_t EastEdge = S.Offset(-1), WestEdge = S.Offset(1);
    const int32_t EN = East->GetPointCount();
    int64_t From = LatX, Steps = 0, Step = 0;
    if (EN > 0 && NormalizeLongitude(int64_t(East->Points()[EN - 1].X) + 1) == S.Seam) {
        // East left the map here and West came in: both follow the map edge a degree at a
        // time, East onwards to where it comes back, West back from where it leaves to where
        // it came in, so that neither cuts across.
        From = East->Points()[EN - 1].Y;
        Step = LatX > From ? OrvexUnits::PerDegree : -OrvexUnits::PerDegree;
        while (std::llabs(From + Steps * Step - LatX) > OrvexUnits::PerDegree) ++Steps;
    }
    for (int64_t K = 1; K <= Steps; ++K) AppendPoint(East, EastEdge, static_cast<int32_t>(From + K * Step), Z);
    AppendPoint(East, EastEdge, LatX, Z);
    AppendPoint(West, WestEdge, LatX, Z);
    for (int64_t K = Steps; K >= 1; --K) AppendPoint(West, WestEdge, static_cast<int32_t>(From + K * Step), Z);
}

}  // namespace

void TOrvex3::PaintPolygon(TOrvexObject* Obj) {
    if (!Obj) return;
    if (!Obj->HasState(osExtentsValid)) Obj->CalcExtents();
    if (DrawnFromCopy(Obj, &TOrvex3::DrawPolygon)) return;
    DrawPolygon(Obj);
}

void TOrvex3::DrawPolygon(TOrvexObject* Obj) {
    TDeviceContext* DC = FCanvas->DC();
    if (BackSidePass) {
        DC->SelectObject(FTransparentBrush.Handle());
        DC->SelectObject(FTransparentPen.Handle());
    }
    TPrjModel* Prj = FProjection.get();
    const bool Split = !Prj->Seamless() && Obj->HasState(osWrapsMeridian | osCrossesDateLine | osOddCrossings);
    // A ring cut at a flat map's seam, or closed along it or through a pole, is filled
    // without a pen and outlined by its own edges alone: neither the map's edge nor the
    // seam's edges are drawn as coast.
    if (Split || HasSeamEdges(Obj)) {
        const HGDIOBJ Pen = DC->CurrentPen();
        DC->SelectObject(GetStockObject(NULL_PEN));
        FillRing(Obj, Split);
        DC->SelectObject(Pen);
        OutlineRing(Obj);
        return;
    }
    FillChain(Obj, Obj->ClipCode());
}

bool TOrvex3::HasSeamEdges(TOrvexObject* Obj) const {
    const int32_t N = Obj->GetPointCount();
    if (N < 2 || !ReachesSeamOrPole(Obj->Extents())) return false;
    TPoint3D Prev = Obj->GetPoint(N - 1);
    for (int32_t I = 0; I < N; ++I) {
        const TPoint3D Q = Obj->GetPoint(I);
        if (IsSeamEdge(Prev, Q)) return true;
        Prev = Q;
    }
    return false;
}

void TOrvex3::OutlineRing(TOrvexObject* Obj) {
    const int32_t N = Obj->GetPointCount();
    if (N < 2) return;
    if (!FOutline) FOutline.reset(NewTempChain());
    TGeoDataObject* Run = FOutline.get();
    const TExtent* Extent = Obj->HasState(osBackSide) && Obj->HasState(osFrontSide) ? nullptr : &Obj->Extents();
    // On a flat map a ring that neither wraps the seam nor needs the projection's line points
    // is outlined the way its fill was projected, in whole pieces, rather than point by point.
    TPrjModel* Prj = FProjection.get();
    const bool Whole = Extent && !Prj->Seamless() && !Prj->NeedsLinePoints(Extent) &&
                       !Obj->HasState(osWrapsMeridian | osCrossesDateLine | osOddCrossings);
    const uint8_t Clip = Obj->ClipCode();
    auto Draw = [&] {
        if (Run->GetPointCount() >= 2) {
            if (Whole) {
                ForEachPiece(Prj, Run, [&](int32_t N) { PolylinePiece(N, Clip); });
            } else {
                WalkPolyline(Run, Extent);
            }
        }
        Run->SetPointCount(0);
    };
    auto Append = [Run](const TPoint3D& P) { AppendPoint(Run, P.X, P.Y, P.Z); };
    // From a seam edge's end round the ring, so that a run of coast is drawn as one line;
    // a ring without one starts and ends at its first point.
    int32_t Start = 0;
    for (int32_t I = 0; I < N; ++I)
        if (IsSeamEdge(Obj->GetPoint((I + N - 1) % N), Obj->GetPoint(I))) {
            Start = I;
            break;
        }
    Run->SetPointCount(0);
    Append(Obj->GetPoint(Start));
    for (int32_t K = 1; K <= N; ++K) {
        const TPoint3D A = Obj->GetPoint((Start + K - 1) % N), B = Obj->GetPoint((Start + K) % N);
        if (IsSeamEdge(A, B)) Draw();
        Append(B);
    }
    Draw();
}

void TOrvex3::FillRing(TOrvexObject* Obj, bool Split) {
    if (!Split) {
        FillChain(Obj, Obj->ClipCode());
        return;
    }
    TPrjModel* Prj = FProjection.get();
    const int32_t N = Obj->GetPointCount();
    if (N < 3) return;
    if (!FEast) FEast.reset(NewTempChain());
    if (!FWest) FWest.reset(NewTempChain());
    TGeoDataObject* East = FEast.get();
    TGeoDataObject* West = FWest.get();
    East->SetPointCount(0);
    West->SetPointCount(0);
    const bool Odd = Obj->HasState(osOddCrossings);
    const int32_t PoleLat = Odd ? PoleLatitudeOf(*Obj) : -PoleRunLatitude;
    const TSeam S(Prj->CentralMeridian());
    TPoint3D P = Obj->GetPoint(N - 1);
    int PB = S.Band(P.X);
    TGeoDataObject* Current = (Odd || PB >= 0) ? East : West;
    for (int32_t I = 0; I < N; ++I) {
        const TPoint3D C = Obj->GetPoint(I);
        const int CB = S.Band(C.X);
        if (TSeam::Crosses(PB, CB)) {
            const int32_t LatX = S.LatitudeAt(P, C);
            if (Odd) {
                AppendPoleDetour(East, S, PB, LatX, PoleLat, P.Z);
            } else {
                AppendSeamCrossing(East, West, S, LatX, P.Z);
                Current = Current == East ? West : East;
            }
        }
        AppendPoint(Current, C.X, C.Y, C.Z);
        P = C;
        PB = CB;
    }
    FillChain(East, 255);
    FillChain(West, 255);
}

bool TOrvex3::PrintAborted() const { return FPrinter && FPrinter->printerState() == QPrinter::Aborted; }

void TOrvex3::Print(QPrinter& Printer) { Print(Printer, TPrintOptions{}); }

void TOrvex3::Print(QPrinter& Printer, const TPrintOptions& Options) {
    RefuseWhileRendering();
    Printer.setDocName("TOrvex3 Print");
    const QRect Page = Printer.pageLayout().paintRectPixels(Printer.resolution());
    int32_t Left = 0, Top = 0, Width = Page.width(), Height = Page.height();
    const int32_t ViewW = FCanvas->Width(), ViewH = FCanvas->Height();
    if (Options.FitToPage && ViewW > 0 && ViewH > 0 && Width > 0 && Height > 0) {
        // Resizing scales the view by the change of its diagonal: the same shape keeps it whole.
        const long double F =
            std::min(static_cast<long double>(Width) / ViewW, static_cast<long double>(Height) / ViewH);
        const int32_t W = std::clamp<int32_t>(RoundSaturate(ViewW * F), 1, Width);
        const int32_t H = std::clamp<int32_t>(RoundSaturate(ViewH * F), 1, Height);
        Left = (Width - W) / 2;
        Top = (Height - H) / 2;
        Width = W;
        Height = H;
    }
    FPrinter = &Printer;
    FPrintBackground = Options.Background;
    try {
        RenderToPrinter(Left, Top, Height, Width);
    } catch (...) {
        FPrintBackground = false;
        throw;
    }
    FPrintBackground = false;
}

void TOrvex3::PrintRect(QPrinter& Printer, const TOrvexRect& Rect) {
    RefuseWhileRendering();
    Printer.setDocName("TOrvex3 Print");
    FPrinter = &Printer;
    // Rect holds Left, Top, Right and Bottom here.
    RenderToPrinter(Rect.Left, Rect.Top, Rect.Height - Rect.Top, Rect.Width - Rect.Left);
}

void TOrvex3::RenderToPrinter(int32_t Left, int32_t Top, int32_t Height, int32_t Width) {
    if (!FPrinter) return;
    QPrinter* Printer = FPrinter;
    const int32_t ScreenW = FCanvas->Width(), ScreenH = FCanvas->Height(), ScreenPpi = FCanvas->PixelsPerInch();
    std::exception_ptr Failure;
    bool Complete = false, Stopped = false;
    const TRenderRun Run(*this);
    {
        TPrintOutput Output(*Printer);
        QPainter Painter;
        if (!Painter.begin(Printer)) {
            FPrinter = nullptr;
            throw EOrvexException("Print: the printer could not be started");
        }
        THourglass Hourglass;
        try {
            FCanvas->SetSize(Width, Height, Printer->resolution());
            FCanvas->RedirectTo(&Painter);
            FCanvas->DC()->SetViewportOrg(Left, Top);
            // Of the background only the texture is printed, at the printer's resolution,
            // unless the whole background is asked for.
            if (FPrintBackground)
                DrawBackground();
            else if (FTextureBackground && !FTransparentOrvex && FProjection->TextureCapable())
                FProjection->PaintTexture();
            RenderLayers();
            if (!RenderStopped()) RenderAnimated();
        } catch (...) {
            Failure = std::current_exception();
        }
        FCanvas->RedirectToImage();
        FCanvas->SetSize(ScreenW, ScreenH, ScreenPpi);
        UiServices().ProcessMessages();
        Stopped = RenderStopped();
        Complete = !Failure && !Stopped && (!Painter.isActive() || Painter.end());
        Hourglass.Release();
        if (Complete) Complete = Output.Commit();
    }
    FPrinter = nullptr;
    RequestRender();
    if (Failure) std::rethrow_exception(Failure);
    if (!Complete && !Stopped) throw EOrvexException("Print: the output could not be written");
}
