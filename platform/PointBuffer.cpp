#include "platform/PointBuffer.h"

TPixelPoint* PointBuffer = nullptr;

namespace {
int Holders = 0;
}  // namespace

void AcquirePointBuffer() {
    if (Holders++ == 0) PointBuffer = new TPixelPoint[PointBufferSize];
}

void ReleasePointBuffer() {
    if (Holders == 0) return;
    if (--Holders == 0) {
        delete[] PointBuffer;
        PointBuffer = nullptr;
    }
}
