#include "model/OrvexLayer.h"

#include <algorithm>
#include <strings.h>

#include "model/OrvexObject.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

const TClassInfo& TOrvexLayer::StaticClassInfo() {
    static const TClassInfo Info{"TOrvexLayer", &TPersistent::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TOrvexLayer::ClassInfo() const { return StaticClassInfo(); }

TOrvexLayer::TOrvexLayer(TOrvex3* View) : FView(View) {
    if (FView) {
        FView->Layers().push_back(this);
        FView->LayersChanged = true;
    }
    Reset();
}

TOrvexLayer::~TOrvexLayer() {
    Reset();
    if (FView) {
        auto& L = FView->Layers();
        L.erase(std::remove(L.begin(), L.end(), this), L.end());
        FView->LayersChanged = true;
        FView->RequestRender();
    }
}

bool TOrvexLayer::IsGlobalLayer() const { return FView && FView->GlobalLayer() == this; }

void TOrvexLayer::SetName(const std::string& Name) {
    FName = Name;
    if (FView) FView->LayersChanged = true;
}

void TOrvexLayer::SetAnimated(bool Value) {
    if (Value == FAnimated) return;
    FAnimated = Value;
    if (FView) {
        FView->LayersChanged = true;
        FView->ScaleChanged = true;
        FView->RequestRender();
    }
}

TOrvexObject* TOrvexLayer::GetObject(int32_t Index) const {
    return Index >= 0 && Index < ObjectCount() ? FObjects[Index] : nullptr;
}

TOrvexPresenter* TOrvexLayer::GetPresenter(int32_t Index) const {
    return Index >= 0 && Index < PresenterCount() ? FPresenters[Index] : nullptr;
}

int32_t TOrvexLayer::IndexOfObject(const TOrvexObject* Obj) const {
    auto It = std::find(FObjects.begin(), FObjects.end(), Obj);
    return It == FObjects.end() ? -1 : static_cast<int32_t>(It - FObjects.begin());
}

TOrvexPresenter* TOrvexLayer::FindPresenter(const std::string& Name, int16_t FeatureID) const {
    for (TOrvexPresenter* P : FPresenters)
        if ((FeatureID == 0 || FeatureID == P->FeatureID()) &&
            (Name.empty() || strcasecmp(Name.c_str(), P->Name().c_str()) == 0))
            return P;
    if (FView && !IsGlobalLayer() && FView->GlobalLayer()) return FView->GlobalLayer()->FindPresenter(Name, FeatureID);
    return nullptr;
}

void TOrvexLayer::Clear() {
    if (FView) {
        TOrvexObject* Sel = FView->SelectedObject();
        if (Sel && Sel->Layer() == this) FView->SelectObject(nullptr);
    }
    // Each member unlinks itself from the list in its destructor.
    while (!FObjects.empty()) delete FObjects.back();
    while (!FPresenters.empty()) delete FPresenters.front();
    FIsLoaded = false;
}

void TOrvexLayer::Reset() {
    FFilename.clear();
    FExtents = TExtent{};
    FEnabled = true;
    FVisible = true;
    FAnimated = false;
    FLoadOnDemand = false;
    FMaxFontHeight = 0;
    FZoomMin = 0;
    FZoomMax = 0;
    FZoomUnits = NauticalMile;
    Clear();
    if (FView) FView->RequestRender();
}

void TOrvexLayer::Delete() { delete this; }
