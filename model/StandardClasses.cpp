#include "model/StandardClasses.h"

#include "model/ClassRegistry.h"

#include "model/BitmapObject.h"
#include "model/OrvexObject.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

const std::vector<const TClassInfo*>& StandardLayerClasses() {
    static const std::vector<const TClassInfo*> Classes{
        &TOrvexPen::StaticClassInfo(),         &TOrvexBrush::StaticClassInfo(),
        &TOrvexFont::StaticClassInfo(),        &TPointPresenter::StaticClassInfo(),
        &TPolygonPresenter::StaticClassInfo(), &TPolylinePresenter::StaticClassInfo(),
        &TGeoDataObject::StaticClassInfo(),    &TBitmapObject::StaticClassInfo()};
    return Classes;
}

const TOrvexClassRegistry& StandardClassRegistry() {
    static const TOrvexClassRegistry Registry = [] {
        TOrvexClassRegistry R;
        for (const TClassInfo* C : StandardLayerClasses()) R.Register(*C);
        return R;
    }();
    return Registry;
}

void AddGlobalPresenters(TOrvexLayer* Global) {
    TOrvexPresenter::CreateNamed<TPointPresenter>(Global, -1, "GlobalPointPresenter");
    TOrvexPresenter::CreateNamed<TPolylinePresenter>(Global, -2, "GlobalPolylinePresenter");
    TOrvexPresenter::CreateNamed<TPolygonPresenter>(Global, -3, "GlobalPolygonPresenter");
}
