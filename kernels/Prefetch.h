#pragma once
// Asking for memory before it is used, so that the waits for scattered objects and pixels
// overlap instead of following each other. Only hints: nothing computed depends on them, so
// they have no plain twin to choose, and a portable build leaves them out.

#include <cstddef>
#include <cstdint>

// Every cache line that holds one of the Bytes bytes from P, to be read (an object that
// starts within a line needs the line of its last byte too).
inline void PrefetchBytes(const void* P, size_t Bytes) {
#if !defined(ORVEX_PORTABLE)
    if (Bytes == 0) return;
    const auto First = reinterpret_cast<uintptr_t>(P) & ~uintptr_t(63);
    const auto Last = reinterpret_cast<uintptr_t>(P) + Bytes - 1;
    for (uintptr_t Line = First; Line <= Last; Line += 64) __builtin_prefetch(reinterpret_cast<const void*>(Line));
#else
    (void)P, (void)Bytes;
#endif
}

// The cache line holding P, to be written.
inline void PrefetchForWrite(const void* P) {
#if !defined(ORVEX_PORTABLE)
    __builtin_prefetch(P, 1);
#else
    (void)P;
#endif
}
