// What every importer's run promises, whichever importer it is: a cancel or a removed layer at
// any report while a file is read leaves exactly the layers of the files before it, and a
// failure goes out once.
#include <gtest/gtest.h>

#include <functional>

#include "ImportFixtures.h"
#include "importers/E002Orvex.h"
#include "importers/GdalIO.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"

namespace {

using TImport = std::function<void(const std::vector<std::string>&, TOrvex3&)>;

struct TImporter {
    const char* Name;
    TImport Import;
    bool NeedsGdal;
};

class ImportDriver : public ImportTest {
protected:
    std::vector<TImporter> Importers() {
        return {
            {"SHP", [this](const auto& F, TOrvex3& V) { ImportSHP(F, V, &Shp); }, false},
            {"MIF", [](const auto& F, TOrvex3& V) { ImportMIF(F, V); }, false},
            {"E00", [this](const auto& F, TOrvex3& V) { ImportE00(F, V, &E00); }, false},
            {"GDAL", [this](const auto& F, TOrvex3& V) { ImportGDAL(F, V, &Shp); }, true},
        };
    }
    // Two files for each importer, the second long enough for reports while it is read.
    std::vector<std::string> FilesFor(const std::string& Importer) {
        if (Importer == "SHP") return {TestData("naturalearth/naturalearth_lowres.shp"),
                                       TestData("naturalearth/naturalearth_cities.shp")};
        if (Importer == "MIF") return {TestData("mapserver-msautotest/tile_index.mif"),
                                       TestData("rgdal/ps_cant_31.MIF")};
        if (Importer == "E00") return {TestData("gdal-autotest/avc/test.e00"),
                                       TestData("gdal-autotest/avc/testpoly.e00")};
        std::string Points = R"({"type":"FeatureCollection","features":[)";
        for (int I = 0; I < 250; ++I)
            Points += std::string(I ? "," : "") +
                      R"({"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[1,2]}})";
        return {Write("one.geojson", R"({"type":"FeatureCollection","features":[)"
                                     R"({"type":"Feature","properties":{},"geometry":)"
                                     R"({"type":"Point","coordinates":[1,2]}}]})"),
                Write("many.geojson", Points + "]}")};
    }
    static int MinusOnes(const std::vector<std::pair<int, std::string>>& R) {
        return int(std::count_if(R.begin(), R.end(), [](const auto& P) { return P.first == -1; }));
    }

    TSHPImportPresetOptions Shp;
    TE00ImportPresetOptions E00;
};

// Each report of the second file in turn: the handler cancels there, or removes the layer
// being made. Faults this catches: a report that ignores the cancel (the second file's layer
// then stays), a cancel that removes a finished layer of the first file or leaves half of the
// second, a layer used after the handler freed it (the sanitizer), and a removal or cancel
// reported as a failure.
TEST_F(ImportDriver, ACancelOrARemovedLayerAtAnyReportLeavesTheLayersOfTheFilesBefore) {
    E00.AcceptUnknownProjection = true;
    for (const TImporter& I : Importers()) {
        SCOPED_TRACE(I.Name);
        if (I.NeedsGdal && !GdalAvailable()) continue;
        const std::vector<std::string> Files = FilesFor(I.Name);
        int32_t LayersBefore = 0, Started = 0;
        size_t SecondStart = 0, Count = 0;
        {
            TOrvex3 V;
            I.Import({Files[0]}, V);
            LayersBefore = V.LayerCount();
            V.Clear();
            V.OnProgress = [&](TOrvex3*, int Type, const std::string&, bool&) {
                if (Type == 1 && ++Started == 2) SecondStart = Count;
                ++Count;
            };
            I.Import(Files, V);
            ASSERT_EQ(V.LayerCount(), LayersBefore + 1);
        }
        ASSERT_EQ(Started, 2);
        ASSERT_GE(Count - 1 - SecondStart, 3u) << "reports while the second file is read";
        for (const bool Cancel : {true, false}) {
            for (size_t At = SecondStart; At + 1 < Count; ++At) {
                SCOPED_TRACE(testing::Message() << (Cancel ? "cancel" : "remove") << " at report " << At);
                TOrvex3 V;
                std::vector<std::pair<int, std::string>> Seen;
                bool Removed = false;
                V.OnProgress = [&](TOrvex3* View, int Type, const std::string& Text, bool& Abort) {
                    if (Seen.size() == At && Cancel) Abort = true;
                    if (Seen.size() == At && !Cancel && View->LayerCount() > LayersBefore) {
                        delete View->GetLayer(View->LayerCount() - 1);
                        Removed = true;
                    }
                    Seen.emplace_back(Type, Text);
                };
                std::string Error;
                try {
                    I.Import(Files, V);
                } catch (const EProgressAborted&) {
                    Error = "cancelled";
                } catch (const EImportError& E) {
                    Error = E.what();
                }
                if (Cancel) {
                    EXPECT_EQ(Error, "cancelled");
                } else if (Removed && !Error.empty()) {
                    EXPECT_NE(Error.find("the layer was deleted while the file was imported"), std::string::npos)
                        << Error;
                }
                EXPECT_EQ(V.LayerCount(), LayersBefore + (Cancel || Removed ? 0 : 1));
                EXPECT_EQ(MinusOnes(Seen), Cancel || Error.empty() ? 0 : 1);
                EXPECT_EQ(Seen.back().first, 2) << "the run's end is reported";
            }
        }
    }
}

// A failure the importer reports itself (a wrong file code, a refused table) and one the run
// reports for it (a bad number) each go out once, and the layers before stay.
TEST_F(ImportDriver, AFailureIsReportedOnce) {
    E00.AcceptUnknownProjection = true;
    TShpBuilder BadCode;
    BadCode.Point(1, 2);
    TShpBuilder BadRecord;
    BadRecord.Point(1, 2);
    BadRecord.Record(TShpBuilder::Int(2));
    const struct {
        const char* Importer;
        std::string Name, Bytes;
        const char* Report;
        bool Aborted;
    } Rows[] = {
        {"SHP", "code.shp", BadCode.Bytes(-1, 9995), "Invalid SHP file", false},
        {"SHP", "type.shp", BadRecord.Bytes(), "Invalid record type 2 in SHP file", false},
        {"SHP", "short.shp", BadCode.Bytes().substr(0, 120), "the file ends inside the record", false},
        {"MIF", "number.mif", "Data\nPoint 1 x\n", "line 2: 'x' is not a number", false},
        {"MIF", "utm.mif", "CoordSys NonEarth Units \"m\"\nData\n", "Import can only be made on Lat/Long tables!", true},
        {"E00", "compressed.e00", "EXP  1 /x.e00\nARC  2\n", "compressed", false},
        {"GDAL", "junk.geojson", "not json at all", "junk.geojson", false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        if (std::string(Row.Importer) == "GDAL" && !GdalAvailable()) continue;
        const std::vector<TImporter> All = Importers();
        const TImporter& I = *std::find_if(All.begin(), All.end(), [&](const TImporter& Each) {
            return std::string(Each.Name) == Row.Importer;
        });
        const std::vector<std::string> Files = {FilesFor(Row.Importer)[0], Write(Row.Name, Row.Bytes)};
        View.Clear();
        Reports.clear();
        bool Aborted = false;
        try {
            I.Import(Files, View);
            ADD_FAILURE() << "no error";
        } catch (const EImportAborted&) {
            Aborted = true;
        } catch (const EImportError&) {
        }
        EXPECT_EQ(Aborted, Row.Aborted);
        EXPECT_EQ(MinusOnes(Reports), 1);
        const auto Failure = std::find_if(Reports.begin(), Reports.end(), [](auto& R) { return R.first == -1; });
        ASSERT_NE(Failure, Reports.end());
        EXPECT_NE(Failure->second.find(Row.Report), std::string::npos) << Failure->second;
        EXPECT_EQ(Reports.back().first, 2);
        EXPECT_GE(View.LayerCount(), 1) << "the first file's layer stays";
    }
}

}  // namespace
