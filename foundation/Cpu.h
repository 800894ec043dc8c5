#pragma once
// Which versions of the kernels (kernels/) run: each kernel has a plain version that defines
// what it computes and faster ones for what a processor offers beyond baseline x86-64. The
// processor is asked once per process. A portable build (ORVEX_PORTABLE) has the plain
// versions only; ORVEX_KERNELS=plain in the environment makes any build run them.

#include <cstdint>

// What a kernel version needs of the processor.
enum class TKernelNeeds : uint8_t {
    Nothing,         // plain C++: the definition
    Vectors,         // the baseline's vectors (SSE2 on x86-64)
    Avx2,            // 256-bit integer vectors
    Avx2WithBitOps,  // AVX2 with BMI1, BMI2, LZCNT and POPCNT
    Avx2WithFma,     // AVX2 with fused multiply-add
};

// Whether this build and processor can run a version with these needs, whatever the switch says.
bool CanRunKernel(TKernelNeeds Needs);
// Whether the kernels keep to their plain versions: a portable build, or ORVEX_KERNELS=plain in
// the environment when the first kernel was chosen.
bool PlainKernelsOnly();
// Whether the kernels choose a version with these needs: it can run, and the switch allows it.
inline bool UseKernel(TKernelNeeds Needs) {
    return Needs == TKernelNeeds::Nothing || (!PlainKernelsOnly() && CanRunKernel(Needs));
}
