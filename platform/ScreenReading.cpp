// Apart from the resolution itself, which the model reads without the GUI libraries.
#include <QGuiApplication>
#include <QScreen>

#include "foundation/OXUtils.h"
#include "platform/Screen.h"

void ReadScreenPixelsPerInch() {
    const QScreen* Screen = QGuiApplication::primaryScreen();
    SetScreenPixelsPerInch(Screen ? RoundSaturate(Screen->logicalDotsPerInchY()) : 0);
}
