// The `orvex` program as a whole process: what it loads and what it prints on a plain start,
// and where it finds the GDAL module.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <string>

#include "importers/GdalIO.h"
#include "importers/GdalLoader.h"
#include "platform/Text.h"

namespace {

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    std::string File(const std::string& Name) const { return PathFromQString(Dir.path()) + "/" + Name; }

    struct TRun {
        int Status = -1;
        std::string Err;
        std::string Loaded;  // the dynamic loader's record of every file it opened
    };
    // Runs Program as a shell would with no session around it: no runtime folder, no platform
    // chosen.
    TRun Run(const std::string& Program, const QStringList& Args) const {
        const QString Log = Dir.path() + "/loader";
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.remove("XDG_RUNTIME_DIR");
        Env.remove("QT_QPA_PLATFORM");
        Env.insert("LD_DEBUG", "files");
        Env.insert("LD_DEBUG_OUTPUT", Log);
        QProcess P;
        P.setProcessEnvironment(Env);
        P.start(PathToQString(Program), Args);
        TRun R;
        if (!P.waitForFinished(120000)) return R;
        R.Status = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
        R.Err = P.readAllStandardError().toStdString();
        // One log per process, named after its id.
        for (const QString& Name : QDir(Dir.path()).entryList({"loader.*"}, QDir::Files)) {
            QFile F(Dir.path() + "/" + Name);
            if (F.open(QIODevice::ReadOnly)) R.Loaded += F.readAll().toStdString();
            F.remove();
        }
        return R;
    }
    static bool Has(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }

    QTemporaryDir Dir;
};

TEST_F(ProgramStart, CommandsStartQuietlyAndLoadGdalOnlyWhenTheyNeedIt) {
    std::ofstream(File("places.geojson"))
        << R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},)"
           R"("geometry":{"type":"Point","coordinates":[13.4,52.5]}}]})";
    const std::string Small = std::string(ORVEX_SOURCE_DIR) + "/data/cities.lyr";
    struct TRow {
        QStringList Args;
        bool Gdal;              // needs it
        int StatusWithoutGdal;  // in a build without it
        bool Commands;          // needs the commands module, and with it the GUI libraries
    };
    const TRow Rows[] = {
        {{"--version"}, false, 0, false},
        {{"info", PathToQString(Small)}, false, 0, false},
        {{"info", "--json", "--no-points", PathToQString(Small)}, false, 0, false},
        {{"project", "--projection", "mercator", "10", "20"}, false, 0, true},
        {{"import", "-o", PathToQString(File("places.lyr")), PathToQString(File("places.geojson"))}, true, 2, true},
        {{"export", PathToQString(Small), PathToQString(File("cities.geojson"))}, true, 1, true},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.Args.join(' ').toStdString());
        const TRun Result = Run(ORVEX_PROGRAM, R.Args);
        ASSERT_NE(Result.Loaded, "") << "no record from the dynamic loader";
        EXPECT_EQ(Result.Status, GdalAvailable() ? 0 : R.StatusWithoutGdal) << Result.Err;
        // Commands that say what they did do so on standard error; nothing else may be there.
        if (!R.Gdal) {
            EXPECT_EQ(Result.Err, "");
        }
        EXPECT_FALSE(Has(Result.Err, "XDG_RUNTIME_DIR")) << Result.Err;
        EXPECT_EQ(Has(Result.Loaded, "libgdal"), R.Gdal && GdalAvailable());
        EXPECT_EQ(Has(Result.Loaded, kGdalModuleName), R.Gdal && GdalAvailable());
        EXPECT_EQ(Has(Result.Loaded, "orvex-commands.so"), R.Commands);
        // Under the sanitizers every call of the model into its view names the view's type for
        // the type check, which links the view and its GUI libraries into the program itself:
        // their absence is a property of the plain build.
        if (!Has(Result.Loaded, "libasan")) {
            EXPECT_EQ(Has(Result.Loaded, "libQt6Gui"), R.Commands) << "the GUI libraries";
            EXPECT_EQ(Has(Result.Loaded, "libQt6Widgets"), R.Commands) << "the GUI libraries";
        }
        // Nothing is shown: no display is asked for, no font configuration read.
        EXPECT_FALSE(Has(Result.Loaded, "libqxcb")) << "a display platform";
        EXPECT_FALSE(Has(Result.Loaded, "libqoffscreen")) << "a drawing platform";
    }
}

// The process ends as soon as render is done, without taking its view apart: what it printed
// and the picture must all be there, and nothing else.
TEST_F(ProgramStart, RenderEndsWithEveryLinePrintedAndOnlyThePictureWritten) {
    const std::string Png = File("zoë.png");
    const TRun R = Run(ORVEX_PROGRAM, {"render", "--timing", "--frames", "2", "--motion", "zoom", "--size", "300x200",
                                       "-o", PathToQString(Png), ORVEX_SOURCE_DIR "/data/world.lyr"});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 4) << R.Err;
    EXPECT_TRUE(Has(R.Err, "\nframes: median ")) << R.Err;
    EXPECT_EQ(QImage(PathToQString(Png)).size(), QSize(300, 200));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"zoë.png"}) << "no temporary file";
}

// Where the program's modules are: beside it in the build tree, in ../lib/orvex when installed.
std::string BuiltModule(const char* Name) {
    return (QFileInfo(ORVEX_PROGRAM).absolutePath() + "/" + Name).toStdString();
}

TEST_F(ProgramStart, WithoutItsCommandsModuleTheProgramStillSummarisesLayerFilesAndNamesWhatIsMissing) {
    const std::string Root = File("zoë"), Program = Root + "/bin/orvex";
    ASSERT_TRUE(QDir().mkpath(PathToQString(Root + "/bin")));
    ASSERT_TRUE(QFile::copy(ORVEX_PROGRAM, PathToQString(Program)));
    const QString Small = ORVEX_SOURCE_DIR "/data/cities.lyr";

    EXPECT_EQ(Run(Program, {"--version"}).Status, 0);
    TRun R = Run(Program, {"info", Small});
    EXPECT_EQ(R.Status, 0) << R.Err;
    for (const QStringList& Args : {QStringList{"--help"}, QStringList{"info", ORVEX_SOURCE_DIR "/data/missing.lyr"}}) {
        SCOPED_TRACE(Args.join(' ').toStdString());
        R = Run(Program, Args);
        EXPECT_EQ(R.Status, 1);
        EXPECT_TRUE(Has(R.Err, "the commands module orvex-commands.so is not installed")) << R.Err;
    }

    ASSERT_TRUE(QDir().mkpath(PathToQString(Root + "/lib/orvex")));
    ASSERT_TRUE(QFile::link(PathToQString(BuiltModule("orvex-commands.so")),
                            PathToQString(Root + "/lib/orvex/orvex-commands.so")));
    R = Run(Program, {"info", ORVEX_SOURCE_DIR "/data/missing.lyr"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(Has(R.Err, "orvex info: ")) << "the failure in the commands' words: " << R.Err;

    // A file that is no module is named with the reason.
    std::ofstream(Root + "/bin/orvex-commands.so") << "not a library";
    R = Run(Program, {"project", "--projection", "mercator", "10", "20"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(Has(R.Err, "cannot load " + Root + "/bin/orvex-commands.so: ")) << R.Err;
}

TEST_F(ProgramStart, TheGdalModuleIsFoundBesideTheProgramOrInItsLibFolder) {
#ifdef ORVEX_HAVE_GDAL
    // An installation of the program and its commands, in a folder whose name is not ASCII.
    const std::string Root = File("zoë"), Program = Root + "/bin/orvex";
    ASSERT_TRUE(QDir().mkpath(PathToQString(Root + "/bin")));
    ASSERT_TRUE(QDir().mkpath(PathToQString(Root + "/lib/orvex")));
    ASSERT_TRUE(QFile::copy(ORVEX_PROGRAM, PathToQString(Program)));
    ASSERT_TRUE(QFile::link(PathToQString(BuiltModule("orvex-commands.so")),
                            PathToQString(Root + "/lib/orvex/orvex-commands.so")));
    const std::string Module = BuiltModule(kGdalModuleName);
    const QStringList Export{"export", ORVEX_SOURCE_DIR "/data/cities.lyr", PathToQString(File("out.gpkg"))};

    TRun R = Run(Program, Export);
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(Has(R.Err, std::string("no orvex-gdal.so in ") + Root + "/bin or " + Root + "/lib/orvex")) << R.Err;

    ASSERT_TRUE(QFile::link(PathToQString(Module), PathToQString(Root + "/lib/orvex/orvex-gdal.so")));
    R = Run(Program, Export);
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_TRUE(Has(R.Err, "Exported 243 objects")) << R.Err;

    // One beside the program comes first, and a file that is no module is named with the reason.
    std::ofstream(Root + "/bin/orvex-gdal.so") << "not a library";
    R = Run(Program, Export);
    EXPECT_EQ(R.Status, 1);
    EXPECT_TRUE(Has(R.Err, "cannot load the GDAL module " + Root + "/bin/orvex-gdal.so: ")) << R.Err;
    EXPECT_TRUE(Has(R.Err, "file too short") || Has(R.Err, "invalid ELF header")) << R.Err;
#endif
}

}  // namespace
