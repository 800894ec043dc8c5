#pragma once
// What every benchmark program shares: its main (Qt's offscreen platform unless another is
// chosen, then Google Benchmark) and, for the programs that count them, allocations.

#include <QApplication>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <functional>

#include "platform/Heap.h"

// Runs the benchmarks with an application object alive; Before runs once it exists, After
// before it goes (views and layers hold Qt objects).
inline int RunBenchmarks(int argc, char** argv, const std::function<void()>& Before = {},
                         const std::function<void()>& After = {}) {
    UseLargeHeapPages();
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication App(argc, argv);
    if (Before) Before();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (After) After();
    return 0;
}

// Defines the global operator new and delete of the program, counting each allocation in
// Allocations. Used once per program, in its one source file.
#define ORVEX_BENCH_COUNT_ALLOCATIONS                                         \
    namespace {                                                               \
    std::atomic<size_t> Allocations{0};                                       \
    }                                                                         \
    void* operator new(std::size_t Size) {                                    \
        ++Allocations;                                                        \
        if (void* P = std::malloc(Size ? Size : 1)) return P;                 \
        throw std::bad_alloc();                                               \
    }                                                                         \
    void operator delete(void* P) noexcept { std::free(P); }                  \
    void operator delete(void* P, std::size_t) noexcept { std::free(P); }
