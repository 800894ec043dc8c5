// `orvex render` and `orvex project`: views rendered and queried without a window.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "cli/OrvexCli.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
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
    std::string File(const char* Name) const { return (Dir.path() + "/" + Name).toStdString(); }

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

TEST_F(RenderCommand, WritesPdfAndReportsTiming) {
    const std::string Pdf = File("map.pdf");
    const CliResult R = RunCli({"render", "--projection", "cartesian", "--timing", "-o", Pdf, Layer});
    ASSERT_EQ(R.Status, 0) << R.Err;
    EXPECT_NE(R.Err.find(" ms"), std::string::npos);
    QFile F(QString::fromStdString(Pdf));
    ASSERT_TRUE(F.open(QIODevice::ReadOnly));
    EXPECT_TRUE(F.read(5).startsWith("%PDF"));
}

TEST_F(RenderCommand, BadInputGoesToStandardErrorWithStatus1) {
    EXPECT_EQ(RunCli({"render", Layer}).Status, 1) << "no output";
    EXPECT_EQ(RunCli({"render", "--size", "0x5", "-o", File("x.png"), Layer}).Status, 1);
    EXPECT_EQ(RunCli({"render", "--projection", "bonne", "-o", File("x.png"), Layer}).Status, 1);
    EXPECT_EQ(RunCli({"render", "--color", "red", "-o", File("x.png"), Layer}).Status, 1);
    const CliResult Missing = RunCli({"render", "-o", File("x.png"), File("none.lyr")});
    EXPECT_EQ(Missing.Status, 1);
    EXPECT_NE(Missing.Err.find("not found"), std::string::npos) << Missing.Err;
    EXPECT_EQ(RunCli({"render", "-o", File("x.gif"), Layer}).Status, 1);
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
    EXPECT_EQ(RunCli({"project", "0", "0"}).Status, 1) << "the projection is required";
    EXPECT_EQ(RunCli({"project", "--projection", "cartesian", "1"}).Status, 1) << "pairs";
}

}  // namespace
