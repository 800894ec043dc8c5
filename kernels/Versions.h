#pragma once
// A kernel's versions as its file lists them: the plain version first, then faster ones in
// rising order of what they need of the processor (kernels/Dispatch.h picks among them).

#include <vector>

#include "foundation/Cpu.h"

template <class F>
struct TKernelVersion {
    const char* Name;
    F* Run;
    TKernelNeeds Needs;
};
