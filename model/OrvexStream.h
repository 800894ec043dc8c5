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
    void WriteInt8(int8_t V) { WriteBytes(&V, 1); }
    void WriteUInt8(uint8_t V) { WriteBytes(&V, 1); }
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

private:
    void WriteLE(uint32_t V, int Bytes);
    uint32_t ReadLE(int Bytes);
    void Need(size_t Count) const;

    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};
