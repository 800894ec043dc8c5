// Scattered drawing: point symbols and titles, which land all over the picture, are drawn one
// behind, so that each one's pixels come from memory while the one before is drawn.
#include "platform/DeviceContextParts.h"

void TDeviceContext::Settle() {
    TPendingDraw& P = FState->Pending;
    switch (P.Kind) {
        case TPendingDraw::TKind::None: return;
        case TPendingDraw::TKind::Stamp:
            StampSymbol(FState->Stamp.data(), FState->Stamp.size(), P.Bits, P.Stride, P.PixelBytes);
            break;
        case TPendingDraw::TKind::Glyphs: BlendGlyphs(P); break;
    }
    P.Kind = TPendingDraw::TKind::None;
}

void TDeviceContext::SetScattered(bool Scattered) {
    if (!Scattered) Settle();
    FState->Scattered = Scattered;
}

QPainter* TDeviceContext::Painter() {
    Settle();
    ForgetDirect();
    return FPainter;
}
