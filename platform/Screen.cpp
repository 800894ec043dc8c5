#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include "foundation/OXUtils.h"

namespace {
int32_t ScreenPPI = 96;
}  // namespace

int32_t ScreenPixelsPerInch() { return ScreenPPI; }

void ReadScreenPixelsPerInch() {
    const QScreen* Screen = QGuiApplication::primaryScreen();
    const int32_t Dpi = Screen ? RoundSaturate(Screen->logicalDotsPerInchY()) : 0;
    ScreenPPI = Dpi > 0 ? Dpi : 96;
}
