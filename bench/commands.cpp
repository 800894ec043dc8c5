// Whole commands as a user runs them, each a process from its start to the file written:
// `orvex render` of the 10.64 M-point shorelines (GSHHG full resolution) and of the densified
// countries, filled, from layer files to 1920 x 1080 PNG pictures of the plate carree, where
// every point is drawn. The layer files are made once with `orvex import` from the data of
// shared/bench/make-data ($ORVEX_BENCH_DATA, default ~/orvex-bench-data).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/BenchData.h"
#include "bench/Processes.h"

namespace {

namespace fs = std::filesystem;

std::string DataDir() { return BenchDataDir(); }

// A folder of this run's own, gone when the program ends.
struct TWorkDir {
    fs::path Path = fs::temp_directory_path() / ("orvex-bench-commands-" + std::to_string(::getpid()));
    TWorkDir() { fs::create_directories(Path); }
    ~TWorkDir() {
        std::error_code E;
        fs::remove_all(Path, E);
    }
};

TWorkDir& Work() {
    static TWorkDir Dir;
    return Dir;
}

// The layer file made from Shapefile with its titles from Column, once; empty when the data is
// missing or the import failed.
std::string LayerFile(const std::string& Shapefile, const std::string& Column) {
    const std::string Source = DataDir() + "/" + Shapefile;
    const std::string Layer = (Work().Path / fs::path(Shapefile).replace_extension(".lyr")).string();
    if (fs::exists(Layer)) return Layer;
    if (!fs::exists(Source)) return {};
    double Cpu = 0;
    if (!RunOnce({ORVEX_PROGRAM, "import", "--title-column", Column, "-o", Layer, Source}, Cpu)) return {};
    return Layer;
}

void RenderCommand(benchmark::State& State, const std::string& Shapefile, const std::string& Column) {
    const std::string Layer = LayerFile(Shapefile, Column);
    if (Layer.empty()) {
        State.SkipWithError(("no " + DataDir() + "/" + Shapefile + ": build it with shared/bench/make-data").c_str());
        return;
    }
    const std::string Png = (Work().Path / "render.png").string();
    TimeProcess(State,
                {ORVEX_PROGRAM, "render", "--projection", "cartesian", "--size", "1920x1080", "-o", Png, Layer});
}

void BM_RenderShorelinesCommand(benchmark::State& State) { RenderCommand(State, "gshhg_f_coast.shp", "bin"); }
void BM_RenderCountriesCommand(benchmark::State& State) { RenderCommand(State, "countries_dense.shp", "name"); }

BENCHMARK(BM_RenderShorelinesCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_RenderCountriesCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
