// `orvex render` and `orvex project`: views rendered and queried without a window.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "cli/OrvexCli.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjRegistry.h"
#include "styling/OrvexAttributes.h"
#include "styling/PolygonPresenter.h"
#include "view/Orvex3.h"

namespace {


constexpr int32_t Deg = OrvexUnits::PerDegree;

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("square");
        auto* P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(L, 1, "Red");
        P->PolygonBrush()->SetBrushColor(0x0000FF);  // red
        P->PolygonPen()->SetPenColor(0x0000FF);
        auto* Square = TGeoDataObject::Create(L, P, 1, "square");
        for (auto [X, Y] : {std::pair{0, 0}, {20, 0}, {20, 20}, {0, 20}}) Square->AddPoint(MakePoint(X * Deg, Y * Deg));
        L->SaveToFile(Layer);
    }
    std::string File(const char* Name) const { return PathFromQString(Dir.path()) + "/" + Name; }

    QTemporaryDir Dir;
    std::string Layer = File("square.lyr");
};

TEST_F(RenderCommand, WritesPngsForEveryProjection) {
    for (const char* Projection : {"spherical", "cartesian", "mercator"}) {
        const std::string Png = File((std::string(Projection) + ".png").c_str());
        std::vector<std::string> Args{"render", "--size",  "360x180",      "--projection", Projection, "--grid",
                                      "none",   "--color", "#000000",      "--orvex-color", "#00FF00", "-o",
                                      Png,      Layer};
        // The globe is turned to face (0, 0); flat maps already centre it.
        if (std::string(Projection) == "spherical") Args.insert(Args.begin() + 1, {"--rotation", "0,0,0"});
        const CliResult R = RunCli(Args);
        ASSERT_EQ(R.Status, 0) << Projection << ": " << R.Err;
        QImage Image(QString::fromStdString(Png));
        ASSERT_EQ(Image.size(), QSize(360, 180)) << Projection;
        // The square north-east of the centre is red; the map around it green.
        const QColor Inside = Image.pixelColor(180 + 5, 90 - 5);
        EXPECT_GT(Inside.red(), 200) << Projection;
        EXPECT_LT(Inside.green(), 60) << Projection;
        const QColor Outside = Image.pixelColor(180 - 10, 90 + 10);
        EXPECT_GT(Outside.green(), 200) << Projection;
    }
}

TEST_F(RenderCommand, RendersTheLayersOfAProfile) {
    // The profile names the square beside it and a layer that is gone: the square is
    // drawn and the other layer reported.
    const std::string Profile = File("maps.prf");
    std::ofstream(Profile) << "[LayerList]\n0=square.lyr\n1=./gone.lyr\n";
    const std::string Png = File("profile.png");
    const CliResult R = RunCli({"render", "--size", "360x180", "--projection", "cartesian", "--grid", "none",
                                "--orvex-color", "#00FF00", "-o", Png, Profile});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_NE(R.Err.find("gone.lyr not found"), std::string::npos) << R.Err;
    const QImage Image(QString::fromStdString(Png));
    EXPECT_GT(Image.pixelColor(180 + 5, 90 - 5).red(), 200);
    EXPECT_GT(Image.pixelColor(180 - 10, 90 + 10).green(), 200);

    EXPECT_EQ(RunCli({"render", "-o", Png, Profile, Profile}).Status, 2) << "one profile at a time";
    const CliResult Missing = RunCli({"render", "-o", Png, File("none.prf")});
    EXPECT_EQ(Missing.Status, 1);
    EXPECT_NE(Missing.Err.find("none.prf"), std::string::npos);
}

// The bundled texture seen on the globe and on a flat map: ocean west of Africa, desert in
// the Sahara, ice in the far south.
TEST_F(RenderCommand, TexturedMapsShowTheEarth) {
    auto Blue = [](const QColor& C) { return C.blue() > 2 * C.red() && C.blue() > C.green(); };
    auto Sand = [](const QColor& C) { return C.red() > 150 && C.red() > C.blue() + 40; };
    const struct {
        const char* Projection;
        QPoint Atlantic, Sahara;  // (30 W, 0) and (20 E, 23 N)
    } Rows[] = {{"spherical", {180 - 45, 90}, {180 + 28, 90 - 35}}, {"cartesian", {150, 90}, {200, 67}}};
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Projection);
        const std::string Png = File("earth.png");
        std::vector<std::string> Args{"render", "--size",    "360x180", "--projection", Row.Projection, "--grid",
                                      "none",   "--texture", "default", "-o",           Png};
        // The globe is turned to face (0, 0); flat maps already centre it.
        if (std::string(Row.Projection) == "spherical") Args.insert(Args.begin() + 1, {"--rotation", "0,0,0"});
        const CliResult R = RunCli(Args);
        ASSERT_EQ(R.Status, 0) << R.Err;
        const QImage Image(QString::fromStdString(Png));
        ASSERT_EQ(Image.size(), QSize(360, 180));
        EXPECT_TRUE(Blue(Image.pixelColor(Row.Atlantic))) << Image.pixelColor(Row.Atlantic).name().toStdString();
        EXPECT_TRUE(Sand(Image.pixelColor(Row.Sahara))) << Image.pixelColor(Row.Sahara).name().toStdString();
    }
    const QImage Flat(QString::fromStdString(File("earth.png")));
    EXPECT_GT(Flat.pixelColor(180, 178).lightness(), 180) << "Antarctica";
}

// Every further projection renders a textured map and answers `orvex project`.
TEST_F(RenderCommand, FurtherProjectionsRenderAndProject) {
    for (const char* Projection : {"equidistant", "cylindrical", "behrmann", "peters", "albers", "sinusoidal", "bonne"}) {
        SCOPED_TRACE(Projection);
        const std::string Png = File("further.png");
        const CliResult R = RunCli({"render", "--size", "200x120", "--projection", Projection, "--grid", "none",
                                    "--color", "#000000", "--texture", "default", "-o", Png, Layer});
        ASSERT_EQ(R.Status, 0) << R.Err;
        const QImage Image(QString::fromStdString(Png));
        int Earth = 0;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X) Earth += Image.pixel(X, Y) != qRgb(0, 0, 0);
        EXPECT_GT(Earth, 200 * 120 / 5);

        const CliResult P = RunCli({"project", "--projection", Projection, "--size", "200x120", "10", "20"});
        ASSERT_EQ(P.Status, 0) << P.Err;
        std::istringstream Pixel(P.Out);
        std::string X, Y;
        ASSERT_TRUE(Pixel >> X >> Y) << P.Out;
        const CliResult I = RunCli({"project", "--projection", Projection, "--size", "200x120", "--inverse", "--", X, Y});
        ASSERT_EQ(I.Status, 0) << I.Err;
        double Lon = 0, Lat = 0;
        ASSERT_EQ(std::sscanf(I.Out.c_str(), "%lf %lf", &Lon, &Lat), 2) << I.Out;
        EXPECT_NEAR(Lon, 10, 2);
        EXPECT_NEAR(Lat, 20, 2);
    }
}

TEST_F(RenderCommand, WritesPdf) {
    const std::string Pdf = File("map.pdf");
    const CliResult R = RunCli({"render", "--projection", "cartesian", "-o", Pdf, Layer});
    ASSERT_EQ(R.Status, 0) << R.Err;
    QFile F(QString::fromStdString(Pdf));
    ASSERT_TRUE(F.open(QIODevice::ReadOnly));
    EXPECT_TRUE(F.read(5).startsWith("%PDF"));
}

// --timing and --frames print their lines, and only them, in order; the picture written is the
// first frame, whatever the frames after it do to the view.
TEST_F(RenderCommand, TimingAndFramesPrintTheirLines) {
    static const QRegularExpression Load("^load: \\d+ ms$"), Draw("^draw: \\d+ ms$"), Write("^write: \\d+ ms$"),
        Frames("^frames: median \\d+ ms, max \\d+ ms$");
    const std::string Plain = File("plain.png"), Timed = File("timed.png");
    const struct {
        const char* Name;
        std::vector<std::string> Options;
        std::vector<const QRegularExpression*> Lines;
    } Rows[] = {
        {"timing alone", {"--timing"}, {&Load, &Draw, &Write}},
        {"frames alone", {"--frames", "3", "--motion", "pan"}, {&Frames}},
        {"both, zooming", {"--timing", "--frames", "4", "--motion", "zoom"}, {&Load, &Draw, &Write, &Frames}},
        {"both, rotating", {"--motion", "rotate", "--frames", "1", "--timing"}, {&Load, &Draw, &Write, &Frames}},
    };
    for (const char* Projection : {"spherical", "cartesian"}) {
        const std::vector<std::string> Common{"render", "--size", "200x100", "--projection", Projection, Layer};
        auto With = [&](std::vector<std::string> Args, const std::vector<std::string>& More) {
            Args.insert(Args.end(), More.begin(), More.end());
            return Args;
        };
        ASSERT_EQ(RunCli(With(Common, {"-o", Plain})).Status, 0);
        const QImage First(QString::fromStdString(Plain));
        for (const auto& Row : Rows) {
            SCOPED_TRACE(std::string(Projection) + ", " + Row.Name);
            const CliResult R = RunCli(With(With(Common, Row.Options), {"-o", Timed}));
            ASSERT_EQ(R.Status, 0) << R.Err;
            EXPECT_EQ(R.Out, "");
            const QStringList Lines = QString::fromStdString(R.Err).split('\n', Qt::SkipEmptyParts);
            ASSERT_EQ(size_t(Lines.size()), Row.Lines.size()) << R.Err;
            for (size_t I = 0; I < Row.Lines.size(); ++I)
                EXPECT_TRUE(Row.Lines[I]->match(Lines[qsizetype(I)]).hasMatch()) << Lines[qsizetype(I)].toStdString();
            EXPECT_TRUE(QImage(QString::fromStdString(Timed)) == First) << "the first frame is written";
        }
    }
}

TEST_F(RenderCommand, AntialiasDrawsSmoothlyAndJpegIsWritten) {
    // Off, the globe's rim and the square's curved edges keep to the three colours.
    for (const bool Smooth : {false, true}) {
        SCOPED_TRACE(Smooth);
        const std::string Png = File("globe.png");
        std::vector<std::string> Args{"render", "--size", "200x200", "--rotation", "0,0,0", "--grid", "none",
                                      "--color", "#000000", "--orvex-color", "#00FF00", "-o", Png, Layer};
        if (Smooth) Args.insert(Args.begin() + 1, "--antialias");
        const CliResult R = RunCli(Args);
        ASSERT_EQ(R.Status, 0) << R.Err;
        const QImage Image(QString::fromStdString(Png));
        int Blends = 0;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X) {
                const QRgb C = Image.pixel(X, Y) & 0xFFFFFF;
                Blends += C != 0 && C != 0xFF0000 && C != 0x00FF00;
            }
        if (Smooth)
            EXPECT_GT(Blends, 50);
        else
            EXPECT_EQ(Blends, 0);
    }
    const std::string Jpeg = File("globe.JPEG");
    const CliResult R = RunCli({"render", "--size", "320x160", "-o", Jpeg, Layer});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(QImage(QString::fromStdString(Jpeg), "JPG").size(), QSize(320, 160));
}

TEST_F(RenderCommand, OptionErrorsAreUsageErrorsAndOtherFailuresStatus1) {
    const std::string Png = File("x.png");
    const std::vector<std::vector<std::string>> UsageErrors = {
        {"render", Layer},
        {"render", "--size", "0x5", "-o", Png, Layer},
        {"render", "--projection", "gnomonic", "-o", Png, Layer},
        {"render", "--color", "red", "-o", Png, Layer},
        {"render", "-o", File("x.gif"), Layer},
        {"render", "--rotation", "1,2", "-o", Png, Layer},
        {"render", "--center", "500,0", "-o", Png, Layer},
        {"render", "--frames", "0", "--motion", "pan", "-o", Png, Layer},
        {"render", "--frames", "2.5", "--motion", "pan", "-o", Png, Layer},
        {"render", "--frames", "100001", "--motion", "pan", "-o", Png, Layer},
        {"render", "--frames", "5", "-o", Png, Layer},
        {"render", "--motion", "pan", "-o", Png, Layer},
        {"render", "--frames", "5", "--motion", "spin", "-o", Png, Layer},
        {"render", "--frames", "-o", Png, Layer},
        {"project", "0", "0"},
        {"project", "--projection", "cartesian", "1"},
        {"project", "--projection", "cartesian", "--altitude", "-3", "1", "2"},
    };
    for (const auto& Args : UsageErrors) {
        const CliResult R = RunCli(Args);
        std::string Line;
        for (const std::string& A : Args) Line += A + ' ';
        SCOPED_TRACE(Line);
        EXPECT_EQ(R.Status, 2) << R.Err;
        EXPECT_EQ(R.Out, "");
        EXPECT_NE(R.Err.find("Usage: orvex " + Args[0] + " "), std::string::npos) << R.Err;
        EXPECT_NE(R.Err.find("Try 'orvex --help'"), std::string::npos) << R.Err;
    }
    const CliResult Missing = RunCli({"render", "-o", Png, File("none.lyr")});
    const CliResult NoTexture = RunCli({"render", "--texture", File("none.bmp"), "-o", Png, Layer});
    EXPECT_EQ(NoTexture.Status, 1);
    EXPECT_NE(NoTexture.Err.find("not found"), std::string::npos) << NoTexture.Err;
    const CliResult NotBitmap = RunCli({"render", "--texture", Layer, "-o", Png, Layer});
    EXPECT_EQ(NotBitmap.Status, 1);
    EXPECT_NE(NotBitmap.Err.find("256-colour"), std::string::npos) << NotBitmap.Err;
    EXPECT_EQ(Missing.Status, 1);
    EXPECT_NE(Missing.Err.find("not found"), std::string::npos) << Missing.Err;
    EXPECT_EQ(Missing.Err.find("Usage"), std::string::npos) << Missing.Err;
}

// Counts what Qt reports while it is installed.
class TQtMessages {
public:
    TQtMessages() {
        Count = 0;
        Previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++Count; });
    }
    ~TQtMessages() { qInstallMessageHandler(Previous); }
    static inline int Count = 0;

private:
    QtMessageHandler Previous;
};

TEST_F(RenderCommand, AnOutputThatCannotBeWrittenFailsAndKeepsTheOldFile) {
    for (const char* Name : {"x.pdf", "x.png"}) {
        SCOPED_TRACE(Name);
        const std::string Out = File("missing/dir/") + Name;
        TQtMessages Qt;
        const CliResult R = RunCli({"render", "-o", Out, Layer});
        EXPECT_EQ(R.Status, 1);
        EXPECT_EQ(R.Err, "orvex render: cannot write '" + Out + "'\n");
        EXPECT_EQ(TQtMessages::Count, 0) << "no painter warnings";
        EXPECT_FALSE(QFile::exists(QString::fromStdString(Out)));
    }

    // Files may not grow past 200 bytes: the new picture cannot be written in full.
    for (const char* Name : {"keep.pdf", "keep.png"}) {
        SCOPED_TRACE(Name);
        const std::string Out = File(Name);
        {
            QFile F(QString::fromStdString(Out));
            ASSERT_TRUE(F.open(QIODevice::WriteOnly));
            F.write("old");
        }
        rlimit Limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Limit), 0);
        const rlimit Saved = Limit;
        Limit.rlim_cur = 200;
        auto* OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limit), 0);
        const CliResult R = RunCli({"render", "--size", "300x200", "-o", Out, Layer});
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, OldHandler);
        EXPECT_EQ(R.Status, 1) << R.Err;
        QFile F(QString::fromStdString(Out));
        ASSERT_TRUE(F.open(QIODevice::ReadOnly));
        EXPECT_EQ(F.readAll(), "old");
    }
}

TEST(ProjectCommand, ForwardAndInverseOnAFlatMap) {
    const CliResult R =
        RunCli({"project", "--projection", "cartesian", "--size", "360x180", "0", "0", "-180", "90", "--", "-90", "-45"});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "180 90\n0 0\n90 135\n");
    const CliResult I = RunCli({"project", "--projection", "cartesian", "--size", "360x180", "--inverse", "180", "90",
                                "90", "135", "5000", "5000"});
    ASSERT_EQ(I.Status, 0) << I.Err;
    EXPECT_EQ(I.Out, "0.000000 0.000000\n-90.000000 -45.000000\n-\n");
}

TEST(ProjectCommand, TheFarSideOfTheSphereIsNotPlaced) {
    const CliResult R =
        RunCli({"project", "--projection", "spherical", "--size", "200x200", "--rotation", "0,0,0", "0", "0", "180", "0"});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Out, "100 100\n-\n");
}

TEST(ProjectCommand, ProjectionsAreTheRegistrysAndNamedInTheHelp) {
    const std::string Help = RunCli({"--help"}).Out;
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        SCOPED_TRACE(P.Key);
        const CliResult R = RunCli({"project", "--projection", P.Key, "--size", "200x100", "0", "0"});
        EXPECT_EQ(R.Status, 0) << R.Err;
        EXPECT_NE(Help.find(P.Key), std::string::npos);
    }
    EXPECT_NE(Help.find("--projection " + ProjectionKeys("|")), std::string::npos) << Help;
    EXPECT_EQ(RunCli({"project", "--projection", "Mercator", "0", "0"}).Status, 0) << "names match in any case";
    const CliResult Usage = RunCli({"project", "--help"});
    EXPECT_EQ(Usage.Status, 0);
    EXPECT_EQ(Usage.Out.find("Usage: orvex project --projection " + ProjectionKeys("|")), 0u) << Usage.Out;
}

}  // namespace
