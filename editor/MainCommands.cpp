// The main window's commands, registered once each, and the menus laid out from them. A new
// command is one registration here and its name in a menu, a button or nowhere (keys only).
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "editor/CommandRegistry.h"
#include "editor/ListGrid.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "model/OrvexLayer.h"
#include "view/Orvex3.h"

void TfrmMain::RegisterCommands() {
    RegisterFileCommands();
    RegisterViewCommands();
    // After the view's: Ctrl+Z goes to one of "ZoomExtents" and "Undo".
    Undo->RegisterCommands(*FCommands);
    RegisterListCommands();
    RegisterToolCommands();
}

void TfrmMain::RegisterFileCommands() {
    TCommandRegistry& C = *FCommands;
    C.Add({"actNew", "&New", [this] { FileNew(); }});
    C.Add({"actLoadLayer", "&Load Layer", [this] { LoadLayers(); }});
    C.Add({"actLoadProfile", "Load Profile", [this] { LoadProfile(); }});
    C.Add({"actSaveLayer", "&Save Layer", [this] { SaveLayer(); }});
    C.Add({"actSaveAllLayers", "Save &All Layers", [this] { SaveAllLayers(); }});
    C.Add({"actSaveProfile", "Save Profile", [this] { SaveProfile(); }});
    C.Add({"actImportE00", "Import E00", [this] { Import(ikE00); }});
    C.Add({"actImportMIF", "Import MIF", [this] { Import(ikMIF); }});
    C.Add({"actImportSHP", "Import SHP", [this] { Import(ikSHP); }});
    C.Add({"actImportOther", "Import Other Formats...", [this] { ImportOtherFormats(); }});
    C.Add({"actExportLayer", "Export Layer...", [this] { ExportLayer(); }});
    C.Add({"actPrint", "&Print", [this] { Print(); }});
    C.Add({"actExportImage", "Export Image...", [this] { ExportImage(); }});
    C.Add({"actExit", "E&xit", [this] { close(); }});
}

void TfrmMain::RegisterViewCommands() {
    TCommandRegistry& C = *FCommands;
    C.Add({.Name = "actFind",
           .Caption = "&Find...",
           .Run = [this] { FindObjects(); },
           .Keys = {QKeySequence::Find},
           .Hint = "Find objects by their title"});
    // Ctrl+Z may go to "Undo" instead (the Edit menu's choice).
    C.Add({.Name = "actZoomExtents", .Caption = "ZoomExtents", .Run = [this] { ZoomExtents(); }, .Keys = {QKeySequence("Ctrl+Z")}});
    C.Add({.Name = "actTransparent",
           .Caption = "Transparent Orvex",
           .Run = [this] { ToggleTransparent(); },
           .Checked = [this] { return FView->TransparentOrvex(); }});
    C.Add({"actTexture", "TextureMapped Orvex", [this] { ChooseTexture(); }});
    C.Add({.Name = "actAntialiasing",
           .Caption = "Antialiasing",
           .Run = [this] { FView->SetAntialiasing(!FView->Antialiasing()); },
           .Checked = [this] { return FView->Antialiasing(); }});
    C.Add({"actStatistics", "Statistics", [this] { ShowStatistics(); }});
    C.Add({.Name = "actMeasure",
           .Caption = "&Measure",
           .Run = [this] { SetMeasuring(!FMeasuring); },
           .Keys = {QKeySequence("Ctrl+M")},
           .Checked = [this] { return FMeasuring; },
           .Hint = "Measure great-circle lengths: click on the map, Esc or a right click ends"});
    C.Add({"actEndMeasure", "End Measuring", [this] { SetMeasuring(false); }});
    C.Add({.Name = "actCoordinatesDms",
           .Caption = "Degrees, Minutes, Seconds",
           .Run = [this] { SetCoordinateStyle(TCoordinateStyle::Dms); },
           .Checked = [this] { return FMapStatus->CoordinateStyle() == TCoordinateStyle::Dms; }});
    C.Add({.Name = "actCoordinatesDecimal",
           .Caption = "Decimal Degrees",
           .Run = [this] { SetCoordinateStyle(TCoordinateStyle::Decimal); },
           .Checked = [this] { return FMapStatus->CoordinateStyle() == TCoordinateStyle::Decimal; }});
}

void TfrmMain::RegisterListCommands() {
    TCommandRegistry& C = *FCommands;
    auto HasLayer = [this] { return FCurrentLayer != nullptr; };
    auto HasObject = [this] { return FCurrentLayer && FCurrentObject; };
    C.Add({"actNewLayer", "New Layer", [this] { NewLayer(); }});
    C.Add({"actDeleteLayer", "Delete layer", [this] { DeleteLayer(); }, HasLayer});
    C.Add({"actNewGeoData", "New GeoDataObject", [this] { NewGeoDataObject(); }, HasLayer});
    C.Add({"actNewBitmap", "New BitmapObject", [this] { NewBitmapObject(); }, HasLayer});
    C.Add({.Name = "actMoveToLayer", .Caption = "Move To Layer", .Run = [this] { ObjectsCommand(1); }, .Enabled = HasObject, .Tag = 1});
    C.Add({.Name = "actCopyToLayer", .Caption = "Copy To Layer", .Run = [this] { ObjectsCommand(2); }, .Enabled = HasObject, .Tag = 2});
    C.Add({.Name = "actDeleteObject", .Caption = "Delete Object", .Run = [this] { ObjectsCommand(-1); }, .Enabled = HasObject, .Tag = -1});
    C.Add({.Name = "actNewPointPresenter", .Caption = "New Point Presenter", .Run = [this] { NewPresenter(0); }, .Enabled = HasLayer, .Tag = 0});
    C.Add({.Name = "actNewPolylinePresenter", .Caption = "New Polyline Presenter", .Run = [this] { NewPresenter(1); }, .Enabled = HasLayer, .Tag = 1});
    C.Add({.Name = "actNewPolygonPresenter", .Caption = "New Polygon Presenter", .Run = [this] { NewPresenter(2); }, .Enabled = HasLayer, .Tag = 2});
    // Only a presenter of the current layer, below the global ones, can be made global.
    C.Add({"actMakeGlobal", "Make Global", [this] { MakeGlobal(); }, [this] {
               const int Row = PresentersGrid->CursorRow(), G = GlobalPresenterCount();
               return FCurrentLayer && Row >= G && Row < G + FCurrentLayer->PresenterCount();
           }});
    C.Add({.Name = "actDeletePresenter",
           .Caption = "Delete Presenter",
           .Run = [this] { DeletePresenter(); },
           .Enabled = [this] { return FCurrentPresenter != nullptr; },
           .Tag = -1});
}

void TfrmMain::RegisterToolCommands() {
    TCommandRegistry& C = *FCommands;
    C.Add({"actProjectionProperties", "Properties", [this] { ShowProjectionProperties(); }});
    C.Add({.Name = "actZoomReset", .Caption = "Whole map", .Run = [this] { Zoom(0); }, .Tag = 0});
    C.Add({.Name = "actZoomIn", .Caption = "Zoom in", .Run = [this] { Zoom(75); }, .Tag = 75});
    C.Add({.Name = "actZoomOut", .Caption = "Zoom out", .Run = [this] { Zoom(125); }, .Tag = 125});
    // The layer buttons are enabled by these rules too.
    C.Add({.Name = "actLayerUp",
           .Caption = "Up",
           .Run = [this] { MoveLayer(-1); },
           .Enabled = [this] { return FCurrentLayer && FCurrentLayer->Index() > 0; },
           .Tag = -1});
    C.Add({.Name = "actLayerDown",
           .Caption = "Down",
           .Run = [this] { MoveLayer(1); },
           .Enabled = [this] { return FCurrentLayer && FCurrentLayer->Index() < FView->LayerCount() - 1; },
           .Tag = 1});
}

void TfrmMain::BuildMenus() {
    TCommandRegistry& C = *FCommands;
    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    C.Fill(*mnuFile, {"actNew", "actLoadLayer", "actLoadProfile", "-", "actSaveLayer", "actSaveAllLayers",
                      "actSaveProfile", "-"});
    QMenu* mnuImport = mnuFile->addMenu("&Import");
    mnuImport->setObjectName("mnuImport");
    C.Fill(*mnuImport, {"actImportE00", "actImportMIF", "actImportSHP", "actImportOther"});
    C.Fill(*mnuFile, {"actExportLayer", "-", "actPrint", "actExportImage", "-"});
    mnuRecent = mnuFile->addMenu("Recent &Files");
    mnuRecent->setObjectName("mnuRecent");
    C.Fill(*mnuFile, {"-", "actExit"});

    QMenu* mnuEdit = menuBar()->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    C.Fill(*mnuEdit, {"actUndo", "actRedo", "-", "actCtrlZUndoes"});

    mnuView = menuBar()->addMenu("&View");
    mnuView->setObjectName("mnuView");
    C.Fill(*mnuView, {"actFind", "-", "actZoomExtents", "-", "actTransparent", "actTexture", "actAntialiasing", "-",
                      "actStatistics", "-", "actMeasure", "-", "actCoordinatesDms", "actCoordinatesDecimal"});
}
