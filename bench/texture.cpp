// The textured background at 1920x1080: milliseconds per frame for the sphere and for flat
// maps, with the bundled world texture. "allocs" counts heap allocations while the texture
// is painted; it must stay 0.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/BenchMain.h"
#include "model/TextureData.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"

ORVEX_BENCH_COUNT_ALLOCATIONS

namespace {

void BM_TexturedBackground(benchmark::State& State) {
    const TProjectionInfo& Projection = ProjectionRegistry()[State.range(0)];
    TOrvex3 View;
    View.SetSurfaceSize(1920, 1080);
    View.SetProjectionModel(Projection.Create(&View));
    View.SetAltitude(0);
    View.SetTextureFilename(DefaultTextureFile());
    View.SetTextureBackground(true);
    if (!View.TextureBackground()) {
        State.SkipWithError("the bundled texture data/earth.bmp was not found");
        return;
    }
    View.Render();  // the drawing context exists from here on
    size_t Allocs = 0;
    for (auto _ : State) {
        const size_t Before = Allocations;
        View.ProjectionModel()->PaintTexture();
        Allocs += Allocations - Before;
    }
    State.SetLabel(Projection.Key);
    State.counters["frame"] =
        benchmark::Counter(State.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    State.counters["allocs"] = double(Allocs);
}
// Spherical, Cartesian, Mercator and the sinusoidal map, by their place in the registry.
BENCHMARK(BM_TexturedBackground)->Arg(0)->Arg(1)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv); }
