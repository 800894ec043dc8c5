// The Inspector page driven through its widgets: the property grid's in-place editors,
// opening items and going back, the points grid in degrees with its menu, and forgetting
// items that are about to be freed.
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>
#include <QToolButton>

#include "EditorFixtures.h"
#include "editor/InplaceGrid.h"
#include "editor/Inspector.h"
#include "model/BitmapObject.h"

namespace {

class InspectorTest : public EditorTest {
protected:
    InspectorTest() {
        Insp.resize(320, 520);
        Insp.show();
    }

    // Puts the property grid's cursor on Name's row.
    void GoTo(const std::string& Name) {
        ASSERT_NE(Insp.Properties(), nullptr);
        const int32_t Row = IndexOf(*Insp.Properties(), Name);
        ASSERT_GE(Row, 0) << Name;
        Insp.PropertyGrid->SetCursor(1, Row);
        ASSERT_NE(Insp.PropertyGrid->Editor(), nullptr);
    }
    // Types Text into the editor over the cursor cell of Grid, replacing what it shows.
    static void Type(TInplaceGrid* Grid, const QString& Text, bool Return = false) {
        QLineEdit* Line = Grid->EditorLine();
        ASSERT_NE(Line, nullptr);
        Line->selectAll();
        QTest::keyClick(Line, Qt::Key_Delete);
        QTest::keyClicks(Line, Text);
        if (Return) QTest::keyClick(Line, Qt::Key_Return);
    }
    QString Shown(const std::string& Name) const {
        return Insp.PropertyGrid->CellText(1, IndexOf(*Insp.Properties(), Name));
    }
    // Paints everything, so that a cell reading a freed item is caught.
    void Paint() { (void)Insp.grab(); }

    TInspector Insp{&View};
};

TEST_F(InspectorTest, OpensClassValuedPropertiesAndGoesBack) {
    Insp.InspectRoot(Pen);
    EXPECT_EQ(Insp.ClassNameLabel->text(), "TPolylinePresenter");
    EXPECT_FALSE(Insp.btnBack->isEnabled());
    EXPECT_FALSE(Insp.PointsGrid->isVisible());
    ASSERT_EQ(Insp.PropertyGrid->RowCount(), Insp.Properties()->Count());
    EXPECT_EQ(Insp.PropertyGrid->CellText(0, 0), "Name");
    EXPECT_EQ(Insp.PropertyGrid->CellText(1, 0), "Highway");
    EXPECT_EQ(Insp.PropertyGrid->CellText(1, 1), "7");
    EXPECT_EQ(Insp.PropertyGrid->CursorCol(), 1);
    EXPECT_EQ(Insp.PropertyGrid->CursorRow(), 0);

    // The ellipsis button of a class-valued property opens it.
    GoTo("TitleFont");
    ASSERT_TRUE(Insp.PropertyGrid->EllipsisButton()->isVisible());
    QTest::mouseClick(Insp.PropertyGrid->EllipsisButton(), Qt::LeftButton);
    EXPECT_EQ(Insp.Inspected(), Pen->TitleFont());
    EXPECT_EQ(Insp.ClassNameLabel->text(), "TOrvexFont");
    EXPECT_TRUE(Insp.btnBack->isEnabled());
    EXPECT_EQ(Insp.HistoryPosition(), 1);
    QTest::mouseClick(Insp.btnBack, Qt::LeftButton);
    EXPECT_EQ(Insp.Inspected(), Pen);
    EXPECT_FALSE(Insp.btnBack->isEnabled());

    // So does a double click on its row; column 0 cannot take the cursor.
    const int32_t FontRow = IndexOf(*Insp.Properties(), "TitleFont");
    const QRect Name = Insp.PropertyGrid->visualRect(Insp.PropertyGrid->model()->index(FontRow, 0));
    QTest::mouseClick(Insp.PropertyGrid->viewport(), Qt::LeftButton, {}, Name.center());
    EXPECT_EQ(Insp.PropertyGrid->CursorCol(), 1);
    const QRect Value = Insp.PropertyGrid->visualRect(Insp.PropertyGrid->model()->index(FontRow, 1));
    // A real double click starts with a press, which moves the cursor.
    QTest::mouseClick(Insp.PropertyGrid->viewport(), Qt::LeftButton, {}, Value.center());
    QTest::mouseDClick(Insp.PropertyGrid->viewport(), Qt::LeftButton, {}, Value.center());
    EXPECT_EQ(Insp.Inspected(), Pen->TitleFont());
    Paint();
}

TEST_F(InspectorTest, InPlaceEditorsSetValuesAsTheTextChanges) {
    QSignalSpy Changes(&Insp, &TInspector::PropertyChanged);
    // As the main window does: a refresh in answer must leave the editor's text alone.
    QObject::connect(&Insp, &TInspector::PropertyChanged, &Insp, &TInspector::Refresh);
    Insp.InspectRoot(Road);
    ASSERT_TRUE(Insp.PointsGrid->isVisible());

    GoTo("Title");
    Type(Insp.PropertyGrid, "B7");
    EXPECT_EQ(Road->Title(), "B7");
    EXPECT_GE(Changes.count(), 2);
    GoTo("ID");
    Type(Insp.PropertyGrid, "12x");
    EXPECT_EQ(Road->ID(), 0) << "not an integer";
    EXPECT_EQ(Insp.PropertyGrid->EditorLine()->text(), "12x") << "the editor keeps what was typed";
    const int IDRow = Insp.PropertyGrid->CursorRow();
    QTest::keyClick(Insp.PropertyGrid->EditorLine(), Qt::Key_Down);
    EXPECT_EQ(Insp.PropertyGrid->CursorRow(), IDRow + 1) << "arrow keys move the cursor";
    EXPECT_EQ(Insp.PropertyGrid->EditorLine()->text(), "0") << "showing the next row's value";

    // A pick list, chosen from its list.
    GoTo("Hidden");
    TPickList* Pick = Insp.PropertyGrid->PickList();
    ASSERT_TRUE(Pick->isVisible());
    Pick->showPopup();
    ASSERT_EQ(Pick->count(), 2);
    QAbstractItemView* List = Pick->view();
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualRect(Pick->model()->index(1, 0)).center());
    EXPECT_TRUE(Road->Hidden());

    // Presenter by name, typed: the half-typed names on the way match nothing.
    GoTo("Presenter");
    Type(Insp.PropertyGrid, "GlobalPolylinePresenter");
    ASSERT_NE(Road->Presenter(), nullptr);
    EXPECT_EQ(Road->Presenter()->Name(), "GlobalPolylinePresenter");

    // Colour by name, on the presenter's pen.
    Insp.InspectRoot(Pen->PolylinePen());
    GoTo("PenColor");
    Type(Insp.PropertyGrid, "clRed");
    EXPECT_EQ(Pen->PolylinePen()->PenColor(), 255);
    Type(Insp.PropertyGrid, "$00123456");
    EXPECT_EQ(Pen->PolylinePen()->PenColor(), 0x123456);
    Paint();
}

TEST_F(InspectorTest, AFailureWhileTypingIsShownOnceWhenTypingEnds) {
    TGeoDataObject::Create(Layer, Pen, 2, "A2");
    Insp.InspectRoot(Road);
    GoTo("Index");
    Type(Insp.PropertyGrid, "5");
    EXPECT_TRUE(Ui.Messages.empty()) << "not while typing";
    QTest::keyClick(Insp.PropertyGrid->EditorLine(), Qt::Key_Return);
    EXPECT_EQ(Messages(), std::vector<std::string>{"TOrvexObject.SetIndex: Bad position"});
    Type(Insp.PropertyGrid, "1", true);
    EXPECT_EQ(Road->Index(), 1);
    EXPECT_EQ(Ui.Messages.size(), 1u);

    // A choice from a pick list is a whole edit: its failure shows at once.
    auto Chain = MakeChain(1);
    Insp.InspectRoot(Chain[0].get());
    GoTo("Mood");
    TPickList* Pick = Insp.PropertyGrid->PickList();
    Pick->showPopup();
    QAbstractItemView* List = Pick->view();
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualRect(Pick->model()->index(1, 0)).center());
    EXPECT_EQ(Ui.Messages.size(), 2u);
    EXPECT_EQ(Ui.Messages.back().Text, "Too angry");
    EXPECT_EQ(Chain[0]->Mood, 0);
}

TEST_F(InspectorTest, PointsShowAndTakeDegrees) {
    QObject::connect(&Insp, &TInspector::PropertyChanged, &Insp, &TInspector::Refresh);
    Road->PutPoint(0, TPoint3D{0, 0, kDeg});
    Insp.InspectRoot(Road);
    TInplaceGrid* G = Insp.PointsGrid;
    ASSERT_EQ(G->RowCount(), 2);
    EXPECT_EQ(G->CellText(0, 1), "1");
    EXPECT_EQ(G->CellText(3, 0), "1.0000");
    EXPECT_EQ(G->CellText(1, 0), "0.0000");
    ASSERT_EQ(G->CursorRow(), 0);
    ASSERT_EQ(G->CursorCol(), 1);
    QSplitterHandle* Handle = Insp.Splitter->handle(1);
    ASSERT_TRUE(Handle->isEnabled());
    const QImage Teal = Handle->grab().toImage();
    EXPECT_EQ(Teal.pixelColor(Teal.width() / 2, Teal.height() / 2), QColor(0, 128, 128));

    Layer->SetExtents(TExtent{1, 1, 1, 1});
    // Typed key by key: each prefix is set on the way, a prefix that is no number or out of
    // range leaves the last value.
    struct {
        int Col;
        const char* Typed;
        int32_t Value;
    } const Rows[] = {
        {1, "12.5", 12 * kDeg + 30 * kMin},  {1, "-", 12 * kDeg + 30 * kMin}, {1, "-10.5", -56700000},
        {1, "190", -170 * kDeg},             {1, "500", 50 * kDeg},           {1, "1a2", 12 * kDeg},
        {2, "95", 9 * kDeg},                 {2, "-90", -90 * kDeg},          {3, "398", 39 * kDeg},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Typed);
        G->SetCursor(R.Col, 0);
        Type(G, R.Typed);
        const TPoint3D P = Road->GetPoint(0);
        EXPECT_EQ(R.Col == 1 ? P.X : R.Col == 2 ? P.Y : P.Z, R.Value);
    }
    EXPECT_TRUE(Layer->Extents().IsEmpty()) << "the layer's extent is made afresh";
    EXPECT_TRUE(Ui.Messages.empty());

    // An empty chain shows one row of zeros; typing into it makes the point.
    auto* Empty = TGeoDataObject::Create(Layer);
    Insp.InspectRoot(Empty);
    ASSERT_EQ(G->RowCount(), 1);
    EXPECT_EQ(G->CellText(2, 0), "0.0000");
    G->SetCursor(2, 0);
    Type(G, "1");
    ASSERT_EQ(Empty->Count(), 1);
    EXPECT_EQ(Empty->GetPoint(0), (TPoint3D{0, kDeg, 0}));
    Paint();
}

TEST_F(InspectorTest, PointsMenuInsertsAppendsAndDeletes) {
    const TPoint3D A{9, 9, 0}, O{0, 0, 0}, B{3, 5, 0};
    const TPoint3D East{170 * kDeg, 0, 0}, West{-170 * kDeg, 10 * kDeg, 0};
    enum TAction { Insert, Append, Delete };
    struct {
        const char* Name;
        std::vector<TPoint3D> Points;
        int Row;  // 1-based, as the grid numbers its data rows
        TAction Action;
        std::vector<TPoint3D> Expected;
    } const Rows[] = {
        {"midpoint", {A, O, B}, 3, Insert, {A, O, TPoint3D{1, 2, 0}, B}},
        {"midpoint reversed", {A, B, O}, 3, Insert, {A, B, TPoint3D{2, 3, 0}, O}},
        {"row 1 copies the first point to the end", {A, O, B}, 1, Insert, {A, O, B, A}},
        {"across the date line", {East, West}, 2, Insert, {East, TPoint3D{-180 * kDeg, 5 * kDeg, 0}, West}},
        {"append to empty", {}, 1, Append, {O}},
        {"append copies the last", {A, B}, 1, Append, {A, B, B}},
        {"delete", {A, O, B}, 2, Delete, {A, B}},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        auto* Obj = TGeoDataObject::Create(Layer);
        for (const TPoint3D& P : R.Points) Obj->AddPoint(P);
        Insp.InspectRoot(Obj);
        Insp.PointsGrid->SetCursor(1, R.Row - 1);
        (R.Action == Insert ? Insp.actInsertPoint : R.Action == Append ? Insp.actAppendPoint : Insp.actDeletePoint)
            ->trigger();
        EXPECT_EQ(std::vector<TPoint3D>(Obj->Points(), Obj->Points() + Obj->Count()), R.Expected);
        EXPECT_EQ(Insp.PointsGrid->RowCount(), std::max(1, Obj->Count()));
    }
    EXPECT_TRUE(Ui.Messages.empty());

    // Deleting from an empty chain is the point list's error, in a message box.
    Insp.InspectRoot(TGeoDataObject::Create(Layer));
    Insp.actDeletePoint->trigger();
    EXPECT_EQ(Messages(), std::vector<std::string>{"PointList.Delete: Bad Index 0"});

    // A right click puts the cursor on the row under the mouse; the menu then acts on it.
    Insp.InspectRoot(Road);
    TInplaceGrid* G = Insp.PointsGrid;
    const QRect Second = G->visualRect(G->model()->index(1, 2));
    QTest::mouseClick(G->viewport(), Qt::RightButton, {}, Second.center());
    EXPECT_EQ(G->CursorRow(), 1);
    Insp.actInsertPoint->trigger();
    EXPECT_EQ(Road->Count(), 3);
    EXPECT_EQ(Road->GetPoint(1), (TPoint3D{1, 2, 0}));

    // Objects without a chain of their own keep their one point.
    auto* Bitmap = TBitmapObject::Create(Layer);
    Insp.InspectRoot(Bitmap);
    emit Insp.PointsMenu->aboutToShow();
    EXPECT_FALSE(Insp.actAppendPoint->isEnabled());
    Insp.AppendPoint();
    EXPECT_EQ(Bitmap->GetPointCount(), 1);
    Paint();
}

TEST_F(InspectorTest, PathBackKeepsTheSixteenMostRecentSteps) {
    auto Chain = MakeChain(21);
    Insp.InspectRoot(Chain[0].get());
    for (int I = 1; I <= 20; ++I) {
        GoTo("Next");
        Insp.EditProperty();
        ASSERT_EQ(Insp.Inspected(), Chain[size_t(I)].get());
        ASSERT_EQ(Insp.HistoryPosition(), std::min(I, TInspector::kHistorySize - 1));
    }
    EXPECT_EQ(Insp.HistoryEntry(0), Chain[4].get());
    for (int I = 0; I < 16; ++I) QTest::mouseClick(Insp.btnBack, Qt::LeftButton);
    EXPECT_EQ(Insp.Inspected(), Chain[4].get());
    EXPECT_EQ(Insp.HistoryPosition(), 0);
    EXPECT_FALSE(Insp.btnBack->isEnabled());
    Insp.Back();
    EXPECT_EQ(Insp.Inspected(), Chain[4].get());
    // The last item's Next is empty: opening nothing is ignored.
    Insp.InspectRoot(Chain[20].get());
    GoTo("Next");
    Insp.EditProperty();
    EXPECT_EQ(Insp.Inspected(), Chain[20].get());
    EXPECT_EQ(Insp.HistoryPosition(), 0);
}

TEST_F(InspectorTest, AFreedItemLeavesTheNearestLiveEntry) {
    enum TRoot { FromObject, FromPresenter };
    enum TFreed { FreeLayer, FreeObject, FreePresenter, FreeOtherObject };
    struct {
        const char* Name;
        TRoot Root;
        int Opened;  // steps opened from the root: presenter, then its title font
        TFreed Freed;
        int ShownStep;  // -1: nothing left to show
    } const Rows[] = {
        {"presenter under the object", FromObject, 2, FreePresenter, 0},
        {"the root presenter", FromPresenter, 1, FreePresenter, -1},
        {"the layer", FromObject, 2, FreeLayer, -1},
        {"the root object", FromObject, 1, FreeObject, -1},
        {"an object that uses the presenter", FromPresenter, 0, FreeOtherObject, 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TOrvexLayer* L = View.AddLayer("Scratch");
        auto* P = TOrvexPresenter::CreateNamed<TPointPresenter>(L, 3, "Towns");
        auto* Obj = TGeoDataObject::Create(L, P, 1, "Town");
        std::vector<TPersistent*> Path{R.Root == FromObject ? static_cast<TPersistent*>(Obj) : P};
        Insp.InspectRoot(Path[0]);
        for (const char* Step : {"Presenter", "TitleFont"}) {
            if (static_cast<int>(Path.size()) > R.Opened) break;
            if (IndexOf(*Insp.Properties(), Step) < 0) continue;
            GoTo(Step);
            Insp.EditProperty();
            Path.push_back(Insp.Inspected());
        }
        ASSERT_EQ(Insp.HistoryPosition(), R.Opened);

        const TPersistentRef<TPersistent> Shown = Insp.Inspected();
        switch (R.Freed) {
            case FreeLayer: delete L; break;
            case FreeObject:
            case FreeOtherObject: Obj->Delete(); break;
            case FreePresenter: P->Delete(); break;
        }
        // Until then nothing of a freed inspected item is read: its properties show empty.
        Paint();
        if (Shown.Expired()) {
            EXPECT_EQ(Insp.PropertyGrid->CellText(1, 0), "");
        }
        Insp.DropFreed();
        if (R.ShownStep < 0) {
            EXPECT_EQ(Insp.Inspected(), nullptr);
            EXPECT_EQ(Insp.PropertyGrid->RowCount(), 0);
            EXPECT_FALSE(Insp.PointsGrid->isVisible());
        } else {
            EXPECT_EQ(Insp.Inspected(), Path[size_t(R.ShownStep)]);
            EXPECT_EQ(Insp.HistoryPosition(), R.ShownStep);
            EXPECT_EQ(Insp.btnBack->isEnabled(), R.ShownStep > 0);
        }
        Insp.Refresh();
        Paint();
        Insp.InspectRoot(nullptr);
        if (R.Freed != FreeLayer) delete L;
    }
}

TEST_F(InspectorTest, ObjectsFreedByTheirLayerLeaveThePath) {
    Insp.InspectRoot(Road);
    GoTo("Presenter");
    Insp.EditProperty();
    ASSERT_EQ(Insp.Inspected(), Pen);
    Layer->Clear();
    Insp.Refresh();
    EXPECT_EQ(Insp.Inspected(), nullptr);
    Paint();
}

TEST_F(InspectorTest, SelectedObjectBecomesTheRoot) {
    Insp.InspectRoot(Pen);
    GoTo("TitleFont");
    Insp.EditProperty();
    Insp.SetSelectedObject(Road);
    EXPECT_EQ(Insp.Inspected(), Road);
    EXPECT_EQ(Insp.Properties()->Instance(), Road) << "the grid shows what edits go to";
    EXPECT_EQ(Insp.HistoryPosition(), 0);
    EXPECT_FALSE(Insp.btnBack->isEnabled());
    EXPECT_TRUE(Insp.PointsGrid->isVisible());
}

}  // namespace
