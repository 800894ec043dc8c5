#pragma once
// The editor's main window: the map view with its tool bar, the side panel with the layers,
// objects and presenters grids and the inspector, the menus, and the editor's notion of the
// current layer, object and presenter, kept in step with the grids, the view's selection
// and the inspector.
//
// Its code is divided by job: uMain.cpp builds the window and hears the view, MainState.cpp
// keeps the current items and the reactions to clicks and pages, MainGrids.cpp the grids,
// MainCommands.cpp registers the commands and lays out the menus, FileCommands.cpp,
// EditCommands.cpp and ViewCommands.cpp hold the commands, FileExtras.cpp recent files,
// dropped files and Find.

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/FileDialog.h"
#include "editor/MapStatus.h"
#include "model/Persistent.h"

class QComboBox;
class QMenu;
class QPrinter;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class TCommandRegistry;
class TInspector;
class TListGrid;
class TMainWindowTestAccess;
class TOrvex3;
class TOrvexLayer;
class TOrvexObject;
class TOrvexPresenter;
class TEditorUndo;
class TProgressPanel;

// The caption of the main window.
extern const char* const kMainCaption;

class TfrmMain : public QMainWindow {
public:
    enum TPage { pgLayers, pgObjects, pgPresenters, pgInspector };
    enum TImportKind { ikE00, ikMIF, ikSHP };

    // LayerFile (may be empty) is the program's first argument: a layer file loaded at start,
    // or a profile (.prf) opened.
    explicit TfrmMain(const std::string& LayerFile = {}, QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // The map view the window hosts and the commands acts on.
    TOrvex3& View() const { return *FView; }
    // Every command of the menus, tool bar, buttons, context menus and keys.
    TCommandRegistry& Commands() const { return *FCommands; }

    // ---- Editor state. None of these is owned here; each reads none once its item is freed.
    TOrvexLayer* CurrentLayer() const { return FCurrentLayer; }
    TOrvexObject* CurrentObject() const { return FCurrentObject; }
    TOrvexPresenter* CurrentPresenter() const { return FCurrentPresenter; }
    void SetCurrentLayer(TOrvexLayer* Layer);
    void SetCurrentObject(TOrvexObject* Obj);
    void SetCurrentPresenter(TOrvexPresenter* Presenter);

    // ---- Reactions
    // The page-change reaction: the active page's grid follows the current item, which
    // becomes the inspected root.
    void PageChanged();
    // Makes Page active without running the page-change reaction, as code does.
    void SetActivePage(TPage Page);
    TPage ActivePage() const;
    void LayersGridClick();
    void ObjectsGridClick();
    void PresentersGridClick();
    // A grid's double click opens its current item in the inspector.
    void GridDblClick(TPage Page);
    // A button pressed on the map view at pixel (X, Y).
    void ViewMouseDown(bool LeftButton, int32_t X, int32_t Y);
    // "TOrvex Object Editor", followed by the selected object's title when there is one.
    void RestoreCaption();
    void RepaintGrids();
    // The refresh after loading or importing: the Layers page, a row for every layer, and
    // the last layer current (after an import, or when none was).
    void AfterLoad(bool Import);
    // After anything that may have freed items: what referred to a freed one shows what is
    // left (the current items, the grids, the inspector).
    void Settle();
    // The presenters grid row of a presenter (-1 for none), and the presenter of a row.
    int PresenterRow(const TOrvexPresenter* P) const;
    TOrvexPresenter* PresenterAtRow(int Row) const;
    int GlobalPresenterCount() const;

    // ---- Commands of the menus, the tool bar, the buttons and the context menus.
    void FileNew();
    void LoadLayers();
    void LoadProfile();
    void SaveLayer();
    void SaveAllLayers();
    void SaveProfile();
    void Import(TImportKind Kind);
    // GeoPackage, GeoJSON, KML... through GDAL; .shp, .mif and .e00 keep their importers.
    void ImportOtherFormats();
    // The current layer to GeoPackage or GeoJSON.
    void ExportLayer();
    void Print();
    // Writes the view as a PNG, JPEG or PDF file of a size chosen in a dialog.
    void ExportImage();
    void ZoomExtents();
    void ToggleTransparent();
    void ChooseTexture();
    void ShowStatistics();
    std::string StatisticsText() const;
    void ShowProjectionProperties();
    // Tag 0 fits the whole map; another tag scales the altitude by Tag percent.
    void Zoom(int Tag);
    void ChooseProjection(int Index);
    // Tag -1 moves the current layer up the list (drawn earlier), 1 down.
    void MoveLayer(int Tag);
    // The layers grid: a row dragged onto another moves its layer there (as Up and Down do),
    // and the Visible check box shows or hides a layer; both can be undone.
    void DragLayer(int From, int To);
    void ToggleLayerVisible(int Row);
    void NewLayer();
    void DeleteLayer();
    void NewGeoDataObject();
    void NewBitmapObject();
    // Tag 1 moves the selected objects to a layer chosen in the "Select a Layer" dialog,
    // 2 copies them there, -1 deletes them.
    void ObjectsCommand(int Tag);
    // Tag 0 a point, 1 a polyline, 2 a polygon presenter.
    void NewPresenter(int Tag);
    void DeletePresenter();
    void MakeGlobal();
    // The grids, the inspector and the map after an undo or a redo.
    void AfterUndo();
    // Whether the objects and presenters menus may open (they need a current layer); also
    // enables their items.
    bool PrepareObjectsMenu();
    bool PreparePresentersMenu();
    void PrepareLayersMenu();

    // ---- Opening files by name: what the menu commands do once their dialog has chosen,
    // for dropped files and the recent files too.
    void LoadLayerFiles(const std::vector<std::string>& Files);
    void OpenProfileFile(const std::string& File);
    void ImportFiles(TImportKind Kind, const std::vector<std::string>& Files);
    // Each file as the command for its extension (.lyr, .prf, .shp, .mif, .e00, any case)
    // opens it, in order; the others are named in one message.
    void OpenFiles(const std::vector<std::string>& Files);
    // A recent file (Profile: a profile, else a layer file); one that is gone leaves the list.
    void OpenRecent(bool Profile, const std::string& Path);
    void RebuildRecentMenu();
    // The "Find" dialog; ShowFoundObject centres the map on the object and selects it.
    void FindObjects();
    void ShowFoundObject(TOrvexObject* Obj);

    // Measuring on the map: clicks add points, the status bar shows the lengths; Esc, a right
    // click or the command again ends it. The path is drawn over the map, never in a layer.
    void SetMeasuring(bool On);
    bool Measuring() const { return FMeasuring; }
    // How the status bar writes places; remembered between runs.
    void SetCoordinateStyle(TCoordinateStyle Style);
    // The folder the open dialogs start in: the last one a file was chosen in, else the
    // program's.
    std::string LastFolder() const;

    // Where "Save All Layers" writes: the program's folder when it can be written, else the
    // folder of the open profile, else the home folder; always ends with '/'.
    std::string SaveAllFolder() const;

    // The folder of the program (ends with '/'); the default folder of the open dialogs and
    // of "Save All Layers". Tests point it elsewhere.
    std::string ProgramFolder;
    TFileDialog OpenDialog;
    TFileDialog SaveDialog;

protected:
    void showEvent(QShowEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    // Esc ends a measurement. Not a shortcut: the progress panel's Cancel owns that one.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    friend class TEditorUndo;
    friend class TMainWindowTestAccess;

    // ---- Building (uMain.cpp, MainGrids.cpp, MainCommands.cpp, FileExtras.cpp)
    QWidget* BuildMapArea();
    QWidget* BuildToolBar(QWidget* Parent);
    void BuildSidePanel();
    QWidget* BuildLayersPage();
    void BuildGrids();
    void BuildGridMenus();
    void RegisterCommands();
    void RegisterFileCommands();
    void RegisterViewCommands();
    void RegisterListCommands();
    void RegisterToolCommands();
    void BuildMenus();
    void BuildStatusBar();
    // The size of the last run, or most of the screen the first time.
    void RestoreWindowGeometry();
    void ViewMouseUp(bool LeftButton, int32_t X, int32_t Y);
    // Recent files, Find and dropping files.
    void BuildFileExtras();
    void ConnectView();
    void DisconnectView();
    void Start(const std::string& LayerFile);
    void NoteRecent(bool Profile, const std::string& Path);
    // The context menu of a grid at Pos, when Prepare lets it open.
    void PopupMenu(TListGrid* Grid, QMenu* Menu, const QPoint& Pos);

    // Runs a load or an import: failures reported through progress or raised are shown
    // together in one message box, and the caption is restored at the end.
    void RunLoad(const std::function<void()>& Action);
    void NoteLoadError(const std::string& Text);
    void ShowLoadErrors();
    // Loads one layer file as a new layer named Name; a layer that fails to load is taken
    // out again. Raises what the load raised.
    TOrvexLayer* LoadLayerFile(const std::string& Path, const std::string& Name);
    void UpdateLayerButtons();
    // Saves Layer to Path (the save drops presenters nobody uses).
    void SaveLayerTo(TOrvexLayer* Layer, const std::string& Path);
    // The presenters grid's rows for the current layer and presenter.
    void UpdatePresenterRows();
    // A new object of the current layer becomes current.
    void ObjectAdded(TOrvexObject* Obj);
    // The objects of the objects grid's selected rows, bottom row first.
    std::vector<TOrvexObject*> SelectedObjects(TOrvexLayer& Layer) const;

    // ---- Widgets
    TOrvex3* FView;
    TCommandRegistry* FCommands;
    QSplitter* Splitter;
    QTabWidget* PageControl;
    TListGrid* LayersGrid;
    TListGrid* ObjectsGrid;
    TListGrid* PresentersGrid;
    QPushButton* btnUp;
    QPushButton* btnDown;
    TInspector* Inspector;
    // The undo history and the Edit menu (owned by this window).
    TEditorUndo* Undo = nullptr;
    // The progress bar and Cancel button of imports, loads and saves (in the status bar).
    TProgressPanel* Progress = nullptr;
    QComboBox* cbProjection;
    QMenu* mnuFile = nullptr;
    QMenu* mnuView = nullptr;
    QMenu* mnuRecent = nullptr;
    QMenu* LayersMenu = nullptr;
    QMenu* ObjectsMenu = nullptr;
    QMenu* PresentersMenu = nullptr;
    // The map's fields right of the hint bar, and the path being measured.
    TMapStatus* FMapStatus = nullptr;
    TMeasurePath FMeasurePath;
    TMeasureOverlay* FMeasureOverlay = nullptr;
    bool FMeasuring = false;
    int32_t FPressX = 0, FPressY = 0;

    TPersistentRef<TOrvexLayer> FCurrentLayer;
    TPersistentRef<TOrvexObject> FCurrentObject;
    TPersistentRef<TOrvexPresenter> FCurrentPresenter;
    std::unique_ptr<QPrinter> FPrinter;
    // Error texts reported through progress during a load or an import.
    std::vector<std::string> FLoadErrors;
    int FLoading = 0;
    // Set while code switches pages.
    bool FSwitchingPage = false;
    bool FShown = false;
};
