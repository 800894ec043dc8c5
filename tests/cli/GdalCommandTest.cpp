// `orvex import --encoding`, and GeoJSON/GeoPackage through `orvex import` and `orvex export`.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "../common/GeoPackageMaker.h"
#include "../importers/ImportFixtures.h"
#include "CliRunner.h"
#include "importers/GdalIO.h"

namespace {

class CliFormats : public CliFolderTest {};

TEST_F(CliFormats, EncodingOptionAndTheTablesOwnCodePage) {
    // "Москва" in code page 866, with header byte 0x26 saying so, and in KOI8-R without a hint.
    TShpBuilder B;
    B.Point(37.6, 55.75);
    std::string Dbf = MakeDbf({{"NAME", 20}}, {{"\x8C\xAE\xE1\xAA\xA2\xA0"}});
    Dbf[29] = 0x26;
    Write("dos.dbf", Dbf);
    const std::string Dos = Write("dos.shp", B.Bytes());
    Write("koi.dbf", MakeDbf({{"NAME", 20}}, {{"\xED\xCF\xD3\xCB\xD7\xC1"}}));
    const std::string Koi = Write("koi.shp", B.Bytes());
    struct TRow {
        std::vector<std::string> Args;
        int Status;
        const char* Expected;  // in the info JSON, or in the error
    };
    const TRow Rows[] = {
        {{Dos}, 0, "\"title\": \"Москва\""},
        {{"--encoding", "koi8-r", Koi}, 0, "\"title\": \"Москва\""},
        {{"--encoding", "CP1251", Koi}, 0, "\"title\": \"нПУЛЧБ\""},
        {{"--encoding", "klingon", Koi}, 2, "unknown encoding 'klingon'"},
        {{"--encoding", "", Koi}, 2, "unknown encoding ''"},
    };
    for (const TRow& R : Rows) {
        std::vector<std::string> Args{"import", "-o", File("out.lyr")};
        Args.insert(Args.end(), R.Args.begin(), R.Args.end());
        const CliResult C = RunCli(Args);
        ASSERT_EQ(C.Status, R.Status) << C.Err;
        if (C.Status != 0) {
            EXPECT_NE(C.Err.find(R.Expected), std::string::npos) << C.Err;
            continue;
        }
        const CliResult Info = RunCli({"info", "--json", "--no-points", File("out.lyr")});
        EXPECT_NE(Info.Out.find(R.Expected), std::string::npos) << Info.Out;
    }
}

TEST_F(CliFormats, GeoJsonInGeoPackageOut) {
    const std::string Json = Write(
        "places.geojson",
        R"({"type":"FeatureCollection","features":[
            {"type":"Feature","properties":{"name":"Berlin","n":1},"geometry":{"type":"Point","coordinates":[13.4,52.5]}},
            {"type":"Feature","properties":{"name":"Fiji","n":2},"geometry":{"type":"LineString","coordinates":[[179,-17],[-179,-17]]}}]})");
    if (!GdalAvailable()) {
        const CliResult Import = RunCli({"import", "-o", File("places.lyr"), Json});
        EXPECT_EQ(Import.Status, 2);
        EXPECT_NE(Import.Err.find(GdalUnavailableText()), std::string::npos) << Import.Err;
        const CliResult Export = RunCli({"export", File("places.lyr"), File("out.gpkg")});
        EXPECT_EQ(Export.Status, 1);
        EXPECT_NE(Export.Err.find(GdalUnavailableText()), std::string::npos) << Export.Err;
        return;
    }
    const CliResult Import = RunCli({"import", "--title-column", "name", "-o", File("places.lyr"), Json});
    ASSERT_EQ(Import.Status, 0) << Import.Err;
    const CliResult Info = RunCli({"info", "--json", File("places.lyr")});
    EXPECT_NE(Info.Out.find("\"title\": \"Fiji\""), std::string::npos) << Info.Out;

    const CliResult Export = RunCli({"export", File("places.lyr"), File("out.gpkg")});
    ASSERT_EQ(Export.Status, 0) << Export.Err;
    EXPECT_NE(Export.Err.find("Exported 2 objects"), std::string::npos) << Export.Err;
    QProcess Ogr;
    Ogr.start("ogrinfo", {"-al", QString::fromStdString(File("out.gpkg"))});
    ASSERT_TRUE(Ogr.waitForFinished(60000));
    const std::string Text = Ogr.readAllStandardOutput().toStdString();
    for (const char* Line : {"Feature Count: 2", "Title (String) = Berlin", "ID (Integer) = 2", "POINT (13.4 52.5)",
                             "LINESTRING (179 -17,-179 -17)"})
        EXPECT_NE(Text.find(Line), std::string::npos) << Line << "\n" << Text;

    // A shapefile goes straight out as well; bad requests say why and write nothing.
    struct TRow {
        std::vector<std::string> Args;
        int Status;
        const char* Error;
    };
    const TRow Rows[] = {
        {{File("places.lyr"), File("out.kmz")}, 2, "must end in .gpkg or .geojson"},
        {{File("places.lyr")}, 2, "expected LAYERFILE and OUT.gpkg"},
        {{File("missing.lyr"), File("new.geojson")}, 1, "missing.lyr"},
        {{"--fast", File("places.lyr"), File("new.geojson")}, 2, "unknown option '--fast'"},
    };
    for (const TRow& R : Rows) {
        std::vector<std::string> Args{"export"};
        Args.insert(Args.end(), R.Args.begin(), R.Args.end());
        const CliResult C = RunCli(Args);
        EXPECT_EQ(C.Status, R.Status) << C.Err;
        EXPECT_NE(C.Err.find(R.Error), std::string::npos) << C.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(File("new.geojson")));
}

TEST_F(CliFormats, AFileOfSeveralLayersIsNeverCutShortSilently) {
#ifdef ORVEX_HAVE_GDAL
    const std::string Two = File("two.gpkg");
    ASSERT_TRUE(MakeCitiesAndCountries(Two));
    // Objects per layer file written, by file name.
    using TFiles = std::vector<std::pair<std::string, int32_t>>;
    struct TRow {
        const char* Name;
        std::vector<std::string> Args;
        int Status;
        const char* Error;  // on standard error; "" for none expected
        bool ListsLayers;   // the error names the file's layers
        TFiles Written;
    };
    const std::string Layers = "'" + Two + "' holds 2 layers (cities, countries)";
    const std::string Shapefile = std::string(ORVEX_SOURCE_DIR) + "/tests/data/sf/nc.shp";
    const TRow Rows[] = {
        {"one file for two layers", {"-o", File("one.lyr"), Two}, 2, "-o FOLDER", true, {}},
        {"a folder: one file each", {"-o", File("all"), Two}, 0, "", false,
         {{"all/two-cities.lyr", 2}, {"all/two-countries.lyr", 1}}},
        {"one layer picked", {"--layer", "countries", "-o", File("countries.lyr"), Two}, 0, "", false,
         {{"countries.lyr", 1}}},
        {"picked into a folder", {"--layer", "cities", "-o", File("picked"), Two}, 0, "", false,
         {{"picked/two-cities.lyr", 2}}},
        {"unknown layer", {"--layer", "rivers", "-o", File("rivers.lyr"), Two}, 2, "no layer 'rivers' in", true, {}},
        {"a shapefile has no layers to pick", {"--layer", "cities", "-o", File("nc.lyr"), Shapefile}, 2, "is one layer",
         false, {}},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.Name);
        std::vector<std::string> Args{"import", "--title-column", "label"};
        Args.insert(Args.end(), R.Args.begin(), R.Args.end());
        const CliResult C = RunCli(Args);
        EXPECT_EQ(C.Status, R.Status) << C.Err;
        if (*R.Error) {
            EXPECT_NE(C.Err.find(R.Error), std::string::npos) << C.Err;
        }
        if (R.ListsLayers) {
            EXPECT_NE(C.Err.find(Layers), std::string::npos) << C.Err;
        }
        for (const auto& [Name, Objects] : R.Written) {
            const CliResult Info = RunCli({"info", File(Name)});
            ASSERT_EQ(Info.Status, 0) << Name << "\n" << Info.Err;
            EXPECT_NE(Info.Out.find("Objects: " + std::to_string(Objects) + " "), std::string::npos) << Info.Out;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(File("one.lyr")));
    EXPECT_FALSE(std::filesystem::exists(File("rivers.lyr")));
    // Commands that read one layer say so rather than pick one.
    for (const std::vector<std::string>& Args :
         {std::vector<std::string>{"info", Two}, {"export", Two, File("out.geojson")}}) {
        const CliResult C = RunCli(Args);
        EXPECT_EQ(C.Status, 1) << Args[0];
        EXPECT_NE(C.Err.find(Layers), std::string::npos) << C.Err;
    }
#endif
}

}  // namespace
