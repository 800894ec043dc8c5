// "Import Other Formats..." and "Export Layer..." driven through the main window's menus.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <fstream>

#include "../common/GeoPackageMaker.h"
#include "MainFixture.h"
#include "importers/GdalIO.h"
#include "importers/TfrmSHPImport.h"

namespace {

class GdalCommandsTest : public MainWindowTest {};

TEST_F(GdalCommandsTest, ImportsGeoJsonAndExportsTheLayerToGeoPackage) {
    const std::string Json = Folder() + "rivers.geojson";
    std::ofstream(Json) << R"({"type":"FeatureCollection","features":[
        {"type":"Feature","properties":{"id":7,"name":"Lena"},"geometry":{"type":"LineString","coordinates":[[120,60],[127,72]]}},
        {"type":"Feature","properties":{"id":8,"name":"Ob"},"geometry":{"type":"LineString","coordinates":[[83,53],[67,66]]}}]})";
    Answer(Main->OpenDialog, {Json});
    if (!GdalAvailable()) {
        Act("actImportOther")->trigger();
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0], GdalUnavailableText());
        return;
    }
    bool Shown = false;
    Ui.OnDialog = [&](QDialog& D) {
        auto* F = dynamic_cast<TfrmSHPImport*>(&D);
        ASSERT_NE(F, nullptr);
        Shown = true;
        F->show();
        EXPECT_FALSE(F->cbxEncoding->isVisible()) << "GDAL decodes these formats itself";
        ASSERT_EQ(F->lbxColumns->count(), 2);
        QListWidgetItem* Name = F->lbxColumns->item(1);
        EXPECT_EQ(Name->text(), "name");
        QTest::mouseClick(F->lbxColumns->viewport(), Qt::LeftButton, {}, F->lbxColumns->visualItemRect(Name).center());
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
    };
    Act("actImportOther")->trigger();
    EXPECT_TRUE(Shown);
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    ASSERT_EQ(View().LayerCount(), 1);
    TOrvexLayer* Rivers = View().GetLayer(0);
    EXPECT_EQ(Main->CurrentLayer(), Rivers);
    ASSERT_EQ(Rivers->ObjectCount(), 2);
    EXPECT_EQ(Rivers->GetObject(1)->Title(), "Ob");
    EXPECT_EQ(Rivers->GetObject(1)->GetPoint(1), MakePoint(67 * OrvexUnits::PerDegree, 66 * OrvexUnits::PerDegree));
    Paint();

    // Exported, then read back through the same command.
    const std::string Out = Folder() + "rivers.gpkg";
    Answer(Main->SaveDialog, {Out});
    Act("actExportLayer")->trigger();
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    Ui.OnDialog = nullptr;
    Answer(Main->OpenDialog, {Out});
    Act("actImportOther")->trigger();
    ASSERT_EQ(View().LayerCount(), 2);
    const TOrvexLayer* Back = View().GetLayer(1);
    ASSERT_EQ(Back->ObjectCount(), 2);
    for (int32_t I = 0; I < 2; ++I) {
        EXPECT_EQ(Back->GetObject(I)->ID(), Rivers->GetObject(I)->ID());
        EXPECT_EQ(Back->GetObject(I)->GetPoint(0), Rivers->GetObject(I)->GetPoint(0));
    }
}

TEST_F(GdalCommandsTest, AFileOfSeveralLayersGivesALayerEach) {
#ifdef ORVEX_HAVE_GDAL
    const std::string Path = Folder() + "two.gpkg";
    ASSERT_TRUE(MakeCitiesAndCountries(Path));
    Answer(Main->OpenDialog, {Path});
    std::vector<std::string> Asked;
    Ui.OnDialog = [&](QDialog& D) {
        auto* F = dynamic_cast<TfrmSHPImport*>(&D);
        ASSERT_NE(F, nullptr);
        Asked.push_back(F->windowTitle().toStdString());
        QTest::mouseClick(F->lbxColumns->viewport(), Qt::LeftButton, {},
                          F->lbxColumns->visualItemRect(F->lbxColumns->item(0)).center());
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
    };
    Act("actImportOther")->trigger();
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    EXPECT_EQ(Asked, (std::vector<std::string>{"Import two.gpkg: cities", "Import two.gpkg: countries"}))
        << "a title column is asked for each layer";
    ASSERT_EQ(View().LayerCount(), 2);
    EXPECT_EQ(View().GetLayer(0)->Name(), "two cities");
    EXPECT_EQ(View().GetLayer(1)->Name(), "two countries");
    ASSERT_EQ(View().GetLayer(0)->ObjectCount(), 2);
    EXPECT_EQ(View().GetLayer(0)->GetObject(1)->Title(), "Oslo");
    ASSERT_EQ(View().GetLayer(1)->ObjectCount(), 1);
    EXPECT_EQ(View().GetLayer(1)->GetObject(0)->Title(), "Square");
    // Both are on the Layers page (below its title row), the last one current.
    EXPECT_EQ(LayersGrid()->RowCount(), 3);
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(1));
    Paint();
#endif
}

}  // namespace
