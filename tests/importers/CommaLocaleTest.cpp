// The importers in the locale the editor runs in, one that writes ',' before decimals: the
// numbers of MIF and E00 text, of the import dialogs and of GDAL's formats read as in the
// "C" locale, and exports written with '.'.
#include <gtest/gtest.h>

#include <functional>

#include "ImportFixtures.h"
#include "TestLocale.h"
#include "importers/E002Orvex.h"
#include "importers/GdalIO.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexStream.h"

namespace {

const char* const kMif =
    "Version 300\nDelimiter \",\"\nColumns 1\n  Name Char(20)\nData\n"
    "Point -77.0880598154 38.5\n"
    "Pline 3\n13.4 52.5\n-0.125 -45.0625\n179.75 1e-3\n"
    "Text\n  \"Label\"\n  1.25 2.5 3.75 4.5\n  Font (\"Arial\",0,9,0)\n  Angle 12.5\n";

// Columns 21-34 and 35-48 of the label line hold x and y.
const char* const kE00 =
    "EXP  0 /test/cover.e00\n"
    "ARC  2\n"
    "         1         1        17         0         0         0         3\n"
    " 1.3400000E+01 5.2500000E+01-7.7088060E+01 3.8500000E+01\n"
    "-1.2500000E-01-4.5062500E+01\n"
    "        -1         0         0         0         0         0         0\n"
    "LAB  2\n"
    "         1         7 2.0125000E+01-1.0500000E+01\n"
    " 2.0125000E+01-1.0500000E+01 2.0125000E+01-1.0500000E+01\n"
    "        -1         0 0.0000000E+00 0.0000000E+00\n"
    " 0.0000000E+00 0.0000000E+00 0.0000000E+00 0.0000000E+00\n"
    "EOS\n";

const char* const kGeoJson =
    R"({"type":"FeatureCollection","features":[)"
    R"({"type":"Feature","properties":{"name":"Berlin","pop":3.5},"geometry":{"type":"Point","coordinates":[13.4,52.5]}},)"
    R"({"type":"Feature","properties":{"name":"Line","pop":0.25},"geometry":{"type":"LineString","coordinates":[[-0.125,-45.0625],[179.75,0.001]]}}]})";

class ImportInCommaLocale : public ImportTest, public ::testing::WithParamInterface<const char*> {
protected:
    static std::vector<uint8_t> Saved(TOrvexLayer* L) {
        TOrvexStream S;
        L->SaveToStream(S);
        return S.Data();
    }
};

// Each import's layer is saved and compared, byte for byte, with what the same import gives
// in the "C" locale.
TEST_P(ImportInCommaLocale, ReadsNumbersAsInTheCLocale) {
    const std::string Mif = Write("decimals.mif", kMif), E00 = Write("decimals.e00", kE00);
    const std::string Json = Write("decimals.geojson", kGeoJson);
    TSHPImportPresetOptions Divided, TitleFromReal;
    Divided.Column = "name";
    Divided.Divisor = "10";
    TitleFromReal.Column = "pop";
    TE00ImportPresetOptions AnyProjection;
    AnyProjection.AcceptUnknownProjection = true;
    const struct {
        const char* Name;
        std::function<void(TOrvex3&)> Import;
        bool NeedsGdal = false;
    } Rows[] = {
        {"MIF", [&](TOrvex3& V) { ImportMIF({Mif}, V); }},
        {"MIF, real cantons", [&](TOrvex3& V) { ImportMIF({TestData("rgdal/ps_cant_31.MIF")}, V); }},
        {"E00", [&](TOrvex3& V) { ImportE00({E00}, V, &AnyProjection); }},
        {"shapefile with a divisor", [&](TOrvex3& V) { ImportSHP({TestData("naturalearth/naturalearth_cities.shp")}, V, &Divided); }},
        {"GeoJSON with real titles", [&](TOrvex3& V) { ImportGDAL({Json}, V, &TitleFromReal); }, true},
    };
    // A fresh view each time: imports leave their styles in the view's default attributes.
    std::string Title;
    auto Run = [&](const auto& Row) {
        TOrvex3 V;
        Row.Import(V);
        TOrvexLayer* L = V.GetLayer(V.LayerCount() - 1);
        EXPECT_GT(L->ObjectCount(), 0);
        Title = L->ObjectCount() ? L->GetObject(0)->Title() : "";
        return Saved(L);
    };
    std::vector<std::vector<uint8_t>> InC;
    for (const auto& Row : Rows)
        if (!Row.NeedsGdal || GdalAvailable()) InC.push_back(Run(Row));
    if (GdalAvailable()) {
        EXPECT_EQ(Title, "3.5") << "a real field's text as GDAL writes it";
    }

    ENTER_TEST_LOCALE(GetParam());
    for (size_t I = 0, K = 0; I < std::size(Rows); ++I) {
        if (Rows[I].NeedsGdal && !GdalAvailable()) continue;
        SCOPED_TRACE(Rows[I].Name);
        EXPECT_EQ(Run(Rows[I]), InC[K++]);
    }
}

// GDAL writes the coordinates of an export for other programs: '.' whatever the locale.
TEST_P(ImportInCommaLocale, ExportsWriteThePoint) {
    if (!GdalAvailable()) GTEST_SKIP() << "built without GDAL";
    ImportMIF({Write("decimals.mif", kMif)}, View);
    ExportGDAL(*Last(), File("c.geojson"));
    const std::string InC = ReadBytes(File("c.geojson"));
    ASSERT_NE(InC.find("13.4"), std::string::npos) << InC;

    ENTER_TEST_LOCALE(GetParam());
    ExportGDAL(*Last(), File("comma.geojson"));
    EXPECT_EQ(ReadBytes(File("comma.geojson")), InC);
}

INSTANTIATE_TEST_SUITE_P(Locales, ImportInCommaLocale, ::testing::ValuesIn(kCommaLocales), LocaleTestName);

}  // namespace
