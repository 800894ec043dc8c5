// Saving and loading layer files of a million points: coastline-like chains, once on the
// whole-minute grid (narrow fields, 8-bit deltas) and once at full resolution.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "platform/Text.h"
#include "view/Orvex3.h"

namespace {

constexpr int32_t Chains = 1000;
constexpr int32_t PointsPerChain = 1000;
constexpr int64_t TotalPoints = int64_t(Chains) * PointsPerChain;

struct TWorld {
    TWorld() {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        App = std::make_unique<QApplication>(Argc, Argv);
        View = std::make_unique<TOrvex3>();
        WholeMinute = Build("whole-minute", OrvexUnits::PerMinute);
        Fine = Build("fine", 1);
    }

    // A random walk per chain: mostly small steps, now and then a long jump. Step is the
    // grid; with a grid of one unit the steps are a few hundred metres.
    TOrvexLayer* Build(const std::string& Name, int32_t Grid) {
        TOrvexLayer* L = View->AddLayer(Name);
        std::mt19937 Rng(42);
        std::uniform_int_distribution<int32_t> Small(Grid == 1 ? -9000 : -3, Grid == 1 ? 9000 : 3);
        std::uniform_int_distribution<int32_t> Start(-10000, 10000);
        std::uniform_int_distribution<int32_t> Jump(0, 99);
        for (int32_t C = 0; C < Chains; ++C) {
            auto* O = TGeoDataObject::Create(L);
            O->SetPointCount(PointsPerChain);
            int64_t X = int64_t(Start(Rng)) * OrvexUnits::PerMinute,
                    Y = int64_t(Start(Rng) / 2) * OrvexUnits::PerMinute;
            for (int32_t I = 0; I < PointsPerChain; ++I) {
                const int32_t Scale = Jump(Rng) == 0 ? 200 : 1;
                X += int64_t(Small(Rng)) * Grid * Scale;
                Y += int64_t(Small(Rng)) * Grid * Scale;
                Y = std::clamp<int64_t>(Y, -OrvexUnits::Deg90, OrvexUnits::Deg90);
                O->PutPoint(I, MakePoint(X, static_cast<int32_t>(Y)));
            }
        }
        return L;
    }

    std::string PathOf(const std::string& Name) const {
        return PathFromQString(QDir::tempPath()) + "/orvex-bench-" + Name;
    }

    int Argc = 1;
    char Name[6] = "bench";
    char* Argv[2] = {Name, nullptr};
    std::unique_ptr<QApplication> App;
    std::unique_ptr<TOrvex3> View;
    TOrvexLayer* WholeMinute = nullptr;
    TOrvexLayer* Fine = nullptr;
};

TWorld& World() {
    static TWorld W;
    return W;
}

TOrvexLayer* LayerFor(int64_t Kind) { return Kind == 0 ? World().WholeMinute : World().Fine; }

void BM_SaveLayer(benchmark::State& State) {
    TOrvexLayer* L = LayerFor(State.range(0));
    const std::string Path = World().PathOf(L->Name() + ".lyr");
    for (auto _ : State) L->SaveToFile(Path);
    State.SetItemsProcessed(State.iterations() * TotalPoints);
    const double Bytes = static_cast<double>(QFile(PathToQString(Path)).size());
    State.counters["bytes_per_point"] = Bytes / TotalPoints;
    State.SetLabel(L->Name());
    QFile::remove(PathToQString(Path));
}

void BM_LoadLayer(benchmark::State& State) {
    TOrvexLayer* L = LayerFor(State.range(0));
    const std::string Path = World().PathOf(L->Name() + ".lyr");
    L->SaveToFile(Path);
    QFile F(PathToQString(Path));
    F.open(QIODevice::ReadOnly);
    const QByteArray Bytes = F.readAll();
    F.close();
    F.remove();
    TOrvexLayer* Target = World().View->AddLayer("target");
    for (auto _ : State) {
        State.PauseTiming();
        Target->Clear();
        TOrvexStream S(std::vector<uint8_t>(Bytes.begin(), Bytes.end()));
        State.ResumeTiming();
        Target->LoadFromStream(S);
    }
    if (Target->ObjectCount() != Chains) State.SkipWithError("the layer did not load whole");
    State.SetItemsProcessed(State.iterations() * TotalPoints);
    State.counters["bytes_per_point"] = static_cast<double>(Bytes.size()) / TotalPoints;
    State.SetLabel(L->Name());
    delete Target;
}

BENCHMARK(BM_SaveLayer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLayer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
