#include "model/ShiftRuns.h"

#include <algorithm>

bool TShiftKey::operator==(const TShiftKey& Other) const {
    return Projection == Other.Projection && ProjectionSerial == Other.ProjectionSerial && Scale == Other.Scale &&
           std::equal(std::begin(Values), std::end(Values), std::begin(Other.Values));
}

bool TShiftRuns::Follow(const TShiftKey& Key, size_t Entries) {
    if (Keeps(Key, Entries)) return true;
    const bool SameMap = Key == FKey;
    // While the map turns or zooms frame after frame no pan comes to use the runs, and none
    // are recorded until the map stays for a frame (the first pan then draws in full).
    const bool Record = SameMap || !FMapMoved;
    FMapMoved = !SameMap && FFollowed;
    FFollowed = true;
    // The memory of the last runs serves again, rather than coming fresh (and page by page
    // zeroed) from the system each time.
    Clear();
    FKey = Key;
    if (!Record) return false;
    FAt.assign(Entries, NoRun);
    // Runs are a few pixels long: room for most of them at once, since growing a step at a
    // time would leave the allocator holding the smaller arrays given up on the way.
    FData.reserve(Entries * 8);
    return false;
}

void TShiftRuns::Forget() {
    // The memory goes too: a frame that draws nothing from runs should not hold them.
    std::vector<uint32_t>().swap(FAt);
    std::vector<int32_t>().swap(FData);
    FKey = TShiftKey{};
    FRecording = false;
    FMapMoved = FFollowed = false;
}

void TShiftRuns::Clear() {
    // The key stays: it tells the next frame whether the map moved.
    FAt.clear();
    FData.clear();
    FRecording = false;
}

void TShiftRuns::Drop(size_t Entry) {
    // Its words stay in FData until the runs are forgotten.
    if (Entry < FAt.size()) FAt[Entry] = NoRun;
}

void TShiftRuns::Begin(size_t Entry, int32_t OriginX, int32_t OriginY) {
    FRecording = Entry < FAt.size();
    FFits = FRecording && FData.size() < NoRun / 2;
    FEntry = Entry;
    FStart = FData.size();
    FPieces = 0;
    FOriginX = OriginX;
    FOriginY = OriginY;
    if (FRecording) FData.push_back(0);
}

void TShiftRuns::Piece(int32_t Count) {
    if (!FRecording || !FFits) return;
    if (Count < 1 || Count > 0xFFFF || FPieces == 0xFFFF || !PointBuffer) {
        FFits = false;
        return;
    }
    // Room for the piece's words at once (its count, its first pixel in two, a word a step),
    // written in place and cut back to what was written.
    const size_t Start = FData.size();
    FData.resize(Start + size_t(Count) + 2);
    int32_t* Out = FData.data() + Start;
    if (FPieces == 0)
        FData[FStart] = Count;
    else
        *Out++ = Count;
    ++FPieces;
    int64_t LastX = 0, LastY = 0;
    for (int32_t I = 0; I < Count; ++I) {
        const int64_t X = int64_t(PointBuffer[I].X) - FOriginX, Y = int64_t(PointBuffer[I].Y) - FOriginY;
        if (X > Reach || X < -Reach || Y > Reach || Y < -Reach) {
            FFits = false;
            break;
        }
        if (I == 0) {
            *Out++ = int32_t(X);
            *Out++ = int32_t(Y);
        } else {
            const int64_t DX = X - LastX, DY = Y - LastY;
            if (DX < INT16_MIN || DX > INT16_MAX || DY < INT16_MIN || DY > INT16_MAX) {
                FFits = false;
                break;
            }
            *Out++ = int32_t(uint32_t(uint16_t(int16_t(DX))) | uint32_t(uint16_t(int16_t(DY))) << 16);
        }
        LastX = X;
        LastY = Y;
    }
    FData.resize(size_t(Out - FData.data()));
}

void TShiftRuns::End() {
    if (!FRecording) return;
    FRecording = false;
    if (FFits && FPieces > 0) {
        FData[FStart] = int32_t(uint32_t(FData[FStart]) | uint32_t(FPieces) << 16);
        FAt[FEntry] = uint32_t(FStart);
    } else {
        FData.resize(FStart);
        FAt[FEntry] = NoRun;
    }
}
