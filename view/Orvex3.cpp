#include "view/Orvex3.h"

#include <algorithm>
#include <new>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjModel.h"
#include "view/OrvexCanvas.h"

namespace {
int LiveViews = 0;
}

TOrvex3::TOrvex3(QWidget* Parent) : QWidget(Parent) {
    if (LiveViews == 0) {
        PointBuffer = new TPixelPoint[PointBufferSize];
        try {
            ClipBuffer = new TPixelPoint[PointBufferSize];
        } catch (...) {
            delete[] PointBuffer;
            PointBuffer = nullptr;
            throw;
        }
    }
    ++LiveViews;
    resize(150, 150);
    FCanvas = std::make_unique<TOrvexCanvas>(this);
    FProjection = std::make_unique<TPrjModel>(this);
    // The global layer is made like any other, then taken out of the drawing list.
    FGlobalLayer = AddLayer("GlobalLayer");
    FLayers.clear();
    Clear();
}

TOrvex3::~TOrvex3() {
    FDestroying = true;
    Clear();
    delete FGlobalLayer;
    FGlobalLayer = nullptr;
    FProjection.reset();
    FCanvas.reset();
    if (--LiveViews == 0) {
        delete[] PointBuffer;
        delete[] ClipBuffer;
        PointBuffer = ClipBuffer = nullptr;
    }
}

TOrvexLayer* TOrvex3::GetLayer(int32_t Index) const {
    if (Index < 0 || Index >= LayerCount()) throw EOrvexException(Format("TOrvex3.GetLayer: Bad layer index %d", Index));
    return FLayers[Index];
}

TOrvexLayer* TOrvex3::AddLayer(const std::string& Name) {
    auto* L = new TOrvexLayer(this);
    L->SetName(Name);
    return L;
}

void TOrvex3::Clear() {
    SelectObject(nullptr);
    while (!FLayers.empty()) delete FLayers.back();
    if (FGlobalLayer) {
        // The global layer is not in the list, so its destructor-side bookkeeping does not
        // apply; reset it in place.
        FGlobalLayer->Reset();
    }
}

void TOrvex3::SelectObject(TOrvexObject* Obj) {
    TOrvexObject* Previous = SelectedObject();
    if (Obj == Previous) return;
    if (!FDestroying && Previous && OnDeSelected) OnDeSelected(this, Previous);
    while (!FSelection.empty()) FSelection.back()->SetSelected(false);
    if (Obj) Obj->SetSelected(true);
    if (!FDestroying && OnSelected) OnSelected(this, Obj);
}

void TOrvex3::RequestRender() {
    RedrawPending = true;
    update();
}

void TOrvex3::RequestRepaint() { update(); }

void TOrvex3::SetProjectionModel(TPrjModel* Model) {
    if (!Model || Model == FProjection.get()) return;
    FProjection.reset(Model);
    ScaleChanged = true;
    RequestRender();
}

long double TOrvex3::GetScaleFactor() const { return FProjection ? FProjection->ScaleFactor() : 0; }

bool TOrvex3::ComputeClipCode(int32_t Count, uint8_t& ClipCode) const {
    if (Count <= 1 || !PointBuffer) return false;
    int32_t MinX = 2147483647, MinY = 2147483647, MaxX = -2147483647, MaxY = -2147483647;
    for (int32_t I = 0; I < std::min(Count, PointBufferSize); ++I) {
        const TPixelPoint& P = PointBuffer[I];
        MinX = std::min(MinX, P.X);
        MaxX = std::max(MaxX, P.X);
        MinY = std::min(MinY, P.Y);
        MaxY = std::max(MaxY, P.Y);
    }
    const int32_t W = FCanvas->Width(), H = FCanvas->Height();
    uint8_t Code = 0;
    if (MaxX < 0) Code |= 1;
    if (MaxX > W) Code |= 2;
    if (MaxY < 0) Code |= 4;
    if (MaxY > H) Code |= 8;
    if (MinX < 0) Code |= 16;
    if (MinX > W) Code |= 32;
    if (MinY < 0) Code |= 64;
    if (MinY > H) Code |= 128;
    ClipCode = Code;
    return !(MinY > H || MinX > W || MaxY < 0 || MaxX < 0);
}

bool TOrvex3::Progress(int MsgType, const std::string& MsgText) {
    bool Abort = false;
    if (OnProgress) OnProgress(this, MsgType, MsgText, Abort);
    return Abort;
}
