#pragma once
// A 256-colour bitmap placed on the map: its top-left corner sits at the object's point and
// each bitmap pixel covers OrvexUnitsPerPixel units.

#include <cstdint>
#include <string>

#include "model/OrvexObject.h"
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
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;

protected:
    friend class TOrvexObject;
    explicit TBitmapObject(TOrvexLayer* Layer) : TSinglePointObject(Layer) {}

private:
    // Stands in for the texture until texture mapping is in place: it never holds an image,
    // so colours resolve to black and every palette search fails.
    struct TPlaceholderTexture {
        int32_t TransparentIndex = -1;
        bool HasData() const { return false; }
        void LoadFromFile(const std::string&) {}
        int32_t PaletteIndexOf(TColor) const { return -1; }
        TColor ColorOf(int32_t) const { return 0; }
    };

    TPlaceholderTexture FTexture;
    std::string FBMPFilename;
    int32_t FOrvexUnitsPerPixel = OrvexUnits::PerMinute;
    int32_t FTransparentIndex = -1;
};
