// The tool under locales that write ',' before decimals: what it prints and what it reads on
// its command line are the same as in the "C" locale, so that other programs can read it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TestLocale.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

class CliInCommaLocale : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        TOrvex3 View;
        TOrvexLayer* L = View.AddLayer("roads");
        auto* Road = TGeoDataObject::Create(L, TPolylinePresenter::Create(L), 1, "A1");
        Road->AddPoint(MakePoint(DegToOrvexUnits(-10.25), DegToOrvexUnits(20.5)));
        Road->AddPoint(MakePoint(DegToOrvexUnits(30.125), DegToOrvexUnits(-40.75)));
        L->SaveToFile(Layer);
        std::ofstream(Mif) << "Version 300\nColumns 1\n  Name Char(10)\nData\nPoint 13.4 52.5\n";
        std::ofstream(File("in.mid")) << "Berlin\n";
        std::ofstream(ProjectedMif) << "Version 300\nColumns 1\n  Name Char(10)\nData\nPoint 1000.5 2000.25\n";
    }
    std::string File(const char* Name) const { return Dir.filePath(Name).toStdString(); }

    QTemporaryDir Dir;
    const std::string Layer = File("roads.lyr"), Mif = File("in.mif"), ProjectedMif = File("projected.mif");
};

TEST_P(CliInCommaLocale, PrintsAndReadsNumbersAsInTheCLocale) {
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        const char* Figure;  // printed in the "C" locale, so that the row is not vacuous
    } Rows[] = {
        {"info", {"info", Layer}, "left -10.250000"},
        {"project", {"project", "--projection", "spherical", "--size", "800x600", "--rotation", "0.5,0,0", "10.5", "50.25"}, ""},
        {"project --inverse", {"project", "--projection", "mercator", "--size", "800x600", "--inverse", "410.5", "290"}, "."},
        {"render", {"render", "--size", "64x48", "--center", "10.5,50.25", "-o", File("out.png"), Layer}, ""},
        {"import", {"import", "-o", File("in.lyr"), Mif}, "Saved 1 objects"},
        {"import's failure", {"import", "-o", File("projected.lyr"), ProjectedMif}, "1000.5"},
    };
    std::vector<CliResult> InC;
    for (const auto& Row : Rows) InC.push_back(RunCli(Row.Args));

    ENTER_TEST_LOCALE(GetParam());
    for (size_t I = 0; I < std::size(Rows); ++I) {
        SCOPED_TRACE(Rows[I].Name);
        EXPECT_NE((InC[I].Out + InC[I].Err).find(Rows[I].Figure), std::string::npos) << InC[I].Out << InC[I].Err;
        const CliResult R = RunCli(Rows[I].Args);
        EXPECT_EQ(R.Status, InC[I].Status);
        EXPECT_EQ(R.Out, InC[I].Out);
        EXPECT_EQ(R.Err, InC[I].Err);
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, CliInCommaLocale, ::testing::ValuesIn(kCommaLocales), LocaleTestName);

}  // namespace
