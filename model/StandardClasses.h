#pragma once
// What every view sets up for its layers, which a layer outside any view sets up for itself:
// the classes its file may hold and the global presenters it falls back on.

#include <vector>

class TOrvexClassRegistry;
class TOrvexLayer;
struct TClassInfo;

// The classes of the model and its styling, which every view registers.
const std::vector<const TClassInfo*>& StandardLayerClasses();
// Those classes, for layers outside any view.
const TOrvexClassRegistry& StandardClassRegistry();
// Adds "GlobalPointPresenter", "GlobalPolylinePresenter" and "GlobalPolygonPresenter"
// (FeatureID -1, -2, -3) to an emptied global layer.
void AddGlobalPresenters(TOrvexLayer* Global);
