// The main window's current layer, object and presenter, kept in step with the grids, the
// view's selection and the inspector; and the reactions to pages, clicks and freed items.
#include <QTabWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>

#include "editor/CommandRegistry.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/uMain.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/Text.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

// ---------------------------------------------------------------------------------------
// Editor state

void TfrmMain::SetCurrentLayer(TOrvexLayer* Layer) {
    if (Layer != FCurrentLayer) {
        FCurrentLayer = Layer;
        if (Layer) {
            ObjectsGrid->SetRowCount(std::max(1, Layer->ObjectCount()));
            // An object of this layer already current (one picked on the map) stays so.
            if (Layer->ObjectCount() > 0 && !(FCurrentObject && FCurrentObject->Layer() == Layer))
                SetCurrentObject(Layer->GetObject(0));
            PresentersGrid->SetRowCount(GlobalPresenterCount() + Layer->PresenterCount());
        }
        ObjectsGrid->Repaint();
        PresentersGrid->Repaint();
    }
    if (Layer) {
        if (FCurrentObject && FCurrentObject->Layer() != Layer) SetCurrentObject(nullptr);
        UpdateLayerButtons();
    } else {
        btnUp->setEnabled(false);
        btnDown->setEnabled(false);
        SetCurrentObject(nullptr);
        SetCurrentPresenter(nullptr);
        LayersGrid->SetCursorRow(LayersGrid->RowCount() - 1);
    }
}

void TfrmMain::UpdateLayerButtons() {
    btnUp->setEnabled(FCommands->IsEnabled("actLayerUp"));
    btnDown->setEnabled(FCommands->IsEnabled("actLayerDown"));
}

void TfrmMain::SetCurrentObject(TOrvexObject* Obj) {
    if (FCurrentObject && FCurrentObject != Obj) FCurrentObject->SetSelected(false);
    FCurrentObject = Obj;
    if (Obj) {
        Obj->SetSelected(true);
        SetCurrentPresenter(Obj->Presenter());
        SetCurrentLayer(Obj->Layer());
    }
    ObjectsGrid->Repaint();
}

void TfrmMain::SetCurrentPresenter(TOrvexPresenter* Presenter) {
    FCurrentPresenter = Presenter;
    if (!Presenter) PresentersGrid->SetRowCount(GlobalPresenterCount());
    PresentersGrid->Repaint();
}

void TfrmMain::Settle() {
    // Each current item that was freed is none now; the grids and the inspector follow.
    const bool Layer = FCurrentLayer.Expired(), Object = FCurrentObject.Expired(),
               Presenter = FCurrentPresenter.Expired();
    if (Layer) {
        FCurrentLayer.Reset();
        SetCurrentLayer(nullptr);
    }
    if (Object) SetCurrentObject(nullptr);
    if (Presenter) SetCurrentPresenter(nullptr);
    // A layer that loads on demand drops its objects and presenters, or brings them back,
    // without a word to the grids.
    if (FCurrentLayer) {
        const int Objects = FCurrentLayer->ObjectCount(), Rows = ObjectsGrid->RowCount();
        if (Rows != Objects && !(Objects == 0 && Rows <= 1)) ObjectsGrid->SetRowCount(std::max(1, Objects));
        const int Presenters = GlobalPresenterCount() + FCurrentLayer->PresenterCount();
        if (PresentersGrid->RowCount() > Presenters) PresentersGrid->SetRowCount(Presenters);
    }
    if (Layer || Object || Presenter) RepaintGrids();
    Inspector->DropFreed();
}

void TfrmMain::RestoreCaption() {
    const TOrvexObject* Selected = FView->SelectedObject();
    setWindowTitle(Selected ? ToQString(std::string(kMainCaption) + " " + Selected->Title()) : QString(kMainCaption));
}

void TfrmMain::RepaintGrids() {
    for (TListGrid* G : {LayersGrid, ObjectsGrid, PresentersGrid}) G->Repaint();
}

// ---------------------------------------------------------------------------------------
// Reactions

TfrmMain::TPage TfrmMain::ActivePage() const { return static_cast<TPage>(PageControl->currentIndex()); }

void TfrmMain::SetActivePage(TPage Page) {
    FSwitchingPage = true;
    PageControl->setCurrentIndex(Page);
    FSwitchingPage = false;
}

void TfrmMain::PageChanged() {
    switch (ActivePage()) {
        case pgLayers:
            if (FCurrentLayer) {
                LayersGrid->SetCursorRow(FCurrentLayer->Index());
                Inspector->InspectRoot(FCurrentLayer);
            }
            break;
        case pgObjects:
            if (!FCurrentObject && FCurrentLayer && FCurrentLayer->ObjectCount() > 0)
                SetCurrentObject(FCurrentLayer->GetObject(0));
            if (FCurrentObject) {
                ObjectsGrid->SetCursorRow(FCurrentObject->Index());
                Inspector->InspectRoot(FCurrentObject);
            }
            break;
        case pgPresenters:
            if (FCurrentObject) SetCurrentPresenter(FCurrentObject->Presenter());
            if (FCurrentPresenter) {
                PresentersGrid->SetCursorRow(PresenterRow(FCurrentPresenter));
                Inspector->InspectRoot(FCurrentPresenter);
            }
            break;
        case pgInspector: break;
    }
}

void TfrmMain::LayersGridClick() {
    const int Row = LayersGrid->CursorRow();
    TOrvexLayer* Layer = Row >= 0 && Row < FView->LayerCount() ? FView->GetLayer(Row) : nullptr;
    SetCurrentLayer(Layer);
    Inspector->InspectRoot(Layer);
}

void TfrmMain::ObjectsGridClick() {
    if (!FCurrentLayer) return;
    SetCurrentObject(FCurrentLayer->GetObject(ObjectsGrid->CursorRow()));
    Inspector->InspectRoot(FCurrentObject);
}

void TfrmMain::PresentersGridClick() {
    TOrvexPresenter* P = PresenterAtRow(PresentersGrid->CursorRow());
    SetCurrentPresenter(P);
    Inspector->InspectRoot(P);
}

void TfrmMain::GridDblClick(TPage Page) {
    const bool HasItem = (Page == pgLayers && FCurrentLayer) || (Page == pgObjects && FCurrentObject) ||
                         (Page == pgPresenters && FCurrentPresenter);
    if (HasItem) SetActivePage(pgInspector);
}

// A click while measuring adds the place under it; a drag still moves the map.
void TfrmMain::ViewMouseUp(bool LeftButton, int32_t X, int32_t Y) {
    if (!FMeasuring) {
        FMapStatus->ClearMeasure();
        return;
    }
    // Window pixels; X and Y are the surface's.
    constexpr int32_t kClickSlack = 3;
    const long double Slack = kClickSlack * static_cast<long double>(FView->SurfaceRatio());
    TPoint3D Place{};
    if (!LeftButton || std::llabs(int64_t(X) - FPressX) > Slack || std::llabs(int64_t(Y) - FPressY) > Slack ||
        !FView->PixelToLL(X, Y, Place))
        return;
    FMeasurePath.Add(Place);
    FMapStatus->ShowMeasure(FMeasurePath);
    FMeasureOverlay->update();
}

void TfrmMain::ViewMouseDown(bool LeftButton, int32_t X, int32_t Y) {
    if (FMeasuring) {
        if (!LeftButton) SetMeasuring(false);
        FPressX = X;
        FPressY = Y;
        return;
    }
    if (LeftButton) FView->SelectObject(FView->ObjectAtXY(X, Y));
    RestoreCaption();
    PageChanged();
}
