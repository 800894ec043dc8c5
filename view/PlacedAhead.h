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

class TPlacedAhead {
public:
    // An entry's kept pixels, and the copy they were placed from (its points and count).
    struct TPlaced {
        const TPixelPoint* Pixels = nullptr;
        int32_t Count = 0;
        const TPoint3D* Source = nullptr;
        int32_t SourceCount = 0;
    };

    TPlacedAhead() = default;
    ~TPlacedAhead();
    TPlacedAhead(const TPlacedAhead&) = delete;
    TPlacedAhead& operator=(const TPlacedAhead&) = delete;

    // Whether the machine has a core to spare.
    static bool Worthwhile();
    // Places the copies at Level of Objects[0, Count) by Flat, for the objects View draws from
    // copies at Level, until Stop. Until then nothing but the entries Take has handed back may
    // change: not the list, the objects, their copies, nor the view's settings.
    void Start(const TOrvex3* View, TOrvexObject* const* Objects, size_t Count, const TFlatForward& Flat, int Level);
    // Waits until the thread has let go of the objects.
    void Stop();
    bool Running() const { return FRunning; }
    int Level() const { return FLevel; }
    // Hands Entry back to the caller, who may then change its object: its pixels when the thread
    // placed them (valid until the next Start), else null.
    const TPlaced* Take(size_t Entry);
    // The memory the placed pixels hold.
    int64_t Bytes() const;
    // The entries whose pixels Take has handed back, all told.
    uint64_t Handed() const { return FHanded; }

private:
    // Entries go by blocks: the thread and the walk each take a block at a time, so that they
    // meet on shared memory once a block rather than once an entry.
    static constexpr size_t Block = 16;
    enum TBlock : uint8_t { Free, Placing, Placed, Walked };
    void Work();
    void PlaceAll();
    void Place(size_t Entry);

    std::thread FThread;
    std::mutex FMutex;
    std::condition_variable FWake, FDone;
    bool FQuit = false, FJob = false;  // under FMutex
    // The caller's side: whether placing runs, the block the walk is in, and whether it took it.
    bool FRunning = false, FWalkOwns = false;
    size_t FWalkBlock = SIZE_MAX;
    uint64_t FHanded = 0;
    // The block the walk is in, which the thread keeps ahead of, and whether to stop: on a line
    // of their own, which the thread reads a block at a time.
    alignas(64) std::atomic<size_t> FWalk{0};
    std::atomic<bool> FCancel{false};
    alignas(64) std::unique_ptr<std::atomic<uint8_t>[]> FBlocks;
    size_t FBlocksSize = 0;

    const TOrvex3* FView = nullptr;
    TOrvexObject* const* FObjects = nullptr;
    size_t FCount = 0;
    TFlatForward FFlat{};
    int FLevel = -1;
    std::vector<TPlaced> FPlaced;
    // Pixels in chunks that never move, so that an entry's stay put while the thread goes on.
    std::vector<std::unique_ptr<TPixelPoint[]>> FChunks;
    // Written by the thread an entry at a time: on a line of their own, away from what the walk
    // reads an entry at a time.
    alignas(64) size_t FChunk = 0;
    int64_t FChunkUsed = 0;
};
