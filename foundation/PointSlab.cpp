#include "foundation/PointSlab.h"

#include <atomic>
#include <new>

#if defined(__unix__)
#include <sys/mman.h>
#endif

struct TPointSlab::TBlock {
    // The pieces held, and one more while the block is its slab's current one.
    std::atomic<int64_t> Holders{1};
};

namespace {

// The block header's room, a cache line, so that the first piece does not share its line.
constexpr size_t HeaderBytes = 64;
static_assert(sizeof(std::atomic<int64_t>) <= HeaderBytes);

std::atomic<int64_t> Blocks{0};

void* MapBlock() {
#if defined(__unix__)
    // Twice the size, trimmed to the aligned block: the kernel hands out page-aligned ranges.
    const size_t Span = 2 * TPointSlab::BlockBytes;
    void* Mapped = ::mmap(nullptr, Span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (Mapped == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t Start = reinterpret_cast<uintptr_t>(Mapped);
    const uintptr_t Aligned = (Start + TPointSlab::BlockBytes - 1) & ~uintptr_t(TPointSlab::BlockBytes - 1);
    if (Aligned > Start) ::munmap(Mapped, Aligned - Start);
    const uintptr_t End = Start + Span, BlockEnd = Aligned + TPointSlab::BlockBytes;
    if (End > BlockEnd) ::munmap(reinterpret_cast<void*>(BlockEnd), End - BlockEnd);
    // Only the pages touched count, and as large pages they cost few faults.
    ::madvise(reinterpret_cast<void*>(Aligned), TPointSlab::BlockBytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(Aligned);
#else
    return ::operator new(TPointSlab::BlockBytes, std::align_val_t(TPointSlab::BlockBytes));
#endif
}

void UnmapBlock(void* Block) noexcept {
#if defined(__unix__)
    ::munmap(Block, TPointSlab::BlockBytes);
#else
    ::operator delete(Block, std::align_val_t(TPointSlab::BlockBytes));
#endif
}

}  // namespace

void TPointSlab::Drop(TBlock* Block) noexcept {
    if (Block->Holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    Block->~TBlock();
    UnmapBlock(Block);
    Blocks.fetch_sub(1, std::memory_order_relaxed);
}

TPointSlab::~TPointSlab() {
    if (FBlock) Drop(FBlock);
}

bool TPointSlab::Shares(int32_t Count) { return Count > 0 && Count <= MostPoints; }

TPoint3D* TPointSlab::Take(int32_t Count) {
    if (!Shares(Count)) return nullptr;
    const size_t Bytes = size_t(Count) * sizeof(TPoint3D);
    if (!FBlock || FUsed + Bytes > BlockBytes) {
        void* Memory = MapBlock();
        Blocks.fetch_add(1, std::memory_order_relaxed);
        if (FBlock) Drop(FBlock);
        FBlock = new (Memory) TBlock;
        FUsed = HeaderBytes;
    }
    FBlock->Holders.fetch_add(1, std::memory_order_relaxed);
    auto* Piece = reinterpret_cast<TPoint3D*>(reinterpret_cast<char*>(FBlock) + FUsed);
    FUsed += Bytes;
    return Piece;
}

void TPointSlab::Release(TPoint3D* Piece) noexcept {
    // A piece starts past its block's header, so the block is the boundary below it.
    const uintptr_t Block = reinterpret_cast<uintptr_t>(Piece) & ~uintptr_t(BlockBytes - 1);
    Drop(reinterpret_cast<TBlock*>(Block));
}

int64_t TPointSlab::LiveBlocks() { return Blocks.load(std::memory_order_relaxed); }
