// `orvex import` converting projected files to longitude/latitude, naming the conversion, and
// `--keep-coordinates` keeping the old way.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "../importers/ImportFixtures.h"
#include "CliRunner.h"
#include "importers/SpatialReference.h"

namespace {

std::string Data(const std::string& Relative) { return std::string(ORVEX_SOURCE_DIR) + "/tests/data/" + Relative; }

class ReprojectCommand : public CliFolderTest {
protected:
    // The first point of the first object of a layer file.
    static TPoint3D FirstPoint(const std::string& Path) {
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("");
        L->ChangeFilename(Path);
        return L->ObjectCount() ? L->GetObject(0)->GetPoint(0) : TPoint3D{};
    }
};

TEST_F(ReprojectCommand, TheReportNamesTheConversionAndKeepCoordinatesReadsDegrees) {
    if (!CoordinateConversionAvailable()) GTEST_SKIP() << "built without GDAL";
    const CliResult Bng = RunCli({"import", "-o", File("bng.lyr"), Data("rgdal/scot_BNG.shp")});
    ASSERT_EQ(Bng.Status, 0) << Bng.Err;
    EXPECT_NE(Bng.Err.find(" objects to " + File("bng.lyr") +
                           " (coordinates converted from OSGB 1936 / British National Grid to longitude/latitude)\n"),
              std::string::npos)
        << Bng.Err;

    // UTM zone 60N eastings and northings small enough to pass for degrees.
    TShpBuilder B;
    B.Point(100, 50);
    const std::string Shp = Write("grid.shp", B.Bytes());
    Write("grid.prj",
          "PROJCS[\"WGS_1984_UTM_Zone_60N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
          "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
          "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
          "PARAMETER[\"Central_Meridian\",177.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\","
          "0.0],UNIT[\"Meter\",1.0]]");
    const CliResult Converted = RunCli({"import", "-o", File("converted.lyr"), Shp});
    ASSERT_EQ(Converted.Status, 0) << Converted.Err;
    EXPECT_NE(Converted.Err.find("(coordinates converted from WGS 84 / UTM zone 60N to longitude/latitude)"),
              std::string::npos);
    EXPECT_NE(FirstPoint(File("converted.lyr")), MakePoint(100 * kDeg, 50 * kDeg));
    const CliResult Kept = RunCli({"import", "--keep-coordinates", "-o", File("kept.lyr"), Shp});
    ASSERT_EQ(Kept.Status, 0) << Kept.Err;
    EXPECT_EQ(Kept.Err.find("converted"), std::string::npos) << Kept.Err;
    EXPECT_EQ(FirstPoint(File("kept.lyr")), MakePoint(100 * kDeg, 50 * kDeg));

    // A projected MIF table and a UTM coverage import without being asked anything.
    for (const char* Input : {"gdal-autotest/mitab/multilinemid.mif", "gdal-autotest/avc/testpoly.e00"}) {
        const CliResult R = RunCli({"import", "-o", File("x.lyr"), Data(Input)});
        EXPECT_EQ(R.Status, 0) << R.Err;
        EXPECT_NE(R.Err.find("(coordinates converted from "), std::string::npos) << R.Err;
    }
}

// Files in longitude and latitude, with or without a description of it, give the same layer
// file byte for byte whether their coordinates are kept or not.
TEST_F(ReprojectCommand, GeographicFilesImportByteForByteAsBefore) {
    const std::string Geographic = Write("geo.e00",
                                         "EXP  0 /geo.e00\nLAB  2\n         1         1 1.2500000E+01 3.0250000E+01\n"
                                         " 1.2500000E+01 3.0250000E+01 1.2500000E+01 3.0250000E+01\n"
                                         "        -1         0 0.0000000E+00 0.0000000E+00\n\n"
                                         "PRJ  2\nProjection    GEOGRAPHIC\n~\nUnits         DD\n~\nEOP\n");
    for (const std::string& Input :
         {Data("naturalearth/naturalearth_lowres.shp"), Data("sf/nc.shp"), Data("gdal-autotest/shp/prjwithutf8bom.shp"),
          Data("rgdal/ps_cant_31.MIF"), Data("mapserver-msautotest/tile_index.mif"), Geographic}) {
        SCOPED_TRACE(Input);
        const CliResult Default = RunCli({"import", "-o", File("default.lyr"), Input});
        ASSERT_EQ(Default.Status, 0) << Default.Err;
        EXPECT_EQ(Default.Err.find("converted"), std::string::npos) << Default.Err;
        EXPECT_EQ(Default.Err.find("warning"), std::string::npos) << Default.Err;
        ASSERT_EQ(RunCli({"import", "--keep-coordinates", "-o", File("kept.lyr"), Input}).Status, 0);
        EXPECT_EQ(ReadBytes(File("default.lyr")), ReadBytes(File("kept.lyr")));
    }
}

}  // namespace
