// The speed and memory goals on real data: GSHHG full-resolution shorelines (10.64 M points),
// GSHHG high resolution level 1 (1.68 M points) and the densified Natural Earth countries
// (1.04 M points), as built by shared/bench/make-data into $ORVEX_BENCH_DATA (default
// ~/orvex-bench-data). Each benchmark is one goal; scripts/bench prints them against it.
#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

#if ORVEX_MIMALLOC
#include <mimalloc.h>
#endif

#include "bench/BenchData.h"
#include "bench/BenchMain.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/OrvexPresenter.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "view/Orvex3.h"

namespace {

namespace fs = std::filesystem;

std::string DataDir() { return BenchDataDir(); }

std::string DataFile(const std::string& Name) { return DataDir() + "/" + Name; }

bool Need(benchmark::State& State, const std::string& Name) {
    if (fs::exists(DataFile(Name))) return true;
    State.SkipWithError(("no " + DataFile(Name) + ": build it with shared/bench/make-data").c_str());
    return false;
}

#if ORVEX_MIMALLOC
// The import's blocks go to a heap of their own, and what it holds is its blocks in use at the
// sizes the allocator gave them.
struct THeldBlocks {
    mi_heap_t* Heap = mi_heap_new();
    mi_heap_t* Before = nullptr;
    // Memory freed by the last import goes back to the system first, so that the peak counts
    // all the import takes.
    void Start() {
        mi_collect(true);
        Before = mi_heap_set_default(Heap);
    }
    double Stop() {
        mi_heap_set_default(Before);
        double Bytes = 0;
        mi_heap_visit_blocks(
            Heap, false,
            [](const mi_heap_t*, const mi_heap_area_t* Area, void*, size_t, void* Sum) {
                *static_cast<double*>(Sum) += double(Area->used) * double(Area->block_size);
                return true;
            },
            &Bytes);
        return Bytes;
    }
    ~THeldBlocks() { mi_heap_delete(Heap); }  // blocks still in use move to the default heap
};
#else
// Heap bytes in use (small blocks and mmapped ones alike), before and after.
struct THeldBlocks {
    double Before = 0;
    static double HeapBytes() {
        const struct mallinfo2 M = mallinfo2();
        return double(M.uordblks) + double(M.hblkhd);
    }
    void Start() {
        malloc_trim(0);
        Before = HeapBytes();
    }
    double Stop() { return HeapBytes() - Before; }
};
#endif

// Resident memory now and its peak since the last reset (clear_refs 5 resets VmHWM), in bytes.
double StatusBytes(const char* Key) {
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind(Key, 0) == 0) return std::atof(Line.c_str() + std::strlen(Key)) * 1024.0;
    return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

int64_t PointsOf(const TOrvexLayer& L) {
    int64_t N = 0;
    for (const TOrvexObject* O : L.Objects()) N += O->GetPointCount();
    return N;
}

double FileBytes(const std::string& Path) {
    std::error_code E;
    const auto N = fs::file_size(Path, E);
    return E ? 0 : double(N);
}

void ImportShp(TOrvex3& View, const std::string& Base) {
    TSHPImportPresetOptions Options;
    // Titles from a column: the shorelines' bin numbers, the countries' names.
    Options.Column = Base.rfind("gshhg", 0) == 0 ? "bin" : "name";
    ImportSHP({DataFile(Base + ".shp")}, View, &Options);
}

void ImportMif(TOrvex3& View, const std::string& Base) { ImportMIF({DataFile(Base + ".mif")}, View); }

// One import per iteration into a fresh view: time, points per second, the memory the layer
// holds against 16 bytes a point plus 160 an object, and the peak growth of the resident set
// against the input files plus that.
template <class Import>
void RunImport(benchmark::State& State, const std::string& Base, const char* Data, const char* Table,
               Import ImportFile) {
    if (!Need(State, Base + Data)) return;
    TScriptedUiServices Ui;
    TUiServicesScope Scope(Ui);
    double Held = 0;
    // The allocator keeps some of what an import freed for the next one, so a later import may
    // grow the resident set less than the first of the process did: the peak is the largest seen.
    static std::map<std::string, double> Peaks;
    double& Peak = Peaks[Base + Data];
    int64_t Points = 0, Objects = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto View = std::make_unique<TOrvex3>();
        std::optional<THeldBlocks> Blocks(std::in_place);
        Blocks->Start();
        const double RssBefore = StatusBytes("VmRSS:");
        ResetPeak();
        State.ResumeTiming();
        ImportFile(*View, Base);
        State.PauseTiming();
        Peak = std::max(Peak, StatusBytes("VmHWM:") - RssBefore);
        Held = Blocks->Stop();
        Points = PointsOf(*View->GetLayer(0));
        Objects = View->GetLayer(0)->ObjectCount();
        View.reset();
        Blocks.reset();
        State.ResumeTiming();
    }
    const double HeldGoal = 16.0 * double(Points) + 160.0 * double(Objects);
    const double Input = FileBytes(DataFile(Base + Data)) + FileBytes(DataFile(Base + Table));
    State.SetItemsProcessed(State.iterations() * Points);
    State.counters["points"] = double(Points);
    State.counters["objects"] = double(Objects);
    State.counters["held_MB"] = Held / 1e6;
    State.counters["held_goal_MB"] = HeldGoal / 1e6;
    State.counters["held_B_per_point"] = Points ? (Held - 160.0 * double(Objects)) / double(Points) : 0;
    State.counters["peak_MB"] = Peak / 1e6;
    State.counters["peak_goal_MB"] = (Input + HeldGoal) / 1e6;
}

void BM_ImportShapefile(benchmark::State& State) {
    RunImport(State, "gshhg_f_coast", ".shp", ".dbf", ImportShp);
}
BENCHMARK(BM_ImportShapefile)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportMif(benchmark::State& State) { RunImport(State, "gshhg_f_coast", ".mif", ".mid", ImportMif); }
BENCHMARK(BM_ImportMif)->Unit(benchmark::kMillisecond)->Iterations(1);

// Views holding one imported data set each, made once and freed before the application.
std::map<std::string, std::unique_ptr<TOrvex3>> Views;

TOrvex3* ViewOf(const std::string& Base) {
    auto& V = Views[Base];
    if (!V) {
        TScriptedUiServices Ui;
        TUiServicesScope Scope(Ui);
        V = std::make_unique<TOrvex3>();
        V->SetSurfaceSize(1920, 1080);
        ImportShp(*V, Base);
    }
    return V.get();
}

std::string TempPath(const std::string& Name) {
    return (fs::temp_directory_path() / ("orvex-bench-" + std::to_string(::getpid()) + "-" + Name)).string();
}

void BM_SaveLayerFile(benchmark::State& State) {
    if (!Need(State, "gshhg_f_coast.shp")) return;
    TOrvexLayer* L = ViewOf("gshhg_f_coast")->GetLayer(0);
    const std::string Path = TempPath("save.lyr");
    for (auto _ : State) L->SaveToFile(Path);
    const int64_t Points = PointsOf(*L);
    State.SetItemsProcessed(State.iterations() * Points);
    State.counters["bytes_per_point"] = FileBytes(Path) / double(Points);
    fs::remove(Path);
}
BENCHMARK(BM_SaveLayerFile)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_LoadLayerFile(benchmark::State& State) {
    if (!Need(State, "gshhg_f_coast.shp")) return;
    TOrvex3* View = ViewOf("gshhg_f_coast");
    TOrvexLayer* Source = View->GetLayer(0);
    const std::string Path = TempPath("load.lyr");
    Source->SaveToFile(Path);
    int64_t Points = 0;
    for (auto _ : State) {
        auto Target = std::make_unique<TOrvex3>();
        TOrvexLayer* L = Target->AddLayer("load");
        L->SetFilename(Path);  // reads the file
        State.PauseTiming();
        Points = PointsOf(*L);
        Target.reset();
        State.ResumeTiming();
    }
    if (Points != PointsOf(*Source)) State.SkipWithError("the layer file did not load whole");
    State.SetItemsProcessed(State.iterations() * Points);
    State.counters["bytes_per_point"] = FileBytes(Path) / double(Points);
    fs::remove(Path);
}
BENCHMARK(BM_LoadLayerFile)->Unit(benchmark::kMillisecond)->Iterations(2);

// A whole-world view of one data set at 1920x1080 in the given projection, rendered once.
TOrvex3* Prepared(const std::string& Base, TOrvexProjection Kind) {
    TOrvex3* View = ViewOf(Base);
    View->SetProjection(Kind);
    View->SetAltitude(0);
    View->SetXRotation(0);
    View->SetYRotation(0);
    View->Render();
    return View;
}

void Frames(benchmark::State& State, int64_t Points) {
    State.SetItemsProcessed(State.iterations() * Points);
}

// Every object tested and projected afresh, as after a zoom: the scale a thousandth apart
// each frame, so that the sphere's vectors, thinned for a scale, are built again too.
void BM_RenderLines(benchmark::State& State) {
    if (!Need(State, "gshhg_f_coast.shp")) return;
    TOrvex3* View = Prepared("gshhg_f_coast", static_cast<TOrvexProjection>(State.range(0)));
    const long double Scale = View->GetScaleFactor();
    int64_t Frame = 0;
    for (auto _ : State) {
        View->ZoomToScale(Scale * (++Frame % 2 ? 1.001L : 1.0L));
        View->Render();
    }
    Frames(State, PointsOf(*View->GetLayer(0)));
}
BENCHMARK(BM_RenderLines)->ArgName("projection")->Arg(opCartesian)->Arg(opMercator)->Arg(opSpherical)
    ->Unit(benchmark::kMillisecond);

// Mouse rotation: each frame turns the globe by a quarter degree east and a tenth north.
void RotationSteps(benchmark::State& State, const std::string& Base) {
    TOrvex3* View = Prepared(Base, opSpherical);
    int32_t Step = 0;
    for (auto _ : State) {
        ++Step;
        View->SetYRotation(NormalizeLongitude(int64_t(Step % 1440) * OrvexUnits::PerDegree / 4));
        View->SetXRotation((Step % 400 - 200) * OrvexUnits::PerDegree / 10);
        View->Render();
    }
    Frames(State, PointsOf(*View->GetLayer(0)));
}

void BM_RotateLines(benchmark::State& State) {
    if (Need(State, "gshhg_f_coast.shp")) RotationSteps(State, "gshhg_f_coast");
}
BENCHMARK(BM_RotateLines)->Unit(benchmark::kMillisecond);

void BM_RotateHighResolution(benchmark::State& State) {
    if (Need(State, "gshhg_h_l1_coast.shp")) RotationSteps(State, "gshhg_h_l1_coast");
}
BENCHMARK(BM_RotateHighResolution)->Unit(benchmark::kMillisecond);

// The countries filled and outlined.
void BM_RenderFilled(benchmark::State& State) {
    if (!Need(State, "countries_dense.shp")) return;
    TOrvex3* View = ViewOf("countries_dense");
    // The importer's global polygon presenter draws them.
    if (auto* P = dynamic_cast<TPolygonPresenter*>(View->GetLayer(0)->FindPresenter("", -3))) {
        P->PolygonBrush()->SetBrushColor(0x40A040);
        P->PolygonBrush()->SetBrushStyle(bsSolid);
    }
    View = Prepared("countries_dense", static_cast<TOrvexProjection>(State.range(0)));
    for (auto _ : State) {
        View->ScaleChanged = true;
        View->Render();
    }
    Frames(State, PointsOf(*View->GetLayer(0)));
}
BENCHMARK(BM_RenderFilled)->ArgName("projection")->Arg(opCartesian)->Arg(opSpherical)
    ->Unit(benchmark::kMillisecond);

// Titles of 10,000 places scattered over the world, on a flat map.
void BM_RenderTitles(benchmark::State& State) {
    TOrvex3 View;
    View.SetSurfaceSize(1920, 1080);
    View.SetProjection(opCartesian);
    View.SetAltitude(0);
    TOrvexLayer* L = View.AddLayer("places");
    auto* P = TPointPresenter::Create(L);
    P->SetTitleAlignment(taRight);
    uint64_t S = 0x9E3779B97F4A7C15ull;
    auto Next = [&S](uint32_t Range) {
        S = S * 6364136223846793005ull + 1442695040888963407ull;
        return int32_t((S >> 33) % Range);
    };
    {
        const TLayerUpdate Update(*L);
        for (int32_t I = 0; I < 10000; ++I) {
            auto* O = TSinglePointObject::Create(L, P, I, "Place " + std::to_string(I));
            const int64_t Longitude = int64_t(Next(340) - 170) * OrvexUnits::PerDegree;
            O->SetPoint(MakePoint(Longitude, (Next(160) - 80) * OrvexUnits::PerDegree));
        }
    }
    View.Render();
    for (auto _ : State) {
        View.ScaleChanged = true;
        View.Render();
    }
    Frames(State, L->ObjectCount());
}
BENCHMARK(BM_RenderTitles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, {}, [] { Views.clear(); });
}
