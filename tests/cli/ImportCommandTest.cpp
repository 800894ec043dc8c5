// `orvex import`, and `orvex render` and `orvex info` reading importable files directly.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "view/Orvex3.h"

namespace {

std::string Data(const std::string& Relative) { return std::string(ORVEX_SOURCE_DIR) + "/tests/data/" + Relative; }

std::string Slurp(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

class ImportCommand : public CliFolderTest {};

TEST_F(ImportCommand, ImportsTheWorldWithTheChosenTitleColumn) {
    const std::string World = Data("naturalearth/naturalearth_lowres.shp");
    const CliResult R = RunCli({"import", "--title-column", "name", "-o", File("world.lyr"), World});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "");
    EXPECT_NE(R.Err.find("SHP Import of " + World), std::string::npos) << "progress goes to standard error";

    TOrvex3 View;
    TOrvexLayer* L = View.AddLayer("");
    L->ChangeFilename(File("world.lyr"));
    ASSERT_EQ(L->ObjectCount(), 288);
    EXPECT_EQ(L->GetObject(0)->Title(), "Fiji");
    EXPECT_EQ(L->GetObject(287)->ID(), 177);

    // The column by its index, counted from 0 as the list shows it, makes the same file.
    ASSERT_EQ(RunCli({"import", "--title-column", "2", "-o", File("by-index.lyr"), World}).Status, 0);
    EXPECT_EQ(Slurp(File("by-index.lyr")), Slurp(File("world.lyr")));
    // Without a choice, the first column, as if the user had clicked it.
    ASSERT_EQ(RunCli({"import", "-o", File("first.lyr"), World}).Status, 0);
    TOrvexLayer* First = View.AddLayer("");
    First->ChangeFilename(File("first.lyr"));
    EXPECT_EQ(First->GetObject(0)->Title(), "889953.000000000000000");
}

TEST_F(ImportCommand, BundledWorldHoldsTheNamedCountriesAndCities) {
    TOrvex3 View;
    TOrvexLayer* World = View.AddLayer("");
    World->ChangeFilename(std::string(ORVEX_SOURCE_DIR) + "/data/world.lyr");
    ASSERT_EQ(World->ObjectCount(), 288);
    int France = 0;
    for (const TOrvexObject* O : World->Objects()) France += O->Title() == "France";
    EXPECT_EQ(France, 3);
    EXPECT_EQ(World->GetObject(0)->Title(), "Fiji");
    TOrvexLayer* Cities = View.AddLayer("");
    Cities->ChangeFilename(std::string(ORVEX_SOURCE_DIR) + "/data/cities.lyr");
    ASSERT_EQ(Cities->ObjectCount(), 243);
    EXPECT_EQ(Cities->GetObject(0)->Title(), "Vatican City");
}

TEST_F(ImportCommand, SeveralInputsGoIntoAFolderOneLayerEach) {
    const CliResult R = RunCli({"import", "--accept-unknown-projection", "--no-text", "-o", File("out"),
                                Data("naturalearth/naturalearth_cities.shp"), Data("mapserver-msautotest/tile_index.mif"),
                                Data("gdal-autotest/avc/testpoly.e00")});
    ASSERT_EQ(R.Status, 0) << R.Err;
    for (const char* Name : {"naturalearth_cities", "tile_index", "testpoly"}) {
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("");
        L->ChangeFilename(File("out/") + Name + ".lyr");
        EXPECT_GT(L->ObjectCount(), 0) << Name;
    }
}

TEST_F(ImportCommand, ARefusedFileEndsOnlyItsOwnImport) {
    // A geographic coverage of one arc, between a real UTM one whose coordinates are kept (so
    // its projection is refused, as without a conversion) and a file that is not E00 at all.
    const std::string Good = File("good.e00");
    std::ofstream(Good) << "EXP  0 /test/good.e00\nARC  2\n"
                           "         1         1         1         0         0         0         2\n"
                           " 1.0000000E+00 2.0000000E+00 3.0000000E+00 4.0000000E+00\n"
                           "        -1         0         0         0         0         0         0\n"
                           "PRJ  2\nProjection    GEOGRAPHIC\n~\nUnits         DD\n~\nEOP\nEOS\n";
    std::ofstream(File("junk.e00")) << "not E00";
    const std::string Refused = Data("gdal-autotest/avc/test.e00");
    const CliResult R = RunCli({"import", "--keep-coordinates", "-o", File("out"), Refused, Good, File("junk.e00")});
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_NE(R.Err.find("file is not in Geographic projection"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("Saved 1 objects to " + File("out") + "/good.lyr"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("orvex import: not imported: " + Refused + " " + File("junk.e00") + "\n"), std::string::npos)
        << "the last line names every file left out\n"
        << R.Err;
    EXPECT_FALSE(std::filesystem::exists(File("out/test.lyr")));
    EXPECT_FALSE(std::filesystem::exists(File("out/junk.lyr")));
}

TEST_F(ImportCommand, FailuresLeaveNothingAtOutAndUsageErrorsSayWhy) {
    std::ofstream(File("old.lyr")) << "previous";
    std::ofstream(File("bad.shp"), std::ios::binary) << std::string(120, 'x');
    struct Row {
        std::vector<std::string> Args;
        int Status;
        const char* Error;
    };
    const std::string Out = File("new.lyr");
    const Row Rows[] = {
        {{"-o", Out, "--keep-coordinates", Data("gdal-autotest/avc/test.e00")}, 1, "file is not in Geographic projection"},
        {{"-o", Out, File("bad.shp")}, 1, "Invalid SHP file"},
        {{"-o", Out, "--keep-coordinates", Data("gdal-autotest/mitab/multilinemid.mif")}, 1,
         "Import can only be made on Lat/Long tables!"},
        {{"-o", Out, Data("gdal-autotest/mitab/small.mif")}, 1, "Import can only be made on Lat/Long tables!"},
        {{"-o", Out, "--title-column", "nope", Data("sf/nc.shp")}, 1, "no column 'nope'"},
        {{"-o", File("old.lyr"), File("bad.shp")}, 1, "Invalid SHP file"},
        {{"-o", Out, "--divisor", "0", Data("sf/nc.shp")}, 2, "--divisor expects a positive whole number"},
        {{"-o", Out, "--divisor", "x", Data("sf/nc.shp")}, 2, "--divisor"},
        {{Data("sf/nc.shp")}, 2, "missing -o OUT"},
        {{"-o", Out}, 2, "missing INPUT"},
        {{"-o", Out, File("old.lyr")}, 2, "must be a .shp, .mif or .e00 file"},
        {{"-o", Out, "--frobnicate", Data("sf/nc.shp")}, 2, "unknown option"},
        {{"-o", File("dir"), Data("sf/nc.shp"), Data("sf/nc.shp")}, 2, "would both be saved"},
    };
    for (const Row& R : Rows) {
        std::vector<std::string> Args{"import"};
        Args.insert(Args.end(), R.Args.begin(), R.Args.end());
        const CliResult C = RunCli(Args);
        EXPECT_EQ(C.Status, R.Status) << R.Error << "\n" << C.Err;
        EXPECT_NE(C.Err.find(R.Error), std::string::npos) << C.Err;
        EXPECT_FALSE(std::filesystem::exists(Out)) << R.Error;
    }
    EXPECT_EQ(Slurp(File("old.lyr")), "previous") << "a failed import keeps the previous file";
}

TEST_F(ImportCommand, RenderAndInfoReadImportableFilesDirectly) {
    const std::string Png = File("world.png");
    const CliResult R = RunCli({"render", "--projection", "cartesian", "--size", "360x180", "--grid", "none", "--color",
                                "#000000", "--orvex-color", "#0000FF", "-o", Png,
                                Data("naturalearth/naturalearth_lowres.shp")});
    ASSERT_EQ(R.Status, 0) << R.Err;
    const QImage Image(QString::fromStdString(Png));
    ASSERT_EQ(Image.size(), QSize(360, 180));
    // Land is drawn with the global polygon presenter's white brush, the sea is the map colour;
    // x = 180 + longitude, y = 90 - latitude.
    for (auto [Lon, Lat] : {std::pair{-55, -10}, {100, 62}, {20, 27}})
        EXPECT_EQ(Image.pixelColor(180 + Lon, 90 - Lat), QColor(Qt::white)) << Lon << " " << Lat;
    for (auto [Lon, Lat] : {std::pair{-150, 0}, {-30, -30}, {80, -30}})
        EXPECT_EQ(Image.pixelColor(180 + Lon, 90 - Lat), QColor(Qt::blue)) << Lon << " " << Lat;

    const CliResult Info = RunCli({"info", "--json", "--no-points", Data("mapserver-msautotest/tile_index.mif")});
    ASSERT_EQ(Info.Status, 0) << Info.Err;
    EXPECT_NE(Info.Out.find("\"title\": \"tile22.vrt\""), std::string::npos) << Info.Out;
}

}  // namespace
