#pragma once
// Where ../shared/bench/make-data put the large data sets: ORVEX_BENCH_DATA, else
// ~/orvex-bench-data.
#include <cstdlib>
#include <string>

inline std::string BenchDataDir() {
    if (const char* D = std::getenv("ORVEX_BENCH_DATA"); D && *D) return D;
    const char* Home = std::getenv("HOME");
    return std::string(Home ? Home : ".") + "/orvex-bench-data";
}
