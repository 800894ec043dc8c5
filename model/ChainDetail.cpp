#include "model/ChainDetail.h"

#include <algorithm>
#include <cstdlib>

#include "kernels/BoxSkip.h"

namespace {
// Whether the kept points (each within a cell of the chain's) lie within SmallDetailCells
// cells of the first.
bool SpansFewCells(const std::vector<TPoint3D>& Kept, int64_t Cell) {
    const int64_t Limit = (SmallDetailCells - 1) * Cell;
    for (const TPoint3D& P : Kept)
        if (std::llabs(NormalizeLongitude(int64_t(P.X) - Kept[0].X)) > Limit ||
            std::llabs(int64_t(P.Y) - Kept[0].Y) > Limit)
            return false;
    return true;
}

// Directions (in longitude and latitude) in which a small chain's outermost points are kept:
// every 22.5 degrees or so round the circle.
constexpr int Directions = 16;
constexpr int8_t Direction[Directions][2] = {{1, 0},  {2, 1},   {1, 1},   {1, 2},   {0, 1},  {-1, 2},
                                             {-1, 1}, {-2, 1},  {-1, 0},  {-2, -1}, {-1, -1}, {-1, -2},
                                             {0, -1}, {1, -2},  {1, -1},  {2, -1}};

// The copy of a small chain made again, keeping also its outermost points in every
// direction. A map whose columns follow the longitude and rows the latitude then places the
// copy's outermost pixels where the chain's are, and any other map near enough: the island
// shows as large as it is.
void KeepOutermost(const TPoint3D* Points, int32_t N, int64_t Reach, std::vector<TPoint3D>& Out) {
    const int32_t Last = N - 1;
    int32_t Outermost[Directions] = {};
    int64_t Most[Directions] = {};
    for (int32_t I = 1; I < Last; ++I) {
        const int64_t Lon = NormalizeLongitude(int64_t(Points[I].X) - Points[0].X);
        const int64_t Lat = int64_t(Points[I].Y) - Points[0].Y;
        for (int K = 0; K < Directions; ++K) {
            const int64_t Along = Direction[K][0] * Lon + Direction[K][1] * Lat;
            if (Along > Most[K]) {
                Most[K] = Along;
                Outermost[K] = I;
            }
        }
    }
    TSkipBox Box{0, 0, uint64_t(2 * Reach), 0, uint64_t(2 * Reach)};
    Out.resize(1);
    for (int32_t I = 1; I < Last; ++I) {
        Box.West = NormalizeLongitude(int64_t(Out.back().X)) - Reach;
        Box.South = int64_t(Out.back().Y) - Reach;
        if (std::find(Outermost, Outermost + Directions, I) != Outermost + Directions || !Box.Holds(Points[I]))
            Out.push_back(Points[I]);
    }
    Out.push_back(Points[Last]);
}
}  // namespace

void ThinToOctave(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Out) {
    Out.clear();
    if (N <= 0) return;
    const int64_t Reach = (int64_t(1) << std::clamp(Level, 1, MaxDetailLevel)) - 1;
    // A box that runs past the seam holds nothing beyond it: near the seam more points are
    // kept, never fewer.
    TSkipBox Box{0, 0, uint64_t(2 * Reach), 0, uint64_t(2 * Reach)};
    const int32_t Last = N - 1;
    Out.push_back(Points[0]);
    for (int32_t I = 1; I < Last; ++I) {
        const TPoint3D& Kept = Out.back();
        Box.West = NormalizeLongitude(int64_t(Kept.X)) - Reach;
        Box.South = int64_t(Kept.Y) - Reach;
        I = SkipInsideBox(Points, I, Last, Box);
        if (I == Last) break;
        Out.push_back(Points[I]);
    }
    if (N > 1) Out.push_back(Points[Last]);
    if (N > 2 && SpansFewCells(Out, Reach + 1)) KeepOutermost(Points, N, Reach, Out);
}

void TChainDetail::Follow(const TPoint3D* Points, int32_t N) {
    if (Points == FSource && N == FSourceCount) return;
    for (int I = 0; I < Slots; ++I) {
        FLevels[I] = -1;
        FChains[I].Clear();
    }
    FSource = Points;
    FSourceCount = N;
}

int TChainDetail::Find(int Level) const {
    for (int I = 0; I < Slots; ++I)
        if (FLevels[I] == Level) return I;
    return -1;
}

void TChainDetail::MoveTo(int From, int Position) {
    for (int I = From; I > Position; --I) {
        std::swap(FLevels[I], FLevels[I - 1]);
        FChains[I].Swap(FChains[I - 1]);
    }
}

void TChainDetail::Build(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch,
                         int Position) {
    TPointChain& Chain = FChains[Slots - 1];
    ThinToOctave(Points, N, Level, Scratch);
    FLevels[Slots - 1] = static_cast<int8_t>(Level);
    Chain.Clear();
    if (Scratch.size() <= size_t(N) / 2) {
        const int32_t Kept = int32_t(Scratch.size());
        Chain.SetCapacity(Kept);
        std::copy(Scratch.begin(), Scratch.end(), Chain.SetCountUncleared(Kept));
    }
    MoveTo(Slots - 1, Position);
}

TPointChain* TChainDetail::AtOther(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch) {
    Follow(Points, N);
    const int Slot = Find(Level);
    if (Slot >= 0)
        MoveTo(Slot, 0);
    else
        Build(Points, N, Level, Scratch, 0);
    return FChains[0].Count() > 0 ? &FChains[0] : nullptr;
}

int32_t TChainDetail::Prepare(const TPoint3D* Points, int32_t N, int Level, std::vector<TPoint3D>& Scratch) {
    Follow(Points, N);
    const int Slot = Find(Level);
    // Behind the one in use, ahead of the older ones.
    if (Slot >= 1) MoveTo(Slot, 1);
    if (Slot >= 0) return -1;
    Build(Points, N, Level, Scratch, 1);
    return FChains[1].Count();
}

bool TChainDetail::Holds(const TPoint3D* Points, int32_t N, int Level) const {
    return Points == FSource && N == FSourceCount && Find(Level) >= 0;
}

const TPointChain* TChainDetail::Held(const TPoint3D* Points, int32_t N, int Level) const {
    if (Points != FSource || N != FSourceCount) return nullptr;
    const int Slot = Find(Level);
    return Slot >= 0 && FChains[Slot].Count() > 0 ? &FChains[Slot] : nullptr;
}

int64_t TChainDetail::Bytes() const {
    int64_t Sum = 0;
    for (const TPointChain& C : FChains) Sum += int64_t(C.Capacity()) * int64_t(sizeof(TPoint3D));
    return Sum;
}
