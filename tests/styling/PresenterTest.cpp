// The presenter base: the global defaults, numbering, copying, records and moving.
#include "StylingFixtures.h"

namespace {

using PresenterTest = StylingTest;

TEST_F(PresenterTest, ClearMakesTheThreeGlobalPresenters) {
    for (int Round = 0; Round < 2; ++Round) {
        const auto& G = View.GlobalLayer()->Presenters();
        ASSERT_EQ(G.size(), 3u);
        EXPECT_NE(dynamic_cast<TPointPresenter*>(G[0]), nullptr);
        EXPECT_NE(dynamic_cast<TPolylinePresenter*>(G[1]), nullptr);
        EXPECT_NE(dynamic_cast<TPolygonPresenter*>(G[2]), nullptr);
        EXPECT_EQ(G[0]->Name(), "GlobalPointPresenter");
        EXPECT_EQ(G[1]->Name(), "GlobalPolylinePresenter");
        EXPECT_EQ(G[2]->Name(), "GlobalPolygonPresenter");
        EXPECT_EQ(G[0]->FeatureID(), -1);
        EXPECT_EQ(G[1]->FeatureID(), -2);
        EXPECT_EQ(G[2]->FeatureID(), -3);
        TOrvexPresenter::CreateNamed<TPointPresenter>(View.GlobalLayer(), 0, "");
        View.Clear();  // frees the fixture's layer too
    }
}

TEST_F(PresenterTest, NumberingNamingAndTitleFont) {
    TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "");
    TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 0, "Lakes");
    auto* P = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 0, "");
    EXPECT_EQ(P->FeatureID(), 3);
    EXPECT_EQ(P->Name(), "PointPresenter3");
    EXPECT_EQ(P->Index(), 2);
    EXPECT_EQ(P->TitleFont()->FontName(), "Arial") << "titles use the view's title font";
    EXPECT_EQ(P->PointFont()->FontName(), "WingDings");
    EXPECT_EQ(P->TitleFont()->Layer(), Layer);

    auto* G = TOrvexPresenter::CreateNamed<TPointPresenter>(View.GlobalLayer(), 0, "");
    EXPECT_EQ(G->FeatureID(), -4);
    EXPECT_EQ(G->Name(), "GlobalPointPresenter-4");

    // The layer file reader makes presenters through the class description.
    TOrvexPersistent* Q = TPolygonPresenter::StaticClassInfo().Create(Layer);
    EXPECT_EQ(Layer->GetPresenter(3), Q);
    EXPECT_EQ(static_cast<TPolygonPresenter*>(Q)->TitleFont()->FontName(), "WingDings")
        << "only CreateNamed gives the title font the view's values";
}

TEST_F(PresenterTest, TitleSettingsCopyAndRedraw) {
    auto* A = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 4, "Roads");
    View.RedrawPending = false;
    A->SetTitleAlignment(taBottomRight);
    EXPECT_TRUE(View.RedrawPending);
    View.RedrawPending = false;
    A->SetTitleOffset(4);
    EXPECT_TRUE(View.RedrawPending);
    A->TitleFont()->SetFontSize(14);
    A->PolylinePen()->SetPenWidth(5);

    auto* B = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "");
    B->CopyFrom(A);
    EXPECT_EQ(B->Name(), "Roads");
    EXPECT_EQ(B->FeatureID(), 4);
    EXPECT_EQ(B->TitleAlignment(), taBottomRight);
    EXPECT_EQ(B->TitleOffset(), 0) << "the offset is never copied";
    EXPECT_EQ(B->TitleFont()->FontSize(), 14);
    EXPECT_EQ(B->PolylinePen()->PenWidth(), 5);

    // Across classes only the base part is taken.
    auto* C = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 0, "");
    C->CopyFrom(A);
    EXPECT_EQ(C->Name(), "Roads");
    EXPECT_EQ(C->PointPen()->PenWidth(), 1);
    EXPECT_THROW(C->CopyFrom(Layer), EInvalidCast);
}

TEST_F(PresenterTest, BaseRecord) {
    auto* P = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, -5, "R");
    P->SetTitleAlignment(taTop);
    P->SetTitleOffset(7);
    const std::vector<uint8_t> Bytes = Record(*P);
    const std::vector<uint8_t> Head{0xFB, 0xFF, 0xFF, 0xFF, 1, 'R', taTop};
    ASSERT_EQ(Bytes.size(), Head.size() + 10 + 1 + 5 + 6);
    EXPECT_TRUE(std::equal(Head.begin(), Head.end(), Bytes.begin()));
    EXPECT_EQ(Bytes[Head.size() + 10], 5) << "title font name length (Arial)";

    auto* Q = TPolylinePresenter::Create(Layer);
    TOrvexStream S(Bytes);
    Q->LoadFromStream(S);
    EXPECT_TRUE(S.AtEnd());
    EXPECT_EQ(Q->FeatureID(), -5);
    EXPECT_EQ(Q->Name(), "R");
    EXPECT_EQ(Q->TitleAlignment(), taTop);
    EXPECT_EQ(Q->TitleOffset(), 0);
    EXPECT_TRUE(Q->TitleFont()->IsEqual(P->TitleFont()));

    std::vector<uint8_t> Wide = Bytes;
    Wide[0] = 0x45, Wide[1] = 0x23, Wide[2] = 0x01, Wide[3] = 0x00;  // 0x12345
    TOrvexStream W(Wide);
    Q->LoadFromStream(W);
    EXPECT_EQ(Q->FeatureID(), 0x2345) << "only the low 16 bits are kept";

    std::vector<uint8_t> Bad = Bytes;
    Bad[6] = 10;
    TOrvexStream B(Bad);
    EXPECT_EQ(EMessage([&] { Q->LoadFromStream(B); }), "Invalid title alignment 10");
}

TEST_F(PresenterTest, MoveToLayer) {
    TOrvexLayer* Other = View.AddLayer("Other");
    auto* P = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "Rivers");
    auto* O = Chain(Layer, {MakePoint(0, 0), MakePoint(Deg, Deg)});
    O->SetPresenter(P);
    P->PolylinePen()->Apply(false);

    // Into an ordinary layer: the old layer's objects fall back on the global polyline presenter.
    P->MoveToLayer(Other);
    EXPECT_EQ(Layer->PresenterCount(), 0);
    EXPECT_EQ(Other->GetPresenter(0), P);
    EXPECT_EQ(P->Layer(), Other);
    EXPECT_EQ(P->PolylinePen()->Layer(), Other);
    EXPECT_EQ(P->TitleFont()->Layer(), Other);
    EXPECT_EQ(O->Presenter(), View.GlobalLayer()->GetPresenter(1));

    // Into the global layer: the objects keep it; afterwards it stays there.
    O->SetPresenter(P);
    P->MoveToLayer(View.GlobalLayer());
    EXPECT_EQ(Other->PresenterCount(), 0);
    EXPECT_EQ(View.GlobalLayer()->Presenters().back(), P);
    EXPECT_EQ(O->Presenter(), P);
    P->MoveToLayer(Layer);
    EXPECT_EQ(P->Layer(), View.GlobalLayer());

    // A global presenter with the same name and number is preferred.
    auto* Named = TOrvexPresenter::CreateNamed<TPolygonPresenter>(View.GlobalLayer(), -9, "Shared");
    auto* Q = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, -9, "shared");
    auto* Area = Chain(Layer, {MakePoint(0, 0), MakePoint(Deg, 0), MakePoint(0, Deg)});
    Area->SetPresenter(Q);
    Q->MoveToLayer(Other);
    EXPECT_EQ(Area->Presenter(), Named);

    // No layer: deleted, and no object refers to it any more.
    Area->SetPresenter(Q);
    Q->MoveToLayer(nullptr);
    EXPECT_EQ(Other->PresenterCount(), 0);
    EXPECT_EQ(Area->Presenter(), nullptr);
}

TEST_F(PresenterTest, DeleteClearsReferencesEverywhere) {
    auto* P = TOrvexPresenter::CreateNamed<TPointPresenter>(View.GlobalLayer(), 0, "");
    TOrvexLayer* Other = View.AddLayer("Other");
    auto* O1 = Chain(Layer, {MakePoint(0, 0)});
    auto* O2 = Chain(Other, {MakePoint(0, 0)});
    auto* O3 = Chain(View.GlobalLayer(), {MakePoint(0, 0)});
    for (TOrvexObject* O : {O1, O2, O3}) O->SetPresenter(P);
    View.RedrawPending = false;
    P->Delete();
    EXPECT_EQ(View.GlobalLayer()->PresenterCount(), 3);
    for (TOrvexObject* O : {O1, O2, O3}) EXPECT_EQ(O->Presenter(), nullptr);
    EXPECT_TRUE(View.RedrawPending);
}

}  // namespace
