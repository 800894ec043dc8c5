#include "model/OrvexLayer.h"

#include "foundation/ProgressAborted.h"

#include <QApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <strings.h>
#include <typeinfo>
#include <sys/stat.h>
#include <unistd.h>

#include "kernels/Prefetch.h"
#include "model/ExtentRefresh.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "model/StandardClasses.h"
#include "platform/FilePaths.h"
#include "platform/Hourglass.h"
#include "platform/PointBuffer.h"
#include "platform/UiServices.h"
#include "platform/IniFile.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/OrvexPresenter.h"
#include "view/OrvexCanvas.h"
#include "view/Orvex3.h"

namespace {
std::string FilePart(const std::string& Path) { return SplitPath(Path).Name; }

std::string DirPart(const std::string& Path) { return SplitPath(Path).Directory; }
}  // namespace

const TClassInfo& TOrvexLayer::StaticClassInfo() {
    using L = TOrvexLayer;
    auto Flag = [](const char* Name, bool (L::*Get)() const, void (L::*Set)(bool)) {
        return MakeProp<L>(
            Name, TPropKind::Enumeration, "Boolean", [Get](const L& l) { return (l.*Get)(); },
            [Set](L& l, bool v) { (l.*Set)(v); }, {"False", "True"});
    };
    auto Number = [](const char* Name, int32_t (L::*Get)() const, void (L::*Set)(int32_t)) {
        return MakeProp<L>(
            Name, TPropKind::Integer, "Integer", [Get](const L& l) { return (l.*Get)(); },
            [Set](L& l, int32_t v) { (l.*Set)(v); });
    };
    std::vector<std::string> UnitNames;
    for (int I = 0; I < OrvexUnitsCount; ++I) UnitNames.emplace_back(UnitName(static_cast<TOrvexUnits>(I)));
    static const TClassInfo Info{
        "TOrvexLayer",
        &TPersistent::StaticClassInfo(),
        {},
        {
            Flag("Animated", &L::Animated, &L::SetAnimated),
            Flag("Enabled", &L::Enabled, &L::SetEnabled),
            MakeProp<L>("Filename", TPropKind::String, "String", [](const L& l) { return l.Filename(); },
                        [](L& l, std::string v) { l.SetFilename(v); }),
            Number("Index", &L::Index, &L::SetIndex),
            Flag("LoadOnDemand", &L::LoadOnDemand, &L::SetLoadOnDemand),
            Number("MaxFontHeight", &L::MaxFontHeight, &L::SetMaxFontHeight),
            MakeProp<L>("Name", TPropKind::String, "String", [](const L& l) { return l.Name(); },
                        [](L& l, std::string v) { l.SetName(v); }),
            Flag("Visible", &L::Visible, &L::SetVisible),
            Number("ZoomMax", &L::ZoomMax, &L::SetZoomMax),
            Number("ZoomMin", &L::ZoomMin, &L::SetZoomMin),
            MakeProp<L>("ZoomUnits", TPropKind::Enumeration, "TOrvexUnits", [](const L& l) { return l.ZoomUnits(); },
                        [](L& l, TOrvexUnits v) { l.SetZoomUnits(v); }, UnitNames),
        }};
    return Info;
}

const TClassInfo& TOrvexLayer::ClassInfo() const { return StaticClassInfo(); }

TOrvexLayer::TOrvexLayer(TOrvex3* View) : FView(View) {
    if (FView) {
        FView->Layers().push_back(this);
        FView->LayersChanged = true;
    }
    Reset();
}

TOrvexLayer::~TOrvexLayer() {
    Reset();
    if (FView) {
        RemoveListMember(FView->Layers(), this, FView->LayerWalks());
        FView->LayersChanged = true;
        FView->RequestRender();
    }
}

bool TOrvexLayer::IsGlobalLayer() const { return FView ? FView->GlobalLayer() == this : FServesAsGlobal; }

TOrvexLayer* TOrvexLayer::GlobalLayer() const {
    if (FView) return FView->GlobalLayer();
    if (FServesAsGlobal) return const_cast<TOrvexLayer*>(this);
    if (!FOwnGlobal) {
        FOwnGlobal = std::make_unique<TOrvexLayer>(nullptr);
        FOwnGlobal->FServesAsGlobal = true;
        FOwnGlobal->FName = "GlobalLayer";
        AddGlobalPresenters(FOwnGlobal.get());
    }
    return FOwnGlobal.get();
}

void TOrvexLayer::Changed(bool Scale, bool Render) {
    if (!FView) return;
    FView->LayersChanged = true;
    if (Scale) FView->ScaleChanged = true;
    if (Render) FView->RequestRender();
}

void TOrvexLayer::SetName(const std::string& Name) {
    FName = Name;
    Changed(false, false);
}

void TOrvexLayer::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    Changed(true, true);
}

void TOrvexLayer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Changed(true, true);
}

void TOrvexLayer::SetAnimated(bool Value) {
    if (Value == FAnimated) return;
    FAnimated = Value;
    Changed(true, true);
}

void TOrvexLayer::SetLoadOnDemand(bool Value) {
    if (Value == FLoadOnDemand) return;
    FLoadOnDemand = Value;
    Changed(true, true);
}

void TOrvexLayer::SetMaxFontHeight(int32_t Value) { FMaxFontHeight = Value; }

void TOrvexLayer::SetZoomMin(int32_t Value) {
    if (Value == FZoomMin) return;
    FZoomMin = Value;
    Changed(false, true);
}

void TOrvexLayer::SetZoomMax(int32_t Value) {
    if (Value == FZoomMax) return;
    FZoomMax = Value;
    Changed(false, true);
}

void TOrvexLayer::SetZoomUnits(TOrvexUnits Units) {
    if (Units == FZoomUnits) return;
    auto Convert = [&](int32_t V) {
        return RoundChecked(OrvexUnitsToUnits(::UnitsToOrvexUnits(FZoomUnits, V), Units));
    };
    // Both converted before anything is stored, so a failure leaves the layer unchanged.
    const int32_t Min = Convert(FZoomMin), Max = Convert(FZoomMax);
    FZoomMin = Min;
    FZoomMax = Max;
    FZoomUnits = Units;
}

int32_t TOrvexLayer::Index() const {
    if (!FView) return -1;
    const auto& L = FView->Layers();
    auto It = std::find(L.begin(), L.end(), this);
    return It == L.end() ? -1 : static_cast<int32_t>(It - L.begin());
}

void TOrvexLayer::SetIndex(int32_t NewIndex) {
    const int32_t Old = Index();
    if (Old < 0 || NewIndex < 0 || NewIndex >= FView->LayerCount())
        throw EOrvexException("TOrvexLayer.SetIndex: Bad position");
    MoveListMember(FView->Layers(), size_t(Old), size_t(NewIndex), FView->LayerWalks());
    Changed(false, true);
}

TOrvexObject* TOrvexLayer::GetObject(int32_t Index) const {
    return Index >= 0 && Index < ObjectCount() ? FObjects[Index] : nullptr;
}

TOrvexPresenter* TOrvexLayer::GetPresenter(int32_t Index) const {
    return Index >= 0 && Index < PresenterCount() ? FPresenters[Index] : nullptr;
}

int32_t TOrvexLayer::IndexOfObject(const TOrvexObject* Obj) const {
    auto It = std::find(FObjects.begin(), FObjects.end(), Obj);
    return It == FObjects.end() ? -1 : static_cast<int32_t>(It - FObjects.begin());
}

void TOrvexLayer::RemoveObject(const TOrvexObject* Obj) {
    BreakSettled();
    RemoveListMember(FObjects, Obj, FObjectWalks);
}

void TOrvexLayer::MoveObject(int32_t From, int32_t To) {
    BreakSettled();
    MoveListMember(FObjects, size_t(From), size_t(To), FObjectWalks);
}

void TOrvexLayer::RemovePresenter(const TOrvexPresenter* P) { RemoveListMember(FPresenters, P, FPresenterWalks); }

TOrvexPresenter* TOrvexLayer::FindPresenter(const std::string& Name, int16_t FeatureID) const {
    for (TOrvexPresenter* P : FPresenters)
        if ((FeatureID == 0 || FeatureID == P->FeatureID()) &&
            (Name.empty() || strcasecmp(Name.c_str(), P->Name().c_str()) == 0))
            return P;
    if (IsGlobalLayer()) return nullptr;
    if (const TOrvexLayer* Global = GlobalLayer()) return Global->FindPresenter(Name, FeatureID);
    return nullptr;
}

void TOrvexLayer::Clear() {
    if (FView) {
        TOrvexObject* Sel = FView->SelectedObject();
        if (Sel && Sel->Layer() == this) FView->SelectObject(nullptr);
    }
    // Each member unlinks itself from the list in its destructor; the objects' going asks
    // for one render, not one each.
    if (!FObjects.empty()) {
        const TLayerUpdate Update(*this);
        while (!FObjects.empty()) delete FObjects.back();
    }
    while (!FPresenters.empty()) delete FPresenters.front();
    FIsLoaded = false;
}

void TOrvexLayer::Reset() {
    FFilename.clear();
    FExtents = TExtent{};
    FEnabled = true;
    FVisible = true;
    FAnimated = false;
    FLoadOnDemand = false;
    FMaxFontHeight = 0;
    FZoomMin = 0;
    FZoomMax = 0;
    FZoomUnits = NauticalMile;
    Clear();
    if (FView) FView->RequestRender();
}

void TOrvexLayer::Delete() { delete this; }

bool TOrvexLayer::IsVisible() {
    if (!FVisible) return false;
    if (FExtents.IsEmpty() && !FIsLoaded) LoadFromFile();
    bool V = true;
    if (FView) {
        const int32_t Altitude = FView->Altitude();
        if (FZoomMin > 0) V = FView->UnitsToOrvexUnits(FZoomMin, FZoomUnits) < Altitude;
        if (V && FZoomMax > 0) V = FView->UnitsToOrvexUnits(FZoomMax, FZoomUnits) >= Altitude;
    }
    if (FLoadOnDemand && V != FIsLoaded) {
        if (V)
            LoadFromFile();
        else
            Clear();
    }
    if (!V || FAnimated || FExtents.IsEmpty() || FExtents.Width >= OrvexUnits::Deg180 || !FView ||
        !FView->ProjectionModel())
        return V;
    uint8_t ClipCode = 0;
    return FView->ProjectionModel()->IsExtentVisible(FExtents, nullptr, ClipCode);
}

namespace {
// Objects lie scattered over the heap, and a frame visits every one: their state is asked
// for this many places ahead, so that the waits overlap instead of following each other.
constexpr size_t FetchAhead = 16;
// The render pass passes over objects out of view in a few cycles each: it looks farther.
constexpr size_t RenderFetchAhead = 64;

void Prefetch(const TOrvexObject* O) { PrefetchBytes(O, sizeof(TGeoDataObject)); }
// What the visibility pass reads of an object it only tests (the state and extent lead the
// object's fields).
void PrefetchHead(const TOrvexObject* O) { PrefetchBytes(O, O->HeadBytes()); }

// Whether the visibility pass leaves the object's state as it is and no pass draws it: a
// hidden or sub-pixel object with a valid extent and no side in view.
bool Settled(const TOrvexObject& O) {
    return O.HasState(osExtentsValid) && O.HasState(osHidden | osSubPixel) &&
           !(O.HasState(osInView) && O.HasState(osFrontSide | osBackSide));
}

// Whether one of the values From .. From + Count - 1 is a multiple of M.
bool PassesMultiple(int64_t From, int64_t Count, int64_t M) {
    const int64_t First = (From + M - 1) / M * M;
    return Count > 0 && First < From + Count;
}
}  // namespace

// The map's quick extent test for one visibility pass over a layer's objects.
class TPassExtents {
public:
    const TQuickExtents& For(TOrvex3& View);

private:
    TQuickExtents FQuick;
    int FAsked = 0;
};

const TQuickExtents& TPassExtents::For(TOrvex3& View) {
    // Asked for again after the first tests: the first test of a map moved makes its tables
    // (one over the seam does not).
    if (!FQuick && FAsked < 16) {
        ++FAsked;
        if (const TPrjModel* P = View.ProjectionModel()) FQuick = P->QuickExtents();
    }
    return FQuick;
}

void TOrvexLayer::UpdateObjectVisibility(TOrvexObject& O, bool Redraw, bool Scale, TPassExtents& Extents) {
    if (Scale || !O.HasState(osExtentsValid)) {
        RefreshExtents(O);
        O.IncludeState(osRetest);
    }
    if (O.HasState(osHidden)) {
        O.ExcludeState(osInView | osBackSide | osFrontSide);
        return;
    }
    if (O.HasState(osSubPixel)) return;
    if (!Redraw && !O.HasState(osRetest)) return;
    O.ExcludeState(osInView | osBackSide | osFrontSide);
    // A plain chain's test goes straight to the map's tables where they decide.
    const bool Visible = typeid(O) == typeid(TGeoDataObject)
                             ? static_cast<TGeoDataObject&>(O).IsVisibleIn(*FView, Extents.For(*FView))
                             : O.IsVisibleIn(*FView);
    if (Visible)
        O.IncludeState(osInView);
    else
        O.ExcludeState(osRetest);
}

void TOrvexLayer::UpdateVisibility() {
    if (!FView) return;
    const bool R = FView->RedrawPending, S = FView->ScaleChanged;
    if (IsVisible()) {
        const long double Scale = FView->GetScaleFactor();
        const long double Units = Scale > 0 && std::isfinite(Scale) ? SubPixelUnits(Scale) : -1;
        // Most objects of a large layer are too small to show at the current scale, and a pass
        // leaves them as they are: after a full pass has found them, the following ones (until
        // the scale, the list or one of their states changes) pass over them.
        if (SettledListHolds() && !S) {
            // Their states were found at another pixel size, which no code tells.
            if (Units != FCodeUnits) FCodeUnits = -1;
            SparsePass(R);
        } else {
            // After a change of scale, the settled objects whose sub-pixel state stays are passed
            // over too.
            const bool ByCode = SettledListHolds() && S && FCodeUnits >= 0 && Units >= 0 &&
                                FSizeCodes.size() == FObjects.size();
            SettlingPass(R, S, ByCode ? Units : -1);
            // Without a change of scale only the objects measured afresh were found at this one.
            if (S)
                FCodeUnits = Units;
            else if (Units != FCodeUnits)
                FCodeUnits = -1;
        }
    }
    if (FExtents.IsEmpty()) CalcExtents();
}

void TOrvexLayer::SparsePass(bool Redraw) {
    const size_t N = FObjects.size();
    TPassExtents Extents;
    size_t K = 0;
    for (size_t I = 0; I < N; ++I) {
        if (FSettledValid) {
            while (K < FUnsettled.size() && FUnsettled[K] < I) ++K;
            if (K == FUnsettled.size()) break;
            I = FUnsettled[K];
            if (K + FetchAhead < FUnsettled.size()) PrefetchHead(FUnsettledObjects[K + FetchAhead]);
            // Nothing has changed the list since it was made.
            TOrvexObject& O = *FUnsettledObjects[K];
            // Measured afresh, it may draw other pixels.
            if (!O.HasState(osExtentsValid)) FShiftRuns.Drop(K);
            UpdateObjectVisibility(O, Redraw, false, Extents);
            continue;
        }
        // A state changed in the pass: the rest are looked at one by one.
        if (I + FetchAhead < N) Prefetch(FObjects[I + FetchAhead]);
        if (I >= FObjects.size()) break;
        UpdateObjectVisibility(*FObjects[I], Redraw, false, Extents);
    }
}

void TOrvexLayer::SettlingPass(bool Redraw, bool Scale, long double CodeUnits) {
    const uint64_t Breaks = FSettledBreaks;
    const size_t N = FObjects.size();
    // About as many as last time: grown a step at a time, a large layer's lists would leave
    // the allocator holding several times their size.
    const size_t Expected = FUnsettled.size() + FUnsettled.size() / 4 + 64;
    FNextUnsettled.clear();
    FNextUnsettled.reserve(Expected);
    FNextUnsettledObjects.clear();
    FNextUnsettledObjects.reserve(Expected);
    // The positions to look at: every one, or those the codes cannot pass over.
    const bool ByCode = CodeUnits >= 0;
    if (ByCode) {
        FVisit.clear();
        const TStayingCodes Staying = StayingCodes(FCodeUnits, CodeUnits);
        AppendSelectedCodes(FSizeCodes.data(), N, Staying.Visited(), FVisit);
    } else {
        FSizeCodes.assign(N, SizeVisit);
    }
    const size_t Count = ByCode ? FVisit.size() : N;
    auto At = [&](size_t J) { return ByCode ? size_t(FVisit[J]) : J; };
    // Runs of objects share a presenter: its answer is asked for once a run.
    const TOrvexPresenter* Asked = nullptr;
    bool KeepsBox = true;
    TPassExtents Extents;
    for (size_t J = 0; J < Count; ++J) {
        // The positions visited lie far apart: the list's entry is asked for before the object
        // it points to.
        if (ByCode && J + 2 * FetchAhead < Count && At(J + 2 * FetchAhead) < FObjects.size())
            PrefetchBytes(&FObjects[At(J + 2 * FetchAhead)], sizeof(TOrvexObject*));
        if (J + FetchAhead < Count && At(J + FetchAhead) < FObjects.size()) Prefetch(FObjects[At(J + FetchAhead)]);
        const size_t I = At(J);
        if (I >= FObjects.size()) break;
        TOrvexObject& O = *FObjects[I];
        // Its own changes in the pass do not count.
        if (O.FSettled) O.FSettled = false;
        UpdateObjectVisibility(O, Redraw, Scale, Extents);
        if (Settled(O)) {
            O.FSettled = true;
            if (const TOrvexPresenter* P = O.Presenter(); P != Asked) {
                Asked = P;
                KeepsBox = !P || P->KeepsChainBox();
            }
            FSizeCodes[I] = ScaleRefreshCode(O, KeepsBox);
        } else {
            FSizeCodes[I] = SizeVisit;
            FNextUnsettled.push_back(static_cast<uint32_t>(I));
            FNextUnsettledObjects.push_back(&O);
        }
    }
    FUnsettled.swap(FNextUnsettled);
    FUnsettledObjects.swap(FNextUnsettledObjects);
    // The spare lists give their memory back: a large layer's lists are megabytes.
    std::vector<uint32_t>().swap(FNextUnsettled);
    std::vector<TOrvexObject*>().swap(FNextUnsettledObjects);
    FShiftRuns.Clear();
    FUnsettledOf = N;
    FSettledValid = FSettledBreaks == Breaks && FObjects.size() == N;
}

void TOrvexLayer::CalcExtents() {
    if (FObjects.empty()) {
        FExtents = TExtent{};
        return;
    }
    TExtentUnion Union;
    for (const TOrvexObject* O : FObjects) Union.Add(O->Extents());
    FExtents = Union.Extent();
}

void TOrvexLayer::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FView) FView->RequestRender();
}

bool TOrvexLayer::PlaceAhead() {
    TOrvex3* const View = FView;
    // Its own look at whether it shows reads no file here.
    if (!View || FAnimated || !SettledListHolds() || !QuietVisibility() || !IsVisible())
        return false;
    // A frame that replays the runs places nothing.
    if (TShiftKey Key; View->ShiftKey(Key) && FShiftRuns.Keeps(Key, FUnsettled.size())) return false;
    return View->StartPlacingAhead(FUnsettledObjects.data(), FUnsettledObjects.size());
}

bool TOrvexLayer::QuietVisibility() const {
    // A layer of another class may look at itself otherwise.
    return typeid(*this) == typeid(TOrvexLayer) && !FLoadOnDemand && (FIsLoaded || !FExtents.IsEmpty());
}

void TOrvexLayer::Render() {
    TOrvex3* const View = FView;
    if (!View) return;
    // Handlers run inside this loop (pending messages while printing, OnRenderObject,
    // OnRenderTitle) and may delete objects, presenters or this layer: the walk keeps its
    // place and tells when the layer is gone, after which nothing of it is touched.
    TListWalk<TOrvexObject> Objects(FObjectWalks, FObjects);
    if (View->Printing()) {
        // Lets the user's abort reach the print job between layers.
        UiServices().ProcessMessages();
        if (Objects.OwnerGone() || View->PrintAborted()) return;
    }
    if (!FVisible || !IsVisible()) return;
    const uint16_t Side = View->BackSidePass ? osBackSide : osFrontSide;
    // Runs serve only the frame after one that placed them with nothing but the origin moved.
    bool KeptRuns = false;
    if (TShiftKey Key; SettledListHolds() && View->ShiftKey(Key))
        KeptRuns = FShiftRuns.Follow(Key, FUnsettled.size());
    else
        FShiftRuns.Forget();
    // A frame the runs do not draw may have its copies placed on a second core, which must
    // have let go of the objects before the walk returns, however it returns.
    struct TAhead {
        TOrvex3* View;
        bool Placing;
        ~TAhead() {
            if (Placing) View->StopPlacingAhead();
        }
    } Ahead{View, false};
    // Placing may have started before the walk (PlaceAhead): the walk takes it over.
    const bool Started = View->PlacingAheadFor(FUnsettledObjects.data(), FUnsettledObjects.size());
    Ahead.Placing = !KeptRuns && SettledListHolds() &&
                    (Started || View->StartPlacingAhead(FUnsettledObjects.data(), FUnsettledObjects.size()));
    if (Started && !Ahead.Placing) View->StopPlacingAhead();
    using TClock = std::chrono::steady_clock;
    const auto Period = std::chrono::milliseconds(View->PeriodicUpdateTime);
    auto Deadline = TClock::now() + Period;
    int64_t Visited = 0;
    size_t K = 0;
    while (true) {
        // Settled objects are not drawn: while the visibility pass's list holds, the walk goes
        // straight to the next object it did not find settled.
        const bool Sparse = SettledListHolds();
        if (Sparse) {
            const size_t At = Objects.Position();
            while (K < FUnsettled.size() && FUnsettled[K] < At) ++K;
            const size_t To = K < FUnsettled.size() ? FUnsettled[K] : FObjects.size();
            if (To > At) {
                Objects.Seek(To);
                // The objects passed over count for the progress reports and the clock.
                const int64_t Passed = int64_t(To - At);
                if (View->RenderCheckpoints(uint32_t(std::min<int64_t>(Passed, INT32_MAX))) || Objects.OwnerGone())
                    return;
                if (PassesMultiple(Visited, Passed, 255) && View->PeriodicUpdateTime > 0 && TClock::now() > Deadline) {
                    View->CopySurfaceToWindow();
                    Deadline = TClock::now() + Period;
                }
                Visited += Passed;
            }
        }
        TOrvexObject* O = Objects.Next();
        if (!O) break;
        // Only hints: the place may be off by objects that handlers took away.
        if (Sparse) {
            if (K + 1 + FetchAhead < FUnsettled.size()) {
                Prefetch(FUnsettledObjects[K + 1 + FetchAhead]);
                if (FUnsettled[K + 1 + FetchAhead] < FObjects.size())
                    PrefetchBytes(&FObjects[FUnsettled[K + 1 + FetchAhead]], sizeof(TOrvexObject*));
            }
            // Objects asked for earlier are at hand by now: what they point to next. These read
            // the objects, which is safe only while no handler has taken one away since.
            // The copies' points are the placing thread's to read, when it runs.
            if (SettledListHolds()) {
                if (K + 1 + FetchAhead / 2 < FUnsettled.size()) FUnsettledObjects[K + 1 + FetchAhead / 2]->PrefetchCaches();
                if (!Ahead.Placing && K + 1 + FetchAhead / 4 < FUnsettled.size())
                    FUnsettledObjects[K + 1 + FetchAhead / 4]->PrefetchCopy();
            }
        } else if (size_t(Visited) + RenderFetchAhead < FObjects.size()) {
            Prefetch(FObjects[size_t(Visited) + RenderFetchAhead]);
        }
        if (O->HasState(osInView) && O->HasState(Side)) {
            bool Done = false;
            if (View->OnRenderObject) {
                View->OnRenderObject(View, O, Done);
                if (Objects.OwnerGone()) return;
                if (Objects.MemberGone()) Done = true;
            }
            if (!Done) {
                // The object is the list's entry K while nothing has changed the list.
                const bool Entry = Sparse && SettledListHolds() && K < FUnsettled.size() && FUnsettledObjects[K] == O;
                struct TSlot {
                    TOrvex3* View;
                    ~TSlot() { View->SetRunSlot(nullptr, 0, nullptr); }
                } Slot{View};
                const TPlacedAhead::TPlaced* Placed = Entry && Ahead.Placing ? View->TakePlaced(K) : nullptr;
                if (Entry) View->SetRunSlot(&FShiftRuns, K, O, Placed);
                if (!Placed || !View->DrawnPlaced(O)) O->Render();
            }
        }
        // A long render reports its progress here; the events it lets through may take
        // this layer away.
        if (View->RenderCheckpoint() || Objects.OwnerGone()) return;
        // The clock is read only every 255 objects.
        if (Visited++ % 255 == 0 && View->PeriodicUpdateTime > 0 && TClock::now() > Deadline) {
            View->CopySurfaceToWindow();
            Deadline = TClock::now() + Period;
        }
    }
    // The titles are drawn without it: the thread may still hold an object the walk drew beside it.
    if (Ahead.Placing) {
        Ahead.Placing = false;
        View->StopPlacingAhead();
    }
    if (TOrvexLayer* G = View->GlobalLayer()) {
        TListWalk<TOrvexPresenter> Globals(G->FPresenterWalks, G->FPresenters);
        while (TOrvexPresenter* P = Globals.Next())
            if (!DrawTitles(P, Globals)) return;
    }
    TListWalk<TOrvexPresenter> Own(FPresenterWalks, FPresenters);
    while (TOrvexPresenter* P = Own.Next())
        if (!DrawTitles(P, Own)) return;
}

TOrvexObject* TOrvexLayer::ObjectAtLatLong(int32_t Longitude, int32_t Latitude) {
    const TPoint3D P = MakePoint(Longitude, Latitude);
    for (auto It = FObjects.rbegin(); It != FObjects.rend(); ++It)
        if ((*It)->ContainsPoint(P)) return *It;
    return nullptr;
}

TOrvexObject* TOrvexLayer::ObjectAtXY(int32_t X, int32_t Y) {
    try {
        if (!FView) return nullptr;
        TPoint3D P;
        if (!FView->PixelToLL(X, Y, P) || !IsVisible()) return nullptr;
        const int32_t N = ObjectCount();
        if (N == 0) return nullptr;
        int32_t Start = -1;
        TOrvexObject* Sel = FView->SelectedObject();
        if (Sel && Sel->ContainsPoint(P)) Start = IndexOfObject(Sel) - 1;
        if (Start < 0) Start = N - 1;
        for (int32_t K = 0; K < N; ++K) {
            TOrvexObject* O = FObjects[(Start - K + N) % N];
            if (O->HasState(osInView) && O->ContainsPoint(P)) return O;
        }
    } catch (const std::exception&) {
    }
    return nullptr;
}

template <class Match>
TOrvexObject* TOrvexLayer::FindObject(const TOrvexObject* After, Match M) const {
    size_t I = 0;
    if (After) {
        const int32_t A = IndexOfObject(After);
        I = A < 0 ? FObjects.size() : size_t(A) + 1;
    }
    for (; I < FObjects.size(); ++I)
        if (M(*FObjects[I])) return FObjects[I];
    return nullptr;
}

TOrvexObject* TOrvexLayer::FindObjectByTitle(const std::string& Title, const TOrvexObject* After) const {
    return FindObject(After, [&](const TOrvexObject& O) { return O.Title() == Title; });
}

TOrvexObject* TOrvexLayer::FindObjectByID(int32_t ID, const TOrvexObject* After) const {
    return FindObject(After, [&](const TOrvexObject& O) { return O.ID() == ID; });
}

TOrvexObject* TOrvexLayer::FindObjectByRowID(int32_t RowID, const TOrvexObject* After) const {
    return FindObject(After, [&](const TOrvexObject& O) { return O.RowID() == RowID; });
}

void TOrvexLayer::ChangeFilename(const std::string& Path) {
    FIsLoaded = false;
    if (Path.empty()) return;
    if (FView && FView->Progress(1, Format("Loading Layer %s", Path.c_str()))) throw EProgressAborted("Loading cancelled");
    FFilename = FilePart(Path);
    FDirectory = DirPart(Path);
    if (FDirectory.empty() && FView) FDirectory = NativePath(FView->DataDirectory());
    if (!FDirectory.empty() && FDirectory.back() != '/') FDirectory += '/';
    if (FView && FView->Profile()) ReadSettings();
    if (!FLoadOnDemand) LoadFromFile();
    if (FView) {
        FView->Progress(2, "");
        FView->RequestRender();
    }
}

void TOrvexLayer::LoadFromFile() {
    if (FFilename.empty()) return;
    const std::string Path = FDirectory + FFilename;
    // The name's bytes go to the system as they are: a name that is not UTF-8 still opens.
    struct stat Info {};
    if (::stat(Path.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode))
        throw EOrvexException(Format("LoadFromFile: File %s%s not found", FDirectory.c_str(), FFilename.c_str()));
    THourglass Hourglass;
    if (FName.empty()) {
        const size_t Dot = FFilename.find_last_of('.');
        FName = Dot == std::string::npos ? FFilename : FFilename.substr(0, Dot);
    }
    const auto CannotRead = [&Path](int Error) {
        return EOrvexException(Format("LoadFromFile: Cannot read %s: %s", Path.c_str(), std::strerror(Error)));
    };
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) throw CannotRead(errno);
    struct TClose {
        int Fd;
        ~TClose() { ::close(Fd); }
    } Close{Fd};
    if (::fstat(Fd, &Info) != 0) throw CannotRead(errno);
    // Straight into the stream's buffer: a layer file can be hundreds of megabytes. The buffer
    // grows a piece at a time just ahead of the read, so that its zero-filling is done in cache
    // rather than in a pass of its own over the whole file.
    const auto Size = static_cast<size_t>(std::max<off_t>(Info.st_size, 0));
    constexpr size_t Piece = size_t(1) << 18;
    std::vector<uint8_t> Data;
    Data.reserve(Size);
    while (Data.size() < Size) {
        const size_t Done = Data.size();
        Data.resize(Done + std::min(Piece, Size - Done));
        const ssize_t Read = ::read(Fd, Data.data() + Done, Data.size() - Done);
        if (Read < 0 && errno == EINTR) {
            Data.resize(Done);
            continue;
        }
        if (Read < 0) throw CannotRead(errno);
        Data.resize(Done + static_cast<size_t>(Read));
        if (Read == 0) break;  // the file shrank meanwhile
    }
    TOrvexStream Stream(std::move(Data));
    LoadFromStream(Stream);
}

void TOrvexLayer::SaveSettings() {
    TIniFile* Ini = FView ? FView->Profile() : nullptr;
    if (!Ini || FFilename.empty()) return;
    const std::string Section = FilePart(FFilename);
    Ini->EraseSection(Section);
    Ini->WriteString(Section, "Name", FName);
    if (!FEnabled) Ini->WriteBool(Section, "Enabled", false);
    if (!FVisible) Ini->WriteBool(Section, "Visible", false);
    if (FAnimated) Ini->WriteBool(Section, "Animated", true);
    if (FLoadOnDemand) Ini->WriteBool(Section, "LoadOnDemand", true);
    if (FZoomUnits != NauticalMile) Ini->WriteString(Section, "ZoomUnits", UnitsToStr(FZoomUnits));
    if (FZoomMin != 0) Ini->WriteInteger(Section, "ZoomMin", FZoomMin);
    if (FZoomMax != 0) Ini->WriteInteger(Section, "ZoomMax", FZoomMax);
    if (FMaxFontHeight != 0) Ini->WriteInteger(Section, "MaxFontHeight", FMaxFontHeight);
}

void TOrvexLayer::ReadSettings() {
    TIniFile* Ini = FView ? FView->Profile() : nullptr;
    if (!Ini) return;
    const std::string Section = FilePart(FFilename);
    SetName(Ini->ReadString(Section, "Name", FName));
    SetEnabled(Ini->ReadBool(Section, "Enabled", true));
    SetVisible(Ini->ReadBool(Section, "Visible", true));
    SetAnimated(Ini->ReadBool(Section, "Animated", false));
    SetLoadOnDemand(Ini->ReadBool(Section, "LoadOnDemand", false));
    SetZoomUnits(StrToUnits(Ini->ReadString(Section, "ZoomUnits", "NM")));
    SetZoomMin(Ini->ReadInteger(Section, "ZoomMin", 0));
    SetZoomMax(Ini->ReadInteger(Section, "ZoomMax", 0));
    SetMaxFontHeight(Ini->ReadInteger(Section, "MaxFontHeight", 0));
}

void TOrvexLayer::PurgePresenters() {
    for (TOrvexPresenter* P : FPresenters) P->SetInUse(0);
    for (TOrvexObject* O : FObjects)
        if (O->Presenter()) O->Presenter()->SetInUse(1);
    for (size_t I = FPresenters.size(); I-- > 0;)
        if (I < FPresenters.size() && !FPresenters[I]->InUse()) FPresenters[I]->Delete();
}

void TOrvexLayer::RenderTitles(TOrvexPresenter* P) {
    if (!P) return;
    const TListWatch Watch(P->Layer() ? &P->Layer()->FPresenterWalks : nullptr, P);
    DrawTitles(P, Watch);
}

bool TOrvexLayer::DrawTitles(TOrvexPresenter* P, const TListWatch& PWatch) {
    TOrvex3* const View = FView;
    if (!P || !View || P->TitleAlignment() == taNone) return true;
    TOrvexFont* Font = P->TitleFont();
    TDeviceContext* DC = View->Canvas()->DC();
    TPrjModel* Prj = View->ProjectionModel();
    if (!Font || !DC || !Prj) return true;
    // Realized afresh: the font's pixel height follows the current scale.
    Font->CreateHandle();
    Font->Apply(false);
    if (!Font->HasHandle() || Font->FontHeight() < std::max(2, View->EffectiveMinTextHeight())) return true;
    // Saturated, and added in 64 bits: a long offset in a length unit at a large zoom lies
    // billions of pixels away.
    int64_t Offset = P->TitleOffset();
    if (Font->FontUnit() != Pixel)
        Offset = RoundSaturate(RoundSaturate(Offset * UnitFactor(Font->FontUnit())) * View->GetScaleFactor());
    const TTitleAlignment Alignment = P->TitleAlignment();
    TListWalk<TOrvexObject> Objects(FObjectWalks, FObjects);
    size_t Visited = 0;
    while (TOrvexObject* O = Objects.Next()) {
        if (++Visited + RenderFetchAhead < FObjects.size()) Prefetch(FObjects[Visited + RenderFetchAhead]);
        if (O->Presenter() != P || !O->HasState(osInView) || !O->HasState(osFrontSide)) continue;
        bool Done = false;
        if (View->OnRenderTitle) {
            View->OnRenderTitle(View, O, Done);
            if (Objects.OwnerGone()) return false;
            if (PWatch.MemberGone()) return true;
            if (Objects.MemberGone()) continue;
        }
        if (Done || O->Title().empty()) continue;
        if (!Prj->PointToXY(O->Centroid(), 0)) continue;
        int64_t X = PointBuffer[0].X, Y = PointBuffer[0].Y;
        unsigned Align = TA_LEFT | TA_TOP;
        switch (Alignment) {
            case taNone: continue;
            case taCenter: Align = TA_CENTER | TA_BASELINE; break;
            case taLeft: Align = TA_RIGHT | TA_BASELINE; X -= Offset; break;
            case taRight: Align = TA_LEFT | TA_BASELINE; X += Offset; break;
            case taTopLeft: Align = TA_RIGHT | TA_BOTTOM; X -= Offset; Y -= Offset; break;
            case taTop: Align = TA_CENTER | TA_BOTTOM; Y -= Offset; break;
            case taTopRight: Align = TA_LEFT | TA_BOTTOM; X += Offset; Y -= Offset; break;
            case taBottomLeft: Align = TA_RIGHT | TA_TOP; X -= Offset; Y += Offset; break;
            case taBottom: Align = TA_CENTER | TA_TOP; Y += Offset; break;
            case taBottomRight: Align = TA_LEFT | TA_TOP; X += Offset; Y += Offset; break;
        }
        // A title this far lies off every surface (and beyond what the drawing system takes).
        if (std::llabs(X) > PixelLimit || std::llabs(Y) > PixelLimit) continue;
        DC->SetTextAlign(Align);
        DC->TextOut(static_cast<int32_t>(X), static_cast<int32_t>(Y), O->Title());
    }
    return true;
}
