#pragma once
// Draws an object's point chain as a filled area with a pen and a brush.

#include "styling/OrvexPresenter.h"

class TOrvexPen;
class TOrvexBrush;
class TOrvexFont;

class TPolygonPresenter : public TOrvexPresenter {
    ORVEX_CLASS_INFO
public:
    static TPolygonPresenter* Create(TOrvexLayer* Layer);
    ~TPolygonPresenter() override;

    TOrvexPen* PolygonPen() const { return FPolygonPen; }
    TOrvexBrush* PolygonBrush() const { return FPolygonBrush; }

    // The first polygon presenter of Layer itself whose pen, title font and brush equal
    // the given ones; a null attribute matches any.
    static TPolygonPresenter* FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen, const TOrvexFont* TitleFont,
                                           const TOrvexBrush* Brush);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    // Even-odd crossing test; for an extent across 180 degrees only the points on the
    // same side of the date line as Point take part.
    bool HitTest(TOrvexObject& Obj, const TPoint3D& Point) override;
    void Render(TOrvexObject& Obj) override;
    bool KeepsChainBox() const override;

protected:
    explicit TPolygonPresenter(TOrvexLayer* Layer);
    std::vector<TOrvexAttribute*> OwnedAttributes() const override;
    int16_t GlobalFallbackID() const override { return -3; }

private:
    TOrvexPen* FPolygonPen = nullptr;
    TOrvexBrush* FPolygonBrush = nullptr;
};
