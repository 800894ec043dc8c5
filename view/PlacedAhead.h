#pragma once
// The coarser copies a layer's frame draws, placed on a second core ahead of the walk that draws
// them. At a glance over a large layer, placing the copies' points is half of a frame; meanwhile
// the walk draws what was placed. The thread only reads, and only objects of the blocks of
// entries it has taken, which the walk has not reached: the walk takes each block before it
// touches its objects, and waits for one the thread has. No handler may run while the thread
// places (one could delete an object).

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "kernels/FlatForward.h"
#include "platform/DeviceContext.h"

class TOrvex3;
class TOrvexObject;
class TPointChain;
class TPrjModel;

class TPlacedAhead {
public:
    // An entry's kept pixels, and the copy they were placed from (its points and count).
    // Beside: placed by the walk while the thread still reads the object (the system took the
    // thread's core away in the middle of it); until WaitFor lets it go nothing of the object
    // may change, its copies' order included.
    struct TPlaced {
        const TPixelPoint* Pixels = nullptr;
        int32_t Count = 0;
        int32_t Level = -1;  // the octave of the copy
        const TPoint3D* Source = nullptr;
        int32_t SourceCount = 0;
        bool Beside = false;
    };

    // Entries go by blocks: the thread and the walk each take a block at a time, so that they
    // meet on shared memory once a block rather than once an entry.
    static constexpr size_t Block = 16;

    TPlacedAhead() = default;
    ~TPlacedAhead();
    TPlacedAhead(const TPlacedAhead&) = delete;
    TPlacedAhead& operator=(const TPlacedAhead&) = delete;

    // Whether the machine has a core to spare.
    static bool Worthwhile();
    // Places the copies of Objects[0, Count) by Flat, for the objects View draws from copies,
    // until Stop: at Level, the frame's for every object, or with Level -1 at each object's own,
    // which Prj gives for its extent (a map whose stretch varies over it). Until then nothing
    // but the entries Take has handed back may change: not the list, the objects, their copies,
    // nor the view's settings or map. Where no thread can be made (the system's limit) nothing
    // is placed, and Take hands back nothing.
    void Start(const TOrvex3* View, TOrvexObject* const* Objects, size_t Count, const TFlatForward& Flat, int Level,
               const TPrjModel* Prj = nullptr);
    // Waits until the thread has let go of the objects.
    void Stop();
    // Whether it places Objects[0, Count) now.
    bool Places(TOrvexObject* const* Objects, size_t Count) const {
        return FRunning && FObjects == Objects && FCount == Count;
    }
    // Hands Entry back to the caller, who may then change its object: its pixels when the thread
    // placed them (valid until the next Start), else null. In a block the caller took before the
    // thread came to it, the pixels the caller's thread placed the same way (valid until the next
    // Take). Or, when the thread is stalled on it, pixels the caller's thread placed (Beside,
    // valid until the next Take), leaving the object the thread's.
    const TPlaced* Take(size_t Entry);
    // Waits until the thread has let go of Entry's object, which Take handed back Beside.
    void WaitFor(size_t Entry);
    // For tests: from the next Start on, the thread stops before it places Entry, as when the
    // system takes its core away, until ReleaseStall, Stop, or the walk must wait for it.
    void StallAt(size_t Entry);
    bool Stalled();
    void ReleaseStall();
    // The entries whose pixels Take has handed back, all told, and of them those placed beside
    // the thread.
    uint64_t Handed() const { return FHanded; }
    uint64_t HandedBeside() const { return FHandedBeside; }
    // The entries of the walk's own blocks it placed the thread's way.
    uint64_t HandedOwn() const { return FHandedOwn; }

private:
    enum TBlock : uint8_t { Free, Placing, Placed, Walked };
    void Work();
    void PlaceAll();
    void Place(size_t Entry);
    void Stall();
    // The copy of O to place and its octave; null where the walk draws O otherwise.
    const TPointChain* Placeable(TOrvexObject* O, int& Level) const;
    bool PlaceCopy(const TPointChain& Copy, int Level, TPixelPoint* Out, TPlaced& Placed) const;
    const TPlaced* PlaceBeside(size_t Entry);
    // An entry of a block the walk took, placed by the walk (valid until the next Take).
    const TPlaced* PlaceOwn(size_t Entry);
    // Copy's pixels into Buffer, grown to hold them.
    bool PlaceInto(const TPointChain& Copy, int Level, std::vector<TPixelPoint>& Buffer, TPlaced& Placed) const;
    void AwaitEntry(size_t Entry);

    std::thread FThread;
    std::mutex FMutex;
    std::condition_variable FWake, FDone, FStallWake;
    bool FQuit = false, FJob = false;  // under FMutex
    bool FStallHeld = false, FStalled = false;  // under FMutex
    // The caller's side: whether placing runs, the block the walk is in, and whether it took it.
    // FWalkWaits: the thread was placing the walk's block when the walk came to it; FWalkGaveUp:
    // and has stalled in it since.
    bool FRunning = false, FWalkOwns = false, FWalkWaits = false, FWalkGaveUp = false;
    // The walk's own pixels for an entry placed beside the thread.
    std::vector<TPixelPoint> FBeside;
    TPlaced FBesidePlaced;
    size_t FWalkBlock = SIZE_MAX;
    uint64_t FHanded = 0, FHandedBeside = 0, FHandedOwn = 0;
    // The block the walk is in, which the thread keeps ahead of, and whether to stop: on a line
    // of their own, which the thread reads a block at a time.
    alignas(64) std::atomic<size_t> FWalk{0};
    std::atomic<bool> FCancel{false};
    // A line each: the thread writes the state of a block a few ahead of the one the walk takes.
    // Done counts the entries of a block being placed that are: a walk that catches up with the
    // thread waits for its entry rather than the whole block.
    struct alignas(64) TBlockState {
        std::atomic<uint8_t> State{Free};
        std::atomic<uint32_t> Done{0};
    };
    alignas(64) std::unique_ptr<TBlockState[]> FBlocks;
    size_t FBlocksSize = 0;

    const TOrvex3* FView = nullptr;
    TOrvexObject* const* FObjects = nullptr;
    size_t FCount = 0;
    TFlatForward FFlat{};
    int FLevel = -1;
    const TPrjModel* FPrj = nullptr;
    std::vector<TPlaced> FPlaced;
    // Pixels in chunks that never move, so that an entry's stay put while the thread goes on.
    std::vector<std::unique_ptr<TPixelPoint[]>> FChunks;
    // Written by the thread an entry at a time: on a line of their own, away from what the walk
    // reads an entry at a time.
    alignas(64) size_t FChunk = 0;
    int64_t FChunkUsed = 0;
    // Read by the thread an entry at a time, so here rather than beside the walk's own fields;
    // set before Start.
    size_t FStallEntry = SIZE_MAX;
};
