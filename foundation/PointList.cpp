#include "foundation/PointList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "foundation/PointSlab.h"

static_assert(std::is_trivially_copyable_v<TPoint3D>, "points are moved with realloc and memmove");

namespace {

// Resizes Points to NewCapacity entries; on failure the old array is left as it was.
void Reallocate(TPoint3D*& Points, int32_t NewCapacity) {
    if (NewCapacity == 0) {
        std::free(Points);
        Points = nullptr;
        return;
    }
    void* Resized = std::realloc(Points, static_cast<size_t>(NewCapacity) * sizeof(TPoint3D));
    if (Resized == nullptr) throw std::bad_alloc();
    Points = static_cast<TPoint3D*>(Resized);
}

void CheckCapacity(int32_t NewCapacity, int32_t Count) {
    if (NewCapacity < Count || NewCapacity > MaxPointListSize)
        throw EOrvexException(Format("PointList.SetCapacity: Bad Size %d", NewCapacity));
}

[[noreturn]] void BadIndex(const char* Operation, int32_t Index) {
    throw EOrvexException(Format("PointList.%s: Bad Index %d", Operation, Index));
}

}  // namespace

// --- TPointChain ---

TPointChain::~TPointChain() { Release(); }

void TPointChain::Release() noexcept {
    if (FCapacity & Borrowed)
        TPointSlab::Release(FPoints);
    else
        std::free(FPoints);
    FPoints = nullptr;
    FCapacity = 0;
}

void TPointChain::Grow() {
    const int32_t Capacity = this->Capacity();
    int32_t Delta;
    if (Capacity > 64)
        Delta = Capacity / 4;
    else if (Capacity > 8)
        Delta = 16;
    else if (Capacity > 0)
        Delta = 4;
    else
        Delta = 1;
    SetCapacity(Capacity + Delta);
}

void TPointChain::SetCapacity(int32_t NewCapacity) {
    CheckCapacity(NewCapacity, FCount);
    if (NewCapacity == Capacity()) return;
    if (FCapacity & Borrowed) {
        // Onto the heap: a slab's piece cannot grow, and giving back part of one frees nothing.
        TPoint3D* Own = nullptr;
        Reallocate(Own, NewCapacity);
        if (FCount > 0) std::memcpy(Own, FPoints, static_cast<size_t>(FCount) * sizeof(TPoint3D));
        Release();
        FPoints = Own;
    } else {
        Reallocate(FPoints, NewCapacity);
    }
    FCapacity = NewCapacity;
}

void TPointChain::SetCount(int32_t NewCount) {
    if (NewCount < 0 || NewCount > MaxPointListSize)
        throw EOrvexException(Format("PointList.SetCount: Bad Count %d", NewCount));
    // Exactly the requested size: callers that know the final count avoid the growth steps.
    if (Capacity() < NewCount) SetCapacity(NewCount);
    if (NewCount > FCount) std::fill(FPoints + FCount, FPoints + NewCount, TPoint3D{});
    FCount = NewCount;
}

TPoint3D* TPointChain::SetCountUncleared(int32_t NewCount) {
    if (NewCount < 0 || NewCount > MaxPointListSize)
        throw EOrvexException(Format("PointList.SetCount: Bad Count %d", NewCount));
    if (Capacity() < NewCount) SetCapacity(NewCount);
    FCount = NewCount;
    return FPoints;
}

TPoint3D* TPointChain::SetCountFromSlab(TPointSlab& Slab, int32_t NewCount) {
    if (FCount == 0 && Capacity() == 0)
        if (TPoint3D* Piece = Slab.Take(NewCount)) {
            FPoints = Piece;
            FCapacity = NewCount | Borrowed;
            FCount = NewCount;
            return FPoints;
        }
    return SetCountUncleared(NewCount);
}

void TPointChain::Put(int32_t Index, const TPoint3D& Point) {
    if (Index < 0) BadIndex("Put", Index);
    // The index past the last possible one wraps negative and is refused as a bad count.
    if (Index >= FCount) SetCount(static_cast<int32_t>(static_cast<int64_t>(Index) + 1));
    FPoints[Index] = Point;
}

TPoint3D TPointChain::Get(int32_t Index) const {
    if (Index < 0) BadIndex("Get", Index);
    if (Index >= FCount) return TPoint3D{};
    return FPoints[Index];
}

int32_t TPointChain::Add(const TPoint3D& Point) {
    if (FCount == Capacity()) Grow();
    FPoints[FCount] = Point;
    return FCount++;
}

void TPointChain::Insert(int32_t Index, const TPoint3D& Point) {
    if (Index > FCount) BadIndex("Insert", Index);
    if (Index < 0) {
        Add(Point);
        return;
    }
    if (FCount == Capacity()) Grow();
    std::memmove(FPoints + Index + 1, FPoints + Index, static_cast<size_t>(FCount - Index) * sizeof(TPoint3D));
    FPoints[Index] = Point;
    ++FCount;
}

void TPointChain::Delete(int32_t Index) {
    if (Index < 0 || Index >= FCount) BadIndex("Delete", Index);
    --FCount;
    std::memmove(FPoints + Index, FPoints + Index + 1, static_cast<size_t>(FCount - Index) * sizeof(TPoint3D));
}

void TPointChain::Clear() {
    SetCount(0);
    SetCapacity(0);
}

// --- TPoint3DList ---

TPoint3DList::~TPoint3DList() { std::free(FItems); }

void TPoint3DList::Add(const TPoint3D& Point) {
    if (FCount == FCapacity) Grow();
    FItems[FCount++] = Point;
}

void TPoint3DList::Grow() {
    int32_t Delta;
    if (FCapacity > 64)
        Delta = FCapacity / 4;
    else if (FCapacity > 8)
        Delta = 16;
    else
        Delta = 4;
    SetCapacity(FCapacity + Delta);
}

void TPoint3DList::SetCapacity(int32_t NewCapacity) {
    CheckCapacity(NewCapacity, FCount);
    if (NewCapacity == FCapacity) return;
    Reallocate(FItems, NewCapacity);
    FCapacity = NewCapacity;
}
