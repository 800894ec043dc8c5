// The list commands of the main window: layers, objects and presenters made, deleted, moved
// and copied from the grids' context menus and the layer buttons.
#include <QMenu>

#include "editor/CommandRegistry.h"

#include "editor/EditorErrors.h"
#include "editor/ListGrid.h"
#include "editor/SelLayer.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "model/BitmapObject.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

void MoveObjects(const std::vector<TOrvexObject*>& Objects, TOrvexLayer* Target) {
    for (TOrvexObject* O : Objects) O->SetLayer(Target);
}

void CopyObjects(const std::vector<TOrvexObject*>& Objects, TOrvexLayer* Target) {
    for (TOrvexObject* O : Objects) {
        TOrvexPersistent* Made = O->ClassInfo().Create ? O->ClassInfo().Create(Target) : nullptr;
        auto* Copy = dynamic_cast<TOrvexObject*>(Made);
        if (!Copy) {
            delete Made;
            throw EOrvexException(Format("Copy To Layer: class %s cannot be created", O->ClassName().c_str()));
        }
        try {
            Copy->CopyFrom(O);
        } catch (...) {
            delete Copy;
            throw;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Layers

void TfrmMain::MoveLayer(int Tag) {
    if (!FCurrentLayer) return;
    const int32_t From = FCurrentLayer->Index();
    FCurrentLayer->SetIndex(From + Tag);
    Undo->RecordMoveLayer(From, FCurrentLayer->Index());
    SetCurrentLayer(FCurrentLayer);
    LayersGrid->SetCursorRow(FCurrentLayer->Index());
    LayersGrid->Repaint();
}

void TfrmMain::DragLayer(int From, int To) {
    if (From < 0 || From >= FView->LayerCount() || To < 0 || To >= FView->LayerCount() || From == To) return;
    TOrvexLayer* Layer = FView->GetLayer(From);
    Layer->SetIndex(To);
    Undo->RecordMoveLayer(From, Layer->Index());
    SetCurrentLayer(Layer);
    LayersGrid->SetCursorRow(Layer->Index());
    LayersGrid->Repaint();
}

void TfrmMain::ToggleLayerVisible(int Row) {
    if (Row < 0 || Row >= FView->LayerCount()) return;
    TOrvexLayer* Layer = FView->GetLayer(Row);
    Undo->RecordLayerEdit(*Layer, "Change Visible", [Layer] { Layer->SetVisible(!Layer->Visible()); });
    LayersGrid->Repaint();
}

void TfrmMain::PrepareLayersMenu() { FCommands->UpdateStates(LayersMenu->actions()); }

void TfrmMain::NewLayer() {
    TOrvexLayer* Layer = FView->AddLayer("New layer");
    Undo->RecordNewLayer(*Layer);
    SetCurrentLayer(Layer);
    LayersGrid->SetRowCount(FView->LayerCount());
    LayersGrid->SetCursorRow(Layer->Index());
    LayersGrid->Repaint();
}

void TfrmMain::DeleteLayer() {
    TOrvexLayer* Layer = FCurrentLayer;
    if (!Layer) return;
    Undo->RecordDeleteLayer(*Layer, [&] { Layer->Delete(); });
    SetCurrentLayer(nullptr);
    LayersGrid->SetRowCount(FView->LayerCount());
    RepaintGrids();
}

// ---------------------------------------------------------------------------------------
// Objects

bool TfrmMain::PrepareObjectsMenu() {
    if (!FCurrentLayer) return false;
    FCommands->UpdateStates(ObjectsMenu->actions());
    return true;
}

void TfrmMain::ObjectAdded(TOrvexObject* Obj) {
    SetCurrentObject(Obj);
    ObjectsGrid->SetRowCount(FCurrentLayer->ObjectCount());
    ObjectsGrid->SetCursorRow(Obj->Index());
    RepaintGrids();
}

void TfrmMain::NewGeoDataObject() {
    if (!FCurrentLayer) return;
    ObjectAdded(Undo->RecordNewObject(
        "New GeoDataObject", [this] { return TGeoDataObject::Create(FCurrentLayer, nullptr, 0, "New GeoData"); }));
}

void TfrmMain::NewBitmapObject() {
    if (!FCurrentLayer) return;
    ObjectAdded(Undo->RecordNewObject(
        "New BitmapObject", [this] { return TBitmapObject::Create(FCurrentLayer, nullptr, 0, "New Bitmap"); }));
}

std::vector<TOrvexObject*> TfrmMain::SelectedObjects(TOrvexLayer& Layer) const {
    std::vector<TOrvexObject*> Objects;
    const std::vector<int> Rows = ObjectsGrid->SelectedRows();
    for (auto Row = Rows.rbegin(); Row != Rows.rend(); ++Row)
        if (TOrvexObject* O = Layer.GetObject(*Row)) Objects.push_back(O);
    return Objects;
}

void TfrmMain::ObjectsCommand(int Tag) {
    TOrvexLayer* Source = FCurrentLayer;
    if (!Source || !FCurrentObject) return;
    TOrvexLayer* Target = nullptr;
    if (Tag == 1 || Tag == 2) {
        Target = SelectLayer(*FView, this);
        if (!Target) return;
    }
    const std::vector<TOrvexObject*> Objects = SelectedObjects(*Source);
    struct TRefresh {
        TfrmMain& Main;
        TOrvexLayer* Source;
        ~TRefresh() {
            Main.SetCurrentObject(nullptr);
            Main.ObjectsGrid->SetRowCount(Source->ObjectCount());
            Main.RepaintGrids();
        }
    } Refresh{*this, Source};
    if (Tag == -1) {
        Undo->RecordDeleteObjects(*Source, Objects, [&] {
            for (TOrvexObject* O : Objects) O->Delete();
            Source->SetExtents(TExtent{});
        });
        return;
    }
    Undo->RecordContents(Tag == 1 ? "Move To Layer" : "Copy To Layer", {Source, Target}, [&] {
        if (Tag == 1) MoveObjects(Objects, Target);
        if (Tag == 2) CopyObjects(Objects, Target);
        // The layer's extent is made afresh from the objects that are left.
        if (Tag == 1) Source->SetExtents(TExtent{});
    });
}

// ---------------------------------------------------------------------------------------
// Presenters

bool TfrmMain::PreparePresentersMenu() {
    if (!FCurrentLayer) return false;
    FCommands->UpdateStates(PresentersMenu->actions());
    return true;
}

void TfrmMain::UpdatePresenterRows() {
    PresentersGrid->SetRowCount(GlobalPresenterCount() +
                                (FCurrentLayer && FCurrentPresenter ? FCurrentLayer->PresenterCount() : 0));
    RepaintGrids();
}

void TfrmMain::NewPresenter(int Tag) {
    if (!FCurrentLayer) return;
    TOrvexPresenter* P = nullptr;
    switch (Tag) {
        case 0: P = TOrvexPresenter::CreateNamed<TPointPresenter>(FCurrentLayer, 0, ""); break;
        case 1: P = TOrvexPresenter::CreateNamed<TPolylinePresenter>(FCurrentLayer, 0, ""); break;
        case 2: P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(FCurrentLayer, 0, ""); break;
        default: return;
    }
    Undo->RecordNewPresenter(*P);
    SetCurrentPresenter(P);
    PresentersGrid->SetRowCount(GlobalPresenterCount() + FCurrentLayer->PresenterCount());
    PresentersGrid->SetCursorRow(PresenterRow(P));
    RepaintGrids();
}

void TfrmMain::DeletePresenter() {
    TOrvexPresenter* P = FCurrentPresenter;
    if (!P) return;
    Undo->RecordDeletePresenter(*P, [&] { P->Delete(); });
    PresentersGrid->SetRowCount(GlobalPresenterCount() + (FCurrentLayer ? FCurrentLayer->PresenterCount() : 0));
    RepaintGrids();
}

void TfrmMain::MakeGlobal() {
    if (!FCurrentLayer) return;
    const int Row = PresentersGrid->CursorRow(), G = GlobalPresenterCount();
    if (Row < G) return;
    TOrvexPresenter* P = FCurrentLayer->GetPresenter(Row - G);
    if (!P) return;
    Undo->RecordMakeGlobal(*P, [&] { P->MoveToLayer(FView->GlobalLayer()); });
    RepaintGrids();
}
