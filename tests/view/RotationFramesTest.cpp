// Frames of a turning globe: after the first, the passes leave out the objects too small to
// show, and still draw and mark exactly what a view drawing the same frame afresh does, also
// when objects change, come and go between frames or handlers delete them during a frame.

#include <functional>
#include <memory>
#include <random>

#include "RenderFixtures.h"

namespace {

constexpr int W = 320, H = 200;

// A globe of 2,000 chains, most of them well under a pixel, some hidden, changed from frame
// Changes on as the frames go by.
struct TGlobe {
    TGlobe() {
        View.SetColor(Navy);
        View.SetOrvexColor(Teal);
        View.SetDrawGrid(dgNone);
        View.SetSurfaceSize(W, H);
        View.SetProjection(opSpherical);
        L = View.AddLayer("globe");
        auto* Line = TPolylinePresenter::Create(L);
        Line->PolylinePen()->SetPenColor(Yellow);
        std::mt19937 Random(77);
        std::uniform_real_distribution<double> Lon(-180, 180), Lat(-85, 85);
        for (int I = 0; I < 2000; ++I) {
            // A degree is under two pixels here: most chains are a tenth of one.
            const double X = Lon(Random), Y = Lat(Random), Size = I % 10 == 0 ? 6 : 0.05;
            auto* O = TGeoDataObject::Create(L, Line, I, "");
            const std::vector<TPoint3D> Points{LL(X, Y), LL(X + Size, Y + Size / 2), LL(X, Y + Size)};
            O->SetPoints(Points.data(), 3);
            if (I % 7 == 0) O->SetHidden(true);
        }
    }
    // The view turned as frame F shows it, with the changes of frames up to F made.
    void Turn(int F) {
        View.SetYRotation(NormalizeLongitude(int64_t(F) * 9 * Deg));
        View.SetXRotation((F % 9 - 4) * 10 * Deg);
    }
    void ChangeAt(int F) {
        TOrvexObject* Hidden = L->GetObject(7);
        if (F == 4) Hidden->SetHidden(false);
        if (F == 6) L->GetObject(15)->Delete();
        if (F == 8) {
            // A small chain grows into a long one.
            const std::vector<TPoint3D> Long{LL(-60, 0), LL(60, 10), LL(120, -10)};
            L->GetObject(21)->PutPoint(1, Long[1]);
            static_cast<TGeoDataObject*>(L->GetObject(22))->SetPoints(Long.data(), 3);
        }
        if (F == 10) {
            auto* O = TGeoDataObject::Create(L, L->GetPresenter(0), 5000, "");
            const std::vector<TPoint3D> Points{LL(0, -40), LL(90, 40), LL(180, -40), LL(-90, 40)};
            O->SetPoints(Points.data(), 4);
        }
        if (F == 12) L->GetObject(40)->SetIndex(1900);
        if (F == 14) L->GetObject(33)->SetSelected(true);
        if (F == 16) L->GetObject(51)->IncludeState(osInView | osFrontSide);
        if (F == 18) L->GetObject(1234)->MoveBy(40 * Deg, 0);
    }
    TOrvex3 View;
    TOrvexLayer* L;
};

TEST(RotationFramesTest, FramesMatchTheSameFramesDrawnAfresh) {
    TGlobe Turning;
    for (int F = 0; F < 22; ++F) {
        SCOPED_TRACE(F);
        Turning.ChangeAt(F);
        Turning.Turn(F);
        Turning.View.Render();
        TGlobe Fresh;
        for (int G = 0; G <= F; ++G) Fresh.ChangeAt(G);
        Fresh.Turn(F);
        Fresh.View.Render();
        ASSERT_EQ(Turning.L->ObjectCount(), Fresh.L->ObjectCount());
        for (int32_t I = 0; I < Turning.L->ObjectCount(); ++I) {
            const TOrvexObject* A = Turning.L->GetObject(I);
            const TOrvexObject* B = Fresh.L->GetObject(I);
            ASSERT_EQ(A->ID(), B->ID()) << I;
            // A chain retested out of view keeps no retest bit, one computed afresh does.
            ASSERT_EQ(A->State() & ~osRetest, B->State() & ~osRetest) << "object " << A->ID();
            if (A->HasState(osInView)) {
                ASSERT_EQ(A->ClipCode(), B->ClipCode()) << "object " << A->ID();
            }
        }
        ASSERT_TRUE(Turning.View.Canvas()->Image() == Fresh.View.Canvas()->Image());
    }
}

// A handler that deletes objects ahead of the walk, and finally the layer, during a frame
// that passes over settled objects: every other object is drawn once, nothing freed is touched.
TEST(RotationFramesTest, HandlersDeletingDuringAFrameThatPassesObjectsOver) {
    TGlobe G;
    G.Turn(1);
    G.View.Render();
    G.Turn(2);
    int Drawn = 0;
    G.View.OnRenderObject = [&](TOrvex3*, TOrvexObject* O, bool&) {
        ++Drawn;
        TOrvexLayer* L = O->Layer();
        const int32_t I = O->Index();
        if (I + 3 < L->ObjectCount()) L->GetObject(I + 3)->Delete();
        if (Drawn == 40) L->Delete();
    };
    G.View.Render();
    EXPECT_EQ(Drawn, 40);
    EXPECT_EQ(G.View.LayerCount(), 0);
}

}  // namespace
