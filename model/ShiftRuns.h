#pragma once
// The pixels a layer's chains drew last, kept for the next frame when only the map's origin
// moves: on a map whose axes are separable a pixel is the origin plus what the point and the
// scale give, so a pan draws every chain again from its runs, shifted, without placing a point.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/PointBuffer.h"

// Everything but the origin that a chain's pixels follow: what a layer's runs were placed for,
// and (the scale aside) what the view's graticule walks were (view/WalkRecords.h).
struct TShiftKey {
    const void* Projection = nullptr;
    uint64_t ProjectionSerial = 0;
    long double Scale = 0;
    int32_t Values[13] = {};
    bool operator==(const TShiftKey& Other) const;
};

// One run an entry (an index into a list the layer keeps): the pieces the chain was drawn in,
// their pixels relative to the origin of the frame that placed them.
class TShiftRuns {
public:
    // Keeps the runs when Key is theirs, else forgets them all; Entries entries from then on
    // (a new list forgets them too), recorded unless the map moved otherwise than by its
    // origin in the frame before as well. Whether it kept them.
    bool Follow(const TShiftKey& Key, size_t Entries);
    // Whether Follow would keep them.
    bool Keeps(const TShiftKey& Key, size_t Entries) const { return Key == FKey && Entries == FAt.size(); }
    void Forget();
    // Forgets the runs but keeps their memory for the next ones, and the key.
    void Clear();
    void Drop(size_t Entry);
    bool Holds(size_t Entry) const { return Entry < FAt.size() && FAt[Entry] != NoRun; }
    // The memory the runs hold.
    int64_t Bytes() const {
        return int64_t(FAt.capacity() * sizeof(uint32_t) + FData.capacity() * sizeof(int32_t));
    }

    // Recording: Begin, then Piece for each piece drawn (PointBuffer[0, Count)), then End, which
    // keeps the run unless a piece did not fit.
    void Begin(size_t Entry, int32_t OriginX, int32_t OriginY);
    void Piece(int32_t Count);
    void End();
    bool Recording() const { return FRecording; }
    // Something else drew into the recording: the run is not kept.
    void Spoil() { FFits = false; }

    // Writes each piece of Entry's run into PointBuffer, shifted to the origin, and hands its
    // count to Draw. False (nothing drawn) when the entry holds no run.
    template <class F>
    bool Replay(size_t Entry, int32_t OriginX, int32_t OriginY, F&& Draw) const;

    // Pixels and origins within this reach keep a shifted pixel far inside the pixel limit.
    static constexpr int64_t Reach = int64_t(1) << 28;

private:
    static constexpr uint32_t NoRun = UINT32_MAX;
    // Per entry, where its run starts in FData. A run: pieces << 16 | first count, then per
    // piece (after the first, its count) its first pixel and the steps to the next ones, each
    // step's X and Y in the halves of a word.
    std::vector<uint32_t> FAt;
    std::vector<int32_t> FData;
    TShiftKey FKey;
    bool FRecording = false, FFits = false;
    // Whether the last frame's key differed from the one before it, and whether there was one.
    bool FMapMoved = false, FFollowed = false;
    size_t FEntry = 0, FStart = 0;
    int32_t FPieces = 0;
    int32_t FOriginX = 0, FOriginY = 0;
};

template <class F>
bool TShiftRuns::Replay(size_t Entry, int32_t OriginX, int32_t OriginY, F&& Draw) const {
    if (!Holds(Entry) || !PointBuffer) return false;
    if (OriginX > Reach || OriginX < -Reach || OriginY > Reach || OriginY < -Reach) return false;
    const int32_t* At = FData.data() + FAt[Entry];
    const int32_t Pieces = int32_t(uint32_t(At[0]) >> 16);
    int32_t Count = At[0] & 0xFFFF;
    ++At;
    for (int32_t P = 0; P < Pieces; ++P) {
        if (P > 0) Count = *At++;
        int32_t X = At[0] + OriginX, Y = At[1] + OriginY;
        At += 2;
        PointBuffer[0] = TPixelPoint{X, Y};
        for (int32_t I = 1; I < Count; ++I) {
            const uint32_t Step = uint32_t(*At++);
            X += int16_t(Step & 0xFFFF);
            Y += int16_t(Step >> 16);
            PointBuffer[I] = TPixelPoint{X, Y};
        }
        Draw(Count);
    }
    return true;
}
