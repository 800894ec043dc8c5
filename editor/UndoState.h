#pragma once
// What the undo history keeps of the map data: plain values, never pointers into the model,
// so that an entry stays harmless whatever is freed after it was made. Items are found
// again by their place: a layer by its position in the view's list (-1 the global layer),
// an object by its position in its layer, a presenter by its class, number, name and rank
// among its equals (saving sorts and purges a layer's presenters, but keeps those).

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/ClassInfo.h"

class TOrvex3;
class TOrvexLayer;
class TOrvexObject;
class TOrvexPresenter;
class TPersistent;

constexpr int32_t kGlobalLayerRef = -1;

// The values of an item's writable, plain (not class-valued) published properties.
struct TPropsState {
    std::vector<std::pair<std::string, TPropValue>> Values;
    bool operator==(const TPropsState&) const = default;
};
// Skip lists the properties that are restored some other way.
TPropsState CaptureProps(const TPersistent& Item, const std::vector<std::string>& Skip = {});
void ApplyProps(TPersistent& Item, const TPropsState& State);

struct TPresenterRef {
    int32_t Layer = kGlobalLayerRef;
    std::string ClassName;
    int16_t FeatureID = 0;
    std::string Name;
    int32_t Rank = 0;
    bool operator==(const TPresenterRef&) const = default;
};
TPresenterRef RefOf(const TOrvexPresenter& P);
// Raises EOrvexException when the presenter is gone.
TOrvexPresenter& PresenterAt(TOrvex3& View, const TPresenterRef& Ref);

int32_t LayerRefOf(const TOrvexLayer& Layer);
// Raises EOrvexException for a place that holds no layer.
TOrvexLayer& LayerAt(TOrvex3& View, int32_t Ref);

struct TObjectRef {
    int32_t Layer = 0;
    int32_t Index = 0;
    bool operator==(const TObjectRef&) const = default;
};
TObjectRef RefOf(const TOrvexObject& Obj);
TOrvexObject& ObjectAt(TOrvex3& View, const TObjectRef& Ref);

// A presenter as its layer file record holds it: all of its settings and attributes.
struct TPresenterState {
    std::string ClassName;
    std::vector<uint8_t> Record;
    bool operator==(const TPresenterState&) const = default;
};
TPresenterState CapturePresenter(TOrvexPresenter& P);
void ApplyPresenter(TOrvexPresenter& P, const TPresenterState& State);
// A new presenter of the state's class at the end of Layer's list.
TOrvexPresenter* CreatePresenter(TOrvexLayer& Layer, const TPresenterState& State);

// An object with its points (shared between states that did not change them), its
// presenter (in its own layer or the global layer) and its selected and hidden bits.
struct TObjectState {
    std::string ClassName;
    TPropsState Props;
    std::shared_ptr<const std::vector<TPoint3D>> Points;
    bool HasPresenter = false;
    TPresenterRef Presenter;
    bool Selected = false;
    bool Hidden = false;
    bool operator==(const TObjectState& Other) const;
};
// Reuse, when given, lends its point array if the points are the same.
TObjectState CaptureObject(const TOrvexObject& Obj, const TObjectState* Reuse = nullptr);
// Everything but the object's position; the presenter is looked up in the object's layer.
void ApplyObject(TOrvexObject& Obj, const TObjectState& State);
// A new object of the state's class at the end of Layer's list.
TOrvexObject* CreateObject(TOrvexLayer& Layer, const TObjectState& State);

// The members of a layer with its extent: what its layer file would hold, exactly.
struct TLayerContents {
    std::vector<TPresenterState> Presenters;
    std::vector<TObjectState> Objects;
    TExtent Extents;
    bool IsLoaded = false;
    bool operator==(const TLayerContents&) const = default;
};
TLayerContents CaptureContents(const TOrvexLayer& Layer, const TLayerContents* Reuse = nullptr);
// Replaces the layer's members. Whoever holds one of them must let go first.
void ApplyContents(TOrvexLayer& Layer, const TLayerContents& Contents);

// A whole layer: its settings, the file it names and its members.
struct TLayerState {
    TPropsState Settings;
    std::string Directory;
    std::string Filename;
    TLayerContents Contents;
};
// Without WithContents the members are left out (and Contents stays empty).
TLayerState CaptureLayer(const TOrvexLayer& Layer, bool WithContents = true, const TLayerContents* Reuse = nullptr);
// The settings and the file name, not the members.
void ApplySettings(TOrvexLayer& Layer, const TLayerState& State);
