#include "platform/ClipCode.h"

#include <algorithm>

#include "platform/PointBuffer.h"

bool PointBufferClipCode(int32_t Count, int32_t Width, int32_t Height, uint8_t& ClipCode) {
    if (Count <= 1 || !PointBuffer) return false;
    int32_t MinX = 2147483647, MinY = 2147483647, MaxX = -2147483647, MaxY = -2147483647;
    for (int32_t I = 0; I < std::min(Count, PointBufferSize); ++I) {
        const TPixelPoint& P = PointBuffer[I];
        MinX = std::min(MinX, P.X);
        MaxX = std::max(MaxX, P.X);
        MinY = std::min(MinY, P.Y);
        MaxY = std::max(MaxY, P.Y);
    }
    return BoxClipCode(MinX, MinY, MaxX, MaxY, Width, Height, ClipCode);
}

bool BoxClipCode(int64_t MinX, int64_t MinY, int64_t MaxX, int64_t MaxY, int32_t Width, int32_t Height,
                 uint8_t& ClipCode) {
    const int64_t W = Width, H = Height;
    uint8_t Code = 0;
    if (MaxX < 0) Code |= 1;
    if (MaxX > W) Code |= 2;
    if (MaxY < 0) Code |= 4;
    if (MaxY > H) Code |= 8;
    if (MinX < 0) Code |= 16;
    if (MinX > W) Code |= 32;
    if (MinY < 0) Code |= 64;
    if (MinY > H) Code |= 128;
    ClipCode = Code;
    return !(MinY > H || MinX > W || MaxY < 0 || MaxX < 0);
}
