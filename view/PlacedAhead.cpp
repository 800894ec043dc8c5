#include "view/PlacedAhead.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <typeinfo>

#include "kernels/Prefetch.h"
#include "model/OrvexObject.h"
#include "styling/PolylinePresenter.h"
#include "projections/KeptPixels.h"
#include "view/Orvex3.h"

namespace {
// Blocks the thread keeps ahead of the walk.
constexpr size_t Lead = 2;
// Room for one chain's longest piece and the spare entry after it.
constexpr int64_t ChunkPixels = int64_t(MaxChainEntries) + 1;
}  // namespace

// Here rather than with the rest of the view's drawing: the model's walk reaches this file, and
// through it the command line's summary of a layer file, which must start without the GUI.
bool TOrvex3::TakesCopies(const TOrvexObject& Obj) {
    // Shorter chains gain less than their copies cost.
    constexpr int32_t LeastPoints = 16;
    // Where a chain meets the date line or a pole its points tell seam edges and crossings
    // apart: such chains keep them all.
    return Obj.GetPointCount() >= LeastPoints && !Obj.HasState(osWrapsMeridian | osCrossesDateLine | osOddCrossings) &&
           !ReachesSeamOrPole(Obj.Extents());
}

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
                         int Level, const TPrjModel* Prj) {
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
        FBlocks = std::make_unique<TBlockState[]>(Blocks);
        FBlocksSize = Blocks;
    }
    for (size_t B = 0; B < Blocks; ++B) {
        FBlocks[B].State.store(Free, std::memory_order_relaxed);
        FBlocks[B].Done.store(0, std::memory_order_relaxed);
    }
    FPlaced.assign(Count, TPlaced{});
    FView = View;
    FObjects = Objects;
    FCount = Count;
    FFlat = Flat;
    FLevel = Level;
    FPrj = Prj;
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
    FStallHeld = false;
    FStallWake.notify_all();
    FDone.wait(Lock, [this] { return !FJob; });
    FRunning = false;
    // The map may go before the next Start.
    FPrj = nullptr;
}

const TPlacedAhead::TPlaced* TPlacedAhead::Take(size_t Entry) {
    if (!FRunning || Entry >= FCount) return nullptr;
    if (const size_t B = Entry / Block; B != FWalkBlock) {
        FWalkBlock = B;
        FWalk.store(B, std::memory_order_relaxed);
        // A block placed already is the thread's no more: read, it need not be taken.
        uint8_t State = FBlocks[B].State.load(std::memory_order_acquire);
        FWalkOwns = State == Free && FBlocks[B].State.compare_exchange_strong(State, Walked, std::memory_order_acq_rel);
        FWalkWaits = State == Placing;
        FWalkGaveUp = false;
    }
    // The walk's own block: it places the entry as the thread would, which costs a fraction of
    // its own way through a stand-in chain.
    if (FWalkOwns) return PlaceOwn(Entry);
    if (FWalkWaits) {
        // The thread is placing this block: its entries up to this one are what the walk needs.
        // Placing one takes a microsecond or so; much longer, and the thread has lost its core
        // (the system or the machine's host took it, for milliseconds at times), and rather than
        // wait the walk places the entry itself where it can do so leaving the object as it is.
        const uint32_t Need = uint32_t(Entry % Block) + 1;
        const std::atomic<uint32_t>& Done = FBlocks[FWalkBlock].Done;
        if (Done.load(std::memory_order_acquire) < Need && !FWalkGaveUp) {
            constexpr auto Patience = std::chrono::microseconds(5);
            const auto Since = std::chrono::steady_clock::now();
            for (uint32_t Spin = 1; Done.load(std::memory_order_acquire) < Need; ++Spin)
                if (Spin % 64 == 0 && std::chrono::steady_clock::now() - Since > Patience) {
                    FWalkGaveUp = true;
                    break;
                }
        }
        if (Done.load(std::memory_order_acquire) < Need) {
            if (const TPlaced* P = PlaceBeside(Entry)) {
                ++FHandedBeside;
                return P;
            }
            AwaitEntry(Entry);
        }
    }
    if (!FPlaced[Entry].Pixels) return nullptr;
    ++FHanded;
    return &FPlaced[Entry];
}

void TPlacedAhead::StallAt(size_t Entry) {
    const std::lock_guard<std::mutex> Lock(FMutex);
    FStallEntry = Entry;
    FStallHeld = true;
}

bool TPlacedAhead::Stalled() {
    const std::lock_guard<std::mutex> Lock(FMutex);
    return FStalled;
}

void TPlacedAhead::ReleaseStall() {
    {
        const std::lock_guard<std::mutex> Lock(FMutex);
        FStallHeld = false;
    }
    FStallWake.notify_all();
}

void TPlacedAhead::Stall() {
    std::unique_lock<std::mutex> Lock(FMutex);
    FStalled = true;
    FStallWake.wait(Lock, [this] { return !FStallHeld; });
    FStalled = false;
}

void TPlacedAhead::WaitFor(size_t Entry) {
    if (FRunning && Entry < FCount && Entry / Block == FWalkBlock && FWalkWaits) AwaitEntry(Entry);
}

void TPlacedAhead::AwaitEntry(size_t Entry) {
    // A core taken away comes back by itself; a stall a test holds ends where the walk must wait.
    if (FStallEntry != SIZE_MAX) ReleaseStall();
    const uint32_t Need = uint32_t(Entry % Block) + 1;
    while (FBlocks[Entry / Block].Done.load(std::memory_order_acquire) < Need) {
    }
}

const TPlacedAhead::TPlaced* TPlacedAhead::PlaceOwn(size_t Entry) {
    int Level = -1;
    const TPointChain* Copy = Placeable(FObjects[Entry], Level);
    if (!Copy || !PlaceInto(*Copy, Level, FBeside, FBesidePlaced)) return nullptr;
    FBesidePlaced.Beside = false;
    ++FHandedOwn;
    return &FBesidePlaced;
}

bool TPlacedAhead::PlaceInto(const TPointChain& Copy, int Level, std::vector<TPixelPoint>& Buffer,
                             TPlaced& Placed) const {
    const size_t Room = size_t(std::min<int64_t>(Copy.Count(), MaxChainEntries)) + 1;
    try {
        if (Buffer.size() < Room) Buffer.resize(Room);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return PlaceCopy(Copy, Level, Buffer.data(), Placed);
}

const TPlacedAhead::TPlaced* TPlacedAhead::PlaceBeside(size_t Entry) {
    TOrvexObject* O = FObjects[Entry];
    // Only where the walk's drawing of it reads the object and nothing more: a plain chain, drawn
    // by the plain line presenter or by none, its extent measured at this scale.
    if (typeid(*O) != typeid(TGeoDataObject) || !O->HasState(osExtentsValid)) return nullptr;
    if (const TOrvexPresenter* P = O->Presenter(); P && typeid(*P) != typeid(TPolylinePresenter)) return nullptr;
    int Level = -1;
    const TPointChain* Copy = Placeable(O, Level);
    if (!Copy || !PlaceInto(*Copy, Level, FBeside, FBesidePlaced)) return nullptr;
    FBesidePlaced.Beside = true;
    return &FBesidePlaced;
}


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
        if (!FBlocks[B].State.compare_exchange_strong(State, Placing, std::memory_order_acq_rel)) continue;
        const size_t First = B * Block, End = std::min(FCount, (B + 1) * Block);
        // Each entry is three waits on memory in a row (the object, its caches, its copy's
        // points): asked for a level at a time across the block, the block's waits overlap.
        // The rest of a copy is asked for two entries ahead, and the next block's objects one
        // an entry (only asked for: the walk may own that block and change them): asked for
        // all at once, they would wait on each other.
        for (size_t Entry = First; Entry < End; ++Entry) FObjects[Entry]->PrefetchCaches();
        for (size_t Entry = First; Entry < End; ++Entry) FObjects[Entry]->PrefetchCopy();
        for (size_t Entry = First; Entry < End; ++Entry) {
            if (Entry + 2 < End) FObjects[Entry + 2]->PrefetchCopyRest();
            if (Entry + Block < FCount) PrefetchBytes(FObjects[Entry + Block], sizeof(TGeoDataObject));
            Place(Entry);
            FBlocks[B].Done.store(uint32_t(Entry - B * Block) + 1, std::memory_order_release);
        }
        FBlocks[B].State.store(Placed, std::memory_order_release);
    }
}

const TPointChain* TPlacedAhead::Placeable(TOrvexObject* O, int& Level) const {
    // As the walk draws it: in view, on the near side only, from its copy at its octave. A copy
    // still to be built is left to the walk: building them here too made the frames after a
    // notch in faster but the others slower.
    if (!O->HasState(osInView) || !O->HasState(osFrontSide) || O->HasState(osBackSide)) return nullptr;
    if (O->View() != FView || !TOrvex3::TakesCopies(*O)) return nullptr;
    // The frame's level, which Start was given, or the object's own, as the view's
    // DetailLevelOf gives them; below the first octave it draws from its points.
    Level = FLevel >= 0 ? FLevel : FPrj ? FPrj->DetailLevel(O->Extents()) : -1;
    if (Level < 1) return nullptr;
    const TPointChain* Copy = O->HeldDetail(Level);
    return Copy && Copy->Count() >= 2 ? Copy : nullptr;
}

bool TPlacedAhead::PlaceCopy(const TPointChain& Copy, int Level, TPixelPoint* Out, TPlaced& Placed) const {
    int32_t Resume = 0;
    // Points the formula cannot vouch for, and chains of more than one piece, are the walk's.
    const int32_t N = KeptPixels(FFlat, Copy.Points(), Copy.Count(), Resume, Out,
                                 [](int32_t, int32_t, TPixelPoint&) { return -1; });
    if (N < 0 || Resume >= 0) return false;
    Placed = TPlaced{Out, N, Level, Copy.Points(), Copy.Count()};
    return true;
}

void TPlacedAhead::Place(size_t Entry) {
    if (Entry == FStallEntry) Stall();
    int Level = -1;
    const TPointChain* Copy = Placeable(FObjects[Entry], Level);
    if (!Copy) return;
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
    if (!PlaceCopy(*Copy, Level, Out, FPlaced[Entry])) return;
    FChunkUsed += FPlaced[Entry].Count + 1;
}
