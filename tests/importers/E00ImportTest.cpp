// E00 import: real coverages, a coverage written here in both precisions, the projection block
// and its inversions, the dialog and files that lie.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstdio>

#include "ImportFixtures.h"
#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/TfrmE00Import.h"

namespace {

constexpr long double kRad = OrvexPi / 180;

// Writes E00 sections in single or double precision.
struct TE00Writer {
    bool Double = false;
    std::string Text = "EXP  0 /test/cover.e00\n";

    std::string Int(long long V) const {
        char B[32];
        std::snprintf(B, sizeof B, "%10lld", V);
        return B;
    }
    std::string Real(double V) const {
        char B[32];
        std::snprintf(B, sizeof B, Double ? "%21.14E" : "%14.7E", V);
        return B;
    }
    void Section(const char* Name) { Text += std::string(Name) + (Double ? "  3\n" : "  2\n"); }
    void Line(const std::string& L) { Text += L + "\n"; }
    void End() { Line(Int(-1) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0) + Int(0)); }
    void Arc(int Number, int Title, const std::vector<std::pair<double, double>>& Pts) {
        Line(Int(Number) + Int(Number) + Int(Title) + Int(0) + Int(0) + Int(0) + Int(long(Pts.size())));
        const size_t PerLine = Double ? 1 : 2;
        for (size_t I = 0; I < Pts.size(); I += PerLine) {
            std::string L;
            for (size_t J = I; J < std::min(Pts.size(), I + PerLine); ++J) L += Real(Pts[J].first) + Real(Pts[J].second);
            Line(L);
        }
    }
    void Polygon(const std::vector<int>& Arcs) {
        Line(Int(long(Arcs.size())) + Real(0) + Real(0) + (Double ? "" : Real(1) + Real(1)));
        if (Double) Line(Real(1) + Real(1));
        for (size_t I = 0; I < Arcs.size(); I += 2)
            Line(Int(Arcs[I]) + Int(0) + Int(0) + (I + 1 < Arcs.size() ? Int(Arcs[I + 1]) + Int(0) + Int(0) : ""));
    }
    void Label(int Polygon, double X, double Y, int Coverage = 1) {
        Line(Int(Coverage) + Int(Polygon) + Real(X) + Real(Y));
        if (Double) {
            Line(Real(X) + Real(Y));
            Line(Real(X) + Real(Y));
        } else {
            Line(Real(X) + Real(Y) + Real(X) + Real(Y));
        }
    }
    void LabelsEnd() { Label(0, 0, 0, -1); }
    void Projection(const std::vector<std::string>& Lines) {
        Line("PRJ  2");
        for (const std::string& L : Lines) Line(L), Line("~");
        Line("EOP");
    }
};

std::string Key(const char* K, const std::string& V) {
    char B[64];
    std::snprintf(B, sizeof B, "%-14s%s", K, V.c_str());
    return B;
}

// A geographic coverage: labels before the polygons (as ArcInfo writes them), an arc without
// points before the others, a five-point arc no polygon uses, a polygon of two rings, a ring
// too short to be a polygon, and a text.
std::string Coverage(bool Double) {
    TE00Writer W{Double};
    W.Section("LAB");
    W.Label(7, 1.5, 1.5);
    W.Label(9, 20, 20);
    W.Label(10, 20, 20.001);  // beside the last: both are kept
    W.LabelsEnd();
    W.Section("ARC");
    W.Arc(1, 11, {});
    W.Arc(2, 12, {{0, 0}, {0, 3}, {3, 3}});
    W.Arc(3, 13, {{3, 3}, {3, 0}, {0, 0}});
    W.Arc(4, 14, {{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}});
    W.Arc(5, 15, {{5, 5}, {6, 6}});
    W.End();
    W.Section("PAL");
    W.Polygon({-2, -3, 0});
    W.Polygon({2, 3});
    W.Polygon({2, 0, -3});
    W.Polygon({5});
    W.End();
    W.Section("TX7");
    W.Line("ANNO.TEXT");
    W.Line(W.Int(1) + W.Int(0) + W.Int(1));
    for (int I = 0; I < 8; ++I) W.Line(W.Int(0));
    W.Line(W.Real(7) + W.Real(8));
    W.Line("Hello World");
    W.End();
    W.Projection({Key("Projection", "GEOGRAPHIC"), Key("Units", "DD"), "Parameters"});
    return W.Text;
}

class E00Import : public ImportTest {
protected:
    void Import(const std::vector<std::string>& Paths) { ImportE00(Paths, View, &Options); }
    TPoint3D Deg(double Lon, double Lat) const { return MakePoint(DegToOrvexUnits(Lon), DegToOrvexUnits(Lat)); }
    TE00ImportPresetOptions Options;
};

TEST_F(E00Import, CoverageInBothPrecisions) {
    for (bool Double : {false, true}) {
        SCOPED_TRACE(Double ? "double" : "single");
        const std::string Path = Write(Double ? "double.e00" : "single.e00", Coverage(Double));
        Import({Path});
        // The unused arc, the polygons (arcs found by number, not position), the text, and the
        // label outside every polygon.
        EXPECT_EQ(Titles(), (std::vector<std::string>{"14", "2", "3", "4", "Hello World", "9", "10"}));
        EXPECT_EQ(Points(Object(0)), (std::vector<TPoint3D>{Deg(10, 10), Deg(11, 10), Deg(12, 10), Deg(13, 10), Deg(14, 10)}));
        EXPECT_EQ(Points(Object(1)), (std::vector<TPoint3D>{Deg(0, 0), Deg(0, 3), Deg(3, 3), Deg(3, 3), Deg(3, 0), Deg(0, 0)}));
        EXPECT_EQ(Points(Object(3)), (std::vector<TPoint3D>{Deg(0, 0), Deg(3, 0), Deg(3, 3)})) << "arc 3 reversed";
        EXPECT_EQ(Object(1)->FeatureID(), -3);
        EXPECT_EQ(Object(0)->FeatureID(), -1);
        EXPECT_EQ(Points(Object(4)), std::vector<TPoint3D>{Deg(7, 8)});
        EXPECT_EQ(Points(Object(5)), std::vector<TPoint3D>{Deg(20, 20)});
        EXPECT_EQ(Object(5)->FeatureID(), -1);
        EXPECT_TRUE(Reported(1, "ARC Import of " + Path));
        EXPECT_TRUE(Reported(0, Last()->Name() + ": Cleaning Up"));
        EXPECT_TRUE(Reported(0, Last()->Name() + ": Imported 7 objects"));
        EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("E00 Import Finished")));
    }
    // Arcs and texts can be left out; labels are always read.
    Options.Arcs = Options.Text = false;
    Import({Write("labels.e00", Coverage(false))});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"7", "9", "10"}));
}

TEST_F(E00Import, RealUtmCoveragesKeptAfterTheWarning) {
    // UTM in metres, kept as it is (not converted): read as degrees only when the user agrees.
    const std::string Poly = TestData("gdal-autotest/avc/testpoly.e00");
    const std::string Lines = TestData("gdal-autotest/avc/test.e00");
    Ui.Answers = {true, true, false};  // the dialog, then the two warnings
    Ui.OnDialog = [](QDialog& D) { dynamic_cast<TfrmE00Import&>(D).cbxKeepCoordinates->setChecked(true); };
    ImportE00({Poly, Lines}, View);  // the dialog options: the warning goes through the UI services
    ASSERT_EQ(Ui.Messages.size(), 2u);
    EXPECT_TRUE(Ui.Messages[0].Warning);
    EXPECT_EQ(Ui.Messages[0].Text, "Projection is UTM Load anyway?");
    ASSERT_EQ(View.LayerCount(), 2);
    TOrvexLayer* Polygons = View.GetLayer(0);
    // Three polygons of the four in PAL (the first is the universe); every arc is used; the two
    // labels lie inside polygons.
    ASSERT_EQ(Polygons->ObjectCount(), 3);
    EXPECT_EQ(Polygons->GetObject(0)->Title(), "2");
    EXPECT_EQ(Polygons->GetObject(2)->Title(), "4");
    EXPECT_EQ(Polygons->GetObject(2)->GetPointCount(), 5) << "arcs -4 and -5";
    // "Units METERS": whole metres times the metre factor.
    EXPECT_EQ(Polygons->GetObject(0)->GetPoint(0),
              MakePoint(UnitsToOrvexUnits(Meter, 340299), UnitsToOrvexUnits(Meter, 4100199)));
    EXPECT_EQ(Last()->ObjectCount(), 0) << "Cancel leaves the file's layer empty";
    EXPECT_TRUE(Reported(-1, Lines + ": file is not in Geographic projection"));

    Options.AcceptUnknownProjection = true;
    Options.KeepOriginalCoordinates = true;
    Import({Lines});
    EXPECT_EQ(Last()->ObjectCount(), 7) << "seven arcs; the labels fall in arc extents";
    EXPECT_EQ(Object(0)->Title(), "0") << "columns 21-30 of the arc header";
}

TEST_F(E00Import, TheProjectionBlockChoosesTheConversion) {
    struct Row {
        const char* Name;
        std::vector<std::string> Prj;
        double X, Y;
        TPoint3D Expected;
        int32_t Tolerance;
    };
    const TPolarStereographic South(6378206.4L, 1 / 294.9786982L, -100 * kRad, true);
    long double PX = 0, PY = 0;
    South.Forward(-70 * kRad, -60 * kRad, PX, PY);
    const Row Rows[] = {
        {"metres truncated", {Key("Projection", "GEOGRAPHIC"), Key("Units", "METERS")}, 1852.9, 0, MakePoint(90000, 0), 0},
        {"no projection block: degrees", {}, 12.5, -30.25, MakePoint(12 * kDeg + 30 * kMin, -(30 * kDeg + 15 * kMin)), 0},
        {"polar centre",
         {Key("Projection", "POLAR"), Key("Units", "METERS"), Key("Spheroid", "CLARKE1866"), "Parameters",
          "-100  0  0.00"},
         0, 0, MakePoint(-100LL * kDeg, -90 * kDeg), 0},
        // Whole metres: a metre off in x or y turns the point by up to 100 OrvexUnits here.
        {"polar point",
         {Key("Projection", "POLAR"), Key("Units", "METERS"), Key("Spheroid", "CLARKE1866"), "Parameters",
          "-100  0  0.00"},
         double(PX), double(PY), MakePoint(-70LL * kDeg, -60 * kDeg), 150},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        TE00Writer W;
        W.Section("LAB");
        W.Label(1, R.X, R.Y);
        W.LabelsEnd();
        std::string Text = W.Text;
        if (!R.Prj.empty()) {
            TE00Writer P;
            P.Text.clear();
            P.Projection(R.Prj);
            Text += P.Text;
        }
        Import({Write("prj.e00", Text)});
        ASSERT_EQ(Last()->ObjectCount(), 1);
        const TPoint3D P = Object(0)->GetPoint(0);
        EXPECT_NEAR(P.X, R.Expected.X, R.Tolerance);
        EXPECT_NEAR(P.Y, R.Expected.Y, R.Tolerance);
    }
}

// Reference values from the EPSG guidance note's worked examples.
TEST(E00Projections, InversionsMatchTheReferenceExamples) {
    // Polar stereographic, variant A: WGS 84, north pole, k0 0.994, false origin 2,000,000 m.
    const TPolarStereographic North(6378137.0L, 1 / 298.257223563L, 0, false, 0.994L);
    long double Lon = 0, Lat = 0, X = 0, Y = 0;
    North.Inverse(3320416.75L - 2000000, 632668.43L - 2000000, Lon, Lat);
    EXPECT_NEAR(double(Lon / kRad), 44.0, 1e-7);
    EXPECT_NEAR(double(Lat / kRad), 73.0, 1e-7);
    North.Forward(44 * kRad, 73 * kRad, X, Y);
    EXPECT_NEAR(double(X), 1320416.75, 0.01);
    EXPECT_NEAR(double(Y), -1367331.57, 0.01);

    // Lambert conformal conic, two parallels: Clarke 1866 in US survey feet.
    const long double Foot = 1200.0L / 3937;
    const TLambertConformalConic Texas(6378206.4L / Foot, 1 / 294.97869821L, (28 + 23.0L / 60) * kRad,
                                       (30 + 17.0L / 60) * kRad, (27 + 50.0L / 60) * kRad, -99 * kRad);
    Texas.Inverse(2963503.91L - 2000000, 254759.80L, Lon, Lat);
    EXPECT_NEAR(double(Lon / kRad), -96.0, 1e-7);
    EXPECT_NEAR(double(Lat / kRad), 28.5, 1e-7);

    // The south pole's centre, and points all round it, come back where they were.
    const TPolarStereographic South(309952662.0L, 1 / 298.257223563L, 170 * kRad, true);
    South.Inverse(0, 0, Lon, Lat);
    EXPECT_EQ(Lat, -OrvexPi / 2);
    EXPECT_EQ(Lon, 170 * kRad);
    for (int L = -180; L < 180; L += 45)
        for (int B : {-89, -60, -10}) {
            South.Forward(L * kRad, B * kRad, X, Y);
            South.Inverse(X, Y, Lon, Lat);
            EXPECT_NEAR(double(std::remainder(Lon - L * kRad, 2 * OrvexPi)), 0, 1e-10) << L << " " << B;
            EXPECT_NEAR(double(Lat), double(B * kRad), 1e-10) << L << " " << B;
        }
}

TEST_F(E00Import, DialogChoosesRecordsThroughItsWidgets) {
    Ui.OnDialog = [](QDialog& D) {
        auto* F = dynamic_cast<TfrmE00Import*>(&D);
        ASSERT_NE(F, nullptr);
        F->show();
        EXPECT_EQ(F->windowTitle(), "Import ArcInfo E00 File");
        EXPECT_EQ(F->size(), QSize(224, 106));
        EXPECT_TRUE(F->cbxArcs->isChecked());
        QTest::mouseClick(F->cbxArcs, Qt::LeftButton);
        EXPECT_FALSE(F->cbxArcs->isChecked());
        QTest::mouseClick(F->btnImport, Qt::LeftButton);
    };
    ImportE00({Write("c.e00", Coverage(false))}, View);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Hello World", "7", "9", "10"}));

    // Cancel: no layer, and the run still reports its end.
    Ui.OnDialog = nullptr;
    Ui.Answers = {false};
    const int32_t Layers = View.LayerCount();
    ImportE00({Write("c.e00", Coverage(false))}, View);
    EXPECT_EQ(View.LayerCount(), Layers);
    EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("E00 Import Finished")));
}

TEST_F(E00Import, FilesThatLieOrHoldNoVectorsFailNamingTheFile) {
    const std::string Good = Coverage(false);
    auto Replace = [&](const std::string& From, const std::string& To) {
        std::string S = Good;
        S.replace(S.find(From), From.size(), To);
        return S;
    };
    TE00Writer W;
    struct Row {
        const char* Name;
        std::string Text;
        const char* Error;
    };
    const Row Rows[] = {
        {"arc count past the end", Replace(W.Int(14) + W.Int(0) + W.Int(0) + W.Int(0) + W.Int(5),
                                           W.Int(14) + W.Int(0) + W.Int(0) + W.Int(0) + W.Int(999999999)),
         "more than the rest of the file holds"},
        {"a universe polygon of 2,147,483,647 arcs", Replace("PAL  2\n" + W.Int(3), "PAL  2\n" + W.Int(2147483647)),
         "states 2147483647 arcs, more than the rest of the file holds"},
        {"a polygon of -5 arcs", Replace("PAL  2\n" + W.Int(3), "PAL  2\n" + W.Int(-5)), "states -5 arcs"},
        {"polygon naming no arc", Replace(W.Int(5) + W.Int(0) + W.Int(0) + "\n", W.Int(8) + W.Int(0) + W.Int(0) + "\n"),
         "lists arc 8"},
        {"not a number", Replace("1.1000000E+01", "1.1000000X+01"), "is not a number"},
        // Inside the second polygon's arc line: the universe and the header before are whole.
        {"cut off", Good.substr(0, Good.find("PAL  2") + 7 + 159 + 67 + 20), "is not a whole number"},
        {"compressed", "EXP  1 /x.e00\n" + Good.substr(Good.find('\n') + 1), "compressed"},
        {"no vector section", ReadBytes(TestData("gdal-autotest/e00grid/fake_e00grid.e00")), "no vector coverage"},
        {"projected degrees", ReadBytes(TestData("gdal-autotest/avc/testpoint.e00")), "does not fit in OrvexUnits"},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        const std::string Path = Write("lie.e00", R.Text);
        try {
            Import({Path});
            ADD_FAILURE() << "no error";
        } catch (const EImportError& E) {
            EXPECT_EQ(std::string(E.what()).rfind(Path, 0), 0u) << E.what();
            EXPECT_NE(std::string(E.what()).find(R.Error), std::string::npos) << E.what();
        }
        EXPECT_EQ(Reports.back(), std::make_pair(2, std::string("E00 Import Finished")));
    }

    const std::string Real = ReadBytes(TestData("gdal-autotest/avc/testpoly.e00"));
    Options.AcceptUnknownProjection = true;
    for (size_t Size = 0; Size <= Real.size(); Size += 29) {
        View.Clear();
        try {
            Import({Write("cut.e00", Real.substr(0, Size))});
            EXPECT_LE(Last()->ObjectCount(), 7 + 3 + 2);
        } catch (const EImportError&) {
        }
    }
}

}  // namespace
