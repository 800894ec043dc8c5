// Projected shapefiles, MIF tables and E00 coverages converted to longitude/latitude while
// importing: real files checked vertex by vertex against ogr2ogr -t_srs EPSG:4326, the date line
// and the pole, descriptions that cannot be understood, the dialogs, and keeping the coordinates.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "ImportFixtures.h"
#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/SpatialReference.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"
#include "styling/OrvexAttributes.h"

namespace {

// ESRI descriptions of WGS 84 / UTM zones 60N and 1N and of the Antarctic polar stereographic grid.
std::string Utm(int CentralMeridian, const char* Name) {
    return std::string("PROJCS[\"") + Name +
           "\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
           "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
           "PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],PARAMETER[\"Central_Meridian\"," +
           std::to_string(CentralMeridian) +
           "],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";
}
const std::string kAntarctic =
    "PROJCS[\"WGS_1984_Antarctic_Polar_Stereographic\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\","
    "SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
    "PROJECTION[\"Stereographic_South_Pole\"],PARAMETER[\"False_Easting\",0.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",0.0],PARAMETER[\"Standard_Parallel_1\",-71.0],UNIT[\"Meter\",1.0]]";

class Reprojection : public ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        if (!CoordinateConversionAvailable()) GTEST_SKIP() << "built without GDAL";
    }
    // name.shp of one record of Type (1 point, 3 polyline, 5 polygon, 8 multipoint) beside name.prj.
    std::string WriteShp(const std::string& Name, int32_t Type, const std::vector<std::pair<double, double>>& Points,
                         const std::string& Prj) {
        TShpBuilder B;
        if (Type == 1)
            B.Point(Points[0].first, Points[0].second);
        else if (Type == 8)
            B.MultiPoint(Points);
        else
            B.Parts(Type, {0}, Points);
        Write(Name + ".dbf", MakeDbf({{"T", 8}}, {{Name}}));
        if (!Prj.empty()) Write(Name + ".prj", Prj);
        return Write(Name + ".shp", B.Bytes());
    }
    // Every vertex of the last layer is within a unit of one of ogr2ogr's, and (Both) the reverse.
    void ExpectOgr2OgrVertices(const std::vector<TPoint3D>& Theirs, bool Both) const {
        ASSERT_FALSE(Theirs.empty()) << "ogr2ogr gave nothing";
        const std::vector<TPoint3D> Ours = LayerVertices(Last());
        const std::vector<TPoint3D> Missing = Unmatched(Ours, Theirs);
        EXPECT_TRUE(Missing.empty()) << Missing.size() << " of " << Ours.size() << " vertices off, the first at "
                                     << Missing[0].X << ", " << Missing[0].Y;
        if (!Both) return;
        EXPECT_EQ(Ours.size(), Theirs.size());
        EXPECT_TRUE(Unmatched(Theirs, Ours).empty());
    }
    // The report that names the conversion; its absence lists what was reported instead.
    ::testing::AssertionResult Converted(const std::string& Prefix, const std::string& From) const {
        if (Reported(0, Prefix + ": coordinates converted from " + From + " to longitude/latitude"))
            return ::testing::AssertionSuccess();
        auto Failure = ::testing::AssertionFailure() << "reported:";
        for (const auto& [Type, Text] : Reports) Failure << "\n  " << Type << " " << Text;
        return Failure;
    }

    TSHPImportPresetOptions Shp;
    TE00ImportPresetOptions E00;
};

// A wrong axis order, unit (feet), datum or divisor, or a transformation of the wrong system,
// moves vertices by far more than a unit.
TEST_F(Reprojection, ProjectedShapefilesMatchOgr2Ogr) {
    struct Row {
        const char* File;
        const char* From;
    };
    const Row Rows[] = {
        {"rgdal/scot_BNG.shp", "OSGB 1936 / British National Grid"},
        {"rgdal/kiritimati_primary_roads.shp", "WGS 84 / UTM zone 4N"},
        {"gdal-autotest/shp/Stacks.shp", "NAD83 / Texas South Central (ftUS)"},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.File);
        const std::string Path = TestData(R.File);
        ImportSHP({Path}, View, &Shp);
        EXPECT_TRUE(Converted(FileNamePart(Path), R.From));
        EXPECT_TRUE(Ui.Messages.empty());
        ExpectOgr2OgrVertices(Ogr2OgrVertices(Path), true);
        ExpectFreshExtents(Last());
    }
}

// Point records are converted many at a time: the objects still come in file order, with the
// titles and IDs of their own records, past the end of a batch and around other shapes.
TEST_F(Reprojection, ConvertedPointRecordsKeepTheirOrderTitlesAndIds) {
    constexpr int kPoints = 5000;
    TShpBuilder B;
    std::vector<std::vector<std::string>> Rows;
    for (int I = 0; I < kPoints; ++I) {
        B.Point(400000 + 10.0 * I, 5000000 - 7.0 * I);
        Rows.push_back({I == 3 ? "*deleted" : "p" + std::to_string(I)});
        if (I == 1) {
            B.Parts(3, {0}, {{400000, 5000000}, {410000, 5010000}});
            Rows.push_back({"line"});
        }
    }
    Write("many.dbf", MakeDbf({{"T", 8}}, Rows));
    Write("many.prj", Utm(177, "WGS_1984_UTM_Zone_60N"));
    const std::string Path = Write("many.shp", B.Bytes());
    ImportSHP({Path}, View, &Shp);
    ASSERT_EQ(Last()->ObjectCount(), kPoints);  // one deleted, one line
    const std::vector<std::string> Expected{"p0", "p1", "line", "p2", "p4"};
    for (size_t I = 0; I < Expected.size(); ++I) EXPECT_EQ(Object(int32_t(I))->Title(), Expected[I]) << I;
    EXPECT_EQ(Object(3)->ID(), 4);
    EXPECT_EQ(Object(4)->ID(), 6) << "after the deleted record";
    EXPECT_EQ(Object(kPoints - 1)->Title(), "p" + std::to_string(kPoints - 1));
    EXPECT_EQ(Object(kPoints - 1)->ID(), kPoints + 1);
    EXPECT_TRUE(Reported(0, "Imported 4900 objects"));
    ExpectOgr2OgrVertices(Ogr2OgrVertices(Path), false);
}

// Longitudes past 180 degrees after the conversion follow the rule of degrees read from a file,
// and so do the date-line and pole flags of the chains.
TEST_F(Reprojection, ChainsAcrossTheDateLineAndRoundThePoleAreStoredAsDegreesWouldBe) {
    struct Row {
        const char* Name;
        int32_t Type;
        std::vector<std::pair<double, double>> Points;
        std::string Prj;
    };
    const Row Rows[] = {
        {"zone60", 3, {{700000, 1000000}, {880000, 1000000}, {880000, 1100000}}, Utm(177, "WGS_1984_UTM_Zone_60N")},
        {"zone1", 5, {{120000, -500000}, {300000, -500000}, {300000, -400000}, {120000, -500000}},
         Utm(-177, "WGS_1984_UTM_Zone_1N")},
        {"ring", 5, {{1e6, 0}, {0, 1e6}, {-1e6, 0}, {0, -1e6}, {1e6, 0}}, kAntarctic},
        {"pole", 1, {{0, 0}}, kAntarctic},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        ImportSHP({WriteShp(R.Name, R.Type, R.Points, R.Prj)}, View, &Shp);
        ASSERT_EQ(Last()->ObjectCount(), 1);
        const TOrvexObject* Converted = Last()->GetObject(0);
        // As points, which ogr2ogr leaves whole where it would cut a line at the date line.
        const std::vector<TPoint3D> Theirs = Ogr2OgrVertices(WriteShp(std::string(R.Name) + "_points", 8, R.Points, R.Prj));
        ASSERT_EQ(Theirs.size(), size_t(Converted->GetPointCount()));
        for (int32_t I = 0; I < Converted->GetPointCount(); ++I) {
            EXPECT_TRUE(Unmatched({Converted->GetPoint(I)}, {Theirs[size_t(I)]}).empty()) << I;
        }

        // The same longitudes and latitudes written as degrees.
        std::vector<std::pair<double, double>> Degrees;
        for (const TPoint3D& P : Theirs) Degrees.emplace_back(OrvexUnitsToDeg(P.X), OrvexUnitsToDeg(P.Y));
        ImportSHP({WriteShp(std::string(R.Name) + "_degrees", R.Type, Degrees, "")}, View, &Shp);
        ASSERT_EQ(Last()->ObjectCount(), 1);
        const TOrvexObject* Read = Last()->GetObject(0);
        ASSERT_EQ(Converted->GetPointCount(), Read->GetPointCount());
        for (int32_t I = 0; I < Read->GetPointCount(); ++I) {
            EXPECT_NEAR(Converted->GetPoint(I).X, Read->GetPoint(I).X, 1) << I;
            EXPECT_NEAR(Converted->GetPoint(I).Y, Read->GetPoint(I).Y, 1) << I;
        }
        constexpr uint16_t Flags = osCrossesDateLine | osOddCrossings;
        EXPECT_EQ(Converted->State() & Flags, Read->State() & Flags);
    }
    EXPECT_EQ(View.GetLayer(6)->GetObject(0)->GetPoint(0).Y, -90 * kDeg) << "the pole";
    EXPECT_NE(View.GetLayer(0)->GetObject(0)->State() & osCrossesDateLine, 0) << "the date line";
}

// A description that cannot be understood is named, and the file read as it always was.
TEST_F(Reprojection, AnUnreadablePrjIsNamedAndTheFileReadAsBefore) {
    struct Row {
        const char* Name;
        std::string Prj;
        const char* Quoted;  // in the message; null: no message
    };
    const Row Rows[] = {
        {"prose", "these are metres, trust me", "'these are metres, trust me'"},
        {"broken", "PROJCS[\"half\",GEOGCS[", "'PROJCS[\"half\",GEOGCS['"},
        {"local", "LOCAL_CS[\"site grid\",UNIT[\"Meter\",1.0]]", "'LOCAL_CS[\"site grid\",UNIT[\"Meter\",1.0]]'"},
        {"blank", " \r\n", nullptr},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Ui.Messages.clear();
        ImportSHP({WriteShp(R.Name, 1, {{13.4, 52.5}}, R.Prj)}, View, &Shp);
        EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(13 * kDeg + 24 * kMin, 52 * kDeg + 30 * kMin));
        if (!R.Quoted) {
            EXPECT_TRUE(Ui.Messages.empty());
            continue;
        }
        ASSERT_EQ(Ui.Messages.size(), 1u);
        EXPECT_EQ(Ui.Messages[0].Kind, mkWarning);
        EXPECT_TRUE(Ui.Messages[0].Text.starts_with(File(std::string(R.Name) + ".prj") + ": the coordinate system "))
            << Ui.Messages[0].Text;
        EXPECT_NE(Ui.Messages[0].Text.find(R.Quoted), std::string::npos) << Ui.Messages[0].Text;
    }
}

// Keeping the coordinates reads them as degrees, as before, without a word about the .prj; the
// .prj is found in any letter case; geographic ones (a byte order mark in front) change nothing.
TEST_F(Reprojection, KeptAndGeographicCoordinatesAreReadAsDegrees) {
    const std::string Projected = WriteShp("near", 1, {{100, 50}}, "");
    Write("near.PRJ", Utm(177, "WGS_1984_UTM_Zone_60N"));
    ImportSHP({Projected}, View, &Shp);
    EXPECT_TRUE(Converted("near.shp", "WGS 84 / UTM zone 60N"));
    EXPECT_NE(Object(0)->GetPoint(0), MakePoint(100 * kDeg, 50 * kDeg));
    Shp.KeepOriginalCoordinates = true;
    ImportSHP({Projected, WriteShp("odd", 1, {{100, 50}}, "nonsense")}, View, &Shp);
    EXPECT_EQ(View.GetLayer(1)->GetObject(0)->GetPoint(0), MakePoint(100 * kDeg, 50 * kDeg));
    EXPECT_EQ(Last()->GetObject(0)->GetPoint(0), MakePoint(100 * kDeg, 50 * kDeg));
    EXPECT_TRUE(Ui.Messages.empty());

    Shp.KeepOriginalCoordinates = false;
    Reports.clear();
    ImportSHP({TestData("gdal-autotest/shp/prjwithutf8bom.shp")}, View, &Shp);
    EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(-100 * kDeg, 50 * kDeg));
    EXPECT_TRUE(Ui.Messages.empty()) << Ui.Messages[0].Text;
    for (const auto& [Type, Text] : Reports) EXPECT_EQ(Text.find("converted"), std::string::npos) << Text;
}

// The conversion line overlapping the buttons, a keep box that does nothing, or one left
// ticked from the file before.
TEST_F(Reprojection, ShapefileDialogSaysWhatItConvertsFromAndCanKeep) {
    const std::string Near = WriteShp("near", 1, {{100, 50}}, Utm(177, "WGS_1984_UTM_Zone_60N"));
    int Shown = 0;
    Ui.OnDialog = [&](QDialog& D) {
        auto* F = dynamic_cast<TfrmSHPImport*>(&D);
        ASSERT_NE(F, nullptr);
        ++Shown;
        F->show();
        if (Shown == 3) {
            // Degrees after converted files: the dialog is back to its first size, without the line.
            TfrmSHPImport Fresh;
            Fresh.show();
            EXPECT_EQ(F->size(), Fresh.size());
            EXPECT_FALSE(F->lblCoordinates->isVisible());
            EXPECT_FALSE(F->cbxKeepCoordinates->isVisible());
        } else {
            EXPECT_EQ(F->lblCoordinates->text(),
                      "Coordinates: converted from WGS 84 / UTM zone 60N to longitude/latitude");
            EXPECT_TRUE(F->lblCoordinates->isVisible());
            EXPECT_FALSE(F->cbxKeepCoordinates->isChecked()) << "file " << Shown;
            EXPECT_GT(F->btnImport->y(), F->cbxKeepCoordinates->geometry().bottom());
            EXPECT_LE(F->btnImport->geometry().bottom(), F->height());
        }
        if (Shown == 1) QTest::mouseClick(F->cbxKeepCoordinates, Qt::LeftButton);
        F->lbxColumnsClick();
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
    };
    ImportSHP({Near, Near, TestData("gdal-autotest/shp/prjwithutf8bom.shp")}, View);
    ASSERT_EQ(View.LayerCount(), 3);
    EXPECT_EQ(View.GetLayer(0)->GetObject(0)->GetPoint(0), MakePoint(100 * kDeg, 50 * kDeg)) << "kept";
    EXPECT_NE(View.GetLayer(1)->GetObject(0)->GetPoint(0), MakePoint(100 * kDeg, 50 * kDeg)) << "converted";
}

// Only the first ring of a region and the first section of a polyline are kept, so each of
// ours has to be one of ogr2ogr's.
TEST_F(Reprojection, ProjectedMifTablesMatchOgr2Ogr) {
    struct Row {
        const char* File;
        const char* From;
    };
    const Row Rows[] = {
        {"gdal-autotest/mitab/multilinemid.mif", "AGD66 / AMG zone 56"},
        {"gdal-autotest/mitab/small_ntf.mif", "Lambert Conformal Conic 1SP on NTF Paris Meridian"},
        {"gdal-autotest/mitab/utf8.mif", "Transverse Mercator on Pulkovo 1942"},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.File);
        const std::string Path = TestData(R.File);
        ImportMIF({Path}, View);
        EXPECT_TRUE(Converted(FileNamePart(Path), R.From));
        EXPECT_GT(Last()->ObjectCount(), 0);
        ExpectOgr2OgrVertices(Ogr2OgrVertices(Path), false);
    }
}

// A text's height is read in the projection's metres: converted, it comes back as metres.
TEST_F(Reprojection, MifTextHeightAndCornerAreConverted) {
    ImportMIF({Write("text.mif",
                     "Version 300\nCoordSys Earth Projection 8, 104, \"m\", 3, 0, 0.9996, 500000, 0\nColumns 1\n"
                     "  Name Char(10)\nData\nText \"Hi\"\n    500000 5000000 500400 5001000\nPoint 500000 5000000\n")},
              View);
    ASSERT_EQ(Last()->ObjectCount(), 2);
    EXPECT_EQ(Object(0)->GetPoint(0), Object(1)->GetPoint(0));
    EXPECT_NEAR(Object(1)->GetPoint(0).X, 3 * kDeg, 1);
    EXPECT_NEAR(View.TitleFont()->FontSize(), -1000, 5);
    EXPECT_EQ(View.TitleFont()->FontUnit(), Meter);
}

// A projection GDAL reads as longitude/latitude (type 34) taken as degrees; NonEarth or kept
// tables let through.
TEST_F(Reprojection, MifTablesThatCannotBeConvertedAreRefusedAsBefore) {
    struct Row {
        const char* File;
        bool Keep;
        const char* Warning;  // null: none
    };
    const Row Rows[] = {
        {"gdal-autotest/mitab/proj_34.mif", false, "CoordSys Earth Projection 34, 104"},
        {"gdal-autotest/mitab/small.mif", false, nullptr},  // NonEarth
        {"gdal-autotest/mitab/multilinemid.mif", true, nullptr},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.File);
        Ui.Messages.clear();
        Reports.clear();
        const std::string Path = TestData(R.File);
        EXPECT_THROW(ImportMIF({Path}, View, R.Keep), EImportAborted);
        EXPECT_TRUE(Reported(-1, "Import can only be made on Lat/Long tables!"));
        EXPECT_EQ(Last()->ObjectCount(), 0);
        if (!R.Warning) {
            EXPECT_TRUE(Ui.Messages.empty());
            continue;
        }
        ASSERT_EQ(Ui.Messages.size(), 1u);
        EXPECT_TRUE(Ui.Messages[0].Text.starts_with(Path + ": the coordinate system '")) << Ui.Messages[0].Text;
        EXPECT_NE(Ui.Messages[0].Text.find(R.Warning), std::string::npos) << Ui.Messages[0].Text;
    }
}

// UTM zone 13 on NAD27: arcs chained into polygons, labels outside them, no question asked.
TEST_F(Reprojection, UtmCoveragesMatchOgr2OgrWithoutTheQuestion) {
    for (const char* Name : {"gdal-autotest/avc/testpoly.e00", "gdal-autotest/avc/test.e00"}) {
        SCOPED_TRACE(Name);
        const std::string Path = TestData(Name);
        ImportE00({Path}, View, &E00);
        EXPECT_TRUE(Ui.Messages.empty());
        EXPECT_TRUE(Converted(Last()->Name(), "NAD27 / UTM zone 13N"));
        ASSERT_GT(Last()->ObjectCount(), 0);
        std::vector<TPoint3D> Arcs = Ogr2OgrVertices(Path, "ARC"), Labels = Ogr2OgrVertices(Path, "LAB");
        ASSERT_FALSE(Arcs.empty() || Labels.empty());
        // Polygons repeat their arcs' points: every arc vertex is in the layer.
        EXPECT_TRUE(Unmatched(Arcs, LayerVertices(Last())).empty());
        Arcs.insert(Arcs.end(), Labels.begin(), Labels.end());
        ExpectOgr2OgrVertices(Arcs, false);
    }
}

// A PRJ block with a projection that has no conversion: the reason, then the question.
TEST_F(Reprojection, E00ProjectionsWithoutAConversionAskAsBefore) {
    auto Coverage = [](const std::vector<std::string>& Prj) {
        char Label[128];
        std::string T = "EXP  0 /x.e00\nLAB  2\n";
        std::snprintf(Label, sizeof Label, "%10d%10d%14.7E%14.7E\n", 1, 1, 12.5, 30.25);
        T += Label + std::string(56, ' ') + "\n";
        std::snprintf(Label, sizeof Label, "%10d%10d%14.7E%14.7E\n", -1, 0, 0.0, 0.0);
        T += Label + std::string(56, ' ') + "\nPRJ  2\n";
        for (const std::string& L : Prj) T += L + "\n~\n";
        return T + "EOP\n";
    };
    auto Key = [](const char* K, const char* V) {
        char B[64];
        std::snprintf(B, sizeof B, "%-14s%s", K, V);
        return std::string(B);
    };
    struct Row {
        const char* Name;
        std::vector<std::string> Prj;
        bool Keep;
        const char* Warning;  // null: none
    };
    const Row Rows[] = {
        {"unknown", {Key("Projection", "WHIRLIGIG"), Key("Zone", "13")}, false, "WHIRLIGIG"},
        {"shifted", {Key("Projection", "UTM"), Key("Zone", "13"), Key("Xshift", "100.0")}, false, "Xshift"},
        {"kept", {Key("Projection", "UTM"), Key("Zone", "13")}, true, nullptr},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Ui.Messages.clear();
        E00.KeepOriginalCoordinates = R.Keep;
        E00.AcceptUnknownProjection = false;
        const std::string Path = Write(std::string(R.Name) + ".e00", Coverage(R.Prj));
        ImportE00({Path}, View, &E00);
        EXPECT_TRUE(Reported(-1, Path + ": file is not in Geographic projection"));
        ASSERT_EQ(Ui.Messages.size(), R.Warning ? 1u : 0u);
        if (R.Warning) {
            EXPECT_TRUE(Ui.Messages[0].Text.starts_with(Path + ": ")) << Ui.Messages[0].Text;
            EXPECT_NE(Ui.Messages[0].Text.find(R.Warning), std::string::npos) << Ui.Messages[0].Text;
        }
        // Agreed to, the coordinates are read as degrees, as before.
        E00.AcceptUnknownProjection = true;
        ImportE00({Path}, View, &E00);
        ASSERT_EQ(Last()->ObjectCount(), 1);
        EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(12 * kDeg + 30 * kMin, 30 * kDeg + 15 * kMin));
    }
}

// The files' systems unnamed or repeated, or the keep box ignored.
TEST_F(Reprojection, E00DialogSaysWhatItConvertsFromAndCanKeep) {
    const std::string Poly = TestData("gdal-autotest/avc/testpoly.e00");
    for (const bool Keep : {false, true}) {
        SCOPED_TRACE(Keep);
        Ui.OnDialog = [&](QDialog& D) {
            auto* F = dynamic_cast<TfrmE00Import*>(&D);
            ASSERT_NE(F, nullptr);
            F->show();
            EXPECT_TRUE(F->lblCoordinates->isVisible());
            EXPECT_EQ(F->lblCoordinates->text(), "Coordinates: converted from NAD27 / UTM zone 13N to longitude/latitude")
                << "each system once for two files in it";
            EXPECT_GT(F->btnImport->y(), F->cbxKeepCoordinates->geometry().bottom());
            EXPECT_LE(F->btnImport->geometry().bottom(), F->height());
            if (Keep) QTest::mouseClick(F->cbxKeepCoordinates, Qt::LeftButton);
            QTest::mouseClick(F->btnImport, Qt::LeftButton);
        };
        // Kept: the question of old comes, and is refused.
        Ui.Answers = {true, false};
        ImportE00({Poly, TestData("gdal-autotest/avc/test.e00")}, View);
        if (Keep)
            EXPECT_TRUE(Reported(-1, Poly + ": file is not in Geographic projection"));
        else
            EXPECT_GT(View.GetLayer(View.LayerCount() - 2)->ObjectCount(), 0);
    }
    // Degrees only: the dialog as it was.
    Ui.OnDialog = [](QDialog& D) {
        auto& F = dynamic_cast<TfrmE00Import&>(D);
        F.show();
        EXPECT_EQ(F.size(), QSize(224, 106));
        EXPECT_FALSE(F.lblCoordinates->isVisible());
    };
    Ui.Answers.clear();
    ImportE00({Write("none.e00", "EXP  0 /x.e00\nLAB  2\n        -1         0\n\n")}, View);
}

}  // namespace
