#include "model/OrvexObject.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/OrvexLayer.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
int32_t Clamp32(int64_t V) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void RemoveLast(std::vector<TOrvexObject*>& List, const TOrvexObject* Obj) {
    auto It = std::find(List.rbegin(), List.rend(), Obj);
    if (It != List.rend()) List.erase(std::next(It).base());
}

const std::vector<std::string> NoNames;
}  // namespace

// ---------------------------------------------------------------------------------------
// TOrvexObject

const TClassInfo& TOrvexObject::StaticClassInfo() {
    using O = TOrvexObject;
    static const TClassInfo Info{
        "TOrvexObject",
        &TOrvexPersistent::StaticClassInfo(),
        {},
        {
            MakeProp<O>("FeatureID", TPropKind::Integer, "Smallint", [](const O& o) { return o.FeatureID(); },
                        [](O& o, int16_t v) { o.SetFeatureID(v); }),
            MakeProp<O>("Hidden", TPropKind::Enumeration, "Boolean", [](const O& o) { return o.Hidden(); },
                        [](O& o, bool v) { o.SetHidden(v); }, {"False", "True"}),
            MakeProp<O>("ID", TPropKind::Integer, "Integer", [](const O& o) { return o.ID(); },
                        [](O& o, int32_t v) { o.SetID(v); }),
            MakeProp<O>("Index", TPropKind::Integer, "Integer", [](const O& o) { return o.Index(); },
                        [](O& o, int32_t v) { o.SetIndex(v); }),
            MakeProp<O>("Presenter", TPropKind::Class, "TOrvexPresenter",
                        [](const O& o) { return o.Presenter(); },
                        [](O& o, TOrvexPresenter* v) { o.SetPresenter(v); }),
            MakeProp<O>("RowID", TPropKind::Integer, "Integer", [](const O& o) { return o.RowID(); },
                        [](O& o, int32_t v) { o.SetRowID(v); }),
            MakeProp<O>("Selected", TPropKind::Enumeration, "Boolean", [](const O& o) { return o.Selected(); },
                        [](O& o, bool v) { o.SetSelected(v); }, {"False", "True"}),
            MakeProp<O>("Title", TPropKind::String, "String", [](const O& o) { return o.Title(); },
                        [](O& o, std::string v) { o.SetTitle(v); }),
            MakeProp<O>("Value", TPropKind::Float, "Double", [](const O& o) { return o.Value(); },
                        [](O& o, double v) { o.SetValue(v); }),
            MakeProp<O>("ZoomMax", TPropKind::Integer, "Integer", [](const O& o) { return o.ZoomMax(); },
                        [](O& o, int32_t v) { o.SetZoomMax(v); }),
            MakeProp<O>("ZoomMin", TPropKind::Integer, "Integer", [](const O& o) { return o.ZoomMin(); },
                        [](O& o, int32_t v) { o.SetZoomMin(v); }),
        }};
    return Info;
}

const TClassInfo& TOrvexObject::ClassInfo() const { return StaticClassInfo(); }

TOrvexObject::TOrvexObject(TOrvexLayer* Layer) : TOrvexPersistent(Layer) {}

void TOrvexObject::LinkToLayer() {
    if (!FLayer) return;
    FLayer->Objects().push_back(this);
    FLayer->SetIsLoaded(true);
    FLayer->SetExtents(TExtent{});
    TOrvex3* V = View();
    if (V && V->OnObjectCreate) V->OnObjectCreate(V, this);
}

TOrvexObject::~TOrvexObject() {
    if (FLayer) {
        TOrvex3* V = View();
        if (V) {
            V->RequestRepaint();
            RemoveLast(V->Selection(), this);
            if (HasState(osSelected)) SetSelected(false);
        }
        RemoveFromLayerList();
        if (V && V->OnObjectFree) V->OnObjectFree(V, this);
    }
}

void TOrvexObject::RemoveFromLayerList() {
    if (FLayer) RemoveLast(FLayer->Objects(), this);
}

TOrvex3* TOrvexObject::View() const { return FLayer ? FLayer->View() : nullptr; }

void TOrvexObject::AttachPresenter(TOrvexPresenter* P) {
    if (!P || P == FPresenter || !P->Accepts(*this)) return;
    FPresenter = P;
    FFeatureID = P->FeatureID();
    Invalidate();
}

void TOrvexObject::SetSelected(bool Value) {
    if (Value == Selected()) return;
    IncludeState(osRetest);
    TOrvex3* V = View();
    if (Value) {
        IncludeState(osSelected);
        if (V) V->Selection().push_back(this);
    } else {
        ExcludeState(osSelected);
        if (V) RemoveLast(V->Selection(), this);
    }
    DoObjectSelect();
    if (V) V->RequestRender();
}

void TOrvexObject::SetHidden(bool Value) {
    if (Value == Hidden()) return;
    if (Value)
        IncludeState(osHidden);
    else
        ExcludeState(osHidden);
    IncludeState(osRetest);
    if (TOrvex3* V = View()) V->RequestRender();
}

int32_t TOrvexObject::Index() const { return FLayer ? FLayer->IndexOfObject(this) : -1; }

void TOrvexObject::SetIndex(int32_t NewIndex) {
    const int32_t Old = Index();
    if (Old < 0 || NewIndex < 0 || NewIndex >= FLayer->ObjectCount())
        throw EOrvexException("TOrvexObject.SetIndex: Bad position");
    if (NewIndex == Old) return;
    auto& List = FLayer->Objects();
    if (NewIndex > Old)
        std::rotate(List.begin() + Old, List.begin() + Old + 1, List.begin() + NewIndex + 1);
    else
        std::rotate(List.begin() + NewIndex, List.begin() + Old, List.begin() + Old + 1);
    if (TOrvex3* V = View()) V->RequestRender();
}

void TOrvexObject::SetLayer(TOrvexLayer* NewLayer) {
    if (NewLayer == FLayer) return;
    TOrvex3* OldView = View();
    TOrvex3* NewView = NewLayer ? NewLayer->View() : nullptr;
    // The selection list belongs to the old view; an object leaving it leaves the selection.
    if (OldView && OldView != NewView && Selected()) SetSelected(false);
    if (NewLayer) NewLayer->Objects().reserve(NewLayer->Objects().size() + 1);
    RemoveFromLayerList();
    if (NewLayer) NewLayer->Objects().push_back(this);
    FLayer = NewLayer;

    TOrvexPresenter* P = FPresenter;
    TOrvexLayer* Global = NewView ? NewView->GlobalLayer() : nullptr;
    if (P && P->Layer() != Global) {
        if (NewLayer) {
            AttachPresenter(NewLayer->FindPresenter(P->Name(), P->FeatureID()));
            // A presenter found in the new layer or the global layer already serves the
            // object there; only a presenter of another layer is copied across.
            TOrvexPresenter* Current = FPresenter;
            if (Current->Layer() != NewLayer && Current->Layer() != Global && Current->ClassInfo().Create) {
                auto* Copy = static_cast<TOrvexPresenter*>(Current->ClassInfo().Create(NewLayer));
                Copy->CopyFrom(Current);
                AttachPresenter(Copy);
            }
        } else {
            // Without a layer nothing keeps the old layer's presenter alive for the object.
            DetachPresenter();
        }
    }
    Invalidate();
}

void TOrvexObject::CopyFrom(const TPersistent* Source) {
    TOrvexPersistent::CopyFrom(Source);
    const auto* S = dynamic_cast<const TOrvexObject*>(Source);
    if (!S) return;
    AttachPresenter(S->FPresenter);
    FTitle = S->FTitle;
    FID = S->FID;
    FRowID = S->FRowID;
    FValue = S->FValue;
    FExtents = S->FExtents;
    FState = S->FState;
}

bool TOrvexObject::IsVisibleIn(TOrvex3& View) {
    if (FZoomMin == FZoomMax) return true;
    const int32_t A = View.Altitude();
    return FZoomMin < A && A <= FZoomMax;
}

void TOrvexObject::Delete() { delete this; }

void TOrvexObject::Invalidate() {
    ExcludeState(osExtentsValid);
    TOrvex3* V = View();
    if (!V || FLayer->Updating()) return;
    if (FLayer->Animated())
        V->RequestRepaint();
    else
        V->RequestRender();
}

void TOrvexObject::Render() {
    if (FPresenter) FPresenter->Render(*this);
}

void TOrvexObject::MoveBy(int32_t, int32_t) {}

void TOrvexObject::CalcExtents() {
    FCache3D.reset();
    if (!FLayer) return;
    const int32_t N = GetPointCount();
    if (N <= 1) {
        const TOrvex3* V = View();
        const long double Scale = V ? V->GetScaleFactor() : 0;
        // Three pixels at the current scale; a degenerate scale gives the widest box that
        // still fits the extent fields.
        long double Three = Scale > 0 ? 3.0L / Scale : std::numeric_limits<int32_t>::max();
        Three = std::min<long double>(Three, std::numeric_limits<int32_t>::max());
        const int64_t H = RoundEven(Three) / 2;
        const TPoint3D P = GetPoint(0);
        FExtents = TExtent{Clamp32(int64_t(P.X) - H), Clamp32(int64_t(P.Y) - H), Clamp32(2 * H), Clamp32(2 * H)};
    } else {
        int64_t MinX = 2147483647, MinY = 2147483647, MaxX = -2147483647, MaxY = -2147483647;
        int64_t MinPositiveX = std::numeric_limits<int64_t>::max();
        int64_t MaxNegativeX = std::numeric_limits<int64_t>::min();
        int Crossings = 0;
        // Recounted from the current points: an edited chain may no longer cross.
        ExcludeState(osCrossesDateLine | osOddCrossings);
        CrossesDateLine(GetPoint(N - 1).X);
        for (int32_t I = 0; I < N; ++I) {
            const TPoint3D P = GetPoint(I);
            if (CrossesDateLine(P.X)) ++Crossings;
            if (P.X < MinX) MinX = int64_t(P.X) - 1;
            if (P.X > MaxX) MaxX = int64_t(P.X) + 1;
            if (P.Y < MinY) MinY = int64_t(P.Y) - 1;
            if (P.Y > MaxY) MaxY = int64_t(P.Y) + 1;
            if (P.X >= 0)
                MinPositiveX = std::min<int64_t>(MinPositiveX, P.X);
            else
                MaxNegativeX = std::max<int64_t>(MaxNegativeX, P.X);
        }
        if (Crossings > 0) IncludeState(osCrossesDateLine);
        if (Crossings % 2 == 1) IncludeState(osOddCrossings);
        int64_t Left = MinX, Width = MaxX - MinX;
        if (Crossings > 0 && MinPositiveX != std::numeric_limits<int64_t>::max() &&
            MaxNegativeX != std::numeric_limits<int64_t>::min()) {
            // West edge: the smallest eastern longitude; east edge: the largest western one,
            // reached by running east past +180 degrees.
            Left = MinPositiveX - 1;
            Width = OrvexUnits::Deg360 + (MaxNegativeX + 1) - Left;
        }
        FExtents = TExtent{Clamp32(Left), Clamp32(MinY), Clamp32(Width), Clamp32(MaxY - MinY)};
    }
    if (FPresenter) FPresenter->AdjustExtents(*this);
    IncludeState(osExtentsValid);
}

void TOrvexObject::DoObjectSelect() {
    TOrvex3* V = View();
    if (V && V->OnObjectSelect) V->OnObjectSelect(V, this);
}

int TOrvexObject::ExtentHit(const TPoint3D& Point) {
    if (HasState(osHidden)) return 0;
    if (!HasState(osExtentsValid)) {
        ExcludeState(osSubPixel | osInView | osBackSide | osFrontSide);
        CalcExtents();
    }
    const int64_t Bottom = FExtents.Bottom;
    if (Point.Y < Bottom || Point.Y >= Bottom + FExtents.Height) return 0;
    const int64_t Left = FExtents.Left;
    const int64_t R = Left + FExtents.Width;
    if (R <= OrvexUnits::Deg180) return (Left <= Point.X && Point.X < R) ? 3 : 0;
    if (Left <= Point.X && Point.X < OrvexUnits::Deg180) return 2;
    if (-OrvexUnits::Deg180 <= Point.X && Point.X < NormalizeLongitude(R)) return 1;
    return 0;
}

bool TOrvexObject::ContainsPoint(const TPoint3D& Point) {
    const int R = ExtentHit(Point);
    if (R > 0 && FPresenter) return FPresenter->HitTest(*this, Point);
    return R > 0;
}

TPoint3D TOrvexObject::Centroid() const {
    return TPoint3D{NormalizeLongitude(int64_t(FExtents.Left) + FExtents.Width / 2),
                    Clamp32(int64_t(FExtents.Bottom) + FExtents.Height / 2), 0};
}

// ---------------------------------------------------------------------------------------
// TGeoDataObject

const TClassInfo& TGeoDataObject::StaticClassInfo() {
    static const TClassInfo Info{"TGeoDataObject", &TOrvexObject::StaticClassInfo(),
                                 [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
                                 {}};
    return Info;
}

const TClassInfo& TGeoDataObject::ClassInfo() const { return StaticClassInfo(); }

TGeoDataObject::~TGeoDataObject() { ClearPoints(); }

void TGeoDataObject::SetPointCount(int32_t NewCount) { FChain.SetCount(NewCount); }

void TGeoDataObject::PutPoint(int32_t Index, const TPoint3D& Point) {
    FChain.Put(Index, Point);
    Invalidate();
}

void TGeoDataObject::SetPoints(const TPoint3D* Source, int32_t Count) {
    if (Count < FChain.Count()) FChain.SetCount(Count);
    FChain.SetCapacity(Count);
    FChain.SetCount(Count);
    if (Count > 0) std::copy(Source, Source + Count, FChain.Points());
    Invalidate();
}

int32_t TGeoDataObject::AddPoint(const TPoint3D& Point) {
    const int32_t Index = FChain.Add(Point);
    Invalidate();
    return Index;
}

void TGeoDataObject::InsertPoint(int32_t Index, const TPoint3D& Point) {
    FChain.Insert(Index, Point);
    Invalidate();
}

void TGeoDataObject::DeletePoint(int32_t Index) {
    FChain.Delete(Index);
    Invalidate();
}

bool TGeoDataObject::IsVisibleIn(TOrvex3& View) {
    if (!TOrvexObject::IsVisibleIn(View)) return false;
    TPrjModel* Prj = View.ProjectionModel();
    return Prj && Prj->IsExtentVisible(Extents(), this, ClipCodeRef());
}

void TGeoDataObject::Render() {
    if (Presenter()) {
        TOrvexObject::Render();
        return;
    }
    TOrvex3* V = View();
    const int32_t N = FChain.Count();
    if (!V || N == 0) return;
    TDeviceContext* DC = V->Canvas()->DC();
    if (Selected()) {
        DC->SelectObject(V->SelectedPen().Handle());
    } else {
        const TOrvexPen* Pen = V->DefaultPen();
        DC->SelectObject(CreatePen(Pen->PenStyle(), Pen->PenWidth(), ColorToRGB(Pen->PenColor())));
    }
    if (N >= 2) {
        V->PaintPolyline(this);
    } else if (V->ProjectionModel()->PointToXY(FChain.Get(0), 0)) {
        const TPixelPoint P = PointBuffer[0];
        DC->Ellipse(P.X - 3, P.Y - 3, P.X + 3, P.Y + 3);
    }
}

void TGeoDataObject::MoveBy(int32_t DLongitude, int32_t DLatitude) {
    if (DLongitude != 0 || DLatitude != 0) {
        // In place: one invalidation for the whole chain instead of one per point.
        TPoint3D* P = FChain.Points();
        for (int32_t I = 0, N = FChain.Count(); I < N; ++I)
            P[I] = TPoint3D{NormalizeLongitude(int64_t(P[I].X) + DLongitude), Clamp32(int64_t(P[I].Y) + DLatitude),
                            P[I].Z};
    }
    Invalidate();
}

TPoint3D TGeoDataObject::Centroid() const {
    const int32_t N = FChain.Count();
    if (N == 0) return TPoint3D{};
    long double SumX = 0, SumY = 0;
    const TPoint3D* P = FChain.Points();
    for (int32_t I = 0; I < N; ++I) {
        SumX += P[I].X;
        SumY += P[I].Y;
    }
    return MakePoint(RoundEven(SumX / N), Clamp32(RoundEven(SumY / N)));
}

void TGeoDataObject::CopyFrom(const TPersistent* Source) {
    TOrvexObject::CopyFrom(Source);
    const auto* S = dynamic_cast<const TGeoDataObject*>(Source);
    if (!S || S == this) return;
    const int32_t N = S->FChain.Count();
    SetPointCount(N);
    SetClipCode(S->ClipCode());
    std::copy(S->FChain.Points(), S->FChain.Points() + N, FChain.Points());
    if (N > 0) Invalidate();
}

// ---------------------------------------------------------------------------------------
// TSinglePointObject

const TClassInfo& TSinglePointObject::StaticClassInfo() {
    static const TClassInfo Info{"TSinglePointObject", &TOrvexObject::StaticClassInfo(),
                                 [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
                                 {}};
    return Info;
}

const TClassInfo& TSinglePointObject::ClassInfo() const { return StaticClassInfo(); }

void TSinglePointObject::SetPoint(const TPoint3D& Point) {
    FPoint = Point;
    Invalidate();
}

bool TSinglePointObject::IsVisibleIn(TOrvex3& View) {
    if (!TOrvexObject::IsVisibleIn(View)) return false;
    TPrjModel* Prj = View.ProjectionModel();
    if (!Prj) return false;
    const TExtent& E = Extents();
    const int64_t Right = int64_t(E.Left) + E.Width, Top = int64_t(E.Bottom) + E.Height;
    const int64_t Corners[4][2] = {{E.Left, E.Bottom}, {Right, E.Bottom}, {Right, Top}, {E.Left, Top}};
    int32_t Placed = 0;
    for (const auto& C : Corners)
        if (Prj->LLToXY(NormalizeLongitude(C[0]), Clamp32(C[1]), Placed)) ++Placed;
    if (Placed == 0) return false;
    IncludeState(osFrontSide);
    return View.ComputeClipCode(Placed, ClipCodeRef());
}

void TSinglePointObject::MoveBy(int32_t DLongitude, int32_t DLatitude) {
    SetPoint(MakePoint(int64_t(FPoint.X) + DLongitude, Clamp32(int64_t(FPoint.Y) + DLatitude)));
    Invalidate();
}

void TSinglePointObject::CopyFrom(const TPersistent* Source) {
    TOrvexObject::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TSinglePointObject*>(Source)) SetPoint(S->FPoint);
}
