// The view's mouse wheel and keys, driven by real wheel and key events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
constexpr int32_t kWidth = 400, kHeight = 300;

void Wheel(TOrvex3& View, QPoint At, int Delta) {
    QWheelEvent E(QPointF(At), QPointF(View.mapToGlobal(At)), QPoint(), QPoint(0, Delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&View, &E);
}

// How far, in pixels along either axis, the place P shows from the pixel At; a large
// number when hidden.
double PixelsOff(TOrvex3& View, const TPoint3D& P, QPoint At) {
    if (!View.ProjectionModel()->LLToXY(P.X, P.Y, 0)) return 1e9;
    return std::max(std::abs(double(PointBuffer[0].X) - At.x()), std::abs(double(PointBuffer[0].Y) - At.y()));
}

struct TViewSetup {
    std::unique_ptr<TOrvex3> View = std::make_unique<TOrvex3>();
    explicit TViewSetup(const TProjectionInfo& P, int32_t TiltDegrees = 0) {
        View->SetSurfaceSize(kWidth, kHeight);
        View->SetProjectionModel(P.Create(View.get()));
        View->SetXRotationInDegs(TiltDegrees);
        View->ZoomToScale(0);
    }
};

TEST(WheelTest, ThePlaceUnderTheCursorStaysThereInEveryProjection) {
    // Notches, fine steps, both ways, and a long run into the scale limit and back out.
    std::vector<int> Steps = {120, 120, 40, 40, 40, -120, 360, 7, -7, -240, 960};
    for (int I = 0; I < 30; ++I) Steps.push_back(1);
    for (int I = 0; I < 90; ++I) Steps.push_back(120);
    for (int I = 0; I < 40; ++I) Steps.push_back(-90);
    const QPoint Cursors[] = {{213, 161}, {150, 120}, {271, 188}};
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        for (const QPoint At : Cursors) {
            SCOPED_TRACE(P.Name + " at " + std::to_string(At.x()) + "," + std::to_string(At.y()));
            TViewSetup S(P, P.Kind == opSpherical ? 23 : 0);
            TOrvex3& View = *S.View;
            TPoint3D Place;
            ASSERT_TRUE(View.PixelToLL(At.x(), At.y(), Place)) << "the cursor is on the map";
            bool ReachedLimit = false;
            for (size_t I = 0; I < Steps.size(); ++I) {
                Wheel(View, At, Steps[I]);
                ReachedLimit = ReachedLimit || View.GetScaleFactor() == 4.0L;
                ASSERT_LE(PixelsOff(View, Place, At), 1.0) << "after step " << I;
            }
            EXPECT_TRUE(ReachedLimit);
            EXPECT_LT(View.GetScaleFactor(), 4.0L) << "turning back zooms out at once from the limit";
        }
    }
}

TEST(WheelTest, FineStepsAddUpToExactlyOneNotch) {
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        SCOPED_TRACE(P.Name);
        TViewSetup Fine(P), Notch(P), Moving(P);
        const long double Start = Fine.View->GetScaleFactor();
        const QPoint At(250, 100);
        for (int I = 0; I < 120; ++I) Wheel(*Fine.View, At, 1);
        Wheel(*Notch.View, At, 120);
        // A hand on a touch pad drifts: the steps still add up, and the place under the
        // last position stays there.
        TPoint3D Place;
        QPoint Last(-1, -1);
        for (int I = 0; I < 120; ++I) {
            const QPoint Drift = At + QPoint(I / 40, -(I / 60));
            if (Drift != Last) {
                ASSERT_TRUE(Moving.View->PixelToLL(Drift.x(), Drift.y(), Place));
            }
            Last = Drift;
            Wheel(*Moving.View, Drift, 1);
            ASSERT_LE(PixelsOff(*Moving.View, Place, Drift), 1.0) << I;
        }
        EXPECT_EQ(Moving.View->GetScaleFactor(), Notch.View->GetScaleFactor());
        const TViewRec A = Fine.View->GetViewRec(), B = Notch.View->GetViewRec();
        EXPECT_EQ(A.ScaleFactor, B.ScaleFactor);
        EXPECT_EQ(A.XOrigin, B.XOrigin);
        EXPECT_EQ(A.YOrigin, B.YOrigin);
        EXPECT_NEAR(double(B.ScaleFactor / Start), double(TOrvex3::WheelNotchFactor), 1e-12);
        // Backwards by the same fine steps returns to the start.
        for (int I = 0; I < 120; ++I) Wheel(*Fine.View, At, -1);
        EXPECT_NEAR(double(Fine.View->GetScaleFactor() / Start), 1.0, 1e-15);
    }
}

TEST(KeysTest, ArrowsBringThePlaceATenthAwayToTheCentrePlusMinusAndHomeZoom) {
    const struct {
        const char* Name;
        Qt::Key Key;
        int DX, DY;  // where the place that comes to the centre was, in tenths of the view
    } Arrows[] = {{"right", Qt::Key_Right, 1, 0},
                  {"left", Qt::Key_Left, -1, 0},
                  {"up", Qt::Key_Up, 0, -1},
                  {"down", Qt::Key_Down, 0, 1}};
    const QPoint Centre(kWidth / 2, kHeight / 2);
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        for (const int Tilt : {0, 40}) {
            if (Tilt && P.Kind != opSpherical) continue;
            for (const auto& A : Arrows) {
                SCOPED_TRACE(P.Name + " tilted " + std::to_string(Tilt) + " " + A.Name);
                TViewSetup S(P, Tilt);
                TOrvex3& View = *S.View;
                // Zoomed in a little, so that a tenth of the view lies on every map.
                View.ZoomToScale(View.GetScaleFactor() * 3);
                const QPoint From(Centre.x() + A.DX * kWidth / 10, Centre.y() + A.DY * kHeight / 10);
                const TPixelPoint Origin = View.GetOrigin();
                TPoint3D Place;
                ASSERT_TRUE(P.Kind != opSpherical || View.PixelToLL(From.x(), From.y(), Place));
                QTest::keyClick(&View, A.Key);
                if (P.Kind == opSpherical) {
                    EXPECT_LE(PixelsOff(View, Place, Centre), 2.0) << "the globe turned";
                } else {
                    // Flat maps pan as their scroll bars do.
                    EXPECT_NEAR(View.GetOrigin().X - Origin.X, -A.DX * kWidth / 10, 1);
                    EXPECT_NEAR(View.GetOrigin().Y - Origin.Y, -A.DY * kHeight / 10, 1);
                }
            }
            SCOPED_TRACE(P.Name + " zoom keys");
            TViewSetup S(P, Tilt);
            TOrvex3& View = *S.View;
            const long double Fit = View.GetScaleFactor();
            TPoint3D Middle;
            // Some whole maps (Bonne's heart) leave the centre of the view empty.
            const bool HasMiddle = View.PixelToLL(Centre.x(), Centre.y(), Middle);
            QTest::keyClick(&View, Qt::Key_Plus, Qt::ShiftModifier);
            QTest::keyClick(&View, Qt::Key_Equal);
            EXPECT_NEAR(double(View.GetScaleFactor() / Fit), std::pow(double(TOrvex3::WheelNotchFactor), 2), 1e-9);
            if (HasMiddle) {
                EXPECT_LE(PixelsOff(View, Middle, Centre), 1.0) << "zoomed about the centre";
            }
            QTest::keyClick(&View, Qt::Key_Minus);
            EXPECT_NEAR(double(View.GetScaleFactor() / Fit), double(TOrvex3::WheelNotchFactor), 1e-9);
            QTest::keyClick(&View, Qt::Key_Right);
            QTest::keyClick(&View, Qt::Key_Home);
            EXPECT_EQ(View.GetScaleFactor(), Fit) << "Home shows the whole world";
            EXPECT_EQ(View.GetOrigin().X, kWidth / 2);
            // Keys with Ctrl belong to shortcuts, not to the map.
            const TViewRec Before = View.GetViewRec();
            QTest::keyClick(&View, Qt::Key_Right, Qt::ControlModifier);
            EXPECT_EQ(View.GetViewRec().YRotation, Before.YRotation);
            EXPECT_EQ(View.GetViewRec().XOrigin, Before.XOrigin);
        }
    }
}

}  // namespace
