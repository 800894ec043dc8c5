// Import and export through GDAL: GeoJSON written as text and a GeoPackage made with GDAL's
// API, both from known shapes; exports read back by ogrinfo and by the importer itself.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "../common/GeoPackageMaker.h"
#include "ImportFixtures.h"
#include "foundation/ProgressAborted.h"
#include "importers/GdalIO.h"
#include "importers/GdalLoader.h"
#include "importers/ImportSupport.h"
#include "importers/TfrmSHPImport.h"

namespace {

// A feature of a GeoJSON FeatureCollection: its geometry as text (or "null") and its name.
std::string GeoJson(const std::vector<std::pair<std::string, std::string>>& Features) {
    std::string S = R"({"type":"FeatureCollection","features":[)";
    for (size_t I = 0; I < Features.size(); ++I)
        S += (I ? "," : "") + std::string(R"({"type":"Feature","properties":{"pop":)") + std::to_string(I * 10) +
             R"(,"name":")" + Features[I].second + R"("},"geometry":)" + Features[I].first + "}";
    return S + "]}";
}

TPoint3D Deg(double Lon, double Lat) { return MakePoint(*CheckedDegrees(Lon), *CheckedDegrees(Lat)); }

class GdalIO : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        if (!GdalAvailable()) GTEST_SKIP() << "built without GDAL";
        Options.Column = "name";
    }
    void Import(const std::string& Path) { ImportGDAL({Path}, View, &Options); }
    TOrvexPresenter* Global(int16_t Feature) const { return View.GlobalLayer()->FindPresenter("", Feature); }
    std::string WriteShapes() {
        return Write("shapes.geojson",
                     GeoJson({{R"({"type":"Point","coordinates":[13.4,52.5]})", "Berlin"},
                              {R"({"type":"LineString","coordinates":[[179.5,10],[180,10],[-179.5,10.25]]})",
                               "Dateline"},
                              {"null", "Nothing"},
                              {R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,1],[2,2],[1,1]]]})",
                               "Донец"},
                              {R"({"type":"MultiPoint","coordinates":[[0,90],[-180,-90]]})", "Poles"},
                              {R"({"type":"GeometryCollection","geometries":[]})", "Empty"}}));
    }

    TSHPImportPresetOptions Options;
};

TEST_F(GdalIO, GeoJsonShapesBecomeObjectsWithPresentersIdsAndTitles) {
    Import(WriteShapes());
    ASSERT_EQ(View.LayerCount(), 1);
    EXPECT_EQ(Last()->Name(), "shapes");
    EXPECT_EQ(Last()->MaxFontHeight(), 9);
    struct TExpected {
        int32_t ID;
        const char* Title;
        int16_t Feature;
        std::vector<TPoint3D> Points;
    };
    const TExpected Expected[] = {
        {1, "Berlin", -1, {MakePoint(13 * kDeg + 24 * kMin, 52 * kDeg + 30 * kMin)}},
        {2, "Dateline", -2, {Deg(179.5, 10), Deg(-180, 10), Deg(-179.5, 10.25)}},
        {4, "Донец", -3, {Deg(0, 0), Deg(4, 0), Deg(4, 4), Deg(0, 0)}},
        {4, "Донец", -3, {Deg(1, 1), Deg(2, 1), Deg(2, 2), Deg(1, 1)}},
        {5, "Poles", -1, {Deg(0, 90)}},
        {5, "Poles", -1, {Deg(-180, -90)}},
    };
    ASSERT_EQ(Last()->ObjectCount(), int32_t(std::size(Expected)));
    for (int32_t I = 0; I < Last()->ObjectCount(); ++I) {
        SCOPED_TRACE(I);
        EXPECT_EQ(Object(I)->ID(), Expected[I].ID);
        EXPECT_EQ(Object(I)->Title(), Expected[I].Title);
        EXPECT_EQ(Object(I)->Presenter(), Global(Expected[I].Feature));
        EXPECT_EQ(Points(Object(I)), Expected[I].Points);
    }
    // The objects' and the layer's extents are computed: the date-line chain is narrow.
    EXPECT_LT(Object(1)->Extents().Width, 2 * kDeg);
    EXPECT_TRUE(Reported(1, "GDAL Import of " + File("shapes.geojson")));
    EXPECT_TRUE(Reported(0, "Imported 6 objects"));
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("GDAL Import Finished")));
}

#ifdef ORVEX_HAVE_GDAL
// A GeoPackage of two layers: "mercator" in EPSG:3857 and "plain" in EPSG:4326.
void MakeMercatorAndPlain(const std::string& Path) {
    ASSERT_TRUE(MakeGeoPackage(Path, {{"mercator", 3857,
                                       {{"m0", "POINT (20037508.342789244 0)"},
                                        {"m1", "LINESTRING (0 0,1113194.9079327357 0)"}}},
                                      {"plain", 4326,
                                       {{"p0", "POINT (-10 -20)"}, {"p1", "MULTIPOLYGON (((0 0,1 0,1 1,0 0)))"}}}}));
}
#endif

TEST_F(GdalIO, GeoPackageLayersAreReprojectedToLongitudeAndLatitude) {
#ifdef ORVEX_HAVE_GDAL
    const std::string Path = File("two.gpkg");
    MakeMercatorAndPlain(Path);
    Options.Column = "label";
    Import(Path);
    ASSERT_EQ(View.LayerCount(), 2);
    EXPECT_EQ(View.GetLayer(0)->Name(), "two mercator");
    EXPECT_EQ(View.GetLayer(1)->Name(), "two plain");
    auto Near = [](TPoint3D A, TPoint3D B) { return std::abs(A.X - B.X) <= 1 && std::abs(A.Y - B.Y) <= 1; };
    const TOrvexLayer* Mercator = View.GetLayer(0);
    ASSERT_EQ(Mercator->ObjectCount(), 2);
    EXPECT_TRUE(Near(Mercator->GetObject(0)->GetPoint(0), Deg(-180, 0))) << "x of 180 degrees east wraps";
    EXPECT_EQ(Mercator->GetObject(0)->Title(), "m0");
    EXPECT_TRUE(Near(Mercator->GetObject(1)->GetPoint(1), Deg(10, 0)));
    const TOrvexLayer* Plain = View.GetLayer(1);
    ASSERT_EQ(Plain->ObjectCount(), 2);
    EXPECT_EQ(Plain->GetObject(0)->GetPoint(0), Deg(-10, -20)) << "longitude first, whatever EPSG's axis order";
    EXPECT_EQ(Plain->GetObject(1)->Presenter(), Global(-3));
    EXPECT_EQ(Plain->GetObject(1)->ID(), 2);

    // One layer picked by name, keeping the name it has among the others; a name the file
    // lacks fails and adds nothing.
    EXPECT_EQ(GdalLayerNames(Path), (std::vector<std::string>{"mercator", "plain"}));
    ImportGDAL({Path}, View, &Options, "plain");
    ASSERT_EQ(View.LayerCount(), 3);
    EXPECT_EQ(Last()->Name(), "two plain");
    EXPECT_EQ(Points(Last()->GetObject(0)), Points(Plain->GetObject(0)));
    EXPECT_THROW(ImportGDAL({Path}, View, &Options, "roads"), EImportError);
    EXPECT_EQ(View.LayerCount(), 3);
    EXPECT_EQ(Reports.back().first, 2);
    EXPECT_TRUE(Reported(-1, Path + ": the file has no layer 'roads'"));
#endif
}

TEST_F(GdalIO, BadInputFailsClearlyAndKeepsEarlierObjects) {
    const std::pair<std::string, std::string> Cases[] = {
        {R"({"type":"Point","coordinates":[1e300,0]})", "is not a longitude and latitude"},
        {R"({"type":"Point","coordinates":[10,95]})", "is not a longitude and latitude"},
        {R"({"type":"LineString","coordinates":[[0,0],[3e9,0]]})", "is not a longitude and latitude"},
    };
    for (const auto& [Geometry, Why] : Cases) {
        const std::string Path =
            Write("bad.geojson", GeoJson({{R"({"type":"Point","coordinates":[1,2]})", "good"}, {Geometry, "bad"}}));
        const int32_t Before = View.LayerCount();
        EXPECT_THROW(Import(Path), EImportError) << Geometry;
        ASSERT_EQ(View.LayerCount(), Before + 1);
        EXPECT_EQ(Last()->ObjectCount(), 1) << "the good feature stays";
        ASSERT_FALSE(Reports.empty());
        const auto Failure = std::find_if(Reports.rbegin(), Reports.rend(), [](auto& R) { return R.first == -1; });
        ASSERT_NE(Failure, Reports.rend());
        EXPECT_NE(Failure->second.find(Why), std::string::npos) << Failure->second;
        EXPECT_NE(Failure->second.find("feature 2"), std::string::npos) << Failure->second;
    }
    for (const char* Text : {"not json at all", ""}) {
        EXPECT_THROW(Import(Write("junk.geojson", Text)), EImportError);
        EXPECT_EQ(Reports.back().first, 2);
    }
    EXPECT_THROW(Import(File("missing.gpkg")), EImportError);
}

TEST_F(GdalIO, AbortFromProgressLeavesNoHalfLayer) {
    std::vector<std::pair<std::string, std::string>> Many;
    // Names appended, not prefixed: GCC's -Wrestrict misreads "p" + std::to_string(I) at -O3.
    for (int I = 0; I < 250; ++I) Many.push_back({R"({"type":"Point","coordinates":[1,2]})", "p"});
    for (int I = 0; I < 250; ++I) Many[size_t(I)].second += std::to_string(I);
    const std::string First = Write("first.geojson", GeoJson({{R"({"type":"Point","coordinates":[1,2]})", "a"}}));
    const std::string Second = Write("many.geojson", GeoJson(Many));
    int Calls = 0;
    View.OnProgress = [&](TOrvex3*, int Type, const std::string& Text, bool& Abort) {
        Reports.emplace_back(Type, Text);
        if (Type == 0 && Text == "Imported 100 objects" && ++Calls == 1) Abort = true;
    };
    EXPECT_THROW(ImportGDAL({First, Second}, View, &Options), EProgressAborted);
    ASSERT_EQ(View.LayerCount(), 1);
    EXPECT_EQ(View.GetLayer(0)->Name(), "first");
    // Cancelling is the user's choice: no failure is reported.
    for (const auto& R : Reports) EXPECT_NE(R.first, -1) << R.second;
}

#ifdef ORVEX_HAVE_GDAL
// ogrinfo's full report of a file, or "" when it could not run.
std::string OgrInfo(const std::string& Path) {
    QProcess P;
    P.start("ogrinfo", {"-al", QString::fromStdString(Path)});
    if (!P.waitForFinished(60000) || P.exitCode() != 0) return {};
    return P.readAllStandardOutput().toStdString();
}
#endif

TEST_F(GdalIO, ExportedLayerReadsBackTheSame) {
#ifdef ORVEX_HAVE_GDAL
    Import(WriteShapes());
    TOrvexLayer* Source = Last();
    for (const char* Name : {"out.gpkg", "out.geojson"}) {
        SCOPED_TRACE(Name);
        const std::string Out = File(Name);
        EXPECT_EQ(ExportGDAL(*Source, Out), Source->ObjectCount());
        if (std::string(Name) == "out.gpkg") {
            const std::string Info = OgrInfo(Out);
            ASSERT_FALSE(Info.empty()) << "ogrinfo failed";
            for (const char* Line : {"Feature Count: 6", "ID (Integer) = 1", "Title (String) = Berlin", "POINT (13.4 52.5)",
                                     "LINESTRING (179.5 10", "-180 10,-179.5 10.25)", "Title (String) = Донец",
                                     "POLYGON ((1 1,2 1,2 2,1 1))", "POINT (-180 -90)", "ID (Integer) = 5"})
                EXPECT_NE(Info.find(Line), std::string::npos) << Line << "\n" << Info;
        }
        // Read back by the importer: the same objects, point for point.
        Options.Column = "Title";
        Import(Out);
        TOrvexLayer* Back = Last();
        ASSERT_EQ(Back->ObjectCount(), Source->ObjectCount());
        for (int32_t I = 0; I < Back->ObjectCount(); ++I) {
            EXPECT_EQ(Points(Back->GetObject(I)), Points(Source->GetObject(I))) << I;
            EXPECT_EQ(Back->GetObject(I)->Title(), Source->GetObject(I)->Title());
            EXPECT_EQ(Back->GetObject(I)->Presenter(), Source->GetObject(I)->Presenter());
        }
        Options.Column = "name";
    }
    // No partial file is left beside the target.
    for (const auto& Entry : std::filesystem::directory_iterator(Dir.path().toStdString())) {
        EXPECT_EQ(Entry.path().filename().string().find("partial"), std::string::npos) << Entry.path();
        EXPECT_FALSE(Entry.path().filename().string().starts_with(".orvex-")) << "a temporary file stays";
    }
#endif
}

TEST_F(GdalIO, StoredLatin1TextIsExportedAsUtf8) {
    // Stored text is UTF-8 when valid, else Latin-1: both kinds must reach the file as UTF-8.
    TOrvexLayer* L = View.AddLayer("Gew\xE4sser");
    TGeoDataObject::Create(L, Global(-1), 1, "Z\xFCrich")->SetPoints(std::vector{Deg(8.5, 47.4)}.data(), 1);
    TGeoDataObject::Create(L, Global(-1), 2, "Москва")->SetPoints(std::vector{Deg(37.6, 55.75)}.data(), 1);
    for (const char* Name : {"titles.geojson", "titles.gpkg"}) {
        SCOPED_TRACE(Name);
        ASSERT_EQ(ExportGDAL(*L, File(Name)), 2);
        if (HasExtension(Name, ".geojson")) {
            const std::string Text = ReadBytes(File(Name));
            EXPECT_TRUE(QString::fromUtf8(Text.data(), qsizetype(Text.size())).toUtf8().toStdString() == Text)
                << "not valid UTF-8: " << Text;
            EXPECT_NE(Text.find("\"name\": \"Gewässer\""), std::string::npos) << Text;
        }
        Options.Column = "Title";
        Import(File(Name));
        EXPECT_EQ(Titles(), (std::vector<std::string>{"Zürich", "Москва"}));
    }
}

TEST_F(GdalIO, ConversionsFromEsriAndMapInfoText) {
    const TGdalInterface* G = GdalModule();
    ASSERT_NE(G, nullptr) << GdalModuleError();
    const std::string Utm32 =
        R"(PROJCS["WGS_1984_UTM_Zone_32N",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,)"
        R"(298.257223563]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],)"
        R"(PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],PARAMETER["Central_Meridian",9.0],)"
        R"(PARAMETER["Scale_Factor",0.9996],PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])";
    struct TRow {
        const char* Name;
        TGdalConversion* Conversion;
        const char* Words;  // in the description
    };
    const TRow Rows[] = {
        {"ESRI well-known text", G->ConversionFromEsri(Utm32.c_str()), "UTM zone 32N"},
        {"MapInfo CoordSys",
         G->ConversionFromMapInfo("CoordSys Earth Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0"),
         "UTM zone 32N"},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.Name);
        ASSERT_NE(R.Conversion, nullptr) << G->LastError();
        EXPECT_NE(std::string(G->DescribeConversion(R.Conversion)).find(R.Words), std::string::npos)
            << G->DescribeConversion(R.Conversion);
        EXPECT_EQ(G->ConversionKind(R.Conversion), gkProjected);
        // The central meridian on the equator, and a point 100 km north of it; longitude first.
        double X[] = {500000, 500000}, Y[] = {0, 100000};
        EXPECT_EQ(G->Convert(R.Conversion, 2, X, Y), 2) << G->LastError();
        EXPECT_NEAR(X[0], 9, 1e-9);
        EXPECT_NEAR(Y[0], 0, 1e-9);
        EXPECT_NEAR(X[1], 9, 1e-9);
        EXPECT_NEAR(Y[1], 0.90473, 1e-5);
        // A point no conversion reaches stops the run there and stays as it was.
        double Far[] = {1, HUGE_VAL, 3}, Near[] = {0, 0, 0};
        EXPECT_EQ(G->Convert(R.Conversion, 3, Far, Near), 1);
        EXPECT_EQ(Far[1], HUGE_VAL);
        EXPECT_EQ(Far[2], 3);
        EXPECT_NE(std::string(G->LastError()).find("cannot be converted"), std::string::npos) << G->LastError();
        G->FreeConversion(R.Conversion);
    }
    for (const char* Junk : {"", "PROJCS[", "not a coordinate system"}) {
        EXPECT_EQ(G->ConversionFromEsri(Junk), nullptr) << Junk;
        EXPECT_NE(std::string(G->LastError()), "");
        EXPECT_EQ(G->ConversionFromMapInfo(Junk), nullptr) << Junk;
    }
}

TEST_F(GdalIO, FailedExportKeepsWhatWasThere) {
    Import(WriteShapes());
    // The target is a folder that the rename cannot replace.
    const std::string Blocked = File("blocked.gpkg");
    std::filesystem::create_directory(Blocked);
    Write("blocked.gpkg/keep", "kept");
    EXPECT_THROW(ExportGDAL(*Last(), Blocked), EOrvexException);
    EXPECT_EQ(ReadBytes(Blocked + "/keep"), "kept");
    EXPECT_THROW(ExportGDAL(*Last(), File("out.shp")), EOrvexException);
    EXPECT_THROW(ExportGDAL(*Last(), File("no/such/folder/out.gpkg")), EOrvexException);
    for (const auto& Entry : std::filesystem::directory_iterator(Dir.path().toStdString())) {
        EXPECT_EQ(Entry.path().filename().string().find("partial"), std::string::npos) << Entry.path();
        EXPECT_FALSE(Entry.path().filename().string().starts_with(".orvex-")) << "a temporary file stays";
    }
}

}  // namespace
