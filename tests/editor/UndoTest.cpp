// Undo and redo of every editing command, through the real menus and the inspector's
// grids: each brings back a map that saves to the same bytes, with the selection list in
// step with the selected bits, and nothing left pointing at freed items.
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <algorithm>
#include <functional>

#include "MainFixture.h"
#include "editor/SelLayer.h"
#include "editor/Undo.h"
#include "model/OrvexStream.h"
#include "styling/PolylinePresenter.h"

namespace {

class UndoTest : public MainWindowTest {
protected:
    TOrvexLayer* A = nullptr;
    TOrvexLayer* B = nullptr;

    // Layer A: three squares; layer B: two squares, the second drawn by the global polygon
    // presenter, and an unused polyline presenter (saving drops it).
    void MakeMap() {
        A = AddSquares("A", 3, 0);
        B = AddSquares("B", 2, 100);
        TOrvexPresenter::CreateNamed<TPolylinePresenter>(B, 0, "Unused");
        B->GetObject(1)->SetPresenter(GlobalPolygon());
        Main->AfterLoad(false);
    }
    TOrvexPresenter* GlobalPolygon() const { return View().GlobalLayer()->FindPresenter("", -3); }
    TEditorUndo& Undo() const { return *TMainWindowTestAccess::Undo(*Main); }
    static int32_t IndexOf(const TOrvexProperties& Props, const std::string& Name) {
        for (int32_t I = 0; I < Props.Count(); ++I)
            if (Props.PropName(I) == Name) return I;
        return -1;
    }

    // What saving writes: every layer's file, and the global presenters that they fall back on;
    // and the selection.
    std::string Saved() const {
        std::string All;
        auto Add = [&All](const std::string& Tag, const TOrvexStream& S) {
            All += Tag + "=" + std::string(S.Data().begin(), S.Data().end()) + ";";
        };
        for (TOrvexLayer* L : View().Layers()) {
            // Saving drops the presenters no object uses; until then they are part of the map.
            std::vector<std::string> Presenters;
            for (const TOrvexPresenter* P : L->Presenters()) Presenters.push_back(P->ClassName() + "/" + P->Name());
            std::sort(Presenters.begin(), Presenters.end());
            for (const std::string& P : Presenters) All += "presenter=" + P + ";";
            TOrvexStream S;
            L->SaveToStream(S);
            Add(L->Name(), S);
        }
        for (TOrvexPresenter* P : View().GlobalLayer()->Presenters()) {
            TOrvexStream S;
            P->SaveToStream(S);
            Add(P->ClassName(), S);
        }
        // What the map shows selected belongs to the state an undo brings back.
        std::vector<std::string> Selected;
        for (const TOrvexObject* O : View().Selection()) Selected.push_back(O->Title());
        std::sort(Selected.begin(), Selected.end());
        for (const std::string& T : Selected) All += "selected=" + T + ";";
        return All;
    }
    void ExpectSelectionInStep() const {
        size_t Selected = 0;
        for (const TOrvexLayer* L : View().Layers())
            for (TOrvexObject* O : L->Objects()) {
                const auto& Sel = View().Selection();
                EXPECT_EQ(O->Selected(), std::find(Sel.begin(), Sel.end(), O) != Sel.end()) << O->Title();
                Selected += O->Selected();
            }
        EXPECT_EQ(Selected, View().Selection().size());
    }

    // Typing into the inspector as the user does, key by key.
    void TypeProperty(const std::string& Name, const QString& Text) {
        TInspector& I = *Inspector();
        ASSERT_NE(I.Properties(), nullptr);
        const int32_t Row = IndexOf(*I.Properties(), Name);
        ASSERT_GE(Row, 0) << Name;
        I.PropertyGrid->SetCursor(1, Row);
        TypeInto(I.PropertyGrid, Text);
    }
    static void TypeInto(TInplaceGrid* Grid, const QString& Text) {
        QLineEdit* Line = Grid->EditorLine();
        ASSERT_NE(Line, nullptr);
        Line->selectAll();
        QTest::keyClick(Line, Qt::Key_Delete);
        QTest::keyClicks(Line, Text);
        QTest::keyClick(Line, Qt::Key_Return);
    }
    void Inspect(TPersistent* Item) {
        Inspector()->InspectRoot(Item);
        Main->SetActivePage(TfrmMain::pgInspector);
    }
    void SelectObjectRows(TOrvexLayer* L, int First, int Last) {
        Main->SetCurrentLayer(L);
        Main->SetCurrentObject(L->GetObject(First));
        ObjectsGrid()->selectionModel()->select(
            QItemSelection(ObjectsGrid()->model()->index(First, 0), ObjectsGrid()->model()->index(Last, 2)),
            QItemSelectionModel::ClearAndSelect);
    }
    // Each editing command with what it needs set up first and the text of its undo entry.
    struct TRow {
        const char* Name;
        const char* UndoText;
        std::function<void()> Setup;
        std::function<void()> Command;
    };
    std::vector<TRow> EditingRows() {
        auto Nothing = [] {};
        return {
            {"object title typed key by key", "Change Title", [this] { Inspect(A->GetObject(1)); },
             [this] { TypeProperty("Title", "Renamed"); }},
            {"object moved in its layer", "Change Index", [this] { Inspect(A->GetObject(0)); },
             [this] { TypeProperty("Index", "2"); }},
            {"object selected through its property", "Change Selected",
             [this] {
                 View().SelectObject(B->GetObject(0));
                 Inspect(A->GetObject(2));
             },
             [this] { TypeProperty("Selected", "True"); }},
            {"point typed in degrees", "Edit Point",
             [this] {
                 Inspect(A->GetObject(0));
                 Inspector()->PointsGrid->SetCursor(1, 2);
             },
             [this] { TypeInto(Inspector()->PointsGrid, "-179.5"); }},
            {"point inserted", "Insert Point",
             [this] {
                 Inspect(A->GetObject(0));
                 Inspector()->PointsGrid->SetCursor(1, 2);
             },
             [this] { Inspector()->actInsertPoint->trigger(); }},
            {"point appended to a single-point object", "Append Point",
             [this] {
                 TGeoDataObject* Obj = TGeoDataObject::Create(A, A->GetPresenter(0), 9, "Spot");
                 Obj->AddPoint(Deg(5, 5));
                 Inspect(Obj);
             },
             [this] { Inspector()->actAppendPoint->trigger(); }},
            {"point deleted", "Delete Point",
             [this] {
                 Inspect(B->GetObject(1));
                 Inspector()->PointsGrid->SetCursor(1, 1);
             },
             [this] { Inspector()->actDeletePoint->trigger(); }},
            {"presenter number", "Change FeatureID", [this] { Inspect(A->GetPresenter(0)); },
             [this] { TypeProperty("FeatureID", "42"); }},
            {"pen of a global presenter", "Change PenWidth",
             [this] {
                 Inspect(GlobalPolygon());
                 TInspector& I = *Inspector();
                 I.InspectChild(I.Properties()->ObjectValue(IndexOf(*I.Properties(), "PolygonPen")));
             },
             [this] { TypeProperty("PenWidth", "3"); }},
            {"layer zoom units", "Change ZoomUnits",
             [this] {
                 A->SetZoomMax(5);
                 Inspect(A);
             },
             [this] { TypeProperty("ZoomUnits", "Degree"); }},
            {"layer moved by its index", "Change Index", [this] { Inspect(B); },
             [this] { TypeProperty("Index", "0"); }},
            {"new GeoDataObject", "New GeoDataObject", [this] { Main->SetCurrentLayer(A); },
             [this] { Act("actNewGeoData")->trigger(); }},
            {"new BitmapObject", "New BitmapObject", [this] { Main->SetCurrentLayer(B); },
             [this] { Act("actNewBitmap")->trigger(); }},
            {"two objects deleted, one selected", "Delete Object",
             [this] {
                 View().SelectObject(A->GetObject(1));
                 SelectObjectRows(A, 0, 1);
             },
             [this] { Act("actDeleteObject")->trigger(); }},
            {"objects moved to another layer", "Move To Layer",
             [this] {
                 SelectObjectRows(A, 1, 2);
                 ChooseB();
             },
             [this] { Act("actMoveToLayer")->trigger(); }},
            {"objects copied to another layer", "Copy To Layer",
             [this] {
                 SelectObjectRows(A, 0, 2);
                 ChooseB();
             },
             [this] { Act("actCopyToLayer")->trigger(); }},
            {"new presenter", "New Presenter", [this] { Main->SetCurrentLayer(A); },
             [this] { Act("actNewPointPresenter")->trigger(); }},
            {"presenter in use deleted", "Delete Presenter",
             [this] {
                 Main->SetCurrentLayer(A);
                 Main->SetCurrentPresenter(A->GetPresenter(0));
             },
             [this] { Act("actDeletePresenter")->trigger(); }},
            {"global presenter deleted", "Delete Presenter",
             [this] {
                 Main->SetCurrentLayer(B);
                 Main->SetCurrentPresenter(GlobalPolygon());
             },
             [this] { Act("actDeletePresenter")->trigger(); }},
            {"presenter made global", "Make Global",
             [this] {
                 Main->SetCurrentLayer(A);
                 PresentersGrid()->SetCursorRow(Main->GlobalPresenterCount());
             },
             [this] { Act("actMakeGlobal")->trigger(); }},
            {"new layer", "New Layer", Nothing, [this] { Act("actNewLayer")->trigger(); }},
            {"layer deleted", "Delete layer",
             [this] {
                 View().SelectObject(A->GetObject(2));
                 Main->SetCurrentLayer(A);
             },
             [this] { Act("actDeleteLayer")->trigger(); }},
            {"layer moved down", "Layer Down", [this] { Main->SetCurrentLayer(A); },
             [this] { Child<QPushButton>("btnDown")->click(); }},
        };
    }
    // The "Select a Layer" dialog answers with layer B.
    void ChooseB() {
        Ui.OnDialog = [](QDialog& D) {
            auto* Dialog = dynamic_cast<TfrmSelLayer*>(&D);
            ASSERT_NE(Dialog, nullptr);
            Dialog->lvLayers->setCurrentItem(Dialog->lvLayers->topLevelItem(1));
        };
    }
};

TEST_F(UndoTest, EveryEditingCommandUndoesAndRedoesToTheSameSavedBytes) {
    for (const TRow& Row : EditingRows()) {
        SCOPED_TRACE(Row.Name);
        Open();
        MakeMap();
        Ui.Messages.clear();
        Row.Setup();
        // As the user sees it: drawn (layer extents made) and saved once (unused presenters dropped).
        Paint();
        (void)Saved();
        const std::string Before = Saved();
        Row.Command();
        Paint();
        const std::string After = Saved();
        ASSERT_NE(After, Before) << "the command changed nothing";
        ASSERT_EQ(Undo().Stack().count(), 1) << "one entry per command, however it was typed";
        EXPECT_EQ(Undo().actUndo->text().toStdString(), std::string("&Undo ") + Row.UndoText);
        for (int Round = 0; Round < 2; ++Round) {
            Undo().actUndo->trigger();
            Paint();
            EXPECT_EQ(Saved(), Before);
            ExpectSelectionInStep();
            EXPECT_TRUE(Undo().actRedo->isEnabled());
            Undo().actRedo->trigger();
            Paint();
            EXPECT_EQ(Saved(), After);
            ExpectSelectionInStep();
        }
        EXPECT_TRUE(Messages().empty()) << (Messages().empty() ? "" : Messages().front());
    }
}

TEST_F(UndoTest, ChangesMadeBehindTheHistoryEndItWithAMessageNotACrash) {
    MakeMap();
    Inspect(A->GetObject(2));
    TypeProperty("Title", "Renamed");
    Main->SetCurrentLayer(A);
    Act("actNewGeoData")->trigger();
    ASSERT_EQ(Undo().Stack().count(), 2);
    // Objects vanish without the editor's commands (as a layer that loads on demand drops them).
    A->Clear();
    Undo().actUndo->trigger();
    Paint();
    ASSERT_EQ(Ui.Messages.size(), 1U);
    EXPECT_NE(Ui.Messages[0].Text.find("The undo history starts afresh"), std::string::npos);
    EXPECT_EQ(Undo().Stack().count(), 0);
    EXPECT_FALSE(Undo().actUndo->isEnabled());

    // A new map or another profile starts a new history.
    Main->SetCurrentLayer(B);
    Act("actNewLayer")->trigger();
    ASSERT_TRUE(Undo().actUndo->isEnabled());
    Act("actNew")->trigger();
    EXPECT_EQ(Undo().Stack().count(), 0);
}

TEST_F(UndoTest, CtrlZStaysZoomExtentsUnlessChosenForUndo) {
    EXPECT_EQ(Act("actZoomExtents")->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_TRUE(Undo().actUndo->shortcuts().contains(QKeySequence("Alt+Backspace")));
    EXPECT_TRUE(Undo().actRedo->shortcuts().contains(QKeySequence("Ctrl+Shift+Z")));
    Undo().actCtrlZUndoes->trigger();
    EXPECT_TRUE(Undo().actUndo->shortcuts().contains(QKeySequence("Ctrl+Z")));
    EXPECT_TRUE(Act("actZoomExtents")->shortcut().isEmpty()) << "one key, one action";
    Undo().actCtrlZUndoes->trigger();
    EXPECT_EQ(Act("actZoomExtents")->shortcut(), QKeySequence("Ctrl+Z"));
}

}  // namespace
