#pragma once
// The view's drawing surface and the process-wide point buffers that projections fill
// and the surface draws from.

#include <cstdint>

struct TPixelPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

constexpr int32_t PointBufferSize = 65537;

// Allocated with the first view, released with the last (see TOrvex3).
extern TPixelPoint* PointBuffer;
extern TPixelPoint* ClipBuffer;

class TOrvex3;

class TOrvexCanvas {
public:
    explicit TOrvexCanvas(TOrvex3* View) : FView(View) {}

    TOrvex3* View() const { return FView; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }

private:
    TOrvex3* FView;
    int32_t FWidth = 150;
    int32_t FHeight = 150;
};
