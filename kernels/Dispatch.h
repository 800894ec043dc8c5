#pragma once
// How a kernel picks the version that runs, for the kernels' own files: the last one in its
// table that this build, processor and switch allow (foundation/Cpu), chosen on the first call
// and called through a pointer from then on. The differential tests run every version the
// processor can.

#include <atomic>
#include <cstddef>
#include <vector>

#include "kernels/Versions.h"

// The vector versions of a normal x86-64 build; a portable build has none.
#if defined(__x86_64__) && defined(__SSE2__) && !defined(ORVEX_PORTABLE)
#define ORVEX_X86_KERNELS 1
#endif
// Versions written with the compiler's generic vectors, which every target lowers somehow.
#if !defined(ORVEX_PORTABLE)
#define ORVEX_VECTOR_KERNELS 1
#endif

template <class F, size_t N>
F* ChooseVersion(const TKernelVersion<F> (&Versions)[N]) {
    static_assert(N > 0);
    for (size_t I = N; I-- > 1;)
        if (UseKernel(Versions[I].Needs)) return Versions[I].Run;
    return Versions[0].Run;
}

template <class F, size_t N>
std::vector<TKernelVersion<F>> RunnableVersions(const TKernelVersion<F> (&Versions)[N]) {
    std::vector<TKernelVersion<F>> Runnable;
    for (const TKernelVersion<F>& V : Versions)
        if (CanRunKernel(V.Needs)) Runnable.push_back(V);
    return Runnable;
}

// A kernel's entry point over its table of versions: Call runs the chosen version. The pointer
// starts at a function that chooses, so that later calls cost one indirect jump and nothing
// depends on the order in which static data is initialised.
template <class F, const auto& Versions>
class TKernelEntry;

template <class R, class... A, const auto& Versions>
class TKernelEntry<R(A...), Versions> {
public:
    static R Call(A... Args) { return FRun.load(std::memory_order_relaxed)(Args...); }

private:
    static R First(A... Args) {
        FRun.store(ChooseVersion(Versions), std::memory_order_relaxed);
        return FRun.load(std::memory_order_relaxed)(Args...);
    }
    static inline std::atomic<R (*)(A...)> FRun{First};
};
