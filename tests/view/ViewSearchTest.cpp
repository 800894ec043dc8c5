// The view's hit tests and searches over its layers.

#include <string>

#include "RenderFixtures.h"

namespace {

class ViewSearchTest : public RenderTest {
protected:
    ViewSearchTest() {
        FlatMap(360, 180);
        Lower = View.AddLayer("lower");
        Upper = View.AddLayer("upper");
        // Two squares over (0, 0); the lower layer also has one of its own further east.
        Bottom = Square(Lower, 0, "bottom", 7);
        East = Square(Lower, 40, "east", 8);
        Top = Square(Upper, 0, "top", 7);
    }
    TGeoDataObject* Square(TOrvexLayer* L, int32_t Lon, const std::string& Title, int32_t ID) {
        auto* O = Chain(L, AreaStyle(L, Red, Yellow), {LL(Lon - 10, -10), LL(Lon + 10, -10), LL(Lon + 10, 10), LL(Lon - 10, 10)});
        O->SetTitle(Title);
        O->SetID(ID);
        return O;
    }

    TOrvexLayer* Lower;
    TOrvexLayer* Upper;
    TGeoDataObject* Bottom;
    TGeoDataObject* East;
    TGeoDataObject* Top;
};

TEST_F(ViewSearchTest, HitsComeFromTheTopmostLayerThatMayBeAsked) {
    View.Render();  // the visibility pass marks what is in view
    // (0, 0) is pixel (180, 90); (40 E, 0) is pixel (220, 90).
    EXPECT_EQ(View.ObjectAtXY(180, 90), Top);
    EXPECT_EQ(View.ObjectAtXY(220, 90), East) << "the upper layer has nothing there";
    EXPECT_EQ(View.ObjectAtXY(300, 90), nullptr);
    EXPECT_EQ(View.ObjectAtLatLong(0, 0), Top);
    EXPECT_EQ(View.ObjectAtLatLong(40 * Deg, 0), East);
    EXPECT_EQ(View.ObjectAtLatLong(100 * Deg, 0), nullptr);

    // A disabled or hidden layer is not asked on screen; the geographic test asks every layer.
    for (bool Hide : {false, true}) {
        SCOPED_TRACE(Hide ? "hidden" : "disabled");
        Hide ? Upper->SetVisible(false) : Upper->SetEnabled(false);
        View.Render();
        EXPECT_EQ(View.ObjectAtXY(180, 90), Bottom);
        EXPECT_EQ(View.ObjectAtLatLong(0, 0), Top);
        Hide ? Upper->SetVisible(true) : Upper->SetEnabled(true);
    }
    View.Clear();
    EXPECT_EQ(View.ObjectAtXY(180, 90), nullptr);
    EXPECT_EQ(View.ObjectAtLatLong(0, 0), nullptr);
}

TEST_F(ViewSearchTest, SearchesRunForwardFromAfterThroughTheFollowingLayers) {
    // Each call continues behind the last match, into the following layers, and ends.
    std::vector<TOrvexObject*> Found;
    for (TOrvexObject* O = View.FindObjectByID(7); O; O = View.FindObjectByID(7, O)) Found.push_back(O);
    EXPECT_EQ(Found, (std::vector<TOrvexObject*>{Bottom, Top}));
    EXPECT_EQ(View.FindObjectByID(8, East), nullptr) << "no wrap to the first layer";
    EXPECT_EQ(View.FindObjectByID(7, East), Top) << "the rest of After's layer, then the next";

    EXPECT_EQ(View.FindObjectByTitle("top"), Top);
    EXPECT_EQ(View.FindObjectByTitle("Top"), nullptr) << "case-sensitive";
    EXPECT_EQ(View.FindObjectByTitle("bottom", Bottom), nullptr);
    EXPECT_EQ(View.FindObjectByTitle("east", Bottom), East);

    // After in no listed layer: the search starts at the beginning.
    auto* Stray = TGeoDataObject::Create(View.GlobalLayer(), nullptr, 7, "top");
    EXPECT_EQ(View.FindObjectByID(7, Stray), Bottom);
    EXPECT_EQ(View.FindObjectByTitle("top", Stray), Top);

    TOrvex3 Empty;
    EXPECT_EQ(Empty.FindObjectByTitle("top"), nullptr);
    EXPECT_EQ(Empty.FindObjectByID(7, Top), nullptr);
}

}  // namespace
