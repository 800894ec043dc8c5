#include "editor/uMain.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/ProgressPanel.h"
#include "editor/Undo.h"
#include "importers/ImportSupport.h"
#include "model/ClassInfo.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjRegistry.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

const char* const kMainCaption = "TOrvex Object Editor";

namespace {

constexpr int kWindowWidth = 801;
constexpr int kWindowHeight = 601;
constexpr int kSidePanelWidth = 320;
constexpr int kSidePanelMinWidth = 146;
constexpr int kSplitterWidth = 3;
constexpr int kHintBarHeight = 21;
constexpr int kToolBarHeight = 27;
constexpr int kZoomButtonSize = 25;
constexpr int kButtonStripHeight = 30;
// The view as the editor first shows it: the globe seen from far away, tilted 23 degrees.
constexpr int32_t kStartAltitude = 519230203;
constexpr int32_t kStartXRotation = 23;
constexpr TColor kStartOrvexColor = 8421440;
constexpr TColor clRed = 0x0000FF, clLime = 0x00FF00, clSilver = 0xC0C0C0, clGray = 0x808080;
const char* const kPanelHint = "Double Click to Edit, Right Click for menu";
const char* const kUndefinedPresenter = "[Undefined]";

// Zoom button glyphs, drawn here so they stay sharp at any scale: a magnifier with a plus
// or a minus, and a globe in a frame for fitting the whole map.
enum TGlyph { glFit, glZoomIn, glZoomOut };

QIcon ZoomIcon(TGlyph Glyph) {
    constexpr int Size = 40;
    QPixmap Picture(Size, Size);
    Picture.fill(Qt::transparent);
    QPainter P(&Picture);
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Ink(40, 60, 90);
    if (Glyph == glFit) {
        P.setPen(QPen(QColor(0, 110, 110), 3));
        P.setBrush(QColor(170, 215, 230));
        P.drawEllipse(QRectF(9, 9, 22, 22));
        P.setPen(QPen(QColor(0, 110, 110), 1.6));
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(QRectF(15, 9, 10, 22));
        P.drawLine(QPointF(9, 20), QPointF(31, 20));
        P.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::SquareCap));
        for (const auto& [X, Y, DX, DY] : {std::array{3, 3, 1, 1}, std::array{37, 3, -1, 1}, std::array{3, 37, 1, -1},
                                          std::array{37, 37, -1, -1}}) {
            P.drawLine(QPointF(X, Y), QPointF(X + DX * 8, Y));
            P.drawLine(QPointF(X, Y), QPointF(X, Y + DY * 8));
        }
    } else {
        P.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(25, 25), QPointF(36, 36));
        P.setPen(QPen(Ink, 3));
        P.setBrush(QColor(225, 240, 250));
        P.drawEllipse(QRectF(4, 4, 24, 24));
        P.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(10, 16), QPointF(22, 16));
        if (Glyph == glZoomIn) P.drawLine(QPointF(16, 10), QPointF(16, 22));
    }
    return QIcon(Picture);
}

QToolButton* MakeZoomButton(QWidget* Parent, TGlyph Glyph, int Tag, const char* Hint, const char* Name) {
    auto* B = new QToolButton(Parent);
    B->setObjectName(Name);
    B->setFixedSize(kZoomButtonSize, kZoomButtonSize);
    B->setIcon(ZoomIcon(Glyph));
    B->setIconSize(QSize(19, 19));
    B->setAutoRaise(true);
    B->setProperty("Tag", Tag);
    B->setToolTip(Hint);
    B->setStatusTip(Hint);
    return B;
}

void SetHint(QWidget* W, const QString& Hint) {
    W->setToolTip(Hint);
    W->setStatusTip(Hint);
}

}  // namespace

TfrmMain::TfrmMain(const std::string& LayerFile, QWidget* Parent)
    : QMainWindow(Parent), OpenDialog(TFileDialog::fdOpen, this), SaveDialog(TFileDialog::fdSave, this) {
    setObjectName("frmMain");
    setWindowTitle(kMainCaption);
    ProgramFolder = PathFromQString(QCoreApplication::applicationDirPath()) + "/";
    OpenDialog.AllowMultiSelect = true;

    Splitter = new QSplitter(Qt::Horizontal, this);
    Splitter->setObjectName("Splitter");
    Splitter->setHandleWidth(kSplitterWidth);
    Splitter->setChildrenCollapsible(false);
    Splitter->setStyleSheet("QSplitter::handle { background-color: teal; border: none; }");
    Splitter->addWidget(BuildMapArea());
    BuildSidePanel();
    Splitter->addWidget(PageControl);
    Splitter->setStretchFactor(0, 1);
    Splitter->setStretchFactor(1, 0);
    setCentralWidget(Splitter);

    statusBar()->setObjectName("HintBar");
    statusBar()->setFixedHeight(kHintBarHeight);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setStyleSheet("QStatusBar { border-top: 1px solid palette(mid); }");

    Progress = new TProgressPanel(*this);
    BuildMenus();
    BuildFileExtras();
    Undo = new TEditorUndo(*this);
    Undo->BuildMenu(menuBar(), mnuView->menuAction());
    Inspector->OnEdit = [this](const std::string& Text, const std::string& Key, const std::function<void()>& Change) {
        Undo->RecordEdit(Text, Key, Change);
    };
    BuildGrids();

    resize(kWindowWidth, kWindowHeight);
    Splitter->setSizes({kWindowWidth - kSidePanelWidth - kSplitterWidth, kSidePanelWidth});
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());

    ConnectView();
    Start(LayerFile);
}

TfrmMain::~TfrmMain() {
    // The view goes with the widgets below; nothing it frees may reach this window, whose
    // members are gone by then.
    DisconnectView();
    Inspector->InspectRoot(nullptr);
    for (TListGrid* G : {LayersGrid, ObjectsGrid, PresentersGrid}) G->DetachCallbacks();
    FCurrentLayer = nullptr;
    FCurrentObject = nullptr;
    FCurrentPresenter = nullptr;
    delete Splitter;
}

// ---------------------------------------------------------------------------------------
// Building the window

QWidget* TfrmMain::BuildMapArea() {
    auto* Area = new QWidget(Splitter);
    Area->setObjectName("MapArea");
    auto* Layout = new QVBoxLayout(Area);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);

    View = new TOrvex3(Area);
    View->setObjectName("Orvex");
    View->SetAltitude(kStartAltitude);
    View->MouseSelectButton = mzbNone;
    View->SelectedBrush().SetColor(clRed);
    View->SelectedPen().SetColor(clLime);
    View->TransparentBrush().SetColor(clSilver);
    View->TransparentPen().SetColor(clGray);
    View->GridPen().SetColor(clSilver);
    View->SetXRotationInDegs(kStartXRotation);
    View->SetYRotationInDegs(0);
    View->SetZRotationInDegs(0);
    View->SetOrvexColor(kStartOrvexColor);
    View->SetTextureBackground(false);
    Layout->addWidget(View, 1);

    auto* Bar = new QFrame(Area);
    Bar->setObjectName("ToolBar");
    Bar->setFixedHeight(kToolBarHeight);
    Bar->setFrameStyle(QFrame::NoFrame);
    auto* BarLayout = new QHBoxLayout(Bar);
    BarLayout->setContentsMargins(2, 1, 2, 1);
    BarLayout->setSpacing(3);
    cbProjection = new QComboBox(Bar);
    cbProjection->setObjectName("cbProjection");
    cbProjection->setFixedWidth(145);
    for (const TProjectionInfo& P : ProjectionRegistry()) cbProjection->addItem(ToQString(P.Name));
    SetHint(cbProjection, "Projection of the map");
    btnProperties = new QPushButton("Properties", Bar);
    btnProperties->setObjectName("btnProperties");
    btnProperties->setFixedSize(QSize(std::max(56, btnProperties->sizeHint().width()), 24));
    SetHint(btnProperties, "Settings of the projection in the inspector");
    btnZoomReset = MakeZoomButton(Bar, glFit, 0, "Whole map", "btnZoomReset");
    btnZoomIn = MakeZoomButton(Bar, glZoomIn, 75, "Zoom in", "btnZoomIn");
    btnZoomOut = MakeZoomButton(Bar, glZoomOut, 125, "Zoom out", "btnZoomOut");
    BarLayout->addWidget(cbProjection);
    BarLayout->addWidget(btnProperties);
    BarLayout->addStretch(1);
    BarLayout->addWidget(btnZoomReset);
    BarLayout->addWidget(btnZoomIn);
    BarLayout->addWidget(btnZoomOut);
    Layout->addWidget(Bar);

    connect(cbProjection, &QComboBox::activated, this,
            [this](int Index) { RunCommand([&] { ChooseProjection(Index); }); });
    connect(btnProperties, &QPushButton::clicked, this, [this] { RunCommand([&] { ShowProjectionProperties(); }); });
    for (QToolButton* B : {btnZoomReset, btnZoomIn, btnZoomOut})
        connect(B, &QToolButton::clicked, this,
                [this, B] { RunCommand([&] { Zoom(B->property("Tag").toInt()); }); });
    return Area;
}

void TfrmMain::BuildSidePanel() {
    PageControl = new QTabWidget(Splitter);
    PageControl->setObjectName("PageControl");
    PageControl->setMinimumWidth(kSidePanelMinWidth);
    PageControl->tabBar()->setMouseTracking(true);  // hot tracking
    PageControl->setDocumentMode(false);
    SetHint(PageControl, kPanelHint);

    auto* tsLayers = new QWidget;
    auto* LayersLayout = new QVBoxLayout(tsLayers);
    LayersLayout->setContentsMargins(0, 0, 0, 0);
    LayersLayout->setSpacing(0);
    LayersGrid = new TListGrid(tsLayers);
    LayersGrid->setObjectName("LayersGrid");
    LayersLayout->addWidget(LayersGrid, 1);
    auto* Strip = new QFrame(tsLayers);
    Strip->setFixedHeight(kButtonStripHeight);
    auto* StripLayout = new QHBoxLayout(Strip);
    StripLayout->setContentsMargins(3, 2, 3, 2);
    btnUp = new QPushButton("Up", Strip);
    btnUp->setObjectName("btnUp");
    btnUp->setProperty("Tag", -1);
    SetHint(btnUp, "Draw the layer earlier");
    btnDown = new QPushButton("Down", Strip);
    btnDown->setObjectName("btnDown");
    btnDown->setProperty("Tag", 1);
    SetHint(btnDown, "Draw the layer later");
    btnUp->setEnabled(false);
    btnDown->setEnabled(false);
    StripLayout->addWidget(btnUp);
    StripLayout->addWidget(btnDown);
    StripLayout->addStretch(1);
    LayersLayout->addWidget(Strip);
    for (QPushButton* B : {btnUp, btnDown})
        connect(B, &QPushButton::clicked, this, [this, B] { RunCommand([&] { MoveLayer(B->property("Tag").toInt()); }); });

    ObjectsGrid = new TListGrid;
    ObjectsGrid->setObjectName("ObjectsGrid");
    PresentersGrid = new TListGrid;
    PresentersGrid->setObjectName("PresentersGrid");
    Inspector = new TInspector(View);

    PageControl->addTab(tsLayers, "Layers");
    PageControl->addTab(ObjectsGrid, "Objects");
    PageControl->addTab(PresentersGrid, "Presenters");
    PageControl->addTab(Inspector, "Inspector");
    for (TListGrid* G : {LayersGrid, ObjectsGrid, PresentersGrid}) SetHint(G, kPanelHint);

    connect(PageControl, &QTabWidget::currentChanged, this, [this] {
        if (!FSwitchingPage) RunGuarded([this] { PageChanged(); });
    });
    connect(Inspector, &TInspector::PropertyChanged, this, [this] {
        Inspector->Refresh();
        RepaintGrids();
        if (FCurrentLayer) UpdateLayerButtons();
    });
}

void TfrmMain::BuildGrids() {
    LayersGrid->SetColumns({{"Name", 129}, {"Objects", 52}, {"Presenters", 123}});
    LayersGrid->OnCellText = [this](int Col, int Row) -> std::string {
        if (Row < 0 || Row >= View->LayerCount()) return {};
        const TOrvexLayer* L = View->Layers()[static_cast<size_t>(Row)];
        if (Col == 0) return L->Name();
        return std::to_string(Col == 1 ? L->ObjectCount() : L->PresenterCount());
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
            case 0: return P->Layer() == View->GlobalLayer() ? "G" : "L";
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
            if (TOrvexObject* O = FCurrentLayer->GetObject(ObjectsGrid->CursorRow())) View->CenterOnObject(O);
        });
    };

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

void TfrmMain::BuildMenus() {
    // Each command runs guarded: its failure is shown and the editor goes on.
    auto Add = [this](QMenu* Menu, const char* Caption, const char* Name, auto Command) {
        QAction* A = Menu->addAction(Caption);
        A->setObjectName(Name);
        connect(A, &QAction::triggered, this, [this, Command] { RunCommand([&] { (this->*Command)(); }); });
        return A;
    };
    mnuFile = menuBar()->addMenu("&File");
    actNew = Add(mnuFile, "&New", "actNew", &TfrmMain::FileNew);
    actLoadLayer = Add(mnuFile, "&Load Layer", "actLoadLayer", &TfrmMain::LoadLayers);
    actLoadProfile = Add(mnuFile, "Load Profile", "actLoadProfile", &TfrmMain::LoadProfile);
    mnuFile->addSeparator();
    actSaveLayer = Add(mnuFile, "&Save Layer", "actSaveLayer", &TfrmMain::SaveLayer);
    actSaveAllLayers = Add(mnuFile, "Save &All Layers", "actSaveAllLayers", &TfrmMain::SaveAllLayers);
    actSaveProfile = Add(mnuFile, "Save Profile", "actSaveProfile", &TfrmMain::SaveProfile);
    mnuFile->addSeparator();
    mnuImport = mnuFile->addMenu("&Import");
    actImportE00 = mnuImport->addAction("Import E00");
    actImportMIF = mnuImport->addAction("Import MIF");
    actImportSHP = mnuImport->addAction("Import SHP");
    for (auto [A, Kind] : {std::pair{actImportE00, ikE00}, std::pair{actImportMIF, ikMIF}, std::pair{actImportSHP, ikSHP}})
        connect(A, &QAction::triggered, this, [this, Kind] { RunCommand([&] { Import(Kind); }); });
    actImportOther = Add(mnuImport, "Import Other Formats...", "actImportOther", &TfrmMain::ImportOtherFormats);
    actExportLayer = Add(mnuFile, "Export Layer...", "actExportLayer", &TfrmMain::ExportLayer);
    mnuFile->addSeparator();
    actPrint = Add(mnuFile, "&Print", "actPrint", &TfrmMain::Print);
    actExportImage = Add(mnuFile, "Export Image...", "actExportImage", &TfrmMain::ExportImage);
    mnuFile->addSeparator();
    actExit = mnuFile->addAction("E&xit");
    actExit->setObjectName("actExit");
    connect(actExit, &QAction::triggered, this, &QWidget::close);

    mnuView = menuBar()->addMenu("&View");
    actZoomExtents = Add(mnuView, "ZoomExtents", "actZoomExtents", &TfrmMain::ZoomExtents);
    actZoomExtents->setShortcut(QKeySequence("Ctrl+Z"));
    mnuView->addSeparator();
    actTransparent = mnuView->addAction("Transparent Orvex");
    actTransparent->setObjectName("actTransparent");
    actTransparent->setCheckable(true);
    connect(actTransparent, &QAction::triggered, this, [this](bool Checked) {
        RunGuarded([&] {
            View->SetTransparentOrvex(Checked);
            View->SetTextureBackground(false);
        });
    });
    actTexture = Add(mnuView, "TextureMapped Orvex", "actTexture", &TfrmMain::ChooseTexture);
    actAntialiasing = mnuView->addAction("Antialiasing");
    actAntialiasing->setObjectName("actAntialiasing");
    actAntialiasing->setCheckable(true);
    connect(actAntialiasing, &QAction::triggered, this, [this](bool Checked) { View->SetAntialiasing(Checked); });
    // A profile may have switched it.
    connect(mnuView, &QMenu::aboutToShow, this, [this] { actAntialiasing->setChecked(View->Antialiasing()); });
    mnuView->addSeparator();
    actStatistics = Add(mnuView, "Statistics", "actStatistics", &TfrmMain::ShowStatistics);

    LayersMenu = new QMenu(this);
    LayersMenu->setObjectName("LayersMenu");
    actNewLayer = Add(LayersMenu, "New Layer", "actNewLayer", &TfrmMain::NewLayer);
    LayersMenu->addSeparator();
    actDeleteLayer = Add(LayersMenu, "Delete layer", "actDeleteLayer", &TfrmMain::DeleteLayer);

    ObjectsMenu = new QMenu(this);
    ObjectsMenu->setObjectName("ObjectsMenu");
    actNewGeoData = Add(ObjectsMenu, "New GeoDataObject", "actNewGeoData", &TfrmMain::NewGeoDataObject);
    actNewBitmap = Add(ObjectsMenu, "New BitmapObject", "actNewBitmap", &TfrmMain::NewBitmapObject);
    ObjectsMenu->addSeparator();
    actMoveToLayer = ObjectsMenu->addAction("Move To Layer");
    actCopyToLayer = ObjectsMenu->addAction("Copy To Layer");
    ObjectsMenu->addSeparator();
    actDeleteObject = ObjectsMenu->addAction("Delete Object");
    for (auto [A, Tag] : {std::pair{actMoveToLayer, 1}, std::pair{actCopyToLayer, 2}, std::pair{actDeleteObject, -1}}) {
        A->setData(Tag);
        connect(A, &QAction::triggered, this, [this, Tag] { RunGuarded([&] { ObjectsCommand(Tag); }); });
    }

    PresentersMenu = new QMenu(this);
    PresentersMenu->setObjectName("PresentersMenu");
    actNewPointPresenter = PresentersMenu->addAction("New Point Presenter");
    actNewPolylinePresenter = PresentersMenu->addAction("New Polyline Presenter");
    actNewPolygonPresenter = PresentersMenu->addAction("New Polygon Presenter");
    for (auto [A, Tag] : {std::pair{actNewPointPresenter, 0}, std::pair{actNewPolylinePresenter, 1},
                          std::pair{actNewPolygonPresenter, 2}}) {
        A->setData(Tag);
        connect(A, &QAction::triggered, this, [this, Tag] { RunGuarded([&] { NewPresenter(Tag); }); });
    }
    PresentersMenu->addSeparator();
    actMakeGlobal = Add(PresentersMenu, "Make Global", "actMakeGlobal", &TfrmMain::MakeGlobal);
    PresentersMenu->addSeparator();
    actDeletePresenter = Add(PresentersMenu, "Delete Presenter", "actDeletePresenter", &TfrmMain::DeletePresenter);
    actDeletePresenter->setData(-1);
    actDeleteObject->setObjectName("actDeleteObject");
    actMoveToLayer->setObjectName("actMoveToLayer");
    actCopyToLayer->setObjectName("actCopyToLayer");
}

void TfrmMain::ConnectView() {
    View->OnSelected = [this](TOrvex3*, TOrvexObject*) {
        RunGuarded([this] {
            Inspector->btnBack->setEnabled(false);
            TOrvexObject* Selected = View->SelectedObject();
            Inspector->SetSelectedObject(Selected);
            if (Selected) SetCurrentObject(Selected);
        });
    };
    View->OnDeSelected = [this](TOrvex3*, TOrvexObject*) { RunGuarded([this] { SetCurrentObject(nullptr); }); };
    View->OnObjectFree = [this](TOrvex3*, TOrvexObject* Obj) {
        // The object is half destroyed: only its identity may be used.
        if (Obj == FCurrentObject) FCurrentObject = nullptr;
        Inspector->Forget(Obj);
    };
    View->OnProgress = [this](TOrvex3*, int MsgType, const std::string& Text, bool& Abort) {
        if (MsgType == -1 && FLoading > 0) NoteLoadError(Text);
        // The end of a load brings the caption back; a progress text must not stay there.
        if (MsgType == 2)
            RestoreCaption();
        else
            setWindowTitle(ToQString(Text));
        Abort = Progress->Step();
    };
    View->OnRender = [this](TOrvex3*) { DropFreedItems(); };
    View->OnRenderProgress = [this](TOrvex3*, bool Finished, bool& Abort) { Abort = Progress->RenderStep(Finished); };
    View->OnMouseDown = [this](TOrvex3*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
        RunGuarded([&] { ViewMouseDown(Button == mbLeft, X, Y); });
    };
}

void TfrmMain::DisconnectView() {
    View->OnSelected = nullptr;
    View->OnDeSelected = nullptr;
    View->OnObjectFree = nullptr;
    View->OnProgress = nullptr;
    View->OnRender = nullptr;
    View->OnRenderProgress = nullptr;
    View->OnMouseDown = nullptr;
}

void TfrmMain::Start(const std::string& LayerFile) {
    SetActivePage(pgLayers);
    cbProjection->setCurrentIndex(0);
    PresentersGrid->SetRowCount(GlobalPresenterCount());
    if (!LayerFile.empty()) {
        // The layer is named after its file, extension and all, in the name's own bytes: UTF-8
        // on this system, which the text rule reads as it is.
        std::error_code Error;
        const std::filesystem::path File(LayerFile);
        std::string Extension = File.extension().string();
        for (char& C : Extension) C = char(std::tolower(static_cast<unsigned char>(C)));
        if (std::filesystem::is_regular_file(File, Error) && Extension == ".prf")
            // A double click on a profile in the file manager starts the editor on it.
            OpenProfileFile(LayerFile);
        else if (std::filesystem::is_regular_file(File, Error))
            RunLoad([&] { LoadLayerFile(LayerFile, FileNamePart(LayerFile)); });
        else
            // A silent start would look as if the file had been shown.
            UiServices().ShowMessage(kEditorCaption, Format("Cannot open the layer file %s: there is no such file",
                                                            LayerFile.c_str()),
                                     mkWarning);
    }
    LayersGrid->SetRowCount(View->LayerCount() + 1);
    if (View->LayerCount() > 0) {
        SetCurrentLayer(View->GetLayer(0));
        LayersGrid->SetCursorRow(0);
    }
    RestoreCaption();
    View->SetAltitude(0);
}

void TfrmMain::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (FShown) return;
    FShown = true;
    // The whole map fits the view at the size the window gives it.
    View->SetAltitude(0);
}

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
    if (!FCurrentLayer) return;
    const int32_t Index = FCurrentLayer->Index();
    btnUp->setEnabled(Index > 0);
    btnDown->setEnabled(Index >= 0 && Index < View->LayerCount() - 1);
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

int TfrmMain::GlobalPresenterCount() const { return View->GlobalLayer() ? View->GlobalLayer()->PresenterCount() : 0; }

TOrvexPresenter* TfrmMain::PresenterAtRow(int Row) const {
    const int G = GlobalPresenterCount();
    if (Row < 0) return nullptr;
    if (Row < G) return View->GlobalLayer()->GetPresenter(Row);
    return FCurrentLayer ? FCurrentLayer->GetPresenter(Row - G) : nullptr;
}

int TfrmMain::PresenterRow(const TOrvexPresenter* P) const {
    if (!P) return -1;
    if (FCurrentLayer && P->Layer() == FCurrentLayer) return GlobalPresenterCount() + P->Index();
    return P->Index();
}

void TfrmMain::RestoreCaption() {
    const TOrvexObject* Selected = View->SelectedObject();
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
    TOrvexLayer* Layer = Row >= 0 && Row < View->LayerCount() ? View->Layers()[static_cast<size_t>(Row)] : nullptr;
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

void TfrmMain::ViewMouseDown(bool LeftButton, int32_t X, int32_t Y) {
    if (LeftButton) View->SelectObject(View->ObjectAtXY(X, Y));
    RestoreCaption();
    PageChanged();
}

// ---------------------------------------------------------------------------------------
// Letting go of items that are about to be freed

void TfrmMain::ReleaseObject(TOrvexObject* Obj) {
    if (!Obj) return;
    if (Obj == View->SelectedObject()) View->SelectObject(nullptr);
    if (Obj == FCurrentObject) SetCurrentObject(nullptr);
    if (Obj->Selected()) Obj->SetSelected(false);
    Inspector->Forget(Obj);
}

void TfrmMain::ReleasePresenter(TOrvexPresenter* P) {
    if (!P) return;
    if (P == FCurrentPresenter) SetCurrentPresenter(nullptr);
    Inspector->Forget(P);
}

void TfrmMain::ReleaseLayer(TOrvexLayer* Layer) {
    if (!Layer) return;
    if (const TOrvexObject* Selected = View->SelectedObject(); Selected && Selected->Layer() == Layer)
        View->SelectObject(nullptr);
    if (FCurrentObject && FCurrentObject->Layer() == Layer) SetCurrentObject(nullptr);
    if (FCurrentPresenter && FCurrentPresenter->Layer() == Layer) SetCurrentPresenter(nullptr);
    Inspector->Forget(Layer);
    if (Layer == FCurrentLayer) SetCurrentLayer(nullptr);
}

void TfrmMain::ReleaseAll() {
    View->SelectObject(nullptr);
    SetCurrentLayer(nullptr);
    for (TOrvexLayer* L : std::vector<TOrvexLayer*>(View->Layers())) Inspector->Forget(L);
    if (TOrvexLayer* Global = View->GlobalLayer())
        for (TOrvexPresenter* P : std::vector<TOrvexPresenter*>(Global->Presenters())) Inspector->Forget(P);
}

namespace {

// The attributes a presenter owns are its read-only class-valued properties.
bool IsPartOf(const TPersistent* Item, TPersistent* Owner, int Depth) {
    for (const TPropInfo* P : Owner->ClassInfo().Properties()) {
        if (P->Kind != TPropKind::Class || P->Writable()) continue;
        const TPropValue V = P->Get(*Owner);
        TPersistent* const* Part = std::get_if<TPersistent*>(&V);
        if (!Part || !*Part) continue;
        if (*Part == Item || (Depth > 0 && IsPartOf(Item, *Part, Depth - 1))) return true;
    }
    return false;
}

bool InPresenters(const TPersistent* Item, const TOrvexLayer* Layer) {
    for (TOrvexPresenter* P : Layer->Presenters())
        if (P == Item || IsPartOf(Item, P, 2)) return true;
    return false;
}

}  // namespace

bool TfrmMain::IsLive(const TPersistent* Item) const {
    if (!Item) return true;
    if (Item == View->ProjectionModel()) return true;
    if (View->GlobalLayer() && InPresenters(Item, View->GlobalLayer())) return true;
    for (TOrvexLayer* L : View->Layers()) {
        if (Item == L || InPresenters(Item, L)) return true;
        for (TOrvexObject* O : L->Objects())
            if (O == Item) return true;
    }
    return false;
}

void TfrmMain::DropFreedItems() {
    // Only a layer that loads on demand frees members while it draws.
    const auto& Layers = View->Layers();
    if (std::none_of(Layers.begin(), Layers.end(), [](const TOrvexLayer* L) { return L->LoadOnDemand(); })) return;
    if (FCurrentPresenter && !IsLive(FCurrentPresenter)) {
        FCurrentPresenter = nullptr;
        PresentersGrid->SetRowCount(GlobalPresenterCount());
    }
    Inspector->ForgetFreed([this](const TPersistent* Item) { return IsLive(Item); });
}

// ---------------------------------------------------------------------------------------
// Loading

void TfrmMain::NoteLoadError(const std::string& Text) {
    if (!Text.empty() && std::find(FLoadErrors.begin(), FLoadErrors.end(), Text) == FLoadErrors.end())
        FLoadErrors.push_back(Text);
}

void TfrmMain::RunLoad(const std::function<void()>& Action) {
    if (FLoading == 0) FLoadErrors.clear();
    ++FLoading;
    try {
        const TProgressScope Busy(*Progress);
        Action();
    } catch (const EProgressAborted&) {
        // The user's own choice needs no message; what failed before it is still reported.
    } catch (const EImportAborted& Error) {
        // Its reason went out through progress already, unless nobody was listening.
        if (FLoadErrors.empty()) NoteLoadError(Error.what());
    } catch (const std::exception& Error) {
        NoteLoadError(Error.what());
    }
    --FLoading;
    RestoreCaption();
    if (FLoading > 0 || FLoadErrors.empty()) return;
    std::string Text;
    for (const std::string& E : FLoadErrors) Text += (Text.empty() ? "" : "\n") + E;
    FLoadErrors.clear();
    UiServices().ShowMessage(kEditorCaption, Text, mkWarning);
}

TOrvexLayer* TfrmMain::LoadLayerFile(const std::string& Path, const std::string& Name) {
    TOrvexLayer* Layer = View->AddLayer(Name);
    try {
        Layer->SetFilename(Path);
    } catch (const EProgressAborted&) {
        if (std::find(View->Layers().begin(), View->Layers().end(), Layer) != View->Layers().end()) {
            ReleaseLayer(Layer);
            delete Layer;
        }
        throw;
    } catch (const std::exception& Error) {
        // Half a layer, or one that would try its file again at every render, is worse than
        // none: it goes, and the failure is reported.
        const auto& Layers = View->Layers();
        if (std::find(Layers.begin(), Layers.end(), Layer) != Layers.end()) {
            ReleaseLayer(Layer);
            delete Layer;
        }
        // The reader's message may not say which file it was reading.
        const std::string Text = Error.what();
        if (Text.find(Path) != std::string::npos) throw;
        throw EOrvexException(Format("Cannot load the layer file %s: %s", Path.c_str(), Text.c_str()));
    }
    NoteRecent(false, Path);
    return Layer;
}

void TfrmMain::AfterLoad(bool Import) {
    SetActivePage(pgLayers);
    LayersGrid->SetRowCount(View->LayerCount() + 1);
    if (View->LayerCount() > 0 && (Import || !FCurrentLayer)) SetCurrentLayer(View->GetLayer(View->LayerCount() - 1));
    if (FCurrentLayer) LayersGrid->SetCursorRow(FCurrentLayer->Index());
    RepaintGrids();
    RestoreCaption();
}
