#pragma once
// A named, ordered collection of map objects with the presenters they use.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/Persistent.h"

class TOrvex3;
class TOrvexObject;
class TOrvexPresenter;

class TOrvexLayer : public TPersistent {
    ORVEX_CLASS_INFO
public:
    // Appends itself to View's layer list.
    explicit TOrvexLayer(TOrvex3* View);
    // Frees its objects and presenters and leaves the view's list.
    ~TOrvexLayer() override;

    TOrvex3* View() const { return FView; }
    bool IsGlobalLayer() const;

    const TExtent& Extents() const { return FExtents; }
    void SetExtents(const TExtent& E) { FExtents = E; }
    bool IsLoaded() const { return FIsLoaded; }
    void SetIsLoaded(bool Loaded) { FIsLoaded = Loaded; }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name);
    bool Animated() const { return FAnimated; }
    void SetAnimated(bool Value);

    // Owned lists. Members add themselves on creation and remove themselves on
    // destruction; nobody else inserts into them.
    std::vector<TOrvexObject*>& Objects() { return FObjects; }
    const std::vector<TOrvexObject*>& Objects() const { return FObjects; }
    std::vector<TOrvexPresenter*>& Presenters() { return FPresenters; }
    const std::vector<TOrvexPresenter*>& Presenters() const { return FPresenters; }
    int32_t ObjectCount() const { return static_cast<int32_t>(FObjects.size()); }
    int32_t PresenterCount() const { return static_cast<int32_t>(FPresenters.size()); }
    // Null for an index outside the list.
    virtual TOrvexObject* GetObject(int32_t Index) const;
    virtual TOrvexPresenter* GetPresenter(int32_t Index) const;
    int32_t IndexOfObject(const TOrvexObject* Obj) const;

    // The first presenter matching FeatureID (0 matches any) and Name (case-insensitive,
    // empty matches any); falls back to the view's global layer.
    TOrvexPresenter* FindPresenter(const std::string& Name, int16_t FeatureID) const;

    // Destroys all objects (last first) and presenters (first first).
    virtual void Clear();
    // Back to default settings, then Clear; Name stays.
    virtual void Reset();
    // Destroys the layer.
    virtual void Delete();

private:
    TOrvex3* FView;
    TExtent FExtents;
    bool FVisible = true;
    bool FEnabled = true;
    bool FAnimated = false;
    bool FLoadOnDemand = false;
    bool FIsLoaded = false;
    int32_t FMaxFontHeight = 0;
    int32_t FZoomMin = 0;
    int32_t FZoomMax = 0;
    TOrvexUnits FZoomUnits = NauticalMile;
    std::string FName;
    std::string FFilename;
    std::string FDirectory;
    std::vector<TOrvexObject*> FObjects;
    std::vector<TOrvexPresenter*> FPresenters;
};
