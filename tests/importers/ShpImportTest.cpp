// Shapefile import: real files, record and part edge cases, files that lie, and the dialog.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "ImportFixtures.h"
#include "importers/ImportSupport.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmSHPImport.h"
#include "styling/OrvexAttributes.h"

namespace {

class ShpImport : public ImportTest {
protected:
    // x.shp beside a table of one column "T" holding Titles (a leading '*' deletes the row).
    std::string WriteSet(const std::string& Name, const TShpBuilder& Shp, const std::vector<std::string>& Titles,
                         const char* TableExtension = ".dbf") {
        std::vector<std::vector<std::string>> Rows;
        for (const std::string& T : Titles) Rows.push_back({T});
        if (TableExtension) Write(Name + TableExtension, MakeDbf({{"T", 20}}, Rows));
        return Write(Name + ".shp", Shp.Bytes());
    }
    void Import(const std::string& Path, const std::string& Divisor = "1") {
        Options.Divisor = Divisor;
        ImportSHP({Path}, View, &Options);
    }
    TOrvexPresenter* Global(int16_t Feature) const { return View.GlobalLayer()->FindPresenter("", Feature); }

    TSHPImportPresetOptions Options;
};

TEST_F(ShpImport, NaturalEarthCountriesAndCities) {
    const std::string Countries = TestData("naturalearth/naturalearth_lowres.shp");
    Options.Column = "name";
    Import(Countries);
    TOrvexLayer* L = Last();
    EXPECT_EQ(L->Name(), "naturalearth_lowres");
    EXPECT_EQ(L->MaxFontHeight(), 9);
    ASSERT_EQ(L->ObjectCount(), 288);  // 177 countries, one object per ring
    // Fiji comes first, in three parts; its first point lies on 180 degrees, kept as -180.
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(Object(I)->Title(), "Fiji");
        EXPECT_EQ(Object(I)->ID(), 1);
        EXPECT_EQ(Object(I)->Presenter(), Global(-3));
    }
    EXPECT_EQ(Object(0)->GetPointCount(), 8);
    EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(-180LL * kDeg, DegToOrvexUnits(-16.067132663642447)));
    EXPECT_EQ(Object(3)->Title(), "Tanzania");
    EXPECT_EQ(L->GetObject(287)->ID(), 177);
    int France = 0;
    for (const TOrvexObject* O : L->Objects()) France += O->Title() == "France";
    EXPECT_EQ(France, 3);
    // Extents are fresh (Fiji and Russia cross the date line): every object's and the layer's.
    ExpectFreshExtents(L);
    EXPECT_FALSE(L->Extents().IsEmpty());
    EXPECT_TRUE(Reported(1, "SHP Import of " + Countries));
    EXPECT_TRUE(Reported(0, "Imported 200 objects"));
    EXPECT_TRUE(Reported(0, "Imported 288 objects"));
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("SHP Import Finished")));
    EXPECT_EQ(Ui.HourglassDepth, 0);

    Options.Column = "";  // the first column
    Import(TestData("naturalearth/naturalearth_cities.shp"));
    ASSERT_EQ(Last()->ObjectCount(), 243);
    EXPECT_EQ(Object(0)->Title(), "Vatican City");
    EXPECT_EQ(Object(0)->Presenter(), Global(-1));
    EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(DegToOrvexUnits(12.4533865), DegToOrvexUnits(41.9032822)));
    EXPECT_EQ(Last()->GetObject(242)->ID(), 243);
}

TEST_F(ShpImport, MultiPartCountiesShareTheirRecord) {
    Options.Column = "4";  // NAME, counted from 0
    Import(TestData("sf/nc.shp"));
    ASSERT_EQ(Last()->ObjectCount(), 108);
    EXPECT_EQ(Object(0)->Title(), "Ashe");
    EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(DegToOrvexUnits(-81.4727554321289), DegToOrvexUnits(36.23435592651367)));
    // Record 4 has three rings: objects 3 to 5.
    EXPECT_EQ(Object(3)->ID(), 4);
    EXPECT_EQ(Object(5)->ID(), 4);
    EXPECT_EQ(Object(5)->Title(), Object(3)->Title());
    EXPECT_EQ(Object(6)->ID(), 5);
}

TEST_F(ShpImport, ShapesAndAttributeRecordsPairByPosition) {
    TShpBuilder NullFirst;
    NullFirst.Null();
    NullFirst.Point(1, 1);
    NullFirst.Point(2, 2);
    Import(WriteSet("null", NullFirst, {"r1", "r2", "r3"}));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"r2", "r3"}));
    EXPECT_EQ(Object(0)->ID(), 2);
    EXPECT_EQ(Object(1)->ID(), 3);

    // The shape of a deleted record is left out; the later ones keep their own records.
    TShpBuilder Three;
    for (int I = 1; I <= 3; ++I) Three.Point(I, I);
    Import(WriteSet("deleted", Three, {"a", "*b", "c"}));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Object(1)->ID(), 3);
    EXPECT_EQ(Object(1)->GetPoint(0).X, 3 * kDeg);

    // Fewer records than shapes: empty titles, the last ID kept.
    Import(WriteSet("short", Three, {"a"}));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"a", "", ""}));
    EXPECT_EQ(Object(2)->ID(), 1);

    // pyshp's file with null shapes in between.
    Options.Column = "field2";
    Import(TestData("pyshp/doctest-outputs/balancing.shp"));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"one", "two", "four", "five", "six"}));
    EXPECT_EQ(Object(2)->ID(), 4);
}

TEST_F(ShpImport, EveryPartAndEveryMultipointPointIsItsOwnObject) {
    auto Line = [](int32_t N) {
        std::vector<std::pair<double, double>> P;
        for (int32_t I = 0; I < N; ++I) P.emplace_back(I % 90, I / 90 % 80);
        return P;
    };
    auto Starts = [](int32_t Parts, int32_t Each) {
        std::vector<int32_t> S;
        for (int32_t I = 0; I < Parts; ++I) S.push_back(I * Each);
        return S;
    };
    struct Row {
        const char* Name;
        std::function<void(TShpBuilder&)> Build;
        std::vector<int32_t> Counts;  // points per object; empty: none
        int16_t Feature;
    };
    const Row Rows[] = {
        {"3-part polyline", [&](TShpBuilder& B) { B.Parts(3, {0, 2, 4}, Line(6)); }, {2, 2, 2}, -2},
        {"polygon 0,5 of 9", [&](TShpBuilder& B) { B.Parts(5, {0, 5}, Line(9)); }, {5, 4}, -3},
        {"no parts", [&](TShpBuilder& B) { B.Parts(5, {}, Line(9)); }, {}, -3},
        {"starts going back", [&](TShpBuilder& B) { B.Parts(3, {0, 5, 3}, Line(9)); }, {5, 4}, -2},
        {"start past the end", [&](TShpBuilder& B) { B.Parts(3, {0, 4, 99}, Line(6)); }, {4, 2}, -2},
        {"negative start", [&](TShpBuilder& B) { B.Parts(3, {0, -4, 2}, Line(6)); }, {2, 4}, -2},
        {"empty part skipped", [&](TShpBuilder& B) { B.Parts(5, {0, 3, 3}, Line(6)); }, {3, 3}, -3},
        {"first start not 0", [&](TShpBuilder& B) { B.Parts(5, {2, 4}, Line(6)); }, {4, 2}, -3},
        {"1,024 parts", [&](TShpBuilder& B) { B.Parts(5, Starts(1024, 3), Line(3072)); }, std::vector<int32_t>(1024, 3), -3},
        {"1,500 parts", [&](TShpBuilder& B) { B.Parts(3, Starts(1500, 2), Line(3000)); }, std::vector<int32_t>(1500, 2), -2},
        {"multipoint of 5", [&](TShpBuilder& B) { B.MultiPoint(Line(5)); }, {1, 1, 1, 1, 1}, -1},
        {"empty multipoint", [&](TShpBuilder& B) { B.MultiPoint({}); }, {}, -1},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        TShpBuilder B;
        R.Build(B);
        Import(WriteSet("parts", B, {"one"}));
        std::vector<int32_t> Counts;
        std::vector<TPoint3D> All;
        for (const TOrvexObject* O : Last()->Objects()) {
            Counts.push_back(O->GetPointCount());
            EXPECT_EQ(O->Title(), "one");
            EXPECT_EQ(O->ID(), 1);
            EXPECT_EQ(O->FeatureID(), R.Feature);
            for (const TPoint3D& P : Points(O)) All.push_back(P);
        }
        EXPECT_EQ(Counts, R.Counts);
        // No point lost or repeated: the chains run through the record's points in order.
        for (size_t I = 0; I < All.size(); ++I)
            EXPECT_EQ(All[I], MakePoint(int64_t(I % 90) * kDeg, int32_t(I / 90 % 80) * kDeg)) << I;
    }
}

TEST_F(ShpImport, CoordinatesAreDividedAndNormalized) {
    TShpBuilder Plain, Tenfold;
    Plain.Point(13.4, 52.5);
    Plain.Point(190, -30.25);
    Tenfold.Point(134, 525);
    Import(WriteSet("plain", Plain, {"a", "b"}));
    const TPoint3D Berlin = MakePoint(13 * kDeg + 24 * kMin, 52 * kDeg + 30 * kMin);
    EXPECT_EQ(Object(0)->GetPoint(0), Berlin);
    EXPECT_EQ(Object(0)->Presenter(), Global(-1));
    EXPECT_EQ(Object(1)->GetPoint(0), MakePoint(-170LL * kDeg, -(30 * kDeg + 15 * kMin)));
    Import(WriteSet("tenfold", Tenfold, {"a"}), "10");
    EXPECT_EQ(Object(0)->GetPoint(0), Berlin);
    // Text that is not a whole number divides by 1.
    Import(WriteSet("abc", Plain, {"a", "b"}), "abc");
    EXPECT_EQ(Object(0)->GetPoint(0), Berlin);

    for (const char* Bad : {"0", "-3"}) {
        const int32_t Layers = View.LayerCount();
        try {
            Import(WriteSet("bad", Tenfold, {"a"}), Bad);
            ADD_FAILURE() << Bad;
        } catch (const EImportError& E) {
            EXPECT_NE(std::string(E.what()).find("divisor must be a positive whole number"), std::string::npos);
        }
        EXPECT_EQ(View.LayerCount(), Layers) << "refused before the layer is made";
    }
}

TEST_F(ShpImport, FilesThatLieFailWithTheFileAndPlaceNamed) {
    TShpBuilder Good;
    Good.Point(1, 2);
    TShpBuilder Z = Good;
    Z.Record(TShpBuilder::Int(11) + TShpBuilder::Dbl(1) + TShpBuilder::Dbl(2) + TShpBuilder::Dbl(3));
    TShpBuilder Huge = Good;
    Huge.Record(TShpBuilder::Int(5) + TShpBuilder::Box() + TShpBuilder::Int(1) + TShpBuilder::Int(1 << 30) +
                TShpBuilder::Int(0));
    TShpBuilder Negative;
    Negative.Records = TShpBuilder::Big(1) + TShpBuilder::Big(-1) + TShpBuilder::Int(1);
    TShpBuilder Far, NaN, FarPart = Good;
    Far.Point(500000, 4000000);
    FarPart.Parts(3, {0, 2}, {{10, 20}, {11, 21}, {12, 22}, {500000, 4000000}, {13, 23}});
    NaN.Point(std::nan(""), 1);
    const std::string GoodBytes = Good.Bytes();
    struct Row {
        const char* Name;
        std::string Bytes;
        const char* Report;  // the MsgType -1 text the Part gives, if any
        const char* Error;
        int32_t Objects;     // left in the layer; -1: no layer made
    };
    const Row Rows[] = {
        {"file code", Good.Bytes(-1, 9995), "Invalid SHP file", "Invalid SHP file", -1},
        {"short header", GoodBytes.substr(0, 60), "Invalid SHP file", "Invalid SHP file", -1},
        {"version", Good.Bytes(-1, 9994, 999), "Invalid SHP file version", "Invalid SHP file version", -1},
        {"type 11", Z.Bytes(), "Invalid record type 11 in SHP file", "Invalid record type 11 in SHP file", 1},
        {"record past the stated length", Good.Bytes(60), nullptr, "pass the file length", 0},
        {"cut inside a record", GoodBytes.substr(0, GoodBytes.size() - 4) , nullptr, "ends inside the record", 0},
        {"points that are not there", Huge.Bytes(), nullptr, "do not fit in the record", 1},
        {"negative content length", Negative.Bytes(), nullptr, "content length of -1 words", 0},
        {"metres read as degrees", Far.Bytes(), nullptr, "does not fit in longitude and latitude", 0},
        {"not a number", NaN.Bytes(), nullptr, "does not fit in longitude and latitude", 0},
        {"metres in a later part", FarPart.Bytes(), nullptr, "does not fit in longitude and latitude", 2},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Reports.clear();
        const int32_t Layers = View.LayerCount();
        const std::string Path = Write("lie.shp", R.Bytes);
        const std::string Next = Write("next.shp", GoodBytes);
        try {
            ImportSHP({Path, Next}, View, &Options);
            ADD_FAILURE() << "no error";
        } catch (const EImportError& E) {
            EXPECT_NE(std::string(E.what()).find(R.Error), std::string::npos) << E.what();
            EXPECT_EQ(std::string(E.what()).rfind(Path, 0), 0u) << E.what();
        }
        if (R.Report) {
            EXPECT_TRUE(Reported(-1, R.Report));
        }
        EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("SHP Import Finished")));
        // The next file is not read; the layer keeps what was made before the failure.
        EXPECT_EQ(View.LayerCount(), Layers + (R.Objects >= 0 ? 1 : 0));
        if (R.Objects >= 0) {
            EXPECT_EQ(Last()->ObjectCount(), R.Objects);
            ExpectFreshExtents(Last());
        }
    }

    // Bytes behind the stated length are not records.
    Import(Write("trailing.shp", GoodBytes + std::string(20, '\x7F')));
    EXPECT_EQ(Last()->ObjectCount(), 1);
}

TEST_F(ShpImport, EveryPrefixOfARealFileImportsOrFailsCleanly) {
    const std::string Shp = ReadBytes(TestData("shapelib/shape_eg_data/mexico/roads_rt.shp"));
    Write("cut.dbf", ReadBytes(TestData("shapelib/shape_eg_data/mexico/roads_rt.dbf")));
    for (size_t Size = 0; Size <= Shp.size(); Size += 41) {
        View.Clear();
        try {
            Import(Write("cut.shp", Shp.substr(0, Size)));
            EXPECT_LE(Last()->ObjectCount(), 94);
        } catch (const EImportError&) {
        }
    }
    Import(TestData("shapelib/shape_eg_data/mexico/roads_rt.shp"));
    EXPECT_EQ(Last()->ObjectCount(), 94);
    EXPECT_EQ(Object(0)->Title(), "Federal Hwy   1");
}

TEST_F(ShpImport, AttributeTableIsFoundInAnyLetterCaseOrReportedMissing) {
    TShpBuilder B;
    B.Point(1, 1);
    for (const char* Extension : {".dbf", ".DBF", ".Dbf"}) {
        QTemporaryDir Sub(Dir.path() + "/XXXXXX");
        const std::string Base = Sub.path().toStdString() + "/x";
        std::ofstream(Base + Extension, std::ios::binary) << MakeDbf({{"T", 5}}, {{"found"}});
        std::ofstream(Base + ".shp", std::ios::binary) << B.Bytes();
        Import(Base + ".shp");
        EXPECT_EQ(Object(0)->Title(), "found") << Extension;
    }
    Import(WriteSet("alone", B, {}, nullptr));
    ASSERT_FALSE(Ui.Messages.empty());
    EXPECT_EQ(Ui.Messages.back().Text, File("alone") + ".DBF file not found.");
    EXPECT_EQ(Object(0)->Title(), "");
    EXPECT_EQ(Object(0)->ID(), 0);
}

TEST_F(ShpImport, DialogChoosesColumnAndDivisorThroughItsWidgets) {
    TShpBuilder B;
    B.Point(134, 525);
    const std::string First = WriteSet("first", B, {"title"});
    Write("second.dbf", MakeDbf({{"A", 5}, {"B", 5}}, {{"a", "b"}}));
    const std::string Second = Write("second.shp", B.Bytes());
    int Shown = 0;
    Ui.OnDialog = [&](QDialog& D) {
        auto* F = dynamic_cast<TfrmSHPImport*>(&D);
        ASSERT_NE(F, nullptr);
        ++Shown;
        F->show();
        EXPECT_EQ(F->windowTitle(), QString("Import ") + (Shown == 1 ? "first.shp" : "second.shp"));
        // At least the designed size; wider where its texts need it.
        EXPECT_GE(F->width(), 253);
        EXPECT_GE(F->height(), 256);
        EXPECT_FALSE(F->btnImport->isEnabled()) << "until a column is clicked, also for the second file";
        EXPECT_EQ(F->edtDivisor->text(), "1");
        const int Row = F->lbxColumns->count() - 1;
        QListWidgetItem* Item = F->lbxColumns->item(Row);
        QTest::mouseClick(F->lbxColumns->viewport(), Qt::LeftButton, {},
                          F->lbxColumns->visualItemRect(Item).center());
        EXPECT_TRUE(F->btnImport->isEnabled());
        F->edtDivisor->setText("10");
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
        EXPECT_EQ(F->result(), QDialog::Accepted);
    };
    ImportSHP({First, Second}, View);
    EXPECT_EQ(Shown, 2);
    ASSERT_EQ(View.LayerCount(), 2);
    EXPECT_EQ(Object(0)->Title(), "b");
    EXPECT_EQ(Object(0)->GetPoint(0), MakePoint(13 * kDeg + 24 * kMin, 52 * kDeg + 30 * kMin));
    // The run set the view's defaults.
    EXPECT_EQ(View.DefaultBrush()->BrushColor(), 32768);
    EXPECT_EQ(View.SymbolFont()->FontName(), "Arial");

    // Cancel: no layer for the file, no error, the run ends.
    Ui.OnDialog = nullptr;
    Ui.Answers = {false};
    ImportSHP({First, Second}, View);
    EXPECT_EQ(View.LayerCount(), 2);
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("SHP Import Finished")));
}

}  // namespace

// The file is read through a buffer much smaller than it: records across the buffer's edges and
// a record larger than it arrive whole, and a file cut inside that record still fails cleanly.
TEST_F(ShpImport, RecordsAcrossAndLargerThanTheReadBufferArriveWhole) {
    uint64_t State = 7;
    auto Next = [&State] {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return State >> 11;
    };
    TShpBuilder Shp, Before;
    std::vector<std::vector<std::pair<double, double>>> Lines;
    const int Records = 20000, Big = 7000;
    for (int R = 0; R < Records; ++R) {
        std::vector<std::pair<double, double>> Pts(R == Big ? 100000 : 2 + Next() % 5);
        for (auto& [X, Y] : Pts) {
            // A third of them near 0, where the conversion takes another way.
            const double Scale = Next() % 3 ? 1 : 1e-3;
            X = (double(Next() % 360001) / 1000 - 180) * Scale;
            Y = (double(Next() % 180001) / 1000 - 90) * Scale;
        }
        Shp.Parts(3, {0}, Pts);
        if (R <= Big) Before.Parts(3, {0}, Pts);
        Lines.push_back(std::move(Pts));
    }
    const std::string Bytes = Shp.Bytes();
    Import(Write("big.shp", Bytes));
    ASSERT_EQ(Last()->ObjectCount(), Records);
    for (int R = 0; R < Records; ++R) {
        const TGeoDataObject* O = Object(R);
        ASSERT_EQ(size_t(O->Count()), Lines[size_t(R)].size()) << R;
        for (int32_t I = 0; I < O->Count(); ++I) {
            const auto [X, Y] = Lines[size_t(R)][size_t(I)];
            ASSERT_EQ(O->Points()[I], MakePoint(*CheckedDegrees(X), *CheckedDegrees(Y))) << R << ", " << I;
        }
    }

    View.Clear();
    const std::string Cut = Write("cut.shp", Bytes.substr(0, Before.Bytes().size() - 1000));
    try {
        Import(Cut);
        ADD_FAILURE() << "no error";
    } catch (const EImportError& E) {
        EXPECT_NE(std::string(E.what()).find("ends inside the record (1600048 bytes stated, 1599048 left)"),
                  std::string::npos)
            << E.what();
    }
    EXPECT_EQ(Last()->ObjectCount(), Big);
}

// Points are decoded two at a time where the processor can: every run length, with a value out
// of range (or at a tie) in any place, gives what decoding one point at a time gives, and stops
// at the same point.
TEST(ImportNumbers, DegreePairsDecodeAsOnePointAtATime) {
    const double Odd[] = {0.25, -0.4999999, 397, -397, 1e300, std::nan(""), INFINITY, 0.0, -0.0,
                          (12345 + 0.5) / OrvexUnits::PerDegree, -(2 + 0.5) / OrvexUnits::PerDegree,
                          std::nextafter(396.99999999, 397.0), 179.99999999999997, -180};
    uint64_t State = 5;
    auto Next = [&State] {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return State >> 11;
    };
    for (int Trial = 0; Trial < 20000; ++Trial) {
        const int32_t Count = int32_t(Next() % 12);
        std::vector<double> Coordinates(2 * size_t(Count));
        for (double& C : Coordinates) C = (double(Next() % 720000001) / 1e6 - 360) * (Next() % 2 ? 1 : 0.5);
        if (Count > 0 && Next() % 2) Coordinates[Next() % Coordinates.size()] = Odd[Next() % std::size(Odd)];
        const char* Bytes = reinterpret_cast<const char*>(Coordinates.data());
        std::vector<TPoint3D> Expected(static_cast<size_t>(Count)), Got(static_cast<size_t>(Count));
        int32_t ExpectedCount = 0;
        for (int32_t X, Y; ExpectedCount < Count && PairDegreesToUnits(Bytes + 16 * ExpectedCount, X, Y);)
            Expected[size_t(ExpectedCount++)] = MakePoint(X, Y);
        ASSERT_EQ(DecodeDegreePairs(Bytes, Count, Got.data()), ExpectedCount) << Trial;
        for (int32_t I = 0; I < ExpectedCount; ++I) ASSERT_EQ(Got[size_t(I)], Expected[size_t(I)]) << Trial << ", " << I;
    }
}
