#pragma once
// Coarser copies of a chain, for drawing it where many of its points share a pixel. At
// octave Level a copy keeps the chain's first and last points and each point at least
// 2^Level units (of longitude or of latitude) from the last one it kept, so a line through
// the copy passes within 2^Level units of every point it leaves out. The copies depend on the
// points alone, not on the view: one serves every scale of its octave and every pan.

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/OXUtils.h"
#include "foundation/PointList.h"

// Octaves of cell size a copy can have: 2^1 to 2^MaxDetailLevel units (about 50 degrees).
constexpr int MaxDetailLevel = 28;

// A copy whose points lie within this many cells of the first also keeps its chain's
// outermost points: the copy of an island a pixel or two across could otherwise keep too few
// of them to show at all.
constexpr int64_t SmallDetailCells = 16;

// The points of Points[0, N) kept at Level, into Out (cleared first), and for a small chain
// (see SmallDetailCells) its outermost ones too.
void ThinToOctave(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Out);

// The copies of one chain at the octaves asked for or prepared last. Each knows the points it
// was built from (address and count) and is built again when they changed.
class TChainDetail {
public:
    // The copy of Points[0, N) at Level, built on first use with Scratch as working space;
    // null where it would keep more than half of the points, which cost little more to draw.
    TPointChain* At(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch) {
        // Mostly the copy used last, asked for again frame after frame.
        if (Points == FSource && N == FSourceCount && FLevels[0] == Level)
            return FChains[0].Count() > 0 ? &FChains[0] : nullptr;
        return AtOther(Points, N, Level, Scratch);
    }
    // Builds the copy at Level ahead of its use, keeping the one used last: the points the new
    // copy holds (0 where it does not pay), or -1 when it was at hand.
    int32_t Prepare(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch);
    // Whether the copy at Level is at hand for these points.
    bool Holds(const TPoint3D* Points, int32_t N, int Level) const;
    // The copy at Level when it is at hand for these points and pays, else null; changes
    // nothing, not even which copy was used last.
    const TPointChain* Held(const TPoint3D* Points, int32_t N, int Level) const;
    // The bytes the copies hold.
    int64_t Bytes() const;
    // The copy used last, for asking for its points ahead of a frame (null when none is kept).
    const TPointChain* LastUsed() const { return FLevels[0] >= 0 && FChains[0].Count() > 0 ? &FChains[0] : nullptr; }

private:
    // Slots: the one used last first, then the others from the most recently asked for; the
    // last one is given up for a new copy. The current octave, the one used before it, and the
    // finer and coarser ones prepared beside it.
    static constexpr int Slots = 4;
    // At for a copy other than the one used last.
    TPointChain* AtOther(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch);
    // Forgets copies of other points; the slot holding Level, or -1.
    void Follow(const TPoint3D* Points, int32_t N);
    int Find(int Level) const;
    // Builds Level into the last slot and moves it to Position.
    void Build(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch, int Position);
    void MoveTo(int From, int Position);

    // Each slot's octave (-1 for none) and copy, empty where the copy does not pay. Kept apart
    // to keep the many chains' caches small.
    TPointChain FChains[Slots];
    const TPoint3D* FSource = nullptr;
    int32_t FSourceCount = 0;
    int8_t FLevels[Slots] = {-1, -1, -1, -1};
};

// What drawing derives from an object's points and keeps between renders: the sphere's
// vectors (which follow the scale) and the chain's coarser copies (which do not).
struct TChainCaches {
    std::unique_ptr<TPoint3DList> Vectors;
    // The sphere's vectors for a scale further in, built in idle time for the next wheel notch.
    std::unique_ptr<TPoint3DList> FinerVectors;
    TChainDetail Detail;
};
