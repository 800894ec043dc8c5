#pragma once
// The positions of a layer's per-object codes that a pass must look at: most codes say the
// object stays as it is, and a pass over millions of them finds the few that do not.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/Versions.h"

// The codes a pass looks at: Visit, and those strictly between Low and High.
struct TCodeWindow {
    uint8_t Low, High, Visit;

    bool Selects(uint8_t Code) const { return Code == Visit || (Code > Low && Code < High); }
};

// Appends to Out the positions I in [0, N) of the codes Window selects, in order. The positions
// must fit 32 bits (a layer's object count does).
void AppendSelectedCodes(const uint8_t* Codes, size_t N, const TCodeWindow& Window, std::vector<uint32_t>& Out);

namespace Kernels {
using TSelectedCodesFn = void(const uint8_t* Codes, size_t N, const TCodeWindow& Window, std::vector<uint32_t>& Out);
std::vector<TKernelVersion<TSelectedCodesFn>> SelectedCodesVersions();
}  // namespace Kernels
