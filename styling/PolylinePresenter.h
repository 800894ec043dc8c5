#pragma once
// Draws an object's point chain as a line with one pen.

#include "styling/OrvexPresenter.h"

class TOrvexPen;
class TOrvexFont;

class TPolylinePresenter : public TOrvexPresenter {
    ORVEX_CLASS_INFO
public:
    static TPolylinePresenter* Create(TOrvexLayer* Layer);
    ~TPolylinePresenter() override;

    TOrvexPen* PolylinePen() const { return FPolylinePen; }

    // The first polyline presenter of Layer itself whose pen and title font equal the
    // given ones; a null attribute matches any.
    static TPolylinePresenter* FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen, const TOrvexFont* TitleFont);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;
    // True when Point lies within one pixel of a segment of the chain.
    bool HitTest(TOrvexObject& Obj, const TPoint3D& Point) override;
    void Render(TOrvexObject& Obj) override;
    bool KeepsChainBox() const override;

protected:
    explicit TPolylinePresenter(TOrvexLayer* Layer);
    std::vector<TOrvexAttribute*> OwnedAttributes() const override;
    int16_t GlobalFallbackID() const override { return -2; }

private:
    TOrvexPen* FPolylinePen = nullptr;
};
