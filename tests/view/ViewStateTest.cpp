// The view's own state: defaults, layers, selection, unit conversions, the pixel to
// geographic conversion and geodesic distances.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "model/ClassInfo.h"
#include "model/ClassRegistry.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjModel.h"
#include "styling/OrvexPresenter.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr int32_t Deg = OrvexUnits::PerDegree;
constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();

TPoint3D LL(long double LonDeg, long double LatDeg) {
    return TPoint3D{static_cast<int32_t>(std::llrint(LonDeg * Deg)),
                    static_cast<int32_t>(std::llrint(LatDeg * Deg)), 0};
}

// Records the selection events as "sel:<title>" / "desel:<title>", "-" for none.
struct TSelectionLog {
    explicit TSelectionLog(TOrvex3& V) : View(V) {
        auto Name = [](TOrvexObject* O) { return O ? O->Title() : std::string("-"); };
        V.OnSelected = [this, Name](TOrvex3*, TOrvexObject* O) { Events.push_back("sel:" + Name(O)); };
        V.OnDeSelected = [this, Name](TOrvex3*, TOrvexObject* O) { Events.push_back("desel:" + Name(O)); };
    }
    ~TSelectionLog() { View.OnSelected = View.OnDeSelected = nullptr; }
    TOrvex3& View;
    std::vector<std::string> Events;
};

TGeoDataObject* Titled(TOrvexLayer* L, const std::string& Title) {
    auto* O = TGeoDataObject::Create(L);
    O->SetTitle(Title);
    O->AddPoint(LL(1, 1));
    return O;
}
}  // namespace

TEST(ViewStateTest, NewViewDefaults) {
    TOrvex3 View;
    EXPECT_EQ(View.LayerCount(), 0);
    EXPECT_EQ(View.Projection(), opSpherical);
    EXPECT_EQ(View.DrawGrid(), dgBehind);
    EXPECT_EQ(View.LongitudeStep(), 15);
    EXPECT_EQ(View.LatitudeStep(), 15);
    EXPECT_EQ(View.MinTextHeight(), 5);
    EXPECT_EQ(View.Spheroid(), WGS84);
    EXPECT_EQ(View.Canvas()->Width(), 150);
    EXPECT_EQ(View.Canvas()->Height(), 150);
    EXPECT_EQ(View.OrvexColor(), 16776960u);
    EXPECT_EQ(View.Color(), 0u);

    ASSERT_NE(View.GlobalLayer(), nullptr);
    EXPECT_EQ(View.GlobalLayer()->Name(), "GlobalLayer");
    const auto& P = View.GlobalLayer()->Presenters();
    ASSERT_EQ(P.size(), 3u);
    EXPECT_TRUE(dynamic_cast<TPointPresenter*>(P[0]));
    EXPECT_TRUE(dynamic_cast<TPolylinePresenter*>(P[1]));
    EXPECT_TRUE(dynamic_cast<TPolygonPresenter*>(P[2]));
    const std::vector<std::pair<int, std::string>> Expected{
        {-1, "GlobalPointPresenter"}, {-2, "GlobalPolylinePresenter"}, {-3, "GlobalPolygonPresenter"}};
    for (size_t I = 0; I < 3; ++I) {
        EXPECT_EQ(P[I]->FeatureID(), Expected[I].first);
        EXPECT_EQ(P[I]->Name(), Expected[I].second);
    }

    std::vector<std::string> Names;
    for (const TClassInfo* C : View.ClassRegistry().Classes()) Names.push_back(C->ClassName);
    EXPECT_EQ(Names, (std::vector<std::string>{"TBitmapObject", "TGeoDataObject", "TOrvexBrush", "TOrvexFont",
                                               "TOrvexPen", "TPointPresenter", "TPolygonPresenter",
                                               "TPolylinePresenter"}));
    try {
        View.RegisterOrvexClass(*View.ClassRegistry().Classes()[0]);
        ADD_FAILURE() << "a second registration must raise";
    } catch (const EOrvexException& E) {
        EXPECT_STREQ(E.what(), "TOrvex3.RegisterOrvexClass: Class TBitmapObject already registered");
    }
}

TEST(ViewStateTest, InteractionDefaultsAndAxisSettingsOfTheProjection) {
    TOrvex3 View;
    EXPECT_EQ(View.MouseZoomButton, mzbRight);
    EXPECT_EQ(View.MouseSelectButton, mzbLeft);
    EXPECT_EQ(View.MouseRotateButton, mzbLeft);
    EXPECT_FALSE(View.MultiSelect);
    EXPECT_EQ(View.ScrollBars(), ssBoth);
    EXPECT_FALSE(View.TransparentBackground());
    EXPECT_EQ(View.XAxisChanges(), xaYOrigin);
    EXPECT_EQ(View.YAxisChanges(), yaCentralMeridian);
    View.SetXAxisChanges(xaCentralParallel);
    View.SetYAxisChanges(yaXOrigin);
    EXPECT_EQ(View.ProjectionModel()->XAxisChanges(), xaCentralParallel);
    EXPECT_EQ(View.ProjectionModel()->YAxisChanges(), yaXOrigin);
    View.RedrawPending = false;
    View.SetTransparentBackground(true);
    EXPECT_TRUE(View.TransparentBackground());
    EXPECT_TRUE(View.Background().isNull());
    EXPECT_FALSE(View.RedrawPending) << "no render request";
}

TEST(ViewStateTest, ClearFreesLayersAndRenewsTheGlobalPresenters) {
    TOrvex3 View;
    View.AddLayer("a");
    View.AddLayer("b");
    TOrvexPresenter::CreateNamed<TPointPresenter>(View.GlobalLayer(), 7, "extra");
    ASSERT_EQ(View.GlobalLayer()->PresenterCount(), 4);
    View.Clear();
    EXPECT_EQ(View.LayerCount(), 0);
    ASSERT_EQ(View.GlobalLayer()->PresenterCount(), 3);
    EXPECT_EQ(View.GlobalLayer()->Presenters()[2]->FeatureID(), -3);
}

TEST(ViewStateTest, GraticuleStepsIgnoreValuesOutOfRange) {
    TOrvex3 View;
    View.RedrawPending = false;
    View.SetLongitudeStep(180);
    View.SetLongitudeStep(-1);
    EXPECT_EQ(View.LongitudeStep(), 15);
    EXPECT_FALSE(View.RedrawPending);
    View.SetLongitudeStep(0);
    EXPECT_EQ(View.LongitudeStep(), 0);
    EXPECT_TRUE(View.RedrawPending);
    View.SetLongitudeStep(179);
    EXPECT_EQ(View.LongitudeStep(), 179);

    View.SetLatitudeStep(90);
    View.SetLatitudeStep(-1);
    EXPECT_EQ(View.LatitudeStep(), 15);
    View.SetLatitudeStep(89);
    EXPECT_EQ(View.LatitudeStep(), 89);
    View.SetLatitudeStep(0);
    EXPECT_EQ(View.LatitudeStep(), 0);
}

TEST(ViewStateTest, GetLayerRejectsBadIndexes) {
    TOrvex3 View;
    auto Message = [&View](int32_t Index) {
        try {
            View.GetLayer(Index);
        } catch (const EOrvexException& E) {
            return std::string(E.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(Message(0), "TOrvex3.GetLayer: Bad layer index 0");
    TOrvexLayer* A = View.AddLayer("a");
    TOrvexLayer* B = View.AddLayer("b");
    EXPECT_EQ(View.GetLayer(0), A);
    EXPECT_EQ(View.GetLayer(1), B);
    EXPECT_EQ(Message(-1), "TOrvex3.GetLayer: Bad layer index -1");
    EXPECT_EQ(Message(2), "TOrvex3.GetLayer: Bad layer index 2");
    EXPECT_EQ(Message(std::numeric_limits<int32_t>::min()), "TOrvex3.GetLayer: Bad layer index -2147483648");
}

TEST(ViewStateTest, SelectObjectFiresDeselectThenSelect) {
    TOrvex3 View;
    TOrvexLayer* L = View.AddLayer("l");
    TGeoDataObject* A = Titled(L, "a");
    TGeoDataObject* B = Titled(L, "b");
    TGeoDataObject* C = Titled(L, "c");
    TSelectionLog Log(View);

    View.SelectObject(nullptr);
    EXPECT_TRUE(Log.Events.empty()) << "none selecting none changes nothing";

    View.SelectObject(A);
    View.SelectObject(A);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"sel:a"}));
    EXPECT_EQ(View.SelectedObject(), A);

    View.SelectObject(B);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"sel:a", "desel:a", "sel:b"}));
    EXPECT_FALSE(A->Selected());
    EXPECT_TRUE(B->Selected());

    // A multiple selection is dropped as a whole.
    A->SetSelected(true);
    C->SetSelected(true);
    ASSERT_EQ(View.SelectedCount(), 3);
    Log.Events.clear();
    View.SelectObject(B);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"desel:c", "sel:b"}));
    EXPECT_EQ(View.SelectedCount(), 1);
    EXPECT_FALSE(A->Selected());
    EXPECT_FALSE(C->Selected());

    Log.Events.clear();
    View.SelectObject(nullptr);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"desel:b", "sel:-"}));
    EXPECT_EQ(View.SelectedCount(), 0);
}

TEST(ViewStateTest, DestroyingTheViewFiresNoSelectionEvents) {
    std::vector<std::string> Events;
    {
        auto View = std::make_unique<TOrvex3>();
        TGeoDataObject* A = Titled(View->AddLayer("l"), "a");
        View->SelectObject(A);
        View->OnSelected = [&Events](TOrvex3*, TOrvexObject*) { Events.push_back("sel"); };
        View->OnDeSelected = [&Events](TOrvex3*, TOrvexObject*) { Events.push_back("desel"); };
    }
    EXPECT_TRUE(Events.empty());
}

TEST(ViewStateTest, UnitConversions) {
    TOrvex3 View;
    View.ZoomToScale(0.25L);
    EXPECT_EQ(View.UnitsToOrvexUnits(1.5L, Degree), 8100000);
    EXPECT_EQ(View.UnitsToOrvexUnits(2, NauticalMile), 180000);
    EXPECT_EQ(View.UnitsToOrvexUnits(10, Pixel), 40);
    EXPECT_EQ(View.UnitsToOrvexUnits(0.625L, Pixel), 2) << "2.5 rounds to even";
    // Beyond the integer range the value itself is taken.
    EXPECT_EQ(View.UnitsToOrvexUnits(1000, Degree), 1000);
    EXPECT_EQ(View.UnitsToOrvexUnits(-600000000.4L, Pixel), -600000000);

    EXPECT_EQ(View.UnitsToPixels(3.5L, Pixel), 4);
    EXPECT_EQ(View.UnitsToPixels(2.5L, Pixel), 2);
    EXPECT_EQ(View.UnitsToPixels(1, Minute), 22500);
    EXPECT_EQ(View.UnitsToPixels(6, OrvexUnit), 2) << "1.5 pixels round to even";
    // Sizes beyond the integer range saturate instead of wrapping.
    EXPECT_EQ(View.UnitsToPixels(1e12L, Pixel), Int32Max);
    EXPECT_EQ(View.UnitsToPixels(-1e12L, Pixel), std::numeric_limits<int32_t>::min());
    View.ZoomToScale(4);
    EXPECT_EQ(View.UnitsToPixels(1000, Degree), 4000) << "the fallback value goes through the scale";
    EXPECT_EQ(View.UnitsToPixels(300, Degree), Int32Max);
    EXPECT_EQ(View.UnitsToPixels(-2000000000, OrvexUnit), std::numeric_limits<int32_t>::min());
}

TEST(ViewStateTest, EffectiveMinTextHeightFollowsTheSurfaceResolution) {
    TOrvex3 View;
    const int32_t Screen = TOrvex3::ScreenPixelsPerInch();
    EXPECT_EQ(View.EffectiveMinTextHeight(), 5);
    View.Canvas()->SetPixelsPerInch(Screen * 6);
    EXPECT_EQ(View.EffectiveMinTextHeight(), 30);
    View.SetMinTextHeight(3);
    View.Canvas()->SetPixelsPerInch(Screen + Screen / 2);
    EXPECT_EQ(View.EffectiveMinTextHeight(), std::llrint(3.0L * (Screen + Screen / 2) / Screen))
        << "rounded to nearest, 4.5 to even";
    View.SetMinTextHeight(Int32Max);
    View.Canvas()->SetPixelsPerInch(Screen * 4);
    EXPECT_EQ(View.EffectiveMinTextHeight(), Int32Max) << "saturates";
}

TEST(ViewStateTest, PixelToLLOnAndOffTheMap) {
    TOrvex3 View;
    View.SetXRotation(0);
    TPoint3D P{1, 2, 3};
    ASSERT_TRUE(View.PixelToLL(75, 75, P));
    EXPECT_EQ(P, (TPoint3D{0, 0, 0}));
    // The disc of a fitted 150 x 150 sphere has radius 75: a corner is off the map.
    EXPECT_FALSE(View.PixelToLL(0, 0, P));
    EXPECT_EQ(P, (TPoint3D{-972000000, 972000000, 0}));
    EXPECT_FALSE(View.PixelToLL(std::numeric_limits<int32_t>::min(), Int32Max, P));
    EXPECT_EQ(P, (TPoint3D{-972000000, 972000000, 0}));
}

// Distances: Vincenty's inverse formula checked against independent computations.
class ViewStateDistanceTest : public ::testing::Test {
protected:
    // Meridian arc between two latitudes by Simpson's rule over the radius of curvature.
    static long double MeridianArc(TSpheroid S, long double Lat1Deg, long double Lat2Deg) {
        const long double A = SpheroidParams(S).SemiMajorAxis, F = SpheroidParams(S).Flattening;
        const long double E2 = F * (2 - F);
        const long double P1 = Lat1Deg * OrvexPi / 180, P2 = Lat2Deg * OrvexPi / 180;
        auto M = [&](long double Phi) {
            const long double Sn = std::sin(Phi);
            return A * (1 - E2) / std::pow(1 - E2 * Sn * Sn, 1.5L);
        };
        const int N = 20000;
        const long double H = (P2 - P1) / N;
        long double Sum = M(P1) + M(P2);
        for (int I = 1; I < N; ++I) Sum += (I % 2 ? 4 : 2) * M(P1 + I * H);
        return std::fabs(Sum * H / 3);
    }
    // Andoyer-Lambert: the spherical distance with a first-order flattening correction.
    static long double AndoyerLambert(TSpheroid S, const TPoint3D& P, const TPoint3D& Q) {
        const long double A = SpheroidParams(S).SemiMajorAxis, F = SpheroidParams(S).Flattening;
        const long double K = OrvexPi / OrvexUnits::Deg180;
        const long double B1 = std::atan((1 - F) * std::tan(P.Y * K)), B2 = std::atan((1 - F) * std::tan(Q.Y * K));
        const long double DL = (static_cast<long double>(Q.X) - P.X) * K;
        const long double Sigma =
            std::acos(std::sin(B1) * std::sin(B2) + std::cos(B1) * std::cos(B2) * std::cos(DL));
        const long double Pm = (B1 + B2) / 2, Qm = (B2 - B1) / 2;
        const long double X = (Sigma - std::sin(Sigma)) * std::pow(std::sin(Pm) * std::cos(Qm), 2) /
                              std::pow(std::cos(Sigma / 2), 2);
        const long double Y = (Sigma + std::sin(Sigma)) * std::pow(std::cos(Pm) * std::sin(Qm), 2) /
                              std::pow(std::sin(Sigma / 2), 2);
        return A * (Sigma - F / 2 * (X + Y));
    }
    static constexpr long double UnitsPerMetre = 90000.0L / 1852.0L;
    TOrvex3 View;
};

TEST_F(ViewStateDistanceTest, IdenticalPointsAndTheEquator) {
    EXPECT_EQ(View.Distance(LL(12.5, -40), LL(12.5, -40)), 0);
    EXPECT_EQ(View.Distance(TPoint3D{5, 6, 100}, TPoint3D{5, 6, -7}), 0) << "heights play no part";
    for (TSpheroid S : {WGS84, Clarke1866, Airy1830}) {
        View.SetSpheroid(S);
        const long double A = SpheroidParams(S).SemiMajorAxis;
        EXPECT_EQ(View.Distance(LL(0, 0), LL(1, 0)), std::llrint(A * OrvexPi / 180)) << SpheroidName(S);
        EXPECT_EQ(View.Distance(LL(-1, 0), LL(0, 0)), std::llrint(A * OrvexPi / 180)) << SpheroidName(S);
    }
}

TEST_F(ViewStateDistanceTest, MeridianArcsMatchTheIntegratedArc) {
    for (TSpheroid S : {WGS84, International1920}) {
        View.SetSpheroid(S);
        for (auto [Lat1, Lat2] : {std::pair{0.0L, 60.0L}, {-45.0L, 80.0L}, {10.0L, 11.0L}, {0.0L, 90.0L}}) {
            const long double Expected = MeridianArc(S, Lat1, Lat2);
            EXPECT_NEAR(View.Distance(LL(30, Lat1), LL(30, Lat2)), Expected, 2)
                << SpheroidName(S) << " " << Lat1 << " to " << Lat2;
        }
    }
    // The WGS84 quarter meridian is 10,001,965.729 m.
    View.SetSpheroid(WGS84);
    EXPECT_NEAR(View.Distance(LL(0, 0), LL(0, 90)), 10001965.729L * UnitsPerMetre, 3);
}

TEST_F(ViewStateDistanceTest, LongGeodesicsAgreeWithAnIndependentApproximation) {
    // New York - London, Sydney - Santiago, Cape Town - Tokyo.
    const std::vector<std::pair<TPoint3D, TPoint3D>> Lines{
        {LL(-74.006, 40.7128), LL(-0.1278, 51.5074)},
        {LL(151.2093, -33.8688), LL(-70.6693, -33.4489)},
        {LL(18.4241, -33.9249), LL(139.6917, 35.6895)},
    };
    for (const auto& [P, Q] : Lines) {
        const int32_t D = View.Distance(P, Q);
        EXPECT_EQ(D, View.Distance(Q, P)) << "symmetric";
        // Andoyer-Lambert leaves errors of the order of f^2: some tens of metres.
        EXPECT_NEAR(D, AndoyerLambert(WGS84, P, Q), 1e-5L * D);
    }
    // The published Flinders Peak - Buninyong line on GRS80: 54,972.271 m.
    View.SetSpheroid(GRS1980);
    const TPoint3D Flinders{OrvexUnits::PerDegree * 144 + 25 * OrvexUnits::PerMinute + 44287,
                            -(37 * OrvexUnits::PerDegree + 57 * OrvexUnits::PerMinute + 5580), 0};
    const TPoint3D Buninyong{OrvexUnits::PerDegree * 143 + 55 * OrvexUnits::PerMinute + 53076,
                             -(37 * OrvexUnits::PerDegree + 39 * OrvexUnits::PerMinute + 15234), 0};
    EXPECT_NEAR(View.Distance(Flinders, Buninyong), 54972.271L * UnitsPerMetre, 2);
}

TEST_F(ViewStateDistanceTest, TriangleAndNearlyAntipodalPoints) {
    const TPoint3D A = LL(10, 20), B = LL(100, -5), C = LL(-150, 60);
    EXPECT_LE(View.Distance(A, C), int64_t(View.Distance(A, B)) + View.Distance(B, C));
    EXPECT_LE(View.Distance(A, B), int64_t(View.Distance(A, C)) + View.Distance(C, B));

    const long double SemiMajor = SpheroidParams(WGS84).SemiMajorAxis;
    const long double HalfMeridian = 2 * 10001965.729L * UnitsPerMetre;
    for (const auto& [P, Q] : std::vector<std::pair<TPoint3D, TPoint3D>>{
             {LL(0, 0), LL(180, 0)},
             {LL(0, 0), LL(179.5, 0.5)},
             {LL(-90, 30), LL(89.9, -30)},
             {LL(0, 90), LL(0, -90)},
             {LL(17, 0), LL(-163, 0)}}) {
        const int32_t D = View.Distance(P, Q);
        EXPECT_GT(D, 0.99L * HalfMeridian);
        EXPECT_LE(D, SemiMajor * OrvexPi + 1);
    }
    EXPECT_NEAR(View.Distance(LL(0, 90), LL(0, -90)), HalfMeridian, 4);
}
