// Frames drawn from the chains' coarser copies: a copy chosen too coarse for the map's stretch
// moves coasts visibly, one that loses a small island drops an object, a stale one draws a
// chain where it was before an edit, and an export drawn from copies is not the full picture.

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "RenderFixtures.h"
#include "platform/PointBuffer.h"
#include "platform/Text.h"
#include "projections/OXProject.h"
#include "projections/PrjRegistry.h"
#include "projections/SphericalPrj.h"
#include "view/ExportImage.h"

namespace {

class LevelOfDetailTest : public RenderTest {
protected:
    // A coast as surveys give it: a ring of Count points a few hundred metres apart, its
    // radius wandering about Radius degrees.
    std::vector<TPoint3D> Coast(double Lon, double Lat, double Radius, int Count) {
        std::normal_distribution<double> Wander(0, 0.02);
        std::vector<TPoint3D> Points;
        double R = 1;
        for (int I = 0; I < Count; ++I) {
            const double Angle = 2 * M_PI * I / Count;
            R = std::clamp(R + Wander(Random) - 0.01 * (R - 1), 0.5, 1.5);
            const double Y = Lat + Radius * R * std::sin(Angle);
            const double X = Lon + Radius * R * std::cos(Angle) / std::cos(Y * M_PI / 180);
            Points.push_back(LL(X, Y));
        }
        Points.push_back(Points.front());
        return Points;
    }

    // Large coasts, islands of a pixel or two, and long lines over the seam and near a pole.
    // Placed holds the pixels the projection gives the copy at Level that O draws from.
    void ExpectProjected(TOrvexObject* O, int Level, const TPlacedAhead::TPlaced& Placed) {
        const TPointChain* Held = O->HeldDetail(Level);
        ASSERT_TRUE(Held);
        ASSERT_EQ(Placed.Source, Held->Points());
        std::unique_ptr<TGeoDataObject> Copy(TGeoDataObject::Create(nullptr));
        Copy->SetPoints(Held->Points(), Held->Count());
        TPrjModel* Prj = View.ProjectionModel();
        Prj->SetPlacingCopies(true);
        const int32_t N = Prj->ProjectChain(Copy.get());
        Prj->SetPlacingCopies(false);
        ASSERT_EQ(Placed.Count, N);
        for (int32_t I = 0; I < N; ++I) ASSERT_EQ(Placed.Pixels[I], PointBuffer[I]) << I;
    }
    void BuildCoasts() {
        TOrvexLayer* L = View.AddLayer("coasts");
        TPolylinePresenter* Style = LineStyle(L, Red);
        std::uniform_real_distribution<double> Lon(-170, 170), Lat(-70, 70), Unit(0, 1);
        // Half of them filled: a copy's fill must cover what the chain's does, to a pixel.
        TPolygonPresenter* Land = AreaStyle(L, Red, Blue);
        for (int I = 0; I < 40; ++I)
            Chain(L, I % 2 ? static_cast<TOrvexPresenter*>(Style) : Land,
                  Coast(Lon(Random), Lat(Random), 2 + 6 * Unit(Random), 6000));
        // Islands in a colour of their own: a coast passing by does not show for them.
        TPolylinePresenter* IslandStyle = LineStyle(L, Green);
        for (int I = 0; I < 200; ++I)
            Islands.push_back(Chain(L, IslandStyle, Coast(Lon(Random), Lat(Random), 0.05 + 0.3 * Unit(Random), 60)));
        for (const double Start : {170.0, -10.0}) {
            std::vector<TPoint3D> Line;
            double X = Start, Y = Start > 0 ? 20 : 82;
            for (int I = 0; I < 8000; ++I) {
                X += 0.004 + 0.01 * (Unit(Random) - 0.5);
                Y = std::clamp(Y + 0.01 * (Unit(Random) - 0.5), -85.0, 85.0);
                Line.push_back(LL(X > 180 ? X - 360 : X, Y));
            }
            Chain(L, Style, Line);
        }
    }

    QImage Drawn(bool Detail) {
        View.SetLevelOfDetail(Detail);
        return Picture().copy();
    }

    // Islands that the full picture shows and Detail leaves out: no pixel of the islands'
    // colour within a pixel of the box of the island's pixels.
    int LostIslands(const QImage& Full, const QImage& Detail) {
        int Lost = 0;
        for (TGeoDataObject* O : Islands) {
            int X0 = INT32_MAX, Y0 = INT32_MAX, X1 = INT32_MIN, Y1 = INT32_MIN;
            bool Placed = true;
            for (int32_t I = 0; I < O->Count() && Placed; ++I) {
                Placed = View.ProjectionModel()->PointToXY(O->Points()[I], 0);
                X0 = std::min(X0, PointBuffer[0].X);
                X1 = std::max(X1, PointBuffer[0].X);
                Y0 = std::min(Y0, PointBuffer[0].Y);
                Y1 = std::max(Y1, PointBuffer[0].Y);
            }
            if (!Placed) continue;
            auto Shows = [&](const QImage& I) {
                for (int Y = std::max(0, Y0 - 1); Y <= std::min(I.height() - 1, Y1 + 1); ++Y)
                    for (int X = std::max(0, X0 - 1); X <= std::min(I.width() - 1, X1 + 1); ++X)
                        if (PixelOf(I, X, Y) == Green) return true;
                return false;
            };
            Lost += Shows(Full) && !Shows(Detail);
        }
        return Lost;
    }

    std::mt19937 Random{17};
    std::vector<TGeoDataObject*> Islands;
};

TEST_F(LevelOfDetailTest, FramesDifferFromTheFullPictureInAtMostHalfAPercentOfPixels) {
    BuildCoasts();
    const struct {
        const char* Name;
        double Lon, Lat, Zoom;
        int32_t Meridian;
    } Views[] = {
        {"whole map", 0, 0, 0, 0},
        {"three times closer", 15, 45, 3, 0},
        {"three times closer by the seam", 172, -35, 3, 0},
        {"eight times closer near the pole", 20, 78, 8, 0},
        {"turned a hundred degrees", 0, 0, 0, 100},
    };
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        for (const auto& V : Views) {
            SCOPED_TRACE(P.Name + ", " + V.Name);
            View.SetSurfaceSize(960, 540);
            View.SetProjectionModel(P.Create(&View));
            View.ProjectionModel()->SetParameter(3, V.Meridian * Deg);
            View.ZoomToScale(0);
            if (V.Zoom > 0) {
                View.ZoomToScale(View.GetScaleFactor() * V.Zoom);
                View.CenterOn(LL(V.Lon, V.Lat).X, LL(V.Lon, V.Lat).Y);
            }
            const QImage Full = Drawn(false), Detail = Drawn(true);
            EXPECT_LE(DifferentPixels(Full, Detail), Full.width() * Full.height() / 200);
            // Coasts: the copies pass within a pixel of the chain's points, and drawing rounds
            // each end.
            EXPECT_EQ(Unmatched(Detail, Full, 2, Red), 0) << "a line drawn where the full picture has none near";
            // Where columns follow the longitude and rows the latitude a copy keeps an island's
            // outermost pixels exactly; elsewhere its outermost points in sixteen directions
            // can round a pixel short, and a dash of two pixels then stays out.
            const bool Straight = std::string("cartesian mercator cylindrical behrmann peters spherical").find(P.Key) !=
                                  std::string::npos;
            EXPECT_LE(LostIslands(Full, Detail), Straight ? 0 : 1);
        }
    }
}

TEST_F(LevelOfDetailTest, TheGlobeKeepsItsVectorsOnlyWhereTheyServe) {
    // The sphere's vectors are thinned for a scale. Kept after a wheel notch out while frames
    // are drawn from copies; built again for a closer scale, and for any other scale when
    // every point is drawn, where the picture must be the same as ever.
    BuildCoasts();
    View.SetSurfaceSize(480, 480);
    View.SetProjection(opSpherical);
    View.ZoomToScale(0);
    const long double Whole = View.GetScaleFactor();
    const QImage First = Drawn(false);
    View.ZoomToScale(Whole * 1.8L);
    Drawn(false);
    View.ZoomToScale(Whole);
    EXPECT_EQ(Drawn(false), First) << "every point drawn: the vectors of the closer scale are not used";
    for (const long double Zoom : {1.8L, 1.0L, 1.8L, 3.6L}) {
        SCOPED_TRACE(static_cast<double>(Zoom));
        View.ZoomToScale(Whole * Zoom);
        const QImage Detail = Drawn(true), Full = Drawn(false);
        EXPECT_LE(DifferentPixels(Full, Detail), Full.width() * Full.height() / 200);
        EXPECT_EQ(Unmatched(Detail, Full, 2, Red), 0);
    }
}

// The window's idle work between two moves: it goes in slices that stop at their deadline and
// go on where they stopped, and the frame after a notch in or out draws what it would have drawn
// from copies it built itself. The globe's vectors prepared for the notch in are thinned a little
// finer than that scale's own, as a cache from further in is: a few pixels move, within the
// level of detail's allowance.
TEST_F(LevelOfDetailTest, IdleWorkPreparesCopiesThatDrawTheSamePicture) {
    BuildCoasts();
    View.SetSurfaceSize(960, 540);
    View.SetLevelOfDetail(true);
    const struct {
        const char* Name;
        TPrjModel* (*Make)(TOrvex3*);
        int Reach, Moved;
    } Maps[] = {{"bonne", [](TOrvex3* V) -> TPrjModel* { return new TBonnePrj(V); }, 0, 0},
                {"globe", [](TOrvex3* V) -> TPrjModel* { return new TSphericalPrj(V); }, 1, 960 * 540 / 1000}};
    for (const auto& M : Maps) {
        SCOPED_TRACE(M.Name);
        View.SetProjectionModel(M.Make(&View));
        View.ZoomToScale(0);
        ASSERT_GT(CountColour(Picture(), Red), 0);
        const auto Past = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        int Slices = 1;
        while (!View.PrepareDetail(Past)) ASSERT_LT(++Slices, 100000);
        EXPECT_GT(Slices, 1) << "a slice past its deadline stopped at once";
        // The globe's vectors for the notch in are the ones its frame then draws from.
        std::vector<std::pair<TOrvexObject*, const TPoint3DList*>> Vectors;
        for (TOrvexLayer* L : View.Layers())
            for (TOrvexObject* O : L->Objects())
                if (O->FinerCache3D()) Vectors.emplace_back(O, O->FinerCache3D());
        EXPECT_EQ(Vectors.empty(), M.Reach == 0);
        for (const int Notch : {120, -120, -120}) {
            View.WheelZoom(480, 270, Notch);
            const QImage Prepared = Picture().copy();
            if (Notch > 0 && !Vectors.empty()) {
                const auto Taken = std::count_if(Vectors.begin(), Vectors.end(),
                                                 [](const auto& V) { return V.first->Cache3D() == V.second; });
                EXPECT_GT(Taken, std::ssize(Vectors) / 2);
            }
            for (TOrvexLayer* L : View.Layers())
                for (TOrvexObject* O : L->Objects()) O->CalcExtents();
            const QImage Own = Picture().copy();
            EXPECT_LE(Unmatched(Prepared, Own, M.Reach), M.Moved) << Notch;
            EXPECT_LE(Unmatched(Own, Prepared, M.Reach), M.Moved) << Notch;
            EXPECT_TRUE(View.PrepareDetail(std::chrono::steady_clock::time_point::max()));
        }
    }
}

// The idle work's budget holds across a user's moves: a turn of the map or a notch in and out
// again must not let each pass build its budget anew, or memory grows with every move on
// layers too large for the copies to be all prepared.
TEST_F(LevelOfDetailTest, IdleWorkStaysWithinItsBudgetAcrossTurnsAndNotches) {
    BuildCoasts();
    // A map that keeps no pixels for pans, which would share the budget.
    View.SetSurfaceSize(960, 540);
    View.SetProjectionModel(new TBonnePrj(&View));
    constexpr int64_t Budget = 16 << 10;
    View.SetDetailBudget(Budget);
    View.SetLevelOfDetail(true);
    auto Held = [&] {
        int64_t Bytes = 0;
        for (TOrvexLayer* L : View.Layers())
            for (TOrvexObject* O : L->Objects()) Bytes += O->CacheBytes();
        return Bytes;
    };
    auto Frame = [&] {
        Picture();
        EXPECT_TRUE(View.PrepareDetail(std::chrono::steady_clock::time_point::max()));
        return Held();
    };
    // On this map a chain's octave follows its place, so a turn may move a few chains to
    // another octave and their frame builds those copies itself: far less than a budget.
    const int64_t First = Frame();
    int64_t Turned = First;
    for (int Step = 1; Step <= 4; ++Step) {
        View.SetYRotation(NormalizeLongitude(int64_t(View.YRotation()) + Deg / 4));
        Turned = Frame();
    }
    EXPECT_LT(Turned, First + Budget / 4) << "the turns let the passes spend their budget again";
    // The frames after a notch in build copies of their own; the passes after them no more.
    View.WheelZoom(480, 270, 120);
    Frame();
    View.WheelZoom(480, 270, -120);
    const int64_t Notched = Frame();
    for (const int Notch : {120, -120, 120, -120}) {
        View.WheelZoom(480, 270, Notch);
        Frame();
    }
    EXPECT_LT(Held(), Notched + Budget / 4) << "the notches let the passes spend their budget again";
    // The budget was what held the passes back.
    View.SetDetailBudget(TOrvex3::DefaultDetailBudget);
    View.SetYRotation(NormalizeLongitude(int64_t(View.YRotation()) + Deg / 4));
    EXPECT_GT(Frame(), Notched);
}

// A pan on a map with separable axes draws the chains from the pixels of the frame before,
// shifted: a wrong shift, a run kept for a chain that changed, or one replayed for another
// object draws other pixels than the same frame drawn afresh.
TEST_F(LevelOfDetailTest, PansDrawThePixelsOfTheFrameBeforeShifted) {
    BuildCoasts();
    for (const TOrvexProjection Kind : {opCartesian, opMercator}) {
        SCOPED_TRACE(int(Kind));
        FlatMap(480, 270, Kind);
        View.ZoomToScale(View.GetScaleFactor() * 3);
        Drawn(true);
        TOrvexLayer* L = View.Layers().front();
        for (const auto& [Columns, Rows] : {std::pair{1, 0}, {0, 1}, {-1, -1}, {3, 0}, {-2, 2}}) {
            SCOPED_TRACE(std::to_string(Columns) + "," + std::to_string(Rows));
            if (Columns == 3) {
                // An edit between two frames: a chain on show is drawn from its new points.
                const auto Shown = std::find_if(Islands.begin(), Islands.end(), [](TGeoDataObject* O) {
                    return O->HasState(osInView) && !O->HasState(osSubPixel);
                });
                ASSERT_NE(Shown, Islands.end());
                (*Shown)->MoveBy(Deg / 2, Deg / 4);
            }
            View.KeyPan(Columns, Rows);
            ASSERT_GT(L->ShiftRunBytes(), 0) << "the frame before kept its pixels";
            const QImage Shifted = Picture().copy();
            // The same frame without runs: a settling pass forgets them.
            View.ScaleChanged = true;
            EXPECT_EQ(Shifted, Drawn(true));
        }
    }
}

// Large layers' copies placed on a second core ahead of the walk: the frames must be the ones
// the walk draws alone. A copy placed from another octave, an object taken by both, or a layer's
// pixels placed while the next layer's pass runs and handed to another walk, would move or lose a
// coast; placed pixels drawn with the pen of the chain before, or without the selection's, would
// colour one wrongly, and placed pixels kept for the next pan from the wrong origin would move
// it then.
TEST_F(LevelOfDetailTest, CopiesPlacedOnASecondCoreDrawTheFramesTheWalkDraws) {
    if (!TPlacedAhead::Worthwhile()) GTEST_SKIP() << "one core";
    std::uniform_real_distribution<double> Lon(-175, 175), Lat(-75, 75), Unit(0, 1);
    for (const char* Name : {"islands", "more islands"}) {
        TOrvexLayer* L = View.AddLayer(Name);
        TPolylinePresenter* Style = LineStyle(L, Name[0] == 'i' ? Red : Blue);
        TPolylinePresenter* Wide = LineStyle(L, Green);
        Wide->PolylinePen()->SetPenWidth(3);
        TPolylinePresenter* Dotted = LineStyle(L, Black);
        Dotted->PolylinePen()->SetPenStyle(psDot);
        for (int I = 0; I < 1100; ++I) {
            TGeoDataObject* O = Chain(L, I % 5 == 3 ? Wide : I % 7 == 4 ? Dotted : Style,
                                      Coast(Lon(Random), Lat(Random), 1 + 2 * Unit(Random), 150));
            if (I == 600) O->SetSelected(true);
        }
    }
    TPlacedAhead& Thread = View.PlacingThread();
    // A map with one level of detail for the whole frame, and maps whose stretch varies over
    // them, where each chain is placed at its own.
    const struct {
        const char* Name;
        TPrjModel* (*Make)(TOrvex3*);
    } Maps[] = {{"plate carree", nullptr},
                {"Bonne", [](TOrvex3* V) -> TPrjModel* { return new TBonnePrj(V); }},
                {"equidistant", [](TOrvex3* V) -> TPrjModel* { return new TEquidistantPrj(V); }}};
    FlatMap(960, 540);
    for (const auto& Map : Maps) {
        SCOPED_TRACE(Map.Name);
        if (Map.Make) {
            View.SetProjectionModel(Map.Make(&View));
            View.ZoomToScale(0);
        }
        // The frame that builds the copies, then frames drawn from them after a turn, a notch in
        // and back out, and over the seam.
        Drawn(true);
        const uint64_t Before = Thread.Handed() + Thread.HandedOwn();
        const struct {
            const char* Name;
            int32_t Meridian;
            int Notch;
        } Moves[] = {{"turned", 30, 0}, {"turned back", -30, 0}, {"a notch in", 0, 120}, {"a notch out", 0, -120},
                     {"turned past the seam", 170, 0}};
        for (const auto& M : Moves) {
            SCOPED_TRACE(M.Name);
            if (M.Meridian) View.SetYRotation(NormalizeLongitude(int64_t(View.YRotation()) + M.Meridian * Deg));
            if (M.Notch) View.WheelZoom(480, 270, M.Notch);
            View.SetPlacingAhead(true);
            const QImage Ahead = Drawn(true);
            // A pan next draws the pixels that frame kept, shifted.
            View.KeyPan(1, 0);
            const QImage Panned = Drawn(true);
            View.SetPlacingAhead(false);
            // Placed afresh, not shifted from the pixels the frame kept.
            View.ScaleChanged = true;
            EXPECT_EQ(Panned, Drawn(true));
            View.KeyPan(-1, 0);
            View.ScaleChanged = true;
            EXPECT_EQ(Ahead, Drawn(true));
        }
        // The walk places its first blocks the thread's way itself, whatever the thread does.
        EXPECT_GT(Thread.Handed() + Thread.HandedOwn(), Before) << "nothing placed ahead: the test tells nothing";
    }
    // How many the thread places depends on how fast it goes against the walk, and on a busy
    // machine on when it runs at all: over all the frames, some.
    EXPECT_GT(View.ChainsPlacedAhead(), 0u) << "the second core placed nothing: the test tells nothing";
    // The thread stalled in the middle of the list, as when the system takes its core away: the
    // walk draws the entries the thread holds beside it, without changing their objects, and
    // the frame is the same. On a busy machine the walk may reach the entry first, or wait on one
    // it cannot draw beside, which lets the thread go: a few frames are tried, and whether one
    // drew beside is left to the placing thread's own test, which stalls it for certain.
    for (int Try = 0; Try < 5 && Thread.HandedBeside() == 0; ++Try) {
        SCOPED_TRACE(Try);
        View.SetYRotation(NormalizeLongitude(int64_t(View.YRotation()) + 5 * Deg));
        View.SetPlacingAhead(true);
        Thread.StallAt(700);
        const QImage Ahead = Drawn(true);
        View.SetPlacingAhead(false);
        View.ScaleChanged = true;
        EXPECT_EQ(Ahead, Drawn(true));
    }
}

// The placing thread against a walk that goes slower than it: each entry it hands back holds the
// pixels the projection gives the copy the walk would draw (at the frame's level, or on a map
// whose stretch varies over it at the chain's own), and only entries it may: not one out of
// view, none past the list (a shorter list after a longer one), none after Stop. The first
// blocks are the walk's own, which it places the same way.
TEST_F(LevelOfDetailTest, ThePlacingThreadHandsBackThePixelsTheProjectionGivesTheCopies) {
    TOrvexLayer* L = View.AddLayer("islands");
    TPolylinePresenter* Style = LineStyle(L, Red);
    std::uniform_real_distribution<double> Lon(-175, 175), Lat(-75, 75), Unit(0, 1);
    std::vector<TOrvexObject*> Objects;
    for (int I = 0; I < 2000; ++I)
        Objects.push_back(Chain(L, Style, Coast(Lon(Random), Lat(Random), 1 + 2 * Unit(Random), 150)));
    for (const bool EachOwn : {false, true}) {
        SCOPED_TRACE(EachOwn ? "Bonne, each chain's own level" : "plate carree, the frame's level");
        FlatMap(960, 540);
        if (EachOwn) {
            View.SetProjectionModel(new TBonnePrj(&View));
            View.ZoomToScale(0);
        }
        Drawn(true);
        TPrjModel* Prj = View.ProjectionModel();
        const int FrameLevel = EachOwn ? -1 : View.DetailLevelOf(Objects[0]);
        if (!EachOwn) {
            ASSERT_GE(FrameLevel, 1);
        }
        TFlatForward Flat;
        ASSERT_TRUE(Prj->BlockFormula(Flat));
        Objects[40]->ExcludeState(osInView);
        TPlacedAhead Ahead;
        uint64_t Checked = 0;
        std::set<int> Levels;
        for (const size_t Count : {Objects.size(), Objects.size() / 3}) {
            Ahead.Start(&View, Objects.data(), Count, Flat, FrameLevel, Prj);
            // The thread's head start: a walk that reached the end first would check nothing.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            for (size_t K = 0; K <= Count; ++K) {
                const TPlacedAhead::TPlaced* P = Ahead.Take(K);
                if (K == 40 || K == Count) {
                    EXPECT_EQ(P, nullptr) << K;
                }
                if (!P) continue;
                ASSERT_EQ(P->Level, View.DetailLevelOf(Objects[K])) << K;
                ExpectProjected(Objects[K], P->Level, *P);
                Levels.insert(P->Level);
                ++Checked;
            }
            Ahead.Stop();
            EXPECT_EQ(Ahead.Take(Count - 1), nullptr) << "handed back after Stop";
        }
        if (TPlacedAhead::Worthwhile()) {
            EXPECT_GT(Checked, 0u);
        }
        EXPECT_GT(Ahead.HandedOwn(), 0u) << "the walk's own blocks were left to its slower way";
        if (EachOwn) {
            EXPECT_GE(Levels.size(), 2u) << "one level over the whole map: the test tells nothing";
        }
        Objects[40]->IncludeState(osInView);
    }
}

// The thread stalled inside a block, as when the system takes its core away: the walk places the
// block's entries still to be placed itself, the same pixels, rather than wait.
TEST_F(LevelOfDetailTest, AWalkThatFindsThePlacingThreadStalledPlacesTheRestOfItsBlock) {
    if (!TPlacedAhead::Worthwhile()) GTEST_SKIP() << "one core";
    TOrvexLayer* L = View.AddLayer("islands");
    TPolylinePresenter* Style = LineStyle(L, Red);
    std::uniform_real_distribution<double> Lon(-150, 150), Lat(-60, 60);
    std::vector<TOrvexObject*> Objects;
    for (int I = 0; I < 200; ++I) Objects.push_back(Chain(L, Style, Coast(Lon(Random), Lat(Random), 2, 600)));
    FlatMap(960, 540);
    Drawn(true);
    View.PrepareDetail(std::chrono::steady_clock::time_point::max());
    const int Level = View.DetailLevelOf(Objects[0]);
    ASSERT_GE(Level, 1);
    // A block whose chains all hold copies: a walk would wait for the thread on one without,
    // which here would be for ever.
    constexpr size_t Block = TPlacedAhead::Block;
    std::vector<TPoint3D> Scratch;
    for (TOrvexObject* O : Objects) O->DetailAt(Level, Scratch);
    size_t First = 2 * Block;
    while (First + Block <= Objects.size() &&
           !std::all_of(&Objects[First], &Objects[First] + Block, [&](TOrvexObject* O) { return O->HeldDetail(Level); }))
        First += Block;
    ASSERT_LE(First + Block, Objects.size()) << "no block of chains that all hold copies";
    const size_t Stall = First + 5;
    TFlatForward Flat;
    ASSERT_TRUE(View.ProjectionModel()->BlockFormula(Flat));
    TPlacedAhead Ahead;
    Ahead.StallAt(Stall);
    Ahead.Start(&View, Objects.data(), Objects.size(), Flat, Level);
    for (int Wait = 0; Wait < 10000 && !Ahead.Stalled(); ++Wait) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(Ahead.Stalled());
    for (size_t K = First; K < First + Block; ++K) {
        SCOPED_TRACE(K);
        const TPlacedAhead::TPlaced* P = Ahead.Take(K);
        ASSERT_TRUE(P);
        EXPECT_EQ(P->Beside, K >= Stall);
        ExpectProjected(Objects[K], Level, *P);
    }
    EXPECT_EQ(Ahead.HandedBeside(), First + Block - Stall);
    Ahead.Stop();
    EXPECT_FALSE(Ahead.Stalled()) << "Stop let the thread go";
}

TEST_F(LevelOfDetailTest, AnEditedChainIsDrawnFromItsNewPoints) {
    FlatMap(720, 360);
    TOrvexLayer* L = View.AddLayer("coast");
    TGeoDataObject* O = Chain(L, LineStyle(L, Red), Coast(-60, 0, 20, 20000));
    ASSERT_GT(CountColour(Drawn(true), Red), 0);
    // Moved a hundred degrees east in place: same count, same array.
    for (int32_t I = 0; I < O->Count(); ++I) {
        const TPoint3D P = O->GetPoint(I);
        O->PutPoint(I, TPoint3D{P.X + 100 * Deg, P.Y, P.Z});
    }
    const QImage Moved = Drawn(true);
    // The old place (-60 +- 30 degrees, a pixel a half degree) is empty.
    for (int Y = 0; Y < 360; ++Y)
        for (int X = 2 * 90; X < 2 * 150; ++X) ASSERT_NE(PixelOf(Moved, X, Y), Red) << X << "," << Y;
    EXPECT_EQ(Unmatched(Moved, Drawn(false), 2, Red), 0);
}

TEST_F(LevelOfDetailTest, ExportedPicturesAreDrawnFromEveryPoint) {
    BuildCoasts();
    FlatMap(480, 270, opMercator);
    QTemporaryDir Dir;
    auto Export = [&](bool Detail, const QString& Name, int32_t Width = 480, int32_t Height = 270) {
        View.SetLevelOfDetail(Detail);
        const QString Path = Dir.path() + "/" + Name;
        EXPECT_TRUE(ExportPicture(View, PathFromQString(Path), Width, Height));
        QFile F(Path);
        EXPECT_TRUE(F.open(QIODevice::ReadOnly));
        return F.readAll();
    };
    const QByteArray Full = Export(false, "full.png");
    EXPECT_EQ(Export(true, "same size.png"), Full);
    EXPECT_EQ(View.LevelOfDetail(), true) << "the window goes on drawing as it did";
    // Larger than the window: drawn on a surface of its own.
    EXPECT_EQ(Export(true, "larger.png", 960, 540), Export(false, "larger, full.png", 960, 540));
}

}  // namespace
