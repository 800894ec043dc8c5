#pragma once
// Growable contiguous arrays of TPoint3D: the point chain of a TGeoDataObject and the
// cartesian cache list built by the sphere projection.

#include <cstdint>
#include <utility>

#include "foundation/OXUtils.h"

class TPointSlab;

constexpr int32_t MaxPointListSize = 0x7FFFFFF;

// The storage of a TGeoDataObject's point chain. Every operation checks its arguments
// and raises EOrvexException before anything changes. The owning object adds
// invalidation on top.
class TPointChain {
public:
    TPointChain() = default;
    ~TPointChain();
    TPointChain(const TPointChain&) = delete;
    TPointChain& operator=(const TPointChain&) = delete;

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity & ~Borrowed; }
    const TPoint3D* Points() const { return FPoints; }
    TPoint3D* Points() { return FPoints; }

    void Grow();
    void SetCapacity(int32_t NewCapacity);
    void SetCount(int32_t NewCount);
    // SetCount without clearing the new slots, for bulk writers that fill every one of them
    // before anything reads the chain. Returns the points.
    TPoint3D* SetCountUncleared(int32_t NewCount);
    // SetCountUncleared for an empty chain, with room for exactly NewCount points taken from
    // Slab where it has it to give. The chain holds that room until it needs other room.
    TPoint3D* SetCountFromSlab(TPointSlab& Slab, int32_t NewCount);
    // Index past the end extends the chain with zero points.
    void Put(int32_t Index, const TPoint3D& Point);
    // Index past the end yields the zero point.
    TPoint3D Get(int32_t Index) const;
    int32_t Add(const TPoint3D& Point);
    // Negative Index appends.
    void Insert(int32_t Index, const TPoint3D& Point);
    void Delete(int32_t Index);
    // Count 0, then Capacity 0 (releases the array).
    void Clear();
    // Exchanges the two chains' arrays: a chain lent and given back without a copy.
    void Swap(TPointChain& Other) noexcept {
        std::swap(FPoints, Other.FPoints);
        std::swap(FCount, Other.FCount);
        std::swap(FCapacity, Other.FCapacity);
    }

private:
    // Capacity's flag for points that lie in a TPointSlab's block rather than on the heap.
    static constexpr int32_t Borrowed = int32_t(1) << 30;
    static_assert(MaxPointListSize < Borrowed);
    void Release() noexcept;

    TPoint3D* FPoints = nullptr;
    int32_t FCount = 0;
    int32_t FCapacity = 0;
};

// Cartesian cache of an object; grows like the chain, except that any capacity up to
// 8 grows by 4.
class TPoint3DList {
public:
    TPoint3DList() = default;
    ~TPoint3DList();
    TPoint3DList(const TPoint3DList&) = delete;
    TPoint3DList& operator=(const TPoint3DList&) = delete;

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity; }
    const TPoint3D* Items() const { return FItems; }
    // The memory the list holds, itself included.
    int64_t Bytes() const { return int64_t(sizeof(TPoint3DList)) + int64_t(FCapacity) * int64_t(sizeof(TPoint3D)); }

    void Add(const TPoint3D& Point);
    void Grow();
    void SetCapacity(int32_t NewCapacity);
    // The thinning step (units) the cache was built with, for a cache that follows the scale.
    int64_t Step() const { return FStep; }
    void SetStep(int64_t Step) { FStep = Step; }

private:
    int32_t FCount = 0;
    int32_t FCapacity = 0;
    TPoint3D* FItems = nullptr;
    int64_t FStep = 0;
};
