// Extents of chains around the date line and the poles, as the hit test and a real flat
// projection see them, and the layer's extent following its objects' edits.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "ModelFixtures.h"

namespace {

TPoint3D LL(int32_t LonDeg, int32_t LatDeg) { return MakePoint(int64_t(LonDeg) * Deg, LatDeg * Deg); }

// A cartesian world map: 360 x 180 pixels, a degree a pixel.
struct TFlatWorld {
    TFlatWorld() {
        View.SetSurfaceSize(360, 180);
        View.SetProjection(opCartesian);
        View.ProjectionModel()->SetParameter(3, 0);
        View.ZoomToScale(0);
    }
    // A window ten degrees wide around (Lon, Lat).
    void ZoomOnto(int32_t Lon, int32_t Lat) {
        View.ZoomToScale(36.0L / Deg);
        View.CenterOn(Lon * Deg, Lat * Deg);
    }
    TOrvex3 View;
    TOrvexLayer* L = View.AddLayer("L");
};

class FlatViewTest : public ::testing::Test, public TFlatWorld {};

// Whether the projection's extent test shows a chain of Points in a fresh view zoomed onto
// (Lon, Lat).
bool VisibleAround(const std::vector<TPoint3D>& Points, int32_t Lon, int32_t Lat) {
    TFlatWorld World;
    World.ZoomOnto(Lon, Lat);
    auto* O = TGeoDataObject::Create(World.L);
    O->SetPoints(Points.data(), int32_t(Points.size()));
    O->CalcExtents();
    return O->IsVisibleIn(World.View);
}

TEST_F(FlatViewTest, ChainsAcrossTheDateLineAndRoundThePoles) {
    constexpr int32_t Full = OrvexUnits::Deg360;
    struct THit {
        int32_t Lon, Lat, Expected;
    };
    struct TRow {
        const char* Name;
        std::vector<TPoint3D> Points;
        int32_t Left, Width;  // OrvexUnits
        uint16_t Flags;       // of osCrossesDateLine and osOddCrossings
        std::vector<THit> Hits;
    };
    const std::vector<TRow> Rows{
        {"box across the date line",
         {LL(170, 10), LL(-170, 10), LL(-170, 20), LL(170, 20)},
         170 * Deg - 1,
         20 * Deg + 2,
         osCrossesDateLine,
         {{175, 15, 2}, {-175, 15, 1}, {0, 15, 0}, {165, 15, 0}, {-165, 15, 0}}},
        {"the same box begun west of the line",
         {LL(-170, 10), LL(170, 10), LL(170, 20), LL(-170, 20)},
         170 * Deg - 1,
         20 * Deg + 2,
         osCrossesDateLine,
         {{179, 15, 2}, {-179, 15, 1}}},
        {"ring at 80 N round the pole",
         {LL(-90, 80), LL(0, 80), LL(90, 80), LL(179, 80), LL(-179, 80)},
         -OrvexUnits::Deg180,
         Full,
         osCrossesDateLine | osOddCrossings,
         {{-45, 80, 3}, {135, 80, 3}, {-180, 80, 3}, {0, 70, 0}}},
        {"band over 0 and 180 degrees",
         {LL(-10, 10), LL(90, 10), LL(170, 10), LL(-170, 10), LL(-170, 20), LL(170, 20), LL(90, 20), LL(-10, 20)},
         -OrvexUnits::Deg180,
         Full,
         osCrossesDateLine,
         {{-5, 15, 3}, {0, 15, 3}, {175, 15, 3}, {-175, 15, 3}}},
        {"chain over 0 degrees only",
         {LL(-10, 0), LL(10, 5)},
         -10 * Deg - 1,
         20 * Deg + 2,
         0,
         {{0, 2, 3}, {-11, 2, 0}, {179, 2, 0}}},
        {"a bound set once is not widened again by a point a unit past the first",
         {TPoint3D{10, 0, 0}, TPoint3D{9, 5, 0}, TPoint3D{11, 5, 0}},
         9,
         2,
         0,
         {}},
        {"from 90 E to a unit short of 90 W: no crossing",
         {TPoint3D{OrvexUnits::Deg90, 0, 0}, TPoint3D{-OrvexUnits::Deg90 + 1, 10, 0}},
         -OrvexUnits::Deg90,
         OrvexUnits::Deg180 + 1,
         0,
         {}},
        {"from 90 E to 90 W: over the date line",
         {TPoint3D{OrvexUnits::Deg90, 0, 0}, TPoint3D{-OrvexUnits::Deg90, 10, 0}},
         -OrvexUnits::Deg180,
         Full,
         osCrossesDateLine,
         {}},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        auto* O = TGeoDataObject::Create(L);
        O->SetPoints(Row.Points.data(), int32_t(Row.Points.size()));
        O->CalcExtents();
        EXPECT_EQ(O->Extents().Left, Row.Left);
        EXPECT_EQ(O->Extents().Width, Row.Width);
        EXPECT_EQ(O->State() & (osCrossesDateLine | osOddCrossings), Row.Flags);
        for (const THit& H : Row.Hits)
            EXPECT_EQ(O->ExtentHit(LL(H.Lon, H.Lat)), H.Expected) << H.Lon << ", " << H.Lat;
        // Zoomed onto any point that hits, the projection's extent test sees the object too.
        for (const THit& H : Row.Hits) {
            if (H.Expected == 0) continue;
            EXPECT_TRUE(VisibleAround(Row.Points, H.Lon == -180 ? -179 : H.Lon, H.Lat)) << H.Lon << ", " << H.Lat;
        }
        O->Delete();
    }
}

// An edit that brings an object into view is drawn at once: the layer does not cull it with
// the extent it had before the edit.
TEST_F(FlatViewTest, EditsResetTheLayerExtent) {
    const std::vector<TPoint3D> Near{LL(-1, -1), LL(1, 1)};
    using TEdit = std::function<TOrvexObject*(TGeoDataObject* Far)>;
    const std::vector<std::pair<const char*, TEdit>> Rows{
        {"MoveBy", [](TGeoDataObject* Far) { Far->MoveBy(-50 * Deg, 0); return Far; }},
        {"PutPoint",
         [&](TGeoDataObject* Far) {
             Far->PutPoint(0, Near[0]);
             Far->PutPoint(1, Near[1]);
             return Far;
         }},
        {"SetPoints", [&](TGeoDataObject* Far) { Far->SetPoints(Near.data(), 2); return Far; }},
        {"InsertPoint", [&](TGeoDataObject* Far) { Far->InsertPoint(0, Near[0]); return Far; }},
        {"SetLayer",
         [&](TGeoDataObject* Far) {
             auto* O = TGeoDataObject::Create(nullptr);
             O->SetPoints(Near.data(), 2);
             O->SetLayer(Far->Layer());
             return O;
         }},
        {"CopyFrom",
         [&](TGeoDataObject* Far) {
             auto* Source = TGeoDataObject::Create(View.AddLayer("source"));
             Source->SetPoints(Near.data(), 2);
             Source->CalcExtents();
             Far->CopyFrom(Source);
             Source->Layer()->Delete();
             return Far;
         }},
    };
    ZoomOnto(0, 0);
    for (const auto& [Name, Edit] : Rows) {
        SCOPED_TRACE(Name);
        L->Clear();
        auto* Far = TGeoDataObject::Create(L);
        for (const TPoint3D& P : {LL(49, -1), LL(51, 1)}) Far->AddPoint(P);
        View.Render();
        ASSERT_FALSE(L->Extents().IsEmpty());
        ASSERT_FALSE(Far->HasState(osInView));
        TOrvexObject* O = Edit(Far);
        View.Render();
        EXPECT_TRUE(O->HasState(osInView));
        EXPECT_LT(L->Extents().Left, 2 * Deg) << "the union is computed afresh";
    }
}

}  // namespace

// A chain's box is TChainBounds::Add over its points in order, however it is found: chains of
// every length whose coordinates crowd a few values (so that points one unit inside an extreme
// come before and after it), spread wide, or sit at the ends of the int32 range.
TEST(ChainBounds, LongChainsGetTheBoxOfAddingTheirPointsInOrder) {
    uint64_t State = 9;
    auto Next = [&State] {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return State >> 11;
    };
    for (int Trial = 0; Trial < 30000; ++Trial) {
        const int32_t N = 1 + int32_t(Next() % 70);
        std::vector<TPoint3D> Points(static_cast<size_t>(N));
        // Longitudes of one kind never step across the date line.
        const int KindX = Trial % 5, KindY = int(Next() % 5);
        auto Value = [&](int Kind) -> int32_t {
            switch (Kind) {
                case 0: return int32_t(Next() % 5) - 2;  // -2 .. 2
                case 1: return int32_t(Next() % 800001) * 1000 - 400000000;
                case 2: return INT32_MAX - int32_t(Next() % 3);
                case 3: return INT32_MIN + int32_t(Next() % 3);
                default: return int32_t(Next() % 7) * 100 - 300;
            }
        };
        for (TPoint3D& P : Points) P = {Value(KindX), Value(KindY), int32_t(Next())};
        TChainBounds Expected;
        for (const TPoint3D& P : Points) Expected.Add(P.X, P.Y);
        TChainBounds Got;
        ASSERT_TRUE(PlainChainBounds(Points.data(), N, Got)) << Trial;
        ASSERT_TRUE(Got.MinX == Expected.MinX && Got.MaxX == Expected.MaxX && Got.MinY == Expected.MinY &&
                    Got.MaxY == Expected.MaxY)
            << Trial << ": " << Got.MinX << " " << Got.MaxX << " " << Got.MinY << " " << Got.MaxY;
    }
}

// Every point of an extent's longitude range (from a unit west of it) and latitude range lies
// within the cap's reach of its centre, for extents a unit to half the world wide, across the
// date line and past the poles; extents no small cap serves bound nothing.
TEST(BoundingCap, HoldsEveryPointOfItsExtent) {
    std::mt19937 Random(3);
    auto Uniform = [&](int64_t Low, int64_t High) {
        return std::uniform_int_distribution<int64_t>(Low, High)(Random);
    };
    const int32_t Sizes[] = {0, 1, 90, Deg / 100, Deg, 30 * Deg, 180 * Deg};
    for (int Case = 0; Case < 3000; ++Case) {
        const TExtent E{static_cast<int32_t>(Uniform(-OrvexUnits::Deg180, OrvexUnits::Deg180)),
                        static_cast<int32_t>(Uniform(-120 * Deg, 120 * Deg)), Sizes[Uniform(0, 6)],
                        Sizes[Uniform(0, 6)]};
        const TBoundingCap Cap = ExtentCap(E);
        ASSERT_GE(Cap.Reach, 0);
        const long double Center = std::hypot(std::hypot(Cap.X, Cap.Y), Cap.Z);
        ASSERT_NEAR(Center, 1, 1e-6) << Case;
        for (int K = 0; K < 40; ++K) {
            // The corners first, then points inside.
            const int64_t Lon = K < 4 ? (K & 1 ? int64_t(E.Left) + E.Width : int64_t(E.Left) - 1)
                                      : Uniform(int64_t(E.Left) - 1, int64_t(E.Left) + E.Width);
            const int64_t Lat = K < 4 ? (K & 2 ? int64_t(E.Bottom) + E.Height : E.Bottom)
                                      : Uniform(E.Bottom, int64_t(E.Bottom) + E.Height);
            const long double L = Lon * RadiansPerOrvexUnit, B = Lat * RadiansPerOrvexUnit;
            const long double P[3] = {std::cos(B) * std::sin(L), std::sin(B), std::cos(B) * std::cos(L)};
            const long double D = std::hypot(std::hypot(P[0] - Cap.X, P[1] - Cap.Y), P[2] - Cap.Z);
            ASSERT_LE(D, Cap.Reach) << Case << ": " << E.Left << " " << E.Bottom << " " << E.Width << " " << E.Height;
        }
    }
    EXPECT_GE(ExtentCap(TExtent{0, 0, 200 * Deg, Deg}).Reach, 2) << "wider than half the world";
    EXPECT_GE(ExtentCap(TExtent{0, 0, -Deg, Deg}).Reach, 2) << "a negative width";
    EXPECT_LT(ExtentCap(TExtent{0, 0, Deg, Deg}).Reach, 0.03);
}

// An object's cap is that of its current extent after every way the extent changes: computed
// afresh, moved, copied from another object, set directly.
TEST_F(FlatViewTest, TheBoundingCapFollowsTheExtent) {
    auto Same = [](const TBoundingCap& A, const TBoundingCap& B) {
        return A.X == B.X && A.Y == B.Y && A.Z == B.Z && A.Reach == B.Reach;
    };
    auto* O = TGeoDataObject::Create(L);
    const std::vector<TPoint3D> Points{LL(10, 10), LL(12, 11), LL(11, 14)};
    O->SetPoints(Points.data(), 3);
    O->CalcExtents();
    const TBoundingCap First = O->BoundingCap();
    EXPECT_TRUE(Same(First, ExtentCap(O->Extents())));
    O->MoveBy(-170 * Deg, 30 * Deg);
    O->CalcExtents();
    EXPECT_FALSE(Same(O->BoundingCap(), First));
    EXPECT_TRUE(Same(O->BoundingCap(), ExtentCap(O->Extents())));

    auto* Copy = TGeoDataObject::Create(L);
    Copy->SetExtents(TExtent{0, 0, Deg, Deg});
    ASSERT_TRUE(Same(Copy->BoundingCap(), ExtentCap(TExtent{0, 0, Deg, Deg})));
    Copy->CopyFrom(O);
    EXPECT_TRUE(Same(Copy->BoundingCap(), ExtentCap(O->Extents()))) << "copied with the extent";
    Copy->SetExtents(TExtent{5 * Deg, 5 * Deg, Deg, Deg});
    EXPECT_TRUE(Same(Copy->BoundingCap(), ExtentCap(TExtent{5 * Deg, 5 * Deg, Deg, Deg})));
}
