#pragma once
// The clip code of a point set in PointBuffer: one byte saying at which edges of the drawing
// surface the set's bounding box passes, so that the clipper runs only the passes it needs.

#include <cstdint>

// The code of the first Count entries of PointBuffer against a surface of Width x Height
// pixels: one bit per edge passed, 0 inside, 255 beyond every edge. False when the box cannot
// show on the surface (the code is written all the same) and, without writing it, when there
// are fewer than two entries.
bool PointBufferClipCode(int32_t Count, int32_t Width, int32_t Height, uint8_t& ClipCode);
// The same code for a box given by its corners' pixels, which need not be in PointBuffer.
bool BoxClipCode(int64_t MinX, int64_t MinY, int64_t MaxX, int64_t MaxY, int32_t Width, int32_t Height,
                 uint8_t& ClipCode);
