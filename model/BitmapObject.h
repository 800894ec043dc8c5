#pragma once
// A 256-colour bitmap placed on the map: its top-left corner sits at the object's point and
// each bitmap pixel covers OrvexUnitsPerPixel units.

#include <cstdint>
#include <string>

#include "model/OrvexObject.h"
#include "model/TextureData.h"
#include "platform/DeviceContext.h"

class TBitmapObject : public TSinglePointObject {
    ORVEX_CLASS_INFO
public:
    static TBitmapObject* Create(TOrvexLayer* Layer) { return CreateIn<TBitmapObject>(Layer); }
    static TBitmapObject* Create(TOrvexLayer* Layer, TOrvexPresenter* Presenter, int32_t ID, const std::string& Title) {
        return CreateIn<TBitmapObject>(Layer, Presenter, ID, Title);
    }

    const std::string& BMPFilename() const { return FBMPFilename; }
    // Loads the bitmap (a missing or unsuitable file leaves no image), then invalidates.
    void SetBMPFilename(const std::string& Name);
    // The image, and the rectangle it is drawn into (set by CalcExtents).
    const TTextureData& Texture() const { return FTexture; }
    int32_t OrvexUnitsPerPixel() const { return FOrvexUnitsPerPixel; }
    void SetOrvexUnitsPerPixel(int32_t Value);
    // Palette index drawn transparent, -1 for none.
    int32_t TransparentIndex() const { return FTransparentIndex; }
    // The colour of TransparentIndex (black without an image). Setting looks the colour up
    // in the palette (-1 when absent) and requests no redraw.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Color);

    // Takes the point; from another bitmap object also the scale and the file (reloaded),
    // but not the transparent index.
    void CopyFrom(const TPersistent* Source) override;
    // The drawing rectangle: the point is its north-west corner, the image extends east and
    // south. An image drawn without a presenter is the object's extent too, so that hit
    // tests and the visibility test see the whole picture; with a presenter, or without
    // an image, the extent is that of a point.
    void CalcExtents() override;
    bool IsVisibleIn(TOrvex3& View) override;
    // The presenter's drawing when there is one, else the image in its rectangle.
    void Render() override;
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;

protected:
    friend class TOrvexObject;
    explicit TBitmapObject(TOrvexLayer* Layer) : TSinglePointObject(Layer) {}

private:
    // Whether the object draws its image itself.
    bool Shown() const;
    // A new image or scale: a new extent for the object and its layer, and a redraw.
    void PictureChanged();
    // The FeatureID of the record that starts at Start, as stored.
    int32_t StoredFeatureID(const TOrvexStream& Stream, size_t Start) const;
    // Draws Part of the drawing rectangle in cells.
    void DrawPart(const TExtent& Part);

    TTextureData FTexture;
    std::string FBMPFilename;
    int32_t FOrvexUnitsPerPixel = OrvexUnits::PerMinute;
    int32_t FTransparentIndex = -1;
};
