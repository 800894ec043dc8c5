// Layer settings, the visibility pass, searches and hit tests, files and profile settings.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <thread>

#include "ModelFixtures.h"
#include "model/ExtentRefresh.h"
#include "platform/IniFile.h"
#include "styling/PolylinePresenter.h"

namespace {

class LayerSettingsTest : public ::testing::Test {
protected:
    TTestView View;
    TOrvexLayer* L = View.AddLayer("Roads");
};

TEST_F(LayerSettingsTest, SettersFlagTheViewOnlyOnChange) {
    View.LayersChanged = View.ScaleChanged = View.RedrawPending = false;
    L->SetVisible(true);
    EXPECT_FALSE(View.LayersChanged);
    L->SetVisible(false);
    EXPECT_TRUE(View.LayersChanged && View.ScaleChanged && View.RedrawPending);

    View.LayersChanged = View.ScaleChanged = View.RedrawPending = false;
    L->SetZoomMin(5);
    EXPECT_TRUE(View.LayersChanged && View.RedrawPending);
    EXPECT_FALSE(View.ScaleChanged);

    View.LayersChanged = View.RedrawPending = false;
    L->SetName("Streets");
    EXPECT_TRUE(View.LayersChanged);
    EXPECT_FALSE(View.RedrawPending) << "renaming does not redraw";
}

TEST_F(LayerSettingsTest, ZoomUnitsKeepTheRangePhysicallyEqual) {
    L->SetZoomMin(100);
    L->SetZoomMax(1000);
    L->SetZoomUnits(Kilometer);
    EXPECT_EQ(L->ZoomMin(), 185);
    EXPECT_EQ(L->ZoomMax(), 1852);
    EXPECT_EQ(L->ZoomUnits(), Kilometer);
    EXPECT_THROW(L->SetZoomUnits(Pixel), EFloatingPointError);
    EXPECT_EQ(L->ZoomUnits(), Kilometer);
    EXPECT_EQ(L->ZoomMin(), 185);
}

TEST_F(LayerSettingsTest, ZoomUnitsThatCannotHoldTheRangeChangeNothing) {
    // 400 degrees is 2,160,000,000 OrvexUnits: past int32, it used to wrap to -2,134,967,296.
    const struct {
        const char* Name;
        TOrvexUnits From, To;
        int32_t Min, Max;
    } Rows[] = {
        {"degrees to OrvexUnits", Degree, OrvexUnit, 1, 400},
        {"minutes to centimetres", Minute, CentiMeter, 0, 20000},
        {"kilometres past the range", Kilometer, Thousanth, 0, 50000},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        L->SetZoomMin(0);
        L->SetZoomMax(0);
        L->SetZoomUnits(R.From);
        L->SetZoomMin(R.Min);
        L->SetZoomMax(R.Max);
        EXPECT_THROW(L->SetZoomUnits(R.To), EFloatingPointError);
        EXPECT_EQ(L->ZoomUnits(), R.From);
        EXPECT_EQ(L->ZoomMin(), R.Min);
        EXPECT_EQ(L->ZoomMax(), R.Max);
    }
    L->SetZoomMax(0);
    L->SetZoomUnits(Degree);
    L->SetZoomMax(397);
    L->SetZoomUnits(OrvexUnit);
    EXPECT_EQ(L->ZoomMax(), 397 * OrvexUnits::PerDegree) << "a range that fits converts";
}

TEST_F(LayerSettingsTest, IndexMovesTheLayerInTheView) {
    auto* M = View.AddLayer("M");
    auto* N = View.AddLayer("N");
    N->SetIndex(0);
    EXPECT_EQ(View.Layers(), (std::vector<TOrvexLayer*>{N, L, M}));
    EXPECT_EQ(L->Index(), 1);
    EXPECT_EQ(Message([&] { L->SetIndex(3); }), "TOrvexLayer.SetIndex: Bad position");
    EXPECT_EQ(View.Layers(), (std::vector<TOrvexLayer*>{N, L, M}));
}

TEST_F(LayerSettingsTest, ZoomRangeDecidesLayerVisibility) {
    TGeoDataObject::Create(L);
    L->SetExtents(TExtent{0, 0, 10, 10});
    L->SetZoomMin(100);  // nautical miles: 9,000,000 OrvexUnits
    View.ForceAltitude(9000000);
    EXPECT_FALSE(L->IsVisible());
    View.ForceAltitude(9000001);
    EXPECT_TRUE(L->IsVisible());
    L->SetZoomMax(200);
    View.ForceAltitude(18000000);
    EXPECT_TRUE(L->IsVisible());
    View.ForceAltitude(18000001);
    EXPECT_FALSE(L->IsVisible());
    L->SetVisible(false);
    View.ForceAltitude(10000000);
    EXPECT_FALSE(L->IsVisible());
}

TEST_F(LayerSettingsTest, VisibilityPassTestsOnlyWhatNeedsIt) {
    View.SetScale(0.001L);
    auto* A = Chain(L, {MakePoint(0, 0), MakePoint(10000, 10000)});
    auto* Hidden = Chain(L, {MakePoint(0, 0), MakePoint(10000, 10000)});
    Hidden->SetHidden(true);
    Hidden->IncludeState(osInView | osFrontSide);
    View.RedrawPending = true;
    L->UpdateVisibility();
    EXPECT_TRUE(A->HasState(osInView | osExtentsValid));
    EXPECT_FALSE(Hidden->HasState(osInView | osFrontSide));
    EXPECT_NE(L->Extents(), TExtent{}) << "the layer extent is computed once it is empty";

    // Nothing pending: objects without osRetest are not tested again.
    View.RedrawPending = View.ScaleChanged = false;
    A->ExcludeState(osRetest);
    const int Calls = View.Prj->ExtentCalls;
    L->UpdateVisibility();
    EXPECT_EQ(View.Prj->ExtentCalls, Calls);

    View.Prj->ExtentAnswer = false;
    A->SetSelected(true);  // sets osRetest
    L->UpdateVisibility();
    EXPECT_FALSE(A->HasState(osInView));
    EXPECT_FALSE(A->HasState(osRetest)) << "an invisible object is not retested until something changes";
}

TEST_F(LayerSettingsTest, ExtentIsTheUnionWidenedByOne) {
    auto* A = TGeoDataObject::Create(L);
    auto* B = TGeoDataObject::Create(L);
    A->SetExtents(TExtent{10, 20, 5, 5});
    B->SetExtents(TExtent{-5, 30, 100, 1});
    L->CalcExtents();
    EXPECT_EQ(L->Extents(), (TExtent{-6, 19, 101, 12}));
    L->Clear();
    L->CalcExtents();
    EXPECT_EQ(L->Extents(), TExtent{});
}

// A presenter made elsewhere that widens a chain's box by a pixel's worth of units.
class TWideningPresenter : public TPolylinePresenter {
public:
    explicit TWideningPresenter(TOrvexLayer* L) : TPolylinePresenter(L) {}
    void AdjustExtents(TOrvexObject& O) override {
        const TExtent E = O.Extents();
        const int32_t D = int32_t(1 / View()->GetScaleFactor());
        O.SetExtents(TExtent{E.Left - D, E.Bottom - D, E.Width + 2 * D, E.Height + 2 * D});
        TPolylinePresenter::AdjustExtents(O);
    }
};

TEST_F(LayerSettingsTest, EveryScaleGivesChainsTheBoxAndSubPixelStateTheirPointsGive) {
    auto* Ours = TPolylinePresenter::Create(L);
    auto* Theirs = new TWideningPresenter(L);
    auto* Plain = Chain(L, {MakePoint(0, 0), MakePoint(1000, 500)});
    auto* Widened = Chain(L, {MakePoint(0, 0), MakePoint(1000, 500)});
    Plain->SetPresenter(Ours);
    Widened->SetPresenter(Theirs);
    const TExtent Box{-1, -1, 1002, 502};
    // Zooming out until the chain fits in a pixel, and back in.
    for (long double Scale : {1.0L, 0.01L, 0.0001L, 0.01L, 1.0L, 0.5L}) {
        SCOPED_TRACE(double(Scale));
        View.SetScale(Scale);
        View.ScaleChanged = true;
        L->UpdateVisibility();
        const int32_t D = int32_t(1 / Scale);
        EXPECT_EQ(Plain->Extents(), Box);
        EXPECT_EQ(Widened->Extents(), (TExtent{Box.Left - D, Box.Bottom - D, Box.Width + 2 * D, Box.Height + 2 * D}))
            << "the widening is not added again on every change";
        EXPECT_EQ(Plain->HasState(osSubPixel), Scale == 0.0001L);
    }
}

TEST(SizeCodes, BoundEverySizeTightlyAndInOrder) {
    const int64_t Sizes[] = {-5, 0, 1, 15, 16, 17, 999, 2047, 2048, 2049, 4095, 4096, 4097, 1000000, 2147483647};
    uint8_t Last = 0;
    for (int64_t Size : Sizes) {
        SCOPED_TRACE(Size);
        const uint8_t C = SizeCode(Size);
        ASSERT_NE(C, SizeVisit);
        EXPECT_GE(C, Last) << "codes follow sizes";
        Last = C;
        const int64_t Held = std::max<int64_t>(Size, 0);
        EXPECT_LE(SizeCodeLeast(C), Held);
        EXPECT_GE(SizeCodeMost(C), Held);
        EXPECT_LE(SizeCodeMost(C) - SizeCodeLeast(C), Held / 8) << "4 significant bits";
    }
    // A size between the two pixels may change state; one clear of both cannot.
    const struct {
        int64_t Size;
        long double UnitsA, UnitsB;
        bool Stays;
    } Rows[] = {
        {1000, 999, 1000, false},  {1000, 1024, 2000, true},     {1100, 500, 1000, true},
        {4097, 4096, 8192, false}, {8191, 4096, 8192, false},    {9300, 4096, 8192, true},
        {0, 0, 0, true},           {2147483647, 1, 1e12, false}, {65535, 1, 2, true},
        // Within a code's rounding of a pixel's size: looked at, though it may stay.
        {1001, 500, 1000, false},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Size);
        EXPECT_EQ(StayingCodes(R.UnitsA, R.UnitsB).Holds(SizeCode(R.Size)), R.Stays);
        EXPECT_EQ(StayingCodes(R.UnitsB, R.UnitsA).Holds(SizeCode(R.Size)), R.Stays);
    }
    EXPECT_FALSE(StayingCodes(1, 2).Holds(SizeVisit));
}

// Two views hold the same objects; the second's list of settled objects is broken before each
// pass, so that it looks at every object. A pass after a change of scale that passes over
// objects by their size codes must leave every state and extent as the full pass does.
TEST(SettledObjects, PassesAfterAChangeOfScaleLeaveTheStatesOfAFullPass) {
    TTestView Views[2];
    TOrvexLayer* Layers[2] = {Views[0].AddLayer("Coded"), Views[1].AddLayer("Full")};
    std::vector<TGeoDataObject*> Objects[2];
    for (int V = 0; V < 2; ++V) {
        TOrvexLayer* L = Layers[V];
        auto* Lines = TPolylinePresenter::Create(L);
        auto* Widening = new TWideningPresenter(L);
        std::vector<int64_t> Sizes = {999, 1000, 1001, 2047, 2048, 2049, 4095, 4096, 4097};
        for (double S = 1; S < 2e7; S *= 1.37) Sizes.push_back(int64_t(S));
        for (size_t K = 0; K < Sizes.size(); ++K) {
            const int32_t Size = int32_t(Sizes[K]);
            auto* O = Chain(L, {MakePoint(0, 0), MakePoint(Size, Size / 2)});
            if (K % 5 != 0) O->SetPresenter(K % 11 == 0 ? static_cast<TOrvexPresenter*>(Widening) : Lines);
            if (K % 7 == 3) O->SetHidden(true);
            Objects[V].push_back(O);
        }
    }
    auto Pass = [&](long double Scale, bool ScaleChanged) {
        for (int V = 0; V < 2; ++V) {
            Views[V].SetScale(Scale);
            Views[V].ScaleChanged = ScaleChanged;
            Views[V].RedrawPending = true;
        }
        TGeoDataObject::Create(Layers[1])->Delete();
        for (TOrvexLayer* L : Layers) L->UpdateVisibility();
        for (size_t K = 0; K < Objects[0].size(); ++K) {
            SCOPED_TRACE(K);
            ASSERT_EQ(Objects[0][K]->State(), Objects[1][K]->State());
            ASSERT_EQ(Objects[0][K]->Extents(), Objects[1][K]->Extents());
        }
    };
    // In and out, across sizes coded exactly and roughly, with pixels the size of some objects.
    for (long double Scale : {1.0L, 0.5L, 0.001L, 0.000999L, 0.001L, 1.0L / 2048, 1.0L / 4096, 1.0L / 2048, 1e-5L,
                              3e-6L, 1e-7L, 1e-5L, 0.01L}) {
        SCOPED_TRACE(double(Scale));
        Pass(Scale, true);
        Pass(Scale, false);
    }
    // A settled object's box changes, or it is shown again: the next change of scale finds it.
    for (int V = 0; V < 2; ++V) {
        Objects[V][3]->SetHidden(false);
        Objects[V][1]->SetExtents(TExtent{0, 0, 100000, 10});
    }
    for (long double Scale : {1e-4L, 1e-3L, 1e-4L}) {
        SCOPED_TRACE(double(Scale));
        Pass(Scale, true);
    }
}

TEST_F(LayerSettingsTest, SearchesStartBehindAfter) {
    auto* A = TGeoDataObject::Create(L, nullptr, 1, "x");
    auto* B = TGeoDataObject::Create(L, nullptr, 2, "X");
    auto* C = TGeoDataObject::Create(L, nullptr, 1, "x");
    C->SetRowID(7);
    EXPECT_EQ(L->FindObjectByTitle("x", nullptr), A);
    EXPECT_EQ(L->FindObjectByTitle("x", A), C) << "case-sensitive";
    EXPECT_EQ(L->FindObjectByTitle("x", C), nullptr);
    EXPECT_EQ(L->FindObjectByID(2, nullptr), B);
    EXPECT_EQ(L->FindObjectByID(1, A), C);
    EXPECT_EQ(L->FindObjectByRowID(7, nullptr), C);
}

TEST_F(LayerSettingsTest, ClicksCycleDownThroughOverlappingObjects) {
    View.SetScale(0.001L);
    auto* A = Chain(L, {MakePoint(-50000, -50000), MakePoint(50000, 50000)});
    auto* B = Chain(L, {MakePoint(-50000, -50000), MakePoint(50000, 50000)});
    L->SetExtents(TExtent{-50001, -50001, 100002, 100002});
    View.RedrawPending = true;
    L->UpdateVisibility();
    // Pixel (75, 75) is the origin of the test projection.
    EXPECT_EQ(L->ObjectAtXY(75, 75), B) << "nothing selected: the topmost";
    View.SelectObject(B);
    EXPECT_EQ(L->ObjectAtXY(75, 75), A);
    View.SelectObject(A);
    EXPECT_EQ(L->ObjectAtXY(75, 75), B);
    EXPECT_EQ(L->ObjectAtXY(1000, 75), nullptr);
    EXPECT_EQ(L->ObjectAtLatLong(0, 0), B);
    A->ExcludeState(osInView);
    B->ExcludeState(osInView);
    EXPECT_EQ(L->ObjectAtXY(75, 75), nullptr) << "only objects in view are picked on screen";
    EXPECT_EQ(L->ObjectAtLatLong(0, 0), B) << "the geographic test ignores the view";
}

TEST_F(LayerSettingsTest, LongRendersShowTheirProgressEveryPeriod) {
    for (int I = 0; I < 600; ++I) TGeoDataObject::Create(L)->SetState(osInView | osFrontSide);
    L->SetExtents(TExtent{0, 0, 10, 10});
    int Drawn = 0;
    View.OnRenderObject = [&](TOrvex3*, TOrvexObject*, bool& Done) {
        // Objects 0, 255 and 510 are slow; the clock is read after each of them.
        if (Drawn++ % 255 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
        Done = true;
    };
    L->Render();
    EXPECT_EQ(Drawn, 600);
    EXPECT_EQ(View.SurfaceCopies, 0) << "PeriodicUpdateTime 0 shows nothing before the paint ends";
    View.PeriodicUpdateTime = 1;
    Drawn = 0;
    L->Render();
    EXPECT_EQ(View.SurfaceCopies, 3);
}

TEST_F(LayerSettingsTest, PurgeDeletesUnusedPresenters) {
    auto* Used = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 1, "");
    TOrvexPresenter::CreateNamed<TTestPresenter>(L, 2, "");
    TOrvexPresenter::CreateNamed<TTestPresenter>(L, 3, "");
    TGeoDataObject::Create(L, Used, 0, "");
    L->PurgePresenters();
    EXPECT_EQ(L->Presenters(), (std::vector<TOrvexPresenter*>{Used}));
}

class LayerFilesTest : public LayerSettingsTest {
protected:
    QTemporaryDir Dir;
    std::string Path(const std::string& Name) { return QDir(Dir.path()).filePath(QString::fromStdString(Name)).toStdString(); }
};

TEST_F(LayerFilesTest, MissingFileIsReportedWithItsPath) {
    std::vector<std::string> Progress;
    View.OnProgress = [&](TOrvex3*, int Type, const std::string& Text, bool&) {
        Progress.push_back(std::to_string(Type) + ":" + Text);
    };
    const std::string P = Path("none.lyr");
    EXPECT_EQ(Message([&] { L->ChangeFilename(P); }), "LoadFromFile: File " + P + " not found");
    EXPECT_EQ(L->Filename(), "none.lyr");
    EXPECT_EQ(L->Directory(), Dir.path().toStdString() + "/");
    ASSERT_FALSE(Progress.empty());
    EXPECT_EQ(Progress[0], "1:Loading Layer " + P);

    View.SetDataDirectory(Dir.path().toStdString());
    EXPECT_THROW(L->ChangeFilename("other.lyr"), EOrvexException);
    EXPECT_EQ(L->Directory(), Dir.path().toStdString() + "/") << "a bare name lives in the data directory";
}

TEST_F(LayerFilesTest, StoredPathsMaySeparateFoldersWithBackslashes) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("sub"));
    TGeoDataObject::Create(L, nullptr, 1, "x")->AddPoint(MakePoint(0, 0));
    L->SaveToFile(Path("sub/world.lyr"));
    auto* M = View.AddLayer("");
    M->ChangeFilename(Dir.path().toStdString() + "\\sub\\world.lyr");
    EXPECT_EQ(M->Filename(), "world.lyr");
    EXPECT_EQ(M->Directory(), Dir.path().toStdString() + "/sub/");
    EXPECT_EQ(M->ObjectCount(), 1);

    // A data directory written on Windows ends in a backslash.
    View.SetDataDirectory(Dir.path().toStdString() + "\\sub\\");
    auto* N = View.AddLayer("");
    N->ChangeFilename("world.lyr");
    EXPECT_EQ(N->Directory(), Dir.path().toStdString() + "/sub/");
    EXPECT_EQ(N->ObjectCount(), 1);
}

TEST_F(LayerFilesTest, SettingsRoundTripThroughTheProfile) {
    View.SetProfile(std::make_unique<TIniFile>(Path("view.prf")));
    // A load-on-demand layer is named without reading its (absent) file.
    View.Profile()->WriteBool("coast.lyr", "LoadOnDemand", true);
    L->ChangeFilename(Path("coast.lyr"));
    EXPECT_TRUE(L->LoadOnDemand());
    L->SetLoadOnDemand(false);
    L->SaveSettings();
    EXPECT_EQ(View.Profile()->ReadSection("coast.lyr"), (std::vector<std::string>{"Name"}))
        << "defaults are not written";

    L->SetEnabled(false);
    L->SetAnimated(true);
    L->SetLoadOnDemand(true);
    L->SetZoomUnits(Kilometer);
    L->SetZoomMin(10);
    L->SetZoomMax(500);
    L->SetMaxFontHeight(12);
    L->SaveSettings();

    auto* M = View.AddLayer("");
    M->ChangeFilename(Path("coast.lyr"));
    EXPECT_EQ(M->Name(), "Roads");
    EXPECT_FALSE(M->Enabled());
    EXPECT_TRUE(M->Visible());
    EXPECT_TRUE(M->Animated());
    EXPECT_TRUE(M->LoadOnDemand());
    EXPECT_EQ(M->ZoomUnits(), Kilometer);
    EXPECT_EQ(M->ZoomMin(), 10);
    EXPECT_EQ(M->ZoomMax(), 500);
    EXPECT_EQ(M->MaxFontHeight(), 12);

    View.Profile()->WriteString("coast.lyr", "ZoomUnits", "furlong");
    EXPECT_EQ(Message([&] { M->ChangeFilename(Path("coast.lyr")); }), "StrToUnits: Unknown Unit furlong");
}

// A layer outside any view (the command-line tool's summary reads files so) stands on its own:
// global presenters of its own that no other layer shares, and single points bounded by their
// own place, not by the widest box a missing scale gave them (whose union spanned the globe).
TEST(LayerOutsideView, HasGlobalPresentersOfItsOwnAndBoundsPointsByThemselves) {
    TOrvexLayer A(nullptr), B(nullptr);
    TOrvexPresenter* Global = A.FindPresenter("", -1);
    ASSERT_NE(Global, nullptr);
    EXPECT_NE(Global, B.FindPresenter("", -1)) << "shared between layers";
    EXPECT_EQ(A.FindPresenter("", 99), nullptr) << "the global layer searched its own global layer";

    auto* Town = TGeoDataObject::Create(&A, Global, 1, "town");
    Town->AddPoint(MakePoint(10 * OrvexUnits::PerMinute, -20 * OrvexUnits::PerMinute));
    Town->CalcExtents();
    EXPECT_EQ(Town->Extents(), (TExtent{10 * OrvexUnits::PerMinute - 1, -20 * OrvexUnits::PerMinute - 1, 2, 2}));
    // The town still uses its global presenter while its layer, and then that layer's global
    // layer, are taken apart.
}

}  // namespace
