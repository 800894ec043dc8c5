#include "model/OrvexObject.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <strings.h>

#include "kernels/Prefetch.h"
#include "model/ChainDetail.h"
#include "model/ExtentRefresh.h"
#include "model/OrvexLayer.h"
#include "platform/PointBuffer.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
void RemoveLast(std::vector<TOrvexObject*>& List, const TOrvexObject* Obj) {
    auto It = std::find(List.rbegin(), List.rend(), Obj);
    if (It != List.rend()) List.erase(std::next(It).base());
}

// Any longitude wrapped into [-180, 180) degrees.
int32_t WrapLongitude(int64_t Value) {
    int64_t V = (Value + OrvexUnits::Deg180) % OrvexUnits::Deg360;
    if (V < 0) V += OrvexUnits::Deg360;
    return static_cast<int32_t>(V - OrvexUnits::Deg180);
}

// Walks the chain of Obj (N >= 1 points) as a closed ring the way the date-line detector sees
// it: a step that the detector counts as a crossing goes over +-180 degrees, the short way
// round, any other step goes straight. Visit(I, Point, U) gets each point with its longitude
// unwrapped from the first point's, and once more (I = N) the first point at the ring's
// close. Returns the number of crossings.
template <class F, class Get>
int WalkUnwrappedWith(int32_t N, F& Visit, Get PointAt) {
    // The date-line detector's rule, with its quadrant kept here: the walk runs over every point.
    auto Quadrant = [](int32_t Longitude) { return Longitude / OrvexUnits::Deg90; };
    int32_t Prev = PointAt(N - 1).X;
    int PrevQuadrant = Quadrant(Prev);
    int Crossings = 0;
    int64_t U = 0;
    for (int32_t I = 0; I <= N; ++I) {
        const TPoint3D P = PointAt(I == N ? 0 : I);
        // At I = N this repeats the closing step, already counted at I = 0.
        const int Q = Quadrant(P.X);
        const bool Crosses = (Q < 0 && PrevQuadrant > 0) || (Q > 0 && PrevQuadrant < 0);
        PrevQuadrant = Q;
        if (I == 0) {
            U = P.X;
        } else {
            int64_t Step = int64_t(P.X) - Prev;
            if (Crosses) Step += Step < 0 ? OrvexUnits::Deg360 : -int64_t(OrvexUnits::Deg360);
            U += Step;
        }
        if (Crosses && I < N) ++Crossings;
        Visit(I, P, U);
        Prev = P.X;
    }
    // The detector is left as the point-by-point walk leaves it.
    CrossesDateLine(PointAt(0).X);
    return Crossings;
}

}  // namespace

bool PlainChainBounds(const TPoint3D* Points, int32_t N, TChainBounds& Bounds) {
    const TChainBounds B = ChainBounds(Points, N);
    // A step can cross only between points east of 90 degrees and points west of -90.
    if (B.MaxX >= OrvexUnits::Deg90 && B.MinX <= -OrvexUnits::Deg90) {
        int32_t Prev = Points[N - 1].X;
        for (int32_t I = 0; I < N; ++I) {
            if (TChainBounds::Crosses(Prev, Points[I].X)) return false;
            Prev = Points[I].X;
        }
    }
    Bounds = B;
    return true;
}

// The memory goal of a layer counts 160 bytes an object.
static_assert(sizeof(void*) != 8 || sizeof(std::string) != 32 || sizeof(TGeoDataObject) <= 160);

TBoundingCap ExtentCap(const TExtent& E) {
    TBoundingCap Cap;
    Cap.Reach = 4;
    // Objects' extents: anything wider or stranger is left to the samples.
    constexpr int32_t Half = OrvexUnits::Deg180;
    if (E.Width < 0 || E.Height < 0 || E.Width > Half || E.Height > Half || E.Left < -Half || E.Left > Half ||
        E.Bottom < -Half || E.Bottom > Half)
        return Cap;
    constexpr double K = static_cast<double>(RadiansPerOrvexUnit);
    const double West = (double(E.Left) - 1) * K, East = (double(E.Left) + E.Width) * K;
    const double South = double(E.Bottom) * K, North = (double(E.Bottom) + E.Height) * K;
    const double Lon = (West + East) / 2, Lat = (South + North) / 2;
    const double CosLat = std::cos(Lat);
    // From any point along its meridian to the centre's parallel, then along the parallel to
    // the centre: a path on the sphere, no shorter than the straight line.
    const double Arc = (North - South) / 2 + (East - West) / 2 * std::fabs(CosLat);
    const double U[3] = {CosLat * std::sin(Lon), std::sin(Lat), CosLat * std::cos(Lon)};
    const float C[3] = {static_cast<float>(U[0]), static_cast<float>(U[1]), static_cast<float>(U[2])};
    double Off = 0;
    for (int I = 0; I < 3; ++I) Off += (C[I] - U[I]) * (C[I] - U[I]);
    // The floats' distance from the centre, and room for the last bits of the functions.
    const double Reach = Arc + std::sqrt(Off) + 1e-9;
    float R = static_cast<float>(Reach);
    if (R < Reach) R = std::nextafter(R, 4.0f);
    return TBoundingCap{C[0], C[1], C[2], R};
}

namespace {

template <class F>
int WalkUnwrapped(const TOrvexObject& Obj, int32_t N, F Visit) {
    // Chains are read straight from their array rather than a virtual call a point.
    if (const auto* Geo = Obj.AsGeoData(); Geo && Geo->Count() == N) {
        const TPoint3D* Points = Geo->Points();
        return WalkUnwrappedWith(N, Visit, [Points](int32_t I) { return Points[I]; });
    }
    return WalkUnwrappedWith(N, Visit, [&Obj](int32_t I) { return Obj.GetPoint(I); });
}
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
    FLayer->BreakSettled();
    FLayer->SetIsLoaded(true);
    FLayer->SetExtents(TExtent{});
    TOrvex3* V = View();
    if (V && V->OnObjectCreate) V->OnObjectCreate(V, this);
}

TOrvexObject::~TOrvexObject() {
    if (FLayer) {
        TOrvex3* V = View();
        if (V) {
            // The last picture still shows the object.
            if (!V->IsDestroying() && !FLayer->Updating()) V->RequestRender();
            RemoveLast(V->Selection(), this);
            if (HasState(osSelected)) SetSelected(false);
        }
        RemoveFromLayerList();
        if (V && V->OnObjectFree) V->OnObjectFree(V, this);
    }
    LinkPresenter(nullptr);
}

void TOrvexObject::RemoveFromLayerList() {
    FSettled = false;
    if (FLayer) FLayer->RemoveObject(this);
}

void TOrvexObject::Unsettle() {
    FSettled = false;
    if (FLayer) FLayer->BreakSettled();
}

TOrvex3* TOrvexObject::View() const { return FLayer ? FLayer->View() : nullptr; }

void TOrvexObject::AttachPresenter(TOrvexPresenter* P) {
    if (!P || P == FPresenter || !P->Accepts(*this)) return;
    LinkPresenter(P);
    FFeatureID = P->FeatureID();
    Invalidate();
}

void TOrvexObject::DetachPresenter() {
    LinkPresenter(nullptr);
    ExcludeState(osExtentsValid);
}

void TOrvexObject::LinkPresenter(TOrvexPresenter* P) {
    if (P == FPresenter) return;
    if (FPresenter) {
        if (FPrevUser)
            FPrevUser->FNextUser = FNextUser;
        else
            FPresenter->FFirstUser = FNextUser;
        if (FNextUser) FNextUser->FPrevUser = FPrevUser;
        FPrevUser = FNextUser = nullptr;
    }
    FPresenter = P;
    if (P) {
        FNextUser = P->FFirstUser;
        if (FNextUser) FNextUser->FPrevUser = this;
        P->FFirstUser = this;
    }
}

bool TOrvexObject::ServesHere(const TOrvexPresenter* P) const {
    if (!FLayer) return false;
    return P->Layer() == FLayer || P->Layer() == FLayer->GlobalLayer();
}

TOrvexPresenter* TOrvexObject::PresenterHere(TOrvexPresenter* P) {
    if (!P || !FLayer) return nullptr;
    if (ServesHere(P)) return P;
    TOrvexPresenter* Found = FLayer->FindPresenter(P->Name(), P->FeatureID());
    if (Found && Found->Accepts(*this)) return Found;
    // A copy made earlier may carry another number (see below).
    for (TOrvexPresenter* Q : FLayer->Presenters())
        if (&Q->ClassInfo() == &P->ClassInfo() && strcasecmp(Q->Name().c_str(), P->Name().c_str()) == 0 &&
            Q->Accepts(*this))
            return Q;
    if (!P->ClassInfo().Create) return nullptr;
    auto* Copy = static_cast<TOrvexPresenter*>(P->ClassInfo().Create(FLayer));
    Copy->CopyFrom(P);
    // Objects find their presenter by number when the layer is read back: the copy must not
    // take a number that another presenter of the layer has.
    int32_t Highest = 0;
    bool Taken = false;
    for (const TOrvexPresenter* Other : FLayer->Presenters()) {
        if (Other == Copy) continue;
        Taken = Taken || Other->FeatureID() == Copy->FeatureID();
        Highest = std::max<int32_t>(Highest, Other->FeatureID());
    }
    if (Taken && Highest < std::numeric_limits<int16_t>::max()) Copy->SetFeatureID(static_cast<int16_t>(Highest + 1));
    return Copy;
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
    FLayer->MoveObject(Old, NewIndex);
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
    if (NewLayer) {
        NewLayer->Objects().push_back(this);
        NewLayer->BreakSettled();
    }
    FLayer = NewLayer;
    // The old layer's picture still shows the object.
    if (OldView && !OldView->IsDestroying()) OldView->RequestRender();

    // Only presenters of its own layer and of the global layer serve an object: the old
    // layer's presenter may go with the old layer.
    if (FPresenter) {
        AttachPresenter(PresenterHere(FPresenter));
        if (FPresenter && !ServesHere(FPresenter)) DetachPresenter();
    }
    Invalidate();
}

void TOrvexObject::CopyFrom(const TPersistent* Source) {
    TOrvexPersistent::CopyFrom(Source);
    const auto* S = dynamic_cast<const TOrvexObject*>(Source);
    if (!S || S == this) return;
    TOrvexPresenter* P = S->FPresenter;
    // Into another layer the presenter is resolved there, as when the object moves.
    if (P && FLayer) P = PresenterHere(P);
    AttachPresenter(P);
    FTitle = S->FTitle;
    FID = S->FID;
    FRowID = S->FRowID;
    FValue = S->FValue;
    StoreExtents(S->FExtents);
    // Selection goes with the view's selection list, which the copy is not in.
    SetState(static_cast<uint16_t>((S->FState & ~osSelected) | (FState & osSelected)));
    if (FLayer) {
        FLayer->SetExtents(TExtent{});
        if (TOrvex3* V = View(); V && !FLayer->Updating()) V->RequestRender();
    }
}

bool TOrvexObject::IsVisibleIn(TOrvex3& View) {
    if (FZoomMin == FZoomMax) return true;
    const int32_t A = View.Altitude();
    return FZoomMin < A && A <= FZoomMax;
}

void TOrvexObject::Delete() { delete this; }

void TOrvexObject::Invalidate() {
    ExcludeState(osExtentsValid);
    if (!FLayer) return;
    FLayer->SetExtents(TExtent{});
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

TPoint3DList* TOrvexObject::Cache3D() const { return FCaches ? FCaches->Vectors.get() : nullptr; }

const TPoint3DList* TOrvexObject::FinerCache3D() const { return FCaches ? FCaches->FinerVectors.get() : nullptr; }

void TOrvexObject::SetFinerCache3D(std::unique_ptr<TPoint3DList> Cache) {
    if (!FCaches && !Cache) return;
    if (!FCaches) FCaches = std::make_unique<TChainCaches>();
    FCaches->FinerVectors = std::move(Cache);
}

std::unique_ptr<TPoint3DList> TOrvexObject::TakeFinerCache3D() {
    return FCaches ? std::move(FCaches->FinerVectors) : nullptr;
}

void TOrvexObject::SetCache3D(std::unique_ptr<TPoint3DList> Cache) {
    if (!FCaches && !Cache) return;
    if (!FCaches) FCaches = std::make_unique<TChainCaches>();
    FCaches->Vectors = std::move(Cache);
}

void TOrvexObject::PrefetchCaches() const {
    if (FCaches) PrefetchBytes(FCaches.get(), sizeof(TChainCaches));
}

namespace {
// What PrefetchCopy asks for of a copy's points, and how far PrefetchCopyRest goes.
constexpr size_t CopyHead = 128, CopyReach = 512;
}  // namespace

void TOrvexObject::PrefetchCopy() const {
    if (!FCaches) return;
    // Most copies drawn at a glance are short: their first lines hold them.
    if (const TPointChain* Copy = FCaches->Detail.LastUsed())
        PrefetchBytes(Copy->Points(), std::min(size_t(Copy->Count()) * sizeof(TPoint3D), CopyHead));
}

void TOrvexObject::PrefetchCopyRest() const {
    if (!FCaches) return;
    const TPointChain* Copy = FCaches->Detail.LastUsed();
    if (!Copy) return;
    const size_t Bytes = std::min(size_t(Copy->Count()) * sizeof(TPoint3D), CopyReach);
    if (Bytes > CopyHead) PrefetchBytes(reinterpret_cast<const char*>(Copy->Points()) + CopyHead, Bytes - CopyHead);
}

TPointChain* TOrvexObject::DetailAt(int Level, std::vector<TPoint3D>& Scratch) {
    const auto* Geo = AsGeoData();
    if (!Geo) return nullptr;
    if (!FCaches) FCaches = std::make_unique<TChainCaches>();
    return FCaches->Detail.At(Geo->Points(), Geo->Count(), Level, Scratch);
}

const TPointChain* TOrvexObject::HeldDetail(int Level) const {
    const auto* Geo = AsGeoData();
    return Geo && FCaches ? FCaches->Detail.Held(Geo->Points(), Geo->Count(), Level) : nullptr;
}

int64_t TOrvexObject::CacheBytes() const {
    if (!FCaches) return 0;
    int64_t Bytes = int64_t(sizeof(TChainCaches)) + FCaches->Detail.Bytes();
    for (const auto* V : {FCaches->Vectors.get(), FCaches->FinerVectors.get()})
        if (V) Bytes += V->Bytes();
    return Bytes;
}

int64_t TOrvexObject::PrepareDetail(int Level, std::vector<TPoint3D>& Scratch) {
    const auto* Geo = AsGeoData();
    if (!Geo) return -1;
    int64_t Bytes = 0;
    if (!FCaches) {
        FCaches = std::make_unique<TChainCaches>();
        Bytes = sizeof(TChainCaches);
    }
    const int32_t Kept = FCaches->Detail.Prepare(Geo->Points(), Geo->Count(), Level, Scratch);
    return Kept < 0 ? -1 : Bytes + int64_t(Kept) * int64_t(sizeof(TPoint3D));
}

void TOrvexObject::CalcExtents() {
    FCaches.reset();
    if (!FLayer) return;
    const int32_t N = GetPointCount();
    if (N > 1) {
        TChainBounds B;
        const auto* Geo = AsGeoData();
        int Crossings = 0;
        if (Geo && Geo->Count() == N && PlainChainBounds(Geo->Points(), N, B)) {
            // The detector is left as the full walk leaves it.
            CrossesDateLine(Geo->Points()[0].X);
        } else {
            Crossings = WalkUnwrapped(*this, N, [&](int32_t, const TPoint3D& P, int64_t U) {
                if (U < B.MinX) B.MinX = U - 1;
                if (U > B.MaxX) B.MaxX = U + 1;
                if (P.Y < B.MinY) B.MinY = int64_t(P.Y) - 1;
                if (P.Y > B.MaxY) B.MaxY = int64_t(P.Y) + 1;
            });
        }
        SetChainExtents(B, Crossings);
        return;
    }
    const TExtent Old = FExtents;
    const TOrvex3* V = View();
    const long double Scale = V ? V->GetScaleFactor() : 0;
    // Three pixels at the current scale; a degenerate scale gives the widest box that
    // still fits the extent fields. Outside any view there are no pixels: the point and a
    // unit around it, as chains are bounded.
    const int64_t H = !V          ? 1
                      : Scale > 0 ? RoundSaturate(3.0L / Scale) / 2
                                  : RoundSaturate(std::numeric_limits<int32_t>::max()) / 2;
    const TPoint3D P = GetPoint(0);
    StoreExtents(TExtent{SaturateInt32(int64_t(P.X) - H), SaturateInt32(int64_t(P.Y) - H), SaturateInt32(2 * H),
                         SaturateInt32(2 * H)});
    FinishExtents(Old);
}

void RefreshExtents(TOrvexObject& O) {
    if (O.HasState(osExtentsValid) && O.GetPointCount() > 1 && (!O.Presenter() || O.Presenter()->KeepsChainBox())) {
        if (TOrvexPresenter* P = O.Presenter()) P->AdjustExtents(O);
    } else {
        O.CalcExtents();
    }
}

uint8_t ScaleRefreshCode(const TOrvexObject& O, bool KeepsBox) {
    // Only the state RefreshExtents leaves as it is: a valid chain box, retest already asked for.
    if (!KeepsBox || !O.HasState(osExtentsValid) || !O.HasState(osRetest) || O.GetPointCount() <= 1) return SizeVisit;
    if (!O.Presenter()) return 0;
    const TExtent& E = O.Extents();
    return SizeCode(std::max<int64_t>(E.Width, E.Height));
}

namespace {
// Sizes below this are coded exactly; above, to SizeBits significant bits.
constexpr int SizeBits = 4;
constexpr int64_t ExactSizes = int64_t(1) << SizeBits;
constexpr int64_t Mantissas = ExactSizes / 2;
}  // namespace

uint8_t SizeCode(int64_t Size) {
    if (Size < ExactSizes) return uint8_t(std::max<int64_t>(Size, 0));
    // Size's low Drop bits go: what is left has SizeBits bits, the highest set.
    const int Drop = std::bit_width(uint64_t(Size)) - SizeBits;
    const int64_t Code = ExactSizes + int64_t(Drop - 1) * Mantissas + ((Size >> Drop) - Mantissas);
    return Code < SizeVisit ? uint8_t(Code) : SizeVisit;
}

int64_t SizeCodeLeast(uint8_t Code) {
    if (Code < ExactSizes) return Code;
    const int64_t T = Code - ExactSizes;
    const int Drop = int(T / Mantissas) + 1;
    return (Mantissas + T % Mantissas) << Drop;
}

int64_t SizeCodeMost(uint8_t Code) {
    if (Code < ExactSizes) return Code;
    const int Drop = int((Code - ExactSizes) / Mantissas) + 1;
    return SizeCodeLeast(Code) + (int64_t(1) << Drop) - 1;
}

TStayingCodes StayingCodes(long double UnitsA, long double UnitsB) {
    const long double Least = std::min(UnitsA, UnitsB), Most = std::max(UnitsA, UnitsB);
    // Extents are of 32-bit sides; both bounds grow with the code.
    const int32_t Last = SizeCode(std::numeric_limits<int32_t>::max());
    TStayingCodes S;
    // The last code all of whose sizes are sub-pixel at both (code 0, size 0, always is).
    int32_t Lo = 0, Hi = Last;
    while (Lo < Hi) {
        const int32_t Mid = Lo + (Hi - Lo + 1) / 2;
        if (static_cast<long double>(SizeCodeMost(uint8_t(Mid))) <= Least)
            Lo = Mid;
        else
            Hi = Mid - 1;
    }
    S.Low = uint8_t(Lo);
    // The first code none of whose sizes is sub-pixel at either.
    Lo = 0;
    Hi = Last + 1;
    while (Lo < Hi) {
        const int32_t Mid = Lo + (Hi - Lo) / 2;
        if (static_cast<long double>(SizeCodeLeast(uint8_t(Mid))) > Most)
            Hi = Mid;
        else
            Lo = Mid + 1;
    }
    S.High = Lo > Last ? SizeVisit : uint8_t(Lo);
    return S;
}

void TOrvexObject::SetChainExtents(const TChainBounds& B, int Crossings) {
    FCaches.reset();
    if (!FLayer) return;
    const TExtent Old = FExtents;
    // Recounted from the current points: an edited chain may no longer cross.
    ExcludeState(osCrossesDateLine | osOddCrossings);
    if (Crossings > 0) IncludeState(osCrossesDateLine);
    if (Crossings % 2 == 1) IncludeState(osOddCrossings);
    // Without crossings the unwrapped longitudes are the longitudes themselves.
    int64_t Left = B.MinX, Width = B.MaxX - B.MinX;
    if (Crossings > 0) {
        if (Crossings % 2 == 1 || Width > OrvexUnits::Deg180) {
            Left = -OrvexUnits::Deg180;
            Width = OrvexUnits::Deg360;
        } else {
            Left = WrapLongitude(Left);
        }
    }
    StoreExtents(
        TExtent{SaturateInt32(Left), SaturateInt32(B.MinY), SaturateInt32(Width), SaturateInt32(B.MaxY - B.MinY)});
    FinishExtents(Old);
}

void TOrvexObject::FinishExtents(const TExtent& Old) {
    if (FPresenter) FPresenter->AdjustExtents(*this);
    IncludeState(osExtentsValid);
    // The layer's union is computed afresh from the objects' new extents.
    if (!(FExtents == Old)) FLayer->SetExtents(TExtent{});
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
                    SaturateInt32(int64_t(FExtents.Bottom) + FExtents.Height / 2), 0};
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

TGeoDataObject::~TGeoDataObject() { FChain.Clear(); }

void TGeoDataObject::SetPointCount(int32_t NewCount) {
    if (NewCount == FChain.Count()) return;
    FChain.SetCount(NewCount);
    Invalidate();
}

void TGeoDataObject::ClearPoints() {
    FChain.Clear();
    Invalidate();
}

void TGeoDataObject::PutPoint(int32_t Index, const TPoint3D& Point) {
    FChain.Put(Index, Point);
    Invalidate();
}

void TGeoDataObject::SetPoints(const TPoint3D* Source, int32_t Count) {
    if (Count < 0 || Count > MaxPointListSize || (Count > 0 && !Source))
        throw EOrvexException(Format("PointList.SetCount: Bad Count %d", Count));
    const TPoint3D* Own = FChain.Points();
    const std::less<const TPoint3D*> Before;
    if (Count > 0 && Own && !Before(Source, Own) && Before(Source, Own + FChain.Count())) {
        // Points of the chain itself: to the front before the array is resized.
        if (Before(Own + FChain.Count(), Source + Count))
            throw EOrvexException(Format("PointList.SetCount: Bad Count %d", Count));
        std::memmove(FChain.Points(), Source, static_cast<size_t>(Count) * sizeof(TPoint3D));
        FChain.SetCount(Count);
    } else {
        // Grown first: when memory runs out the chain is still whole.
        if (Count > FChain.Capacity()) FChain.SetCapacity(Count);
        TPoint3D* Target = FChain.SetCountUncleared(Count);
        if (Count > 0) std::memcpy(Target, Source, static_cast<size_t>(Count) * sizeof(TPoint3D));
    }
    FChain.SetCapacity(Count);
    Invalidate();
}

TPoint3D* TGeoDataObject::PreparePoints(int32_t Count, TPointSlab* Slab) {
    if (Count < 0 || Count > MaxPointListSize)
        throw EOrvexException(Format("PointList.SetCount: Bad Count %d", Count));
    if (Slab && FChain.Capacity() == 0) {
        TPoint3D* Points = FChain.SetCountFromSlab(*Slab, Count);
        Invalidate();
        return Points;
    }
    if (Count < FChain.Count()) FChain.SetCount(Count);
    FChain.SetCapacity(Count);
    TPoint3D* Points = FChain.SetCountUncleared(Count);
    Invalidate();
    return Points;
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

bool TGeoDataObject::IsVisibleIn(TOrvex3& View, const TQuickExtents& Quick) {
    if (!TOrvexObject::IsVisibleIn(View)) return false;
    if (const std::optional<bool> Shown = Quick.Decide(Extents(), this, ClipCodeRef())) return *Shown;
    TPrjModel* Prj = View.ProjectionModel();
    return Prj && Prj->IsExtentVisible(Extents(), this, ClipCodeRef());
}

bool TGeoDataObject::IsVisibleIn(TOrvex3& View) { return IsVisibleIn(View, TQuickExtents{}); }

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
            P[I] = TPoint3D{NormalizeLongitude(int64_t(P[I].X) + DLongitude),
                            SaturateInt32(int64_t(P[I].Y) + DLatitude), P[I].Z};
    }
    Invalidate();
}

TPoint3D TGeoDataObject::Centroid() const {
    const int32_t N = FChain.Count();
    if (N == 0) return TPoint3D{};
    long double SumX = 0, SumY = 0;
    WalkUnwrapped(*this, N, [&](int32_t I, const TPoint3D& P, int64_t U) {
        if (I == N) return;
        SumX += U;
        SumY += P.Y;
    });
    return TPoint3D{WrapLongitude(RoundSaturate(SumX / N)), RoundSaturate(SumY / N), 0};
}

void TGeoDataObject::CopyFrom(const TPersistent* Source) {
    TOrvexObject::CopyFrom(Source);
    const auto* S = dynamic_cast<const TGeoDataObject*>(Source);
    if (!S || S == this) return;
    SetPoints(S->FChain.Points(), S->FChain.Count());
    SetClipCode(S->ClipCode());
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
        if (Prj->LLToXY(NormalizeLongitude(C[0]), SaturateInt32(C[1]), Placed)) ++Placed;
    if (Placed == 0) return false;
    IncludeState(osFrontSide);
    return View.ComputeClipCode(Placed, ClipCodeRef());
}

void TSinglePointObject::MoveBy(int32_t DLongitude, int32_t DLatitude) {
    SetPoint(MakePoint(int64_t(FPoint.X) + DLongitude, SaturateInt32(int64_t(FPoint.Y) + DLatitude)));
    Invalidate();
}

void TSinglePointObject::CopyFrom(const TPersistent* Source) {
    TOrvexObject::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TSinglePointObject*>(Source)) SetPoint(S->FPoint);
}
