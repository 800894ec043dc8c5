// Layers, presenters and the view as far as objects use them, the object's move between
// layers, and the published-property description.
#include <gtest/gtest.h>

#include "ModelFixtures.h"

namespace {

class LayerTest : public ::testing::Test {
protected:
    TTestView View;
    TOrvexLayer* A = View.AddLayer("A");
    TOrvexLayer* B = View.AddLayer("B");
};

TEST_F(LayerTest, MoveToAnotherLayerCopiesThePresenterAcross) {
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 5, "Rivers");
    auto* O = TGeoDataObject::Create(A, P, 1, "Nile");
    O->CalcExtents();
    O->SetLayer(B);
    EXPECT_EQ(A->ObjectCount(), 0);
    ASSERT_EQ(B->ObjectCount(), 1);
    EXPECT_EQ(B->GetObject(0), O);
    EXPECT_EQ(O->Layer(), B);
    ASSERT_EQ(B->PresenterCount(), 1);
    auto* Copy = dynamic_cast<TTestPresenter*>(B->GetPresenter(0));
    ASSERT_NE(Copy, nullptr);
    EXPECT_NE(Copy, P);
    EXPECT_EQ(Copy->Name(), "Rivers");
    EXPECT_EQ(Copy->FeatureID(), 5);
    EXPECT_EQ(O->Presenter(), Copy);
    EXPECT_FALSE(O->HasState(osExtentsValid));
    EXPECT_EQ(A->PresenterCount(), 1) << "the old layer keeps its presenter";

    // Moving a second object reuses the presenter now found in the new layer.
    auto* O2 = TGeoDataObject::Create(A, P, 2, "Congo");
    O2->SetLayer(B);
    EXPECT_EQ(O2->Presenter(), Copy);
    EXPECT_EQ(B->PresenterCount(), 1);
}

TEST_F(LayerTest, MoveKeepsGlobalPresentersAndObjectsWithoutPresenter) {
    auto* G = TOrvexPresenter::CreateNamed<TTestPresenter>(View.GlobalLayer(), 0, "");
    EXPECT_EQ(G->FeatureID(), -4) << "numbered after the three global defaults";
    auto* O = TGeoDataObject::Create(A, G, 1, "");
    O->SetLayer(B);
    EXPECT_EQ(O->Presenter(), G);
    EXPECT_EQ(B->PresenterCount(), 0);

    auto* Bare = TSinglePointObject::Create(A);
    Bare->SetLayer(B);
    EXPECT_EQ(Bare->Layer(), B);
    EXPECT_EQ(Bare->Presenter(), nullptr);
    EXPECT_EQ(B->PresenterCount(), 0);
}

TEST_F(LayerTest, MoveOutOfEveryLayerLeavesAnOwnerlessObject) {
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 1, "");
    auto* O = TGeoDataObject::Create(A, P, 1, "");
    O->SetSelected(true);
    O->SetLayer(nullptr);
    EXPECT_EQ(A->ObjectCount(), 0);
    EXPECT_EQ(View.SelectedCount(), 0);
    EXPECT_EQ(O->Presenter(), nullptr);
    P->Delete();
    delete O;  // the caller owns it now
}

TEST_F(LayerTest, FindPresenterFallsBackToTheGlobalLayer) {
    auto* G1 = TOrvexPresenter::CreateNamed<TTestPresenter>(View.GlobalLayer(), 0, "");
    auto* G2 = TOrvexPresenter::CreateNamed<TTestPresenter>(View.GlobalLayer(), 5, "");
    EXPECT_EQ(G1->Name(), "GlobalTestPresenter-4");
    EXPECT_EQ(A->FindPresenter("", -4), G1);
    EXPECT_EQ(A->FindPresenter("", 0), View.GlobalLayer()->GetPresenter(0))
        << "an empty layer falls back to the first global presenter";
    auto* P1 = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 0, "");
    auto* P2 = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 0, "Lakes");
    auto* P3 = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 0, "");
    EXPECT_EQ(P1->FeatureID(), 1);
    EXPECT_EQ(P1->Name(), "TestPresenter1");
    EXPECT_EQ(P2->FeatureID(), 2);
    EXPECT_EQ(P3->Name(), "TestPresenter3");
    EXPECT_EQ(A->FindPresenter("", 0), P1);
    EXPECT_EQ(A->FindPresenter("LAKES", 0), P2) << "names compare case-insensitively";
    EXPECT_EQ(A->FindPresenter("lakes", 3), nullptr);
    EXPECT_EQ(A->FindPresenter("", 5), G2);
    EXPECT_EQ(View.GlobalLayer()->FindPresenter("", 7), nullptr);
}

TEST_F(LayerTest, DeletingAPresenterClearsEveryReference) {
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 1, "");
    auto* O1 = TGeoDataObject::Create(A, P, 1, "");
    auto* O2 = TGeoDataObject::Create(B, nullptr, 2, "");
    O2->SetPresenter(P);  // a presenter may serve objects of other layers
    P->Delete();
    EXPECT_EQ(A->PresenterCount(), 0);
    EXPECT_EQ(O1->Presenter(), nullptr);
    EXPECT_EQ(O2->Presenter(), nullptr);
}

TEST_F(LayerTest, ClearAndDestructionFreeEverything) {
    TOrvexPresenter::CreateNamed<TTestPresenter>(A, 1, "");
    auto* O = TGeoDataObject::Create(A);
    O->SetSelected(true);
    A->Clear();
    EXPECT_EQ(A->ObjectCount(), 0);
    EXPECT_EQ(A->PresenterCount(), 0);
    EXPECT_FALSE(A->IsLoaded());
    EXPECT_EQ(View.SelectedObject(), nullptr);

    TGeoDataObject::Create(B);
    View.LayersChanged = false;
    B->Delete();
    EXPECT_EQ(View.LayerCount(), 1);
    EXPECT_TRUE(View.LayersChanged);
}

TEST(ViewTest, LayersAndSelection) {
    TTestView View;
    EXPECT_EQ(View.LayerCount(), 0) << "the global layer is not in the list";
    ASSERT_NE(View.GlobalLayer(), nullptr);
    EXPECT_EQ(View.GlobalLayer()->Name(), "GlobalLayer");
    auto* L = View.AddLayer("Coast");
    EXPECT_EQ(View.GetLayer(0), L);
    for (int Bad : {-1, 1}) {
        try {
            View.GetLayer(Bad);
            FAIL();
        } catch (const EOrvexException& E) {
            EXPECT_EQ(std::string(E.what()), "TOrvex3.GetLayer: Bad layer index " + std::to_string(Bad));
        }
    }

    auto* X = TGeoDataObject::Create(L);
    auto* Y = TGeoDataObject::Create(L);
    std::vector<std::string> Log;
    View.OnSelected = [&](TOrvex3*, TOrvexObject* O) { Log.push_back(O == X ? "sel X" : O ? "sel Y" : "sel none"); };
    View.OnDeSelected = [&](TOrvex3*, TOrvexObject* O) { Log.push_back(O == X ? "desel X" : "desel Y"); };
    View.SelectObject(X);
    View.SelectObject(X);
    Y->SetSelected(true);
    View.SelectObject(nullptr);
    EXPECT_EQ(Log, (std::vector<std::string>{"sel X", "desel Y", "sel none"}));
    EXPECT_FALSE(X->Selected());
    EXPECT_FALSE(Y->Selected());

    View.Clear();
    EXPECT_EQ(View.LayerCount(), 0);
}

TEST(ViewTest, ProgressReportsAbort) {
    TTestView View;
    EXPECT_FALSE(View.Progress(1, "start"));
    std::string Seen;
    View.OnProgress = [&](TOrvex3*, int Type, const std::string& Text, bool& Abort) {
        Seen = std::to_string(Type) + Text;
        Abort = true;
    };
    EXPECT_TRUE(View.Progress(0, "step"));
    EXPECT_EQ(Seen, "0step");
}

TEST(ClassInfoTest, PublishedPropertiesOfObjects) {
    const TClassInfo& Info = TGeoDataObject::StaticClassInfo();
    EXPECT_EQ(Info.ClassName, "TGeoDataObject");
    EXPECT_TRUE(Info.InheritsFrom(TOrvexPersistent::StaticClassInfo()));
    EXPECT_FALSE(Info.InheritsFrom(TOrvexPresenter::StaticClassInfo()));
    std::vector<std::string> Names;
    for (const TPropInfo* P : Info.Properties()) Names.push_back(P->Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"FeatureID", "Hidden", "ID", "Index", "Presenter", "RowID", "Selected",
                                                "Title", "Value", "ZoomMax", "ZoomMin"}));
    EXPECT_EQ(Info.FindProperty("featureid")->TypeName, "Smallint");
    EXPECT_EQ(Info.FindProperty("Hidden")->ValueNames, (std::vector<std::string>{"False", "True"}));
    EXPECT_EQ(Info.FindProperty("nothing"), nullptr);
}

TEST(ClassInfoTest, PropertiesReadAndWriteThroughTheSetters) {
    TTestView View;
    auto* L = View.AddLayer("L");
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 4, "");
    TOrvexPersistent* Created = TGeoDataObject::StaticClassInfo().Create(L);
    auto* O = dynamic_cast<TGeoDataObject*>(Created);
    ASSERT_NE(O, nullptr);
    EXPECT_EQ(L->GetObject(0), O) << "the class factory creates into the layer";
    const TClassInfo& Info = O->ClassInfo();

    Info.FindProperty("Selected")->Set(*O, int64_t(1));
    EXPECT_EQ(View.SelectedObject(), O) << "writing Selected goes through the setter";
    Info.FindProperty("Title")->Set(*O, std::string("Elbe"));
    EXPECT_EQ(std::get<std::string>(Info.FindProperty("Title")->Get(*O)), "Elbe");
    Info.FindProperty("Value")->Set(*O, 1.25L);
    EXPECT_EQ(O->Value(), 1.25);
    Info.FindProperty("Presenter")->Set(*O, static_cast<TPersistent*>(P));
    EXPECT_EQ(O->FeatureID(), 4);
    EXPECT_EQ(std::get<TPersistent*>(Info.FindProperty("Presenter")->Get(*O)), P);

    EXPECT_THROW(Info.FindProperty("Presenter")->Set(*O, static_cast<TPersistent*>(L)), EInvalidCast);
    EXPECT_THROW(Info.FindProperty("ID")->Set(*O, std::string("12")), EConvertError);
    EXPECT_EQ(Info.FindProperty("Index")->Get(*O), TPropValue(int64_t(0)));
    EXPECT_THROW(Info.FindProperty("Index")->Set(*O, int64_t(5)), EOrvexException);
}

}  // namespace
