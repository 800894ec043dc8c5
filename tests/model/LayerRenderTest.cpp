// The layer's drawing loop: event handlers that delete what is being drawn, title placement
// at extreme offsets, and filling a layer without a render request per object.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

#include "ModelFixtures.h"
#include "styling/OrvexAttributes.h"

namespace {

// Two layers A and B of four objects each ("A0" .. "B3"), drawn by one test presenter per
// layer that logs the titles it draws.
struct TTwoLayers {
    TTwoLayers() {
        View.SetScale(0.001L);
        for (TOrvexLayer* L : {A, B}) {
            auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 1, "");
            P->TitleLog = &Drawn;
            P->SetTitleAlignment(taCenter);
            for (int I = 0; I < 4; ++I) {
                TGeoDataObject* O = Chain(L, {MakePoint(0, 0), MakePoint(1000, 1000)});
                O->SetPresenter(P);
                O->SetTitle(L->Name() + char('0' + I));
            }
        }
    }
    // The live object with Title.
    TOrvexObject* Find(const std::string& Title) {
        for (TOrvexLayer* L : View.Layers())
            if (TOrvexObject* O = L->FindObjectByTitle(Title, nullptr)) return O;
        return nullptr;
    }
    TTestView View;
    TOrvexLayer* A = View.AddLayer("A");
    TOrvexLayer* B = View.AddLayer("B");
    std::vector<std::string> Drawn;
};

using TAction = std::function<void(TTwoLayers&)>;

TEST(RenderHandlerTest, HandlersThatDeleteLeaveEveryOtherObjectDrawnOnce) {
    struct TRow {
        const char* Name;
        bool DuringTitles;         // the handler is OnRenderTitle, else OnRenderObject
        const char* Trigger;       // the object whose event runs the action, once
        TAction Action;
        std::vector<std::string> Objects;  // drawn by the presenters, in order
        std::vector<std::string> Titles;   // passed to OnRenderTitle, in order
    };
    const std::vector<std::string> All{"A0", "A1", "A2", "A3", "B0", "B1", "B2", "B3"};
    const std::vector<TRow> Rows{
        {"own object", false, "A1", [](TTwoLayers& T) { T.Find("A1")->Delete(); },
         {"A0", "A2", "A3", "B0", "B1", "B2", "B3"}, {"A0", "A2", "A3", "B0", "B1", "B2", "B3"}},
        {"next object", false, "A1", [](TTwoLayers& T) { delete T.Find("A2"); },
         {"A0", "A1", "A3", "B0", "B1", "B2", "B3"}, {"A0", "A1", "A3", "B0", "B1", "B2", "B3"}},
        {"drawn object", false, "A2", [](TTwoLayers& T) { T.Find("A0")->Delete(); },
         {"A0", "A1", "A2", "A3", "B0", "B1", "B2", "B3"}, {"A1", "A2", "A3", "B0", "B1", "B2", "B3"}},
        {"own layer", false, "A1", [](TTwoLayers& T) { T.A->Delete(); }, {"A0", "B0", "B1", "B2", "B3"},
         {"B0", "B1", "B2", "B3"}},
        {"own layer's objects", false, "A1", [](TTwoLayers& T) { T.A->Clear(); },
         {"A0", "B0", "B1", "B2", "B3"}, {"B0", "B1", "B2", "B3"}},
        {"later layer", false, "A3", [](TTwoLayers& T) { T.B->Delete(); }, {"A0", "A1", "A2", "A3"},
         {"A0", "A1", "A2", "A3"}},
        {"earlier layer", false, "B0", [](TTwoLayers& T) { T.A->Delete(); }, All, All},
        {"own presenter", false, "A1", [](TTwoLayers& T) { T.A->GetPresenter(0)->Delete(); },
         {"A0", "B0", "B1", "B2", "B3"}, {"B0", "B1", "B2", "B3"}},
        {"object of a title", true, "A1", [](TTwoLayers& T) { T.Find("A1")->Delete(); }, All,
         {"A0", "A1", "A2", "A3", "B0", "B1", "B2", "B3"}},
        {"presenter of a title", true, "A1", [](TTwoLayers& T) { T.A->GetPresenter(0)->Delete(); }, All,
         {"A0", "A1", "B0", "B1", "B2", "B3"}},
        {"layer of a title", true, "A1", [](TTwoLayers& T) { T.A->Delete(); }, All,
         {"A0", "A1", "B0", "B1", "B2", "B3"}},
        // A layer moved behind the loop's position waits for the next frame.
        {"moved layer", false, "A1", [](TTwoLayers& T) { T.B->SetIndex(0); }, {"A0", "A1", "A2", "A3"},
         {"A0", "A1", "A2", "A3"}},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TTwoLayers T;
        std::vector<std::string> Titles;
        bool Fired = false;
        TOrvexRenderEvent Handler = [&](TOrvex3*, TOrvexObject* O, bool&) {
            const std::string Title = O->Title();
            if (Row.DuringTitles) Titles.push_back(Title);
            if (!Fired && Title == Row.Trigger) {
                Fired = true;
                Row.Action(T);
            }
        };
        (Row.DuringTitles ? T.View.OnRenderTitle : T.View.OnRenderObject) = Handler;
        if (!Row.DuringTitles)
            T.View.OnRenderTitle = [&](TOrvex3*, TOrvexObject* O, bool&) { Titles.push_back(O->Title()); };
        T.View.Render();
        EXPECT_TRUE(Fired);
        EXPECT_EQ(T.Drawn, Row.Objects);
        EXPECT_EQ(Titles, Row.Titles);
        T.View.OnRenderObject = T.View.OnRenderTitle = nullptr;

        // The next frame draws what is left, each object once.
        T.Drawn.clear();
        T.View.Render();
        std::vector<std::string> Left;
        for (TOrvexLayer* L : T.View.Layers())
            for (TOrvexObject* O : L->Objects())
                if (O->Presenter()) Left.push_back(O->Title());
        EXPECT_EQ(T.Drawn, Left);
    }
}

// A title font in kilometres at the largest zoom puts a long offset billions of pixels away.
TEST(TitlePlacementTest, OffsetsBeyondTheIntegerRangeSaturate) {
    TTestView View;
    View.SetScale(4);
    TOrvexLayer* L = View.AddLayer("far");
    L->SetMaxFontHeight(20);
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 1, "");
    P->TitleFont()->SetFontUnit(Kilometer);
    P->TitleFont()->SetFontSize(1);
    P->TitleFont()->SetFontColor(0x0000FF);
    auto* O = Chain(L, {MakePoint(-5, -5), MakePoint(5, 5)});
    O->SetPresenter(P);
    O->SetTitle("MMMM");
    O->SetState(osInView | osFrontSide);
    auto RedPixels = [&](TTitleAlignment Alignment, int16_t Offset) {
        P->SetTitleAlignment(Alignment);
        P->SetTitleOffset(Offset);
        View.Canvas()->BeginRender();
        std::memset(View.Canvas()->Bits(), 0, size_t(View.Canvas()->Stride()) * View.Canvas()->Height());
        L->Render();
        const QImage& I = View.Canvas()->Image();
        int N = 0;
        for (int Y = 0; Y < I.height(); ++Y)
            for (int X = 0; X < I.width(); ++X) N += I.pixel(X, Y) == qRgb(255, 0, 0);
        return N;
    };
    for (TTitleAlignment A : {taLeft, taRight, taTopLeft, taTop, taTopRight, taBottomLeft, taBottom, taBottomRight}) {
        SCOPED_TRACE(A);
        EXPECT_GT(RedPixels(A, 0), 20) << "at the anchor";
        EXPECT_EQ(RedPixels(A, 32767), 0) << "far off the surface";
        EXPECT_EQ(RedPixels(A, -32768), 0) << "far off the other way";
    }
}

TEST(LayerUpdateTest, FillingALayerRequestsOneRender) {
    TTestView View;
    TOrvexLayer* L = View.AddLayer("fill");
    auto* P = TOrvexPresenter::CreateNamed<TTestPresenter>(L, 1, "");
    const std::vector<TPoint3D> Points{MakePoint(0, 0), MakePoint(10, 10), MakePoint(20, 0)};
    View.RedrawPending = false;
    {
        const TLayerUpdate Outer(*L);
        {
            const TLayerUpdate Inner(*L);
            for (int I = 0; I < 100; ++I) {
                auto* O = TGeoDataObject::Create(L, P, I, "");
                O->SetPoints(Points.data(), 3);
                O->MoveBy(1, 1);
            }
            delete L->GetObject(0);
        }
        EXPECT_FALSE(View.RedrawPending) << "nested: only the last EndUpdate requests a render";
    }
    EXPECT_TRUE(View.RedrawPending);
    EXPECT_EQ(L->ObjectCount(), 99);
    EXPECT_EQ(L->Extents(), TExtent{}) << "the layer's extent is computed afresh";

    // Loading a file is one update too, and an exception ends it.
    View.RedrawPending = false;
    try {
        const TLayerUpdate Update(*L);
        TGeoDataObject::Create(L, P, 0, "")->SetPoints(Points.data(), 3);
        throw EOrvexException("import failed");
    } catch (const EOrvexException&) {
    }
    EXPECT_TRUE(View.RedrawPending);
    EXPECT_FALSE(L->Updating());
    View.RedrawPending = false;
    L->GetObject(0)->MoveBy(1, 0);
    EXPECT_TRUE(View.RedrawPending);
}

}  // namespace
