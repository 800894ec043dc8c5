#include "editor/uMain.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "editor/CommandRegistry.h"
#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/ProgressPanel.h"
#include "editor/RecentFiles.h"
#include "editor/Undo.h"
#include "editor/ZoomGlyphs.h"
#include "importers/ImportSupport.h"
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
constexpr int kLeastWidth = 1024;
constexpr int kLeastHeight = 700;
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
    FCommands = new TCommandRegistry(*this);
    FCommands->OnAfter = [this] { Settle(); };

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
    BuildStatusBar();

    Progress = new TProgressPanel(*this);
    Undo = new TEditorUndo(*this);
    Inspector->OnEdit = [this](const std::string& Text, const std::string& Key, const std::function<void()>& Change) {
        Undo->RecordEdit(Text, Key, Change);
    };
    RegisterCommands();
    BuildMenus();
    // The button shows the command's caption, hint and check state.
    findChild<QToolButton*>("btnMeasure")->setDefaultAction(FCommands->Action("actMeasure"));
    BuildFileExtras();
    BuildGrids();

    RestoreWindowGeometry();
    auto NoteFolder = [](const std::string& Folder) { RememberSetting("Window/LastFolder", PathToQString(Folder)); };
    OpenDialog.OnChosen = NoteFolder;
    SaveDialog.OnChosen = NoteFolder;

    ConnectView();
    Start(LayerFile);
}

TfrmMain::~TfrmMain() {
    // The view goes with the widgets below; nothing it frees may reach this window, whose
    // members are gone by then.
    DisconnectView();
    FCommands->OnAfter = nullptr;
    Inspector->InspectRoot(nullptr);
    for (TListGrid* G : {LayersGrid, ObjectsGrid, PresentersGrid}) G->DetachCallbacks();
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

    FView = new TOrvex3(Area);
    FView->setObjectName("Orvex");
    FView->SetLevelOfDetail(true);
    FView->SetAltitude(kStartAltitude);
    FView->MouseSelectButton = mzbNone;
    FView->SelectedBrush().SetColor(clRed);
    FView->SelectedPen().SetColor(clLime);
    FView->TransparentBrush().SetColor(clSilver);
    FView->TransparentPen().SetColor(clGray);
    FView->GridPen().SetColor(clSilver);
    FView->SetXRotationInDegs(kStartXRotation);
    FView->SetYRotationInDegs(0);
    FView->SetZRotationInDegs(0);
    FView->SetOrvexColor(kStartOrvexColor);
    FView->SetTextureBackground(false);
    Layout->addWidget(FView, 1);
    Layout->addWidget(BuildToolBar(Area));
    return Area;
}

QWidget* TfrmMain::BuildToolBar(QWidget* Parent) {
    auto* Bar = new QFrame(Parent);
    Bar->setObjectName("ToolBar");
    Bar->setFixedHeight(kToolBarHeight);
    Bar->setFrameStyle(QFrame::NoFrame);
    auto* BarLayout = new QHBoxLayout(Bar);
    BarLayout->setContentsMargins(2, 1, 2, 1);
    BarLayout->setSpacing(3);
    cbProjection = new QComboBox(Bar);
    cbProjection->setObjectName("cbProjection");
    cbProjection->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const TProjectionInfo& P : ProjectionRegistry()) cbProjection->addItem(ToQString(P.Name));
    SetHint(cbProjection, "Projection of the map");
    auto* btnProperties = new QPushButton("Properties", Bar);
    btnProperties->setObjectName("btnProperties");
    btnProperties->setFixedSize(QSize(std::max(56, btnProperties->sizeHint().width()), 24));
    SetHint(btnProperties, "Settings of the projection in the inspector");
    BarLayout->addWidget(cbProjection);
    BarLayout->addWidget(btnProperties);
    auto* btnMeasure = new QToolButton(Bar);
    btnMeasure->setObjectName("btnMeasure");
    btnMeasure->setAutoRaise(true);
    BarLayout->addWidget(btnMeasure);
    BarLayout->addStretch(1);
    FCommands->Bind(*btnProperties, "actProjectionProperties");

    const struct {
        TGlyph Glyph;
        int Tag;
        const char* Hint;
        const char* Name;
        const char* Command;
    } Zooms[] = {{glFit, 0, "Whole map", "btnZoomReset", "actZoomReset"},
                 {glZoomIn, 75, "Zoom in", "btnZoomIn", "actZoomIn"},
                 {glZoomOut, 125, "Zoom out", "btnZoomOut", "actZoomOut"}};
    for (const auto& Z : Zooms) {
        QToolButton* B = MakeZoomButton(Bar, Z.Glyph, Z.Tag, Z.Hint, Z.Name);
        BarLayout->addWidget(B);
        FCommands->Bind(*B, Z.Command);
    }
    connect(cbProjection, &QComboBox::activated, this,
            [this](int Index) { FCommands->Perform("cbProjection", [&] { ChooseProjection(Index); }); });
    return Bar;
}

void TfrmMain::BuildSidePanel() {
    PageControl = new QTabWidget(Splitter);
    PageControl->setObjectName("PageControl");
    PageControl->setMinimumWidth(kSidePanelMinWidth);
    PageControl->tabBar()->setMouseTracking(true);  // hot tracking
    PageControl->setDocumentMode(false);
    SetHint(PageControl, kPanelHint);

    ObjectsGrid = new TListGrid;
    ObjectsGrid->setObjectName("ObjectsGrid");
    PresentersGrid = new TListGrid;
    PresentersGrid->setObjectName("PresentersGrid");
    Inspector = new TInspector(FView, nullptr, FCommands);

    PageControl->addTab(BuildLayersPage(), "Layers");
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

QWidget* TfrmMain::BuildLayersPage() {
    auto* Page = new QWidget;
    auto* Layout = new QVBoxLayout(Page);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    LayersGrid = new TListGrid(Page);
    LayersGrid->setObjectName("LayersGrid");
    Layout->addWidget(LayersGrid, 1);
    auto* Strip = new QFrame(Page);
    Strip->setFixedHeight(kButtonStripHeight);
    auto* StripLayout = new QHBoxLayout(Strip);
    StripLayout->setContentsMargins(3, 2, 3, 2);
    btnUp = new QPushButton("Up", Strip);
    btnDown = new QPushButton("Down", Strip);
    const struct {
        QPushButton* Button;
        const char* Name;
        int Tag;
        const char* Hint;
        const char* Command;
    } Buttons[] = {{btnUp, "btnUp", -1, "Draw the layer earlier", "actLayerUp"},
                   {btnDown, "btnDown", 1, "Draw the layer later", "actLayerDown"}};
    for (const auto& B : Buttons) {
        B.Button->setObjectName(B.Name);
        B.Button->setProperty("Tag", B.Tag);
        SetHint(B.Button, B.Hint);
        B.Button->setEnabled(false);
        StripLayout->addWidget(B.Button);
        FCommands->Bind(*B.Button, B.Command);
    }
    StripLayout->addStretch(1);
    Layout->addWidget(Strip);
    return Page;
}

void TfrmMain::BuildStatusBar() {
    FMapStatus = new TMapStatus(statusBar());
    FMapStatus->setObjectName("MapStatus");
    statusBar()->addPermanentWidget(FMapStatus);
    FMapStatus->SetCoordinateStyle(RememberedSetting("View/Coordinates").toString() == "decimal" ? TCoordinateStyle::Decimal
                                                                                                 : TCoordinateStyle::Dms);
    FMapStatus->Follow(*FView);
    FMeasureOverlay = new TMeasureOverlay(*FView, FMeasurePath);
    FMeasureOverlay->hide();
}

void TfrmMain::RestoreWindowGeometry() {
    const QByteArray Geometry = RememberedSetting("Window/Geometry").toByteArray();
    if (Geometry.isEmpty() || !restoreGeometry(Geometry)) {
        QSize Size(kWindowWidth, kWindowHeight);
        const QScreen* Screen = QGuiApplication::primaryScreen();
        const QRect Free = Screen ? Screen->availableGeometry() : QRect();
        // Most of the screen, and at least 1024x700 where the screen has room for it.
        if (!Free.isEmpty())
            Size = QSize(std::min(Free.width(), std::max(kLeastWidth, Free.width() * 4 / 5)),
                         std::min(Free.height(), std::max(kLeastHeight, Free.height() * 4 / 5)));
        resize(Size);
        if (!Free.isEmpty()) move(Free.center() - rect().center());
    }
    if (!Splitter->restoreState(RememberedSetting("Window/Splitter").toByteArray()))
        Splitter->setSizes({width() - kSidePanelWidth - kSplitterWidth, kSidePanelWidth});
}

void TfrmMain::keyPressEvent(QKeyEvent* Event) {
    if (Event->key() == Qt::Key_Escape && FMeasuring) {
        FCommands->Run("actEndMeasure");
        return;
    }
    QMainWindow::keyPressEvent(Event);
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
    RememberSetting("Window/Geometry", saveGeometry());
    RememberSetting("Window/Splitter", Splitter->saveState());
    QMainWindow::closeEvent(Event);
}

// ---------------------------------------------------------------------------------------
// The view's events

void TfrmMain::ConnectView() {
    FView->OnSelected = [this](TOrvex3*, TOrvexObject*) {
        RunGuarded([this] {
            Inspector->btnBack->setEnabled(false);
            TOrvexObject* Selected = FView->SelectedObject();
            Inspector->SetSelectedObject(Selected);
            if (Selected) SetCurrentObject(Selected);
        });
    };
    FView->OnDeSelected = [this](TOrvex3*, TOrvexObject*) { RunGuarded([this] { SetCurrentObject(nullptr); }); };
    FView->OnProgress = [this](TOrvex3*, int MsgType, const std::string& Text, bool& Abort) {
        if (MsgType == -1 && FLoading > 0) NoteLoadError(Text);
        // The end of a load brings the caption back; a progress text must not stay there.
        if (MsgType == 2)
            RestoreCaption();
        else
            setWindowTitle(ToQString(Text));
        Abort = Progress->Step();
    };
    // A layer that loads on demand may have cleared itself while it was drawn.
    FView->OnRender = [this](TOrvex3*) {
        FMapStatus->ShowView(*FView);
        Settle();
    };
    FView->OnRenderProgress = [this](TOrvex3*, bool Finished, bool& Abort) { Abort = Progress->RenderStep(Finished); };
    FView->OnMouseDown = [this](TOrvex3*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
        RunGuarded([&] { ViewMouseDown(Button == mbLeft, X, Y); });
    };
    FView->OnMouseUp = [this](TOrvex3*, TMouseButton Button, TShiftState, int32_t X, int32_t Y) {
        RunGuarded([&] { ViewMouseUp(Button == mbLeft, X, Y); });
    };
    FView->OnMouseMove = [this](TOrvex3*, TShiftState, int32_t X, int32_t Y) {
        FMapStatus->ShowPointer(*FView, X, Y);
        if (FView->ZoomDragging)
            FMapStatus->ShowBand(*FView, QRect(QPoint(FView->ZoomRect.Left, FView->ZoomRect.Top),
                                               QPoint(FView->ZoomRect.Right, FView->ZoomRect.Bottom)));
    };
    FView->OnZoomed = [this](TOrvex3*) { FMapStatus->ShowView(*FView); };
    FView->OnPanned = [this](TOrvex3*) { FMapStatus->ShowView(*FView); };
}

void TfrmMain::DisconnectView() {
    FView->OnSelected = nullptr;
    FView->OnDeSelected = nullptr;
    FView->OnProgress = nullptr;
    FView->OnRender = nullptr;
    FView->OnRenderProgress = nullptr;
    FView->OnMouseDown = nullptr;
    FView->OnMouseUp = nullptr;
    FView->OnMouseMove = nullptr;
    FView->OnZoomed = nullptr;
    FView->OnPanned = nullptr;
}

// ---------------------------------------------------------------------------------------
// Start

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
    LayersGrid->SetRowCount(FView->LayerCount() + 1);
    if (FView->LayerCount() > 0) {
        SetCurrentLayer(FView->GetLayer(0));
        LayersGrid->SetCursorRow(0);
    }
    RestoreCaption();
    FView->SetAltitude(0);
}

void TfrmMain::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (FShown) return;
    FShown = true;
    // The whole map fits the view at the size the window gives it.
    FView->SetAltitude(0);
}
