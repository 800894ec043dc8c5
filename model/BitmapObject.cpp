#include "model/BitmapObject.h"

#include <algorithm>

#include "model/OrvexLayer.h"
#include "model/OrvexStream.h"
#include "projections/PrjModel.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
// Large pictures are drawn in cells of at most 3 by 4 degrees, so that they follow the
// projection's curves and each cell stays on one side of a flat map's seam.
constexpr int64_t CellWidth = 3 * OrvexUnits::PerDegree;
constexpr int64_t CellHeight = 4 * OrvexUnits::PerDegree;
constexpr int64_t MaxColumns = 120, MaxRows = 45;
}  // namespace

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
    // Unlike the view's texture, a missing file leaves no image rather than the old one.
    FTexture.Clear();
    FTexture.LoadBitmapFile(Name);
    FTexture.TransparentIndex = FTransparentIndex;
    FBMPFilename = Name;
    PictureChanged();
}

void TBitmapObject::SetOrvexUnitsPerPixel(int32_t Value) {
    FOrvexUnitsPerPixel = Value;
    PictureChanged();
}

void TBitmapObject::PictureChanged() {
    // The layer's extent covers the picture too: it is computed afresh.
    if (FLayer) FLayer->SetExtents(TExtent{});
    Invalidate();
}

bool TBitmapObject::Shown() const { return !Presenter() && FTexture.IsLoaded() && FOrvexUnitsPerPixel > 0; }

TColor TBitmapObject::TransparentColor() const { return FTexture.IndexToColor(FTransparentIndex); }

void TBitmapObject::SetTransparentColor(TColor Color) {
    FTransparentIndex = FTexture.ColorToIndex(Color);
    FTexture.TransparentIndex = FTransparentIndex;
}

void TBitmapObject::CalcExtents() {
    if (FTexture.IsLoaded()) {
        const int64_t Width = int64_t(FTexture.ImageWidth()) * FOrvexUnitsPerPixel;
        const int64_t Height = int64_t(FTexture.ImageHeight()) * FOrvexUnitsPerPixel;
        const TPoint3D& P = Point();
        FTexture.Area = TExtent{P.X, SaturateInt32(int64_t(P.Y) - Height), SaturateInt32(Width), SaturateInt32(Height)};
    }
    TSinglePointObject::CalcExtents();
    if (Shown()) SetExtents(FTexture.Area);
}

bool TBitmapObject::IsVisibleIn(TOrvex3& View) {
    if (!Shown()) return TSinglePointObject::IsVisibleIn(View);
    if (!TOrvexObject::IsVisibleIn(View)) return false;
    // Sampled over the whole picture, which may be far larger than its corners show.
    TPrjModel* Prj = View.ProjectionModel();
    return Prj && Prj->IsExtentVisible(Extents(), this, ClipCodeRef());
}

void TBitmapObject::Render() {
    if (Presenter()) {
        TSinglePointObject::Render();
        return;
    }
    TOrvex3* V = View();
    if (!V || !V->Canvas()) return;
    if (!HasState(osExtentsValid)) CalcExtents();
    if (!Shown()) return;
    const TExtent& R = FTexture.Area;
    TPrjModel* Prj = V->ProjectionModel();
    if (Prj && !Prj->Seamless()) {
        // A flat map is cut at the meridian opposite its central one: the picture is
        // drawn in two parts when it crosses there.
        const int64_t Seam = NormalizeLongitude(int64_t(Prj->CentralMeridian()) + OrvexUnits::Deg180);
        const int64_t East = ((Seam - R.Left) % OrvexUnits::Deg360 + OrvexUnits::Deg360) % OrvexUnits::Deg360;
        if (East > 0 && East < R.Width) {
            DrawPart(TExtent{R.Left, R.Bottom, static_cast<int32_t>(East), R.Height});
            DrawPart(TExtent{NormalizeLongitude(Seam), R.Bottom, static_cast<int32_t>(R.Width - East), R.Height});
            return;
        }
    }
    DrawPart(R);
}

void TBitmapObject::DrawPart(const TExtent& Part) {
    const int64_t Columns = std::clamp<int64_t>((int64_t(Part.Width) + CellWidth - 1) / CellWidth, 1, MaxColumns);
    const int64_t Rows = std::clamp<int64_t>((int64_t(Part.Height) + CellHeight - 1) / CellHeight, 1, MaxRows);
    View()->Canvas()->RenderTextureGrid(Part, static_cast<int32_t>(Columns), static_cast<int32_t>(Rows), FTexture);
}

void TBitmapObject::CopyFrom(const TPersistent* Source) {
    TSinglePointObject::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TBitmapObject*>(Source)) {
        SetOrvexUnitsPerPixel(S->FOrvexUnitsPerPixel);
        SetBMPFilename(S->FBMPFilename);
    }
}

int32_t TBitmapObject::StoredFeatureID(const TOrvexStream& Stream, size_t Start) const {
    // The record header: flags word, the title (0x01), ID (0x02) and zoom range (0x80)
    // when flagged, then the FeatureID.
    const uint8_t Flags = StreamFlags();
    size_t At = Start + 2;
    if (Flags & 0x01) At += 1 + Title().size();
    if (Flags & 0x02) At += 4;
    if (Flags & 0x80) At += 8;
    const std::vector<uint8_t>& Data = Stream.Data();
    if (At + 2 > Data.size()) return -1;
    return static_cast<int16_t>(Data[At] | Data[At + 1] << 8);
}

void TBitmapObject::SaveToStream(TOrvexStream& Stream) {
    TSinglePointObject::SaveToStream(Stream);
    Stream.WriteInt32(FOrvexUnitsPerPixel);
    Stream.WriteInt32(FTransparentIndex);
    Stream.WriteShortString(FBMPFilename);
}

void TBitmapObject::LoadFromStream(TOrvexStream& Stream) {
    const size_t Start = Stream.Position();
    TSinglePointObject::LoadFromStream(Stream);
    // A stored FeatureID of 0 is a picture saved without a presenter. The look-up by ID
    // takes 0 for "any" and hands it the first presenter there is, and the picture would
    // come back as a symbol: it stays without one.
    if (Presenter() && StoredFeatureID(Stream, Start) == 0) DetachPresenter();
    const int32_t UnitsPerPixel = Stream.ReadInt32();
    const int32_t Transparent = Stream.ReadInt32();
    const std::string Name = Stream.ReadShortString();
    SetOrvexUnitsPerPixel(UnitsPerPixel);
    // Before the file name, whose setter hands the index to the texture.
    FTransparentIndex = Transparent;
    SetBMPFilename(Name);
}
