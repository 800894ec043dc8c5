// Polyline and polygon presenters: hit tests, attribute selection, look-up and records.
#include "StylingFixtures.h"

namespace {

class ShapePresenterTest : public StylingTest {
protected:
    TPolylinePresenter* Line = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "");
    TPolygonPresenter* Area = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 0, "");

    TGeoDataObject* Make(TOrvexPresenter* P, std::initializer_list<std::pair<double, double>> Degrees) {
        auto* O = TGeoDataObject::Create(Layer);
        for (auto [Lon, Lat] : Degrees) O->AddPoint(MakePoint(DegToOrvexUnits(Lon), DegToOrvexUnits(Lat)));
        O->SetPresenter(P);
        O->CalcExtents();
        return O;
    }
    static TPoint3D At(double Lon, double Lat) { return MakePoint(DegToOrvexUnits(Lon), DegToOrvexUnits(Lat)); }
};

TEST_F(ShapePresenterTest, PolylineHitsWithinTheTolerance) {
    auto* O = Make(Line, {{0, 0}, {10, 10}});
    View.SetScale(1e-7L);  // T = 10,000,000 units, far above any slope difference
    EXPECT_TRUE(O->ContainsPoint(At(5, 5)));
    EXPECT_TRUE(O->ContainsPoint(At(9, 1))) << "anywhere in the widened box";
    EXPECT_TRUE(O->ContainsPoint(At(0, 9.9)));
    EXPECT_FALSE(Line->HitTest(*O, At(5, 10.5))) << "outside the extent";

    View.SetScale(1);  // T = 1: the slopes must agree exactly
    EXPECT_TRUE(Line->HitTest(*O, At(5, 5)));
    EXPECT_FALSE(Line->HitTest(*O, At(5, 9)));

    auto* Dot = Make(Line, {{3, 3}});
    View.SetScale(1e-7L);
    EXPECT_FALSE(Line->HitTest(*Dot, At(3, 3))) << "one point has no segment";

    // A long, steep segment at a coarse scale.
    auto* Long = Make(Line, {{-40, -80}, {40, 80}});
    View.SetScale(1e-9L);
    EXPECT_TRUE(Line->HitTest(*Long, At(0, 0)));
    EXPECT_TRUE(Line->HitTest(*Long, At(39, -79)));
}

TEST_F(ShapePresenterTest, PolygonCrossingTest) {
    View.SetScale(1e-6L);
    auto* Square = Make(Area, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    EXPECT_TRUE(Square->ContainsPoint(At(5, 5)));
    EXPECT_FALSE(Square->ContainsPoint(At(15, 5)));

    auto* U = Make(Area, {{0, 0}, {10, 0}, {10, 10}, {7, 10}, {7, 3}, {3, 3}, {3, 10}, {0, 10}});
    EXPECT_FALSE(Area->HitTest(*U, At(5, 7))) << "in the notch";
    EXPECT_TRUE(Area->HitTest(*U, At(1, 7)));
    EXPECT_TRUE(Area->HitTest(*U, At(5, 1)));

    // Several tens of degrees: products of differences pass 32 bits.
    auto* Diamond = Make(Area, {{0, -80}, {80, 0}, {0, 80}, {-80, 0}});
    EXPECT_TRUE(Area->HitTest(*Diamond, At(0, 0)));
    EXPECT_TRUE(Area->HitTest(*Diamond, At(30, -45)));
    EXPECT_FALSE(Area->HitTest(*Diamond, At(50, 50)));
    EXPECT_FALSE(Area->HitTest(*Diamond, At(-60, -30)));

    auto* Empty = TGeoDataObject::Create(Layer);
    Empty->SetExtents(TExtent{0, 0, 10, 10});
    Empty->IncludeState(osExtentsValid);
    EXPECT_FALSE(Area->HitTest(*Empty, MakePoint(5, 5)));
}

TEST_F(ShapePresenterTest, PolygonAcrossTheDateLineUsesOneSideOnly) {
    View.SetScale(1e-6L);
    // East of 178E the area narrows to a corridor that crosses the date line.
    auto* O = Make(Area, {{170, 0}, {178, 0}, {178, 4}, {-170, 4}, {-170, 6}, {178, 6}, {178, 10}, {170, 10}});
    ASSERT_EQ(O->ExtentHit(At(175, 2)), 2);
    EXPECT_TRUE(Area->HitTest(*O, At(175, 2)));
    EXPECT_TRUE(Area->HitTest(*O, At(171, 9)));
    EXPECT_FALSE(Area->HitTest(*O, At(179, 2)));
    // Counted with every point, the western vertices would turn this into a miss.
    EXPECT_TRUE(Area->HitTest(*O, At(175, 5)));
    ASSERT_EQ(O->ExtentHit(At(-175, 2)), 1);
    EXPECT_FALSE(Area->HitTest(*O, At(-175, 2)));
}

TEST_F(ShapePresenterTest, ShapesAcrossTheDateLineAreHitOnBothSides) {
    View.SetScale(1e-6L);  // a pixel is about a fifth of a degree
    struct TCase {
        const char* Name;
        bool Area;
        std::vector<std::pair<double, double>> Shape;
        std::vector<std::pair<double, double>> Hits, Misses;
    };
    const TCase Cases[] = {
        {"rectangle", true, {{170, 10}, {-170, 10}, {-170, 20}, {170, 20}},
         {{175, 15}, {-175, 15}, {179.5, 15}, {-179.5, 15}, {171, 19}, {-171, 11}, {180, 15}},
         {{175, 25}, {-175, 5}, {165, 15}, {-165, 15}, {0, 15}}},
        {"rectangle drawn the other way", true, {{170, 20}, {-170, 20}, {-170, 10}, {170, 10}},
         {{175, 15}, {-175, 15}, {179.5, 15}},
         {{175, 25}, {-160, 15}}},
        {"corridor across the date line", true,
         {{170, 0}, {178, 0}, {178, 4}, {-170, 4}, {-170, 6}, {178, 6}, {178, 10}, {170, 10}},
         {{175, 2}, {171, 9}, {175, 5}, {179, 5}, {-175, 5}, {-171, 5.5}},
         {{179, 2}, {-175, 2}, {-175, 8}, {-169, 5}}},
        {"triangle about the date line", true, {{100, 0}, {-100, 0}, {180, 40}},
         {{170, 10}, {-170, 10}, {179, 35}, {120, 2}, {-120, 2}},
         {{120, 30}, {-120, 30}, {0, 10}}},
        {"ring about the north pole", true,
         {{0, 70}, {30, 60}, {60, 70}, {90, 60}, {120, 70}, {150, 60}, {180, 70}, {-150, 60}, {-120, 70},
          {-90, 60}, {-60, 70}, {-30, 60}},
         {{30, 68}, {90, 65}, {-150, 69}, {-90, 61}},
         {{0, 68}, {15, 62}, {-165, 62}, {105, 61}}},
        {"segment", false, {{170, 5}, {-170, 5}},
         {{179, 5}, {-179, 5}, {170.5, 5}, {-170.5, 5}},
         {{0, 5}, {175, 8}, {-175, 2}}},
        {"sloping segment", false, {{170, 0}, {-170, 10}},
         {{179, 4.5}, {-179, 5.5}, {180, 5}},
         {{179, 11}, {-179, -1}, {165, 0}}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto* O = TGeoDataObject::Create(Layer);
        for (auto [Lon, Lat] : C.Shape) O->AddPoint(At(Lon, Lat));
        O->SetPresenter(C.Area ? static_cast<TOrvexPresenter*>(Area) : Line);
        for (auto [Lon, Lat] : C.Hits) EXPECT_TRUE(O->ContainsPoint(At(Lon, Lat))) << Lon << ", " << Lat;
        for (auto [Lon, Lat] : C.Misses) EXPECT_FALSE(O->ContainsPoint(At(Lon, Lat))) << Lon << ", " << Lat;
    }
}

TEST_F(ShapePresenterTest, RenderSelectsTheAttributes) {
    auto* O = Make(Area, {{0, 0}, {1, 0}, {1, 1}});
    Area->Render(*O);
    EXPECT_EQ(DC()->CurrentPen(), Area->PolygonPen()->Handle());
    EXPECT_EQ(DC()->CurrentBrush(), Area->PolygonBrush()->Handle());
    O->SetSelected(true);
    Area->Render(*O);
    EXPECT_EQ(DC()->CurrentPen(), View.SelectedPen().Handle());
    EXPECT_EQ(DC()->CurrentBrush(), View.SelectedBrush().Handle());
    Line->PolylinePen()->SetPenColor(Red);
    Line->Render(*Make(Line, {{0, 0}, {1, 1}}));
    EXPECT_EQ(DC()->CurrentPen()->Pen.Color, Red);
}

TEST_F(ShapePresenterTest, FindMatching) {
    auto* Thick = TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "");
    Thick->PolylinePen()->SetPenWidth(3);
    auto* Hatched = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 0, "");
    Hatched->PolygonBrush()->SetBrushStyle(bsCross);
    std::unique_ptr<TOrvexPen> Pen3(TOrvexPen::CreateDetached(0, psSolid, 3));
    std::unique_ptr<TOrvexPen> Pen9(TOrvexPen::CreateDetached(0, psSolid, 9));
    std::unique_ptr<TOrvexBrush> Cross(TOrvexBrush::CreateDetached(0xFFFFFF, bsCross));

    EXPECT_EQ(TPolylinePresenter::FindMatching(Layer, nullptr, nullptr), Line);
    EXPECT_EQ(TPolylinePresenter::FindMatching(Layer, Pen3.get(), View.TitleFont()), Thick);
    EXPECT_EQ(TPolylinePresenter::FindMatching(Layer, Pen9.get(), nullptr), nullptr);
    EXPECT_EQ(TPolylinePresenter::FindMatching(Layer, nullptr, View.SymbolFont()), nullptr);
    EXPECT_EQ(TPolygonPresenter::FindMatching(Layer, nullptr, nullptr, Cross.get()), Hatched);
    EXPECT_EQ(TPolygonPresenter::FindMatching(Layer, View.DefaultPen(), nullptr, View.DefaultBrush()), Area);
    EXPECT_EQ(TPolygonPresenter::FindMatching(View.AddLayer("Empty"), nullptr, nullptr, nullptr), nullptr)
        << "the global presenters are not considered";
}

TEST_F(ShapePresenterTest, RecordsAndCopies) {
    Area->PolygonPen()->SetPenColor(Red);
    Area->PolygonBrush()->SetBrushStyle(bsVertical);
    TOrvexStream Base;
    Area->TOrvexPresenter::SaveToStream(Base);
    const std::vector<uint8_t> Bytes = Record(*Area);
    ASSERT_EQ(Bytes.size(), Base.Size() + 6 + 5);
    EXPECT_EQ(std::vector<uint8_t>(Bytes.begin() + Base.Size(), Bytes.end()),
              (std::vector<uint8_t>{0xFF, 0, 0, 0, psSolid, 1, 0xFF, 0xFF, 0xFF, 0, bsVertical}));
    TOrvexStream LineBase;
    Line->TOrvexPresenter::SaveToStream(LineBase);
    EXPECT_EQ(Record(*Line).size(), LineBase.Size() + 6);

    auto* Loaded = dynamic_cast<TPolygonPresenter*>(TPolygonPresenter::StaticClassInfo().Create(Layer));
    ASSERT_NE(Loaded, nullptr);
    TOrvexStream S(Bytes);
    Loaded->LoadFromStream(S);
    EXPECT_TRUE(S.AtEnd());
    EXPECT_TRUE(Loaded->PolygonPen()->IsEqual(Area->PolygonPen()));
    EXPECT_TRUE(Loaded->PolygonBrush()->IsEqual(Area->PolygonBrush()));

    auto* Copy = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 0, "");
    Copy->CopyFrom(Area);
    EXPECT_TRUE(Copy->PolygonBrush()->IsEqual(Area->PolygonBrush()));
    EXPECT_EQ(Copy->FeatureID(), Area->FeatureID());
}

}  // namespace
