// MIF/MID import: real files, the object and clause readers, rows, and files that lie.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>

#include "ImportFixtures.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/MifLookahead.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

namespace {

class MifImport : public ImportTest {
protected:
    // Writes name.mif (and name.mid unless Mid is null) and imports it.
    void Import(const std::string& Name, const std::string& Mif, const char* Mid = nullptr) {
        if (Mid) Write(Name + ".mid", Mid);
        ImportMIF({Write(Name + ".mif", Mif)}, View);
    }
    static TPoint3D Deg(double Lon, double Lat) { return MakePoint(DegToOrvexUnits(Lon), DegToOrvexUnits(Lat)); }
};

// The same numbers on every run, so a failure can be repeated.
struct TRandom {
    uint64_t State;
    uint64_t operator()() {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return State >> 11;
    }
};

const char* const kHeader = "Version 300\nDelimiter \",\"\nColumns 1\n  Name Char(20)\nData\n";

TEST_F(MifImport, RealFilesBecomeLayersWithPresentersFromTheirStyles) {
    // Upper-case .MIF/.MID, CRLF, regions with Pen, Brush and Center.
    const std::string Cantons = TestData("rgdal/ps_cant_31.MIF");
    const std::string Locale = std::setlocale(LC_ALL, nullptr);
    ImportMIF({Cantons}, View);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), Locale) << "numbers are read without touching the locale";
    TOrvexLayer* L = Last();
    EXPECT_EQ(L->Name(), "ps_cant_31");
    ASSERT_EQ(L->ObjectCount(), 44);
    EXPECT_EQ(Object(0)->Title(), "31012");
    EXPECT_EQ(Object(43)->Title(), "31555") << "the last row, quotes removed";
    EXPECT_EQ(Object(0)->GetPointCount(), 45);
    EXPECT_EQ(Object(0)->GetPoint(0), Deg(0.931808, 42.965092));
    ASSERT_EQ(L->PresenterCount(), 1) << "44 regions in one style share one presenter";
    auto* P = dynamic_cast<TPolygonPresenter*>(L->GetPresenter(0));
    ASSERT_NE(P, nullptr);
    EXPECT_EQ(Object(0)->Presenter(), P);
    EXPECT_EQ(P->PolygonBrush()->BrushColor(), 16777215);
    EXPECT_EQ(P->PolygonBrush()->BrushStyle(), bsSolid);
    EXPECT_EQ(P->PolygonPen()->PenColor(), 0);
    ExpectFreshExtents(L);
    EXPECT_FALSE(L->Extents().IsEmpty());
    EXPECT_TRUE(Reported(1, "MIF Import of " + Cantons));
    EXPECT_TRUE(Reported(0, "Imported 0 objects out of 44"));
    EXPECT_TRUE(Reported(0, "Imported 44 objects out of 44"));
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("MIF Import Finished")));

    ImportMIF({TestData("mapserver-msautotest/tile_index.mif")}, View);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"tile11.vrt", "tile12.vrt", "tile21.vrt", "tile22.vrt"}));
    EXPECT_EQ(dynamic_cast<TPolygonPresenter*>(Object(0)->Presenter())->PolygonBrush()->BrushStyle(), bsClear);

    // Every object kind, no MID: default titles; Rect, Ellipse, Arc and RoundRect are not imported.
    ImportMIF({TestData("gdal-autotest/mitab/all_geoms.mif")}, View);
    std::vector<std::string> Kinds;
    for (const TOrvexObject* O : Last()->Objects()) Kinds.push_back(O->Title() + ":" + std::to_string(O->GetPointCount()));
    EXPECT_EQ(Kinds, (std::vector<std::string>{"New Point:1", "New Point:1", "New Point:1", "New Polyline:2",
                                                "New Polyline:2", "New Polyline:2", "New Polyline:2", "text:1",
                                                "New Point:2", "New Polygon:4", "New Polygon:4", "New Polyline:2",
                                                "New Point:2"}));

    // A Text on its keyword line with a tab-indented FONT clause.
    ImportMIF({TestData("gdal-autotest/mitab/win1251_text.mif")}, View);
    ASSERT_EQ(Last()->ObjectCount(), 1);
    EXPECT_EQ(Object(0)->Title(), "\xCF\xEE\xEB\xE5");
    EXPECT_EQ(View.TitleFont()->FontName(), "DejaVu Serif");
    EXPECT_EQ(View.TitleFont()->FontColor(), 255);
    EXPECT_EQ(View.TitleFont()->FontSize(), -32768) << "3 degrees tall: beyond the 16-bit size field";
}

TEST_F(MifImport, ProjectedTablesAreRefusedWithASilentAbort) {
    // Refused as they are when their coordinates are kept (when they are converted, see
    // ReprojectionTest).
    const std::string Projected = TestData("gdal-autotest/mitab/multilinemid.mif");
    const std::string Later = TestData("mapserver-msautotest/tile_index.mif");
    EXPECT_THROW(ImportMIF({Projected, Later}, View, true), EImportAborted);
    EXPECT_TRUE(Reported(-1, "Import can only be made on Lat/Long tables!"));
    ASSERT_EQ(View.LayerCount(), 1) << "the later file is not read";
    EXPECT_EQ(Last()->ObjectCount(), 0);
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("MIF Import Finished")));
    EXPECT_THROW(ImportMIF({TestData("gdal-autotest/mitab/small.mif")}, View), EImportAborted) << "NonEarth";
    // Lat/long, with a datum and bounds, passes.
    Import("ll", "CoordSys Earth Projection 1, 104 Bounds (-180, -90) (180, 90)\nData\nPoint 1 2\n");
    EXPECT_EQ(Last()->ObjectCount(), 1);
}

TEST_F(MifImport, ObjectsTakeTheirRowsInOrder) {
    struct Row {
        const char* Name;
        std::string Mif;
        const char* Mid;
        std::vector<std::string> Titles;
    };
    const std::string H = kHeader;
    const Row Rows[] = {
        {"NONE takes a row", H + "Point 1 1\nNONE\nPoint 2 2\n", "a\nb\nc\n", {"a", "c"}},
        {"Multipoint takes a row", H + "Point 1 1\nMultiPoint 2\n1 1\n2 2\nSymbol (35,0,12)\nPoint 2 2\n",
         "a\nb\nc\n", {"a", "b", "c"}},
        {"Ellipse and Rect take rows",
         H + "Ellipse 0 0 1 1\n  Pen (1,2,0)\n  Brush (2,0,0)\nRect 0 0 1 1\nPoint 2 2\n", "a\nb\nc\n", {"c"}},
        {"a collection is one row", H + "Collection 2\nPline 2\n0 0\n1 1\nMultiPoint 1\n3 3\nPoint 2 2\n",
         "a\nb\n", {"a", "a", "b"}},
        {"quoted line breaks stay in their row", H + "Point 1 1\nPoint 2 2\nPoint 3 3\n",
         "\"x\",\"MULTI\r\n\r\nLINE\"\r\n\"y\",\"z\"\r\n\"w\"\r\n", {"x", "y", "w"}},
        {"delimiter inside quotes", H + "Point 1 1\n", "\"Smith, John\",5\n", {"Smith, John"}},
        {"Berlin and a number", H + "Point 1 1\n", "\"Berlin\",5\n", {"Berlin"}},
        {"the tab keeps the row whole", "Columns 1\n  Name Char(9)\nData\nPoint 1 1\n", "\"Berlin\",5\n", {"Berlin,5"}},
        {"an empty first field with a tab delimiter", "Delimiter \"\t\"\nData\nPoint 1 1\n", "\tsecond\n", {""}},
        {"more objects than rows keep the last row", H + "Point 1 1\nPoint 2 2\nPoint 3 3\n", "a\n", {"a", "a", "a"}},
        {"columns named like keywords", "Columns 3\n  Version Char(5)\n  Delimiter Char(5)\n  Data Char(5)\nData\nPoint 1 1\n",
         "q\n", {"q"}},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Import("rows", R.Mif, R.Mid);
        EXPECT_EQ(Titles(), R.Titles);
    }
    // Each file starts from the defaults. A second file without a MID used to take the last
    // row of the first, and a file without a Delimiter line the delimiter of the one before.
    Write("first.mid", "one\ntwo\n");
    ImportMIF({Write("first.mif", "Data\nPoint 1 1\nPoint 2 2\n"), Write("second.mif", "Data\nPoint 3 3\n")}, View);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"New Point"})) << "no row from the file before";
    Write("comma.mid", "a,b\n");
    Write("later.mid", "c,d\n");
    const std::string Comma = Write("comma.mif", H + "Point 1 1\n"), Later = Write("later.mif", "Data\nPoint 1 1\n");
    ImportMIF({Comma, Later}, View);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"c,d"})) << "the tab, in the same run";
    ImportMIF({Comma}, View);
    ImportMIF({Later}, View);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"c,d"})) << "the tab, in a later run";
}

TEST_F(MifImport, ObjectReadersKeepTheirFirstSectionAndNeverInventPoints) {
    struct Row {
        const char* Name;
        std::string Data;
        std::vector<std::vector<TPoint3D>> Objects;
    };
    const TPoint3D A = Deg(0, 1), B = Deg(2, 3), C = Deg(4, 5);
    const Row Rows[] = {
        {"Point", "Point 12.5 -30.25\n", {{MakePoint(12 * kDeg + 30 * kMin, -(30 * kDeg + 15 * kMin))}}},
        {"longitude 190", "Point 190 10\n", {{MakePoint(-170LL * kDeg, 10 * kDeg)}}},
        {"Line", "Line 0 1 2 3\n  Pen (2,2,255)\n", {{A, B}}},
        {"Pline n is n points in any version", "Version 450\nData\nPline 3\n0 1\n2 3\n4 5\n", {{A, B, C}}},
        {"Pline with the count below (version 300)", "Version 300\nData\nPline\n  3\n0 1\n2 3\n4 5\n", {{A, B, C}}},
        {"Pline Multiple keeps its first section",
         "Data\nPLINE MULTIPLE 2\n  2\n0 1\n2 3\n  1\n4 5\n  Pen(1,2,3)\n  Smooth\nPoint 4 5\n", {{A, B}, {C}}},
        {"Region keeps its first ring", "Data\nRegion 2\n 3\n0 1\n2 3\n4 5\n 2\n9 9\n8 8\n Center 1 1\nPoint 0 1\n",
         {{A, B, C}, {A}}},
        {"a count past the end is not filled up", "Data\nPline 5\n0 1\n2 3\n", {{A, B}}},
        {"a file ending after a Point", "Data\nPoint 0 1", {{A}}},
        {"an empty Pline makes no object", "Data\nPline 0\nPoint 2 3\n", {{B}}},
        {"lines ended by CR alone", "Data\rPoint 0 1\r\rLine 0 1 2 3\r", {{A}, {A, B}}},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Import("readers", R.Data.find("Data") == std::string::npos ? "Data\n" + R.Data : R.Data);
        std::vector<std::vector<TPoint3D>> Got;
        for (const TOrvexObject* O : Last()->Objects()) Got.push_back(Points(O));
        EXPECT_EQ(Got, R.Objects);
    }
}

TEST_F(MifImport, ClausesSetTheDefaultsAndPresentersFollowThem) {
    Import("styles",
           "Data\n"
           "Pline 2\n0 0\n1 1\n  Pen (2,2,16711680)\n"
           "Pline 2\n0 0\n1 1\n  Pen (2, 2, 65280)\n"      // blanks: the pen stays
           "Pline 2\n0 0\n1 1\n  Pen (3,5,65280)\n"
           "Region 1\n3\n0 0\n1 1\n1 0\n  Brush (19,255,16777215)\n"
           "Region 1\n3\n0 0\n1 1\n1 0\n  Brush (16,255)\n"
           "Region 1\n3\n0 0\n1 1\n1 0\n  Brush (2, 255)\n"  // blank: clear, colour 0
           "Text\n  \"Line one\\nLine two\"\n  0 0 1 0.25\n  Font (\"Arial\",0,0,0)\n  Angle 45\n  Justify Center\n"
           "Point 1 1\n");
    TOrvexLayer* L = Last();
    auto Pen = [&](int I) { return dynamic_cast<TPolylinePresenter*>(Object(I)->Presenter())->PolylinePen(); };
    EXPECT_EQ(Pen(0)->PenColor(), 255);
    EXPECT_EQ(Pen(0)->PenWidth(), 2);
    EXPECT_EQ(Pen(0)->PenStyle(), psSolid);
    EXPECT_EQ(Object(1)->Presenter(), Object(0)->Presenter()) << "same pen, same presenter";
    EXPECT_EQ(Pen(2)->PenStyle(), psDash);
    EXPECT_EQ(Pen(2)->PenColor(), 65280);
    auto Brush = [&](int I) { return dynamic_cast<TPolygonPresenter*>(Object(I)->Presenter())->PolygonBrush(); };
    EXPECT_EQ(Brush(3)->BrushStyle(), bsHorizontal);
    EXPECT_EQ(Brush(3)->BrushColor(), 16777215);
    EXPECT_EQ(Brush(4)->BrushStyle(), bsSolid);
    EXPECT_EQ(Brush(4)->BrushColor(), 16711680);
    EXPECT_EQ(Brush(5)->BrushStyle(), bsClear);
    EXPECT_EQ(Brush(5)->BrushColor(), 0);
    EXPECT_EQ(Object(6)->Title(), "Line one Line two");
    EXPECT_EQ(Object(6)->GetPoint(0), Deg(0, 0));
    EXPECT_EQ(View.TitleFont()->FontUnit(), Meter);
    EXPECT_EQ(View.TitleFont()->FontSize(), -27780);
    EXPECT_EQ(View.TitleFont()->FontAngle(), 450);
    ASSERT_NE(dynamic_cast<TPointPresenter*>(Object(6)->Presenter()), nullptr);
    EXPECT_EQ(Object(7)->Presenter(), Object(6)->Presenter()) << "a text and a point of one style";
    EXPECT_EQ(L->PresenterCount(), 6);
    EXPECT_EQ(View.DefaultPen()->PenStyle(), psDash) << "the defaults keep what the clauses wrote";
}

TEST_F(MifImport, HelpersFollowTheirTables) {
    std::vector<std::string_view> List;
    EXPECT_EQ(SplitText("a,,b,", ",", List, true), 3);
    EXPECT_EQ(List, (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(SplitText("a  b", " ", List, false), 2);
    EXPECT_EQ(SplitText("", ",", List, true), 1);
    EXPECT_EQ(SplitText("", ",", List, false), 0);
    EXPECT_EQ(ReplaceText("aaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceText("\"x\"", "\"", ""), "x");
    EXPECT_EQ(MifColorToColor(16711680), 255);
    EXPECT_EQ(MifColorToColor(0x123456), 0x563412);
    EXPECT_EQ(MifColorToColor(0x1234567), 0x563412) << "past 24 bits: the top six hex digits";
    EXPECT_EQ(MifColorToColor(-1), 0xFFFFFF);
    EXPECT_EQ(MifColorToColor(0xF0), 0xF00000);
    const std::pair<int32_t, TPenStyle> Pens[] = {{1, psClear},  {2, psSolid},      {3, psDash},         {9, psDash},
                                                  {10, psDot},   {14, psDashDot},   {20, psDashDotDot},  {26, psSolid},
                                                  {71, psInsideFrame}, {78, psSolid}, {-5, psSolid}};
    for (auto [Pattern, Style] : Pens) EXPECT_EQ(MifPenStyle(Pattern), Style) << Pattern;
    const std::pair<int32_t, TBrushStyle> Brushes[] = {
        {1, bsClear},     {2, bsSolid},      {3, bsHorizontal}, {23, bsHorizontal}, {4, bsVertical}, {5, bsBDiagonal},
        {6, bsFDiagonal}, {7, bsCross},      {60, bsCross},     {8, bsDiagCross},   {55, bsDiagCross}, {53, bsSolid},
        {71, bsSolid},    {0, bsSolid}};
    for (auto [Pattern, Style] : Brushes) EXPECT_EQ(MifBrushStyle(Pattern), Style) << Pattern;
}

TEST_F(MifImport, BadNumbersAndLyingFilesFailNamingFileAndLine) {
    struct Row {
        const char* Name;
        std::string Mif;
        const char* Error;
    };
    const Row Rows[] = {
        {"coordinate", "Data\nPoint 1 x\n", "line 2: 'x' is not a number"},
        {"missing coordinate", "Data\nPoint 1\n", "line 2:"},
        {"region count", "Data\nRegion 1\n  many\n", "line 3: 'many' is not a whole number"},
        {"fewer points than stated", "Data\nRegion 1\n 4\n0 0\n1 1\n  Pen (1,2,0)\n", "line 6: 'Pen' is not a number"},
        {"projected metres", "Data\nPoint 407131.7 155322.4\n", "does not fit in longitude and latitude"},
        {"infinite", "Data\nPoint inf 0\n", "'inf' is not a number"},
        {"version", "Version three\nData\n", "line 1"},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        const std::string Path = Write("bad.mif", R.Mif);
        try {
            ImportMIF({Path}, View);
            ADD_FAILURE() << "no error";
        } catch (const EImportError& E) {
            EXPECT_NE(std::string(E.what()).find(Path + ", "), std::string::npos) << E.what();
            EXPECT_NE(std::string(E.what()).find(R.Error), std::string::npos) << E.what();
        }
        EXPECT_EQ(Last()->ObjectCount(), 0) << "the object being read is not made";
    }
    // A missing file leaves its layer, empty.
    EXPECT_THROW(ImportMIF({File("none.mif")}, View), EImportError);
    EXPECT_EQ(Last()->Name(), "none");

    const std::string Cantons = ReadBytes(TestData("rgdal/ps_cant_31.MIF"));
    Write("cut.MID", ReadBytes(TestData("rgdal/ps_cant_31.MID")));
    for (size_t Size = 0; Size <= Cantons.size(); Size += 113) {
        View.Clear();
        try {
            ImportMIF({Write("cut.mif", Cantons.substr(0, Size))}, View);
            EXPECT_LE(Last()->ObjectCount(), 44);
        } catch (const EImportError&) {
        }
    }
}

}  // namespace

// Numbers in the plain decimal form of coordinate files take a shortcut; it must give the very
// double the general parser gives, and refuse what that refuses.
TEST(MifNumbers, PlainDecimalsParseAsTheGeneralParserDoes) {
    std::vector<std::string> Texts = {"0", "-0", "5.", ".5", "-.5", "007.250", "83.1294728008", "-77.0880598154",
                                      "179.99999999999997", "0.1", "0.30000000000000004", "123456789012345",
                                      "1234567890123456789", "0.0000000000000000000001", "1e5", "+2.5", "-1E-3"};
    uint64_t State = 42;
    for (int I = 0; I < 100000; ++I) {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        const int Decimals = int(State >> 54) % 18, Whole = 1 + int(State >> 60) % 4;
        std::string T = (State >> 53) & 1 ? "-" : "";
        uint64_t Digits = State;
        for (int D = 0; D < Whole + Decimals; ++D, Digits /= 10) {
            if (D == Whole) T += '.';
            T += char('0' + Digits % 10);
        }
        Texts.push_back(T);
    }
    for (const std::string& T : Texts) {
        const std::string_view Text = T[0] == '+' ? std::string_view(T).substr(1) : std::string_view(T);
        double Expected = 0;
        const auto [End, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Expected);
        ASSERT_TRUE(Ec == std::errc() && End == Text.data() + Text.size()) << T;
        double Got = 0;
        ASSERT_TRUE(ParseDouble(T, Got)) << T;
        EXPECT_EQ(std::signbit(Got), std::signbit(Expected)) << T;
        ASSERT_EQ(Got, Expected) << T;
        // With room behind the number the scanner reads ahead by whole words; what follows must
        // neither change the number nor where it ends.
        for (const char* Behind : {" 1.5\n", "\r\n-7", ",", "x.5", "\0"}) {
            const std::string Padded = T + std::string(Behind, std::strlen(Behind) + 1) + std::string(32, '9');
            const char *Short = T.data(), *Long = Padded.data();
            double A = 1, B = 2;
            const bool ReadA = ScanDecimal(Short, T.data() + T.size(), A);
            ASSERT_EQ(ScanDecimal(Long, Padded.data() + Padded.size(), B), ReadA) << T;
            if (!ReadA) continue;
            ASSERT_EQ(Long - Padded.data(), Short - T.data()) << T;
            ASSERT_EQ(std::bit_cast<uint64_t>(B), std::bit_cast<uint64_t>(A)) << T;
        }
    }
    for (const char* Bad : {"", "-", ".", "-.", "1.2.3", "1-2", "12a", "++1", "1 2", "inf", "nan", "1e999"}) {
        double V = 7;
        EXPECT_FALSE(ParseDouble(Bad, V)) << Bad;
        EXPECT_EQ(V, 7) << Bad;
    }
}

// The readers' shortcut from degrees to units must give CheckedDegrees's result whenever it
// answers, and answer for ordinary coordinates, small ones included.
TEST(ImportNumbers, FastDegreeConversionAgreesWithTheCheckedOne) {
    std::vector<double> Values = {0.0, -0.0, 0.5, -0.5, std::nextafter(0.5, 0.0), 1e-300, 5e-324, -5e-324,
                                  179.99999999999997, -180, 397, -397, 1e10, std::nan(""), INFINITY, -INFINITY};
    TRandom Next{3};
    std::vector<double> Ties;  // may be refused; nearly all the others must be answered
    for (int I = 0; I < 200000; ++I) {
        const double Unit = double(Next()) / double(uint64_t(1) << 53);  // [0, 1)
        switch (I % 4) {
            case 0: Values.push_back((Unit - 0.5) * 360); break;
            case 1: Values.push_back(Unit - 0.5); break;
            case 2: Values.push_back((Unit - 0.5) * std::ldexp(1.0, -int(Next() % 60))); break;
            default: {
                // Within a few ulps of half a unit.
                const double Tie = (double(int64_t(Next() % 5400000) - 2700000) + 0.5) / OrvexUnits::PerDegree;
                Ties.push_back(Tie);
                Ties.push_back(std::nextafter(Tie, (Next() & 1) ? 1.0 : -1.0));
            }
        }
    }
    const size_t Ordinary = Values.size();
    Values.insert(Values.end(), Ties.begin(), Ties.end());
    size_t Answered = 0;
    for (size_t I = 0; I < Values.size(); ++I) {
        const double V = Values[I];
        int32_t Units = 0;
        const bool Fast = FastDegreesToUnits(V, Units);
        if (std::isfinite(V) && std::fabs(V) < 397) {
            const auto Checked = CheckedDegrees(V);
            ASSERT_TRUE(Checked) << V;
            if (Fast) {
                ASSERT_EQ(Units, *Checked) << std::hexfloat << V;
            }
        } else {
            EXPECT_FALSE(Fast) << V;
        }
        if (I < Ordinary) Answered += Fast;
        // Two at once, from doubles and from file bytes, in either place of the pair: the very
        // answer of the integer conversion, and no answer where it gives none.
        int32_t Single = 0, X = 0, Y = 0;
        const bool Exact = DoubleDegreesToUnits(V, Single);
        ASSERT_EQ(PairDegreesToUnits(V, -100.25, X, Y), Exact) << std::hexfloat << V;
        if (Exact) {
            ASSERT_TRUE(X == Single && Y == -541350000) << std::hexfloat << V;
        }
        const double Pair[2] = {396.5, V};
        ASSERT_EQ(PairDegreesToUnits(reinterpret_cast<const char*>(Pair), X, Y), Exact) << std::hexfloat << V;
        if (Exact) {
            ASSERT_TRUE(X == 2141100000 && Y == Single) << std::hexfloat << V;
        }
    }
    EXPECT_GT(double(Answered), 0.99 * double(Ordinary));
}

// Point lines are read straight from a buffer much smaller than the file; every form of line, in
// every line-end style and across the buffer's edges, gives the point the general reading gives.
TEST_F(MifImport, PointLinesOfEveryFormAndAcrossTheReadBufferGiveTheGeneralPoint) {
    TRandom Next{11};
    auto Coordinate = [&](double Range) {
        char Buffer[64];
        const double V = (double(Next() % 2000001) / 1000000 - 1) * Range;
        switch (Next() % 9) {
            case 0: std::snprintf(Buffer, sizeof Buffer, "%.*f", int(Next() % 11), V); break;
            case 1: std::snprintf(Buffer, sizeof Buffer, "%.*f", int(3 + Next() % 8), V / 1000); break;
            case 2: {
                const double Tie = (double(int64_t(Next() % 10000) - 5000) + 0.5) / OrvexUnits::PerDegree;
                std::snprintf(Buffer, sizeof Buffer, (Next() & 1) ? "%.17g" : "%.12f", Tie);
                break;
            }
            case 3: std::snprintf(Buffer, sizeof Buffer, "%s.%u", V < 0 ? "-" : "", unsigned(Next() % 100000)); break;
            case 4: std::snprintf(Buffer, sizeof Buffer, "%.0f.", V); break;
            case 5: std::snprintf(Buffer, sizeof Buffer, "+%.4f", std::fabs(V)); break;
            case 6: std::snprintf(Buffer, sizeof Buffer, "%.3e", V); break;
            case 7: std::snprintf(Buffer, sizeof Buffer, "%.15f", V / 100); break;
            default: std::snprintf(Buffer, sizeof Buffer, "%s", (Next() & 1) ? "-0" : "0"); break;
        }
        return std::string(Buffer);
    };
    auto Degrees = [](const std::string& Text) {
        const std::string_view T = Text[0] == '+' ? std::string_view(Text).substr(1) : std::string_view(Text);
        double V = 0;
        std::from_chars(T.data(), T.data() + T.size(), V);
        return *CheckedDegrees(V);
    };
    for (const char* Eol : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(Eol[1] ? "CRLF" : Eol[0] == '\n' ? "LF" : "CR");
        View.Clear();
        const int Count = 40000;
        std::string Body;
        std::vector<TPoint3D> Expected;
        for (int I = 0; I < Count; ++I) {
            const std::string X = Coordinate(179), Y = Coordinate(89);
            const uint64_t Shape = Next() % 16;
            std::string Line = (Shape == 0 ? "  " : "") + X;
            // One line far longer than the buffer.
            Line += I == Count / 2 ? std::string(600000, ' ') : std::string(1 + Next() % 3, ' ');
            Line += Y + (Shape == 1 ? " \t" : "");
            Body += Line + Eol + (Shape == 2 ? Eol : "");
            Expected.push_back(MakePoint(Degrees(X), Degrees(Y)));
        }
        Import("lines", std::string(kHeader) + "Pline " + std::to_string(Count) + Eol + Body + "Pline 2" + Eol +
                            "1 2" + Eol + "3 4",
               "a\nb\n");
        ASSERT_EQ(Last()->ObjectCount(), 2);
        const TGeoDataObject* O = Object(0);
        ASSERT_EQ(O->Count(), Count);
        for (int I = 0; I < Count; ++I) ASSERT_EQ(O->Points()[I], Expected[size_t(I)]) << "line " << I;
        // The last line ends the file without a line end.
        EXPECT_EQ(Points(Object(1)), (std::vector<TPoint3D>{Deg(1, 2), Deg(3, 4)}));
    }
}

namespace {

// A large file's point lines are decoded ahead on a second thread; the layer it builds must be
// the one the importer builds alone, byte for byte once saved, and a failing file must fail
// with the same message, whatever lines fall at the lookahead's batch edges.
class MifLookaheadTest : public MifImport {
protected:
    void TearDown() override { TMifLookahead::SetThreshold(size_t(16) << 20); }
    // The saved layer, or the error, of importing Mif with or without the lookahead.
    std::string Outcome(const std::string& Mif, const std::string& Mid, bool Lookahead) {
        TMifLookahead::SetThreshold(Lookahead ? 0 : std::numeric_limits<size_t>::max());
        View.Clear();
        Write("ahead.mid", Mid);
        try {
            ImportMIF({Write("ahead.mif", Mif)}, View);
        } catch (const std::exception& E) {
            return std::string("error: ") + E.what();
        }
        Last()->SaveToFile(File("ahead.lyr"));
        return ReadBytes(File("ahead.lyr"));
    }
    void ExpectSame(const std::string& Mif, const std::string& Mid = "") {
        const std::string Alone = Outcome(Mif, Mid, false), Ahead = Outcome(Mif, Mid, true);
        EXPECT_EQ(Alone.size(), Ahead.size()) << Alone.substr(0, 200) << "\n" << Ahead.substr(0, 200);
        EXPECT_TRUE(Alone == Ahead);
    }
};

TEST_F(MifLookaheadTest, BuildsTheLayerTheImporterBuildsAlone) {
    TRandom Next{5};
    auto Number = [&](double Range) {
        char B[48];
        std::snprintf(B, sizeof B, "%.*f", int(Next() % 11), (double(Next() % 2000001) / 1000000 - 1) * Range);
        return std::string(B);
    };
    // Objects of every kind with lines the decoder does not take among the point lines: blanks,
    // indents, exponents, blank lines, counts that lie, a line far longer than a batch.
    for (const char* Eol : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(Eol[1] ? "CRLF" : Eol[0] == '\n' ? "LF" : "CR");
        std::string Mif = std::string(kHeader), Mid;
        for (int Object = 0; Mif.size() < (size_t(3) << 20); ++Object) {
            const int Count = 1 + int(Next() % (Object % 50 == 0 ? 60000 : 200));
            auto Points = [&](int N) {
                for (int I = 0; I < N; ++I) {
                    const uint64_t Shape = Next() % 200;
                    Mif += (Shape == 0 ? "  " : "") + Number(179) + (Shape == 1 ? "   " : " ") +
                           (Shape == 2 ? "1.5e1" : Number(89)) + (Object == 3 && I == 0 ? std::string(1500000, ' ') : "") + Eol +
                           (Shape == 4 ? Eol : "");
                }
            };
            switch (Next() % 4) {
                case 0:
                    Mif += "Pline " + std::to_string(Count) + Eol;
                    Points(Count);
                    break;
                case 1:
                    Mif += "Pline Multiple 2" + std::string(Eol) + "  " + std::to_string(Count) + Eol;
                    Points(Count);
                    Mif += "  3" + std::string(Eol);
                    Points(3);
                    break;
                case 2:
                    Mif += "Region 2" + std::string(Eol) + "  " + std::to_string(Count) + Eol;
                    Points(Count);
                    Mif += "  4" + std::string(Eol);
                    Points(4);
                    Mif += "    Brush (2,16777215,16777215)" + std::string(Eol);
                    break;
                default:
                    // A count that says fewer lines than follow: the rest are passed over.
                    Mif += "Pline " + std::to_string(Count) + Eol;
                    Points(Count + 2);
                    break;
            }
            Mif += "    Pen (" + std::to_string(1 + Next() % 3) + ",2,0)" + Eol;
            Mid += "\"o" + std::to_string(Object) + "\"\n";
        }
        Mif += "Point 1 2" + std::string(Eol) + "Pline 2" + Eol + "1 2" + Eol + "3 4";
        ExpectSame(Mif, Mid);
        // Cut anywhere: what is read before the cut, and the error, are the same.
        for (const size_t Cut : {(size_t(1) << 20) + 7, Mif.size() - 5})
            ExpectSame(Mif.substr(0, Cut), Mid);
    }
}

TEST_F(MifLookaheadTest, FailsWhereTheImporterFailsAlone) {
    const std::string Lines = [] {
        std::string L;
        for (int I = 0; I < 100000; ++I) L += std::to_string(I % 170) + ".25 " + std::to_string(I % 80) + ".5\n";
        return L;
    }();
    const std::string Cases[] = {
        std::string(kHeader) + "Pline 100001\n" + Lines + "Pen x\n",
        std::string(kHeader) + "Region 1\n 100000\n" + Lines.substr(0, Lines.size() / 2) + "400 1\n" + Lines,
        std::string(kHeader) + "Pline 100000\n" + Lines.substr(0, Lines.size() - 200) + "1 x\n",
    };
    for (const std::string& Mif : Cases) ExpectSame(Mif);
    EXPECT_NE(Outcome(Cases[0], "", true).find("ahead.mif, line"), std::string::npos);
}

}  // namespace
