#include "model/BitmapObject.h"

#include "model/OrvexStream.h"

const TClassInfo& TBitmapObject::StaticClassInfo() {
    using B = TBitmapObject;
    static const TClassInfo Info{
        "TBitmapObject",
        &TSinglePointObject::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<B>("BMPFilename", TPropKind::String, "String", [](const B& b) { return b.BMPFilename(); },
                        [](B& b, std::string v) { b.SetBMPFilename(v); }),
            MakeProp<B>("OrvexUnitsPerPixel", TPropKind::Integer, "Integer",
                        [](const B& b) { return b.OrvexUnitsPerPixel(); },
                        [](B& b, int32_t v) { b.SetOrvexUnitsPerPixel(v); }),
            MakeProp<B>("TransparentColor", TPropKind::Integer, "TColor",
                        [](const B& b) { return b.TransparentColor(); },
                        [](B& b, TColor v) { b.SetTransparentColor(v); }),
        }};
    return Info;
}

const TClassInfo& TBitmapObject::ClassInfo() const { return StaticClassInfo(); }

void TBitmapObject::SetBMPFilename(const std::string& Name) {
    FTexture.LoadFromFile(Name);
    FTexture.TransparentIndex = FTransparentIndex;
    FBMPFilename = Name;
    Invalidate();
}

void TBitmapObject::SetOrvexUnitsPerPixel(int32_t Value) {
    FOrvexUnitsPerPixel = Value;
    Invalidate();
}

TColor TBitmapObject::TransparentColor() const { return FTexture.ColorOf(FTransparentIndex); }

void TBitmapObject::SetTransparentColor(TColor Color) {
    FTransparentIndex = FTexture.PaletteIndexOf(Color);
    FTexture.TransparentIndex = FTransparentIndex;
}

void TBitmapObject::CopyFrom(const TPersistent* Source) {
    TSinglePointObject::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TBitmapObject*>(Source)) {
        SetOrvexUnitsPerPixel(S->FOrvexUnitsPerPixel);
        SetBMPFilename(S->FBMPFilename);
    }
}

void TBitmapObject::SaveToStream(TOrvexStream& Stream) {
    TSinglePointObject::SaveToStream(Stream);
    Stream.WriteInt32(FOrvexUnitsPerPixel);
    Stream.WriteInt32(FTransparentIndex);
    Stream.WriteShortString(FBMPFilename);
}

void TBitmapObject::LoadFromStream(TOrvexStream& Stream) {
    TSinglePointObject::LoadFromStream(Stream);
    const int32_t UnitsPerPixel = Stream.ReadInt32();
    const int32_t Transparent = Stream.ReadInt32();
    const std::string Name = Stream.ReadShortString();
    SetOrvexUnitsPerPixel(UnitsPerPixel);
    // Before the file name, whose setter hands the index to the texture.
    FTransparentIndex = Transparent;
    SetBMPFilename(Name);
}
