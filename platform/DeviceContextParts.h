#pragma once
// What the drawing context's parts share: its Qt-side state, direct access to the picture's
// pixels, and the drawing it holds back. Only the DeviceContext*.cpp files include this.

#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QTransform>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "kernels/Prefetch.h"
#include "kernels/SymbolStamp.h"
#include "platform/DeviceContext.h"

struct TGlyphMasks;
struct TFontTexts;

inline QColor ToQColor(TColor Color) {
    const uint32_t C = static_cast<uint32_t>(ColorToRGB(Color));
    return QColor(int(C & 0xFF), int((C >> 8) & 0xFF), int((C >> 16) & 0xFF));
}

// As in GDI, the gaps of hatches and styled pens show the background colour only in
// opaque mode.
inline void ApplyBackground(QPainter& P, int BkMode, TColor BkColor) {
    if (BkMode == BK_OPAQUE) {
        P.setBackgroundMode(Qt::OpaqueMode);
        P.setBackground(ToQColor(BkColor));
    } else {
        P.setBackgroundMode(Qt::TransparentMode);
    }
}

// Only a change of the hint reaches the painter, which otherwise redoes its state each time.
inline void SetSmooth(QPainter& Painter, bool Smooth) {
    if (Painter.testRenderHint(QPainter::Antialiasing) != Smooth) Painter.setRenderHint(QPainter::Antialiasing, Smooth);
}

// The painting's image, if it paints on one: without the cost of a dynamic cast at each
// symbol and title.
inline QImage* SurfaceImage(QPaintDevice* Device) {
    return Device && Device->devType() == QInternal::Image ? static_cast<QImage*>(Device) : nullptr;
}

// Our whole-numbered points are pixel centres; Qt's name pixel corners and fill a pixel
// when its centre lies inside, a centre on an edge going to the right and lower side. Just
// short of half a pixel on, Qt fills as GDI does: the pixels whose points lie inside, with
// the left and top edges and without the right and bottom ones.
constexpr double QtCentre = 0.5 - 1.0 / 64;

// Pixels of ink waiting to be drawn are flushed at this many, so memory stays bounded.
constexpr size_t PixelBatch = 16384;

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

// A symbol or title held back while drawing is scattered.
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

// Blends the glyphs of a title into its picture.
void BlendGlyphs(const TPendingDraw& Op);

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
    // The ink KeptThinPolyline made last (a TDirect::TInk, defined below, which needs this
    // state), for the pen colour and pixel order it was made for.
    bool ThinInkKept = false;
    TColor ThinInkColor = 0;
    bool ThinInkBgr = false;
    uint8_t ThinInk[3] = {};
    uint32_t ThinInkWord = 0;
    // Reaches of the last ellipse's rows and columns: point symbols repeat one size.
    struct TReach {
        long double Reach2 = 0;
        int64_t Whole = 0;  // floor of Reach2
        int64_t Part = 0;   // 1 when Reach2 has a fraction
    };
    int64_t ReachA2 = -1, ReachB2 = -1;
    bool ReachWhole = false;  // no reach lies so near a whole number that rounding could matter
    std::vector<TReach> RowReach, ColumnReach;
    // Keeps the reaches of an ellipse with doubled half-axes A2 and B2 (another than the last).
    void KeepReaches(int64_t A2, int64_t B2);
    // The pixel where a reach from twice a centre C2 ends; in whole numbers when Whole.
    static int64_t Near(bool Whole, int64_t C2, const TReach& R);
    // That ellipse's fill and outline from its box's corner, once worked out in whole numbers.
    bool ShapeReady = false;
    std::vector<QRect> ShapeSpans;
    std::vector<QPoint> ShapeDots;
    void BuildShape();
    // The same as runs along each row, fill without the outline's pixels, so that each row is
    // written once from left to right.
    struct TRun {
        int X, Y, Width;
        bool Outline;
    };
    std::vector<TRun> ShapeRuns;
    void BuildShapeRuns();
    // The shape in two colours as one stamp per row. Empty when a row is too wide for a stamp.
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
    bool Exact = false;   // moved by whole pixels at most, as PixelExact asks
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
        PrefetchForWrite(Bits + qsizetype(Y + DY) * Stride + qsizetype(X + DX) * (Packed ? 4 : 3));
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
            // Outlines are mostly single pixels: no loop set-up. The colour is read before the
            // first byte is written, which the compiler must otherwise assume changes it.
            const uchar B0 = I.Byte[0], B1 = I.Byte[1], B2 = I.Byte[2];
            First[0] = B0;
            First[1] = B1;
            First[2] = B2;
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
        for (const TStampRow& R : S.Stamp) {
            const qsizetype At = Origin + qsizetype(R.Y) * Stride + qsizetype(R.X) * PixelBytes;
            if (At < 0 || At + 32 > Size) return nullptr;
        }
        return Bits + Origin;
    }
};
