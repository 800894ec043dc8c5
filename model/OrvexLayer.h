#pragma once
// A named, ordered collection of map objects with the presenters they use.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/ListWalk.h"
#include "model/Persistent.h"
#include "model/ShiftRuns.h"

class TOrvex3;
class TOrvexClassRegistry;
class TOrvexObject;
class TOrvexPresenter;
class TOrvexStream;
class TPassExtents;
class TPointSlab;

// The union of objects' extents as the layer's CalcExtents forms it, one object at a time:
// each minimum stored as value - 1.
struct TExtentUnion {
    int64_t Left = INT64_MAX, Bottom = INT64_MAX, East = INT64_MIN, North = INT64_MIN;

    void Add(const TExtent& E) {
        Left = std::min(Left, E.Left - int64_t(1));
        Bottom = std::min(Bottom, E.Bottom - int64_t(1));
        East = std::max(East, int64_t(E.Left) + E.Width);
        North = std::max(North, int64_t(E.Bottom) + E.Height);
    }
    // For at least one object added.
    TExtent Extent() const {
        return TExtent{SaturateInt32(Left), SaturateInt32(Bottom), SaturateInt32(East - Left),
                       SaturateInt32(North - Bottom)};
    }
};

class TOrvexLayer : public TPersistent {
    ORVEX_CLASS_INFO
public:
    // Appends itself to View's layer list.
    explicit TOrvexLayer(TOrvex3* View);
    // Frees its objects and presenters and leaves the view's list.
    ~TOrvexLayer() override;

    TOrvex3* View() const { return FView; }
    // The classes its file may hold: the view's, or for a layer outside any view the
    // standard ones.
    const TOrvexClassRegistry& ClassRegistry() const;
    bool IsGlobalLayer() const;
    // The layer whose presenters this one falls back on: the view's global layer, or for a
    // layer outside any view one of its own, made on first use as a view makes its own.
    TOrvexLayer* GlobalLayer() const;

    const TExtent& Extents() const { return FExtents; }
    void SetExtents(const TExtent& E) { FExtents = E; }
    bool IsLoaded() const { return FIsLoaded; }
    void SetIsLoaded(bool Loaded) { FIsLoaded = Loaded; }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Name);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool Animated() const { return FAnimated; }
    void SetAnimated(bool Value);
    bool LoadOnDemand() const { return FLoadOnDemand; }
    void SetLoadOnDemand(bool Value);
    int32_t MaxFontHeight() const { return FMaxFontHeight; }
    void SetMaxFontHeight(int32_t Value);
    int32_t ZoomMin() const { return FZoomMin; }
    void SetZoomMin(int32_t Value);
    int32_t ZoomMax() const { return FZoomMax; }
    void SetZoomMax(int32_t Value);
    TOrvexUnits ZoomUnits() const { return FZoomUnits; }
    // Keeps ZoomMin and ZoomMax physically equal; Pixel fails with EFloatingPointError and
    // leaves the layer unchanged.
    void SetZoomUnits(TOrvexUnits Units);
    const std::string& Filename() const { return FFilename; }
    void SetFilename(const std::string& Path) { ChangeFilename(Path); }
    // Directory of the file, ending with the path separator (or empty).
    const std::string& Directory() const { return FDirectory; }
    // Position in the view's layer list; raises "TOrvexLayer.SetIndex: Bad position".
    int32_t Index() const;
    void SetIndex(int32_t NewIndex);

    // Reads Directory + Filename; raises "LoadFromFile: File %s%s not found".
    virtual void LoadFromFile();
    // Appends the layer file in Stream to this layer.
    virtual void LoadFromStream(TOrvexStream& Stream);
    // Where the objects a layer file's reader makes take their points' room; null otherwise.
    TPointSlab* LoadSlab() const { return FLoadSlab; }
    // Writes the layer file; a failure leaves any previous file intact.
    virtual void SaveToFile(const std::string& Path);
    // What SaveToFile writes, appended to Stream (purging and sorting the presenters first).
    void SaveToStream(TOrvexStream& Stream);
    // The writer of Filename: names the file, reads the layer's profile settings, loads.
    virtual void ChangeFilename(const std::string& Path);
    // Writes this layer's section of the view's profile.
    virtual void SaveSettings();
    // Reads this layer's section of the view's profile.
    void ReadSettings();
    // Deletes presenters that no object of this layer uses.
    void PurgePresenters();

    // Owned lists. Members add themselves on creation and leave through RemoveObject and
    // RemovePresenter; nobody else changes them.
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
    // Take a member out of its list, keeping running walks over the list in step.
    void RemoveObject(const TOrvexObject* Obj);
    void MoveObject(int32_t From, int32_t To);
    void RemovePresenter(const TOrvexPresenter* P);
    // Registers of the walks over the lists (render loops that call event handlers).
    TListWalks& ObjectWalks() { return FObjectWalks; }
    TListWalks& PresenterWalks() { return FPresenterWalks; }

    // The first presenter matching FeatureID (0 matches any) and Name (case-insensitive,
    // empty matches any); falls back to the view's global layer.
    TOrvexPresenter* FindPresenter(const std::string& Name, int16_t FeatureID) const;

    // Whether the layer shows at the view's altitude (loading or clearing a load-on-demand
    // layer as it enters or leaves its zoom range).
    virtual bool IsVisible();
    // The per-frame visibility pass over the objects.
    virtual void UpdateVisibility();
    // The memory that the pixels kept for the next pan hold (see model/ShiftRuns.h).
    int64_t ShiftRunBytes() const { return FShiftRuns.Bytes(); }
    // Union of the objects' cached extents.
    virtual void CalcExtents();
    // Draws the objects in view, then the titles.
    virtual void Render();
    // Before Render, after the visibility pass: has the copies its walk would draw placed on the
    // view's second core meanwhile (the walk takes the placing over), where QuietVisibility
    // holds. Whether it started.
    bool PlaceAhead();
    // Whether its visibility pass, and Render's own look at whether it shows, can run no handler
    // and change nothing but its own objects' states: no file to read.
    bool QuietVisibility() const;
    // Draws the titles of this layer's objects that use P.
    void RenderTitles(TOrvexPresenter* P);

    // Topmost object containing the point, without an in-view test.
    virtual TOrvexObject* ObjectAtLatLong(int32_t Longitude, int32_t Latitude);
    // Object under a pixel; repeated calls cycle down through overlapping objects.
    virtual TOrvexObject* ObjectAtXY(int32_t X, int32_t Y);
    // Searches start behind After (or at the first object) and compare exactly.
    virtual TOrvexObject* FindObjectByTitle(const std::string& Title, const TOrvexObject* After) const;
    virtual TOrvexObject* FindObjectByID(int32_t ID, const TOrvexObject* After) const;
    virtual TOrvexObject* FindObjectByRowID(int32_t RowID, const TOrvexObject* After) const;

    // Filling many objects: between BeginUpdate and the matching EndUpdate, objects of this
    // layer do not request renders when they change; the last EndUpdate requests one.
    // TLayerUpdate pairs them for a scope.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // Destroys all objects (last first) and presenters (first first).
    virtual void Clear();
    // Back to default settings, then Clear; Name stays.
    virtual void Reset();
    // Destroys the layer.
    virtual void Delete();

private:
    friend class TOrvexObject;
    // The object list or the state of a settled object changed: the next visibility pass
    // looks at every object.
    void BreakSettled() {
        FSettledValid = false;
        ++FSettledBreaks;
    }
    // The visibility pass's work on one object.
    void UpdateObjectVisibility(TOrvexObject& O, bool Redraw, bool Scale, TPassExtents& Extents);
    // The pass while the list of unsettled objects holds and the scale stays: those alone.
    void SparsePass(bool Redraw);
    // The pass that makes the list: over every object or, with CodeUnits (the pixel's units
    // now) not negative, over those the size codes cannot pass over.
    void SettlingPass(bool Redraw, bool Scale, long double CodeUnits);

    // SaveToStream with Step run after each object written (when set): the progress of
    // SaveToFile.
    void SaveToStream(TOrvexStream& Stream, const std::function<void()>& Step);
    // After reading, whole or in part: every object's extent and AfterLoad, the layer's
    // extent when the file named none. With Loaded, the objects read are finished already (the
    // layer held none before) and Loaded is the union of their extents.
    void FinishLoading(const TExtentUnion* Loaded = nullptr);

    TOrvex3* FView;
    // The global layer of a layer outside any view, and the mark of one.
    mutable std::unique_ptr<TOrvexLayer> FOwnGlobal;
    bool FServesAsGlobal = false;
    TExtent FExtents;
    bool FVisible = true;
    bool FEnabled = true;
    bool FAnimated = false;
    bool FLoadOnDemand = false;
    bool FIsLoaded = false;
    int32_t FMaxFontHeight = 0;
    int32_t FUpdateCount = 0;
    int32_t FZoomMin = 0;
    int32_t FZoomMax = 0;
    TOrvexUnits FZoomUnits = NauticalMile;
    std::string FName;
    std::string FFilename;
    TPointSlab* FLoadSlab = nullptr;
    std::string FDirectory;
    std::vector<TOrvexObject*> FObjects;
    std::vector<TOrvexPresenter*> FPresenters;

    // Positions (ascending) of the objects that the last full visibility pass did not find
    // settled. While FSettledValid holds, no settled object's state and nothing in the list
    // has changed since, and the passes look at these objects alone.
    std::vector<uint32_t> FUnsettled, FNextUnsettled;
    // The objects at those positions, so that a pass over a few of many objects does not also
    // wait for the list's scattered slots (valid while the list holds).
    std::vector<TOrvexObject*> FUnsettledObjects, FNextUnsettledObjects;
    // Per object, what a change of scale does to it (see ScaleRefreshCode), while the list
    // holds; and the pixel's units the settled objects' states were found at (-1: unknown). A
    // pass after a change of scale looks only at the objects whose state it may change.
    std::vector<uint8_t> FSizeCodes;
    long double FCodeUnits = -1;
    // The positions such a pass looks at.
    std::vector<uint32_t> FVisit;
    // The pixels the unsettled objects' chains drew last, one run an entry of the list.
    TShiftRuns FShiftRuns;
    bool FSettledValid = false;
    uint64_t FSettledBreaks = 0;
    // Whether the list holds for the objects as they are now.
    bool SettledListHolds() const { return FSettledValid && FUnsettledOf == FObjects.size(); }
    size_t FUnsettledOf = 0;

    // Running walks learn from these that the layer is gone.
    TListWalks FObjectWalks;
    TListWalks FPresenterWalks;

    template <class Match>
    TOrvexObject* FindObject(const TOrvexObject* After, Match M) const;
    void Changed(bool Scale, bool Render);
    // RenderTitles with P watched by PWatch; false when a handler destroyed this layer.
    bool DrawTitles(TOrvexPresenter* P, const TListWatch& PWatch);
};

// BeginUpdate for the life of a scope, EndUpdate at its end (also when it is left by an
// exception).
class TLayerUpdate {
public:
    explicit TLayerUpdate(TOrvexLayer& Layer) : FLayer(Layer) { FLayer.BeginUpdate(); }
    ~TLayerUpdate() { FLayer.EndUpdate(); }
    TLayerUpdate(const TLayerUpdate&) = delete;
    TLayerUpdate& operator=(const TLayerUpdate&) = delete;

private:
    TOrvexLayer& FLayer;
};
