#pragma once
// The base of the view's map projections: geographic points to surface pixels and back,
// extent visibility, chain projection, the mapped area's outline and the graticule.
//
// Construction: a projection is complete when its constructor returns, so the view can
// write `SetProjectionModel(new TSphericalPrj(this))` (or use the classes' Create). The
// base constructor fits ScaleFactor to the surface with a plain store, because a virtual
// call from a base constructor never reaches the subclass; every class that derives
// state from the scale (the sphere's matrices) derives it at the end of its own
// constructor. Constructors do not call back into the view beyond reading its surface
// size, so the view may create its projection while it is itself being constructed.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/Persistent.h"

class TOrvex3;
class TOrvexObject;
struct TFlatForward;

// The view's Projection: which kind of projection it shows. Projections that are none of
// the three read as the kind of the nearest of them they derive from.
enum TOrvexProjection : uint8_t { opSpherical, opCartesian, opMercator, opUnknown };

enum TXAxisChanges : uint8_t { xaYOrigin, xaCentralParallel };
enum TYAxisChanges : uint8_t { yaXOrigin, yaCentralMeridian };

struct TPrjExtents {
    int32_t MinLongitude = -OrvexUnits::Deg180;
    int32_t MinLatitude = -OrvexUnits::Deg90;
    int32_t MaxLongitude = OrvexUnits::Deg180;
    int32_t MaxLatitude = OrvexUnits::Deg90;

    friend bool operator==(const TPrjExtents&, const TPrjExtents&) = default;
};

// Bits of TPrjModel::Flags().
constexpr uint8_t pfSeamless = 0x01;        // no seam at the antimeridian: chains are never split
constexpr uint8_t pfTextureCapable = 0x02;  // can paint the view's texture as its background

// Most entries one ProjectChain call writes into PointBuffer. The buffer holds one more,
// which the canvas's clipper needs for the closing entry it appends.
constexpr int32_t MaxChainEntries = 65536;

// Pixel positions written by the projections stay within +-PixelLimit, so that the
// clipper's 64-bit products of coordinate differences cannot overflow.
constexpr int32_t PixelLimit = 1073741823;

// How far, in pixels, a chain drawn from its coarser copy may pass from its own points.
constexpr double DetailTolerance = 1;

class TPrjModel;

// The extent test's way through a map's rank tables, with what it reads of the map read once: for
// a pass over many extents in which nothing moves the map or resizes its surface.
class TQuickExtents {
public:
    explicit operator bool() const { return FValid; }
    // As IsExtentVisible where the tables decide, ClipCode and the object's bits written;
    // nothing elsewhere, with nothing written.
    std::optional<bool> Decide(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode) const;

private:
    friend class TPrjModel;
    bool FValid = false;
    int32_t FMeridian = 0;
    TPrjExtents FExtents;
    // The tables' starts of the ranks just before the surface, just inside it, at its far edge
    // and just past it, per axis.
    int32_t FEdgeX[4] = {}, FEdgeY[4] = {};
    // Per place of the box's west, east, north and south edges (TPrjModel::EdgePlace: before the
    // surface, on it, or past it), the box's clip code, and whether it shows (ShowsBit).
    static constexpr uint16_t ShowsBit = 0x100;
    static constexpr int OutcomeIndex(int West, int East, int North, int South) {
        return ((West / 2 * 3 + East / 2) * 3 + North / 2) * 3 + South / 2;
    }
    uint16_t FOutcome[81] = {};
};

class TPrjModel : public TPersistent {
    ORVEX_CLASS_INFO
public:
    // A projection over the whole earth (360 by 180 degrees), fitted to View's surface.
    explicit TPrjModel(TOrvex3* View);

    TOrvex3* View() const { return FView; }
    long double ScaleFactor() const { return FScaleFactor; }
    int32_t XOrigin() const { return FXOrigin; }
    void SetXOrigin(int32_t Value) { FXOrigin = Value; }
    int32_t YOrigin() const { return FYOrigin; }
    void SetYOrigin(int32_t Value) { FYOrigin = Value; }
    int32_t XRotation() const { return FXRotation; }
    int32_t YRotation() const { return FYRotation; }
    int32_t ZRotation() const { return FZRotation; }
    int32_t CentralMeridian() const { return FCentralMeridian; }
    int32_t CentralParallel() const { return FCentralParallel; }
    int32_t FirstParallel() const { return FFirstParallel; }
    int32_t SecondParallel() const { return FSecondParallel; }
    TXAxisChanges XAxisChanges() const { return FXAxisChanges; }
    void SetXAxisChanges(TXAxisChanges Value);
    TYAxisChanges YAxisChanges() const { return FYAxisChanges; }
    void SetYAxisChanges(TYAxisChanges Value);
    const TPrjExtents& Extents() const { return FExtents; }
    int32_t MeridianSteps() const { return FMeridianSteps; }
    void SetMeridianSteps(int32_t Value) { FMeridianSteps = Value; }
    int32_t ParallelSteps() const { return FParallelSteps; }
    void SetParallelSteps(int32_t Value) { FParallelSteps = Value; }
    uint8_t Flags() const { return FFlags; }
    bool Seamless() const { return (FFlags & pfSeamless) != 0; }
    bool TextureCapable() const { return (FFlags & pfTextureCapable) != 0; }

    // 0 XRotation, 1 YRotation, 2 ZRotation, 3 CentralMeridian, 4 FirstParallel,
    // 5 SecondParallel, 6 CentralParallel; other indexes store nothing.
    virtual void SetParameter(int32_t Index, int32_t Value);
    virtual void ApplyScaleFactor(long double Value) { FScaleFactor = Value; }

    // Whether the extent (which may run east past 180 degrees) reaches the surface; writes
    // ClipCode and, with an object, its osWrapsMeridian, osBackSide and osFrontSide bits.
    virtual bool IsExtentVisible(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode);
    // The extent test through the rank tables for a pass over many extents (see TQuickExtents):
    // empty where the tables are not those of the map as it is.
    TQuickExtents QuickExtents() const;

    // Projects the object's chain into PointBuffer from index 0, thinned to points at
    // least a pixel apart, and returns the number of entries written. A call writes at
    // most MaxChainEntries entries. Resume is the chain position to start at (0 at first);
    // on return it is -1 when the chain was projected to its end, otherwise the position
    // to pass to the next call. The next piece then starts with the last entry of this
    // one, so drawing the pieces one after the other gives one unbroken line. Positions
    // are meaningful only to the projection and only while the object and the view stay
    // unchanged.
    virtual int32_t ProjectChain(TOrvexObject* Obj, int32_t& Resume);
    // The first piece of the chain (all of it unless it needs more than MaxChainEntries).
    int32_t ProjectChain(TOrvexObject* Obj) {
        int32_t Resume = 0;
        return ProjectChain(Obj, Resume);
    }
    // The pixels PointToXY gives Points[0, N), every one (no thinning): XY[2i], XY[2i + 1] and
    // Placed[i] = 1, or Placed[i] = 0 where PointToXY places none. A block at a time where the
    // map has a block formula; the rest through PointBuffer's spare last entry.
    void PlacePoints(const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Placed);

    // A box of a chain's points: longitudes as stored (not taken from CentralMeridian), in units.
    struct TPointBox {
        int64_t MinLongitude, MaxLongitude, MinLatitude, MaxLatitude;
    };
    // A point a drawn line passes through; Break: the line ends before it and starts again at it.
    struct TLinePoint {
        TPoint3D Point;
        bool Break;
    };
    // Whether lines drawn within Extent (anywhere when null) need LinePoints: where the map
    // stretches without bound, or tears so that two close points lie on opposite sides of it,
    // the straight piece between two pixels would cut across the map.
    virtual bool NeedsLinePoints(const TExtent* Extent) const;
    // Sets Points to the points by which a drawn line goes on from From to To, the next
    // point of the line (less than 180 degrees of longitude away, on the same side of the
    // seam; To itself when it starts a line): To last, unless To lies on a tear and has no
    // pixel of its own. The base gives To alone.
    virtual void LinePoints(const TPoint3D& From, const TPoint3D& To, std::vector<TLinePoint>& Points) const;
    // Whether LinePoints gives each next point alone on lines within Box whose steps are at
    // most MaxStep radians (of longitude and latitude together): such lines need no walk
    // through the line points. The base says no.
    // Neither this nor NeedsLinePoints nor LinePoints may follow the scale or the origin: the
    // view keeps the points a graticule line's walk placed across zooms and pans.
    virtual bool PlainLinesWithin(const TPointBox& Box, double MaxStep) const;

    // The octave (see model/ChainDetail.h) whose coarser copy of a chain within Extent draws
    // within DetailTolerance pixels of the chain itself: the coarsest such. -1 where the map
    // has no bound on its stretch there, or where even the finest octave would be too coarse.
    // It reads the map's settings and nothing a drawing changes (no cache): a frame's second
    // core asks it beside the walk (view/PlacedAhead.h).
    int DetailLevel(const TExtent& Extent) const;
    // Whether DetailLevel is the same for every extent, so that a frame asks it once: a
    // projection whose DetailStretch follows the box says no.
    virtual bool UniformDetailStretch() const { return !LocalStretch(); }

    // Idle work for the chain ahead of the next wheel notch in: what drawing it there would
    // build (the sphere's vectors). The bytes built; -1 when nothing was.
    virtual int64_t PrepareChain(TOrvexObject*) { return -1; }
    // Set while the view draws chains from their coarser copies, a few points a pixel: a map
    // with a block formula then places every point rather than pass over a few by the ranks.
    // Where it is kept changes no pixel, only the time.
    bool PlacingCopies() const { return FPlacingCopies; }
    // The block formula's constants at the current scale and origin (see FlatForward); false
    // where the map has none.
    bool BlockFormula(TFlatForward& F) const { return FScaleFactor > 0 && FlatForward(F); }
    void SetPlacingCopies(bool Value) { FPlacingCopies = Value; }

    // Projects (normalised longitude, latitude, height 0) into PointBuffer[Index].
    virtual bool LLToXY(int32_t Longitude, int32_t Latitude, int32_t Index);
    // Projects into PointBuffer[Index]; true when the point is placed and visible. The
    // base places nothing.
    virtual bool PointToXY(const TPoint3D& Point, int32_t Index);
    // Writes (longitude, latitude) of the pixel into PointBuffer[Index]; true when the
    // pixel hits the mapped area. The base maps nothing.
    virtual bool XYToLL(int32_t X, int32_t Y, int32_t Index);

    // Draws with the pen and brush the view has selected.
    virtual void PaintBackground();
    // Paints the view's texture over the mapped area; false when the projection shows no
    // texture. Printing calls it on its own, without the rest of the background.
    virtual bool PaintTexture() { return false; }
    void PaintGraticule();

    // Whether PointToXY places the pixel column by the longitude from CentralMeridian
    // alone and the row by the latitude alone, through AxisRank. ProjectChain then skips,
    // without projecting them, the points whose column and row both stay within a pixel
    // of the last point it kept, and a move of the origin alone shifts every pixel alike.
    virtual bool SeparableAxes() const { return false; }

protected:
    // Stores Extents before fitting the scale to them.
    TPrjModel(TOrvex3* View, const TPrjExtents& Extents);

    // The graticule's line renderer; the view's PaintLineLL.
    virtual void DrawLine(const TPoint3D& From, const TPoint3D& To, int32_t Steps);

    // PointBuffer[Index] := origin + rounded offsets. False (nothing written) when the
    // position is not finite or Index lies outside the buffer; a position beyond
    // PixelLimit is pulled towards the surface centre along its own direction.
    bool StorePixel(int32_t Index, long double OffsetX, long double OffsetY) const;
    // How far a projected point can move, in pixels per OrvexUnit at scale 1, per unit of
    // longitude (measured from CentralMeridian) and per unit of latitude, anywhere on the
    // map; false when no such bound holds. ProjectChain skips, without projecting them,
    // points that these bounds keep within a pixel of the last point it kept.
    virtual bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const;
    // The bounds of StretchBounds for lines that stay within Box, tighter than the whole map's;
    // false when none hold there. ProjectChain asks for them a block of points at a time
    // where LocalStretch says the projection has them.
    virtual bool LocalStretch() const { return false; }
    virtual bool StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const;
    // How far a point within Box moves, in pixels at the current scale, per unit of longitude
    // and of latitude together; false without a bound. The base takes the stretch bounds.
    virtual bool DetailStretch(const TPointBox& Box, double& PixelsPerUnit) const;
    // The least and the greatest absolute longitude from CentralMeridian, in radians, over Box.
    void LongitudeReach(const TPointBox& Box, double& Least, double& Most) const;
    // The constants with which ProjectChain places a block of points at a time the way
    // PointToXY places each (kernels/FlatForward.h); false for maps without such a formula.
    virtual bool FlatForward(TFlatForward&) const { return false; }
    // The rounded offset from the origin that PointToXY gives a value on one axis: axis 0
    // the column of a normalised longitude from CentralMeridian, axis 1 the row of a
    // latitude, negated. It never decreases as Value grows; beyond 2^40 it is clamped.
    virtual int64_t AxisRank(int Axis, int32_t Value) const;
    // The object's osWrapsMeridian bit for Extent, as IsExtentVisible sets it.
    void MarkMeridianWrap(const TExtent& Extent, TOrvexObject* Obj) const;
    // After a change of parameters that moves the map: scroll bars and a new render.
    void RefreshView();
    int32_t SurfaceWidth() const;
    int32_t SurfaceHeight() const;

    int32_t FXOrigin = 0;
    int32_t FYOrigin = 0;
    long double FScaleFactor = 0;
    int32_t FXRotation = 126900000;  // 23.5 degrees
    int32_t FYRotation = 0;
    int32_t FZRotation = 0;
    TYAxisChanges FYAxisChanges = yaCentralMeridian;
    TXAxisChanges FXAxisChanges = xaYOrigin;
    TOrvex3* FView;
    TPrjExtents FExtents;
    int32_t FMeridianSteps = 72;
    int32_t FParallelSteps = 144;
    int32_t FCentralMeridian = 0;
    int32_t FCentralParallel = 0;
    int32_t FFirstParallel = 0;
    int32_t FSecondParallel = 0;
    uint8_t FFlags = 0;

private:
    friend class TQuickExtents;
    // Per axis, the smallest value whose rank reaches each rank around the surface.
    struct TRankStarts {
        int64_t First = 0;  // the rank of Starts[0]
        int32_t Min = 0, Max = 0;  // the values the axis takes
        std::vector<int32_t> Starts;
    };
    // The tables for the current scale, origin and surface (of W x H pixels, as the caller read
    // it); false when there are none.
    bool PrepareRankStarts();
    bool PrepareRankStarts(int32_t W, int32_t H);
    // Whether the tables are those of the current scale, origin and surface; what, besides the
    // scale and the extents, they were made for.
    bool RankStartsHold(int32_t W, int32_t H) const;
    std::array<int64_t, 6> RankKey(int32_t W, int32_t H) const;
    // The start of Rank found in a few formula runs from Guess, where the start before it is
    // From: nothing when a unit or two either side of the guess does not settle it.
    std::optional<int64_t> GuessedStart(int Axis, int64_t Rank, int64_t From, int64_t Guess, int32_t Max) const;
    // A box whose corners may decide the extent test: longitudes from the central meridian, no
    // seam between them, latitudes within the map's.
    struct TCornerBox {
        int64_t FromWest, FromEast;
        int32_t South, North;
    };
    // The box of the extent West..East (East at most 180 degrees, where the samples stop a unit
    // short), where its corners may decide.
    std::optional<TCornerBox> CornerBox(int64_t West, int64_t South, int64_t East, int64_t North) const;
    // The same for a map of that meridian and those extents.
    static std::optional<TCornerBox> CornerBoxOf(int32_t Meridian, const TPrjExtents& Extents, int64_t West,
                                                 int64_t South, int64_t East, int64_t North);
    // Where a corner's value lies against an axis's four edge entries (see FEdgeX): 0 before the
    // first, 2 from the second to the third, 4 from the last; 1 and 3 are too near an edge to
    // tell. For rows, which run down, 4 less that.
    static int EdgePlace(const int32_t (&Edge)[4], int64_t Value);
    // The places of Box's west, east, north and south edges in that order, rows counted as
    // EdgePlace says; false where one is too near an edge to tell.
    static bool EdgePlaces(const int32_t (&EdgeX)[4], const int32_t (&EdgeY)[4], const TCornerBox& Box,
                           int (&Places)[4]);
    // The pixel standing in for a corner at an even place on an axis of Side pixels: before the
    // surface, in its middle, past it.
    static int64_t StandIn(int Place, int32_t Side);
    // The extent test of such a box by the current tables alone, where they tell on which side
    // of each edge its corners lie.
    std::optional<bool> DecideByRanks(const TCornerBox& Box, int32_t W, int32_t H, uint8_t& ClipCode) const;
    // The values of Axis whose rank lies within one of Rank, a unit clear of the
    // thresholds; false when the table does not reach that far.
    bool RankSpan(int Axis, int64_t Rank, int32_t& Low, int32_t& High) const;
    TRankStarts FRankStarts[2];
    // What the extent test reads of the tables: per axis the starts of the ranks just before the
    // surface, just inside it, at its far edge and just past it (entries Rim - 1, Rim + 1,
    // side + Rim and side + Rim + 2).
    int32_t FEdgeX[4] = {}, FEdgeY[4] = {};
    // The pixels round the surface that the tables reach: a kept point there takes the ranks
    // either side of its own.
    static constexpr int64_t RankRim = 4;
    long double FRankScale = 0;
    bool FPlacingCopies = false;
    std::array<int64_t, 6> FRankKey{};

    // The samples SampleTest places a block at a time; a member, so that no test fills a
    // fresh array first.
    static constexpr int32_t SampleBlock = 64;
    TPoint3D FSampleBlock[SampleBlock];
    // ProjectChain for maps with a block formula, from Resume on.
    int32_t ProjectBlocks(const TFlatForward& Flat, const TPoint3D* Points, int32_t Count, int32_t& Resume);
    // The extent test from the rectangle's four corners, where they decide it (see the
    // definition): whether it shows, with ClipCode written; nothing where the edges must be
    // sampled. Builds the rank tables when they are stale.
    std::optional<bool> CornersDecide(int64_t West, int64_t South, int64_t East, int64_t North,
                                      uint8_t& ClipCode);
    // CornersDecide where the rank tables made for the current map decide: nothing otherwise
    // (no tables are made here).
    std::optional<bool> RanksDecide(int64_t West, int64_t South, int64_t East, int64_t North, uint8_t& ClipCode) const;
    // Samples the rectangle; adds to the sample counts of the extent test.
    bool SampleTest(int64_t West, int64_t South, int64_t East, int64_t North, uint8_t& ClipCode, int32_t& Samples,
                    int32_t& Visible);
};
