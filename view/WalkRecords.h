#pragma once
// The points a refined walk placed for a line the view draws in every frame (the graticule's).
// A projection's line points follow its centre and parameters, never its scale or origin, so
// after a zoom or a pan the view places the same points again, a block at a time, rather than
// walking the line anew.

#include <cstdint>
#include <deque>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/ShiftRuns.h"

class TWalkRecords {
public:
    // A point's flags: a piece ends before it; the walk placed it.
    static constexpr uint8_t Break = 1, Placed = 2;
    struct TRecord {
        TPoint3D From{}, To{};
        int32_t Steps = 0;
        // Whether Points and Flags hold the whole walk for the current key.
        bool Kept = false;
        std::vector<TPoint3D> Points;
        std::vector<uint8_t> Flags;
    };
    // The points kept over all lines: the graticule at one degree needs about a tenth of it.
    static constexpr size_t Budget = size_t(1) << 20;

    // Forgets every walk unless Key is theirs (the scale in Key is not looked at).
    void Follow(const TShiftKey& Key);
    // The record of the line From-To in Steps steps: kept, or to be recorded into; nullptr
    // when too many lines are kept already. It stays where it is while others are added.
    TRecord* Find(const TPoint3D& From, const TPoint3D& To, int32_t Steps);
    // Recording: Clear, then Add for each point the walk places; false, with the record
    // cleared, once the budget is spent.
    void Clear(TRecord& Record);
    bool Add(TRecord& Record, const TPoint3D& Point, uint8_t Flags);
    int64_t Bytes() const;

private:
    static constexpr size_t MaxLines = 4096;
    TShiftKey FKey;
    std::deque<TRecord> FRecords;
    size_t FNext = 0, FUsed = 0;
};
