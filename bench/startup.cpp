// Start-up of the command-line tool as whole processes: `orvex --version`, `orvex info` of a
// small layer file (the bundled cities), and `ogrinfo --version` as the yardstick, each started
// and waited for once per iteration. Run with --benchmark_enable_random_interleaving=true (as
// scripts/bench does) so that the three share the machine's ups and downs.
#include "bench/Processes.h"

namespace {

void BM_StartVersion(benchmark::State& State) { TimeProcess(State, {ORVEX_PROGRAM, "--version"}); }
void BM_StartInfo(benchmark::State& State) {
    TimeProcess(State, {ORVEX_PROGRAM, "info", ORVEX_SOURCE_DIR "/data/cities.lyr"});
}
void BM_StartOgrinfo(benchmark::State& State) { TimeProcess(State, {"ogrinfo", "--version"}); }

BENCHMARK(BM_StartVersion)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_StartInfo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_StartOgrinfo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
