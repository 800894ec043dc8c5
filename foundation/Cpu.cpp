#include "foundation/Cpu.h"

#include <cstdlib>
#include <string_view>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#if !defined(ORVEX_PORTABLE)
namespace {

bool HasAvx2() {
#if defined(__x86_64__)
    static const bool Has = __builtin_cpu_supports("avx2");
    return Has;
#else
    return false;
#endif
}

bool HasAvx2WithFma() {
#if defined(__x86_64__)
    static const bool Has = HasAvx2() && __builtin_cpu_supports("fma");
    return Has;
#else
    return false;
#endif
}

bool HasAvx2WithBitOps() {
#if defined(__x86_64__)
    // Not every compiler's feature test knows lzcnt: that one is asked of the processor itself.
    static const bool Has = [] {
        unsigned A = 0, B = 0, C = 0, D = 0;
        const bool Lzcnt = __get_cpuid(0x80000001, &A, &B, &C, &D) && (C & bit_LZCNT);
        return Lzcnt && HasAvx2() && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
               __builtin_cpu_supports("popcnt");
    }();
    return Has;
#else
    return false;
#endif
}

}  // namespace
#endif

bool CanRunKernel(TKernelNeeds Needs) {
#if defined(ORVEX_PORTABLE)
    return Needs == TKernelNeeds::Nothing;
#else
    switch (Needs) {
        case TKernelNeeds::Nothing: return true;
        case TKernelNeeds::Vectors: return true;
        case TKernelNeeds::Avx2: return HasAvx2();
        case TKernelNeeds::Avx2WithBitOps: return HasAvx2WithBitOps();
        case TKernelNeeds::Avx2WithFma: return HasAvx2WithFma();
    }
    return false;
#endif
}

bool PlainKernelsOnly() {
#if defined(ORVEX_PORTABLE)
    return true;
#else
    static const bool Plain = [] {
        const char* Value = std::getenv("ORVEX_KERNELS");
        return Value && std::string_view(Value) == "plain";
    }();
    return Plain;
#endif
}
