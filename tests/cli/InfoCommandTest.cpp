// `orvex info` on layer files written by the model.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "cli/Front.h"
#include "cli/LayerSummary.h"
#include "cli/OrvexCli.h"
#include "model/BitmapObject.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/PointPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {


constexpr int32_t Min = OrvexUnits::PerMinute;

class InfoCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("ignored");
        auto* Roads = TOrvexPresenter::CreateNamed<TPolylinePresenter>(L, 4, "Roads");
        auto* Towns = TOrvexPresenter::CreateNamed<TPointPresenter>(L, 9, "Towns \"big\"");
        auto* Road = TGeoDataObject::Create(L, Roads, 17, "A\t\"1\"\n\x01");
        for (int I = 0; I < 3; ++I) Road->AddPoint(MakePoint(I * Min, 60 * Min, I == 2 ? 5 : 0));
        TGeoDataObject::Create(L, Towns, 0, "Z\xC3\xBCrich")->AddPoint(MakePoint(-Min, -Min));
        auto* Bmp = TBitmapObject::Create(L, nullptr, 0, "Caf\xE9");
        Bmp->SetFeatureID(333);
        Bmp->SetPoint(MakePoint(5 * Min, 6 * Min));
        L->SaveToFile(Path);
    }

    QTemporaryDir Dir;
    const std::string Path = Dir.filePath("sample.lyr").toStdString();
};

TEST_F(InfoCommand, SummaryCountsByClass) {
    const CliResult R = RunCli({"info", Path});
    EXPECT_EQ(R.Status, 0) << R.Err;
    EXPECT_EQ(R.Err, "");
    for (const char* Line : {"Layer: sample\n", "Presenters: 2\n", "  TPointPresenter: 1\n",
                             "  TPolylinePresenter: 1\n", "Objects: 3 (5 points)\n",
                             "  TBitmapObject: 1 objects, 1 points\n", "  TGeoDataObject: 2 objects, 4 points\n"})
        EXPECT_NE(R.Out.find(Line), std::string::npos) << Line << "in\n" << R.Out;
    const QRegularExpression ExtentLine(R"(\nExtent: left -?\d+\.\d{6}, bottom -?\d+\.\d{6}, width \d+\.\d{6}, )"
                                        R"(height \d+\.\d{6} \(degrees\)\n)");
    EXPECT_TRUE(ExtentLine.match(QString::fromStdString(R.Out)).hasMatch()) << R.Out;
}

TEST_F(InfoCommand, JsonListsEverythingInFileOrder) {
    const CliResult R = RunCli({"info", "--json", Path});
    ASSERT_EQ(R.Status, 0) << R.Err;
    QJsonParseError Error;
    const QJsonDocument Doc = QJsonDocument::fromJson(QByteArray::fromStdString(R.Out), &Error);
    ASSERT_EQ(Error.error, QJsonParseError::NoError) << Error.errorString().toStdString() << "\n" << R.Out;
    const QJsonObject Root = Doc.object();
    EXPECT_EQ(Root["name"].toString(), "sample");
    // The file records no extent: it is the data's, the points and a unit around them, not
    // widened by symbol sizes at some view's scale.
    EXPECT_EQ(Root["extent"].toArray(), (QJsonArray{-Min - 2, -Min - 2, 6 * Min + 3, 61 * Min + 3}));

    const QJsonArray Presenters = Root["presenters"].toArray();
    ASSERT_EQ(Presenters.size(), 2);
    EXPECT_EQ(Presenters[0].toObject()["class"].toString(), "TPointPresenter");
    EXPECT_EQ(Presenters[0].toObject()["name"].toString(), "Towns \"big\"");
    EXPECT_EQ(Presenters[1].toObject()["featureId"].toInt(), 4);

    const QJsonArray Objects = Root["objects"].toArray();
    ASSERT_EQ(Objects.size(), 3);
    const QJsonObject Bmp = Objects[0].toObject();
    EXPECT_EQ(Bmp["class"].toString(), "TBitmapObject");
    EXPECT_EQ(Bmp["title"].toString(), QString::fromUtf8("Caf\xC3\xA9")) << "not UTF-8: read as Latin-1";
    EXPECT_TRUE(Bmp["presenter"].isNull());
    EXPECT_EQ(Bmp["featureId"].toInt(), 333);
    EXPECT_EQ(Bmp["flags"].toInt(), 0x09);
    EXPECT_EQ(Bmp["points"].toArray(), (QJsonArray{QJsonArray{5 * Min, 6 * Min, 0}}));

    const QJsonObject Road = Objects[1].toObject();
    EXPECT_EQ(Road["title"].toString(), QString("A\t\"1\"\n\x01"));
    EXPECT_EQ(Road["id"].toInt(), 17);
    EXPECT_EQ(Road["presenter"].toString(), "Roads");
    EXPECT_EQ(Road["flags"].toInt(), 0x03 | 0x04);
    EXPECT_EQ(Road["points"].toArray().size(), 3);
    EXPECT_EQ(Road["points"].toArray()[2].toArray(), (QJsonArray{2 * Min, 60 * Min, 5}));
    EXPECT_EQ(Objects[2].toObject()["title"].toString(), QString::fromUtf8("Z\xC3\xBCrich"));

    const CliResult Bare = RunCli({"info", "--no-points", "--json", Path});
    ASSERT_EQ(Bare.Status, 0);
    const QJsonArray BareObjects = QJsonDocument::fromJson(QByteArray::fromStdString(Bare.Out))["objects"].toArray();
    ASSERT_EQ(BareObjects.size(), 3);
    for (const QJsonValue& O : BareObjects) EXPECT_FALSE(O.toObject().contains("points"));
}

TEST_F(InfoCommand, EveryOutputEndsWithANewline) {
    TOrvex3 View;
    const std::string Empty = Dir.filePath("empty.lyr").toStdString();
    View.AddLayer("")->SaveToFile(Empty);
    for (const std::string& File : {Path, Empty})
        for (const std::vector<std::string>& Options :
             {std::vector<std::string>{}, {"--json"}, {"--json", "--no-points"}, {"--no-points"}}) {
            std::vector<std::string> Args{"info"};
            Args.insert(Args.end(), Options.begin(), Options.end());
            Args.push_back(File);
            const CliResult R = RunCli(Args);
            ASSERT_EQ(R.Status, 0) << R.Err;
            ASSERT_FALSE(R.Out.empty());
            EXPECT_EQ(R.Out.back(), '\n') << R.Out;
        }
}

TEST_F(InfoCommand, FailuresGoToStandardError) {
    const std::string Missing = Dir.filePath("missing.lyr").toStdString();
    CliResult R = RunCli({"info", Missing});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, "orvex info: LoadFromFile: File " + Missing + " not found\n");

    // A name that is not UTF-8 is shown as its Latin-1 reading, in UTF-8.
    const std::string Dir8 = PathFromQString(Dir.path()) + "/";
    R = RunCli({"info", Dir8 + "caf\xE9.lyr"});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Err, "orvex info: LoadFromFile: File " + Dir8 + "caf\xC3\xA9.lyr not found\n");

    const std::string Old = Dir.filePath("old.lyr").toStdString();
    {
        QFile F(QString::fromStdString(Old));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QByteArray("\x00\x02", 2));
    }
    R = RunCli({"info", "--json", Old});
    EXPECT_EQ(R.Status, 1);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, "orvex info: LoadFromFile: Invalid File Version 200 in old.lyr\n");

    for (const std::initializer_list<std::string>& Args :
         {std::initializer_list<std::string>{"info"}, {"info", "--pretty", Path}, {"info", Path, Path}}) {
        R = RunCli(Args);
        EXPECT_EQ(R.Status, 2) << R.Err;
        EXPECT_EQ(R.Out, "");
        EXPECT_NE(R.Err.find("Usage: orvex info [--json]"), std::string::npos) << R.Err;
        EXPECT_NE(R.Err.find("Try 'orvex --help'"), std::string::npos) << R.Err;
    }
}

// The program reads layer files itself, outside any view; what it prints must be what a view
// makes of the file: the global presenters a view falls back on, the same points and extent.
TEST_F(InfoCommand, TheProgramReadsLayerFilesOutsideAnyViewAsAViewReadsThem) {
    const std::string Globals = Dir.filePath("globals.lyr").toStdString();
    {
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("");
        TOrvexPresenter::CreateNamed<TPolylinePresenter>(L, 2, "Own");
        auto* Area = TGeoDataObject::Create(L, View.GlobalLayer()->FindPresenter("", -3), 1, "area");
        for (int I = 0; I < 4; ++I) Area->AddPoint(MakePoint(I % 2 * Min, I / 2 * Min));
        auto* Stray = TGeoDataObject::Create(L, nullptr, 2, "no presenter 77");
        Stray->AddPoint(MakePoint(0, 0));
        Stray->AddPoint(MakePoint(Min, Min));
        Stray->SetFeatureID(77);
        TGeoDataObject::Create(L, View.GlobalLayer()->FindPresenter("", -1), 3, "town")->AddPoint(MakePoint(Min, 0));
        L->SaveToFile(Globals);
    }
    const auto InView = [](const std::string& File, bool WithPoints) {
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("");
        L->ChangeFilename(File);
        std::ostringstream Out;
        orvex::cli::PrintLayerJson(*L, WithPoints, Out);
        return Out.str();
    };
    // Everything but an extent the file does not record, which a view widens by its symbols.
    const auto Records = [](const std::string& Json) { return Json.substr(Json.find("\"presenters\"")); };
    for (const std::string& File : {Path, Globals, std::string(ORVEX_SOURCE_DIR) + "/data/world.lyr"})
        for (const bool WithPoints : {true, false}) {
            SCOPED_TRACE(File);
            std::ostringstream Out;
            orvex::cli::PrintLayerFile({true, WithPoints, File.c_str(), ""}, Out);
            if (File.ends_with("world.lyr"))
                EXPECT_EQ(Out.str(), InView(File, WithPoints));
            else
                EXPECT_EQ(Records(Out.str()), Records(InView(File, WithPoints)));
        }
    EXPECT_NE(InView(Globals, false).find("\"presenter\": \"GlobalPolylinePresenter\""), std::string::npos);

    // Saved outside a view, the layer writes every record (not only its header).
    const std::string Copy = Dir.filePath("copy.lyr").toStdString();
    {
        TOrvexLayer L(nullptr);
        L.SetFilename(Globals);
        L.SaveToFile(Copy);
    }
    EXPECT_EQ(Records(InView(Copy, true)), Records(InView(Globals, true)));
}

// What the program answers itself, it answers as the commands do; everything else, help and
// every mistake included, it leaves to them without printing a word.
TEST_F(InfoCommand, TheProgramAnswersOnlyVersionAndLayerSummariesItself) {
    const std::string Upper = Dir.filePath("SAMPLE.LYR").toStdString();
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Path), QString::fromStdString(Upper)));
    const std::string Broken = Dir.filePath("broken.lyr").toStdString();
    std::ofstream(Broken, std::ios::binary) << std::string("\x00\x03\x01", 3);
    struct TRow {
        std::vector<std::string> Args;
        bool Itself;
    };
    const TRow Rows[] = {
        {{"--version"}, true},
        {{"info", Path}, true},
        {{"info", "--json", Upper}, true},
        {{"info", "--no-points", "--json", Path}, true},
        {{}, false},
        {{"--help"}, false},
        {{"--version", "extra"}, false},
        {{"info"}, false},
        {{"info", "--help"}, false},
        {{"info", "--bogus", Path}, false},
        {{"info", Path, Path}, false},
        {{"info", Dir.filePath("missing.lyr").toStdString()}, false},
        {{"info", Broken}, false},
        {{"info", Dir.filePath("sample.shp").toStdString()}, false},
        {{"project", "--projection", "mercator", "1", "2"}, false},
    };
    for (const TRow& R : Rows) {
        std::vector<std::string> Args = R.Args;
        SCOPED_TRACE(testing::PrintToString(Args));
        Args.insert(Args.begin(), "orvex");
        std::vector<char*> Argv;
        for (std::string& A : Args) Argv.push_back(A.data());
        Argv.push_back(nullptr);
        std::ostringstream Out;
        const std::optional<int> Status =
            orvex::cli::RunWithoutCommandsModule(static_cast<int>(Args.size()), Argv.data(), Out);
        ASSERT_EQ(Status.has_value(), R.Itself);
        if (!R.Itself) {
            EXPECT_EQ(Out.str(), "");
            continue;
        }
        const CliResult Commands = RunCli(R.Args);
        EXPECT_EQ(*Status, Commands.Status);
        EXPECT_EQ(Out.str(), Commands.Out);
    }
}

}  // namespace
