// Points per second through the projections: single points through PointToXY and whole
// chains through ProjectChain, as themselves and as coarser copies. "allocs" counts heap
// allocations inside the timed loops; it must stay 0.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "bench/BenchMain.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/OXProject.h"
#include "projections/SphericalPrj.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

ORVEX_BENCH_COUNT_ALLOCATIONS

namespace {
constexpr int32_t PointCount = 1 << 20;
TOrvex3* View = nullptr;

// Scattered over the whole earth, fixed seed.
const std::vector<TPoint3D>& Scattered() {
    static const std::vector<TPoint3D> Points = [] {
        std::vector<TPoint3D> P(PointCount);
        uint64_t S = 0x9E3779B97F4A7C15ull;
        auto Next = [&S] {
            S = S * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<uint32_t>(S >> 32);
        };
        for (TPoint3D& Q : P)
            Q = TPoint3D{static_cast<int32_t>(Next() % 1944000000u) - 972000000,
                         static_cast<int32_t>(Next() % 960000000u) - 480000000, 0};
        return P;
    }();
    return Points;
}

// A coastline-like random walk of a million points, about a pixel per step at ChainScale.
TGeoDataObject* Walk(TOrvexLayer* Layer) {
    auto* O = TGeoDataObject::Create(Layer);
    O->SetCapacity(PointCount);
    uint64_t S = 12345;
    int64_t Lon = 0, Lat = 0;
    for (int32_t I = 0; I < PointCount; ++I) {
        S = S * 6364136223846793005ull + 1442695040888963407ull;
        Lon += static_cast<int64_t>((S >> 40) % 2001) - 1000;
        Lat += static_cast<int64_t>((S >> 20) % 2001) - 1000;
        O->AddPoint(TPoint3D{static_cast<int32_t>(Lon % 100000000), static_cast<int32_t>(Lat % 100000000), 0});
    }
    return O;
}

constexpr long double ChainScale = 2e-3L;

// 0: the scale fitted to the surface.
template <class T>
T* Install(long double Scale) {
    T* Prj = new T(View);
    View->SetProjectionModel(Prj);
    if (Scale > 0) Prj->ApplyScaleFactor(Scale);
    return Prj;
}

template <class T>
void BM_PointToXY(benchmark::State& State) {
    T* Prj = Install<T>(0);
    const std::vector<TPoint3D>& Points = Scattered();
    size_t Allocs = 0;
    for (auto _ : State) {
        const size_t Before = Allocations;
        int32_t Placed = 0;
        for (const TPoint3D& P : Points) Placed += Prj->PointToXY(P, 0);
        Allocs += Allocations - Before;
        benchmark::DoNotOptimize(Placed);
    }
    State.counters["points/s"] =
        benchmark::Counter(double(State.iterations()) * Points.size(), benchmark::Counter::kIsRate);
    State.counters["allocs"] = double(Allocs);
}

// Copy: the walk placed as a coarser copy is, as the frames drawn from copies place them: a
// block of points at a time through the map's block formula where it has one.
template <class T, bool Copy = false>
void BM_ProjectChain(benchmark::State& State) {
    T* Prj = Install<T>(ChainScale);
    TOrvexLayer* Layer = View->AddLayer("bench");
    TGeoDataObject* O = Walk(Layer);
    Prj->ProjectChain(O);  // the sphere builds its point cache once per scale
    Prj->SetPlacingCopies(Copy);
    size_t Allocs = 0, Entries = 0;
    for (auto _ : State) {
        const size_t Before = Allocations;
        int32_t Resume = 0;
        while (Resume >= 0) Entries += Prj->ProjectChain(O, Resume);
        Allocs += Allocations - Before;
    }
    Prj->SetPlacingCopies(false);
    State.counters["points/s"] =
        benchmark::Counter(double(State.iterations()) * O->GetPointCount(), benchmark::Counter::kIsRate);
    State.counters["entries"] = double(Entries) / double(State.iterations());
    State.counters["allocs"] = double(Allocs);
    delete Layer;
}

BENCHMARK(BM_PointToXY<TSphericalPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TMercatorPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TSphericalPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TMercatorPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TEquidistantPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TPetersPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TAlbersEqualAreaConicPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TBonnePrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointToXY<TSinusoidalPrj>)->Unit(benchmark::kMillisecond);
// With and without thinning before the formulas (the equidistant and Bonne maps have none).
BENCHMARK(BM_ProjectChain<TEquidistantPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TPetersPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TAlbersEqualAreaConicPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TBonnePrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TSinusoidalPrj>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TCartesianPrj, true>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProjectChain<TSinusoidalPrj, true>)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<TOrvex3> V;
    return RunBenchmarks(
        argc, argv,
        [&V] {
            V = std::make_unique<TOrvex3>();
            View = V.get();
        },
        [&V] { V.reset(); });
}
