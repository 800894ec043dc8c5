// The main window's three list grids: their columns and cell texts, clicks, and context menus.
// Cells are read from the model when they are drawn, through the current layer, which reads
// none once it is freed: a grid never shows a freed item.
#include <QMenu>

#include "editor/CommandRegistry.h"
#include "editor/EditorErrors.h"
#include "editor/ListGrid.h"
#include "editor/uMain.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {
const char* const kUndefinedPresenter = "[Undefined]";
constexpr int kVisibleColumn = 3;
}

void TfrmMain::BuildGrids() {
    LayersGrid->SetColumns({{"Name", 129}, {"Objects", 52}, {"Presenters", 70}, {"Visible", 50}});
    LayersGrid->OnCellText = [this](int Col, int Row) -> std::string {
        const TOrvexLayer* L = Row >= 0 && Row < FView->LayerCount() ? FView->GetLayer(Row) : nullptr;
        if (!L || Col == kVisibleColumn) return {};
        if (Col == 0) return L->Name();
        return std::to_string(Col == 1 ? L->ObjectCount() : L->PresenterCount());
    };
    LayersGrid->OnCellCheck = [this](int Col, int Row) {
        if (Col != kVisibleColumn || Row < 0 || Row >= FView->LayerCount()) return -1;
        return FView->GetLayer(Row)->Visible() ? 1 : 0;
    };
    LayersGrid->OnToggle = [this](int, int Row) { FCommands->Perform("LayersGridVisible", [&] { ToggleLayerVisible(Row); }); };
    LayersGrid->OnRowDragged = [this](int From, int To) {
        FCommands->Perform("LayersGridDrag", [&] { DragLayer(From, To); });
    };
    ObjectsGrid->SetColumns({{"Title", 101}, {"Presenter", 102}, {"Type", 101}});
    ObjectsGrid->SetRangeSelect(true);
    ObjectsGrid->OnCellText = [this](int Col, int Row) -> std::string {
        const TOrvexObject* O = FCurrentLayer ? FCurrentLayer->GetObject(Row) : nullptr;
        if (!O) return {};
        if (Col == 0) return O->Title();
        if (Col == 1) return O->Presenter() ? O->Presenter()->Name() : kUndefinedPresenter;
        return O->ClassName();
    };
    PresentersGrid->SetColumns({{"G/L", 27}, {"Name", 120}, {"Type", 92}, {"Feature ID", 64}});
    PresentersGrid->OnCellText = [this](int Col, int Row) -> std::string {
        const TOrvexPresenter* P = PresenterAtRow(Row);
        if (!P) return {};
        switch (Col) {
            case 0: return P->Layer() == FView->GlobalLayer() ? "G" : "L";
            case 1: return P->Name();
            case 2: return P->ClassName();
            default: return std::to_string(P->FeatureID());
        }
    };

    LayersGrid->SetRowCount(1);
    ObjectsGrid->SetRowCount(1);
    LayersGrid->OnClick = [this] { RunGuarded([this] { LayersGridClick(); }); };
    ObjectsGrid->OnClick = [this] { RunGuarded([this] { ObjectsGridClick(); }); };
    PresentersGrid->OnClick = [this] { RunGuarded([this] { PresentersGridClick(); }); };
    LayersGrid->OnDblClick = [this] { GridDblClick(pgLayers); };
    ObjectsGrid->OnDblClick = [this] { GridDblClick(pgObjects); };
    PresentersGrid->OnDblClick = [this] { GridDblClick(pgPresenters); };
    ObjectsGrid->OnMouseDown = [this](Qt::MouseButton, int Row) {
        RunGuarded([&] {
            if (!FCurrentLayer || Row < 0 || Row >= FCurrentLayer->ObjectCount()) return;
            if (TOrvexObject* O = FCurrentLayer->GetObject(ObjectsGrid->CursorRow())) FView->CenterOnObject(O);
        });
    };
    BuildGridMenus();
}

void TfrmMain::BuildGridMenus() {
    TCommandRegistry& C = *FCommands;
    LayersMenu = new QMenu(this);
    LayersMenu->setObjectName("LayersMenu");
    C.Fill(*LayersMenu, {"actNewLayer", "-", "actDeleteLayer"});
    ObjectsMenu = new QMenu(this);
    ObjectsMenu->setObjectName("ObjectsMenu");
    C.Fill(*ObjectsMenu,
           {"actNewGeoData", "actNewBitmap", "-", "actMoveToLayer", "actCopyToLayer", "-", "actDeleteObject"});
    PresentersMenu = new QMenu(this);
    PresentersMenu->setObjectName("PresentersMenu");
    C.Fill(*PresentersMenu, {"actNewPointPresenter", "actNewPolylinePresenter", "actNewPolygonPresenter", "-",
                             "actMakeGlobal", "-", "actDeletePresenter"});

    connect(LayersGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        RunGuarded([&] {
            PrepareLayersMenu();
            PopupMenu(LayersGrid, LayersMenu, Pos);
        });
    });
    connect(ObjectsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        RunGuarded([&] {
            if (PrepareObjectsMenu()) PopupMenu(ObjectsGrid, ObjectsMenu, Pos);
        });
    });
    connect(PresentersGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
        RunGuarded([&] {
            if (PreparePresentersMenu()) PopupMenu(PresentersGrid, PresentersMenu, Pos);
        });
    });
}

void TfrmMain::PopupMenu(TListGrid* Grid, QMenu* Menu, const QPoint& Pos) {
    Menu->popup(Grid->viewport()->mapToGlobal(Pos));
}

int TfrmMain::GlobalPresenterCount() const { return FView->GlobalLayer() ? FView->GlobalLayer()->PresenterCount() : 0; }

TOrvexPresenter* TfrmMain::PresenterAtRow(int Row) const {
    const int G = GlobalPresenterCount();
    if (Row < 0) return nullptr;
    if (Row < G) return FView->GlobalLayer()->GetPresenter(Row);
    return FCurrentLayer ? FCurrentLayer->GetPresenter(Row - G) : nullptr;
}

int TfrmMain::PresenterRow(const TOrvexPresenter* P) const {
    if (!P) return -1;
    if (FCurrentLayer && P->Layer() == FCurrentLayer) return GlobalPresenterCount() + P->Index();
    return P->Index();
}
