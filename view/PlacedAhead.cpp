#include "view/PlacedAhead.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "model/OrvexObject.h"
#include "projections/KeptPixels.h"
#include "view/Orvex3.h"

namespace {
// Blocks the thread keeps ahead of the walk.
constexpr size_t Lead = 2;
// Room for one chain's longest piece and the spare entry after it.
constexpr int64_t ChunkPixels = int64_t(MaxChainEntries) + 1;
}  // namespace

TPlacedAhead::~TPlacedAhead() {
    Stop();
    {
        const std::lock_guard<std::mutex> Lock(FMutex);
        FQuit = true;
    }
    FWake.notify_one();
    if (FThread.joinable()) FThread.join();
}

bool TPlacedAhead::Worthwhile() {
    static const bool Cores = std::thread::hardware_concurrency() >= 2;
    return Cores;
}

void TPlacedAhead::Start(const TOrvex3* View, TOrvexObject* const* Objects, size_t Count, const TFlatForward& Flat,
                         int Level) {
    Stop();
    if (!FThread.joinable()) {
        // Without a thread (the system's limit reached) the walk places everything itself.
        try {
            FThread = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            return;
        }
    }
    const size_t Blocks = (Count + Block - 1) / Block;
    if (FBlocksSize < Blocks) {
        FBlocks = std::make_unique<std::atomic<uint8_t>[]>(Blocks);
        FBlocksSize = Blocks;
    }
    for (size_t B = 0; B < Blocks; ++B) FBlocks[B].store(Free, std::memory_order_relaxed);
    FPlaced.assign(Count, TPlaced{});
    FView = View;
    FObjects = Objects;
    FCount = Count;
    FFlat = Flat;
    FLevel = Level;
    FChunk = 0;
    FChunkUsed = 0;
    FWalkBlock = SIZE_MAX;
    FWalkOwns = false;
    FCancel.store(false, std::memory_order_relaxed);
    FWalk.store(0, std::memory_order_relaxed);
    {
        // The lock hands everything above to the thread.
        const std::lock_guard<std::mutex> Lock(FMutex);
        FJob = true;
    }
    FWake.notify_one();
    FRunning = true;
}

void TPlacedAhead::Stop() {
    if (!FRunning) return;
    FCancel.store(true, std::memory_order_relaxed);
    std::unique_lock<std::mutex> Lock(FMutex);
    FDone.wait(Lock, [this] { return !FJob; });
    FRunning = false;
}

const TPlacedAhead::TPlaced* TPlacedAhead::Take(size_t Entry) {
    if (!FRunning || Entry >= FCount) return nullptr;
    if (const size_t B = Entry / Block; B != FWalkBlock) {
        FWalkBlock = B;
        FWalk.store(B, std::memory_order_relaxed);
        uint8_t State = Free;
        FWalkOwns = FBlocks[B].compare_exchange_strong(State, Walked, std::memory_order_acq_rel);
        // Being placed: a few microseconds at most.
        while (State == Placing) State = FBlocks[B].load(std::memory_order_acquire);
    }
    if (FWalkOwns || !FPlaced[Entry].Pixels) return nullptr;
    ++FHanded;
    return &FPlaced[Entry];
}

int64_t TPlacedAhead::Bytes() const { return int64_t(FChunks.size()) * ChunkPixels * int64_t(sizeof(TPixelPoint)); }

void TPlacedAhead::Work() {
    std::unique_lock<std::mutex> Lock(FMutex);
    while (true) {
        FWake.wait(Lock, [this] { return FQuit || FJob; });
        if (FQuit) return;
        Lock.unlock();
        PlaceAll();
        Lock.lock();
        FJob = false;
        FDone.notify_all();
    }
}

void TPlacedAhead::PlaceAll() {
    const size_t Blocks = (FCount + Block - 1) / Block;
    for (size_t B = 0; B < Blocks; ++B) {
        if (FCancel.load(std::memory_order_relaxed)) return;
        // The block the walk is in is its own; the next ones it would reach while they are
        // placed, and wait: the thread keeps a few blocks further ahead.
        if (const size_t Walk = FWalk.load(std::memory_order_relaxed); B < Walk + Lead) B = Walk + Lead;
        if (B >= Blocks) return;
        uint8_t State = Free;
        if (!FBlocks[B].compare_exchange_strong(State, Placing, std::memory_order_acq_rel)) continue;
        for (size_t Entry = B * Block; Entry < std::min(FCount, (B + 1) * Block); ++Entry) Place(Entry);
        FBlocks[B].store(Placed, std::memory_order_release);
    }
}

void TPlacedAhead::Place(size_t Entry) {
    TOrvexObject* O = FObjects[Entry];
    // As the walk draws it: in view, on the near side only, from its copy at this octave. A copy
    // still to be built is left to the walk: building them here too made the frames after a
    // notch in faster but the others slower.
    if (!O->HasState(osInView) || !O->HasState(osFrontSide) || O->HasState(osBackSide)) return;
    if (FView->DetailLevelOf(O) != FLevel) return;
    const TPointChain* Copy = O->HeldDetail(FLevel);
    if (!Copy || Copy->Count() < 2) return;
    const int64_t Room = std::min<int64_t>(Copy->Count(), MaxChainEntries) + 1;
    if (FChunk < FChunks.size() && FChunkUsed + Room > ChunkPixels) {
        ++FChunk;
        FChunkUsed = 0;
    }
    if (FChunk == FChunks.size()) {
        // Without the memory for more, the walk places the rest itself.
        try {
            FChunks.push_back(std::make_unique<TPixelPoint[]>(size_t(ChunkPixels)));
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    TPixelPoint* Out = FChunks[FChunk].get() + FChunkUsed;
    int32_t Resume = 0;
    // Points the formula cannot vouch for, and chains of more than one piece, are the walk's.
    const int32_t N = KeptPixels(FFlat, Copy->Points(), Copy->Count(), Resume, Out,
                                 [](int32_t, int32_t, TPixelPoint&) { return -1; });
    if (N < 0 || Resume >= 0) return;
    FChunkUsed += N + 1;
    FPlaced[Entry] = TPlaced{Out, N, Copy->Points(), Copy->Count()};
}
