#pragma once
// The screen's resolution, which sizes given in screen pixels scale from.

#include <cstdint>

// Vertical pixels per inch of the primary screen at the last reading; 96 before the first
// and where there is no screen.
int32_t ScreenPixelsPerInch();
// Reads the resolution from the primary screen (the first view does, when it is made).
void ReadScreenPixelsPerInch();
// Dpi, or 96 for 0 and less.
void SetScreenPixelsPerInch(int32_t Dpi);
