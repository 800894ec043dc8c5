// Zoom, scrolling, rotation, projection switching and resizing of the view.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/PrjRegistry.h"
#include "projections/SphericalPrj.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr int32_t Deg = OrvexUnits::PerDegree;
constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr long double Tan50 = 1.19175359259421L;

int32_t Nearest(long double V) { return static_cast<int32_t>(std::llrint(V)); }

// The shorter way round between two longitudes.
int64_t LonDiff(int64_t A, int64_t B) {
    int64_t D = (A - B) % OrvexUnits::Deg360;
    if (D >= OrvexUnits::Deg180) D -= OrvexUnits::Deg360;
    if (D < -OrvexUnits::Deg180) D += OrvexUnits::Deg360;
    return D;
}

class TPlainFlatPrj : public TPrjModel {
public:
    using TPrjModel::TPrjModel;
};

class TDerivedCartesianPrj : public TCartesianPrj {
public:
    using TCartesianPrj::TCartesianPrj;
};

// A 400 x 300 view that counts its zoom and pan events.
class NavTest : public ::testing::Test {
protected:
    NavTest() {
        View.SetSurfaceSize(400, 300);
        View.OnZoomed = [this](TOrvex3*) { ++Zooms; };
        View.OnPanned = [this](TOrvex3*) { ++Pans; };
    }
    TPoint3D Centre() {
        TPoint3D P;
        EXPECT_TRUE(View.PixelToLL(200, 150, P)) << "the centre shows the map";
        return P;
    }
    void ExpectCentreAt(const TPoint3D& P, long double Tolerance) {
        const TPoint3D C = Centre();
        EXPECT_LE(std::llabs(LonDiff(C.X, P.X)), Tolerance) << C.X << " vs " << P.X;
        EXPECT_LE(std::llabs(int64_t(C.Y) - P.Y), Tolerance) << C.Y << " vs " << P.Y;
    }
    void ExpectSane() {
        const long double S = View.GetScaleFactor();
        EXPECT_TRUE(S > 0 && S <= 4) << S;
        EXPECT_GE(View.ViewExtent().Width, 0);
        EXPECT_GE(View.ViewExtent().Height, 0);
        EXPECT_GE(View.Altitude(), 0);
    }
    static TPoint3D LL(long double LonDeg, long double LatDeg) {
        return TPoint3D{Nearest(LonDeg * Deg), Nearest(LatDeg * Deg), 0};
    }

    TOrvex3 View;
    int Zooms = 0;
    int Pans = 0;
};
}  // namespace

// Zoom

TEST(NavFreshViewTest, AltitudeZeroFitsAndDerivesTheAltitude) {
    TOrvex3 View;
    View.SetOrigin(TPixelPoint{10, 20});
    View.RedrawPending = false;
    View.SetAltitude(0);
    const long double S = 150.0L / (2.0L * EarthRadius);
    EXPECT_EQ(View.GetScaleFactor(), S);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{75, 75}));
    EXPECT_TRUE(View.RedrawPending) << "the recentred map is drawn again";
    EXPECT_EQ(View.Altitude(), Nearest(150 / S / Tan50));
    EXPECT_EQ(View.ViewExtent(), (TOrvexRect{0, 0, Nearest(150 / S), Nearest(150 / S)}));
}

TEST_F(NavTest, AltitudeZeroCentresAndFits) {
    View.ZoomToScale(1e-6L);
    View.SetOrigin(TPixelPoint{17, 33});
    Zooms = 0;
    View.SetAltitude(0);
    const long double S = 300.0L / (2.0L * EarthRadius);
    EXPECT_EQ(View.GetScaleFactor(), S);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
    EXPECT_EQ(View.Altitude(), Nearest(400 / S / Tan50));
    EXPECT_EQ(Zooms, 1);

    View.SetProjection(opCartesian);
    View.ZoomToScale(1e-6L);
    View.SetAltitude(0);
    EXPECT_EQ(View.GetScaleFactor(), 400.0L / OrvexUnits::Deg360) << "the wider extent decides";
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
}

TEST_F(NavTest, HalvingTheAltitudeDoublesTheScale) {
    View.SetAltitude(2000000);
    const long double S = View.GetScaleFactor();
    EXPECT_NEAR(S, 400 / (Tan50 * 2000000), 1e-18L);
    EXPECT_EQ(View.Altitude(), 2000000);
    View.SetAltitude(1000000);
    EXPECT_NEAR(View.GetScaleFactor() / S, 2.0L, 1e-15L);
    EXPECT_EQ(View.Altitude(), 1000000);
    const int Before = Zooms;
    View.SetAltitude(-5);
    EXPECT_EQ(View.Altitude(), 1000000) << "a negative altitude is a negative scale: ignored";
    EXPECT_EQ(Zooms, Before);
}

TEST_F(NavTest, ZoomStopsAtFourAndFiresOnlyOnChange) {
    View.ZoomToScale(10);
    EXPECT_EQ(View.GetScaleFactor(), 4.0L);
    EXPECT_EQ(Zooms, 1);
    EXPECT_TRUE(View.ScaleChanged);
    View.ZoomToScale(4);
    View.ZoomToScale(1e9L);
    View.ZoomToScale(std::numeric_limits<long double>::infinity());
    EXPECT_EQ(Zooms, 1);

    View.RedrawPending = View.ScaleChanged = false;
    const TPixelPoint Origin = View.GetOrigin();
    View.ZoomToScale(-1);
    View.ZoomToScale(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_EQ(View.GetScaleFactor(), 4.0L);
    EXPECT_EQ(View.GetOrigin(), Origin);
    EXPECT_FALSE(View.RedrawPending || View.ScaleChanged);
    EXPECT_EQ(Zooms, 1);
}

TEST_F(NavTest, ZoomKeepsTheCentrePoint) {
    View.ZoomToScale(1e-6L);
    View.SetOrigin(TPixelPoint{250, 100});
    View.ZoomToScale(3e-6L);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{350, 0}));
    EXPECT_EQ(View.ViewExtent(), (TOrvexRect{0, 0, 133333333, 100000000}));
    EXPECT_EQ(View.Altitude(), Nearest(400 / 3e-6L / Tan50));

    View.ZoomToScale(1e-4L);
    const TPoint3D Before = Centre();
    View.ZoomToScale(3e-4L);
    ExpectCentreAt(Before, 2 / 1e-4L);
}

TEST_F(NavTest, ScaleLimitKeepsAHugeSurfaceInTheIntegerRange) {
    ASSERT_TRUE(View.Canvas()->SetSize(1000000, 1000, TOrvex3::ScreenPixelsPerInch()));
    View.ZoomToScale(1e-3L);
    EXPECT_EQ(View.GetScaleFactor(), 1e-3L) << "1e9 OrvexUnits across are within range";
    View.ZoomToScale(1e-5L);
    EXPECT_EQ(View.GetScaleFactor(), 1000000 * 4.656612875245797e-10L);
    EXPECT_GE(View.ViewExtent().Width, 2147483000);
    ExpectSane();
    View.SetAltitude(Int32Max);
    EXPECT_EQ(View.GetScaleFactor(), 1000000 * 4.656612875245797e-10L);
}

TEST_F(NavTest, ZoomToRectShowsTheRectangle) {
    View.SetProjection(opCartesian);
    View.ZoomToScale(0.001L);
    TPoint3D Target;
    ASSERT_TRUE(View.PixelToLL(21, 12, Target));
    Zooms = 0;
    const TPixelPoint O = View.GetOrigin();
    View.ZoomToRect(TOrvexRect{1000, 2000, 40000, 20000});
    EXPECT_EQ(View.GetScaleFactor(), 0.01L);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Nearest((O.X / 0.001L - 21000) * 0.01L) + 200,
                                             Nearest((O.Y / 0.001L - 12000) * 0.01L) + 150}));
    EXPECT_EQ(Zooms, 1);
    EXPECT_EQ(View.ViewExtent(), (TOrvexRect{0, 0, 40000, 30000}));
    ExpectCentreAt(Target, 100);

    // The same scale: only the origin moves, by the rectangle's offset.
    View.RedrawPending = false;
    const TPixelPoint O2 = View.GetOrigin();
    View.ZoomToRect(TOrvexRect{5000, -3000, 40000, 30000});
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{O2.X - 50, O2.Y + 30}));
    EXPECT_EQ(Zooms, 1);
    EXPECT_TRUE(View.RedrawPending);

    // Beyond 4 pixels per OrvexUnit the scale stops at 4.
    View.ZoomToRect(TOrvexRect{0, 0, 10, 10});
    EXPECT_EQ(View.GetScaleFactor(), 4.0L);

    View.ZoomToRect(TOrvexRect{100, 100, 0, 50});
    EXPECT_EQ(View.GetScaleFactor(), 400.0L / OrvexUnits::Deg360) << "an empty rectangle fits the map";
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
}

// Rotation

TEST_F(NavTest, RotationInDegreesMinutesAndSeconds) {
    View.SetXRotationInDegs(30);
    EXPECT_EQ(View.ProjectionModel()->XRotation(), 162000000);
    EXPECT_EQ(View.XRotationInDegs(), 30);
    View.SetXRotation(26999999);
    EXPECT_EQ(View.XRotationInDegs(), 4);
    EXPECT_EQ(View.XRotationInMins(), 299);
    EXPECT_EQ(View.XRotationInSecs(), 17999);

    View.SetYRotationInMins(-90);
    EXPECT_EQ(View.YRotation(), -8100000);
    EXPECT_EQ(View.YRotationInMins(), -90);
    EXPECT_EQ(View.YRotationInDegs(), -1);
    View.SetZRotationInSecs(45);
    EXPECT_EQ(View.ZRotation(), 67500);
    EXPECT_EQ(View.ZRotationInSecs(), 45);
    View.SetZRotation(-89999);
    EXPECT_EQ(View.ZRotationInMins(), 0) << "truncated toward zero";
    EXPECT_EQ(View.ZRotationInSecs(), -59);

    // The sphere clamps the tilt; an unchanged value still asks for a render.
    View.SetXRotationInDegs(100);
    EXPECT_EQ(View.XRotationInDegs(), 90);
    View.RedrawPending = false;
    View.SetXRotationInDegs(90);
    EXPECT_TRUE(View.RedrawPending);
}

TEST_F(NavTest, AnglesBeyondTheIntegerRangeAreReducedByWholeTurns) {
    // Within int32 the sphere clamps the tilt and wraps the turns; past it the setters take
    // whole turns off first, so 400 degrees is 40 degrees, not a clamped 37.68.
    const struct {
        const char* Name;
        void (TOrvex3::*Set)(int32_t);
        int32_t Value;
        int32_t (TOrvex3::*Get)() const;
        int32_t Expected;  // OrvexUnits
    } Rows[] = {
        {"Y 400 degrees", &TOrvex3::SetYRotationInDegs, 400, &TOrvex3::YRotation, 40 * Deg},
        {"Y -400 degrees", &TOrvex3::SetYRotationInDegs, -400, &TOrvex3::YRotation, -40 * Deg},
        {"Z 760 degrees", &TOrvex3::SetZRotationInDegs, 760, &TOrvex3::ZRotation, 40 * Deg},
        {"X 400 degrees", &TOrvex3::SetXRotationInDegs, 400, &TOrvex3::XRotation, 40 * Deg},
        {"X 200 degrees clamps", &TOrvex3::SetXRotationInDegs, 200, &TOrvex3::XRotation, 90 * Deg},
        {"Y 370 degrees wraps once", &TOrvex3::SetYRotationInDegs, 370, &TOrvex3::YRotation, 10 * Deg},
        {"Y largest minutes", &TOrvex3::SetYRotationInMins, Int32Max, &TOrvex3::YRotation,
         NormalizeLongitude(int64_t(Int32Max) * OrvexUnits::PerMinute % OrvexUnits::Deg360)},
        {"Z smallest seconds", &TOrvex3::SetZRotationInSecs, Int32Min, &TOrvex3::ZRotation,
         NormalizeLongitude(int64_t(Int32Min) * OrvexUnits::PerSecond % OrvexUnits::Deg360)},
        {"X smallest minutes", &TOrvex3::SetXRotationInMins, Int32Min, &TOrvex3::XRotation, -90 * Deg},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        (View.*R.Set)(R.Value);
        EXPECT_EQ((View.*R.Get)(), R.Expected);
    }
    // A flat map turns its central meridian by the reduced angle.
    View.SetProjection(opCartesian);
    View.SetYRotationInDegs(400);
    EXPECT_EQ(View.ProjectionModel()->CentralMeridian(), 40 * Deg);
}

// Projection switching

TEST_F(NavTest, SwitchingProjectionKeepsScaleAndCentre) {
    View.ZoomToScale(1e-4L);
    View.CenterOn(20 * Deg, 35 * Deg);
    for (TOrvexProjection Kind : {opCartesian, opMercator, opSpherical, opMercator}) {
        const TPoint3D Before = Centre();
        const long double S = View.GetScaleFactor();
        View.SetProjection(Kind);
        EXPECT_EQ(View.Projection(), Kind);
        EXPECT_NEAR(View.GetScaleFactor() / S, 1.0L, 1e-6L) << Kind;
        ExpectCentreAt(Before, 2 / S);
    }
    EXPECT_EQ(View.Altitude(), Nearest(400 / View.GetScaleFactor() / Tan50));
}

// Flat maps used to pan by the change of angle, which centres exactly only on maps symmetric
// about the equator: Albers came 35 pixels off and Bonne showed its pole. After any switch the
// place at the centre stays there, within a pixel, wherever the new map shows it.
TEST_F(NavTest, EverySwitchKeepsThePlaceAtTheCentre) {
    const struct {
        const char* Name;
        long double Lon, Lat, Meridian;  // the place at the centre; the first map's central meridian
    } Places[] = {
        {"mid-latitude", 10, 30, 0},
        {"southern", -100, -35, 0},
        {"near the north pole", 40, 85, 0},
        {"central meridian off zero", 120, 20, -47.5L},
    };
    const auto& Registry = ProjectionRegistry();
    int Switches = 0;
    for (const auto& P : Places)
        for (const TProjectionInfo& From : Registry)
            for (const TProjectionInfo& To : Registry) {
                if (&From == &To) continue;
                SCOPED_TRACE(testing::Message() << P.Name << ": " << From.Key << " to " << To.Key);
                View.SetProjectionModel(From.Create(&View));
                if (From.Kind != opSpherical) View.ProjectionModel()->SetParameter(3, LL(P.Meridian, 0).X);
                View.ZoomToScale(2e-6L);
                View.CenterOn(LL(P.Lon, 0).X, LL(0, P.Lat).Y);
                TPoint3D Before;
                if (!View.PixelToLL(200, 150, Before)) continue;
                View.SetProjectionModel(To.Create(&View));
                // Where the new map does not show the place, there is nothing to centre.
                if (!View.ProjectionModel()->PointToXY(Before, 0)) continue;
                ++Switches;
                EXPECT_LE(std::abs(PointBuffer[0].X - 200), 1) << PointBuffer[0].X;
                EXPECT_LE(std::abs(PointBuffer[0].Y - 150), 1) << PointBuffer[0].Y;
            }
    EXPECT_GT(Switches, 300);
}

TEST_F(NavTest, SwitchingWithTheCentreOffTheMapFitsTheMap) {
    View.SetOrigin(TPixelPoint{-10000, -10000});
    TPoint3D P;
    ASSERT_FALSE(View.PixelToLL(200, 150, P));
    View.SetProjection(opCartesian);
    EXPECT_EQ(View.GetScaleFactor(), 400.0L / OrvexUnits::Deg360);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
    EXPECT_EQ(View.Altitude(), Nearest(400 / View.GetScaleFactor() / Tan50));
    EXPECT_EQ(View.ViewExtent().Width, OrvexUnits::Deg360);
}

TEST_F(NavTest, SettingTheSameKindAgainFitsANewProjection) {
    View.ZoomToScale(1e-4L);
    View.SetXRotationInDegs(-10);
    TPrjModel* Old = View.ProjectionModel();
    View.SetProjection(opSpherical);
    EXPECT_NE(View.ProjectionModel(), Old);
    const long double S = 300.0L / (2.0L * EarthRadius);
    EXPECT_EQ(View.GetScaleFactor(), S);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
    EXPECT_EQ(View.XRotation(), 126900000) << "a new sphere starts tilted by 23.5 degrees";
    EXPECT_EQ(View.Altitude(), Nearest(400 / S / Tan50)) << "the altitude follows the new scale";
    EXPECT_EQ(View.ViewExtent(), (TOrvexRect{0, 0, Nearest(400 / S), Nearest(300 / S)}));
}

TEST_F(NavTest, ProjectionsComeFromTheRegistry) {
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        SCOPED_TRACE(P.Name);
        View.SetProjectionModel(P.Create(&View));
        EXPECT_EQ(View.ProjectionModel()->ClassInfo().ClassName, P.ClassName);
        EXPECT_EQ(View.Projection(), P.Kind);
        View.SetProjection(P.Kind);
        EXPECT_EQ(View.ProjectionModel()->ClassInfo().ClassName, ProjectionOfKind(P.Kind).ClassName);
        EXPECT_EQ(FindProjection(P.Key), &P);
    }
    View.SetProjection(opUnknown);
    EXPECT_EQ(View.Projection(), opSpherical) << "an unknown kind makes a sphere";
    EXPECT_EQ(FindProjection("MERCATOR")->ClassName, "TMercatorPrj");
    EXPECT_EQ(FindProjection("tcartesianprj")->Key, "cartesian");
    EXPECT_EQ(FindProjection("gnomonic"), nullptr);
}

TEST_F(NavTest, ProjectionKindFollowsTheModelClass) {
    View.SetProjectionModel(new TMercatorPrj(&View));
    EXPECT_EQ(View.Projection(), opMercator);
    View.SetProjectionModel(new TDerivedCartesianPrj(&View));
    EXPECT_EQ(View.Projection(), opCartesian);
    View.SetProjectionModel(new TPlainFlatPrj(&View));
    EXPECT_EQ(View.Projection(), opUnknown);
    View.SetProjectionModel(nullptr);
    EXPECT_EQ(View.Projection(), opSpherical);
    EXPECT_NE(dynamic_cast<TSphericalPrj*>(View.ProjectionModel()), nullptr);
    TPrjModel* Same = View.ProjectionModel();
    View.SetProjectionModel(Same);
    EXPECT_EQ(View.ProjectionModel(), Same) << "handing over the current model keeps it";
}

// Position

TEST_F(NavTest, ScrollByMovesTheOriginByTheScaledOffset) {
    View.RedrawPending = false;
    View.ScrollBy(0, 0);
    EXPECT_EQ(Pans, 0);
    EXPECT_TRUE(View.RedrawPending);

    View.ZoomToScale(0.25L);
    const TPixelPoint O = View.GetOrigin();
    View.ScrollBy(10, -30);  // 2.5 and -7.5 pixels round to even
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{O.X - 2, O.Y + 8}));
    EXPECT_EQ(Pans, 1);
    View.ScrollBy(-6, 0);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{O.X, O.Y + 8}));
    EXPECT_EQ(Pans, 2);
}

TEST_F(NavTest, SetOriginPansOnlyOnChange) {
    const TPixelPoint O = View.GetOrigin();
    View.RedrawPending = false;
    View.SetOrigin(O);
    EXPECT_EQ(Pans, 0);
    EXPECT_FALSE(View.RedrawPending);
    View.SetOrigin(TPixelPoint{O.X, O.Y + 1});
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{O.X, O.Y + 1}));
    EXPECT_EQ(Pans, 1);
    EXPECT_TRUE(View.RedrawPending);
}

TEST_F(NavTest, CenterOnBringsThePointToTheCentre) {
    const std::vector<TPoint3D> Points{LL(30, 40), LL(-170, -60), LL(179.5, 10), LL(-180, 0), LL(0, -89)};
    for (const TPoint3D& P : Points) {
        View.CenterOn(P.X, P.Y);
        EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
        ExpectCentreAt(P, 2);
    }
    for (TOrvexProjection Kind : {opCartesian, opMercator}) {
        View.SetProjection(Kind);
        View.ZoomToScale(1e-4L);
        for (const TPoint3D& P : {LL(100, -30), LL(-120, 70), LL(179, 5), LL(-179.9, -20)}) {
            View.CenterOn(P.X, P.Y);
            ExpectCentreAt(P, 1 / 1e-4L);
        }
    }
}

TEST_F(NavTest, CenterOnObjectUsesTheMiddleOfItsExtent) {
    TOrvexLayer* L = View.AddLayer("l");
    auto* O = TGeoDataObject::Create(L);
    O->AddPoint(LL(10, 10));
    O->AddPoint(LL(20, 30));
    View.CenterOnObject(O);
    ExpectCentreAt(LL(15, 20), 2);

    // Across the date line the middle is 180 degrees.
    auto* D = TGeoDataObject::Create(L);
    D->AddPoint(LL(170, 0));
    D->AddPoint(LL(-170, 10));
    View.SetProjection(opCartesian);
    View.ZoomToScale(1e-4L);
    View.CenterOnObject(D);
    ExpectCentreAt(LL(-180, 5), 1 / 1e-4L);

    const TViewRec Before = View.GetViewRec();
    View.CenterOnObject(nullptr);
    const TViewRec After = View.GetViewRec();
    EXPECT_EQ(After.XOrigin, Before.XOrigin);
    EXPECT_EQ(After.YOrigin, Before.YOrigin);
}

TEST_F(NavTest, ViewRecRestoresTheView) {
    for (TOrvexProjection Kind : {opSpherical, opCartesian}) {
        View.SetProjection(Kind);
        View.ZoomToScale(2e-6L);
        View.SetXRotationInDegs(40);
        View.SetYRotationInDegs(-100);
        View.SetZRotationInDegs(15);
        View.SetOrigin(TPixelPoint{180, 170});
        const TViewRec Rec = View.GetViewRec();

        View.ZoomToScale(0);
        View.SetXRotationInDegs(-5);
        View.SetYRotationInDegs(60);
        View.SetZRotation(0);
        View.ScrollBy(1000000, 2000000);
        View.SetViewRec(Rec);
        const TViewRec Now = View.GetViewRec();
        EXPECT_EQ(Now.ScaleFactor, Rec.ScaleFactor);
        EXPECT_EQ(Now.XOrigin, Rec.XOrigin);
        EXPECT_EQ(Now.YOrigin, Rec.YOrigin);
        EXPECT_EQ(Now.XRotation, Rec.XRotation);
        EXPECT_EQ(Now.YRotation, Rec.YRotation);
        EXPECT_EQ(Now.ZRotation, Rec.ZRotation);
    }
}

// Resizing

TEST_F(NavTest, ResizingScalesScaleAndOrigin) {
    View.ZoomToScale(1e-6L);
    View.SetOrigin(TPixelPoint{123, -77});
    View.RedrawPending = View.ScaleChanged = false;
    View.SetSurfaceSize(800, 600);
    EXPECT_EQ(View.GetScaleFactor(), 2e-6L);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{246, -154}));
    EXPECT_TRUE(View.ScaleChanged && View.RedrawPending);
    EXPECT_EQ(View.ViewExtent(), (TOrvexRect{0, 0, 400000000, 300000000}));
    EXPECT_EQ(View.Altitude(), Nearest(800 / 2e-6L / Tan50));

    View.SetSurfaceSize(400, 300);
    View.ZoomToScale(3);
    View.SetSurfaceSize(800, 600);
    EXPECT_EQ(View.GetScaleFactor(), 4.0L);

    const TViewRec Before = View.GetViewRec();
    View.SetSurfaceSize(0, 600);
    EXPECT_FALSE(View.Canvas()->SetSize(0, 600, 96));
    EXPECT_FALSE(View.Canvas()->SetSize(800, 0, 96));
    EXPECT_FALSE(View.Canvas()->SetSize(800, 600, 0));
    EXPECT_EQ(View.Canvas()->Width(), 800);
    EXPECT_EQ(View.GetViewRec().ScaleFactor, Before.ScaleFactor);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Before.XOrigin, Before.YOrigin}));
}

// Arithmetic at the edges of the integer range stays defined and in range.

TEST_F(NavTest, ScrollingFarAtTheLargestScaleSaturates) {
    View.ZoomToScale(4);
    View.ScrollBy(Int32Max, Int32Max);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Int32Min, Int32Min}));
    View.ScrollBy(Int32Max, Int32Min);
    View.ScrollBy(Int32Min, Int32Min);
    View.ScrollBy(Int32Min, Int32Min);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Int32Max, Int32Max}));
    View.ZoomToScale(1e-9L);
    View.ZoomToScale(4);
    ExpectSane();
    TPoint3D P;
    View.PixelToLL(0, 0, P);
    View.CenterOn(0, 0);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{200, 150}));
}

TEST_F(NavTest, ExtremeZoomRectanglesStayInRange) {
    const std::vector<TOrvexRect> Rects{
        {Int32Max, Int32Max, Int32Max, Int32Max}, {Int32Min, Int32Min, Int32Min, Int32Min},
        {Int32Max, Int32Min, 1, 1},               {Int32Min, Int32Max, Int32Max, 1},
        {-5, -5, -1, -1},                         {0, 0, Int32Min, 3},
        {Int32Max, 0, Int32Max, Int32Min}};
    for (TOrvexProjection Kind : {opSpherical, opMercator}) {
        View.SetProjection(Kind);
        for (const TOrvexRect& R : Rects) {
            View.ZoomToRect(R);
            ExpectSane();
            View.ZoomToScale(4);
            View.ZoomToRect(R);
            ExpectSane();
        }
    }
    // A rectangle given from its far corner shows the same area.
    View.ZoomToScale(0.001L);
    const TViewRec Start = View.GetViewRec();
    View.ZoomToRect(TOrvexRect{1000, 2000, 40000, 20000});
    const TViewRec Forward = View.GetViewRec();
    View.SetViewRec(Start);
    View.ZoomToRect(TOrvexRect{41000, 22000, -40000, -20000});
    EXPECT_EQ(View.GetScaleFactor(), Forward.ScaleFactor);
    EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Forward.XOrigin, Forward.YOrigin}));
}

TEST_F(NavTest, OriginsNearTheLimitsSurviveZooms) {
    for (TOrvexProjection Kind : {opSpherical, opCartesian}) {
        View.SetProjection(Kind);
        for (TPixelPoint O : {TPixelPoint{Int32Max - 1, Int32Min + 1}, TPixelPoint{Int32Min, Int32Max}}) {
            View.ZoomToScale(1e-9L);
            View.SetOrigin(O);
            View.ZoomToScale(4);
            ExpectSane();
            View.SetOrigin(O);
            View.SetAltitude(1);
            View.SetAltitude(Int32Max);
            View.ZoomToRect(TOrvexRect{0, 0, 100, 100});
            View.SetSurfaceSize(800, 600);
            View.SetSurfaceSize(400, 300);
            ExpectSane();
        }
        View.SetXRotation(Int32Max);
        View.SetYRotation(Int32Min);
        View.CenterOn(Int32Max, Int32Min);
        View.CenterOn(OrvexUnits::Deg180 - 1, OrvexUnits::Deg90);
        ExpectSane();
    }
}

TEST_F(NavTest, HugeSurfacesStayInRange) {
    View.ZoomToScale(4);
    ASSERT_TRUE(View.Canvas()->SetSize(Int32Max, Int32Max, 96));
    ExpectSane();
    EXPECT_EQ(View.ViewExtent().Width, Nearest(Int32Max / 4.0L));
    View.ZoomToScale(0);
    View.ZoomToScale(4);
    View.ZoomToRect(TOrvexRect{Int32Min, Int32Min, Int32Max, Int32Max});
    View.ScrollBy(Int32Max, Int32Min);
    View.CenterOn(10 * Deg, 10 * Deg);
    ExpectSane();
    ASSERT_TRUE(View.Canvas()->SetSize(1, 1, 96));
    ExpectSane();
    ASSERT_TRUE(View.Canvas()->SetSize(Int32Max, 1, 96));
    ExpectSane();
}
