#pragma once
// Asking for memory before it is used, so that the waits for scattered objects and pixels
// overlap instead of following each other. Only hints: nothing computed depends on them, so
// they have no plain twin to choose, and a portable build leaves them out.

#include <cstddef>

// The cache lines of Bytes bytes from P, to be read.
inline void PrefetchBytes(const void* P, size_t Bytes) {
#if !defined(ORVEX_PORTABLE)
    for (size_t Line = 0; Line < Bytes; Line += 64) __builtin_prefetch(static_cast<const char*>(P) + Line);
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
