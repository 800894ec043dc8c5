// Frames as a user sees them: `orvex render --frames N --motion pan|zoom|rotate` of the 10.64 M-point
// shorelines at 1920 x 1080 in every projection, each frame drawn after a pan of a tenth of the
// view, a wheel notch in or out, or a rotation step; and the 100 M-point set of ten turned copies
// (shared/bench/make-data --huge): loaded together, first frame, next frames and the memory held.
// The layer files are made once with `orvex import` into the build folder and made again when
// the program is newer than they are.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/BenchData.h"
#include "bench/Processes.h"
#include "projections/PrjRegistry.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
    bool Ok = false;
    std::string Err;     // what the command wrote to standard error
    double PeakMB = 0;   // its largest resident set
};

// A file's text, and the file gone.
std::string TakeFile(const fs::path& Path) {
    std::ifstream In(Path);
    std::stringstream S;
    S << In.rdbuf();
    In.close();
    std::error_code E;
    fs::remove(Path, E);
    return S.str();
}

fs::path TempFile(const std::string& Suffix) {
    return fs::temp_directory_path() / ("orvex-bench-frames-" + std::to_string(::getpid()) + Suffix);
}

// Runs Args with standard error kept; standard output is thrown away.
TRun RunCapturing(const std::vector<std::string>& Args) {
    const fs::path ErrFile = TempFile(".err");
    const TProcessRun P = RunProcess(Args, ErrFile.string());
    return TRun{P.Ok, TakeFile(ErrFile), P.PeakMB};
}

// The number after Key in Text ("frames: median 12 ms, max 20 ms": Key "median "); -1 if none.
double NumberAfter(const std::string& Text, const std::string& Key) {
    const size_t At = Text.find(Key);
    if (At == std::string::npos) return -1;
    double V = -1;
    return std::sscanf(Text.c_str() + At + Key.size(), "%lf", &V) == 1 ? V : -1;
}

fs::path LayerDir() { return fs::path(ORVEX_BENCH_LAYERS); }

// The layer file of Shapefile (titles from Column), made when missing or older than the program;
// empty when the data is missing or the import failed.
std::string LayerFile(const std::string& Shapefile, const std::string& Column) {
    const fs::path Source = fs::path(BenchDataDir()) / Shapefile;
    const fs::path Layer = LayerDir() / fs::path(Shapefile).replace_extension(".lyr").filename();
    if (!fs::exists(Source)) return {};
    std::error_code E;
    if (fs::exists(Layer) && fs::last_write_time(Layer, E) > fs::last_write_time(ORVEX_PROGRAM, E)) return Layer;
    fs::create_directories(LayerDir());
    double Cpu = 0;
    if (!RunOnce({ORVEX_PROGRAM, "import", "--title-column", Column, "-o", Layer.string(), Source.string()}, Cpu))
        return {};
    return Layer;
}

std::string Output() { return TempFile(".png").string(); }

constexpr int kFrames = 20;

// The frames of one projection after each motion: the counters are the worst motion's median and
// the longest frame of all.
void Frames(benchmark::State& State, const char* Projection) {
    const std::string Layer = LayerFile("gshhg_f_coast.shp", "bin");
    if (Layer.empty()) {
        State.SkipWithError("no gshhg_f_coast.shp: build it with shared/bench/make-data");
        return;
    }
    double Median = 0, Max = 0;
    for (auto _ : State) {
        for (const char* Motion : {"pan", "zoom", "rotate"}) {
            const TRun R = RunCapturing({ORVEX_PROGRAM, "render", "--projection", Projection, "--size", "1920x1080",
                                         "--frames", std::to_string(kFrames), "--motion", Motion, "-o", Output(), Layer});
            const double M = NumberAfter(R.Err, "median "), X = NumberAfter(R.Err, "max ");
            if (!R.Ok || M < 0 || X < 0) {
                State.SkipWithError(("orvex render failed: " + R.Err).c_str());
                return;
            }
            Median = std::max(Median, M);
            Max = std::max(Max, X);
        }
    }
    std::error_code E;
    fs::remove(Output(), E);
    State.counters["median_ms"] = Median;
    State.counters["max_ms"] = Max;
}

// One benchmark a projection of the registry, BM_Frames/<key>.
const bool FramesRegistered = [] {
    for (const TProjectionInfo& P : ProjectionRegistry())
        benchmark::RegisterBenchmark(("BM_Frames/" + P.Key).c_str(),
                                     [Key = P.Key](benchmark::State& State) { Frames(State, Key.c_str()); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    return true;
}();

// Points of a layer file, as `orvex info` counts them.
double PointsOf(const std::string& Layer) {
    const fs::path Out = TempFile(".info");
    if (!RunProcess({ORVEX_PROGRAM, "info", Layer}, {}, Out.string()).Ok) return 0;
    // "Objects: 211907 (10640308 points)"
    const std::string Text = TakeFile(Out);
    const size_t Objects = Text.find("Objects: ");
    const double Points = Objects == std::string::npos ? 0 : NumberAfter(Text.substr(Objects), "(");
    return Points > 0 ? Points : 0;
}

// Ten turned copies of the shorelines, 106.4 M points: import (once, not timed here), then one
// process loads all ten, draws the first frame and ten more after a pan, a wheel notch or a
// rotation step each.
void BM_HundredMillion(benchmark::State& State) {
    std::vector<std::string> Layers;
    double Points = 0;
    for (int I = 0; I < 10; ++I) {
        const std::string L = LayerFile("gshhg_f_turn" + std::to_string(I) + ".shp", "level");
        if (L.empty()) {
            State.SkipWithError("no gshhg_f_turn*.shp: build them with shared/bench/make-data --huge");
            return;
        }
        Layers.push_back(L);
        Points += PointsOf(L);
    }
    auto ArgsFor = [&](const char* Motion) {
        std::vector<std::string> Args{ORVEX_PROGRAM, "render",    "--timing", "--size", "1920x1080", "--projection",
                                      "cartesian",   "--frames",  "10",       "--motion", Motion,    "-o",
                                      Output()};
        Args.insert(Args.end(), Layers.begin(), Layers.end());
        return Args;
    };
    // Once before the runs that count, as for the other whole commands: the first use of
    // memory the machine has not given out since it started can cost more than the work.
    RunCapturing(ArgsFor("pan"));
    // Then three runs of each motion, each figure their median (the load moves with the page
    // cache from run to run); the frames those of the worst motion, the memory the most.
    auto Middle = [](std::vector<double> V) {
        std::sort(V.begin(), V.end());
        return V[V.size() / 2];
    };
    std::vector<double> Load, Draw;
    double Median = 0, Max = 0, PeakMB = 0;
    for (auto _ : State)
        for (const char* Motion : {"pan", "zoom", "rotate"}) {
            std::vector<double> Medians, Maxes;
            for (int Run = 0; Run < 3; ++Run) {
                const TRun R = RunCapturing(ArgsFor(Motion));
                Load.push_back(NumberAfter(R.Err, "load: "));
                Draw.push_back(NumberAfter(R.Err, "draw: "));
                Medians.push_back(NumberAfter(R.Err, "median "));
                Maxes.push_back(NumberAfter(R.Err, "max "));
                PeakMB = std::max(PeakMB, R.PeakMB);
                if (!R.Ok || Load.back() < 0 || Draw.back() < 0 || Medians.back() < 0 || !(Points > 0)) {
                    State.SkipWithError(("orvex render failed: " + R.Err).c_str());
                    return;
                }
            }
            State.counters[std::string("median_ms_") + Motion] = Middle(Medians);
            Median = std::max(Median, Middle(Medians));
            Max = std::max(Max, Middle(Maxes));
        }
    std::error_code E;
    fs::remove(Output(), E);
    State.counters["points_M"] = Points / 1e6;
    State.counters["load_ms"] = Middle(Load);
    State.counters["first_frame_ms"] = Middle(Draw);
    State.counters["median_ms"] = Median;
    State.counters["max_ms"] = Max;
    State.counters["bytes_per_point"] = PeakMB * 1024 * 1024 / Points;
}
BENCHMARK(BM_HundredMillion)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
