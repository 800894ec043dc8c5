#pragma once
// The process-wide buffer of pixel points: projections write into it at the index their
// caller gives, the drawing surface clips and draws its first entries. Every view shares
// it without a guard, as everything draws on the one user-interface thread.

#include <cstdint>

#include "platform/DeviceContext.h"

constexpr int32_t PointBufferSize = 65537;

// Null until the first AcquirePointBuffer and again after the last ReleasePointBuffer.
extern TPixelPoint* PointBuffer;

// One pair per view: the first view allocates the buffer, the last one frees it.
void AcquirePointBuffer();
void ReleasePointBuffer();
