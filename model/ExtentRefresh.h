#pragma once
// Bringing an object's extent up to date after a change of scale, or after a reader that
// measured each chain's box as it read the points.

#include <cstdint>

#include "kernels/CodeScan.h"

class TOrvexObject;

// A chain whose box still stands keeps it and only has what its presenter makes of the
// scale redone (its 3D cache knows the scale it was thinned for); any other object is
// measured afresh.
void RefreshExtents(TOrvexObject& O);

// What a change of scale does to a settled object, told without reading it. A layer keeps a
// one-byte size code for each object its last pass found settled: the size of its extent (its
// longer side, in units), rounded to 4 significant bits, for an object whose refresh changes
// at most its sub-pixel state, by the base rule (the extent within a pixel's units); an object
// whose refresh does nothing codes as 0; anything else codes as SizeVisit.
constexpr uint8_t SizeVisit = 0xFF;
// KeepsBox: the object has no presenter or one whose KeepsChainBox holds (asked once for the
// many objects of one presenter).
uint8_t ScaleRefreshCode(const TOrvexObject& O, bool KeepsBox);
// The code of a size (negative sizes code as 0), and the least and greatest sizes of a code.
uint8_t SizeCode(int64_t Size);
int64_t SizeCodeLeast(uint8_t Code);
int64_t SizeCodeMost(uint8_t Code);
// The codes of objects that have the same sub-pixel state at pixels of UnitsA and UnitsB
// units: those up to Low and those from High, SizeVisit aside.
struct TStayingCodes {
    uint8_t Low = 0, High = SizeVisit;
    // The codes a pass must look at: the others.
    TCodeWindow Visited() const { return TCodeWindow{Low, High, SizeVisit}; }
    bool Holds(uint8_t Code) const { return !Visited().Selects(Code); }
};
TStayingCodes StayingCodes(long double UnitsA, long double UnitsB);
