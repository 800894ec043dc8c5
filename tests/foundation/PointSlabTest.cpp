#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/PointList.h"
#include "foundation/PointSlab.h"

namespace {

TPoint3D P(int32_t Chain, int32_t I) { return TPoint3D{Chain, I, Chain ^ I}; }

// A chain of Count points Chain's pattern, its room from Slab.
void Fill(TPointChain& C, TPointSlab& Slab, int32_t Chain, int32_t Count) {
    TPoint3D* Points = C.SetCountFromSlab(Slab, Count);
    for (int32_t I = 0; I < Count; ++I) Points[I] = P(Chain, I);
}

std::vector<TPoint3D> Contents(const TPointChain& C) { return {C.Points(), C.Points() + C.Count()}; }

std::vector<TPoint3D> Pattern(int32_t Chain, int32_t Count) {
    std::vector<TPoint3D> V;
    for (int32_t I = 0; I < Count; ++I) V.push_back(P(Chain, I));
    return V;
}

// Every operation on a chain whose points lie in a block: a block's piece cannot be grown,
// reallocated or freed on the heap (the sanitizers catch either), and its neighbours' points must
// not change. Each case changes the chain, and a vector of its points the same way.
TEST(PointSlabTest, ChainsInABlockKeepTheirPointsThroughEveryChange) {
    using V = std::vector<TPoint3D>;
    const struct {
        const char* Name;
        std::function<void(TPointChain&)> Change;
        std::function<void(V&)> Expect;
    } Cases[] = {
        {"add grows onto the heap", [](TPointChain& C) { C.Add(P(9, 9)); }, [](V& E) { E.push_back(P(9, 9)); }},
        {"insert at the front", [](TPointChain& C) { C.Insert(0, P(9, 9)); },
         [](V& E) { E.insert(E.begin(), P(9, 9)); }},
        {"delete within the piece", [](TPointChain& C) { C.Delete(3); }, [](V& E) { E.erase(E.begin() + 3); }},
        {"put past the end", [](TPointChain& C) { C.Put(12, P(9, 9)); },
         [](V& E) {
             E.resize(12);
             E.push_back(P(9, 9));
         }},
        {"capacity shrunk",
         [](TPointChain& C) {
             C.SetCount(4);
             C.SetCapacity(4);
         },
         [](V& E) { E.resize(4); }},
        {"capacity unchanged", [](TPointChain& C) { C.SetCapacity(10); }, [](V&) {}},
        {"cleared", [](TPointChain& C) { C.Clear(); }, [](V& E) { E.clear(); }},
        // The other chain takes the piece and goes first.
        {"swapped with a heap chain",
         [](TPointChain& C) {
             TPointChain Other;
             Other.Add(P(7, 0));
             C.Swap(Other);
         },
         [](V& E) { E = Pattern(7, 1); }},
    };
    const int64_t Blocks = TPointSlab::LiveBlocks();
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        {
            TPointChain Before, C, After;
            {
                TPointSlab Slab;
                Fill(Before, Slab, 0, 5);
                Fill(C, Slab, 1, 10);
                Fill(After, Slab, 2, 5);
                EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks + 1);
            }
            Case.Change(C);
            V Expected = Pattern(1, 10);
            Case.Expect(Expected);
            EXPECT_EQ(Contents(C), Expected);
            EXPECT_EQ(Contents(Before), Pattern(0, 5));
            EXPECT_EQ(Contents(After), Pattern(2, 5));
        }
        EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks) << "a block outlived its pieces";
    }
}

// A block goes with the last of its pieces and its slab, whichever order they go in, and not
// before: a block freed early leaves chains reading freed memory.
TEST(PointSlabTest, ABlockGoesWithItsLastHolder) {
    const int64_t Blocks = TPointSlab::LiveBlocks();
    // The largest pieces until a third block opens; each chain's block as it was taken.
    std::vector<std::unique_ptr<TPointChain>> C;
    std::vector<int64_t> BlockOf;
    auto Slab = std::make_unique<TPointSlab>();
    while (BlockOf.empty() || BlockOf.back() < 2) {
        C.push_back(std::make_unique<TPointChain>());
        Fill(*C.back(), *Slab, int32_t(C.size()), TPointSlab::MostPoints);
        BlockOf.push_back(TPointSlab::LiveBlocks() - Blocks - 1);
        ASSERT_LT(C.size(), 1000u);
    }
    const auto InFirst = std::count(BlockOf.begin(), BlockOf.end(), 0);
    ASSERT_GT(InFirst, 1);
    for (size_t I = 0; I < C.size(); ++I)
        ASSERT_EQ(Contents(*C[I]), Pattern(int32_t(I + 1), TPointSlab::MostPoints)) << I;
    // The first block's chains, the last one first: the block goes with the last of them.
    for (auto I = InFirst - 1; I >= 0; --I) {
        EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks + 3);
        C[size_t(I)].reset();
    }
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks + 2);
    // The last block's only chain goes while its slab may still hand out room there.
    C.back().reset();
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks + 2);
    Slab.reset();
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks + 1);
    // The rest on another thread, as a layer freed by a worker gives them back.
    std::thread([&C] { C.clear(); }).join();
    EXPECT_EQ(TPointSlab::LiveBlocks(), Blocks);
}

}  // namespace
