#pragma once
// Pen, brush and font settings of presenters. Each realizes itself lazily as a
// device-context object, selects it into the view's drawing surface and keeps it until a
// value changes.

#include <cstdint>
#include <string>

#include "foundation/OXUtils.h"
#include "model/OrvexPersistent.h"
#include "platform/DeviceContext.h"

class TOrvex3;
class TDeviceContext;

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
// Set elements of TFontStyles (bit numbers).
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = uint8_t;  // bit 0 bold, 1 italic, 2 underline, 3 strike-out

// A length in screen pixels on View's current surface (a printer has more pixels per
// inch): a rounding multiply-divide in 64 bits. Unchanged without a view.
int32_t ScreenToSurfacePixels(const TOrvex3* View, int32_t Pixels);

class TOrvexAttribute : public TOrvexPersistent {
    ORVEX_CLASS_INFO
public:
    // Releases the realized object (stock index 0).
    ~TOrvexAttribute() override;

    const HGDIOBJ& Handle() const { return FHandle; }
    bool HasHandle() const { return static_cast<bool>(FHandle); }
    TOrvex3* View() const;

    virtual void CreateHandle() = 0;
    // Selects stock objects into the surface (0: black pen, white brush, system font;
    // otherwise the stock object StockIndex), then drops the handle.
    virtual void ReleaseHandle(int StockIndex);
    virtual bool IsEqual(const TOrvexAttribute* Other) const = 0;
    // Realizes when needed and selects into the view's drawing surface.
    virtual void Apply(bool Selected) = 0;
    // Follows its presenter into another layer; the realized object is released first.
    void MoveToLayer(TOrvexLayer* Layer);

protected:
    explicit TOrvexAttribute(TOrvexLayer* Layer) : TOrvexPersistent(Layer) {}
    // The drawing surface's context of the owning layer's view, or null.
    TDeviceContext* DC() const;

    HGDIOBJ FHandle;
};

class TOrvexPen : public TOrvexAttribute {
    ORVEX_CLASS_INFO
public:
    // For a layer: starts as a copy of the view's default pen.
    static TOrvexPen* Create(TOrvexLayer* Layer);
    static TOrvexPen* CreateDetached(TColor Color, TPenStyle Style, uint8_t Width);
    ~TOrvexPen() override;

    TColor PenColor() const { return FPenColor; }
    void SetPenColor(TColor V);
    TPenStyle PenStyle() const { return FPenStyle; }
    void SetPenStyle(TPenStyle V);
    uint8_t PenWidth() const { return FPenWidth; }
    void SetPenWidth(uint8_t V);
    // Stores all three and releases a realized pen (realized again at the next Apply).
    void SetValues(TColor Color, TPenStyle Style, uint8_t Width);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    void CreateHandle() override;
    bool IsEqual(const TOrvexAttribute* Other) const override;
    void Apply(bool Selected) override;

protected:
    explicit TOrvexPen(TOrvexLayer* Layer);

private:
    TColor FPenColor = 0;
    TPenStyle FPenStyle = psSolid;
    uint8_t FPenWidth = 1;
};

class TOrvexBrush : public TOrvexAttribute {
    ORVEX_CLASS_INFO
public:
    static TOrvexBrush* Create(TOrvexLayer* Layer);
    static TOrvexBrush* CreateDetached(TColor Color, TBrushStyle Style);
    ~TOrvexBrush() override;

    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor V);
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle V);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    void CreateHandle() override;
    bool IsEqual(const TOrvexAttribute* Other) const override;
    void Apply(bool Selected) override;

protected:
    explicit TOrvexBrush(TOrvexLayer* Layer);

private:
    TColor FBrushColor = 0xFFFFFF;
    TBrushStyle FBrushStyle = bsSolid;
};

class TOrvexFont : public TOrvexAttribute {
    ORVEX_CLASS_INFO
public:
    // For a layer: starts as a copy of the view's default symbol font.
    static TOrvexFont* Create(TOrvexLayer* Layer);
    static TOrvexFont* CreateDetached(const std::string& Name, TColor Color, TOrvexUnits Unit, int32_t Size,
                                      int32_t Angle, TFontStyles Style);
    ~TOrvexFont() override;

    TOrvexUnits FontUnit() const { return FFontUnit; }
    void SetFontUnit(TOrvexUnits V);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor V);
    int32_t FontSize() const { return FFontSize; }
    void SetFontSize(int32_t V);
    int32_t FontAngle() const { return FFontAngle; }
    void SetFontAngle(int32_t V);
    TFontStyles FontStyle() const { return FFontStyle; }
    void SetFontStyle(TFontStyles V);
    const std::string& FontName() const { return FFontName; }
    void SetFontName(const std::string& V);

    // Character height in device pixels on the view's current surface. Apply realizes the
    // font again whenever this has changed since it was realized.
    int32_t FontHeight() const;

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    void CreateHandle() override;
    bool IsEqual(const TOrvexAttribute* Other) const override;
    void Apply(bool Selected) override;

protected:
    explicit TOrvexFont(TOrvexLayer* Layer);

private:
    TOrvexUnits FFontUnit = Pixel;
    TColor FFontColor = 0;
    int32_t FFontSize = 9;
    int32_t FFontAngle = 0;
    TFontStyles FFontStyle = 0;
    std::string FFontName;
    // FontHeight when the handle was made.
    int32_t FRealizedHeight = 0;
};
