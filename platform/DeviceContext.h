#pragma once
// A GDI-style device context over QPainter. Pens, brushes and fonts are immutable value
// objects standing for realized handles: a handle's identity is the shared pointer, so
// realizing again yields a new handle. Selecting keeps GDI's "current object" rules and
// drawing follows GDI's conventions: a line draws its first pixel and leaves out its last,
// whatever its direction; a polygon's outline passes through every vertex and its fill uses
// the odd-even rule; rectangles and ellipses cover their box without the right and bottom
// edge; a wide pen is centred on the outline, except that an inside-frame pen keeps to the
// box.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QFontMetrics;
class QImage;
class QPainter;
class QPen;
class QPoint;
class QPaintDevice;
class QPointF;
class QRect;
class QString;

// 0x00BBGGRR; values 0x80000000 to 0x80000018 name system colours, 0x1FFFFFFF none.
using TColor = int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
// System colours resolved to 0x00BBGGRR; other values are returned unchanged.
TColor ColorToRGB(TColor Color);

struct TPixelPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPixelPoint&, const TPixelPoint&) = default;
};

// Pen styles
constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
              PS_INSIDEFRAME = 6;
// Brush styles and hatches
constexpr int BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
              HS_DIAGCROSS = 5;
// Stock objects
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
              NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8, SYSTEM_FONT = 13;
// Background modes
constexpr int BK_TRANSPARENT = 1, BK_OPAQUE = 2;
// Text alignment flags
constexpr unsigned TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;
// DrawText flags
constexpr unsigned DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8, DT_SINGLELINE = 32,
                   DT_NOCLIP = 256;

struct TLogPen {
    int Style = PS_SOLID;
    int Width = 1;
    TColor Color = 0;
};

struct TLogBrush {
    int Style = BS_SOLID;
    TColor Color = 0;
    int Hatch = 0;
};

struct TLogFont {
    int Height = 0;       // negative: character height in pixels
    int Width = 0;
    int Escapement = 0;   // tenths of a degree, counter-clockwise
    int Orientation = 0;
    int Weight = 400;     // 700 bold
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t CharSet = 1;
    std::string FaceName;
};

enum class TGdiKind : uint8_t { Pen, Brush, Font };

struct TGdiObject {
    TGdiKind Kind;
    TLogPen Pen;
    TLogBrush Brush;
    TLogFont Font;
    bool Stock = false;
};

using HGDIOBJ = std::shared_ptr<const TGdiObject>;

HGDIOBJ CreatePen(int Style, int Width, TColor Color);
HGDIOBJ CreateBrushIndirect(const TLogBrush& Brush);
HGDIOBJ CreateFontIndirect(const TLogFont& Font);
// The same handle for the same index each time; null for an unknown index.
HGDIOBJ GetStockObject(int Index);
// Releases the caller's reference; a selected object stays usable until replaced.
void DeleteObject(HGDIOBJ& Object);

// The drawing calls are virtual for the model's sake: layers, objects and presenters draw
// through a context without linking the painter, so that a program that only reads and writes
// layers starts without the GUI libraries. There is one implementation.
class TDeviceContext {
public:
    struct TLaidText;  // glyphs of a text shaped in one font
    // Draws with Painter, which must outlive the context; selects the stock black pen,
    // white brush and system font.
    explicit TDeviceContext(QPainter* Painter);
    virtual ~TDeviceContext();
    TDeviceContext(const TDeviceContext&) = delete;
    TDeviceContext& operator=(const TDeviceContext&) = delete;

    // The painter, for drawing past the context: whatever the context holds back is drawn first.
    // Its transform, clipping, composition and opacity are the context's to change: a caller
    // that changes one asks for the painter again before it next draws through the context.
    virtual QPainter* Painter();
    // Scattered drawing: point symbols and titles, which land all over the picture, are drawn
    // one behind, so that each one's pixels come from memory while the one before is drawn.
    // Any other drawing, the painter, or leaving the mode draws what is held back first.
    void SetScattered(bool Scattered);
    // Draws what scattered drawing holds back.
    void Settle();
    // Vertical pixels per inch of the device drawn on.
    int LogPixelsY() const;

    // Returns the previously selected object of the same kind.
    virtual HGDIOBJ SelectObject(const HGDIOBJ& Object);
    const HGDIOBJ& CurrentPen() const { return FPen; }
    const HGDIOBJ& CurrentBrush() const { return FBrush; }
    const HGDIOBJ& CurrentFont() const { return FFont; }

    int SetBkMode(int Mode) { return std::exchange(FBkMode, Mode); }
    int BkMode() const { return FBkMode; }
    unsigned SetTextAlign(unsigned Align) { return std::exchange(FTextAlign, Align); }
    unsigned TextAlign() const { return FTextAlign; }
    TColor SetTextColor(TColor Color) { return std::exchange(FTextColor, Color); }
    TColor TextColor() const { return FTextColor; }

    virtual void Polyline(const TPixelPoint* Points, int Count);
    // Polyline's pixels for a thin solid pen drawn straight into the picture, for many short
    // chains in a row: what the picture allows and the pen's ink are kept from one call to the
    // next. False, with nothing drawn, where Polyline must draw them (another pen, smooth
    // lines, or a picture Polyline has not yet found it can write).
    bool KeptThinPolyline(const TPixelPoint* Points, int Count);
    virtual void Polygon(const TPixelPoint* Points, int Count);
    virtual void Ellipse(int Left, int Top, int Right, int Bottom);
    virtual void Rectangle(int Left, int Top, int Right, int Bottom);
    virtual void SetPixel(int X, int Y, TColor Color);
    // Text is bytes: UTF-8 when valid, else Latin-1.
    virtual void TextOut(int X, int Y, const std::string& Text);
    virtual void DrawText(const std::string& Text, int Left, int Top, int Right, int Bottom, unsigned Format);
    virtual void GetTextExtentPoint(const std::string& Text, int& Width, int& Height);
    // Picture scaled into the box from (Left, Top) to (Right, Bottom); nothing without a painter.
    virtual void DrawPicture(const QImage& Picture, int Left, int Top, int Right, int Bottom);

    // Clip to the rectangle (Right and Bottom excluded); an empty call removes the clip.
    // Like a clip region, the rectangle is in device pixels: the viewport origin neither
    // applies to it nor moves it later.
    void SetClipRect(int Left, int Top, int Right, int Bottom);
    void RemoveClip();
    void SetViewportOrg(int X, int Y);

    // Smooth drawing: lines, polygon outlines and ellipses are drawn antialiased. Polygon
    // fills keep to whole pixels, so that neighbouring polygons leave no light seams where
    // they meet; a polygon without a pen gets a smooth edge in its fill colour instead.
    bool Antialiasing() const { return FAntialiasing; }
    void SetAntialiasing(bool Value) { FAntialiasing = Value; }

private:
    // Rectangle or ellipse in the box, right and bottom edge excluded.
    void Box(int Left, int Top, int Right, int Bottom, bool Ellipse);
    // True when the painter draws device pixels one for one (a raster device, at most moved
    // by whole pixels); only then are GDI's pixel rules drawn exactly.
    bool PixelExact() const;
    // The pixels drawing can reach: the device, less the clip, in the painter's coordinates.
    QRect PixelBounds() const;
    bool ThinPen() const;
    // One-pixel pen lines through Points, each from its first pixel up to but without its
    // last, with the pen's dash pattern running on over the corners.
    void ThinLines(const TPixelPoint* Points, int Count, bool Closed);
    // ThinLines for a solid pen, straight into the picture: most chains of a frame are a few
    // dozen pixels, and listing them first cost more than setting them. False, with nothing
    // drawn, where the picture cannot be written directly.
    bool SolidThinLines(const TPixelPoint* Points, int Count, bool Closed);
    // ThinLines through a list of pixels, set together (by Qt where the picture cannot be
    // written directly).
    void ListedThinLines(const TPixelPoint* Points, int Count, bool Closed);
    void ThinEllipse(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom);
    // Fills a whole-pixel rectangle with the brush; nothing outside the bounds is touched.
    void FillBox(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, const QRect& Bounds);
    // Fills a polygon that outlines an upright rectangle with a solid brush, in the picture
    // itself; false, with nothing drawn, for any other polygon or where Qt must draw.
    bool FillUprightRectangle(const TPixelPoint* Points, int Count);
    void FlushPixels();
    // Sets the pixels in the painter's image itself where it can; false when Qt must.
    bool SetPixels(const std::vector<QPoint>& Points, TColor Color);
    // Fills one-pixel-high spans with an opaque colour the same way; false when Qt must.
    bool FillSpans(const std::vector<QRect>& Spans, TColor Color);
    struct TDirect;
    bool Direct(TDirect& D) const;
    // SolidThinLines' drawing into the picture D describes, in Ink (a TDirect::TInk, which this
    // header cannot name).
    template <class TInk>
    void DirectThinLines(const TDirect& D, const TInk& Ink, const TPixelPoint* Points, int Count, bool Closed);
    // What Direct reads of the painter, kept until the context changes the painter's transform
    // or clipping or lends the painter out: read for every chain, that state costs a frame more
    // than its pixels.
    enum class TDirectKnown : uint8_t { Unknown, None, Kept };
    mutable TDirectKnown FDirectKnown = TDirectKnown::Unknown;
    mutable std::unique_ptr<TDirect> FDirectKept;
    bool ReadDirect(TDirect& D) const;
    void ForgetDirect() { FDirectKnown = TDirectKnown::Unknown; }
    // Thin ellipses, in their steps: the whole-number shape of one size from its corner (drawn
    // straight into the picture when D is given), or the general way within the bounds.
    struct TEllipse;
    void EllipseShape(QPoint Corner, const TDirect* D);
    void DirectShape(QPoint Corner, const TDirect& D);
    void ClippedEllipse(const TEllipse& E, const QRect& Bounds);
    // Fills the state's spans with the brush.
    void FillEllipseSpans();
    // The selected font's metrics, and the width of Text in it (the last text is remembered).
    const QFontMetrics& Metrics();
    int Measure(const std::string& Text);
    const QString& AsQString(const std::string& Text);
    // Points as Qt must see them to draw what GDI draws.
    const QPointF* Centred(const TPixelPoint* Points, int Count);
    // Points on the pixel centres, where a smooth line of odd width lies symmetrically.
    const QPointF* PixelCentres(const TPixelPoint* Points, int Count);
    // A smooth outline through Points with Pen.
    void SmoothLines(const TPixelPoint* Points, int Count, bool Closed, const QPen& Pen);

    QPainter* FPainter;
    HGDIOBJ FPen, FBrush, FFont;
    int FBkMode = BK_OPAQUE;
    unsigned FTextAlign = TA_LEFT | TA_TOP;
    TColor FTextColor = 0;
    TColor FBkColor = 0xFFFFFF;
    bool FAntialiasing = false;
    // Qt-side state (realized font, point buffer, base transform) kept out of this header.
    struct TState;
    // Text shaped once in the selected font, when the surface is an image; null otherwise.
    TLaidText* LaidOut(const std::string& Text);
    // Blends the text's glyph masks straight into a 24-bit image, with the raster engine's own
    // arithmetic; false where the painter's state asks for Qt to draw.
    bool BlitGlyphs(TLaidText& Text, int Left, int Base);
    std::unique_ptr<TState> FState;
};

