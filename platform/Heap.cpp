#include "platform/Heap.h"

#if ORVEX_MIMALLOC
#include <cstdint>
#include <mimalloc.h>
#include <sys/mman.h>

namespace {
// mimalloc's segments are aligned to their size.
constexpr uintptr_t kSegmentSize = uintptr_t(32) << 20;
}  // namespace

void UseLargeHeapPages() {
    // Segments reserved from now on are asked for large pages...
    mi_option_set_enabled(mi_option_large_os_pages, true);
    // ...but the one the libraries' start-up already took holds most of a small command's data:
    // the kernel may still back its untouched parts with huge pages.
    void* Probe = mi_malloc(1);
    const uintptr_t Segment = reinterpret_cast<uintptr_t>(Probe) & ~(kSegmentSize - 1);
    mi_free(Probe);
    ::madvise(reinterpret_cast<void*>(Segment), kSegmentSize, MADV_HUGEPAGE);
}
#else
void UseLargeHeapPages() {}
#endif
