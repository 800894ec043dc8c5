#include "editor/Inspector.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QSplitterHandle>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/CommandRegistry.h"
#include "editor/EditorErrors.h"
#include "editor/InplaceGrid.h"
#include "editor/OXProp.h"
#include "foundation/OXUtils.h"
#include "importers/ImportSupport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "view/Orvex3.h"

namespace {

constexpr int kStripHeight = 27;
constexpr int kSplitterWidth = 3;
constexpr int kDegreeDecimals = 4;
constexpr int kDegreeWidth = 3;

// The point halfway between A and B, the short way round in longitude.
TPoint3D MidPoint(const TPoint3D& A, const TPoint3D& B) {
    int64_t DX = int64_t(B.X) - A.X;
    if (DX > OrvexUnits::Deg180)
        DX -= OrvexUnits::Deg360;
    else if (DX < -OrvexUnits::Deg180)
        DX += OrvexUnits::Deg360;
    auto Half = [](int32_t From, int32_t To) { return static_cast<int32_t>(From + (int64_t(To) - From) / 2); };
    return TPoint3D{NormalizeLongitude(A.X + DX / 2), Half(A.Y, B.Y), Half(A.Z, B.Z)};
}

bool IsDegreeChar(QChar C) { return C.isDigit() || C == '+' || C == '-' || C == '.'; }

// Changed points make the layer's extent stale; it is made afresh at the next render.
void FreshExtent(TOrvexObject* Obj) {
    if (Obj->Layer()) Obj->Layer()->SetExtents(TExtent{});
}

}  // namespace

TInspector::TInspector(TOrvex3* View, QWidget* Parent, TCommandRegistry* Commands)
    : QWidget(Parent), FView(View), FCommands(Commands ? Commands : new TCommandRegistry(*this)) {
    setObjectName("Inspector");
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);

    auto* Strip = new QFrame(this);
    Strip->setObjectName("InspectorStrip");
    Strip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Strip->setFixedHeight(kStripHeight);
    auto* StripLayout = new QHBoxLayout(Strip);
    StripLayout->setContentsMargins(4, 1, 1, 1);
    ClassNameLabel = new QLabel(Strip);
    ClassNameLabel->setObjectName("lblClassName");
    btnBack = new QPushButton("Back", Strip);
    btnBack->setObjectName("btnBack");
    btnBack->setEnabled(false);
    StripLayout->addWidget(ClassNameLabel, 1);
    StripLayout->addWidget(btnBack);
    Layout->addWidget(Strip);

    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName("InspectorSplitter");
    Splitter->setHandleWidth(kSplitterWidth);
    Splitter->setChildrenCollapsible(false);
    Splitter->setStyleSheet("QSplitter::handle { background-color: teal; border: none; }");
    PropertyGrid = new TInplaceGrid(Splitter);
    PropertyGrid->setObjectName("PropertyGrid");
    PointsGrid = new TInplaceGrid(Splitter);
    PointsGrid->setObjectName("PointsGrid");
    Splitter->addWidget(PropertyGrid);
    Splitter->addWidget(PointsGrid);
    Splitter->setStretchFactor(0, 1);
    Layout->addWidget(Splitter, 1);

    RegisterCommands();
    BuildPropertyGrid();
    PropertyGrid->viewport()->installEventFilter(this);
    BuildPointsGrid();
    SetPointsShown(false);
}

void TInspector::RegisterCommands() {
    TCommandRegistry& C = *FCommands;
    auto Chain = [this] { return dynamic_cast<TGeoDataObject*>(FInspected.Get()) != nullptr; };
    C.Add({.Name = "actBack", .Caption = "Back", .Run = [this] { Back(); }});
    actInsertPoint = C.Add({.Name = "actInsertPoint", .Caption = "Insert Point", .Run = [this] { InsertPoint(); }, .Enabled = Chain});
    actAppendPoint = C.Add({.Name = "actAppendPoint", .Caption = "Append Point", .Run = [this] { AppendPoint(); }, .Enabled = Chain});
    actDeletePoint = C.Add({.Name = "actDeletePoint", .Caption = "Delete Point", .Run = [this] { DeletePoint(); }, .Enabled = Chain});
    C.Bind(*btnBack, "actBack");
    PointsMenu = new QMenu(this);
    PointsMenu->setObjectName("PointsMenu");
    C.Fill(*PointsMenu, {"actInsertPoint", "actAppendPoint", "-", "actDeletePoint"});
}

TInspector::~TInspector() {
    // The grids go after this object's members: nothing of theirs may call back.
    PropertyGrid->viewport()->removeEventFilter(this);
    PropertyGrid->DetachCallbacks();
    PointsGrid->DetachCallbacks();
    delete Splitter;
}

void TInspector::BuildPropertyGrid() {
    TInplaceGrid& G = *PropertyGrid;
    G.SetColumns({{"Property", 94}, {"Value", 128}});
    G.setToolTip("Double Click to Edit some items");
    G.setStatusTip(G.toolTip());
    G.OnCellText = [this](int Col, int Row) -> std::string {
        if (!ValidRow(Row)) return {};
        return Col == 0 ? FProps->PropName(Row) : FProps->GetValue(Row);
    };
    G.OnSelectCell = [this](int Col, int Row) { return Col > 0 && ValidRow(Row); };
    G.OnEditorStyle = [this](int Row) {
        FAttributes = ValidRow(Row) ? FProps->PropAttributes(Row) : 0;
        if (FAttributes & paValueList) return esPickList;
        if (FAttributes & paDialog) return esEllipsis;
        return esSimple;
    };
    G.OnGetEditText = [this](int, int Row) { return ValidRow(Row) ? FProps->GetValue(Row) : std::string(); };
    G.OnSetEditText = [this](int, int Row, const std::string& Text) { SetPropertyText(Row, Text); };
    G.OnGetPickList = [this](int Row, std::vector<std::string>& List) {
        RunGuarded([&] {
            if (ValidRow(Row)) FProps->GetValues(Row, List);
        });
    };
    G.OnEditButtonClick = [this] { RunGuarded([this] { EditProperty(); }); };
    G.OnEditDone = [this] { ShowPendingError(); };
}

void TInspector::BuildPointsGrid() {
    TInplaceGrid& G = *PointsGrid;
    G.SetColumns({{"ID", 43}, {"Longitude", 80}, {"Latitude", 80}, {"Height", 63}});
    G.setToolTip("F2 to edit item, Right Click for menu");
    G.setStatusTip(G.toolTip());
    G.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&G, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& Pos) { PointsMenu->popup(PointsGrid->viewport()->mapToGlobal(Pos)); });
    G.OnCellText = [this](int Col, int Row) { return PointText(Col, Row); };
    G.OnSelectCell = [](int Col, int Row) { return Col > 0 && Row >= 0; };
    G.OnGetEditText = [this](int Col, int Row) { return PointText(Col, Row); };
    G.OnSetEditText = [this](int Col, int Row, const std::string& Text) {
        RunGuarded([&] { SetPointText(Col, Row, Text); });
    };
    G.OnAcceptChar = IsDegreeChar;
    G.SetEditorOn(true);
}

// ---------------------------------------------------------------------------------------
// Showing items and the path back

void TInspector::InspectRoot(TPersistent* Item) {
    PropertyGrid->SetEditorOn(false);
    FProps.reset();
    FPendingError.clear();
    PropertyGrid->SetRowCount(0);
    PropertyGrid->Repaint();
    SetPointsShown(false);
    btnBack->setEnabled(false);
    ClearHistory();
    FHistoryPos = 0;
    FInspected = Item;
    ClassNameLabel->clear();
    if (FInspected)
        ShowInspected();
    else
        emit InspectedChanged();
}

void TInspector::FitNameColumn() {
    // The longest name whole, up to half the grid: the values keep the rest.
    constexpr int kLeastNameWidth = 94, kPadding = 12;
    int Widest = kLeastNameWidth;
    for (int32_t Row = 0; Row < FProps->Count(); ++Row)
        Widest = std::max(Widest, PropertyGrid->fontMetrics().horizontalAdvance(ToQString(FProps->PropName(Row))) + kPadding);
    PropertyGrid->setColumnWidth(0, std::min(Widest, std::max(kLeastNameWidth, PropertyGrid->viewport()->width() / 2)));
}

void TInspector::FitValueColumn() {
    constexpr int kLeastValueWidth = 128;
    const int ValueWidth = PropertyGrid->viewport()->width() - PropertyGrid->columnWidth(0) - 1;
    PropertyGrid->setColumnWidth(1, std::max(ValueWidth, kLeastValueWidth));
}

bool TInspector::eventFilter(QObject* Watched, QEvent* Event) {
    // An item inspected while the page was never shown was fitted to a grid not yet laid out,
    // wider than it turns out: the names would be scrolled out of sight.
    if (Watched == PropertyGrid->viewport() && Event->type() == QEvent::Resize) FitValueColumn();
    return QWidget::eventFilter(Watched, Event);
}

void TInspector::ShowInspected() {
    SetPointsShown(false);
    if (!FInspected) return;
    FHistory[static_cast<size_t>(FHistoryPos)] = FInspected;
    ClassNameLabel->setText(ToQString(FInspected->ClassName()));
    if (InspectedObject()) ShowPoints();
    PropertyGrid->SetEditorOn(false);
    FProps = std::make_unique<TOrvexProperties>(FInspected);
    PropertyGrid->SetRowCount(FProps->Count());
    FitNameColumn();
    FitValueColumn();
    PropertyGrid->SetCursor(1, 0);
    PropertyGrid->SetEditorOn(true);
    PropertyGrid->Repaint();
    emit InspectedChanged();
}

void TInspector::ShowPoints() {
    TOrvexObject* Obj = InspectedObject();
    if (!Obj) return;
    SetPointsShown(true);
    const int Col = PointsGrid->CursorCol(), Row = PointsGrid->CursorRow();
    const int Rows = std::max(1, Obj->GetPointCount());
    PointsGrid->SetRowCount(Rows);
    PointsGrid->SetCursor(std::max(1, Col), std::clamp(Row, 0, Rows - 1));
    PointsGrid->ResetEditor();
    PointsGrid->Repaint();
    PropertyGrid->Repaint();
}

void TInspector::InspectChild(TPersistent* Item) {
    if (!Item) return;
    if (FHistoryPos == kHistorySize - 1)
        // The path keeps its most recent steps.
        std::move(FHistory.begin() + 1, FHistory.end(), FHistory.begin());
    else
        ++FHistoryPos;
    FInspected = Item;
    btnBack->setEnabled(true);
    ShowInspected();
}

void TInspector::Back() {
    if (FHistoryPos <= 0) return;
    FHistory[static_cast<size_t>(FHistoryPos)].Reset();
    --FHistoryPos;
    FInspected = FHistory[static_cast<size_t>(FHistoryPos)];
    btnBack->setEnabled(FHistoryPos > 0);
    ShowInspected();
}

void TInspector::SetSelectedObject(TPersistent* Item) {
    if (Item == FInspected && FHistoryPos == 0) return;
    InspectRoot(Item);
}

void TInspector::DropFreed() {
    for (int K = 0; K <= FHistoryPos; ++K)
        if (FHistory[static_cast<size_t>(K)].Expired()) {
            CutHistory(K);
            return;
        }
    if (FInspected.Expired()) CutHistory(FHistoryPos + 1);
}

void TInspector::CutHistory(int First) {
    if (First == 0) {
        InspectRoot(nullptr);
        return;
    }
    const int Keep = First - 1;
    std::fill(FHistory.begin() + Keep + 1, FHistory.end(), TPersistentRef<TPersistent>());
    FHistoryPos = Keep;
    FInspected = FHistory[static_cast<size_t>(Keep)];
    FPendingError.clear();
    btnBack->setEnabled(Keep > 0);
    if (FInspected)
        ShowInspected();
    else
        InspectRoot(nullptr);
}

void TInspector::Refresh() {
    DropFreed();
    if (FApplying > 0) {
        PropertyGrid->Repaint();
        PointsGrid->Repaint();
        return;
    }
    if (InspectedObject()) ShowPoints();
    PropertyGrid->ResetEditor();
    PropertyGrid->Repaint();
}

TPersistent* TInspector::HistoryEntry(int Index) const {
    if (Index < 0 || Index >= kHistorySize) return nullptr;
    return FHistory[static_cast<size_t>(Index)];
}

void TInspector::ClearHistory() { FHistory.fill(TPersistentRef<TPersistent>()); }

void TInspector::SetPointsShown(bool Shown) {
    const bool WasShown = !PointsGrid->isHidden();
    PointsGrid->setVisible(Shown);
    if (Shown && !WasShown) {
        // Hidden, the grid had no share of the splitter; it comes back with two fifths.
        const QList<int> Sizes = Splitter->sizes();
        const int Total = Sizes.value(0) + Sizes.value(1);
        if (Sizes.value(1) < Total / 5) Splitter->setSizes({Total - Total * 2 / 5, Total * 2 / 5});
    }
    if (QSplitterHandle* Handle = Splitter->handle(1)) Handle->setEnabled(Shown);
}

TOrvexObject* TInspector::InspectedObject() const { return dynamic_cast<TOrvexObject*>(FInspected.Get()); }

// ---------------------------------------------------------------------------------------
// Property grid

// A freed item's list is never read: it waits for DropFreed.
bool TInspector::ValidRow(int Row) const { return FProps && FInspected && Row >= 0 && Row < FProps->Count(); }

void TInspector::SetPropertyText(int Row, const std::string& Text) {
    if (!ValidRow(Row)) return;
    try {
        if (Text != FProps->GetValue(Row)) {
            const std::string Name = FProps->PropName(Row);
            Apply("Change " + Name, Name, [&] { FProps->SetValue(Row, Text); });
        }
        FPendingError.clear();
    } catch (const std::exception& Error) {
        FPendingError = Error.what();
    }
    RunGuarded([this] { Changed(false); });
}

void TInspector::Apply(const std::string& Text, const std::string& Key, const std::function<void()>& Change) {
    if (OnEdit)
        OnEdit(Text, Key, Change);
    else
        Change();
}

void TInspector::ShowPendingError() {
    if (FPendingError.empty()) return;
    const std::string Message = std::move(FPendingError);
    FPendingError.clear();
    ShowEditorException(std::runtime_error(Message));
}

void TInspector::EditProperty() {
    const int Row = PropertyGrid->CursorRow();
    if (!ValidRow(Row)) return;
    bool Edited = false;
    Apply("Change " + FProps->PropName(Row), std::string(), [&] { Edited = FProps->Edit(Row); });
    if (Edited) {
        PropertyGrid->ResetEditor();
        Changed(false);
    } else if (FProps->PropKind(Row) == TPropKind::Class) {
        InspectChild(FProps->ObjectValue(Row));
    }
}

void TInspector::Changed(bool Geometry) {
    ++FApplying;
    struct TDone {
        int& Count;
        ~TDone() { --Count; }
    } Done{FApplying};
    if (TOrvexObject* Obj = InspectedObject()) {
        Obj->Invalidate();
        // The layer's extent is made afresh from its objects at the next render.
        if (Geometry && Obj->Layer()) Obj->Layer()->SetExtents(TExtent{});
    }
    if (FView) FView->RequestRender();
    PropertyGrid->Repaint();
    PointsGrid->Repaint();
    emit PropertyChanged();
}

// ---------------------------------------------------------------------------------------
// Points grid

std::string TInspector::PointText(int Col, int Row) const {
    const TOrvexObject* Obj = InspectedObject();
    if (Col == 0) return Obj ? std::to_string(Row) : std::string();
    // Rows past the chain read as the zero point.
    const TPoint3D P = Obj && Row >= 0 ? Obj->GetPoint(Row) : TPoint3D{};
    const int32_t Value = Col == 1 ? P.X : Col == 2 ? P.Y : P.Z;
    return FixedToText(OrvexUnitsToDeg(Value), kDegreeDecimals, kDegreeWidth);
}

void TInspector::SetPointText(int Col, int Row, const std::string& Text) {
    long double Degrees = 0;
    // A half-typed number ("-", "") or one that OrvexUnits cannot hold changes nothing.
    if (Col < 1 || Col > 3 || Row < 0 || !ParseReal(TrimText(Text), Degrees)) return;
    const std::optional<int32_t> Units = CheckedDegrees(Degrees);
    if (!Units || (Col == 2 && std::fabs(Degrees) > 90)) return;
    if (TOrvexObject* Obj = InspectedObject()) {
        TPoint3D P = Obj->GetPoint(Row);
        if (Col == 1)
            P.X = NormalizeLongitude(*Units);
        else if (Col == 2)
            P.Y = *Units;
        else
            P.Z = *Units;
        Apply("Edit Point", Format("Point %d %d", Row, Col), [&] {
            Obj->PutPoint(Row, P);
            FreshExtent(Obj);
        });
        Changed(true);
    } else if (FView) {
        FView->RequestRender();
    }
}

void TInspector::InsertPoint() {
    auto* Chain = dynamic_cast<TGeoDataObject*>(FInspected.Get());
    if (!Chain) return;
    const int Row = PointsGrid->CursorRow() + 1;
    Apply("Insert Point", std::string(), [&] {
        if (Row == 1)
            Chain->AddPoint(Chain->GetPoint(0));
        else if (Row > 1)
            Chain->InsertPoint(Row - 1, MidPoint(Chain->GetPoint(Row - 2), Chain->GetPoint(Row - 1)));
        FreshExtent(Chain);
    });
    Changed(true);
    ShowPoints();
}

void TInspector::AppendPoint() {
    auto* Chain = dynamic_cast<TGeoDataObject*>(FInspected.Get());
    if (!Chain) return;
    Apply("Append Point", std::string(), [&] {
        Chain->AddPoint(Chain->Count() > 0 ? Chain->GetPoint(Chain->Count() - 1) : TPoint3D{});
        FreshExtent(Chain);
    });
    Changed(true);
    ShowPoints();
}

void TInspector::DeletePoint() {
    auto* Chain = dynamic_cast<TGeoDataObject*>(FInspected.Get());
    if (!Chain) return;
    Apply("Delete Point", std::string(), [&] {
        Chain->DeletePoint(PointsGrid->CursorRow());
        FreshExtent(Chain);
    });
    Changed(true);
    ShowPoints();
}
