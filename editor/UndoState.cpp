#include "editor/UndoState.h"

#include <algorithm>
#include <strings.h>

#include "model/ClassRegistry.h"
#include "model/ListWalk.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

bool Skipped(const std::vector<std::string>& Skip, const std::string& Name) {
    return std::any_of(Skip.begin(), Skip.end(), [&](const std::string& S) { return strcasecmp(S.c_str(), Name.c_str()) == 0; });
}

// Restored by position or through the view's selection, not by their setters.
const std::vector<std::string> kObjectPlaceProps = {"Index", "Selected", "Hidden"};

bool SamePresenter(const TOrvexPresenter& P, const TPresenterRef& Ref) {
    return P.ClassName() == Ref.ClassName && P.FeatureID() == Ref.FeatureID && P.Name() == Ref.Name;
}

std::vector<TPoint3D> PointsOf(const TOrvexObject& Obj) {
    std::vector<TPoint3D> Points(static_cast<size_t>(std::max(0, Obj.GetPointCount())));
    for (size_t I = 0; I < Points.size(); ++I) Points[I] = Obj.GetPoint(static_cast<int32_t>(I));
    return Points;
}

TOrvexPersistent* CreateOfClass(TOrvexLayer& Layer, const std::string& ClassName) {
    TOrvex3* View = Layer.View();
    const TClassInfo* Info = View ? View->ClassRegistry().Find(ClassName) : nullptr;
    if (!Info || !Info->Create) throw EOrvexException(Format("Undo: class %s cannot be created", ClassName.c_str()));
    return Info->Create(&Layer);
}

}  // namespace

TPropsState CaptureProps(const TPersistent& Item, const std::vector<std::string>& Skip) {
    TPropsState State;
    for (const TPropInfo* P : Item.ClassInfo().Properties())
        if (P->Writable() && P->Kind != TPropKind::Class && !Skipped(Skip, P->Name))
            State.Values.emplace_back(P->Name, P->Get(Item));
    return State;
}

void ApplyProps(TPersistent& Item, const TPropsState& State) {
    for (const auto& [Name, Value] : State.Values)
        if (const TPropInfo* P = Item.ClassInfo().FindProperty(Name); P && P->Writable() && P->Get(Item) != Value)
            P->Set(Item, Value);
}

// ---------------------------------------------------------------------------------------
// Places

int32_t LayerRefOf(const TOrvexLayer& Layer) { return Layer.IsGlobalLayer() ? kGlobalLayerRef : Layer.Index(); }

TOrvexLayer& LayerAt(TOrvex3& View, int32_t Ref) {
    if (Ref == kGlobalLayerRef && View.GlobalLayer()) return *View.GlobalLayer();
    if (Ref < 0 || Ref >= View.LayerCount()) throw EOrvexException("Undo: the layer is no longer there");
    return *View.Layers()[static_cast<size_t>(Ref)];
}

TPresenterRef RefOf(const TOrvexPresenter& P) {
    TPresenterRef Ref;
    Ref.ClassName = P.ClassName();
    Ref.FeatureID = P.FeatureID();
    Ref.Name = P.Name();
    if (const TOrvexLayer* L = P.Layer()) {
        Ref.Layer = LayerRefOf(*L);
        for (const TOrvexPresenter* Other : L->Presenters()) {
            if (Other == &P) break;
            if (SamePresenter(*Other, Ref)) ++Ref.Rank;
        }
    }
    return Ref;
}

TOrvexPresenter& PresenterAt(TOrvex3& View, const TPresenterRef& Ref) {
    int32_t Rank = Ref.Rank;
    for (TOrvexPresenter* P : LayerAt(View, Ref.Layer).Presenters())
        if (SamePresenter(*P, Ref) && Rank-- == 0) return *P;
    throw EOrvexException(Format("Undo: the presenter %s is no longer there", Ref.Name.c_str()));
}

TObjectRef RefOf(const TOrvexObject& Obj) {
    return TObjectRef{Obj.Layer() ? LayerRefOf(*Obj.Layer()) : 0, Obj.Index()};
}

TOrvexObject& ObjectAt(TOrvex3& View, const TObjectRef& Ref) {
    TOrvexObject* Obj = LayerAt(View, Ref.Layer).GetObject(Ref.Index);
    if (!Obj) throw EOrvexException("Undo: the object is no longer there");
    return *Obj;
}

// ---------------------------------------------------------------------------------------
// Presenters

TPresenterState CapturePresenter(TOrvexPresenter& P) {
    TOrvexStream S;
    P.SaveToStream(S);
    return TPresenterState{P.ClassName(), std::move(S.Data())};
}

void ApplyPresenter(TOrvexPresenter& P, const TPresenterState& State) {
    TOrvexStream S(State.Record);
    P.LoadFromStream(S);
    if (TOrvex3* View = P.Layer() ? P.Layer()->View() : nullptr) View->RequestRender();
}

TOrvexPresenter* CreatePresenter(TOrvexLayer& Layer, const TPresenterState& State) {
    TOrvexPersistent* Made = CreateOfClass(Layer, State.ClassName);
    auto* P = dynamic_cast<TOrvexPresenter*>(Made);
    if (!P) {
        delete Made;
        throw EOrvexException(Format("Undo: %s is not a presenter", State.ClassName.c_str()));
    }
    try {
        ApplyPresenter(*P, State);
    } catch (...) {
        delete P;
        throw;
    }
    return P;
}

// ---------------------------------------------------------------------------------------
// Objects

bool TObjectState::operator==(const TObjectState& Other) const {
    const bool SamePoints = Points == Other.Points || (Points && Other.Points && *Points == *Other.Points);
    return ClassName == Other.ClassName && Props == Other.Props && SamePoints && HasPresenter == Other.HasPresenter &&
           (!HasPresenter || Presenter == Other.Presenter) && Selected == Other.Selected && Hidden == Other.Hidden;
}

TObjectState CaptureObject(const TOrvexObject& Obj, const TObjectState* Reuse) {
    TObjectState State;
    State.ClassName = Obj.ClassName();
    State.Props = CaptureProps(Obj, kObjectPlaceProps);
    auto Points = PointsOf(Obj);
    if (Reuse && Reuse->Points && *Reuse->Points == Points)
        State.Points = Reuse->Points;
    else
        State.Points = std::make_shared<const std::vector<TPoint3D>>(std::move(Points));
    if (const TOrvexPresenter* P = Obj.Presenter()) {
        State.HasPresenter = true;
        State.Presenter = RefOf(*P);
    }
    State.Selected = Obj.Selected();
    State.Hidden = Obj.Hidden();
    return State;
}

void ApplyObject(TOrvexObject& Obj, const TObjectState& State) {
    TOrvexLayer* Layer = Obj.Layer();
    if (State.HasPresenter && Layer && Layer->View()) {
        TPresenterRef Ref = State.Presenter;
        if (Ref.Layer != kGlobalLayerRef) Ref.Layer = Layer->Index();
        Obj.AttachPresenter(&PresenterAt(*Layer->View(), Ref));
    } else if (!State.HasPresenter && Obj.Presenter()) {
        Obj.DetachPresenter();
    }
    // After the presenter: attaching one sets the object's FeatureID, which may have differed.
    ApplyProps(Obj, State.Props);
    const std::vector<TPoint3D>& Points = *State.Points;
    const auto Count = static_cast<int32_t>(Points.size());
    if (auto* Chain = dynamic_cast<TGeoDataObject*>(&Obj)) {
        Chain->SetPoints(Points.data(), Count);
    } else {
        Obj.SetPointCount(Count);
        for (int32_t I = 0; I < Count; ++I) Obj.PutPoint(I, Points[static_cast<size_t>(I)]);
    }
    Obj.SetHidden(State.Hidden);
    Obj.SetSelected(State.Selected);
    Obj.Invalidate();
}

TOrvexObject* CreateObject(TOrvexLayer& Layer, const TObjectState& State) {
    TOrvexPersistent* Made = CreateOfClass(Layer, State.ClassName);
    auto* Obj = dynamic_cast<TOrvexObject*>(Made);
    if (!Obj) {
        delete Made;
        throw EOrvexException(Format("Undo: %s is not a map object", State.ClassName.c_str()));
    }
    try {
        ApplyObject(*Obj, State);
    } catch (...) {
        delete Obj;
        throw;
    }
    return Obj;
}

// ---------------------------------------------------------------------------------------
// Layers

TLayerContents CaptureContents(const TOrvexLayer& Layer, const TLayerContents* Reuse) {
    TLayerContents C;
    for (TOrvexPresenter* P : Layer.Presenters()) C.Presenters.push_back(CapturePresenter(*P));
    C.Objects.reserve(Layer.Objects().size());
    for (size_t I = 0; I < Layer.Objects().size(); ++I) {
        const TObjectState* Old = Reuse && I < Reuse->Objects.size() ? &Reuse->Objects[I] : nullptr;
        C.Objects.push_back(CaptureObject(*Layer.Objects()[I], Old));
    }
    C.Extents = Layer.Extents();
    C.IsLoaded = Layer.IsLoaded();
    return C;
}

void ApplyContents(TOrvexLayer& Layer, const TLayerContents& Contents) {
    // Clearing forgets that the layer was loaded; what the state says is put back after.
    Layer.Clear();
    {
        const TLayerUpdate Update(Layer);
        for (const TPresenterState& P : Contents.Presenters) CreatePresenter(Layer, P);
        for (const TObjectState& State : Contents.Objects) {
            CreateObject(Layer, State);
        }
        for (TOrvexObject* O : Layer.Objects()) O->CalcExtents();
    }
    Layer.SetExtents(Contents.Extents);
    Layer.SetIsLoaded(Contents.IsLoaded);
}

TLayerState CaptureLayer(const TOrvexLayer& Layer, bool WithContents, const TLayerContents* Reuse) {
    TLayerState State;
    State.Settings = CaptureProps(Layer, {"Filename", "Index"});
    // Setting the units converts the zoom range: they go first.
    auto& V = State.Settings.Values;
    std::stable_partition(V.begin(), V.end(), [](const auto& Entry) { return Entry.first == "ZoomUnits"; });
    State.Directory = Layer.Directory();
    State.Filename = Layer.Filename();
    if (WithContents) State.Contents = CaptureContents(Layer, Reuse);
    return State;
}

void ApplySettings(TOrvexLayer& Layer, const TLayerState& State) {
    if (!State.Filename.empty() && (Layer.Filename() != State.Filename || Layer.Directory() != State.Directory)) {
        // Naming a file reads it, except in a layer that loads on demand: this one does for a
        // moment. The members come back from the state, not from the file.
        const bool OnDemand = Layer.LoadOnDemand();
        Layer.SetLoadOnDemand(true);
        Layer.SetFilename(State.Directory + State.Filename);
        Layer.SetLoadOnDemand(OnDemand);
    }
    // After the name: naming a file reads the layer's settings from the profile.
    ApplyProps(Layer, State.Settings);
}
