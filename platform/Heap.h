#pragma once
// The programs' heap. The editor, the command-line tool and the benchmarks run on mimalloc where
// it is built in (not under the sanitizers, which bring their own allocator).

// Asks for large (2 MiB) pages for the heap: an import or a layer file of millions of points
// then costs a few hundred page faults instead of tens of thousands, and drawing walks its
// objects with fewer TLB misses. Call first thing in main; without mimalloc it does nothing.
void UseLargeHeapPages();
