// Lines as drawn: every pixel the graticule colours lies on a meridian or a parallel, on every
// projection, and every pixel a polyline colours lies on its course. A chord across the map
// (a straight piece between two far-apart pixels where the map tears, as around the point
// opposite the azimuthal map's centre) colours pixels where no such line runs.

#include <functional>

#include "RenderFixtures.h"
#include "projections/OXProject.h"
#include "projections/PrjRegistry.h"
#include "styling/PolylinePresenter.h"

namespace {

constexpr int32_t kWidth = 400, kHeight = 300;
// How far from its true course a drawn line may lie: a pixel of aliasing and one of the
// straight pieces that follow a curve.
constexpr int kSlack = 2;
constexpr int32_t kLat89 = 89 * Deg, kLat85 = 85 * Deg;

// The pixels within kSlack of true lines, found by placing points along each line until
// consecutive pixels touch, and no further where the map tears.
class TTrueLines {
public:
    explicit TTrueLines(TPrjModel& Prj) : FPrj(Prj), FNear(kWidth * kHeight, false) {}

    // The short way round, as the renderers take it.
    void Line(const TPoint3D& From, const TPoint3D& To) {
        // Short pieces first, so that the search below never spans a turn of the map.
        constexpr int kPieces = 720;
        const int64_t DLon = WrappedDifference(To.X, From.X), DLat = int64_t(To.Y) - From.Y;
        auto At = [&](int64_t K) {
            return TPoint3D{NormalizeLongitude(static_cast<int32_t>(From.X + DLon * K / kPieces)),
                            static_cast<int32_t>(From.Y + DLat * K / kPieces), 0};
        };
        for (int K = 0; K < kPieces; ++K) Trace(At(K), At(K + 1), 30);
    }
    bool Near(int X, int Y) const { return FNear[size_t(Y) * kWidth + size_t(X)]; }

private:
    bool Place(const TPoint3D& P, TPixelPoint& Pixel) {
        if (!FPrj.PointToXY(P, 0)) return false;
        Pixel = PointBuffer[0];
        for (int64_t Y = int64_t(Pixel.Y) - kSlack; Y <= int64_t(Pixel.Y) + kSlack; ++Y)
            for (int64_t X = int64_t(Pixel.X) - kSlack; X <= int64_t(Pixel.X) + kSlack; ++X)
                if (X >= 0 && Y >= 0 && X < kWidth && Y < kHeight) FNear[size_t(Y) * kWidth + size_t(X)] = true;
        return true;
    }
    // A and B lie on one side of the seam (longitudes less than 180 degrees apart).
    void Trace(const TPoint3D& A, const TPoint3D& B, int Depth) {
        TPixelPoint PA{}, PB{};
        const bool HasA = Place(A, PA), HasB = Place(B, PB);
        if (!HasA && !HasB) return;
        if (HasA && HasB && std::llabs(int64_t(PA.X) - PB.X) <= 1 && std::llabs(int64_t(PA.Y) - PB.Y) <= 1) return;
        const int64_t DLon = WrappedDifference(B.X, A.X);
        if (Depth == 0 || (std::llabs(DLon) < 2 && std::abs(int64_t(B.Y) - A.Y) < 2)) return;
        const TPoint3D M{NormalizeLongitude(static_cast<int32_t>(A.X + DLon / 2)),
                         static_cast<int32_t>((int64_t(A.Y) + B.Y) / 2), 0};
        Trace(A, M, Depth - 1);
        Trace(M, B, Depth - 1);
    }
    static int64_t WrappedDifference(int32_t To, int32_t From) {
        int64_t D = int64_t(To) - From;
        if (D > OrvexUnits::Deg180) D -= OrvexUnits::Deg360;
        if (D < -OrvexUnits::Deg180) D += OrvexUnits::Deg360;
        return D;
    }

    TPrjModel& FPrj;
    std::vector<bool> FNear;
};

struct TCase {
    const char* Name;
    std::function<TPrjModel*(TOrvex3*)> Make;
    long double CentralMeridian;  // degrees
    int32_t Step;                 // degrees between lines
};

// Every projection as the editor offers it, and the azimuthal map where its tear falls on
// or beside the graticule's lines.
std::vector<TCase> Cases() {
    std::vector<TCase> Cases;
    for (const TProjectionInfo& P : ProjectionRegistry()) Cases.push_back({P.Name.c_str(), P.Create, 0, 15});
    const auto Equidistant = [](TOrvex3* V) -> TPrjModel* { return TEquidistantPrj::Create(V); };
    Cases.push_back({"azimuthal, tear half a degree off a meridian", Equidistant, 0.5L, 15});
    Cases.push_back({"azimuthal, centre 145 east", Equidistant, 145, 15});
    Cases.push_back({"azimuthal, tear 7.3 degrees off a meridian, lines every 30", Equidistant, -7.3L, 30});
    Cases.push_back({"azimuthal, tear on the equator between meridians", Equidistant, 7.5L, 15});
    Cases.push_back({"Bonne at 40 north", [](TOrvex3* V) -> TPrjModel* {
                         TPrjModel* P = TBonnePrj::Create(V);
                         P->SetParameter(4, 40 * Deg);
                         return P;
                     },
                     100, 15});
    Cases.push_back({"Albers, southern cone", [](TOrvex3* V) -> TPrjModel* {
                         TPrjModel* P = TAlbersEqualAreaConicPrj::Create(V);
                         P->SetParameter(4, -45 * Deg);
                         P->SetParameter(5, -20 * Deg);
                         return P;
                     },
                     -30, 15});
    return Cases;
}

// A view of kWidth x kHeight under Prj, centred on CentralMeridian degrees, with no graticule.
void ShowMap(TOrvex3& View, TPrjModel* Prj, long double CentralMeridian) {
    View.SetSurfaceSize(kWidth, kHeight);
    View.SetColor(Navy);
    View.SetOrvexColor(Teal);
    View.SetDrawGrid(dgNone);
    View.SetProjectionModel(Prj);
    Prj->SetParameter(3, static_cast<int32_t>(std::llrint(CentralMeridian * Deg)));
    View.ZoomToScale(0);
}

// Renders View and checks that every red pixel lies near a true line; returns how many there are.
int CheckRedPixels(TOrvex3& View, const TTrueLines& True) {
    View.Render();
    const QImage& Image = View.Canvas()->Image();
    int Drawn = 0, Astray = 0;
    for (int Y = 0; Y < kHeight; ++Y)
        for (int X = 0; X < kWidth; ++X) {
            if (PixelOf(Image, X, Y) != Red) continue;
            ++Drawn;
            if (!True.Near(X, Y) && ++Astray <= 5) ADD_FAILURE() << "a line at (" << X << ", " << Y << ")";
        }
    EXPECT_EQ(Astray, 0);
    return Drawn;
}

TEST(GraticuleTest, EveryDrawnPixelLiesOnAMeridianOrAParallel) {
    for (const TCase& C : Cases()) {
        SCOPED_TRACE(C.Name);
        TOrvex3 View;
        ShowMap(View, C.Make(&View), C.CentralMeridian);
        View.GridPen().SetColor(Red);
        View.SetDrawGrid(dgInFront);
        View.SetLongitudeStep(C.Step);
        View.SetLatitudeStep(C.Step);

        TTrueLines True(*View.ProjectionModel());
        const int64_t Step = int64_t(C.Step) * Deg;
        for (int64_t L = -OrvexUnits::Deg180; L < OrvexUnits::Deg180; L += Step)
            True.Line(TPoint3D{int32_t(L), -kLat89, 0}, TPoint3D{int32_t(L), kLat89, 0});
        for (int64_t B = 0; B < kLat85; B += Step)
            for (const int32_t Lat : {int32_t(B), -int32_t(B)})
                for (const int32_t Half : {-1, 1})
                    True.Line(TPoint3D{0, Lat, 0}, TPoint3D{Half * (OrvexUnits::Deg180 - 1), Lat, 0});
        EXPECT_GT(CheckRedPixels(View, True), 1000);
    }
}

// The azimuthal map, where every step of the graticule asks for its line points.
class TAlwaysLinePoints : public TEquidistantPrj {
public:
    using TEquidistantPrj::TEquidistantPrj;
    bool PlainLinesWithin(const TPointBox&, double) const override { return false; }
};

// The walk passes over the line points of the steps where the map says there are none: a fault
// there would move the graticule's pixels against a walk that asks at every step.
TEST(GraticuleTest, AzimuthalStepsWithoutLinePointsAreDrawnAsTheWalkDrawsThem) {
    for (const long double Meridian : {0.0L, 120.0L, -179.5L})
        for (const int32_t Step : {10, 30}) {
            SCOPED_TRACE(std::to_string(double(Meridian)) + " degrees, step " + std::to_string(Step));
            QImage Pictures[2];
            for (int Asking = 0; Asking < 2; ++Asking) {
                TOrvex3 View;
                TPrjModel* Prj = Asking ? new TAlwaysLinePoints(&View) : TEquidistantPrj::Create(&View);
                ShowMap(View, Prj, Meridian);
                View.GridPen().SetColor(Red);
                View.SetDrawGrid(dgInFront);
                View.SetLongitudeStep(Step);
                View.SetLatitudeStep(Step);
                View.Render();
                Pictures[Asking] = View.Canvas()->Image().copy();
            }
            EXPECT_EQ(Pictures[0], Pictures[1]);
        }
}

// An azimuthal map that places no pixel left of the view's middle column: which points of a
// line it places changes with every pan, as no map of the registry's does.
class TLeftCut : public TEquidistantPrj {
public:
    using TEquidistantPrj::TEquidistantPrj;
    bool PointToXY(const TPoint3D& Point, int32_t Index) override {
        return TEquidistantPrj::PointToXY(Point, Index) && PointBuffer[Index].X >= kWidth / 2;
    }

protected:
    bool FlatForward(TFlatForward&) const override { return false; }
};

// The azimuthal graticule's walks are kept from frame to frame and placed again after a zoom or
// a pan: each frame must be the one a fresh view draws. The deep zoom puts the far lines' points
// past the pixel limit (pulled in by the projection, not by the block formula); the new centre
// makes new walks; a line across the seam near the antipode breaks there. On the cut map a pan
// places other points than the kept walk did: those must be left out as a fresh walk leaves
// them out.
TEST(GraticuleTest, KeptWalksDrawTheFramesOfFreshWalks) {
    const struct {
        const char* Name;
        long double Zoom;
        int32_t DX, DY;
        long double Meridian;
    } Frames[] = {
        {"first", 1, 0, 0, 30},         {"zoomed in", 2.5L, 0, 0, 30}, {"panned", 2.5L, 37, -21, 30},
        {"zoomed out", 0.6L, 5, 0, 30}, {"deep", 1e7L, 0, 0, 30},      {"back", 1, 0, 0, 30},
        {"new centre", 1, 0, 0, -150},  {"its zoom", 3, -60, 40, -150},
    };
    for (const bool Cut : {false, true}) {
        SCOPED_TRACE(Cut ? "cut map" : "azimuthal map");
        auto Show = [Cut](TOrvex3& View) {
            ShowMap(View, Cut ? new TLeftCut(&View) : TEquidistantPrj::Create(&View), 30);
            View.GridPen().SetColor(Red);
            View.SetDrawGrid(dgInFront);
            View.SetLongitudeStep(15);
            View.SetLatitudeStep(15);
            View.OnPaintGraticule = [](TOrvex3* V) {
                V->ProjectionModel()->PaintGraticule();
                const int32_t Seam = NormalizeLongitude(int64_t(V->ProjectionModel()->CentralMeridian()) + 180 * Deg);
                V->PaintLineLL(TPoint3D{NormalizeLongitude(int64_t(Seam) + 20 * Deg), 5 * Deg, 0},
                               TPoint3D{NormalizeLongitude(int64_t(Seam) - 20 * Deg), 60 * Deg, 0}, 8);
            };
            return View.GetScaleFactor();
        };
        auto Move = [](TOrvex3& View, long double World, const auto& F) {
            View.ProjectionModel()->SetParameter(3, static_cast<int32_t>(std::llrint(F.Meridian * Deg)));
            View.ZoomToScale(World * F.Zoom);
            View.ScrollBy(F.DX, F.DY);
        };
        TOrvex3 Kept;
        const long double World = Show(Kept);
        for (size_t I = 0; I < std::size(Frames); ++I) {
            SCOPED_TRACE(Frames[I].Name);
            Move(Kept, World, Frames[I]);
            Kept.Render();
            // The same moves, drawn only at the end.
            TOrvex3 Fresh;
            Show(Fresh);
            for (size_t K = 0; K <= I; ++K) Move(Fresh, World, Frames[K]);
            Fresh.Render();
            EXPECT_EQ(Kept.Canvas()->Image(), Fresh.Canvas()->Image());
        }
    }
}

// Polylines on the azimuthal map used to be drawn pixel to pixel: one that passed the
// antipode cut across the whole disc.
TEST(GraticuleTest, AzimuthalPolylinesBreakAtTheBoundaryCircle) {
    const struct {
        const char* Name;
        std::vector<TPoint3D> Points;
    } Rows[] = {
        {"through the antipode", {LL(150, -10), LL(-150, 10)}},
        {"half a degree past it in one step", {LL(179.5L, -20), LL(179.5L, 20)}},
        {"ending on it", {LL(150, 10), LL(-180, 0)}},
        {"starting on it", {LL(-180, 0), LL(-160, -15), LL(-150, 20)}},
        {"across the far meridian", {LL(170, 30), LL(-170, 30), LL(-165, 40)}},
        {"near the centre", {LL(0, 0), LL(10, 10), LL(-20, 5)}},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TOrvex3 View;
        ShowMap(View, TEquidistantPrj::Create(&View), 0);
        TOrvexLayer* L = View.AddLayer("lines");
        auto* Style = TPolylinePresenter::Create(L);
        Style->PolylinePen()->SetPenColor(Red);
        TGeoDataObject::Create(L, Style, 0, "")->SetPoints(Row.Points.data(), int32_t(Row.Points.size()));

        TTrueLines True(*View.ProjectionModel());
        for (size_t I = 1; I < Row.Points.size(); ++I) True.Line(Row.Points[I - 1], Row.Points[I]);
        EXPECT_GT(CheckRedPixels(View, True), 20);
    }
}

}  // namespace
