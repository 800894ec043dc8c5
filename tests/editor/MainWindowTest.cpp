// The main window driven through its widgets: start-up with and without a layer file, the
// grids, the map's selection and the inspector following one another, the context menus,
// and every delete command letting go of the item everywhere before it is freed.
#include <QFile>
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "MainFixture.h"
#include "editor/CommandLine.h"
#include "editor/FindDialog.h"
#include "model/BitmapObject.h"
#include "platform/Text.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolylinePresenter.h"

namespace {

TEST_F(MainWindowTest, StartsWithTheLayerFileNamedOnTheCommandLine) {
    const std::string Garbage = Folder() + "garbage.lyr";
    std::ofstream(Garbage) << "not a layer file at all";
    // What a double click on a profile in the file manager passes; the folder is not ASCII.
    ASSERT_TRUE(QDir().mkpath(PathToQString(Folder() + "zo\xC3\xAB")));
    const std::string Profile = Folder() + "zo\xC3\xAB/Z\xC3\xBCrich.PRF";
    std::ofstream(Profile) << "[Global Settings]\nDataDirectory=" << SourceFile("data/") << "\n[LayerList]\n0=world.lyr\n";
    const struct {
        const char* Name;
        std::string Arg;
        int32_t Layers;
        const char* Message;  // a part of the one message expected, or null for none
        const char* LayerName;
    } Cases[] = {
        {"no argument", "", 0, nullptr, nullptr},
        {"the bundled world", SourceFile("data/world.lyr"), 1, nullptr, "world.lyr"},
        {"a missing file", Folder() + "nowhere.lyr", 0, "nowhere.lyr", nullptr},
        {"a file that is no layer file", Garbage, 0, "", nullptr},
        {"a profile, opened as one and not read as a layer file", Profile, 1, nullptr, "world"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Ui.Messages.clear();
        Open(C.Arg);
        ASSERT_EQ(View().LayerCount(), C.Layers);
        EXPECT_EQ(Main->windowTitle(), RestCaption()) << "no progress text stays in the caption";
        EXPECT_EQ(Main->ActivePage(), TfrmMain::pgLayers);
        if (C.Message) {
            ASSERT_EQ(Messages().size(), 1u);
            EXPECT_NE(Messages()[0].find(C.Message), std::string::npos) << Messages()[0];
        } else {
            EXPECT_TRUE(Messages().empty());
        }
        // The global presenters lead the presenters grid.
        EXPECT_EQ(PresentersGrid()->CellText(0, 0), "G");
        EXPECT_EQ(PresentersGrid()->CellText(1, 2), "GlobalPolygonPresenter");
        if (C.Layers == 0) {
            EXPECT_EQ(Main->CurrentLayer(), nullptr);
            EXPECT_EQ(PresentersGrid()->RowCount(), 3);
            continue;
        }
        TOrvexLayer* World = View().GetLayer(0);
        EXPECT_EQ(World->Name(), C.LayerName) << "named with its extension when given alone";
        EXPECT_EQ(Main->CurrentLayer(), World);
        EXPECT_EQ(Main->CurrentObject(), World->GetObject(0));
        EXPECT_EQ(LayersGrid()->CellText(0, 0), C.LayerName);
        EXPECT_EQ(LayersGrid()->CellText(1, 0), QString::number(World->ObjectCount()));
        EXPECT_EQ(ObjectsGrid()->RowCount(), World->ObjectCount());
        EXPECT_EQ(ObjectsGrid()->CellText(0, 0), ToQString(World->GetObject(0)->Title()));
        Paint();
    }
}

// The program's start: a file name passes as the file system's bytes (the text rule would
// turn "zoë" into Latin-1 and name no file), and no argument opens the bundled world.
TEST(EditorStartFile, TakesTheFirstArgumentOrTheBundledWorld) {
    auto Start = [](std::vector<const char*> Argv) {
        Argv.insert(Argv.begin(), "orvex-editor");
        return EditorStartFile(ParseCommandLine(int(Argv.size()), Argv.data()));
    };
    EXPECT_EQ(Start({"/maps/zo\xC3\xAB/Z\xC3\xBCrich.lyr", "second.lyr"}), "/maps/zo\xC3\xAB/Z\xC3\xBCrich.lyr");
    EXPECT_EQ(Start({"/maps/Z\xFCrich.lyr"}), "/maps/Z\xFCrich.lyr") << "bytes that are not UTF-8 pass too";
    EXPECT_EQ(Start({"--screenshot", "out.png", "/maps/a.lyr"}), "/maps/a.lyr");
    // A bare profile name would mean the program's folder to the view.
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const QString Before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    const std::string Typed = Start({"maps.prf"});
    QDir::setCurrent(Before);
    EXPECT_EQ(Typed, PathFromQString(Dir.path()) + "/maps.prf");
    const std::string World = Start({});
    ASSERT_FALSE(World.empty()) << "a program in its build tree finds the sources' data";
    EXPECT_TRUE(std::filesystem::equivalent(World, SourceFile("data/world.lyr"))) << World;
}

// The hidden options take their value wherever they stand and leave the file name alone; a
// folder's name passes as the file system's bytes.
TEST(EditorCommandLine, HiddenOptionsTakeTheirValueAnywhere) {
    const struct {
        const char* Name;
        std::vector<const char*> Args;
        const char* Screenshot;
        const char* Tour;
        const char* File;
    } Cases[] = {
        {"tour before the file", {"--tour", "zo\xC3\xAB/Z\xC3\xBCrich", "a.lyr"}, "", "zo\xC3\xAB/Z\xC3\xBCrich", "a.lyr"},
        {"tour after the file", {"a.lyr", "--tour", "pictures"}, "", "pictures", "a.lyr"},
        {"both options", {"--screenshot", "out.png", "--tour", "pictures"}, "out.png", "pictures", ""},
        {"no value: a file name", {"a.lyr", "--tour"}, "", "", "a.lyr"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        std::vector<const char*> Argv{"orvex-editor"};
        Argv.insert(Argv.end(), C.Args.begin(), C.Args.end());
        const TCommandLine Line = ParseCommandLine(int(Argv.size()), Argv.data());
        EXPECT_EQ(Line.Screenshot, C.Screenshot);
        EXPECT_EQ(Line.Tour, C.Tour);
        EXPECT_EQ(Line.LayerFile, C.File);
    }
}

// The first double click on a row opens its item in an inspector page never shown before,
// whose grid was not laid out when the item was fitted to it: the names must still be in
// sight, and the value column fill what they leave.
TEST_F(MainWindowTest, InspectorFirstShownByADoubleClickShowsTheNames) {
    AddSquares("W", 2, -40);
    Main->SetActivePage(TfrmMain::pgPresenters);
    Main->PageChanged();
    Main->GridDblClick(TfrmMain::pgPresenters);
    ASSERT_EQ(Main->ActivePage(), TfrmMain::pgInspector);
    QApplication::processEvents();
    const TInplaceGrid& G = *Inspector()->PropertyGrid;
    EXPECT_EQ(G.columnViewportPosition(0), 0);
    EXPECT_EQ(G.columnViewportPosition(1) + G.columnWidth(1), std::max(G.viewport()->width() - 1, G.columnWidth(0) + 128));
    // Names such as "TitleAlignment" are not cut while the grid has room for them.
    int Widest = 0;
    for (int Row = 0; Row < G.RowCount(); ++Row) Widest = std::max(Widest, G.fontMetrics().horizontalAdvance(G.CellText(0, Row)));
    EXPECT_GE(G.columnWidth(0), std::min(Widest, G.viewport()->width() / 2));
}

TEST_F(MainWindowTest, GridsMapSelectionAndInspectorFollowOneAnother) {
    TOrvexLayer* West = AddSquares("W", 2, -40);
    TOrvexLayer* East = AddSquares("E", 3, 10);
    ASSERT_EQ(Main->CurrentLayer(), West) << "loading more keeps the current layer";

    // A click on the map selects in another layer, which becomes current.
    Main->SetActivePage(TfrmMain::pgObjects);
    ClickMap(29, 5);
    TOrvexObject* E2 = East->GetObject(1);
    EXPECT_EQ(View().SelectedObject(), E2);
    EXPECT_EQ(Main->CurrentObject(), E2) << "the object picked stays current";
    EXPECT_EQ(Main->CurrentLayer(), East);
    EXPECT_TRUE(E2->Selected());
    EXPECT_FALSE(West->GetObject(0)->Selected());
    EXPECT_EQ(Main->windowTitle(), "TOrvex Object Editor E2");
    EXPECT_EQ(ObjectsGrid()->CellText(0, 2), "E3");
    EXPECT_EQ(ObjectsGrid()->CellText(1, 0), "EStyle");
    EXPECT_EQ(ObjectsGrid()->CursorRow(), 1);
    EXPECT_EQ(Inspector()->Inspected(), E2);

    // On the Presenters page the click leads to the object's presenter.
    Main->SetActivePage(TfrmMain::pgPresenters);
    ClickMap(-35, 5);
    EXPECT_EQ(Main->CurrentLayer(), West);
    EXPECT_EQ(Main->CurrentPresenter(), West->GetPresenter(0));
    EXPECT_EQ(PresentersGrid()->CursorRow(), 3);
    EXPECT_EQ(PresentersGrid()->CellText(0, 3), "L");
    EXPECT_EQ(Inspector()->Inspected(), West->GetPresenter(0));

    // The sea: nothing selected, the plain caption.
    ClickMap(-5, -30);
    EXPECT_EQ(View().SelectedObject(), nullptr);
    EXPECT_EQ(Main->CurrentObject(), nullptr);
    EXPECT_EQ(Main->windowTitle(), kMainCaption);

    // Clicks on the grids.
    Main->SetActivePage(TfrmMain::pgObjects);
    TListGrid* Objects = ObjectsGrid();
    QTest::mouseClick(Objects->viewport(), Qt::LeftButton, {}, Objects->visualRect(Objects->model()->index(1, 0)).center());
    EXPECT_EQ(Main->CurrentObject(), West->GetObject(1));
    EXPECT_TRUE(West->GetObject(1)->Selected());
    EXPECT_EQ(Inspector()->Inspected(), West->GetObject(1));
    QTest::mouseDClick(Objects->viewport(), Qt::LeftButton, {}, Objects->visualRect(Objects->model()->index(1, 0)).center());
    EXPECT_EQ(Main->ActivePage(), TfrmMain::pgInspector);
    Main->SetActivePage(TfrmMain::pgObjects);
    QTest::mouseClick(Objects->viewport(), Qt::LeftButton, {}, QPoint(20, Objects->viewport()->height() - 4));
    EXPECT_EQ(Main->CurrentObject(), nullptr) << "below the last row";
    EXPECT_FALSE(West->GetObject(1)->Selected());
    EXPECT_EQ(Inspector()->Inspected(), nullptr);

    Main->SetActivePage(TfrmMain::pgLayers);
    TListGrid* Layers = LayersGrid();
    QTest::mouseClick(Layers->viewport(), Qt::LeftButton, {}, Layers->visualRect(Layers->model()->index(1, 0)).center());
    EXPECT_EQ(Main->CurrentLayer(), East);
    EXPECT_EQ(Inspector()->Inspected(), East);
    EXPECT_TRUE(Child<QPushButton>("btnUp")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>("btnDown")->isEnabled());
    QTest::mouseClick(Layers->viewport(), Qt::LeftButton, {}, Layers->visualRect(Layers->model()->index(2, 0)).center());
    EXPECT_EQ(Main->CurrentLayer(), nullptr) << "the empty row after the layers";
    EXPECT_FALSE(Child<QPushButton>("btnUp")->isEnabled());

}

// Text typed into the main window's inspector reaches the model, and the grids show it at once.
TEST_F(MainWindowTest, PropertiesTypedInTheInspectorShowInTheGrids) {
    TOrvexLayer* L = AddSquares("L", 2, 0);
    TOrvexObject* O = L->GetObject(1);
    auto* P = dynamic_cast<TPolygonPresenter*>(L->GetPresenter(0));
    Main->SetCurrentObject(O);
    const struct {
        TPersistent* Item;
        const char* Property;
        const char* Text;
        TListGrid* Grid;
        int Col, Row;
        const char* Shown;  // in the grid's cell, or null
    } Cases[] = {
        {O, "Title", "Harbour", ObjectsGrid(), 0, 1, "Harbour"},
        {O, "Presenter", "GlobalPolygonPresenter", ObjectsGrid(), 1, 1, "GlobalPolygonPresenter"},
        {P, "Name", "Coast", ObjectsGrid(), 1, 0, "Coast"},
        {P, "FeatureID", "9", PresentersGrid(), 3, 3, "9"},
        {P, "TitleAlignment", "taTop", nullptr, 0, 0, nullptr},
        {P->PolygonPen(), "PenColor", "clRed", nullptr, 0, 0, nullptr},
        {P->PolygonPen(), "PenColor", "$00123456", nullptr, 0, 0, nullptr},
        {L, "Name", "Islands", LayersGrid(), 0, 0, "Islands"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Property) + " " + C.Text);
        Inspector()->InspectRoot(C.Item);
        TOrvexProperties& Props = *Inspector()->Properties();
        int32_t Row = 0;
        while (Row < Props.Count() && Props.PropName(Row) != C.Property) ++Row;
        ASSERT_LT(Row, Props.Count());
        Inspector()->PropertyGrid->SetCursor(1, Row);
        QLineEdit* Editor = Inspector()->PropertyGrid->EditorLine();
        ASSERT_NE(Editor, nullptr);
        Editor->selectAll();
        QTest::keyClicks(Editor, C.Text);
        EXPECT_EQ(Props.GetValue(Row), C.Text);
        if (C.Grid) {
            EXPECT_EQ(C.Grid->CellText(C.Col, C.Row), C.Shown);
        }
    }
    EXPECT_EQ(O->Presenter(), View().GlobalLayer()->GetPresenter(2));
    EXPECT_EQ(P->PolygonPen()->PenColor(), 0x123456);
}

TEST_F(MainWindowTest, ContextMenusOpenOnlyWhereTheyCanAct) {
    auto Popup = [&](TListGrid* Grid, QMenu* Menu) {
        QTest::mouseClick(Grid->viewport(), Qt::RightButton, {}, QPoint(10, 8));
        emit Grid->customContextMenuRequested(QPoint(10, 8));
        const bool Shown = Menu->isVisible();
        Menu->hide();
        return Shown;
    };
    EXPECT_FALSE(Popup(ObjectsGrid(), Child<QMenu>("ObjectsMenu"))) << "no current layer";
    EXPECT_FALSE(Popup(PresentersGrid(), Child<QMenu>("PresentersMenu")));
    EXPECT_TRUE(Popup(LayersGrid(), Child<QMenu>("LayersMenu")));
    EXPECT_FALSE(Act("actDeleteLayer")->isEnabled());

    TOrvexLayer* L = AddSquares("L", 2, 0);
    TOrvexPresenter* Own = L->GetPresenter(0);
    Main->SetCurrentLayer(L);
    EXPECT_TRUE(Popup(LayersGrid(), Child<QMenu>("LayersMenu")));
    EXPECT_TRUE(Act("actDeleteLayer")->isEnabled());
    EXPECT_TRUE(Popup(ObjectsGrid(), Child<QMenu>("ObjectsMenu")));
    // A right click moves the cursor to the row under the mouse, which the menu acts on.
    EXPECT_EQ(Main->CurrentObject(), L->GetObject(0));
    EXPECT_TRUE(Act("actDeleteObject")->isEnabled());

    // "Make Global" acts on a presenter of the layer, not on a global one.
    EXPECT_TRUE(Popup(PresentersGrid(), Child<QMenu>("PresentersMenu")));
    EXPECT_FALSE(Act("actMakeGlobal")->isEnabled()) << "row 0 holds a global presenter";
    PresentersGrid()->SetCursorRow(3);
    Main->PreparePresentersMenu();
    ASSERT_TRUE(Act("actMakeGlobal")->isEnabled());
    Act("actMakeGlobal")->trigger();
    EXPECT_EQ(Own->Layer(), View().GlobalLayer());
    EXPECT_EQ(L->GetObject(0)->Presenter(), Own) << "the objects keep their presenter";
    EXPECT_EQ(PresentersGrid()->CellText(0, 3), "G");
    EXPECT_EQ(PresentersGrid()->CellText(1, 3), "LStyle");
}

TEST_F(MainWindowTest, NewCommandsMakeTheirItemCurrent) {
    Act("actNewLayer")->trigger();
    ASSERT_EQ(View().LayerCount(), 1);
    TOrvexLayer* L = View().GetLayer(0);
    EXPECT_EQ(L->Name(), "New layer");
    EXPECT_EQ(Main->CurrentLayer(), L);
    EXPECT_EQ(LayersGrid()->RowCount(), 1);

    const struct {
        QAction* Action;
        const char* Class;
        const char* Title;
    } Objects[] = {{Act("actNewGeoData"), "TGeoDataObject", "New GeoData"},
                   {Act("actNewBitmap"), "TBitmapObject", "New Bitmap"}};
    for (const auto& C : Objects) {
        SCOPED_TRACE(C.Class);
        C.Action->trigger();
        TOrvexObject* O = Main->CurrentObject();
        ASSERT_NE(O, nullptr);
        EXPECT_EQ(O->ClassName(), C.Class);
        EXPECT_EQ(O->Title(), C.Title);
        EXPECT_EQ(O->GetPointCount(), C.Class[1] == 'G' ? 0 : 1);
        EXPECT_EQ(ObjectsGrid()->RowCount(), L->ObjectCount());
        EXPECT_EQ(ObjectsGrid()->CellText(1, O->Index()), "[Undefined]");
    }

    const struct {
        QAction* Action;
        const char* Class;
    } Presenters[] = {{Act("actNewPointPresenter"), "TPointPresenter"},
                      {Act("actNewPolylinePresenter"), "TPolylinePresenter"},
                      {Act("actNewPolygonPresenter"), "TPolygonPresenter"}};
    for (const auto& C : Presenters) {
        SCOPED_TRACE(C.Class);
        C.Action->trigger();
        TOrvexPresenter* P = Main->CurrentPresenter();
        ASSERT_NE(P, nullptr);
        EXPECT_EQ(P->ClassName(), C.Class);
        EXPECT_EQ(P->Layer(), L);
        EXPECT_EQ(PresentersGrid()->RowCount(), 3 + L->PresenterCount());
        EXPECT_EQ(PresentersGrid()->CellText(2, Main->PresenterRow(P)), C.Class);
    }

    // New clears everything the commands made.
    Inspector()->InspectRoot(L->GetPresenter(0)->TitleFont());
    Act("actNew")->trigger();
    EXPECT_EQ(View().LayerCount(), 0);
    EXPECT_EQ(Main->CurrentLayer(), nullptr);
    EXPECT_EQ(Main->CurrentPresenter(), nullptr);
    EXPECT_EQ(PresentersGrid()->RowCount(), 3);
}

// Each delete command with its item open in the inspector (and opened further) and selected
// on the map: nothing may point at the freed item afterwards. ASan sees what is left behind.
TEST_F(MainWindowTest, DeleteCommandsLetGoOfTheirItemEverywhere) {
    enum TWhat { Layer, Object, Presenter, GlobalPresenter };
    const struct {
        const char* Name;
        TWhat What;
    } Cases[] = {{"layer", Layer}, {"object", Object}, {"presenter", Presenter}, {"global presenter", GlobalPresenter}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Open();
        TOrvexLayer* Keep = AddSquares("K", 1, -60);
        TOrvexLayer* L = AddSquares("L", 3, 0);
        TOrvexObject* Target = L->GetObject(1);
        TOrvexPresenter* Global = View().GlobalLayer()->GetPresenter(2);
        if (C.What == GlobalPresenter) Target->SetPresenter(Global);
        ClickMap(14, 5);
        ASSERT_EQ(View().SelectedObject(), Target);
        ASSERT_EQ(Main->CurrentObject(), Target);
        ObjectsGrid()->SetCursorRow(1);

        TInspector& Insp = *Inspector();
        Insp.InspectRoot(Target);
        Insp.InspectChild(Target->Presenter());
        Insp.InspectChild(Target->Presenter()->TitleFont());
        switch (C.What) {
            case Layer:
                Act("actDeleteLayer")->trigger();
                EXPECT_EQ(View().LayerCount(), 1);
                EXPECT_EQ(Insp.Inspected(), nullptr);
                EXPECT_EQ(Main->CurrentLayer(), nullptr);
                EXPECT_EQ(LayersGrid()->RowCount(), 1);
                EXPECT_EQ(LayersGrid()->CellText(0, 0), "K");
                break;
            case Object:
                Act("actDeleteObject")->trigger();
                EXPECT_EQ(L->ObjectCount(), 2);
                EXPECT_EQ(Insp.Inspected(), nullptr);
                EXPECT_EQ(ObjectsGrid()->RowCount(), 2);
                EXPECT_TRUE(L->Extents().IsEmpty()) << "made afresh at the next render";
                break;
            case Presenter:
            case GlobalPresenter:
                Main->SetCurrentPresenter(Target->Presenter());
                Act("actDeletePresenter")->trigger();
                EXPECT_EQ(Target->Presenter(), nullptr);
                EXPECT_EQ(Insp.Inspected(), Target) << "the nearest live entry of the path";
                EXPECT_EQ(Insp.HistoryPosition(), 0);
                EXPECT_EQ(ObjectsGrid()->CellText(1, 1), "[Undefined]");
                EXPECT_EQ(View().GlobalLayer()->PresenterCount(), C.What == GlobalPresenter ? 2 : 3);
                break;
        }
        if (C.What != Object) {
            EXPECT_EQ(Main->CurrentPresenter(), nullptr);
        }
        if (C.What == Layer || C.What == Object) {
            EXPECT_EQ(View().SelectedObject(), nullptr);
            EXPECT_EQ(Main->CurrentObject(), nullptr);
        }
        EXPECT_EQ(Keep->ObjectCount(), 1);
        Paint();
        for (int Page = TfrmMain::pgLayers; Page <= TfrmMain::pgPresenters; ++Page) {
            Child<QTabWidget>("PageControl")->setCurrentIndex(Page);
            Paint();
        }
    }
}

// A layer that loads on demand clears itself when it leaves its zoom range, which frees
// its presenters during a render.
TEST_F(MainWindowTest, ItemsFreedWhileTheMapDrawsAreLetGo) {
    TOrvexLayer* L = AddSquares("Far", 2, 0);
    const std::string File = Folder() + "Far.lyr";
    L->SaveToFile(File);
    L->SetLoadOnDemand(true);
    TOrvexPresenter* P = L->GetPresenter(0);
    Main->SetCurrentPresenter(P);
    Inspector()->InspectRoot(P);
    Inspector()->InspectChild(P->TitleFont());
    L->SetZoomMax(1);  // shown only from one nautical mile above the ground
    Paint();
    EXPECT_EQ(L->PresenterCount(), 0);
    EXPECT_EQ(Main->CurrentPresenter(), nullptr);
    EXPECT_EQ(Inspector()->Inspected(), nullptr);
}


// Each kind of item freed by each route while everything that can refer to it does: the
// window's current items, the inspector's path, the grids' cursors, the map's selection, the
// undo history and a find dialog's list. Afterwards nothing reads it (ASan judges, as every
// page is painted and every match chosen) and each view shows what is left.
TEST_F(MainWindowTest, ItemsFreedByAnyRouteLeaveNothingDangling) {
    enum TKind { kLayer, kObject, kPresenter };
    enum TRoute { Menu, UndoOfCreation, NewMap, OnDemand };
    const struct {
        const char* Name;
        TKind Kind;
        TRoute Route;
    } Rows[] = {
        {"layer, its menu", kLayer, Menu},
        {"layer, undoing its creation", kLayer, UndoOfCreation},
        {"layer, a new map", kLayer, NewMap},
        {"object, its menu", kObject, Menu},
        {"object, undoing its creation", kObject, UndoOfCreation},
        {"object, a new map", kObject, NewMap},
        {"object, its layer out of its zoom range", kObject, OnDemand},
        {"presenter, its menu", kPresenter, Menu},
        {"presenter, undoing its creation", kPresenter, UndoOfCreation},
        {"presenter, a new map", kPresenter, NewMap},
        {"presenter, its layer out of its zoom range", kPresenter, OnDemand},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Open();
        AddSquares("K", 1, -60);
        TOrvexLayer* L = AddSquares("L", 2, 0);
        Main->SetCurrentLayer(L);
        if (R.Route == OnDemand) {
            L->SaveToFile(Folder() + "L.lyr");
            L->SetLoadOnDemand(true);
        }
        TPersistent* Item = nullptr;
        switch (R.Kind) {
            case kLayer:
                if (R.Route == UndoOfCreation) Act("actNewLayer")->trigger();
                Item = R.Route == UndoOfCreation ? Main->CurrentLayer() : L;
                break;
            case kObject:
                if (R.Route == UndoOfCreation) Act("actNewGeoData")->trigger();
                Item = R.Route == UndoOfCreation ? Main->CurrentObject() : L->GetObject(1);
                break;
            case kPresenter:
                if (R.Route == UndoOfCreation) Act("actNewPolygonPresenter")->trigger();
                Item = R.Route == UndoOfCreation ? Main->CurrentPresenter() : L->GetPresenter(0);
                break;
        }
        ASSERT_NE(Item, nullptr);
        const TPersistentRef<TPersistent> Freed = Item;

        // Everything refers to it, or to what it owns.
        auto* Layer = dynamic_cast<TOrvexLayer*>(Item);
        auto* Obj = dynamic_cast<TOrvexObject*>(Item);
        auto* P = dynamic_cast<TOrvexPresenter*>(Item);
        if (Layer) {
            Main->SetCurrentLayer(Layer);
            Obj = Layer->ObjectCount() > 0 ? Layer->GetObject(0) : nullptr;
        }
        if (Obj) {
            View().SelectObject(Obj);
            Main->SetCurrentObject(Obj);
            ObjectsGrid()->SetCursorRow(Obj->Index());
        }
        if (P) {
            Main->SetCurrentPresenter(P);
            PresentersGrid()->SetCursorRow(Main->PresenterRow(P));
        }
        TInspector& Insp = *Inspector();
        Insp.InspectRoot(Item);
        if (Obj && Obj->Presenter()) Insp.InspectChild(Obj->Presenter());
        if (Obj && Obj->Presenter()) Insp.InspectChild(Obj->Presenter()->TitleFont());
        if (P) Insp.InspectChild(P->TitleFont());
        std::vector<TPersistentRef<TPersistent>> Path;
        for (int I = 0; I <= Insp.HistoryPosition(); ++I) Path.emplace_back(Insp.HistoryEntry(I));
        TfrmFind Find(View(), Main.get());
        Find.edText->setText("l");
        Find.Search();
        ASSERT_EQ(Find.MatchCount(), 2);
        Paint();

        switch (R.Route) {
            case Menu:
                Act(R.Kind == kLayer ? "actDeleteLayer" : R.Kind == kObject ? "actDeleteObject" : "actDeletePresenter")
                    ->trigger();
                break;
            case UndoOfCreation: Act("actUndo")->trigger(); break;
            case NewMap: Act("actNew")->trigger(); break;
            case OnDemand:
                L->SetZoomMax(1);  // shown only from one nautical mile above the ground
                Paint();
                break;
        }
        ASSERT_TRUE(Freed.Expired());

        // The inspector shows the nearest entry of its path before the first freed one.
        TPersistent* Shown = nullptr;
        for (const auto& Entry : Path) {
            if (Entry.Expired()) break;
            Shown = Entry;
        }
        EXPECT_EQ(Insp.Inspected(), Shown);
        // The grids list what is left.
        // (A delete leaves no empty row at the end of the layers grid, a load does.)
        ASSERT_GE(LayersGrid()->RowCount(), View().LayerCount());
        for (int I = 0; I < LayersGrid()->RowCount(); ++I)
            EXPECT_EQ(LayersGrid()->CellText(0, I), I < View().LayerCount() ? ToQString(View().GetLayer(I)->Name()) : "");
        if (TOrvexLayer* Current = Main->CurrentLayer()) {
            EXPECT_EQ(std::max(1, ObjectsGrid()->RowCount()), std::max(1, Current->ObjectCount()));
            if (Main->CurrentObject()) {
                EXPECT_EQ(Main->CurrentObject()->Layer(), Current);
            }
        } else {
            EXPECT_EQ(Main->CurrentObject(), nullptr);
        }
        Find.OnChoose = [&](TOrvexObject* Chosen) {
            EXPECT_NE(Chosen, nullptr) << "freed matches are never handed on";
            View().SelectObject(Chosen);
        };
        for (int Row = 0; Row < Find.MatchCount(); ++Row) Find.Choose(Row);
        for (int Page = TfrmMain::pgLayers; Page <= TfrmMain::pgInspector; ++Page) {
            Child<QTabWidget>("PageControl")->setCurrentIndex(Page);
            Paint();
        }
        // The history still works on what is left.
        if (R.Route == Menu) {
            Act("actUndo")->trigger();
            Paint();
            Act("actRedo")->trigger();
            Paint();
            EXPECT_TRUE(Messages().empty());
        }
    }
}

}  // namespace
