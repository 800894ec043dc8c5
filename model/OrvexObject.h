#pragma once
// Map objects: one feature of a layer, with its descriptive data, drawing style, state
// bits and cached extent.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "foundation/PointList.h"
#include "kernels/ChainBounds.h"
#include "model/OrvexPersistent.h"

class TOrvex3;
class TOrvexPresenter;
struct TChainCaches;
class TGeoDataObject;
class TPointSlab;
class TQuickExtents;

// Object state bits, shared by objects, layers, presenters, projections and the renderer.
enum TOrvexObjectState : uint16_t {
    osSelected = 0x0001,
    osHidden = 0x0002,
    osExtentsValid = 0x0004,
    osRetest = 0x0008,
    osSubPixel = 0x0010,
    osInView = 0x0020,
    osBackSide = 0x0040,
    osFrontSide = 0x0080,
    osWrapsMeridian = 0x0100,
    osCrossesDateLine = 0x0200,
    osOddCrossings = 0x0400,
};

// The box of a chain whose steps never cross the date line (its unwrapped longitudes are its
// longitudes): TChainBounds::Add over every point from a fresh box. False (Bounds unfinished)
// when a step crosses.
bool PlainChainBounds(const TPoint3D* Points, int32_t N, TChainBounds& Bounds);

// A cap of the unit sphere around everything an extent covers: each point of its longitude
// range (widened by a unit to the west) and latitude range, as a unit vector, lies within
// Reach (a straight-line distance) of (X, Y, Z). Reach is negative while not yet computed; an
// extent that no small cap serves gets Reach 4, which bounds nothing.
struct TBoundingCap {
    float X = 0, Y = 0, Z = 0;
    float Reach = -1;
};

// The cap of an extent, rounded outwards: the bound holds for the exact values.
TBoundingCap ExtentCap(const TExtent& Extent);

class TOrvexObject : public TOrvexPersistent {
    ORVEX_CLASS_INFO
public:
    // Unlinks the object from its view's selection and its layer's list, raising
    // OnObjectSelect (when selected) and OnObjectFree. Handlers see a TOrvexObject whose
    // subclass part is already gone: they may use its identity and base fields only.
    ~TOrvexObject() override;

    TOrvex3* View() const;

    TOrvexPresenter* Presenter() const { return FPresenter; }
    void SetPresenter(TOrvexPresenter* P) { AttachPresenter(P); }
    // Ignored for null, the current presenter, or a presenter that does not accept the
    // object; otherwise takes its FeatureID and invalidates.
    void AttachPresenter(TOrvexPresenter* P);
    // Drops the presenter reference without any check (a presenter's destruction does this
    // for every object that uses it); the extent is computed afresh.
    void DetachPresenter();
    // The next object that uses the same presenter (see TOrvexPresenter::FirstUser).
    TOrvexObject* NextUser() const { return FNextUser; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Title) { FTitle = Title; }
    int32_t ID() const { return FID; }
    void SetID(int32_t ID) { FID = ID; }
    int32_t RowID() const { return FRowID; }
    void SetRowID(int32_t RowID) { FRowID = RowID; }
    double Value() const { return FValue; }
    void SetValue(double Value) { FValue = Value; }
    int16_t FeatureID() const { return FFeatureID; }
    void SetFeatureID(int16_t FeatureID) { FFeatureID = FeatureID; }
    int32_t ZoomMin() const { return FZoomMin; }
    void SetZoomMin(int32_t Z) { FZoomMin = Z; }
    int32_t ZoomMax() const { return FZoomMax; }
    void SetZoomMax(int32_t Z) { FZoomMax = Z; }

    const TExtent& Extents() const { return FExtents; }
    void SetExtents(const TExtent& E) { StoreExtents(E); }
    // The cap around the current extent, computed when first asked for after a change.
    const TBoundingCap& BoundingCap() const {
        if (FCap.Reach < 0) FCap = ExtentCap(FExtents);
        return FCap;
    }
    uint8_t ClipCode() const { return FClipCode; }
    uint8_t& ClipCodeRef() { return FClipCode; }
    void SetClipCode(uint8_t C) { FClipCode = C; }
    uint8_t StreamFlags() const { return FStreamFlags; }
    void SetStreamFlags(uint8_t F) { FStreamFlags = F; }

    uint16_t State() const { return FState; }
    // A frame's walk asks for what drawing the object reads beyond the object itself, in two
    // stages a few objects apart: its caches, then (once they are at hand) the points of the
    // copy it was drawn from last (its first lines; the rest, up to 512 bytes, separately).
    void PrefetchCaches() const;
    void PrefetchCopy() const;
    void PrefetchCopyRest() const;
    // The bytes from the object's start through its extent, state, clip code and settled mark:
    // all that a visibility pass reads of an object it only tests.
    size_t HeadBytes() const {
        return size_t(reinterpret_cast<const char*>(&FSettled + 1) - reinterpret_cast<const char*>(this));
    }
    bool HasState(uint16_t Bits) const { return (FState & Bits) != 0; }
    void IncludeState(uint16_t Bits) { SetState(static_cast<uint16_t>(FState | Bits)); }
    void ExcludeState(uint16_t Bits) { SetState(static_cast<uint16_t>(FState & ~Bits)); }
    void SetState(uint16_t S) {
        if (FSettled && S != FState) Unsettle();
        FState = S;
    }

    // The sphere's vectors of the chain, kept while the scale stays.
    TPoint3DList* Cache3D() const;
    void SetCache3D(std::unique_ptr<TPoint3DList> Cache);
    // Vectors built ahead for a scale further in; taking them leaves none.
    const TPoint3DList* FinerCache3D() const;
    // The bytes what drawing derived from the points holds (see TChainCaches).
    int64_t CacheBytes() const;
    void SetFinerCache3D(std::unique_ptr<TPoint3DList> Cache);
    std::unique_ptr<TPoint3DList> TakeFinerCache3D();
    // The chain's coarser copy at octave Level (see ChainDetail.h), built on first use with
    // Scratch as working space; null for an object without a chain or where it does not pay.
    // Kept until the points change.
    TPointChain* DetailAt(int Level, std::vector<TPoint3D>& Scratch);
    // The copy at Level when it is at hand, else null: reads only, so that another thread may
    // ask while no one changes the object.
    const TPointChain* HeldDetail(int Level) const;
    // Builds the copy at Level ahead of its use (see TChainDetail::Prepare): the bytes that took,
    // or -1 when it was at hand.
    int64_t PrepareDetail(int Level, std::vector<TPoint3D>& Scratch);

    bool Selected() const { return HasState(osSelected); }
    void SetSelected(bool Value);
    bool Hidden() const { return HasState(osHidden); }
    void SetHidden(bool Value);
    // Position in the layer's object list (-1 without a layer).
    int32_t Index() const;
    // Raises EOrvexException "TOrvexObject.SetIndex: Bad position" for a position outside
    // the list; the list is then unchanged.
    void SetIndex(int32_t NewIndex);
    void SetLayer(TOrvexLayer* NewLayer);

    // The presenter follows into this object's layer as SetLayer takes it; the selected bit
    // stays this object's own.
    void CopyFrom(const TPersistent* Source) override;

    virtual void AfterLoad() {}
    virtual bool IsVisibleIn(TOrvex3& View);
    virtual void SetPointCount(int32_t) {}
    virtual int32_t GetPointCount() const { return 0; }
    virtual void PutPoint(int32_t, const TPoint3D&) {}
    virtual TPoint3D GetPoint(int32_t) const { return TPoint3D{}; }
    // Removes the object from its layer and destroys it.
    virtual void Delete();
    // Marks the extent stale and resets the layer's, which the next visibility pass
    // recomputes; requests a render (a repaint in an animated layer) unless the layer is
    // updating.
    virtual void Invalidate();
    virtual void Render();
    virtual void MoveBy(int32_t DLongitude, int32_t DLatitude);
    // A chain that crosses +-180 degrees gets Left on its western side and a Width reaching
    // east past +180; one that winds around a pole (an odd number of crossings) or spans more
    // than half the world gets the whole 360 degrees.
    virtual void CalcExtents();
    virtual void DoObjectSelect();
    // 0 miss; 3 hit in a plain extent; for an extent wrapping past +180 degrees, 2 on the
    // eastern side of the date line's western half, 1 on the wrapped part.
    virtual int ExtentHit(const TPoint3D& Point);
    virtual bool ContainsPoint(const TPoint3D& Point);
    virtual TPoint3D Centroid() const;
    // The object as a chain of points, or null: what a frame asks of every object drawn,
    // cheaper than a dynamic_cast.
    virtual const TGeoDataObject* AsGeoData() const { return nullptr; }

protected:
    // The constructor only stores the layer; LinkToLayer, run by the Create functions once
    // the object is whole, adds it to the layer and raises OnObjectCreate.
    explicit TOrvexObject(TOrvexLayer* Layer);
    void LinkToLayer();
    // Runs at the end of the four-argument Create.
    virtual void AfterCreateNamed() {}

    // Record header of the layer file: flags word (the writer adds the title, ID and zoom
    // range bits itself), the optional fields, FeatureID. Both keep the flags byte in
    // StreamFlags; reading also looks up the presenter by FeatureID.
    void WriteRecordHeader(TOrvexStream& Stream, uint8_t Flags);
    uint8_t ReadRecordHeader(TOrvexStream& Stream);
    // CalcExtents' ending for a chain of two or more points in a layer, from the box of its
    // points (longitudes unwrapped when it crosses) and its number of date-line crossings.
    void SetChainExtents(const TChainBounds& Bounds, int Crossings);

    template <class T>
    static T* CreateIn(TOrvexLayer* Layer) {
        T* Obj = new T(Layer);
        try {
            Obj->LinkToLayer();
        } catch (...) {
            delete Obj;  // unlinks whatever LinkToLayer had done
            throw;
        }
        return Obj;
    }
    template <class T>
    static T* CreateIn(TOrvexLayer* Layer, TOrvexPresenter* Presenter, int32_t ID, const std::string& Title) {
        T* Obj = CreateIn<T>(Layer);
        Obj->FTitle = Title;
        Obj->FID = ID;
        Obj->AttachPresenter(Presenter);
        Obj->AfterCreateNamed();
        return Obj;
    }

private:
    friend class TOrvexPresenter;
    friend class TOrvexLayer;
    // The state of a settled object changed: its layer's passes look at it again.
    void Unsettle();
    // Every change of the extent goes through here, so that the cap follows it.
    void StoreExtents(const TExtent& E) {
        if (E == FExtents) return;
        FExtents = E;
        FCap.Reach = -1;
        // The layer's passes know a settled object's size.
        if (FSettled) Unsettle();
    }
    void RemoveFromLayerList();
    // The presenter's adjustment, the valid bit and the layer's stale union after an
    // extent is computed (Old is the one before).
    void FinishExtents(const TExtent& Old);
    // Sets the presenter reference, keeping the presenters' lists of users.
    void LinkPresenter(TOrvexPresenter* P);
    // P when it serves this object's layer (it belongs to the layer or the global layer);
    // otherwise the presenter of P's name and number found from the layer, else a copy of P
    // made in the layer. Null without a layer or when P cannot be copied.
    TOrvexPresenter* PresenterHere(TOrvexPresenter* P);
    bool ServesHere(const TOrvexPresenter* P) const;

    // Ordered without padding: a layer of millions of objects holds them in 160 bytes each.
    // What a frame reads of every object in view comes first, within the first 64 bytes: the
    // visibility pass reads only the fields up to FSettled (HeadBytes), and an object not in
    // view costs one or two cache lines instead of three.
    TExtent FExtents;
    int32_t FZoomMin = 0;
    int32_t FZoomMax = 0;
    uint16_t FState = 0;
    uint8_t FClipCode = 0;
    // Set by the layer's visibility pass on an object whose state its passes leave alone
    // (see TOrvexLayer::UpdateVisibility).
    bool FSettled = false;
    int16_t FFeatureID = 0;
    uint8_t FStreamFlags = 0;
    std::unique_ptr<TChainCaches> FCaches;
    TOrvexPresenter* FPresenter = nullptr;
    mutable TBoundingCap FCap;
    int32_t FID = 0;
    int32_t FRowID = 0;
    // Neighbours in the presenter's list of users.
    TOrvexObject* FPrevUser = nullptr;
    TOrvexObject* FNextUser = nullptr;
    std::string FTitle;
    double FValue = 0;
};

// An object with a chain of geographic points, drawn as polyline, polygon or points.
class TGeoDataObject : public TOrvexObject {
    ORVEX_CLASS_INFO
public:
    // The object belongs to Layer (when given), which frees it.
    static TGeoDataObject* Create(TOrvexLayer* Layer) { return CreateIn<TGeoDataObject>(Layer); }
    static TGeoDataObject* Create(TOrvexLayer* Layer, TOrvexPresenter* Presenter, int32_t ID,
                                  const std::string& Title) {
        return CreateIn<TGeoDataObject>(Layer, Presenter, ID, Title);
    }
    ~TGeoDataObject() override;

    int32_t Count() const { return FChain.Count(); }
    int32_t Capacity() const { return FChain.Capacity(); }
    const TPoint3D* Points() const { return FChain.Points(); }
    // Direct access for bulk writers (loaders, renderers' scratch chains); the caller
    // invalidates when the object is on show.
    TPoint3D* Points() { return FChain.Points(); }

    void SetPointCount(int32_t NewCount) override;
    int32_t GetPointCount() const override { return FChain.Count(); }
    void PutPoint(int32_t Index, const TPoint3D& Point) override;
    TPoint3D GetPoint(int32_t Index) const override { return FChain.Get(Index); }
    void Grow() { FChain.Grow(); }
    void SetCapacity(int32_t NewCapacity) { FChain.SetCapacity(NewCapacity); }
    // Exchanges the chain with Chain, nothing invalidated: for a renderer's stand-in that
    // draws another chain and gives it back.
    void SwapChain(TPointChain& Chain) noexcept { FChain.Swap(Chain); }

    int32_t AddPoint(const TPoint3D& Point);
    void InsertPoint(int32_t Index, const TPoint3D& Point);
    void DeletePoint(int32_t Index);
    void ClearPoints();
    // Replaces the whole chain with Count points (capacity exactly Count): one copy, one
    // invalidation. The importers' way to fill objects of millions of points. A bad count
    // raises the point list's error and leaves the chain as it was.
    void SetPoints(const TPoint3D* Source, int32_t Count);
    // Sizes the chain to Count points (capacity exactly Count) without clearing them and
    // invalidates: for readers that decode straight into the chain. The caller writes every
    // point before anything reads them, also when it fails half-way (fill the rest, or shrink).
    // An empty chain takes its room from Slab where one is given and has room.
    TPoint3D* PreparePoints(int32_t Count, TPointSlab* Slab = nullptr);

    bool IsVisibleIn(TOrvex3& View) override;
    // The same test, through Quick (made by View's map for the pass) where it decides.
    bool IsVisibleIn(TOrvex3& View, const TQuickExtents& Quick);
    void Render() override;
    void MoveBy(int32_t DLongitude, int32_t DLatitude) override;
    // The mean of the vertices, longitudes unwrapped from the first point along the chain,
    // so that a chain across the date line has its centre there.
    TPoint3D Centroid() const override;
    const TGeoDataObject* AsGeoData() const override { return this; }
    void CopyFrom(const TPersistent* Source) override;
    // Removes consecutive duplicate points (from the third point on) before writing.
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;

protected:
    friend class TOrvexObject;
    explicit TGeoDataObject(TOrvexLayer* Layer) : TOrvexObject(Layer) {}
    void AfterCreateNamed() override { SetClipCode(255); }

private:
    TPointChain FChain;
};

// An object at one point.
class TSinglePointObject : public TOrvexObject {
    ORVEX_CLASS_INFO
public:
    static TSinglePointObject* Create(TOrvexLayer* Layer) { return CreateIn<TSinglePointObject>(Layer); }
    static TSinglePointObject* Create(TOrvexLayer* Layer, TOrvexPresenter* Presenter, int32_t ID,
                                      const std::string& Title) {
        return CreateIn<TSinglePointObject>(Layer, Presenter, ID, Title);
    }

    const TPoint3D& Point() const { return FPoint; }
    // Stores the point, then invalidates.
    void SetPoint(const TPoint3D& Point);

    int32_t GetPointCount() const override { return 1; }
    void PutPoint(int32_t, const TPoint3D& Point) override { SetPoint(Point); }
    TPoint3D GetPoint(int32_t) const override { return FPoint; }

    bool IsVisibleIn(TOrvex3& View) override;
    void MoveBy(int32_t DLongitude, int32_t DLatitude) override;
    void CopyFrom(const TPersistent* Source) override;
    // The altitude is not stored.
    void SaveToStream(TOrvexStream& Stream) override;
    void LoadFromStream(TOrvexStream& Stream) override;

protected:
    friend class TOrvexObject;
    explicit TSinglePointObject(TOrvexLayer* Layer) : TOrvexObject(Layer) {}

private:
    TPoint3D FPoint;
};
