#pragma once
// Room for the points of many chains made together (a layer file's), carved from shared
// blocks: one allocation for thousands of small chains instead of one each, and none of the
// heap's rounding of each chain up to its size class, which costs a tenth of the points'
// memory when a layer holds millions of small chains.

#include <cstddef>
#include <cstdint>

#include "foundation/OXUtils.h"

class TPointSlab {
public:
    TPointSlab() = default;
    // A block outlives its slab while pieces of it are held.
    ~TPointSlab();
    TPointSlab(const TPointSlab&) = delete;
    TPointSlab& operator=(const TPointSlab&) = delete;

    // Whether a chain of Count points takes its room from a slab.
    static bool Shares(int32_t Count);
    // Room for Count points (uncleared), held until given back with Release; null where a
    // chain of Count points does not share (see Shares).
    TPoint3D* Take(int32_t Count);
    // Gives back the piece Take returned; its block is freed once every piece and the slab
    // are gone. Any thread may give pieces back.
    static void Release(TPoint3D* Piece) noexcept;
    // Blocks not yet freed, in the whole process: for tests.
    static int64_t LiveBlocks();

    // Blocks are aligned to their size, so that a piece finds its block's header.
    static constexpr size_t BlockBytes = size_t(4) << 20;
    // The largest piece: a block's unused tail stays under a sixteenth of it.
    static constexpr int32_t MostPoints = int32_t(BlockBytes / 16 / sizeof(TPoint3D));

private:
    struct TBlock;
    // Gives up one holder of Block, freeing it with the last.
    static void Drop(TBlock* Block) noexcept;
    TBlock* FBlock = nullptr;
    // Bytes of FBlock handed out, its header included.
    size_t FUsed = 0;
};
