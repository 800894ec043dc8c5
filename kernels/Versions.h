#pragma once
// How a kernel lists its versions and picks the one that runs. Each kernel file holds a table:
// the plain version first, then faster ones in rising order of what they need; the last one
// this build, processor and switch allow (foundation/Cpu) is chosen once and called through a
// pointer from then on. The differential tests run every version the processor can.

#include <vector>

#include "foundation/Cpu.h"

// The vector versions of a normal x86-64 build; a portable build has none.
#if defined(__x86_64__) && defined(__SSE2__) && !defined(ORVEX_PORTABLE)
#define ORVEX_X86_KERNELS 1
#endif
// Versions written with the compiler's generic vectors, which every target lowers somehow.
#if !defined(ORVEX_PORTABLE)
#define ORVEX_VECTOR_KERNELS 1
#endif

template <class F>
struct TKernelVersion {
    const char* Name;
    F* Run;
    TKernelNeeds Needs;
};

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
