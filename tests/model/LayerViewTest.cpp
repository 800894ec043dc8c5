// Layers, presenters and the view as far as objects use them, the object's move between
// layers, and the published-property description.
#include <gtest/gtest.h>

#include "ModelFixtures.h"
#include "model/BitmapObject.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

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

// An object may use a presenter of another layer (SetPresenter takes any): however that
// presenter goes, the object is left without one, never with a freed one.
TEST(PresenterLifetimeTest, NoObjectOutlivesItsPresenter) {
    const std::vector<std::pair<const char*, std::function<void(TOrvexLayer*, TOrvexPresenter*)>>> Ways{
        {"Delete", [](TOrvexLayer*, TOrvexPresenter* P) { P->Delete(); }},
        {"the layer's Clear", [](TOrvexLayer* L, TOrvexPresenter*) { L->Clear(); }},
        {"the layer's Reset", [](TOrvexLayer* L, TOrvexPresenter*) { L->Reset(); }},
        {"the layer's destruction", [](TOrvexLayer* L, TOrvexPresenter*) { L->Delete(); }},
        {"PurgePresenters", [](TOrvexLayer* L, TOrvexPresenter*) { L->PurgePresenters(); }},
        {"MoveToLayer(null)", [](TOrvexLayer*, TOrvexPresenter* P) { P->MoveToLayer(nullptr); }},
    };
    for (const auto& [Name, Destroy] : Ways) {
        SCOPED_TRACE(Name);
        TTestView View;
        View.SetScale(0.001L);
        TOrvexLayer* Source = View.AddLayer("source");
        TOrvexLayer* Other = View.AddLayer("other");
        auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(Source, 1, "");
        std::vector<TGeoDataObject*> Users;
        for (int I = 0; I < 3; ++I) {
            Users.push_back(Chain(Other, {MakePoint(0, 0), MakePoint(5000, 5000)}));
            Users.back()->SetPresenter(P);
        }
        View.RedrawPending = false;
        Destroy(Source, P);
        for (TGeoDataObject* O : Users) {
            EXPECT_EQ(O->Presenter(), nullptr);
            EXPECT_FALSE(O->HasState(osExtentsValid));
            EXPECT_TRUE(O->ContainsPoint(MakePoint(2000, 2000)));
        }
        EXPECT_TRUE(View.RedrawPending);
        View.Render();
    }
}

// "Copy To Layer" creates an object in the target layer and copies the source into it.
TEST_F(LayerTest, CopiesAndMovesTakeTheirPresenterAlong) {
    auto* Rivers = TOrvexPresenter::CreateNamed<TTestPresenter>(A, 5, "Rivers");
    auto* Lakes = TOrvexPresenter::CreateNamed<TTestPresenter>(B, 5, "Lakes");
    auto* Source = TGeoDataObject::Create(A, Rivers, 1, "Nile");
    auto* Copy = TGeoDataObject::Create(B);
    Copy->CopyFrom(Source);
    TOrvexPresenter* Here = Copy->Presenter();
    ASSERT_NE(Here, nullptr);
    EXPECT_EQ(Here->Layer(), B);
    EXPECT_EQ(Here->Name(), "Rivers");
    EXPECT_EQ(Here->FeatureID(), 6) << "number 5 is Lakes' in this layer: read back, the copy would get Lakes";
    EXPECT_EQ(Copy->FeatureID(), 6);
    EXPECT_NE(Here, Lakes);

    // The next copy and a moved object find the presenter made for the first.
    auto* Second = TGeoDataObject::Create(B);
    Second->CopyFrom(Source);
    TGeoDataObject::Create(A, Rivers, 2, "Congo")->SetLayer(B);
    EXPECT_EQ(Second->Presenter(), Here);
    EXPECT_EQ(B->GetObject(B->ObjectCount() - 1)->Presenter(), Here);
    EXPECT_EQ(B->PresenterCount(), 2);

    // A global presenter serves every layer as it is.
    auto* Global = View.GlobalLayer()->GetPresenter(1);
    Source->SetPresenter(Global);
    Copy->CopyFrom(Source);
    EXPECT_EQ(Copy->Presenter(), Global);

    // The source layer may go: the copies keep what they have.
    Source->SetPresenter(Rivers);
    Copy->CopyFrom(Source);
    A->Delete();
    EXPECT_EQ(Copy->Presenter(), Here);
    View.Render();
}

TEST_F(LayerTest, MovingAPresenterAwayLeavesNoObjectOnIt) {
    auto* Roads = TOrvexPresenter::CreateNamed<TPolylinePresenter>(A, 7, "Roads");
    auto* O = Chain(A, {MakePoint(0, 0), MakePoint(5000, 5000)});
    O->SetPresenter(Roads);
    View.GlobalLayer()->FindPresenter("", -2)->Delete();  // the stand-in for polylines
    Roads->MoveToLayer(B);
    EXPECT_EQ(Roads->Layer(), B);
    EXPECT_EQ(O->Presenter(), nullptr) << "no stand-in: nothing, rather than a presenter of another layer";
    B->Delete();
    View.Render();
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

// A reference kept by someone who does not own the item reads null once the item is gone,
// however it went: its own deletion, its layer's Clear, or its layer's deletion. The faults
// it catches: a token cleared only on one route, or one a surviving item shares.
TEST_F(LayerTest, ReferencesReadNullOnceTheirItemIsFreed) {
    enum TRoute { Delete, ClearLayer, DeleteLayer };
    const struct {
        const char* Name;
        TRoute Route;
    } Rows[] = {{"deleted", Delete}, {"its layer cleared", ClearLayer}, {"its layer deleted", DeleteLayer}};
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TOrvexLayer* L = View.AddLayer("Doomed");
        auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 5, "Rivers");
        auto* O = TGeoDataObject::Create(L, P, 1, "Nile");
        auto* Kept = TGeoDataObject::Create(A, nullptr, 2, "Kept");
        TPersistentRef<TOrvexObject> ObjRef(O), KeptRef(Kept);
        TPersistentRef<TOrvexPresenter> PresRef(P);
        TPersistentRef<TPersistent> FontRef(P->TitleFont());
        TPersistentRef<TOrvexLayer> LayerRef(L);
        ASSERT_EQ(ObjRef.Get(), O);
        switch (Row.Route) {
            case Delete:
                O->Delete();
                EXPECT_EQ(PresRef.Get(), P) << "its presenter stays";
                P->Delete();
                break;
            case ClearLayer: L->Clear(); break;
            case DeleteLayer: L->Delete(); break;
        }
        EXPECT_EQ(ObjRef.Get(), nullptr);
        EXPECT_TRUE(ObjRef.Expired());
        EXPECT_EQ(PresRef.Get(), nullptr);
        EXPECT_EQ(FontRef.Get(), nullptr) << "what the presenter owned went with it";
        EXPECT_EQ(LayerRef.Get() == nullptr, Row.Route == DeleteLayer);
        EXPECT_EQ(KeptRef.Get(), Kept);
        EXPECT_FALSE(TPersistentRef<TOrvexObject>().Expired()) << "an empty reference referred to nothing";
        if (Row.Route != DeleteLayer) L->Delete();
        Kept->Delete();
    }
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

TEST(ClassInfoTest, PublishedPropertiesInTheirOrder) {
    const std::vector<std::string> Object{"FeatureID", "Hidden",   "ID",    "Index",   "Presenter", "RowID",
                                          "Selected",  "Title",    "Value", "ZoomMax", "ZoomMin"};
    const std::vector<std::string> Presenter{"Name", "FeatureID", "TitleFont", "TitleAlignment", "TitleOffset"};
    auto Plus = [](std::vector<std::string> A, const std::vector<std::string>& B) {
        A.insert(A.end(), B.begin(), B.end());
        return A;
    };
    const std::vector<std::pair<const TClassInfo*, std::vector<std::string>>> Rows{
        {&TOrvexLayer::StaticClassInfo(),
         {"Animated", "Enabled", "Filename", "Index", "LoadOnDemand", "MaxFontHeight", "Name", "Visible", "ZoomMax",
          "ZoomMin", "ZoomUnits"}},
        {&TGeoDataObject::StaticClassInfo(), Object},
        {&TBitmapObject::StaticClassInfo(), Plus(Object, {"BMPFilename", "OrvexUnitsPerPixel", "TransparentColor"})},
        {&TPolylinePresenter::StaticClassInfo(), Plus(Presenter, {"PolylinePen"})},
        {&TPolygonPresenter::StaticClassInfo(), Plus(Presenter, {"PolygonPen", "PolygonBrush"})},
        {&TPointPresenter::StaticClassInfo(),
         Plus(Presenter, {"PointPen", "PointBrush", "PointFont", "SymbolIndex", "PointType", "PointUnit", "PointSize",
                          "MaxPointSize", "Image", "ImageName"})},
        {&TOrvexPen::StaticClassInfo(), {"PenColor", "PenStyle", "PenWidth"}},
        {&TOrvexBrush::StaticClassInfo(), {"BrushColor", "BrushStyle"}},
        {&TOrvexFont::StaticClassInfo(), {"FontUnit", "FontColor", "FontSize", "FontAngle", "FontStyle", "FontName"}},
        {&TPrjModel::StaticClassInfo(),
         {"ScaleFactor", "XOrigin", "YOrigin", "XAxisChanges", "YAxisChanges", "XRotation", "YRotation", "ZRotation",
          "CentralMeridian", "CentralParallel", "FirstParallel", "SecondParallel"}},
    };
    for (const auto& [Info, Expected] : Rows) {
        SCOPED_TRACE(Info->ClassName);
        std::vector<std::string> Names;
        for (const TPropInfo* P : Info->Properties()) Names.push_back(P->Name);
        EXPECT_EQ(Names, Expected);
    }
}

TEST(ClassInfoTest, LayerPropertiesGoThroughTheSetters) {
    TTestView View;
    auto* L = View.AddLayer("L");
    auto* M = View.AddLayer("M");
    const TClassInfo& Info = L->ClassInfo();
    Info.FindProperty("Index")->Set(*L, int64_t(1));
    EXPECT_EQ(View.Layers(), (std::vector<TOrvexLayer*>{M, L}));
    L->SetZoomMin(100);
    Info.FindProperty("ZoomUnits")->Set(*L, int64_t(Kilometer));
    EXPECT_EQ(L->ZoomMin(), 185) << "the setter keeps the range physically equal";
    EXPECT_EQ(Info.FindProperty("ZoomUnits")->ValueNames[Kilometer], "Kilometer");
    View.RedrawPending = false;
    Info.FindProperty("Visible")->Set(*L, int64_t(0));
    EXPECT_FALSE(L->Visible());
    EXPECT_TRUE(View.RedrawPending);
    EXPECT_EQ(Info.FindProperty("Name")->Get(*M), TPropValue(std::string("M")));
}

// A value the property's type cannot hold is refused before anything changes; a property
// of one class used on an object of another is refused too.
TEST(ClassInfoTest, SettersRefuseWhatTheirTypeCannotHold) {
    TTestView View;
    TOrvexLayer* L = View.AddLayer("L");
    auto* O = TGeoDataObject::Create(L);
    auto* P = TOrvexPresenter::CreateNamed<TPolylinePresenter>(L, 3, "");
    struct TRow {
        TPersistent* Object;
        const char* Property;
        TPropValue Bad;
    };
    const std::vector<TRow> Rows{
        {O, "FeatureID", int64_t(70000)},
        {O, "FeatureID", int64_t(-32769)},
        {O, "ID", int64_t(1) << 31},
        {O, "Selected", int64_t(2)},
        {O, "Value", 1e4000L},
        {P, "TitleAlignment", int64_t(10)},
        {P, "TitleAlignment", int64_t(-1)},
        {P, "TitleOffset", int64_t(40000)},
        {P->PolylinePen(), "PenWidth", int64_t(300)},
        {P->PolylinePen(), "PenStyle", int64_t(7)},
        {P->TitleFont(), "FontStyle", int64_t(16)},
        {P->TitleFont(), "FontUnit", int64_t(16)},
        {L, "ZoomUnits", int64_t(16)},
        {L, "Visible", int64_t(-1)},
        {L, "ZoomMin", int64_t(1) << 32},
        {View.ProjectionModel(), "XAxisChanges", int64_t(2)},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Property);
        const TPropInfo* Prop = Row.Object->ClassInfo().FindProperty(Row.Property);
        ASSERT_NE(Prop, nullptr);
        const TPropValue Before = Prop->Get(*Row.Object);
        EXPECT_THROW(Prop->Set(*Row.Object, Row.Bad), EOrvexException);
        EXPECT_EQ(Prop->Get(*Row.Object), Before);
    }
    EXPECT_EQ(Message([&] { O->ClassInfo().FindProperty("FeatureID")->Set(*O, int64_t(70000)); }),
              "70000 is not a valid value for FeatureID (Smallint)");

    const TPropInfo* Zoom = L->ClassInfo().FindProperty("ZoomUnits");
    EXPECT_THROW(Zoom->Set(*O, int64_t(Degree)), EInvalidCast);
    EXPECT_THROW(Zoom->Get(*P), EInvalidCast);
    EXPECT_THROW(O->ClassInfo().FindProperty("Title")->Set(*P, std::string("x")), EInvalidCast);
    EXPECT_EQ(P->Name(), "PolylinePresenter3");
}

}  // namespace
