#include "styling/OrvexPresenter.h"

#include <algorithm>
#include <cmath>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "view/Orvex3.h"

const TClassInfo& TOrvexPresenter::StaticClassInfo() {
    using P = TOrvexPresenter;
    static const TClassInfo Info{
        "TOrvexPresenter",
        &TOrvexPersistent::StaticClassInfo(),
        {},
        {
            MakeProp<P>("FeatureID", TPropKind::Integer, "Smallint", [](const P& p) { return p.FeatureID(); },
                        [](P& p, int16_t v) { p.SetFeatureID(v); }),
            MakeProp<P>("Name", TPropKind::String, "String", [](const P& p) { return p.Name(); },
                        [](P& p, std::string v) { p.SetName(v); }),
        }};
    return Info;
}

const TClassInfo& TOrvexPresenter::ClassInfo() const { return StaticClassInfo(); }

TOrvexPresenter::TOrvexPresenter(TOrvexLayer* Layer) : TOrvexPersistent(Layer) {
    if (FLayer) {
        FView = FLayer->View();
        FLayer->Presenters().push_back(this);
    }
}

TOrvexPresenter::~TOrvexPresenter() {
    if (FLayer) {
        auto& L = FLayer->Presenters();
        L.erase(std::remove(L.begin(), L.end(), this), L.end());
    }
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
}

void TOrvexPresenter::CopyFrom(const TPersistent* Source) {
    TOrvexPersistent::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TOrvexPresenter*>(Source)) {
        FName = S->FName;
        FFeatureID = S->FFeatureID;
    }
}

void TOrvexPresenter::Delete() {
    if (FView) {
        auto ClearRefs = [this](TOrvexLayer* L) {
            for (TOrvexObject* O : L->Objects())
                if (O->Presenter() == this) O->DetachPresenter();
        };
        for (TOrvexLayer* L : FView->Layers()) ClearRefs(L);
        if (FView->GlobalLayer()) ClearRefs(FView->GlobalLayer());
    } else if (FLayer) {
        for (TOrvexObject* O : FLayer->Objects())
            if (O->Presenter() == this) O->DetachPresenter();
    }
    TOrvex3* V = FView;
    delete this;
    if (V) V->RequestRender();
}

bool TOrvexPresenter::HitTest(TOrvexObject& Obj, const TPoint3D& Point) {
    const TExtent& E = Obj.Extents();
    return E.Left <= Point.X && Point.X <= int64_t(E.Left) + E.Width && E.Bottom <= Point.Y &&
           Point.Y <= int64_t(E.Bottom) + E.Height;
}

void TOrvexPresenter::AdjustExtents(TOrvexObject& Obj) {
    const long double Scale = FView ? FView->GetScaleFactor() : 0;
    if (Scale <= 0) {
        Obj.ExcludeState(osSubPixel);
        return;
    }
    const long double T = std::nearbyint(1.0L / Scale);
    const TExtent& E = Obj.Extents();
    if (E.Width <= T && E.Height <= T)
        Obj.IncludeState(osSubPixel);
    else
        Obj.ExcludeState(osSubPixel);
}

bool TOrvexPresenter::Accepts(const TOrvexObject&) const { return true; }
