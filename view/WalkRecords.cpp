#include "view/WalkRecords.h"

void TWalkRecords::Follow(const TShiftKey& Key) {
    TShiftKey Unscaled = Key;
    Unscaled.Scale = 0;
    if (Unscaled == FKey) return;
    FKey = Unscaled;
    // The vectors keep their memory for the next frame, which records the same lines again,
    // unless lines of other lengths have left more than the budget behind.
    if (Bytes() > int64_t(2 * Budget * (sizeof(TPoint3D) + 1))) {
        FRecords.clear();
        FNext = FUsed = 0;
        return;
    }
    for (TRecord& R : FRecords) Clear(R);
}

TWalkRecords::TRecord* TWalkRecords::Find(const TPoint3D& From, const TPoint3D& To, int32_t Steps) {
    // Lines come in the same order every frame: the search starts after the last one found.
    for (size_t K = 0; K < FRecords.size(); ++K) {
        const size_t At = (FNext + K) % FRecords.size();
        TRecord& R = FRecords[At];
        if (R.From == From && R.To == To && R.Steps == Steps) {
            FNext = At + 1;
            return &R;
        }
    }
    if (FRecords.size() >= MaxLines) return nullptr;
    FNext = 0;
    TRecord& R = FRecords.emplace_back();
    R.From = From;
    R.To = To;
    R.Steps = Steps;
    return &R;
}

void TWalkRecords::Clear(TRecord& Record) {
    FUsed -= Record.Points.size();
    Record.Points.clear();
    Record.Flags.clear();
    Record.Kept = false;
}

bool TWalkRecords::Add(TRecord& Record, const TPoint3D& Point, uint8_t Flags) {
    if (FUsed >= Budget) {
        Clear(Record);
        return false;
    }
    Record.Points.push_back(Point);
    Record.Flags.push_back(Flags);
    ++FUsed;
    return true;
}

int64_t TWalkRecords::Bytes() const {
    int64_t Sum = int64_t(FRecords.size() * sizeof(TRecord));
    for (const TRecord& R : FRecords) Sum += int64_t(R.Points.capacity() * sizeof(TPoint3D) + R.Flags.capacity());
    return Sum;
}
