// Filling a layer with a million points, as the importers do: a thousand chains of a
// thousand points each, set in bulk inside one layer update, against point by point.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "view/Orvex3.h"

namespace {

constexpr int32_t Chains = 1000;
constexpr int32_t PointsPerChain = 1000;

struct TWorld {
    TWorld() {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        App = std::make_unique<QApplication>(Argc, Argv);
        View = std::make_unique<TOrvex3>();
        // A coastline-like zigzag on the whole-minute grid.
        for (int32_t I = 0; I < PointsPerChain; ++I)
            Points.push_back(MakePoint(int64_t(I) * OrvexUnits::PerMinute, (I % 7) * OrvexUnits::PerMinute));
    }
    int Argc = 1;
    char Arg0[6] = "bench";
    char* Argv[2] = {Arg0, nullptr};
    std::unique_ptr<QApplication> App;
    std::unique_ptr<TOrvex3> View;
    std::vector<TPoint3D> Points;
};

TWorld& World() {
    static TWorld W;
    return W;
}

template <class Fill>
void RunFill(benchmark::State& State, Fill F) {
    TWorld& W = World();
    for (auto _ : State) {
        TOrvexLayer* L = W.View->AddLayer("fill");
        F(L, W.Points);
        benchmark::DoNotOptimize(L->ObjectCount());
        State.PauseTiming();
        L->Delete();
        W.View->RedrawPending = false;
        State.ResumeTiming();
    }
    State.counters["points/s"] =
        benchmark::Counter(double(State.iterations()) * Chains * PointsPerChain, benchmark::Counter::kIsRate);
}

void BM_FillLayerInBulk(benchmark::State& State) {
    RunFill(State, [](TOrvexLayer* L, const std::vector<TPoint3D>& Points) {
        const TLayerUpdate Update(*L);
        for (int32_t C = 0; C < Chains; ++C)
            TGeoDataObject::Create(L, nullptr, C, "")->SetPoints(Points.data(), PointsPerChain);
    });
}
BENCHMARK(BM_FillLayerInBulk)->Unit(benchmark::kMillisecond);

void BM_FillLayerPointByPoint(benchmark::State& State) {
    RunFill(State, [](TOrvexLayer* L, const std::vector<TPoint3D>& Points) {
        for (int32_t C = 0; C < Chains; ++C) {
            TGeoDataObject* O = TGeoDataObject::Create(L, nullptr, C, "");
            for (const TPoint3D& P : Points) O->AddPoint(P);
        }
    });
}
BENCHMARK(BM_FillLayerPointByPoint)->Unit(benchmark::kMillisecond);

}  // namespace
