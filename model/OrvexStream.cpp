#include "model/OrvexStream.h"

#include <cstring>

void TOrvexStream::WriteBytes(const void* Bytes, size_t Count) {
    if (Count == 0) return;
    const auto* B = static_cast<const uint8_t*>(Bytes);
    if (FPosition == FData.size()) {
        FData.insert(FData.end(), B, B + Count);
    } else {
        if (FPosition + Count > FData.size()) FData.resize(FPosition + Count);
        std::memcpy(FData.data() + FPosition, B, Count);
    }
    FPosition += Count;
}

void TOrvexStream::WriteShortString(const std::string& S) {
    const size_t L = S.size() < 255 ? S.size() : 255;
    WriteUInt8(static_cast<uint8_t>(L));
    WriteBytes(S.data(), L);
}

void TOrvexStream::NeedFailed(size_t Count) const {
    throw EStreamReadError(Format("Unexpected end of data at offset %zu (%zu bytes needed, %zu left)", FPosition,
                                  Count, Remaining()));
}

void TOrvexStream::ReadBytes(void* Bytes, size_t Count) {
    Need(Count);
    if (Count) std::memcpy(Bytes, FData.data() + FPosition, Count);
    FPosition += Count;
}

std::string TOrvexStream::ReadShortString() {
    const size_t Start = FPosition;
    const uint8_t L = ReadUInt8();
    if (L > Remaining()) {
        FPosition = Start;
        Need(size_t(L) + 1);
    }
    std::string S(reinterpret_cast<const char*>(FData.data() + FPosition), L);
    FPosition += L;
    return S;
}
