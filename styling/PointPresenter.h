#pragma once
// Draws every point of an object as a symbol: a dot, a shape, a character of a symbol
// font or a picture.

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/OXUtils.h"
#include "platform/Pictures.h"
#include "styling/OrvexPresenter.h"

class QImage;
class TOrvexPen;
class TOrvexBrush;
class TOrvexFont;

enum TPointPresenterType : uint8_t {
    ppNone,
    ppFontSymbol,
    ppImage,
    ppDot,
    ppCircle,
    ppSquare,
    ppDiamond,
    ppTriangleUp,
    ppTriangleDown,
    ppTriangleLeft,
    ppTriangleRight
};

// A picture file that exists but cannot be decoded.
class EInvalidGraphic : public EOrvexException {
public:
    using EOrvexException::EOrvexException;
};

class TPointPresenter : public TOrvexPresenter {
    ORVEX_CLASS_INFO
public:
    static TPointPresenter* Create(TOrvexLayer* Layer);
    // Frees an owned image, then the pen, brush and font.
    ~TPointPresenter() override;

    TOrvexPen* PointPen() const { return FPointPen; }
    TOrvexBrush* PointBrush() const { return FPointBrush; }
    TOrvexFont* PointFont() const { return FPointFont; }
    int16_t SymbolIndex() const { return FSymbolIndex; }
    void SetSymbolIndex(int16_t V) { FSymbolIndex = V; }
    TPointPresenterType PointType() const { return FPointType; }
    void SetPointType(TPointPresenterType V) { FPointType = V; }
    TOrvexUnits PointUnit() const { return FPointUnit; }
    void SetPointUnit(TOrvexUnits V);
    int32_t PointSize() const { return FPointSize; }
    void SetPointSize(int32_t V);
    // Cap of the drawn size in screen pixels; 0: none.
    int32_t MaxPointSize() const { return FMaxPointSize; }
    void SetMaxPointSize(int32_t V);
    // The picture of ppImage. One set here is borrowed: the presenter never frees it.
    QImage* Image() const { return FImage; }
    // Inline, so that measuring the picture links the GUI libraries where pictures are set.
    void SetImage(QImage* Picture) { SetImage(Picture, Picture ? PictureSize(*Picture) : TPictureSize{}); }
    const std::string& ImageName() const { return FImageName; }
    // Loads the file into an owned picture; a missing file leaves no picture and an
    // empty name. Raises EInvalidGraphic for a file that cannot be decoded.
    void SetImageName(const std::string& Name);

    // Symbol width in pixels on the current surface (the cap applied).
    int32_t SymbolPixelSize() const;

    // The first point presenter of Layer itself whose values equal these; a null
    // attribute matches any.
    static TPointPresenter* FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen, const std::string& ImageName,
                                         int32_t PointSize, TOrvexUnits PointUnit, TPointPresenterType PointType,
                                         const TOrvexFont* TitleFont, const TOrvexFont* Font,
                                         const TOrvexBrush* Brush);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    // A single-point object gets the symbol's box (or its title's box for ppNone).
    void AdjustExtents(TOrvexObject& Obj) override;
    void Render(TOrvexObject& Obj) override;
    bool KeepsChainBox() const override;

protected:
    explicit TPointPresenter(TOrvexLayer* Layer);
    std::vector<TOrvexAttribute*> OwnedAttributes() const override;
    int16_t GlobalFallbackID() const override { return -1; }

private:
    void InvalidateUsers();
    void DropImage();

    TOrvexPen* FPointPen = nullptr;
    TOrvexBrush* FPointBrush = nullptr;
    TOrvexFont* FPointFont = nullptr;
    int16_t FSymbolIndex = 0;
    TPointPresenterType FPointType = ppCircle;
    TOrvexUnits FPointUnit = Pixel;
    int32_t FPointSize = 6;
    int32_t FMaxPointSize = 0;
    void SetImage(QImage* Picture, TPictureSize Size);
    // FImage is FOwnedImage's when read from the file named by FImageName, else borrowed.
    QImage* FImage = nullptr;
    std::shared_ptr<QImage> FOwnedImage;
    TPictureSize FImageSize;
    std::string FImageName;
};
