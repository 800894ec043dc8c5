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
        EXPECT_EQ(Main->PresentersGrid->CellText(0, 0), "G");
        EXPECT_EQ(Main->PresentersGrid->CellText(1, 2), "GlobalPolygonPresenter");
        if (C.Layers == 0) {
            EXPECT_EQ(Main->CurrentLayer(), nullptr);
            EXPECT_EQ(Main->PresentersGrid->RowCount(), 3);
            continue;
        }
        TOrvexLayer* World = View().GetLayer(0);
        EXPECT_EQ(World->Name(), C.LayerName) << "named with its extension when given alone";
        EXPECT_EQ(Main->CurrentLayer(), World);
        EXPECT_EQ(Main->CurrentObject(), World->GetObject(0));
        EXPECT_EQ(Main->LayersGrid->CellText(0, 0), C.LayerName);
        EXPECT_EQ(Main->LayersGrid->CellText(1, 0), QString::number(World->ObjectCount()));
        EXPECT_EQ(Main->ObjectsGrid->RowCount(), World->ObjectCount());
        EXPECT_EQ(Main->ObjectsGrid->CellText(0, 0), ToQString(World->GetObject(0)->Title()));
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
    EXPECT_EQ(Main->ObjectsGrid->CellText(0, 2), "E3");
    EXPECT_EQ(Main->ObjectsGrid->CellText(1, 0), "EStyle");
    EXPECT_EQ(Main->ObjectsGrid->CursorRow(), 1);
    EXPECT_EQ(Main->Inspector->Inspected(), E2);

    // On the Presenters page the click leads to the object's presenter.
    Main->SetActivePage(TfrmMain::pgPresenters);
    ClickMap(-35, 5);
    EXPECT_EQ(Main->CurrentLayer(), West);
    EXPECT_EQ(Main->CurrentPresenter(), West->GetPresenter(0));
    EXPECT_EQ(Main->PresentersGrid->CursorRow(), 3);
    EXPECT_EQ(Main->PresentersGrid->CellText(0, 3), "L");
    EXPECT_EQ(Main->Inspector->Inspected(), West->GetPresenter(0));

    // The sea: nothing selected, the plain caption.
    ClickMap(-5, -30);
    EXPECT_EQ(View().SelectedObject(), nullptr);
    EXPECT_EQ(Main->CurrentObject(), nullptr);
    EXPECT_EQ(Main->windowTitle(), kMainCaption);

    // Clicks on the grids.
    Main->SetActivePage(TfrmMain::pgObjects);
    TListGrid* Objects = Main->ObjectsGrid;
    QTest::mouseClick(Objects->viewport(), Qt::LeftButton, {}, Objects->visualRect(Objects->model()->index(1, 0)).center());
    EXPECT_EQ(Main->CurrentObject(), West->GetObject(1));
    EXPECT_TRUE(West->GetObject(1)->Selected());
    EXPECT_EQ(Main->Inspector->Inspected(), West->GetObject(1));
    QTest::mouseDClick(Objects->viewport(), Qt::LeftButton, {}, Objects->visualRect(Objects->model()->index(1, 0)).center());
    EXPECT_EQ(Main->ActivePage(), TfrmMain::pgInspector);
    Main->SetActivePage(TfrmMain::pgObjects);
    QTest::mouseClick(Objects->viewport(), Qt::LeftButton, {}, QPoint(20, Objects->viewport()->height() - 4));
    EXPECT_EQ(Main->CurrentObject(), nullptr) << "below the last row";
    EXPECT_FALSE(West->GetObject(1)->Selected());
    EXPECT_EQ(Main->Inspector->Inspected(), nullptr);

    Main->SetActivePage(TfrmMain::pgLayers);
    TListGrid* Layers = Main->LayersGrid;
    QTest::mouseClick(Layers->viewport(), Qt::LeftButton, {}, Layers->visualRect(Layers->model()->index(1, 0)).center());
    EXPECT_EQ(Main->CurrentLayer(), East);
    EXPECT_EQ(Main->Inspector->Inspected(), East);
    EXPECT_TRUE(Main->btnUp->isEnabled());
    EXPECT_FALSE(Main->btnDown->isEnabled());
    QTest::mouseClick(Layers->viewport(), Qt::LeftButton, {}, Layers->visualRect(Layers->model()->index(2, 0)).center());
    EXPECT_EQ(Main->CurrentLayer(), nullptr) << "the empty row after the layers";
    EXPECT_FALSE(Main->btnUp->isEnabled());

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
        {O, "Title", "Harbour", Main->ObjectsGrid, 0, 1, "Harbour"},
        {O, "Presenter", "GlobalPolygonPresenter", Main->ObjectsGrid, 1, 1, "GlobalPolygonPresenter"},
        {P, "Name", "Coast", Main->ObjectsGrid, 1, 0, "Coast"},
        {P, "FeatureID", "9", Main->PresentersGrid, 3, 3, "9"},
        {P, "TitleAlignment", "taTop", nullptr, 0, 0, nullptr},
        {P->PolygonPen(), "PenColor", "clRed", nullptr, 0, 0, nullptr},
        {P->PolygonPen(), "PenColor", "$00123456", nullptr, 0, 0, nullptr},
        {L, "Name", "Islands", Main->LayersGrid, 0, 0, "Islands"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Property) + " " + C.Text);
        Main->Inspector->InspectRoot(C.Item);
        TOrvexProperties& Props = *Main->Inspector->Properties();
        int32_t Row = 0;
        while (Row < Props.Count() && Props.PropName(Row) != C.Property) ++Row;
        ASSERT_LT(Row, Props.Count());
        Main->Inspector->PropertyGrid->SetCursor(1, Row);
        QLineEdit* Editor = Main->Inspector->PropertyGrid->EditorLine();
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
    EXPECT_FALSE(Popup(Main->ObjectsGrid, Main->ObjectsMenu)) << "no current layer";
    EXPECT_FALSE(Popup(Main->PresentersGrid, Main->PresentersMenu));
    EXPECT_TRUE(Popup(Main->LayersGrid, Main->LayersMenu));
    EXPECT_FALSE(Main->actDeleteLayer->isEnabled());

    TOrvexLayer* L = AddSquares("L", 2, 0);
    TOrvexPresenter* Own = L->GetPresenter(0);
    Main->SetCurrentLayer(L);
    EXPECT_TRUE(Popup(Main->LayersGrid, Main->LayersMenu));
    EXPECT_TRUE(Main->actDeleteLayer->isEnabled());
    EXPECT_TRUE(Popup(Main->ObjectsGrid, Main->ObjectsMenu));
    // A right click moves the cursor to the row under the mouse, which the menu acts on.
    EXPECT_EQ(Main->CurrentObject(), L->GetObject(0));
    EXPECT_TRUE(Main->actDeleteObject->isEnabled());

    // "Make Global" acts on a presenter of the layer, not on a global one.
    EXPECT_TRUE(Popup(Main->PresentersGrid, Main->PresentersMenu));
    EXPECT_FALSE(Main->actMakeGlobal->isEnabled()) << "row 0 holds a global presenter";
    Main->PresentersGrid->SetCursorRow(3);
    Main->PreparePresentersMenu();
    ASSERT_TRUE(Main->actMakeGlobal->isEnabled());
    Main->actMakeGlobal->trigger();
    EXPECT_EQ(Own->Layer(), View().GlobalLayer());
    EXPECT_EQ(L->GetObject(0)->Presenter(), Own) << "the objects keep their presenter";
    EXPECT_EQ(Main->PresentersGrid->CellText(0, 3), "G");
    EXPECT_EQ(Main->PresentersGrid->CellText(1, 3), "LStyle");
}

TEST_F(MainWindowTest, NewCommandsMakeTheirItemCurrent) {
    Main->actNewLayer->trigger();
    ASSERT_EQ(View().LayerCount(), 1);
    TOrvexLayer* L = View().GetLayer(0);
    EXPECT_EQ(L->Name(), "New layer");
    EXPECT_EQ(Main->CurrentLayer(), L);
    EXPECT_EQ(Main->LayersGrid->RowCount(), 1);

    const struct {
        QAction* Action;
        const char* Class;
        const char* Title;
    } Objects[] = {{Main->actNewGeoData, "TGeoDataObject", "New GeoData"},
                   {Main->actNewBitmap, "TBitmapObject", "New Bitmap"}};
    for (const auto& C : Objects) {
        SCOPED_TRACE(C.Class);
        C.Action->trigger();
        TOrvexObject* O = Main->CurrentObject();
        ASSERT_NE(O, nullptr);
        EXPECT_EQ(O->ClassName(), C.Class);
        EXPECT_EQ(O->Title(), C.Title);
        EXPECT_EQ(O->GetPointCount(), C.Class[1] == 'G' ? 0 : 1);
        EXPECT_EQ(Main->ObjectsGrid->RowCount(), L->ObjectCount());
        EXPECT_EQ(Main->ObjectsGrid->CellText(1, O->Index()), "[Undefined]");
    }

    const struct {
        QAction* Action;
        const char* Class;
    } Presenters[] = {{Main->actNewPointPresenter, "TPointPresenter"},
                      {Main->actNewPolylinePresenter, "TPolylinePresenter"},
                      {Main->actNewPolygonPresenter, "TPolygonPresenter"}};
    for (const auto& C : Presenters) {
        SCOPED_TRACE(C.Class);
        C.Action->trigger();
        TOrvexPresenter* P = Main->CurrentPresenter();
        ASSERT_NE(P, nullptr);
        EXPECT_EQ(P->ClassName(), C.Class);
        EXPECT_EQ(P->Layer(), L);
        EXPECT_EQ(Main->PresentersGrid->RowCount(), 3 + L->PresenterCount());
        EXPECT_EQ(Main->PresentersGrid->CellText(2, Main->PresenterRow(P)), C.Class);
    }

    // New clears everything the commands made.
    Main->Inspector->InspectRoot(L->GetPresenter(0)->TitleFont());
    Main->actNew->trigger();
    EXPECT_EQ(View().LayerCount(), 0);
    EXPECT_EQ(Main->CurrentLayer(), nullptr);
    EXPECT_EQ(Main->CurrentPresenter(), nullptr);
    EXPECT_EQ(Main->PresentersGrid->RowCount(), 3);
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
        Main->ObjectsGrid->SetCursorRow(1);

        TInspector& Insp = *Main->Inspector;
        Insp.InspectRoot(Target);
        Insp.InspectChild(Target->Presenter());
        Insp.InspectChild(Target->Presenter()->TitleFont());
        switch (C.What) {
            case Layer:
                Main->actDeleteLayer->trigger();
                EXPECT_EQ(View().LayerCount(), 1);
                EXPECT_EQ(Insp.Inspected(), nullptr);
                EXPECT_EQ(Main->CurrentLayer(), nullptr);
                EXPECT_EQ(Main->LayersGrid->RowCount(), 1);
                EXPECT_EQ(Main->LayersGrid->CellText(0, 0), "K");
                break;
            case Object:
                Main->actDeleteObject->trigger();
                EXPECT_EQ(L->ObjectCount(), 2);
                EXPECT_EQ(Insp.Inspected(), nullptr);
                EXPECT_EQ(Main->ObjectsGrid->RowCount(), 2);
                EXPECT_TRUE(L->Extents().IsEmpty()) << "made afresh at the next render";
                break;
            case Presenter:
            case GlobalPresenter:
                Main->SetCurrentPresenter(Target->Presenter());
                Main->actDeletePresenter->trigger();
                EXPECT_EQ(Target->Presenter(), nullptr);
                EXPECT_EQ(Insp.Inspected(), Target) << "the nearest live entry of the path";
                EXPECT_EQ(Insp.HistoryPosition(), 0);
                EXPECT_EQ(Main->ObjectsGrid->CellText(1, 1), "[Undefined]");
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
            Main->PageControl->setCurrentIndex(Page);
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
    Main->Inspector->InspectRoot(P);
    Main->Inspector->InspectChild(P->TitleFont());
    L->SetZoomMax(1);  // shown only from one nautical mile above the ground
    Paint();
    EXPECT_EQ(L->PresenterCount(), 0);
    EXPECT_EQ(Main->CurrentPresenter(), nullptr);
    EXPECT_EQ(Main->Inspector->Inspected(), nullptr);
}

}  // namespace
