#pragma once
// The view's drawing surface: an off-screen 24-bit picture that a full render draws into,
// and the clipper that cuts the point sets projections leave in PointBuffer at the
// surface's edges.

#include <QImage>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "foundation/OXUtils.h"
#include "platform/DeviceContext.h"
#include "platform/GdiTools.h"
#include "platform/PointBuffer.h"

class QPainter;

class TOrvex3;
class TTextureData;

class TOrvexCanvas {
public:
    explicit TOrvexCanvas(TOrvex3* View);
    virtual ~TOrvexCanvas();
    // It owns its painter and contexts, and the view points at it.
    TOrvexCanvas(const TOrvexCanvas&) = delete;
    TOrvexCanvas& operator=(const TOrvexCanvas&) = delete;

    TOrvex3* View() const { return FView; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    int32_t PixelsPerInch() const { return FPixelsPerInch; }
    // The resolution a surface of another device (a printer) reports.
    void SetPixelsPerInch(int32_t V) { FPixelsPerInch = V; }

    // The off-screen picture: 24 bits, rows 4-byte aligned, top-down.
    // Both first draw what the context holds back.
    const QImage& Image() const;
    uint8_t* Bits();
    int32_t Stride() const { return static_cast<int32_t>(FImage.bytesPerLine()); }

    // The context all drawing goes to: the off-screen picture, or the painter drawing is
    // redirected to (the window during a paint, the printer while printing). Virtual, as the
    // model's calls into the canvas are (see TDeviceContext).
    virtual TDeviceContext* DC();
    // Draw through Painter until RedirectToImage; Painter must outlive the redirection.
    void RedirectTo(QPainter* Painter);
    void RedirectToImage();
    bool IsRedirected() const { return FRedirected != nullptr; }
    // Scattered drawing (see TDeviceContext::SetScattered) in every context the canvas has.
    void SetScattered(bool Value);
    // Smooth drawing in every context the canvas draws through.
    bool Antialiasing() const { return FAntialiasing; }
    void SetAntialiasing(bool Value);

    // The canvas's own tools, selected into DC by SelectTools.
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }
    // Selects the canvas's pen, brush and font into DC.
    void SelectTools();

    // Makes the off-screen picture the drawing target, through a fresh context.
    void BeginRender();
    // Makes the window painter the drawing target, without clip.
    void EndRender(QPainter* WindowPainter);

    // Rescales the view to a surface of another size or resolution; false (nothing
    // changed) when any argument is 0.
    bool SetSize(int32_t Width, int32_t Height, int32_t PixelsPerInch);
    // SetSize, then a new off-screen picture of that size and a full render request.
    void Resize(int32_t Width, int32_t Height, int32_t PixelsPerInch);

    // Clips the first Count entries of PointBuffer in place; returns the new count. A
    // result larger than the buffer is cut at its end (drawing uses the whole result).
    int32_t ClipPoints(int32_t Count, bool Closed, uint8_t ClipCode);
    // Clips (unless ClipCode is 0) and draws the first Count entries of PointBuffer.
    void PolylineBuffer(int32_t Count, uint8_t ClipCode);
    virtual void PolygonBuffer(int32_t Count, uint8_t ClipCode);
    // The same for points held elsewhere (chains longer than the shared buffer).
    void PolylinePoints(const TPixelPoint* Points, int32_t Count, uint8_t ClipCode);
    void PolygonPoints(const TPixelPoint* Points, int32_t Count, uint8_t ClipCode);

    // Texture mapping: palette colours written straight into the surface's pixel rows.
    // Rect (Left, Bottom, Width, Height) in OrvexUnits, drawn as two triangles.
    void RenderTextureRect(const TExtent& Rect, const TTextureData& Texture);
    // Vertices[0..2], geographic; nothing when one is not placed or the triangle spans the
    // projection's seam.
    void RenderTextureTriangle(const TPoint3D* Vertices, const TTextureData& Texture);
    // Rect in Columns x Rows cells, row by row from the south-west, each cell drawn by
    // RenderTextureRect.
    virtual void RenderTextureGrid(const TExtent& Rect, int32_t Columns, int32_t Rows, const TTextureData& Texture);
    // Runs Paint(), which draws texture. Drawing into the off-screen picture it lands there;
    // while drawing is redirected to a painter (printing, PDF) it is rendered at the
    // painter's resolution into images, band by band, which the painter then draws.
    template <class F>
    void PaintTextured(F&& Paint) {
        PaintTexturedWith([](void* P) { (*static_cast<std::remove_reference_t<F>*>(P))(); }, &Paint);
    }

private:
    // Where the texture rasteriser writes: Rows pixel rows of Width pixels of
    // BytesPerPixel bytes (3: blue, green, red; 4: the same and alpha), the first being
    // surface row Top. Dirty* bound what was written, for drawing bands.
    struct TTextureTarget {
        uint8_t* Bits = nullptr;
        int64_t Stride = 0;
        int32_t Width = 0;
        int32_t Top = 0;
        int32_t Rows = 0;
        int32_t BytesPerPixel = 3;
        int32_t DirtyLeft = 0, DirtyTop = 0, DirtyRight = -1, DirtyBottom = -1;
    };
    // PaintTextured without a template (and without allocating): Paint(Context) draws.
    using TPaintFunction = void (*)(void*);
    void PaintTexturedWith(TPaintFunction Paint, void* Context);
    // The band loop of PaintTextured while drawing is redirected.
    void PaintTexturedBands(QPainter& Painter, TPaintFunction Paint, void* Context);
    template <int BytesPerPixel>
    void ScanTriangle(const double (&X)[3], const double (&Y)[3], const double (&Row)[3], const double (&Col)[3],
                      const TTextureData& Texture, TTextureTarget& Target);

    // Runs the clipping passes named by ClipCode over Points; returns the result, which
    // lives in one of the canvas's work buffers (or is Points when nothing ran).
    const TPixelPoint* Clip(const TPixelPoint* Points, int32_t& Count, bool Closed, uint8_t ClipCode);

    TOrvex3* FView;
    int32_t FWidth = 150;
    int32_t FHeight = 150;
    int32_t FPixelsPerInch;
    QImage FImage;
    std::unique_ptr<QPainter> FImagePainter;
    std::unique_ptr<TDeviceContext> FImageDC;
    QPainter* FRedirected = nullptr;
    std::unique_ptr<TDeviceContext> FRedirectedDC;
    TPen FPen;
    TBrush FBrush;
    HGDIOBJ FFont;
    // Clipping work buffers; they grow to the largest set seen and are kept.
    std::vector<TPixelPoint> FWorkA, FWorkB;
    // Set while PaintTextured renders into a band image.
    TTextureTarget* FTextureTarget = nullptr;
    bool FAntialiasing = false;
};
