#include "platform/Heap.h"

#if ORVEX_MIMALLOC
#include <mimalloc.h>

// The kernel backs the pages with huge pages where it can (transparent huge pages); where it
// cannot, mimalloc falls back to ordinary pages.
void UseLargeHeapPages() { mi_option_set_enabled(mi_option_large_os_pages, true); }
#else
void UseLargeHeapPages() {}
#endif
