// Pens, brushes and fonts as logical records, and the system colours: the part of the device
// context that the model uses without drawing.
#include <array>

#include "platform/DeviceContext.h"

namespace {

// Typical Windows defaults for COLOR_SCROLLBAR .. COLOR_INFOBK, as 0x00BBGGRR.
constexpr std::array<TColor, 25> SystemColors = {
    0xC8C8C8,  // scroll bar
    0x000000,  // desktop background
    0xD1B499,  // active caption
    0xDBCDBF,  // inactive caption
    0xF0F0F0,  // menu
    0xFFFFFF,  // window
    0x646464,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0x000000,  // caption text
    0xB4B4B4,  // active border
    0xFCF7F4,  // inactive border
    0xABABAB,  // application workspace
    0xFF9933,  // highlight
    0xFFFFFF,  // highlight text
    0xF0F0F0,  // button face
    0xA0A0A0,  // button shadow
    0x6D6D6D,  // grey text
    0x000000,  // button text
    0x544E43,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x696969,  // 3-D dark shadow
    0xE3E3E3,  // 3-D light
    0x000000,  // tooltip text
    0xE1FFFF,  // tooltip background
};

// A new handle of Kind; Fill sets its logical record.
template <class F>
HGDIOBJ MakeObject(TGdiKind Kind, bool Stock, F Fill) {
    auto O = std::make_shared<TGdiObject>();
    O->Kind = Kind;
    O->Stock = Stock;
    Fill(*O);
    return O;
}

HGDIOBJ MakePen(int Style, int Width, TColor Color, bool Stock) {
    return MakeObject(TGdiKind::Pen, Stock, [&](TGdiObject& O) { O.Pen = TLogPen{Style, Width, Color}; });
}

HGDIOBJ MakeBrush(const TLogBrush& Brush, bool Stock) {
    return MakeObject(TGdiKind::Brush, Stock, [&](TGdiObject& O) { O.Brush = Brush; });
}

HGDIOBJ MakeFont(const TLogFont& Font, bool Stock) {
    return MakeObject(TGdiKind::Font, Stock, [&](TGdiObject& O) { O.Font = Font; });
}

}  // namespace

TColor ColorToRGB(TColor Color) {
    const uint32_t C = static_cast<uint32_t>(Color);
    if (C >= 0x80000000u && C < 0x80000000u + SystemColors.size()) return SystemColors[C - 0x80000000u];
    return Color;
}

HGDIOBJ CreatePen(int Style, int Width, TColor Color) { return MakePen(Style, Width, Color, false); }

HGDIOBJ CreateBrushIndirect(const TLogBrush& Brush) { return MakeBrush(Brush, false); }

HGDIOBJ CreateFontIndirect(const TLogFont& Font) { return MakeFont(Font, false); }

HGDIOBJ GetStockObject(int Index) {
    static const std::array<HGDIOBJ, 14> Stock = [] {
        std::array<HGDIOBJ, 14> S;
        S[WHITE_BRUSH] = MakeBrush({BS_SOLID, 0xFFFFFF, 0}, true);
        S[LTGRAY_BRUSH] = MakeBrush({BS_SOLID, 0xC0C0C0, 0}, true);
        S[GRAY_BRUSH] = MakeBrush({BS_SOLID, 0x808080, 0}, true);
        S[DKGRAY_BRUSH] = MakeBrush({BS_SOLID, 0x404040, 0}, true);
        S[BLACK_BRUSH] = MakeBrush({BS_SOLID, 0x000000, 0}, true);
        S[NULL_BRUSH] = MakeBrush({BS_NULL, 0, 0}, true);
        S[WHITE_PEN] = MakePen(PS_SOLID, 1, 0xFFFFFF, true);
        S[BLACK_PEN] = MakePen(PS_SOLID, 1, 0x000000, true);
        S[NULL_PEN] = MakePen(PS_NULL, 1, 0, true);
        TLogFont F;
        F.Height = -13;
        F.FaceName = "Arial";
        S[SYSTEM_FONT] = MakeFont(F, true);
        return S;
    }();
    if (Index < 0 || Index >= int(Stock.size())) return nullptr;
    return Stock[size_t(Index)];
}

void DeleteObject(HGDIOBJ& Object) { Object.reset(); }
