#include "styling/OrvexAttributes.h"

#include <strings.h>

#include <cstdlib>

#include "foundation/OrvexExceptions.h"
#include "model/OrvexLayer.h"
#include "model/OrvexStream.h"
#include "platform/Screen.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {

const std::vector<std::string> PenStyleNames{"psSolid",      "psDash",  "psDot",        "psDashDot",
                                             "psDashDotDot", "psClear", "psInsideFrame"};
const std::vector<std::string> BrushStyleNames{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                               "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
const std::vector<std::string> UnitValueNames{
    "Degree", "Minute",     "NauticalMile", "Kilometer", "Mile", "Second", "Third",     "Hundreth",
    "Thousanth", "Meter", "CentiMeter",   "Yard",      "Foot", "Inch",   "OrvexUnit", "Pixel"};
const std::vector<std::string> FontStyleNames{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

constexpr TFontStyles AllFontStyles = 0x0F;

// Values from files and the inspector are checked before they become enumeration values.
TPenStyle CheckedPenStyle(int64_t V) {
    if (V < psSolid || V > psInsideFrame) throw EOrvexException(Format("Invalid pen style %lld", (long long)V));
    return static_cast<TPenStyle>(V);
}

TBrushStyle CheckedBrushStyle(int64_t V) {
    if (V < bsSolid || V > bsDiagCross) throw EOrvexException(Format("Invalid brush style %lld", (long long)V));
    return static_cast<TBrushStyle>(V);
}

TOrvexUnits CheckedUnit(int64_t V) {
    if (V < 0 || V >= OrvexUnitsCount) throw EOrvexException(Format("Invalid font unit %lld", (long long)V));
    return static_cast<TOrvexUnits>(V);
}

TFontStyles CheckedFontStyle(int64_t V) {
    if (V < 0 || (V & ~int64_t(AllFontStyles)) != 0)
        throw EOrvexException(Format("Invalid font style %lld", (long long)V));
    return static_cast<TFontStyles>(V);
}

}  // namespace

int32_t ScreenToSurfacePixels(const TOrvex3* View, int32_t Pixels) {
    if (!View || !View->Canvas()) return Pixels;
    return RoundSaturate(static_cast<long double>(Pixels) * View->Canvas()->PixelsPerInch() /
                         ScreenPixelsPerInch());
}

// ---------------------------------------------------------------------------------------
// TOrvexAttribute

const TClassInfo& TOrvexAttribute::StaticClassInfo() {
    static const TClassInfo Info{"TOrvexAttribute", &TOrvexPersistent::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TOrvexAttribute::ClassInfo() const { return StaticClassInfo(); }

TOrvexAttribute::~TOrvexAttribute() { ReleaseHandle(0); }

TOrvex3* TOrvexAttribute::View() const { return FLayer ? FLayer->View() : nullptr; }

TDeviceContext* TOrvexAttribute::DC() const {
    TOrvex3* V = View();
    return V && V->Canvas() ? V->Canvas()->DC() : nullptr;
}

void TOrvexAttribute::ReleaseHandle(int StockIndex) {
    if (!FHandle) return;
    // The surface may still hold the handle: put stock objects in its place first.
    if (TDeviceContext* D = DC()) {
        if (StockIndex == 0) {
            D->SelectObject(GetStockObject(BLACK_PEN));
            D->SelectObject(GetStockObject(WHITE_BRUSH));
            D->SelectObject(GetStockObject(SYSTEM_FONT));
        } else if (HGDIOBJ Stock = GetStockObject(StockIndex)) {
            D->SelectObject(Stock);
        }
    }
    DeleteObject(FHandle);
    FHandle.reset();
}

void TOrvexAttribute::MoveToLayer(TOrvexLayer* Layer) {
    if (Layer == FLayer) return;
    ReleaseHandle(0);
    FLayer = Layer;
}

// ---------------------------------------------------------------------------------------
// TOrvexPen

const TClassInfo& TOrvexPen::StaticClassInfo() {
    using P = TOrvexPen;
    static const TClassInfo Info{
        "TOrvexPen",
        &TOrvexAttribute::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<P>("PenColor", TPropKind::Integer, "TColor", [](const P& p) { return p.PenColor(); },
                        [](P& p, TColor v) { p.SetPenColor(v); }),
            MakeProp<P>(
                "PenStyle", TPropKind::Enumeration, "TPenStyle", [](const P& p) { return p.PenStyle(); },
                [](P& p, int64_t v) { p.SetPenStyle(CheckedPenStyle(v)); }, PenStyleNames),
            MakeProp<P>("PenWidth", TPropKind::Integer, "Byte", [](const P& p) { return p.PenWidth(); },
                        [](P& p, uint8_t v) { p.SetPenWidth(v); }),
        }};
    return Info;
}

const TClassInfo& TOrvexPen::ClassInfo() const { return StaticClassInfo(); }

TOrvexPen::TOrvexPen(TOrvexLayer* Layer) : TOrvexAttribute(Layer) {}

TOrvexPen::~TOrvexPen() = default;

TOrvexPen* TOrvexPen::Create(TOrvexLayer* Layer) {
    auto* P = new TOrvexPen(Layer);
    TOrvex3* V = P->View();
    if (V && V->DefaultPen()) P->CopyFrom(V->DefaultPen());
    return P;
}

TOrvexPen* TOrvexPen::CreateDetached(TColor Color, TPenStyle Style, uint8_t Width) {
    auto* P = new TOrvexPen(nullptr);
    P->SetPenColor(Color);
    P->SetPenStyle(Style);
    P->SetPenWidth(Width);
    return P;
}

void TOrvexPen::SetPenColor(TColor V) {
    FPenColor = V;
    if (HasHandle()) CreateHandle();
}

void TOrvexPen::SetPenStyle(TPenStyle V) {
    FPenStyle = V;
    if (HasHandle()) CreateHandle();
}

void TOrvexPen::SetPenWidth(uint8_t V) {
    FPenWidth = V;
    if (HasHandle()) CreateHandle();
}

void TOrvexPen::SetValues(TColor Color, TPenStyle Style, uint8_t Width) {
    FPenColor = Color;
    FPenStyle = Style;
    FPenWidth = Width;
    ReleaseHandle(BLACK_PEN);
}

void TOrvexPen::CopyFrom(const TPersistent* Source) {
    const auto* S = dynamic_cast<const TOrvexPen*>(Source);
    if (!S) AssignError(Source);
    SetPenColor(S->FPenColor);
    SetPenStyle(S->FPenStyle);
    SetPenWidth(S->FPenWidth);
}

void TOrvexPen::SaveToStream(TOrvexStream& Stream) {
    Stream.WriteInt32(FPenColor);
    Stream.WriteUInt8(FPenStyle);
    Stream.WriteUInt8(FPenWidth);
}

void TOrvexPen::LoadFromStream(TOrvexStream& Stream) {
    const TColor Color = Stream.ReadInt32();
    const TPenStyle Style = CheckedPenStyle(Stream.ReadUInt8());
    const uint8_t Width = Stream.ReadUInt8();
    FPenColor = Color;
    FPenStyle = Style;
    FPenWidth = Width;
    // A pen realized before reading no longer matches its values.
    ReleaseHandle(BLACK_PEN);
}

void TOrvexPen::CreateHandle() {
    ReleaseHandle(BLACK_PEN);
    if (!FLayer) return;
    FHandle = ::CreatePen(FPenStyle, FPenWidth, FPenColor);
}

bool TOrvexPen::IsEqual(const TOrvexAttribute* Other) const {
    const auto* O = dynamic_cast<const TOrvexPen*>(Other);
    return O && O->FPenColor == FPenColor && O->FPenStyle == FPenStyle && O->FPenWidth == FPenWidth;
}

void TOrvexPen::Apply(bool Selected) {
    if (!HasHandle()) CreateHandle();
    if (!HasHandle()) return;
    TDeviceContext* D = DC();
    if (!D) return;
    // Most objects in a row share their pen: selecting it again would only count references.
    const HGDIOBJ& Pen = Selected ? View()->SelectedPen().Handle() : FHandle;
    if (D->CurrentPen() != Pen) D->SelectObject(Pen);
    D->SetBkMode(BK_TRANSPARENT);
}

// ---------------------------------------------------------------------------------------
// TOrvexBrush

const TClassInfo& TOrvexBrush::StaticClassInfo() {
    using B = TOrvexBrush;
    static const TClassInfo Info{
        "TOrvexBrush",
        &TOrvexAttribute::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<B>("BrushColor", TPropKind::Integer, "TColor", [](const B& b) { return b.BrushColor(); },
                        [](B& b, TColor v) { b.SetBrushColor(v); }),
            MakeProp<B>(
                "BrushStyle", TPropKind::Enumeration, "TBrushStyle", [](const B& b) { return b.BrushStyle(); },
                [](B& b, int64_t v) { b.SetBrushStyle(CheckedBrushStyle(v)); }, BrushStyleNames),
        }};
    return Info;
}

const TClassInfo& TOrvexBrush::ClassInfo() const { return StaticClassInfo(); }

TOrvexBrush::TOrvexBrush(TOrvexLayer* Layer) : TOrvexAttribute(Layer) {}

TOrvexBrush::~TOrvexBrush() = default;

TOrvexBrush* TOrvexBrush::Create(TOrvexLayer* Layer) {
    auto* B = new TOrvexBrush(Layer);
    TOrvex3* V = B->View();
    if (V && V->DefaultBrush()) B->CopyFrom(V->DefaultBrush());
    return B;
}

TOrvexBrush* TOrvexBrush::CreateDetached(TColor Color, TBrushStyle Style) {
    auto* B = new TOrvexBrush(nullptr);
    B->SetBrushColor(Color);
    B->SetBrushStyle(Style);
    return B;
}

void TOrvexBrush::SetBrushColor(TColor V) {
    FBrushColor = V;
    if (HasHandle()) CreateHandle();
}

void TOrvexBrush::SetBrushStyle(TBrushStyle V) {
    FBrushStyle = V;
    if (HasHandle()) CreateHandle();
}

void TOrvexBrush::CopyFrom(const TPersistent* Source) {
    const auto* S = dynamic_cast<const TOrvexBrush*>(Source);
    if (!S) AssignError(Source);
    SetBrushColor(S->FBrushColor);
    SetBrushStyle(S->FBrushStyle);
}

void TOrvexBrush::SaveToStream(TOrvexStream& Stream) {
    Stream.WriteInt32(FBrushColor);
    Stream.WriteUInt8(FBrushStyle);
}

void TOrvexBrush::LoadFromStream(TOrvexStream& Stream) {
    const TColor Color = Stream.ReadInt32();
    const TBrushStyle Style = CheckedBrushStyle(Stream.ReadUInt8());
    FBrushColor = Color;
    FBrushStyle = Style;
    ReleaseHandle(WHITE_BRUSH);
}

void TOrvexBrush::CreateHandle() {
    ReleaseHandle(WHITE_BRUSH);
    if (!FLayer) return;
    TLogBrush L;
    switch (FBrushStyle) {
        case bsSolid:
            L.Style = BS_SOLID;
            break;
        case bsClear:
            L.Style = BS_NULL;
            break;
        default:
            L.Style = BS_HATCHED;
            L.Hatch = FBrushStyle - 2;  // bsHorizontal is HS_HORIZONTAL, and so on in order
            break;
    }
    L.Color = ColorToRGB(FBrushColor);
    FHandle = CreateBrushIndirect(L);
}

bool TOrvexBrush::IsEqual(const TOrvexAttribute* Other) const {
    const auto* O = dynamic_cast<const TOrvexBrush*>(Other);
    return O && O->FBrushColor == FBrushColor && O->FBrushStyle == FBrushStyle;
}

void TOrvexBrush::Apply(bool Selected) {
    if (!HasHandle()) CreateHandle();
    if (!HasHandle()) return;
    TDeviceContext* D = DC();
    if (!D) return;
    D->SelectObject(Selected ? View()->SelectedBrush().Handle() : FHandle);
}

// ---------------------------------------------------------------------------------------
// TOrvexFont

const TClassInfo& TOrvexFont::StaticClassInfo() {
    using F = TOrvexFont;
    static const TClassInfo Info{
        "TOrvexFont",
        &TOrvexAttribute::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<F>(
                "FontUnit", TPropKind::Enumeration, "TOrvexUnits", [](const F& f) { return f.FontUnit(); },
                [](F& f, int64_t v) { f.SetFontUnit(CheckedUnit(v)); }, UnitValueNames),
            MakeProp<F>("FontColor", TPropKind::Integer, "TColor", [](const F& f) { return f.FontColor(); },
                        [](F& f, TColor v) { f.SetFontColor(v); }),
            MakeProp<F>("FontSize", TPropKind::Integer, "Integer", [](const F& f) { return f.FontSize(); },
                        [](F& f, int32_t v) { f.SetFontSize(v); }),
            MakeProp<F>("FontAngle", TPropKind::Integer, "Integer", [](const F& f) { return f.FontAngle(); },
                        [](F& f, int32_t v) { f.SetFontAngle(v); }),
            MakeProp<F>(
                "FontStyle", TPropKind::Set, "TFontStyles", [](const F& f) { return f.FontStyle(); },
                [](F& f, int64_t v) { f.SetFontStyle(CheckedFontStyle(v)); }, FontStyleNames),
            MakeProp<F>("FontName", TPropKind::String, "String", [](const F& f) { return f.FontName(); },
                        [](F& f, std::string v) { f.SetFontName(v); }),
        }};
    return Info;
}

const TClassInfo& TOrvexFont::ClassInfo() const { return StaticClassInfo(); }

TOrvexFont::TOrvexFont(TOrvexLayer* Layer) : TOrvexAttribute(Layer) {}

TOrvexFont::~TOrvexFont() = default;

TOrvexFont* TOrvexFont::Create(TOrvexLayer* Layer) {
    auto* F = new TOrvexFont(Layer);
    TOrvex3* V = F->View();
    if (V && V->SymbolFont()) F->CopyFrom(V->SymbolFont());
    return F;
}

TOrvexFont* TOrvexFont::CreateDetached(const std::string& Name, TColor Color, TOrvexUnits Unit, int32_t Size,
                                       int32_t Angle, TFontStyles Style) {
    auto* F = new TOrvexFont(nullptr);
    F->SetFontName(Name);
    F->SetFontColor(Color);
    F->SetFontUnit(Unit);
    F->SetFontSize(Size);
    F->SetFontAngle(Angle);
    F->SetFontStyle(Style);
    return F;
}

void TOrvexFont::SetFontUnit(TOrvexUnits V) {
    FFontUnit = V;
    ReleaseHandle(SYSTEM_FONT);
}

void TOrvexFont::SetFontColor(TColor V) {
    FFontColor = V;
    ReleaseHandle(SYSTEM_FONT);
}

void TOrvexFont::SetFontSize(int32_t V) {
    FFontSize = V;
    ReleaseHandle(SYSTEM_FONT);
}

void TOrvexFont::SetFontAngle(int32_t V) {
    FFontAngle = V;
    ReleaseHandle(SYSTEM_FONT);
}

void TOrvexFont::SetFontStyle(TFontStyles V) {
    FFontStyle = V;
    ReleaseHandle(SYSTEM_FONT);
}

void TOrvexFont::SetFontName(const std::string& V) {
    FFontName = V;
    ReleaseHandle(SYSTEM_FONT);
}

int32_t TOrvexFont::FontHeight() const {
    const TOrvex3* V = View();
    if (!V || !V->Canvas()) return FFontUnit == Pixel ? FFontSize : 0;
    int64_t H;
    if (FFontUnit == Pixel) {
        H = ScreenToSurfacePixels(V, FFontSize);
    } else {
        const int32_t G = V->UnitsToOrvexUnits(1, FFontUnit);
        H = RoundSaturate(static_cast<long double>(G) * FFontSize * V->GetScaleFactor());
    }
    const int32_t M = FLayer ? ScreenToSurfacePixels(V, FLayer->MaxFontHeight()) : 0;
    if (M != 0 && M < std::llabs(H)) H = M;
    return static_cast<int32_t>(H);
}

void TOrvexFont::CopyFrom(const TPersistent* Source) {
    const auto* S = dynamic_cast<const TOrvexFont*>(Source);
    if (!S) AssignError(Source);
    SetFontName(S->FFontName);
    SetFontColor(S->FFontColor);
    SetFontStyle(S->FFontStyle);
    SetFontUnit(S->FFontUnit);
    SetFontSize(S->FFontSize);
    SetFontAngle(S->FFontAngle);
}

void TOrvexFont::SaveToStream(TOrvexStream& Stream) {
    Stream.WriteInt32(FFontColor);
    Stream.WriteUInt8(FFontUnit);
    Stream.WriteInt16(static_cast<int16_t>(FFontSize));
    Stream.WriteInt16(static_cast<int16_t>(FFontAngle));
    Stream.WriteUInt8(FFontStyle);
    Stream.WriteShortString(FFontName);
}

void TOrvexFont::LoadFromStream(TOrvexStream& Stream) {
    const TColor Color = Stream.ReadInt32();
    const TOrvexUnits Unit = CheckedUnit(Stream.ReadUInt8());
    const int16_t Size = Stream.ReadInt16();
    const int16_t Angle = Stream.ReadInt16();
    const TFontStyles Style = CheckedFontStyle(Stream.ReadUInt8());
    const std::string Name = Stream.ReadShortString();
    FFontColor = Color;
    FFontUnit = Unit;
    SetFontSize(Size);
    SetFontAngle(Angle);
    FFontStyle = Style;
    SetFontName(Name);
}

void TOrvexFont::CreateHandle() {
    ReleaseHandle(SYSTEM_FONT);
    TOrvex3* V = View();
    if (!FLayer || !V) return;
    const int32_t H = FontHeight();
    // The minimum grows with the surface's resolution: a printer has more pixels per inch.
    if (H < V->EffectiveMinTextHeight()) return;
    FRealizedHeight = H;
    TLogFont L;
    L.Height = -H;
    L.Width = 0;
    L.Escapement = FFontAngle;
    L.Orientation = FFontAngle;
    L.Weight = (FFontStyle & (1u << fsBold)) ? 700 : 400;
    L.Italic = (FFontStyle & (1u << fsItalic)) != 0;
    L.Underline = (FFontStyle & (1u << fsUnderline)) != 0;
    L.StrikeOut = (FFontStyle & (1u << fsStrikeOut)) != 0;
    L.CharSet = 1;
    L.FaceName = FFontName;
    FHandle = CreateFontIndirect(L);
}

bool TOrvexFont::IsEqual(const TOrvexAttribute* Other) const {
    const auto* O = dynamic_cast<const TOrvexFont*>(Other);
    return O && strcasecmp(O->FFontName.c_str(), FFontName.c_str()) == 0 && O->FFontColor == FFontColor &&
           O->FFontStyle == FFontStyle && O->FFontUnit == FFontUnit && O->FFontSize == FFontSize &&
           O->FFontAngle == FFontAngle;
}

void TOrvexFont::Apply(bool Selected) {
    // The pixel height follows the scale (for a length unit) and the surface's resolution.
    if (!HasHandle() || FontHeight() != FRealizedHeight) CreateHandle();
    if (!HasHandle()) return;
    TDeviceContext* D = DC();
    if (!D) return;
    D->SelectObject(FHandle);
    D->SetTextAlign(0);
    D->SetTextColor(ColorToRGB(Selected ? View()->SelectedPen().Color() : FFontColor));
    D->SetBkMode(BK_TRANSPARENT);
}
