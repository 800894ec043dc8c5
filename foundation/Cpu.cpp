#include "foundation/Cpu.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

bool HasAvx2() {
#if defined(__x86_64__)
    static const bool Has = __builtin_cpu_supports("avx2");
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
