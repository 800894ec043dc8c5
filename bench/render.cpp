// Full renders of about a million points at 1920x1080: milliseconds per frame and points
// per second, on the sphere and on flat maps, with polygons filled and outlined.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "bench/BenchMain.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/OrvexAttributes.h"
#include "styling/PolygonPresenter.h"
#include "view/Orvex3.h"

namespace {
constexpr int Rings = 1000;
constexpr int PointsPerRing = 1000;

// Wobbly rings scattered over the earth, like islands and lakes; fixed seed.
void FillLayer(TOrvexLayer* Layer) {
    auto* P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 1, "Land");
    P->PolygonBrush()->SetBrushColor(0x40A040);
    uint64_t S = 0x9E3779B97F4A7C15ull;
    auto Next = [&S] {
        S ^= S << 13;
        S ^= S >> 7;
        S ^= S << 17;
        return static_cast<double>(S % 1000000) / 1000000.0;
    };
    for (int R = 0; R < Rings; ++R) {
        auto* O = TGeoDataObject::Create(Layer, P, R, "");
        O->SetPointCount(PointsPerRing);
        const double Lon = -175 + 350 * Next(), Lat = -80 + 160 * Next(), Radius = 0.5 + 4 * Next();
        for (int I = 0; I < PointsPerRing; ++I) {
            const double A = 2 * M_PI * I / PointsPerRing;
            const double Wobble = 1 + 0.2 * std::sin(7 * A) + 0.05 * std::sin(31 * A);
            O->Points()[I] = MakePoint(DegToOrvexUnits(Lon + Radius * Wobble * std::cos(A)),
                                       DegToOrvexUnits(Lat + Radius * Wobble * std::sin(A)));
        }
        O->Invalidate();
    }
}

void BM_Render(benchmark::State& State) {
    TOrvex3 View;
    View.SetSurfaceSize(1920, 1080);
    View.SetProjection(static_cast<TOrvexProjection>(State.range(0)));
    View.SetAltitude(0);
    FillLayer(View.AddLayer("rings"));
    View.Render();  // extents and caches once, as after loading
    for (auto _ : State) {
        View.ScaleChanged = true;  // every object is tested and drawn again
        View.Render();
    }
    State.SetItemsProcessed(State.iterations() * int64_t(Rings) * PointsPerRing);
    // Shown as the time of one frame.
    State.counters["frame"] =
        benchmark::Counter(State.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Render)->Arg(opSpherical)->Arg(opCartesian)->Arg(opMercator)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
