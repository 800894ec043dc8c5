#include "styling/OrvexPresenter.h"

#include <algorithm>
#include <cmath>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "styling/OrvexAttributes.h"
#include "view/Orvex3.h"

namespace {
const std::vector<std::string> TitleAlignmentNames{"taNone",     "taCenter",       "taLeft",   "taRight",
                                                   "taTopLeft",  "taTop",          "taTopRight",
                                                   "taBottomLeft", "taBottom",     "taBottomRight"};

TTitleAlignment CheckedTitleAlignment(int64_t V) {
    if (V < taNone || V > taBottomRight) throw EOrvexException(Format("Invalid title alignment %lld", (long long)V));
    return static_cast<TTitleAlignment>(V);
}
}  // namespace

const TClassInfo& TOrvexPresenter::StaticClassInfo() {
    using P = TOrvexPresenter;
    static const TClassInfo Info{
        "TOrvexPresenter",
        &TOrvexPersistent::StaticClassInfo(),
        {},
        {
            MakeProp<P>("Name", TPropKind::String, "String", [](const P& p) { return p.Name(); },
                        [](P& p, std::string v) { p.SetName(v); }),
            MakeProp<P>("FeatureID", TPropKind::Integer, "Smallint", [](const P& p) { return p.FeatureID(); },
                        [](P& p, int16_t v) { p.SetFeatureID(v); }),
            MakeProp<P>("TitleFont", TPropKind::Class, "TOrvexFont", [](const P& p) { return p.TitleFont(); },
                        nullptr),
            MakeProp<P>(
                "TitleAlignment", TPropKind::Enumeration, "TTitleAlignment",
                [](const P& p) { return p.TitleAlignment(); },
                [](P& p, int64_t v) { p.SetTitleAlignment(CheckedTitleAlignment(v)); }, TitleAlignmentNames),
            MakeProp<P>("TitleOffset", TPropKind::Integer, "Smallint", [](const P& p) { return p.TitleOffset(); },
                        [](P& p, int16_t v) { p.SetTitleOffset(v); }),
        }};
    return Info;
}

const TClassInfo& TOrvexPresenter::ClassInfo() const { return StaticClassInfo(); }

TOrvexPresenter::TOrvexPresenter(TOrvexLayer* Layer) : TOrvexPersistent(Layer) {
    FTitleFont = TOrvexFont::Create(Layer);
    if (FLayer) {
        FView = FLayer->View();
        FLayer->Presenters().push_back(this);
    }
}

TOrvexPresenter::~TOrvexPresenter() {
    // However the presenter goes (Delete, its layer's Clear or destruction), no object keeps
    // a reference to it.
    if (FFirstUser && FView && !FView->IsDestroying()) FView->RequestRender();
    while (FFirstUser) FFirstUser->DetachPresenter();
    delete FTitleFont;
    if (FLayer) FLayer->RemovePresenter(this);
}

int32_t TOrvexPresenter::Index() const {
    if (!FLayer) return -1;
    const auto& L = FLayer->Presenters();
    auto It = std::find(L.begin(), L.end(), this);
    return It == L.end() ? -1 : static_cast<int32_t>(It - L.begin());
}

void TOrvexPresenter::InitNamed(int16_t FeatureID, const std::string& Name) {
    const bool Global = FLayer && FLayer->IsGlobalLayer();
    if (FeatureID != 0) {
        FFeatureID = FeatureID;
    } else {
        const int32_t Number = Index() + 1;
        FFeatureID = static_cast<int16_t>(Global ? -Number : Number);
    }
    if (!Name.empty())
        FName = Name;
    else
        FName = (Global ? "Global" : "") + ClassName().substr(1) + std::to_string(FFeatureID);
    if (FView && FView->TitleFont()) FTitleFont->CopyFrom(FView->TitleFont());
}

std::vector<TOrvexAttribute*> TOrvexPresenter::OwnedAttributes() const { return {FTitleFont}; }

void TOrvexPresenter::SetTitleAlignment(TTitleAlignment V) {
    FTitleAlignment = V;
    if (FView) FView->RequestRender();
}

void TOrvexPresenter::SetTitleOffset(int16_t V) {
    FTitleOffset = V;
    if (FView) FView->RequestRender();
}

void TOrvexPresenter::CopyFrom(const TPersistent* Source) {
    TOrvexPersistent::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TOrvexPresenter*>(Source)) {
        FName = S->FName;
        FFeatureID = S->FFeatureID;
        SetTitleAlignment(S->FTitleAlignment);
        FTitleFont->CopyFrom(S->FTitleFont);
    }
}

void TOrvexPresenter::SaveToStream(TOrvexStream& Stream) {
    Stream.WriteInt32(FFeatureID);
    Stream.WriteShortString(FName);
    Stream.WriteUInt8(FTitleAlignment);
    FTitleFont->SaveToStream(Stream);
}

void TOrvexPresenter::LoadFromStream(TOrvexStream& Stream) {
    // Only the low 16 bits of the stored number are kept.
    const auto ID = static_cast<int16_t>(Stream.ReadInt32());
    std::string Name = Stream.ReadShortString();
    const TTitleAlignment Alignment = CheckedTitleAlignment(Stream.ReadUInt8());
    FFeatureID = ID;
    FName = std::move(Name);
    FTitleAlignment = Alignment;
    FTitleFont->LoadFromStream(Stream);
}

void TOrvexPresenter::MoveToLayer(TOrvexLayer* Layer) {
    if (!Layer) {
        Delete();
        return;
    }
    if (FLayer && FLayer->IsGlobalLayer()) return;
    if (Layer == FLayer) return;
    if (!Layer->IsGlobalLayer() && FLayer) {
        TOrvexLayer* Global = FLayer->GlobalLayer();
        TOrvexPresenter* Replacement = nullptr;
        if (Global) {
            Replacement = Global->FindPresenter(FName, FFeatureID);
            if (!Replacement) Replacement = Global->FindPresenter("", GlobalFallbackID());
        }
        for (TOrvexObject* O : FLayer->Objects())
            if (O->Presenter() == this) {
                O->SetPresenter(Replacement);
                // No stand-in (or one that refuses the object): the object is left without
                // a presenter rather than on one of another layer.
                if (O->Presenter() == this) O->DetachPresenter();
            }
    }
    if (FLayer) FLayer->RemovePresenter(this);
    Layer->Presenters().push_back(this);
    FLayer = Layer;
    FView = Layer->View();
    for (TOrvexAttribute* A : OwnedAttributes())
        if (A) A->MoveToLayer(Layer);
}

void TOrvexPresenter::Delete() {
    TOrvex3* V = FView;
    delete this;
    if (V) V->RequestRender();
}

bool TOrvexPresenter::HitTest(TOrvexObject& Obj, const TPoint3D& Point) {
    const TExtent& E = Obj.Extents();
    return E.Left <= Point.X && Point.X <= int64_t(E.Left) + E.Width && E.Bottom <= Point.Y &&
           Point.Y <= int64_t(E.Bottom) + E.Height;
}

bool TOrvexPresenter::KeepsChainBox() const { return false; }

void TOrvexPresenter::AdjustExtents(TOrvexObject& Obj) {
    const long double Scale = FView ? FView->GetScaleFactor() : 0;
    if (Scale <= 0) {
        Obj.ExcludeState(osSubPixel);
        return;
    }
    if (Scale != FPixelScale) {
        FPixelScale = Scale;
        FPixelUnits = SubPixelUnits(Scale);
    }
    const long double T = FPixelUnits;
    const TExtent& E = Obj.Extents();
    if (E.Width <= T && E.Height <= T)
        Obj.IncludeState(osSubPixel);
    else
        Obj.ExcludeState(osSubPixel);
}

bool TOrvexPresenter::Accepts(const TOrvexObject&) const { return true; }
