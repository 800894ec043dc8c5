#include "platform/Screen.h"

namespace {
int32_t ScreenPPI = 96;
}  // namespace

int32_t ScreenPixelsPerInch() { return ScreenPPI; }

void SetScreenPixelsPerInch(int32_t Dpi) { ScreenPPI = Dpi > 0 ? Dpi : 96; }
