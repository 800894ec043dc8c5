#include "platform/DeviceContext.h"

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "foundation/Cpu.h"
#include "foundation/OXUtils.h"

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

QColor ToQColor(TColor Color) {
    const uint32_t C = static_cast<uint32_t>(ColorToRGB(Color));
    return QColor(int(C & 0xFF), int((C >> 8) & 0xFF), int((C >> 16) & 0xFF));
}

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

QFont RealizeFont(const TLogFont& L) {
    QFont F;
    if (!L.FaceName.empty()) F.setFamilies({ToQString(L.FaceName)});
    F.setStyleStrategy(QFont::PreferDefault);
    // Qt's weight scale is LOGFONT's (100..900); 0 means "don't care".
    F.setWeight(L.Weight <= 0 ? QFont::Normal : QFont::Weight(std::clamp(L.Weight, 1, 1000)));
    F.setItalic(L.Italic);
    F.setUnderline(L.Underline);
    F.setStrikeOut(L.StrikeOut);
    if (L.Height < 0) {
        F.setPixelSize(std::max(1, -L.Height));
    } else if (L.Height > 0) {
        // A positive height is the cell height (ascent + descent): scale the em size to fit.
        F.setPixelSize(L.Height);
        const int Cell = QFontMetrics(F).height();
        if (Cell > 0 && Cell != L.Height)
            F.setPixelSize(std::max(1, RoundSaturate(static_cast<long double>(L.Height) * L.Height / Cell)));
    } else {
        F.setPixelSize(12);
    }
    if (L.Width > 0) {
        const int Avg = QFontMetrics(F).averageCharWidth();
        if (Avg > 0) F.setStretch(int(std::clamp<int64_t>(int64_t(L.Width) * 100 / Avg, 1, 4000)));
    }
    return F;
}

QPen RealizePen(const TLogPen& L) {
    if (L.Style == PS_NULL) return QPen(Qt::NoPen);
    QPen Q(ToQColor(L.Color));
    switch (L.Style) {
    case PS_DASH: Q.setStyle(Qt::DashLine); break;
    case PS_DOT: Q.setStyle(Qt::DotLine); break;
    case PS_DASHDOT: Q.setStyle(Qt::DashDotLine); break;
    case PS_DASHDOTDOT: Q.setStyle(Qt::DashDotDotLine); break;
    default: Q.setStyle(Qt::SolidLine); break;
    }
    // A flat cap leaves out the last pixel of a thin line, as GDI does.
    Q.setCapStyle(Qt::FlatCap);
    Q.setWidth(std::max(1, L.Width));
    Q.setJoinStyle(L.Width <= 1 ? Qt::MiterJoin : Qt::RoundJoin);
    return Q;
}

QBrush RealizeBrush(const TLogBrush& L) {
    if (L.Style == BS_NULL) return QBrush(Qt::NoBrush);
    if (L.Style == BS_HATCHED) {
        static constexpr Qt::BrushStyle Hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        const int H = (L.Hatch >= 0 && L.Hatch <= HS_DIAGCROSS) ? L.Hatch : HS_HORIZONTAL;
        return QBrush(ToQColor(L.Color), Hatches[H]);
    }
    return QBrush(ToQColor(L.Color));
}

// As in GDI, the gaps of hatches and styled pens show the background colour only in
// opaque mode.
void ApplyBackground(QPainter& P, int BkMode, TColor BkColor) {
    if (BkMode == BK_OPAQUE) {
        P.setBackgroundMode(Qt::OpaqueMode);
        P.setBackground(ToQColor(BkColor));
    } else {
        P.setBackgroundMode(Qt::TransparentMode);
    }
}

// The dash patterns of one-pixel pens, in pixels: on, off, on, off, ...
struct TDashPattern {
    int Count;
    int Runs[6];
    int Length;
};

const TDashPattern* DashPattern(int Style) {
    static constexpr TDashPattern Dash{2, {18, 6}, 24}, Dot{2, {3, 3}, 6}, DashDot{4, {9, 6, 3, 6}, 24},
                                  DashDotDot{6, {9, 3, 3, 3, 3, 3}, 24};
    switch (Style) {
    case PS_DASH: return &Dash;
    case PS_DOT: return &Dot;
    case PS_DASHDOT: return &DashDot;
    case PS_DASHDOTDOT: return &DashDotDot;
    default: return nullptr;
    }
}

bool DashOn(const TDashPattern* P, int64_t Phase) {
    if (!P) return true;
    int64_t R = Phase % P->Length;
    for (int I = 0; I < P->Count; ++I) {
        if (R < P->Runs[I]) return I % 2 == 0;
        R -= P->Runs[I];
    }
    return true;
}

// Products of two pixel distances can pass 64 bits; these divisions are exact (B > 0).
using TWide = __int128;
TWide FloorDiv(TWide A, TWide B) { return A / B - ((A % B != 0 && A < 0) ? 1 : 0); }
TWide CeilDiv(TWide A, TWide B) { return A / B + ((A % B != 0 && A > 0) ? 1 : 0); }

// Calls Plot(X, Y, K) for the pixels of the line from A towards B that lie in Bounds; K
// counts pixels from A. A is drawn and B left out. Each step along the major axis takes the
// pixel nearest the exact line, a tie going to the smaller coordinate, so that the line
// covers the same pixels whichever way it is drawn. Returns the number of pixels of the
// whole line; only those in Bounds are visited, so far-off lines cost nothing.
template <class F>
int64_t LinePixels(const TPixelPoint& A, const TPixelPoint& B, const QRect& Bounds, F&& Plot) {
    const int64_t DX = int64_t(B.X) - A.X, DY = int64_t(B.Y) - A.Y;
    const bool XMajor = std::llabs(DX) >= std::llabs(DY);
    // In (major, minor) coordinates.
    const int64_t M0 = XMajor ? A.X : A.Y, N0 = XMajor ? A.Y : A.X;
    const int64_t DM = XMajor ? DX : DY, DN = XMajor ? DY : DX;
    const int64_t MLo = XMajor ? Bounds.left() : Bounds.top(), MHi = XMajor ? Bounds.right() : Bounds.bottom();
    const int64_t NLo = XMajor ? Bounds.top() : Bounds.left(), NHi = XMajor ? Bounds.bottom() : Bounds.right();
    const int64_t N = std::llabs(DM);
    if (N == 0) return 0;
    const int64_t SM = DM > 0 ? 1 : -1;
    const int64_t D64 = 2 * N, Step = 2 * DN;
    auto Walk = [&](int64_t KLo, int64_t KHi, int64_t Q, int64_t R) {
        for (int64_t K = KLo; K <= KHi; ++K) {
            const int64_t Minor = N0 + Q;
            if (Minor >= NLo && Minor <= NHi) {
                const int64_t Major = M0 + SM * K;
                if (XMajor) Plot(int32_t(Major), int32_t(Minor), K);
                else Plot(int32_t(Minor), int32_t(Major), K);
            }
            R -= Step;
            if (R < 0) {
                ++Q;
                R += D64;
            } else if (R >= D64) {
                --Q;
                R -= D64;
            }
        }
    };
    // Most lines lie inside: they start at offset 0 with remainder N.
    if (Bounds.contains(A.X, A.Y) && Bounds.contains(B.X, B.Y)) {
        Walk(0, N - 1, 0, N);
        return N;
    }
    int64_t KLo = 0, KHi = N - 1;
    if (SM > 0) {
        KLo = std::max(KLo, MLo - M0);
        KHi = std::min(KHi, MHi - M0);
    } else {
        KLo = std::max(KLo, M0 - MHi);
        KHi = std::min(KHi, M0 - MLo);
    }
    // The minor offset at step k is ceil((2 DN k - N) / 2N); keep to the k whose offset can
    // lie in the bounds (one step of slack either side).
    const TWide D = TWide(2) * N;
    const TWide QLo = TWide(NLo) - N0, QHi = TWide(NHi) - N0;
    if (DN > 0) {
        KLo = int64_t(std::max<TWide>(KLo, FloorDiv(N * (2 * QLo - 1), 2 * TWide(DN)) - 1));
        KHi = int64_t(std::min<TWide>(KHi, FloorDiv(N * (2 * QHi + 1), 2 * TWide(DN)) + 1));
    } else if (DN < 0) {
        KLo = int64_t(std::max<TWide>(KLo, CeilDiv(-N * (2 * QHi + 1), -2 * TWide(DN)) - 1));
        KHi = int64_t(std::min<TWide>(KHi, CeilDiv(-N * (2 * QLo - 1), -2 * TWide(DN)) + 1));
    }
    if (KLo > KHi) return N;
    // The offset Q and its remainder R = Q D - (2 DN k - N), 0 <= R < D, at the first k.
    const TWide Num = TWide(2) * DN * KLo - N;
    const int64_t Q = int64_t(CeilDiv(Num, D));
    Walk(KLo, KHi, Q, int64_t(TWide(Q) * D - Num));
    return N;
}

// Twice the half-width of an ellipse's centre line at twice the offset Off2 from its centre,
// for twice the half-axes A2 (along the row) and B2 (across).
long double EllipseReach2(int64_t A2, int64_t B2, int64_t Off2) {
    if (B2 == 0) return static_cast<long double>(A2);
    const long double T = static_cast<long double>(Off2) / B2;
    return A2 * std::sqrt(std::max<long double>(0, 1 - T * T));
}

// Our whole-numbered points are pixel centres; Qt's name pixel corners and fill a pixel
// when its centre lies inside, a centre on an edge going to the right and lower side. Just
// short of half a pixel on, Qt fills as GDI does: the pixels whose points lie inside, with
// the left and top edges and without the right and bottom ones.
constexpr double QtCentre = 0.5 - 1.0 / 64;

// Pixels of ink waiting to be drawn are flushed at this many, so memory stays bounded.
constexpr size_t PixelBatch = 16384;

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

struct TDeviceContext::TLaidText {
    QList<QGlyphRun> Runs;
    qreal Ascent = 0;
    // Each glyph's coverage mask in the font's store, placed from the text's left end and
    // baseline; worked out the first time the text is drawn on an image.
    struct TPlaced {
        int32_t X = 0, Y = 0;
        uint32_t Mask = 0;
    };
    std::vector<TPlaced> Glyphs;
    int32_t InkLeft = 0, InkTop = 0, InkRight = 0, InkBottom = 0;  // the glyphs' box, ends excluded
    enum class TMasks : uint8_t { NotYet, Ready, Unusable } Masks = TMasks::NotYet;
    // The text drawn after this one the last time: frames draw the same titles in the same
    // order, so the next one is known before it is asked for. Valid within a store generation.
    TLaidText* Next = nullptr;
    const std::string* NextKey = nullptr;
    const void* NextFont = nullptr;
};

namespace {

// A glyph's coverage as the raster engine blits it, trimmed to its inked pixels.
struct TGlyphMask {
    int32_t X = 0, Y = 0, W = 0, H = 0;  // inked box, from the glyph's whole-pixel origin
    int32_t Stride = 0;                  // pixels per row in the pool: W padded with no coverage
    size_t Offset = 0;                   // in the pool
};
// Rows are padded to whole blocks of this many pixels, blended together.
constexpr int32_t BlendBlock = 8;
struct TGlyphMasks {
    std::vector<QRawFont> Fonts;  // fallback fonts make a text's runs differ
    // Font, glyph and the origin's fractions (positions are in 64ths) -> mask.
    std::unordered_map<uint64_t, uint32_t> Index;
    std::vector<TGlyphMask> Masks;
    std::vector<uint8_t> Pool;  // coverage repeated for each of a pixel's three bytes
};

// Texts laid out once per font and text. Every frame makes a fresh device context and draws
// the same titles again, and shaping is most of what drawing a short text costs, so the store
// outlives the contexts. Bounded, and dropped as a whole when full.
using TLaidTexts = std::unordered_map<std::string, TDeviceContext::TLaidText>;
struct TFontTexts {
    TLaidTexts Texts;
    TGlyphMasks Masks;
};
struct TTextStore {
    std::unordered_map<QString, TFontTexts> Fonts;
    size_t Count = 0;
    uint64_t Generation = 1;
};
TTextStore& TextStore() {
    // Never freed: its glyphs hold fonts, which must not be released after Qt has shut down.
    thread_local TTextStore* const Store = new TTextStore;
    return *Store;
}

}  // namespace

namespace {
struct TPendingDraw {
    enum class TKind : uint8_t { None, Stamp, Glyphs } Kind = TKind::None;
    uchar* Bits = nullptr;  // the stamp's corner; for glyphs the picture's first byte
    qsizetype Stride = 0;
    int PixelBytes = 0;
    const TDeviceContext::TLaidText* Text = nullptr;
    const TGlyphMasks* Masks = nullptr;  // the text's font's
    int64_t X = 0, Y = 0, Width = 0, Height = 0;  // the text's origin, and the picture's size
    uint32_t Colour = 0;
};
}  // namespace

struct TDeviceContext::TState {
    QPen Pen;
    QBrush Brush;
    QFont Font;
    // Titles are measured and then drawn, one after the other: the metrics of the selected
    // font and the last text with its width are kept so that neither is worked out twice.
    std::optional<QFontMetrics> Metrics;
    int Ascent = 0, Descent = 0;  // the metrics' own, which cost a font engine lookup each
    std::string Text;
    QString QText;
    int Width = -1;  // of QText in Font; -1 until measured
    // The selected font's texts in the text store, valid while the store keeps its generation.
    TFontTexts* LaidInFont = nullptr;
    uint64_t LaidGeneration = 0;
    TLaidText* LastLaid = nullptr;  // the text laid out last, in any font of LaidGeneration
    std::vector<QPointF> Points;
    // Pixels of one-pixel pens: the pen's colour, and the background in the gaps of dashes.
    std::vector<QPoint> Ink, Gaps;
    std::vector<QRect> Spans;
    // Reaches of the last ellipse's rows and columns: point symbols repeat one size.
    struct TReach {
        long double Reach2 = 0;
        int64_t Whole = 0;  // floor of Reach2
        int64_t Part = 0;   // 1 when Reach2 has a fraction
    };
    int64_t ReachA2 = -1, ReachB2 = -1;
    bool ReachWhole = false;  // no reach lies so near a whole number that rounding could matter
    std::vector<TReach> RowReach, ColumnReach;
    // That ellipse's fill and outline from its box's corner, once worked out in whole numbers.
    bool ShapeReady = false;
    std::vector<QRect> ShapeSpans;
    std::vector<QPoint> ShapeDots;
    // The same as runs along each row, fill without the outline's pixels, so that each row is
    // written once from left to right.
    struct TRun {
        int X, Y, Width;
        bool Outline;
    };
    std::vector<TRun> ShapeRuns;
    void BuildShapeRuns();
    // The shape in two colours as one stamp per row: the row's bytes from its first pixel,
    // already masked, and which of them it sets. Empty when a row is too wide for a stamp.
    struct TStampRow {
        alignas(16) uint8_t Bytes[32];
        alignas(16) uint8_t Mask[32];
        int X, Y;
    };
    std::vector<TStampRow> Stamp;
    uint64_t StampKey = 0;  // the colours and kind of picture it was made for; 0 for none
    bool BuildStamp(uint64_t Key, const uint8_t* Inside, const uint8_t* Outline, bool Filled, int PixelBytes);
    // While scattered, the last symbol or title, held back until the next one's pixels are on
    // their way from memory. It keeps what it draws with: the stamp above (rebuilt only after
    // it is drawn) or a stored text with its font's masks.
    bool Scattered = false;
    TPendingDraw Pending;
    QTransform Base;  // the painter's transform when the context was made
};

TDeviceContext::TDeviceContext(QPainter* Painter) : FPainter(Painter), FState(std::make_unique<TState>()) {
    FState->Base = FPainter->transform();
    FPen = GetStockObject(BLACK_PEN);
    FBrush = GetStockObject(WHITE_BRUSH);
    FFont = GetStockObject(SYSTEM_FONT);
    FState->Pen = RealizePen(FPen->Pen);
    FState->Brush = RealizeBrush(FBrush->Brush);
    FState->Font = RealizeFont(FFont->Font);
}

TDeviceContext::~TDeviceContext() { Settle(); }

int TDeviceContext::LogPixelsY() const {
    const QPaintDevice* D = FPainter->device();
    return D ? D->logicalDpiY() : 96;
}

HGDIOBJ TDeviceContext::SelectObject(const HGDIOBJ& Object) {
    if (!Object) return nullptr;
    HGDIOBJ Previous;
    switch (Object->Kind) {
    case TGdiKind::Pen:
        Previous = std::exchange(FPen, Object);
        if (Previous != Object) FState->Pen = RealizePen(Object->Pen);
        break;
    case TGdiKind::Brush:
        Previous = std::exchange(FBrush, Object);
        if (Previous != Object) FState->Brush = RealizeBrush(Object->Brush);
        break;
    case TGdiKind::Font:
        Previous = std::exchange(FFont, Object);
        if (Previous != Object) {
            FState->Font = RealizeFont(Object->Font);
            FState->Metrics.reset();
            FState->LaidInFont = nullptr;
        }
        break;
    }
    return Previous;
}

int TDeviceContext::SetBkMode(int Mode) { return std::exchange(FBkMode, Mode); }

unsigned TDeviceContext::SetTextAlign(unsigned Align) { return std::exchange(FTextAlign, Align); }

TColor TDeviceContext::SetTextColor(TColor Color) { return std::exchange(FTextColor, Color); }

bool TDeviceContext::PixelExact() const {
    const QPaintEngine* Engine = FPainter->paintEngine();
    if (!Engine || Engine->type() != QPaintEngine::Raster) return false;
    const QTransform T = FPainter->deviceTransform();
    return T.type() <= QTransform::TxTranslate && T.dx() == std::floor(T.dx()) && T.dy() == std::floor(T.dy());
}

QRect TDeviceContext::PixelBounds() const {
    const QPaintDevice* Device = FPainter->device();
    const QTransform T = FPainter->deviceTransform();
    QRect R(0, 0, Device ? Device->width() : 0, Device ? Device->height() : 0);
    // Narrowed with a bound: a painter moved beyond any picture must not overflow an int.
    auto Offset = [](qreal V) { return std::isnan(V) ? 0 : int(std::clamp<qreal>(V, -1e9, 1e9)); };
    R.translate(-Offset(T.dx()), -Offset(T.dy()));
    if (FPainter->hasClipping()) R &= FPainter->clipBoundingRect().toAlignedRect();
    return R;
}

bool TDeviceContext::ThinPen() const { return FPen->Pen.Style != PS_NULL && FPen->Pen.Width <= 1; }

// The painting's image, if it paints on one: without the cost of a dynamic cast at each
// symbol and title.
// Only a change of the hint reaches the painter, which otherwise redoes its state each time.
static void SetSmooth(QPainter& Painter, bool Smooth) {
    if (Painter.testRenderHint(QPainter::Antialiasing) != Smooth) Painter.setRenderHint(QPainter::Antialiasing, Smooth);
}

static QImage* SurfaceImage(QPaintDevice* Device) {
    return Device && Device->devType() == QInternal::Image ? static_cast<QImage*>(Device) : nullptr;
}

// The painter's image and where logical pixels lie in it, when it paints plainly on a 24- or
// 32-bit image (at most a rectangular clip, which callers already keep to): Qt's points and
// spans cost a transform and a blend call each. An image being painted on is never shared,
// so writing to it is safe.
struct TDeviceContext::TDirect {
    uchar* Bits = nullptr;
    qsizetype Stride = 0, Height = 0;
    int DX = 0, DY = 0;
    bool Packed = false;  // 32 bits a pixel, else 24
    bool Bgr = false;     // 24 bits in blue, green, red order
    QRect Bounds;         // as PixelBounds gives them
    // An opaque colour as the image holds it.
    struct TInk {
        uint8_t Byte[3];
        uint32_t Word;
    };
    TInk Ink(TColor Color) const {
        const uint32_t C = static_cast<uint32_t>(ColorToRGB(Color));
        const uint8_t R = C & 0xFF, G = (C >> 8) & 0xFF, B = (C >> 16) & 0xFF;
        return TInk{{Bgr ? B : R, G, Bgr ? R : B}, 0xFF000000u | uint32_t(R) << 16 | uint32_t(G) << 8 | B};
    }
    void Prefetch(int X, int Y) const {
        __builtin_prefetch(Bits + qsizetype(Y + DY) * Stride + qsizetype(X + DX) * (Packed ? 4 : 3), 1);
    }
    // Count pixels from the logical pixel (X, Y) rightwards.
    void Run(int X, int Y, int Count, const TInk& I) const {
        uchar* Row = Bits + qsizetype(Y + DY) * Stride;
        if (Packed) {
            std::fill_n(reinterpret_cast<uint32_t*>(Row) + (X + DX), Count, I.Word);
            return;
        }
        uchar* First = Row + qsizetype(X + DX) * 3;
        if (Count == 1) {
            // Outlines are mostly single pixels: no loop set-up.
            First[0] = I.Byte[0];
            First[1] = I.Byte[1];
            First[2] = I.Byte[2];
            return;
        }
        if (Count >= LongRun) {
            // Long runs are copied from a row of the colour, many pixels a move.
            alignas(16) uchar Pattern[3 * LongRun];
            for (int K = 0; K < 3 * LongRun; ++K) Pattern[K] = I.Byte[K % 3];
            uchar* Px = First;
            for (int Left = Count; Left > 0; Left -= LongRun, Px += 3 * LongRun)
                std::memcpy(Px, Pattern, size_t(std::min(Left, LongRun)) * 3);
            return;
        }
        for (uchar *Px = First, *End = Px + qsizetype(Count) * 3; Px < End; Px += 3) {
            Px[0] = I.Byte[0];
            Px[1] = I.Byte[1];
            Px[2] = I.Byte[2];
        }
    }
    static constexpr int LongRun = 64;
    // What a stamp is made for: its two colours and the kind of picture.
    uint64_t StampKey(const TInk& Inside, const TInk& Outline, bool Filled) const {
        return uint64_t(Inside.Word & 0xFFFFFF) << 32 | uint64_t(Outline.Word & 0xFFFFFF) << 8 | uint64_t(Bgr) << 3 |
               uint64_t(Filled) << 2 | uint64_t(Packed) << 1 | 1;
    }
    // The state's shape with its corner at the logical pixel Corner, as a stamp: the
    // picture's byte under the corner, or null when the shape has no stamp or a row's stamp
    // would reach past the picture's memory.
    uchar* Stamp(TState& S, QPoint Corner, const TInk& Inside, const TInk& Outline, bool Filled) const {
        const int PixelBytes = Packed ? 4 : 3;
        uint8_t In[4], Out[4];
        std::memcpy(In, Packed ? static_cast<const void*>(&Inside.Word) : Inside.Byte, size_t(PixelBytes));
        std::memcpy(Out, Packed ? static_cast<const void*>(&Outline.Word) : Outline.Byte, size_t(PixelBytes));
        if (!S.BuildStamp(StampKey(Inside, Outline, Filled), In, Out, Filled, PixelBytes)) return nullptr;
        const qsizetype Size = Stride * Height;
        const qsizetype Origin = qsizetype(Corner.y() + DY) * Stride + qsizetype(Corner.x() + DX) * PixelBytes;
        if (Origin < 0) return nullptr;
        for (const TState::TStampRow& R : S.Stamp) {
            const qsizetype At = Origin + qsizetype(R.Y) * Stride + qsizetype(R.X) * PixelBytes;
            if (At < 0 || At + 32 > Size) return nullptr;
        }
        return Bits + Origin;
    }
};

namespace {

template <typename TRows, typename TEach>
void ForStampRows(const TRows& Rows, uchar* Corner, qsizetype Stride, int PixelBytes, TEach&& Each) {
    for (const auto& R : Rows) Each(R, Corner + qsizetype(R.Y) * Stride + qsizetype(R.X) * PixelBytes);
}

template <typename TRows>
void PrefetchStamp(const TRows& Rows, uchar* Corner, qsizetype Stride, int PixelBytes) {
    ForStampRows(Rows, Corner, Stride, PixelBytes, [](const auto&, uchar* P) {
        __builtin_prefetch(P, 1);
        __builtin_prefetch(P + 31, 1);
    });
}

template <typename TRows>
void ApplyStamp(const TRows& Rows, uchar* Corner, qsizetype Stride, int PixelBytes) {
    ForStampRows(Rows, Corner, Stride, PixelBytes, [](const auto& R, uchar* P) {
#if defined(__SSE2__)
        for (int Half = 0; Half < 32; Half += 16) {
            const __m128i M = _mm_load_si128(reinterpret_cast<const __m128i*>(R.Mask + Half));
            const __m128i B = _mm_load_si128(reinterpret_cast<const __m128i*>(R.Bytes + Half));
            const __m128i Old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + Half));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(P + Half), _mm_or_si128(B, _mm_andnot_si128(M, Old)));
        }
#else
        for (int K = 0; K < 32; ++K) P[K] = uchar(R.Bytes[K] | (P[K] & ~R.Mask[K]));
#endif
    });
}

}  // namespace

bool TDeviceContext::Direct(TDirect& D) const {
    QImage* Image = SurfaceImage(FPainter->device());
    if (!Image || FPainter->compositionMode() != QPainter::CompositionMode_SourceOver || FPainter->opacity() != 1.0)
        return false;
    if (FPainter->hasClipping() && FPainter->clipRegion().rectCount() > 1) return false;
    const QImage::Format Format = Image->format();
    D.Packed = Format == QImage::Format_RGB32 || Format == QImage::Format_ARGB32 ||
               Format == QImage::Format_ARGB32_Premultiplied;
    if (!D.Packed && Format != QImage::Format_BGR888 && Format != QImage::Format_RGB888) return false;
    D.Bgr = Format == QImage::Format_BGR888;
    const QTransform T = FPainter->deviceTransform();
    // Offsets beyond any picture are left to Qt rather than narrowed to int.
    if (!(std::abs(T.dx()) <= 1e9 && std::abs(T.dy()) <= 1e9)) return false;
    D.DX = int(T.dx());
    D.DY = int(T.dy());
    D.Bits = Image->bits();
    D.Stride = Image->bytesPerLine();
    D.Height = Image->height();
    D.Bounds = QRect(-D.DX, -D.DY, Image->width(), Image->height());
    if (FPainter->hasClipping()) D.Bounds &= FPainter->clipBoundingRect().toAlignedRect();
    return true;
}

bool TDeviceContext::SetPixels(const std::vector<QPoint>& Points, TColor Color) {
    TDirect D;
    if (!Direct(D)) return false;
    const TDirect::TInk Ink = D.Ink(Color);
    for (const QPoint& P : Points) D.Run(P.x(), P.y(), 1, Ink);
    return true;
}

bool TDeviceContext::FillSpans(const std::vector<QRect>& Spans, TColor Color) {
    TDirect D;
    if (!Direct(D)) return false;
    const TDirect::TInk Ink = D.Ink(Color);
    for (const QRect& R : Spans) D.Run(R.x(), R.y(), R.width(), Ink);
    return true;
}

void TDeviceContext::FlushPixels() {
    auto Flush = [this](std::vector<QPoint>& Points, TColor Color) {
        if (Points.empty()) return;
        if (!SetPixels(Points, Color)) {
            // Cosmetic pens of width 0 set exactly one pixel per point.
            FPainter->setPen(QPen(ToQColor(Color), 0));
            FPainter->drawPoints(Points.data(), int(Points.size()));
        }
        Points.clear();
    };
    Flush(FState->Gaps, FBkColor);
    Flush(FState->Ink, FPen->Pen.Color);
}

void TDeviceContext::ThinLines(const TPixelPoint* Points, int Count, bool Closed) {
    const QRect Bounds = PixelBounds();
    const TDashPattern* Dash = DashPattern(FPen->Pen.Style);
    const bool Opaque = FBkMode == BK_OPAQUE;
    auto& Ink = FState->Ink;
    auto& Gaps = FState->Gaps;
    SetSmooth(*FPainter, false);
    int64_t Phase = 0;
    auto Segment = [&](const TPixelPoint& A, const TPixelPoint& B) {
        Phase += LinePixels(A, B, Bounds, [&](int32_t X, int32_t Y, int64_t K) {
            if (DashOn(Dash, Phase + K)) Ink.emplace_back(X, Y);
            else if (Opaque) Gaps.emplace_back(X, Y);
        });
        if (Ink.size() >= PixelBatch || Gaps.size() >= PixelBatch) FlushPixels();
    };
    for (int I = 1; I < Count; ++I) Segment(Points[I - 1], Points[I]);
    if (Closed) Segment(Points[Count - 1], Points[0]);
    FlushPixels();
}

const QPointF* TDeviceContext::Centred(const TPixelPoint* Points, int Count) {
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int I = 0; I < Count; ++I) Buf[size_t(I)] = QPointF(Points[I].X + QtCentre, Points[I].Y + QtCentre);
    return Buf.data();
}

const QPointF* TDeviceContext::PixelCentres(const TPixelPoint* Points, int Count) {
    auto& Buf = FState->Points;
    Buf.resize(size_t(Count));
    for (int I = 0; I < Count; ++I) Buf[size_t(I)] = QPointF(Points[I].X + 0.5, Points[I].Y + 0.5);
    return Buf.data();
}

void TDeviceContext::SmoothLines(const TPixelPoint* Points, int Count, bool Closed, const QPen& Pen) {
    QPen P = Pen;
    // One-pixel dashes keep the lengths they have when drawn pixel by pixel.
    if (const TDashPattern* Dash = DashPattern(FPen->Pen.Style); Dash && FPen->Pen.Width <= 1 && Pen.style() != Qt::SolidLine) {
        QList<qreal> Runs;
        for (int I = 0; I < Dash->Count; ++I) Runs << Dash->Runs[I];
        P.setDashPattern(Runs);
    }
    SetSmooth(*FPainter, true);
    FPainter->setPen(P);
    FPainter->setBrush(Qt::NoBrush);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    const QPointF* Q = PixelCentres(Points, Count);
    if (Closed) FPainter->drawPolygon(Q, Count);
    else FPainter->drawPolyline(Q, Count);
    SetSmooth(*FPainter, false);
}

void TDeviceContext::Polyline(const TPixelPoint* Points, int Count) {
    Settle();
    if (Count < 2 || FPen->Pen.Style == PS_NULL) return;
    if (FAntialiasing) {
        SmoothLines(Points, Count, false, FState->Pen);
        return;
    }
    if (ThinPen() && PixelExact()) {
        ThinLines(Points, Count, false);
        return;
    }
    SetSmooth(*FPainter, false);
    FPainter->setPen(FState->Pen);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    FPainter->drawPolyline(Centred(Points, Count), Count);
}

// The box of Points when they outline it as an upright rectangle, so that the fill is just
// the box's pixels (right and bottom edge excluded): every edge runs along a side of the box,
// and those on its right side run one way, once from top to bottom.
static std::optional<QRect> UprightRectangle(const TPixelPoint* Points, int Count) {
    int64_t L = Points[0].X, R = L, T = Points[0].Y, B = T;
    for (int I = 1; I < Count; ++I) {
        L = std::min<int64_t>(L, Points[I].X), R = std::max<int64_t>(R, Points[I].X);
        T = std::min<int64_t>(T, Points[I].Y), B = std::max<int64_t>(B, Points[I].Y);
    }
    if (R - L < 1 || B - T < 1 || R - L > INT32_MAX || B - T > INT32_MAX) return std::nullopt;
    int64_t Down = 0, Up = 0;
    for (int I = 0; I < Count; ++I) {
        const TPixelPoint& P = Points[I];
        const TPixelPoint& N = Points[I + 1 < Count ? I + 1 : 0];
        if (P.Y == N.Y && (P.Y == T || P.Y == B)) continue;
        if (P.X != N.X || (P.X != L && P.X != R)) return std::nullopt;
        if (P.X == R) (N.Y > P.Y ? Down : Up) += std::llabs(int64_t(N.Y) - P.Y);
    }
    if (!((Down == B - T && Up == 0) || (Up == B - T && Down == 0))) return std::nullopt;
    return QRect(int(L), int(T), int(R - L), int(B - T));
}

bool TDeviceContext::FillUprightRectangle(const TPixelPoint* Points, int Count) {
    if (FBrush->Brush.Style != BS_SOLID || Count < 4 || !PixelExact()) return false;
    const std::optional<QRect> Box = UprightRectangle(Points, Count);
    TDirect D;
    if (!Box || !Direct(D)) return false;
    const QRect Inside = *Box & D.Bounds;
    const TDirect::TInk Ink = D.Ink(FBrush->Brush.Color);
    for (int Y = Inside.top(); Y <= Inside.bottom(); ++Y) D.Run(Inside.left(), Y, Inside.width(), Ink);
    return true;
}

void TDeviceContext::Polygon(const TPixelPoint* Points, int Count) {
    Settle();
    if (Count < 2) return;
    SetSmooth(*FPainter, false);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    // A flat map's background: Qt fills 24-bit pictures pixel by pixel, and hands large fills
    // to other threads and waits for them.
    if (FillUprightRectangle(Points, Count)) {
        if (FAntialiasing) {
            if (FPen->Pen.Style != PS_NULL) SmoothLines(Points, Count, true, FState->Pen);
            else SmoothLines(Points, Count, true, QPen(FState->Brush.color(), 1));
        } else if (ThinPen()) {
            ThinLines(Points, Count, true);
        } else if (FPen->Pen.Style != PS_NULL) {
            FPainter->setPen(FState->Pen);
            FPainter->setBrush(Qt::NoBrush);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        return;
    }
    FPainter->setBrush(FState->Brush);
    if (FAntialiasing) {
        // A smooth fill would leave each shared edge half covered by both neighbours, and
        // the background would show through: the fill keeps to whole pixels and only the
        // edge is smooth, drawn over it.
        if (FBrush->Brush.Style != BS_NULL) {
            FPainter->setPen(Qt::NoPen);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        if (FPen->Pen.Style != PS_NULL)
            SmoothLines(Points, Count, true, FState->Pen);
        else if (FBrush->Brush.Style == BS_SOLID)
            SmoothLines(Points, Count, true, QPen(FState->Brush.color(), 1));
        return;
    }
    if (ThinPen() && PixelExact()) {
        // The fill takes the pixels whose centres lie inside, so it keeps within the
        // outline, which then runs through every vertex, each edge from its first pixel.
        if (FBrush->Brush.Style != BS_NULL) {
            FPainter->setPen(Qt::NoPen);
            FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
        }
        ThinLines(Points, Count, true);
        return;
    }
    FPainter->setPen(FState->Pen);
    FPainter->drawPolygon(Centred(Points, Count), Count, Qt::OddEvenFill);
}

void TDeviceContext::Ellipse(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, true); }

void TDeviceContext::Rectangle(int Left, int Top, int Right, int Bottom) { Box(Left, Top, Right, Bottom, false); }

void TDeviceContext::FillBox(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, const QRect& Bounds) {
    Left = std::max<int64_t>(Left, Bounds.left());
    Top = std::max<int64_t>(Top, Bounds.top());
    Right = std::min<int64_t>(Right, int64_t(Bounds.right()) + 1);
    Bottom = std::min<int64_t>(Bottom, int64_t(Bounds.bottom()) + 1);
    if (Right <= Left || Bottom <= Top || FBrush->Brush.Style == BS_NULL) return;
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(FState->Brush);
    FPainter->drawRect(QRect(int(Left), int(Top), int(Right - Left), int(Bottom - Top)));
}

// The fill span less the outline's pixels, and the outline's pixels joined where they touch,
// in order along each row; pixels come out as the fill and then the outline would leave them.
void TDeviceContext::TState::BuildShapeRuns() {
    std::vector<QPoint> Dots = ShapeDots;
    std::sort(Dots.begin(), Dots.end(), [](const QPoint& A, const QPoint& B) {
        return A.y() != B.y() ? A.y() < B.y() : A.x() < B.x();
    });
    Dots.erase(std::unique(Dots.begin(), Dots.end()), Dots.end());
    ShapeRuns.clear();
    size_t D = 0;
    // Outline pixels of row Y from From on, joined where they touch; calls Gap for the fill
    // before each.
    auto Outline = [&](int Y, auto&& Gap) {
        while (D < Dots.size() && Dots[D].y() == Y) {
            const int From = Dots[D].x();
            int To = From + 1;
            for (++D; D < Dots.size() && Dots[D].y() == Y && Dots[D].x() == To; ++D) ++To;
            Gap(From, To);
            ShapeRuns.push_back({From, Y, To - From, true});
        }
    };
    auto NoFill = [](int, int) {};
    for (const QRect& Span : ShapeSpans) {
        const int Y = Span.y();
        while (D < Dots.size() && Dots[D].y() < Y) Outline(Dots[D].y(), NoFill);
        int X = Span.x();
        const int End = Span.x() + Span.width();
        Outline(Y, [&](int From, int To) {
            if (From > X && X < End) ShapeRuns.push_back({X, Y, std::min(From, End) - X, false});
            X = std::max(X, To);
        });
        if (X < End) ShapeRuns.push_back({X, Y, End - X, false});
    }
    while (D < Dots.size()) Outline(Dots[D].y(), NoFill);
}

bool TDeviceContext::TState::BuildStamp(uint64_t Key, const uint8_t* Inside, const uint8_t* Outline, bool Filled,
                                        int PixelBytes) {
    if (StampKey == Key) return !Stamp.empty();
    StampKey = Key;
    Stamp.clear();
    for (size_t I = 0; I < ShapeRuns.size();) {
        TStampRow Row{};
        Row.X = ShapeRuns[I].X;
        Row.Y = ShapeRuns[I].Y;
        for (; I < ShapeRuns.size() && ShapeRuns[I].Y == Row.Y; ++I) {
            const TRun& R = ShapeRuns[I];
            if (!R.Outline && !Filled) continue;
            const int64_t From = int64_t(R.X - Row.X) * PixelBytes, To = From + int64_t(R.Width) * PixelBytes;
            if (From < 0 || To > 32) {
                Stamp.clear();
                return false;
            }
            const uint8_t* Colour = R.Outline ? Outline : Inside;
            for (int64_t B = From; B < To; ++B) {
                Row.Bytes[B] = Colour[(B - From) % PixelBytes];
                Row.Mask[B] = 0xFF;
            }
        }
        Stamp.push_back(Row);
    }
    return !Stamp.empty();
}

void TDeviceContext::ThinEllipse(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom) {
    // The pen's centre line runs through the centres of the box's outermost pixels. Each
    // row takes its outermost pixels and each column its topmost and bottommost, so that
    // the outline has no gaps; all in doubled coordinates, mirrored about the centre.
    TDirect D;
    const bool HasDirect = Direct(D);
    const QRect Bounds = HasDirect ? D.Bounds : PixelBounds();
    const int64_t A2 = Right - Left - 1, B2 = Bottom - Top - 1;
    const int64_t CX2 = Left + Right - 1, CY2 = Top + Bottom - 1;
    const int64_t Y0 = std::max<int64_t>(Top, Bounds.top()), Y1 = std::min<int64_t>(Bottom - 1, Bounds.bottom());
    const int64_t X0 = std::max<int64_t>(Left, Bounds.left()), X1 = std::min<int64_t>(Right - 1, Bounds.right());
    auto& Ink = FState->Ink;
    auto Plot = [&](int64_t X, int64_t Y) {
        if (X >= Bounds.left() && X <= Bounds.right() && Y >= Bounds.top() && Y <= Bounds.bottom())
            Ink.emplace_back(int(X), int(Y));
        if (Ink.size() >= PixelBatch) FlushPixels();
    };
    constexpr int64_t MostCachedSide = 4096;
    TState& S = *FState;
    const bool Cached = A2 < MostCachedSide && B2 < MostCachedSide;
    if (Cached && (S.ReachA2 != A2 || S.ReachB2 != B2)) {
        S.ReachWhole = true;
        auto Keep = [&S](long double R) {
            const int64_t W = FloorInt64(R);
            const long double F = R - W;
            constexpr long double Close = 0x1p-40L;
            if (F > 0 && (F < Close || 1 - F < Close)) S.ReachWhole = false;
            return TState::TReach{R, W, F > 0};
        };
        S.RowReach.resize(size_t(B2 + 1));
        for (int64_t I = 0; I <= B2; ++I) S.RowReach[size_t(I)] = Keep(EllipseReach2(A2, B2, std::llabs(2 * I - B2)));
        S.ColumnReach.resize(size_t(A2 + 1));
        for (int64_t I = 0; I <= A2; ++I) S.ColumnReach[size_t(I)] = Keep(EllipseReach2(B2, A2, std::llabs(2 * I - A2)));
        S.ReachA2 = A2;
        S.ReachB2 = B2;
        S.ShapeReady = false;
    }
    // Near the surface and with no reach within a hair of a whole number, the real sum below
    // rounds to nothing that moves its floor, so whole numbers give the same pixels.
    constexpr int64_t Small = int64_t(1) << 20;
    const bool Whole = Cached && S.ReachWhole && std::llabs(CX2) < Small && std::llabs(CY2) < Small;
    auto Near = [Whole](int64_t C2, const TState::TReach& R) {
        return Whole ? (C2 + 1 - R.Whole - R.Part) >> 1 : FloorInt64((C2 - R.Reach2 + 1) / 2);
    };
    auto RowReach = [&](int64_t Y) {
        return Cached ? S.RowReach[size_t(Y - Top)] : TState::TReach{EllipseReach2(A2, B2, std::llabs(2 * Y - CY2))};
    };
    auto ColumnReach = [&](int64_t X) {
        return Cached ? S.ColumnReach[size_t(X - Left)] : TState::TReach{EllipseReach2(B2, A2, std::llabs(2 * X - CX2))};
    };
    auto& Spans = FState->Spans;
    Spans.clear();
    auto Fill = [&] {
        if (FBrush->Brush.Style != BS_NULL && !Spans.empty() &&
            !(FBrush->Brush.Style == BS_SOLID && FillSpans(Spans, FBrush->Brush.Color))) {
            FPainter->setPen(Qt::NoPen);
            FPainter->setBrush(FState->Brush);
            FPainter->drawRects(Spans.data(), int(Spans.size()));
        }
    };
    if (Whole && Left >= Bounds.left() && Right - 1 <= Bounds.right() && Top >= Bounds.top() &&
        Bottom - 1 <= Bounds.bottom()) {
        // Whole numbers place every ellipse of a size alike from its corner: point symbols
        // repeat one shape.
        if (!S.ShapeReady) {
            S.ShapeSpans.clear();
            S.ShapeDots.clear();
            for (int64_t Y = 0; Y <= B2; ++Y) {
                const int64_t L = Near(A2, S.RowReach[size_t(Y)]), R = A2 - L;
                S.ShapeSpans.emplace_back(int(std::min(L, R)), int(Y), int(std::llabs(R - L) + 1), 1);
                S.ShapeDots.emplace_back(int(L), int(Y));
                S.ShapeDots.emplace_back(int(R), int(Y));
            }
            for (int64_t X = 0; X <= A2; ++X) {
                const int64_t T = Near(B2, S.ColumnReach[size_t(X)]);
                S.ShapeDots.emplace_back(int(X), int(T));
                S.ShapeDots.emplace_back(int(X), int(B2 - T));
            }
            S.BuildShapeRuns();
            S.ShapeReady = true;
            S.StampKey = 0;
        }
        const QPoint Corner{int(Left), int(Top)};
        const int BrushStyle = FBrush->Brush.Style;
        if ((BrushStyle == BS_NULL || BrushStyle == BS_SOLID) && HasDirect) {
            const TDirect::TInk Inside = D.Ink(FBrush->Brush.Color), Outline = D.Ink(FPen->Pen.Color);
            const bool Filled = BrushStyle == BS_SOLID;
            // A symbol held back draws with the stamp: it goes first if the stamp must change.
            if (S.StampKey != D.StampKey(Inside, Outline, Filled)) Settle();
            if (uchar* At = D.Stamp(S, Corner, Inside, Outline, Filled)) {
                const int PixelBytes = D.Packed ? 4 : 3;
                if (S.Scattered) {
                    PrefetchStamp(S.Stamp, At, D.Stride, PixelBytes);
                    Settle();
                    S.Pending = {TPendingDraw::TKind::Stamp, At, D.Stride, PixelBytes, nullptr, nullptr, 0, 0, 0, 0, 0};
                    return;
                }
                ApplyStamp(S.Stamp, At, D.Stride, PixelBytes);
                return;
            }
            Settle();
            // Symbols land anywhere in the picture: ask for all their rows before writing any.
            for (const QRect& R : S.ShapeSpans) D.Prefetch(R.x() + Corner.x(), R.y() + Corner.y());
            for (const TState::TRun& R : S.ShapeRuns)
                if (R.Outline || Filled) D.Run(R.X + Corner.x(), R.Y + Corner.y(), R.Width, R.Outline ? Outline : Inside);
            return;
        }
        Settle();
        for (const QRect& R : S.ShapeSpans) Spans.push_back(R.translated(Corner));
        Fill();
        for (const QPoint& P : S.ShapeDots) Ink.push_back(P + Corner);
        FlushPixels();
        return;
    }
    Settle();
    for (int64_t Y = Y0; Y <= Y1; ++Y) {
        const int64_t L = Near(CX2, RowReach(Y)), R = CX2 - L;
        const int64_t Lo = std::max<int64_t>(std::min(L, R), Bounds.left());
        const int64_t Hi = std::min<int64_t>(std::max(L, R), Bounds.right());
        if (Lo <= Hi) Spans.emplace_back(int(Lo), int(Y), int(Hi - Lo + 1), 1);
    }
    Fill();
    for (int64_t Y = Y0; Y <= Y1; ++Y) {
        const int64_t L = Near(CX2, RowReach(Y));
        Plot(L, Y);
        Plot(CX2 - L, Y);
    }
    for (int64_t X = X0; X <= X1; ++X) {
        const int64_t T = Near(CY2, ColumnReach(X));
        Plot(X, T);
        Plot(X, CY2 - T);
    }
    FlushPixels();
}

void TDeviceContext::Box(int Left, int Top, int Right, int Bottom, bool Ellipse) {
    if (Left > Right) std::swap(Left, Right);
    if (Top > Bottom) std::swap(Top, Bottom);
    const int64_t W = int64_t(Right) - Left, H = int64_t(Bottom) - Top;
    if (W < 1 || H < 1) return;
    // Ellipses are drawn smooth; rectangles keep to whole pixels either way.
    SetSmooth(*FPainter, FAntialiasing && Ellipse);
    ApplyBackground(*FPainter, FBkMode, FBkColor);
    const bool Exact = PixelExact() && !(FAntialiasing && Ellipse);
    if (Exact && ThinPen() && !(Ellipse && DashPattern(FPen->Pen.Style))) {
        if (Ellipse) {
            ThinEllipse(Left, Top, Right, Bottom);
            return;
        }
        Settle();
        FillBox(Left, Top, Right, Bottom, PixelBounds());
        const TPixelPoint Corners[] = {{Left, Top}, {Right - 1, Top}, {Right - 1, Bottom - 1}, {Left, Bottom - 1}};
        if (W == 1 && H == 1) {
            // The outline's lines would leave out their only pixel.
            FState->Ink.emplace_back(Left, Top);
            FlushPixels();
        } else {
            ThinLines(Corners, 4, true);
        }
        return;
    }
    Settle();
    FPainter->setPen(FState->Pen);
    FPainter->setBrush(FState->Brush);
    auto Draw = [&](const auto& R) { Ellipse ? FPainter->drawEllipse(R) : FPainter->drawRect(R); };
    const double Pen = std::max(1, FPen->Pen.Width);
    if (FPen->Pen.Style == PS_NULL) {
        Draw(QRectF(Left, Top, double(W), double(H)));
    } else if (FPen->Pen.Style == PS_INSIDEFRAME && Pen > 1) {
        // The pen keeps inside the frame, so the right and bottom edges stay excluded.
        const double Half = Pen / 2;
        Draw(QRectF(Left + Half, Top + Half, std::max(0.0, W - Pen), std::max(0.0, H - Pen)));
    } else {
        // Centred on the line through the centres of the box's outermost pixels, as a
        // one-pixel pen draws it.
        Draw(QRectF(Left + QtCentre, Top + QtCentre, double(W - 1), double(H - 1)));
    }
    SetSmooth(*FPainter, false);
}

void TDeviceContext::SetPixel(int X, int Y, TColor Color) {
    Settle();
    FPainter->fillRect(QRect(X, Y, 1, 1), ToQColor(Color));
}

const QFontMetrics& TDeviceContext::Metrics() {
    if (!FState->Metrics) {
        FState->Metrics.emplace(FState->Font, FPainter->device());
        FState->Ascent = FState->Metrics->ascent();
        FState->Descent = FState->Metrics->descent();
        FState->Width = -1;
    }
    return *FState->Metrics;
}

const QString& TDeviceContext::AsQString(const std::string& Text) {
    if (Text != FState->Text || FState->QText.isNull()) {
        FState->QText = ToQString(Text);
        FState->Text = Text;
        FState->Width = -1;
    }
    return FState->QText;
}

int TDeviceContext::Measure(const std::string& Text) {
    const QFontMetrics& M = Metrics();
    const QString& S = AsQString(Text);
    if (FState->Width < 0) FState->Width = M.horizontalAdvance(S);
    return FState->Width;
}

TDeviceContext::TLaidText* TDeviceContext::LaidOut(const std::string& Text) {
    // Only where the surface is an image: printers and PDF keep drawing text as text.
    const QPaintEngine* Engine = FPainter->paintEngine();
    if (!Engine || Engine->type() != QPaintEngine::Raster) return nullptr;
    // Decorations are drawn by drawText only.
    if (FState->Font.underline() || FState->Font.strikeOut()) return nullptr;
    constexpr size_t MaxLaid = 32768;
    TState& S = *FState;
    TTextStore& Store = TextStore();
    auto FontTexts = [&] {
        // Pixel-sized fonts lay out alike on every image, but the resolution is part of the key all the same.
        return &Store.Fonts[S.Font.key() + QLatin1Char('@') + QString::number(LogPixelsY())];
    };
    if (S.LaidGeneration != Store.Generation) S.LastLaid = nullptr;
    if (!S.LaidInFont || S.LaidGeneration != Store.Generation) {
        S.LaidInFont = FontTexts();
        S.LaidGeneration = Store.Generation;
    }
    // Found in the store, and remembered as what followed the text before.
    auto Found = [&S](const std::string& Key, TLaidText& Laid) {
        if (TLaidText* Last = S.LastLaid) {
            Last->Next = &Laid;
            Last->NextKey = &Key;
            Last->NextFont = S.LaidInFont;
        }
        S.LastLaid = &Laid;
        // Fetch what the following title will need while this one is drawn.
        if (const TLaidText* N = Laid.Next) {
            __builtin_prefetch(N->Glyphs.data());
            if (N->Next)
                for (size_t Line = 0; Line < sizeof(TLaidText); Line += 64)
                    __builtin_prefetch(reinterpret_cast<const char*>(N->Next) + Line);
        }
        return &Laid;
    };
    if (const TLaidText* Last = S.LastLaid; Last && Last->Next && Last->NextFont == S.LaidInFont && *Last->NextKey == Text)
        return Found(*Last->NextKey, *Last->Next);
    if (auto It = S.LaidInFont->Texts.find(Text); It != S.LaidInFont->Texts.end()) return Found(It->first, It->second);
    if (Store.Count >= MaxLaid) {
        Settle();
        Store.Fonts.clear();
        Store.Count = 0;
        ++Store.Generation;
        S.LaidInFont = FontTexts();
        S.LaidGeneration = Store.Generation;
        S.LastLaid = nullptr;
    }
    QTextLayout Layout(AsQString(Text), S.Font, FPainter->device());
    Layout.setCacheEnabled(true);
    Layout.beginLayout();
    QTextLine Line = Layout.createLine();
    Layout.endLayout();
    if (!Line.isValid()) return nullptr;
    ++Store.Count;
    TLaidText Laid;
    Laid.Runs = Layout.glyphRuns();
    Laid.Ascent = Line.ascent();
    const auto It = S.LaidInFont->Texts.emplace(Text, std::move(Laid)).first;
    return Found(It->first, It->second);
}

namespace {

// The raster engine's blend of an opaque colour over a channel of a 24-bit pixel at a
// glyph's coverage C (0 leaves the pixel, 255 gives the colour): its 16-bit arithmetic comes
// to S * C + D * (255 - C) divided by 255 and rounded to nearest, with no tie possible.
inline uint8_t BlendChannel(uint32_t Source, uint32_t Dest, uint32_t Coverage) {
    const uint32_t T = Source * Coverage + Dest * (255 - Coverage) + 128;
    return uint8_t((T + (T >> 8)) >> 8);
}

// The colour's bytes over a block of pixels, as 16-bit lanes.
struct TBlendSource {
    alignas(32) uint16_t Lanes[3 * BlendBlock];
};

// Blends whole blocks of a glyph's rows: each row of Px and Cover holds Blocks blocks.
using TBlendBlocks = void (*)(uchar* Px, qsizetype PxStride, const uint8_t* Cover, qsizetype CoverStride,
                              int64_t Rows, int64_t Blocks, const TBlendSource& Source);

#if defined(__x86_64__)
// (T + (T >> 8)) >> 8 is the high half of T * 257 for every 16-bit T.
inline __m128i BlendLanes(__m128i S, __m128i D, __m128i A) {
    const __m128i T = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(S, A), _mm_mullo_epi16(D, _mm_sub_epi16(_mm_set1_epi16(255), A))),
                                    _mm_set1_epi16(128));
    return _mm_mulhi_epu16(T, _mm_set1_epi16(257));
}

inline void BlendEight(uchar* Px, const uint8_t* Cover, __m128i S) {
    const __m128i Zero = _mm_setzero_si128();
    const __m128i A = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Cover)), Zero);
    const __m128i D = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Px)), Zero);
    const __m128i T = BlendLanes(S, D, A);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(Px), _mm_packus_epi16(T, T));
}

void BlendBlocksSse2(uchar* Px, qsizetype PxStride, const uint8_t* Cover, qsizetype CoverStride, int64_t Rows,
                     int64_t Blocks, const TBlendSource& Source) {
    const __m128i* L = reinterpret_cast<const __m128i*>(Source.Lanes);
    const __m128i S0 = _mm_load_si128(L), S1 = _mm_load_si128(L + 1), S2 = _mm_load_si128(L + 2);
    for (int64_t Row = 0; Row < Rows; ++Row, Px += PxStride, Cover += CoverStride)
        for (int64_t B = 0; B < Blocks * 24; B += 24) {
            BlendEight(Px + B, Cover + B, S0);
            BlendEight(Px + B + 8, Cover + B + 8, S1);
            BlendEight(Px + B + 16, Cover + B + 16, S2);
        }
}

__attribute__((target("avx2"))) inline __m256i BlendLanes256(__m256i S, __m256i D, __m256i A) {
    const __m256i T = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(S, A), _mm256_mullo_epi16(D, _mm256_sub_epi16(_mm256_set1_epi16(255), A))),
        _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(T, _mm256_set1_epi16(257));
}

// Sixteen bytes of 16-bit lanes back to bytes.
__attribute__((target("avx2"))) inline __m128i Packed(__m256i T) {
    return _mm_packus_epi16(_mm256_castsi256_si128(T), _mm256_extracti128_si256(T, 1));
}

__attribute__((target("avx2"))) inline void Front(uchar* P, const uint8_t* C, __m256i S) {
    const __m256i A = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(C)));
    const __m256i D = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(P), Packed(BlendLanes256(S, D, A)));
}

// The same sixteen bytes at a step: a block's first sixteen bytes of one row, or its last
// eight of two rows together.
__attribute__((target("avx2"))) void BlendBlocksAvx2(uchar* Px, qsizetype PxStride, const uint8_t* Cover,
                                                     qsizetype CoverStride, int64_t Rows, int64_t Blocks,
                                                     const TBlendSource& Source) {
    const __m256i S01 = _mm256_load_si256(reinterpret_cast<const __m256i*>(Source.Lanes));
    const __m128i S2 = _mm_load_si128(reinterpret_cast<const __m128i*>(Source.Lanes) + 2);
    const __m256i S22 = _mm256_broadcastsi128_si256(S2);
    for (int64_t B = 0; B < Blocks * 24; B += 24) {
        uchar* P = Px + B;
        const uint8_t* C = Cover + B;
        int64_t Left = Rows;
        for (; Left >= 2; Left -= 2, P += 2 * PxStride, C += 2 * CoverStride) {
            uchar* const P1 = P + PxStride;
            const uint8_t* const C1 = C + CoverStride;
            const __m256i A = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(C + 16)), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(C1 + 16))));
            const __m256i D = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(P + 16)), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(P1 + 16))));
            const __m128i T = Packed(BlendLanes256(S22, D, A));
            Front(P, C, S01);
            Front(P1, C1, S01);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(P + 16), T);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(P1 + 16), _mm_unpackhi_epi64(T, T));
        }
        if (Left > 0) {
            Front(P, C, S01);
            BlendEight(P + 16, C + 16, S2);
        }
    }
}

bool WideBlend = true;

TBlendBlocks BlendBlocks() {
    return HasAvx2() && WideBlend ? BlendBlocksAvx2 : BlendBlocksSse2;
}
#else
void BlendBlocksPlain(uchar* Px, qsizetype PxStride, const uint8_t* Cover, qsizetype CoverStride, int64_t Rows,
                      int64_t Blocks, const TBlendSource& Source) {
    for (int64_t Row = 0; Row < Rows; ++Row, Px += PxStride, Cover += CoverStride)
        for (int64_t B = 0; B < Blocks * 24; ++B) Px[B] = BlendChannel(Source.Lanes[B % 24], Px[B], Cover[B]);
}

bool WideBlend = true;

TBlendBlocks BlendBlocks() { return BlendBlocksPlain; }
#endif

}  // namespace

void SetWideGlyphBlend(bool Wide) { WideBlend = Wide; }

namespace {

// The mask of a glyph whose origin lies FX and FY 64ths of a pixel past whole pixels, made
// on first use by letting the raster engine draw the glyph alone. -1 when it cannot be kept.
int64_t GlyphMask(TGlyphMasks& M, const QRawFont& Font, quint32 Glyph, int FX, int FY) {
    constexpr size_t MostFonts = 255;
    constexpr int Margin = 3, MostSide = 512;
    const size_t FontIndex = size_t(std::find(M.Fonts.begin(), M.Fonts.end(), Font) - M.Fonts.begin());
    if (FontIndex == M.Fonts.size()) {
        if (FontIndex >= MostFonts) return -1;
        M.Fonts.push_back(Font);
    }
    const uint64_t Key = uint64_t(FontIndex) << 48 | uint64_t(Glyph) << 12 | uint64_t(FX) << 6 | uint64_t(FY);
    if (auto It = M.Index.find(Key); It != M.Index.end()) return It->second;

    const qreal X = FX / 64.0, Y = FY / 64.0;
    const QRectF Box = Font.boundingRect(Glyph);
    if (!std::isfinite(Box.left()) || !std::isfinite(Box.right()) || !std::isfinite(Box.top()) ||
        !std::isfinite(Box.bottom()) || Box.width() > MostSide || Box.height() > MostSide)
        return -1;
    const int X0 = int(std::floor(X + Box.left())) - Margin, Y0 = int(std::floor(Y + Box.top())) - Margin;
    const int W = int(std::ceil(X + Box.right())) + Margin - X0, H = int(std::ceil(Y + Box.bottom())) + Margin - Y0;
    QImage Image(W, H, QImage::Format_Alpha8);
    if (Image.isNull()) return -1;
    Image.fill(0);
    {
        QPainter P(&Image);
        P.setPen(QColor(0, 0, 0));
        QGlyphRun One;
        One.setRawFont(Font);
        One.setGlyphIndexes({Glyph});
        One.setPositions({QPointF(X, Y)});
        P.drawGlyphRun(QPointF(-X0, -Y0), One);
    }
    // Trimmed to the inked pixels; ink on the border means the box was too small to trust.
    int L = W, T = H, R = -1, B = -1;
    for (int Row = 0; Row < H; ++Row) {
        const uchar* Line = Image.constScanLine(Row);
        for (int Col = 0; Col < W; ++Col)
            if (Line[Col]) {
                L = std::min(L, Col), R = std::max(R, Col), T = std::min(T, Row), B = std::max(B, Row);
            }
    }
    TGlyphMask G;
    if (R >= 0) {
        if (L == 0 || T == 0 || R == W - 1 || B == H - 1) return -1;
        const int32_t Inked = R - L + 1, Stride = (Inked + BlendBlock - 1) / BlendBlock * BlendBlock;
        G = TGlyphMask{X0 + L, Y0 + T, Inked, B - T + 1, Stride, M.Pool.size()};
        M.Pool.resize(M.Pool.size() + size_t(G.H) * size_t(Stride) * 3, 0);
        uint8_t* Out = M.Pool.data() + G.Offset;
        for (int Row = T; Row <= B; ++Row, Out += Stride * 3) {
            const uchar* Line = Image.constScanLine(Row);
            for (int Col = 0; Col < Inked; ++Col) Out[3 * Col] = Out[3 * Col + 1] = Out[3 * Col + 2] = Line[L + Col];
        }
    }
    M.Masks.push_back(G);
    return M.Index[Key] = uint32_t(M.Masks.size() - 1);
}

}  // namespace

namespace {
void PrefetchGlyphs(const TPendingDraw& Op);
void BlendGlyphs(const TPendingDraw& Op);
}  // namespace

bool TDeviceContext::BlitGlyphs(TLaidText& Text, int Left, int Base) {
    QImage* Image = SurfaceImage(FPainter->device());
    if (!Image || Image->format() != QImage::Format_BGR888 || !FState->LaidInFont) return false;
    if (FPainter->compositionMode() != QPainter::CompositionMode_SourceOver || FPainter->opacity() != 1.0 ||
        FPainter->hasClipping())
        return false;
    const QTransform T = FPainter->deviceTransform();
    if (T.type() > QTransform::TxTranslate || T.dx() != std::trunc(T.dx()) || T.dy() != std::trunc(T.dy()) ||
        std::abs(T.dx()) > 1e9 || std::abs(T.dy()) > 1e9)
        return false;
    TGlyphMasks& Masks = FState->LaidInFont->Masks;
    using TMasks = TLaidText::TMasks;
    if (Text.Masks == TMasks::NotYet) {
        // The masks of a text held back may be among those that move.
        Settle();
        Text.Masks = TMasks::Ready;
        for (const QGlyphRun& Run : Text.Runs) {
            if (Run.overline() || Run.underline() || Run.strikeOut()) Text.Masks = TMasks::Unusable;
            const QRawFont Font = Run.rawFont();
            const QList<quint32> Ids = Run.glyphIndexes();
            const QList<QPointF> Positions = Run.positions();
            for (qsizetype I = 0; I < Ids.size() && I < Positions.size() && Text.Masks == TMasks::Ready; ++I) {
                // Positions are whole 64ths of a pixel; anything else is left to Qt.
                const double X64 = Positions[I].x() * 64, Y64 = (Positions[I].y() - Text.Ascent) * 64;
                if (X64 != std::floor(X64) || Y64 != std::floor(Y64) || std::abs(X64) > 1e9 || std::abs(Y64) > 1e9) {
                    Text.Masks = TMasks::Unusable;
                    break;
                }
                const int64_t IX = int64_t(std::floor(X64 / 64)), IY = int64_t(std::floor(Y64 / 64));
                const int64_t Index = GlyphMask(Masks, Font, Ids[I], int(int64_t(X64) - IX * 64), int(int64_t(Y64) - IY * 64));
                if (Index < 0) {
                    Text.Masks = TMasks::Unusable;
                    break;
                }
                const TGlyphMask& G = Masks.Masks[size_t(Index)];
                if (G.W > 0) Text.Glyphs.push_back({int32_t(IX + G.X), int32_t(IY + G.Y), uint32_t(Index)});
            }
        }
        if (Text.Masks == TMasks::Unusable) Text.Glyphs.clear();
        if (!Text.Glyphs.empty()) {
            Text.InkLeft = Text.InkTop = INT32_MAX;
            Text.InkRight = Text.InkBottom = INT32_MIN;
        }
        for (const TLaidText::TPlaced& P : Text.Glyphs) {
            const TGlyphMask& G = Masks.Masks[P.Mask];
            Text.InkLeft = std::min(Text.InkLeft, P.X);
            Text.InkTop = std::min(Text.InkTop, P.Y);
            Text.InkRight = std::max(Text.InkRight, P.X + G.W);
            Text.InkBottom = std::max(Text.InkBottom, P.Y + G.H);
        }
    }
    if (Text.Masks != TMasks::Ready) return false;

    const int64_t OX = int64_t(Left) + int64_t(T.dx()), OY = int64_t(Base) + int64_t(T.dy());
    // Left and above the picture Qt's rounding of negative places is its own affair.
    if (!Text.Glyphs.empty() && (OX + Text.InkLeft < 0 || OY + Text.InkTop < 0)) return false;
    TPendingDraw Op{TPendingDraw::TKind::Glyphs, Image->bits(), Image->bytesPerLine(), 3, &Text, &Masks,
                        OX, OY, Image->width(), Image->height(), static_cast<uint32_t>(ColorToRGB(FTextColor))};
    PrefetchGlyphs(Op);
    if (FState->Scattered) {
        Settle();
        FState->Pending = Op;
    } else {
        BlendGlyphs(Op);
    }
    return true;
}

namespace {

void PrefetchGlyphs(const TPendingDraw& Op) {
    // Titles land all over the picture: ask for all their rows at once rather than waiting
    // for each in turn.
    const TDeviceContext::TLaidText& Text = *Op.Text;
    const int64_t Top = Op.Y + Text.InkTop, Bottom = std::min<int64_t>(Op.Y + Text.InkBottom, Op.Height);
    const int64_t From = Op.X + Text.InkLeft, To = std::min<int64_t>(Op.X + Text.InkRight, Op.Width);
    if (From < To)
        for (int64_t Row = Top; Row < Bottom; ++Row) {
            const uchar* Line = Op.Bits + qsizetype(Row) * Op.Stride;
            for (int64_t Byte = From * 3; Byte < To * 3 + 63; Byte += 64)
                __builtin_prefetch(Line + std::min<int64_t>(Byte, To * 3 - 1), 1);
        }
}

void BlendGlyphs(const TPendingDraw& Op) {
    const TDeviceContext::TLaidText& Text = *Op.Text;
    const TGlyphMasks& Masks = *Op.Masks;
    const uint32_t C = Op.Colour;
    // The colour's bytes in the picture's order (blue, green, red), over a block of pixels.
    const uint8_t Colour[3] = {uint8_t(C >> 16), uint8_t(C >> 8), uint8_t(C)};
    // Titles of a layer share a colour: its lanes are kept.
    thread_local uint32_t SourceColour = ~0u;
    thread_local TBlendSource Source;
    if (SourceColour != C) {
        for (int J = 0; J < 3 * BlendBlock; ++J) Source.Lanes[J] = Colour[J % 3];
        SourceColour = C;
    }
    const TBlendBlocks Blend = BlendBlocks();
    const int64_t Width = Op.Width, Height = Op.Height;
    uchar* const Bits = Op.Bits;
    const qsizetype Stride = Op.Stride;
    for (const TDeviceContext::TLaidText::TPlaced& P : Text.Glyphs) {
        const TGlyphMask& G = Masks.Masks[P.Mask];
        const int64_t X0 = Op.X + P.X, Y0 = Op.Y + P.Y;
        const int64_t Cols = std::min<int64_t>(G.W, Width - X0), Rows = std::min<int64_t>(G.H, Height - Y0);
        // Whole blocks may run into the padding, which leaves the pixels as they are.
        const int64_t Blocks = std::min<int64_t>(G.Stride, Width - X0) / BlendBlock;
        if (Rows <= 0 || Cols <= 0) continue;
        const uint8_t* Cover = Masks.Pool.data() + G.Offset;
        const qsizetype CoverStride = qsizetype(G.Stride) * 3;
        uchar* Px = Bits + qsizetype(Y0) * Stride + qsizetype(X0) * 3;
        if (Blocks > 0) Blend(Px, Stride, Cover, CoverStride, Rows, Blocks, Source);
        // The last pixels of a glyph cut by the picture's right edge.
        for (int64_t Row = 0; Row < Rows; ++Row)
            for (int64_t Col = Blocks * BlendBlock; Col < Cols; ++Col)
                for (int K = 0; K < 3; ++K) {
                    uchar& B = Px[Row * Stride + Col * 3 + K];
                    B = BlendChannel(Colour[K], B, Cover[Row * CoverStride + Col * 3 + K]);
                }
    }
}

}  // namespace

void TDeviceContext::Settle() {
    TPendingDraw& P = FState->Pending;
    switch (P.Kind) {
        case TPendingDraw::TKind::None: return;
        case TPendingDraw::TKind::Stamp: ApplyStamp(FState->Stamp, P.Bits, P.Stride, P.PixelBytes); break;
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
    return FPainter;
}

void TDeviceContext::TextOut(int X, int Y, const std::string& Text) {
    if (Text.empty()) return;
    Metrics();
    const int Ascent = FState->Ascent, Descent = FState->Descent;
    const bool Opaque = FBkMode == BK_OPAQUE;
    // Left-aligned transparent text (most titles) needs no width.
    const bool NeedsWidth = Opaque || (FTextAlign & (TA_CENTER | TA_RIGHT));
    const int W = NeedsWidth ? Measure(Text) : 0;
    int Dx = 0;
    if ((FTextAlign & TA_CENTER) == TA_CENTER) Dx = -W / 2;
    else if (FTextAlign & TA_RIGHT) Dx = -W;
    int Baseline = Ascent;
    if ((FTextAlign & TA_BASELINE) == TA_BASELINE) Baseline = 0;
    else if (FTextAlign & TA_BOTTOM) Baseline = -Descent;

    // Stored glyphs carry their font; only text drawn as text needs the painter's.
    auto UseFont = [&] {
        if (FPainter->font() != FState->Font) FPainter->setFont(FState->Font);
    };
    FPainter->setBackgroundMode(Qt::TransparentMode);
    // Blended glyphs need no pen, and setting one costs more than blending a short title.
    auto UsePen = [&] { FPainter->setPen(ToQColor(FTextColor)); };
    const bool Rotated = FFont->Font.Escapement != 0;
    if (!Rotated) {
        // Whole-pixel offsets: the same pixels as drawing in a translated painter.
        const int64_t Left = int64_t(X) + Dx, Base = int64_t(Y) + Baseline;
        if (Opaque) {
            Settle();
            FPainter->fillRect(QRect(SaturateInt32(Left), SaturateInt32(Base - Ascent), W, Ascent + Descent),
                               ToQColor(FBkColor));
        }
        if (TLaidText* T = LaidOut(Text)) {
            if (!BlitGlyphs(*T, SaturateInt32(Left), SaturateInt32(Base))) {
                Settle();
                const QPointF Origin(SaturateInt32(Left), SaturateInt32(Base) - T->Ascent);
                UsePen();
                for (const QGlyphRun& Run : T->Runs) FPainter->drawGlyphRun(Origin, Run);
            }
        } else {
            Settle();
            UseFont();
            UsePen();
            FPainter->drawText(QPoint(SaturateInt32(Left), SaturateInt32(Base)), AsQString(Text));
        }
        return;
    }
    Settle();
    const QTransform Saved = FPainter->transform();
    FPainter->translate(X, Y);
    FPainter->rotate(-FFont->Font.Escapement / 10.0);
    if (Opaque) FPainter->fillRect(QRect(Dx, Baseline - Ascent, W, Ascent + Descent), ToQColor(FBkColor));
    UseFont();
    UsePen();
    FPainter->drawText(QPoint(Dx, Baseline), AsQString(Text));
    FPainter->setTransform(Saved);
}

void TDeviceContext::DrawText(const std::string& Text, int Left, int Top, int Right, int Bottom, unsigned Format) {
    Settle();
    if (Text.empty()) return;
    const QRect R(Left, Top, Right - Left, Bottom - Top);
    int Flags = 0;
    if (Format & DT_CENTER) Flags |= Qt::AlignHCenter;
    else if (Format & DT_RIGHT) Flags |= Qt::AlignRight;
    else Flags |= Qt::AlignLeft;
    // Vertical placement applies to single lines only, as in GDI.
    if ((Format & DT_SINGLELINE) && (Format & DT_VCENTER)) Flags |= Qt::AlignVCenter;
    else if ((Format & DT_SINGLELINE) && (Format & DT_BOTTOM)) Flags |= Qt::AlignBottom;
    else Flags |= Qt::AlignTop;
    if (Format & DT_SINGLELINE) Flags |= Qt::TextSingleLine;
    if (Format & DT_NOCLIP) Flags |= Qt::TextDontClip;
    const QString S = ToQString(Text);
    FPainter->setFont(FState->Font);
    if (FBkMode == BK_OPAQUE) {
        QRect Box = FPainter->boundingRect(R, Flags, S);
        if (!(Format & DT_NOCLIP)) Box &= R;
        FPainter->fillRect(Box, ToQColor(FBkColor));
    }
    FPainter->setBackgroundMode(Qt::TransparentMode);
    FPainter->setPen(ToQColor(FTextColor));
    FPainter->drawText(R, Flags, S);
}

void TDeviceContext::GetTextExtentPoint(const std::string& Text, int& Width, int& Height) {
    Width = Measure(Text);
    const QFontMetrics& M = Metrics();
    Height = M.ascent() + M.descent();
}

void TDeviceContext::SetClipRect(int Left, int Top, int Right, int Bottom) {
    Settle();
    if (Right <= Left || Bottom <= Top) {
        RemoveClip();
        return;
    }
    // Like a clip region, the rectangle is in device pixels, so the viewport origin does not
    // move it; Qt keeps a clip fixed once set.
    const QTransform Current = FPainter->transform();
    FPainter->setTransform(FState->Base);
    FPainter->setClipRect(QRect(Left, Top, Right - Left, Bottom - Top));
    FPainter->setTransform(Current);
}

void TDeviceContext::RemoveClip() {
    Settle();
    FPainter->setClipping(false);
}

void TDeviceContext::SetViewportOrg(int X, int Y) {
    Settle();
    // Absolute: the origin moves in device pixels from where the painter started.
    FPainter->setTransform(FState->Base * QTransform::fromTranslate(X, Y));
}

