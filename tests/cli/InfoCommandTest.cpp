// `orvex info` on layer files written by the model.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
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
    TOrvex3 View;
    TOrvexLayer* Loaded = View.AddLayer("");
    Loaded->ChangeFilename(Path);
    const TExtent& E = Loaded->Extents();
    EXPECT_EQ(Root["extent"].toArray(), (QJsonArray{E.Left, E.Bottom, E.Width, E.Height}));

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

}  // namespace
