// The editor's commands as the menus, buttons and dialogs run them: importing, loading and
// saving layers, saving all layers, moving and copying objects through the "Select a Layer"
// dialog, layer order, statistics, zoom, projections, texture and printing.
#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QComboBox>
#include <QDir>
#include <fstream>
#include <iterator>

#include "MainFixture.h"
#include "editor/RecentFiles.h"
#include "editor/SelLayer.h"
#include "platform/Text.h"
#include "projections/PrjRegistry.h"

namespace {

class CommandsTest : public MainWindowTest {
protected:
    static std::string TestData(const std::string& Relative) { return SourceFile("tests/data/" + Relative); }
    std::string Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(Folder() + Name, std::ios::binary) << Bytes;
        return Folder() + Name;
    }
    static std::string ReadAll(const std::string& File) {
        std::ifstream In(File, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), {});
    }
    // Loads a layer file into a view of its own and counts its objects.
    static int32_t ObjectsIn(const std::string& File) {
        TOrvex3 Other;
        TOrvexLayer* L = Other.AddLayer("x");
        L->SetFilename(File);
        return L->ObjectCount();
    }
};

TEST_F(CommandsTest, ImportsMifFilesAndReportsWhatFails) {
    const std::string Small = Write("dot.mif", "Version 300\nCoordSys Earth Projection 1, 104\nData\nPoint 1 2\n");
    Answer(Main->OpenDialog,
           {TestData("rgdal/ps_cant_31.MIF"), TestData("mapserver-msautotest/tile_index.mif"), Small});
    Main->SetActivePage(TfrmMain::pgInspector);
    Act("actImportMIF")->trigger();
    EXPECT_EQ(Main->OpenDialog.Filter, "MapInfo *.mif|*.mif");
    EXPECT_EQ(Main->OpenDialog.InitialDir, Folder());
    ASSERT_EQ(View().LayerCount(), 3);
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(2)) << "the last one imported";
    EXPECT_EQ(Main->ActivePage(), TfrmMain::pgLayers);
    EXPECT_EQ(LayersGrid()->RowCount(), 4);
    EXPECT_EQ(LayersGrid()->CellText(0, 1), "tile_index");
    EXPECT_EQ(LayersGrid()->CellText(1, 0), "44");
    // Not the importer's last progress text: the caption names the object now selected.
    ASSERT_NE(View().SelectedObject(), nullptr);
    EXPECT_EQ(View().SelectedObject(), Main->CurrentObject());
    EXPECT_EQ(Main->windowTitle(), RestCaption());
    EXPECT_TRUE(Messages().empty());

    // A table on a plane, not the earth, is refused with a message; the grids show what the view holds.
    Answer(Main->OpenDialog, {TestData("gdal-autotest/mitab/small.mif")});
    Act("actImportMIF")->trigger();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Import can only be made on Lat/Long tables!");
    EXPECT_EQ(Main->windowTitle(), kMainCaption) << "the new layer is empty";
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(View().LayerCount() - 1));
    EXPECT_EQ(LayersGrid()->RowCount(), View().LayerCount() + 1);

    // A cancelled dialog does nothing.
    Answer(Main->OpenDialog, {});
    const int32_t Layers = View().LayerCount();
    Act("actImportSHP")->trigger();
    EXPECT_EQ(View().LayerCount(), Layers);
}

TEST_F(CommandsTest, SavesAndLoadsLayers) {
    TOrvexLayer* L = AddSquares("Boxes", 3, 0);
    auto* Unused = TOrvexPresenter::CreateNamed<TPolygonPresenter>(L, 0, "Unused");
    Main->SetCurrentPresenter(Unused);
    Inspector()->InspectRoot(Unused);
    const std::string Saved = Folder() + "saved.lyr";
    Answer(Main->SaveDialog, {Saved});
    Act("actSaveLayer")->trigger();
    EXPECT_EQ(Main->SaveDialog.FileName, Saved);
    EXPECT_EQ(ObjectsIn(Saved), 3);
    EXPECT_EQ(L->PresenterCount(), 1) << "the save drops the presenter nobody uses";
    EXPECT_EQ(Main->CurrentPresenter(), nullptr);
    EXPECT_EQ(Inspector()->Inspected(), nullptr);
    Paint();

    // Loading: a good file and a bad one; the bad one is reported and leaves no layer.
    Act("actNew")->trigger();
    const std::string Bad = Write("bad.lyr", std::string("\x00\x03garbage", 9));
    Answer(Main->OpenDialog, {Saved, Bad});
    Act("actLoadLayer")->trigger();
    EXPECT_EQ(Main->OpenDialog.Filter, "*.lyr|*.lyr");
    ASSERT_EQ(View().LayerCount(), 1);
    EXPECT_EQ(View().GetLayer(0)->Name(), "saved") << "named without the extension";
    EXPECT_EQ(View().GetLayer(0)->ObjectCount(), 3);
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(0));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("bad.lyr"), std::string::npos) << Messages()[0];
    EXPECT_EQ(Main->windowTitle(), RestCaption());
    EXPECT_EQ(LayersGrid()->RowCount(), 2);
}

TEST_F(CommandsTest, SavesAndLoadsProfiles) {
    AddSquares("A", 1, 0);
    AddSquares("B", 2, 20);
    Act("actSaveAllLayers")->trigger();
    AddSquares("Unsaved", 1, 40);
    const std::string Profile = Folder() + "work.prf";
    Answer(Main->SaveDialog, {Profile});
    Act("actSaveProfile")->trigger();
    EXPECT_EQ(Main->SaveDialog.Filter, "*.prf|*.prf");
    EXPECT_TRUE(QFileInfo::exists(ToQString(Profile)));
    ASSERT_EQ(Messages().size(), 1u) << "the layer the profile cannot list is named";
    EXPECT_NE(Messages()[0].find("not listed: Unsaved"), std::string::npos) << Messages()[0];
    EXPECT_EQ(View().ProfileName(), Profile);

    // Opening it clears the view first, with a layer open in the inspector and selected.
    Act("actNew")->trigger();
    EXPECT_EQ(View().ProfileName(), "");
    TOrvexLayer* Old = AddSquares("Old", 1, 0);
    ClickMap(5, 5);
    ASSERT_EQ(Main->CurrentObject(), Old->GetObject(0));
    QFile::remove(ToQString(Folder() + "A.lyr"));
    Ui.Messages.clear();
    Answer(Main->OpenDialog, {Profile});
    Act("actLoadProfile")->trigger();
    ASSERT_EQ(View().LayerCount(), 1) << "A's file is gone: reported and left out";
    EXPECT_EQ(View().GetLayer(0)->Name(), "B");
    EXPECT_EQ(View().GetLayer(0)->ObjectCount(), 2);
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(0));
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Inspector()->Inspected(), nullptr);
    EXPECT_EQ(Main->windowTitle(), RestCaption());
}

TEST_F(CommandsTest, SaveAllLayersWritesWhereItCanAndReportsFailures) {
    // Layers of one name used to be written to one file, the last over the others.
    AddSquares("Same", 1, 0);
    AddSquares("Same", 2, 20);
    AddSquares("Same (2)", 3, 0);  // keeps the name its own name gives
    AddSquares("Same", 4, 0);
    AddSquares("../Escape", 1, 40);
    AddSquares("Blocked", 1, 60);
    AddSquares("Loaded.lyr", 5, 80);  // named after the file it came from
    QDir(Dir.path()).mkdir("Blocked.lyr");  // a folder where the file should go
    Write("Same (3).lyr", "the user's own file");

    for (int Run = 1; Run <= 2; ++Run) {
        SCOPED_TRACE(Run);
        Ui.Messages.clear();
        Act("actSaveAllLayers")->trigger();
        EXPECT_EQ(ObjectsIn(Folder() + "Same.lyr"), 1);
        EXPECT_EQ(ObjectsIn(Folder() + "Same (2).lyr"), 3);
        EXPECT_EQ(ObjectsIn(Folder() + "Same (4).lyr"), 2) << "past a name taken and a file already there";
        EXPECT_EQ(ObjectsIn(Folder() + "Same (5).lyr"), 4);
        EXPECT_FALSE(QFileInfo::exists(ToQString(Folder() + "Same (6).lyr"))) << "a second save reuses the files";
        EXPECT_EQ(ReadAll(Folder() + "Same (3).lyr"), "the user's own file");
        EXPECT_TRUE(QFileInfo::exists(ToQString(Folder() + ".._Escape.lyr"))) << "a name cannot leave the folder";
        EXPECT_EQ(ObjectsIn(Folder() + "Loaded.lyr"), 5) << "no second extension";
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_NE(Messages()[0].find("saved under names of their own:\nSame: Same (4).lyr\nSame: Same (5).lyr\n"),
                  std::string::npos)
            << Messages()[0];
        EXPECT_NE(Messages()[0].find("Layer Blocked was not saved"), std::string::npos) << Messages()[0];
    }

    // A program folder that cannot be written: the home folder, and the message says so.
    QTemporaryDir Home;
    const QByteArray OldHome = qgetenv("HOME");
    qputenv("HOME", Home.path().toUtf8());
    Main->ProgramFolder = Folder() + "missing/";
    Ui.Messages.clear();
    Act("actSaveAllLayers")->trigger();
    qputenv("HOME", OldHome);
    EXPECT_TRUE(QFileInfo::exists(Home.path() + "/Same.lyr"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find(FromQString(Home.path())), std::string::npos) << Messages()[0];

    // With a profile open, its folder comes before the home folder.
    QDir(Dir.path()).mkdir("work");
    View().SaveProfile(Folder() + "work/set.prf");
    EXPECT_EQ(Main->SaveAllFolder(), Folder() + "work/");
}

TEST_F(CommandsTest, MovesAndCopiesObjectsToALayerChosenInTheDialog) {
    TOrvexLayer* Source = AddSquares("S", 3, 0);
    TOrvexLayer* Target = AddSquares("T", 0, 0);
    Main->SetCurrentLayer(Source);
    Main->SetCurrentObject(Source->GetObject(0));
    QItemSelectionModel* Rows = ObjectsGrid()->selectionModel();
    auto SelectRows = [&](int First, int Last) {
        Rows->select(QItemSelection(ObjectsGrid()->model()->index(First, 0), ObjectsGrid()->model()->index(Last, 2)),
                     QItemSelectionModel::ClearAndSelect);
    };
    // The dialog lists the layers with their counts, the first row selected; the test
    // picks the second.
    std::vector<QStringList> Listed;
    Ui.OnDialog = [&](QDialog& D) {
        auto* Dialog = dynamic_cast<TfrmSelLayer*>(&D);
        ASSERT_NE(Dialog, nullptr);
        EXPECT_EQ(Dialog->windowTitle(), "Select a Layer");
        EXPECT_EQ(Dialog->SelectedLayer(), Source);
        QTreeWidget* List = Dialog->lvLayers;
        for (int I = 0; I < List->topLevelItemCount(); ++I)
            Listed.push_back({List->topLevelItem(I)->text(0), List->topLevelItem(I)->text(1), List->topLevelItem(I)->text(2)});
        List->setCurrentItem(List->topLevelItem(1));
    };

    SelectRows(0, 1);
    Act("actCopyToLayer")->trigger();
    EXPECT_EQ(Listed, (std::vector<QStringList>{{"S", "3", "1"}, {"T", "0", "1"}}));
    ASSERT_EQ(Target->ObjectCount(), 2);
    EXPECT_EQ(Source->ObjectCount(), 3) << "copies leave the source alone";
    EXPECT_EQ(Target->GetObject(0)->Title(), "S2") << "bottom row first";
    EXPECT_EQ(Target->GetObject(1)->Title(), "S1");
    EXPECT_EQ(Target->GetObject(0)->ClassName(), "TGeoDataObject");
    EXPECT_EQ(Target->GetObject(0)->GetPointCount(), 5);
    EXPECT_FALSE(Target->GetObject(0)->Selected());
    EXPECT_EQ(Main->CurrentObject(), nullptr);

    // Cancelled: nothing moves.
    Main->SetCurrentObject(Source->GetObject(0));
    Ui.Answers = {false};
    Act("actMoveToLayer")->trigger();
    EXPECT_EQ(Source->ObjectCount(), 3);

    Main->SetCurrentObject(Source->GetObject(0));
    SelectRows(1, 2);
    Act("actMoveToLayer")->trigger();
    EXPECT_EQ(Source->ObjectCount(), 1);
    ASSERT_EQ(Target->ObjectCount(), 4);
    EXPECT_EQ(Target->GetObject(2)->Title(), "S3");
    EXPECT_EQ(ObjectsGrid()->RowCount(), 1);
    EXPECT_TRUE(Source->Extents().IsEmpty()) << "made afresh without the objects that left";
    EXPECT_TRUE(Target->Extents().IsEmpty());
}

TEST_F(CommandsTest, SelectALayerDialogAnswersThroughItsButtons) {
    AddSquares("A", 1, 0);
    AddSquares("B", 1, 0);
    for (const char* Button : {"btnOK", "btnCancel"}) {
        TfrmSelLayer Dialog(View());
        ASSERT_EQ(Dialog.lvLayers->topLevelItemCount(), 2);
        Dialog.show();
        QTest::mouseClick(Dialog.findChild<QPushButton*>(Button), Qt::LeftButton);
        EXPECT_EQ(Dialog.result(), Button[3] == 'O' ? QDialog::Accepted : QDialog::Rejected);
        Dialog.lvLayers->clearSelection();
        EXPECT_EQ(Dialog.SelectedLayer(), nullptr) << "no row, no layer";
    }
}

TEST_F(CommandsTest, LayerButtonsMoveTheCurrentLayer) {
    AddSquares("A", 1, 0);
    TOrvexLayer* B = AddSquares("B", 1, 0);
    AddSquares("C", 1, 0);
    Main->SetCurrentLayer(B);
    EXPECT_TRUE(Child<QPushButton>("btnUp")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnDown")->isEnabled());
    QTest::mouseClick(Child<QPushButton>("btnUp"), Qt::LeftButton);
    EXPECT_EQ(B->Index(), 0);
    EXPECT_FALSE(Child<QPushButton>("btnUp")->isEnabled());
    EXPECT_EQ(LayersGrid()->CellText(0, 0), "B");
    EXPECT_EQ(LayersGrid()->CursorRow(), 0);
    QTest::mouseClick(Child<QPushButton>("btnDown"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>("btnDown"), Qt::LeftButton);
    EXPECT_EQ(B->Index(), 2);
    EXPECT_FALSE(Child<QPushButton>("btnDown")->isEnabled());
    EXPECT_THROW(Main->MoveLayer(1), std::exception) << "past the end";
    EXPECT_EQ(B->Index(), 2);
}

TEST_F(CommandsTest, StatisticsZoomAndProjections) {
    AddSquares("A", 2, 0);
    AddSquares("B", 3, 30);
    TOrvexPresenter::CreateNamed<TPolygonPresenter>(View().GetLayer(1), 0, "");
    Act("actStatistics")->trigger();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Layers = 2\nPresenters = 3\nObjects = 5\nPoints = 25");

    const struct {
        QToolButton* Button;
        int32_t Before, After;
    } Zooms[] = {{Child<QToolButton>("btnZoomIn"), 1000, 750}, {Child<QToolButton>("btnZoomOut"), 1000, 1250}, {Child<QToolButton>("btnZoomOut"), 2000000000, 0}};
    for (const auto& Z : Zooms) {
        SCOPED_TRACE(Z.Before);
        View().SetAltitude(Z.Before);
        QTest::mouseClick(Z.Button, Qt::LeftButton);
        if (Z.After)
            EXPECT_NEAR(View().Altitude(), Z.After, Z.After / 1000);
        else
            EXPECT_GT(View().Altitude(), 0) << "past the largest altitude: no wrap to a negative one";
    }
    QTest::mouseClick(Child<QToolButton>("btnZoomReset"), Qt::LeftButton);
    const int32_t Fit = View().Altitude();
    View().SetAltitude(1000);
    Act("actZoomExtents")->trigger();
    EXPECT_EQ(View().Altitude(), Fit);

    // Every projection of the list, with the projection open in the inspector.
    QTest::mouseClick(Child<QPushButton>("btnProperties"), Qt::LeftButton);
    EXPECT_EQ(Main->ActivePage(), TfrmMain::pgInspector);
    const auto& Registry = ProjectionRegistry();
    ASSERT_EQ(Child<QComboBox>("cbProjection")->count(), static_cast<int>(Registry.size()));
    for (int I : {8, 0, 1, 2, 3, 4, 5, 6, 7, 9, 0}) {
        SCOPED_TRACE(Registry[size_t(I)].Name);
        EXPECT_EQ(Child<QComboBox>("cbProjection")->itemText(I), ToQString(Registry[size_t(I)].Name));
        emit Child<QComboBox>("cbProjection")->activated(I);
        EXPECT_EQ(View().ProjectionModel()->ClassName(), Registry[size_t(I)].ClassName);
        EXPECT_EQ(Inspector()->Inspected(), View().ProjectionModel()) << "the new projection is shown";
        Paint();
    }
}

TEST_F(CommandsTest, PrintsThroughThePrintDialogAndChoosesTextures) {
    // The dialog's choices are kept here, not in the user's settings.
    TRecentFiles::SetStorageFile(Folder() + "recent.ini");
    struct TRestore {
        ~TRestore() { TRecentFiles::SetStorageFile(""); }
    } Restore;
    AddSquares("A", 2, 0);
    const std::string Pdf = Folder() + "map.pdf";
    Ui.OnDialog = [&](QDialog& D) {
        auto* Dialog = dynamic_cast<QPrintDialog*>(&D);
        ASSERT_NE(Dialog, nullptr);
        Dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        Dialog->printer()->setOutputFileName(ToQString(Pdf));
    };
    Ui.Answers = {false};
    Act("actPrint")->trigger();
    EXPECT_FALSE(QFileInfo::exists(ToQString(Pdf))) << "cancelled";
    Act("actPrint")->trigger();
    EXPECT_GT(QFileInfo(ToQString(Pdf)).size(), 0);
    EXPECT_TRUE(Messages().empty());
    Ui.OnDialog = nullptr;

    Act("actTransparent")->trigger();
    EXPECT_TRUE(View().TransparentOrvex());
    EXPECT_TRUE(Act("actTransparent")->isChecked());
    Answer(Main->OpenDialog, {SourceFile("data/earth.bmp")});
    Act("actTexture")->trigger();
    EXPECT_TRUE(View().TextureBackground());
    EXPECT_FALSE(View().TransparentOrvex());
    EXPECT_FALSE(Act("actTransparent")->isChecked());
    Answer(Main->OpenDialog, {});
    Act("actTexture")->trigger();
    EXPECT_FALSE(View().TextureBackground()) << "cancelled";
    Answer(Main->OpenDialog, {Write("plain.bmp", "BM not really")});
    Act("actTexture")->trigger();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("plain.bmp cannot be used as a texture"), std::string::npos);
}

}  // namespace
