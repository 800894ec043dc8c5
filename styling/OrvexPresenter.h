#pragma once
// A named drawing style that lives in a layer and draws the layer's objects.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/OrvexPersistent.h"

class TOrvex3;
class TOrvexObject;
class TOrvexAttribute;
class TOrvexFont;

// Where titles are placed relative to their anchor; taNone draws none.
enum TTitleAlignment : uint8_t {
    taNone,
    taCenter,
    taLeft,
    taRight,
    taTopLeft,
    taTop,
    taTopRight,
    taBottomLeft,
    taBottom,
    taBottomRight
};

// The units a pixel spans at Scale (pixels per unit, positive): an extent no wider or taller
// is sub-pixel.
inline long double SubPixelUnits(long double Scale) { return std::rint(1.0L / Scale); }

class TOrvexPresenter : public TOrvexPersistent {
    ORVEX_CLASS_INFO
public:
    // Detaches every object that uses the presenter, frees the title font and leaves the
    // owning layer's presenter list.
    ~TOrvexPresenter() override;

    TOrvex3* View() const { return FView; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }
    int16_t FeatureID() const { return FFeatureID; }
    void SetFeatureID(int16_t ID) { FFeatureID = ID; }
    uint8_t InUse() const { return FInUse; }
    void SetInUse(uint8_t V) { FInUse = V; }
    // Position in the owning layer's presenter list (-1 without a layer).
    int32_t Index() const;
    // The objects that use this presenter, in any layer: FirstUser, then each one's NextUser.
    TOrvexObject* FirstUser() const { return FFirstUser; }

    TOrvexFont* TitleFont() const { return FTitleFont; }
    TTitleAlignment TitleAlignment() const { return FTitleAlignment; }
    void SetTitleAlignment(TTitleAlignment V);
    // Distance of titles from their anchor in TitleFont's unit; never stored or copied.
    int16_t TitleOffset() const { return FTitleOffset; }
    void SetTitleOffset(int16_t V);

    void CopyFrom(const TPersistent* Source) override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;

    // Destroys the presenter (which clears every reference to it) and requests a render.
    virtual void Delete();
    // Base: Point lies in the object's extent, bounds included.
    virtual bool HitTest(TOrvexObject& Obj, const TPoint3D& Point);
    // Base: sets osSubPixel when the extent fits in one pixel, clears it otherwise.
    virtual void AdjustExtents(TOrvexObject& Obj);
    // True when AdjustExtents leaves a chain's box (two or more points) as its points give it
    // and changes only the sub-pixel state, so that a new scale needs no walk of the points.
    // Base: false, the safe answer for a presenter that may widen boxes for the scale.
    virtual bool KeepsChainBox() const;
    virtual void Render(TOrvexObject& Obj) = 0;
    virtual bool Accepts(const TOrvexObject& Obj) const;

    // Null: Delete. Into the global layer the objects keep the presenter; into another
    // layer the objects of the current layer switch to a global replacement first (or to
    // none when the global layer has none for them). A presenter of the global layer stays
    // there.
    void MoveToLayer(TOrvexLayer* Layer);

    // The constructor used wherever new presenters are made: numbers and names the
    // presenter when FeatureID is 0 or Name is empty.
    template <class T>
    static T* CreateNamed(TOrvexLayer* Layer, int16_t FeatureID, const std::string& Name) {
        T* P = T::Create(Layer);
        try {
            P->InitNamed(FeatureID, Name);
        } catch (...) {
            delete P;
            throw;
        }
        return P;
    }

protected:
    // Appends the presenter to Layer's presenter list and makes its title font.
    explicit TOrvexPresenter(TOrvexLayer* Layer);
    void InitNamed(int16_t FeatureID, const std::string& Name);
    // The attributes the presenter owns; they follow it into another layer.
    virtual std::vector<TOrvexAttribute*> OwnedAttributes() const;
    // The global presenter that stands in for this class when no global presenter has
    // this one's name and number (0: the first).
    virtual int16_t GlobalFallbackID() const { return 0; }

private:
    friend class TOrvexObject;
    TOrvex3* FView = nullptr;
    TOrvexObject* FFirstUser = nullptr;
    std::string FName;
    int16_t FFeatureID = 0;
    uint8_t FInUse = 0;
    TOrvexFont* FTitleFont = nullptr;
    TTitleAlignment FTitleAlignment = taNone;
    int16_t FTitleOffset = 0;
    // A pixel in units at the scale AdjustExtents last saw: a scale change visits every object.
    long double FPixelScale = 0;
    long double FPixelUnits = 0;
};
