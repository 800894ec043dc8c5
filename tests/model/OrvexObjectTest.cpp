#include <gtest/gtest.h>

#include <functional>

#include "ModelFixtures.h"

namespace {

class ObjectTest : public ::testing::Test {
protected:
    TTestView View;
    TOrvexLayer* Layer = View.AddLayer("Test");
};

TEST_F(ObjectTest, CreationLinksIntoLayerAndRaisesCreateWithTheWholeObject) {
    Layer->SetExtents(TExtent{1, 2, 3, 4});
    TGeoDataObject* Seen = nullptr;
    View.OnObjectCreate = [&](TOrvex3* Sender, TOrvexObject* O) {
        EXPECT_EQ(Sender, &View);
        Seen = dynamic_cast<TGeoDataObject*>(O);  // the handler sees the finished class
    };
    auto* O = TGeoDataObject::Create(Layer);
    EXPECT_EQ(Seen, O);
    EXPECT_EQ(Layer->ObjectCount(), 1);
    EXPECT_EQ(Layer->GetObject(0), O);
    EXPECT_TRUE(Layer->IsLoaded());
    EXPECT_EQ(Layer->Extents(), TExtent{});
    EXPECT_EQ(O->State(), 0);
    EXPECT_EQ(O->ClipCode(), 0) << "the file loader's constructor leaves the clip code alone";

    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(Layer, 7, "Roads");
    auto* Named = TGeoDataObject::Create(Layer, P, 42, "A road");
    EXPECT_EQ(Named->Title(), "A road");
    EXPECT_EQ(Named->ID(), 42);
    EXPECT_EQ(Named->Presenter(), P);
    EXPECT_EQ(Named->FeatureID(), 7);
    EXPECT_EQ(Named->ClipCode(), 255);
    EXPECT_EQ(TSinglePointObject::Create(Layer, P, 1, "x")->ClipCode(), 0);
}

TEST_F(ObjectTest, ObjectWithoutLayerIsTemporary) {
    auto* O = TGeoDataObject::Create(nullptr);
    O->AddPoint(MakePoint(10, 10));
    O->AddPoint(MakePoint(20, 30));
    O->CalcExtents();
    EXPECT_FALSE(O->HasState(osExtentsValid)) << "no layer, no scale: the extent stays invalid";
    O->SetSelected(true);
    EXPECT_TRUE(O->Selected());
    delete O;
}

TEST_F(ObjectTest, DestructionDeselectsThenFreesAndUnlinks) {
    auto* A = TGeoDataObject::Create(Layer);
    A->SetTitle("A");
    auto* B = TGeoDataObject::Create(Layer);
    B->SetTitle("B");
    A->SetSelected(true);
    B->SetSelected(true);
    TEventLog Log(View);
    A->Delete();
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"deselect:A", "free:A"}));
    EXPECT_EQ(View.SelectedCount(), 1);
    EXPECT_EQ(View.SelectedObject(), B);
    EXPECT_EQ(Layer->ObjectCount(), 1);
    EXPECT_EQ(Layer->GetObject(0), B);

    Log.Events.clear();
    Layer->Clear();
    EXPECT_EQ(View.SelectedCount(), 0);
    EXPECT_EQ(Layer->ObjectCount(), 0);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"deselect:B", "free:B"}));
}

// The last picture shows an object that has gone: its going asks for a new one.
TEST_F(ObjectTest, RemovingAnObjectRequestsARender) {
    TOrvexLayer* Other = View.AddLayer("Other");
    const std::vector<std::pair<const char*, std::function<void(TGeoDataObject*)>>> Ways{
        {"delete", [](TGeoDataObject* O) { delete O; }},
        {"Delete", [](TGeoDataObject* O) { O->Delete(); }},
        {"out of every layer",
         [](TGeoDataObject* O) {
             O->SetLayer(nullptr);
             delete O;
         }},
        {"into another layer", [&](TGeoDataObject* O) { O->SetLayer(Other); }},
    };
    for (bool Animated : {false, true}) {
        Layer->SetAnimated(Animated);
        for (const auto& [Name, Remove] : Ways) {
            SCOPED_TRACE(std::string(Name) + (Animated ? " (animated)" : ""));
            auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(10, 10)});
            Other->SetAnimated(true);  // the arrival alone would only repaint
            View.RedrawPending = false;
            Remove(O);
            EXPECT_TRUE(View.RedrawPending);
            Other->SetAnimated(false);
        }
    }
}

// The selection is the view's list: a copy is not in it, so it must not look selected.
TEST_F(ObjectTest, CopiesAreNotSelected) {
    auto* Source = Chain(Layer, {MakePoint(0, 0), MakePoint(10, 10)});
    Source->SetSelected(true);
    auto* Copy = TGeoDataObject::Create(Layer);
    Copy->CopyFrom(Source);
    EXPECT_FALSE(Copy->Selected());
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{Source}));

    // A selected object keeps its own selection when it copies an unselected one.
    Source->SetSelected(false);
    Copy->SetSelected(true);
    Copy->CopyFrom(Source);
    EXPECT_TRUE(Copy->Selected());
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{Copy}));
    Copy->SetSelected(false);
    EXPECT_EQ(View.SelectedCount(), 0);
}

TEST_F(ObjectTest, SetPointsReplacesTheChainAtOnce) {
    auto* O = Chain(Layer, {MakePoint(1, 1), MakePoint(2, 2), MakePoint(3, 3), MakePoint(4, 4)});
    O->CalcExtents();
    const std::vector<TPoint3D> Five{MakePoint(5, 5), MakePoint(6, 6), MakePoint(7, 7), MakePoint(8, 8),
                                     MakePoint(9, 9)};
    View.RedrawPending = false;
    O->SetPoints(Five.data(), 5);
    EXPECT_EQ(O->Count(), 5);
    EXPECT_EQ(O->Capacity(), 5);
    EXPECT_EQ(O->GetPoint(4), MakePoint(9, 9));
    EXPECT_FALSE(O->HasState(osExtentsValid));
    EXPECT_TRUE(View.RedrawPending);

    // Its own points, shifted to the front.
    O->SetPoints(O->Points() + 2, 3);
    EXPECT_EQ(O->Count(), 3);
    EXPECT_EQ(O->Capacity(), 3);
    EXPECT_EQ(O->GetPoint(0), MakePoint(7, 7));
    EXPECT_EQ(O->GetPoint(2), MakePoint(9, 9));

    for (int32_t Bad : {-1, MaxPointListSize + 1}) {
        EXPECT_THROW(O->SetPoints(Five.data(), Bad), EOrvexException);
        EXPECT_EQ(O->Count(), 3) << "a refused count leaves the chain as it was";
    }
    EXPECT_THROW(O->SetPoints(nullptr, 2), EOrvexException);
    EXPECT_THROW(O->SetPoints(O->Points() + 1, 3), EOrvexException) << "past its own end";
    EXPECT_EQ(O->GetPoint(0), MakePoint(7, 7));
    O->SetPoints(nullptr, 0);
    EXPECT_EQ(O->Count(), 0);
}

TEST_F(ObjectTest, PresenterAttachRules) {
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(Layer, 3, "");
    auto* Q = TOrvexPresenter::CreateNamed<TTestPresenter>(Layer, 4, "");
    auto* O = TGeoDataObject::Create(Layer, P, 0, "");
    O->CalcExtents();
    ASSERT_TRUE(O->HasState(osExtentsValid));

    O->SetPresenter(nullptr);
    EXPECT_EQ(O->Presenter(), P) << "a null presenter leaves the current one";
    EXPECT_TRUE(O->HasState(osExtentsValid)) << "ignored attach does not invalidate";

    Q->RejectAll = true;
    O->SetPresenter(Q);
    EXPECT_EQ(O->Presenter(), P);

    Q->RejectAll = false;
    View.RedrawPending = false;
    O->SetPresenter(Q);
    EXPECT_EQ(O->Presenter(), Q);
    EXPECT_EQ(O->FeatureID(), 4);
    EXPECT_FALSE(O->HasState(osExtentsValid));
    EXPECT_TRUE(View.RedrawPending);
}

TEST_F(ObjectTest, SelectionAndHidingSetBitsAndRequestRenders) {
    auto* A = TGeoDataObject::Create(Layer);
    A->SetTitle("A");
    auto* B = TSinglePointObject::Create(Layer);
    B->SetTitle("B");
    TEventLog Log(View);
    View.RedrawPending = false;
    A->SetSelected(true);
    B->SetSelected(true);
    A->SetSelected(true);  // unchanged: nothing happens
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"select:A", "select:B"}));
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{A, B}));
    EXPECT_EQ(View.SelectedObject(), B);
    EXPECT_TRUE(A->HasState(osSelected | osRetest));
    EXPECT_TRUE(View.RedrawPending);

    A->SetSelected(false);
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{B}));
    EXPECT_EQ(Log.Events.back(), "deselect:A");

    View.RedrawPending = false;
    B->ExcludeState(osRetest);
    B->SetHidden(true);
    EXPECT_TRUE(B->HasState(osHidden | osRetest));
    EXPECT_TRUE(View.RedrawPending);
    View.RedrawPending = false;
    B->SetHidden(true);
    EXPECT_FALSE(View.RedrawPending);
    B->SetHidden(false);
    EXPECT_FALSE(B->Hidden());
}

TEST_F(ObjectTest, IndexMovesWithinTheLayerAndRejectsBadPositions) {
    auto* A = TGeoDataObject::Create(Layer);
    auto* B = TGeoDataObject::Create(Layer);
    auto* C = TGeoDataObject::Create(Layer);
    EXPECT_EQ(C->Index(), 2);
    A->SetIndex(2);
    EXPECT_EQ(Layer->Objects(), (std::vector<TOrvexObject*>{B, C, A}));
    A->SetIndex(0);
    EXPECT_EQ(Layer->Objects(), (std::vector<TOrvexObject*>{A, B, C}));
    EXPECT_EQ(Message([&] { B->SetIndex(3); }), "TOrvexObject.SetIndex: Bad position");
    EXPECT_EQ(Message([&] { B->SetIndex(-1); }), "TOrvexObject.SetIndex: Bad position");
    EXPECT_EQ(Layer->Objects(), (std::vector<TOrvexObject*>{A, B, C}));
}

TEST_F(ObjectTest, ExtentsOfPointsAndChains) {
    View.SetScale(0.001L);  // one pixel per 1,000 OrvexUnits
    auto* Empty = TGeoDataObject::Create(Layer);
    Empty->CalcExtents();
    EXPECT_EQ(Empty->Extents(), (TExtent{-1500, -1500, 3000, 3000}));
    EXPECT_TRUE(Empty->HasState(osExtentsValid));

    auto* Single = TSinglePointObject::Create(Layer);
    Single->SetPoint(MakePoint(10000, 20000));
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents(), (TExtent{8500, 18500, 3000, 3000}));

    View.SetScale(0.4L);  // 3 / 0.4 = 7.5 rounds to 8 (ties to even), halved to 4
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents(), (TExtent{9996, 19996, 8, 8}));

    auto* Line = Chain(Layer, {MakePoint(10, 10), MakePoint(20, 30)});
    Line->CalcExtents();
    EXPECT_EQ(Line->Extents(), (TExtent{9, 9, 12, 22}));
    EXPECT_FALSE(Line->HasState(osCrossesDateLine));
}

TEST_F(ObjectTest, ExtentsSurviveDegenerateScalesAndExtremeCoordinates) {
    View.SetScale(0);
    auto* Single = TSinglePointObject::Create(Layer);
    Single->SetPoint(TPoint3D{0, -2147483647, 0});
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents().Bottom, std::numeric_limits<int32_t>::min());
    EXPECT_GT(Single->Extents().Width, 0);

    auto* Line = Chain(Layer, {TPoint3D{0, std::numeric_limits<int32_t>::min(), 0}, TPoint3D{5, 2147483647, 0}});
    Line->CalcExtents();
    EXPECT_EQ(Line->Extents().Bottom, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Line->Extents().Height, 2147483647);
}

TEST_F(ObjectTest, ChainAcrossTheDateLineRunsEastFromItsWesternEdge) {
    View.SetScale(0.001L);
    auto* Line = Chain(Layer, {MakePoint(170 * Deg, 0), MakePoint(-170 * Deg, 10 * Deg)});
    Line->CalcExtents();
    EXPECT_TRUE(Line->HasState(osCrossesDateLine));
    EXPECT_FALSE(Line->HasState(osOddCrossings)) << "seeded with the last point: two crossings";
    const TExtent& E = Line->Extents();
    EXPECT_EQ(E.Left, 170 * Deg - 1);
    EXPECT_EQ(int64_t(E.Left) + E.Width - OrvexUnits::Deg360, -170 * Deg + 1) << "east edge on the negative side";
    EXPECT_EQ(E.Bottom, -1);
    EXPECT_EQ(E.Height, 10 * Deg + 2);

    // The date line part is hit on both sides, the rest of the world is not.
    EXPECT_EQ(Line->ExtentHit(MakePoint(175 * Deg, 5 * Deg)), 2);
    EXPECT_EQ(Line->ExtentHit(MakePoint(-175 * Deg, 5 * Deg)), 1);
    EXPECT_EQ(Line->ExtentHit(MakePoint(0, 5 * Deg)), 0);
    EXPECT_EQ(Line->ExtentHit(MakePoint(-160 * Deg, 5 * Deg)), 0);

    // A ring around the pole crosses once: odd.
    auto* Polar = Chain(Layer, {MakePoint(-90 * Deg, 80 * Deg), MakePoint(0, 80 * Deg), MakePoint(90 * Deg, 80 * Deg),
                                MakePoint(179 * Deg, 80 * Deg), MakePoint(-179 * Deg, 80 * Deg)});
    Polar->CalcExtents();
    EXPECT_TRUE(Polar->HasState(osCrossesDateLine | osOddCrossings));
    EXPECT_EQ(Polar->State() & osOddCrossings, osOddCrossings);

    // Moved off the date line, the chain no longer takes the seam-splitting path.
    Polar->MoveBy(-60 * Deg, 0);  // still crosses
    Polar->CalcExtents();
    EXPECT_TRUE(Polar->HasState(osCrossesDateLine));
    Line->MoveBy(-30 * Deg, 0);
    Line->CalcExtents();
    EXPECT_FALSE(Line->HasState(osCrossesDateLine | osOddCrossings));
}

TEST_F(ObjectTest, ExtentHitAtTheWrappedEdge) {
    auto* O = TGeoDataObject::Create(Layer);
    O->SetExtents(TExtent{960000000, 0, 24000000, 100});
    O->IncludeState(osExtentsValid);
    EXPECT_EQ(O->ExtentHit(TPoint3D{965000000, 50, 0}), 2);
    EXPECT_EQ(O->ExtentHit(TPoint3D{-965000000, 50, 0}), 1);
    EXPECT_EQ(O->ExtentHit(TPoint3D{-960000000, 50, 0}), 0) << "the wrapped east end is exclusive";
    EXPECT_EQ(O->ExtentHit(TPoint3D{950000000, 50, 0}), 0);
    EXPECT_EQ(O->ExtentHit(TPoint3D{965000000, -1, 0}), 0) << "below the extent";
    EXPECT_EQ(O->ExtentHit(TPoint3D{965000000, 100, 0}), 0) << "the top edge is exclusive";

    // An extent ending near the int32 limit must not overflow.
    O->SetExtents(TExtent{2147483000, 0, 2147483000, 100});
    EXPECT_EQ(O->ExtentHit(TPoint3D{0, 50, 0}), 0);

    O->SetHidden(true);
    O->SetExtents(TExtent{0, 0, 100, 100});
    EXPECT_EQ(O->ExtentHit(TPoint3D{50, 50, 0}), 0) << "hidden objects are never hit";
}

TEST_F(ObjectTest, ExtentHitRecomputesStaleExtentsAndClearsViewBits) {
    View.SetScale(0.001L);
    auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(10000, 10000)});
    O->IncludeState(osSubPixel | osInView | osBackSide | osFrontSide | osRetest);
    EXPECT_EQ(O->ExtentHit(MakePoint(5000, 5000)), 3);
    EXPECT_TRUE(O->HasState(osExtentsValid));
    EXPECT_FALSE(O->HasState(osInView | osBackSide | osFrontSide));
    EXPECT_TRUE(O->HasState(osRetest));
}

TEST_F(ObjectTest, ContainsPointAsksThePresenterOnlyAfterAnExtentHit) {
    View.SetScale(0.001L);
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(Layer, 1, "");
    auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(10000, 10000)});
    O->SetPresenter(P);
    P->HitAnswer = 0;
    EXPECT_FALSE(O->ContainsPoint(MakePoint(5000, 5000)));
    EXPECT_EQ(P->HitTests, 1);
    EXPECT_FALSE(O->ContainsPoint(MakePoint(50000, 5000)));
    EXPECT_EQ(P->HitTests, 1);
    P->HitAnswer = 1;
    EXPECT_TRUE(O->ContainsPoint(MakePoint(5000, 5000)));
    EXPECT_EQ(P->Adjusts, 1) << "CalcExtents lets the presenter adjust the extent";
}

TEST_F(ObjectTest, ZoomRangeDecidesVisibility) {
    auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(10000, 10000)});
    View.ForceAltitude(12345);
    EXPECT_TRUE(O->TOrvexObject::IsVisibleIn(View)) << "ZoomMin = ZoomMax shows at every altitude";
    O->SetZoomMin(100);
    O->SetZoomMax(200);
    const std::pair<int32_t, bool> Cases[] = {{100, false}, {101, true}, {200, true}, {201, false}};
    for (auto [Altitude, Shown] : Cases) {
        View.ForceAltitude(Altitude);
        EXPECT_EQ(O->TOrvexObject::IsVisibleIn(View), Shown) << Altitude;
    }
}

TEST_F(ObjectTest, ChainVisibilityAsksTheProjectionWithTheObjectsExtent) {
    View.SetScale(0.001L);
    auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(10000, 10000)});
    O->CalcExtents();
    O->SetClipCode(255);
    EXPECT_TRUE(O->IsVisibleIn(View));
    EXPECT_EQ(View.Prj->LastExtent, O->Extents());
    EXPECT_EQ(O->ClipCode(), 0) << "the projection writes the object's clip code";
    View.Prj->ExtentAnswer = false;
    EXPECT_FALSE(O->IsVisibleIn(View));
    O->SetZoomMin(1);
    O->SetZoomMax(2);
    View.ForceAltitude(5);
    const int Calls = View.Prj->ExtentCalls;
    EXPECT_FALSE(O->IsVisibleIn(View));
    EXPECT_EQ(View.Prj->ExtentCalls, Calls) << "out of the zoom range the projection is not asked";
}

TEST_F(ObjectTest, SinglePointVisibilityProjectsTheFourCorners) {
    View.SetScale(0.001L);  // 150 x 150 surface, origin at its centre
    auto* O = TSinglePointObject::Create(Layer);
    O->SetPoint(MakePoint(0, 0));
    O->CalcExtents();
    EXPECT_TRUE(O->IsVisibleIn(View));
    EXPECT_TRUE(O->HasState(osFrontSide));
    EXPECT_EQ(View.Prj->PointCalls, 4);
    EXPECT_EQ(O->ClipCode(), 0);

    O->SetPoint(MakePoint(1000000, 0));  // 1,000 pixels east of the surface
    O->CalcExtents();
    EXPECT_FALSE(O->IsVisibleIn(View));

    View.Prj->HideEverything = true;
    O->SetPoint(MakePoint(0, 0));
    O->CalcExtents();
    O->ExcludeState(osFrontSide);
    EXPECT_FALSE(O->IsVisibleIn(View));
    EXPECT_FALSE(O->HasState(osFrontSide)) << "no corner placed: not on the front side";
}

TEST_F(ObjectTest, Centroids) {
    auto* Empty = TGeoDataObject::Create(Layer);
    EXPECT_EQ(Empty->Centroid(), TPoint3D{});
    // Means are rounded to nearest with ties to even: 1.5 -> 2, 2.5 -> 2.
    auto* O = Chain(Layer, {TPoint3D{0, 0, 7}, TPoint3D{3, 5, 7}});
    EXPECT_EQ(O->Centroid(), (TPoint3D{2, 2, 0}));
    auto* Wide = Chain(Layer, {TPoint3D{971000000, 0, 0}, TPoint3D{971000000, 0, 0}, TPoint3D{971000000, 0, 0}});
    EXPECT_EQ(Wide->Centroid().X, 971000000);

    // Across the date line the longitudes are averaged the short way round.
    auto* Box = Chain(Layer, {MakePoint(170 * Deg, 10 * Deg), MakePoint(-170 * Deg, 10 * Deg),
                              MakePoint(-170 * Deg, 20 * Deg), MakePoint(170 * Deg, 20 * Deg)});
    EXPECT_EQ(Box->Centroid(), MakePoint(-180 * Deg, 15 * Deg));
    auto* East = Chain(Layer, {MakePoint(175 * Deg, 0), MakePoint(-179 * Deg, 0), MakePoint(-177 * Deg, 0)});
    EXPECT_EQ(East->Centroid(), MakePoint(179 * Deg + 2 * Deg / 3, 0)) << "(175 + 181 + 183) / 3";
    auto* Long = Chain(Layer, {MakePoint(-170 * Deg, 0), MakePoint(0, 0), MakePoint(170 * Deg, 0)});
    EXPECT_EQ(Long->Centroid(), MakePoint(0, 0)) << "a chain the long way round, through 0";

    // The base centroid is the centre of the extent, normalized.
    auto* S = TSinglePointObject::Create(Layer);
    S->SetExtents(TExtent{960000000, 0, 30000000, 10});
    EXPECT_EQ(S->Centroid(), (TPoint3D{-969000000, 5, 0}));
}

TEST_F(ObjectTest, MovingKeepsLongitudesNormalized) {
    auto* O = Chain(Layer, {TPoint3D{971000000, 10, 5}, TPoint3D{-971000000, 20, 6}});
    O->CalcExtents();
    O->MoveBy(2000000, 1);
    EXPECT_EQ(O->GetPoint(0), (TPoint3D{-971000000, 11, 5})) << "altitude kept in chains";
    EXPECT_EQ(O->GetPoint(1), (TPoint3D{-969000000, 21, 6}));
    EXPECT_FALSE(O->HasState(osExtentsValid));
    O->MoveBy(-2000000, 0);
    EXPECT_EQ(O->GetPoint(0), (TPoint3D{971000000, 11, 5}));

    auto* S = TSinglePointObject::Create(Layer);
    S->SetPoint(TPoint3D{971000000, 5, 99});
    S->MoveBy(2000000, 0);
    EXPECT_EQ(S->Point(), (TPoint3D{-971000000, 5, 0})) << "a single point drops its altitude";
}

TEST_F(ObjectTest, CopyFromTakesDataButNotZoomOrStreamFlags) {
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(Layer, 9, "");
    auto* Src = Chain(Layer, {MakePoint(1, 2), MakePoint(3, 4), MakePoint(5, 6)});
    Src->SetPresenter(P);
    Src->SetTitle("T");
    Src->SetID(1);
    Src->SetRowID(2);
    Src->SetValue(2.5);
    Src->SetZoomMin(10);
    Src->SetZoomMax(20);
    Src->SetStreamFlags(0x18);
    Src->SetClipCode(7);
    Src->SetExtents(TExtent{1, 2, 3, 4});
    Src->SetState(osHidden | osExtentsValid);

    auto* Dst = TGeoDataObject::Create(Layer);
    Dst->CopyFrom(Src);
    EXPECT_EQ(Dst->Presenter(), P);
    EXPECT_EQ(Dst->FeatureID(), 9);
    EXPECT_EQ(Dst->Title(), "T");
    EXPECT_EQ(Dst->ID(), 1);
    EXPECT_EQ(Dst->RowID(), 2);
    EXPECT_EQ(Dst->Value(), 2.5);
    EXPECT_EQ(Dst->ZoomMin(), 0);
    EXPECT_EQ(Dst->ZoomMax(), 0);
    EXPECT_EQ(Dst->StreamFlags(), 0);
    EXPECT_EQ(Dst->ClipCode(), 7);
    EXPECT_TRUE(Dst->Hidden());
    ASSERT_EQ(Dst->GetPointCount(), 3);
    EXPECT_EQ(Dst->GetPoint(2), MakePoint(5, 6));

    auto* Single = TSinglePointObject::Create(Layer);
    Single->CopyFrom(Src);  // a sibling class: only the base fields
    EXPECT_EQ(Single->Title(), "T");
    EXPECT_EQ(Single->Point(), TPoint3D{});

    EXPECT_THROW(Dst->CopyFrom(nullptr), EInvalidCast);
    EXPECT_NO_THROW(Dst->CopyFrom(P)) << "any persistent of the map is accepted";
    try {
        Dst->CopyFrom(&View.GlobalLayer()[0]);
        FAIL() << "a layer is not an object";
    } catch (const EInvalidCast& E) {
        EXPECT_STREQ(E.what(), "Cannot assign a TOrvexLayer to a TGeoDataObject");
    }
}

}  // namespace
