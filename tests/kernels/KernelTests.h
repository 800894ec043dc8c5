#pragma once
// What the kernels' differential tests share: a repeatable random source and a loop over every
// faster version the processor runs, each compared with the plain one.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kernels/Versions.h"

class TRandom {
public:
    explicit TRandom(uint64_t Seed) : FState(Seed) {}
    uint64_t Next() {
        FState = FState * 6364136223846793005ull + 1442695040888963407ull;
        return FState >> 11;
    }
    // Uniform in [0, N).
    uint64_t Below(uint64_t N) { return Next() % N; }
    int32_t Between(int32_t Low, int32_t High) { return int32_t(int64_t(Low) + int64_t(Below(uint64_t(int64_t(High) - Low + 1)))); }

private:
    uint64_t FState;
};

// Body(Plain, Fast) for each version after the plain one; a build or processor with none still
// runs the plain one against itself, so that the test's own checks run everywhere.
template <class F, class TBody>
void ForEachFastVersion(const std::vector<TKernelVersion<F>>& Versions, TBody&& Body) {
    ASSERT_FALSE(Versions.empty());
    ASSERT_STREQ(Versions.front().Name, "plain");
    const size_t First = Versions.size() > 1 ? 1 : 0;
    for (size_t I = First; I < Versions.size(); ++I) {
        SCOPED_TRACE(Versions[I].Name);
        Body(Versions.front().Run, Versions[I].Run);
    }
}
