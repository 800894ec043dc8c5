#pragma once
// The in-memory buffer that layer files are assembled in and read from: little-endian
// primitives and short strings, with every read checked against the end of the data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/OrvexExceptions.h"

// A read past the end of the data. The layer file reader turns it into a message that
// names the file.
class EStreamReadError : public EOrvexException {
public:
    using EOrvexException::EOrvexException;
};

class TOrvexStream {
public:
    TOrvexStream() = default;
    explicit TOrvexStream(std::vector<uint8_t> Data) : FData(std::move(Data)) {}

    const std::vector<uint8_t>& Data() const { return FData; }
    std::vector<uint8_t>& Data() { return FData; }
    size_t Position() const { return FPosition; }
    size_t Size() const { return FData.size(); }
    size_t Remaining() const { return FData.size() - FPosition; }
    bool AtEnd() const { return FPosition >= FData.size(); }
    void Seek(size_t Position) { FPosition = Position <= FData.size() ? Position : FData.size(); }

    void WriteBytes(const void* Bytes, size_t Count);
    void WriteInt8(int8_t V) { WriteLE(static_cast<uint8_t>(V), 1); }
    void WriteUInt8(uint8_t V) { WriteLE(V, 1); }
    void WriteInt16(int16_t V) { WriteLE(static_cast<uint16_t>(V), 2); }
    void WriteUInt16(uint16_t V) { WriteLE(V, 2); }
    void WriteInt32(int32_t V) { WriteLE(static_cast<uint32_t>(V), 4); }
    // One length byte, then at most 255 bytes of text.
    void WriteShortString(const std::string& S);

    // Each read raises EStreamReadError, without moving, when the data is too short.
    void ReadBytes(void* Bytes, size_t Count);
    int8_t ReadInt8() { return static_cast<int8_t>(ReadLE(1)); }
    uint8_t ReadUInt8() { return static_cast<uint8_t>(ReadLE(1)); }
    int16_t ReadInt16() { return static_cast<int16_t>(ReadLE(2)); }
    uint16_t ReadUInt16() { return static_cast<uint16_t>(ReadLE(2)); }
    int32_t ReadInt32() { return static_cast<int32_t>(ReadLE(4)); }
    std::string ReadShortString();

    // For readers and writers of long runs of fields: Extend makes room for Count bytes at the
    // position and moves past them, giving where they start (to be filled whole); Current is
    // where reading goes on, Advance moves past Count read bytes (raising EStreamReadError,
    // without moving, when fewer are left).
    uint8_t* Extend(size_t Count) {
        if (Count > FData.size() - FPosition) FData.resize(FPosition + Count);
        uint8_t* P = FData.data() + FPosition;
        FPosition += Count;
        return P;
    }
    const uint8_t* Current() const { return FData.data() + FPosition; }
    void Advance(size_t Count) {
        Need(Count);
        FPosition += Count;
    }

private:
    // Inline: layer files read and write every point as a few of these small fields.
    void WriteLE(uint32_t V, int Bytes) {
        const uint8_t B[4] = {static_cast<uint8_t>(V), static_cast<uint8_t>(V >> 8), static_cast<uint8_t>(V >> 16),
                              static_cast<uint8_t>(V >> 24)};
        if (FPosition == FData.size() && FData.capacity() - FData.size() >= 4) {
            FData.insert(FData.end(), B, B + Bytes);
            FPosition += static_cast<size_t>(Bytes);
        } else {
            WriteBytes(B, static_cast<size_t>(Bytes));
        }
    }
    uint32_t ReadLE(int Bytes) {
        Need(static_cast<size_t>(Bytes));
        const uint8_t* P = FData.data() + FPosition;
        uint32_t V = 0;
        for (int I = 0; I < Bytes; ++I) V |= uint32_t(P[I]) << (8 * I);
        FPosition += static_cast<size_t>(Bytes);
        return V;
    }
    void Need(size_t Count) const {
        if (Count > Remaining()) NeedFailed(Count);
    }
    [[noreturn]] void NeedFailed(size_t Count) const;

    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};
