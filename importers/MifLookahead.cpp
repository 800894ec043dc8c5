#include "importers/MifLookahead.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "importers/ImportSupport.h"
#include "kernels/PointLines.h"

namespace {

// Bytes read at a time: large enough that a batch's hand-over costs nothing against its
// decoding, small enough to stay in the cache between the two threads.
constexpr size_t kReadBytes = size_t(1) << 20;
// Batches read ahead of the importer at most; bounds the memory held to a few megabytes.
constexpr size_t kMostAhead = 8;
constexpr size_t kMostRunPoints = size_t(1) << 30;
constexpr size_t kDefaultThreshold = size_t(16) << 20;
std::atomic<size_t> Threshold{kDefaultThreshold};

}  // namespace

// Whole lines of the file from Begin on, with the runs of point lines among them decoded.
struct TMifLookahead::TBatch {
    size_t Begin = 0;
    std::unique_ptr<char[]> Bytes;
    size_t Capacity = 0;
    size_t Size = 0;
    bool Last = false;  // the file ends with it
    struct TRunEntry {
        size_t Offset, End;
        size_t First;
        int32_t Count;
    };
    std::vector<TRunEntry> Runs;
    std::vector<TPoint3D> Points;
    size_t NextRun = 0;  // the importer only goes forward
    size_t End() const { return Begin + Size; }
};

TMifLookahead::TMifLookahead(const std::string& Path, size_t Offset) : FPath(Path), FStart(Offset) {
    size_t Size = 0;
    FFd = OpenRegular(Path, Size);
    FSize.store(Size, std::memory_order_release);
    if (::lseek(FFd, off_t(Offset), SEEK_SET) < 0) {
        ::close(FFd);
        throw EImportError(Format("Cannot read %s: %s", Path.c_str(), std::strerror(errno)));
    }
    try {
        FWorker = std::thread([this] { Work(); });
    } catch (...) {
        ::close(FFd);
        throw;
    }
}

TMifLookahead::~TMifLookahead() {
    {
        const std::lock_guard Lock(FMutex);
        FStop = true;
    }
    FConsumed.notify_all();
    FWorker.join();
    ::close(FFd);
}

bool TMifLookahead::Worthwhile(size_t Size) {
    return Size >= Threshold.load(std::memory_order_relaxed) && std::thread::hardware_concurrency() > 1;
}

void TMifLookahead::SetThreshold(size_t Bytes) { Threshold.store(Bytes, std::memory_order_relaxed); }

void TMifLookahead::Work() {
    try {
        ReadBatches();
    } catch (const std::exception& E) {
        const std::lock_guard Lock(FMutex);
        FFailure = E.what();
    } catch (...) {
        const std::lock_guard Lock(FMutex);
        FFailure = "Cannot read " + FPath;
    }
    {
        const std::lock_guard Lock(FMutex);
        FDone = true;
    }
    FProduced.notify_all();
}

void TMifLookahead::ReadBatches() {
    size_t Offset = FStart;  // of the first byte not yet read
    std::string Carry;       // the part line at the end of the last read
    for (size_t Want = kReadBytes;;) {
        std::unique_ptr<TBatch> Batch = Recycled();
        Batch->Begin = Offset - Carry.size();
        if (Batch->Capacity < Carry.size() + Want) {
            Batch->Capacity = Carry.size() + Want;
            Batch->Bytes = std::make_unique_for_overwrite<char[]>(Batch->Capacity);
        }
        std::memcpy(Batch->Bytes.get(), Carry.data(), Carry.size());
        const size_t Read = ReadAll(FFd, FPath, Batch->Bytes.get() + Carry.size(), Want);
        Offset += Read;
        const size_t Fill = Carry.size() + Read;
        Carry.clear();
        if (Read < Want) {
            Batch->Size = Fill;
            Batch->Last = true;
            FSize.store(Offset, std::memory_order_release);
        } else {
            // Cut behind the last line end; a CR at the very end may be half of a CR LF.
            const char* B = Batch->Bytes.get();
            size_t Cut = Fill;
            while (Cut > 0 && B[Cut - 1] != '\n') --Cut;
            if (Cut == 0) {
                Cut = Fill - 1;
                while (Cut > 0 && B[Cut - 1] != '\r') --Cut;
            }
            if (Cut == 0) {
                // One line longer than the read: read on with it whole.
                Carry.assign(B, Fill);
                Want = std::max(Want, Carry.size());
                continue;
            }
            Batch->Size = Cut;
            Carry.assign(B + Cut, Fill - Cut);
            Want = kReadBytes;
        }
        Decode(*Batch);
        const bool Last = Batch->Last;
        {
            std::unique_lock Lock(FMutex);
            FConsumed.wait(Lock, [&] { return FStop || FReady.size() < kMostAhead; });
            if (FStop) return;
            FReady.push_back(std::move(Batch));
        }
        FProduced.notify_one();
        if (Last) return;
    }
}

// A batch the importer is done with, or a new one: its buffers keep their pages, which fresh
// ones would take from the system again at every batch.
std::unique_ptr<TMifLookahead::TBatch> TMifLookahead::Recycled() {
    std::unique_ptr<TBatch> Batch;
    {
        const std::lock_guard Lock(FMutex);
        if (!FFree.empty()) {
            Batch = std::move(FFree.back());
            FFree.pop_back();
        }
    }
    if (!Batch) return std::make_unique<TBatch>();
    Batch->Size = 0;
    Batch->Last = false;
    Batch->Runs.clear();
    Batch->Points.clear();
    Batch->NextRun = 0;
    return Batch;
}

void TMifLookahead::Decode(TBatch& Batch) {
    const char* const Floor = Batch.Bytes.get();
    const char* const End = Floor + Batch.Size;
    Batch.Points.reserve(Batch.Size / 24);
    TPoint3D Decoded[256];
    for (const char* P = Floor; P < End;) {
        const char* const RunStart = P;
        const size_t First = Batch.Points.size();
        // A run's count is an int32_t; a longer one goes on as the next run.
        while (Batch.Points.size() - First < kMostRunPoints) {
            if (End - P >= 64) {
                const int32_t N = ScanPointLines(P, Floor, End, int32_t(std::size(Decoded)), Decoded);
                Batch.Points.insert(Batch.Points.end(), Decoded, Decoded + N);
                if (N == int32_t(std::size(Decoded))) continue;
            }
            TPoint3D Point;
            if (!ScanPointLine(P, End, Batch.Last, Point)) break;
            Batch.Points.push_back(Point);
        }
        const size_t Count = Batch.Points.size() - First;
        if (Count > 0)
            Batch.Runs.push_back({Batch.Begin + size_t(RunStart - Floor), Batch.Begin + size_t(P - Floor), First,
                                  int32_t(Count)});
        if (P >= End) break;
        if (Count >= kMostRunPoints) continue;
        // Past the line that is no point line, as the importer's line cursor cuts it.
        while (P < End && *P != '\n' && *P != '\r') ++P;
        if (P < End) P += (*P == '\r' && P + 1 < End && P[1] == '\n') ? 2 : 1;
    }
}

bool TMifLookahead::Pull() {
    std::unique_lock Lock(FMutex);
    FProduced.wait(Lock, [&] { return FDone || !FReady.empty(); });
    if (FReady.empty()) {
        if (!FFailure.empty()) throw EImportError(FFailure);
        return false;
    }
    FHeld.push_back(std::move(FReady.front()));
    FReady.pop_front();
    Lock.unlock();
    FConsumed.notify_one();
    return true;
}

TMifLookahead::TBatch* TMifLookahead::BatchAt(size_t Offset) {
    for (;;) {
        for (const auto& B : FHeld)
            if (Offset >= B->Begin && Offset < B->End()) return B.get();
        if (!FHeld.empty() && (Offset < FHeld.front()->Begin || FHeld.back()->Last)) return nullptr;
        if (!Pull()) return nullptr;
    }
}

std::string_view TMifLookahead::From(size_t Offset, size_t AtLeast) {
    // What lies behind Offset is read: its batches go.
    while (!FHeld.empty() && FHeld.front()->End() <= Offset && !FHeld.front()->Last) {
        const std::lock_guard Lock(FMutex);
        FFree.push_back(std::move(FHeld.front()));
        FHeld.pop_front();
    }
    const TBatch* B = BatchAt(Offset);
    // The importer only reads on; a read back would find the bytes gone, not the file's end.
    if (!B && !FHeld.empty() && Offset < FHeld.front()->Begin)
        throw EImportError("Cannot read " + FPath + " again before its last read");
    if (!B) return {};
    const std::string_view Rest(B->Bytes.get() + (Offset - B->Begin), B->End() - Offset);
    if (Rest.size() >= AtLeast || B->Last) return Rest;
    // A request across batches gets their bytes joined.
    FJoined.assign(Rest);
    for (size_t At = B->End(); FJoined.size() < AtLeast;) {
        const TBatch* Next = BatchAt(At);
        if (!Next) break;
        FJoined.append(Next->Bytes.get(), Next->Size);
        At = Next->End();
    }
    return FJoined;
}

bool TMifLookahead::RunAt(size_t Offset, int32_t Room, TRun& Run) {
    TBatch* B = BatchAt(Offset);
    if (!B) return false;
    while (B->NextRun < B->Runs.size() && B->Runs[B->NextRun].Offset < Offset) ++B->NextRun;
    if (B->NextRun == B->Runs.size()) return false;
    const TBatch::TRunEntry& R = B->Runs[B->NextRun];
    if (R.Offset != Offset || R.Count > Room) return false;
    Run = {B->Points.data() + R.First, R.Count, R.End};
    return true;
}
