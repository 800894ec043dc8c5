#pragma once
// The view's drawing surface: an off-screen 24-bit picture that a full render draws into,
// the process-wide point buffers that projections fill, the clip-code rule and the
// clipper that cuts point sets at the surface's edges.

#include <QImage>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DeviceContext.h"
#include "platform/GdiTools.h"

class QPainter;

constexpr int32_t PointBufferSize = 65537;

// Allocated with the first view, released with the last (see TOrvex3).
extern TPixelPoint* PointBuffer;

class TOrvex3;

class TOrvexCanvas {
public:
    explicit TOrvexCanvas(TOrvex3* View);
    virtual ~TOrvexCanvas();

    TOrvex3* View() const { return FView; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    int32_t PixelsPerInch() const { return FPixelsPerInch; }
    // The resolution a surface of another device (a printer) reports.
    void SetPixelsPerInch(int32_t V) { FPixelsPerInch = V; }

    // The off-screen picture: 24 bits, rows 4-byte aligned, top-down.
    const QImage& Image() const { return FImage; }
    uint8_t* Bits() { return FImage.bits(); }
    int32_t Stride() const { return static_cast<int32_t>(FImage.bytesPerLine()); }

    // The context all drawing goes to: the off-screen picture, or the painter drawing is
    // redirected to (the window during a paint, the printer while printing).
    TDeviceContext* DC();
    // Draw through Painter until RedirectToImage; Painter must outlive the redirection.
    void RedirectTo(QPainter* Painter);
    void RedirectToImage();
    bool IsRedirected() const { return FRedirected != nullptr; }

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

private:
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
};
