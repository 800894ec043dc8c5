// Folder and file names outside ASCII through every `orvex` command that takes files: the
// names are the file system's bytes from the command line to the file and back.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "CliRunner.h"
#include "importers/GdalIO.h"

namespace {

namespace fs = std::filesystem;

// Each name serves once as a folder and once as a file. The last is "Zürich" in Latin-1
// bytes, as an old archive may unpack it: no valid UTF-8, so only bytes passed on as they are
// reach it.
const struct {
    const char* Folder;
    const char* File;
} Names[] = {{"zoë", "Zürich"}, {"Zürich", "zoë"}, {"Москва", "東京"}, {"東京", "Москва"}, {"Z\xFCrich", "Z\xFCrich"}};

TEST(CliFileNames, EveryCommandReachesTheFilesItIsGiven) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const std::string Mif = "Version 300\nCoordSys Earth Projection 1, 104\nData\nPoint 1 2\nPoint 3 4\n";
    for (const auto& R : Names) {
        SCOPED_TRACE(R.Folder + std::string("/") + R.File);
        const std::string Sub = PathFromQString(Dir.path()) + "/" + R.Folder + "/";
        ASSERT_TRUE(fs::create_directory(Sub));
        const std::string Base = Sub + R.File;
        std::ofstream(Base + ".mif", std::ios::binary) << Mif;
        std::ofstream(Sub + "second.mif", std::ios::binary) << Mif;

        // import: -o a file, and -o a folder for several inputs.
        CliResult C = RunCli({"import", "-o", Base + ".lyr", Base + ".mif"});
        ASSERT_EQ(C.Status, 0) << C.Err;
        EXPECT_TRUE(fs::is_regular_file(Base + ".lyr"));
        C = RunCli({"import", "-o", Sub + R.File, Base + ".mif", Sub + "second.mif"});
        ASSERT_EQ(C.Status, 0) << C.Err;
        EXPECT_TRUE(fs::is_regular_file(Sub + R.File + "/" + R.File + ".lyr"));
        EXPECT_TRUE(fs::is_regular_file(Sub + R.File + "/second.lyr"));

        // info, of a layer file and of an input it imports on the way.
        for (const std::string& In : {Base + ".lyr", Base + ".mif"}) {
            C = RunCli({"info", In});
            EXPECT_EQ(C.Status, 0) << C.Err;
            EXPECT_NE(C.Out.find("Objects: 2"), std::string::npos) << C.Out;
        }

        // render: a layer file, a texture and a profile that lists the layer beside it.
        fs::copy_file(std::string(ORVEX_SOURCE_DIR) + "/data/earth.bmp", Base + ".bmp");
        std::ofstream(Base + ".prf", std::ios::binary) << "[LayerList]\n0=" << R.File << ".lyr\n";
        for (const std::string& In : {Base + ".lyr", Base + ".prf"}) {
            fs::remove(Base + ".png");
            C = RunCli({"render", "--size", "64x48", "--texture", Base + ".bmp", "-o", Base + ".png", In});
            EXPECT_EQ(C.Status, 0) << C.Err;
            EXPECT_EQ(C.Err.find("left out"), std::string::npos) << C.Err;
            EXPECT_TRUE(fs::is_regular_file(Base + ".png")) << In;
        }

        if (GdalAvailable()) {
            C = RunCli({"export", Base + ".lyr", Base + ".geojson"});
            EXPECT_EQ(C.Status, 0) << C.Err;
            C = RunCli({"import", "-o", Base + "-back.lyr", Base + ".geojson"});
            EXPECT_EQ(C.Status, 0) << C.Err;
            EXPECT_TRUE(fs::is_regular_file(Base + "-back.lyr"));
        }
    }
}

}  // namespace
