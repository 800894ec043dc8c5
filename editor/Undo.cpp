#include "editor/Undo.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>
#include <algorithm>
#include <optional>

#include "editor/CommandRegistry.h"
#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/UndoState.h"
#include "editor/uMain.h"
#include "model/ListWalk.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

// Entries made within a session are cheap; the oldest go past this many.
constexpr int kUndoLimit = 100;

// What most edits change on the side: layer extents, which layer files store (an object
// that changes resets its layer's), and the selection (the editor selects what it makes
// current). Every entry puts back both.
struct TExtents {
    std::vector<TExtent> Layers;
    TExtent Global;
    std::vector<TObjectRef> Selection;
};

TExtents CaptureExtents(TOrvex3& View) {
    TExtents E;
    for (const TOrvexLayer* L : View.Layers()) E.Layers.push_back(L->Extents());
    if (View.GlobalLayer()) E.Global = View.GlobalLayer()->Extents();
    for (const TOrvexObject* O : View.Selection())
        if (O->Layer()) E.Selection.push_back(RefOf(*O));
    return E;
}

void ApplySelection(TOrvex3& View, const std::vector<TObjectRef>& Refs) {
    std::vector<TOrvexObject*> Target;
    for (const TObjectRef& Ref : Refs)
        if (Ref.Layer >= 0 && Ref.Layer < View.LayerCount())
            if (TOrvexObject* O = View.Layers()[static_cast<size_t>(Ref.Layer)]->GetObject(Ref.Index))
                Target.push_back(O);
    for (TOrvexObject* O : std::vector<TOrvexObject*>(View.Selection()))
        if (std::find(Target.begin(), Target.end(), O) == Target.end()) O->SetSelected(false);
    for (TOrvexObject* O : Target) O->SetSelected(true);
}

void ApplyExtents(TOrvex3& View, const TExtents& E) {
    if (E.Layers.size() != View.Layers().size()) return;
    for (size_t I = 0; I < E.Layers.size(); ++I) View.Layers()[I]->SetExtents(E.Layers[I]);
    if (View.GlobalLayer()) View.GlobalLayer()->SetExtents(E.Global);
    ApplySelection(View, E.Selection);
    View.RequestRender();
}

void PlacePresenter(TOrvexLayer& Layer, TOrvexPresenter* P, int32_t Position) {
    auto& List = Layer.Presenters();
    const auto From = static_cast<size_t>(std::find(List.begin(), List.end(), P) - List.begin());
    const auto To = static_cast<size_t>(std::clamp<int32_t>(Position, 0, static_cast<int32_t>(List.size()) - 1));
    if (From < List.size() && From != To) MoveListMember(List, From, To, Layer.PresenterWalks());
}

int32_t PositionOf(const TOrvexPresenter& P) {
    const auto& List = P.Layer()->Presenters();
    return static_cast<int32_t>(std::find(List.begin(), List.end(), &P) - List.begin());
}

// One entry: the change is made when it is recorded, so the first redo, which the stack
// runs on pushing, does nothing.
class TEntry : public QUndoCommand {
public:
    TEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After)
        : FOwner(Owner), FBefore(std::move(Before)), FAfter(std::move(After)) {
        setText(ToQString(Text));
    }
    void redo() override {
        if (FPushed) {
            FPushed = false;
            return;
        }
        Leave(FBefore);
        Guard([this] { Forward(); }, FAfter);
    }
    void undo() override {
        Leave(FAfter);
        Guard([this] { Backward(); }, FBefore);
    }

protected:
    virtual void Forward() = 0;
    virtual void Backward() = 0;
    TOrvex3& View() const { return FOwner.View(); }

    TEditorUndo& FOwner;
    TExtents FBefore, FAfter;

private:
    // The extents of the state being left, as they are now: a render since may have made
    // them afresh, and a save may have written those.
    void Leave(TExtents& Extents) {
        TExtents Now = CaptureExtents(View());
        if (Now.Layers.size() == Extents.Layers.size()) Extents = std::move(Now);
    }
    template <class F>
    void Guard(F Step, const TExtents& Extents) {
        try {
            Step();
            ApplyExtents(View(), Extents);
        } catch (const std::exception& Error) {
            FOwner.Fail(Error.what());
        }
        FOwner.Refresh();
    }
    bool FPushed = true;
};

// ---------------------------------------------------------------------------------------
// Edits of the inspected item

enum TUnitKind { ukObject = 1, ukPresenter, ukLayer, ukProjection };

struct TUnitState {
    TObjectRef ObjRef;
    TObjectState Obj;
    TPresenterRef PresRef;
    TPresenterState Pres;
    int32_t LayerRef = 0;
    TLayerState Layer;
    std::string PrjClass;
    TPropsState Prj;
};

class TEditEntry : public TEntry {
public:
    TEditEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After, TUnitKind Kind,
               std::string Key, bool WithContents, TUnitState From, TUnitState To)
        : TEntry(Owner, Text, std::move(Before), std::move(After)),
          FKind(Kind),
          FKey(std::move(Key)),
          FWithContents(WithContents),
          FFrom(std::move(From)),
          FTo(std::move(To)) {}

    int id() const override { return FKey.empty() ? -1 : FKind; }
    bool Changes() const { return !Same(FFrom, FTo); }
    bool mergeWith(const QUndoCommand* Other) override {
        const auto* Next = dynamic_cast<const TEditEntry*>(Other);
        if (!Next || Next->FKind != FKind || Next->FKey != FKey || !SamePlace(FTo, Next->FFrom)) return false;
        FTo = Next->FTo;
        FAfter = Next->FAfter;
        setObsolete(Same(FFrom, FTo));
        return true;
    }

    bool Same(const TUnitState& A, const TUnitState& B) const {
        switch (FKind) {
            case ukObject: return A.ObjRef == B.ObjRef && A.Obj == B.Obj;
            case ukPresenter: return A.PresRef == B.PresRef && A.Pres == B.Pres;
            case ukLayer:
                return A.LayerRef == B.LayerRef && A.Layer.Settings == B.Layer.Settings &&
                       A.Layer.Directory == B.Layer.Directory && A.Layer.Filename == B.Layer.Filename &&
                       A.Layer.Contents == B.Layer.Contents;
            case ukProjection: return A.PrjClass == B.PrjClass && A.Prj == B.Prj;
        }
        return false;
    }

protected:
    void Forward() override { Apply(FFrom, FTo); }
    void Backward() override { Apply(FTo, FFrom); }

private:
    bool SamePlace(const TUnitState& A, const TUnitState& B) const {
        switch (FKind) {
            case ukObject: return A.ObjRef == B.ObjRef;
            case ukPresenter: return A.PresRef == B.PresRef;
            case ukLayer: return A.LayerRef == B.LayerRef;
            case ukProjection: return A.PrjClass == B.PrjClass;
        }
        return false;
    }
    // The item is where Now says; it takes the state and place of Target.
    void Apply(const TUnitState& Now, const TUnitState& Target) {
        switch (FKind) {
            case ukObject: {
                TOrvexObject& Obj = ObjectAt(View(), Now.ObjRef);
                ApplyObject(Obj, Target.Obj);
                Obj.SetIndex(Target.ObjRef.Index);
                break;
            }
            case ukPresenter: ApplyPresenter(PresenterAt(View(), Now.PresRef), Target.Pres); break;
            case ukLayer: {
                TOrvexLayer& L = LayerAt(View(), Now.LayerRef);
                ApplySettings(L, Target.Layer);
                if (FWithContents) {
                    ApplyContents(L, Target.Layer.Contents);
                }
                if (!L.IsGlobalLayer()) L.SetIndex(Target.LayerRef);
                break;
            }
            case ukProjection: {
                TPrjModel* Model = View().ProjectionModel();
                if (!Model || Model->ClassName() != Target.PrjClass)
                    throw EOrvexException("Undo: the projection was changed since");
                ApplyProps(*Model, Target.Prj);
                View().RequestRender();
                break;
            }
        }
    }

    TUnitKind FKind;
    std::string FKey;
    bool FWithContents;
    TUnitState FFrom, FTo;
};

// ---------------------------------------------------------------------------------------
// Structural entries

// Layers whose members were added, removed or moved, by their contents.
class TContentsEntry : public TEntry {
public:
    TContentsEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After,
                   std::vector<int32_t> Refs, std::vector<TLayerContents> From, std::vector<TLayerContents> To)
        : TEntry(Owner, Text, std::move(Before), std::move(After)),
          FRefs(std::move(Refs)),
          FFrom(std::move(From)),
          FTo(std::move(To)) {}

protected:
    void Forward() override { Apply(FTo); }
    void Backward() override { Apply(FFrom); }

private:
    void Apply(const std::vector<TLayerContents>& States) {
        for (size_t I = 0; I < FRefs.size(); ++I) {
            TOrvexLayer& L = LayerAt(View(), FRefs[I]);
            ApplyContents(L, States[I]);
        }
    }
    std::vector<int32_t> FRefs;
    std::vector<TLayerContents> FFrom, FTo;
};

// Something that comes into the model going one way and leaves it going the other.
class TComingEntry : public TEntry {
public:
    TComingEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After, bool AddedForward)
        : TEntry(Owner, Text, std::move(Before), std::move(After)), FAddedForward(AddedForward) {}

protected:
    void Forward() override { FAddedForward ? Add() : Remove(); }
    void Backward() override { FAddedForward ? Remove() : Add(); }
    virtual void Add() = 0;
    virtual void Remove() = 0;

private:
    bool FAddedForward;
};

// Objects that come into a layer at given places (a new object, or deleted ones when undone).
class TObjectsEntry : public TComingEntry {
public:
    struct TPlaced {
        int32_t Index;
        TObjectState State;
    };
    TObjectsEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After, int32_t Layer,
                  std::vector<TPlaced> Objects, bool AddedForward)
        : TComingEntry(Owner, Text, std::move(Before), std::move(After), AddedForward),
          FLayer(Layer),
          FObjects(std::move(Objects)) {
        std::sort(FObjects.begin(), FObjects.end(), [](const TPlaced& A, const TPlaced& B) { return A.Index < B.Index; });
    }

private:
    void Add() override {
        TOrvexLayer& L = LayerAt(View(), FLayer);
        const TLayerUpdate Update(L);
        for (const TPlaced& P : FObjects) CreateObject(L, P.State)->SetIndex(P.Index);
    }
    void Remove() override {
        TOrvexLayer& L = LayerAt(View(), FLayer);
        const TLayerUpdate Update(L);
        for (auto P = FObjects.rbegin(); P != FObjects.rend(); ++P) {
            TOrvexObject* Obj = L.GetObject(P->Index);
            if (!Obj) throw EOrvexException("Undo: the object is no longer there");
            // The view lets go of a selected object as it is freed; the editor hears of it.
            Obj->Delete();
        }
    }
    int32_t FLayer;
    std::vector<TPlaced> FObjects;
};

// A presenter that comes into a layer (new, or deleted when undone), with the objects that
// used it before it went.
class TPresenterEntry : public TComingEntry {
public:
    TPresenterEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After, TPresenterRef Ref,
                    int32_t Position, TPresenterState State, std::vector<TObjectRef> Users, bool AddedForward)
        : TComingEntry(Owner, Text, std::move(Before), std::move(After), AddedForward),
          FRef(std::move(Ref)),
          FPosition(Position),
          FState(std::move(State)),
          FUsers(std::move(Users)) {}

private:
    void Add() override {
        TOrvexLayer& L = LayerAt(View(), FRef.Layer);
        TOrvexPresenter* P = CreatePresenter(L, FState);
        PlacePresenter(L, P, FPosition);
        for (const TObjectRef& U : FUsers) ObjectAt(View(), U).AttachPresenter(P);
    }
    void Remove() override {
        // A presenter no object used may have been dropped by a save since: nothing to do.
        TOrvexPresenter* P = nullptr;
        try {
            P = &PresenterAt(View(), FRef);
        } catch (const EOrvexException&) {
            if (!FUsers.empty()) throw;
            return;
        }
        P->Delete();
    }
    TPresenterRef FRef;
    int32_t FPosition;
    TPresenterState FState;
    std::vector<TObjectRef> FUsers;
};

class TMakeGlobalEntry : public TEntry {
public:
    TMakeGlobalEntry(TEditorUndo& Owner, TExtents Before, TExtents After, TPresenterRef Local, int32_t Position,
                     TPresenterRef Global)
        : TEntry(Owner, "Make Global", std::move(Before), std::move(After)),
          FLocal(std::move(Local)),
          FPosition(Position),
          FGlobal(std::move(Global)) {}

protected:
    void Forward() override { PresenterAt(View(), FLocal).MoveToLayer(View().GlobalLayer()); }
    void Backward() override {
        TOrvexPresenter& G = PresenterAt(View(), FGlobal);
        TOrvexLayer& L = LayerAt(View(), FLocal.Layer);
        TOrvexPresenter* P = CreatePresenter(L, CapturePresenter(G));
        PlacePresenter(L, P, FPosition);
        std::vector<TOrvexObject*> Users;
        for (TOrvexObject* U = G.FirstUser(); U; U = U->NextUser())
            if (U->Layer() == &L) Users.push_back(U);
        for (TOrvexObject* U : Users) U->AttachPresenter(P);
        G.Delete();
    }

private:
    TPresenterRef FLocal;
    int32_t FPosition;
    TPresenterRef FGlobal;
};

class TLayerEntry : public TComingEntry {
public:
    TLayerEntry(TEditorUndo& Owner, const std::string& Text, TExtents Before, TExtents After, int32_t Ref,
                TLayerState State, bool AddedForward)
        : TComingEntry(Owner, Text, std::move(Before), std::move(After), AddedForward),
          FRef(Ref),
          FState(std::move(State)) {}

private:
    void Add() override {
        TOrvexLayer* L = View().AddLayer("");
        try {
            ApplySettings(*L, FState);
            ApplyContents(*L, FState.Contents);
            L->SetIndex(std::clamp(FRef, 0, View().LayerCount() - 1));
        } catch (...) {
            L->Delete();
            throw;
        }
    }
    void Remove() override {
        TOrvexLayer& L = LayerAt(View(), FRef);
        L.Delete();
    }
    int32_t FRef;
    TLayerState FState;
};

class TMoveLayerEntry : public TEntry {
public:
    TMoveLayerEntry(TEditorUndo& Owner, TExtents Before, TExtents After, int32_t From, int32_t To)
        : TEntry(Owner, To < From ? "Layer Up" : "Layer Down", std::move(Before), std::move(After)),
          FFrom(From),
          FTo(To) {}

protected:
    void Forward() override { LayerAt(View(), FFrom).SetIndex(FTo); }
    void Backward() override { LayerAt(View(), FTo).SetIndex(FFrom); }

private:
    int32_t FFrom, FTo;
};

// What an inspector edit changes: the nearest object, presenter, layer or projection on the
// inspector's path (an attribute belongs to the presenter it was opened from).
std::optional<TUnitKind> UnitOf(const TInspector& Inspector, TPersistent*& Item) {
    for (int K = Inspector.HistoryPosition(); K >= 0; --K) {
        Item = Inspector.HistoryEntry(K);
        if (K == Inspector.HistoryPosition() && !Item) Item = Inspector.Inspected();
        if (dynamic_cast<TOrvexObject*>(Item)) return ukObject;
        if (dynamic_cast<TOrvexPresenter*>(Item)) return ukPresenter;
        if (dynamic_cast<TOrvexLayer*>(Item)) return ukLayer;
        if (dynamic_cast<TPrjModel*>(Item)) return ukProjection;
    }
    return std::nullopt;
}

TUnitState CaptureUnit(TUnitKind Kind, TPersistent& Item, bool WithContents, const TUnitState* Reuse) {
    TUnitState S;
    switch (Kind) {
        case ukObject: {
            auto& Obj = dynamic_cast<TOrvexObject&>(Item);
            S.ObjRef = RefOf(Obj);
            S.Obj = CaptureObject(Obj, Reuse ? &Reuse->Obj : nullptr);
            break;
        }
        case ukPresenter: {
            auto& P = dynamic_cast<TOrvexPresenter&>(Item);
            S.PresRef = RefOf(P);
            S.Pres = CapturePresenter(P);
            break;
        }
        case ukLayer: {
            auto& L = dynamic_cast<TOrvexLayer&>(Item);
            S.LayerRef = LayerRefOf(L);
            S.Layer = CaptureLayer(L, WithContents, Reuse ? &Reuse->Layer.Contents : nullptr);
            break;
        }
        case ukProjection:
            S.PrjClass = Item.ClassName();
            S.Prj = CaptureProps(Item);
            break;
    }
    return S;
}

// Records what Change did even when it fails: a setter may fail after changing something,
// and what it changed is undoable too.
void ChangeThenRecord(const std::function<void()>& Change, const std::function<void()>& Record) {
    try {
        Change();
    } catch (...) {
        Record();
        throw;
    }
    Record();
}

}  // namespace

// ---------------------------------------------------------------------------------------

TEditorUndo::TEditorUndo(TfrmMain& Main) : QObject(&Main), FMain(Main), FStack(new QUndoStack(this)) {
    FStack->setUndoLimit(kUndoLimit);
}

TEditorUndo::~TEditorUndo() = default;

TOrvex3& TEditorUndo::View() const { return FMain.View(); }

void TEditorUndo::RegisterCommands(TCommandRegistry& Commands) {
    FCommands = &Commands;
    actUndo = Commands.Add(
        {.Name = "actUndo", .Caption = "&Undo", .Run = [this] { Undo(); }, .Enabled = [this] { return FStack->canUndo(); }});
    actRedo = Commands.Add(
        {.Name = "actRedo", .Caption = "&Redo", .Run = [this] { Redo(); }, .Enabled = [this] { return FStack->canRedo(); }});
    actCtrlZUndoes = Commands.Add({.Name = "actCtrlZUndoes",
                                   .Caption = "Ctrl+Z Undoes",
                                   .Run = [this] { SetCtrlZUndoes(!FCtrlZUndoes); },
                                   .Checked = [this] { return FCtrlZUndoes; }});
    auto Update = [this] {
        actUndo->setEnabled(FStack->canUndo());
        actRedo->setEnabled(FStack->canRedo());
        actUndo->setText(FStack->canUndo() ? "&Undo " + FStack->undoText() : "&Undo");
        actRedo->setText(FStack->canRedo() ? "&Redo " + FStack->redoText() : "&Redo");
    };
    connect(FStack, &QUndoStack::indexChanged, this, Update);
    connect(FStack, &QUndoStack::cleanChanged, this, Update);
    Update();
    UpdateShortcuts();
}

void TEditorUndo::SetCtrlZUndoes(bool On) {
    FCtrlZUndoes = On;
    if (actCtrlZUndoes) actCtrlZUndoes->setChecked(On);
    UpdateShortcuts();
}

void TEditorUndo::UpdateShortcuts() {
    QAction* ZoomExtents = FCommands ? FCommands->Action("actZoomExtents") : nullptr;
    if (!actUndo || !ZoomExtents) return;
    // Two actions on one key would both be dead: Ctrl+Z belongs to one of them.
    if (FCtrlZUndoes) {
        ZoomExtents->setShortcut(QKeySequence());
        actUndo->setShortcuts({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")});
    } else {
        actUndo->setShortcuts({QKeySequence("Alt+Backspace")});
        ZoomExtents->setShortcut(QKeySequence("Ctrl+Z"));
    }
    actRedo->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
}

void TEditorUndo::Undo() { Run(false); }
void TEditorUndo::Redo() { Run(true); }

void TEditorUndo::Run(bool Redo) {
    FFailure.clear();
    if (Redo)
        FStack->redo();
    else
        FStack->undo();
    if (FFailure.empty()) return;
    const std::string Text = std::move(FFailure);
    FFailure.clear();
    FStack->clear();
    Refresh();
    UiServices().ShowMessage(kEditorCaption,
                             Format("%s could not be done: %s\nThe undo history starts afresh.",
                                    Redo ? "Redo" : "Undo", Text.c_str()),
                             mkWarning);
}

void TEditorUndo::Clear() { FStack->clear(); }

void TEditorUndo::Fail(const std::string& Text) {
    if (FFailure.empty()) FFailure = Text;
}

void TEditorUndo::Push(QUndoCommand* Command) { FStack->push(Command); }

// ---------------------------------------------------------------------------------------
// Recording

void TEditorUndo::RecordEdit(const std::string& Text, const std::string& Key, const std::function<void()>& Change) {
    TPersistent* Item = nullptr;
    const std::optional<TUnitKind> Kind = UnitOf(*FMain.Inspector, Item);
    if (!Kind || !Item) {
        Change();
        return;
    }
    RecordUnitEdit(*Kind, *Item, Text, Key, Change);
}

void TEditorUndo::RecordLayerEdit(TOrvexLayer& Layer, const std::string& Text, const std::function<void()>& Change) {
    RecordUnitEdit(ukLayer, Layer, Text, {}, Change);
}

void TEditorUndo::RecordUnitEdit(int UnitKind, TPersistent& Item, const std::string& Text, const std::string& Key,
                                 const std::function<void()>& Change) {
    const auto Kind = static_cast<TUnitKind>(UnitKind);
    const TPersistentRef<TPersistent> Unit = &Item;
    // Only a new file name brings new members into a layer.
    const bool WithContents = Kind == ukLayer && Key == "Filename";
    const TExtents ExtentsBefore = CaptureExtents(View());
    TUnitState Before = CaptureUnit(Kind, Item, WithContents, nullptr);
    auto RecordAfter = [&] {
        // A change may take the item away (a load that fails); its entry would find nothing.
        if (!Unit) {
            FStack->clear();
            return;
        }
        TUnitState After = CaptureUnit(Kind, Item, WithContents, &Before);
        auto* Entry = new TEditEntry(*this, Text, ExtentsBefore, CaptureExtents(View()), Kind, Key, WithContents,
                                     std::move(Before), std::move(After));
        if (Entry->Changes())
            Push(Entry);
        else
            delete Entry;
    };
    ChangeThenRecord(Change, RecordAfter);
}

void TEditorUndo::RecordContents(const std::string& Text, std::vector<TOrvexLayer*> Layers,
                                 const std::function<void()>& Change) {
    std::vector<int32_t> Refs;
    for (const TOrvexLayer* L : Layers)
        if (L && std::find(Refs.begin(), Refs.end(), LayerRefOf(*L)) == Refs.end()) Refs.push_back(LayerRefOf(*L));
    const TExtents ExtentsBefore = CaptureExtents(View());
    std::vector<TLayerContents> Before;
    for (int32_t Ref : Refs) Before.push_back(CaptureContents(LayerAt(View(), Ref)));
    auto RecordAfter = [&] {
        std::vector<TLayerContents> After;
        for (size_t I = 0; I < Refs.size(); ++I)
            After.push_back(CaptureContents(LayerAt(View(), Refs[I]), &Before[I]));
        if (After == Before) return;
        Push(new TContentsEntry(*this, Text, ExtentsBefore, CaptureExtents(View()), Refs, std::move(Before),
                                std::move(After)));
    };
    ChangeThenRecord(Change, RecordAfter);
}

void TEditorUndo::RecordNewLayer(TOrvexLayer& Layer) {
    const TExtents Extents = CaptureExtents(View());
    TExtents Before = Extents;
    if (!Before.Layers.empty()) Before.Layers.erase(Before.Layers.begin() + Layer.Index());
    Push(new TLayerEntry(*this, "New Layer", Before, Extents, Layer.Index(), CaptureLayer(Layer), true));
}

void TEditorUndo::RecordDeleteLayer(TOrvexLayer& Layer, const std::function<void()>& Delete) {
    const TExtents Before = CaptureExtents(View());
    const int32_t Ref = Layer.Index();
    TLayerState State = CaptureLayer(Layer);
    Delete();
    Push(new TLayerEntry(*this, "Delete layer", Before, CaptureExtents(View()), Ref, std::move(State), false));
}

void TEditorUndo::RecordMoveLayer(int32_t From, int32_t To) {
    if (From == To) return;
    // Extents go by position: before the move, the moved layer's stood at From.
    const TExtents After = CaptureExtents(View());
    TExtents Before = After;
    const TExtent Moved = Before.Layers[static_cast<size_t>(To)];
    Before.Layers.erase(Before.Layers.begin() + To);
    Before.Layers.insert(Before.Layers.begin() + From, Moved);
    for (TObjectRef& Ref : Before.Selection) {
        if (Ref.Layer == To)
            Ref.Layer = From;
        else if (From < To && Ref.Layer >= From && Ref.Layer < To)
            ++Ref.Layer;
        else if (From > To && Ref.Layer > To && Ref.Layer <= From)
            --Ref.Layer;
    }
    Push(new TMoveLayerEntry(*this, std::move(Before), After, From, To));
}

void TEditorUndo::RecordDeletePresenter(TOrvexPresenter& P, const std::function<void()>& Delete) {
    const TExtents Before = CaptureExtents(View());
    const TPresenterRef Ref = RefOf(P);
    const int32_t Position = PositionOf(P);
    TPresenterState State = CapturePresenter(P);
    std::vector<TObjectRef> Users;
    for (const TOrvexObject* U = P.FirstUser(); U; U = U->NextUser())
        if (U->Layer()) Users.push_back(RefOf(*U));
    Delete();
    Push(new TPresenterEntry(*this, "Delete Presenter", Before, CaptureExtents(View()), Ref, Position,
                             std::move(State), std::move(Users), false));
}

void TEditorUndo::RecordNewPresenter(TOrvexPresenter& P) {
    const TExtents Extents = CaptureExtents(View());
    Push(new TPresenterEntry(*this, "New Presenter", Extents, Extents, RefOf(P), PositionOf(P), CapturePresenter(P), {},
                             true));
}

void TEditorUndo::RecordMakeGlobal(TOrvexPresenter& P, const std::function<void()>& Make) {
    const TExtents Before = CaptureExtents(View());
    const TPresenterRef Local = RefOf(P);
    const int32_t Position = PositionOf(P);
    Make();
    // A presenter that stayed where it was (already global) changed nothing.
    if (!P.Layer() || !P.Layer()->IsGlobalLayer() || Local.Layer == kGlobalLayerRef) return;
    Push(new TMakeGlobalEntry(*this, Before, CaptureExtents(View()), Local, Position, RefOf(P)));
}

TOrvexObject* TEditorUndo::RecordNewObject(const std::string& Text, const std::function<TOrvexObject*()>& Make) {
    const TExtents Before = CaptureExtents(View());
    TOrvexObject* Obj = Make();
    if (Obj && Obj->Layer())
        Push(new TObjectsEntry(*this, Text, Before, CaptureExtents(View()), LayerRefOf(*Obj->Layer()),
                               {{Obj->Index(), CaptureObject(*Obj)}}, true));
    return Obj;
}

void TEditorUndo::RecordDeleteObjects(TOrvexLayer& Layer, const std::vector<TOrvexObject*>& Objects,
                                      const std::function<void()>& Delete) {
    const TExtents Before = CaptureExtents(View());
    std::vector<TObjectsEntry::TPlaced> Placed;
    for (const TOrvexObject* O : Objects) Placed.push_back({O->Index(), CaptureObject(*O)});
    const int32_t Ref = LayerRefOf(Layer);
    Delete();
    Push(new TObjectsEntry(*this, "Delete Object", Before, CaptureExtents(View()), Ref, std::move(Placed), false));
}

// ---------------------------------------------------------------------------------------
// The editor's side

void TEditorUndo::Refresh() { FMain.AfterUndo(); }

void TfrmMain::AfterUndo() {
    Settle();
    // The current object is the selected one; one that an undo deselected is current no more.
    if (FCurrentObject && !FCurrentObject->Selected()) SetCurrentObject(nullptr);
    LayersGrid->SetRowCount(FView->LayerCount());
    if (FCurrentLayer) {
        ObjectsGrid->SetRowCount(std::max(1, FCurrentLayer->ObjectCount()));
        UpdateLayerButtons();
    }
    UpdatePresenterRows();
    Inspector->Refresh();
    RestoreCaption();
    FView->RequestRender();
}
